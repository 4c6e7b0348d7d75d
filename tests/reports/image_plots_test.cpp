// The image plots of the spot diagram checked against independent optics on the perfect f/5
// paraboloid: the MTF curve against the diffraction-limited MTF, the diffraction encircled
// energy against the Airy pattern, the spot markers against the rays' offsets, the intensity
// perspective's central peak, the wavefront statistics against the stored path differences;
// how the typed lines fill the cells; the refusals.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "reports/floating_horizon.h"
#include "reports/image_plot_frame.h"
#include "reports/intensity_perspective.h"
#include "reports/mtf_energy_plots.h"
#include "reports/plot_frame.h"
#include "reports/spot_plot.h"
#include "reports/wavefront_plots.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/text_output.h"
#include "tests/reports/plot_fixture.h"

namespace plot_test {
namespace {

// The cells a handler was called with, as doubles.
std::vector<double> g_cells;

int capture_cells() {
    g_cells.clear();
    for (int i = 0; i < arg_count(); ++i) g_cells.push_back(arg_double(i));
    return 0;
}

class ImagePlots : public PlotLoop {
protected:
    void TearDown() override {
        set_handler(kSlotPlotMtfEnergy, cmd_plot_mtf_energy);
        set_handler(kSlotPlotIntensityPerspective, cmd_plot_intensity_perspective);
        set_handler(kSlotPlotSpotDiagram, cmd_plot_spot_diagram);
        set_handler(kSlotPlotWavefront, cmd_plot_wavefront);
        g_cells.clear();
        PlotLoop::TearDown();
    }
    static double na() { return 10.0 / 100.25; }
    static double lambda_mm() { return lens_data().wavelengths[0].wavelength * 1e-3; }

    // World coordinates of a stored point (the mapping is linear).
    static void world_of(const ListPoint& p, double* x, double* y, double unit = 1.0) {
        const ListPoint o = stored(0.0, 0.0), u = stored(unit, unit);
        *x = unit * static_cast<double>(p.x - o.x) / (u.x - o.x);
        *y = unit * static_cast<double>(p.y - o.y) / (u.y - o.y);
    }
    // The polylines of exactly count points, in order.
    static std::vector<std::vector<ListPoint>> lines_of(std::size_t count) {
        std::vector<std::vector<ListPoint>> out;
        for (const auto& l : tavo_test::display_list_polylines(display_list_words())) {
            if (l.size() == count) out.push_back(l);
        }
        return out;
    }
    bool drawn(const std::string& text) {
        for (const std::string& t : tavo_test::display_list_texts(display_list_words())) {
            if (t.find(text) != std::string::npos) return true;
        }
        return false;
    }
    std::vector<std::string> texts() { return tavo_test::display_list_texts(display_list_words()); }
    // The current diagram's rays replaced by hand-made ones of wavelength 1 (its reference ray,
    // Airy radii and pupil extents kept), each of weight 1, and the statistics made again.
    static void hand_store(const std::vector<SpotRay>& rays) {
        SpotStore& st = spot_store();
        ASSERT_LE(static_cast<std::int32_t>(rays.size()), st.capacity);
        st.ray_count = static_cast<std::int32_t>(rays.size());
        for (int w = 0; w < st.wavelength_capacity; ++w) st.wave_ray_counts[w] = 0;
        st.wave_ray_counts[0] = st.ray_count;
        st.half_pupil = 0;
        for (std::size_t i = 0; i < rays.size(); ++i) {
            st.rays[i] = rays[i];
            st.rays[i].amplitude = 1.0;
            st.rays[i].apod = 1.0;
            st.rays[i].wave = 0;
        }
        spot_statistics();
    }
    // The one-character texts of the list with the colour each is drawn in, in order.
    struct ColouredText {
        int colour;
        std::string text;
    };
    static std::vector<ColouredText> coloured_characters() {
        std::vector<ColouredText> out;
        std::istringstream in(list_text());
        int colour = -1;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("colour ", 0) == 0) colour = std::stoi(line.substr(7));
            const std::size_t q = line.find('"');
            if (line.rfind("text ", 0) == 0 && q != std::string::npos && line.size() == q + 3)
                out.push_back({colour, line.substr(q + 1, 1)});
        }
        return out;
    }
    void expect_refused(const std::string& line, const std::string& message) {
        const std::size_t before = boxes();
        type(line);
        ASSERT_EQ(boxes(), before + 1) << line;
        EXPECT_NE(last_box().find(message), std::string::npos) << line << ": " << last_box();
    }
};

