#include "platform/console/console_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using platform::ConsoleBackend;
using platform::ConsoleOptions;
using platform::MessageAnswer;
using platform::MessageBoxRequest;
using platform::MessageButtons;
using ::testing::ElementsAre;

// Writes down what reaches it, so tests see the order and the window of every event.
class LoggingHandler : public platform::WindowHandler {
public:
    std::vector<std::string> log;
    bool allow_close = true;

    void on_timer(int window, int timer_id) override {
        log.push_back("timer " + std::to_string(window) + " " + std::to_string(timer_id));
    }
    void on_paint(int window, platform::DeviceContext& dc) override {
        log.push_back("paint " + std::to_string(window));
        dc.move_to({0, 0});
        dc.line_to({5, 5});
    }
    void on_key(int window, const platform::KeyEvent& e) override {
        log.push_back("key " + std::to_string(window) + " " + std::to_string(e.key));
    }
    bool on_close_request(int window) override {
        log.push_back("close " + std::to_string(window));
        return allow_close;
    }
};

// A backend on a hand-driven clock, reading from a string and writing into strings.
struct ConsoleFixture : ::testing::Test {
    std::istringstream in;
    std::ostringstream out, err;
    ConsoleBackend ui{ConsoleOptions{&in, &out, &err, true}};
    LoggingHandler frame;    // window 0; the empty input stream asks it to close
    LoggingHandler handler;  // child windows

    void SetUp() override { ASSERT_EQ(ui.create_frame("TAVO LT", &frame), 0); }

    // Handles everything pending without reading input.
    int drain() {
        int n = 0;
        while (n < 1000 && ui.process_one_event(false)) ++n;
        return n;
    }
};

using ConsoleMessageBox = ConsoleFixture;

// A question is answered by the next input line: a button's name or its first letter, any
// case; a line that names no button is asked once more, and past that the harmless answer.
TEST_F(ConsoleMessageBox, ReadsItsAnswerFromTheNextInputLine) {
    struct Case {
        MessageButtons buttons;
        const char* input;
        MessageAnswer expected;
        const char* shown;  // what standard error holds afterwards
        const char* left;   // the input line read next
    };
    const Case cases[] = {
        {MessageButtons::yes_no_cancel, "Yes\nrd 1 2\n", MessageAnswer::yes,
         "TAVO LT: Save? [Yes/No/Cancel] Yes\n", "rd 1 2"},
        {MessageButtons::yes_no_cancel, "n\nrd 1 2\n", MessageAnswer::no,
         "TAVO LT: Save? [Yes/No/Cancel] No\n", "rd 1 2"},
        {MessageButtons::yes_no_cancel, " CANCEL \nrd 1 2\n", MessageAnswer::cancel,
         "TAVO LT: Save? [Yes/No/Cancel] Cancel\n", "rd 1 2"},
        {MessageButtons::ok_cancel, "o\nrd 1 2\n", MessageAnswer::ok,
         "TAVO LT: Save? [OK/Cancel] OK\n", "rd 1 2"},
        {MessageButtons::retry_cancel, "retry\nrd 1 2\n", MessageAnswer::retry,
         "TAVO LT: Save? [Retry/Cancel] Retry\n", "rd 1 2"},
        {MessageButtons::yes_no_cancel, "maybe\ny\nrd 1 2\n", MessageAnswer::yes,
         "TAVO LT: Save? [Yes/No/Cancel] maybe\nTAVO LT: Save? [Yes/No/Cancel] Yes\n", "rd 1 2"},
        {MessageButtons::yes_no_cancel, "\nok\nrd 1 2\n", MessageAnswer::no,
         "TAVO LT: Save? [Yes/No/Cancel] \nTAVO LT: Save? [Yes/No/Cancel] ok\n"
         "TAVO LT: Save? [Yes/No/Cancel] No\n",
         "rd 1 2"},
        {MessageButtons::ok_cancel, "yes\nno\nrd 1 2\n", MessageAnswer::cancel,
         "TAVO LT: Save? [OK/Cancel] yes\nTAVO LT: Save? [OK/Cancel] no\n"
         "TAVO LT: Save? [OK/Cancel] Cancel\n",
         "rd 1 2"},
        // A notice has nothing to choose: the script's next line stays a command.
        {MessageButtons::ok, "rd 1 2\n", MessageAnswer::ok, "TAVO LT: Save? [OK] OK\n", "rd 1 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::istringstream input(c.input);
        std::ostringstream output, errors;
        ConsoleBackend asked{ConsoleOptions{&input, &output, &errors, true}};
        // The preset answer is what Enter gives on a screen; here it answers nothing.
        MessageBoxRequest r{"Save?", "TAVO LT", c.buttons, platform::MessageIcon::question,
                            MessageAnswer::yes};
        EXPECT_EQ(asked.message_box(r), c.expected);
        EXPECT_EQ(errors.str(), c.shown);
        EXPECT_EQ(output.str(), "");
        std::string next;
        asked.process_one_event(true);
        ASSERT_TRUE(asked.take_command_line(next));
        EXPECT_EQ(next, c.left);
    }
}

// With nobody left to answer, a question takes the answer that writes and deletes nothing.
TEST_F(ConsoleMessageBox, AtTheEndOfInputTakesTheHarmlessAnswer) {
    struct Case {
        MessageButtons buttons;
        MessageAnswer expected;
    };
    const Case cases[] = {
        {MessageButtons::ok, MessageAnswer::ok},
        {MessageButtons::ok_cancel, MessageAnswer::cancel},
        {MessageButtons::yes_no_cancel, MessageAnswer::no},
        {MessageButtons::yes_no, MessageAnswer::no},
        {MessageButtons::retry_cancel, MessageAnswer::cancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.buttons));
        MessageBoxRequest r{"Save the lens?", "TAVO LT", c.buttons, platform::MessageIcon::question,
                            MessageAnswer::yes};
        EXPECT_EQ(ui.message_box(r), c.expected);
    }
    EXPECT_EQ(ui.message_boxes_shown().size(), std::size(cases));
    // The box goes to standard error, never into the text output.
    EXPECT_THAT(err.str(), ::testing::HasSubstr("TAVO LT: Save the lens? [Yes/No/Cancel] No\n"));
    EXPECT_EQ(out.str(), "");
    // The end of the input still asks the frame to close.
    drain();
    EXPECT_THAT(frame.log, ElementsAre("close 0"));
}

