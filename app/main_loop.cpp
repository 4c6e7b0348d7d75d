#include "app/main_loop.h"

#include <cstring>
#include <string>
#include <utility>

#include "app/command_dialog.h"
#include "app/command_line.h"
#include "app/compile_driver.h"
#include "app/sheet_strip.h"
#include "app/splash.h"
#include "app/startup.h"
#include "app/toolbar.h"
#include "app/window_captions.h"
#include "drawing/drawing_conditions_sheet.h"
#include "entry/coefficient_sheets.h"
#include "entry/glass_sheets.h"
#include "entry/hologram_grin_sheets.h"
#include "entry/lens_sheets.h"
#include "entry/sheet_hooks.h"
#include "entry/small_surface_sheets.h"
#include "entry/special_aperture_sheet.h"
#include "entry/surface_sheet.h"
#include "entry/wavelength_sheet.h"
#include "evaluation/spot_settings_sheet.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "kpl/kpl_line.h"
#include "lens/lens_file_commands.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "runtime/compile_request.h"
#include "runtime/control_commands.h"
#include "runtime/dispatch.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/settings_commands.h"
#include "runtime/state_flags.h"
#include "runtime/table_files.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "ui/edit_commands.h"
#include "ui/grid_control.h"
#include "ui/menus.h"
#include "ui/sheet_kit.h"
#include "ui/status_line.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

constexpr int kCommandOk = 12;
constexpr int kCommandCancel = 13;

class FrameHandler : public platform::WindowHandler {
public:
    bool on_close_request(int) override {
        set_run_state(kRunStateExit);
        return false;
    }
    void on_key(int, const platform::KeyEvent& event) override { command_window_keydown(event); }
    void on_timer(int, int timer_id) override {
        if (timer_id == kPromptTimer) prompt_timer_tick();
        if (timer_id == kSplashTimer) splash_timer_ended();
    }
    void on_command(int window, int command) override {
        if (command == kCommandOk) {
            accept_command_level();
        } else if (command == kCommandCancel) {
            escape_command_line();
        } else if (command >= platform::kMenuHoverCommandBase) {
            show_choice(command - platform::kMenuHoverCommandBase, true, false);
        } else if (command >= platform::kSystemMenuCommandBase) {
            choose_system_menu_check(command - platform::kSystemMenuCommandBase);
        } else if (command >= platform::kMenuCommandBase) {
            run_menu_command(window, command - platform::kMenuCommandBase);
        } else if (command >= platform::kChoiceSelectCommandBase) {
            show_choice(command - platform::kChoiceSelectCommandBase, false, false);
        } else if (command >= platform::kChoiceCommandBase) {
            show_choice(command - platform::kChoiceCommandBase, false, true);
        } else {
            run_toolbar_command(window, command);
        }
    }
};

// The main loop: what the running line asked for, the grid action runner, and the frame's
// event handler.
struct LoopState {
    int leave = 0;
    bool running_line = false;
    std::string failed_line;     // a typed line that failed, to be offered again
    bool exit_line_run = false;  // the exit line has run since no more input can come
    int wait_cursor = 0;
    bool edit_window_wanted = false;
    bool grid_action_wanted = false;
    GridActionRunner grid_runner = nullptr;
    FrameHandler frame_handler;  // the frame window's events
};

LoopState g;

void cancel_typed_line_run() {
    if (run_state() == kRunStateLevelLine) set_run_state(0);
}

void show_wait_cursor() {
    set_wait_cursor(1);
}

GridEvent level_event(int code, int argument) {
    GridEvent e;
    e.code = code;
    e.argument = argument;
    return e;
}

// Enter, Tab or an arrow that entered a cell's line goes on to the next cell once the cell
// took it; a refused entry keeps the cell.
void move_on_after_entry(int key) {
    if (key != 0 && run_state() == 0 && grid_state().current.text != nullptr) {
        grid_edit_caret_key(key);
    }
}

