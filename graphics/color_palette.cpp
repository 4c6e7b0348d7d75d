#include "graphics/color_palette.h"

#include <cstdio>
#include <vector>

#include "graphics/draw_primitives.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"

namespace {

// The colour table and whether it has been built.
struct ColourPaletteState {
    ColourTable table;
    bool built = false;
};

ColourPaletteState g_palette;

std::uint32_t palette_value(platform::Colour c) {
    return 0x02000000u | (static_cast<std::uint32_t>(c.blue) << 16) |
           (static_cast<std::uint32_t>(c.green) << 8) | c.red;
}

// The list named by the first message, else by the second; -1 when neither exists.
int colour_list(int message, int fallback) {
    if (open_lists_file(0) != 0) return -1;
    for (int m : {message, fallback}) {
        const char* name = msg_text(m);
        if (name == nullptr || name[0] == '\0') continue;
        const int list = find_list(name, false);
        if (list >= 0) return list;
    }
    return -1;
}

}  // namespace

int create_color_palette(bool white_background) {
    const platform::Colour white{255, 255, 255};
    const platform::Colour black{0, 0, 0};
    ColourTable table;
    table.white_background = white_background;
    table.colours.fill(white_background ? black : white);
    table.colours[0] = white_background ? white : black;
    const int list = white_background
                         ? colour_list(kMsgWhiteColourList, kMsgWhiteColourListStandard)
                         : colour_list(kMsgBlackColourList, kMsgBlackColourListStandard);
    int highest = 1;
    if (list >= 0) {
        select_list(list);
        for (int k = 0; k < current_list_count(); ++k) {
            const char* index_text = current_list_second(k);
            int index = 0;
            char extra = 0;
            if (index_text == nullptr || std::sscanf(index_text, "%d%c", &index, &extra) != 1) {
                continue;
            }
            if (index < 1 || index >= kPaletteSize) continue;
            int red = 0, green = 0, blue = 0;
            if (std::sscanf(skip_brace_prefix(current_list_first(k)), "%d %d %d", &red, &green,
                            &blue) != 3) {
                continue;
            }
            auto channel = [](int v) {
                return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            };
            table.colours[index] = {channel(red), channel(green), channel(blue)};
            if (index > highest) highest = index;
        }
    }
    table.count = highest + 1;
    for (int k = 0; k < kPaletteSize; ++k) table.values[k] = palette_value(table.colours[k]);
    const bool rebuild = g_palette.built;
    g_palette.table = table;
    g_palette.built = true;
    // The windows draw with these colours: without them a white background kept the pens
    // meant for black, and colour 1 drew white on white.
    set_graphics_colour_table(
        std::vector<platform::Colour>(table.colours.begin(), table.colours.begin() + table.count));
    set_graphics_white_background(white_background);
    if (platform::UiBackend* ui = platform::current_ui(); ui != nullptr && rebuild) {
        for (int w = platform::kWindowGraphicsFirst; w <= platform::kWindowGraphicsText; ++w) {
            if (ui->window_exists(w) && ui->window_visible(w)) ui->invalidate(w);
        }
    }
    return table.count;
}

const ColourTable& colour_table() {
    return g_palette.table;
}

void reset_colour_table() {
    g_palette.table = ColourTable{};
    g_palette.built = false;
}

namespace {
const platform::StateReset color_palette_state_reset{"graphics/color_palette", reset_colour_table,
                                                     platform::ResetLayer::graphics};
}  // namespace
