// Foreign lens files imported as a user does it: "import_lens" typed on the command line with a
// file written here by hand, then the first-order listing read back. The focal lengths are
// computed here by a y-nu trace of the radii, thicknesses and indices the fixture gives (glasses
// by code or by index and Abbe number, so that no catalogue decides the result).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lens/import_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/surface_materials.h"
#include "runtime/settings.h"
#include "tests/entry/entry_fixture.h"
#include "tests/support/temp_tree.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "trace/surface_sag.h"

namespace {

namespace fs = std::filesystem;
using entry_test::Entry;
using entry_test::number_after;

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// Paraxial focal length of surfaces in air with radii r (0 plane), thicknesses t between them and
// the index after each surface: y-nu trace of a ray parallel to the axis.
double paraxial_focal_length(const std::vector<double>& r, const std::vector<double>& t,
                             const std::vector<double>& n_after) {
    double y = 1.0;
    double nu = 0.0;
    double n_before = 1.0;
    for (std::size_t k = 0; k < r.size(); ++k) {
        const double c = r[k] == 0.0 ? 0.0 : 1.0 / r[k];
        nu -= y * c * (n_after[k] - n_before);
        if (k < t.size()) y += t[k] * nu / n_after[k];
        n_before = n_after[k];
    }
    return -n_before / nu;
}

// The doublet every format describes: stop on the first surface, 20 mm entrance pupil, three
// wavelengths with the d line primary, field angles up to -7 degrees.
const std::vector<double> kRadii = {61.4704, -44.64, -129.94};
const std::vector<double> kThicknesses = {6.0, 2.5};

const char* const kZmxDoublet[] = {
    "VERS 190513 80 123457",
    "MODE SEQ",
    "NAME Cemented doublet",
    "UNIT MM X W X CM MR CPMM",
    "ENPD 20",
    "FTYP 0 0 3 3 0 0 0",
    "XFLN 0 0 0",
    "YFLN 0 5 -7",
    "WAVL 0.4861327 0.5875618 0.6562725",
    "PWAV 2",
    "SURF 0",
    "  TYPE STANDARD",
    "  CURV 0.0 0 0 0 0 \"\"",
    "  DISZ INFINITY",
    "SURF 1",
    "  STOP",
    "  TYPE STANDARD",
    "  CURV 0.016267992399593 0 0 0 0 \"\"",
    "  GLAS XGLASA 0 0 1.5168 64.17 0 0 0 0 0 0",
    "  DISZ 6",
    "  DIAM 12 1 0 0 1 \"\"",
    "SURF 2",
    "  TYPE STANDARD",
    "  CURV -0.022401433691756 0 0 0 0 \"\"",
    "  GLAS XGLASB 0 0 1.6727 32.17 0 0 0 0 0 0",
    "  DISZ 2.5",
    "SURF 3",
    "  TYPE STANDARD",
    "  CURV -0.0076958596275204 0 0 0 0 \"\"",
    "  DISZ 95",
    "SURF 4",
    "  TYPE STANDARD",
    "  CURV 0.0 0 0 0 0 \"\"",
};

// The same doublet with glass codes; the wavelengths in nanometres, the d line in the middle
// (no reference wavelength: the middle one becomes the primary).
const char* const kSeqDoublet[] = {
    "RDM",
    "LEN",
    "TITLE 'Cemented doublet'",
    "DES 'JS'",
    "EPD 20",
    "DIM M",
    "WL 486.1327 587.5618 656.2725",
    "YAN 0 5 -7",
    "SO 0 1e20",
    "S 61.4704 6 517642",
    "STO",
    "CIR 12",
    "S -44.64 2.5 672.322",
    "S -129.94 95",
    "SI 0 0",
    "GO",
};

// The doublet as a lens-card file: indices at each wavelength; the object height gives a small
// field at infinity.
const char* const kCardDoublet[] = {
    "Some header text",
    "LENS",
    "KQD00 Cemented doublet",
    "WV 0.5875618 0.4861327 0.6562725 0",
    "OBJ 1e18 10",
    "TH 1e20",
    "AIR",
    "RD 61.4704",
    "TH 6",
    "AST",
    "CIR 12",
    "GLASS XGA 1.5168 1.52237 1.51432",
    "RD -44.64",
    "TH 2.5",
    "GLASSXGB 1.6727 1.68749 1.66661",
    "RD -129.94",
    "TH 95",
    "AIR",
    "; a comment",
};

// The doublet as a ".dat" file: wavelengths in millimetres, the beam radius from B x C, the
// indices in front of each surface, the glasses named on the medium lines.
const char* const kDatDoublet[] = {
    "Cemented doublet",
    "DAT,0",
    "0,10,0,0",
    "0,1",
    "3,0,1,3,3",
    "skipped",
    "0.0005875618,0.0004861327,0.0006562725,0,0,1,1,1,0,0",
    "0,5,-7,0,0",
    "skipped",
    "S,,,0.016267992399593,0,0,0,1,1,1,0,12",
    "1,0,0,0,0,0,0,0,0,0,AIR,",
    "S,,,-0.022401433691756,6,0,0,1.5168,1.52237,1.51432,0,0",
    "1,0,0,0,0,0,0,0,0,0,XA,",
    "S,,,-0.0076958596275204,2.5,0,0,1.6727,1.68749,1.66661,0,0",
    "1,0,0,0,0,0,0,0,0,0,XB,",
    "S,,,0,95,0,0,1,1,1,0,0",
    "1,0,0,0,0,0,0,0,0,0,AIR,",
};

// The doublet as a ".len" file, with a second configuration that must not reach the lens and
// lines after the end of the file.
const char* const kLenDoublet[] = {
    "Cemented doublet", "NSURF,4",
    "NCONFIG,2",        "INFIN,0",
    "MAG,10",           "FNUM,1",
    "STOP,1",           "WAVL,0.0005875618,0.0004861327,0.0006562725",
    "FIELD,0,5",        "FIELD2,-7",
    "OBJECT",           "0,0,0",
    "SURFACE,1",        "CURV,0.016267992399593,0,12",
    "SURFACE,2",        "CURV,-0.022401433691756,0,0",
    "THICK,6",          "GLASS,XA,1.5168,1.52237,1.51432",
    "SURFACE,3.",       "CURV,-0.0076958596275204,0,0",
    "THICK,2.5",        "GLASS,XB,1.6727,1.68749,1.66661",
    "SURFACE,4",        "CURV,0,0,0",
    "THICK,95",         "GLASS, ,1.0",
    "CONFIG,2",         "THICK,50",
    "CONFIG,1",         "ENDFILE",
    "SURFACE,9",
};

std::string join_lines(const char* const* lines, std::size_t count, const char* end) {
    std::string text;
    for (std::size_t k = 0; k < count; ++k) text += std::string(lines[k]) + end;
    return text;
}

// UTF-16 with its byte-order mark, little or big endian.
std::string utf16(const std::string& text, bool little) {
    std::string bytes = little ? std::string("\xFF\xFE", 2) : std::string("\xFE\xFF", 2);
    for (const char c : text) {
        const char unit[2] = {little ? c : '\0', little ? '\0' : c};
        bytes.append(unit, 2);
    }
    return bytes;
}

class Import : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        folder_ = run_.tree.base() / "foreign";
        fs::create_directories(folder_);
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(folder_ / name, std::ios::binary);
        out << bytes;
        return (folder_ / name).string();
    }
    std::string write_lines(const std::string& name, const std::vector<std::string>& lines) const {
        std::string text;
        for (const std::string& l : lines) text += l + "\n";
        return write(name, text);
    }
    // Imports path with kind 0 (by extension): the command's result; the output is kept.
    int import(const std::string& path, int kind = 0) {
        take_output();
        const int rc = run("import_lens " + std::to_string(kind) + " \"" + path + "\"");
        imported_output_ = take_output();
        status_ = ui().status_text();
        return rc;
    }
    bool box_shown(const std::string& text) const {
        for (const auto& box : const_cast<Import*>(this)->ui().message_boxes_shown())
            if (box.text.find(text) != std::string::npos) return true;
        return false;
    }
    double listed_focal_length() {
        take_output();
        EXPECT_EQ(run("fir"), 0);
        return number_after(take_output(), "FOCAL LENGTH");
    }

    fs::path folder_;
    std::string imported_output_;
    std::string status_;  // the status line right after the import
};

