// The echo of lens entry and the printing routines of the lens listings: a command's keyword
// (its short name upper-cased, as a lens file writes it) followed by the value it stored, so
// that what entry prints reads like the lens file line that would make the same change.
#pragma once

// The keyword of a command or other symbol: its shorter name upper-cased, the context suffix
// and the trailing '_' of a numbered form cut ("rd_l" -> "RD", "sno_" -> "SNO").
const char* symbol_keyword(int symbol);

// Prints the keyword through the printf format, without a line end; also in update mode.
void print_symbol_name(const char* format, int symbol);
// The keyword through the format, a blank, the number in the current format and a line end.
// Nothing in single-command update mode (state flag 17); returns that flag.
int print_symbol_and_number(const char* format, int symbol, double value);
// The keyword through the format, nine blanks, the integer as "%3d" and a line end. Nothing in
// single-command update mode; returns that flag.
int print_symbol_and_integer(const char* format, int symbol, int value);
// A blank and the number in the current format (and a line end).
void print_number_cell(double value);
void print_number_cell_eol(double value);
// A line naming the current configuration when it is not the first, so that a report of a
// later configuration is not read as the lens's first.
void warn_multiple_configurations();

// The names the entry handlers know these printers by.
inline int print_message_and_number(const char* format, int command, double value) {
    return print_symbol_and_number(format, command, value);
}
inline int print_message_and_integer(const char* format, int command, int value) {
    return print_symbol_and_integer(format, command, value);
}
inline void print_message_text(const char* format, int command) {
    print_symbol_name(format, command);
}
