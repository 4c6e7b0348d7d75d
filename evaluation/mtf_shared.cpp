#include "evaluation/mtf_shared.h"

#include <cmath>
#include <memory>
#include <new>

#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "numeric/heap_sort.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "trace/ray_record.h"
#include "trace/surface_sag.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kTwoPi = 6.283185307179586;

// Whether the ideal pupil is wanted, the slopes at zero frequency, the current MTF kind, and the
// keys the sort compares.
struct MtfSharedState {
    bool ideal_pupil = false;
    MtfSlopesAtZero slopes_at_zero;
    std::uint8_t current = 0;
    // The keys sort_three_by_key compares, set only for the sort.
    const double* sort_keys = nullptr;
};

MtfSharedState g_mtf;

int compare_sort_keys(int a, int b, const void*) {
    return g_mtf.sort_keys[a] < g_mtf.sort_keys[b] ? -1 : 1;
}

}  // namespace

bool& mtf_ideal_pupil() {
    return g_mtf.ideal_pupil;
}

MtfSlopesAtZero& mtf_slopes_at_zero() {
    return g_mtf.slopes_at_zero;
}

std::uint8_t& mtf_current() {
    return g_mtf.current;
}

int mtf_step_count(double F, double S, int& n) {
    n = 0;
    if (!std::isfinite(F) || !std::isfinite(S) || F < 0.0 || !(S > 0.0)) {
        return kMsgMtfBadFrequencies;
    }
    const double steps = std::floor(F / S + 0.5);
    if (!(steps <= kMaxMtfSteps)) return kMsgMtfTooManySteps;
    n = static_cast<int>(steps);
    return 0;
}

double mtf_unit_factor() {
    const double u = lens_data().units;
    return u > 0.0 ? u : 1.0;
}

double reference_aperture_slope() {
    const ReferenceRay& ref = reference_ray();
    const double N = ref.ray.m;
    double A = 0.0;
    if (std::fabs(N) > kTiny) {
        const RayDerivative& py = ref.derivatives[kDerivPupilY];
        const RayDerivative& px = ref.derivatives[kDerivPupilX];
        const double p = (py.dl * N - py.dm * ref.ray.l) / (N * N);
        const double q = (px.dk * N - px.dm * ref.ray.k) / (N * N);
        A = std::fabs((p + q) / 2.0);
    }
    if (!(A >= kTiny && A <= 1e40)) {
        A = std::fabs(lens_data().image_axial_slope);
        if (!(A >= kTiny && A <= 1e40)) A = 1.0;
    }
    return A;
}

std::int32_t mtf_first_ray(int w) {
    const SpotStore& st = spot_store();
    std::int32_t first = 0;
    for (int i = 0; i < w && i < st.wavelength_capacity; ++i) first += st.wave_ray_counts[i];
    return first;
}

ShiftedWavefront::ShiftedWavefront(int wave, double shift_x, double shift_y, double dz)
    : ideal_(mtf_ideal_pupil()),
      afocal_(lens_data().afocal != 0),
      sphere_(false),
      n_(spot_image_index(wave)),
      dx_(shift_x),
      dy_(shift_y),
      dz_(dz) {
    const RayRecord& ref = reference_ray().ray;
    const double R = reference_ray().sphere_radius;
    const double N = ref.m;
    if (!afocal_ && lens_data().wrsp != 0 && std::fabs(N) > kTiny) {
        sphere_ = true;
        dx_ -= ref.k / N * dz;
        dy_ -= ref.l / N * dz;
        const double r1 = dz / N + R;
        rho_ = std::fabs(r1) > kTiny ? 1.0 / r1 : r1;
        q_ = (std::fabs(R) > kTiny ? 1.0 / R - rho_ : -rho_) * n_ * 0.5;
        if (std::fabs(q_) > kTiny) cutoff_scale_ = std::fabs(R * rho_);
    }
}

