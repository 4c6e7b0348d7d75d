// Definitions sources, one per subsystem folder, merged into "rtdefs.amo":
//
//   version "5.40"
//   work code=<bytes> data=<bytes>
//   local_names on|off
//   condition <number> <expression over flag names with and, or, not, ( )>
//   command <number> <name>[,<alias>...] [suffix=<letter>] [plain=<slot>] [interactive=<slot>]
//           [kind=<0..3>] [hidden] [lens_data] [if=<condition>] [context=<letter>|context=!]
//   lens_data on|off   (marks every command that follows in the same source as lens_data)
//   procedure <name> [kind=<0..3>] [hidden] [if=<condition>]
//     param ... (as for commands)
//     body "<command-language text>"   (body lines are joined with line ends)
//     param <name> int|double|char|text|plain_text [default=<h>] [list=<h>] [lower=<h>]
//           [upper=<h>] [prompt=<h>] [mode=<n>] [if=<condition>] [flags=<n>] [number=<n>]
//   descriptor <n> <name> <type> [keys as for param]   (a descriptor of no command)
//   global <name> <int32>
//   value <n> number <double> | value <n> text "<text>"
//
// A procedure is compiled with the program's own command-language compiler into the code table
// "macode.amo"; its parameters are its locals, and "return" ends it (with a value when kind, its
// result type, is not 0). A command's context letter is pushed for the name lookup of the words
// that follow it on a line ("!" pops one).
//
// Descriptors are numbered by position; number=<n> pins one at n (the code asks some prompts by
// a fixed number), the others fill the numbers that are left. Two pins of one number fail.
//
// A handle <h> is a number (a constant of the table), msg:<n> (message text n), value:<n>,
// list:<n>, slot:<n> or raw:<16-bit>. param lines belong to the command above them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "kpl/kpl_compiler.h"
#include "kpl/kpl_sysvars.h"
#include "runtime/arg_cells.h"
#include "runtime/definitions.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "tools/table_builder/builders.h"
#include "tools/table_builder/source_lines.h"

namespace {

// Lets a dump tell texts apart.
constexpr std::uint8_t kTextValueMark[kValueTextOffset] = {'t', 'x', 't', 0};
constexpr int kHandleNumberLimit = kHandleNumberMask + 1;

struct Param {
    std::string name;
    std::uint8_t type_flags = 0;
    std::uint16_t handles[6] = {};  // prompt, default, list, unused, lower, upper
    std::uint8_t mode = 0;
    std::uint8_t condition = kNoCondition;
    std::uint8_t flags = 0;
    int number = -1;  // pinned descriptor number, or -1
};

struct Command {
    int number = 0;
    std::vector<std::string> names;
    int plain = -1;
    int interactive = -1;
    int kind = 0;
    bool hidden = false;
    bool lens_data = false;  // may run from a line of lens data
    int condition = kNoCondition;
    std::vector<Param> params;
    char context = 0;
    bool procedure = false;
    std::string body;
    // A user's procedure: where it begins, the source line of each body line, and whether its
    // code goes into the private code table.
    bool user = false;
    bool private_code = false;
    std::string file;
    int line = 0;
    std::vector<int> body_lines;
};

struct Value {
    bool is_text = false;
    double number = 0;
    std::string text;
};

struct State {
    std::string version;
    long code_size = 0;
    long data_size = 0;
    int local_names = 0;
    bool lens_data = false;  // "lens_data on" in force in the current source
    std::map<int, Command> commands;
    std::vector<Command> procedures;
    std::map<int, Bytes> conditions;
    std::map<int, const SourceLine*> condition_lines;
    std::vector<std::pair<std::string, long>> globals;
    std::map<int, Value> values;
    std::vector<double> constants;
    std::vector<Param> loose;  // descriptors of no command, each pinned
};

// "any": a value of any type (an int, a double, a text or an array), typed by the argument.
const char* const kTypeNames[] = {"int", "double", "char", "text", "plain_text", "any"};
const std::uint8_t kTypeFlags[] = {
    kArgInt, kArgDouble, kArgChar, kArgChar | kParamText, kArgChar | kParamPlainText, 0};
const char* const kHandleKeys[] = {"prompt", "default", "list", "", "lower", "upper"};

// Condition expressions: operand := [not] (flag | "(" expr ")"); and binds tighter than or.
bool parse_expression(const std::vector<std::string>& t, std::size_t& i, int precedence, Bytes& out,
                      std::string& error) {
    if (i < t.size() && t[i] == "not") {
        out.push_back(kCondNot);
        ++i;
    }
    if (i >= t.size()) {
        error = "condition ends where an operand is expected";
        return false;
    }
    if (t[i] == "(") {
        out.push_back(kCondGroup);
        ++i;
        if (!parse_expression(t, i, 0, out, error)) return false;
        if (i >= t.size() || t[i] != ")") {
            error = "unclosed '(' in condition";
            return false;
        }
        out.push_back(kCondClose);
        ++i;
    } else {
        const int flag = state_flag_by_name(t[i].c_str());
        if (flag < 0) {
            error = "unknown state flag '" + t[i] + "'";
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(flag + 1));
        ++i;
    }
    while (i < t.size() && (t[i] == "and" || t[i] == "or")) {
        const int q = t[i] == "and" ? 2 : 1;
        if (q <= precedence) break;
        out.push_back(q == 2 ? kCondAnd : kCondOr);
        ++i;
        if (!parse_expression(t, i, q, out, error)) return false;
    }
    return true;
}

int add_constant(State& s, double v) {
    for (std::size_t i = 0; i < s.constants.size(); ++i) {
        if (std::memcmp(&s.constants[i], &v, sizeof v) == 0) return static_cast<int>(i);
    }
    s.constants.push_back(v);
    return static_cast<int>(s.constants.size()) - 1;
}

bool parse_handle(State& s, const std::string& text, std::uint16_t& handle, std::string& error) {
    long n = 0;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const std::string kind = text.substr(0, colon);
        if (!parse_int(text.substr(colon + 1), n)) {
            error = "bad handle '" + text + "'";
            return false;
        }
        if (kind == "raw") {
            if (n < 0 || n > static_cast<long>(kField16Max)) {
                error = "raw handle out of 16 bits";
                return false;
            }
            handle = static_cast<std::uint16_t>(n);
            return true;
        }
        const long magnitude = n < 0 ? -n : n;
        if (magnitude >= kHandleNumberLimit) {
            error = "handle number out of 13 bits";
            return false;
        }
        if (kind == "msg") {
            handle = static_cast<std::uint16_t>((n < 0 ? kHandleMessageMinus : kHandleMessagePlus) |
                                                magnitude);
        } else if (kind == "value" && n >= 0) {
            handle = static_cast<std::uint16_t>(kHandleValue | n);
        } else if (kind == "list" && n >= 0) {
            handle = static_cast<std::uint16_t>(kHandleMessagePlus | n);
        } else if (kind == "slot" && n >= 0) {
            handle = static_cast<std::uint16_t>(kHandleConstant | n);
        } else {
            error = "bad handle '" + text + "'";
            return false;
        }
        return true;
    }
    double v = 0;
    if (!parse_double(text, v)) {
        error = "bad handle '" + text + "'";
        return false;
    }
    const int c = add_constant(s, v);
    if (c >= kHandleNumberLimit) {
        error = "too many constants";
        return false;
    }
    handle = static_cast<std::uint16_t>(kHandleConstant | c);
    return true;
}

