#include "ui/grid_control.h"

#include "ui/graphics_text_window.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "ui/status_line.h"
#include "ui/text_area.h"

namespace {

GridControl g_control;

constexpr int kMaxLinesSearched = 1 << 20;

// Hooks of the command line, which lies above this layer: its text as the grid shows it.
platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

void set_command_line(const char* text) {
    if (platform::UiBackend* ui = ui_or_null()) {
        ui->set_command_line_text(text);
        ui->set_command_line_selection(static_cast<int>(std::strlen(text)),
                                       static_cast<int>(std::strlen(text)));
    }
}

int active_window() {
    const TextArea* a = textarea(grid_state().active_area);
    return a != nullptr ? a->window : -1;
}

void stop_timer(int id) {
    platform::UiBackend* ui = ui_or_null();
    const int w = active_window();
    if (ui != nullptr && w >= 0 && ui->window_exists(w)) ui->kill_timer(w, id);
}

// --- lines of the active grid: the header's rows first, then the main area's ---------------

struct LineRef {
    TextArea* area = nullptr;
    int ring = 0;
    int row = 0;  // header: its row; main: relative to the top line
    bool header = false;
};

TextArea* main_area() {
    return textarea(grid_state().active_area);
}

TextArea* header_area() {
    if (grid_state().active_area != kSheetArea) return nullptr;
    TextArea* h = textarea(kHeaderArea);
    return h != nullptr && h->line_count > 0 ? h : nullptr;
}

int header_lines() {
    const TextArea* h = header_area();
    return h != nullptr ? h->line_count : 0;
}

bool line_ref(int line, LineRef& r) {
    if (line < 0) return false;
    const int hc = header_lines();
    if (line < hc) {
        TextArea* h = header_area();
        r.area = h;
        r.ring = (h->first_line + line) % h->capacity;
        r.row = line;
        r.header = true;
        return true;
    }
    TextArea* a = main_area();
    if (a == nullptr || line - hc >= a->line_count) return false;
    r.area = a;
    r.ring = (a->first_line + line - hc) % a->capacity;
    r.row = line - hc - a->position_of(a->top_line);
    r.header = false;
    return true;
}

int linear_line(const GridCell& c) {
    if (c.header != 0) {
        const TextArea* h = header_area();
        return h != nullptr ? h->position_of(c.line) : -1;
    }
    const TextArea* a = main_area();
    return a != nullptr ? header_lines() + a->position_of(c.line) : -1;
}

int entry_count(const LineRef& r) {
    const std::uint8_t* attr = r.area->line_attributes(r.ring);
    if (attr == nullptr) return 0;
    return std::min<int>(attr[0], r.area->attribute_bytes - 1) / kGridEntrySize;
}

GridCellEntry entry_of(const LineRef& r, int k) {
    return decode_grid_entry(r.area->line_attributes(r.ring) + 1 + k * kGridEntrySize);
}

void fill_cell(GridCell& cell, const LineRef& r, const GridCellEntry& e, int caret) {
    const int columns = r.area->columns;
    const int first = std::min<int>(e.first_column, columns);
    const int end = std::clamp<int>(e.end_column, first, columns);
    cell.field_code = e.field_code;
    cell.field_index = e.field_index;
    cell.line = r.ring;
    cell.row = r.row;
    cell.first_column = first;
    cell.end_column = end;
    cell.width = end - first;
    cell.caret_column = caret;
    cell.text = r.area->text.data() + static_cast<std::size_t>(r.ring) * (columns + 1) + first;
    cell.header = r.header ? 1 : 0;
    cell.value_type = kGridValueNone;
    cell.edited = 0;
}

// The record's row from its line, after the area scrolled.
void refresh_row(GridCell& c) {
    if (c.text == nullptr || c.header != 0) return;
    if (const TextArea* a = main_area())
        c.row = a->position_of(c.line) - a->position_of(a->top_line);
}

bool typeless_kind(int kind) {
    return kind == kGridKindRadioOff || kind == kGridKindRadioOn || kind == kGridKindLabel ||
           kind >= kGridKindButton;
}

bool row_selector(const GridCell& c) {
    const int kind = grid_entry_kind(c.field_code);
    return kind == kGridKindRowSelector || (kind == kGridKindLabel && c.first_column == 0);
}

// Scrolls the main area so that a row becomes visible (no limit applies: the grid moves).
void scroll_into_view(GridCell& c) {
    TextArea* a = main_area();
    if (a == nullptr || c.text == nullptr || c.header != 0) return;
    refresh_row(c);
    const int keep = current_textarea_number();
    textarea_select_area(grid_state().active_area);
    if (c.row < 0) textarea_scroll_up(-c.row);
    if (c.row >= a->visible_lines) textarea_scroll_down(c.row - a->visible_lines + 1);
    textarea_update_scrollbar(grid_state().active_area);
    textarea_select_area(keep);
    refresh_row(c);
}

// --- the range selection --------------------------------------------------------------------

bool line_has_field(int line, int code, int* index) {
    LineRef r;
    if (!line_ref(line, r)) return false;
    for (int k = 0; k < entry_count(r); ++k) {
        const GridCellEntry e = entry_of(r, k);
        if ((e.field_code & ~kGridDisabledBit) == (code & ~kGridDisabledBit)) {
            if (index != nullptr) *index = e.field_index;
            return true;
        }
    }
    return false;
}

// The next line in a direction that carries the anchor's field, or -1.
int next_field_line(int from, int direction) {
    const int total = grid_line_total();
    for (int l = from + direction; l >= 0 && l < total; l += direction) {
        if (line_has_field(l, g_control.range.anchor_code, nullptr)) return l;
        LineRef r;
        // A line of another field's cells ends the anchor field's lines.
        if (line_ref(l, r) && entry_count(r) > 0 &&
            grid_entry_kind(entry_of(r, 0).field_code) == kGridKindRowSelector) {
            continue;
        }
    }
    return -1;
}

// The continuation lines of a multi-line field below a line: lines with cells but without a
// row selector of their own.
int continuation_rows(int line) {
    if (grid_entry_kind(g_control.range.anchor_code) != kGridKindRowSelector) return 0;
    int n = 0;
    for (int l = line + 1; l < grid_line_total(); ++l) {
        LineRef r;
        if (!line_ref(l, r) || entry_count(r) == 0) break;
        if (line_has_field(l, g_control.range.anchor_code, nullptr)) break;
        bool selector = false;
        for (int k = 0; k < entry_count(r); ++k) {
            if (grid_entry_kind(entry_of(r, k).field_code) == kGridKindRowSelector) selector = true;
        }
        if (selector) break;
        ++n;
    }
    return n;
}

int range_end_line() {
    int line = g_control.range.anchor_line;
    const int steps = std::abs(g_control.range.extent);
    const int direction = g_control.range.extent < 0 ? -1 : 1;
    for (int k = 0; k < steps; ++k) {
        const int next = next_field_line(line, direction);
        if (next < 0) break;
        line = next;
    }
    return line;
}

void fill_range(GridEvent& e) {
    const GridRange& r = g_control.range;
    int first = 0;
    int last = -1;
    line_has_field(r.anchor_line, r.anchor_code, &first);
    if (!line_has_field(range_end_line(), r.anchor_code, &last)) last = -1;
    e.field = grid_entry_field(r.anchor_code);
    e.first_index = grid_entry_item(first);
    e.last_index = last >= 0 ? grid_entry_item(last) : -1;
    e.argument_group = -1;
    e.range_rows = r.extent;
}

void start_range(const GridCell& c) {
    GridRange& r = g_control.range;
    r = GridRange{};
    r.anchor_code = c.field_code;
    r.anchor_index = c.field_index;
    r.anchor_line = linear_line(c);
    r.extent = 0;
    r.first_column = c.first_column;
    LineRef ref;
    if (line_ref(r.anchor_line, ref)) {
        r.width = std::max(
            1, static_cast<int>(std::strlen(ref.area->line_text(ref.ring))) - c.first_column);
    }
    r.extra_rows = continuation_rows(r.anchor_line);
    set_state_flag(kFlagRangeSelected);
    grid_draw_range_frame(false);
}

}  // namespace

