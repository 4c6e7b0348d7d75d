// Aberration sums of the paraxial trace against independent references.
//
// Third order: a Cooke triplet (f about 100, glasses SK16 and F4, the classic form of the
// textbooks). Published Seidel numbers of a particular triplet are not recalled here reliably,
// so the reference sums are computed in this test from the textbook formulas of W. T. Welford,
// "Aberrations of Optical Systems" (Adam Hilger, 1986), chapter 8:
//   A = n i, Abar = n ibar, S_I = -sum A^2 y D(u/n), S_II = -sum A Abar y D(u/n),
//   S_III = -sum Abar^2 y D(u/n), S_IV = -sum H^2 c D(1/n), S_V = sum (Abar/A)(S_III + S_IV),
//   C_I = sum A y D(dn/n), C_II = sum Abar y D(dn/n),
// with the test's own trace in reduced slopes (n u). The program keeps the sums with the
// opposite sign (its scale factors turn them into transverse aberrations).
// The aberrations of the pupil are those of the image that the chief ray forms of the entrance
// pupil, with the axial ray as its chief ray: the same sums with the two rays exchanged, which
// turns H into -H:
//   Sbar_I = -sum Abar^2 ybar D(ubar/n), Sbar_II = -sum Abar A ybar D(ubar/n),
//   Sbar_III = -sum A^2 ybar D(ubar/n), Sbar_IV = S_IV, Sbar_V = sum (A/Abar)(Sbar_III + S_IV).
//
// Fifth order: no published reference exists; the fifth-order spherical sum of a plano-convex
// lens is checked against a polynomial fit of the transverse aberration of real rays, traced
// exactly through the two surfaces by this test.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/trace/paraxial/paraxial_fixture.h"
#include "tests/trace/paraxial/real_rays.h"
#include "trace/paraxial_trace.h"

namespace paraxial_test {
namespace {

constexpr Medium kSk16{{1.62041, 1.62756, 1.61727}};
constexpr Medium kF4{{1.61659, 1.62871, 1.61164}};
constexpr Medium kBk7{{1.5168, 1.52238, 1.51432}};

struct Welford {
    double s[5] = {};
    double c1 = 0, c2 = 0;
    // Pupil sums Sbar_I, Sbar_II, Sbar_III and Sbar_V.
    double pupil[4] = {};
};

// Welford's sums over surfaces 1..N-1 of the current lens at wavelength slot 0.
Welford welford_sums() {
    const LensData& l = lens_data();
    const int image = l.image_surface;
    const double t0 = surface(0).thickness;
    double y = l.axial_start_height, u = y / t0;
    double yb = l.chief_start_height, ub = (yb - l.object_height) / t0;
    double n = surface(0).index[0];
    double dn = 0.0;
    const double h = n * (ub * y - u * yb);
    Welford w;
    for (int j = 1; j < image; ++j) {
        const double c = surface(j).curvature;
        const double n2 = surface(j).index[0];
        const double dn2 = surface(j).index[1] - surface(j).index[2];
        const double a = n * (u + y * c);
        const double ab = n * (ub + yb * c);
        const double u2 = (n * u - (n2 - n) * c * y) / n2;
        const double ub2 = (n * ub - (n2 - n) * c * yb) / n2;
        const double d_un = u2 / n2 - u / n;
        const double d_ubn = ub2 / n2 - ub / n;
        const double s3 = -ab * ab * y * d_un;
        const double s4 = -h * h * c * (1 / n2 - 1 / n);
        w.s[0] += -a * a * y * d_un;
        w.s[1] += -a * ab * y * d_un;
        w.s[2] += s3;
        w.s[3] += s4;
        w.s[4] += ab / a * (s3 + s4);
        const double p3 = -a * a * yb * d_ubn;
        w.pupil[0] += -ab * ab * yb * d_ubn;
        w.pupil[1] += -ab * a * yb * d_ubn;
        w.pupil[2] += p3;
        w.pupil[3] += a / ab * (p3 + s4);
        w.c1 += a * y * (dn2 / n2 - dn / n);
        w.c2 += ab * y * (dn2 / n2 - dn / n);
        const double d = surface(j).thickness + (j == image - 1 ? surface(image).thickness : 0);
        y += d * u2;
        yb += d * ub2;
        u = u2;
        ub = ub2;
        n = n2;
        dn = dn2;
    }
    return w;
}

TEST_F(ParaxialTest, TripletSeidelAndChromaticSumsMatchTheTextbookFormulas) {
    make_lens(1e10,
              {{1 / 21.48, 2.0, kSk16},
               {-1 / 124.1, 5.26, kAir},
               {-1 / 19.1, 1.25, kF4},
               {1 / 22.0, 4.69, kAir},
               {1 / 328.9, 2.25, kSk16},
               {-1 / 16.7, 43.0, kAir}},
              3);
    LensData& l = lens_data();
    l.entrance_beam_radius = 5.0;
    l.field_is_angle = 1;
    l.field_angle = 20.0 * M_PI / 180.0;
    ASSERT_EQ(test_lens_setup(0), 0);

    ParaxialState& p = paraxial_state();
    p.wavelength = 0;
    p.print = 0;
    p.listing_kind = kListingPupilSeidel;
    paraxial_trace(0);

    const Welford w = welford_sums();
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(p.seidel_sum[k], -w.s[k], 1e-12 + 1e-10 * std::fabs(w.s[k]));
    }
    EXPECT_NEAR(p.chroma_sum[0], -w.c1, 1e-12 + 1e-10 * std::fabs(w.c1));
    EXPECT_NEAR(p.chroma_sum[2], -w.c2, 1e-12 + 1e-10 * std::fabs(w.c2));
    // The pupil's spherical aberration, coma, astigmatism and distortion (its Petzval term is
    // the image's).
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(p.pupil_sum[k], -w.pupil[k], 1e-12 + 1e-10 * std::fabs(w.pupil[k]));
    }
    // Petzval sum and the Petzval radius agree: R = -H^2 / (n_k S_IV).
    EXPECT_NEAR(petzval_radius(0), -(p.lagrange * p.lagrange) / w.s[3],
                1e-9 * std::fabs(petzval_radius(0)));
}

