#include "ui/sheet_kit.h"

#include <cstdio>
#include <string>

#include "lens/lens_file_commands.h"
#include "platform/state_reset.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

constexpr char kLensContext = 'L';
constexpr int kInactive = 0x8000;

SheetKitGlobals g_kit;

std::string first_line(int message) {
    const char* t = msg_text(message);
    std::string s = t != nullptr ? t : "";
    const std::size_t cut = s.find('\n');
    if (cut != std::string::npos) s.resize(cut);
    return s;
}

}  // namespace

SheetKitGlobals& sheet_kit_globals() {
    return g_kit;
}

void reset_sheet_kit() {
    g_kit = SheetKitGlobals{};
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

int sheet_rewrite(const SheetKit& kit) {
    begin_level_output();
    if (kit.print != nullptr) kit.print();
    return end_level_output();
}

int sheet_after_change(SheetKit& kit) {
    const int setup = lens_setup_or_error();
    const int rc = sheet_rewrite(kit);
    return setup != 0 ? setup : rc;
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