TEST_F(Import, DoubletOfEveryFormatHasItsFocalLengthStopApertureFieldAndWavelengths) {
    const std::string zmx = join_lines(kZmxDoublet, std::size(kZmxDoublet), "\n");
    const std::string zmx_crlf = join_lines(kZmxDoublet, std::size(kZmxDoublet), "\r\n");
    const std::string seq = join_lines(kSeqDoublet, std::size(kSeqDoublet), "\n");
    const std::string card = join_lines(kCardDoublet, std::size(kCardDoublet), "\r\n");
    struct Case {
        const char* name;
        std::string bytes;
        double n1, n2;  // indices at the primary wavelength
        bool angle;     // field angle -7 degrees, else object height 1e18
    };
    const Case cases[] = {
        {"doublet.zmx", zmx, 1.5168, 1.6727, true},
        {"DOUBLET16.ZMX", utf16(zmx_crlf, true), 1.5168, 1.6727, true},
        {"doublet16be.zmx", utf16(zmx, false), 1.5168, 1.6727, true},
        {"doublet8bom.zmx", "\xEF\xBB\xBF" + zmx_crlf, 1.5168, 1.6727, true},
        // 517642: index 1.517, Abbe 64.2; 672.322: index 1.672, Abbe 32.2.
        {"doublet.seq", seq, 1.517, 1.672, true},
        {"doublet.txt", card, 1.5168, 1.6727, false},
        {"doublet.dat", join_lines(kDatDoublet, std::size(kDatDoublet), "\r\n"), 1.5168, 1.6727,
         true},
        {"doublet.len", join_lines(kLenDoublet, std::size(kLenDoublet), "\n"), 1.5168, 1.6727,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = write(c.name, c.bytes);
        ASSERT_EQ(import(path), 0) << error_text();
        EXPECT_NE(status_.find("imported from " + path), std::string::npos) << status_;
        EXPECT_EQ(imported_output_.find("Unknown command"), std::string::npos) << imported_output_;
        const double expected = paraxial_focal_length(kRadii, kThicknesses, {c.n1, c.n2, 1.0});
        const double listed = listed_focal_length();
        // The listing prints six decimals.
        EXPECT_NEAR(listed, expected, 0.6e-6);
        const LensData& l = lens_data();
        EXPECT_EQ(l.image_surface, 4);
        EXPECT_EQ(l.aperture_stop, 1);
        EXPECT_EQ(l.aperture_is_na, 0);
        EXPECT_NEAR(l.entrance_beam_radius, 10.0, 1e-9);
        if (c.angle) {
            EXPECT_EQ(l.field_is_angle, 1);
            EXPECT_NEAR(l.field_angle, -7.0 * kDegree, 1e-12);
        } else {
            EXPECT_EQ(l.field_is_angle, 0);
            EXPECT_DOUBLE_EQ(l.object_height, 1e18);
        }
        ASSERT_EQ(l.wavelength_count, 3);
        EXPECT_NEAR(l.wavelengths[0].wavelength, 0.5875618, 1e-12);
        EXPECT_NEAR(l.wavelengths[1].wavelength, 0.4861327, 1e-12);
        EXPECT_NEAR(l.wavelengths[2].wavelength, 0.6562725, 1e-12);
        EXPECT_STREQ(l.title, "Cemented doublet");
        EXPECT_EQ(std::string(get_setting_text(kSetLensFile, 0)), path);
    }
}

TEST_F(Import, KindComesFromTheExtensionIgnoringCase) {
    struct Case {
        int kind;
        const char* path;
        int expected;
    };
    const Case cases[] = {
        {0, "/a/LENS.ZMX", kImportZmx},       {0, "/a/lens.Seq", kImportSeq},
        {0, "/a/lens.LNS", kImportLenLnsDat}, {0, "/a/lens.dat", kImportLenLnsDat},
        {0, "/a/lens.len", kImportLenLnsDat}, {0, "/a/lens.txt", kImportLensCard},
        {0, "/a/lens", kImportLensCard},      {0, "/a.b/lens", kImportLensCard},
        {5, "/a/lens.zmx", kImportLensCard},  {3, "/a/lens.zmx", kImportSeq},
        {-2, "/a/lens.seq", kImportLensCard}, {4, "/a/lens", kImportZmx},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(import_kind_for(c.kind, c.path), c.expected) << c.kind << " " << c.path;
    }
}

TEST_F(Import, ZmxEdgeCases) {
    const std::string path = write_lines("edges.zmx", {"NAME",
                                                       "WAVL 0.486 0.588 0.656",
                                                       "PWAV 2",
                                                       "FTYP 0",
                                                       "YFLN 0 10 -14",
                                                       "SURF 0",
                                                       "DISZ INF",
                                                       "SURF 1",
                                                       "RADI 50",
                                                       "DISZ 5",
                                                       "GLAS N-BK7",
                                                       "SURF 2",
                                                       "RADI INFINITY",
                                                       "GLAS MIRROR",
                                                       "DISZ 10",
                                                       "SURF 3",
                                                       "GLAS N-BK7",
                                                       "DISZ 4",
                                                       "SURF 4",
                                                       "GLAS XYZGLASS 0 0 1.6 40",
                                                       "DISZ 3",
                                                       "SURF 5",
                                                       "GLAS NOSUCHGLASS",
                                                       "DISZ 2",
                                                       "SURF 6",
                                                       "OBSC 0 2",
                                                       "SURF 7",
                                                       "OBSC 2 10",
                                                       "CLAP 0 1e10",
                                                       "SURF 8",
                                                       "TYPE COORDBRK",
                                                       "PARM 1 0.5",
                                                       "PARM 2 -0.25",
                                                       "PARM 3 10",
                                                       "PARM 4 0",
                                                       "PARM 5 0",
                                                       "SURF 9",
                                                       "BOGUS 1 2 3",
                                                       "SURF 10"});
    ASSERT_EQ(import(path), 0) << error_text();
    const LensData& l = lens_data();
    // Reference wavelength 2 of 0.486, 0.588, 0.656.
    ASSERT_EQ(l.wavelength_count, 3);
    EXPECT_DOUBLE_EQ(l.wavelengths[0].wavelength, 0.588);
    EXPECT_DOUBLE_EQ(l.wavelengths[1].wavelength, 0.486);
    EXPECT_DOUBLE_EQ(l.wavelengths[2].wavelength, 0.656);
    EXPECT_NEAR(l.field_angle, -14.0 * kDegree, 1e-12);
    EXPECT_DOUBLE_EQ(surface(0).thickness, kInfiniteDistance);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.02);
    EXPECT_DOUBLE_EQ(surface(2).curvature, 0.0);
    EXPECT_EQ(surface(2).medium_kind, kMediumMirror);
    // After one mirror a catalogue glass runs backwards; air keeps its sign.
    EXPECT_EQ(surface(3).medium_kind, kMediumGlass);
    EXPECT_DOUBLE_EQ(surface(3).thickness, -4.0);
    EXPECT_DOUBLE_EQ(surface(2).thickness, 10.0);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 5.0);
    EXPECT_EQ(surface(4).medium_kind, kMediumModelIndexAbbe);
    EXPECT_EQ(std::string(surface(4).medium_name).substr(0, 8), "XYZGLASS");
    // The unknown glass without index and Abbe number keeps air and is reported.
    EXPECT_EQ(surface(5).medium_kind, kMediumAir);
    EXPECT_NE(imported_output_.find("NOSUCHGLAS is in no catalogue"), std::string::npos)
        << imported_output_;
    // Annular obscuration: two special apertures; a disc: one.
    ASSERT_NE(surface(6).special_apertures, nullptr);
    ASSERT_NE(surface(7).special_apertures, nullptr);
    EXPECT_EQ(surface(7).aperture_kind, 0) << "a clear aperture of 1e10 sets nothing";
    // The coordinate break: decentres kept, tilts negated.
    ASSERT_NE(surface(8).decentre, nullptr);
    EXPECT_DOUBLE_EQ(surface(8).decentre->dcx, 0.5);
    EXPECT_DOUBLE_EQ(surface(8).decentre->dcy, -0.25);
    EXPECT_DOUBLE_EQ(surface(8).decentre->tla, -10.0);
    // A word no command takes is named once at the end, not reported as its line.
    EXPECT_EQ(imported_output_.find("BOGUS 1 2 3"), std::string::npos) << imported_output_;
    EXPECT_NE(imported_output_.find("Keywords of the file that no command takes: BOGUS\n"),
              std::string::npos)
        << imported_output_;
}

