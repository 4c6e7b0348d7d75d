#include "runtime/fft.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>

namespace {

bool is_power_of_two(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// In-place transform of n complex values that lie stride values apart; sign +1 or -1 gives the
// sign of the exponent of the kernel.
void fft_1d(double* data, std::size_t n, std::size_t stride, double sign) {
    auto re = [data, stride](std::size_t k) -> double& { return data[2 * k * stride]; };
    auto im = [data, stride](std::size_t k) -> double& { return data[2 * k * stride + 1]; };

    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (j > i) {
            std::swap(re(i), re(j));
            std::swap(im(i), im(j));
        }
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
                const std::size_t k = i + span;
                const double tr = wr * re(k) - wi * im(k);
                const double ti = wr * im(k) + wi * re(k);
                re(k) = re(i) - tr;
                im(k) = im(i) - ti;
                re(i) += tr;
                im(i) += ti;
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
    for (std::size_t r = 0; r < n_rows; ++r) fft_1d(destination + 2 * r * n_cols, n_cols, 1, sign);
    for (std::size_t c = 0; c < n_cols; ++c) fft_1d(destination + 2 * c, n_rows, n_cols, sign);

    if (inverse != 0) {
        const double scale = 1.0 / static_cast<double>(count);
        for (std::size_t k = 0; k < 2 * count; ++k) destination[k] *= scale;
    }
    return 0;
}
