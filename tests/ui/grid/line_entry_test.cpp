// A line typed while the grid edits a cell: the cell takes numbers and texts, and commands go to
// the current command level.
#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/output_options.h"
#include "runtime/run_state.h"
#include "tables/table_names.h"
#include "tests/kpl/kpl_fixture.h"
#include "ui/grid_cells.h"
#include "ui/grid_line_entry.h"

namespace {

using kpl_test::calls;

class LineEntry : public kpl_test::Kpl {
protected:
    void SetUp() override {
        Kpl::SetUp();
        install_grid_line_entry();
        set_output_option(kOptionTrim, 0);
        set_run_state(0);
    }
    void TearDown() override {
        set_run_state(0);
        set_cell_entry_hooks({});
        Kpl::TearDown();
    }

    // A sheet line "[<cell>]next" whose cell is current and selected for editing.
    GridCell& edit_cell(int type, int width, int kind = kGridKindPlain, const char* shown = "") {
        std::memset(line_, 0, sizeof line_);
        line_[0] = '[';
        std::memset(line_ + 1, ' ', static_cast<std::size_t>(width));
        std::memcpy(line_ + 1, shown, std::strlen(shown));
        std::strcpy(line_ + 1 + width, "]next");
        GridState& g = grid_state();
        g.current = GridCell{};
        GridCell& c = g.current;
        c.text = line_ + 1;
        c.field_code = kind | 3;
        c.first_column = 1;
        c.end_column = 1 + width;
        c.width = width;
        c.value_type = type;
        c.decimals = 3;
        c.number_style = kGridStyleFixed;
        g.edit_state = kGridSelected;
        width_ = width;
        return c;
    }
    std::string cell_text() const { return std::string(line_ + 1, width_); }
    std::string behind() const { return std::string(line_ + 1 + width_); }
    std::string handed() const { return grid_state().handed_line; }

    char line_[300];
    int width_ = 0;
};

TEST_F(LineEntry, ADoubleCellTakesTheValueOfItsExpression) {
    GridCell& c = edit_cell(kGridValueDouble, 11, kGridKindPlain, "   1.000000");
    c.value.d = 1.0;
    EXPECT_EQ(run_line("2*3"), 0);
    EXPECT_DOUBLE_EQ(c.value.d, 6.0);
    EXPECT_EQ(cell_text(), "   6.000000");
    EXPECT_EQ(behind(), "]next");
    EXPECT_EQ(c.edited, 1);
    EXPECT_EQ(grid_state().edit_state, kGridIdle);
    EXPECT_EQ(run_state(), 0);
}

TEST_F(LineEntry, AnIntCellTakesAValueOnlyWithinTheRangeOfItsWidth) {
    struct Case {
        int width;
        const char* typed;
        bool taken;
        int value;
        const char* text;
    } cases[] = {
        {4, "1000", false, 7, "  7 "},      {4, "-100", false, 7, "  7 "},
        {4, "999", true, 999, "999 "},      {4, "-99", true, -99, "-99 "},
        {5, "1000", true, 1000, " 1000"},   {5, "99999", true, 99999, "99999"},
        {5, "-9999", true, -9999, "-9999"}, {5, "100000", false, 7, "  7  "},
        {4, "2.5", false, 7, "  7 "},       {6, "150*2", true, 300, "  300 "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.typed) + " in width " + std::to_string(k.width));
        GridCell& c = edit_cell(kGridValueInt, k.width, kGridKindPlain, "  7");
        c.value.i = 7;
        EXPECT_EQ(run_line(k.typed), 0);
        EXPECT_EQ(c.value.i, k.value);
        EXPECT_EQ(cell_text(), k.text);
        EXPECT_EQ(behind(), "]next");
        EXPECT_EQ(c.edited, k.taken ? 1 : 0);
        EXPECT_EQ(grid_state().edit_state, k.taken ? kGridIdle : kGridSelected);
    }
}

