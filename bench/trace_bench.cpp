// Real rays through a spherical Cooke triplet: a fixed set of rays over three field points,
// measured against the reference ray (surface apertures checked, optical path and failure
// codes kept). Reports ray-surfaces per second on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/bench_lens.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "trace/lens_setup.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"

namespace {

struct Triplet {
    double glass_a[10];
    double glass_b[10];
    double air[10];
};

// Radii, thicknesses and indices of a classic f = 50 triplet; the image 43 behind it.
bool make_triplet(Triplet& t) {
    if (!prepare_bench_lens_arrays() || lens_new() != 0) return false;
    for (int i = 0; i < 10; ++i) {
        t.glass_a[i] = 1.6204 + 0.004 * (i == 1) - 0.003 * (i == 2);
        t.glass_b[i] = 1.6034 + 0.008 * (i == 1) - 0.005 * (i == 2);
        t.air[i] = 1.0;
    }
    const double radius[] = {21.48, -124.1, -19.1, 22.0, 328.9, -16.7};
    const double thick[] = {2.0, 5.26, 1.25, 4.69, 2.25, 43.0};
    double* media[] = {t.glass_a, t.air, t.glass_b, t.air, t.glass_a, t.air};
    surface(0).index = t.air;
    set_thickness_data(0, 0, 0, 0, 0.0, 0.0, kInfiniteDistance);
    double z = 0.0;
    for (int n = 1; n <= 6; ++n) {
        set_curvature_data(n, 0, 0, 0.0, 1.0 / radius[n - 1]);
        set_thickness_data(n, 0, 0, 0, 0.0, 0.0, thick[n - 1]);
        set_aperture_data(n, 1, 0, 12.0);
        surface(n).aperture_check = 1;
        surface(n).index = media[n - 1];
        surface(n).vertex_position = z;
        z += thick[n - 1];
    }
    surface(7).index = t.air;
    surface(7).vertex_position = z;
    LensData& lens = lens_data();
    lens.image_surface = 7;
    // The set-up as the program runs it after every edit; the media above are the bench's own.
    materials_changed = 0;
    if (lens_setup(0) != 0) return false;
    for (int n = 0; n <= 7; ++n) surface(n).index = n == 0 || n == 7 ? t.air : media[n - 1];
    const double field = 15.0 * M_PI / 180.0;
    lens.object_height = -std::tan(field) * kInfiniteDistance;
    lens.axial_start_height = 5.0;
    lens.chief_start_height = 0.0;
    return true;
}

void BM_TraceTriplet(benchmark::State& state) {
    // Made on every entry: the benchmarks run between two of this one's may leave another lens.
    static Triplet triplet;
    if (!make_triplet(triplet)) {
        state.SkipWithError("the lens arrays cannot be made");
        return;
    }
    // 21 x 21 pupil grid inside the unit circle, at three field points.
    std::vector<RayRecord> rays;
    const double fields[] = {0.0, 0.7, 1.0};
    for (double f : fields) {
        for (int i = -10; i <= 10; ++i) {
            for (int j = -10; j <= 10; ++j) {
                const double px = i / 10.0, py = j / 10.0;
                if (px * px + py * py > 1.0) continue;
                RayRecord r{};
                r.kind = kRayMeasured;
                r.obj_y = f;
                r.pup_x = px;
                r.pup_y = py;
                rays.push_back(r);
            }
        }
    }
    std::vector<RayRecord> references(3);
    for (int k = 0; k < 3; ++k) {
        references[k] = RayRecord{};
        references[k].kind = kRayReference;
        references[k].obj_y = fields[k];
        trace_ray(references[k]);
    }
    // The reference sphere of each field: centred on the reference ray's image point, through
    // the exit pupil, where the chief ray of the 0.7 field crosses the axis.
    const RayRecord& mid = references[1];
    if (references[1].failure != 0 || std::fabs(mid.l) < 1e-12) {
        state.SkipWithError("the reference rays cannot be traced");
        return;
    }
    const double pupil_z = mid.z - mid.y * mid.m / mid.l;
    double radii[3];
    for (int k = 0; k < 3; ++k) {
        const RayRecord& ref = references[k];
        radii[k] = (ref.z - pupil_z) / ref.m;
    }
    const std::size_t per_field = rays.size() / 3;
    // One pass before the timing: no ray may miss its reference sphere.
    trace_globals().sphere_missed = 0;
    for (std::size_t i = 0; i < rays.size(); ++i) {
        if (i % per_field == 0) {
            reference_ray().ray = references[i / per_field];
            reference_ray().sphere_radius = radii[i / per_field];
        }
        trace_ray(rays[i]);
    }
    state.counters["sphere_missed"] = trace_globals().sphere_missed;
    std::int64_t ray_surfaces = 0;
    std::int64_t failed = 0;
    // The rays of each field go through trace_rays together, as an analysis traces its ray set
    // (argument 1), or one by one through trace_ray (argument 0).
    const bool together = state.range(0) != 0;
    for (auto _ : state) {
        for (std::size_t f = 0; f < 3; ++f) {
            reference_ray().ray = references[f];
            reference_ray().sphere_radius = radii[f];
            RayRecord* field_rays = rays.data() + f * per_field;
            if (together) {
                trace_rays(field_rays, static_cast<int>(per_field));
            } else {
                for (std::size_t i = 0; i < per_field; ++i) trace_ray(field_rays[i]);
            }
            for (std::size_t i = 0; i < per_field; ++i) {
                ray_surfaces += field_rays[i].surface;
                failed += field_rays[i].failure != 0;
            }
            benchmark::DoNotOptimize(field_rays[per_field - 1].opd);
        }
    }
    state.counters["ray_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(ray_surfaces), benchmark::Counter::kIsRate);
    state.counters["failed_fraction"] =
        static_cast<double>(failed) / static_cast<double>(rays.size() * state.iterations());
}
BENCHMARK(BM_TraceTriplet)->ArgName("ray_set")->Arg(1)->Arg(0);

}  // namespace
