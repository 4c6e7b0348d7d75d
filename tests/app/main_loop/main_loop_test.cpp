// The main loop, the command line with its history, prompts and echo, command levels, the
// settings commands and the command text of the command dialog.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_dialog.h"
#include "lens/lens_text_commands.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/settings_commands.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

using loop_test::Loop;

TEST(CommandHistory, RepeatsAreStoredOnceAndTheFortyFirstLineReplacesTheOldest) {
    reset_command_history();
    auto record = [](const std::string& line) {
        ASSERT_EQ(set_pending_line(line.c_str()), 0);
        add_to_history();
    };
    record("x = 1");
    record("x = 1");
    EXPECT_EQ(history_count(), 1);
    record("x = 2 ?  ");  // a trailing question mark goes with the blanks around it
    EXPECT_STREQ(history_line(1), "x = 2");
    record("   ");
    EXPECT_EQ(history_count(), 2);  // nothing but blanks is not recorded

    for (int k = 3; k <= 41; ++k) record("x = " + std::to_string(k));
    EXPECT_EQ(history_count(), kHistoryLines);
    EXPECT_STREQ(history_line(0), "x = 2");  // "x = 1" was the oldest
    EXPECT_STREQ(history_line(kHistoryLines - 1), "x = 41");

    // With the ring full, a repeat of the newest line must not cost the oldest one.
    record("x = 41");
    EXPECT_STREQ(history_line(0), "x = 2");

    // Browsing: back to the oldest, forward past the newest to the text that was typed.
    EXPECT_STREQ(history_previous("typed"), "x = 41");
    EXPECT_STREQ(history_previous(nullptr), "x = 40");
    EXPECT_STREQ(history_next(), "x = 41");
    EXPECT_STREQ(history_next(), "typed");
    EXPECT_EQ(history_next(), nullptr);
}

TEST(CommandHistory, LinesLongerThan255CharactersAreRefused) {
    reset_command_history();
    const std::string longest(kCommandLineLimit, 'x');
    EXPECT_EQ(set_pending_line(longest.c_str()), 0);
    EXPECT_EQ(set_pending_line((longest + "y").c_str()), kMsgCommandLineTooLong);
    EXPECT_EQ(std::string(pending_line()), longest);  // the refused line changed nothing
}

TEST(CommandHistory, TrimAndUnquote) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"  \"a b\"  ", "a b"}, {"abc", "abc"}, {"\"a\\\"", "a\\\""}, {"  ", ""}, {"\"", ""},
    };
    for (const Case& c : cases) {
        char text[32];
        std::strcpy(text, c.in);
        EXPECT_STREQ(trim_and_unquote(text), c.out) << c.in;
    }
}

TEST_F(Loop, TypedLinesRunAndAreRecorded) {
    type("a = 2");
    type("a*3");
    EXPECT_EQ(ui().status_text(), "Value: 6.0");
    ASSERT_EQ(history_count(), 2);
    EXPECT_STREQ(history_line(0), "a = 2");

    // A typed line that is too long is refused with a message and nothing runs.
    ui().set_command_line_text("");
    type(std::string(300, 'b'));
    EXPECT_EQ(history_count(), 2);
    ASSERT_FALSE(ui().message_boxes_shown().empty());
    EXPECT_NE(ui().message_boxes_shown().back().text.find("255"), std::string::npos);
}

TEST_F(Loop, AFailingTypedLineShowsItsErrorOnceAndTheNextLineRuns) {
    type("array1[2000] = 1");
    ASSERT_EQ(ui().message_boxes_shown().size(), 1u);
    EXPECT_NE(ui().message_boxes_shown().back().text.find("outside the array"), std::string::npos)
        << ui().message_boxes_shown().back().text;
    type("2*3");
    EXPECT_EQ(ui().status_text(), "Value: 6");
    EXPECT_EQ(ui().message_boxes_shown().size(), 1u);  // the old error is not shown again
}

