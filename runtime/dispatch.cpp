#include "runtime/dispatch.h"

#include <cstring>

#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/table_help.h"

namespace {

// What dispatching keeps between commands: the installed handlers and hooks, the on-error line,
// and how deep the running commands and lines are nested.
struct DispatchState {
    HandlerTable table;
    bool table_ready = false;  // the table holds its no-op defaults at least
    LineRunnerHooks hooks;
    OnErrorLine on_error = {};
    bool on_error_guard = false;
    int interactive_word = 0;
    int depth = 0;
    int nesting = 0;
    int run_mode = 0;
};

DispatchState& dispatch_state() {
    static DispatchState state;
    return state;
}

int no_exit_hook() {
    return 0;
}
int no_setting_flag(int, std::uint8_t) {
    return 0;
}
void* no_settings_item(int, int* type_out) {
    if (type_out != nullptr) *type_out = 0;
    return nullptr;
}
void* no_lens_item(int, int, int) {
    return nullptr;
}
const char* no_lens_item_text(int) {
    return nullptr;
}
// Without a lens of its own to look after, a store goes where a read would.
int plain_lens_item_store(int item, int i, int j, void** address) {
    *address = dispatch_state().table.lens_item_address(item, i, j);
    return 0;
}
void no_lens_item_stored(int, int, int) {}

const CommandRecord* command_record(int command) {
    const Definitions& d = definitions();
    if (d.commands == nullptr || command < 0 || command >= d.command_count) return nullptr;
    return &d.commands[command];
}

CommandHandler slot_handler(int slot) {
    return slot >= 0 && slot < kHandlerSlotCount ? dispatch_state().table.slots[slot] : nullptr;
}

// Runs the on-error line for a failed command; its code after the line is the result.
int run_on_error_line(int failure) {
    dispatch_state().on_error_guard = true;
    dispatch_state().on_error.code = failure;
    char line[kOnErrorLineSize];
    std::memcpy(line, dispatch_state().on_error.line, sizeof line);
    line[kOnErrorLineSize - 1] = '\0';
    run_command_string(line, 0);
    dispatch_state().on_error_guard = false;
    return dispatch_state().on_error.code;
}

}  // namespace

HandlerTable& handler_table() {
    DispatchState& d = dispatch_state();
    if (!d.table_ready) {
        d.table_ready = true;
        reset_handler_table();
    }
    return d.table;
}

void reset_handler_table() {
    dispatch_state().table.exit_hook = no_exit_hook;
    dispatch_state().table.set_setting_flag = no_setting_flag;
    dispatch_state().table.settings_item_address = no_settings_item;
    dispatch_state().table.lens_item_address = no_lens_item;
    dispatch_state().table.lens_item_text = no_lens_item_text;
    dispatch_state().table.lens_item_store_address = plain_lens_item_store;
    dispatch_state().table.lens_item_stored = no_lens_item_stored;
    for (CommandHandler& h : dispatch_state().table.slots) h = nullptr;
}

int set_handler(int slot, CommandHandler handler) {
    if (slot < 0 || slot >= kHandlerSlotCount) return -1;
    handler_table().slots[slot] = handler;
    return 0;
}

OnErrorLine& on_error_line() {
    return dispatch_state().on_error;
}

int interactive_call() {
    return dispatch_state().interactive_word;
}
void set_interactive_call(int value) {
    dispatch_state().interactive_word = value;
}
int handler_depth() {
    return dispatch_state().depth;
}
int command_string_nesting() {
    return dispatch_state().nesting;
}
int run_mode_word() {
    return dispatch_state().run_mode;
}

LineRunnerHooks& line_runner_hooks() {
    return dispatch_state().hooks;
}
void reset_line_runner_hooks() {
    dispatch_state().hooks = LineRunnerHooks{};
}

