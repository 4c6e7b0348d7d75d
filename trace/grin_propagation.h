// Rays through gradient-index media: the refraction into the medium after a surface that
// carries gradient data, and the integration of the ray equation up to the next surface, with
// the refraction out of the medium there (or straight into the next gradient medium).
//
// The integration takes fixed steps of the fourth-order Runge-Kutta scheme for the optical
// direction vector T = n dR/ds (with dR/dt = T, dT/dt = n grad n), sums the optical path as
// the integral of n^2 dt by the trapezoid rule with its end correction, and finds the end
// surface by Newton steps along T. Drawing rays (kind 3) leave their path in the lens drawing's
// point buffer. Nothing here allocates except that buffer's growth.
//
// Rays traced backwards (the aiming's backward step) cross a gradient medium from the surface
// behind it to its own surface: they enter it at the surface behind, are integrated back in the
// same frame the forward trace integrates in, and leave it at the medium's own surface, into
// the medium before (a gradient medium there too). Gratings, diffractive and holographic
// surfaces and perfect lenses on either surface bend them as they bend forward rays.
#pragma once

struct RayRecord;

void refract_into_grin(int surface, RayRecord& ray);
void propagate_in_grin(int end_surface, RayRecord& ray);

// The backward step at surface n when the medium before n (after n - 1) is a gradient medium:
// refracts the ray into it from the medium it travels in.
void enter_grin_backward(int n, RayRecord& ray);
// A backward trace that starts at surface n, in the medium before it: marks the ray as inside
// that medium when it is a gradient medium.
void start_backward_in_grin(int n, RayRecord& ray);

// Longest run of integration passes through one medium.
inline constexpr int kGrinPassLimit = 32000;

// Points the trace's gradient-medium entries here.
void install_grin_propagation();
