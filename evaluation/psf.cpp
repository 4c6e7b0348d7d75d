#include "evaluation/psf.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/spot_statistics.h"
#include "lens/lens_data.h"
#include "numeric/cubic_spline.h"
#include "numeric/fft.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "trace/object_point.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"

namespace {

constexpr double kTiny = 1e-40;
// How far past the whole energy a row of the energy curve may land by rounding alone.
constexpr double kEnergyRounding = 1e-9;
constexpr double kTwoPi = 6.283185307179586;

// "APCK" and the text-output setting are off while the pupil is searched; both come back on
// every exit.
class PupilSearchScope {
public:
    PupilSearchScope() : apck_(lens_data().apck), output_(get_setting_flag(kSetOutputOn)) {
        lens_data().apck = 0;
        set_setting_flag(kSetOutputOn, 0);
    }
    ~PupilSearchScope() {
        lens_data().apck = apck_;
        set_setting_flag(kSetOutputOn, output_);
    }
    PupilSearchScope(const PupilSearchScope&) = delete;
    PupilSearchScope& operator=(const PupilSearchScope&) = delete;

private:
    std::uint8_t apck_;
    std::uint8_t output_;
};

bool symmetric_half() {
    return lens_data().plane_symmetric != 0 && reference_ray().ray.obj_x == 0.0;
}

// Where the traced ray meets the reference sphere, relative to the reference ray's crossing.
void sphere_point(const RayRecord& r, double& c2, double& c1) {
    const ReferenceRay& ref = reference_ray();
    const double R = ref.sphere_radius;
    const double C[3] = {ref.ray.x, ref.ray.y, ref.ray.z};
    const double d[3] = {C[0] - r.x, C[1] - r.y, C[2] - r.z};
    const double s = d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - R * R;
    const double b = d[0] * r.k + d[1] * r.l + d[2] * r.m;
    const double g = std::sqrt(std::max(b * b - s, 0.0));
    const double denominator = R <= 0.0 ? g - b : -b - g;
    const double t = denominator != 0.0 ? s / denominator : 0.0;
    c1 = r.x - t * r.k - (ref.ray.x - R * ref.ray.k);
    c2 = r.y - t * r.l - (ref.ray.y - R * ref.ray.l);
}

// The pupil point of a traced ray: at the image for an afocal lens, else on the sphere.
void ray_pupil_point(const RayRecord& r, double& c1, double& c2) {
    if (lens_data().afocal) {
        c1 = r.x;
        c2 = r.y;
    } else {
        sphere_point(r, c2, c1);
    }
}

struct Extents {
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    bool any = false;
    void widen(double c1, double c2) {
        const double c[2] = {c1, c2};
        for (int k = 0; k < 2; ++k) {
            if (!any || c[k] < lo[k]) lo[k] = c[k];
            if (!any || c[k] > hi[k]) hi[k] = c[k];
        }
        any = true;
    }
};

bool trace_pupil_ray(int wave, double u, double v, RayRecord& r) {
    r = reference_ray().ray;
    r.kind = kRayPlain;
    r.pup_x = u;
    r.pup_y = v;
    r.wavelength = wave;
    trace_ray(r);
    return r.failure == 0;
}

}  // namespace

