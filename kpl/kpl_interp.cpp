#include "kpl/kpl_interp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kpl/kpl_lexer.h"
#include "kpl/kpl_opcodes.h"
#include "kpl/kpl_sysvars.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/help_command.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_code.h"
#include "runtime/table_lists.h"
#include "tables/table_names.h"

namespace {

// What the interpreter keeps: the running state, the hook the line entry installs at start, the
// buffers of its own it takes when the definitions table has no work areas, where each loaded
// procedure's code stands, the argument cells and texts of the built-in commands it calls, and
// the count of backward jumps between two Escape polls.
struct InterpreterState {
    KplState run;
    KplLineValueHook line_value_hook = nullptr;
    std::vector<std::uint8_t> own_code;
    std::vector<std::uint8_t> own_data;
    std::vector<void*> own_slots;
    std::vector<std::int32_t> procedure_position;  // loaded position per procedure, -1 when not
    ArgCell cell_pool[kKplArgCellPool] = {};
    ArgCell* cell_pointers[kKplArgCellPool] = {};
    ArgShape cell_shapes[kKplArgCellPool] = {};
    char text_pool[kKplArgTextPool][kKplArgTextSize] = {};
    unsigned backward_jumps = 0;
};

InterpreterState g_interp;
constexpr unsigned kEscapePollInterval = 256;  // backward jumps between two Escape polls

int fail(int code) {
    if (g_interp.run.error == 0) g_interp.run.error = code;
    return code;
}

int fetch(std::uint8_t& b) {
    if (g_interp.run.pc >= g_interp.run.end) return fail(kMsgBadCode);
    b = *g_interp.run.pc++;
    return 0;
}

int fetch16(unsigned& v) {
    if (g_interp.run.end - g_interp.run.pc < 2) return fail(kMsgBadCode);
    v = be16_at(g_interp.run.pc);
    g_interp.run.pc += 2;
    return 0;
}

int expect_terminator() {
    std::uint8_t b = 0;
    if (fetch(b) != 0) return g_interp.run.error;
    return b == kOp_terminator ? 0 : fail(kMsgBadCode);
}

int element_size(int type) {
    return type == kKplDouble ? 8 : type == kKplInt ? 4 : 1;
}

KplValue read_value(const std::uint8_t* address, int type) {
    KplValue v{};
    v.type = static_cast<std::uint8_t>(type);
    if (type == kKplDouble) {
        std::memcpy(&v.v.d, address, 8);
    } else if (type == kKplInt) {
        std::memcpy(&v.v.i, address, 4);
    } else {
        v.v.i = *address;
    }
    return v;
}

// Escape stops runaway loops; straight-line code never polls.
int poll_escape_now() {
    if (++g_interp.backward_jumps % kEscapePollInterval != 0) return 0;
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr && ui->poll_escape()) return fail(kStopped);
    return 0;
}

int jump_to(unsigned target) {
    if (static_cast<std::ptrdiff_t>(target) >= g_interp.run.end - g_interp.run.base)
        return fail(kMsgBadCode);
    const std::uint8_t* to = g_interp.run.base + target;
    if (to <= g_interp.run.pc && poll_escape_now() != 0) return g_interp.run.error;
    g_interp.run.pc = to;
    return 0;
}

// Where a variable reference leads.
struct Target {
    std::uint8_t* data = nullptr;    // scalar, or the first element of an array
    std::uint8_t* header = nullptr;  // the array header of a local or global array
    int type = 0;
    int dim1 = 0;  // 0 for a scalar
    int dim2 = 0;
    int sysvar = -1;  // a built-in variable's number
};

void* lens_item(int n, int i, int j) {
    return handler_table().lens_item_address(n, i, j);
}

// Reads the reference's number and finds the variable (without indices).
int resolve_target(std::uint8_t ref, Target& t) {
    t = Target{};
    t.type = ref & kRefTypeMask;
    if (t.type == kKplNone) return fail(kMsgBadCode);
    unsigned n = 0;
    if ((ref & kRefBuiltin) != 0) {
        if (fetch16(n) != 0) return g_interp.run.error;
        const KplSysVar* v = kpl_sysvar(static_cast<int>(n));
        if (v == nullptr) return fail(kMsgBadCode);
        t.sysvar = static_cast<int>(n);
        t.data = static_cast<std::uint8_t*>(v->address);
        t.dim1 = v->dim1;
        t.dim2 = v->dim2;
        return 0;
    }
    std::uint8_t* address = nullptr;
    if ((ref & kRefGlobal) != 0) {
        if (fetch16(n) != 0) return g_interp.run.error;
        address = static_cast<std::uint8_t*>(kpl_global_address(static_cast<int>(n)));
    } else {
        std::uint8_t slot = 0;
        if (fetch(slot) != 0) return g_interp.run.error;
        const int s = g_interp.run.frame_base + slot;
        if (s >= g_interp.run.slot_limit) return fail(kMsgVariableSpace);
        address = static_cast<std::uint8_t*>(g_interp.run.slots[s]);
    }
    if (address == nullptr) return fail(kMsgBadCode);
    if ((ref & kRefIndexed) == 0) {
        t.data = address;
        return 0;
    }
    t.header = address;
    const int d1 = static_cast<int>(be16_at(address));
    const int d2 = static_cast<int>(be16_at(address + 2));
    if (d1 == kKplAliasDimension) {
        const KplSysVar* v = kpl_sysvar(d2);
        if (v == nullptr) return fail(kMsgBadCode);
        t.sysvar = d2;
        t.data = static_cast<std::uint8_t*>(v->address);
        t.dim1 = v->dim1;
        t.dim2 = v->dim2;
        if (v->type != kKplNone) t.type = v->type;
        return 0;
    }
    // The elements must lie in the area that holds the header (the variable space, or the code
    // for a text written into it): damaged code never reaches past it.
    const std::size_t bytes = static_cast<std::size_t>(d1) *
                              static_cast<std::size_t>(d2 > 0 ? d2 : 1) *
                              static_cast<std::size_t>(element_size(t.type));
    const std::size_t whole = kKplArrayHeaderSize + bytes;
    const bool in_vars = address >= g_interp.run.vars &&
                         address + whole <= g_interp.run.vars + g_interp.run.var_size;
    const bool in_code = address >= g_interp.run.code &&
                         address + whole <= g_interp.run.code + g_interp.run.code_size;
    if (d1 == 0 || (!in_vars && !in_code)) return fail(kMsgBadCode);
    t.data = address + kKplArrayHeaderSize;
    t.dim1 = d1;
    t.dim2 = d2;
    return 0;
}

