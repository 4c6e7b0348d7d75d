#include "trace/ray_aiming.h"

#include <cmath>

#include "lens/lens_data.h"
#include "trace/grin_propagation.h"
#include "trace/ray_frames.h"
#include "trace/ray_media.h"
#include "trace/ray_trace.h"
#include "trace/sag_point.h"
#include "trace/scoped_value.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

// A hundred-thousandth of a degree: the angles and scaled points an aim must reach.
constexpr double kAimTolerance = 1.7453292519943297e-7;
constexpr double kTrialStep = 0.001;
constexpr double kFirstFallbackStep = 0.0001;
constexpr int kMaxIterations = 16;
constexpr int kMaxCuts = 8;
constexpr double kAngleCut = 0.8;
constexpr double kPointCut = 0.5;
// The pupil points whose solutions give the scale factors, and their reciprocal.
constexpr double kScalePoint = 0.0001;
constexpr double kScaleFactor = 10000.0;
constexpr double kStartFactors[5] = {1.0, 1.2, 0.8, 1.4, 0.6};
constexpr int kFineFactors = 39;
constexpr double kFineFactorStep = 0.005;

// What one trial of (u, v) gives: the failure code and the object-space direction and the
// point of the back-traced ray.
struct Trial {
    int failure = 0;
    double x = 0.0, y = 0.0, z = 0.0;
    double k = 0.0, l = 0.0, m = 0.0;
};

// The work ray of every trial: kind 8 prints nothing, so that a failed trial of a ray of kind 1
// shows no message.
Trial trial(const RayRecord& ray, double a, double b, double u, double v) {
    RayRecord work = ray;
    work.kind = kRayGaussian;
    trace_back_to_object(work, lens_data().reference_surface, a, b, u, v);
    Trial t;
    t.failure = work.failure;
    t.x = work.x;
    t.y = work.y;
    t.z = work.z;
    t.k = work.k;
    t.l = work.l;
    t.m = work.m;
    return t;
}

// The residuals an aim drives to zero, for one object condition.
class AimTarget {
public:
    virtual ~AimTarget() = default;
    // The two residuals of a successful trial, and whether the trial is acceptable at all.
    virtual bool residuals(const Trial& t, double& e1, double& e2) const = 0;
    virtual bool converged(double e1, double e2) const = 0;
    virtual double cut() const = 0;
};

// Object at infinity: the back-traced ray's direction in the meridional frame of the wanted
// one: its angle out of that plane and its polar angle in it.
class DirectionTarget : public AimTarget {
public:
    DirectionTarget(double k, double l, double m) {
        if (k == 0.0) {
            cos_ = 1.0;
            sin_ = 0.0;
        } else if (l == 0.0) {
            cos_ = 0.0;
            sin_ = 1.0;
        } else {
            const double t = std::atan(std::fabs(k) / std::fabs(l));
            cos_ = std::cos(t);
            sin_ = (k < 0.0) != (l < 0.0) ? -std::sin(t) : std::sin(t);
        }
        target_ = angle_of(k * sin_ + l * cos_, m);
    }
    bool residuals(const Trial& t, double& e1, double& e2) const override {
        const double out = cos_ * t.k - sin_ * t.l;
        e1 = -std::asin(std::fmax(-1.0, std::fmin(1.0, out)));
        e2 = target_ - angle_of(sin_ * t.k + cos_ * t.l, t.m);
        return true;
    }
    bool converged(double e1, double e2) const override {
        return std::fabs(e1) < kAimTolerance && std::fabs(e2) < kAimTolerance;
    }
    double cut() const override { return kAngleCut; }

private:
    double cos_ = 1.0, sin_ = 0.0, target_ = 0.0;
};

