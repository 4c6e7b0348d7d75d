// The geometric encircled energy: a defocused perfect mirror spreads its rays uniformly over a
// disk, where the energy inside r grows as (r/a)^2; hand-filled stores for the midpoint rule.
#include <cmath>

#include "evaluation/geometric_energy.h"
#include "tests/evaluation/spot/spot_fixture.h"

namespace lens_setup_test {
namespace {

using EnergyTest = SpotDiagramTest;

TEST_F(EnergyTest, DefocusedParaboloidEnclosesEnergyAsTheDiskArea) {
    const double R = 200.0, h = 10.0, delta = 0.05, f = R / 2.0;
    mirror(R, -1.0, h, delta);
    lens_data().spot_settings->aperture_divisions = 64.0;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    const double a = delta * h / (f - h * h / (4.0 * f));
    double levels[11] = {};
    ASSERT_EQ(encircled_energy_curve(false, 10, true, 0.0, levels, nullptr, nullptr), 0);
    EXPECT_EQ(levels[0], 0.0);
    for (int k = 1; k <= 10; ++k) {
        const double fraction = k / 10.0;
        EXPECT_NEAR(levels[k], a * std::sqrt(fraction), 0.02 * a * std::sqrt(fraction)) << k;
    }
}

// Four rays of weight 1 at distance d from the centroid: the run of equal distances is one
// step from the midpoint d/2 to d, so the fraction f lies at d (1 + f) / 2; the square's full
// width is twice that.
TEST_F(EnergyTest, EqualDistancesFormOneStepFromTheirMidpoint) {
    mirror(200.0, -1.0, 10.0, 0.0);
    ASSERT_EQ(ensure_spot_diagram(), 0);
    SpotStore& st = spot_store();
    const double d = 0.3;
    const double at[4][2] = {{d, 0.0}, {-d, 0.0}, {0.0, d}, {0.0, -d}};
    st.ray_count = 4;
    for (int i = 0; i < 4; ++i) {
        st.rays[i] = SpotRay{};
        st.rays[i].dx = at[i][0];
        st.rays[i].dy = at[i][1];
        st.rays[i].amplitude = 1.0;
    }
    spot_stats() = SpotStats{};
    spot_stats().weight = 4.0;
    double levels[5] = {};
    ASSERT_EQ(encircled_energy_curve(false, 4, true, 0.0, levels, nullptr, nullptr), 0);
    for (int k = 1; k <= 4; ++k) EXPECT_NEAR(levels[k], d * (1.0 + k / 4.0) / 2.0, 1e-15) << k;
    double radii[6] = {}, energies[6] = {};
    ASSERT_EQ(encircled_energy_curve(false, 4, false, 0.0, levels, radii, energies), 0);
    for (int k = 1; k <= 4; ++k) EXPECT_NEAR(levels[k], d * (1.0 + k / 4.0), 1e-15) << k;
    EXPECT_DOUBLE_EQ(energies[4], 4.0);
    EXPECT_DOUBLE_EQ(radii[5], 2.0 * d);
}

// Distinct distances 1, 2, 3, 4 of weights 1: the sort carries each ray's number, and the
// levels interpolate between the midpoints 0.5, 1.5, 2.5, 3.5 and the last ray's 4.
TEST_F(EnergyTest, DistinctDistancesInterpolateBetweenMidpoints) {
    mirror(200.0, -1.0, 10.0, 0.0);
    ASSERT_EQ(ensure_spot_diagram(), 0);
    SpotStore& st = spot_store();
    const double distance[4] = {3.0, 1.0, 4.0, 2.0};
    st.ray_count = 4;
    for (int i = 0; i < 4; ++i) {
        st.rays[i] = SpotRay{};
        st.rays[i].dx = distance[i];
        st.rays[i].amplitude = 1.0;
    }
    spot_stats() = SpotStats{};
    spot_stats().weight = 4.0;
    double levels[5] = {};
    ASSERT_EQ(encircled_energy_curve(false, 4, true, 0.0, levels, nullptr, nullptr), 0);
    // Energy k sits at the midpoint after distance k: 1.5, 2.5, 3.5, and 4 at the end.
    EXPECT_NEAR(levels[1], 1.5, 1e-12);
    EXPECT_NEAR(levels[2], 2.5, 1e-12);
    EXPECT_NEAR(levels[3], 3.5, 1e-12);
    EXPECT_NEAR(levels[4], 4.0, 1e-12);
    EXPECT_EQ(st.sort_index[1], 2);  // the ray at distance 1
    EXPECT_EQ(st.sort_index[4], 3);  // the ray at distance 4
}

}  // namespace
}  // namespace lens_setup_test