// Evaluates the index expressions of an indexed reference and gives the element's address;
// the indices as evaluated go to lens_i and lens_j when given (a store needs them again).
int element_address(const Target& t, std::uint8_t*& out, int* lens_i = nullptr,
                    int* lens_j = nullptr) {
    if (t.dim1 <= 0) return fail(kMsgBadCode);
    KplValue v{};
    int i = 0, j = 0;
    if (eval_expression(&v, 0) != 0 || expect_terminator() != 0) return g_interp.run.error;
    const int first_size = t.dim1;
    if (check_index(v, first_size, &i) != 0) return fail(kMsgIndexRange);
    if (t.dim2 > 0) {
        if (eval_expression(&v, 0) != 0 || expect_terminator() != 0) return g_interp.run.error;
        if (check_index(v, t.dim2, &j) != 0) return fail(kMsgIndexRange);
    }
    if (t.data == nullptr) {
        // The lens checks item indices against the lens as it is now.
        if (lens_i != nullptr) *lens_i = i;
        if (lens_j != nullptr) *lens_j = j;
        out = static_cast<std::uint8_t*>(lens_item(t.sysvar, i, j));
        return out != nullptr ? 0 : fail(kMsgIndexRange);
    }
    const long index = t.dim2 > 0 ? static_cast<long>(i) * t.dim2 + j : i;
    out = t.data + index * element_size(t.type);
    return 0;
}

int step_variable(std::uint8_t* address, int type, int delta) {
    KplValue v = read_value(address, type);
    if (type == kKplDouble) {
        v.v.d += delta;
    } else if (type == kKplChar) {
        const int x = v.v.i + delta;
        if (x < 0 || x > 255) return fail(kMsgCharRange);
        v.v.i = x;
    } else {
        v.v.i = static_cast<std::int32_t>(static_cast<std::uint32_t>(v.v.i) +
                                          static_cast<std::uint32_t>(delta));
    }
    return store_variable(address, type, v);
}

int operate_on_variable(std::uint8_t* address, int type, KplValue* out);

bool modifies_variable(std::uint8_t b) {
    return b == kOp_pre_increment || b == kOp_pre_decrement || b == kOp_post_increment ||
           b == kOp_post_decrement || kpl_is_assignment(b);
}

int variable_operand(std::uint8_t ref, KplValue* out) {
    Target t;
    if (resolve_target(ref, t) != 0) return g_interp.run.error;
    std::uint8_t* address = t.data;
    const bool in_lens = address == nullptr;
    int lens_i = 0, lens_j = 0;
    if ((ref & kRefIndexed) != 0) {
        if (element_address(t, address, &lens_i, &lens_j) != 0) return g_interp.run.error;
    } else if (address == nullptr) {
        address = static_cast<std::uint8_t*>(lens_item(t.sysvar, 0, 0));
        if (address == nullptr) return fail(kMsgLensItemMissing);
    } else if (t.dim1 > 0 && t.sysvar >= 0) {
        return fail(kMsgBadCode);  // a built-in array read as a scalar
    }
    const int type = ref & kRefTypeMask;
    if (!in_lens || !modifies_variable(g_interp.run.pc < g_interp.run.end ? *g_interp.run.pc : 0)) {
        return operate_on_variable(address, type, out);
    }
    // A store into lens data: the lens decides where it goes, and hears of it afterwards.
    void* target = nullptr;
    if (const int rc = handler_table().lens_item_store_address(t.sysvar, lens_i, lens_j, &target);
        rc != 0) {
        return fail(rc);
    }
    if (target == nullptr) return fail(kMsgLensItemMissing);
    const int rc = operate_on_variable(static_cast<std::uint8_t*>(target), type, out);
    handler_table().lens_item_stored(t.sysvar, lens_i, lens_j);
    return rc;
}

// Reads the variable at address, with the increments and the assignment that follow it.
int operate_on_variable(std::uint8_t* address, int type, KplValue* out) {
    std::uint8_t b = g_interp.run.pc < g_interp.run.end ? *g_interp.run.pc : 0;
    if (b == kOp_pre_increment || b == kOp_pre_decrement) {
        ++g_interp.run.pc;
        if (step_variable(address, type, b == kOp_pre_increment ? 1 : -1) != 0)
            return g_interp.run.error;
    }
    *out = read_value(address, type);
    b = g_interp.run.pc < g_interp.run.end ? *g_interp.run.pc : 0;
    if (b == kOp_post_increment || b == kOp_post_decrement) {
        ++g_interp.run.pc;
        return step_variable(address, type, b == kOp_post_increment ? 1 : -1);
    }
    if (kpl_is_assignment(b)) {
        ++g_interp.run.pc;
        KplValue right{};
        if (eval_expression(&right, 0) != 0) return g_interp.run.error;
        const std::uint8_t op = b & kAssignOperatorMask;
        KplValue result = right;
        if (op != kPlainAssign) {
            result = *out;
            result.op = op;
            const int r = apply_binary_op(result, right);
            if (r != 0) return fail(r);
        }
        if (store_variable(address, type, result) != 0) return g_interp.run.error;
        *out = result;
    }
    return 0;
}

// The message of a call refused by its enable condition (0: the call goes ahead regardless).
int condition_failure(int condition) {
    const Definitions& d = definitions();
    if (d.conditions == nullptr || condition < 0 || condition >= d.condition_count) {
        return kMsgCallRefused;
    }
    const unsigned offset = le16_at(d.conditions + 2 * condition);
    if (offset + kConditionHeaderSize > d.conditions_size) return kMsgCallRefused;
    const std::uint8_t* e = d.conditions + offset;
    const int c = kpl_condition_message(e[1], e[2]);
    if (c == 0) return 0;
    return c == 1 || c < 0 ? kMsgCallRefused : -c;
}

struct ProcedureInfo {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    int descriptor_field = 0;
    int param_count = 0;
    bool from_private = false;
    int result_type = 0;
    int condition = kNoCondition;
};

