// The element-tolerance spreadsheet: one row per surface with the element decentres and tilts,
// each cell carrying the element tolerance command that sets it (CDX ... CAB) and the surface as
// its index. The defaults of an element show on its first surface; the sheet holds a revert
// copy of the lens that Cancel and Escape read back.
#pragma once

#include "runtime/command_levels.h"

// Handler kSlotOpenElementToleranceSheet (command 817): pushes the sheet's level. 0, -10, or
// -2973 when the lens has no element (the sheet does not open).
int cmd_open_element_tolerance_sheet();
// The level's procedure.
int element_sheet_callback(GridEvent& event);
// Writes the sheet into the level's output.
void fill_element_sheet();
// A fresh run: no copy held.
void reset_element_tolerance_sheet();
