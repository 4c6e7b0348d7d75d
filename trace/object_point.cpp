#include "trace/object_point.h"

#include <algorithm>
#include <cmath>

#include "lens/lens_data.h"
#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/derived_rays.h"
#include "trace/lens_setup.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr int kCmdTraceReferenceRay = kCmdTraceRefRay;
constexpr int kCmdReferenceDerivatives = kCmdRefRayDerivatives;

constexpr int kMaxPasses = 31;
constexpr int kRimValuesPerSlot = 5;
// The limits a rim search starts from: nothing bounded yet.
constexpr double kUnbounded = 1e40;
// The radius of a reference sphere that stands for a plane, and the largest finite one.
constexpr double kFlatSphereRadius = 1e8;
constexpr double kLargestSphereRadius = 9.9e7;
constexpr double kHalfSqrt2 = 0.7071067811865476;
constexpr double kRimStep = 1e-6;

// The object point, the selection index and the rim table.
struct ObjectPointState {
    ObjectPoint point{0.0, 0.0, 0.0, 0.0, 0.0, 0, 1};
    int selection_index = -1;
    double* rim_table = nullptr;
};

ObjectPointState g_object;

// The ray's state when its aim failed: the requested pupil, no intercepts, no path.
int fail_reference(RayRecord& ray, double px, double py) {
    const LensData& lens = lens_data();
    ray.pup_x = px;
    ray.pup_y = py;
    ray.x = ray.y = 0.0;
    ray.dtan_y = ray.sphere_path = 0.0;
    ray.opl = 0.0;
    if (!lens.afocal) reference_ray().sphere_radius = kFlatSphereRadius;
    trace_globals().aiming_in_progress = 0;
    return kRayFailNoConvergence;
}

// Newton passes on the reference ray's pupil fractions until it meets the reference surface at
// (px R, py R); the lens ends at the reference surface meanwhile. False when it failed or ran
// out of passes.
bool aim_at_reference_surface(RayRecord& ray, double px, double py) {
    LensData& lens = lens_data();
    const int rfs = lens.reference_surface;
    const double radius = surface(rfs).aperture_radius;
    ScopedValue<std::int32_t> image(lens.image_surface, rfs);
    ScopedValue<double> thickness(surface(rfs).thickness, 0.0);
    ScopedValue<std::uint8_t> kind(ray.kind, kRayPlain);
    ray.pup_x = 0.0;
    ray.pup_y = 0.0;
    const double xt = px * radius, yt = py * radius;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        trace_ray(ray);
        if (ray.failure != 0) return false;
        const double rx = xt - ray.x, ry = yt - ray.y;
        if (std::fabs(rx) < kConvergenceCoarse && std::fabs(ry) < kConvergenceCoarse) return true;
        const double xa = ray.dx, ya = ray.dy, xb = ray.dz, yb = ray.dtan_x;
        const double det = yb * xa - ya * xb;
        // A singular Jacobian ends the aim; the ray goes on from where it got.
        if (std::fabs(det) < kZeroDenominator) return true;
        ray.pup_y += (xa * ry - ya * rx) / det;
        ray.pup_x += (yb * rx - xb * ry) / det;
    }
    return false;
}

bool rfs_in_lens(const LensData& lens) {
    return lens.reference_surface >= 1 && lens.reference_surface < lens.image_surface;
}

}  // namespace

ObjectPoint& object_point() {
    return g_object.point;
}

int ray_selection_index() {
    return g_object.selection_index;
}

void reset_object_point() {
    g_object.point = ObjectPoint{0.0, 0.0, 0.0, 0.0, 0.0, 0, 1};
    clear_state_flag(kFlagReferenceRayCurrent);
}

void print_wavelength_suffix() {
    const int w = lens_data().current_wavelength;
    if (w != 0) text_printf(" (WAVELENGTH %d)", w + 1);
    text_newline();
}

