// The point-spread function report: encircled or ensquared energy of the FFT PSF about its
// centroid, the intensity moments of the image, and the peak with its widths at half maximum
// and at 1/e^2.
#pragma once

#include "tables/table_names.h"

inline constexpr int kMaxPsfRows = 10000;

// Handler of kSlotPsfReport. Cells: polychromatic (1), wavelength number (0 the reference ray's),
// grid size, pupil sampling, window, 0 size against energy / else energy against size, energy
// step, size step (lens units, 0 automatic), rows.
int cmd_psf_report();

// Moments over the window about the centroid, in cells: centroid, mean absolute deviation,
// variance, third and fourth moment (x and y each).
struct PsfMoments {
    double centroid = 0, mean_abs = 0, variance = 0, third = 0, fourth = 0;
};
void psf_moments(double* const* grid, PsfMoments* x, PsfMoments* y, int n, int window);

struct PsfPeak {
    double x = 0, y = 0, value = 0;  // position in lens units from the centre
    double half_x = 0, half_y = 0;   // full widths at half maximum
    double e2_x = 0, e2_y = 0;       // full widths at 1/e^2 of the peak
};
void psf_peak_widths(double* const* grid, double spacing, int n, int window, PsfPeak* peak);

// The fraction from the near sample at which the parabola through y0, y1, y2 (at 0, 1, 2)
// reaches level inside the crossing segment (segment 0: [0, 1], near sample at 0; segment 1:
// [1, 2], near sample at 1); linear when the parabola gives none.
double interpolate_crossing(double y0, double y1, double y2, double level, int segment,
                            double linear);
