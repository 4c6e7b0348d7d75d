// The two builds of the lane kernel (trace/lane_kernel.h): four lanes for processors with AVX2,
// two for every x86-64. Only the trace's own sources call them, after the processor check.
#pragma once

#include <cstdint>

#include "trace/lane_trace.h"

struct RayRecord;

// The start of up to kMaxLanes rays at the object through the paraxial pupil, on a flat object
// surface without decentre: what the lens gives every ray, each ray's inputs, and each ray's
// start as setup_ray_at_object leaves it. Entries from count on are not looked at.
struct LaneStarts {
    int count;
    double object_height, th0, chief_height, pupil_height;
    double ref_pup_x, ref_pup_y;
    bool chromatic;
    // In: object and pupil fractions (the pupil's after any rim-ray mapping), the index and the
    // chromatic index difference of the object space, and whether the pupil is centred on the
    // reference ray's (all bits set) or not (0).
    double obj_x[kMaxLanes], obj_y[kMaxLanes], obj_z[kMaxLanes];
    double pup_x[kMaxLanes], pup_y[kMaxLanes];
    double index[kMaxLanes], chromatic_index[kMaxLanes];
    std::int64_t centred[kMaxLanes];
    // Out: the object point, the reciprocal object distance, the start.
    double x0[kMaxLanes], y0[kMaxLanes], z0[kMaxLanes], h[kMaxLanes];
    double x[kMaxLanes], y[kMaxLanes], k[kMaxLanes], l[kMaxLanes], m[kMaxLanes];
    double dist[kMaxLanes], opl[kMaxLanes], chrom_opl[kMaxLanes];
};

// The differences of up to kMaxLanes rays at the image from the reference ray, as
// ray_errors_vs_reference forms them with the reference sphere: the reference ray and what the
// lens gives every ray, each ray's state at the image, and the differences.
struct LaneDifferences {
    int count;
    double ref_x, ref_y, ref_z, ref_k, ref_l, ref_m, ref_opl, ref_chrom_opl;
    double ref_tan_x, ref_tan_y;
    bool ref_m_usable;  // the reference direction's tangents exist
    bool afocal, sphere, chromatic;
    double radius;
    // In: each ray's state, the index it arrived through, its chromatic index difference and the
    // scale into waves (1 where the differences stay in lens units).
    double x[kMaxLanes], y[kMaxLanes], z[kMaxLanes];
    double k[kMaxLanes], l[kMaxLanes], m[kMaxLanes];
    double opl[kMaxLanes], chrom_opl[kMaxLanes];
    double index[kMaxLanes], chromatic_index[kMaxLanes], scale[kMaxLanes];
    // Out.
    double dx[kMaxLanes], dy[kMaxLanes], dz[kMaxLanes];
    double dtan_x[kMaxLanes], dtan_y[kMaxLanes];
    double sphere_path[kMaxLanes], opd[kMaxLanes], chrom_difference[kMaxLanes];
};

// The lanes from count to the end of the last register compute on copies of the first: each
// array takes its first entry there, so that no lane divides by or takes the root of what was
// never set.
template <class... Arrays>
void repeat_first_lane(int count, Arrays*... arrays) {
    const int width = lane_width();
    const int end = (count + width - 1) / width * width;
    for (int j = count; j < end; ++j) ((arrays[j] = arrays[0]), ...);
}

namespace lane_avx2 {
int run_lanes(RayRecord* const* rays, int count, int last, double (*raw)[4]);
// run_lanes on rays whose start is s (set up in lanes at the object, not yet in the records),
// forming at last the differences of the rays of kinds measured against the reference ray (one
// bit each in measured) that reach it in lanes, with d's reference and d.scale. The rays whose
// differences were formed (one bit each); missed: one of them missed the reference sphere.
int run_started_lanes(RayRecord* const* rays, int count, int last, const LaneStarts& s,
                      const LaneDifferences& d, int measured, double (*raw)[4], bool& missed);
// The lanes whose object distance is too short to divide by (one bit each); 0 when all started.
int start_lanes(LaneStarts& s);
// True when a ray missed the reference sphere.
bool difference_lanes(LaneDifferences& d);
}  // namespace lane_avx2
namespace lane_sse2 {
int run_lanes(RayRecord* const* rays, int count, int last, double (*raw)[4]);
int run_started_lanes(RayRecord* const* rays, int count, int last, const LaneStarts& s,
                      const LaneDifferences& d, int measured, double (*raw)[4], bool& missed);
int start_lanes(LaneStarts& s);
bool difference_lanes(LaneDifferences& d);
}  // namespace lane_sse2
