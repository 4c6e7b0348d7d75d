// Coupling efficiency of the light focused at the current field point into a receiving mode in
// the image: a Gaussian beam waist or the fundamental mode of a step-index fibre. The complex
// image field (FFT of the pupil function, referred to the image plane) is overlapped with the
// mode field on the same grid.
#pragma once

#include "tables/table_names.h"

// Handler of kSlotCouplingEfficiency. Cells: wavelength number, mode (0 Gaussian, 1 fibre), waist
// radius, core index, cladding index, core radius, (unused), grid size, pupil sampling, y and x
// offsets of the mode, its two tilt angles in degrees.
int cmd_coupling_efficiency();
// Handler of kSlotCouplingEfficiencyShort: the same without the unused cell, run as the full
// command.
int cmd_coupling_efficiency_short();

// The image field of wavelength wave on an n x n grid from m pupil samples, referred to the
// image plane: work holds n x n complex pairs; spacing gets the cell spacing. 0, -10 or -2067.
int psf_complex_field(double* work, double* spacing, int wave, int n, int m, double* amplitude_sum);

// The normalised overlap sum a conj(b) / sqrt(sum |a|^2 sum |b|^2) over every cell but the
// first row and column; real and imaginary parts.
void mode_overlap(double overlap[2], const double* a, const double* b, int n);

// Mode fields on the grid of spacing s about the offsets (lens units); tilts in degrees.
void gaussian_mode_field(double* field, int n, double spacing, double waist, double y_offset,
                         double x_offset, double tilt1, double tilt2, double wave_number);
void fibre_mode_field(double* field, int n, double spacing, double core_index,
                      double cladding_index, double core_radius, double lambda_um, double y_offset,
                      double x_offset, double tilt1, double tilt2, double wave_number);
