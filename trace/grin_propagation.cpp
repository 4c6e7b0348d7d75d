#include "trace/grin_propagation.h"

#include <cmath>
#include <cstdint>

#include "lens/lens_data.h"
#include "trace/aperture_shapes.h"
#include "trace/drawing_buffers.h"
#include "trace/ray_aiming.h"
#include "trace/ray_frames.h"
#include "trace/ray_media.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/sag_point.h"
#include "trace/special_surfaces.h"
#include "trace/surface_probes.h"
#include "trace/surface_sag.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

// Below this q the refraction has no real root: total internal reflection.
constexpr double kReflectionThreshold = 1e-16;
// A step shorter than this puts the ray on the end surface.
constexpr double kOnSurface = 1e-9;
constexpr double kRunawayDirection = 1e20;

// Reflection of the direction at the normal in the ray.
void reflect_in_normal(RayRecord& ray) {
    double gamma = 2.0 * ray.cos_i;
    if (ray.normal_len2 != 1.0) gamma /= ray.normal_len2;
    ray.k -= gamma * ray.nx;
    ray.l -= gamma * ray.ny;
    ray.m -= gamma * ray.nz;
    ray.gamma = gamma;
    if (!ray.backward) ray.reversed ^= 1;
}

struct Tables {
    const double* table;
    const double* alt;
    std::uint8_t kind;
};

Tables tables_after(int n, const RayRecord& ray) {
    const SurfaceRecord& s = surface(n);
    if (ray.backward) return {backward_index(n), nullptr, s.medium_kind_backward};
    return {forward_index(s), secondary_index(s), s.medium_kind};
}

// Bends the ray at surface n from index n1 into the medium of index n2 (the special surfaces
// take their indices from the media step themselves). False when the ray failed.
bool bend_at(int n, RayRecord& ray, const Tables& t, double n1, double n2) {
    const SurfaceRecord& s = surface(n);
    if (s.grating_spacing != 0.0) {
        trace_grating(n, ray);
    } else if (s.diffractive != nullptr) {
        trace_diffractive_surface(n, ray);
    } else if (s.hologram != nullptr) {
        trace_hologram(n, ray);
    } else if (s.perfect_lens != nullptr) {
        trace_perfect_lens(n, ray);
    } else if (t.kind == kMediumMirror) {
        reflect_in_normal(ray);
    } else if (n1 == n2) {
        ray.gamma = 0.0;
        ray.medium = t.table;
        ray.alt_medium = t.alt;
    } else {
        if (!std::isfinite(n1) || !std::isfinite(n2) || std::fabs(n2) < kZeroDenominator) {
            set_ray_failure(ray, kRayFailMissed);
            return false;
        }
        const double mu = n1 / n2;
        const double len2 = ray.normal_len2;
        const double c = ray.cos_i;
        const double q = (c * c - len2) * mu * mu + len2;
        if (q >= kReflectionThreshold) {
            if (s.tir_only) {
                set_ray_failure(ray, kRayFailNoReflection);
                return false;
            }
            double root = std::sqrt(q);
            if (mu * c < 0.0) root = -root;
            double gamma = root - mu * c;
            if (len2 != 1.0) gamma /= len2;
            ray.k = mu * ray.k + gamma * ray.nx;
            ray.l = mu * ray.l + gamma * ray.ny;
            ray.m = mu * ray.m + gamma * ray.nz;
            ray.gamma = gamma;
            ray.medium = t.table;
            ray.alt_medium = t.alt;
        } else {
            if (!s.tir_only && !(ray.backward && ray.group_offset >= 1)) {
                set_ray_failure(ray, kRayFailTotalReflection);
                return false;
            }
            reflect_in_normal(ray);
        }
    }
    return ray.failure == 0;
}

void renormalise(RayRecord& ray) {
    const double d = 1.0 - (ray.k * ray.k + ray.l * ray.l + ray.m * ray.m);
    if (d != 0.0) {
        const double f = 1.0 + 0.5 * d;
        ray.k *= f;
        ray.l *= f;
        ray.m *= f;
    }
}

