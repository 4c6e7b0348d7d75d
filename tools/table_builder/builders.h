// The table kinds the builder writes and dumps. Each build function reads its sources, checks
// them, and produces the table bytes; a failure comes back as "file:line: reason".
#pragma once

#include <string>
#include <vector>

#include "runtime/table_format.h"

// The definitions table; with code, the code table of the procedures the sources define.
bool build_definitions(const std::vector<std::string>& sources, Bytes& out, std::string& error,
                       Bytes* code = nullptr);
bool build_messages(const std::string& source, Bytes& out, std::string& error);
bool build_lists(const std::string& source, Bytes& out, std::string& error);
bool build_help(const std::string& source, Bytes& out, std::string& error);
// Set 1 from the printable glyphs and markers, set 2 from the symbol font.
bool build_font(const std::string& hershey_folder, Bytes& out, std::string& error);

// Prints a table back in its source form; false with error when the table is damaged.
bool dump_table(const Bytes& table, const std::string& file_name, std::string& text,
                std::string& error);
