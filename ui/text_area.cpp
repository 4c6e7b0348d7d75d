#include "ui/text_area.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

constexpr int kOutOfMemory = -10;
constexpr int kFlagTextWindowHasLines = 4;

struct Areas {
    TextArea table[kTextAreaCount];
    TextArea header;
    int current = -1;
    int output_area = 1;
    bool new_page = true;  // the run starts on a fresh page
    bool overflow = false;
    bool held = false;
    int selected_list_line = -1;
    ListSelectionCallback list_callback = nullptr;
    int stale_bars = -1;
    // Ring index of the first line of the current page, per text window (-1: none).
    int page_mark[3] = {-1, -1, -1};
    std::deque<OutputLine> held_lines;
    GridLinePainter grid_painter = nullptr;
    GridScrollLimiter grid_limiter = nullptr;
    GridInputHandler grid_input;
    void (*grid_cleared)(int area) = nullptr;
    int (*sheet_shower)(int rows, int mode) = nullptr;
    int sheet_rows_shown = -1;
    // Painting goes to the paint context while a paint message is handled.
    platform::DeviceContext* paint_dc = nullptr;
};

Areas g;

TextArea* record(int area) {
    if (area == kHeaderArea) return &g.header;
    if (area < 0 || area >= kTextAreaCount) return nullptr;
    return &g.table[area];
}

TextArea* current() {
    return record(g.current);
}

platform::DeviceContext* dc_of(const TextArea& a) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || a.window < 0 || !ui->window_exists(a.window)) return nullptr;
    return ui->device_context(a.window);
}

platform::DeviceContext* drawing_dc(const TextArea& a) {
    return g.paint_dc != nullptr ? g.paint_dc : dc_of(a);
}

int wrap(const TextArea& a, int index) {
    if (a.capacity <= 0) return 0;
    index %= a.capacity;
    return index < 0 ? index + a.capacity : index;
}

int row_y(const TextArea& a, int row) {
    return a.top_margin + row * a.line_height;
}

void blank(platform::DeviceContext& dc, const TextArea& a, platform::Rect r) {
    dc.fill_rect(r, a.background);
}

bool is_page_mode() {
    return output_option(kOptionPageMode) != 0;
}

bool is_current_output(int area) {
    return area == g.output_area;
}

void set_bar(int window, platform::ScrollBar bar, const platform::ScrollInfo& info) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->window_exists(window)) return;
    if (ui->scroll_info(window, bar) == info) return;  // set only when something changed
    ui->set_scroll_info(window, bar, info);
}

void paint_plain(TextArea& a, platform::DeviceContext& dc, int y, int ring_index, bool blank_rest) {
    const char* text = a.line_text(ring_index);
    const int x = a.left_margin - a.horizontal_offset * a.char_width;
    const bool selected = &a == &g.table[kListArea] && ring_index == g.selected_list_line;
    const platform::Rect row{0, y, a.surface_width, y + a.line_height};
    if (selected) {
        dc.fill_rect(row, a.text_colour);
        dc.set_text_colour(a.background);
    } else {
        dc.set_text_colour(a.text_colour);
    }
    const int length = static_cast<int>(std::strlen(text));
    if (!selected) {
        // The row is blanked under the text first: the surface keeps older pixels otherwise.
        const int right = blank_rest ? a.surface_width : x + length * a.char_width;
        blank(dc, a, {a.left_margin, y, std::max(a.left_margin, right), y + a.line_height});
    }
    if (length > 0) dc.text_out({x, y + a.baseline - dc.text_metrics().ascent}, text);
    dc.set_text_colour(a.text_colour);
    // Text scrolled left must not show in the margin.
    blank(dc, a, {0, y, a.left_margin, y + a.line_height});
}

}  // namespace

int TextArea::newest() const {
    return capacity > 0 ? (first_line + line_count - 1 + capacity) % capacity : 0;
}

int TextArea::position_of(int ring_index) const {
    if (capacity <= 0) return 0;
    return ((ring_index - first_line) % capacity + capacity) % capacity;
}

const char* TextArea::line_text(int ring_index) const {
    if (capacity <= 0 || ring_index < 0 || ring_index >= capacity) return "";
    return text.data() + static_cast<std::size_t>(ring_index) * (columns + 1);
}

