#include "numeric/fft.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>

namespace {

bool is_power_of_two(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// In-place transforms of `count` interleaved sequences of n complex values each. Value k of
// sequence s lies at complex index k * step + s: with count 1 and step 1 this is one row; with
// count = cols and step = cols it is every column at once, which walks memory row by row
// instead of striding down each column. sign +1 or -1 is the sign of the kernel's exponent.
void fft_sequences(double* data, std::size_t n, std::size_t step, std::size_t count, double sign) {
    auto at = [data, step](std::size_t k) { return data + 2 * k * step; };

    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (j > i) std::swap_ranges(at(i), at(i) + 2 * count, at(j));
        std::size_t bit = n >> 1;
        while (bit >= 1 && j >= bit) {
            j -= bit;
            bit >>= 1;
        }
        j += bit;
    }

    for (std::size_t span = 1; span < n; span *= 2) {
        const double theta = sign * std::numbers::pi / static_cast<double>(span);
        const double half_sine = std::sin(0.5 * theta);
        // The twiddle advances by a recurrence rather than a sine per step; the -2 sin^2 form
        // keeps the rounding error of the recurrence small.
        const double wpr = -2.0 * half_sine * half_sine;
        const double wpi = std::sin(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (std::size_t m = 0; m < span; ++m) {
            for (std::size_t i = m; i < n; i += 2 * span) {
                double* low = at(i);
                double* high = at(i + span);
                for (std::size_t s = 0; s < 2 * count; s += 2) {
                    const double tr = wr * high[s] - wi * high[s + 1];
                    const double ti = wr * high[s + 1] + wi * high[s];
                    high[s] = low[s] - tr;
                    high[s + 1] = low[s + 1] - ti;
                    low[s] += tr;
                    low[s + 1] += ti;
                }
            }
            const double old_wr = wr;
            wr += wr * wpr - wi * wpi;
            wi += wi * wpr + old_wr * wpi;
        }
    }
}

}  // namespace

int fft_2d(const double* source, double* destination, int rows, int cols, int inverse) {
    if (!is_power_of_two(rows) || !is_power_of_two(cols) ||
        static_cast<long long>(rows) * cols > kMaxFftValues) {
        return kMsgBadFftSize;
    }
    const auto n_rows = static_cast<std::size_t>(rows);
    const auto n_cols = static_cast<std::size_t>(cols);
    const std::size_t count = n_rows * n_cols;
    if (source != destination) std::copy(source, source + 2 * count, destination);

    const double sign = inverse != 0 ? -1.0 : 1.0;
    for (std::size_t r = 0; r < n_rows; ++r) {
        fft_sequences(destination + 2 * r * n_cols, n_cols, 1, 1, sign);
    }
    fft_sequences(destination, n_rows, n_cols, n_cols, sign);

    if (inverse != 0) {
        const double scale = 1.0 / static_cast<double>(count);
        for (std::size_t k = 0; k < 2 * count; ++k) destination[k] *= scale;
    }
    return 0;
}
