// The graphics-with-text window (16): a popup owned by the frame whose client area stands in
// three bands. On top, the drawing pane (the window's own surface, graphics record 10) with a
// label under it, and at the right the selection list (text area 0, a pane of its own); in the
// middle a strip with the OK, Cancel and Help buttons; below, the grid (text area 4, a pane).
// The window's owner hears of the list's selection through one callback.
#pragma once

#include <string>

#include "platform/ui.h"
#include "tables/table_names.h"
#include "ui/text_area.h"

inline constexpr int kListPane = platform::UiBackend::kPaneFirst;      // text area 0
inline constexpr int kGridPane = platform::UiBackend::kPaneFirst + 1;  // text area 4

// The strip's buttons: they act as the spreadsheet strip's OK, Cancel and Help.
inline constexpr int kWindow16OkCommand = 104;
inline constexpr int kWindow16CancelCommand = 105;
inline constexpr int kWindow16HelpCommand = 106;
inline constexpr int kWindow16StripHeight = 28;
// Where the strip's buttons stand: OK and Cancel from the left, Help from the right edge.
inline constexpr int kWindow16OkX = 2;
inline constexpr int kWindow16CancelX = 28;
inline constexpr int kWindow16HelpFromRight = 26;

// The selection list's timers: one line per tick while a drag stands above or below the list,
// and the delivery of a selection a key moved.
inline constexpr int kListScrollTimer = 1002;
inline constexpr int kListScrollMs = 50;
inline constexpr int kListSelectionTimer = 1004;
inline constexpr int kListSelectionMs = 200;

// What the owner hears: kind 3 a line chosen (a click, the end of a drag, a key after a pause),
// kind 4 a double click on the line the click before it delivered. A non-zero result is shown
// as an error.
inline constexpr int kListChosen = 3;
inline constexpr int kListDoubleClicked = 4;
// The owner's callback is set with set_list_selection_callback (ui/text_area.h).

// The sizes the window is made with: the list's line capacity, rows and columns, the label's
// lines (at most 5), the grid's lines and columns.
struct Window16Shape {
    int line_capacity = 4000;
    int rows = 16;
    int columns = 9;
    int label_lines = 3;
    int text_lines = 5;
    int text_columns = 50;
};
// The bands and the client size for a shape in a font.
platform::UiBackend::BandLayout window16_bands(const Window16Shape& shape,
                                               const FontMetricsCell& font);
platform::Size window16_client_size(const Window16Shape& shape, const FontMetricsCell& font);

// Makes the list and grid panes with their text areas and lays the window out; the window
// itself (with its drawing pane) must exist. 0, -10 when an area's buffers cannot be had, -1
// without a user interface or when the backend has no panes.
int create_window16_panes(const Window16Shape& shape);
// The buttons of the strip are pictures the application loads: it fills the strip when the
// window is made.
void set_window16_strip_builder(void (*build)());

// Mouse and keys of the list, and its timers.
void list_on_mouse(const platform::MouseEvent& event);
void list_on_key(const platform::KeyEvent& event);
void list_on_timer(int timer_id);
// A key moved the selection by `lines` (the grid's up and down keys while window 16's grid is
// active): the selection moves now and reaches the owner once no key followed for a moment.
void list_step_selection(int lines);
// Drops a delivery under way and a drag's scrolling (a level's display is rebuilt or changes).
void list_stop_timers();

// A strip button or the close box of window 16: OK, Cancel (also the close box) or Help, run
// with window 16 flagged active.
void window16_command(int command);
// Whoever shows something in window 16 may take its strip's buttons first: true when the
// owner took the command (null: nobody does).
void set_window16_owner(bool (*command)(int command));
// The close box of window 16: the owner's Cancel, else Cancel while a command level can take
// it; true when the window may simply hide.
bool window16_close_request();
// Whether window 16 is the active window (follows its activation and its strip's buttons).
bool window16_active();
void set_window16_active(bool active);

// The label of the strip under window 16's drawing pane (the grid's status line writes it):
// at most kWindow16LabelLines lines, kept for the window when it is made later.
inline constexpr int kWindow16LabelLines = 3;
void set_window16_label(const char* text);
const std::string& window16_label();
// Forgets the label without touching the window (the graphics windows' reset).
void clear_window16_label();

// Forgets callbacks and state (tests).
void reset_window16();
