#include <benchmark/benchmark.h>

#include <vector>

#include "numeric/fft.h"
#include "numeric/linear_solvers.h"
#include "numeric/memory.h"

namespace {

// The image evaluation transforms pupil grids of this size, one per wavelength.
void BM_Fft2d128(benchmark::State& state) {
    const int n = 128;
    std::vector<double> grid(2 * n * n);
    for (std::size_t k = 0; k < grid.size(); ++k) grid[k] = static_cast<double>(k % 17) - 8.0;
    for (auto _ : state) {
        fft_2d(grid.data(), grid.data(), n, n, 0);
        fft_2d(grid.data(), grid.data(), n, n, 1);
        benchmark::DoNotOptimize(grid.data());
    }
    state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_Fft2d128);

// One least-squares step of an optimisation: 50 operands, 20 variables, copy mode so the
// matrix survives for the next iteration; the workspace is reused between iterations.
void BM_SvdLeastSquares50x20(benchmark::State& state) {
    const int m = 50;
    const int n = 20;
    double** a = alloc_matrix_of<double>(m, n);
    std::vector<double> b(m);
    std::vector<double> x(n);
    unsigned lcg_state = 7;
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < n; ++j) {
            lcg_state = lcg_state * 1103515245u + 12345u;
            a[i][j] = static_cast<double>((lcg_state >> 8) & 0xFFFF) / 65536.0 - 0.5;
        }
        b[i] = 0.01 * i;
    }
    for (auto _ : state) {
        if (svd_decompose(a, m, n, 1) != 0) state.SkipWithError("decomposition failed");
        benchmark::DoNotOptimize(svd_solve(0.0, b.data(), x.data()));
    }
    free_solver_workspace();
    free_matrix_of(a);
}
BENCHMARK(BM_SvdLeastSquares50x20);

}  // namespace
