// The diffraction MTF by binned autocorrelation of ray pairs: the OTF at a shear of whole grid
// steps is the sum over pairs of rays in one pupil row (one row for frequencies along x, one
// column along y) that far apart of a1 a2 exp(i 2 pi dW / lambda); a cubic spline through the
// bins gives the frequencies between them. When the frequency step is finer than one bin, each
// row is resampled by splines on a finer lattice and autocorrelated by FFT.
#pragma once

#include "evaluation/mtf_curves.h"

// Arguments and modes of mtf_at_frequency; 0, -10 or a refusal.
int mtf_by_spline(const MtfRequest& request, double* first, double* second, double* cutoff_out);
int mtf_by_resampled_fft(const MtfRequest& request, double* first, double* second,
                         double* cutoff_out);
