// The main loop: the program's one event loop while it runs. Each pass takes one event (or one
// typed line), runs the pending command line through the command language, and then carries
// out the request a handler left in the run-state word: leave the program, open or close
// command levels, re-run a level's entry. Handlers never open or close levels themselves.
#pragma once

#include "platform/ui.h"

enum RunState : int {
    kRunStateNone = 0,
    kRunStateExit = 104,         // run the exit line (close request, end of input)
    kRunStateLevelLine = 106,    // the typed line is an entry for the current level
    kRunStateRerunEntry = 107,   // the level's entry is to be run again
    kRunStatePushLevel = 108,    // build the display of the level just pushed
    kRunStateCloseLevel = 109,   // close the current level
    kRunStateEscapeLevel = 110,  // run the level's handler with the Escape, then close it
    kRunStateShowEditWindow = 111,
    kRunStateGridAction = 112,
    kRunStateLeaveLevels = 114,             // leave every level, one per pass
    kRunStateLeaveLevelsWithHandler = 115,  // the same, the last one through its handler
};

inline constexpr int kMsgExitLine = -57;
inline constexpr int kMsgEmptyEditSelection = -64;
inline constexpr int kMsgStartupRoutineName = -72;

int run_state();
void set_run_state(int state);
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
