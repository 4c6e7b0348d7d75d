// The sag of a surface at one point of its local frame, with the unit normal there.
#pragma once

#include <cstdint>

struct SagPoint {
    double x;
    double y;
    double z;                  // sag at (x, y)
    double nx, ny, nz;         // unit normal; nz is positive
    std::int32_t beyond_edge;  // 1 when the point lies outside the surface's defined region
};
