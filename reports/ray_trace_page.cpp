#include "reports/ray_trace_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "numeric/math_functions.h"
#include "reports/field_plots.h"
#include "reports/report_page.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "tables/table_names.h"
#include "trace/ray_trace.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kCaptionSize = 0.6;
constexpr double kTitleSize = 0.7;

double tangent_of(double a, double n) {
    return std::fabs(n) < kTiny ? 0.0 : a / n;
}

struct FanRow {
    double fraction;
    double y0, y1;
    const char* name;
};

constexpr FanRow kFans[] = {
    {1.0, 0.725, 0.975, "full field"},
    {0.7, 0.425, 0.675, "0.7 field"},
    {0.0, 0.125, 0.375, "axis"},
};

void draw_captions(bool opd) {
    const LensData& lens = lens_data();
    std::string curves;
    if (opd) {
        curves = "OPTICAL PATH DIFFERENCE CURVES (waves)";
    } else if (lens.afocal) {
        curves = "RAY INTERCEPT CURVES (radians)";
    } else {
        curves = "RAY INTERCEPT CURVES (" + unit_word("inches", "", "mm") + ")";
    }
    page_text(0.2, 0.07, kCaptionSize, 4, curves);
    page_text(0.2, 0.04, kCaptionSize, 4, "WAVELENGTHS (microns)");
    static const char* const kMarks[3] = {"@1:", "@3:", "@5:"};
    page_text(0.2, 0.01, kCaptionSize, 4, wavelengths_caption(kMarks, " "));

    // Each field's name with its angle or height after it.
    const PageField field = page_field();
    const std::string values[] = {full_field_caption(field, true), field_07_caption(field, true),
                                  on_axis_caption(field)};
    const char* names[] = {"FULL FIELD", "0.7 FIELD", "ON-AXIS"};
    const double ys[] = {0.96, 0.66, 0.36};
    for (int k = 0; k < 3; ++k) {
        page_text(0.02, ys[k], kCaptionSize, 1, names[k]);
        const double after = 0.02 + page_text_width(kCaptionSize, names[k]) + 0.01;
        page_text(after, ys[k], kCaptionSize, 1, values[k]);
    }

    page_text(0.5, 0.95, kTitleSize, 4, "ASTIGMATISM");
    page_text(0.5, 0.915, kTitleSize, 4, "S @2   T @1");
    page_text(0.7, 0.95, kTitleSize, 4, "% DISTORTION");
    if (lens.wavelength_count > 2) {
        page_text(0.9, 0.95, kTitleSize, 4, "LATERAL COLOR");
        page_text(0.9, 0.915, kTitleSize, 4, "P @1   S @2");
    }
    page_rule(0.4, 0.1, 0.4, 1.0);
    page_rule(0.4, 0.6, 1.0, 0.6);
}

template <typename... Args>
std::string composed(const char* format, Args... args) {
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

// A field plot called directly into its viewport; its failure is shown, the page goes on.
void field_plot(int command, int (*handler)(), ArgCell* cells, int count) {
    const int rc = page_direct_call(command, handler, cells, count);
    if (rc != 0) show_error(rc);
}

}  // namespace

double report_fan_abscissa_scale(bool opd) {
    const LensData& lens = lens_data();
    const RayRecord& r0 = reference_ray().ray;
    double tx = tangent_of(r0.k, r0.m);
    double ty = tangent_of(r0.l, r0.m);
    if (opd) {
        tx = std::atan(tx);
        ty = std::atan(ty);
    }
    const bool aimed = lens.aim_mode != kAimEntrancePupil;
    const double px0 = aimed ? r0.eff_pup_x : 0.0;
    const double py0 = aimed ? r0.eff_pup_y : 0.0;
    struct Rim {
        double px, py;
        bool meridional;
    };
    const Rim rims[] = {{px0, 1.0, true}, {px0, -1.0, true}, {1.0, py0, false}, {-1.0, py0, false}};
    const int count = lens.plane_symmetric != 0 ? 3 : 4;
    double largest = 0.0;
    for (int k = 0; k < count; ++k) {
        RayRecord ray = r0;
        ray.kind = kRayGaussian;
        ray.wavelength = lens.current_wavelength;
        ray.pup_x = rims[k].px;
        ray.pup_y = rims[k].py;
        trace_ray(ray);
        if (ray.failure != 0) continue;
        const double t = rims[k].meridional ? tangent_of(ray.l, ray.m) : tangent_of(ray.k, ray.m);
        const double chief = rims[k].meridional ? ty : tx;
        const double deviation = opd ? std::sin(std::atan(t) - chief) : t - chief;
        largest = std::max(largest, std::fabs(deviation));
    }
    return round_significant(largest, 3);
}

