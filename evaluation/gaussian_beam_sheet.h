// The Gaussian-beam sheet: a twelve-row command level in which the designer gives a beam behind
// one surface by two of its four quantities, per section (Y: the main curvatures, X: the
// x-curvatures), and sees it, and the second beam that fits the same pair, carried paraxially
// to a plane behind another surface. Its buttons list the beam surface by surface and plot it.
//
// The sheet's values live between openings and start again from the defaults at the first
// showing after a new lens. While it is open a temporary copy of the lens exists, so that
// cancelling puts back the lens as it was.
#pragma once

#include <cstdint>
#include <vector>

#include "evaluation/gaussian_beam.h"
#include "tables/table_names.h"

struct GridEvent;

// Items of the sheet.
inline constexpr int kBeamItemSpot = 501;  // 501..504: spot, waist, distance, radius
inline constexpr int kBeamItemWavelength = 601;
inline constexpr int kBeamItemOffset = 602;
inline constexpr int kBeamItemQuality = 603;
inline constexpr int kBeamItemTable = 701;
inline constexpr int kBeamItemSectionY = 851;
inline constexpr int kBeamItemSectionX = 852;
inline constexpr int kBeamItemPlot = 861;
inline constexpr int kBeamItemPlotWindow7 = 881;
inline constexpr int kBeamItemPlotCurrent = 891;
inline constexpr int kBeamItemFirst = 803;
inline constexpr int kBeamItemLast = 804;
inline constexpr int kBeamSheetRows = 12;

struct GaussianBeamSheet {
    BeamParams y_beam, x_beam;
    BeamValues y_second, x_second;
    BeamValues output, second_output;  // of the selected section, at every redisplay
    std::int32_t wavelength = 1;       // 1-based
    double offset = 0.0;               // of the output plane behind the last surface
    std::int32_t first = 0;
    std::int32_t last = 0;           // the image surface after the defaults
    std::uint8_t section = 1;        // 1 Y, 0 X
    std::uint8_t plot_window7 = 1;   // plot into window 7 with the position probe
    std::uint8_t two_solutions = 0;  // the second beam is valid
    std::uint8_t resumed = 0;        // last left for a moment (another level on top)
    std::uint8_t sliders_shown = 0;

    // The level's own marks: shown since it was pushed, holding the temporary lens copy.
    bool shown = false;
    bool holds_copy = false;

    // What the plot leaves for the probe: per surface from the object to the image, the waist
    // and waist distance behind it of each beam, for the lens of that many surfaces.
    std::vector<double> waist1, distance1, waist2, distance2;
    int arrays_image = -1;
    double label_x = 0.0, label_y = 0.0;
};

GaussianBeamSheet& gaussian_beam_sheet();
// A fresh process's sheet (the per-surface arrays freed).
void reset_gaussian_beam_sheet();
// The defaults of both sections and of the sheet's own values (F 0, L the image surface).
void load_gaussian_beam_defaults();

// The selected section's beam and second beam.
BeamParams& selected_beam();
BeamValues& selected_second_beam();
// The working wavelength behind surface j of the selected section (wavelength times M^2 over
// the index), and the same in vacuum.
double sheet_lambda(int j);
double sheet_lambda0();

// Handler kSlotOpenGaussianBeamWindow: opens the sheet on a new level. 0 or the push's failure.
int cmd_open_gaussian_beam_window();
// The level's handler.
int gaussian_beam_window_proc(GridEvent& event);
// Solves the selected section's beam, carries it to the output plane and writes the twelve rows
// into the level's output. 0, or the first failure (-1676, -10) after the rows are written.
int print_gaussian_beam_sheet();
// The selected section's beam (and second beam) carried to the output plane into the sheet's
// output records: 0 or -10.
int propagate_beam_to_last_surface();
