// The two-lane build of the lane kernel, in the SSE2 every x86-64 processor has.
#include <emmintrin.h>

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

#define LANE_KERNEL_NAMESPACE lane_sse2
#define LANE_KERNEL_WIDTH 2
#include "trace/lane_kernel.h"
