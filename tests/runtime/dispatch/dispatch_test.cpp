// Command dispatch, argument cells, parameter values and list words, over the small definitions
// and lists of tests/fixtures/dispatch, built with the table builder into a temporary tree.
//
// The command language is not part of these tests: where the on-error line has to run a command
// line, a small line runner stands in for it through the line-runner hooks. It understands
// "cmd:<n>" (run command n) and "code:<v>" (set the error code, built-in variable 63),
// separated by ';'.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/child_run.h"
#include "runtime/command_context.h"
#include "runtime/command_text.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tests/runtime/dispatch/settings_bridge.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using tavo_test::TempTree;

namespace {

// Commands of the fixture definitions.
enum : int {
    kNoHandler = 0,
    kFailing = 1,
    kFraction = 2,
    kLetter = 3,
    kShape = 4,
    kPath = 5,
    kWidth = 6,
    kEmptySlot = 7,
    kLabel = 8,
    kCount = 9,
    kNoHelp = 10,
};
constexpr int kFailSlot = 100, kOkSlot = 101, kInteractiveSlot = 102;

int fail_code = -500;
int fail_calls = 0;
int ok_calls = 0;
int interactive_calls = 0;
int interactive_result = 0;
int interactive_word_seen = 0;
int runner_calls = 0;
int history_forgotten = 0;
std::vector<std::string> ok_args;  // what the ok handler read of its cells

int failing_handler() {
    ++fail_calls;
    return fail_code;
}

std::string describe(const ArgCell* c) {
    if (c == nullptr) return "none";
    switch (c->type) {
        case kArgInt:
            return "i" + std::to_string(c->value.i);
        case kArgDouble:
            return "d" + std::to_string(c->value.d);
        case kArgChar:
            return c->text_length > 0 ? "t" + std::string(c->value.text)
                                      : "c" + std::string(1, c->value.c);
        default:
            return "?";
    }
}

int ok_handler() {
    ++ok_calls;
    ok_args.clear();
    for (int i = 0; i < arg_count(); ++i) ok_args.push_back(describe(arg_cell(i)));
    return 0;
}

int interactive_handler() {
    ++interactive_calls;
    interactive_word_seen = interactive_call();
    return interactive_result;
}

// The stand-in line runner.
int test_line_runner(const char* text, int, int) {
    ++runner_calls;
    std::stringstream in(text);
    std::string part;
    int result = 0;
    while (std::getline(in, part, ';')) {
        if (part.rfind("cmd:", 0) == 0) {
            result = run_command(std::stoi(part.substr(4)));
        } else if (part.rfind("code:", 0) == 0) {
            on_error_line().code = std::stoi(part.substr(5));
        }
    }
    return result;
}

// A stand-in for settings_item_address: the Lens_file text setting (id 25), the version (66)
// and one int (8).
char lens_file_text[260] = "/home/user/len/doublet.len";
std::int32_t surface_limit = 12;
void* test_settings_item(int id, int* type_out) {
    if (id == 25) {
        *type_out = 4;
        return lens_file_text;
    }
    if (id == 8) {
        *type_out = 1;
        return &surface_limit;
    }
    *type_out = 0;
    return nullptr;
}

int evaluations = 0;
int counting_evaluator(const char* text, ArgCell* value) {
    ++evaluations;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text) return -11;
    *value = double_cell(v);
    return 0;
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        free_definitions();
        close_message_table();
        clear_last_table_error();
        set_tables_stale(0);

        // Sources: the fixture definitions and lists with the program's own messages and help.
        const fs::path sources = tree_.base() / "sources";
        const fs::path fixtures = fs::path(TAVO_FIXTURES_DIR) / "dispatch";
        const fs::path tables = fs::path(TAVO_SOURCE_DIR) / "tables";
        fs::create_directories(sources);
        fs::copy(fixtures / "definitions", sources / "definitions", fs::copy_options::recursive);
        fs::copy(fixtures / "lists", sources / "lists", fs::copy_options::recursive);
        fs::copy(tables / "messages", sources / "messages", fs::copy_options::recursive);
        fs::copy(fixtures / "help", sources / "help", fs::copy_options::recursive);
        const fs::path amo = tree_.root() / "bin" / "amo";
        ASSERT_EQ(tavo_test::build_tables(sources, amo), 0);
        ASSERT_EQ(tavo_test::load_built_tables(), 0);

        ui_ = std::make_unique<platform::ConsoleBackend>(
            tavo_test::test_console_options(input_, output_, errors_));
        platform::set_current_ui(ui_.get());

