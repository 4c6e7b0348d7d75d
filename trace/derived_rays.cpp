#include "trace/derived_rays.h"

#include <algorithm>
#include <cmath>

#include "lens/lens_data.h"
#include "trace/checked_sqrt.h"
#include "trace/lens_setup.h"
#include "trace/ray_frames.h"
#include "trace/ray_media.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"
#include "trace/surface_intersect.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

// Most Newton passes of a fractional ray, and of the growing object steps.
constexpr int kMaxPasses = 31;
// Below this angle (radians) an object step has not yet turned the ray's end direction.
constexpr double kMinDirectionChange = 1e-7;
// The crossing test allows this fraction of the reference aperture.
constexpr double kCrossingSlack = 0.05;
constexpr double kDioptresPerReciprocalMillimetre = 1000.0;

RayDerivative& pupil_a_record() {
    return reference_ray().derivatives[kDerivPupilX];
}
RayDerivative& pupil_b_record() {
    return reference_ray().derivatives[kDerivPupilY];
}

// The records that travel with the ray: the pupil pair, and for the reference ray also the
// object pair.
int travelling_records(const RayRecord& ray) {
    return ray.kind == kRayReference ? 4 : 2;
}

bool wide_aiming(const LensData& lens) {
    return lens.wide_angle != 0 && trace_globals().aiming_possible != 0 &&
           lens.reference_surface >= 2;
}

// An afocal lens gives its focus distances as vergences in dioptres, measured from the surface
// before the image surface.
double afocal_vergence(double f, double z, const LensData& lens) {
    if (!lens.afocal) return f;
    const int before = lens.image_surface - 1;
    const double T = before >= 0 ? surface(before).thickness : 0.0;
    const double d = T + z + f;
    if (std::fabs(d) <= kZeroDenominator) return f;
    return kDioptresPerReciprocalMillimetre / (d * lens.units);
}

// The axial distance from the end point to where a neighbour crosses the ray in the projection
// on one transverse coordinate u: du, dz, dlu, dn the neighbour's differences (or derivatives)
// in u, z, the direction cosine of u and the axial cosine; lu the ray's direction cosine of u.
double focus_distance(const RayRecord& ray, double du, double dz, double dlu, double dn, double lu,
                      const LensData& lens) {
    if (std::fabs(ray.m) <= kZeroDenominator) return 0.0;
    const double t = lu / ray.m;
    const double w = (t * dn - dlu) / ray.m;
    if (std::fabs(w) <= kZeroDenominator) return 0.0;
    return afocal_vergence((du - dz * t) / w, ray.z, lens);
}

void shift_wide_start(RayDerivative& d, const RayRecord& ray, double tau) {
    const double gamma = -tau * d.dm / ray.m;
    d.dx += tau * d.dk + gamma * ray.k;
    d.dy += tau * d.dl + gamma * ray.l;
    d.dz += tau * d.dm + gamma * ray.m;
}

void write_differential_results(RayRecord& ray, const LensData& lens) {
    const RayDerivative& a = pupil_a_record();
    const RayDerivative& b = pupil_b_record();
    ray.dx = a.dx;
    ray.dy = a.dy;
    ray.dz = b.dx;
    ray.dtan_x = b.dy;
    ray.dtan_y = focus_distance(ray, a.dx, a.dz, a.dk, a.dm, ray.k, lens);
    ray.sphere_path = focus_distance(ray, b.dy, b.dz, b.dl, b.dm, ray.l, lens);
}

}  // namespace

void flip_ray_direction(RayRecord& ray) {
    ray.reversed = static_cast<std::uint8_t>(1 - ray.reversed);
}

