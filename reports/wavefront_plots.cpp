#include "reports/wavefront_plots.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "evaluation/point_intensity.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "platform/ui.h"
#include "reports/floating_horizon.h"
#include "reports/image_plot_frame.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/field_ray.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kGap = 1e20;
constexpr int kLeastGrid = 2;
constexpr int kLargestGrid = 512;
constexpr int kMostSteps = 1000;  // steps of the map beyond which every character is '#'
constexpr int kColours = 8;
constexpr double kAspectTolerance = 0.1;
// The perspective's world in plot units: rows 5120/n apart, the back row 7000 above the front,
// a path difference of 2 S 10000 high.
constexpr double kXMin = -1500.0, kXMax = 32220.0, kYMin = -2500.0, kYMax = 24000.0;
constexpr double kRowShift = 5120.0;
constexpr double kDepthRise = 7000.0;
constexpr double kHeightPerUnit = 10000.0;
constexpr int kSubPoints = 4;

enum : int {
    kForm = 0,
    kReference = 1,
    kLines = 2,
    kNumber = 3,
    kIncrement = 4,
    kFocus = 5,
    kGrid = 6,
};

std::string formatted(double v, int kind) {
    return format_number(v, kind, 0);
}

// The wavelength of the plot, or -9998 with the message in the error text.
int plot_wavelength(int& w) {
    return spot_command_wavelength(0, arg_int(kNumber), w);
}

// The chief ray's path difference of wavelength w in lens units: 0 for the current wavelength.
int chief_path_difference(int w, double& w0) {
    const LensData& lens = lens_data();
    w0 = 0.0;
    if (w == lens.current_wavelength) return 0;
    const RayRecord& ref = reference_ray().ray;
    RayRecord ray{};
    ray.obj_x = ref.obj_x;
    ray.obj_y = ref.obj_y;
    ray.obj_z = ref.obj_z;
    ray.wavelength = w;
    ray.kind = kRayPlain;
    trace_field_ray(ray, false, true);
    if (ray.failure == 0) {
        std::uint8_t& opac = lens.optimise_params->opac;
        const std::uint8_t saved = opac;
        opac = 0;
        ray.kind = kRayOptimise;
        trace_ray(ray);
        opac = saved;
    }
    if (ray.failure != 0) return set_error_msg(kMsgChiefRayFailed, w + 1);
    // The trace gives the path difference in waves unless the lens says OPDW Off.
    const double unit = lens.units > 0.0 ? lens.units : 1.0;
    w0 = lens.opdw != 0 ? ray.opd * lens.wavelengths[w].wavelength / (unit * 1000.0) : ray.opd;
    return 0;
}

// The range of (W' - W0) x f over the stored rays of w, widened to hold 0 when the lens's
// pupil is not symmetric by its special data.
void opd_range(int w, const ShiftedReference& ref, double w0, double f, double& low, double& high) {
    const SpotStore& st = spot_store();
    const std::int32_t first = spot_first_ray(w);
    low = high = 0.0;
    for (std::int32_t i = first; i < first + st.wave_ray_counts[w]; ++i) {
        const double v = (ref.opd(st.rays[i]) - w0) * f;
        if (i == first) low = high = v;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    if (lens_has_pupil_exceptions() != 0) {
        low = std::min(low, 0.0);
        high = std::max(high, 0.0);
    }
}

bool escape_pressed() {
    platform::UiBackend* ui = platform::current_ui();
    return ui != nullptr && ui->poll_escape();
}

void draw_arrow(bool along_x) {
    gfx_move_to(8000.0, -1000.0);
    gfx_draw_to(10000.0, -1000.0);
    gfx_draw_rel(-500.0, 200.0);
    gfx_move_to(10000.0, -1000.0);
    gfx_draw_rel(-500.0, -200.0);
    plot_text_at(10000.0, -1000.0, 32);
    gfx_print_msg(kMsgPlotText, along_x ? "X" : "Y");
}

}  // namespace

char wavefront_map_character(int k) {
    const int code = k >= 0 ? '0' + k : '@' - k;
    return code > '~' ? '#' : static_cast<char>(code);
}

