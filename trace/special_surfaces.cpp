#include "trace/special_surfaces.h"

#include <cmath>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "trace/ray_media.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr double kMillimetresPerMicrometre = 0.001;
constexpr double kLargestMagnification = 1e7;

// Diffractive kinds.
constexpr std::uint8_t kPhaseEven = 0;
constexpr std::uint8_t kPhaseAllPowers = 2;
constexpr std::uint8_t kZonePlateEven = 4;
constexpr std::uint8_t kZonePlateConstant = 5;
constexpr std::uint8_t kPhaseNone = 6;

double g_grin_entry_index = 1.0;

bool usable_index(double n) {
    return std::isfinite(n) && std::fabs(n) >= kZeroDenominator;
}

// A wavelength in lens units.
double lens_length_of(double micrometres) {
    return micrometres * kMillimetresPerMicrometre / lens_data().units;
}

double slot_wavelength(int w) {
    return lens_data().wavelengths[w].wavelength;
}

bool chromatic_path_kept() {
    return lens_data().wavelength_count > 2;
}

// Brings a direction that the bending left slightly off unit length back to it.
void renormalise(RayRecord& ray) {
    const double d = 1.0 - (ray.k * ray.k + ray.l * ray.l + ray.m * ray.m);
    if (d != 0.0) {
        const double f = 1.0 + 0.5 * d;
        ray.k *= f;
        ray.l *= f;
        ray.m *= f;
    }
}

// Scales the normal and its cosine to unit length. False for a zero normal.
bool unit_normal(RayRecord& ray) {
    if (ray.normal_len2 == 1.0) return true;
    if (!(ray.normal_len2 >= kZeroDenominator) || !std::isfinite(ray.normal_len2)) return false;
    const double f = 1.0 / std::sqrt(ray.normal_len2);
    ray.nx *= f;
    ray.ny *= f;
    ray.nz *= f;
    ray.cos_i *= f;
    ray.normal_len2 = 1.0;
    return true;
}

bool finite_direction(double k, double l, double m) {
    return std::isfinite(k) && std::isfinite(l) && std::isfinite(m);
}

}  // namespace

void set_grin_entry_index(double index) {
    g_grin_entry_index = index;
}

double grin_entry_index() {
    return g_grin_entry_index;
}

int select_special_media(int n, const RayRecord& ray, SpecialMedia& media) {
    const SurfaceRecord& s = surface(n);
    std::uint8_t kind;
    if (trace_globals().backward_step) {
        media.table = backward_index(n);
        media.alt_table = nullptr;
        kind = s.medium_kind;
    } else if (ray.backward) {
        media.table = backward_index(n);
        media.alt_table = nullptr;
        kind = s.medium_kind_backward;
    } else {
        media.table = forward_index(s);
        media.alt_table = secondary_index(s);
        kind = s.medium_kind;
    }
    const int w = ray.wavelength;
    media.mirror = kind == kMediumMirror;
    if (media.mirror) {
        double index;
        if (ray.grin_state >= 1) {
            index = ray.grin_index;
        } else {
            if (ray.prev_medium == nullptr) return kRayFailMissed;
            index = ray.prev_medium[w];
        }
        if (!usable_index(index)) return kRayFailMissed;
        if (media.table == nullptr) {
            media.table = ray.medium;
            media.alt_table = ray.alt_medium;
        }
        media.n1 = media.n2 = index;
        media.mu = 1.0;
        return 0;
    }
    if (media.table == nullptr) return kRayFailMissed;
    media.n2 = ray.grin_state >= 1 ? ray.grin_index : media.table[w];
    if (ray.grin_state == 2) {
        media.n1 = g_grin_entry_index;
    } else if (ray.grin_state == -1) {
        media.n1 = ray.grin_index;
    } else {
        if (ray.prev_medium == nullptr) return kRayFailMissed;
        media.n1 = ray.prev_medium[w];
    }
    if (!usable_index(media.n1) || !usable_index(media.n2)) return kRayFailMissed;
    media.mu = media.n1 / media.n2;
    return 0;
}

void enter_special_media(RayRecord& ray, const SpecialMedia& media) {
    ray.medium = media.table;
    ray.alt_medium = media.alt_table;
}

