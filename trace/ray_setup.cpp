// Set-up of a ray at the object surface: the start point on the tangent plane of surface 1
// (or the object point itself in the angle mode), the direction, the start length and the
// start optical path.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "lens/lens_data.h"
#include "trace/lane_paths.h"
#include "trace/lane_trace.h"
#include "trace/ray_frames.h"
#include "trace/ray_media.h"
#include "trace/ray_trace.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr int kPupilBoundsPerSlot = 5;
constexpr double kDegrees = 0.017453292519943295;

// 1 / d for the object distance d, which changes with the object point, not from ray to ray:
// kept with the bits of the d it came from, so the result is the one the division gives, and the
// division leaves the chain every ray's start direction waits on.
double reciprocal_object_distance(double d) {
    static std::uint64_t d_bits = 0;  // +0.0, which never passes the caller's guard
    static double reciprocal = 0.0;
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    if (bits != d_bits) {
        d_bits = bits;
        reciprocal = 1.0 / d;
    }
    return reciprocal;
}

bool is_kind(const RayRecord& ray, RayKind a, RayKind b) {
    return ray.kind == a || ray.kind == b;
}

bool derivative_kind(const RayRecord& ray) {
    return ray.kind == kRayPlain || ray.kind == kRayReference || ray.kind == kRayFractional;
}

// Tested on every ray: the flat object surface, the common case, costs one branch.
bool surface_is_curved(const SurfaceRecord& s) {
    const bool shaped =
        (s.asphere != nullptr) | (s.spline != nullptr) | (s.unsupported_records[0] != nullptr) |
        (s.unsupported_records[1] != nullptr) | (s.unsupported_records[2] != nullptr);
    return (s.curvature != 0.0) | (s.x_curvature != 0.0) | shaped;
}

void reset_trace_fields(RayRecord& ray, int differential, const SurfaceRecord& s0) {
    trace_globals().differential = differential;
    ray.surface = 0;
    ray.reversed = 0;
    ray.backward = 0;
    ray.failure = 0;
    ray.medium = ray.prev_medium = forward_index(s0);
    ray.grin_index = 1.0;
    ray.group_offset = -1;
    ray.frame_surface = 0;
    ray.grin_state = 0;
    ray.grin_surface = 0;
    ray.edge_state = kEdgeNone;
    ray.alt_medium = ray.prev_alt_medium = secondary_index(s0);
    ray.factor_a = 1.0;
    ray.factor_b = 1.0;
    ray.opd = 0.0;
    ray.gamma = 0.0;
    ray.eff_pup_x = 0.0;
    ray.eff_pup_y = 0.0;
    ray.paraxial_pup_x = 0.0;
    ray.paraxial_pup_y = 0.0;
}

void set_check_apertures(RayRecord& ray, const LensData& lens) {
    switch (ray.kind) {
        case kRaySphere:
            ray.check_apertures = 1;
            break;
        case kRayReported:
        case kRayMeasured:
        case kRayKept:
            ray.check_apertures = lens.apck ? 1 : 0;
            break;
        case kRayOptimise:
            ray.check_apertures =
                lens.apck && lens.optimise_params != nullptr && lens.optimise_params->opac ? 1 : 0;
            break;
        default:
            ray.check_apertures = 0;
            break;
    }
}

