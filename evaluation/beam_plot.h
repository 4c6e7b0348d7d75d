// The Gaussian beam of the sheet drawn along the lens (the axis, each surface as a line, the
// envelope +-w(z) through every gap), and in graphics window 7 a probe: a slider moves a marker
// along the axis and shows the beam radius there.
#pragma once

#include "tables/table_names.h"

inline constexpr int kBeamProbeSlider = 871;

// Draws into the current graphics window; the spot sizes at the start surface of the first and
// the second beam (0 with one beam). 0 or -10; 0 without drawing when no graphics device is
// ready.
int plot_gaussian_beam(double& spot1, double& spot2);
// The probe after a plot in window 7: 0 or the slider's failure.
int plot_beam_position(double spot1, double spot2);
// The slider's routine: the marker and label at axial position x. 0 or graphwin_open's failure.
int beam_position_changed(int index, int id, double x);
// The beam radii at axial position x (0 for the second with one beam); both 0 while the plot's
// arrays are missing or belong to another lens.
int beam_radius_at(double x, double& w1, double& w2);