double ShiftedWavefront::at(const SpotRay& r) const {
    if (ideal_) return 0.0;
    if (afocal_) return r.opd + n_ * (dx_ * r.px + dy_ * r.py);
    if (sphere_) {
        double w = r.opd + n_ * rho_ * (dx_ * r.px + dy_ * r.py);
        if (std::fabs(q_) > kTiny) w += q_ * (r.px * r.px + r.py * r.py + r.pz * r.pz);
        return w;
    }
    return r.opd + n_ * (dz_ * r.nz + dx_ * r.nx + dy_ * r.ny);
}

double mtf_adjusted_cutoff(int direction, int wave, const ShiftedWavefront& wavefront) {
    const SpotStore& st = spot_store();
    double C = direction == 0 ? st.x_cutoff[wave] : st.y_cutoff[wave];
    const LensData& lens = lens_data();
    if (!lens.afocal && lens.image_surface > 0 &&
        surface(lens.image_surface).shape != kShapePlane) {
        const RayRecord& ref = reference_ray().ray;
        SagPoint p{};
        surface_sag_normal(surface(lens.image_surface), ref.x + wavefront.shift_x(),
                           ref.y + wavefront.shift_y(), p);
        const double across = direction == 0 ? p.nx : p.ny;
        const double root = std::sqrt(p.nz * p.nz + across * across);
        if (root > kTiny) C *= std::fabs(p.nz / root);
    }
    if (wavefront.cutoff_scale() > 0.0) C *= wavefront.cutoff_scale();
    return C;
}

bool mtf_lens_has_special_data() {
    const LensData& lens = lens_data();
    for (int s = 1; s <= lens.image_surface; ++s) {
        SurfaceRecord copy = surface(s);
        copy.special_aperture_count = 0;
        if (!surface_is_plain(copy)) return true;
    }
    return false;
}

bool mtf_apertures_keep_slope() {
    const LensData& lens = lens_data();
    for (int s = 1; s <= lens.image_surface; ++s) {
        const SurfaceRecord& r = surface(s);
        if (r.special_aperture_count > 1) return false;
        if (r.special_aperture_count == 1 && r.special_apertures != nullptr &&
            r.special_apertures[0].action != kActionClear) {
            return false;
        }
    }
    return !mtf_lens_has_special_data();
}

void mtf_zero_slopes(int direction, int wave, std::int32_t first, std::int32_t end, double g,
                     double index, double shift_x, double shift_y, double dz, double& real_slope,
                     double& imaginary_slope) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const bool afocal = lens.afocal != 0;
    const double U = mtf_unit_factor();
    const double lambda = lens.wavelengths[wave].wavelength;
    const double R = reference_ray().sphere_radius;
    const double N0 = reference_ray().ray.m;

    imaginary_slope = 0.0;
    if (!(st.half_pupil && direction == 0) && !mtf_ideal_pupil()) {
        double sum = 0.0, weight = 0.0;
        for (std::int32_t i = first; i < end; ++i) {
            const SpotRay& r = st.rays[i];
            const double w = r.amplitude * r.amplitude;
            const double p = direction == 0 ? r.dx : r.dy;
            const double t = direction == 0 ? r.tx : r.ty;
            sum += w * (afocal ? t : p + dz * t);
            weight += w;
        }
        const double centroid = weight > 0.0 ? sum / weight : 0.0;
        const double shift = direction == 0 ? shift_x : shift_y;
        imaginary_slope = -kTwoPi * index * (centroid - shift);
    }

    double cx = st.x_cutoff[wave];
    double cy = st.y_cutoff[wave];
    if (!afocal) {
        cx *= std::fabs(U * R);
        cy *= std::fabs(U * R);
    }
    const double Px = cx * lambda / (index * 1000.0);
    const double Py = cy * lambda / (index * 1000.0);
    const double h = st.half_pupil ? 1.0 : 0.0;
    const double Nw = st.wave_ray_counts[wave];
    const double gu = g * st.lattice_unit;
    const double Zx = st.x_half_extent[wave];
    const double Zy = st.y_half_extent[wave];
    const double cells = gu > 0.0 ? (2.0 * Zy / gu + 1.0) * (2.0 * Zx / gu + 1.0) : 0.0;
    const double denominator = cells > 0.0 ? (h + 1.0) * Nw * Px * Py / cells * index : 0.0;
    double value = denominator != 0.0 ? -0.001 * lambda / denominator : 0.0;
    if (!afocal) {
        const double R2 = std::fabs(N0) > kTiny ? R + dz / N0 : R;
        value *= std::fabs(R2) < kTiny ? std::fabs(U * R) : std::fabs(R2 * U);
    }
    value *= direction == 0 ? Py : Px;
    if (!mtf_apertures_keep_slope()) value = 1.0;
    if (st.apodisation_on) {
        const double width = direction == 0 ? st.x_apodisation : st.y_apodisation;
        const double v = std::fabs(width) > kTiny ? (direction == 0 ? Zx : Zy) / width : 0.0;
        const double e = 2.0 * v * v;
        value = e <= 200.0 ? value * std::exp(-e) : 0.0;
    }
    real_slope = value;
}

