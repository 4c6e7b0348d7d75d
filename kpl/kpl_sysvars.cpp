#include "kpl/kpl_sysvars.h"

#include <cstring>

#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/script_commands.h"

namespace {

// The system variables and the global cells of the command language.
struct KplSysVarsState {
    KplSysVar table[kKplSysVarCount];
    double globals[kKplGlobalLimit];  // 8 bytes each: room for an int, a double or a char
};

KplSysVarsState g_sysvars;

}  // namespace

KplSysVar* kpl_sysvar(int n) {
    return n >= 0 && n < kKplSysVarCount ? &g_sysvars.table[n] : nullptr;
}

int kpl_bind_sysvar(int n, void* address, int type, int dim1, int dim2) {
    KplSysVar* v = kpl_sysvar(n);
    if (v == nullptr || type < 1 || type > 3 || dim1 < 0 || dim1 > 32767 || dim2 < 0 ||
        dim2 > 32767 || (dim1 == 0 && dim2 != 0)) {
        return -1;
    }
    v->address = address;
    v->type = static_cast<std::uint16_t>(type);
    v->dim1 = static_cast<std::int16_t>(dim1);
    v->dim2 = static_cast<std::int16_t>(dim2);
    return 0;
}

void kpl_reset_sysvars() {
    std::memset(g_sysvars.table, 0, sizeof g_sysvars.table);
    kpl_bind_runtime_sysvars();
}

void kpl_bind_runtime_sysvars() {
    OnErrorLine& e = on_error_line();
    kpl_bind_sysvar(kSysVarOnErrorLine, e.line, 3, kOnErrorLineSize, 0);
    kpl_bind_sysvar(kSysVarErrorCode, &e.code, 1, 0, 0);
    ScriptParameters& p = script_parameters();
    for (int k = 0; k < kScriptValueCount; ++k) {
        kpl_bind_sysvar(kSysVarScriptValue + k, &p.values[k], 2, 0, 0);
    }
    for (int k = 0; k < kScriptTextCount; ++k) {
        kpl_bind_sysvar(kSysVarScriptText + k, p.texts[k], 3, kScriptTextSize, 0);
    }
}

void* kpl_global_address(int n) {
    return n >= 0 && n < kKplGlobalLimit ? &g_sysvars.globals[n] : nullptr;
}

void kpl_reset_globals() {
    std::memset(g_sysvars.globals, 0, sizeof g_sysvars.globals);
}

namespace {
// The user's global variables go, and so do the bindings: the start of a run binds them again.
void reset_kpl_sysvars_state() {
    std::memset(g_sysvars.table, 0, sizeof g_sysvars.table);
    kpl_reset_globals();
}
const platform::StateReset kpl_sysvars_state_reset{"kpl/kpl_sysvars", reset_kpl_sysvars_state,
                                                   platform::ResetLayer::kpl};
}  // namespace