void grid_fill_range_event(GridEvent& e) {
    fill_range(e);
}

void grid_start_range() {
    start_range(grid_state().current);
}

bool grid_line_carries_field(const GridCell& c, int code, int* index) {
    return line_has_field(linear_line(c), code, index);
}

bool grid_range_contains(const GridCell& c) {
    const int line = linear_line(c);
    const int a = g_control.range.anchor_line;
    const int b = range_end_line();
    const int top = std::min(a, b);
    const int bottom = std::max(a, b) + g_control.range.extra_rows;
    return line >= top && line <= bottom;
}

void grid_extend_range_to(const GridCell& c) {
    const int target = linear_line(c);
    GridRange& r = g_control.range;
    grid_draw_range_frame(true);
    // The extent counts the lines of the anchor's field between anchor and target.
    int extent = 0;
    const int d = target >= r.anchor_line ? 1 : -1;
    for (int l = r.anchor_line; l != target;) {
        const int next = next_field_line(l, d);
        if (next < 0 || (d > 0 ? next > target : next < target)) break;
        l = next;
        extent += d;
    }
    r.extent = extent;
    r.extra_rows = continuation_rows(std::max(range_end_line(), r.anchor_line));
    grid_draw_range_frame(false);
    grid_dispatch_event(kLevelEventCellChanged);
}

