#include "trace/surface_probes.h"
#include "trace/special_surfaces.h"

#include <cmath>

#include "lens/lens_data.h"
#include "lens/thermal_expansion.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/drawing_buffers.h"
#include "trace/paraxial_trace.h"
#include "trace/sag_point.h"
#include "trace/surface_frames.h"
#include "trace/surface_sag.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr double kMillimetresPerMicrometre = 0.001;
// Buchdahl's constant of the chromatic coordinate, in micrometres.
constexpr double kBuchdahlWavelength = 0.187;

bool surface_in_lens(int n) {
    return n >= 0 && n <= lens_data().image_surface;
}

double sag_at(int n, double x, double y) {
    SagPoint p{};
    surface_sag_normal(surface(n), x, y, p);
    return p.z;
}

void cell(double v) {
    paraxial_number_cell(v);
}

double coefficient(const GrinRecord& g, int row, int w) {
    if (g.coefficients == nullptr || g.coefficients[row] == nullptr) return 0.0;
    return g.coefficients[row][w];
}

double polynomial4(const GrinRecord& g, int first_row, int w, double v) {
    double sum = 0.0, power = v;
    for (int k = 0; k < 4; ++k) {
        sum += coefficient(g, first_row + k, w) * power;
        power *= v;
    }
    return sum;
}

double grd_index(const GrinRecord& g, int w, double z, double base) {
    constexpr int kGnz = 16;  // GNZ0 after GRA, GRB, GRC and GRD (four each)
    const double t = std::fabs(g.gmz) > kZeroDenominator ? (z + g.goz) / g.gmz : z + g.goz;
    double n0 = 0.0, power = 1.0;
    for (int k = 0; k < 12; ++k) {
        n0 += g.grd[kGnz + k] * power;
        power *= t;
    }
    const LensData& lens = lens_data();
    const double lambda = w < lens.wavelength_count ? lens.wavelengths[w].wavelength : g.gwv;
    const double dl = lambda - g.gwv;
    double n = n0;
    if (std::fabs(dl) > kZeroDenominator) {
        const double ref = g.gwv - kBuchdahlWavelength;
        const double a = std::fabs(ref) < kZeroDenominator ? 1.0 : 1.0 / ref;
        const double den = 1.0 + a * dl;
        const double omega = std::fabs(den) < kZeroDenominator ? dl : dl / den;
        double op = omega;
        for (int j = 0; j < 4; ++j) {
            n += op * (g.grd[j] * n0 * n0 * n0 + g.grd[4 + j] * n0 * n0 + g.grd[8 + j] * n0 +
                       g.grd[12 + j]);
            op *= omega;
        }
    }
    return n < kZeroDenominator ? base : n;
}

}  // namespace