bool is_prompt_mode(long x) {
    return x == kPromptAsk || x == kPromptTakeDefault || x == kPromptTakeDefaultIfEnabled ||
           x == kPromptShowDefault || x == kPromptDefaultUnlessAsked;
}

bool parse_condition_ref(const std::string& text, int& condition, std::string& error) {
    long n = 0;
    if (!parse_int(text, n) || n < 0 || n >= kNoCondition) {
        error = "condition number must be 0..254";
        return false;
    }
    condition = static_cast<int>(n);
    return true;
}

bool is_name(const std::string& n) {
    if (n.empty() || n.size() >= 48) return false;
    if (!(std::islower(static_cast<unsigned char>(n[0])) || n[0] == '_')) return false;
    return std::all_of(n.begin(), n.end(), [](char c) {
        return std::islower(static_cast<unsigned char>(c)) ||
               std::isdigit(static_cast<unsigned char>(c)) || c == '_';
    });
}

// A user's source holds procedure blocks only: whatever else the shipped sources declare
// (commands and their handler slots, conditions, globals, work sizes) stays as shipped.
bool user_line_allowed(const SourceLine& line, std::string& error) {
    const std::string& word = line.tokens[0];
    if (word != "procedure" && word != "param" && word != "body") {
        error = "'" + word + "': a procedure source holds only procedure, param and body lines";
        return false;
    }
    if (word == "param") {
        for (const std::string& token : line.tokens) {
            if (token.rfind("number=", 0) == 0) {
                error = "a procedure parameter takes no descriptor number";
                return false;
            }
        }
    }
    return true;
}

// work code=<bytes> data=<bytes>
bool parse_work(State& s, const SourceLine& line, std::string& error) {
    const auto& t = line.tokens;
    for (std::size_t i = 1; i < t.size(); ++i) {
        std::string k, v;
        long x = 0;
        if (!split_key(t[i], k, v) || !parse_int(v, x) || x < 0 ||
            x > std::numeric_limits<std::int32_t>::max()) {
            error = "bad work size '" + t[i] + "'";
            return false;
        }
        if (k == "code") {
            s.code_size = x;
        } else if (k == "data" &&
                   x / static_cast<long>(kDataAreaBytesPerSlot) <= static_cast<long>(kField16Max)) {
            s.data_size = x;
        } else {
            error = "bad work size '" + t[i] + "'";
            return false;
        }
    }
    return true;
}

// condition <number> <expression>
bool parse_condition_line(State& s, const SourceLine& line, std::string& error) {
    const auto& t = line.tokens;
    int number = 0;
    if (t.size() < 3 || !parse_condition_ref(t[1], number, error)) {
        if (error.empty()) error = "condition needs a number and an expression";
        return false;
    }
    if (s.conditions.count(number)) {
        error = "condition " + t[1] + " defined twice";
        return false;
    }
    std::vector<std::string> expr(t.begin() + 2, t.end());
    std::size_t i = 0;
    Bytes bytes;
    if (!parse_expression(expr, i, 0, bytes, error)) return false;
    if (i != expr.size()) {
        error = "unexpected '" + expr[i] + "' in condition";
        return false;
    }
    bytes.push_back(kCondEnd);
    s.conditions[number] = bytes;
    s.condition_lines[number] = &line;
    return true;
}

// command <number> <names> [fields]; the command becomes the one its param lines belong to.
bool parse_command(State& s, const SourceLine& line, Command*& current, std::string& error) {
    const auto& t = line.tokens;
    long n = 0;
    if (t.size() < 3 || !parse_int(t[1], n) || n < 0 || n >= kUserSymbolBase) {
        error = "command needs a number below 8192 and a name";
        return false;
    }
    if (s.commands.count(static_cast<int>(n))) {
        error = "command number " + t[1] + " used twice";
        return false;
    }
    Command c;
    c.number = static_cast<int>(n);
    c.lens_data = s.lens_data;
    std::string suffix;
    std::stringstream names(t[2]);
    std::string name;
    while (std::getline(names, name, ',')) c.names.push_back(name);
    for (std::size_t i = 3; i < t.size(); ++i) {
        std::string k, v;
        long x = 0;
        if (t[i] == "hidden") {
            c.hidden = true;
            continue;
        }
        if (t[i] == "lens_data") {
            c.lens_data = true;
            continue;
        }
        if (!split_key(t[i], k, v)) {
            error = "unexpected '" + t[i] + "'";
            return false;
        }
        if (k == "suffix" && v.size() == 1 && std::isalpha(static_cast<unsigned char>(v[0]))) {
            suffix = std::string("_") + static_cast<char>(std::tolower(v[0]));
        } else if (k == "if") {
            if (!parse_condition_ref(v, c.condition, error)) return false;
        } else if (k == "context" && v.size() == 1 &&
                   (std::isalpha(static_cast<unsigned char>(v[0])) || v[0] == '!')) {
            c.context = static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
        } else if ((k == "plain" || k == "interactive" || k == "kind") && parse_int(v, x) &&
                   x >= -1 && x <= kSignedField16Max &&
                   (k != "kind" || (x >= 0 && x <= kRecordResultMask))) {
            (k == "plain"         ? c.plain
             : k == "interactive" ? c.interactive
                                  : c.kind) = static_cast<int>(x);
        } else {
            error = "bad field '" + t[i] + "'";
            return false;
        }
    }
    for (std::string& nm : c.names) {
        nm += suffix;
        if (!is_name(nm)) {
            error = "bad command name '" + nm + "'";
            return false;
        }
    }
    current = &(s.commands[c.number] = c);
    return true;
}

