#include "reports/section_plots.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "evaluation/point_intensity.h"
#include "evaluation/psf.h"
#include "evaluation/sections.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "reports/energy_mtf_frame.h"
#include "reports/floating_horizon.h"
#include "reports/image_plot_frame.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/object_point.h"
#include "trace/ray_record.h"
#include "ui/plot_scale.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kInverseESquared = 0.1353352832366127;
constexpr double kAiryRadii = 5.0;
constexpr int kLeastSectionPoints = 5;
constexpr int kLeastSpreadPoints = 2;
constexpr int kSpreadCurvePoints = 41;
constexpr int kEnergyPoints = 41;
constexpr double kEnergyStep = 0.025;
constexpr int kLargestGridArgument = 8191;
constexpr int kLargestFftGrid = 4096;
constexpr int kLeastPerspectiveWindow = 3;
constexpr std::size_t kLongTitle = 36;

// The perspective: a world in plot units, scan lines 20480 wide, rows 5000 up per unit of depth
// and 10000 per unit of intensity.
constexpr double kPerspectiveXMin = -2800.0, kPerspectiveXMax = 28920.0;
constexpr double kPerspectiveYMin = -3000.0, kPerspectiveYMax = 27000.0;
constexpr double kLineWidth = 20480.0;
constexpr double kDepthRise = 5000.0;
constexpr double kHeightPerUnit = 10000.0;
constexpr int kPerspectiveSubdivisions = 8;

SectionPlotState g_state;

// The running command's argument vector, count and number around a computation that may run
// commands of its own.
class CommandKept {
public:
    CommandKept()
        : command_(current_command()),
          vector_(arg_vector()),
          count_(arg_count()),
          shapes_(arg_shapes()) {}
    ~CommandKept() {
        set_current_command(command_);
        set_arg_vector(vector_, count_);
        set_arg_shapes(shapes_);
    }
    CommandKept(const CommandKept&) = delete;
    CommandKept& operator=(const CommandKept&) = delete;

private:
    int command_;
    ArgCell** vector_;
    int count_;
    const ArgShape* shapes_;
};

// A PSF grid freed at the end.
struct PsfGrid {
    explicit PsfGrid(int n) : n(n), rows(alloc_matrix_of<double>(n, n)) {}
    ~PsfGrid() { free_matrix_of(rows); }
    PsfGrid(const PsfGrid&) = delete;
    PsfGrid& operator=(const PsfGrid&) = delete;
    int n;
    double** rows;
    double spacing = 0.0;
};

// The wavelength of a point-spread command: polychromatic (mode 1 on a lens with more than
// one wavelength) on the reference ray's wavelength, or the number given (0 or beyond the
// lens: the reference ray's).
void psf_wavelength(int mode, int number_given, bool* polychromatic, int* number) {
    const LensData& lens = lens_data();
    *polychromatic = mode == 1 && lens.wavelength_count >= 2;
    *number = number_given;
    if (*polychromatic || *number <= 0 || *number > lens.wavelength_count) {
        *number = reference_ray().ray.wavelength + 1;
    }
}

int ensure_reference_ray() {
    if (test_state_flag(kFlagReferenceRayCurrent) != 0) return 0;
    return set_object_point();
}

int ensure_spot() {
    if (test_state_flag(kFlagSpotDiagramCurrent) != 0) return 0;
    return ensure_spot_diagram();
}

// Computes the PSF of the grid; the running command is kept around it.
int fill_psf(PsfGrid& g, bool polychromatic, int number, int sampling) {
    if (g.rows == nullptr) return kMsgOutOfMemory;
    double scale = 0.0;
    CommandKept kept;
    return compute_psf(g.rows, &g.spacing, &scale, polychromatic, number - 1, g.n, sampling);
}

int grid_size_of(int argument) {
    return fft_grid_size(std::clamp(argument, 0, kLargestFftGrid));
}

// An odd window inside the grid: below 1 or not below n it is n - 1.
int odd_window(int m, int n) {
    if (m < 1 || m >= n) m = n - 1;
    if (m % 2 == 0) --m;
    return m;
}

std::string formatted(double v, int kind) {
    return format_number(v, kind, 0);
}

