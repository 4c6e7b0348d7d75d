// The four-lane build of the lane kernel, compiled for AVX2 (without FMA, whose fused rounding
// would part from the scalar step's). lane_trace.cpp calls it only on a processor that has AVX2.
#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "lens/lens_data.h"
#include "trace/aperture_shapes.h"
#include "trace/general_intersect.h"
#include "trace/lane_paths.h"
#include "trace/lane_trace.h"
#include "trace/ray_record.h"
#include "trace/trace_seams.h"
#include "trace/trace_tolerances.h"

// Only the kernel is compiled for AVX2: the inline functions of the headers above must stay
// plain, or the linker could keep their AVX2 copies for the whole program.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,no-fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,no-fma")
#endif
#define LANE_KERNEL_NAMESPACE lane_avx2
#define LANE_KERNEL_WIDTH 4
#include "trace/lane_kernel.h"
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
