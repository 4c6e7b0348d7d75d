// Sizing the reference surface by a real ray, for the wide-angle aiming mode.
#pragma once

// Traces a ray from the axial object point at the entrance beam radius up to the reference
// surface; unless diagnostic output is on or the reference surface's aperture is fixed, its
// aperture radius becomes the ray height there. Sets the pupil scale factors of the aiming
// (1.0 each when the ray fails), the real-stop flag, and marks the aiming cache stale. Never
// fails: a ray that cannot reach the reference surface leaves its radius as it was.
void set_stop_radius_from_ray();
