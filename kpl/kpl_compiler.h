// The statement compiler of the command language: command lines (and, for the table builder,
// procedure bodies) to byte code. It defines no procedures; names are resolved through a name
// source, which by default is the loaded definitions table. A command line may declare
// variables ("int n", "double m[4][2], v[2]", "char t[80]") at its outer level, outside blocks
// and loops; they live while the line runs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kpl/kpl_opcodes.h"
#include "runtime/table_format.h"
#include "tables/table_names.h"

inline constexpr int kKplCaseLimit = 255;
inline constexpr int kKplContextLimit = 5;
inline constexpr int kKplSwitchNesting = 16;
inline constexpr int kKplDeclaredLimit = 64;  // variables a command line declares

// The type byte of a procedure local (KplCompileOptions::local_types): the element type in the
// low bits, the number of indices it takes in bits 4-5 (a text: one).
inline constexpr std::uint8_t kKplLocalTypeMask = 0x03;
inline constexpr int kKplLocalIndexShift = 4;
inline constexpr std::uint8_t kKplLocalIndexMask = 0x03;
inline std::uint8_t kpl_local_type(int type, int indices) {
    return static_cast<std::uint8_t>((type & kKplLocalTypeMask) |
                                     ((indices & kKplLocalIndexMask) << kKplLocalIndexShift));
}
inline int kpl_local_type_of(std::uint8_t local) {
    return local & kKplLocalTypeMask;
}
inline int kpl_local_indices(std::uint8_t local) {
    return (local >> kKplLocalIndexShift) & kKplLocalIndexMask;
}

// What the compiler needs to know of a callable symbol.
struct KplSymbolInfo {
    bool user = false;    // a compiled procedure (symbol kUserSymbolBase + q)
    int result_type = 0;  // 0 none, 1 int, 2 double, 3 char
    int param_count = 0;
    char context_letter = 0;  // pushed for name lookup by this command ('!' pops)
    bool lens_data = false;   // may run from a line of lens data
};

// Where names come from. The defaults read the loaded definitions table.
struct KplNameSource {
    int (*find_symbol)(const char* name);  // symbol number or -1
    bool (*symbol_info)(int symbol, KplSymbolInfo* info);
    // The descriptor of argument arg; output is set for an output parameter.
    const ParamDescriptor* (*parameter)(int symbol, int arg, bool* output);
    // The 4-byte global-name entry of a variable name (see kpl_sysvars.h).
    bool (*find_variable)(const char* name, std::uint32_t* entry);
};
const KplNameSource& kpl_definitions_names();

struct KplCompileOptions {
    const KplNameSource* names = nullptr;  // null: the definitions table
    bool expression_only = false;          // one expression without kOp_expression, no assignments
    bool count_lines = false;
    // Procedure bodies (table builder): locals are the parameters, slot i for name i, and
    // "return" ends the procedure (with a value when result_type is not 0).
    bool procedure = false;
    const char* const* local_names = nullptr;
    const std::uint8_t* local_types = nullptr;
    int local_count = 0;
    int result_type = 0;
    char context_letter = 0;  // the command context in force when the line starts
    // A text of several lines run as one: a line's end also closes a statement.
    bool lines_end_statements = false;
};

struct KplCompileResult {
    int error = 0;
    std::size_t size = 0;  // code bytes written
    int line = 0;          // line of the error when lines are counted
    char token[64] = {};   // the offending token's text
};

// Inside a LensDataScope (runtime/lens_data_guard.h) a line may hold only calls of lens-data
// commands with constant arguments: no procedure, variable, assignment, block, loop, branch,
// function value or asked argument; anything else fails with kMsgRefusedInLensData.
// Compiles text into base (room bytes). Statement mode ends the code with kOp_return_; expression
// mode leaves the expression and its terminator. 0 or a message number; nothing from a failed
// compile may run.
int kpl_compile(const char* text, std::uint8_t* base, std::size_t room,
                const KplCompileOptions& options, KplCompileResult* result);