int grid_range_line(int which) {
    return which == 0 ? g_control.range.anchor_line : range_end_line();
}

GridCommandLineHooks& grid_command_line_hooks() {
    static GridCommandLineHooks hooks;
    return hooks;
}

bool question_or_prompt_open() {
    const GridCommandLineHooks& h = grid_command_line_hooks();
    return h.prompt_open != nullptr && h.prompt_open();
}

void escape_prompt() {
    if (grid_command_line_hooks().escape != nullptr) grid_command_line_hooks().escape();
}

void commit_command_line() {
    if (grid_command_line_hooks().commit != nullptr) grid_command_line_hooks().commit();
}

bool grid_owns_line() {
    return (grid_state().current.text != nullptr && grid_state().edit_state >= kGridSelected) ||
           test_state_flag(kFlagRangeSelected) != 0;
}

GridControl& grid_control() {
    return g_control;
}

void reset_grid_control() {
    g_control = GridControl{};
}

// --- cells -----------------------------------------------------------------------------------

int grid_line_total() {
    const TextArea* a = main_area();
    return header_lines() + (a != nullptr ? a->line_count : 0);
}

int grid_find_cell(GridCell& cell) {
    if ((cell.field_code & ~kGridDisabledBit) == 0) return 0;
    const int total = std::min(grid_line_total(), kMaxLinesSearched);
    for (int l = 0; l < total; ++l) {
        LineRef r;
        if (!line_ref(l, r)) continue;
        for (int k = 0; k < entry_count(r); ++k) {
            const GridCellEntry e = entry_of(r, k);
            if ((e.field_code & ~kGridDisabledBit) == (cell.field_code & ~kGridDisabledBit) &&
                e.field_index == static_cast<std::uint16_t>(cell.field_index)) {
                fill_cell(cell, r, e, e.first_column);
                return 1;
            }
        }
    }
    return 0;
}

int grid_entry_at_column(GridCell& cell, int line, int column, int direction) {
    LineRef r;
    if (!line_ref(line, r)) return 0;
    const int n = entry_count(r);
    if (direction == 0) {
        for (int k = 0; k < n; ++k) {
            const GridCellEntry e = entry_of(r, k);
            if (grid_entry_disabled(e.field_code)) continue;
            if (e.first_column <= column && column < e.end_column) {
                fill_cell(cell, r, e, column);
                return 1;
            }
        }
        return 0;
    }
    if (direction > 0) {
        for (int k = 0; k < n; ++k) {
            const GridCellEntry e = entry_of(r, k);
            if (!grid_entry_disabled(e.field_code) && e.first_column >= column) {
                fill_cell(cell, r, e, e.first_column);
                return 1;
            }
        }
        return 0;
    }
    for (int k = n - 1; k >= 0; --k) {
        const GridCellEntry e = entry_of(r, k);
        if (!grid_entry_disabled(e.field_code) && e.end_column <= column) {
            fill_cell(cell, r, e, e.first_column);
            return 1;
        }
    }
    return 0;
}

