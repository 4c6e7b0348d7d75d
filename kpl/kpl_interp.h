// The interpreter of the command language: runs the byte code of command lines and compiled
// procedures, evaluates expressions into value cells, reads and writes variables (locals,
// globals, arrays and the built-in variables), calls compiled procedures in frames of their own
// and built-in commands through run_command. Every failure lands in the error word and stops
// every enclosing loop and call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kpl/kpl_operators.h"
#include "tables/table_names.h"

// Messages of the interpreter.
// A built-in variable whose lens item the lens cannot give (no such record, say).

inline constexpr int kKplCallDepthLimit = 40;
inline constexpr int kKplArgCellPool = 120;
inline constexpr int kKplArgTextPool = 60;
inline constexpr std::size_t kKplArgTextSize = 256;
inline constexpr int kKplDimensionMax = 32000;
inline constexpr int kKplAliasDimension = 32767;
inline constexpr std::size_t kKplFallbackCodeSize = 65536;
inline constexpr std::size_t kKplFallbackDataSize = 65536;

// The running state. Code positions are kept as offsets from the code base where they must
// survive a reload of procedure code.
struct KplState {
    std::uint8_t* code = nullptr;  // the code buffer: lines, then procedures from kKplLineArea on
    std::size_t code_size = 0;
    std::uint8_t* base = nullptr;  // code base of what runs now
    const std::uint8_t* pc = nullptr;
    const std::uint8_t* end = nullptr;  // end of the code that runs now
    std::uint8_t* vars = nullptr;       // the variable space
    std::size_t var_size = 0;
    std::size_t var_fill = 0;
    void** slots = nullptr;  // local slot addresses
    int slot_limit = 0;
    int frame_base = 0;
    int next_slot = 0;
    int call_depth = 0;
    int running = 0;  // lines being run (nested runs count)
    int error = 0;
    int procedure = -1;  // the procedure that runs (index), -1 for a command line
    std::size_t procedure_fill = 0;
    int cells_used = 0;
    int texts_used = 0;
    KplValue last_value{};                          // the value of the last expression statement
    int call_symbols[kKplCallDepthLimit + 2] = {};  // symbol of each call level, for the trace
};
KplState& kpl_state();

// Takes the work areas of the definitions table (or buffers of its own when the table has none
// or they are too small) and forgets every loaded procedure. 0 or -10.
int kpl_setup_work_areas();
// Forgets loaded procedure code (the code tables were reopened).
void kpl_forget_procedures();

int exec_statements(KplValue* out);
int eval_expression(KplValue* out, int precedence);
// The code offset the switch table at table gives for value.
unsigned switch_target(const KplValue& value, unsigned table);
int check_index(const KplValue& value, int size, int* index);
// A scalar (dim1 0) or an array placed in the variable space; null when it does not fit.
std::uint8_t* alloc_variable(int type, int dim1, int dim2);
int push_call_frame(int condition);
int load_function_code(int procedure);
// The loaded code of procedure q, or null when it is not loaded.
std::uint8_t* kpl_procedure_code(int q);
// Stores a value into a variable of the given type with the conversion rules.
int store_variable(void* address, int type, KplValue& value);

// What the interpreter does with the value of a line (kOp_line_value): the line entry installs it.
using KplLineValueHook = int (*)(const KplValue& value);
void set_kpl_line_value_hook(KplLineValueHook hook);