bool procedure_info(int q, ProcedureInfo& p) {
    const Definitions& d = definitions();
    if (d.procedures == nullptr || q < 0 || q >= d.procedure_count) return false;
    const ProcedureRecord& r = d.procedures[q];
    p.offset = r.code_offset;
    p.length = le16_at(r.interpreter_bytes);
    p.descriptor_field = procedure_parameter_field(r);
    p.param_count = procedure_parameter_count(r);
    p.from_private = procedure_code_is_private(r);
    p.result_type = r.flags & kRecordResultMask;
    p.condition = r.enable_condition;
    return true;
}

const ParamDescriptor* procedure_param(const ProcedureInfo& p, int arg) {
    if (p.param_count < 2) return param_descriptor(p.descriptor_field);
    const Definitions& d = definitions();
    const int k = p.descriptor_field + arg;
    if (p.descriptor_field < 0 || k >= d.param_index_count) return nullptr;
    return param_descriptor(d.param_index[k] & kParamIndexMask);
}

int type_of(const ParamDescriptor* d, int fallback) {
    if (d == nullptr) return fallback;
    const int t = d->type_flags & kParamTypeMask;
    return t != 0 ? t : fallback;
}

// Stores an argument into a fresh variable of the parameter's type.
int assign_to_parameter(const ParamDescriptor* d, const KplValue& value, void** slot) {
    const int type = type_of(d, value.type == kKplDouble ? kKplDouble : kKplInt);
    if (type == kKplInt && value.type == kKplDouble) return fail(kMsgDoubleForInt);
    if (type == kKplChar && (value.type == kKplDouble || value.v.i < 0 || value.v.i > 255)) {
        return fail(kMsgBadChar);
    }
    if (d != nullptr) {
        const int r = type == kKplDouble ? check_double_bounds(
                                               *d, value.type == kKplDouble ? value.v.d : value.v.i)
                                         : check_int_bounds(*d, value.v.i);
        if (r != 0) return fail(r);
    }
    std::uint8_t* p = alloc_variable(type, 0, 0);
    if (p == nullptr) return fail(kMsgVariableSpace);
    KplValue v = value;
    if (store_variable(p, type, v) != 0) return g_interp.run.error;
    *slot = p;
    return 0;
}

// A text held in the code (kOp_inline_text after kOp_reference_arg): the header is the array
// header of a char array; a first dimension of 0 names a string preference by its list index.
int inline_text_target(Target& t, std::uint8_t* scratch, std::size_t scratch_size) {
    if (g_interp.run.end - g_interp.run.pc < static_cast<std::ptrdiff_t>(kKplArrayHeaderSize))
        return fail(kMsgBadCode);
    std::uint8_t* header = const_cast<std::uint8_t*>(g_interp.run.pc);
    const unsigned d1 = be16_at(g_interp.run.pc), d2 = be16_at(g_interp.run.pc + 2);
    g_interp.run.pc += kKplArrayHeaderSize;
    t = Target{};
    t.type = kKplChar;
    if (d1 > 0) {
        if (static_cast<std::ptrdiff_t>(d1) > g_interp.run.end - g_interp.run.pc ||
            g_interp.run.pc[d1 - 1] != 0) {
            return fail(kMsgBadCode);
        }
        t.header = header;
        t.data = header + kKplArrayHeaderSize;
        t.dim1 = static_cast<int>(d1);
        g_interp.run.pc += d1;
        return 0;
    }
    // A string preference: the list entry's value is a setting id, whose text is the value.
    const int list = find_list("string_preferences", false);
    if (list < 0) return fail(kMsgNotInList);
    select_list(list);
    const char* id = current_list_second(static_cast<int>(d2));
    int type = 0;
    const char* text = nullptr;
    if (id != nullptr) {
        text =
            static_cast<const char*>(handler_table().settings_item_address(std::atoi(id), &type));
    }
    if (text == nullptr || type != kSettingItemText) return fail(kMsgNotInList);
    std::snprintf(reinterpret_cast<char*>(scratch), scratch_size, "%s", text);
    t.data = scratch;
    t.dim1 = static_cast<int>(std::strlen(text) + 1);
    return 0;
}

// The target of a reference argument (after kOp_reference_arg).
int reference_target(Target& t, std::uint8_t* scratch, std::size_t scratch_size) {
    std::uint8_t ref = 0;
    if (fetch(ref) != 0) return g_interp.run.error;
    if (ref == kOp_inline_text) return inline_text_target(t, scratch, scratch_size);
    if (ref >= kCallBit) return fail(kMsgBadCode);
    if (resolve_target(ref, t) != 0) return g_interp.run.error;
    if (t.data == nullptr && t.dim1 == 0 && t.sysvar >= 0) {
        t.data = static_cast<std::uint8_t*>(lens_item(t.sysvar, 0, 0));
        if (t.data == nullptr) return fail(kMsgLensItemMissing);
    }
    return 0;
}

