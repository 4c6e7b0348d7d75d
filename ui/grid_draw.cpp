// Painting of grid lines and of the current cell through the window's device context: cell
// texts, circular and raised buttons, disabled cells, the highlighted current cell with its
// caret and focus frame, the range frame, and the focus frame of a printed number's hot spot.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/state_flags.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"

namespace {

// The three roles of the grid's drawing objects.
constexpr platform::Colour kFrameColour{0, 0, 0};
constexpr platform::Colour kLightEdge{255, 255, 255};
constexpr platform::Colour kDarkEdge{128, 128, 128};

// The frame drawn round the last tip, so that the next erase finds it.
platform::Rect g_tip_frame{0, 0, 0, 0};

platform::Colour disabled_colour() {
    platform::UiBackend* ui = platform::current_ui();
    return ui != nullptr ? ui->system_colour(platform::SystemColour::button_face)
                         : platform::Colour{192, 192, 192};
}

int column_x(const TextArea& a, int column) {
    return a.left_margin + (column - a.horizontal_offset) * a.char_width;
}

int text_y(const TextArea& a, platform::DeviceContext& dc, int y) {
    return y + a.baseline - dc.text_metrics().ascent;
}

TextArea* area_of(const GridCell& c) {
    return c.header != 0 ? textarea(kHeaderArea) : textarea(grid_state().active_area);
}

int row_top(const TextArea& a, const GridCell& c) {
    return a.top_margin + c.row * a.line_height;
}

platform::DeviceContext* dc_of(const TextArea& a) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || a.window < 0 || !ui->window_exists(a.window)) return nullptr;
    return ui->device_context(a.window);
}

void outline(platform::DeviceContext& dc, platform::Rect r, platform::Colour colour) {
    dc.set_pen(colour, platform::LineStyle::solid, 1);
    const platform::Point p[] = {{r.left, r.top},
                                 {r.right - 1, r.top},
                                 {r.right - 1, r.bottom - 1},
                                 {r.left, r.bottom - 1},
                                 {r.left, r.top}};
    dc.polyline(p);
}

void raised(platform::DeviceContext& dc, platform::Rect r) {
    dc.set_pen(kLightEdge, platform::LineStyle::solid, 1);
    const platform::Point light[] = {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right - 1, r.top}};
    dc.polyline(light);
    dc.set_pen(kDarkEdge, platform::LineStyle::solid, 1);
    const platform::Point dark[] = {
        {r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}};
    dc.polyline(dark);
}

void radio(platform::DeviceContext& dc, int x, int y, int height, bool on) {
    const int top = y + (height - 11) / 2;
    dc.set_pen(kFrameColour, platform::LineStyle::solid, 1);
    dc.set_null_brush();
    dc.ellipse({x, top, x + 11, top + 11});
    if (on) {
        dc.set_brush(kFrameColour);
        dc.ellipse({x + 3, top + 3, x + 8, top + 8});
    }
}

// Levels that draw their own marks (forms, windows with check and radio marks) have no column
// rules between their fields: their plain cells are framed instead.
bool frames_asked() {
    const CommandLevel* level = top_level();
    return level != nullptr && level->option != 0;
}

std::string cell_text(const TextArea& a, int ring, int first, int end) {
    const char* line = a.line_text(ring);
    const int length = static_cast<int>(std::strlen(line));
    std::string s;
    for (int c = first; c < end; ++c) s.push_back(c < length ? line[c] : ' ');
    return s;
}

// One cell as its kind draws it (not as the current cell).
void paint_cell(TextArea& a, platform::DeviceContext& dc, int y, int ring, const GridCellEntry& e) {
    const int kind = grid_entry_kind(e.field_code);
    const int x0 = column_x(a, e.first_column);
    const int x1 = column_x(a, e.end_column);
    const platform::Rect r{x0, y, x1, y + a.char_height + 3};
    const std::string text = cell_text(a, ring, e.first_column, e.end_column);
    if (kind == kGridKindRadioOff || kind == kGridKindRadioOn) {
        // The circle stands in the two blanks that open the cell; its label follows in the text.
        dc.fill_rect({x0, r.top, std::min(x1, column_x(a, e.first_column + 2)), r.bottom},
                     a.background);
        radio(dc, x0, y, a.char_height, kind == kGridKindRadioOn);
        return;
    }
    if (kind == kGridKindButton || kind == kGridKindRowSelector ||
        kind == kGridKindDisabledButton) {
        dc.fill_rect(r, kind == kGridKindDisabledButton ? disabled_colour() : a.background);
        dc.set_text_colour(a.text_colour);
        dc.text_out({x0, text_y(a, dc, y)}, text);
        raised(dc, r);
        return;
    }
    if (grid_entry_disabled(e.field_code)) {
        dc.fill_rect(r, a.background);
        dc.set_text_colour(disabled_colour());
        dc.text_out({x0, text_y(a, dc, y)}, text);
        dc.set_text_colour(a.text_colour);
    }
    if (kind == kGridKindPlain && frames_asked()) {
        // Inside the row's own band, so that repainting a neighbouring row keeps it.
        outline(dc, {x0 - 1, y, x1 + 1, r.bottom + 1}, kFrameColour);
    }
}

