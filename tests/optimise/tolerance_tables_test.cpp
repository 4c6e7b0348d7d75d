// The printed tolerance table and element list of a typed singlet, read against texts worked
// out by hand from the column layout (each field's width, decimals and default are noted where
// it is written down), the number field's forms, the surface ranges, and the lens items of the
// tolerances with their defaults at each switch.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "lens/surface_tolerances.h"
#include "optimise/tolerance_table.h"
#include "runtime/output_options.h"
#include "tables/table_names.h"
#include "tests/entry/entry_fixture.h"

namespace tolerance_tables_test {
namespace {

using entry_test::Entry;

constexpr double kMinute = 0.0002908882086657216;  // radians
constexpr int kGlobalX = 23;                       // the scratch global x

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
    }
    // The prompt's fresh line after the command.
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> w;
    std::istringstream in(line);
    for (std::string word; in >> word;) w.push_back(word);
    return w;
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// The dash texts of a zero while Print_zero is off, by field width.
const std::string kDash9 = "     --   ";
const std::string kDash8 = "    --   ";
const std::string kDash6 = "   --  ";
const std::string kDash5 = "   -- ";
const std::string kHead1 =
    "SRF    RADIUS    RDT   SPT   IRT    THICK    THT      GLASS    RNT    DCT    TLT";
const std::string kHead2 =
    "        CONIC    CCT                         DZT               VNT    DXT    TBT";

class ToleranceTables : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        set_output_option(kOptionPrintZero, 0);
    }
    // A singlet of 40 mm clear diameter (class 2) with three wavelengths; the semi-aperture may
    // be asked for.
    void singlet(const char* semi = "20") {
        run_all({"LEN NEW \"Singlet\"", "UNI 1", "EBR 5", "WV 0.48 0.55 0.65", "NXT",
                 std::string("SRF 50 5 N-BK7 ") + semi, std::string("SRF -50 40 AIR ") + semi,
                 "END"});
        ASSERT_EQ(lens_data().image_surface, 3);
        take_output();
    }
    std::vector<std::string> listing(const std::string& line, int expected = 0) {
        take_output();
        EXPECT_EQ(run(line), expected) << line << ": " << error_text();
        return lines_of(take_output());
    }
    static double x() {
        double v;
        std::memcpy(&v, kpl_global_address(kGlobalX), sizeof v);
        return v;
    }
    // The value of an expression, or NaN when the line fails (an item not available).
    double value_of(const std::string& expression) {
        std::memset(kpl_global_address(kGlobalX), 0, sizeof(double));
        return run("x = " + expression) == 0 ? x() : std::nan("");
    }
};

