#include "ui/grid_cells.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/state_reset.h"
#include "runtime/text_output.h"

namespace {

GridState g_grid;

constexpr int kNumberCellWidth = 11;  // the width of the program-wide number format

// Writes a formatted text into the cell: exactly width characters, padded with blanks. When the
// line ended inside the cell it ends after the cell now. A text that does not fit is shown as
// '*' characters instead of spilling into the next cell.
void write_cell_text(GridCell& cell, const char* text, bool number) {
    if (cell.text == nullptr || cell.width <= 0) return;
    const auto width = static_cast<std::size_t>(cell.width);
    const bool line_ends_inside = std::memchr(cell.text, '\0', width) != nullptr;
    const std::size_t length = std::strlen(text);
    if (number && length > width) {
        std::memset(cell.text, '*', width);
    } else {
        const std::size_t n = length < width ? length : width;
        std::memmove(cell.text, text, n);
        std::memset(cell.text + n, ' ', width - n);
    }
    if (line_ends_inside) cell.text[width] = '\0';
}

int int_caret_offset(int width) {
    return width < 5 ? 2 : width < 7 ? 4 : 6;
}

}  // namespace

void encode_grid_entry(const GridCellEntry& entry, std::uint8_t out[kGridEntrySize]) {
    out[0] = static_cast<std::uint8_t>(entry.field_code >> 8);
    out[1] = static_cast<std::uint8_t>(entry.field_code);
    out[2] = static_cast<std::uint8_t>(entry.field_index >> 8);
    out[3] = static_cast<std::uint8_t>(entry.field_index);
    out[4] = entry.first_column;
    out[5] = entry.end_column;
}

GridCellEntry decode_grid_entry(const std::uint8_t in[kGridEntrySize]) {
    GridCellEntry e;
    e.field_code = static_cast<std::uint16_t>(in[0] << 8 | in[1]);
    e.field_index = static_cast<std::uint16_t>(in[2] << 8 | in[3]);
    e.first_column = in[4];
    e.end_column = in[5];
    return e;
}

GridState& grid_state() {
    return g_grid;
}

void reset_grid_state() {
    g_grid = GridState{};
}

bool grid_cell_in_edit() {
    return g_grid.edit_state >= kGridSelected && g_grid.current.text != nullptr;
}

std::string grid_format_double(double value, int width, int decimals, int style) {
    const char conversion = style == kGridStyleFixed ? 'f' : 'e';
    auto format = [&](int places) {
        char conversion_text[32];
        std::snprintf(conversion_text, sizeof conversion_text, "%%%d.%d%c", width, places,
                      conversion);
        char text[512];
        std::snprintf(text, sizeof text, conversion_text, value);
        return std::string(text);
    };
    if (decimals < 0) decimals = 0;
    std::string text = format(decimals);
    const int excess = static_cast<int>(text.size()) - width;
    if (excess > 0 && decimals - excess >= 0) text = format(decimals - excess);
    return text;
}

void grid_format_edit_value(bool place_caret) {
    GridCell& cell = g_grid.current;
    if (cell.text == nullptr) return;
    char text[512];
    switch (cell.value_type) {
        case kGridValueInt: {
            const char* f = cell.width < 5 ? "%3d" : cell.width < 7 ? "%5d" : "%7d";
            std::snprintf(text, sizeof text, f, cell.value.i);
            write_cell_text(cell, text, true);
            if (place_caret) cell.caret_column = cell.first_column + int_caret_offset(cell.width);
            break;
        }
        case kGridValueDouble: {
            if (cell.width == kNumberCellWidth) {
                std::snprintf(text, sizeof text, "%s", format_number(cell.value.d, 0, 0));
            } else {
                const std::string s =
                    grid_format_double(cell.value.d, cell.width, cell.decimals, cell.number_style);
                std::snprintf(text, sizeof text, "%s", s.c_str());
            }
            write_cell_text(cell, text, true);
            if (place_caret) {
                const char* point = std::strchr(text, '.');
                if (point != nullptr && point - text < cell.width) {
                    cell.caret_column = cell.first_column + static_cast<int>(point - text) + 1;
                }
            }
            break;
        }
        case kGridValueText: {
            // The text is the cell's own characters up to the line's end, if that comes first.
            const auto width = static_cast<std::size_t>(cell.width > 0 ? cell.width : 0);
            const void* end = std::memchr(cell.text, '\0', width);
            const std::size_t n =
                end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - cell.text)
                               : width;
            std::memcpy(text, cell.text, n);
            text[n] = '\0';
            write_cell_text(cell, text, false);
            break;
        }
        default:
            break;
    }
}

void grid_set_cell_text(const char* text) {
    write_cell_text(g_grid.current, text != nullptr ? text : "", false);
}

void grid_save_cell_text() {
    const GridCell& cell = g_grid.current;
    std::size_t n = 0;
    if (cell.text != nullptr && cell.width > 0) {
        n = strnlen(cell.text, static_cast<std::size_t>(cell.width));
        n = std::min(n, sizeof g_grid.saved_text - 1);
        std::memcpy(g_grid.saved_text, cell.text, n);
    }
    g_grid.saved_text[n] = '\0';
}

void grid_end_edit() {
    g_grid.edit_state = kGridIdle;
    g_grid.edit_scroll = 0;
}

namespace {
const platform::StateReset grid_cells_state_reset{"ui/grid_cells", reset_grid_state,
                                                  platform::ResetLayer::ui};
}  // namespace
