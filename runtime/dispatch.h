// Command dispatch: the table of handler functions with its hooks, running one built-in
// command by number (with its interactive handler and the on-error line), running a command
// line from anywhere in the program, and one handler calling another through the scratch
// argument vector.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/arg_cells.h"
#include "runtime/dispatch_slots.h"
#include "tables/table_names.h"

using CommandHandler = int (*)();

// The hooks and the 240 handler slots. An empty entry is a null pointer: an empty slot
// makes its commands do nothing; the hooks below are never null (an unset hook answers "not
// available").
struct HandlerTable {
    // 0: 0 when the program may end, else the cancel code.
    int (*exit_hook)();
    // 1: stores a flag setting and applies its option; 0.
    int (*set_setting_flag)(int id, std::uint8_t value);
    // 2: the address of a setting's value and its type (1 int, 2 double, 3 flag, 4 text); null
    // when there is none.
    void* (*settings_item_address)(int id, int* type_out);
    // 3: the address of a lens data item (with up to two indices); null when not available.
    void* (*lens_item_address)(int item, int i, int j);
    // 4: the text of a lens item (numbers from 4096 on); null when not available.
    const char* (*lens_item_text)(int item);
    // Where a store into a lens item goes. Some lens data is shared (a glass's indices serve
    // every surface of that glass), and the lens must make the stored element the surface's own
    // before it is written: 0 with the address (null when not available), or a message number.
    int (*lens_item_store_address)(int item, int i, int j, void** address);
    // After a store through lens_item_store_address, so that the lens can bring the data behind
    // the element in line with the value written.
    void (*lens_item_stored)(int item, int i, int j);
    CommandHandler slots[kHandlerSlotCount];
};

// The table the program runs with. reset_handler_table empties every slot and puts the
// "not available" answers into the hooks (start of the program; tests).
HandlerTable& handler_table();
void reset_handler_table();
// Installs a handler; 0, or -1 for a slot outside 0..239.
int set_handler(int slot, CommandHandler handler);

// The on-error line and its code, bound by the interpreter to built-in variables 11 and 63:
// command-language code sets the line and reads or changes the code.
inline constexpr int kOnErrorLineSize = 48;
struct OnErrorLine {
    char line[kOnErrorLineSize];
    std::int32_t code;
};
OnErrorLine& on_error_line();

// > 0 asks run_command to call the interactive handler of the next command; -1 while one runs.
int interactive_call();
void set_interactive_call(int value);
// Plain handlers running now.
int handler_depth();
// Command lines run through run_command_string now (the interpreter asks for it).
int command_string_nesting();
// The run mode word of the line being run.
int run_mode_word();

// What a command line needs of the command-line compiler and interpreter, of the command line
// and history, of the error reporter and of the main loop. Those parts install their functions
// here; a null entry means there is nothing to do (or, for the line runners, that lines cannot
// be run yet).
struct LineRunnerHooks {
    // The top-level line runner: compiles and runs text; the interpreter's error word.
    int (*run_top_line)(const char* text, int mode, int flags);
    // A nested line (run from inside running code, mode 3 with the flags): 0 or a failure that
    // was already reported; the runner clears the interpreter's error words on failure.
    int (*run_nested_line)(const char* text, int flags);
    // The call depth of the running command language (2 or more: code is running).
    int (*kpl_depth)();
    // No compiled code runs now (handler-built value lists are only built then).
    bool (*kpl_idle)();
    void (*clear_error_line_number)();
    void (*stop_answer_collection)();
    void (*cancel_typed_line_run)();  // drops a pending request to run the typed line
    void (*show_wait_cursor)();
    void (*forget_history_line)();  // the pending line called an interactive handler
    // Kept code (a nested run with kRunKeepCode): the number (from 1) of the kept entry named
    // name (without regard to case), 0 when none; a mark of the kept entries, and the release
    // of every entry kept since a mark (no code kept since may still be running).
    int (*kept_line)(const char* name);
    std::size_t (*kept_lines_mark)();
    void (*release_kept_lines_to)(std::size_t mark);
};
LineRunnerHooks& line_runner_hooks();
void reset_line_runner_hooks();

// Runs built-in command n: 0 or a message number.
int run_command(int command);
// Runs a command line: 0, a message number, or -9999. A negative mode runs with mode 0 and
// passes -mode as flags.
int run_command_string(const char* text, int mode);
// The flags of a negative mode. The low bits count the lines of a text of several lines that
// runs as one program (a line's end also closes a statement); kRunKeepCode keeps its compiled
// code, named by the running command's first argument, to be run again. The text "$$$" with
// flags k runs kept entry k again without compiling.
inline constexpr int kRunLineCountMask = 0xFFFF;
inline constexpr int kRunKeepCode = 0x10000;
inline constexpr char kKeptLineText[] = "$$$";

// One handler calling another: the target command's plain handler runs with the given cells
// (copied into the scratch vector) as its arguments; no enable condition, no interactive
// handler, no on-error line. The running command and its arguments are restored afterwards, and
// when the caller's own arguments are the scratch cells they are kept too. More than 24 cells
// give kMsgTooManyHandlerArgs; an unknown command kMsgUnknownCommand.
int call_command_handler(int command, const ArgCell* cells, int count);
