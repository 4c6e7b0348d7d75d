// Square root for the trace's hot path, of a value the caller has already checked to be
// positive (a discriminant at least kDiscriminantZero).
//
// std::sqrt must keep a way to set errno for a negative argument. In the large surface step
// GCC keeps that as a call into the library on every surface, with every live floating-point
// register spilled around it. The SSE2 instruction gives the same correctly rounded result.
#pragma once

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

[[gnu::always_inline]] inline double checked_sqrt(double x) {
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x)));
#else
    return std::sqrt(x);
#endif
}
