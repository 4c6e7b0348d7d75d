#include "reports/spot_page.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "reports/report_page.h"
#include "runtime/arg_cells.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kRowDiagrams = 5;
constexpr double kCaptionSize = 0.6;
constexpr double kFieldSize = 0.7;
// The radial energy captions lie in a viewport half the page's height: at twice the size they
// are as tall as the page's own captions instead of a few pixels.
constexpr double kEnergyCaptionSize = 2 * kCaptionSize;
// Under the row of focus offsets, clear of them and of the rule below.
constexpr double kFocusShiftSize = 0.9;

struct SpotField {
    double fraction;
    double y0, y1;      // its spot diagram
    double row0, row1;  // its row through focus
    double caption;     // the top line of its size captions
    int energy_colour;
    int energy_marker;
    const char* name;
};

constexpr SpotField kFields[] = {
    {1.0, 0.7, 1.0, 0.85, 1.0, 0.864, 1, 5, "full field"},
    {0.7, 0.4, 0.7, 0.75, 0.9, 0.564, 2, 3, "0.7 field"},
    {0.0, 0.1, 0.4, 0.65, 0.8, 0.264, 3, 1, "axis"},
};

template <typename... Args>
std::string composed(const char* format, Args... args) {
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

std::string number(double v, int kind) {
    return format_number(v, kind, 0);
}

void draw_page_captions(bool afocal) {
    const std::string units = afocal ? std::string("radians") : unit_word("inches", "", " mm");
    page_text(0.2, 0.07, kCaptionSize, 4, "SPOT SIZE & FOCUS SHIFT: UNITS " + units);
    page_text(0.2, 0.04, kCaptionSize, 4, "WAVELENGTHS (microns)");
    static const char* const kLabels[3] = {"WV1: ", "WV2: ", "WV3: "};
    page_text(0.2, 0.01, kCaptionSize, 4,
              wavelengths_caption(kLabels, lens_data().wavelength_count == 2 ? "  " : " "));

    const PageField field = page_field();
    page_text(0.02, 0.95, kFieldSize, 1, "FULL FIELD");
    page_text(0.02, 0.915, kFieldSize, 1, full_field_caption(field, true));
    page_text(0.02, 0.65, kFieldSize, 1, "0.7 FIELD");
    page_text(0.02, 0.615, kFieldSize, 1, field_07_caption(field, true));
    page_text(0.02, 0.35, kFieldSize, 1, "ON-AXIS");
    page_text(0.02, 0.315, kFieldSize, 1, on_axis_caption(field));
    page_rule(0.4, 0.1, 0.4, 1.0);
    page_rule(0.4, 0.6, 1.0, 0.6);
    if (afocal) {
        page_text(0.42, 0.95, kFieldSize, 1, "AFOCAL SYSTEM");
    } else {
        page_text(0.42, 0.95, kFieldSize, 1, "FULL FIELD");
        page_text(0.42, 0.85, kFieldSize, 1, "0.7 FIELD");
        page_text(0.42, 0.75, kFieldSize, 1, "ON-AXIS");
    }
}

// The rms size of the spot just computed and its diffraction limit, in the field's row.
void draw_size_captions(const SpotField& f, bool afocal) {
    const SpotStats& s = spot_stats();
    const double v = afocal ? s.var_tx + s.var_ty : s.var_x + s.var_y;
    const double rms = v > 0.0 ? std::sqrt(v) : 0.0;
    const SpotStore& st = spot_store();
    const int w = st.reference_wavelength;
    const double airy = w >= 0 && w < st.wavelength_capacity ? st.airy_radius[w] : 0.0;
    page_coordinates();
    gfx_set_color(1);
    const double y = f.caption;
    page_text(0.33, y, kCaptionSize, 5, "GEOMETRICAL");
    page_text(0.33, y - 0.03, kCaptionSize, 5, "SPOT SIZE");
    page_text(0.33, y - 0.06, kCaptionSize, 5, number(rms, 6));
    page_text(0.07, y, kCaptionSize, 5, "DIFFRACTION");
    page_text(0.07, y - 0.03, kCaptionSize, 5, "LIMIT");
    page_text(0.07, y - 0.06, kCaptionSize, 5, number(airy, 6));
}

void draw_energy_captions(bool afocal) {
    page_viewport(0.4, 1.0, 0.1, 0.6, 15);
    FrameBox world{0.0, 1.0, 0.0, 1.0, 0};
    gfx_frame(1, 0, &world);
    gfx_set_color(1);
    page_text(0.52, 0.015, kEnergyCaptionSize, 4, "CIRCLE RADIUS");
    gfx_move_to(0.05, 0.465);
    gfx_set_text_size(kEnergyCaptionSize, 0.0, 0.0);
    gfx_set_text_anchor(4, -90);
    gfx_print_msg(kMsgPlotText, "FRACTIONAL ENERGY");
    page_text(0.85, 0.85, 1.2, 24, "RADIAL ENERGY");
    page_text(0.85, 0.79, 1.2, 24, "DISTRIBUTION");
    gfx_set_color(2);
    page_text(0.85, 0.67, kEnergyCaptionSize, 4, "@5 FULL FIELD");
    gfx_set_color(3);
    page_text(0.85, 0.61, kEnergyCaptionSize, 4, "@3 0.7 FIELD");
    gfx_set_color(4);
    page_text(0.85, 0.55, kEnergyCaptionSize, 4, "@1 ON-AXIS");
    gfx_set_color(1);
    page_text(0.85, 0.43, kEnergyCaptionSize, 4,
              "UNITS " + (afocal ? std::string("radians") : unit_word("inches", "", " mm")));
}

// A bar of the spot scale under the on-axis diagram, in the diagram's own frame (a unit there
// is one scale), with its length.
void draw_scale_line(double scale) {
    const double y = -1.05;
    page_rule(-0.5, y, 0.5, y);
    page_rule(-0.5, y - 0.03, -0.5, y + 0.03);
    page_rule(0.5, y - 0.03, 0.5, y + 0.03);
    page_text(0.6, y, kCaptionSize, 2, number(scale, 6));
}

}  // namespace