// The end surface seen from a point of the medium: the gap along z from the point to the
// surface, the unit normal there and its cosine with T, all in the end surface's frame.
struct EndTest {
    double gap;
    double normal[3];
    double cos_t;
};

// Carries a point and direction given in the medium's frame (the end surface's vertex plane
// as origin) into the end surface's own frame, as the surface step does for the ray.
void into_end_frame(const SurfaceRecord& e, RayRecord& probe) {
    if (e.decentre == nullptr) return;
    if (e.decentre_reference != nullptr) leave_surface_frame(*e.decentre_reference, probe, false);
    enter_surface_frame(*e.decentre, probe, false);
}

// The medium is integrated in the frame the ray travels in between its two surfaces: the
// medium surface's own frame, turned by that surface's coordinate return or repeated tilt as
// the transfer to the next surface turns it. A ray traced backwards stands in the medium
// surface's frame when it meets that surface; these carry it between the two.
void into_transfer_frame(const SurfaceRecord& g, RayRecord& ray) {
    if (g.return_coordinates != nullptr) {
        leave_surface_frame(*g.return_coordinates, ray, false);
    } else if (g.second_tilt && g.decentre != nullptr) {
        repeat_surface_tilt(*g.decentre, ray, false);
    }
}

void out_of_transfer_frame(const SurfaceRecord& g, RayRecord& ray) {
    if (g.return_coordinates != nullptr) {
        undo_leave_surface_frame(*g.return_coordinates, ray);
    } else if (g.second_tilt && g.decentre != nullptr) {
        rotate_transposed(*g.decentre, ray.x, ray.y, ray.z);
        rotate_transposed(*g.decentre, ray.k, ray.l, ray.m);
    }
}

// Carries a point and direction of the medium's frame into the end surface's frame: forwards
// the end surface's own frame (its vertex dz ahead), backwards the medium surface's frame.
void into_end_surface(const SurfaceRecord& e, const SurfaceRecord& g, RayRecord& ray, double dz) {
    ray.z -= dz;
    if (ray.backward) {
        out_of_transfer_frame(g, ray);
    } else {
        into_end_frame(e, ray);
    }
}

EndTest end_test(const SurfaceRecord& e, const SurfaceRecord& g, const double R[3],
                 const double T[3], double dz, RayRecord& probe) {
    probe.x = R[0];
    probe.y = R[1];
    probe.z = R[2];
    probe.k = T[0];
    probe.l = T[1];
    probe.m = T[2];
    into_end_surface(e, g, probe, dz);
    SagPoint p{};
    surface_sag_normal(e, probe.x, probe.y, p);
    EndTest t{};
    t.gap = p.z - probe.z;
    t.normal[0] = p.nx;
    t.normal[1] = p.ny;
    t.normal[2] = p.nz;
    t.cos_t = p.nx * probe.k + p.ny * probe.l + p.nz * probe.m;
    return t;
}

// Stores a kind 3 ray's path point; the buffer grows when it is full and keeps its old rows
// when it cannot. The drawing takes the points in the medium surface's frame: when that
// surface returns the coordinates to the frame before its own decentre, the integration ran
// in that undecentred frame and the point is carried back into the surface's.
void record_path_point(RayRecord& ray, const SurfaceRecord& g, int g_number, const double R[3]) {
    DrawingBuffers& b = drawing_buffers();
    const int row = static_cast<int>(ray.dtan_x) + 1;
    if (row >= b.point_rows) grow_drawing_points();
    double p[3] = {R[0], R[1], R[2]};
    const DecentreRecord* d = g.decentre;
    if (d != nullptr && g.return_coordinates != nullptr &&
        g.return_coordinates->pickup_source == g_number) {
        if (d->tilt_mode > 0) {
            p[0] -= d->dcx;
            p[1] -= d->dcy;
            p[2] -= d->dcz;
        }
        if (d->rotation_kind != 0) rotate_by_tilt(*d, p[0], p[1], p[2]);
        if (d->tilt_mode < 0) {
            p[0] -= d->dcx;
            p[1] -= d->dcy;
            p[2] -= d->dcz;
        }
    }
    set_drawing_point(row, p[0], p[1], p[2]);
    ray.dtan_x = row;
}

