#include "app/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/startup.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/format_print.h"
#include "runtime/list_words.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/parameters.h"
#include "runtime/safe_format.h"
#include "runtime/state_flags.h"
#include "runtime/table_format.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "ui/choice_lists.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"

namespace {

struct CommandLineState {
    int prompt_state = 0;
    int answer_code = 0;
    char answer[kHistoryLineSize] = {};
    char prompt[kPromptTextLimit + 1] = {};
    bool timer_running = false;
    bool prompt_in_field = false;
};

CommandLineState g;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

// Offers the current value list at a prompt: as a popup menu at the place the grid names when
// it has at most 20 items, else in the list window with the default's item selected.
void show_value_choices(const char* default_text) {
    int window = 0;
    platform::Point at;
    if (choice_item_count() <= kChoiceListRows && choice_popup_anchor(&window, &at)) {
        choice_popup_menu(window, at.x, at.y, 1);
        return;
    }
    fill_choice_list(1, find_choice(default_text));
}

bool is_immediate(const char* text) {
    const int symbol = immediate_command_symbol();
    return symbol >= 0 && lookup_symbol(text) == symbol;
}

bool level_active() {
    return level_count() > 0;
}

void refuse_long_line() {
    show_error(kMsgCommandLineTooLong);
}

void text_for_level(const char* text) {
    if (set_pending_line(text) != 0) {
        refuse_long_line();
        return;
    }
    set_run_state(kRunStateLevelLine);
    clear_command_line();
}

}  // namespace

void enter_command_line(const char* text) {
    if (text == nullptr) text = "";
    if (is_immediate(text)) {
        clear_command_line();
        run_command_string(text, 0);
        return;
    }
    if (g.prompt_state == 0 && level_active()) {
        text_for_level(text);
        return;
    }
    if (std::strlen(text) > kCommandLineLimit) {
        refuse_long_line();
        clear_command_line();
        return;
    }
    if (g.prompt_state == 0) {
        set_pending_line(text);
    } else {
        std::snprintf(g.answer, sizeof g.answer, "%s", text);
        g.prompt_state = 0;
    }
    clear_command_line();
}

void close_choice_list() {
    fill_choice_list(0);
}

bool choice_list_shown() {
    return choice_list_visible();
}

void show_choice(int n, bool by_item, bool enter) {
    std::string text;
    if (!choice_text(n, by_item, text)) return;
    // "{name} words": the name alone is what the line takes.
    if (!text.empty() && text[0] == '{') {
        const std::size_t close = text.find('}');
        text = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    set_command_line_text(text.c_str());
    if (!by_item) set_selected_choice(n);
    // A text ending in '_' is a command to be completed by the user: it is never entered.
    if (!enter || (!text.empty() && text.back() == '_')) return;
    enter_command_line(text.c_str());
}

void escape_command_line() {
    if (g.prompt_state != 0) {
        g.answer_code = kStopped;
        g.prompt_state = 0;
        if (g.prompt_in_field) clear_command_line();
        return;
    }
    close_choice_list();
    // A range of rows selected in the sheet is dropped first; the next Escape leaves the level.
    if (test_state_flag(kFlagRangeSelected) != 0) {
        grid_clear_selection();
        clear_command_line();
        return;
    }
    if (level_count() > 0) {
        // A cell being edited returns to its value; the next Escape leaves the level.
        if (grid_state().current.text != nullptr && grid_state().edit_state > kGridSelected) {
            grid_set_edit_mode(0);
            return;
        }
        set_run_state(kRunStateEscapeLevel);
        return;
    }
    clear_command_line();
}

void accept_command_level() {
    if (level_count() == 0 || g.prompt_state != 0) {
        platform::UiBackend* ui = ui_or_null();
        const std::string text = ui != nullptr ? ui->command_line_text() : std::string();
        enter_command_line(text.c_str());
        return;
    }
    set_run_state(kRunStateCloseLevel);
}

bool line_goes_to_level(const char* text) {
    if (!level_active()) return false;
    const int symbol = lookup_symbol(text);
    if (symbol < 0) return true;
    const Definitions& d = definitions();
    if (d.commands == nullptr || symbol >= d.command_count) return true;
    return d.commands[symbol].interactive_slot < 0;
}

void submit_command_line(const char* text) {
    if (text == nullptr || text[0] == '\0') return;
    if (is_immediate(text)) {
        run_command_string(text, 0);
        return;
    }
    if (g.prompt_state != 0) {
        beep();
        return;
    }
    if (std::strlen(text) > kCommandLineLimit) {
        refuse_long_line();
        return;
    }
    if (interactive_call() >= 0) set_interactive_call(2);
    if (line_goes_to_level(text)) set_run_state(kRunStateLevelLine);
    set_pending_line(text);
    clear_command_line();
}

bool take_typed_line() {
    platform::UiBackend* ui = ui_or_null();
    std::string line;
    if (ui == nullptr || !ui->take_command_line(line)) return false;
    enter_command_line(line.c_str());
    return true;
}

void show_prompt_text(const char* text) {
    platform::UiBackend* ui = ui_or_null();
    if (text == nullptr) {
        if (g.timer_running && ui != nullptr) ui->kill_timer(platform::kWindowFrame, kPromptTimer);
        g.timer_running = false;
        g.prompt[0] = '\0';
        return;
    }
    const bool fresh = std::strncmp(g.prompt, text, kPromptTextLimit) != 0;
    std::snprintf(g.prompt, sizeof g.prompt, "%s", text);
    if (ui != nullptr) ui->set_status_text(g.prompt);
    if (fresh && output_option(kOptionEcho) != 0) echo_command_text(text, false);
    if (!g.timer_running && ui != nullptr &&
        ui->set_timer(platform::kWindowFrame, kPromptTimer, kPromptTimerMs) == 0) {
        g.timer_running = true;
    }
}

void prompt_timer_tick() {
    platform::UiBackend* ui = ui_or_null();
    if (g.prompt_state > 0 && g.prompt_state < kPromptFlashLimit) ++g.prompt_state;
    if (ui != nullptr && g.prompt[0] != '\0' && ui->status_text() != g.prompt) {
        ui->set_status_text(g.prompt);
    }
    if (g.prompt_state == 0 || g.prompt_state >= kPromptFlashLimit) {
        if (ui != nullptr) ui->kill_timer(platform::kWindowFrame, kPromptTimer);
        g.timer_running = false;
    }
}

int prompt_state() {
    return g.prompt_state;
}

const char* prompt_text() {
    return g.prompt;
}

int ask_line(const char* prompt, char* answer, std::size_t size, const char* default_text, int) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || answer == nullptr || size == 0) return kStopped;
    g.answer_code = 0;
    g.answer[0] = '\0';
    g.prompt_state = 1;
    g.prompt_in_field = true;
    ui->poll_escape();
    show_prompt_text(prompt != nullptr ? prompt : "");
    const char* offered = default_text != nullptr ? default_text : "";
    if (value_list_count() > 0) show_value_choices(offered);
    ui->set_command_line_text(offered);
    while (g.prompt_state != 0) {
        if (take_typed_line()) continue;
        if (!ui->process_one_event(true) && !take_typed_line()) {
            // Nothing can be typed any more: the question is cancelled.
            g.prompt_state = 0;
            g.answer_code = kStopped;
        }
    }
    g.prompt_in_field = false;
    close_choice_list();
    if (g.answer_code != 0) return g.answer_code;
    // A line typed without text takes what was offered (the console cannot edit it).
    const char* taken = g.answer[0] == '\0' ? offered : g.answer;
    std::snprintf(answer, size, "%s", taken);
    return 0;
}

