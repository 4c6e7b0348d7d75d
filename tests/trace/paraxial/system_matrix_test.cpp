// The paraxial system matrix against products of refraction and transfer matrices built here,
// against the thick-lens focal length of the set-up data, and against the closed-form matrix
// of a gradient rod.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/trace/paraxial/paraxial_fixture.h"
#include "trace/paraxial_trace.h"
#include "trace/system_matrix.h"

namespace paraxial_test {
namespace {

constexpr Medium kCrown{{1.62, 1.63, 1.61}};
constexpr Medium kFlint{{1.62, 1.65, 1.60}};

struct M2 {
    double a, b, c, d;
};

M2 mul(const M2& x, const M2& y) {
    return {x.a * y.a + x.b * y.c, x.a * y.b + x.b * y.d, x.c * y.a + x.d * y.c,
            x.c * y.b + x.d * y.d};
}

// On (y, -n u): a surface of power P = (n' - n) c maps -n'u' = -n u + P y; a gap of length t in
// index n maps y' = y + t u = y - (t / n)(-n u).
M2 refraction(double power) {
    return {1, 0, power, 1};
}
M2 transfer(double t, double n) {
    return {1, -t / n, 0, 1};
}

TEST_F(ParaxialTest, SystemMatrixOfATripletIsTheProductOfItsSurfaces) {
    const std::vector<TestSurface> lens = {{1 / 21.25, 2.0, kCrown},   {1 / 158.65, 5.26, kAir},
                                           {-1 / 20.25, 1.25, kFlint}, {1 / 19.54, 4.69, kAir},
                                           {1 / 141.25, 2.25, kCrown}, {-1 / 17.285, 43.0, kAir}};
    make_lens(1e10, lens, 3);
    lens_data().entrance_beam_radius = 6.0;
    ASSERT_EQ(test_lens_setup(0), 0);
    M2 expected{1, 0, 0, 1};
    double n = 1.0;
    for (std::size_t j = 0; j < lens.size(); ++j) {
        const double n_after = lens[j].medium.n[0];
        expected = mul(refraction((n_after - n) * lens[j].curvature), expected);
        if (j + 1 < lens.size()) expected = mul(transfer(lens[j].thickness, n_after), expected);
        n = n_after;
    }
    SystemMatrix m{};
    ASSERT_EQ(paraxial_system_matrix(1, 0, 1, 6, m), 0);
    EXPECT_NEAR(m.a, expected.a, 1e-12);
    EXPECT_NEAR(m.b, expected.b, 1e-12);
    EXPECT_NEAR(m.c, expected.c, 1e-12);
    EXPECT_NEAR(m.d, expected.d, 1e-12);
    EXPECT_NEAR(m.a * m.d - m.b * m.c, 1.0, 1e-12);  // air to air
    // The focal length n' / C is the set-up data's.
    double out[6] = {};
    paraxial_setup_data(0, 0, out);
    EXPECT_NEAR(system_matrix_index(6) / m.c, out[0], 1e-9);
    release_system_matrix_arrays();
}

// A selfoc rod n = n_b (1 - R1^2 r^2 / 2) bends paraxial rays as y'' = -R1^2 y, so over a
// length d with theta = R1 d: y' = y cos + u sin / R1, u' = u cos - y R1 sin; on (y, -n u) that
// is [[cos, -sin / (n R1)], [n R1 sin, cos]].
TEST_F(ParaxialTest, SystemMatrixOfAGradientRodIsTheClosedForm) {
    const double nb = 1.6, r1 = 0.2;
    for (double d : {3.0, 7.5, M_PI / 0.2}) {
        make_lens(100.0, {{0.0, d, kAir}, {0.0, 10.0, kAir}});
        double index[10] = {nb, nb, nb};
        double nr1[10] = {r1, r1, r1};
        double* rows[8] = {nr1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
        GrinRecord grin{};
        grin.kind = 10;
        grin.coefficients = rows;
        lens_data().entrance_beam_radius = 1.0;
        ASSERT_EQ(test_lens_setup(0), 0);
        surface(1).index = index;
        surface(1).grin = &grin;
        SystemMatrix m{};
        const int rc = paraxial_system_matrix(1, 0, 1, 2, m);
        surface(1).grin = nullptr;
        ASSERT_EQ(rc, 0);
        const double t = r1 * d;
        EXPECT_NEAR(m.a, std::cos(t), 1e-12) << d;
        EXPECT_NEAR(m.b, -std::sin(t) / (nb * r1), 1e-12) << d;
        EXPECT_NEAR(m.c, nb * r1 * std::sin(t), 1e-12) << d;
        EXPECT_NEAR(m.d, std::cos(t), 1e-12) << d;
    }
    release_system_matrix_arrays();
}

}  // namespace
}  // namespace paraxial_test