TEST_F(ImagePlots, TypedLinesFillTheCellsTheirWordsLeave) {
    for (int slot : {kSlotPlotMtfEnergy, kSlotPlotSpotDiagram, kSlotPlotWavefront}) {
        set_handler(slot, capture_cells);
    }
    struct Case {
        const char* line;
        std::vector<double> cells;
    };
    const Case cases[] = {
        // Skipped positions stay 0.
        {"plot_rad_energy_dist geo smo 0.0 20 0.05 1", {0, 0, 0, 0, 0, 0.0, 20, 0.05, 0, 1}},
        {"plot_rad_energy_dist dif ref mon 2 0.01 0.02 32", {1, 0, 1, 0, 2, 0.01, 0, 0.02, 32, 1}},
        {"plm tfo chr 25.0 0.1 -1 7 Yes", {1, 1, 0, 0, 25.0, 0, 0.1, -1, 0, 7, 1}},
        {"plm tfr mon 1 0.0 100.0 3 21 No", {0, 0, 1, 0.0, 0, 100.0, 0, 3, 21, 0, 0}},
        {"plot_spot_diagram cen sym 0.0 0.05", {0, 1, 0.0, 0.05}},
        {"pls abs spt 0.1", {2, 0, 0.1, 0}},
        {"plot_wavefront map 1 0.25 0.0", {0, 0, 0, 1, 0.25, 0.0, 32}},
        {"plot_wavefront con none x 1 0.5 0.0 32", {1, 2, 1, 1, 0.5, 0.0, 32}},
    };
    for (const Case& c : cases) {
        g_cells.clear();
        type(c.line);
        ASSERT_EQ(boxes(), 0u) << c.line << ": " << last_box();
        ASSERT_GE(g_cells.size(), c.cells.size()) << c.line;
        for (std::size_t i = 0; i < c.cells.size(); ++i) {
            EXPECT_DOUBLE_EQ(g_cells[i], c.cells[i]) << c.line << " cell " << i + 1;
        }
    }
}

TEST_F(ImagePlots, MtfOfThePerfectPupilIsTheDiffractionLimit) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 32");
    // Both ways of computing the MTF: the pupil's autocorrelation, and the coarser binned ray
    // pairs of Qr_mtf (setting 70).
    struct Method {
        int qr_mtf;
        double tolerance;
    };
    struct QrMtfOff {
        ~QrMtfOff() { set_setting_flag(kSetQrMtf, 0); }
    } restore;
    for (const Method& m : {Method{0, 0.015}, Method{1, 0.02}}) {
        type(std::string("set_setting Qr_mtf ") + (m.qr_mtf != 0 ? "On" : "Off"));
        ASSERT_EQ(get_setting_flag(kSetQrMtf), m.qr_mtf) << last_box();
        type("plm tfr mon 0 0 0 1 21 yes");
        ASSERT_EQ(boxes(), 0u) << last_box();
        // rms 0: the scale is the cut-off stepped down to a round value.
        const double cutoff = 2.0 * na() / lambda_mm();
        const double s = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
        EXPECT_LE(s, cutoff);
        EXPECT_GT(s, 0.5 * cutoff);
        // 21 samples, 5 sub-points an interval: the ideal curve, then the y and x curves.
        const auto lines = lines_of(101);
        ASSERT_EQ(lines.size(), 3u) << list_text();
        for (const auto& line : lines) {
            for (int i = 0; i < 21; ++i) {
                double x = 0.0, y = 0.0;
                world_of(line[static_cast<std::size_t>(5 * i)], &x, &y);
                EXPECT_NEAR(x, i / 20.0, 0.002);
                const double c = std::min(1.0, i / 20.0 * s / cutoff);
                const double phi = std::acos(c);
                const double want = 2.0 / std::numbers::pi * (phi - c * std::sin(phi));
                EXPECT_NEAR(y, want, m.tolerance)
                    << "Qr_mtf " << m.qr_mtf << " frequency " << i / 20.0 * s;
            }
        }
    }
    type("set_setting Qr_mtf Off");
    // Five samples: 25 sub-points an interval; a negative marker draws the x curve alone.
    type("plm tfr mon 0 0 0 -1 5 no");
    ASSERT_EQ(boxes(), 0u) << last_box();
    EXPECT_EQ(lines_of(101).size(), 1u);
    EXPECT_TRUE(drawn("MODULUS"));
    // All wavelengths need a diagram of all wavelengths.
    expect_refused("plm tfr chr 0 0 1 21 no", "spot diagram of all wavelengths");
}

