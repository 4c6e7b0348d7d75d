// The window table: one record per window number 0..16 with its stored placement, size limits
// and title. Everything outside the platform layer addresses a window by its number; this table
// keeps what the program knows of each one (the backend keeps the rest).
#pragma once

#include "platform/ui.h"

inline constexpr int kWindowTitleSize = 48;  // 47 characters and the ending zero
inline constexpr int kFlagTextWindowLines = 4;

// Sizes of the window frame parts the sizes below are made of.
inline constexpr int kScrollBarWidth = 16;
inline constexpr int kScrollBarHeight = 16;
inline constexpr int kCaptionHeight = 20;
inline constexpr int kSizingBorder = 4;

struct WindowRecord {
    int in_use = 0;
    int status_shown = 0;
    int strip_height = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int min_width = 0;
    int max_width = 0;
    int min_height = 0;
    int max_height = 0;
    char title[kWindowTitleSize] = {};
};

WindowRecord& window_record(int n);  // n outside 0..16 gives a scratch record

// The stored placement while the window does not exist, else its normal rectangle from the
// system; a maximised frame gives four zeros.
void get_window_placement(int n, int* x, int* y, int* width, int* height);
void set_window_placement(int n, int x, int y, int width, int height);
// A placement moved as little as needed to lie on the screen: a settings file written on a
// larger screen, or by another desktop, must not leave a title bar out of reach.
platform::Rect placement_on_screen(int x, int y, int width, int height, platform::Size screen);

// The pixel size of a text window of `columns` x `rows` characters (columns 20..128, rows
// 8..50) in the fixed font.
void text_window_size(int columns, int rows, int* width, int* height);

// The stored placement a graphics window (n = 7..15) takes when it is first opened without
// one: cascaded by its number inside the MDI client.
platform::Rect default_graphics_placement(int n, int mdi_client_width, int toolbar_height);

#include "tables/table_names.h"
#include "ui/text_area.h"

// The fixed font's cell, from text window 1's surface (8 x 16, ascent 12 before it exists).
FontMetricsCell fixed_font_metrics();

// The handler of the windows that show a text area (1, 2, 3, 4): painting, sizing and scrolling
// go to the area of the window's number; closing a text window goes through textwin_close.
platform::WindowHandler* text_window_handler();

// Presses of a child window's strip buttons (the spreadsheet's OK, Cancel, Help and its tool
// row) reach the runner the program installs; until then nobody takes them.
using StripCommandRunner = void (*)(int window, int command);
void set_strip_command_runner(StripCommandRunner runner);
StripCommandRunner strip_command_runner();

// Text windows 1 and 2 with their areas (1999 lines, 10 rows, 128 columns at start-up).
int create_text_window(int n, int line_capacity, int rows, int columns);
// 0, or -118 when n is the last open text window (it stays open).
int textwin_close(int n);
// The spreadsheet window (3): an MDI child holding text area 3 (with its header rows) of
// `rows` visible lines, 80 columns wide and only as wide; made hidden. The grid paints and
// fills it. 0, -1 without a window, or the text area's failure.
int create_sheet_window(int line_capacity, int rows, int columns);
// The spreadsheet window for the sheet of a level. Sized by rows: its strip and `rows` lines
// (0 gives 2) of the sheet, at most the MDI client's height less a line, 80 columns wide. Mode 1
// takes instead the rectangle the user last gave the window while it was in mode 1 (by rows
// while there is none); other non-zero modes take that rectangle too. Showing also sets state
// flag 2 and activates it; resizing leaves it hidden or shown. Hiding empties the sheet and sends
// text output back to the current text window. 0, or -1 without the window.
int show_spreadsheet_window(int rows, int mode);
int resize_spreadsheet_window(int rows, int mode);
void hide_spreadsheet_window();
// Makes the shown sheet wide enough for its longest line (header rows too) and tall enough for
// its rows, as far as the frame has room; a sheet that fits, or that the user made larger,
// keeps its size.
void fit_spreadsheet_to_lines();
// The control window (6) for the sliders: an owned popup titled by message -172, at the right
// half of the screen; made hidden. 0 or -1.
int create_control_window();
// Who paints the control window and takes its events (the sliders); null: nobody.
void set_control_window_handler(platform::WindowHandler* handler);
inline constexpr int kSheetStripHeight = 30;  // a 22-pixel strip button and 8
// The spreadsheet strip's OK, Cancel and Help buttons; closing the window is its Cancel.
inline constexpr int kSheetOkCommand = 101;
inline constexpr int kSheetCancelCommand = 102;
inline constexpr int kSheetHelpCommand = 103;
// Makes text window n (1, 2; 0 the other) current; 0 when it had to be opened, else its number.
int textwin_select(int n, int columns, int lines);
void textwin_clear();
void textwin_set_title(const char* text);

// The frame's stored placement stays when it has a size that fits the screen's work area (the
// height up to the work area's and a caption); otherwise the frame goes to (0, 0) with the full
// width and 9/10 of the height and a caption, maximised. True when the stored one was used.
bool place_frame();

// Reads every placement from the settings (setting 14) / writes them back into it.
void load_window_placements();
void store_window_placements();

void reset_window_table();
