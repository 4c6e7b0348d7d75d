// The point-spread-function report page: the FFT point-spread function of the axis, the 0.7
// field and the full field in perspective, and a section through each one's centroid overlaid
// in one plot.
#pragma once

// report_psf [samples grid-argument window normalisation value unused patch]: all seven or
// none. Samples below 16 take 64 and set the FFT grid; the pupil samples default to half the
// grid; the window (odd, inside the grid) to the grid less one; normalisation 0 to 1, 1 to the
// peak inside the window, 2 to the value; a patch size, when given, is the plot width.
int cmd_report_psf_page();
