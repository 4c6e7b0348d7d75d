// The tolerances as the designer sees them: a value given (switch 1, or 2 held) as it stands,
// one not given as its default. The tolerance table, the tolerance sheets and the lens items of
// the tolerances all read them here, so that they show the same numbers.
#pragma once

#include <vector>

#include "lens/surface_tolerances.h"

// The element marks of the current lens, one per surface 0..image (the image never marked).
std::vector<int> lens_element_marks();

// Value k of the record is given by the designer (switch 1, or 2 held). False without a record.
bool tolerance_given(const SurfaceTolerances* t, int k);

// The record of surface s with every surface value (SPT to TBT) that is not given replaced by
// its default; the element values 12 to 17 are left as stored (element_tolerances_shown has
// them). The image and the object take no defaults: their values not given show 0. A surface
// without a record reads as a reset one.
SurfaceTolerances surface_tolerances_shown(int s, const int* marks);

// The element values of surface s. On the first surface of an element: CDX and CDY given or the
// element's default decentre, CCA and CCB given or its default tilt when the element takes one
// (neither tilt form given on it, no first-form tilt on its first or last surface), else 0. On
// any other surface the stored values.
struct ElementTolerancesShown {
    int mark = 0;                         // the surface's element mark
    int last = 0;                         // the element's last surface, on a first surface
    double values[kToleranceCount] = {};  // entries kTolCdx to kTolCcb
};
ElementTolerancesShown element_tolerances_shown(int s, const int* marks);

// The lens-item resolver of the tolerances: the address of value k of surface s when it is given
// or has no default, else a cell holding its default; null where it has neither (no record and
// no default, RNT and VNT in front of air, the element values off an element's first surface).
void* tolerance_item_shown(int s, int k);