int poll_escape() {
    platform::UiBackend* ui = ui_or_null();
    return ui != nullptr && ui->poll_escape() ? kStopped : 0;
}

std::string format_pause_arguments() {
    const ArgCell* first = arg_cell(0);
    if (first == nullptr || first->type != kArgChar || first->text_length <= 0 ||
        first->value.text == nullptr) {
        return {};
    }
    // Composed as the formatted-output commands compose: each value typed by its cell.
    return compose_format(first->value.text, 1, NumberSink::inline_text);
}

int cmd_pause() {
    if (output_option(kOptionStepMode) == 0 || level_count() > 0) return 0;
    stop_answer_collection();
    std::string prompt = format_pause_arguments();
    if (prompt.empty()) prompt = msg_text(kMsgPauseDefaultPrompt);
    int result = 0;
    while (output_option(kOptionStepMode) != 0) {
        char answer[kHistoryLineSize];
        const int asked = ask_line(prompt.c_str(), answer, sizeof answer, "", kParamQuoteAnswer);
        if (asked != 0 || answer[0] == '\0') break;
        const LineRunnerHooks& hooks = line_runner_hooks();
        const int r =
            hooks.run_nested_line != nullptr ? hooks.run_nested_line(answer, 0) : kMsgNoLineRunner;
        if (r == 0) continue;
        result = r;
        // The runner has reported the failure; the question comes again while the program
        // runs interactively.
        if (r == kMsgNoLineRunner) show_error(r);
        if (running_flag() == 0 || r == kMsgNoLineRunner) break;
        result = 0;
    }
    show_prompt_text(nullptr);
    close_choice_list();
    return result;
}

namespace {

// A level's sheet shows and no question waits: the command line edits the sheet's cells.
bool sheet_in_use() {
    platform::UiBackend* ui = ui_or_null();
    const GridState& grid = grid_state();
    if (g.prompt_state != 0 || level_count() == 0) return false;
    const TextArea* sheet = textarea(grid.active_area);
    const bool sheet_shown = sheet != nullptr && ui != nullptr && ui->window_visible(sheet->window);
    return grid.current.text != nullptr || (sheet_shown && grid_line_total() > 0);
}

// Something other than the value the current cell offered has been typed.
bool typed_for_cell(const std::string& line) {
    return !line.empty() && line != grid_state().edit_text;
}

// The cell's value back in the line, all selected, as it was offered.
void offer_again() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    const char* text = grid_state().edit_text;
    ui->set_command_line_text(text);
    ui->set_command_line_selection(0, static_cast<int>(std::strlen(text)));
}

