// Contour lines of a rectangular table drawn into the current graphics window: the table spans
// the square -1..1 along its longer side, each level is traced cell by cell on the bilinear
// surface, its segments are joined into chains and every chain is drawn as a smooth curve.
#pragma once

#include "tables/table_names.h"

inline constexpr double kContourMissing = 1e20;  // values this large in magnitude are missing

struct ContourOptions {
    int level_count = 10;  // 0 or less: 10
    double low = 0;        // range of computed levels (equal: the table's own range)
    double high = 0;
    bool logarithmic = false;  // levels and values in decibels (10 log10)
    bool styles = false;       // each level its own line style
    bool legend = false;
    int title_message = 0;           // legend title message number (0: none)
    const double* levels = nullptr;  // given levels (level_count of them), or computed
};

// table[i][j]: grid point i along x (0..nx-1), j along y (0..ny-1). 0, -10 without memory,
// -9998 (error text set) for a table smaller than 2 x 2, or the legend's result.
int contour_plot(const double* const* table, int nx, int ny, const ContourOptions& options);
