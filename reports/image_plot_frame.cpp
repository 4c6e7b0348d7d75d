#include "reports/image_plot_frame.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

#include "evaluation/point_intensity.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "trace/ray_record.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kGoldenAspect = 0.618034;
constexpr double kOffAxis = 1e-10;
constexpr std::size_t kLongTitle = 32;
constexpr double kMapBox = 1.075;
constexpr std::size_t kCellCharacters = 13;  // characters of full size across a title cell

std::string formatted(double v, int kind) {
    return format_number(v, kind, 0);
}

// A text of a title cell a quarter of the frame wide: a longer one is drawn smaller, so that it
// is not cut off at the frame nor runs into the next cell.
void print_in_cell(const std::string& text) {
    if (text.size() > kCellCharacters) {
        gfx_set_text_size(static_cast<double>(kCellCharacters) / text.size(), 0.0, 0.0);
    }
    gfx_printf("%s", text);
}

// The unit text of the spot diagram's title block: a name, or empty for a unit without one.
std::string unit_name(const LensData& lens) {
    if (lens.afocal) return "radians";
    struct Unit {
        double mm;
        const char* name;
    };
    static constexpr Unit kUnits[] = {
        {1.0, "mm"}, {10.0, "cm"}, {25.4, "in"}, {0.001, "mu"}, {1000.0, "m "}};
    for (const Unit& u : kUnits) {
        if (std::fabs(lens.units - u.mm) <= kTiny) return u.name;
    }
    return "";
}

// The rms spot size along one axis at focus shift dz from its moments.
double rms_at(double a, double b, double c, double dz, bool afocal) {
    const double v = afocal ? a : a * dz * dz + 2.0 * b * dz + c;
    const double r = v > 0.0 ? std::sqrt(v) : 0.0;
    return r < kOffAxis ? 0.0 : r;
}

// The image point the title block names as the reference point.
void reference_point(int command, int w, double dz, double y_offset, double x_offset, double* x,
                     double* y) {
    const ReferenceRay& rr = reference_ray();
    const RayRecord& ref = rr.ray;
    *x = ref.x + x_offset;
    *y = ref.y + y_offset;
    if (command == kCmdPlotSpotDiagram) {
        const bool tilt = std::fabs(ref.m) >= kTiny;
        const double kx = tilt ? ref.k / ref.m : 0.0, ly = tilt ? ref.l / ref.m : 0.0;
        if (w < 0) {
            *x = *y = 0.0;
        } else if (arg_int(0) == 1) {
            *x = ref.x + kx * dz;
            *y = ref.y + ly * dz;
        } else {
            const SpotStats& s = spot_stats();
            *x = ref.x + s.mean_x + (kx + s.mean_tx) * dz;
            *y = ref.y + s.mean_y + (ly + s.mean_ty) * dz;
        }
    } else if (command == kCmdPlotWavefront && w < kWavefrontMapForm) {
        *x = ref.x;
        *y = ref.y;
    }
}

