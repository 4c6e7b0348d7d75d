// The work of one surface for a ray: frame, closed-form or general intersection, optical path,
// apertures and bending; and the step along an element's edge wall.
#include <cmath>
#include <utility>

#include "lens/lens_data.h"
#include "trace/aperture_shapes.h"
#include "trace/grin_propagation.h"
#include "trace/lane_trace.h"
#include "trace/ray_frames.h"
#include "trace/ray_media.h"
#include "trace/ray_trace.h"
#include "trace/refraction.h"
#include "trace/surface_intersect.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr double kSearchWiden = 5e-9;

bool has_non_conic_record(const SurfaceRecord& s) {
    return s.unsupported_records[0] != nullptr || s.unsupported_records[1] != nullptr ||
           s.unsupported_records[2] != nullptr;
}

bool needs_general_iteration(const SurfaceRecord& s) {
    return s.asphere != nullptr || s.spline != nullptr || has_non_conic_record(s);
}

[[gnu::always_inline]] inline void add_segment_path(RayRecord& ray, double t,
                                                    int wavelength_count) {
    const double* n = ray.medium;
    ray.opl += t * n[ray.wavelength];
    if (wavelength_count > 2) ray.chrom_opl += (n[1] - n[2]) * t;
}

// The general iteration from the closed-form start point, with the search along the ray from
// the point before the surface (x0, y0, z0) when the iteration misses. False when the ray
// failed (reported).
bool general_intersection(int n, RayRecord& ray, double c, double c2, double kc, double x0,
                          double y0, double z0) {
    const TraceSeams& seams = trace_seams();
    if (seams.intersect_general_surface == nullptr) {
        set_ray_failure(ray, kRayFailNotAvailable);
        return false;
    }
    seams.intersect_general_surface(n, ray, c, c2, kc);
    if (ray.backward && ray.failure == -2201) ray.failure = kRayFailMissed;
    const bool short_step = ray.backward && ray.failure == 0 &&
                            std::fabs(ray.dist) < kConvergenceCoarse &&
                            ray.group_offset == ray.group_count;
    if (ray.failure == kRayFailMissed || short_step) {
        if (seams.bracket_surface_crossing == nullptr || seams.refine_surface_crossing == nullptr) {
            ray.failure = 0;
            set_ray_failure(ray, kRayFailNotAvailable);
            return false;
        }
        ray.failure = 0;
        ray.x = x0;
        ray.y = y0;
        ray.z = z0;
        ray.dist = 0.0;
        const double p = -(ray.k * x0 + ray.l * y0 + ray.m * z0);
        double t1 = p >= 0.0 ? kConvergenceCoarse : p;
        double t2 = p >= 0.0 ? p : -kConvergenceCoarse;
        if (t1 == t2) {
            if (p >= 0.0) {
                t2 += kSearchWiden;
            } else {
                t1 -= kSearchWiden;
            }
        }
        if (seams.bracket_surface_crossing(n, ray, t1, t2) == 0 ||
            seams.refine_surface_crossing(n, ray, t1, t2, kConvergenceFine) != 0) {
            set_ray_failure(ray, kRayFailMissed);
            return false;
        }
        const double t = ray.dist;
        ray.x += t * ray.k;
        ray.y += t * ray.l;
        ray.z += t * ray.m;
        if (ray.backward && t + kConvergenceCoarse >= 0.0) {
            if (seams.aperture_hit_test == nullptr) {
                set_ray_failure(ray, kRayFailNotAvailable);
                return false;
            }
            if (seams.aperture_hit_test(n, ray.x, ray.y) != 0) {
                set_ray_failure(ray, kRayFailMissed);
                return false;
            }
        }
        return true;
    }
    if (ray.failure != 0) {
        const int code = ray.failure;
        set_ray_failure(ray, code);
        return false;
    }
    return true;
}

// Far-side tests of the angle mode: a ray started at the object point must meet the near
// sheet of the surface.
bool on_far_sheet(const SurfaceRecord& s, double c, double kc, double z) {
    if (s.special_aperture_count <= 0 && s.aperture_radius <= 0.0) return false;
    if ((c + kc) * z > 1.0) return true;
    if (kc != 0.0) {
        if (c < 0.0 && c + kc > 0.0 && z - kSheetMargin > 0.0) return true;
        if (c > 0.0 && c + kc < 0.0 && z + kSheetMargin < 0.0) return true;
    }
    return false;
}

enum class Form { kPlane, kConic, kCylinderY, kCylinderX, kToric };

// The image surface's own thickness moves the image plane, except in an afocal lens.
void subtract_image_thickness(RayRecord& ray, const LensData& lens) {
    if (!lens.afocal) ray.z -= surface(lens.image_surface).thickness;
}

}  // namespace

// A direction as the last bending left it before its renormalisation, and the factor that
// renormalises it. The next intersection needs the direction first of all: it takes the raw
// direction and scales once by the factor, so that the renormalisation's own chain of dependent
// operations runs beside the intersection instead of in front of it.
template <class T>
struct RawDirectionOf {
    DirectionOf<T> d;
    T factor;
};
using RawDirection = RawDirectionOf<double>;

