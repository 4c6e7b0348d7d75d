// The spot diagram and what reads it, on one core: the 10-surface spherical lens of the lens
// set-up benchmark, object point x 0.7, y 0 (off the y axis, so the whole pupil is traced), one
// wavelength, 110 aperture divisions (9,532 pupil points). The diagram benchmark runs from a
// current reference ray to finished statistics.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/bench_lens.h"
#include "evaluation/coupling.h"
#include "evaluation/geometric_energy.h"
#include "evaluation/mtf_command.h"
#include "evaluation/mtf_curves.h"
#include "evaluation/point_intensity.h"
#include "evaluation/psf.h"
#include "evaluation/psf_report.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "evaluation/wavefront_stats.h"
#include "evaluation/zernike_fit.h"
#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "trace/derived_rays.h"
#include "trace/lane_trace.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"

namespace {

// Sets a flag setting for the time of a benchmark and puts back what it found, so that the
// benchmarks run after it on the same settings see their own.
class FlagFor {
public:
    FlagFor(int id, std::uint8_t value) : id_(id), saved_(get_setting_flag(id)) {
        set_setting_flag(id, value);
    }
    ~FlagFor() { set_setting_flag(id_, saved_); }
    FlagFor(const FlagFor&) = delete;
    FlagFor& operator=(const FlagFor&) = delete;

private:
    int id_;
    std::uint8_t saved_;
};

// Output off: the listings format their rows but print nothing.
struct Quiet : FlagFor {
    Quiet() : FlagFor(kSetOutputOn, 0) {}
};

// The lens and its diagram are made on every entry: the store and the lens arrays are shared
// with every other benchmark, which may have run in between.
TenSurfaceLens g_one{};

bool make_diagram() {
    if (!make_ten_surface_lens(g_one)) return false;
    LensData& l = lens_data();
    l.reference_surface = 5;
    l.wavelength_count = 1;
    set_thickness_data(10, kThicknessPlain, 0, 0, 0, 0, 40.0);
    lens_flags().materials_changed = 0;
    if (lens_setup(0) != 0) return false;
    if (get_setting_int(kSetMaxSpdRays, 0, 0) < 10000) set_setting_int(kSetMaxSpdRays, 10000, 0, 0);
    if (spot_store().capacity == 0 && alloc_spot_storage() != 0) return false;
    install_derived_rays();
    l.spot_settings->aperture_divisions = 110.0;
    l.spot_settings->polychromatic = 0;
    l.spot_settings->apodisation_on = 0;
    reset_object_point();
    object_point().x = 0.7;
    if (set_object_point() != 0) return false;
    clear_state_flag(kFlagSpotDiagramCurrent);
    if (ensure_spot_diagram() != 0) return false;
    return spot_store().ray_count > 9000;
}

bool ready(benchmark::State& state) {
    if (make_diagram()) return true;
    state.SkipWithError("the lens or its spot diagram could not be made");
    return false;
}

// Argument: lanes 0 takes the processor's widest lane path for the diagram's rays, 2 forces the
// SSE2 path.
void BM_EnsureSpotDiagram(benchmark::State& state) {
    if (!ready(state)) return;
    trace_globals().lane_width = static_cast<int>(state.range(0));
    state.counters["lanes"] = lane_width();
    for (auto _ : state) {
        clear_state_flag(kFlagSpotDiagramCurrent);
        benchmark::DoNotOptimize(ensure_spot_diagram());
    }
    trace_globals().lane_width = 0;
    state.counters["rays"] = spot_store().ray_count;
}
BENCHMARK(BM_EnsureSpotDiagram)
    ->ArgName("lanes")
    ->Arg(0)
    ->Arg(kLanesSse2)
    ->Unit(benchmark::kMillisecond);

void BM_WavefrontStats(benchmark::State& state) {
    if (!ready(state)) return;
    Quiet quiet;
    for (auto _ : state) wavefront_stats(1, 0, 0.0, 0.0, 0.0);
}
BENCHMARK(BM_WavefrontStats)->Unit(benchmark::kMillisecond);

void BM_ZernikeFit37(benchmark::State& state) {
    if (!ready(state)) return;
    double c[kMaxZernikeTerms + 2];
    for (auto _ : state) benchmark::DoNotOptimize(zernike_fit_wavelength(0, 37, 0.0, 0.0, 0.0, c));
}
BENCHMARK(BM_ZernikeFit37)->Unit(benchmark::kMillisecond);

void BM_EncircledEnergyCurve(benchmark::State& state) {
    if (!ready(state)) return;
    double levels[11];
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            encircled_energy_curve(false, 10, true, 0.0, levels, nullptr, nullptr));
    }
}
BENCHMARK(BM_EncircledEnergyCurve)->Unit(benchmark::kMillisecond);