void init_differential_rays(RayRecord& ray) {
    const LensData& lens = lens_data();
    const TraceGlobals& g = trace_globals();
    ReferenceRay& ref = reference_ray();
    const double L = ray.k, M = ray.l, N = ray.m;
    const double u = g.reciprocal_object_distance;
    const double h = lens.axial_start_height;
    const double eta1 = u * h;
    pupil_a_record() = {
        h, 0.0, 0.0, eta1 * N * (1.0 - L * L), eta1 * N * (-L * M), eta1 * N * (-L * N)};
    pupil_b_record() = {
        0.0, h, 0.0, eta1 * N * (-L * M), eta1 * N * (1.0 - M * M), eta1 * N * (-M * N)};
    if (ray.kind == kRayReference) {
        // The object point moves along the object surface: by H in x (or y) of surface 0's own
        // frame and by the sag's slope in z there, then turned into the frame the ray starts
        // in. The stored normal is already turned by surface 0's tilt (the set-up did it), so
        // it is turned back once to give the slope. The start point on the plane of surface 1
        // moves by H' along x (or y); the direction D = (S - P) / |S - P| changes by
        // u N (I - D D^T)(dS - dP).
        const SagPoint& o = g.object_point;
        const DecentreRecord* tilt = surface(0).decentre;
        double onx = o.nx, ony = o.ny, onz = o.nz;
        if (tilt != nullptr && tilt->rotation_kind != 0) rotate_by_tilt(*tilt, onx, ony, onz);
        const double H = lens.object_height, H1 = lens.chief_start_height;
        auto object_record = [&](bool in_x, RayDerivative& d) {
            const double slope = std::fabs(onz) > kZeroDenominator ? (in_x ? onx : ony) / onz : 0.0;
            double px = in_x ? H : 0.0, py = in_x ? 0.0 : H, pz = -H * slope;
            if (tilt != nullptr && tilt->rotation_kind != 0) rotate_transposed(*tilt, px, py, pz);
            const double vx = (in_x ? H1 : 0.0) - px, vy = (in_x ? 0.0 : H1) - py, vz = -pz;
            const double along = vx * L + vy * M + vz * N;
            const double f = u * N;
            d = {in_x ? H1 : 0.0,      in_x ? 0.0 : H1,      0.0,
                 f * (vx - along * L), f * (vy - along * M), f * (vz - along * N)};
        };
        object_record(true, ref.derivatives[kDerivObjectX]);
        object_record(false, ref.derivatives[kDerivObjectY]);
    }
    if (wide_aiming(lens) && surface(0).thickness >= kInfiniteObject && N > 0.0) {
        const double tau = ray.z / N;
        for (int i = 0; i < travelling_records(ray); ++i) {
            shift_wide_start(ref.derivatives[i], ray, tau);
        }
    }
}

void transfer_differential_ray(const RayRecord& ray, RayDerivative& d) {
    const double t = ray.dist;
    const double px = d.dx + t * d.dk, py = d.dy + t * d.dl, pz = d.dz + t * d.dm;
    const double dt = -(px * ray.nx + py * ray.ny + pz * ray.nz) / ray.cos_i;
    d.dx = px + dt * ray.k;
    d.dy = py + dt * ray.l;
    d.dz = pz + dt * ray.m;
}

void refract_differential_ray(const RayRecord& ray, RayDerivative& d, double a1, double a2,
                              double mu, double s_out) {
    if (mu != 1.0) {
        d.dk *= mu;
        d.dl *= mu;
        d.dm *= mu;
    }
    double w = ray.k * d.dk + ray.l * d.dl + ray.m * d.dm;
    if (a1 != 0.0) {
        const double nx = -a1 * d.dx, ny = -a1 * d.dy, nz = -(a1 + a2) * d.dz;
        w = (w + ray.k * nx + ray.l * ny + ray.m * nz) / s_out;
        d.dk += nx - w * ray.nx;
        d.dl += ny - w * ray.ny;
        d.dm += nz - w * ray.nz;
    } else {
        d.dm -= w / s_out;
    }
}