// The object point in lens units, placed on a curved object surface when obj_z is 0, with the
// stored normal; then carried out of surface 0's decentre. False when the ray failed.
bool place_object_point(RayRecord& ray, const LensData& lens, const SurfaceRecord& s0, double& x0,
                        double& y0, double& z0) {
    SagPoint& store = trace_globals().object_point;
    x0 = lens.object_height * ray.obj_x;
    y0 = lens.object_height * ray.obj_y;
    z0 = lens.object_height * ray.obj_z;
    if (z0 == 0.0 && surface_is_curved(s0)) {
        const TraceSeams& seams = trace_seams();
        if (seams.surface_sag_normal == nullptr) {
            set_ray_failure(ray, kRayFailNotAvailable);
            return false;
        }
        seams.surface_sag_normal(s0, x0, y0, store);
        if (store.beyond_edge) {
            set_ray_failure(ray, kRayFailObjectPoint);
            return false;
        }
        z0 = store.z;
    } else {
        store = SagPoint{x0, y0, 0.0, 0.0, 0.0, 1.0, 0};
    }
    if (ray.kind == kRayKept) {
        ray.dx = x0;
        ray.dy = y0;
        ray.dz = z0;
    }
    if (const DecentreRecord* dec = s0.decentre) {
        if (dec->tilt_mode < 0) {
            x0 += dec->dcx;
            y0 += dec->dcy;
            z0 += dec->dcz;
        }
        if (dec->rotation_kind != 0) {
            rotate_transposed(*dec, x0, y0, z0);
            rotate_transposed(*dec, store.nx, store.ny, store.nz);
        }
        if (dec->tilt_mode > 0) {
            x0 += dec->dcx;
            y0 += dec->dcy;
            z0 += dec->dcz;
        }
    }
    return true;
}

// Start length: the object point's distance to the start point minus its distance to the
// vertex of surface 1, in a form without cancellation.
double start_length(double h, double x0, double y0, double x, double y) {
    const double X0 = -h * x0, X1 = h * x + X0;
    const double Y0 = -h * y0, Y1 = h * y + Y0;
    return ((X1 + X0) * x + (Y1 + Y0) * y) /
           (std::sqrt(X0 * X0 + Y0 * Y0 + 1.0) + std::sqrt(X1 * X1 + Y1 * Y1 + 1.0));
}

// The extents of the pupil of radius rp centred on (cx, cy) at distance dp from the object
// point (x0, y0), as seen along the unit direction (a, b, w) to its centre.
struct PupilExtents {
    double xa, xb, ya, yb;
    double a, b, g, w;
};

void extent_pair(double s, double g, double c, double rp, double& lo, double& hi) {
    const double e1 = s - 2.0 * c * rp;
    double f1 = g * e1 + 1.0;
    if (f1 < kZeroDenominator) f1 = 1.0;
    const double r1 = std::sqrt(f1);
    const double v1 = (rp + c * e1 / (r1 + 1.0)) / r1;
    const double e2 = s + 2.0 * c * rp;
    double f2 = g * e2 + 1.0;
    if (f2 < kZeroDenominator) f2 = 1.0;
    const double r2 = std::sqrt(f2);
    const double v2 = -(rp - c * e2 / (r2 + 1.0)) / r2;
    lo = v1 < v2 ? v1 : v2;
    hi = v1 < v2 ? v2 : v1;
}

// The pupil a ray of a wide pupil aims into, on the plane dp from the object point: the entrance
// pupil (at_entrance), centred on the axis; or the entrance beam on the plane of surface 1 (d
// from the object point), centred where the chief height and the beam put the pupil point of
// centre.
struct WidePupil {
    double dp, rp, cx, cy;
};

WidePupil wide_pupil(const LensData& lens, bool at_entrance, double d, const RayRecord& centre) {
    if (at_entrance) {
        return {d + lens.entrance_pupil_position, lens.entrance_pupil_semi_diameter, 0.0, 0.0};
    }
    const double epr = lens.axial_start_height, p1 = lens.chief_start_height;
    return {d, std::fabs(epr), p1 * centre.obj_x + epr * centre.pup_x,
            p1 * centre.obj_y + epr * centre.pup_y};
}

PupilExtents pupil_extents(double dp, double rp, double cx, double cy, double x0, double y0) {
    PupilExtents e{};
    const double hp = 1.0 / dp;
    e.a = (cx - x0) * hp;
    e.b = (cy - y0) * hp;
    e.w = 1.0 / std::sqrt(e.a * e.a + e.b * e.b + 1.0);
    e.a *= e.w;
    e.b *= e.w;
    e.g = -e.w * hp;
    const double s = e.g * rp * rp;
    extent_pair(s, e.g, e.b, rp, e.ya, e.yb);
    extent_pair(s, e.g, e.a, rp, e.xa, e.xb);
    return e;
}

