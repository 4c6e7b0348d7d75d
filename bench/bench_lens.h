// The lens arrays for the benchmarks, made once with the settings a start would give them and
// the glass catalogues of the built installation, so that a benchmark measures only its work.
#pragma once

// Lays out the settings and allocates the lens arrays on the first call; false when that fails.
bool prepare_bench_lens_arrays();
