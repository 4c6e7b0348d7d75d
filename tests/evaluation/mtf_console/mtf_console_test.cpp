// The MTF as a user types it into the console program: the f/5 paraboloidal mirror of focal
// length 100 with its object at infinity, at focus (the diffraction MTF of a perfect circular
// pupil) and 0.1 before it (a uniform disk of rays, the geometric MTF).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string paraboloid(const std::string& image_thickness, const std::string& extra) {
    return "LEN NEW \"Paraboloid\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH " + image_thickness +
           "\nRFL\nCC -1\nNXT\n" + extra + "END\ntrr 0 0 0 0 0\n";
}

std::string run_console(const std::string& lines) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    return tavo_test::run_tavolt(tree, lines).shown;
}

// The numbers of the rows that follow the line starting with heading, up to the first line
// that does not start with a row number.
std::vector<std::vector<double>> rows_after(const std::string& text, const std::string& heading) {
    std::vector<std::vector<double>> rows;
    std::size_t at = text.find("\n" + heading);
    if (at == std::string::npos) return rows;
    at = text.find('\n', at + 1);
    while (at != std::string::npos && at + 1 < text.size()) {
        const std::size_t end = text.find('\n', at + 1);
        std::istringstream line(text.substr(at + 1, end - at - 1));
        int number = 0;
        if (!(line >> number) || number != static_cast<int>(rows.size()) + 1) break;
        std::vector<double> cells;
        // A zero prints as "--".
        for (std::string v; line >> v;) cells.push_back(v == "--" ? 0.0 : std::stod(v));
        rows.push_back(cells);
        at = end;
    }
    return rows;
}

// The number after the first occurrence of label.
double number_after(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return NAN;
    std::istringstream in(text.substr(at + label.size()));
    std::string v;
    in >> v;
    return v == "--" ? 0.0 : std::stod(v);
}

double circular_mtf(double s) {
    if (s >= 1.0) return 0.0;
    return 2.0 / kPi * (std::acos(s) - s * std::sqrt(1.0 - s * s));
}

const char* const kColumns = "  #    FREQUENCY     MODULUS       PHASE";

TEST(MtfConsole, PerfectMirrorListsTheCircularPupilMtfUpToItsCutoff) {
    const std::string shown = run_console(paraboloid("-100", "") + "spd mon 64\nmtf tfr mon 1 x\n");
    EXPECT_EQ(shown.find("rror"), std::string::npos) << shown;
    ASSERT_NE(shown.find("DIFFRACTION MTF X\nWAVELENGTH 1\n"), std::string::npos) << shown;
    // NA = h / (f + h^2/4f) for the marginal ray of the paraboloid; lambda 0.58756 um.
    const double nu_c = 2.0 * (10.0 / 100.25) / 0.58756e-3;
    const double cutoff = number_after(shown, "CUT-OFF FREQUENCY");
    EXPECT_LE(cutoff, nu_c);
    EXPECT_GE(cutoff, 0.98 * nu_c);
    // A point image: the default highest frequency is the cut-off, in ten steps.
    const auto rows = rows_after(shown, kColumns);
    ASSERT_EQ(rows.size(), 11u) << shown;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        ASSERT_EQ(rows[j].size(), 4u) << shown;
        const double f = rows[j][0];
        EXPECT_NEAR(f, std::floor(cutoff + 0.5) * 0.1 * j, 1e-3);
        EXPECT_NEAR(rows[j][1], circular_mtf(f / nu_c), 0.015) << f;
        EXPECT_EQ(rows[j][2], 0.0);
        EXPECT_NEAR(rows[j][3], rows[j][1], 1e-6) << "the ideal column";
    }
}

TEST(MtfConsole, AllWavelengthsAndThroughFocus) {
    const std::string shown =
        run_console(paraboloid("-100", "") + "spd chr 32\nmtf tfr chr\nmtf tfo\n");
    EXPECT_EQ(shown.find("rror"), std::string::npos) << shown;
    ASSERT_NE(shown.find("DIFFRACTION MTF, ALL WAVELENGTHS Y\n"), std::string::npos) << shown;
    const auto rows = rows_after(shown, kColumns);
    ASSERT_EQ(rows.size(), 11u) << shown;
    for (std::size_t j = 1; j < rows.size(); ++j) {
        EXPECT_LT(rows[j][1], rows[j - 1][1] + 1e-12);
        EXPECT_NEAR(rows[j][3], rows[j][1], 1e-6);
    }
    // Through focus at the default 25 cycles/mm: eleven shifts symmetric about the focus.
    ASSERT_NE(shown.find("DIFFRACTION MTF THROUGH FOCUS Y\nFREQUENCY 25"), std::string::npos)
        << shown;
    const auto focus = rows_after(shown, "  #        FOCUS     MODULUS       PHASE");
    ASSERT_EQ(focus.size(), 11u) << shown;
    EXPECT_NEAR(focus[5][0], 0.0, 1e-9);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(focus[i][0], -focus[10 - i][0], 1e-9);
        EXPECT_NEAR(focus[i][1], focus[10 - i][1], 2e-3) << i;
        EXPECT_LT(focus[i][1], focus[5][1]);
    }
}

