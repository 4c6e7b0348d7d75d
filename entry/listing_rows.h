// Row writers of the listings of pickups, solves, apertures and the special data a surface
// carries: each is called by the listing driver once per surface of the range with the shared
// row state, prints its title on the first row, and its none message on the last row when no
// surface had anything to show.
#pragma once

#include "tables/table_names.h"

void list_row_pickups();
void list_row_solves();
void list_row_apertures();
void list_row_spline();
void list_row_mesh();
void list_row_perfect_lens();
void list_row_note();
void list_row_conic();
void list_row_decentre();
void list_row_surface_flags();
void list_row_medium_values();
// Mode 0 prints a tag for each kind of special data a surface has; mode 1 prints nothing and
// only notes which listing kinds have something to show.
void list_row_special_summary(int mode);
void clear_special_occurrences();
bool special_kind_occurs(int kind);
void list_row_asphere();
void list_row_diffractive();
void list_row_hologram();
void list_row_grin();