// Refraction or reflection with the surface's own media. Ray is a RayRecord, a RayState or a
// RayPairState (below). 0, or the failure code the caller reports (for a pair: the pair must be
// split); a failure leaves the direction as it was.
template <class Ray, class T = decltype(Ray::k)>
[[gnu::always_inline]] static inline int bend_plain(const SurfaceRecord& s, Ray& ray,
                                                    RawDirectionOf<T>& raw) {
    const double* next;
    const double* next_alt;
    std::uint8_t kind;
    if (!ray.backward) {
        next = forward_index(s);
        next_alt = secondary_index(s);
        kind = s.medium_kind;
    } else {
        next = backward_index(static_cast<int>(&s - surface_array()));
        next_alt = nullptr;
        kind = s.medium_kind_backward;
    }
    const T n2 = ray.normal_len2;
    if (any_lane((n2 != 1.0) & not_at_least(n2, kZeroDenominator))) return kRayFailMissed;
    DirectionOf<T> d{ray.k, ray.l, ray.m};
    bool reflect = kind == kMediumMirror;
    if (!reflect) {
        if (next == nullptr || ray.prev_medium == nullptr) return kRayFailMissed;
        const int w = ray.wavelength;
        const double n_in = ray.prev_medium[w];
        const double n_out = next[w];
        if (n_in == n_out) {
            ray.medium = next;
            ray.alt_medium = next_alt;
            ray.gamma = lane_splat<T>(0.0);
            raw = {d, lane_splat<T>(1.0)};
            return 0;
        }
        if (!(std::fabs(n_out) >= kZeroDenominator)) return kRayFailMissed;
        const double mu = n_in / n_out;
        T gamma{};
        if (refract_direction(d, ray.nx, ray.ny, ray.nz, n2, ray.cos_i, mu, gamma)) {
            if (s.tir_only) return kRayFailNoReflection;
            ray.gamma = gamma;
            ray.medium = next;
            ray.alt_medium = next_alt;
        } else {
            if (!s.tir_only && !(ray.backward && ray.group_offset >= 1)) {
                return kRayFailTotalReflection;
            }
            reflect = true;
        }
    }
    if (reflect) {
        T gamma;
        reflect_direction(d, ray.nx, ray.ny, ray.nz, n2, ray.cos_i, gamma);
        ray.gamma = gamma;
        if (!ray.backward) ray.reversed ^= 1;
    }
    // The renormalisation (k, l, m times 1 + e/2 with e = 1 - |d|^2) without a test for an exact
    // unit length: a factor of exactly 1 leaves the direction as it is, and the test is a branch
    // that half the rays take and half do not, which the processor cannot learn.
    const T e = 1.0 - (d.k * d.k + d.l * d.l + d.m * d.m);
    const T f = 1.0 + 0.5 * e;
    raw = {d, f};
    ray.k = d.k * f;
    ray.l = d.l * f;
    ray.m = d.m * f;
    return 0;
}

[[gnu::always_inline]] static inline void refract_plain(const SurfaceRecord& s, RayRecord& ray) {
    RawDirection raw;
    if (const int code = bend_plain(s, ray, raw); code != 0) set_ray_failure(ray, code);
}

// Into the frame the step works in: the surface's own, or inside a gradient medium traced
// backwards the medium surface's decentre alone.
[[gnu::always_inline]] static inline void enter_step_frame(const SurfaceRecord& s, RayRecord& ray) {
    if (ray.grin_state != 0) {
        if (ray.backward) {
            const DecentreRecord* d = surface(ray.grin_surface).decentre;
            if (d != nullptr) enter_surface_frame(*d, ray, false);
        }
    } else if (s.decentre != nullptr) {
        if (s.decentre_reference != nullptr) leave_surface_frame(*s.decentre_reference, ray, false);
        enter_surface_frame(*s.decentre, ray, false);
    }
}

// A ray inside a gradient medium: the medium's own code carries it to surface n.
static void step_through_grin(int n, const SurfaceRecord& s, RayRecord& ray) {
    const TraceSeams& seams = trace_seams();
    if (seams.propagate_in_grin == nullptr) {
        set_ray_failure(ray, kRayFailNotAvailable);
        return;
    }
    seams.propagate_in_grin(n, ray);
    if (s.grin == nullptr && !ray.backward) ray.grin_state = -2;
    if (ray.failure != 0) {
        const int code = ray.failure;
        set_ray_failure(ray, code);
    }
}

// The surface's shape as the step needs it: its own pair (c, c2 the other curvature, kc =
// conic times c) for the general iteration, and the pair of the closed-form start (cs, kcs)
// with the form that start takes. general: the closed form is only the start.
struct StepShape {
    double c, kc, c2;
    double cs, kcs;
    Form form;
    bool general;
};