// A toroidal surface with a radius of rotation is a toroid: its x section is that circle, its y
// section the curvature with the y^4 term of its third parameter; extra data of zeros is taken.
TEST_F(Import, ZmxToroidalSurfaceTakesItsRadiusOfRotationAndItsYTerms) {
    const std::string path = write_lines(
        "toroid.zmx", {"ENPD 4", "SURF 0", "DISZ INFINITY", "SURF 1", "STOP", "TYPE TOROIDAL",
                       "CURV 0.02", "PARM 1 100", "PARM 2 0", "PARM 3 1.0E-5", "XDAT 1 0 0 0 0",
                       "DISZ 3", "GLAS N-BK7 0 0 1.5168 64.17", "SURF 2", "DISZ 90", "SURF 3"});
    ASSERT_EQ(import(path), 0) << error_text();
    EXPECT_EQ(imported_output_.find("not used"), std::string::npos) << imported_output_;
    const SurfaceRecord& s = surface(1);
    EXPECT_EQ(s.toric, 1);
    EXPECT_DOUBLE_EQ(s.x_curvature, 0.01);
    SagPoint along_y;
    surface_sag_normal(s, 0.0, 5.0, along_y);
    const double c = 0.02, y = 5.0;
    EXPECT_NEAR(along_y.z,
                c * y * y / (1.0 + std::sqrt(1.0 - c * c * y * y)) + 1e-5 * std::pow(y, 4), 1e-12);
    SagPoint across;
    surface_sag_normal(s, 5.0, 0.0, across);
    EXPECT_NEAR(across.z, 100.0 - std::sqrt(100.0 * 100.0 - 25.0), 1e-12);
}

// Header and surface keywords of ".zmx" files that carry nothing this program converts are
// taken in silence; RAIM above all never reaches the program's own ray-aiming command.
TEST_F(Import, ZmxKeywordsWithoutUseAreTakenInSilence) {
    ASSERT_EQ(import(write_lines("plain.zmx", {"SURF 1", "DISZ 5", "SURF 2"})), 0);
    const int aim = lens_data().aim_mode;
    const std::vector<std::string> lines = {"VERS 200101 1 2",
                                            "MODE SEQ",
                                            "NOTE 0 made by hand",
                                            "PFIL 0 0 0",
                                            "LANG 0",
                                            "ENVD 20 1 0",
                                            "GFAC 0 0",
                                            "RAIM 3 0 1 1 0 0 0 0 0 1",
                                            "PUSH 0 0 0 0 0 0",
                                            "SDMA 0 1 0",
                                            "OMMA 1 1",
                                            "ROPD 2",
                                            "PICB 1",
                                            "SURF 1",
                                            "SLAB 3",
                                            "OEMA 0.5 0 0 0 1 \"\"",
                                            "DISZ 5",
                                            "SURF 2"};
    ASSERT_EQ(import(write_lines("quiet.zmx", lines)), 0) << error_text();
    EXPECT_EQ(imported_output_.find("Unknown command"), std::string::npos) << imported_output_;
    EXPECT_EQ(lens_data().aim_mode, aim);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 5.0);
}