        // A test that sets the running command's cells points them at its own locals: no test
        // may see another's.
        set_arg_vector(nullptr, 0);
        set_current_command(-1);
        clear_command_result();
        set_interactive_call(0);
        set_prompting_mode(kPromptingNone);
        clear_value_list();
        set_handler(kFailSlot, failing_handler);
        set_handler(kOkSlot, ok_handler);
        set_handler(kInteractiveSlot, interactive_handler);
        handler_table().settings_item_address = test_settings_item;
        fail_code = -500;
        fail_calls = ok_calls = interactive_calls = runner_calls = history_forgotten = 0;
        interactive_result = 0;
        evaluations = 0;
    }
    void TearDown() override {
        set_arg_vector(nullptr, 0);
        platform::set_current_ui(nullptr);
        clear_value_list();
        free_definitions();
        close_message_table();
        platform::reset_all_state();
    }

    const ParamDescriptor& descriptor(int command, int arg) {
        const ParamDescriptor* d = param_descriptor(param_descriptor_index(command, arg));
        EXPECT_NE(d, nullptr);
        static ParamDescriptor none{};
        return d != nullptr ? *d : none;
    }

    TempTree tree_;
    std::istringstream input_;
    std::ostringstream output_, errors_;
    std::unique_ptr<platform::ConsoleBackend> ui_;
};

// --- run_command -------------------------------------------------------------------------

TEST_F(Dispatch, CommandsWithoutAHandlerDoNothing) {
    for (const int command : {kNoHandler, kEmptySlot}) {
        set_current_command(-1);
        EXPECT_EQ(run_command(command), 0);
        EXPECT_EQ(current_command(), command);
    }
    EXPECT_EQ(fail_calls + ok_calls + interactive_calls, 0);
    EXPECT_EQ(handler_depth(), 0);
}

TEST_F(Dispatch, UnknownCommandNumberIsRefused) {
    EXPECT_EQ(run_command(4000), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("4000"), std::string::npos);
    EXPECT_EQ(run_command(-1), kErrorTextReady);
}

TEST_F(Dispatch, HandlerResultPassesUpWithoutAnOnErrorLine) {
    EXPECT_EQ(run_command(kFailing), -500);
    EXPECT_EQ(run_command(kFraction), 0);
    EXPECT_EQ(fail_calls, 1);
    EXPECT_EQ(ok_calls, 1);
}

TEST_F(Dispatch, OnErrorLineRunsOnceAndDecidesTheResult) {
    line_runner_hooks().run_top_line = test_line_runner;
    struct Case {
        const char* line;
        int result;
    };
    const Case cases[] = {
        {"code:0", 0},      // the line swallows the error
        {"code:-77", -77},  // or replaces it
        {"cmd:2", -500},    // a line that leaves the code alone keeps the failure
    };
    for (const Case& c : cases) {
        std::snprintf(on_error_line().line, kOnErrorLineSize, "%s", c.line);
        runner_calls = 0;
        EXPECT_EQ(run_command(kFailing), c.result) << c.line;
        EXPECT_EQ(runner_calls, 1) << c.line;
    }
}

TEST_F(Dispatch, FailureInsideTheOnErrorLineDoesNotRunItAgain) {
    line_runner_hooks().run_top_line = test_line_runner;
    std::snprintf(on_error_line().line, kOnErrorLineSize, "cmd:1");
    EXPECT_EQ(run_command(kFailing), -500);
    EXPECT_EQ(runner_calls, 1);
    EXPECT_EQ(fail_calls, 2);  // the command, and once more from inside the line
    // The guard is down again: the next failure runs the line again, once.
    EXPECT_EQ(run_command(kFailing), -500);
    EXPECT_EQ(runner_calls, 2);
}

TEST_F(Dispatch, OnErrorLineWithoutALineRunnerKeepsAClearFailure) {
    std::snprintf(on_error_line().line, kOnErrorLineSize, "code:0");
    EXPECT_EQ(run_command(kFailing), -500);  // variable 63 still holds the failure
    EXPECT_EQ(run_command_string("code:0", 0), kMsgNoLineRunner);
}

TEST_F(Dispatch, InteractiveHandlerRunsWhenAskedAndForgetsTheHistoryLine) {
    line_runner_hooks().forget_history_line = [] { ++history_forgotten; };
    set_interactive_call(2);
    EXPECT_EQ(run_command(kShape), 0);
    EXPECT_EQ(interactive_calls, 1);
    EXPECT_EQ(interactive_word_seen, -1);
    EXPECT_EQ(ok_calls, 0);
    EXPECT_EQ(history_forgotten, 1);

    interactive_result = -43;
    set_interactive_call(2);
    EXPECT_EQ(run_command(kShape), -43);
    EXPECT_EQ(interactive_call(), 0);
    EXPECT_EQ(history_forgotten, 1);

    // Without the request the plain handler runs.
    EXPECT_EQ(run_command(kShape), 0);
    EXPECT_EQ(ok_calls, 1);
    // So it does for a command whose help block (and so its dialog) is missing.
    set_interactive_call(2);
    EXPECT_EQ(run_command(kNoHelp), 0);
    EXPECT_EQ(ok_calls, 2);
    EXPECT_EQ(interactive_calls, 2);
}

