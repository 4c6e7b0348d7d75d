// Sections through the image along x or y: the line-spread function (the image integrated
// across the other axis, peak 1) and the edge-spread function (its running integral, 0 to 1),
// from the geometric spot-diagram rays or from the FFT point-spread function.
#pragma once

#include "tables/table_names.h"

inline constexpr int kMaxSectionCells = 1000000;

// Curves at points equally spaced over [start, end] (the symmetric extent of the rays when both
// are 0). axis 0 the y section, other the x section; width the smoothing width (0: two bins);
// bins fewer than 10 give 201, an even count one more. peak is the largest bin before
// normalisation (doubled for the y section of a half-pupil diagram). 0, -10 or a refusal.
int spot_section_curves(double* abscissae, double* line, double* edge, double* peak, double dz,
                        double start, double end, double width, int points, int axis, int bins,
                        bool with_edge);

// The same from a PSF grid about the centroid (x0, y0) in cells, spacing s per cell.
int psf_section_curves(double* const* grid, double* abscissae, double* line, double* edge,
                       double* peak, double spacing, double x0, double y0, double start, double end,
                       int points, int n, int window, int axis, bool with_edge);

// Handlers of slots 180 and 181.
int cmd_spot_sections();
int cmd_psf_sections();