TEST_F(ConsoleMessageBox, ScriptedAnswersAreTakenInOrder) {
    ui.queue_message_box_answer(MessageAnswer::no);
    ui.queue_message_box_answer(MessageAnswer::cancel);
    ui.queue_message_box_answer(MessageAnswer::yes);  // not a button of the third box
    MessageBoxRequest ask{"Save?", "TAVO LT", MessageButtons::yes_no_cancel};
    MessageBoxRequest okc{"Stop?", "TAVO LT", MessageButtons::ok_cancel};
    EXPECT_EQ(ui.message_box(ask), MessageAnswer::no);
    EXPECT_EQ(ui.message_box(okc), MessageAnswer::cancel);
    // Used up without answering: the box reads the input, which has ended.
    EXPECT_EQ(ui.message_box(okc), MessageAnswer::cancel);
    EXPECT_EQ(ui.message_box(ask), MessageAnswer::no);
}

using ConsoleTimer = ConsoleFixture;

TEST_F(ConsoleTimer, FiresWhenTheClockPassesItsIntervalAndNotBefore) {
    ASSERT_EQ(ui.create_window(7, "Graphics 1", &handler), 0);
    drain();  // the first paint of the new surface
    handler.log.clear();
    ASSERT_EQ(ui.set_timer(7, 1006, 100), 0);
    drain();
    ui.advance_clock(99);
    drain();
    EXPECT_TRUE(handler.log.empty());
    ui.advance_clock(1);
    EXPECT_EQ(drain(), 1);
    EXPECT_THAT(handler.log, ElementsAre("timer 7 1006"));
    // Periodic: the next one is due a whole interval later.
    ui.advance_clock(99);
    EXPECT_EQ(drain(), 0);
    ui.advance_clock(1);
    EXPECT_EQ(drain(), 1);
    // A clock far ahead fires once, not once per missed interval.
    ui.advance_clock(1000);
    EXPECT_EQ(drain(), 1);
    ASSERT_EQ(ui.kill_timer(7, 1006), 0);
    ui.advance_clock(1000);
    EXPECT_EQ(drain(), 0);
    EXPECT_EQ(handler.log.size(), 3u);
}

