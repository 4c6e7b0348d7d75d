#include "numeric/math_functions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct BesselCase {
    double x;
    double i0;
    double k0;
};

// Tabulated values of I0 and K0 (Abramowitz and Stegun, table 9.8, to ten figures). The
// polynomial approximations are good to a few parts in 1e7 relative.
constexpr BesselCase kBesselTable[] = {
    {0.1, 1.002501562, 2.427069025},     {0.5, 1.063483371, 0.9244190712},
    {1.0, 1.266065878, 0.4210244382},    {2.0, 2.279585302, 0.1138938727},
    {3.0, 4.880792586, 0.03473950439},   {5.0, 27.23987182, 0.003691098334},
    {10.0, 2815.716628, 1.778006232e-5},
};

TEST(SpecialFunctions, BesselFunctionsAtTabulatedPoints) {
    for (const BesselCase& c : kBesselTable) {
        EXPECT_NEAR(bessel_i0(c.x) / c.i0, 1.0, 1e-6) << "I0(" << c.x << ")";
        EXPECT_NEAR(bessel_i0(-c.x) / c.i0, 1.0, 1e-6) << "I0(-" << c.x << ")";
        EXPECT_NEAR(bessel_k0(c.x) / c.k0, 1.0, 1e-6) << "K0(" << c.x << ")";
    }
    EXPECT_EQ(bessel_i0(0.0), 1.0);
}

TEST(SpecialFunctions, BesselBranchesMeetAtTheirJoins) {
    // The two approximations of each function join at 3.75 and 2 within their accuracy.
    EXPECT_NEAR(bessel_i0(std::nextafter(3.75, 0.0)) / bessel_i0(3.75), 1.0, 1e-6);
    EXPECT_NEAR(bessel_k0(2.0) / bessel_k0(std::nextafter(2.0, 3.0)), 1.0, 1e-6);
}

TEST(SpecialFunctions, BesselK0OutsideItsDomain) {
    EXPECT_EQ(bessel_k0(0.0), INFINITY);
    EXPECT_TRUE(std::isnan(bessel_k0(-1.0)));
}

struct RoundCase {
    double x;
    int digits;
    double expected;
};

TEST(SpecialFunctions, RoundSignificant) {
    const RoundCase cases[] = {
        {1234.5, 3, 1230.0},
        {1234.5, 0, 1000.0},  // digits below 1 act as 1
        {1234.5, -5, 1000.0},
        {-0.00123456, 2, -0.0012},
        {9.996, 3, 10.0},  // rounding carries into a new digit
        {0.1, 30, 0.1},    // 24 digits at most; the double comes back unchanged
        {123456789.0, 24, 123456789.0},
        {0.0, 4, 0.0},
        {2.71828, 1, 3.0},
    };
    for (const RoundCase& c : cases) {
        EXPECT_EQ(round_significant(c.x, c.digits), c.expected) << c.x << " " << c.digits;
    }
    EXPECT_EQ(round_significant(INFINITY, 3), INFINITY);
    EXPECT_TRUE(std::isnan(round_significant(NAN, 3)));
}

}  // namespace