void report_spot_focus_row(double d, int n, double x0, double x1, double y0, double y1,
                           double scale, int mode) {
    const double width = (x1 - x0) / n;
    for (int i = 0; i < n; ++i) {
        const double offset = n > 1 ? -d + i * 2.0 * d / (n - 1) : 0.0;
        page_viewport(x0 + i * width, x0 + (i + 1) * width, y0, y1, 1);
        gfx_set_color(1);
        page_line(composed(
            mode == 1 ? "plot_spot_diagram cen sym %f %f" : "plot_spot_diagram cen spt %f %f",
            offset, scale));
    }
}

void report_focus_shift_panel(double d, int n, double x0, double x1, double y) {
    page_coordinates();
    gfx_set_color(1);
    const double width = (x1 - x0) / n;
    for (int i = 0; i < n; ++i) {
        const double offset = n > 1 ? -d + i * 2.0 * d / (n - 1) : 0.0;
        page_text(x0 + (i + 0.5) * width, y, kCaptionSize, 4, composed("%.3f", offset));
    }
    page_text(0.5 * (x0 + x1), y - 0.031, kFocusShiftSize, 4, "FOCUS SHIFT");
}

int cmd_report_spot_page() {
    // A one-shot graphics scale the user set before the page sizes its diagrams.
    const double graphics_scale = std::fabs(get_setting_double(kSetGraphicsScale, 0, 0));
    ReportPage page({PageAxes::kOff, true, true, false});
    if (page.status() != 0) return page.status();
    const LensData& lens = lens_data();
    const bool afocal = lens.afocal != 0;

    int mode = 0;
    double half_range = 0.0;
    double scale = 0.0;
    const ArgCell* first = arg_cell(0);
    if (first != nullptr && first->type == kArgInt) {
        mode = arg_int(0);
        half_range = 0.5 * arg_double(1);
        scale = arg_double(3);
    } else {
        scale = arg_double(0);
    }
    if (std::fabs(scale) < kTiny) scale = graphics_scale;

    gfx_set_color(1);
    report_page_footer(page_lens_title().c_str(),
                       configuration_title("SPOT DIAGRAM ANALYSIS").c_str(),
                       page.labels_were_on() ? 1 : 0, 0.4);
    draw_page_captions(afocal);
    gfx_set_color(-1);

    const std::string scale_text = number(scale, 2);
    double radius_scale = 0.0;
    bool drawn_all = true;
    for (const SpotField& f : kFields) {
        if (!page_reference_ray(f.fraction, false)) {
            drawn_all = false;
            break;
        }
        if (page_line("spot_diagram") != 0 || spot_store().ray_count <= 0) {
            page_stopped(f.name);
            drawn_all = false;
            break;
        }
        // The radial energy curves share the full field's axes and radius scale.
        page_viewport(0.4, 0.85, 0.15, 0.675, 13);
        gfx_set_color(f.energy_colour);
        const bool full = f.fraction >= 1.0;
        if (full) {
            set_setting_flag(kSetGraphicsAxes, 1);
            set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
        }
        page_line(composed("plot_rad_energy_dist geo smo 0.0 20 %s %d",
                           number(radius_scale, 2).c_str(), f.energy_marker));
        if (full) {
            set_setting_flag(kSetGraphicsAxes, 0);
            radius_scale = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
        }
        if (page_escape()) return 0;

        draw_size_captions(f, afocal);
        page_viewport(0.03, 0.375, f.y0, f.y1, 2);
        gfx_set_color(1);
        page_line(composed(
            mode == 1 ? "plot_spot_diagram cen sym 0.0 %s" : "plot_spot_diagram cen spt 0.0 %s",
            scale_text.c_str()));
        if (f.fraction <= 0.0) {
            draw_scale_line(scale > kTiny ? scale
                                          : get_setting_double(kSetGraphicsCurrentScale, 0, 0));
        }
        if (page_escape()) return 0;
        if (!afocal) {
            report_spot_focus_row(half_range, kRowDiagrams, 0.5, 1.0, f.row0, f.row1, scale, mode);
        }
    }
    draw_energy_captions(afocal);
    if (drawn_all && !afocal) report_focus_shift_panel(half_range, kRowDiagrams, 0.5, 1.0, 0.635);
    return 0;
}
