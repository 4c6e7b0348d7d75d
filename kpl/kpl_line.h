// Running command lines: a line typed or delivered at the top level, a line run from inside a
// handler (nested, behind the code of the enclosing runs, optionally kept for running again), a
// numeric cell's expression, and the installation of the compiler and interpreter into command
// dispatch and parameter handling.
#pragma once

#include "kpl/kpl_compiler.h"
#include "kpl/kpl_operators.h"
#include "runtime/dispatch.h"

inline constexpr int kKplNestedLineLimit = 30;
inline constexpr int kKplSavedBaseLimit = 20;
inline constexpr int kKplKeptLineLimit = 16;
inline constexpr int kKplKeptNameSize = 25;  // 24 characters and the terminator
inline constexpr int kRunStateRunForLevel = 107;

// Installs the line runners, the expression evaluator of parameter answers, the call trace and
// the work areas; binds the on-error line. 0 or -10.
int kpl_install();

// Compiles and runs one line at the top level: 0, the interpreter's error word, or -9999 after
// a compile error (which is shown with its location). While the grid edits a cell, the user's
// line (not one run from inside the program through run_command_string) is the cell's entry
// instead, through the cell-entry hooks.
int run_line(const char* text);
// The same with the mode and flags of run_command_string.
int run_top_line(const char* text, int mode, int flags);
// A line run from inside running code. slot: null, or the kept-line entry: -1 asks to keep the
// code (the entry's number is stored), a number with the text "$$$" runs the kept code again.
// lines: 0 for one line, else the count of lines of a text that runs as one program. 0, or
// -9999 after a failure that was reported; -10 when the nesting is too deep.
int run_compiled_line(int mode, const char* text, KplValue* result, int* slot, int lines = 0);
// Frees the kept lines (no line may be running).
void release_kept_lines();
// The kept entry (from 1) whose name is name without regard to case, or 0.
int find_kept_line(const char* name);
// A mark of the kept entries; the release of every entry kept since a mark, whose code must
// not be running.
std::size_t kept_lines_mark();
void release_kept_lines_to(std::size_t mark);

// Clears the per-line compile state; places the code base behind all enclosing runs.
void reset_compile_state();
void reset_code_buffer();

// The value a line run through run_command_string hands back (type 0 when it had none).
KplValue& kpl_run_result();

// A numeric cell entry: the text as one expression. A double cell takes any value (an int
// widened); an int cell only an int within -99..999 when narrower than 5 characters, else
// -9999..99999 (accepted false leaves the cell unchanged). 0 or a message number.
int run_cell_expression(const char* text, bool double_cell, int width, KplValue* value,
                        bool* accepted);

// A numeric cell's expression as run_cell_expression takes it, with the details of a compile
// failure left in compiled (its error 0 when the text compiled).
int cell_expression(const char* text, bool double_cell, int width, KplValue* value, bool* accepted,
                    KplCompileResult* compiled);
// Shows a compile failure with its location, as a failed top-level line does.
void show_compile_error(const KplCompileResult& r);
// Whether the text compiles as a command line (it is compiled, not run).
bool line_compiles_as_command(const char* text);

// The spreadsheet grid, which sits above the command language, takes the user's line while it
// edits a cell: in_edit tells whether it does, run takes the line. Null entries: no grid.
struct CellEntryHooks {
    bool (*in_edit)() = nullptr;
    int (*run)(const char* text) = nullptr;
};
void set_cell_entry_hooks(const CellEntryHooks& hooks);

// The run state of the main loop (107: the line is handed to a command level), asked when a line
// shows its value; null means 0.
void set_kpl_run_state_source(int (*source)());
// Counts source lines (a command file being run) for compile-error locations; null stops it.
void set_kpl_line_source(const char* name);
