// The MTF of mirrors and of spot stores whose transfer functions are known in closed form:
// the perfect f/5 paraboloid (the diffraction-limited MTF of a circular pupil), a uniform disk
// of intercepts (2 J1(x)/x) and a Gaussian spot (exp(-2 pi^2 sigma^2 nu^2)).
#include <cmath>
#include <vector>

#include "evaluation/mtf_curves.h"
#include "evaluation/mtf_shared.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "tests/evaluation/spot/spot_fixture.h"

namespace lens_setup_test {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The diffraction-limited MTF of a circular pupil at s = nu / nu_c.
double circular_mtf(double s) {
    if (s >= 1.0) return 0.0;
    return 2.0 / kPi * (std::acos(s) - s * std::sqrt(1.0 - s * s));
}

class MtfTest : public SpotDiagramTest {
protected:
    // The f/5 paraboloid of focal length 100 with beam radius 10: its cut-off 2 NA / lambda,
    // with NA the sine of the marginal ray's angle, h / (f + h^2 / 4f).
    double paraboloid(double divisions, double delta = 0.0) {
        mirror(200.0, -1.0, 10.0, delta);
        lens_data().units = 1.0;
        lens_data().spot_settings->aperture_divisions = divisions;
        EXPECT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
        const double na = 10.0 / (100.0 + 100.0 / 400.0);
        return 2.0 * na / (lens_data().wavelengths[0].wavelength * 1e-3);
    }

    // A store filled by hand: rays at the given x intercepts with the given weights, at focus.
    void hand_store(const std::vector<double>& x, const std::vector<double>& y,
                    const std::vector<double>& weight) {
        lens_data().units = 1.0;
        lens_data().afocal = 0;
        SpotStore& st = spot_store();
        ASSERT_LE(static_cast<int>(x.size()), st.capacity);
        st.ray_count = static_cast<int>(x.size());
        for (int w = 0; w < st.wavelength_capacity; ++w) st.wave_ray_counts[w] = 0;
        st.wave_ray_counts[0] = st.ray_count;
        st.half_pupil = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            SpotRay r;
            r.dx = x[i];
            r.dy = y[i];
            r.amplitude = std::sqrt(weight[i]);
            st.rays[i] = r;
        }
        spot_stats() = SpotStats{};
    }
};

TEST_F(MtfTest, PerfectPupilFollowsTheCircularPupilLaw) {
    const double nu_c = paraboloid(64.0);
    // Frequencies 0.25, 0.5, 0.75, 1.0 and 1.25 of the cut-off.
    std::vector<double> modulus(6), phase(6);
    double cutoff = 0.0;
    for (int direction : {0, 1}) {
        ASSERT_EQ(mtf_at_frequency(
                      {.mode = 3, .direction = direction, .F = 1.25 * nu_c, .S = 0.25 * nu_c},
                      modulus.data(), phase.data(), &cutoff),
                  0);
        EXPECT_LE(cutoff, nu_c);
        EXPECT_GE(cutoff, 0.98 * nu_c);
        EXPECT_EQ(modulus[0], 1.0);
        for (int j = 1; j <= 3; ++j) {
            EXPECT_NEAR(modulus[j], circular_mtf(0.25 * j), 0.015) << direction << " " << j;
        }
        EXPECT_EQ(modulus[4], 0.0);
        EXPECT_EQ(modulus[5], 0.0);
        for (double p : phase) EXPECT_EQ(p, 0.0);
        // The ideal curve of the same pupil is the same curve.
        std::vector<double> ideal(6), slope(6);
        {
            IdealPupilScope scope;
            ASSERT_EQ(mtf_at_frequency(
                          {.mode = 0, .direction = direction, .F = 1.25 * nu_c, .S = 0.25 * nu_c},
                          ideal.data(), slope.data(), &cutoff),
                      0);
        }
        EXPECT_FALSE(mtf_ideal_pupil());
        for (int j = 0; j <= 5; ++j) EXPECT_NEAR(ideal[j], modulus[j], 1e-9) << j;
    }
}