const std::uint8_t* TextArea::line_attributes(int ring_index) const {
    if (capacity <= 0 || ring_index < 0 || ring_index >= capacity) return nullptr;
    return attributes.data() + static_cast<std::size_t>(ring_index) * attribute_bytes;
}

int textarea_create(int window, int area, const FontMetricsCell& font, int capacity,
                    int visible_lines, int columns) {
    TextArea* a = record(area);
    if (a == nullptr || area == kHeaderArea) return kOutOfMemory;
    *a = TextArea{};
    a->window = window;
    a->is_grid_area = area == kSheetArea || area == kGridTextArea;
    a->char_width = std::max(1, font.char_width);
    a->char_height = std::max(1, font.char_height);
    a->baseline = font.ascent;
    a->left_margin = a->is_grid_area ? 4 : 2;
    a->top_margin = a->is_grid_area ? 3 : 2;
    a->line_height = a->char_height + (a->is_grid_area ? 7 : 1);
    a->visible_lines = std::max(1, visible_lines);
    a->capacity = std::max(capacity, a->visible_lines);
    a->columns = std::max(1, columns);
    a->attribute_bytes = area == kListArea ? 1 : (a->is_grid_area ? 91 : 61);
    a->surface_width = a->columns * a->char_width + 2 * a->left_margin;
    a->surface_height = a->visible_lines * a->line_height + (a->is_grid_area ? 0 : 3);
    a->visible_columns = a->columns;
    if (platform::UiBackend* ui = platform::current_ui()) {
        a->background = ui->system_colour(platform::SystemColour::button_highlight);
        a->text_colour = ui->system_colour(platform::SystemColour::button_text);
    }
    try {
        a->text.assign(static_cast<std::size_t>(a->capacity) * (a->columns + 1), '\0');
        a->attributes.assign(static_cast<std::size_t>(a->capacity) * a->attribute_bytes, 0);
        if (area == kSheetArea) {
            g.header = *a;
            g.header.capacity = kHeaderCapacity;
            g.header.visible_lines = 0;
            g.header.text.assign(static_cast<std::size_t>(kHeaderCapacity) * (a->columns + 1),
                                 '\0');
            g.header.attributes.assign(
                static_cast<std::size_t>(kHeaderCapacity) * a->attribute_bytes, 0);
            g.header.made = true;
        }
    } catch (const std::bad_alloc&) {
        *a = TextArea{};
        return kOutOfMemory;
    }
    a->made = true;
    a->vertical_bar = area != kGridTextArea;
    a->horizontal_bar = area == 1 || area == 2;
    g.current = area;
    textarea_update_scrollbar(area);
    return 0;
}

TextArea* textarea(int area) {
    TextArea* a = record(area);
    return a != nullptr && a->made ? a : nullptr;
}

void textarea_select_area(int area) {
    if (area < 0) {
        g.current = -1;  // none, as before any area was used
    } else if (record(area) != nullptr) {
        g.current = area;
    }
}

int current_textarea_number() {
    return g.current;
}

int textarea_clear(int area, int keep_position) {
    TextArea* a = textarea(area);
    if (a == nullptr) return area;
    if (a->is_grid_area && keep_position >= 0 && g.grid_cleared != nullptr) g.grid_cleared(area);
    textarea_select_area(area);
    if (platform::DeviceContext* dc = dc_of(*a); dc != nullptr && a->line_count > 0) {
        blank(*dc, *a, {0, 0, dc->size().width, dc->size().height});
    }
    if (keep_position < 0) return area;
    a->text[0] = '\0';
    a->attributes[0] = 0;
    a->line_count = 0;
    a->first_line = 0;
    a->widest_line = 0;
    a->horizontal_offset = 0;
    if (keep_position != 1) a->top_line = 0;
    if (area >= 1 && area <= 2) g.page_mark[area] = -1;
    if (area == kSheetArea && g.header.made) {
        g.header.line_count = 0;
        g.header.first_line = 0;
        g.header.top_line = 0;
        g.header.text[0] = '\0';
    }
    if (area == kListArea) g.selected_list_line = -1;
    if (area >= 0 && area <= kGridTextArea) set_output_window(area);
    g.overflow = false;
    textarea_update_scrollbar(area);
    return area;
}