int cmd_report_ray_trace_page() {
    ReportPage page({PageAxes::kKept, true, true, false});
    if (page.status() != 0) return page.status();
    LensData& lens = lens_data();
    // The fans plot against the image-space slope.
    lens.htnu = 1;
    const bool opd = arg_int(0) != 0;
    const double scale = arg_double(1);
    double abscissa_scale = arg_double(2);
    const double astigmatism = arg_double(3);
    const double distortion = arg_double(4);
    const double lateral = arg_double(5);
    const double drawing = arg_double(6);

    gfx_set_color(1);
    report_page_footer(page_lens_title().c_str(), configuration_title("RAY TRACE ANALYSIS").c_str(),
                       page.labels_were_on() ? 1 : 0, 0.4);
    draw_captions(opd);
    gfx_set_color(-1);

    if (lens.htnu != 0 && std::fabs(abscissa_scale) < kTiny) {
        if (!page_reference_ray(0.0, false)) return 0;
        abscissa_scale = report_fan_abscissa_scale(opd);
    }

    // The three fans share the first one's scale.
    const std::string fans =
        opd ? composed("plot_opd_fans wvt %g %g", scale, abscissa_scale)
            : composed("plot_ray_intercepts wvt yx %g %g", scale, abscissa_scale);
    double common = 0.0;
    for (const FanRow& row : kFans) {
        if (!page_reference_ray(row.fraction, false)) return 0;
        page_viewport(0.03, 0.375, row.y0, row.y1, 20);
        gfx_set_color(1);
        if (row.fraction < 1.0) set_setting_double(kSetGraphicsScale, common, 0, 0);
        page_line(fans);
        if (row.fraction >= 1.0) common = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
        if (page_escape()) return 0;
    }
    set_setting_double(kSetGraphicsScale, 0.0, 0, 0);

    page_viewport(0.4, 0.6, 0.6, 0.95, 23);
    gfx_set_color(1);
    ArgCell astigmatism_cells[] = {int_cell(0), double_cell(astigmatism)};
    field_plot(kCmdPlotAstigmatism, cmd_plot_astigmatism, astigmatism_cells, 2);
    if (page_escape()) return 0;

    page_viewport(0.6, 0.8, 0.6, 0.95, 23);
    ArgCell distortion_cells[] = {int_cell(0), double_cell(distortion)};
    field_plot(kCmdPlotDistortion, cmd_plot_distortion, distortion_cells, 2);
    if (page_escape()) return 0;

    if (lens.wavelength_count > 2) {
        page_viewport(0.8, 1.0, 0.6, 0.95, 23);
        ArgCell lateral_cells[] = {double_cell(lateral)};
        field_plot(kCmdPlotLateralColor, cmd_plot_lateral_color, lateral_cells, 1);
        if (page_escape()) return 0;
    }

    page_viewport(0.4, 1.0, 0.1, 0.575, 1);
    gfx_set_color(1);
    set_setting_double(kSetGraphicsScale, drawing, 0, 0);
    page_line("draw_lens");
    if (page_escape()) return 0;
    // The units in the drawing's corner; the drawing's own frame stays for its rays.
    FrameBox drawn{};
    gfx_frame(2, 0, &drawn);
    FrameBox corner{0.0, 1.0, 0.0, 1.0, 0};
    gfx_frame(1, 0, &corner);
    gfx_set_color(1);
    page_text(0.025, 0.075, 1.4, 1, "UNITS: " + unit_word("inches", "", "mm"));
    gfx_frame(1, 0, &drawn);
    return page_direct_call(kCmdDrawFieldRays, handler_table().slots[kSlotDrawFieldRays], nullptr,
                            0);
}