int call_user_function(std::uint8_t code, KplValue* out) {
    unsigned symbol = 0;
    if (fetch16(symbol) != 0) return g_interp.run.error;
    const int q = static_cast<int>(symbol) - kUserSymbolBase;
    ProcedureInfo p;
    if (!procedure_info(q, p)) return fail(kMsgBadCode);
    if (push_call_frame(p.condition) != 0) return g_interp.run.error;
    g_interp.run.call_symbols[g_interp.run.call_depth] = static_cast<int>(symbol);
    const int first = g_interp.run.next_slot;
    const std::size_t fill = g_interp.run.var_fill;
    int r = 0;
    for (int i = 0; i < p.param_count && r == 0; ++i) {
        const ParamDescriptor* d = procedure_param(p, i);
        const int s = first + i;
        if (s >= g_interp.run.slot_limit) {
            r = fail(kMsgVariableSpace);
            break;
        }
        g_interp.run.next_slot = s + 1;
        std::uint8_t b = 0;
        if (fetch(b) != 0) break;
        if (b == kOp_terminator || b == kOp_ask_arg || b == kOp_skipped_arg) {
            if (b != kOp_terminator && expect_terminator() != 0) break;
            // The parameter's default (or the user's answer) through the argument checking.
            ArgCell cell{};
            char buffer[kKplArgTextSize] = {};
            ParamDescriptor none{};
            const int a =
                prompt_argument(d != nullptr ? *d : none,
                                b == kOp_ask_arg ? kPromptingMarked : kPromptingCompleting, buffer,
                                sizeof buffer, &cell);
            if (a != 0) {
                r = fail(a);
                break;
            }
            KplValue v = cell.type == kArgDouble ? kpl_double(cell.value.d) : kpl_int(cell.value.i);
            if (cell.type == kArgChar) v.v.i = static_cast<unsigned char>(cell.value.c);
            r = assign_to_parameter(d, v, &g_interp.run.slots[s]);
            continue;
        }
        if (b == kOp_reference_arg) {
            Target t;
            std::uint8_t* scratch = alloc_variable(kKplChar, kKplArgTextSize, 0);
            if (scratch == nullptr) {
                r = fail(kMsgVariableSpace);
                break;
            }
            if (reference_target(t, scratch + kKplArrayHeaderSize, kKplArgTextSize) != 0) break;
            if (t.dim1 > 0 && t.header == nullptr) {
                // A built-in array (or a preference text) is handed over as an alias header.
                std::uint8_t* alias = scratch;
                if (t.sysvar >= 0) {
                    alias[0] = kKplAliasDimension >> 8;
                    alias[1] = kKplAliasDimension & 0xFF;
                    alias[2] = static_cast<std::uint8_t>(t.sysvar >> 8);
                    alias[3] = static_cast<std::uint8_t>(t.sysvar);
                } else {
                    alias[0] = static_cast<std::uint8_t>(t.dim1 >> 8);
                    alias[1] = static_cast<std::uint8_t>(t.dim1);
                    alias[2] = alias[3] = 0;
                }
                g_interp.run.slots[s] = alias;
            } else {
                g_interp.run.slots[s] = t.header != nullptr ? t.header : t.data;
            }
            if (expect_terminator() != 0) break;
            continue;
        }
        --g_interp.run.pc;
        KplValue v{};
        if (eval_expression(&v, 0) != 0 || expect_terminator() != 0) break;
        r = assign_to_parameter(d, v, &g_interp.run.slots[s]);
    }
    if (r == 0 && g_interp.run.error == 0 && load_function_code(q) != 0) fail(kMsgProcedureLoad);
    if (g_interp.run.error != 0) {
        g_interp.run.next_slot = first;
        g_interp.run.var_fill = fill;
        --g_interp.run.call_depth;
        return g_interp.run.error;
    }

    // The caller's position survives as an offset: its code may be reloaded elsewhere.
    const int caller = g_interp.run.procedure;
    std::uint8_t* const caller_base = g_interp.run.base;
    const std::ptrdiff_t offset = g_interp.run.pc - g_interp.run.base;
    const std::ptrdiff_t caller_length = g_interp.run.end - g_interp.run.base;
    const int caller_frame = g_interp.run.frame_base;
    g_interp.run.frame_base = first;
    g_interp.run.next_slot = first + p.param_count;
    g_interp.run.procedure = q;
    g_interp.run.base =
        g_interp.run.code + g_interp.procedure_position[static_cast<std::size_t>(q)];
    g_interp.run.pc = g_interp.run.base;
    g_interp.run.end = g_interp.run.base + p.length;
    KplValue result = kpl_int(0);
    const int rc = exec_statements(&result);
    g_interp.run.procedure = caller;
    if (caller >= 0) {
        if (g_interp.procedure_position[static_cast<std::size_t>(caller)] < 0 &&
            load_function_code(caller) != 0) {
            fail(kMsgProcedureLoad);
        }
        g_interp.run.base =
            g_interp.run.code + g_interp.procedure_position[static_cast<std::size_t>(caller)];
    } else {
        g_interp.run.base = caller_base;  // command lines never move
    }
    g_interp.run.pc = g_interp.run.base + offset;
    g_interp.run.end = g_interp.run.base + caller_length;
    g_interp.run.frame_base = caller_frame;
    g_interp.run.next_slot = first;
    g_interp.run.var_fill = fill;
    --g_interp.run.call_depth;
    if (rc != 0 || g_interp.run.error != 0)
        return g_interp.run.error != 0 ? g_interp.run.error : fail(rc);
    *out = result;
    if ((code & kCallResultMask) == 0) *out = kpl_int(0);
    return 0;
}

// Converts a value into an argument cell for a parameter.
ArgCell value_cell(const KplValue& v) {
    if (v.type == kKplDouble) return double_cell(v.v.d);
    return int_cell(v.v.i);
}

// A reference argument whose variable takes the cell's value back after the call.
struct WriteBack {
    int cell;
    Target target;
};

struct WriteBacks {
    WriteBack items[kScratchCellCount];
    int count = 0;
};

// An argument left out (kOp_terminator), asked for (kOp_ask_arg) or made irrelevant by an
// earlier list choice (kOp_skipped_arg): its parameter prompts for it or takes its default.
// Argument i of count.
int omitted_argument(std::uint8_t b, const ParamDescriptor* d, int i, int count, ArgCell* cell) {
    if (b != kOp_terminator && expect_terminator() != 0) return g_interp.run.error;
    // An omitted argument followed by a given one is only omitted; the trailing ones complete
    // the call with their defaults.
    bool rest_omitted = true;
    for (const std::uint8_t* p = g_interp.run.pc;
         p < g_interp.run.end && p < g_interp.run.pc + (count - i - 1); ++p) {
        if (*p != kOp_terminator) rest_omitted = false;
    }
    // A value of any type left out takes no text: it needs no buffer of the pool, so calls
    // with many such parameters can nest (script entries within each other).
    char unused[1] = {'\0'};
    char* buffer = unused;
    std::size_t buffer_size = sizeof unused;
    if (d == nullptr || (d->type_flags & kParamTypeMask) != 0 || b == kOp_ask_arg) {
        if (g_interp.run.texts_used >= kKplArgTextPool) return fail(kMsgOutOfMemory);
        buffer = g_interp.text_pool[g_interp.run.texts_used++];
        buffer_size = kKplArgTextSize;
    }
    buffer[0] = '\0';
    const int state = b == kOp_ask_arg ? kPromptingMarked
                      : rest_omitted   ? kPromptingCompleting
                                       : kPromptingOmitted;
    const ParamDescriptor none{};
    return prompt_argument(d != nullptr ? *d : none, state, buffer, buffer_size, cell);
}

