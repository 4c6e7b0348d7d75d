// The report pages: the footer's date and time, the unit and field captions, the lines a page
// runs into its viewports, the captions and rules it draws, and the settings it puts back on
// every way out.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "graphics/graphics_commands.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "platform/clock.h"
#include "platform/console/console_backend.h"
#include "platform/ui.h"
#include "reports/report_page.h"
#include "runtime/dispatch.h"
#include "runtime/settings.h"
#include "tables/table_names.h"
#include "tests/reports/report_page_fixture.h"

namespace plot_test {
namespace {

// The texts of the current window's list with the size each was drawn at (tenths).
struct DrawnText {
    std::string text;
    int size;
    bool operator==(const DrawnText&) const = default;
};

std::vector<DrawnText> drawn_texts() {
    std::vector<DrawnText> out;
    const std::string list = tavo_test::display_list_text(display_list_words());
    std::size_t at = 0;
    int size = 10;
    while (at < list.size()) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        const std::string line = list.substr(at, end - at);
        at = end + 1;
        if (line.rfind("attributes", 0) == 0) {
            // angle, pitch, line pitch, slant << 8 | size
            std::vector<int> operands;
            std::size_t k = line.find(' ');
            while (k != std::string::npos) {
                const std::size_t next = line.find(' ', k + 1);
                const std::string word = line.substr(k + 1, next - k - 1);
                if (word != "default") operands.push_back(std::atoi(word.c_str()));
                k = next;
            }
            size = operands.size() >= 4 ? (operands[3] & 0xFF) : 10;
        } else if (line.rfind("text ", 0) == 0) {
            const std::size_t q = line.find('"');
            out.push_back({line.substr(q + 1, line.size() - q - 2), size});
            size = 10;
        }
    }
    return out;
}

class ReportPages : public ReportPageLoop {
protected:
    void SetUp() override {
        ReportPageLoop::SetUp();
        mirror(200.0, 0.0, 10.0, 1.0, 0.0);
        ASSERT_GE(graphwin_open(1, 0, 0, 0, 0), 0);
    }

    // Whether a straight line joins the two page points (in either direction), to the
    // rounding of the surface's edge.
    static bool has_rule(double x0, double y0, double x1, double y1) {
        page_coordinates();
        const ListPoint a = stored(x0, y0), b = stored(x1, y1);
        auto near = [](ListPoint p, ListPoint q) {
            return std::abs(p.x - q.x) <= 2 && std::abs(p.y - q.y) <= 2;
        };
        for (const auto& line : tavo_test::display_list_polylines(display_list_words())) {
            for (std::size_t k = 0; k + 1 < line.size(); ++k) {
                const ListPoint p = line[k], q = line[k + 1];
                if ((near(p, a) && near(q, b)) || (near(p, b) && near(q, a))) return true;
            }
        }
        return false;
    }

    struct Saved {
        int labels, autoclear, axes, output, opdw, wavelength;
        bool operator==(const Saved&) const = default;
    };
    static Saved saved() {
        return {get_setting_flag(kSetGraphicsLabels),
                get_setting_flag(kSetGraphicsAutoclear),
                get_setting_flag(kSetGraphicsAxes),
                get_setting_flag(kSetOutputOn),
                lens_data().opdw,
                lens_data().current_wavelength};
    }
};

TEST_F(ReportPages, TheDateAndTimeDropALeadingZero) {
    struct Case {
        int day, month, year, hour, minute;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {7, 3, 2002, 9, 5, "7 Mar 02", "9:05 AM"},
        {17, 12, 2009, 0, 15, "17 Dec 09", "12:15 AM"},
        {1, 1, 2030, 12, 30, "1 Jan 30", "12:30 PM"},
        {30, 9, 1999, 23, 59, "30 Sep 99", "11:59 PM"},
        {9, 6, 2024, 11, 0, "9 Jun 24", "11:00 AM"},
    };
    for (const Case& c : cases) {
        platform::LocalTime t;
        t.day = c.day;
        t.month = c.month;
        t.year = c.year;
        t.hour = c.hour;
        t.minute = c.minute;
        EXPECT_EQ(footer_date(t), c.date);
        EXPECT_EQ(footer_time(t), c.time);
    }
}

TEST_F(ReportPages, UnitsAndFieldsAreCaptionedAsTheLensHasThem) {
    struct Unit {
        double mm;
        const char* text;
    };
    for (const Unit& u : {Unit{1, "mm"}, Unit{10, "cm"}, Unit{25.4, "in"}, Unit{1000, "m "},
                          Unit{0.001, "mu"}, Unit{2, ""}}) {
        EXPECT_STREQ(unit_abbreviation(u.mm), u.text) << u.mm;
    }
    // An object at infinity: a 20 degree full field, 0.7 of its tangent at the 0.7 field.
    PageField angle;
    angle.angle = true;
    angle.theta = 20.0 * std::numbers::pi / 180.0;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.3gdeg FIELD",
                  std::atan(0.7 * std::tan(angle.theta)) * 180.0 / std::numbers::pi);
    EXPECT_EQ(full_field_caption(angle, false), "20deg FIELD");
    EXPECT_EQ(full_field_caption(angle, true), "20deg");
    EXPECT_EQ(field_07_caption(angle, false), expected);
    angle.wide_angle = true;
    EXPECT_EQ(field_07_caption(angle, false), "14deg FIELD");
    EXPECT_EQ(on_axis_caption(angle), " 0deg");
    // A finite object, in a unit the captions do not know.
    PageField height;
    height.height = 12.5;
    height.unit = unit_abbreviation(2.0);
    EXPECT_EQ(full_field_caption(height, false), "12.5  OBJECT");
    EXPECT_EQ(field_07_caption(height, true), "8.75 ");
    EXPECT_EQ(on_axis_caption(height), " 0 ");

