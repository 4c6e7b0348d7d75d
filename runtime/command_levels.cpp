#include "runtime/command_levels.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/command_history.h"
#include "runtime/command_text.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/table_help.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

struct SavedCall {
    int command = -1;
    int count = 0;
    ArgCell cells[kLevelSavedCells] = {};
    ArgCell* pointers[kLevelSavedCells] = {};
    char texts[kLevelSavedCells][kArgTextSize] = {};
};

struct Levels {
    CommandLevel records[kLevelLimit];
    int count = 0;
    bool push_pending = false;
    SavedCall saved;
    int output_mode = 0;
    int saved_output_window = 0;
    bool stop_request = false;
    bool in_handler = false;
    // Installed at start: what shows the prompt, sends a level change, closes a level's window,
    // keeps a level's command text in the graphics window, refreshes and prepares the output.
    void (*show_prompt)(const char*) = nullptr;
    int (*level_change_sender)(int n) = nullptr;
    void (*window_closer)() = nullptr;
    LevelGraphicsText graphics_text = nullptr;
    void (*refresh)() = nullptr;
    int (*output_preparer)() = nullptr;
};

Levels g_levels;

void show_prompt(const char* text) {
    if (g_levels.show_prompt != nullptr) g_levels.show_prompt(text);
}

void show_level_prompt(const CommandLevel* level) {
    show_prompt(level != nullptr && level->prompt[0] != '\0' ? level->prompt : nullptr);
}

// The running interactive handler's cells become the saved call of the level.
void save_interactive_call() {
    SavedCall& s = g_levels.saved;
    s.command = current_command();
    s.count = arg_count() < kLevelSavedCells ? arg_count() : kLevelSavedCells;
    for (int i = 0; i < kLevelSavedCells; ++i) s.pointers[i] = &s.cells[i];
    for (int i = 0; i < s.count; ++i) {
        const ArgCell* cell = arg_cell(i);
        s.cells[i] = cell != nullptr ? *cell : ArgCell{};
        if (cell != nullptr && cell->type == kArgChar && cell->text_length > 0 &&
            cell->value.text != nullptr) {
            std::snprintf(s.texts[i], kArgTextSize, "%s", cell->value.text);
            s.cells[i].value.text = s.texts[i];
            s.cells[i].text_length = static_cast<std::int16_t>(std::strlen(s.texts[i]) + 1);
        }
    }
}

}  // namespace

int level_count() {
    return g_levels.count;
}

CommandLevel* top_level() {
    return g_levels.count > 0 ? &g_levels.records[g_levels.count - 1] : nullptr;
}

CommandLevel* level_record(int n) {
    return n >= 0 && n < g_levels.count ? &g_levels.records[n] : nullptr;
}

int push_command_level(LevelHandler handler, int rows, int size_mode) {
    if (g_levels.count >= kLevelLimit ||
        (g_levels.push_pending && g_levels.count + 1 >= kLevelLimit)) {
        return set_error_msg(kMsgTooManyLevels, kLevelLimit);
    }
    if (g_levels.count == 0) {
        for (int i = 0; i < kLevelSavedCells; ++i)
            g_levels.saved.pointers[i] = &g_levels.saved.cells[i];
    }
    const int word = interactive_call();
    if (word == -1) {
        save_interactive_call();
        set_interactive_call(-2);
    } else if (word < -1) {
        set_interactive_call(word - 1);
    }
    CommandLevel& level = g_levels.records[g_levels.count];
    level = CommandLevel{};
    level.handler = handler;
    level.rows = rows;
    level.size_mode = size_mode;
    g_levels.push_pending = true;
    set_run_state(kRunStatePushLevel);
    return 0;
}

bool level_push_pending() {
    return g_levels.push_pending;
}

void commit_pushed_level() {
    if (!g_levels.push_pending) return;
    g_levels.push_pending = false;
    ++g_levels.count;
    set_state_flag(kFlagLevelOpen);
    show_level_prompt(top_level());
}

void build_level_display() {
    CommandLevel* level = top_level();
    if (level == nullptr) return;
    GridEvent e;
    e.code = kLevelEventShown;
    run_command_level(e);
}

void set_level_window_closer(void (*close)()) {
    g_levels.window_closer = close;
}

