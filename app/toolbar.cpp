#include "app/toolbar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/table_files.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr int kNoBitmapHeight = 16;
// A picture larger than this is no button, start-up or About picture; refusing it keeps a
// damaged header from asking for gigabytes.
constexpr int kBitmapSideLimit = 512;

struct Toolbars {
    std::vector<ToolbarButton> buttons;
    std::vector<int> enabled;  // per item of the text store
    int last_height = kNoBitmapHeight + 2 * kToolbarMargin;
    int main_items = 0;  // items of the frame toolbar; the spreadsheet strip's follow them
};

struct InteractiveWindow {
    bool open = false;
    int saved_output = 0;
    PickHandler pick = nullptr;
    bool suspended = false;
    bool level = false;
    int identifier = 0;
    int cursor_state = 0;
};

// The toolbars, the interactive window, and the pick mapper.
struct ToolbarState {
    Toolbars bars;
    InteractiveWindow window;
    PickMapper mapper = nullptr;
};

ToolbarState g;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | b[at + static_cast<std::size_t>(k)];
    return v;
}

bool same(platform::Colour c, int r, int gr, int b) {
    return c.red == r && c.green == gr && c.blue == b;
}

// "[-][gap]bitmap[:key],tooltip": the parts of a strip entry's first text.
struct ToolbarEntry {
    bool group = false;
    int gap = 0;
    std::string bitmap;
    int key = 0;
    std::string tooltip;
};

ToolbarEntry parse_entry(const char* text) {
    ToolbarEntry e;
    const char* p = text != nullptr ? text : "";
    if (*p == '-') {
        e.group = true;
        ++p;
    }
    while (*p >= '0' && *p <= '9') e.gap = e.gap * 10 + (*p++ - '0');
    if (e.gap > 1000) e.gap = 1000;
    const char* comma = std::strchr(p, ',');
    std::string name = comma != nullptr ? std::string(p, comma) : std::string(p);
    if (comma != nullptr) e.tooltip = comma + 1;
    const std::size_t colon = name.find(':');
    if (colon != std::string::npos) {
        e.key = std::atoi(name.c_str() + colon + 1);
        if (e.key < 1 || e.key > 24) e.key = 0;
        name.resize(colon);
    }
    e.bitmap = name;
    return e;
}

int item_base(int message) {
    return message == kMsgSheetToolbar ? g.bars.main_items : 0;
}

int command_base(int message) {
    if (message == kMsgGraphicsToolbar) return kGraphicsToolCommandFirst;
    return kToolCommandFirst + item_base(message);
}

}  // namespace

// --- bitmaps ---------------------------------------------------------------------------------

int read_bitmap_file(const std::string& path, ToolbarBitmap& out) {
    out = ToolbarBitmap{};
    std::ifstream in(path, std::ios::binary);
    if (!in) return kMsgFileCannotOpen;
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return kMsgFileDamaged;
    const std::uint32_t data_offset = le(b, 10, 4);
    const std::uint32_t header = le(b, 14, 4);
    const auto width = static_cast<std::int32_t>(le(b, 18, 4));
    const auto raw_height = static_cast<std::int32_t>(le(b, 22, 4));
    const std::uint32_t bits = le(b, 28, 2);
    const std::uint32_t compression = le(b, 30, 4);
    std::uint32_t used = le(b, 46, 4);
    if (header < 40 || 14 + static_cast<std::size_t>(header) > b.size() || compression != 0) {
        return kMsgFileDamaged;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return kMsgFileDamaged;
    const bool top_down = raw_height < 0;
    const int height = top_down ? -raw_height : raw_height;
    if (width <= 0 || height <= 0 || width > kBitmapSideLimit || height > kBitmapSideLimit) {
        return kMsgFileDamaged;
    }
    if (bits != 24) {
        const std::uint32_t most = 1u << bits;
        if (used == 0 || used > most) used = most;
        const std::size_t table_at = 14 + header;
        if (table_at + 4 * static_cast<std::size_t>(used) > b.size()) return kMsgFileDamaged;
        for (std::uint32_t k = 0; k < used; ++k) {
            const std::size_t at = table_at + 4 * k;
            out.colour_table.push_back({b[at + 2], b[at + 1], b[at]});
        }
    }
    const std::size_t row_bytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (data_offset > b.size() || row_bytes * height > b.size() - data_offset) {
        return kMsgFileDamaged;
    }
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * height);
    if (bits != 24) out.indices.resize(out.pixels.size());
    for (int row = 0; row < height; ++row) {
        const int file_row = top_down ? row : height - 1 - row;
        const std::size_t start = data_offset + row_bytes * static_cast<std::size_t>(file_row);
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(row) * width + x;
            if (bits == 24) {
                const std::size_t p = start + 3 * static_cast<std::size_t>(x);
                out.pixels[at] = {b[p + 2], b[p + 1], b[p]};
                continue;
            }
            const std::size_t bit = static_cast<std::size_t>(x) * bits;
            const std::uint8_t byte = b[start + bit / 8];
            const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
            const auto index = static_cast<std::uint8_t>((byte >> shift) & ((1u << bits) - 1));
            // An index beyond the table is a damaged file.
            if (index >= out.colour_table.size()) return kMsgFileDamaged;
            out.indices[at] = index;
            out.pixels[at] = out.colour_table[index];
        }
    }
    return 0;
}