// The binned pair method of setting 70 (Qr_mtf): the perfect pupil within 0.02 of the law, by
// bins and splines at a coarse step, by the resampled FFT at a step finer than one bin.
TEST_F(MtfTest, BinnedMethodFollowsTheCircularPupilLaw) {
    const double nu_c = paraboloid(64.0);
    set_setting_flag(kSetQrMtf, 1);
    struct Restore {
        ~Restore() { set_setting_flag(kSetQrMtf, 0); }
    } restore;
    for (int direction : {0, 1}) {
        for (int per_quarter : {1, 40}) {
            const int n = 5 * per_quarter;
            std::vector<double> modulus(n + 1), phase(n + 1);
            double cutoff = 0.0;
            ASSERT_EQ(mtf_at_frequency({.mode = 3,
                                        .direction = direction,
                                        .F = 1.25 * nu_c,
                                        .S = 0.25 * nu_c / per_quarter},
                                       modulus.data(), phase.data(), &cutoff),
                      0);
            EXPECT_EQ(modulus[0], 1.0);
            for (int q = 1; q <= 3; ++q) {
                EXPECT_NEAR(modulus[q * per_quarter], circular_mtf(0.25 * q), 0.02)
                    << direction << " " << per_quarter << " " << q;
                EXPECT_EQ(phase[q * per_quarter], 0.0);
            }
            EXPECT_EQ(modulus[4 * per_quarter], 0.0);
            EXPECT_EQ(modulus[n], 0.0);
        }
    }
}

// The defocused paraboloid against the autocorrelation of its pupil function worked out here
// by brute force: a ray at pupil radius rho (entrance height 10 rho) leaves at sin t = h / (f +
// h^2/4f), and a focus shift delta gives it the path difference delta (1 - cos t); the OTF at
// shear s (pupil radii) is the overlap integral of exp(i k (W(p - s/2) - W(p + s/2))) over the
// area of the pupil. Moving the reference point sideways only adds phase.
TEST_F(MtfTest, DefocusedMirrorMatchesTheAutocorrelationOfItsPupil) {
    const double delta = 0.05;
    const double nu_c = paraboloid(64.0, delta);
    const double lambda = lens_data().wavelengths[0].wavelength * 1e-3;
    auto W = [&](double x, double y) {
        const double h = 10.0 * std::hypot(x, y);
        const double s = h / (100.0 + h * h / 400.0);
        return delta * (1.0 - std::sqrt(1.0 - s * s));
    };
    auto brute = [&](double shear) {
        const int k = 500;
        double re = 0.0, im = 0.0, area = 0.0;
        for (int i = 0; i < k; ++i) {
            for (int j = 0; j < k; ++j) {
                const double x = -1.0 + (i + 0.5) * 2.0 / k, y = -1.0 + (j + 0.5) * 2.0 / k;
                if (x * x + y * y <= 1.0) area += 1.0;
                const double x1 = x - shear / 2.0, x2 = x + shear / 2.0;
                if (x1 * x1 + y * y > 1.0 || x2 * x2 + y * y > 1.0) continue;
                const double phase = 2.0 * kPi * (W(x1, y) - W(x2, y)) / lambda;
                re += std::cos(phase);
                im += std::sin(phase);
            }
        }
        return std::hypot(re, im) / area;
    };
    std::vector<double> m(4), p(4), ms(4), ps(4), binned(4), binned_phase(4);
    double c = 0.0;
    ASSERT_EQ(mtf_at_frequency({.mode = 3, .direction = 1, .F = 0.75 * nu_c, .S = 0.25 * nu_c},
                               m.data(), p.data(), &c),
              0);
    set_setting_flag(kSetQrMtf, 1);
    const int binned_result =
        mtf_at_frequency({.mode = 3, .direction = 1, .F = 0.75 * nu_c, .S = 0.25 * nu_c},
                         binned.data(), binned_phase.data(), &c);
    set_setting_flag(kSetQrMtf, 0);
    ASSERT_EQ(binned_result, 0);
    ASSERT_EQ(mtf_at_frequency(
                  {.mode = 3, .direction = 1, .F = 0.75 * nu_c, .S = 0.25 * nu_c, .shift_y = 0.002},
                  ms.data(), ps.data(), &c),
              0);
    EXPECT_EQ(m[0], 1.0);
    for (int j = 1; j <= 3; ++j) {
        const double expected = brute(2.0 * 0.25 * j);
        EXPECT_LT(expected, circular_mtf(0.25 * j) - 0.02) << "a defocus worth testing";
        EXPECT_NEAR(m[j], expected, 0.015) << j;
        EXPECT_NEAR(binned[j], expected, 0.02) << j;
        EXPECT_NEAR(ms[j], m[j], 2e-3) << j;
        EXPECT_GT(std::fabs(ps[j] - p[j]), 1.0) << j;
    }
}

