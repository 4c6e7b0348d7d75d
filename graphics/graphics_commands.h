// The built-in commands that draw in graphics windows from the command language: pens, frames,
// lines, markers and polylines from arrays, pages, opening, closing and titling windows, the
// stored command text that redraws a window, text settings and zoom.
#pragma once

#include "tables/table_names.h"

int cmd_graphics_window(void);  // kSlotGraphicsWindow
int cmd_output_file(void);      // kSlotOutputFile
int cmd_text_settings(void);    // kSlotTextSettings
int cmd_graphics_draw(void);    // kSlotGraphicsDraw
int cmd_polyline(void);         // kSlotPolyline
int cmd_graphics_title(void);   // kSlotGraphicsTitle
int cmd_graphics_zoom(void);    // kSlotGraphicsZoom

// The stored command text of graphics window n (1..9); null for any other n.
const char* graphics_command_text(int n);
// Runs window n's stored text as a redraw: the window opened, state flag 7 set and the printed
// number rows kept around it. 0, or the run's result.
int run_graphics_window_text(int n);
// Stores text as window n's command text: 0, or the refusal of a text over 495 characters.
int set_graphics_command_text(int n, const char* text);
// A titled new page of window n, started by a command of a typed or menu line (not from inside
// a procedure, a stored text or another command), leaves that command as the window's redraw
// text when the window has none, so that updating the window draws again with the current lens.
void keep_page_command(int n);

// The routines a slider move and a click in a graphics window run: "%s %d %12.5e" of the
// slider's routine name, its id and value; "%s %12.5e %12.5e %12.5e %12.5e" of the window's
// routine name and the world points of the press and the release.
int slider_moved(int index, int id, double value);
int mouse_dragged(double x0, double y0, double x1, double y1);

// A command level's text and rebuilt command become the current graphics window's redraw text,
// with the help text under (94, 93) appended when both stay below 238 characters; the help text
// under (94, 91) becomes the window's title (and sets the title latch).
void graphics_level_text(const char* text, const char* command);
// Whether a title was taken from the redraw text during the current command; the main loop
// clears it before each command line.
bool graphics_title_latch();
void clear_graphics_title_latch();

// Takes the pen sequence (setting 15) or the output pen width (setting 17) from the settings.
void graphics_setting_changed(int setting_id);

// Installs the handlers, the graphics text drawer and the paint hooks.
void install_graphics_commands();