int trace_reference_ray(double px, double py, int kind) {
    const LensData& lens = lens_data();
    TraceGlobals& g = trace_globals();
    ReferenceRay& ref = reference_ray();
    RayRecord& ray = ref.ray;
    ray.wavelength = lens.current_wavelength;
    g.aiming_in_progress = 1;
    set_state_flag(kFlagReferenceRayCurrent);
    clear_state_flag(kFlagSpotDiagramCurrent);
    clear_state_flag(kFlagSpotDerivedA);
    clear_state_flag(kFlagSpotDerivedB);
    ray.aim_pup_x = px;
    ray.aim_pup_y = py;
    const auto final_kind = static_cast<std::uint8_t>(lens.afocal ? kind : kRayReference);
    ray.kind = final_kind;
    bool traced = false;
    if (lens.wide_angle != 0 && lens.reference_surface >= 2) {
        ray.pup_x = px;
        ray.pup_y = py;
        trace_ray(ray);
        if (ray.failure != 0) return fail_reference(ray, px, py);
        traced = true;
    } else if (lens.aim_telecentric && std::fabs(surface(0).thickness) < kInfiniteObject) {
        ray.pup_x = 0.0;
        ray.pup_y = 0.0;
        ray.failure = 0;
    } else if (!rfs_in_lens(lens) || !aim_at_reference_surface(ray, px, py)) {
        return fail_reference(ray, px, py);
    }
    if (!traced) {
        ray.kind = final_kind;
        trace_ray(ray);
        if (ray.failure != 0) return fail_reference(ray, px, py);
    }
    if (!lens.afocal) set_reference_sphere_radius();
    g.aiming_in_progress = 0;
    return 0;
}

namespace {

// The exit-pupil distance along one direction (ex, ey) of the object fractions: the change of
// the image intercept across the ray over the change of the direction across it.
double pupil_distance_along(const RayRecord& ray, const RayDerivative& ox, const RayDerivative& oy,
                            double ex, double ey) {
    double p[3] = {ex * ox.dx + ey * oy.dx, ex * ox.dy + ey * oy.dy, ex * ox.dz + ey * oy.dz};
    double d[3] = {ex * ox.dk + ey * oy.dk, ex * ox.dl + ey * oy.dl, ex * ox.dm + ey * oy.dm};
    const double dir[3] = {ray.k, ray.l, ray.m};
    const double pa = p[0] * dir[0] + p[1] * dir[1] + p[2] * dir[2];
    const double da = d[0] * dir[0] + d[1] * dir[1] + d[2] * dir[2];
    for (int i = 0; i < 3; ++i) {
        p[i] -= pa * dir[i];
        d[i] -= da * dir[i];
    }
    const int first = std::fabs(p[0]) >= std::fabs(p[1]) ? 0 : 1;
    const int order[3] = {first, 1 - first, 2};
    for (const int i : order) {
        if (std::fabs(p[i]) > kConvergenceCoarse && std::fabs(d[i]) > kConvergenceCoarse) {
            return p[i] / d[i];
        }
    }
    return 0.0;
}

}  // namespace