TEST(MtfConsole, LargeWavefrontErrorTakesTheGeometricRoad) {
    // 0.1 before the focus: P-V about 0.85 waves, above the limit 0.1 set here. The rays fill
    // a disk of radius a = 0.1 tan u, tan u = h / (f - h^2/4f), whose MTF is 2 J1(x)/x with
    // x = 2 pi a nu.
    const std::string shown =
        run_console(paraboloid("-99.9", "SDMS 0.1\n") + "spd mon 64\nmtf tfr mon 1 y 40 4\n");
    EXPECT_EQ(shown.find("rror"), std::string::npos) << shown;
    ASSERT_NE(shown.find("GEOMETRIC MTF Y\nWAVELENGTH 1\n"), std::string::npos) << shown;
    const auto rows = rows_after(shown, kColumns);
    ASSERT_EQ(rows.size(), 11u) << shown;
    const double a = 0.1 * 10.0 / (100.0 - 100.0 / 400.0);
    for (const auto& row : rows) {
        const double x = 2.0 * kPi * a * row[0];
        const double law = x == 0.0 ? 1.0 : std::fabs(2.0 * std::cyl_bessel_j(1, x) / x);
        EXPECT_NEAR(row[1], law, 0.01) << row[0];
    }
}

TEST(MtfConsole, RefusalsNameTheirCause) {
    const std::string shown = run_console(paraboloid("-100", "") +
                                          "spd mon 17\nmtf tfr mon 2\nmtf tfr mon 1 x 100 1e-6\n");
    EXPECT_NE(shown.find("Wavelength 2 has no rays in the spot diagram"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("more than 10000 lines"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("nan"), std::string::npos) << shown;
}

}  // namespace

namespace {

// The PSF report of the perfect mirror at the commands' defaults (grid 128, 64 samples): the
// energy table rises to the whole, the image is centred and symmetric, the peak is 1 and the
// widths are those of the Airy pattern, FWHM 0.5145 lambda/NA.
TEST(PsfConsole, PerfectMirrorReportsTheAiryPattern) {
    const std::string shown = run_console(paraboloid("-100", "") +
                                          "psf_encircled\npsf_ensquared mon 1 128 64 0 1 0 0 "
                                          "5\npsf_encircled mon 0 8192\n");
    ASSERT_NE(shown.find("PSF ENCIRCLED ENERGY\nWAVELENGTH 1\n"), std::string::npos) << shown;
    // The table's rows carry no row number: read them as pairs.
    std::istringstream in(shown.substr(shown.find("      ENERGY          RADIUS")));
    std::string line;
    std::getline(in, line);
    std::vector<std::pair<double, double>> table;
    while (std::getline(in, line) && line.find("MOMENTS") == std::string::npos) {
        std::istringstream cells(line);
        std::string a, b;
        cells >> a >> b;
        table.push_back({a == "--" ? 0.0 : std::stod(a), b == "--" ? 0.0 : std::stod(b)});
    }
    ASSERT_EQ(table.size(), 21u) << shown;
    for (std::size_t i = 1; i + 1 < table.size(); ++i) {
        EXPECT_NEAR(table[i].first, 0.05 * i, 1e-9);
        EXPECT_GE(table[i].second, table[i - 1].second);
    }
    const double unit = 0.58756e-3 / (10.0 / 100.25);
    EXPECT_NEAR(number_after(shown, "PEAK VALUE"), 1.0, 1e-6);
    EXPECT_NEAR(number_after(shown, "WIDTH AT HALF MAXIMUM"), 0.5145 * unit, 0.02 * 0.5145 * unit);
    EXPECT_NEAR(number_after(shown, "CENTROID"), 0.0, 1e-12);
    // Ensquared energy against full width, five rows spread over the window.
    ASSERT_NE(shown.find("PSF ENSQUARED ENERGY\nWAVELENGTH 1\n  FULL WIDTH        ENERGY\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("The value must not be above 8191"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("nan"), std::string::npos) << shown;
}

}  // namespace

namespace {

// The three numbers of each row after heading, up to the first line that is not a row.
std::vector<std::vector<double>> triples_after(const std::string& text,
                                               const std::string& heading) {
    std::vector<std::vector<double>> rows;
    const std::size_t at = text.find(heading);
    if (at == std::string::npos) return rows;
    std::istringstream in(text.substr(at));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);  // the column headings
    while (std::getline(in, line)) {
        std::istringstream cells(line);
        std::vector<double> row;
        for (std::string v; cells >> v;) {
            char* end = nullptr;
            const double d = v == "--" ? 0.0 : std::strtod(v.c_str(), &end);
            if (v != "--" && (end == nullptr || *end != '\0')) return rows;
            row.push_back(d);
        }
        if (row.size() != 3) return rows;
        rows.push_back(row);
    }
    return rows;
}

// Sections of the defocused mirror's spot (a disk, symmetric) and of the perfect mirror's PSF:
// line spread 1 and edge spread 1/2 at the centre, mirror-symmetric about it.
TEST(SectionsConsole, SymmetricImagesGiveSymmetricSections) {
    const std::string spot =
        run_console(paraboloid("-99.9", "") + "spd mon 32\nspot_sections 1 0 0 11 0.003\n");
    const auto s = triples_after(spot, "SPOT SECTION X\n");
    ASSERT_EQ(s.size(), 11u) << spot;
    const std::string psf =
        run_console(paraboloid("-100", "") + "psf_sections 0 mon 0 -0.01 0.01 9\n");
    ASSERT_NE(psf.find("PSF SECTION Y - WAVELENGTH 1\n"), std::string::npos) << psf;
    const auto p = triples_after(psf, "PSF SECTION Y");
    ASSERT_EQ(p.size(), 9u) << psf;
    for (const auto* rows : {&s, &p}) {
        const std::size_t n = rows->size();
        EXPECT_NEAR((*rows)[n / 2][0], 0.0, 1e-12);
        EXPECT_NEAR((*rows)[n / 2][2], 0.5, 1e-3);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR((*rows)[i][0], -(*rows)[n - 1 - i][0], 1e-9);
            EXPECT_NEAR((*rows)[i][1], (*rows)[n - 1 - i][1], 2e-3) << i;
            EXPECT_NEAR((*rows)[i][2], 1.0 - (*rows)[n - 1 - i][2], 2e-3) << i;
        }
    }
    EXPECT_NEAR(p[4][1], 1.0, 0.02);
}

}  // namespace

namespace {

// A pupil apodised to a Gaussian of 1/e radius g = B/3 focuses to the waist lambda f / (pi g):
// 0.58756e-3 x 100 / (pi 10/3) = 0.0056108, which takes all the light. A cladding index equal
// to the core's is taken as 0.99 of it; an afocal lens has no image to couple.
TEST(CouplingConsole, MatchedWaistTakesAllTheLight) {
    const std::string shown =
        run_console(paraboloid("-100", "SDAZ On\nSDGX 3.33333333333\nSDGY 3.33333333333\n") +
                    "coupling_efficiency 1 0 0.0056108\ncoupling 1 1 0 1.46 1.46\n");
    ASSERT_NE(shown.find("COUPLING EFFICIENCY\nWAVELENGTH 1\nGAUSSIAN MODE"), std::string::npos)
        << shown;
    EXPECT_NEAR(number_after(shown, "EFFICIENCY "), 1.0, 1e-3) << shown;
    EXPECT_NEAR(number_after(shown, "("), 0.0, 5e-3) << shown;
    EXPECT_NEAR(number_after(shown, "CLADDING INDEX"), 0.99 * 1.46, 1e-9) << shown;
    const std::string afocal = run_console(
        "LEN NEW \"Afocal\"\nAFO 1\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nCC "
        "-1\nNXT\nEND\ncoupling\n");
    EXPECT_NE(afocal.find("this lens is afocal"), std::string::npos) << afocal;
    EXPECT_EQ(afocal.find("EFFICIENCY"), std::string::npos) << afocal;
}

}  // namespace

namespace {

// Above 32400 divisions the lattice's half step rounds to nothing: refused with a message
// rather than tracing forever; the diagram and its MTF are still made at a sound count.
TEST(SpotDivisionsConsole, DivisionsBeyondTheLatticeAreRefused) {
    const std::string shown =
        run_console(paraboloid("-100", "") + "spd mon 40000\nspd mon 99999.5\nspd mon 17\nmtf\n");
    std::size_t refusals = 0;
    for (std::size_t at = shown.find("below 32400"); at != std::string::npos;
         at = shown.find("below 32400", at + 1)) {
        ++refusals;
    }
    EXPECT_EQ(refusals, 2u) << shown;
    EXPECT_NE(shown.find("CUT-OFF FREQUENCY"), std::string::npos) << shown;
}

}  // namespace
