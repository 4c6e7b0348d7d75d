// Event delivery to the level's handler, the mouse and keys of the grid areas and the text
// windows, the grid's timers and the tips of printed numbers.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "ui/graphics_text_window.h"
#include "ui/grid_control.h"
#include "ui/status_line.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

int area_window(int area) {
    const TextArea* a = textarea(area);
    return a != nullptr ? a->window : -1;
}

void stop_timer(int window, int id) {
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && window >= 0 && ui->window_exists(window)) ui->kill_timer(window, id);
}

void start_timer(int window, int id, int ms) {
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && window >= 0 && ui->window_exists(window)) ui->set_timer(window, id, ms);
}

int grid_window() {
    return area_window(grid_state().active_area);
}

void set_command_line(const char* text) {
    if (platform::UiBackend* ui = ui_or_null()) {
        ui->set_command_line_text(text);
        const int n = static_cast<int>(std::strlen(text));
        ui->set_command_line_selection(n, n);
    }
}

// The chosen cell's value in the command line, all of it selected: typed keys replace it, as
// in any spreadsheet, and an arrow key or End keeps it for editing.
void offer_cell_value(const char* text) {
    if (platform::UiBackend* ui = ui_or_null()) {
        ui->set_command_line_text(text);
        ui->set_command_line_selection(0, static_cast<int>(std::strlen(text)));
        grid_control().offered = text;
    }
}

// The current cell's offer selected whole again, as when the cell was chosen.
void select_offered_value() {
    const std::string offered = grid_control().offered;
    if (!offered.empty()) offer_cell_value(offered.c_str());
}

// A cell that offers nothing takes the last cell's offer away, unless it was typed over.
void withdraw_offer() {
    GridControl& k = grid_control();
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && !k.offered.empty() && ui->command_line_text() == k.offered) {
        ui->set_command_line_text("");
    }
    k.offered.clear();
}

std::string command_line() {
    platform::UiBackend* ui = ui_or_null();
    return ui != nullptr ? ui->command_line_text() : std::string();
}

bool typeless(const GridCell& c) {
    return c.value_type == kGridValueNone;
}

bool row_selector(const GridCell& c) {
    const int kind = grid_entry_kind(c.field_code);
    return kind == kGridKindRowSelector || (kind == kGridKindLabel && c.first_column == 0);
}

bool level_request_pending() {
    const int s = run_state();
    return s == kRunStatePushLevel || s == kRunStateCloseLevel || s == kRunStateEscapeLevel ||
           s == kRunStateLeaveLevels || s == kRunStateLeaveLevelsWithHandler ||
           s == kRunStateRerunEntry;
}

// The cell's text, width characters, right-trimmed, into the event text buffer.
void copy_cell_text(const GridCell& c, char* out, std::size_t size) {
    std::size_t n = 0;
    if (c.text != nullptr) {
        const std::size_t width = static_cast<std::size_t>(std::max(0, c.width));
        n = strnlen(c.text, width);
        n = std::min(n, size - 1);
        std::memcpy(out, c.text, n);
    }
    while (n > 0 && out[n - 1] == ' ') --n;
    out[n] = '\0';
}

// The argument of the level's command that a cell edits, as the text shown for it.
void format_argument(int group, char* out, std::size_t size) {
    out[0] = '\0';
    const ArgCell* cell = saved_level_cell(group);
    if (cell == nullptr) return;
    switch (cell->type) {
        case kArgInt:
            std::snprintf(out, size, "%d", cell->value.i);
            break;
        case kArgDouble:
            std::snprintf(out, size, "%s", shortest_number_text(cell->value.d));
            break;
        case kArgChar:
            // A text as it is stored; a single character is a small number in its byte.
            if (cell->text_length > 0) {
                std::snprintf(out, size, "%s", cell->value.text != nullptr ? cell->value.text : "");
            } else {
                std::snprintf(out, size, "%d",
                              static_cast<int>(static_cast<signed char>(cell->value.bytes[0])));
            }
            break;
        default:
            break;
    }
}

