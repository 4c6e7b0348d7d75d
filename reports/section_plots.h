// Plots of the diffraction image: x and y sections of the intensity summed from the
// spot-diagram rays (769), the FFT point-spread function in perspective (793), its encircled
// (794) and ensquared (795) energy, and the line- and edge-spread sections from the spot (796)
// or from the point-spread function (797).
#pragma once

#include <vector>

#include "tables/table_names.h"

// The full width of a sampled profile at 1/e^2 of its (first) highest sample, the crossings
// interpolated linearly: spacing times the sample distance between them, 0 when the profile
// does not fall to that level on both sides.
double section_width_1e2(int count, double spacing, const double* samples);

// The frame of 769, 796 and 797: half width w, focus shift dz, the wavelength number or
// polychromatic, the curves' mode (796, 797: 0 line spread, 1 edge spread, 2 both).
void draw_section_plot_frame(double w, double normalisation, double dz, int command,
                             bool polychromatic, int number, int mode);

// The m central rows of a point-spread grid as profiles in perspective, hidden lines removed:
// along x (or along y with along_y), heights per unit of intensity over normalisation, in the
// given pen colour (-1: the automatic sequence).
int plot_psf_perspective(double* const* grid, double spacing, double normalisation, int n, int m,
                         bool along_y, int colour = -1);

// The direction arrow of the profiles and, beside the front row, a bar of a quarter of the unit
// height, labelled with a quarter of the plot width, in the frame of plot_psf_perspective for a
// window of m cells.
void draw_psf_perspective_marks(int m, double plot_width, bool along_y, bool labelled);

// The two sections of command 769 as computed: the y then the x section, n points across the
// full width 2 w, and the half widths at 1/e^2.
struct IntensitySections {
    int n = 0;
    double w = 0.0;
    std::vector<double> y_section, x_section;
    double y_half_width = 0.0, x_half_width = 0.0;
};

// The curve of 794 or 795: 41 energies at radii (full widths) 0 to the scale.
struct PsfEnergyCurve {
    double scale = 0.0;
    double spacing = 0.0;
    std::vector<double> values;
};

// Handlers of slots 191 (769), 208 (793), 209 (794, 795) and 210 (796, 797).
int cmd_plot_intensity_sections();
int cmd_plot_psf();
int cmd_plot_psf_energy();
int cmd_plot_line_spread();

// What the last plots computed besides their pictures: the sections of 769, the central
// profile of 793's window with the grid's cell spacing, the curve of 794 or 795.
struct SectionPlotState {
    IntensitySections sections;
    std::vector<double> psf_central_row;
    double psf_spacing = 0.0;
    PsfEnergyCurve energy;
};
SectionPlotState& section_plot_state();
// Back to the state of a new session.
void reset_section_plot_state();