double mtf_numeric_slope_stencil(const double* r, int count) {
    if (count <= 1) return 0.0;
    if (count == 2) return 2.0 * (r[1] - r[0]);
    if (count == 3) return 4.0 * r[1] - 3.0 * r[0] - r[2];
    return (2.0 / 3.0) * r[3] + 6.0 * r[1] - (11.0 / 3.0) * r[0] - 3.0 * r[2];
}

int sort_three_by_key(double* keys, double* second, double* third, int n) {
    if (n < 2) return 0;
    std::unique_ptr<std::int32_t[]> order(new (std::nothrow) std::int32_t[n]);
    std::unique_ptr<double[]> copy(new (std::nothrow) double[n]);
    if (!order || !copy) return -10;
    for (int i = 0; i < n; ++i) order[i] = i;
    g_mtf.sort_keys = keys;
    heap_sort_indices(compare_sort_keys, nullptr, order.get(), n);
    g_mtf.sort_keys = nullptr;
    for (double* a : {keys, second, third}) {
        if (a == nullptr) continue;
        for (int i = 0; i < n; ++i) copy[i] = a[order[i]];
        for (int i = 0; i < n; ++i) a[i] = copy[i];
    }
    return 0;
}

double spline_value(int i, double t, double h, const double* y, const double* m) {
    return y[i] + t * ((y[i + 1] - y[i]) / h - (2.0 * m[i] + m[i + 1]) * h / 6.0) +
           t * t * m[i] / 2.0 + t * t * t * (m[i + 1] - m[i]) / (6.0 * h);
}

int mtf_whole_degrees(double dw, double P) {
    const double a = std::fmod(std::fabs(dw) * P, 360.0);
    if (!std::isfinite(a)) return 0;
    return static_cast<int>(std::floor(a + 0.5)) % 360;
}

double mtf_phase_degrees(double im, double re) {
    if (im == 0.0 && re == 0.0) return 0.0;
    const double p = std::atan2(im, re) * kDegreesPerRadian;
    return std::fabs(p) < 1e-10 ? 0.0 : p;
}

void mtf_curve_point(int mode, int j, double S, double re, double im, double ideal, double* first,
                     double* second) {
    const double modulus = std::sqrt(re * re + im * im);
    switch (mode) {
        case 0:
            first[j] = modulus;
            break;
        case 2:
            first[j] = re;
            second[j] = im;
            break;
        case 3:
            first[j] = modulus;
            second[j] = mtf_phase_degrees(im, re);
            break;
        case 1:
            mtf_print_row(j, j * S, modulus, mtf_phase_degrees(im, re), ideal);
            break;
        default:
            break;
    }
}

void mtf_print_row(int j, double frequency, double modulus, double phase, double ideal) {
    text_printf("%3d ", j + 1);
    print_number_cell(frequency);
    print_number_cell(modulus);
    print_number_cell(phase);
    text_out("            ");
    text_number(ideal);
    text_newline();
}

void mtf_print_cutoff(double cutoff, double dz) {
    print_msg(kMsgMtfCutoff);
    print_number_cell_eol(cutoff);
    if (std::fabs(dz) > 0.0) {
        print_msg(kMsgMtfFocusShift);
        text_out("           ");
        text_number(dz);
        text_newline();
    }
}