TEST_F(ConsoleTimer, EarliestTimerFiresFirstAndBadRequestsFail) {
    ASSERT_EQ(ui.create_window(7, "Graphics 1", &handler), 0);
    drain();  // the first paint of the new surface
    handler.log.clear();
    ASSERT_EQ(ui.create_window(8, "Graphics 2", &handler), 0);
    drain();
    handler.log.clear();
    ASSERT_EQ(ui.set_timer(7, 1, 300), 0);
    ASSERT_EQ(ui.set_timer(8, 2, 200), 0);
    ui.advance_clock(300);
    drain();
    EXPECT_THAT(handler.log, ElementsAre("timer 8 2", "timer 7 1"));
    EXPECT_EQ(ui.set_timer(9, 1, 100), platform::kUiBadWindow);  // window 9 does not exist
    EXPECT_EQ(ui.set_timer(7, 1, 0), platform::kUiBadArgument);
    EXPECT_EQ(ui.kill_timer(7, 99), platform::kUiBadArgument);
    // Destroying a window ends its timers.
    ASSERT_EQ(ui.destroy_window(7), 0);
    handler.log.clear();
    ui.advance_clock(1000);
    drain();
    EXPECT_THAT(handler.log, ElementsAre("timer 8 2"));
}

using ConsoleInput = ConsoleFixture;

