// The diffraction point-spread function of the current field point: a square grid of rays
// through the pupil gives the complex pupil function (amplitude from the traced intensity and
// the Gaussian apodisation, phase from the optical path difference), a two-dimensional FFT
// turns it into the image amplitude, and the intensities of all wavelengths taking part are
// summed. Also the statistics of a PSF grid: centroid, encircled and ensquared energy.
//
// A PSF grid is n x n doubles as rows (row 0 the top, largest y; column 0 the left); the image
// centre is cell (n/2, n/2). Cells hold the intensity relative to the aberration-free peak of
// the same pupil amplitudes.
#pragma once

#include "tables/table_names.h"

// The FFT size for m pupil samples: m below 32 gives 16, below 64 gives 32, and so on by
// doubling up to 4096 below 8192; 8192 or more gives 64 (callers refuse such sizes first).
int fft_grid_size(int m);

// Fills grid (n rows) with the PSF of wavelength index wave, or of all weighted wavelengths,
// m pupil samples across the larger pupil extent of the reference wavelength. spacing gets the
// image distance between cells in lens units (angular for an afocal lens); scale 1. 0, -10,
// -2067, or -70 for an n that is no power of two.
int compute_psf(double** grid, double* spacing, double* scale, bool polychromatic, int wave, int n,
                int m);

// The traced pupil of wavelength wave on the reference sphere (or, afocal, at the image):
// centres of the y (second) and x (first) coordinates, radius, full extents. 0 or -2067.
int find_pupil_extents(int wave, double* centre_y, double* centre_x, double* radius,
                       double* extent_y, double* extent_x);

// The same with "APCK" and text output switched off for the search, both restored after.
int find_pupil_extents_quietly(int wave, double* centre_y, double* centre_x, double* radius,
                               double* extent_y, double* extent_x);

// The pupil function of wavelength wave: N1 columns by N2 rows of cell-centred samples, centred
// in the n x n complex work array (pairs, row after row; row 0 the top of the pupil), traced
// with the lens's apodisation; amplitude_sum gets the sum of the amplitudes.
void build_pupil_grid(double* work, double& amplitude_sum, int wave, int n, int N1, int N2);
// Multiplies cell (r, c) of the work array by (-1)^(r + c): the FFT's zero moves to (n/2, n/2).
void psf_centre_shift(double* work, int n);

// The window rule of the statistics: w outside 1..n-1 becomes n-1, an even w one less; the
// half-width h = w/2 is returned.
int psf_window_half(int n, int w);

// Intensity centroid over the window, in cells from the centre (x right, y up).
void psf_centroid(double* const* grid, double* x, double* y, int n, int window);

// A PSF grid as its statistics and sections read it: n x n cells, the window argument (see
// psf_window_half), the point (x0, y0) in cells from the centre they are taken about, and the
// image distance between cells (read by the sections).
struct PsfGridView {
    double* const* cells = nullptr;
    int n = 0;
    int window = 0;
    double x0 = 0.0;
    double y0 = 0.0;
    double spacing = 0.0;
};

// Encircled (psf_width_stats) or ensquared (psf_energy_stats) energy about the grid's point
// over the window. Mode 0: count values of energy at sizes i * step (radius, or full width);
// mode 1: count sizes at energies i * step. 0 or -10.
int psf_width_stats(const PsfGridView& grid, double* values, double step, int count, int mode);
int psf_energy_stats(const PsfGridView& grid, double* values, double step, int count, int mode);
