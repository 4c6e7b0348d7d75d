// The MTF curve loops: the geometric MTF of the spot's intercepts, the dispatcher to the
// diffraction method, the weighted combination of all wavelengths and the through-focus loop.
// Modes (the arrays hold n + 1 entries, n = floor(F/S + 0.5)): 0 the modulus in first, with
// the slope at frequency 0 in second[0] (diffraction only); 1 print the listing rows; 2 real
// and imaginary parts (diffraction only); 3 modulus and phase in degrees.
#pragma once

// The geometric MTF of wavelength index wave, or of all stored rays for -1. 0, -10 or a
// refusal (no weight, bad frequencies).
int mtf_frequency_scan(int mode, int direction, int wave, double F, double S, double dz,
                       double* first, double* second);

// The diffraction MTF of one wavelength by the method the setting chooses.
int mtf_at_frequency(int mode, int direction, int wave, double F, double S, double shift_y,
                     double shift_x, double dz, double* first, double* second, double* cutoff_out);

// The diffraction MTF of all wavelengths with rays and weight, weighted. Its own failures and
// those of a wavelength go into the error buffer: -9998.
int mtf_polychromatic(int mode, int direction, double F, double S, double shift_y, double shift_x,
                      double dz, double* first, double* second, double* cutoff_out);

// The MTF at frequency f at focus shifts -d, -d + s, ... (floor(2d/s + 0.5) + 1 of them):
// printed, or the moduli written to out. Geometric or diffraction, one wavelength or all
// (polychromatic). Stops at the first failing step and returns its status.
int through_focus_mtf(bool print, bool polychromatic, bool diffraction, int direction, int wave,
                      double f, double d, double s, double* out);
// The number of focus steps, formed in double; 0 or a refusal.
int through_focus_step_count(double d, double s, int& m);
