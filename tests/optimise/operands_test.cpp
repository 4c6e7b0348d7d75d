// Operands typed in operand entry: the expression language and its refusals, the text a
// definition reads back as, the arithmetic of the two sides, references that follow insertions
// and deletions, the error function, and the operand and variable blocks of a lens file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "optimise/error_function.h"
#include "optimise/operands.h"
#include "runtime/settings.h"
#include "tests/optimise/optimise_fixture.h"
#include "tests/support/temp_tree.h"

namespace {

using optimise_test::Optimise;

class Operands : public Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        dummies(2);
        ASSERT_EQ(run("OPE NEW"), 0) << error_text();
    }
    void TearDown() override {
        run("END");
        Optimise::TearDown();
    }
    static std::string text(int n) { return operand_to_text(n - 1); }
};

TEST_F(Operands, DefinitionsReadBackInTheirOwnLanguage) {
    struct Case {
        const char* typed;
        const char* shown;
    } cases[] = {
        {"OP1**2", "OP1**2"},
        {"op1^2", "OP1**2"},          // the caret is the power operator
        {"-OP1-OP2", "-OP1-OP2"},     // a leading sign and a second side
        {"OP12", "OP12"},             // the slot number follows the name
        {"OP1 * 2.5", "OP1*2.5"},     // blanks are skipped
        {"1.5e3", "1500"},            // numbers as numbers
        {"OP3<0.25", "OP3<0.25"},     // comparisons
        {"OP50>7", "OP50>7"},         // the last slot
        {"ENDGROUPXYZ", "ENDGROUP"},  // only the first 8 characters of a name count
        {"ENDGROUP(3)", "ENDGROUP(3)"},
        {"GROUP", "GROUP"},
        {"0.1234567890123456", "0.123456789012"},  // 12 significant digits
    };
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        ASSERT_EQ(run("O " + std::to_string(n) + " \"" + c.typed + "\" 1 \"x\""), 0)
            << c.typed << ": " << error_text();
        EXPECT_EQ(text(n), c.shown) << c.typed;
        // What the text says parses to the same text.
        OperandToken left;
        OperandToken right;
        ASSERT_EQ(parse_operand(n - 1, &left, &right, text(n).c_str()), 0) << c.typed;
    }
    // A reference names an earlier operand and reads back by its number.
    ASSERT_EQ(run("O 13 \"REF2-OP1\" 1 \"r\""), 0) << error_text();
    EXPECT_EQ(text(13), "REF2-OP1");
}

TEST_F(Operands, BadDefinitionsAreRefusedAndLeaveTheTableAsItWas) {
    ASSERT_EQ(run("O 1 \"OP1\" 1 \"kept\""), 0);
    struct Case {
        const char* typed;
        int message;
    } cases[] = {
        {"***", kMsgOperandSyntax},         {"OP1***2", kMsgOperandSyntax},
        {"OP(1", kMsgOperandSyntax},        {"OP1(2)", kMsgOperandSyntax},
        {"OP1+OP2+OP3", kMsgOperandSyntax}, {"", kMsgOperandSyntax},
        {"*OP1", kMsgOperandSyntax},        {"REF1", kMsgOperandSyntax},  // not an earlier one
        {"OP1 OP2", kMsgOperandSyntax},     {"1.5e", kMsgOperandSyntax},
        {"OP1 $", kMsgOperandSyntax},       {"ENDGROUP(1", kMsgOperandSyntax},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(std::string("O 1 \"") + c.typed + "\" 2 \"lost\""), c.message) << c.typed;
        EXPECT_EQ(tables().operand_count, 1) << c.typed;
        EXPECT_EQ(text(1), "OP1") << c.typed;
        EXPECT_STREQ(tables().operands[0].label, "kept") << c.typed;
    }
    // A slot past the last: its own message, naming the limit.
    EXPECT_EQ(run("O 1 \"OP51\" 1 \"x\""), -9998);
    EXPECT_NE(error_text().find("50"), std::string::npos) << error_text();
    EXPECT_EQ(text(1), "OP1");
}

