// The run-state word: the request a handler leaves for the main loop, which carries it out after
// the line that made it has run (leave the program, open or close command levels, re-run a
// level's entry). Handlers never open or close levels themselves. The word lives here, below
// the loop, because command levels and lens commands set it.
#pragma once

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

int run_state();
void set_run_state(int state);
