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
#include "graphics/graphics_sliders.h"
#include "graphics/graphics_window.h"
#include "reports/report_page.h"
#include "reports/slider_design.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"

namespace {

std::vector<std::string> triplet_lines() {
    CookeTriplet t;
    t.wavelengths = "0.58756 0.48613 0.65627";
    t.beam_radius = 10.0;
    t.field_angle = 20.0;
    t.plot_apertures = true;
    std::vector<std::string> lines = cooke_triplet_lines(t);
    lines.emplace_back("END");
    return lines;
}

bool prepare(benchmark::State& state) {
    if (!prepare_bench_window(state, triplet_lines())) return false;
    set_setting_flag(kSetGraphicsLabels, 1);
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

// One step of the slider design window: the first surface's curvature moved by a slider step,
// the lens drawn again in graphics window 7 and its ray fans at three fields in window 8 (both
// 800 x 600), as a drag does on every move of the mouse.
namespace {

void BM_SliderStep(benchmark::State& state) {
    if (!prepare(state)) return;
    for (const int n : {kSliderLensWindow, kSliderAnalysisWindow}) {
        if (graphwin_open(n, 0, 0, 800, 600) < 0) {
            state.SkipWithError("a slider window did not open");
            return;
        }
    }
    SliderDesignState& st = slider_design_state();
    st = SliderDesignState{};
    st.kind_a = kSliderCurvature;
    st.surface_a = 1;
    st.value_a = 1.0 / 21.48;
    st.half_range_a = 0.005;
    st.analysis_kind = kSliderAnalysisFans;
    if (open_slider_windows() != 0) {
        state.SkipWithError(error_text_buffer());
        return;
    }
    int index = -1;
    for (int i = 0; i < kSliderCount; ++i) {
        if (slider(i).id == kSliderIdA) index = i;
    }
    if (index < 0) {
        state.SkipWithError("no slider");
        return;
    }
    int code = 1;  // one step right, then back
    for (auto _ : state) {
        slider_scroll(index, code, 0);
        code = 1 - code;
    }
    sliders_remove();
    graphwin_close(kSliderLensWindow);
    graphwin_close(kSliderAnalysisWindow);
    st = SliderDesignState{};
}
BENCHMARK(BM_SliderStep)->Unit(benchmark::kMillisecond);

}  // namespace
