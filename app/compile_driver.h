// The compile driver: carries out the compile request (runtime/compile_request.h) by starting
// the compilers of the installation as child processes, then reopens the tables they wrote,
// forgets loaded procedures, reloads the definitions after a code compile and reports. After a
// failure it lists the compilers' diagnostics files.
//
// A compiler is started as the argument vector
//     ROOT/<tool> -a tv -m <tree>/bin/amo/<tool>_errs [-p] [options...]
// where the tools live beside the program, and waited for up to 60 seconds. Exit code 0 is
// success, 8 compile errors; any other code, a signal, a failed start or the time-out is a
// failure (the child is killed on time-out).
#pragma once

#include <string>
#include <vector>

#include "tables/table_names.h"

inline constexpr int kCompilerWaitMs = 60000;
inline constexpr int kCompilerErrorsExit = 8;

// The menus are rebuilt after a menu compile by the menu code of the user interface, which
// installs itself here; until then nothing is rebuilt.
using MenuRebuilder = void (*)();
void set_menu_rebuilder(MenuRebuilder rebuilder);

// The options text split into words; double quotes group blanks into a word.
std::vector<std::string> split_compiler_options(const std::string& options);

// Runs the requested compile (nothing when none is requested) and clears the request.
void run_compiler();
// Reports a failed compile and lists (then deletes) the diagnostics files of the tree that
// failed; a compiler that could not be run only shows -93.
void show_compile_errors();

// At the start of the main loop: when the private tables are older than the public ones, asks
// whether to recompile them all (OK: all three kinds for the private tree; Cancel clears the
// mark).
void offer_stale_table_compile();
