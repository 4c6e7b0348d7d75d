// The new lens: its surfaces, lens-level values, wavelengths from the settings, drawing ray
// sets, the per-lens records that stay from lens to lens, and the new-lens operation.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/new_lens_command.h"
#include "lens/surface_groups.h"
#include "tests/lens/lens_fixture.h"

namespace {

using NewLensTest = LensTest;

// The values a new lens starts with are what a user sees in the listing of a lens just made, in
// its spreadsheet and in its built-in variables: the tests pin them, and say where each comes
// from, so that a change to one is a deliberate change of the program.

TEST_F(NewLensTest, SurfacesOfANewLensAreAirWithTheObjectAtInfinity) {
    const LensData& l = lens_data();
    // One surface between object and image, which is the stop and the reference surface.
    EXPECT_EQ(l.image_surface, 2);
    EXPECT_EQ(l.aperture_stop, 1);
    EXPECT_EQ(l.reference_surface, 1);
    EXPECT_EQ(l.current_surface, 0);
    EXPECT_EQ(surface_limit(), 12);  // the fixture's setting
    for (int n = 0; n <= 2; ++n) {
        SCOPED_TRACE(n);
        const SurfaceRecord& s = surface(n);
        EXPECT_STREQ(s.medium_name, "AIR       ");  // the medium name fills its 10 characters
        EXPECT_EQ(s.medium_kind, kMediumAir);
        // An air space grows with its mount: aluminium's 23.6e-6 per kelvin, written in the
        // 1e-7 per kelvin of the catalogues' expansion column. The object space has no mount.
        EXPECT_DOUBLE_EQ(s.medium_tce, n == 0 ? 0.0 : 236.0);
        EXPECT_STREQ(s.group_label, "           ");
        EXPECT_EQ(s.asphere, nullptr);
        EXPECT_EQ(s.decentre, nullptr);
    }
    EXPECT_DOUBLE_EQ(surface(0).thickness, kInfiniteDistance);
    EXPECT_EQ(surface(0).aperture_kind, kApertureFixedValue);
    EXPECT_EQ(surface(1).aperture_kind, kApertureComputed);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 0.0);
    EXPECT_EQ(lens_flags().materials_changed, 1);
    EXPECT_EQ(lens_flags().bounds_stale, 1);
}

TEST_F(NewLensTest, LensLevelDefaults) {
    const LensData& l = lens_data();
    // Values with a source outside the program.
    EXPECT_DOUBLE_EQ(l.units, 1.0);         // millimetres, the unit of the catalogues
    EXPECT_DOUBLE_EQ(l.temperature, 20.0);  // where the makers measure catalogue indices
    EXPECT_DOUBLE_EQ(l.reference_temperature, 20.0);
    EXPECT_DOUBLE_EQ(l.pressure, 1.0);             // one atmosphere
    EXPECT_DOUBLE_EQ(l.test_wavelength, 0.54607);  // the mercury e line, that of test plates
    EXPECT_STREQ(l.designer, "TAVO");              // the fixture's designer setting
    // A field of a millionth of a radian: given as an angle, and the object height at the
    // infinite object distance names the same field point.
    EXPECT_EQ(l.field_is_angle, 1);
    EXPECT_DOUBLE_EQ(l.object_height, -1e14);
    EXPECT_NEAR(l.field_angle, 1e-6, 1e-15);
    EXPECT_NEAR(l.field_angle, std::atan(-l.object_height / surface(0).thickness), 1e-15);

    // The program's own starting choices, which a user sees as the built-in variables of a
    // new lens: an object-space NA of 0.05 for when the aperture is switched to NA, fans of
    // 21 rays, rays aimed at the reference surface (mode 1, between the entrance pupil 0 and
    // the rim rays 2), the wavefront referred to a sphere, and the XABA and TXYC settings.
    EXPECT_DOUBLE_EQ(l.object_na, 0.05);
    EXPECT_EQ(l.fan_rays, 21);
    EXPECT_EQ(l.aim_mode, kAimParaxial);
    EXPECT_EQ(l.field_is_angle, 1);
    EXPECT_EQ(l.wrsp, 1);
    EXPECT_DOUBLE_EQ(l.xaba, 90.0);
    EXPECT_EQ(l.txyc, 1);
    // An untitled lens: the title field blank, no notes, one configuration.
    EXPECT_STREQ(l.title, "          ");
    EXPECT_EQ(l.notes[3][0], '\0');
    EXPECT_EQ(l.current_configuration, 1);
}