TEST_F(Import, SeqGlassCodesNamesUnitsAndTitles) {
    struct Case {
        const char* glass;
        int kind;
        double index;  // model glass: its first defining value
        double abbe;
    };
    const Case cases[] = {
        {"517642", kMediumModelIndexAbbe, 1.517, 64.2},
        {"517.642", kMediumModelIndexAbbe, 1.517, 64.2},
        {"517642.3", kMediumModelIndexAbbe, 1.517642, 30.0},
        {"BAF10_SCHOTT", kMediumGlass, 0, 0},
        {"bk7_hoya", kMediumAir, 0, 0},  // H_BK7 is in no catalogue here
        {"N-BK7", kMediumGlass, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.glass);
        const std::string path = write_lines(
            "codes.seq", {"TIT 'Short title'", "DIM IN", "WL 400 500 600 700", "SO 0 1e10",
                          std::string("S 50 5 ") + c.glass, "S 0 20", "SI"});
        ASSERT_EQ(import(path), 0) << error_text();
        const LensData& l = lens_data();
        EXPECT_STREQ(l.title, "Short title");
        EXPECT_DOUBLE_EQ(l.units, 25.4);
        EXPECT_DOUBLE_EQ(surface(1).curvature, 0.02);
        EXPECT_DOUBLE_EQ(surface(1).thickness, 5.0);
        EXPECT_EQ(surface(1).medium_kind, c.kind);
        if (c.kind == kMediumModelIndexAbbe) {
            EXPECT_EQ(std::string(surface(1).medium_name).substr(0, 6), "SRF1GL");
            const double* values = surface(1).medium_work[kMediumDefiningValues];
            ASSERT_NE(values, nullptr);
            EXPECT_NEAR(values[0], c.index, 1e-12);
        }
        // Four wavelengths without a reference: 0.5, 0.4, 0.7, 0.6.
        ASSERT_EQ(l.wavelength_count, 4);
        EXPECT_DOUBLE_EQ(l.wavelengths[0].wavelength, 0.5);
        EXPECT_DOUBLE_EQ(l.wavelengths[1].wavelength, 0.4);
        EXPECT_DOUBLE_EQ(l.wavelengths[2].wavelength, 0.7);
        EXPECT_DOUBLE_EQ(l.wavelengths[3].wavelength, 0.6);
        EXPECT_EQ(l.image_surface, 3) << "the image surface line adds the last surface";
    }
    // A title holding a double quote stays one title; units in mm are unchanged.
    const std::string path =
        write_lines("title.seq", {"TITLE 'A \"quoted\" lens title that is long enough'", "DIM mm",
                                  "DES 'JS'", "S 0 1", "SI"});
    ASSERT_EQ(import(path), 0) << error_text();
    EXPECT_STREQ(lens_data().title, "A 'quoted' lens title that is...");
    EXPECT_STREQ(lens_data().designer, "JS");
    EXPECT_DOUBLE_EQ(lens_data().units, 1.0);
}

TEST_F(Import, LensCardTitlesMirrorsPickupsAspheresAndTheLensSearch) {
    const std::string forty(40, 'T');
    struct Case {
        std::vector<std::string> head;  // lines before the lens
        const char* title_line;
        std::string title;
    };
    const Case cases[] = {
        {{}, "KQD00 Objective", "Objective"},
        {{"x", "y"}, "  Objective", "Objective"},
        {{}, forty.c_str(), std::string(29, 'T') + "..."},
        // The lens after line 100: read from line 101 on, without a title.
        {std::vector<std::string>(100, "header"), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title_line);
        std::vector<std::string> lines = c.head;
        const bool late = c.head.size() >= 100;
        if (!late) {
            lines.push_back("LENS");
            lines.push_back(c.title_line);
        }
        for (const char* line : {"WV 0.5876 0.4861 0.6563 0 0.55",
                                 "TH 1e20",
                                 "AIR",
                                 "RD 50",
                                 "TH 5",
                                 "ASPH 1e-5 2e-7 3e-9 4e-11",
                                 "ASPH 5e-13 6e-15 7e-17 8e-19",
                                 "GLASS XA 1.5 1.51 1.49",
                                 "TH 20",
                                 "ASPH 1e-6 0 0 0",
                                 "AIR",
                                 "TH 1",
                                 "AIR",
                                 "; PKG 9",
                                 "TH -10",
                                 "AIR -1 -1 -1",
                                 "TH -5",
                                 "PKG -4",
                                 "TH 8",
                                 "GLASS 1.5168",
                                 "TH 1",
                                 "AIR",
                                 "TH 1",
                                 "PKG 1",
                                 "TH 2",
                                 "AIR"}) {
            lines.push_back(line);
        }
        ASSERT_EQ(import(write_lines("card.txt", lines)), 0) << error_text();
        const LensData& l = lens_data();
        if (!late) {
            EXPECT_EQ(std::string(l.title), c.title);
            // The note keeps the whole title.
            EXPECT_EQ(std::string(l.notes[0]), c.title.back() == '.' ? forty : c.title);
        }
        ASSERT_EQ(l.wavelength_count, 3) << "the list ends at its 0";
        EXPECT_DOUBLE_EQ(l.wavelengths[2].wavelength, 0.6563);
        // Surface 1: glass by its indices, two asphere lines; surface 2 another asphere.
        EXPECT_EQ(std::string(surface(1).medium_name, 2), "XA");
        EXPECT_NE(surface(1).medium_kind, kMediumAir);
        ASSERT_NE(surface(1).asphere, nullptr);
        ASSERT_NE(surface(2).asphere, nullptr);
        // The indices turn negative on surface 4: a mirror; the pickup -4 on surface 5, of the
        // surface just before with a negative sign, reflects again; "1.5168" is air.
        EXPECT_EQ(surface(3).medium_kind, kMediumAir);
        EXPECT_EQ(surface(4).medium_kind, kMediumMirror);
        EXPECT_EQ(surface(5).medium_kind, kMediumMirror);
        EXPECT_EQ(surface(6).medium_kind, kMediumAir);
        EXPECT_EQ(surface(8).medium_kind, kMediumPickup);
        EXPECT_EQ(l.image_surface, 10);
        EXPECT_EQ(imported_output_.find("Unknown command"), std::string::npos) << imported_output_;
    }
}

