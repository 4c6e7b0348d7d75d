// The least-squares focus of the current object point: the image plane moves to where the
// weighted rays of the pupil gather best.
#pragma once

// The shift of the image plane that minimises the weighted squared ray errors, into shift: 0,
// or -2610 when no ray passed or the rays do not converge. The stored object point is traced.
int least_squares_focus_shift(double* shift);

// Command auto_focus; the same handler runs oprd_quantities.
int cmd_auto_focus();
