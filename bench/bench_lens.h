// The lens arrays for the benchmarks, made once with the settings a start would give them and
// the glass catalogues of the built installation, so that a benchmark measures only its work.
#pragma once

// Lays out the settings and allocates the lens arrays on the first call; false when that fails.
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
