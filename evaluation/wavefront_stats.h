// Peak-to-valley and rms wavefront error of the spot-diagram rays about a reference sphere
// whose centre is fitted laterally, fitted with focus, or given; one wavelength or all weighted.
// Each report also gives the diffraction intensity at the reference point.
#pragma once

// One wavelength: prints the report line. Modes as select_reference_sphere's.
void wavefront_stats(int mode, int wave, double y, double x, double z);
// All wavelengths: prints the report line (no P-V).
void wavefront_stats_poly(int mode, double y, double x, double z);

// Handlers: mode, wavelength number (0 the reference wavelength), y, x, focus; and mode, y, x,
// focus for all wavelengths.
int cmd_wavefront_stats();
int cmd_wavefront_stats_poly();