int grid_hit_test(int x, int y, GridCell& cell) {
    TextArea* a = main_area();
    if (a == nullptr || a->char_width <= 0 || a->line_height <= 0) return 0;
    const int hc = header_lines();
    const TextArea* h = header_area();
    int line = 0;
    int y_in_row = 0;
    if (hc > 0 && y >= h->top_margin && y < h->top_margin + hc * h->line_height) {
        const int row = (y - h->top_margin) / h->line_height;
        line = row;
        y_in_row = y - h->top_margin - row * h->line_height;
    } else {
        if (y < a->top_margin) return 0;
        const int row = (y - a->top_margin) / a->line_height;
        if (row >= a->visible_lines) return 0;
        line = hc + a->position_of(a->top_line) + row;
        if (line >= grid_line_total()) return 0;
        y_in_row = y - a->top_margin - row * a->line_height;
    }
    // Below the characters of a row (more than 2 pixels under the cell) nothing is hit.
    if (y_in_row > a->char_height + 2) return 0;
    const int column = (x - a->left_margin) / a->char_width + a->horizontal_offset;
    if (x < a->left_margin) return 0;
    if (grid_entry_at_column(cell, line, column, 0) != 0) return 1;
    // A miss beside a plain or text cell is taken by the next cell to the right in the same
    // segment, unless the level asks for exact hits.
    const CommandLevel* level = top_level();
    if (level != nullptr && level->option != 0) return 0;
    GridCell next;
    if (grid_entry_at_column(next, line, column, 1) == 0) return 0;
    const int kind = grid_entry_kind(next.field_code);
    const bool plain_kind = kind == kGridKindPlain || kind == kGridKindText ||
                            kind == kGridKindValueList || kind == kGridKindTextNoCommand ||
                            kind == kGridKindSelectable || kind == kGridKindSelectableText;
    if (!plain_kind) return 0;
    LineRef r;
    line_ref(line, r);
    const char* text = r.area->line_text(r.ring);
    const int length = static_cast<int>(std::strlen(text));
    for (int c = std::max(0, column); c < next.first_column && c < length; ++c) {
        if (text[c] == '|') return 0;
    }
    cell = next;
    cell.caret_column = next.first_column;
    return 1;
}

int grid_move_selection(int key) {
    GridState& g = grid_state();
    GridCell& out = g.activated;
    const int total = grid_line_total();
    if (total == 0) return 0;
    const TextArea* a = main_area();
    if (g.current.text == nullptr) {
        const int hc = header_lines();
        if (key == platform::key_right || key == platform::key_down) {
            const int top = hc > 0 ? 0 : (a != nullptr ? a->position_of(a->top_line) : 0);
            for (int l = top; l < total; ++l) {
                if (grid_entry_at_column(out, l, 0, 1)) return 1;
            }
            return 0;
        }
        if (key == platform::key_left || key == platform::key_up) {
            int bottom = total - 1;
            if (a != nullptr) {
                bottom =
                    std::min(total - 1, hc + a->position_of(a->top_line) + a->visible_lines - 1);
            }
            for (int l = bottom; l >= 0; --l) {
                if (grid_entry_at_column(out, l, 1 << 16, -1)) return 1;
            }
        }
        return 0;
    }
    const int line = linear_line(g.current);
    if (key == platform::key_left || key == platform::key_right) {
        const int d = key == platform::key_right ? 1 : -1;
        if (d > 0 && grid_entry_at_column(out, line, g.current.end_column, 1)) return 1;
        if (d < 0 && grid_entry_at_column(out, line, g.current.first_column, -1)) return 1;
        for (int l = line + d; l >= 0 && l < total; l += d) {
            if (grid_entry_at_column(out, l, d > 0 ? 0 : 1 << 16, d)) return 1;
        }
        return 0;
    }
    if (key != platform::key_up && key != platform::key_down) return 0;
    const int d = key == platform::key_down ? 1 : -1;
    const int middle = (g.current.first_column + g.current.end_column - 1) / 2;
    for (int l = line + d; l >= 0 && l < total; l += d) {
        if (grid_entry_at_column(out, l, middle, 0)) return 1;
        const int further = l + d;
        if (further >= 0 && further < total) {
            GridCell probe;
            if (grid_entry_at_column(probe, further, middle, 0)) {
                out = probe;
                return 1;
            }
        }
        GridCell before;
        GridCell after;
        const bool b = grid_entry_at_column(before, l, middle, -1) != 0;
        const bool f = grid_entry_at_column(after, l, middle, 1) != 0;
        if (b && f) {
            out = middle - (before.end_column - 1) <= after.first_column - middle ? before : after;
            return 1;
        }
        if (b || f) {
            out = b ? before : after;
            return 1;
        }
    }
    return 0;
}

