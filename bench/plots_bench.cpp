// The analysis plots in graphics window 1 at 800 x 600 (console: display list and raster),
// labels and axes on: a fan-plot frame alone, one curve of 21 points, the ray-intercept and
// path-difference fans (21 rays, two fans, three wavelengths) and the field curves (21 points)
// of a Cooke triplet at field 0.7, the intensity sections of the f/5 paraboloid at SDAD 17.03
// (21 points), the point-spread plots at grid 128 and 64 pupil samples beside the point-spread
// computation alone, and the image plots of the triplet's spot diagram. The program is started
// on the built installation.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "evaluation/psf.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "numeric/memory.h"
#include "reports/fan_plots.h"
#include "reports/floating_horizon.h"
#include "reports/plot_frame.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "trace/object_point.h"

namespace {

std::vector<std::string> triplet_lines() {
    CookeTriplet t;
    t.wavelengths = "0.58756 0.48613 0.65627";
    t.beam_radius = 10.0;
    t.field_angle = 20.0;
    t.plot_apertures = true;
    std::vector<std::string> lines = cooke_triplet_lines(t);
    lines.insert(lines.end(), {"FANR 21", "END", "trr 0.7 0 0 0 0"});
    return lines;
}
const std::vector<std::string> kTriplet = triplet_lines();
const std::vector<std::string> kParaboloid = {"LEN NEW \"Paraboloid\"",
                                              "EBR 10",
                                              "ANG 0",
                                              "NXT",
                                              "RD -200",
                                              "TH -100",
                                              "RFL",
                                              "CC -1",
                                              "NXT",
                                              "END",
                                              "trr 0 0 0 0 0"};

// The program with the lens entered and window 1 at 800 x 600; false (and the state skipped)
// when anything failed.
bool prepare(benchmark::State& state, const std::vector<std::string>& lens) {
    if (!prepare_bench_window(state, lens)) return false;
    set_setting_flag(kSetGraphicsAxes, 1);
    set_setting_flag(kSetGraphicsLabels, 1);
    set_setting_flag(kSetGraphicsAutoclear, 1);
    return true;
}

// The console keeps every drawing call of a window for the tests to read, page after page: a
// session never draws thousands of large plots into it, so the record is emptied between the
// measured runs (outside the timing), as the window's display list is by every new page. The
// cost of recording a plot's calls stays in the measurement.
void empty_window_record(benchmark::State& state) {
    state.PauseTiming();
    if (platform::RecordingDeviceContext* dc =
            bench_program().ui->recording_context(platform::kWindowGraphicsFirst)) {
        dc->clear_records();
    }
    state.ResumeTiming();
}

void run_line(benchmark::State& state, const std::vector<std::string>& lens, const char* line) {
    if (!prepare(state, lens)) return;
    for (auto _ : state) {
        empty_window_record(state);
        set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
        if (const int rc = run_command_string(line, 0); rc != 0) {
            const std::string why =
                std::string(line) + ": " + std::to_string(rc) + " " + error_text_buffer();
            state.SkipWithError(why.c_str());
            return;
        }
    }
}

void BM_PlotFanFrame(benchmark::State& state) {
    if (!prepare(state, kTriplet)) return;
    for (auto _ : state) {
        draw_fan_plot_frame(1, kCmdPlotRayIntercepts, false, kComponentY, kComponentX, 0.0, false);
    }
}
BENCHMARK(BM_PlotFanFrame)->Unit(benchmark::kMicrosecond);

void BM_PlotCurve21(benchmark::State& state) {
    if (!prepare(state, kTriplet)) return;
    double y[21];
    for (int i = 0; i < 21; ++i) y[i] = 0.5 * std::sin(0.3 * i);
    set_plot_world(-1.1, 1.1, -1.1, 1.1);
    int k = 0;
    for (auto _ : state) {
        // A new page now and then keeps the list from growing to its end.
        if (++k % 100 == 0) graphwin_new_page(1);
        plot_curve(21, -1.0, 0.1, 5, 1.0, kCurveUpward, 1, y, nullptr);
    }
}
BENCHMARK(BM_PlotCurve21)->Unit(benchmark::kMicrosecond);

void BM_PlotRayIntercepts(benchmark::State& state) {
    run_line(state, kTriplet, "plr wvt yx 0 0 21");
}
BENCHMARK(BM_PlotRayIntercepts)->Unit(benchmark::kMillisecond);

void BM_PlotOpdFans(benchmark::State& state) {
    run_line(state, kTriplet, "plo wvt 0 0 21");
}
BENCHMARK(BM_PlotOpdFans)->Unit(benchmark::kMillisecond);

void BM_PlotAstigmatism(benchmark::State& state) {
    run_line(state, kTriplet, "plf wvt");
}
BENCHMARK(BM_PlotAstigmatism)->Unit(benchmark::kMillisecond);

void BM_PlotDistortion(benchmark::State& state) {
    run_line(state, kTriplet, "plot_distortion wvt");
}
BENCHMARK(BM_PlotDistortion)->Unit(benchmark::kMillisecond);

void BM_PlotLateralColor(benchmark::State& state) {
    run_line(state, kTriplet, "plot_lateral_color");
}
BENCHMARK(BM_PlotLateralColor)->Unit(benchmark::kMillisecond);

void BM_PlotLongitudinal(benchmark::State& state) {
    run_line(state, kTriplet, "pla wvt");
}
BENCHMARK(BM_PlotLongitudinal)->Unit(benchmark::kMillisecond);

void BM_PlotIntensitySections(benchmark::State& state) {
    if (!prepare(state, kParaboloid)) return;
    // The spot diagram once, outside the measurement: the plot reads it.
    if (run_command_string("spd mon 17.03", 0) != 0) {
        state.SkipWithError("spot diagram failed");
        return;
    }
    for (auto _ : state) {
        if (run_command_string("plot_intensity_sections mon 0 0 21", 0) != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
    }
}
BENCHMARK(BM_PlotIntensitySections)->Unit(benchmark::kMillisecond);

void BM_ComputePsf128(benchmark::State& state) {
    if (!prepare(state, kParaboloid)) return;
    double** grid = alloc_matrix_of<double>(128, 128);
    double spacing = 0.0, scale = 0.0;
    for (auto _ : state) compute_psf(grid, &spacing, &scale, false, 0, 128, 64);
    free_matrix_of(grid);
}
BENCHMARK(BM_ComputePsf128)->Unit(benchmark::kMillisecond);

void BM_PlotPsf(benchmark::State& state) {
    // 32 samples across the pupil in a grid of 128, a window of 31 cells.
    run_line(state, kParaboloid, "plot_psf x mon 0 0 32 one 0 31 0");
}
BENCHMARK(BM_PlotPsf)->Unit(benchmark::kMillisecond);

void BM_PlotPsfEncircled(benchmark::State& state) {
    run_line(state, kParaboloid, "plot_psf_encircled mon 0 64 128 0 0");
}
BENCHMARK(BM_PlotPsfEncircled)->Unit(benchmark::kMillisecond);

void BM_PlotPsfEnsquared(benchmark::State& state) {
    run_line(state, kParaboloid, "plot_psf_ensquared mon 0 64 128 0 0");
}
BENCHMARK(BM_PlotPsfEnsquared)->Unit(benchmark::kMillisecond);

void BM_PlotPsfLineSpread(benchmark::State& state) {
    run_line(state, kParaboloid, "plot_psf_line_spread both mon 0 0 64 128 0");
}
BENCHMARK(BM_PlotPsfLineSpread)->Unit(benchmark::kMillisecond);

void BM_PlotLineSpread(benchmark::State& state) {
    if (!prepare(state, kParaboloid)) return;
    if (run_command_string("spd mon 17.03", 0) != 0) {
        state.SkipWithError("spot diagram failed");
        return;
    }
    for (auto _ : state) {
        if (run_command_string("plot_line_spread both 0 0 0 41", 0) != 0) {
            state.SkipWithError(error_text_buffer());
            return;
        }
    }
}
BENCHMARK(BM_PlotLineSpread)->Unit(benchmark::kMillisecond);

// The image plots of the triplet's current spot diagram (three wavelengths, SDAD 17.03; the
// dense one at SDAD 110 of one wavelength, which the store's ray limit holds), made once outside
// the measurement.
void run_on_spot(benchmark::State& state, const std::vector<std::string>& lens, const char* spot,
                 const char* line) {
    if (!prepare(state, lens)) return;
    if (run_command_string(spot, 0) != 0) {
        state.SkipWithError("spot diagram failed");
        return;
    }
    for (auto _ : state) {
        empty_window_record(state);
        set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
        if (const int rc = run_command_string(line, 0); rc != 0) {
            const std::string why =
                std::string(line) + ": " + std::to_string(rc) + " " + error_text_buffer();
            state.SkipWithError(why.c_str());
            return;
        }
    }
}

void BM_PlotEnergyGeometric(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plot_rad_energy_dist geo smo 0 20 0 1");
}
BENCHMARK(BM_PlotEnergyGeometric)->Unit(benchmark::kMillisecond);

void BM_PlotEnergyDiffraction24(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plot_rad_energy_dist dif bfp mon 0 0 0 24");
}
BENCHMARK(BM_PlotEnergyDiffraction24)->Unit(benchmark::kMillisecond);

void BM_PlotEnsquared(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plot_ensquared_energy smo 0 12 0");
}
BENCHMARK(BM_PlotEnsquared)->Unit(benchmark::kMillisecond);

void BM_PlotMtfFrequency(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plm tfr mon 0 0 0 1 21 yes");
}
BENCHMARK(BM_PlotMtfFrequency)->Unit(benchmark::kMillisecond);

void BM_PlotMtfThroughFocus(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plm tfo mon 0 0 0 1 7 yes");
}
BENCHMARK(BM_PlotMtfThroughFocus)->Unit(benchmark::kMillisecond);

void BM_PlotIntensityPerspective(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plot_intensity_perspective y mon 0 0 32 0 1");
}
BENCHMARK(BM_PlotIntensityPerspective)->Unit(benchmark::kMillisecond);

void BM_PlotSpotDiagram(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "pls cen sym 0 0");
}
BENCHMARK(BM_PlotSpotDiagram)->Unit(benchmark::kMillisecond);

void BM_PlotSpotDiagram110(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd mon 110", "pls cen sym 0 0");
}
BENCHMARK(BM_PlotSpotDiagram110)->Unit(benchmark::kMillisecond);

void BM_PlotWavefrontMap(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plot_wavefront map 1 0 0");
}
BENCHMARK(BM_PlotWavefrontMap)->Unit(benchmark::kMillisecond);

void BM_PlotWavefrontCon(benchmark::State& state) {
    run_on_spot(state, kTriplet, "spd chr 17.03", "plot_wavefront con bfp y 1 0 0 32");
}
BENCHMARK(BM_PlotWavefrontCon)->Unit(benchmark::kMillisecond);

}  // namespace

