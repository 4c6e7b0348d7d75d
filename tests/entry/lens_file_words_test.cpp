// Lines as the lens writer forms them (its words carry their own blanks: "RD  " and a number
// give three blanks) read back through lens entry, as the lens reader runs them: every word of
// lens data, surfaces, pickups, solves, options and wavelengths lands in its field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

const std::vector<std::string> kWrittenLens = {
    "LEN NEW \"Written \\\"lens\\\"\" 50.518 5",
    "EBR  6.25",
    "ANG  14",
    "TEM  25",
    "PRE  0.95",
    "DES \"Someone\"",
    "UNI  25.4",
    "GCS 2",
    "SNO1 \"first note\"",
    "SNO10 \"last note\"",
    "// SRF 0",
    "NXT  // SRF 1",
    "RD   40",
    "TH   6",
    "AP CHK 11",
    "CC   -0.5",
    "GSP  0.001",
    "GOR  2",
    "FRN FRESNEL",
    "FCV  0.01",
    "FCC  -1",
    "ASI ALTERNATE",
    "ROD YES",
    "SKP 3",
    "NOT \"front of the singlet\"",
    "NXT  // SRF 2",
    "PK  GLA  -1",
    "PK CV   -1 0",
    "PK TH   -1 0.5",
    "PK  AP  -1",
    "AP CHK 0.0",
    "AST ",
    "TCE  71",
    "NXT  // SRF 3",
    "RFL ",
    "RD   -80",
    "PY   0",
    "RFS 3",
    "NXT  // SRF 4",
    "AIR ",
    "PU   -0.05",
    "ET   2 3",
    "NXT  // SRF 5",
    "AFO 1",
    "CBK 1",
    "AMO UNC ",
    "WRSP Lsf",
    "OPDW Off",
    "APCK Off",
    "EPXY On",
    "CSLV On",
    "NOLC On",
    "GPRT On",
    "GRCK On",
    "RAIM Xrm",
    "HTNU On",
    "ZRXR On",
    "TXYC Off",
    "TTUN Sec",
    "FANR 15",
    "SASD 0.5",
    "XABA 60",
    "WV 0.58756 0.48613 0.65627",
    "WV4 0.7",
    "WW 1 0.5 0.25",
    "WW4 0.125",
    "END 5",
};

TEST_F(Entry, TheLensWritersLinesReadBack) {
    // The reader: the lines run with its word set and state flag 45, the set-up once at the end.
    lens_flags().reading_lens_file = 1;
    set_state_flag(kFlagLensReadInBulk);
    for (const std::string& line : kWrittenLens) {
        EXPECT_EQ(run(line), 0) << line << ": " << error_text();
    }
    clear_state_flag(kFlagLensReadInBulk);
    lens_flags().reading_lens_file = 0;

    const LensData& l = lens_data();
    EXPECT_STREQ(l.title, "Written \"lens\"");
    EXPECT_EQ(l.entrance_beam_radius, 6.25);
    EXPECT_EQ(l.field_angle, 14 * 0.017453292519943295);
    EXPECT_EQ(l.temperature, 25.0);
    EXPECT_EQ(l.reference_temperature, 25.0);  // read from a file: no expansion
    EXPECT_EQ(l.thermal_expansion, 0);
    EXPECT_EQ(l.pressure, 0.95);
    EXPECT_STREQ(l.designer, "Someone");
    EXPECT_EQ(l.units, 25.4);
    EXPECT_EQ(l.global_coordinate_surface, 2);
    EXPECT_STREQ(l.notes[0], "first note");
    EXPECT_STREQ(l.notes[9], "last note");

    const SurfaceRecord& s1 = surface(1);
    EXPECT_EQ(s1.curvature, 1.0 / 40);
    EXPECT_EQ(s1.thickness, 6.0);
    EXPECT_EQ(s1.aperture_radius, 11.0);
    EXPECT_EQ(s1.aperture_check, 1);
    EXPECT_EQ(s1.conic, -0.5);
    EXPECT_EQ(s1.grating_spacing, 0.001);
    EXPECT_EQ(s1.diffraction_order, 2);
    EXPECT_EQ(s1.fresnel, 1);
    EXPECT_EQ(s1.fresnel_curvature, 0.01);
    EXPECT_EQ(s1.fresnel_conic, -1.0);
    EXPECT_EQ(s1.alternate_intersection, 1);
    EXPECT_EQ(s1.rod, 1);
    EXPECT_EQ(s1.skip_to, 3);
    ASSERT_NE(s1.note, nullptr);
    EXPECT_STREQ(s1.note, "front of the singlet");

    const SurfaceRecord& s2 = surface(2);
    EXPECT_EQ(s2.medium_kind, kMediumPickup);
    EXPECT_EQ(s2.medium_source, 1);
    EXPECT_EQ(s2.curvature_kind, kCurvaturePickup);
    EXPECT_EQ(s2.curvature_source, 1);
    EXPECT_EQ(s2.thickness_kind, kThicknessPickup);
    EXPECT_EQ(s2.thickness_solve_value, 0.5);
    EXPECT_EQ(s2.aperture_kind, kAperturePickup);
    EXPECT_EQ(s2.aperture_check, 1);
    EXPECT_EQ(s2.medium_tce, 71.0);
    EXPECT_EQ(l.aperture_stop, 2);

    EXPECT_EQ(surface(3).medium_kind, kMediumMirror);
    EXPECT_EQ(surface(3).thickness_kind, kThicknessAxialHeight);
    EXPECT_EQ(l.reference_surface, 3);
    EXPECT_EQ(surface(4).medium_kind, kMediumAir);
    EXPECT_EQ(surface(4).curvature_kind, kCurvatureAxialSlope);
    EXPECT_EQ(surface(4).curvature_solve_value, -0.05);
    EXPECT_EQ(surface(4).thickness_kind, kThicknessEdge);
    EXPECT_EQ(surface(4).thickness_solve_value2, 3.0);
    EXPECT_EQ(l.image_surface, 5);

    EXPECT_EQ(l.afocal, 1);
    EXPECT_EQ(l.cbk, 1);
    EXPECT_EQ(l.afocal_mode, 2);
    EXPECT_EQ(l.wrsp, 2);
    EXPECT_EQ(l.opdw, 0);
    EXPECT_EQ(l.apck, 0);
    EXPECT_EQ(l.epxy, 1);
    EXPECT_EQ(l.solves_all_configurations, 1);
    EXPECT_EQ(l.nolc, 1);
    EXPECT_EQ(l.gprt, 1);
    EXPECT_EQ(l.grck, 1);
    EXPECT_EQ(l.aim_mode, 4);
    EXPECT_EQ(l.htnu, 1);
    EXPECT_EQ(l.zrxr, 1);
    EXPECT_EQ(l.txyc, 0);
    EXPECT_EQ(l.tolerance_angle_units, 3);
    EXPECT_EQ(l.fan_rays, 15);
    EXPECT_EQ(l.sasd, 0.5);
    EXPECT_EQ(l.xaba, 60.0);
    ASSERT_EQ(l.wavelength_count, 4);
    EXPECT_EQ(l.wavelengths[1].wavelength, 0.48613);
    EXPECT_EQ(l.wavelengths[3].wavelength, 0.7);
    EXPECT_EQ(l.wavelengths[2].weight, 0.25);
    EXPECT_EQ(l.wavelengths[3].weight, 0.125);
    EXPECT_EQ(test_state_flag(kFlagLensEntryInProgress), 0);
}

}  // namespace
