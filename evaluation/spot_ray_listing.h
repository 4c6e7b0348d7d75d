// The stored spot-diagram rays listed one line each, by wavelength, in five modes, and the
// position of a stored ray in the image plane at a focus shift, which the geometric energy and
// the spot plots use.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

// The ray's image-plane position at focus shift z: mode 0 from the centroid, 5 absolute, other
// modes from the reference ray; angles in an afocal lens.
void ray_offset_from_reference(int mode, std::int32_t ray, double& x, double& y, double z);

// One line per ray of index start .. end - 1 whose 1-based number lies in first .. last.
void print_spot_ray_lines(int mode, std::int32_t first, std::int32_t last, std::int32_t start,
                          std::int32_t end, double y, double x, double z);

// Handler: mode 0-4, centre option (-2: mode 2 takes the point as given), first and last ray
// numbers, y, x, focus shift.
int cmd_list_spot_rays();