// Finite object: where the back-traced ray, carried on to the plane of the object point, meets
// it, in units of the distance to the entrance pupil.
class PointTarget : public AimTarget {
public:
    PointTarget(double x, double y, double z) : x_(x), y_(y), z_(z) {
        const LensData& lens = lens_data();
        t_ = surface(0).thickness;
        const double te = t_ + lens.entrance_pupil_position;
        const double d = std::fabs(te) > kInfiniteObjectAperture ? std::fabs(t_) : std::fabs(te);
        g_ = d >= kZeroDenominator ? 1.0 / d : 1.0;
    }
    bool residuals(const Trial& t, double& e1, double& e2) const override {
        if (!(t.m > 0.0)) return false;
        const double s = (t_ - z_ + t.z) / t.m;
        e1 = g_ * x_ - g_ * (t.x - s * t.k);
        e2 = g_ * y_ - g_ * (t.y - s * t.l);
        return true;
    }
    bool converged(double e1, double e2) const override {
        const double gx = g_ * x_, gy = g_ * y_;
        return std::fabs(e1) < (gx * gx + 1.0) * kAimTolerance &&
               std::fabs(e2) < (gy * gy + 1.0) * kAimTolerance;
    }
    double cut() const override { return kPointCut; }

private:
    double x_, y_, z_;
    double t_ = 0.0, g_ = 1.0;
};

// Newton on (u, v) with derivatives by forward differences. one_dimensional holds u at its
// value. The outcome is the ray's failure code.
void newton_solve(RayRecord& ray, const AimTarget& target, double a, double b, bool one_dimensional,
                  double& u, double& v) {
    const double du = a < 0.0 ? -kTrialStep : kTrialStep;
    const double dv = b < 0.0 ? -kTrialStep : kTrialStep;
    double step_u = kFirstFallbackStep, step_v = kFirstFallbackStep;
    ray.failure = 0;
    // The residuals at (u, v), or false with the ray's failure.
    auto residuals_at = [&](double pu, double pv, double& e1, double& e2, int& failure) {
        const Trial t = trial(ray, a, b, pu, pv);
        failure = t.failure;
        if (failure == 0 && !target.residuals(t, e1, e2)) failure = kRayFailMissed;
        if (one_dimensional) e1 = 0.0;
        return failure == 0;
    };
    double e1 = 0.0, e2 = 0.0;
    int failure = 0;
    if (!residuals_at(u, v, e1, e2, failure)) {
        ray.failure = failure;
        return;
    }
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        if (target.converged(e1, e2)) return;
        // Derivatives of the residuals in u and v: by the step, or by the opposite one when the
        // step fails.
        double j[2][2] = {{0.0, 0.0}, {0.0, 0.0}};
        for (int col = one_dimensional ? 1 : 0; col < 2; ++col) {
            const double h = col == 0 ? du : dv;
            double f1 = 0.0, f2 = 0.0, sign = 1.0;
            const double u1 = col == 0 ? u + h : u, v1 = col == 0 ? v : v + h;
            if (!residuals_at(u1, v1, f1, f2, failure)) {
                sign = -1.0;
                const double u2 = col == 0 ? u - h : u, v2 = col == 0 ? v : v - h;
                if (!residuals_at(u2, v2, f1, f2, failure)) {
                    ray.failure = failure;
                    return;
                }
            }
            j[0][col] = sign * (f1 - e1) / h;
            j[1][col] = sign * (f2 - e2) / h;
        }
        if (one_dimensional) {
            step_u = 0.0;
            if (std::fabs(j[1][1]) > kZeroDenominator) step_v = -e2 / j[1][1];
        } else {
            const double det = j[0][0] * j[1][1] - j[1][0] * j[0][1];
            if (std::fabs(det) > kZeroDenominator) {
                step_u = -(j[1][1] * e1 - j[0][1] * e2) / det;
                step_v = -(j[0][0] * e2 - j[1][0] * e1) / det;
            }
        }
        // A step whose trial fails (or is not acceptable) is cut, a limited number of times.
        double su = step_u, sv = step_v;
        for (int cuts = 0; !residuals_at(u + su, v + sv, e1, e2, failure); ++cuts) {
            if (cuts >= kMaxCuts) {
                ray.failure = failure;
                return;
            }
            su *= target.cut();
            sv *= target.cut();
        }
        u += su;
        v += sv;
    }
    if (target.converged(e1, e2)) return;
    ray.failure = kRayFailMissed;
}

