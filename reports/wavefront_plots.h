// The wavefront error of one wavelength over the pupil: a map of characters that count steps of
// the optical path difference at each spot-diagram ray, or a perspective surface of the
// wavefront sampled on a fresh grid of traced rays with hidden lines removed. Both measure
// against the reference sphere moved to the chosen point, less the chief ray's path difference.
#pragma once

// Handler of 771: 0 or a message number.
int cmd_plot_wavefront();

// The character map: 0 or -9998.
int plot_wavefront_map();

// The perspective surface: 0, -10, -9998 or -9999 (Escape between rows).
int plot_wavefront_con();

// The character of the map for k steps: '0' + k upwards, '@' + |k| downwards, '#' past '~'.
char wavefront_map_character(int k);
