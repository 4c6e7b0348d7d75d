// The chief ray of a field point for the field curves and the wavefront plots: aimed at the
// centre of the reference surface (or the aperture stop) and traced to the image with its two
// close-ray focus distances.
#pragma once

#include "trace/ray_record.h"

// The ray's fractional object coordinates and wavelength are set by the caller. The pupil
// fractions are corrected from the ray's derivatives until it meets the reference surface (the
// aperture stop when aim is set) at its centre (chief set) or at the stored field point's pupil
// pair, to 1e-8, in at most 31 corrections (-2707 when that is reached); the ray is then traced
// to the image as a kind 0 ray, so that dtan_y holds the focus distance of the pupil-x
// neighbours and sphere_path that of the pupil-y neighbours (along the ray from the image
// point; dioptres for an afocal lens). A failure clears the position, the focus distances and
// the pupil fractions. Clears the reference-ray-current flag.
void trace_field_ray(RayRecord& ray, bool aim, bool chief);
