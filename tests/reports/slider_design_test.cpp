// The slider design window on a typed Cooke triplet whose flint is a model glass given by its
// indices at three wavelengths: the sheet opened by its command and fed the grid's events, the
// windows opened by accepting it, and slider moves as the control window makes them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/graphics_sliders.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "reports/slider_design.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "tests/reports/plot_fixture.h"
#include "tests/reports/slider_lenses.h"
#include "tests/support/sheet_lines.h"
#include "trace/lens_setup.h"

namespace plot_test {
namespace {

// Surface 3 carries the flint: a model glass off the normal line (its relative partial
// dispersion (n2 - n1) / (n2 - n3) = 0.763 at an Abbe number of 32.6, where the line gives
// 0.708). Surface 4 has its curvature solved for an axial slope, surface 6 its thickness solved.
const std::vector<std::string> kTriplet = {"LEN NEW \"Cooke\"",
                                           "WV 0.58756 0.48613 0.65627",
                                           "EBR 10",
                                           "ANG 20",
                                           "NXT",
                                           "SRF 21.48 2 N-SK16 10",
                                           "SRF -124.1 5.26 AIR 10",
                                           "AST",
                                           "RD -19.1",
                                           "TH 1.25",
                                           "GLA FLINT 1.62 1.6345 1.6155",
                                           "NXT",
                                           "RD 22",
                                           "PU -0.1",
                                           "TH 4.69",
                                           "AIR",
                                           "NXT",
                                           "SRF 328.9 2.25 N-SK16 10",
                                           "RD -16.7",
                                           "TH 43",
                                           "PY 0",
                                           "AIR",
                                           "NXT",
                                           "END"};

using slider_test::kCatalogueTriplet;  // the same triplet with a catalogue flint

// The normal line of relative partial dispersion against Abbe number for the d, F and C lines,
// P = k0 + k1 V (the published constants the program starts with).
constexpr double kLineK0 = 0.724006757580147;
constexpr double kLineK1 = -0.000478971605446;

using Words = std::vector<std::uint16_t>;

Words list_of(int window) {
    const GraphicsWindow& g = graphics_record(window);
    if (!g.has_list()) return {};
    return Words(g.words.begin(), g.words.begin() + g.write);
}

// The index of the slider with this id, or -1.
int slider_index(int id) {
    for (int i = 0; i < kSliderCount; ++i) {
        if (slider(i).id == id) return i;
    }
    return -1;
}
int slider_count() {
    int n = 0;
    for (int i = 0; i < kSliderCount; ++i) n += slider(i).id != 0 ? 1 : 0;
    return n;
}
double slider_minimum(int index) {
    const Slider& s = slider(index);
    return s.offset / s.scale;
}
double slider_maximum(int index) {
    const Slider& s = slider(index);
    return (s.offset + s.range) / s.scale;
}

class SliderDesign : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        type_all(kTriplet);
        ASSERT_EQ(boxes(), 0u) << last_box();
        ASSERT_EQ(lens_data().image_surface, 7);
        ASSERT_EQ(surface(4).curvature_kind, kCurvatureAxialSlope);
        ASSERT_EQ(surface(6).thickness_kind, kThicknessAxialHeight);
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(true);
        PlotLoop::TearDown();
    }

    void open() {
        type("slider_design");
        for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << output() << errors();
    }
    static int send(int code, int field, int index = 0) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.first_index = index;
        return run_command_level(e);
    }
    static int pick(int code, int side = 0) { return send(4, code, side); }
    static int enter(int field, double value) {
        GridEvent e;
        e.code = 5;
        e.field = field;
        e.value_type = 2;
        e.value.d = value;
        return run_command_level(e);
    }
    // OK on the sheet.
    static int accept() {
        GridEvent e;
        e.code = 7;
        e.argument = 0;
        return run_command_level(e);
    }
    // Side A (0) or B (1): kind, surface, half range.
    static void side(int s, int kind, int n, double half_range) {
        ASSERT_EQ(enter(201 + s, n), 0) << error_text_buffer();
        ASSERT_EQ(pick(kind, s), 0) << error_text_buffer();
        ASSERT_EQ(enter(401 + s, half_range), 0);
    }
    // The texts drawn in window n.
    static std::vector<std::string> texts(int n) {
        std::vector<std::string> out;
        const std::string list = tavo_test::display_list_text(list_of(n));
        std::size_t at = 0;
        while (at < list.size()) {
            std::size_t end = list.find('\n', at);
            if (end == std::string::npos) end = list.size();
            const std::string line = list.substr(at, end - at);
            at = end + 1;
            const std::size_t q = line.find('"');
            if (line.rfind("text ", 0) == 0 && q != std::string::npos) {
                out.push_back(line.substr(q + 1, line.size() - q - 2));
            }
        }
        return out;
    }
    static bool has_text(int n, const std::string& text) {
        const std::vector<std::string> t = texts(n);
        return std::find(t.begin(), t.end(), text) != t.end();
    }
};

