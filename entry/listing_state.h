// The row state the listing driver shares with the row writers of every listing kind: which
// surface the row is for, whether it is the first or last row, and whether anything was printed.
#pragma once

#include "tables/table_names.h"

struct SurfaceRecord;

struct ListingState {
    int first_row = 0;
    int surface_index = 0;
    int last_row = 0;
    int mode_word = kCmdListRadii;  // 237 or 238 survives between runs
    int nothing_printed = 0;
    SurfaceRecord* surface = nullptr;
};
ListingState& listing_state();

// The row head: the surface index as "%3d   "; something was printed.
void list_surface_number();
