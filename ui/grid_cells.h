// The spreadsheet grid's cells: the 6-byte cell entry that a sheet line carries in its attribute
// bytes, the record of a cell on screen, the grid state beside the records, and the formatting
// of a cell's value into its text. The grid's painting, mouse, keys, timers and event delivery
// build on these.
//
// A cell's text is the cell's first character inside a line buffer (a text area's line slot).
// Whoever makes a cell current hands the grid that pointer; the buffer holds at least the cell's
// width, and one byte more when the line ends inside the cell (a line slot always has room for
// its terminator). Formatting writes at most width characters there, so a value never spills
// into the next cell: a number that cannot be shown in its width is shown as '*' characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// --- cell entries -------------------------------------------------------------------------

inline constexpr int kGridEntrySize = 6;
inline constexpr std::uint16_t kGridDisabledBit = 0x8000;
inline constexpr std::uint16_t kGridKindMask = 0x7800;
inline constexpr std::uint16_t kGridFieldIdMask = 0x07FF;
inline constexpr int kGridGroupShift = 10;  // index bits 10-15: argument group + 16
inline constexpr int kGridIndexMask = 0x03FF;
inline constexpr int kGridGroupBase = 16;

// Cell kinds (the kind bits of the field code).
enum GridCellKind : std::uint16_t {
    kGridKindPlain = 0x0000,
    kGridKindText = 0x0800,
    kGridKindValueList = 0x1000,
    kGridKindTextNoCommand = 0x1800,  // text only; a text typed into it is never run
    kGridKindRadioOff = 0x2000,
    kGridKindRadioOn = 0x3000,
    kGridKindSelectable = 0x4000,
    kGridKindSelectableText = 0x4800,
    kGridKindLabel = 0x5000,
    kGridKindButton = 0x6000,
    kGridKindRowSelector = 0x6800,
    kGridKindDisabledButton = 0x7000,
};

// One cell inside a line's attribute bytes: field code and field index high byte first, then the
// first column and the end column (one past the last character).
struct GridCellEntry {
    std::uint16_t field_code = 0;
    std::uint16_t field_index = 0;
    std::uint8_t first_column = 0;
    std::uint8_t end_column = 0;
};

void encode_grid_entry(const GridCellEntry& entry, std::uint8_t out[kGridEntrySize]);
GridCellEntry decode_grid_entry(const std::uint8_t in[kGridEntrySize]);

inline int grid_entry_kind(int field_code) {
    return field_code & kGridKindMask;
}
inline bool grid_entry_disabled(int field_code) {
    return (field_code & kGridDisabledBit) != 0;
}
inline int grid_entry_field(int field_code) {
    return field_code & kGridFieldIdMask;
}
// The argument of the level's command that a cell edits, or -1 when its index names none.
inline int grid_entry_argument_group(int field_index) {
    const int g = (field_index >> kGridGroupShift) & 0x3F;
    return g >= kGridGroupBase ? g - kGridGroupBase : -1;
}
// The item number of an index: bits 0-9 when the index names an argument group, else all.
inline int grid_entry_item(int field_index) {
    return grid_entry_argument_group(field_index) >= 0 ? field_index & kGridIndexMask : field_index;
}

// --- the cell on screen -------------------------------------------------------------------

enum GridValueType : std::int32_t {
    kGridValueNone = 0,  // a button or a label
    kGridValueInt = 1,
    kGridValueDouble = 2,
    kGridValueText = 3,
};

inline constexpr int kGridStyleFixed = 2;  // number style: fixed point; any other: exponent form

// A value of 8 bytes: a double, or an int in its first word.
union GridCellValue {
    double d;
    std::int32_t i;
};

struct GridCell {
    GridCellValue saved_value{0.0};  // the value when the cell became current
    GridCellValue value{0.0};        // the value shown or edited
    char* text = nullptr;            // the cell's first character in its line
    std::int32_t field_code = 0;
    std::int32_t field_index = 0;
    std::int32_t line = 0;  // ring index of the line
    std::int32_t row = 0;   // row relative to the top line
    std::int32_t first_column = 0;
    std::int32_t end_column = 0;
    std::int32_t caret_column = 0;
    std::int32_t edited = 0;  // 1 changed by editing, 2 changed in the value-list state
    std::int32_t width = 0;   // end column - first column
    std::int32_t decimals = 0;
    std::int32_t value_type = kGridValueNone;
    std::int32_t number_style = 0;
    std::int32_t argument = 0;  // what a typeless cell passes as the event argument
    std::int32_t header = 0;    // 1 in the spreadsheet's header area
    std::int32_t spare = 0;
};

// --- the grid state -----------------------------------------------------------------------

enum GridEditState : int {
    kGridIdle = -1,
    kGridSelected = 0,      // the command line shows the cell's text
    kGridEditNumber = 1,    // a number edited in place
    kGridEditValueList = 2  // value-list editing
};

inline constexpr std::size_t kGridTextBufferSize = 256;

struct GridState {
    int active_area = 3;  // text area 3 (the spreadsheet) or 4 (window 16's grid)
    int edit_state = kGridIdle;
    GridCell current;    // the current cell; its text is null when there is none
    GridCell activated;  // copied on activation, made current afterwards
    GridCell hit;        // the cell under the mouse
    char edit_text[kGridTextBufferSize] = {};   // the text last shown on the command line
    char event_text[kGridTextBufferSize] = {};  // the text an event hands to the level
    // The line the line entry handed to the current level (run state 107): a command typed
    // into a text cell, or any line typed while a level or a range selection owns the grid.
    // Delivering event 107 to the level reads it.
    char handed_line[kGridTextBufferSize] = {};
    // A text cell's text when it became current: leaving an edit shows it again.
    char saved_text[kGridTextBufferSize] = {};
    int edit_scroll = 0;  // offset of the edit text inside the cell
};

GridState& grid_state();
void reset_grid_state();

// True while the grid edits a cell: a current cell that is selected or being edited.
bool grid_cell_in_edit();

// Writes the current cell's value into its text: ints "%3d" below width 5, "%5d" for 5 and 6,
// "%7d" from 7; doubles of width 11 in the program-wide number format, others through
// grid_format_double; texts as they stand. Every kind is padded with blanks to the width. With
// place_caret the caret goes just after the decimal point (doubles) or onto the last digit
// (ints: first column + 2, + 4 or + 6).
void grid_format_edit_value(bool place_caret = false);
// A double in a cell's format: "%<width>.<decimals>f" for style 2, "%<width>.<decimals>e" for
// others. A text longer than the width is formatted once more with as many decimals fewer as it
// is too long; when that would leave fewer than 0 decimals the long text is returned. Digits
// before the point are never dropped.
std::string grid_format_double(double value, int width, int decimals, int style);
// Replaces the current cell's text: cut to the width, padded with blanks.
void grid_set_cell_text(const char* text);
// Keeps the current cell's text (its width, up to the line's end) as the text an edit that is
// left returns to.
void grid_save_cell_text();
// Ends editing: the edit state becomes idle and the edit text's scroll offset 0.
void grid_end_edit();