bool finite3(const double v[3]) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// The medium's own apertures along the path, when the lens asks for them.
bool medium_aperture_passes(int g, RayRecord& ray, const double R[3]) {
    if (!ray.check_apertures || !lens_data().grck) return true;
    SurfaceRecord& s = surface(g);
    const double r2 = R[0] * R[0] + R[1] * R[1];
    if (s.aperture_check && s.aperture_radius * s.aperture_radius < r2) {
        if (ray.kind == kRayKept) ray.dtan_x -= 1.0;
        set_ray_failure(ray, kRayFailAperture);
        return false;
    }
    if (s.special_aperture_count > 0) {
        const auto saved = s.aperture_check;
        s.aperture_check = 0;
        const int result = check_special_apertures(g, R[0], R[1]);
        s.aperture_check = saved;
        if (result != 0) {
            set_ray_failure(ray, kRayFailAperture);
            return false;
        }
    }
    return true;
}

// The index of the medium after surface p where a ray traced backwards stands on surface n
// (in n's frame): the point is taken into the frame that medium is integrated in.
double index_behind(int n, int p, const RayRecord& ray) {
    RayRecord probe = ray;
    const SurfaceRecord& s = surface(n);
    if (s.decentre != nullptr) {
        undo_enter_surface_frame(*s.decentre, probe);
        if (s.decentre_reference != nullptr) {
            undo_leave_surface_frame(*s.decentre_reference, probe);
        }
    }
    double index = 0.0;
    grin_index_at(p, ray.wavelength, probe.x, probe.y, probe.z + surface(p).thickness, &index);
    return index;
}

// The index of the medium after surface n where a forward ray stands on n (in n's frame): in
// the transfer frame, where the integration takes the ray up, which differs from the surface's
// own when the surface returns the coordinates or repeats its tilt.
double index_ahead(int n, const RayRecord& ray) {
    const SurfaceRecord& s = surface(n);
    double index = 0.0;
    if (s.return_coordinates != nullptr || (s.second_tilt && s.decentre != nullptr)) {
        RayRecord probe = ray;
        into_transfer_frame(s, probe);
        grin_index_at(n, ray.wavelength, probe.x, probe.y, probe.z, &index);
    } else {
        grin_index_at(n, ray.wavelength, ray.x, ray.y, ray.z, &index);
    }
    return index;
}

bool usable(double index) {
    return std::isfinite(index) && std::fabs(index) >= kZeroDenominator;
}

// Traced backwards, a ray meets the surface that carries the medium it travels in on its way
// out: it refracts into the medium before that surface, straight into a gradient medium there.
void leave_grin_backward(int n, RayRecord& ray) {
    const Tables t = tables_after(n, ray);
    if (t.table == nullptr) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const int w = ray.wavelength;
    const std::int16_t state_before = ray.grin_state;
    const double index_before = ray.grin_index;
    double n1 = ray.grin_index;
    if (ray.grin_state == 0) {
        if (ray.prev_medium == nullptr) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        n1 = ray.prev_medium[w];
    }
    auto restore = [&] {
        ray.grin_state = state_before;
        ray.grin_index = index_before;
    };
    const int p = n - 1;
    if (p >= 1 && surface(p).grin != nullptr) {
        const double index = index_behind(n, p, ray);
        if (!usable(index)) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        set_grin_entry_index(n1);
        ray.grin_index = index;
        ray.grin_state = 2;
        if (!bend_at(n, ray, t, n1, index)) {
            restore();
            return;
        }
        if (surface(n).perfect_lens != nullptr) ray.grin_index = index_behind(n, p, ray);
        renormalise(ray);
        ray.grin_state = 1;
        ray.grin_surface = static_cast<std::int16_t>(p);
        return;
    }
    ray.grin_index = n1;
    ray.grin_state = -1;
    if (!bend_at(n, ray, t, n1, t.table[w])) {
        restore();
        return;
    }
    renormalise(ray);
    ray.grin_state = 0;
    ray.grin_surface = 0;
}

}  // namespace

