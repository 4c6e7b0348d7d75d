// Foreign lens files written as design programs write them (the fixtures under
// tests/fixtures/foreign, written here by hand in those formats): each imports to the lens the
// same data typed as native lines give, with its first-order listing equal to theirs and its
// focal length and back focus those of a y-nu trace made here of the file's radii and
// thicknesses with the indices the lens holds.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "lens/import_frame.h"
#include "lens/lens_data.h"
#include "tests/entry/entry_fixture.h"
#include "tests/support/temp_tree.h"
#include "trace/sag_point.h"
#include "trace/surface_sag.h"

namespace {

namespace fs = std::filesystem;
using entry_test::Entry;
using entry_test::number_after;

constexpr double kDegreeInRadians = 3.14159265358979323846 / 180.0;

std::string foreign_fixture(const char* name) {
    return (fs::path(TAVO_FIXTURES_DIR) / "foreign" / name).string();
}

// The axial ray of an object at infinity through surfaces with curvatures c, thicknesses t
// behind them and indices n behind them (1 before the first): focal length and back focus.
struct FirstOrder {
    double focal_length, back_focus;
};
FirstOrder trace_y_nu(const std::vector<double>& c, const std::vector<double>& t,
                      const std::vector<double>& n) {
    double y = 1.0, nu = 0.0, before = 1.0;
    for (std::size_t k = 0; k < c.size(); ++k) {
        nu -= y * c[k] * (n[k] - before);
        if (k + 1 < c.size()) y += t[k] * nu / n[k];
        before = n[k];
    }
    return {-before / nu, -y * before / nu};
}

struct ForeignCase {
    const char* file;
    std::vector<std::string> typed;  // the same lens as native lines
    std::vector<double> curvatures;  // surfaces 1 .. image-1
    std::vector<double> thicknesses;
    int stop;
    double beam_radius;
    double field_degrees;
    std::vector<double> wavelengths;  // micrometres, primary first
    std::vector<double> weights;
    std::vector<const char*> glasses;  // stored medium names, blank-padded
    const char* title;
};

const ForeignCase kCases[] = {
    // "RDM N;LEN ..." on one line: curvatures; SO at 1e13 is at infinity; WTF, CCY, THC, VUY
    // and VLY are taken in silence.
    {"singlet_curvatures.seq",
     {"LEN NEW \"Typed\"", "WV 0.58756 0.48613 0.65627", "WW 2 1 1", "TH 1e20", "ANG 3", "EBR 5",
      "NXT", "AST", "RD 50", "TH 4", "GLA MOD SRF1GL 1.517 64.2", "NXT", "SRF -50 46 AIR", "END"},
     {0.02, -0.02},
     {4.0, 46.0},
     1,
     5.0,
     3.0,
     {0.58756, 0.48613, 0.65627},
     {2.0, 1.0, 1.0},
     {"SRF1GL    ", "AIR       "},
     "Biconvex singlet given by cur..."},
    // Lower-case keywords, '!' comments, a catalogue name without its hyphen.
    {"achromat_lower_case.seq",
     {"LEN NEW \"Typed\"", "WV 0.58756 0.48613 0.65627", "TH 1e20", "ANG 2.5", "EBR 10", "NXT",
      "AST", "SRF 61.47 6 N-BK7", "SRF -44.64 2.5 N-SF5", "SRF -129.94 95 AIR", "END"},
     {1.0 / 61.47, -1.0 / 44.64, -1.0 / 129.94},
     {6.0, 2.5, 95.0},
     1,
     10.0,
     2.5,
     {0.58756, 0.48613, 0.65627},
     {1.0, 1.0, 1.0},
     {"N-BK7     ", "N-SF5     ", "AIR       "},
     "Achromat in lower case"},
    // A fictitious glass as nd:vd and as a six-digit code; "STO r t glass" is a surface line;
    // TEM, SLB and CIR carry nothing for the first-order data.
    {"triplet_fictitious.seq",
     {"LEN NEW \"Typed\"", "WV 0.58756", "TH 1e20", "EBR 6.25", "NXT", "RD 21.48", "TH 2",
      "GLA MOD SRF1GL 1.6204 60.32", "NXT", "SRF -124.1 5.26 AIR", "AST", "RD -19.1", "TH 1.25",
      "GLA MOD SRF3GL 1.62 36.3", "NXT", "SRF 22 4.69 AIR", "SRF 328.9 2.25 N-SK16",
      "SRF -16.7 43 AIR", "END"},
     {1.0 / 21.48, -1.0 / 124.1, -1.0 / 19.1, 1.0 / 22.0, 1.0 / 328.9, -1.0 / 16.7},
     {2.0, 5.26, 1.25, 4.69, 2.25, 43.0},
     3,
     6.25,
     -1.0,
     {0.58756},
     {1.0},
     {"SRF1GL    ", "AIR       ", "SRF3GL    ", "AIR       ", "N-SK16    ", "AIR       "},
     "Triplet with fictitious glasses"},
    // UTF-16 with a byte-order mark; wavelengths on WAVM lines; header lines of no use.
    {"doublet_wavm_utf16.zmx",
     {"LEN NEW \"Typed\"",
      "WV 0.5875618 0.4861327 0.6562725",
      "WW 2 1 1",
      "TH 1e20",
      "ANG 3.5",
      "EBR 10",
      "NXT",
      "AST",
      "CV 1.6268708038E-2",
      "TH 6",
      "GLA N-BK7",
      "NXT",
      "CV -2.2401433692E-2",
      "TH 2.5",
      "GLA N-SF5",
      "NXT",
      "CV -7.6958596275E-3",
      "TH 95",
      "NXT",
      "END"},
     {1.6268708038E-2, -2.2401433692E-2, -7.6958596275E-3},
     {6.0, 2.5, 95.0},
     1,
     10.0,
     3.5,
     {0.5875618, 0.4861327, 0.6562725},
     {2.0, 1.0, 1.0},
     {"N-BK7     ", "N-SF5     ", "AIR       "},
     "Cemented doublet, wavelengths..."},
    // UTF-8; BK7 of the catalogue named in GCAT is now N-BK7 (said); SF5 is still listed.
    {"achromat_old_names_utf8.zmx",
     {"LEN NEW \"Typed\"", "WV 0.5875618 0.4861327 0.6562725", "TH 1e20", "ANG 4", "EBR 10", "NXT",
      "AST", "CV 1.6268708038E-2", "TH 6", "GLA N-BK7", "NXT", "CV -2.2401433692E-2", "TH 2.5",
      "GLA SF5", "NXT", "CV -7.6958596275E-3", "TH 95", "NXT", "END"},
     {1.6268708038E-2, -2.2401433692E-2, -7.6958596275E-3},
     {6.0, 2.5, 95.0},
     1,
     10.0,
     4.0,
     {0.5875618, 0.4861327, 0.6562725},
     {1.0, 1.0, 1.0},
     {"N-BK7     ", "SF5       ", "AIR       "},
     "Achromat, anciens noms \xE9"},
    // ISO-8859-1; the aperture as an F-number (the beam radius is f / 20).
    {"landscape_latin1.zmx",
     {"LEN NEW \"Typed\"", "WV 0.5875618", "TH 1e20", "ANG 20", "EBR 5.2373600", "NXT", "AST",
      "SRF 0 10 AIR", "CV -1.5384615385E-2", "TH 3", "GLA N-BK7", "NXT", "CV -3.3333333333E-2",
      "TH 95", "NXT", "END"},
     {0.0, -1.5384615385E-2, -3.3333333333E-2},
     {10.0, 3.0, 95.0},
     1,
     -1.0,  // checked against the focal length below
     20.0,
     {0.5875618},
     {1.0},
     {"AIR       ", "N-BK7     ", "AIR       "},
     "Paysage r\xE9gl\xE9 f/10"},
};

class ForeignFiles : public Entry {
protected:
    int import(const std::string& path) {
        take_output();
        const int rc = run("import_lens 0 \"" + path + "\"");
        imported_output_ = take_output();
        return rc;
    }
    std::string first_order_listing() {
        take_output();
        EXPECT_EQ(run("first_order"), 0) << error_text();
        return take_output();
    }
    std::string imported_output_;
};

TEST_F(ForeignFiles, EachFixtureImportsAsTheSameLensTyped) {
    for (const ForeignCase& c : kCases) {
        SCOPED_TRACE(c.file);
        ASSERT_EQ(import(foreign_fixture(c.file)), 0) << error_text();
        EXPECT_EQ(imported_output_.find("Unknown command"), std::string::npos) << imported_output_;
        EXPECT_EQ(imported_output_.find("not used"), std::string::npos) << imported_output_;
        const LensData& l = lens_data();
        const int image = static_cast<int>(c.curvatures.size()) + 1;
        ASSERT_EQ(l.image_surface, image);
        EXPECT_EQ(l.aperture_stop, c.stop);
        EXPECT_STREQ(l.title, c.title);
        EXPECT_GE(surface(0).thickness, 1e20);
        std::vector<double> indices;
        for (int k = 1; k < image; ++k) {
            SCOPED_TRACE(k);
            const SurfaceRecord& s = surface(k);
            EXPECT_NEAR(s.curvature, c.curvatures[k - 1], 1e-12);
            EXPECT_DOUBLE_EQ(s.thickness, c.thicknesses[k - 1]);
            EXPECT_STREQ(s.medium_name, c.glasses[k - 1]);
            indices.push_back(s.index != nullptr ? s.index[0] : 1.0);
        }
        ASSERT_EQ(l.wavelength_count, static_cast<int>(c.wavelengths.size()));
        for (int w = 0; w < l.wavelength_count; ++w) {
            EXPECT_NEAR(l.wavelengths[w].wavelength, c.wavelengths[w], 1e-12);
            EXPECT_DOUBLE_EQ(l.wavelengths[w].weight, c.weights[w]);
        }
        const FirstOrder expected = trace_y_nu(c.curvatures, c.thicknesses, indices);
        if (c.beam_radius > 0.0) {
            EXPECT_NEAR(l.entrance_beam_radius, c.beam_radius, 1e-9);
        } else {
            EXPECT_NEAR(l.entrance_beam_radius, expected.focal_length / 20.0, 1e-6);
        }
        if (c.field_degrees > 0.0) {
            EXPECT_EQ(l.field_is_angle, 1);
            EXPECT_NEAR(l.field_angle, c.field_degrees * kDegreeInRadians, 1e-12);
        }
        const std::string imported = first_order_listing();
        const double focal_length = number_after(imported, "FOCAL LENGTH");
        const double back_focus = number_after(imported, "IMAGE DISTANCE");
        EXPECT_NEAR(focal_length / expected.focal_length, 1.0, 1e-6) << imported;
        EXPECT_NEAR(back_focus / expected.back_focus, 1.0, 1e-6) << imported;

        run_all(c.typed);
        EXPECT_EQ(first_order_listing(), imported);
    }
}

// A name no catalogue holds is said and counted; so is a line no keyword takes.
TEST_F(ForeignFiles, LinesNotUsedAreCountedInOneMessage) {
    ASSERT_EQ(import(foreign_fixture("unknown_glass.seq")), 0) << error_text();
    EXPECT_NE(imported_output_.find("glass NOSUCHGLASS_SCHOTT is in no catalogue"),
              std::string::npos)
        << imported_output_;
    // FRZ is no keyword of any command: named once at the end, not reported line by line.
    EXPECT_EQ(imported_output_.find("Unknown command"), std::string::npos) << imported_output_;
    EXPECT_NE(imported_output_.find("Lines of the file not used: 2."), std::string::npos)
        << imported_output_;
    EXPECT_NE(imported_output_.find("Keywords of the file that no command takes: FRZ\n"),
              std::string::npos)
        << imported_output_;
    // The old name with one successor is said, but the line was used.
    ASSERT_EQ(import(foreign_fixture("achromat_old_names_utf8.zmx")), 0) << error_text();
    EXPECT_NE(imported_output_.find("glass BK7 is no longer in the catalogue; N-BK7"),
              std::string::npos)
        << imported_output_;
    EXPECT_EQ(imported_output_.find("not used"), std::string::npos) << imported_output_;
}

// The values of a listing row of surface n ("--" is 0), after the surface number.
std::vector<double> row_of(const std::string& listing, int n) {
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        int first = -1;
        if (!(words >> first) || first != n) continue;
        std::vector<double> values;
        std::string word;
        while (words >> word) values.push_back(word == "--" ? 0.0 : std::stod(word));
        return values;
    }
    return {};
}