// The ray of the final solution, as the forward trace needs it at its start.
void finish_infinite(RayRecord& ray, const Trial& t) {
    const TraceGlobals& g = trace_globals();
    const SurfaceRecord& s0 = surface(0);
    ray.k = g.aim_direction[0];
    ray.l = g.aim_direction[1];
    ray.m = g.aim_direction[2];
    double x = t.x, y = t.y, z = t.z;
    const double along = -(ray.k * x + ray.l * y + ray.m * z);
    ray.x = x + along * ray.k;
    ray.y = y + along * ray.l;
    ray.z = z + along * ray.m;
    ray.surface = 0;
    ray.reversed = 0;
    ray.backward = 0;
    ray.medium = ray.prev_medium = forward_index(s0);
    ray.alt_medium = ray.prev_alt_medium = secondary_index(s0);
    ray.dist = 0.0;
    ray.opl = 0.0;
    ray.chrom_opl = 0.0;
    ray.failure = 0;
}

void finish_finite(RayRecord& ray, const Trial& t, double x0, double y0, double z0) {
    const LensData& lens = lens_data();
    const SurfaceRecord& s0 = surface(0);
    const double th0 = s0.thickness;
    // The back-traced ray carried to the plane of the start (z = 0), and the direction from the
    // object point to there.
    double px = t.x, py = t.y;
    if (std::fabs(t.m) >= kZeroDenominator) {
        const double s = t.z / t.m;
        px -= s * t.k;
        py -= s * t.l;
    }
    const double dx = px - x0, dy = py - y0, dz = th0 - z0;
    const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
    ray.x = px;
    ray.y = py;
    ray.z = 0.0;
    ray.k = dx / d;
    ray.l = dy / d;
    ray.m = dz / d;
    ray.surface = 0;
    ray.reversed = 0;
    ray.backward = 0;
    ray.medium = ray.prev_medium = forward_index(s0);
    ray.alt_medium = ray.prev_alt_medium = secondary_index(s0);
    const int w = ray.wavelength;
    ray.dist = d;
    ray.opl = ray.medium != nullptr ? d * ray.medium[w] : d;
    ray.chrom_opl = lens.wavelength_count > 2 && ray.medium != nullptr
                        ? d * (ray.medium[1] - ray.medium[2])
                        : 0.0;
    ray.failure = 0;
}

bool same3(const double* a, double x, double y, double z) {
    return a[0] == x && a[1] == y && a[2] == z;
}

// Solves the centre ray and the pupil scale factors for the object condition now cached.
// False with the ray's failure when the centre ray cannot be solved.
template <class Solve>
bool rebuild_cache(RayRecord& ray, Solve solve) {
    TraceGlobals& g = trace_globals();
    g.aim_centre[0] = g.aim_centre[1] = 0.0;
    double uc = 0.0, vc = 0.0;
    solve(ray, 0.0, 0.0, uc, vc);
    if (ray.failure != 0) {
        g.aim_cache_stale = 1;
        return false;
    }
    g.aim_centre[0] = uc;
    g.aim_centre[1] = vc;
    RayRecord work = ray;
    work.kind = kRayGaussian;
    double u = uc, v = vc;
    solve(work, kScalePoint, 0.0, u, v);
    double sx = 1.0, cyx = 0.0;
    if (work.failure == 0) {
        sx = (u - uc) * kScaleFactor;
        cyx = (v - vc) * kScaleFactor;
    }
    u = uc;
    v = vc;
    solve(work, 0.0, kScalePoint, u, v);
    double sy = 1.0, cxy = 0.0;
    if (work.failure == 0) {
        sy = (v - vc) * kScaleFactor;
        cxy = (u - uc) * kScaleFactor;
    }
    g.pupil_scale[0] = std::fabs(sx) < kZeroDenominator ? 1.0 : sx;
    g.pupil_scale[1] = std::fabs(sy) < kZeroDenominator ? 1.0 : sy;
    g.aiming_state[0] = std::fabs(cyx) < kZeroDenominator ? 0.0 : cyx;
    g.aiming_state[1] = std::fabs(cxy) < kZeroDenominator ? 0.0 : cxy;
    g.aim_cache_stale = 0;
    return true;
}