TEST_F(Operands, SidesCombineAsTheOperatorsSay) {
    struct Case {
        const char* typed;
        double value;
    } cases[] = {
        {"-2-3", -5.0}, {"-2+3", 1.0},     {"2*3", 6.0},    {"-2*3", -6.0}, {"6/4", 1.5},
        {"1/0", 1e40},  {"-4**0.5", 1e40}, {"4**0.5", 2.0}, {"-2**2", 4.0}, {"-2**3", -8.0},
        {"0**0", 0.0},  {"3**0", 1.0},     {"3<5", 0.0},    {"7<5", 2.0},   {"7>5", 0.0},
        {"3>5", -2.0},  {"-7<5", 0.0},     {"2.5", 2.5},
    };
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        ASSERT_EQ(run("O " + std::to_string(n) + " \"" + c.typed + "\" 1 \"x\""), 0) << c.typed;
    }
    compute_error_function(0);
    n = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(tables().operands[n].value, c.value) << c.typed;
        ++n;
    }
}

TEST_F(Operands, ReferencesFollowInsertionsAndBlockDeletion) {
    run_all({"O 1 \"1\" 1 \"a\"", "O 2 \"2\" 1 \"b\"", "O 3 \"3\" 1 \"c\"", "O 4 \"4\" 1 \"d\"",
             "O 5 \"REF3*2\" 1 \"e\""});
    EXPECT_EQ(run("O 3 DEL"), kMsgOperandReferenced);
    EXPECT_EQ(tables().operand_count, 5);
    ASSERT_EQ(run("O 3 INS \"7\" 1 \"new\""), 0) << error_text();
    EXPECT_EQ(text(6), "REF4*2");
    compute_error_function(0);
    EXPECT_EQ(tables().operands[5].value, 6.0);
    ASSERT_EQ(run("O 2 DEL"), 0) << error_text();
    EXPECT_EQ(text(5), "REF3*2");
    compute_error_function(0);
    EXPECT_EQ(tables().operands[4].value, 6.0);
    EXPECT_EQ(run("O 9 DEL"), kMsgNoSuchOperand);
}

TEST_F(Operands, TheErrorIsTheWeightedMeanSquareOrItsSum) {
    run_all({"O 1 \"1\" 2 \"a\"", "O 2 \"1\" 2 \"b\"", "O 3 \"5\" 0 \"unweighted\"",
             "O 4 \"5\" -1 \"negative\""});
    params().sum_of_squares = 1;
    compute_error_function(0);
    EXPECT_EQ(tables().error.minimisation, 4.0);
    EXPECT_EQ(tables().error.minimisation_weights, 4.0);
    params().sum_of_squares = 0;
    compute_error_function(0);
    EXPECT_EQ(tables().error.minimisation, 1.0);
    // A constraint counts in its own error, with weight 1, as value minus target.
    run_all({"O 5 \"3\" CON 1 \"con\""});
    compute_error_function(0);
    EXPECT_EQ(tables().operands[4].value, 2.0);
    EXPECT_EQ(tables().error.constraint, 4.0);
    EXPECT_EQ(tables().error.minimisation, 1.0);
}

TEST_F(Operands, ASlotTheCommandLeavesUnwrittenIsAFailedOperand) {
    residuals({"oprd[1] = 0.5"});
    run_all({"O 1 \"OP1\" 1 \"written\"", "O 2 \"OP2*2\" 1 \"unwritten\"", "O 3 \"REF2\" 1 \"r\""});
    compute_error_function(0);
    EXPECT_EQ(tables().operands[0].value, 0.5);
    EXPECT_EQ(tables().operands[1].value, 1e20);
    EXPECT_EQ(tables().operands[1].failed, 1);
    EXPECT_EQ(tables().operands[2].value, 1e20);  // a reference to a failed operand fails
    // With OPZW the failed operands weigh nothing.
    params().zero_failed_weight = 1;
    compute_error_function(0);
    EXPECT_NEAR(tables().error.minimisation, 0.25, 1e-15);
}