void grid_parse_edit_text() {
    GridCell& c = grid_state().current;
    c.value_type = kGridValueNone;
    c.value.d = 0.0;
    if (c.text == nullptr) return;
    const int kind = grid_entry_kind(c.field_code);
    if (typeless_kind(kind)) return;
    c.value_type = kGridValueText;
    if (kind == kGridKindText || kind == kGridKindTextNoCommand || kind == kGridKindSelectableText)
        return;
    std::string text(c.text, strnlen(c.text, static_cast<std::size_t>(c.width)));
    const std::size_t from = text.find_first_not_of(' ');
    if (from == std::string::npos) return;
    const std::size_t to = text.find_last_not_of(' ');
    const std::string s = text.substr(from, to - from + 1);
    std::size_t i = 0;
    if (s[i] == '-' || s[i] == '+') ++i;
    int digits = 0;
    int decimals = -1;
    bool exponent = false;
    int exponent_digits = 0;
    for (; i < s.size(); ++i) {
        const char ch = s[i];
        if (std::isdigit(static_cast<unsigned char>(ch))) {
            if (exponent) {
                ++exponent_digits;
            } else {
                ++digits;
                if (decimals >= 0) ++decimals;
            }
        } else if (ch == '.' && decimals < 0 && !exponent) {
            decimals = 0;
        } else if ((ch == 'e' || ch == 'E') && !exponent && digits > 0) {
            exponent = true;
            if (i + 1 < s.size() && (s[i + 1] == '-' || s[i + 1] == '+')) ++i;
        } else {
            return;  // anything else: a text
        }
    }
    if (digits == 0 || (exponent && exponent_digits == 0)) return;
    if (decimals < 0 && !exponent) {
        c.value_type = kGridValueInt;
        c.value.i = static_cast<std::int32_t>(std::strtol(s.c_str(), nullptr, 10));
        return;
    }
    c.value_type = kGridValueDouble;
    c.value.d = std::strtod(s.c_str(), nullptr);
    c.decimals = decimals < 0 ? 0 : decimals;
    c.number_style = exponent ? 1 : kGridStyleFixed;
}

void grid_set_current(const GridCell& cell, bool report) {
    GridState& g = grid_state();
    if (g.current.text != nullptr) {
        g.edit_state = kGridIdle;
        grid_draw_current();
    }
    g.current = cell;
    grid_parse_edit_text();
    g.current.saved_value = g.current.value;
    grid_save_cell_text();
    g.current.edited = 0;
    scroll_into_view(g.current);
    g.edit_state = kGridSelected;
    g.edit_scroll = 0;
    g.edit_text[0] = '\0';
    grid_draw_current();
    if (!report) return;
    if (question_or_prompt_open()) {
        // The level hears of the change once the question or prompt is answered.
        const int w = active_window();
        if (platform::UiBackend* ui = platform::current_ui(); ui != nullptr && w >= 0) {
            ui->set_timer(w, kGridTimerCellChange, kGridRepeatFirstMs);
            g_control.cell_change_waiting = true;
        }
        return;
    }
    grid_dispatch_event(kLevelEventCellChanged);
}

void grid_drop_current() {
    GridState& g = grid_state();
    if (g.current.text != nullptr) {
        g.edit_state = kGridIdle;
        grid_draw_current();
    }
    g.current = GridCell{};
    g.edit_state = kGridIdle;
}

// --- editing ---------------------------------------------------------------------------------

void grid_set_edit_mode(int mode) {
    GridState& g = grid_state();
    GridCell& c = g.current;
    if (c.text == nullptr) return;
    const int before = g.edit_state;
    if (c.value_type == kGridValueText) {
        grid_set_cell_text(g.saved_text);
    } else {
        c.value = c.saved_value;
    }
    c.edited = 0;
    int state = mode;
    if (mode > 0) {
        if (grid_entry_kind(c.field_code) == kGridKindValueList) {
            state = kGridEditValueList;
        } else if (before == kGridSelected &&
                   (c.value_type == kGridValueInt || c.value_type == kGridValueDouble)) {
            state = kGridEditNumber;
        } else {
            state = kGridSelected;
        }
    }
    g.edit_state = state;
    const bool entering = state > 0 && before <= 0;
    const bool leaving = state <= 0 && before > 0;
    if (entering) set_command_line("");
    if (leaving) set_command_line(g.edit_text);
    grid_format_edit_value(state == kGridEditNumber && before != kGridEditNumber);
    grid_draw_current();
    if (state == kGridEditValueList && before != kGridEditValueList) grid_dispatch_event(11);
}

