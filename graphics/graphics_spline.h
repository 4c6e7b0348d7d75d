// A cubic spline drawn into the current graphics window.
#pragma once

#include "tables/table_names.h"

// Draws the spline of x, y, y2 (from spline_coefficients) as a polyline of `steps` pieces per
// interval, as (value, abscissa) when exchange is set, and refreshes the window. 0, -193 for an
// empty table, or -9998 (error text set) for steps below 1.
int plot_spline(const double* x, const double* y, const double* y2, int n, int steps, int exchange);