// A built-in array of the lens handed over whole: only where its elements lie in one block.
int whole_lens_array(Target& t) {
    auto* first = static_cast<std::uint8_t*>(lens_item(t.sysvar, 0, 0));
    const int rows = t.dim2 > 0 ? t.dim1 : 1;
    const int columns = t.dim2 > 0 ? t.dim2 : t.dim1;
    auto* last = static_cast<std::uint8_t*>(t.dim2 > 0 ? lens_item(t.sysvar, rows - 1, columns - 1)
                                                       : lens_item(t.sysvar, columns - 1, 0));
    const long span = (static_cast<long>(rows) * columns - 1) * element_size(t.type);
    if (first == nullptr || last != first + span) return fail(kMsgLensItemMissing);
    t.data = first;
    return 0;
}

// The cell of a variable passed by reference: a text as its own bytes or a copy, a whole
// array, or a scalar's value; the variable is noted for the write-back after the call.
int reference_argument(const ParamDescriptor* d, int cell_index, WriteBacks& write_backs) {
    ArgCell* cell = &g_interp.cell_pool[cell_index];
    ArgShape& shape = g_interp.cell_shapes[cell_index];
    if (g_interp.run.texts_used >= kKplArgTextPool) return fail(kMsgOutOfMemory);
    char* buffer = g_interp.text_pool[g_interp.run.texts_used++];
    Target t;
    if (reference_target(t, reinterpret_cast<std::uint8_t*>(buffer), kKplArgTextSize) != 0) {
        return g_interp.run.error;
    }
    if (expect_terminator() != 0) return g_interp.run.error;
    if (t.dim1 > 0 && t.data == nullptr && t.sysvar >= 0) {
        if (const int r = whole_lens_array(t); r != 0) return r;
    }
    shape.type = t.type;
    shape.dim1 = t.dim1;
    shape.dim2 = t.dim2;
    const std::size_t capacity = static_cast<std::size_t>(t.dim1) * (t.dim2 > 0 ? t.dim2 : 1);
    const bool in_code =
        t.data >= g_interp.run.code && t.data < g_interp.run.code + g_interp.run.code_size;
    const bool own_bytes = (t.header != nullptr || t.sysvar >= 0) && !in_code &&
                           t.data != nullptr && reinterpret_cast<char*>(t.data) != buffer;
    int r = 0;
    if (t.type == kKplChar && t.dim1 > 0 && own_bytes && capacity < 0x7FFF &&
        std::memchr(t.data, 0, capacity) != nullptr) {
        // A text variable is handed over as its own bytes with its capacity, so that a handler
        // can fill all of it and nothing is cut at an argument buffer's size.
        *cell = text_cell(reinterpret_cast<char*>(t.data));
        cell->text_length = static_cast<std::int16_t>(capacity);
        cell->text_flag = d != nullptr && (d->type_flags & kParamPlainText) ? 1 : 0;
        if (d != nullptr) r = check_text_bounds(*d, reinterpret_cast<char*>(t.data));
    } else if (t.type == kKplChar && t.dim1 > 0) {
        // A text: copied into the argument's own buffer, at most its array's size.
        if (t.data == nullptr) return fail(kMsgBadCode);
        const std::size_t limit = std::min<std::size_t>(kKplArgTextSize - 1, capacity);
        if (reinterpret_cast<char*>(t.data) != buffer) {
            std::size_t n = 0;
            while (n < limit && t.data[n] != 0) {
                buffer[n] = static_cast<char>(t.data[n]);
                ++n;
            }
            buffer[n] = '\0';
        }
        *cell = text_cell(buffer);
        cell->text_flag = d != nullptr && (d->type_flags & kParamPlainText) ? 1 : 0;
        if (d != nullptr) r = check_text_bounds(*d, buffer);
    } else if (t.dim1 > 0) {
        cell->type = static_cast<std::uint16_t>(t.type);
        cell->value.text = reinterpret_cast<char*>(t.data);
    } else {
        *cell = value_cell(read_value(t.data, t.type));
        if (t.type == kKplChar) *cell = char_cell(static_cast<char>(*t.data));
    }
    if (r == 0 && write_backs.count < kScratchCellCount && (t.header != nullptr || t.dim1 == 0)) {
        write_backs.items[write_backs.count++] = {cell_index, t};
    }
    return r;
}

// Argument i of the command's count into its cell of the pool: omitted or asked, by
// reference, or an expression's value.
int fill_argument(int symbol, int i, int count, int cell_index, WriteBacks& write_backs) {
    ArgCell* cell = &g_interp.cell_pool[cell_index];
    *cell = ArgCell{};
    g_interp.cell_pointers[cell_index] = cell;
    g_interp.cell_shapes[cell_index] = ArgShape{};
    const ParamDescriptor* d = param_descriptor(param_descriptor_index(symbol, i));
    MessageLocation& at = message_location();
    at.argument_number = i;
    at.parameter_name = d != nullptr ? param_display_name(*d) : nullptr;
    std::uint8_t b = 0;
    if (fetch(b) != 0) return g_interp.run.error;
    if (b == kOp_terminator || b == kOp_ask_arg || b == kOp_skipped_arg) {
        return omitted_argument(b, d, i, count, cell);
    }
    if (b == kOp_reference_arg) return reference_argument(d, cell_index, write_backs);
    --g_interp.run.pc;
    KplValue v{};
    if (eval_expression(&v, 0) != 0 || expect_terminator() != 0) return g_interp.run.error;
    return store_param_value(d, value_cell(v), cell);
}

// Runs the command on the count cells from first_cell, in place of the arguments of the
// command that calls it, and takes its result of the type code asks for into out.
int run_with_arguments(const CommandRecord& record, int symbol, int first_cell, int count,
                       std::uint8_t code, KplValue* out) {
    const int saved_command = current_command();
    ArgCell** const saved_vector = arg_vector();
    const int saved_count = arg_count();
    set_arg_vector(g_interp.cell_pointers + first_cell, count);
    const ArgShape* const saved_shapes = arg_shapes();
    set_arg_shapes(g_interp.cell_shapes + first_cell);
    clear_command_result();
    // The help command goes straight to the help viewer: no dialog, no on-error line.
    const int r = record.plain_slot == kSlotHelp ? cmd_help() : run_command(symbol);
    const CommandResult result = command_result();
    set_arg_vector(saved_vector, saved_count);
    set_arg_shapes(saved_shapes);
    set_current_command(saved_command);
    if (r != 0) return r;
    const int result_type = code & kCallResultMask;
    if (result_type != 0 && result.type != result_type) {
        return result.type == kArgNone ? kMsgNoResult : kMsgResultType;
    }
    if (result_type == kKplDouble) {
        *out = kpl_double(result.value.d);
    } else if (result_type == kKplChar) {
        *out = kpl_int(static_cast<unsigned char>(result.value.c));
        out->type = kKplChar;
    } else if (result_type == kKplInt) {
        *out = kpl_int(result.value.i);
    } else {
        *out = kpl_int(0);
    }
    return 0;
}

