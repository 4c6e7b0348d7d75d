// The status line: messages by kind in the frame's status field, with a sound, or in a box; the
// field cleared back to one blank; the Yes/No/Cancel question.
#include <gtest/gtest.h>

#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "tables/table_names.h"
#include "tests/support/built_tables.h"
#include "ui/status_line.h"
#include "ui/window_table.h"

namespace {

class StatusLine : public ::testing::Test, public tavo_test::MessageConsole {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(open_console_with_built_messages(), 0);
        set_running_flag(1);
    }
    void TearDown() override {
        set_output_option(kOptionNoErrorBoxes, 0);
        platform::reset_all_state();
    }
};

TEST_F(StatusLine, KindsAreShownWithTheirSoundsInTheStatusFieldOrABox) {
    ASSERT_EQ(show_status_message(kMessageInformation, "plain"), 0);
    EXPECT_EQ(ui.status_text(), "plain");
    EXPECT_EQ(ui.beep_count(), 0);  // information is silent

    show_status_message(kMessageWarning, "careful");
    EXPECT_EQ(ui.status_text(), "careful");
    EXPECT_EQ(ui.beep_count(), 1);

    show_status_message(kMessageError, "broken");
    EXPECT_EQ(ui.beep_count(), 2);
    ASSERT_EQ(ui.message_boxes_shown().size(), 1u);
    EXPECT_EQ(ui.message_boxes_shown().back().text, "broken");
    EXPECT_EQ(ui.status_text(), "careful");  // a box leaves the field alone

    // With No_error_boxes on, an error beeps into the status field instead.
    set_output_option(kOptionNoErrorBoxes, 1);
    show_status_message(kMessageError, "quietly broken");
    EXPECT_EQ(ui.beep_count(), 3);
    EXPECT_EQ(ui.message_boxes_shown().size(), 1u);
    EXPECT_EQ(ui.status_text(), "quietly broken");
}

TEST_F(StatusLine, AClosedTargetWindowSendsTheMessageToTheFrame) {
    set_status_target(platform::kWindowEdit);  // never made
    show_status_message(kMessageInformation, "to the frame");
    EXPECT_EQ(ui.status_text(), "to the frame");
    EXPECT_EQ(window_record(0).status_shown, 1);
    EXPECT_EQ(window_record(platform::kWindowEdit).status_shown, 0);
    EXPECT_EQ(status_target(), 0);  // reset after every message
}

TEST_F(StatusLine, ClearingLeavesOneBlankOnlyWhereAMessageWasShown) {
    ui.set_status_text("typed by someone else");
    clear_status_text(0);
    EXPECT_EQ(ui.status_text(), "typed by someone else");
    show_status_message(kMessageInformation, "old news");
    clear_status_text(0);
    EXPECT_EQ(ui.status_text(), " ");
}

TEST_F(StatusLine, YesNoCancelAnswers) {
    struct Case {
        platform::MessageAnswer answer;
        int result;
    };
    const Case cases[] = {{platform::MessageAnswer::yes, 0},
                          {platform::MessageAnswer::no, 1},
                          {platform::MessageAnswer::cancel, kStopped}};
    for (const Case& c : cases) {
        ui.queue_message_box_answer(c.answer);
        EXPECT_EQ(ask_yes_no_cancel(kMsgContinueQuestion), c.result);
        EXPECT_EQ(ui.message_boxes_shown().back().buttons, platform::MessageButtons::yes_no_cancel);
        EXPECT_EQ(ui.message_boxes_shown().back().title, "TAVO LT");
    }
}

}  // namespace
