// Thermal expansion of a cemented doublet warmed by 10 degrees, checked against factors worked
// out by hand from the expansion coefficients.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lens/lens_data.h"
#include "lens/surface_materials.h"
#include "lens/thermal_expansion.h"
#include "runtime/settings.h"
#include "tests/lens/glass/glass_lens_fixture.h"

namespace {

using glass_test::printed;

class ThermalTest : public glass_test::GlassLensTest {
protected:
    // Object, a doublet of glasses with coefficients 70 and 90 (surfaces 1, 2), air (3), image.
    void make_doublet() {
        start();
        LensData& l = lens_data();
        l.image_surface = 4;
        const double curvatures[] = {0.0, 0.02, -0.03, -0.01, 0.0};
        const double thicknesses[] = {kInfiniteDistance, 4.0, 2.0, 50.0, 0.0};
        for (int n = 0; n <= 4; ++n) {
            surface(n).curvature = curvatures[n];
            surface(n).thickness = thicknesses[n];
            set_glass(n, kMediumAir, "AIR");
            surface(n).medium_tce = n == 0 ? 0.0 : 236.0;
            surface(n).aperture_kind = kApertureComputed;
            surface(n).aperture_radius = 0.0;
        }
        set_glass(1, kMediumModelGlassComputed, "G70");
        surface(1).medium_tce = 70.0;
        set_glass(2, kMediumModelGlassComputed, "G90");
        surface(2).medium_tce = 90.0;
        surface(2).aperture_kind = kApertureFixedValue;
        surface(2).aperture_radius = 10.0;
        l.reference_temperature = 20.0;
    }
};

TEST_F(ThermalTest, CementedRadiusScalesWithTheMeanOfBothCoefficients) {
    make_doublet();
    LensData& l = lens_data();
    l.temperature = 30.0;
    l.thermal_expansion = 1;
    ASSERT_EQ(expand_lens(20.0), 0);
    // 10 degrees: f = 1 + 10 * c * 1e-7, so 1.00007 and 1.00009, and their mean 1.00008 where
    // the two glasses meet.
    const double f70 = 1.00007, f90 = 1.00009, cemented = 1.00008;
    EXPECT_DOUBLE_EQ(1.0 / surface(2).curvature, -1.0 / 0.03 * cemented);
    EXPECT_DOUBLE_EQ(surface(2).aperture_radius, 10.0 * cemented);
    EXPECT_DOUBLE_EQ(1.0 / surface(1).curvature, 50.0 * f70);  // not cemented: front in air
    EXPECT_DOUBLE_EQ(surface(1).thickness, 4.0 * f70);
    EXPECT_DOUBLE_EQ(surface(2).thickness, 2.0 * f90);
    EXPECT_DOUBLE_EQ(1.0 / surface(3).curvature, -100.0 * f90);  // air behind the last glass
    // The air space grows by its mount: 50 * 10 * 236e-7 (no apertures: the axial length).
    EXPECT_DOUBLE_EQ(surface(3).thickness, 50.0 + 50.0 * 10.0 * 236e-7);
    EXPECT_DOUBLE_EQ(l.expanded_temperature, 30.0);
}

TEST_F(ThermalTest, StepModePrintsOneLinePerChange) {
    make_doublet();
    set_setting_flag(kSetStepMode, 1);
    LensData& l = lens_data();
    l.temperature = 30.0;
    l.thermal_expansion = 1;
    ASSERT_EQ(expand_lens(20.0), 0);
    EXPECT_THAT(printed,
                ::testing::ElementsAre("Expand TH[1]", "Expand RD[1] (not cemented)",
                                       "Expand TH[2]", "Expand RD[2] (cemented)", "Expand AP[2]",
                                       "Expand RD[3] (not cemented)", "Expand TH[0] (air space)",
                                       "Expand TH[3] (air space)", "Expand TH[4] (air space)"));
}

TEST_F(ThermalTest, MaterialUpdateRunsThePassOnceAndOnlyWhenAsked) {
    make_doublet();
    set_glass(1, kMediumAir, "AIR");
    set_glass(2, kMediumAir, "AIR");
    surface(2).aperture_kind = kApertureComputed;
    surface(2).aperture_radius = 0.0;
    surface(1).medium_tce = 70.0;
    LensData& l = lens_data();
    l.temperature = 30.0;
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 4.0);  // no change pending
    l.thermal_expansion = 1;
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 4.0 + 4.0 * 10.0 * 70e-7);
    EXPECT_EQ(l.thermal_expansion, 0);
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 4.0 + 4.0 * 10.0 * 70e-7);
}

TEST_F(ThermalTest, SameTemperatureAndFlagOffChangeNothing) {
    make_doublet();
    LensData& l = lens_data();
    l.temperature = 20.0;
    l.thermal_expansion = 1;
    ASSERT_EQ(expand_lens(20.0), 0);
    EXPECT_EQ(surface(2).curvature, -0.03);
    EXPECT_EQ(surface(3).thickness, 50.0);
    l.temperature = 40.0;
    l.thermal_expansion = 0;
    ASSERT_EQ(expand_lens(20.0), 0);
    EXPECT_EQ(surface(2).curvature, -0.03);
    EXPECT_EQ(surface(1).thickness, 4.0);
}

TEST_F(ThermalTest, PickupCycleLeavesTheLensUnchanged) {
    make_doublet();
    set_glass(2, kMediumPickup, "");
    surface(2).medium_source = 3;
    set_glass(3, kMediumPickup, "");
    surface(3).medium_source = 2;
    LensData& l = lens_data();
    l.temperature = 30.0;
    l.thermal_expansion = 1;
    EXPECT_EQ(expand_lens(20.0), kErrorTextReady);
    EXPECT_EQ(surface(1).thickness, 4.0);
    EXPECT_EQ(surface(1).curvature, 0.02);
}

}  // namespace
