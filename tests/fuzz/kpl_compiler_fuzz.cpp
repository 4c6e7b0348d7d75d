// libFuzzer target: any text through the command-language compiler, and the code of every line
// that compiles through the listing. Names come from a small fixed vocabulary of its own, so no
// table files are needed: a few commands with int, double and text parameters, procedures with
// and without results, scalars, arrays and a read-only variable.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "kpl/kpl_compiler.h"
#include "kpl/kpl_listing.h"
#include "kpl/kpl_sysvars.h"

namespace {

struct Symbol {
    const char* name;
    int number;
    KplSymbolInfo info;
    const char* params;  // one letter per parameter: i int, d double, t text, o output double
};

const Symbol kSymbols[] = {
    {"_", 0, {false, 0, 0, 0}, ""},          {"abc_", 1, {false, 0, 2, 0}, "ii"},
    {"show", 2, {false, 0, 2, 0}, "td"},     {"f", 3, {false, 1, 1, 0}, "i"},
    {"twice", 4, {false, 2, 1, 0}, "d"},     {"answer", 5, {false, 1, 0, 0}, ""},
    {"fill_out", 6, {false, 0, 2, 0}, "od"}, {"lens_mode", 7, {false, 0, 0, 'L'}, ""},
    {"rd_l", 8, {false, 0, 1, 0}, "d"},      {"rec", 0x2000, {true, 1, 1, 0}, "i"},
    {"setvi", 0x2001, {true, 0, 1, 0}, "i"},
};

struct Variable {
    const char* name;
    std::uint32_t entry;
};
const Variable kVariables[] = {
    {"vi", kpl_encode_name_entry(0x11, 0, 0)},        {"vd", kpl_encode_name_entry(0x12, 0, 1)},
    {"vc", kpl_encode_name_entry(0x13, 0, 2)},        {"arr", kpl_encode_name_entry(0x0A, 1, 100)},
    {"mat", kpl_encode_name_entry(0x09, 2, 102)},     {"ro", kpl_encode_name_entry(0x19, 0, 101)},
    {"on_error", kpl_encode_name_entry(0x0B, 1, 11)},
};

ParamDescriptor descriptor(char kind) {
    ParamDescriptor d{};
    d.type_flags = kind == 'i' ? 1 : kind == 't' ? 0x13 : 2;
    d.flags = kind == 'o' ? 0x04 : 0;
    return d;
}

const Symbol* by_number(int symbol) {
    for (const Symbol& s : kSymbols) {
        if (s.number == symbol) return &s;
    }
    return nullptr;
}

int find_symbol(const char* name) {
    for (const Symbol& s : kSymbols) {
        if (std::strcmp(s.name, name) == 0) return s.number;
    }
    return -1;
}

bool symbol_info(int symbol, KplSymbolInfo* info) {
    const Symbol* s = by_number(symbol);
    if (s == nullptr) return false;
    *info = s->info;
    return true;
}

const ParamDescriptor* parameter(int symbol, int arg, bool* output) {
    static ParamDescriptor d;
    *output = false;
    const Symbol* s = by_number(symbol);
    if (s == nullptr || arg < 0 || arg >= static_cast<int>(std::strlen(s->params))) return nullptr;
    d = descriptor(s->params[arg]);
    return &d;
}

bool find_variable(const char* name, std::uint32_t* entry) {
    for (const Variable& v : kVariables) {
        if (std::strcmp(v.name, name) == 0) {
            *entry = v.entry;
            return true;
        }
    }
    return false;
}

const KplNameSource kNames = {find_symbol, symbol_info, parameter, find_variable};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::uint8_t code[kKplLineArea];
    if (size == 0) return 0;
    // The first byte picks the mode; the rest is the line (up to its first NUL).
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    KplCompileOptions options;
    options.names = &kNames;
    options.expression_only = (data[0] & 1) != 0;
    options.context_letter = (data[0] & 2) != 0 ? 'L' : 0;
    options.lines_end_statements = (data[0] & 8) != 0;
    if ((data[0] & 4) != 0 && !options.expression_only) {
        static const char* const locals[] = {"n", "t"};
        static const std::uint8_t types[] = {1, 0x13};
        options.procedure = true;
        options.local_names = locals;
        options.local_types = types;
        options.local_count = 2;
        options.result_type = 1;
    }
    KplCompileResult result;
    if (kpl_compile(text.c_str(), code, sizeof code, options, &result) == 0) {
        if (result.size > sizeof code) __builtin_trap();
        // The listing reads every byte the compiler wrote.
        const std::string listing = options.expression_only
                                        ? kpl_expression_listing(code, result.size, &kNames)
                                        : kpl_listing(code, result.size, &kNames);
        if (listing.empty()) __builtin_trap();
    }
    return 0;
}