    // An object distance of exactly 9.9e7 is finite.
    surface(0).thickness = 9.9e7;
    EXPECT_FALSE(page_field().angle);
    surface(0).thickness = -9.90001e7;
    EXPECT_TRUE(page_field().angle);

    // From the second configuration on, titles name it.
    EXPECT_EQ(configuration_title("SPOT"), "SPOT");
    lens_data().current_configuration = 2;
    EXPECT_EQ(configuration_title("SPOT"), "SPOT - CFG 2");
    lens_data().current_configuration = 1;
}

TEST_F(ReportPages, TheFooterShowsTitlesAndTheDesignerOnlyWithLabels) {
    std::strcpy(lens_data().designer, "Ann Smith");  // 9 characters
    struct Case {
        std::uint8_t labels;
        int date_and_time;
        std::vector<DrawnText> texts;
    };
    const std::vector<Case> cases = {
        {0, 1, {}},
        {1, 0, {{"Lens", 10}, {"PAGE", 10}, {"Ann Smith", 7}}},
        {1, 1, {{"Lens", 10}, {"PAGE", 10}, {"Ann Smith", 6}, {"7 Mar 02", 6}, {"9:05 AM", 6}}},
    };
    for (const Case& c : cases) {
        set_setting_flag(kSetRptGfxDateAndTime, static_cast<std::uint8_t>(c.date_and_time));
        graphwin_new_page(1);
        report_page_footer("Lens", "PAGE", c.labels, 0.25);
        EXPECT_EQ(drawn_texts(), c.texts) << int{c.labels} << c.date_and_time;
        EXPECT_TRUE(has_rule(0.0, 0.1, 1.0, 0.1));
        EXPECT_EQ(has_rule(0.9, 0.1, 0.9, 0.0), c.labels != 0);
        EXPECT_EQ(has_rule(0.25, 0.0, 0.25, 0.1), c.labels != 0);
        EXPECT_NE(list_text().find("box"), std::string::npos);
    }
}

TEST_F(ReportPages, TheWavefrontPageRunsItsColumnsAndPutsTheSettingsBack) {
    set_setting_flag(kSetRptGfxDateAndTime, 0);
    set_setting_flag(kSetOutputOn, 1);
    set_setting_flag(kSetGraphicsAxes, 0);
    const Saved before = saved();
    type("report_wavefront");
    EXPECT_EQ(saved(), before);
    EXPECT_EQ(boxes(), 0u) << last_box();

    char spot[64];
    std::snprintf(spot, sizeof spot, "spot_diagram mon none %f 1",
                  lens_data().spot_settings->aperture_divisions);
    ASSERT_EQ(lines_run().size(), 12u);
    const char* fields[] = {"1.0", "0.7", "0.0"};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(lines_run()[4 * c],
                  std::string("trace_ref_ray ") + fields[c] + " 0.0 0.0 0.0 0.0");
        EXPECT_EQ(lines_run()[4 * c + 1], spot);
        EXPECT_EQ(lines_run()[4 * c + 2].rfind("plot_wavefront map 1 ", 0), 0u);
        EXPECT_EQ(lines_run()[4 * c + 3].rfind("plot_wavefront con none x 1 ", 0), 0u);
    }
    // The same map increment in all three columns.
    EXPECT_EQ(lines_run()[2], lines_run()[6]);
    EXPECT_EQ(lines_run()[2], lines_run()[10]);

    // Captions: the field over each column, the peak-to-valley under each map, the wavelength
    // and the increment, one eighth of the full field's peak-to-valley.
    const std::vector<DrawnText> texts = drawn_texts();
    std::vector<std::string> words;
    for (const DrawnText& t : texts) words.push_back(t.text);
    auto has = [&words](const std::string& w) {
        for (const std::string& s : words)
            if (s == w) return true;
        return false;
    };
    EXPECT_TRUE(has("Mirror")) << list_text();
    EXPECT_TRUE(has("WAVEFRONT ANALYSIS"));
    EXPECT_TRUE(has("1deg FIELD"));
    EXPECT_TRUE(has("ON-AXIS"));
    EXPECT_TRUE(has("DIGITS => +OPD    LETTERS => -OPD"));
    double pv = -1, increment = -1;
    for (const std::string& w : words) {
        if (w.rfind("P-V ", 0) == 0 && pv < 0) pv = std::atof(w.c_str() + 4);
        if (w.rfind("OPD INCREMENT ", 0) == 0) increment = std::atof(w.c_str() + 14);
    }
    ASSERT_GT(pv, 0.0) << list_text();
    EXPECT_NEAR(increment, pv / 8.0, 0.01 * pv);
    // The footer's rules.
    EXPECT_TRUE(has_rule(0.0, 0.1, 1.0, 0.1));
    EXPECT_TRUE(has_rule(0.4, 0.0, 0.4, 0.1));
}

