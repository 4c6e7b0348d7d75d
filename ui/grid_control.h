// The spreadsheet grid: the lines of the active grid area (the spreadsheet's text area 3 with its
// header rows, or window 16's text area 4) read as cells. The grid finds cells, moves the current
// cell with keys and the mouse, selects ranges of rows, edits numbers in place through the
// command line and reports every action to the handler of the current command level as a
// GridEvent, which owns the sheet's meaning.
#pragma once

#include <string>

#include "platform/ui.h"
#include "runtime/command_levels.h"
#include "ui/grid_cells.h"
#include "ui/text_area.h"

// Timers of the grid (one-shot; their callbacks re-arm them).
inline constexpr int kGridTimerCellChange = 1001;  // a deferred cell-change event
inline constexpr int kGridTimerRepeat = 1002;      // auto-repeat of a key beside the edited cell
inline constexpr int kGridTimerTip = 1003;         // the tip of a printed number
inline constexpr int kGridTimerListSelection = 1004;
inline constexpr int kGridRepeatFirstMs = 200;
inline constexpr int kGridRepeatNextMs = 50;
inline constexpr int kGridTipMs = 200;

// Dispatch codes beside the level's event codes.
inline constexpr int kGridActivate = 106;
inline constexpr int kGridCommitLine = 107;
inline constexpr int kGridLevelChange = 0x1000;  // + 2 push, + 1 leave, + 0 re-run

// The range selection and the queued action, beside the grid state of grid_cells.h.
struct GridRange {
    int anchor_code = 0;   // field code of the anchor row's selector
    int anchor_index = 0;  // its field index
    int anchor_line = 0;   // linear line number (header lines first) of the anchor
    int extent = 0;        // rows from the anchor to the other end (signed)
    int extra_rows = 0;    // continuation rows of a multi-line field below the last row
    int first_column = 0;
    int width = 0;  // columns the frame spans
};

struct GridControl {
    GridRange range;
    int queued_code = 0;
    int queued_argument = 0;
    int deferred_event = 0;        // an event asked for while a handler ran
    bool deferred_cursor = false;  // a level-cursor move asked for while a handler ran
    bool dispatching = false;
    bool caret_key_running = false;
    int repeat_key = 0;  // the key the auto-repeat runs, 0 when none
    bool awaiting_release = false;
    bool press_activated = false;      // the last left press activated its cell
    bool cell_change_waiting = false;  // timer 1001 runs
    int tip_window = 0;                // the text window whose hot spot shows its tip, 0 when none
    int tip_item = 0;
    int tip_slot = 0;
    int status_window = 0;
    bool display_held = false;
    bool range_delivery = false;  // a queued action is being delivered with its range
    int dispatch_count = 0;       // events handed to the level so far
    bool area_cleared = false;    // the active area was emptied while a handler ran
    // The key (down, right, left, up) whose move follows once the line typed for the current
    // cell was taken; 0 when none.
    int move_after_entry = 0;
    // The value last offered in the command line for a cell, while it stands there unchanged.
    std::string offered;
};

GridControl& grid_control();
void reset_grid_control();

// --- cells ---------------------------------------------------------------------------------
// 1 when the cell with the record's field code and index stands among the lines (header rows
// first), filling the record; 0 when the area is empty or the field code is 0.
int grid_find_cell(GridCell& cell);
// The entry at a column of a linear line (header lines first): direction 0 the entry covering
// the column, 1 the first starting at or after it, -1 the last ending at or before it; disabled
// entries never. 1 found (record filled), 0 not.
int grid_entry_at_column(GridCell& cell, int line, int column, int direction);
// The cell under a pixel of the active area's window (header rows above the main area) into
// the record: 1 hit, 0 not.
int grid_hit_test(int x, int y, GridCell& cell);
// Number of lines (header then main) and the linear line of a record.
int grid_line_total();
// The next cell for a key (left, right, up, down) into the activated record: 1 moved, 0 not.
int grid_move_selection(int key);
// Makes a record the current cell (selected), scrolled into view, and reports the change.
void grid_set_current(const GridCell& cell, bool report);
// Drops the current cell.
void grid_drop_current();

// --- editing -------------------------------------------------------------------------------
void grid_set_edit_mode(int mode);
// Reads the current cell's text into its value, value type, decimals and number style.
void grid_parse_edit_text();
// Steps the value under the caret up (key up) or down (key down): 1 changed, 0 refused.
int grid_spin_value(int key);
void grid_edit_caret_key(int key);
void grid_key_navigate(int key, int window);
void grid_edit_decimal_jump();