TEST_F(Import, DatHeaderGlassesFlagsAndTheDefocusNote) {
    struct Case {
        const char* line3;  // A, B, -, D
        bool na;            // numerical aperture A x B, else a field angle
    };
    const Case cases[] = {{"0.5,0.2,0,0.0123", true}, {"0,0,0,0", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line3);
        const std::string path =
            write_lines("edges.dat",
                        {"A title of forty characters, cut to 29..", "DAT,0", c.line3, "0,0",
                         "4,0,2,3,3", "-", "0.0005876,0.0004861,0.0006563,0,0,1,1,1,0,0",
                         "0,7,-10,0,0", "-", "S,,,0.02,0,0,0,1,1,1,0,0", "1,0,0,0,0,0,0,0,0,0,AIR,",
                         "S,,,-0.02,5,0,0,1.5168,1.52,1.51,0,0", "1,0,0,0,0,0,0,0,0,0,N-BK7,",
                         "S,,,0,2,0,0,1,1,1,0,0", "1,0,0,0,0,0,0,0,0,0,*SF5,",
                         "MD,,,0,3,0.5,0,1.6,1.61,1.59,0,0", "1,0,1.5,0,0,0,0,0,0,0,XY,",
                         "S,,,0,20,0,0,1,1,1,0,0", "1,0,0,0,0,0,0,0,0,0,AIR,"});
        ASSERT_EQ(import(path), 0) << error_text();
        const LensData& l = lens_data();
        EXPECT_EQ(std::string(l.title),
                  std::string("A title of forty characters, cut to 29..").substr(0, 29) + "...");
        EXPECT_STREQ(l.notes[0], "A title of forty characters, cut to 29..");
        ASSERT_EQ(l.wavelength_count, 3);
        EXPECT_NEAR(l.wavelengths[0].wavelength, 0.5876, 1e-12);
        EXPECT_NEAR(l.wavelengths[1].wavelength, 0.4861, 1e-12);
        EXPECT_NEAR(l.wavelengths[2].wavelength, 0.6563, 1e-12);
        EXPECT_DOUBLE_EQ(l.wavelengths[0].weight, 1.0);
        EXPECT_EQ(l.aperture_stop, 2);
        if (c.na) {
            EXPECT_EQ(l.aperture_is_na, 1);
            EXPECT_NEAR(l.object_na, 0.1, 1e-15);
            EXPECT_EQ(l.field_is_angle, 0);
            EXPECT_DOUBLE_EQ(l.object_height, -10.0);
            ASSERT_NE(surface(l.image_surface).note, nullptr);
            EXPECT_EQ(std::string(surface(l.image_surface).note), "Sigma defocus = 0.0123");
        } else {
            EXPECT_EQ(l.field_is_angle, 1);
            EXPECT_NEAR(l.field_angle, -10.0 * kDegree, 1e-12);
            EXPECT_EQ(surface(l.image_surface).note, nullptr);
        }
        // N-BK7 is searched as BK7, in no catalogue here: the model glass BK71 of the surface in
        // front; *SF5 is SF5; XY in front of surface 4 becomes the model glass XY3.
        EXPECT_EQ(std::string(surface(1).medium_name, 5), "BK71 ") << surface(1).medium_name;
        EXPECT_NE(surface(1).medium_kind, kMediumGlass);
        EXPECT_EQ(std::string(surface(2).medium_name, 4), "SF5 ");
        EXPECT_EQ(surface(2).medium_kind, kMediumGlass);
        EXPECT_EQ(std::string(surface(3).medium_name, 4), "XY3 ");
        EXPECT_EQ(surface(4).medium_kind, kMediumMirror);
        EXPECT_EQ(surface(4).special_aperture_count, 1) << "the obscuration";
        ASSERT_NE(surface(4).decentre, nullptr);
        EXPECT_DOUBLE_EQ(surface(4).decentre->dcy, 0.5);
        // The coordinate return before the decentred surface measures from surface 1:
        // 5 + 2 + 3.
        ASSERT_NE(surface(3).return_coordinates, nullptr);
        EXPECT_DOUBLE_EQ(surface(3).thickness, 10.0);
    }
}

TEST_F(Import, LenAndLnsFieldRulesGlassLinesAndApertures) {
    const std::string len = join_lines(kLenDoublet, std::size(kLenDoublet), "\n");
    // ".len" takes the largest of both field commands; ".lns" the first at once.
    struct Case {
        const char* name;
        double angle;
    };
    for (const Case& c : {Case{"fields.len", -7.0}, Case{"fields.lns", 5.0}}) {
        ASSERT_EQ(import(write(c.name, len)), 0) << error_text();
        EXPECT_NEAR(lens_data().field_angle, c.angle * kDegree, 1e-12) << c.name;
        // Configuration 2 leaves the lens alone; nothing after ENDFILE is read.
        EXPECT_DOUBLE_EQ(surface(3).thickness, 95.0);
        EXPECT_EQ(lens_data().image_surface, 4);
        EXPECT_EQ(surface(3).medium_kind, kMediumAir) << "GLASS, ,1.0 is dropped";
    }
    const std::string path = write_lines(
        "glass.len", {"Glass lines", "NSURF,3", "WAVL,0.0005876", "SURFACE,1", "CURV,0.02,0,0",
                      "SURFACE,2", "THICK,5", "GLASS, ,1.5168", "RECT,3,4", "RECT,1,2", "OBSC,0.5",
                      "SURFACE,3", "THICK,10", "GLASS,*SF5,1.67", "SURFACE,4", "THICK,20"});
    ASSERT_EQ(import(path), 0) << error_text();
    // An unnamed glass of index 1.5168 becomes the model glass GLASS1 of the surface in front.
    EXPECT_EQ(std::string(surface(1).medium_name, 6), "GLASS1");
    EXPECT_EQ(std::string(surface(2).medium_name, 4), "SF5 ");
    // The second rectangle changes the first; the obscuration adds one.
    const SurfaceRecord& s = surface(2);
    ASSERT_EQ(s.special_aperture_count, 2);
    EXPECT_DOUBLE_EQ(s.special_apertures[0].x[1], 1.0);
    EXPECT_DOUBLE_EQ(s.special_apertures[0].y[1], 2.0);
    EXPECT_EQ(s.special_apertures[0].shape, kApertureRectangle);
}