TEST_F(ReportPages, CancelAtTheEscapeQuestionEndsThePageWithTheSettingsBack) {
    set_setting_flag(kSetCheckEscape, 1);
    set_setting_flag(kSetOutputOn, 1);
    const Saved before = saved();
    // Escape is released as each map is drawn.
    set_report_page_line_watcher([](const char* line) {
        lines_run().push_back(line);
        if (std::string(line).rfind("plot_wavefront map", 0) != 0) return;
        platform::KeyEvent escape;
        escape.key = platform::key_escape;
        escape.pressed = false;
        static_cast<platform::ConsoleBackend*>(platform::current_ui())->post_key(0, escape);
    });
    input("Cancel\n");
    type("report_wavefront");
    set_setting_flag(kSetCheckEscape, 0);
    EXPECT_EQ(saved(), before);
    // The page ends at the question after a map (drawing may take an Escape of its own, so
    // which map is left open): nothing runs after it.
    ASSERT_LT(lines_run().size(), 12u);
    EXPECT_EQ(lines_run().back().rfind("plot_wavefront map", 0), 0u) << lines_run().back();
}

TEST_F(ReportPages, AReportProcedureHandsItsNumbersToRep) {
    // The shipped "rep" draws the ray-trace page from the first six numbers.
    EXPECT_EQ(run_command_string("report_procedure 1 0.5 0.05 3 4 5 6 7 8", 0), 0);
    ASSERT_GE(lines_run().size(), 3u);
    EXPECT_EQ(lines_run()[0], "rep opd 0.5 0.05 3.0 4.0 5.0 6.0 7.0 8.0");
    EXPECT_EQ(lines_run()[1], "trace_ref_ray 1.0 0.0 0.0 0.0 0.0");
    EXPECT_EQ(lines_run()[2], "plot_opd_fans wvt 0.5 0.05");
    lines_run().clear();
    EXPECT_EQ(run_command_string("report_procedure 0", 0), 0);
    ASSERT_FALSE(lines_run().empty());
    EXPECT_EQ(lines_run()[0], "rep ray 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0");
}

}  // namespace
}  // namespace plot_test

namespace plot_test {
namespace {

TEST_F(ReportPages, TheWavefrontReportGraphicsDrawsThePageAndTracesTheLastRayAgain) {
    // The variables read the object point the page leaves (on axis) and trace it again.
    type("report_graphics rptg_waves");
    EXPECT_EQ(boxes(), 0u) << last_box();
    EXPECT_EQ(std::string(graphics_command_text(1)),
              "rptg_waves;ref_ray_trace Trr_fby Trr_fbx Trr_fbz Trr_fyrf Trr_fxrf");
    EXPECT_EQ(lines_run().size(), 12u);
    std::vector<std::string> words;
    for (const DrawnText& t : drawn_texts()) words.push_back(t.text);
    EXPECT_NE(std::find(words.begin(), words.end(), "WAVEFRONT ANALYSIS"), words.end());

    // The variables are the object point's fields.
    object_point().y = 0.5;
    object_point().pupil_x = 0.25;
    type("v = Trr_fby + 10 * Trr_fxrf");
    type("printf \"%.3f\\n\", v");
    EXPECT_NE(output().find("3.000"), std::string::npos) << output();
}

}  // namespace
}  // namespace plot_test

