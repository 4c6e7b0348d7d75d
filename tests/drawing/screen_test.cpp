// The lens drawing on the console's screen: title block, scale and magnification, the one-shot
// scale, the redraw word, the drawing flag, and the report as a user sees it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "drawing/draw_lens.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "tests/drawing/drawing_fixture.h"
#include "trace/lens_setup.h"

namespace {

using drawing_test::Drawing;

// The texts of the current window's display list, read record by record.
std::vector<std::string> drawn_texts() {
    std::vector<std::string> texts;
    const std::vector<std::uint16_t> w = display_list_words();
    std::size_t i = 0;
    while (i < w.size() && w[i] != 0) {
        const std::uint16_t kind = w[i] & kDlKindMask;
        const int value = w[i] & kDlValueMask;
        std::size_t operands = 0;
        switch (kind) {
            case kDlViewport:
                operands = 4;
                break;
            case kDlTextAttributes:
                operands = value != 0 ? 0 : 4;
                break;
            case kDlText:
            case kDlTextOffset: {
                const std::size_t head = kind == kDlText ? 2 : 4;
                std::string t;
                for (int k = 0; k < value && i + 1 + head + k < w.size(); ++k) {
                    const std::uint16_t word = w[i + 1 + head + static_cast<std::size_t>(k)];
                    if ((word & 0xFF) != 0) t += static_cast<char>(word & 0xFF);
                    if ((word >> 8) != 0) t += static_cast<char>(word >> 8);
                }
                texts.push_back(t);
                operands = head + static_cast<std::size_t>(value);
                break;
            }
            case kDlMarkers:
                operands = 1 + 2 * static_cast<std::size_t>(value);
                break;
            case kDlDots:
            case kDlPolyline:
                operands = 2 * static_cast<std::size_t>(value);
                break;
            case kDlRawHpgl:
                operands = static_cast<std::size_t>(value);
                break;
            default:
                break;
        }
        i += 1 + operands;
    }
    return texts;
}

bool any_text_has(const std::string& part) {
    for (const std::string& t : drawn_texts()) {
        if (t.find(part) != std::string::npos) return true;
    }
    return false;
}

class Screen : public Drawing {
protected:
    void singlet() {
        run_all(
            {"LEN NEW \"Singlet\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END", "LEN"});
    }
    static double world_width() {
        FrameBox world;
        gfx_frame(2, 2, &world);
        return world.xmax - world.xmin;
    }
};

TEST_F(Screen, PlanViewTitleCarriesThickLensValues) {
    singlet();
    set_setting_flag(kSetGraphicsLabels, 1);
    ASSERT_EQ(run("draw_lens plan"), 0) << error_text();
    std::string title;
    for (const std::string& t : drawn_texts()) {
        if (t.find("Singlet - PLAN VIEW") == 0) title = t;
    }
    ASSERT_FALSE(title.empty());
    const int w = lens_data().current_wavelength;
    const double n = surface(1).index[w];
    const double r1 = 50.0;
    const double r2 = -50.0;
    const double t = 5.0;
    const double power = (n - 1.0) * (1.0 / r1 - 1.0 / r2 + (n - 1.0) * t / (n * r1 * r2));
    const double efl = 1.0 / power;
    const double f_number = efl / (2.0 * lens_data().entrance_beam_radius);
    const std::string efl_text = title.substr(title.find("EFL") + 3);
    const std::string f_text = title.substr(title.find("F/#") + 3);
    const double shown_efl = std::strtod(efl_text.c_str(), nullptr);
    const double shown_f = std::strtod(f_text.c_str(), nullptr);
    // To the digits printed.
    EXPECT_NEAR(shown_efl, efl, 5e-4 * efl);
    EXPECT_NEAR(shown_f, f_number, 5e-4 * f_number);
}

TEST_F(Screen, DecentredLensHasThePlanSectionTitle) {
    run_all({"LEN NEW \"Tilted\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END", "LEN"});
    set_setting_flag(kSetGraphicsLabels, 1);
    ASSERT_EQ(run("draw_lens plan"), 0);
    EXPECT_TRUE(any_text_has("Tilted - PLAN VIEW"));
    DecentreRecord record{};
    surface(2).decentre = &record;
    record.dcy = 0.5;
    EXPECT_EQ(run("draw_lens plan"), 0);
    surface(2).decentre = nullptr;
    EXPECT_FALSE(any_text_has("PLAN VIEW"));
    EXPECT_TRUE(any_text_has("Tilted - PLAN SECTION"));
}

TEST_F(Screen, MagnificationFromTheDeviceSizes) {
    singlet();
    set_setting_flag(kSetGraphicsLabels, 0);
    ASSERT_EQ(run("draw_lens elev"), 0) << error_text();
    const LensDrawingState& st = lens_drawing_state();
    int w = 0, h = 0;
    graphwin_get_size(&w, &h);
    ASSERT_GT(w, 0);
    int px = 0, mmx = 0, py = 0, mmy = 0;
    gfx_device_width(&px, &mmx);
    gfx_device_height(&py, &mmy);
    // Elevation: the axis across, y up; 5 in front of surface 1 and behind surface 2.
    const double width = 5.0 + 5.0 + 5.0;
    const double height = 20.0;
    EXPECT_NEAR(st.xmin, -5.0, 1e-12);
    EXPECT_NEAR(st.xmax, 10.0, 1e-12);
    EXPECT_NEAR(st.ymax - st.ymin, height, 1e-12);
    const double wide_mm = w * static_cast<double>(mmx) / px;
    const double high_mm = h * static_cast<double>(mmy) / py;
    const double fit =
        static_cast<double>(h) / w <= height / width ? high_mm / height : wide_mm / width;
    EXPECT_NEAR(st.fit, fit, 1e-12 * fit);
    // 0.9 of the fit with its mantissa floored.
    double m = 0.9 * fit;
    int p = 0;
    while (m <= 1.0) {
        m *= 10.0;
        --p;
    }
    while (m > 10.0) {
        m /= 10.0;
        ++p;
    }
    EXPECT_NEAR(st.magnification, std::floor(m) * std::pow(10.0, p), 1e-12);
}

TEST_F(Screen, OneShotScaleServesOneDrawing) {
    singlet();
    set_setting_flag(kSetGraphicsAxes, 1);
    const char* const lines[] = {"draw_lens elev 0 0 0 0 0 0 0 0 2.5", "stp gsca 2.5;draw_lens"};
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        ASSERT_EQ(run(line), 0) << error_text();
        EXPECT_NEAR(world_width(), 25.0, 1e-9);
        EXPECT_TRUE(any_text_has("2.5"));
        EXPECT_EQ(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 2.5);
        EXPECT_EQ(get_setting_double(kSetGraphicsScale, 0, 0), 0.0);
        ASSERT_EQ(run("draw_lens elev"), 0);
        EXPECT_GT(std::fabs(world_width() - 25.0), 1e-3);
    }
}