void trace_differential_ray(RayRecord& ray) {
    const LensData& lens = lens_data();
    SurfaceRecord* const surfaces = surface_array();
    ReferenceRay& ref = reference_ray();
    const int image = lens.image_surface;
    const int records = travelling_records(ray);
    const int i = ray.surface;
    ray.surface = i + 1;
    if (i + 1 < 2) {
        init_differential_rays(ray);
    } else {
        const SurfaceRecord& s = surfaces[i];
        if (s.return_coordinates != nullptr) {
            leave_surface_frame(*s.return_coordinates, ray, true);
            if (s.thickness > 0.0 && surfaces[i + 1].vertex_position > s.vertex_position) {
                ray.reversed = 0;
            }
        } else if (s.second_tilt && s.decentre != nullptr) {
            repeat_surface_tilt(*s.decentre, ray, true);
        }
        ray.z -= s.thickness;
        if (i + 1 == image && !lens.afocal) ray.z -= surfaces[image].thickness;
    }
    int n = i + 1;
    const int link = surfaces[n].skip_to;
    if (link > n && link <= image) {
        n = link;
        ray.surface = link;
        if (link == image && !lens.afocal) ray.z -= surfaces[image].thickness;
    }
    const SurfaceRecord& s = surfaces[n];
    if (s.decentre != nullptr) {
        if (s.decentre_reference != nullptr) leave_surface_frame(*s.decentre_reference, ray, true);
        enter_surface_frame(*s.decentre, ray, true);
    }

    const double c = s.curvature;
    const double kc = s.conic != 0.0 ? s.conic * c : 0.0;
    double t = 0.0;
    if (c == 0.0) {
        if (intersect_plane(ray.z, ray.m, t) != 0) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        ray.cos_i = ray.m;
    } else {
        const SurfaceQuadratic q = conic_quadratic(ray.x, ray.y, ray.z, ray.k, ray.l, ray.m, c, kc);
        const bool alternate = (ray.reversed != 0) != (s.alternate_intersection != 0);
        double root = 0.0;
        if (solve_surface_quadratic(q, alternate, t, root) != 0) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        ray.cos_i = root;
    }
    const double setup_length = n == 1 ? ray.dist : 0.0;
    ray.x += t * ray.k;
    ray.y += t * ray.l;
    ray.z += t * ray.m;
    ray.dist = t;
    if (c == 0.0) {
        ray.nx = 0.0;
        ray.ny = 0.0;
        ray.nz = 1.0;
        ray.normal_len2 = 1.0;
    } else {
        ray.nx = -c * ray.x;
        ray.ny = -c * ray.y;
        ray.nz = 1.0 - c * ray.z - kc * ray.z;
        ray.normal_len2 = kc == 0.0 ? 1.0 : ray.nx * ray.nx + ray.ny * ray.ny + ray.nz * ray.nz;
    }
    for (int r = 0; r < records; ++r) transfer_differential_ray(ray, ref.derivatives[r]);

    ray.prev_medium = ray.medium;
    ray.prev_alt_medium = ray.alt_medium;
    const int w = ray.wavelength;
    ray.opl += t * ray.medium[w];
    if (lens.wavelength_count > 2) ray.chrom_opl += (ray.medium[1] - ray.medium[2]) * t;
    ray.dist += setup_length;

    if (n >= image) {
        write_differential_results(ray, lens);
        return;
    }

    const double n2 = ray.normal_len2;
    const double cos_i = ray.cos_i;
    double mu = 1.0, s_out = 0.0, g = 0.0;
    bool reflect = s.medium_kind == kMediumMirror;
    if (!reflect) {
        const double* next = forward_index(s);
        if (next == nullptr || ray.prev_medium == nullptr ||
            !(std::fabs(next[w]) >= kZeroDenominator)) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        const double n_in = ray.prev_medium[w], n_out = next[w];
        if (n_in == n_out) {
            ray.gamma = 0.0;
            ray.medium = next;
            ray.alt_medium = secondary_index(s);
            return;
        }
        mu = n_in / n_out;
        const double q = (cos_i * cos_i - n2) * mu * mu + n2;
        if (q > kZeroDenominator) {
            if (s.tir_only) {
                set_ray_failure(ray, kRayFailNoReflection);
                return;
            }
            s_out = checked_sqrt(q);
            if (mu * cos_i < 0.0) s_out = -s_out;
            g = n2 != 1.0 ? (s_out - mu * cos_i) / n2 : s_out - mu * cos_i;
            ray.k = mu * ray.k + g * ray.nx;
            ray.l = mu * ray.l + g * ray.ny;
            ray.m = mu * ray.m + g * ray.nz;
            ray.gamma = g;
            ray.medium = next;
            ray.alt_medium = secondary_index(s);
        } else {
            if (!s.tir_only) {
                set_ray_failure(ray, kRayFailTotalReflection);
                return;
            }
            reflect = true;
        }
    }
    if (reflect) {
        s_out = -cos_i;
        mu = 1.0;
        g = n2 != 1.0 ? -2.0 * cos_i / n2 : -2.0 * cos_i;
        ray.k += g * ray.nx;
        ray.l += g * ray.ny;
        ray.m += g * ray.nz;
        ray.gamma = -g;
        flip_ray_direction(ray);
    }
    const double d = 1.0 - (ray.k * ray.k + ray.l * ray.l + ray.m * ray.m);
    if (d != 0.0) {
        const double f = 1.0 + 0.5 * d;
        ray.k *= f;
        ray.l *= f;
        ray.m *= f;
    }
    for (int r = 0; r < records; ++r) {
        refract_differential_ray(ray, ref.derivatives[r], g * c, g * kc, mu, s_out);
    }
}