TEST_F(Operands, AStarLineCallsTheScriptEntryOfThatName) {
    residuals({"oprd[3] = 2.5 + script_value1"});
    set_operand_command("*res 4");
    run_all({"O 1 \"OP3\" 1 \"s\""});
    compute_error_function(0);
    EXPECT_EQ(tables().operand_command_status, 0) << error_text();
    EXPECT_EQ(tables().operands[0].value, 6.5);
    // A star before something that is not a name stays the compiler's.
    EXPECT_NE(run("*3"), 0);
}

TEST_F(Operands, RelativeToNominalMeasuresFromTheStoredSides) {
    residuals({"oprd[1] = cv[1] * 10", "oprd[2] = 4"});
    run_all({"O 1 \"OP1-OP2\" 1 \"a\"", "O 2 \"OP1*3\" 1 \"b\"", "O 3 \"OP1\" 0 \"c\""});
    surface(1).curvature = 0.1;
    set_operand_nominals();
    optimise_tables().relative_to_nominal = true;
    surface(1).curvature = 0.3;
    compute_error_function(0);
    optimise_tables().relative_to_nominal = false;
    // Each side less its nominal value; numbers and unweighted operands as they are.
    EXPECT_NEAR(tables().operands[0].value, 2.0, 1e-12);
    EXPECT_NEAR(tables().operands[1].value, 6.0, 1e-12);
    EXPECT_NEAR(tables().operands[2].value, 3.0, 1e-12);
}

TEST_F(Operands, TheShortListingHidesGroupMembersAndSatisfiedHiddenOperands) {
    run_all({"O 1 \"3\" 1 \"shown\"", "O 2 \"GROUP\" 1 \"g\"", "O 3 \"1\" 2 \"member1\"",
             "O 4 \"1\" 0.5 \"member2\"", "O 5 \"ENDGROUP\" 1 \"gend\"", "O 6 \"4<5\" 1 \"_quiet\"",
             "O 7 \"6<5\" 1 \"_loud\"", "O 8 \"2\" 1 \"_plain\""});
    take_output();
    ASSERT_EQ(run("OPE SHORT"), 0) << error_text();
    const std::string short_list = take_output();
    for (const char* shown : {"shown", "gend", "_loud"}) {
        EXPECT_NE(short_list.find(shown), std::string::npos) << shown << "\n" << short_list;
    }
    for (const char* hidden : {"member1", "member2", "_quiet", "_plain"}) {
        EXPECT_EQ(short_list.find(hidden), std::string::npos) << hidden << "\n" << short_list;
    }
    // The group's line carries its members' summed weight; the full list shows everyone.
    const std::size_t group_line = short_list.find("O 5");
    ASSERT_NE(group_line, std::string::npos) << short_list;
    EXPECT_NE(short_list.find("2.5", group_line), std::string::npos) << short_list;
    ASSERT_EQ(run("OPE FULL"), 0) << error_text();
    const std::string full_list = take_output();
    for (const char* shown : {"member1", "member2", "_quiet", "_plain", "_loud"}) {
        EXPECT_NE(full_list.find(shown), std::string::npos) << shown << "\n" << full_list;
    }
    // The error line: the root of the weighted mean square of the minimisation operands:
    // (9 + 2 + 0.5 + 0 + 1 + 4) over the weights 1 + 2 + 0.5 + 1 + 1 + 1.
    compute_error_function(0);
    EXPECT_NEAR(tables().error.minimisation, (9.0 + 2.0 + 0.5 + 0.0 + 1.0 + 4.0) / 6.5, 1e-12);
}

