// Solves, pickups, special-data preparation, symmetry, aiming and the guards of the set-up.
#include <cmath>
#include <cstring>

#include "kpl/kpl_sysvars.h"
#include "lens/lens_items.h"
#include "lens/surface_groups.h"
#include "lens_setup_fixture.h"
#include "numeric/memory.h"
#include "runtime/dispatch_slots.h"
#include "trace/ray_trace.h"
#include "trace/solves_pickups.h"

namespace lens_setup_test {
namespace {

class SolveTest : public LensSetupTest {
protected:
    // A singlet at finite conjugates, stop on surface 1.
    void singlet(int stop = 1) {
        make_lens(200, {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 60, 1.0}}, stop);
        aperture_by_radius(10);
        field_by_height(-10);
    }
};

TEST_F(SolveTest, AxialSlopeSolveWithTargetZeroMakesTheImageSpaceTelecentric) {
    singlet();
    set_curvature_data(2, kCurvatureAxialSlope, 0, 0.0, -0.02);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_NEAR(surface(2).axial_ray_slope, 0.0, 1e-15);
    EXPECT_NEAR(lens_data().image_axial_slope, 0.0, 1e-15);
    // Independently: n u = n' u' + y c (n' - n) with u' = 0 gives c = n u / (y (n' - n)).
    const double y = surface(2).axial_ray_height, u = surface(1).axial_ray_slope;
    EXPECT_NEAR(surface(2).curvature, 1.5 * u / (y * (1.0 - 1.5)), 1e-14);
    EXPECT_EQ(surface(2).curvature_kind, kCurvatureAxialSlope);
}

TEST_F(SolveTest, ChiefRaySolveBeforeTheStopIsRemoved) {
    make_lens(200, {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 10, 1.0}, {0, 50, 1.0}}, 3);
    aperture_by_radius(5);
    field_by_height(-10);
    set_curvature_data(1, kCurvatureChiefSlope, 0, 0.1, 1.0 / 50);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_TRUE(was_shown("#-260 s1"));
    EXPECT_EQ(surface(1).curvature_kind, kCurvaturePlain);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 1.0 / 50);
    EXPECT_EQ(surface(1).curvature_solve_value, 0.0);
}

TEST_F(SolveTest, HeightSolvePutsTheAxialRayWhereAsked) {
    singlet();
    // "PY" 0 on surface 2: the paraxial focus.
    set_thickness_data(2, kThicknessAxialHeight, 0, 0, 0.0, 0, 60);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_NEAR(surface(3).axial_ray_height, 0.0, 1e-12);
    // Newton's imaging through the thick lens: the ray with y2, u2' meets the axis at -y2/u2'.
    EXPECT_NEAR(surface(2).thickness, -surface(2).axial_ray_height / surface(2).axial_ray_slope,
                1e-12);
}

TEST_F(SolveTest, HeightSolveOnAZeroSlopeIsRemovedWithItsThickness) {
    singlet();
    set_curvature_data(2, kCurvatureAxialSlope, 0, 0.0, -0.02);
    set_thickness_data(2, kThicknessAxialHeight, 0, 0, 0.0, 0, 60);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_TRUE(was_shown("#-257 s2"));
    EXPECT_EQ(surface(2).thickness_kind, kThicknessPlain);
    EXPECT_EQ(surface(2).thickness, 60.0);
}

TEST_F(SolveTest, EdgeThicknessBetweenPlaneSurfacesIsTheEdgeValue) {
    make_lens(200, {{0, 5, 1.5}, {0, 60, 1.0}});
    aperture_by_radius(10);
    field_by_height(-10);
    set_thickness_data(1, kThicknessEdge, 0, 0, 8.0, 3.5, 5);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 3.5);
}

TEST_F(SolveTest, EdgeThicknessOfABiconvexLensAddsBothSags) {
    singlet();
    set_thickness_data(1, kThicknessEdge, 0, 0, 8.0, 2.0, 5);
    ASSERT_EQ(lens_setup(0), 0);
    const double sag = 50 - std::sqrt(50.0 * 50.0 - 8.0 * 8.0);
    EXPECT_NEAR(surface(1).thickness, 2.0 + 2 * sag, 1e-12);
}

TEST_F(SolveTest, EdgeThicknessWithoutHeightBeforeTheStopIsRefused) {
    make_lens(200, {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 10, 1.0}, {0, 50, 1.0}}, 3);
    aperture_by_radius(5);
    field_by_height(-1);
    set_thickness_data(1, kThicknessEdge, 0, 0, 0.0, 2.0, 5);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_TRUE(was_shown("#-331 s1"));
    EXPECT_EQ(surface(1).thickness_kind, kThicknessPlain);
    EXPECT_EQ(surface(1).thickness, 5.0);
}