int cmd_plot_wavefront() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        if (const int rc = ensure_spot_diagram(); rc != 0) return rc;
    }
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    return arg_int(kForm) == 0 ? plot_wavefront_map() : plot_wavefront_con();
}

int plot_wavefront_map() {
    const LensData& lens = lens_data();
    const SpotStore& st = spot_store();
    int w = 0;
    if (const int rc = plot_wavelength(w); rc != 0) return rc;
    double w0 = 0.0;
    if (const int rc = chief_path_difference(w, w0); rc != 0) return rc;
    const double dz = arg_double(kFocus);
    double y_off = 0.0, x_off = 0.0;
    spot_reference_offset(w, y_off, x_off, dz);
    const ShiftedReference ref(w, x_off, y_off, dz);
    const double f = waves_factor(w);
    double d = arg_double(kIncrement);
    if (std::fabs(d) <= kTiny) {
        double low = 0.0, high = 0.0;
        opd_range(w, ref, w0, f, low, high);
        d = (high - low) / 8.0;
    }
    if (d < kTiny) d = kTiny;
    draw_image_plot_frame(dz, y_off, x_off, d, w + kWavefrontMapForm);

    FrameBox viewport;
    gfx_frame(2, 1, &viewport);
    const double divisions = st.divisions > 0.0 ? st.divisions : 1.0;
    double size = (viewport.word != 0 ? viewport.word : 1) * 20.0 / divisions;
    const bool whole = viewport.xmin == 0.0 && viewport.xmax == 1.0 && viewport.ymin == 0.0 &&
                       viewport.ymax == 1.0;
    if (!whole) size *= 1.5;

    const std::int32_t first = spot_first_ray(w);
    const std::int32_t end = first + st.wave_ray_counts[w];
    const bool at_pupil = get_setting_flag(kSetEntrancePupWvfrntCoords) == 0;
    if (at_pupil) {
        double m1 = 0.0, m2 = 0.0;
        for (std::int32_t i = first; i < end; ++i) {
            m1 = std::max(m1, std::fabs(st.rays[i].px));
            m2 = std::max(m2, std::fabs(st.rays[i].py));
        }
        const double ex = st.x_half_extent[w], ey = st.y_half_extent[w];
        // q divides by max|p2|: the correction needs both maxima and both extents positive.
        if (m1 > 0.0 && m2 > 0.0 && ex > 0.0 && ey > 0.0) {
            const double m = std::max(m1 / ex, m2 / ey);
            set_isometric_world(-1.2 * m, 1.2 * m, -1.1 * m, 1.4 * m, 1);
            if (std::fabs((m1 * ey) / (m2 * ex) - 1.0) > kAspectTolerance) {
                const double q = m1 / m2;
                size *= std::min(q, 1.0 / q);
            }
        }
        if (lens.wide_angle != 0) size /= 2.0;
    }

    gfx_set_color(-1);
    for (std::int32_t i = first; i < end; ++i) {
        const SpotRay& r = st.rays[i];
        const double v = (ref.opd(r) - w0) * f / d;
        const double rounded = v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v);
        const int k =
            static_cast<int>(std::clamp(rounded, -double(kMostSteps), double(kMostSteps)));
        const std::string text(1, wavefront_map_character(k));
        const double x = at_pupil ? r.px : r.col * st.lattice_unit;
        const double y = at_pupil ? r.py : r.row * st.lattice_unit;
        gfx_set_color(std::abs(k) % kColours + 1);
        for (int mirror = 0; mirror <= (st.half_pupil != 0 ? 1 : 0); ++mirror) {
            gfx_move_to(mirror != 0 ? -x : x, y);
            gfx_set_text_anchor(5, 0);
            gfx_set_text_size(size, 0.0, 0.0);
            gfx_print_msg(kMsgPlotText, text);
        }
    }
    flush_pending_polyline();
    return 0;
}

