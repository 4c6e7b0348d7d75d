// Thermal expansion of the lens: after a temperature change glass elements grow by the expansion
// coefficient of their glass and air spaces by that of their mount. Radii, thicknesses, fixed
// apertures and the polynomial data of aspheres, splines, diffractive surfaces and gratings
// are scaled; with step-mode output on, one line per change is printed.
#pragma once

// The distance between points of surfaces i and j at the given heights (the trace's
// distance_between_surface_points): the distance, with the component differences in dx, dy
// and dz. Installed by the trace; without it the axial separation of a centred lens of
// conic surfaces is used.
using SurfacePointDistance = double (*)(int i, int j, double x_i, double x_j, double y_i,
                                        double y_j, double* z_i, double* z_j, double* dx,
                                        double* dy, double* dz);
void set_surface_point_distance(SurfacePointDistance distance);

// The expansion factor of surface j: 1 + (T - t0) * medium_tce(j) * 1e-7 at the lens
// temperature T.
double expansion_factor(int j, double t0);

// Expands the lens from temperature t0 to its current temperature. The changes are made only
// while the thermal flag of the lens is set. 0, or -9998 (message -1120 in the error buffer)
// when a glass pickup has no valid source; the lens is then left unchanged.
int expand_lens(double t0);
