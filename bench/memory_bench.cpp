#include "numeric/memory.h"

#include <benchmark/benchmark.h>

// Analyses make and free work matrices per call; this keeps an eye on what that costs.
static void BM_AllocMatrix(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        double** m = alloc_matrix_of<double>(n, n);
        benchmark::DoNotOptimize(m);
        free_matrix_of(m);
    }
}
BENCHMARK(BM_AllocMatrix)->Arg(8)->Arg(64)->Arg(512);
