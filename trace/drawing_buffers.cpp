#include "trace/drawing_buffers.h"

#include <cmath>

#include "numeric/memory.h"

namespace {

DrawingBuffers g_buffers;

constexpr double kArcStep = 0.17453292519943295;  // 10 degrees in radians

}  // namespace

DrawingBuffers& drawing_buffers() {
    return g_buffers;
}

int init_lens_drawing() {
    DrawingBuffers& b = g_buffers;
    if (b.points == nullptr) b.points = alloc_matrix_of<double>(kDrawingPointRows, 3);
    if (b.rim == nullptr) b.rim = alloc_matrix_of<double>(6, 3);
    if (b.points == nullptr || b.rim == nullptr) {
        free_lens_drawing();
        return -10;
    }
    b.output_mode = 0;
    b.point_rows = kDrawingPointRows;
    for (int k = 0; k < kDrawingArcSteps; ++k) {
        b.sin_cos[k][0] = std::sin(k * kArcStep);
        b.sin_cos[k][1] = std::cos(k * kArcStep);
    }
    b.sin_cos[kDrawingArcSteps][0] = b.sin_cos[0][0];
    b.sin_cos[kDrawingArcSteps][1] = b.sin_cos[0][1];
    return 0;
}

void set_drawing_point(int row, double x, double y, double z) {
    DrawingBuffers& b = g_buffers;
    if (b.points == nullptr || row < 0 || row >= b.point_rows) return;
    b.points[row][0] = x;
    b.points[row][1] = y;
    b.points[row][2] = z;
}

bool grow_drawing_points() {
    DrawingBuffers& b = g_buffers;
    const int rows = (b.point_rows / kDrawingPointRows + 1) * kDrawingPointRows;
    double** grown = alloc_matrix_of<double>(rows, 3);
    if (grown == nullptr) return false;
    for (int r = 0; r < b.point_rows && b.points != nullptr; ++r) {
        for (int c = 0; c < 3; ++c) grown[r][c] = b.points[r][c];
    }
    free_matrix_of(b.points);
    b.points = grown;
    b.point_rows = rows;
    return true;
}

void free_lens_drawing() {
    DrawingBuffers& b = g_buffers;
    free_matrix_of(b.points);
    free_matrix_of(b.rim);
    b.points = nullptr;
    b.rim = nullptr;
    b.point_rows = 0;
}
