// What the analysis plots (reports/) read of the image evaluation: the spot diagram brought up
// to date with its store and statistics, the best-fit reference point, the diffraction
// intensity at an image point, the FFT point-spread function with its statistics, and the
// line- and edge-spread sections. The one header of evaluation/ that reports/ includes.
#pragma once

#include "evaluation/geometric_energy.h"  // encircled_energy_curve
#include "evaluation/mtf_curves.h"        // the MTF scans and the through-focus loop
#include "evaluation/mtf_shared.h"        // IdealPupilScope, reference_aperture_slope
#include "evaluation/point_intensity.h"   // intensity_at_point, spot_command_wavelength
#include "evaluation/psf.h"               // fft_grid_size, compute_psf, psf statistics
#include "evaluation/sections.h"          // spot_section_curves, psf_section_curves
#include "evaluation/spot_ray_listing.h"  // ray_offset_from_reference
#include "evaluation/spot_rays.h"         // ensure_spot_diagram
#include "evaluation/spot_statistics.h"   // spot_stats, spot_reference_offset
#include "evaluation/spot_store.h"        // spot_store: Airy radii, rays per wavelength