TEST_F(SolveTest, SolvesKeepTheirStoredValuesOutsideTheFirstConfiguration) {
    singlet();
    set_curvature_data(2, kCurvatureAxialSlope, 0, 0.0, -0.02);
    lens_data().current_configuration = 2;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(2).curvature, -0.02);
    lens_data().solves_all_configurations = 1;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_NE(surface(2).curvature, -0.02);
}

TEST_F(SolveTest, CurvatureAndThicknessPickups) {
    make_lens(200, {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 10, 1.0}, {0.01, 4, 1.5}, {0, 40, 1.0}});
    aperture_by_radius(5);
    field_by_height(-1);
    set_curvature_data(3, kCurvaturePickupNegated, 2, 0.001, 0);
    set_thickness_data(3, kThicknessPickup, 1, 0, 0.5, 0, 0);
    set_thickness_data(2, kThicknessLength, 1, 2, 1.0, 0, 0);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_DOUBLE_EQ(surface(3).curvature, 0.001 + 1.0 / 50);
    EXPECT_DOUBLE_EQ(surface(3).thickness, 5.5);
    EXPECT_DOUBLE_EQ(surface(2).thickness, 1.0 + 5.0);
}

TEST_F(SolveTest, ACycleOfPickupsIsReportedAndBroken) {
    make_lens(200, {{0.01, 5, 1.5}, {-0.01, 5, 1.0}, {0.02, 5, 1.5}, {0, 40, 1.0}});
    aperture_by_radius(5);
    field_by_height(-1);
    set_curvature_data(2, kCurvaturePickup, 3, 0, 0);
    set_curvature_data(3, kCurvaturePickup, 2, 0, 0);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_TRUE(was_shown("#-335 s2"));
    EXPECT_EQ(surface(2).curvature_kind, kCurvaturePlain);
    // The other half now picks up a plain surface.
    EXPECT_EQ(surface(3).curvature_kind, kCurvaturePickup);
    EXPECT_DOUBLE_EQ(surface(3).curvature, surface(2).curvature);
    EXPECT_FALSE(was_shown("#-335 s3"));
}

TEST_F(SolveTest, APickupOutsideTheLensIsRemoved) {
    singlet();
    set_thickness_data(1, kThicknessPickup, 9, 0, 0, 0, 5);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_TRUE(was_shown("#-336 s1"));
    EXPECT_EQ(surface(1).thickness_kind, kThicknessPlain);
    EXPECT_EQ(surface(1).thickness, 5.0);
}

TEST_F(SolveTest, CurvatureSolvesAgainstTheirDefinitions) {
    const SolveRay ray{2.0, 0.1, 1.0, -0.05, 1.0 / 1.5};
    double c = 0;
    ASSERT_EQ(solve_curvature(kCurvatureAxialIncidence, 0.3, ray, false, &c), 0);
    EXPECT_DOUBLE_EQ(2.0 * c + 0.1, 0.3);
    ASSERT_EQ(solve_curvature(kCurvatureAxialAplanatic, 0, ray, false, &c), 0);
    // Aplanatic: i = -u / r, so that the slope behind the surface is u / r.
    const double i = 2.0 * c + 0.1;
    EXPECT_NEAR(i, -0.1 / ray.r, 1e-15);
    EXPECT_NEAR(0.1 + (ray.r - 1) * i, 0.1 / ray.r, 1e-15);
    ASSERT_EQ(solve_curvature(kCurvatureChiefIncidence, 0.2, ray, false, &c), 0);
    EXPECT_DOUBLE_EQ(1.0 * c - 0.05, 0.2);
    EXPECT_EQ(solve_curvature(kCurvatureChiefIncidence, 0.2, ray, true, &c),
              kMsgChiefSolveBeforeStop);
    const SolveRay flat{0.0, 0.1, 0.0, 0.1, 1.0 / 1.5};
    EXPECT_EQ(solve_curvature(kCurvatureAxialSlope, 0, flat, false, &c), kMsgSolveZeroHeight);
}

// ---- Special data ---------------------------------------------------------------------------