void textarea_append_line(int area, int attribute_count, std::string_view text,
                          const std::uint8_t* attributes) {
    TextArea* a = textarea(area);
    if (a == nullptr) return;
    platform::UiBackend* ui = platform::current_ui();
    if (area == kListArea &&
        (ui == nullptr || !ui->window_visible(platform::kWindowGraphicsText))) {
        return;
    }
    textarea_select_area(area);
    if (area == kSheetArea && g.header.made && g.header.line_count < g.header.visible_lines) {
        a = &g.header;
        g.current = kHeaderArea;
    }
    const bool output = is_current_output(area) && (area == 1 || area == 2);
    int index = 0;
    bool starts_page = false;
    if (!output) {
        if (a->line_count >= a->capacity) {
            g.overflow = true;
            return;
        }
        ++a->line_count;
        index = a->line_count - 1;
    } else {
        if (is_page_mode()) {
            if (!g.new_page) {
                if (a->page_lines_left <= 0) return;
                --a->page_lines_left;
            } else if (!text.empty()) {
                a->page_lines_left = kPageLinesStart;
                starts_page = true;
            }
        } else if (a->line_count > a->visible_lines &&
                   a->position_of(a->top_line) + a->visible_lines < a->line_count) {
            // The view is not at the end: show the newest lines first.
            textarea_scroll_to(wrap(*a, a->newest() - a->visible_lines + 1), 0, 0, true);
            textarea_update_scrollbar(area);
        }
        if (a->line_count == 0) {
            index = a->first_line;
            a->line_count = 1;
        } else {
            index = wrap(*a, a->newest() + 1);
            if (a->line_count == a->capacity) {
                a->first_line = wrap(*a, a->first_line + 1);
                if (index == a->top_line) a->top_line = wrap(*a, a->top_line + 1);
            } else {
                ++a->line_count;
            }
        }
        if (starts_page) {
            g.page_mark[area] = index;
            g.new_page = false;
        }
        a->widest_line = std::max(a->widest_line, static_cast<int>(text.size()) + 2);
        g.stale_bars = area;
        set_state_flag(kFlagTextWindowHasLines);
    }
    // The line is cut to the slot: its columns and the entries that fit.
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(a->columns));
    char* slot = a->text.data() + static_cast<std::size_t>(index) * (a->columns + 1);
    std::memcpy(slot, text.data(), length);
    slot[length] = '\0';
    std::uint8_t* attr =
        a->attributes.data() + static_cast<std::size_t>(index) * a->attribute_bytes;
    const int room = (a->attribute_bytes - 1) / 6 * 6;
    const int count = attributes != nullptr ? std::clamp(attribute_count, 0, room) / 6 * 6 : 0;
    attr[0] = static_cast<std::uint8_t>(count);
    if (count > 0) std::memcpy(attr + 1, attributes, static_cast<std::size_t>(count));

    if (starts_page) a->top_line = index;
    platform::DeviceContext* dc = dc_of(*a);
    if (dc == nullptr || (a->is_grid_area && g.grid_painter != nullptr)) {
        g.current = area;
        return;
    }
    if (output) {
        const int row = a->position_of(index) - a->position_of(a->top_line);
        if (starts_page) {
            blank(*dc, *a, {0, 0, dc->size().width, dc->size().height});
        } else if (!is_page_mode() && row == a->visible_lines) {
            // One line below the view: the pixels move up one line.
            dc->scroll_pixels({0, a->top_margin, dc->size().width,
                               a->top_margin + a->visible_lines * a->line_height},
                              0, -a->line_height);
            a->top_line = wrap(*a, a->top_line + 1);
        }
    }
    const int row = a->position_of(index) - a->position_of(a->top_line);
    if (row >= 0 && row < a->visible_lines) {
        g.current = a == &g.header ? kHeaderArea : area;
        textarea_paint_line(row_y(*a, row), index, true);
        if (ui != nullptr) ui->update_now();
    }
    g.current = area;
}

void textarea_paint_line(int y, int ring_index, bool blank_rest) {
    TextArea* a = current();
    if (a == nullptr) return;
    platform::DeviceContext* dc = drawing_dc(*a);
    if (dc == nullptr) return;
    if (a->is_grid_area && g.grid_painter != nullptr) {
        const bool last_header_row =
            a == &g.header && a->position_of(ring_index) == a->visible_lines - 1;
        g.grid_painter(*a, *dc, y, ring_index, last_header_row);
        return;
    }
    paint_plain(*a, *dc, y, ring_index, blank_rest);
}

