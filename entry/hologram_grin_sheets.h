// The hologram sheet of the current surface (the order, the construction wavelength and the two
// construction points, each virtual or real) and the gradient-index sheet of the medium after it
// (its step and per-wavelength coefficients, or the 28 coefficients of the general kind).
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kFieldHologramDelete = 901;
inline constexpr int kHologramRevertCopy = -1176;
inline constexpr int kHologramRows = 14;
inline constexpr int kFieldGrinDelete = 910;
inline constexpr int kGrinRevertCopy = -1184;

struct HologramGrinSheetsState {
    SheetKit hologram{kHologramRevertCopy};
    SheetKit grin{kGrinRevertCopy};
};
HologramGrinSheetsState& hologram_grin_sheets_state();
void reset_hologram_grin_sheets();

int hologram_sheet_event(GridEvent& event);
void print_hologram_sheet();

// Choices 35 to 46: the medium of the choice's kind made when the surface has none (a medium of
// another kind is opened as it is). 0 or a failure of the record or the set-up.
int open_grin_sheet(int choice);
int grin_sheet_rows(int kind, int count, int wavelengths);
int grin_sheet_event(GridEvent& event);
void print_grin_sheet();