class SpecialDataTest : public LensSetupTest {
protected:
    void SetUp() override {
        LensSetupTest::SetUp();
        make_lens(200, {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 60, 1.0}});
        aperture_by_radius(5);
        field_by_height(-1);
    }

    // Special data that cannot act leaves the plain singlet, worked out by hand with
    // n' u' = n u - y (n' - n) c, stop on surface 1:
    //   axial ray: u = 5 / 200 = 1/40 onto y = 5; 1.5 u' = 1/40 - 5 (0.5) (1/50) = -1/40, so
    //   u' = -1/60 and 5 later y2 = 5 - 5/60 = 59/12.
    //   exit pupil: surface 2 images the stop, 5 before it in the glass:
    //   1 / s' = 1.5 / (-5) + (1 - 1.5)(-1/50) = -0.29, s' = -100/29 from surface 2.
    void expect_plain_singlet() const {
        EXPECT_NEAR(surface(2).axial_ray_height, 59.0 / 12.0, 1e-13);
        EXPECT_NEAR(surface(1).axial_ray_slope, -1.0 / 60.0, 1e-15);
        EXPECT_NEAR(lens_data().exit_pupil_position, -100.0 / 29.0, 1e-12);
    }
};

TEST_F(SpecialDataTest, ZernikeAsphereWithoutRadiusGetsRadiusOneAndWarning) {
    ASSERT_EQ(alloc_asphere_record(1, kAsphereZernike, 2), 0);
    AsphereRecord& a = *surface(1).asphere;
    ASSERT_GE(a.entered_count, 3);
    a.entered[1] = 1.0;  // Z = 2 rho^2 - 1
    a.entered[2] = 0.5;  // Z = 6 rho^4 - 6 rho^2 + 1
    set_aperture_data(1, kApertureComputed, 0, 0.0);
    surface(1).aperture_radius = 0.0;
    prepare_asphere_coefficients(a, 1);
    EXPECT_TRUE(was_shown("#-262"));
    EXPECT_EQ(surface(1).aperture_radius, 1.0);
    EXPECT_EQ(surface(1).aperture_kind, kApertureFixedValue);
    EXPECT_DOUBLE_EQ(a.working[0], -1.0 + 0.5);
    EXPECT_DOUBLE_EQ(a.working[1], 2.0 - 3.0);
    EXPECT_DOUBLE_EQ(a.working[2], 3.0);
}

TEST_F(SpecialDataTest, ZernikeTermsBecomePowersOverTheApertureRadius) {
    ASSERT_EQ(alloc_asphere_record(1, kAsphereZernike, 3), 0);
    AsphereRecord& a = *surface(1).asphere;
    a.entered[3] = 1.0;  // R6 = 20 rho^6 - 30 rho^4 + 12 rho^2 - 1
    set_aperture_data(1, kApertureFixedValue, 0, 2.0);
    prepare_asphere_coefficients(a, 1);
    EXPECT_DOUBLE_EQ(a.working[0], -1.0);
    EXPECT_DOUBLE_EQ(a.working[1], 12.0 / 4.0);
    EXPECT_DOUBLE_EQ(a.working[2], -30.0 / 16.0);
    EXPECT_DOUBLE_EQ(a.working[3], 20.0 / 64.0);
    EXPECT_EQ(a.changed, 0);
}

TEST_F(SpecialDataTest, AsphereKindsDecideShapeAndSymmetry) {
    ASSERT_EQ(alloc_asphere_record(1, kAsphereCone, 0), 0);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).shape, kShapeSpecialBase);
    EXPECT_EQ(lens_data().rotationally_symmetric, 1);
    EXPECT_EQ(lens_data().plain_lens, 0);
    surface(1).asphere->kind = kAsphereBiconic;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).shape, kShapeSpecialBase);
    EXPECT_EQ(lens_data().rotationally_symmetric, 0);
    EXPECT_EQ(lens_data().plane_symmetric, 1);
}

TEST_F(SpecialDataTest, DecentreInYKeepsPlaneSymmetry) {
    ASSERT_EQ(ensure_decentre_record(2), 0);
    surface(2).decentre->dcy = 0.5;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_data().rotationally_symmetric, 0);
    EXPECT_EQ(lens_data().plane_symmetric, 1);
    EXPECT_EQ(surface(2).decentre->rotation_kind, 0);
    EXPECT_EQ(surface(2).decentre->rotation[0], 1.0);
    surface(2).decentre->dcx = 0.5;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_data().plane_symmetric, 0);
}

TEST_F(SpecialDataTest, SplineWithFallingRadiiIsReported) {
    ASSERT_EQ(alloc_spline_record(1, 2), 0);
    SplineRecord& sp = *surface(1).spline;
    sp.radius[0] = 0, sp.radius[1] = 2, sp.radius[2] = 1;
    EXPECT_EQ(lens_setup(0), kMsgSplineRadii);
    EXPECT_EQ(lens_data().failing_surface, 1);
    EXPECT_TRUE(was_shown("#-293 s1"));
    EXPECT_EQ(surface(1).shape, kShapeSphere);
}

