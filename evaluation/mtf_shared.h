// What the MTF methods share: the module state (the ideal-pupil switch, the zero-frequency
// slopes, the MTF-current flag), the wavefront of a ray at a shifted reference point, the
// cut-off the computation uses, the slopes of the OTF at frequency 0, the sort of three
// parallel arrays, spline values on a uniform knot spacing, and the listing's rows.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

struct SpotRay;

// Refusals of our own.
inline constexpr int kMaxMtfSteps = 10000;

// While set, every optical path difference counts as 0: the aberration-free MTF of the same
// pupil (the ideal column).
bool& mtf_ideal_pupil();

// Sets mtf_ideal_pupil for a scope and puts its old value back on every exit.
class IdealPupilScope {
public:
    IdealPupilScope() : saved_(mtf_ideal_pupil()) { mtf_ideal_pupil() = true; }
    ~IdealPupilScope() { mtf_ideal_pupil() = saved_; }
    IdealPupilScope(const IdealPupilScope&) = delete;
    IdealPupilScope& operator=(const IdealPupilScope&) = delete;

private:
    bool saved_;
};

// Slopes of the real and imaginary parts of one wavelength's OTF at frequency 0, left by a
// diffraction method in mode 2 for the polychromatic combination.
struct MtfSlopesAtZero {
    double real = 0;
    double imaginary = 0;
};
MtfSlopesAtZero& mtf_slopes_at_zero();

// Set when an MTF listing has been made from the current spot diagram; the spot statistics
// clear it, so that anything kept from an MTF is known to be stale.
std::uint8_t& mtf_current();

// n = floor(F/S + 0.5) formed in double: 0 with n set, kMsgMtfBadFrequencies for a step or
// highest frequency that is not a positive finite number (F 0 is allowed: one row), or
// kMsgMtfTooManySteps above kMaxMtfSteps.
int mtf_step_count(double F, double S, int& n);

// The wavefront of a ray with the reference point moved by (shift x, shift y) laterally and dz
// along the axis, in lens units; 0 for every ray while mtf_ideal_pupil is set.
class ShiftedWavefront {
public:
    ShiftedWavefront(int wave, double shift_x, double shift_y, double dz);
    double at(const SpotRay& r) const;
    // The reference-sphere curvature of the shifted point (the focus option with a curvature
    // change), which scales the cut-off; 0 otherwise.
    double cutoff_scale() const { return cutoff_scale_; }
    double shift_x() const { return dx_; }
    double shift_y() const { return dy_; }

private:
    bool ideal_;
    bool afocal_;
    bool sphere_;
    double n_;
    double dx_, dy_, dz_;
    double rho_ = 0, q_ = 0;
    double cutoff_scale_ = 0;
};

// The cut-off of wavelength wave along direction (0 x, 1 y), tilted by the image surface's
// normal at the shifted image point and scaled by the reference-sphere curvature.
double mtf_adjusted_cutoff(int direction, int wave, const ShiftedWavefront& wavefront);

// Whether any surface carries special data beyond plain special apertures, which makes the
// zero-frequency slope numeric and the resampled amplitudes splined.
bool mtf_lens_has_special_data();
// Whether the lens's special apertures keep the analytic zero-frequency slope: at most one per
// surface, with the default action, and no further special data.
bool mtf_apertures_keep_slope();

// Slopes at frequency 0 of the real and imaginary OTF of wavelength wave from the rays
// first..end-1; g the lattice stride of one grid step, index the image-space index.
void mtf_zero_slopes(int direction, int wave, std::int32_t first, std::int32_t end, double g,
                     double index, double shift_x, double shift_y, double dz, double& real_slope,
                     double& imaginary_slope);

// The one-sided numeric derivative stencil over the first samples r[0..count-1] (count 1..4+).
double mtf_numeric_slope_stencil(const double* r, int count);

// Sorts three parallel arrays of n entries by ascending keys. 0 or -10.
int sort_three_by_key(double* keys, double* second, double* third, int n);

// The cubic spline on knots spaced h, on interval i at offset t from its start.
double spline_value(int i, double t, double h, const double* y, const double* m);

// Whole degrees of the phase of a path difference dw at P degrees per lens unit, 0..359.
int mtf_whole_degrees(double dw, double P);

// Phase in degrees with the small-value rule: 0 when both parts are 0 or below 1e-10.
double mtf_phase_degrees(double im, double re);

// One listing row: number j + 1, frequency, modulus, phase, then the ideal modulus.
void mtf_print_row(int j, double frequency, double modulus, double phase, double ideal);
// Point j of a curve at frequency j x S, its transfer re + i im, as the mode asks: 0 the modulus
// into first, 2 the real and imaginary parts into first and second, 3 the modulus and the phase,
// 1 a listing row with the ideal modulus (read only in that mode).
void mtf_curve_point(int mode, int j, double S, double re, double im, double ideal, double* first,
                     double* second);
// The closing lines: the cut-off, and the focus shift when not 0.
void mtf_print_cutoff(double cutoff, double dz);

// The first stored ray of wavelength w.
std::int32_t mtf_first_ray(int w);
// Millimetres per lens unit (1 when the lens has none).
double mtf_unit_factor();

// The image-space aperture of the reference ray: the mean of d(M/N)/d(pupil y) and
// d(L/N)/d(pupil x) from its derivative records, in magnitude; the lens's paraxial image slope
// when that is not between 1e-40 and 1e40, and 1 when neither is.
double reference_aperture_slope();