// The pupil block of wavelength wave (N1 columns, N2 rows) centred in the n x n work array.
void build_pupil_grid(double* work, double& amplitude_sum, int wave, int n, int N1, int N2) {
    const LensData& lens = lens_data();
    std::fill(work, work + 2LL * n * n, 0.0);
    amplitude_sum = 0.0;
    const bool half = symmetric_half();
    const int traced_columns = half ? (N1 + 1) / 2 : N1;
    const SpotSettings& s = *lens.spot_settings;
    const double B = lens.entrance_beam_radius;
    double a = 0.0, b = 0.0;
    bool apodise = false;
    if (s.apodisation_on && std::fabs(B) > kTiny) {
        const double T = surface(0).thickness;
        const double P = lens.entrance_pupil_position;
        const double gy = s.apodisation_width_y, gx = s.apodisation_width_x;
        if (std::fabs(P) < 0.1 * std::fabs(T) || lens.epxy) {
            a = (gy / B) * (gy / B);
            b = (gx / B) * (gx / B);
        } else {
            auto factor = [&](double g) {
                const double denominator = (B * g) * (B * g) + (B * T) * (B * T);
                if (denominator <= kTiny) return 1.0;
                return ((T * g) * (T * g) + (B * g) * (B * g)) / denominator;
            };
            a = factor(gy);
            b = factor(gx);
        }
        apodise = a != 0.0 && b != 0.0 && std::isfinite(a) && std::isfinite(b);
        if (apodise) {
            a = 1.0 / a;
            b = 1.0 / b;
        }
    }
    const ReferenceRay& ref = reference_ray();
    const bool rim = lens.aim_mode == kAimRimRays;
    const double* bounds =
        rim && ref.ray.pupil_bounds != nullptr ? ref.ray.pupil_bounds + 5 * wave : nullptr;
    const double lambda = lens.wavelengths[wave].wavelength;
    const double U = lens.units > 0.0 ? lens.units : 1.0;
    const int row0 = (n - N2) / 2, col0 = (n - N1) / 2;
    std::vector<RayRecord> rays(traced_columns);
    std::vector<int> columns(traced_columns);
    for (int j = 0; j < N2; ++j) {
        const double v = (1.0 - 1.0 / N2) - j * 2.0 / N2;
        int count = 0;
        for (int c = 0; c < traced_columns; ++c) {
            const double u = c * 2.0 / N1 + (1.0 / N1 - 1.0);
            if (!rim && u * u + v * v > 1.0) continue;
            RayRecord& r = rays[count];
            r = ref.ray;
            r.kind = kRaySphere;
            r.pup_x = u;
            r.pup_y = v;
            r.wavelength = wave;
            columns[count++] = c;
        }
        trace_rays(rays.data(), count);
        for (int k = 0; k < count; ++k) {
            const RayRecord& r = rays[k];
            if (r.failure != 0) continue;
            const int c = columns[k];
            const double u = r.pup_x, v = r.pup_y;
            double A = r.factor_a < 0.0 ? 0.0 : std::sqrt(r.factor_a);
            if (apodise) {
                double x = u, y = v;
                if (bounds != nullptr) {
                    x = bounds[0] + (u + 1.0) * (bounds[1] - bounds[0]) / 2.0 - ref.ray.pup_x;
                    y = bounds[2] + (v + 1.0) * (bounds[3] - bounds[2]) / 2.0 - ref.ray.pup_y;
                }
                const double e = y * y * a + x * x * b;
                A = e <= 200.0 ? A * std::exp(-e) : 0.0;
            }
            const double phi = std::fmod(r.opd * U * kTwoPi * 1000.0 / lambda, kTwoPi);
            const double re = A * std::cos(phi), im = A * std::sin(phi);
            const long long at = 2LL * ((row0 + j) * static_cast<long long>(n) + col0 + c);
            work[at] = re;
            work[at + 1] = im;
            amplitude_sum += A;
            if (half && c < N1 / 2) {
                const long long mirror =
                    2LL * ((row0 + j) * static_cast<long long>(n) + col0 + N1 - 1 - c);
                work[mirror] = re;
                work[mirror + 1] = im;
                amplitude_sum += A;
            }
        }
    }
}

void psf_centre_shift(double* work, int n) {
    for (int r = 0; r < n; ++r) {
        for (int c = (r % 2 == 0) ? 1 : 0; c < n; c += 2) {
            const long long at = 2LL * (static_cast<long long>(r) * n + c);
            work[at] = -work[at];
            work[at + 1] = -work[at + 1];
        }
    }
}

int fft_grid_size(int m) {
    if (m >= 8192) return 64;
    int n = 16;
    for (int limit = 32; m >= limit && n < 4096; limit *= 2) n *= 2;
    return n;
}

