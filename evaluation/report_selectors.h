// Selector commands that choose among the spot and wavefront reports and run the chosen one as
// its own command, so that the history shows the report command with its arguments.
#pragma once

// Selector (0: sizes at the given focus; other: at a best focus chosen by choice 0 y, 1 x,
// 2 both), choice, focus shift.
int cmd_spot_report_select();
// Kind (1 wavefront statistics, 2 Zernike fit), reference choice, y, x, focus shift, all
// wavelengths, wavelength number, number of Zernike terms.
int cmd_wavefront_report_select();
