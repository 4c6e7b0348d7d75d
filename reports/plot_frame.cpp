#include "reports/plot_frame.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "numeric/cubic_spline.h"
#include "runtime/messages.h"
#include "runtime/settings.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kDefaultTickFraction = 0.2;
constexpr double kDefaultTickLength = 0.025;
constexpr double kFallbackPlotAspect = 0.625;
constexpr int kMostTicks = 10000;  // a degenerate spacing draws no more than this
constexpr double kMarkerSize = 1.25;
constexpr double kSmallViewportMarkerSize = 3.125;
constexpr double kSmallViewportArea = 0.2;
constexpr int kSpecialApertureGroup = 1;  // group kind of a non-sequential group
constexpr int kTitleConfigurationFrom = 2;
constexpr double kTitleLine = 0.88;

// Ticks stand from start by spacing while they do not pass end; a tick at the end itself is
// drawn even when the sum of the steps lands a rounding error beyond it.
template <class DrawTick>
void draw_ticks(double start, double end, double spacing, DrawTick tick) {
    const double slack = 1e-9 * std::fabs(spacing);
    for (int i = 0; i < kMostTicks; ++i) {
        const double at = start + i * spacing;
        if (!(at - end < slack)) break;
        tick(at);
        if (spacing == 0.0) break;
    }
}

// The ends of a tick of half-length half clipped to [low, high]; a tick that crosses the axis
// is drawn at half that length on each side.
void tick_ends(double half, double low, double high, double* from, double* to) {
    *from = std::max(-half, low);
    *to = std::min(half, high);
    if (*to - *from > half) {
        *from *= 0.5;
        *to *= 0.5;
    }
}

bool marked(int i, int n, int marker) {
    if (marker == 0) return false;
    if (n <= 3) return i == 0 || i == n - 1;
    const int step = marker < 0 ? n / 2 : n / 4;
    return step > 0 && i % step == 0;
}

double clean(double v) {
    return std::fabs(v) < kTiny ? 0.0 : v;
}

// Hands the points of a curve to the window (modes 0 and 1) or the output (mode 2).
class CurveSink {
public:
    CurveSink(int mode, std::span<double> out) : mode_(mode), out_(out) {}
    void point(double x, double v) {
        v = clean(v);
        if (mode_ == kCurveSampled) {
            if (written_ < out_.size()) out_[written_] = v;
            ++written_;
            return;
        }
        const double px = mode_ == kCurveAcross ? v : x;
        const double py = mode_ == kCurveAcross ? x : v;
        if (first_) {
            gfx_move_to(px, py);
            first_ = false;
        } else {
            gfx_draw_to(px, py);
        }
    }

private:
    int mode_;
    std::span<double> out_;
    std::size_t written_ = 0;
    bool first_ = true;
};

void place_markers(int n, double x0, double dx, double scale, int mode, int marker,
                   const double* values, bool every_point) {
    if (marker == 0 || mode == kCurveSampled) return;
    gfx_set_line_style(0);
    std::vector<double> xs, ys;
    for (int i = 0; i < n; ++i) {
        if (!every_point && !marked(i, n, marker)) continue;
        const double x = x0 + i * dx;
        const double v = clean(values[i] / scale);
        xs.push_back(mode == kCurveAcross ? v : x);
        ys.push_back(mode == kCurveAcross ? x : v);
    }
    if (!xs.empty()) {
        gfx_polymarker(xs.data(), ys.data(), static_cast<int>(xs.size()), std::abs(marker),
                       plot_marker_size());
    }
}

// Joins the points with straight lines (mode 2: linear samples between them).
void straight_curve(int n, double x0, double dx, int subdivisions, double scale, int mode,
                    const double* values, std::span<double> out) {
    CurveSink sink(mode, out);
    if (mode != kCurveSampled) {
        for (int i = 0; i < n; ++i) sink.point(x0 + i * dx, values[i] / scale);
        return;
    }
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = 0; j < subdivisions; ++j) {
            const double f = static_cast<double>(j) / subdivisions;
            sink.point(0.0, (values[i] + f * (values[i + 1] - values[i])) / scale);
        }
    }
    sink.point(0.0, values[n - 1] / scale);
}

}  // namespace

int ensure_plot_window() {
    if (graphics_current() != 0) return 0;
    const int rc = graphwin_open(1, 0, 0, 0, 0);
    return rc < 0 ? rc : 0;
}

void begin_plot_page() {
    if (get_setting_flag(kSetGraphicsAutoclear) != 0) graphwin_new_page(1);
    gfx_set_color(1);
}

void draw_title_block(double split, bool from_top) {
    gfx_frame_box();
    gfx_move_to(0.0, kTitleLine);
    gfx_draw_to(1.0, kTitleLine);
    if (split > 0.0) {
        gfx_move_to(split, from_top ? 1.0 : kTitleLine);
        gfx_draw_to(split, from_top ? kTitleLine : 1.0);
    }
}