void set_reference_sphere_radius() {
    const LensData& lens = lens_data();
    ReferenceRay& ref = reference_ray();
    const RayRecord& ray = ref.ray;
    const double d = ray.dist;
    if (lens.wrsp == 2) {
        ref.sphere_radius = std::fabs(d) > kZeroDenominator ? d : kZeroDenominator;
        return;
    }
    double ex = ray.obj_x, ey = ray.obj_y;
    const double len = std::sqrt(ex * ex + ey * ey);
    if (len < kZeroDenominator) {
        ex = ey = kHalfSqrt2;
    } else {
        ex /= len;
        ey /= len;
    }
    const RayDerivative& ox = ref.derivatives[kDerivObjectX];
    const RayDerivative& oy = ref.derivatives[kDerivObjectY];
    const double q1 = pupil_distance_along(ray, ox, oy, ex, ey);
    const double q2 = pupil_distance_along(ray, ox, oy, -ey, ex);
    double q;
    const bool small1 = std::fabs(q1) < kZeroDenominator, small2 = std::fabs(q2) < kZeroDenominator;
    if (small1 && small2) {
        q = 0.0;
    } else if (small1) {
        q = q2;
    } else if (small2 || std::fabs(q1 + q2) < kZeroDenominator) {
        q = q1;
    } else {
        q = 2.0 * q1 * q2 / (q1 + q2);
    }
    double r;
    if (lens.wrsp == 1) {
        r = std::fabs(q) > kLargestSphereRadius ? kLargestSphereRadius : q;
    } else {
        r = std::fabs(d) < std::fabs(q) && std::fabs(q) <= kLargestSphereRadius ? q : d;
    }
    if (std::fabs(r) < kConvergenceCoarse) r = kFlatSphereRadius / lens.units;
    ref.sphere_radius = r;
}

