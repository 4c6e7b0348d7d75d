// Lens files: writing a 12-surface lens (three cemented doublets and a field flattener, with
// notes, a stop, a solve and drawing settings) to its file text, computing only its sums as the
// change test and the sheets' revert copies do, and reading the text back as the current lens.
// Reports lines per second.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_reader.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"

namespace {

const char* const kLens[] = {
    "LEN NEW \"Twelve surfaces\"",
    "EBR 8",
    "ANG 6",
    "SNO1 \"three doublets\"",
    "NXT",
    "RD 60",
    "TH 6",
    "GLA N-BK7",
    "AP 12",
    "NXT",
    "RD -45",
    "TH 2.5",
    "GLA N-F2",
    "AP 12",
    "NXT",
    "RD -200",
    "TH 8",
    "AP 12",
    "NXT",
    "RD 40",
    "TH 5.5",
    "GLA N-SK16",
    "AP 11",
    "NXT",
    "RD -60",
    "TH 2",
    "GLA N-SF5",
    "AP 11",
    "NXT",
    "RD 300",
    "TH 6",
    "AST",
    "NXT",
    "RD 35",
    "TH 5",
    "GLA N-BK7",
    "AP 10",
    "NXT",
    "RD -50",
    "TH 2",
    "GLA N-F2",
    "AP 10",
    "NXT",
    "RD 90",
    "TH 20",
    "NOT \"before the flattener\"",
    "NXT",
    "RD -30",
    "TH 2",
    "GLA N-SF5",
    "NXT",
    "PY 0",
    "NXT",
    "DLNF 3",
    "END",
};

bool make_lens(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok) {
        state.SkipWithError("the program did not start");
        return false;
    }
    for (const char* line : kLens) {
        if (run_command_string(line, 0) != 0) {
            const std::string why =
                std::string("line failed: ") + line + ": " + error_text_buffer();
            state.SkipWithError(why.c_str());
            return false;
        }
    }
    if (lens_data().image_surface != 12) {
        state.SkipWithError("the lens did not get its 12 surfaces");
        return false;
    }
    return true;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void BM_LensFileWrite(benchmark::State& state) {
    if (!make_lens(state)) return;
    int failure = 0;
    const std::size_t lines = lines_of(lens_file_text(nullptr, nullptr, &failure)).size();
    for (auto _ : state) {
        LensSums sums;
        const std::string text = lens_file_text(nullptr, &sums, &failure);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines));
    state.SetLabel("lines");
}
BENCHMARK(BM_LensFileWrite)->Unit(benchmark::kMicrosecond);

void BM_LensFileSumsOnly(benchmark::State& state) {
    if (!make_lens(state)) return;
    for (auto _ : state) {
        const LensSums sums = lens_sums_in_memory();
        benchmark::DoNotOptimize(sums);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("lenses");
}
BENCHMARK(BM_LensFileSumsOnly)->Unit(benchmark::kMicrosecond);

void BM_LensFileRead(benchmark::State& state) {
    if (!make_lens(state)) return;
    int failure = 0;
    const std::vector<std::string> lines = lines_of(lens_file_text(nullptr, nullptr, &failure));
    for (auto _ : state) {
        if (read_lens_lines(lines, nullptr) != 0 || lens_data().image_surface != 12) {
            state.SkipWithError("the lens did not read back");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
    state.SetLabel("lines");
}
BENCHMARK(BM_LensFileRead)->Unit(benchmark::kMicrosecond);

}  // namespace