[[gnu::always_inline]] static inline StepShape step_shape(const SurfaceRecord& s) {
    StepShape h;
    if (s.toric != 2) {
        h.c = s.curvature;
        h.kc = s.conic != 0.0 ? s.conic * h.c : 0.0;
        h.c2 = s.x_curvature;
        if (s.spline != nullptr && s.shape == kShapeSpline) h.kc = -h.c;
    } else {
        h.c = s.x_curvature;
        h.kc = s.x_conic != 0.0 ? s.x_conic * h.c : 0.0;
        h.c2 = s.curvature;
    }
    h.general = needs_general_iteration(s);
    h.cs = h.c;
    h.kcs = h.kc;
    if (s.fresnel) {
        // A Fresnel surface is met on its substrate; the iteration gives the optical slopes.
        h.cs = s.fresnel_curvature;
        h.kcs = s.fresnel_conic != 0.0 ? s.fresnel_conic * h.cs : 0.0;
        h.general = true;
    } else if (s.start_pair) {
        h.cs = s.start_curvature;
        h.kcs = s.start_conic != 0.0 ? s.start_conic * h.cs : 0.0;
        h.general = true;
    }

    if (s.fresnel) {
        h.form = h.cs == 0.0 ? Form::kPlane : Form::kConic;
    } else if (s.shape == kShapeSpecialBase || (s.toric != 0 && h.c2 != 0.0)) {
        h.form = Form::kToric;
    } else if (h.cs == 0.0) {
        h.form = Form::kPlane;
    } else if (s.toric == 0) {
        h.form = Form::kConic;
    } else {
        h.form = s.toric == 1 ? Form::kCylinderY : Form::kCylinderX;
    }
    return h;
}

// Moves the ray to its closed-form intersection with the start shape and sets its cosine
// there. A spline that the closed form misses and a toric start from the foot of the
// perpendicular instead and leave the rest to the general iteration. False when the ray failed.
[[gnu::always_inline]] static inline bool closed_form_intersection(const SurfaceRecord& s,
                                                                   StepShape& h, RayRecord& ray) {
    const bool alternate = (ray.reversed != 0) != (s.alternate_intersection != 0);
    double t = 0.0;
    double root = 0.0;
    switch (h.form) {
        case Form::kPlane:
            if (intersect_plane(ray.z, ray.m, t) != 0) {
                // A ray parallel to a plane is a quiet failure: no message even for kind 1.
                ray.failure = kRayFailMissed;
                return false;
            }
            ray.cos_i = ray.m;
            break;
        case Form::kToric:
            t = -(ray.k * ray.x + ray.l * ray.y + ray.m * ray.z);
            h.general = true;
            break;
        default: {
            SurfaceQuadratic q;
            if (h.form == Form::kConic) {
                q = conic_quadratic(ray.x, ray.y, ray.z, ray.k, ray.l, ray.m, h.cs, h.kcs);
            } else if (h.form == Form::kCylinderY) {
                q = cylinder_quadratic(ray.y, ray.z, ray.l, ray.k, ray.m, h.cs, h.kcs);
            } else {
                q = cylinder_quadratic(ray.x, ray.z, ray.k, ray.l, ray.m, h.cs, h.kcs);
            }
            if (solve_surface_quadratic(q, alternate, t, root) != 0) {
                const bool spline = s.spline != nullptr && s.shape == kShapeSpline;
                if (!spline || std::fabs(ray.m) < kZeroDenominator) {
                    set_ray_failure(ray, kRayFailMissed);
                    return false;
                }
                t = -ray.z / ray.m;
                h.general = true;
            }
            ray.cos_i = root;
            break;
        }
    }
    ray.x += t * ray.k;
    ray.y += t * ray.l;
    ray.z += t * ray.m;
    ray.dist = t;
    return true;
}

// The (unnormalised) normal of the start shape at the ray's point; a toric leaves it to the
// general iteration.
[[gnu::always_inline]] static inline void closed_form_normal(const StepShape& h, RayRecord& ray) {
    switch (h.form) {
        case Form::kPlane:
            ray.nx = 0.0;
            ray.ny = 0.0;
            ray.nz = 1.0;
            ray.normal_len2 = 1.0;
            break;
        case Form::kConic:
        case Form::kCylinderY:
        case Form::kCylinderX:
            ray.nx = h.form == Form::kCylinderY ? 0.0 : -h.cs * ray.x;
            ray.ny = h.form == Form::kCylinderX ? 0.0 : -h.cs * ray.y;
            ray.nz = 1.0 - h.cs * ray.z - h.kcs * ray.z;
            ray.normal_len2 =
                h.kcs == 0.0 ? 1.0 : ray.nx * ray.nx + ray.ny * ray.ny + ray.nz * ray.nz;
            break;
        case Form::kToric:
            break;
    }
}

// surface_apertures_pass, inline for the surface step.
[[gnu::always_inline]] static inline bool apertures_pass(int n, RayRecord& ray) {
    if (!ray.check_apertures) return true;
    const SurfaceRecord& s = surface_array()[n];
    if (s.aperture_check) {
        const double limit = s.aperture_radius * kApertureSlack;
        if (ray.x * ray.x + ray.y * ray.y > limit * limit) {
            set_ray_failure(ray, kRayFailAperture);
            return false;
        }
    }
    if (s.special_aperture_count <= 0) return true;
    const TraceSeams& seams = trace_seams();
    if (seams.check_special_apertures == nullptr) {
        set_ray_failure(ray, kRayFailNotAvailable);
        return false;
    }
    const int result = seams.check_special_apertures(n, ray.x, ray.y);
    if (result == kSpecialOutside) {
        set_ray_failure(ray, kRayFailAperture);
        return false;
    }
    if (result == kSpecialObstructed) {
        set_ray_failure(ray, kRayFailSpecialAperture);
        return false;
    }
    if (result == kSpecialUntouched) ray.gamma = 0.0;
    return result == 0;
}