namespace {

const RayRecord* reference_for_mode(int mode) {
    // Mode 0 sets a ray up against the reference ray; no other mode is used by the trace.
    (void)mode;
    return nullptr;
}

void trace_neighbour(RayRecord& aux, int mode) {
    setup_ray_at_object(aux, reference_for_mode(mode));
    trace_to_surface(aux, lens_data().image_surface);
}

// A step of 1e-6 in the sign of v, or of fallback when v is zero.
double signed_step(double v, double fallback) {
    const double sign_source = std::fabs(v) < kZeroDenominator ? fallback : v;
    return sign_source < 0.0 ? -kDifferenceStep : kDifferenceStep;
}

double end_angle(const RayRecord& a, const RayRecord& b) {
    const double c = std::clamp(a.k * b.k + a.l * b.l + a.m * b.m, -1.0, 1.0);
    return std::acos(c);
}

void scaled_differences(const RayRecord& aux, const RayRecord& ray, double scale,
                        RayDerivative& out) {
    out = {(aux.x - ray.x) * scale, (aux.y - ray.y) * scale, (aux.z - ray.z) * scale,
           (aux.k - ray.k) * scale, (aux.l - ray.l) * scale, (aux.m - ray.m) * scale};
}

}  // namespace

void trace_auxiliary_rays(RayRecord& ray, int mode) {
    const LensData& lens = lens_data();
    TraceGlobals& g = trace_globals();
    const bool wide = wide_aiming(lens);
    const double a = ray.pup_x, b = ray.pup_y;
    // The pupil fractions the caller asked for: in wide mode the aimed ray's, else the ray's.
    const double ar = wide ? ray.aim_pup_x : a;
    const double br = wide ? ray.aim_pup_y : b;
    const double step_a = (a + signed_step(ar, ray.obj_x)) - a;
    const double step_b = (b + signed_step(br, ray.obj_y)) - b;

    RayRecord aux1 = ray;
    double base_a = 0.0, base_b = 0.0;
    if (wide) {
        aux1.pup_x = aux1.aim_pup_x = ar;
        aux1.pup_y = aux1.aim_pup_y = br;
        setup_ray_at_object(aux1, reference_for_mode(mode));
        base_a = aux1.paraxial_pup_x;
        base_b = aux1.paraxial_pup_y;
        aux1 = ray;
        aux1.pup_x = aux1.aim_pup_x = ar + step_a;
        aux1.pup_y = aux1.aim_pup_y = br;
    } else {
        aux1.pup_x = a + step_a;
        aux1.pup_y = b;
    }
    trace_neighbour(aux1, mode);
    double scale1 = 1.0 / step_a;
    if (wide) {
        const double diff = aux1.paraxial_pup_x - base_a;
        if (std::fabs(diff) >= kZeroDenominator) scale1 = 1.0 / diff;
    }

    RayRecord aux2 = ray;
    if (wide) {
        aux2.pup_x = aux2.aim_pup_x = ar;
        aux2.pup_y = aux2.aim_pup_y = br + step_b;
    } else {
        aux2.pup_x = a;
        aux2.pup_y = b + step_b;
    }
    trace_neighbour(aux2, mode);
    double scale2 = 1.0 / step_b;
    if (wide) {
        const double diff = aux2.paraxial_pup_y - base_b;
        if (std::fabs(diff) >= kZeroDenominator) scale2 = 1.0 / diff;
    }

    RayDerivative da, db;
    scaled_differences(aux1, ray, scale1, da);
    scaled_differences(aux2, ray, scale2, db);
    ray.dx = da.dx;
    ray.dy = da.dy;
    ray.dz = db.dx;
    ray.dtan_x = db.dy;
    ray.dtan_y = focus_distance(ray, aux1.x - ray.x, aux1.z - ray.z, aux1.k - ray.k, aux1.m - ray.m,
                                ray.k, lens);
    ray.sphere_path = focus_distance(ray, aux2.y - ray.y, aux2.z - ray.z, aux2.l - ray.l,
                                     aux2.m - ray.m, ray.l, lens);
    if (ray.kind != kRayReference) return;

    ReferenceRay& ref = reference_ray();
    ref.derivatives[kDerivPupilX] = da;
    ref.derivatives[kDerivPupilY] = db;

    // Object derivatives. A wide-angle ray going forward is stepped in the object without the
    // aiming, an object at infinity in heights of the equivalent finite object.
    const bool unaimed = wide && ray.m > 0.0;
    const double th0 = surface(0).thickness;
    const bool infinite = th0 >= kInfiniteObject;
    ScopedValue<int> aiming(g.aiming_possible);
    double ox = ray.obj_x, oy = ray.obj_y;
    if (unaimed) {
        g.aiming_possible = 0;
        const double H = lens.object_height, theta = lens.field_angle;
        if (infinite && std::fabs(H) >= kZeroDenominator) {
            ox = -std::tan(theta * ray.obj_x) * th0 / H;
            oy = -std::tan(theta * ray.obj_y) * th0 / H;
        }
    }
    auto neighbour_pupil = [&](RayRecord& aux) {
        if (unaimed) {
            aux.pup_x = aux.aim_pup_x = base_a;
            aux.pup_y = aux.aim_pup_y = base_b;
        } else if (wide) {
            aux.pup_x = aux.aim_pup_x = ar;
            aux.pup_y = aux.aim_pup_y = br;
        } else {
            aux.pup_x = a;
            aux.pup_y = b;
        }
    };
    // Steps grow tenfold until the neighbour's end direction turns measurably.
    auto object_neighbour = [&](RayRecord& aux, bool in_x) {
        const double base = in_x ? ox : oy;
        double step = (base + signed_step(base, base)) - base;
        for (int pass = 0; pass < kMaxPasses; ++pass) {
            aux = ray;
            aux.obj_x = ox;
            aux.obj_y = oy;
            (in_x ? aux.obj_x : aux.obj_y) = base + step;
            neighbour_pupil(aux);
            trace_neighbour(aux, mode);
            step *= 10.0;
            if (end_angle(aux, ray) >= kMinDirectionChange) break;
        }
        return step;
    };
    auto object_scale = [&](double fraction, double final_step) {
        if (!(wide && infinite)) return 10.0 / final_step;
        const double theta = lens.field_angle;
        const double c = std::fabs(theta) < kZeroDenominator ? 1.0 : 1.0 / std::tan(theta);
        const double diff =
            std::tan((fraction + 0.1 * final_step) * theta) - std::tan(fraction * theta);
        if (std::fabs(diff) < kZeroDenominator) return 0.0;
        return 1.0 / (diff * c);
    };
    const double final_x = object_neighbour(aux1, true);
    const double final_y = object_neighbour(aux2, false);
    scaled_differences(aux1, ray, object_scale(ray.obj_x, final_x), ref.derivatives[kDerivObjectX]);
    scaled_differences(aux2, ray, object_scale(ray.obj_y, final_y), ref.derivatives[kDerivObjectY]);
}