// procedure <name> [fields]
bool parse_procedure(State& s, const SourceLine& line, Command*& current, std::string& error) {
    const auto& t = line.tokens;
    if (t.size() < 2 || !is_name(t[1])) {
        error = "procedure needs a name";
        return false;
    }
    Command c;
    c.procedure = true;
    c.number = static_cast<int>(s.procedures.size());
    c.names.push_back(t[1]);
    for (std::size_t i = 2; i < t.size(); ++i) {
        std::string k, v;
        long x = 0;
        if (t[i] == "hidden") {
            c.hidden = true;
        } else if (split_key(t[i], k, v) && k == "if") {
            if (!parse_condition_ref(v, c.condition, error)) return false;
        } else if (split_key(t[i], k, v) && k == "kind" && parse_int(v, x) && x >= 0 &&
                   x <= kRecordResultMask) {
            c.kind = static_cast<int>(x);
        } else {
            error = "bad field '" + t[i] + "'";
            return false;
        }
    }
    s.procedures.push_back(c);
    current = &s.procedures.back();
    return true;
}

// body "<text>", one line of the procedure above it.
bool parse_body(const SourceLine& line, Command* current, std::string& error) {
    const auto& t = line.tokens;
    if (current == nullptr || !current->procedure || t.size() != 2 || !line.quoted[1]) {
        error = "body needs a quoted text and belongs to a procedure";
        return false;
    }
    if (current->body.size() + t[1].size() + 1 > kProcedureTextLimit) {
        error =
            "the procedure is longer than " + std::to_string(kProcedureTextLimit) + " characters";
        return false;
    }
    current->body += t[1];
    current->body += '\n';
    current->body_lines.push_back(line.number);
    return true;
}

// param (of the command above) or descriptor <n> (of none): name, type and keys.
bool parse_param(State& s, const SourceLine& line, Command* current, std::string& error) {
    const auto& t = line.tokens;
    const std::string& word = t[0];
    const bool loose = word == "descriptor";
    const std::size_t at = loose ? 2 : 1;  // the name's token
    long pinned = -1;
    if (loose && (t.size() < 2 || !parse_int(t[1], pinned) || pinned < 0 || pinned > 0x3FFF)) {
        error = "descriptor needs a number below 16384";
        return false;
    }
    if (!loose && current == nullptr) {
        error = "param outside a command";
        return false;
    }
    if (t.size() < at + 2 || !is_name(t[at])) {
        error = "param needs a name and a type";
        return false;
    }
    Param p;
    p.name = t[at];
    p.number = static_cast<int>(pinned);
    const auto* type = std::find(std::begin(kTypeNames), std::end(kTypeNames), t[at + 1]);
    if (type == std::end(kTypeNames)) {
        error = "unknown parameter type '" + t[at + 1] + "'";
        return false;
    }
    p.type_flags = kTypeFlags[type - std::begin(kTypeNames)];
    for (std::size_t i = at + 2; i < t.size(); ++i) {
        std::string k, v;
        long x = 0;
        if (!split_key(t[i], k, v)) {
            error = "unexpected '" + t[i] + "'";
            return false;
        }
        const auto* key = std::find(std::begin(kHandleKeys), std::end(kHandleKeys), k);
        if (!k.empty() && key != std::end(kHandleKeys)) {
            if (!parse_handle(s, v, p.handles[key - std::begin(kHandleKeys)], error)) return false;
        } else if (k == "mode" && parse_int(v, x) && is_prompt_mode(x)) {
            p.mode = static_cast<std::uint8_t>(x);
        } else if (k == "flags" && parse_int(v, x) && x >= 0 &&
                   x <= std::numeric_limits<std::uint8_t>::max()) {
            p.flags = static_cast<std::uint8_t>(x);
        } else if (k == "number" && !loose && parse_int(v, x) && x >= 0 && x <= 0x3FFF) {
            p.number = static_cast<int>(x);
        } else if (k == "if") {
            int c = 0;
            if (!parse_condition_ref(v, c, error)) return false;
            p.condition = static_cast<std::uint8_t>(c);
        } else {
            error = "bad field '" + t[i] + "'";
            return false;
        }
    }
    if (loose) {
        s.loose.push_back(p);
        return true;
    }
    // Records count their parameters in one byte.
    if (current->params.size() >= std::numeric_limits<std::uint8_t>::max()) {
        error = "too many parameters";
        return false;
    }
    current->params.push_back(p);
    return true;
}

// value <n> number <double> | value <n> text "<text>"
bool parse_value(State& s, const SourceLine& line, long n, std::string& error) {
    const auto& t = line.tokens;
    if (s.values.count(static_cast<int>(n))) {
        error = "value " + t[1] + " defined twice";
        return false;
    }
    Value v;
    if (t[2] == "number" && parse_double(t[3], v.number)) {
    } else if (t[2] == "text" && line.quoted[3]) {
        v.is_text = true;
        v.text = t[3];
    } else {
        error = "value needs 'number <double>' or 'text \"...\"'";
        return false;
    }
    s.values[static_cast<int>(n)] = v;
    return true;
}

