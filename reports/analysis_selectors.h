// The analysis dialogs' commands: each takes every field of its dialog and runs the one
// analysis command they choose, recorded as that command so that the history shows the direct
// line.
#pragma once

int cmd_select_ray_aberration();     // select_ray_aberration: listings and plots of the fans
int cmd_select_spot_analysis();      // select_spot: spot rays, set-up, plot
int cmd_select_diffraction_image();  // select_diffraction: point intensity, PSF, sections
int cmd_select_mtf();                // select_mtf: MTF listing or plot
int cmd_select_wavefront();          // select_wavefront: the wavefront plot
int cmd_select_geo_sections();       // select_geo_sections: spot sections, line spread
int cmd_select_psf_sections();       // select_psf_sections: PSF sections, line spread
int cmd_select_energy_analysis();    // select_energy: encircled and ensquared energy
int cmd_select_psf_analysis();       // select_psf: PSF reports and plots