// The last line of the title block, at (0.875, 0.95), and what a form draws beside it.
void draw_scale_and_units(int command, int w, double scale, double distance,
                          const WavefrontStatistics& stats, double x_offset, double y_offset) {
    const LensData& lens = lens_data();
    std::string first;
    {
        const std::string d = formatted(distance, 7);
        const FormatArg args[] = {FormatArg(d)};
        first = format_message(kMsgReferencePointDistance, std::span<const FormatArg>(args, 1));
    }
    auto line = [&](int message, const std::string& value) {
        const FormatArg args[] = {FormatArg(value)};
        const std::string text =
            first + "  " + format_message(message, std::span<const FormatArg>(args, 1));
        plot_text_at(0.875, 0.95, 4);
        print_in_cell(text);
    };
    if (command == kCmdPlotSpotDiagram) {
        if (arg_int(1) == 0) {
            const std::string name = unit_name(lens);
            if (name.empty()) {
                line(kMsgSpotUnitNumber, formatted(lens.units, 6));
            } else {
                line(kMsgSpotUnitText, name);
            }
        } else {
            const SpotStore& st = spot_store();
            int with_rays = 0;
            for (int i = 0; i < std::min(lens.wavelength_count, st.wavelength_capacity); ++i) {
                if (st.wave_ray_counts[i] > 0) ++with_rays;
            }
            line(kMsgPlotText, wavelength_legend_text(with_rays > 1 ? lens.wavelength_count : 1));
        }
        return;
    }
    if (command == kCmdPlotWavefront) {
        if (w >= kWavefrontMapForm) {
            line(kMsgWavefrontIncrement, formatted(scale, 6));
            return;
        }
        line(kMsgWavefrontHeightScale, formatted(scale, 6));
        // Each pair as one text, the second after the first.
        auto pair = [](int first_message, double first_value, int second_message,
                       double second_value) {
            const std::string a = formatted(first_value, 7), b = formatted(second_value, 7);
            const FormatArg first_args[] = {FormatArg(a)};
            const FormatArg second_args[] = {FormatArg(b)};
            return format_message(first_message, std::span<const FormatArg>(first_args, 1)) +
                   format_message(second_message, std::span<const FormatArg>(second_args, 1));
        };
        plot_text_at(0.0, 0.88, 23);
        gfx_printf("%s", pair(kMsgWavefrontXShift, x_offset, kMsgWavefrontYShift, y_offset));
        plot_text_at(1.0, 0.88, 29);
        gfx_printf("%s", pair(kMsgWavefrontPv, stats.peak_to_valley, kMsgWavefrontRms, stats.rms));
        return;
    }
    line(kMsgImagePlotScale, formatted(scale, 6));
}

// The spot diagram's scale ends and rms sizes beside its box.
void draw_spot_labels(double dz) {
    const LensData& lens = lens_data();
    const SpotStats& s = spot_stats();
    const double scale = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
    plot_text_at(1.0, 1.0, 22);
    gfx_print_msg(kMsgImageNumberLabel, formatted(scale, 6));
    plot_text_at(1.0, -1.0, 22);
    gfx_print_msg(kMsgImageNumberLabel, formatted(-scale, 6));
    const bool afocal = lens.afocal != 0;
    const double y = rms_at(s.var_ty, s.cov_y_ty, s.var_y, dz, afocal);
    const double x = rms_at(s.var_tx, s.cov_x_tx, s.var_x, dz, afocal);
    const SpotStore& st = spot_store();
    const int current = std::clamp(lens.current_wavelength, 0, st.wavelength_capacity - 1);
    const struct {
        double x, y;
        int message;
        double value;
    } labels[] = {{-1.525, 0.45, kMsgSpotRmsRadial, std::sqrt(x * x + y * y)},
                  {-1.525, -0.25, kMsgSpotAiryRadius, st.airy_radius[current]},
                  {1.525, 0.45, kMsgSpotRmsY, y},
                  {1.525, -0.25, kMsgSpotRmsX, x}};
    for (const auto& l : labels) {
        plot_text_at(l.x, l.y, 4);
        gfx_print_msg(l.message, formatted(l.value, 7));
    }
}

}  // namespace

void set_isometric_world(double xmin, double xmax, double ymin, double ymax, int flag) {
    FrameBox viewport;
    gfx_frame(2, 1, &viewport);
    const double vw = viewport.xmax - viewport.xmin;
    const double vh = viewport.ymax - viewport.ymin;
    const double width = xmax - xmin;
    if (width <= kTiny || vw <= 0.0) return;
    const double r = kGoldenAspect * (vh / vw);
    if ((ymax - ymin) / width <= r) {
        const double centre = (ymin + ymax) / 2.0;
        ymin = centre - r * width / 2.0;
        ymax = centre + r * width / 2.0;
    } else {
        const double centre = (xmin + xmax) / 2.0;
        const double half = ((ymax - ymin) / 2.0) / r;
        xmin = centre - half;
        xmax = centre + half;
    }
    FrameBox world{xmin, xmax, ymin, ymax, flag};
    gfx_frame(1, 2, &world);
}

