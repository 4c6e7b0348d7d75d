// The cone-aperture mode: the pupil is sampled on rings of equal angular spacing about the
// axis of the aperture cone, each ring with points one angular step apart along its
// circumference, instead of on the square lattice.
#include "tests/evaluation/spot/spot_fixture.h"

#include <map>
#include <numbers>

namespace lens_setup_test {
namespace {

TEST_F(SpotDiagramTest, ConeApertureSamplesRingsOfEqualSpacing) {
    mirror(200.0, -1.0, 10.0, 0.0);
    LensData& l = lens_data();
    l.cone_aperture_mode = 1;
    l.cone_half_angle = 4.0;
    for (double divisions : {6.0, 10.5}) {
        l.spot_settings->aperture_divisions = divisions;
        clear_state_flag(kFlagSpotDiagramCurrent);
        ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
        const SpotStore& st = spot_store();
        // Never the half pupil: the rings are not mirror-symmetric in their sampling.
        EXPECT_EQ(st.half_pupil, 0);
        // Ring k (k = 0 .. steps) lies at the angle k * step from the axis, step the cone's
        // half-angle over the whole divisions; its circumference 2 pi sin(angle) holds
        // sin(angle) 2 pi / step points to the nearest whole one, the axis one point.
        const int steps = static_cast<int>(divisions);
        const double cone = 4.0 * std::numbers::pi / 180.0;
        const double step = cone / steps;
        std::map<int, int> expected;
        int total = 0;
        for (int k = 0; k <= steps; ++k) {
            const int m =
                static_cast<int>(std::sin(k * step) * 2.0 * std::numbers::pi / step + 0.5);
            expected[k] = m == 0 ? 1 : m;
            total += expected[k];
        }
        ASSERT_EQ(st.ray_count, total) << divisions;
        // Each stored ray's pupil point lies on its ring: at the fraction k / steps of the
        // pupil radius (the tilt angles are nearly proportional to the ring angle in so
        // narrow a cone).
        std::map<int, int> found;
        for (int i = 0; i < st.ray_count; ++i) {
            const double r = std::hypot(st.rays[i].col, st.rays[i].row) * st.lattice_unit;
            const int k = static_cast<int>(std::lround(r * steps));
            EXPECT_NEAR(r, static_cast<double>(k) / steps, 0.02 / steps) << i;
            ++found[k];
        }
        EXPECT_EQ(found, expected) << divisions;
    }
}

}  // namespace
}  // namespace lens_setup_test
