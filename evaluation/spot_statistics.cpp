#include "evaluation/spot_statistics.h"

#include <algorithm>
#include <cmath>

#include "evaluation/mtf_shared.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/ray_trace.h"
#include "trace/surface_frames.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kOffsetZero = 1e-10;

SpotStats g_stats;

double* fit_sums(SpotStore& s, int w) {
    return s.reference_fit_sums + static_cast<std::size_t>(w) * kReferenceFitSumCount;
}

double wavelength_um(int w) {
    return lens_data().wavelengths[w].wavelength;
}

double unit_factor() {
    const double u = lens_data().units;
    return u > 0.0 ? u : 1.0;
}

double zero_small(double v) {
    return std::fabs(v) < kOffsetZero ? 0.0 : v;
}

// The all-wavelength system: each wavelength's normal equations weighted by its weight and by
// its wavelength (so that the fit is in waves), in lens units.
void combined_system(double A[3][3], double r[3]) {
    SpotStore& s = spot_store();
    const LensData& lens = lens_data();
    for (int i = 0; i < 3; ++i) {
        r[i] = 0.0;
        for (int j = 0; j < 3; ++j) A[i][j] = 0.0;
    }
    const double U = unit_factor();
    const int count = std::min(lens.wavelength_count, s.wavelength_capacity);
    for (int w = 0; w < count; ++w) {
        if (s.wave_ray_counts[w] <= 0) continue;
        const double lambda = wavelength_um(w);
        if (lambda <= 0.0) continue;
        const double g =
            (U / (lambda * 0.001)) * (U / (lambda * 0.001)) * lens.wavelengths[w].weight;
        const double n = spot_image_index(w);
        double** M = s.reference_normal[w];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) A[i][j] += n * n * g * M[i][j];
            r[i] += n * g * M[i][3];
        }
    }
}

double det3(const double A[3][3]) {
    return A[0][0] * (A[1][1] * A[2][2] - A[1][2] * A[2][1]) -
           A[0][1] * (A[1][0] * A[2][2] - A[1][2] * A[2][0]) +
           A[0][2] * (A[1][0] * A[2][1] - A[1][1] * A[2][0]);
}

}  // namespace

SpotStats& spot_stats() {
    return g_stats;
}

double spot_image_index(int w) {
    const RayRecord& ref = reference_ray().ray;
    if (ref.prev_medium == nullptr) return 1.0;
    return ref.prev_medium[w];
}

void spot_reference_offset(int wave, double& y, double& x, double z) {
    SpotStore& s = spot_store();
    double A[3][3];
    double r[3];
    double det;
    if (wave < s.wavelength_capacity) {
        double** M = s.reference_normal[wave];
        for (int i = 0; i < 3; ++i) {
            r[i] = M[i][3];
            for (int j = 0; j < 3; ++j) A[i][j] = M[i][j];
        }
        det = (A[0][0] * A[1][1] - A[1][0] * A[0][1]) * spot_image_index(wave);
    } else {
        combined_system(A, r);
        det = A[1][1] * A[0][0] - A[1][0] * A[0][1];
    }
    if (std::fabs(det) <= kTiny) {
        y = x = 0.0;
        return;
    }
    const double r0 = r[0] - A[0][2] * z;
    const double r1 = r[1] - A[1][2] * z;
    x = zero_small((r0 * A[1][1] - r1 * A[0][1]) / det);
    y = zero_small((r1 * A[0][0] - r0 * A[1][0]) / det);
}

void spot_reference_point_3d(int wave, double& y, double& x, double& z) {
    SpotStore& s = spot_store();
    double A[3][3];
    double r[3];
    double det;
    if (wave < s.wavelength_capacity) {
        double** M = s.reference_normal[wave];
        for (int i = 0; i < 3; ++i) {
            r[i] = M[i][3];
            for (int j = 0; j < 3; ++j) A[i][j] = M[i][j];
        }
        det = det3(A) * spot_image_index(wave);
    } else {
        combined_system(A, r);
        det = det3(A);
    }
    if (std::fabs(det) <= kTiny) {
        y = x = z = 0.0;
        msg_box(kMsgSingularFit);
        return;
    }
    // Cramer's rule: each unknown's column replaced by the right-hand side.
    double solution[3];
    for (int c = 0; c < 3; ++c) {
        double B[3][3];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) B[i][j] = j == c ? r[i] : A[i][j];
        }
        solution[c] = det3(B) / det;
    }
    x = zero_small(solution[0]);
    y = zero_small(solution[1]);
    z = zero_small(solution[2]);
}

