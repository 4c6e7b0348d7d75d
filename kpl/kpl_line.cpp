#include "kpl/kpl_line.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "kpl/kpl_compiler.h"
#include "kpl/kpl_interp.h"
#include "kpl/kpl_lexer.h"
#include "kpl/kpl_sysvars.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/command_levels.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

struct KeptLine {
    bool used = false;
    std::size_t start = 0;
    std::size_t size = 0;
    char name[kKplKeptNameSize] = {};
};

// The line runner's state: the value of the last line, the name shown for the lines that run,
// where the code of the enclosing runs ends in the line area, the lines kept for running again
// and how deep the nested lines go; and the run-state source and the cell-entry hooks installed
// at start.
struct LineRunnerState {
    KplValue run_result{};
    int (*run_state_source)() = nullptr;
    CellEntryHooks cell_entry{};
    const char* line_source = nullptr;
    std::size_t line_top = 0;  // end of the code of every enclosing run
    std::size_t kept_end = 0;  // kept lines lie below this
    int nested_lines = 0;
    KeptLine kept[kKplKeptLineLimit];
};

LineRunnerState g_lines;

int run_state() {
    return g_lines.run_state_source != nullptr ? g_lines.run_state_source() : 0;
}

// What kOp_line_value does with a line's value: hand it back when the line runs from inside the
// program, else show it.
int line_value(const KplValue& v) {
    const int nesting = command_string_nesting();
    if (nesting > 0 && !(nesting == 1 && run_state() == kRunStateRunForLevel)) {
        g_lines.run_result = v;
        if (g_lines.run_result.type == kKplChar) g_lines.run_result.type = kKplInt;
        return 0;
    }
    char text[64];
    if (v.type == kKplDouble) {
        std::snprintf(text, sizeof text, "%s", format_number(v.v.d, 2, 0));
    } else {
        std::snprintf(text, sizeof text, "%d", v.v.i);
    }
    set_pending_name(text);
    show_error(kMsgBadValue);
    return run_state() == kRunStateRunForLevel ? kStopped : 0;
}

// A line "*name args" calls the script entry name: it runs as 'script "name" args'. Anything
// else after the '*' is left to the compiler.
const char* script_call_line(const char* text, std::string& rewritten) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    if (p[0] != '*') return text;
    const unsigned char first = static_cast<unsigned char>(p[1]);
    if (!(std::isalpha(first) || first == '_')) return text;
    const char* name = p + 1;
    const char* end = name;
    while (*end != '\0' && *end != ' ' && *end != '\t') ++end;
    rewritten = "script \"" + std::string(name, end) + "\"" + end;
    return rewritten.c_str();
}

}  // namespace

void show_compile_error(const KplCompileResult& r) {
    MessageLocation& at = message_location();
    at.compiling = 1;
    at.compile_line = g_lines.line_source != nullptr ? r.line : 0;
    at.compile_source = g_lines.line_source;
    at.pending_error = r.error;
    set_pending_name(r.token);
    report_kpl_error();
    at.compiling = 0;
    at.pending_error = 0;
}

