// Formatted output through typed command lines: what reaches the text output, the status field
// and a text variable.
#include <gtest/gtest.h>

#include <string>

#include "runtime/output_options.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using loop_test::Loop;

class FormatPrint : public Loop {
protected:
    void TearDown() override {
        type("strcpy(on_error, \"\")");
        Loop::TearDown();
    }
    // The text output a line adds.
    std::string printed(const std::string& line) {
        const std::size_t before = output().size();
        type(line);
        EXPECT_TRUE(ui().message_boxes_shown().empty())
            << line << ": " << ui().message_boxes_shown().back().text;
        return output().substr(before);
    }
};

TEST_F(FormatPrint, TextOutputWithAndWithoutAFormat) {
    struct Case {
        const char* line;
        const char* out;
    } cases[] = {
        // Without a format: blank-separated, the int as "%3d", the double by the program's
        // own number output, then a line end.
        {"print 1, 2.5, \"x\"", "  1    2.500000 x\n"},
        {"print(-7)", " -7\n"},
        // Digits: the C library's formatting; a bare %f: the program's fixed form.
        {"printf(\"%.2f\\n\", 3.14159)", "3.14\n"},
        {"printf(\"%f\\n\", 3.14159)", "   3.141590\n"},
        // A conversion that does not match its value, or has none left, stands as written.
        {"printf(\"%d|%s\\n\", 2.5)", "%d|%s\n"},
        {"printf(\"%5d|%-3s|%x|%c\\n\", 7, \"ab\", 255, 65)", "    7|ab |ff|A\n"},
        {"printf(\"%c\\n\", 7)", "7\n"},  // not printable: shown in hexadecimal
        {"printf(\"100%%\\n\")", "100%\n"},
        {"tprintf(\"%s=%.1e\\n\", \"v\", 1234.5)", "v=1.2e+03\n"},
        // A whole array has no single value.
        {"print array1", "?\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(printed(c.line), c.out) << c.line;
}

TEST_F(FormatPrint, PrintAndPrintfShowTheirTextWhileOutputIsOff) {
    set_output_option(kOptionOutputOn, 0);
    EXPECT_EQ(printed("print 5"), "  5\n");
    EXPECT_EQ(printed("printf(\"%d\\n\", 6)"), "6\n");
    EXPECT_EQ(printed("print_line 7"), "");  // only print and printf force it
    EXPECT_EQ(output_option(kOptionOutputOn), 0);
    set_output_option(kOptionOutputOn, 1);
}

TEST_F(FormatPrint, FormattedTextsLandInVariablesAndTheStatusField) {
    type("sprintf(on_error, \"v=%.2f %s\", 3.14159, \"pi\")");
    EXPECT_EQ(ui().status_text(), "Value: 0");
    type("strcmp(on_error, \"v=3.14 pi\")");
    EXPECT_EQ(ui().status_text(), "Value: 0");
    // Too long for the 48 bytes of on_error: -17 and an empty text.
    type("sprintf(on_error, \"%60d\", 1)");
    EXPECT_EQ(ui().status_text(), "Value: -17");
    type("strlen(on_error)");
    EXPECT_EQ(ui().status_text(), "Value: 0");
    type("status_msg(\"%d lenses\", 3)");
    EXPECT_EQ(ui().status_text(), "3 lenses");
    EXPECT_TRUE(ui().message_boxes_shown().empty());
}

TEST_F(FormatPrint, AFormatThatIsNoTextIsRefused) {
    type("printf(2.5)");
    ASSERT_EQ(ui().message_boxes_shown().size(), 1u);
    EXPECT_NE(ui().message_boxes_shown().back().text.find("format"), std::string::npos);
    type("sprintf(on_error, 2.5)");
    EXPECT_EQ(ui().status_text(), "Value: -89");
}

TEST_F(FormatPrint, HaltShowsItsTextAndEndsTheLine) {
    const std::size_t before = output().size();
    type("halt(\"stopped at %d\", 4); print 99");
    EXPECT_EQ(output().substr(before).find("99"), std::string::npos) << output();
    EXPECT_EQ(ui().status_text(), "stopped at 4");
}

TEST_F(FormatPrint, APromptReadsTheAnswerIntoTheVariable) {
    struct Case {
        const char* answer;
        const char* line;
        const char* check;   // a line whose value shows the outcome
        const char* status;  // its status line
    } cases[] = {
        {"7\n", "prompt(error_code, \"How many %s? \", \"\", \"lenses\")", "error_code",
         "Value: 7"},
        {"6*7\n", "prompt(a, \"Value: \")", "a", "Value: 42.0"},
        {"hello world\n", "prompt(on_error, \"Name: \")", "strcmp(on_error, \"hello world\")",
         "Value: 0"},
        {"", "prompt(array1, \"All of them? \")", "prompt(array1, \"All of them? \")",
         "Value: -189"},
    };
    for (const Case& c : cases) {
        input(c.answer);
        type(c.line);
        type(c.check);
        EXPECT_EQ(ui().status_text(), c.status) << c.line << " / " << errors();
    }
}

}  // namespace