// The grid's window is painted again once a handler has run: lines a handler writes into a grid
// area are painted by the grid's painter when the window paints, not as they arrive.
void repaint_grid_window() {
    platform::UiBackend* ui = ui_or_null();
    const int w = grid_window();
    if (ui != nullptr && w >= 0 && ui->window_exists(w)) ui->invalidate(w);
}

int call_level(GridEvent& e) {
    GridControl& k = grid_control();
    k.dispatching = true;
    ++k.dispatch_count;
    const int r = run_command_level(e);
    k.dispatching = false;
    repaint_grid_window();
    return r;
}

void show_failure(int r) {
    if (r < 0 && r != kStopped) show_error(r);
}

// Whether the line of a record still carries its entry (a handler that rebuilt the sheet
// cleared the area first).
bool entry_still_there(const GridCell& c) {
    GridCell probe = c;
    if (grid_find_cell(probe) == 0) return false;
    return probe.line == c.line && probe.first_column == c.first_column && probe.header == c.header;
}

// The deferred level-cursor move or event runs once the dispatch has ended.
void run_deferred() {
    GridControl& k = grid_control();
    if (k.deferred_cursor) {
        k.deferred_cursor = false;
        grid_set_level_cursor();
    }
    if (k.deferred_event != 0) {
        const int code = k.deferred_event;
        k.deferred_event = 0;
        grid_dispatch_event(code);
    }
}

// After the handler: the cell it was about is found again and made current.
void relocate_after(const GridCell& was, int code) {
    GridState& g = grid_state();
    GridCell target = g.activated.text != nullptr ? g.activated : was;
    g.activated = GridCell{};
    if (grid_entry_kind(target.field_code) == kGridKindRadioOff) {
        target.field_code = (target.field_code & ~kGridKindMask) | kGridKindRadioOn;
    }
    GridCell found = target;
    if (grid_find_cell(found) != 0) {
        grid_set_current(found, false);
    } else {
        GridCell right;
        bool moved = false;
        const int total = grid_line_total();
        for (int l = 0; l < total && !moved; ++l) {
            GridCell probe;
            if (grid_entry_at_column(probe, l, 0, 1) != 0 && probe.line == target.line &&
                probe.header == target.header) {
                moved = grid_entry_at_column(right, l, target.end_column, 1) != 0;
            }
        }
        if (moved) {
            grid_set_current(right, false);
        } else {
            g.current = GridCell{};
            g.edit_state = kGridIdle;
        }
    }
    if ((code == kLevelEventRowAction || code == 15) && g.current.text != nullptr &&
        g.current.header == 0) {
        const TextArea* a = textarea(g.active_area);
        if (a != nullptr && g.current.row >= a->visible_lines - 2) {
            const int keep = current_textarea_number();
            textarea_select_area(g.active_area);
            textarea_scroll_down(1);
            textarea_select_area(keep);
            g.current.row = a->position_of(g.current.line) - a->position_of(a->top_line);
        }
    }
}

