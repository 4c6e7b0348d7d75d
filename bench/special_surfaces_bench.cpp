// Rays through the surfaces that bend by other means than refraction: a selfoc rod traced at
// 50 and 500 integration steps (steps per second), and a Cooke triplet with a grating, a
// diffractive surface or a perfect lens in place of one of its surfaces (ray-surfaces per
// second, to set beside the plain triplet's). Each starts from a new lens, whatever lens an
// earlier benchmark left set up, and puts the new lens back afterwards: its surfaces point at
// records of the benchmark's own.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/bench_lens.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "trace/grin_propagation.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/special_surfaces.h"

namespace {

constexpr int kSurfaces = 8;

// Saves the records the benchmark changes and puts them back when it ends.
class LensRestore {
public:
    LensRestore() : lens_(lens_data()) {
        for (int n = 0; n < kSurfaces; ++n) surfaces_.push_back(surface(n));
    }
    ~LensRestore() {
        lens_data() = lens_;
        for (int n = 0; n < kSurfaces; ++n) surface(n) = surfaces_[static_cast<std::size_t>(n)];
    }

private:
    LensData lens_;
    std::vector<SurfaceRecord> surfaces_;
};

struct Media {
    double air[10], glass_a[10], glass_b[10], rod[10];
    Media() {
        for (int i = 0; i < 10; ++i) {
            air[i] = 1.0;
            glass_a[i] = 1.6204;
            glass_b[i] = 1.6034;
            rod[i] = 1.6;
        }
    }
};

// A triplet, object at infinity, plane image 43 behind the last surface, on a new lens; no
// set-up run: the trace reads only what is set here and what the new lens gives.
void make_triplet(Media& m) {
    const double radius[] = {21.48, -124.1, -19.1, 22.0, 328.9, -16.7};
    const double thick[] = {2.0, 5.26, 1.25, 4.69, 2.25, 43.0};
    double* media[] = {m.glass_a, m.air, m.glass_b, m.air, m.glass_a, m.air};
    for (int n = 0; n < kSurfaces; ++n) {
        SurfaceRecord& s = surface(n);
        s.curvature = 0.0;
        s.conic = 0.0;
        s.thickness = 0.0;
        s.index = m.air;
        s.grin = nullptr;
        s.diffractive = nullptr;
        s.hologram = nullptr;
        s.perfect_lens = nullptr;
        s.grating_spacing = 0.0;
        s.decentre = nullptr;
        s.aperture_check = 0;
        s.special_aperture_count = 0;
        s.plain_mark = 0;
    }
    surface(0).thickness = 1e10;
    double z = 0.0;
    for (int n = 1; n <= 6; ++n) {
        surface(n).curvature = 1.0 / radius[n - 1];
        surface(n).thickness = thick[n - 1];
        surface(n).index = media[n - 1];
        surface(n).vertex_position = z;
        z += thick[n - 1];
    }
    surface(7).vertex_position = z;
    LensData& lens = lens_data();
    lens.image_surface = 7;
    lens.object_height = -std::tan(10.0 * M_PI / 180.0) * 1e10;
    lens.axial_start_height = 5.0;
    lens.chief_start_height = 0.0;
    lens.epxy = 1;
    lens.units = 1.0;
    lens.wavelength_count = 1;
    lens.wavelengths[0].wavelength = 0.58756;
}

std::vector<RayRecord> pupil_rays() {
    std::vector<RayRecord> rays;
    for (double f : {0.0, 0.7, 1.0}) {
        for (int i = -10; i <= 10; ++i) {
            for (int j = -10; j <= 10; ++j) {
                const double px = i / 10.0, py = j / 10.0;
                if (px * px + py * py > 1.0) continue;
                RayRecord r{};
                r.kind = kRayPlain;
                r.obj_y = f;
                r.pup_x = px;
                r.pup_y = py;
                rays.push_back(r);
            }
        }
    }
    return rays;
}

void run_triplet(benchmark::State& state) {
    std::vector<RayRecord> rays = pupil_rays();
    std::int64_t ray_surfaces = 0, failed = 0;
    for (auto _ : state) {
        for (RayRecord& r : rays) {
            trace_ray(r);
            ray_surfaces += r.surface;
            failed += r.failure != 0;
        }
        benchmark::DoNotOptimize(rays.back().opl);
    }
    state.counters["ray_surfaces_per_s"] =
        benchmark::Counter(static_cast<double>(ray_surfaces), benchmark::Counter::kIsRate);
    state.counters["failed_fraction"] =
        static_cast<double>(failed) / static_cast<double>(rays.size() * state.iterations());
}

// Argument: 0 the plain triplet, 1 a grating on surface 4, 2 a diffractive surface on surface 4,
// 3 a perfect lens in place of surface 4.
void BM_SpecialSurfaceTriplet(benchmark::State& state) {
    if (!prepare_bench_lens_arrays() || lens_new() != 0) {
        state.SkipWithError("the lens arrays cannot be made");
        return;
    }
    LensRestore restore;
    install_special_surfaces();
    Media media;
    make_triplet(media);
    double coefficients[3] = {0.0, -1e-4, 0.0};
    DiffractiveRecord diffractive{};
    diffractive.kind = 0;
    diffractive.working_count = 3;
    diffractive.working = coefficients;
    diffractive.design_wavelength = 0.58756;
    PerfectLensRecord perfect{200.0, 0.0};
    SurfaceRecord& s = surface(4);
    switch (state.range(0)) {
        case 1:
            s.grating_spacing = 0.1;
            s.diffraction_order = 1;
            break;
        case 2:
            s.diffractive = &diffractive;
            s.diffraction_order = 1;
            break;
        case 3:
            s.curvature = 0.0;
            s.perfect_lens = &perfect;
            break;
        default:
            break;
    }
    run_triplet(state);
}
BENCHMARK(BM_SpecialSurfaceTriplet)->ArgName("kind")->Arg(0)->Arg(1)->Arg(2)->Arg(3);

// A selfoc rod 20 long (n_b 1.6, R1 0.1) between plane ends; argument: integration steps along
// the rod.
void BM_SelfocRod(benchmark::State& state) {
    if (!prepare_bench_lens_arrays() || lens_new() != 0) {
        state.SkipWithError("the lens arrays cannot be made");
        return;
    }
    LensRestore restore;
    install_special_surfaces();
    install_grin_propagation();
    Media media;
    make_triplet(media);
    const double length = 20.0;
    const int steps = static_cast<int>(state.range(0));
    double r1[10], zero[10] = {};
    for (double& v : r1) v = 0.1;
    double* rows[8] = {r1, zero, zero, zero, zero, zero, zero, zero};
    GrinRecord grin{};
    grin.kind = 10;
    grin.coefficients = rows;
    // The integration parameter advances z by about n_b per unit.
    grin.step = length / (steps * 1.6);
    for (int n = 1; n <= 6; ++n) surface(n).curvature = 0.0;
    surface(1).grin = &grin;
    surface(1).index = media.rod;
    surface(1).thickness = length;
    surface(2).index = media.air;
    surface(2).thickness = 10.0;
    lens_data().image_surface = 3;
    surface(2).vertex_position = length;
    surface(3).vertex_position = length + 10.0;
    lens_data().object_height = 0.0;
    lens_data().axial_start_height = 2.0;
    std::vector<RayRecord> rays;
    for (int j = -10; j <= 10; ++j) {
        RayRecord r{};
        r.pup_y = j / 10.0;
        rays.push_back(r);
    }
    std::int64_t traced = 0, failed = 0;
    for (auto _ : state) {
        for (RayRecord& r : rays) {
            trace_ray(r);
            failed += r.failure != 0;
            ++traced;
        }
        benchmark::DoNotOptimize(rays.back().opl);
    }
    state.counters["steps_per_s"] =
        benchmark::Counter(static_cast<double>(traced) * steps, benchmark::Counter::kIsRate);
    state.counters["failed_fraction"] = static_cast<double>(failed) / static_cast<double>(traced);
}
BENCHMARK(BM_SelfocRod)->ArgName("steps")->Arg(50)->Arg(500);

}  // namespace