// The main solve from the start factors, then finer ones around 1. True with (u, v).
template <class Solve>
bool solve_from_factors(RayRecord& ray, Solve solve, double a, double b, double& u, double& v) {
    const TraceGlobals& g = trace_globals();
    const double uc = g.aim_centre[0], vc = g.aim_centre[1];
    const double pu = g.pupil_scale[0] * a + g.aiming_state[1] * b;
    const double pv = g.aiming_state[0] * a + g.pupil_scale[1] * b;
    auto attempt = [&](double f) {
        u = pu * f + uc;
        v = pv * f + vc;
        solve(ray, a, b, u, v);
        return ray.failure == 0;
    };
    for (const double f : kStartFactors) {
        if (attempt(f)) return true;
    }
    for (int i = 1; i <= kFineFactors; ++i) {
        if (attempt(1.0 + kFineFactorStep * i)) return true;
        if (attempt(1.0 - kFineFactorStep * i)) return true;
    }
    return false;
}

// A failed aim: the next aim rebuilds the cache, and a ray of kind 1 shows its failure once.
void aim_failed(RayRecord& ray) {
    trace_globals().aim_cache_stale = 1;
    const int code = ray.failure != 0 ? ray.failure : kRayFailMissed;
    ray.failure = 0;
    set_ray_failure(ray, code);
}

// The aim of either object condition. condition is the one the cache was built for (the
// wanted direction at infinity, or the finite object point), (x, y, z) the one asked for now;
// solve aims at it for given pupil coordinates, finish sets the ray up from the solution.
template <class Solve, class Finish>
void aim_for(RayRecord& ray, double (&condition)[3], double x, double y, double z, Solve solve,
             Finish finish) {
    TraceGlobals& g = trace_globals();
    const double a = ray.pup_x, b = ray.pup_y;
    ray.aim_pup_x = a;
    ray.aim_pup_y = b;
    if (g.aiming_in_progress || g.aim_cache_stale || !same3(condition, x, y, z)) {
        condition[0] = x;
        condition[1] = y;
        condition[2] = z;
        if (!rebuild_cache(ray, solve)) {
            aim_failed(ray);
            return;
        }
    }
    double u = g.aim_centre[0], v = g.aim_centre[1];
    if (!(a == 0.0 && b == 0.0) && !solve_from_factors(ray, solve, a, b, u, v)) {
        aim_failed(ray);
        return;
    }
    const Trial t = trial(ray, a, b, u, v);
    if (t.failure != 0) {
        ray.failure = t.failure;
        aim_failed(ray);
        return;
    }
    finish(ray, t);
}

}  // namespace

double angle_of(double a, double b) {
    if (a == 0.0) return b < 0.0 ? M_PI : 0.0;
    const double fa = std::fabs(a), fb = std::fabs(b);
    double r;
    if (fa <= fb) {
        r = std::atan(fa / fb);
        if (b < 0.0) r = M_PI - r;
    } else {
        const double t = std::atan(fb / fa);
        r = b < 0.0 ? M_PI / 2 + t : M_PI / 2 - t;
    }
    return a < 0.0 ? -r : r;
}

