#include "trace/ray_trace.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "trace/lane_paths.h"
#include "trace/lane_trace.h"
#include "trace/ray_trace_reset.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

struct ReferenceTangents {
    std::uint64_t k = 0, l = 0, m = 0;  // m = 0 is +0.0, which never passes the guard
    double tan_x = 0.0, tan_y = 0.0;
};

struct WavesScale {
    std::uint64_t units = 0, wavelength = 0;  // a wavelength of +0.0 never passes the guard
    double scale = 0.0;
};

// The reference ray, and the values last derived from it and from the wave units, kept with the
// bits they were derived from.
struct RayTraceState {
    ReferenceRay reference{};
    ReferenceTangents reference_tangents;
    WavesScale waves_scale;
};

RayTraceState g_ray_trace;

constexpr double kMicrometresPerMillimetre = 1000.0;

// The differences from the reference ray are cleared when a ray fails, except for kind 3.
void clear_reference_differences(RayRecord& ray) {
    ray.dx = ray.dy = ray.dz = 0.0;
    ray.dtan_x = ray.dtan_y = 0.0;
    ray.sphere_path = 0.0;
}

void errors_vs_reference(RayRecord& ray, bool use_sphere, const LensData& lens);
// finish_ray on each ray of a lane group, the differences from the reference ray in lanes.
void finish_rays(RayRecord* const* rays, int count);
bool trace_started_group(RayRecord* const* rays, int count, int last);

}  // namespace

TraceGlobals trace_detail::globals{};

ReferenceRay& reference_ray() {
    return g_ray_trace.reference;
}

void reset_pupil_scale_factors() {
    trace_detail::globals.pupil_scale[0] = 1.0;
    trace_detail::globals.pupil_scale[1] = 1.0;
    trace_detail::globals.aiming_possible = 1;
    trace_detail::globals.aiming_enabled = 1;
    trace_detail::globals.aiming_state[0] = 0.0;
    trace_detail::globals.aiming_state[1] = 0.0;
}

void set_ray_failure(RayRecord& ray, int code) {
    ray.failure = code;
    if (ray.edge_state != kEdgeNone || ray.kind == kRaySphere) return;
    if (ray.backward == 1 && code == kRayFailMissed) return;
    if (ray.kind == kRayReported) {
        int number = ray.surface;
        if (ray.group_offset >= 1) number += ray.group_offset;
        print_msg(code, number);
        text_newline();
    }
    if (ray.kind != kRayKept) clear_reference_differences(ray);
}

namespace {

bool derivative_kind(const RayRecord& ray) {
    return ray.kind == kRayPlain || ray.kind == kRayReference || ray.kind == kRayFractional;
}

// Rays of the derivative kinds go through the differential trace when the ray's set-up asked
// for it and that trace exists.
bool traced_differentially(const RayRecord& ray) {
    return derivative_kind(ray) && trace_detail::globals.differential &&
           trace_seams().trace_differential_ray != nullptr;
}

void trace_differentially(RayRecord& ray) {
    const int image = lens_data().image_surface;
    while (ray.failure == 0 && ray.surface < image) trace_seams().trace_differential_ray(ray);
}

// The work at the image after a trace that reached it.
void finish_ray(RayRecord& ray) {
    if (ray.failure != 0) return;
    switch (ray.kind) {
        case kRayPlain:
        case kRayReference:
        case kRayFractional:
            if (trace_seams().trace_auxiliary_rays != nullptr) {
                trace_seams().trace_auxiliary_rays(ray, 0);
            }
            break;
        case kRayMeasured:
        case kRaySphere:
        case kRayOptimise:
            errors_vs_reference(ray, true, lens_data());
            break;
        default:
            break;
    }
}

// A ray whose trace may print (kind 1) or runs code of other parts at the image is traced alone,
// so that all it does happens in its own order.
bool may_trace_in_lanes(const RayRecord& ray) {
    return ray.kind != kRayReported &&
           !(derivative_kind(ray) && trace_seams().trace_auxiliary_rays != nullptr);
}

}  // namespace

void trace_ray(RayRecord& ray) {
    setup_ray_at_object(ray, nullptr);
    if (traced_differentially(ray)) {
        trace_differentially(ray);
        return;
    }
    trace_to_surface(ray, lens_data().image_surface);
    finish_ray(ray);
}

