// Sections through the image along x or y: the line-spread function (the image integrated
// across the other axis, peak 1) and the edge-spread function (its running integral, 0 to 1),
// from the geometric spot-diagram rays or from the FFT point-spread function.
#pragma once

#include "evaluation/psf.h"
#include "tables/table_names.h"
inline constexpr int kMaxSectionCells = 1000000;

// Where a section is sampled: points equally spaced over [start, end] (for the spot, the
// symmetric extent of the rays when both are 0); axis 0 the y section, other the x section;
// the edge-spread curve only with with_edge.
struct SectionSampling {
    double start = 0.0;
    double end = 0.0;
    int points = 0;
    int axis = 0;
    bool with_edge = true;
};

// Where the curves go: points entries each, and the peak (when not null): the largest bin
// before normalisation.
struct SectionCurves {
    double* abscissae = nullptr;
    double* line = nullptr;
    double* edge = nullptr;
    double* peak = nullptr;
};

// The curves of the spot at focus shift dz. width the smoothing width (0: two bins); bins fewer
// than 10 give 201, an even count one more. The peak is doubled for the y section of a
// half-pupil diagram. 0, -10 or a refusal.
int spot_section_curves(const SectionSampling& sampling, double dz, double width, int bins,
                        const SectionCurves& out);

// The same from a PSF grid, through its point (the centroid).
int psf_section_curves(const PsfGridView& grid, const SectionSampling& sampling,
                       const SectionCurves& out);

// Handlers of slots 180 and 181.
int cmd_spot_sections();
int cmd_psf_sections();
