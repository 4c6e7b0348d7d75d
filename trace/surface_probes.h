// Probes of the lens at single points: the distance between points of two surfaces, the sag and
// normal of a surface, the diffraction phase and line periods of a grating, hologram or
// diffractive surface, and the index of a gradient medium. None changes the lens. Points are
// given y before x, as the commands take them.
#pragma once

// The distance between (x_i, y_i) on surface i and (x_j, y_j) on surface j, in the frame of the
// global-coordinate surface (both in their own frame when i = j); z_i and z_j are the sags, dx,
// dy, dz the differences of the second point from the first.
double distance_between_surface_points(int i, int j, double y_i, double y_j, double x_i, double x_j,
                                       double& z_i, double& z_j, double& dx, double& dy,
                                       double& dz);
// Phase in waves and the local line periods in y and x at (x, y) of surface n: 0.
int diffractive_phase_at(int n, double y, double x, double& phase, double& period_y,
                         double& period_x);
// The index at (x, y, z) of the medium after surface n at wavelength slot w: its gradient model
// when it has one, else its plain index. 0.
int grin_index_at(int n, int w, double x, double y, double z, double* index);
// The same index, returned, and dt n grad(n) (dt times half the gradient of n^2) in g. A medium
// without a model (or a surface without gradient data) has no gradient: g is 0.
double grin_index_gradient(int n, int w, double dt, double x, double y, double z, double g[3]);

int cmd_surface_point_distance();
int cmd_surface_sag();
int cmd_diffractive_phase();
int cmd_grin_index();

void install_surface_probes();
