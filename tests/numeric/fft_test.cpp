#include "numeric/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// rows x cols complex values, interleaved.
std::vector<double> grid(int rows, int cols) {
    return std::vector<double>(2 * static_cast<std::size_t>(rows) * cols, 0.0);
}

std::vector<double> pseudo_random_grid(int rows, int cols) {
    std::vector<double> data = grid(rows, cols);
    unsigned state = 2024;
    for (double& v : data) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    }
    return data;
}

// The two-dimensional DFT by its defining double sum, with kernel exp(sign 2 pi i (...)).
std::vector<double> direct_dft(const std::vector<double>& in, int rows, int cols, double sign) {
    std::vector<double> out = grid(rows, cols);
    for (int u = 0; u < rows; ++u) {
        for (int v = 0; v < cols; ++v) {
            double re = 0.0;
            double im = 0.0;
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < cols; ++c) {
                    const double angle =
                        sign * kTwoPi *
                        (static_cast<double>(u * r) / rows + static_cast<double>(v * c) / cols);
                    const double a = in[2 * (r * cols + c)];
                    const double b = in[2 * (r * cols + c) + 1];
                    re += a * std::cos(angle) - b * std::sin(angle);
                    im += a * std::sin(angle) + b * std::cos(angle);
                }
            }
            out[2 * (u * cols + v)] = re;
            out[2 * (u * cols + v) + 1] = im;
        }
    }
    return out;
}

TEST(Fft, DeltaTransformsToAPhaseRamp) {
    // A unit impulse at (1, 3) of a 4 x 8 grid: the forward kernel exp(+2 pi i ...) gives
    // exp(+2 pi i (u / 4 + 3 v / 8)) at (u, v).
    const int rows = 4;
    const int cols = 8;
    std::vector<double> in = grid(rows, cols);
    in[2 * (1 * cols + 3)] = 1.0;
    std::vector<double> out = grid(rows, cols);
    ASSERT_EQ(fft_2d(in.data(), out.data(), rows, cols, 0), 0);
    for (int u = 0; u < rows; ++u) {
        for (int v = 0; v < cols; ++v) {
            const double angle = kTwoPi * (u / 4.0 + 3.0 * v / 8.0);
            EXPECT_NEAR(out[2 * (u * cols + v)], std::cos(angle), 1e-14) << u << "," << v;
            EXPECT_NEAR(out[2 * (u * cols + v) + 1], std::sin(angle), 1e-14) << u << "," << v;
        }
    }
}

TEST(Fft, CosineAndComplexExponentialOfOneRow) {
    // cos(2 pi 3 j / 16): two real lines of height 8 at 3 and 13.
    const int n = 16;
    std::vector<double> data = grid(1, n);
    for (int j = 0; j < n; ++j) data[2 * j] = std::cos(kTwoPi * 3 * j / n);
    ASSERT_EQ(fft_2d(data.data(), data.data(), 1, n, 0), 0);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(data[2 * k], (k == 3 || k == 13) ? 8.0 : 0.0, 1e-13) << k;
        EXPECT_NEAR(data[2 * k + 1], 0.0, 1e-13) << k;
    }
    // exp(+2 pi i 5 j / 16): the forward kernel's sign puts the line at 16 - 5 = 11; the
    // inverse kernel at 5, scaled by 1 / 16.
    for (int inverse : {0, 1}) {
        for (int j = 0; j < n; ++j) {
            data[2 * j] = std::cos(kTwoPi * 5 * j / n);
            data[2 * j + 1] = std::sin(kTwoPi * 5 * j / n);
        }
        ASSERT_EQ(fft_2d(data.data(), data.data(), 1, n, inverse), 0);
        const int line = inverse ? 5 : 11;
        const double height = inverse ? 1.0 : 16.0;
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(data[2 * k], k == line ? height : 0.0, 1e-13) << inverse << " " << k;
            EXPECT_NEAR(data[2 * k + 1], 0.0, 1e-13) << inverse << " " << k;
        }
    }
}

TEST(Fft, MatchesTheDirectSumInBothDirections) {
    for (const auto& [rows, cols] :
         {std::pair{4, 8}, std::pair{8, 2}, std::pair{1, 32}, std::pair{16, 1}, std::pair{1, 1}}) {
        SCOPED_TRACE(testing::Message() << rows << " x " << cols);
        const std::vector<double> in = pseudo_random_grid(rows, cols);
        std::vector<double> forward = grid(rows, cols);
        ASSERT_EQ(fft_2d(in.data(), forward.data(), rows, cols, 0), 0);
        const std::vector<double> expected = direct_dft(in, rows, cols, +1.0);
        for (std::size_t k = 0; k < in.size(); ++k) EXPECT_NEAR(forward[k], expected[k], 1e-12);

        std::vector<double> backward = grid(rows, cols);
        ASSERT_EQ(fft_2d(in.data(), backward.data(), rows, cols, 1), 0);
        const std::vector<double> expected_back = direct_dft(in, rows, cols, -1.0);
        const double scale = 1.0 / (rows * cols);
        for (std::size_t k = 0; k < in.size(); ++k) {
            EXPECT_NEAR(backward[k], expected_back[k] * scale, 1e-13);
        }
    }
}

TEST(Fft, InverseOfForwardReturnsTheInput) {
    const int rows = 128;
    const int cols = 64;
    const std::vector<double> in = pseudo_random_grid(rows, cols);
    std::vector<double> work = in;
    ASSERT_EQ(fft_2d(work.data(), work.data(), rows, cols, 0), 0);
    ASSERT_EQ(fft_2d(work.data(), work.data(), rows, cols, 1), 0);
    for (std::size_t k = 0; k < in.size(); ++k) ASSERT_NEAR(work[k], in[k], 1e-13) << k;
}

TEST(Fft, InPlaceAndCopyingAgreeAndTheSourceIsKept) {
    const std::vector<double> in = pseudo_random_grid(8, 16);
    std::vector<double> source = in;
    std::vector<double> out = grid(8, 16);
    ASSERT_EQ(fft_2d(source.data(), out.data(), 8, 16, 0), 0);
    EXPECT_EQ(source, in);
    ASSERT_EQ(fft_2d(source.data(), source.data(), 8, 16, 0), 0);
    EXPECT_EQ(source, out);
}

TEST(Fft, SizesThatAreNotPowersOfTwoAreRefused) {
    const std::vector<double> in = pseudo_random_grid(16, 16);
    for (const auto& [rows, cols] :
         {std::pair{3, 4}, std::pair{4, 12}, std::pair{0, 4}, std::pair{4, 0}, std::pair{-4, 4},
          std::pair{4, -8}, std::pair{1 << 16, 1 << 15}}) {
        SCOPED_TRACE(testing::Message() << rows << " x " << cols);
        std::vector<double> out(in.size(), 7.0);
        EXPECT_EQ(fft_2d(in.data(), out.data(), rows, cols, 0), kMsgBadFftSize);
        for (double v : out) ASSERT_EQ(v, 7.0);
    }
}

}  // namespace