ShiftedReference::ShiftedReference(int w, double ox_, double oy_, double dz_)
    : afocal(lens_data().afocal != 0),
      at_infinity(lens_data().wrsp == 0),
      n(spot_image_index(w)),
      ox(ox_),
      oy(oy_),
      dz(dz_),
      ox_sphere(ox_),
      oy_sphere(oy_),
      c(0.0),
      q(0.0) {
    if (afocal || at_infinity) return;
    const ReferenceRay& rr = reference_ray();
    set_finite_form(rr.ray.k, rr.ray.l, rr.ray.m, rr.sphere_radius);
}

void ShiftedReference::set_finite_form(double k, double l, double m, double R) {
    at_infinity = false;
    ox_sphere = ox;
    oy_sphere = oy;
    q = 0.0;
    // A sphere of no radius has no finite form: its reference lies at infinity.
    if (std::fabs(R) <= kTiny) {
        at_infinity = true;
        return;
    }
    if (std::fabs(m) <= kTiny) {
        // A reference ray across the axis: the shift without the terms that divide by M.
        c = 1.0 / R;
        return;
    }
    ox_sphere = ox - k / m * dz;
    oy_sphere = oy - l / m * dz;
    const double r1 = dz / m + R;
    c = std::fabs(r1) > kTiny ? 1.0 / r1 : r1;
    q = (1.0 / R - c) * n / 2.0;
}

double ShiftedReference::opd(double w, double k, double l, double m, double p1, double p2,
                             double p3) const {
    if (afocal) return w + n * (p1 * ox + p2 * oy);
    if (at_infinity) return w + n * (k * ox + l * oy + m * dz);
    double v = w + c * n * (p1 * ox_sphere + p2 * oy_sphere);
    if (std::fabs(q) > kTiny) v += q * (p1 * p1 + p2 * p2 + p3 * p3);
    return v;
}

double ShiftedReference::opd(const SpotRay& r, bool mirrored) const {
    const double sign = mirrored ? -1.0 : 1.0;
    return opd(r.opd, sign * r.nx, r.ny, r.nz, sign * r.px, r.py, r.pz);
}

double waves_factor(int w) {
    const LensData& lens = lens_data();
    if (lens.opdw == 0 || w < 0 || w >= lens.wavelength_count) return 1.0;
    const double lambda = lens.wavelengths[w].wavelength;
    const double unit = lens.units > 0.0 ? lens.units : 1.0;
    return lambda > 0.0 ? unit * 1000.0 / lambda : 1.0;
}

WavefrontStatistics wavefront_statistics(int w, double ox, double oy, double dz) {
    WavefrontStatistics out;
    const SpotStore& st = spot_store();
    if (w < 0 || w >= st.wavelength_capacity || st.wave_ray_counts[w] <= 0) return out;
    const ShiftedReference ref(w, ox, oy, dz);
    const std::int32_t first = spot_first_ray(w);
    const std::int32_t end = first + st.wave_ray_counts[w];
    double s1 = 0.0, s2 = 0.0, low = 0.0, high = 0.0;
    long count = 0;
    for (std::int32_t i = first; i < end; ++i) {
        for (int mirror = 0; mirror <= (st.half_pupil != 0 ? 1 : 0); ++mirror) {
            const double v = ref.opd(st.rays[i], mirror != 0);
            if (count == 0) low = high = v;
            low = std::min(low, v);
            high = std::max(high, v);
            s1 += v;
            s2 += v * v;
            ++count;
        }
    }
    if (count == 0) return out;
    const double f = waves_factor(w);
    const double variance = (s2 - s1 * s1 / count) / count;
    out.rms = variance > 0.0 ? f * std::sqrt(variance) : 0.0;
    out.peak_to_valley = f * (high - low);
    return out;
}

