// The diffraction MTF by row-wise autocorrelation of the pupil function: along every pupil row
// of the spot-diagram grid the wavefront (and, when it varies, the amplitude) is made
// continuous by piecewise quadratics, extended half a grid step to the pupil edge, and the row
// is integrated against its sheared copy by the midpoint rule at the exact shear of every
// frequency asked for.
#pragma once

#include "evaluation/mtf_curves.h"

// Arguments and modes 0-3 of mtf_at_frequency, wave a real wavelength index. first and second
// hold n + 1 entries (n = floor(F/S + 0.5)). 0, -10 or a refusal of mtf_step_count.
int mtf_by_autocorrelation(const MtfRequest& request, double* first, double* second,
                           double* cutoff_out);
