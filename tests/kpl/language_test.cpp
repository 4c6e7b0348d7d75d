// Compiling and running command lines over the fixture definitions.
#include <cstring>
#include <string>

#include "tables/table_names.h"
#include "tests/kpl/kpl_fixture.h"

namespace kpl_test {
namespace {

TEST_F(Kpl, ExpressionLinesShowTheirValueOnTheStatusLine) {
    const struct {
        const char* line;
        const char* shown;
    } cases[] = {
        {"2*3", "6"},
        {"7/2", "3.5"},
        {"twice(1.25)", "2.5"},
        {"2**10", "1024"},
        {"3**40", "1.2157665459e+19"},  // beyond an int: a double, in eleven digits
        {"-7 % 2", "-1"},               // the remainder takes the dividend's sign
        {"5.0 == 5", "1"},
        {"'A'", "65"},
        {"0x10 + 010", "26"},  // hexadecimal and octal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(run_line(c.line), 0);
        EXPECT_EQ(status(), std::string("Value: ") + c.shown);
    }
}

TEST_F(Kpl, ExpressionsEvaluateByTheOperatorRules) {
    struct Case {
        const char* text;
        int error;
        std::uint8_t type;
        double value;
    } cases[] = {
        {"1 + 2 * 3", 0, kKplInt, 7},
        {"(1 + 2) * 3", 0, kKplInt, 9},
        {"2 ** 3 ** 2", 0, kKplInt, 64},  // equal precedence associates to the left
        {"10 - 4 - 3", 0, kKplInt, 3},
        {"-2 ** 2", 0, kKplInt, 4},  // the sign is folded into the literal
        {"- (2 ** 2)", 0, kKplInt, -4},
        {"0**0", 0, kKplInt, 0},
        {"46341**2", 0, kKplDouble, 2147488281.0},
        {"46340**2", 0, kKplInt, 2147395600},
        {"0**-1", -36, 0, 0},
        {"(-8.0)**(1.0/3.0)", -85, 0, 0},
        {"1 << 32", -186, 0, 0},
        {"~1.5", -175, 0, 0},
        {"1.5 & 1", -175, 0, 0},
        {"!0.0", 0, kKplInt, 1},
        {"!!3", 0, kKplInt, 1},
        {"~0", 0, kKplInt, -1},
        {"1 < 2 && 3 > 4 || 1", 0, kKplInt, 1},
        {"1/0", -36, 0, 0},
        {"'a' + 1", 0, kKplInt, 98},
        {"0x1F", 0, kKplInt, 31},
        {"1.5e2", 0, kKplDouble, 150},
        {"f(f(1))", 0, kKplInt, 3},
        {"twice(2) + answer", 0, kKplDouble, 46},
        {"vi = 3", -51, 0, 0},
        {"vi++", -51, 0, 0},
        {"1 +", -76, 0, 0},
        {"99999999999", -41, 0, 0},
        {"1.0e200", -41, 0, 0},
        {"nosuch + 1", -13, 0, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        KplValue v{};
        bool accepted = false;
        EXPECT_EQ(run_cell_expression(k.text, false, 20, &v, &accepted), k.error);
        if (k.error != 0) continue;
        EXPECT_EQ(v.type, k.type);
        if (k.type == kKplDouble) {
            EXPECT_DOUBLE_EQ(v.v.d, k.value);
        } else {
            EXPECT_EQ(v.v.i, static_cast<std::int32_t>(k.value));
        }
    }
}

TEST_F(Kpl, StatementsRunWithTheirControlFlow) {
    struct Case {
        const char* text;
        int expected_vi;
    } cases[] = {
        {"vi = 0; while (vi < 5) vi++", 5},
        {"vi = 0; while (vi < 10) vi += 3", 12},
        {"vi = 0; while (vi < 5) { vi++; if (vi == 2) break; }", 2},
        {"vi = 0; k = 0; while (k < 5) { k++; if (k == 2) continue; vi = vi + k; }", 13},
        {"vi = 0; do vi += 2; while (vi < 7);", 8},
        {"vi = 0; do { vi++; if (vi > 4) break; } while (1)", 5},
        {"vi = 0; for (i = 0; i < 4; i++) vi += i", 6},
        {"vi = 0; for (i = 0; i < 10; i++) { if (i == 3) break; vi++; }", 3},
        {"vi = 1; for (;;) { vi *= 2; if (vi > 100) break; }", 128},
        {"k = 40000; switch (k) { case 3: vi = 1; break; default: vi = 2; }", 2},
        {"vd = 3.7; switch (vd) { case 3: vi = 1; break; default: vi = 2; }", 1},
        {"vd = -3.9; switch (vd) { case -3: vi = -3; }", -3},  // cut toward zero
        {"k = -5; switch (k) { case -5: vi = 5; case 6: vi += 6; break; case 7: vi = 7; }", 11},
        {"vi = 9; k = 8; switch (k) { case 1: vi = 1; }", 9},
        {"k = 2; if (k == 1) vi = 10; else if (k == 2) vi = 20; else vi = 30", 20},
        {"k = 3; if (k == 1) vi = 10; else if (k == 2) vi = 20; else vi = 30", 30},
        {"vi = 1, vi = vi + 1, vi *= 5", 10},
        {"vi = 5; vi <<= 2; vi >>= 1; vi |= 1; vi ^= 3; vi &= 14", 8},
        {"vi = 0; vi = ++vi + vi++", 2},
        {"arr[3] = 4.5; vi = arr[3] * 2", 9},
        {"mat[2][3] = 11; mat[0][1] = mat[2][3] + 1; vi = mat[0][1]", 12},
        {"vi = ro + 1", 18},
        {"vi = 1 /* a comment */ + 2 // to the end", 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        EXPECT_EQ(run_line(k.text), 0);
        EXPECT_EQ(global_int(0), k.expected_vi);
    }
    EXPECT_DOUBLE_EQ(arr_data[3], 4.5);
    EXPECT_EQ(mat_data[2][3], 11);
}

TEST_F(Kpl, AssignmentsConvertAndRefuseByTheVariableType) {
    EXPECT_EQ(run_line("vi = 7; vi = 3.0e9"), kMsgIntRange);
    EXPECT_EQ(global_int(0), 7);
    EXPECT_EQ(run_line("vi = -2.9"), 0);
    EXPECT_EQ(global_int(0), -2);
    EXPECT_EQ(run_line("vc = 256"), kMsgCharRange);
    EXPECT_EQ(run_line("vc = 255; vc++"), kMsgCharRange);
    EXPECT_EQ(global_char(2), 255);
    EXPECT_EQ(run_line("vc = 0; vc--"), kMsgCharRange);
    EXPECT_EQ(run_line("vd = 3; vd /= 2"), 0);
    EXPECT_DOUBLE_EQ(global_double(1), 1.5);
    EXPECT_EQ(run_line("arr[10] = 1"), kMsgIndexRange);
    EXPECT_EQ(run_line("arr[-1] = 1"), kMsgIndexRange);
    EXPECT_EQ(run_line("arr[9.9] = 1"), 0);
    EXPECT_DOUBLE_EQ(arr_data[9], 1.0);
    EXPECT_EQ(run_line("vd = 1; vd = vd / 0"), kMsgZeroDivisor);
}

TEST_F(Kpl, CompileErrorsOfTheStatementForms) {
    struct Case {
        const char* text;
        int error;
    } cases[] = {
        {"while (vi < 3) { vi++; break; }", -44},
        {"while (vi < 3) { vi++; if (vi == 2) break; }", 0},
        {"break", -44},
        {"if (vi) continue", -44},
        {"switch (k) { case 1: vi = 1; break; default: vi = 2; }", 0},
        {"switch (k) { default: vi = 1; default: vi = 2; }", -44},
        {"switch (k) { case 40000: vi = 1; }", -33},
        {"switch (k) { case 1.5: vi = 1; }", -28},
        {"switch (k) { case 1: vi = 1; case 1: vi = 2; }", -42},
        {"switch (k) { vi = 1; }", -27},
        {"switch (k) { case 1: { case 2: vi = 1; } }", -44},
        {"case 1: vi = 1", -44},
        {"do vi++; until (vi)", -52},
        {"if (vi < 1 vi = 2", -12},
        {"vi = (1 + 2", -75},
        {"vi = 1 +", -75},
        {"{ vi = 1", -75},
        {"nosuch(1)", -13},
        {"vi = 1 2", -11},
        {"vi = 1 ? 2", -11},
        {"vi = 1 @ 2", -11},
        {"ro = 3", -84},
        {"ro++", -84},
        {"vi = ro", 0},
        {"3 = vi", -51},
        {"++3", -51},
        {"-vi = 1", -51},
        {"arr = 1", -19},
        {"arr[1][2] = 1", -11},
        {"vi = abc_(1, 2)", -49},
        {"vi = abc_ 1", -49},
        {"vi = f 1", -18},
        {"abc_(1, 2, 3)", -53},
        {"vi = \"text\"", -11},
        {"vi = str_pref(x)", -156},
        {"show \"a\" 1 2", -53},
        {"/* open comment", -75},
        {"vi = 'a", -75},
        {"show \"abc", -75},
        {"for (vi = 0; vi < 3; vi++ vi = 1", -11},
        {"for vi = 0", -11},
        {"vi = 1 # 2", -11},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        EXPECT_EQ(compile_error(k.text), k.error);
    }
    EXPECT_EQ(compile_error("1 +", true), kMsgIncompleteCell);
    EXPECT_EQ(compile_error("vi = 1", true), kMsgNoAssignHere);
    EXPECT_EQ(compile_error("++vi", true), kMsgSyntax);
}

TEST_F(Kpl, CompileErrorsAreShownWithTheirLocation) {
    EXPECT_EQ(run_line("nosuch(1)"), kStopped);

    EXPECT_NE(errors_.str().find("Error while compiling"), std::string::npos) << errors_.str();
    EXPECT_NE(errors_.str().find("Unknown name nosuch"), std::string::npos) << errors_.str();
    EXPECT_EQ(run_line("vi = (1 + 2"), kStopped);
    EXPECT_NE(errors_.str().find("Error while compiling"), std::string::npos) << errors_.str();
    EXPECT_NE(errors_.str().find("The line is incomplete"), std::string::npos) << errors_.str();
    EXPECT_EQ(run_line("if (vi < 1 vi = 2"), kStopped);
    EXPECT_NE(errors_.str().find("A ')' is missing after the condition"), std::string::npos);
    EXPECT_EQ(calls.empty + calls.abc, 0);  // nothing of a failed line runs
}

TEST_F(Kpl, LexerLimits) {
    const std::string s253(253, 'x'), s254(254, 'x');
    EXPECT_EQ(run_line(("show \"" + s253 + "\" 1").c_str()), 0);
    EXPECT_EQ(calls.show_label, s253);
    EXPECT_EQ(compile_error(("show \"" + s254 + "\" 1").c_str()), kMsgOutOfMemory);
    // An identifier of 60 characters is read with its first 47.
    const std::string long_name = "vi" + std::string(58, 'q');
    EXPECT_EQ(compile_error((long_name + " = 1").c_str()), kMsgUnknownName);
    EXPECT_EQ(compile_error(("\"" + std::string(300, 'y') + "\"").c_str()), kMsgOutOfMemory);
    EXPECT_EQ(compile_error(("vd = 1." + std::string(300, '5')).c_str()), kMsgOutOfMemory);
    EXPECT_EQ(compile_error(("vd = 0." + std::string(60, '5')).c_str()), kMsgBadNumber);
    EXPECT_EQ(compile_error("vi = 0x7FFFFFFF"), 0);
    EXPECT_EQ(compile_error("vi = 0x80000000"), kMsgBadNumber);
    EXPECT_EQ(compile_error("vi = 2147483648"), kMsgBadNumber);
    EXPECT_EQ(compile_error("vi = 000000000000012"), 0);
}

TEST_F(Kpl, CallsInBothFormsWithTheirArguments) {
    EXPECT_EQ(run_line("abc_(3, 4)"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{3, 4}));
    EXPECT_EQ(run_line("abc_ 5 6"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{5, 6}));
    EXPECT_EQ(run_line("abc_ 5, 7"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{5, 7}));
    EXPECT_EQ(run_line("abc_ 9 (1 + 2)"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{9, 3}));
    // Numbered forms: abc12(5) calls abc_ with (12, 5); abc12 alone with 12 first.
    EXPECT_EQ(run_line("abc12(5)"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{12, 5}));
    EXPECT_EQ(run_line("abc7 8"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{7, 8}));
    EXPECT_EQ(calls.abc, 6);
    // Text arguments: strings, and bare words in command form.
    EXPECT_EQ(run_line("show \"a label\" 3.5"), 0);
    EXPECT_EQ(calls.show_label, "a label");
    EXPECT_DOUBLE_EQ(calls.show_value, 3.5);
    EXPECT_EQ(run_line("show some/file.len"), 0);
    EXPECT_EQ(calls.show_label, "some/file.len");
    EXPECT_DOUBLE_EQ(calls.show_value, 2.5);  // the omitted value takes its default
    EXPECT_EQ(run_line("show(\"x\", *)"), 0);
    EXPECT_DOUBLE_EQ(calls.show_value, 2.5);
    // An output parameter takes a variable by reference and gets the handler's value back.
    EXPECT_EQ(run_line("vd = 0; fill_out vd 2"), 0);
    EXPECT_DOUBLE_EQ(global_double(1), 15.0);
    EXPECT_EQ(compile_error("fill_out 3 2"), kMsgReferenceArg);
    EXPECT_EQ(compile_error("abc_(&vi, 2)"), kMsgReferenceArg);
    // The empty line and ";" run the command "_".
    EXPECT_EQ(run_line(""), 0);
    EXPECT_EQ(run_line(";"), 0);
    EXPECT_EQ(calls.empty, 2);
}

TEST_F(Kpl, CallDepthIsLimitedTo40) {
    std::string nested = "1";
    for (int n = 0; n < 40; ++n) nested = "f(" + nested + ")";
    KplValue v{};
    bool accepted = false;
    EXPECT_EQ(run_cell_expression(nested.c_str(), false, 20, &v, &accepted), 0);
    EXPECT_EQ(v.v.i, 41);
    nested = "f(" + nested + ")";
    EXPECT_EQ(run_cell_expression(nested.c_str(), false, 20, &v, &accepted), kMsgCallDepth);
    EXPECT_EQ(kpl_state().call_depth, 0);
}

TEST_F(Kpl, RunCommandStringFromAHandlerHandsTheValueBack) {
    EXPECT_EQ(run_line("vi = run_text(\"2*3\")"), 0);
    EXPECT_EQ(calls.run_text_result, 0);
    EXPECT_EQ(calls.run_text_type, kKplInt);
    EXPECT_EQ(global_int(0), 6);
    EXPECT_NE(status(), "Value: 6");  // handed back, not shown
    // From outside any running code the top-level runner takes the line.
    EXPECT_EQ(run_command_string("vi = 40 + 2", 0), 0);
    EXPECT_EQ(global_int(0), 42);
    EXPECT_EQ(run_command_string("2.5 * 2", 0), 0);
    EXPECT_EQ(kpl_run_result().type, kKplDouble);
    EXPECT_DOUBLE_EQ(kpl_run_result().v.d, 5.0);
    // A nested line that fails is reported there and hands back -9999.
    EXPECT_EQ(run_line("vi = run_text(\"1/0\")"), kStopped);
}

TEST_F(Kpl, OnErrorLineCanSwallowAFailure) {
    std::strcpy(on_error_line().line, "error_code = 0");
    const std::string before = status();
    EXPECT_EQ(run_line("fail"), 0);
    EXPECT_EQ(calls.fail, 1);
    EXPECT_EQ(on_error_line().code, 0);
    EXPECT_EQ(status(), before);
    // Without the line the failure travels to the caller of the line.
    on_error_line().line[0] = '\0';
    EXPECT_EQ(run_line("fail"), -500);
    // The line can be set and read by the command language itself.
    EXPECT_EQ(run_line("on_error[0] = 'x'; vi = on_error[0]"), 0);
    EXPECT_EQ(global_int(0), 'x');
}

TEST_F(Kpl, ListingsShowTheCompiledCode) {
    EXPECT_EQ(kpl_compile_listing("vi = 1 + 2 * 3"),
              "0000  expression global 0:int = 1 + 2 * 3\n"
              "0026  return_\n");
    EXPECT_EQ(kpl_compile_listing("2*3"),
              "0000  expression 2 * 3\n"
              "0015  line_value\n"
              "0016  return_\n");
    EXPECT_EQ(kpl_compile_listing("while (vi < 3) { vi++; if (vi == 2) break; }"),
              "0000  jump_false 0040 global 0:int < 3\n"
              "0014  expression global 0:int post++\n"
              "0020  jump_false 0037 global 0:int == 2\n"
              "0034  jump 0040\n"
              "0037  jump 0000\n"
              "0040  return_\n");
    EXPECT_EQ(kpl_compile_listing("switch (k) { case 1: vi = 1; break; default: vi = 2; }"),
              "0000  switch_ 0037 global 3:int\n"
              "0007  expression global 0:int = 1\n"
              "0019  jump 0045\n"
              "0022  expression global 0:int = 2\n"
              "0034  switch_end 0045\n"
              "0037  table 1 default 0022 1->0007\n"
              "0045  return_\n");
    EXPECT_EQ(kpl_compile_listing("abc12(5); show \"t\""),
              "0000  expression builtin 1:void(12, 5)\n"
              "0019  expression builtin 6:void(\"t\", omitted)\n"
              "0034  return_\n");
    EXPECT_EQ(kpl_compile_listing("fill_out vd; arr[2] = -vd"),
              "0000  expression builtin 8:void(&global 1:double, omitted)\n"
              "0011  expression sysvar 100:double[2] = -global 1:double\n"
              "0028  return_\n");
}

}  // namespace
}  // namespace kpl_test