void set_plot_world(double xmin, double xmax, double ymin, double ymax) {
    FrameBox f{xmin, xmax, ymin, ymax, 0};
    gfx_frame(1, 2, &f);
}

void draw_plot_axes(double xmin, double xmax, double ymin, double ymax, double fraction,
                    double length) {
    if (std::fabs(fraction) < kTiny) fraction = kDefaultTickFraction;
    if (std::fabs(length) < kTiny) length = kDefaultTickLength;
    const double width = xmax - xmin;
    const double height = ymax - ymin;

    gfx_move_to(xmin, 0.0);
    gfx_draw_to(xmax, 0.0);
    // Half-length of the ticks on the horizontal axis, in vertical world units: as long on the
    // screen as the ticks of the vertical axis are across.
    double half;
    if (length == width) {
        half = length * ymax;
    } else {
        FrameBox world, viewport;
        gfx_frame(2, 2, &world);
        gfx_frame(2, 1, &viewport);
        const double world_width = world.xmax - world.xmin;
        const double world_aspect =
            std::fabs(world_width) < kTiny ? 1.0 : (world.ymax - world.ymin) / world_width;
        half =
            length * kFallbackPlotAspect / (std::fabs(world_aspect) < kTiny ? 1.0 : world_aspect);
        int w = 0, h = 0;
        graphwin_get_size(&w, &h);
        const double vw = (viewport.xmax - viewport.xmin) * w;
        const double vh = (viewport.ymax - viewport.ymin) * h;
        if (w > 0 && h > 0 && vw > 0.0 && vh > 0.0) half = length / (vh / vw);
        if (std::fabs(width) >= kTiny && std::fabs(height / width) < 1.0) {
            half *= std::fabs(height / width);
        }
    }
    double from = 0.0, to = 0.0;
    tick_ends(half, ymin, ymax, &from, &to);
    draw_ticks(xmin, xmax, (xmax != 0.0 ? xmax : width) * fraction, [&](double x) {
        gfx_move_to(x, from);
        gfx_draw_to(x, to);
    });

    gfx_move_to(0.0, ymin);
    gfx_draw_to(0.0, ymax);
    const double across = length == width ? length * xmax : length;
    tick_ends(across, xmin, xmax, &from, &to);
    draw_ticks(ymin, ymax, (ymax != 0.0 ? ymax : height) * fraction, [&](double y) {
        gfx_move_to(from, y);
        gfx_draw_to(to, y);
    });
    flush_pending_polyline();
}

void spline_uniform_coefficients(int n, double h, bool* failed, const double* values,
                                 double* second) {
    *failed = false;
    if (n < 2 || !(std::fabs(h) >= kTiny)) {
        *failed = true;
        return;
    }
    if (n == 2) {
        second[0] = second[1] = 0.0;
        return;
    }
    std::vector<double> upper;
    try {
        upper.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        *failed = true;
        return;
    }
    const double* y = values;
    const double h2 = h * h;
    const int last = n - 1;
    // Clamped ends whose slopes are the one-sided three- or four-point estimates, folded into
    // the first and last equations.
    const double first_rhs = n == 3
                                 ? 1.5 * (y[0] - 2.0 * y[1] + y[2]) / h2
                                 : 0.5 * (5.0 * y[0] - 12.0 * y[1] + 9.0 * y[2] - 2.0 * y[3]) / h2;
    const double last_rhs =
        n == 3
            ? 1.5 * (y[last] - 2.0 * y[last - 1] + y[last - 2]) / h2
            : 0.5 * (5.0 * y[last] - 12.0 * y[last - 1] + 9.0 * y[last - 2] - 2.0 * y[last - 3]) /
                  h2;
    // Forward elimination: row 0 is [1, 0.5], inner rows [0.5, 2, 0.5], the last [0.5, 1].
    double diag = 1.0;
    upper[0] = 0.5 / diag;
    second[0] = first_rhs / diag;
    for (int i = 1; i <= last; ++i) {
        const double rhs = i == last ? last_rhs : 3.0 * (y[i + 1] - 2.0 * y[i] + y[i - 1]) / h2;
        const double d = (i == last ? 1.0 : 2.0) - 0.5 * upper[i - 1];
        upper[i] = i == last ? 0.0 : 0.5 / d;
        second[i] = (rhs - 0.5 * second[i - 1]) / d;
    }
    for (int i = last - 1; i >= 0; --i) second[i] -= upper[i] * second[i + 1];
}

int plot_curve_sample_count(int n, int subdivisions) {
    if (n < 1) return 0;
    return (n - 1) * std::max(subdivisions, 1) + 1;
}