TEST_F(ParaxialTest, FewerThanThreeWavelengthsGiveNoChromaticContributions) {
    make_lens(1e10, {{1 / 50.0, 6.0, kBk7}, {-1 / 80.0, 90.0, kAir}});
    lens_data().entrance_beam_radius = 5.0;
    lens_data().object_height = -1e9;
    ASSERT_EQ(test_lens_setup(0), 0);
    lens_data().wavelength_count = 2;
    paraxial_state().listing_kind = kListingChromatic;
    paraxial_trace(0);
    for (double v : paraxial_state().chroma_sum) EXPECT_EQ(v, 0.0);
}

TEST_F(ParaxialTest, ConicPlaneContributesThroughItsAsphereTerm) {
    // A plane with a fourth-order term: delta = (n_prev - n) 8 A4 adds y^4 delta to S1.
    make_lens(1e10, {{0.0, 5.0, kBk7}, {0.0, 50.0, kAir}});
    lens_data().entrance_beam_radius = 4.0;
    lens_data().object_height = -1e9;
    ASSERT_EQ(test_lens_setup(0), 0);
    double coefficients[5] = {0, 0, 1e-5, 0, 0};
    AsphereRecord asphere{};
    asphere.working_count = 5;
    asphere.working = coefficients;
    surface(1).shape = kShapeAsphere;
    surface(1).asphere = &asphere;
    paraxial_state().listing_kind = kListingSeidel;
    paraxial_trace(0);
    const double y = 4.0;
    EXPECT_NEAR(paraxial_state().seidel_sum[0], y * y * y * y * (1.0 - kBk7.n[0]) * 8e-5, 1e-12);
    surface(1).asphere = nullptr;
}

TEST_F(ParaxialTest, FifthOrderSphericalAgreesWithARealRayFit) {
    // Plano-convex lens, curved side to the object, image surface at the paraxial focus.
    const double n = kBk7.n[0];
    const double c1 = 1 / 51.68, t = 5.0;
    const double f = 1 / ((n - 1) * c1);
    const double back_focus = f * (1 - (n - 1) * t * c1 / n);
    make_lens(1e10, {{c1, t, kBk7}, {0.0, back_focus, kAir}});
    const double aperture = 10.0;
    lens_data().entrance_beam_radius = aperture;
    lens_data().field_is_angle = 1;
    lens_data().field_angle = 0.05;
    ASSERT_EQ(test_lens_setup(0), 0);
    ParaxialState& p = paraxial_state();
    p.listing_kind = kListingFifthTotals;
    paraxial_trace(0);
    // Transverse aberration at full aperture as the listings print them.
    const double third = p.seidel_sum[0] * p.f1;
    const double fifth = p.total_sum[1] * p.f1;

    std::vector<double> ys, ta;
    for (int k = 1; k <= 40; ++k) {
        const double y = aperture * k / 40.0;
        ys.push_back(y / aperture);
        ta.push_back(real_ray_height(y));
    }
    const std::vector<double> a = fit_powers(ys, ta, {3, 5, 7, 9});
    const double a3 = a[0], a5 = a[1];
    EXPECT_NEAR(a3, third, 0.01 * std::fabs(third));
    EXPECT_GT(a5 * fifth, 0.0) << "fifth-order spherical has the sign of the real rays";
    EXPECT_NEAR(a5, fifth, 0.002 * std::fabs(a5));
}

}  // namespace
}  // namespace paraxial_test