bool parse_line(State& s, const SourceLine& line, Command*& current, std::string& error) {
    const auto& t = line.tokens;
    const std::string& word = t[0];
    long n = 0;
    if (word == "version" && t.size() == 2) {
        s.version = t[1];
        return true;
    }
    if (word == "local_names" && t.size() == 2 && (t[1] == "on" || t[1] == "off")) {
        s.local_names = t[1] == "on";
        return true;
    }
    if (word == "lens_data" && t.size() == 2 && (t[1] == "on" || t[1] == "off")) {
        s.lens_data = t[1] == "on";
        return true;
    }
    if (word == "work") return parse_work(s, line, error);
    if (word == "condition") return parse_condition_line(s, line, error);
    if (word == "command") return parse_command(s, line, current, error);
    if (word == "procedure") return parse_procedure(s, line, current, error);
    if (word == "body") return parse_body(line, current, error);
    if (word == "param" || word == "descriptor") return parse_param(s, line, current, error);
    if (word == "global" && t.size() == 3 && is_name(t[1]) && parse_int(t[2], n)) {
        s.globals.emplace_back(t[1], n);
        return true;
    }
    if (word == "value" && t.size() == 4 && parse_int(t[1], n) && n >= 0 &&
        n < kHandleNumberLimit) {
        return parse_value(s, line, n, error);
    }
    error = "unknown or malformed line starting with '" + word + "'";
    return false;
}

// What the compiler of procedure bodies sees of the table being built.
struct ProcedureShape {
    int result = 0;
    int count = 0;
    int field = 0;
};
struct BuildNames {
    const Bytes* names;
    const std::vector<CommandRecord>* records;
    const std::vector<ParamDescriptor>* descriptors;
    const std::vector<std::uint16_t>* param_index;
    const std::vector<ProcedureShape>* procedures;
    const std::map<std::string, long>* globals;
};
// The names the compiler's callbacks below read: set only while build_definitions compiles
// the procedure bodies, by a BuildNamesInUse.
const BuildNames* build_names = nullptr;

class BuildNamesInUse {
public:
    explicit BuildNamesInUse(const BuildNames& names) { build_names = &names; }
    ~BuildNamesInUse() { build_names = nullptr; }
    BuildNamesInUse(const BuildNamesInUse&) = delete;
    BuildNamesInUse& operator=(const BuildNamesInUse&) = delete;
};

int build_find_symbol(const char* name) {
    return find_name(build_names->names->data(), name);
}

bool build_symbol_info(int symbol, KplSymbolInfo* info) {
    *info = KplSymbolInfo{};
    if (symbol >= kUserSymbolBase) {
        const std::size_t q = static_cast<std::size_t>(symbol - kUserSymbolBase);
        if (q >= build_names->procedures->size()) return false;
        info->user = true;
        info->result_type = (*build_names->procedures)[q].result;
        info->param_count = (*build_names->procedures)[q].count;
        return true;
    }
    if (symbol < 0 || static_cast<std::size_t>(symbol) >= build_names->records->size()) {
        return false;
    }
    const CommandRecord& r = (*build_names->records)[static_cast<std::size_t>(symbol)];
    info->result_type = r.flags & kRecordResultMask;
    info->param_count = r.parameter_count;
    info->context_letter = static_cast<char>(r.reserved);
    return true;
}

const ParamDescriptor* build_parameter(int symbol, int arg, bool* output) {
    *output = false;
    int field = 0, count = 0;
    if (symbol >= kUserSymbolBase) {
        const std::size_t q = static_cast<std::size_t>(symbol - kUserSymbolBase);
        if (q >= build_names->procedures->size()) return nullptr;
        field = (*build_names->procedures)[q].field;
        count = (*build_names->procedures)[q].count;
    } else {
        if (symbol < 0 || static_cast<std::size_t>(symbol) >= build_names->records->size()) {
            return nullptr;
        }
        field = (*build_names->records)[static_cast<std::size_t>(symbol)].parameter_field;
        count = (*build_names->records)[static_cast<std::size_t>(symbol)].parameter_count;
    }
    if (arg < 0 || arg >= count || field < 0) return nullptr;
    std::size_t n = static_cast<std::size_t>(field);
    if (count >= 2) {
        const std::size_t k = static_cast<std::size_t>(field + arg);
        if (k >= build_names->param_index->size()) return nullptr;
        *output = ((*build_names->param_index)[k] & kParamIndexOutput) != 0;
        n = (*build_names->param_index)[k] & kParamIndexMask;
    }
    return n < build_names->descriptors->size() ? &(*build_names->descriptors)[n] : nullptr;
}

bool build_find_variable(const char* name, std::uint32_t* entry) {
    const auto it = build_names->globals->find(name);
    if (it == build_names->globals->end()) return false;
    *entry = static_cast<std::uint32_t>(it->second);
    return true;
}

const KplNameSource kBuildNameSource = {build_find_symbol, build_symbol_info, build_parameter,
                                        build_find_variable};