double distance_between_surface_points(int i, int j, double y_i, double y_j, double x_i, double x_j,
                                       double& z_i, double& z_j, double& dx, double& dy,
                                       double& dz) {
    if (!lens_data().frames_valid) build_surface_frames(0);
    z_i = sag_at(i, x_i, y_i);
    z_j = sag_at(j, x_j, y_j);
    double p0[3] = {x_i, y_i, z_i};
    double p1[3] = {x_j, y_j, z_j};
    if (i != j) {
        const int gcs = lens_data().global_coordinate_surface;
        frame_point_between_surfaces(p0, i, gcs, 1);
        frame_point_between_surfaces(p1, j, gcs, 1);
    }
    // The lens drawing marks the two points: scratch rows 0 and 1 of its point buffer.
    set_drawing_point(0, p0[0], p0[1], p0[2]);
    set_drawing_point(1, p1[0], p1[1], p1[2]);
    dx = p1[0] - p0[0];
    dy = p1[1] - p0[1];
    dz = p1[2] - p0[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

int diffractive_phase_at(int n, double y, double x, double& phase, double& period_y,
                         double& period_x) {
    phase = period_y = period_x = 0.0;
    const SurfaceRecord& s = surface(n);
    const LensData& lens = lens_data();
    const double m = s.diffraction_order;
    if (s.grating_spacing != 0.0) {
        const double d = s.grating_spacing;
        phase = std::fabs(d) < kZeroDenominator ? 0.0 : m * y / d;
        period_y = d;
        return 0;
    }
    auto periods = [&](double lambda, double gy, double gx) {
        period_y = std::fabs(gy) < kZeroDenominator ? 0.0 : lambda / gy;
        period_x = std::fabs(gx) < kZeroDenominator ? 0.0 : lambda / gx;
    };
    if (const HologramRecord* h = s.hologram) {
        const double z = sag_at(n, x, y);
        const double* A = h->first_point;
        const double* B = h->second_point;
        const double s1 = h->first_point_virtual ? -1.0 : 1.0;
        const double s2 = h->second_point_virtual ? -1.0 : 1.0;
        auto norm = [](double a, double b, double c) { return std::sqrt(a * a + b * b + c * c); };
        const double d1 = norm(x - A[0], y - A[1], z - A[2]);
        const double d2 = norm(x - B[0], y - B[1], z - B[2]);
        const double L1 = norm(A[0], A[1], A[2]) + d1, L2 = norm(B[0], B[1], B[2]) + d2;
        const double Q = x * x + y * y + z * z;
        const double q1 = 2.0 * (x * A[0] + y * A[1] + z * A[2]);
        const double q2 = 2.0 * (x * B[0] + y * B[1] + z * B[2]);
        const bool use1 = std::fabs(L1) >= kZeroDenominator,
                   use2 = std::fabs(L2) > kZeroDenominator;
        double W = 0.0, gx = 0.0, gy = 0.0;
        const double G1 = 2.0 * L1 - (d1 < kZeroDenominator ? 0.0 : (Q - q1) / d1);
        const double G2 = 2.0 * L2 - (d2 < kZeroDenominator ? 0.0 : (Q - q2) / d2);
        if (use1) {
            W += s1 * (Q - q1) / L1;
            gx += s1 * G1 * (x - A[0]) / (L1 * L1);
            gy += s1 * G1 * (y - A[1]) / (L1 * L1);
        }
        if (use2) {
            W -= s2 * (Q - q2) / L2;
            gx -= s2 * G2 * (x - B[0]) / (L2 * L2);
            gy -= s2 * G2 * (y - B[1]) / (L2 * L2);
        }
        const double lambda = h->wavelength * kMillimetresPerMicrometre / lens.units;
        if (std::fabs(lambda) >= kZeroDenominator) phase = h->order * W / lambda;
        periods(lambda, gy, gx);
        return 0;
    }
    if (const DiffractiveRecord* d = s.diffractive) {
        double W, gx, gy;
        if (!diffractive_phase_polynomial(*d, x, y, W, gx, gy)) return 0;
        const double lambda = d->design_wavelength * kMillimetresPerMicrometre / lens.units;
        if (std::fabs(lambda) >= kZeroDenominator) phase = m * W / lambda;
        periods(lambda, gy, gx);
    }
    return 0;
}

int grin_index_at(int n, int w, double x, double y, double z, double* index) {
    const SurfaceRecord& s = surface(n);
    const double base = s.index != nullptr ? s.index[w] : 1.0;
    *index = base;
    const GrinRecord* g = s.grin;
    if (g == nullptr) return 0;
    const double r2 = x * x + y * y;
    constexpr int kR = 0, kZ = 4;
    switch (g->kind) {
        case kGrinArg:
            *index = base + polynomial4(*g, kR, w, r2) + polynomial4(*g, kZ, w, z);
            break;
        case kGrinWod:
            *index = base + coefficient(*g, kR, w) * r2;
            break;
        case kGrinAeg:
            *index = base +
                     polynomial4(*g, kR, w, g->aeg_weights[0] * x * x + g->aeg_weights[1] * y * y) +
                     polynomial4(*g, kZ, w, z);
            break;
        case kGrinSns: {
            const double f =
                1.0 + g->sns_values[0] * std::sin(g->sns_values[1] * z + g->sns_values[2]);
            *index = base + polynomial4(*g, kR, w, r2 * f) + polynomial4(*g, kZ, w, z);
            break;
        }
        case kGrinTap: {
            const double f = 1.0 + g->tap_values[0] * z + g->tap_values[1];
            *index = base + polynomial4(*g, kR, w, r2 * f) + polynomial4(*g, kZ, w, z);
            break;
        }
        case kGrinSel: {
            const double r1 = coefficient(*g, kR, w);
            const double t = r1 * r1 * r2;
            const double n2 = base * base *
                              (1.0 - t + coefficient(*g, kR + 1, w) * t * t +
                               coefficient(*g, kR + 2, w) * t * t * t +
                               coefficient(*g, kR + 3, w) * t * t * t * t);
            *index = n2 >= kZeroDenominator ? std::sqrt(n2) : base;
            break;
        }
        case kGrinGrd:
            *index = grd_index(*g, w, z, base);
            break;
        default:
            break;
    }
    return 0;
}

double grin_index_gradient(int n, int w, double dt, double x, double y, double z, double g[3]) {
    double index;
    grin_index_at(n, w, x, y, z, &index);
    g[0] = g[1] = g[2] = 0.0;
    const SurfaceRecord& s = surface(n);
    const GrinRecord* grin = s.grin;
    if (grin == nullptr) return index;
    const double base = s.index != nullptr ? s.index[w] : 1.0;
    const double r2 = x * x + y * y;
    constexpr int kR = 0, kZ = 4;
    const double scale = dt * index;
    // d/drho of R1 rho + R2 rho^2 + R3 rho^3 + R4 rho^4, and d/dz of the axial polynomial.
    auto radial_slope = [&](double rho) {
        return coefficient(*grin, kR, w) + 2.0 * coefficient(*grin, kR + 1, w) * rho +
               3.0 * coefficient(*grin, kR + 2, w) * rho * rho +
               4.0 * coefficient(*grin, kR + 3, w) * rho * rho * rho;
    };
    auto axial_slope = [&]() {
        return coefficient(*grin, kZ, w) + 2.0 * coefficient(*grin, kZ + 1, w) * z +
               3.0 * coefficient(*grin, kZ + 2, w) * z * z +
               4.0 * coefficient(*grin, kZ + 3, w) * z * z * z;
    };
    switch (grin->kind) {
        case kGrinArg: {
            const double p = radial_slope(r2);
            g[0] = scale * 2.0 * p * x;
            g[1] = scale * 2.0 * p * y;
            g[2] = scale * axial_slope();
            break;
        }
        case kGrinAeg: {
            const double wx = grin->aeg_weights[0], wy = grin->aeg_weights[1];
            const double p = radial_slope(wx * x * x + wy * y * y);
            g[0] = scale * 2.0 * p * x * wx;
            g[1] = scale * 2.0 * p * y * wy;
            g[2] = scale * axial_slope();
            break;
        }
        case kGrinSns: {
            const double A = grin->sns_values[0], B = grin->sns_values[1], C = grin->sns_values[2];
            const double f = 1.0 + A * std::sin(B * z + C);
            const double p = radial_slope(r2 * f);
            g[0] = scale * 2.0 * p * x * f;
            g[1] = scale * 2.0 * p * y * f;
            g[2] = scale * (axial_slope() + p * r2 * A * B * std::cos(B * z + C));
            break;
        }
        case kGrinTap: {
            const double D = grin->tap_values[0], E = grin->tap_values[1];
            const double f = 1.0 + D * z + E;
            const double p = radial_slope(r2 * f);
            g[0] = scale * 2.0 * p * x * f;
            g[1] = scale * 2.0 * p * y * f;
            g[2] = scale * (axial_slope() + p * r2 * D);
            break;
        }
        case kGrinWod: {
            const double r1 = coefficient(*grin, kR, w);
            g[0] = scale * 2.0 * r1 * x;
            g[1] = scale * 2.0 * r1 * y;
            break;
        }
        case kGrinSel: {
            const double r1 = coefficient(*grin, kR, w);
            const double t = r1 * r1 * r2;
            const double f = dt * base * base * r1 * r1 *
                             (-1.0 + 2.0 * coefficient(*grin, kR + 1, w) * t +
                              3.0 * coefficient(*grin, kR + 2, w) * t * t +
                              4.0 * coefficient(*grin, kR + 3, w) * t * t * t);
            g[0] = f * x;
            g[1] = f * y;
            break;
        }
        case kGrinGrd: {
            constexpr int kGnz = 16;
            const bool scaled = std::fabs(grin->gmz) > kZeroDenominator;
            const double t = scaled ? (z + grin->goz) / grin->gmz : z + grin->goz;
            double n0 = 0.0, dn0 = 0.0, power = 1.0;
            for (int k = 0; k < 12; ++k) {
                n0 += grin->grd[kGnz + k] * power;
                if (k + 1 < 12) dn0 += (k + 1) * grin->grd[kGnz + k + 1] * power;
                power *= t;
            }
            const LensData& lens = lens_data();
            const double lambda =
                w < lens.wavelength_count ? lens.wavelengths[w].wavelength : grin->gwv;
            const double dl = lambda - grin->gwv;
            double dn_dn0 = 1.0;
            if (std::fabs(dl) > kZeroDenominator) {
                const double ref = grin->gwv - kBuchdahlWavelength;
                const double a = std::fabs(ref) < kZeroDenominator ? 1.0 : 1.0 / ref;
                const double den = 1.0 + a * dl;
                const double omega = std::fabs(den) < kZeroDenominator ? dl : dl / den;
                double op = omega;
                for (int j = 0; j < 4; ++j) {
                    dn_dn0 += op * (3.0 * grin->grd[j] * n0 * n0 + 2.0 * grin->grd[4 + j] * n0 +
                                    grin->grd[8 + j]);
                    op *= omega;
                }
            }
            g[2] = scale * dn_dn0 * dn0 / (scaled ? grin->gmz : 1.0);
            break;
        }
        default:
            // Media whose model the program does not have are traced as homogeneous.
            break;
    }
    return index;
}

int cmd_surface_point_distance() {
    const int i = arg_int(0), j = arg_int(1);
    if (!surface_in_lens(i) || !surface_in_lens(j)) {
        set_error_msg(kMsgSurfaceNumberRange, lens_data().image_surface);
        return kErrorTextReady;
    }
    const double yi = arg_double(2), yj = arg_double(3), xi = arg_double(4), xj = arg_double(5);
    double zi, zj, dx, dy, dz;
    const double d = distance_between_surface_points(i, j, yi, yj, xi, xj, zi, zj, dx, dy, dz);
    print_msg(kMsgDistanceFrom);
    text_printf("%3d", i);
    print_msg(kMsgDistanceTo);
    text_printf("%3d", j);
    text_newline();
    print_msg(kMsgDistancePoints);
    text_newline();
    for (const double v : {yi, yj, xi, xj, zi, zj}) cell(v);
    text_newline();
    print_msg(kMsgDistanceDifferences);
    text_newline();
    for (const double v : {dx, dy, dz, d}) cell(v);
    text_newline();
    return 0;
}

// The probes below index the lens with their surface number: one outside it is refused as the
// distance command refuses it.
int refuse_outside(int n) {
    if (surface_in_lens(n)) return 0;
    set_error_msg(kMsgSurfaceNumberRange, lens_data().image_surface);
    return kErrorTextReady;
}

int cmd_surface_sag() {
    const int n = arg_int(0);
    if (const int rc = refuse_outside(n); rc != 0) return rc;
    const double y = arg_double(1), x = arg_double(2);
    SagPoint p{};
    surface_sag_normal(surface(n), x, y, p);
    print_msg(kMsgSagHeading, n);
    text_newline();
    print_msg(kMsgSagColumns);
    text_newline();
    for (const double v : {y, x, p.z, p.ny, p.nx, p.nz}) cell(v);
    text_newline();
    return 0;
}

int cmd_diffractive_phase() {
    const int n = arg_int(0);
    if (const int rc = refuse_outside(n); rc != 0) return rc;
    const double y = arg_double(1), x = arg_double(2);
    double phase, py, px;
    diffractive_phase_at(n, y, x, phase, py, px);
    print_msg(kMsgPhaseHeading, n);
    text_newline();
    print_msg(kMsgPhaseColumns);
    text_newline();
    for (const double v : {y, x, phase, py, px}) cell(v);
    text_newline();
    return 0;
}

int cmd_grin_index() {
    const int n = arg_int(0);
    if (const int rc = refuse_outside(n); rc != 0) return rc;
    int w = arg_int(1) - 1;
    if (w < 0 || w >= lens_data().wavelength_count) w = 0;
    const double y = arg_double(2), x = arg_double(3), z = arg_double(4);
    double index = 0.0;
    grin_index_at(n, w, x, y, z, &index);
    print_msg(kMsgIndexHeading, n, w + 1);
    text_newline();
    print_msg(kMsgIndexColumns);
    text_newline();
    for (const double v : {y, x, z, index}) cell(v);
    text_newline();
    return 0;
}

namespace {

// The thermal expansion asks with x before y and pointers for the results; the same distance.
double distance_for_expansion(int i, int j, double x_i, double x_j, double y_i, double y_j,
                              double* z_i, double* z_j, double* dx, double* dy, double* dz) {
    return distance_between_surface_points(i, j, y_i, y_j, x_i, x_j, *z_i, *z_j, *dx, *dy, *dz);
}

}  // namespace

void install_surface_probes() {
    set_surface_point_distance(distance_for_expansion);
    set_handler(kSlotSurfacePointDistance, cmd_surface_point_distance);
    set_handler(kSlotSurfaceSag, cmd_surface_sag);
    set_handler(kSlotDiffractivePhase, cmd_diffractive_phase);
    set_handler(kSlotGrinIndex, cmd_grin_index);
    paraxial_hooks().grin_index_at = grin_index_at;
}
