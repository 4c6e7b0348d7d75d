#include "runtime/messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/state_reset.h"
#include "runtime/message_table.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/text_output.h"
#include "tests/support/built_tables.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The texts the tests report, in a message table of their own.
const std::vector<MessageText> kTexts = {
    {-1 + kMessageSlotBase, 0, "Ready"},
    {-5 + kMessageSlotBase, 2, "Cannot open %s"},
    {-6 + kMessageSlotBase, 1, "Careful with %s"},
    {-7 + kMessageSlotBase, 0, "Note"},
    {-8 + kMessageSlotBase, 2, "%n%s%d%p"},
    {-20 + kMessageSlotBase, 2, "Two %d and %s"},
    {-21 + kMessageSlotBase, 0, "One-line question"},
    {-74 + kMessageSlotBase, 0, "Value: %s"},
    {-78 + kMessageSlotBase, 0, "Compiling line %d of %s"},
    {-79 + kMessageSlotBase, 0, "In the call of "},
    {-81 + kMessageSlotBase, 0, "In "},
    {-82 + kMessageSlotBase, 0, "Error"},
    {-83 + kMessageSlotBase, 0, "Argument %d"},
    {-88 + kMessageSlotBase, 0, "\nContinue?"},
    {-90 + kMessageSlotBase, 0, "Calls:"},
    {-109 + kMessageSlotBase, 0, "Caption"},
};

struct Messages : ::testing::Test, tavo_test::MessageConsole {
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(open_console(kTexts), 0);
        set_running_flag(0);
        message_location() = MessageLocation{};
        set_pending_name(nullptr);
    }
    void TearDown() override { message_location() = MessageLocation{}; }

    std::vector<std::string> box_texts() const {
        std::vector<std::string> t;
        for (const auto& b : ui.message_boxes_shown()) t.push_back(b.text);
        return t;
    }
};

TEST_F(Messages, BeforeTheMainLoopMessagesGoToABoxTitledWithTheProgram) {
    EXPECT_EQ(msg_box(-7), 0);
    show_error(-20);
    ASSERT_EQ(ui.message_boxes_shown().size(), 2u);
    EXPECT_EQ(ui.message_boxes_shown()[0].title, "TAVO LT");
    EXPECT_EQ(ui.message_boxes_shown()[0].text, "Note");
    EXPECT_EQ(ui.message_boxes_shown()[0].buttons, MessageButtons::ok);
    EXPECT_EQ(ui.message_boxes_shown()[1].title, "TAVO LT");
    EXPECT_NE(err.str().find("TAVO LT: Note"), std::string::npos);
}

TEST_F(Messages, StoppedShowsNothing) {
    set_running_flag(1);
    ui.set_status_text("before");
    show_error(kStopped);
    EXPECT_THAT(box_texts(), IsEmpty());
    EXPECT_EQ(ui.status_text(), "before");
    EXPECT_EQ(ui.beep_count(), 0);
}

TEST_F(Messages, KindsRouteToStatusBeepAndBox) {
    set_running_flag(1);
    msg_box(-7);
    EXPECT_EQ(ui.status_text(), "Note");
    EXPECT_EQ(ui.beep_count(), 0);
    msg_box(-6, "it");
    EXPECT_EQ(ui.status_text(), "Careful with it");
    EXPECT_EQ(ui.beep_count(), 1);
    EXPECT_THAT(box_texts(), IsEmpty());
    msg_box(-20, 1, "b");
    EXPECT_EQ(ui.beep_count(), 2);
    ASSERT_THAT(box_texts(), ElementsAre("Two 1 and b"));
    EXPECT_EQ(ui.message_boxes_shown()[0].title, "Caption");
    EXPECT_EQ(ui.status_text(), "Careful with it");  // a box leaves the status field alone
}

TEST_F(Messages, NoErrorBoxesPutsErrorsIntoTheStatusFieldWithABeep) {
    set_running_flag(1);
    set_output_option(kOptionNoErrorBoxes, 1);
    show_error(-20);
    EXPECT_THAT(box_texts(), IsEmpty());
    EXPECT_EQ(ui.beep_count(), 1);
    // The name is the one argument: "%d" cannot take it and "%s" has none left.
    EXPECT_EQ(ui.status_text(), "Two %d and %s");
}

