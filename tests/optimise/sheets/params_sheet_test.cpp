// The optimisation-parameters sheet, opened by the surface sheet's button: each cell against the
// typed parameter line, the switches and the operand command, and the revert copy.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "optimise/optimise_params_sheet.h"
#include "runtime/level_help.h"
#include "tests/optimise/sheets/sheets_fixture.h"

namespace {

using sheets_test::Cell;
using sheets_test::Sheets;

constexpr const char* kParamsFirstLine = "Damping OPDF";

class ParamsSheet : public Sheets {
protected:
    void SetUp() override {
        Sheets::SetUp();
        dummies(2);
    }
    static int line(const std::string& typed) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "%s", typed.c_str());
        GridEvent e;
        e.code = kLevelEventTypedLine;
        e.text = buffer;
        return run_command_level(e);
    }
};

TEST_F(ParamsSheet, CellsSetWhatTheTypedLinesSet) {
    struct Case {
        int cell;
        const char* word;
        double value;
    } cases[] = {
        {kCmdOpdfL, "OPDF", 0.05}, {kCmdOpdsL, "OPDS", 1e-6}, {kCmdOpdmL, "OPDM", 0.5},
        {kCmdOpdiL, "OPDI", 2e-6}, {kCmdOpbwL, "OPBW", 3.0},  {kCmdOpstL, "OPST", 1e-10},
    };
    open("open_aux_sheet 3");
    EXPECT_STREQ(sheet_title(), "OPTIMISATION PARAMETERS");
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        ASSERT_EQ(number(c.cell, 0, c.value), 0) << error_text();
        const std::vector<sheets_test::Line> lines = sheet(kParamsFirstLine);
        const Cell* shown = find(lines, c.cell, 0);
        ASSERT_NE(shown, nullptr);
        EXPECT_DOUBLE_EQ(std::stod(shown->text), c.value) << shown->text;
    }
    ASSERT_EQ(send(kLevelEventActivate, kCmdOpviL, 0), 0);
    ASSERT_EQ(send(kLevelEventActivate, kCmdOpvdL, 1), 0);
    ASSERT_EQ(send(kLevelEventActivate, kCmdOpssL, 1), 0);
    ASSERT_EQ(text(kCmdOpoc, 0, "*mine 1 2"), 0);
    EXPECT_STREQ(params().operand_command, "*mine 1 2");
    ok();
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    const std::string by_cells = lens_text();

    dummies(2);
    open("open_aux_sheet 3");
    for (const Case& c : cases) {
        char typed[64];
        std::snprintf(typed, sizeof typed, "%s %.17g", c.word, c.value);
        ASSERT_EQ(line(typed), 0) << typed;
    }
    for (const char* typed : {"OPVI Off", "OPVD On", "OPSS On", "OPOC \"*mine 1 2\""}) {
        ASSERT_EQ(line(typed), 0) << typed;
    }
    ok();
    EXPECT_EQ(lens_text(), by_cells);
}

TEST_F(ParamsSheet, CancelGivesTheParametersBack) {
    const std::string before = lens_text();
    open("open_aux_sheet 3");
    ASSERT_EQ(number(kCmdOpdfL, 0, 0.2), 0);
    ASSERT_EQ(send(kLevelEventActivate, kCmdOpssL, 1), 0);
    ASSERT_EQ(text(kCmdOpoc, 0, "*other"), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    cancel();
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(lens_text(), before);
    EXPECT_STREQ(params().operand_command, "*oprds");
    EXPECT_FALSE(copy_exists(kMsgOptimiseParamsRevertCopy));
}

}  // namespace
