// Text output: the one line writer every subsystem writes through, with its markup
//   "\N"  N blanks (N >= 1, cut to the line width); a backslash without digits is written as is
//   "@"   opens or closes a hot spot ("@3", "@-3", "@#", "@@", "@~", ".k", see write_output_text)
//   tab   four blanks; "\n" ends the line
// and the store of printed numbers (1999 rows of 10 per text window) that the command language
// and user DLLs read back. format_number is the program-wide number format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kOutputRows = 1999;
inline constexpr int kOutputColumns = 10;
inline constexpr int kDefaultLineWidth = 128;  // before the main loop runs
inline constexpr std::size_t kPendingLineSize = 256;
inline constexpr std::size_t kHotspotMarkupLimit = 60;  // '@' opens no hot spot beyond this
inline constexpr std::size_t kHotspotLimit = 90;        // text_hotspot opens none beyond this
inline constexpr std::size_t kHotspotBufferSize = 96;

// Output window numbers: 0 main, 1 and 2 text windows, 3 spreadsheet, 4 list, 5 edit window.
int output_window();
void set_output_window(int window);
int current_text_window();  // 1 or 2
void set_current_text_window(int window);
// Line widths of windows 0..4 as the window code sets them; 0 outside 0..4, 128 before the main
// loop runs.
int text_window_width(int window);
void set_text_window_width(int window, int width);

// One finished line as it leaves the writer: its window, text and hot-spot records (6 bytes
// each: BE16 item, BE16 index, start column, end column).
struct OutputLine {
    int window = 0;
    std::string text;
    std::vector<std::uint8_t> hotspots;
};
// Where finished lines go while the main loop runs. The default hands text-window lines to the
// user interface (platform/ui.h); the text-area code installs its own to keep the hot spots.
using OutputLineSink = void (*)(const OutputLine& line);
void set_output_line_sink(OutputLineSink sink);
void default_output_line_sink(const OutputLine& line);

// The edit window takes text directly; installed by the edit window code.
using EditWindowSink = void (*)(const char* text);
void set_edit_window_sink(EditWindowSink sink);

// The command line waiting to be recorded in the history: returns it (and marks it echoed) when
// there is one, else null. Installed by the command-line code.
using PendingEchoSource = const char* (*)();
void set_pending_echo_source(PendingEchoSource source);

void text_out(const char* text);
void text_line(const char* text);
void text_newline();
void text_spaces(int n);
void text_int(int value);
void text_number(double value);
void text_number_fmt(double value, int kind, int mode, int record);
void record_output_number(double value);
void text_hotspot(int item, int index);
void text_hotspot_cell(int item, int column, int row);
void text_hotspot_msg(int item, int index, int flag, int message);
void text_hotspot_text(int item, int column, int row, int flag, const char* text);
void text_sync_window();
void write_output_text(const char* text, bool markup);
void flush_output_line();
// Whether a started line waits to be ended (text or a hot spot written since the last end).
bool output_line_pending();
// Echo of command text: each line ">> " (outgoing) or "<< ", when the output goes to the
// current text window.
void echo_command_text(const char* text, bool outgoing);

// The text after an optional '-' and decimal digits, value set to the number; value 0 and the
// text itself when there are no digits.
const char* parse_int_prefix(const char* text, int* value);

// kind 0: 11 columns, kinds 1 and 2: long forms (2 trimmed), kind k >= 3: k - 3 digits;
// mode 0 automatic, 1 exponential, 2 fixed. The text lives until the next call.
const char* format_number(double value, int kind, int mode);
// The shortest text that reads back as exactly the same value ("7331.288", "50.0", "1e-7"): a
// value put on the command line for the user to edit or run, which loses nothing on the way.
// Not finite values read "0". The text lives until the next call.
const char* shortest_number_text(double value);

void print_list_columns(int columns);
// Message -74 with the value as its name.
void report_bad_value(int value);
void report_bad_value(double value);

// The store of printed numbers.
void output_rows_advance(int rows, int fill, double value);
void output_rows_mark(int restore);
double get_output_value(int row, int column);
// The number behind a printed number's hot spot of text window 1 or 2 (its item is the store's
// row + 1, its index the slot), with the row counted from the window's first stored row + 1.
double printed_number(int window, int item, int slot, int* row_number);
// The current row counted from the head (1-based), and the lines written since the last move.
int output_rows_current();
int output_lines_written();

// Types a text file: 512-byte pieces written to the text output as they stand (no markup), or
// with to_edit_window set into the edit window, whose title becomes the file name. 0, -7 when
// the file cannot be opened, -8 when reading fails.
inline constexpr std::size_t kTypePieceSize = 512;
int type_text_file(const char* path, int to_edit_window);

// Forgets all writer and store state (start of the program; tests).
void reset_text_output();
// The pending (unflushed) line, for tests and the window code.
std::string pending_output_line();