namespace {

KplCompileOptions options_for(bool expression_only, int lines = 0) {
    KplCompileOptions o;
    o.expression_only = expression_only;
    o.lines_end_statements = lines > 0;
    o.count_lines = g_lines.line_source != nullptr || lines > 0;
    o.context_letter = command_context_letter();
    return o;
}

// The interpreter state that a nested run saves and restores.
struct SavedRun {
    std::uint8_t* base;
    std::ptrdiff_t offset;
    std::ptrdiff_t length;
    int frame_base;
    int next_slot;
    std::size_t var_fill;
    int procedure;
    int error;
    KplValue last_value;
    std::size_t line_top;
};

SavedRun save_run() {
    KplState& s = kpl_state();
    return {s.base,     s.pc - s.base, s.end - s.base, s.frame_base, s.next_slot,
            s.var_fill, s.procedure,   s.error,        s.last_value, g_lines.line_top};
}

int restore_run(const SavedRun& r) {
    KplState& s = kpl_state();
    int rc = 0;
    s.base = r.base;
    if (r.procedure >= 0) {
        // The enclosing procedure's code may have been recycled by the nested run.
        if (load_function_code(r.procedure) != 0) rc = kMsgProcedureLoad;
        std::uint8_t* code = kpl_procedure_code(r.procedure);
        if (code != nullptr) s.base = code;
    }
    s.pc = s.base + r.offset;
    s.end = s.base + r.length;
    s.frame_base = r.frame_base;
    s.next_slot = r.next_slot;
    s.var_fill = r.var_fill;
    s.procedure = r.procedure;
    s.error = r.error;
    s.last_value = r.last_value;
    g_lines.line_top = r.line_top < g_lines.kept_end ? g_lines.kept_end : r.line_top;
    return rc;
}

// Runs compiled code at base (size bytes) as a line.
int execute(std::uint8_t* base, std::size_t size, bool expression_only, KplValue* value) {
    KplState& s = kpl_state();
    s.base = base;
    s.pc = base;
    s.end = base + size;
    s.procedure = -1;
    s.error = 0;
    ++s.running;
    if (expression_only) {
        eval_expression(value, 0);
    } else {
        KplValue ignored{};
        exec_statements(&ignored);
    }
    --s.running;
    return s.error;
}

int evaluate_answer_text(const char* text, ArgCell* cell) {
    KplValue v{};
    bool accepted = true;
    const int r = run_cell_expression(text, false, 20, &v, &accepted);
    if (r != 0) return r;
    if (v.type == kKplDouble) {
        *cell = double_cell(v.v.d);
    } else if (v.type == kKplChar) {
        *cell = int_cell(v.v.i);
    } else {
        *cell = int_cell(v.v.i);
    }
    return 0;
}

void* variable_address(int n) {
    KplSysVar* v = kpl_sysvar(n);
    return v != nullptr ? v->address : nullptr;
}

int kpl_depth() {
    const KplState& s = kpl_state();
    return s.running > 0 ? s.call_depth + 1 : 0;
}

bool kpl_idle() {
    return kpl_state().running == 0;
}

int call_trace(int level, const char** name) {
    const KplState& s = kpl_state();
    if (level < 0 || level >= s.call_depth) return -1;
    *name = symbol_name(s.call_symbols[s.call_depth - level]);
    return 0;
}

int trace_depth() {
    return kpl_state().call_depth;
}

// The text of the running command's first argument (what a kept entry is named by), or "".
const char* first_argument_text() {
    const ArgCell* first = arg_cell(0);
    return first != nullptr && first->type == kArgChar && first->text_length > 0 &&
                   first->value.text != nullptr
               ? first->value.text
               : "";
}

int run_nested_hook(const char* text, int flags) {
    std::string script_call;
    text = script_call_line(text, script_call);
    if (flags > 0 && (flags & kRunKeepCode) == 0 && std::strcmp(text, kKeptLineText) == 0) {
        int slot = flags - 1;
        return run_compiled_line(3, text, &g_lines.run_result, &slot);
    }
    // Code is kept under a name that fits whole, and only while an entry is free: a run that
    // cannot be kept still runs.
    bool keep = (flags & kRunKeepCode) != 0 &&
                std::strlen(first_argument_text()) < static_cast<std::size_t>(kKplKeptNameSize);
    if (keep) {
        keep = false;
        for (const KeptLine& k : g_lines.kept) keep = keep || !k.used;
    }
    int slot = -1;
    return run_compiled_line(3, text, &g_lines.run_result, keep ? &slot : nullptr,
                             flags & kRunLineCountMask);
}

// A compile failure; in a program of several lines with the line it stands on, named by what
// ran it when no source file is being counted.
void show_compile_error_of(const KplCompileResult& r, int lines) {
    const char* saved = g_lines.line_source;
    // The argument cells belong to a running command: a typed line outside one has none to read.
    std::string name;
    if (lines > 0 && g_lines.line_source == nullptr) {
        name = first_argument_text();
        g_lines.line_source = name.c_str();
    }
    show_compile_error(r);
    g_lines.line_source = saved;
}

}  // namespace