// A Schmidt camera: a corrector plate whose second line holds its conic and even terms after
// ASP (A to E, r^4 to r^12, with the intersection code IC and the variable codes CUF and AC the
// program has no use for), a spherical mirror given by REFL in the glass field, the image.
TEST_F(ForeignFiles, ASchmidtCameraKeepsItsMirrorAndItsAsphere) {
    ASSERT_EQ(import(foreign_fixture("schmidt_camera.seq")), 0) << error_text();
    EXPECT_EQ(imported_output_.find("Unknown command"), std::string::npos) << imported_output_;
    EXPECT_EQ(imported_output_.find("Error while compiling"), std::string::npos)
        << imported_output_;
    EXPECT_NE(imported_output_.find("Lines of the file not used: 3."), std::string::npos)
        << imported_output_;
    EXPECT_NE(imported_output_.find("Keywords of the file that no command takes: IC, CUF, AC\n"),
              std::string::npos)
        << imported_output_;
    ASSERT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(surface(3).medium_kind, kMediumMirror);
    EXPECT_DOUBLE_EQ(surface(1).conic, -1.0);

    const double n = surface(1).index != nullptr ? surface(1).index[0] : 0.0;
    ASSERT_GT(n, 1.5);
    const FirstOrder expected =
        trace_y_nu({1.0 / 5000.0, 0.0, -1.0 / 200.0}, {5.0, 195.0, -100.0}, {n, 1.0, -1.0});
    const double focal_length = number_after(first_order_listing(), "FOCAL LENGTH");
    EXPECT_NEAR(focal_length / expected.focal_length, 1.0, 1e-6);
    EXPECT_NEAR(expected.focal_length, -101.0, 0.1);  // the mirror's -100 and the plate's power

    // The corrector's sag: a paraboloid of radius 5000 plus A h^4 + B h^6 + E h^12.
    for (const double h : {5.0, 10.0, 20.0}) {
        SCOPED_TRACE(h);
        const double sag = h * h / (2.0 * 5000.0) - 2.0e-7 * std::pow(h, 4) +
                           3.0e-11 * std::pow(h, 6) + 1.0e-20 * std::pow(h, 12);
        take_output();
        ASSERT_EQ(run("surface_sag 1 " + std::to_string(h)), 0) << error_text();
        // The row under the heading: y, x ("--"), sag, the normal.
        const std::string listing = take_output();
        const std::size_t heading = listing.find("NZ\n");
        ASSERT_NE(heading, std::string::npos) << listing;
        std::istringstream row(listing.substr(heading + 3));
        std::string y, x;
        double listed = 0.0;
        ASSERT_TRUE(row >> y >> x >> listed) << listing;
        EXPECT_NEAR(listed, sag, 1e-6);
        SagPoint point;
        surface_sag_normal(surface(1), 0.0, h, point);
        EXPECT_NEAR(point.z, sag, 1e-12);
    }
}