int run_command(int command) {
    handler_table();
    const CommandRecord* record = command_record(command);
    if (record == nullptr) return set_error_msg(kMsgUnknownCommand, command);
    // Lens data runs lens-data commands only, whatever composed the line.
    if (in_lens_data_scope() && (record->flags & kRecordLensData) == 0) {
        return set_error_msg(kMsgRefusedInLensData);
    }
    set_current_command(command);

    if (dispatch_state().interactive_word > 0 && record->interactive_slot >= 0 &&
        slot_handler(record->interactive_slot) != nullptr && load_command_help(command) >= 0) {
        dispatch_state().interactive_word = -1;
        const int r = slot_handler(record->interactive_slot)();
        if (r != 0) {
            dispatch_state().interactive_word = 0;
            return r;
        }
        if (dispatch_state().hooks.forget_history_line != nullptr)
            dispatch_state().hooks.forget_history_line();
        return 0;
    }

    const CommandHandler handler = slot_handler(record->plain_slot);
    if (handler == nullptr) return 0;
    ++dispatch_state().depth;
    const int r = handler();
    --dispatch_state().depth;
    if (r == 0 || dispatch_state().on_error_guard || dispatch_state().on_error.line[0] == '\0')
        return r;
    return run_on_error_line(r);
}

int run_command_string(const char* text, int mode) {
    int flags = 0;
    if (mode < 0) {
        flags = -mode;
        mode = 0;
    }
    if (dispatch_state().nesting == 0 && dispatch_state().hooks.clear_error_line_number != nullptr)
        dispatch_state().hooks.clear_error_line_number();
    ++dispatch_state().nesting;
    if (dispatch_state().hooks.stop_answer_collection != nullptr)
        dispatch_state().hooks.stop_answer_collection();
    if (dispatch_state().interactive_word > 0) dispatch_state().interactive_word = 0;
    const int saved_mode = dispatch_state().run_mode;
    dispatch_state().run_mode = mode;
    if (dispatch_state().hooks.cancel_typed_line_run != nullptr)
        dispatch_state().hooks.cancel_typed_line_run();
    if (dispatch_state().hooks.show_wait_cursor != nullptr)
        dispatch_state().hooks.show_wait_cursor();

    int result = 0;
    const char* line = text != nullptr ? text : "";
    const bool inside_code =
        dispatch_state().hooks.kpl_depth != nullptr && dispatch_state().hooks.kpl_depth() >= 2;
    if (inside_code && dispatch_state().hooks.run_nested_line != nullptr) {
        result = dispatch_state().hooks.run_nested_line(line, flags) != 0 ? kStopped : 0;
    } else if (!inside_code && dispatch_state().hooks.run_top_line != nullptr) {
        result = dispatch_state().hooks.run_top_line(line, mode, flags);
    } else {
        result = kMsgNoLineRunner;
    }

    dispatch_state().run_mode = saved_mode;
    --dispatch_state().nesting;
    return result;
}

int call_command_handler(int command, const ArgCell* cells, int count) {
    handler_table();
    if (count < 0 || count > kScratchCellCount || (count > 0 && cells == nullptr)) {
        return set_error_msg(kMsgTooManyHandlerArgs, count, kScratchCellCount);
    }
    const CommandRecord* record = command_record(command);
    if (record == nullptr) return set_error_msg(kMsgUnknownCommand, command);
    const CommandHandler handler = slot_handler(record->plain_slot);
    if (handler == nullptr) return 0;

    const ScratchCallScope call;
    ArgCell** const scratch = call.scratch();
    for (int i = 0; i < count; ++i) *scratch[i] = cells[i];
    set_arg_vector(scratch, count);
    set_current_command(command);
    return handler();
}

namespace {
// The installed handlers and both hook sets go (the program installs them again at start-up),
// and so do the on-error line and the run's dispatch_state().nesting.
void reset_dispatch_state() {
    dispatch_state() = DispatchState{};
}
const platform::StateReset dispatch_state_reset{"runtime/dispatch", reset_dispatch_state,
                                                platform::ResetLayer::runtime};
}  // namespace
