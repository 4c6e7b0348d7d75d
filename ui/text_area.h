// Text areas: the character surface of every window that shows lines of text (the text windows
// 1 and 2, the spreadsheet 3, the grid 4 and the selection list 0 of the graphics-with-text
// window). Each area keeps its lines in a ring of fixed capacity with a block of attribute bytes
// per line (a count byte and 6-byte cell entries), paints them in a fixed-pitch font, scrolls
// and keeps the window's scroll bars in step. The spreadsheet's fixed header rows live in a
// second record, the header area (kHeaderArea).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"
#include "runtime/text_output.h"

inline constexpr int kTextAreaCount = 16;
inline constexpr int kHeaderArea = 9999;
inline constexpr int kHeaderCapacity = 8;
inline constexpr int kListArea = 0;
inline constexpr int kSheetArea = 3;
inline constexpr int kGridTextArea = 4;
// The page-mode counter a new page starts with: far more than any window shows.
inline constexpr int kPageLinesStart = 1998;

struct FontMetricsCell {
    int char_width = 8;
    int char_height = 16;
    int ascent = 12;
};

struct TextArea {
    int surface_width = 0;
    int surface_height = 0;
    int client_height = 0;  // the height the window last gave the area, 0 before it did
    int char_width = 0;
    int char_height = 0;
    int baseline = 0;
    int left_margin = 0;
    int top_margin = 0;
    int line_height = 0;
    int capacity = 0;
    int visible_lines = 0;
    int first_line = 0;
    int top_line = 0;
    int line_count = 0;
    int columns = 0;
    int attribute_bytes = 0;
    int page_lines_left = 0;
    int visible_columns = 0;
    int horizontal_offset = 0;
    int widest_line = 0;
    platform::Colour background{255, 255, 255};
    platform::Colour text_colour{0, 0, 0};
    int window = -1;  // the window that owns the area; -1 before it is made
    bool vertical_bar = false;
    bool horizontal_bar = false;
    std::vector<char> text;                // capacity slots of columns + 1 bytes
    std::vector<std::uint8_t> attributes;  // capacity slots of attribute_bytes bytes
    bool made = false;

    bool is_grid_area = false;  // areas 3 and 4 and the header
    // Ring index of the newest line; the position of ring index i counted from the oldest.
    int newest() const;
    int position_of(int ring_index) const;
    const char* line_text(int ring_index) const;
    const std::uint8_t* line_attributes(int ring_index) const;
};

// Makes area `area` in window `window` (numbers as above). 0, or -10 when the buffers cannot be
// had.
int textarea_create(int window, int area, const FontMetricsCell& font, int capacity,
                    int visible_lines, int columns);
TextArea* textarea(int area);  // null outside the table or before it is made
void textarea_select_area(int area);
int current_textarea_number();

// Empties the area; keep_position 1 keeps the top line, negative only blanks the surface.
// Returns the area number.
int textarea_clear(int area, int keep_position);
// One finished line with its attribute records; cut to the area's columns and slot.
void textarea_append_line(int area, int attribute_count, std::string_view text,
                          const std::uint8_t* attributes);
void textarea_paint_line(int y, int ring_index, bool blank_rest);
void textarea_scroll_to(int ring_index, int clip_top, int clip_bottom, bool repaint);
void textarea_scroll_down(int lines);
void textarea_scroll_up(int lines);
void textarea_scroll_right(int columns);
void textarea_scroll_left(int columns);
int textarea_update_scrollbar(int area);
// Brings the bars of the area that took output lines since its bars were last set into step
// with its ring: appending only marks them, so that a long listing sets them once.
void textarea_update_stale_bars();
void textarea_on_scroll(int area, const platform::ScrollEvent& event);
void textarea_on_paint(int area, platform::DeviceContext& dc);
void textarea_on_size(int area, platform::Size client);

// The lines a printer or the clipboard takes from a text window: all of them, or in page mode
// (for the current text window) only those since the page mark.
std::vector<std::string> textarea_output_lines(int area);

// The current text output window (1 or 2), and the mark the command line sets when a command
// starts (and textwin_select when the window changes): the next line begins a new page.
int current_output_area();
void set_current_output_area(int area);
void textarea_mark_new_page();
bool textarea_new_page_pending();

// While a mouse interaction holds the display (a drag, a cell tip), lines for the current text
// window wait; they are appended, in order, when the hold ends.
void textarea_hold_display(bool held);

// Overflow: a line was dropped by a full area that does not wrap.
bool textarea_overflowed();

// Area 0, the selection list of window 16: the selected line (counted from the oldest), -1 for
// none. list_set_selection moves it, scrolling a line outside the view into it (a line above
// becomes the top line, one below the last visible line); -1 removes it; nothing happens when
// the line is already selected or the area is empty.
int list_selected_line();
void list_set_selection(int line);
// Before its owner writes the list's lines: a negative line only removes the selection;
// otherwise area 0 is emptied, the line becomes the selected one and, with a non-zero line
// count, the view is placed so that the line stands in its middle.
void textarea_select_line(int line_count, int line);
// The owner of window 16 hears of the list's chosen line with the line and its text: kind 3 a
// line chosen (by keys or a click), kind 4 a double-click on the line a click just chose. A
// non-zero result is shown as an error.
using ListSelectionCallback = int (*)(int kind, int line, const char* text);
void set_list_selection_callback(ListSelectionCallback callback);
ListSelectionCallback list_selection_callback();

// Grid lines (areas 3, 4 and the header) are painted by the spreadsheet grid when it installs a
// painter; without one they are painted as plain lines.
using GridLinePainter = void (*)(TextArea& area, platform::DeviceContext& dc, int y, int ring_index,
                                 bool header_last_row);
void set_grid_line_painter(GridLinePainter painter);
// The grid limits vertical scrolls of areas 3 and 4 while a cell is current: given the lines
// asked for (negative up) it answers the lines allowed. Without one every scroll goes ahead.
using GridScrollLimiter = int (*)(int lines);
void set_grid_scroll_limiter(GridScrollLimiter limiter);
// Mouse, keys and timers of the text windows and the spreadsheet go to the grid once installed.
struct GridInputHandler {
    void (*mouse)(int window, const platform::MouseEvent& event) = nullptr;
    void (*key)(int window, const platform::KeyEvent& event) = nullptr;
    void (*timer)(int window, int timer_id) = nullptr;
};
void set_grid_input_handler(const GridInputHandler& handler);
const GridInputHandler& grid_input_handler();
// Told when area 3 or 4 is emptied (its lines are about to be written anew).
void set_grid_clear_listener(void (*cleared)(int area));

// The text-output layer's sink: every finished line lands in its window's area (text windows
// also reach the backend's own line list, which the console writes to standard output).
void install_text_areas();
// Shows the spreadsheet window for a level's output, sized for the level's rows in its size mode
// (the window code installs it; without it the window is only shown).
void set_sheet_window_shower(int (*show)(int rows, int mode));
void text_area_output_sink(const OutputLine& line);
// The spreadsheet's fixed header rows (0 to 8): the lines written first after the area is
// emptied fill them, and the main lines start below them.
void textarea_set_header_rows(int rows);
// A command level begins its output: the spreadsheet, when there is one, is emptied (its view
// kept), takes the level's header rows, shows and receives the output; the window, or 0
// without one.
int textarea_begin_level_output();
// Forgets every area (tests).
void reset_text_areas();
