// The lane-parallel trace of ray sets: four rays side by side in the 256-bit registers where the
// processor has AVX2, two in the 128-bit SSE2 registers every x86-64 has, the path chosen once
// by a check of the processor when the program starts (one binary for every machine).
//
// The lanes take planes, spheres, conics and even aspheres, forward in the lens's own frame,
// with their refraction, reflection and apertures; each lane does the operations the scalar
// step does, in the same order, so its results are the scalar trace's bit for bit. A lane whose
// ray fails at a surface, or takes a rare branch there (a grazing or far-side root, a point
// outside the asphere's domain, a special aperture that stops it or lets it through untouched),
// is masked from that surface on and its ray goes on in the scalar step from the state before
// that surface, which makes every failure code and failing surface the scalar trace's own. A
// surface the lanes do not cover (decentred, toric, spline, gradient index, grating,
// diffractive, hologram, perfect lens, edge wall, SKP link) sends every ray on from it in the
// scalar step, ray by ray.
#pragma once

#include <cstdint>

#include "trace/ray_record.h"

// The lane widths of the two paths (doubles a register holds), the registers' worth of rays the
// lanes take together, and so the most rays they take together. Each surface is a chain of
// square roots and divisions for a register's rays; the registers take each half of a surface's
// step in turn, so that the processor overlaps the chains. Four registers keep it busier than
// two on both paths; more gained nothing.
inline constexpr int kLanesAvx2 = 4;
inline constexpr int kLanesSse2 = 2;
inline constexpr int kLaneRegisters = 4;
inline constexpr int kMaxLanes = kLaneRegisters * kLanesAvx2;
// Even aspheres with more working coefficients than this go through the scalar step.
inline constexpr int kMaxLaneAsphereTerms = 24;

// True when the processor and the operating system run AVX2 code; asked once.
bool processor_has_avx2();

// The width of the path the trace takes: 4 where the processor has AVX2, else 2; a test may
// force the SSE2 path through trace_globals().lane_width (0 leaves the choice to the processor;
// a width the processor cannot run is not taken).
int lane_width();
// The rays the lanes take together on that path: kLaneRegisters registers of lane_width() rays.
int lane_group_size();

// Traces rays set up at the object (or standing at a surface) to surface last: rays that stand
// at the same surface in the same media, wavelength and checks go through the lanes together,
// lane_group_size() at a time, and each ray then goes on alone in the scalar step where the lanes
// left it. Results equal trace_to_surface on each ray. The rays must be eligible
// (lane_ray_eligible). Returns the number of surfaces the rays went through in lanes, summed over
// the rays.
int trace_lanes_to_surface(RayRecord* const* rays, int count, int last);

// trace_lanes_to_surface on rays the caller has grouped: 2 to lane_group_size() rays, each
// eligible and below last, that could all go through the lanes together (same surface, media,
// wavelength, direction and checks).
int trace_lane_group_to_surface(RayRecord* const* group, int count, int last);

// The lanes' set-up of rays at the object and their differences from the reference ray, on the
// processor's path (trace/lane_paths.h).
struct LaneStarts;
struct LaneDifferences;
int start_lanes(LaneStarts& s);
bool difference_lanes(LaneDifferences& d);

// Whether the lens lets rays start in lanes: the paraxial pupil from a flat object surface
// without decentre, not aimed, not in the angle, cone or telecentric set-up, and a pupil narrow
// against the object distance. Rays of the kinds lane_start_kind takes then start alike, so this
// is asked once per ray set (and again after anything else was set up).
bool lane_start_possible();
// The kinds that start in lanes where the lens lets them: neither the derivative kinds (whose
// set-up fills the effective pupil) nor the kind that prints.
inline bool lane_start_kind(const RayRecord& ray);
// setup_ray_at_object(ray, nullptr) on each of 1 to kMaxLanes rays in order, with the same
// results bit for bit, the arithmetic in lanes. Only where lane_start_possible, on rays of the
// kinds lane_start_kind takes.
void setup_rays_at_object(RayRecord* const* rays, int count);
// That set-up in two halves: start_rays_in_lanes sets the rays up with their start in s and not
// yet in the records (false when one started too close to surface 1: the rays were then set up
// one by one, in their records); store_lane_starts puts the starts into the records.
bool start_rays_in_lanes(RayRecord* const* rays, int count, LaneStarts& s);
void store_lane_starts(RayRecord* const* rays, int count, const LaneStarts& s);

// Whether a ray (set up, not failed) can enter the lanes at all: forward, in the lens's frame,
// outside a gradient medium and an edge wall, not in the angle mode.
bool lane_ray_eligible(const RayRecord& ray);

// The scalar trace from where the lanes left a ray: trace_to_surface with the ray's direction as
// the last bending left it before the renormalisation (raw, with factor the renormalising
// factor; the unit direction and 1 when the last surface was not a plain one).
void trace_to_surface_resumed(RayRecord& ray, int last, const double raw[3], double factor);

inline bool lane_start_kind(const RayRecord& ray) {
    return ray.kind != kRayPlain && ray.kind != kRayReference && ray.kind != kRayFractional &&
           ray.kind != kRayReported;
}
