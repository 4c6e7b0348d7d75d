#include "reports/spot_plot.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "reports/image_plot_frame.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "ui/plot_scale.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kCircleDegrees = 360;
constexpr int kQuarterTurn = 90;

// The offset mode of the ray-offset operation for a reference of this plot.
int offset_mode(int reference) {
    return reference == 1 ? 1 : reference == 2 ? 5 : 0;
}

}  // namespace

void max_ray_offset(double& maximum, double dz, int reference) {
    const SpotStore& st = spot_store();
    const int mode = offset_mode(reference);
    maximum = 0.0;
    for (std::int32_t i = 0; i < st.ray_count; ++i) {
        double x = 0.0, y = 0.0;
        ray_offset_from_reference(mode, i, x, y, dz);
        maximum = std::max({maximum, std::fabs(x), std::fabs(y)});
    }
}

int cmd_plot_spot_diagram() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        if (const int rc = ensure_spot_diagram(); rc != 0) return rc;
    }
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    const LensData& lens = lens_data();
    const SpotStore& st = spot_store();
    const int reference = arg_int(0);
    const bool symbols = arg_int(1) != 0;
    const double dz = arg_double(2);
    const bool half = st.half_pupil != 0;
    std::vector<double> xs, ys;
    try {
        const std::size_t size = static_cast<std::size_t>(st.ray_count) * (half ? 2 : 1);
        xs.reserve(size);
        ys.reserve(size);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    const bool airy = lens.spot_settings->show_diffraction_limit != 0;
    const int current = std::clamp(lens.current_wavelength, 0, st.wavelength_capacity - 1);
    const double airy_radius = st.airy_radius[current];
    double s = arg_double(3);
    if (s > kTiny) {
        set_setting_double(kSetGraphicsCurrentScale, s, 0, 0);
    } else {
        double m = 0.0;
        max_ray_offset(m, dz, reference);
        if (airy && m < airy_radius) m = airy_radius;
        s = plot_scale_step(m, 1);
    }
    draw_image_plot_frame(dz, 0.0, 0.0, s, reference == 2 ? -1 : 0);

    const int mode = offset_mode(reference);
    std::int32_t first = 0;
    const int waves = std::min(lens.wavelength_count, st.wavelength_capacity);
    for (int w = 0; w < waves; ++w) {
        const std::int32_t count = st.wave_ray_counts[w];
        if (count <= 0) continue;
        xs.clear();
        ys.clear();
        for (std::int32_t i = first; i < first + count; ++i) {
            double x = 0.0, y = 0.0;
            ray_offset_from_reference(mode, i, x, y, dz);
            xs.push_back(x / s);
            ys.push_back(y / s);
            if (half) {
                xs.push_back(-x / s);
                ys.push_back(y / s);
            }
        }
        first += count;
        gfx_set_color(-1);
        gfx_polymarker(xs.data(), ys.data(), static_cast<int>(xs.size()),
                       symbols ? wavelength_marker(w + 1) : 0, 0.0);
    }

    const double a = airy_radius / s;
    if (airy && a <= 1.0) {
        std::vector<double> cx, cy;
        try {
            cx.resize(kCircleDegrees + 1);
            cy.resize(kCircleDegrees + 1);
        } catch (const std::bad_alloc&) {
            return kMsgOutOfMemory;
        }
        for (int k = 0; k < kCircleDegrees; ++k) {
            cx[static_cast<std::size_t>(k)] = a * st.sine_table[k + kQuarterTurn];
            cy[static_cast<std::size_t>(k)] = a * st.sine_table[k];
        }
        cx[kCircleDegrees] = cx[0];
        cy[kCircleDegrees] = cy[0];
        gfx_set_color(1);
        gfx_polyline(cx.data(), cy.data(), kCircleDegrees + 1, 0);
    }
    flush_pending_polyline();
    return 0;
}