void select_reference_sphere(int mode, int wave, double& y, double& x, double& z) {
    switch (mode) {
        case 0:
        case 1:
            spot_reference_offset(wave, y, x, z);
            print_msg(mode == 0 ? -2040 : -2039);
            text_newline();
            break;
        case 2:
            spot_reference_point_3d(wave, y, x, z);
            print_msg(-2037);
            text_newline();
            break;
        case 3:
            print_msg(-2038);
            text_newline();
            break;
        case kZernikeReferenceFitted:
        case kZernikeReferenceLateral:
            spot_reference_offset(wave, y, x, z);
            break;
        case kZernikeReferenceBestFocus:
            spot_reference_point_3d(wave, y, x, z);
            break;
        default:
            break;
    }
    warn_multiple_configurations();
}

namespace {

// The angle of a tilted image surface about its axis, as the auxiliary ray raised a little in
// the pupil sees it; cosine 1 and sine 0 for an untilted image.
void image_alignment(double& c, double& s, bool& aligned) {
    c = 1.0;
    s = 0.0;
    aligned = false;
    const LensData& lens = lens_data();
    if (lens.spot_settings->ray_amplitudes_vary != 0) return;
    build_surface_frames(0);
    if (!frame_is_rotated(surface(lens.image_surface).frame)) return;
    const ReferenceRay& reference = reference_ray();
    const RayRecord& ref = reference.ray;
    RayRecord r = ref;
    r.kind = kRayGaussian;
    r.pup_y = ref.pup_y + 1e-6;
    trace_ray(r);
    if (r.failure != 0) return;
    const double R = reference.sphere_radius;
    const double d[3] = {r.k, r.l, r.m};
    const double dv[3] = {ref.x - r.x, ref.y - r.y, ref.z - r.z};
    const double cc = dv[0] * dv[0] + dv[1] * dv[1] + dv[2] * dv[2] - R * R;
    const double b = dv[0] * d[0] + dv[1] * d[1] + dv[2] * d[2];
    const double q = std::max(0.0, b * b - cc);
    const double t = R > 0.0 ? cc / (-b - std::sqrt(q)) : cc / (std::sqrt(q) - b);
    const double u = r.x - t * d[0] - (ref.x - R * ref.k);
    const double v = r.y - t * d[1] - (ref.y - R * ref.l);
    aligned = true;
    if (std::fabs(u) <= kTiny || std::fabs(v) <= kTiny) return;
    const double angle = std::atan2(u, v);
    c = std::cos(angle);
    s = std::sin(angle);
}

void order_pair(double& from, double& to) {
    if (from > to) std::swap(from, to);
}

// With the half pupil the x extents stand for both halves.
void symmetric_pair(double& lo, double& hi) {
    if (std::fabs(lo) <= std::fabs(hi)) {
        lo = -hi;
    } else {
        hi = -lo;
    }
}

void wavelength_extents(int w, std::int32_t first, std::int32_t count, double c, double s,
                        bool aligned) {
    SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    if (count <= 0) {
        st.airy_radius[w] = st.x_cutoff[w] = st.y_cutoff[w] = 0.0;
        st.x_half_extent[w] = st.y_half_extent[w] = 0.0;
        return;
    }
    const double R = reference_ray().sphere_radius;
    const double n = spot_image_index(w);
    const double lambda = wavelength_um(w);
    const double U = unit_factor();
    double na2 = 0.0;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    std::int32_t cmin = 0, cmax = 0, rmin = 0, rmax = 0;
    std::int32_t icmin = first, icmax = first, irmin = first, irmax = first;
    for (std::int32_t i = first; i < first + count; ++i) {
        const SpotRay& r = st.rays[i];
        na2 = std::max(na2, r.px * r.px + r.py * r.py);
        if (i == first || r.px < xmin) xmin = r.px;
        if (i == first || r.px > xmax) xmax = r.px;
        if (i == first || r.py < ymin) ymin = r.py;
        if (i == first || r.py > ymax) ymax = r.py;
        if (i == first || r.col < cmin) cmin = r.col, icmin = i;
        if (i == first || r.col > cmax) cmax = r.col, icmax = i;
        if (i == first || r.row < rmin) rmin = r.row, irmin = i;
        if (i == first || r.row > rmax) rmax = r.row, irmax = i;
    }
    double na = std::sqrt(na2);
    if (!lens.afocal) na = std::fabs(R) > kTiny ? na / R : 0.0;
    st.airy_radius[w] = na == 0.0 ? 0.0 : std::fabs(lambda * 0.00060984 / (U * n * na));
    if (aligned) {
        const SpotRay& a = st.rays[icmin];
        const SpotRay& b = st.rays[icmax];
        xmin = c * a.px - s * a.py;
        xmax = c * b.px - s * b.py;
        const SpotRay& e = st.rays[irmin];
        const SpotRay& f = st.rays[irmax];
        ymin = c * e.py + s * e.px;
        ymax = c * f.py + s * f.px;
    }
    double cl = cmin, ch = cmax;
    if (st.half_pupil) {
        symmetric_pair(xmin, xmax);
        symmetric_pair(cl, ch);
    }
    order_pair(xmin, xmax);
    order_pair(ymin, ymax);
    double xc = (xmax - xmin) * n * 1000.0 / lambda;
    double yc = (ymax - ymin) * n * 1000.0 / lambda;
    if (!lens.afocal) {
        const double a = std::fabs(R) > kTiny ? 1.0 / std::fabs(R) : 0.0;
        xc *= a;
        yc *= a;
    } else {
        xc *= U;
        yc *= U;
    }
    st.x_cutoff[w] = xc;
    st.y_cutoff[w] = yc;
    st.x_half_extent[w] = (ch - cl) * st.lattice_unit * 0.5;
    st.y_half_extent[w] = static_cast<double>(rmax - rmin) * st.lattice_unit * 0.5;
}

// Peak-to-valley and rms of the reference wavelength's wavefront about its best lateral
// reference point, in waves; both 0 when that wavelength has no rays.
void reference_wavefront() {
    SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    st.reference_pv = st.reference_rms = 0.0;
    const int w = st.reference_wavelength;
    double y0 = 0.0, x0 = 0.0, z0 = 0.0;
    select_reference_sphere(kZernikeReferenceLateral, w, y0, x0, z0);
    if (w < 0 || w >= st.wavelength_capacity || st.wave_ray_counts[w] <= 0) return;
    std::int32_t first = 0;
    for (int i = 0; i < w; ++i) first += st.wave_ray_counts[i];
    const double n = spot_image_index(w);
    const double R = reference_ray().sphere_radius;
    const bool sphere = lens.wrsp != 0 && !lens.afocal;
    const double k = std::fabs(R) <= kTiny ? 0.0 : 1.0 / R;
    double lo = 0, hi = 0, sum = 0, sum2 = 0;
    double count = 0;
    bool started = false;
    auto take = [&](double v) {
        if (!started || v < lo) lo = v;
        if (!started || v > hi) hi = v;
        started = true;
        sum += v;
        sum2 += v * v;
        count += 1.0;
    };
    for (std::int32_t i = first; i < first + st.wave_ray_counts[w]; ++i) {
        const SpotRay& r = st.rays[i];
        double w1, w2;
        if (lens.afocal) {
            w1 = n * r.py * y0 + r.opd;
            w2 = n * x0 * r.px;
        } else if (sphere) {
            w1 = k * r.py * n * y0 + r.opd;
            w2 = k * n * x0 * r.px;
        } else {
            w1 = (y0 * r.ny + z0 * r.nz) * n + r.opd;
            w2 = n * r.nx * x0;
        }
        take(w1 + w2);
        if (st.half_pupil) take(w1 - w2);
    }
    const double scale = unit_factor() * 1000.0 / wavelength_um(w);
    st.reference_pv = (hi - lo) * scale;
    st.reference_rms = std::sqrt(std::max(0.0, (sum2 - sum * sum / count) / count)) * scale;
}

}  // namespace

