#include "lens/listing_print.h"

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"

SurfaceRange surface_range_args() {
    const int image = lens_data().image_surface;
    const ArgCell* a = arg_cell(1);
    const ArgCell* b = arg_cell(2);
    const bool ints = a != nullptr && a->type == kArgInt && (b == nullptr || b->type == kArgInt);
    int first = ints ? a->value.i : 0;
    if (first <= 0 || first > image) return {0, image};
    int last = b != nullptr ? b->value.i : first;
    if (last < first) last = first;
    if (last > image) last = image;
    return {first, last};
}

bool surface_skipped(int n) {
    int w = 0;
    // Every step moves forward, so the walk ends.
    while (w < n) w = next_walk_surface(w);
    return w != n;
}