// Compiles the procedure bodies against the names of the table being built: their code with
// its local-name tables, and one record per procedure.
// A user's procedure that fails leaves a problem in user and the others are still compiled;
// its code goes into private_bytes when it belongs to the private tree.
bool compile_procedures(const std::vector<Command>& procedures, const BuildNames& names,
                        Bytes& code_bytes, Bytes& procedure_records, std::string& error,
                        UserBuild* user, Bytes& private_bytes) {
    const BuildNamesInUse names_in_use(names);
    for (std::size_t q = 0; q < procedures.size(); ++q) {
        const Command& c = procedures[q];
        const ProcedureShape& shape = (*names.procedures)[q];
        std::vector<const char*> local_names;
        std::vector<std::uint8_t> local_types;
        for (const Param& p : c.params) {
            local_names.push_back(p.name.c_str());
            // A text is a char array: it takes one index.
            const bool text = (p.type_flags & (kParamText | kParamPlainText)) != 0;
            local_types.push_back(kpl_local_type(p.type_flags & kParamTypeMask, text ? 1 : 0));
        }
        KplCompileOptions o;
        o.names = &kBuildNameSource;
        o.procedure = true;
        o.local_names = local_names.data();
        o.local_types = local_types.data();
        o.local_count = static_cast<int>(local_names.size());
        o.result_type = c.kind;
        // Line counting changes no code; it places a fault in a user's source.
        o.count_lines = true;
        static std::uint8_t buffer[kKplLineArea];
        KplCompileResult r;
        Bytes& target = c.private_code ? private_bytes : code_bytes;
        if (kpl_compile(c.body.c_str(), buffer, sizeof buffer, o, &r) != 0) {
            if (c.user && user != nullptr) {
                const std::size_t k = static_cast<std::size_t>(r.line - 1);
                const bool placed = r.line >= 1 && k < c.body_lines.size();
                const int line = placed ? c.body_lines[k] : c.line;
                // Without a token the faulty body line itself shows where.
                std::string token = r.token;
                if (token.empty() && placed) {
                    std::size_t from = 0;
                    for (std::size_t n = 0; n < k; ++n) from = c.body.find('\n', from) + 1;
                    token = "\"" + c.body.substr(from, c.body.find('\n', from) - from) + "\"";
                }
                user->problems.push_back({c.file, line,
                                          user->describe ? user->describe(r.error, token)
                                                         : "message " + std::to_string(r.error) +
                                                               " at '" + token + "'"});
                procedure_records.insert(procedure_records.end(), kProcedureRecordSize, 0);
                continue;
            }
            error = "definitions: procedure " + c.names[0] + " does not compile: message " +
                    std::to_string(r.error) + " at '" + r.token + "'";
            return false;
        }
        if (r.size > static_cast<std::size_t>(kSignedField16Max) ||
            target.size() + r.size > std::numeric_limits<std::int32_t>::max()) {
            if (c.user && user != nullptr) {
                user->problems.push_back({c.file, c.line, "the procedure's code is too long"});
                procedure_records.insert(procedure_records.end(), kProcedureRecordSize, 0);
                continue;
            }
            error = "definitions: procedure " + c.names[0] + " is too long";
            return false;
        }
        const std::uint32_t offset = static_cast<std::uint32_t>(kAmoMagicSize + target.size());
        target.insert(target.end(), buffer, buffer + r.size);
        // The local-name tables follow the code: the parameters' names and their entries.
        std::vector<std::string> sorted(c.params.size());
        for (std::size_t i = 0; i < c.params.size(); ++i) sorted[i] = c.params[i].name;
        std::sort(sorted.begin(), sorted.end());
        std::vector<NameEntry> local_entries;
        Bytes local_values;
        for (const std::string& nm : sorted) {
            local_entries.push_back({nm, 0});
            for (std::size_t i = 0; i < c.params.size(); ++i) {
                if (c.params[i].name == nm) {
                    put_le32(local_values, kpl_encode_name_entry(kpl_local_type_of(local_types[i]),
                                                                 kpl_local_indices(local_types[i]),
                                                                 static_cast<int>(i)));
                }
            }
        }
        Bytes local_table;
        if (!local_entries.empty() &&
            build_name_table(local_entries, NameTableForm::little_endian, local_table) != 0) {
            error = "definitions: the local names of procedure " + c.names[0] + " do not fit";
            return false;
        }
        put_le16(target, static_cast<unsigned>(local_table.size()));
        target.insert(target.end(), local_table.begin(), local_table.end());
        put_le16(target, static_cast<unsigned>(local_values.size()));
        target.insert(target.end(), local_values.begin(), local_values.end());

        ProcedureRecord record{};
        record.code_offset = offset;
        record.interpreter_word = procedure_interpreter_word(shape.field, shape.count);
        if (c.private_code) record.interpreter_word |= kProcedurePrivateCode;
        record.local_names_offset = static_cast<std::int16_t>(r.size);
        record.interpreter_bytes[0] = static_cast<std::uint8_t>(r.size);
        record.interpreter_bytes[1] = static_cast<std::uint8_t>(r.size >> 8);
        record.flags = static_cast<std::uint8_t>(c.kind | (c.hidden ? kRecordHidden : 0));
        record.enable_condition = static_cast<std::uint8_t>(c.condition);
        const auto* rb = reinterpret_cast<const std::uint8_t*>(&record);
        procedure_records.insert(procedure_records.end(), rb, rb + kProcedureRecordSize);
    }
    return true;
}

std::string place_of(const Command& c) {
    return c.file + "(" + std::to_string(c.line) + ")";
}

// Reads the user's sources into s behind the shipped procedures. A fault in a procedure's lines
// skips the rest of that procedure; a name that is already a command or a shipped procedure is
// refused, since it would change what shipped command lines mean.
bool add_user_procedures(State& s, UserBuild& user) {
    const std::size_t shipped = s.procedures.size();
    for (const UserSource& source : user.sources) {
        std::vector<SourceLine> lines;
        SourceProblem problem;
        if (!read_source_lines(source.path, source.shown, lines, problem)) {
            user.problems.push_back(problem);
            continue;
        }
        Command* current = nullptr;
        bool skipping = false;
        for (const SourceLine& line : lines) {
            const bool starts = line.tokens[0] == "procedure";
            if (starts) {
                skipping = false;
                current = nullptr;
            }
            if (skipping) continue;
            std::string reason;
            const std::size_t before = s.procedures.size();
            if (user_line_allowed(line, reason) && parse_line(s, line, current, reason)) {
                if (s.procedures.size() != before) {
                    Command& c = s.procedures.back();
                    c.user = true;
                    c.private_code = source.private_tree;
                    c.file = source.shown;
                    c.line = line.number;
                }
                continue;
            }
            user.problems.push_back({source.shown, line.number, reason});
            // The procedure is incomplete: it is dropped, and its remaining lines would only add
            // faults of their own. The procedure being read is always the last one.
            skipping = true;
            if (current != nullptr && !starts && s.procedures.size() > shipped) {
                s.procedures.pop_back();
            }
            current = nullptr;
        }
    }
    if (s.procedures.size() - shipped > kUserProcedureLimit) {
        user.problems.push_back(
            {user.sources.empty() ? "" : user.sources.back().shown, 0,
             "more than " + std::to_string(kUserProcedureLimit) + " procedures"});
    }
    for (std::size_t q = shipped; q < s.procedures.size(); ++q) {
        const Command& c = s.procedures[q];
        // Conditions are the shipped ones; a user's source cannot add any.
        auto undefined = [&s](int condition) {
            return condition != kNoCondition && s.conditions.count(condition) == 0;
        };
        if (undefined(c.condition)) {
            user.problems.push_back(
                {c.file, c.line, "condition " + std::to_string(c.condition) + " is not defined"});
        }
        for (const Param& p : c.params) {
            if (undefined(p.condition)) {
                user.problems.push_back({c.file, c.line,
                                         "parameter '" + p.name + "' uses condition " +
                                             std::to_string(p.condition) +
                                             ", which is not defined"});
            }
            for (std::uint16_t h : p.handles) {
                if ((h & kHandleKindMask) == kHandleValue &&
                    !s.values.count(static_cast<int>(h & kHandleNumberMask))) {
                    user.problems.push_back(
                        {c.file, c.line,
                         "parameter '" + p.name + "' refers to an undefined value"});
                }
            }
        }
    }
    std::set<std::string> commands;
    for (const auto& [number, c] : s.commands) commands.insert(c.names.begin(), c.names.end());
    std::map<std::string, const Command*> taken;
    for (std::size_t q = 0; q < shipped; ++q) taken[s.procedures[q].names[0]] = &s.procedures[q];
    for (std::size_t q = shipped; q < s.procedures.size(); ++q) {
        const Command& c = s.procedures[q];
        const std::string& name = c.names[0];
        const auto it = taken.find(name);
        if (commands.count(name) != 0) {
            user.problems.push_back(
                {c.file, c.line, "'" + name + "' is a built-in command; choose another name"});
        } else if (it != taken.end() && !it->second->user) {
            user.problems.push_back(
                {c.file, c.line, "'" + name + "' is a shipped procedure; choose another name"});
        } else if (it != taken.end()) {
            user.problems.push_back(
                {c.file, c.line,
                 "procedure '" + name + "' is defined twice: also at " + place_of(*it->second)});
        } else {
            taken[name] = &c;
        }
    }
    return user.problems.empty();
}

}  // namespace