namespace {

// The pupil's half ranges of the perspective in exit-pupil coordinates: the longer side of an
// elliptical pupil (from the diagram's cut-offs and half extents) stretched to its shape.
void exit_pupil_ranges(int w, double n, double R, double& range_x, double& range_y) {
    const LensData& lens = lens_data();
    const SpotStore& st = spot_store();
    const double lambda = lens.wavelengths[w].wavelength;
    double a = st.x_cutoff[w] * lambda * 0.0005 / n;
    double b = st.y_cutoff[w] * lambda * 0.0005 / n;
    if (!lens.afocal) {
        a *= std::fabs(R);
        b *= std::fabs(R);
    }
    const double ex = st.x_half_extent[w], ey = st.y_half_extent[w];
    if (a <= 0.0 || b <= 0.0 || ex <= 0.0 || ey <= 0.0) return;
    const double rho = (a * ey) / (b * ex);
    if (std::fabs(rho - 1.0) <= kAspectTolerance) return;
    if (rho <= 1.0) {
        range_x = 1.0 / rho;
    } else {
        range_y = rho;
    }
}

// A traced ray's path difference from the shifted reference: afocal, reference at infinity, or
// the ray carried back to the reference sphere about the reference ray's point (false where it
// does not meet it).
bool shifted_path_difference(const RayRecord& ray, const ShiftedReference& shifted, double dz,
                             const double centre[3], double& v) {
    const ReferenceRay& rr = reference_ray();
    const RayRecord& ref = rr.ray;
    const double R = rr.sphere_radius;
    if (lens_data().afocal) {
        v = ray.opd + shifted.n * ((ref.x - ray.x) * shifted.ox + (ref.y - ray.y) * shifted.oy +
                                   (ref.z - ray.z) * dz);
        return true;
    }
    if (shifted.at_infinity) {
        v = ray.opd + shifted.n * ((ref.k - ray.k) * shifted.ox + (ref.l - ray.l) * shifted.oy +
                                   (ref.m - ray.m) * dz);
        return true;
    }
    const double d[3] = {ref.x - ray.x, ref.y - ray.y, ref.z - ray.z};
    const double c2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - R * R;
    const double b = d[0] * ray.k + d[1] * ray.l + d[2] * ray.m;
    const double root = std::sqrt(std::max(0.0, b * b - c2));
    const double tt = R > 0.0 ? -b - root : root - b;
    if (std::fabs(tt) <= kTiny) return false;
    const double s = c2 / tt;
    const double q[3] = {ray.x - s * ray.k - centre[0], ray.y - s * ray.l - centre[1],
                         ray.z - s * ray.m - centre[2]};
    v = shifted.opd(ray.opd, 0.0, 0.0, 0.0, q[0], q[1], q[2]);
    return true;
}

}  // namespace

