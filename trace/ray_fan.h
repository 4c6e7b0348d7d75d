// The ray-fan command: a row of rays across the pupil in the y or the x section, from the
// current object point, listed with their aberrations against the reference ray.
#pragma once

// Command 718: direction (0 y, 1 x), mode (0 short, 1 aberrations, 2 with intercepts), rays
// (0: the lens's FANR), first pupil value (may be omitted), last, fixed pupil fraction.
int cmd_trace_ray_fan();
void install_ray_fan();