TEST_F(Loop, EchoWritesTheRecordedLineIntoTheTextOutput) {
    set_setting_flag(kSetOutputEcho, 1);
    type("a = 5");
    EXPECT_NE(output().find(">> a = 5\n"), std::string::npos) << output();
    set_setting_flag(kSetOutputEcho, 0);
    type("a = 6");
    EXPECT_EQ(output().find(">> a = 6"), std::string::npos);
}

TEST_F(Loop, AMissingArgumentIsAskedForAndTheAnswerJoinsTheHistoryLine) {
    lens_data().notes[2][0] = '\0';
    std::strcpy(lens_data().notes[2], "third note");
    input("3\n");
    type("lens_note_line ?");
    EXPECT_STREQ(lens_text_variable(kSysVarLensNoteLine, nullptr), "third note")
        << errors() << output() << ui().status_text();
    ASSERT_EQ(history_count(), 1);
    EXPECT_STREQ(history_line(0), "lens_note_line 3");  // the answer is no line of its own
    EXPECT_EQ(prompt_state(), 0) << errors();
}

TEST_F(Loop, AQuestionThatNoAnswerCanReachCancelsTheCommand) {
    type("lens_note_line ?");
    EXPECT_EQ(prompt_state(), 0);
    EXPECT_EQ(history_count(), 1);  // the line was typed and runs no further
}

// A level handler that records its events.
std::vector<std::pair<int, int>> g_events;
int g_escape_result = 0;
int g_may_close_result = 0;
int record_events(GridEvent& e) {
    g_events.emplace_back(e.code, e.argument);
    if (e.code == kLevelEventMayClose) return g_may_close_result;
    if (e.code == kLevelEventChange && e.argument == 0) return g_escape_result;
    return 0;
}

TEST_F(Loop, ALevelHandlerSeesItsEventsInOrder) {
    g_events.clear();
    g_escape_result = 0;
    ASSERT_EQ(push_command_level(record_events, 0, 0), 0);
    EXPECT_EQ(level_count(), 0);  // the loop makes it count
    main_loop_pass(false);
    EXPECT_EQ(level_count(), 1);
    using E = std::vector<std::pair<int, int>>;
    // Pushed: the display is built twice (level change, then shown).
    EXPECT_EQ(g_events, (E{{7, 1}, {8, 0}, {7, 1}, {8, 0}}));

    // A typed line goes to the level as its entry, not to the command language.
    g_events.clear();
    type("a = 9");
    EXPECT_EQ(g_events, (E{{106, 0}}));

    // Escape: the handler is asked whether the level may close, and the level closes with the
    // Escape mark, told once.
    g_events.clear();
    escape_command_line();
    main_loop_pass(false);
    EXPECT_EQ(g_events, (E{{22, 0}, {7, -1}}));
    EXPECT_EQ(level_count(), 0);
}

TEST_F(Loop, ExitLevelsClosesOneLevelPerPass) {
    g_events.clear();
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(push_command_level(record_events, 0, 0), 0);
        main_loop_pass(false);
    }
    ASSERT_EQ(level_count(), 3);
    // Typed lines go to the level; a handler asks for this.
    ASSERT_EQ(run_command_string("exit_levels 0", 0), 0);
    main_loop_pass(false);  // the request becomes the leave count
    std::vector<int> counts;
    for (int k = 0; k < 3; ++k) {
        main_loop_pass(false);
        counts.push_back(level_count());
    }
    EXPECT_EQ(counts, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(run_state(), 0);
}

TEST_F(Loop, ExitLevelsWithOneLevelRunsItsHandlerBeforeClosing) {
    g_events.clear();
    g_escape_result = 0;
    ASSERT_EQ(push_command_level(record_events, 0, 0), 0);
    main_loop_pass(false);
    g_events.clear();
    ASSERT_EQ(run_command_string("exit_levels 1", 0), 0);
    main_loop_pass(false);
    main_loop_pass(false);
    using E = std::vector<std::pair<int, int>>;
    EXPECT_EQ(g_events, (E{{22, 0}, {7, -1}}));
    EXPECT_EQ(level_count(), 0);
}

