// Coupling of the perfect f/5 paraboloid's image into Gaussian modes, against Gaussian-beam
// optics: a Gaussian-apodised pupil of 1/e amplitude radius g focuses to the waist
// lambda f / (pi g), which takes all of it; a mode offset by d keeps exp(-d^2 / w^2); the Airy
// image of the uniform pupil of radius B couples at best 0.8145, into the waist
// 1.1209 lambda f / (pi B).
#include <cmath>
#include <vector>

#include "evaluation/coupling.h"
#include "tests/evaluation/spot/spot_fixture.h"

namespace lens_setup_test {
namespace {

constexpr double kPi = 3.14159265358979323846;

class CouplingTest : public SpotDiagramTest {
protected:
    // The efficiency into a Gaussian waist w offset by (dy, dx).
    double efficiency(double w, double dy, double dx) {
        const int n = 128, m = 64;
        std::vector<double> field(2 * n * n), mode(2 * n * n);
        double spacing = 0.0, sum = 0.0;
        EXPECT_EQ(psf_complex_field(field.data(), &spacing, 0, n, m, &sum), 0);
        gaussian_mode_field(mode.data(), n, spacing, w, dy, dx, 0.0, 0.0, 0.0);
        double c[2];
        mode_overlap(c, field.data(), mode.data(), n);
        return c[0] * c[0] + c[1] * c[1];
    }
    double lambda_f() const { return lens_data().wavelengths[0].wavelength * 1e-3 * 100.0; }
};

TEST_F(CouplingTest, GaussianBeamLaws) {
    mirror(200.0, -1.0, 10.0, 0.0);
    lens_data().units = 1.0;
    ASSERT_EQ(set_object_point(), 0);
    // The uniform pupil: the best Gaussian takes 81.45%, less on either side of it.
    const double best = 1.1209 * lambda_f() / (kPi * 10.0);
    EXPECT_NEAR(efficiency(best, 0.0, 0.0), 0.8145, 0.01);
    EXPECT_LT(efficiency(0.8 * best, 0.0, 0.0), efficiency(best, 0.0, 0.0));
    EXPECT_LT(efficiency(1.25 * best, 0.0, 0.0), efficiency(best, 0.0, 0.0));
    // Gaussian apodisation of width g = B/3.
    SpotSettings& s = *lens_data().spot_settings;
    s.apodisation_on = 1;
    s.apodisation_width_x = s.apodisation_width_y = 10.0 / 3.0;
    const double w0 = lambda_f() / (kPi * 10.0 / 3.0);
    EXPECT_NEAR(efficiency(w0, 0.0, 0.0), 1.0, 1e-3);
    for (double d : {0.3, 0.6, 1.0}) {
        EXPECT_NEAR(efficiency(w0, d * w0, 0.0), std::exp(-d * d), 0.01) << d;
        EXPECT_NEAR(efficiency(w0, 0.0, d * w0), std::exp(-d * d), 0.01) << d;
    }
}

}  // namespace
}  // namespace lens_setup_test
