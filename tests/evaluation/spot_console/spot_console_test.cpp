// The spot diagram as a user types it into the console program: an on-axis paraboloidal mirror
// at f/5 with its object at infinity, the reference ray, then the spot commands; what they
// print, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

const char* const kParaboloid =
    "LEN NEW \"Paraboloid\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nCC -1\nNXT\nEND\n"
    "trr 0 0 0 0 0\n";

std::string run_console(const std::string& lines) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    return tavo_test::run_tavolt(tree, lines).shown;
}

// The numbers on the line after the first line that starts with heading, from position at.
std::vector<std::string> cells_after(const std::string& text, const std::string& heading,
                                     std::size_t from = 0) {
    std::size_t at = text.find("\n" + heading, from);
    std::vector<std::string> cells;
    if (at == std::string::npos) return cells;
    at = text.find('\n', at + 1);
    const std::size_t end = text.find('\n', at + 1);
    std::istringstream line(text.substr(at + 1, end - at - 1));
    for (std::string cell; line >> cell;) cells.push_back(cell);
    return cells;
}

// Lattice points of 17.03 divisions inside the unit circle: odd multiples of 951/16200 from
// -17 to 17 half steps.
int full_grid_count() {
    int n = 0;
    for (int i = -17; i <= 17; i += 2) {
        for (int j = -17; j <= 17; j += 2) {
            const double x = j * 951 / 16200.0, y = i * 951 / 16200.0;
            if (x * x + y * y <= 1.0) ++n;
        }
    }
    return n;
}

TEST(SpotConsole, ParaboloidAtFocusShowsAPointSpot) {
    const std::string shown = run_console(std::string(kParaboloid) +
                                          "spot_diagram chr\nspot_sizes 1\nspot_setup\n"
                                          "point_intensity 1\n");
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
    ASSERT_NE(shown.find("SPOT DIAGRAM CHR"), std::string::npos) << shown;
    // The half pupil is traced; the report counts both halves, at each of the 3 wavelengths.
    const auto counts = cells_after(shown, "RAYS TRACED");
    ASSERT_EQ(counts.size(), 3u) << shown;  // the heading line
    const auto values = cells_after(shown, "         1", shown.find("RAYS TRACED"));
    ASSERT_EQ(values.size(), 3u) << shown;
    for (const auto& v : values) EXPECT_EQ(std::stoi(v), full_grid_count()) << shown;
    // rms y, rms x, radial rms 0 ("--"), the Airy radius, both centroids 0.
    const auto sizes = cells_after(shown, "       RMS Y");
    ASSERT_EQ(sizes.size(), 6u) << shown;
    EXPECT_EQ(sizes[0], "--");
    EXPECT_EQ(sizes[1], "--");
    EXPECT_EQ(sizes[2], "--");
    EXPECT_EQ(sizes[4], "--");
    EXPECT_EQ(sizes[5], "--");
    // 0.60984 lambda / NA at the d line; the outermost grid ring is at 16/17.03 of the pupil
    // radius or beyond, so NA lies between 0.094 and 0.0998.
    const double airy = std::stod(sizes[3]);
    EXPECT_GT(airy, 0.60984 * 0.58756e-3 / 0.0998);
    EXPECT_LT(airy, 0.60984 * 0.58756e-3 / 0.094);
    EXPECT_NE(shown.find("SPOT SIZES AT THE FOCUS OF LEAST RMS"), std::string::npos);
    EXPECT_NE(shown.find("HALF PUPIL    1.000000"), std::string::npos) << shown;
    // At the reference ray's image point: intensity 1, amplitude 1, phase -90 degrees.
    const auto intensity = cells_after(shown, "           Y           X       FOCUS   INTENSITY");
    ASSERT_EQ(intensity.size(), 6u) << shown;
    EXPECT_EQ(intensity[3], "1.000000");
    EXPECT_EQ(intensity[4], "1.000000");
    EXPECT_EQ(intensity[5], "-90.000000");
}

