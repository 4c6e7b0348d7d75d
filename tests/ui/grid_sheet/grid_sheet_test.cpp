// The spreadsheet grid on a small sheet of a level of the test's own, in the console backend:
// cells found, moved across with keys, clicked and activated; ranges selected and carried out;
// numbers typed and stepped in place; the grid commands; the tip of a printed number.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/app/startup/started_runtime.h"
#include "ui/choice_lists.h"
#include "ui/graphics_text_window.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

// The sheet the level writes: one header row and four rows of
//   "S<k>" row selector (label at column 0), a double cell (field 2), an int cell of width 4
//   (field 3), a button (field 4) and a double in exponent form (field 5).
struct Model {
    int rows = 4;
    double radius[16] = {1.5, -20.25, 0.0, 7.0};
    int count[16] = {999, -99, 5, 0};
    double small[16] = {1e-64, 1e63, 2.5e3, 1.0};
    int wave = 550;
    int level = 17;
    // Two text cells at the end of the header row: a plain text (field 6) and a value-list
    // text stepping through colours (field 7). Off unless a test asks for them.
    bool text_cells = false;
    std::string glass = "glass";
    int colour = 0;
};

const char* const kColours[] = {"red", "green", "blue"};

struct Recorded {
    int code;
    int field;
    int first;
    int last;
    int rows;
    int argument;
    double value;
    int int_value;
    std::string text;
};

Model g_model;
std::vector<Recorded> g_events;
int g_nested_result = -1;

void cell(int code, int index, const char* text) {
    text_hotspot(code, index);
    write_output_text(text, false);
}

void write_sheet() {
    // One header row: the level's output begins with the area emptied and the header set.
    set_level_header_rows(1, 0, 0);
    begin_level_output();
    char text[64];
    write_output_text("Wave  ", false);
    std::snprintf(text, sizeof text, "%4d", g_model.wave);
    cell(10, 0, text);
    write_output_text("  ", false);
    cell(0x8000 | 11, 0, "off");
    write_output_text("  ", false);
    cell(12, 0, "note");
    write_output_text("  ", false);
    std::snprintf(text, sizeof text, "%3d", g_model.level);
    cell(kGridKindValueList | 13, 0, text);
    if (g_model.text_cells) {
        write_output_text("  ", false);
        std::snprintf(text, sizeof text, "%-6s", g_model.glass.c_str());
        cell(kGridKindText | 6, 0, text);
        write_output_text("  ", false);
        std::snprintf(text, sizeof text, "%-5s", kColours[g_model.colour]);
        cell(kGridKindValueList | 7, 0, text);
    }
    for (int k = 0; k < g_model.rows; ++k) {
        // Each line is ended by the next; the end of the level's output ends the last.
        write_output_text("\n", false);
        std::snprintf(text, sizeof text, "S%d", k);
        cell(kGridKindLabel | 1, k, text);
        write_output_text(" ", false);
        std::snprintf(text, sizeof text, "%11.6f", g_model.radius[k]);
        cell(2, k, text);
        write_output_text(" ", false);
        std::snprintf(text, sizeof text, "%4d", g_model.count[k]);
        cell(3, k, text);
        write_output_text(" ", false);
        cell(kGridKindButton | 4, k, "[Go]");
        write_output_text(" ", false);
        std::snprintf(text, sizeof text, "%10.2e", g_model.small[k]);
        cell(5, k, text);
    }
    end_level_output();
}

int sheet_handler(GridEvent& e) {
    Recorded r{e.code, e.field, e.first_index, e.last_index, e.range_rows, e.argument, 0.0, 0, ""};
    if (e.code == 5 && e.value_type == 2) r.value = e.value.d;
    if (e.code == 5 && e.value_type == 1) r.int_value = e.value.i;
    if ((e.code == 4 || e.code == 6) && e.text != nullptr) r.text = e.text;
    if (e.code == 5 && e.value_type == 3 && e.text != nullptr) r.text = e.text;
    g_events.push_back(r);
    if (e.field == 7 && (e.code == kLevelEventListDown || e.code == kLevelEventListUp)) {
        // The colours in turn; the grid shows the name left in the event's text.
        int n = 0;
        while (n < 2 && std::string(e.value.text).rfind(kColours[n], 0) != 0) ++n;
        n = (n + (e.code == kLevelEventListUp ? 1 : 2)) % 3;
        std::snprintf(e.value.text, kGridTextBufferSize, "%s", kColours[n]);
        return 0;
    }
    if (e.code == kLevelEventEdited && (e.field == 6 || e.field == 7)) {
        // "BAD" is refused without rewriting the sheet.
        const std::string typed = e.text;
        if (typed == "BAD") return kMsgTooManyLevels;
        if (e.field == 6) g_model.glass = typed;
        for (int n = 0; n < 3 && e.field == 7; ++n) {
            if (typed == kColours[n]) g_model.colour = n;
        }
        write_sheet();
        return 0;
    }
    switch (e.code) {
        case kLevelEventListDown:
        case kLevelEventListUp:
            // The value list steps by ten; the grid takes the value left here.
            e.value.i += e.code == kLevelEventListUp ? 10 : -10;
            return 0;
        case kLevelEventActivate:
            // A dispatch asked for while the handler runs is not delivered.
            if (e.field == 4 && e.first_index == 0) g_nested_result = grid_dispatch_event(106);
            return 0;
        case kLevelEventShown:
            write_sheet();
            return 0;
        case kLevelEventEdited:
            // A count of 600 is refused without rewriting the sheet.
            if (e.field == 3 && e.value.i == 600) return kMsgTooManyLevels;
            if (e.field == 2) g_model.radius[e.first_index] = e.value.d;
            if (e.field == 3) g_model.count[e.first_index] = e.value.i;
            if (e.field == 5) g_model.small[e.first_index] = e.value.d;
            write_sheet();
            return 0;
        case kLevelEventTypedText:
            // A sheet runs the commands typed into it itself.
            return run_command_string(e.text, 0);
        default:
            return 0;
    }
}