struct WavelengthCase {
    const char* name;
    double settings[3];
    std::vector<double> expected;
};

TEST_F(NewLensTest, DefaultWavelengthsFromTheSettings) {
    const WavelengthCase cases[] = {
        {"defaults", {0.58756, 0.48613, 0.65627}, {0.58756, 0.48613, 0.65627}},
        {"first 0 falls back, rest tried", {0.0, 0.5, 0.6}, {0.58756, 0.5, 0.6}},
        {"first 150 falls back", {150.0, 0.5, 0.6}, {0.58756, 0.5, 0.6}},
        {"first exactly 100 taken", {100.0, 0.5, 0.6}, {100.0, 0.5, 0.6}},
        {"negative taken by magnitude", {-0.7, 0.5, 0.6}, {0.7, 0.5, 0.6}},
        {"second 0 leaves one", {0.5, 0.0, 0.6}, {0.5}},
        {"third out of range leaves two", {0.5, 0.6, 101.0}, {0.5, 0.6}},
    };
    for (const WavelengthCase& c : cases) {
        SCOPED_TRACE(c.name);
        set_wavelength_settings(c.settings[0], c.settings[1], c.settings[2]);
        ASSERT_EQ(lens_new(), 0);
        const LensData& l = lens_data();
        ASSERT_EQ(l.wavelength_count, static_cast<int>(c.expected.size()));
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_DOUBLE_EQ(l.wavelengths[i].wavelength, c.expected[i]);
            EXPECT_DOUBLE_EQ(l.wavelengths[i].weight, 1.0);
        }
        EXPECT_DOUBLE_EQ(l.wavelengths[c.expected.size()].wavelength, 0.0);
    }
}

TEST_F(NewLensTest, FirstWeightFallsBackButLaterWeightsAreTakenAsTheyAre) {
    set_setting_double(kSetWeightDefaults, 0.0, 0, 0);
    set_setting_double(kSetWeightDefaults, 0.0, 1, 0);
    set_setting_double(kSetWeightDefaults, -2.0, 2, 0);
    ASSERT_EQ(lens_new(), 0);
    EXPECT_DOUBLE_EQ(lens_data().wavelengths[0].weight, 1.0);
    EXPECT_DOUBLE_EQ(lens_data().wavelengths[1].weight, 0.0);
    EXPECT_DOUBLE_EQ(lens_data().wavelengths[2].weight, 2.0);
}

TEST_F(NewLensTest, ThreeDrawingRaySets) {
    // The drawing of a new lens has the usual three field points, the axis, the 0.7 zone and
    // the full field, with 3, 0 and 1 as their numbers of rays (DLNR), the axial fan across the
    // whole pupil, all in the first wavelength; its 3-D view is from 30 and 240 degrees.
    const DrawingConditions* dc = lens_data().drawing_conditions;
    ASSERT_NE(dc, nullptr);
    ASSERT_EQ(dc->row_count, 3);
    const double fractions[] = {0.0, 0.7, 1.0};
    const int rays[] = {3, 0, 1};
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        EXPECT_DOUBLE_EQ(dc->rows[r].field_fraction, fractions[r]);
        EXPECT_EQ(dc->rows[r].ray_count, rays[r]);
        EXPECT_EQ(dc->rows[r].wavelength, 1);
        EXPECT_EQ(dc->rows[r].drawn, 1);
    }
    EXPECT_DOUBLE_EQ(dc->rows[0].pupil_min, -1.0);
    EXPECT_DOUBLE_EQ(dc->rows[0].pupil_max, 1.0);
    EXPECT_EQ(dc->view_angle1, 30);
    EXPECT_EQ(dc->view_angle2, 240);
    EXPECT_EQ(dc->dlhr, 1);
}

