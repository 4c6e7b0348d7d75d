// A line the user types while the grid edits a cell: the cell's entry, or a command for the
// current command level.
#pragma once

// The line as the cell's entry:
// - State flag 3 is set (a range is selected), or the cell has no value type: the line is
//   handed to the current level uncompiled: it is kept in the grid's handed_line and the run
//   state becomes 107.
// - A numeric cell while a command level is open: a line that begins with a command name or
//   does not compile as an expression is handed to the level in the same way.
// - A numeric cell: the line is one expression; an int cell takes only an int within -99..999
//   (narrower than 5) or -9999..99999, a double cell any number. A taken value is formatted
//   into the cell, the cell is marked changed (edited 1) and editing ends; a refused value
//   leaves the cell and its editing as they were, with result 0. An incomplete expression is
//   -76, shown as a compile error (-9999); a failure while evaluating is returned.
// - A text cell: leading blanks are skipped. A text beginning with '"' is stored without its
//   quotes (a closing one is optional); a cell of kind 0x1800 stores any text as typed; an empty
//   text empties the cell. Any other text that compiles as a command is handed to the level
//   (not run); one that does not compile is stored. A stored text longer than the cell is cut
//   to the width and the result is -115 (left pending for the caller to report, as a run's
//   failure is); it is stored, marked changed and editing ends all the same.
int run_cell_entry(const char* text);

// Makes the command language's top-level line runner hand the user's lines to run_cell_entry
// while grid_cell_in_edit() holds.
void install_grid_line_entry();
