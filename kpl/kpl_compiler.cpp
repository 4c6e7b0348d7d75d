#include "kpl/kpl_compiler.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "kpl/kpl_codegen.h"
#include "kpl/kpl_lexer.h"
#include "kpl/kpl_opcodes.h"
#include "kpl/kpl_operators.h"
#include "kpl/kpl_sysvars.h"
#include "runtime/definitions.h"
#include "runtime/lens_data_guard.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/table_lists.h"
#include "runtime/text_case.h"
#include "tables/table_names.h"

namespace {

// --- the definitions as name source ---------------------------------------------------------

int defs_find_symbol(const char* name) {
    const Definitions& d = definitions();
    return d.names != nullptr ? find_name(d.names, name) : -1;
}

const ProcedureRecord* procedure_record(int symbol) {
    const Definitions& d = definitions();
    const int q = symbol - kUserSymbolBase;
    if (d.procedures == nullptr || q < 0 || q >= d.procedure_count) return nullptr;
    return &d.procedures[q];
}

bool defs_symbol_info(int symbol, KplSymbolInfo* info) {
    const Definitions& d = definitions();
    *info = KplSymbolInfo{};
    if (symbol >= kUserSymbolBase) {
        const ProcedureRecord* r = procedure_record(symbol);
        if (r == nullptr) return false;
        info->user = true;
        info->result_type = r->flags & kRecordResultMask;
        info->param_count = procedure_parameter_count(*r);
        return true;
    }
    if (d.commands == nullptr || symbol < 0 || symbol >= d.command_count) return false;
    const CommandRecord& c = d.commands[symbol];
    info->result_type = c.flags & kRecordResultMask;
    info->param_count = c.parameter_count;
    info->context_letter = static_cast<char>(c.reserved);
    info->lens_data = (c.flags & kRecordLensData) != 0;
    return true;
}

const ParamDescriptor* defs_parameter(int symbol, int arg, bool* output) {
    const Definitions& d = definitions();
    *output = false;
    int field = 0, count = 0;
    if (symbol >= kUserSymbolBase) {
        const ProcedureRecord* r = procedure_record(symbol);
        if (r == nullptr) return nullptr;
        field = procedure_parameter_field(*r);
        count = procedure_parameter_count(*r);
    } else {
        if (d.commands == nullptr || symbol < 0 || symbol >= d.command_count) return nullptr;
        field = d.commands[symbol].parameter_field;
        count = d.commands[symbol].parameter_count;
    }
    if (arg < 0 || arg >= count) return nullptr;
    int n = field;
    if (count >= 2) {
        const int k = field + arg;
        if (field < 0 || k >= d.param_index_count) return nullptr;
        *output = (d.param_index[k] & kParamIndexOutput) != 0;
        n = d.param_index[k] & kParamIndexMask;
    }
    return param_descriptor(n);
}

bool defs_find_variable(const char* name, std::uint32_t* entry) {
    char* buffer = global_lookup_buffer();
    std::snprintf(buffer, kLookupNameSize, "%s", name);
    const char* matched = nullptr;
    const std::uint8_t* e = find_global_name(&matched, true);
    if (e == nullptr) return false;
    *entry = le32_at(e);
    return true;
}

const KplNameSource kDefinitionsNames = {defs_find_symbol, defs_symbol_info, defs_parameter,
                                         defs_find_variable};

// --- the compiler ---------------------------------------------------------------------------

constexpr std::uint8_t kArgTerminator = kOp_terminator;

struct SwitchTable {
    int label = 0;
    int count = 0;
    bool has_default = false;
    std::uint16_t default_pos = 0;
    std::int16_t values[kKplCaseLimit];
    std::uint16_t targets[kKplCaseLimit];
};

struct Variable {
    std::uint8_t ref = 0;  // type and scope bits as found
    int dims = 0;
    int number = 0;
    bool local = false;
    bool declared = false;  // declared by the line itself
};

// One argument of a call as argument() sees it before reading it: the parameter it fills (null
// past the described ones), the first character of its text, and how it is passed.
struct ArgumentSlot {
    int symbol = 0;
    int arg = 0;
    const ParamDescriptor* d = nullptr;
    char c = '\0';
    bool command_form = false;  // a command line's blank-separated arguments
    bool is_text = false;
    bool by_reference = false;
};

// What a step of argument() returns when it leaves the argument to the steps after it.
constexpr int kArgumentGoesOn = -0x7fffffff;

struct Compiler {
    KplLexer lx;
    KplCodegen g;
    const KplCompileOptions* opt = nullptr;
    const KplNameSource* names = nullptr;
    char contexts[kKplContextLimit + 1] = {};
    int context_depth = 0;
    bool effect = false;  // the expression assigns, increments or calls a procedure without result
    SwitchTable switches[kKplSwitchNesting];
    int switch_depth = 0;
    // Variables the line declares: slot i for name i.
    char declared_names[kKplDeclaredLimit][kKplIdentMax + 1];
    std::uint8_t declared_types[kKplDeclaredLimit];
    int declared_count = 0;
    bool lens_only = false;  // compiling a line of lens data

    int tok() const { return lx.token; }
    int next() {
        const int t = kpl_next_token(lx);
        return t < 0 ? t : 0;
    }
    int incomplete() const { return opt->expression_only ? kMsgIncompleteCell : kMsgIncomplete; }
    // The failure for an unexpected token: incomplete at the end of the text.
    int unexpected(int code = kMsgSyntax) const {
        if (tok() < 0) return tok();
        return tok() == kTokEnd ? incomplete() : code;
    }