TEST_F(NewLensTest, AnOldLensFileGetsTwoRaySets) {
    lens_flags().reading_lens_file = 1;
    lens_flags().old_file = 1;
    ASSERT_EQ(lens_new(), 0);
    const DrawingConditions* dc = lens_data().drawing_conditions;
    ASSERT_EQ(dc->row_count, 2);
    EXPECT_DOUBLE_EQ(dc->rows[1].field_fraction, 1.0);
    EXPECT_EQ(dc->rows[1].ray_count, 1);
    EXPECT_EQ(lens_flags().old_file, 0);
    lens_flags().reading_lens_file = 0;
    ASSERT_EQ(lens_new(), 0);
    EXPECT_EQ(lens_data().drawing_conditions->row_count, 3);
}

TEST_F(NewLensTest, PerLensRecordsAreKeptAndReset) {
    OptimiseParams* params = lens_data().optimise_params;
    SpotSettings* spot = lens_data().spot_settings;
    params->damping = 5.0;
    std::strcpy(params->operand_command, "other");
    spot->aperture_divisions = 3.0;
    ASSERT_EQ(lens_new(), 0);
    EXPECT_EQ(lens_data().optimise_params, params);
    EXPECT_EQ(lens_data().spot_settings, spot);
    // Back to the starting values a user sees in the optimisation and spot-diagram settings of
    // a new lens: damping 0.001, the operands from the procedure *oprds, air spaces up to
    // 10000, 17.03 aperture divisions, a polychromatic spot.
    EXPECT_DOUBLE_EQ(params->damping, 0.001);
    EXPECT_STREQ(params->operand_command, "*oprds");
    EXPECT_DOUBLE_EQ(params->max_air_thickness, 10000.0);
    EXPECT_DOUBLE_EQ(spot->aperture_divisions, 17.03);
    EXPECT_EQ(spot->polychromatic, 1);
}

TEST_F(NewLensTest, SpecialDataOfTheOldLensIsFreedAndCleared) {
    make_surfaces(3);
    ASSERT_EQ(ensure_decentre_record(2), 0);
    ASSERT_EQ(alloc_spline_record(3, 4), 0);
    ASSERT_EQ(lens_new(), 0);
    for (int n = 0; n <= surface_limit(); ++n) {
        EXPECT_EQ(surface(n).decentre, nullptr);
        EXPECT_EQ(surface(n).spline, nullptr);
    }
}

TEST_F(NewLensTest, ModelGlassesLeaveTheCacheOnANewLens) {
    GlassCache& cache = glass_cache();
    ASSERT_EQ(cache.count, 1);
    // A catalogue glass behind a model glass: the catalogue glass moves forward.
    GlassData& model = cache.entries[1];
    pad_glass_name("MODEL", model.name);
    model.dispersion_kind = kDispersionModelGlass;
    model.model_indices = alloc_array_of<double>(10);
    GlassData& kept = cache.entries[2];
    pad_glass_name("N-BK7", kept.name);
    kept.dispersion_kind = kDispersionSellmeier;
    cache.count = 3;
    drop_model_glasses();
    EXPECT_EQ(cache.count, 2);
    EXPECT_STREQ(cache.entries[1].name, "N-BK7     ");
    EXPECT_EQ(cache.entries[2].dispersion_kind, 0);
    EXPECT_EQ(cache.entries[2].model_indices, nullptr);
}

TEST_F(NewLensTest, NewLensCommandGivesImageSurfaceAfterTheLensSurfaces) {
    NewLensRequest request;
    request.file_name = "/tmp/lenses/triplet";
    request.surfaces = 5;
    NewLensResult result;
    ASSERT_EQ(new_lens_from_request(request, result), 0);
    EXPECT_EQ(lens_data().image_surface, 6);
    EXPECT_EQ(result.path, "/tmp/lenses/triplet.len");
    EXPECT_NE(test_state_flag(kFlagLensExists), 0);

    request.surfaces = 11;
    ASSERT_EQ(new_lens_from_request(request, result), 0);
    EXPECT_EQ(lens_data().image_surface, 12);
}

