// The command libraries through typed command lines: texts (on the built-in text variable
// on_error, 48 bytes), mathematics and random numbers, with the values a user sees on the
// status line or in the error box.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "numeric/math_functions.h"
#include "runtime/random_numbers.h"
#include "runtime/string_commands.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using loop_test::Loop;

struct LineCase {
    const char* line;
    const char* status;  // the status line after it; null: an error box with this text instead
    const char* error = nullptr;
};

class Libraries : public Loop {
protected:
    // on_error is also the line run after an error: it must not outlive a test.
    void TearDown() override {
        type("strcpy(on_error, \"\")");
        Loop::TearDown();
    }
    void run(const LineCase* cases, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) {
            const LineCase& c = cases[k];
            const std::size_t boxes = ui().message_boxes_shown().size();
            type(c.line);
            if (c.error != nullptr) {
                ASSERT_EQ(ui().message_boxes_shown().size(), boxes + 1) << c.line;
                EXPECT_NE(ui().message_boxes_shown().back().text.find(c.error), std::string::npos)
                    << c.line << ": " << ui().message_boxes_shown().back().text;
            } else {
                EXPECT_EQ(ui().message_boxes_shown().size(), boxes)
                    << c.line << ": " << ui().message_boxes_shown().back().text;
                EXPECT_EQ(ui().status_text(), std::string("Value: ") + c.status) << c.line;
            }
        }
    }
};

TEST_F(Libraries, TextsCopyAppendSearchAndCompareWithinTheVariablesCapacity) {
    const std::string fits(47, 'x');  // on_error holds 48 bytes with the NUL
    const std::string copy_fits = "strcpy(on_error, \"" + fits + "\")";
    const std::string copy_over = "strcpy(on_error, \"" + fits + "y\")";
    const LineCase cases[] = {
        {copy_fits.c_str(), "0"},
        {"strlen(on_error)", "47"},
        {"strcat(on_error, \"z\")", "-17"},  // full: unchanged
        {"strlen(on_error)", "47"},
        {copy_over.c_str(), "-17"},  // one more than fits: emptied
        {"strlen(on_error)", "0"},
        {"strfind(on_error, \"a\")", "-1"},  // anything in an empty text
        {"strcpy(on_error, \"abc\")", "0"},
        {"strcat(on_error, \"de\")", "0"},
        {"strcmp(on_error, \"abcde\")", "0"},
        {"strcmp(on_error, \"abd\")", "-1"},
        {"strcmp(on_error, \"abc\")", "1"},
        {"strfind(on_error, \"cd\")", "2"},
        {"strfind(on_error, \"\")", "0"},  // the empty text in a non-empty one
        {"strfind(on_error, \"x\")", "-1"},
        {"upper(on_error); strcmp(on_error, \"ABCDE\")", "0"},
        {"stricmp(on_error, \"abcde\")", "0"},
        {"lower(on_error); strcmp(on_error, \"abcde\")", "0"},
        {"atoi(\"  42abc\")", "42"},
        {"atoi(\"99999999999\")", "2147483647"},  // clamped, not wrapped
        {"atoi(\"-99999999999\")", "-2147483648"},
        {"atof(\"2.5e1x\")", "25.0"},
    };
    run(cases, std::size(cases));
}

TEST_F(Libraries, TokensComeOneByOneAndThenAnEmptyOne) {
    const LineCase cases[] = {
        {"strtok(on_error, \"a, b,,c\", \", \")", "1"},
        {"strcmp(on_error, \"a\")", "0"},
        {"strtok(on_error, \"\", \", \")", "1"},
        {"strcmp(on_error, \"b\")", "0"},
        {"strtok(on_error, \"\", \", \")", "1"},
        {"strcmp(on_error, \"c\")", "0"},
        {"strtok(on_error, \"\", \", \")", "0"},
        {"strlen(on_error)", "0"},
        // The scanner kept its own copy: the line that gave the text is long gone.
        {"strtok(on_error, \"one two\", \" \")", "3"},
        {"strtok(on_error, \"\", \" \")", "3"},
        {"strcmp(on_error, \"two\")", "0"},
    };
    run(cases, std::size(cases));
}