void textarea_scroll_to(int ring_index, int clip_top, int clip_bottom, bool repaint) {
    TextArea* a = current();
    if (a == nullptr) return;
    a->top_line = wrap(*a, ring_index);
    platform::DeviceContext* dc = drawing_dc(*a);
    if (dc == nullptr) return;
    const int bottom = clip_bottom == 0 ? dc->size().height : clip_bottom;
    const int top_position = a->position_of(a->top_line);
    int row = 0;
    for (; row < a->visible_lines && top_position + row < a->line_count; ++row) {
        const int y = row_y(*a, row);
        if (y < clip_top - a->char_height || y > bottom) continue;
        textarea_paint_line(y, wrap(*a, a->top_line + row), true);
    }
    if (repaint) {
        const int y = row_y(*a, row);
        if (y < dc->size().height) blank(*dc, *a, {0, y, dc->size().width, dc->size().height});
    }
}

void textarea_scroll_down(int lines) {
    TextArea* a = current();
    if (a == nullptr || lines <= 0) return;
    const int top = a->position_of(a->top_line);
    const int last_top = std::max(0, a->line_count - a->visible_lines);
    const int moved = std::min(lines, last_top - top);
    if (moved <= 0) return;
    platform::DeviceContext* dc = drawing_dc(*a);
    if (moved == 1 && dc != nullptr) {
        dc->scroll_pixels(
            {0, a->top_margin, dc->size().width, a->top_margin + a->visible_lines * a->line_height},
            0, -a->line_height);
        a->top_line = wrap(*a, a->top_line + 1);
        const int row = a->visible_lines - 1;
        textarea_paint_line(row_y(*a, row), wrap(*a, a->top_line + row), true);
        return;
    }
    textarea_scroll_to(a->top_line + moved, 0, 0, true);
}

void textarea_scroll_up(int lines) {
    TextArea* a = current();
    if (a == nullptr || lines <= 0) return;
    const int moved = std::min(lines, a->position_of(a->top_line));
    if (moved <= 0) return;
    platform::DeviceContext* dc = drawing_dc(*a);
    if (moved == 1 && dc != nullptr) {
        dc->scroll_pixels(
            {0, a->top_margin, dc->size().width, a->top_margin + a->visible_lines * a->line_height},
            0, a->line_height);
        a->top_line = wrap(*a, a->top_line - 1);
        textarea_paint_line(row_y(*a, 0), a->top_line, true);
        return;
    }
    textarea_scroll_to(a->top_line - moved, 0, 0, true);
}

int list_selected_line() {
    const TextArea* a = textarea(kListArea);
    if (a == nullptr || g.selected_list_line < 0) return -1;
    return a->position_of(g.selected_list_line);
}

void list_set_selection(int line) {
    TextArea* a = textarea(kListArea);
    if (a == nullptr || a->line_count == 0) return;
    if (line >= a->line_count) line = a->line_count - 1;
    const int ring = line < 0 ? -1 : wrap(*a, a->first_line + line);
    if (ring == g.selected_list_line) return;
    const int keep = g.current;
    textarea_select_area(kListArea);
    const auto repaint = [&](int r) {
        const int row = a->position_of(r) - a->position_of(a->top_line);
        if (r >= 0 && row >= 0 && row < a->visible_lines)
            textarea_paint_line(row_y(*a, row), r, true);
    };
    const int old = g.selected_list_line;
    g.selected_list_line = ring;
    repaint(old);
    if (ring >= 0) {
        const int row = line - a->position_of(a->top_line);
        if (row < 0) {
            textarea_scroll_up(-row);
        } else if (row >= a->visible_lines) {
            textarea_scroll_down(row - a->visible_lines + 1);
        }
        repaint(ring);
        textarea_update_scrollbar(kListArea);
    }
    g.current = keep;
}

