// The diffraction MTF by row-wise autocorrelation of the pupil function: along every pupil row
// of the spot-diagram grid the wavefront (and, when it varies, the amplitude) is made
// continuous by piecewise quadratics, extended half a grid step to the pupil edge, and the row
// is integrated against its sheared copy by the midpoint rule at the exact shear of every
// frequency asked for.
#pragma once

// Arguments and modes 0-3 of mtf_at_frequency: direction 0 x, 1 y; wave a real wavelength
// index; F, S the highest frequency and its step; shifts of the reference point; focus shift
// dz. first and second hold n + 1 entries (n = floor(F/S + 0.5)). 0, -10 or a refusal of
// mtf_step_count.
int mtf_by_autocorrelation(int mode, int direction, int wave, double F, double S, double shift_y,
                           double shift_x, double dz, double* first, double* second,
                           double* cutoff_out);