TEST_F(Dispatch, CommandStringPassesModeAndFlagsAndRestoresTheRunMode) {
    static int seen_mode, seen_flags, seen_run_mode, seen_nesting;
    line_runner_hooks().run_top_line = [](const char*, int mode, int flags) {
        seen_mode = mode;
        seen_flags = flags;
        seen_run_mode = run_mode_word();
        seen_nesting = command_string_nesting();
        return -12;
    };
    set_interactive_call(2);
    EXPECT_EQ(run_command_string("x", -5), -12);
    EXPECT_EQ(seen_mode, 0);
    EXPECT_EQ(seen_flags, 5);
    EXPECT_EQ(seen_nesting, 1);
    EXPECT_EQ(command_string_nesting(), 0);
    EXPECT_EQ(interactive_call(), 0);
    EXPECT_EQ(run_command_string("x", 3), -12);
    EXPECT_EQ(seen_run_mode, 3);
    EXPECT_EQ(run_mode_word(), 0);

    // From inside running code the nested runner is used; its failure becomes -9999.
    line_runner_hooks().kpl_depth = [] { return 2; };
    line_runner_hooks().run_nested_line = [](const char*, int) { return -13; };
    EXPECT_EQ(run_command_string("x", 0), kStopped);
}

// --- handler calling a handler --------------------------------------------------------------

TEST_F(Dispatch, HandlerCallsHandlerThroughTheScratchVector) {
    ArgCell outer_cells[2] = {int_cell(7), double_cell(0.5)};
    ArgCell* outer[2] = {&outer_cells[0], &outer_cells[1]};
    set_arg_vector(outer, 2);
    set_current_command(kFraction);

    char name[] = "lens";
    const ArgCell cells[3] = {int_cell(3), text_cell(name), char_cell('q')};
    EXPECT_EQ(call_command_handler(kPath, cells, 3), 0);
    EXPECT_EQ(ok_args, (std::vector<std::string>{"i3", "tlens", "cq"}));
    EXPECT_EQ(current_command(), kFraction);
    EXPECT_EQ(arg_vector(), outer);
    EXPECT_EQ(arg_count(), 2);

    std::vector<ArgCell> many(kScratchCellCount + 1, int_cell(1));
    EXPECT_EQ(call_command_handler(kPath, many.data(), kScratchCellCount + 1), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("25"), std::string::npos);
    EXPECT_EQ(call_command_handler(kPath, many.data(), kScratchCellCount), 0);
    EXPECT_EQ(ok_args.size(), static_cast<std::size_t>(kScratchCellCount));
}

TEST_F(Dispatch, NestedHandlerCallKeepsTheCallersScratchCells) {
    // The middle handler was itself called through the scratch vector and calls another one.
    static std::string before, after;
    set_handler(kFailSlot, [] {
        before = describe(arg_cell(0));
        const ArgCell inner = int_cell(99);
        call_command_handler(kPath, &inner, 1);
        after = describe(arg_cell(0));
        return 0;
    });
    const ArgCell first = int_cell(5);
    EXPECT_EQ(call_command_handler(kFailing, &first, 1), 0);
    EXPECT_EQ(before, "i5");
    EXPECT_EQ(after, "i5");
    EXPECT_EQ(ok_args, (std::vector<std::string>{"i99"}));
}

TEST_F(Dispatch, CellsBeyondTheCountAreNotHanded) {
    ArgCell c = int_cell(1);
    ArgCell* v[1] = {&c};
    set_arg_vector(v, 1);
    EXPECT_EQ(arg_cell(0), &c);
    EXPECT_EQ(arg_cell(1), nullptr);
    EXPECT_EQ(arg_cell(-1), nullptr);
}

TEST_F(Dispatch, ResultSettersKeepValueAndType) {
    set_double_result_words(0x00000000u, 0x3FF80000u);  // 1.5
    EXPECT_EQ(command_result().type, kArgDouble);
    EXPECT_EQ(command_result().value.d, 1.5);
    set_char_result('z');
    EXPECT_EQ(command_result().type, kArgChar);
    EXPECT_EQ(command_result().value.c, 'z');
    clear_command_result();
    EXPECT_EQ(command_result().type, 0);
}

// --- command contexts ---------------------------------------------------------------------

TEST_F(Dispatch, ContextLettersAreStoredOnceAndAtMostFive) {
    EXPECT_EQ(push_command_context('l'), 0);
    EXPECT_EQ(push_command_context('L'), 0);
    EXPECT_EQ(command_context_depth(), 1);
    EXPECT_STREQ(command_context_suffix(), "_L");
    for (const char c : {'z', 'i', 'g', 'k'}) EXPECT_EQ(push_command_context(c), 0);
    EXPECT_EQ(command_context_depth(), 5);
    EXPECT_EQ(push_command_context('o'), kMsgContextStackFull);
    EXPECT_EQ(command_context_depth(), 5);
    EXPECT_EQ(command_context_letter(), 'K');
    EXPECT_EQ(push_command_context('k'), 0);  // already on top
    pop_command_context();
    EXPECT_EQ(command_context_letter(), 'G');
    for (int i = 0; i < 6; ++i) pop_command_context();
    EXPECT_EQ(command_context_depth(), 0);
    EXPECT_EQ(command_context_suffix(), nullptr);
}