void focus_frame(platform::DeviceContext& dc, platform::Rect r, int style, bool editing,
                 platform::Colour background) {
    if (style == -1) {
        dc.set_pen(kFrameColour, platform::LineStyle::dot, 1);
        dc.set_null_brush();
        const platform::Point p[] = {{r.left, r.top},
                                     {r.right - 1, r.top},
                                     {r.right - 1, r.bottom - 1},
                                     {r.left, r.bottom - 1},
                                     {r.left, r.top}};
        dc.polyline(p);
        return;
    }
    const int gap = editing ? 1 : 2;
    for (int k = 0; k < 3; ++k) {
        const platform::Rect f{r.left - 1 - k * gap, r.top - 1 - k * gap, r.right + 1 + k * gap,
                               r.bottom + 1 + k * gap};
        bool draw = k < style;
        if (style == 1 && k == 1) draw = false;  // one line and one erased
        outline(dc, f, draw ? kFrameColour : background);
    }
}

// The current cell at the top y of its row.
void paint_current(TextArea& a, platform::DeviceContext& dc, int y) {
    const GridState& g = grid_state();
    const GridCell& c = g.current;
    if (c.text == nullptr) return;
    const int x0 = column_x(a, c.first_column);
    const int x1 = column_x(a, c.end_column);
    const platform::Rect r{x0, y, x1, y + a.char_height + 3};
    const int kind = grid_entry_kind(c.field_code);
    const std::string text = cell_text(a, c.line, c.first_column, c.end_column);
    if (g.edit_state == kGridIdle) {
        // Erased to the background and drawn as a cell of its kind again.
        for (int k = 0; k < 3; ++k) {
            outline(
                dc,
                {r.left - 1 - 2 * k, r.top - 1 - 2 * k, r.right + 1 + 2 * k, r.bottom + 1 + 2 * k},
                a.background);
        }
        dc.fill_rect(r, a.background);
        dc.set_text_colour(a.text_colour);
        dc.text_out({x0, text_y(a, dc, y)}, text);
        GridCellEntry e;
        e.field_code = static_cast<std::uint16_t>(c.field_code);
        e.first_column = static_cast<std::uint8_t>(c.first_column);
        e.end_column = static_cast<std::uint8_t>(c.end_column);
        paint_cell(a, dc, y, c.line, e);
        return;
    }
    if (kind == kGridKindRadioOff || kind == kGridKindRadioOn) {
        // The circle stands in the two blanks that open the cell; its label follows in the text.
        dc.fill_rect({x0, r.top, std::min(r.right, column_x(a, c.first_column + 2)), r.bottom},
                     a.background);
        radio(dc, x0, y, a.char_height, kind == kGridKindRadioOn);
        focus_frame(dc, r, -1, false, a.background);
        return;
    }
    if (g.edit_state == kGridEditNumber) {
        platform::UiBackend* ui = platform::current_ui();
        const std::string typed = ui != nullptr ? ui->command_line_text() : std::string();
        if (!typed.empty()) {
            // What is typed on the command line shows in the cell, scrolled so that the caret
            // stays inside, opaque, with '_' at the caret.
            const int caret = ui->command_line_selection().second;
            int& scroll = grid_state().edit_scroll;
            if (caret < scroll) scroll = caret;
            if (caret >= scroll + c.width) scroll = caret - c.width + 1;
            scroll = std::max(0, scroll);
            std::string shown = typed.substr(std::min<std::size_t>(scroll, typed.size()));
            shown.resize(static_cast<std::size_t>(std::max(0, c.width)), ' ');
            dc.fill_rect(r, a.background);
            dc.set_text_colour(a.text_colour);
            dc.text_out({x0, text_y(a, dc, y)}, shown);
            dc.text_out({column_x(a, c.first_column + caret - scroll), text_y(a, dc, y)}, "_");
            focus_frame(dc, r, 2, true, a.background);
            return;
        }
    }
    if (kind == kGridKindDisabledButton) {
        dc.fill_rect(r, disabled_colour());
    } else {
        dc.fill_rect(r, a.text_colour);
    }
    dc.set_text_colour(a.background);
    dc.text_out({x0, text_y(a, dc, y)}, text);
    if (g.edit_state == kGridEditNumber) {
        // The caret's character is drawn normally.
        const int caret = c.caret_column;
        if (caret >= c.first_column && caret < c.end_column) {
            const int cx = column_x(a, caret);
            dc.fill_rect({cx, r.top, cx + a.char_width, r.bottom}, a.background);
            dc.set_text_colour(a.text_colour);
            dc.text_out({cx, text_y(a, dc, y)},
                        std::string(1, text[static_cast<std::size_t>(caret - c.first_column)]));
        }
    }
    dc.set_text_colour(a.text_colour);
    int style = 2;
    if (kind == kGridKindLabel) style = 3;
    if ((kind == kGridKindSelectable || kind == kGridKindSelectableText) &&
        g.edit_state == kGridSelected) {
        style = 1;
    }
    focus_frame(dc, r, style, g.edit_state > kGridSelected, a.background);
}

}  // namespace

