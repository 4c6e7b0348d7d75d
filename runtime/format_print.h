// The command language's printf family: one composer builds a text from a format and the
// argument cells, typed by the cells (a conversion that does not match its value is copied as
// it stands), and the command number chooses where the text goes: the text output, the status
// field, a question, a text variable or an open file.
#pragma once

#include <string>

#include "tables/table_names.h"

// How a composed double without width or precision digits reaches the text output.
enum class NumberSink { inline_text, text_output };

// Composes the format with the given cells from first on (only cells the caller gave count).
// With NumberSink::text_output the text so far is written to the text output before each
// double, and doubles go through the program's number output (recorded, hot spots).
std::string compose_format(const char* format, int first, NumberSink sink);
// Prints the arguments from first on without a format to the text output: texts as they are,
// doubles by the program's number output, ints as "%3d", one blank between them, a line end.
void print_plain(int first);

int cmd_format_print();
void install_format_print();

// The writer of command 177: writes text to the open file handle; the number of characters
// written or a negative message number. Installed by the file commands.
using FileTextWriter = int (*)(int handle, const std::string& text);
void set_file_text_writer(FileTextWriter writer);
// Appends the formatted-output buffer to the current graphics window as raw plotter text; the
// graphics code installs it (null: such text goes nowhere).
void set_graphics_hpgl_writer(void (*write_buffer)());
