// The graphics-with-text window (16) on the console backend: its three bands and how they follow
// a resize, the selection list's clicks, double clicks, drags and keys reaching the owner's
// callback, the strip's buttons and the grid pane's mouse.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "ui/graphics_text_window.h"
#include "ui/grid_cells.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

using platform::MouseAction;
using platform::MouseButton;
using platform::Rect;
using platform::Size;
using platform::UiBackend;

struct Delivery {
    int kind;
    int line;
    std::string text;
    friend bool operator==(const Delivery&, const Delivery&) = default;
};
std::vector<Delivery> g_deliveries;
int g_callback_result = 0;
int record_delivery(int kind, int line, const char* text) {
    g_deliveries.push_back({kind, line, text});
    return g_callback_result;
}

std::vector<std::pair<int, int>> g_strip_commands;
void record_strip_command(int window, int command) {
    g_strip_commands.emplace_back(window, command);
}

// The console's cell is 8 x 16 (ascent 12). With the start-up shape (16 rows of 9 columns,
// 3 label lines, 5 grid lines of 50 columns), by hand:
//   top band   16 x (16 + 1) + 2 x 2 + 4 = 280
//   list width 16 (bar) + 9 x 8 + 2 x 2 + 4 = 96
//   label      3 x 16 + 4 = 52
//   grid band  5 x (16 + 7) + 3 + 2 x 2 = 122, width 50 x 8 + 2 x 2 + 4 = 408
//   client     408 x (280 + 28 + 122) = 408 x 430
constexpr Size kClient{408, 430};

class Window16 : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        g_deliveries.clear();
        g_strip_commands.clear();
        g_callback_result = 0;
        platform::ConsoleOptions options;
        options.input = &input_;
        options.output = &output_;
        options.errors = &errors_;
        options.manual_clock = true;
        ui_ = std::make_unique<platform::ConsoleBackend>(options);
        platform::set_current_ui(ui_.get());
        ui_->create_frame("TAVO LT", nullptr);
        set_list_selection_callback(record_delivery);
        set_strip_command_runner(record_strip_command);
        ASSERT_EQ(create_graphics_text_window(nullptr), 0);
        ui_->show_window(platform::kWindowGraphicsText, true);
        settle();
    }
    void TearDown() override {
        set_strip_command_runner(nullptr);
        platform::set_current_ui(nullptr);
        platform::reset_all_state();
    }
    void settle() {
        for (int k = 0; k < 200 && ui_->process_one_event(false); ++k) {
        }
    }
    void wait_ms(int ms) {
        for (int t = 0; t < ms; t += 10) {
            ui_->advance_clock(10);
            settle();
        }
    }
    Size size_of(int n) { return ui_->recording_context(n)->size(); }
    void fill_list(int count) {
        for (int k = 0; k < count; ++k) {
            textarea_append_line(kListArea, 0, "part " + std::to_string(k), nullptr);
        }
    }
    // The list's rows are 17 pixels apart under a 2-pixel margin.
    static int row_y(int row) { return 2 + row * 17 + 8; }
    void mouse(int pane, MouseAction action, int y, MouseButton button = MouseButton::left) {
        platform::MouseEvent e;
        e.action = action;
        e.button = button;
        e.position = {20, y};
        ui_->post_mouse(pane, e);
        settle();
    }
    void click(int row) {
        mouse(kListPane, MouseAction::press, row_y(row));
        mouse(kListPane, MouseAction::release, row_y(row));
    }
    void key(int code) {
        platform::KeyEvent e;
        e.key = code;
        ui_->post_key(kListPane, e);
        settle();
    }
    int list_top() {
        const TextArea* a = textarea(kListArea);
        return a->position_of(a->top_line);
    }

    std::istringstream input_;
    std::ostringstream output_;
    std::ostringstream errors_;
    std::unique_ptr<platform::ConsoleBackend> ui_;
};