// The change actions say what they change in the argument after them; the older forms with
// every argument in its place still work, and a change without its value is refused.
TEST_F(Operands, ChangeActionsTakeTheirValueAsTheNextArgument) {
    run_all({"O 1 \"OP1\" 1 \"first\"", "O 2 \"OP2\" 1 \"second\""});
    const Operand& first = tables().operands[0];
    struct Case {
        const char* line;
        double weight;
        const char* label;
    } cases[] = {
        {"O 1 WGT 2", 2.0, "first"}, {"O 1 WGT \"\" 3", 3.0, "first"},
        {"O 1 LAB \"x\"", 3.0, "x"}, {"O 1 LAB \"\" 0 \"y\"", 3.0, "y"},
        {"O 1 WGT 4", 4.0, "y"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        EXPECT_EQ(first.weight, c.weight) << c.line;
        EXPECT_STREQ(first.label, c.label) << c.line;
    }
    for (const char* line : {"O 1 WGT", "O 1 LAB"}) {
        EXPECT_EQ(run(line), -9998) << line;
        EXPECT_NE(error_text().find("needs its new value"), std::string::npos) << error_text();
        EXPECT_EQ(first.weight, 4.0) << line;
        EXPECT_STREQ(first.label, "y") << line;
    }

    // EXP asks for the new text, offering the old one: an empty answer keeps it.
    input("\n");
    ASSERT_EQ(run("O 2 EXP"), 0) << error_text();
    EXPECT_EQ(text(2), "OP2");
    EXPECT_STREQ(get_setting_text(kSetOperandText, 0), "OP2");
    input("OP3*2\n");
    ASSERT_EQ(run("O 2 EXP"), 0) << error_text();
    EXPECT_EQ(text(2), "OP3*2");
    ASSERT_EQ(run("O 2 EXP \"OP4\""), 0) << error_text();
    EXPECT_EQ(text(2), "OP4");
    EXPECT_STREQ(tables().operands[1].label, "second");
}

class LensFiles : public Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        folder_ = run_.tree.base() / "lenses";
        std::filesystem::create_directories(folder_);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    std::string file(const std::string& name) const {
        return tavo_test::read_file(folder_ / (name + ".len"));
    }
    std::filesystem::path folder_;
};