// Rays are set up in their order and go through the lanes lane_group_size() at a time. Setting up a
// ray before an earlier one is traced changes nothing: a ray's set-up reads nothing that the
// trace of another ray writes, and the trace globals the set-up writes are read after it only by
// the differential trace (run at once after its own set-up) and the auxiliary rays (whose rays
// are traced alone). The last set-up is the last ray's, as when each is traced alone.
//
// Where the lens lets them, runs of rays of the kinds that start alike are set up together in
// lanes (setup_rays_at_object); such a run, at one wavelength with the same checks, is a ready
// lane group and goes through the lanes without being sorted again. The differences from the
// reference ray at the image are formed in lanes for the rays of a group that reached it. A run
// of two or more such rays with nothing else in the batch stays in lanes from its start to its
// differences (trace_started_group), each record written once at the end.
void trace_rays(RayRecord* rays, int count) {
    const int image = lens_data().image_surface;
    const int width = lane_group_size();
    bool lane_start = lane_start_possible();
    RayRecord* batch[kMaxLanes];
    int pending = 0;
    bool grouped = true;  // the batch is one ready lane group
    RayRecord* starts[kMaxLanes];
    int waiting = 0;
    auto flush = [&]() {
        if (grouped && pending >= 2 && image >= 1) {
            trace_lane_group_to_surface(batch, pending, image);
        } else {
            trace_lanes_to_surface(batch, pending, image);
        }
        finish_rays(batch, pending);
        pending = 0;
        grouped = true;
    };
    // The rays waiting to start in lanes are set up, then join the batch.
    auto start = [&]() {
        if (waiting == 0) return;
        // With nothing else in the batch, the rays go from their start to their differences in
        // lanes.
        if (pending == 0 && waiting >= 2 && image >= 1) {
            if (trace_started_group(starts, waiting, image)) {
                waiting = 0;
                return;
            }
        } else {
            setup_rays_at_object(starts, waiting);
        }
        for (int j = 0; j < waiting; ++j) {
            RayRecord& r = *starts[j];
            if (r.failure != 0) continue;  // nothing more to do, as for a ray traced alone
            if (pending > 0) {
                const RayRecord& first = *batch[0];
                grouped = grouped && r.wavelength == first.wavelength &&
                          r.check_apertures == first.check_apertures;
            }
            batch[pending++] = &r;
            if (pending == width) flush();
        }
        waiting = 0;
    };
    for (int i = 0; i < count; ++i) {
        RayRecord& r = rays[i];
        if (lane_start && lane_start_kind(r)) {
            starts[waiting++] = &r;
            if (waiting == width) start();
            continue;
        }
        start();
        // Another set-up may change what the next rays start from.
        if (!may_trace_in_lanes(r)) {
            trace_ray(r);
            lane_start = lane_start_possible();
            continue;
        }
        setup_ray_at_object(r, nullptr);
        lane_start = lane_start_possible();
        if (traced_differentially(r)) {
            trace_differentially(r);
            continue;
        }
        if (!lane_ray_eligible(r)) {
            trace_to_surface(r, image);
            finish_ray(r);
            continue;
        }
        grouped = false;
        batch[pending++] = &r;
        if (pending == width) flush();
    }
    start();
    if (pending > 0) flush();
}

