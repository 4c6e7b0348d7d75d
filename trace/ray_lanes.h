// Two rays traced side by side: a pair of doubles that the plain surface step computes with
// exactly the operations it applies to one double, so that each lane's result is the one the
// single trace gives, bit for bit, at about the cost of one ray for the arithmetic.
//
// The step is written once as a template over its number type. Where one ray branches on a
// value, two rays may go different ways: those places call the helpers below, which for one
// double take the branch and for a pair either compute both ways and choose per lane, or report
// that the pair must be split (any_lane) so that each ray goes on alone.
#pragma once

#include <cmath>
#include <cstdint>

#include "trace/checked_sqrt.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using RayPair = double __attribute__((vector_size(16)));
using RayPairMask = std::int64_t __attribute__((vector_size(16)));

// The lane type of a number type.
template <class T>
struct LaneTraits;
template <>
struct LaneTraits<double> {
    using Mask = bool;
};
template <>
struct LaneTraits<RayPair> {
    using Mask = RayPairMask;
};
template <class T>
using LaneMask = typename LaneTraits<T>::Mask;

[[gnu::always_inline]] inline RayPair ray_pair(double a, double b) {
    return RayPair{a, b};
}

// One value in every lane.
template <class T>
[[gnu::always_inline]] inline T lane_splat(double v) {
    if constexpr (sizeof(T) == sizeof(double)) {
        return v;
    } else {
        return T{v, v};
    }
}

// The value of one lane.
[[gnu::always_inline]] inline double lane_value(double v, int) {
    return v;
}
[[gnu::always_inline]] inline double lane_value(RayPair v, int lane) {
    return v[lane];
}

[[gnu::always_inline]] inline bool any_lane(bool m) {
    return m;
}
[[gnu::always_inline]] inline bool any_lane(RayPairMask m) {
    return (m[0] | m[1]) != 0;
}

// !(v >= limit): below the limit or not a number.
[[gnu::always_inline]] inline bool not_at_least(double v, double limit) {
    return !(v >= limit);
}
[[gnu::always_inline]] inline RayPairMask not_at_least(RayPair v, double limit) {
    return ~(v >= limit);
}

[[gnu::always_inline]] inline double lane_sqrt(double v) {
    return checked_sqrt(v);
}
[[gnu::always_inline]] inline RayPair lane_sqrt(RayPair v) {
#if defined(__SSE2__)
    return reinterpret_cast<RayPair>(_mm_sqrt_pd(reinterpret_cast<__m128d>(v)));
#else
    return RayPair{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}

[[gnu::always_inline]] inline double lane_abs(double v) {
    return std::fabs(v);
}
[[gnu::always_inline]] inline RayPair lane_abs(RayPair v) {
    const RayPairMask magnitude = ~RayPairMask{INT64_MIN, INT64_MIN};
    return reinterpret_cast<RayPair>(reinterpret_cast<RayPairMask>(v) & magnitude);
}

// -v where the condition holds, else v.
[[gnu::always_inline]] inline double negate_where(bool c, double v) {
    return c ? -v : v;
}
[[gnu::always_inline]] inline RayPair negate_where(RayPairMask c, RayPair v) {
    const RayPairMask sign = c & RayPairMask{INT64_MIN, INT64_MIN};
    return reinterpret_cast<RayPair>(reinterpret_cast<RayPairMask>(v) ^ sign);
}

// v / d where d is not exactly 1. Dividing by exactly 1 gives v unchanged, so a pair divides
// both lanes when either needs it.
[[gnu::always_inline]] inline double divide_unless_one(double v, double d) {
    return d != 1.0 ? v / d : v;
}
[[gnu::always_inline]] inline RayPair divide_unless_one(RayPair v, RayPair d) {
    return any_lane(d != 1.0) ? v / d : v;
}