// Delivery proper: row selectors, the cell cleared while the handler runs, and the cell found
// again afterwards.
int deliver(GridEvent& e) {
    GridState& g = grid_state();
    GridControl& k = grid_control();
    GridCell& c = g.current;
    if (typeless(c)) e.argument = c.argument;
    if (row_selector(c) && e.code == kLevelEventActivate) {
        if (k.queued_code != 0) {
            e.code = k.queued_code;
            e.argument = k.queued_argument;
            k.queued_code = 0;
            k.queued_argument = 0;
            if (test_state_flag(kFlagRangeSelected) != 0 || k.range_delivery) {
                grid_fill_range_event(e);
            } else {
                // No rows were selected: the action is for this row alone, not for a range
                // left from before.
                e.last_index = e.first_index;
                e.argument_group = -1;
                e.range_rows = 0;
            }
        } else if (e.argument == 0 && test_state_flag(kFlagRangeSelected) == 0) {
            grid_start_range();
            g.activated = GridCell{};
            return grid_dispatch_event(kLevelEventCellChanged);
        }
    } else if (test_state_flag(kFlagRangeSelected) != 0 || k.range_delivery) {
        grid_fill_range_event(e);
    }
    g.edit_state = kGridIdle;
    grid_draw_current();
    const GridCell was = c;
    const std::string was_text = g.saved_text;
    c.field_code = 0;
    if (e.code == kLevelEventTypedText) grid_refresh_request() = 1;
    k.area_cleared = false;
    const int r = call_level(e);
    show_failure(r);
    if (r != 0 && !k.area_cleared && entry_still_there(was)) {
        // Refused: the cell shows again what it held when it became current.
        c = was;
        std::snprintf(g.saved_text, sizeof g.saved_text, "%s", was_text.c_str());
        grid_set_edit_mode(0);
        const int group = grid_entry_argument_group(was.field_index);
        if (const ArgCell* cell = saved_level_cell(group)) store_level_field_value(group, *cell);
        g.activated = GridCell{};
    } else if (!level_request_pending() && !k.deferred_cursor) {
        if (c.field_code == 0 && c.text == was.text) c = was;
        relocate_after(was, e.code);
    } else {
        c = was;
        g.activated = GridCell{};
    }
    run_deferred();
    return r;
}

}  // namespace

int grid_dispatch_event(int code) {
    GridState& g = grid_state();
    GridControl& k = grid_control();
    if (k.dispatching || level_handler_running()) {
        // Asked for while a handler runs: a cell change waits for the end of the dispatch.
        if (code == kLevelEventCellChanged) k.deferred_event = code;
        return 0;
    }
    const int window = grid_window();
    if (code != kLevelEventCellChanged && (code < 9 || code > 11)) {
        stop_timer(window, kGridTimerRepeat);
        k.repeat_key = 0;
    }
    if (code != kLevelEventCellChanged && (code < 8 || code > 11)) clear_status_text(0);
    if (code == kLevelEventShown || code >= kGridLevelChange) {
        stop_timer(window, kGridTimerCellChange);
        k.cell_change_waiting = false;
        list_stop_timers();
        GridEvent e;
        e.code = code == kLevelEventShown ? kLevelEventShown : kLevelEventChange;
        if (code >= kGridLevelChange) e.argument = code - kGridLevelChange - 1;
        const int r = call_level(e);
        show_failure(r);
        return r;
    }
    const bool range = test_state_flag(kFlagRangeSelected) != 0;
    GridCell& c = g.current;
    if (c.text == nullptr && !range) {
        grid_draw_current();
        return 0;
    }
    GridEvent e;
    e.field = grid_entry_field(c.field_code);
    e.first_index = grid_entry_item(c.field_index);
    e.last_index = e.first_index;
    e.argument_group = grid_entry_argument_group(c.field_index);
    e.value_type = c.value_type == kGridValueNone ? kGridValueText : c.value_type;
    e.argument = 0;
    e.code = code;
    if (code == kLevelEventCellChanged) {
        g.edit_text[0] = '\0';
        const int kind = grid_entry_kind(c.field_code);
        const bool argument_cell =
            e.argument_group >= 0 && (kind == kGridKindPlain || kind == kGridKindSelectable ||
                                      kind == kGridKindSelectableText);
        if (argument_cell) {
            format_argument(e.argument_group, g.edit_text, sizeof g.edit_text);
        } else {
            e.value.text = g.edit_text;
            e.text = g.edit_text;
            if (range) grid_fill_range_event(e);
            const int r = call_level(e);
            show_failure(r);
            g.edit_text[sizeof g.edit_text - 1] = '\0';
        }
        if (g.edit_text[0] != '\0') {
            offer_cell_value(g.edit_text);
        } else {
            withdraw_offer();
        }
        run_deferred();
        return 0;
    }
    e.text = g.event_text;
    e.value.text = g.event_text;
    if (g.activated.text == nullptr) g.activated = c;
    int event_code = kLevelEventActivate;
    if (code == kGridCommitLine) {
        if (range || typeless(c) ||
            std::strncmp(g.handed_line, g.edit_text, sizeof g.handed_line) != 0) {
            event_code = kLevelEventTypedText;
        }
    }
    if (event_code == kLevelEventTypedText) {
        std::snprintf(g.event_text, sizeof g.event_text, "%s", g.handed_line);
    } else if (c.value_type == kGridValueInt) {
        e.value.i = c.value.i;
    } else if (c.value_type == kGridValueDouble) {
        e.value.d = c.value.d;
    } else {
        copy_cell_text(c, g.event_text, sizeof g.event_text);
        e.value.text = g.event_text;
    }
    if (code >= 9 && code <= 11) {
        e.code = code;
        const int r = call_level(e);
        if (r == 0) {
            if (c.value_type == kGridValueInt) c.value.i = e.value.i;
            if (c.value_type == kGridValueDouble) c.value.d = e.value.d;
            if (c.value_type == kGridValueText && e.value.text != nullptr) {
                grid_set_cell_text(e.value.text);
            }
            grid_format_edit_value();
            c.edited = 2;
            grid_draw_current();
        } else {
            show_failure(r);
        }
        return r;
    }
    if (event_code == kLevelEventActivate && c.edited != 0) {
        event_code = kLevelEventEdited;
        e.argument = c.edited == 2 ? 1 : 0;
    }
    e.code = event_code;
    if (event_code == kLevelEventActivate && !typeless(c)) {
        const bool same = g.activated.line == c.line && g.activated.first_column == c.first_column;
        if (!(same && g.edit_state == kGridSelected &&
              grid_entry_kind(c.field_code) == kGridKindSelectable)) {
            const bool other = g.activated.text != nullptr && !same;
            grid_set_edit_mode(0);
            if (other) {
                grid_return_to_cell(0);
            } else {
                g.activated = GridCell{};
            }
            return 0;
        }
    }
    return deliver(e);
}