namespace {

// The first surface before the reference surface with a diffractive record of kind 4 or 5 not
// exempt from the pupil search, or 0.
int diffractive_before_reference(const LensData& lens) {
    for (int j = 1; j < lens.reference_surface; ++j) {
        const DiffractiveRecord* d = surface(j).diffractive;
        if (d != nullptr && (d->kind == kDiffractiveZernike || d->kind == kDiffractiveZernikeXy) &&
            d->pupil_search_exempt == 0) {
            return j;
        }
    }
    return 0;
}

double* rim_table() {
    if (g_object.rim_table == nullptr) {
        const int slots = std::max(max_wavelengths(), 1);
        g_object.rim_table =
            static_cast<double*>(mem_alloc(sizeof(double) * kRimValuesPerSlot * slots));
        if (g_object.rim_table == nullptr) return nullptr;
        for (int w = 0; w < slots; ++w) {
            double* row = g_object.rim_table + kRimValuesPerSlot * w;
            row[0] = row[2] = -1.0;
            row[1] = row[3] = 1.0;
            row[4] = 1.0;
        }
    }
    return g_object.rim_table;
}

struct Limits {
    double x_low = -kUnbounded, x_high = kUnbounded, y_low = -kUnbounded, y_high = kUnbounded;
    bool complete() const {
        return x_low > -kUnbounded && x_high < kUnbounded && y_low > -kUnbounded &&
               y_high < kUnbounded;
    }
    double area() const { return (x_high - x_low) * (y_high - y_low); }
};

// A fractional ray from the current object point towards the rim point (a, b) of the surface
// that is the image surface now; true with its pupil fractions when it got there.
bool rim_ray(double a, double b, double start_a, double start_b, int wavelength, double& pa,
             double& pb) {
    const RayRecord& ref = reference_ray().ray;
    RayRecord ray{};
    ray.obj_x = ref.obj_x;
    ray.obj_y = ref.obj_y;
    ray.obj_z = ref.obj_z;
    ray.wavelength = wavelength;
    ray.pup_x = a;
    ray.pup_y = b;
    ray.pupil_bounds = ref.pupil_bounds;
    trace_fractional_ray(ray, kRayFractional, start_a, start_b, 0, nullptr);
    if (ray.failure != 0) return false;
    pa = ray.pup_x;
    pb = ray.pup_y;
    return true;
}

// The angle by which a surface's frame turns the pupil directions: from two traces whose pupil
// y fractions differ by a small step, the direction of the difference of their intercepts.
double rim_turn(int j, double ca, double cb, int wavelength) {
    const RayRecord& ref = reference_ray().ray;
    RayRecord a{}, b{};
    for (RayRecord* r : {&a, &b}) {
        r->obj_x = ref.obj_x;
        r->obj_y = ref.obj_y;
        r->obj_z = ref.obj_z;
        r->wavelength = wavelength;
        r->kind = kRayPlain;
        r->pupil_at_entrance = 1;
        r->pup_x = ca;
        r->pup_y = cb;
    }
    b.pup_y += kRimStep;
    setup_ray_at_object(a, nullptr);
    trace_to_surface(a, j);
    setup_ray_at_object(b, nullptr);
    trace_to_surface(b, j);
    if (a.failure != 0 || b.failure != 0) return 0.0;
    const double dx = b.x - a.x, dy = b.y - a.y;
    if (std::fabs(dx) < kZeroDenominator && std::fabs(dy) < kZeroDenominator) return 0.0;
    return std::atan2(dx, dy);
}

bool lens_has_frames(const LensData& lens) {
    for (int j = 1; j < lens.image_surface; ++j) {
        const SurfaceRecord& s = surface(j);
        if (s.decentre != nullptr || s.return_coordinates != nullptr) return true;
    }
    return false;
}

// The limits of one surface's aperture in the pupil of one wavelength: four rim rays from the
// middle of the current limits (ca, cb) towards +y, -y, +x and -x.
void visit_rim_surface(int j, double ca, double cb, bool turn, int wavelength, Limits& lim,
                       Limits* own) {
    LensData& lens = lens_data();
    const double angle = turn ? rim_turn(j, ca, cb, wavelength) : 0.0;
    const double s = std::sin(angle), c = std::cos(angle);
    ScopedValue<std::int32_t> image(lens.image_surface, j);
    ScopedValue<std::int32_t> rfs(lens.reference_surface, j);
    ScopedValue<double> thickness(surface(j).thickness, 0.0);
    const bool mirror_x = lens.plane_symmetric && reference_ray().ray.obj_x == 0.0;
    // Directions on the surface (+y, -y, +x, -x), turned with the surface's frame.
    const double dirs[4][2] = {{s, c}, {-s, -c}, {c, -s}, {-c, s}};
    double got[4][2];
    bool ok[4];
    for (int i = 0; i < 4; ++i) {
        if (i == 3 && mirror_x && ok[2]) {
            got[3][0] = -got[2][0];
            got[3][1] = got[2][1];
            ok[3] = true;
            continue;
        }
        ok[i] = rim_ray(dirs[i][0], dirs[i][1], ca, cb, wavelength, got[i][0], got[i][1]);
    }
    Limits here;
    if (ok[0] && got[0][1] < lim.y_high) lim.y_high = here.y_high = got[0][1];
    if (ok[1] && got[1][1] > lim.y_low) lim.y_low = here.y_low = got[1][1];
    if (ok[2] && got[2][0] < lim.x_high) lim.x_high = here.x_high = got[2][0];
    if (ok[3] && got[3][0] > lim.x_low) lim.x_low = here.x_low = got[3][0];
    if (own != nullptr) {
        own->y_high = ok[0] ? got[0][1] : kUnbounded;
        own->y_low = ok[1] ? got[1][1] : -kUnbounded;
        own->x_high = ok[2] ? got[2][0] : kUnbounded;
        own->x_low = ok[3] ? got[3][0] : -kUnbounded;
    }
}

// The rim search of the rim reference rays: per wavelength the pupil limits of the rays that
// pass every checked aperture. 0, -10 or -2759.
int search_rim_rays() {
    LensData& lens = lens_data();
    ReferenceRay& ref = reference_ray();
    double* table = rim_table();
    if (table == nullptr) return kMsgOutOfMemory;
    ref.ray.pupil_bounds = table;
    RayDerivative saved[4];
    std::copy(std::begin(ref.derivatives), std::end(ref.derivatives), saved);
    ScopedValue<std::int32_t> rfs(lens.reference_surface);
    const double saved_eff_x = ref.ray.eff_pup_x, saved_eff_y = ref.ray.eff_pup_y;
    const int own_wavelength = ref.ray.wavelength;
    const bool turn = lens_has_frames(lens);
    bool own_done = false;
    bool failed = false;
    const int count = std::max(lens.wavelength_count, 1);
    for (int w = 0; w < count && !failed; ++w) {
        double ca = ref.ray.eff_pup_x, cb = ref.ray.eff_pup_y;
        if (w != own_wavelength) {
            RayRecord centre{};
            centre.obj_x = ref.ray.obj_x;
            centre.obj_y = ref.ray.obj_y;
            centre.obj_z = ref.ray.obj_z;
            centre.wavelength = w;
            centre.pup_x = ref.ray.eff_pup_x;
            centre.pup_y = ref.ray.eff_pup_y;
            ScopedValue<std::int32_t> mode(lens.aim_mode, kAimParaxial);
            trace_fractional_ray(centre, kRayFractional, 0.0, 0.0, 0, nullptr);
            ca = centre.pup_x;
            cb = centre.pup_y;
        }
        Limits lim, own;
        bool own_found = false;
        const int image = lens.image_surface;
        for (int j = 1; j < image; ++j) {
            const SurfaceRecord& s = surface(j);
            if (!s.aperture_check && j != rfs.saved()) continue;
            const double mid_a =
                w == 0 ? 0.0 : (lim.complete() ? 0.5 * (lim.x_low + lim.x_high) : ca);
            const double mid_b =
                w == 0 ? 0.0 : (lim.complete() ? 0.5 * (lim.y_low + lim.y_high) : cb);
            visit_rim_surface(j, mid_a, mid_b, turn, w, lim, j == rfs.saved() ? &own : nullptr);
            if (j == rfs.saved()) own_found = own.complete();
            // Surfaces an SKP link jumps over are not visited.
            if (s.skip_to > j + 1) j = s.skip_to - 1;
        }
        if (!lim.complete()) {
            failed = true;
            break;
        }
        double* row = table + kRimValuesPerSlot * w;
        row[0] = lim.x_low;
        row[1] = lim.x_high;
        row[2] = lim.y_low;
        row[3] = lim.y_high;
        double ratio = 1.0;
        if (own_found && own.area() > kZeroDenominator)
            ratio = std::min(lim.area() / own.area(), 1.0);
        row[4] = ratio;
        if (w == own_wavelength) {
            own_done = true;
            RayRecord& r = ref.ray;
            if (lim.y_high - lim.y_low > kZeroDenominator) {
                r.eff_pup_y = 2.0 * (r.eff_pup_y - lim.y_low) / (lim.y_high - lim.y_low) - 1.0;
            }
            if (lim.x_high - lim.x_low > kZeroDenominator) {
                r.eff_pup_x = 2.0 * (r.eff_pup_x - lim.x_low) / (lim.x_high - lim.x_low) - 1.0;
            }
        }
    }
    std::copy(saved, saved + 4, ref.derivatives);
    if (!failed) return 0;
    const int slots = std::max(max_wavelengths(), 1);
    for (int w = 0; w < slots; ++w) {
        double* row = table + kRimValuesPerSlot * w;
        row[0] = row[2] = -1.0;
        row[1] = row[3] = 1.0;
    }
    if (own_done) {
        ref.ray.eff_pup_x = saved_eff_x;
        ref.ray.eff_pup_y = saved_eff_y;
    }
    return kMsgRimReferenceRays;
}

}  // namespace