static bool build_definitions_of(const std::vector<std::string>& sources, Bytes& out,
                                 std::string& error, Bytes* code, UserBuild* user);

bool build_definitions(const std::vector<std::string>& sources, Bytes& out, std::string& error,
                       Bytes* code, UserBuild* user) {
    if (build_definitions_of(sources, out, error, code, user)) return true;
    // The shipped sources were sound when they were installed: a limit of the table that the
    // user's procedures pass is a fault of theirs.
    if (user != nullptr && user->problems.empty()) {
        const std::string prefix = "definitions: ";
        user->problems.push_back(
            {"", 0, error.rfind(prefix, 0) == 0 ? error.substr(prefix.size()) : error});
    }
    return false;
}

namespace {

// The blocks of the definitions table as the steps of build_definitions_of make them.
struct DefinitionBlocks {
    int condition_count = 0;
    Bytes names;  // the symbol name table
    std::vector<CommandRecord> records;
    std::vector<ParamDescriptor> descriptors;
    std::vector<std::uint16_t> param_index;
    std::string param_names;
    std::vector<ProcedureShape> shapes;
    std::map<std::string, long> global_values;
    Bytes globals, global_block;
    Bytes procedure_records;
    int value_count = 0;
    Bytes pool;
    std::vector<std::uint32_t> offsets;
    Bytes conditions;

    bool bad_condition(int c) const { return c != kNoCondition && c >= condition_count; }
};

bool read_definitions(const std::vector<std::string>& sources, State& s, std::string& error) {
    std::vector<std::vector<SourceLine>> files(sources.size());
    for (std::size_t f = 0; f < sources.size(); ++f) {
        if (!read_source(sources[f], files[f], error)) return false;
        Command* current = nullptr;
        s.lens_data = false;  // "lens_data on" holds to the end of its own source
        for (const SourceLine& line : files[f]) {
            std::string reason;
            if (!parse_line(s, line, current, reason)) {
                error = where(line, reason);
                return false;
            }
        }
    }
    return true;
}

// Condition numbers run 0..E-1 without gaps; every reference points at one of them.
bool check_conditions(const State& s, DefinitionBlocks& b, std::string& error) {
    int expected = 0;
    for (const auto& [number, bytes] : s.conditions) {
        if (number != expected++) {
            error = where(*s.condition_lines.at(number),
                          "condition numbers must run from 0 without gaps");
            return false;
        }
    }
    b.condition_count = static_cast<int>(s.conditions.size());
    return true;
}

// The symbol name table: every command's names and every procedure's.
bool build_symbols(const State& s, DefinitionBlocks& b, std::string& error) {
    std::vector<NameEntry> symbols;
    std::set<std::string> seen;
    for (const auto& [number, c] : s.commands) {
        if (b.bad_condition(c.condition)) {
            error =
                "definitions: command " + std::to_string(number) + " uses an undefined condition";
            return false;
        }
        for (const std::string& nm : c.names) {
            if (!seen.insert(nm).second) {
                error = "definitions: name '" + nm + "' defined twice";
                return false;
            }
            symbols.push_back({nm, static_cast<unsigned>(number)});
        }
    }
    for (const Command& c : s.procedures) {
        if (b.bad_condition(c.condition)) {
            error = "definitions: procedure " + c.names[0] + " uses an undefined condition";
            return false;
        }
        if (!seen.insert(c.names[0]).second) {
            error = "definitions: name '" + c.names[0] + "' defined twice";
            return false;
        }
        symbols.push_back({c.names[0], static_cast<unsigned>(kUserSymbolBase + c.number)});
    }
    if (build_name_table(symbols, NameTableForm::big_endian_with_values, b.names) != 0) {
        error = "definitions: the symbol name table does not fit 16-bit offsets";
        return false;
    }
    return true;
}

// Where the descriptors go: pinned numbers first, so that the others go round them.
class DescriptorPlaces {
public:
    explicit DescriptorPlaces(DefinitionBlocks& b) : b_(b) {}

    bool pin_all(const State& s, std::string& error) {
        for (const auto& [number, c] : s.commands) {
            for (const Param& p : c.params) {
                if (!pin(p, "command " + std::to_string(number), error)) return false;
            }
        }
        for (const Command& c : s.procedures) {
            for (const Param& p : c.params) {
                if (!pin(p, "procedure " + c.names[0], error)) return false;
            }
        }
        for (const Param& p : s.loose) {
            if (!pin(p, "descriptor " + p.name, error)) return false;
        }
        return true;
    }

    // The number a descriptor takes: its pin, else the next number no pin holds.
    int place(const Param& p, const ParamDescriptor& d) {
        int n = p.number;
        if (n < 0) {
            while (pinned_.count(next_free_) != 0) ++next_free_;
            n = next_free_++;
        }
        if (b_.descriptors.size() <= static_cast<std::size_t>(n)) {
            b_.descriptors.resize(static_cast<std::size_t>(n) + 1, ParamDescriptor{});
        }
        b_.descriptors[static_cast<std::size_t>(n)] = d;
        return n;
    }