void grid_click_cell(int argument) {
    GridState& g = grid_state();
    const GridCell hit = g.hit;
    if (g.current.text != nullptr && g.edit_state > kGridSelected) {
        const std::string typed = command_line();
        if (!typed.empty() && typed != g.edit_text) {
            // The typed text is committed first; the click does nothing else.
            if (set_pending_line(typed.c_str()) == 0) set_run_state(kRunStateLevelLine);
            set_command_line("");
            return;
        }
    }
    grid_end_edit();
    grid_set_current(hit, true);
    const int kind = grid_entry_kind(hit.field_code);
    const bool label_not_selector = kind == kGridKindLabel && hit.first_column != 0;
    if (typeless(g.current) && !label_not_selector) grid_activate_cell(argument);
}

void grid_set_level_cursor() {
    GridControl& k = grid_control();
    if (k.dispatching) {
        k.deferred_cursor = true;
        return;
    }
    CommandLevel* level = top_level();
    if (level == nullptr || level->cursor_field == 0) return;
    GridCell c;
    c.field_code = level->cursor_field;
    c.field_index = level->cursor_index;
    level->cursor_field = 0;
    if (grid_find_cell(c) != 0) grid_set_current(c, false);
}

namespace {

// The first enabled cell that holds a value, from the first line of the main area on.
void select_first_data_cell() {
    const TextArea* h = grid_state().active_area == kSheetArea ? textarea(kHeaderArea) : nullptr;
    const int first = h != nullptr ? h->line_count : 0;
    const int total = grid_line_total();
    for (int l = first; l < total; ++l) {
        GridCell c;
        for (int column = 0; grid_entry_at_column(c, l, column, 1) != 0; column = c.end_column) {
            const int kind = grid_entry_kind(c.field_code);
            const bool data = kind != kGridKindRadioOff && kind != kGridKindRadioOn &&
                              kind != kGridKindLabel && kind < kGridKindButton;
            if (data) {
                grid_set_current(c, false);
                return;
            }
            if (c.end_column <= column) break;
        }
    }
}

}  // namespace

