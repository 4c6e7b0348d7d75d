#include "trace/paraxial_setup_pass.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "runtime/messages.h"
#include "trace/lens_setup.h"
#include "trace/paraxial_trace.h"
#include "trace/solves_pickups.h"

namespace {

constexpr double kZero = 1e-40;
constexpr double kTinyObjectDistance = 1e-20;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kNearlyRightAngle = 1.5706217938696971;  // 89.99 degrees
constexpr double kHyperbolicLimit = 500.0;

constexpr int kGrinRowRadial1 = 0;  // NR1
constexpr int kGrinRowAxial1 = 4;   // NZ1..NZ4 follow

bool in_lens(int n) {
    return n >= 0 && n <= lens_data().image_surface;
}

double index_at_w1(int n) {
    const double* index = surface(n).index;
    return index != nullptr ? index[0] : 1.0;
}

bool solves_active() {
    const LensData& l = lens_data();
    return l.current_configuration <= 1 || l.solves_all_configurations != 0;
}

// The gradient index behind surface n on its axis at distance z; false when it cannot be had
// (the service is not there: reported once per surface and pass, however often the pass asks).
bool grin_sample(int n, double z, double* value, SetupPass& p) {
    if (paraxial_hooks().grin_index_at == nullptr) {
        std::vector<int>& reported = p.grin_unavailable_reported;
        if (std::find(reported.begin(), reported.end(), n) == reported.end()) {
            msg_box(kMsgGrinUnavailable, n);
            reported.push_back(n);
        }
        return false;
    }
    return paraxial_hooks().grin_index_at(n, 0, 0.0, 0.0, z, value) == 0;
}

double grin_row(const GrinRecord& g, int row) {
    if (g.coefficients == nullptr || g.coefficients[row] == nullptr) return 0.0;
    return g.coefficients[row][0];
}

bool radial_grin_kind(int kind) {
    return kind == kGrinArg || kind == kGrinWod || kind == kGrinAeg || kind == kGrinSns ||
           kind == kGrinTap || kind == kGrinSel;
}

bool axial_grin_kind(int kind) {
    return kind == kGrinArg || kind == kGrinAeg || kind == kGrinSns || kind == kGrinTap;
}

// The index before surface j over the index behind it, at the first wavelength: -1 where the
// ray turns back, 1 where it passes unrefracted (inside a non-sequential group, at the image).
double index_ratio(int j, SetupPass& p) {
    const SurfaceRecord& s = surface(j);
    if (s.group_kind == kGroupNonSequential && s.group_role == kRoleInner) return 1.0;
    if (s.medium_kind == kMediumMirror || s.tir_only != 0) return -1.0;
    if (j == lens_data().image_surface) return 1.0;
    double n = index_at_w1(j);
    if (s.grin != nullptr && s.grin->kind == kGrinGrd) {
        double at_vertex = 0;
        if (grin_sample(j, 0.0, &at_vertex, p)) n = at_vertex;
    }
    if (std::fabs(n) < kZero) return 1.0;
    return p.n_prev / n;
}

// The sign of the index behind j: flipped by every mirror on the way from surface 1.
double medium_sign(int j) {
    const int image = lens_data().image_surface;
    double sign = 1.0;
    int m = 1;
    for (int steps = 0; m <= j && steps <= image + 1; ++steps) {
        const SurfaceRecord& s = surface(m);
        if (s.medium_kind == kMediumMirror || s.tir_only != 0) sign = -sign;
        int next = m + 1;
        if (s.group_kind == kGroupNonSequential && s.group_role == kRoleFirst) {
            const int end = group_end_surface(m);
            if (end > m) next = end;
        } else if (next <= image) {
            const int link = surface(next).skip_to;
            if (link > next && link <= image) next = link;
        }
        m = next;
    }
    return sign;
}

// The optical power of a diffractive or holographic surface j; false when it has none.
bool diffractive_power(int j, double* power) {
    const SurfaceRecord& s = surface(j);
    const LensData& l = lens_data();
    const double w1 = l.wavelengths != nullptr ? l.wavelengths[0].wavelength : 0.0;
    const DiffractiveRecord* d = s.diffractive;
    if (d != nullptr && (d->kind == kDiffractiveRadial || d->kind == kDiffractiveZernike) &&
        d->entered_count >= 2) {
        *power = 0.0;
        if (std::fabs(d->design_wavelength) < kZero) {
            msg_box(kMsgZeroDesignWavelength, j);
            return true;
        }
        const double coefficient = d->working_count >= 2 ? d->working[1] : 0.0;
        *power = s.diffraction_order * coefficient * w1 * -2.0 / d->design_wavelength;
        return true;
    }
    if (s.hologram != nullptr) {
        const HologramRecord& h = *s.hologram;
        *power = 0.0;
        if (std::fabs(h.wavelength) < kZero) {
            msg_box(kMsgZeroHologramWavelength, j);
            return true;
        }
        auto point = [](double z, int virtual_point) {
            if (std::fabs(z) < kZero) return 0.0;
            const double v = 1.0 / std::fabs(z);
            return virtual_point == 0 ? -v : v;
        };
        const double h1 = point(h.first_point[2], h.first_point_virtual);
        const double h2 = point(h.second_point[2], h.second_point_virtual);
        *power = (h1 - h2) * h.order * w1 / h.wavelength;
        return true;
    }
    return false;
}

// The axial and chief rays bent at surface j (the x-z section too when with_x): by a perfect
// lens's power, by the curvature with a diffractive surface's power, or by refraction at the
// curvature.
void refract(int j, double r, SetupPass& p, bool with_x) {
    const SurfaceRecord& s = surface(j);
    const double c = s.curvature;
    const double cx = (s.shape == kShapeSpecialBase || s.toric != 0) ? s.x_curvature : c;
    if (s.perfect_lens != nullptr) {
        const double f = s.perfect_lens->focal_length;
        const double power = std::fabs(f) < kZero ? 0.0 : 1.0 / f;
        p.ua -= p.ya * power;
        p.uc -= p.yc * power;
        if (with_x) {
            p.xua -= p.xya * power;
            p.xuc -= p.xyc * power;
        }
        return;
    }
    double power = 0.0;
    if (diffractive_power(j, &power)) {
        const double n = index_at_w1(j);
        const double sign = medium_sign(j);
        const double inv = std::fabs(n) < kZero ? 0.0 : sign / n;
        const double phi = (1.0 - r) * c + power * inv;
        const double phi_x = (1.0 - r) * cx + power * inv;
        p.ua = r * p.ua - phi * p.ya;
        p.uc = r * p.uc - phi * p.yc;
        if (with_x) {
            p.xua = r * p.xua - phi_x * p.xya;
            p.xuc = r * p.xuc - phi_x * p.xyc;
        }
        return;
    }
    const double ia = p.ya * c + p.ua, ic = p.yc * c + p.uc;
    p.ua += (r - 1.0) * ia;
    p.uc += (r - 1.0) * ic;
    if (with_x) {
        const double xia = p.xya * cx + p.xua, xic = p.xyc * cx + p.xuc;
        p.xua += (r - 1.0) * xia;
        p.xuc += (r - 1.0) * xic;
    }
}

// The radial gradient transfer of one section over L; false when it is to be plain.
bool radial_transfer(double a, double nm, double length, double& y1, double& u1, double& y2,
                     double& u2) {
    const double g = std::sqrt(2.0 * std::fabs(a / nm));
    if (g < kZero) return false;
    double x = length * g;
    double ch, sh;
    if (a >= 0.0) {
        if (x > kHyperbolicLimit) x = kHyperbolicLimit;
        if (x < -kHyperbolicLimit) x = -kHyperbolicLimit;
        ch = std::cosh(x);
        sh = std::sinh(x);
        const double ya = ch * y1 + sh * u1 / g, ua = ch * u1 + sh * y1 * g;
        const double yb = ch * y2 + sh * u2 / g, ub = ch * u2 + sh * y2 * g;
        y1 = ya, u1 = ua, y2 = yb, u2 = ub;
    } else {
        ch = std::cos(x);
        sh = std::sin(x);
        const double ya = ch * y1 + sh * u1 / g, ua = ch * u1 - sh * y1 * g;
        const double yb = ch * y2 + sh * u2 / g, ub = ch * u2 - sh * y2 * g;
        y1 = ya, u1 = ua, y2 = yb, u2 = ub;
    }
    return true;
}

// The integral of dz / N(z) over [0, L] for N = n0 + b1 z + b2 z^2.
double reduced_length(double n0, double b1, double b2, double length) {
    if (b2 != 0.0) {
        const double d = 4.0 * b2 * n0 - b1 * b1;
        const double e = 2.0 * b2 * length + b1;
        if (std::fabs(d) < kZero) return 2.0 / b1 - 2.0 / e;
        if (d > 0.0) {
            const double q = std::sqrt(d);
            return 2.0 * (std::atan(e / q) - std::atan(b1 / q)) / q;
        }
        const double q = std::sqrt(-d);
        return (std::log(std::fabs((e - q) / (e + q))) - std::log(std::fabs((b1 - q) / (b1 + q)))) /
               q;
    }
    return (std::log(b1 * length + n0) - std::log(n0)) / b1;
}

// The rays carried from j over d (with the x-z section when with_x). Returns true when an
// axial gradient set the index in front of the next surface.
bool transfer(int j, double d, SetupPass& p, bool with_x) {
    const SurfaceRecord& s = surface(j);
    auto plain = [&] {
        p.ya += d * p.ua;
        p.yc += d * p.uc;
        if (with_x) {
            p.xya += d * p.xua;
            p.xyc += d * p.xuc;
        }
    };
    if (s.grin == nullptr) {
        plain();
        return false;
    }
    const GrinRecord& g = *s.grin;
    const double nm = index_at_w1(j);
    const double a1 = grin_row(g, kGrinRowRadial1);
    if (radial_grin_kind(g.kind) && a1 != 0.0) {
        if (std::fabs(nm) < kZero) {
            msg_box(kMsgGrinZeroIndex, j);
            plain();
            return false;
        }
        double ay = a1, ax = a1;
        if (g.kind == kGrinAeg) {
            ay = a1 * g.aeg_weights[1];
            ax = a1 * g.aeg_weights[0];
        } else if (g.kind == kGrinSel) {
            ay = ax = -nm * a1 * a1 / 2.0;
        }
        if (!radial_transfer(ay, nm, d, p.ya, p.ua, p.yc, p.uc)) {
            p.ya += d * p.ua;
            p.yc += d * p.uc;
        }
        if (with_x && !radial_transfer(ax, nm, d, p.xya, p.xua, p.xyc, p.xuc)) {
            p.xya += d * p.xua;
            p.xyc += d * p.xuc;
        }
        return false;
    }
    const bool axial = (axial_grin_kind(g.kind) && a1 == 0.0) || g.kind == kGrinGrd;
    if (!axial || std::fabs(d) < kZero) {
        plain();
        return false;
    }
    double n0 = nm, b1 = 0.0, b2 = 0.0, n_end = nm;
    if (g.kind == kGrinGrd) {
        double a = 0, m = 0, e = 0;
        if (grin_sample(j, 0.0, &a, p) && grin_sample(j, 0.5 * d, &m, p) &&
            grin_sample(j, d, &e, p)) {
            n0 = a;
            n_end = e;
            b1 = (4.0 * m - 3.0 * a - e) / d;
            b2 = 2.0 * (a - 2.0 * m + e) / (d * d);
        }
    } else {
        const double c1 = grin_row(g, kGrinRowAxial1), c2 = grin_row(g, kGrinRowAxial1 + 1);
        const double c3 = grin_row(g, kGrinRowAxial1 + 2), c4 = grin_row(g, kGrinRowAxial1 + 3);
        if (c3 != 0.0 || c4 != 0.0) {
            auto at = [&](double z) { return nm + z * (c1 + z * (c2 + z * (c3 + z * c4))); };
            const double m = at(0.5 * d);
            n_end = at(d);
            b1 = (4.0 * m - 3.0 * nm - n_end) / d;
            b2 = 2.0 * (nm - 2.0 * m + n_end) / (d * d);
        } else {
            b1 = c1;
            b2 = c2;
            n_end = nm + b1 * d + b2 * d * d;
        }
    }
    if ((b1 == 0.0 && b2 == 0.0) || std::fabs(n_end) < kZero) {
        plain();
        return false;
    }
    if (std::fabs(n0) < kZero) {
        msg_box(kMsgGrinZeroIndex, j);
        plain();
        return false;
    }
    const double reduced = n0 * reduced_length(n0, b1, b2, d);
    if (!std::isfinite(reduced)) {
        // The fitted index passes through zero inside the medium.
        msg_box(kMsgGrinZeroIndex, j);
        plain();
        return false;
    }
    const double scale = n0 / n_end;
    p.ya += p.ua * reduced;
    p.yc += p.uc * reduced;
    p.ua *= scale;
    p.uc *= scale;
    if (with_x) {
        p.xya += p.xua * reduced;
        p.xyc += p.xuc * reduced;
        p.xua *= scale;
        p.xuc *= scale;
    }
    p.n_prev = n_end;
    return true;
}

// The vertex position of k, the surface the walk reaches after j: a decentre reference or a
// coordinate return places it relative to another surface instead of behind j.
double vertex_of_next(int j, int k) {
    const LensData& l = lens_data();
    SurfaceRecord& sj = surface(j);
    const SurfaceRecord& sk = surface(k);
    const double dcz = sk.decentre != nullptr ? sk.decentre->dcz : 0.0;
    if (sk.decentre_reference != nullptr) {
        const int ref = sk.decentre_reference->pickup_source;
        const bool no_link = j + 1 > l.image_surface || surface(j + 1).skip_to == 0;
        if (l.current_configuration <= 1 && no_link) sj.thickness = 0.0;
        return (in_lens(ref) ? surface(ref).vertex_position : 0.0) + dcz;
    }
    if (sj.return_coordinates == nullptr) return sj.vertex_position + sj.thickness + dcz;
    int back = sj.return_coordinates->pickup_source;
    if (back == j && sj.decentre_reference != nullptr) back = sj.decentre_reference->pickup_source;
    const double base = in_lens(back) ? surface(back).vertex_position : sj.vertex_position;
    return base + sj.thickness + dcz;
}

// A computed aperture holds both rays; cut_to_hemisphere then keeps it on the sphere once the
// curvature is settled.
void size_aperture(SurfaceRecord& s, const SetupPass& p) {
    s.aperture_radius = std::fabs(p.ya) + std::fabs(p.yc) + kZero;
}

void cut_to_hemisphere(SurfaceRecord& s) {
    const double c = s.curvature;
    if (s.aperture_kind == kApertureComputed && std::fabs(c * s.aperture_radius) >= 1.0) {
        s.aperture_radius = 1.0 / std::fabs(c) - kZero;
    }
}

void copy_aperture_pickup(SurfaceRecord& s) {
    if (s.aperture_kind == kAperturePickup && in_lens(s.aperture_source)) {
        s.aperture_radius = surface(s.aperture_source).aperture_radius;
    }
}

// The curvature of a pickup or solve. A pickup or solve that cannot be had is reported and
// turned back into a plain curvature, so that the pass goes on with the value the surface had.
void curvature_step(int j, double r, const SetupPass& p) {
    SurfaceRecord& s = surface(j);
    const int kind = s.curvature_kind;
    const double before = s.curvature;
    int rc = 0;
    if (kind == kCurvaturePickup || kind == kCurvaturePickupNegated) {
        rc = in_lens(s.curvature_source) ? apply_curvature_pickup(surface(s.curvature_source), s)
                                         : kMsgPickupSourceOutside;
    } else if (solves_active()) {
        const bool before_stop = !p.telecentric_object && j < lens_data().aperture_stop;
        const SolveRay ray{p.ya, p.ua, p.yc, p.uc, r};
        double c = s.curvature;
        rc = solve_curvature(kind, s.curvature_solve_value, ray, before_stop, &c);
        if (rc == 0) s.curvature = c;
    }
    if (rc != 0) {
        msg_box(rc, j);
        s.curvature = before;
        s.curvature_solve_value = 0.0;
        s.curvature_source = 0;
        s.curvature_kind = kCurvaturePlain;
    }
}

void refresh_shape(int n) {
    surface_shape_steps(n);
}

// The thickness of a pickup, length or solve, turned back into a plain thickness when it cannot
// be had (reported). special_error, an error of j's special data, is shown after any message
// of the thickness.
void thickness_step(int j, const SetupPass& p, int special_error) {
    SurfaceRecord& s = surface(j);
    const double before = s.thickness;
    const double v = s.thickness_solve_value;
    const bool before_stop = !p.telecentric_object && j < lens_data().aperture_stop;
    int rc = 0;
    switch (s.thickness_kind) {
        case kThicknessPickup:
        case kThicknessPickupNegated:
            if (!in_lens(s.thickness_source)) {
                rc = kMsgPickupSourceOutside;
            } else {
                const double t = surface(s.thickness_source).thickness;
                s.thickness = s.thickness_kind == kThicknessPickup ? t + v : v - t;
            }
            break;
        case kThicknessLength:
        case kThicknessLengthNegated:
            if (!in_lens(s.thickness_source) || !in_lens(s.thickness_source2)) {
                rc = kMsgPickupSourceOutside;
            } else {
                const double length = surface(s.thickness_source2).vertex_position -
                                      surface(s.thickness_source).vertex_position;
                s.thickness = s.thickness_kind == kThicknessLength ? v + length : v - length;
            }
            break;
        case kThicknessAxialHeight:
        case kThicknessChiefHeight:
            if (solves_active()) {
                const SolveRay ray{p.ya, p.ua, p.yc, p.uc, 1.0};
                double t = s.thickness;
                rc = solve_height_thickness(s.thickness_kind, v, ray, before_stop, &t);
                if (rc == 0) s.thickness = t;
            }
            break;
        case kThicknessEdge:
            if (solves_active()) {
                double t = s.thickness;
                rc = solve_edge_thickness(j, j + 1, before_stop, refresh_shape, &t);
                if (rc == 0) s.thickness = t;
            }
            break;
        default:
            break;
    }
    if (rc != 0) {
        msg_box(rc, j);
        s.thickness = before;
        s.thickness_solve_value = s.thickness_solve_value2 = 0.0;
        s.thickness_source = s.thickness_source2 = 0;
        s.thickness_kind = kThicknessPlain;
    }
    if (special_error != 0) msg_box(special_error, j);
}

// The ports of an inner surface of a non-sequential group are cut to the group.
void check_group_ports(int j) {
    SurfaceRecord& s = surface(j);
    if (s.group_kind != kGroupNonSequential || s.group_role != kRoleInner) return;
    const int first = group_start_surface(j), last = group_end_surface(j);
    if (first <= 0 || last < first) return;
    const int length = last - first;
    const int offsets[2] = {kPortOffset1, kPortOffset2};
    const int switches[2] = {kPortSwitch1, kPortSwitch2};
    for (int i = 0; i < 2; ++i) {
        if (s.group_port_flags[switches[i]] != 1) continue;
        if (s.group_port_flags[offsets[i]] > length) {
            s.group_port_flags[offsets[i]] = static_cast<std::uint8_t>(length);
            msg_box(kMsgPortOffsetCut, j);
        }
    }
}

// At the stop the chief ray is moved to its centre: its start height and slope are corrected
// by the ratio of the two rays' heights there, and the entrance pupil follows from them.
void rescale_at_stop(SetupPass& p) {
    LensData& l = lens_data();
    const double q = p.yc / p.ya;
    p.yc = 0.0;
    l.chief_start_height = -l.axial_start_height * q;
    p.t -= p.u * q;
    p.uc -= p.ua * q;
    l.entrance_pupil_position =
        std::fabs(p.t) < kZero ? kInfiniteDistance : -l.chief_start_height / p.t;
    l.entrance_pupil_radius = std::fabs((l.entrance_pupil_position + p.t0) * p.u);
    if (std::fabs(p.xya) < kZero) {
        l.x_chief_start_height = l.chief_start_height;
        p.xyc = 0.0;
        p.xuc = p.uc;
    } else {
        const double qx = p.xyc / p.xya;
        p.xyc = 0.0;
        l.x_chief_start_height = -l.x_axial_start_height * qx;
        p.xuc -= qx * p.xua;
    }
}

}  // namespace

