#include "runtime/safe_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct FormatCase {
    const char* name;
    const char* format;
    std::vector<FormatArg> args;
    std::string expected;
};

class SafeFormatTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SafeFormatTable, FormatsOrWritesTheConversionLiterally) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(safe_format(c.format, c.args), c.expected);
}

char* null_text = nullptr;

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeFormatTable,
    ::testing::Values(
        FormatCase{"int", "n=%d.", {5}, "n=5."},
        FormatCase{"width_and_flags", "[%-4d|%+d|%05d]", {7, 3, 42}, "[7   |+3|00042]"},
        FormatCase{"fixed", "%5.2f", {1.5}, " 1.50"},
        FormatCase{"exponent", "%.3e", {12345.0}, "1.234e+04"},
        FormatCase{"general", "%g", {0.5}, "0.5"}, FormatCase{"text", "<%s>", {"abc"}, "<abc>"},
        FormatCase{"text_field", "<%-5s|%5s>", {"ab", "cd"}, "<ab   |   cd>"},
        FormatCase{"text_precision", "%.2s", {"abcdef"}, "ab"},
        FormatCase{"star_width", "%*d", {5, 42}, "   42"},
        FormatCase{"star_precision", "%.*s", {3, "abcdef"}, "abc"},
        FormatCase{"negative_star_width", "%*d|", {-4, 1}, "1   |"},
        FormatCase{"hex_char_unsigned", "%x %c %u", {255, 'A', 7u}, "ff A 7"},
        FormatCase{"long_modifiers", "%ld %lld %lu", {5L, -6LL, 8UL}, "5 -6 8"},
        FormatCase{"narrowing_modifier", "%hhd %hd", {300, 65537}, "44 1"},
        FormatCase{"percent", "100%%", {}, "100%"},
        FormatCase{"null_text", "%s", {null_text}, "(null)"},
        FormatCase{"double_for_int", "%d", {1.5}, "%d"},
        FormatCase{"int_for_double", "%f", {3}, "%f"}, FormatCase{"int_for_text", "%s", {3}, "%s"},
        FormatCase{"text_for_int", "%d!", {"x"}, "%d!"},
        FormatCase{"mismatch_uses_up_its_argument", "%d %s", {"x", "y"}, "%d y"},
        FormatCase{"too_few_arguments", "%d and %d and %s", {1}, "1 and %d and %s"},
        FormatCase{"no_arguments", "%s%d%f", {}, "%s%d%f"},
        FormatCase{"n_refused", "%n%d", {1, 7}, "%n7"},
        FormatCase{"n_refused_with_modifier", "%hn|%d", {1, 7}, "%hn|7"},
        FormatCase{"pointer_refused", "%p%d", {1, 2}, "%p2"},
        FormatCase{"unknown_conversion", "%y%d", {2}, "%y2"},
        FormatCase{"percent_at_end", "50%", {1}, "50%"},
        FormatCase{"width_beyond_limit", "%1000d", {1}, "%1000d"},
        FormatCase{"star_beyond_limit", "%*d", {100000, 1}, "%*d"},
        FormatCase{"star_from_text", "%*d|%d", {"x", 1, 2}, "%*d|2"},
        FormatCase{"extra_arguments_ignored", "x", {1, 2.0, "y"}, "x"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(SafeFormat, NullFormatGivesEmptyText) {
    EXPECT_EQ(safe_format(nullptr, {}), "");
}

TEST(SafeFormat, LongTextsArePlacedWhole) {
    const std::string long_text(10000, 'q');
    const FormatArg args[] = {long_text, 12};
    const std::string out = safe_format("<%s>%d", args);
    EXPECT_EQ(out, "<" + long_text + ">12");
}

TEST(SafeFormat, FixedBufferIsCutAndTerminatedWithoutTouchingWhatFollows) {
    char buffer[20];
    std::memset(buffer, '#', sizeof buffer);
    const std::string long_text(500, 'z');
    const FormatArg args[] = {long_text};
    const std::size_t n = safe_format_to(buffer, 16, "%s", args);
    EXPECT_EQ(n, 15u);
    EXPECT_EQ(std::string(buffer), std::string(15, 'z'));
    for (int i = 16; i < 20; ++i) EXPECT_EQ(buffer[i], '#') << i;
}

// Random formats over the conversion alphabet with a fixed argument list: whatever a text
// asks for, the result stays bounded and text without '%' passes unchanged.
TEST(SafeFormat, RandomFormatsStayBounded) {
    const char alphabet[] = "%-+ #0123456789.*hlLqzjtdiouxXcseEfFgGaAnpy@\\";
    const FormatArg args[] = {-7, 3.5, "text", 'c', 1e300, 400, 12345678901LL, 2u};
    unsigned lcg_state = 12345;
    for (int n = 0; n < 20000; ++n) {
        std::string format;
        const int length = 1 + static_cast<int>(lcg_state % 24);
        for (int i = 0; i < length; ++i) {
            lcg_state = lcg_state * 1103515245u + 12345u;
            format += alphabet[(lcg_state >> 16) % (sizeof alphabet - 1)];
        }
        const std::string out = safe_format(format.c_str(), args);
        ASSERT_LE(out.size(), format.size() * 2000) << format;
        if (format.find('%') == std::string::npos) {
            ASSERT_EQ(out, format);
        }
    }
}

TEST(SafeFormat, FormatTextHelperChecksTypes) {
    EXPECT_EQ(format_text("%d-%s-%.1f", 3, std::string("b"), 2.25), "3-b-2.2");
    EXPECT_EQ(format_text("%s", 3), "%s");
}

}  // namespace