void grid_refresh_level() {
    GridState& g = grid_state();
    const CommandLevel* level = top_level();
    if (level == nullptr) return;
    repaint_grid_window();
    if (level->cursor_field != 0) {
        grid_set_level_cursor();
        return;
    }
    if (grid_control().dispatching) return;
    if (g.current.text == nullptr) {
        // A sheet of the stored size (a data sheet) always offers a cell to type into.
        if (level->size_mode == 1) select_first_data_cell();
        return;
    }
    // The sheet was written again: the current cell is found anew in its lines.
    GridCell c = g.current;
    if (grid_find_cell(c) != 0) {
        // The value the level wrote is the one a later Escape of an edit returns to.
        const int state = g.edit_state;
        g.current = c;
        grid_parse_edit_text();
        g.current.saved_value = g.current.value;
        grid_save_cell_text();
        g.edit_state = state < kGridSelected ? kGridSelected : state;
        grid_draw_current();
    } else {
        g.current = GridCell{};
        g.edit_state = kGridIdle;
    }
}

void grid_area_cleared(int area) {
    if (area != grid_state().active_area) return;
    grid_control().area_cleared = true;
    // Rows selected in the old lines mean nothing in the new ones.
    if (test_state_flag(kFlagRangeSelected) != 0) {
        clear_state_flag(kFlagRangeSelected);
        grid_control().queued_code = 0;
        grid_control().queued_argument = 0;
    }
}

namespace {
int g_refresh_request = 0;
}  // namespace

int& grid_refresh_request() {
    return g_refresh_request;
}

// --- mouse and keys --------------------------------------------------------------------------

namespace {

// The key an auto-repeat runs for a press beside the edited cell.
int repeat_key_for(const GridCell& c, int column, int y_row_delta) {
    const int horizontal = column < c.first_column  ? column - c.first_column
                           : column >= c.end_column ? column - c.end_column + 1
                                                    : 0;
    const int vertical = y_row_delta;
    if (horizontal != 0 && std::abs(vertical) * 4 <= std::abs(horizontal)) {
        return horizontal < 0 ? platform::key_left : platform::key_right;
    }
    if (vertical == 0) return 0;
    return vertical < 0 ? platform::key_up : platform::key_down;
}

void run_repeat_key(int key) {
    if (key == platform::key_left || key == platform::key_right) {
        grid_edit_caret_key(key);
    } else {
        grid_spin_value(key);
    }
}

bool prompt_open() {
    return question_or_prompt_open();
}

}  // namespace

