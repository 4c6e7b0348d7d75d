// Command-language throughput: lines compiled per second for a typical lens-file line, and lines
// compiled and run per second for an arithmetic loop. Names come from a small vocabulary of the
// benchmark's own (lens-entry style commands and a few variables), so no table files are read.
#include <benchmark/benchmark.h>

#include <cstring>

#include "kpl/kpl_compiler.h"
#include "kpl/kpl_interp.h"
#include "kpl/kpl_sysvars.h"

namespace {

struct Command {
    const char* name;
    int params;  // doubles
};
const Command kCommands[] = {{"rd", 2}, {"th", 2}, {"gla", 2}, {"sa", 2}, {"cv", 2}};

int find_symbol(const char* name) {
    for (int i = 0; i < static_cast<int>(std::size(kCommands)); ++i) {
        if (std::strcmp(kCommands[i].name, name) == 0) return i;
    }
    return -1;
}
bool symbol_info(int symbol, KplSymbolInfo* info) {
    if (symbol < 0 || symbol >= static_cast<int>(std::size(kCommands))) return false;
    *info = KplSymbolInfo{false, 0, kCommands[symbol].params, 0};
    return true;
}
const ParamDescriptor* parameter(int, int, bool* output) {
    static ParamDescriptor d = [] {
        ParamDescriptor p{};
        p.type_flags = 2;
        return p;
    }();
    *output = false;
    return &d;
}
bool find_variable(const char* name, std::uint32_t* entry) {
    if (std::strcmp(name, "i") == 0)
        *entry = kpl_encode_name_entry(0x11, 0, 0);
    else if (std::strcmp(name, "sum") == 0)
        *entry = kpl_encode_name_entry(0x12, 0, 1);
    else if (std::strcmp(name, "x") == 0)
        *entry = kpl_encode_name_entry(0x12, 0, 2);
    else
        return false;
    return true;
}
const KplNameSource kNames = {find_symbol, symbol_info, parameter, find_variable};

std::uint8_t code[kKplLineArea];

void BM_KplCompileLensLine(benchmark::State& state) {
    const char* line = "rd 25.4 1; th 3.25 1; gla 1.5168 64.17; sa 12.5 1";
    KplCompileOptions o;
    o.names = &kNames;
    KplCompileResult r;
    for (auto _ : state) {
        if (kpl_compile(line, code, sizeof code, o, &r) != 0) state.SkipWithError("compile");
        benchmark::DoNotOptimize(code);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("lines");
}
BENCHMARK(BM_KplCompileLensLine);

void BM_KplCompileAndRunLoop(benchmark::State& state) {
    const char* line =
        "sum = 0; for (i = 0; i < 1000; i++) { x = i * 0.5; sum += x * x / (i + 1); }";
    KplCompileOptions o;
    o.names = &kNames;
    KplCompileResult r;
    kpl_setup_work_areas();
    for (auto _ : state) {
        if (kpl_compile(line, code, sizeof code, o, &r) != 0) state.SkipWithError("compile");
        KplState& s = kpl_state();
        s.base = code;
        s.pc = code;
        s.end = code + r.size;
        s.error = 0;
        s.frame_base = s.next_slot = 0;
        s.var_fill = 0;
        KplValue out{};
        if (exec_statements(&out) != 0) state.SkipWithError("run");
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("lines of 1000 loop passes");
}
BENCHMARK(BM_KplCompileAndRunLoop);

}  // namespace
