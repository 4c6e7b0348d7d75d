// The calls of the trace into the surface kinds, media and ray steps that other parts of the
// trace code provide: general (aspheric, toric, spline) surfaces, special apertures, surface
// sags, gradient-index media, gratings, diffractive and holographic surfaces, the perfect lens,
// the differential and auxiliary rays and the ray aiming.
//
// An entry that is null is not available yet. A ray that needs a missing surface step or
// set-up step fails with kRayFailNotAvailable at that surface, so that no result is made up;
// the derivative extras after a trace (differential and auxiliary rays) are then simply not
// computed and the plain surface-by-surface trace runs instead.
//
// The code that provides one of these functions points its entry here (the defaults are set in
// trace_seams.cpp); tests may point an entry at a function of their own and must put the old
// value back.
#pragma once

struct RayRecord;
struct SagPoint;
struct SurfaceRecord;

struct TraceSeams {
    // General surfaces: refines the intersection from the ray's current point with curvature
    // c, the other curvature c2 and kc = conic times c; failure -2701 (or -2201) in the ray.
    void (*intersect_general_surface)(int surface, RayRecord& ray, double c, double c2, double kc);
    // 1 when t1 and t2 now lie on opposite sides of the surface, 0 when no bracket was found.
    int (*bracket_surface_crossing)(int surface, RayRecord& ray, double& t1, double& t2);
    // 0 with dist = t and the unit normal set, or -2701.
    int (*refine_surface_crossing)(int surface, RayRecord& ray, double t1, double t2,
                                   double tolerance);
    // 0 passes, 1 inside an entry that lets the ray through untouched, 2 obstructed, 4 outside
    // a clear aperture.
    int (*check_special_apertures)(int surface, double x, double y);
    // 0 the point lies on the surface, -1 it does not.
    int (*aperture_hit_test)(int surface, double x, double y);
    void (*surface_sag_normal)(const SurfaceRecord& surface, double x, double y, SagPoint& out);
    // Two tilt angles (degrees) of a direction.
    void (*tilt_angles_from_direction)(double x, double y, double z, double& a, double& b);
    // Gradient-index media: refraction into the medium after a surface, and propagation to the
    // end surface (failure stored in the ray).
    void (*refract_into_grin)(int surface, RayRecord& ray);
    void (*propagate_in_grin)(int end_surface, RayRecord& ray);
    void (*trace_grating)(int surface, RayRecord& ray);
    void (*trace_diffractive_surface)(int surface, RayRecord& ray);
    void (*trace_hologram)(int surface, RayRecord& ray);
    void (*trace_perfect_lens)(int surface, RayRecord& ray);
    // One surface of the differential trace, in place of trace_to_next_surface.
    void (*trace_differential_ray)(RayRecord& ray);
    // Auxiliary rays after a complete trace of a kind 0, 6 or 7 ray.
    void (*trace_auxiliary_rays)(RayRecord& ray, int mode);
    // Aiming: object at infinity (direction already in the ray) and finite object point.
    void (*aim_ray)(RayRecord& ray);
    void (*aim_ray_finite_object)(RayRecord& ray, double x, double y, double z);
    void (*direction_from_field_angles)(double ax, double ay, double& k, double& l, double& m);
};

TraceSeams& trace_seams();
