// One lens set-up of a 10-surface lens (five singlets, a PU solve on the last surface and an
// edge-thickness solve), as it runs after every edit and inside the optimisation loop. Each
// iteration changes a curvature first, as an edit would.
#include <benchmark/benchmark.h>

#include "bench/bench_lens.h"
#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "trace/lens_setup.h"

namespace {

struct TenSurfaces {
    double glass[10];
    double air[10];
};

bool make_lens(TenSurfaces& t) {
    if (!prepare_bench_lens_arrays()) return false;
    if (lens_new() != 0) return false;
    for (int i = 0; i < 10; ++i) {
        t.glass[i] = 1.6;
        t.air[i] = 1.0;
    }
    LensData& l = lens_data();
    l.image_surface = 11;
    l.aperture_stop = 5;
    l.entrance_beam_radius = 5.0;
    l.field_angle = 0.1;
    l.field_is_angle = 1;
    set_thickness_data(0, kThicknessPlain, 0, 0, 0, 0, kObjectAtInfinity);
    surface(0).index = t.air;
    for (int n = 1; n <= 10; ++n) {
        const bool front = (n % 2) == 1;
        set_curvature_data(n, kCurvaturePlain, 0, 0, front ? 1.0 / 80 : -1.0 / 120);
        set_thickness_data(n, kThicknessPlain, 0, 0, 0, 0, front ? 4.0 : 6.0);
        surface(n).index = front ? t.glass : t.air;
    }
    surface(11).index = t.air;
    set_thickness_data(1, kThicknessEdge, 0, 0, 6.0, 1.5, 4.0);
    set_curvature_data(10, kCurvatureAxialSlope, 0, -0.1, -1.0 / 120);
    materials_changed = 0;
    return lens_setup(0) == 0;
}

void BM_LensSetupTenSurfaces(benchmark::State& state) {
    TenSurfaces t{};
    if (!make_lens(t)) {
        state.SkipWithError("lens could not be made");
        return;
    }
    double c = 1.0 / 80;
    for (auto _ : state) {
        c += 1e-9;
        surface(3).curvature = c;
        benchmark::DoNotOptimize(lens_setup(0));
    }
    free_lens_arrays();
    free_glass_cache();
    settings_release();
}
BENCHMARK(BM_LensSetupTenSurfaces);

}  // namespace