TEST_F(LensFiles, OperandsAndVariablesAreSavedAndReopenedTheSame) {
    dummies(3);
    run_all({"OPE NEW", "O 1 \"OP1\" CON 100 \"efl\"", "O 2 \"GROUP\" 1 \"g\"",
             "O 3 \"OP5**2\" 0.5 \"_sa\"", "O 4 \"ENDGROUP\" 1 \"ge\"", "O 5 \"REF3-OP2\" 2 \"r\"",
             "O 6 \"OP7<0.5\" CON 0 \"ineq\"", "END", "VAR NEW", "V 1 1 0 CV 0 0 1 1e-09",
             "V 2 2 0 TH 0.5 20 2 -0.01", "V 3 3 0 CC", "END"});
    set_operand_command("*mine");
    ASSERT_EQ(run("save_as . " + path("opt")), 0) << error_text();
    const std::string saved = file("opt");
    for (const char* line :
         {"\nOPE NEW\nO 1 \"OP1\" CON 100 \"efl\"\nO 2 \"GROUP\" 0 \"g\"\n"
          "O 3 \"OP5**2\" 0.5 \"_sa\"\nO 4 \"ENDGROUP\" 0 \"ge\"\nO 5 \"REF3-OP2\" 2 \"r\"\n"
          "O 6 \"OP7<0.5\" CON 0 \"ineq\"\nEND",
          "\nVAR NEW\nV 1 1 0 CV 0 0 1 1e-09\nV 2 2 0 TH 0.5 20 2 -0.01\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line << "\nin\n" << saved;
    }
    ASSERT_EQ(run("LEN NEW"), 0);
    ASSERT_EQ(run("END"), 0);
    EXPECT_EQ(tables().operand_count, 0);
    EXPECT_EQ(tables().highest_variable, -1);
    ASSERT_EQ(run("open . " + path("opt") + " no"), 0) << error_text();
    EXPECT_EQ(take_output().find("Error at line"), std::string::npos);
    EXPECT_EQ(tables().operand_count, 6);
    EXPECT_EQ(tables().operands[0].mode, 1);
    EXPECT_EQ(tables().operands[0].target, 100.0);
    EXPECT_EQ(tables().highest_variable, 2);
    EXPECT_EQ(tables().variables[1].increment, -0.01);
    ASSERT_EQ(run("save_as . " + path("opt2")), 0) << error_text();
    EXPECT_EQ(file("opt2"), saved);
}

TEST_F(LensFiles, ALensFileNamesOnlyAScriptEntryAsTheOperandCommand) {
    struct Case {
        const char* line;
        const char* kept;
    } cases[] = {
        {"OPOC \"quit\"", "*oprds"},
        {"OPOC \"*mine extra\"", "*oprds"},
        {"OPOC \"*\"", "*oprds"},
        {"OPOC \"*mine\"", "*mine"},
    };
    for (const Case& c : cases) {
        std::ofstream(folder_ / "command.len", std::ios::binary)
            << "// TAVO 5.40 0 0 0\nLEN NEW \"C\" 0 2\nNXT\nTH 4\nNXT\nEND 2\nLEN\n"
            << c.line << "\nEND\n";
        take_output();
        ASSERT_EQ(run("open . " + path("command") + " no"), 0) << error_text();
        const bool refused = std::string(c.kept) == "*oprds";
        EXPECT_EQ(take_output().find("Error at line 8") != std::string::npos, refused) << c.line;
        EXPECT_STREQ(params().operand_command, c.kept) << c.line;
    }
    // Typed, the line is the user's own.
    run_all({"LEN", "OPOC \"quit\"", "END"});
    EXPECT_STREQ(params().operand_command, "quit");
}

TEST_F(LensFiles, VariablesFollowInsertedAndDeletedSurfaces) {
    dummies(4);
    run_all({"VAR NEW", "V 1 1 0 CV", "V 2 3 0 TH", "V 3 4 0 CV", "END"});
    ASSERT_EQ(run("insert_surface 2"), 0) << error_text();
    EXPECT_EQ(tables().variables[0].surface, 1);
    EXPECT_EQ(tables().variables[1].surface, 4);
    EXPECT_EQ(tables().variables[2].surface, 5);
    ASSERT_EQ(run("delete_surfaces 4"), 0) << error_text();
    ASSERT_EQ(tables().highest_variable, 1);
    EXPECT_EQ(tables().variables[0].surface, 1);
    EXPECT_EQ(tables().variables[1].surface, 4);
}

TEST_F(LensFiles, VariablesFollowAReversedRange) {
    dummies(5);
    // Surfaces 2..4 reversed: a surface item moves to 6 - s, a gap item to the gap it now
    // stands behind (the gap after 4 stays where it is).
    run_all({"VAR NEW", "V 1 1 0 CV", "V 2 2 0 CV", "V 3 2 0 TH", "V 4 3 0 TH", "V 5 4 0 TH",
             "V 6 4 0 CC", "V 7 5 0 TH", "END"});
    ASSERT_EQ(run("reverse_surfaces 2 4"), 0) << error_text();
    struct Expected {
        int type;
        int surface;
    } expected[] = {{1, 1}, {1, 4}, {3, 3}, {3, 2}, {3, 4}, {2, 2}, {3, 5}};
    ASSERT_EQ(tables().highest_variable, 6);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(tables().variables[i].type, expected[i].type) << i;
        EXPECT_EQ(tables().variables[i].surface, expected[i].surface) << i;
    }
}

TEST_F(LensFiles, VariableLinesAreCheckedAgainstTheLens) {
    dummies(2);
    run_all({"VAR NEW", "V 1 1 0 CV"});
    EXPECT_EQ(run("V 2 1 0 CV"), kMsgDuplicateVariable);
    EXPECT_EQ(run("V 2 9 0 TH"), -9998);  // past the image surface
    EXPECT_NE(error_text().find("3"), std::string::npos) << error_text();
    EXPECT_EQ(run("V 5 DEL"), kMsgNoSuchVariable);
    // A number past the end means the next variable.
    ASSERT_EQ(run("V 7 2 0 TH"), 0) << error_text();
    EXPECT_EQ(tables().highest_variable, 1);
    // Bounds 0 and 0 mean none; a lower below the upper puts them in force.
    EXPECT_EQ(tables().variables[1].bound_state, 0);
    ASSERT_EQ(run("V 2 LOW 0 0 0 1"), 0) << error_text();
    ASSERT_EQ(run("V 2 UPP 0 0 0 0 20"), 0) << error_text();
    EXPECT_EQ(tables().variables[1].bound_state, 1);
    ASSERT_EQ(run("END"), 0);
}

}  // namespace