TEST_F(LineEntry, AnIncompleteExpressionIsACompileErrorAndLeavesTheCell) {
    GridCell& c = edit_cell(kGridValueDouble, 8, kGridKindPlain, "   1.500");
    c.value.d = 1.5;
    EXPECT_EQ(run_line("2*"), kStopped);
    EXPECT_DOUBLE_EQ(c.value.d, 1.5);
    EXPECT_EQ(cell_text(), "   1.500");
    EXPECT_EQ(c.edited, 0);
    EXPECT_EQ(grid_state().edit_state, kGridSelected);
    EXPECT_NE(errors_.str().find("The expression is incomplete"), std::string::npos)
        << errors_.str();
    // An assignment is no cell entry either.
    EXPECT_EQ(run_line("vi = 3"), kStopped);
    EXPECT_EQ(global_int(0), 0);
}

TEST_F(LineEntry, ATextCellStoresAQuotedTextWithoutItsQuotes) {
    const char* typed[] = {"\"abc", "  \"abc\"", "\"abc\"  "};
    for (const char* t : typed) {
        SCOPED_TRACE(t);
        GridCell& c = edit_cell(kGridValueText, 8, kGridKindPlain, "old");
        EXPECT_EQ(run_line(t), 0);
        EXPECT_EQ(cell_text(), "abc     ");
        EXPECT_EQ(behind(), "]next");
        EXPECT_EQ(c.edited, 1);
        EXPECT_EQ(grid_state().edit_state, kGridIdle);
        EXPECT_EQ(run_state(), 0);
    }
}

TEST_F(LineEntry, ATooLongTextIsCutToTheCellAndReported) {
    GridCell& c = edit_cell(kGridValueText, 5, kGridKindPlain, "old");
    EXPECT_EQ(run_line("\"abcdefgh"), kMsgCellTextTooLong);
    EXPECT_EQ(cell_text(), "abcde");
    EXPECT_EQ(behind(), "]next");
    EXPECT_EQ(c.edited, 1);
    report_pending_kpl_error();
    EXPECT_NE(errors_.str().find("The text is too long for the cell"), std::string::npos)
        << errors_.str();
}

TEST_F(LineEntry, ACellThatForbidsCommandsStoresACommandAsText) {
    GridCell& c = edit_cell(kGridValueText, 10, kGridKindTextNoCommand, "old");
    EXPECT_EQ(run_line("abc_ 1 2"), 0);
    EXPECT_EQ(cell_text(), "abc_ 1 2  ");
    EXPECT_EQ(c.edited, 1);
    EXPECT_EQ(calls.abc, 0);
    EXPECT_EQ(run_state(), 0);
}

TEST_F(LineEntry, ACommandTypedIntoATextCellGoesToTheLevelUnrun) {
    GridCell& c = edit_cell(kGridValueText, 10, kGridKindText, "old");
    EXPECT_EQ(run_line("  abc_ 1 2"), 0);
    EXPECT_EQ(run_state(), kRunStateRunForLevel);
    EXPECT_EQ(handed(), "abc_ 1 2");
    EXPECT_EQ(calls.abc, 0);
    EXPECT_EQ(cell_text(), "old       ");
    EXPECT_EQ(c.edited, 0);
    EXPECT_EQ(grid_state().edit_state, kGridSelected);
}

TEST_F(LineEntry, ATextThatIsNoCommandIsStored) {
    GridCell& c = edit_cell(kGridValueText, 16, kGridKindPlain, "old");
    EXPECT_EQ(run_line("no such thing"), 0);
    EXPECT_EQ(cell_text(), "no such thing   ");
    EXPECT_EQ(c.edited, 1);
    EXPECT_EQ(run_state(), 0);
    EXPECT_EQ(handed(), "");
    // An empty entry empties the cell instead of running the empty command.
    edit_cell(kGridValueText, 6, kGridKindPlain, "old");
    EXPECT_EQ(run_line("  "), 0);
    EXPECT_EQ(cell_text(), "      ");
    EXPECT_EQ(calls.empty, 0);
    EXPECT_EQ(run_state(), 0);
}