void textarea_select_line(int line_count, int line) {
    if (line < 0) {
        list_set_selection(-1);
        return;
    }
    TextArea* a = record(kListArea);
    if (a == nullptr || !a->made) return;
    textarea_clear(kListArea, 0);
    // An empty area keeps its lines from the first ring slot on: the line's slot is its number.
    g.selected_list_line = line % a->capacity;
    if (line_count != 0) {
        int top = line - (a->visible_lines - 1) / 2;
        top = std::min(top, line_count - a->visible_lines);
        a->top_line = std::max(top, 0) % a->capacity;
    }
}

void set_list_selection_callback(ListSelectionCallback callback) {
    g.list_callback = callback;
}

ListSelectionCallback list_selection_callback() {
    return g.list_callback;
}

namespace {

void scroll_columns(TextArea& a, int delta) {
    const int limit = std::max(0, a.widest_line - a.visible_columns);
    const int offset = std::clamp(a.horizontal_offset + delta, 0, limit);
    if (offset == a.horizontal_offset) return;
    a.horizontal_offset = offset;
    textarea_scroll_to(a.top_line, 0, 0, true);
}

}  // namespace

void textarea_scroll_right(int columns) {
    if (TextArea* a = current()) scroll_columns(*a, columns);
}

void textarea_scroll_left(int columns) {
    if (TextArea* a = current()) scroll_columns(*a, -columns);
}

int textarea_update_scrollbar(int area) {
    TextArea* a = textarea(area);
    if (a == nullptr) return area;
    const int keep = g.current;
    g.current = area;
    const bool output_window = area == 1 || area == 2;
    // Page mode decides where new output shows, not whether the earlier output can be scrolled
    // back to: the bar follows the ring in both modes.
    const bool page_view = output_window && is_page_mode();
    if (a->vertical_bar) {
        if (!page_view && a->line_count <= a->visible_lines && a->top_line != a->first_line) {
            textarea_scroll_to(a->first_line, 0, 0, true);
        }
        const int position = a->position_of(a->top_line);
        int maximum = std::max(a->line_count, a->visible_lines);
        if (output_window && position > maximum - a->visible_lines) {
            maximum += a->visible_lines - a->line_count + position;
        }
        platform::ScrollInfo info;
        info.minimum = 0;
        info.maximum = maximum;
        info.page = a->visible_lines + 1;
        info.position = position;
        info.enabled = a->line_count > a->visible_lines || position != 0;
        set_bar(a->window, platform::ScrollBar::vertical, info);
    }
    if (a->horizontal_bar) {
        if (a->widest_line <= a->visible_columns && a->horizontal_offset != 0) {
            a->horizontal_offset = 0;
            textarea_scroll_to(a->top_line, 0, 0, true);
        }
        platform::ScrollInfo info;
        info.maximum = std::max(a->widest_line, a->visible_columns);
        info.page = a->visible_columns + 1;
        info.position = a->horizontal_offset;
        info.enabled = a->widest_line > a->visible_columns || a->horizontal_offset != 0;
        set_bar(a->window, platform::ScrollBar::horizontal, info);
    }
    if (g.stale_bars == area) g.stale_bars = -1;
    g.current = keep;
    return area;
}

void textarea_update_stale_bars() {
    if (g.stale_bars >= 0) textarea_update_scrollbar(g.stale_bars);
}

void textarea_on_scroll(int area, const platform::ScrollEvent& event) {
    TextArea* a = textarea(area);
    if (a == nullptr) return;
    textarea_select_area(area);
    using platform::ScrollAction;
    // The grid may hold a vertical scroll of its area back while a cell is current.
    const bool limited = a->is_grid_area && g.grid_limiter != nullptr;
    auto down = [&](int lines) {
        if (limited) lines = g.grid_limiter(lines);
        if (lines > 0) textarea_scroll_down(lines);
        if (lines < 0) textarea_scroll_up(-lines);
    };
    auto up = [&](int lines) { down(-lines); };
    if (event.bar == platform::ScrollBar::vertical) {
        switch (event.action) {
            case ScrollAction::line_up:
                up(1);
                break;
            case ScrollAction::line_down:
                down(1);
                break;
            case ScrollAction::page_up:
                up(a->visible_lines);
                break;
            case ScrollAction::page_down:
                down(a->visible_lines);
                break;
            case ScrollAction::track: {
                // The thumb counts from the oldest line, wherever the ring has wrapped to.
                const int target =
                    std::clamp(event.position, 0, std::max(0, a->line_count - a->visible_lines));
                const int now = a->position_of(a->top_line);
                if (target > now) down(target - now);
                if (target < now) up(now - target);
                break;
            }
            default:
                break;
        }
    } else {
        const int page = std::max(1, a->widest_line / 4);
        switch (event.action) {
            case ScrollAction::line_up:
                textarea_scroll_left(1);
                break;
            case ScrollAction::line_down:
                textarea_scroll_right(1);
                break;
            case ScrollAction::page_up:
                textarea_scroll_left(page);
                break;
            case ScrollAction::page_down:
                textarea_scroll_right(page);
                break;
            case ScrollAction::track:
                scroll_columns(*a, event.position - a->horizontal_offset);
                break;
            default:
                break;
        }
    }
    textarea_update_scrollbar(area);
}