int cell_expression(const char* text, bool double_cell, int width, KplValue* value, bool* accepted,
                    KplCompileResult* compiled) {
    KplState& s = kpl_state();
    if (s.code == nullptr && kpl_setup_work_areas() != 0) return kMsgOutOfMemory;
    *accepted = false;
    const SavedRun saved = save_run();
    std::uint8_t* base = s.code + g_lines.line_top;
    KplCompileResult& r = *compiled;
    r.error = 0;
    if (kpl_compile(text, base, kKplLineArea - g_lines.line_top, options_for(true), &r) != 0) {
        return r.error;
    }
    g_lines.line_top += r.size;
    if (s.running == 0) {
        s.frame_base = s.next_slot = 0;
        s.var_fill = 0;
    } else {
        s.frame_base = s.next_slot;
    }
    KplValue v{};
    const int rc = execute(base, r.size, true, &v);
    restore_run(saved);
    if (rc != 0) return rc;
    if (v.type == kKplChar) v.type = kKplInt;
    if (double_cell) {
        if (v.type != kKplDouble) v = kpl_double(v.v.i);
        *accepted = true;
    } else if (v.type == kKplInt) {
        const int lo = width < 5 ? -99 : -9999, hi = width < 5 ? 999 : 99999;
        *accepted = v.v.i >= lo && v.v.i <= hi;
    }
    *value = v;
    return 0;
}

KplValue& kpl_run_result() {
    return g_lines.run_result;
}

void set_cell_entry_hooks(const CellEntryHooks& hooks) {
    g_lines.cell_entry = hooks;
}

bool line_compiles_as_command(const char* text) {
    KplState& s = kpl_state();
    KplCompileResult r;
    return kpl_compile(text, s.code + g_lines.line_top, kKplLineArea - g_lines.line_top,
                       options_for(false), &r) == 0;
}

void set_kpl_run_state_source(int (*source)()) {
    g_lines.run_state_source = source;
}

void set_kpl_line_source(const char* name) {
    g_lines.line_source = name;
}

void reset_compile_state() {
    MessageLocation& at = message_location();
    at.compiling = 0;
    at.pending_error = 0;
    at.builtin_command = -1;
    at.argument_number = -1;
    at.parameter_name = nullptr;
    at.nested_line = nullptr;
}

void reset_code_buffer() {
    if (kpl_state().running == 0) g_lines.line_top = g_lines.kept_end;
}

void release_kept_lines() {
    if (kpl_state().running != 0) return;
    for (KeptLine& k : g_lines.kept) k = KeptLine{};
    g_lines.kept_end = 0;
    g_lines.line_top = 0;
}

int find_kept_line(const char* name) {
    if (name == nullptr || std::strlen(name) >= static_cast<std::size_t>(kKplKeptNameSize)) {
        return 0;
    }
    for (int k = 0; k < kKplKeptLineLimit; ++k) {
        if (g_lines.kept[k].used && strcasecmp(g_lines.kept[k].name, name) == 0) return k + 1;
    }
    return 0;
}

std::size_t kept_lines_mark() {
    return g_lines.line_top;
}

void release_kept_lines_to(std::size_t mark) {
    g_lines.kept_end = 0;
    for (KeptLine& k : g_lines.kept) {
        if (k.used && k.start >= mark) k = KeptLine{};
        if (k.used && k.start + k.size > g_lines.kept_end) g_lines.kept_end = k.start + k.size;
    }
    g_lines.line_top = mark < g_lines.kept_end ? g_lines.kept_end : mark;
}

int kpl_install() {
    LineRunnerHooks& h = line_runner_hooks();
    h.run_top_line = run_top_line;
    h.run_nested_line = run_nested_hook;
    h.kept_line = find_kept_line;
    h.kept_lines_mark = kept_lines_mark;
    h.release_kept_lines_to = release_kept_lines_to;
    h.kpl_depth = kpl_depth;
    h.kpl_idle = kpl_idle;
    ParamHooks& p = param_hooks();
    p.evaluate_expression = evaluate_answer_text;
    p.variable_address = variable_address;
    set_call_trace_source(call_trace, trace_depth);
    set_kpl_line_value_hook(line_value);
    kpl_bind_runtime_sysvars();
    release_kept_lines();
    return kpl_setup_work_areas();
}

int run_line(const char* text) {
    return run_top_line(text, 0, 0);
}

