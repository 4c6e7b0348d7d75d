// The main loop: the program's one event loop while it runs. Each pass takes one event (or one
// typed line), runs the pending command line through the command language, and then carries
// out the request a handler left in the run-state word (runtime/run_state.h).
#pragma once

#include "platform/ui.h"
#include "runtime/run_state.h"
#include "tables/table_names.h"

int leave_count();

// Installs the command line, the history, the command levels and their commands into the
// dispatch, the parameter prompts and the text output (after the definitions are loaded).
// 0 or the command language's failure.
int install_main_loop();
// The frame's event handler: close requests, keys and the prompt timer.
platform::WindowHandler* frame_handler();

// The start of the loop: running flag on, focus on the command line, and the start-up routine
// (message -72) as the first line when its name is defined.
void main_loop_start();
// One pass; false once the running flag is cleared. wait lets the pass wait for an event.
bool main_loop_pass(bool wait);
// Runs the loop until the running flag is cleared; then shuts the user interface down.
int main_loop(int show_state);

// Window services of the loop.
void show_window(int visible, int window);
void hide_window(int window);
void set_wait_cursor(int wait);
int wait_cursor_shown();
void beep();

// Run states 111 and 112 wait for their windows: the edit window is shown once it exists, and
// the grid's queued action runs through the runner the grid installs. The requests are kept
// until then.
using GridActionRunner = void (*)();
void set_grid_action_runner(GridActionRunner runner);
bool edit_window_request_pending();
bool grid_action_request_pending();

void reset_main_loop();

// The socket in the data folder through which other programs send lines to the text output.
inline constexpr char kExternalTextSocket[] = "tavo-text.sock";