void textarea_on_paint(int area, platform::DeviceContext& dc) {
    TextArea* a = textarea(area);
    if (a == nullptr) return;
    const int keep = g.current;
    g.current = area;
    platform::DeviceContext* old = g.paint_dc;
    g.paint_dc = &dc;
    if (area == kSheetArea && g.header.made && g.header.line_count > 0) {
        g.current = kHeaderArea;
        for (int row = 0; row < g.header.visible_lines && row < g.header.line_count; ++row) {
            textarea_paint_line(row_y(g.header, row), row, true);
        }
        g.current = area;
    }
    textarea_scroll_to(a->top_line, 0, 0, true);
    g.paint_dc = old;
    g.current = keep;
}

void textarea_on_size(int area, platform::Size client) {
    TextArea* a = textarea(area);
    if (a == nullptr || a->line_height <= 0 || a->char_width <= 0) return;
    a->visible_columns = client.width / a->char_width + 1;
    a->client_height = client.height;
    int lines = 0;
    if (area == kGridTextArea) {
        lines = client.height / a->line_height + 1;
    } else {
        const int extra = area == kSheetArea ? 4 : 2;
        lines =
            (client.height - a->top_margin + extra) / a->line_height + (area == kSheetArea ? 1 : 0);
    }
    // Never less than one line, never more than the ring holds.
    a->visible_lines = std::clamp(lines, 1, a->capacity);
    a->surface_height = a->visible_lines * a->line_height + (a->is_grid_area ? 0 : 3);
    a->surface_width = a->visible_columns * a->char_width + 2 * a->left_margin;
    textarea_update_scrollbar(area);
}

std::vector<std::string> textarea_output_lines(int area) {
    std::vector<std::string> lines;
    TextArea* a = textarea(area);
    if (a == nullptr) return lines;
    int from = 0;
    if ((area == 1 || area == 2) && is_page_mode() && area == g.output_area) {
        // Lines kept before page mode was turned on have no mark: all of them count.
        if (g.page_mark[area] >= 0) from = a->position_of(g.page_mark[area]);
    }
    for (int k = from; k < a->line_count; ++k) {
        lines.emplace_back(a->line_text(wrap(*a, a->first_line + k)));
    }
    return lines;
}

int current_output_area() {
    return g.output_area;
}

void set_current_output_area(int area) {
    if (area == 1 || area == 2) g.output_area = area;
}

void textarea_mark_new_page() {
    g.new_page = true;
}

bool textarea_new_page_pending() {
    return g.new_page;
}

bool textarea_overflowed() {
    return g.overflow;
}

void set_grid_line_painter(GridLinePainter painter) {
    g.grid_painter = painter;
}

void set_grid_scroll_limiter(GridScrollLimiter limiter) {
    g.grid_limiter = limiter;
}

void set_grid_input_handler(const GridInputHandler& handler) {
    g.grid_input = handler;
}

const GridInputHandler& grid_input_handler() {
    return g.grid_input;
}

void set_grid_clear_listener(void (*cleared)(int area)) {
    g.grid_cleared = cleared;
}