namespace plot_test {
namespace {

TEST_F(ReportPages, AFailingFullFieldRayStopsThePageWithItsFooterAndTheSettingsBack) {
    // The chief ray of 80 degrees rises far past the small mirror 100 behind the stop.
    type_all({"LEN NEW \"Miss\"", "EBR 5", "ANG 80", "NXT", "TH 100", "AST", "NXT", "RD -10",
              "TH -5", "RFL", "NXT", "END"});
    set_setting_flag(kSetOutputOn, 1);
    const Saved before = saved();
    const std::size_t shown = boxes();
    type("report_wavefront");
    EXPECT_EQ(saved(), before);
    ASSERT_EQ(lines_run().size(), 1u);
    EXPECT_EQ(lines_run()[0], "trace_ref_ray 1.0 0.0 0.0 0.0 0.0");
    EXPECT_NE(ui().status_text().find("full field"), std::string::npos) << ui().status_text();
    std::vector<std::string> words;
    for (const DrawnText& t : drawn_texts()) words.push_back(t.text);
    EXPECT_NE(std::find(words.begin(), words.end(), "WAVEFRONT ANALYSIS"), words.end());
    EXPECT_TRUE(has_rule(0.0, 0.1, 1.0, 0.1));
    (void)shown;
}

}  // namespace
}  // namespace plot_test

namespace plot_test {
namespace {

TEST_F(ReportPages, TheMtfPageRunsItsFieldsInOneTypeAndPutsTheLimitBack) {
    set_setting_flag(kSetQrMtf, 0);
    set_setting_flag(kSetRptGfxDateAndTime, 0);
    const LensData& lens = lens_data();
    const double limit = lens.spot_settings->mtf_path_limit;
    const bool chromatic = lens.wavelength_count >= 2 && lens.spot_settings->polychromatic != 0;
    struct Case {
        std::string line;
        std::string title;
        std::string plot;  // the on-axis plot line; the fields end "3 <n> No" and "5 <n> No"
        int points;
    };
    const std::vector<Case> cases = {
        // One point asked for runs 21.
        {"report_mtf 100 1", "MODULATION TRANSFER FUNCTIONS",
         chromatic ? "plm tfr chr 0.0 100.000000" : "plm tfr mon 1 0.0 100.000000", 21},
        {"report_tf_mtf 30 0.1 5", "THROUGH-FOCUS MTF AT 30 CYCLES/MM",
         chromatic ? "plm tfo chr 30.000000 0.100000" : "plm tfo mon 1 30.000000 0.100000", 5},
    };
    for (const Case& c : cases) {
        lines_run().clear();
        const Saved before = saved();
        type(c.line);
        EXPECT_EQ(boxes(), 0u) << c.line << ": " << last_box();
        EXPECT_EQ(saved(), before) << c.line;
        EXPECT_EQ(lens.spot_settings->mtf_path_limit, limit) << c.line;
        const std::string n = std::to_string(c.points);
        const std::vector<std::string> expected = {
            "trr 1.0 0.0 0.0 0.0 0.0",    "trr 0.0 0.0 0.0 0.0 0.0", "spot_diagram",
            c.plot + " -1 " + n + " Yes", "trr 0.7 0.0 0.0 0.0 0.0", "spot_diagram",
            c.plot + " 3 " + n + " No",   "trr 1.0 0.0 0.0 0.0 0.0", "spot_diagram",
            c.plot + " 5 " + n + " No"};
        EXPECT_EQ(lines_run(), expected) << c.line;
        std::vector<std::string> words;
        for (const DrawnText& t : drawn_texts()) words.push_back(t.text);
        for (const std::string& w : {c.title, std::string("Mirror"), std::string("MTF TYPE"),
                                     std::string("FIELD POINTS"), std::string("WAVELENGTHS")}) {
            EXPECT_NE(std::find(words.begin(), words.end(), w), words.end()) << c.line << ": " << w;
        }
        EXPECT_TRUE(has_rule(0.25, 0.1, 0.25, 1.0)) << c.line;
        EXPECT_TRUE(has_rule(0.25, 0.0, 0.25, 0.1)) << c.line;
    }
    // The second configuration names itself behind the lens title.
    lens_data().current_configuration = 2;
    type("report_mtf");
    lens_data().current_configuration = 1;
    std::vector<std::string> words;
    for (const DrawnText& t : drawn_texts()) words.push_back(t.text);
    EXPECT_NE(std::find(words.begin(), words.end(), "Mirror - CFG 2"), words.end());
}

}  // namespace
}  // namespace plot_test

