// The paraxial beam carried between two planes of a typed lens, against the q law
// q' = (A q + B) / (C q + D) with the physical matrices of refraction and transfer worked out
// here from the surfaces' radii, thicknesses and glass indices.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "evaluation/gaussian_beam.h"
#include "lens/lens_data.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;
using Cx = std::complex<double>;

struct M2 {
    double a = 1, b = 0, c = 0, d = 1;
};
M2 operator*(const M2& p, const M2& q) {
    return {p.a * q.a + p.b * q.c, p.a * q.b + p.b * q.d, p.c * q.a + p.d * q.c,
            p.c * q.b + p.d * q.d};
}
M2 gap(double d) {
    return {1, d, 0, 1};
}
M2 refraction(double c, double n1, double n2) {
    return {1, 0, (n1 - n2) * c / n2, n1 / n2};
}

class BeamPropagation : public Entry {
protected:
    void triplet(bool finite) {
        run_all({"LEN NEW \"Cooke\"",
                 "WV 0.6328",
                 finite ? "TH 300" : "TH 1e20",
                 "EBR 5",
                 "NXT",
                 "SRF 21.48 2 N-SK16 10",
                 "SRF -124.1 5.26 AIR 10",
                 "AST",
                 "SRF -19.1 1.25 N-F2 8",
                 "CVX 0.02",
                 "RD 22",
                 "TH 4.69",
                 "AIR",
                 "NXT",
                 "SRF 328.9 2.25 N-SK16 10",
                 "RD -16.7",
                 "TH 43",
                 "AIR",
                 "NXT",
                 "END"});
        take_output();
    }
    static double n(int j) { return surface(j).index[0]; }
    static double curvature(int j, bool y) {
        const SurfaceRecord& s = surface(j);
        return !y && s.toric != 0 ? s.x_curvature : s.curvature;
    }
    static double thickness(int j) {
        if (j == 0 && std::fabs(surface(0).thickness) > 9.9e7) return 0.0;
        return surface(j).thickness;
    }
    // The physical matrix from the plane a_offset behind surface a to the plane b_offset behind
    // surface b (a <= b).
    static M2 path(int a, double a_offset, int b, double b_offset, bool y) {
        const int image = lens_data().image_surface;
        if (a == b) return gap(b_offset - a_offset);
        M2 m = gap(thickness(a) - a_offset);
        for (int j = a + 1; j <= b && j < image; ++j) {
            m = refraction(curvature(j, y), n(j - 1), n(j)) * m;
            if (j < b) m = gap(thickness(j)) * m;
        }
        return gap(b_offset) * m;
    }
    static Cx apply(const M2& m, Cx q) { return (m.a * q + m.b) / (m.c * q + m.d); }
    static Cx apply_inverse(const M2& m, Cx q) { return (m.d * q - m.b) / (-m.c * q + m.a); }

    // The beam (waist, distance) given behind first carried to offset behind last, by the q law.
    static BeamValues q_law(int first, int last, double offset, double w0, double z, bool y,
                            double lambda) {
        const int image = lens_data().image_surface;
        const auto medium = [&](int j) { return n(j >= image ? image - 1 : j); };
        const double n_in = medium(first), n_out = medium(last);
        Cx q(-z, std::numbers::pi * w0 * w0 * n_in / lambda);
        q = last >= first ? apply(path(first, 0, last, offset, y), q)
                          : apply_inverse(path(last, offset, first, 0, y), q);
        BeamValues out;
        out.distance = -q.real();
        out.waist = std::sqrt(q.imag() * lambda / (std::numbers::pi * n_out));
        const Cx inv = 1.0 / q;
        out.spot = std::sqrt(-lambda / (std::numbers::pi * n_out * inv.imag()));
        out.radius = inv.real() == 0.0 ? 0.0 : -1.0 / inv.real();
        return out;
    }
};

void expect_beam(const BeamValues& got, const BeamValues& want, double tolerance) {
    const auto rel = [&](double g, double w, const char* what) {
        EXPECT_NEAR(g, w, tolerance * std::max(1.0, std::fabs(w))) << what;
    };
    rel(got.waist, want.waist, "waist");
    rel(got.distance, want.distance, "distance");
    rel(got.spot, want.spot, "spot");
    rel(got.radius, want.radius, "radius");
}

TEST_F(BeamPropagation, ForwardAndBackwardInBothSectionsFollowTheQLaw) {
    struct Case {
        bool finite;
        int first, last;
        double offset;
        bool y;
    } cases[] = {
        {true, 0, 7, 0.0, true},  {true, 0, 7, 2.5, false}, {true, 1, 6, 3.0, true},
        {true, 2, 4, 0.0, false}, {false, 0, 7, 0.0, true}, {false, 0, 5, 1.0, false},
        {true, 7, 0, 10.0, true}, {true, 6, 1, 0.5, false}, {false, 5, 0, 2.0, true},
        {true, 4, 3, 1.0, false}, {true, 7, 5, 0.0, true},
    };
    const double w0 = 0.4, z = 120.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " to " + std::to_string(c.last) +
                     (c.y ? " y" : " x") + (c.finite ? " finite" : " infinite"));
        triplet(c.finite);
        const double lambda0 = beam_lambda0(0, 1.0);
        ASSERT_NEAR(lambda0, 0.6328e-3, 1e-15);
        BeamPath path;
        ASSERT_EQ(beam_path_matrix(c.y ? 1 : 0, 0, c.first, c.last, c.offset, path), 0);
        EXPECT_EQ(path.backward, c.last < c.first);
        const BeamValues got = beam_through_matrix({0, w0, z, 0}, path.matrix, lambda0, path.n_in,
                                                   path.n_out, path.backward);
        expect_beam(got, q_law(c.first, c.last, c.offset, w0, z, c.y, lambda0), 1e-10);
    }
}

