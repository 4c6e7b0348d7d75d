// The control built-in (handler kSlotOutputControl): a family of small commands, each a short call
// into the part that owns the work. Program exit, the random numbers and the array dimensions of
// the arguments are served here.
#pragma once

#include "tables/table_names.h"

// Compile: requests a compile for the main loop (runtime/compile_request.h): cell 0 the tree
// (0 public, 1 private), cell 1 the compile state, cell 2 the compiler options, or the options
// of the setting KPL_compiler_options when cell 2 was not given.
// Exit: the exit hook decides (a cancel code is returned and the program goes on); otherwise
// the running flag is cleared and -9999 returned. The text-window, copy and font
// commands go to the window services. Other command numbers return 0.
int cmd_output_control();
