// Writing the running command back as command text: its name and its given arguments, each
// in the form that reads back as the same call (list words by their word, texts quoted,
// numbers by the program's number format).
#pragma once

#include <cstddef>
#include <string>

#include "tables/table_names.h"

// Appends the current command's name and its given arguments from first_arg on to out; the
// number of the first argument not written.
int format_command_text(std::string& out, int first_arg);

// Copies a command text into a fixed field of size bytes (terminator included); a text that
// does not fit is refused (-9998 with the limit in the error text) and the field is unchanged.
int copy_command_text(char* field, std::size_t size, const std::string& text);