TEST_F(ImagePlots, AllWavelengthsOfAOneWavelengthLensPlotIt) {
    type_all({"LEN NEW \"One\"", "EBR 10", "ANG 0", "WV 0.58756", "NXT", "RD -200", "TH -100",
              "RFL", "CC -1", "NXT", "END"});
    ASSERT_EQ(boxes(), 0u) << last_box();
    ASSERT_EQ(lens_data().wavelength_count, 1);
    type("spd mon 16");
    type("plm tfr chr 0 0 1 21 no");
    ASSERT_EQ(boxes(), 0u) << last_box();
    EXPECT_TRUE(drawn("WV1")) << list_text();
    // The caller's cells are left as they were.
    ArgCell** cells = new_arg_vector();
    const double values[] = {0, 1, 0, 0, 0, 0, 0, 1, 21, 7, 0};
    for (int i = 0; i < 11; ++i) {
        *cells[i] = ArgCell{};
        cells[i]->type = kArgDouble;
        cells[i]->value.d = values[i];
    }
    set_arg_vector(cells, 11);
    set_current_command(kCmdPlotMtf);
    EXPECT_EQ(cmd_plot_mtf_energy(), 0);
    EXPECT_EQ(arg_double(1), 1.0);
}

TEST_F(ImagePlots, ThroughFocusMtfIsSymmetricAboutFocus) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 32");
    type("plm tfo mon 0 50 0 1 7 no");
    ASSERT_EQ(boxes(), 0u) << last_box();
    // 7 positions: floor(100/6 + 0.5) = 17 sub-points an interval.
    const auto lines = lines_of(6 * 17 + 1);
    ASSERT_EQ(lines.size(), 2u) << list_text();
    for (const auto& line : lines) {
        for (int i = 0; i < 3; ++i) {
            double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            world_of(line[static_cast<std::size_t>(17 * i)], &x1, &y1);
            world_of(line[static_cast<std::size_t>(17 * (6 - i))], &x2, &y2);
            EXPECT_NEAR(y1, y2, 0.005);
        }
    }
}

TEST_F(ImagePlots, DiffractionEncircledEnergyFollowsTheAiryPattern) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 32");
    const double ring = 0.60984 * lambda_mm() / na();
    type("plot_rad_energy_dist dif bfp mon 0 0 " + number(4.0 * ring) + " 64");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const double s = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
    ASSERT_GT(s, 0.0);
    const auto lines = lines_of(32 * 5 + 1);
    ASSERT_EQ(lines.size(), 1u) << list_text();
    // The energy is a fraction of what the sampled square holds: against the Airy pattern's
    // encircled energy relative to that of the largest circle drawn.
    auto airy = [&](double r) {
        const double v = 2.0 * std::numbers::pi * na() * r / lambda_mm();
        const double j0 = std::cyl_bessel_j(0.0, v), j1 = std::cyl_bessel_j(1.0, v);
        return 1.0 - j0 * j0 - j1 * j1;
    };
    double x = 0.0, last = 0.0;
    world_of(lines[0].back(), &x, &last);
    // From one Airy radius out: inside it the grid's cells cut the few rings coarsely.
    for (int i = 8; i <= 32; ++i) {
        double y = 0.0;
        world_of(lines[0][static_cast<std::size_t>(5 * i)], &x, &y);
        EXPECT_NEAR(y / last, airy(i / 32.0 * s) / airy(s), 0.01) << "radius " << i / 32.0 * s;
    }
}