// Markers at the samples that a step and an offset pick out.
void section_markers(const std::vector<double>& values, double normalisation, int type, int offset,
                     int step) {
    const int n = static_cast<int>(values.size());
    std::vector<double> xs, ys;
    for (int i = 0; i < n; ++i) {
        if (step <= 0 || (i - offset) % step != 0) continue;
        xs.push_back(static_cast<double>(i) / (n - 1));
        ys.push_back(values[static_cast<std::size_t>(i)] / normalisation);
    }
    if (!xs.empty()) {
        gfx_polymarker(xs.data(), ys.data(), static_cast<int>(xs.size()), type, plot_marker_size());
    }
}

}  // namespace

SectionPlotState& section_plot_state() {
    return g_state;
}

void reset_section_plot_state() {
    g_state = SectionPlotState{};
}

double section_width_1e2(int count, double spacing, const double* s) {
    if (count < 2 || s == nullptr) return 0.0;
    int peak = 0;
    for (int i = 1; i < count; ++i) {
        if (s[i] > s[peak]) peak = i;
    }
    const double level = s[peak] * kInverseESquared;
    double below = -1.0, above = -1.0;
    for (int j = peak; j >= 1; --j) {
        if (s[j - 1] <= level && s[j] >= level) {
            const double d = s[j] - s[j - 1];
            below = (peak - j) + (d == 0.0 ? 0.0 : (s[j] - level) / d);
            break;
        }
    }
    for (int j = peak; j + 1 < count; ++j) {
        if (s[j + 1] <= level && s[j] >= level) {
            const double d = s[j] - s[j + 1];
            above = (j - peak) + (d == 0.0 ? 0.0 : (s[j] - level) / d);
            break;
        }
    }
    if (below < 0.0 || above < 0.0) return 0.0;
    return (below + above) * spacing;
}

void draw_section_plot_frame(double w, double normalisation, double dz, int command,
                             bool polychromatic, int number, int mode) {
    (void)normalisation;
    begin_plot_page();
    const bool labels = get_setting_flag(kSetGraphicsLabels) != 0;
    if (labels) {
        set_plot_world(0.0, 1.0, 0.0, 1.0);
        draw_title_block(0.6, true);
        plot_text_at(0.8, 0.9, 4);
        if (command == kCmdPlotIntensitySections) {
            gfx_print_msg(kMsgSectionLegend);
        } else {
            const int legend = mode == 0   ? kMsgLineSpreadLegend
                               : mode == 1 ? kMsgEdgeSpreadLegend
                                           : kMsgLineEdgeSpreadLegend;
            gfx_print_msg(legend, 1, 2, 3, 4);
        }
        const RayRecord& ref = reference_ray().ray;
        plot_text_at(0.8, 0.95, 4);
        gfx_print_msg(kMsgFieldAndFocus, formatted(ref.obj_y, 5), formatted(ref.obj_x, 5),
                      formatted(dz, 5));
        const std::string title = plot_title();
        plot_text_at(0.3, 0.95, 4);
        if (title.size() > kLongTitle) gfx_set_text_size(0.9, 0.0, 0.0);
        if (command == kCmdPlotIntensitySections) {
            if (test_state_flag(kFlagSpotDiagramCurrent) != 0) {
                if (polychromatic) {
                    gfx_print_msg(kMsgSectionsPolyTitle, title);
                } else {
                    gfx_print_msg(kMsgImagePlotTitle, title, number);
                }
            }
        } else if (command == kCmdPlotLineSpread) {
            gfx_print_msg(mode == 0   ? kMsgLineSpreadTitle
                          : mode == 1 ? kMsgEdgeSpreadTitle
                                      : kMsgLineEdgeSpreadTitle,
                          title);
        } else if (polychromatic) {
            gfx_print_msg(mode == 0   ? kMsgPsfLineSpreadPolyTitle
                          : mode == 1 ? kMsgPsfEdgeSpreadPolyTitle
                                      : kMsgPsfLineEdgeSpreadPolyTitle,
                          title);
        } else {
            gfx_print_msg(mode == 0   ? kMsgPsfLineSpreadTitle
                          : mode == 1 ? kMsgPsfEdgeSpreadTitle
                                      : kMsgPsfLineEdgeSpreadTitle,
                          title);
        }
    }
    set_plot_world(-0.2, 1.15, -0.2, 1.3);
    if (get_setting_flag(kSetGraphicsAxes) == 0) return;
    set_plot_world(-1.2, 0.15, -1.2, 0.3);
    draw_plot_axes(-1.0, 0.0, -1.0, 0.0, 0.125, 0.01);
    set_plot_world(-0.2, 1.15, -0.2, 1.3);
    draw_plot_axes(0.0, 1.0, 0.0, 1.0, 0.125, 0.01);
    for (int i = 0; i <= 4; ++i) {
        plot_text_at(0.25 * i, 0.0, 26);
        gfx_print_msg(kMsgImageNumberLabel, formatted((i - 2) * w * 0.5, 3));
    }
    plot_text_at(0.5, 0.0, 86);
    gfx_print_msg(kMsgSectionPositionCaption);
    if (labels) {
        plot_text_at(0.0, 0.5, 164, -90);
        gfx_print_msg(command == kCmdPlotIntensitySections ? kMsgSectionIntensityCaption
                                                           : kMsgSpreadCaption);
    }
}