void pop_command_level(bool by_escape) {
    if (g_levels.count == 0) return;
    clear_command_line();
    if (g_levels.level_change_sender != nullptr) {
        // The grid above tells the level, as it tells it of every change.
        g_levels.level_change_sender(by_escape ? 0 : 1);
    } else {
        GridEvent e;
        e.code = kLevelEventChange;
        e.argument = by_escape ? -1 : 0;
        run_command_level(e);
    }
    g_levels.records[g_levels.count - 1] = CommandLevel{};
    --g_levels.count;
    // A range selected in the level's sheet does not outlive the level.
    clear_state_flag(kFlagRangeSelected);
    if (g_levels.count > 0) {
        show_level_prompt(top_level());
        build_level_display();
        return;
    }
    clear_state_flag(kFlagLevelOpen);
    if (g_levels.window_closer != nullptr) g_levels.window_closer();
    reset_sheet_title();
    g_levels.saved = SavedCall{};
    if (interactive_call() < 0) set_interactive_call(0);
    show_prompt(nullptr);
    if (platform::UiBackend* ui = platform::current_ui()) ui->set_status_text("");
    set_output_window(current_text_window());
}

int run_command_level(GridEvent& event) {
    CommandLevel* level = top_level();
    if (level == nullptr || level->handler == nullptr || g_levels.in_handler) return 0;
    const int saved_command = current_command();
    ArgCell** const saved_vector = arg_vector();
    const int saved_count = arg_count();
    const bool interactive = interactive_call() < 0 && g_levels.saved.command >= 0;
    if (interactive) {
        set_current_command(g_levels.saved.command);
        set_arg_vector(g_levels.saved.pointers, g_levels.saved.count);
    }
    int result = 0;
    if (interactive && event.code == kLevelEventChange && event.argument == 0 &&
        g_levels.count == 1) {
        // The form was accepted: the command composed from its fields runs.
        char text[kHistoryLineSize] = {};
        const char* help =
            load_command_help(g_levels.saved.command) >= 0 ? ctable_find_text(94, 92) : nullptr;
        std::snprintf(text, sizeof text, "%s", help != nullptr ? help : "");
        GridEvent command;
        command.code = kLevelEventCommand;
        command.text = text;
        g_levels.in_handler = true;
        result = level->handler(command);
        g_levels.in_handler = false;
        if (result == 0) level_command_text(text);
        set_interactive_call(0);
    }
    if (result == 0) {
        g_levels.in_handler = true;
        result = level->handler(event);
        g_levels.in_handler = false;
    }
    if (interactive) {
        set_current_command(saved_command);
        set_arg_vector(saved_vector, saved_count);
    }
    return result;
}

bool level_handler_running() {
    return g_levels.in_handler;
}

void end_command_level() {
    set_run_state(kRunStateCloseLevel);
}

int cmd_exit_levels() {
    const ArgCell* first = arg_cell(0);
    const bool leave_all =
        first == nullptr || first->type != kArgInt || first->status != 0 || first->value.i == 0;
    set_run_state(leave_all ? kRunStateLeaveLevels : kRunStateLeaveLevelsWithHandler);
    return 0;
}

void set_level_rows(int rows) {
    if (CommandLevel* l = g_levels.push_pending ? &g_levels.records[g_levels.count] : top_level())
        l->rows = rows;
}

void set_level_header_rows(int n, int a, int b) {
    CommandLevel* l = g_levels.push_pending ? &g_levels.records[g_levels.count] : top_level();
    if (l == nullptr) return;
    l->header_rows = n < 0 ? 0 : (n > 8 ? 8 : n);
    l->selection[0] = a;
    l->selection[1] = b;
}

void set_level_option() {
    if (CommandLevel* l = g_levels.push_pending ? &g_levels.records[g_levels.count] : top_level())
        l->option = 1;
}

void set_level_cursor(int field, int index, int) {
    CommandLevel* l = g_levels.push_pending ? &g_levels.records[g_levels.count] : top_level();
    if (l == nullptr) return;
    l->cursor_field = field;
    l->cursor_index = index;
}

void set_level_choices(int count, const LevelChoice* pairs) {
    CommandLevel* l = g_levels.push_pending ? &g_levels.records[g_levels.count] : top_level();
    if (l == nullptr) return;
    l->choice_count = count < 0 ? 0 : (count > 4 ? 4 : count);
    for (int i = 0; i < l->choice_count; ++i) l->choices[i] = pairs[i];
}

