// The spot-diagram report page: the spot diagrams of the full field, the 0.7 field and the axis
// with their rms size and diffraction limit, their radial energy curves in one plot, and for
// each field a row of five diagrams through focus.
#pragma once

// report_spot [scale] or report_spot mode [focus range [second range [scale [value]]]]: a double
// first is the spot scale; an int first the diagram mode (1 a symbol per wavelength, else
// points) before the focus range of the rows (its half each side), a range this page does not
// read, the spot scale (0: the graphics scale's size, else automatic) and a value it does not
// read.
int cmd_report_spot_page();

// n diagrams side by side in x0..x1 x y0..y1, at focus offsets from -d to +d, drawn at the spot
// scale, as symbols (mode 1) or points.
void report_spot_focus_row(double d, int n, double x0, double x1, double y0, double y1,
                           double scale, int mode);
// The focus offsets of such a row under it, printed to three decimals, and "FOCUS SHIFT" below
// them, in the row's columns x0..x1 at page height y.
void report_focus_shift_panel(double d, int n, double x0, double x1, double y);
