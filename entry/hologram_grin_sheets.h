// The hologram sheet of the current surface: the order, the construction wavelength and the two
// construction points, each virtual or real.
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kFieldHologramDelete = 901;
inline constexpr int kHologramRevertCopy = -1176;
inline constexpr int kHologramRows = 14;

struct HologramGrinSheetsState {
    SheetKit hologram{kHologramRevertCopy};
};
HologramGrinSheetsState& hologram_grin_sheets_state();
void reset_hologram_grin_sheets();

int hologram_sheet_event(GridEvent& event);
void print_hologram_sheet();
