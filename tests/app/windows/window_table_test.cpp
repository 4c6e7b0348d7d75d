// The window table as the program uses it: text window sizes, the last text window that cannot
// be closed, graphics windows cascading by their number, and placements kept in "tavo.ini".
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "runtime/settings_file.h"
#include "tests/app/startup/started_runtime.h"
#include "ui/edit_window.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

class WindowTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(run_.start(), 0);
        ui().create_frame("TAVO LT", nullptr);
        ASSERT_EQ(create_text_window(1, 1999, 10, 128), 0);
        ui().show_window(1, true);
    }
    platform::ConsoleBackend& ui() { return *run_.backend; }
    tavo_test::StartedRuntime run_;
};

TEST_F(WindowTable, TextWindowSizesInTheConsolesEightBySixteenCell) {
    struct Case {
        int columns, rows, width, height;
    };
    // width = scroll bar 16 + columns x 8 + 2 (+ 2 at 128 columns);
    // height = scroll bar 16 + rows x (16 + 1) + 4.
    const Case cases[] = {
        {80, 20, 16 + 640 + 2, 16 + 340 + 4},
        {5, 2, 16 + 160 + 2, 16 + 8 * 17 + 4},       // clamped up to 20 x 8
        {300, 99, 16 + 1024 + 4, 16 + 50 * 17 + 4},  // clamped down to 128 x 50
    };
    // Never taller than the screen and a caption.
    ui().set_screen_size({1280, 1024});
    for (const Case& c : cases) {
        int width = 0;
        int height = 0;
        text_window_size(c.columns, c.rows, &width, &height);
        EXPECT_EQ(width, c.width) << c.columns;
        EXPECT_EQ(height, c.height) << c.rows;
    }
    ui().set_screen_size({800, 600});
    int width = 0;
    int height = 0;
    text_window_size(80, 50, &width, &height);
    EXPECT_EQ(height, 600 + kCaptionHeight);
}

TEST_F(WindowTable, SheetControlAndEditWindowsAreMadeHiddenWithTheirLimits) {
    ui().set_screen_size({1000, 700});
    ui().set_window_rect(platform::kWindowFrame, {0, 0, 1000, 700});
    ASSERT_EQ(create_edit_window(), 0);
    ASSERT_EQ(create_sheet_window(1999, 4, 84), 0);
    ASSERT_EQ(create_control_window(), 0);
    struct Case {
        int window;
        int min_width, max_width, min_height, max_height;
    };
    // The sheet: scroll bar 16 + 80 x 8 + 8 and the borders 2 x 4 at least, the screen's width
    // for longer lines at most; at least the 30-pixel strip, two grid rows of 16 + 7 and the
    // frame (8 + caption 20).
    const Case cases[] = {
        {3, 672, 1000, 30 + 46 + 28, 700 + 20},
        {5, 200, 1000, 100, 700},
        {6, 200, 1000, 150, 700},
    };
    for (const Case& c : cases) {
        const WindowRecord& r = window_record(c.window);
        EXPECT_EQ(r.min_width, c.min_width) << c.window;
        EXPECT_EQ(r.max_width, c.max_width) << c.window;
        EXPECT_EQ(r.min_height, c.min_height) << c.window;
        EXPECT_EQ(r.max_height, c.max_height) << c.window;
        EXPECT_TRUE(ui().window_exists(c.window)) << c.window;
        EXPECT_FALSE(ui().window_visible(c.window)) << c.window;
    }
    ASSERT_NE(textarea(3), nullptr);
    EXPECT_EQ(textarea(3)->visible_lines, 4);
    EXPECT_EQ(textarea(3)->columns, 84);
    // The control window without a stored placement: the right half of the screen from y 10,
    // (700 + 20) / 2 - 20 high.
    EXPECT_EQ(ui().window_rect(6), (platform::Rect{500, 10, 990, 350}));
    EXPECT_EQ(ui().window_title(6), "Sliders");
    EXPECT_TRUE(ui().has_edit_pane(5));
    // The editor without a stored placement: inside the frame, below its bars, with room for
    // a procedure's lines rather than the smallest size it may take.
    const platform::Rect frame = ui().window_rect(platform::kWindowFrame);
    const platform::Rect edit = ui().window_rect(platform::kWindowEdit);
    EXPECT_GE(edit.left, frame.left);
    EXPECT_GE(edit.top, frame.top + 100);
    EXPECT_LE(edit.bottom, 700);
    EXPECT_GE(edit.right - edit.left, 400);
    EXPECT_GE(edit.bottom - edit.top, 300);
}

