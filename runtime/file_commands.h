// The command language's own files: at most three open streams, addressed by the handles 1 to
// 3, with raw reads and writes of variables and arrays, lines, seeks, removal and renaming,
// and formatted input by the program's own scanner (no user format reaches scanf). Every
// outcome, failures included, is an int result: a program tests it and goes on.
#pragma once

#include <string>

#include "tables/table_names.h"

inline constexpr int kFileHandles = 3;

// A C library mode as these commands accept it: r, w or a, then at most one each of '+', 'b'
// and 't'.
bool valid_file_mode(const char* mode);

int cmd_file_io();
int cmd_scan_input();
// Writes text to the open file of handle: the number of characters, or -162.
int write_file_text(int handle, const std::string& text);
// Closes every file (at the end of a run and in tests).
void close_all_files();
void install_file_commands();