void grid_paint_line(TextArea& a, platform::DeviceContext& dc, int y, int ring_index,
                     bool header_last_row) {
    const char* text = a.line_text(ring_index);
    const platform::Rect row{0, y, std::max(a.surface_width, dc.size().width), y + a.line_height};
    dc.fill_rect(row, a.background);
    dc.set_text_colour(a.text_colour);
    const int length = static_cast<int>(std::strlen(text));
    if (length > 0) dc.text_out({column_x(a, 0), text_y(a, dc, y)}, text);
    const std::uint8_t* attr = a.line_attributes(ring_index);
    if (attr != nullptr) {
        const int n = std::min<int>(attr[0], a.attribute_bytes - 1) / kGridEntrySize;
        for (int k = 0; k < n; ++k) {
            paint_cell(a, dc, y, ring_index, decode_grid_entry(attr + 1 + k * kGridEntrySize));
        }
    }
    if (header_last_row) {
        dc.set_pen(kDarkEdge, platform::LineStyle::solid, 1);
        dc.move_to({0, y + a.line_height - 1});
        dc.line_to({row.right, y + a.line_height - 1});
    }
    const GridCell& c = grid_state().current;
    const bool header = textarea(kHeaderArea) == &a;
    if (c.text != nullptr && c.line == ring_index && (c.header != 0) == header) {
        paint_current(a, dc, y);
    }
    dc.fill_rect({0, y, a.left_margin, y + a.line_height}, a.background);
}

void grid_draw_current() {
    GridCell& c = grid_state().current;
    if (c.text == nullptr) return;
    TextArea* a = area_of(c);
    if (a == nullptr) return;
    platform::DeviceContext* dc = dc_of(*a);
    if (dc == nullptr) return;
    if (c.header == 0) c.row = a->position_of(c.line) - a->position_of(a->top_line);
    if (c.row < 0 || (c.header == 0 && c.row >= a->visible_lines)) return;
    paint_current(*a, *dc, row_top(*a, c));
}

void grid_show_edit_text() {
    if (grid_state().edit_state == kGridEditNumber) grid_draw_current();
}

void grid_draw_range_frame(bool erase) {
    TextArea* a = textarea(grid_state().active_area);
    if (a == nullptr) return;
    platform::DeviceContext* dc = dc_of(*a);
    if (dc == nullptr) return;
    const GridRange& r = grid_control().range;
    const int hc = textarea(kHeaderArea) != nullptr && grid_state().active_area == kSheetArea
                       ? textarea(kHeaderArea)->line_count
                       : 0;
    const int top_position = a->position_of(a->top_line);
    const int first = std::min(grid_range_line(0), grid_range_line(1)) - hc - top_position;
    const int last =
        std::max(grid_range_line(0), grid_range_line(1)) + r.extra_rows - hc - top_position;
    const int y0 = a->top_margin + std::max(first, 0) * a->line_height - 1;
    const int y1 = a->top_margin + std::min(last + 1, a->visible_lines) * a->line_height - 2;
    if (y1 <= y0) return;
    const int x0 = column_x(*a, r.first_column) - 2;
    const int x1 = column_x(*a, r.first_column + r.width) + 2;
    outline(*dc, {x0, y0, x1, y1}, erase ? a->background : kFrameColour);
    // The sheet's column rules inside the frame stay.
    for (int row = std::max(first, 0); row <= last && row < a->visible_lines; ++row) {
        const int ring = (a->top_line + row) % a->capacity;
        const char* text = a->line_text(ring);
        const int length = static_cast<int>(std::strlen(text));
        for (int col = r.first_column; col < r.first_column + r.width && col < length; ++col) {
            if (text[col] != '|') continue;
            const int y = a->top_margin + row * a->line_height;
            dc->set_text_colour(a->text_colour);
            dc->text_out({column_x(*a, col), text_y(*a, *dc, y)}, "|");
        }
    }
}

void grid_draw_tip_frame(int window, int row, int first_column, int end_column, bool erase) {
    platform::Rect& last = g_tip_frame;
    TextArea* a = textarea(window);
    if (a == nullptr) return;
    platform::DeviceContext* dc = dc_of(*a);
    if (dc == nullptr) return;
    if (erase) {
        if (last.right > last.left) outline(*dc, last, a->background);
        last = {0, 0, 0, 0};
        return;
    }
    const int y = a->top_margin + row * a->line_height;
    last = {column_x(*a, first_column) - 1, y - 1, column_x(*a, end_column) + 1,
            y + a->char_height + 1};
    focus_frame(*dc, {last.left + 1, last.top + 1, last.right - 1, last.bottom - 1}, -1, false,
                a->background);
}

namespace {
void reset_grid_draw() {
    g_tip_frame = platform::Rect{0, 0, 0, 0};
}
const platform::StateReset grid_draw_state_reset{"ui/grid_draw", reset_grid_draw,
                                                 platform::ResetLayer::ui};
}  // namespace