TEST_F(Screen, RedrawWordDrawingFlagAndOnePlaneLens) {
    singlet();
    ASSERT_EQ(run("draw_lens plan"), 0);
    EXPECT_NE(test_state_flag(kFlagLensDrawingShown), 0);
    const double fit = lens_drawing_state().fit;
    // "pre" is a list word here, not the command of that name.
    ASSERT_EQ(run("draw_lens pre"), 0) << error_text();
    EXPECT_TRUE(lens_drawing_state().annotation_only);
    EXPECT_EQ(lens_drawing_state().style, kStylePlan);
    EXPECT_EQ(lens_drawing_state().fit, fit);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(test_state_flag(kFlagLensDrawingShown), 0);
    run_all({"LEN NEW \"Plane\"", "NXT", "SRF 0 20 RFL 0", "END", "LEN"});
    ASSERT_EQ(run("draw_lens elev"), 0) << error_text();
    FrameBox world;
    gfx_frame(2, 2, &world);
    EXPECT_GT(world.xmax - world.xmin, 0.0);
    EXPECT_GT(world.ymax - world.ymin, 0.0);
    EXPECT_TRUE(std::isfinite(world.xmax) && std::isfinite(world.ymax));
}

TEST_F(Screen, RaySetsGiveThePenBack) {
    singlet();
    ASSERT_EQ(run("draw_lens elev"), 0);
    gfx_set_color(3);
    ASSERT_EQ(run("draw_field_rays"), 0);
    EXPECT_EQ(graphics_pen_colour(), 3);
}

TEST_F(Screen, TypedDrawingAndReport) {
    singlet();
    take_output();
    for (const char* line : {"draw_lens", "draw_field_rays", "draw_rays report",
                             "draw_note start 0 0 0 1", "draw_note line 0 5 0 1"}) {
        type(line);
    }
    const std::string expected =
        std::string("DRAWN SURFACES AND RAY RANGE\n") +
        "FIRST LAST, RAYS FROM TO:" + entry_test::cell(1) + entry_test::cell(2) +
        entry_test::cell(1) + entry_test::cell(2) + "\nVIEW ANGLES AND RAY STUBS\n" +
        "VERTICAL HORIZONTAL, OBJECT IMAGE: " + entry_test::kZero + entry_test::cell(-90) +
        entry_test::cell(5) + entry_test::cell(5) + "\n";
    std::string shown = take_output();
    while (shown.size() > 1 && shown.back() == '\n' && shown[shown.size() - 2] == '\n') {
        shown.pop_back();
    }
    EXPECT_EQ(shown, expected);
}

}  // namespace
