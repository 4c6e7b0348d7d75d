// The tolerances a surface carries when the designer has given none: by the diameter class of
// its clear aperture, and for an element from the curvatures and apertures of its surfaces.
#pragma once

#include "optimise/lens_elements.h"

// Surface s changes no ray: the same index on both sides and no data that bends or moves one.
bool surface_is_inert(int s);

// Fills every value of surface s whose switch is 0 with its default. marks[j] is the element
// mark of surface j (at least image-index entries). The record must exist.
void apply_default_tolerances(int s, const int* marks);

// The element defaults of the element from surface first to surface last: the decentre in lens
// units, the tilt in the lens's tolerance angle unit.
double default_element_decentre(int first, int last);
double default_element_tilt(int first, int last);

// The radii a surface of radius r takes when its power is off by n fringes at the tolerance test
// wavelength over a test diameter d (all in lens units; r 0 for a plane).
struct FringeRadii {
    double plus;
    double minus;
};
FringeRadii fringe_radii(double n, double r, double d);
