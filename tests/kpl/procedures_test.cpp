// Compiled procedures of the code table: calls with arguments and results, recursion up to the
// call-depth limit, and code loaded on demand into a procedure area that is recycled.
#include <string>

#include "tables/table_names.h"
#include "tests/kpl/kpl_fixture.h"

namespace kpl_test {
namespace {

TEST_F(Kpl, ProceduresFromTheCodeTableTakeArgumentsAndReturnValues) {
    EXPECT_EQ(run_line("vi = add3(1, 2.5, 2)"), 0);
    EXPECT_EQ(global_int(0), 6);
    EXPECT_EQ(run_line("vi = add3(1, 2.9, 1)"), 0);  // the int result truncates 3.9
    EXPECT_EQ(global_int(0), 3);
    EXPECT_EQ(run_line("setvi 21"), 0);
    EXPECT_EQ(global_int(0), 42);
    EXPECT_EQ(run_line("vi = label_length(\"hello\")"), 0);
    EXPECT_EQ(global_int(0), 5);
    EXPECT_EQ(run_line("vi = rec(10)"), 0);
    EXPECT_EQ(global_int(0), 10);
    // An int parameter refuses a double argument.
    EXPECT_EQ(run_line("vi = add3(1.5, 2, 2)"), kMsgDoubleForInt);
    EXPECT_EQ(run_line("vi = add3(1, 2, 2) + add3(2, 2, 2)"), 0);
    EXPECT_EQ(global_int(0), 11);
    EXPECT_EQ(compile_error("vi = setvi(1)"), kMsgVoidValue);
}

TEST_F(Kpl, AProcedureHandsItsTextParameterOnToACommand) {
    // The parameter's slot holds the text's header: the command gets the text itself.
    EXPECT_EQ(run_line("pass_on \"hello\""), 0);
    EXPECT_EQ(calls.show_label, "hello");
    EXPECT_EQ(calls.show_value, 1.5);
}

TEST_F(Kpl, TheFortyFirstNestedCallFails) {
    EXPECT_EQ(run_line("vi = rec(39)"), 0);  // calls at depths 1 to 40
    EXPECT_EQ(global_int(0), 39);
    EXPECT_EQ(run_line("vi = rec(40)"), kMsgCallDepth);
    EXPECT_EQ(kpl_state().call_depth, 0);
    EXPECT_EQ(run_line("vi = rec(3)"), 0);  // the state is clean again
    EXPECT_EQ(global_int(0), 3);
}

// A new session finds no procedure loaded, in the work areas the definitions table gave at start.
TEST_F(Kpl, ANewSessionForgetsTheLoadedProceduresAndKeepsTheWorkAreas) {
    const std::uint8_t* code = kpl_state().code;
    const std::uint8_t* vars = kpl_state().vars;
    ASSERT_EQ(run_line("vi = add3(1, 2, 2)"), 0);
    ASSERT_GT(kpl_state().procedure_fill, kKplLineArea);
    platform::reset_all_state();
    EXPECT_EQ(kpl_state().procedure_fill, kKplLineArea);
    EXPECT_EQ(kpl_state().code, code);
    EXPECT_EQ(kpl_state().vars, vars);
    EXPECT_EQ(kpl_state().call_depth, 0);
    EXPECT_EQ(kpl_state().error, 0);
}

// Two procedures of about 20000 bytes each: the 32768-byte procedure area holds one at a time.
std::string big_procedures(const char* work) {
    std::string text = work;
    for (const char* name : {"big_one", "big_two"}) {
        text += std::string("procedure ") + name + " kind=1\n  param x int\n";
        for (int n = 0; n < 1250; ++n) text += "  body \"vi = vi + 1;\"\n";
        if (std::string(name) == "big_two") {
            text += "  body \"return big_one(x) + 100;\"\n";
        } else {
            text += "  body \"return x * 2;\"\n";
        }
    }
    return text;
}

class KplRecycled : public Kpl {
protected:
    std::string extra_definitions() const override { return big_procedures(""); }
};

TEST_F(KplRecycled, ProceduresStayCallableWhenTheAreaIsRecycled) {
    EXPECT_EQ(run_line("vi = 0; vd = big_one(1)"), 0);
    EXPECT_DOUBLE_EQ(global_double(1), 2);
    EXPECT_EQ(global_int(0), 1250);
    // big_two runs, calls big_one (which takes its place in the area) and goes on after the
    // call in its reloaded code.
    EXPECT_EQ(run_line("vi = 0; vd = big_two(5) + big_one(3)"), 0);
    EXPECT_DOUBLE_EQ(global_double(1), 110 + 6);
    EXPECT_EQ(global_int(0), 3 * 1250);
}

class KplSmallArea : public Kpl {
protected:
    std::string extra_definitions() const override {
        return big_procedures("work code=40000 data=65536\n");
    }
};

TEST_F(KplSmallArea, AProcedureLargerThanTheAreaIsRefused) {
    EXPECT_EQ(kpl_state().code_size, 40000u);
    EXPECT_EQ(run_line("vi = big_one(1)"), kMsgProcedureLoad);
    EXPECT_EQ(run_line("vi = add3(1, 1, 1)"), 0);
    EXPECT_EQ(global_int(0), 2);
}

}  // namespace
}  // namespace kpl_test