TEST(Window16Bands, PartsStandWhereTheBandsPutThem) {
    const UiBackend::BandLayout start = window16_bands(Window16Shape{}, FontMetricsCell{8, 16, 12});
    EXPECT_EQ(start.top_height, 280);
    EXPECT_EQ(start.side_width, 96);
    EXPECT_EQ(start.label_height, 52);
    EXPECT_EQ(start.strip_height, 28);
    EXPECT_EQ(window16_client_size(Window16Shape{}, FontMetricsCell{8, 16, 12}), kClient);

    UiBackend::BandLayout no_side = start;
    no_side.side_pane = -1;
    struct Case {
        const char* name;
        Size client;
        UiBackend::BandLayout layout;
        Rect surface, label, side, strip, bottom;
    };
    const Case cases[] = {
        {"start-up size",
         kClient,
         start,
         {0, 0, 312, 228},
         {0, 228, 312, 280},
         {312, 0, 408, 280},
         {0, 280, 408, 308},
         {0, 308, 408, 430}},
        // Wider and taller: the drawing widens, the list keeps its width, the grid takes the
        // height.
        {"grown",
         {500, 500},
         start,
         {0, 0, 404, 228},
         {0, 228, 404, 280},
         {404, 0, 500, 280},
         {0, 280, 500, 308},
         {0, 308, 500, 500}},
        // Too small for the bands: nothing gets a negative size, the top band comes first.
        {"squeezed",
         {100, 50},
         start,
         {0, 0, 4, 0},
         {0, 0, 4, 50},
         {4, 0, 100, 50},
         {0, 50, 100, 50},
         {0, 50, 100, 50}},
        {"no side pane",
         kClient,
         no_side,
         {0, 0, 408, 228},
         {0, 228, 408, 280},
         {408, 0, 408, 280},
         {0, 280, 408, 308},
         {0, 308, 408, 430}},
    };
    for (const Case& c : cases) {
        const UiBackend::BandRects r = UiBackend::band_rects(c.client, c.layout);
        EXPECT_EQ(r.surface, c.surface) << c.name;
        EXPECT_EQ(r.label, c.label) << c.name;
        EXPECT_EQ(r.side, c.side) << c.name;
        EXPECT_EQ(r.strip, c.strip) << c.name;
        EXPECT_EQ(r.bottom, c.bottom) << c.name;
    }
}

TEST_F(Window16, ItIsMadeCentredAtItsSizeAndItsPartsFollowAResize) {
    // The window is centred on the console's 1024 x 768 screen with a 20-pixel caption and
    // 4-pixel borders: outer 416 x 458 at ((1024 - 416) / 2, (768 + 20 - 458) / 2).
    EXPECT_EQ(ui_->window_rect(platform::kWindowGraphicsText), (Rect{304, 165, 720, 623}));
    // The console draws no frame: all of the 416 x 458 is client area, the drawing and the
    // grid taking the 8 and 28 pixels more.
    EXPECT_EQ(size_of(platform::kWindowGraphicsText), (Size{320, 228}));
    EXPECT_EQ(size_of(kListPane), (Size{96, 280}));
    EXPECT_EQ(size_of(kGridPane), (Size{416, 150}));
    EXPECT_TRUE(ui_->window_visible(kListPane));
    EXPECT_EQ(textarea(kListArea)->visible_lines, 16);
    // Grid lines are 23 pixels: 150 / 23 + 1.
    EXPECT_EQ(textarea(kGridTextArea)->visible_lines, 7);

    ui_->post_resize(platform::kWindowGraphicsText, {500, 500});
    settle();
    EXPECT_EQ(size_of(platform::kWindowGraphicsText), (Size{404, 228}));
    EXPECT_EQ(size_of(kListPane), (Size{96, 280}));
    EXPECT_EQ(size_of(kGridPane), (Size{500, 192}));
    EXPECT_EQ(textarea(kGridTextArea)->visible_lines, 192 / 23 + 1);

    // Hidden with its window; gone with it.
    ui_->show_window(platform::kWindowGraphicsText, false);
    EXPECT_FALSE(ui_->window_visible(kGridPane));
    ui_->destroy_window(platform::kWindowGraphicsText);
    EXPECT_FALSE(ui_->window_exists(kListPane));
    EXPECT_FALSE(ui_->window_exists(kGridPane));
    EXPECT_EQ(ui_->pane_window(kListPane), -1);
}

