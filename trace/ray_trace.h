// The real-ray trace. Whole rays: fill a RayRecord (object and pupil fractions, wavelength
// slot, kind, and whether the pupil is taken at the entrance pupil) and call trace_ray. Surface
// by surface: setup_ray_at_object, then trace_to_next_surface while surface is below the image
// surface and failure is 0.
//
// Positions stay relative to the vertex of the surface last reached. Nothing here allocates;
// only rays of kind 1 print (their failure, with the surface number).
#pragma once

#include <cstdint>

#include "trace/ray_record.h"
#include "trace/sag_point.h"

// Values the set-up leaves for the aiming and the derivative rays, and the aiming state that
// the set-up tests.
struct TraceGlobals {
    SagPoint object_point;              // object point, its sag and the object-surface normal
    double reciprocal_object_distance;  // 1 / (TH0 - z0)
    int differential;                   // per-ray differential switch of the ray set up last
    int sphere_missed;                  // set when a ray missed the reference sphere
    int aiming_possible;
    int aiming_enabled;
    double pupil_scale[2];    // pupil scale factors of the aiming
    double aiming_state[2];   // the aiming's two pupil cross terms
    int real_stop;            // set once a real ray has sized the reference surface
    int aim_cache_stale = 1;  // the aiming must rebuild its cached solution
    int aiming_in_progress;   // the reference ray is being traced for the aiming
    // The aiming's cache: the object direction (object at infinity) or object point (finite
    // object) it was built for, and the solved values of the ray through the centre of the
    // reference surface.
    double aim_direction[3] = {1.0, 1.0, 1.0};
    double aim_position[3];
    double aim_centre[2];
    int backward_step;  // a ray is being traced back towards the object
    int lane_width;     // 0: the lane trace takes the processor's widest path; 2: the SSE2 path
};
namespace trace_detail {
extern TraceGlobals globals;
}
// Inline: the set-up of every ray reads and writes these.
inline TraceGlobals& trace_globals() {
    return trace_detail::globals;
}

// Both pupil scale factors 1, the aiming-possible word and the second aiming flag set, the two
// aiming state values cleared.
void reset_pupil_scale_factors();

void trace_ray(RayRecord& ray);
// trace_ray on each ray in order, with the same results and messages, bit for bit; rays go
// through the lens side by side in lanes where they can (see trace/lane_trace.h).
void trace_rays(RayRecord* rays, int count);
// Advances the ray by one surface (or one step along an element's edge wall).
void trace_to_next_surface(RayRecord& ray);
// trace_to_next_surface while the ray has not failed and its surface is below last.
void trace_to_surface(RayRecord& ray, int last);
// trace_to_surface on a, then on b, with the same results bit for bit, the two rays taking the
// plain surfaces side by side while they can. between (when not null) runs with context after
// a is done and before b goes on alone. The number of surfaces the rays went through together.
int trace_pair_to_surface(RayRecord& a, RayRecord& b, int last, void (*between)(void*),
                          void* context);
void set_ray_failure(RayRecord& ray, int code);
// Differences from the reference ray at the image: dx, dy, dz, dtan, the optical path
// difference (in waves unless the lens says "OPDW Off"; lens units for kind 4) and the
// chromatic path difference.
void ray_errors_vs_reference(RayRecord& ray, bool use_sphere);

// Set-up at the object surface. reference centres the pupil (null: the reference ray).
void setup_ray_at_object(RayRecord& ray, const RayRecord* reference);
// The angle-mode set-up ("RAIM Xrm"): the ray starts at the object point.
void setup_ray_from_angles(RayRecord& ray);

// The work of one surface: frame, intersection, optical path, apertures, bending.
void intersect_and_refract(int surface, RayRecord& ray);
// The bending alone, for callers that intersect by other means.
void trace_special_surface(int surface, RayRecord& ray);
// Refraction or reflection at a surface.
void refract_at_surface(int surface, RayRecord& ray);
// The apertures of surface n where a forward ray has just met it (point in the surface's
// frame), for every medium the ray arrives through: true when the ray goes on to be bent there;
// false when it stopped (the failure is reported) or passes the surface untouched.
bool surface_apertures_pass(int surface, RayRecord& ray);
// Whether a ray traced backwards meets plane surface n where the surface is, having gone
// forward along its way (dist the step to it); a miss is reported.
bool backward_plane_hit(int surface, RayRecord& ray, double dist);
// One step along the edge wall of an element.
void edge_wall_step(RayRecord& ray);

// Reverses every SKP link (dir -1 from the image surface down, 1 from 0 up; the second call
// restores the first).
void reverse_skip_links(int dir);

// Reverses the SKP links for the life of the guard; restores them on every exit path.
class SkipLinksReversed {
public:
    SkipLinksReversed() { reverse_skip_links(-1); }
    ~SkipLinksReversed() { reverse_skip_links(1); }
    SkipLinksReversed(const SkipLinksReversed&) = delete;
    SkipLinksReversed& operator=(const SkipLinksReversed&) = delete;
};