TEST_F(Messages, PendingNameIsShortenedWhenLong) {
    set_running_flag(1);
    set_output_option(kOptionNoErrorBoxes, 1);
    struct Case {
        std::string name;
        std::string shown;
    };
    const std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    const Case cases[] = {
        {forty, "abcdefghijklmnopq..."},
        {std::string(32, 'x'), std::string(32, 'x')},
        {std::string(33, 'y'), std::string(17, 'y') + "..."},
        {"", ""},
    };
    for (const Case& c : cases) {
        set_pending_name(c.name.c_str());
        show_error(-5);
        EXPECT_EQ(ui.status_text(), "Cannot open " + c.shown);
        EXPECT_EQ(pending_name(), nullptr);  // cleared by the report
    }
    show_error(-5);
    EXPECT_EQ(ui.status_text(), "Cannot open ");
}

TEST_F(Messages, ErrorTextBufferIsShownAsItStandsWhenReady) {
    set_running_flag(1);
    EXPECT_EQ(set_error_msg(-20, 3, "x"), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "Two 3 and x");
    set_error_msg(-5, "a%db%s");
    set_pending_name("ignored");
    show_error(kErrorTextReady);
    EXPECT_THAT(box_texts(), ElementsAre("Cannot open a%db%s"));
    EXPECT_EQ(ui.beep_count(), 1);
}

TEST_F(Messages, HostileAndMismatchedTextsAreWrittenLiterally) {
    set_running_flag(1);
    set_output_option(kOptionNoErrorBoxes, 1);
    msg_box(-8);
    EXPECT_EQ(ui.status_text(), "%n%s%d%p");
    msg_box(-20, "x", 3);
    EXPECT_EQ(ui.status_text(), "Two %d and %s");
    set_pending_name("name");
    show_error(-8);
    EXPECT_EQ(ui.status_text(), "%n%s%d%p");
    set_pending_name("name");
    show_error(-6);
    EXPECT_EQ(ui.status_text(), "Careful with name");
}

TEST_F(Messages, MessageOutsideTheTableReadsSlotZero) {
    set_running_flag(1);
    msg_box(-3000);  // slot 1000 is beyond the table
    msg_box(5000);
    EXPECT_EQ(ui.status_text(), "");
}

TEST_F(Messages, ArgumentLocationPrefixesErrors) {
    set_running_flag(1);
    set_output_option(kOptionNoErrorBoxes, 1);
    MessageLocation& at = message_location();
    at.builtin_command = 12;
    at.argument_number = 1;
    at.parameter_name = "lens_file_name";
    show_error(-5);
    EXPECT_EQ(ui.status_text(), "lens file name: Cannot open ");
    at.parameter_name = nullptr;
    show_error(-5);
    EXPECT_EQ(ui.status_text(), "Argument 2: Cannot open ");
    show_error(-6);  // not an error: no location
    EXPECT_EQ(ui.status_text(), "Careful with ");
}

TEST_F(Messages, CompileErrorIsReportedAfterItsLocation) {
    set_running_flag(1);
    MessageLocation& at = message_location();
    at.compiling = 1;
    at.compile_line = 3;
    at.compile_source = "f.kpl";
    at.pending_error = -5;
    set_pending_name("x.len");
    report_kpl_error();
    EXPECT_THAT(box_texts(), ElementsAre("Compiling line 3 of f.kpl: \nCannot open x.len"));
    at.compiling = 0;
    at.nested_line = "a = b";
    report_kpl_error();
    EXPECT_EQ(box_texts().back(), "In *a = b: \nCannot open ");
    at.pending_error = kStopped;
    report_kpl_error();
    EXPECT_EQ(box_texts().size(), 2u);
}

TEST_F(Messages, StepModePrintsTheCallTraceAfterTheError) {
    set_running_flag(1);
    set_output_option(kOptionNoErrorBoxes, 1);
    set_call_trace_source(
        [](int level, const char** name) {
            static const char* const names[] = {"inner", "outer"};
            if (level < 0 || level > 1) return -1;
            *name = names[level];
            return 0;
        },
        [] { return 2; });
    MessageLocation& at = message_location();
    at.current_command = -1;
    at.pending_error = -7;
    report_kpl_error();
    EXPECT_THAT(ui.text_lines(1), IsEmpty());  // no trace outside step mode
    EXPECT_EQ(ui.status_text(), "Error: \nNote");
    set_output_option(kOptionStepMode, 1);
    report_kpl_error();
    EXPECT_THAT(ui.text_lines(1), ElementsAre("Calls:", "   inner", "   outer"));
    set_call_trace_source(nullptr, nullptr);
}

TEST_F(Messages, AskMessageAppendsTheQuestionToOneLineTexts) {
    ui.queue_message_box_answer(MessageAnswer::cancel);
    EXPECT_EQ(ask_msg(-21), kStopped);
    ui.queue_message_box_answer(MessageAnswer::ok);
    EXPECT_EQ(ask_msg(0), 0);
    ui.queue_message_box_answer(MessageAnswer::ok);
    EXPECT_EQ(ask_msg(-20, 1, "two\nlines"), 0);
    EXPECT_THAT(box_texts(),
                ElementsAre("One-line question\nContinue?", "\nContinue?", "Two 1 and two\nlines"));
    for (const auto& box : ui.message_boxes_shown()) {
        EXPECT_EQ(box.title, "TAVO LT");
        EXPECT_EQ(box.buttons, MessageButtons::ok_cancel);
    }
}