void map_toolbar_colours(platform::Colour* table, int count) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || table == nullptr) return;
    using platform::SystemColour;
    for (int k = 0; k < count; ++k) {
        platform::Colour& c = table[k];
        if (same(c, 0, 0, 0)) {
            c = ui->system_colour(SystemColour::button_text);
        } else if (same(c, 128, 128, 128)) {
            c = ui->system_colour(SystemColour::button_shadow);
        } else if (same(c, 192, 192, 192)) {
            c = ui->system_colour(SystemColour::button_face);
        } else if (same(c, 223, 223, 223)) {
            c = ui->system_colour(SystemColour::button_highlight);
        }
    }
}

int load_toolbar_bitmap(const char* name, ToolbarBitmap& out, int* width, int* height) {
    const std::string path = root_folder() + "/bin/bma/" + (name != nullptr ? name : "") + ".bmp";
    const int r = read_bitmap_file(path, out);
    if (r != 0) return r;
    if (!out.colour_table.empty()) {
        map_toolbar_colours(out.colour_table.data(), static_cast<int>(out.colour_table.size()));
        for (std::size_t k = 0; k < out.pixels.size(); ++k) {
            out.pixels[k] = out.colour_table[out.indices[k]];
        }
    } else {
        // A true-colour picture has no table: its pixels are mapped one by one.
        map_toolbar_colours(out.pixels.data(), static_cast<int>(out.pixels.size()));
    }
    if (width != nullptr) *width = out.width;
    if (height != nullptr) *height = out.height;
    return 0;
}

// --- strips ----------------------------------------------------------------------------------

int create_toolbar(int parent, int x, int y, int message) {
    (void)y;  // the backend lays its strip out itself
    if (message == 0) return g.bars.last_height;
    platform::UiBackend* ui = ui_or_null();
    if (open_lists_file(0) != 0) return g.bars.last_height;
    const int list = find_list(msg_text(message), true);
    if (list < 0) return g.bars.last_height;
    // The list that was current (a parameter's value list) is current again afterwards.
    const int previous_list = current_list();
    select_list(list);
    int count = current_list_count();
    if (count > kToolbarEntryLimit) count = kToolbarEntryLimit;

    // The entries are read before anything is registered: registering selects no other list,
    // but the strip's texts must all be known for the text block's size.
    struct Entry {
        ToolbarEntry spec;
        std::string command;
    };
    std::vector<Entry> entries;
    for (int k = 0; k < count; ++k) {
        const char* second = current_list_second(k);
        entries.push_back({parse_entry(current_list_first(k)), second != nullptr ? second : ""});
    }

    select_list(previous_list);
    if (ui != nullptr) ui->clear_tool_strip(parent);
    std::erase_if(g.bars.buttons, [parent](const ToolbarButton& b) { return b.window == parent; });
    int names = 0;
    int seconds = 0;
    int tallest = 0;
    int running_x = x;
    const int base = command_base(message);
    std::vector<ToolbarButton> made;
    if (g.bars.enabled.size() < static_cast<std::size_t>(kToolbarItemLimit)) {
        g.bars.enabled.assign(static_cast<std::size_t>(kToolbarItemLimit), 0);
    }
    for (int k = 0; k < count; ++k) {
        const Entry& e = entries[static_cast<std::size_t>(k)];
        // A group starts after a gap of at least the group margin.
        int gap = e.spec.gap;
        if (e.spec.group && gap < kToolbarGroupMargin) gap = kToolbarGroupMargin;
        running_x += gap;
        ToolbarBitmap bitmap;
        int w = 0;
        int h = 0;
        // A missing picture leaves its button out.
        if (load_toolbar_bitmap(e.spec.bitmap.c_str(), bitmap, &w, &h) != 0) continue;
        ToolbarButton button;
        button.name = e.command;
        button.second = e.spec.tooltip;
        button.x = running_x;
        button.width = w;
        button.height = h;
        button.control = base + k;
        button.window = parent;
        if (ui != nullptr) {
            platform::ToolButton tool;
            tool.id = button.control;
            tool.x = button.x;
            tool.width = w;
            tool.height = h;
            tool.pixels = std::move(bitmap.pixels);
            tool.tooltip = button.second;
            if (ui->add_tool_button(parent, tool) == 0) {
                ui->enable_tool_button(parent, tool.id, false);
            }
        }
        running_x += w;
        if (h > tallest) tallest = h;
        names += static_cast<int>(button.name.size()) + 1;
        seconds += static_cast<int>(button.second.size()) + 1;
        made.push_back(std::move(button));
    }

    // The text store registers the buttons' commands with their conditions and keys.
    toolbar_text_store(message == kMsgGraphicsToolbar ? -2 : -1, names, seconds, 0, nullptr);
    const int first_item = item_base(message);
    for (std::size_t k = 0; k < made.size(); ++k) {
        ToolbarButton& button = made[k];
        const int position = button.control - base;
        const int key = entries[static_cast<std::size_t>(position)].spec.key;
        const int item = first_item + position;
        toolbar_text_store(item, 1, key, button.control, button.name.c_str());
        toolbar_text_store(item, 0, 0, 0, button.second.c_str());
        button.item = message == kMsgGraphicsToolbar ? -1 : item;
        // A newly registered item starts disabled until its condition is evaluated.
        if (button.item >= 0 && button.item < kToolbarItemLimit) {
            g.bars.enabled[static_cast<std::size_t>(button.item)] = 0;
        }
        g.bars.buttons.push_back(std::move(button));
    }
    if (message == kMsgMainToolbar) g.bars.main_items = count;
    g.bars.last_height = (tallest > 0 ? tallest : kNoBitmapHeight) + 2 * kToolbarMargin;
    refresh_toolbar_states();
    return g.bars.last_height;
}