void paraxial_object_setup(SetupPass& p) {
    LensData& l = lens_data();
    SurfaceRecord& s0 = surface(0);
    double n0 = index_at_w1(0);
    if (std::fabs(n0) < kZero) n0 = 1.0;
    p.n0 = n0;
    double t0 = s0.thickness;
    if (std::fabs(t0) < kTinyObjectDistance) t0 = kTinyObjectDistance;
    p.t0 = t0;

    double u;
    if (l.aperture_is_na != 0) {
        double s = std::fabs(l.object_na) / n0;
        if (s >= 1.0) s = 0.05;
        u = s / std::sqrt(1.0 - s * s);
        if (t0 < 0.0) u = -u;
        l.entrance_beam_radius = u * t0;
    } else {
        u = std::fabs(l.entrance_beam_radius) / t0;
        l.object_na = std::fabs(std::sin(std::atan(u)) * n0);
    }
    l.entrance_beam_radius = std::fabs(l.entrance_beam_radius);
    l.object_na = std::fabs(l.object_na);
    p.u = u;

    l.axial_start_height = l.entrance_beam_radius;
    s0.axial_ray_height = 0.0;
    surface(1).axial_ray_height = l.entrance_beam_radius;
    s0.axial_ray_slope = u;
    surface(1).chief_ray_height = 0.0;
    l.chief_start_height = 0.0;
    l.x_axial_start_height = l.entrance_beam_radius;

    double t;
    if (l.field_is_angle != 0) {
        const double degrees = std::fabs(l.field_angle) * kDegreesPerRadian;
        if (std::fabs(degrees - 90.0) <= kZero) {
            t = std::tan(std::copysign(kNearlyRightAngle, l.field_angle));
        } else {
            t = std::tan(l.field_angle);
        }
        l.object_height = -t * t0;
    } else {
        t = -l.object_height / t0;
        l.field_angle = std::atan(t);
    }
    double x_chief_start = 0.0;
    if (p.telecentric_object) {
        l.chief_start_height = l.object_height;
        t = 0.0;
        surface(1).chief_ray_height = l.object_height;
        l.entrance_pupil_position = kInfiniteDistance;
        l.entrance_pupil_radius = std::fabs((t0 + kInfiniteDistance) * u);
        x_chief_start = l.object_height;
    }
    p.t = t;
    l.x_chief_start_height = x_chief_start;
    s0.chief_ray_slope = t;
    s0.chief_ray_height = l.object_height;
    s0.aperture_radius = std::fabs(l.object_height);

    p.ya = l.axial_start_height;
    p.ua = u;
    p.yc = l.chief_start_height;
    p.uc = t;
    p.xya = l.x_axial_start_height;
    p.xua = u;
    p.xyc = x_chief_start;
    p.xuc = t;
    s0.vertex_position = -t0;
    surface(1).vertex_position = 0.0;
    p.n_prev = n0;
}