void spot_statistics() {
    mtf_current() = 0;
    SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    double c, s;
    bool aligned;
    image_alignment(c, s, aligned);

    g_stats = SpotStats{};
    const int waves = st.wavelength_capacity;
    std::fill(st.reference_fit_sums,
              st.reference_fit_sums + static_cast<std::size_t>(waves) * kReferenceFitSumCount, 0.0);

    // One pass: the weighted moments and each wavelength's unweighted fit sums.
    double m[11] = {};
    for (std::int32_t i = 0; i < st.ray_count; ++i) {
        const SpotRay& r = st.rays[i];
        const double w = r.amplitude * r.amplitude;
        m[0] += w * r.dy;
        m[1] += w * r.ty;
        m[2] += w * r.dx;
        m[3] += w * r.tx;
        m[4] += w * r.dx * r.dx;
        m[5] += w * r.dx * r.tx;
        m[6] += w * r.tx * r.tx;
        m[7] += w * r.dy * r.dy;
        m[8] += w * r.dy * r.ty;
        m[9] += w * r.ty * r.ty;
        m[10] += w;
        double* f = fit_sums(st, r.wave);
        f[0] += r.nx;
        f[1] += r.ny;
        f[2] += r.nz;
        f[3] += r.nx * r.nx;
        f[4] += r.ny * r.ny;
        f[5] += r.nz * r.nz;
        f[6] += r.ny * r.nx;
        f[7] += r.nz * r.nx;
        f[8] += r.nz * r.ny;
        f[9] += r.opd;
        f[10] += r.nx * r.opd;
        f[11] += r.ny * r.opd;
        f[12] += r.nz * r.opd;
        f[13] += r.apod * r.apod;
    }
    const double norm = std::fabs(m[10]) <= kTiny ? 0.0 : 1.0 / m[10];
    for (int i = 0; i < 10; ++i) m[i] *= norm;
    if (st.half_pupil) m[2] = m[3] = 0.0;
    for (int w = 0; w < waves; ++w) {
        double* f = fit_sums(st, w);
        const std::int32_t count = w < lens.wavelength_count ? st.wave_ray_counts[w] : 0;
        const double k = count > 0 ? 1.0 / count : 0.0;
        for (int i = 0; i < kReferenceFitSumCount; ++i) f[i] *= k;
        if (st.half_pupil) f[0] = f[6] = f[7] = f[10] = 0.0;
        double** M = st.reference_normal[w];
        M[0][0] = f[3] - f[0] * f[0];
        M[1][1] = f[4] - f[1] * f[1];
        M[2][2] = f[5] - f[2] * f[2];
        M[0][1] = M[1][0] = f[6] - f[1] * f[0];
        M[0][2] = M[2][0] = f[7] - f[2] * f[0];
        M[1][2] = M[2][1] = f[8] - f[2] * f[1];
        M[0][3] = f[9] * f[0] - f[10];
        M[1][3] = f[9] * f[1] - f[11];
        M[2][3] = f[9] * f[2] - f[12];
    }
    if (m[10] > st.grid_weight) st.grid_weight = m[10];

    // Centre the second moments; with the half pupil the x means are 0 by symmetry.
    m[7] -= m[0] * m[0];
    m[8] -= m[1] * m[0];
    m[9] -= m[1] * m[1];
    if (!st.half_pupil) {
        m[4] -= m[2] * m[2];
        m[5] -= m[3] * m[2];
        m[6] -= m[3] * m[3];
    }
    g_stats = {m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10]};

    std::int32_t first = 0;
    for (int w = 0; w < waves; ++w) {
        const std::int32_t count = w < lens.wavelength_count ? st.wave_ray_counts[w] : 0;
        wavelength_extents(w, first, count, c, s, aligned);
        first += count;
    }
    reference_wavefront();
}

namespace {
void reset_spot_statistics() {
    g_stats = SpotStats{};
}
const platform::StateReset spot_statistics_state_reset{
    "evaluation/spot_statistics", reset_spot_statistics, platform::ResetLayer::feature};
}  // namespace