int aim_reference_rays(double px, double py, int kind) {
    if (const int rc = check_lens_has_surfaces(); rc != 0) return rc;
    LensData& lens = lens_data();
    TraceGlobals& g = trace_globals();
    ReferenceRay& ref = reference_ray();
    int r = trace_reference_ray(px, py, kind);
    if (r != 0 && lens.wide_angle == 0 && stop_path_is_plain() == 1) {
        // Wide-angle aiming tried once, in its automatic state, for this call only.
        ScopedValue<int> possible(g.aiming_possible, 1);
        ScopedValue<double> sx(g.pupil_scale[0], 1.0), sy(g.pupil_scale[1], 1.0);
        ScopedValue<double> cx(g.aiming_state[0], 0.0), cy(g.aiming_state[1], 0.0);
        g.aim_cache_stale = 1;
        {
            ScopedValue<std::uint8_t> wide(lens.wide_angle, 2);
            ScopedValue<double> ox(ref.ray.obj_x), oy(ref.ray.obj_y);
            const double th0 = surface(0).thickness, theta = lens.field_angle;
            if (th0 >= kInfiniteObject && std::fabs(theta) >= kZeroDenominator) {
                const double H = lens.object_height;
                ref.ray.obj_x = std::atan2(-(H * ref.ray.obj_x), th0) / theta;
                ref.ray.obj_y = std::atan2(-(H * ref.ray.obj_y), th0) / theta;
            }
            ref.ray.failure = 0;
            r = trace_reference_ray(px, py, kind);
        }
        if (r != 0) return r;
        ref.ray.kind = lens.afocal ? kRayPlain : kRayReference;
        g.aiming_in_progress = 1;
        trace_ray(ref.ray);
        g.aiming_in_progress = 0;
        ref.ray.kind = kRayPlain;
        if (ref.ray.failure != 0) return fail_reference(ref.ray, px, py);
        if (!lens.afocal) set_reference_sphere_radius();
    }
    if (r != 0) return r;
    if (lens.reference_surface > 1 && diffractive_before_reference(lens) != 0) {
        RayRecord ray{};
        ray.obj_x = ref.ray.obj_x;
        ray.obj_y = ref.ray.obj_y;
        ray.obj_z = ref.ray.obj_z;
        ray.wavelength = ref.ray.wavelength;
        ray.pup_x = px;
        ray.pup_y = py;
        trace_fractional_ray(ray, kRayFractional, 0.0, 0.0, 0, nullptr);
        if (ray.failure == 0) {
            ref.ray.eff_pup_x = ray.pup_x;
            ref.ray.eff_pup_y = ray.pup_y;
        }
    }
    if (lens.aim_mode != kAimRimRays) return r;
    return search_rim_rays();
}

