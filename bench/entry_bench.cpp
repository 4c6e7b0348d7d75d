// Lens entry throughput: a 50-surface lens (about 180 lines: LEN NEW, per surface radius,
// thickness, medium and aperture, the stop, a solve, END) entered line by line through
// run_command_string as the lens reader runs it, once with state flag 45 (read in bulk: the
// set-up waits for the reader) and once without; END's set-up included. Reports lines per
// second. The program is started on the built installation (bench_program.h).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "lens/lens_data.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

namespace {

constexpr int kSurfaces = 50;

// 25 singlets: each front surface in one SRF line (with its glass), the back surface line by
// line; the stop in the middle, the back focus solved.
std::vector<std::string> lens_lines() {
    std::vector<std::string> lines = {"LEN NEW \"Fifty surfaces\" 100 51", "EBR 5", "ANG 5", "NXT"};
    for (int k = 1; k <= kSurfaces / 2; ++k) {
        if (k == 13) lines.push_back("AST");
        lines.push_back("SRF 80 4 N-BK7 12");
        lines.push_back("RD -120");
        lines.push_back("TH 1.5");
        lines.push_back("AIR");
        lines.push_back("AP 12");
        lines.push_back("CC 0");
        lines.push_back(k < kSurfaces / 2 ? "NXT" : "PY 0");
    }
    lines.push_back("NXT");
    lines.push_back("WV 0.58756 0.48613 0.65627");
    lines.push_back("END");
    return lines;
}

void enter_lens(benchmark::State& state, bool bulk) {
    BenchProgram& p = bench_program();
    if (!p.ok) {
        state.SkipWithError("the program did not start");
        return;
    }
    const std::vector<std::string> lines = lens_lines();
    for (auto _ : state) {
        if (bulk) set_state_flag(kFlagLensReadInBulk);
        for (const std::string& line : lines) {
            if (line == "END" && bulk) clear_state_flag(kFlagLensReadInBulk);
            if (run_command_string(line.c_str(), 0) != 0) {
                const std::string why =
                    "line failed: " + line + ": " + error_text_buffer() + p.errors.str();
                state.SkipWithError(why.c_str());
                return;
            }
        }
        if (lens_data().image_surface != kSurfaces + 1) {
            state.SkipWithError("the lens did not get its 50 surfaces");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
    state.SetLabel("lines");
}

void BM_EntryFiftySurfacesRead(benchmark::State& state) {
    enter_lens(state, true);
}
BENCHMARK(BM_EntryFiftySurfacesRead)->Unit(benchmark::kMillisecond);

void BM_EntryFiftySurfacesTyped(benchmark::State& state) {
    enter_lens(state, false);
}
BENCHMARK(BM_EntryFiftySurfacesTyped)->Unit(benchmark::kMillisecond);

}  // namespace
