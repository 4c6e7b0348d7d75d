#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "runtime/output_options.h"
#include "runtime/text_output.h"

namespace {

struct NumberCase {
    const char* name;
    double value;
    int kind;
    int mode;
    bool five;
    bool trim;
    const char* expected;
};

class FormatNumberTable : public ::testing::TestWithParam<NumberCase> {
protected:
    void TearDown() override { platform::reset_all_state(); }
};

// Expected texts written by hand from the C formats, with exponents as the Windows runtime
// writes them (three digits in the same field) and one leading zero then dropped.
TEST_P(FormatNumberTable, Formats) {
    const NumberCase& c = GetParam();
    set_output_option(kOptionFivePlaces, c.five);
    set_output_option(kOptionTrim, c.trim);
    EXPECT_EQ(std::string(format_number(c.value, c.kind, c.mode)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatNumberTable,
    ::testing::Values(
        // kind 0: 11 columns, fixed up to 999.999999, exponential beyond and below 1e-4
        NumberCase{"k0_fixed", 1.5, 0, 0, false, false, "   1.500000"},
        NumberCase{"k0_negative", -1.5, 0, 0, false, false, "  -1.500000"},
        NumberCase{"k0_zero_is_fixed", 0.0, 0, 0, false, false, "   0.000000"},
        NumberCase{"k0_upper_limit_fixed", 999.999999, 0, 0, false, false, " 999.999999"},
        NumberCase{"k0_above_limit", 1000.0, 0, 0, false, false, " 1.0000e+03"},
        NumberCase{"k0_large", 2e5, 0, 0, false, false, " 2.0000e+05"},
        NumberCase{"k0_large_negative", -2e5, 0, 0, false, false, "-2.0000e+05"},
        NumberCase{"k0_small", 5e-5, 0, 0, false, false, " 5.0000e-05"},
        NumberCase{"k0_lower_limit_fixed", 1e-4, 0, 0, false, false, "   0.000100"},
        NumberCase{"k0_three_digit_exponent", 1e100, 0, 0, false, false, " 1.0000e+100"},
        NumberCase{"k0_three_digit_negative", 1e-100, 0, 0, false, false, " 1.0000e-100"},
        NumberCase{"k0_mode1", 1.5, 0, 1, false, false, " 1.5000e+00"},
        NumberCase{"k0_mode1_zero", 0.0, 0, 1, false, false, " 0.0000e+00"},
        NumberCase{"k0_mode2_small_fixed", 5e-5, 0, 2, false, false, "   0.000050"},
        NumberCase{"k0_mode2_large_exponential", 2e5, 0, 2, false, false, " 2.0000e+05"},
        NumberCase{"k0_negative_kind_as_0", 1.5, -4, 0, false, false, "   1.500000"},
        // five places
        NumberCase{"five_fixed", 9999.5, 0, 0, true, false, " 9999.50000"},
        NumberCase{"five_thousand_fixed", 1000.0, 0, 0, true, false, " 1000.00000"},
        NumberCase{"five_above_limit", 10000.0, 0, 0, true, false, " 1.0000e+04"},
        NumberCase{"five_small", 5e-5, 0, 0, true, false, " 5.0000e-05"},
        // trimming keeps the width and one digit after the point
        NumberCase{"trim_k0", 1.5, 0, 0, false, true, "   1.5     "},
        NumberCase{"trim_k0_zero", 0.0, 0, 0, false, true, "   0.0     "},
        NumberCase{"trim_k0_digits", 2.125, 0, 0, false, true, "   2.125   "},
        NumberCase{"trim_leaves_exponent", 1000.0, 0, 0, false, true, " 1.0000e+03"},
        NumberCase{"trim_five", 2.5, 0, 0, true, true, "    2.5    "},
        // kind 1: 20 columns fixed, exponential from 1000
        NumberCase{"k1_fixed", 1.5, 1, 0, false, false, "     1.5000000000000"},
        NumberCase{"k1_trim", 1.5, 1, 0, false, true, "     1.5            "},
        NumberCase{"k1_exponential", 2e5, 1, 0, false, false, " 2.0000000000e+05"},
        // kind 2: trimmed, no leading blanks, limits 1e-5 and 99999.999999
        NumberCase{"k2_fixed", 1.5, 2, 0, false, false, "1.5"},
        NumberCase{"k2_negative", -0.25, 2, 0, false, false, "-0.25"},
        NumberCase{"k2_zero", 0.0, 2, 0, false, false, "0.0"},
        NumberCase{"k2_digits", 12345.625, 2, 0, false, false, "12345.625"},
        NumberCase{"k2_upper_fixed", 99999.5, 2, 0, false, false, "99999.5"},
        NumberCase{"k2_large", 2e5, 2, 0, false, false, "2.0e+05"},
        NumberCase{"k2_large_digits", 123456.0, 2, 0, false, false, "1.23456e+05"},
        NumberCase{"k2_small", 5e-6, 2, 0, false, false, "5.0e-06"},
        NumberCase{"k2_lower_fixed", 1e-5, 2, 0, false, false, "0.00001"},
        NumberCase{"k2_mode1", 1.5, 2, 1, false, false, "1.5e+00"},
        // kind k >= 3: k - 3 digits
        NumberCase{"k5_fixed", 3.14159, 5, 2, false, false, "3.14"},
        NumberCase{"k5_exponential", 3.14159, 5, 1, false, false, "3.14e+00"},
        NumberCase{"k3_general", 1234567.0, 3, 0, false, false, "1.23457e+06"},
        NumberCase{"k6_general", 0.5, 6, 0, false, false, "0.5"},
        NumberCase{"k4_small_exponential", 1e-10, 4, 1, false, false, "1.0e-10"},
        NumberCase{"k3_fixed_no_point", 42.0, 3, 2, false, true, "42"},
        NumberCase{"k5_trim", 100.0, 5, 2, false, true, "100.0 "},
        NumberCase{"k5_no_trim", 100.0, 5, 2, false, false, "100.00"}),
    [](const ::testing::TestParamInfo<NumberCase>& info) { return std::string(info.param.name); });

TEST(FormatNumber, KindZeroNumbersAllTakeElevenColumns) {
    set_output_option(kOptionTrim, 0);
    for (double v : {0.0, 1.5, -1.5, 999.0, 1000.0, -2e5, 5e-5, -5e-5, 1e-99}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(std::strlen(format_number(v, 0, 0)), 11u);
    }
    reset_output_options();
}

TEST(FormatNumber, HugePrecisionStaysBounded) {
    set_output_option(kOptionTrim, 0);
    const std::string text = format_number(1.0 / 3.0, 100000, 2);
    EXPECT_EQ(text.size(), 102u);  // "0." and the precision limit of 100 digits
    EXPECT_EQ(text.substr(0, 8), "0.333333");
    const std::string big = format_number(1e300, 100000, 2);
    EXPECT_EQ(big.size(), 301u + 1u + 100u);
    reset_output_options();
}

}  // namespace