// main_loop_pass: the pending line runs, and is then recorded.
void run_pending_line() {
    set_wait_cursor(1);
    if (level_count() == 0) show_prompt_text(nullptr);
    const LineRunnerHooks& hooks = line_runner_hooks();
    const char* line = pending_line();
    g.running_line = true;
    const int move = std::exchange(grid_control().move_after_entry, 0);
    if (run_state() == kRunStateLevelLine && grid_owns_line()) {
        // A line for the sheet: the cell takes it through the line runner (or hands it to the
        // level, run state 107); an empty line, or the text the cell showed, activates the cell.
        set_run_state(0);
        GridState& grid = grid_state();
        const bool activation = line[0] == '\0' || std::strcmp(line, grid.edit_text) == 0;
        if (!activation && hooks.run_top_line != nullptr) {
            hooks.run_top_line(line, 0, 0);
            report_pending_kpl_error();
        }
        if (run_state() == 0 && (activation || grid.current.edited != 0) &&
            grid_dispatch_event(kGridActivate) == 0) {
            move_on_after_entry(move);
        }
    } else if (run_state() == kRunStateLevelLine) {
        // The typed line is an entry for the current level.
        char text[kHistoryLineSize];
        std::snprintf(text, sizeof text, "%s", line);
        GridEvent e = level_event(kLevelEventTypedLine, 0);
        e.value_type = 3;
        e.text = text;
        set_run_state(0);
        const int r = run_command_level(e);
        if (r != 0) show_error(r);
    } else if (hooks.run_top_line != nullptr) {
        const bool interactive = interactive_call() < 0;
        // A mistyped line is reported on the status line and given back to be put right.
        const std::string typed = line;
        // On a console a box is only a line on its error output, with nothing to dismiss.
        platform::UiBackend* shown_on = platform::current_ui();
        const bool boxes_block =
            shown_on != nullptr && std::strcmp(shown_on->name(), "console") != 0;
        if (boxes_block) begin_typed_line_errors();
        int result = hooks.run_top_line(line, 0, 0);
        report_pending_kpl_error();
        if (run_state() == kRunStateRerunEntry && interactive) {
            set_run_state(0);
            result = hooks.run_top_line(line, 0, 0);
            report_pending_kpl_error();
        }
        const int shown_errors = end_typed_line_errors();
        const bool failed = shown_errors > 0 || (result != 0 && result != kStopped);
        if (boxes_block && failed && run_state() != kRunStateExit) g.failed_line = typed;
    } else {
        show_error(kMsgNoLineRunner);
    }
    g.running_line = false;
    add_to_history();
    // Only a window title shows the mark: a console run computes nothing for it.
    if (platform::UiBackend* ui = platform::current_ui();
        ui != nullptr && std::strcmp(ui->name(), "console") != 0) {
        set_unsaved_mark(lens_unsaved());
    }
    poll_escape();
    clear_pending_line();
    if (interactive_call() > 0) set_interactive_call(0);
    stop_answer_collection();
    set_wait_cursor(0);
}

// The edit window shows once it exists; until then the request is kept.
void show_requested_windows() {
    platform::UiBackend* ui = platform::current_ui();
    if (!g.edit_window_wanted || ui == nullptr || !ui->window_exists(platform::kWindowEdit)) {
        return;
    }
    g.edit_window_wanted = false;
    show_window(1, platform::kWindowEdit);
}

// The grid's queued action runs through the grid's runner; until one is installed the request
// is kept.
void run_requested_grid_action() {
    if (!g.grid_action_wanted || g.grid_runner == nullptr) return;
    g.grid_action_wanted = false;
    g.grid_runner();
}

// After a request: the leave count decides what the next pass does.
void apply_leave_count() {
    if (g.leave == 0) {
        set_run_state(0);
    } else if (g.leave > 0) {
        --g.leave;
        set_run_state(g.leave > 0 && level_count() > 0 ? kRunStateCloseLevel : 0);
        if (run_state() == 0) g.leave = 0;
    } else {
        ++g.leave;
        if (level_count() == 0) {
            g.leave = 0;
            set_run_state(0);
        } else if (g.leave == -1) {
            set_run_state(kRunStateEscapeLevel);
        } else if (g.leave == 0) {
            set_run_state(0);
        } else {
            set_run_state(kRunStateCloseLevel);
        }
    }
}