TEST_F(SpecialDataTest, SplineProfileFollowsItsSlopes) {
    ASSERT_EQ(alloc_spline_record(1, 2), 0);
    SplineRecord& sp = *surface(1).spline;
    // The slopes of the parabola z = r^2 / 100: its curvature profile is 1/50 throughout.
    for (int i = 0; i < 3; ++i) {
        sp.radius[i] = 2.0 * i;
        sp.slope[i] = 2.0 * sp.radius[i] / 100.0;
    }
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).shape, kShapeSpline);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(sp.curvature_profile[i], 1.0 / 50, 1e-15);
        EXPECT_NEAR(sp.sag_profile[i], sp.radius[i] * sp.radius[i] / 100.0, 1e-15);
    }
}

TEST_F(SpecialDataTest, ZeroDesignWavelengthIsReportedNotDividedBy) {
    ASSERT_EQ(alloc_diffractive_record(1, 0, 4), 0);
    DiffractiveRecord& d = *surface(1).diffractive;
    d.entered[1] = -0.001;
    d.design_wavelength = 0.0;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_TRUE(was_shown("#-332 s1"));
    // Reported, and the surface refracts without diffractive power.
    expect_plain_singlet();
}

TEST_F(SpecialDataTest, DiffractivePowerAddsToTheRefraction) {
    ASSERT_EQ(alloc_diffractive_record(1, 0, 4), 0);
    DiffractiveRecord& d = *surface(1).diffractive;
    d.entered[1] = -0.001;
    d.design_wavelength = 0.58756;
    ASSERT_EQ(lens_setup(0), 0);
    // Power of the phase -2 k1 w / w0 per order, added in n'u' = n u - y (phi_refr + phi_doe).
    const double phi = (1.5 - 1.0) / 50 + 1.0 * -0.001 * 0.58756 * -2.0 / 0.58756;
    const double y = 5.0, u = 5.0 / 200;
    EXPECT_NEAR(surface(1).axial_ray_slope, (u - y * phi) / 1.5, 1e-15);
}

TEST_F(SpecialDataTest, ZeroHologramWavelengthIsReported) {
    auto* h = static_cast<HologramRecord*>(mem_alloc(sizeof(HologramRecord)));
    ASSERT_NE(h, nullptr);
    std::memset(h, 0, sizeof *h);
    h->order = 1;
    h->first_point[2] = 100;
    h->second_point[2] = -50;
    surface(1).hologram = h;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_TRUE(was_shown("#-333 s1"));
    expect_plain_singlet();
}

TEST_F(SpecialDataTest, GradientIndexWithoutItsServiceUsesTheStoredIndex) {
    auto* g = static_cast<GrinRecord*>(mem_alloc(sizeof(GrinRecord)));
    ASSERT_NE(g, nullptr);
    std::memset(g, 0, sizeof *g);
    g->kind = 11;
    surface(1).grin = g;
    // Every set-up tells the user again: the second one is not silent.
    for (int setup = 1; setup <= 2; ++setup) {
        ASSERT_EQ(lens_setup(0), 0);
        EXPECT_EQ(shown_count("#-337 s1"), setup);
        // The stored index 1.5 serves the whole gap.
        expect_plain_singlet();
    }
}

TEST_F(SpecialDataTest, MissingGradientIndexServiceIsReportedOncePerSurfaceAndSetUp) {
    // With the stop on surface 2, the set-up walks surface 1 twice (the heights in front of
    // the stop are traced again) and asks for each gradient several times on the way.
    lens_data().aperture_stop = 2;
    lens_data().reference_surface = 2;
    for (int n = 1; n <= 2; ++n) {
        auto* g = static_cast<GrinRecord*>(mem_alloc(sizeof(GrinRecord)));
        ASSERT_NE(g, nullptr);
        std::memset(g, 0, sizeof *g);
        g->kind = 11;
        surface(n).grin = g;
    }
    for (int setup = 1; setup <= 2; ++setup) {
        ASSERT_EQ(lens_setup(0), 0);
        EXPECT_EQ(shown_count("#-337 s1"), setup);
        EXPECT_EQ(shown_count("#-337 s2"), setup);
    }
}

