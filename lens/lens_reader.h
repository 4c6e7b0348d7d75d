// The lens file reader: makes the lens of a lens file the current lens by running its lines as
// lens data (runtime/lens_data_guard.h), exactly as if they were typed, with the header checked
// first. A failing line is reported with its line number and reading goes on (inside a
// variables or operands section after skipping to its "END"); the lens is brought up to date
// afterwards whatever happened.
#pragma once

#include <string>
#include <vector>

#include "tables/table_names.h"

// What brings the lens up to date after reading (the lens set-up, installed from above this
// layer); null: nothing.
using LensReadFinisher = int (*)();
void set_lens_read_finisher(LensReadFinisher finisher);

// Runs the lines of a lens file (line ends stripped). 0, or -9998 after -1244 (no header) or
// -324 (more surfaces than the program holds). With comment, the first "// " line after the
// header is copied into it.
int read_lens_lines(const std::vector<std::string>& lines, std::string* comment = nullptr);

// An old file's indices of a surface (the TN5 line), kept until the file has been read: the
// surface then gets a model glass "SRF<n>GL" of them at the file's wavelengths, unless it holds
// a catalogue glass.
void keep_old_surface_indices(int surface, const std::vector<double>& indices);

// Reads the file at path: -1142 with the path when it cannot be read, else as read_lens_lines.
int read_lens_file(const std::string& path, std::string* comment = nullptr);