TEST_F(ImagePlots, GeometricStaircaseRisesToTheWholeEnergy) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    type("spd mon 8");
    type("plot_rad_energy_dist geo stair 0 20 0 1");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const std::int32_t rays = spot_store().ray_count;
    const auto lines = lines_of(static_cast<std::size_t>(rays) + 1);
    ASSERT_EQ(lines.size(), 1u) << list_text();
    double largest = 0.0;
    for (std::int32_t i = 0; i < rays; ++i) {
        double x = 0.0, y = 0.0;
        ray_offset_from_reference(0, i, x, y, 0.0);
        largest = std::max(largest, std::hypot(x, y));
    }
    const double s = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
    double px = -1.0, py = -1.0;
    for (const ListPoint& p : lines[0]) {
        double x = 0.0, y = 0.0;
        world_of(p, &x, &y);
        EXPECT_GE(x, px - 1e-3);
        EXPECT_GE(y, py - 1e-3);
        px = x;
        py = y;
    }
    EXPECT_NEAR(px, largest / s, 2e-3);
    EXPECT_NEAR(py, 1.0, 2e-3);
}

TEST_F(ImagePlots, RefusalsOfTheCurvePlots) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 8");
    expect_refused("plot_rad_energy_dist dif bfp mon 0 0 0 513", "at most 512");
    expect_refused("plm tfr mon 0 0 0 1 10001", "at most 10000");
    expect_refused("plot_intensity_perspective y mon 0 0 1", "2 to 512");
    expect_refused("plot_intensity_perspective y mon 0 0 513", "2 to 512");
    expect_refused("plot_wavefront con bfp y 0 0 0 1", "2 to 512");
}

TEST_F(ImagePlots, AnAfocalLensHasNoFocusToPlotOrFit) {
    type_all({"LEN NEW \"Afocal\"", "AFO 1", "EBR 10", "ANG 0", "NXT", "RD -200", "TH -100", "RFL",
              "CC -1", "NXT", "END"});
    ASSERT_EQ(boxes(), 0u) << last_box();
    type("spd mon 8");
    ASSERT_EQ(boxes(), 0u) << last_box();
    expect_refused("plm tfo mon 0 25 0 1 7 no", "no through-focus MTF");
    expect_refused("plot_wavefront con bff y 0 0 0 8", "no focus to fit");
}

TEST_F(ImagePlots, SpotMarkersSitAtTheRaysOffsets) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    type("spd mon 8");
    type("plot_spot_diagram cen sym 0.0 0.05");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const auto markers = tavo_test::display_list_markers(display_list_words());
    std::vector<ListPoint> drawn_points;
    for (const auto& m : markers) {
        drawn_points.insert(drawn_points.end(), m.points.begin(), m.points.end());
    }
    const SpotStore& st = spot_store();
    const int copies = st.half_pupil != 0 ? 2 : 1;
    ASSERT_EQ(drawn_points.size(), static_cast<std::size_t>(st.ray_count) * copies);
    std::size_t k = 0;
    for (std::int32_t i = 0; i < st.ray_count; ++i) {
        double x = 0.0, y = 0.0;
        ray_offset_from_reference(0, i, x, y, 0.0);
        for (int c = 0; c < copies; ++c, ++k) {
            const ListPoint want = stored(c == 0 ? x / 0.05 : -x / 0.05, y / 0.05);
            EXPECT_NEAR(drawn_points[k].x, want.x, 1);
            EXPECT_NEAR(drawn_points[k].y, want.y, 1);
        }
    }
    EXPECT_TRUE(drawn("SPOT DIAGRAM"));
    // Rays in one of the lens's wavelengths: the legend of that one.
    ASSERT_GE(lens_data().wavelength_count, 2);
    EXPECT_TRUE(drawn("WV1")) << list_text();
    EXPECT_FALSE(drawn("WV1-")) << list_text();
    type("plot_spot_diagram cen spt 0.0 0.05");
    EXPECT_TRUE(drawn("UNITS mm")) << list_text();
}

