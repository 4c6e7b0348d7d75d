// Running a handler as another command: a selector command that picks one of several reports
// hands its choice on as the report's own command, so that the history and logs show the
// report with its arguments rather than the selector.
#pragma once

#include "runtime/arg_cells.h"

// Runs handler as command number `command` on cells[0..count-1] (the selector's local cells:
// the running command's own cells are never written), records the command text as the
// history's line, and puts the running command, its argument vector and count back.
int run_as_command(int command, int (*handler)(), ArgCell* cells, int count);

// Where the command text goes; null puts back the history's recorder (tests listen here).
void set_run_as_recorder(void (*recorder)());