TEST_F(WindowTable, TheFrameKeepsAStoredPlacementThatFitsOnTheScreenElseFillsItMaximised) {
    ui().set_screen_size({1000, 700});
    struct Case {
        int x, y, width, height;
        bool kept;
        platform::Rect rect;
    };
    // Not kept: the frame at (0, 0), 1000 wide and (700 + 20) x 9 / 10 = 648 high.
    const platform::Rect filled{0, 0, 1000, 648};
    const Case cases[] = {
        {10, 20, 800, 600, true, {10, 20, 810, 620}},
        {0, 0, 1000, 720, true, {0, 0, 1000, 720}},  // the work area and a caption
        {0, 0, 0, 0, false, filled},                 // none stored (or stored maximised)
        {0, 0, 1001, 600, false, filled},            // wider than the screen
        {0, 0, 800, 721, false, filled},             // taller than the screen and a caption
        {5, 5, -300, 200, false, filled},
        // Partly off the screen: moved as little as needed to lie on it.
        {900, 20, 800, 600, true, {200, 20, 1000, 620}},
        {-50, -30, 800, 600, true, {0, 0, 800, 600}},
        {10, 650, 800, 600, true, {10, 100, 810, 700}},
    };
    for (const Case& c : cases) {
        set_window_placement(platform::kWindowFrame, c.x, c.y, c.width, c.height);
        EXPECT_EQ(place_frame(), c.kept) << c.width << " x " << c.height;
        EXPECT_EQ(ui().window_rect(platform::kWindowFrame), c.rect) << c.width;
        EXPECT_EQ(ui().window_maximised(platform::kWindowFrame), !c.kept) << c.width;
    }
}

TEST_F(WindowTable, TheLastOpenTextWindowCannotBeClosed) {
    // Window 1 starts alone: its Close is greyed, and a close request of the user does nothing.
    EXPECT_FALSE(ui().close_enabled(1));
    ui().post_close_request(1);
    ui().process_one_event(false);
    EXPECT_TRUE(ui().window_visible(1));
    EXPECT_EQ(textwin_close(1), kMsgLastTextWindow);
    EXPECT_TRUE(ui().window_visible(1));
    // A second one opens; now either may close, and the one left loses its Close item.
    EXPECT_EQ(textwin_select(2, 0, 0), 0);
    EXPECT_TRUE(ui().window_visible(2));
    EXPECT_TRUE(ui().close_enabled(1));
    EXPECT_EQ(current_output_area(), 2);
    EXPECT_EQ(textwin_close(0), 0);  // the current one
    EXPECT_FALSE(ui().window_visible(2));
    EXPECT_EQ(current_output_area(), 1);
    EXPECT_FALSE(ui().close_enabled(1));
    // Selecting an open window gives its number.
    EXPECT_EQ(textwin_select(1, 0, 0), 1);
    // The user closes window 2 again through its own Close: the text window handler hides it.
    EXPECT_EQ(textwin_select(2, 0, 0), 0);
    ui().post_close_request(2);
    ui().process_one_event(false);
    EXPECT_FALSE(ui().window_visible(2));
    EXPECT_EQ(current_output_area(), 1);
}

TEST_F(WindowTable, GraphicsWindowsCascadeByTheirNumber) {
    // Window 7 (graphics 1) at y 15, window 8 at y 25; x from the MDI client's right edge.
    const platform::Rect seven = default_graphics_placement(7, 1000, 30);
    const platform::Rect eight = default_graphics_placement(8, 1000, 30);
    EXPECT_EQ(seven.top, 15);
    EXPECT_EQ(eight.top, 25);
    EXPECT_EQ(seven.right - seven.left, 400 + 2 * kSizingBorder);
    EXPECT_EQ(seven.bottom - seven.top, 250 + 30 + 2 * kSizingBorder + kCaptionHeight);
    EXPECT_EQ(seven.left, 1000 - 70 - (400 + 2 * kSizingBorder) + 65);
    // Graphics window 9 (window 15) is small and has no toolbar.
    const platform::Rect fifteen = default_graphics_placement(15, 1000, 30);
    EXPECT_EQ(fifteen.right - fifteen.left, 160 + 2 * kSizingBorder);
    EXPECT_EQ(fifteen.bottom - fifteen.top, 100 + 2 * kSizingBorder + kCaptionHeight);
}

TEST_F(WindowTable, PlacementsRoundTripThroughTheSettingsFile) {
    ui().set_window_rect(1, {30, 40, 530, 440});
    ui().set_window_maximised(0, true);
    set_window_placement(6, 11, 12, 13, 14);  // never made: its stored placement counts
    ASSERT_EQ(exit_hook(), 0);

    std::ifstream file(run_.ini_path());
    std::stringstream text;
    text << file.rdbuf();
    ASSERT_FALSE(text.str().empty());

    reset_window_table();
    for (int n = 0; n < platform::kWindowCount; ++n) {
        for (int k = 0; k < 4; ++k) set_setting_int(kSetWindowGeometry, 0, n, k);
    }
    read_settings_file(run_.ini_path().string());
    load_window_placements();
    const WindowRecord& frame = window_record(0);
    EXPECT_EQ(frame.x + frame.y + frame.width + frame.height, 0);  // maximised: zeros
    const WindowRecord& one = window_record(1);
    EXPECT_EQ(one.x, 30);
    EXPECT_EQ(one.y, 40);
    EXPECT_EQ(one.width, 500);
    EXPECT_EQ(one.height, 400);
    const WindowRecord& six = window_record(6);
    EXPECT_EQ(six.x, 11);
    EXPECT_EQ(six.height, 14);
}

TEST_F(WindowTable, TitleOfTheCurrentTextWindowIsCutTo47Characters) {
    textwin_set_title(std::string(60, 'T').c_str());
    EXPECT_EQ(std::string(window_record(1).title), std::string(47, 'T'));
    EXPECT_EQ(ui().window_title(1), std::string(47, 'T'));
}

}  // namespace