// The edge cases of the sheet and of opening the windows, each on the sheet as the command
// opens it over the typed triplet.
TEST_F(SliderDesign, EdgeCasesOfTheSheetAndTheWindows) {
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"only a range for B: slider 102 alone, value -+ 0.1",
         [] {
             side(1, kSliderThickness, 2, 0.1);
             ASSERT_EQ(accept(), 0) << error_text_buffer();
             EXPECT_EQ(slider_count(), 1);
             const int b = slider_index(kSliderIdB);
             ASSERT_GE(b, 0);
             EXPECT_NEAR(slider_minimum(b), 5.16, 1e-9);
             EXPECT_NEAR(slider_maximum(b), 5.36, 1e-9);
             EXPECT_EQ(slider(b).caption, "Thickness  2");
         }},
        {"a curvature fixed by its radius form is freed; a solved one is refused",
         [] {
             surface(2).curvature_kind = kCurvatureFixedRtf;
             ASSERT_EQ(enter(201, 2), 0) << error_text_buffer();
             EXPECT_EQ(surface(2).curvature_kind, kCurvaturePlain);
             EXPECT_EQ(slider_design_state().surface_a, 2);
             EXPECT_DOUBLE_EQ(slider_design_state().value_a, -1.0 / 124.1);
             EXPECT_EQ(enter(201, 4), kErrorTextReady);
             EXPECT_NE(std::string(error_text_buffer()).find("Surface 4: curvature solved"),
                       std::string::npos)
                 << error_text_buffer();
             EXPECT_EQ(slider_design_state().surface_a, 2);
             // The other refusals: a solved thickness, no model glass, a surface beyond the
             // image.
             ASSERT_EQ(pick(kSliderThickness), 0);
             EXPECT_EQ(enter(201, 6), kErrorTextReady);
             EXPECT_NE(std::string(error_text_buffer()).find("Surface 6: thickness solved"),
                       std::string::npos);
             EXPECT_EQ(enter(201, 9), kErrorTextReady);
             EXPECT_NE(std::string(error_text_buffer()).find("image surface, 7"),
                       std::string::npos);
             ASSERT_EQ(enter(201, 1), 0);
             EXPECT_EQ(pick(kSliderIndex), kErrorTextReady);
             EXPECT_NE(std::string(error_text_buffer()).find("Surface 1 has no model glass"),
                       std::string::npos);
             EXPECT_EQ(slider_design_state().kind_a, kSliderThickness);
         }},
        {"a tilt starts from 0 and makes the record on the first move",
         [this] {
             side(0, kSliderTilt, 1, 1.0);
             EXPECT_EQ(slider_design_state().value_a, 0.0);
             ASSERT_EQ(accept(), 0) << error_text_buffer();
             EXPECT_EQ(surface(1).decentre, nullptr);
             const int a = slider_index(kSliderIdA);
             ASSERT_GE(a, 0);
             EXPECT_EQ(slider(a).caption, "Mer Tilt  1");
             slider_scroll(a, 3, 0);
             EXPECT_EQ(boxes(), 0u) << last_box();
             ASSERT_NE(surface(1).decentre, nullptr);
             double v = 0;
             ASSERT_EQ(slider_get_value(kSliderIdA, &v), 0);
             EXPECT_NEAR(v, 0.2, 1e-9);
             EXPECT_DOUBLE_EQ(surface(1).decentre->tla, v);
         }},
        {"a negative half range is taken as positive; a field beyond 1 is not taken",
         [this] {
             ASSERT_EQ(enter(401, -0.2), 0);
             EXPECT_EQ(slider_design_state().half_range_a, 0.2);
             ASSERT_EQ(enter(502, 0.5), 0);
             ASSERT_EQ(enter(502, 1.5), 0);
             EXPECT_EQ(slider_design_state().field_fraction, 0.5);
             EXPECT_NE(ui().status_text().find("not taken"), std::string::npos)
                 << ui().status_text();
         }},
        {"a tilted surface shows the fields 1, 0 and -1",
         [] {
             ASSERT_EQ(ensure_decentre_record(5), 0);
             surface(5).decentre->tla = 2.0;
             ASSERT_EQ(lens_setup(0), 0);
             side(0, kSliderCurvature, 1, 0.001);
             ASSERT_EQ(pick(kSliderAnalysisFans), 0);
             ASSERT_EQ(accept(), 0) << error_text_buffer();
             for (const char* field : {"FIELD 1", "FIELD 0", "FIELD -1"}) {
                 EXPECT_TRUE(has_text(kSliderAnalysisWindow, field)) << field;
             }
             EXPECT_FALSE(has_text(kSliderAnalysisWindow, "FIELD 0.7"));
         }},
        {"without a tilt the fields are 1, 0.7 and 0",
         [] {
             side(0, kSliderCurvature, 1, 0.001);
             ASSERT_EQ(pick(kSliderAnalysisOpd), 0);
             ASSERT_EQ(accept(), 0) << error_text_buffer();
             for (const char* field : {"FIELD 1", "FIELD 0.7", "FIELD 0"}) {
                 EXPECT_TRUE(has_text(kSliderAnalysisWindow, field)) << field;
             }
         }},
        {"one field: the spot diagram of that field alone",
         [] {
             side(0, kSliderCurvature, 1, 0.001);
             ASSERT_EQ(pick(kSliderAnalysisSpot), 0);
             ASSERT_EQ(pick(503), 0);
             ASSERT_EQ(enter(502, 0.5), 0);
             ASSERT_EQ(accept(), 0) << error_text_buffer();
             EXPECT_TRUE(has_text(kSliderAnalysisWindow, "FIELD 0.5"));
             EXPECT_FALSE(has_text(kSliderAnalysisWindow, "FIELD 1"));
             EXPECT_GT(list_of(kSliderAnalysisWindow).size(), 200u);
             EXPECT_EQ(get_setting_flag(kSetOutputOn), 1);
         }},
        {"longitudinal aberration: one plot of the whole field, no field labels",
         [] {
             side(0, kSliderCurvature, 1, 0.001);
             ASSERT_EQ(pick(kSliderAnalysisLongitudinal), 0);
             ASSERT_EQ(accept(), 0) << error_text_buffer();
             EXPECT_GT(list_of(kSliderAnalysisWindow).size(), 100u);
             for (const std::string& t : texts(kSliderAnalysisWindow)) {
                 EXPECT_EQ(t.rfind("FIELD", 0), std::string::npos) << t;
             }
         }},
        {"no analysis closes window 8 and draws the lens alone",
         [] {
             ASSERT_GE(graphwin_open(kSliderAnalysisWindow, 0, 0, 0, 0), 0);
             ASSERT_TRUE(graphics_record(kSliderAnalysisWindow).has_list());
             side(0, kSliderCurvature, 1, 0.001);
             ASSERT_EQ(pick(kSliderAnalysisNone), 0);
             ASSERT_EQ(accept(), 0) << error_text_buffer();
             EXPECT_FALSE(graphics_record(kSliderAnalysisWindow).has_list());
             EXPECT_GT(list_of(kSliderLensWindow).size(), 100u);
         }},
        {"a line typed into the sheet runs; one that leaves it accepts it: the windows open",
         [this] {
             side(0, kSliderCurvature, 1, 0.001);
             type("GTO 3");
             ASSERT_EQ(level_count(), 1) << errors();
             EXPECT_EQ(lens_data().current_surface, 3);
             type("exit_levels");
             for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
             EXPECT_EQ(level_count(), 0);
             EXPECT_EQ(slider_count(), 1);
             EXPECT_GE(slider_index(kSliderIdA), 0);
         }},
        {"both half ranges 0: no windows",
         [] {
             side(0, kSliderCurvature, 1, 0.0);
             EXPECT_EQ(accept(), kMsgSliderNoRange);
             EXPECT_FALSE(graphics_record(kSliderLensWindow).has_list());
             EXPECT_EQ(slider_count(), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_slider_design();
        sliders_remove();
        graphwin_close(kSliderLensWindow);
        graphwin_close(kSliderAnalysisWindow);
        type_all(kTriplet);
        open();
        c.run();
        while (level_count() > 0) pop_command_level(true);
    }
}

// The sheet's cells: choices marked by the state, kinds that no surface allows greyed, the
// field cell greyed unless one field is chosen, and the scale greyed without an analysis.
TEST_F(SliderDesign, TheSheetGreysWhatCannotBeChosen) {
    struct Case {
        const char* name;
        const std::vector<std::string>* lens;
        bool index_allowed;
    };
    const Case cases[] = {{"model flint", &kTriplet, true},
                          {"catalogue flint", &kCatalogueTriplet, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        type_all(*c.lens);
        tavo_test::sheet_lines().clear();
        set_output_line_sink(tavo_test::keep_sheet_line);
        open();
        ASSERT_EQ(pick(kSliderAnalysisNone), 0);
        set_output_line_sink(nullptr);
        // The cell of an item (kind bits kept) and index in the sheet as last written.
        auto cell = [](int item, int index) {
            int found = -1;
            for (const auto& line : tavo_test::sheet_lines()) {
                for (const auto& k : line.cells) {
                    if ((k.item & 0x07FF) == item && k.index == index) found = k.item;
                }
            }
            return found;
        };
        for (int side = 0; side < 2; ++side) {
            EXPECT_EQ(cell(kSliderCurvature, side), 0x3000);
            EXPECT_EQ(cell(kSliderThickness, side), 0x2000 | kSliderThickness);
            EXPECT_EQ(cell(kSliderIndex, side),
                      0x2000 | kSliderIndex | (c.index_allowed ? 0 : 0x8000));
            EXPECT_EQ(cell(kSliderTilt, side), 0x2000 | kSliderTilt);
            EXPECT_EQ(cell(201 + side, 0), 201 + side);
        }
        EXPECT_EQ(cell(kSliderAnalysisNone, 0), 0x3000 | kSliderAnalysisNone);
        EXPECT_EQ(cell(kSliderAnalysisFans, 0), 0x2000 | kSliderAnalysisFans);
        EXPECT_EQ(cell(501, 0), 0x3000 | 0x8000 | 501);
        EXPECT_EQ(cell(502, 0), 0x8000 | 502);
        EXPECT_EQ(cell(601, 0), 0x8000 | 601);
        EXPECT_EQ(cell(611, 0), 0x3000 | 611);
        EXPECT_EQ(cell(612, 0), 0x2000 | 612);

        // Ray fans at one field: the field cell and the scale open.
        tavo_test::sheet_lines().clear();
        set_output_line_sink(tavo_test::keep_sheet_line);
        ASSERT_EQ(pick(kSliderAnalysisFans), 0);
        ASSERT_EQ(pick(503), 0);
        set_output_line_sink(nullptr);
        EXPECT_EQ(cell(501, 0), 0x2000 | 501);
        EXPECT_EQ(cell(503, 0), 0x3000 | 503);
        EXPECT_EQ(cell(502, 0), 502);
        EXPECT_EQ(cell(601, 0), 601);
        while (level_count() > 0) pop_command_level(true);
        reset_slider_design();
    }
}

// A curvature move writes the slider's value into surface A, leaves the lens set up and draws
// both windows again.
TEST_F(SliderDesign, ACurvatureMoveChangesSurfaceAAndRedrawsBothWindows) {
    open();
    side(0, kSliderCurvature, 1, 0.005);
    ASSERT_EQ(pick(kSliderAnalysisFans), 0);
    ASSERT_EQ(accept(), 0) << error_text_buffer();
    const int a = slider_index(kSliderIdA);
    ASSERT_GE(a, 0);
    EXPECT_EQ(slider(a).caption, "Curvature  1");
    const double start = 1.0 / 21.48;
    // The slider counts in steps of 1e-5 over this range.
    EXPECT_NEAR(slider_minimum(a), start - 0.005, 1e-5);
    EXPECT_NEAR(slider_maximum(a), start + 0.005, 1e-5);
    const Words lens_before = list_of(kSliderLensWindow);
    const Words plot_before = list_of(kSliderAnalysisWindow);
    ASSERT_FALSE(lens_before.empty());
    ASSERT_FALSE(plot_before.empty());
    EXPECT_TRUE(has_text(kSliderAnalysisWindow, "FIELD 0.7"));

    slider_scroll(a, 3, 0);  // a page: a tenth of the range
    EXPECT_EQ(boxes(), 0u) << last_box();
    double v = 0;
    ASSERT_EQ(slider_get_value(kSliderIdA, &v), 0);
    EXPECT_NEAR(v, start + 0.001, 1e-5);
    EXPECT_DOUBLE_EQ(surface(1).curvature, v);
    EXPECT_DOUBLE_EQ(slider_design_state().value_a, v);
    // The lens is up to date: setting it up again changes nothing the trace reads.
    const double height = surface(7).axial_ray_height;
    const double slope = surface(6).axial_ray_slope;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(7).axial_ray_height, height);
    EXPECT_EQ(surface(6).axial_ray_slope, slope);
    const Words lens_after = list_of(kSliderLensWindow);
    const Words plot_after = list_of(kSliderAnalysisWindow);
    EXPECT_FALSE(lens_after.empty());
    EXPECT_NE(lens_after, lens_before);
    EXPECT_NE(plot_after, plot_before);
    // The settings the drawing changes are back.
    EXPECT_EQ(get_setting_flag(kSetGraphicsLabels), 1);
    EXPECT_EQ(get_setting_flag(kSetGraphicsAutoclear), 1);
    EXPECT_EQ(get_setting_flag(kSetGraphicsAxes), 1);
    EXPECT_EQ(get_setting_flag(kSetOutputOn), 1);
}

// Moving the index of a model glass given at three wavelengths keeps its principal dispersion
// and its distance from the normal line; the lens traces with the new indices.
TEST_F(SliderDesign, AnIndexMoveKeepsTheGlassOffTheNormalLineByTheSameAmount) {
    open();
    side(0, kSliderIndex, 3, 0.05);
    ASSERT_EQ(accept(), 0) << error_text_buffer();
    const double n1 = 1.62, n2 = 1.6345, n3 = 1.6155;
    auto offset = [](double a, double b, double c) {
        const double v = (a - 1.0) / (b - c);
        return (b - a) / (b - c) - (kLineK0 + kLineK1 * v);
    };
    const double given[] = {n1, n2, n3};
    for (int w = 0; w < 3; ++w) EXPECT_NEAR(surface(3).index[w], given[w], 1e-9) << w;
    const int a = slider_index(kSliderIdA);
    ASSERT_GE(a, 0);
    slider_scroll(a, 3, 0);
    slider_scroll(a, 3, 0);
    EXPECT_EQ(boxes(), 0u) << last_box();
    double v = 0;
    ASSERT_EQ(slider_get_value(kSliderIdA, &v), 0);
    EXPECT_NEAR(v, n1 + 0.02, 1e-9);
    const double* n = surface(3).index;
    EXPECT_NEAR(n[0], v, 1e-9);
    EXPECT_NEAR(n[1] - n[2], n2 - n3, 1e-9);
    EXPECT_NEAR(offset(n[0], n[1], n[2]), offset(n1, n2, n3), 1e-9);
    // Not a plain shift: the partial dispersion follows the line with the Abbe number.
    EXPECT_GT(std::fabs((n[1] - n2) - (n[0] - n1)), 1e-6);
}

// Another lens read while the windows are open: a side that lost its surface or its model
// glass refuses the move with its message, and nothing is written.
TEST_F(SliderDesign, AMoveOnALensThatNoLongerAllowsTheSideIsRefused) {
    struct Case {
        const char* name;
        std::vector<std::string> lens;
        const char* message;
    };
    const Case cases[] = {
        {"catalogue glass", kCatalogueTriplet, "Surface 3 has no model glass"},
        {"fewer surfaces",
         {"LEN NEW \"Window\"", "EBR 5", "END"},
         "Surfaces run from 0 to the image surface, 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_slider_design();
        sliders_remove();
        type_all(kTriplet);
        open();
        side(0, kSliderIndex, 3, 0.05);
        ASSERT_EQ(accept(), 0) << error_text_buffer();
        while (level_count() > 0) pop_command_level(true);
        type_all(c.lens);
        // The sheet shown again says so and keeps the side as it was.
        open();
        EXPECT_EQ(ui().status_text().rfind(c.message, 0), 0u) << ui().status_text();
        EXPECT_EQ(slider_design_state().value_a, 1.62);
        while (level_count() > 0) pop_command_level(true);
        const std::size_t shown = boxes();
        const double before = surface(3).index != nullptr ? surface(3).index[0] : 0.0;
        const int a = slider_index(kSliderIdA);
        ASSERT_GE(a, 0);
        slider_scroll(a, 3, 0);
        ASSERT_EQ(boxes(), shown + 1);
        EXPECT_NE(last_box().find(c.message), std::string::npos) << last_box();
        if (surface(3).index != nullptr) {
            EXPECT_EQ(surface(3).index[0], before);
        }
        EXPECT_EQ(slider_design_state().value_a, 1.62);
    }
}

}  // namespace
}  // namespace plot_test