TEST_F(SpecialDataTest, RadialGradientFollowsTheCosineLaw) {
    auto* g = static_cast<GrinRecord*>(mem_alloc(sizeof(GrinRecord)));
    ASSERT_NE(g, nullptr);
    std::memset(g, 0, sizeof *g);
    g->kind = 1;
    g->coefficients = alloc_matrix_of<double>(8, 10);
    ASSERT_NE(g->coefficients, nullptr);
    for (int r = 0; r < 8; ++r)
        for (int w = 0; w < 10; ++w) g->coefficients[r][w] = 0.0;
    g->coefficients[0][0] = -0.01;  // N = N0 - 0.01 r^2
    surface(1).grin = g;
    ASSERT_EQ(lens_setup(0), 0);
    const double gk = std::sqrt(2 * 0.01 / 1.5), y = 5.0, u = surface(1).axial_ray_slope;
    EXPECT_NEAR(surface(2).axial_ray_height, std::cos(5 * gk) * y + std::sin(5 * gk) * u / gk,
                1e-12);
}

// ---- Aiming, nesting, bounds and hooks ------------------------------------------------------

TEST_F(SpecialDataTest, WideAngleAimingWithReferenceSurfaceOneFallsBack) {
    lens_data().aim_mode = kAimWideAngle;
    lens_data().reference_surface = 1;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_data().aim_mode, kAimParaxial);
    EXPECT_EQ(lens_data().aim_state, 0);
    EXPECT_TRUE(was_shown("#-309 s1"));
}

TEST_F(SpecialDataTest, ReferenceRayModePutsTheAutomaticCheckOnTheReferenceSurface) {
    lens_data().aim_mode = kAimRimRays;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).aperture_check, 2);
    lens_data().aim_mode = kAimParaxial;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).aperture_check, 0);
}

TEST_F(SpecialDataTest, ANestedCallPreparesOnlySpecialDataBehindThePassSurface) {
    ASSERT_EQ(lens_setup(0), 0);
    const double height = surface(2).axial_ray_height;
    surface(2).conic = -1.0;
    surface(2).curvature = -0.03;
    set_state_flag(kFlagLensSetupRunning);
    ASSERT_EQ(lens_setup(0), 0);
    clear_state_flag(kFlagLensSetupRunning);
    EXPECT_EQ(surface(2).axial_ray_height, height);
    EXPECT_EQ(surface(2).shape, kShapeSphere);  // the base shape is redone by a full pass only
}

TEST_F(SpecialDataTest, ArrayBoundsFollowTheLens) {
    kpl_reset_sysvars();
    ASSERT_EQ(kpl_bind_sysvar(114, nullptr, 2, 1, 0), 0);
    kpl_sysvar(114)->reserved = kDim1Surfaces;
    ASSERT_EQ(kpl_bind_sysvar(174, nullptr, 2, 1, 1), 0);
    kpl_sysvar(174)->reserved = kDim1Surfaces | kDim2Asphere << 8;
    ASSERT_EQ(kpl_bind_sysvar(112, nullptr, 2, 1, 0), 0);
    kpl_sysvar(112)->reserved = kDim1Wavelengths;
    ASSERT_EQ(alloc_asphere_record(2, kAsphereZernike, 20), 0);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(kpl_sysvar(114)->dim1, 4);
    EXPECT_EQ(kpl_sysvar(174)->dim2, 66);
    EXPECT_EQ(kpl_sysvar(112)->dim1, 4);
    EXPECT_EQ(lens_flags().bounds_stale, 0);
    kpl_reset_sysvars();
}

TEST_F(SpecialDataTest, InstallerPutsTheSetUpWhereItIsRun) {
    reset_handler_table();
    install_lens_setup();
    EXPECT_EQ(paraxial_hooks().lens_setup, &lens_setup);
    ASSERT_NE(handler_table().slots[kSlotLensSetup], nullptr);
    surface(2).vertex_position = 0.0;
    EXPECT_EQ(handler_table().slots[kSlotLensSetup](), 0);
    EXPECT_EQ(surface(2).vertex_position, 5.0);
    reset_handler_table();
}

TEST_F(SpecialDataTest, VariablesAndAirMarks) {
    static const OptimiseVariableRef table[] = {{1, 1, 0}, {3, 2, 2}, {5, 1, 0}};
    const OptimiseLinks links = {[] { return 2; }, [](int i) { return table[i]; },
                                 nullptr,          nullptr,
                                 nullptr,          nullptr,
                                 nullptr,          nullptr,
                                 nullptr};
    set_optimise_links(&links);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).curvature_variable, 1);
    EXPECT_EQ(surface(2).thickness_variable, 0);  // configuration 2 only
    EXPECT_EQ(surface(1).glass_variable, 1);
    EXPECT_EQ(surface(1).in_air, 0);
    EXPECT_EQ(surface(2).in_air, 1);
}

}  // namespace
}  // namespace lens_setup_test
