#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/runtime/text_output/text_output_fixture.h"

namespace {

using tavo_test::captured_lines;
using tavo_test::Hotspot;
using tavo_test::hotspots_of;
using ::testing::ElementsAre;

using LineWriter = tavo_test::TextOutputFixture;

struct MarkupCase {
    const char* name;
    const char* text;
    bool markup;
    const char* expected;
};

class MarkupTable : public tavo_test::TextOutputFixture,
                    public ::testing::WithParamInterface<MarkupCase> {};

TEST_P(MarkupTable, WritesTheLine) {
    const MarkupCase& c = GetParam();
    write_output_text(c.text, c.markup);
    write_output_text("\n", false);
    ASSERT_EQ(captured_lines.size(), 1u);
    EXPECT_EQ(captured_lines[0].text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkupTable,
    ::testing::Values(MarkupCase{"tab", "A\tB", true, "A    B"},
                      MarkupCase{"tab_without_markup", "A\tB", false, "A    B"},
                      MarkupCase{"blank_count", "A\\12B", true, "A            B"},
                      MarkupCase{"blank_count_without_markup", "A\\12B", false, "A\\12B"},
                      MarkupCase{"backslash_without_digits", "A\\B\\", true, "A\\B\\"},
                      MarkupCase{"backslash_negative", "A\\-3B", true, "A\\-3B"},
                      MarkupCase{"backslash_zero", "A\\0B", true, "AB"},
                      MarkupCase{"at_without_number", "a@b", true, "a@b"},
                      MarkupCase{"at_without_markup", "a@3b@", false, "a@3b@"},
                      MarkupCase{"hotspot_markup_not_shown", "x@5.2-~y@z", true, "xyz"},
                      MarkupCase{"carriage_return_dropped", "a\r", true, "a"},
                      MarkupCase{"control_characters_dropped",
                                 "a\x01"
                                 "b",
                                 true, "ab"},
                      MarkupCase{"bytes_above_ascii_kept", "0.5876 \xc2\xb5m", true,
                                 "0.5876 \xc2\xb5m"}),
    [](const ::testing::TestParamInfo<MarkupCase>& info) { return std::string(info.param.name); });

TEST_F(LineWriter, HotspotMarkupOpensAndClosesRecords) {
    struct Case {
        const char* text;
        Hotspot expected;
    };
    const Case cases[] = {
        {"a@#b@c", {0x4002, 0, 1, 2}},
        {"a@3bc@d", {0x4000, 3, 1, 3}},
        {"@-3x@", {0x4001, 3, 0, 1}},
        {"@@x@", {0x4000, 0, 0, 1}},
        {"ab@7.2-~cd@", {0x4004, 7 | (2 << 12), 2, 4}},
        {"ab@7.0cd@", {0x4000, 7, 2, 6}},  // ".0" is no page number: written as text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        captured_lines.clear();
        write_output_text(c.text, true);
        flush_output_line();
        ASSERT_EQ(captured_lines.size(), 1u);
        EXPECT_THAT(hotspots_of(captured_lines[0]), ElementsAre(c.expected));
    }
}

TEST_F(LineWriter, HotspotStillOpenAtTheEndOfATextIsClosedThere) {
    write_output_text("ab@4cd", true);
    write_output_text("ef\n", true);
    ASSERT_EQ(captured_lines.size(), 1u);
    EXPECT_EQ(captured_lines[0].text, "abcdef");
    EXPECT_THAT(hotspots_of(captured_lines[0]), ElementsAre(Hotspot{0x4000, 4, 2, 4}));
}

TEST_F(LineWriter, SpreadsheetAndListWindowsTakeTheAtSignAsText) {
    set_output_window(3);
    write_output_text("a@3b@\n", true);
    ASSERT_EQ(captured_lines.size(), 1u);
    EXPECT_EQ(captured_lines[0].window, 3);
    EXPECT_EQ(captured_lines[0].text, "a@3b@");
    EXPECT_TRUE(captured_lines[0].hotspots.empty());
}

TEST_F(LineWriter, LongLinesAreCutAtTheWindowWidth) {
    set_text_window_width(1, 10);
    write_output_text("abcdefghijklmn\n", true);
    EXPECT_THAT(texts(), ElementsAre("abcdefghij", "klmn"));
}

TEST_F(LineWriter, BlankCountIsCutToTheWidth) {
    set_text_window_width(1, 8);
    write_output_text("\\500X\n", true);
    EXPECT_THAT(texts(), ElementsAre(std::string(8, ' '), "X"));
}

TEST_F(LineWriter, BlanksThatWouldPassTheWidthStartANewLine) {
    set_text_window_width(1, 10);
    write_output_text("abcdefg\\4X\n", true);
    EXPECT_THAT(texts(), ElementsAre("abcdefg", "    X"));
}

TEST_F(LineWriter, ChangingTheOutputWindowFlushesThePendingLine) {
    write_output_text("one", true);
    set_output_window(2);
    write_output_text("two\n", true);
    ASSERT_EQ(captured_lines.size(), 2u);
    EXPECT_EQ(captured_lines[0].window, 1);
    EXPECT_EQ(captured_lines[0].text, "one");
    EXPECT_EQ(captured_lines[1].window, 2);
    EXPECT_EQ(captured_lines[1].text, "two");
}

TEST_F(LineWriter, LinesAreShownOnlyWhenOutputMayShow) {
    set_state_flag(kFlagOutputHeldBack);
    text_out("held\n");
    clear_state_flag(kFlagOutputHeldBack);
    set_output_option(kOptionOutputText, 0);
    text_out("no text output\n");
    set_output_option(kOptionOutputText, 1);
    set_output_option(kOptionOutputOn, 0);
    text_out("output off\n");
    set_output_option(kOptionOutputOn, 1);
    set_running_flag(0);
    text_out("before the main loop\n");
    set_running_flag(1);
    text_out("shown\n");
    EXPECT_THAT(texts(), ElementsAre("shown"));
}

TEST_F(LineWriter, DefaultSinkHandsTextWindowLinesToTheBackend) {
    set_output_line_sink(nullptr);
    text_printf("%d apples\n", 3);
    set_output_window(2);
    text_line("second@1");
    EXPECT_THAT(ui.text_lines(1), ElementsAre("3 apples"));
    EXPECT_THAT(ui.text_lines(2), ElementsAre("second@1"));
}

TEST_F(LineWriter, EditWindowTakesTextDirectly) {
    static std::string received;
    received.clear();
    set_edit_window_sink([](const char* text) { received += text; });
    set_output_window(5);
    text_out("a@1\\3b\n");
    EXPECT_EQ(received, "a@1\\3b\n");
    EXPECT_TRUE(captured_lines.empty());
}

TEST_F(LineWriter, PendingCommandLineIsEchoedBeforeTheOutput) {
    static int asked = 0;
    asked = 0;
    set_pending_echo_source([]() -> const char* { return asked++ == 0 ? "lens new" : nullptr; });
    set_output_option(kOptionEcho, 1);
    text_out("result\n");
    text_out("more\n");
    EXPECT_THAT(texts(), ElementsAre("", ">> lens new", "result", "more"));
}

TEST_F(LineWriter, EchoOfCommandTextMarksEachLine) {
    echo_command_text("  first\n\nsecond", false);
    echo_command_text("out", true);
    EXPECT_THAT(texts(), ElementsAre("<< first", "<< second", ">> out"));
}

TEST_F(LineWriter, SmallWriters) {
    text_int(7);
    text_spaces(2);
    text_int(-12345);
    text_newline();
    text_field("  ab  ", 5, true);
    text_out("|");
    text_field("ab", 4, false);
    text_out("|");
    text_field("abcdefgh", 3, false);
    text_out("|");
    text_field(nullptr, 2, false);
    text_newline();
    EXPECT_THAT(texts(), ElementsAre("  7  -12345", "   ab|ab  |abc|  "));
}

TEST_F(LineWriter, HotspotsWithMessageOrText) {
    text_hotspot_text(5, 2, 1, 1, "name");
    text_out("x");
    text_hotspot_text(-1, 0, 0, 1, nullptr);
    text_newline();
    ASSERT_EQ(captured_lines.size(), 1u);
    EXPECT_EQ(captured_lines[0].text, "  namex  ");
    EXPECT_THAT(
        hotspots_of(captured_lines[0]),
        ElementsAre(Hotspot{5 | 0x3000, 17 * 1024 + 2, 0, 6}, Hotspot{0xffff, 16 * 1024, 7, 9}));
}

TEST(ParseIntPrefix, ReadsSignAndDigits) {
    int v = -1;
    const char* t = "-42rest";
    EXPECT_STREQ(parse_int_prefix(t, &v), "rest");
    EXPECT_EQ(v, -42);
    const char* u = "abc";
    EXPECT_EQ(parse_int_prefix(u, &v), u);
    EXPECT_EQ(v, 0);
    const char* w = "-x";
    EXPECT_EQ(parse_int_prefix(w, &v), w);
    EXPECT_EQ(v, 0);
}

}  // namespace