int find_pupil_extents(int wave, double* centre_y, double* centre_x, double* radius,
                       double* extent_y, double* extent_x) {
    const bool symmetric = symmetric_half();
    Extents e;
    // Along +y, -y, +x and (unless symmetric) -x: from the rim inwards until a ray passes.
    const int axes[4][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
    const int searches = symmetric ? 3 : 4;
    RayRecord r{};
    for (int s = 0; s < searches; ++s) {
        bool found = false;
        for (int k = 10; k >= 1 && !found; --k) {
            const double p = k * 0.1;
            if (!trace_pupil_ray(wave, axes[s][0] * p, axes[s][1] * p, r)) continue;
            found = true;
            const double sign = axes[s][0] != 0 ? axes[s][0] : axes[s][1];
            double c1 = 0.0, c2 = 0.0;
            ray_pupil_point(r, c1, c2);
            c1 = (c1 * sign > 0.0) ? c1 / p : c1 * p;
            c2 = (c2 * sign > 0.0) ? c2 / p : c2 * p;
            e.widen(c1, c2);
        }
        if (!found) return kMsgPupilNotFound;
    }
    if (symmetric) {
        if (std::fabs(e.lo[0]) <= std::fabs(e.hi[0])) {
            e.lo[0] = -e.hi[0];
        } else {
            e.hi[0] = -e.lo[0];
        }
    } else {
        for (int k = 0; k < 72; ++k) {
            const double t = k * 5.0 * kTwoPi / 360.0;
            if (!trace_pupil_ray(wave, std::sin(t), std::cos(t), r)) continue;
            double c1 = 0.0, c2 = 0.0;
            ray_pupil_point(r, c1, c2);
            e.widen(c1, c2);
        }
    }
    const double cx = (e.hi[0] + e.lo[0]) / 2.0, cy = (e.hi[1] + e.lo[1]) / 2.0;
    *centre_x = cx;
    *centre_y = cy;
    *radius = std::max(std::fabs(e.hi[0] - cx), std::fabs(e.hi[1] - cy));
    *extent_x = std::fabs(e.hi[0] - e.lo[0]);
    *extent_y = std::fabs(e.hi[1] - e.lo[1]);
    return 0;
}

int find_pupil_extents_quietly(int wave, double* centre_y, double* centre_x, double* radius,
                               double* extent_y, double* extent_x) {
    PupilSearchScope scope;
    return find_pupil_extents(wave, centre_y, centre_x, radius, extent_y, extent_x);
}

int compute_psf(double** grid, double* spacing, double* scale, bool polychromatic, int wave, int n,
                int m) {
    const LensData& lens = lens_data();
    if (n < 1 || (n & (n - 1)) != 0 || n > 8192) return kMsgBadFftSize;
    const int waves = lens.wavelength_count;
    int r = wave;
    if (polychromatic) {
        r = -1;
        double best = 0.0;
        for (int w = 0; w < waves; ++w) {
            if (!(lens.wavelengths[w].weight > 0.0)) continue;
            const double effective = lens.wavelengths[w].wavelength / spot_image_index(w);
            if (r < 0 || effective < best) {
                r = w;
                best = effective;
            }
        }
        if (r < 0) r = 0;
    }
    if (r < 0 || r >= waves) return set_error_msg(-2042, wave + 1);
    for (int i = 0; i < n; ++i) std::fill(grid[i], grid[i] + n, 0.0);
    double cy = 0, cx = 0, radius = 0, E2 = 0, E1 = 0;
    if (const int found = find_pupil_extents_quietly(r, &cy, &cx, &radius, &E2, &E1); found != 0) {
        return found;
    }
    const double E = std::max(E1, E2);
    if (!(E > kTiny)) return kMsgPupilNotFound;
    const double U = lens.units > 0.0 ? lens.units : 1.0;
    const double lambda_r = lens.wavelengths[r].wavelength;
    const double n_r = spot_image_index(r);
    double cell = m * lambda_r * 0.001 / (n * n_r * U * E);
    if (!lens.afocal) cell *= std::fabs(reference_ray().sphere_radius);

    std::vector<double> work;
    try {
        work.assign(2ULL * n * n, 0.0);
    } catch (const std::bad_alloc&) {
        return -10;
    }
    double total = 0.0;
    for (int i = 0; i < waves; ++i) {
        if (polychromatic ? !(lens.wavelengths[i].weight > 0.0) : i != wave) continue;
        double ey = 0, ex = 0, rad = 0, E2i = 0, E1i = 0;
        find_pupil_extents_quietly(i, &ey, &ex, &rad, &E2i, &E1i);
        const double lambda = lens.wavelengths[i].wavelength;
        double weight = (polychromatic ? lens.wavelengths[i].weight : 1.0) / (lambda * lambda);
        const double k = spot_image_index(i) * lambda_r * m / (n_r * lambda * E);
        const int N1 = static_cast<int>(std::clamp(std::floor(k * E1i + 0.5), 1.0, double(n)));
        const int N2 = static_cast<int>(std::clamp(std::floor(k * E2i + 0.5), 1.0, double(n)));
        const double ratio = static_cast<double>(m) * m / (static_cast<double>(N1) * N2);
        weight *= ratio * ratio;
        double sum = 0.0;
        build_pupil_grid(work.data(), sum, i, n, N1, N2);
        psf_centre_shift(work.data(), n);
        if (const int f = fft_2d(work.data(), work.data(), n, n, 0); f != 0) return f;
        for (int row = 0; row < n; ++row) {
            for (int c = 0; c < n; ++c) {
                const long long at = 2LL * (static_cast<long long>(row) * n + c);
                grid[row][c] += (work[at] * work[at] + work[at + 1] * work[at + 1]) * weight;
            }
        }
        total += sum * sum * weight;
    }
    const double inv = std::fabs(total) < kTiny ? 1.0 : 1.0 / total;
    for (int row = 0; row < n; ++row) {
        for (int c = 0; c < n; ++c) grid[row][c] *= inv;
    }
    if (spacing != nullptr) *spacing = cell;
    if (scale != nullptr) *scale = 1.0;
    return 0;
}

int psf_window_half(int n, int w) {
    if (w < 1 || w > n - 1) w = n - 1;
    if (w % 2 == 0) --w;
    return std::max(w, 0) / 2;
}

void psf_centroid(double* const* grid, double* x, double* y, int n, int window) {
    const int h = psf_window_half(n, window);
    double S = 0.0, Sx = 0.0, Sy = 0.0;
    for (int row = n / 2 - h; row <= n / 2 + h; ++row) {
        for (int c = n / 2 - h; c <= n / 2 + h; ++c) {
            if (row < 0 || row >= n || c < 0 || c >= n) continue;
            const double I = grid[row][c];
            S += I;
            Sx += (c - n / 2) * I;
            Sy += (n / 2 - row) * I;
        }
    }
    *x = S >= kTiny ? Sx / S : 0.0;
    *y = S >= kTiny ? Sy / S : 0.0;
}

namespace {

constexpr double kCentreGrid = 1048576.0;

// The smallest k with dx^2 + dy^2 <= k^2.
int circle_ring(double dx, double dy) {
    const double d2 = dx * dx + dy * dy;
    int k = static_cast<int>(std::ceil(std::sqrt(d2)));
    while (k > 0 && static_cast<double>(k - 1) * (k - 1) >= d2) --k;
    while (static_cast<double>(k) * k < d2) ++k;
    return k;
}

// The smallest k with |dx| <= k and |dy| <= k.
int square_ring(double dx, double dy) {
    return static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy))));
}

