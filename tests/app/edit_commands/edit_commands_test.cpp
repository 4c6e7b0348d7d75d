// The edit window's commands as a user types them: find and replace with their dialogs
// answered by the next input lines, go to line, the clipboard commands, running the selection,
// and showing the window with a snapshot of its text.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/startup.h"
#include "platform/state_reset.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/edit_commands.h"
#include "ui/window_table.h"

namespace {

constexpr int kEdit = platform::kWindowEdit;
using Selection = std::pair<int, int>;

class EditCommands : public loop_test::Loop {
protected:
    void SetUp() override {
        loop_test::Loop::SetUp();
        ASSERT_EQ(create_text_window(1, 1999, 10, 128), 0);
        ui().show_window(1, true);
        set_output_option(kOptionPageMode, 0);
        ASSERT_EQ(register_window_classes(), 0);
        ASSERT_TRUE(ui().has_edit_pane(kEdit));
        ui().show_window(kEdit, true);
    }
    void TearDown() override { loop_test::Loop::TearDown(); }
    // Types a command and the lines that answer its dialogs, and runs it.
    void type_answered(const std::string& line, const std::vector<std::string>& answers) {
        ui().enter_command_line(line);
        for (const std::string& a : answers) ui().enter_command_line(a);
        main_loop_pass(false);
    }
    std::string text() { return ui().edit_text(kEdit); }
    Selection selection() { return ui().edit_selection(kEdit); }
    bool shown(const std::string& message) { return errors().find(message) != std::string::npos; }
};

// "alpha" starts at 0, 11 and 23 (lines of 11 and 12 characters with their line feeds).
constexpr char kThreeAlphas[] = "alpha beta\nalpha gamma\nalpha\n";
constexpr char kNotFound[] = "The text was not found after the selection";

TEST_F(EditCommands, FindNextWalksTheOccurrencesAndAfterTheLastKeepsTheSelection) {
    ui().set_edit_text(kEdit, kThreeAlphas);
    type_answered("edit_find", {"alpha"});
    EXPECT_EQ(selection(), Selection(0, 5));
    EXPECT_EQ(edit_find_text(), "alpha");
    type_answered("edit_find_next", {});
    EXPECT_EQ(selection(), Selection(11, 16));
    type_answered("edit_find_next", {});
    EXPECT_EQ(selection(), Selection(23, 28));
    EXPECT_EQ(ui().edit_top_line(kEdit), 2);  // the found line scrolled to the top
    EXPECT_FALSE(shown(kNotFound)) << errors();
    type_answered("edit_find_next", {});
    EXPECT_TRUE(shown(kNotFound)) << errors();
    EXPECT_EQ(selection(), Selection(23, 28));
    EXPECT_EQ(text(), kThreeAlphas);
}

TEST_F(EditCommands, ReplaceOnceOrAllAndRefuseAnEmptyFindText) {
    struct Case {
        const char* name;
        std::vector<std::string> answers;  // find, replacement, button
        std::string text_after;
        Selection selection_after;
        bool not_found;
    };
    const std::vector<Case> cases = {
        // After the last of three: 23 + "omega" = 28.
        {"all",
         {"alpha", "omega", "Replace all"},
         "omega beta\nomega gamma\nomega\n",
         {28, 28},
         false},
        {"once", {"alpha", "Z", ""}, "Z beta\nalpha gamma\nalpha\n", {1, 1}, false},
        // Lines of 16 and 17 characters now: the last at 33, the caret 10 after it.
        {"longer, all",
         {"alpha", "alphaalpha", "replace ALL"},
         "alphaalpha beta\nalphaalpha gamma\nalphaalpha\n",
         {43, 43},
         false},
        {"absent", {"delta", "x", "Replace all"}, kThreeAlphas, {0, 0}, true},
        // An empty find text would be found everywhere, for ever.
        {"empty, all", {"", "x", "Replace all"}, kThreeAlphas, {0, 0}, true},
        {"cancelled", {"alpha", "x", "Cancel"}, kThreeAlphas, {0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_edit_commands();
        run_.errors.str("");
        ui().set_edit_text(kEdit, kThreeAlphas);
        type_answered("edit_replace", c.answers);
        EXPECT_EQ(text(), c.text_after);
        EXPECT_EQ(selection(), c.selection_after);
        EXPECT_EQ(shown(kNotFound), c.not_found) << errors();
    }
}

TEST_F(EditCommands, ReplaceNextUsesTheKeptTextsOneAtATime) {
    ui().set_edit_text(kEdit, kThreeAlphas);
    type_answered("edit_replace", {"alpha", "A", "OK"});
    EXPECT_EQ(edit_replacement_text(), "A");
    type_answered("edit_replace_next", {});
    EXPECT_EQ(text(), "A beta\nA gamma\nalpha\n");
    EXPECT_EQ(selection(), Selection(8, 8));
    // A selection that is an occurrence is itself replaced ("alpha" at 15 now).
    ui().set_edit_selection(kEdit, 15, 20);
    type_answered("edit_replace_next", {});
    EXPECT_EQ(text(), "A beta\nA gamma\nA\n");
    type_answered("edit_replace_next", {});
    EXPECT_TRUE(shown(kNotFound)) << errors();
    EXPECT_EQ(text(), "A beta\nA gamma\nA\n");
}

TEST_F(EditCommands, GoToLinePutsTheCaretAtTheLineOrSaysHowManyThereAre) {
    struct Case {
        std::vector<std::string> answers;
        Selection selection_after;
        int top_after;
        bool past_end;
        int beeps;
    };
    // Lines start at 0, 2 and 5.
    const std::vector<Case> cases = {
        {{"1"}, {0, 0}, 0, false, 0},
        {{"3"}, {5, 5}, 2, false, 0},
        {{"4"}, {7, 8}, 9, true, 0},
        {{"0"}, {7, 8}, 9, false, 0},
        {{""}, {7, 8}, 9, false, 0},
        {{"two", "2"}, {2, 2}, 1, false, 1},
        // A second answer that is no line number cancels: a script goes on after it.
        {{"two", "-1", "2"}, {7, 8}, 9, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.front());
        ui().set_edit_text(kEdit, "a\nbb\nccc");
        ui().set_edit_selection(kEdit, 7, 8);
        ui().set_edit_top_line(kEdit, 9);
        run_.errors.str("");
        const int beeps = ui().beep_count();
        type_answered("edit_goto", c.answers);
        EXPECT_EQ(selection(), c.selection_after);
        EXPECT_EQ(ui().edit_top_line(kEdit), c.top_after);
        EXPECT_EQ(shown("The text has only 3 lines"), c.past_end) << errors();
        EXPECT_EQ(ui().beep_count() - beeps, c.beeps);
    }
}

TEST_F(EditCommands, ClipboardCommandsUndoAndSelectAll) {
    ui().set_edit_text(kEdit, "hello world");
    ui().set_clipboard_text("");
    ui().set_edit_selection(kEdit, 0, 5);
    type("edit_copy");
    EXPECT_EQ(ui().clipboard_text(), "hello");
    EXPECT_EQ(text(), "hello world");
    type("edit_cut");
    EXPECT_EQ(text(), " world");
    ui().set_edit_selection(kEdit, 6, 6);
    type("edit_paste");
    EXPECT_EQ(text(), " worldhello");
    EXPECT_EQ(selection(), Selection(11, 11));
    type("edit_undo");
    EXPECT_EQ(text(), " world");
    ui().set_edit_selection(kEdit, 0, 1);
    type("edit_delete");
    EXPECT_EQ(text(), "world");
    EXPECT_EQ(ui().clipboard_text(), "hello");  // delete leaves the clipboard alone
    type("edit_select_all");
    EXPECT_EQ(selection(), Selection(0, 5));
    // Nothing selected: copy keeps the clipboard, cut and delete change nothing.
    ui().set_edit_selection(kEdit, 2, 2);
    type("edit_copy");
    type("edit_cut");
    type("edit_delete");
    EXPECT_EQ(ui().clipboard_text(), "hello");
    EXPECT_EQ(text(), "world");
}

TEST_F(EditCommands, RunningTheSelectionRunsItsLinesAndCollapsesIt) {
    ui().set_edit_text(kEdit, "x\nprint 7007\nprint 8008\ny");
    ui().set_edit_selection(kEdit, 2, 23);
    type("edit_run");
    main_loop_pass(false);  // the pass after the command runs the selection
    const std::string out = output();
    const std::size_t first = out.find("7007");
    ASSERT_NE(first, std::string::npos) << out << errors();
    EXPECT_NE(out.find("8008", first), std::string::npos) << out;
    EXPECT_EQ(selection(), Selection(2, 2));
    EXPECT_EQ(text(), "x\nprint 7007\nprint 8008\ny");

    type("edit_run");
    main_loop_pass(false);
    EXPECT_EQ(ui().status_text(), "Select the text to run in the edit window first");

    // More than a command line holds: refused with its message, the text kept.
    const std::string long_text = "print 9009" + std::string(300, ' ');
    ui().set_edit_text(kEdit, long_text);
    type("edit_select_all");
    const std::size_t boxes = ui().message_boxes_shown().size();
    type("edit_run");
    main_loop_pass(false);
    ASSERT_EQ(ui().message_boxes_shown().size(), boxes + 1);
    EXPECT_EQ(ui().message_boxes_shown().back().text, "A command line has at most 255 characters");
    EXPECT_EQ(output().find("9009"), std::string::npos) << output();
    EXPECT_EQ(text(), long_text);
}

TEST_F(EditCommands, ShowingTakesASnapshotAndClearsTheModifiedMarkClosingHides) {
    ui().show_window(kEdit, false);
    ui().set_edit_text(kEdit, "first");
    ui().set_edit_selection(kEdit, 5, 5);
    ui().replace_edit_selection(kEdit, " edit");
    EXPECT_TRUE(ui().edit_modified(kEdit));
    type("editwin_show");
    EXPECT_TRUE(ui().window_visible(kEdit));
    EXPECT_NE(test_state_flag(kFlagEditWindowShown), 0);
    EXPECT_EQ(edit_snapshot(), "first edit");
    EXPECT_FALSE(ui().edit_modified(kEdit));
    // Shown already: brought to the front, the snapshot kept.
    ui().set_edit_text(kEdit, "second");
    type("editwin_show");
    EXPECT_EQ(edit_snapshot(), "first edit");
    EXPECT_EQ(ui().active_window(), kEdit);
    type("editwin_close");
    EXPECT_FALSE(ui().window_visible(kEdit));
    EXPECT_EQ(test_state_flag(kFlagEditWindowShown), 0);
    EXPECT_EQ(text(), "second");
}

}  // namespace
