// Rays in the lens drawing: fans of real rays from one field point, drawn as polylines through
// the drawn range, into the drawing the last draw-lens command set up (or into the CAD file).
#pragma once

struct RayRecord;

// Handler of the ray sets of the drawing conditions (command 1272): 0, or -1786 without a
// drawing.
int cmd_draw_field_rays();
// Handler of command 1271: the drawing report, new stub lengths, or one ray set.
int cmd_draw_rays();
// One fan of n rays from the field point (field y, field x), spread from lower to upper along
// pupil y (or x with along_x) at the other pupil coordinate offset, in wavelength slot w.
// 0, or -9999 when Escape stopped it (the rays drawn so far stay).
int draw_ray_set(double field_y, double field_x, int n, double lower, double upper, double offset,
                 int w, bool along_x);
// Maps a point of surface n's frame to global coordinates, through the ray's own frame when
// the trace left it inside coordinate breaks.
void drawing_point_to_global(const RayRecord& ray, const double p[3], int n, double out[3]);
