// One lens set-up of a 10-surface lens (five singlets, a PU solve on the last surface and an
// edge-thickness solve), as it runs after every edit and inside the optimisation loop. Each
// iteration changes a curvature first, as an edit would.
#include <benchmark/benchmark.h>

#include "bench/bench_lens.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "runtime/state_flags.h"
#include "trace/lens_setup.h"

namespace {

bool make_lens(TenSurfaceLens& t) {
    if (!make_ten_surface_lens(t)) return false;
    set_thickness_data(1, kThicknessEdge, 0, 0, 6.0, 1.5, 4.0);
    set_curvature_data(10, kCurvatureAxialSlope, 0, -0.1, -1.0 / 120);
    lens_flags().materials_changed = 0;
    return lens_setup(0) == 0;
}

void BM_LensSetupTenSurfaces(benchmark::State& state) {
    TenSurfaceLens t{};
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
}
BENCHMARK(BM_LensSetupTenSurfaces);

}  // namespace
