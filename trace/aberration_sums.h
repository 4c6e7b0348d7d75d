// The chromatic, third-order (Seidel and pupil) and fifth-order aberration contributions of
// one surface, accumulated while the paraxial trace walks the lens in listing mode, and the
// rows of the paraxial listings. Everything lives in the paraxial state.
#pragma once

#include "tables/table_names.h"

// Sets the row-print flag for the current surface (and separates elements by a blank line).
void paraxial_row_enabled();
// The contributions of the current surface: chromatic, and by the listing kind Seidel, pupil
// and fifth order.
void paraxial_aberrations();
void fifth_order_aberrations();
void aspheric_fifth_order();
// The fifth-order spherical summary term of the current surface (listing kind 7).
void fifth_order_spherical_summary();

// Row printers. The first-order row is printed for every surface; the aberration row of the
// current listing kind is the surface's row below the image surface and the sum row on it.
void print_first_order_row();
void print_aberration_row();
