// The drawing conditions as a spreadsheet: the values of the lens's DrawingConditions and one
// line per ray set, each cell carrying the number of the DL command that sets it. An edit runs
// that command (after the sheet's range checks); the sheet holds a revert copy of the lens, so
// that Cancel and Escape give the conditions back as they were.
#pragma once

#include "runtime/command_levels.h"

// The level procedure (the drawing dialog's conditions button and the sheet strip's first
// button push it).
int drawing_conditions_event(GridEvent& event);
// Writes the sheet into the level's output.
void drawing_conditions_layout();
// The ray-set rows in use (the level takes these and the 8 rows above them).
int drawing_conditions_rows();
// Pushes the sheet's level: 0 or the failure.
int open_drawing_conditions_sheet();
// A fresh run: no copy held, nothing shown.
void reset_drawing_conditions_sheet();
