// The spot diagram plot: the rays of the current spot diagram as markers in the image plane,
// one colour (and marker, when asked) per wavelength, about the centroid, the chief ray or in
// image coordinates, with the Airy circle when the spot settings ask for it.
#pragma once

// Handler of 770: 0, -10 or the failure of bringing the spot diagram up to date.
int cmd_plot_spot_diagram();

// The largest max(|x|, |y|) of the rays' offsets at focus shift dz from the reference that
// `reference` names (0 centroid, 1 chief ray, 2 image coordinates); 0 without rays.
void max_ray_offset(double& maximum, double dz, int reference);
