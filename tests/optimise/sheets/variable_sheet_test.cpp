// The variables sheet: its rows against the variable listing, every cell's edit against the
// typed variable lines, the type cell's bounds (glass, air, behind a mirror), the refusals, the
// header cells, and the revert copy that Cancel reads back.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "optimise/variable_sheet.h"
#include "optimise/variables.h"
#include "runtime/messages.h"
#include "tests/optimise/sheets/sheets_fixture.h"

namespace {

using sheets_test::Cell;
using sheets_test::Line;
using sheets_test::Sheets;

constexpr const char* kVariablesFirstLine = "Air thickness from OMNA";

class VariableSheet : public Sheets {
protected:
    void SetUp() override {
        Sheets::SetUp();
        variables_lens();
    }
    // Glass behind surface 1, air behind 2, a mirror at 3 (the air behind it runs backwards).
    void variables_lens() {
        run_all({"LEN NEW \"Folded\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10",
                 "SRF -200 -30 RFL 10", "END"});
        run_all({"VAR NEW", "V 1 1 0 CV", "V 2 2 0 TH 0.1 100", "END"});
    }
    static const Variable& var(int i) { return optimise_tables().variables[i]; }
    static std::vector<Line> rows() { return sheet(kVariablesFirstLine); }
};

TEST_F(VariableSheet, RowsShowWhatTheListingShows) {
    take_output();
    ASSERT_EQ(run("VAR LIST"), 0);
    const std::string listing = take_output();
    open("vse");
    EXPECT_NE(test_state_flag(kFlagVariablesLevel), 0);
    EXPECT_EQ(command_context_letter(), 'V');
    EXPECT_TRUE(copy_exists(kMsgVariablesSheetRevertCopy));
    const std::vector<Line> lines = rows();
    // Four header lines, the column heading, two variables and the empty row.
    ASSERT_EQ(lines.size(), 8u);
    ASSERT_NE(find(lines, kVariableCellType, 2), nullptr);
    EXPECT_EQ(find(lines, kVariableCellSurface, 2), nullptr);
    std::istringstream in(listing);
    std::string line;
    const std::regex form(
        R"(^V (\d+)\s+(\d+)\s+\S+\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s+\S+\s+(\S+)\s*$)");
    int seen = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, form)) continue;
        const int row = std::stoi(m[1]) - 1;
        SCOPED_TRACE(line);
        EXPECT_EQ(trim(find(lines, kVariableCellSurface, row)->text), m[2].str());
        EXPECT_EQ(trim(find(lines, kVariableCellType, row)->text), m[3].str());
        EXPECT_EQ(trim(find(lines, kVariableCellLower, row)->text), m[4].str());
        EXPECT_EQ(trim(find(lines, kVariableCellUpper, row)->text), m[5].str());
        EXPECT_EQ(trim(find(lines, kVariableCellDamping, row)->text), m[6].str());
        EXPECT_EQ(trim(find(lines, kVariableCellValue, row)->text), m[7].str());
        ++seen;
    }
    EXPECT_EQ(seen, 2) << listing;
}

TEST_F(VariableSheet, EditsMakeTheTableTheTypedLinesMake) {
    open("vse");
    ASSERT_EQ(number(kVariableCellValue, 0, 0.015), 0);
    ASSERT_EQ(number(kVariableCellDamping, 0, 2.0), 0);
    ASSERT_EQ(number(kVariableCellIncrement, 0, -0.001), 0);
    ASSERT_EQ(number(kVariableCellLower, 1, 0.2), 0);
    ASSERT_EQ(number(kVariableCellUpper, 1, 50.0), 0);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.015);
    ok();
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(test_state_flag(kFlagVariablesLevel), 0);
    EXPECT_NE(command_context_letter(), 'V');
    EXPECT_FALSE(copy_exists(kMsgVariablesSheetRevertCopy));
    const std::string by_sheet = lens_text();

    variables_lens();
    run_all({"VAR", "V 1 VAL 0 0 0 0 0 0 0 0.015", "V 1 DMP 0 0 0 0 0 2",
             "V 1 INC 0 0 0 0 0 0 -0.001", "V 2 LOW 0 0 0 0.2", "V 2 UPP 0 0 0 0 50", "END"});
    EXPECT_EQ(lens_text(), by_sheet);
}

TEST_F(VariableSheet, ATypeTakesTheBoundsOfItsSpace) {
    open("vse");
    const OptimiseParams& p = params();
    // A thickness with glass behind its surface, then one moved behind the mirror.
    ASSERT_EQ(text(kVariableCellType, 0, "th"), 0);
    EXPECT_EQ(var(0).type, 3);
    EXPECT_STREQ(var(0).type_name, "TH");
    EXPECT_DOUBLE_EQ(var(0).lower, p.min_glass_thickness);
    EXPECT_DOUBLE_EQ(var(0).upper, p.max_glass_thickness);
    EXPECT_EQ(var(0).bound_state, 1);
    EXPECT_DOUBLE_EQ(var(0).increment, 1e-4 * 5.0);  // chosen again: 1e-4 of the beam radius
    ASSERT_EQ(number(kVariableCellSurface, 1, 3), 0);
    ASSERT_EQ(text(kVariableCellType, 1, "CV"), 0);
    EXPECT_DOUBLE_EQ(var(1).lower, 0.0);
    EXPECT_DOUBLE_EQ(var(1).upper, 0.0);
    EXPECT_EQ(var(1).bound_state, 0);
    ASSERT_EQ(text(kVariableCellType, 1, "TH"), 0);
    EXPECT_DOUBLE_EQ(var(1).lower, -10000.0);
    EXPECT_DOUBLE_EQ(var(1).upper, -0.1);
    // The empty row's type cell makes a new variable on the last one's surface.
    ASSERT_EQ(text(kVariableCellType, 2, "CC"), 0);
    ASSERT_EQ(optimise_tables().highest_variable, 2);
    EXPECT_EQ(var(2).type, 2);
    EXPECT_EQ(var(2).surface, 3);
    ASSERT_NE(find(rows(), kVariableCellType, 3), nullptr);
}

