// The two sheets behind the surface sheet's medium button: the glass list, every glass of one
// catalogue in catalogue order or sorted by index or dispersion, whose chosen glass becomes the
// current surface's medium; and the table glass, a medium given by one index per lens
// wavelength.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kGlassSortCatalogue = 0;
inline constexpr int kGlassSortIndex = 1;
inline constexpr int kGlassSortDispersion = 2;

// Cells of the glass list.
inline constexpr int kFieldGlassCell = 540;  // index: the glass's position in its catalogue
inline constexpr int kGlassCellCode = 0x5000 | kFieldGlassCell;
inline constexpr int kFieldSortCatalogue = 581;
inline constexpr int kFieldSortIndex = 582;
inline constexpr int kFieldSortDispersion = 583;
inline constexpr int kFieldRecompute = 584;
// Cells of the table glass: its name (index: the surface) and its index at wavelength k + 1.
inline constexpr int kFieldTableGlassName = 906;
inline constexpr int kFieldTableGlassIndex = 907;

inline constexpr int kParamTableGlassName = 486;

struct GlassSheetsState {
    // The glass list.
    int catalogue = 0;
    int count = 0;
    std::vector<std::int16_t> order;
    int sort_mode = kGlassSortCatalogue;  // kept between openings
    int selection = -1;                   // the glass chosen by a cell, -1 none
    int surface = 0;
    SheetKit list_kit{};
    // The table glass.
    int table_surface = 0;
    // A name another surface's table glass has: taken only on accepting, after a question.
    std::string pending_name;
    SheetKit table_kit{kMsgTableGlassRevertCopy};
};
GlassSheetsState& glass_sheets_state();
void reset_glass_sheets();

// Opens the glass list of catalogue 0..7 for the current surface: 0, or -9998 with the reason
// (an unloaded or empty catalogue) in the error buffer.
int open_glass_list(int catalogue);
// Opens the table-glass sheet of the current surface.
int open_table_glass();

int glass_list_event(GridEvent& event);
int table_glass_event(GridEvent& event);
void write_glass_list();
void write_table_glass();

// The sort value of a glass of a catalogue: its index, or in mode 2 its Abbe number.
double glass_sort_value(int glass, int catalogue, int mode);
