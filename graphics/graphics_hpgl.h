// HPGL plotter files: the display list replayed with every record turned into plotter commands,
// written through a 512-byte buffer in lines that wrap after 62 to 64 characters.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/ui.h"
#include "tables/table_names.h"

bool hpgl_active();
// One command part: mode 1 begins a command, 2 ends a parameter that another follows, 3 ends
// the command.
void hpgl_write(const char* text, int mode);
void hpgl_put_byte(char byte);
// Record conversions used by the replay (points in surface coordinates).
void hpgl_pen(int colour);
void hpgl_line_style(int style);
void hpgl_dots(std::span<const platform::Point> surface);
void hpgl_raw(const char* text);
// The device the replay draws on while HPGL output runs (polylines and strokes).
platform::DeviceContext& hpgl_device();

// Whether text can be written with the plotter's own characters: HPGL output runs and the text
// is upright or turned by a right angle, not slanted. Markup and box marks are drawn as strokes
// between the labels.
bool hpgl_plotter_text(int angle, int slant);
// One run of plain characters as a plotter label starting at the surface point (sx, sy): direction,
// relative size and extra space when they changed, then the pen-up move and the label.
void hpgl_label(double sx, double sy, std::string_view text, int angle, double char_width,
                double char_height, double pitch);

// Records the formatted-output buffer as raw HPGL: written unchanged to HPGL files, ignored by
// every other device.
void gfx_hpgl_string();

// Writes the current window as an HPGL file; x2 = 0 takes the default plot area. 0, -10
// without a window, -9998 with the error text set when the file cannot be made or written.
int graphwin_write_hpgl(const std::string& file_name, int x1, int x2, int y1, int y2);
