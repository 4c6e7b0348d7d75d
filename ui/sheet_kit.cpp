#include "ui/sheet_kit.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "platform/state_reset.h"
#include "runtime/command_context.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "trace/scoped_value.h"
#include "ui/grid_cells.h"
#include "ui/grid_control.h"

namespace {

constexpr char kLensContext = 'L';
constexpr int kInactive = 0x8000;

SheetKitGlobals g_kit;

std::string first_line(int message) {
    return sheet_message_line(message, 0);
}

}  // namespace

SheetKitGlobals& sheet_kit_globals() {
    return g_kit;
}

void reset_sheet_kit() {
    g_kit = SheetKitGlobals{};
}

int sheet_push(LevelHandler handler, int rows, int status_message) {
    if (const int rc = push_command_level(handler, rows, 0); rc != 0) return rc;
    set_level_option();
    status_msg(status_message);
    return 0;
}

void sheet_take_copy(SheetKit& kit) {
    if (kit.revert_message == 0 || kit.kept || kit.holds_copy) return;
    revert_copy_save(kit.revert_message);
    kit.holds_copy = true;
    ++g_kit.copies_held;
    set_state_flag(kFlagTemporaryLensCopy);
}

int sheet_release_copy(SheetKit& kit, int mode) {
    kit.kept = false;
    if (!kit.holds_copy) return 0;
    kit.holds_copy = false;
    if (g_kit.copies_held > 0) --g_kit.copies_held;
    if (g_kit.copies_held == 0) clear_state_flag(kFlagTemporaryLensCopy);
    return revert_copy_restore(kit.revert_message, mode);
}

int sheet_open(SheetKit& kit) {
    sheet_take_copy(kit);
    kit.kept = false;
    if (!kit.shown) kit.update_mode_before = test_state_flag(kFlagSingleCommandUpdate) != 0;
    kit.shown = true;
    set_state_flag(kFlagSingleCommandUpdate);
    // A letter already on top is not pushed again, and so not taken off on closing.
    if (!kit.context_pushed && command_context_letter() != kLensContext) {
        kit.context_pushed = push_command_context(kLensContext) == 0;
    }
    return sheet_rewrite(kit);
}

int sheet_may_close(const SheetKit& kit) {
    return kit.revert_message != 0 && kit.holds_copy ? revert_copy_unchanged(kit.revert_message)
                                                     : 1;
}

int sheet_close(SheetKit& kit, int end_mode) {
    if (kit.context_pushed) {
        pop_command_context();
        kit.context_pushed = false;
    }
    // A level being pushed hears of it before it is first shown: nothing of it is kept then.
    if (end_mode == 1) {
        kit.kept = kit.shown && kit.holds_copy;
        return 0;
    }
    kit.shown = false;
    return sheet_release_copy(kit, end_mode == -1 ? 1 : 0);
}

int sheet_run_line(const GridEvent& event) {
    return run_command_string(sheet_event_text(event), 1);
}

bool sheet_shown_after_line(int rc) {
    if (rc != 0 || running_flag() == 0 || level_count() == 0) return false;
    switch (run_state()) {
        case kRunStateCloseLevel:
        case kRunStateEscapeLevel:
        case kRunStateLeaveLevels:
        case kRunStateLeaveLevelsWithHandler:
            return false;
        default:
            return true;
    }
}

int sheet_rewrite(const SheetKit& kit) {
    if (kit.rows != nullptr) set_level_rows(kit.rows());
    begin_level_output();
    if (kit.print != nullptr) kit.print();
    return end_level_output();
}

int sheet_after_change(SheetKit& kit) {
    const int setup = lens_setup_or_error();
    const int rc = sheet_rewrite(kit);
    return setup != 0 ? setup : rc;
}

bool sheet_selected_rows(const GridEvent& event, int lo, int hi, int* first, int* last) {
    const int a = event.first_index;
    const int b = event.last_index >= 0 ? event.last_index : a + event.range_rows;
    *first = std::max(lo, std::min(a, b));
    *last = std::min(hi, std::max(a, b));
    return *first <= *last;
}

namespace {

int run_in_update_mode(const char* line) {
    const bool was_update = test_state_flag(kFlagSingleCommandUpdate) != 0;
    set_state_flag(kFlagSingleCommandUpdate);
    const int rc = run_command_string(line, 0);
    if (!was_update) clear_state_flag(kFlagSingleCommandUpdate);
    return rc;
}

}  // namespace

int sheet_run_update(const char* line, int s) {
    LensData& l = lens_data();
    if (s < 1 || s > l.image_surface) return run_in_update_mode(line);
    const ScopedValue<std::int32_t> at(l.current_surface, s);
    return run_in_update_mode(line);
}

