#include "trace/ray_frames.h"

#include "lens/lens_data.h"
#include "trace/ray_record.h"

namespace {

// R p (or R transposed p) for a row-major 3x3 rotation; kinds below 2 change y and z only.
template <bool Transposed>
void rotate_point(const double* r, int kind, double& x, double& y, double& z) {
    // Element (i, j) of R, or of R transposed.
    const auto e = [r](int i, int j) { return Transposed ? r[3 * j + i] : r[3 * i + j]; };
    if (kind >= 2) {
        const double nx = e(0, 0) * x + e(0, 1) * y + e(0, 2) * z;
        const double ny = e(1, 0) * x + e(1, 1) * y + e(1, 2) * z;
        const double nz = e(2, 0) * x + e(2, 1) * y + e(2, 2) * z;
        x = nx;
        y = ny;
        z = nz;
        return;
    }
    const double ny = e(1, 1) * y + e(1, 2) * z;
    const double nz = e(2, 1) * y + e(2, 2) * z;
    y = ny;
    z = nz;
}

void rotate(const double* r, int kind, double& x, double& y, double& z) {
    rotate_point<false>(r, kind, x, y, z);
}

void rotate_t(const double* r, int kind, double& x, double& y, double& z) {
    rotate_point<true>(r, kind, x, y, z);
}

// The derivative records that travel with a ray: the pupil pair, and for the reference ray
// also the object pair.
template <typename Op>
void for_each_derivative(const RayRecord& ray, Op op) {
    ReferenceRay& ref = reference_ray();
    const int count = ray.kind == kRayReference ? 4 : 2;
    for (int i = 0; i < count; ++i) op(ref.derivatives[i]);
}

template <bool Transposed>
void turn_ray(const DecentreRecord& record, RayRecord& ray, bool aux) {
    const int kind = record.rotation_kind;
    const double* r = record.rotation;
    auto turn = [&](double& a, double& b, double& c) {
        rotate_point<Transposed>(r, kind, a, b, c);
    };
    turn(ray.x, ray.y, ray.z);
    turn(ray.k, ray.l, ray.m);
    if (aux) {
        for_each_derivative(ray, [&](RayDerivative& d) {
            turn(d.dx, d.dy, d.dz);
            turn(d.dk, d.dl, d.dm);
        });
    }
}

}  // namespace

void rotate_by_tilt(const DecentreRecord& record, double& x, double& y, double& z) {
    rotate(record.rotation, record.rotation_kind, x, y, z);
}

void rotate_transposed(const DecentreRecord& record, double& x, double& y, double& z) {
    rotate_t(record.rotation, record.rotation_kind, x, y, z);
}

void enter_surface_frame(const DecentreRecord& record, RayRecord& ray, bool aux) {
    const int order = record.tilt_mode;
    if (order > 0) {
        ray.x -= record.dcx;
        ray.y -= record.dcy;
        ray.z -= record.dcz;
    }
    if (record.rotation_kind != 0) turn_ray<false>(record, ray, aux);
    if (order < 0) {
        ray.x -= record.dcx;
        ray.y -= record.dcy;
        ray.z -= record.dcz;
    }
}

void leave_surface_frame(const DecentreRecord& record, RayRecord& ray, bool aux) {
    if (record.rotation_kind != 0) turn_ray<true>(record, ray, aux);
    ray.x += record.dcx;
    ray.y += record.dcy;
    ray.z += record.dcz;
}

void repeat_surface_tilt(const DecentreRecord& record, RayRecord& ray, bool aux) {
    if (record.rotation_kind != 0) turn_ray<false>(record, ray, aux);
}

void apply_frame_to_ray_point(const RayRecord& ray, double& x, double& y, double& z, bool add) {
    if (ray.frame_kind != kRayFrameNone) rotate_t(ray.frame, ray.frame_kind, x, y, z);
    if (add) {
        x += ray.frame[9];
        y += ray.frame[10];
        z += ray.frame[11];
    }
}

void ray_into_frame(RayRecord& ray) {
    ray.x -= ray.frame[9];
    ray.y -= ray.frame[10];
    ray.z -= ray.frame[11];
    if (ray.frame_kind == kRayFrameNone) return;
    rotate(ray.frame, ray.frame_kind, ray.x, ray.y, ray.z);
    rotate(ray.frame, ray.frame_kind, ray.k, ray.l, ray.m);
}