TEST_F(ConsoleInput, CommandLinesComeFromTheStreamOneAtATime) {
    in.str("trace_ref_ray 0.7 0.0\r\n\ndraw_lens");  // CR LF, an empty line, no final LF
    std::string line;
    EXPECT_FALSE(ui.take_command_line(line));
    ASSERT_TRUE(ui.process_one_event(false));
    ASSERT_TRUE(ui.take_command_line(line));
    EXPECT_EQ(line, "trace_ref_ray 0.7 0.0");
    EXPECT_FALSE(ui.take_command_line(line));
    ASSERT_TRUE(ui.process_one_event(false));
    ASSERT_TRUE(ui.take_command_line(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(ui.process_one_event(false));
    ASSERT_TRUE(ui.take_command_line(line));
    EXPECT_EQ(line, "draw_lens");
    EXPECT_FALSE(ui.input_ended());
    EXPECT_FALSE(ui.frame_closed());
    // End of input asks the frame to close; its handler agrees here.
    drain();
    EXPECT_TRUE(ui.input_ended());
    EXPECT_TRUE(ui.frame_closed());
    EXPECT_THAT(frame.log, ElementsAre("close 0"));
    // Nothing can come any more, so waiting returns at once.
    EXPECT_FALSE(ui.process_one_event(true));
}

TEST_F(ConsoleInput, FrameHandlerCanRefuseToClose) {
    frame.allow_close = false;
    in.str("");
    drain();
    EXPECT_TRUE(ui.input_ended());
    EXPECT_FALSE(ui.frame_closed());
    ui.close_frame();
    EXPECT_TRUE(ui.frame_closed());
}

TEST_F(ConsoleInput, TextOutputGoesToStandardOutputAndIsKept) {
    ASSERT_EQ(ui.create_window(platform::kWindowText1, "Text 1", nullptr), 0);
    ASSERT_EQ(ui.add_text_line(1, "TAVO LT 5.40"), 0);
    ASSERT_EQ(ui.add_text_line(1, "  EFL   100.000"), 0);
    EXPECT_EQ(out.str(), "TAVO LT 5.40\n  EFL   100.000\n");
    EXPECT_THAT(ui.text_lines(1), ElementsAre("TAVO LT 5.40", "  EFL   100.000"));
    // Text window 2 is not open; graphics windows take no text lines.
    EXPECT_EQ(ui.add_text_line(2, "lost"), platform::kUiBadWindow);
    ASSERT_EQ(ui.create_window(7, "Graphics 1", nullptr), 0);
    EXPECT_EQ(ui.add_text_line(7, "lost"), platform::kUiBadWindow);
    EXPECT_EQ(out.str(), "TAVO LT 5.40\n  EFL   100.000\n");
}

TEST_F(ConsoleInput, EscapePollDrainsKeysAndReportsEscapeRelease) {
    ASSERT_EQ(ui.create_window(7, "Graphics 1", &handler), 0);
    drain();
    handler.log.clear();
    ui.post_key(7, {'A', true, 0, "a"});
    ui.post_key(7, {platform::key_escape, true, 0, ""});
    ui.post_key(7, {platform::key_escape, false, 0, ""});
    ui.post_command(7, 12);
    EXPECT_TRUE(ui.poll_escape());
    EXPECT_FALSE(ui.poll_escape());  // the keys are gone
    drain();
    EXPECT_TRUE(handler.log.empty());  // no key reached the window
    ui.post_key(7, {'B', true, 0, "b"});
    EXPECT_FALSE(ui.poll_escape());
}

TEST_F(ConsoleInput, WindowNumbersAreChecked) {
    EXPECT_EQ(ui.create_window(0, "x", nullptr), platform::kUiBadWindow);
    EXPECT_EQ(ui.create_window(17, "x", nullptr), platform::kUiBadWindow);
    EXPECT_EQ(ui.create_window(-1, "x", nullptr), platform::kUiBadWindow);
    ASSERT_EQ(ui.create_window(16, "x", nullptr), 0);
    EXPECT_EQ(ui.create_window(16, "x", nullptr), platform::kUiWindowExists);
    EXPECT_EQ(ui.create_frame("again", nullptr), platform::kUiWindowExists);
    EXPECT_EQ(ui.destroy_window(5), platform::kUiBadWindow);
    ConsoleBackend no_frame{ConsoleOptions{&in, &out, &err, true}};
    EXPECT_EQ(no_frame.create_window(1, "x", nullptr), platform::kUiNoFrame);
}

TEST_F(ConsoleInput, InvalidatedSurfaceIsPaintedOnceThroughItsRecorder) {
    ASSERT_EQ(ui.create_window(9, "Graphics 3", &handler), 0);
    drain();
    ASSERT_EQ(ui.invalidate(9), 0);
    ASSERT_EQ(ui.invalidate(9), 0);
    drain();
    EXPECT_THAT(handler.log, ElementsAre("paint 9", "paint 9"));
    EXPECT_THAT(ui.recording_context(9)->records(),
                ElementsAre("move 0,0", "line 0,0 5,5", "move 0,0", "line 0,0 5,5"));
    EXPECT_EQ(ui.recording_context(1), nullptr);  // window 1 was never made
    EXPECT_EQ(ui.invalidate(1), platform::kUiBadWindow);
}

TEST(RecordingDeviceContext, RecordsDrawingCallsReadably) {
    platform::RecordingDeviceContext dc({320, 200}, {16, 12, 8});
    dc.set_pen({255, 0, 0}, platform::LineStyle::dash, 1);
    dc.move_to({10, 20});
    dc.line_to({30, 40});
    dc.line_to({50, 20});  // continues from the end of the last line
    const platform::Point points[] = {{0, 0}, {5, 5}, {9, 0}};
    dc.polyline(points);
    dc.set_brush({0, 0, 255});
    dc.polygon(points);
    dc.set_text_colour({0, 128, 0});
    dc.text_out({10, 20}, "EFL");
    dc.set_clip_rect({0, 0, 100, 50});
    dc.clear_clip();
    EXPECT_THAT(
        dc.records(),
        ElementsAre("pen 255,0,0 dash 1", "move 10,20", "line 10,20 30,40", "line 30,40 50,20",
                    "polyline 0,0 5,5 9,0", "brush 0,0,255", "polygon 0,0 5,5 9,0",
                    "text_colour 0,128,0", "text 10,20 \"EFL\"", "clip 0,0 100,50", "clip none"));
    EXPECT_EQ(dc.text_width("EFL"), 24);
    EXPECT_EQ(dc.size(), (platform::Size{320, 200}));
}

// A surface drawn page after page keeps what is on it now: a fill of the whole surface wipes
// the calls before it (a clipped one does not), and a surface never wiped keeps its recent calls.
TEST(RecordingDeviceContext, KeepsWhatIsOnTheSurfaceNow) {
    platform::RecordingDeviceContext dc({100, 50}, {16, 12, 8});
    dc.text_out({1, 2}, "page 1");
    dc.set_clip_rect({0, 0, 10, 10});
    dc.fill_rect({0, 0, 100, 50}, {255, 255, 255});
    dc.clear_clip();
    EXPECT_EQ(dc.records().front(), "text 1,2 \"page 1\"");
    dc.fill_rect({0, 0, 100, 50}, {255, 255, 255});
    const platform::Point points[] = {{0, 0}, {5, 5}};
    dc.polyline(points);
    dc.text_out({1, 2}, "page 2");
    EXPECT_THAT(dc.records(), ElementsAre("fill 0,0 100,50 255,255,255", "polyline 0,0 5,5",
                                          "text 1,2 \"page 2\""));
    const std::size_t kept = platform::RecordingDeviceContext::kKeptCalls;
    for (std::size_t k = 0; k < 3 * kept; ++k) {
        dc.text_out({0, 0}, "line " + std::to_string(k));
        dc.polyline(points);
    }
    EXPECT_GE(dc.records().size(), kept);
    EXPECT_LE(dc.records().size(), kept + kept / 4);
    EXPECT_EQ(dc.records()[dc.records().size() - 2],
              "text 0,0 \"line " + std::to_string(3 * kept - 1) + "\"");
    EXPECT_EQ(dc.records().back(), "polyline 0,0 5,5");
}

TEST_F(ConsoleInput, ATextWindowKeepsItsScrollBackAndTheMessageRecordItsRecentBoxes) {
    ASSERT_EQ(ui.create_window(platform::kWindowText1, "Text 1", nullptr), 0);
    const std::size_t lines = ConsoleBackend::kKeptTextLines;
    for (std::size_t k = 0; k < 3 * lines; ++k) ui.add_text_line(1, "line " + std::to_string(k));
    EXPECT_GE(ui.text_lines(1).size(), lines);
    EXPECT_LE(ui.text_lines(1).size(), lines + lines / 4);
    EXPECT_EQ(ui.text_lines(1).back(), "line " + std::to_string(3 * lines - 1));
    const std::size_t boxes = ConsoleBackend::kKeptRecords;
    for (std::size_t k = 0; k < 3 * boxes; ++k) {
        ui.message_box({"note " + std::to_string(k), "TAVO LT"});
    }
    EXPECT_LE(ui.message_boxes_shown().size(), boxes + boxes / 4);
    EXPECT_EQ(ui.message_boxes_shown().back().text, "note " + std::to_string(3 * boxes - 1));
}

TEST(UiChoice, ConsoleWithoutDisplayOrWhenAskedElseQt) {
    using platform::UiKind;
    struct Case {
        const char* tavo_ui;
        const char* display;
        const char* wayland;
        const char* qpa;
        bool have_qt;
        UiKind expected;
    };
    const Case cases[] = {
        {nullptr, ":0", nullptr, nullptr, true, UiKind::qt},
        {nullptr, nullptr, "wayland-0", nullptr, true, UiKind::qt},
        {nullptr, nullptr, nullptr, "offscreen", true, UiKind::qt},
        {nullptr, nullptr, nullptr, nullptr, true, UiKind::console},
        {nullptr, "", "", "", true, UiKind::console},  // empty counts as unset
        {"console", ":0", nullptr, nullptr, true, UiKind::console},
        {"qt", ":0", nullptr, nullptr, true, UiKind::qt},
        {nullptr, ":0", nullptr, nullptr, false, UiKind::console},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tavo_ui ? c.tavo_ui : "-") + " " +
                     (c.display ? c.display : "-") + " " + (c.qpa ? c.qpa : "-"));
        EXPECT_EQ(platform::choose_ui_kind(c.tavo_ui, c.display, c.wayland, c.qpa, c.have_qt),
                  c.expected);
    }
}

}  // namespace

namespace {

// Without a status line on screen, status texts reach the user on the error stream: once while
// one command line is worked on, again when the next line gives the same answer.
TEST_F(ConsoleFixture, StatusTextsGoToTheErrorStreamOncePerCommandLine) {
    ui.enter_command_line("a");
    ui.enter_command_line("b");
    std::string line;
    ASSERT_TRUE(ui.take_command_line(line));
    ui.set_status_text("Value: 0.0");
    ui.set_status_text("");
    ui.set_status_text("Value: 0.0");
    ASSERT_TRUE(ui.take_command_line(line));
    ui.set_status_text("Value: 0.0");
    ui.set_status_text("Done");
    EXPECT_EQ(err.str(), "Value: 0.0\nValue: 0.0\nDone\n");
    EXPECT_EQ(ui.status_text(), "Done");
}

}  // namespace