void draw_image_plot_frame(double dz, double y_offset, double x_offset, double scale, int w) {
    const LensData& lens = lens_data();
    const int command = current_command();
    const int all = get_setting_int(kSetMaxWavelengths, 0, 0);
    const bool map = command == kCmdPlotWavefront && w >= kWavefrontMapForm;
    const int wave = map ? w - kWavefrontMapForm : w;
    const bool polychromatic =
        command != kCmdPlotSpotDiagram && command != kCmdPlotWavefront && wave >= all;
    int number = polychromatic ? all + 1 : wave + 1;
    if (command == kCmdPlotIntensityPerspective && !polychromatic) {
        number = arg_int(2) != 0 ? arg_int(2) : lens.current_wavelength + 1;
    }
    begin_plot_page();
    const bool labels = get_setting_flag(kSetGraphicsLabels) != 0;
    WavefrontStatistics stats;
    if (command == kCmdPlotWavefront && labels) {
        stats = wavefront_statistics(wave, x_offset, y_offset, dz);
    }
    if (labels) {
        set_plot_world(0.0, 1.0, 0.0, 1.0);
        draw_title_block(0.5, true);
        gfx_move_to(0.75, 1.0);
        gfx_draw_to(0.75, 0.88);
        const std::string title = plot_title();
        plot_text_at(0.25, 0.95, 4);
        if (title.size() > kLongTitle) gfx_set_text_size(0.7, 0.0, 0.0);
        const FormatArg heading[] = {FormatArg(title), FormatArg(number)};
        const std::span<const FormatArg> with_number(heading, 2), title_only(heading, 1);
        // The title keeps to its half of the title block, whole, however long the lens title.
        if (command == kCmdPlotSpotDiagram) {
            print_within(0.5, format_message(kMsgSpotDiagramTitle, title_only));
        } else if (command == kCmdPlotWavefront) {
            print_within(0.5,
                         format_message(map ? kMsgWavefrontMapTitle : kMsgWavefrontPerspectiveTitle,
                                        with_number));
        } else if (polychromatic) {
            print_within(0.5, format_message(kMsgImagePlotPolyTitle, title_only));
        } else {
            print_within(0.5, format_message(kMsgImagePlotTitle, with_number));
        }
        const RayRecord& ref = reference_ray().ray;
        double x = 0.0, y = 0.0;
        reference_point(command, w, dz, y_offset, x_offset, &x, &y);
        double r = std::sqrt(x * x + y * y);
        if (r < kOffAxis) r = 0.0;
        const std::string oy = formatted(ref.obj_y, 5), ox = formatted(ref.obj_x, 5);
        const std::string focus = formatted(dz, 6);
        const FormatArg field[] = {FormatArg(oy), FormatArg(ox), FormatArg(focus)};
        plot_text_at(0.625, 0.95, 4);
        print_in_cell(format_message(kMsgImageFieldPoint, std::span<const FormatArg>(field, 3)));
        draw_scale_and_units(command, w, scale, r, stats, x_offset, y_offset);
    }
    const bool square = command == kCmdPlotSpotDiagram || map;
    set_isometric_world(-1.2, 1.2, -1.1, 1.4, square ? 1 : 0);
    if (get_setting_flag(kSetGraphicsAxes) != 0 && square) {
        const double h = map ? kMapBox : 1.0;
        gfx_move_to(-h, -h);
        gfx_draw_to(h, -h);
        gfx_draw_to(h, h);
        gfx_draw_to(-h, h);
        gfx_draw_to(-h, -h);
    }
    if (!square) return;
    set_isometric_world(-1.2, 1.2, -1.1, 1.4, 1);
    if (!labels) return;
    if (command == kCmdPlotSpotDiagram) {
        draw_spot_labels(dz);
    } else {
        plot_text_at(-1.525, 0.3, 4);
        gfx_print_msg(kMsgWavefrontPvLabel, formatted(stats.peak_to_valley, 7));
        plot_text_at(-1.525, -0.25, 4);
        gfx_print_msg(kMsgWavefrontRmsLabel, formatted(stats.rms, 7));
    }
}
