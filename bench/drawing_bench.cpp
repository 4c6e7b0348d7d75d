// The lens drawing on the console's screen: a 10-element lens (20 spheres) with three ray sets
// of 11 rays, drawn as an elevation section with its rays, and as the 3-D model with hidden
// lines at two mesh densities; and the CAD number formatter in numbers per second. The program
// is started on the built installation (bench_program.h).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "drawing/cad_output.h"
#include "lens/lens_data.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"

namespace {

// Ten singlets in a row, the stop in the middle; three ray sets of 11 rays.
std::vector<std::string> lens_lines(int rings, int spokes) {
    std::vector<std::string> lines = {"LEN NEW \"Ten elements\" 100 21", "EBR 5", "ANG 5", "NXT"};
    for (int k = 1; k <= 10; ++k) {
        if (k == 6) lines.push_back("AST");
        lines.push_back("SRF 80 4 N-BK7 12");
        lines.push_back("RD -120");
        lines.push_back("TH 1.5");
        lines.push_back("AIR");
        lines.push_back("AP 12");
        lines.push_back("NXT");
    }
    lines.push_back("DLRI " + std::to_string(rings));
    lines.push_back("DLSP " + std::to_string(spokes));
    lines.push_back("DLNR 0 11");
    lines.push_back("DLNR 1 11");
    lines.push_back("DLNR 2 11");
    lines.push_back("END");
    return lines;
}

bool enter(benchmark::State& state, int rings, int spokes) {
    BenchProgram& p = bench_program();
    if (!p.ok) {
        state.SkipWithError("the program did not start");
        return false;
    }
    for (const std::string& line : lens_lines(rings, spokes)) {
        if (run_command_string(line.c_str(), 0) != 0) {
            const std::string why = "line failed: " + line + ": " + error_text_buffer();
            state.SkipWithError(why.c_str());
            return false;
        }
    }
    return true;
}

void draw(benchmark::State& state, const char* line, int rings, int spokes) {
    if (!enter(state, rings, spokes)) return;
    for (auto _ : state) {
        if (run_command_string(line, 0) != 0) {
            const std::string why = std::string("failed: ") + line + ": " + error_text_buffer();
            state.SkipWithError(why.c_str());
            return;
        }
    }
    state.SetLabel(line);
}

void BM_DrawSectionWithRays(benchmark::State& state) {
    draw(state, "draw_lens elev;draw_field_rays", 3, 4);
}
BENCHMARK(BM_DrawSectionWithRays)->Unit(benchmark::kMicrosecond);

void BM_DrawModelHiddenLines(benchmark::State& state) {
    draw(state, "draw_lens model", static_cast<int>(state.range(0)),
         static_cast<int>(state.range(1)));
}
BENCHMARK(BM_DrawModelHiddenLines)->Args({3, 4})->Args({7, 8})->Unit(benchmark::kMillisecond);

void BM_FormatCadNumber(benchmark::State& state) {
    char text[kCadNumberText];
    double v = 1.2345678901234;
    for (auto _ : state) {
        format_cad_number(v, text);
        benchmark::DoNotOptimize(text);
        v = v * 1.0001 + 1e-3;
        if (v > 1e6) v = 1.2345678901234e-5;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatCadNumber);

}  // namespace
