// The MTF command and its listings: MTF against frequency (geometric, diffraction of one
// wavelength, diffraction of all wavelengths weighted) and MTF through focus at one frequency.
#pragma once

#include "tables/table_names.h"

inline constexpr int kParamMtfDirection = 643;

// Handler of kSlotMtf. Cells: kind (0 against frequency, 1 through focus), 0 one wavelength or
// 1 all, wavelength number (0 the diagram's reference wavelength), direction (0 x, 1 y),
// highest frequency F, step S, focus shift dz, through-focus frequency f, half-range d, step s.
int cmd_mtf();

// The listings against frequency with their arguments given; F or S 0 take the defaults.
// wave_number 0 is the reference wavelength; -1 (geometric only) all wavelengths.
int geometric_mtf_listing(int direction, int wave_number, double F, double S, double dz);
int diffraction_mtf_listing(int direction, int wave_number, double F, double S, double dz);
int polychromatic_mtf_listing(int direction, double F, double S, double dz);
int through_focus_mtf_listing(bool polychromatic, int wave_number, int direction, double f,
                              double d, double s);

// The same reading their arguments from the running command's cells, from cell 0:
// (direction, wavelength, F, S, dz), polychromatic (direction, F, S, dz), and through focus
// the command's own cells.
int geometric_mtf_report();
int diffraction_mtf_report();
int polychromatic_mtf_report();
int through_focus_mtf_report();

// The highest frequency the listings take when none is given: from the rms spot along the
// direction at dz, bounded by the cut-off C; then the step S (F / 10) when none is given.
void default_mtf_frequencies(int direction, double C, double dz, double& F, double& S);
