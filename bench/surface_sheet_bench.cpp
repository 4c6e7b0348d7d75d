// The surface spreadsheet's edit at 12 surfaces: a typed thickness delivered to the sheet's
// event procedure, which stores it, runs the lens set-up and writes the whole sheet again (the
// work of one edit, which must stay well inside the grid's 50 ms auto-repeat tick); and the
// sheet's rewrite alone.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"

namespace {

constexpr int kSurfaces = 12;

bool enter_twelve_surfaces() {
    std::vector<std::string> lines = {"LEN NEW \"Twelve surfaces\"", "EBR 5", "ANG 5", "NXT"};
    // Six singlets; each SRF line fills the current surface and steps to the next.
    for (int k = 1; k <= kSurfaces / 2; ++k) {
        if (k == 4) lines.push_back("AST");
        lines.push_back("SRF 80 4 N-BK7 12");
        lines.push_back("SRF -120 1.5 AIR 12");
    }
    lines.push_back("END");
    for (const std::string& line : lines) {
        if (run_command_string(line.c_str(), 0) != 0) return false;
    }
    return lens_data().image_surface == kSurfaces + 1;
}

void BM_SheetEdit(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_twelve_surfaces()) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    double thickness = 4.0;
    for (auto _ : state) {
        GridEvent e;
        e.code = kLevelEventEdited;
        e.field = 3;
        e.first_index = 3;
        e.last_index = 3;
        e.value_type = 2;
        thickness = thickness == 4.0 ? 4.5 : 4.0;
        e.value.d = thickness;
        if (surface_sheet_event(e) != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
    }
    set_output_window(1);
}
BENCHMARK(BM_SheetEdit)->Unit(benchmark::kMicrosecond);

void BM_SheetRewrite(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_twelve_surfaces()) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    set_output_window(3);
    for (auto _ : state) write_surface_sheet();
    flush_output_line();
    set_output_window(1);
}
BENCHMARK(BM_SheetRewrite)->Unit(benchmark::kMicrosecond);

}  // namespace
