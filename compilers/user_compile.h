// The two compilers of a user's own sources, started by the program's compile driver:
//
//   kpl -a <prefix> -m <diagnostics file> [-p] [options]   procedure sources
//   brx -a <prefix> -m <diagnostics file> [-p] [options]   list and menu sources
//
// The public pass (no -p) reads ROOT/public/kpl and writes the tables of ROOT/bin/amo; the
// private pass reads ROOT/public/kpl and DATA/kpl and writes DATA/bin/amo, so the private tables
// hold everything the public ones do. ROOT and DATA come from the environment variables named by
// the prefix in upper case followed by "ROOT" and "DATA". The shipped vocabulary the tables start
// from is read from its sources in ROOT/bin/src.
//
// Every fault goes to the diagnostics file as "<file>(<line>): <message>". Exit code 0 is
// success, 8 faults in the user's sources; 2 is a failure to run (no folders, a shipped source
// that cannot be read, a table that cannot be written). A failed run writes no table. Options
// the compilers do not know (those meant for the message compiler) are ignored.
#pragma once

#include <string>
#include <vector>

namespace compilers {

inline constexpr int kExitOk = 0;
inline constexpr int kExitSourceFaults = 8;
inline constexpr int kExitFailed = 2;

// Source files one pass reads at most.
inline constexpr std::size_t kSourceFileCount = 200;

enum class Tool { procedures, lists };

// Whether a file name is a source of the tool: extension "kpl"; "a_list*" and "a_menu*" are
// list sources, "a_string*" belong to the message compiler, every other name is a procedure
// source. Case is ignored.
bool is_source_of(Tool tool, const std::string& file_name);

// Runs one pass with the arguments after the program name; the exit code.
int run(Tool tool, const std::vector<std::string>& args);

}  // namespace compilers