const std::vector<ToolbarButton>& toolbar_buttons() {
    return g.bars.buttons;
}

void refresh_toolbar_states() {
    platform::UiBackend* ui = ui_or_null();
    const int count = toolbar_item_count();
    if (g.bars.enabled.size() < static_cast<std::size_t>(kToolbarItemLimit)) {
        g.bars.enabled.assign(static_cast<std::size_t>(kToolbarItemLimit), 0);
    }
    for (int item = 0; item < count && item < kToolbarItemLimit; ++item) {
        int enabled = 0;
        const int control = toolbar_item_state_changed(item, &enabled);
        if (control == kNoControl) continue;
        g.bars.enabled[static_cast<std::size_t>(item)] = enabled;
        for (const ToolbarButton& b : g.bars.buttons) {
            if (b.control == control && b.item == item && ui != nullptr) {
                ui->enable_tool_button(b.window, control, enabled != 0);
            }
        }
    }
}

bool run_toolbar_command(int window, int command) {
    for (const ToolbarButton& b : g.bars.buttons) {
        if (b.window != window || b.control != command) continue;
        const bool enabled = b.item < 0 || (b.item < static_cast<int>(g.bars.enabled.size()) &&
                                            g.bars.enabled[static_cast<std::size_t>(b.item)] != 0);
        if (!enabled) {
            beep();
            return true;
        }
        const std::string line = b.name;  // the submitted line may rebuild the strip
        submit_command_line(line.c_str());
        return true;
    }
    return false;
}

void reset_toolbars() {
    g = ToolbarState{};
}

// --- the interactive window ------------------------------------------------------------------

void set_pick_mapper(PickMapper mapper) {
    g.mapper = mapper;
}

void start_interactive_window(const char* title, int identifier, PickHandler pick,
                              LevelHandler level) {
    if (g.window.open) return;
    g.window.identifier = -identifier;
    g.window.pick = pick;
    if (platform::UiBackend* ui = ui_or_null()) {
        ui->set_window_title(platform::kWindowGraphicsText, title != nullptr ? title : "");
    }
    open_interactive_window();
    if (level != nullptr) {
        g.window.level = true;
        if (push_command_level(level, 0, 0) == 0) set_level_option();
    }
}

void open_interactive_window() {
    if (g.window.open) return;
    // Made when first needed, so that a hidden popup does not take the focus at start.
    create_graphics_text_window(post_pick_event);
    show_window(1, platform::kWindowGraphicsText);
    g.window.saved_output = output_window();
    g.window.open = true;
    set_output_window(platform::kWindowFrame);
}

void close_interactive_window() {
    if (!g.window.open) return;
    g.window.open = false;
    clear_listing_stop();
    set_output_window(g.window.saved_output);
}

void end_interactive_window() {
    g.window.level = false;
    g.window.cursor_state = 3;
    close_interactive_window();
    if (g.window.pick != nullptr) {
        GridEvent e;
        e.code = kLevelEventChange;
        g.window.pick(e);
    }
    g.window.suspended = false;
    hide_window(platform::kWindowGraphicsText);
}

void post_pick_event(std::uint32_t point) {
    if (g.window.suspended || g.window.pick == nullptr) return;
    const int px = static_cast<std::int16_t>(point & 0xFFFF);
    const int py = static_cast<std::int16_t>(point >> 16);
    GridEvent e;
    e.code = 1;
    e.first_index = -1;
    e.argument = 0;
    if (g.mapper != nullptr) {
        g.mapper(px, py, &e.pick_x, &e.pick_y);
    } else {
        e.pick_x = px;
        e.pick_y = py;
    }
    const int r = g.window.pick(e);
    if (r != 0) show_error(r);
}

void suspend_picking(bool suspended) {
    g.window.suspended = suspended;
}

bool interactive_window_open() {
    return g.window.open;
}

bool interactive_level_flag() {
    return g.window.level;
}

int interactive_pick_identifier() {
    return g.window.identifier;
}

int cursor_state_word() {
    return g.window.cursor_state;
}

namespace {
const platform::StateReset toolbar_state_reset{"app/toolbar", reset_toolbars,
                                               platform::ResetLayer::app};
}  // namespace