bool diffractive_phase_polynomial(const DiffractiveRecord& d, double x, double y, double& phase,
                                  double& grad_x, double& grad_y) {
    const double* c = d.working;
    const int count = c != nullptr ? d.working_count : 0;
    phase = grad_x = grad_y = 0.0;
    bool model = false;
    if (d.kind == kPhaseEven || d.kind == kZonePlateEven) {
        model = true;
        const double rho = x * x + y * y;
        double value = 0.0, slope = 0.0;
        for (int i = count - 1; i >= 1; --i) {
            value = value * rho + c[i];
            slope = slope * rho + i * c[i];
        }
        // value = c1 + c2 rho + ..., so phase = value * rho; slope = sum i c_i rho^(i-1).
        phase = value * rho;
        grad_x = 2.0 * x * slope;
        grad_y = 2.0 * y * slope;
    } else if (d.kind == kPhaseAllPowers) {
        model = true;
        const double r = std::sqrt(x * x + y * y);
        if (r >= kZeroDenominator) {
            double value = 0.0, slope = 0.0;
            for (int i = count - 1; i >= 1; --i) {
                value = value * r + c[i];
                slope = slope * r + i * c[i];
            }
            phase = value * r;
            grad_x = x / r * slope;
            grad_y = y / r * slope;
        }
    }
    if (d.kind != kPhaseNone && count > 0) phase += c[0];
    return model;
}

double hologram_recorded_path(double x, double y, double z, const double q1[3], bool virtual1,
                              const double q2[3], bool virtual2) {
    const double s1 = virtual1 ? -1.0 : 1.0;
    const double s2 = virtual2 ? -1.0 : 1.0;
    const double p2 = x * x + y * y + z * z;
    auto from = [&](const double q[3]) {
        const double dx = x - q[0], dy = y - q[1], dz = z - q[2];
        const double to_point = std::sqrt(dx * dx + dy * dy + dz * dz);
        const double to_vertex = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        const double sum = to_point + to_vertex;
        // |P - Q| - |Q| without the cancellation of two near lengths.
        if (sum < kZeroDenominator) return 0.0;
        return (p2 - 2.0 * (x * q[0] + y * q[1] + z * q[2])) / sum;
    };
    return s1 * from(q1) - s2 * from(q2);
}

void trace_grating(int n, RayRecord& ray) {
    const SurfaceRecord& s = surface(n);
    if (ray.nz <= kZeroDenominator) {
        set_ray_failure(ray, kRayFailGratingOrder);
        return;
    }
    SpecialMedia media{};
    if (const int code = select_special_media(n, ray, media); code != 0) {
        set_ray_failure(ray, code);
        return;
    }
    const double len2 = ray.normal_len2;
    const double len = std::sqrt(len2);
    const double hx = ray.nx / len, hy = ray.ny / len, hz = ray.nz / len;
    // The lines run along the surface's x direction; the grating vector is the unit tangent in
    // its y direction.
    const double w = std::sqrt(hx * hx + hz * hz);
    const double gx = -hy * hx / w, gy = w, gz = -hy * hz / w;
    const double slope = ray.ny / ray.nz;
    const double spacing = s.grating_spacing * std::sqrt(1.0 + slope * slope);
    const double lambda = slot_wavelength(ray.wavelength);
    const double units = lens_data().units;
    const double beta = s.diffraction_order * lambda / (units * spacing * media.n2 * 1000.0);
    const double mu = media.mu;
    const double a = mu * (gx * ray.k + gy * ray.l + gz * ray.m);
    const double c = ray.cos_i;
    double root;
    if (!media.mirror) {
        const double q = (c * c - len2) * mu * mu + len2 - (2.0 * a + beta) * beta * len2;
        if (!(q >= 0.0)) {
            set_ray_failure(ray, kRayFailGratingOrder);
            return;
        }
        root = std::sqrt(q);
        if (mu * c < 0.0) root = -root;
    } else {
        const double q = c * c - (2.0 * a + beta) * beta * len2;
        if (!(q >= 0.0)) {
            set_ray_failure(ray, kRayFailGratingOrder);
            return;
        }
        root = -std::sqrt(q);
        if (c < 0.0) root = -root;
    }
    double gamma = root - mu * c;
    if (len2 != 1.0) gamma /= len2;
    const double k = mu * ray.k + beta * gx + gamma * ray.nx;
    const double l = mu * ray.l + beta * gy + gamma * ray.ny;
    const double m = mu * ray.m + beta * gz + gamma * ray.nz;
    if (!finite_direction(k, l, m)) {
        set_ray_failure(ray, kRayFailGratingOrder);
        return;
    }
    ray.k = k;
    ray.l = l;
    ray.m = m;
    ray.gamma = gamma;
    if (media.mirror) {
        if (!ray.backward) ray.reversed ^= 1;
    } else {
        enter_special_media(ray, media);
    }
    const double path = s.diffraction_order * lambda * ray.y / (1000.0 * units * s.grating_spacing);
    ray.opl += path;
    if (chromatic_path_kept()) {
        ray.chrom_opl += (slot_wavelength(1) - slot_wavelength(2)) * path / lambda;
    }
    renormalise(ray);
}

