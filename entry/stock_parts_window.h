// The stock-lens parts in the graphics-with-text window (16): the parts listed in its selection
// list (the selected one highlighted), the panel's choices in its grid area, the selected part
// described in its label and drawn in its pane. A click on a row selects that part, a double
// click or OK inserts it, Cancel closes the parts.
#pragma once

#include <vector>

#include "lens/stock_lenses.h"

// The view the stock-lens catalogue shows its parts through (set_stock_parts_view).
void show_stock_parts_window();
void close_stock_parts_window();
StockPartsView stock_parts_window_view();

// The preview's pieces. The frame's half-height for a part of diameter d: 5.4 up to d 10, 16.2
// up to 30, 48.6 up to 90, 80 above.
double stock_preview_half_height(double diameter);
// The sag of a surface of curvature c at height y; where 1 - c^2 y^2 < 0 it is 1/c when |c y|
// lies within 1e-10 of 1, else 0.
double stock_preview_sag(double curvature, double y);
// The profile of a surface at axial position z: 31 points from -aperture to +aperture, as
// (z + sag, y) pairs in xs and ys.
void stock_preview_profile(const StockPreviewSurface& s, double z, std::vector<double>& xs,
                           std::vector<double>& ys);
// Draws the part into graphics record 10 on a new page: the frame, the axis, the label, each
// surface's profile and the edges of the glass between surfaces.
void draw_stock_preview(const std::vector<StockPreviewSurface>& surfaces, double diameter);
