// Which index arrays a ray takes at a surface. The surface's index array is the medium behind
// it for forward travel; for backward travel the medium behind is the one in front of the
// surface, the index array of the surface before it. The lens model keeps no secondary index
// arrays, so the second index pair of a ray stays empty.
#pragma once

#include "lens/lens_data.h"

inline const double* forward_index(const SurfaceRecord& s) {
    return s.index;
}

inline const double* backward_index(int n) {
    return surface(n >= 1 ? n - 1 : 0).index;
}

inline const double* secondary_index(const SurfaceRecord&) {
    return nullptr;
}