namespace {

// Text being written shows itself, as drawing does: its text window comes to the front when
// a graphics window or the other text window is the active one. A sheet, the edit window, the
// sliders and the choices keep the keyboard while a line they ran prints.
void front_text_window(int area) {
    if (area != platform::kWindowText1 && area != platform::kWindowText2) return;
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->window_exists(area) || !ui->window_visible(area)) return;
    const int active = ui->active_window();
    if (active == area) return;
    const bool other_output = active < 0 || active == platform::kWindowText1 ||
                              active == platform::kWindowText2 ||
                              platform::is_graphics_window(active);
    if (other_output) ui->activate_window(area);
}

void append_output_line(const OutputLine& line) {
    int area = line.window;
    if (area == 0) area = g.output_area;
    if (textarea(area) == nullptr) return;
    front_text_window(area);
    textarea_append_line(area, static_cast<int>(line.hotspots.size()), line.text,
                         line.hotspots.empty() ? nullptr : line.hotspots.data());
}

}  // namespace

void text_area_output_sink(const OutputLine& line) {
    if (g.held && (line.window == g.output_area || line.window == 0)) {
        g.held_lines.push_back(line);
        return;
    }
    default_output_line_sink(line);
    append_output_line(line);
}

namespace {

void drop_held_lines() {
    while (!g.held_lines.empty()) {
        const OutputLine line = g.held_lines.front();
        g.held_lines.pop_front();
        default_output_line_sink(line);
        append_output_line(line);
    }
}

}  // namespace

void textarea_hold_display(bool held) {
    g.held = held;
    if (!held) drop_held_lines();
}

void textarea_set_header_rows(int rows) {
    TextArea* a = textarea(kSheetArea);
    if (a == nullptr || !g.header.made) return;
    const int before = g.header.visible_lines;
    g.header.visible_lines = std::clamp(rows, 0, kHeaderCapacity);
    // The header keeps the margin the area was made with; the main rows follow its last row,
    // and as many fewer of them fit in the window as header rows were added.
    a->top_margin = g.header.top_margin + g.header.visible_lines * a->line_height;
    a->visible_lines =
        std::clamp(a->visible_lines - (g.header.visible_lines - before), 1, a->capacity);
    a->surface_height = a->visible_lines * a->line_height;
    textarea_update_scrollbar(kSheetArea);
}

int textarea_begin_level_output() {
    platform::UiBackend* ui = platform::current_ui();
    if (textarea(kSheetArea) == nullptr || ui == nullptr ||
        !ui->window_exists(platform::kWindowSpreadsheet)) {
        return 0;
    }
    const CommandLevel* level = top_level();
    textarea_clear(kSheetArea, 1);
    textarea_set_header_rows(level != nullptr ? level->header_rows : 0);
    set_output_window(platform::kWindowSpreadsheet);
    if (g.sheet_shower != nullptr) {
        // Sized again only when it is hidden or the level wants another number of rows, so a
        // size the user gave it stays while the level runs.
        const int rows = level != nullptr ? level->rows : 0;
        if (!ui->window_visible(platform::kWindowSpreadsheet) || rows != g.sheet_rows_shown) {
            g.sheet_rows_shown = rows;
            g.sheet_shower(rows, level != nullptr ? level->size_mode : 0);
        }
    } else if (!ui->window_visible(platform::kWindowSpreadsheet)) {
        ui->show_window(platform::kWindowSpreadsheet, true);
    }
    return platform::kWindowSpreadsheet;
}

void set_sheet_window_shower(int (*show)(int rows, int mode)) {
    g.sheet_shower = show;
}

void install_text_areas() {
    set_output_line_sink(text_area_output_sink);
    set_level_output_preparer(textarea_begin_level_output);
}

void reset_text_areas() {
    for (TextArea& a : g.table) a = TextArea{};
    g.header = TextArea{};
    g.current = -1;
    g.output_area = 1;
    g.new_page = true;
    g.overflow = false;
    g.held = false;
    g.selected_list_line = -1;
    g.list_callback = nullptr;
    g.stale_bars = -1;
    for (int& m : g.page_mark) m = -1;
    g.held_lines.clear();
    g.grid_painter = nullptr;
    g.grid_limiter = nullptr;
    g.grid_input = GridInputHandler{};
    g.grid_cleared = nullptr;
    g.sheet_shower = nullptr;
    g.sheet_rows_shown = -1;
}

namespace {
const platform::StateReset text_area_state_reset{"ui/text_area", reset_text_areas,
                                                 platform::ResetLayer::ui};
}  // namespace
