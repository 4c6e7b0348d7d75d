// What every lens listing shares: the warning of a configuration other than the base one
// (warn_multiple_configurations, beside the number printers), the surface range a listing
// command names, and the surfaces a walk through the lens passes over without landing on them.
#pragma once

#include "lens/lens_echo.h"

// The range of a listing command from its argument cells 1 and 2: a first surface of 0 (or a
// cell that is no integer) means all surfaces 0..image; the last is at least the first and at
// most the image surface.
struct SurfaceRange {
    int first;
    int last;
};
SurfaceRange surface_range_args();

// Whether the walk from surface 0 along the lens (skip links forward only, a non-sequential
// group as one step) passes over surface n without landing on it.
bool surface_skipped(int n);