int paraxial_setup_pass(SetupPass& p) {
    LensData& l = lens_data();
    const int image = l.image_surface;
    int j = 1;
    for (int steps = 0; steps <= 2 * (image + 1) && j <= image; ++steps) {
        SurfaceRecord& s = surface(j);
        set_lens_setup_pass_surface(j);
        // A skip link hands the pass over to its target.
        if (s.skip_to != 0) {
            if (s.skip_to > j && s.skip_to <= image) {
                if (j == 1) {
                    for (int m = 2; m <= s.skip_to; ++m) surface(m).vertex_position = 0.0;
                }
                j = s.skip_to;
                continue;
            }
            s.skip_to = 0;
        }
        check_group_ports(j);
        if (j == l.aperture_stop && !p.telecentric_object) {
            if (std::fabs(p.ya) < kZero) {
                l.failing_surface = j;
                return kMsgZeroStopHeight;
            }
            rescale_at_stop(p);
        }
        const double r = index_ratio(j, p);
        // The members of a non-sequential group after its first keep the aperture they have,
        // as a fixed one.
        if (s.aperture_kind == kApertureComputed) {
            if (s.group_kind == kGroupNonSequential &&
                (s.group_role == kRoleInner || s.group_role == kRoleLast)) {
                s.aperture_kind = kApertureFixedValue;
            } else {
                size_aperture(s, p);
            }
        } else {
            copy_aperture_pickup(s);
        }
        curvature_step(j, r, p);
        cut_to_hemisphere(s);
        if (j < l.aperture_stop) p.last_before_stop = j;
        // The special data follow the curvature just solved; an error stops the set-up only
        // after the pass, so that the surfaces behind still get their rays.
        const int special_error = surface_special_data_steps(j);
        if (special_error != 0 && p.pending_error == 0) {
            p.pending_error = special_error;
            p.pending_surface = j;
        }
        refract(j, r, p, true);
        s.axial_ray_slope = p.ua;
        s.chief_ray_slope = p.uc;
        thickness_step(j, p, special_error);
        if (j == image) break;
        // Surfaces the walk passes over (inside a non-sequential group, behind a skip link)
        // stand at the vertex of the one it leaves.
        const int k = next_walk_surface(j);
        for (int m = j + 1; m < k; ++m) surface(m).vertex_position = s.vertex_position;
        surface(k).vertex_position = vertex_of_next(j, k);
        double d = surface(k).vertex_position - s.vertex_position;
        if (k == image) d += surface(image).thickness;
        const bool axial_grin = transfer(j, d, p, true);
        surface(k).axial_ray_height = p.ya;
        surface(k).chief_ray_height = p.yc;
        if (!axial_grin && s.tir_only == 0) p.n_prev = index_at_w1(j);
        j = k;
    }
    return 0;
}

