// Turning a range of surfaces round end for end, as if its elements were taken out, turned and
// put back, and mirroring a range in place.
#pragma once

#include "tables/table_names.h"

// Whether a..b may be reversed; else the message and the offending surface (-1 when none).
bool check_reverse_range(int a, int b, int* message, int* surface_out);
// Reverses the records of a..b (checked first by check_reverse_range).
void reverse_surface_range(int a, int b);
// Re-expands the gradient-index media behind a..b-1 about their other end.
void flip_grin_range(int a, int b);
// Mirrors a..b in place: curvatures, aspheric and spline terms and thicknesses change sign.
void negate_surface_range(int a, int b);

int cmd_reverse_surfaces();      // kSlotReverseSurfaces
int cmd_negate_surface_range();  // kSlotNegateSurfaceRange