namespace {

// The surface where the ray now stands, counted as its messages count it.
int surface_as_numbered(const RayRecord& ray) {
    return ray.group_offset >= 1 ? ray.surface + ray.group_offset : ray.surface;
}

struct FractionalAttempt {
    int passes = 0;
    bool converged = false;
};

// Newton passes on the pupil fractions until the ray meets the reference surface at
// (alpha R, beta R). The lens's image surface is the reference surface meanwhile.
FractionalAttempt fractional_attempt(RayRecord& ray, double alpha, double beta, double radius,
                                     const RayRecord* reference) {
    FractionalAttempt at;
    for (;;) {
        trace_ray(ray);
        if (ray.failure != 0) return at;
        const double rx = alpha * radius - ray.x;
        const double ry = beta * radius - ray.y;
        if (std::fabs(rx) < kConvergenceCoarse && std::fabs(ry) < kConvergenceCoarse) {
            at.converged = true;
            if (reference != nullptr) trace_special_surface(surface_as_numbered(ray), ray);
            return at;
        }
        const double xa = ray.dx, ya = ray.dy, xb = ray.dz, yb = ray.dtan_x;
        const double det = xa * yb - xb * ya;
        if (std::fabs(det) < kZeroDenominator) return at;
        ray.pup_y += (xa * ry - ya * rx) / det;
        ray.pup_x += (yb * rx - xb * ry) / det;
        if (++at.passes >= kMaxPasses) return at;
    }
}

// A ray that failed on the paraxial pupil is tried once with the wide-angle aiming, which
// leaves the pupil fractions of the aimed ray; it is then set up plainly with those.
void wide_angle_retry(RayRecord& ray, double alpha, double beta, const RayRecord* reference) {
    LensData& lens = lens_data();
    TraceGlobals& g = trace_globals();
    const double th0 = surface(0).thickness;
    // Without the aiming the retry could only replace the ray's own failure by "not available".
    const TraceSeams& seams = trace_seams();
    const bool can_aim = th0 >= kInfiniteObject ? seams.aim_ray != nullptr &&
                                                      seams.direction_from_field_angles != nullptr
                                                : seams.aim_ray_finite_object != nullptr;
    if (!can_aim) return;
    ScopedValue<int> possible(g.aiming_possible, 1);
    ScopedValue<double> scale_x(g.pupil_scale[0], 1.0), scale_y(g.pupil_scale[1], 1.0);
    ScopedValue<double> cross_x(g.aiming_state[0], 0.0), cross_y(g.aiming_state[1], 0.0);
    g.aim_cache_stale = 1;
    {
        ScopedValue<std::uint8_t> wide(lens.wide_angle, 2);
        ScopedValue<double> ox(ray.obj_x), oy(ray.obj_y);
        const double theta = lens.field_angle, H = lens.object_height;
        if (th0 >= kInfiniteObject && std::fabs(theta) >= kZeroDenominator) {
            ray.obj_x = std::atan2(-H * ray.obj_x, th0) / theta;
            ray.obj_y = std::atan2(-H * ray.obj_y, th0) / theta;
        }
        ray.pup_x = ray.aim_pup_x = alpha;
        ray.pup_y = ray.aim_pup_y = beta;
        ray.failure = 0;
        setup_ray_at_object(ray, nullptr);
    }
    if (g.aiming_possible == 0 || ray.failure != 0) return;
    if (lens.aim_mode == kAimRimRays && ray.kind == kRayFractional) {
        if (std::fabs(lens.axial_start_height) < kSmallPupilRatio * std::fabs(th0) || lens.epxy) {
            ray.pup_x -= reference_ray().ray.pup_x;
            ray.pup_y -= reference_ray().ray.pup_y;
        } else {
            ray.pup_x = ray.eff_pup_x;
            ray.pup_y = ray.eff_pup_y;
        }
    }
    setup_ray_at_object(ray, nullptr);
    if (reference != nullptr) trace_to_surface(ray, lens.reference_surface);
}

}  // namespace