// The values the command left in the cells of reference arguments, back into their variables.
int write_back_references(const WriteBacks& write_backs) {
    for (int k = 0; k < write_backs.count; ++k) {
        const ArgCell& c = g_interp.cell_pool[write_backs.items[k].cell];
        const Target& t = write_backs.items[k].target;
        if (t.type == kKplChar && t.dim1 > 0) {
            const std::size_t size = static_cast<std::size_t>(t.dim1) * (t.dim2 > 0 ? t.dim2 : 1);
            if (c.value.text != nullptr && t.data != nullptr && c.text_length > 0 &&
                c.value.text != reinterpret_cast<const char*>(t.data)) {
                std::size_t n = 0;
                for (; n + 1 < size && c.value.text[n] != '\0'; ++n) t.data[n] = c.value.text[n];
                t.data[n] = 0;
            }
        } else if (t.dim1 == 0 && t.data != nullptr) {
            KplValue v = c.type == kArgDouble ? kpl_double(c.value.d) : kpl_int(c.value.i);
            if (c.type == kArgChar) v.v.i = static_cast<unsigned char>(c.value.c);
            if (store_variable(t.data, t.type, v) != 0) return g_interp.run.error;
        }
    }
    return 0;
}

// A call of a built-in command: its arguments into cells of the pool, the command run on them,
// its result taken, and the reference arguments written back.
int call_builtin_command(std::uint8_t code, KplValue* out) {
    unsigned symbol = 0;
    if (fetch16(symbol) != 0) return g_interp.run.error;
    const Definitions& defs = definitions();
    if (defs.commands == nullptr || static_cast<int>(symbol) >= defs.command_count) {
        return fail(kMsgBadCode);
    }
    const CommandRecord& record = defs.commands[symbol];
    if (push_call_frame(record.enable_condition) != 0) return g_interp.run.error;
    g_interp.run.call_symbols[g_interp.run.call_depth] = static_cast<int>(symbol);
    const int count = record.parameter_count;
    const int first_cell = g_interp.run.cells_used;
    const int first_text = g_interp.run.texts_used;
    MessageLocation& at = message_location();
    const MessageLocation saved_at = at;
    auto finish = [&](int rc) {
        g_interp.run.cells_used = first_cell;
        g_interp.run.texts_used = first_text;
        --g_interp.run.call_depth;
        if (rc == 0) at = saved_at;
        return rc;
    };
    if (first_cell + count > kKplArgCellPool) return finish(fail(kMsgOutOfMemory));
    g_interp.run.cells_used += count;
    WriteBacks write_backs;
    at.builtin_command = static_cast<int>(symbol);
    for (int i = 0; i < count; ++i) {
        const int r =
            fill_argument(static_cast<int>(symbol), i, count, first_cell + i, write_backs);
        if (r != 0) return finish(fail(r));
    }
    at.argument_number = -1;
    at.parameter_name = nullptr;
    if (const int r =
            run_with_arguments(record, static_cast<int>(symbol), first_cell, count, code, out);
        r != 0) {
        return finish(fail(r));
    }
    return finish(write_back_references(write_backs));
}

int declare_variables() {
    std::uint8_t flags = 0, slot = 0;
    if (fetch(flags) != 0 || fetch(slot) != 0) return g_interp.run.error;
    const int s = g_interp.run.frame_base + slot;
    if (s >= g_interp.run.slot_limit) return fail(kMsgVariableSpace);
    if (s >= g_interp.run.next_slot) g_interp.run.next_slot = s + 1;
    const int type = flags & kDeclareTypeMask;
    if (type == 0) return fail(kMsgBadCode);
    int d1 = 0, d2 = 0;
    if ((flags & kDeclareArray) != 0) {
        KplValue v{};
        int dims[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            if (k == 1 && g_interp.run.pc < g_interp.run.end &&
                *g_interp.run.pc == kOp_terminator) {
                ++g_interp.run.pc;
                break;
            }
            if (eval_expression(&v, 0) != 0 || expect_terminator() != 0) return g_interp.run.error;
            const double x = v.type == kKplDouble ? std::trunc(v.v.d) : v.v.i;
            if (!(x >= 1 && x <= kKplDimensionMax)) return fail(kMsgBadFftSize);
            dims[k] = static_cast<int>(x);
        }
        d1 = dims[0];
        d2 = dims[1];
        if (static_cast<long>(d1) * (d2 > 0 ? d2 : 1) > kKplDimensionMax) {
            return fail(kMsgBadFftSize);
        }
    }
    std::uint8_t* p = alloc_variable(type, d1, d2);
    if (p == nullptr) return fail(kMsgVariableSpace);
    g_interp.run.slots[s] = p;
    return 0;
}

int store_return_value(KplValue v, KplValue* out) {
    const int type = g_interp.run.procedure >= 0 ? [&] {
        ProcedureInfo p;
        return procedure_info(g_interp.run.procedure, p) ? p.result_type : 0;
    }() : 0;
    if (type == kKplDouble) {
        if (v.type != kKplDouble) v = kpl_double(v.v.i);
    } else if (type == kKplInt || type == kKplChar) {
        if (v.type == kKplDouble) v = kpl_int(static_cast<std::int32_t>(std::trunc(v.v.d)));
        if (type == kKplChar) {
            if (v.v.i < 0 || v.v.i > 255) return fail(kMsgCharRange);
            v.type = kKplChar;
        } else {
            v.type = kKplInt;
        }
    }
    *out = v;
    return 0;
}

}  // namespace

KplState& kpl_state() {
    return g_interp.run;
}

void set_kpl_line_value_hook(KplLineValueHook hook) {
    g_interp.line_value_hook = hook;
}