namespace {

int dispatch_open(SheetKit& kit, const SheetEvents& events) {
    if (events.opening != nullptr) {
        if (const int rc = events.opening(); rc != 0 || events.opens_itself) return rc;
    }
    if (kit.state_flag != 0) set_state_flag(kit.state_flag);
    return sheet_open(kit);
}

// Leaving for good ends the update mode the opening set (unless the sheet keeps one it found
// on) and the sheet's own flag; a level pushed over the sheet leaves both.
int dispatch_close(SheetKit& kit, const SheetEvents& events, int end_mode) {
    if (events.closing != nullptr) return events.closing(end_mode);
    if ((end_mode != 1 || events.leaving_always) && events.leaving != nullptr) {
        events.leaving(end_mode);
    }
    const int rc = sheet_close(kit, end_mode);
    if (end_mode == 1) return rc;
    if (!events.opens_itself) {
        if (!events.keeps_update_mode || !kit.update_mode_before) {
            clear_state_flag(kFlagSingleCommandUpdate);
        }
        if (kit.state_flag != 0) clear_state_flag(kit.state_flag);
    }
    if (events.left != nullptr) events.left(end_mode);
    return rc;
}

int dispatch_rows(SheetKit& kit, const SheetEvents& events, const GridEvent& event) {
    int rc = 0;
    if (event.code == kGridActionPaste) {
        rc = events.paste_rows(event);
    } else {
        int lo = 0;
        int hi = 0;
        if (events.row_limits != nullptr) events.row_limits(&lo, &hi);
        int first = 0;
        int last = 0;
        if (sheet_selected_rows(event, lo, hi, &first, &last)) {
            rc = events.copy_rows(first, last);
            if (rc == 0 && event.code == kGridActionCut && events.clear_rows != nullptr) {
                rc = events.clear_rows(first, last);
            }
        }
    }
    return rc != 0 ? rc : sheet_rewrite(kit);
}

int dispatch_other(SheetKit& kit, const SheetEvents& events, GridEvent& event) {
    if (events.other != nullptr) return events.other(event);
    return events.quiet_otherwise ? 0 : sheet_rewrite(kit);
}

}  // namespace

int sheet_dispatch(SheetKit& kit, const SheetEvents& events, GridEvent& event) {
    switch (event.code) {
        case kLevelEventShown:
            return dispatch_open(kit, events);
        case kLevelEventMayClose:
            if (events.may_close != nullptr) return events.may_close();
            if (events.asks_of_any_copy) return revert_copy_unchanged(kit.revert_message);
            return sheet_may_close(kit);
        case kLevelEventChange:
            return dispatch_close(kit, events, event.argument);
        case kLevelEventCellChanged:
            return events.cell_text != nullptr ? events.cell_text(event) : 0;
        case kLevelEventEdited:
            return events.edited != nullptr ? events.edited(event) : sheet_rewrite(kit);
        case kLevelEventActivate:
            if (events.activated == nullptr) break;
            return events.activated(event);
        case kGridActionCut:
        case kGridActionCopy:
        case kGridActionPaste:
            if (events.copy_rows == nullptr || events.paste_rows == nullptr) break;
            return dispatch_rows(kit, events, event);
        case kLevelEventTypedText:
        case kLevelEventTypedLine: {
            if (events.typed == nullptr) break;
            const char* line = sheet_event_text(event);
            if (line[0] == '\0' && !events.types_empty_lines) return sheet_rewrite(kit);
            return events.typed(line, event);
        }
        default:
            break;
    }
    return dispatch_other(kit, events, event);
}

const char* sheet_event_text(const GridEvent& event) {
    if (event.text != nullptr) return event.text;
    if (event.value_type == kGridValueText && event.value.text != nullptr) return event.value.text;
    return "";
}

void sheet_edit_text(GridEvent& event, const char* text) {
    if (event.text == nullptr) return;
    std::snprintf(event.text, kGridTextBufferSize, "%s", text);
}

std::string sheet_message_line(int message, int k) {
    const char* t = msg_text(message);
    std::string s = t != nullptr ? t : "";
    for (int i = 0; i < k; ++i) {
        const std::size_t cut = s.find('\n');
        if (cut == std::string::npos) return {};
        s.erase(0, cut + 1);
    }
    const std::size_t cut = s.find('\n');
    if (cut != std::string::npos) s.resize(cut);
    return s;
}

void sheet_number_cell(int code, int index, double value) {
    text_hotspot(code, index);
    text_number(value);
}

void sheet_int_cell(int code, int index, int value, int width) {
    text_hotspot(code, index);
    char t[32];
    std::snprintf(t, sizeof t, "%*d", width, value);
    write_output_text(t, false);
}

void sheet_button(int code, int index, char mark) {
    text_hotspot(code, index);
    sheet_mark(mark);
}

void sheet_button_msg(int code, int index, int message) {
    text_hotspot(code, index);
    sheet_label(message);
}

void sheet_radio(int id, bool on, int message) {
    text_hotspot(id | (on ? kGridKindRadioOn : kGridKindRadioOff), 0);
    sheet_text(("  " + first_line(message)).c_str());
}

void sheet_label(int message) {
    sheet_text(first_line(message).c_str());
}

void sheet_text(const char* text) {
    write_output_text(text, false);
}

void sheet_inactive_number(int id, int index, double value) {
    text_hotspot(kInactive | id, index);
    text_number(value);
}

void sheet_mark(char mark) {
    const char t[4] = {' ', mark, ' ', '\0'};
    sheet_text(t);
}

void sheet_marks_field(const std::string& marks) {
    const std::string m = marks.substr(0, 4);
    const int n = static_cast<int>(m.size());
    const int start = (4 - n) / 2 + (n % 2);
    std::string field(4, ' ');
    for (int i = 0; i < n && start + i < 4; ++i) field[start + i] = m[i];
    sheet_text(field.c_str());
}

namespace {
const platform::StateReset sheet_kit_state_reset{"ui/sheet_kit", reset_sheet_kit,
                                                 platform::ResetLayer::ui};
}  // namespace
