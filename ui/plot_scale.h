// The scale of an analysis plot or a lens drawing: the round value that stands for one unit of
// the plot's value axis, chosen from the largest value to be shown unless the user gave a
// one-shot scale for the next plot.
#pragma once

// Mode 10 only looks at the scale: it neither spends the one-shot Graphics_scale nor takes
// it. Any other mode takes |Graphics_scale| when it is at least 1e-40, else steps the value
// (scale_step: mode 1 to 2, 5 or 10 times a power of ten, mode 3 to the nearest whole mantissa,
// others down to a whole mantissa) and raises it to Graphics_minimum_scale when that is set;
// then clears Graphics_scale. The result is stored in Graphics_current_scale.
double plot_scale_step(double value, int mode);