// A plano-convex cylinder lens: a toroidal surface with a curvature in y and no radius of
// rotation, so flat across. A ray at the pupil's x edge crosses it unbent; one at its y edge
// meets the image where a meridional trace written here puts it, near the paraxial focus the
// file's last thickness gives.
TEST_F(ForeignFiles, AToroidalSurfaceWithoutARadiusOfRotationIsACylinder) {
    ASSERT_EQ(import(foreign_fixture("cylinder_toroidal.zmx")), 0) << error_text();
    EXPECT_EQ(imported_output_.find("Unknown command"), std::string::npos) << imported_output_;
    EXPECT_NE(imported_output_.find("Keywords of the file that no command takes: MEMA, DER\n"),
              std::string::npos)
        << imported_output_;
    const SurfaceRecord& s = surface(1);
    EXPECT_EQ(s.toric, 1);
    EXPECT_EQ(s.x_curvature, 0.0);
    EXPECT_DOUBLE_EQ(s.curvature, 0.02);
    const double n = s.index != nullptr ? s.index[0] : 0.0;
    ASSERT_GT(n, 1.5);

    take_output();
    ASSERT_EQ(run("trace_single_ray 0 0 0 0 0 0 1"), 0) << error_text();
    std::vector<double> row = row_of(take_output(), 3);
    ASSERT_GE(row.size(), 5u);
    EXPECT_NEAR(row[0], 0.0, 1e-9);  // y
    EXPECT_NEAR(row[1], 5.0, 1e-9);  // x: the beam radius, unbent
    EXPECT_NEAR(row[4], 0.0, 1e-9);  // its angle in x

    // The edge ray in the y section: refracted at the sphere, then at the plane.
    const double r = 50.0, h = 5.0, t = 5.0, back = 93.45;
    const double z1 = r - std::sqrt(r * r - h * h);
    const double sin_in = h / r;
    const double angle = std::asin(sin_in) - std::asin(sin_in / n);  // below the axis, inside
    const double y2 = h - (t - z1) * std::tan(angle);
    const double out = std::asin(n * std::sin(angle));
    const double y_image = y2 - back * std::tan(out);
    take_output();
    ASSERT_EQ(run("trace_single_ray 0 0 0 0 0 1 0"), 0) << error_text();
    row = row_of(take_output(), 3);
    ASSERT_GE(row.size(), 2u);
    EXPECT_NEAR(row[0], y_image, 2e-6);
    EXPECT_NEAR(row[1], 0.0, 1e-9);

    const FirstOrder paraxial = trace_y_nu({0.02, 0.0}, {t, back}, {n, 1.0});
    EXPECT_NEAR(paraxial.back_focus, back, 0.01);
    const double image_distance = number_after(first_order_listing(), "IMAGE DISTANCE");
    EXPECT_NEAR(image_distance, paraxial.back_focus, 1e-5);
}

// A lens larger than the program holds is refused before anything is read: the lens before
// stays, listing for listing.
TEST_F(ForeignFiles, AFileOverTheSurfaceLimitLeavesTheLensAsItWas) {
    ASSERT_EQ(import(foreign_fixture("achromat_lower_case.seq")), 0) << error_text();
    take_output();
    ASSERT_EQ(run("LEN -1"), 0) << error_text();
    const std::string before = take_output();
    for (const char* file : {"too_many_surfaces.seq", "too_many_surfaces.zmx"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(import(foreign_fixture(file)), kErrorTextReady);
        ASSERT_LT(surface_limit(), 14);
        EXPECT_EQ(error_text(), foreign_fixture(file) +
                                    " describes a lens of 14 surfaces; this program holds at "
                                    "most " +
                                    std::to_string(surface_limit()) + ". The lens is unchanged");
        take_output();
        ASSERT_EQ(run("LEN -1"), 0) << error_text();
        EXPECT_EQ(take_output(), before);
    }
}

}  // namespace