class Sheet : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(runtime_init(0), 0);
        ASSERT_EQ(install_main_loop(), 0);
        ASSERT_EQ(app_init(0, 0, 0), 0);
        // The input ends before the frame exists, so that its end asks nobody to close: the
        // test drives the loop with posted events and lines alone.
        ui().process_one_event(false);
        ASSERT_TRUE(ui().input_ended());
        ui().create_frame("TAVO LT", frame_handler());
        ASSERT_EQ(create_text_window(platform::kWindowText1, 1999, 10, 128), 0);
        ASSERT_EQ(create_sheet_window(200, 6, 84), 0);
        ui().show_window(platform::kWindowSpreadsheet, true);
        main_loop_start();
        if (pending_line() != nullptr) main_loop_pass(false);
        g_model = Model{};
        g_events.clear();
        grid_state().active_area = kSheetArea;
        ASSERT_EQ(push_command_level(sheet_handler, 6, 0), 0);
        main_loop_pass(false);
        ASSERT_EQ(level_count(), 1);
        // The main rows stand below the header row.
        const TextArea* a = textarea(kSheetArea);
        const TextArea* h = textarea(kHeaderArea);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(h->line_count, 1);
        ASSERT_EQ(a->top_margin, h->top_margin + h->line_height);
        g_events.clear();
    }
    void TearDown() override {
        clear_state_flag(kFlagRangeSelected);
        platform::reset_all_state();
    }

    platform::ConsoleBackend& ui() { return *run_.backend; }

    // Passes until nothing more is pending.
    void settle() {
        for (int k = 0; k < 10; ++k) {
            ui().update_now();
            main_loop_pass(false);
        }
        ASSERT_NE(running_flag(), 0);
    }
    void key(int k, unsigned modifiers = 0) {
        platform::KeyEvent e;
        e.key = k;
        e.modifiers = modifiers;
        ui().post_key(platform::kWindowFrame, e);
        settle();
    }
    // A press at a column of a main row (row -1: the header row).
    void click(int row, int column, unsigned modifiers = 0,
               platform::MouseButton button = platform::MouseButton::left) {
        const TextArea* a = textarea(kSheetArea);
        const TextArea* h = textarea(kHeaderArea);
        const int y = row < 0 ? h->top_margin + 4 : a->top_margin + row * a->line_height + 4;
        platform::MouseEvent e;
        e.action = platform::MouseAction::press;
        e.button = button;
        e.modifiers = modifiers;
        e.position = {a->left_margin + column * a->char_width + 2, y};
        ui().post_mouse(platform::kWindowSpreadsheet, e);
        e.action = platform::MouseAction::release;
        ui().post_mouse(platform::kWindowSpreadsheet, e);
        settle();
    }
    void type(const std::string& line) {
        ui().enter_command_line(line);
        settle();
    }
    const GridCell& current() const { return grid_state().current; }
    std::string current_text() const {
        const GridCell& c = current();
        return c.text != nullptr ? std::string(c.text, static_cast<std::size_t>(c.width)) : "";
    }
    std::vector<int> codes() const {
        std::vector<int> out;
        for (const Recorded& r : g_events) out.push_back(r.code);
        return out;
    }

    tavo_test::StartedRuntime run_;
};

// Columns of a main row: selector 0-1, radius 3-13, count 15-18, button 20-23, small 25-34.
constexpr int kRadiusColumn = 3;
constexpr int kCountColumn = 15;
constexpr int kButtonColumn = 20;
constexpr int kSmallColumn = 25;

TEST_F(Sheet, CellsAreFoundByFieldAndIndexInTheHeaderAndTheMainRows) {
    struct Case {
        int code;
        int index;
        int found;
        int header;
        int first;
        int width;
    } cases[] = {
        {10, 0, 1, 1, 6, 4},              // the header's int cell
        {0x8000 | 11, 0, 1, 1, 12, 3},    // a disabled cell is found by its code
        {2, 2, 1, 0, kRadiusColumn, 11},  // radius of row 2
        {kGridKindButton | 4, 3, 1, 0, kButtonColumn, 4},
        {2, 9, 0, 0, 0, 0},  // no such row
        {0, 0, 0, 0, 0, 0},  // field code 0 is never found
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.code * 100 + k.index);
        GridCell c;
        c.field_code = k.code;
        c.field_index = k.index;
        ASSERT_EQ(grid_find_cell(c), k.found);
        if (k.found == 0) continue;
        EXPECT_EQ(c.header, k.header);
        EXPECT_EQ(c.first_column, k.first);
        EXPECT_EQ(c.width, k.width);
    }
    // By position a disabled cell is passed over: the next cell to the right is taken.
    GridCell c;
    EXPECT_EQ(grid_entry_at_column(c, 0, 13, 0), 0);
    ASSERT_EQ(grid_entry_at_column(c, 0, 13, 1), 1);
    EXPECT_EQ(c.field_code, 12);
}

TEST_F(Sheet, ArrowKeysMoveTheCurrentCellAcrossHeaderAndMainRows) {
    struct Step {
        int key;
        int code;
        int index;
        int header;
    } steps[] = {
        {platform::key_right, 10, 0, 1},  // no cell yet: the first from the top
        {platform::key_right, 12, 0, 1},  // the disabled cell is passed over
        {platform::key_right, kGridKindValueList | 13, 0, 1},
        {platform::key_right, kGridKindLabel | 1, 0, 0},  // on to the first main row
        {platform::key_right, 2, 0, 0},
        {platform::key_down, 2, 1, 0},  // the cell under the middle
        {platform::key_down, 2, 2, 0},
        {platform::key_right, 3, 2, 0},
        {platform::key_up, 3, 1, 0},
        {platform::key_up, 3, 0, 0},
        // Into the header: nothing under the middle of the column span, so the nearest cell
        // of its row, which is the one after the column (the one before is disabled).
        {platform::key_up, 12, 0, 1},
        {platform::key_left, 10, 0, 1},
        {platform::key_left, 10, 0, 1},  // nothing before the first cell: it stays
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.code * 100 + s.index);
        key(s.key);
        ASSERT_NE(current().text, nullptr);
        EXPECT_EQ(current().field_code, s.code);
        EXPECT_EQ(current().field_index, s.index);
        EXPECT_EQ(current().header, s.header);
        EXPECT_EQ(grid_state().edit_state, kGridSelected);
    }
    // Every move told the level: event 3 each time the cell changed.
    const std::vector<int> c = codes();
    EXPECT_EQ(std::count(c.begin(), c.end(), 3), 12);
}

TEST_F(Sheet, AClickMakesACellCurrentAndAButtonIsActivatedAtOnce) {
    click(2, kRadiusColumn + 5);
    EXPECT_EQ(current().field_code, 2);
    EXPECT_EQ(current().field_index, 2);
    EXPECT_EQ(current().value_type, kGridValueDouble);
    EXPECT_DOUBLE_EQ(current().value.d, 0.0);
    EXPECT_EQ(codes(), (std::vector<int>{3}));
    // A click below a row's characters hits nothing; a click on the current typed cell only
    // keeps it.
    g_events.clear();
    click(2, kRadiusColumn + 5);
    EXPECT_TRUE(g_events.empty());
    // A button: current and activated, the handler gets event 4 with its text.
    click(1, kButtonColumn + 1);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().code, 4);
    EXPECT_EQ(g_events.back().field, 4);
    EXPECT_EQ(g_events.back().first, 1);
    EXPECT_EQ(g_events.back().text, "[Go]");
    // The button is current again once the event is delivered.
    EXPECT_EQ(current().field_code, kGridKindButton | 4);
    EXPECT_EQ(current().field_index, 1);
    // A right press on a button activates it with argument 3.
    click(3, kButtonColumn + 1, 0, platform::MouseButton::right);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().code, 4);
    EXPECT_EQ(g_events.back().first, 3);
    EXPECT_EQ(g_events.back().argument, 3);
}

