// Special apertures of a surface: ellipses, rectangles, triangles and quadrilaterals with an
// action (the ray must pass inside, is stopped inside, or passes the surface untouched inside)
// and a group number that combines entries into one aperture. Points are in the surface's
// local frame.
#pragma once

#include <cstdint>

#include "lens/lens_data.h"

// Results of check_special_apertures.
inline constexpr int kSpecialPass = 0;
inline constexpr int kSpecialUntouched = 1;   // inside an entry of kActionUntouched
inline constexpr int kSpecialObstructed = 2;  // the trace reports -2705
inline constexpr int kSpecialOutside = 4;     // the trace reports -2708

// Entry shapes and actions: SpecialApertureShape and SpecialApertureAction in lens_data.h.

// The action test of the trace: 0, 1, 2 or 4 (above). Ellipses and rectangles are widened by
// one part in a million of their size.
int check_special_apertures(int surface, double x, double y);
// 0 when the point lies on the surface (inside its clear apertures, unwidened), -1 when not;
// for rays that search which surface they meet.
int aperture_hit_test(int surface, double x, double y);
// 1 inside or on an edge of a triangle or quadrilateral, 0 outside; reads the entry's
// orientation byte.
int point_in_special_polygon(const SpecialAperture& entry, double x, double y);
// The orientation byte of a polygon entry, the one place it is computed (the lens set-up
// stores it; the trace only reads it): 1 when the first three vertices turn clockwise with x
// to the right and y up, 0 otherwise and for shapes other than triangles and quadrilaterals.
std::uint8_t special_aperture_orientation(const SpecialAperture& entry);