void BM_DiffractionEncircledEnergy24(benchmark::State& state) {
    if (!ready(state)) return;
    std::vector<double> out(13);
    const double width = 5.0 * spot_store().airy_radius[0];
    for (auto _ : state) {
        benchmark::DoNotOptimize(diffraction_encircled_energy(
            false, {.centre_mode = 1, .width = width, .n = 24}, out.data()));
    }
}
BENCHMARK(BM_DiffractionEncircledEnergy24)->Unit(benchmark::kMillisecond);

}  // namespace

// The MTF, PSF and coupling on the same lens and object point (x 0.7: no half pupil), with the
// wavelengths d, F and C of equal weight, polychromatic.
namespace {

TenSurfaceLens g_three{};

bool make_three_wavelengths(double divisions) {
    if (!make_ten_surface_lens(g_three)) return false;
    LensData& l = lens_data();
    l.reference_surface = 5;
    l.wavelength_count = 3;
    l.wavelengths[0] = {0.58756, 1.0};
    l.wavelengths[1] = {0.48613, 1.0};
    l.wavelengths[2] = {0.65627, 1.0};
    set_thickness_data(10, kThicknessPlain, 0, 0, 0, 0, 40.0);
    lens_flags().materials_changed = 0;
    if (lens_setup(0) != 0) return false;
    if (get_setting_int(kSetMaxSpdRays, 0, 0) < 20000) set_setting_int(kSetMaxSpdRays, 20000, 0, 0);
    if (spot_store().capacity == 0 && alloc_spot_storage() != 0) return false;
    if (spot_store().capacity < 20000 && resize_spot_storage(20000) != 0) return false;
    install_derived_rays();
    l.spot_settings->aperture_divisions = divisions;
    l.spot_settings->polychromatic = 1;
    l.spot_settings->apodisation_on = 0;
    reset_object_point();
    object_point().x = 0.7;
    if (set_object_point() != 0) return false;
    clear_state_flag(kFlagSpotDiagramCurrent);
    if (ensure_spot_diagram() != 0) return false;
    return spot_store().half_pupil == 0 && spot_store().polychromatic == 1;
}

bool three_ready(benchmark::State& state, double divisions) {
    if (make_three_wavelengths(divisions)) return true;
    state.SkipWithError("the lens or its spot diagram could not be made");
    return false;
}

void BM_ComputePsf(benchmark::State& state) {
    if (!three_ready(state, 17.03)) return;
    const int n = static_cast<int>(state.range(0)), m = static_cast<int>(state.range(1));
    double** grid = alloc_matrix_of<double>(n, n);
    double spacing = 0.0, scale = 0.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(compute_psf(grid, &spacing, &scale, true, 0, n, m));
    free_matrix_of(grid);
}
BENCHMARK(BM_ComputePsf)
    ->Args({64, 32})
    ->Args({128, 64})
    ->Args({256, 128})
    ->Unit(benchmark::kMillisecond);

// A diffraction listing of 21 frequencies with its ideal column, from a current diagram.
void BM_DiffractionMtfListing(benchmark::State& state) {
    const double divisions = state.range(0) == 17 ? 17.03 : static_cast<double>(state.range(0));
    if (!three_ready(state, divisions)) return;
    Quiet quiet;
    const double C = spot_store().y_cutoff[0];
    for (auto _ : state) {
        double cutoff = 0.0;
        benchmark::DoNotOptimize(mtf_at_frequency(
            {.mode = 1, .direction = 1, .F = C, .S = C / 20.0}, nullptr, nullptr, &cutoff));
    }
    state.counters["rays"] = spot_store().wave_ray_counts[0];
}
BENCHMARK(BM_DiffractionMtfListing)->Arg(17)->Arg(64)->Unit(benchmark::kMillisecond);

// The same by the binned pairs of setting 70.
void BM_DiffractionMtfListingBinned(benchmark::State& state) {
    const double divisions = state.range(0) == 17 ? 17.03 : static_cast<double>(state.range(0));
    if (!three_ready(state, divisions)) return;
    Quiet quiet;
    FlagFor binned(kSetQrMtf, 1);
    const double C = spot_store().y_cutoff[0];
    for (auto _ : state) {
        double cutoff = 0.0;
        benchmark::DoNotOptimize(mtf_at_frequency(
            {.mode = 1, .direction = 1, .F = C, .S = C / 20.0}, nullptr, nullptr, &cutoff));
    }
}
BENCHMARK(BM_DiffractionMtfListingBinned)->Arg(17)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_GeometricMtf64(benchmark::State& state) {
    if (!three_ready(state, 64.0)) return;
    const double C = spot_store().y_cutoff[0];
    std::vector<double> first(21), second(21);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            mtf_frequency_scan({.mode = 0, .direction = 1, .wave = -1, .F = C, .S = C / 20.0},
                               first.data(), second.data()));
    }
}
BENCHMARK(BM_GeometricMtf64)->Unit(benchmark::kMillisecond);

