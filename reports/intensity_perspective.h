// The diffraction intensity about the best-fit point as a perspective surface: profiles across
// the image drawn from the front row to the back, each raised and shifted to the right, with
// the parts behind nearer rows removed by the floating horizon.
#pragma once

// Handler of 768: 0, -10, -9998, -9999 (Escape between rows) or a refusal of the grid.
int cmd_plot_intensity_perspective();