// --- activation and events -----------------------------------------------------------------
void grid_activate_cell(int argument);
void grid_return_to_cell(int clear_status);
// The actions the grid commands queue (grid_post_action); the level of the sheet receives each
// as its event code. Action 1 is also the code of an activated row selector.
inline constexpr int kGridActionInsert = 1;
inline constexpr int kGridActionDelete = 2;
inline constexpr int kGridActionReverse = 12;
inline constexpr int kGridActionCut = 13;
inline constexpr int kGridActionCopy = 14;
inline constexpr int kGridActionPaste = 15;
inline constexpr int kGridActionNegate = 16;
inline constexpr int kGridActionCatalogParts = 17;
inline constexpr int kGridActionInsertLensFile = 18;
inline constexpr int kGridActionMakeElement = 20;
inline constexpr int kGridActionDissolveGroup = 21;
inline constexpr int kGridActionScale = 23;

void grid_post_action(int code, int argument);
// A row action (insert, delete) for the row of the current cell: a selected range of rows, or
// else the current line's row selector, receives it. 1 queued, 0 when the sheet has no row
// there to act on.
int grid_row_action(int code, int argument);
int grid_dispatch_event(int code);
void grid_click_cell(int argument);
void grid_clear_selection();
// The level's cursor (field and index) made the current cell, now or when the running handler
// returns.
void grid_set_level_cursor();
// After the level's output: the cursor it set, or the cell that was current, is shown.
void grid_refresh_level();
// The active grid area was emptied: a selected range ends.
void grid_area_cleared(int area);
// Set when the grid hands a committed line to the level (event 6); the level clears it.
int& grid_refresh_request();
// Whether the grid owns a typed line: a cell is current or a range is selected.
bool grid_owns_line();

// The range selection's parts (the range of rows between anchor and the line a key or click
// moved its end to).
void grid_fill_range_event(GridEvent& e);
void grid_start_range();
bool grid_line_carries_field(const GridCell& c, int code, int* index);
bool grid_range_contains(const GridCell& c);
void grid_extend_range_to(const GridCell& c);
// Linear line of the anchor (0) or of the other end (1).
int grid_range_line(int which);

// The command line lies above this layer: whether it prompts for a parameter or asks a
// question, Escape on it, and Enter on it (its text committed). Installed by the application.
struct GridCommandLineHooks {
    bool (*prompt_open)() = nullptr;
    void (*escape)() = nullptr;
    void (*commit)() = nullptr;
};
GridCommandLineHooks& grid_command_line_hooks();
bool question_or_prompt_open();
void escape_prompt();
void commit_command_line();

// --- windows -------------------------------------------------------------------------------
void grid_on_mouse(int area, const platform::MouseEvent& event);
void textwin_on_input(int window, const platform::MouseEvent* mouse, const platform::KeyEvent* key);
void grid_window_mouse(int window, const platform::MouseEvent& event);
void grid_window_key(int window, const platform::KeyEvent& event);
void grid_window_timer(int window, int timer_id);
// The mouse in window 16's selection list (area 0).
// Lines the active grid may scroll by (negative up) with a current cell: the count allowed.
int grid_limit_scroll(int lines);

// Paints a grid line (cells, buttons, rules) and the current cell; installed into the text area.
void grid_paint_line(TextArea& area, platform::DeviceContext& dc, int y, int ring_index,
                     bool header_last_row);
void grid_draw_current();
// Paints the command line's text into the cell being edited (the command line's listener).
void grid_show_edit_text();
void grid_draw_range_frame(bool erase);
// The focus frame of a printed number's hot spot in a text window (erase removes the last one).
void grid_draw_tip_frame(int window, int row, int first_column, int end_column, bool erase);
void grid_show_tip();

// The label of window 16's bottom strip (message 0 clears it).
template <typename... Args>
void grid_status_printf(int message, const Args&... args);
void grid_status_text(const char* text);
const char* grid_status_label();

// Handler kSlotGridCommand: queues the grid action of commands 197-208.
int cmd_grid_command();
// Reads the clipboard's surface data into a buffer the caller keeps between calls.
int read_private_clipboard(char** buffer);
std::size_t private_clipboard_size();

// The grid's part of the program: painter, window input, line entry, choice-popup anchor.
void install_grid();

#include "runtime/messages.h"

template <typename... Args>
void grid_status_printf(int message, const Args&... args) {
    if (message == 0) {
        grid_status_text("");
        return;
    }
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    grid_status_text(
        format_message(message, std::span<const FormatArg>(list, sizeof...(Args))).c_str());
}