TEST_F(ImagePlots, TheAiryCircleOfASpotInsideTheDisc) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    lens_data().spot_settings->show_diffraction_limit = 1;
    type("spd mon 8");
    type("plot_spot_diagram cen spt 0 0");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const double airy = spot_store().airy_radius[0];
    const double s = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
    EXPECT_GE(s, airy);
    EXPECT_LT(s, 2.5 * airy);
    // The circle starts at (r_A/s, 0).
    auto circle_drawn = [&](double a) {
        const ListPoint want = stored(a, 0.0);
        for (const auto& l : tavo_test::display_list_polylines(display_list_words())) {
            if (l.size() >= 100 && std::abs(l[0].x - want.x) <= 1 && std::abs(l[0].y - want.y) <= 1)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(circle_drawn(airy / s)) << list_text();
    // A box smaller than the disc leaves the circle out.
    type("plot_spot_diagram cen spt 0 " + number(airy / 2.0));
    EXPECT_FALSE(circle_drawn(2.0));
}

TEST_F(ImagePlots, TheCentralRowOfThePerfectImagePeaksAtItsFullHeight) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 32");
    type("plot_intensity_perspective y mon 0 0 8 0 1");
    ASSERT_EQ(boxes(), 0u) << last_box();
    // 9 rows of 33 sub-points, each from its base and back to it: 35 points a row.
    const auto rows = lines_of(35);
    ASSERT_GE(rows.size(), 1u) << list_text();
    double highest = -1e300;
    for (const auto& l : tavo_test::display_list_polylines(display_list_words())) {
        if (l.size() < 10) continue;  // the frame's lines
        for (const ListPoint& p : l) {
            double x = 0.0, y = 0.0;
            world_of(p, &x, &y, 10000.0);
            highest = std::max(highest, y);
        }
    }
    const double peak = 10000.0 / 0.6 + 5000.0;
    EXPECT_NEAR(highest, peak, 0.01 * peak);
}

TEST_F(ImagePlots, WavefrontStatisticsOfTheStoredRays) {
    // The sphere at focus of the paraxial image: spherical aberration only, on axis.
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    type("spd mon 16");
    type("plot_wavefront map 0 0 0");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const SpotStore& st = spot_store();
    double y = 0.0, x = 0.0;
    spot_reference_offset(0, y, x, 0.0);
    ASSERT_EQ(x, 0.0);
    ASSERT_EQ(y, 0.0);
    double low = 1e300, high = -1e300, s1 = 0.0, s2 = 0.0;
    long n = 0;
    for (std::int32_t i = 0; i < st.ray_count; ++i) {
        const double v = st.rays[i].opd;
        for (int c = 0; c < (st.half_pupil != 0 ? 2 : 1); ++c, ++n) {
            low = std::min(low, v);
            high = std::max(high, v);
            s1 += v;
            s2 += v * v;
        }
    }
    const double f = waves_factor(0);
    const WavefrontStatistics stats = wavefront_statistics(0, 0.0, 0.0, 0.0);
    EXPECT_NEAR(stats.peak_to_valley, f * (high - low), 1e-9 * f * (high - low));
    EXPECT_NEAR(stats.rms, f * std::sqrt(s2 / n - (s1 / n) * (s1 / n)), 1e-6 * stats.rms);
    EXPECT_TRUE(drawn("P-V " + std::string(format_number(stats.peak_to_valley, 7, 0))))
        << list_text();
    // The automatic step is an eighth of the range: the extreme ray prints 8 or H, the chief
    // ray's neighbourhood 0.
    const auto t = texts();
    EXPECT_TRUE(std::find(t.begin(), t.end(), "8") != t.end() ||
                std::find(t.begin(), t.end(), "H") != t.end())
        << list_text();
}