int energy_stats(const PsfGridView& view, double* values, double step, int count, int mode,
                 bool square) {
    double* const* grid = view.cells;
    const int n = view.n;
    double x0 = view.x0, y0 = view.y0;
    const int h = psf_window_half(n, view.window);
    if (!std::isfinite(x0) || !std::isfinite(y0) || std::fabs(x0) > n || std::fabs(y0) > n) {
        x0 = y0 = 0.0;
    }
    // The farthest window cell from the centre: a circle of this radius (a square of this
    // half-width) holds all the window's energy. The rings must reach it, or the corners of the
    // window would count in no ring and the curve would never come to 1.
    const double ox = std::fabs(x0), oy = std::fabs(y0);
    const double reach = square ? h + std::max(ox, oy) : std::hypot(h + ox, h + oy);
    const double reach_abscissa = square ? 2.0 * reach : reach;
    const int K = static_cast<int>(std::floor(reach)) + 2;
    std::vector<double> ring, abscissa, second;
    try {
        ring.assign(K + 1, 0.0);
        abscissa.assign(K + 1, 0.0);
        second.assign(K + 1, 0.0);
    } catch (const std::bad_alloc&) {
        return -10;
    }
    // The centroid of a symmetric spot comes out a rounding residue away from its true centre
    // (1e-16 cells); taken as it is, the cells lying exactly k cells out would fall on either
    // side of ring k by the residue's sign and a symmetric spot would get lopsided rings. On a
    // grid of 2^-20 cells the centres of symmetric spots (whole and half cells) are exact.
    x0 = std::nearbyint(x0 * kCentreGrid) / kCentreGrid;
    y0 = std::nearbyint(y0 * kCentreGrid) / kCentreGrid;
    for (int row = n / 2 - h; row <= n / 2 + h; ++row) {
        for (int c = n / 2 - h; c <= n / 2 + h; ++c) {
            if (row < 0 || row >= n || c < 0 || c >= n) continue;
            const double I = grid[row][c];
            const double dx = (c - n / 2) - x0, dy = (n / 2 - row) - y0;
            // Ring k holds the cells within k of the centre (the circle dx^2 + dy^2 <= k^2, the
            // square |dx|, |dy| <= k) that no smaller ring holds. A circle or square of size 0
            // encloses nothing, so a cell right on the centre counts from ring 1 and the curve
            // starts at 0.
            const int k = std::max(square ? square_ring(dx, dy) : circle_ring(dx, dy), 1);
            if (k <= K) ring[k] += I;
        }
    }
    double running = 0.0;
    for (int k = 0; k <= K; ++k) {
        running += ring[k];
        ring[k] = running;
        abscissa[k] = square ? 2.0 * k : k;
    }
    // Every window cell is in a ring, so the last sum is the total; dividing by that very sum
    // ends the curve at exactly 1, which a total added up in another order would miss.
    const double total = ring[K];
    if (total >= kTiny) {
        for (int k = 0; k <= K; ++k) ring[k] /= total;
    }
    if (mode == 0) {
        const int r = spline_coefficients(abscissa.data(), ring.data(), K + 1, 0.0, kSplineNoSlope,
                                          second.data());
        if (r != 0) return r;
        for (int i = 0; i < count; ++i) {
            const double at = i * step;
            double v = 1.0;
            if (at <= abscissa[K])
                spline_eval(abscissa.data(), ring.data(), second.data(), K + 1, at, &v);
            values[i] = v;
        }
    } else {
        for (int i = 0; i < count; ++i) {
            double e = i * step;
            // A row that lands a rounding error past the whole energy still asks for all of it.
            if (e > ring[K] && e - ring[K] <= kEnergyRounding) e = ring[K];
            double v = 0.0;
            if (e <= ring[K]) {
                int k = 0;
                while (k < K && e > ring[k]) ++k;
                if (k == 0 || ring[k] <= ring[k - 1]) {
                    v = abscissa[k == 0 ? 0 : k - 1];
                } else {
                    v = abscissa[k - 1] + (abscissa[k] - abscissa[k - 1]) * (e - ring[k - 1]) /
                                              (ring[k] - ring[k - 1]);
                }
                // The last ring reaches past the farthest cell; no energy lies beyond that cell.
                v = std::min(v, reach_abscissa);
            }
            values[i] = v;
        }
    }
    return 0;
}

}  // namespace

int psf_width_stats(const PsfGridView& grid, double* values, double step, int count, int mode) {
    return energy_stats(grid, values, step, count, mode, false);
}

int psf_energy_stats(const PsfGridView& grid, double* values, double step, int count, int mode) {
    return energy_stats(grid, values, step, count, mode, true);
}
