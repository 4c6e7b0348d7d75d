// Lines the compiler must refuse or run without ever writing outside its buffers: random token
// soup, kept lines run again, and the command-context letters of the name lookup.
#include <random>
#include <string>

#include "tables/table_names.h"
#include "tests/kpl/kpl_fixture.h"

namespace kpl_test {
namespace {

TEST_F(Kpl, RandomLinesNeverBreakTheInterpreter) {
    const char* const pieces[] = {
        "vi",    "vd",     "vc",     "arr",     "mat",   "ro",    "on_error", "abc_",     "f",
        "twice", "show",   "answer", "add3",    "rec",   "setvi", "(",        ")",        "[",
        "]",     "{",      "}",      ";",       ",",     "=",     "+=",       "<<=",      "++",
        "--",    "+",      "-",      "*",       "/",     "%",     "**",       "<<",       ">>",
        "&&",    "||",     "!",      "~",       "&",     "?",     "*",        "0",        "1",
        "-7",    "2.5",    "1e5",    "'a'",     "\"t\"", "if",    "else",     "while",    "do",
        "for",   "switch", "case",   "default", ":",     "break", "continue", "str_pref", "abc12",
        "40000", " ",      "\n",     "/*",      "*/",    "//",    "\\",       "0x",       ".",
    };
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(1, 40);
    for (int line = 0; line < 3000; ++line) {
        std::string text;
        const int n = length(random);
        for (int k = 0; k < n; ++k) {
            text += pieces[pick(random)];
            text += ' ';
        }
        // Loops that might never end are not run; everything else is.
        if (text.find("while") != std::string::npos || text.find("for") != std::string::npos ||
            text.find("do") != std::string::npos || text.find("rec") != std::string::npos) {
            compile_error(text.c_str());
            compile_error(text.c_str(), true);
            continue;
        }
        run_line(text.c_str());
        KplValue v{};
        bool accepted = false;
        run_cell_expression(text.c_str(), false, 10, &v, &accepted);
        ASSERT_EQ(kpl_state().call_depth, 0) << text;
        ASSERT_EQ(kpl_state().running, 0) << text;
    }
    // The interpreter still works afterwards.
    EXPECT_EQ(run_line("vi = 6 * 7"), 0);
    EXPECT_EQ(global_int(0), 42);
}

TEST_F(Kpl, DamagedCodeStopsWithTheDamagedCodeMessage) {
    // Statement and expression bytes that no compiler writes, run as they stand.
    const std::uint8_t damaged[][8] = {
        {0x99},                             // not a statement
        {0x81, 0x62, 7},                    // a constant of type 7
        {0x81, 0x7C, 0x62, 1, 1, 0, 0, 0},  // a group without its end
        {0x85, 0x7F, 0x00},                 // a jump far outside the code
        {0x81, 0x00},                       // a reference without a type
        {0x81, 0x01, 200},                  // a local slot that was never declared
    };
    for (const auto& bytes : damaged) {
        KplState& s = kpl_state();
        std::uint8_t* base = s.code + 1000;
        std::memcpy(base, bytes, sizeof bytes);
        s.base = base;
        s.pc = base;
        s.end = base + sizeof bytes;
        s.error = 0;
        s.frame_base = s.next_slot = 0;
        KplValue out{};
        EXPECT_EQ(exec_statements(&out), kMsgBadCode);
    }
}

TEST_F(Kpl, KeptLinesRunAgainWithoutCompiling) {
    EXPECT_EQ(run_line("vd = 0; k = keep_line(\"vd = vd + 1.5\", -1); keep_line(\"$$$\", k); "
                       "keep_line(\"$$$\", k)"),
              0);
    EXPECT_DOUBLE_EQ(global_double(1), 4.5);
    EXPECT_EQ(global_int(3), 0);  // the first entry
    // The kept code outlives the line that kept it.
    EXPECT_EQ(run_line("vi = 1 + 2; keep_line(\"$$$\", k)"), 0);
    EXPECT_DOUBLE_EQ(global_double(1), 6.0);
    EXPECT_EQ(run_line("keep_line(\"$$$\", 5)"), kMsgOutOfMemory);  // no such entry
}

TEST_F(Kpl, ContextLettersChooseTheCommand) {
    EXPECT_EQ(compile_error("rd 5"), kMsgUnknownName);
    ASSERT_EQ(push_command_context('l'), 0);
    EXPECT_EQ(run_line("rd 5"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{5}));
    pop_command_context();
    // A command that names a context letter pushes it for the rest of the line.
    EXPECT_EQ(run_line("lens_mode; rd 7; end_lens"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{7}));
    EXPECT_EQ(compile_error("lens_mode; end_lens; rd 7"), kMsgUnknownName);
}

}  // namespace
}  // namespace kpl_test

