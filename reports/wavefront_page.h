// The wavefront report page: for the full field, the 0.7 field and the axis, the wavefront map
// over its perspective surface with the peak-to-valley and rms between them.
#pragma once

// report_wavefront [wavelength [increment [surface scale]]]
int cmd_report_wavefront_page();
