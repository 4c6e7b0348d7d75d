// What every analysis plot shares: the graphics window it draws into, world frames, the axes
// with their ticks, the curve drawer (a cubic spline through equally spaced values, with
// markers), the marker of each wavelength, the wavelength legend and the plot title.
//
// Plots draw in normalised units: a value is divided by the plot scale so that the value axis
// runs from -1 to +1 and its end stands for one scale unit.
#pragma once

#include <span>
#include <string>

#include "tables/table_names.h"

// Values at or above this mark points that are missing (rays that failed with aperture
// checking on): left out of the scale and breaking the curve.
inline constexpr double kMissingValue = 1e20;
// The most points or rays a plot command takes.
inline constexpr int kMostPlotPoints = 10000;

// Opens graphics window 1 when no graphics window is current, so that a plot typed before any
// window was opened still shows. 0 or the open's failure.
int ensure_plot_window();

// Starts a plot: a new page when Graphics_autoclear is on, the pen in colour 1.
void begin_plot_page();

// The title block of a plot frame in the world 0..1 x 0..1: a box about the viewport, a line
// across at 0.88 and, when split is positive, a line between 0.88 and the top at x = split
// (drawn from the top down when from_top is set).
void draw_title_block(double split, bool from_top = false);

// Sets the world frame of the current viewport (not isotropic).
void set_plot_world(double xmin, double xmax, double ymin, double ymax);

// Both axes through the world origin with their ticks: fraction the tick spacing as a part of
// the axis end (0: 0.2), length the half-length of a tick (0: 0.025) in world units across.
void draw_plot_axes(double xmin, double xmax, double ymin, double ymax, double fraction,
                    double length);

// Second derivatives of the cubic spline through n values at spacing h whose end slopes are
// estimated from the three (n = 3) or four end values. n below 2 sets *failed.
void spline_uniform_coefficients(int n, double h, bool* failed, const double* values,
                                 double* second);

// Where plot_curve puts a curve.
enum PlotCurveMode : int {
    kCurveUpward = 0,   // value upward against position
    kCurveAcross = 1,   // value to the right against position upward
    kCurveSampled = 2,  // no drawing: the samples go into the output span
};

// Draws the curve through (x0 + i dx, values[i] / scale), i < n, as subdivisions pieces per
// interval: a cubic spline for n of 3 or more, straight lines below. Markers: a positive marker
// of that type at every (n/4)-th point, a negative one of type |marker| at every (n/2)-th, the
// first and last only for n of 3 or less, none for 0. With a start slope (modes 0 and 1) the
// spline takes it at its start. Mode 2 writes the (n - 1) subdivisions + 1 samples divided by
// the scale into out, never beyond its end. 0, or -1842 when the spline cannot be formed.
int plot_curve(int n, double x0, double dx, int subdivisions, double scale, int mode, int marker,
               const double* values, const double* start_slope, std::span<double> out = {});

// The number of samples plot_curve writes in mode 2.
int plot_curve_sample_count(int n, int subdivisions);

// The marker size of curves: 1.25 character units, 3.125 in a small viewport.
double plot_marker_size();

// The marker symbol of wavelength number n (1-based): 1, 3, 5, 2, 4, 6 for 1 to 6, n beyond.
int wavelength_marker(int n);

// "WVn @s" for one wavelength (the current one), "WV1-c @s1@s2..." for c of 2 or more.
std::string wavelength_legend_text(int count);

// The lens title, or "title - CFG n" from configuration 2 on.
std::string plot_title();

// 1 when a surface from 1 to the image carries special apertures or opens a non-sequential
// group.
int lens_has_special_apertures();
// 1 when a surface from 1 to the image has a special aperture that is not a plain clear one,
// or a kind 4 or 5 diffractive surface without its Zernike switch.
int lens_has_pupil_exceptions();

// Puts the pen at (x, y) with the text anchor code and angle for the next text.
void plot_text_at(double x, double y, int anchor, int angle = 0);

// Draws a text at the pen with its anchor, smaller when at the current size it would be wider
// than `width` (a fraction of the viewport's width), so that a title or legend stays whole in
// its cell; the size is put back afterwards.
void print_within(double width, const std::string& text);