    // One descriptor of a parameter, its name appended to the name pool.
    ParamDescriptor make_descriptor(const Param& p) {
        ParamDescriptor d{};
        d.prompt_handle = p.handles[0];
        d.default_handle = p.handles[1];
        d.list_handle = p.handles[2];
        d.lower_handle = p.handles[4];
        d.upper_handle = p.handles[5];
        d.name_offset = static_cast<std::int16_t>(b_.param_names.size());
        b_.param_names += p.name;
        b_.param_names += '\0';
        d.type_flags = p.type_flags;
        d.prompt_mode = p.mode;
        d.enable_condition = p.condition;
        d.flags = p.flags;
        return d;
    }

private:
    bool pin(const Param& p, const std::string& owner, std::string& error) {
        if (p.number < 0) return true;
        if (!pinned_.insert(p.number).second) {
            error = "definitions: descriptor number " + std::to_string(p.number) +
                    " pinned twice (" + owner + ")";
            return false;
        }
        return true;
    }

    DefinitionBlocks& b_;
    std::set<int> pinned_;
    int next_free_ = 0;
};

bool too_many_parameters(const DefinitionBlocks& b, std::string& error) {
    if (b.param_names.size() > kSignedField16Max || b.descriptors.size() > kParamIndexMask) {
        error = "definitions: too many parameters";
        return true;
    }
    return false;
}

// The command records and their parameters' descriptors.
bool build_command_records(const State& s, DefinitionBlocks& b, DescriptorPlaces& places,
                           std::string& error) {
    const int command_count = s.commands.empty() ? 0 : s.commands.rbegin()->first + 1;
    b.records.assign(static_cast<std::size_t>(command_count), CommandRecord{});
    for (CommandRecord& r : b.records) {
        r.plain_slot = -1;
        r.interactive_slot = -1;
        r.enable_condition = kNoCondition;
        r.parameter_field = -1;
    }
    for (const auto& [number, c] : s.commands) {
        CommandRecord& r = b.records[static_cast<std::size_t>(number)];
        const int entry = name_table_search(b.names.data(), NameTableForm::big_endian_with_values,
                                            c.names[0].c_str());
        r.name_field = static_cast<std::int16_t>(be16_at(b.names.data() + 2 * entry));
        r.plain_slot = static_cast<std::int16_t>(c.plain);
        r.interactive_slot = static_cast<std::int16_t>(c.interactive);
        r.flags = static_cast<std::uint8_t>(c.kind | (c.hidden ? kRecordHidden : 0) |
                                            (c.lens_data ? kRecordLensData : 0));
        r.enable_condition = static_cast<std::uint8_t>(c.condition);
        r.parameter_count = static_cast<std::uint8_t>(c.params.size());
        r.reserved = static_cast<std::uint8_t>(c.context);
        if (c.params.size() >= 2) {
            r.parameter_field = static_cast<std::int16_t>(b.param_index.size());
        }
        for (const Param& p : c.params) {
            if (b.bad_condition(p.condition)) {
                error = "definitions: a parameter of command " + std::to_string(number) +
                        " uses an undefined condition";
                return false;
            }
            const ParamDescriptor d = places.make_descriptor(p);
            for (std::uint16_t h :
                 {d.default_handle, d.lower_handle, d.upper_handle, d.prompt_handle}) {
                if ((h & kHandleKindMask) == kHandleValue &&
                    !s.values.count(static_cast<int>(h & kHandleNumberMask))) {
                    error = "definitions: command " + std::to_string(number) +
                            " refers to an undefined value";
                    return false;
                }
            }
            const int n = places.place(p, d);
            if (c.params.size() >= 2) {
                b.param_index.push_back(static_cast<std::uint16_t>(n));
            } else {
                r.parameter_field = static_cast<std::int16_t>(n);
            }
        }
        if (too_many_parameters(b, error)) return false;
    }
    return true;
}

// The parameters of the procedures follow those of the commands; the loose descriptors last.
bool build_procedure_shapes(const State& s, DefinitionBlocks& b, DescriptorPlaces& places,
                            std::string& error) {
    for (const Command& c : s.procedures) {
        ProcedureShape shape;
        shape.result = c.kind;
        shape.count = static_cast<int>(c.params.size());
        shape.field = c.params.size() >= 2 ? static_cast<int>(b.param_index.size())
                                           : static_cast<int>(b.descriptors.size());
        for (const Param& p : c.params) {
            if (b.bad_condition(p.condition)) {
                error = "definitions: a parameter of procedure " + c.names[0] +
                        " uses an undefined condition";
                return false;
            }
            const ParamDescriptor d = places.make_descriptor(p);
            const int n = places.place(p, d);
            if (c.params.size() >= 2) {
                b.param_index.push_back(static_cast<std::uint16_t>(n));
            } else {
                shape.field = n;
            }
        }
        b.shapes.push_back(shape);
        if (too_many_parameters(b, error)) return false;
    }
    for (const Param& p : s.loose) places.place(p, places.make_descriptor(p));
    if (b.descriptors.size() > 0x3FFF) {
        error = "definitions: too many parameters";
        return false;
    }
    return true;
}

// Global names (little-endian table) and their 4-byte entries, in table order.
bool build_globals(const State& s, DefinitionBlocks& b, std::string& error) {
    std::vector<NameEntry> global_entries;
    for (const auto& [name, value] : s.globals) {
        if (!b.global_values.emplace(name, value).second) {
            error = "definitions: global '" + name + "' defined twice";
            return false;
        }
        global_entries.push_back({name, 0});
    }
    if (!global_entries.empty() &&
        build_name_table(global_entries, NameTableForm::little_endian, b.globals) != 0) {
        error = "definitions: the global-name table does not fit";
        return false;
    }
    for (const auto& [name, value] : b.global_values) {
        put_le32(b.global_block, static_cast<std::uint32_t>(value));
    }
    return true;
}

// Procedure bodies, compiled against the names of this table.
bool build_procedure_code(State& s, DefinitionBlocks& b, Bytes* code, UserBuild* user,
                          std::string& error) {
    const BuildNames context{&b.names,       &b.records, &b.descriptors,
                             &b.param_index, &b.shapes,  &b.global_values};
    Bytes code_bytes;
    Bytes private_bytes;
    if (!compile_procedures(s.procedures, context, code_bytes, b.procedure_records, error, user,
                            private_bytes)) {
        return false;
    }
    if (user != nullptr) {
        if (!user->problems.empty()) {
            error = "definitions: the procedure sources have faults";
            return false;
        }
        user->private_code = Bytes(kCodeMagic, kCodeMagic + kAmoMagicSize);
        user->private_code.insert(user->private_code.end(), private_bytes.begin(),
                                  private_bytes.end());
    }
    if (code != nullptr) {
        *code = Bytes(kCodeMagic, kCodeMagic + kAmoMagicSize);
        code->insert(code->end(), code_bytes.begin(), code_bytes.end());
    }
    return true;
}

// Value pool: value n at offset n; numbers are doubles, texts follow a 4-byte mark. Then the
// condition block.
bool build_values_and_conditions(const State& s, DefinitionBlocks& b, std::string& error) {
    b.value_count = s.values.empty() ? 0 : s.values.rbegin()->first + 1;
    b.offsets.assign(static_cast<std::size_t>(b.value_count), 0);
    for (int i = 0; i < b.value_count; ++i) {
        b.offsets[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(b.pool.size());
        const auto it = s.values.find(i);
        if (it == s.values.end()) {
            error = "definitions: values must be numbered from 0 without gaps";
            return false;
        }
        if (it->second.is_text) {
            b.pool.insert(b.pool.end(), std::begin(kTextValueMark), std::end(kTextValueMark));
            b.pool.insert(b.pool.end(), it->second.text.begin(), it->second.text.end());
            b.pool.push_back(0);
        } else {
            std::uint8_t raw[8];
            std::memcpy(raw, &it->second.number, 8);
            b.pool.insert(b.pool.end(), raw, raw + 8);
        }
    }
    std::vector<Bytes> expressions;
    for (const auto& [number, bytes] : s.conditions) expressions.push_back(bytes);
    if (build_condition_block(expressions, b.conditions) != 0) {
        error = "definitions: the condition block does not fit";
        return false;
    }
    return true;
}

// The table's bytes in file order.
bool assemble_definitions(const State& s, const DefinitionBlocks& b, Bytes& out,
                          std::string& error) {
    Bytes t(kDefinitionsMagic, kDefinitionsMagic + kAmoMagicSize);
    t.push_back(static_cast<std::uint8_t>(s.version.size()));
    t.insert(t.end(), s.version.begin(), s.version.end());
    put_be16(t, static_cast<unsigned>(b.names.size()));
    t.insert(t.end(), b.names.begin(), b.names.end());
    put_le16(t, static_cast<unsigned>(b.records.size()));
    const auto* rb = reinterpret_cast<const std::uint8_t*>(b.records.data());
    t.insert(t.end(), rb, rb + b.records.size() * kCommandRecordSize);
    put_le16(t, static_cast<unsigned>(b.descriptors.size()));
    const auto* db = reinterpret_cast<const std::uint8_t*>(b.descriptors.data());
    t.insert(t.end(), db, db + b.descriptors.size() * kParamDescriptorSize);
    put_le16(t, static_cast<unsigned>(s.constants.size()));
    for (double v : s.constants) {
        std::uint8_t raw[8];
        std::memcpy(raw, &v, 8);
        t.insert(t.end(), raw, raw + 8);
    }
    put_le16(t, static_cast<unsigned>(b.param_index.size()));
    for (std::uint16_t x : b.param_index) put_le16(t, x);
    put_le16(t, static_cast<unsigned>(b.param_names.size()));
    t.insert(t.end(), b.param_names.begin(), b.param_names.end());
    put_le16(t, static_cast<unsigned>(b.globals.size()));
    t.insert(t.end(), b.globals.begin(), b.globals.end());
    put_le16(t, static_cast<unsigned>(b.global_block.size()));
    t.insert(t.end(), b.global_block.begin(), b.global_block.end());
    put_le16(t, static_cast<unsigned>(s.procedures.size()));
    t.insert(t.end(), b.procedure_records.begin(), b.procedure_records.end());
    put_le16(t, static_cast<unsigned>(s.local_names));
    put_le16(t, static_cast<unsigned>(b.value_count));
    put_le32(t, static_cast<std::uint32_t>(s.code_size));
    put_le32(t, static_cast<std::uint32_t>(s.data_size));
    if (b.value_count > 0) {
        put_le32(t, static_cast<std::uint32_t>(b.pool.size()));
        t.insert(t.end(), b.pool.begin(), b.pool.end());
        for (std::uint32_t o : b.offsets) put_le32(t, o);
    }
    put_le16(t, static_cast<unsigned>(b.condition_count));
    if (b.condition_count > 0) {
        put_le16(t, static_cast<unsigned>(b.conditions.size()));
        t.insert(t.end(), b.conditions.begin(), b.conditions.end());
    }
    if (b.names.size() > kField16Max || b.globals.size() > kField16Max ||
        b.global_block.size() > kField16Max || b.param_index.size() > kField16Max) {
        error = "definitions: a block exceeds its 16-bit size field";
        return false;
    }
    out.swap(t);
    return true;
}

}  // namespace

static bool build_definitions_of(const std::vector<std::string>& sources, Bytes& out,
                                 std::string& error, Bytes* code, UserBuild* user) {
    State s;
    if (!read_definitions(sources, s, error)) return false;
    if (user != nullptr && !add_user_procedures(s, *user)) {
        error = "definitions: the procedure sources have faults";
        return false;
    }
    if (s.version != kProgramVersion) {
        error = "definitions: the version must be \"" + std::string(kProgramVersion) + "\"";
        return false;
    }
    DefinitionBlocks b;
    DescriptorPlaces places(b);
    return check_conditions(s, b, error) && build_symbols(s, b, error) &&
           places.pin_all(s, error) && build_command_records(s, b, places, error) &&
           build_procedure_shapes(s, b, places, error) && build_globals(s, b, error) &&
           build_procedure_code(s, b, code, user, error) &&
           build_values_and_conditions(s, b, error) && assemble_definitions(s, b, out, error);
}
