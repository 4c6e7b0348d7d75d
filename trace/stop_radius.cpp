#include "trace/stop_radius.h"

#include <cmath>

#include "lens/lens_data.h"
#include "runtime/settings.h"
#include "trace/ray_media.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/surface_frames.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr int kFlagDiagnosticOutput = 24;

}  // namespace

void set_stop_radius_from_ray() {
    LensData& lens = lens_data();
    TraceGlobals& g = trace_globals();
    const int rfs = lens.reference_surface;
    const SurfaceRecord& s0 = surface(0);

    RayRecord ray{};
    ray.medium = ray.prev_medium = forward_index(s0);
    ray.alt_medium = ray.prev_alt_medium = secondary_index(s0);
    ray.grin_index = 1.0;
    ray.group_offset = -1;
    ray.kind = kRayPlain;
    const double r = lens.entrance_beam_radius;
    const double th0 = s0.thickness;
    ray.y = r;
    // The ray from the axial object point through the beam rim at surface 1.
    const double u =
        std::fabs(th0) < kZeroDenominator ? std::copysign(M_PI / 2.0, r) : std::atan(r / th0);
    ray.l = std::sin(u);
    ray.m = std::cos(u);

    bool grin_on_way = false;
    bool ok = ray.medium != nullptr && rfs >= 1 && rfs <= lens.image_surface;
    while (ok && ray.surface < rfs && ray.failure == 0) {
        trace_to_next_surface(ray);
        if (surface(ray.surface).grin != nullptr) grin_on_way = true;
    }
    if (grin_on_way) build_surface_frames(0);
    g.real_stop = 1;
    ok = ok && ray.failure == 0 && ray.surface == rfs;
    if (!ok) {
        g.pupil_scale[0] = g.pupil_scale[1] = 1.0;
    } else {
        SurfaceRecord& ref = surface(rfs);
        if (!get_setting_flag(kFlagDiagnosticOutput) && ref.aperture_kind == kApertureComputed) {
            ref.aperture_radius = std::fabs(ray.y);
        }
        const double a = ref.aperture_radius;
        double scale = 1.0;
        if (std::fabs(ray.y) >= kZeroDenominator && std::fabs(ray.m) >= kZeroDenominator) {
            scale = (ray.y - (ray.z + a) * ray.l / ray.m) / ray.y;
        }
        g.pupil_scale[0] = g.pupil_scale[1] = scale;
    }
    g.aim_cache_stale = 1;
    g.aiming_state[0] = g.aiming_state[1] = 0.0;
}