// The answer to "may the level close?": -9999 keeps it open without a word, a failure keeps it
// open and is shown; 0 and 1 both close it as left by Escape, with one close event.
TEST_F(Loop, TheLevelsAnswerToTheCloseQuestionDecidesEscape) {
    using E = std::vector<std::pair<int, int>>;
    struct Case {
        int answer;
        int levels_after;
        E events;
        const char* shown;  // what the user is told, or null
    } cases[] = {
        {-9999, 1, E{{22, 0}}, nullptr},
        {1, 0, E{{22, 0}, {7, -1}}, nullptr},
        {0, 0, E{{22, 0}, {7, -1}}, nullptr},
        {kMsgListingStopped, 1, E{{22, 0}}, "stopped"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.answer);
        g_escape_result = 0;
        g_may_close_result = k.answer;
        ASSERT_EQ(push_command_level(record_events, 0, 0), 0);
        main_loop_pass(false);
        ASSERT_EQ(level_count(), 1);
        g_events.clear();
        const std::size_t told = errors().size();
        escape_command_line();
        main_loop_pass(false);
        EXPECT_EQ(g_events, k.events);
        EXPECT_EQ(level_count(), k.levels_after);
        EXPECT_EQ(errors().find("9999"), std::string::npos) << errors();
        if (k.shown != nullptr) {
            EXPECT_NE(errors().find(k.shown, told), std::string::npos) << errors();
        } else {
            EXPECT_EQ(errors().size(), told) << errors().substr(told);
        }
        while (level_count() > 0) {
            g_may_close_result = 1;
            escape_command_line();
            main_loop_pass(false);
        }
    }
    g_may_close_result = 0;
}

// A level whose display is the text it is given.
const char* g_level_text = "";
int write_level_text(GridEvent& e) {
    if (e.code == kLevelEventShown) {
        begin_level_output();
        write_output_text(g_level_text, false);
        return end_level_output();
    }
    return 0;
}