int set_object_point() {
    ScratchCallScope scope;
    const ObjectPoint& p = g_object.point;
    RayRecord& ray = reference_ray().ray;
    ray.obj_y = p.y;
    ray.obj_z = p.z;
    ray.obj_x = p.x;
    g_object.selection_index = p.selected == 1 ? p.selection - 1 : -1;
    if (std::fabs(lens_data().axial_object_radius) > kZeroDenominator &&
        (p.x != 0.0 || p.y != 0.0 || p.z != 0.0)) {
        return kMsgObjectOffAxis;
    }
    return aim_reference_rays(p.pupil_x, p.pupil_y, 0);
}

namespace {

void cells(std::initializer_list<double> values, bool failed) {
    for (const double v : values) paraxial_number_cell(failed ? kInfiniteDistance : v);
}

double tangent(double a, double n) {
    return std::fabs(n) < kZeroDenominator ? 0.0 : a / n;
}

// The change of a direction tangent a/n from the changes of a and n.
double tangent_change(double a, double n, double da, double dn) {
    double n2 = n * n;
    if (n2 < kZeroDenominator) n2 = 1.0;
    return (da * n - dn * a) / n2;
}

void derivative_rows(const ReferenceRay& ref, bool failed) {
    const LensData& lens = lens_data();
    const RayRecord& r = ref.ray;
    const RayDerivative* d = ref.derivatives;
    auto pair_cells = [&](const RayDerivative& a) {
        if (lens.afocal) {
            cells({tangent_change(r.l, r.m, a.dl, a.dm), tangent_change(r.k, r.m, a.dk, a.dm)},
                  failed);
        } else {
            cells({a.dy, a.dx}, failed);
        }
    };
    print_msg(lens.afocal ? kMsgAfocalPupilDerivatives : kMsgPupilDerivatives);
    pair_cells(d[kDerivPupilY]);
    pair_cells(d[kDerivPupilX]);
    text_newline();
    print_msg(lens.afocal ? kMsgAfocalObjectDerivatives : kMsgObjectDerivatives);
    pair_cells(d[kDerivObjectY]);
    pair_cells(d[kDerivObjectX]);
    text_newline();
}

}  // namespace

