// The per-wavelength coefficients of a gradient-index medium completed from the ones given: by
// END, by the wavelength commands, and case by case.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "entry/grin_prepare.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

// A record of the kind with its eight rows, one value per wavelength (rows outlive the record's
// use by the test; the surface lets go of it before the lens is reset).
struct Grin {
    std::vector<std::vector<double>> rows;
    std::vector<double*> pointers;
    GrinRecord record{};

    Grin(int kind, int wavelengths) : rows(kGrinCoefficientRows), pointers(kGrinCoefficientRows) {
        for (int r = 0; r < kGrinCoefficientRows; ++r) {
            rows[r].assign(static_cast<std::size_t>(wavelengths), 0.0);
            pointers[r] = rows[r].data();
        }
        record.kind = static_cast<std::uint8_t>(kind);
        record.coefficients = pointers.data();
    }
};

void set_wavelengths(const std::vector<double>& w) {
    LensData& l = lens_data();
    for (std::size_t i = 0; i < w.size(); ++i) {
        l.wavelengths[i].wavelength = w[i];
        l.wavelengths[i].weight = 1.0;
    }
    l.wavelength_count = static_cast<int>(w.size());
}

// c = B + A / l^2 through (l2, c2) and (l3, c3), solved as two linear equations in A and B.
double two_term(double l2, double c2, double l3, double c3, double l) {
    const double a = (c2 - c3) / (1.0 / (l2 * l2) - 1.0 / (l3 * l3));
    const double b = c2 - a / (l2 * l2);
    return b + a / (l * l);
}

TEST_F(Entry, GradientIndexCoefficientsAreCompletedCaseByCase) {
    run_all({"LEN NEW \"Grin\"", "NXT", "NXT", "END"});
    struct Case {
        const char* name;
        int kind;
        std::vector<double> wavelengths;
        std::vector<double> given;     // row 0
        std::vector<double> expected;  // row 0 afterwards
        bool second_row_completed;     // row 1 (given the same values) completed as well
    };
    const Case cases[] = {
        {"four wavelengths: the fourth from the fit through the second and third",
         1,
         {0.5, 0.6, 0.7, 0.8},
         {0.03, 0.02, 0.01, 0.0},
         {0.03, 0.02, 0.01, two_term(0.6, 0.02, 0.7, 0.01, 0.8)},
         true},
        {"no dispersion between the second and third: the first value",
         3,
         {0.5, 0.6, 0.7, 0.8},
         {0.03, 0.02, 0.02, 0.0},
         {0.03, 0.02, 0.02, 0.03},
         true},
        {"a missing second value: the first value",
         8,
         {0.5, 0.6, 0.7},
         {0.03, 0.0, 0.01},
         {0.03, 0.03, 0.01},
         true},
        {"a missing third value: the first value",
         9,
         {0.5, 0.6, 0.7},
         {0.03, 0.02, 0.0},
         {0.03, 0.02, 0.03},
         true},
        {"five wavelengths, the fifth given: only the fourth filled",
         10,
         {0.5, 0.6, 0.7, 0.8, 0.9},
         {0.03, 0.02, 0.01, 0.0, 0.04},
         {0.03, 0.02, 0.01, two_term(0.6, 0.02, 0.7, 0.01, 0.8), 0.04},
         true},
        {"two wavelengths", 4, {0.5, 0.6}, {0.03, 0.0}, {0.03, 0.03}, true},
        {"one row only for kind 2", 2, {0.5, 0.6}, {0.03, 0.0}, {0.03, 0.03}, false},
        {"nothing for kind 7", 7, {0.5, 0.6}, {0.03, 0.0}, {0.03, 0.0}, false},
        {"a first value of 0 is left alone", 1, {0.5, 0.6}, {0.0, 0.0}, {0.0, 0.0}, false},
        {"one wavelength", 1, {0.5}, {0.03}, {0.03}, false},
    };
    for (const Case& c : cases) {
        set_wavelengths(c.wavelengths);
        Grin g(c.kind, static_cast<int>(c.wavelengths.size()));
        g.rows[0] = c.given;
        g.rows[1] = c.given;
        g.pointers[0] = g.rows[0].data();
        g.pointers[1] = g.rows[1].data();
        surface(1).grin = &g.record;
        prepare_grin_record(1);
        surface(1).grin = nullptr;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_NEAR(g.rows[0][i], c.expected[i], 1e-15) << c.name << " [" << i << "]";
            const double second = c.second_row_completed ? c.expected[i] : c.given[i];
            EXPECT_NEAR(g.rows[1][i], second, 1e-15) << c.name << " row 2 [" << i << "]";
        }
    }
}

// END and a wavelength command outside a block complete the records of the lens.
TEST_F(Entry, EndAndTheWavelengthCommandsCompleteGradientIndexRecords) {
    run_all({"LEN NEW \"Grin\"", "NXT", "NXT", "WV 0.5 0.6"});
    Grin g(2, 10);
    g.rows[0][0] = 0.05;
    surface(1).grin = &g.record;
    run("END");
    EXPECT_EQ(g.rows[0][1], 0.05);
    g.rows[0][1] = 0.0;
    g.rows[0][0] = 0.07;
    run("WV 0.5 0.6");
    EXPECT_EQ(g.rows[0][1], 0.07);
    surface(1).grin = nullptr;
}

}  // namespace
