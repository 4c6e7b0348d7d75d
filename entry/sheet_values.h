// The values behind the cells of the lens sheets: a lens datum named by the number of the
// lens-entry command that sets it and an index, the writer of the surface sheet's own number
// cells, the one-line summary of a surface's special data and the special-data choice list.
#pragma once

#include <cstddef>

inline constexpr int kSpecialDataNamesSize = 256;
inline constexpr int kParamSpecialDataChoices = 1092;

// The datum of field id `field` at `index` (a surface, a wavelength or an entry number); 0 for
// ids not known here and for records the surface lacks.
double get_lens_value(int field, int index);
// The surface sheet's own number cells (kFieldCurvature, kFieldRadius, kFieldThickness,
// kFieldAperture). 0.
int set_sheet_value(int field, int surface, double value);
// The names of the special data of surface s joined by "; " into text (size bytes, at most
// 256 used); the number of names written.
int special_data_type_name(int s, char* text, std::size_t size);
// Handler kSlotSpecialDataMenu: the special-data choice list of the current surface, built from a
// copy of the tabled list. 0.
int cmd_special_data_menu();