TEST(ToleranceNumber, FieldForms) {
    // value, width, decimals, flag: the text. Fixed forms keep the width (plus the leading
    // blank of flag 0); a negative value gives a decimal to its sign (an integer part of 0
    // needs no digit); narrow fields drop
    // decimals from 10 and 100 on; what does not fit, or is below the last decimal, takes the
    // general form ("%g") after two blanks (one with flag 1).
    const struct {
        double value;
        int width, decimals, flag;
        const char* text;
    } cases[] = {
        {0.0, 6, 4, 0, "    0.0"},          {0.0, 9, 4, 1, "      0.0"},
        {0.1, 6, 4, 0, " 0.1000"},          {-0.05, 6, 4, 0, " -0.050"},
        {-123.4567, 6, 4, 0, "  -123.457"}, {-123.4567, 6, 4, 1, " -123.457"},
        {5e-5, 6, 4, 0, "  5e-05"},         {10.0, 5, 2, 0, "  10.0"},
        {10.0, 5, 2, 1, " 10.0"},           {2.0, 5, 2, 1, " 2.00"},
        {99.5, 5, 2, 0, "  99.5"},          {123.0, 5, 2, 0, "  123"},
        {1234.5, 9, 4, 0, " 1234.5000"},    {12345.6, 9, 4, 0, "  12345.6"},
        {50.0, 9, 4, 0, "   50.0000"},      {-50.0, 9, 4, 0, "   -50.000"},
        {600.0, 6, 2, 0, " 600.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tolerance_number_text(c.value, c.width, c.decimals, c.flag), c.text)
            << c.value << " " << c.width << "." << c.decimals << " flag " << c.flag;
    }
}

TEST_F(ToleranceTables, SingletTableByHand) {
    singlet();
    const std::string spaces21(21, ' ');
    const std::string spaces11(11, ' ');
    const std::vector<std::string> expected = {
        "SURFACE TOLERANCES   Singlet",
        kHead1,
        kHead2,
        // Surface, radius (9.4), RDT 0, SPT 10 and IRT 2 fringes (class 2 defaults, marked, the
        // mark in place of the leading blank, 5 wide), thickness (8.4), THT 0.4 mm (class 2),
        // the glass in 10, RNT 0.001 behind glass, DCT 0 (class table), TLT 10' in degrees.
        "  1" + std::string("   50.0000") + kDash6 + " 10.0*" + " 2.00*" + "   5.0000" + " 0.4000" +
            " " + "     N-BK7" + " 0.0010" + kDash6 + " 0.1667",
        // Conic 0, CCT 0, DZT 0, VNT 0.8 (glass, 3 wavelengths), DXT 0, TBT as TLT.
        trimmed("   " + kDash9 + kDash6 + spaces21 + kDash6 + spaces11 + " 0.8000" + kDash6 +
                " 0.1667"),
        // Glass before surface 2: a plain line end.
        "",
        // A negative radius gives a decimal to its sign; air after: RNT and VNT 0.
        "  2" + std::string("   -50.000") + kDash6 + " 10.0*" + " 2.00*" + "  40.0000" + " 0.4000" +
            " " + "       AIR" + kDash6 + kDash6 + " 0.1667",
        trimmed("   " + kDash9 + kDash6 + spaces21 + kDash6 + spaces11 + kDash6 + kDash6 +
                " 0.1667"),
        // Air before the image: the separator line.
        std::string(80, '-'),
        // The image: no defaults, no glass, no DZT and VNT.
        trimmed("  3" + kDash9 + kDash6 + kDash5 + kDash5 + kDash8 + kDash6 + " " +
                std::string(17, ' ') + kDash6 + kDash6),
        trimmed("   " + kDash9 + kDash6 + spaces21 + std::string(7, ' ') + spaces11 +
                std::string(7, ' ') + kDash6 + kDash6),
        "Fringes are counted at the test wavelength 0.54607 micrometres",
        "Values not given by the designer are defaults by the diameter class of the surface.",
        "* fringes over a test-plate diameter of 30 mm",
        "  Tilts in degrees",
    };
    const std::vector<std::string> lines = listing("tolerance_table");
    ASSERT_EQ(lines.size(), expected.size()) << ::testing::PrintToString(lines);
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << i;
    // Looking at the defaults changes nothing in the lens.
    EXPECT_EQ(surface(1).tolerances, nullptr);
}

TEST_F(ToleranceTables, VariantsOfTheTable) {
    // The first line of surface 1 up to the IRT column, the footer's notes and the TLT column.
    const struct {
        const char* semi;
        const char* setup;  // a line run before the table
        bool print_zero;
        const char* start;  // surface 1's first line begins with this
        const char* tilt;   // its TLT field
        bool star, hash;
        const char* note;
    } cases[] = {
        {"20", "TTUN 0", true, "  1   50.0000    0.0 10.0* 2.00*", " 0.1667", true, false,
         "  Tilts in degrees"},
        // 120 mm: class 3, 10' of tilt.
        {"60", "TTUN 0", false, "  1   50.0000   --   10.0# 2.00#", " 0.1667", false, true,
         "  Tilts in degrees"},
        // 10 mm: class 0, 5 and 1 fringes unmarked, 30' of tilt.
        {"5", "TTUN 0", false, "  1   50.0000   --    5.00  1.00", " 0.5000", false, false,
         "  Tilts in degrees"},
        {"20", "TTUN Rad", false, "  1   50.0000   --   10.0* 2.00*", " 0.0029", true, false,
         "  Tilts in radians"},
        {"20", "TTUN Min", false, "  1   50.0000   --   10.0* 2.00*", "  10.00", true, false,
         "  Tilts in minutes of arc"},
        {"20", "TTUN Sec", false, "  1   50.0000   --   10.0* 2.00*", " 600.00", true, false,
         "  Tilts in seconds of arc"},
        // A value given shows as given, unmarked.
        {"20", "LEN;NXT;SPT 3;END", false, "  1   50.0000   --    3.00 2.00*", " 0.1667", true,
         false, "  Tilts in degrees"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.semi) + " " + c.setup);
        singlet(c.semi);
        std::stringstream setup(c.setup);
        for (std::string line; std::getline(setup, line, ';');) ASSERT_EQ(run(line), 0) << line;
        set_output_option(kOptionPrintZero, c.print_zero ? 1 : 0);
        const std::vector<std::string> lines = listing("tolerance_table");
        ASSERT_GT(lines.size(), 4u);
        EXPECT_EQ(lines[3].rfind(c.start, 0), 0u) << lines[3];
        // TLT: the last 7 columns of the 80.
        ASSERT_EQ(lines[3].size(), 80u) << lines[3];
        EXPECT_EQ(lines[3].substr(73), c.tilt);
        const auto has = [&lines](const std::string& text) {
            for (const std::string& l : lines) {
                if (l == text) return true;
            }
            return false;
        };
        EXPECT_EQ(has("* fringes over a test-plate diameter of 30 mm"), c.star);
        EXPECT_EQ(has("# fringes over a test-plate diameter of 60 mm"), c.hash);
        EXPECT_EQ(lines.back(), c.note);
    }
}

