// Operand and variable lines typed outside their entry modes, the classes of variables, the
// steps of many variables, the derivative table, the surface sheet's variable and the menu
// state flags.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/command_context.h"
#include "runtime/state_flags.h"
#include "tests/optimise/optimise_fixture.h"

namespace {

using optimise_test::Optimise;

class Vary : public Optimise {
protected:
    // Surfaces: 1 glass, 2 air behind the element, 3 a plane dummy in air, 4 a mirror, 5 a
    // dummy after the mirror, 6 the image.
    void mirror_lens() {
        run_all({"LEN NEW \"mirror\"", "EBR 5", "NXT", "CV 0.01", "TH 5", "GLA MOD \"M\" 1.5 60",
                 "NXT", "CV -0.01", "TH 20", "NXT", "TH 10", "NXT", "RD -200", "GLA RFL", "TH -30",
                 "NXT", "TH -20", "NXT", "END"});
    }
    struct Made {
        int surface, type;
        double lower, upper;
    };
    static std::vector<Made> made() {
        std::vector<Made> all;
        for (int i = 0; i <= tables().highest_variable; ++i) {
            const Variable& v = tables().variables[i];
            all.push_back({v.surface, v.type, v.lower, v.upper});
        }
        return all;
    }
};

TEST_F(Vary, LinesTypedOutsideTheirModesDefineAtOnce) {
    dummies(2);
    EXPECT_EQ(test_state_flag(kFlagOperandsExist), 0);
    EXPECT_EQ(test_state_flag(kFlagVariablesExist), 0);
    run_all({"operand 1 \"OP3\" 2 \"a\"", "operand 2 \"OP4\" CON 1.5 \"b\"", "variable 1 1 0 CV",
             "variable 2 2 0 TH 1 50"});
    EXPECT_EQ(tables().operand_count, 2);
    EXPECT_TRUE(tables().chain_compiled);
    EXPECT_EQ(tables().operands[0].weight, 2.0);
    EXPECT_EQ(tables().operands[1].mode, 1);
    EXPECT_EQ(tables().operands[1].target, 1.5);
    ASSERT_EQ(tables().highest_variable, 1);
    EXPECT_EQ(tables().variables[1].type, 3);
    EXPECT_EQ(tables().variables[1].upper, 50.0);
    EXPECT_NE(command_context_letter(), 'O');
    EXPECT_NE(command_context_letter(), 'V');
    EXPECT_NE(test_state_flag(kFlagOperandsExist), 0);
    EXPECT_NE(test_state_flag(kFlagVariablesExist), 0);
    EXPECT_EQ(test_state_flag(kFlagOperandsLevel), 0);
    // A refused line changes nothing and leaves no mode open.
    EXPECT_NE(run("operand 3 \"OP(1\" 1 \"c\""), 0);
    EXPECT_EQ(tables().operand_count, 2);
    EXPECT_NE(run("variable 3 9 0 CV"), 0);
    EXPECT_EQ(tables().highest_variable, 1);
    EXPECT_NE(command_context_letter(), 'V');
    // Emptied, the flags follow.
    run_all({"OPE NEW", "END", "VAR NEW", "END"});
    EXPECT_EQ(test_state_flag(kFlagOperandsExist), 0);
    EXPECT_EQ(test_state_flag(kFlagVariablesExist), 0);
    for (int flag : {kFlagOperandDimensions, kFlagOperandDimensionsSecond, kFlagComponentGroups}) {
        EXPECT_EQ(test_state_flag(flag), 0) << flag;
    }
}

TEST_F(Vary, ClassesOfVariables) {
    mirror_lens();
    const double a_min = params().min_air_thickness, a_max = params().max_air_thickness;
    const double g_min = params().min_glass_thickness, g_max = params().max_glass_thickness;
    struct Case {
        const char* line;
        std::vector<Made> expected;
    } cases[] = {
        // The plane dummy in air bends nothing: no curvature.
        {"vary CV", {{1, 1, 0, 0}, {2, 1, 0, 0}, {4, 1, 0, 0}}},
        // Behind the mirror the limits are negated and exchanged; the gap to the image is
        // the focus and has none.
        {"vary TH",
         {{1, 3, g_min, g_max},
          {2, 3, a_min, a_max},
          {3, 3, a_min, a_max},
          {4, 3, -a_max, -a_min},
          {5, 3, 0, 0}}},
        {"vary AIR",
         {{2, 3, a_min, a_max}, {3, 3, a_min, a_max}, {4, 3, -a_max, -a_min}, {5, 3, 0, 0}}},
    };
    for (const Case& c : cases) {
        run_all({"VAR NEW", "END"});
        take_output();
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        const std::vector<Made> got = made();
        ASSERT_EQ(got.size(), c.expected.size()) << c.line;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].surface, c.expected[i].surface) << c.line << " " << i;
            EXPECT_EQ(got[i].type, c.expected[i].type) << c.line << " " << i;
            EXPECT_EQ(got[i].lower, c.expected[i].lower) << c.line << " " << i;
            EXPECT_EQ(got[i].upper, c.expected[i].upper) << c.line << " " << i;
        }
        // Made quietly; a second time adds nothing.
        EXPECT_EQ(take_output().find("V 1 "), std::string::npos) << c.line;
        ASSERT_EQ(run(c.line), 0);
        EXPECT_EQ(made().size(), c.expected.size()) << c.line;
    }
    // Inside variable entry the class joins what is there.
    run_all({"VAR NEW", "V 1 3 0 CC", "vary CV", "END"});
    ASSERT_EQ(made().size(), 4u);
    EXPECT_EQ(made()[0].type, 2);
    EXPECT_EQ(made()[3].surface, 4);
    EXPECT_NE(run("vary 31"), 0);
}

