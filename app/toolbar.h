// The tool strips and the interactive window. A strip is described by a keyed list whose name
// is the text of the strip's message; each entry is one button:
//   first text   [-][gap]bitmap[:key],tooltip   ('-' starts a group, gap extra pixels before
//                                               the button, key the function key 1..24)
//   second text  the command text the button runs
// The pictures are device-independent bitmap files "<bitmap>.bmp" in ROOT/bin/bma; their four
// fixed greys are painted in the system's button colours. The interactive window (16) passes
// mouse picks to the pick handler of the command that opened it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "runtime/command_levels.h"
#include "tables/table_names.h"

inline constexpr int kToolbarEntryLimit = 36;
inline constexpr int kToolbarGroupMargin = 13;
inline constexpr int kToolbarMargin = 2;
// Command identifiers of the buttons: the frame toolbar and the spreadsheet strip share
// 15..50, the graphics-window strips have 51..86.
inline constexpr int kToolCommandFirst = 15;
inline constexpr int kToolCommandLast = 50;
inline constexpr int kGraphicsToolCommandFirst = 51;
inline constexpr int kGraphicsToolCommandLast = 86;

// A picture as read from its file: its colour table (empty for a true-colour file) and its
// pixels, top row first.
struct ToolbarBitmap {
    int width = 0;
    int height = 0;
    std::vector<platform::Colour> colour_table;
    std::vector<std::uint8_t> indices;     // one per pixel for a file with a colour table
    std::vector<platform::Colour> pixels;  // one per pixel
};

// One button of a strip, in order.
struct ToolbarButton {
    std::string name;  // the command text
    int x = 0;
    int width = 0;
    int height = 0;
    std::string second;  // the tooltip
    int control = 0;
    int window = 0;
    int item = -1;  // the registered item of the text store, -1 for none
};

// Reads an uncompressed bitmap file of 1, 4, 8 or 24 bits per pixel: 0, -7 when it cannot be
// opened, or -8 when it is not such a file or is cut short.
int read_bitmap_file(const std::string& path, ToolbarBitmap& out);
// Black, 128 grey, 192 grey and 223 grey become the button text, shadow, face and highlight
// colours of the user interface; other colours stay.
void map_toolbar_colours(platform::Colour* table, int count);
// Loads ROOT/bin/bma/<name>.bmp with its colours mapped: 0 or the reader's failure.
int load_toolbar_bitmap(const char* name, ToolbarBitmap& out, int* width, int* height);

// Builds the strip of the list named by the message's text on window parent, from x, y; the
// strip's height. Message 0 only gives the height of the strip built last.
int create_toolbar(int parent, int x, int y, int message);
const std::vector<ToolbarButton>& toolbar_buttons();
// Enables and disables the buttons whose conditions changed (the idle pass calls it).
void refresh_toolbar_states();
// A button's command identifier reached a strip's window: its command text is submitted when
// the button is enabled, else a beep. False when the identifier is no button's.
bool run_toolbar_command(int window, int command);
void reset_toolbars();

// --- the interactive window (16) -----------------------------------------------------------

// A pick event: code 1, first_index -1, flags 0, the point in pick_x and pick_y; a close
// event: code 7.
using PickHandler = int (*)(GridEvent& event);
// Window pixels to world coordinates of the interactive window's drawing; without one the
// pixel coordinates are taken as they are.
using PickMapper = void (*)(int px, int py, double* x, double* y);
void set_pick_mapper(PickMapper mapper);

void start_interactive_window(const char* title, int identifier, PickHandler pick,
                              LevelHandler level);
void open_interactive_window();
void close_interactive_window();
void end_interactive_window();
// The client point packed as low and high 16 bits.
void post_pick_event(std::uint32_t point);
void suspend_picking(bool suspended);
bool interactive_window_open();
bool interactive_level_flag();
int interactive_pick_identifier();
int cursor_state_word();
