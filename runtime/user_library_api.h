// What a user library sees of the program. A library exports, with C linkage:
//
//   void InitLibrary(UserOutputValue output_value, UserRunCommand run_command,
//                    UserLensItem lens_item);
//
// called once when the library is loaded (without it the library is not kept), and functions
// of the UserFunction shape, which the command language calls with the argument cells after the
// function's id: count cells, each an ArgCell in the layout of runtime/arg_cells.h.
#pragma once

#include "runtime/arg_cells.h"

extern "C" {
// A number the program printed: row and column of the output-number table.
typedef double (*UserOutputValue)(int row, int column);
// Runs a command line; 0 or a negative message number.
typedef int (*UserRunCommand)(const char* text, int mode);
// The address of lens item item at index (and second index), or null.
typedef void* (*UserLensItem)(int item, int index, int index2);

typedef void (*UserInitLibrary)(UserOutputValue, UserRunCommand, UserLensItem);
typedef void (*UserFunction)(int count, ArgCell** cells);
}
