// The spot diagram reduced to the numbers every report and analysis uses: the weighted moments
// of the spot as functions of focus shift, the per-wavelength sums of the reference-sphere fit
// and their normal equations, the Airy radius, pupil extents and cut-off frequencies per
// wavelength, and the wavefront error of the reference wavelength.
#pragma once

// Weighted moments of the stored rays (weight amplitude^2), after normalisation.
struct SpotStats {
    double mean_y;    // S0
    double mean_ty;   // S1
    double mean_x;    // S2, 0 with the half pupil
    double mean_tx;   // S3, 0 with the half pupil
    double var_x;     // S4
    double cov_x_tx;  // S5
    double var_tx;    // S6
    double var_y;     // S7
    double cov_y_ty;  // S8
    double var_ty;    // S9
    double weight;    // S10, the sum of the weights
};

SpotStats& spot_stats();

// Fills the statistics from the stored rays; prints only the multiple-configuration warning.
void spot_statistics();

// Lateral fit of the reference point for wavelength wave (all wavelengths when wave is at or
// above the store's wavelength capacity) at focus shift z. Offsets below 1e-10 become 0.
void spot_reference_offset(int wave, double& y, double& x, double z);
// Fit of the reference point with its focus shift; a singular system gives 0, 0, 0 and shows
// message -2041.
void spot_reference_point_3d(int wave, double& y, double& x, double& z);
// Sets the reference point by mode (0, 1, kZernikeReferenceFitted, kZernikeReferenceLateral:
// lateral fit at z; 2, kZernikeReferenceBestFocus: fit with focus; other modes leave them) and
// prints the mode's line and the multiple-configuration warning.
void select_reference_sphere(int mode, int wave, double& y, double& x, double& z);

// The image-space index of wavelength w of the current reference ray.
double spot_image_index(int w);