int cmd_object_point() {
    if (const int rc = check_lens_has_surfaces(); rc != 0) return rc;
    const LensData& lens = lens_data();
    const int command = current_command();
    ReferenceRay& ref = reference_ray();
    RayRecord& ray = ref.ray;
    const double oy = arg_double(0), ox = arg_double(1), oz = arg_double(2);
    const double py = arg_double(3), px = arg_double(4);
    g_object.selection_index = -1;
    ray.obj_x = ox;
    ray.obj_y = oy;
    ray.obj_z = oz;
    if (test_state_flag(kFlagOutputHeldBack) == 0) {
        g_object.point.x = ox;
        g_object.point.y = oy;
        g_object.point.z = oz;
        g_object.point.pupil_x = px;
        g_object.point.pupil_y = py;
    }
    if (std::fabs(lens.axial_object_radius) > kZeroDenominator &&
        (ox != 0.0 || oy != 0.0 || oz != 0.0)) {
        return kMsgObjectOffAxis;
    }
    const int kind = command == kCmdReferenceDerivatives ? kRayReference : kRayPlain;
    int r = aim_reference_rays(px, py, kind);
    if (ray.failure != 0) r = kRayFailNoConvergence;
    const bool failed = ray.failure != 0 || r == kRayFailNoConvergence;

    const int heading = command == kCmdTraceReferenceRay      ? kMsgReferenceRayHeading
                        : command == kCmdReferenceDerivatives ? kMsgDerivativesHeading
                                                              : kMsgObjectPointHeading;
    print_msg(heading);
    print_wavelength_suffix();
    paraxial_configuration_warning();
    print_msg(kMsgObjectRow);
    cells({ray.obj_y, ray.obj_x, ray.obj_z}, false);
    text_newline();
    print_msg(kMsgPupilYxHeading);
    cells({ray.aim_pup_y, ray.aim_pup_x}, false);
    cells({ray.eff_pup_y, ray.eff_pup_x}, failed);
    text_newline();
    if (lens.afocal) {
        print_msg(kMsgAfocalImageRow);
        cells({tangent(ray.l, ray.m), tangent(ray.k, ray.m)}, failed);
    } else {
        print_msg(kMsgImageRow);
        cells({ray.y, ray.x}, failed);
    }
    cells({ray.sphere_path, ray.dtan_y, ray.opl}, failed);
    if (!lens.afocal) {
        const double radius = ref.sphere_radius;
        if (failed) {
            cells({radius}, true);
        } else if (std::fabs(radius) < kLargestSphereRadius && lens.wrsp != 0) {
            paraxial_number_cell(ray.m < 0.0 ? -radius : radius);
        } else {
            print_msg(kMsgInfiniteRadius);
        }
    }
    text_newline();
    if (command == kCmdReferenceDerivatives) derivative_rows(ref, failed);
    if (lens.aim_mode == kAimRimRays) {
        print_msg(kMsgRimRow);
        text_spaces(3);
        const double* row = ray.pupil_bounds != nullptr
                                ? ray.pupil_bounds + kRimValuesPerSlot * ray.wavelength
                                : nullptr;
        if (row != nullptr) {
            cells({row[2], row[3], row[0], row[1]}, failed);
        } else {
            cells({-1.0, 1.0, -1.0, 1.0}, failed);
        }
        text_newline();
    }
    if (command == kCmdTraceReferenceRay || command == kCmdReferenceDerivatives) return r;
    return 0;
}

void install_object_point() {
    set_handler(kSlotObjectPoint, cmd_object_point);
}

namespace {
const platform::StateReset object_point_state_reset{"trace/object_point", reset_object_point,
                                                    platform::ResetLayer::trace};
}  // namespace
