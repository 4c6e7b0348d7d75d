#include "trace/lane_trace.h"

#include "lens/lens_data.h"
#include "trace/lane_paths.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"

namespace {

// Rays go through the lanes together when they stand at the same surface in the same media at
// the same wavelength, travel the same way and check the same apertures.
bool same_lane_group(const RayRecord& a, const RayRecord& b) {
    return a.surface == b.surface && a.wavelength == b.wavelength && a.medium == b.medium &&
           a.prev_medium == b.prev_medium && a.alt_medium == b.alt_medium &&
           a.prev_alt_medium == b.prev_alt_medium && a.reversed == b.reversed &&
           a.check_apertures == b.check_apertures && a.group_offset == b.group_offset;
}

}  // namespace

bool processor_has_avx2() {
    // Asked once: the answer cannot change while the program runs.
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

int lane_width() {
    if (trace_globals().lane_width == kLanesSse2) return kLanesSse2;
    return processor_has_avx2() ? kLanesAvx2 : kLanesSse2;
}

int lane_group_size() {
    return kLaneRegisters * lane_width();
}

bool lane_ray_eligible(const RayRecord& ray) {
    return ray.failure == 0 && ray.grin_state == 0 && !ray.backward &&
           ray.edge_state == kEdgeNone && ray.frame_surface >= 0 && !lens_data().angle_mode;
}

int trace_lane_group_to_surface(RayRecord* const* group, int count, int last) {
    // The step of a kept ray clears these on every surface.
    for (int j = 0; j < count; ++j) {
        if (group[j]->kind == kRayKept) {
            group[j]->dtan_x = 0.0;
            group[j]->sphere_path = 0.0;
        }
    }
    double raw[kMaxLanes][4];
    const int taken = lane_width() == kLanesAvx2 ? lane_avx2::run_lanes(group, count, last, raw)
                                                 : lane_sse2::run_lanes(group, count, last, raw);
    for (int j = 0; j < count; ++j) {
        RayRecord& r = *group[j];
        if (r.failure == 0 && r.surface < last)
            trace_to_surface_resumed(r, last, raw[j], raw[j][3]);
    }
    return taken;
}

int start_lanes(LaneStarts& s) {
    return lane_width() == kLanesAvx2 ? lane_avx2::start_lanes(s) : lane_sse2::start_lanes(s);
}

bool difference_lanes(LaneDifferences& d) {
    return lane_width() == kLanesAvx2 ? lane_avx2::difference_lanes(d)
                                      : lane_sse2::difference_lanes(d);
}

int trace_lanes_to_surface(RayRecord* const* rays, int count, int last) {
    const int group_size = lane_group_size();
    int taken = 0;
    int i = 0;
    while (i < count) {
        RayRecord& first = *rays[i];
        if (!lane_ray_eligible(first) || first.surface >= last) {
            trace_to_surface(first, last);
            ++i;
            continue;
        }
        RayRecord* group[kMaxLanes] = {&first};
        int g = 1;
        ++i;
        while (g < group_size && i < count && lane_ray_eligible(*rays[i]) &&
               same_lane_group(first, *rays[i])) {
            group[g++] = rays[i++];
        }
        if (g == 1) {
            trace_to_surface(first, last);
            continue;
        }
        taken += trace_lane_group_to_surface(group, g, last);
    }
    return taken;
}