// --- bound and type checks ----------------------------------------------------------------

TEST_F(Dispatch, DoubleBoundsAcceptTheBoundsAndNameTheOneCrossed) {
    const ParamDescriptor& d = descriptor(kFraction, 0);
    struct Case {
        double value;
        int result;
        const char* text;  // expected in the error text
    };
    const Case cases[] = {
        {0.0, 0, nullptr},
        {1.0, 0, nullptr},
        {0.25, 0, nullptr},
        {1.0000001, kErrorTextReady, "The value must not be above 1"},
        {-1e-9, kErrorTextReady, "The value must not be below 0"},
        {std::nan(""), kErrorTextReady, "above 1"},
    };
    for (const Case& c : cases) {
        ArgCell cell{};
        EXPECT_EQ(store_param_value(&d, double_cell(c.value), &cell), c.result) << c.value;
        if (c.text != nullptr) {
            EXPECT_NE(std::string(error_text_buffer()).find(c.text), std::string::npos)
                << error_text_buffer();
        } else {
            EXPECT_EQ(cell.type, kArgDouble);
            EXPECT_EQ(cell.value.d, c.value);
        }
    }
    // An int value is widened.
    ArgCell cell{};
    EXPECT_EQ(store_param_value(&d, int_cell(1), &cell), 0);
    EXPECT_EQ(cell.value.d, 1.0);
}

TEST_F(Dispatch, CharAndIntParametersRefuseWhatDoesNotFit) {
    const ParamDescriptor& letter = descriptor(kLetter, 0);
    const ParamDescriptor& count = descriptor(kCount, 0);
    struct Case {
        const ParamDescriptor* d;
        ArgCell value;
        int result;
    };
    const Case cases[] = {
        {&letter, int_cell(256), kMsgBadChar},
        {&letter, int_cell(-1), kMsgBadChar},
        {&letter, double_cell(65), kMsgBadChar},
        {&letter, int_cell(65), 0},
        {&letter, int_cell(255), 0},
        {&count, double_cell(3), kMsgDoubleForInt},
        {&count, int_cell(12), 0},
        {&count, int_cell(-3), 0},
        {&count, int_cell(13), kErrorTextReady},
        {&count, int_cell(-4), kErrorTextReady},
    };
    for (const Case& c : cases) {
        ArgCell cell{};
        EXPECT_EQ(store_param_value(c.d, c.value, &cell), c.result) << describe(&c.value);
    }
    ArgCell cell{};
    ASSERT_EQ(store_param_value(&letter, int_cell(65), &cell), 0);
    EXPECT_EQ(cell.type, kArgChar);
    EXPECT_EQ(cell.value.c, 'A');
    EXPECT_EQ(store_param_value(&count, int_cell(13), &cell), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("above 12"), std::string::npos);
    EXPECT_EQ(store_param_value(&count, int_cell(-4), &cell), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("below -3"), std::string::npos);
}

TEST_F(Dispatch, TextLengthBoundsNameTheLimit) {
    const ParamDescriptor& d = descriptor(kLabel, 0);
    EXPECT_EQ(check_text_bounds(d, "ab"), 0);
    EXPECT_EQ(check_text_bounds(d, "abcdefgh"), 0);
    EXPECT_EQ(check_text_bounds(d, "abcdefghi"), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("more than 8"), std::string::npos);
    EXPECT_EQ(check_text_bounds(d, "a"), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("at least 2"), std::string::npos);
    EXPECT_EQ(param_upper_bound(param_descriptor_index(kLabel, 0)), 8);
    EXPECT_EQ(param_upper_bound(param_descriptor_index(kPath, 0)), 0);
}

TEST_F(Dispatch, SettingBoundMustHaveTheParametersType) {
    ParamDescriptor d = descriptor(kCount, 0);
    d.upper_handle = static_cast<std::uint16_t>(kHandleSetting | 8);  // an int setting: 12
    EXPECT_EQ(check_int_bounds(d, 12), 0);
    EXPECT_EQ(check_int_bounds(d, 13), kErrorTextReady);
    d.upper_handle = static_cast<std::uint16_t>(kHandleSetting | 25);  // a text setting
    EXPECT_EQ(check_int_bounds(d, 1), kMsgBadBound);
    d.upper_handle = static_cast<std::uint16_t>(kHandleValue | 40);  // no such value entry
    EXPECT_EQ(check_int_bounds(d, 1), kMsgBadBound);
}

// --- answers and lists --------------------------------------------------------------------