TEST_F(MtfTest, UniformDiskOfInterceptsGivesTheAiryLaw) {
    // Intercepts filling a disk of radius a = 0.02 mm on a square lattice.
    const double a = 0.02;
    std::vector<double> x, y, w;
    const int k = 36;
    for (int i = -k; i <= k; ++i) {
        for (int j = -k; j <= k; ++j) {
            const double px = a * (i + 0.5) / k, py = a * (j + 0.5) / k;
            if (px * px + py * py <= a * a) {
                x.push_back(px);
                y.push_back(py);
                w.push_back(1.0);
            }
        }
    }
    hand_store(x, y, w);
    std::vector<double> m(11), p(11);
    // Up to 2 pi a nu = 6.9.
    const double S = 5.5;
    for (int direction : {0, 1}) {
        ASSERT_EQ(mtf_frequency_scan({.mode = 3, .direction = direction, .F = 10 * S, .S = S},
                                     m.data(), p.data()),
                  0);
        for (int j = 0; j <= 10; ++j) {
            const double v = 2.0 * kPi * a * j * S;
            const double law = j == 0 ? 1.0 : std::fabs(2.0 * std::cyl_bessel_j(1, v) / v);
            EXPECT_NEAR(m[j], law, 0.01) << direction << " " << j;
        }
    }
}

TEST_F(MtfTest, GaussianSpotGivesAGaussianMtf) {
    const double sigma = 0.01;
    std::vector<double> x, y, w;
    for (int i = -300; i <= 300; ++i) {
        const double t = sigma * i / 50.0;
        x.push_back(t);
        y.push_back(0.0);
        w.push_back(std::exp(-t * t / (2 * sigma * sigma)));
    }
    hand_store(x, y, w);
    std::vector<double> m(9), p(9);
    ASSERT_EQ(mtf_frequency_scan({.mode = 3, .direction = 0, .wave = -1, .F = 40.0, .S = 5.0},
                                 m.data(), p.data()),
              0);
    for (int j = 0; j <= 8; ++j) {
        const double nu = 5.0 * j;
        EXPECT_NEAR(m[j], std::exp(-2.0 * kPi * kPi * sigma * sigma * nu * nu), 0.01) << j;
        EXPECT_NEAR(p[j], 0.0, 1e-6) << j;
    }
    // No weight at all: refused, nothing written.
    hand_store(x, y, std::vector<double>(x.size(), 0.0));
    std::vector<double> untouched(9, 7.0);
    EXPECT_EQ(mtf_frequency_scan({.mode = 3, .direction = 0, .wave = -1, .F = 40.0, .S = 5.0},
                                 untouched.data(), p.data()),
              kMsgMtfNoLight);
    EXPECT_EQ(untouched, std::vector<double>(9, 7.0));
}