namespace kpl_test {
namespace {

TEST_F(Kpl, InstallingKeepsTheBindingsOfOtherParts) {
    double field = 1.25;
    ASSERT_EQ(kpl_bind_sysvar(120, &field, 2, 0, 0), 0);
    ASSERT_EQ(kpl_install(), 0);
    EXPECT_EQ(kpl_sysvar(120)->address, &field);
    EXPECT_EQ(kpl_sysvar(kSysVarErrorCode)->address, &on_error_line().code);
    EXPECT_EQ(kpl_bind_sysvar(306, &field, 2, 0, 0), -1);
    EXPECT_EQ(kpl_bind_sysvar(5, &field, 4, 0, 0), -1);
    EXPECT_EQ(kpl_bind_sysvar(5, &field, 2, 0, 3), -1);
}

}  // namespace
}  // namespace kpl_test

namespace kpl_test {
namespace {

char preference_text[] = "demo/lens.len";
void* preference_setting(int id, int* type) {
    if (id != 25) return nullptr;
    *type = 4;
    return preference_text;
}

TEST_F(Kpl, ListWordsAndStringPreferencesAsArguments) {
    EXPECT_EQ(run_line("pick on 5"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{1, 5}));
    EXPECT_EQ(run_line("pick(off, 2)"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{0, 2}));
    // A word that is not in a list that does not demand one is compiled as it stands.
    EXPECT_EQ(run_line("vi = 7; pick vi 3"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{7, 3}));
    // A word outside a list that demands one is refused with the list's words.
    EXPECT_EQ(compile_error("pick_strict maybe"), kErrorTextReady);
    EXPECT_EQ(std::string(error_text_buffer()).rfind("maybe is not one of the choices: ", 0), 0u)
        << error_text_buffer();
    EXPECT_EQ(run_line("pick_strict on"), 0);
    EXPECT_EQ(calls.abc_args, (std::vector<int>{1}));

    handler_table().settings_item_address = preference_setting;
    EXPECT_EQ(run_line("show str_pref(lfil) 1"), 0);
    EXPECT_EQ(calls.show_label, "demo/lens.len");
    EXPECT_EQ(run_line("show(str_pref(lfil), 2)"), 0);
    EXPECT_EQ(calls.show_label, "demo/lens.len");
    EXPECT_EQ(compile_error("show str_pref(nosuch) 1"), kMsgNotInList);
    EXPECT_EQ(compile_error("show(str_pref(), 1)"), kMsgTooManyArgs);
    EXPECT_EQ(compile_error("show(str_pref lfil, 1)"), kMsgParenExpected);
}

}  // namespace
}  // namespace kpl_test

namespace kpl_test {
namespace {

TEST_F(Kpl, EscapeStopsARunawayLoop) {
    platform::KeyEvent release;
    release.key = platform::key_escape;
    release.pressed = false;
    ui_->post_key(0, release);
    EXPECT_EQ(run_line("vi = 0; while (1) vi++"), kStopped);
    EXPECT_GT(global_int(0), 0);
    EXPECT_EQ(run_line("vi = 5"), 0);  // the next line runs normally
}

}  // namespace
}  // namespace kpl_test

namespace kpl_test {
namespace {

TEST_F(Kpl, AScalarReadAsAnArrayIsRefused) {
    // A local int holding 0xFF7F... is read as an array header claiming 65407 elements.
    const std::uint8_t code[] = {0x82, 0x01, 0x00,  // int slot 0
                                 0x81, 0x01, 0x00, 0xFB, 0x62, 0x01, 0xFF, 0x7F, 0x00, 0x00,
                                 0x6D,  // = 32767
                                 0x81, 0x05, 0x00, 0x62, 0x01, 0x10, 0x27, 0x00, 0x00, 0x6D,
                                 0x6D,  // [10000]
                                 0x88};
    KplState& s = kpl_state();
    std::uint8_t* base = s.code + 2000;
    std::memcpy(base, code, sizeof code);
    s.base = base;
    s.pc = base;
    s.end = base + sizeof code;
    s.error = 0;
    s.frame_base = s.next_slot = 0;
    s.var_fill = s.var_size - 64;  // the claimed elements would reach past the space
    KplValue out{};
    EXPECT_EQ(exec_statements(&out), kMsgBadCode);
    s.var_fill = 0;
}

}  // namespace
}  // namespace kpl_test