void trace_diffractive_surface(int n, RayRecord& ray) {
    const SurfaceRecord& s = surface(n);
    const DiffractiveRecord& d = *s.diffractive;
    // While the reference ray is aimed, a zone plate that is not to be traced as one stands
    // aside: the aiming looks for the ray through the plain surface.
    if ((ray.kind == kRayPlain || ray.kind == kRayReference) &&
        (d.kind == kZonePlateEven || d.kind == kZonePlateConstant) && d.zernike_switch == 0 &&
        trace_globals().aiming_in_progress) {
        refract_at_surface(n, ray);
        return;
    }
    if (!unit_normal(ray)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    SpecialMedia media{};
    if (const int code = select_special_media(n, ray, media); code != 0) {
        set_ray_failure(ray, code);
        return;
    }
    const double lambda = lens_length_of(slot_wavelength(ray.wavelength));
    const double lambda0 = lens_length_of(d.design_wavelength);
    double phase, gx, gy;
    diffractive_phase_polynomial(d, ray.x, ray.y, phase, gx, gy);
    double beta = 0.0, tx = 0.0, ty = 0.0, tz = 0.0;
    if (gx != 0.0 || gy != 0.0) {
        if (!(std::fabs(lambda0) >= kZeroDenominator)) {
            set_ray_failure(ray, kRayFailDiffractiveOrder);
            return;
        }
        gx /= lambda0;
        gy /= lambda0;
        // t = n x (n x g): the local grating frequency's direction in the surface.
        const double nx = ray.nx, ny = ray.ny, nz = ray.nz;
        const double ng = nx * gx + ny * gy;
        tx = nx * ng - gx;
        ty = ny * ng - gy;
        tz = nz * ng;
        const double t = std::sqrt(tx * tx + ty * ty + tz * tz);
        if (!(t >= kZeroDenominator) || !std::isfinite(t)) {
            set_ray_failure(ray, kRayFailDiffractiveOrder);
            return;
        }
        tx /= t;
        ty /= t;
        tz /= t;
        beta = s.diffraction_order * lambda * (tx * gx + ty * gy) / media.n2;
    }
    const double mu = media.mu;
    const double c = ray.cos_i;
    const double a = mu * (tx * ray.k + ty * ray.l + tz * ray.m);
    const double q = (c * c - 1.0) * mu * mu + 1.0 - (2.0 * a + beta) * beta;
    if (!(q >= 0.0)) {
        set_ray_failure(ray, kRayFailDiffractiveOrder);
        return;
    }
    double root = std::sqrt(q);
    if (mu * c < 0.0) root = -root;
    const double gamma = root - mu * c;
    const double k0 = ray.k, l0 = ray.l, m0 = ray.m;
    double k = gamma * ray.nx + beta * tx + mu * k0;
    double l = gamma * ray.ny + beta * ty + mu * l0;
    double m = gamma * ray.nz + beta * tz + mu * m0;
    if (!finite_direction(k, l, m)) {
        set_ray_failure(ray, kRayFailDiffractiveOrder);
        return;
    }
    if (media.mirror) {
        const double dn = k * ray.nx + l * ray.ny + m * ray.nz;
        k -= 2.0 * dn * ray.nx;
        l -= 2.0 * dn * ray.ny;
        m -= 2.0 * dn * ray.nz;
        if (!ray.backward) ray.reversed ^= 1;
        ray.gamma = (k - k0) * ray.nx + (l - l0) * ray.ny + (m - m0) * ray.nz;
    } else {
        ray.gamma = gamma;
    }
    ray.k = k;
    ray.l = l;
    ray.m = m;
    enter_special_media(ray, media);
    if (std::fabs(lambda0) >= kZeroDenominator) {
        const double per_wave = s.diffraction_order / lambda0 * phase;
        ray.opl += per_wave * lambda;
        if (chromatic_path_kept()) {
            ray.chrom_opl +=
                (lens_length_of(slot_wavelength(1)) - lens_length_of(slot_wavelength(2))) *
                per_wave;
        }
    }
    renormalise(ray);
}

void trace_hologram(int n, RayRecord& ray) {
    const SurfaceRecord& s = surface(n);
    const HologramRecord& h = *s.hologram;
    const bool v1 = h.first_point_virtual != 0, v2 = h.second_point_virtual != 0;
    const double psi =
        hologram_recorded_path(ray.x, ray.y, ray.z, h.first_point, v1, h.second_point, v2);
    if (!(std::fabs(h.wavelength) >= kZeroDenominator)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double lambda = slot_wavelength(ray.wavelength);
    const double kappa = h.order * lambda / h.wavelength;
    double e[2][3];
    const double* q[2] = {h.first_point, h.second_point};
    const bool virt[2] = {v1, v2};
    for (int i = 0; i < 2; ++i) {
        const double dz = ray.z - q[i][2];
        if (std::fabs(dz) < kZeroDenominator) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        const double u = (ray.x - q[i][0]) / dz, v = (ray.y - q[i][1]) / dz;
        const double f =
            (virt[i] ? -1.0 : 1.0) * (dz < 0.0 ? -1.0 : 1.0) / std::sqrt(u * u + v * v + 1.0);
        e[i][0] = u * f;
        e[i][1] = v * f;
        e[i][2] = f;
    }
    if (!unit_normal(ray)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    SpecialMedia media{};
    if (const int code = select_special_media(n, ray, media); code != 0) {
        set_ray_failure(ray, code);
        return;
    }
    const double n1 = media.n1, n2 = media.n2;
    const double wx = n1 * ray.k + kappa * (e[0][0] - e[1][0]);
    const double wy = n1 * ray.l + kappa * (e[0][1] - e[1][1]);
    const double wz = n1 * ray.m + kappa * (e[0][2] - e[1][2]);
    const double c = wx * ray.nx + wy * ray.ny + wz * ray.nz;
    const double qq = c * c + n2 * n2 - (wx * wx + wy * wy + wz * wz);
    if (!(qq >= 0.0)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    // The transmitted ray stays on the side of the surface the incoming ray travels to. The
    // hologram's term may carry a normal part larger than the ray's own (construction points
    // on either side of the surface), so the side is the incoming ray's, not W's.
    const double incoming_dn = ray.k * ray.nx + ray.l * ray.ny + ray.m * ray.nz;
    const double gamma = incoming_dn < 0.0 ? -c - std::sqrt(qq) : std::sqrt(qq) - c;
    double k = (wx + gamma * ray.nx) / n2;
    double l = (wy + gamma * ray.ny) / n2;
    const double r = 1.0 - k * k - l * l;
    if (!(r >= 0.0) || !std::isfinite(r)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    double m = std::copysign(std::sqrt(r), ray.m);
    if (media.mirror) {
        const double dn = k * ray.nx + l * ray.ny + m * ray.nz;
        k -= 2.0 * dn * ray.nx;
        l -= 2.0 * dn * ray.ny;
        m -= 2.0 * dn * ray.nz;
        if (!ray.backward) ray.reversed ^= 1;
    } else {
        enter_special_media(ray, media);
    }
    ray.k = k;
    ray.l = l;
    ray.m = m;
    ray.gamma = k * ray.nx + l * ray.ny + m * ray.nz - media.mu * incoming_dn;
    ray.opl += kappa * psi;
    if (chromatic_path_kept()) {
        ray.chrom_opl += (slot_wavelength(1) - slot_wavelength(2)) * h.order * psi / h.wavelength;
    }
}

void trace_perfect_lens(int n, RayRecord& ray) {
    const SurfaceRecord& s = surface(n);
    double f = s.perfect_lens->focal_length;
    double mag = s.perfect_lens->magnification;
    if (trace_globals().backward_step) {
        f = -f;
        mag = std::fabs(mag) < kZeroDenominator ? kLargestMagnification : 1.0 / mag;
    }
    SpecialMedia media{};
    if (const int code = select_special_media(n, ray, media); code != 0) {
        set_ray_failure(ray, code);
        return;
    }
    if (ray.kind == kRayKept) {
        ray.dx = ray.x;
        ray.dy = ray.y;
        ray.dz = ray.z;
    }
    if (std::fabs(mag) > kLargestMagnification) mag = std::copysign(kLargestMagnification, mag);
    if (std::fabs(f) < kZeroDenominator || std::fabs(mag - 1.0) < kZeroDenominator) {
        ray.gamma = 0.0;
        return;
    }
    const double L = ray.k, M = ray.l, N = ray.m;
    if (!(std::fabs(N) >= kZeroDenominator)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double F = (1.0 - mag) * f;
    const double u = ray.x / F, v = ray.y / F;
    const double a = u * L + v * M;
    const double rho = u * u + v * v;
    const double radicand = 2.0 * a * N * mag + N * N * rho * mag * mag + 1.0;
    const double S = radicand < 0.0 ? 1.0 : std::sqrt(radicand);
    if (!(S >= kZeroDenominator)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double L1 = (u * N * mag + L) / S, M1 = (v * N * mag + M) / S;
    const double r1 = 1.0 - L1 * L1 - M1 * M1;
    if (!(r1 >= 0.0)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double N1 = std::copysign(std::sqrt(r1), N);
    const double kappa = (2.0 * a + rho * N * mag) * N / ((S + 1.0) * S);
    const double L2 = kappa * L - u * N / S, M2 = kappa * M - v * N / S;
    const double Lp = L1 + L2, Mp = M1 + M2;
    const double r2 = 1.0 - Lp * Lp - Mp * Mp;
    if (!(r2 >= 0.0)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double Np = std::copysign(std::sqrt(r2), N);
    const double den1 = (N1 + N) * N * N1;
    const double den2 = (Np + N1) * Np * N1;
    if (!(std::fabs(den1) >= kZeroDenominator) || !(std::fabs(den2) >= kZeroDenominator)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double path = F * (((L1 + L) * L2 + (M1 + M) * M2) / den1 -
                             ((Lp * Lp - L1 * L1) + (Mp * Mp - M1 * M1)) / den2);
    const double x = mag * ray.x + (L / N - Lp / Np) * F;
    const double y = mag * ray.y + (M / N - Mp / Np) * F;
    if (!std::isfinite(path) || !std::isfinite(x) || !std::isfinite(y)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    if (!unit_normal(ray)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double incoming_dn = L * ray.nx + M * ray.ny + N * ray.nz;
    ray.dist = path;
    ray.opl += path;
    ray.x = x;
    ray.y = y;
    ray.z = 0.0;
    ray.k = Lp;
    ray.l = Mp;
    ray.m = Np;
    ray.gamma = Lp * ray.nx + Mp * ray.ny + Np * ray.nz - media.mu * incoming_dn;
    if (!media.mirror) enter_special_media(ray, media);
}

void install_special_surfaces() {
    TraceSeams& seams = trace_seams();
    seams.trace_grating = trace_grating;
    seams.trace_diffractive_surface = trace_diffractive_surface;
    seams.trace_hologram = trace_hologram;
    seams.trace_perfect_lens = trace_perfect_lens;
}

namespace {
void reset_special_surfaces() {
    g_grin_entry_index = 1.0;
}
const platform::StateReset special_surfaces_state_reset{
    "trace/special_surfaces", reset_special_surfaces, platform::ResetLayer::trace};
}  // namespace
