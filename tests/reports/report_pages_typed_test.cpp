// The report pages on lenses typed as a user types them: the ray-trace page's own texts against
// a layout written by hand, and every page on a triplet in millimetres with three wavelengths,
// the same triplet in inches with two, and an afocal telescope.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fnmatch.h>

#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "platform/clock.h"
#include "reports/report_page.h"
#include "runtime/dispatch.h"
#include "runtime/settings.h"
#include "tables/table_names.h"
#include "tests/reports/report_page_fixture.h"
#include "tests/reports/slider_lenses.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"

namespace plot_test {
namespace {

// A text record of the display list: its text, the surface point it is stored at (relative to
// the surface centre), its anchor offsets in character units and its size in tenths.
struct TextRecord {
    std::string text;
    int x = 0, y = 0, dx = 0, dy = 0, size = 10;
};

std::vector<TextRecord> text_records() {
    std::vector<TextRecord> out;
    std::istringstream list(tavo_test::display_list_text(display_list_words()));
    std::string line;
    int size = 10;
    while (std::getline(list, line)) {
        if (line.rfind("attributes", 0) == 0) {
            // angle, pitch, line pitch, slant << 8 | size; "default" for the defaults
            std::istringstream words(line.substr(10));
            std::vector<int> operands;
            int v = 0;
            while (words >> v) operands.push_back(v);
            size = operands.size() == 4 ? (operands[3] & 0xFF) : 10;
        } else if (line.rfind("text ", 0) == 0) {
            TextRecord r;
            const std::size_t q = line.find('"');
            r.text = line.substr(q + 1, line.size() - q - 2);
            std::sscanf(line.c_str(), "text %d,%d +%d,%d", &r.x, &r.y, &r.dx, &r.dy);
            r.size = size;
            out.push_back(r);
            size = 10;
        }
    }
    return out;
}

// What a text drawn at window fractions should be stored as, worked out from the plotting
// surface of a window of aspect 0.625 (20480 x 12800 units about (10240, 6400)), its
// world-to-surface mapping and the anchor rule: offset 4 per tens digit, the units digit a
// point of a 3 x 3 grid, a line 6 units wide for its first character and 10 for each further
// one (a markup pair "@n" is one character).
TextRecord expected_record(double vx0, double vx1, double vy0, double vy1, double x, double y,
                           double size, int anchor, const std::string& text) {
    constexpr double kW = 20480, kH = 12800;
    constexpr int kCx = 10240, kCy = 6400;
    auto surface = [](double v) {
        if (v < 0) v -= 1;
        return static_cast<int>(std::trunc(v));
    };
    TextRecord r;
    r.text = text;
    r.x = surface(x * (kW - 1) * (vx1 - vx0) + (kW - 1) * vx0 + 0.5) - kCx;
    r.y = surface(y * (kH - 1) * (vy0 - vy1) + (kH - 1) * (1 - vy0) + 0.5) - kCy;
    int characters = 0;
    for (std::size_t k = 0; k < text.size(); ++k, ++characters) {
        if (text[k] == '@' && k + 1 < text.size()) ++k;
    }
    const double offset = (anchor / 10) * 4;
    const int digit = anchor % 10;
    const int e = digit == 0 ? 0 : digit - 1;
    const double h = e / 3, v = e % 3;
    const double width = 6 + (characters - 1) * 10.0;
    r.dx = static_cast<int>(std::lround((1 - h) * offset - h * width / 2));
    r.dy = static_cast<int>(std::lround(offset - (offset + 6) * v));
    r.size = static_cast<int>(std::lround(size * 10));
    return r;
}

std::vector<TextRecord> hand_written_layout(const std::string& name) {
    std::ifstream in(std::filesystem::path(TAVO_FIXTURES_DIR) / "reports" / name);
    EXPECT_TRUE(in.good()) << name;
    std::vector<TextRecord> out;
    double vx0 = 0, vx1 = 1, vy0 = 0, vy1 = 1;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (std::sscanf(line.c_str(), "viewport %lf %lf %lf %lf", &vx0, &vx1, &vy0, &vy1) == 4) {
            continue;
        }
        double x = 0, y = 0, size = 0;
        int anchor = 0;
        const std::size_t q = line.find('"');
        if (q == std::string::npos ||
            std::sscanf(line.c_str(), "%lf %lf %lf %d", &x, &y, &size, &anchor) != 4) {
            ADD_FAILURE() << "unreadable: " << line;
            continue;
        }
        const std::string text = line.substr(q + 1, line.rfind('"') - q - 1);
        out.push_back(expected_record(vx0, vx1, vy0, vy1, x, y, size, anchor, text));
    }
    return out;
}

class TypedReportPages : public ReportPageLoop {
protected:
    void SetUp() override {
        ReportPageLoop::SetUp();
        ASSERT_GE(graphwin_open(1, 0, 0, 0, 0), 0);
    }
};

TEST_F(TypedReportPages, RayTracePageTextsMatchTheLayout) {
    type_all(slider_test::kCatalogueTriplet);
    type("des \"Ann Smith\"");
    ASSERT_EQ(boxes(), 0u) << last_box();
    set_setting_flag(kSetRptGfxDateAndTime, 0);
    // Texts are then stored with their anchor offsets rather than anchored.
    set_setting_flag(kSetGraphicsIsomorphicLabels, 1);
    ASSERT_EQ(run_command_string("report_ray_trace", 0), 0);
    ASSERT_EQ(graphics_current_record()->aspect, 0.625);

    const std::vector<TextRecord> layout = hand_written_layout("ray_trace_page_texts.txt");
    ASSERT_FALSE(layout.empty());
    // The page's texts, in the order drawn; the plots' own texts are not the page's.
    std::vector<TextRecord> drawn;
    for (const TextRecord& r : text_records()) {
        const bool listed = std::any_of(layout.begin(), layout.end(),
                                        [&](const TextRecord& l) { return l.text == r.text; });
        if (listed) drawn.push_back(r);
    }
    ASSERT_EQ(drawn.size(), layout.size()) << list_text();
    for (std::size_t k = 0; k < layout.size(); ++k) {
        const TextRecord &want = layout[k], &got = drawn[k];
        EXPECT_EQ(got.text, want.text) << k;
        EXPECT_NEAR(got.x, want.x, 1) << want.text;
        EXPECT_NEAR(got.y, want.y, 1) << want.text;
        EXPECT_EQ(got.size, want.size) << want.text;
        EXPECT_EQ(got.dx, want.dx) << want.text;
        EXPECT_EQ(got.dy, want.dy) << want.text;
    }
}

// Every page on each typed lens: what it runs into its viewports, what it captions, and the
// settings it leaves as it found them. A line or caption written with '*' matches any text
// there; a caption after '!' must not be drawn.
TEST_F(TypedReportPages, EveryPageRunsOnTheTypedLenses) {
    std::vector<std::string> inches = slider_test::kCatalogueTriplet;
    inches.insert(inches.end() - 1, {"UNI 25.4", "WV 0.58756 0.65627"});
    // A Keplerian telescope: f 100 and f 50 lenses 150 apart.
    const std::vector<std::string> kepler = {"LEN NEW \"Kepler\"",
                                             "AFO 1",
                                             "EBR 10",
                                             "ANG 1",
                                             "WV 0.58756",
                                             "NXT",
                                             "AST",
                                             "SRF 103.4 4 N-BK7 12",
                                             "SRF -103.4 150 AIR 12",
                                             "SRF 51.7 3 N-BK7 6",
                                             "SRF -51.7 20 AIR 6",
                                             "END"};
    struct PageCaptions {
        std::string page;
        std::vector<std::string> captions;
    };
    struct Lens {
        std::string name;
        std::vector<std::string> typed;
        bool afocal;
        std::vector<PageCaptions> pages;
    };
    const std::vector<Lens> lenses = {
        {"triplet, mm, three wavelengths",
         slider_test::kCatalogueTriplet,
         false,
         {{"report_wavefront 1", {"WAVEFRONT ANALYSIS", "20deg FIELD", "14.3deg FIELD"}},
          {"report_ray_trace",
           {"RAY INTERCEPT CURVES (mm)", "UNITS: mm", "@1:0.588 @3:0.486 @5:0.656", "LATERAL COLOR",
            "P @1   S @2"}},
          {"report_mtf 0 1", {"MODULATION TRANSFER FUNCTIONS"}},
          {"report_tf_mtf 30 0.1 1", {"THROUGH-FOCUS MTF AT 30 CYCLES/MM"}},
          {"report_spot 1 0.2",
           {"SPOT SIZE & FOCUS SHIFT: UNITS mm", "UNITS mm", "FOCUS SHIFT",
            "WV1: 0.588 WV2: 0.486 WV3: 0.656"}},
          {"report_psf", {"IMAGE PATCH SIZE: * mm", "WV1: 0.588 WV2: 0.486 WV3: 0.656"}}}},
        {"triplet, inches, two wavelengths",
         inches,
         false,
         {{"report_wavefront 1", {"WAVEFRONT ANALYSIS", "20deg FIELD"}},
          {"report_ray_trace",
           {"RAY INTERCEPT CURVES (inches)", "UNITS: inches", "@1:0.588 @3:0.656", "!LATERAL COLOR",
            "!P @1   S @2"}},
          {"report_mtf 0 1", {"MODULATION TRANSFER FUNCTIONS"}},
          {"report_tf_mtf 30 0.1 1", {"THROUGH-FOCUS MTF AT 30 CYCLES/MM"}},
          {"report_spot 1 0.2",
           {"SPOT SIZE & FOCUS SHIFT: UNITS inches", "UNITS inches", "WV1: 0.588  WV2: 0.656"}},
          {"report_psf", {"IMAGE PATCH SIZE: * in", "WV1: 0.588  WV2: 0.656"}}}},
        {"afocal telescope, one wavelength",
         kepler,
         true,
         {{"report_wavefront 1", {"WAVEFRONT ANALYSIS", "1deg FIELD"}},
          {"report_ray_trace", {"RAY INTERCEPT CURVES (radians)", "@1:0.588", "!LATERAL COLOR"}},
          {"report_mtf 0 1", {"MODULATION TRANSFER FUNCTIONS"}},
          {"report_tf_mtf 30 0.1 1", {"MODULATION TRANSFER FUNCTIONS", "!THROUGH-FOCUS MTF AT *"}},
          {"report_spot 1 0.2",
           {"SPOT SIZE & FOCUS SHIFT: UNITS radians", "AFOCAL SYSTEM", "UNITS radians",
            "!FOCUS SHIFT"}},
          {"report_psf", {"IMAGE PATCH SIZE: * radians", "WV1: 0.588"}}}},
    };

    struct Saved {
        int labels, autoclear, axes, output, opdw, htnu, wavelength;
        double mtf_limit;
        bool operator==(const Saved&) const = default;
    };
    auto saved = [] {
        const LensData& l = lens_data();
        return Saved{get_setting_flag(kSetGraphicsLabels),
                     get_setting_flag(kSetGraphicsAutoclear),
                     get_setting_flag(kSetGraphicsAxes),
                     get_setting_flag(kSetOutputOn),
                     l.opdw,
                     l.htnu,
                     l.current_wavelength,
                     l.spot_settings->mtf_path_limit};
    };
    auto matches = [](const std::string& pattern, const std::string& text) {
        return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
    };

    for (const Lens& lens : lenses) {
        type_all(lens.typed);
        ASSERT_EQ(boxes(), 0u) << lens.name << ": " << last_box();
        ASSERT_EQ(lens_data().afocal != 0, lens.afocal) << lens.name;
        const LensData& l = lens_data();
        // The last wavelength current, so that a page that picks the first puts it back.
        type("WL " + std::to_string(l.wavelength_count));
        ASSERT_EQ(l.current_wavelength, l.wavelength_count - 1) << lens.name;
        set_setting_flag(kSetGraphicsAxes, 0);
        set_setting_flag(kSetOutputOn, 1);
        const bool chromatic = l.wavelength_count >= 2 && l.spot_settings->polychromatic != 0;
        char divisions[32];
        std::snprintf(divisions, sizeof divisions, "%f", l.spot_settings->aperture_divisions);

        // The lines each page composes.
        auto fields = [](const char* form, const std::vector<std::string>& after) {
            std::vector<std::string> out;
            for (const char* f : {"1.0", "0.7", "0.0"}) {
                out.push_back(std::string(form) + " " + f + " 0.0 0.0 0.0 0.0");
                out.insert(out.end(), after.begin(), after.end());
            }
            return out;
        };
        auto mtf = [&](const std::string& plot) {
            // The on-axis spot diagram first picks the type, then each field in turn.
            const std::string points = " 21";
            return std::vector<std::string>{
                "trr 1.0 0.0 0.0 0.0 0.0",      "trr 0.0 0.0 0.0 0.0 0.0", "spot_diagram",
                plot + " -1" + points + " Yes", "trr 0.7 0.0 0.0 0.0 0.0", "spot_diagram",
                plot + " 3" + points + " No",   "trr 1.0 0.0 0.0 0.0 0.0", "spot_diagram",
                plot + " 5" + points + " No"};
        };
        const std::string chr = chromatic ? "chr" : "mon";
        const std::string wave = chromatic ? "" : " 1";
        std::vector<std::string> wavefront =
            fields("trace_ref_ray",
                   {std::string("spot_diagram mon none ") + divisions + " 1",
                    "plot_wavefront map 1 * 0.0", "plot_wavefront con none x 1 * 0.0 32"});
        wavefront[3] = "plot_wavefront con none x 1 0.000000 0.0 32";
        std::vector<std::string> ray_trace = {"trace_ref_ray 0.0 0.0 0.0 0.0 0.0"};
        for (const std::string& s : fields("trace_ref_ray", {"plot_ray_intercepts wvt yx 0 *"})) {
            ray_trace.push_back(s);
        }
        ray_trace.push_back("draw_lens");
        std::vector<std::string> spot;
        const char* energy[] = {" 5", " 3", " 1"};
        for (int k = 0; k < 3; ++k) {
            const char* f[] = {"1.0", "0.7", "0.0"};
            spot.insert(spot.end(),
                        {std::string("trace_ref_ray ") + f[k] + " 0.0 0.0 0.0 0.0", "spot_diagram",
                         std::string("plot_rad_energy_dist geo smo 0.0 20 *") + energy[k],
                         "plot_spot_diagram cen sym 0.0 0.0"});
            // An afocal lens has no focus to go through.
            if (lens.afocal) continue;
            for (const char* offset :
                 {"-0.100000", "-0.050000", "0.000000", "0.050000", "0.100000"}) {
                spot.push_back(std::string("plot_spot_diagram cen sym ") + offset + " 0.000000");
            }
        }
        const std::vector<std::string> lines[] = {
            wavefront,
            ray_trace,
            mtf("plm tfr " + chr + wave + " 0.0 0.000000"),
            // An afocal lens is always shown against frequency.
            mtf(lens.afocal ? "plm tfr " + chr + wave + " 0.0 30.000000"
                            : "plm tfo " + chr + wave + " 30.000000 0.100000"),
            spot,
            {"trr 0.0 0.0 0.0 0.0 0.0", "trr 0.7 0.0 0.0 0.0 0.0", "trr 1.0 0.0 0.0 0.0 0.0"},
        };
        ASSERT_EQ(std::size(lines), lens.pages.size());

        const Saved before = saved();
        for (std::size_t p = 0; p < lens.pages.size(); ++p) {
            const PageCaptions& page = lens.pages[p];
            const std::string where = lens.name + ", " + page.page;
            lines_run().clear();
            EXPECT_EQ(run_command_string(page.page.c_str(), 0), 0) << where;
            EXPECT_EQ(boxes(), 0u) << where << ": " << last_box();
            EXPECT_EQ(saved(), before) << where;
            EXPECT_EQ(graphics_current(), 1) << where;

            const std::vector<std::string>& want = lines[p];
            EXPECT_EQ(lines_run().size(), want.size()) << where;
            for (std::size_t k = 0; k < std::min(want.size(), lines_run().size()); ++k) {
                EXPECT_TRUE(matches(want[k], lines_run()[k]))
                    << where << ": " << lines_run()[k] << " against " << want[k];
            }

            const std::vector<std::string> texts =
                tavo_test::display_list_texts(display_list_words());
            for (const std::string& caption : page.captions) {
                const bool absent = caption[0] == '!';
                const std::string pattern = absent ? caption.substr(1) : caption;
                const bool drawn =
                    std::any_of(texts.begin(), texts.end(),
                                [&](const std::string& t) { return matches(pattern, t); });
                EXPECT_EQ(drawn, !absent) << where << ": " << caption << "\n" << list_text();
            }
            // The lateral-colour plot's viewport, 0.8..1.0 x 0.6..0.95, only with three
            // wavelengths or more.
            if (page.page == "report_ray_trace") {
                EXPECT_EQ(list_text().find("viewport 23 8000 6000 10000 9500") != std::string::npos,
                          l.wavelength_count > 2)
                    << where;
            }
        }
    }
}

// An installation whose tables ship no "rep" procedure: the report procedure has nothing to
// hand its numbers to.
class ReportsWithoutRep : public TypedReportPages {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const fs::path sources = run_.tree.base() / "sources";
        fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables", sources, fs::copy_options::recursive);
        const std::string reports = tavo_test::read_file(sources / "definitions/reports.def");
        const std::size_t from = reports.find("procedure rep\n");
        ASSERT_NE(from, std::string::npos);
        const std::size_t body = reports.find("  body ", from);
        ASSERT_NE(body, std::string::npos);
        const std::size_t to = reports.find('\n', body) + 1;
        run_.tree.write_file("sources/definitions/reports.def",
                             reports.substr(0, from) + reports.substr(to));
        ASSERT_EQ(tavo_test::build_tables(sources, run_.tree.root() / "bin/amo"), 0);
        TypedReportPages::SetUp();
    }
};

TEST_F(ReportsWithoutRep, TheReportProcedureSaysSoAndRunsNothing) {
    EXPECT_EQ(run_command_string("report_procedure 1 0.5 0.05", 0), kMsgNoReportProcedure);
    EXPECT_TRUE(lines_run().empty());
    // Typed, the user is told why.
    type("report_procedure 0");
    EXPECT_NE(last_box().find("No compiled procedure \"rep\""), std::string::npos)
        << last_box() << errors();
    EXPECT_TRUE(lines_run().empty());
    // The other report procedures are still there.
    type("rptg_fans");
    EXPECT_FALSE(lines_run().empty());
}

}  // namespace
}  // namespace plot_test
