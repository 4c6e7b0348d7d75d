#include "numeric/complex_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

struct SqrtCase {
    const char* what;
    Complex z;
    Complex root;
};

TEST(ComplexMath, SquareRootOnAndAroundTheBranchCut) {
    const SqrtCase cases[] = {
        {"negative real axis", {-4, 0}, {0, 2}},
        {"negative zero imaginary stays above the cut", {-4, -0.0}, {0, 2}},
        {"just below the cut", {-4, -1e-12}, {2.5e-13, -2}},
        {"just above the cut", {-4, 1e-12}, {2.5e-13, 2}},
        {"positive real axis", {9, 0}, {3, 0}},
        {"positive imaginary axis", {0, 2}, {1, 1}},
        {"negative imaginary axis", {0, -2}, {1, -1}},
        {"second quadrant", {-3, 4}, {1, 2}},
        {"third quadrant", {-3, -4}, {1, -2}},
        {"fourth quadrant", {3, -4}, {2, -1}},
        {"first quadrant", {3, 4}, {2, 1}},
        {"zero", {0, 0}, {0, 0}},
    };
    for (const SqrtCase& c : cases) {
        const Complex r = cx_sqrt(c.z);
        EXPECT_NEAR(r.re, c.root.re, 1e-15) << c.what;
        EXPECT_NEAR(r.im, c.root.im, 1e-15) << c.what;
        EXPECT_GE(r.re, 0.0) << c.what;
    }
}

TEST(ComplexMath, ScaledFormsNeitherOverflowNorUnderflow) {
    const Complex big = cx_sqrt(cx_make(-1e300, 1e300));
    // sqrt(1e300 sqrt(2)) (cos 67.5 deg, sin 67.5 deg)
    const double modulus = std::sqrt(1e300 * std::sqrt(2.0));
    EXPECT_NEAR(big.re / modulus, std::cos(3 * std::numbers::pi / 8), 1e-14);
    EXPECT_NEAR(big.im / modulus, std::sin(3 * std::numbers::pi / 8), 1e-14);

    EXPECT_NEAR(cx_abs(3e300, 4e300) / 5e300, 1.0, 1e-15);
    EXPECT_NEAR(cx_abs(3e-300, -4e-300) / 5e-300, 1.0, 1e-15);

    const Complex q = cx_div(cx_make(1e300, 1e300), cx_make(1e300, -1e300));
    EXPECT_NEAR(q.re, 0.0, 1e-15);
    EXPECT_NEAR(q.im, 1.0, 1e-15);
}

TEST(ComplexMath, ArithmeticAgainstHandValues) {
    const Complex a = cx_make(1, 2);
    const Complex b = cx_make(3, 4);
    const Complex sum = cx_add(a, b);
    const Complex diff = cx_sub(a, b);
    const Complex prod = cx_mul(a, b);
    EXPECT_EQ(sum.re, 4);
    EXPECT_EQ(sum.im, 6);
    EXPECT_EQ(diff.re, -2);
    EXPECT_EQ(diff.im, -2);
    EXPECT_EQ(prod.re, -5);
    EXPECT_EQ(prod.im, 10);
    // (1 + 2i) / (3 + 4i) = (11 + 2i) / 25, both branches of Smith's method.
    const Complex q1 = cx_div(a, b);
    EXPECT_NEAR(q1.re, 0.44, 1e-16);
    EXPECT_NEAR(q1.im, 0.08, 1e-16);
    const Complex q2 = cx_div(a, cx_make(4, 3));  // (10 + 5i) / 25
    EXPECT_NEAR(q2.re, 0.4, 1e-16);
    EXPECT_NEAR(q2.im, 0.2, 1e-16);
    const Complex conj = cx_conj(a);
    EXPECT_EQ(conj.re, 1);
    EXPECT_EQ(conj.im, -2);
    const Complex scaled = cx_scale(-2, a);
    EXPECT_EQ(scaled.re, -2);
    EXPECT_EQ(scaled.im, -4);
    EXPECT_EQ(cx_abs(0, -7), 7);
    EXPECT_EQ(cx_abs(-7, 0), 7);
    EXPECT_EQ(cx_abs(-3, 4), 5);
    EXPECT_NEAR(cx_abs(5, 5), 5 * std::sqrt(2.0), 1e-15);
}

TEST(ComplexMath, SquareRootSquaresBack) {
    for (double re : {-7.5, -1.0, -1e-3, 0.0, 2.0, 1e5}) {
        for (double im : {-3.0, -1e-8, 0.0, 0.5, 11.0}) {
            const Complex r = cx_sqrt(cx_make(re, im));
            const Complex back = cx_mul(r, r);
            const double size = cx_abs(re, im) + 1e-300;
            EXPECT_NEAR(back.re, re, 1e-14 * size) << re << " " << im;
            EXPECT_NEAR(back.im, im, 1e-14 * size) << re << " " << im;
        }
    }
}

}  // namespace