TEST_F(Vary, StepsOfManyVariables) {
    dummies(3);
    run_all({"VAR NEW", "V 1 1 0 CV 0 0 1 1e-5", "V 2 2 0 CV 0 0 1 1e-5", "V 3 3 0 CV 0 0 1 1e-5",
             "END"});
    run_all({"variable_steps INC RANGE 2 3 0 0.002", "variable_steps DMP ALL 0 0 3"});
    const double increments[] = {1e-5, 0.002, 0.002};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tables().variables[i].increment, increments[i]) << i;
        EXPECT_EQ(tables().variables[i].damping_weight, 3.0) << i;
    }
    const std::string shown = take_output();
    EXPECT_NE(shown.find("V 3 "), std::string::npos) << shown;
    EXPECT_NE(run("variable_steps INC RANGE 3 2 0 0.1"), 0);
}

// Residuals linear in three curvatures: the derivative table shows their coefficients.
TEST_F(Vary, DerivativeTableShowsTheSlopesOfTheMinimisationOperands) {
    dummies(3);
    residuals({"oprd[1] = cv[1] + 2 * cv[2] - 0.01", "oprd[2] = 3 * cv[1] - cv[3] + 0.02",
               "oprd[3] = 7 * cv[2]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"first\"", "O 2 \"OP2\" 1 \"\"", "O 3 \"OP3\" CON 0 \"c\"",
             "END", "VAR NEW", "V 1 1 0 CV 0 0 1 0.001", "V 2 2 0 CV 0 0 1 0.001",
             "V 3 3 0 CV 0 0 1 0.001", "END"});
    take_output();
    ASSERT_EQ(run("derivatives"), 0) << error_text();
    const std::string shown = take_output();
    EXPECT_NE(shown.find("CV   1  -   CV   2  -   CV   3  -"), std::string::npos) << shown;
    const double expected[2][3] = {{1, 2, 0}, {3, 0, -1}};
    const char* heads[] = {"\n1   first     ", "\n2   2         "};
    for (int row = 0; row < 2; ++row) {
        const std::size_t at = shown.find(heads[row]);
        ASSERT_NE(at, std::string::npos) << heads[row] << "\n" << shown;
        std::istringstream cells(shown.substr(at + std::string(heads[row]).size()));
        for (int j = 0; j < 3; ++j) {
            // A zero is shown as "--".
            std::string cell;
            cells >> cell;
            const double v = cell == "--" ? 0.0 : std::strtod(cell.c_str(), nullptr);
            EXPECT_NEAR(v, expected[row][j], 1e-6) << row << " " << j << "\n" << shown;
        }
    }
    // The constraint is no row; a range of one operand and one variable shows one number.
    EXPECT_EQ(shown.find("\n3   c"), std::string::npos);
    ASSERT_EQ(run("derivatives 2 2 3 3"), 0);
    const std::string one = take_output();
    EXPECT_EQ(one.find("\n1   first"), std::string::npos);
    EXPECT_EQ(one.find("CV   2"), std::string::npos);
    EXPECT_NE(one.find("\n2   2"), std::string::npos) << one;
    // Without minimisation operands there is nothing to show.
    run_all({"OPE NEW", "O 1 \"OP3\" CON 0 \"c\"", "END"});
    EXPECT_EQ(run("derivatives"), kMsgNoMinimisationRows);
}

TEST_F(Vary, TheSurfaceSheetsVariable) {
    dummies(3);
    ASSERT_EQ(run("add_variable_in_spreadsheet 1 set 2 0 CV"), 0) << error_text();
    ASSERT_EQ(run("add_variable_in_spreadsheet 2 set 3 0 TH 1 20"), 0) << error_text();
    ASSERT_EQ(tables().highest_variable, 1);
    EXPECT_EQ(tables().variables[0].surface, 2);
    EXPECT_EQ(tables().variables[1].upper, 20.0);
    EXPECT_NE(test_state_flag(kFlagVariablesExist), 0);
    EXPECT_EQ(run("add_variable_in_spreadsheet 3 set 2 0 CV"), kMsgDuplicateVariable);
    ASSERT_EQ(run("add_variable_in_spreadsheet 1 del"), 0);
    ASSERT_EQ(tables().highest_variable, 0);
    EXPECT_EQ(tables().variables[0].type, 3);
    EXPECT_EQ(run("add_variable_in_spreadsheet 5 del"), kMsgNoSuchVariable);
    EXPECT_NE(command_context_letter(), 'V');
}

}  // namespace