// A forward ray on surface n: the path to it, its apertures, and the bending into the medium
// after it (none at the image). setup_length: surface 1 adds the set-up length to the step.
[[gnu::always_inline]] static inline void pass_forward(int n, const SurfaceRecord& s,
                                                       const LensData& lens, double setup_length,
                                                       RayRecord& ray) {
    ray.prev_medium = ray.medium;
    ray.prev_alt_medium = ray.alt_medium;
    add_segment_path(ray, ray.dist, lens.wavelength_count);
    if (n == 1) ray.dist += setup_length;

    if (!apertures_pass(n, ray)) return;
    if (n >= lens.image_surface) return;
    if (s.grin == nullptr && s.grating_spacing == 0.0 && s.diffractive == nullptr &&
        s.hologram == nullptr && s.perfect_lens == nullptr) {
        refract_plain(s, ray);
        return;
    }
    trace_special_surface(n, ray);
}

// The full surface step: every surface kind, frame, medium and direction of travel.
static void surface_step(int n, RayRecord& ray) {
    const SurfaceRecord& s = surface_array()[n];
    const LensData& lens = lens_data();
    enter_step_frame(s, ray);
    if (ray.kind == kRayKept) {
        ray.dtan_x = 0.0;
        ray.sphere_path = 0.0;
    }
    if (ray.grin_state != 0) {
        step_through_grin(n, s, ray);
        return;
    }

    const double setup_length = n == 1 ? ray.dist : 0.0;
    StepShape shape = step_shape(s);
    const double x0 = ray.x, y0 = ray.y, z0 = ray.z;
    if (!closed_form_intersection(s, shape, ray)) return;
    if (lens.angle_mode && shape.cs != 0.0 && shape.form != Form::kToric &&
        on_far_sheet(s, shape.cs, shape.kcs, ray.z)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    closed_form_normal(shape, ray);
    if (shape.general && !general_intersection(n, ray, shape.c, shape.c2, shape.kc, x0, y0, z0)) {
        return;
    }

    if (ray.edge_state != kEdgeNone) return;
    if (ray.backward) {
        if (shape.c == 0.0) backward_plane_hit(n, ray, ray.dist);
        return;
    }
    pass_forward(n, s, lens, setup_length, ray);
}

// The surfaces plain_step serves: a plane, sphere or conic of revolution (see surface_is_plain)
// met by a ray travelling forward in the lens's own frame (no gradient medium, no edge wall, no
// angle mode). For these surface_step would take exactly the same branches; everything else
// goes through it. The lens set-up marks the plain surfaces; a record it has not seen is looked
// at here.
[[gnu::always_inline]] static inline bool is_plain_surface(const SurfaceRecord& s,
                                                           const RayRecord& ray,
                                                           const LensData& lens) {
    if (ray.grin_state != 0 || ray.backward || ray.edge_state != kEdgeNone || lens.angle_mode) {
        return false;
    }
    const std::uint8_t mark = s.plain_mark;
    if (mark == kPlainSurface) return true;
    return mark == kPlainUnknown && surface_is_plain(s);
}

// The fields of a ray that a plain step reads or writes, held in locals along a run of plain
// surfaces: the compiler keeps them in registers, where it would otherwise store every result
// into the record and, unable to tell the record's doubles from the surfaces', load the surface
// values again after each store. The record is written once, where the run ends or fails.
// T is double for one ray (RayState), or RayPair for two rays side by side (RayPairState) that
// share everything but their numbers: surface, media, wavelength, direction of travel
// (plain_run_pair checks this).
template <class T>
struct RayStateOf {
    T x, y, z;
    T k, l, m;
    T dist, opl, chrom_opl;
    T nx, ny, nz, normal_len2, cos_i, gamma;
    const double* medium;
    const double* prev_medium;
    const double* alt_medium;
    const double* prev_alt_medium;
    std::int32_t surface, wavelength;
    std::int16_t group_offset;
    std::uint8_t reversed, backward;

    // One ray: a and b are the same record.
    RayStateOf(const RayRecord& a, const RayRecord& b)
        : x(lanes(a.x, b.x)),
          y(lanes(a.y, b.y)),
          z(lanes(a.z, b.z)),
          k(lanes(a.k, b.k)),
          l(lanes(a.l, b.l)),
          m(lanes(a.m, b.m)),
          dist(lanes(a.dist, b.dist)),
          opl(lanes(a.opl, b.opl)),
          chrom_opl(lanes(a.chrom_opl, b.chrom_opl)),
          nx(lanes(a.nx, b.nx)),
          ny(lanes(a.ny, b.ny)),
          nz(lanes(a.nz, b.nz)),
          normal_len2(lanes(a.normal_len2, b.normal_len2)),
          cos_i(lanes(a.cos_i, b.cos_i)),
          gamma(lanes(a.gamma, b.gamma)),
          medium(a.medium),
          prev_medium(a.prev_medium),
          alt_medium(a.alt_medium),
          prev_alt_medium(a.prev_alt_medium),
          surface(a.surface),
          wavelength(a.wavelength),
          group_offset(a.group_offset),
          reversed(a.reversed),
          backward(a.backward) {}

    void store(int lane, RayRecord& r) const {
        r.x = lane_value(x, lane);
        r.y = lane_value(y, lane);
        r.z = lane_value(z, lane);
        r.k = lane_value(k, lane);
        r.l = lane_value(l, lane);
        r.m = lane_value(m, lane);
        r.dist = lane_value(dist, lane);
        r.opl = lane_value(opl, lane);
        r.chrom_opl = lane_value(chrom_opl, lane);
        r.nx = lane_value(nx, lane);
        r.ny = lane_value(ny, lane);
        r.nz = lane_value(nz, lane);
        r.normal_len2 = lane_value(normal_len2, lane);
        r.cos_i = lane_value(cos_i, lane);
        r.gamma = lane_value(gamma, lane);
        r.medium = medium;
        r.prev_medium = prev_medium;
        r.alt_medium = alt_medium;
        r.prev_alt_medium = prev_alt_medium;
        r.surface = surface;
        r.reversed = reversed;
    }

private:
    static T lanes(double a, double b) {
        if constexpr (sizeof(T) == sizeof(double)) {
            return a;
        } else {
            return T{a, b};
        }
    }
};
using RayState = RayStateOf<double>;
using RayPairState = RayStateOf<RayPair>;

// What a plain step needs of the lens and of the ray's fixed fields, read once per run.
struct PlainRunFixed {
    int image;
    int wavelength_count;
    bool afocal;
    bool check_apertures;
    bool kept;  // kind 3: the step clears the record's dtan_x and sphere_path
};

// A ray parallel to a plane fails quietly: -2701 without a message even for kind 1.
constexpr int kStepMissedQuietly = 1;

// surface_step for a surface that is_plain_surface accepts, with the same arithmetic: 0, or
// kStepMissedQuietly, or the failure code the caller reports. State is a RayState, or a
// RayPairState, for which any non-zero result means that the pair must be split.
template <class State, class T = decltype(State::k)>
[[gnu::always_inline]] static inline int plain_step(int n, const SurfaceRecord& s,
                                                    const PlainRunFixed& fixed, State& ray,
                                                    RawDirectionOf<T>& raw) {
    const double c = s.curvature;
    const double kc = s.conic != 0.0 ? s.conic * c : 0.0;
    const T k = ray.k, l = ray.l, m = ray.m;
    T x = ray.x, y = ray.y, z = ray.z;
    T t;
    if (c == 0.0) {
        if (intersect_plane(z, m, t) != 0) return kStepMissedQuietly;
        ray.cos_i = m;
        x += t * k;
        y += t * l;
        z += t * m;
        ray.nx = lane_splat<T>(0.0);
        ray.ny = lane_splat<T>(0.0);
        ray.nz = lane_splat<T>(1.0);
        ray.normal_len2 = lane_splat<T>(1.0);
    } else {
        const bool alternate = (ray.reversed != 0) != (s.alternate_intersection != 0);
        const QuadraticOf<T> q =
            conic_quadratic_scaled(x, y, z, raw.d.k, raw.d.l, raw.d.m, raw.factor, m, c, kc);
        T root;
        if (solve_surface_quadratic(q, alternate, t, root) != 0) return kRayFailMissed;
        ray.cos_i = root;
        x += t * k;
        y += t * l;
        z += t * m;
        const T nx = -c * x, ny = -c * y, nz = 1.0 - c * z - kc * z;
        ray.nx = nx;
        ray.ny = ny;
        ray.nz = nz;
        ray.normal_len2 = kc == 0.0 ? lane_splat<T>(1.0) : nx * nx + ny * ny + nz * nz;
    }
    ray.x = x;
    ray.y = y;
    ray.z = z;
    ray.prev_medium = ray.medium;
    ray.prev_alt_medium = ray.alt_medium;
    const double* index = ray.medium;
    ray.opl += t * index[ray.wavelength];
    if (fixed.wavelength_count > 2) ray.chrom_opl += (index[1] - index[2]) * t;
    ray.dist = n == 1 ? t + ray.dist : t;  // surface 1 adds the set-up length

    if (fixed.check_apertures && s.aperture_check) {
        const double limit = s.aperture_radius * kApertureSlack;
        if (any_lane(x * x + y * y > limit * limit)) return kRayFailAperture;
    }
    if (n >= fixed.image) return 0;
    return bend_plain(s, ray, raw);
}

static PlainRunFixed plain_run_fixed(const RayRecord& ray, const LensData& lens) {
    return {lens.image_surface, lens.wavelength_count, lens.afocal != 0, ray.check_apertures != 0,
            ray.kind == kRayKept};
}

// Ends a run: the record takes the state, and a failure is reported with it.
static void end_plain_run(const RayState& state, int code, RayRecord& ray) {
    state.store(0, ray);
    if (code == kStepMissedQuietly) {
        ray.failure = kRayFailMissed;
    } else if (code != 0) {
        set_ray_failure(ray, code);
    }
}

[[gnu::always_inline]] static inline void plain_surface_step(int n, const SurfaceRecord& s,
                                                             const LensData& lens, RayRecord& ray) {
    const PlainRunFixed fixed = plain_run_fixed(ray, lens);
    if (fixed.kept) {
        ray.dtan_x = 0.0;
        ray.sphere_path = 0.0;
    }
    RayState state(ray, ray);
    RawDirection raw{{ray.k, ray.l, ray.m}, 1.0};
    const int code = plain_step(n, s, fixed, state, raw);
    end_plain_run(state, code, ray);
}

void intersect_and_refract(int n, RayRecord& ray) {
    const SurfaceRecord& s = surface_array()[n];
    const LensData& lens = lens_data();
    if (is_plain_surface(s, ray, lens)) {
        plain_surface_step(n, s, lens, ray);
    } else {
        surface_step(n, ray);
    }
}

// One surface of the trace loop; the lens and the surface array are looked up once per ray
// by the callers.
[[gnu::always_inline]] static inline void next_surface(RayRecord& ray, const LensData& lens,
                                                       SurfaceRecord* const surfaces) {
    if (ray.grin_state == -2) {
        ray.grin_state = 0;
        ray.grin_surface = 0;
    }
    if (ray.edge_state != kEdgeNone) {
        edge_wall_step(ray);
        if (ray.edge_state != kEdgeNone) return;
    }
    const int i = ray.surface;
    const SurfaceRecord& s = surfaces[i];
    ray.surface = i + 1;
    if (i + 1 >= 2) {
        if (ray.frame_surface < 0) {
            ray.frame_surface = static_cast<std::int16_t>(i);
            ray_into_frame(ray);
        }
        if (s.return_coordinates != nullptr) {
            leave_surface_frame(*s.return_coordinates, ray, false);
            if (s.return_kind == 2 && ray.frame_surface >= 1) {
                apply_frame_to_ray_point(ray, ray.x, ray.y, ray.z, true);
                apply_frame_to_ray_point(ray, ray.k, ray.l, ray.m, false);
                ray.frame_surface = 0;
            }
            if (s.thickness > 0.0 && surfaces[i + 1].vertex_position > s.vertex_position) {
                ray.reversed = 0;
            }
        } else if (s.second_tilt && s.decentre != nullptr) {
            repeat_surface_tilt(*s.decentre, ray, false);
        }
        ray.z -= s.thickness;
        if (i + 1 == lens.image_surface) subtract_image_thickness(ray, lens);
    }
    int next = i + 1;
    const int link = surfaces[next].skip_to;
    // Only links ahead are followed here; a link backwards (as the aiming makes them while it
    // traces back) would never reach the image.
    if (link > next && link <= lens.image_surface) {
        next = link;
        ray.surface = link;
        if (link == lens.image_surface) subtract_image_thickness(ray, lens);
    }
    const SurfaceRecord& ns = surfaces[next];
    if (is_plain_surface(ns, ray, lens)) {
        plain_surface_step(next, ns, lens, ray);
    } else {
        surface_step(next, ray);
    }
    if (ray.failure == 0 && ns.edge) ray.edge_state = kEdgeArmed;
}

void trace_to_next_surface(RayRecord& ray) {
    next_surface(ray, lens_data(), surface_array());
}

// next_surface for a run of marked plain surfaces: a forward ray in the lens's frame (no
// gradient medium, no edge wall, no angle mode) goes on while the surface it enters is marked
// plain and has no edge wall or SKP link ahead, and the surface it leaves returns no
// coordinates and repeats no tilt. It stops before the first surface that needs next_surface,
// or at a failure.
[[gnu::always_inline]] static inline bool run_goes_on(int i, const SurfaceRecord* surfaces,
                                                      bool in_frame) {
    const SurfaceRecord& s = surfaces[i];
    const int next = i + 1;
    const SurfaceRecord& ns = surfaces[next];
    if (ns.plain_mark != kPlainSurface || ns.edge || ns.skip_to > next) return false;
    return next < 2 || (in_frame && s.return_coordinates == nullptr &&
                        !(s.second_tilt && s.decentre != nullptr));
}

// The ray's z in the frame of surface i + 1 (i the surface it stands at).
template <class T>
[[gnu::always_inline]] static inline T z_at_next(T z, int i, const SurfaceRecord* surfaces,
                                                 int image, double image_thickness) {
    if (i + 1 < 2) return z;
    z -= surfaces[i].thickness;
    if (i + 1 == image) z -= image_thickness;
    return z;
}

static double image_thickness_of(const PlainRunFixed& fixed, const SurfaceRecord* surfaces) {
    return fixed.afocal ? 0.0 : surfaces[fixed.image].thickness;
}

// raw: the ray's direction as the last bending left it (see RawDirection).
static void plain_run(RayRecord& ray, int last, const LensData& lens,
                      const SurfaceRecord* const surfaces, const RawDirection& start) {
    const PlainRunFixed fixed = plain_run_fixed(ray, lens);
    const bool in_frame = ray.frame_surface >= 0;
    const double image_thickness = image_thickness_of(fixed, surfaces);
    RayState state(ray, ray);
    RawDirection raw = start;
    int code = 0;
    for (int i = state.surface; i < last; ++i) {
        if (!run_goes_on(i, surfaces, in_frame)) break;
        state.z = z_at_next(state.z, i, surfaces, fixed.image, image_thickness);
        state.surface = i + 1;
        if (fixed.kept) {
            ray.dtan_x = 0.0;
            ray.sphere_path = 0.0;
        }
        code = plain_step(i + 1, surfaces[i + 1], fixed, state, raw);
        if (code != 0) break;
    }
    end_plain_run(state, code, ray);
}

static void trace_to_surface_from(RayRecord& ray, int last, RawDirection raw) {
    const LensData& lens = lens_data();
    SurfaceRecord* const surfaces = surface_array();
    while (ray.failure == 0 && ray.surface < last) {
        if (ray.grin_state == 0 && !ray.backward && ray.edge_state == kEdgeNone &&
            !lens.angle_mode) {
            plain_run(ray, last, lens, surfaces, raw);
            if (ray.failure != 0 || ray.surface >= last) return;
        }
        next_surface(ray, lens, surfaces);
        raw = {{ray.k, ray.l, ray.m}, 1.0};
    }
}

void trace_to_surface(RayRecord& ray, int last) {
    trace_to_surface_from(ray, last, {{ray.k, ray.l, ray.m}, 1.0});
}

void trace_to_surface_resumed(RayRecord& ray, int last, const double raw[3], double factor) {
    trace_to_surface_from(ray, last, {{raw[0], raw[1], raw[2]}, factor});
}

// Whether two rays can run as a pair: both at the start of a plain run, at the same surface, in
// the same media at the same wavelength, travelling the same way with the same checks.
static bool pair_can_run(const RayRecord& a, const RayRecord& b, const LensData& lens) {
    const auto runs = [&lens](const RayRecord& r) {
        return r.failure == 0 && r.grin_state == 0 && !r.backward && r.edge_state == kEdgeNone &&
               !lens.angle_mode;
    };
    return runs(a) && runs(b) && a.surface == b.surface && a.wavelength == b.wavelength &&
           a.medium == b.medium && a.prev_medium == b.prev_medium && a.alt_medium == b.alt_medium &&
           a.prev_alt_medium == b.prev_alt_medium && a.reversed == b.reversed &&
           a.check_apertures == b.check_apertures && (a.kind == kRayKept) == (b.kind == kRayKept) &&
           (a.frame_surface >= 0) == (b.frame_surface >= 0) && a.group_offset == b.group_offset;
}

// plain_run for two rays at once. The pair goes on while both rays take the usual way through
// each surface; before a surface where either would do anything else (fail, graze, stop at an
// aperture, reflect totally) the pair stops, both records hold the state before that surface,
// and each ray goes on alone from there, with its raw direction, exactly as plain_run would.
// The number of surfaces the pair went through.
static int plain_run_pair(RayRecord& a, RayRecord& b, int last, const LensData& lens,
                          const SurfaceRecord* const surfaces, RawDirection& raw_a,
                          RawDirection& raw_b) {
    const PlainRunFixed fixed = plain_run_fixed(a, lens);
    const bool in_frame = a.frame_surface >= 0;
    const double image_thickness = image_thickness_of(fixed, surfaces);
    RayPairState pair(a, b);
    RawDirectionOf<RayPair> raw{{pair.k, pair.l, pair.m}, lane_splat<RayPair>(1.0)};
    const int first = pair.surface;
    for (int i = first; i < last; ++i) {
        if (!run_goes_on(i, surfaces, in_frame)) break;
        RayPairState step = pair;
        RawDirectionOf<RayPair> step_raw = raw;
        step.z = z_at_next(step.z, i, surfaces, fixed.image, image_thickness);
        step.surface = i + 1;
        if (fixed.kept) {
            a.dtan_x = b.dtan_x = 0.0;
            a.sphere_path = b.sphere_path = 0.0;
        }
        if (plain_step(i + 1, surfaces[i + 1], fixed, step, step_raw) != 0) break;
        pair = step;
        raw = step_raw;
    }
    pair.store(0, a);
    pair.store(1, b);
    raw_a = {{raw.d.k[0], raw.d.l[0], raw.d.m[0]}, raw.factor[0]};
    raw_b = {{raw.d.k[1], raw.d.l[1], raw.d.m[1]}, raw.factor[1]};
    return pair.surface - first;
}

int trace_pair_to_surface(RayRecord& a, RayRecord& b, int last, void (*between)(void*),
                          void* context) {
    const LensData& lens = lens_data();
    RawDirection raw_a{{a.k, a.l, a.m}, 1.0};
    RawDirection raw_b{{b.k, b.l, b.m}, 1.0};
    int together = 0;
    if (pair_can_run(a, b, lens)) {
        together = plain_run_pair(a, b, last, lens, surface_array(), raw_a, raw_b);
    }
    trace_to_surface_from(a, last, raw_a);
    if (between != nullptr) between(context);
    trace_to_surface_from(b, last, raw_b);
    return together;
}

void trace_special_surface(int n, RayRecord& ray) {
    if (n >= lens_data().image_surface) return;
    const SurfaceRecord& s = surface(n);
    // Traced backwards, a ray enters a gradient medium at the surface behind it.
    if (ray.backward && ray.grin_state == 0 && n >= 2 && surface(n - 1).grin != nullptr) {
        enter_grin_backward(n, ray);
        return;
    }
    const TraceSeams& seams = trace_seams();
    void (*step)(int, RayRecord&) = nullptr;
    if (s.grin != nullptr) {
        step = seams.refract_into_grin;
    } else if (s.grating_spacing != 0.0) {
        step = seams.trace_grating;
    } else if (s.diffractive != nullptr) {
        step = seams.trace_diffractive_surface;
    } else if (s.hologram != nullptr) {
        step = seams.trace_hologram;
    } else if (s.perfect_lens == nullptr) {
        refract_at_surface(n, ray);
        return;
    } else {
        step = seams.trace_perfect_lens;
    }
    if (step == nullptr) {
        set_ray_failure(ray, kRayFailNotAvailable);
        return;
    }
    step(n, ray);
}

void refract_at_surface(int n, RayRecord& ray) {
    refract_plain(surface_array()[n], ray);
}

bool surface_apertures_pass(int n, RayRecord& ray) {
    return apertures_pass(n, ray);
}

bool backward_plane_hit(int n, RayRecord& ray, double dist) {
    if (dist + kConvergenceCoarse >= 0.0) {
        const TraceSeams& seams = trace_seams();
        if (seams.aperture_hit_test == nullptr) {
            set_ray_failure(ray, kRayFailNotAvailable);
            return false;
        }
        if (seams.aperture_hit_test(n, ray.x, ray.y) == 0) return true;
    }
    set_ray_failure(ray, kRayFailMissed);
    return false;
}

void edge_wall_step(RayRecord& ray) {
    if (ray.edge_state == kEdgeArmed) {
        std::swap(ray.alt_medium, ray.prev_alt_medium);
        ray.edge_state = kEdgeInside;
    }
    const int w = ray.wavelength;
    if (ray.edge_state == kEdgeLeft || ray.medium[w] == ray.prev_medium[w]) {
        ray.edge_state = kEdgeNone;
        return;
    }
    auto end_edge = [&ray]() {
        ray.edge_state = kEdgeNone;
        std::swap(ray.alt_medium, ray.prev_alt_medium);
    };
    const int sn = ray.surface;
    const SurfaceRecord& s = surface(sn);
    double ax, ay;
    if (s.special_aperture_count == 1 && s.special_apertures != nullptr &&
        s.special_apertures[0].shape == kApertureEllipse &&
        s.special_apertures[0].action == kActionClear && s.special_apertures[0].angle == 0.0) {
        ax = s.special_apertures[0].x[1];
        ay = s.special_apertures[0].y[1];
    } else {
        ax = ay = s.aperture_radius;
        if (ax == 0.0) {
            end_edge();
            return;
        }
    }
    if (!(std::fabs(ax) >= kZeroDenominator && std::fabs(ay) >= kZeroDenominator)) {
        end_edge();
        return;
    }

    // How far the ray runs before it meets the next surface.
    RayRecord copy = ray;
    copy.z -= s.thickness;
    intersect_and_refract(sn + 1, copy);
    double tmax;
    if (copy.failure == 0) {
        tmax = copy.dist;
    } else if (std::fabs(ray.m) >= kZeroDenominator) {
        tmax = (s.thickness - ray.z) / ray.m;
    } else {
        tmax = kInfiniteDistance;
    }

    const double ax2 = ax * ax, ay2 = ay * ay;
    const double a = ray.k * ray.k / ax2 + ray.l * ray.l / ay2;
    const double b = ray.k * ray.x / ax2 + ray.l * ray.y / ay2;
    const double cc = ray.x * ray.x / ax2 + ray.y * ray.y / ay2 - 1.0;
    const double disc = b * b - a * cc;
    if (disc < 0.0 || a < kDiscriminantZero) {
        end_edge();
        return;
    }
    const double t = (std::sqrt(disc) - b) / a;
    if (tmax < t) {
        end_edge();
        return;
    }
    ray.dist = t;
    ray.x += t * ray.k;
    ray.y += t * ray.l;
    ray.z += t * ray.m;
    double nx = ray.x / ax2, ny = ray.y / ay2;
    const double len = std::sqrt(nx * nx + ny * ny);
    if (!(len >= kZeroDenominator)) {
        end_edge();
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    nx /= len;
    ny /= len;
    ray.nx = nx;
    ray.ny = ny;
    ray.nz = 0.0;
    ray.normal_len2 = 1.0;
    ray.cos_i = nx * ray.k + ny * ray.l;
    if (ray.cos_i < 0.0) {
        end_edge();
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    if (!(std::fabs(ray.prev_medium[w]) >= kZeroDenominator)) {
        end_edge();
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const double mu = ray.medium[w] / ray.prev_medium[w];
    const double d = (ray.cos_i * ray.cos_i - 1.0) * mu * mu + 1.0;
    if (d < kDiscriminantZero) {
        ray.gamma = 2.0 * ray.cos_i;
        ray.k -= ray.gamma * nx;
        ray.l -= ray.gamma * ny;
    } else {
        double root = std::sqrt(d);
        if (mu * ray.cos_i < 0.0) root = -root;
        ray.gamma = root - mu * ray.cos_i;
        ray.k = mu * ray.k + ray.gamma * nx;
        ray.l = mu * ray.l + ray.gamma * ny;
        ray.m = mu * ray.m;
        ray.edge_state = kEdgeLeft;
    }
    add_segment_path(ray, t, lens_data().wavelength_count);
    if (ray.edge_state == kEdgeLeft) std::swap(ray.medium, ray.prev_medium);
}