TEST_F(Sheet, ARowSelectorStartsARangeThatKeysExtendAndAGridCommandCarriesOut) {
    click(1, 0);
    EXPECT_NE(test_state_flag(kFlagRangeSelected), 0);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().code, 3);
    key(platform::key_down);
    ASSERT_FALSE(g_events.empty());
    const Recorded& extended = g_events.back();
    EXPECT_EQ(extended.code, 3);
    EXPECT_EQ(extended.first, 1);
    EXPECT_EQ(extended.last, 2);
    EXPECT_EQ(extended.rows, 1);
    // A second step down and one back up: rows 1 to 2 again.
    key(platform::key_down);
    key(platform::key_up);
    EXPECT_EQ(g_events.back().last, 2);
    // The grid command typed while the range is selected reaches the level as text; the level
    // runs it, and the queued action reaches it with the range.
    g_events.clear();
    grid_refresh_request() = 0;
    type("grid_delete");
    EXPECT_EQ(grid_refresh_request(), 1);  // set as the line was handed to the level
    ASSERT_GE(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].code, 6);
    EXPECT_EQ(g_events[0].text, "grid_delete");
    const Recorded& action = g_events[1];
    EXPECT_EQ(action.code, 2);
    EXPECT_EQ(action.field, 1);
    EXPECT_EQ(action.first, 1);
    EXPECT_EQ(action.last, 2);
    EXPECT_EQ(action.rows, 1);
    EXPECT_EQ(test_state_flag(kFlagRangeSelected), 0);
}

TEST_F(Sheet, EscapeDropsASelectedRangeBeforeItLeavesTheLevel) {
    click(1, 0);
    ASSERT_NE(test_state_flag(kFlagRangeSelected), 0);
    key(platform::key_escape);
    EXPECT_EQ(test_state_flag(kFlagRangeSelected), 0);
    EXPECT_EQ(level_count(), 1);
    key(platform::key_escape);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(Sheet, ARangeEndsWhenTheSheetIsWrittenAnew) {
    click(1, 0);
    key(platform::key_down);
    ASSERT_NE(test_state_flag(kFlagRangeSelected), 0);
    ASSERT_EQ(run_command_string("grid_cut", 0), 0);
    set_run_state(0);  // the queued action is not carried out before the rewrite
    write_sheet();
    EXPECT_EQ(test_state_flag(kFlagRangeSelected), 0);
    EXPECT_EQ(grid_control().queued_code, 0);
}

TEST_F(Sheet, AnUpwardRangeIsDeliveredFromItsUpperRow) {
    click(3, 0);
    key(platform::key_up);
    key(platform::key_up);
    EXPECT_EQ(g_events.back().rows, -2);
    g_events.clear();
    ASSERT_EQ(run_command_string("grid_copy", 0), 0);
    settle();
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().code, 14);
    EXPECT_EQ(g_events.back().first, 1);
    EXPECT_EQ(g_events.back().last, 3);
    EXPECT_EQ(g_events.back().rows, 2);
}

TEST_F(Sheet, GridCommandsQueueTheirActions) {
    struct Case {
        const char* line;
        int action;
        int argument;
    } cases[] = {
        {"grid_copy", 14, 0},           {"grid_cut", 13, 0},
        {"grid_delete", 2, 0},          {"grid_paste", 15, 0},
        {"grid_insert 3", 1, 3},        {"grid_reverse", 12, 0},
        {"grid_negate", 16, 0},         {"grid_insert_lens_file", 18, 0},
        {"grid_catalog_parts", 17, 0},  {"grid_make_element", 20, 0},
        {"grid_dissolve_group", 21, 0}, {"grid_scale", 23, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        set_run_state(0);
        grid_control().queued_code = 0;
        EXPECT_EQ(run_command_string(k.line, 0), 0);
        EXPECT_EQ(grid_control().queued_code, k.action);
        EXPECT_EQ(grid_control().queued_argument, k.argument);
        EXPECT_EQ(run_state(), kRunStateGridAction);
    }
    set_run_state(0);
    grid_control().queued_code = 0;
}

TEST_F(Sheet, ATypedNumberReachesTheLevelAsAnEditAndOtherLinesAsText) {
    click(1, kRadiusColumn + 2);
    g_events.clear();
    type("2.25");
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events[0].code, 5);
    EXPECT_EQ(g_events[0].field, 2);
    EXPECT_EQ(g_events[0].first, 1);
    EXPECT_DOUBLE_EQ(g_events[0].value, 2.25);
    EXPECT_DOUBLE_EQ(g_model.radius[1], 2.25);
    // The cell is current again in the rewritten sheet, showing the new value.
    EXPECT_EQ(current().field_code, 2);
    EXPECT_EQ(current().field_index, 1);
    EXPECT_EQ(current_text(), "   2.250000");

    struct Case {
        const char* typed;
    } handed[] = {{"grid_copy"}, {"2*"}, {"no_such_command 4"}};
    for (const Case& k : handed) {
        SCOPED_TRACE(k.typed);
        g_events.clear();
        type(k.typed);
        ASSERT_FALSE(g_events.empty());
        EXPECT_EQ(g_events[0].code, 6);
        EXPECT_EQ(g_events[0].text, k.typed);
        EXPECT_DOUBLE_EQ(g_model.radius[1], 2.25);
        set_run_state(0);
        grid_control().queued_code = 0;
    }
}

TEST_F(Sheet, StepsOfAWidthFourIntCellStayWithinItsBounds) {
    struct Case {
        int row;
        int key;
        int expected;
    } cases[] = {
        {0, platform::key_up, 999},  // 1000 does not fit
        {0, platform::key_down, 998},
        {1, platform::key_down, -99},  // nor does -100
        {1, platform::key_up, -98},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.row * 10 + k.key);
        g_model.count[0] = 999;
        g_model.count[1] = -99;
        write_sheet();
        click(k.row, kCountColumn + 3);
        click(k.row, kCountColumn + 3, platform::modifier_shift);
        ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
        key(k.key);
        EXPECT_EQ(current().value.i, k.expected);
        // Enter hands the stepped value to the level (nothing when it did not change).
        g_events.clear();
        type("");
        if (k.expected == 999 || k.expected == -99) {
            EXPECT_TRUE(std::none_of(g_events.begin(), g_events.end(),
                                     [](const Recorded& r) { return r.code == 5; }));
        } else {
            ASSERT_FALSE(g_events.empty());
            EXPECT_EQ(g_events[0].code, 5);
            EXPECT_EQ(g_events[0].int_value, k.expected);
            EXPECT_EQ(g_model.count[k.row], k.expected);
        }
    }
}

TEST_F(Sheet, ADoubleSteppedBelowTheSmallestBecomesZeroAndIsHeldAtTheLargest) {
    // The caret on the exponent: down divides by ten, up multiplies.
    click(0, kSmallColumn + 9);
    click(0, kSmallColumn + 9, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
    key(platform::key_down);
    EXPECT_EQ(current().value.d, 0.0);
    EXPECT_EQ(current_text(), "  0.00e+00");

    click(1, kSmallColumn + 9);
    click(1, kSmallColumn + 9, platform::modifier_shift);
    key(platform::key_up);
    EXPECT_EQ(current().value.d, 1e64);
    key(platform::key_up);
    EXPECT_EQ(current().value.d, 1e64);
    EXPECT_EQ(current_text(), "  1.00e+64");
    // A digit of the mantissa steps by its place: 2.50e+03 at the first decimal is 100.
    click(2, kSmallColumn + 4);
    click(2, kSmallColumn + 4, platform::modifier_shift);
    key(platform::key_up);
    EXPECT_DOUBLE_EQ(current().value.d, 2600.0);
    // Enter delivers the held value.
    g_events.clear();
    click(1, kSmallColumn + 9);
    click(1, kSmallColumn + 9, platform::modifier_shift);
    key(platform::key_up);
    type("");
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().code, 5);
    EXPECT_EQ(g_events.back().value, 1e64);
}