// Pupil coordinates through the rim-ray bounds table of the ray's wavelength slot.
void map_pupil_bounds(const RayRecord& ray, const double* bounds, double& px, double& py) {
    const double* b = bounds + kPupilBoundsPerSlot * ray.wavelength;
    px = (ray.pup_x + 1.0) * (b[1] - b[0]) / 2.0 + b[0];
    py = (ray.pup_y + 1.0) * (b[3] - b[2]) / 2.0 + b[2];
}

const double* bounds_table(const RayRecord* reference) {
    if (reference != nullptr && reference->pupil_bounds != nullptr) return reference->pupil_bounds;
    return reference_ray().ray.pupil_bounds;
}

void finish_start_path(RayRecord& ray, const LensData& lens, double x0, double y0) {
    const int w = ray.wavelength;
    const double* n = ray.medium;
    ray.opl = n[w] * ray.dist;
    ray.chrom_opl = lens.wavelength_count > 2 ? (n[1] - n[2]) * ray.dist : 0.0;
    SagPoint& object_point = trace_globals().object_point;
    object_point.x = x0;
    object_point.y = y0;
}

// The object point on the axis, rays filling a cone of the object-space NA.
void setup_cone(RayRecord& ray, double x0, double y0, double d, double th0) {
    const LensData& lens = lens_data();
    trace_globals().differential = 0;
    const double q = lens.cone_reference;
    const double ratio = lens.object_na / ray.medium[0];
    const double theta = ratio >= 1.0 ? M_PI / 2 : ratio <= -1.0 ? -M_PI / 2 : std::asin(ratio);
    const double tt = std::tan(std::fabs(theta));
    const double epr = lens.axial_start_height;
    const double px = ray.pup_x, py = ray.pup_y;
    double ex, ey;
    if (std::fabs(epr) < kSmallPupilRatio * std::fabs(th0) || lens.epxy) {
        const double r = std::sqrt((px * px + py * py) * tt * tt + 1.0);
        ray.k = tt * px / r;
        ray.l = tt * py / r;
        ex = q * tt * px;
        ey = q * tt * py;
    } else {
        const double s = std::sin(std::fabs(theta));
        const double a = px * px * s * s, b = py * py * s * s;
        if (1.0 - a < kZeroDenominator || 1.0 - b < kZeroDenominator) {
            ray.surface = 1;
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        const double u = s * px / std::sqrt(1.0 - a);
        const double v = s * py / std::sqrt(1.0 - b);
        const double r = std::sqrt(a / (1.0 - a) + b / (1.0 - b) + 1.0);
        ray.k = u / r;
        ray.l = v / r;
        ex = q * u;
        ey = q * v;
    }
    const double mm = 1.0 - ray.k * ray.k - ray.l * ray.l;
    if (!(mm >= kZeroDenominator * kZeroDenominator)) {
        ray.surface = 1;
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    ray.m = std::sqrt(mm);
    ray.x = ray.k / ray.m * d - ex;
    ray.y = ray.l / ray.m * d;
    const double h = 1.0 / d;
    const double eq = ex / q, fq = ey / q;
    ray.dist = start_length(h, x0 - ex, y0, ray.x, ray.y) -
               ex * eq / (std::sqrt(fq * fq + 1.0) + std::sqrt(eq * eq + fq * fq + 1.0));
    if ((d < 0.0) != (th0 < 0.0)) {
        ray.m = -ray.m;
        ray.dist = -ray.dist;
    }
    if (is_kind(ray, kRayPlain, kRayReference)) {
        ray.eff_pup_x = ray.pup_x;
        ray.eff_pup_y = ray.pup_y;
    }
    finish_start_path(ray, lens, x0, y0);
}

// Telecentric object: rays start parallel to the chief ray within the beam radius.
void setup_telecentric(RayRecord& ray, double x0, double y0, double d, double th0, double h) {
    const LensData& lens = lens_data();
    double rb = lens.entrance_beam_radius;
    if (std::fabs(th0) >= kZeroDenominator && std::fabs(d / th0 - 1.0) >= kZeroDenominator) {
        rb = std::fabs(lens.entrance_beam_radius * d / th0);
    }
    const double rbp = rb / std::sqrt(1.0 + h * h * rb * rb);
    const double xt = rbp * ray.pup_x, yt = rbp * ray.pup_y;
    ray.k = h * xt;
    ray.l = h * yt;
    const double q = h * (xt * xt + yt * yt);
    const double arg = 1.0 - h * q;
    ray.m = arg < 0.0 ? 1.0 : std::sqrt(arg);
    const double t = q / (ray.m * (ray.m + 1.0));
    ray.dist = t;
    ray.x = t * ray.k + xt + x0;
    ray.y = t * ray.l + yt + y0;
    if (is_kind(ray, kRayPlain, kRayReference)) {
        ray.eff_pup_x = 0.0;
        ray.eff_pup_y = 0.0;
    }
    finish_start_path(ray, lens, x0, y0);
}

// A pupil that is wide against the object distance: the ray aims at its point of the pupil's
// extent as seen from the object point.
void setup_wide_pupil(RayRecord& ray, const RayRecord& ref, const RayRecord* reference, double x0,
                      double y0, double d, double h) {
    const LensData& lens = lens_data();
    const bool at_entrance = ray.pupil_at_entrance != 0 || lens.aim_mode == kAimEntrancePupil;
    const auto [dp, rp, cx, cy] = wide_pupil(lens, at_entrance, d, ref);
    if (!(std::fabs(dp) >= kZeroDenominator)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const PupilExtents e = pupil_extents(dp, rp, cx, cy, x0, y0);
    double px = ray.pup_x, py = ray.pup_y;
    const double* bounds = bounds_table(reference);
    if (lens.aim_mode == kAimRimRays && !derivative_kind(ray) && bounds != nullptr) {
        map_pupil_bounds(ray, bounds, px, py);
    }
    double xt = e.xa + (px + 1.0) * (e.xb - e.xa) / 2.0;
    double yt = e.ya + (py + 1.0) * (e.yb - e.ya) / 2.0;
    const double q = (e.g * xt - 2.0 * e.a) * xt + (e.g * yt - 2.0 * e.b) * yt;
    ray.k = e.a - e.g * xt;
    ray.l = e.b - e.g * yt;
    const double arg = e.w * e.w - e.g * q;
    ray.m = arg < 0.0 ? 1.0 : std::sqrt(arg);
    const double t = -(q / (ray.m + e.w)) / ray.m;
    xt += t * ray.k;
    yt += t * ray.l;
    if (at_entrance) {
        ray.x = xt - lens.entrance_pupil_position * ray.k / ray.m;
        ray.y = yt - lens.entrance_pupil_position * ray.l / ray.m;
    } else {
        ray.x = xt + cx;
        ray.y = yt + cy;
    }
    ray.dist = start_length(h, x0, y0, ray.x, ray.y);
    finish_start_path(ray, lens, x0, y0);
}

// The paraxial pupil: the ray aims at its point of the entrance beam on the plane of
// surface 1.
void setup_ordinary_pupil(RayRecord& ray, const LensData& lens, const RayRecord& ref,
                          const RayRecord* reference, double x0, double y0, double d, double th0,
                          double h) {
    const double epr = lens.axial_start_height, p1 = lens.chief_start_height;
    const bool plain_kind = is_kind(ray, kRayPlain, kRayReference);
    const bool rim_rays = lens.aim_mode == kAimRimRays && !derivative_kind(ray);
    const bool centre_on_reference = !plain_kind && lens.aim_mode != kAimEntrancePupil;
    const bool as_given = ray.pupil_at_entrance != 0;
    double px = ray.pup_x, py = ray.pup_y;
    if (rim_rays && !as_given) {
        if (const double* bounds = bounds_table(reference)) map_pupil_bounds(ray, bounds, px, py);
    }
    double xt = p1 * ray.obj_x + epr * px;
    double yt = p1 * ray.obj_y + epr * py;
    if (centre_on_reference && !as_given) {
        xt += epr * ref.pup_x;
        yt += epr * ref.pup_y;
    }
    ray.x = xt;
    ray.y = yt;
    // The start length in the form of start_length, sharing its second root with m.
    const double X0 = -h * x0, X1 = h * ray.x + X0;
    const double Y0 = -h * y0, Y1 = h * ray.y + Y0;
    const double root1 = std::sqrt(X1 * X1 + Y1 * Y1 + 1.0);
    ray.m = 1.0 / root1;
    ray.dist =
        ((X1 + X0) * ray.x + (Y1 + Y0) * ray.y) / (std::sqrt(X0 * X0 + Y0 * Y0 + 1.0) + root1);
    if ((d < 0.0) != (th0 < 0.0)) {
        ray.m = -ray.m;
        ray.dist = -ray.dist;
    }
    ray.k = X1 * ray.m;
    ray.l = Y1 * ray.m;

    if (plain_kind) {
        const bool enp = lens.aim_mode == kAimEntrancePupil;
        if (std::fabs(epr) < kSmallPupilRatio * std::fabs(th0) || lens.epxy) {
            ray.eff_pup_x = enp ? ray.pup_x : 0.0;
            ray.eff_pup_y = enp ? ray.pup_y : 0.0;
        } else {
            auto [dp, rp, cx, cy] = wide_pupil(lens, enp, d, ray);
            if (dp == 0.0) dp = kInfiniteDistance;
            const PupilExtents e = pupil_extents(dp, rp, cx, cy, x0, y0);
            const bool g_ok = std::fabs(e.g) >= kZeroDenominator;
            const double cxx = enp && g_ok ? x0 - ray.k / e.g : 0.0;
            const double cyy = enp && g_ok ? y0 - ray.l / e.g : 0.0;
            const double wx = e.xa - e.xb, wy = e.ya - e.yb;
            ray.eff_pup_x = std::fabs(wx) < kZeroDenominator ? 0.0 : (e.xa + e.xb - 2 * cxx) / wx;
            ray.eff_pup_y = std::fabs(wy) < kZeroDenominator ? 0.0 : (e.ya + e.yb - 2 * cyy) / wy;
        }
    }
    finish_start_path(ray, lens, x0, y0);
}

// Aimed rays: the aiming finds the start point, direction, start length and path.
bool aiming_available(RayRecord& ray, bool infinite) {
    const TraceSeams& seams = trace_seams();
    const bool ok = infinite ? seams.aim_ray != nullptr && seams.direction_from_field_angles
                             : seams.aim_ray_finite_object != nullptr;
    if (!ok) set_ray_failure(ray, kRayFailNotAvailable);
    return ok;
}

void copy_aim_pupil(RayRecord& ray) {
    if (is_kind(ray, kRayPlain, kRayReference)) {
        ray.eff_pup_x = ray.aim_pup_x;
        ray.eff_pup_y = ray.aim_pup_y;
    }
}

void setup_aimed_infinite(RayRecord& ray) {
    const LensData& lens = lens_data();
    const double th0 = surface(0).thickness;
    TraceGlobals& g = trace_globals();
    g.object_point.nx = 0.0;
    g.object_point.ny = 0.0;
    g.object_point.nz = 1.0;
    g.reciprocal_object_distance = 1.0 / th0;
    if (!aiming_available(ray, true)) return;
    {
        SkipLinksReversed reversed;
        trace_seams().direction_from_field_angles(
            lens.field_angle * ray.obj_x, lens.field_angle * ray.obj_y, ray.k, ray.l, ray.m);
        trace_seams().aim_ray(ray);
    }
    const double epr = lens.axial_start_height;
    if (derivative_kind(ray) && ray.m > 0.0 && std::fabs(epr) >= kZeroDenominator &&
        std::fabs(lens.object_height) >= kZeroDenominator) {
        const double t = -ray.z / ray.m;
        const double base = lens.chief_start_height * th0 / (lens.object_height * ray.m);
        const double ux = (base * ray.k + t * ray.k + ray.x) / epr;
        const double uy = (base * ray.l + t * ray.l + ray.y) / epr;
        ray.paraxial_pup_x = ux;
        ray.paraxial_pup_y = uy;
        if (lens.wide_angle == 2) {
            ray.pup_x = ux;
            ray.pup_y = uy;
        }
    }
    copy_aim_pupil(ray);
    if (ray.kind == kRayKept) ray.dx = ray.dy = ray.dz = 0.0;
}

void setup_aimed_finite(RayRecord& ray, const RayRecord& ref, double x0, double y0, double z0,
                        double d) {
    const LensData& lens = lens_data();
    if (!aiming_available(ray, false)) return;
    {
        SkipLinksReversed reversed;
        trace_seams().aim_ray_finite_object(ray, x0, y0, z0);
    }
    const double epr = lens.axial_start_height, p1 = lens.chief_start_height;
    if (derivative_kind(ray) && ray.m > 0.0 && std::fabs(epr) >= kZeroDenominator) {
        const double t = -ray.z / ray.m;
        const double ux = (t * ray.k + ray.x - p1 * ray.obj_x) / epr;
        const double uy = (t * ray.l + ray.y - p1 * ray.obj_y) / epr;
        ray.paraxial_pup_x = ux;
        ray.paraxial_pup_y = uy;
        if (lens.wide_angle == 2) {
            ray.pup_x = ux;
            ray.pup_y = uy;
            const double th0 = surface(0).thickness;
            if (ray.kind == kRayFractional && std::fabs(epr) >= kSmallPupilRatio * std::fabs(th0) &&
                !lens.epxy) {
                const bool enp = lens.aim_mode == kAimEntrancePupil;
                const auto [dp, rp, cx, cy] = wide_pupil(lens, enp, d, ref);
                if (std::fabs(dp) >= kZeroDenominator) {
                    const PupilExtents e = pupil_extents(dp, rp, cx, cy, x0, y0);
                    const double wx = e.xb - e.xa, wy = e.yb - e.ya;
                    if (std::fabs(e.g) >= kZeroDenominator && std::fabs(wx) >= kZeroDenominator &&
                        std::fabs(wy) >= kZeroDenominator) {
                        ray.eff_pup_x = (2 * (x0 - cx - ray.k / e.g) - (e.xa + e.xb)) / wx;
                        ray.eff_pup_y = (2 * (y0 - cy - ray.l / e.g) - (e.ya + e.yb)) / wy;
                        ray.pup_x = ray.eff_pup_x;
                        ray.pup_y = ray.eff_pup_y;
                    }
                }
            }
        }
    }
    copy_aim_pupil(ray);
}

}  // namespace

void setup_ray_at_object(RayRecord& ray, const RayRecord* reference) {
    const LensData& lens = lens_data();
    if (lens.angle_mode) {
        setup_ray_from_angles(ray);
        if (is_kind(ray, kRayPlain, kRayReference)) {
            ray.eff_pup_x = ray.pup_x;
            ray.eff_pup_y = ray.pup_y;
        }
        return;
    }
    const SurfaceRecord& s0 = surface_array()[0];
    reset_trace_fields(ray, lens.differential_trace, s0);
    set_check_apertures(ray, lens);
    if (ray.medium == nullptr) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const RayRecord& ref = reference != nullptr ? *reference : reference_ray().ray;
    TraceGlobals& g = trace_globals();
    const double th0 = s0.thickness;
    const bool aimed = lens.wide_angle != 0 && g.aiming_possible && lens.reference_surface >= 2;
    if (aimed && th0 >= kInfiniteObject) {
        setup_aimed_infinite(ray);
        return;
    }

    double x0, y0, z0;
    if (!place_object_point(ray, lens, s0, x0, y0, z0)) return;
    const double d = th0 - z0;
    if (!(std::fabs(d) >= kZeroDenominator)) {
        ray.surface = 1;
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double h = reciprocal_object_distance(d);
    g.reciprocal_object_distance = h;

    if (aimed) {
        setup_aimed_finite(ray, ref, x0, y0, z0, d);
        return;
    }
    ray.z = 0.0;
    const double epr = lens.axial_start_height;
    if (lens.cone_reference != 0.0 && s0.decentre == nullptr && ray.obj_x == 0.0 &&
        ray.obj_y == 0.0 && ray.obj_z == 0.0) {
        setup_cone(ray, x0, y0, d, th0);
        return;
    }
    const bool wide = std::fabs(epr) >= kSmallPupilRatio * std::fabs(th0) && !lens.epxy &&
                      !is_kind(ray, kRayPlain, kRayReference);
    const bool telecentric = lens.aim_telecentric && th0 < kInfiniteObject;
    if (wide || telecentric) {
        g.differential = 0;
        if (telecentric) {
            setup_telecentric(ray, x0, y0, d, th0, h);
        } else {
            setup_wide_pupil(ray, ref, reference, x0, y0, d, h);
        }
        return;
    }
    setup_ordinary_pupil(ray, lens, ref, reference, x0, y0, d, th0, h);
}

void setup_ray_from_angles(RayRecord& ray) {
    const LensData& lens = lens_data();
    const SurfaceRecord& s0 = surface_array()[0];
    reset_trace_fields(ray, 0, s0);
    ray.dist = 0.0;
    ray.opl = 0.0;
    ray.chrom_opl = 0.0;
    set_check_apertures(ray, lens);
    if (ray.medium == nullptr) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    double x0, y0, z0;
    if (!place_object_point(ray, lens, s0, x0, y0, z0)) return;
    const SagPoint& normal = trace_globals().object_point;
    double angle_a = 0.0, angle_b = 0.0;
    if (normal.nx != 0.0 || normal.ny != 0.0 || normal.nz != 1.0) {
        const TraceSeams& seams = trace_seams();
        if (seams.tilt_angles_from_direction == nullptr) {
            set_ray_failure(ray, kRayFailNotAvailable);
            return;
        }
        seams.tilt_angles_from_direction(normal.nx, normal.ny, normal.nz, angle_a, angle_b);
    }
    const double b = (angle_b + lens.angle_scale * ray.pup_y) * kDegrees;
    const double a = (angle_a - lens.angle_scale * ray.pup_x) * kDegrees;
    const double sa = a == 0.0 ? 0.0 : std::sin(a), ca = a == 0.0 ? 1.0 : std::cos(a);
    const double sb = b == 0.0 ? 0.0 : std::sin(b), cb = b == 0.0 ? 1.0 : std::cos(b);
    ray.k = -sa;
    ray.l = ca * sb;
    ray.m = ca * cb;
    const double th0 = surface(0).thickness;
    ray.x = x0;
    ray.y = y0;
    ray.z = z0 - th0;
    trace_globals().reciprocal_object_distance = th0 == z0 ? 0.0 : 1.0 / (th0 - z0);
}

bool lane_start_possible() {
    const LensData& lens = lens_data();
    if (lens.angle_mode || lens.cone_reference != 0.0) return false;
    const SurfaceRecord& s0 = surface_array()[0];
    if (forward_index(s0) == nullptr || surface_is_curved(s0) || s0.decentre != nullptr) {
        return false;
    }
    const double th0 = s0.thickness;
    const TraceGlobals& g = trace_globals();
    if (lens.wide_angle != 0 && g.aiming_possible && lens.reference_surface >= 2) return false;
    if (lens.aim_telecentric && th0 < kInfiniteObject) return false;
    // The wide pupil is taken by every kind but the plain ones, which do not start in lanes.
    return !(std::fabs(lens.axial_start_height) >= kSmallPupilRatio * std::fabs(th0) && !lens.epxy);
}

bool start_rays_in_lanes(RayRecord* const* rays, int count, LaneStarts& s) {
    const LensData& lens = lens_data();
    const SurfaceRecord& s0 = surface_array()[0];
    const RayRecord& ref = reference_ray().ray;
    const double* bounds = lens.aim_mode == kAimRimRays ? bounds_table(nullptr) : nullptr;
    const bool centre_on_reference = lens.aim_mode != kAimEntrancePupil;
    s.count = count;
    s.object_height = lens.object_height;
    s.th0 = s0.thickness;
    s.chief_height = lens.chief_start_height;
    s.pupil_height = lens.axial_start_height;
    s.ref_pup_x = ref.pup_x;
    s.ref_pup_y = ref.pup_y;
    s.chromatic = lens.wavelength_count > 2;
    const double* medium = forward_index(s0);
    for (int j = 0; j < count; ++j) {
        RayRecord& ray = *rays[j];
        reset_trace_fields(ray, lens.differential_trace, s0);
        set_check_apertures(ray, lens);
        const bool as_given = ray.pupil_at_entrance != 0;
        double px = ray.pup_x, py = ray.pup_y;
        if (bounds != nullptr && !as_given) map_pupil_bounds(ray, bounds, px, py);
        s.obj_x[j] = ray.obj_x;
        s.obj_y[j] = ray.obj_y;
        s.obj_z[j] = ray.obj_z;
        s.pup_x[j] = px;
        s.pup_y[j] = py;
        s.centred[j] = centre_on_reference && !as_given ? -1 : 0;
        s.index[j] = medium[ray.wavelength];
        s.chromatic_index[j] = s.chromatic ? medium[1] - medium[2] : 0.0;
    }
    repeat_first_lane(count, s.obj_x, s.obj_y, s.obj_z, s.pup_x, s.pup_y, s.centred, s.index,
                      s.chromatic_index);
    if (start_lanes(s) != 0) {
        // An object point on the plane of surface 1: each ray fails as it does alone.
        for (int j = 0; j < count; ++j) setup_ray_at_object(*rays[j], nullptr);
        return false;
    }
    for (int j = 0; j < count; ++j) {
        RayRecord& ray = *rays[j];
        if (ray.kind == kRayKept) {
            ray.dx = s.x0[j];
            ray.dy = s.y0[j];
            ray.dz = s.z0[j];
        }
    }
    // What the last set-up leaves for the aiming and the derivative rays.
    const int last = count - 1;
    TraceGlobals& g = trace_globals();
    g.object_point = SagPoint{s.x0[last], s.y0[last], 0.0, 0.0, 0.0, 1.0, 0};
    g.reciprocal_object_distance = s.h[last];
    return true;
}

void store_lane_starts(RayRecord* const* rays, int count, const LaneStarts& s) {
    for (int j = 0; j < count; ++j) {
        RayRecord& ray = *rays[j];
        ray.x = s.x[j];
        ray.y = s.y[j];
        ray.z = 0.0;
        ray.k = s.k[j];
        ray.l = s.l[j];
        ray.m = s.m[j];
        ray.dist = s.dist[j];
        ray.opl = s.opl[j];
        ray.chrom_opl = s.chrom_opl[j];
    }
}

void setup_rays_at_object(RayRecord* const* rays, int count) {
    LaneStarts s;
    if (start_rays_in_lanes(rays, count, s)) store_lane_starts(rays, count, s);
}