void direction_from_field_angles(double ax, double ay, double& k, double& l, double& m) {
    if (ax == 0.0 && ay == 0.0) {
        k = l = 0.0;
        m = 1.0;
        return;
    }
    if (ax != 0.0 && ay != 0.0) {
        const double tx = std::tan(ax), ty = std::tan(ay);
        const double r = std::sqrt(tx * tx + ty * ty + 1.0);
        k = tx / r;
        l = ty / r;
        m = 1.0 / r;
        return;
    }
    const double t = ax != 0.0 ? ax : ay;
    double across, axial;
    const double at = std::fabs(t);
    if (at > M_PI / 4 && at < 3 * M_PI / 4) {
        const double c = t <= -M_PI / 2 ? -std::tan(t + M_PI / 2) : std::tan(M_PI / 2 - t);
        const double r = std::sqrt(c * c + 1.0);
        const double sign = t < 0.0 ? -1.0 : 1.0;
        across = sign / r;
        axial = sign * c / r;
    } else {
        const double tt = std::tan(t);
        const double r = std::sqrt(tt * tt + 1.0);
        across = tt / r;
        axial = 1.0 / r;
        if (at > M_PI / 2) {
            across = -across;
            axial = -axial;
        }
    }
    if (ax != 0.0) {
        k = across;
        l = 0.0;
    } else {
        k = 0.0;
        l = across;
    }
    m = axial;
}

void undo_enter_surface_frame(const DecentreRecord& record, RayRecord& ray) {
    const int order = record.tilt_mode;
    if (order > 0) {
        leave_surface_frame(record, ray, false);
        return;
    }
    if (order < 0) {
        ray.x += record.dcx;
        ray.y += record.dcy;
        ray.z += record.dcz;
    }
    if (record.rotation_kind != 0) {
        rotate_transposed(record, ray.x, ray.y, ray.z);
        rotate_transposed(record, ray.k, ray.l, ray.m);
    }
}

void undo_leave_surface_frame(const DecentreRecord& record, RayRecord& ray) {
    ray.x -= record.dcx;
    ray.y -= record.dcy;
    ray.z -= record.dcz;
    if (record.rotation_kind != 0) {
        rotate_by_tilt(record, ray.x, ray.y, ray.z);
        rotate_by_tilt(record, ray.k, ray.l, ray.m);
    }
}

void trace_to_previous_surface(RayRecord& ray) {
    int from = ray.surface;
    const SurfaceRecord& here = surface(from);
    // Out of the frame of the surface the ray stands at.
    if (here.decentre != nullptr) {
        undo_enter_surface_frame(*here.decentre, ray);
        if (here.decentre_reference != nullptr) {
            undo_leave_surface_frame(*here.decentre_reference, ray);
        }
    }
    // A reversed SKP link: the surface stands where the link's start did.
    const int link = here.skip_to;
    if (link >= 1 && link < from) from = link;
    const int n = from - 1;
    if (n < 1) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const SurfaceRecord& s = surface(n);
    ray.z += s.thickness;
    if (s.return_coordinates != nullptr) {
        undo_leave_surface_frame(*s.return_coordinates, ray);
    } else if (s.second_tilt && s.decentre != nullptr) {
        rotate_transposed(*s.decentre, ray.x, ray.y, ray.z);
        rotate_transposed(*s.decentre, ray.k, ray.l, ray.m);
    }
    // The surface step enters the surface's own frame again; inside a gradient medium it
    // enters the decentre alone.
    if (s.decentre != nullptr) {
        undo_enter_surface_frame(*s.decentre, ray);
        if (s.decentre_reference != nullptr && ray.grin_state == 0) {
            undo_leave_surface_frame(*s.decentre_reference, ray);
        }
    }
    ray.surface = n;
    intersect_and_refract(n, ray);
    if (ray.failure != 0) return;
    ray.prev_medium = ray.medium;
    ray.prev_alt_medium = ray.alt_medium;
    const bool mirror = s.medium_kind_backward == kMediumMirror;
    trace_special_surface(n, ray);
    if (ray.failure != 0) return;
    // The backward bending leaves the direction flag alone; a mirror turns the ray round.
    if (mirror) ray.reversed ^= 1;
}

