// The buffers of the lens drawing, made once at start-up and kept for the run: the point buffer
// that ray drawing and the outline code fill, the small matrix of the 3-D rim code, and the
// 10-degree sine and cosine table of the 3-D outlines. They live beside the trace because the
// trace writes the point buffer too (scratch points, paths through gradient media); the drawing
// reads them here.
#pragma once

inline constexpr int kDrawingPointRows = 502;
inline constexpr int kDrawingArcSteps = 36;  // pairs 0..36, pair 36 equal to pair 0

struct DrawingBuffers {
    double** points = nullptr;  // [row count][3]
    int point_rows = 0;         // rows of the point buffer, for the limit test
    double** rim = nullptr;     // [6][3]
    double sin_cos[kDrawingArcSteps + 1][2] = {};
    int output_mode = 0;  // 0 screen, 2 DXF, 3 IGES
};

DrawingBuffers& drawing_buffers();

// Makes the two buffers when they are missing, sets the output mode to screen, records the 502
// rows and fills the table; 0, or -10 with both buffers freed and the row count 0.
int init_lens_drawing();
// Stores row `row` of the point buffer; rows outside the buffer are ignored.
void set_drawing_point(int row, double x, double y, double z);
// Grows the point buffer to the next multiple of 502 rows above its row count, keeping the rows
// stored so far. False, with the old buffer kept, when the new one cannot be made.
bool grow_drawing_points();
// Frees both buffers (end of the program; tests).
void free_lens_drawing();