    int statement_list(int end, int context, int cont, int brk);
    int statement(int end, int context, int cont, int brk);
    int statement_end(int end);
    int empty_statement(int end);
    int if_statement(int end, int cont, int brk);
    int while_statement(int end);
    int do_statement(int end);
    int for_statement(int end);
    int switch_statement(int cont);
    int case_label(int context);
    int jump_statement(int end, int context, int cont, int brk);
    int declared_type() const;
    int simple_statement(int end, int context, int cont, int brk);
    int expression_statement(int end);
    int condition(std::uint8_t opcode, int label);
    int chain(int end, bool statement_level);
    int operand(int end, bool statement_level);
    int identifier(std::uint8_t prefix, std::uint8_t pre_increment, int end, bool statement_level);
    int variable(const Variable& v, const char* name, std::uint8_t prefix,
                 std::uint8_t pre_increment, int end);
    int call(int symbol, const KplSymbolInfo& info, std::uint8_t prefix, bool statement_level);
    int call_arguments(int symbol, const KplSymbolInfo& info, bool statement_level, bool masks,
                       std::uint32_t& allowed);
    int argument(int symbol, int arg, bool command_form, bool* asked, std::uint32_t* allowed);
    int omitted_or_asked(const ArgumentSlot& a, bool* asked);
    int optional_word(const ArgumentSlot& a);
    int word_before_glass_name(const ArgumentSlot& a);
    int list_word(const ArgumentSlot& a, std::uint32_t* allowed);
    int whole_array(const ArgumentSlot& a);
    int text_value(const ArgumentSlot& a);
    int plain_value(const ArgumentSlot& a);
    bool glass_name_follows(int symbol, int arg);
    int reference(const char* name);
    int not_a_choice(const char* word);
    int inline_text(const char* text, std::size_t length);
    int str_pref();
    int declaration(int type);
    int find_symbol(const char* name);
    bool find_variable(const char* name, Variable* v);
    int numbered_form(const char* name, bool statement_level, bool* rewritten);
};

bool ends_expression(int t, int end) {
    return t == kTokRBracket || t == kTokComma || t == kTokSemicolon || t == kTokRParen ||
           t == end || t == kTokEnd;
}

int Compiler::find_symbol(const char* name) {
    if (context_depth > 0) {
        char with[kKplIdentMax + 4];
        std::snprintf(with, sizeof with, "%s_%c", name,
                      std::tolower(static_cast<unsigned char>(contexts[context_depth - 1])));
        const int s = names->find_symbol(with);
        if (s >= 0) return s;
    }
    return names->find_symbol(name);
}

bool Compiler::find_variable(const char* name, Variable* v) {
    for (int i = 0; i < declared_count; ++i) {
        if (std::strcmp(declared_names[i], name) == 0) {
            *v = Variable{static_cast<std::uint8_t>(kpl_local_type_of(declared_types[i])),
                          kpl_local_indices(declared_types[i]), i, true, true};
            return true;
        }
    }
    if (opt->procedure) {
        for (int i = 0; i < opt->local_count; ++i) {
            if (std::strcmp(opt->local_names[i], name) == 0) {
                *v = Variable{static_cast<std::uint8_t>(kpl_local_type_of(opt->local_types[i])),
                              kpl_local_indices(opt->local_types[i]), i, true};
                return true;
            }
        }
    }
    std::uint32_t e = 0;
    if (names->find_variable == nullptr || !names->find_variable(name, &e)) return false;
    const KplNameEntry n = kpl_decode_name_entry(e);
    if ((n.ref & kRefTypeMask) == 0) return false;
    v->ref = n.ref;
    v->dims = n.dims;
    v->number = n.number;
    v->local = (n.ref & (kRefBuiltin | kRefGlobal)) == 0;
    return true;
}

// An identifier ending in one to three digits names the symbol of its letters and "_", with
// the digits as its first argument.
int Compiler::numbered_form(const char* name, bool statement_level, bool* rewritten) {
    *rewritten = false;
    const std::size_t n = std::strlen(name);
    if (n < 2 || name[0] == '_') return 0;
    std::size_t k = n;
    while (k > 0 && std::isdigit(static_cast<unsigned char>(name[k - 1]))) --k;
    const std::size_t digits = n - k;
    if (digits < 1 || digits > 3 || k == 0) return 0;
    for (std::size_t i = 0; i < k; ++i) {
        if (std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    }
    char base[kKplIdentMax + 2];
    std::memcpy(base, name, k);
    base[k] = '_';
    base[k + 1] = '\0';
    const int symbol = find_symbol(base);
    KplSymbolInfo info;
    if (symbol < 0 || !names->symbol_info(symbol, &info) || info.param_count < 1) return 0;
    char text[kKplIdentMax + 16];
    const char* number = name + k;
    if (kpl_peek_char(lx) == '(') {
        if (next() != 0) return tok();  // the '(' is replaced by the rewritten text
        std::snprintf(text, sizeof text, "%s(%s%s", base, number, info.param_count > 1 ? "," : " ");
    } else if (statement_level) {
        std::snprintf(text, sizeof text, "%s %s ", base, number);
    } else {
        std::snprintf(text, sizeof text, "%s(%s)", base, number);
    }
    if (kpl_push_text(lx, text) != 0) return kMsgOutOfMemory;
    *rewritten = true;
    return 0;
}

int Compiler::statement_list(int end, int context, int cont, int brk) {
    while (tok() != end) {
        if (tok() < 0) return tok();
        if (tok() == kTokEnd) return incomplete();
        const int r = statement(end, context, cont, brk);
        if (r != 0) return r;
    }
    return 0;
}

int Compiler::condition(std::uint8_t opcode, int label) {
    if (tok() != kTokLParen) return unexpected(kMsgSyntax);
    if (next() != 0) return tok();
    emit_jump(g, opcode, label);
    const int r = chain(kTokRParen, false);
    // Text where the closing parenthesis belongs is reported as that parenthesis missing.
    if (r == kMsgSyntax && lx.error == 0) return kMsgMissingParen;
    if (r != 0) return r;
    if (tok() != kTokRParen) return unexpected(kMsgMissingParen);
    emit_byte(g, kArgTerminator);
    return next() != 0 ? tok() : 0;
}

int Compiler::expression_statement(int end) {
    for (;;) {
        effect = false;
        emit_byte(g, kOp_expression);
        const int r = chain(end, true);
        if (r != 0) return r;
        emit_byte(g, kArgTerminator);
        if (!effect) emit_byte(g, kOp_line_value);
        if (tok() != kTokComma) return 0;
        if (next() != 0) return tok();
    }
}

// statement: ';' | block | if | while | do | for | switch | case label | break | continue |
// simple statement. context 0 outside any loop or switch, 1 inside a loop or a branch, or the
// label of the switch table whose body this is; cont and brk the labels continue and break
// jump to (0: none).
int Compiler::statement(int end, int context, int cont, int brk) {
    if (lens_only) {
        if (tok() == kTokSemicolon) return next() != 0 ? tok() : 0;
        if (tok() != kTokIdent) return kMsgRefusedInLensData;
    }
    switch (tok()) {
        case kTokSemicolon:
            return empty_statement(end);
        case kTokLBrace: {
            if (next() != 0) return tok();
            if (const int r = statement_list(kTokRBrace, context != 0 ? 1 : 0, cont, brk); r != 0) {
                return r;
            }
            return next() != 0 ? tok() : 0;
        }
        case kTokIf:
            return if_statement(end, cont, brk);
        case kTokWhile:
            return while_statement(end);
        case kTokDo:
            return do_statement(end);
        case kTokFor:
            return for_statement(end);
        case kTokSwitch:
            return switch_statement(cont);
        case kTokCase:
        case kTokDefault:
            return case_label(context);
        case kTokBreak:
        case kTokContinue:
            return jump_statement(end, context, cont, brk);
        default:
            return simple_statement(end, context, cont, brk);
    }
}

// The end of a statement that may stand without its ';': at the end token, at the end of the
// line, or on a new line.
int Compiler::statement_end(int end) {
    if (tok() == kTokSemicolon) return next() != 0 ? tok() : 0;
    return tok() == end || tok() == kTokEnd || lx.newline_before ? 0 : unexpected();
}

// ';' alone runs the command "_".
int Compiler::empty_statement(int end) {
    if (kpl_push_text(lx, "_;") != 0) return kMsgOutOfMemory;
    if (next() != 0) return tok();
    effect = false;
    emit_byte(g, kOp_expression);
    if (const int r = chain(end, true); r != 0) return r;
    emit_byte(g, kArgTerminator);
    if (!effect) emit_byte(g, kOp_line_value);
    return tok() == kTokSemicolon ? (next() != 0 ? tok() : 0) : unexpected();
}

// if (condition) statement { else if (condition) statement } [else statement]
int Compiler::if_statement(int end, int cont, int brk) {
    int r = 0;
    const int else_label = new_label(g);
    if (next() != 0) return tok();
    if ((r = condition(kOp_jump_false, else_label)) != 0) return r;
    if ((r = statement(end, 1, cont, brk)) != 0) return r;
    if (tok() != kTokElse) {
        set_label(g, else_label);
        return 0;
    }
    const int end_label = new_label(g);
    int pending_else = else_label;
    while (tok() == kTokElse) {
        emit_jump(g, kOp_jump, end_label);
        set_label(g, pending_else);
        if (next() != 0) return tok();
        if (tok() != kTokIf) {
            if ((r = statement(end, 1, cont, brk)) != 0) return r;
            pending_else = 0;
            break;
        }
        pending_else = new_label(g);
        if (next() != 0) return tok();
        if ((r = condition(kOp_jump_false, pending_else)) != 0) return r;
        if ((r = statement(end, 1, cont, brk)) != 0) return r;
    }
    if (pending_else != 0) set_label(g, pending_else);
    set_label(g, end_label);
    return 0;
}

// while (condition) statement
int Compiler::while_statement(int end) {
    int r = 0;
    const int top = new_label(g), out = new_label(g);
    set_label(g, top);
    if (next() != 0) return tok();
    if ((r = condition(kOp_jump_false, out)) != 0) return r;
    if ((r = statement(end, 0, top, out)) != 0) return r;
    emit_jump(g, kOp_jump, top);
    set_label(g, out);
    return 0;
}

// do statement while (condition) [';']
int Compiler::do_statement(int end) {
    int r = 0;
    const int top = new_label(g), again = new_label(g), out = new_label(g);
    set_label(g, top);
    if (next() != 0) return tok();
    if ((r = statement(end, 0, again, out)) != 0) return r;
    set_label(g, again);
    if (tok() != kTokWhile) return unexpected(kMsgWhileMissing);
    if (next() != 0) return tok();
    if ((r = condition(kOp_jump_true, top)) != 0) return r;
    set_label(g, out);
    return statement_end(end);
}

// for ([expression] ; [condition] ; [expression]) statement
int Compiler::for_statement(int end) {
    int r = 0;
    if (next() != 0) return tok();
    if (tok() != kTokLParen) return unexpected(kMsgSyntax);
    if (next() != 0) return tok();
    if (tok() != kTokSemicolon && (r = expression_statement(kTokSemicolon)) != 0) return r;
    if (tok() != kTokSemicolon) return unexpected();
    if (next() != 0) return tok();
    const int top = new_label(g), out = new_label(g);
    set_label(g, top);
    if (tok() != kTokSemicolon) {
        emit_jump(g, kOp_jump_false, out);
        if ((r = chain(kTokSemicolon, false)) != 0) return r;
        emit_byte(g, kArgTerminator);
    }
    if (tok() != kTokSemicolon) return unexpected();
    if (next() != 0) return tok();
    int continue_target = top;
    if (tok() != kTokRParen) {
        // The step is compiled before the body it follows: jumped over on the way in.
        const int body = new_label(g), step = new_label(g);
        emit_jump(g, kOp_jump, body);
        set_label(g, step);
        if ((r = expression_statement(kTokRParen)) != 0) return r;
        emit_jump(g, kOp_jump, top);
        continue_target = step;
        set_label(g, body);
    }
    if (tok() != kTokRParen) return unexpected(kMsgMissingParen);
    if (next() != 0) return tok();
    if ((r = statement(end, 0, continue_target, out)) != 0) return r;
    emit_jump(g, kOp_jump, continue_target);
    set_label(g, out);
    return 0;
}

// switch (condition) { case labels and statements }: the body, then the table of its values
// and targets.
int Compiler::switch_statement(int cont) {
    int r = 0;
    if (switch_depth >= kKplSwitchNesting) return kMsgOutOfMemory;
    const int table = new_label(g), out = new_label(g);
    if (next() != 0) return tok();
    if ((r = condition(kOp_switch_, table)) != 0) return r;
    if (tok() != kTokLBrace) return unexpected(kMsgSwitchBody);
    if (next() != 0) return tok();
    if (tok() != kTokCase && tok() != kTokDefault && tok() != kTokRBrace) {
        return unexpected(kMsgSwitchBody);
    }
    SwitchTable& s = switches[switch_depth++];
    s = SwitchTable{};
    s.label = table;
    if ((r = statement_list(kTokRBrace, table, cont, out)) != 0) return r;
    if (next() != 0) return tok();
    emit_jump(g, kOp_switch_end, out);
    set_label(g, table);
    emit_be16(g, static_cast<unsigned>(s.count));
    if (s.has_default) {
        emit_be16(g, s.default_pos);
    } else {
        add_fixup(g, out);
    }
    for (int i = 0; i < s.count; ++i) {
        emit_be16(g, static_cast<std::uint16_t>(s.values[i]));
        emit_be16(g, s.targets[i]);
    }
    set_label(g, out);
    --switch_depth;
    return 0;
}

// case ['+' | '-'] integer ':' | default ':', directly in a switch body.
int Compiler::case_label(int context) {
    if (context < 2 || switch_depth == 0 || switches[switch_depth - 1].label != context) {
        return kMsgMisplaced;
    }
    SwitchTable& s = switches[switch_depth - 1];
    if (tok() == kTokDefault) {
        if (s.has_default) return kMsgMisplaced;
        s.has_default = true;
        s.default_pos = static_cast<std::uint16_t>(g.pos);
        if (next() != 0) return tok();
    } else {
        if (next() != 0) return tok();
        bool negative = false;
        if (tok() == kTokBinary && (lx.value == kOp_subtract || lx.value == kOp_add)) {
            negative = lx.value == kOp_subtract;
            if (next() != 0) return tok();
        }
        if (tok() == kTokReal) return kMsgCaseNotInt;
        if (tok() != kTokInt) return unexpected(kMsgCaseNotInt);
        if (lx.value < 0) return kMsgBadNumber;
        const std::int64_t v = negative ? -lx.value : lx.value;
        if (v < -kKplCaseValueMax || v > kKplCaseValueMax) return kMsgCaseRange;
        for (int i = 0; i < s.count; ++i) {
            if (s.values[i] == v) return kMsgDuplicateCase;
        }
        if (s.count >= kKplCaseLimit) return kMsgOutOfMemory;
        s.values[s.count] = static_cast<std::int16_t>(v);
        s.targets[s.count] = static_cast<std::uint16_t>(g.pos);
        ++s.count;
        if (next() != 0) return tok();
    }
    if (tok() != kTokColon) return unexpected();
    return next() != 0 ? tok() : 0;
}

// break | continue, inside a loop (or a switch for break).
int Compiler::jump_statement(int end, int context, int cont, int brk) {
    const int label = tok() == kTokBreak ? brk : cont;
    if (context == 0 || label == 0) return kMsgMisplaced;
    emit_jump(g, kOp_jump, label);
    if (next() != 0) return tok();
    return statement_end(end);
}

// The type a declaration starts with (a command line only), or 0.
int Compiler::declared_type() const {
    if (opt->procedure || tok() != kTokIdent) return 0;
    const char* word = lx.text;
    if (std::strcmp(word, "int") == 0) return int{kKplInt};
    if (std::strcmp(word, "double") == 0) return int{kKplDouble};
    if (std::strcmp(word, "char") == 0) return int{kKplChar};
    return 0;
}

// declaration | return [chain] | expression statement, each ended by ';', the end token, an
// else, or a new line.
int Compiler::simple_statement(int end, int context, int cont, int brk) {
    int r = 0;
    const int type = declared_type();
    const char after_type = type != 0 ? kpl_peek_char(lx) : 0;
    if (type != 0 && (std::isalpha(static_cast<unsigned char>(after_type)) || after_type == '_')) {
        if (lens_only) return kMsgRefusedInLensData;
        // Only the line's outer level declares: a declaration in a loop would run again.
        if (end != kTokEnd || context != 0 || cont != 0 || brk != 0) return kMsgDeclarationPlace;
        if ((r = declaration(type)) != 0) return r;
    } else if (opt->procedure && tok() == kTokIdent && std::strcmp(lx.text, "return") == 0) {
        if (next() != 0) return tok();
        if (opt->result_type != 0 && tok() != kTokSemicolon && tok() != end && tok() != kTokEnd) {
            emit_byte(g, kOp_return_value);
            if ((r = chain(end, false)) != 0) return r;
        } else {
            emit_byte(g, kOp_return_);
        }
    } else if ((r = expression_statement(end)) != 0) {
        return r;
    }
    if (tok() == kTokSemicolon) return next() != 0 ? tok() : 0;
    if (tok() == end || tok() == kTokEnd || tok() == kTokElse || lx.newline_before) return 0;
    return unexpected();
}

// One declaration statement after its type word: names, each with up to two dimensions, which
// are expressions evaluated when the statement runs.
int Compiler::declaration(int type) {
    for (;;) {
        if (next() != 0) return tok();
        if (tok() != kTokIdent) return unexpected();
        char name[kKplIdentMax + 1];
        std::snprintf(name, sizeof name, "%.47s", lx.text);
        lower_text_in_place(name);
        bool taken = find_symbol(name) >= 0;
        for (int i = 0; i < declared_count && !taken; ++i) {
            taken = std::strcmp(declared_names[i], name) == 0;
        }
        if (taken) {
            std::snprintf(lx.text, sizeof lx.text, "%s", name);
            return kMsgDeclaredName;
        }
        if (declared_count >= kKplDeclaredLimit) return kMsgOutOfMemory;
        const bool array = kpl_peek_char(lx) == '[';
        emit_byte(g, kOp_declare);
        emit_byte(g, static_cast<std::uint8_t>(type | (array ? kDeclareArray : 0)));
        emit_byte(g, static_cast<std::uint8_t>(declared_count));
        if (next() != 0) return tok();
        int dims = 0;
        while (tok() == kTokLBracket) {
            if (dims == 2) return kMsgSyntax;
            if (next() != 0) return tok();
            const int r = chain(kTokRBracket, false);
            if (r != 0) return r;
            if (tok() != kTokRBracket) return unexpected();
            emit_byte(g, kArgTerminator);
            ++dims;
            if (next() != 0) return tok();
        }
        if (dims == 1) emit_byte(g, kArgTerminator);
        std::memcpy(declared_names[declared_count], name, sizeof name);
        declared_types[declared_count] = kpl_local_type(type, dims);
        ++declared_count;
        if (tok() != kTokComma) return 0;
    }
}

int Compiler::chain(int end, bool statement_level) {
    bool first = true;
    for (;;) {
        const int r = operand(end, statement_level && first);
        if (r != 0) return r;
        first = false;
        if (tok() == kTokBinary) {
            emit_byte(g, static_cast<std::uint8_t>(lx.value));
            if (next() != 0) return tok();
            continue;
        }
        if (ends_expression(tok(), end)) return 0;
        if (tok() == kTokRBrace && end != kTokRBrace) return 0;  // closes an enclosing block
        if (lx.newline_before) return 0;
        return unexpected();
    }
}

int Compiler::operand(int end, bool statement_level) {
    std::uint8_t prefix = 0;
    if (tok() == kTokUnary) {
        prefix = static_cast<std::uint8_t>(lx.value);
        if (next() != 0) return tok();
    } else if (tok() == kTokBinary && (lx.value == kOp_subtract || lx.value == kOp_add)) {
        if (lx.value == kOp_subtract) prefix = kOp_negate;
        if (next() != 0) return tok();
    }
    if (prefix != 0 && (tok() == kTokUnary || tok() == kTokBinary)) {
        // A second prefix: the rest becomes a group of its own.
        emit_byte(g, prefix);
        emit_byte(g, kOp_group);
        const int r = operand(end, false);
        if (r != 0) return r;
        emit_byte(g, kOp_group_end);
        return 0;
    }
    std::uint8_t pre_increment = 0;
    if (tok() == kTokIncDec) {
        if (opt->expression_only) return kMsgSyntax;
        pre_increment = lx.value == kIncrementByte ? kOp_pre_increment : kOp_pre_decrement;
        if (next() != 0) return tok();
    }
    switch (tok()) {
        case kTokInt:
        case kTokReal: {
            if (pre_increment != 0) return kMsgNoAssignHere;
            if (lx.value < 0) return kMsgBadNumber;
            if (prefix != 0 && prefix != kOp_negate) emit_byte(g, prefix);
            emit_byte(g, kOp_constant);
            if (tok() == kTokInt) {
                std::int32_t v = static_cast<std::int32_t>(lx.value);
                if (prefix == kOp_negate) v = -v;
                emit_byte(g, kKplInt);
                emit_bytes(g, &v, sizeof v);
            } else {
                double v = std::strtod(lx.text, nullptr);
                if (prefix == kOp_negate) v = -v;
                emit_byte(g, kKplDouble);
                emit_bytes(g, &v, sizeof v);
            }
            if (next() != 0) return tok();
            if (tok() == kTokAssign || tok() == kTokIncDec) return kMsgNoAssignHere;
            return 0;
        }
        case kTokLParen: {
            if (pre_increment != 0) return kMsgNoAssignHere;
            if (prefix != 0) emit_byte(g, prefix);
            emit_byte(g, kOp_group);
            if (next() != 0) return tok();
            const int r = chain(kTokRParen, false);
            if (r != 0) return r;
            if (tok() != kTokRParen) return unexpected();
            emit_byte(g, kOp_group_end);
            return next() != 0 ? tok() : 0;
        }
        case kTokStrPref:
            return kMsgStrPrefInExpression;
        case kTokIdent:
            if (lens_only && (pre_increment != 0 || !statement_level)) return kMsgRefusedInLensData;
            return identifier(prefix, pre_increment, end, statement_level);
        default:
            return unexpected();
    }
}

int Compiler::identifier(std::uint8_t prefix, std::uint8_t pre_increment, int end,
                         bool statement_level) {
    char name[kKplIdentMax + 1];
    std::snprintf(name, sizeof name, "%.47s", lx.text);
    lower_text_in_place(name);
    Variable v;
    const bool is_variable = find_variable(name, &v);
    int symbol = is_variable && v.local ? -1 : find_symbol(name);
    KplSymbolInfo info;
    if (symbol >= 0 && !names->symbol_info(symbol, &info)) symbol = -1;
    if (symbol < 0 && !is_variable) {
        bool rewritten = false;
        const int r = numbered_form(name, statement_level && prefix == 0, &rewritten);
        if (r != 0) return r;
        if (rewritten) {
            if (next() != 0) return tok();
            return identifier(prefix, pre_increment, end, statement_level);
        }
        std::snprintf(lx.text, sizeof lx.text, "%s", name);
        return kMsgUnknownName;
    }
    // A variable when followed by '[', an assignment or "++"/"--"; else a procedure without
    // result, then a variable, then any other symbol.
    const char c = kpl_peek_char(lx);
    const char* rest = lx.pushed > 0 ? nullptr : lx.src;
    bool forced_variable = c == '[' || c == '+' || c == '-' || c == '=' || c == '*' || c == '/' ||
                           c == '%' || c == '&' || c == '|' || c == '^' || c == '<' || c == '>';
    if (forced_variable && rest != nullptr) {
        // Only an assignment operator or "++"/"--" forces a variable, not "==" or "+ 1".
        const char d = rest[1];
        if (c == '[') {
            forced_variable = true;
        } else if (c == '=') {
            forced_variable = d != '=';
        } else if ((c == '+' || c == '-') && d == c) {
            forced_variable = true;
        } else if ((c == '<' || c == '>') && d == c) {
            forced_variable = rest[2] == '=';
        } else {
            forced_variable = d == '=' && c != '<' && c != '>';
        }
    } else {
        forced_variable = forced_variable && c == '[';
    }
    bool is_call = false;
    // A command without result is a statement: inside an expression the name is the variable.
    if (!forced_variable && symbol >= 0) {
        is_call = !is_variable || (info.result_type == 0 && statement_level && prefix == 0);
    }
    if (!is_call && is_variable && !v.local && context_depth == 0 && statement_level &&
        prefix == 0 && pre_increment == 0 &&
        (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '"' || c == '_')) {
        // Outside lens entry a lens-entry word such as SDMS names the variable that reads the
        // value; a value after it can only mean the lens-entry command, which sets it.
        char entry_name[kKplIdentMax + 4];
        std::snprintf(entry_name, sizeof entry_name, "%s_l", name);
        const int entry = names->find_symbol(entry_name);
        KplSymbolInfo entry_info;
        if (entry >= 0 && names->symbol_info(entry, &entry_info) && !entry_info.user &&
            entry_info.lens_data) {
            return call(entry, entry_info, prefix, true);
        }
    }
    if (is_call) {
        if (pre_increment != 0) return kMsgNoAssignHere;
        return call(symbol, info, prefix, statement_level && prefix == 0);
    }
    if (!is_variable) {
        std::snprintf(lx.text, sizeof lx.text, "%s", name);
        return kMsgUnknownName;
    }
    if (next() != 0) return tok();
    return variable(v, name, prefix, pre_increment, end);
}

int Compiler::variable(const Variable& v, const char* name, std::uint8_t prefix,
                       std::uint8_t pre_increment, int end) {
    if (lens_only) return kMsgRefusedInLensData;
    const bool read_only = (v.ref & kRefReadOnly) == kRefReadOnly;
    if (prefix != 0) emit_byte(g, prefix);
    std::uint8_t ref = static_cast<std::uint8_t>(v.ref & (kRefTypeMask | kRefReadOnly));
    if (v.dims > 0) ref |= kRefIndexed;
    emit_byte(g, ref);
    if (v.local) {
        emit_byte(g, static_cast<std::uint8_t>(v.number));
    } else {
        emit_be16(g, static_cast<unsigned>(v.number));
    }
    for (int k = 0; k < v.dims; ++k) {
        if (tok() != kTokLBracket) return tok() < 0 ? tok() : kMsgTooFewIndices;
        if (next() != 0) return tok();
        const int r = chain(kTokRBracket, false);
        if (r != 0) return r;
        if (tok() != kTokRBracket) return unexpected();
        emit_byte(g, kArgTerminator);
        if (next() != 0) return tok();
    }
    if (tok() == kTokLBracket) return kMsgSyntax;
    auto refuse = [&](int code) {
        std::snprintf(lx.text, sizeof lx.text, "%s", name);
        return code;
    };
    if (pre_increment != 0) {
        if (read_only) return refuse(kMsgReadOnly);
        if (prefix != 0) return kMsgNoAssignHere;
        emit_byte(g, pre_increment);
        effect = true;
    }
    if (tok() == kTokIncDec && !lx.newline_before) {
        if (opt->expression_only || prefix != 0 || pre_increment != 0) return kMsgNoAssignHere;
        if (read_only) return refuse(kMsgReadOnly);
        emit_byte(g, lx.value == kIncrementByte ? kOp_post_increment : kOp_post_decrement);
        effect = true;
        return next() != 0 ? tok() : 0;
    }
    if (tok() == kTokAssign) {
        if (opt->expression_only || prefix != 0 || pre_increment != 0) return kMsgNoAssignHere;
        if (read_only) return refuse(kMsgReadOnly);
        emit_byte(g, static_cast<std::uint8_t>(lx.value));
        effect = true;
        if (next() != 0) return tok();
        return chain(end, false);
    }
    return 0;
}

int Compiler::inline_text(const char* text, std::size_t length) {
    emit_byte(g, kOp_reference_arg);
    emit_byte(g, kOp_inline_text);
    // An array header: the text's size with its NUL, no second dimension.
    emit_be16(g, static_cast<unsigned>(length + 1));
    emit_be16(g, 0);
    emit_bytes(g, text, length);
    emit_byte(g, 0);
    emit_byte(g, kArgTerminator);
    return 0;
}

int Compiler::reference(const char* name) {
    if (lens_only) return kMsgRefusedInLensData;
    char lowered[kKplIdentMax + 1];
    std::snprintf(lowered, sizeof lowered, "%s", name);
    lower_text_in_place(lowered);
    Variable v;
    if (!find_variable(lowered, &v)) return kMsgReferenceArg;
    emit_byte(g, kOp_reference_arg);
    std::uint8_t ref = static_cast<std::uint8_t>(v.ref & (kRefTypeMask | kRefReadOnly));
    // The slot of a local array or text (declared, or a procedure's parameter) holds its
    // header: the reference says so.
    if (v.local && v.dims > 0) ref |= kRefIndexed;
    emit_byte(g, ref);
    if (v.local) {
        emit_byte(g, static_cast<std::uint8_t>(v.number));
    } else {
        emit_be16(g, static_cast<unsigned>(v.number));
    }
    emit_byte(g, kArgTerminator);
    return 0;
}

// "str_pref" "(" name ")": a reference to the text of a string preference.
int Compiler::str_pref() {
    if (lens_only) return kMsgRefusedInLensData;
    if (next() != 0) return tok();
    if (tok() != kTokLParen) return unexpected(kMsgParenExpected);
    if (next() != 0) return tok();
    if (tok() == kTokRParen) return kMsgTooManyArgs;
    if (tok() != kTokIdent && tok() != kTokString) return unexpected();
    char name[kKplTokenTextMax + 1];
    std::snprintf(name, sizeof name, "%.47s", lx.text);
    lower_text_in_place(name);
    if (next() != 0) return tok();
    if (tok() != kTokRParen) return unexpected();
    int index = -1;
    const int list = find_list("string_preferences", false);
    if (list < 0 || match_word_in_list(list, name, &index) == nullptr || index < 0) {
        std::snprintf(lx.text, sizeof lx.text, "%s", name);
        return kMsgNotInList;
    }
    // An array header without a first dimension: the preference's list index.
    emit_byte(g, kOp_reference_arg);
    emit_byte(g, kOp_inline_text);
    emit_be16(g, 0);
    emit_be16(g, static_cast<unsigned>(index));
    emit_byte(g, kArgTerminator);
    return next() != 0 ? tok() : 0;
}

// A word the current value list lacks: the message names the word and the list's words.
int Compiler::not_a_choice(const char* word) {
    std::snprintf(lx.text, sizeof lx.text, "%s", word);
    std::string choices;
    for (int i = 0; i < value_list_count(); ++i) {
        const char* first = value_list_first(i);
        // A leading "@" entry titles the list; it is no word to type.
        if (first == nullptr || first[0] == '@') continue;
        if (!choices.empty()) choices += ", ";
        choices += list_entry_word(first);
    }
    if (choices.empty()) return kMsgNotInList;
    return set_error_msg(kMsgNotAChoiceOf, word, choices.c_str());
}

bool is_word_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

// Whether the first text parameter after arg is a glass name.
bool Compiler::glass_name_follows(int symbol, int arg) {
    for (int k = arg + 1; k < kValueMaskArguments; ++k) {
        bool output = false;
        const ParamDescriptor* p = names->parameter(symbol, k, &output);
        if (p == nullptr) return false;
        if ((p->type_flags & (kParamText | kParamPlainText)) != 0) {
            return (p->flags & kParamGlassName) != 0;
        }
    }
    return false;
}

// argument: omitted | '*' | '?' | list word | text | '&' reference | chain. Compiles one
// argument of a call with its terminator: 0 (or the lexer's failure) when the argument's text
// is used up, 1 when the parameter keeps its default and the text read is the next argument's.
int Compiler::argument(int symbol, int arg, bool command_form, bool* asked,
                       std::uint32_t* allowed) {
    bool output = false;
    ArgumentSlot a;
    a.symbol = symbol;
    a.arg = arg;
    a.d = names->parameter(symbol, arg, &output);
    if (arg < kValueMaskArguments && (*allowed & (1u << arg)) == 0) {
        // An earlier list choice made this parameter irrelevant; no text is read for it.
        emit_byte(g, kOp_skipped_arg);
        emit_byte(g, kArgTerminator);
        return 1;
    }
    a.c = kpl_peek_char(lx);
    a.command_form = command_form;
    a.is_text = a.d != nullptr && (a.d->type_flags & (kParamText | kParamPlainText)) != 0;
    a.by_reference = a.d != nullptr && (output || (a.d->flags & kParamByReference) != 0);
    *asked = false;
    int r = omitted_or_asked(a, asked);
    if (r == kArgumentGoesOn) r = optional_word(a);
    if (r == kArgumentGoesOn) r = word_before_glass_name(a);
    if (r == kArgumentGoesOn) r = list_word(a, allowed);
    if (r == kArgumentGoesOn) r = whole_array(a);
    if (r == kArgumentGoesOn) r = a.is_text ? text_value(a) : plain_value(a);
    return r;
}

// An omitted argument (its terminator alone), '*' (the default) or '?' (asked when the line
// runs), each standing alone.
int Compiler::omitted_or_asked(const ArgumentSlot& a, bool* asked) {
    const char c = a.c;
    if (c == ',' || c == ')' || c == '\0' || c == ';') {
        emit_byte(g, kArgTerminator);
        return next() != 0 ? tok() : 0;
    }
    if (c != '*' && c != '?') return kArgumentGoesOn;
    const char* rest = lx.pushed > 0 ? nullptr : lx.src;
    const char after = rest != nullptr ? rest[1] : 'x';
    if (!(after == ',' || after == ')' || after == ';' || after == '\0' ||
          (a.command_form && (after == ' ' || after == '\t')))) {
        return kArgumentGoesOn;
    }
    if (next() != 0) return tok();
    if (c == '?') {
        if (lens_only) return kMsgRefusedInLensData;
        emit_byte(g, kOp_ask_arg);
        *asked = true;
    }
    emit_byte(g, kArgTerminator);
    return next() != 0 ? tok() : 0;
}

// A parameter that takes a list word only when one stands there: any other text is the next
// argument's, and the parameter keeps its default.
int Compiler::optional_word(const ArgumentSlot& a) {
    const ParamDescriptor* d = a.d;
    if (d == nullptr || (d->flags & kParamOptionalWord) == 0 || a.by_reference) {
        return kArgumentGoesOn;
    }
    bool matched = false;
    if (is_word_start(a.c)) {
        // Before a text parameter the word is read whole up to the blank, so that a name
        // such as N-SF6 reaches the text parameter as one word when it is no list word.
        bool ignored = false;
        const ParamDescriptor* following = names->parameter(a.symbol, a.arg + 1, &ignored);
        const bool text_follows = a.command_form && following != nullptr &&
                                  (following->type_flags & (kParamText | kParamPlainText)) != 0;
        if (text_follows) {
            if (kpl_read_bare_word(lx) != 0) return lx.error;
        } else if (next() != 0) {
            return tok();
        }
        char word[kKplTokenTextMax + 2];
        std::snprintf(word, sizeof word, "%s ", lx.text);
        int index = -1;
        word[std::strlen(word) - 1] = '\0';
        matched = select_value_list(*d) == 0 && match_list_word(word, &index) != nullptr;
        word[std::strlen(word)] = ' ';
        if (kpl_push_text(lx, word) != 0) return kMsgOutOfMemory;
    }
    if (matched) return kArgumentGoesOn;
    // The parameter keeps its default; the token is the next argument's.
    emit_byte(g, kArgTerminator);
    return 1;
}

// A word in a command line before a glass-name parameter: the value only when every name in it
// is known (or it is a list word); N-LAK9 is no expression, since LAK9 names nothing, and goes
// to the glass name.
int Compiler::word_before_glass_name(const ArgumentSlot& a) {
    const ParamDescriptor* d = a.d;
    if (!a.command_form || d == nullptr || a.is_text || a.by_reference || !is_word_start(a.c) ||
        !glass_name_follows(a.symbol, a.arg)) {
        return kArgumentGoesOn;
    }
    if (kpl_read_bare_word(lx) != 0) return lx.error;
    char word[kKplTokenTextMax + 2];
    std::snprintf(word, sizeof word, "%s ", lx.text);
    bool expression = true;
    for (std::size_t at = 0; word[at] != '\0' && expression;) {
        if (!is_word_start(word[at])) {
            // Digits that follow other characters belong to a number, not a name.
            while (std::isalnum(static_cast<unsigned char>(word[at])) || word[at] == '.') ++at;
            if (word[at] != '\0' && !is_word_start(word[at])) ++at;
            continue;
        }
        char name[kKplTokenTextMax + 1];
        std::size_t n = 0;
        while (std::isalnum(static_cast<unsigned char>(word[at])) || word[at] == '_') {
            name[n++] = word[at++];
        }
        name[n] = '\0';
        lower_text_in_place(name);
        Variable v;
        int index = -1;
        expression = find_variable(name, &v) || find_symbol(name) >= 0 ||
                     (select_value_list(*d) == 0 && match_list_word(name, &index) != nullptr);
    }
    if (kpl_push_text(lx, word) != 0) return kMsgOutOfMemory;
    if (expression) return kArgumentGoesOn;
    // The parameter keeps its default; the word is the glass name's.
    emit_byte(g, kArgTerminator);
    return 1;
}

// A word against the parameter's value list: the list's value in its place (narrowing the
// parameters that still apply), the default's list entry, or else the word as an ordinary
// argument.
int Compiler::list_word(const ArgumentSlot& a, std::uint32_t* allowed) {
    const ParamDescriptor* d = a.d;
    const unsigned list_kind = d != nullptr ? (d->list_handle & kHandleKindMask) : 0;
    if (!((list_kind == kHandleMessagePlus || list_kind == kHandleConstant) && is_word_start(a.c) &&
          !a.by_reference)) {
        return kArgumentGoesOn;
    }
    const bool is_text = a.is_text;
    if (next() != 0) return tok();
    char word[kKplTokenTextMax + 1];
    std::snprintf(word, sizeof word, "%s", lx.text);
    Variable v;
    int index = -1;
    const char* value = nullptr;
    if (select_value_list(*d) == 0) value = match_list_word(word, &index);
    if (value != nullptr) {
        value = strip_value_mask(value);
        *allowed &= value_text_mask();
        if (is_text) {
            inline_text(value, std::strlen(value));
            return next() != 0 ? tok() : 0;
        }
        char text[kKplTokenTextMax + 2];
        std::snprintf(text, sizeof text, "%s ", value);
        if (kpl_push_text(lx, text) != 0) return kMsgOutOfMemory;
        if (next() != 0) return tok();
    } else if ((d->flags & kParamRequiresList) != 0 && !find_variable(word, &v)) {
        return not_a_choice(word);
    } else if (!is_text && (d->type_flags & kParamTypeMask) == kKplChar &&
               !find_variable(word, &v) && find_symbol(word) < 0) {
        // A switch names nothing but its own words: "Unknown name" would not tell them.
        return not_a_choice(word);
    } else if (!is_text && (d->default_handle & kHandleKindMask) == kHandleListEntry &&
               !find_variable(word, &v) && find_symbol(word) < 0) {
        const char* entry =
            value_list_second(static_cast<int>(d->default_handle & kHandleNumberMask));
        if (entry == nullptr) return kMsgNotInList;
        char text[kKplTokenTextMax + 2];
        std::snprintf(text, sizeof text, "%s%s", strip_value_mask(entry),
                      a.command_form ? " " : ",");
        // The word is read again as the next argument.
        if (kpl_push_text(lx, word) != 0 || kpl_push_text(lx, text) != 0) return kMsgOutOfMemory;
        if (next() != 0) return tok();
    } else if (is_text) {
        // Compiled as an ordinary argument from the word already read.
        if (find_variable(word, &v) && (v.ref & kRefTypeMask) == kKplChar && v.dims == 1) {
            const int r = reference(word);
            return r != 0 ? r : (next() != 0 ? tok() : 0);
        }
        inline_text(word, std::strlen(word));
        return next() != 0 ? tok() : 0;
    }
    const int r = chain(kTokRParen, false);
    if (r != 0) return r;
    emit_byte(g, kArgTerminator);
    return 0;
}

// A value of any type: a quoted text, or a whole array (or text) by reference when its name
// stands alone; anything else goes on as an expression of any type.
int Compiler::whole_array(const ArgumentSlot& a) {
    const ParamDescriptor* d = a.d;
    if (d == nullptr || (d->type_flags & kParamTypeMask) != 0 || a.is_text || a.by_reference) {
        return kArgumentGoesOn;
    }
    if (a.c == '"') {
        if (next() != 0) return tok();
        inline_text(lx.text, static_cast<std::size_t>(lx.value));
        return next() != 0 ? tok() : 0;
    }
    if (!is_word_start(a.c) || lx.pushed != 0 || lx.src == nullptr) return kArgumentGoesOn;
    const char* p = lx.src;
    std::size_t n = 0;
    char word[kKplIdentMax + 1];
    while ((std::isalnum(static_cast<unsigned char>(p[n])) || p[n] == '_') && n < kKplIdentMax) {
        word[n] = lower_char(p[n]);
        ++n;
    }
    word[n] = '\0';
    const char* after = p + n;
    while (*after == ' ' || *after == '\t') ++after;
    Variable v;
    if ((*after == ',' || *after == ')' || *after == ';' || *after == '\0' || *after == '\n' ||
         *after == '\r') &&
        find_variable(word, &v) && v.dims > 0) {
        if (next() != 0) return tok();
        const int r = reference(word);
        return r != 0 ? r : (next() != 0 ? tok() : 0);
    }
    return kArgumentGoesOn;
}

// A text parameter: a quoted text, a text variable by reference, str_pref(...), or in a
// command line a bare word taken as it stands.
int Compiler::text_value(const ArgumentSlot& a) {
    if (a.c == '"') {
        if (next() != 0) return tok();
        inline_text(lx.text, static_cast<std::size_t>(lx.value));
        return next() != 0 ? tok() : 0;
    }
    char word[kKplTokenTextMax + 1];
    if (a.command_form) {
        if (kpl_read_bare_word(lx) != 0) return lx.error;
        std::snprintf(word, sizeof word, "%s", lx.text);
    } else {
        if (next() != 0) return tok();
        if (tok() == kTokStrPref) return str_pref();
        if (tok() != kTokIdent) return unexpected(kMsgReferenceArg);
        std::snprintf(word, sizeof word, "%s", lx.text);
    }
    if (std::strncmp(word, "str_pref", 8) == 0 && a.command_form) {
        // The bare word swallowed the preference call; read it again as tokens.
        if (kpl_push_text(lx, word + 8) != 0) return kMsgOutOfMemory;
        return str_pref();
    }
    char lowered[kKplTokenTextMax + 1];
    std::snprintf(lowered, sizeof lowered, "%s", word);
    lower_text_in_place(lowered);
    Variable v;
    if (find_variable(lowered, &v) && (v.ref & kRefTypeMask) == kKplChar && v.dims == 1) {
        const int r = reference(lowered);
        return r != 0 ? r : (next() != 0 ? tok() : 0);
    }
    if (!a.command_form) {
        std::snprintf(lx.text, sizeof lx.text, "%s", word);
        return kMsgReferenceArg;
    }
    inline_text(word, std::strlen(word));
    return next() != 0 ? tok() : 0;
}

// ['&'] variable for a parameter passed by reference, else a chain.
int Compiler::plain_value(const ArgumentSlot& a) {
    if (next() != 0) return tok();
    bool ampersand = false;
    if (tok() == kTokBinary && lx.value == kOp_bit_and) {
        ampersand = true;
        if (next() != 0) return tok();
    }
    if (ampersand || a.by_reference) {
        if (!a.by_reference) return kMsgReferenceArg;
        if (tok() != kTokIdent) return unexpected(kMsgReferenceArg);
        const int r = reference(lx.text);
        if (r != 0) return r;
        return next() != 0 ? tok() : 0;
    }
    const int r = chain(kTokRParen, false);
    if (r != 0) return r;
    emit_byte(g, kArgTerminator);
    return 0;
}

int Compiler::call(int symbol, const KplSymbolInfo& info, std::uint8_t prefix,
                   bool statement_level) {
    if (lens_only && (info.user || !info.lens_data || !statement_level || prefix != 0)) {
        return kMsgRefusedInLensData;
    }
    if (info.result_type == 0) {
        if (prefix != 0 || !statement_level) return kMsgVoidValue;
        effect = true;
    }
    if (info.context_letter == '!') {
        if (context_depth > 0) --context_depth;
    } else if (info.context_letter != 0) {
        if (context_depth >= kKplContextLimit) return kMsgOutOfMemory;
        contexts[context_depth++] = info.context_letter;
    }
    if (prefix != 0) emit_byte(g, prefix);
    emit_byte(g, static_cast<std::uint8_t>((info.user ? kOp_user_call : kOp_builtin_call) |
                                           info.result_type));
    emit_be16(g, static_cast<unsigned>(symbol));
    // A list word that leaves some parameters out ("set_setting Graphics_axes On") may also be
    // followed by every parameter in its place: when the short reading fails, the line is read
    // again with each argument in its own position, and the short reading's error stands when
    // that fails too.
    const KplLexer lexer_before = lx;
    const std::size_t code_before = g.pos;
    const int labels_before = g.label_count;
    const int fixups_before = g.fixup_count;
    std::uint32_t allowed = 0xFFFFFFFFu;
    const int r = call_arguments(symbol, info, statement_level, true, allowed);
    if (r == 0 || allowed == 0xFFFFFFFFu) return r;
    const KplLexer lexer_after = lx;
    lx = lexer_before;
    g.pos = code_before;
    g.label_count = labels_before;
    g.fixup_count = fixups_before;
    std::uint32_t unmasked = 0xFFFFFFFFu;
    if (call_arguments(symbol, info, statement_level, false, unmasked) == 0) return 0;
    lx = lexer_after;
    return r;
}

int Compiler::call_arguments(int symbol, const KplSymbolInfo& info, bool statement_level,
                             bool masks, std::uint32_t& allowed) {
    const char c = kpl_peek_char(lx);
    if (lx.error != 0) return lx.error;
    // Without masks a list word's mask lands in a scratch word that is cleared before each
    // argument, so that no parameter is skipped.
    std::uint32_t ignored = 0xFFFFFFFFu;
    std::uint32_t* const mask = masks ? &allowed : &ignored;
    bool asked = false;
    int given = 0;
    if (c == '(') {
        if (next() != 0) return tok();
        if (kpl_peek_char(lx) == ')') {
            if (next() != 0) return tok();
        } else {
            for (;;) {
                if (given >= info.param_count) return kMsgTooManyArgs;
                ignored = 0xFFFFFFFFu;
                const int r = argument(symbol, given, false, &asked, mask);
                if (r < 0) return r;
                ++given;
                if (r == 1) continue;  // skipped without reading
                if (tok() == kTokRParen) break;
                if (tok() != kTokComma) return unexpected();
            }
        }
    } else if (statement_level && info.param_count == 0 && info.result_type == 0 &&
               (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '"' || c == '\'' ||
                c == '-' || c == '+' || c == '.') &&
               !(lx.lines_end_statements && lx.crossed_line)) {
        // "tolerance_sheet 1" is a command given an argument it does not take: say so, rather
        // than a syntax error at the number.
        return kMsgTooManyArgs;
    } else if (statement_level && info.param_count > 0 && c != ';' && c != '\0' && c != '}' &&
               !(lx.lines_end_statements && lx.crossed_line)) {
        lx.argument_mode = true;
        lx.paren_depth = 0;
        lx.blank_skipped = false;  // the blanks after the name separate nothing
        for (;;) {
            if (given >= info.param_count) {
                lx.argument_mode = false;
                return kMsgTooManyArgs;
            }
            ignored = 0xFFFFFFFFu;
            const int r = argument(symbol, given, true, &asked, mask);
            if (r < 0) {
                lx.argument_mode = false;
                return r;
            }
            ++given;
            if (r == 1) continue;
            if (tok() != kTokComma) break;
            const char n = kpl_peek_char(lx);
            if (n == ';' || n == '\0' || n == '}' || (lx.lines_end_statements && lx.crossed_line)) {
                break;
            }
        }
        lx.argument_mode = false;
        if (tok() != kTokSemicolon && tok() != kTokEnd && tok() != kTokRBrace &&
            tok() != kTokComma) {
            return tok() < 0 ? tok() : kMsgTextAfterCall;
        }
        for (; given < info.param_count; ++given) {
            if (asked) emit_byte(g, kOp_ask_arg);
            emit_byte(g, kArgTerminator);
        }
        return 0;
    } else if (info.param_count > 0 && !statement_level) {
        return kMsgParenExpected;
    } else {
        for (; given < info.param_count; ++given) emit_byte(g, kArgTerminator);
        return next() != 0 ? tok() : 0;
    }
    for (; given < info.param_count; ++given) {
        if (given < kValueMaskArguments && (allowed & (1u << given)) == 0) {
            emit_byte(g, kOp_skipped_arg);
        } else if (asked) {
            emit_byte(g, kOp_ask_arg);
        }
        emit_byte(g, kArgTerminator);
    }
    if (next() != 0) return tok();
    if (info.result_type == 0 && !ends_expression(tok(), kTokEnd) && tok() != kTokRBrace &&
        !lx.newline_before) {
        return tok() == kTokBinary ? kMsgVoidValue : unexpected(kMsgTextAfterCall);
    }
    return 0;
}

}  // namespace

const KplNameSource& kpl_definitions_names() {
    return kDefinitionsNames;
}

int kpl_compile(const char* text, std::uint8_t* base, std::size_t room,
                const KplCompileOptions& options, KplCompileResult* result) {
    // The tables are large: the outermost compile uses one kept compiler, a compile started
    // from inside it (a list handler running a line) a compiler of its own.
    static Compiler outer;
    static int depth = 0;
    std::unique_ptr<Compiler> inner;
    if (depth > 0) inner = std::make_unique<Compiler>();
    Compiler& c = depth > 0 ? *inner : outer;
    struct Depth {
        Depth() { ++depth; }
        ~Depth() { --depth; }
    } in_compile;
    c.opt = &options;
    c.names = options.names != nullptr ? options.names : &kDefinitionsNames;
    c.context_depth = 0;
    if (options.context_letter != 0) c.contexts[c.context_depth++] = options.context_letter;
    c.switch_depth = 0;
    c.effect = false;
    c.declared_count = 0;
    c.lens_only = in_lens_data_scope() && !options.expression_only && !options.procedure;
    kpl_lexer_start(c.lx, text);
    c.lx.lines_end_statements = options.lines_end_statements;
    c.lx.expression_only = options.expression_only;
    c.lx.count_lines = options.count_lines;
    kpl_codegen_start(c.g, base, room);
    new_label(c.g);  // label 1 is never a switch table: context 1 means "in a branch"
    int r = c.next() != 0 ? c.tok() : 0;
    if (r == 0) {
        if (options.expression_only) {
            r = c.chain(kTokEnd, false);
            if (r == 0 && c.tok() != kTokEnd) r = c.unexpected();
            emit_byte(c.g, kArgTerminator);
        } else {
            if (c.tok() == kTokEnd && !options.procedure && !c.lens_only) {
                r = kpl_push_text(c.lx, "_;");
                if (r == 0) r = c.next() != 0 ? c.tok() : 0;
            }
            if (r == 0) r = c.statement_list(kTokEnd, 0, 0, 0);
            emit_byte(c.g, kOp_return_);
        }
    }
    if (r == 0 && c.g.overflow) r = kMsgOutOfMemory;
    if (r == 0) resolve_fixups(c.g);
    if (result != nullptr) {
        result->error = r;
        result->size = c.g.pos;
        result->line = c.lx.line;
        std::snprintf(result->token, sizeof result->token, "%.63s", c.lx.text);
    }
    return r;
}