void set_level_prompt(const char* text) {
    CommandLevel* l = g_levels.push_pending ? &g_levels.records[g_levels.count] : top_level();
    if (l == nullptr) return;
    std::snprintf(l->prompt, sizeof l->prompt, "%s", text != nullptr ? text : "");
}

void set_level_button(const char* text, int id) {
    CommandLevel* l = g_levels.push_pending ? &g_levels.records[g_levels.count] : top_level();
    if (l == nullptr) return;
    std::snprintf(l->button_text, sizeof l->button_text, "%s", text != nullptr ? text : "");
    l->button_id = id;
}

int saved_level_command() {
    return g_levels.saved.command;
}

int saved_level_arg_count() {
    return g_levels.saved.count;
}

ArgCell* saved_level_cell(int i) {
    return i >= 0 && i < g_levels.saved.count ? &g_levels.saved.cells[i] : nullptr;
}

void store_level_field_value(int field, const ArgCell& value) {
    ArgCell* cell = saved_level_cell(field);
    if (cell == nullptr) return;
    if (value.type == kArgChar && value.text_length > 0 && value.value.text != nullptr) {
        std::snprintf(g_levels.saved.texts[field], kArgTextSize, "%s", value.value.text);
        *cell = value;
        cell->value.text = g_levels.saved.texts[field];
        cell->text_length = static_cast<std::int16_t>(std::strlen(g_levels.saved.texts[field]) + 1);
    } else {
        *cell = value;
    }
    cell->status = 0;
}

void set_level_graphics_text(LevelGraphicsText hook) {
    g_levels.graphics_text = hook;
}

void level_command_text(const char* text) {
    std::string command;
    if (format_command_text(command, 0) < 0) return;
    set_pending_line(command.c_str());
    clear_command_line();
    if (text != nullptr && text[0] != 0 && g_levels.graphics_text != nullptr) {
        g_levels.graphics_text(text, command.c_str());
    }
}

void record_command_text() {
    if (history_recording_flag() == 0) return;
    std::string command;
    if (format_command_text(command, 0) < 0) return;
    replace_pending_line(command.c_str());
}

int begin_level_output() {
    if (g_levels.count == 0) return 0;
    if (g_levels.output_mode == 0) g_levels.output_mode = 2;
    g_levels.saved_output_window = output_window();
    if (g_levels.output_preparer != nullptr) {
        if (const int window = g_levels.output_preparer(); window != 0) return window;
    }
    return output_window();
}

void set_level_output_preparer(int (*prepare)()) {
    g_levels.output_preparer = prepare;
}

void set_level_change_sender(int (*sender)(int n)) {
    g_levels.level_change_sender = sender;
}

void set_level_refresh_hook(void (*refresh)()) {
    g_levels.refresh = refresh;
}

int end_level_output() {
    if (g_levels.output_mode != 0) {
        // A last line left open is ended; one already ended adds no empty line.
        if (output_line_pending()) flush_output_line();
        g_levels.output_mode = 0;
        if (g_levels.refresh != nullptr) g_levels.refresh();
    }
    set_output_window(current_text_window());
    if (g_levels.stop_request) {
        g_levels.stop_request = false;
        return kMsgListingStopped;
    }
    return 0;
}

int level_output_mode() {
    return g_levels.output_mode;
}

void request_listing_stop() {
    g_levels.stop_request = true;
}

void clear_listing_stop() {
    g_levels.stop_request = false;
}

void reset_command_levels() {
    Levels fresh;
    fresh.show_prompt = g_levels.show_prompt;
    fresh.level_change_sender = g_levels.level_change_sender;
    fresh.window_closer = g_levels.window_closer;
    fresh.graphics_text = g_levels.graphics_text;
    fresh.refresh = g_levels.refresh;
    fresh.output_preparer = g_levels.output_preparer;
    g_levels = fresh;
}

void set_level_prompt_display(void (*show)(const char* text)) {
    g_levels.show_prompt = show;
}

namespace {
const platform::StateReset command_levels_state_reset{
    "runtime/command_levels", reset_command_levels, platform::ResetLayer::runtime};
}  // namespace