TEST_F(MtfTest, EqualWavelengthsCombineToTheirOwnCurveAndWeightZeroTakesNoPart) {
    mirror(200.0, -1.0, 10.0, 0.005);
    lens_data().units = 1.0;
    LensData& l = lens_data();
    ASSERT_GE(l.wavelength_count, 3);
    l.wavelengths[1] = l.wavelengths[0];
    l.wavelengths[2] = {0.4, 0.0};
    l.spot_settings->aperture_divisions = 24.0;
    l.spot_settings->polychromatic = 1;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    std::vector<double> one(6), one_p(6), all(6), all_p(6);
    double c = 0.0;
    ASSERT_EQ(mtf_at_frequency({.mode = 3, .direction = 1, .F = 250.0, .S = 50.0}, one.data(),
                               one_p.data(), &c),
              0);
    ASSERT_EQ(mtf_polychromatic({.mode = 3, .direction = 1, .F = 250.0, .S = 50.0}, all.data(),
                                all_p.data(), &c),
              0);
    for (int j = 0; j <= 5; ++j) {
        EXPECT_NEAR(all[j], one[j], 1e-12) << j;
        EXPECT_NEAR(all_p[j], one_p[j], 1e-9) << j;
    }
    // Every weight 0: refused, nothing written.
    for (int w = 0; w < 3; ++w) l.wavelengths[w].weight = 0.0;
    std::vector<double> untouched(6, 7.0);
    EXPECT_EQ(mtf_polychromatic({.mode = 3, .direction = 1, .F = 250.0, .S = 50.0},
                                untouched.data(), all_p.data(), &c),
              kErrorTextReady);
    EXPECT_EQ(untouched, std::vector<double>(6, 7.0));
}

TEST_F(MtfTest, ThroughFocusIsSymmetricAboutTheFocusOfAPerfectMirror) {
    const double nu_c = paraboloid(32.0);
    for (bool diffraction : {true, false}) {
        std::vector<double> out(5, -1.0);
        ASSERT_EQ(
            through_focus_mtf(false, false, diffraction, 1, 0, 0.3 * nu_c, 0.1, 0.05, out.data()),
            0);
        EXPECT_NEAR(out[0], out[4], 1e-6) << diffraction;
        EXPECT_NEAR(out[1], out[3], 1e-6) << diffraction;
        EXPECT_GT(out[2], out[1]) << diffraction;
        EXPECT_GT(out[1], out[0]) << diffraction;
    }
}

TEST_F(MtfTest, CountsAreCheckedBeforeAnythingIsAllocated) {
    paraboloid(17.03);
    double m[2], p[2], c = 0.0;
    struct Case {
        double F, S;
        int expected;
    };
    const Case cases[] = {
        {100.0, 0.0, kMsgMtfBadFrequencies},  {100.0, -1.0, kMsgMtfBadFrequencies},
        {NAN, 1.0, kMsgMtfBadFrequencies},    {1e9, 1.0, kMsgMtfTooManySteps},
        {1e300, 1e-300, kMsgMtfTooManySteps},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(mtf_at_frequency({.mode = 3, .direction = 0, .F = k.F, .S = k.S}, m, p, &c),
                  k.expected)
            << k.F;
        EXPECT_EQ(mtf_frequency_scan({.mode = 3, .direction = 0, .F = k.F, .S = k.S}, m, p),
                  k.expected)
            << k.F;
    }
    // A step below one lattice unit of shear (1/32400 of the cut-off) is too fine for the
    // resampled rows of the binned method; the row method takes it.
    const double C = spot_store().y_cutoff[0];
    std::vector<double> fm(101), fp(101);
    EXPECT_EQ(mtf_at_frequency({.mode = 3, .direction = 1, .F = 1e-4 * C, .S = 1e-6 * C}, fm.data(),
                               fp.data(), &c),
              0);
    set_setting_flag(kSetQrMtf, 1);
    EXPECT_EQ(mtf_at_frequency({.mode = 3, .direction = 1, .F = 1e-4 * C, .S = 1e-6 * C}, fm.data(),
                               fp.data(), &c),
              kMsgMtfStepTooFine);
    set_setting_flag(kSetQrMtf, 0);
    int steps = 0;
    EXPECT_EQ(through_focus_step_count(0.1, 1e-9, steps), kMsgMtfTooManySteps);
    EXPECT_EQ(through_focus_step_count(0.1, 0.05, steps), 0);
    EXPECT_EQ(steps, 4);
}

TEST_F(MtfTest, TheSpotStatisticsMakeAKeptMtfStale) {
    paraboloid(17.03);
    mtf_current() = 1;
    spot_statistics();
    EXPECT_EQ(mtf_current(), 0);
}

}  // namespace
}  // namespace lens_setup_test