TEST_F(ImagePlots, DefocusCountsItsStepsFromTheCentreToTheRim) {
    // The paraboloid with the image 0.05 from its focus: W = delta (1 - cos theta), a quarter of
    // the rim's value a step.
    const double delta = 0.05;
    mirror(200.0, -1.0, 10.0, 0.0, delta);
    type("spd mon 16");
    const double cos_rim = std::sqrt(1.0 - na() * na());
    const double rim = delta * (1.0 - cos_rim) * waves_factor(0);
    type("plot_wavefront map 0 " + number(rim / 4.0) + " 0");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const auto t = texts();
    std::string map;
    for (const std::string& text : t) {
        if (text.size() == 1) map += text;
    }
    ASSERT_FALSE(map.empty()) << list_text();
    // The rays run from the centre (no step) to the rim (four steps, up or down).
    EXPECT_NE(map.find('0'), std::string::npos) << map;
    const bool up = map.find('4') != std::string::npos;
    const bool down = map.find('D') != std::string::npos;
    EXPECT_TRUE(up != down) << map;
    for (char c : map)
        EXPECT_TRUE(std::string(up ? "01234" : "0ABCD").find(c) != std::string::npos) << map;
}

TEST_F(ImagePlots, MapCharactersAndReferenceForms) {
    struct Case {
        int k;
        char c;
    };
    for (const Case& c :
         {Case{0, '0'}, Case{2, '2'}, Case{-3, 'C'}, Case{9, '9'}, Case{10, ':'}, Case{78, '~'},
          Case{79, '#'}, Case{-62, '~'}, Case{-63, '#'}, Case{1000, '#'}}) {
        EXPECT_EQ(wavefront_map_character(c.k), c.c) << c.k;
    }
}

TEST_F(ImagePlots, WavefrontPerspectiveAtFocusDrawsFlatRows) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 16");
    type("plot_wavefront con none y 0 0.5 0 8");
    ASSERT_EQ(boxes(), 0u) << last_box();
    EXPECT_TRUE(drawn("WAVEFRONT")) << list_text();
    // Every drawn point of a row lies on a row's base: the wavefront is flat and the pupil
    // points outside the circle stay at the base.
    std::vector<int> bases;
    for (int r = 0; r <= 8; ++r) bases.push_back(stored(0.0, r * 7000.0 / 4.0).y);
    int off_base = 0;
    int rows = 0;
    for (const auto& l : tavo_test::display_list_polylines(display_list_words())) {
        if (l.size() < 30) continue;
        ++rows;
        for (const ListPoint& p : l) {
            bool on = false;
            for (int b : bases) on = on || std::abs(p.y - b) <= 2;
            if (!on && p.y > bases[0] - 2 && p.y < bases[8] + 2) ++off_base;
        }
    }
    EXPECT_EQ(rows, 9) << list_text();
    EXPECT_EQ(off_base, 0) << list_text();
}

