// The frame of the energy and MTF curve plots (commands 765 to 767) and of the point-spread
// energy plots (794, 795): page, title block with legend and field point, a box with inward
// ticks, and the labels of both axes. It reads the running command's argument cells.
#pragma once

// dval: the focus shift, or the frequency of the through-focus MTF.
void draw_energy_mtf_frame(double dval);