// A maker's prefix on a catalogue name: the private catalogue made here holds O_TSTGLA and
// H_TSTGLB, power-series glasses with n^2 = 2.25 and 2.56 at every wavelength (indices 1.5 and
// 1.6). Each reader finds the bare name its file gives under the prefix its rules try.
TEST_F(Import, MakerPrefixedCatalogueNamesAreFoundByEveryReader) {
    run_all({"private_glass 0 0 O_TSTGLA 2.25", "private_glass 0 0 H_TSTGLB 2.56"});
    const std::vector<std::string> card_head = {"LENS", "Prefixes", "WV 0.5876 0", "TH 1e20",
                                                "AIR",  "RD 50",    "TH 5"};
    const std::vector<std::string> dat_head = {"Prefixes",
                                               "DAT,0",
                                               "0,0,0,0",
                                               "0,0",
                                               "2,0,1,1,1",
                                               "-",
                                               "0.0005876,0,0,0,0,1,0,0,0,0",
                                               "0,0,0,0,0",
                                               "-",
                                               "S,,,0.02,0,0,0,1,1,1,0,0",
                                               "1,0,0,0,0,0,0,0,0,0,AIR,",
                                               "S,,,0,5,0,0,1.5,1.5,1.5,0,0"};
    struct Case {
        const char* file;
        std::vector<std::string> lines;
        const char* name;  // the medium of surface 1 as the catalogue holds it
        double index;
    };
    auto with = [](std::vector<std::string> head, std::vector<std::string> tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const Case cases[] = {
        {"o.zmx",
         {"SURF 1", "CURV 0.02", "GLAS TSTGLA", "DISZ 5", "SURF 2", "DISZ 20", "SURF 3"},
         "O_TSTGLA  ",
         1.5},
        {"h.zmx",
         {"SURF 1", "CURV 0.02", "GLAS TSTGLB", "DISZ 5", "SURF 2", "DISZ 20", "SURF 3"},
         "H_TSTGLB  ",
         1.6},
        {"o.seq", {"SO 0 1e10", "S 50 5 tstgla_ohara", "S 0 20", "SI"}, "O_TSTGLA  ", 1.5},
        {"h.seq", {"SO 0 1e10", "S 50 5 tstglb_hoya", "S 0 20", "SI"}, "H_TSTGLB  ", 1.6},
        {"o.txt", with(card_head, {"OHARA TSTGLA", "TH 20", "AIR"}), "O_TSTGLA  ", 1.5},
        {"h.txt", with(card_head, {"HOYATSTGLB", "TH 20", "AIR"}), "H_TSTGLB  ", 1.6},
        {"o.dat",
         with(dat_head, {"1,0,0,0,0,0,0,0,0,0,TSTGLA,", "S,,,0,20,0,0,1,1,1,0,0",
                         "1,0,0,0,0,0,0,0,0,0,AIR,"}),
         "O_TSTGLA  ", 1.5},
        {"h.len",
         {"Prefixes", "NSURF,2", "WAVL,0.0005876", "SURFACE,1", "CURV,0.02,0,0", "SURFACE,2",
          "THICK,5", "GLASS,TSTGLB,1.6", "SURFACE,3", "THICK,20"},
         "H_TSTGLB  ",
         1.6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_EQ(import(write_lines(c.file, c.lines)), 0) << error_text();
        EXPECT_EQ(std::string(surface(1).medium_name), c.name);
        EXPECT_EQ(surface(1).medium_kind, kMediumGlass);
        ASSERT_NE(surface(1).index, nullptr);
        EXPECT_NEAR(surface(1).index[0], c.index, 1e-12);
        EXPECT_EQ(imported_output_.find("catalogue"), std::string::npos) << imported_output_;
    }
}

// A lens-card glass that no catalogue holds: with its indices it becomes a model glass of them;
// without any, the user is told and the medium stays air.
TEST_F(Import, LensCardGlassInNoCatalogueWithoutIndicesIsToldAndStaysAir) {
    struct Case {
        const char* line;
        bool told;     // message -400 printed with the name
        double index;  // the index of surface 1, 0 when not checked
    };
    const Case cases[] = {
        {"GLASS NOSUCH 1.6 1.61 1.59", false, 1.6},
        {"SCHOT NOSUCH 1.7", false, 1.7},
        {"GLASS NOSUCH", true, 0.0},
        {"SCHOTNOSUCH", true, 0.0},
        {"OHARA NOSUCH", true, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(
            import(write_lines("nosuch.txt", {"LENS", "No such glass", "WV 0.5876 0", "TH 1e20",
                                              "AIR", "RD 50", "TH 5", c.line, "TH 20", "AIR"})),
            0)
            << error_text();
        const bool told = imported_output_.find("is in no catalogue") != std::string::npos;
        EXPECT_EQ(told, c.told) << imported_output_;
        if (c.told) {
            const std::string name = std::string(c.line).find("OHARA") == 0 ? "O_NOSUCH" : "NOSUCH";
            EXPECT_NE(imported_output_.find("Glass " + name + " is in no catalogue"),
                      std::string::npos)
                << imported_output_;
        }
        // Told: no index to make a glass of, the medium stays air as the notice says.
        EXPECT_EQ(surface(1).medium_kind, c.told ? kMediumAir : kMediumModelGlassComputed);
        if (c.index != 0.0) {
            ASSERT_NE(surface(1).index, nullptr);
            EXPECT_NEAR(surface(1).index[0], c.index, 1e-12);
        }
        EXPECT_EQ(lens_data().image_surface, 3);
    }
}

// A Gaussian pupil apodisation of a ".zmx" file gives its widths as fractions of the pupil:
// after the import they are lengths, the fraction times the entrance beam radius (the 20 mm
// entrance pupil of the doublet: radius 10). Any other apodisation is reported and not taken.
TEST_F(Import, ZmxGaussianApodisationWidthsBecomeLengths) {
    struct Case {
        const char* line;
        bool on;
        double width;
    };
    const Case cases[] = {
        {"PUPD 0.5 1", true, 5.0}, {"PUPD 0.25 1", true, 2.5}, {"PUPD 0.5 2", false, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> lines(std::begin(kZmxDoublet), std::end(kZmxDoublet));
        lines.insert(lines.begin() + 5, c.line);
        ASSERT_EQ(import(write_lines("apodised.zmx", lines)), 0) << error_text();
        const LensData& l = lens_data();
        ASSERT_NE(l.spot_settings, nullptr);
        EXPECT_DOUBLE_EQ(l.entrance_beam_radius, 10.0);
        EXPECT_EQ(l.spot_settings->apodisation_on != 0, c.on);
        if (c.on) {
            EXPECT_DOUBLE_EQ(l.spot_settings->apodisation_width_x, c.width);
            EXPECT_DOUBLE_EQ(l.spot_settings->apodisation_width_y, c.width);
        }
        EXPECT_NE(imported_output_.find("Line 6: only a Gaussian pupil apodisation is converted"),
                  std::string::npos)
            << imported_output_;
    }
}

// "revert" on an imported lens reads the foreign file again with its own reader: the lens
// comes back as the import made it, and the foreign file is neither read as a lens file of
// this program nor written.
TEST_F(Import, RevertReadsAnImportedLensAgainWithItsReader) {
    const std::string path =
        write("revert.zmx", join_lines(kZmxDoublet, std::size(kZmxDoublet), "\n"));
    const std::string before = tavo_test::read_file(path);
    ASSERT_EQ(import(path), 0) << error_text();
    const double efl = listed_focal_length();
    run_all({"LEN", "GTO 2", "TH 9", "END"});
    ASSERT_DOUBLE_EQ(surface(2).thickness, 9.0);
    // Asked to save the changed lens first: No.
    ui().queue_message_box_answer(platform::MessageAnswer::no);
    take_output();
    ui().set_status_text("");
    ASSERT_EQ(run("revert"), 0) << error_text();
    EXPECT_DOUBLE_EQ(surface(2).thickness, 2.5);
    EXPECT_STREQ(surface(1).medium_name, "XGLASA    ");
    EXPECT_EQ(lens_data().wavelength_count, 3);
    EXPECT_DOUBLE_EQ(listed_focal_length(), efl);
    EXPECT_EQ(std::string(get_setting_text(kSetLensFile, 0)), path);
    EXPECT_NE(ui().status_text().find("imported from " + path), std::string::npos)
        << ui().status_text();
    EXPECT_EQ(tavo_test::read_file(path), before);

    // Imported through the dialog (its lens-card filter): revert uses that reader again.
    const std::string card =
        write("revert.txt", join_lines(kCardDoublet, std::size(kCardDoublet), "\n"));
    ui().queue_dialog_answer(card);
    ASSERT_EQ(run("import_lens_dialog"), 0) << error_text();
    const double card_efl = listed_focal_length();
    run_all({"LEN", "GTO 1", "TH 9", "END"});
    ui().queue_message_box_answer(platform::MessageAnswer::no);
    ASSERT_EQ(run("revert"), 0) << error_text();
    EXPECT_DOUBLE_EQ(surface(1).thickness, 6.0);
    EXPECT_DOUBLE_EQ(listed_focal_length(), card_efl);
    EXPECT_EQ(std::string(get_setting_text(kSetLensFile, 0)), card);
}

// A ".dat" lens whose surface 3 is turned round (tilted 180 degrees about x) after a
// coordinate-return mark: in the turned frame the axial ray comes from the +z side, 20 mm in
// front of the vertex, so it must meet the sphere (radius 50) on the sheet through its vertex,
// within y^2/100 of it, not on the far sheet near z = 100. The import marks the surfaces whose
// usual intersection misses that sheet; without a mark, or without the turn, nothing is marked.
TEST_F(Import, DatCoordinateReturnMarksSurfacesTheAxialRayMeetsOnTheOtherSheet) {
    struct Case {
        const char* flags;  // of surface 2
        const char* tilt;   // of surface 3, degrees
        bool marked;
    };
    const Case cases[] = {{"Z", "180", true}, {"S", "180", false}, {"Z", "0", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.flags) + " " + c.tilt);
        const std::string path = write_lines(
            "turned.dat",
            {"Turned", "DAT,0", "0,10,0,0", "0,1", "4,0,1,1,1", "-", "0.0005876,0,0,0,0,1,0,0,0,0",
             "0,0,0,0,0", "-", "S,,,0,0,0,0,1,1,1,0,0", "1,0,0,0,0,0,0,0,0,0,AIR,",
             std::string(c.flags) + ",,,0,10,0,0,1,1,1,0,0", "1,0,0,0,0,0,0,0,0,0,AIR,",
             std::string("D,,,0.02,20,0,") + c.tilt + ",1,1,1,0,0", "1,0,0,0,0,0,0,0,0,0,AIR,",
             "S,,,0.02,30,0,0,1,1,1,0,0", "1,0,0,0,0,0,0,0,0,0,AIR,", "S,,,0,20,0,0,1,1,1,0,0",
             "1,0,0,0,0,0,0,0,0,0,AIR,"});
        ASSERT_EQ(import(path), 0) << error_text();
        EXPECT_EQ(surface(3).alternate_intersection != 0, c.marked);
        if (!c.marked) {
            for (int n = 0; n <= lens_data().image_surface; ++n)
                EXPECT_EQ(surface(n).alternate_intersection, 0) << n;
            continue;
        }
        // The axial ray of the imported lens, traced as the program traces it.
        RayRecord ray{};
        ray.pup_y = 1.0;
        setup_ray_at_object(ray, nullptr);
        while (ray.failure == 0 && ray.surface < 3) trace_to_next_surface(ray);
        ASSERT_EQ(ray.failure, 0);
        ASSERT_EQ(ray.surface, 3);
        EXPECT_NE(ray.y, 0.0);
        EXPECT_NEAR(ray.z, ray.y * ray.y / 100.0, 0.01 + ray.y * ray.y * ray.y * ray.y * 1e-5);
        SagPoint sag{};
        surface_sag_normal(surface(3), ray.x, ray.y, sag);
        EXPECT_NEAR(ray.z, sag.z, 1e-9);
    }
}

TEST_F(Import, DialogImportsTheChosenFileWithTheKindOfItsFilter) {
    const std::string card =
        write("objective.txt", join_lines(kCardDoublet, std::size(kCardDoublet), "\n"));
    // Cancelled: nothing imported, the result 0.
    const int image = lens_data().image_surface;
    ui().queue_dialog_answer("");
    take_output();
    EXPECT_EQ(run("import_lens_dialog"), 0);
    EXPECT_EQ(lens_data().image_surface, image);
    ASSERT_FALSE(ui().file_dialogs_shown().empty());
    const platform::FileDialogRequest& shown = ui().file_dialogs_shown().back();
    EXPECT_EQ(shown.title, "Import a lens");
    ASSERT_EQ(shown.filters.size(), 4u);
    EXPECT_EQ(shown.filters[3].pattern, "*.zmx");
    // The lens-card filter is preselected at first: the chosen file is read as one.
    EXPECT_EQ(shown.filter_index, 0);
    ui().queue_dialog_answer(card);
    EXPECT_EQ(run("import_lens_dialog"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(std::string(get_setting_text(kSetLensFile, 0)), card);
    EXPECT_EQ(std::string(get_setting_text(kSetCurrentDirectory, 0)), folder_.string());
}

TEST_F(Import, HostileAndOversizedFilesChangeNothingOutsideTheLens) {
    const int limit = surface_limit();
    const std::int32_t surfaces_before = get_setting_int(kSetSurfaceLimit, 0, 0);
    const std::string outside = (folder_ / "outside.zmx").string();
    const std::string path = write_lines(
        "hostile.zmx",
        {"WAVL 0.40 0.41 0.42 0.43 0.44 0.45 0.46 0.47 0.48 0.49 0.50 0.51", "exit",
         "set_setting 8 3", "open . x.len", "import_lens 0 \"" + outside + "\"", "SURF 1",
         "GLAS \"A;exit\" 0 0 1.5 60", "DISZ 2", "NAME a\"; exit; \"b", std::string(300, 'x')});
    write_lines("outside.zmx", {"NAME outside"});
    ASSERT_EQ(import(path), 0) << error_text();
    const LensData& l = lens_data();
    EXPECT_EQ(l.wavelength_count, max_wavelengths());
    EXPECT_DOUBLE_EQ(l.wavelengths[0].wavelength, 0.40);
    EXPECT_NE(imported_output_.find("wavelengths ignored"), std::string::npos) << imported_output_;
    for (int line : {2, 3, 4, 5, 10}) {
        char text[40];
        std::snprintf(text, sizeof text, "Unknown command at line %4d:", line);
        EXPECT_NE(imported_output_.find(text), std::string::npos) << line << imported_output_;
    }
    EXPECT_EQ(get_setting_int(kSetSurfaceLimit, 0, 0), surfaces_before);
    EXPECT_EQ(std::string(get_setting_text(kSetLensFile, 0)), path);
    // The glass name is a name, never command text: cut to 10 characters.
    EXPECT_EQ(surface(1).medium_kind, kMediumModelIndexAbbe);
    EXPECT_EQ(std::string(surface(1).medium_name, 6), "A;EXIT");

    // A keyword of another format under its full name, and one typed outside an import, are
    // refused.
    const std::string mixed = write_lines("mixed.seq", {"coni_z 1", "surf_z 3", "S 50 5"});
    ASSERT_EQ(import(mixed), 0) << error_text();
    EXPECT_NE(imported_output_.find("Unknown command at line    1:  coni_z 1"), std::string::npos);
    EXPECT_NE(imported_output_.find("Unknown command at line    2:  surf_z 3"), std::string::npos);
    // Without an object surface line the first surface line makes surface 0.
    EXPECT_DOUBLE_EQ(surface(0).curvature, 0.02);
    EXPECT_DOUBLE_EQ(surface(0).conic, 0.0);
    EXPECT_NE(run("surf_z 3"), 0);
    EXPECT_NE(error_text().find("only while a file of its format is imported"), std::string::npos)
        << error_text();

    // A surface beyond the limit refuses the whole file, and the lens before stays.
    const int image_before = lens_data().image_surface;
    const std::string big =
        write_lines("big.zmx", {"SURF 1", "DISZ 3", "SURF " + std::to_string(limit + 1), "DISZ 7"});
    EXPECT_EQ(import(big), kErrorTextReady);
    EXPECT_NE(error_text().find(std::to_string(limit + 1) + " surfaces"), std::string::npos)
        << error_text();
    EXPECT_EQ(lens_data().image_surface, image_before);
    EXPECT_DOUBLE_EQ(surface(0).curvature, 0.02);
}

TEST_F(Import, MissingFileLeavesTheLensAndSavingNeverWritesTheForeignFile) {
    ASSERT_EQ(import(write("first.seq", join_lines(kSeqDoublet, std::size(kSeqDoublet), "\n"))), 0);
    const int image = lens_data().image_surface;
    EXPECT_EQ(import((folder_ / "missing.zmx").string()), kErrorTextReady);
    EXPECT_NE(error_text().find("missing.zmx"), std::string::npos);
    EXPECT_EQ(lens_data().image_surface, image);

    const std::string path = (folder_ / "first.seq").string();
    const std::string before = tavo_test::read_file(path);
    // The save prompt of a lens from a foreign file asks as for an old file; Yes goes through
    // the Save dialog (cancelled here), never over the foreign file.
    ui().queue_message_box_answer(platform::MessageAnswer::yes);
    ui().queue_dialog_answer("");
    save_if_changed();
    EXPECT_TRUE(box_shown("not saved by this version")) << "question -1226";
    EXPECT_FALSE(ui().file_dialogs_shown().empty());
    EXPECT_EQ(tavo_test::read_file(path), before);
    take_output();
    EXPECT_EQ(run("file_save"), 0);
    EXPECT_EQ(tavo_test::read_file(path), before);
}

// A ".seq" file with nothing between object and image: every listing and ray analysis of it
// says so instead of reading surfaces that are not there.
TEST_F(Import, SeqWithoutSurfacesIsRefusedByEveryListingAndAnalysis) {
    ASSERT_EQ(import(write_lines("zero.seq", {"si 0 0"})), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 1);
    const std::string refusal = "The lens has no surfaces between the object and the image";
    for (const char* command : {"first_order", "par_rays", "par_setup", "par_seidel"}) {
        SCOPED_TRACE(command);
        take_output();
        EXPECT_EQ(run(command), kErrorTextReady);
        EXPECT_EQ(error_text(), refusal);
    }
    // Nor is there a pupil to aim a real ray at: every ray analysis refuses the same way, and
    // prints no rows of numbers.
    for (const char* command :
         {"trace_ref_ray 0 0 0 0 0", "ref_ray_derivatives", "object_point 1 0 0 0 0",
          "trace_single_ray 0 0 0 0 0 1", "trace_pupil_ray 0 0 0 1", "ray_fan", "spot_diagram",
          "spot_sizes", "spot_rays", "mtf", "spot_sections", "psf_sections", "psf_encircled",
          "point_intensity", "wavefront_stats", "zernike_fit", "encircled_energy",
          "diffraction_energy", "coupling_efficiency"}) {
        SCOPED_TRACE(command);
        take_output();
        EXPECT_EQ(run(command), kErrorTextReady);
        EXPECT_EQ(error_text(), refusal);
        EXPECT_EQ(take_output().find_first_of("0123456789"), std::string::npos);
    }
    // The whole-lens listing lists what there is and says why the first-order data are missing.
    take_output();
    ASSERT_EQ(run("LEN -1"), 0) << error_text();
    const std::string listed = take_output();
    EXPECT_NE(listed.find("RADIUS DATA"), std::string::npos) << listed;
    EXPECT_NE(listed.find(refusal), std::string::npos) << listed;
    EXPECT_EQ(listed.find("FIRST ORDER DATA"), std::string::npos) << listed;
}

// A zero field with the object at infinity is imported as typing it enters it, and the whole
// 20 mm entrance pupil stays the beam: radius 10, and a working F-number of the focal length
// over the pupil's diameter, u' = 10 / f. A zero image height is a zero object height: the
// entrance pupil lies on the stop, the first surface. The saved files differ only in the title.
TEST_F(Import, SeqZeroFieldAtInfinityKeepsTheWholeEntrancePupilAsTypingDoes) {
    struct Case {
        const char* file_field;
        const char* typed_field;
    };
    const Case cases[] = {{"YAN 0", "ANG 0"}, {"YOB 0", "OBH 0"}, {"YIM 0", "OBH 0"}};
    struct Listed {
        double beam, pupil, pupil_distance, working_f_number, focal_length;
    };
    auto list_first_order = [this]() {
        take_output();
        EXPECT_EQ(run("first_order"), 0) << error_text();
        const std::string text = take_output();
        return Listed{number_after(text, "ENT BEAM RADIUS"), number_after(text, "ENT PUPIL RADIUS"),
                      number_after(text, "TO ENP"), number_after(text, "WORKING F/NO"),
                      number_after(text, "FOCAL LENGTH")};
    };
    // The saved lens file without its checksum line, the title left out of the first line.
    auto saved = [this](const char* name, const char* title) {
        take_output();
        const fs::path path = folder_ / name;
        EXPECT_EQ(run("save_as . \"" + path.string() + "\""), 0) << error_text();
        std::string text = tavo_test::read_file(path.string() + ".len");
        text.erase(0, text.find('\n') + 1);
        const std::string quoted = std::string("\"") + title + "\"";
        if (const std::size_t at = text.find(quoted); at != std::string::npos) {
            text.erase(at, quoted.size());
        }
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file_field);
        const std::string path =
            write_lines("zero_field.seq", {"WL 587.56", "XAN 0", c.file_field, "SO 0 1e20",
                                           "EPD 20", "S 100 5 N-BK7", "STO", "S -100 90", "SI"});
        ASSERT_EQ(import(path), 0) << error_text();
        const Listed imported = list_first_order();
        const std::string imported_file = saved("imported", "");
        run_all({"LEN NEW \"Typed\"", "WV 0.58756", "TH 1e20", c.typed_field, "EBR 10", "NXT",
                 "AST", "SRF 100 5 N-BK7", "SRF -100 90 AIR", "END"});
        const Listed typed = list_first_order();
        const std::string typed_file = saved("typed", "Typed");
        for (const Listed& l : {imported, typed}) {
            EXPECT_NEAR(l.beam, 10.0, 1e-6);
            EXPECT_NEAR(l.pupil, 10.0, 1e-6);
            EXPECT_NEAR(l.pupil_distance, 0.0, 1e-6);
            EXPECT_NEAR(l.working_f_number, l.focal_length / 20.0, 1e-5);
        }
        EXPECT_NEAR(imported.focal_length, typed.focal_length, 1e-6);
        EXPECT_EQ(imported_file, typed_file);
    }
}

}  // namespace