TEST_F(Sheet, APrintedNumbersTipShowsAfterTwoHundredMilliseconds) {
    const int row = output_rows_current();
    set_output_window(platform::kWindowText1);
    write_output_text("values ", false);
    text_number(2.5);
    write_output_text(" ", false);
    text_number(-7.25);
    write_output_text("\n", false);
    TextArea* a = textarea(platform::kWindowText1);
    ASSERT_NE(a, nullptr);
    const int shown_row = a->position_of(a->newest()) - a->position_of(a->top_line);
    ASSERT_GE(shown_row, 0);
    // The second number starts after "values " (7), the first number (11) and a blank: 19.
    platform::MouseEvent e;
    e.action = platform::MouseAction::press;
    e.button = platform::MouseButton::left;
    e.position = {a->left_margin + 21 * a->char_width + 2,
                  a->top_margin + shown_row * a->line_height + 3};
    ui().post_mouse(platform::kWindowText1, e);
    settle();
    ui().set_status_text("");
    ui().advance_clock(199);
    settle();
    EXPECT_EQ(ui().status_text(), "");
    ui().advance_clock(1);
    settle();
    const std::string tip = ui().status_text();
    EXPECT_EQ(tip.rfind("b" + std::to_string(row) + " = ", 0), 0u) << tip;
    EXPECT_NE(tip.find("-7.25"), std::string::npos) << tip;
    // The tip shows once.
    ui().set_status_text("");
    ui().advance_clock(500);
    settle();
    EXPECT_EQ(ui().status_text(), "");
}

TEST_F(Sheet, TheCurrentCellIsDrawnInvertedAndClearedWhenLeft) {
    platform::RecordingDeviceContext* dc = ui().recording_context(platform::kWindowSpreadsheet);
    ASSERT_NE(dc, nullptr);
    const TextArea* a = textarea(kSheetArea);
    dc->clear_records();
    click(1, kRadiusColumn + 2);
    const int x0 = a->left_margin + kRadiusColumn * a->char_width;
    const int y0 = a->top_margin + a->line_height;
    char fill[96];
    std::snprintf(fill, sizeof fill, "fill %d,%d %d,%d %d,%d,%d", x0, y0, x0 + 11 * a->char_width,
                  y0 + a->char_height + 3, a->text_colour.red, a->text_colour.green,
                  a->text_colour.blue);
    const auto& records = dc->records();
    EXPECT_NE(std::find(records.begin(), records.end(), std::string(fill)), records.end())
        << "no inverted fill " << fill << "\n"
        << [&] {
               std::string all;
               for (const std::string& r : records) all += r + "\n";
               return all;
           }();
    // Moving on clears it to the background.
    dc->clear_records();
    key(platform::key_right);
    std::snprintf(fill, sizeof fill, "fill %d,%d %d,%d %d,%d,%d", x0, y0, x0 + 11 * a->char_width,
                  y0 + a->char_height + 3, a->background.red, a->background.green,
                  a->background.blue);
    EXPECT_NE(std::find(dc->records().begin(), dc->records().end(), std::string(fill)),
              dc->records().end())
        << "the cell left was not cleared";
}

TEST_F(Sheet, AValueListCellStepsThroughItsLevelAndHandsOnTheChoice) {
    const int column = 23;  // "Wave   550  off  note  " comes first
    click(-1, column + 1);
    ASSERT_EQ(current().field_code, kGridKindValueList | 13);
    g_events.clear();
    click(-1, column + 1, platform::modifier_shift);
    EXPECT_EQ(grid_state().edit_state, kGridEditValueList);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().code, 11);
    key(platform::key_up);
    key(platform::key_up);
    key(platform::key_down);
    EXPECT_EQ(codes(), (std::vector<int>{11, 10, 10, 9}));
    EXPECT_EQ(current().value.i, 27);
    EXPECT_EQ(current_text(), " 27");
    g_events.clear();
    type("");
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events[0].code, 5);
    EXPECT_EQ(g_events[0].argument, 1);  // changed in the value-list state
    EXPECT_EQ(g_events[0].int_value, 27);
}

TEST_F(Sheet, ADispatchAskedForWhileTheHandlerRunsIsDropped) {
    g_nested_result = -1;
    click(0, kButtonColumn + 1);
    EXPECT_EQ(g_nested_result, 0);
    const std::vector<int> c = codes();
    EXPECT_EQ(std::count(c.begin(), c.end(), 4), 1);
}

TEST_F(Sheet, PromptPopupsOpenAtTheCurrentCell) {
    int window = -1;
    platform::Point at;
    EXPECT_FALSE(choice_popup_anchor(&window, &at));
    click(2, kCountColumn + 1);
    ASSERT_TRUE(choice_popup_anchor(&window, &at));
    const TextArea* a = textarea(kSheetArea);
    EXPECT_EQ(window, platform::kWindowSpreadsheet);
    EXPECT_EQ(at.x, a->left_margin + kCountColumn * a->char_width);
    EXPECT_EQ(at.y, a->top_margin + 3 * a->line_height);  // under row 2
}