// The level's output goes to the spreadsheet, not to the text window; its end ends a line left
// open, and adds no empty line after one that was already ended.
TEST_F(Loop, ALevelsOutputFillsTheSheetWithTheLinesItWrote) {
    ASSERT_EQ(create_sheet_window(200, 10, 84), 0);
    using L = std::vector<std::string>;
    struct Case {
        const char* text;
        L lines;
    } cases[] = {
        {"alpha\nbeta", L{"alpha", "beta"}},
        {"alpha\nbeta\n", L{"alpha", "beta"}},
        {"alpha\n\n", L{"alpha", ""}},
        {"", L{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        g_level_text = c.text;
        const std::size_t text_lines = ui().text_lines(platform::kWindowText1).size();
        ASSERT_EQ(push_command_level(write_level_text, 0, 0), 0);
        main_loop_pass(false);
        ASSERT_EQ(level_count(), 1);
        EXPECT_EQ(textarea_output_lines(kSheetArea), c.lines);
        EXPECT_EQ(ui().text_lines(platform::kWindowText1).size(), text_lines);
        pop_command_level(false);
    }
    g_level_text = "";
}

TEST_F(Loop, SixteenLevelsOpenAndTheSeventeenthIsRefused) {
    for (int k = 0; k < kLevelLimit; ++k) {
        ASSERT_EQ(push_command_level(record_events, 0, 0), 0);
        main_loop_pass(false);
    }
    EXPECT_EQ(level_count(), kLevelLimit);
    EXPECT_EQ(push_command_level(record_events, 0, 0), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("16"), std::string::npos);
    main_loop_pass(false);
    EXPECT_EQ(level_count(), kLevelLimit);
}

TEST_F(Loop, SettingsCommandsSetShowAndRefuseTheWrongType) {
    type("set_setting 17 0 0 0 0 250");
    EXPECT_EQ(get_setting_int(kSetGraphicsPenWidth, 0, 0), 250);
    type("show_setting 17");
    EXPECT_EQ(ui().status_text(), "Graphics pen width = 250");
    type("set_setting 14 2 3 0 0 77");
    EXPECT_EQ(get_setting_int(kSetWindowGeometry, 2, 3), 77);
    type("show_setting 14 2 3");
    EXPECT_EQ(ui().status_text(), "Window geometry[2][3] = 77");
    type("set_setting 22 0 0 0 0 0 \"\" 1");
    EXPECT_EQ(get_setting_flag(kSetOutputEcho), 1);
    set_setting_flag(kSetOutputEcho, 0);
    type("show_setting 22");
    EXPECT_EQ(ui().status_text(), "Output echo = Off");

    const ArgCell id = int_cell(kSetGraphicsScale);
    EXPECT_EQ(call_command_handler(188, &id, 1), kMsgSettingType);  // a double read as an int
    EXPECT_EQ(call_command_handler(187, &id, 1), 0);
    const ArgCell bad = int_cell(74);
    EXPECT_EQ(call_command_handler(187, &bad, 1), kMsgSettingRefused);
}

void reference_point(double out[5]) {
    const double p[5] = {0.5, -1, 0, 0.25, 1};
    std::memcpy(out, p, sizeof p);
}

TEST_F(Loop, TheReferenceRayShortHandBecomesATraceOfTheStoredPoint) {
    set_reference_ray_point_source(reference_point);
    char text[256] = "trr;draw_rays 3";
    set_setting_double(kSetGraphicsScale, 0, 0, 0);
    ASSERT_TRUE(rewrite_dialog_command(500, text, sizeof text));
    EXPECT_STREQ(text, "ref_ray_trace 0.500000 -1.000000 0.000000 0.250000 1.000000;draw_rays 3");

    std::strcpy(text, "trr;draw_rays 3");
    set_setting_double(kSetGraphicsScale, 2.5, 0, 0);
    ASSERT_TRUE(rewrite_dialog_command(500, text, sizeof text));
    const std::string scale = std::string("stp gsca ") + format_number(2.5, 2, 0) + ";";
    EXPECT_EQ(std::string(text),
              "ref_ray_trace 0.500000 -1.000000 0.000000 0.250000 "
              "1.000000;draw_rays 3" +
                  scale);
    set_setting_double(kSetGraphicsScale, 0, 0, 0);
    set_reference_ray_point_source(nullptr);
}

TEST_F(Loop, EndOfInputRunsTheExitLineAndTheRunEnds) {
    type("a = 1");
    settle();
    EXPECT_EQ(running_flag(), 0);
    EXPECT_TRUE(std::filesystem::exists(run_.ini_path()));  // the exit hook wrote the settings
}

TEST(BuiltProgram, RunsLinesFromStandardInputAndEndsThroughTheExitLine) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const std::filesystem::path output = tree.base() / "out.txt";
    const std::string command = "printf 'a = 2\\na*3\\n' | TAVO_UI=console '" TAVO_INSTALL_DIR
                                "/tavolt' > '" +
                                output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(tavo_test::read_file(output).find("Value: 6.0"), std::string::npos)
        << tavo_test::read_file(output);
    EXPECT_TRUE(std::filesystem::exists(tree.data() / "tavo.ini"));
}

}  // namespace

namespace {

// A report chosen through a selector is recorded as the report's own command, so the history
// repeats the report and not the choice.
TEST_F(Loop, ASelectedParaxialReportIsRecordedAsItsOwnCommand) {
    type("par_select 1");
    ASSERT_GE(history_count(), 1);
    const std::string newest = history_line(history_count() - 1);
    EXPECT_EQ(newest.rfind("par_rays", 0), 0u) << newest;
}

}  // namespace