namespace {

// The reference ray's direction tangents and the waves scale change with the reference ray and
// the wavelength, not from ray to ray: each is kept with the bits of the values it came from and
// recomputed only when those differ, so the result is the one the division gives.
std::uint64_t bits_of(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

void reference_tangents(const RayRecord& ref, double& tan_x, double& tan_y) {
    ReferenceTangents& c = g_ray_trace.reference_tangents;
    const std::uint64_t k = bits_of(ref.k), l = bits_of(ref.l), m = bits_of(ref.m);
    if (((c.k ^ k) | (c.l ^ l) | (c.m ^ m)) != 0) {
        c.k = k;
        c.l = l;
        c.m = m;
        c.tan_x = ref.k / ref.m;
        c.tan_y = ref.l / ref.m;
    }
    tan_x = c.tan_x;
    tan_y = c.tan_y;
}

double waves_scale(double units, double wavelength) {
    WavesScale& c = g_ray_trace.waves_scale;
    const std::uint64_t u = bits_of(units), w = bits_of(wavelength);
    if (((c.units ^ u) | (c.wavelength ^ w)) != 0) {
        c.units = u;
        c.wavelength = w;
        c.scale = units * kMicrometresPerMillimetre / wavelength;
    }
    return c.scale;
}

void errors_vs_reference(RayRecord& ray, bool use_sphere, const LensData& lens) {
    const RayRecord& ref = g_ray_trace.reference.ray;
    ray.dx = ray.x - ref.x;
    ray.dy = ray.y - ref.y;
    ray.dz = ray.z - ref.z;
    if (std::fabs(ray.m) >= kZeroDenominator && std::fabs(ref.m) >= kZeroDenominator) {
        double ref_tan_x, ref_tan_y;
        reference_tangents(ref, ref_tan_x, ref_tan_y);
        const double reciprocal_m = 1.0 / ray.m;
        ray.dtan_x = ray.k * reciprocal_m - ref_tan_x;
        ray.dtan_y = ray.l * reciprocal_m - ref_tan_y;
    } else {
        ray.dtan_x = kInfiniteDistance;
        ray.dtan_y = kInfiniteDistance;
    }
    double p;
    if (lens.afocal) {
        p = ref.k * ray.dx + ref.l * ray.dy + ref.m * ray.dz;
    } else {
        const double q = ray.k * ray.dx + ray.l * ray.dy + ray.m * ray.dz;
        p = q;
        const double r = g_ray_trace.reference.sphere_radius;
        if (lens.wrsp != 0 && use_sphere && std::fabs(r) < kInfiniteObjectAperture) {
            const double s2 = ray.dx * ray.dx + ray.dy * ray.dy + ray.dz * ray.dz;
            double d = r * r - (s2 - q * q);
            if (d < 0.0) {
                trace_globals().sphere_missed = 1;
                d = r * r;
            }
            p -= r >= 0.0 ? r - std::sqrt(d) : r + std::sqrt(d);
        }
    }
    const int w = ray.wavelength;
    const double n = ray.prev_medium[w];
    if (ray.kind == kRaySphere) ray.sphere_path = p * n;
    ray.opd = p * n + ref.opl - ray.opl;
    const bool chromatic = lens.wavelength_count > 2;
    if (chromatic) {
        ray.chrom_opl =
            (ray.prev_medium[1] - ray.prev_medium[2]) * p + ref.chrom_opl - ray.chrom_opl;
    }
    if (ray.kind != kRaySphere && lens.opdw) {
        const double wavelength = lens.wavelengths[w].wavelength;
        if (wavelength >= kZeroDenominator) {
            const double scale = waves_scale(lens.units, wavelength);
            ray.opd *= scale;
            if (chromatic) ray.chrom_opl *= scale;
        }
    }
}

// The rays at the image whose differences the lanes form: those errors_vs_reference measures
// with the sphere at the end of their trace.
bool measured_kind(const RayRecord& ray) {
    return ray.kind == kRayMeasured || ray.kind == kRaySphere || ray.kind == kRayOptimise;
}

// What the differences in lanes take from the reference ray and the lens.
void reference_differences(LaneDifferences& d, const LensData& lens) {
    const ReferenceRay& reference = g_ray_trace.reference;
    const RayRecord& ref = reference.ray;
    d.ref_x = ref.x;
    d.ref_y = ref.y;
    d.ref_z = ref.z;
    d.ref_k = ref.k;
    d.ref_l = ref.l;
    d.ref_m = ref.m;
    d.ref_opl = ref.opl;
    d.ref_chrom_opl = ref.chrom_opl;
    d.ref_m_usable = std::fabs(ref.m) >= kZeroDenominator;
    d.ref_tan_x = d.ref_tan_y = 0.0;
    if (d.ref_m_usable) reference_tangents(ref, d.ref_tan_x, d.ref_tan_y);
    d.afocal = lens.afocal != 0;
    d.radius = reference.sphere_radius;
    d.sphere = lens.wrsp != 0 && std::fabs(d.radius) < kInfiniteObjectAperture;
    d.chromatic = lens.wavelength_count > 2;
}

// The scale of a measured ray's differences into waves. Multiplying by 1 leaves the differences
// as they are, to the bit.
double difference_scale(const RayRecord& r, const LensData& lens) {
    if (r.kind != kRaySphere && lens.opdw) {
        const double wavelength = lens.wavelengths[r.wavelength].wavelength;
        if (wavelength >= kZeroDenominator) return waves_scale(lens.units, wavelength);
    }
    return 1.0;
}

void finish_rays(RayRecord* const* rays, int count) {
    RayRecord* measured[kMaxLanes];
    int n = 0;
    for (int j = 0; j < count; ++j) {
        RayRecord& r = *rays[j];
        if (r.failure == 0 && measured_kind(r)) {
            measured[n++] = &r;
        } else {
            finish_ray(r);
        }
    }
    const LensData& lens = lens_data();
    if (n < 2) {
        if (n == 1) errors_vs_reference(*measured[0], true, lens);
        return;
    }
    LaneDifferences d;
    d.count = n;
    reference_differences(d, lens);
    for (int j = 0; j < n; ++j) {
        const RayRecord& r = *measured[j];
        d.x[j] = r.x;
        d.y[j] = r.y;
        d.z[j] = r.z;
        d.k[j] = r.k;
        d.l[j] = r.l;
        d.m[j] = r.m;
        d.opl[j] = r.opl;
        d.chrom_opl[j] = r.chrom_opl;
        const int w = r.wavelength;
        d.index[j] = r.prev_medium[w];
        d.chromatic_index[j] = d.chromatic ? r.prev_medium[1] - r.prev_medium[2] : 0.0;
        d.scale[j] = difference_scale(r, lens);
    }
    repeat_first_lane(n, d.x, d.y, d.z, d.k, d.l, d.m, d.opl, d.chrom_opl, d.index,
                      d.chromatic_index, d.scale);
    if (difference_lanes(d)) trace_globals().sphere_missed = 1;
    for (int j = 0; j < n; ++j) {
        RayRecord& r = *measured[j];
        r.dx = d.dx[j];
        r.dy = d.dy[j];
        r.dz = d.dz[j];
        r.dtan_x = d.dtan_x[j];
        r.dtan_y = d.dtan_y[j];
        if (r.kind == kRaySphere) r.sphere_path = d.sphere_path[j];
        r.opd = d.opd[j];
        if (d.chromatic) r.chrom_opl = d.chrom_difference[j];
    }
}

// Rays of the kinds that start alike, waiting to start in lanes, from their set-up through the
// lanes to their differences at last without their start going through their records. False
// when they cannot go through the lanes together: they are then set up, as by
// setup_rays_at_object, and nothing more.
bool trace_started_group(RayRecord* const* rays, int count, int last) {
    LaneStarts s;
    if (!start_rays_in_lanes(rays, count, s)) return false;
    const RayRecord& first = *rays[0];
    for (int j = 1; j < count; ++j) {
        const RayRecord& r = *rays[j];
        if (r.wavelength != first.wavelength || r.check_apertures != first.check_apertures) {
            store_lane_starts(rays, count, s);
            return false;
        }
    }
    const LensData& lens = lens_data();
    LaneDifferences d;
    d.count = count;
    reference_differences(d, lens);
    int measured = 0;
    for (int j = 0; j < count; ++j) {
        RayRecord& r = *rays[j];
        // The step of a kept ray clears these on every surface.
        if (r.kind == kRayKept) {
            r.dtan_x = 0.0;
            r.sphere_path = 0.0;
        }
        d.scale[j] = 1.0;
        if (measured_kind(r)) {
            measured |= 1 << j;
            d.scale[j] = difference_scale(r, lens);
        }
    }
    repeat_first_lane(count, d.scale);
    double raw[kMaxLanes][4];
    bool missed = false;
    const int done =
        lane_width() == kLanesAvx2
            ? lane_avx2::run_started_lanes(rays, count, last, s, d, measured, raw, missed)
            : lane_sse2::run_started_lanes(rays, count, last, s, d, measured, raw, missed);
    if (missed) trace_globals().sphere_missed = 1;
    RayRecord* rest[kMaxLanes];
    int n = 0;
    for (int j = 0; j < count; ++j) {
        if ((done >> j & 1) != 0) continue;
        RayRecord& r = *rays[j];
        if (r.failure == 0 && r.surface < last)
            trace_to_surface_resumed(r, last, raw[j], raw[j][3]);
        rest[n++] = &r;
    }
    finish_rays(rest, n);
    return true;
}
}  // namespace

void ray_errors_vs_reference(RayRecord& ray, bool use_sphere) {
    errors_vs_reference(ray, use_sphere, lens_data());
}

void reverse_skip_links(int dir) {
    const int image = lens_data().image_surface;
    auto visit = [image](int i) {
        SurfaceRecord& s = surface(i);
        const int j = s.skip_to;
        if (j <= 0 || j > image) return;
        surface(j).skip_to = i;
        s.skip_to = 0;
    };
    if (dir < 0) {
        for (int i = image; i >= 0; --i) visit(i);
    } else {
        for (int i = 0; i <= image; ++i) visit(i);
    }
}

void reset_ray_trace_state() {
    trace_detail::globals = TraceGlobals{};
    g_ray_trace.reference = ReferenceRay{};
}

namespace {
const platform::StateReset ray_trace_state_reset{"trace/ray_trace", reset_ray_trace_state,
                                                 platform::ResetLayer::trace};
}  // namespace