int grid_spin_value(int key) {
    GridState& g = grid_state();
    GridCell& c = g.current;
    if (c.text == nullptr || (key != platform::key_up && key != platform::key_down)) return 0;
    const int sign = key == platform::key_up ? 1 : -1;
    const int caret = c.caret_column - c.first_column;
    if (caret < 0 || caret >= c.width) return 0;
    const std::string text(c.text, static_cast<std::size_t>(c.width));
    if (c.value_type == kGridValueInt) {
        int right = 0;
        for (int k = caret + 1; k < c.width; ++k) {
            if (std::isdigit(static_cast<unsigned char>(text[k]))) ++right;
        }
        long long step = 1;
        for (int k = 0; k < right; ++k) step *= 10;
        const long long next = static_cast<long long>(c.value.i) + sign * step;
        const long long lo = c.width >= 5 ? -9999 : -99;
        const long long hi = c.width >= 5 ? 99999 : 999;
        if (next < lo || next > hi) return 0;
        c.value.i = static_cast<std::int32_t>(next);
        c.edited = 1;
        grid_format_edit_value();
        grid_draw_current();
        return 1;
    }
    if (c.value_type != kGridValueDouble) return 0;
    const std::size_t e = text.find_first_of("eE");
    double v = c.value.d;
    if (e != std::string::npos && static_cast<std::size_t>(caret) >= e) {
        v = sign > 0 ? v * 10.0 : v * 0.1;
    } else {
        const char ch = text[static_cast<std::size_t>(caret)];
        if (ch == '.' || ch == '-' || ch == '+') return 0;
        std::size_t point = text.find('.');
        const std::size_t mantissa_end = e != std::string::npos ? e : text.size();
        if (point == std::string::npos || point > mantissa_end) point = mantissa_end;
        const int power = static_cast<std::size_t>(caret) < point
                              ? static_cast<int>(point) - caret - 1
                              : -(caret - static_cast<int>(point));
        int exponent = 0;
        if (e != std::string::npos) exponent = std::atoi(text.c_str() + e + 1);
        const double step = std::pow(10.0, power + exponent);
        if (step == 0.0) return 0;
        // The step counts in the direction of the value's sign as the digit shows it.
        v += sign * step;
    }
    if (std::fabs(v) < 1e-64) v = 0.0;
    if (std::fabs(v) >= 1e64) v = v < 0 ? -1e64 : 1e64;
    c.value.d = v;
    c.edited = 1;
    if (c.number_style == kGridStyleFixed && std::fabs(v) >= 999.999999) {
        // Too large for the fixed form: exponent form, the caret after the point.
        c.number_style = 1;
        if (c.decimals > c.width - 7) c.decimals = std::max(0, c.width - 7);
        grid_edit_decimal_jump();
        return 1;
    }
    grid_format_edit_value();
    grid_draw_current();
    return 1;
}

void grid_edit_decimal_jump() {
    GridCell& c = grid_state().current;
    if (c.value_type != kGridValueDouble) return;
    if (c.value.d > -999.999999 && c.value.d < 999.999999) return;
    grid_format_edit_value(true);
    grid_draw_current();
}

void grid_edit_caret_key(int key) {
    GridControl& k = g_control;
    if (k.caret_key_running) return;
    k.caret_key_running = true;
    GridState& g = grid_state();
    GridCell& c = g.current;
    const bool vertical = key == platform::key_up || key == platform::key_down;
    if (test_state_flag(kFlagRangeSelected) != 0 && vertical) {
        // Up and down extend or shrink the selected range.
        grid_key_navigate(key, active_window());
        k.caret_key_running = false;
        return;
    }
    // Without a current cell a key takes the first (or last) cell of the view.
    const int state = c.text == nullptr ? kGridSelected : g.edit_state;
    if (vertical && g.active_area == kGridTextArea && state != kGridEditNumber &&
        state != kGridEditValueList) {
        // Window 16's grid leaves up and down to its selection list; the owner hears of the
        // line once the keys rest.
        list_step_selection(key == platform::key_down ? 1 : -1);
        k.caret_key_running = false;
        return;
    }
    switch (state) {
        case kGridEditNumber:
            if (key == platform::key_left || key == platform::key_right) {
                const int d = key == platform::key_right ? 1 : -1;
                int col = c.caret_column + d;
                // The decimal point and the exponent letter are stepped over.
                while (col >= c.first_column && col < c.end_column &&
                       (c.text[col - c.first_column] == '.' ||
                        c.text[col - c.first_column] == 'e' ||
                        c.text[col - c.first_column] == 'E')) {
                    col += d;
                }
                if (col >= c.first_column && col < c.end_column) c.caret_column = col;
                grid_draw_current();
            } else if (key == platform::key_up || key == platform::key_down) {
                grid_spin_value(key);
            }
            break;
        case kGridEditValueList:
            if (key == platform::key_up) grid_dispatch_event(10);
            if (key == platform::key_down) grid_dispatch_event(9);
            break;
        case kGridSelected:
            if (grid_move_selection(key) != 0) {
                const GridCell next = g.activated;
                g.activated = GridCell{};
                grid_set_current(next, true);
            } else {
                grid_key_navigate(key, active_window());
            }
            break;
        default:
            break;
    }
    k.caret_key_running = false;
}

