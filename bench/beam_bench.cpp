// Gaussian beams on the f = 50 Cooke triplet (the radii and thicknesses of the trace benchmark,
// typed with catalogue glasses), one core: the sheet written again after a typed value (set-up,
// solve, matrix, twelve rows), the propagation table of its button, one step of the position
// probe drawn into window 7, and the astigmatic beam by real rays listed at every surface.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "evaluation/beam_plot.h"
#include "evaluation/beam_table.h"
#include "evaluation/gaussian_beam_sheet.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"

namespace {

bool enter_triplet() {
    CookeTriplet t;
    t.wavelengths = "0.6328";
    std::vector<std::string> lines = cooke_triplet_lines(t);
    lines.emplace_back("END");
    if (!type_bench_lines(lines)) return false;
    reset_gaussian_beam_sheet();
    load_gaussian_beam_defaults();
    GaussianBeamSheet& b = gaussian_beam_sheet();
    // Spot and waist given: two beams, so that every step does its second beam too.
    b.y_beam.spot = 2.0;
    b.y_beam.waist = 1.5;
    mark_beam_quantity(b.y_beam, kBeamSpot);
    b.first = 1;
    return lens_data().image_surface == 7;
}

void BM_BeamSheetRedisplay(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_triplet()) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    set_output_window(3);
    for (auto _ : state) {
        lens_setup(0);
        print_gaussian_beam_sheet();
        flush_output_line();
    }
    set_output_window(1);
    reset_gaussian_beam_sheet();
}
BENCHMARK(BM_BeamSheetRedisplay)->Unit(benchmark::kMicrosecond);

void BM_BeamTable(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_triplet()) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    BenchOutputOff quiet;
    for (auto _ : state) {
        if (list_beam_propagation() != 0) {
            state.SkipWithError("the table failed");
            break;
        }
    }
    reset_gaussian_beam_sheet();
}
BENCHMARK(BM_BeamTable)->Unit(benchmark::kMicrosecond);

void BM_BeamProbeStep(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_triplet()) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    double spot1 = 0.0, spot2 = 0.0;
    // Window 7 lives in the console user interface's frame, as in the program.
    if (!p.ui->window_exists(platform::kWindowFrame)) p.ui->create_frame("TAVO LT", nullptr);
    const int opened = graphwin_open(7, 0, 0, 0, 0);
    const int plotted = opened < 0 ? opened : plot_gaussian_beam(spot1, spot2);
    const int probe = plotted != 0 ? plotted : plot_beam_position(spot1, spot2);
    if (probe != 0) {
        state.SkipWithError(("the plot failed: " + std::to_string(opened) + " " +
                             std::to_string(plotted) + " " + std::to_string(probe))
                                .c_str());
        return;
    }
    // Without a graphics device nothing is drawn and the probe has nothing to read.
    if (gaussian_beam_sheet().arrays_image < 0) {
        state.SkipWithError("no graphics device for the plot");
        return;
    }
    double x = 0.0;
    for (auto _ : state) {
        x = x > 50.0 ? 0.0 : x + 0.37;
        beam_position_changed(0, kBeamProbeSlider, x);
    }
    reset_gaussian_beam_sheet();
}
BENCHMARK(BM_BeamProbeStep)->Unit(benchmark::kMicrosecond);

void BM_AstigmaticBeam(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok || !enter_triplet()) {
        state.SkipWithError("the program or the lens did not start");
        return;
    }
    BenchOutputOff quiet;
    for (auto _ : state) {
        if (run_command_string("astigmatic_beam 1 1 2 2", 0) != 0) {
            state.SkipWithError(error_text_buffer());
            break;
        }
    }
}
BENCHMARK(BM_AstigmaticBeam)->Unit(benchmark::kMicrosecond);

}  // namespace