TEST_F(ToleranceTables, SurfaceRanges) {
    singlet();
    // The line, then the surfaces it lists.
    const struct {
        const char* line;
        std::vector<int> surfaces;
    } cases[] = {
        {"tolerance_table", {1, 2, 3}},       {"tolerance_table 1 2 2", {1, 2, 3}},
        {"tolerance_table 0 2", {2, 3}},      {"tolerance_table 0 0", {1, 2, 3}},
        {"tolerance_table 0 0 0", {3}},       {"tolerance_table 0 2 1", {2}},
        {"tolerance_table 0 1 9", {1, 2, 3}}, {"tolerance_table 0 2 2", {2}},
    };
    for (const auto& c : cases) {
        std::vector<int> listed;
        for (const std::string& l : listing(c.line)) {
            // A surface's first line: its number in 3 columns, then the radius field.
            if (l.size() > 3 && l[3] == ' ' && std::isdigit(static_cast<unsigned char>(l[2]))) {
                listed.push_back(std::atoi(l.substr(0, 3).c_str()));
            }
        }
        EXPECT_EQ(listed, c.surfaces) << c.line;
    }
}

TEST_F(ToleranceTables, ElementListWorkedOutByHand) {
    singlet();
    // Both surfaces class 2 (10' of tilt); curvatures 0.02 and -0.02. The decentre that tilts
    // the surfaces by their mean tilt is w / |c1 - c2|, quantised to 0.01 mm; the element tilt
    // is |c1| times it, in degrees, quantised to 0.01.
    const double w = 10.0 * kMinute;
    const double decentre = std::floor(w / 0.04 / 0.01 + 0.5) * 0.01;
    const double tilt = std::floor(0.02 * (w / 0.04) * 57.29577951308232 / 0.01 + 0.5) * 0.01;
    ASSERT_DOUBLE_EQ(decentre, 0.07);
    ASSERT_DOUBLE_EQ(tilt, 0.08);
    const std::vector<std::string> lines = listing("element_tolerances");
    ASSERT_EQ(lines.size(), 8u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "ELEMENT TOLERANCES   Singlet");
    EXPECT_EQ(lines[2],
              "SRF          CDY         CDX           CAA         CAB           CCA"
              "         CCB");
    // Row of the first surface: number, CDY, CDX, CAA, CAB (zeros as dashes), CCA, CCB.
    const std::vector<std::string> first = words(lines[3]);
    ASSERT_EQ(first.size(), 7u) << lines[3];
    EXPECT_EQ(first[0], "1");
    EXPECT_DOUBLE_EQ(std::strtod(first[1].c_str(), nullptr), decentre);
    EXPECT_DOUBLE_EQ(std::strtod(first[2].c_str(), nullptr), decentre);
    EXPECT_EQ(first[3], "--");
    EXPECT_EQ(first[4], "--");
    EXPECT_DOUBLE_EQ(std::strtod(first[5].c_str(), nullptr), tilt);
    EXPECT_DOUBLE_EQ(std::strtod(first[6].c_str(), nullptr), tilt);
    EXPECT_EQ(lines[4], "");
    // The last surface: 24 blanks for the decentres, then its own (zero) tilts; a separator.
    EXPECT_EQ(lines[5].substr(0, 30), "  2 " + std::string(26, ' '));
    EXPECT_EQ(words(lines[5]).size(), 5u) << lines[5];
    EXPECT_EQ(lines[6], std::string(80, '-'));
    EXPECT_EQ(lines[7], "Tilts in degrees");

    // Given values stand; a first-form tilt on the element leaves the second form without a
    // default.
    run_all({"LEN", "NXT", "CDX 0.2", "CAA 0.05", "END"});
    const std::vector<std::string> given = listing("element_tolerances");
    ASSERT_GT(given.size(), 3u);
    const std::vector<std::string> row = words(given[3]);
    ASSERT_EQ(row.size(), 7u) << given[3];
    EXPECT_DOUBLE_EQ(std::strtod(row[1].c_str(), nullptr), decentre);
    EXPECT_DOUBLE_EQ(std::strtod(row[2].c_str(), nullptr), 0.2);
    EXPECT_DOUBLE_EQ(std::strtod(row[3].c_str(), nullptr), 0.05);
    EXPECT_EQ(row[5], "--");
    EXPECT_EQ(row[6], "--");
}

