// The spreadsheet window's strip as a user meets it: its OK, Cancel and Help buttons and its
// tool row, and what pressing them does to the command level the sheet shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/sheet_strip.h"
#include "app/startup.h"
#include "app/toolbar.h"
#include "platform/state_reset.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/level_help.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/window_table.h"

namespace {

std::vector<std::pair<int, int>> g_events;
int record_events(GridEvent& e) {
    g_events.emplace_back(e.code, e.argument);
    return 0;
}

class SheetStrip : public loop_test::Loop {
protected:
    void SetUp() override {
        // The strip's pictures, as an installation holds them.
        namespace fs = std::filesystem;
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/bma")) {
            fs::copy_file(e.path(), run_.tree.root() / "bin/bma" / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        loop_test::Loop::SetUp();
        ASSERT_EQ(register_window_classes(), 0);
        g_events.clear();
    }
    void TearDown() override { loop_test::Loop::TearDown(); }
    const platform::ToolButton* button(int id) {
        for (const platform::ToolButton& b : ui().tool_buttons(platform::kWindowSpreadsheet)) {
            if (b.id == id) return &b;
        }
        return nullptr;
    }
    // A level as a command opens one, settled by a pass.
    void open_level() {
        ASSERT_EQ(push_command_level(record_events, 0, 0), 0);
        main_loop_pass(false);
        ASSERT_EQ(level_count(), 1);
        g_events.clear();
    }
};

TEST_F(SheetStrip, TheStripHoldsOkCancelHelpAndTheToolRowNumberedAfterTheFrameToolbar) {
    EXPECT_EQ(ui().tool_strip_height(platform::kWindowSpreadsheet), kSheetStripHeight);
    EXPECT_EQ(ui().tool_strip_height(platform::kWindowText1), 0);  // no strip of its own
    // The Part's places: OK at 2, Cancel at 28, Help 26 from the right edge; tips from the
    // messages.
    struct Case {
        int id;
        int x;
        int tip;
    };
    for (const Case& c : {Case{101, 2, -199}, Case{102, 28, -200}, Case{103, -26, -201}}) {
        const platform::ToolButton* b = button(c.id);
        ASSERT_NE(b, nullptr) << c.id;
        EXPECT_EQ(b->x, c.x) << c.id;
        EXPECT_EQ(b->tooltip, msg_text(c.tip)) << c.id;
        EXPECT_EQ(b->width * b->height, static_cast<int>(b->pixels.size())) << c.id;
        EXPECT_GT(b->width, 0) << c.id;
    }
    // The frame's toolbar has three buttons (15, 16, 17); the sheet's tool row ("history",
    // "exit_levels 0") follows them from x 58, the group mark adding its 13-pixel gap.
    std::vector<int> frame_ids;
    for (const platform::ToolButton& b : ui().tool_buttons(platform::kWindowFrame)) {
        frame_ids.push_back(b.id);
    }
    EXPECT_EQ(frame_ids, (std::vector<int>{15, 16, 17}));  // built once, not twice
    const platform::ToolButton* history = button(18);
    const platform::ToolButton* levels = button(19);
    ASSERT_NE(history, nullptr);
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(history->x, 58);
    EXPECT_EQ(levels->x, 58 + history->width + 13);
    EXPECT_EQ(history->tooltip, "Command history");
}

TEST_F(SheetStrip, OkKeepsTheLevelsEntriesAndCancelDropsThem) {
    // Escape closes a level with the mark -1, keeping with another; both end the level.
    struct Case {
        int button;
        bool cancelled;
    };
    for (const Case& c : {Case{101, false}, Case{102, true}}) {
        open_level();
        ASSERT_TRUE(ui().press_tool_button(platform::kWindowSpreadsheet, c.button));
        main_loop_pass(false);
        main_loop_pass(false);
        EXPECT_EQ(level_count(), 0) << c.button;
        ASSERT_FALSE(g_events.empty()) << c.button;
        EXPECT_EQ(g_events.back().first, kLevelEventChange) << c.button;
        EXPECT_EQ(g_events.back().second == -1, c.cancelled) << c.button;
    }
}

TEST_F(SheetStrip, ClosingTheSpreadsheetWindowCancelsItsLevel) {
    open_level();
    ui().show_window(platform::kWindowSpreadsheet, true);
    ui().post_close_request(platform::kWindowSpreadsheet);
    ui().process_one_event(false);
    main_loop_pass(false);
    main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events.back(), std::make_pair(static_cast<int>(kLevelEventChange), -1));

    // The last level's end puts the window away; shown with no level, closing it hides it.
    EXPECT_FALSE(ui().window_visible(platform::kWindowSpreadsheet));
    ui().show_window(platform::kWindowSpreadsheet, true);
    ui().post_close_request(platform::kWindowSpreadsheet);
    ui().process_one_event(false);
    EXPECT_FALSE(ui().window_visible(platform::kWindowSpreadsheet));
}

TEST_F(SheetStrip, OkOutsideALevelEntersTheCommandLineAndCancelEmptiesIt) {
    ui().set_command_line_text("x_strip = 41 + 1");
    ASSERT_TRUE(ui().press_tool_button(platform::kWindowSpreadsheet, 101));
    main_loop_pass(false);
    EXPECT_STREQ(history_line(history_count() - 1), "x_strip = 41 + 1");

    ui().set_command_line_text("not run");
    ASSERT_TRUE(ui().press_tool_button(platform::kWindowSpreadsheet, 102));
    main_loop_pass(false);
    EXPECT_EQ(ui().command_line_text(), "");
    EXPECT_STRNE(history_line(history_count() - 1), "not run");
}

TEST_F(SheetStrip, HelpForACommandWithoutATopicShowsTheRefusal) {
    // Topic 0 in sheet_set_title means the command has none (8191).
    sheet_set_title(0, -66);
    EXPECT_EQ(show_sheet_command_help(), kMsgHelpRefused);
    ASSERT_TRUE(ui().press_tool_button(platform::kWindowSpreadsheet, 103));
    main_loop_pass(false);
    EXPECT_NE(errors().find(msg_text(kMsgHelpRefused)), std::string::npos) << errors();
}

TEST_F(SheetStrip, AToolRowButtonRunsItsCommandLine) {
    // Enabled by the idle pass, as the strip's buttons are.
    main_loop_pass(false);
    ASSERT_TRUE(ui().tool_button_enabled(platform::kWindowSpreadsheet, 18));
    ASSERT_TRUE(ui().press_tool_button(platform::kWindowSpreadsheet, 18));
    main_loop_pass(false);
    main_loop_pass(false);
    EXPECT_STREQ(history_line(history_count() - 1), "history");
}

}  // namespace
