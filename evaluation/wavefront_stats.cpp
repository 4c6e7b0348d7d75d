#include "evaluation/wavefront_stats.h"

#include <algorithm>
#include <cmath>

#include "evaluation/point_intensity.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/ray_trace.h"

namespace {

constexpr double kTiny = 1e-40;

double unit_factor() {
    const double u = lens_data().units;
    return u > 0.0 ? u : 1.0;
}

// The reference sphere about the point (x, y, z): in sphere-coordinate mode the lateral
// offsets moved along the reference ray to the shifted focus, the sphere's curvature g and the
// curvature term q (per unit index; the caller multiplies by n).
struct SphereFrame {
    bool sphere = false;
    double g = 0.0;
    double q = 0.0;
    double x = 0.0, y = 0.0, z = 0.0;
};

SphereFrame sphere_frame(double x, double y, double z) {
    const LensData& lens = lens_data();
    const RayRecord& ref = reference_ray().ray;
    const double R = reference_ray().sphere_radius;
    SphereFrame f;
    f.x = x;
    f.y = y;
    f.z = z;
    if (!lens.afocal && lens.wrsp != 0 && std::fabs(ref.m) > kTiny) {
        f.sphere = true;
        f.x = x - ref.k / ref.m * z;
        f.y = y - ref.l / ref.m * z;
        const double r1 = z / ref.m + R;
        f.g = std::fabs(r1) <= kTiny ? r1 : 1.0 / r1;
        f.q = std::fabs(R) > kTiny ? (1.0 / R - f.g) * 0.5 : 0.0;
    }
    return f;
}

struct Moments {
    double lo = 0.0, hi = 0.0, sum = 0.0, sum2 = 0.0, count = 0.0;
    void take(double v) {
        if (count == 0.0 || v < lo) lo = v;
        if (count == 0.0 || v > hi) hi = v;
        sum += v;
        sum2 += v * v;
        count += 1.0;
    }
    double variance() const {
        if (count <= 0.0) return 0.0;
        return std::max(0.0, (sum2 - sum * sum / count) / count);
    }
};

// The adjusted wavefront of every ray of wavelength w, and of its mirror image with the half
// pupil.
Moments wave_moments(int w, const SphereFrame& f) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const double n = spot_image_index(w);
    const double q = f.q * n;
    const bool curvature = f.sphere && std::fabs(q) > kTiny;
    Moments m;
    const std::int32_t first = spot_first_ray(w);
    for (std::int32_t i = first; i < first + st.wave_ray_counts[w]; ++i) {
        const SpotRay& r = st.rays[i];
        double w1, w2;
        if (lens.afocal) {
            w1 = n * r.py * f.y + r.opd;
            w2 = n * r.px;
        } else if (f.sphere) {
            w1 = f.g * r.py * n * f.y + r.opd;
            if (curvature) w1 += (r.px * r.px + r.py * r.py + r.pz * r.pz) * q;
            w2 = f.g * r.px * n;
        } else {
            w1 = (f.z * r.nz + f.y * r.ny) * n + r.opd;
            w2 = n * r.nx;
        }
        m.take(w1 + w2 * f.x);
        if (st.half_pupil) m.take(w1 - w2 * f.x);
    }
    return m;
}

// Rounding in the traced paths leaves some 1e-11 waves on a perfect wavefront: printed as 0,
// as the spot sizes are.
double zero_small(double v) {
    return std::fabs(v) <= 1e-10 ? 0.0 : v;
}

double waves_scale(int w) {
    const LensData& lens = lens_data();
    return lens.opdw ? unit_factor() * 1000.0 / lens.wavelengths[w].wavelength : 1.0;
}

}  // namespace

void wavefront_stats(int mode, int wave, double y, double x, double z) {
    const double given_y = y, given_x = x;
    select_reference_sphere(mode, wave, y, x, z);
    if (mode == 0) {
        y += given_y;
        x += given_x;
    }
    print_msg(kMsgWavelength, wave + 1);
    text_newline();
    const Moments m = wave_moments(wave, sphere_frame(x, y, z));
    const double s = waves_scale(wave);
    double phase = 0.0;
    const double I = intensity_at_point(wave, false, x, y, z, phase);
    print_msg(mode == 1 || mode == 2 ? kMsgHeadingFitted : kMsgHeadingGiven);
    text_newline();
    print_number_cell(zero_small((m.hi - m.lo) * s));
    print_number_cell(zero_small(std::sqrt(m.variance()) * s));
    print_number_cell(I);
    print_number_cell(mode == 0 ? given_y : y);
    print_number_cell(mode == 0 ? given_x : x);
    print_number_cell_eol(z);
}

void wavefront_stats_poly(int mode, double y, double x, double z) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const double given_y = y, given_x = x;
    select_reference_sphere(mode, st.wavelength_capacity + 1, y, x, z);
    if (mode == 0) {
        y += given_y;
        x += given_x;
    }
    if (lens.wavelength_count < 2) {
        print_msg(kMsgWavelength, 1);
    } else {
        print_msg(kMsgAllWavelengths);
    }
    text_newline();
    const SphereFrame f = sphere_frame(x, y, z);
    double accumulated = 0.0, weights = 0.0;
    for (int w = 0; w < lens.wavelength_count && w < st.wavelength_capacity; ++w) {
        if (st.wave_ray_counts[w] <= 0) continue;
        const double s = waves_scale(w);
        const double weight = lens.wavelengths[w].weight;
        accumulated += wave_moments(w, f).variance() * s * s * weight;
        weights += weight;
    }
    const double rms = accumulated > 0.0 && weights > 0.0 ? std::sqrt(accumulated / weights) : 0.0;
    double phase = 0.0;
    const double I = intensity_at_point(st.wavelength_capacity, false, x, y, z, phase);
    print_msg(mode == 1 || mode == 2 ? kMsgPolyHeadingFitted : kMsgPolyHeadingGiven);
    text_newline();
    print_number_cell(zero_small(rms));
    print_number_cell(I);
    print_number_cell(mode == 0 ? given_y : y);
    print_number_cell(mode == 0 ? given_x : x);
    print_number_cell_eol(z);
}

namespace {

// The offsets and focus a mode takes from the command: all three in modes 0 and 3, only the
// focus in mode 1, none otherwise.
void mode_arguments(int mode, double& y, double& x, double& z) {
    if (mode == 0 || mode == 3) return;
    y = x = 0.0;
    if (mode != 1) z = 0.0;
}

}  // namespace

int cmd_wavefront_stats() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const int mode = arg_int(0);
    int wave = 0;
    if (const int r = spot_command_wavelength(0, arg_int(1), wave); r != 0) return r;
    double y = arg_double(2), x = arg_double(3), z = arg_double(4);
    mode_arguments(mode, y, x, z);
    wavefront_stats(mode, wave, y, x, z);
    return 0;
}

int cmd_wavefront_stats_poly() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const int mode = arg_int(0);
    double y = arg_double(1), x = arg_double(2), z = arg_double(3);
    mode_arguments(mode, y, x, z);
    wavefront_stats_poly(mode, y, x, z);
    return 0;
}
