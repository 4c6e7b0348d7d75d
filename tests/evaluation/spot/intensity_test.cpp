// The diffraction intensity from the spot rays against the optics of a perfect circular pupil:
// the Strehl ratio 1 at focus, the defocus that gives (sin(pi/4) / (pi/4))^2, the Airy encircled
// energy 1 - J0^2(v) - J1^2(v), and hand-filled stores for the phase table.
#include <cmath>
#include <numbers>

#include "evaluation/point_intensity.h"
#include "tests/evaluation/spot/spot_fixture.h"

namespace lens_setup_test {
namespace {

using IntensityTest = SpotDiagramTest;

TEST_F(IntensityTest, PerfectFocusHasIntensityOneAndPhaseMinusNinety) {
    mirror(200.0, -1.0, 10.0, 0.0);
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    double phase = 0.0;
    EXPECT_NEAR(intensity_at_point(0, true, 0.0, 0.0, 0.0, phase), 1.0, 1e-12);
    EXPECT_NEAR(phase, -std::numbers::pi / 2.0, 1e-12);
    // All wavelengths: each is perfect, so their weighted mean is 1 too.
    EXPECT_NEAR(intensity_at_point(spot_store().wavelength_capacity, false, 0, 0, 0, phase), 1.0,
                1e-12);
}

// A focus shift z about a perfect spherical wave of numerical aperture NA adds the wavefront
// z (1 - cos u), to the paraxial order W20 rho^2 with W20 = z NA^2 / 2. At z = lambda / (2 NA^2)
// W20 = lambda / 4, and over a uniform circular pupil
// I = |2 integral_0^1 exp(i 2 pi W20 rho^2 / lambda) rho d rho|^2 = (sin(pi/4) / (pi/4))^2.
TEST_F(IntensityTest, QuarterWaveDefocusGivesTheTextbookStrehlRatio) {
    const double R = 200.0, h = 10.0, f = R / 2.0;
    mirror(R, -1.0, h, 0.0);
    lens_data().spot_settings->aperture_divisions = 64.0;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    const double na = h / (f + h * h / (4.0 * f));
    const double lambda = lens_data().wavelengths[0].wavelength * 1e-3;
    const double z = lambda / (2.0 * na * na);
    const double expected =
        std::pow(std::sin(std::numbers::pi / 4.0) / (std::numbers::pi / 4.0), 2.0);
    ASSERT_NEAR(expected, 0.8106, 1e-4);
    double phase = 0.0;
    EXPECT_NEAR(intensity_at_point(0, false, 0.0, 0.0, z, phase), expected, 2e-3);
    EXPECT_NEAR(intensity_at_point(0, false, 0.0, 0.0, -z, phase), expected, 2e-3);
}

// The encircled energy of the Airy pattern is 1 - J0(v)^2 - J1(v)^2 with v = 2 pi NA r / lambda.
// The Airy radius the diagram reports takes its NA from the outermost traced ray.
// The sampled square holds a little more than the circle inscribed in it, so the fractions are
// compared relative to that circle's own.
TEST_F(IntensityTest, EncircledEnergyOfAPerfectPupilIsAiry) {
    const double R = 200.0, h = 10.0, f = R / 2.0;
    mirror(R, -1.0, h, 0.0);
    lens_data().spot_settings->aperture_divisions = 32.0;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    const double r_max = h * lattice_max_radius(32.0);
    const double na = r_max / (f + r_max * r_max / (4.0 * f));
    const double lambda = lens_data().wavelengths[0].wavelength * 1e-3;
    const double airy = 0.60984 * lambda / na;
    EXPECT_NEAR(spot_store().airy_radius[0], airy, 1e-3 * airy);
    const int n = 240;
    const double width = 16.0 * airy;
    std::vector<double> e(n / 2 + 1);
    ASSERT_EQ(
        diffraction_encircled_energy(false, {.centre_mode = 1, .width = width, .n = n}, e.data()),
        0);
    // The lattice's cells tile the whole pupil of radius h: its light spreads as that pupil's.
    const double na_pupil = h / (f + h * h / (4.0 * f));
    auto airy_energy = [&](double r) {
        const double v = 2.0 * std::numbers::pi * na_pupil * r / lambda;
        return 1.0 - std::pow(std::cyl_bessel_j(0.0, v), 2) -
               std::pow(std::cyl_bessel_j(1.0, v), 2);
    };
    const double whole = airy_energy(width / 2.0) / e[n / 2];
    // Rings are filled by sample centres: inside a few samples' radius the count of centres
    // misses the circle's area by several percent, so the comparison starts at one Airy radius.
    for (int k = 16; k <= n / 2; k += 8) {
        const double r = k * width / n;
        EXPECT_NEAR(e[k] * whole, airy_energy(r), 0.005) << "r/airy " << r / airy;
    }
}

// A store filled by hand: one wavelength, rays of amplitude 1 whose path errors give the phases
// theta; the intensity is |sum exp(i theta)|^2 / count^2, read through the whole-degree table.
TEST_F(IntensityTest, HandFilledPhasesSumAsPhasors) {
    mirror(200.0, -1.0, 10.0, 0.0);
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    SpotStore& st = spot_store();
    st.half_pupil = 0;
    const double lambda = lens_data().wavelengths[0].wavelength * 1e-3;  // mm, lens units
    // Path errors of 0, a quarter wave, a half wave and -370 degrees (d = 10, negative sine).
    const double degrees[] = {0.0, 90.0, 180.0, -370.0};
    st.ray_count = 4;
    st.wave_ray_counts[0] = 4;
    for (int i = 0; i < 4; ++i) {
        SpotRay& r = st.rays[i];
        r = SpotRay{};
        r.amplitude = 1.0;
        r.opd = degrees[i] / 360.0 * lambda;
    }
    double s = 0.0, c = 0.0;
    for (double d : degrees) {
        s += std::sin(d * std::numbers::pi / 180.0);
        c += std::cos(d * std::numbers::pi / 180.0);
    }
    double norm = 0.0, phase = 0.0;
    const double I = ray_phasor_sum(0, true, 0.0, 0.0, 0.0, norm, phase);
    EXPECT_NEAR(I, (s * s + c * c) / 16.0, 1e-12);
    EXPECT_DOUBLE_EQ(norm, 16.0);
    EXPECT_NEAR(phase, -std::numbers::pi / 2.0 - std::atan2(s, c), 1e-12);
}

}  // namespace
}  // namespace lens_setup_test