void refract_into_grin(int n, RayRecord& ray) {
    if (ray.backward) {
        leave_grin_backward(n, ray);
        return;
    }
    const Tables t = tables_after(n, ray);
    if (t.table == nullptr) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const int w = ray.wavelength;
    const std::int16_t state_before = ray.grin_state;
    double n1;
    if (ray.grin_state == 2) {
        n1 = ray.grin_index;
    } else {
        if (ray.prev_medium == nullptr) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
        n1 = ray.prev_medium[w];
        ray.grin_state = 1;
    }
    set_grin_entry_index(n1);
    double index = index_ahead(n, ray);
    if (!std::isfinite(index) || std::fabs(index) < kZeroDenominator) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    ray.grin_index = index;
    if (!bend_at(n, ray, t, n1, index)) {
        ray.grin_state = state_before;  // a failed ray keeps the state it came with
        return;
    }
    // A perfect lens moves the ray on its surface: the medium takes it up where it left.
    if (surface(n).perfect_lens != nullptr) ray.grin_index = index_ahead(n, ray);
    renormalise(ray);
    ray.grin_state = 1;
    ray.grin_surface =
        static_cast<std::int16_t>(n + (ray.group_offset >= 1 ? ray.group_offset : 0));
}

namespace {

// The walk through the medium between its two surfaces: the position R and the optical
// direction T (the index times the unit direction) in the medium's frame, the index and its
// gradient G1 at R, the integrands p0 = n^2 and d0 = 2 G1.T of the optical path at R, the
// geometric and optical path so far, the end surface as seen from R, and the next step dt.
struct GrinWalk {
    int g = 0;  // the medium's surface
    int w = 0;  // the wavelength
    const SurfaceRecord* gs = nullptr;
    const SurfaceRecord* es = nullptr;  // the end surface
    double dz = 0.0;                    // see into_end_surface
    double full_step = 0.0;
    double R[3] = {}, T[3] = {}, G1[3] = {};
    double index = 0.0;
    double p0 = 0.0, d0 = 0.0;
    double path_length = 0.0;  // geometric
    double optical = 0.0;
    EndTest test{};
    double gap_before = 0.0;
    double dt = 0.0;
    bool approach = false;
};

// The walk's start where the ray stands after entering the medium.
void start_walk(GrinWalk& k, RayRecord& ray, RayRecord& probe) {
    k.R[0] = ray.x;
    k.R[1] = ray.y;
    k.R[2] = ray.z + k.dz;
    const double n_start = std::fabs(ray.grin_index);
    k.T[0] = n_start * ray.k;
    k.T[1] = n_start * ray.l;
    k.T[2] = n_start * ray.m;
    k.index = grin_index_gradient(k.g, k.w, 1.0, k.R[0], k.R[1], k.R[2], k.G1);
    k.p0 = ray.grin_index * ray.grin_index;
    k.d0 = 2.0 * (k.G1[0] * k.T[0] + k.G1[1] * k.T[1] + k.G1[2] * k.T[2]);
    k.test = end_test(*k.es, *k.gs, k.R, k.T, k.dz, probe);
    k.gap_before = k.test.gap;
    k.dt = k.full_step;
}

// One step of dt along the ray equation d2R/dt2 = grad(n^2) / 2 (dR/dt = T) by the
// Runge-Kutta-Nystrom rule, T brought back to the length of the index, and the paths over the
// step added (the optical one by the trapezoid rule with its end-slope correction). False
// with the ray failed when the step runs away.
bool walk_step(GrinWalk& k, RayRecord& ray) {
    const double dt = k.dt;
    double* R = k.R;
    double* T = k.T;
    const double n_prev = std::fabs(ray.grin_index);
    double A[3], B[3], C[3], P[3];
    grin_index_gradient(k.g, k.w, dt, R[0], R[1], R[2], A);
    for (int i = 0; i < 3; ++i) P[i] = R[i] + dt * (0.5 * T[i] + A[i] / 8.0);
    grin_index_gradient(k.g, k.w, dt, P[0], P[1], P[2], B);
    for (int i = 0; i < 3; ++i) P[i] = R[i] + dt * (T[i] + 0.5 * B[i]);
    grin_index_gradient(k.g, k.w, dt, P[0], P[1], P[2], C);
    for (int i = 0; i < 3; ++i) {
        R[i] += dt * (T[i] + (A[i] + 2.0 * B[i]) / 6.0);
        T[i] += (A[i] + 4.0 * B[i] + C[i]) / 6.0;
    }
    k.index = grin_index_gradient(k.g, k.w, 1.0, R[0], R[1], R[2], k.G1);
    const double index = k.index;
    const double t2 = T[0] * T[0] + T[1] * T[1] + T[2] * T[2];
    if (!(t2 < kRunawayDirection) || !std::isfinite(index) || !finite3(R) ||
        !(t2 >= kZeroDenominator)) {
        set_ray_failure(ray, kRayFailMissed);
        return false;
    }
    ray.grin_index = index;
    const double to_unit = index / std::sqrt(t2);
    for (int i = 0; i < 3; ++i) T[i] *= to_unit;
    k.path_length += dt * (n_prev + std::fabs(index)) * 0.5;
    const double d1 = 2.0 * (k.G1[0] * T[0] + k.G1[1] * T[1] + k.G1[2] * T[2]);
    const double n2 = index * index;
    k.optical += dt * ((k.p0 + n2) * 0.5 - (d1 - k.d0) * dt / 12.0);
    k.p0 = n2;
    k.d0 = d1;
    return true;
}

// The next step: a full one while the end surface is still more than a step away and not
// crossed, with the path point and the medium's apertures taken there; from then on the step
// that reaches the surface along its normal. False with the ray failed.
bool choose_next_step(GrinWalk& k, RayRecord& ray, RayRecord& probe) {
    k.test = end_test(*k.es, *k.gs, k.R, k.T, k.dz, probe);
    const EndTest& test = k.test;
    if (!std::isfinite(test.gap)) {
        set_ray_failure(ray, kRayFailMissed);
        return false;
    }
    if (!k.approach && (std::fabs(test.gap) < k.full_step || test.gap * k.gap_before <= 0.0)) {
        k.approach = true;
    }
    if (k.approach) {
        if (!(std::fabs(test.cos_t) >= kZeroDenominator)) {
            set_ray_failure(ray, kRayFailMissed);
            return false;
        }
        k.dt = test.gap * test.normal[2] / test.cos_t;
        if (!std::isfinite(k.dt)) {
            set_ray_failure(ray, kRayFailMissed);
            return false;
        }
        return true;
    }
    k.dt = k.full_step;
    k.gap_before = test.gap;
    if (ray.kind == kRayKept) record_path_point(ray, *k.gs, ray.surface - 1, k.R);
    return medium_aperture_passes(k.g, ray, k.R);
}

// The ray on the end surface: back to its vertex, into its frame, with the surface's normal,
// and the geometric path as its step.
void arrive_on_end_surface(const GrinWalk& k, RayRecord& ray) {
    ray.x = k.R[0];
    ray.y = k.R[1];
    ray.z = k.R[2];
    ray.k = k.T[0] / k.index;
    ray.l = k.T[1] / k.index;
    ray.m = k.T[2] / k.index;
    into_end_surface(*k.es, *k.gs, ray, k.dz);
    ray.nx = k.test.normal[0];
    ray.ny = k.test.normal[1];
    ray.nz = k.test.normal[2];
    ray.normal_len2 = 1.0;
    ray.cos_i = ray.nx * ray.k + ray.ny * ray.l + ray.nz * ray.m;
    ray.dist = k.path_length;
}

// A forward ray on the end surface: the paths added, the surface's apertures, and the
// refraction out of the medium (or into the next gradient medium).
void leave_forward(int end, const GrinWalk& k, RayRecord& ray) {
    const SurfaceRecord& es = *k.es;
    ray.opl += k.optical;
    if (lens_data().wavelength_count > 2 && ray.medium != nullptr) {
        ray.chrom_opl += (ray.medium[1] - ray.medium[2]) * k.path_length;
    }
    ray.prev_medium = ray.medium;
    ray.prev_alt_medium = ray.alt_medium;

    if (!surface_apertures_pass(end, ray)) return;

    if (end >= lens_data().image_surface) {
        ray.grin_state = -1;
        return;
    }
    const Tables t = tables_after(end, ray);
    if (t.table == nullptr) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    ray.grin_state = -1;
    if (es.grin != nullptr) {
        ray.grin_state = 2;
        refract_into_grin(end, ray);
        return;
    }
    if (!bend_at(end, ray, t, k.index, t.table[k.w])) return;
    renormalise(ray);
}

}  // namespace