TEST_F(ImagePlots, ShiftedReferenceFormsAgainstHandValues) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 8");
    // The forms filled by hand: afocal, at infinity, finite.
    ShiftedReference r(0, 0.0, 0.0, 0.0);
    r.n = 1.5;
    r.ox = 0.01;
    r.oy = -0.02;
    r.dz = 0.3;
    r.afocal = true;
    EXPECT_NEAR(r.opd(0.1, 0.0, 0.0, 1.0, 2.0, 3.0, 0.5), 0.1 + 1.5 * (0.02 - 0.06), 1e-15);
    r.afocal = false;
    r.at_infinity = true;
    EXPECT_NEAR(r.opd(0.1, 0.1, 0.2, 0.9, 0.0, 0.0, 0.0), 0.1 + 1.5 * (0.001 - 0.004 + 0.27),
                1e-15);
    r.at_infinity = false;
    r.ox_sphere = 0.02;
    r.oy_sphere = 0.01;
    r.c = 0.01;
    r.q = 0.002;
    EXPECT_NEAR(r.opd(0.1, 0.0, 0.0, 0.0, 2.0, 3.0, 1.0),
                0.1 + 0.01 * 1.5 * (0.04 + 0.03) + 0.002 * 14.0, 1e-15);
    // The finite form's terms: R = 100, M = 0.8, dz = 0.3: c = 1/(0.375 + 100).
    r.set_finite_form(0.6, 0.0, 0.8, 100.0);
    EXPECT_FALSE(r.at_infinity);
    EXPECT_NEAR(r.ox_sphere, 0.01 - 0.75 * 0.3, 1e-15);
    EXPECT_NEAR(r.oy_sphere, -0.02, 1e-15);
    EXPECT_NEAR(r.c, 1.0 / 100.375, 1e-15);
    EXPECT_NEAR(r.q, (0.01 - 1.0 / 100.375) * 1.5 / 2.0, 1e-15);
    // M = 0: the shift as given, c = 1/R, no q; R = 0: the reference at infinity.
    r.set_finite_form(1.0, 0.0, 0.0, 50.0);
    EXPECT_EQ(r.ox_sphere, 0.01);
    EXPECT_EQ(r.oy_sphere, -0.02);
    EXPECT_EQ(r.c, 1.0 / 50.0);
    EXPECT_EQ(r.q, 0.0);
    r.set_finite_form(0.0, 0.0, 1.0, 0.0);
    EXPECT_TRUE(r.at_infinity);
}

TEST_F(ImagePlots, HorizonRowsThatStartWithAMoveAndResetTheirTail) {
    graphwin_new_page(1);
    set_plot_world(-1.0, 21.0, -2000.0, 12000.0);
    FloatingHorizon h(12, 1.0);
    const std::vector<double> row = {500.0, 600.0, 700.0};
    h.draw_row(2, row.data(), 3, 100.0, {.first_is_move = true, .reset_tail = true});
    flush_pending_polyline();
    // The first sample raised its slot but was not drawn to; the slots past the row are at the
    // base.
    EXPECT_EQ(h.height(2), 500);
    EXPECT_EQ(h.height(4), 700);
    EXPECT_EQ(h.height(5), 100);
    EXPECT_EQ(h.height(11), 100);
    EXPECT_EQ(h.height(1), -10000);
    const auto lines = tavo_test::display_list_polylines(display_list_words());
    ASSERT_FALSE(lines.empty());
    // Drawn from the first sample on, then down to the base.
    const auto& l = lines.back();
    EXPECT_EQ(l.front().x, stored(2, 500).x);
    EXPECT_NEAR(l.front().y, stored(2, 500).y, 1);
    EXPECT_EQ(l.back().y, stored(4, 100).y);
}

TEST_F(ImagePlots, SpotPlotOfAHandFilledStore) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 8");
    ASSERT_EQ(boxes(), 0u) << last_box();
    struct Offset {
        double dx, dy;
    };
    const Offset offsets[] = {
        {0.0, 0.0}, {0.02, 0.0}, {-0.01, 0.03}, {0.04, -0.02}, {-0.03, -0.04}};
    std::vector<SpotRay> rays;
    for (const Offset& o : offsets) {
        SpotRay r;
        r.dx = o.dx;
        r.dy = o.dy;
        rays.push_back(r);
    }
    hand_store(rays);
    // About the chief ray, at scale 0.05: each marker at its offset over 0.05.
    type("pls chf sym 0 0.05");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const auto markers = tavo_test::display_list_markers(display_list_words());
    ASSERT_EQ(markers.size(), 1u) << list_text();
    ASSERT_EQ(markers[0].points.size(), std::size(offsets));
    for (std::size_t i = 0; i < std::size(offsets); ++i) {
        const ListPoint want = stored(offsets[i].dx / 0.05, offsets[i].dy / 0.05);
        EXPECT_NEAR(markers[0].points[i].x, want.x, 1) << i;
        EXPECT_NEAR(markers[0].points[i].y, want.y, 1) << i;
    }
    expect_golden("spot_plot_hand", list_text());
}