TEST_F(Sheet, ThePrivateClipboardIsCopiedIntoTheCallersBuffer) {
    auto put = [this](const std::string& text) {
        platform::UiBackend::ClipboardItem item;
        item.mime_type = platform::kSurfaceClipboardMime;
        item.bytes.assign(text.begin(), text.end());
        ASSERT_EQ(ui().set_clipboard_items({item}), 0);
    };
    char* buffer = nullptr;
    // Nothing of the format: the buffer stays as it was.
    EXPECT_NE(read_private_clipboard(&buffer), 0);
    EXPECT_EQ(buffer, nullptr);
    put("SRF 1;RD 50;TH 5\n");
    EXPECT_NE(read_private_clipboard(&buffer), 0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_STREQ(buffer, "SRF 1;RD 50;TH 5\n");
    // Shorter data fits the block it has; longer data gets a larger one.
    put("TH 7");
    EXPECT_NE(read_private_clipboard(&buffer), 0);
    EXPECT_STREQ(buffer, "TH 7");
    const std::string longer(300, 'x');
    put(longer);
    EXPECT_NE(read_private_clipboard(&buffer), 0);
    EXPECT_EQ(std::string(buffer), longer);
    EXPECT_EQ(private_clipboard_size(), 300u);
    // Another format only: the last copy stays.
    platform::UiBackend::ClipboardItem other;
    other.mime_type = "image/bmp";
    other.bytes = {1, 2, 3};
    ASSERT_EQ(ui().set_clipboard_items({other}), 0);
    EXPECT_NE(read_private_clipboard(&buffer), 0);
    EXPECT_EQ(std::string(buffer), longer);
    std::free(buffer);
}

// The grid's status text is the label under window 16's pane, kept for the window when it is
// made later; message 0 clears it.
TEST_F(Sheet, TheGridStatusTextIsFormattedFromItsMessage) {
    grid_status_printf(kMsgTooManyLevels, 16);
    EXPECT_NE(std::string(grid_status_label()).find("16"), std::string::npos)
        << grid_status_label();
    EXPECT_EQ(window16_label(), grid_status_label());
    ASSERT_EQ(create_graphics_text_window(nullptr), 0);
    EXPECT_EQ(ui().window_label(platform::kWindowGraphicsText), grid_status_label());
    grid_status_printf(0);
    EXPECT_STREQ(grid_status_label(), "");
    EXPECT_EQ(ui().window_label(platform::kWindowGraphicsText), "");
}

// Scrolling the sheet: a selected cell goes along with the view, a cell being edited holds it.
TEST_F(Sheet, TheCurrentCellLimitsTheScrollingOfTheSheet) {
    g_model.rows = 12;
    write_sheet();
    const TextArea* a = textarea(kSheetArea);
    ASSERT_GT(a->line_count, a->visible_lines);
    click(0, kRadiusColumn + 2);
    ASSERT_EQ(current().field_index, 0);
    platform::ScrollEvent down;
    down.bar = platform::ScrollBar::vertical;
    down.action = platform::ScrollAction::line_down;
    for (int k = 0; k < 3; ++k) ui().post_scroll(platform::kWindowSpreadsheet, down);
    settle();
    EXPECT_EQ(a->position_of(a->top_line), 3);
    EXPECT_EQ(current().field_index, 3);  // moved along, still in the top row
    EXPECT_EQ(current().field_code, 2);
    // Being edited, the cell stands at the top edge: the view does not move.
    click(0, kRadiusColumn + 2, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
    ui().post_scroll(platform::kWindowSpreadsheet, down);
    settle();
    EXPECT_EQ(a->position_of(a->top_line), 3);
    EXPECT_EQ(current().field_index, 3);
}

// The level's cursor is the current cell once the level's output has ended; without one the
// cell that was current is found again in the rewritten lines.
TEST_F(Sheet, TheLevelCursorPlacesTheCurrentCellWhenTheSheetIsWritten) {
    set_level_cursor(3, 2, 0);
    write_sheet();
    ASSERT_NE(current().text, nullptr);
    EXPECT_EQ(current().field_code, 3);
    EXPECT_EQ(current().field_index, 2);
    EXPECT_EQ(current().value.i, 5);
    g_model.count[2] = 42;
    write_sheet();
    EXPECT_EQ(current().field_code, 3);
    EXPECT_EQ(current().field_index, 2);
    EXPECT_EQ(current_text(), "  42");
    EXPECT_EQ(current().value.i, 42);
    // Leaving an edit of it returns to what the level wrote.
    grid_set_edit_mode(1);
    grid_set_edit_mode(0);
    EXPECT_EQ(current().value.i, 42);
}

// A click elsewhere while a number is edited commits what the command line holds to the edited
// cell first, and does nothing else.
TEST_F(Sheet, AClickAwayFromAnEditedCellCommitsTheTypedTextFirst) {
    click(2, kRadiusColumn + 4);
    click(2, kRadiusColumn + 4, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
    EXPECT_EQ(ui().command_line_text(), "");  // editing starts on an empty command line
    ui().set_command_line_text("3.5");
    g_events.clear();
    click(0, kRadiusColumn + 4);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events[0].code, 5);
    EXPECT_EQ(g_events[0].first, 2);
    EXPECT_DOUBLE_EQ(g_model.radius[2], 3.5);
    EXPECT_EQ(current().field_index, 2);  // the click itself was not carried out
}

// While a number is edited in place, what is typed on the command line shows in the cell with
// '_' at the caret; a text longer than the cell scrolls to keep the caret inside.
TEST_F(Sheet, TheTextTypedOnTheCommandLineShowsInTheEditedCell) {
    click(1, kCountColumn + 1);
    click(1, kCountColumn + 1, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
    platform::RecordingDeviceContext* dc = ui().recording_context(platform::kWindowSpreadsheet);
    const TextArea* a = textarea(kSheetArea);
    const int y = a->top_margin + a->line_height;
    const int text_y = y + a->baseline - dc->text_metrics().ascent;
    auto x = [&](int column) { return a->left_margin + column * a->char_width; };
    auto drawn = [&](int column, const std::string& text) {
        const std::string record = "text " + std::to_string(x(column)) + "," +
                                   std::to_string(text_y) + " \"" + text + "\"";
        const auto& r = dc->records();
        return std::find(r.begin(), r.end(), record) != r.end();
    };
    struct Case {
        const char* typed;
        int caret;
        const char* shown;
        int caret_column;  // relative to the cell
    } cases[] = {
        {"7", 1, "7   ", 1},
        {"-12", 1, "-12 ", 1},
        {"123456", 6, "456 ", 3},  // scrolled: the caret stays in the four columns
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        dc->clear_records();
        ui().edit_command_line(k.typed, k.caret);
        EXPECT_TRUE(drawn(kCountColumn, k.shown));
        EXPECT_TRUE(drawn(kCountColumn + k.caret_column, "_"));
    }
    // Nothing is taken before Enter: the cell's value is still the level's.
    EXPECT_EQ(current().value.i, -99);
}

// A Shift press below the edited cell steps its value down at once, again after 200 ms and then
// every 50 ms, until the button is released.
TEST_F(Sheet, APressBesideTheEditedCellRepeatsItsStepUntilReleased) {
    click(2, kCountColumn + 2);
    click(2, kCountColumn + 2, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
    ASSERT_EQ(current().value.i, 5);
    const TextArea* a = textarea(kSheetArea);
    platform::MouseEvent e;
    e.action = platform::MouseAction::press;
    e.button = platform::MouseButton::left;
    e.modifiers = platform::modifier_shift;
    e.position = {a->left_margin + (kCountColumn + 2) * a->char_width + 2,
                  a->top_margin + 3 * a->line_height + 4};
    ui().post_mouse(platform::kWindowSpreadsheet, e);
    settle();
    EXPECT_EQ(current().value.i, 4);
    struct Tick {
        int ms;
        int value;
    } ticks[] = {{199, 4}, {1, 3}, {49, 3}, {1, 2}, {50, 1}};
    for (const Tick& t : ticks) {
        ui().advance_clock(t.ms);
        settle();
        EXPECT_EQ(current().value.i, t.value) << t.ms;
    }
    e.action = platform::MouseAction::release;
    ui().post_mouse(platform::kWindowSpreadsheet, e);
    settle();
    ui().advance_clock(500);
    settle();
    EXPECT_EQ(current().value.i, 1);
    EXPECT_EQ(current_text(), "  1 ");
}

// While a question or a parameter prompt is open the level hears of a changed cell only once it
// is answered: the change waits on a 200 ms timer that re-arms itself meanwhile.
bool g_prompt_open = false;

TEST_F(Sheet, ACellChangeWaitsWhileAPromptIsOpen) {
    struct FakePrompt {
        GridCommandLineHooks saved = grid_command_line_hooks();
        FakePrompt() {
            grid_command_line_hooks().prompt_open = [] { return g_prompt_open; };
        }
        ~FakePrompt() {
            grid_command_line_hooks() = saved;
            g_prompt_open = false;
        }
    } fake;
    g_prompt_open = true;
    key(platform::key_right);
    ASSERT_NE(current().text, nullptr);
    EXPECT_TRUE(g_events.empty());
    ui().advance_clock(200);
    settle();
    ui().advance_clock(200);
    settle();
    EXPECT_TRUE(g_events.empty());
    g_prompt_open = false;
    ui().advance_clock(200);
    settle();
    EXPECT_EQ(codes(), (std::vector<int>{3}));
    ui().advance_clock(1000);
    settle();
    EXPECT_EQ(codes(), (std::vector<int>{3}));
}

// A value the level refuses (without rewriting the sheet) is reported, and the cell goes back
// to its value, selected.
TEST_F(Sheet, AValueTheLevelRefusesLeavesTheCellAsItWas) {
    click(2, kCountColumn + 1);
    ASSERT_EQ(current().value.i, 5);
    type("600");
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back().code, 5);
    EXPECT_EQ(g_events.back().int_value, 600);
    EXPECT_EQ(g_model.count[2], 5);
    EXPECT_EQ(current().field_code, 3);
    EXPECT_EQ(current().field_index, 2);
    EXPECT_EQ(current().value.i, 5);
    EXPECT_EQ(current_text(), "  5 ");
    EXPECT_EQ(grid_state().edit_state, kGridSelected);
    EXPECT_FALSE(ui().message_boxes_shown().empty());
}

TEST_F(Sheet, ATypedExitLevelsIsCarriedOutAfterTheEvent) {
    click(1, kRadiusColumn + 2);
    type("exit_levels");
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(current().text, nullptr);
}

// A text cell's edit that is left shows the text the cell held when it became current: a typed
// text the level refuses, and a value-list choice given up with Escape (which ends the edit and
// keeps the level).
TEST_F(Sheet, ATextCellShowsItsTextAgainWhenItsEditIsLeft) {
    g_model.text_cells = true;
    write_sheet();
    // Header: "Wave   550  off  note   17  glass   red  ": text cell at 28-33, colour 36-40.
    constexpr int kGlassColumn = 28;
    constexpr int kColourColumn = 36;
    click(-1, kGlassColumn + 1);
    ASSERT_EQ(current().field_code, kGridKindText | 6);
    ASSERT_EQ(current_text(), "glass ");
    struct Typed {
        const char* text;
        const char* model;
        const char* shown;
    } typed[] = {
        {"BAD", "glass", "glass "},  // refused: the old text again
        {"flint", "flint", "flint "},
        {"BAD", "flint", "flint "},  // refused after a change: the level's latest text
    };
    for (const Typed& t : typed) {
        SCOPED_TRACE(t.text);
        g_events.clear();
        type(t.text);
        ASSERT_FALSE(g_events.empty());
        EXPECT_EQ(g_events.back().code, 5);
        EXPECT_EQ(g_events.back().text, t.text);
        EXPECT_EQ(g_model.glass, t.model);
        EXPECT_EQ(current().field_code, kGridKindText | 6);
        EXPECT_EQ(current_text(), t.shown);
        EXPECT_EQ(grid_state().edit_state, kGridSelected);
    }

    click(-1, kColourColumn + 1);
    ASSERT_EQ(current().field_code, kGridKindValueList | 7);
    click(-1, kColourColumn + 1, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditValueList);
    key(platform::key_up);
    EXPECT_EQ(current_text(), "green");
    key(platform::key_up);
    EXPECT_EQ(current_text(), "blue ");
    key(platform::key_escape);
    EXPECT_EQ(current_text(), "red  ");
    EXPECT_EQ(grid_state().edit_state, kGridSelected);
    EXPECT_EQ(level_count(), 1);
    EXPECT_EQ(g_model.colour, 0);
    // Chosen and entered, the choice reaches the level.
    click(-1, kColourColumn + 1, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditValueList);
    key(platform::key_down);
    EXPECT_EQ(current_text(), "blue ");
    g_events.clear();
    type("");
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events[0].code, 5);
    EXPECT_EQ(g_events[0].argument, 1);
    EXPECT_EQ(g_events[0].text, "blue");
    EXPECT_EQ(g_model.colour, 2);
}

// A number edited in place returns to its value when Escape ends the edit; the level stays.
TEST_F(Sheet, EscapeEndsANumbersEditBeforeItLeavesTheLevel) {
    click(2, kCountColumn + 3);
    click(2, kCountColumn + 3, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
    key(platform::key_up);
    ASSERT_EQ(current().value.i, 6);
    key(platform::key_escape);
    EXPECT_EQ(current().value.i, 5);
    EXPECT_EQ(current_text(), "  5 ");
    EXPECT_EQ(grid_state().edit_state, kGridSelected);
    EXPECT_EQ(level_count(), 1);
    EXPECT_EQ(g_model.count[2], 5);
    key(platform::key_escape);
    EXPECT_EQ(level_count(), 0);
}

// A fixed-point number stepped past 999.999999 turns to exponent form with the caret just after
// the decimal point, so that the next step changes the first decimal of the mantissa.
TEST_F(Sheet, ANumberSteppedPastTheFixedFormJumpsToExponentForm) {
    g_model.radius[3] = 999.5;
    write_sheet();
    // " 999.500000": the first decimal stands at column 5 of the cell.
    click(3, kRadiusColumn + 5);
    click(3, kRadiusColumn + 5, platform::modifier_shift);
    ASSERT_EQ(grid_state().edit_state, kGridEditNumber);
    ASSERT_EQ(current().caret_column, kRadiusColumn + 5);
    for (int k = 0; k < 4; ++k) key(platform::key_up);
    ASSERT_EQ(current_text(), " 999.900000");
    EXPECT_EQ(current().caret_column, kRadiusColumn + 5);
    key(platform::key_up);
    EXPECT_DOUBLE_EQ(current().value.d, 1000.0);
    const std::string shown = current_text();
    const std::size_t point = shown.find('.');
    ASSERT_NE(point, std::string::npos) << shown;
    EXPECT_NE(shown.find_first_of("eE"), std::string::npos) << shown;
    EXPECT_EQ(shown.substr(0, point).find_first_not_of(' '), point - 1) << shown;  // "1."
    EXPECT_EQ(current().caret_column, kRadiusColumn + static_cast<int>(point) + 1);
    // 1.0e+03 stepped at its first decimal: 1100.
    key(platform::key_up);
    EXPECT_DOUBLE_EQ(current().value.d, 1100.0);
}

// A double-click is the second press of a pair: a typed cell the first press selected keeps its
// whole value selected in the command line, so that typed keys replace it; a button the first
// press already activated is not activated a second time; a value-list cell opens its list.
TEST_F(Sheet, ADoubleClickEditsATypedCellAndActivatesAButtonOnce) {
    const TextArea* a = textarea(kSheetArea);
    auto double_click = [&](int row, int column) {
        const TextArea* h = textarea(kHeaderArea);
        platform::MouseEvent e;
        e.button = platform::MouseButton::left;
        e.position = {a->left_margin + column * a->char_width + 2,
                      row < 0 ? h->top_margin + 4 : a->top_margin + row * a->line_height + 4};
        for (const platform::MouseAction action :
             {platform::MouseAction::press, platform::MouseAction::release,
              platform::MouseAction::double_click, platform::MouseAction::release}) {
            e.action = action;
            ui().post_mouse(platform::kWindowSpreadsheet, e);
        }
        settle();
    };
    // Two plain presses: the cell stays selected.
    click(1, kRadiusColumn + 4);
    click(1, kRadiusColumn + 4);
    EXPECT_EQ(grid_state().edit_state, kGridSelected);

    struct Case {
        int row;
        int column;
        int code;
        int state;
        int caret;  // -1: not editing a number
    } cases[] = {
        {2, kRadiusColumn + 8, 2, kGridSelected, -1},
        {0, kCountColumn + 2, 3, kGridSelected, -1},
        {-1, 24, kGridKindValueList | 13, kGridEditValueList, -1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.code * 100 + k.row);
        // An edit left over from the case before ends (Escape on a selected cell would leave
        // the level).
        if (grid_state().edit_state > kGridSelected) key(platform::key_escape);
        g_events.clear();
        double_click(k.row, k.column);
        ASSERT_NE(current().text, nullptr);
        EXPECT_EQ(current().field_code, k.code);
        EXPECT_EQ(grid_state().edit_state, k.state);
        if (k.caret >= 0) {
            EXPECT_EQ(current().caret_column, k.caret);
        }
        if (k.state == kGridSelected) {
            // Whatever the cell offers in the command line stays selected whole.
            const std::string offered = ui().command_line_text();
            EXPECT_EQ(ui().command_line_selection(),
                      std::make_pair(0, static_cast<int>(offered.size())));
        }
        EXPECT_EQ(level_count(), 1);
    }
    EXPECT_EQ(g_events.back().code, 11);  // the value list was opened

    ASSERT_EQ(grid_state().edit_state, kGridEditValueList);
    key(platform::key_escape);
    ASSERT_EQ(level_count(), 1);
    g_events.clear();
    double_click(2, kButtonColumn + 1);
    int activations = 0;
    for (const Recorded& r : g_events) activations += r.code == 4 && r.field == 4 ? 1 : 0;
    EXPECT_EQ(activations, 1);
    // A double-click on the button when it was current already: the first press activates it.
    g_events.clear();
    double_click(2, kButtonColumn + 1);
    activations = 0;
    for (const Recorded& r : g_events) activations += r.code == 4 && r.field == 4 ? 1 : 0;
    EXPECT_EQ(activations, 1);
}

// A sheet of the stored size (size mode 1) offers its first data cell when the level shows it
// without a cursor; other sheets start without a current cell. The header's cells, row
// selectors and buttons are not data cells.
TEST_F(Sheet, ADataSheetStartsOnItsFirstDataCell) {
    struct Case {
        int size_mode;
        int code;  // 0: no current cell
        int index;
    } cases[] = {{1, 2, 0}, {0, 0, 0}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.size_mode);
        ASSERT_EQ(push_command_level(sheet_handler, 6, k.size_mode), 0);
        settle();
        ASSERT_EQ(level_count(), 2);
        if (k.code == 0) {
            EXPECT_EQ(current().text, nullptr);
        } else {
            ASSERT_NE(current().text, nullptr);
            EXPECT_EQ(current().field_code, k.code);
            EXPECT_EQ(current().field_index, k.index);
            EXPECT_EQ(current().header, 0);
            EXPECT_EQ(grid_state().edit_state, kGridSelected);
        }
        pop_command_level(false);
        ASSERT_EQ(level_count(), 1);
        grid_drop_current();
    }
    // A cell that is current stays current when the data sheet is written again, and a sheet
    // that lost its cell offers the first one again.
    top_level()->size_mode = 1;
    click(2, kCountColumn + 1);
    write_sheet();
    EXPECT_EQ(current().field_code, 3);
    EXPECT_EQ(current().field_index, 2);
    grid_drop_current();
    g_model.rows = 0;
    write_sheet();
    EXPECT_EQ(current().text, nullptr);  // no data cell at all: nothing is chosen
    g_model.rows = 2;
    write_sheet();
    EXPECT_EQ(current().field_code, 2);
    EXPECT_EQ(current().field_index, 0);
}

// Plain cells are framed while the level asks for frames (its option word), and only then.
TEST_F(Sheet, PlainCellsAreFramedWhenTheLevelAsksForFrames) {
    platform::RecordingDeviceContext* dc = ui().recording_context(platform::kWindowSpreadsheet);
    ASSERT_NE(dc, nullptr);
    const TextArea* a = textarea(kSheetArea);
    // The outline of a cell of row 0 one pixel outside its columns, from the row's top to one
    // pixel below the cell's band of char height + 3.
    auto frame = [&](int first, int end) {
        const int l = a->left_margin + first * a->char_width - 1;
        const int r = a->left_margin + end * a->char_width;
        const int t = a->top_margin;
        const int b = t + a->char_height + 3;
        char text[128];
        std::snprintf(text, sizeof text, "polyline %d,%d %d,%d %d,%d %d,%d %d,%d", l, t, r, t, r, b,
                      l, b, l, t);
        return std::string(text);
    };
    auto drawn = [&](const std::string& record) {
        return std::find(dc->records().begin(), dc->records().end(), record) != dc->records().end();
    };
    struct Case {
        int option;
        bool radius;  // plain cells: framed when asked
    } cases[] = {{0, false}, {1, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.option);
        top_level()->option = k.option;
        dc->clear_records();
        write_sheet();
        ui().invalidate(platform::kWindowSpreadsheet);
        ui().update_now();
        EXPECT_EQ(drawn(frame(kRadiusColumn, kRadiusColumn + 11)), k.radius);
        EXPECT_EQ(drawn(frame(kCountColumn, kCountColumn + 4)), k.radius);
        // A button has its raised edges, a row selector none: neither is framed.
        EXPECT_FALSE(drawn(frame(kButtonColumn, kButtonColumn + 4)));
        EXPECT_FALSE(drawn(frame(0, 2)));
    }
}

// While window 16's grid (area 4) is the active grid, up and down move the selection of its
// list (area 0), scrolling it into view; 200 ms after the last move the window's owner hears of
// the selected line (kind 3, the line and its text).
struct Chosen {
    int kind;
    int line;
    std::string text;
};
std::vector<Chosen> g_chosen;

TEST_F(Sheet, WindowSixteensGridLeavesUpAndDownToItsSelectionList) {
    ASSERT_EQ(create_graphics_text_window(nullptr), 0);
    ui().show_window(platform::kWindowGraphicsText, true);
    const FontMetricsCell font = fixed_font_metrics();
    ASSERT_EQ(textarea_create(platform::kWindowGraphicsText, kListArea, font, 50, 4, 40), 0);
    ASSERT_EQ(textarea_create(platform::kWindowGraphicsText, kGridTextArea, font, 50, 4, 40), 0);
    for (int k = 0; k < 8; ++k) {
        const std::string item = "item " + std::to_string(k);
        textarea_append_line(kListArea, 0, item, nullptr);
    }
    textarea_append_line(kGridTextArea, 0, "Lens view", nullptr);
    const TextArea* list = textarea(kListArea);
    ASSERT_EQ(list->line_count, 8);
    ASSERT_EQ(list_selected_line(), -1);
    g_chosen.clear();
    set_list_selection_callback([](int kind, int line, const char* text) {
        g_chosen.push_back({kind, line, text});
        return 0;
    });
    grid_state().active_area = kGridTextArea;
    g_events.clear();
    struct Step {
        int key;
        int selected;
        int top;  // the list's first visible line (4 are visible)
    } steps[] = {
        {platform::key_down, 0, 0},  // no selection yet: the first line
        {platform::key_down, 1, 0}, {platform::key_down, 2, 0}, {platform::key_down, 3, 0},
        {platform::key_down, 4, 1},  // below the view: it becomes the last visible line
        {platform::key_down, 5, 2}, {platform::key_up, 4, 2},   {platform::key_up, 3, 2},
        {platform::key_up, 2, 2},   {platform::key_up, 1, 1},  // above: the top line
        {platform::key_up, 0, 0},   {platform::key_up, 0, 0},  // nothing above the first
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.selected * 10 + st.top);
        key(st.key);
        EXPECT_EQ(list_selected_line(), st.selected);
        EXPECT_EQ(list->position_of(list->top_line), st.top);
    }
    EXPECT_EQ(current().text, nullptr);  // the sheet's cells did not move
    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(g_chosen.empty());
    // While the owner waits to hear of the line, the list's mouse is ignored.
    platform::MouseEvent press;
    press.action = platform::MouseAction::press;
    press.button = platform::MouseButton::left;
    press.position = {list->left_margin + 3, list->top_margin + 2 * list->line_height + 2};
    list_on_mouse(press);
    EXPECT_EQ(list_selected_line(), 0);
    ui().advance_clock(199);
    settle();
    EXPECT_TRUE(g_chosen.empty());
    ui().advance_clock(1);
    settle();
    ASSERT_EQ(g_chosen.size(), 1u);
    EXPECT_EQ(g_chosen[0].kind, 3);
    EXPECT_EQ(g_chosen[0].line, 0);
    EXPECT_EQ(g_chosen[0].text, "item 0");
    // Each move starts the wait again; the owner hears once, of the last line.
    key(platform::key_down);
    ui().advance_clock(150);
    settle();
    key(platform::key_down);
    ui().advance_clock(150);
    settle();
    EXPECT_EQ(g_chosen.size(), 1u);
    ui().advance_clock(50);
    settle();
    ASSERT_EQ(g_chosen.size(), 2u);
    EXPECT_EQ(g_chosen[1].line, 2);
    EXPECT_EQ(g_chosen[1].text, "item 2");
    ui().advance_clock(1000);
    settle();
    EXPECT_EQ(g_chosen.size(), 2u);
    set_list_selection_callback(nullptr);
}

// A press in the spreadsheet while window 16's grid is the active one is Escape on the command
// line: the sheet's level is left and no cell of the sheet becomes current.
TEST_F(Sheet, APressInTheSheetWhileWindowSixteensGridIsActiveIsEscape) {
    grid_state().active_area = kGridTextArea;
    click(1, kRadiusColumn + 2);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(current().text, nullptr);
    EXPECT_TRUE(std::none_of(g_events.begin(), g_events.end(),
                             [](const Recorded& r) { return r.code == 3; }));
}

// Window 16's selection list under the mouse: a press selects the line under the pointer and a
// release chooses it (kind 3); a double-click on the line just chosen is kind 4, on another
// line kind 3; dragging below the list scrolls the selection a line every 50 ms until the
// pointer comes back. The owner places the list with textarea_select_line before writing it.
TEST_F(Sheet, WindowSixteensSelectionListTakesClicksDoubleClicksAndDrags) {
    ASSERT_EQ(create_graphics_text_window(nullptr), 0);
    ui().show_window(platform::kWindowGraphicsText, true);
    const FontMetricsCell font = fixed_font_metrics();
    ASSERT_EQ(textarea_create(platform::kWindowGraphicsText, kListArea, font, 50, 4, 40), 0);
    TextArea* list = textarea(kListArea);
    // Line 6 of 10 selected: the view puts it in the middle, 6 - (4 - 1) / 2 = 5, and a
    // selection near the end stops at the last page, 10 - 4 = 6.
    struct Placed {
        int line;
        int top;
    } placed[] = {{6, 5}, {9, 6}, {0, 0}};
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.line);
        textarea_select_line(10, p.line);
        for (int k = 0; k < 10; ++k) {
            textarea_append_line(kListArea, 0, "line " + std::to_string(k), nullptr);
        }
        EXPECT_EQ(list->line_count, 10);
        EXPECT_EQ(list_selected_line(), p.line);
        EXPECT_EQ(list->position_of(list->top_line), p.top);
    }
    g_chosen.clear();
    set_list_selection_callback([](int kind, int line, const char* text) {
        g_chosen.push_back({kind, line, text});
        return 0;
    });
    auto mouse = [&](platform::MouseAction action, int row) {
        platform::MouseEvent e;
        e.action = action;
        e.button = action == platform::MouseAction::move ? platform::MouseButton::none
                                                         : platform::MouseButton::left;
        e.position = {list->left_margin + 3, list->top_margin + row * list->line_height + 2};
        list_on_mouse(e);
        settle();
    };
    using platform::MouseAction;
    mouse(MouseAction::press, 2);
    EXPECT_EQ(list_selected_line(), 2);
    EXPECT_TRUE(g_chosen.empty());
    mouse(MouseAction::release, 2);
    mouse(MouseAction::double_click, 2);
    mouse(MouseAction::release, 2);  // the release after a double-click chooses nothing more
    mouse(MouseAction::press, 1);
    mouse(MouseAction::release, 1);
    mouse(MouseAction::double_click, 3);  // not the line the click chose
    ASSERT_EQ(g_chosen.size(), 4u);
    const int kinds[] = {3, 4, 3, 3};
    const int lines[] = {2, 2, 1, 3};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(g_chosen[static_cast<std::size_t>(k)].kind, kinds[k]) << k;
        EXPECT_EQ(g_chosen[static_cast<std::size_t>(k)].line, lines[k]) << k;
    }
    EXPECT_EQ(g_chosen[1].text, "line 2");

    // A drag below the view: the selection walks down a line every 50 ms.
    g_chosen.clear();
    mouse(MouseAction::press, 3);
    mouse(MouseAction::move, 5);
    EXPECT_EQ(list_selected_line(), 3);
    struct Tick {
        int ms;
        int selected;
    } ticks[] = {{49, 3}, {1, 4}, {50, 5}, {50, 6}};
    for (const Tick& t : ticks) {
        ui().advance_clock(t.ms);
        settle();
        EXPECT_EQ(list_selected_line(), t.selected) << t.ms;
    }
    EXPECT_EQ(list->position_of(list->top_line), 3);  // line 6 is the last visible one
    mouse(MouseAction::move, 1);  // back over the list: the line under the pointer
    EXPECT_EQ(list_selected_line(), 4);
    ui().advance_clock(200);
    settle();
    EXPECT_EQ(list_selected_line(), 4);
    mouse(MouseAction::release, 1);
    ASSERT_EQ(g_chosen.size(), 1u);
    EXPECT_EQ(g_chosen[0].line, 4);
    EXPECT_EQ(ui().mouse_capture(), -1);
    set_list_selection_callback(nullptr);
}

}  // namespace