TEST_F(Dispatch, RequiredListRefusesAnUnknownWordNamingIt) {
    const int n = param_descriptor_index(kShape, 0);
    EXPECT_EQ(param_value_kind(n), 2);
    ASSERT_EQ(select_param_list(n), 0);
    const ParamDescriptor& d = *param_descriptor(n);
    char text[kArgTextSize] = "rhombus";
    ArgCell cell{};
    EXPECT_EQ(evaluate_answer(d, text, sizeof text, &cell), kMsgNotInList);
    EXPECT_STREQ(pending_name(), "rhombus");
    EXPECT_NE(format_message(kMsgNotInList, std::span<const FormatArg>(
                                                std::vector<FormatArg>{FormatArg("rhombus")}))
                  .find("rhombus"),
              std::string::npos);

    // A known word gives its entry number.
    std::snprintf(text, sizeof text, "surf");
    ASSERT_EQ(evaluate_answer(d, text, sizeof text, &cell), 0);
    EXPECT_EQ(cell.type, kArgInt);
    EXPECT_EQ(cell.value.i, 0);
    std::snprintf(text, sizeof text, "Flat_Mirror");
    ASSERT_EQ(evaluate_answer(d, text, sizeof text, &cell), 0);
    EXPECT_EQ(cell.value.i, 4);
}

TEST_F(Dispatch, OptionalListTakesAnUnknownWordAsTyped) {
    const int n = param_descriptor_index(kCount, 1);
    EXPECT_EQ(param_value_kind(n), 1);
    ASSERT_EQ(select_param_list(n), 0);
    char text[kArgTextSize] = "42";
    ArgCell cell{};
    ASSERT_EQ(evaluate_answer(*param_descriptor(n), text, sizeof text, &cell), 0);
    EXPECT_EQ(cell.value.i, 42);
    EXPECT_EQ(value_list_count(), 0);  // the list was dropped
}

TEST_F(Dispatch, StringPreferenceGivesTheSettingText) {
    const ParamDescriptor& d = descriptor(kPath, 0);
    for (const char* answer : {"str_pref(lfil)", "str_pref  (lfil)"}) {
        char text[kArgTextSize];
        std::snprintf(text, sizeof text, "%s", answer);
        ArgCell cell{};
        ASSERT_EQ(evaluate_answer(d, text, sizeof text, &cell), 0) << answer;
        EXPECT_EQ(cell.type, kArgChar);
        EXPECT_STREQ(cell.value.text, lens_file_text);
        EXPECT_EQ(cell.text_length, static_cast<int>(std::strlen(lens_file_text) + 1));
    }
    char text[kArgTextSize] = "str_pref(nope)";
    ArgCell cell{};
    EXPECT_EQ(evaluate_answer(d, text, sizeof text, &cell), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("nope"), std::string::npos);
    // Not of the form: taken as the text itself.
    std::snprintf(text, sizeof text, "str_pref(lfil) x");
    ASSERT_EQ(evaluate_answer(d, text, sizeof text, &cell), 0);
    EXPECT_STREQ(cell.value.text, "str_pref(lfil) x");
}

TEST_F(Dispatch, StringPreferenceThroughTheInstalledListAndSettings) {
    // The program's own list and settings store in place of the fixture ones.
    free_definitions();
    reset_lists();
    const fs::path amo = tree_.root() / "bin" / "amo";
    fs::copy_file(tavo_test::built_root() / "bin/amo/tvalists.amo", amo / "tvalists.amo",
                  fs::copy_options::overwrite_existing);
    ASSERT_EQ(load_definitions(0), 0);
    ASSERT_EQ(bridge_settings_layout(), 0);
    handler_table().settings_item_address = bridge_settings_item_address;
    ASSERT_EQ(bridge_set_lens_file("/data/len/triplet.len"), 0);

    ParamDescriptor d{};
    d.type_flags = 0x13;  // a text
    char text[kArgTextSize] = "str_pref(lfil)";
    ArgCell cell{};
    ASSERT_EQ(evaluate_answer(d, text, sizeof text, &cell), 0);
    EXPECT_STREQ(cell.value.text, "/data/len/triplet.len");
    std::snprintf(text, sizeof text, "str_pref(zzzz)");
    EXPECT_EQ(evaluate_answer(d, text, sizeof text, &cell), kErrorTextReady);
    EXPECT_NE(std::string(error_text_buffer()).find("zzzz"), std::string::npos);
    bridge_settings_release();
}

TEST_F(Dispatch, PromptedAnswerEqualToTheDefaultKeepsIt) {
    param_hooks().evaluate_expression = counting_evaluator;
    const int n = param_descriptor_index(kWidth, 0);
    ArgCell cell{};
    ui_->enter_command_line("");  // Enter on the shown default
    ASSERT_EQ(prompt_param(n, &cell), 0);
    EXPECT_EQ(cell.type, kArgDouble);
    EXPECT_EQ(cell.value.d, 2.5);
    EXPECT_EQ(evaluations, 0);
    EXPECT_EQ(ui_->status_text(), "Enter width:");
    EXPECT_EQ(prompting_mode(), kPromptingNone);

    ui_->enter_command_line("0.75");
    ASSERT_EQ(prompt_param(n, &cell), 0);
    EXPECT_EQ(cell.value.d, 0.75);
    EXPECT_EQ(evaluations, 1);
}