void grid_on_mouse(int area, const platform::MouseEvent& event) {
    GridState& g = grid_state();
    GridControl& k = grid_control();
    if (k.display_held) return;
    using platform::MouseAction;
    using platform::MouseButton;
    const TextArea* a = textarea(area);
    if (a == nullptr) return;
    if (event.action == MouseAction::release) {
        k.awaiting_release = false;
        if (event.button == MouseButton::left || event.button == MouseButton::right) {
            stop_timer(a->window, kGridTimerRepeat);
            k.repeat_key = 0;
        }
        return;
    }
    if (event.action != MouseAction::press && event.action != MouseAction::double_click) return;
    if (k.repeat_key != 0 || k.awaiting_release) return;
    // A press in the sheet while window 16's grid is the active one is taken as Escape.
    if (prompt_open() || (area == kSheetArea && g.active_area == kGridTextArea)) {
        escape_prompt();
        return;
    }
    g.active_area = area == kGridTextArea ? kGridTextArea : kSheetArea;
    const bool range = test_state_flag(kFlagRangeSelected) != 0;
    GridCell hit;
    const bool on_cell = grid_hit_test(event.position.x, event.position.y, hit) != 0;
    if (event.button == MouseButton::right) {
        const int kind = on_cell ? grid_entry_kind(hit.field_code) : 0;
        if (on_cell && !range && (kind == kGridKindButton || kind == kGridKindDisabledButton)) {
            g.hit = hit;
            grid_click_cell(3);
        } else {
            grid_clear_selection();
        }
        return;
    }
    if (event.button != MouseButton::left) return;
    k.awaiting_release = true;
    const bool modified =
        (event.modifiers & (platform::modifier_shift | platform::modifier_control)) != 0;
    GridCell& c = g.current;
    const int column =
        (event.position.x - a->left_margin) / std::max(1, a->char_width) + a->horizontal_offset;
    if (modified && c.text != nullptr && !range) {
        if (on_cell && hit.line == c.line && hit.first_column == c.first_column && !typeless(c)) {
            // A typed cell starts its edit: a number in place with the caret at the press, a
            // value-list cell its list.
            if (g.edit_state <= kGridSelected) grid_set_edit_mode(1);
            if (g.edit_state == kGridEditNumber) {
                c.caret_column = std::clamp(column, c.first_column, c.end_column - 1);
                grid_draw_current();
            }
            return;
        }
        if (g.edit_state == kGridEditNumber) {
            // Beside the edited cell: the key the position names runs now and repeats.
            const int row_top = a->top_margin + (c.row + 0) * a->line_height;
            const int dy = event.position.y < row_top                     ? -1
                           : event.position.y >= row_top + a->line_height ? 1
                                                                          : 0;
            const int key = repeat_key_for(c, column, dy);
            if (key != 0) {
                run_repeat_key(key);
                k.repeat_key = key;
                start_timer(a->window, kGridTimerRepeat, kGridRepeatFirstMs);
            }
            return;
        }
    }
    if (!on_cell) return;
    const bool on_current = c.text != nullptr && hit.line == c.line &&
                            hit.first_column == c.first_column && hit.header == c.header;
    const bool activated_by_first = k.press_activated;
    k.press_activated = false;
    if (event.action == MouseAction::double_click && on_current && !modified &&
        g.edit_state == kGridSelected) {
        // The second press of a double-click: the first made the cell current. A value-list
        // cell opens its list; a typed cell keeps its whole value selected, so that typed keys
        // replace it (Shift or Ctrl with the press edits it in place); a cell the first press
        // already activated is not activated twice.
        const int kind = grid_entry_kind(c.field_code);
        if (!typeless(c) && kind != kGridKindSelectable && kind != kGridKindSelectableText) {
            if (kind == kGridKindValueList) {
                grid_set_edit_mode(1);
            } else {
                select_offered_value();
            }
            return;
        }
        if (activated_by_first) return;
        grid_activate_cell(0);
        return;
    }
    if (on_current) {
        if (g.edit_state > kGridSelected) {
            commit_command_line();
            return;
        }
        const int kind = grid_entry_kind(c.field_code);
        if (!typeless(c) && kind != kGridKindSelectable && kind != kGridKindSelectableText) {
            // However often the cell is pressed, its whole value stays selected.
            select_offered_value();
            return;
        }
        grid_activate_cell(modified ? 1 : 0);
        return;
    }
    if (range) {
        const int anchor = grid_control().range.anchor_code;
        int index = 0;
        const bool carries = grid_line_carries_field(hit, anchor, &index);
        if (modified && grid_range_contains(hit)) {
            grid_post_action(1, 1);
            return;
        }
        if (carries) {
            grid_extend_range_to(hit);
            return;
        }
    }
    g.hit = hit;
    grid_click_cell(modified ? 1 : 0);
}