void trace_back_to_object(RayRecord& ray, int rfs, double a, double b, double u, double v) {
    const LensData& lens = lens_data();
    TraceGlobals& g = trace_globals();
    ScopedValue<int> backward_step(g.backward_step, 1);
    if (rfs < 1 || rfs >= lens.image_surface) {
        ray.failure = kRayFailMissed;
        return;
    }
    const SurfaceRecord& s = surface(rfs);
    const double R = s.aperture_radius;
    const TraceSeams& seams = trace_seams();
    if (seams.surface_sag_normal == nullptr) {
        ray.failure = kRayFailNotAvailable;
        return;
    }
    SagPoint p{};
    seams.surface_sag_normal(s, a * R, b * R, p);
    if (!std::isfinite(p.z)) {
        ray.failure = kRayFailMissed;
        return;
    }
    const bool behind = rfs >= 2 && surface(rfs - 1).vertex_position > s.vertex_position;
    const double tx = u * R - a * R, ty = v * R - b * R, tz = (behind ? R : -R) - p.z;
    const double len = std::sqrt(tx * tx + ty * ty + tz * tz);
    if (!(len >= kZeroDenominator)) {
        ray.failure = kRayFailMissed;
        return;
    }
    ray.x = a * R;
    ray.y = b * R;
    ray.z = p.z;
    ray.k = tx / len;
    ray.l = ty / len;
    ray.m = tz / len;
    ray.surface = rfs;
    ray.failure = 0;
    ray.backward = 1;
    ray.reversed = behind ? 0 : 1;
    ray.grin_state = 0;
    ray.edge_state = kEdgeNone;
    ray.frame_surface = 0;
    ray.medium = ray.prev_medium = backward_index(rfs);
    ray.alt_medium = ray.prev_alt_medium = nullptr;
    start_backward_in_grin(rfs, ray);
    while (ray.failure == 0 && ray.surface > 1) trace_to_previous_surface(ray);
    if (ray.failure != 0) return;
    // Out of surface 1's frame, into the lens's own, pointing into the lens.
    const SurfaceRecord& s1 = surface(1);
    if (s1.decentre != nullptr) {
        undo_enter_surface_frame(*s1.decentre, ray);
        if (s1.decentre_reference != nullptr) undo_leave_surface_frame(*s1.decentre_reference, ray);
    }
    ray.k = -ray.k;
    ray.l = -ray.l;
    ray.m = -ray.m;
    ray.backward = 0;
    ray.reversed = 0;
}

void solve_aim_angles(RayRecord& ray, double a, double b, double& u, double& v) {
    const DirectionTarget target(trace_globals().aim_direction[0], trace_globals().aim_direction[1],
                                 trace_globals().aim_direction[2]);
    const bool one_dimensional =
        trace_globals().aim_direction[0] == 0.0 && a == 0.0 && lens_data().plane_symmetric;
    if (one_dimensional) u = 0.0;
    newton_solve(ray, target, a, b, one_dimensional, u, v);
}

void solve_aim_point(RayRecord& ray, double x, double y, double z, double a, double b, double& u,
                     double& v) {
    const PointTarget target(x, y, z);
    const bool one_dimensional = x == 0.0 && a == 0.0 && lens_data().plane_symmetric;
    if (one_dimensional) u = 0.0;
    newton_solve(ray, target, a, b, one_dimensional, u, v);
}

void aim_ray(RayRecord& ray) {
    aim_for(
        ray, trace_globals().aim_direction, ray.k, ray.l, ray.m,
        [](RayRecord& r, double pa, double pb, double& u, double& v) {
            solve_aim_angles(r, pa, pb, u, v);
        },
        [](RayRecord& r, const Trial& t) { finish_infinite(r, t); });
}

void aim_ray_finite_object(RayRecord& ray, double x, double y, double z) {
    aim_for(
        ray, trace_globals().aim_position, x, y, z,
        [x, y, z](RayRecord& r, double pa, double pb, double& u, double& v) {
            solve_aim_point(r, x, y, z, pa, pb, u, v);
        },
        [x, y, z](RayRecord& r, const Trial& t) { finish_finite(r, t, x, y, z); });
}

void install_ray_aiming() {
    TraceSeams& seams = trace_seams();
    seams.aim_ray = aim_ray;
    seams.aim_ray_finite_object = aim_ray_finite_object;
    seams.direction_from_field_angles = direction_from_field_angles;
}
