// The command handlers of the lens structure: a new lens under a file name (and the new text of
// the edit window), and inserting, deleting and stepping to surfaces.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdDeleteSurfacesShort = kCmdDelL;
inline constexpr int kCmdInsertSurfaceShort = kCmdInsL;
// The surface spreadsheet's own command, which opens it on the current lens.
inline constexpr int kCmdOpenSurfaceSheet = kCmdSurfaceSheet;

// What the new-lens command needs of the surface spreadsheet, of the revert copies of the lens
// and of the ray trace's stored object point. Those parts install their functions here. A null
// entry means: the spreadsheet is not in its new-lens mode (new_lens_mode), there is no object
// point to reset (reset_object_point); the others are only called in the new-lens mode.
struct NewLensSheetHooks {
    bool (*new_lens_mode)();
    // The spreadsheet gives the lens up: its state words cleared, graphics window 9 closed and
    // the element drawings of surfaces that no longer start an element dropped.
    void (*leave_for_new_lens)();
    // The revert copies named by a message: 0 or the failure.
    int (*save_revert_copy)(int name_message);
    int (*read_revert_copy)(int name_message);
    void (*delete_revert_copy)(int name_message);
    // The first-order value of a value-kind lens, with its flag set.
    void (*set_pending_first_order_value)(double value);
    // The spreadsheet takes the new lens: its level rows, the cell the cursor goes to, and the
    // drawing refreshed.
    void (*show_new_lens)(int rows, int field);
    void (*reset_object_point)();
};
NewLensSheetHooks& new_lens_sheet_hooks();
void reset_new_lens_sheet_hooks();

// kSlotNewLens: commands 221, 222, 223 (a new lens) and 226 (a new edit-window text).
int cmd_new_lens();
// kSlotInsertDeleteSurface: 417 and 548 insert a surface, 418 and 547 delete a range, 546 makes a
// surface current.
int cmd_insert_delete_surface();

// Puts the handlers into their slots.
void install_lens_handlers();