void trace_fractional_ray(RayRecord& ray, int kind, double start_a, double start_b, int skip,
                          const RayRecord* reference) {
    LensData& lens = lens_data();
    const int rfs = lens.reference_surface;
    const double alpha = ray.pup_x, beta = ray.pup_y;
    ray.aim_pup_x = alpha;
    ray.aim_pup_y = beta;
    ray.kind = static_cast<std::uint8_t>(kind);
    if (rfs < 1 || rfs > lens.image_surface) {
        set_ray_failure(ray, kRayFailMissed);
    } else if (lens.wide_angle != 0 && rfs >= 2) {
        trace_ray(ray);
    } else if (lens.aim_telecentric && std::fabs(surface(0).thickness) < kInfiniteObject &&
               (trace_globals().aiming_in_progress || skip)) {
        ray.pup_x = 0.0;
        ray.pup_y = 0.0;
        ray.failure = 0;
    } else {
        const double radius = surface(rfs).aperture_radius;
        FractionalAttempt at;
        {
            ScopedValue<std::int32_t> image(lens.image_surface, rfs);
            ScopedValue<double> thickness(surface(rfs).thickness, 0.0);
            ray.pup_x = start_a;
            ray.pup_y = start_b;
            const bool second_try =
                std::fabs(start_a) > kZeroDenominator || std::fabs(start_b) > kZeroDenominator;
            at = fractional_attempt(ray, alpha, beta, radius, reference);
            if (second_try && (ray.failure != 0 || at.passes >= kMaxPasses)) {
                ray.pup_x = 0.0;
                ray.pup_y = 0.0;
                ray.failure = 0;
                at = fractional_attempt(ray, alpha, beta, radius, reference);
            }
        }
        if (ray.failure == 0 && at.passes >= kMaxPasses)
            set_ray_failure(ray, kRayFailNoConvergence);
        if (ray.failure == 0) {
            RayRecord rest = ray;
            if (reference == nullptr) trace_special_surface(surface_as_numbered(rest), rest);
            trace_to_surface(rest, lens.image_surface);
            ray.failure = rest.failure;
        }
        if (ray.failure != 0 && lens.wide_angle == 0 && stop_path_is_plain() == 1) {
            wide_angle_retry(ray, alpha, beta, reference);
        }
    }
    if (ray.failure == 0 && reference != nullptr) {
        const double tau = std::fabs(kCrossingSlack * surface(rfs).aperture_radius);
        const double da = ray.pup_x - reference->pup_x, db = ray.pup_y - reference->pup_y;
        const double px = db * reference->dz + da * reference->dx;
        const double qx = ray.x - reference->x;
        const double py = db * reference->dtan_x + da * reference->dy;
        const double qy = ray.y - reference->y;
        const bool crossed_x = std::fabs(px) > tau && std::fabs(qx) > tau && px * qx < 0.0;
        const bool crossed_y = std::fabs(py) > tau && std::fabs(qy) > tau && py * qy < 0.0;
        if (crossed_x || crossed_y) ray.failure = 1;
    }
    if (ray.failure != 0) {
        ray.x = ray.y = 0.0;
        ray.dtan_y = ray.sphere_path = 0.0;
        ray.pup_x = alpha;
        ray.pup_y = beta;
    }
}

void install_derived_rays() {
    TraceSeams& seams = trace_seams();
    seams.trace_differential_ray = trace_differential_ray;
    seams.trace_auxiliary_rays = trace_auxiliary_rays;
}