int kpl_setup_work_areas() {
    const Definitions& d = definitions();
    // The table's work area serves when procedures fit behind the line area.
    if (d.code_work != nullptr && d.code_work_size > kKplLineArea) {
        g_interp.run.code = d.code_work;
        g_interp.run.code_size = d.code_work_size;
    } else {
        g_interp.own_code.assign(kKplFallbackCodeSize, 0);
        g_interp.run.code = g_interp.own_code.data();
        g_interp.run.code_size = g_interp.own_code.size();
    }
    if (d.data_area != nullptr && d.data_pointers != nullptr && d.data_pointer_count > 0) {
        g_interp.run.vars = d.data_area;
        g_interp.run.var_size = d.data_area_size;
        g_interp.run.slots = d.data_pointers;
        g_interp.run.slot_limit = d.data_pointer_count;
    } else {
        g_interp.own_data.assign(kKplFallbackDataSize, 0);
        g_interp.own_slots.assign(kKplFallbackDataSize / kDataAreaBytesPerSlot, nullptr);
        g_interp.run.vars = g_interp.own_data.data();
        g_interp.run.var_size = g_interp.own_data.size();
        g_interp.run.slots = g_interp.own_slots.data();
        g_interp.run.slot_limit = static_cast<int>(g_interp.own_slots.size());
    }
    kpl_forget_procedures();
    return 0;
}

void kpl_forget_procedures() {
    const Definitions& d = definitions();
    g_interp.procedure_position.assign(
        static_cast<std::size_t>(d.procedures != nullptr ? d.procedure_count : 0), -1);
    g_interp.run.procedure_fill = kKplLineArea;
}

int check_index(const KplValue& value, int size, int* index) {
    double x = value.type == kKplDouble ? std::trunc(value.v.d) : value.v.i;
    if (!(x >= 0 && x < size)) return kMsgIndexRange;
    *index = static_cast<int>(x);
    return 0;
}

std::uint8_t* alloc_variable(int type, int dim1, int dim2) {
    const std::size_t size = static_cast<std::size_t>(element_size(type));
    std::size_t at = g_interp.run.var_fill;
    std::size_t bytes = size;
    if (dim1 > 0) {
        // The header stands just before elements aligned to their size.
        const std::size_t elements = static_cast<std::size_t>(dim1) * (dim2 > 0 ? dim2 : 1);
        std::size_t data = (at + kKplArrayHeaderSize + size - 1) / size * size;
        at = data - kKplArrayHeaderSize;
        bytes = kKplArrayHeaderSize + elements * size;
    } else {
        at = (at + size - 1) / size * size;
    }
    if (at + bytes >= g_interp.run.var_size) return nullptr;
    std::uint8_t* p = g_interp.run.vars + at;
    std::memset(p, 0, bytes);
    if (dim1 > 0) {
        p[0] = static_cast<std::uint8_t>(dim1 >> 8);
        p[1] = static_cast<std::uint8_t>(dim1);
        p[2] = static_cast<std::uint8_t>(dim2 >> 8);
        p[3] = static_cast<std::uint8_t>(dim2);
    }
    g_interp.run.var_fill = at + bytes;
    return p;
}

int store_variable(void* address, int type, KplValue& value) {
    auto* p = static_cast<std::uint8_t*>(address);
    if (type == kKplDouble) {
        const double d = value.type == kKplDouble ? value.v.d : value.v.i;
        std::memcpy(p, &d, 8);
        value = kpl_double(d);
        return 0;
    }
    std::int32_t i = value.v.i;
    if (value.type == kKplDouble) {
        if (!(std::fabs(value.v.d) <= 2147483647.0)) return fail(kMsgIntRange);
        i = static_cast<std::int32_t>(value.v.d);
    }
    if (type == kKplChar) {
        if (i < 0 || i > 255) return fail(kMsgCharRange);
        *p = static_cast<std::uint8_t>(i);
        value = kpl_int(i);
        value.type = kKplChar;
        return 0;
    }
    std::memcpy(p, &i, 4);
    value = kpl_int(i);
    return 0;
}

int push_call_frame(int condition) {
    ++g_interp.run.call_depth;
    if (g_interp.run.call_depth > kKplCallDepthLimit) {
        --g_interp.run.call_depth;
        return fail(kMsgCallDepth);
    }
    if (condition != kNoCondition && check_enable_condition(condition) != 0) {
        const int r = condition_failure(condition);
        if (r != 0) {
            --g_interp.run.call_depth;
            return fail(r);
        }
    }
    return 0;
}

int load_function_code(int q) {
    ProcedureInfo p;
    if (!procedure_info(q, p) ||
        static_cast<std::size_t>(q) >= g_interp.procedure_position.size()) {
        return kMsgProcedureLoad;
    }
    if (g_interp.procedure_position[static_cast<std::size_t>(q)] >= 0) return 0;
    const std::size_t area =
        g_interp.run.code_size > kKplLineArea ? g_interp.run.code_size - kKplLineArea : 0;
    // Code larger than the whole procedure area is refused, never copied past the buffer.
    if (p.length == 0 || p.length > area) return kMsgProcedureLoad;
    if (p.length >= g_interp.run.code_size - g_interp.run.procedure_fill) {
        for (std::int32_t& pos : g_interp.procedure_position) pos = -1;
        g_interp.run.procedure_fill = kKplLineArea;
    }
    if (load_code_block(p.offset, p.length, p.from_private, g_interp.run.code,
                        g_interp.run.code_size, g_interp.run.procedure_fill) != 0) {
        return kMsgProcedureLoad;
    }
    g_interp.procedure_position[static_cast<std::size_t>(q)] =
        static_cast<std::int32_t>(g_interp.run.procedure_fill);
    g_interp.run.procedure_fill += p.length;
    return 0;
}

std::uint8_t* kpl_procedure_code(int q) {
    if (q < 0 || static_cast<std::size_t>(q) >= g_interp.procedure_position.size() ||
        g_interp.procedure_position[static_cast<std::size_t>(q)] < 0) {
        return nullptr;
    }
    return g_interp.run.code + g_interp.procedure_position[static_cast<std::size_t>(q)];
}

