// Commands of the command language that plot into the current graphics window: contour lines
// of a table, and cubic splines through the tables in scratch arrays 4 (x) and 5 (y).
#pragma once

#include "tables/table_names.h"

inline constexpr int kSplinePointLimit = 2000;

int cmd_contour_plot();
// 163 draws the spline of the first n points, 164 stores it, 165 evaluates the stored one.
int cmd_spline();
// Forgets the stored spline (tests, shut-down).
void clear_stored_spline();
void install_plot_commands();
