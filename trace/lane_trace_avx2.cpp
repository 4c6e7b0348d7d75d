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

#pragma GCC push_options
#pragma GCC target("avx2,no-fma")
#define LANE_KERNEL_NAMESPACE lane_avx2
#define LANE_KERNEL_WIDTH 4
#include "trace/lane_kernel.h"
#pragma GCC pop_options