TEST_F(Libraries, ElementaryFunctionsAndTheirDomainErrors) {
    const LineCase cases[] = {
        {"asin(1)", "1.5707963267949"},
        {"asin(1.0000001)", nullptr, "outside -1 to 1"},
        {"acos(-1.5)", nullptr, "outside -1 to 1"},
        {"sqrt(-1)", nullptr, "square root of a negative"},
        {"log(0)", nullptr, "logarithm of zero"},
        {"log10(1000)", "3.0"},
        {"pow(-8, 0.5)", nullptr, "fractional power"},
        {"pow(2, 10)", "1024.0"},
        {"round(2.5)", "3.0"},
        {"round(-2.5)", "-3.0"},
        {"round(2.4999)", "2.0"},
        {"atan2(0, 0)", "0.0"},
        {"atan2(1, 0)", "1.5707963267949"},
        {"min(2, -3)", "-3.0"},
        {"max(2, -3)", "2.0"},
        {"abs(-4.5)", "4.5"},
        {"floor(-1.5)", "-2.0"},
        {"ceil(-1.5)", "-1.0"},
    };
    run(cases, std::size(cases));
}

TEST_F(Libraries, ArrayDimensionsOfTheArguments) {
    // array1 is a one-dimensional built-in array of 2000 doubles, on_error a text of 48 bytes:
    // both count as one row; the columns are the longer length.
    const LineCase cases[] = {
        {"array_rows(array1, on_error)", "1"},
        {"array_cols(array1, on_error)", "2000"},
        {"array_cols(on_error, on_error)", "48"},
    };
    run(cases, std::size(cases));
}

TEST(BesselFunctions, MatchTheTablesAtOne) {
    // Abramowitz and Stegun, table 9.1: J0(1) = 0.765197686557967, J1(1) = 0.440050585744934.
    EXPECT_NEAR(bessel_j0(1.0), 0.765197686557967, 1e-9);
    EXPECT_NEAR(bessel_j1(1.0), 0.440050585744934, 1e-9);
}

TEST(RandomNumbers, TheMinimalStandardStepReachesParkAndMillersCheckValue) {
    // Park and Miller (1988): from 1, the 10000th value of 16807 x mod 2^31 - 1 is 1043618065.
    std::int32_t x = 1;
    for (int k = 0; k < 10000; ++k) x = minimal_standard_step(x);
    EXPECT_EQ(x, 1043618065);
}

TEST(RandomNumbers, ASeedRepeatsItsSequenceAndUniformIsNeverZero) {
    reset_random_numbers();
    std::vector<double> first;
    first.push_back(random_uniform(17));
    for (int k = 0; k < 20; ++k) first.push_back(random_uniform(0));
    std::vector<double> second;
    second.push_back(random_uniform(17));
    for (int k = 0; k < 20; ++k) second.push_back(random_uniform(0));
    EXPECT_EQ(first, second);
    EXPECT_NE(random_uniform(18), first[0]);
    for (int k = 0; k < 100000; ++k) {
        const double u = random_uniform(0);
        ASSERT_GT(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

TEST(RandomNumbers, GaussianDeviatesKeepTheSecondOfAPairAndAreStandardNormal) {
    reset_random_numbers();
    random_gaussian(5);
    const double kept = random_gaussian(99);  // the stored one, whatever the start value
    reset_random_numbers();
    random_gaussian(5);
    EXPECT_EQ(random_gaussian(0), kept);

    reset_random_numbers();
    double sum = 0, squares = 0;
    const int n = 100000;
    sum = random_gaussian(3);
    squares = sum * sum;
    for (int k = 1; k < n; ++k) {
        const double g = random_gaussian(0);
        sum += g;
        squares += g * g;
    }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 0.0, 0.02);
    EXPECT_NEAR(squares / n - mean * mean, 1.0, 0.02);
}

TEST(DateTime, FormatsByTheCLibraryRules) {
    // 29 February 2024 was a Thursday, day 60 of the year; the first Sunday was 7 January, so
    // by %U (weeks starting on Sunday, week 1 from the first Sunday) it lies in week 08.
    platform::LocalTime t;
    t.year = 2024;
    t.month = 2;
    t.day = 29;
    t.hour = 13;
    t.minute = 5;
    t.second = 9;
    t.weekday = 4;
    char out[64];
    format_date_time(out, sizeof out, "%a %d %b %Y %j %U %H:%M:%S", t);
    EXPECT_STREQ(out, "Thu 29 Feb 2024 060 08 13:05:09");
    // Too long for the variable: empty rather than cut.
    char small[8];
    EXPECT_EQ(format_date_time(small, sizeof small, "%Y-%m-%d %H", t), 0u);
    EXPECT_STREQ(small, "");
}

}  // namespace
