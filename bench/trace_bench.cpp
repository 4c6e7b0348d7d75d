// Real rays through a spherical Cooke triplet: a fixed set of rays over three field points,
// measured against the reference ray (surface apertures checked, optical path and failure
// codes kept). Reports ray-surfaces per second on one core, beside a bare scalar loop that
// traces the same rays through the same spheres from the same start points, as a plain
// textbook loop would: the yardstick for the trace's lanes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/bench_lens.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "trace/lane_trace.h"
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
    lens_flags().materials_changed = 0;
    if (lens_setup(0) != 0) return false;
    for (int n = 0; n <= 7; ++n) surface(n).index = n == 0 || n == 7 ? t.air : media[n - 1];
    const double field = 15.0 * M_PI / 180.0;
    lens.object_height = -std::tan(field) * kInfiniteDistance;
    lens.axial_start_height = 5.0;
    lens.chief_start_height = 0.0;
    return true;
}

// The triplet's rays: a 21 x 21 pupil grid inside the unit circle at three field points, with
// the reference ray and reference-sphere radius of each field. False when the lens cannot be
// made or traced.
struct TripletRays {
    std::vector<RayRecord> rays;
    RayRecord references[3];
    double radii[3];
    std::size_t per_field;
};

bool make_triplet_rays(Triplet& triplet, TripletRays& t, benchmark::State& state) {
    if (!make_triplet(triplet)) {
        state.SkipWithError("the lens arrays cannot be made");
        return false;
    }
    const double fields[] = {0.0, 0.7, 1.0};
    t.rays.clear();
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
                t.rays.push_back(r);
            }
        }
    }
    for (int k = 0; k < 3; ++k) {
        t.references[k] = RayRecord{};
        t.references[k].kind = kRayReference;
        t.references[k].obj_y = fields[k];
        trace_ray(t.references[k]);
    }
    // The reference sphere of each field: centred on the reference ray's image point, through
    // the exit pupil, where the chief ray of the 0.7 field crosses the axis.
    const RayRecord& mid = t.references[1];
    if (mid.failure != 0 || std::fabs(mid.l) < 1e-12) {
        state.SkipWithError("the reference rays cannot be traced");
        return false;
    }
    const double pupil_z = mid.z - mid.y * mid.m / mid.l;
    for (int k = 0; k < 3; ++k) {
        const RayRecord& ref = t.references[k];
        t.radii[k] = (ref.z - pupil_z) / ref.m;
    }
    t.per_field = t.rays.size() / 3;
    return true;
}