TEST_F(Window16, PanesAreRefusedWhereTheyCannotBe) {
    struct Case {
        int window;
        int pane;
        int result;
    };
    const Case cases[] = {
        {platform::kWindowGraphicsText, kListPane, platform::kUiWindowExists},
        {platform::kWindowGraphicsText, platform::kWindowText1, platform::kUiBadWindow},
        {platform::kWindowGraphicsText, UiBackend::kPaneFirst + UiBackend::kPaneCount,
         platform::kUiBadWindow},
        {platform::kWindowFrame, UiBackend::kPaneFirst + 2, platform::kUiBadWindow},
        {platform::kWindowText2, UiBackend::kPaneFirst + 2, platform::kUiBadWindow},  // no window
        {kListPane, UiBackend::kPaneFirst + 2, platform::kUiBadWindow},  // not inside a pane
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ui_->create_pane(c.window, c.pane, false, nullptr), c.result)
            << c.window << " " << c.pane;
    }
    EXPECT_EQ(ui_->destroy_window(kListPane), platform::kUiBadWindow);
    EXPECT_TRUE(ui_->window_exists(kListPane));
}

TEST_F(Window16, ClicksAndDoubleClicksReachTheOwner) {
    fill_list(30);
    struct Step {
        MouseAction action;
        int row;
        std::vector<Delivery> delivered;  // what this step adds
    };
    const Step steps[] = {
        {MouseAction::press, 2, {}},
        {MouseAction::release, 2, {{3, 2, "part 2"}}},
        // The double click on the line the click delivered.
        {MouseAction::double_click, 2, {{4, 2, "part 2"}}},
        // The release left over from the double click delivers nothing again.
        {MouseAction::release, 2, {}},
        // A second double click without a click before it is a plain choice.
        {MouseAction::double_click, 2, {{3, 2, "part 2"}}},
        {MouseAction::press, 5, {}},
        {MouseAction::release, 5, {{3, 5, "part 5"}}},
        // A double click on another line than the one delivered is a plain choice.
        {MouseAction::press, 7, {}},
        {MouseAction::double_click, 7, {{3, 7, "part 7"}}},
    };
    std::vector<Delivery> expected;
    for (const Step& s : steps) {
        mouse(kListPane, s.action, row_y(s.row));
        expected.insert(expected.end(), s.delivered.begin(), s.delivered.end());
        ASSERT_EQ(g_deliveries, expected) << "after an event on row " << s.row;
    }
    EXPECT_EQ(list_selected_line(), 7);
    // A right button does nothing to the list.
    mouse(kListPane, MouseAction::press, row_y(1), MouseButton::right);
    mouse(kListPane, MouseAction::release, row_y(1), MouseButton::right);
    EXPECT_EQ(list_selected_line(), 7);
    EXPECT_EQ(g_deliveries.size(), expected.size());
}

TEST_F(Window16, AClickBelowTheLastLineChoosesNothing) {
    fill_list(3);
    click(10);
    EXPECT_TRUE(g_deliveries.empty());
    EXPECT_EQ(list_selected_line(), -1);
    click(1);
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(g_deliveries[0], (Delivery{3, 1, "part 1"}));
}

TEST_F(Window16, ADragPastTheListScrollsTheSelectionOneLineATick) {
    fill_list(30);
    mouse(kListPane, MouseAction::press, row_y(15));
    EXPECT_EQ(list_selected_line(), 15);
    EXPECT_EQ(ui_->mouse_capture(), kListPane);
    // Below the last visible line: one line every 50 ms, the view following.
    mouse(kListPane, MouseAction::move, row_y(17));
    wait_ms(150);
    EXPECT_EQ(list_selected_line(), 18);
    EXPECT_EQ(list_top(), 3);  // the selection is the last visible line
    EXPECT_TRUE(g_deliveries.empty());
    // Back inside: the line under the pointer, and the scrolling stops.
    mouse(kListPane, MouseAction::move, row_y(4));
    EXPECT_EQ(list_selected_line(), 7);
    wait_ms(200);
    EXPECT_EQ(list_selected_line(), 7);
    // Above the first line: upwards, to the first line and no further.
    mouse(kListPane, MouseAction::move, -5);
    wait_ms(1000);
    EXPECT_EQ(list_selected_line(), 0);
    EXPECT_EQ(list_top(), 0);
    mouse(kListPane, MouseAction::release, -5);
    EXPECT_EQ(ui_->mouse_capture(), -1);
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(g_deliveries[0], (Delivery{3, 0, "part 0"}));
}

