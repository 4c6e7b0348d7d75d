// Script entries: named entries of command files ("scp" files in the data and installation
// folders) run as command text; the shared opener of the program's data files; the
// millisecond stopwatch; the screen size.
#pragma once

#include <cstdio>
#include <string>

#include "tables/table_names.h"

inline constexpr int kScriptLineLimit = 255;            // characters of a script line
inline constexpr std::size_t kScriptEntryLimit = 8192;  // bytes of an entry's text
inline constexpr int kScriptNestingLimit = 8;           // entries running within each other

// What a script entry is called with: its numbers and texts, in the order given, as built-in
// variables of the command language. Cleared at every call.
inline constexpr int kScriptValueCount = 6;
inline constexpr int kScriptTextCount = 3;
inline constexpr int kScriptTextSize = 256;
struct ScriptParameters {
    double values[kScriptValueCount];
    char texts[kScriptTextCount][kScriptTextSize];
};
ScriptParameters& script_parameters();

enum DataFileKind : int {
    kDataFileAnimation = 0,  // "mov" in bin/mov of both folders
    kDataFileScript = 1,     // "scp" in scp of the data folder, public/scp of the installation
};

// Opens a data file of a kind: the name itself when it holds '.', else with the kind's
// extension; where 0 tries the data folder, then the installation folder; 1 the data folder
// only; 2 the installation folder only. The path tried last is left in path. Null when none
// opens.
std::FILE* open_data_file(int kind, int where, std::string* path, const char* name,
                          const char* mode);

// True when line is the heading of entry name: '*', the name (without regard to case), then
// the line's end or a character of code 32 or below.
bool is_entry_heading(const char* line, const char* name);

// For its life, script entries called from outside any entry run as if within one: each is
// read and compiled once, and its kept code runs again at every later call (a command run over
// and over, as the operand command in an optimisation). Inside a running entry it does nothing.
class ScriptCodeKept {
public:
    ScriptCodeKept();
    ~ScriptCodeKept();
    ScriptCodeKept(const ScriptCodeKept&) = delete;
    ScriptCodeKept& operator=(const ScriptCodeKept&) = delete;

private:
    bool active_ = false;
    std::size_t mark_ = 0;
};

int cmd_run_script_entry();
int cmd_stopwatch();
int cmd_screen_size();
void install_script_commands();