// Arguments: ray_set 1 traces the rays of each field through trace_rays together, as an
// analysis traces its ray set, 0 one by one through trace_ray; lanes 0 takes the processor's
// widest lane path, 2 forces the SSE2 path.
void BM_TraceTriplet(benchmark::State& state) {
    // Made on every entry: the benchmarks run between two of this one's may leave another lens.
    static Triplet triplet;
    TripletRays t;
    if (!make_triplet_rays(triplet, t, state)) return;
    std::vector<RayRecord>& rays = t.rays;
    const std::size_t per_field = t.per_field;
    // One pass before the timing: no ray may miss its reference sphere.
    trace_globals().sphere_missed = 0;
    for (std::size_t i = 0; i < rays.size(); ++i) {
        if (i % per_field == 0) {
            reference_ray().ray = t.references[i / per_field];
            reference_ray().sphere_radius = t.radii[i / per_field];
        }
        trace_ray(rays[i]);
    }
    state.counters["sphere_missed"] = trace_globals().sphere_missed;
    std::int64_t ray_surfaces = 0;
    std::int64_t failed = 0;
    const bool together = state.range(0) != 0;
    trace_globals().lane_width = static_cast<int>(state.range(1));
    const int width = together ? lane_width() : 1;
    for (auto _ : state) {
        for (std::size_t f = 0; f < 3; ++f) {
            reference_ray().ray = t.references[f];
            reference_ray().sphere_radius = t.radii[f];
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
    trace_globals().lane_width = 0;
    state.counters["lanes"] = width;
    state.counters["ray_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(ray_surfaces), benchmark::Counter::kIsRate);
    state.counters["failed_fraction"] =
        static_cast<double>(failed) / static_cast<double>(rays.size() * state.iterations());
}
BENCHMARK(BM_TraceTriplet)
    ->ArgNames({"ray_set", "lanes"})
    ->Args({1, 0})
    ->Args({1, kLanesSse2})
    ->Args({0, 0});

// The bare scalar loop: each ray from its set-up start point through the six spheres to the
// image plane, with the sphere met by the textbook quadratic, the circular apertures checked,
// Snell's law in vector form and the optical path summed; the differences from the reference
// ray at the image as the trace measures them (without the reference sphere). The same rays as
// BM_TraceTriplet and the same count of ray-surfaces.
struct BareRay {
    double x, y, z, k, l, m, opl;
};

struct BareSurface {
    double c, thickness, radius2, n_before, n_after;
};

void BM_TraceTripletBareLoop(benchmark::State& state) {
    static Triplet triplet;
    TripletRays t;
    if (!make_triplet_rays(triplet, t, state)) return;
    const int image = lens_data().image_surface;
    std::vector<BareSurface> surfaces(static_cast<std::size_t>(image) + 1);
    for (int n = 1; n <= image; ++n) {
        const SurfaceRecord& s = surface(n);
        const double r = s.aperture_check ? s.aperture_radius * 1.000001 : 1e30;
        surfaces[static_cast<std::size_t>(n)] = {s.curvature, surface(n - 1).thickness, r * r,
                                                 surface(n - 1).index[0],
                                                 s.index != nullptr ? s.index[0] : 1.0};
    }
    // The start of every ray as the set-up leaves it, before surface 1.
    std::vector<BareRay> starts;
    for (RayRecord r : t.rays) {
        setup_ray_at_object(r, nullptr);
        starts.push_back({r.x, r.y, r.z, r.k, r.l, r.m, r.opl});
    }
    std::int64_t ray_surfaces = 0, failed = 0;
    for (auto _ : state) {
        for (std::size_t f = 0; f < 3; ++f) {
            const RayRecord& ref = t.references[f];
            for (std::size_t i = f * t.per_field; i < (f + 1) * t.per_field; ++i) {
                BareRay r = starts[i];
                int reached = 0;
                bool ok = true;
                for (int n = 1; n <= image && ok; ++n) {
                    const BareSurface& s = surfaces[static_cast<std::size_t>(n)];
                    if (n > 1) r.z -= s.thickness;
                    reached = n;
                    double d;
                    if (s.c == 0.0) {
                        d = -r.z / r.m;
                    } else {
                        const double b = r.m - s.c * (r.x * r.k + r.y * r.l + r.z * r.m);
                        const double cc = s.c * (r.x * r.x + r.y * r.y + r.z * r.z) - 2.0 * r.z;
                        const double disc = b * b - s.c * cc;
                        if (disc < 0.0) {
                            ok = false;
                            break;
                        }
                        d = cc / (b + std::sqrt(disc));
                    }
                    r.x += d * r.k;
                    r.y += d * r.l;
                    r.z += d * r.m;
                    r.opl += d * s.n_before;
                    if (r.x * r.x + r.y * r.y > s.radius2) {
                        ok = false;
                        break;
                    }
                    if (n == image || s.n_after == s.n_before) continue;
                    const double nx = -s.c * r.x, ny = -s.c * r.y, nz = 1.0 - s.c * r.z;
                    const double cos_i = nx * r.k + ny * r.l + nz * r.m;
                    const double mu = s.n_before / s.n_after;
                    const double disc2 = 1.0 - mu * mu * (1.0 - cos_i * cos_i);
                    if (disc2 < 0.0) {
                        ok = false;
                        break;
                    }
                    const double g = std::sqrt(disc2) - mu * cos_i;
                    r.k = mu * r.k + g * nx;
                    r.l = mu * r.l + g * ny;
                    r.m = mu * r.m + g * nz;
                }
                ray_surfaces += reached;
                failed += !ok;
                const double dx = r.x - ref.x, dy = r.y - ref.y;
                benchmark::DoNotOptimize(dx * dx + dy * dy + r.opl);
            }
        }
    }
    state.counters["ray_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(ray_surfaces), benchmark::Counter::kIsRate);
    state.counters["failed_fraction"] =
        static_cast<double>(failed) / static_cast<double>(t.rays.size() * state.iterations());
}
BENCHMARK(BM_TraceTripletBareLoop);

}  // namespace
