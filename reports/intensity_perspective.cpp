#include "reports/intensity_perspective.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "evaluation/point_intensity.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "platform/ui.h"
#include "reports/floating_horizon.h"
#include "reports/image_plot_frame.h"
#include "reports/plot_frame.h"
#include "reports/plot_scopes.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "ui/plot_scale.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kLeastGrid = 2;
constexpr int kLargestGrid = 512;
constexpr double kAiryRadii = 5.0;
// The world of the perspective in plot units: scan lines 20480 wide, the back row 10000 above
// the front, an intensity of 0.6 S 10000 high.
constexpr double kXMin = -2800.0, kXMax = 28920.0, kYMin = -3000.0, kYMax = 27000.0;
constexpr double kRowShift = 5120.0;
constexpr double kDepthRise = 5000.0;
constexpr double kHeightPerUnit = 10000.0;
constexpr double kFullHeight = 0.6;
constexpr int kSubdivisions = 8;

enum : int {
    kLines = 0,
    kAll = 1,
    kNumber = 2,
    kWidth = 3,
    kGrid = 4,
    kFocus = 5,
    kIntensityScale = 6,
};

void draw_arrow_and_bar(bool along_x, double dx, double S) {
    gfx_move_to(9500.0, -1500.0);
    gfx_draw_to(11500.0, -1500.0);
    gfx_draw_rel(-500.0, 200.0);
    gfx_move_to(11500.0, -1500.0);
    gfx_draw_rel(-500.0, -200.0);
    plot_text_at(11500.0, -1500.0, 32);
    gfx_print_msg(kMsgPlotText, along_x ? "X" : "Y");
    // The height of an intensity of 0.25 S.
    const double bar = kHeightPerUnit * 0.25 / kFullHeight;
    const double x0 = dx;
    gfx_move_to(x0 - 200.0, 0.0);
    gfx_draw_to(x0 - 100.0, 0.0);
    gfx_draw_to(x0 - 100.0, bar);
    gfx_move_to(x0 - 200.0, bar);
    gfx_draw_to(x0, bar);
    plot_text_at(x0 - 200.0, bar / 2.0, 24, -90);
    gfx_print_msg(kMsgHeightBarLabel, std::string(format_number(0.25 * S, 5, 0)));
}

bool escape_pressed() {
    platform::UiBackend* ui = platform::current_ui();
    return ui != nullptr && ui->poll_escape();
}

}  // namespace

int cmd_plot_intensity_perspective() {
    const int grid = arg_int(kGrid);
    // An even grid of at least 2: a grid of 0 would space the rows by a division by zero.
    if (grid < kLeastGrid || grid > kLargestGrid) return kMsgPerspectiveGridRange;
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        if (const int rc = ensure_spot_diagram(); rc != 0) return rc;
    }
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    LocalArguments local;
    if (lens_data().wavelength_count < 2 && arg_int(kAll) == 1) {
        local.set_int(kAll, 0);
        local.set_int(kNumber, 0);
    }
    int w = 0;
    if (const int rc = spot_command_wavelength(arg_int(kAll) == 1 ? 1 : 0, arg_int(kNumber), w);
        rc != 0) {
        return rc;
    }
    const SpotStore& st = spot_store();
    const int n = grid % 2 != 0 ? grid + 1 : grid;
    const int samples = n / 2 + 1;
    const int points = 4 * n + 1;
    std::vector<double> row, line;
    try {
        row.resize(static_cast<std::size_t>(n) + 5);
        line.resize(4 * (static_cast<std::size_t>(n) + 5));
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    const double dx = kRowShift / n;
    FloatingHorizon horizon(6 * (n + 5), dx);

    const double dz = arg_double(kFocus);
    double y_ref = 0.0, x_ref = 0.0;
    spot_reference_offset(w, y_ref, x_ref, dz);
    double h = arg_double(kWidth) / 2.0;
    if (arg_double(kWidth) == 0.0) {
        const int radius_wave = w >= st.wavelength_capacity ? st.reference_wavelength : w;
        h = kAiryRadii * st.airy_radius[radius_wave];
    }
    h = plot_scale_step(h, 2);
    set_setting_double(kSetGraphicsCurrentScale, 2.0 * h, 0, 0);
    draw_image_plot_frame(dz, y_ref, x_ref, 2.0 * h, w);

    double S = arg_double(kIntensityScale);
    if (std::fabs(S) < kTiny) S = 1.0;
    const bool along_x = arg_int(kLines) != 0;
    set_plot_world(kXMin, kXMax, kYMin, kYMax);
    gfx_set_color(-1);
    if (get_setting_flag(kSetGraphicsAxes) != 0) draw_arrow_and_bar(along_x, dx, S);

    int failure = 0;
    for (int r = 1; r <= n + 1; ++r) {
        if (r > 1 && escape_pressed()) {
            flush_pending_polyline();
            return kStopped;
        }
        const double t = 1.0 - 2.0 * (r - 1) / n;
        const double base = (1.0 - t) * kDepthRise;
        for (int i = 0; i < samples; ++i) {
            const double u = -1.0 + 4.0 * i / n;
            const double x = along_x ? x_ref + h * u : x_ref + h * t;
            const double y = along_x ? y_ref - h * t : y_ref + h * u;
            double phase = 0.0;
            row[static_cast<std::size_t>(i)] = intensity_at_point(w, false, x, y, dz, phase);
        }
        failure = plot_curve(samples, -1.0, 0.5 / n, kSubdivisions, kFullHeight * S, kCurveSampled,
                             0, row.data(), nullptr, line);
        for (int i = 0; i < points; ++i) {
            line[static_cast<std::size_t>(i)] =
                line[static_cast<std::size_t>(i)] * kHeightPerUnit + base;
        }
        horizon.draw_row(r, line.data(), points, base);
    }
    flush_pending_polyline();
    if (failure != 0) return failure == kErrorTextReady ? failure : set_error_msg(failure);
    return 0;
}
