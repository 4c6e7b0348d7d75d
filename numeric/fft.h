// Two-dimensional complex FFT (radix 2).
#pragma once

#include "tables/table_names.h"

// Largest number of complex values one transform takes.
constexpr long long kMaxFftValues = 1LL << 30;

// Transforms rows x cols complex values (pairs of doubles, real then imaginary, row after
// row) from source into destination; source may equal destination to transform in place.
// Inverse flag 0: kernel exp(+2 pi i jk / N), unscaled. Otherwise kernel exp(-2 pi i jk / N)
// and every value divided by rows x cols, so the inverse undoes the forward transform.
// Returns 0, or -70 with the destination untouched when rows or cols is not a power of two
// or the grid is larger than kMaxFftValues.
int fft_2d(const double* source, double* destination, int rows, int cols, int inverse);
