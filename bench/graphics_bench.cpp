// Replaying a display list of 1e5 line segments: into the indexed raster that bitmap files and
// the console's pictures use, and into the Qt backend's offscreen image of a graphics window.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_raster.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "ui/window_table.h"
#ifdef TAVO_BENCH_WITH_QT
#include "platform/qt/qt_backend.h"
#endif

namespace {

constexpr int kSegments = 100000;

// 500 polylines of 200 segments each, a spiral of short strokes across the window.
void draw_segments() {
    for (int line = 0; line < kSegments / 200; ++line) {
        const double r = 0.05 + 0.4 * line / (kSegments / 200.0);
        for (int k = 0; k <= 200; ++k) {
            const double a = line * 0.37 + k * 0.05;
            const double x = 0.5 + r * std::cos(a), y = 0.5 + r * std::sin(a);
            if (k == 0) {
                gfx_move_to(x, y);
            } else {
                gfx_draw_to(x, y);
            }
        }
    }
    flush_pending_polyline();
}

// Puts back the user interface a benchmark found current.
class UiRestore {
public:
    UiRestore() : saved_(platform::current_ui()) {}
    ~UiRestore() { platform::set_current_ui(saved_); }
    UiRestore(const UiRestore&) = delete;
    UiRestore& operator=(const UiRestore&) = delete;

private:
    platform::UiBackend* saved_;
};

void BM_ReplayIntoIndexedRaster(benchmark::State& state) {
    UiRestore restore;
    reset_graphics_windows();
    platform::set_current_ui(nullptr);
    graphwin_init_record(1, 640, 480);
    graphwin_open(1, 0, 0, 0, 0);
    draw_segments();
    IndexedRaster raster(640, 480);
    for (auto _ : state) {
        display_list_replay(raster, 0);
        benchmark::DoNotOptimize(raster.pixels().data());
    }
    state.SetItemsProcessed(state.iterations() * kSegments);
    state.SetLabel("segments");
    reset_graphics_windows();
}
BENCHMARK(BM_ReplayIntoIndexedRaster)->Unit(benchmark::kMillisecond);

#ifdef TAVO_BENCH_WITH_QT
void BM_ReplayIntoQtImage(benchmark::State& state) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char arg0[] = "tavo_bench";
    static char* argv[] = {arg0, nullptr};
    // The backend (with its application) ends with the benchmark: kept to the exit, it would be
    // destroyed after Qt's own statics and crash the run's end.
    std::unique_ptr<platform::UiBackend> ui = platform::make_qt_backend(argc, argv);
    UiRestore restore;
    reset_graphics_windows();
    reset_window_table();
    platform::set_current_ui(ui.get());
    ui->create_frame("TAVO LT", nullptr);
    graphwin_open(1, 0, 0, 0, 0);
    draw_segments();
    platform::DeviceContext* dc = graphics_target();
    for (auto _ : state) {
        if (dc != nullptr) display_list_replay(*dc, 0);
    }
    state.SetItemsProcessed(state.iterations() * kSegments);
    state.SetLabel("segments");
    reset_graphics_windows();
}
BENCHMARK(BM_ReplayIntoQtImage)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
