// Control commands through typed lines: the on-error line, the Escape poll, the procedure
// trace, running programs, and what is refused while lens data is read.
#include <gtest/gtest.h>

#include <string>

#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using loop_test::Loop;

class Control : public Loop {
protected:
    void TearDown() override {
        set_lens_data_query(nullptr);
        type("strcpy(on_error, \"\")");
        Loop::TearDown();
    }
    std::size_t boxes() { return ui().message_boxes_shown().size(); }
    std::string last_box() { return boxes() == 0 ? "" : ui().message_boxes_shown().back().text; }
};

TEST_F(Control, TheOnErrorLineIsClearedAndEscapeIsPolled) {
    type("strcpy(on_error, \"beep\"); clear_on_error; strlen(on_error)");
    EXPECT_EQ(ui().status_text(), "Value: 0");
    type("escape_pressed()");
    EXPECT_EQ(ui().status_text(), "Value: 0");
    const int beeps = ui().beep_count();
    type("beep");
    EXPECT_EQ(ui().beep_count(), beeps + 1);
}

TEST_F(Control, TheCallTraceNeedsACallingProcedure) {
    type("call_trace");
    ASSERT_EQ(boxes(), 1u);
    EXPECT_NE(last_box().find("No procedure called"), std::string::npos) << last_box();
}

TEST_F(Control, AProgramThatDoesNotRunIsWarnedAbout) {
    struct Case {
        const char* line;
        bool warned;
    } cases[] = {
        {"run_program(\"true\", 5)", false},
        {"run_program(\"false\", 5)", false},  // its own result is not ours to judge
        {"run_program(\"/nonexistent/program\", 5)", true},
        {"run_program(\"sleep 5\", 1)", true},  // stopped at its time-out
    };
    for (const Case& c : cases) {
        ui().set_status_text("");
        const std::size_t before = boxes();
        type(c.line);
        const bool warned = ui().status_text().find("could not be started") != std::string::npos ||
                            boxes() > before;
        EXPECT_EQ(warned, c.warned) << c.line << ": " << ui().status_text();
    }
}

TEST_F(Control, NothingLeavesTheLensWhileLensDataIsRead) {
    set_lens_data_query([] { return true; });
    for (const char* line : {"quit", "exit", "run_program(\"true\", 1)", "confirm(\"Sure?\")",
                             "prompt(a, \"Value: \")"}) {
        const std::size_t before = boxes();
        type(line);
        ASSERT_EQ(boxes(), before + 1) << line;
        EXPECT_NE(last_box().find("while lens data is read"), std::string::npos) << last_box();
    }
    set_lens_data_query(nullptr);
}

}  // namespace