TEST_F(BeamPropagation, SamePlaneMovesTheBeamByTheOffsetAndAReturnTripGivesItBack) {
    triplet(true);
    const double lambda0 = beam_lambda0(0, 1.0);
    const BeamValues in{0, 0.3, 40.0, 0};
    BeamPath same;
    ASSERT_EQ(beam_path_matrix(1, 0, 3, 3, 2.0, same), 0);
    const BeamValues moved =
        beam_through_matrix(in, same.matrix, lambda0, same.n_in, same.n_out, same.backward);
    EXPECT_NEAR(moved.waist, 0.3, 1e-14);
    EXPECT_NEAR(moved.distance, 38.0, 1e-12);

    BeamPath there, back;
    ASSERT_EQ(beam_path_matrix(1, 0, 2, 5, 0.0, there), 0);
    ASSERT_EQ(beam_path_matrix(1, 0, 5, 2, 0.0, back), 0);
    const BeamValues out =
        beam_through_matrix(in, there.matrix, lambda0, there.n_in, there.n_out, false);
    const BeamValues again =
        beam_through_matrix(out, back.matrix, lambda0, back.n_in, back.n_out, true);
    EXPECT_NEAR(again.waist, in.waist, 1e-12);
    EXPECT_NEAR(again.distance, in.distance, 1e-9);
}

// A collimated beam of 5 mm waiting at a perfect lens of f = 100 in air is focused to
// lambda f / (pi w) at Kogelnik's distance f / (1 + (f / zR)^2).
TEST_F(BeamPropagation, PerfectLensFocusesACollimatedBeam) {
    run_all(
        {"LEN NEW \"Perfect\"", "WV 0.6328", "EBR 5", "NXT", "PFL 100", "TH 100", "NXT", "END"});
    const double lambda0 = beam_lambda0(0, 1.0);
    BeamPath path;
    ASSERT_EQ(beam_path_matrix(1, 0, 0, 1, 0.0, path), 0);
    const BeamValues out =
        beam_through_matrix({0, 5.0, 0.0, 0}, path.matrix, lambda0, path.n_in, path.n_out, false);
    EXPECT_NEAR(out.waist, 0.0040285, 1e-6);
    EXPECT_NEAR(out.waist, 0.6328e-3 * 100.0 / (std::numbers::pi * 5.0), 1e-6);
    EXPECT_NEAR(out.distance, 99.99994, 1e-5);
    const double zr = std::numbers::pi * 25.0 / 0.6328e-3;
    EXPECT_NEAR(out.distance, 100.0 / (1.0 + (100.0 / zr) * (100.0 / zr)), 1e-9);
}

// A selfoc gap is the rod matrix in closed form: a ray at height 1 leaves it at cos(g d) with
// reduced slope n g sin(g d); a defocusing gradient 1e4 long stays finite.
TEST_F(BeamPropagation, GradientGapsAreRodMatrices) {
    struct Case {
        const char* kind;
        double coefficient;  // NR1 at wavelength 1
        double length;
    } cases[] = {{"SEL", 0.1, 12.0}, {"ARG", -0.01, 30.0}, {"ARG", 0.01, 1e4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind + std::to_string(c.length));
        run_all({"LEN NEW \"Rod\"", "WV 0.6328", "EBR 1", "NXT",
                 "SRF 0 " + std::to_string(c.length) + " N-BK7 3", "SRF 0 10 AIR 3", "NXT", "END",
                 "LEN", "GTO 1", "GDT " + std::string(c.kind),
                 "NR1 WV1 " + std::to_string(c.coefficient), "END"});
        ASSERT_EQ(lens_data().image_surface, 4);
        ASSERT_NE(surface(1).grin, nullptr);
        BeamWalk walk;
        ASSERT_EQ(beam_walk(1, 0, walk), 0);
        const SystemMatrix m = beam_walk_matrix(walk, 1, 2);
        EXPECT_TRUE(std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) &&
                    std::isfinite(m.d));
        if (std::string(c.kind) != "SEL") continue;
        const double n0 = std::fabs(walk.index[1]);
        const double nr1 = -0.5 * n0 * c.coefficient * c.coefficient;
        const double g = std::sqrt(2.0 * std::fabs(nr1) / n0);
        // Flat faces: the matrix is the rod's alone.
        EXPECT_NEAR(m.a, std::cos(g * c.length), 1e-12);
        EXPECT_NEAR(m.c, n0 * g * std::sin(g * c.length), 1e-12);
        EXPECT_NEAR(m.b, -std::sin(g * c.length) / (n0 * g), 1e-12);
        EXPECT_NEAR(m.d, std::cos(g * c.length), 1e-12);
    }
}

}  // namespace
