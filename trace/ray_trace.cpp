#include "trace/ray_trace.h"

#include <cmath>

#include "lens/lens_data.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

namespace {

ReferenceRay g_reference{};
TraceGlobals g_globals{};

constexpr double kMicrometresPerMillimetre = 1000.0;

// The differences from the reference ray are cleared when a ray fails, except for kind 3.
void clear_reference_differences(RayRecord& ray) {
    ray.dx = ray.dy = ray.dz = 0.0;
    ray.dtan_x = ray.dtan_y = 0.0;
    ray.sphere_path = 0.0;
}

}  // namespace

ReferenceRay& reference_ray() {
    return g_reference;
}
TraceGlobals& trace_globals() {
    return g_globals;
}

void reset_pupil_scale_factors() {
    g_globals.pupil_scale[0] = 1.0;
    g_globals.pupil_scale[1] = 1.0;
    g_globals.aiming_possible = 1;
    g_globals.aiming_enabled = 1;
    g_globals.aiming_state[0] = 0.0;
    g_globals.aiming_state[1] = 0.0;
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

void trace_ray(RayRecord& ray) {
    setup_ray_at_object(ray, nullptr);
    const int image = lens_data().image_surface;
    const bool derivative_kind =
        ray.kind == kRayPlain || ray.kind == kRayReference || ray.kind == kRayFractional;
    const TraceSeams& seams = trace_seams();
    if (derivative_kind && g_globals.differential && seams.trace_differential_ray != nullptr) {
        while (ray.failure == 0 && ray.surface < image) seams.trace_differential_ray(ray);
        return;
    }
    trace_to_surface(ray, image);
    if (ray.failure != 0) return;
    switch (ray.kind) {
        case kRayPlain:
        case kRayReference:
        case kRayFractional:
            if (seams.trace_auxiliary_rays != nullptr) seams.trace_auxiliary_rays(ray, 0);
            break;
        case kRayMeasured:
        case kRaySphere:
        case kRayOptimise:
            ray_errors_vs_reference(ray, true);
            break;
        default:
            break;
    }
}

void ray_errors_vs_reference(RayRecord& ray, bool use_sphere) {
    const LensData& lens = lens_data();
    const RayRecord& ref = g_reference.ray;
    ray.dx = ray.x - ref.x;
    ray.dy = ray.y - ref.y;
    ray.dz = ray.z - ref.z;
    if (std::fabs(ray.m) >= kZeroDenominator && std::fabs(ref.m) >= kZeroDenominator) {
        ray.dtan_x = ray.k / ray.m - ref.k / ref.m;
        ray.dtan_y = ray.l / ray.m - ref.l / ref.m;
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
        const double r = g_reference.sphere_radius;
        if (lens.wrsp != 0 && use_sphere && std::fabs(r) < kInfiniteObjectAperture) {
            const double s2 = ray.dx * ray.dx + ray.dy * ray.dy + ray.dz * ray.dz;
            double d = r * r - (s2 - q * q);
            if (d < 0.0) {
                g_globals.sphere_missed = 1;
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
            const double scale = lens.units * kMicrometresPerMillimetre / wavelength;
            ray.opd *= scale;
            if (chromatic) ray.chrom_opl *= scale;
        }
    }
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