int plot_curve(int n, double x0, double dx, int subdivisions, double scale, int mode, int marker,
               const double* values, const double* start_slope, std::span<double> out) {
    if (n < 1 || values == nullptr) return 0;
    if (std::fabs(scale) < kTiny) scale = 1.0;
    if (subdivisions < 1) subdivisions = 1;
    if (n < 3) {
        straight_curve(n, x0, dx, subdivisions, scale, mode, values, out);
        place_markers(n, x0, dx, scale, mode, marker, values, true);
        if (mode != kCurveSampled) flush_pending_polyline();
        return 0;
    }
    std::vector<double> second;
    try {
        second.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        straight_curve(n, x0, dx, subdivisions, scale, mode, values, out);
        place_markers(n, x0, dx, scale, mode, marker, values, true);
        return kMsgOutOfMemory;
    }
    if (start_slope == nullptr || mode == kCurveSampled) {
        bool failed = false;
        spline_uniform_coefficients(n, dx, &failed, values, second.data());
        if (failed) return kMsgCurveSplineFailed;
    } else {
        std::vector<double> xs;
        try {
            xs.resize(static_cast<std::size_t>(n));
        } catch (const std::bad_alloc&) {
            return kMsgCurveSplineFailed;
        }
        for (int i = 0; i < n; ++i) xs[static_cast<std::size_t>(i)] = i * dx;
        if (spline_coefficients(xs.data(), values, n, *start_slope, kSplineNoSlope,
                                second.data()) != 0) {
            return kMsgCurveSplineFailed;
        }
    }
    CurveSink sink(mode, out);
    for (int i = 0; i + 1 < n; ++i) {
        const double si = second[static_cast<std::size_t>(i)];
        const double sj = second[static_cast<std::size_t>(i) + 1];
        const double d = values[i];
        const double b = si / 2.0;
        const double a = (sj - si) / (6.0 * dx);
        const double c = (values[i + 1] - values[i]) / dx - (2.0 * si + sj) * dx / 6.0;
        const int count = subdivisions + (i + 2 == n ? 1 : 0);
        for (int j = 0; j < count; ++j) {
            const double t = j * dx / subdivisions;
            sink.point(x0 + i * dx + t, (d + t * (c + t * (b + t * a))) / scale);
        }
    }
    place_markers(n, x0, dx, scale, mode, marker, values, false);
    if (mode != kCurveSampled) flush_pending_polyline();
    return 0;
}

double plot_marker_size() {
    FrameBox v;
    gfx_frame(2, 1, &v);
    const double area = (v.xmax - v.xmin) * (v.ymax - v.ymin);
    return area < kSmallViewportArea ? kSmallViewportMarkerSize : kMarkerSize;
}

int wavelength_marker(int n) {
    static const int symbols[] = {1, 3, 5, 2, 4, 6};
    return n >= 1 && n <= 6 ? symbols[n - 1] : n;
}

std::string wavelength_legend_text(int count) {
    std::string text;
    if (count < 2) {
        const int k = lens_data().current_wavelength + 1;
        text = "WV" + std::to_string(k) + " @" + std::to_string(wavelength_marker(k));
        return text;
    }
    text = "WV1-" + std::to_string(count) + " ";
    for (int k = 1; k <= count; ++k) text += "@" + std::to_string(wavelength_marker(k));
    return text;
}

std::string plot_title() {
    const LensData& lens = lens_data();
    std::string title = lens.title;
    if (lens.current_configuration >= kTitleConfigurationFrom) {
        title += " - CFG " + std::to_string(lens.current_configuration);
    }
    return title;
}

int lens_has_special_apertures() {
    const int image = lens_data().image_surface;
    for (int s = 1; s <= image; ++s) {
        const SurfaceRecord& r = surface(s);
        if (r.special_aperture_count != 0 || r.group_kind == kSpecialApertureGroup) return 1;
    }
    return 0;
}

int lens_has_pupil_exceptions() {
    const int image = lens_data().image_surface;
    for (int s = 1; s <= image; ++s) {
        const SurfaceRecord& r = surface(s);
        for (int e = 0; e < r.special_aperture_count && r.special_apertures != nullptr; ++e) {
            if (r.special_apertures[e].action != kActionClear) return 1;
        }
        const DiffractiveRecord* d = r.diffractive;
        if (d != nullptr && (d->kind == kDiffractiveZernike || d->kind == kDiffractiveZernikeXy) &&
            d->zernike_switch == 0) {
            return 1;
        }
    }
    return 0;
}

void plot_text_at(double x, double y, int anchor, int angle) {
    gfx_move_to(x, y);
    gfx_set_text_anchor(anchor, angle);
}

void print_within(double width, const std::string& text) {
    gfx_print_within(width, text);
}