void paraxial_second_pass(SetupPass& p) {
    LensData& l = lens_data();
    const int image = l.image_surface;
    p.ya = l.axial_start_height;
    p.ua = p.u;
    p.yc = l.chief_start_height;
    p.uc = p.t;
    surface(1).axial_ray_height = p.ya;
    surface(1).chief_ray_height = p.yc;
    surface(0).axial_ray_slope = p.u;
    surface(0).chief_ray_slope = p.t;
    p.n_prev = p.n0;
    int j = 1;
    for (int steps = 0; steps <= 2 * (image + 1) && j < image; ++steps) {
        SurfaceRecord& s = surface(j);
        if (s.skip_to > j && s.skip_to <= image) {
            j = s.skip_to;
            continue;
        }
        if (j <= p.last_before_stop && s.aperture_kind == kApertureComputed) {
            size_aperture(s, p);
            cut_to_hemisphere(s);
        }
        copy_aperture_pickup(s);
        const double r = index_ratio(j, p);
        refract(j, r, p, false);
        s.axial_ray_slope = p.ua;
        s.chief_ray_slope = p.uc;
        const int k = next_walk_surface(j);
        double d = surface(k).vertex_position - s.vertex_position;
        if (k == image) d += surface(image).thickness;
        const bool axial_grin = transfer(j, d, p, false);
        surface(k).axial_ray_height = p.ya;
        surface(k).chief_ray_height = p.yc;
        if (!axial_grin && s.tir_only == 0) p.n_prev = index_at_w1(j);
        j = k;
    }
}

void paraxial_exit_pupil(const SetupPass& p) {
    LensData& l = lens_data();
    const int image = l.image_surface;
    double position = std::fabs(p.uc) < kZero ? kInfiniteDistance : -p.yc / p.uc;
    l.exit_pupil_radius = std::fabs(position * p.ua + p.ya);
    if (image >= 1) position += surface(image - 1).thickness + surface(image).thickness;
    l.exit_pupil_position = position;
    l.image_axial_slope = p.ua;
    l.image_chief_slope = p.uc;
    l.entrance_pupil_semi_diameter = l.entrance_pupil_radius;
}