void propagate_in_grin(int end, RayRecord& ray) {
    const int g = ray.grin_surface;
    const SurfaceRecord& gs = surface(g);
    if (gs.grin == nullptr) return;
    const bool backward = ray.backward != 0;
    // Traced backwards the medium ends at its own surface; the surface before it is not the
    // medium's end.
    if (backward && end != g) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    if (ray.kind == kRayKept) {
        ray.dtan_x = 0.0;
        ray.sphere_path = g;
    }
    GrinWalk k;
    k.g = g;
    k.gs = &gs;
    k.es = &surface(end);
    k.full_step = std::fabs(gs.grin->step);
    if (!(k.full_step > 0.0) || !std::isfinite(k.full_step)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    k.w = ray.wavelength;
    // Forwards the ray stands in the transfer frame with its z from the end surface's vertex,
    // shifted back here by the gap; backwards it stands in the medium surface's frame.
    k.dz = backward ? 0.0 : k.es->vertex_position - gs.vertex_position;
    if (backward) into_transfer_frame(gs, ray);
    RayRecord probe = ray;  // carries trial points into the end surface's frame
    start_walk(k, ray, probe);
    for (int pass = 1;; ++pass) {
        if (!walk_step(k, ray) || !choose_next_step(k, ray, probe)) return;
        if (std::fabs(k.dt) < kOnSurface) break;
        if (pass > kGrinPassLimit) {
            set_ray_failure(ray, kRayFailMissed);
            return;
        }
    }

    arrive_on_end_surface(k, ray);
    if (!backward) {
        leave_forward(end, k, ray);
        return;
    }
    ray.dtan_y = k.optical;
    // As the backward step checks a plane surface: the ray must have gone forward along its
    // way and must meet the surface where the surface is. The backward step refracts out of
    // the medium itself, at the medium's surface.
    const double cx = k.es->toric == 2 ? k.es->x_curvature : 0.0;
    if (k.es->curvature == 0.0 && cx == 0.0) backward_plane_hit(end, ray, k.path_length);
}

void enter_grin_backward(int n, RayRecord& ray) {
    const int g = n - 1;
    if (g < 1 || surface(g).grin == nullptr || ray.prev_medium == nullptr) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const int w = ray.wavelength;
    const double index = index_behind(n, g, ray);
    if (!usable(index)) {
        set_ray_failure(ray, kRayFailMissed);
        return;
    }
    const Tables t{backward_index(n), nullptr, surface(n).medium_kind_backward};
    const std::int16_t state_before = ray.grin_state;
    const double index_before = ray.grin_index;
    // The special surfaces read the outgoing index from the gradient state.
    ray.grin_index = index;
    ray.grin_state = 1;
    if (!bend_at(n, ray, t, ray.prev_medium[w], index)) {
        ray.grin_state = state_before;
        ray.grin_index = index_before;
        return;
    }
    if (surface(n).perfect_lens != nullptr) ray.grin_index = index_behind(n, g, ray);
    renormalise(ray);
    ray.grin_surface = static_cast<std::int16_t>(g);
}

void start_backward_in_grin(int n, RayRecord& ray) {
    if (n < 2 || surface(n - 1).grin == nullptr) return;
    ray.grin_index = index_behind(n, n - 1, ray);
    ray.grin_state = 1;
    ray.grin_surface = static_cast<std::int16_t>(n - 1);
}

void install_grin_propagation() {
    TraceSeams& seams = trace_seams();
    seams.refract_into_grin = refract_into_grin;
    seams.propagate_in_grin = propagate_in_grin;
}
