// The built-in variables of the command language (the KplSysVar table): one entry per variable
// number with the real address of the program data it stands for, its dimensions and its element
// type. An entry without an address is a lens item, whose address the lens-item hook gives.
//
// Variables are found by name through the global-name table of the definitions; each name's
// 4-byte entry (little-endian) says what the name is:
//   bits 0-7   the reference byte (kpl_opcodes.h): type (1 int, 2 double, 3 char), kRefBuiltin
//              a built-in variable, kRefGlobal a global variable, both a read-only built-in;
//   bits 8-9   the number of indices the variable takes (0, 1 or 2);
//   bits 16-31 the variable number (KplSysVar entry or global number).
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kKplSysVarCount = 306;
inline constexpr int kSysVarOnErrorLine = 11;  // the on-error line, char[48]
inline constexpr int kSysVarErrorCode = 63;    // the error code of the on-error line, int
inline constexpr int kSysVarScriptValue = 30;  // the six numbers of a script call, 30 to 35
inline constexpr int kSysVarScriptText = 36;   // its three texts, char[256], 36 to 38

struct KplSysVar {
    void* address;  // null: a lens item, asked of the lens-item hook
    std::int16_t dim1;
    std::int16_t dim2;
    std::uint16_t type;      // element type: 1 int, 2 double, 3 char (0: not bound)
    std::uint16_t reserved;  // not read by the interpreter
};

// Entry n, or null outside 0..305.
KplSysVar* kpl_sysvar(int n);
// Binds variable n to program data: its address (null for a lens item), element type and
// dimensions (0 for a scalar; dim2 0 for one index). 0, or -1 for a bad number or type.
int kpl_bind_sysvar(int n, void* address, int type, int dim1, int dim2);
// Binds the variables the runtime itself owns (the on-error line and its code); other entries
// are left as they are.
void kpl_bind_runtime_sysvars();
// Clears every entry, then binds the runtime's own variables (tests).
void kpl_reset_sysvars();

// The global-name entry encoding.
struct KplNameEntry {
    std::uint8_t ref;  // reference byte
    int dims;          // indices taken
    int number;        // variable number
};
inline KplNameEntry kpl_decode_name_entry(std::uint32_t e) {
    return {static_cast<std::uint8_t>(e & 0xFF), static_cast<int>((e >> 8) & 3),
            static_cast<int>(e >> 16)};
}
inline std::uint32_t kpl_encode_name_entry(std::uint8_t ref, int dims, int number) {
    return ref | (static_cast<std::uint32_t>(dims & 3) << 8) |
           (static_cast<std::uint32_t>(number) << 16);
}

// Global variables of the command language (reference bit kRefGlobal), by number. Scalars live in a
// store of the runtime; a global number outside the store has no address.
inline constexpr int kKplGlobalLimit = 256;
void* kpl_global_address(int n);
void kpl_reset_globals();