TEST_F(Window16, KeysMoveTheSelectionAndItReachesTheOwnerAfterAPause) {
    fill_list(30);
    click(5);
    g_deliveries.clear();
    key(platform::key_down);
    wait_ms(100);
    key(platform::key_down);
    wait_ms(100);
    key(platform::key_up);
    EXPECT_EQ(list_selected_line(), 6);
    wait_ms(100);
    EXPECT_TRUE(g_deliveries.empty());
    // The mouse waits while the selection is on its way.
    click(9);
    EXPECT_EQ(list_selected_line(), 6);
    wait_ms(100);
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(g_deliveries[0], (Delivery{3, 6, "part 6"}));
    // A page down moves by the rows shown less one and scrolls the line into view; End goes
    // to the last line.
    key(platform::key_page_down);
    EXPECT_EQ(list_selected_line(), 21);
    EXPECT_EQ(list_top(), 21 - 15);
    key(platform::key_end);
    EXPECT_EQ(list_selected_line(), 29);
    wait_ms(200);
    ASSERT_EQ(g_deliveries.size(), 2u);
    EXPECT_EQ(g_deliveries[1], (Delivery{3, 29, "part 29"}));
}

TEST_F(Window16, AFailingOwnerIsShownAsAnError) {
    fill_list(4);
    g_callback_result = -100;
    click(1);
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_NE(errors_.str() + output_.str() + ui_->status_text(), "");
}

TEST_F(Window16, SelectingALineCentresItAndTheOwnerWritesTheListAnew) {
    // The owner selects line 20 of 30 before writing the list: the view has it in the middle.
    textarea_select_line(30, 20);
    fill_list(30);
    EXPECT_EQ(list_selected_line(), 20);
    EXPECT_EQ(list_top(), 20 - 15 / 2);
    // Near the end the view stops at the last page; a negative line only unselects.
    textarea_select_line(30, 28);
    fill_list(30);
    EXPECT_EQ(list_top(), 30 - 16);
    textarea_select_line(30, -1);
    EXPECT_EQ(list_selected_line(), -1);
    EXPECT_EQ(textarea(kListArea)->line_count, 30);
}

TEST_F(Window16, TheStripButtonsActAsTheSheetsAndTheWindowTurnsActive) {
    struct Case {
        int button;
        int command;
    };
    const Case cases[] = {{kWindow16OkCommand, kSheetOkCommand},
                          {kWindow16CancelCommand, kSheetCancelCommand},
                          {kWindow16HelpCommand, kSheetHelpCommand}};
    for (const Case& c : cases) {
        set_window16_active(false);
        g_strip_commands.clear();
        ui_->post_command(platform::kWindowGraphicsText, c.button);
        settle();
        ASSERT_EQ(g_strip_commands.size(), 1u) << c.button;
        EXPECT_EQ(g_strip_commands[0], std::make_pair(platform::kWindowGraphicsText, c.command));
        EXPECT_TRUE(window16_active());
    }
    // Without a command level the close box simply hides the window.
    g_strip_commands.clear();
    ui_->post_close_request(platform::kWindowGraphicsText);
    settle();
    EXPECT_TRUE(g_strip_commands.empty());
    EXPECT_FALSE(ui_->window_visible(platform::kWindowGraphicsText));
}

TEST_F(Window16, APressOnTheGridPaneMakesItTheActiveGrid) {
    grid_state().active_area = kSheetArea;
    textarea_append_line(kGridTextArea, 0, "row one", nullptr);
    mouse(kGridPane, MouseAction::press, 10);
    mouse(kGridPane, MouseAction::release, 10);
    EXPECT_EQ(grid_state().active_area, kGridTextArea);
    EXPECT_TRUE(g_deliveries.empty());
}

}  // namespace
