// Row writers of the listings of pickups, solves, apertures and the special data a surface
// carries: each is called by the listing driver once per surface of the range with the shared
// row state, prints its title on the first row, and its none message on the last row when no
// surface had anything to show.
#pragma once

inline constexpr int kListPickups = 240;
inline constexpr int kListSolves = 241;
inline constexpr int kListApertures = 242;
inline constexpr int kListSplines = 247;
inline constexpr int kListMeshes = 251;
inline constexpr int kListPerfectLenses = 252;
inline constexpr int kListNotes = 254;

void list_row_pickups();
void list_row_solves();
void list_row_apertures();
void list_row_spline();
void list_row_mesh();
void list_row_perfect_lens();
void list_row_note();
