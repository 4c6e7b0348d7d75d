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
#include "tests/reports/plot_fixture.h"

namespace plot_test {
namespace {

std::vector<std::string>& lines_run() {
    static std::vector<std::string> lines;
    return lines;
}

platform::LocalTime fixed_clock() {
    platform::LocalTime t;
    t.year = 2002;
    t.month = 3;
    t.day = 7;
    t.hour = 9;
    t.minute = 5;
    return t;
}

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

class ReportPages : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        lines_run().clear();
        set_report_page_line_watcher([](const char* line) { lines_run().push_back(line); });
        set_report_page_clock(fixed_clock);
        mirror(200.0, 0.0, 10.0, 1.0, 0.0);
        ASSERT_GE(graphwin_open(1, 0, 0, 0, 0), 0);
    }
    void TearDown() override {
        set_report_page_line_watcher(nullptr);
        set_report_page_clock(nullptr);
        PlotLoop::TearDown();
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

TEST_F(ReportPages, AReportProcedureNeedsACompiledRep) {
    EXPECT_EQ(run_command_string("report_procedure 1 1 2 3 4 5 6 7 8", 0), kMsgNoReportProcedure);
    EXPECT_TRUE(lines_run().empty());
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