int plot_wavefront_con() {
    const LensData& lens = lens_data();
    int w = 0;
    if (const int rc = plot_wavelength(w); rc != 0) return rc;
    const int reference = arg_int(kReference);
    if (reference == 1 && lens.afocal) return set_error_msg(kMsgAfocalFocusFit);
    const int grid = arg_int(kGrid);
    // A grid of 0 would space the rows by a division by zero.
    if (grid < kLeastGrid || grid > kLargestGrid) return kMsgPerspectiveGridRange;
    const int n = grid % 2 != 0 ? grid + 1 : grid;
    const int points = kSubPoints * n + 1;
    std::vector<double> row, line, heights;
    try {
        row.resize(static_cast<std::size_t>(n) + 5);
        line.resize(kSubPoints * (static_cast<std::size_t>(n) + 5));
        heights.resize(static_cast<std::size_t>(points));
    } catch (const std::bad_alloc&) {
        return set_error_msg(kMsgOutOfMemory);
    }
    double w0 = 0.0;
    if (const int rc = chief_path_difference(w, w0); rc != 0) return rc;

    double dz = arg_double(kFocus);
    double y_off = 0.0, x_off = 0.0;
    if (reference == 1) {
        spot_reference_point_3d(w, y_off, x_off, dz);
    } else if (reference == 0) {
        spot_reference_offset(w, y_off, x_off, dz);
    }
    const ShiftedReference shifted(w, x_off, y_off, dz);
    const ReferenceRay& rr = reference_ray();
    const RayRecord& ref = rr.ray;
    const double R = rr.sphere_radius;
    const double centre[3] = {ref.x - R * ref.k, ref.y - R * ref.l, ref.z - R * ref.m};
    const double f = waves_factor(w);

    double range_x = 1.0, range_y = 1.0;
    if (get_setting_flag(kSetEntrancePupWvfrntCoords) == 0) {
        exit_pupil_ranges(w, shifted.n, R, range_x, range_y);
    }

    double S = arg_double(kIncrement);
    if (S <= kTiny) {
        double low = 0.0, high = 0.0;
        opd_range(w, shifted, w0, f, low, high);
        S = high - low;
    }
    // A wavefront without any range is drawn flat on a unit scale.
    if (S <= kTiny) S = 1.0;
    set_setting_double(kSetGraphicsCurrentScale, S, 0, 0);
    draw_image_plot_frame(dz, y_off, x_off, S, w);

    const bool along_x = arg_int(kLines) != 0;
    set_isometric_world(kXMin, kXMax, kYMin, kYMax, 0);
    gfx_set_color(-1);
    if (get_setting_flag(kSetGraphicsAxes) != 0) {
        gfx_move_to(-250.0, 0.0);
        gfx_draw_to(-150.0, 0.0);
        gfx_draw_to(-150.0, 5000.0);
        gfx_move_to(-250.0, 5000.0);
        gfx_draw_to(-50.0, 5000.0);
        plot_text_at(-250.0, 2500.0, 24, -90);
        gfx_print_msg(kMsgHeightBarLabel, formatted(S, 5));
        draw_arrow(along_x);
    }

    const double dx = kRowShift / n;
    FloatingHorizon horizon(6 * (n + 5), dx);
    const FloatingHorizon::RowOptions options{.first_is_move = true, .reset_tail = true};
    RayRecord ray{};
    int failure = 0;
    for (int r = 0; r <= n; ++r) {
        if (r > 0 && escape_pressed()) {
            flush_pending_polyline();
            return kStopped;
        }
        const double t = 1.0 - 2.0 * r / n;
        const double base = (1.0 - t) * kDepthRise;
        for (int j = 0; j <= n; ++j) {
            const double across = -1.0 + 2.0 * j / n;
            const double px = along_x ? range_x * across : range_x * t;
            const double py = along_x ? -range_y * t : range_y * across;
            double& out = row[static_cast<std::size_t>(j)];
            out = kGap;
            if (px * px + py * py >= 1.0) continue;
            ray = ref;
            ray.kind = kRaySphere;
            ray.pup_x = px;
            ray.pup_y = py;
            ray.wavelength = w;
            trace_ray(ray);
            if (ray.failure != 0) continue;
            double v = 0.0;
            if (!shifted_path_difference(ray, shifted, dz, centre, v)) continue;
            out = (v - w0) * f;
        }
        // Runs of traced samples resampled four times finer; an interval beside a gap is a gap.
        std::fill(line.begin(), line.begin() + points, kGap);
        for (int j = 0; j <= n;) {
            if (row[static_cast<std::size_t>(j)] >= kGap) {
                ++j;
                continue;
            }
            int k = j;
            while (k + 1 <= n && row[static_cast<std::size_t>(k) + 1] < kGap) ++k;
            const int count = k - j + 1;
            if (count == 1) {
                line[static_cast<std::size_t>(kSubPoints * j)] =
                    row[static_cast<std::size_t>(j)] / (2.0 * S);
                j = k + 1;
                continue;
            }
            const std::span<double> out(line.data() + kSubPoints * j,
                                        static_cast<std::size_t>(kSubPoints * (count - 1) + 1));
            const int rc = plot_curve(count, -1.0 + 2.0 * j / n, 2.0 / n, kSubPoints, 2.0 * S,
                                      kCurveSampled, 0, row.data() + j, nullptr, out);
            failure = rc;
            j = k + 1;
        }
        for (int i = 0; i < points; ++i) {
            const double v = line[static_cast<std::size_t>(i)];
            heights[static_cast<std::size_t>(i)] = v >= kGap ? base : v * kHeightPerUnit + base;
        }
        horizon.draw_row(2 * r, heights.data(), points, base, options);
    }
    flush_pending_polyline();
    if (failure != 0) return failure == kErrorTextReady ? failure : set_error_msg(failure);
    return 0;
}
