#include "app/import_hooks.h"

#include <cmath>

#include "lens/import_frame.h"
#include "lens/lens_data.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "trace/surface_sag.h"

namespace {

// The axial ray, surface by surface: where it meets a surface away from the sag at its height,
// the trace must take the surface's other intersection.
void mark_alternate_intersections() {
    RayRecord ray{};
    ray.pup_y = 1.0;
    setup_ray_at_object(ray, nullptr);
    const int image = lens_data().image_surface;
    while (ray.failure == 0 && ray.surface < image) {
        const int before = ray.surface;
        trace_to_next_surface(ray);
        if (ray.failure != 0 || ray.surface <= before) break;
        SurfaceRecord& s = surface(ray.surface);
        SagPoint sag{};
        surface_sag_normal(s, ray.x, ray.y, sag);
        if (std::fabs(ray.z - sag.z) > 1e-10) s.alternate_intersection = 1;
    }
}

}  // namespace

void install_import_hooks() {
    install_import_commands();
    ImportHooks hooks;
    hooks.lens_setup = [](int mode) { return lens_setup(mode); };
    hooks.reset_object_point = reset_object_point;
    hooks.mark_alternate_intersections = mark_alternate_intersections;
    set_import_hooks(hooks);
}
