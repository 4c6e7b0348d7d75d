// The surface-tolerance spreadsheet: a command level with one row per surface, each editable
// cell carrying the tolerance command that sets it (THT, SPT ...) and the surface as its index,
// so that an edit runs the same command a designer would type. The sheet holds a revert copy of
// the lens: Cancel and Escape give the tolerances back as they were.
#pragma once

#include <vector>

#include "lens/surface_tolerances.h"
#include "runtime/command_levels.h"

// Handler kSlotOpenToleranceSheet (command 815): pushes the sheet's level. 0 or the failure.
int cmd_open_tolerance_sheet();
// The level's procedure.
int tolerance_sheet_callback(GridEvent& event);
// Writes the sheet into the level's output.
void fill_tolerance_sheet();
// The records copied by the sheet's row copy, for tests.
const std::vector<SurfaceTolerances>& tolerance_sheet_clipboard();
// A fresh run: no copy held, nothing copied.
void reset_tolerance_sheet();

// What both tolerance sheets share. The tolerance value that tolerance command `command` (THT
// to CAB) sets, or -1 for any other number.
int tolerance_value_of_command(int command);
// Runs the tolerance command with the value at surface s in update mode (the keyword and the
// number, as a designer would type it): the value becomes given (switch 1) and its result is
// cleared. The command's result.
int run_tolerance_command(int command, int s, double value);
// Event 3 of a tolerance cell: the value in the edit text and the status of its switch (given,
// held or a default).
void tolerance_cell_status(GridEvent& event, double value, int switch_value);