TEST_F(VariableSheet, PickingTheTypeAsksForIt) {
    open("vse");
    input("cc\n");
    ASSERT_EQ(send(kLevelEventActivate, kGridKindSelectableText | kVariableCellType, 0), 0)
        << errors() << error_text();
    EXPECT_EQ(var(0).type, 2);
    EXPECT_STREQ(var(0).type_name, "CC");
    // No answer can come: the question is cancelled and the type stays.
    input("");
    EXPECT_EQ(send(kLevelEventActivate, kVariableCellType, 0), kStopped);
    EXPECT_EQ(var(0).type, 2);
}

// A catalogue glass has no index to vary, a sphere no coefficients: the type cell refuses them.
TEST_F(VariableSheet, TheTypeCellTakesWhatTheSurfaceCanVary) {
    open("vse");
    for (const char* name : {"RN", "DN", "AS2", "DF1"}) {
        EXPECT_EQ(text(kVariableCellType, 0, name), kErrorTextReady) << name;
        EXPECT_NE(std::string(error_text_buffer()).find("Surface 1 cannot vary"), std::string::npos)
            << name << ": " << error_text_buffer();
    }
    EXPECT_EQ(var(0).type, 1);
    ASSERT_EQ(text(kVariableCellType, 0, "CC"), 0);
    EXPECT_EQ(var(0).type, 2);
}

TEST_F(VariableSheet, RefusedEditsChangeNothing) {
    open("vse");
    const std::string before = lens_text();
    EXPECT_EQ(text(kVariableCellType, 0, "XYZ"), kMsgVariableTypeUnknown);
    EXPECT_EQ(number(kVariableCellSurface, 0, 5), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("image surface, 4"), std::string::npos)
        << error_text_buffer();
    EXPECT_EQ(number(kVariableCellConfiguration, 0, 2), kErrorTextReady);
    EXPECT_EQ(number(kVariableCellSurface, 1, 1), 0);  // TH on 1 beside CV on 1
    EXPECT_EQ(text(kVariableCellType, 1, "CV"), kMsgDuplicateVariable);
    EXPECT_EQ(text(kVariableCellCommand, 0, "no_such_command_here"), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("no_such_command_here"), std::string::npos);
    EXPECT_EQ(var(0).type, 1);
    EXPECT_EQ(var(1).type, 3);
    ASSERT_EQ(number(kVariableCellSurface, 1, 2), 0);
    EXPECT_EQ(lens_text(), before);
}

TEST_F(VariableSheet, HeaderCellsSetTheParameters) {
    open("vse");
    ASSERT_EQ(number(kCmdOmnaL, 0, 0.25), 0);
    EXPECT_DOUBLE_EQ(params().min_air_thickness, 0.25);
    ASSERT_EQ(send(kLevelEventActivate, kCmdOpvdL, 1), 0);
    EXPECT_EQ(params().variable_damping, 1);
    // A derivative increment set again after 0 fills the zero increments: curvature steps of
    // 1e-4 over the beam radius 5.
    ASSERT_EQ(number(kCmdOpdiL, 0, 0.0), 0);
    ASSERT_EQ(number(kVariableCellIncrement, 0, 0.0), 0);
    EXPECT_EQ(var(0).increment, 0.0);
    ASSERT_EQ(number(kCmdOpdiL, 0, 1e-5), 0);
    EXPECT_DOUBLE_EQ(var(0).increment, 1e-4 / 5.0);
    // The command cell runs its line in variable entry.
    ASSERT_EQ(text(kVariableCellCommand, 0, "V 2 DMP 0 0 0 0 0 4"), 0);
    EXPECT_DOUBLE_EQ(var(1).damping_weight, 4.0);
}

TEST_F(VariableSheet, CancelGivesTheVariablesBackNewEmpties) {
    const std::string before = lens_text();
    open("vse");
    ASSERT_EQ(number(kVariableCellValue, 1, 12.0), 0);
    ASSERT_EQ(text(kVariableCellType, 0, "CC"), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    cancel();
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(lens_text(), before);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    open("vse NEW");
    EXPECT_EQ(optimise_tables().highest_variable, -1);
    EXPECT_EQ(rows().size(), 7u);  // the header and two empty rows
    ok();
    EXPECT_EQ(lens_text().find("VAR NEW"), std::string::npos);
}

}  // namespace
