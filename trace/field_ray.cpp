#include "trace/field_ray.h"

#include "lens/lens_data.h"
#include "runtime/state_flags.h"
#include "trace/derived_rays.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"

void trace_field_ray(RayRecord& ray, bool aim, bool chief) {
    LensData& lens = lens_data();
    clear_state_flag(kFlagReferenceRayCurrent);
    const double target_x = chief ? 0.0 : object_point().pupil_x;
    const double target_y = chief ? 0.0 : object_point().pupil_y;
    ray.pup_x = target_x;
    ray.pup_y = target_y;
    ray.failure = 0;
    {
        // The same Newton passes as a fractional ray, on the surface the caller names.
        ScopedValue<std::int32_t> cut(lens.reference_surface,
                                      aim ? lens.aperture_stop : lens.reference_surface);
        trace_fractional_ray(ray, kRayPlain, 0.0, 0.0, 0, nullptr);
    }
    if (ray.failure == 0) {
        ray.kind = kRayPlain;
        trace_ray(ray);
    }
    if (ray.failure != 0) {
        ray.x = ray.y = ray.z = 0.0;
        ray.dtan_y = ray.sphere_path = 0.0;
        ray.pup_x = ray.pup_y = 0.0;
    }
}
