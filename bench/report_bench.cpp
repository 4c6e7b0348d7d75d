// The report pages in graphics window 1 at 800 x 600 (console: display list and raster): the
// wavefront, MTF, ray-trace, spot-diagram and point-spread pages of the Cooke triplet (three
// wavelengths) to their finished display lists, the page's own work (its settings saved and put
// back, the footer and captions) alone, and the finished wavefront page replayed into a raster. The
// program is started on the built installation.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "graphics/graphics_raster.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "reports/report_page.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"

namespace {

const std::vector<std::string> kTriplet = {"LEN NEW \"Cooke\"",
                                           "EBR 10",
                                           "ANG 20",
                                           "NXT",
                                           "SRF 21.48 2 N-SK16 10",
                                           "SRF -124.1 5.26 AIR 10",
                                           "AST",
                                           "SRF -19.1 1.25 N-F2 8",
                                           "RD 22",
                                           "TH 4.69",
                                           "AIR",
                                           "NXT",
                                           "SRF 328.9 2.25 N-SK16 10",
                                           "RD -16.7",
                                           "TH 43",
                                           "PY 0",
                                           "AIR",
                                           "NXT",
                                           "WV 0.58756 0.48613 0.65627",
                                           "END"};

bool prepare(benchmark::State& state) {
    BenchProgram& p = bench_program();
    if (!p.ok) {
        state.SkipWithError("the program did not start");
        return false;
    }
    if (!p.ui->window_exists(platform::kWindowFrame)) p.ui->create_frame("TAVO LT", nullptr);
    if (graphwin_open(1, 0, 0, 800, 600) < 0) {
        state.SkipWithError("graphics window 1 did not open");
        return false;
    }
    set_setting_flag(kSetGraphicsLabels, 1);
    for (const std::string& line : kTriplet) {
        if (run_command_string(line.c_str(), 0) != 0) {
            const std::string why = "line failed: " + line + ": " + error_text_buffer();
            state.SkipWithError(why.c_str());
            return false;
        }
    }
    return true;
}

void BM_ReportWavefrontPage(benchmark::State& state) {
    if (!prepare(state)) return;
    for (auto _ : state) {
        if (const int rc = run_command_string("report_wavefront", 0); rc != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
    }
}
BENCHMARK(BM_ReportWavefrontPage)->Unit(benchmark::kMillisecond);

void BM_ReportMtfPage(benchmark::State& state) {
    if (!prepare(state)) return;
    for (auto _ : state) {
        if (const int rc = run_command_string("report_mtf", 0); rc != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
    }
}
BENCHMARK(BM_ReportMtfPage)->Unit(benchmark::kMillisecond);

void run_page(benchmark::State& state, const char* line) {
    if (!prepare(state)) return;
    for (auto _ : state) {
        if (const int rc = run_command_string(line, 0); rc != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
    }
}

void BM_ReportRayTracePage(benchmark::State& state) {
    run_page(state, "report_ray_trace 1");
}
BENCHMARK(BM_ReportRayTracePage)->Unit(benchmark::kMillisecond);

void BM_ReportSpotPage(benchmark::State& state) {
    run_page(state, "report_spot 1 0.2 0 0");
}
BENCHMARK(BM_ReportSpotPage)->Unit(benchmark::kMillisecond);

void BM_ReportPsfPage(benchmark::State& state) {
    run_page(state, "report_psf");
}
BENCHMARK(BM_ReportPsfPage)->Unit(benchmark::kMillisecond);

void BM_ReportPageOwnWork(benchmark::State& state) {
    if (!prepare(state)) return;
    for (auto _ : state) {
        const ReportPage page({PageAxes::kOn, true, true, false});
        report_page_footer("Cooke", "WAVEFRONT ANALYSIS", 1, 0.4);
        const PageField field = page_field();
        page_text(0.2, 0.925, 1.0, 4, full_field_caption(field, false));
        page_text(0.5, 0.925, 1.0, 4, field_07_caption(field, false));
        page_text(0.8, 0.925, 1.0, 4, "ON-AXIS");
    }
}
BENCHMARK(BM_ReportPageOwnWork)->Unit(benchmark::kMicrosecond);

void BM_ReportPageReplay(benchmark::State& state) {
    if (!prepare(state)) return;
    if (run_command_string("report_wavefront", 0) != 0) {
        state.SkipWithError(error_text_buffer());
        return;
    }
    IndexedRaster raster(800, 600);
    for (auto _ : state) {
        display_list_replay(raster, 0);
        benchmark::DoNotOptimize(raster.pixels().data());
    }
}
BENCHMARK(BM_ReportPageReplay)->Unit(benchmark::kMillisecond);

}  // namespace
