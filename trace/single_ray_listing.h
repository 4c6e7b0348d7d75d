// The single-ray commands: 717 traces one ray given by its object point, pupil point and
// wavelength; 715 one ray from the current object point at the current wavelength, with its
// optical path difference when the listing reaches the image.
#pragma once

int cmd_trace_single_ray();
void install_single_ray_listing();
