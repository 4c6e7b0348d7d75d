// The MTF curve loops: the geometric MTF of the spot's intercepts, the dispatcher to the
// diffraction method, the weighted combination of all wavelengths and the through-focus loop.
// Modes (the arrays hold n + 1 entries, n = floor(F/S + 0.5)): 0 the modulus in first, with
// the slope at frequency 0 in second[0] (diffraction only); 1 print the listing rows; 2 real
// and imaginary parts (diffraction only); 3 modulus and phase in degrees.
#pragma once

// The modes above by name.
enum MtfMode : int {
    kMtfModeModulus = 0,
    kMtfModeListing = 1,
    kMtfModeParts = 2,
    kMtfModeModulusPhase = 3,
};

// One MTF computation: the mode (above); direction 0 along x, 1 along y; the wavelength index
// (not read by mtf_polychromatic); F the highest frequency and S its step; the reference point
// shifted by shift_y and shift_x; the focus shifted by dz. Fields not named are 0.
struct MtfRequest {
    int mode = kMtfModeModulus;
    int direction = 0;
    int wave = 0;
    double F = 0.0;
    double S = 0.0;
    double shift_y = 0.0;
    double shift_x = 0.0;
    double dz = 0.0;
};

// The request of the ideal-pupil column of a mode-1 listing: mode 0 about the unshifted
// reference point, at the same frequencies and focus.
inline MtfRequest ideal_column_request(const MtfRequest& q) {
    return {.mode = kMtfModeModulus,
            .direction = q.direction,
            .wave = q.wave,
            .F = q.F,
            .S = q.S,
            .dz = q.dz};
}

// The geometric MTF of wavelength index wave, or of all stored rays for -1; the reference point
// is not shifted. 0, -10 or a refusal (no weight, bad frequencies).
int mtf_frequency_scan(const MtfRequest& request, double* first, double* second);

// The diffraction MTF of one wavelength by the method the setting chooses.
int mtf_at_frequency(const MtfRequest& request, double* first, double* second, double* cutoff_out);

// The diffraction MTF of all wavelengths with rays and weight, weighted. Its own failures and
// those of a wavelength go into the error buffer: -9998.
int mtf_polychromatic(const MtfRequest& request, double* first, double* second, double* cutoff_out);

// The MTF at frequency f at focus shifts -d, -d + s, ... (floor(2d/s + 0.5) + 1 of them):
// printed, or the moduli written to out. Geometric or diffraction, one wavelength or all
// (polychromatic). Stops at the first failing step and returns its status.
int through_focus_mtf(bool print, bool polychromatic, bool diffraction, int direction, int wave,
                      double f, double d, double s, double* out);
// The number of focus steps, formed in double; 0 or a refusal.
int through_focus_step_count(double d, double s, int& m);