TEST_F(Dispatch, EscapeAtAPromptStops) {
    const int n = param_descriptor_index(kWidth, 0);
    ArgCell cell{};
    platform::KeyEvent escape;
    escape.key = platform::key_escape;
    escape.pressed = false;
    ui_->post_key(0, escape);
    EXPECT_EQ(prompt_param(n, &cell), kStopped);
    EXPECT_EQ(prompt_param(-1, &cell), kStopped);
}

TEST_F(Dispatch, RefusedAnswerIsReportedAndAskedAgainWhileRunning) {
    set_running_flag(1);
    const int n = param_descriptor_index(kFraction, 0);
    ArgCell cell{};
    ui_->enter_command_line("1.5");
    ui_->enter_command_line("0.5");
    EXPECT_EQ(prompt_param(n, &cell), 0);
    EXPECT_EQ(cell.value.d, 0.5);
    set_running_flag(0);
    // Before the main loop runs, the failure ends the question.
    ui_->enter_command_line("1.5");
    EXPECT_EQ(prompt_param(n, &cell), kErrorTextReady);
}

TEST_F(Dispatch, DefaultsFollowThePromptingMode) {
    // The count parameter's default is value entry 0 (4); each copy takes another mode. The
    // enable condition of the copies is condition 0 of the fixture (a lens file is named).
    const ParamDescriptor& count = descriptor(kCount, 0);
    const ParamDescriptor& fraction = descriptor(kFraction, 0);  // kPromptAsk, no default
    auto with_mode = [&count](int mode) {
        ParamDescriptor d = count;
        d.prompt_mode = static_cast<std::uint8_t>(mode);
        d.enable_condition = 0;
        return d;
    };
    const ParamDescriptor ask = with_mode(kPromptAsk), take = with_mode(kPromptTakeDefault),
                          if_enabled = with_mode(kPromptTakeDefaultIfEnabled),
                          show = with_mode(kPromptShowDefault),
                          unless_asked = with_mode(kPromptDefaultUnlessAsked);
    ParamDescriptor take_nothing = take;
    take_nothing.default_handle = 0;
    char buffer[kArgTextSize], shown[kArgTextSize];
    struct Case {
        const char* what;
        const ParamDescriptor* d;
        int state;
        bool condition_holds;
        int result;
        int value;  // the cell's value when the result is to take it
    };
    const Case cases[] = {
        {"asks without a default", &ask, kPromptingNone, true, kPromptAsk, 0},
        {"takes its default", &take, kPromptingNone, true, kPromptTakeDefault, 4},
        {"enabled: takes it", &if_enabled, kPromptingNone, true, kPromptTakeDefault, 4},
        {"not enabled: offers it", &if_enabled, kPromptingNone, false, kPromptShowDefault, 0},
        {"offers its default", &show, kPromptingNone, true, kPromptShowDefault, 0},
        {"takes it while not asked", &unless_asked, kPromptingNone, false, kPromptTakeDefault, 4},

        // '?' asks for every argument, but a parameter meant to take its default still takes it.
        {"marked: still asks without", &ask, kPromptingMarked, true, kPromptAsk, 0},
        {"marked: still takes it", &take, kPromptingMarked, true, kPromptTakeDefault, 4},
        {"marked: offers it", &if_enabled, kPromptingMarked, true, kPromptShowDefault, 0},
        {"marked: offers it", &show, kPromptingMarked, true, kPromptShowDefault, 0},
        {"marked: offers it", &unless_asked, kPromptingMarked, true, kPromptShowDefault, 0},

        // A handler asking for the parameter itself offers every default.
        {"direct: still asks without", &ask, kPromptingDirect, true, kPromptAsk, 0},
        {"direct: offers it", &take, kPromptingDirect, true, kPromptShowDefault, 0},
        {"direct, no default: asks", &take_nothing, kPromptingDirect, true, kPromptAsk, 0},
        {"direct: offers it", &if_enabled, kPromptingDirect, true, kPromptShowDefault, 0},
        {"direct: offers it", &unless_asked, kPromptingDirect, true, kPromptShowDefault, 0},

        // Omitted arguments are never asked for: a gap in a call takes zero, the end of a call
        // the defaults.
        {"gap: zero", &take, kPromptingOmitted, true, kPromptTakeDefault, 0},
        {"gap: zero", &show, kPromptingOmitted, false, kPromptTakeDefault, 0},
        {"completing: the default", &show, kPromptingCompleting, false, kPromptTakeDefault, 4},
        {"completing: the default", &unless_asked, kPromptingCompleting, true, kPromptTakeDefault,
         4},
        {"completing, no default: zero", &ask, kPromptingCompleting, true, kPromptTakeDefault, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(c.d->prompt_mode) +
                     ", state " + std::to_string(c.state));
        if (c.condition_holds) {
            set_state_flag(kFlagLensFileNamed);
        } else {
            clear_state_flag(kFlagLensFileNamed);
            update_flag_expressions();
        }
        set_prompting_mode(c.state);
        ArgCell cell{};
        cell.value.i = -1;
        ASSERT_EQ(evaluate_default(*c.d, buffer, sizeof buffer, &cell, shown, sizeof shown),
                  c.result);
        if (c.result == kPromptTakeDefault) {
            EXPECT_EQ(cell.value.i, c.value);
        }
    }
    // An interactive call takes the default: its handler asks for what it needs.
    set_interactive_call(1);
    set_prompting_mode(kPromptingNone);
    ArgCell cell{};
    EXPECT_EQ(evaluate_default(show, buffer, sizeof buffer, &cell, shown, sizeof shown),
              kPromptTakeDefault);
    EXPECT_EQ(cell.value.i, 4);
    set_interactive_call(0);

    set_prompting_mode(kPromptingDirect);
    ASSERT_EQ(evaluate_default(count, buffer, sizeof buffer, &cell, shown, sizeof shown),
              kPromptShowDefault);
    EXPECT_EQ(cell.value.i, 4);
    EXPECT_STREQ(shown, "4");
    set_prompting_mode(kPromptingOmitted);
    ArgCell forced{};
    ASSERT_EQ(prompt_loop(fraction, buffer, sizeof buffer, &forced), 0);
    EXPECT_EQ(forced.status, kArgDefaultForced);
    EXPECT_EQ(forced.value.d, 0.0);
    EXPECT_EQ(prompting_mode(), kPromptingNone);
}