void grid_key_navigate(int key, int window) {
    GridState& g = grid_state();
    if (window == platform::kWindowText1 || window == platform::kWindowText2) {
        // A text window scrolls by a line or a page.
        TextArea* t = textarea(window);
        if (t == nullptr || t->line_count <= t->visible_lines) return;
        const int keep = current_textarea_number();
        textarea_select_area(window);
        if (key == platform::key_page_down) textarea_scroll_down(t->visible_lines);
        if (key == platform::key_page_up) textarea_scroll_up(t->visible_lines);
        if (key == platform::key_down) textarea_scroll_down(1);
        if (key == platform::key_up) textarea_scroll_up(1);
        textarea_update_scrollbar(window);
        textarea_select_area(keep);
        return;
    }
    TextArea* a = main_area();
    if (a == nullptr) return;
    if (test_state_flag(kFlagRangeSelected) != 0 &&
        (key == platform::key_up || key == platform::key_down)) {
        const int d = key == platform::key_down ? 1 : -1;
        const int end = range_end_line();
        const int next = next_field_line(end, d);
        if (next < 0) return;
        grid_draw_range_frame(true);
        g_control.range.extent += d;
        g_control.range.extra_rows = continuation_rows(std::max(next, g_control.range.anchor_line));
        // The new end of the range stays in view.
        LineRef r;
        if (line_ref(next, r) && !r.header) {
            const int keep = current_textarea_number();
            textarea_select_area(g.active_area);
            if (r.row < 0) textarea_scroll_up(-r.row);
            if (r.row >= a->visible_lines) textarea_scroll_down(r.row - a->visible_lines + 1);
            textarea_select_area(keep);
            refresh_row(g.current);
        }
        grid_draw_range_frame(false);
        grid_dispatch_event(kLevelEventCellChanged);
        return;
    }
    if (a->line_count <= a->visible_lines) return;
    const int keep = current_textarea_number();
    textarea_select_area(g.active_area);
    int lines = 0;
    if (key == platform::key_page_down) lines = a->visible_lines;
    if (key == platform::key_page_up) lines = -a->visible_lines;
    if (key == platform::key_down) lines = 1;
    if (key == platform::key_up) lines = -1;
    lines = grid_limit_scroll(lines);
    if (lines > 0) textarea_scroll_down(lines);
    if (lines < 0) textarea_scroll_up(-lines);
    textarea_update_scrollbar(g.active_area);
    textarea_select_area(keep);
    refresh_row(g.current);
    grid_draw_current();
}

int grid_limit_scroll(int lines) {
    GridState& g = grid_state();
    TextArea* a = main_area();
    if (a == nullptr || lines == 0) return lines;
    if (g_control.display_held || g_control.dispatching || level_handler_running()) return 0;
    if (g.current.text == nullptr || g.current.header != 0) return lines;
    refresh_row(g.current);
    const int top = a->position_of(a->top_line);
    const int last_top = std::max(0, a->line_count - a->visible_lines);
    const int moved = lines > 0 ? std::min(lines, last_top - top) : -std::min(-lines, top);
    const int row_after = g.current.row - moved;
    if (row_after >= 0 && row_after < a->visible_lines) return moved;
    if (g.edit_state == kGridSelected && g.current.edited == 0) {
        // A selected cell goes along with the view, one move at a time.
        const int key = moved > 0 ? platform::key_down : platform::key_up;
        g.edit_state = kGridIdle;
        grid_draw_current();
        GridCell c = g.current;
        for (int k = 0; k < a->line_count; ++k) {
            const int row = c.row - moved;
            if (row >= 0 && row < a->visible_lines) break;
            g.current = c;
            if (grid_move_selection(key) == 0 || g.activated.header != 0) break;
            c = g.activated;
        }
        g.activated = GridCell{};
        g.current = c;
        grid_parse_edit_text();
        g.current.saved_value = g.current.value;
        grid_save_cell_text();
        g.edit_state = kGridSelected;
        return moved;
    }
    // A cell being edited stops the view at the edge.
    if (moved > 0) return std::max(0, g.current.row);
    return -std::max(0, a->visible_lines - 1 - g.current.row);
}