TEST_F(ToleranceTables, ALensWithoutElementsHasNoElementList) {
    run_all({"LEN NEW \"Air\"", "EBR 5", "NXT", "SRF 0 10 AIR 5", "END"});
    take_output();
    EXPECT_EQ(run("element_tolerances"), kMsgNoLensElement);
    EXPECT_EQ(run("element_tolerance_sheet"), kMsgNoLensElement);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(take_output().find("ELEMENT TOLERANCES"), std::string::npos);
}

TEST_F(ToleranceTables, ItemsShowDefaultsUntilGiven) {
    singlet();
    // Not given: the class-2 defaults (THT 0.4 mm, SPT 10, IRT 2 fringes, TLT 10' in degrees,
    // DCT 0), RNT and VNT behind glass only, the element values on the element's first surface
    // only; the values without defaults need a record.
    const struct {
        const char* item;
        double value;  // NaN: not available
    } defaults[] = {
        {"tht[1]", 0.4},    {"spt[1]", 10.0}, {"irt[1]", 2.0},   {"tlt[1]", 1 / 6.},
        {"tbt[2]", 1 / 6.}, {"dct[1]", 0.0},  {"rnt[1]", 0.001}, {"rnt[2]", std::nan("")},
        {"vnt[1]", 0.8},    {"cdx[1]", 0.07}, {"cdy[1]", 0.07},  {"cca[1]", 0.08},
        {"ccb[2]", NAN},    {"rdt[1]", NAN},  {"caa[1]", NAN},
    };
    for (const auto& c : defaults) {
        const double v = value_of(c.item);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(v)) << c.item << " " << v;
        } else {
            EXPECT_NEAR(v, c.value, 1e-12) << c.item;
        }
    }
    // Given (switch 1) and held (switch 2) values read back as given.
    run_all({"LEN", "NXT", "THT 0.25", "RDT 0.01", "NXT", "VNT HLD 0.5", "END"});
    EXPECT_DOUBLE_EQ(value_of("tht[1]"), 0.25);
    EXPECT_DOUBLE_EQ(value_of("rdt[1]"), 0.01);
    EXPECT_DOUBLE_EQ(value_of("vnt[2]"), 0.5);
    run_all({"LEN", "NXT", "THT HLD 0.3", "END"});
    EXPECT_DOUBLE_EQ(value_of("tht[1]"), 0.3);
    ASSERT_EQ(surface(1).tolerances->switches[kTolTht], 2);
    // A store gives the value: into the record, as given; a held value stays held.
    ASSERT_EQ(run("spt[1] = 4"), 0) << error_text();
    EXPECT_EQ(surface(1).tolerances->values[kTolSpt], 4.0);
    EXPECT_EQ(surface(1).tolerances->switches[kTolSpt], 1);
    EXPECT_DOUBLE_EQ(value_of("spt[1]"), 4.0);
    ASSERT_EQ(run("tht[1] = 0.35"), 0) << error_text();
    EXPECT_EQ(surface(1).tolerances->switches[kTolTht], 2);
    EXPECT_DOUBLE_EQ(value_of("tht[1]"), 0.35);
    ASSERT_EQ(run("dct[2] = 0.02"), 0) << error_text();
    EXPECT_DOUBLE_EQ(surface(2).tolerances->values[kTolDct], 0.02);
    EXPECT_EQ(surface(2).tolerances->switches[kTolDct], 1);
}

}  // namespace
}  // namespace tolerance_tables_test