TEST_F(LineEntry, ALevelARangeSelectionOrATypelessCellTakesTheLineUncompiled) {
    struct Case {
        const char* name;
        int type;
        bool flag3;
        bool level;
    } cases[] = {
        {"state flag 3", kGridValueDouble, true, false},
        {"open level, numeric cell", kGridValueDouble, false, true},
        {"typeless cell", kGridValueNone, false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        set_run_state(0);
        reset_command_levels();
        clear_state_flag(kFlagRangeSelected);
        if (k.flag3) set_state_flag(kFlagRangeSelected);
        if (k.level) {
            ASSERT_EQ(push_command_level([](GridEvent&) { return 0; }, 2, 0), 0);
            commit_pushed_level();
            ASSERT_EQ(level_count(), 1);
        }
        set_run_state(0);
        GridCell& c = edit_cell(k.type, 8, kGridKindPlain, "   1.500");
        c.value.d = 1.5;
        // "2*" compiles neither as an expression nor as a command: it is handed on as typed.
        EXPECT_EQ(run_line("2*"), 0);
        EXPECT_EQ(run_state(), kRunStateRunForLevel);
        EXPECT_EQ(handed(), "2*");
        EXPECT_DOUBLE_EQ(c.value.d, 1.5);
        EXPECT_EQ(cell_text(), "   1.500");
        EXPECT_EQ(c.edited, 0);
    }
    clear_state_flag(kFlagRangeSelected);
}

// With a level open a numeric cell takes what is a numeric expression; a line beginning with a
// command name goes to the level even where it would also compile.
TEST_F(LineEntry, WithALevelOpenANumericCellTakesOnlyAnExpression) {
    ASSERT_EQ(push_command_level([](GridEvent&) { return 0; }, 2, 0), 0);
    commit_pushed_level();
    struct Case {
        const char* typed;
        bool taken;
        double value;
    } cases[] = {
        {"2*3", true, 6.0},   {" 1.5e1", true, 15.0},  {"abc_ 1 2", false, 1.5},
        {"abc_", false, 1.5}, {"TH 50 x", false, 1.5},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        set_run_state(0);
        std::memset(grid_state().handed_line, 0, sizeof grid_state().handed_line);
        GridCell& c = edit_cell(kGridValueDouble, 8, kGridKindPlain, "   1.500");
        c.value.d = 1.5;
        EXPECT_EQ(run_line(k.typed), 0);
        EXPECT_DOUBLE_EQ(c.value.d, k.value);
        EXPECT_EQ(c.edited, k.taken ? 1 : 0);
        EXPECT_EQ(run_state(), k.taken ? 0 : kRunStateRunForLevel);
        EXPECT_EQ(handed(), k.taken ? "" : k.typed);
        EXPECT_EQ(calls.abc, 0);
    }
}

TEST_F(LineEntry, WithoutACellInEditOrFromInsideTheProgramALineIsACommand) {
    edit_cell(kGridValueDouble, 11, kGridKindPlain, "   1.000000");
    grid_state().edit_state = kGridIdle;
    EXPECT_EQ(run_line("abc_ 1 2"), 0);
    EXPECT_EQ(calls.abc, 1);

    GridCell& c = edit_cell(kGridValueDouble, 11, kGridKindPlain, "   1.000000");
    c.value.d = 1.0;
    EXPECT_EQ(run_command_string("abc_ 3 4", 0), 0);
    EXPECT_EQ(calls.abc, 2);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{3, 4}));
    EXPECT_DOUBLE_EQ(c.value.d, 1.0);
    EXPECT_EQ(run_state(), 0);
}

}  // namespace