// main_loop_pass, last: the run state a command or a level left is carried out, so that
// leaving levels, re-running an entry or ending the run happen between lines, never inside one.
void carry_out_run_state() {
    switch (run_state()) {
        case kRunStateNone:
            return;
        case kRunStateExit:
            set_run_state(0);
            set_program_line(msg_text(kMsgExitLine));
            return;
        case kRunStateLeaveLevels:
            g.leave = level_count();
            set_run_state(level_count() > 0 ? kRunStateCloseLevel : 0);
            return;
        case kRunStateLeaveLevelsWithHandler:
            g.leave = -level_count();
            set_run_state(level_count() == 1  ? kRunStateEscapeLevel
                          : level_count() > 1 ? kRunStateCloseLevel
                                              : 0);
            return;
        case kRunStateLevelLine: {
            // A cell activated without a typed line (Enter on an empty line moves on too).
            set_run_state(0);
            const int move = std::exchange(grid_control().move_after_entry, 0);
            if (grid_dispatch_event(kGridActivate) == 0) move_on_after_entry(move);
            // A request the handler left is carried out on the next pass.
            if (run_state() != 0) return;
            break;
        }
        case kRunStateRerunEntry: {
            if (grid_owns_line() || grid_state().handed_line[0] != '\0') {
                // The line the cell entry handed on reaches the level as its text.
                set_run_state(0);
                grid_dispatch_event(kGridCommitLine);
                grid_state().handed_line[0] = '\0';
                if (run_state() != 0) return;
                break;
            }
            set_wait_cursor(1);
            GridEvent e = level_event(kLevelEventRerun, 0);
            set_run_state(0);
            const int r = run_command_level(e);
            if (r != 0) show_error(r);
            set_wait_cursor(0);
            break;
        }
        case kRunStatePushLevel: {
            // The new level's sheet starts without a current cell or a selected range.
            grid_clear_selection();
            grid_drop_current();
            commit_pushed_level();
            for (int k = 0; k < 2 && run_state() == kRunStatePushLevel; ++k) {
                grid_dispatch_event(kGridLevelChange + 2);
                if (run_state() != kRunStatePushLevel) break;
                build_level_display();
            }
            if (run_state() == kRunStatePushLevel) set_run_state(0);
            if (run_state() != 0) return;  // a request of the new level waits for the next pass
            break;
        }
        case kRunStateCloseLevel:
            grid_clear_selection();
            grid_drop_current();
            pop_command_level(false);
            break;
        case kRunStateEscapeLevel: {
            // The level is asked first whether it may close: -9999 keeps it open, and so does a
            // failure (it is shown). Otherwise the level closes as left by Escape, once: a
            // sheet that held a revert copy reads it back, so Escape undoes its edits.
            GridEvent ask = level_event(kLevelEventMayClose, 0);
            const int r = run_command_level(ask);
            if (r == 0 || r == 1) {
                grid_clear_selection();
                grid_drop_current();
                pop_command_level(true);
            } else if (r != kStopped) {
                show_error(r);
            }
            break;
        }
        case kRunStateShowEditWindow:
            g.edit_window_wanted = true;
            show_requested_windows();
            break;
        case kRunStateGridAction:
            g.grid_action_wanted = true;
            run_requested_grid_action();
            break;
        default:
            break;
    }
    apply_leave_count();
}

}  // namespace

int leave_count() {
    return g.leave;
}

platform::WindowHandler* frame_handler() {
    return &g.frame_handler;
}

int install_main_loop() {
    const int kpl = kpl_install();
    if (kpl != 0) return kpl;
    LineRunnerHooks& hooks = line_runner_hooks();
    hooks.stop_answer_collection = stop_answer_collection;
    hooks.cancel_typed_line_run = cancel_typed_line_run;
    hooks.show_wait_cursor = show_wait_cursor;
    hooks.forget_history_line = forget_history_line;
    ParamHooks& params = param_hooks();
    params.ask_line = ask_line;
    params.collect_answer = collect_answer;
    params.close_prompt = [] {
        if (level_count() == 0) show_prompt_text(nullptr);
    };
    set_kpl_run_state_source(run_state);
    set_level_prompt_display(show_prompt_text);
    set_pending_echo_source(take_pending_echo);
    set_command_line_submitter(submit_command_line);
    set_handler(kSlotOutputControl, cmd_output_control);
    set_handler(kSlotCommandHistory, cmd_command_history);
    set_handler(kSlotPause, cmd_pause);
    set_handler(kSlotExitLevels, cmd_exit_levels);
    install_settings_commands();
    set_handler(kSlotOpenCommandDialog, cmd_open_command_dialog);
    return 0;
}

namespace {

// A line another program sent: printed as it stands, never used as a format.
void print_external_text(const std::string& line) {
    write_output_text(line.c_str(), false);
    write_output_text("\n", false);
}

}  // namespace

