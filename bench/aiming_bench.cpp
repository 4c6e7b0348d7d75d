// The reference ray, the aiming and the derived rays: set_object_point at three fields with the
// normal aim and with wide-angle aiming, a fractional marginal ray, a wide-angle aimed ray with
// a warm cache (and the back traces it costs), the fan's rays through the pair trace, and the
// speed test's pass loop.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/bench_lens.h"
#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "trace/derived_rays.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/ray_aiming.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/ray_trace_reset.h"
#include "trace/sag_point.h"
#include "trace/speed_test.h"
#include "trace/trace_seams.h"

namespace {

double g_glass_a[10], g_glass_b[10], g_air[10], g_shell[10];

struct Surf {
    double radius, thickness;
    double* medium;
};

// A lens of the given surfaces with its stop on surface `stop`, set up as the program sets it
// up after an edit; the media are the bench's own arrays.
bool make_lens(double t0, const std::vector<Surf>& s, int stop, double ebr, double field_deg) {
    if (!prepare_bench_lens_arrays() || lens_new() != 0) return false;
    for (int i = 0; i < 10; ++i) {
        g_glass_a[i] = 1.6204 + 0.004 * (i == 1) - 0.003 * (i == 2);
        g_glass_b[i] = 1.6034 + 0.008 * (i == 1) - 0.005 * (i == 2);
        g_air[i] = 1.0;
        g_shell[i] = 1.5;
    }
    const int count = static_cast<int>(s.size());
    surface(0).index = g_air;
    set_thickness_data(0, 0, 0, 0, 0.0, 0.0, t0);
    for (int n = 1; n <= count; ++n) {
        const double r = s[n - 1].radius;
        set_curvature_data(n, 0, 0, 0.0, r == 0.0 ? 0.0 : 1.0 / r);
        set_thickness_data(n, 0, 0, 0, 0.0, 0.0, s[n - 1].thickness);
        surface(n).index = s[n - 1].medium;
    }
    surface(count + 1).index = g_air;
    LensData& lens = lens_data();
    lens.image_surface = count + 1;
    lens.aperture_stop = stop;
    lens.reference_surface = stop;
    lens.aperture_is_na = 0;
    lens.entrance_beam_radius = ebr;
    lens.field_is_angle = 1;
    lens.field_angle = field_deg * M_PI / 180.0;
    lens_flags().materials_changed = 0;
    if (lens_setup(0) != 0) return false;
    for (int n = 1; n <= count; ++n) surface(n).index = s[n - 1].medium;
    reset_ray_trace_state();
    reset_pupil_scale_factors();
    reset_object_point();
    install_derived_rays();
    install_ray_aiming();
    return true;
}

// The benchmark triplet (f = 50, 15 degrees), with a plane stop of its own after the first
// element.
bool make_triplet() {
    return make_lens(kInfiniteDistance,
                     {{21.48, 2.0, g_glass_a},
                      {-124.1, 2.5, g_air},
                      {0.0, 2.76, g_air},
                      {-19.1, 1.25, g_glass_b},
                      {22.0, 4.69, g_air},
                      {328.9, 2.25, g_glass_a},
                      {-16.7, 43.0, g_air}},
                     3, 5.0, 15.0);
}

// The wide-angle lens: glass shells of radius 20 about a common centre, the stop there, 80
// degrees of field.
bool make_wide_angle() {
    return make_lens(kInfiniteDistance,
                     {{20.0, 20.0, g_shell}, {0.0, 20.0, g_shell}, {-20.0, 40.0, g_air}}, 2, 2.0,
                     80.0);
}

// set_object_point at field 0, 0.7 and 1 (argument 0, 7, 10), with the normal aim (second
// argument 0) or wide-angle aiming (1).
void BM_SetObjectPoint(benchmark::State& state) {
    if (!make_triplet()) {
        state.SkipWithError("the triplet cannot be set up");
        return;
    }
    lens_data().wide_angle = static_cast<std::uint8_t>(state.range(1));
    object_point().y = static_cast<double>(state.range(0)) / 10.0;
    int failed = 0;
    for (auto _ : state) {
        failed += set_object_point() != 0;
        benchmark::DoNotOptimize(reference_ray().ray.y);
    }
    state.counters["failed"] = failed;
    lens_data().wide_angle = 0;
}
BENCHMARK(BM_SetObjectPoint)
    ->ArgNames({"field_x10", "wide"})
    ->Args({0, 0})
    ->Args({7, 0})
    ->Args({10, 0})
    ->Args({0, 1})
    ->Args({7, 1})
    ->Args({10, 1});

// The marginal ray of the 0.7 field as a fractional ray: its point on the stop by Newton steps.
void BM_FractionalMarginalRay(benchmark::State& state) {
    if (!make_triplet()) {
        state.SkipWithError("the triplet cannot be set up");
        return;
    }
    object_point().y = 0.7;
    set_object_point();
    int failed = 0;
    for (auto _ : state) {
        RayRecord r{};
        r.obj_y = 0.7;
        r.pup_y = 1.0;
        trace_fractional_ray(r, kRayFractional, 0.0, 0.0, 0, nullptr);
        failed += r.failure != 0;
        benchmark::DoNotOptimize(r.y);
    }
    state.counters["failed"] = failed;
}
BENCHMARK(BM_FractionalMarginalRay);

// Counts the back traces of the aiming: each starts by asking the sag of the reference surface.
int g_back_traces = 0;
void (*g_sag)(const SurfaceRecord&, double, double, SagPoint&) = nullptr;
void counting_sag(const SurfaceRecord& s, double x, double y, SagPoint& out) {
    ++g_back_traces;
    g_sag(s, x, y, out);
}

// An aimed ray of the 80 degree field of the wide-angle lens, the aiming cache warm (the centre
// solution and the pupil scale factors of the field made before the timing).
void BM_WideAngleAimedRay(benchmark::State& state) {
    if (!make_wide_angle()) {
        state.SkipWithError("the wide-angle lens cannot be set up");
        return;
    }
    lens_data().wide_angle = 1;
    RayRecord warm{};
    warm.kind = kRayKept;
    warm.obj_y = 1.0;
    setup_ray_at_object(warm, nullptr);
    g_sag = trace_seams().surface_sag_normal;
    trace_seams().surface_sag_normal = counting_sag;
    g_back_traces = 0;
    int failed = 0;
    for (auto _ : state) {
        RayRecord r{};
        r.kind = kRayKept;
        r.obj_y = 1.0;
        r.pup_x = 0.3;
        r.pup_y = 0.6;
        setup_ray_at_object(r, nullptr);
        failed += r.failure != 0;
        benchmark::DoNotOptimize(r.k);
    }
    trace_seams().surface_sag_normal = g_sag;
    state.counters["back_traces_per_ray"] =
        static_cast<double>(g_back_traces) / static_cast<double>(state.iterations());
    state.counters["failed"] = failed;
    lens_data().wide_angle = 0;
}
BENCHMARK(BM_WideAngleAimedRay);

// The 21 rays of a y fan of the 0.7 field, copies of the reference ray traced two at a time to
// the stop and on to the image, measured against the reference: ray-surfaces per second.
void BM_FanRays(benchmark::State& state) {
    if (!make_triplet()) {
        state.SkipWithError("the triplet cannot be set up");
        return;
    }
    object_point().y = 0.7;
    set_object_point();
    const RayRecord& ref = reference_ray().ray;
    const int rfs = lens_data().reference_surface, image = lens_data().image_surface;
    std::int64_t ray_surfaces = 0;
    RayRecord pair[2];
    for (auto _ : state) {
        for (int i = 0; i < 21; i += 2) {
            const int n = i + 1 < 21 ? 2 : 1;
            for (int j = 0; j < n; ++j) {
                pair[j] = ref;
                pair[j].kind = kRayMeasured;
                pair[j].pup_y = 1.0 - 0.1 * (i + j);
                setup_ray_at_object(pair[j], nullptr);
            }
            if (n == 2) {
                trace_pair_to_surface(pair[0], pair[1], rfs, nullptr, nullptr);
                trace_pair_to_surface(pair[0], pair[1], image, nullptr, nullptr);
            } else {
                trace_to_surface(pair[0], image);
            }
            for (int j = 0; j < n; ++j) {
                if (pair[j].failure == 0) ray_errors_vs_reference(pair[j], true);
                ray_surfaces += pair[j].surface;
            }
            benchmark::DoNotOptimize(pair[0].opd);
        }
    }
    state.counters["ray_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(ray_surfaces), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FanRays);

// The speed test's second pass: 13 surfaces per ray, of which its printed rate counts 10.
void BM_SpeedTestPass(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const SpeedTestRay r = speed_test_pass(n, 13);
        benchmark::DoNotOptimize(r.m);
    }
    state.counters["counted_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(n) * 10.0 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(n) * 13.0 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpeedTestPass)->Arg(100000);

}  // namespace