// A run that ended while an argument was being asked for, or while a call was completed, leaves
// nothing behind: the first call of a new session takes its default as at start-up.
TEST_F(Dispatch, ANewSessionTakesDefaultsAsAtStartUp) {
    ParamDescriptor unless_asked = descriptor(kCount, 0);  // its default is value entry 0 (4)
    unless_asked.prompt_mode = kPromptDefaultUnlessAsked;
    unless_asked.enable_condition = 0;
    char buffer[kArgTextSize], shown[kArgTextSize];
    for (const int left : {kPromptingMarked, kPromptingDirect, kPromptingOmitted}) {
        SCOPED_TRACE("left in prompting mode " + std::to_string(left));
        set_prompting_mode(left);
        platform::reset_all_state();
        ArgCell cell{};
        cell.value.i = -1;
        ASSERT_EQ(evaluate_default(unless_asked, buffer, sizeof buffer, &cell, shown, sizeof shown),
                  kPromptTakeDefault);
        EXPECT_EQ(cell.value.i, 4);
    }
}

TEST_F(Dispatch, RememberedDefaultIsAListEntry) {
    const int n = param_descriptor_index(kCount, 1);
    const ArgCell value = int_cell(7);  // the value text of entry 0
    set_param_default(n, &value);
    const ParamDescriptor& d = *param_descriptor(n);
    EXPECT_EQ(d.default_handle, kHandleListEntry | 0);
    EXPECT_EQ(d.prompt_mode, kPromptShowDefault);
    char buffer[kArgTextSize], shown[kArgTextSize];
    ArgCell cell{};
    ASSERT_EQ(select_param_list(n), 0);
    set_prompting_mode(kPromptingNone);
    ASSERT_EQ(evaluate_default(d, buffer, sizeof buffer, &cell, shown, sizeof shown),
              kPromptShowDefault);
    EXPECT_EQ(cell.value.i, 7);
    EXPECT_STREQ(shown, "surface");
}

// --- list words ---------------------------------------------------------------------------

TEST_F(Dispatch, ListWordsMatchByAliasWordAndNumberedForm) {
    select_table_value_list(find_list("shapes", false));
    ASSERT_EQ(value_list_count(), 5);
    struct Case {
        const char* word;
        int index;
        const char* value;
    };
    const Case cases[] = {
        {"surf", 0, "7"},         {"surface", 0, "7"},     {"SURF", 0, "7"},
        {"ray12", 1, "r012"},     {"ray7", 1, "r007"},     {"ray123", 1, "r123"},
        {"abc_", -1, nullptr},    {"abc", -1, nullptr},    {"hidden", -1, nullptr},
        {"ray1234", -1, nullptr}, {"flat_mirror", 4, "4"}, {"sur", -1, nullptr},
    };
    for (const Case& c : cases) {
        int index = 99;
        const char* value = match_list_word(c.word, &index);
        EXPECT_EQ(index, c.index) << c.word;
        if (c.value == nullptr) {
            EXPECT_EQ(value, nullptr) << c.word;
        } else {
            ASSERT_NE(value, nullptr) << c.word;
            EXPECT_STREQ(value, c.value) << c.word;
        }
    }
}

