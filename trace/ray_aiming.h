// Wide-angle ray aiming: a ray given by pupil fractions (a, b) is made to pass through the point
// (a R, b R) of the reference surface (R its aperture radius) while it leaves the object in the
// wanted direction (object at infinity) or from the wanted object point. The ray is started on
// the reference surface and traced back to the object space; Newton steps on the direction it
// starts with there, (u, v), bring the back-traced ray onto the object condition.
//
// The solution of the centre ray and the pupil scale factors are kept for the object direction
// or point (TraceGlobals), so that the next ray of the same object point starts close to its
// solution. Everything the aim changes for its own work (the backward-step flag, work rays)
// lasts only for the call.
#pragma once

#include "trace/ray_record.h"

struct DecentreRecord;

// Object at infinity: the ray holds the wanted direction cosines and its pupil fractions. On
// success the ray starts on the object side, near surface 1, with failure code 0.
void aim_ray(RayRecord& ray);
// Finite object at (x, y, z) in lens units.
void aim_ray_finite_object(RayRecord& ray, double x, double y, double z);

// One Newton solve from (u, v); success leaves failure 0 and the solution in u and v.
void solve_aim_angles(RayRecord& ray, double a, double b, double& u, double& v);
void solve_aim_point(RayRecord& ray, double x, double y, double z, double a, double b, double& u,
                     double& v);
// Starts the ray on the reference surface at (a R, b R) towards (u R, v R, -R) (or +R when the
// surface before lies behind it) and traces it back to surface 1; on success its direction is
// turned round to point into the lens.
void trace_back_to_object(RayRecord& ray, int rfs, double a, double b, double u, double v);
// One backward surface step: the forward step run the other way.
void trace_to_previous_surface(RayRecord& ray);

// The exact inverses of the forward trace's frame steps, which the backward steps undo in
// reverse order: enter_surface_frame undone (with the tilts first, the offsets come off before
// the rotation is turned back; with order 0 there are none), and leave_surface_frame undone.
// Position and direction only.
void undo_enter_surface_frame(const DecentreRecord& record, RayRecord& ray);
void undo_leave_surface_frame(const DecentreRecord& record, RayRecord& ray);

// The angle with tangent a / b whose sine has the sign of a and cosine the sign of b, exact for
// small b.
double angle_of(double a, double b);
// Direction cosines from two field angles (radians); angles beyond a right angle give N < 0.
void direction_from_field_angles(double ax, double ay, double& k, double& l, double& m);

void install_ray_aiming();
