// The lens arrays for the benchmarks, made with the settings a start would give them and the
// glass catalogues of the built installation but without the program, so that a benchmark
// measures only its work.
#pragma once

// Lays out the settings and allocates the lens arrays unless they are the current bench state
// already (bench_state.h), taking the started program down first; false when that fails. The
// trace seams and paraxial hooks are those of a fresh process on every return: a benchmark
// installs the ones it measures afterwards. The lens in the arrays is whatever the last benchmark
// left: a benchmark makes its own.
bool prepare_bench_lens_arrays();

// The 10-surface lens of the set-up and spot-diagram benchmarks: five singlets of index 1.6
// (radii 80 and -120, 4 thick, 6 apart), object at infinity, field 0.1 rad, beam radius 5, stop
// on surface 5, image on surface 11. The indices live in the caller's arrays; the lens is not set
// up. False when the arrays or the new lens cannot be made.
struct TenSurfaceLens {
    double glass[10];
    double air[10];
};
bool make_ten_surface_lens(TenSurfaceLens& t);
