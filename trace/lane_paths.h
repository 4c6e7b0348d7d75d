// The two builds of the lane kernel (trace/lane_kernel.h): four lanes for processors with AVX2,
// two for every x86-64. Only lane_trace.cpp calls them, after the processor check.
#pragma once

struct RayRecord;

namespace lane_avx2 {
int run_lanes(RayRecord* const* rays, int count, int last, double (*raw)[4]);
}
namespace lane_sse2 {
int run_lanes(RayRecord* const* rays, int count, int last, double (*raw)[4]);
}