TEST(SpotConsole, RefusalsNameTheirCause) {
    const std::string shown =
        run_console(std::string(kParaboloid) + "spd mon gauss 0 1 0 0\nspd mon 0 0 7\n");
    EXPECT_NE(shown.find("An apodisation width of 0 leaves no light in the pupil"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("The wavelength number must lie between 1 and 3"), std::string::npos)
        << shown;
    EXPECT_EQ(shown.find("RAYS TRACED"), std::string::npos) << shown;
}

// "spd chr 10.0": the apodisation word left out, 10 divisions read as the next value.
TEST(SpotConsole, ALeftOutWordPassesItsValueOn) {
    const std::string shown = run_console(std::string(kParaboloid) + "spd chr 10.0\n");
    EXPECT_NE(shown.find("APERTURE DIVISIONS   10.000000"), std::string::npos) << shown;
}

// A spherical mirror of radius 200 with beam radius 10 at its paraxial focus has the wavefront
// W040 rho^4, W040 = h^4 / (4 |R|^3) (third order; the next order is (h/R)^2 smaller). Over the
// unit disk rho^4 has rms W040 sqrt(1/5 - 1/9); balanced by the best focus, rho^4 - rho^2 has
// rms W040 / sqrt(180).
TEST(SpotConsole, WavefrontOfASphericalMirror) {
    const std::string shown = run_console(
        "LEN NEW \"Sphere\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nNXT\nEND\n"
        "trr 0 0 0 0 0\nspd mon none 64\nwavefront_stats 3 1\nwavefront_stats 2 1\n");
    const double w040 = 1e4 / (4.0 * 8e6) / 0.58756e-3;  // waves at the d line
    const std::size_t given = shown.find("REFERENCE POINT: AS GIVEN");
    ASSERT_NE(given, std::string::npos) << shown;
    const auto plain = cells_after(shown, "         P-V", given);
    ASSERT_EQ(plain.size(), 6u) << shown;
    EXPECT_NEAR(std::stod(plain[0]), w040, 0.01 * w040);
    EXPECT_NEAR(std::stod(plain[1]), w040 * std::sqrt(4.0 / 45.0),
                0.01 * w040 * std::sqrt(4.0 / 45.0));
    const std::size_t fitted = shown.find("REFERENCE POINT: BEST FIT WITH FOCUS");
    ASSERT_NE(fitted, std::string::npos) << shown;
    const auto balanced = cells_after(shown, "         P-V", fitted);
    ASSERT_EQ(balanced.size(), 6u) << shown;
    EXPECT_NEAR(std::stod(balanced[1]), w040 / std::sqrt(180.0), 0.02 * w040 / std::sqrt(180.0));
    // The ideal focus lies W040-worth of defocus away: the fitted shift is not 0.
    EXPECT_NE(balanced[5], "--");
}

TEST(SpotConsole, PerfectWavefrontHasNoError) {
    const std::string shown = run_console(std::string(kParaboloid) + "spd\nwavefront_stats 1 1\n");
    const std::size_t at = shown.rfind("WAVELENGTH 1\n");
    ASSERT_NE(at, std::string::npos) << shown;
    const auto cells = cells_after(shown, "         P-V", at);
    ASSERT_EQ(cells.size(), 6u) << shown;
    EXPECT_EQ(cells[0], "--");
    EXPECT_EQ(cells[1], "--");
    EXPECT_EQ(cells[2], "1.000000");
}

// A 3-division grid on the half pupil of a spherical mirror holds two rays, at pupil (y, x) =
// (-1/3, 1/3) and (1/3, 1/3). On the mirror (radius 200, beam radius 10) they stand at
// 10/3 from the axis in y and x, at the sag -(200 - sqrt(200^2 - 2 (10/3)^2)).
TEST(SpotConsole, RayListingShowsTheStoredRays) {
    const std::string shown = run_console(
        "LEN NEW \"Sphere\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nNXT\nEND\n"
        "trr 0 0 0 0 0\nspd mon none 3\nspot_rays 3\nspot_rays 4 0 2 2\nspot_rays 5\n");
    const std::size_t at = shown.find("POINTS ON THE LAST SURFACE");
    ASSERT_NE(at, std::string::npos) << shown;
    const auto ray1 = cells_after(shown, "WV1", at);
    ASSERT_EQ(ray1.size(), 7u) << shown;
    EXPECT_EQ(ray1[0], "1");
    EXPECT_NEAR(std::stod(ray1[1]), -1.0 / 3.0, 1e-6);
    EXPECT_NEAR(std::stod(ray1[2]), 1.0 / 3.0, 1e-6);
    EXPECT_NEAR(std::stod(ray1[3]), -10.0 / 3.0, 1e-6);
    EXPECT_NEAR(std::stod(ray1[4]), 10.0 / 3.0, 1e-6);
    const double sag = -(200.0 - std::sqrt(200.0 * 200.0 - 2.0 * 100.0 / 9.0));
    EXPECT_NEAR(std::stod(ray1[5]), sag, 1e-6);
    // Ray 2 alone, with its weight 1.
    const std::size_t weights = shown.find("RAY WEIGHTS AND IMAGE POINTS");
    ASSERT_NE(weights, std::string::npos) << shown;
    const auto ray2 = cells_after(shown, "WV1", weights);
    ASSERT_EQ(ray2.size(), 7u) << shown;
    EXPECT_EQ(ray2[0], "2");
    EXPECT_EQ(ray2[3], "1.000000");
    EXPECT_EQ(shown.find("\n  1 ", weights), std::string::npos) << shown;
    // Mode 5 is refused before anything is listed.
    EXPECT_NE(shown.find("mode: The value must not be above 4"), std::string::npos) << shown;
}

// Step 0.3 gives floor(1/0.3 + 0.5) = 3 lines; a step of 1e-9 would give 1e9 lines: refused.
TEST(SpotConsole, EnergyStepsGiveTheirLineCount) {
    const std::string shown = run_console(std::string(kParaboloid) +
                                          "spd\nencircled_energy 0.3\nensquared_energy 1e-9\n");
    const std::size_t at = shown.find("    FRACTION      RADIUS\n");
    ASSERT_NE(at, std::string::npos) << shown;
    const std::size_t end = shown.find("TAVO LT: Error", at);
    const std::string table =
        shown.substr(at, end == std::string::npos ? std::string::npos : end - at);
    int lines = 0;
    for (char c : table) lines += c == '\n';
    // The heading and three levels, the last at fraction 1.
    EXPECT_EQ(lines, 4) << table;
    EXPECT_NE(table.find("    1.000000"), std::string::npos) << table;
    EXPECT_NE(shown.find("The energy step gives more than 1000 lines"), std::string::npos) << shown;
}

// The first number on the line that ends with label, after position from.
double coefficient(const std::string& text, const std::string& label, std::size_t from) {
    const std::size_t at = text.find(label + "\n", from);
    if (at == std::string::npos) return NAN;
    const std::size_t start = text.rfind('\n', at) + 1;
    const std::string cell = text.substr(start, at - start);
    if (cell.find("--") != std::string::npos) return 0.0;
    return std::stod(cell);
}

// The spherical mirror's W040 rho^4 about the paraxial focus (mode 13, lateral fit only) is
// W040 (Z9/6 + Z4/2 + Z1/3) in Fringe terms: rho^4 = (6rho^4 - 6rho^2 + 1)/6 + (2rho^2 - 1)/2
// + 1/3.
TEST(SpotConsole, ZernikeTermsOfSphericalAberration) {
    const std::string shown = run_console(
        "LEN NEW \"Sphere\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nNXT\nEND\n"
        "trr 0 0 0 0 0\nspd mon none 32\nzernike_fit 13 1 0 0 0 8\nzernike_fit 13 1 0 0 0 -1\n");
    const double w040 = 1e4 / (4.0 * 8e6) / 0.58756e-3;
    const std::size_t at = shown.find("ZERNIKE FIT");
    ASSERT_NE(at, std::string::npos) << shown;
    EXPECT_NEAR(coefficient(shown, "Z9  SPHERICAL", at), w040 / 6.0, 0.01 * w040 / 6.0) << shown;
    EXPECT_NEAR(coefficient(shown, "Z4  FOCUS", at), w040 / 2.0, 0.01 * w040 / 2.0);
    EXPECT_NEAR(coefficient(shown, "Z1  PISTON", at), w040 / 3.0, 0.01 * w040 / 3.0);
    EXPECT_EQ(coefficient(shown, "Z2  TILT P", at), 0.0);
    EXPECT_NE(shown.find("The term count must not be negative"), std::string::npos) << shown;
}

// The paraboloid with its image moved by delta, the reference point given at the image
// (mode 12): the focus error W20 rho^2 with W20 = delta NA^2 / 2 is W20 (Z4/2 + Z1/2).
TEST(SpotConsole, ZernikeFocusOfADefocusedParaboloid) {
    const std::string shown = run_console(
        "LEN NEW \"Paraboloid\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH -99.95\nRFL\nCC -1\nNXT\n"
        "END\ntrr 0 0 0 0 0\nspd mon none 64\nzernike_fit 12 1 0 0 0 8\n");
    const double na = 10.0 / (100.0 + 100.0 / 400.0);
    const double w20 = 0.05 * na * na / 2.0 / 0.58756e-3;
    const std::size_t at = shown.find("ZERNIKE FIT");
    ASSERT_NE(at, std::string::npos) << shown;
    EXPECT_NEAR(std::fabs(coefficient(shown, "Z4  FOCUS", at)), w20 / 2.0, 0.01 * w20 / 2.0)
        << shown;
}

// The selectors run the report as its own command: the history holds the report command with
// the arguments it ran with, not the selector.
TEST(SpotConsole, SelectorsLeaveTheReportCommandInTheHistory) {
    const std::string shown = run_console(std::string(kParaboloid) +
                                          "spd\nspot_report 1 0\nwavefront_report 2 1 0 0 0 0 1 8\n"
                                          "wavefront_report 1 2\nhistory\n");
    EXPECT_NE(shown.find("SPOT SIZES AT THE FOCUS OF LEAST RMS Y"), std::string::npos) << shown;
    const std::size_t history = shown.find("Command history:");
    ASSERT_NE(history, std::string::npos) << shown;
    const std::string lines = shown.substr(history);
    EXPECT_NE(lines.find("\nspot_sizes 3\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("\nzernike_fit 13 1 0.0 0.0 0.0 8\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("\nwavefront_stats 2 0"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("_report"), std::string::npos) << lines;
}

// A one-wavelength diagram has no rays of wavelength 2: the reports that ask for it refuse.
TEST(SpotConsole, AWavelengthWithoutRaysIsRefused) {
    const std::string shown = run_console(std::string(kParaboloid) +
                                          "spd mon\nwavefront_stats 1 2\npoint_intensity 0 0 2\n");
    std::size_t count = 0;
    for (std::size_t at = shown.find("Wavelength 2 has no rays in the spot diagram");
         at != std::string::npos; at = shown.find("Wavelength 2 has no rays", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 2u) << shown;
}

// The whole report and set-up listing of the paraboloid as the golden text holds them (its
// numbers are checked above: 232 rays a wavelength, rms and centroids 0, intensity 1).
TEST(SpotConsole, ReportAndSetupMatchTheGoldenText) {
    const std::string shown =
        run_console(std::string(kParaboloid) + "spot_diagram chr\nspot_setup\n");
    const std::size_t at = shown.find("SPOT DIAGRAM CHR");
    ASSERT_NE(at, std::string::npos) << shown;
    const std::string golden = tavo_test::read_file(std::filesystem::path(TAVO_FIXTURES_DIR) /
                                                    "evaluation" / "paraboloid_spot.txt");
    EXPECT_EQ(shown.substr(at), golden);
}

// At 101 aperture divisions the half pupil holds 4036 lattice points a wavelength: one wavelength
// fits the store of 10000 rays, three do not. The refusal claims no rays kept and no report of
// part of the pupil follows; the same divisions at one wavelength are reported.
TEST(SpotConsole, ADiagramBeyondTheRayLimitIsRefused) {
    const std::string shown = run_console(std::string(kParaboloid) +
                                          "spot_diagram chr none 101 1\n"
                                          "spot_diagram mon none 101 1\n");
    const std::size_t refusal = shown.find("needs more rays than Max_spd_rays allows");
    ASSERT_NE(refusal, std::string::npos) << shown;
    EXPECT_EQ(shown.find("kept"), std::string::npos) << shown;
    const std::size_t counts = shown.find("RAYS TRACED");
    ASSERT_NE(counts, std::string::npos) << shown;
    EXPECT_GT(counts, shown.find("SPOT DIAGRAM MON")) << shown;
    EXPECT_EQ(shown.find("RAYS TRACED", counts + 1), std::string::npos) << shown;
}

// The size in the row of all the energy (1.000000) of the PSF report under heading.
double psf_size_holding_all_energy(const std::string& text, const std::string& heading) {
    std::size_t at = text.find(heading);
    if (at == std::string::npos) return -1.0;
    while ((at = text.find('\n', at)) != std::string::npos) {
        ++at;
        std::istringstream line(text.substr(at, text.find('\n', at) - at));
        std::string energy, size;
        if (!(line >> energy >> size)) break;
        if (energy == "1.000000") return size == "--" ? 0.0 : std::stod(size);
    }
    return -1.0;
}

// The default 128-cell grid sampled 64 times across the pupil has cells of lambda m / (2 NA n);
// the rim ray of the f/5 paraboloid meets the focus 100.25 from the mirror (the sag at height
// 10 is 0.25), so NA = 10 / 100.25. The window of 127 cells reaches 63 cells each side of the
// centred PSF: all its energy lies within the half-diagonal 63 sqrt 2 cells, and within the
// square of full width 126 cells.
TEST(SpotConsole, AllTheEnergyOfThePsfWindowLiesWithinItsCorners) {
    const std::string shown =
        run_console(std::string(kParaboloid) + "psf_encircled\npsf_ensquared\n");
    const double cell = 0.58756e-3 * 64 / (2.0 * (10.0 / 100.25) * 128);
    const struct {
        const char* heading;
        double cells;
    } cases[] = {{"PSF ENCIRCLED ENERGY", 63.0 * std::sqrt(2.0)}, {"PSF ENSQUARED ENERGY", 126.0}};
    for (const auto& c : cases) {
        EXPECT_NEAR(psf_size_holding_all_energy(shown, c.heading), c.cells * cell, 2e-6)
            << c.heading << "\n"
            << shown;
    }
}

// The rows (size, energy) of the energy-against-size table under heading: the first run of
// lines that hold two numbers and nothing else.
std::vector<std::pair<double, double>> psf_energy_rows(const std::string& text,
                                                       const std::string& heading) {
    std::vector<std::pair<double, double>> rows;
    std::size_t at = text.find(heading);
    while (at != std::string::npos && (at = text.find('\n', at)) != std::string::npos) {
        ++at;
        std::istringstream line(text.substr(at, text.find('\n', at) - at));
        std::string size, energy, more;
        // A zero is listed as a dash.
        const auto number = [](const std::string& word, double& value) {
            char* end = nullptr;
            value = word == "--" ? 0.0 : std::strtod(word.c_str(), &end);
            return word == "--" || (end != word.c_str() && *end == '\0');
        };
        double s = 0.0, e = 0.0;
        if ((line >> size >> energy) && !(line >> more) && number(size, s) && number(energy, e)) {
            rows.emplace_back(s, e);
        } else if (!rows.empty()) {
            break;
        }
    }
    return rows;
}

// The on-axis paraboloid's PSF is the discrete transform of its 64-across pupil samples (unit
// amplitude, no path difference): the intensity of the cell (dx, dy) from the centre is
// |sum exp(2 pi i (dx a + dy b) / 256)|^2 / N^2 over the N odd pairs (a, b), a^2 + b^2 <= 64^2,
// and all 128 x 128 cells hold 128^2 / N. The window of 127 cells leaves out the top row and
// the left column. The rings about the centred spot: radius 1 holds the centre and the four
// cells one out, radius 2 also the four diagonal cells and the four two out; width 2 holds the
// 3 x 3 block, width 4 the 5 x 5 block. These sums, taken here without a transform, are what
// the tables must list at those sizes.
TEST(SpotConsole, PsfRingsHoldTheCellsOnTheirEdge) {
    const std::string shown = run_console(std::string(kParaboloid) +
                                          "psf_encircled mon 0 128 64 0 1 0 0 64\n"
                                          "psf_ensquared mon 0 128 64 0 1 0 0 64\n");
    std::vector<std::pair<int, int>> samples;
    for (int a = -63; a <= 63; a += 2) {
        for (int b = -63; b <= 63; b += 2) {
            if (a * a + b * b <= 64 * 64) samples.emplace_back(a, b);
        }
    }
    const double N = static_cast<double>(samples.size());
    const auto intensity = [&](int dx, int dy) {
        double re = 0.0, im = 0.0;
        for (const auto& [a, b] : samples) {
            const double phase = 2.0 * std::numbers::pi * (dx * a + dy * b) / 256.0;
            re += std::cos(phase);
            im += std::sin(phase);
        }
        return (re * re + im * im) / (N * N);
    };
    double window = 128.0 * 128.0 / N - intensity(-64, 64);
    for (int k = -64; k < 64; ++k) window -= intensity(k, 64) + intensity(-64, -k);
    const auto within = [&](int k, bool square) {
        double sum = 0.0;
        for (int dx = -k; dx <= k; ++dx) {
            for (int dy = -k; dy <= k; ++dy) {
                if (square || dx * dx + dy * dy <= k * k) sum += intensity(dx, dy);
            }
        }
        return sum / window;
    };
    // 64 rows over the 126 cells of the window: radii step by 1 cell, widths by 2.
    const struct {
        const char* heading;
        bool square;
    } cases[] = {{"PSF ENCIRCLED ENERGY", false}, {"PSF ENSQUARED ENERGY", true}};
    for (const auto& c : cases) {
        const auto rows = psf_energy_rows(shown, c.heading);
        ASSERT_EQ(rows.size(), 64u) << c.heading << "\n" << shown;
        EXPECT_EQ(rows[0].second, 0.0) << c.heading;
        for (int k = 1; k <= 2; ++k) {
            EXPECT_NEAR(rows[k].second, within(k, c.square), 2e-6) << c.heading << " " << k;
        }
    }
}

}  // namespace

// The selectors' arguments take the words of their value lists: the sizes, the axis of the best
// focus (x when it is left out), the kind, the reference and the wavelengths.
TEST(SpotConsole, SelectorsTakeTheWordsOfTheirLists) {
    const std::string shown = run_console(
        std::string(kParaboloid) +
        "spd\nspot_report best_focus y\nspot_report best_focus\nspot_report given_focus both 0.5\n"
        "wavefront_report zernike lateral 0 0 0 one 1 8\nwavefront_report wavefront given\n"
        "history\n");
    const std::size_t history = shown.find("Command history:");
    ASSERT_NE(history, std::string::npos) << shown;
    EXPECT_EQ(shown.substr(0, history).find("Error"), std::string::npos) << shown;
    const std::string lines = shown.substr(history);
    EXPECT_NE(lines.find("\nspot_sizes 3\nspot_sizes 2\nspot_sizes 0 0.5"), std::string::npos)
        << lines;
    EXPECT_NE(lines.find("\nzernike_fit 13 1 0.0 0.0 0.0 8\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("\nwavefront_stats 3 0"), std::string::npos) << lines;
}

// An afocal lens has no focus to fit or to give: of the reference choices only the lateral fit
// is offered, so the other words are refused before anything runs.
TEST(SpotConsole, AnAfocalLensOffersOnlyTheLateralReference) {
    const std::string afocal =
        "LEN NEW \"Afocal\"\nAFO 1\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nCC -1\nNXT\n"
        "END\n";
    const std::string shown = run_console(afocal +
                                          "wavefront_report zernike best_focus\n"
                                          "wavefront_report zernike given\n"
                                          "wavefront_report zernike lateral\nhistory\n");
    EXPECT_NE(shown.find("Unknown name best_focus"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Unknown name given"), std::string::npos) << shown;
    std::size_t fits = 0;
    for (std::size_t at = shown.find("ZERNIKE FIT"); at != std::string::npos;
         at = shown.find("ZERNIKE FIT", at + 1)) {
        ++fits;
    }
    EXPECT_EQ(fits, 1u) << shown;
    EXPECT_NE(shown.find("ZERNIKE FIT lateral"), std::string::npos) << shown;
}