void BM_ThroughFocusMtf11(benchmark::State& state) {
    if (!three_ready(state, 17.03)) return;
    std::vector<double> out(11);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            through_focus_mtf(false, true, true, 1, 0, 25.0, 0.05, 0.01, out.data()));
    }
}
BENCHMARK(BM_ThroughFocusMtf11)->Unit(benchmark::kMillisecond);

// Runs a handler on local cells of the given values.
int run_handler(int (*handler)(), const std::vector<double>& values,
                const std::vector<bool>& ints) {
    std::vector<ArgCell> cells(values.size());
    std::vector<ArgCell*> pointers(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        cells[i] =
            ints[i] ? int_cell(static_cast<std::int32_t>(values[i])) : double_cell(values[i]);
        pointers[i] = &cells[i];
    }
    ArgCell** saved = arg_vector();
    const int count = arg_count();
    set_arg_vector(pointers.data(), static_cast<int>(values.size()));
    const int r = handler();
    set_arg_vector(saved, count);
    return r;
}

// The whole mtf command at its defaults on a stale diagram: the diagram is made again first.
void BM_MtfCommandStale(benchmark::State& state) {
    if (!three_ready(state, 17.03)) return;
    Quiet quiet;
    const std::vector<double> v = {0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    const std::vector<bool> ints = {true,  true,  true,  true,  false,
                                    false, false, false, false, false};
    for (auto _ : state) {
        clear_state_flag(kFlagSpotDiagramCurrent);
        benchmark::DoNotOptimize(run_handler(cmd_mtf, v, ints));
    }
}
BENCHMARK(BM_MtfCommandStale)->Unit(benchmark::kMillisecond);

void BM_PsfReport128(benchmark::State& state) {
    if (!three_ready(state, 17.03)) return;
    Quiet quiet;
    const std::vector<double> v = {1, 0, 128, 64, 0, 0, 0.05, 0, 21};
    const std::vector<bool> ints = {true, true, true, true, true, true, false, false, true};
    for (auto _ : state) benchmark::DoNotOptimize(run_handler(cmd_psf_report, v, ints));
}
BENCHMARK(BM_PsfReport128)->Unit(benchmark::kMillisecond);

void BM_CouplingEfficiency128(benchmark::State& state) {
    if (!three_ready(state, 17.03)) return;
    Quiet quiet;
    const std::vector<double> v = {1, 0, 0.01, 1.5, 0, 0.01, 0, 128, 64, 0, 0, 0, 0};
    const std::vector<bool> ints = {true, true, false, false, false, false, true,
                                    true, true, false, false, false, false};
    for (auto _ : state) benchmark::DoNotOptimize(run_handler(cmd_coupling_efficiency, v, ints));
}
BENCHMARK(BM_CouplingEfficiency128)->Unit(benchmark::kMillisecond);

}  // namespace
