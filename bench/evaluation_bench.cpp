// The spot diagram and what reads it, on one core: the 10-surface spherical lens of the lens
// set-up benchmark, object point x 0.7, y 0 (off the y axis, so the whole pupil is traced), one
// wavelength, 110 aperture divisions (9,532 pupil points). The diagram benchmark runs from a
// current reference ray to finished statistics.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_lens.h"
#include "evaluation/geometric_energy.h"
#include "evaluation/point_intensity.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "evaluation/wavefront_stats.h"
#include "evaluation/zernike_fit.h"
#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "trace/derived_rays.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"

namespace {

struct Diagram {
    TenSurfaceLens lens{};
    bool ready = false;
};

bool make_diagram(Diagram& t) {
    if (!make_ten_surface_lens(t.lens)) return false;
    LensData& l = lens_data();
    l.reference_surface = 5;
    l.wavelength_count = 1;
    set_thickness_data(10, kThicknessPlain, 0, 0, 0, 0, 40.0);
    materials_changed = 0;
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
    t.ready = spot_store().ray_count > 9000;
    return t.ready;
}

Diagram& diagram() {
    static Diagram d;
    return d;
}

bool ready(benchmark::State& state) {
    if (diagram().ready || make_diagram(diagram())) return true;
    state.SkipWithError("the lens or its spot diagram could not be made");
    return false;
}

void BM_EnsureSpotDiagram(benchmark::State& state) {
    if (!ready(state)) return;
    for (auto _ : state) {
        clear_state_flag(kFlagSpotDiagramCurrent);
        benchmark::DoNotOptimize(ensure_spot_diagram());
    }
    state.counters["rays"] = spot_store().ray_count;
}
BENCHMARK(BM_EnsureSpotDiagram)->Unit(benchmark::kMillisecond);

void BM_WavefrontStats(benchmark::State& state) {
    if (!ready(state)) return;
    set_setting_flag(kSetOutputOn, 0);
    for (auto _ : state) wavefront_stats(1, 0, 0.0, 0.0, 0.0);
    set_setting_flag(kSetOutputOn, 1);
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
        benchmark::DoNotOptimize(
            diffraction_encircled_energy(false, 1, width, 24, 0, 0.0, 0.0, 0.0, out.data()));
    }
}
BENCHMARK(BM_DiffractionEncircledEnergy24)->Unit(benchmark::kMillisecond);

}  // namespace
