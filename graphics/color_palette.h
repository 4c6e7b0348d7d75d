// The colour table of the graphics: 256 entries by palette index, colour 0 the background. It is
// built from a colour list of the lists table chosen by the background (white: the list named by
// message -150, else by -207; black: -73, else -206) and built again when the background
// setting changes.
#pragma once

#include <array>
#include <cstdint>

#include "platform/ui.h"
#include "tables/table_names.h"

inline constexpr int kPaletteSize = 256;

struct ColourTable {
    std::array<platform::Colour, kPaletteSize> colours{};
    // The same colours as palette-relative values, 0x02bbggrr.
    std::array<std::uint32_t, kPaletteSize> values{};
    int count = 2;  // the highest index defined + 1, at least 2
    bool white_background = true;
};

// Builds the table (again): every entry not in the list is black on white, white on black.
// Open graphics windows (7 to 16) are repainted when the table was built before. The count.
int create_color_palette(bool white_background);
const ColourTable& colour_table();
void reset_colour_table();
