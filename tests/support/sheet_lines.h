// The lines a sheet writes, kept with their hot spots as the grid reads them: a test installs
// keep_sheet_line as the output-line sink and reads sheet_lines() afterwards.
#pragma once

#include <string>
#include <vector>

#include "runtime/text_output.h"

namespace tavo_test {

// One hot spot of a written line: its item with the kind bits, its index and the text it
// covers.
struct SheetCell {
    int item = 0;
    int index = 0;
    std::string text;
};
struct SheetLine {
    std::string text;
    std::vector<SheetCell> cells;
};

// The line with its hot spots decoded (6 bytes each: item, index, first and last column).
SheetLine decode_sheet_line(const OutputLine& line);
// An output-line sink that keeps each line, then hands it on to the default sink.
void keep_sheet_line(const OutputLine& line);
std::vector<SheetLine>& sheet_lines();

}  // namespace tavo_test
