// The scale rule of every analysis plot and of the lens drawing: a one-shot scale when one is
// set, else the largest value stepped to a round number, never below the minimum scale.
#pragma once

// Graphics_scale (its magnitude) when set and mode is not 10; else scale_step(value, mode),
// raised to Graphics_minimum_scale when that is above 0. The result is stored as
// Graphics_current_scale and, unless mode is 10, Graphics_scale is cleared so that a one-shot
// scale serves one plot only.
double plot_scale_step(double value, int mode);
