// The element drawing's sheets: the element sheet (the element beginning at a surface, with a
// revert copy of the lens; leaving it normally draws the element), the sheet of one side, and
// the sheet of the lens's element-drawing defaults. Each cell carries the number of the element
// command that sets it and the argument it is; an edit runs that command with the element's
// first surface current.
#pragma once

#include "runtime/command_levels.h"

// Opens the element sheet of the element that begins at surface n: 0 or the refusal (no such
// surface, no element begins there, the record cannot be made).
int open_element_sheet(int n);
// Handlers of element_sheet (the surface in argument 0) and element_defaults_sheet.
int cmd_open_element_sheet();
int cmd_open_element_defaults_sheet();

// The level procedures.
int element_sheet_event(GridEvent& event);
int side_sheet_event(GridEvent& event);
int element_defaults_event(GridEvent& event);

// Sheet sizes (rows).
inline constexpr int kElementSheetRows = 12;
inline constexpr int kSideSheetRows = 18;
inline constexpr int kElementDefaultsRows = 13;

// Buttons of the element sheet.
inline constexpr int kElementButtonLeft = 11;
inline constexpr int kElementButtonRight = 12;
inline constexpr int kElementButtonDelete = 17;
inline constexpr int kElementButtonDefaults = 19;

// A fresh run: no sheet open, no copy held.
void reset_element_sheets();
void install_element_sheets();
