// Aberrations against the field or the pupil: astigmatism (761: the sagittal and tangential
// field curves), distortion in percent (762), lateral colour of the first three wavelengths
// (763) and the longitudinal aberration on axis (764). Values run across, the field or pupil
// fraction from 0 to 1 upward.
#pragma once

#include <vector>

// The curves of a field plot: n points from 0 by step; one row per wavelength shown (763: the
// differences wavelength 2 - 3 and 2 - 1), and for astigmatism the tangential focus in rows and
// the sagittal one in second_rows (along the axis from the image surface).
struct FieldCurves {
    int command = 0;
    int n = 0;
    double step = 0.0;
    std::vector<int> waves;
    std::vector<std::vector<double>> rows, second_rows;
    bool failed_rays = false;  // some points are 0 because their ray failed
};

// Traces the curves of command 761 to 764 for a wavelength selection (0 current, 1 the first
// three, else all). 0, -10, -2013, -9998 with -1851 for lateral colour with fewer than three
// wavelengths, or the axial reference ray's failure.
int compute_field_curves(int command, int selection, FieldCurves& out);

// The page, title block and graph of a field plot.
void draw_field_plot_frame(int command, int selection);

// The ideal image height (or, in the angular form, the ideal tangent) of field fraction f at
// wavelength index w: the fraction of the paraxial chief ray's image height at full field.
double ideal_image_height(double f, int w, bool angular);

// Handlers of slots 185 to 188: wavelengths (not 763) and scale.
int cmd_plot_astigmatism();
int cmd_plot_distortion();
int cmd_plot_lateral_color();
int cmd_plot_longitudinal_aberration();