namespace plot_test {
namespace {

// The ray-trace, spot-diagram and point-spread pages on a concave mirror of radius 200 with a
// beam radius of 20 (so that the rim rays leave at twice their angle of incidence, asin 0.1).
class ReportPageKinds : public ReportPages {
protected:
    void SetUp() override {
        ReportPages::SetUp();
        set_setting_flag(kSetRptGfxDateAndTime, 0);
        set_setting_flag(kSetOutputOn, 1);
    }
    void mirror_in(const std::vector<std::string>& waves) {
        std::vector<std::string> lines = {
            "LEN NEW \"Mirror\"", "EBR 20", "ANG 1", "NXT", "RD -200", "TH -100", "RFL"};
        lines.insert(lines.end(), waves.begin(), waves.end());
        lines.insert(lines.end(), {"NXT", "END"});
        const std::size_t shown = boxes();
        type_all(lines);
        ASSERT_EQ(boxes(), shown) << last_box();
    }
    std::vector<std::string> words() {
        std::vector<std::string> out;
        for (const DrawnText& t : drawn_texts()) out.push_back(t.text);
        return out;
    }
    bool drawn(const std::string& text) {
        const std::vector<std::string> w = words();
        return std::find(w.begin(), w.end(), text) != w.end();
    }
    struct PageSaved {
        Saved saved;
        int htnu;
        double scale;
        bool operator==(const PageSaved&) const = default;
    };
    static PageSaved page_saved() {
        return {saved(), lens_data().htnu, get_setting_double(kSetGraphicsScale, 0, 0)};
    }
};

std::string g3(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}

TEST_F(ReportPageKinds, TheRayTracePageRunsItsFansAtTheRimRaysSlope) {
    mirror_in({});
    // Reflected at the rim, a ray leaves at 2 asin(h / R) to the axis.
    const double angle = 2.0 * std::asin(20.0 / 200.0);
    struct Case {
        std::string line;
        bool derived;
        std::string fans;
    };
    const std::vector<Case> cases = {
        {"report_ray_trace", true, "plot_ray_intercepts wvt yx 0 " + g3(std::tan(angle))},
        {"report_ray_trace 1", true, "plot_opd_fans wvt 0 " + g3(std::sin(angle))},
        {"report_ray_trace 0 0.5 0.05", false, "plot_ray_intercepts wvt yx 0.5 0.05"},
    };
    for (const Case& c : cases) {
        lines_run().clear();
        const PageSaved before = page_saved();
        type(c.line);
        EXPECT_EQ(boxes(), 0u) << c.line << ": " << last_box();
        EXPECT_EQ(page_saved(), before) << c.line;
        std::vector<std::string> expected;
        if (c.derived) expected.push_back("trace_ref_ray 0.0 0.0 0.0 0.0 0.0");
        for (const char* f : {"1.0", "0.7", "0.0"}) {
            expected.push_back(std::string("trace_ref_ray ") + f + " 0.0 0.0 0.0 0.0");
            expected.push_back(c.fans);
        }
        expected.push_back("draw_lens");
        EXPECT_EQ(lines_run(), expected) << c.line;
    }
    for (const char* w : {"RAY TRACE ANALYSIS", "RAY INTERCEPT CURVES (mm)", "FULL FIELD",
                          "0.7 FIELD", "ON-AXIS", "ASTIGMATISM", "% DISTORTION", "UNITS: mm"}) {
        EXPECT_TRUE(drawn(w)) << w << "\n" << list_text();
    }
    EXPECT_TRUE(has_rule(0.4, 0.6, 1.0, 0.6));
    EXPECT_TRUE(has_rule(0.4, 0.1, 0.4, 1.0));
}

TEST_F(ReportPageKinds, UnitsAndConfigurationsAreCaptionedOnEveryPage) {
    struct Case {
        std::string unit;
        int configuration;
        std::vector<std::string> ray_trace, spot;
        std::string patch_ends;  // how the point-spread page's patch caption ends
    };
    const std::vector<Case> cases = {
        {"UNI 25.4",
         1,
         {"RAY TRACE ANALYSIS", "RAY INTERCEPT CURVES (inches)", "UNITS: inches"},
         {"SPOT DIAGRAM ANALYSIS", "SPOT SIZE & FOCUS SHIFT: UNITS inches", "UNITS inches"},
         " in"},
        {"UNI 2",
         2,
         {"RAY TRACE ANALYSIS - CFG 2", "RAY INTERCEPT CURVES (2mm)", "UNITS: 2mm"},
         {"SPOT DIAGRAM ANALYSIS - CFG 2", "SPOT SIZE & FOCUS SHIFT: UNITS 2 mm", "UNITS 2 mm"},
         "  UNITS 2 mm"},
    };
    for (const Case& c : cases) {
        mirror_in({c.unit});
        lens_data().current_configuration = c.configuration;
        type("report_ray_trace");
        for (const std::string& w : c.ray_trace) EXPECT_TRUE(drawn(w)) << w << "\n" << list_text();
        type("report_spot");
        for (const std::string& w : c.spot) EXPECT_TRUE(drawn(w)) << w << "\n" << list_text();
        type("report_psf");
        const std::vector<std::string> all = words();
        const auto patch = std::find_if(all.begin(), all.end(), [](const std::string& t) {
            return t.rfind("IMAGE PATCH SIZE: ", 0) == 0;
        });
        ASSERT_NE(patch, all.end()) << list_text();
        EXPECT_TRUE(patch->ends_with(c.patch_ends)) << *patch;
        EXPECT_TRUE(drawn(c.configuration == 2 ? "POINT SPREAD FUNCTIONS - CFG 2"
                                               : "POINT SPREAD FUNCTIONS"));
        lens_data().current_configuration = 1;
    }
}

TEST_F(ReportPageKinds, AnAfocalLensIsCaptionedInRadiansWithoutRowsThroughFocus) {
    mirror_in({"AFO 1"});
    type("report_ray_trace");
    EXPECT_TRUE(drawn("RAY INTERCEPT CURVES (radians)")) << list_text();
    lines_run().clear();
    type("report_spot 1 0.2 0 0");
    for (const char* w :
         {"SPOT SIZE & FOCUS SHIFT: UNITS radians", "AFOCAL SYSTEM", "UNITS radians"}) {
        EXPECT_TRUE(drawn(w)) << w << "\n" << list_text();
    }
    EXPECT_FALSE(drawn("FOCUS SHIFT"));
    // Each field: its reference ray, spot diagram, radial energy and diagram, and no row.
    EXPECT_EQ(lines_run().size(), 12u);
    type("report_psf");
    const std::vector<std::string> all = words();
    EXPECT_NE(std::find_if(all.begin(), all.end(),
                           [](const std::string& t) {
                               return t.rfind("IMAGE PATCH SIZE: ", 0) == 0 &&
                                      t.ends_with(" radians");
                           }),
              all.end())
        << list_text();
}

TEST_F(ReportPageKinds, LateralColourNeedsThreeWavelengths) {
    struct Case {
        std::vector<std::string> waves;
        std::string caption;
        bool lateral;
    };
    const std::vector<Case> cases = {
        {{"WV 0.58756 0.48613 0.65627"}, "@1:0.588 @3:0.486 @5:0.656", true},
        {{"WV 0.58756 0.48613"}, "@1:0.588 @3:0.486", false},
    };
    for (const Case& c : cases) {
        mirror_in(c.waves);
        type("report_ray_trace 1");
        EXPECT_EQ(boxes(), 0u) << last_box();
        EXPECT_TRUE(drawn(c.caption)) << list_text();
        EXPECT_TRUE(drawn("OPTICAL PATH DIFFERENCE CURVES (waves)"));
        EXPECT_EQ(drawn("LATERAL COLOR"), c.lateral) << c.caption;
        EXPECT_EQ(drawn("P @1   S @2"), c.lateral) << c.caption;
    }
}

TEST_F(ReportPageKinds, TheSpotPageRunsItsDiagramsAndRowsThroughFocus) {
    mirror_in({});
    struct Case {
        std::string line;
        std::string form;  // "sym" or "spt"
        std::string scale;
        std::vector<std::string> offsets;
    };
    const std::vector<Case> cases = {
        {"report_spot 1 0.2 0 0.05",
         "sym",
         "0.05",
         {"-0.100000", "-0.050000", "0.000000", "0.050000", "0.100000"}},
        {"report_spot 0.04",
         "spt",
         "0.04",
         {"0.000000", "0.000000", "0.000000", "0.000000", "0.000000"}},
    };
    for (const Case& c : cases) {
        lines_run().clear();
        const PageSaved before = page_saved();
        type(c.line);
        EXPECT_EQ(boxes(), 0u) << c.line << ": " << last_box();
        EXPECT_EQ(page_saved(), before) << c.line;
        ASSERT_EQ(lines_run().size(), 27u) << c.line;
        const char* fields[] = {"1.0", "0.7", "0.0"};
        const char* markers[] = {" 5", " 3", " 1"};
        for (int k = 0; k < 3; ++k) {
            const std::vector<std::string> run(lines_run().begin() + 9 * k,
                                               lines_run().begin() + 9 * (k + 1));
            EXPECT_EQ(run[0], std::string("trace_ref_ray ") + fields[k] + " 0.0 0.0 0.0 0.0");
            EXPECT_EQ(run[1], "spot_diagram");
            EXPECT_EQ(run[2].rfind("plot_rad_energy_dist geo smo 0.0 20 ", 0), 0u) << run[2];
            EXPECT_TRUE(run[2].ends_with(markers[k])) << run[2];
            EXPECT_EQ(run[3], "plot_spot_diagram cen " + c.form + " 0.0 " + c.scale);
            for (int i = 0; i < 5; ++i) {
                char row[80];
                std::snprintf(row, sizeof row, "plot_spot_diagram cen %s %s %f", c.form.c_str(),
                              c.offsets[i].c_str(), std::atof(c.scale.c_str()));
                EXPECT_EQ(run[4 + i], row);
            }
        }
        // The 0.7 field and the axis draw at the full field's radius scale.
        EXPECT_EQ(lines_run()[11].substr(0, lines_run()[11].size() - 2),
                  lines_run()[20].substr(0, lines_run()[20].size() - 2));
        // The offsets under the rows.
        for (const std::string& o : {c.offsets.front(), c.offsets.back()}) {
            EXPECT_TRUE(drawn(o.substr(0, o.size() - 3))) << c.line << ": " << o;
        }
    }
    for (const char* w :
         {"SPOT DIAGRAM ANALYSIS", "SPOT SIZE & FOCUS SHIFT: UNITS mm", "GEOMETRICAL",
          "DIFFRACTION", "FOCUS SHIFT", "CIRCLE RADIUS", "RADIAL ENERGY"}) {
        EXPECT_TRUE(drawn(w)) << w << "\n" << list_text();
    }
    const std::string first_wave = "WV1: " + g3(lens_data().wavelengths[0].wavelength);
    const std::vector<std::string> all = words();
    EXPECT_NE(std::find_if(all.begin(), all.end(),
                           [&](const std::string& t) { return t.rfind(first_wave, 0) == 0; }),
              all.end())
        << first_wave;
    // The diffraction limit on axis is the Airy radius 0.61 lambda / NA, NA the sine of the
    // rim ray's angle.
    const double na = std::sin(2.0 * std::asin(0.1));
    const double airy = 0.61 * lens_data().wavelengths[0].wavelength * 1e-3 / na;
    const std::vector<std::string> w = words();
    const auto limit = std::find(w.begin(), w.end(), "LIMIT");
    ASSERT_NE(limit, w.end());
    bool found = false;
    for (auto it = w.begin(); it + 1 < w.end(); ++it) {
        if (*it == "LIMIT" && std::fabs(std::atof((it + 1)->c_str()) - airy) < 0.01 * airy) {
            found = true;
        }
    }
    EXPECT_TRUE(found) << g3(airy) << "\n" << list_text();

    // The geometrical spot size on axis is the rms radius of the rays over the pupil at the
    // paraxial focus, 100 before the mirror: a ray at height h reflects about the normal
    // towards the centre of curvature (0, -200) and meets the focal plane at y(h).
    auto focal_height = [](double h) {
        const double zs = -200.0 + std::sqrt(200.0 * 200.0 - h * h);
        const double ny = -h / 200.0, nz = (-200.0 - zs) / 200.0;
        const double dot = nz;  // the incoming ray runs along +z
        const double dy = -2.0 * dot * ny, dz = 1.0 - 2.0 * dot * nz;
        return h + (-100.0 - zs) / dz * dy;
    };
    double sum = 0.0, area = 0.0;
    const int steps = 4000;
    for (int i = 0; i < steps; ++i) {
        const double h = 20.0 * (i + 0.5) / steps;
        const double y = focal_height(h);
        sum += y * y * h;
        area += h;
    }
    const double rms = std::sqrt(sum / area);
    std::string on_axis_size;
    for (auto it = w.begin(); it + 1 < w.end(); ++it) {
        if (*it == "SPOT SIZE") on_axis_size = *(it + 1);
    }
    EXPECT_NEAR(std::atof(on_axis_size.c_str()), rms, 0.05 * rms) << on_axis_size;
}

TEST_F(ReportPageKinds, ThePsfPageTracesEachFieldAndCaptionsItsPatch) {
    mirror_in({});
    struct Case {
        std::string line;
        std::string patch;
    };
    const std::vector<Case> cases = {
        {"report_psf 64 32 31 1 0 0 0.02", "IMAGE PATCH SIZE: 0.02 mm"},
        {"report_psf", ""},
    };
    for (const Case& c : cases) {
        lines_run().clear();
        const PageSaved before = page_saved();
        type(c.line);
        EXPECT_EQ(boxes(), 0u) << c.line << ": " << last_box();
        EXPECT_EQ(page_saved(), before) << c.line;
        const std::vector<std::string> expected = {
            "trr 0.0 0.0 0.0 0.0 0.0", "trr 0.7 0.0 0.0 0.0 0.0", "trr 1.0 0.0 0.0 0.0 0.0"};
        EXPECT_EQ(lines_run(), expected) << c.line;
        for (const std::string& w :
             {std::string("POINT SPREAD FUNCTIONS"), std::string("ON-AXIS - @1"),
              std::string("1 deg FIELD - @5"),
              g3(std::atan(0.7 * std::tan(std::numbers::pi / 180.0)) * 180.0 / std::numbers::pi) +
                  " deg FIELD - @3"}) {
            EXPECT_TRUE(drawn(w)) << c.line << ": " << w << "\n" << list_text();
        }
        if (!c.patch.empty()) {
            EXPECT_TRUE(drawn(c.patch)) << list_text();
        }
    }
}

TEST_F(ReportPageKinds, EveryPageStopsOnCancelOrAFailedRayWithItsSettingsBack) {
    struct Case {
        std::string page;
        std::string stop_after;            // Escape is released as a line starting so runs
        std::vector<std::string> failing;  // the lines run on the lens whose fields fail
        std::string field;                 // the field the page stops at there
        std::size_t all;                   // the lines the whole page runs
    };
    const std::vector<Case> cases = {
        {"report_ray_trace",
         "plot_ray_intercepts",
         {"trace_ref_ray 0.0 0.0 0.0 0.0 0.0", "trace_ref_ray 1.0 0.0 0.0 0.0 0.0"},
         "full field",
         8},
        {"report_spot",
         "plot_spot_diagram",
         {"trace_ref_ray 1.0 0.0 0.0 0.0 0.0"},
         "full field",
         27},
        // The point-spread page starts on axis.
        {"report_psf",
         "trr 0.7",
         {"trr 0.0 0.0 0.0 0.0 0.0", "trr 0.7 0.0 0.0 0.0 0.0"},
         "0.7 field",
         3},
    };
    static std::string stop_after;
    for (const Case& c : cases) {
        // Cancel at the question.
        mirror_in({});
        set_setting_flag(kSetCheckEscape, 1);
        stop_after = c.stop_after;
        set_report_page_line_watcher([](const char* line) {
            lines_run().push_back(line);
            if (std::string(line).rfind(stop_after, 0) != 0) return;
            platform::KeyEvent escape;
            escape.key = platform::key_escape;
            escape.pressed = false;
            static_cast<platform::ConsoleBackend*>(platform::current_ui())->post_key(0, escape);
        });
        lines_run().clear();
        PageSaved before = page_saved();
        input("Cancel\n");
        type(c.page);
        set_setting_flag(kSetCheckEscape, 0);
        set_report_page_line_watcher([](const char* line) { lines_run().push_back(line); });
        EXPECT_EQ(page_saved(), before) << c.page;
        // The page ends at a question after an Escape: it runs fewer lines than all.
        EXPECT_GE(lines_run().size(), 1u) << c.page;
        EXPECT_LT(lines_run().size(), c.all) << c.page;

        // A full-field reference ray that fails.
        type_all({"LEN NEW \"Miss\"", "EBR 5", "ANG 80", "NXT", "TH 100", "AST", "NXT", "RD -10",
                  "TH -5", "RFL", "NXT", "END"});
        lines_run().clear();
        before = page_saved();
        type(c.page);
        EXPECT_EQ(page_saved(), before) << c.page;
        EXPECT_EQ(lines_run(), c.failing) << c.page;
        EXPECT_NE(ui().status_text().find(c.field), std::string::npos)
            << c.page << ": " << ui().status_text();
        EXPECT_TRUE(has_rule(0.0, 0.1, 1.0, 0.1)) << c.page;
    }
}

TEST_F(ReportPageKinds, TheShippedReportProceduresRunTheirPages) {
    mirror_in({});
    struct Case {
        std::string line;
        std::string expected;  // a line the page runs
    };
    // One wavelength's MTF, or all of them, as the spot diagram is set.
    const LensData& lens = lens_data();
    const bool chromatic = lens.wavelength_count >= 2 && lens.spot_settings->polychromatic != 0;
    const std::string tfr = chromatic ? "plm tfr chr 0.0 " : "plm tfr mon 1 0.0 ";
    const std::string tfo = chromatic ? "plm tfo chr " : "plm tfo mon 1 ";
    const std::vector<Case> cases = {
        {"rptg_fans", "plot_ray_intercepts wvt yx 0 "},
        {"rptg_fans 1", "plot_opd_fans wvt 0 "},
        {"rptg_mtfs 50 5", tfr + "50.000000 -1 5 Yes"},
        {"rptg_tf_mtfs 30 0.1 5", tfo + "30.000000 0.100000 -1 5 Yes"},
        {"rptg_tf_mtfs 30", tfo + "30.000000 0.000000 -1 21 Yes"},
        {"report_tf_mtf2 30 0.2 7", tfo + "30.000000 0.200000 -1 7 Yes"},
        {"rep opd 0.5 0.05", "plot_opd_fans wvt 0.5 0.05"},
        {"rep ray 0.5 0.05 1 2 3 4 5 6", "plot_ray_intercepts wvt yx 0.5 0.05"},
    };
    for (const Case& c : cases) {
        lines_run().clear();
        type(c.line);
        EXPECT_EQ(boxes(), 0u) << c.line << ": " << last_box();
        bool found = false;
        for (const std::string& l : lines_run()) found = found || l.rfind(c.expected, 0) == 0;
        EXPECT_TRUE(found) << c.line << ": " << (lines_run().empty() ? "" : lines_run().back());
    }
    // The window keeps the fans' procedure and draws it again.
    type("report_graphics rptg_fans");
    EXPECT_EQ(std::string(graphics_command_text(1)),
              "rptg_fans;ref_ray_trace Trr_fby Trr_fbx Trr_fbz Trr_fyrf Trr_fxrf");
    lines_run().clear();
    type("graphwin_update 1");
    EXPECT_NE(std::find(lines_run().begin(), lines_run().end(), "draw_lens"), lines_run().end());
}

}  // namespace
}  // namespace plot_test
