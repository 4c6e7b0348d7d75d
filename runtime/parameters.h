// Parameter values: how a parameter's value list becomes current, how its default is found
// through its 16-bit value handles, when the user is asked for a value and how the typed answer
// becomes an argument cell, and the bound checks with their messages. The interpreter calls
// these for each argument of a built-in call; command levels for values edited in a
// spreadsheet; handlers call prompt_param, set_param_default and select_param_list directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/arg_cells.h"
#include "runtime/table_format.h"
#include "tables/table_names.h"

// Value-handle kinds beyond those of the table format.
inline constexpr unsigned kHandleVariable = 0xA000;   // built-in variable n
inline constexpr unsigned kHandleListEntry = 0xC000;  // entry n of the current list
inline constexpr unsigned kHandleSetting = 0xE000;    // setting n (settings_item_address)
inline constexpr unsigned kVariableTextBase = 4096;   // variables from here on are lens texts

// Prompt modes: what an omitted argument does with its parameter's default (the descriptor's
// prompt_mode, written as mode=<n> in the definitions source; the numbers are stored in the
// definitions table). evaluate_default reduces the mode, together with the prompting state
// below, to kPromptAsk, kPromptTakeDefault or kPromptShowDefault and returns it.
enum PromptMode : int {
    kPromptAsk = 0,  // ask without offering a default
    // Take the default without asking; a handler asking for the parameter itself offers it.
    kPromptTakeDefault = 2,
    // Take the default while the parameter's enable condition holds; otherwise ask, offering it.
    kPromptTakeDefaultIfEnabled = 4,
    kPromptShowDefault = 6,  // ask, offering the default as the answer
    // Take the default, but offer it whenever the argument is asked for: marked with '?' or
    // asked by a handler.
    kPromptDefaultUnlessAsked = 8,
};

// Prompting states: why an argument is being looked at (the prompting mode word). The
// interpreter sets the negative states and kPromptingMarked for each argument it passes on;
// prompt_param sets kPromptingDirect; every question ends back in kPromptingNone.
enum PromptingState : int {
    // The argument and every one after it were omitted: each takes its default unasked.
    kPromptingCompleting = -2,
    // This argument was omitted and a later one given: it takes zero unasked (its default only
    // in an interactive call whose value list could be made current).
    kPromptingOmitted = -1,
    kPromptingNone = 0,    // no argument is being prompted for
    kPromptingMarked = 1,  // the argument was marked to be asked ('?')
    kPromptingDirect = 2,  // a handler asks for the parameter itself (prompt_param)
};

// The text space of one argument (and of the shared answer buffer).
inline constexpr std::size_t kArgTextSize = 256;

// What parameter handling needs of the command-language interpreter and of the command line.
// The owners install their functions; a null entry means the service is not there yet: then
// numbers are read as plain decimal literals, built-in variables cannot be read, answers are
// not collected into the history and questions go to the user-interface backend directly.
struct ParamHooks {
    // Evaluates an answer as a command-language expression into value (type 1 or 2, or a char).
    int (*evaluate_expression)(const char* text, ArgCell* value);
    // The data address of built-in variable n in its table (null: a lens item, asked of the
    // handler table's lens_item_address).
    void* (*variable_address)(int n);
    // Asks for one line: 0 with the answer in answer (at most size - 1 characters), or -9999
    // on Escape. default_text is offered as the answer.
    int (*ask_line)(const char* prompt, char* answer, std::size_t size, const char* default_text,
                    int flags);
    // An accepted answer goes into the history line (quoted when asked).
    void (*collect_answer)(const char* answer, bool quoted);
    void (*close_prompt)();
};
ParamHooks& param_hooks();
// The hooks, the prompting mode and the prompt's texts as the program starts.
void reset_parameters();

// The prompting mode word: one of the PromptingState values.
int prompting_mode();
void set_prompting_mode(int mode);

// The descriptor of number n, or null outside the table.
ParamDescriptor* param_descriptor(int n);
// The descriptor number of argument arg of command; -1 when either is outside the table.
int param_descriptor_index(int command, int arg);
// The parameter's name with every '_' shown as a blank.
const char* param_display_name(const ParamDescriptor& d);

int select_value_list(const ParamDescriptor& d);
// 0 or -43 (or a list handler's failure); on failure the current list is emptied.
int select_param_list(int n);
// The handlers that offer a parameter's choices. Parameter `choices`'s list made current and the
// default of parameter `argument` preset to its entry of value 1; 0 (a list that cannot be
// selected leaves no list and no default).
int param_choices_default_one(int choices, int argument);
// Parameter `choices`'s list made current, cut to its first entry when first_only (the other
// entries do not apply, as a focus does not to an afocal lens); 0.
int param_choices_first_only(int choices, bool first_only);
// 0 none, 1 a list-table list, 2 the same with a required list value, 3 a handler-built list,
// 4 the same with a required list value.
int param_value_kind(int n);
// The upper bound as an int; 0 when there is none or it cannot be read.
int param_upper_bound(int n);

// An argument of a call that was omitted (mode kPromptingOmitted, or kPromptingCompleting for
// the rest of the call) or marked to be asked (kPromptingMarked): its value list made current
// (offered as the choices of a question), then its default taken or the user asked. 0, -9999
// or a message number; a list that cannot be selected (-43) fails the argument.
int prompt_argument(const ParamDescriptor& d, int mode, char* buffer, std::size_t size,
                    ArgCell* cell);
// Asks for parameter n into cell: 0, -9999 or a message number.
int prompt_param(int n, ArgCell* cell);
// Remembers the cell's value as parameter n's default (an entry of its value list).
void set_param_default(int n, const ArgCell* cell);

// kPromptAsk (ask without a default), kPromptTakeDefault, kPromptShowDefault (ask showing the
// default, its text in shown), or a message number. A text value lives in buffer, which the
// cell then points to.
int evaluate_default(const ParamDescriptor& d, char* buffer, std::size_t size, ArgCell* cell,
                     char* shown, std::size_t shown_size);
int prompt_loop(const ParamDescriptor& d, char* buffer, std::size_t size, ArgCell* cell);
// The answer in text (a buffer of size bytes, which a text cell then points to) becomes the
// cell's value.
int evaluate_answer(const ParamDescriptor& d, char* text, std::size_t size, ArgCell* cell);
// Stores a number into the cell by d's type with the bound checks (d may be null).
int store_param_value(const ParamDescriptor* d, const ArgCell& value, ArgCell* cell);
// A value edited in a command level's spreadsheet for argument arg of command.
int evaluate_level_field(int command, int arg, const ArgCell& edited, ArgCell* cell, char* buffer,
                         std::size_t size);

// 0, -40 (a bound that cannot be read) or -9998 with the bound in the error text.
int check_double_bounds(const ParamDescriptor& d, double value);
int check_int_bounds(const ParamDescriptor& d, std::int64_t value);
int check_text_bounds(const ParamDescriptor& d, const char* text);
