// The steps every spreadsheet of the lens shares: a sheet is a command level with one event
// procedure, and most of what that procedure does on opening, on closing, after a change and
// when a line is typed into it is the same for all of them. A sheet keeps one SheetKit record
// beside its own state and calls these for those events; the writers put its cells into the
// level's output the same way in every sheet.
//
// While a sheet holds a revert copy of the lens the lens is a temporary one; state flag 43 says
// so as long as any sheet holds one (a sheet opened over another that holds one leaves it set).
#pragma once

#include <string>

#include "runtime/command_levels.h"

struct SheetKit {
    int revert_message = 0;     // names the sheet's revert copy; 0: the sheet takes none
    void (*print)() = nullptr;  // writes the whole sheet into the current output
    bool kept = false;          // left with end mode 1 after it was shown: the copy stays
    bool changed = false;       // the sheet changed what it edits (the sheet sets it)
    bool shown = false;         // shown since it was opened
    bool holds_copy = false;    // its revert copy exists
    bool context_pushed = false;
    int state_flag = 0;  // set while the sheet is open (0: none); cleared when it is left for good
    // The level's row count, set before every writing (null: the count it was pushed with).
    int (*rows)() = nullptr;
    // Update mode was already on when the sheet was first shown (another sheet edits in it).
    bool update_mode_before = false;
};

// What the kit keeps for all sheets: the number of sheets that hold a revert copy.
struct SheetKitGlobals {
    int copies_held = 0;
};
SheetKitGlobals& sheet_kit_globals();
// A fresh process's state; the sheets' own records are reset by their owners.
void reset_sheet_kit();

// Pushes a sheet's level (rows lines, sized by them) with the level option, and shows the
// status message: 0 or the push's failure.
int sheet_push(LevelHandler handler, int rows, int status_message);

// Takes the sheet's revert copy unless it is kept or already held, and counts it.
void sheet_take_copy(SheetKit& kit);
// Lets the copy go: mode 1 reads the lens back from it, 0 deletes it. 0 or the reader's failure.
int sheet_release_copy(SheetKit& kit, int mode);

// Event 8: the copy (sheet_take_copy), state flag 17, command context 'L' (once per opening),
// the sheet written; end_level_output's result.
int sheet_open(SheetKit& kit);
// Event 22: revert_copy_unchanged of the sheet's copy (1 without one).
int sheet_may_close(const SheetKit& kit);
// Event 7 with its end mode: 1 keeps the copy (once the sheet has been shown), -1 restores the
// lens from it, anything else deletes it. The context pushed on opening is taken off. 0 or the
// restore's failure.
int sheet_close(SheetKit& kit, int end_mode);
// Event 6: the typed line run in mode 1; its result.
int sheet_run_line(const GridEvent& event);
// After a line typed into a sheet ran with result rc: whether the sheet is still there to be
// written again; not when the line failed, ended the run or asked to leave the sheet.
bool sheet_shown_after_line(int rc);
// After a change: the lens set-up (a failure: its message with the failing surface in the
// error text, -9998, the sheet still rewritten), then the sheet written again.
int sheet_after_change(SheetKit& kit);
// The sheet written again without a set-up: begin_level_output, print, end_level_output.
int sheet_rewrite(const SheetKit& kit);

// The rows a row action selects, within lo..hi: from the anchor's item to the item at the
// range's end (the anchor's line count further on when the end holds none). False: none left.
bool sheet_selected_rows(const GridEvent& event, int lo, int hi, int* first, int* last);

// A line run as a command in update mode, as an edited cell runs its command; at surface s when
// s is a surface of the lens (the current surface comes back after it). The command's result.
int sheet_run_update(const char* line, int s = -1);

// What a sheet does of its own beside the kit's steps; every entry may be null.
struct SheetEvents {
    // Event 8: before the kit's opening (a failure is returned and nothing more done); with
    // opens_itself the hook is the whole opening (a sheet whose entry mode owns its letter), and
    // leaving clears none of the kit's flags.
    int (*opening)() = nullptr;
    bool opens_itself = false;
    // Event 7 with an end other than 1 (the sheet is left for good): before the copy goes, and
    // after the kit's close. keeps_update_mode: leaving ends the update mode only where the
    // sheet's opening turned it on, so a sheet over another that still edits in it keeps it.
    void (*leaving)(int end_mode) = nullptr;
    void (*left)(int end_mode) = nullptr;
    bool keeps_update_mode = false;
    int (*cell_text)(GridEvent& event) = nullptr;        // event 3: the cell's edit text
    int (*edited)(const GridEvent& event) = nullptr;     // event 5: a cell's value was entered
    int (*activated)(const GridEvent& event) = nullptr;  // event 4: a button, radio or pick
    // Events 6 and 106 with a line (an empty one only writes the sheet again).
    int (*typed)(const char* line, const GridEvent& event) = nullptr;
    // Row actions cut, copy and paste: the selected rows within row_limits are copied, cut also
    // clears them; paste has the event. The sheet is written again after each unless it failed.
    void (*row_limits)(int* lo, int* hi) = nullptr;
    int (*copy_rows)(int first, int last) = nullptr;
    int (*clear_rows)(int first, int last) = nullptr;
    int (*paste_rows)(const GridEvent& event) = nullptr;
    // Any other event; without it the sheet is written again, or 0 with quiet_otherwise.
    int (*other)(GridEvent& event) = nullptr;
    bool quiet_otherwise = false;
    // An empty typed line goes to typed as well (a sheet that runs every line it is handed).
    bool types_empty_lines = false;
    // leaving hears end mode 1 as well (a sheet that lets go of things whenever a level is
    // pushed over it).
    bool leaving_always = false;
    // The whole answer to the close question (event 22), in place of the kit's: for a sheet that
    // keeps its revert copy and its flags its own way.
    int (*may_close)() = nullptr;
    // Event 7 whole, in place of the kit's close (a sheet that keeps its copy, context and
    // flags itself, as one that opens itself does); its result.
    int (*closing)(int end_mode) = nullptr;
    // The close question asks of the sheet's copy even when the kit took none (a copy under the
    // sheet's name may also be written by a new lens).
    bool asks_of_any_copy = false;
};

// The one event procedure of a sheet: the kit's steps for opening (8), the close question (22)
// and closing (7), the sheet's own entries for the rest.
int sheet_dispatch(SheetKit& kit, const SheetEvents& events, GridEvent& event);

// The text of a text cell or a typed line: the event's text buffer, else a text value.
const char* sheet_event_text(const GridEvent& event);
// Puts text into the edit-text buffer of event 3 (nothing without one).
void sheet_edit_text(GridEvent& event, const char* text);

// Line k (0-based) of a message of several lines ("" past its last).
std::string sheet_message_line(int message, int k);

// Cell writers. A number cell shows the value as text_number does, an int cell "%d" in width
// columns (0: as it comes).
void sheet_number_cell(int code, int index, double value);
void sheet_int_cell(int code, int index, int value, int width);
// A button: " m " with the mark m on its face.
void sheet_button(int code, int index, char mark);
// A button whose face is a message text.
void sheet_button_msg(int code, int index, int message);
// A radio with its label (a message text up to its first line break).
void sheet_radio(int id, bool on, int message);
// A message text up to its first line break, and plain text.
void sheet_label(int message);
void sheet_text(const char* text);
// A number shown greyed (a cell that cannot be edited).
void sheet_inactive_number(int id, int index, double value);
// " m " without a cell.
void sheet_mark(char mark);
// n marks centred in a field of 4 columns.
void sheet_marks_field(const std::string& marks);
