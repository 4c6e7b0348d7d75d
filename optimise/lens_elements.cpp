#include "optimise/lens_elements.h"

#include <cmath>

#include "lens/lens_data.h"

namespace {

bool is_air(int s) {
    const SurfaceRecord& r = surface(s);
    const double n = r.index != nullptr ? r.index[0] : 1.0;
    return std::fabs(n - 1.0) < 1e-40;
}

}  // namespace

int find_lens_elements(int* marks, int count) {
    for (int j = 0; j < count; ++j) marks[j] = kElementNone;
    if (count < 2) return 0;
    int elements = 0;
    bool inside = false;
    int last_end = 0;
    for (int s = 1; s < count; ++s) {
        const bool before_air = is_air(s - 1);
        const bool after_air = is_air(s);
        if (before_air && !after_air) {
            marks[s] = kElementFirst;
            inside = true;
        } else if (!before_air && after_air) {
            if (inside) {
                marks[s] = kElementLast;
                inside = false;
                last_end = s;
                ++elements;
            }
        } else if (inside) {
            marks[s] = kElementInside;
        }
    }
    if (inside) {
        for (int j = count - 1; j > last_end; --j) marks[j] = kElementNone;
    }
    return elements;
}