void main_loop_start() {
    set_running_flag(1);
    g.exit_line_run = false;
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr) ui->set_command_key_hook(command_line_key);
    if (ui != nullptr && ui->window_exists(platform::kWindowFrame)) {
        place_frame();
        place_child_windows();
        build_frame_toolbar();
        update_menu_states(0);
        // Graphics window 1 is there from the start, so drawing needs no open first.
        graphwin_open(1, 0, 0, 0, 0);
        // Picks on the interactive window's pane are points of its drawing.
        set_pick_mapper(graphics_pane_to_world);
        ui->listen_for_text(platform::join_path(data_folder(), kExternalTextSocket),
                            print_external_text);
    }
    wait_for_splash();
    apply_pending_captions();
    open_first_text_window();
    set_command_line_text("");
    offer_stale_table_compile();
    // A compile whose definitions could not be reloaded has ended the run.
    if (running_flag() == 0) return;
    const char* routine = msg_text(kMsgStartupRoutineName);
    if (routine != nullptr && routine[0] != '\0' && lookup_symbol(routine) >= 0) {
        set_program_line(routine);
    }
}

bool main_loop_pass(bool wait) {
    if (running_flag() == 0) return false;
    platform::UiBackend* ui = platform::current_ui();
    apply_pending_captions();
    show_requested_windows();
    run_requested_grid_action();
    if (output_option(kOptionPageMode) != 0) set_page_full_check_armed(true);
    // A request of the run state is carried out before anything else is taken from the user.
    if (pending_line() == nullptr && ui != nullptr && run_state() == 0 && !level_push_pending()) {
        if (level_count() == 0) show_prompt_text(nullptr);
        set_wait_cursor(0);
        refresh_toolbar_states();
        update_menu_states(1);
        // What the last command drew but left pending is shown before waiting for the next.
        graphwin_refresh(0);
        // A typed line that failed is given back once everything it caused has settled.
        if (!g.failed_line.empty()) {
            set_command_line_text(g.failed_line.c_str());
            g.failed_line.clear();
        }
        // A selection of the edit window asked to run in the last pass runs without waiting.
        if (!edit_run_requested() && !take_typed_line() && !ui->process_one_event(wait) && wait) {
            // Nothing can arrive any more (the console's input has ended): the exit line runs;
            // when it could not end the run, the run ends without it, since nobody is left to
            // answer.
            if (!g.exit_line_run) {
                set_run_state(kRunStateExit);
            } else {
                set_running_flag(0);
                return false;
            }
        }
    }
    if (pending_line() == nullptr && take_edit_run_request() && !run_edit_selection()) {
        msg_box(kMsgEmptyEditSelection);
    }
    if (const char* line = pending_line()) {
        if (std::strcmp(line, msg_text(kMsgExitLine)) == 0 && ui != nullptr && ui->input_ended()) {
            g.exit_line_run = true;
        }
        // Page mode shows each command's output from the top of a fresh page; an old message
        // leaves the status field.
        textarea_mark_new_page();
        clear_status_text(platform::kWindowFrame);
        clear_graphics_title_latch();
        run_pending_line();
    }
    if (compile_request().state != kCompileNone) run_compiler();
    textarea_update_stale_bars();
    if (running_flag() == 0) return false;
    carry_out_run_state();
    return running_flag() != 0;
}

int main_loop(int) {
    main_loop_start();
    while (main_loop_pass(true)) {
    }
    show_prompt_text(nullptr);
    return 0;
}

void show_window(int visible, int window) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->window_exists(window)) return;
    // The edit window's menu items and commands are enabled by whether it shows.
    if (window == platform::kWindowEdit) {
        if (visible != 0) {
            set_state_flag(kFlagEditWindowShown);
        } else {
            clear_state_flag(kFlagEditWindowShown);
        }
    }
    if (ui->window_visible(window) == (visible != 0)) {
        ui->invalidate(window);
        return;
    }
    ui->show_window(window, visible != 0);
}

void hide_window(int window) {
    show_window(0, window);
}

void set_wait_cursor(int wait) {
    g.wait_cursor = wait != 0 ? 1 : 0;
}

int wait_cursor_shown() {
    return g.wait_cursor;
}

void beep() {
    if (platform::UiBackend* ui = platform::current_ui()) ui->beep();
}

void set_grid_action_runner(GridActionRunner runner) {
    g.grid_runner = runner;
}

bool edit_window_request_pending() {
    return g.edit_window_wanted;
}

bool grid_action_request_pending() {
    return g.grid_action_wanted;
}

void reset_main_loop() {
    g = LoopState{};
}

namespace {
const platform::StateReset main_loop_state_reset{"app/main_loop", reset_main_loop,
                                                 platform::ResetLayer::app};
}  // namespace
