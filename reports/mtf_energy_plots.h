// The curves of the spot diagram in the energy and MTF frame: the radial energy distribution
// (geometric from the rays, or from the diffraction image), the geometric ensquared energy, and
// the MTF against frequency or through focus with the diffraction-limited curve.
#pragma once

// Handler of 765, 766 and 767: 0 or a message number.
int cmd_plot_mtf_energy();

// Computes and draws the curves of the running command with plot scale `scale`; dval is the
// focus shift, or the frequency of the through-focus MTF. 0, -10, -1907, -1943, -9998 or the
// failure of an evaluation or of the curve.
int draw_energy_mtf_curves(double scale, double dval);
