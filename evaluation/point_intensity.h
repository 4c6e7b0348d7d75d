// The diffraction intensity at an image point straight from the spot-diagram rays: each ray
// adds a phasor of its amplitude with the phase of its wavefront error about a reference sphere
// centred on the point, so that an aberration-free pupil gives 1 at its focus. On top of it the
// intensity command and the diffraction encircled energy.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

// The first stored ray of wavelength w (the rays are grouped by wavelength, in order).
std::int32_t spot_first_ray(int w);

// Intensity of wavelength wave at the offsets (x, y) from the reference ray's image point and
// focus shift z; norm = (sum of amplitudes)^2; phase in radians in [-pi, pi] when asked, else 0.
double ray_phasor_sum(int wave, bool want_phase, double x, double y, double z, double& norm,
                      double& phase);
// Intensity of one wavelength, or of all weighted ones when wave is at or above the store's
// wavelength capacity (phase 0 then).
double intensity_at_point(int wave, bool want_phase, double x, double y, double z, double& phase);

// The diffraction image of wavelength index wave at focus shift z, sampled on an n x n grid of
// the given width about the centre: centre_mode 0 the best-fit point (x0, y0) given, 1 the
// reference ray's point (x0, y0), 2 the intensity centroid.
struct DiffractionSampling {
    int centre_mode = 0;
    double width = 0.0;
    int n = 0;
    int wave = 0;
    double x0 = 0.0;
    double y0 = 0.0;
    double z = 0.0;
};

// Encircled energy of the sampled image: printed, or the n/2 + 1 cumulative fractions written
// to out. 0 or -10.
int diffraction_encircled_energy(bool print, const DiffractionSampling& sampling, double* out);

// The wavelength a command asks for by its all-wavelengths switch and wavelength number (0 the
// reference wavelength): the store index, or the store's wavelength capacity for all; -9998
// with the message formatted when the numbered wavelength is outside the lens or has no rays.
int spot_command_wavelength(int all, int number, int& wave);

// Handlers: reference, all wavelengths, wavelength number, y, x, focus.
int cmd_point_intensity();
// Centre mode, all wavelengths, wavelength number, width, grid, focus.
int cmd_diffraction_encircled_energy();