void textwin_on_input(int window, const platform::MouseEvent* mouse,
                      const platform::KeyEvent* key) {
    GridControl& k = grid_control();
    if (k.display_held) return;
    if (key != nullptr) {
        textwin_select(window, 0, 0);
        grid_key_navigate(key->key, window);
        return;
    }
    if (mouse == nullptr) return;
    using platform::MouseAction;
    using platform::MouseButton;
    if (mouse->button == MouseButton::right && mouse->action == MouseAction::release) {
        stop_timer(window, kGridTimerRepeat);
        k.repeat_key = 0;
        return;
    }
    if (mouse->button != MouseButton::left ||
        (mouse->action != MouseAction::press && mouse->action != MouseAction::double_click)) {
        return;
    }
    if (k.repeat_key != 0) return;
    textwin_select(window, 0, 0);
    const TextArea* a = textarea(window);
    if (a == nullptr || a->char_width <= 0 || a->line_height <= 0) return;
    const int row = (mouse->position.y - a->top_margin) / a->line_height;
    if (mouse->position.y < a->top_margin || row >= a->visible_lines) return;
    if (a->position_of(a->top_line) + row >= a->line_count) return;
    const int ring = (a->top_line + row) % a->capacity;
    const int column = (mouse->position.x - a->left_margin) / a->char_width + a->horizontal_offset;
    const std::uint8_t* attr = a->line_attributes(ring);
    if (attr == nullptr) return;
    const int n = std::min<int>(attr[0], a->attribute_bytes - 1) / kGridEntrySize;
    for (int i = 0; i < n; ++i) {
        const GridCellEntry e = decode_grid_entry(attr + 1 + i * kGridEntrySize);
        if (column < e.first_column || column >= e.end_column) continue;
        if ((e.field_code & 0x4000) != 0) return;
        k.display_held = true;
        textarea_hold_display(true);
        k.tip_window = window;
        k.tip_item = e.field_code;
        k.tip_slot = e.field_index;
        grid_draw_tip_frame(window, row, e.first_column, e.end_column, false);
        start_timer(window, kGridTimerTip, kGridTipMs);
        return;
    }
}

void grid_show_tip() {
    GridControl& k = grid_control();
    if (k.tip_window == 0) return;
    int row = 0;
    const double v = printed_number(k.tip_window, k.tip_item, k.tip_slot, &row);
    char text[96];
    std::snprintf(text, sizeof text, "%c%d = %s", 'a' + k.tip_slot, row % kOutputRows,
                  format_number(v, 0, 0));
    grid_draw_tip_frame(k.tip_window, 0, 0, 0, true);
    k.tip_window = 0;
    k.display_held = false;
    textarea_hold_display(false);
    show_status_message(0, text);
}

void grid_window_mouse(int window, const platform::MouseEvent& event) {
    if (window == platform::kWindowSpreadsheet) {
        grid_on_mouse(kSheetArea, event);
    } else if (window == platform::kWindowText1 || window == platform::kWindowText2) {
        textwin_on_input(window, &event, nullptr);
    }
}

void grid_window_key(int window, const platform::KeyEvent& event) {
    if (window == platform::kWindowSpreadsheet) {
        if (prompt_open()) return;
        grid_key_navigate(event.key, window);
    } else if (window == platform::kWindowText1 || window == platform::kWindowText2) {
        textwin_on_input(window, nullptr, &event);
    }
}

void grid_window_timer(int window, int timer_id) {
    GridState& g = grid_state();
    GridControl& k = grid_control();
    // The grid's timers fire once; a callback that wants another tick arms it again.
    if (timer_id >= kGridTimerCellChange && timer_id <= kGridTimerListSelection) {
        stop_timer(window, timer_id);
    }
    switch (timer_id) {
        case kGridTimerCellChange:
            if (prompt_open()) {
                start_timer(window, kGridTimerCellChange, kGridRepeatFirstMs);
            } else {
                k.cell_change_waiting = false;
                grid_dispatch_event(kLevelEventCellChanged);
            }
            break;
        case kGridTimerRepeat:
            if (k.repeat_key != 0 && g.edit_state > kGridSelected && !prompt_open()) {
                run_repeat_key(k.repeat_key);
                start_timer(window, kGridTimerRepeat, kGridRepeatNextMs);
            } else {
                k.repeat_key = 0;
            }
            break;
        case kGridTimerTip:
            grid_show_tip();
            break;
        default:
            break;
    }
}

namespace {
void reset_grid_events() {
    g_refresh_request = 0;
}
const platform::StateReset grid_events_state_reset{"ui/grid_events", reset_grid_events,
                                                   platform::ResetLayer::ui};
}  // namespace