TEST_F(Dispatch, HandlerBuiltListIsCurrentAndNotFromTheTable) {
    static int builds = 0;
    set_handler(40, [] {
        ++builds;
        EXPECT_TRUE(building_value_list());
        add_built_list_entry("alpha", "1");
        add_built_list_entry("beta", "2");
        return 0;
    });
    ParamDescriptor d{};
    d.list_handle = static_cast<std::uint16_t>(kHandleConstant | 40);
    d.flags = kParamRequiresList;
    ASSERT_EQ(select_value_list(d), 0);
    EXPECT_FALSE(value_list_from_table());
    EXPECT_FALSE(building_value_list());
    int index = -1;
    EXPECT_STREQ(match_list_word("beta", &index), "2");
    EXPECT_EQ(index, 1);
    set_handler(40, nullptr);
    EXPECT_EQ(select_value_list(d), kMsgEmptyList);
}

// While code runs, built lists are left empty, except one whose entry is the default: an
// omitted argument reads that default from it.
TEST_F(Dispatch, ABuiltListWithAPresetDefaultIsBuiltWhileCodeRuns) {
    set_handler(40, [] {
        add_built_list_entry("alpha", "1");
        add_built_list_entry("beta", "2");
        return 0;
    });
    line_runner_hooks().kpl_idle = [] { return false; };
    ParamDescriptor d{};
    d.list_handle = static_cast<std::uint16_t>(kHandleConstant | 40);
    ASSERT_EQ(select_value_list(d), 0);
    EXPECT_EQ(value_list_count(), 0);
    d.default_handle = static_cast<std::uint16_t>(kHandleListEntry | 1);
    ASSERT_EQ(select_value_list(d), 0);
    ASSERT_EQ(value_list_count(), 2);
    EXPECT_STREQ(value_list_second(1), "2");
    set_handler(40, nullptr);
}

TEST_F(Dispatch, SymbolNamesAndEscapes) {
    EXPECT_STREQ(pick_symbol_name(kShape, false, false), "shape_cmd");
    EXPECT_STREQ(pick_symbol_name(1234, false, false), "?");
    char text[] = "a\\tb\\nc\\q\\";
    unescape_text(text);
    EXPECT_STREQ(text, "a\tb\nc\\q\\");
    EXPECT_EQ(escape_char('v'), 11);
    EXPECT_EQ(escape_char('x'), 0);
    EXPECT_STREQ(cached_msg_text(-1), "?");
}

// --- command text -------------------------------------------------------------------------

TEST_F(Dispatch, CommandTextWritesGivenArgumentsBack) {
    ArgCell cells[3] = {int_cell(5), int_cell(1), text_cell(const_cast<char*>("my lens"))};
    ArgCell* v[3] = {&cells[0], &cells[1], &cells[2]};
    set_arg_vector(v, 3);
    set_current_command(kCount);
    std::string text;
    EXPECT_EQ(format_command_text(text, 0), 3);
    EXPECT_EQ(text, "count_cmd 5 ray_ \"my lens\"");

    cells[1].status = kArgDefaultTaken;  // not given: the text ends there
    text.clear();
    EXPECT_EQ(format_command_text(text, 0), 1);
    EXPECT_EQ(text, "count_cmd 5");

    char field[12];
    std::memcpy(field, "unchanged", 10);
    EXPECT_EQ(copy_command_text(field, sizeof field, "count_cmd 5 ray_"), kErrorTextReady);
    EXPECT_STREQ(field, "unchanged");
    EXPECT_NE(std::string(error_text_buffer()).find("11"), std::string::npos);
    EXPECT_EQ(copy_command_text(field, sizeof field, "count_cmd 5"), 0);
    EXPECT_STREQ(field, "count_cmd 5");
}

// --- child processes ----------------------------------------------------------------------

TEST_F(Dispatch, ChildProcessResults) {
    EXPECT_EQ(run_child_process("false", 0), 0);
    EXPECT_EQ(run_child_process("sh -c \"exit 8\"", 10), 8);
    EXPECT_EQ(run_child_process("no-such-program-here", 10), -1);
    EXPECT_EQ(run_child_process("   ", 10), -1);

    const fs::path pid_file = tree_.base() / "pid";
    const std::string line = "sh -c \"echo $$ > '" + pid_file.string() + "'; exec sleep 30\"";
    EXPECT_EQ(run_child_process(line.c_str(), 1), -1);
    const std::string pid = tavo_test::read_file(pid_file);
    ASSERT_FALSE(pid.empty());
    EXPECT_FALSE(fs::exists("/proc/" + pid.substr(0, pid.find('\n'))));
}

TEST_F(Dispatch, StopwatchRestartsAndOnlyMovesOn) {
    const std::int64_t start = elapsed_ms(1);
    const std::int64_t later = elapsed_ms(0);
    EXPECT_GE(start, 0);
    EXPECT_GE(later, start);
    EXPECT_LE(elapsed_ms(1), elapsed_ms(0));
}

TEST_F(Dispatch, CommandLinesSplitWithoutAShell) {
    EXPECT_EQ(split_command_line("  a  \"b c\" d\"e f\"g $HOME; "),
              (std::vector<std::string>{"a", "b c", "de fg", "$HOME;"}));
    EXPECT_TRUE(split_command_line(nullptr).empty());
}

}  // namespace