TEST_F(ImagePlots, WavefrontMapOfAHandFilledStore) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 8");
    ASSERT_EQ(boxes(), 0u) << last_box();
    // Path differences in steps d of the map: rounded to the nearest step, each step's colour
    // the step count modulo 8 plus 1; far out of the characters' range a '#'.
    const LensData& lens = lens_data();
    const double d = 0.25;
    const double lambda = lens.wavelengths[0].wavelength;
    const double unit = lens.units > 0.0 ? lens.units : 1.0;
    const double lens_units_per_wave = lens.opdw != 0 ? lambda / (unit * 1000.0) : 1.0;
    struct Case {
        double steps;
        double px, py;
        const char* text;
        int colour;
    };
    const Case cases[] = {
        {2.4, 2.0, 0.0, "2", 3},   {-2.6, -2.0, 0.0, "C", 4}, {0.0, 0.0, 0.0, "0", 1},
        {500.0, 0.0, 2.0, "#", 5}, {0.6, 0.0, -2.0, "1", 2},
    };
    std::vector<SpotRay> rays;
    for (const Case& c : cases) {
        SpotRay r;
        r.opd = c.steps * d * lens_units_per_wave;
        r.px = c.px;
        r.py = c.py;
        rays.push_back(r);
    }
    hand_store(rays);
    type("plot_wavefront map 1 " + number(d) + " 0");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const auto texts = coloured_characters();
    ASSERT_GE(texts.size(), std::size(cases)) << list_text();
    // The map's characters are drawn last, in the rays' order.
    const std::size_t first = texts.size() - std::size(cases);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(texts[first + i].text, cases[i].text) << cases[i].steps;
        EXPECT_EQ(texts[first + i].colour, cases[i].colour) << cases[i].steps;
    }
    expect_golden("wavefront_map_hand", list_text());
}

TEST_F(ImagePlots, EscapeBetweenRowsKeepsTheRowsDrawn) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 16");
    ASSERT_EQ(boxes(), 0u) << last_box();
    // The rows of a perspective: polylines long enough not to be the frame's.
    auto rows = [] {
        std::vector<std::vector<ListPoint>> out;
        for (const auto& l : tavo_test::display_list_polylines(display_list_words())) {
            if (l.size() >= 30) out.push_back(l);
        }
        return out;
    };
    for (const char* line :
         {"plot_intensity_perspective y mon 0 0 8 0 1", "plot_wavefront con none y 0 0.5 0 8"}) {
        type(line);
        ASSERT_EQ(boxes(), 0u) << line << ": " << last_box();
        const auto whole = rows();
        const std::string whole_text = list_text();
        ASSERT_GE(whole.size(), 2u) << line << "\n" << whole_text;
        // Escape released before the plot: it stops before the second row, without a message,
        // and the front row stays drawn.
        platform::KeyEvent release;
        release.key = platform::key_escape;
        release.pressed = false;
        ui().post_key(platform::kWindowText1, release);
        type(line);
        EXPECT_EQ(boxes(), 0u) << line << ": " << last_box();
        const auto stopped = rows();
        ASSERT_EQ(stopped.size(), 1u) << line << "\n" << list_text();
        ASSERT_EQ(stopped[0].size(), whole[0].size()) << line;
        for (std::size_t i = 0; i < whole[0].size(); ++i) {
            EXPECT_EQ(stopped[0][i].x, whole[0][i].x) << line << " point " << i;
            EXPECT_EQ(stopped[0][i].y, whole[0][i].y) << line << " point " << i;
        }
        // Everything drawn up to the stop is what the whole plot drew first.
        const std::string stopped_text = list_text();
        EXPECT_LT(stopped_text.size(), whole_text.size()) << line;
        EXPECT_EQ(whole_text.substr(0, stopped_text.size()), stopped_text) << line;
    }
}
}  // namespace
}  // namespace plot_test