int run_top_line(const char* text, int mode, int flags) {
    (void)mode;
    std::string script_call;
    text = script_call_line(text, script_call);
    KplState& s = kpl_state();
    if (s.code == nullptr && kpl_setup_work_areas() != 0) return kMsgOutOfMemory;
    const int lines = flags & kRunLineCountMask;
    if (s.running != 0 || (flags > 0 && std::strcmp(text, kKeptLineText) == 0)) {
        return run_nested_hook(text, flags);
    }
    reset_compile_state();
    reset_code_buffer();
    g_lines.run_result = KplValue{};
    // Only the user's own line is a cell entry; lines that the program runs are commands.
    if (command_string_nesting() == 0 && g_lines.cell_entry.in_edit != nullptr &&
        g_lines.cell_entry.in_edit()) {
        return g_lines.cell_entry.run(text);
    }
    std::uint8_t* base = s.code + g_lines.line_top;
    KplCompileResult r;
    if (kpl_compile(text, base, kKplLineArea - g_lines.line_top, options_for(false, lines), &r) !=
        0) {
        show_compile_error_of(r, lines);
        return kStopped;
    }
    s.frame_base = 0;
    s.next_slot = 0;
    s.var_fill = 0;
    s.call_depth = 0;
    s.cells_used = 0;
    s.texts_used = 0;
    const std::size_t saved_top = g_lines.line_top;
    g_lines.line_top += r.size;
    g_lines.nested_lines = 1;
    const int rc = execute(base, r.size, false, nullptr);
    g_lines.nested_lines = 0;
    g_lines.line_top = saved_top < g_lines.kept_end ? g_lines.kept_end : saved_top;
    s.error = 0;
    // The caller reports a failure with its location (report_kpl_error).
    message_location().pending_error = rc;
    return rc;
}

int run_compiled_line(int mode, const char* text, KplValue* result, int* slot, int lines) {
    (void)mode;
    KplState& s = kpl_state();
    if (s.code == nullptr && kpl_setup_work_areas() != 0) return kMsgOutOfMemory;
    if (g_lines.nested_lines >= kKplNestedLineLimit || s.running >= kKplSavedBaseLimit) {
        return kMsgOutOfMemory;
    }
    const SavedRun saved = save_run();
    std::uint8_t* base = nullptr;
    std::size_t size = 0;
    const bool rerun = slot != nullptr && *slot >= 0 && std::strcmp(text, kKeptLineText) == 0;
    if (rerun) {
        if (*slot >= kKplKeptLineLimit || !g_lines.kept[*slot].used) return kMsgOutOfMemory;
        base = s.code + g_lines.kept[*slot].start;
        size = g_lines.kept[*slot].size;
    } else {
        KplCompileResult r;
        base = s.code + g_lines.line_top;
        if (kpl_compile(text, base, kKplLineArea - g_lines.line_top, options_for(false, lines),
                        &r) != 0) {
            show_compile_error_of(r, lines);
            return kStopped;
        }
        size = r.size;
        if (slot != nullptr && *slot < 0) {
            int k = 0;
            while (k < kKplKeptLineLimit && g_lines.kept[k].used) ++k;
            if (k == kKplKeptLineLimit) return kMsgOutOfMemory;
            g_lines.kept[k].used = true;
            g_lines.kept[k].start = g_lines.line_top;
            g_lines.kept[k].size = size;
            std::snprintf(g_lines.kept[k].name, sizeof g_lines.kept[k].name, "%s",
                          first_argument_text());
            *slot = k;
            g_lines.kept_end = g_lines.line_top + size;
        }
        g_lines.line_top += size;
    }
    ++g_lines.nested_lines;
    s.frame_base = s.next_slot;
    const int rc = execute(base, size, false, nullptr);
    --g_lines.nested_lines;
    if (rc != 0) {
        // A program of several lines is named by what ran it, not shown whole.
        const std::string name = lines > 0 || rerun ? first_argument_text() : text;
        message_location().pending_error = rc;
        message_location().nested_line = name.c_str();
        report_pending_kpl_error();
    }
    if (result != nullptr && result != &g_lines.run_result) *result = g_lines.run_result;
    const int restore = restore_run(saved);
    if (restore != 0) s.error = restore;
    return rc != 0 ? kStopped : 0;
}

int run_cell_expression(const char* text, bool double_cell, int width, KplValue* value,
                        bool* accepted) {
    KplCompileResult compiled;
    return cell_expression(text, double_cell, width, value, accepted, &compiled);
}

namespace {
// The run-state source and the cell-entry hooks installed at start stay; kept lines and the
// last result go.
void reset_kpl_line() {
    LineRunnerState fresh;
    fresh.run_state_source = g_lines.run_state_source;
    fresh.cell_entry = g_lines.cell_entry;
    g_lines = fresh;
}
const platform::StateReset kpl_line_state_reset{"kpl/kpl_line", reset_kpl_line,
                                                platform::ResetLayer::kpl};
}  // namespace
