// Tables built from text sources for one test, and the console the tests drive: the table
// builder the build made, run on a sources folder, and the reading of what it wrote.
#pragma once

#include <filesystem>
#include <iosfwd>

#include "platform/console/console_backend.h"

namespace tavo_test {

// The table builder of this build.
std::filesystem::path table_builder_path();

// Builds the tables from the text sources into amo (a ROOT's bin/amo), with the built stroke
// font beside them: 0, or the builder's exit status (-1 when the font cannot be copied).
int build_tables(const std::filesystem::path& sources, const std::filesystem::path& amo);

// Reads ROOT's folders, the message table and the definitions: 0 or the first failure.
int load_built_tables();

// Console options over the test's streams, with the clock moved only by the test.
platform::ConsoleOptions test_console_options(std::istream& input, std::ostream& output,
                                              std::ostream& errors);

}  // namespace tavo_test