TEST_F(NewLensTest, NewLensCommandRefusesMoreSurfacesThanTheLimit) {
    NewLensRequest request;
    request.file_name = "/tmp/a.len";
    request.surfaces = 4;
    NewLensResult result;
    ASSERT_EQ(new_lens_from_request(request, result), 0);
    surface(2).curvature = 0.25;
    request.surfaces = 12;
    EXPECT_EQ(new_lens_from_request(request, result), kMsgSurfaceLimit);
    // Refused before anything was reset.
    EXPECT_EQ(lens_data().image_surface, 5);
    EXPECT_DOUBLE_EQ(surface(2).curvature, 0.25);
}

TEST_F(NewLensTest, NewLensPathsGoIntoTheLensFolder) {
    set_setting_text(kSetCurrentDirectory, "/home/u/lenses", 0);
    std::string path;
    ASSERT_TRUE(new_lens_path("doublet", path));
    EXPECT_EQ(path, "/home/u/lenses/doublet.len");
    ASSERT_TRUE(new_lens_path("sub\\doublet.tav", path));
    EXPECT_EQ(path, "/home/u/lenses/sub/doublet.tav");
    set_setting_flag(kSetTavLensFileExtension, 1);
    ASSERT_TRUE(new_lens_path("/abs/x", path));
    EXPECT_EQ(path, "/abs/x.tav");
    EXPECT_FALSE(new_lens_path("", path));
    EXPECT_FALSE(new_lens_path("folder/", path));
}

TEST_F(NewLensTest, PerfectLens) {
    NewLensRequest request;
    request.command = kCmdNewPerfectLens;
    request.file_name = "/tmp/p.len";
    request.kind = kNewLensPerfect;
    request.focal_length = 50.0;
    request.magnification = -0.5;
    request.numerical_aperture = 0.1;
    NewLensResult result;
    ASSERT_EQ(new_lens_from_request(request, result), 0);
    const LensData& l = lens_data();
    EXPECT_EQ(l.image_surface, 3);
    // |f (1 - m) NA / sqrt(1 - NA^2 m^2)| = 50 * 1.5 * 0.1 / sqrt(1 - 0.0025)
    EXPECT_NEAR(l.entrance_beam_radius, 7.5 / std::sqrt(0.9975), 1e-12);
    // (1 - 1/m) f = 3 * 50
    EXPECT_DOUBLE_EQ(surface(0).thickness, 150.0);
    EXPECT_DOUBLE_EQ(l.object_height, -150e-6);
    EXPECT_EQ(surface(1).group_kind, kGroupElementGroup);
    EXPECT_EQ(surface(1).group_role, kRoleFirst);
    EXPECT_EQ(surface(2).group_role, kRoleLast);
    EXPECT_EQ(surface(2).thickness_kind, kThicknessAxialHeight);
    ASSERT_NE(surface(2).note, nullptr);
    EXPECT_STREQ(surface(2).note, "PERFECT");
    ASSERT_NE(surface(2).perfect_lens, nullptr);
    EXPECT_DOUBLE_EQ(surface(2).perfect_lens->focal_length, 50.0);
    EXPECT_EQ(surface(1).drawing_mode, 3);

    // Magnification 0 keeps the object at infinity; the beam radius is |f NA|.
    request.magnification = 0.0;
    ASSERT_EQ(new_lens_from_request(request, result), 0);
    EXPECT_DOUBLE_EQ(surface(0).thickness, kInfiniteDistance);
    EXPECT_DOUBLE_EQ(lens_data().entrance_beam_radius, 5.0);
    // NA 0 with a finite magnification uses 0.05.
    request.numerical_aperture = 0.0;
    ASSERT_EQ(new_lens_from_request(request, result), 0);
    EXPECT_DOUBLE_EQ(lens_data().entrance_beam_radius, 2.5);
}

}  // namespace
