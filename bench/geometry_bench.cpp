// Real rays through a doublet of two separated singlets whose four surfaces are all even
// aspheres (conic plus fourth- and sixth-order terms), met by the Newton iteration from the
// base-conic start point. Reports ray-surfaces per second on one core, to set beside the
// spherical triplet of trace_bench.cpp.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/bench_lens.h"
#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "runtime/settings.h"
#include "trace/lane_trace.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/surface_profile.h"

namespace {

struct AsphereLens {
    double glass[10];
    double air[10];
    AsphereRecord records[4];
    double coefficients[4][6];
};

bool make_asphere_lens(AsphereLens& t) {
    if (!prepare_bench_lens_arrays()) return false;
    if (lens_new() != 0) return false;
    for (int i = 0; i < 10; ++i) {
        t.glass[i] = 1.5168 + 0.005 * (i == 1) - 0.002 * (i == 2);
        t.air[i] = 1.0;
    }
    const double radius[] = {40.0, -150.0, 60.0, -80.0};
    const double conic[] = {-0.8, 0.0, -0.3, 2.0};
    const double a4[] = {-2e-6, 1e-6, -1.5e-6, 3e-6};
    const double a6[] = {1e-9, -2e-9, 5e-10, -1e-9};
    const double thick[] = {6.0, 4.0, 5.0, 60.0};
    double* media[] = {t.glass, t.air, t.glass, t.air};
    // No set-up runs: the plain-surface marks an earlier benchmark's set-up left on these records
    // would send the rays down the spherical step, so the trace must look at each surface itself.
    for (int n = 0; n <= 5; ++n) surface(n).plain_mark = kPlainUnknown;
    surface(0).index = t.air;
    set_thickness_data(0, 0, 0, 0, 0.0, 0.0, kInfiniteDistance);
    double z = 0.0;
    for (int n = 1; n <= 4; ++n) {
        const int i = n - 1;
        set_curvature_data(n, 0, 0, 0.0, 1.0 / radius[i]);
        set_conic_constant(n, conic[i]);
        set_thickness_data(n, 0, 0, 0, 0.0, 0.0, thick[i]);
        set_aperture_data(n, 1, 0, 15.0);
        SurfaceRecord& s = surface(n);
        s.aperture_check = 1;
        s.index = media[i];
        s.vertex_position = z;
        s.shape = kShapeAsphere;
        double* c = t.coefficients[i];
        for (int k = 0; k < 6; ++k) c[k] = 0.0;
        c[2] = a4[i];
        c[3] = a6[i];
        t.records[i] = AsphereRecord{};
        t.records[i].kind = kAsphereEven;
        t.records[i].working_count = 6;
        t.records[i].working = c;
        s.asphere = &t.records[i];
        z += thick[i];
    }
    surface(5).index = t.air;
    surface(5).vertex_position = z;
    LensData& lens = lens_data();
    lens.image_surface = 5;
    const double field = 10.0 * M_PI / 180.0;
    lens.object_height = -std::tan(field) * kInfiniteDistance;
    lens.axial_start_height = 8.0;
    lens.chief_start_height = 0.0;
    return true;
}

void BM_TraceEvenAspheres(benchmark::State& state) {
    static AsphereLens lens;
    if (!make_asphere_lens(lens)) {
        state.SkipWithError("the lens arrays cannot be made");
        return;
    }
    // 21 x 21 pupil grid inside the unit circle, at three field points; rays kept on failure.
    std::vector<RayRecord> rays;
    for (double f : {0.0, 0.7, 1.0}) {
        for (int i = -10; i <= 10; ++i) {
            for (int j = -10; j <= 10; ++j) {
                const double px = i / 10.0, py = j / 10.0;
                if (px * px + py * py > 1.0) continue;
                RayRecord r{};
                r.kind = kRayKept;
                r.obj_y = f;
                r.pup_x = px;
                r.pup_y = py;
                rays.push_back(r);
            }
        }
    }
    std::int64_t ray_surfaces = 0;
    std::int64_t failed = 0;
    // Arguments: ray_set 1 traces the rays through trace_rays together, 0 one by one through
    // trace_ray; lanes 0 takes the processor's widest lane path, 2 forces the SSE2 path.
    const bool together = state.range(0) != 0;
    trace_globals().lane_width = static_cast<int>(state.range(1));
    state.counters["lanes"] = together ? lane_width() : 1;
    for (auto _ : state) {
        if (together) trace_rays(rays.data(), static_cast<int>(rays.size()));
        for (RayRecord& r : rays) {
            if (!together) trace_ray(r);
            ray_surfaces += r.surface;
            failed += r.failure != 0;
            benchmark::DoNotOptimize(r.x);
        }
    }
    trace_globals().lane_width = 0;
    state.counters["ray_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(ray_surfaces), benchmark::Counter::kIsRate);
    state.counters["failed_fraction"] =
        static_cast<double>(failed) / static_cast<double>(rays.size() * state.iterations());
    // The records belong to this benchmark: take them off the lens before it goes away.
    for (int n = 1; n <= 4; ++n) surface(n).asphere = nullptr;
}
BENCHMARK(BM_TraceEvenAspheres)
    ->ArgNames({"ray_set", "lanes"})
    ->Args({1, 0})
    ->Args({1, kLanesSse2})
    ->Args({0, 0});

}  // namespace