unsigned switch_target(const KplValue& value, unsigned table) {
    const std::uint8_t* t = g_interp.run.base + table;
    const std::ptrdiff_t code_size = g_interp.run.end - g_interp.run.base;
    if (static_cast<std::ptrdiff_t>(table + kKplSwitchHeaderSize) > code_size) return kKplNoTarget;
    const unsigned n = be16_at(t);
    const unsigned fallback = be16_at(t + 2);
    long v = 0;
    if (value.type == kKplDouble) {
        if (!(value.v.d >= -kKplCaseValueMax && value.v.d <= kKplCaseValueMax)) return fallback;
        v = static_cast<long>(value.v.d);
    } else {
        if (value.v.i < -kKplCaseValueMax || value.v.i > kKplCaseValueMax) return fallback;
        v = value.v.i;
    }
    const std::uint8_t* cases = t + kKplSwitchHeaderSize;
    if (static_cast<std::ptrdiff_t>(table + kKplSwitchHeaderSize + kKplSwitchEntrySize * n) >
        code_size) {
        return kKplNoTarget;
    }
    // Case values are held as 16-bit two's complement.
    const unsigned wanted = static_cast<unsigned>(static_cast<std::uint16_t>(v));
    for (unsigned k = 0; k < n; ++k) {
        const std::uint8_t* entry = cases + kKplSwitchEntrySize * k;
        if (be16_at(entry) == wanted) return be16_at(entry + 2);
    }
    return fallback;
}

int eval_expression(KplValue* out, int precedence) {
    std::uint8_t b = 0;
    if (fetch(b) != 0) return g_interp.run.error;
    std::uint8_t prefix = 0;
    if (b == kOp_negate || b == kOp_logical_not || b == kOp_complement) {
        prefix = b;
        if (fetch(b) != 0) return g_interp.run.error;
    }
    if (b == kOp_constant) {
        std::uint8_t type = 0;
        if (fetch(type) != 0) return g_interp.run.error;
        const std::ptrdiff_t n = type == kKplInt ? 4 : type == kKplDouble ? 8 : 0;
        if (n == 0 || g_interp.run.end - g_interp.run.pc < n) return fail(kMsgBadCode);
        *out = KplValue{};
        out->type = type;
        std::memcpy(out->v.bytes, g_interp.run.pc, static_cast<std::size_t>(n));
        g_interp.run.pc += n;
    } else if (b == kOp_group) {
        if (eval_expression(out, 0) != 0) return g_interp.run.error;
        if (fetch(b) != 0) return g_interp.run.error;
        if (b != kOp_group_end) return fail(kMsgBadCode);
    } else if (b >= kCallBit && b <= kLastCallByte) {
        const int r =
            (b & kCallBuiltin) != 0 ? call_builtin_command(b, out) : call_user_function(b, out);
        if (r != 0) return g_interp.run.error != 0 ? g_interp.run.error : fail(r);
        if (poll_escape_now() != 0) return g_interp.run.error;
    } else if (b < kCallBit) {
        if (variable_operand(b, out) != 0) return g_interp.run.error;
    } else {
        return fail(kMsgBadCode);
    }
    if (prefix == kOp_negate) {
        if (out->type == kKplDouble) {
            out->v.d = -out->v.d;
        } else {
            out->v.i = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(out->v.i));
            out->type = kKplInt;
        }
    } else if (prefix == kOp_logical_not) {
        *out = kpl_int(kpl_truth(*out) ? 0 : 1);
    } else if (prefix == kOp_complement) {
        if (out->type == kKplDouble) return fail(kMsgNotForDouble);
        *out = kpl_int(~out->v.i);
    }
    for (;;) {
        const std::uint8_t op = g_interp.run.pc < g_interp.run.end ? *g_interp.run.pc : 0;
        const int p = kpl_precedence(op);
        if (p <= precedence) return 0;
        ++g_interp.run.pc;
        KplValue right{};
        if (eval_expression(&right, p) != 0) return g_interp.run.error;
        out->op = op;
        const int r = apply_binary_op(*out, right);
        if (r != 0) return fail(r);
    }
}

int exec_statements(KplValue* out) {
    for (;;) {
        if (g_interp.run.error != 0) return g_interp.run.error;
        std::uint8_t b = 0;
        unsigned target = 0;
        KplValue v{};
        if (fetch(b) != 0) return g_interp.run.error;
        switch (b) {
            case kOp_expression:
                if (eval_expression(&v, 0) != 0 || expect_terminator() != 0)
                    return g_interp.run.error;
                g_interp.run.last_value = v;
                break;
            case kOp_declare:
                if (declare_variables() != 0) return g_interp.run.error;
                break;
            case kOp_jump_false:
            case kOp_jump_true:
                if (fetch16(target) != 0 || eval_expression(&v, 0) != 0) return g_interp.run.error;
                if (kpl_truth(v) == (b == kOp_jump_true)) {
                    if (jump_to(target) != 0) return g_interp.run.error;
                } else if (expect_terminator() != 0) {
                    return g_interp.run.error;
                }
                break;
            case kOp_jump:
            case kOp_switch_end:
                if (fetch16(target) != 0 || jump_to(target) != 0) return g_interp.run.error;
                break;
            case kOp_switch_:
                if (fetch16(target) != 0 || eval_expression(&v, 0) != 0) return g_interp.run.error;
                if (jump_to(switch_target(v, target)) != 0) return g_interp.run.error;
                break;
            case kOp_return_:
                return 0;
            case kOp_return_value:
                if (eval_expression(&v, 0) != 0) return g_interp.run.error;
                return store_return_value(v, out);
            case kOp_line_value:
                if (g_interp.line_value_hook != nullptr) {
                    const int r = g_interp.line_value_hook(g_interp.run.last_value);
                    if (r != 0) return fail(r);
                }
                break;
            default:
                return fail(kMsgBadCode);
        }
    }
}

namespace {
// A new session looks as at start-up: the hook installed at start stays; the work areas, when
// they were taken, are taken afresh from the definitions table as start-up takes them, and every
// loaded procedure is forgotten.
void reset_interpreter() {
    const bool areas_taken = g_interp.run.code != nullptr;
    const KplLineValueHook hook = g_interp.line_value_hook;
    g_interp = InterpreterState{};
    g_interp.line_value_hook = hook;
    if (areas_taken) kpl_setup_work_areas();
}
const platform::StateReset kpl_interp_state_reset{"kpl/kpl_interp", reset_interpreter,
                                                  platform::ResetLayer::kpl};
}  // namespace
