// The paraxial pass of the lens set-up: object, aperture and field; an axial and a chief ray in
// the y-z and the x-z sections traced surface by surface, with the chief ray moved to the stop
// centre, computed apertures, curvature and thickness solves and pickups resolved as the pass
// reaches them, vertex positions, and the heights and slopes kept in the surface records.
#pragma once

#include <vector>

struct SetupPass {
    bool telecentric_object = false;  // kAimTelecentric with a finite object
    int last_before_stop = 0;         // 0: no surface lies before the stop
    int pending_error = 0;            // first special-data error of the pass
    int pending_surface = 0;
    double t0 = 0;  // object distance (at least 1e-20 in magnitude)
    double u = 0;   // axial slope in object space
    double t = 0;   // chief slope in object space (moved to the stop centre at the stop)
    double n0 = 1;  // object-space index at wavelength 1
    // y-z section: axial and chief ray; x-z section likewise.
    double ya = 0, ua = 0, yc = 0, uc = 0;
    double xya = 0, xua = 0, xyc = 0, xuc = 0;
    double n_prev = 1;  // index in front of the current surface at wavelength 1
    // Surfaces whose gradient index could not be had because its service is missing, already
    // reported in this pass.
    std::vector<int> grin_unavailable_reported;
};

// Object, aperture and field: start heights and slopes of both sections.
void paraxial_object_setup(SetupPass& p);
// Surfaces 1 to the image with solves and pickups: 0, or -259 (zero axial height at the stop;
// the failing surface is in the lens data).
int paraxial_setup_pass(SetupPass& p);
// The y-z rays again from the start with the chief ray as moved at the stop, for the heights
// and apertures of the surfaces in front of the stop.
void paraxial_second_pass(SetupPass& p);
// Exit pupil and the image-space slopes from the final ray state.
void paraxial_exit_pupil(const SetupPass& p);
