#include "tests/support/sheet_lines.h"

#include <cstdint>

namespace tavo_test {

SheetLine decode_sheet_line(const OutputLine& line) {
    SheetLine kept;
    kept.text = line.text;
    for (std::size_t k = 0; k + 6 <= line.hotspots.size(); k += 6) {
        const std::uint8_t* h = &line.hotspots[k];
        SheetCell cell;
        cell.item = (h[0] << 8) | h[1];
        cell.index = (h[2] << 8) | h[3];
        const std::size_t from = h[4], to = h[5];
        if (to >= from && to <= line.text.size()) cell.text = line.text.substr(from, to - from);
        kept.cells.push_back(cell);
    }
    return kept;
}

std::vector<SheetLine>& sheet_lines() {
    static std::vector<SheetLine> lines;
    return lines;
}

void keep_sheet_line(const OutputLine& line) {
    sheet_lines().push_back(decode_sheet_line(line));
    default_output_line_sink(line);
}

}  // namespace tavo_test