int cmd_plot_intensity_sections() {
    const LensData& lens = lens_data();
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    int all = arg_int(0);
    const int number_given = arg_int(1);
    const double width = arg_double(2);
    const double points = arg_double(3);
    const double dz = arg_double(4);
    double normalisation = arg_double(5);
    if (points > kMostPlotPoints) return kMsgPlotCountTooLarge;
    if (points < kLeastSectionPoints) return kMsgSectionPointsTooFew;
    int n = static_cast<int>(points);
    if (n % 2 == 0) ++n;
    if (const int rc = ensure_spot(); rc != 0) return rc;
    if (all == 1 && lens.wavelength_count < 2) all = 0;
    int wave = 0;
    if (const int rc = spot_command_wavelength(all, number_given, wave); rc != 0) return rc;
    const SpotStore& st = spot_store();
    const bool polychromatic = wave >= st.wavelength_capacity;
    const int radius_wave = polychromatic ? st.reference_wavelength : wave;

    double w = width / 2.0;
    if (std::fabs(width) < kTiny) w = kAiryRadii * st.airy_radius[radius_wave];
    w = plot_scale_step(w, 2);
    set_setting_double(kSetGraphicsCurrentScale, 2.0 * w, 0, 0);
    if (normalisation < kTiny) normalisation = 1.0;

    IntensitySections& out = g_state.sections;
    out = IntensitySections{};
    out.n = n;
    out.w = w;
    try {
        out.y_section.resize(static_cast<std::size_t>(n));
        out.x_section.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    double y_ref = 0.0, x_ref = 0.0;
    spot_reference_offset(wave, y_ref, x_ref, dz);
    draw_section_plot_frame(w, normalisation, dz, kCmdPlotIntensitySections, polychromatic,
                            wave + 1, 0);
    const double step = 2.0 * w / (n - 1);
    for (int i = 0; i < n; ++i) {
        double phase = 0.0;
        const double d = -w + i * step;
        out.y_section[static_cast<std::size_t>(i)] =
            intensity_at_point(wave, false, x_ref, y_ref + d, dz, phase);
        out.x_section[static_cast<std::size_t>(i)] =
            intensity_at_point(wave, false, x_ref + d, y_ref, dz, phase);
    }
    const double dx = 1.0 / (n - 1);
    gfx_set_color(-1);
    int rc =
        plot_curve(n, 0.0, dx, 8, normalisation, kCurveUpward, 0, out.y_section.data(), nullptr);
    if (rc != 0) return rc == kErrorTextReady ? rc : set_error_msg(rc);
    section_markers(out.y_section, normalisation, 1, 0, n / 4);
    gfx_set_color(-1);
    rc = plot_curve(n, 0.0, dx, 8, normalisation, kCurveUpward, 0, out.x_section.data(), nullptr);
    if (rc != 0) return rc == kErrorTextReady ? rc : set_error_msg(rc);
    section_markers(out.x_section, normalisation, 2, n / 8, n / 4);

    // The widths at 1/e^2, from the sections resampled four times as finely.
    const int fine = plot_curve_sample_count(n, 4);
    std::vector<double> resampled(static_cast<std::size_t>(fine));
    double half[2] = {};
    for (int s = 0; s < 2; ++s) {
        const std::vector<double>& v = s == 0 ? out.y_section : out.x_section;
        plot_curve(n, 0.0, dx, 4, 1.0, kCurveSampled, 0, v.data(), nullptr, resampled);
        half[s] = section_width_1e2(fine, step / 4.0, resampled.data()) / 2.0;
    }
    out.y_half_width = half[0];
    out.x_half_width = half[1];
    if (get_setting_flag(kSetGraphicsLabels) != 0) {
        gfx_set_color(1);
        const std::string y = formatted(half[0], 7);
        const std::string x = formatted(half[1], 7);
        const FormatArg none[] = {FormatArg(0)};
        const FormatArg ya[] = {FormatArg(y), FormatArg(0)};
        const FormatArg xa[] = {FormatArg(x), FormatArg(0)};
        const std::string text =
            format_message(kMsgSectionWidthsHeading, std::span<const FormatArg>(none, 0)) +
            format_message(kMsgSectionYWidth, std::span<const FormatArg>(ya, 1)) +
            format_message(kMsgSectionXWidth, std::span<const FormatArg>(xa, 1));
        plot_text_at(0.0, 1.0, 23);
        gfx_set_text_size(0.9, 0.0, 0.0);
        gfx_printf("%s", text);
    }
    return 0;
}

int plot_psf_perspective(double* const* grid, double spacing, double normalisation, int n, int m,
                         bool along_y, int colour) {
    (void)spacing;
    if (m < kLeastPerspectiveWindow) return kMsgPsfWindowTooSmall;
    const int h = m / 2;
    const int centre = n / 2;
    const int sub_intervals = kPerspectiveSubdivisions * (m - 1);
    const double dx = kLineWidth / sub_intervals;
    const int samples = sub_intervals + 1;
    // Two slots per row: the rows shift right by a quarter of a line from front to back.
    FloatingHorizon horizon(2 * m + samples + 2, dx);
    std::vector<double> profile(static_cast<std::size_t>(m));
    std::vector<double> heights(static_cast<std::size_t>(samples));
    set_plot_world(kPerspectiveXMin, kPerspectiveXMax, kPerspectiveYMin, kPerspectiveYMax);
    gfx_set_color(colour);
    int failure = 0;
    for (int r = 1; r <= m; ++r) {
        const double t = 1.0 - 2.0 * (r - 1) / (m - 1);
        const double base = (1.0 - t) * kDepthRise;
        // Front to back: rows of increasing y (profiles along x) or columns of increasing x.
        const int row = centre + h - (r - 1);
        const int column = centre - h + (r - 1);
        for (int i = 0; i < m; ++i) {
            profile[static_cast<std::size_t>(i)] =
                along_y ? grid[centre + h - i][column] : grid[row][centre - h + i];
        }
        const int rc = plot_curve(m, -1.0, 2.0 / (m - 1), kPerspectiveSubdivisions, normalisation,
                                  kCurveSampled, 0, profile.data(), nullptr, heights);
        if (rc != 0) failure = rc;
        for (double& y : heights) y = y * kHeightPerUnit + base;
        horizon.draw_row(2 * r, heights.data(), samples, base);
    }
    flush_pending_polyline();
    return failure;
}

void draw_psf_perspective_marks(int m, double plot_width, bool along_y, bool labelled) {
    set_plot_world(kPerspectiveXMin, kPerspectiveXMax, kPerspectiveYMin, kPerspectiveYMax);
    const double dx = kLineWidth / (kPerspectiveSubdivisions * (m - 1));
    // The direction of the profiles, and a bar of a quarter of the unit height.
    gfx_move_to(9500.0, -1500.0);
    gfx_draw_to(11500.0, -1500.0);
    gfx_draw_rel(-500.0, 200.0);
    gfx_move_to(11500.0, -1500.0);
    gfx_draw_rel(-500.0, -200.0);
    plot_text_at(11500.0, -1500.0, 32);
    gfx_print_msg(kMsgPlotText, along_y ? "Y" : "X");
    const double x0 = 2.0 * dx, bar = 0.25 * kHeightPerUnit;
    gfx_move_to(x0 - 200.0, 0.0);
    gfx_draw_to(x0 - 100.0, 0.0);
    gfx_draw_to(x0 - 100.0, bar);
    gfx_move_to(x0 - 200.0, bar);
    gfx_draw_to(x0, bar);
    if (labelled) {
        plot_text_at(x0 - 200.0, bar / 2.0, 24, -90);
        gfx_print_msg(kMsgHeightBarLabel, formatted(0.25 * plot_width, 5));
    }
}

int cmd_plot_psf() {
    const LensData& lens = lens_data();
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    const bool along_y = arg_int(0) == 1;
    bool polychromatic = false;
    int number = 0;
    if (const int rc = ensure_reference_ray(); rc != 0) return rc;
    psf_wavelength(arg_int(1), arg_int(2), &polychromatic, &number);
    // The pupil fills a quarter of the grid, so that the perspective resolves the dark rings.
    int sampling = std::clamp(arg_int(4), 1, kLargestGridArgument);
    const int n = grid_size_of(4 * sampling);
    if (sampling >= n) sampling = n / 2;
    const int mode = arg_int(5);
    const double value = arg_double(6);
    int m = odd_window(arg_int(7), n);
    const double width = arg_double(8);

    PsfGrid g(n);
    if (const int rc = fill_psf(g, polychromatic, number, sampling); rc != 0) return rc;
    if (width > kTiny && g.spacing > kTiny) {
        m = std::min(m, static_cast<int>(std::floor(std::fabs(width / g.spacing) + 0.5)) + 1);
        if (m % 2 == 0) --m;
    }
    if (m < kLeastPerspectiveWindow) return kMsgPsfWindowTooSmall;
    const int h = m / 2, c = n / 2;
    double normalisation = 1.0;
    if (mode == 2 && value >= kTiny) normalisation = value;
    if (mode == 1) {
        normalisation = 0.0;
        for (int r = c - h; r <= c + h; ++r) {
            for (int k = c - h; k <= c + h; ++k)
                normalisation = std::max(normalisation, g.rows[r][k]);
        }
        if (normalisation < kTiny) normalisation = 1.0;
    }
    g_state.psf_spacing = g.spacing;
    g_state.psf_central_row.assign(g.rows[c] + (c - h), g.rows[c] + (c + h + 1));

    const double plot_width = (m - 1) * g.spacing;
    const int all = get_setting_int(kSetMaxWavelengths, 0, 0);
    draw_image_plot_frame(0.0, 0.0, 0.0, plot_width, polychromatic ? all : number - 1);
    if (get_setting_flag(kSetGraphicsAxes) != 0) {
        draw_psf_perspective_marks(m, plot_width, along_y,
                                   get_setting_flag(kSetGraphicsLabels) != 0);
    }
    (void)lens;
    const int rc = plot_psf_perspective(g.rows, g.spacing, normalisation, n, m, along_y);
    if (rc != 0) return rc == kErrorTextReady ? rc : set_error_msg(rc);
    return 0;
}

int cmd_plot_psf_energy() {
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    const int command = current_command();
    if (const int rc = ensure_reference_ray(); rc != 0) return rc;
    bool polychromatic = false;
    int number = 0;
    psf_wavelength(arg_int(0), arg_int(1), &polychromatic, &number);
    const int n = grid_size_of(arg_int(3));
    int sampling = arg_int(2);
    if (sampling >= n) sampling = n / 2;
    if (sampling < 1) sampling = 1;
    const int window = arg_int(4);
    const double given = arg_double(5);

    PsfEnergyCurve& curve = g_state.energy;
    curve = PsfEnergyCurve{};
    try {
        curve.values.assign(kEnergyPoints, 0.0);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    PsfGrid g(n);
    if (const int rc = fill_psf(g, polychromatic, number, sampling); rc != 0) return rc;
    const int m = 2 * psf_window_half(n, window) + 1;
    double scale;
    if (given > kTiny) {
        scale = given;
        set_setting_double(kSetGraphicsCurrentScale, scale, 0, 0);
    } else {
        double s = (m - 1) * g.spacing;
        if (command == kCmdPlotPsfEncircled) s /= 2.0;
        scale = plot_scale_step(s, 2);
    }
    curve.scale = scale;
    curve.spacing = g.spacing;
    double x0 = 0.0, y0 = 0.0;
    psf_centroid(g.rows, &x0, &y0, n, window);
    const PsfGridView view{
        .cells = g.rows, .n = n, .window = window, .x0 = x0, .y0 = y0, .spacing = g.spacing};
    const double step = g.spacing > kTiny ? scale * kEnergyStep / g.spacing : 0.0;
    const int stats = command == kCmdPlotPsfEncircled
                          ? psf_width_stats(view, curve.values.data(), step, kEnergyPoints, 0)
                          : psf_energy_stats(view, curve.values.data(), step, kEnergyPoints, 0);
    if (stats != 0) return stats;
    draw_energy_mtf_frame(0.0);
    gfx_set_color(-1);
    const int rc = plot_curve(kEnergyPoints, 0.0, kEnergyStep, 5, 1.0, kCurveUpward, 1,
                              curve.values.data(), nullptr);
    if (rc != 0) return rc == kErrorTextReady ? rc : set_error_msg(rc);
    return 0;
}

int cmd_plot_line_spread() {
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    const int command = current_command();
    const int mode = arg_int(0);
    const bool with_edge = mode != 0;
    double half_width = 0.0, dz = 0.0, smoothing = 0.0;
    bool polychromatic = false;
    int number = 0;
    SectionCurves out[2];
    std::vector<double> arrays[2][3];
    for (auto& axis : arrays) {
        for (auto& a : axis) a.assign(kSpreadCurvePoints, 0.0);
    }
    std::unique_ptr<PsfGrid> grid;
    PsfGridView view;
    if (command == kCmdPlotLineSpread) {
        half_width = arg_double(1);
        smoothing = arg_double(2);
        dz = arg_double(3);
        const double points = arg_double(4);
        if (points > kMostPlotPoints) return kMsgPlotCountTooLarge;
        if (points < kLeastSpreadPoints) return kMsgSpreadPointsTooFew;
        if (const int rc = ensure_spot(); rc != 0) return rc;
        if (half_width < kTiny || smoothing < kTiny) {
            const SpotStore& st = spot_store();
            double y_ref = 0.0, x_ref = 0.0;
            spot_reference_offset(st.wavelength_capacity, y_ref, x_ref, dz);
            double largest = 0.0;
            for (int i = 0; i < st.ray_count; ++i) {
                const SpotRay& r = st.rays[i];
                largest = std::max(largest, std::fabs(r.dx + r.tx * dz - x_ref));
                largest = std::max(largest, std::fabs(r.dy + r.ty * dz - y_ref));
            }
            if (smoothing < kTiny) smoothing = 4.0 * largest / (points - 1);
            if (half_width < kTiny) half_width = plot_scale_step(largest, 2);
        }
        polychromatic = lens_data().wavelength_count > 1 && spot_store().polychromatic != 0;
        number = spot_store().reference_wavelength + 1;
    } else {
        if (const int rc = ensure_reference_ray(); rc != 0) return rc;
        psf_wavelength(arg_int(1), arg_int(2), &polychromatic, &number);
        half_width = arg_double(3);
        const int n = grid_size_of(arg_int(5));
        int sampling = arg_int(4);
        if (sampling >= n) sampling = n / 2;
        if (sampling < 1) sampling = 1;
        const int window = arg_int(6);
        try {
            grid = std::make_unique<PsfGrid>(n);
        } catch (const std::bad_alloc&) {
            return kMsgOutOfMemory;
        }
        if (const int rc = fill_psf(*grid, polychromatic, number, sampling); rc != 0) return rc;
        const int m = 2 * psf_window_half(n, window) + 1;
        if (half_width < kTiny) half_width = plot_scale_step((m / 2) * grid->spacing, 2);
        double x0 = 0.0, y0 = 0.0;
        psf_centroid(grid->rows, &x0, &y0, n, window);
        view = PsfGridView{.cells = grid->rows,
                           .n = n,
                           .window = window,
                           .x0 = x0,
                           .y0 = y0,
                           .spacing = grid->spacing};
    }
    set_setting_double(kSetGraphicsCurrentScale, half_width, 0, 0);
    for (int axis = 0; axis < 2; ++axis) {
        const SectionSampling sampling{.start = -half_width,
                                       .end = half_width,
                                       .points = kSpreadCurvePoints,
                                       .axis = axis,
                                       .with_edge = with_edge};
        const SectionCurves curves{arrays[axis][0].data(), arrays[axis][1].data(),
                                   arrays[axis][2].data(), nullptr};
        out[axis] = curves;
        const int rc = command == kCmdPlotLineSpread
                           ? spot_section_curves(sampling, dz, smoothing, 0, curves)
                           : psf_section_curves(view, sampling, curves);
        if (rc != 0) return rc;
    }
    draw_section_plot_frame(half_width, 1.0, dz, command, polychromatic, number, mode);
    const double step = 1.0 / (kSpreadCurvePoints - 1);
    int marker = 1;
    for (int kind = 0; kind < 2; ++kind) {
        const bool edge = kind == 1;
        if ((edge && mode == 0) || (!edge && mode == 1)) continue;
        for (int axis = 0; axis < 2; ++axis) {
            gfx_set_color(-1);
            const int rc = plot_curve(kSpreadCurvePoints, 0.0, step, 5, 1.0, kCurveUpward, marker++,
                                      edge ? out[axis].edge : out[axis].line, nullptr);
            if (rc != 0) return rc == kErrorTextReady ? rc : set_error_msg(rc);
        }
    }
    return 0;
}

namespace {
const platform::StateReset section_plots_state_reset{
    "reports/section_plots", reset_section_plot_state, platform::ResetLayer::feature};
}  // namespace