// After a row action the line still offering the value of the cell that was current offers
// the current cell's instead: a stale value would read as typed, and Escape would only give
// the line back instead of leaving the sheet.
void drop_stale_offer() {
    platform::UiBackend* ui = ui_or_null();
    GridControl& k = grid_control();
    if (ui == nullptr || k.offered.empty() || ui->command_line_text() != k.offered) return;
    const char* text = grid_state().edit_text;
    if (k.offered == text) return;
    k.offered = text;
    ui->set_command_line_text(text);
    ui->set_command_line_selection(0, static_cast<int>(std::strlen(text)));
}

// The typed line goes to the cell; the move follows once the cell took it.
void enter_then_move(const std::string& line, int key) {
    grid_control().move_after_entry = key;
    enter_command_line(line.c_str());
}

bool row_selector_current() {
    const GridCell& c = grid_state().current;
    if (c.text == nullptr) return false;
    const int kind = grid_entry_kind(c.field_code);
    return kind == kGridKindRowSelector || (kind == kGridKindLabel && c.first_column == 0);
}

bool sheet_key(const platform::KeyEvent& event) {
    platform::UiBackend* ui = ui_or_null();
    const std::string line = ui != nullptr ? ui->command_line_text() : std::string();
    const bool typed = typed_for_cell(line);
    const GridState& grid = grid_state();
    const bool value_cell = grid.current.text != nullptr && grid.current.value_type != 0;
    int key = event.key;
    switch (key) {
        case platform::key_tab:
            key = (event.modifiers & platform::modifier_shift) != 0 ? platform::key_left
                                                                    : platform::key_right;
            [[fallthrough]];
        case platform::key_up:
        case platform::key_down:
            if (typed && value_cell && grid.edit_state <= kGridSelected) {
                enter_then_move(line, key);
            } else {
                grid_edit_caret_key(key);
            }
            return true;
        case platform::key_left:
        case platform::key_right:
            // Inside typed text the caret moves; otherwise the cell does.
            if (typed) return false;
            grid_edit_caret_key(key);
            return true;
        case platform::key_enter:
            // The line is entered as always; the cell below becomes current once it took it.
            grid_control().move_after_entry = value_cell ? platform::key_down : 0;
            return false;
        case platform::key_escape:
            if (typed && grid.edit_state <= kGridSelected) {
                offer_again();
            } else {
                escape_command_line();
            }
            return true;
        case platform::key_page_up:
        case platform::key_page_down:
            grid_key_navigate(key, textarea(grid.active_area)->window);
            return true;
        case platform::key_insert: {
            const bool done = grid_row_action(kGridActionInsert, 0) != 0;
            drop_stale_offer();
            return done;
        }
        case platform::key_delete: {
            // Only rows chosen as rows go; otherwise Delete edits the line.
            if (test_state_flag(kFlagRangeSelected) == 0 && !row_selector_current()) return false;
            const bool done = grid_row_action(kGridActionDelete, 0) != 0;
            drop_stale_offer();
            return done;
        }
        default:
            return false;
    }
}

}  // namespace

bool command_line_key(const platform::KeyEvent& event) {
    if (!event.pressed) return false;
    if (sheet_in_use()) return sheet_key(event);
    if (event.key == platform::key_escape) {
        escape_command_line();
        return true;
    }
    return false;
}

void command_window_keydown(const platform::KeyEvent& event) {
    if (!event.pressed) return;
    platform::UiBackend* ui = ui_or_null();
    if (event.key != platform::key_enter && command_line_key(event)) return;
    switch (event.key) {
        case platform::key_enter:
            accept_command_level();
            break;
        case platform::key_escape:
            escape_command_line();
            break;
        case platform::key_up:
            if (g.prompt_state == 0 && ui != nullptr) {
                const std::string current = ui->command_line_text();
                if (const char* line = history_previous(current.c_str())) {
                    ui->set_command_line_text(line);
                }
            }
            break;
        case platform::key_down:
            if (g.prompt_state == 0 && ui != nullptr) {
                if (const char* line = history_next()) ui->set_command_line_text(line);
            }
            break;
        default:
            if (event.key >= platform::key_f1 && event.key < platform::key_f1 + 12) {
                const int n = event.key - platform::key_f1 + 1;
                run_toolbar_key((event.modifiers & platform::modifier_shift) != 0 ? n + 12 : n);
            }
            break;
    }
}

void reset_command_line() {
    close_choice_list();
    reset_choice_lists();
    if (g.timer_running) {
        if (platform::UiBackend* ui = ui_or_null()) {
            ui->kill_timer(platform::kWindowFrame, kPromptTimer);
        }
    }
    g = CommandLineState{};
}

namespace {
const platform::StateReset command_line_state_reset{"app/command_line", reset_command_line,
                                                    platform::ResetLayer::app};
}  // namespace