// The floating horizon alone, as the intensity perspective at grid 32 drives it: 33 rows of 129
// sub-points each, a ridge that the nearer rows partly hide, in the perspective's world. The
// counter gives the time per sub-point, drawing calls included. Each pass starts on a new page
// (outside the timing) and records into the display list as a plot does.
void BM_HorizonPass(benchmark::State& state) {
    if (!prepare(state, kParaboloid)) return;
    constexpr int kGrid = 32;
    constexpr int kRows = kGrid + 1;
    constexpr int kPoints = 4 * kGrid + 1;
    constexpr double kRowShift = 5120.0;
    constexpr double kDepthRise = 5000.0;
    const double dx = kRowShift / kGrid;
    std::vector<std::vector<double>> rows(kRows, std::vector<double>(kPoints));
    for (int r = 0; r < kRows; ++r) {
        const double base = kDepthRise * 2.0 * r / kGrid;
        for (int i = 0; i < kPoints; ++i) {
            const double u = (i - kPoints / 2) / 24.0;
            const double v = (r - kRows / 2) / 8.0;
            rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(i)] =
                base + 10000.0 * std::exp(-u * u - v * v);
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        graphwin_new_page(0);
        set_plot_world(-2800.0, 28920.0, -3000.0, 27000.0);
        state.ResumeTiming();
        empty_window_record(state);
        FloatingHorizon horizon(6 * (kGrid + 5), dx);
        for (int r = 0; r < kRows; ++r) {
            const double base = kDepthRise * 2.0 * r / kGrid;
            horizon.draw_row(r + 1, rows[static_cast<std::size_t>(r)].data(), kPoints, base);
        }
        flush_pending_polyline();
    }
    state.counters["per_subpoint"] = benchmark::Counter(
        static_cast<double>(kRows) * kPoints,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HorizonPass)->Unit(benchmark::kMicrosecond);