TEST_F(Messages, StatusMessageKeeps47CharactersAndEchoes) {
    set_running_flag(1);
    set_output_option(kOptionEcho, 1);
    const std::string long_name(60, 'n');
    status_msg(-6, long_name);
    EXPECT_EQ(ui.status_text(), ("Careful with " + long_name).substr(0, 47));
    status_msg(0);
    EXPECT_EQ(ui.status_text(), "Ready");
    ASSERT_EQ(ui.text_lines(1).size(), 1u);  // code 0 is not echoed
    EXPECT_EQ(ui.text_lines(1)[0], "<< Careful with " + long_name);
}

TEST_F(Messages, EchoOnCopiesShownMessagesIntoTheTextOutput) {
    set_running_flag(1);
    set_output_option(kOptionEcho, 1);
    msg_box(-6, "x");
    EXPECT_THAT(ui.text_lines(1), ElementsAre("<< Careful with x"));
}

TEST_F(Messages, PrintMessageAndTextPrintfWriteToTheTextOutput) {
    set_running_flag(1);
    print_msg(-20, 4, "y");
    text_printf(" and %s %5.1f\n", "z", 2.25);
    text_printf("%d%%\n", 50);
    EXPECT_THAT(ui.text_lines(1), ElementsAre("Two 4 and y and z   2.2", "50%"));
}

TEST_F(Messages, TableReadersReportThroughTheMessageLayer) {
    set_running_flag(1);
    set_output_option(kOptionNoErrorBoxes, 1);
    install_message_reporter();
    report_table_error(-5, "/some/table.amo");
    EXPECT_EQ(ui.status_text(), "Cannot open /some/table.amo");
    set_table_error_reporter(nullptr);
}

TEST_F(Messages, BadValuesAreReportedWithTheirText) {
    set_running_flag(1);
    report_bad_value(6);
    EXPECT_EQ(ui.status_text(), "Value: 6");
    report_bad_value(2.5);
    EXPECT_EQ(ui.status_text(), "Value: 2.5");
    report_bad_value(2e5);
    EXPECT_EQ(ui.status_text(), "Value: 2.0e+05");
    EXPECT_EQ(pending_name(), nullptr);
}

TEST(MessageTexts, BraceAliasAndUnderscores) {
    char text[] = "a_b_c";
    underscores_to_blanks(text);
    EXPECT_STREQ(text, "a b c");
    EXPECT_STREQ(skip_brace_prefix("{key}  shown"), "shown");
    EXPECT_STREQ(skip_brace_prefix("plain"), "plain");
    EXPECT_STREQ(skip_brace_prefix("{open"), "{open");
    EXPECT_EQ(brace_alias("{key} shown"), 4);
    EXPECT_STREQ(shared_name_buffer(), "key");
    EXPECT_EQ(brace_alias("plain"), 6);
    EXPECT_STREQ(shared_name_buffer(), "plain");
}

TEST(MessageTexts, WithoutAUserInterfaceStartUpMessagesGoToStandardError) {
    platform::set_current_ui(nullptr);
    set_running_flag(0);
    ::testing::internal::CaptureStderr();
    msgbox_printf("Initialization error %d.", -7);
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(text, "TAVO LT: Initialization error -7.\n");
}

}  // namespace

namespace {

std::vector<std::string> drawn_texts;
void record_drawn_text() {
    drawn_texts.emplace_back(formatted_output_buffer());
}

// Graphics text is formatted into one buffer, then drawn by the graphics code's primitive; a
// conversion that does not match its value is written out, never read as another type.
TEST_F(Messages, GraphicsTextGoesThroughTheFormattedOutputBuffer) {
    drawn_texts.clear();
    set_graphics_text_drawer(record_drawn_text);
    gfx_printf("EFL %.2f at %d", 50.0, 3);
    gfx_printf("%d mm", 2.5);
    set_graphics_text_drawer(nullptr);
    gfx_printf("not drawn");
    ASSERT_EQ(drawn_texts.size(), 2u);
    EXPECT_EQ(drawn_texts[0], "EFL 50.00 at 3");
    EXPECT_EQ(drawn_texts[1], "%d mm");
    EXPECT_STREQ(formatted_output_buffer(), "not drawn");
}

}  // namespace