// --- activation and events -------------------------------------------------------------------

void grid_activate_cell(int argument) {
    GridState& g = grid_state();
    if (test_state_flag(kFlagRangeSelected) != 0) {
        if (argument != 0) grid_post_action(1, argument);
        return;
    }
    stop_timer(kGridTimerRepeat);
    stop_timer(kGridTimerCellChange);
    g_control.cell_change_waiting = false;
    g_control.repeat_key = 0;
    if (g.edit_state > kGridSelected) g.edit_state = kGridSelected;
    g.current.argument = argument;
    g.activated = g.current;
    g_control.press_activated = true;
    set_run_state(kRunStateLevelLine);
}

void grid_return_to_cell(int clear_status) {
    GridState& g = grid_state();
    if (clear_status != 0) clear_status_text(0);
    if (g.activated.text == nullptr) return;
    const GridCell back = g.activated;
    g.activated = GridCell{};
    grid_set_current(back, false);
}

void grid_clear_selection() {
    if (test_state_flag(kFlagRangeSelected) == 0) return;
    grid_draw_range_frame(true);
    clear_state_flag(kFlagRangeSelected);
    g_control.queued_code = 0;
    g_control.queued_argument = 0;
}

int grid_row_action(int code, int argument) {
    GridState& g = grid_state();
    if (test_state_flag(kFlagRangeSelected) != 0) {
        grid_post_action(code, argument);
        return 1;
    }
    if (g.current.text == nullptr || g.current.header != 0) return 0;
    // The row selector stands first in its line.
    GridCell selector;
    const int line = linear_line(g.current);
    if (line < 0 || grid_entry_at_column(selector, line, 0, 1) == 0) return 0;
    const int kind = grid_entry_kind(selector.field_code);
    const bool is_selector =
        kind == kGridKindRowSelector || (kind == kGridKindLabel && selector.first_column == 0);
    if (!is_selector) return 0;
    grid_end_edit();
    grid_set_current(selector, false);
    grid_post_action(code, argument);
    return 1;
}

void grid_post_action(int code, int argument) {
    GridControl& k = g_control;
    GridState& g = grid_state();
    if (code != 0) {
        k.queued_code = code;
        k.queued_argument = argument;
        set_run_state(kRunStateGridAction);
        return;
    }
    if (test_state_flag(kFlagRangeSelected) == 0) {
        // Without a range the action waits for the next activation of a row selector.
        if (g.current.text != nullptr && row_selector(g.current) && k.queued_code != 0) {
            g.activated = g.current;
            grid_dispatch_event(kGridActivate);
        }
        return;
    }
    grid_draw_range_frame(true);
    clear_state_flag(kFlagRangeSelected);
    GridRange& r = k.range;
    if (r.extent < 0) {
        // An upward range starts at its upper row.
        const int upper = range_end_line();
        int index = 0;
        line_has_field(upper, r.anchor_code, &index);
        r.anchor_line = upper;
        r.anchor_index = index;
        r.extent = -r.extent;
    }
    GridCell anchor;
    anchor.field_code = r.anchor_code;
    anchor.field_index = r.anchor_index;
    if (grid_find_cell(anchor) == 0) {
        k.queued_code = 0;
        return;
    }
    g.current = anchor;
    g.current.argument = 0;
    g.activated = anchor;
    g.edit_state = kGridSelected;
    k.range_delivery = true;
    grid_dispatch_event(kGridActivate);
    k.range_delivery = false;
}

namespace {
const platform::StateReset grid_control_state_reset{"ui/grid_control", reset_grid_control,
                                                    platform::ResetLayer::ui};
}  // namespace
