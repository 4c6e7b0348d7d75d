// The global placement of every surface: decentred and tilted surfaces, surfaces continuing in
// an earlier surface's coordinates ("GC"), coordinate returns ("RCO") and bent axes.
//
// A SurfaceFrame is the 3x4 matrix [R | t] row by row; it maps a point p of the surface's
// local frame (vertex at the origin, z along the local axis) to global coordinates R p + t, a
// direction by R alone. The global frame has its origin at the vertex of surface 1 before that
// surface's own decentre, z along the axis of the undecentred lens.
//
// A decentre record keeps the rotation M that carries a ray into the surface, row by row; the
// frame rotation of the surface is its transpose.
#pragma once

#include <cstdint>

struct DecentreRecord;
struct SurfaceFrame;

// Rebuilds the frames of surfaces 1..last (last < 1: up to the image surface), then surface 0.
// last = 0 does nothing while the lens's frames-valid byte is set. With last >= 1 the "GC" and
// "RCO" records on the way are rewritten from the geometry.
void build_surface_frames(int last);

// Rotation matrix (row by row, carrying global directions into the tilted surface) of the tilt
// angles a, b, c in degrees; order 0 chooses c so that the tilt has no twist and writes it back.
// Returns the tilt kind: 0 nothing written, 1 only the y-z block written (rotation about x), 2
// the whole matrix.
int tilt_matrix_from_angles(double a, double b, double& c, double m[9], int order);
// The tilt angles (degrees) whose rotation turns the local axis onto the direction (x, y, z).
void tilt_angles_from_direction(double x, double y, double z, double& a, double& b);
// The angle in degrees whose sine and cosine are s and c, rounded to 10 significant digits.
double angle_from_sin_cos(double s, double c);

void set_identity_frame(SurfaceFrame& frame);
// 0 when R is the identity (off-diagonal elements below 1e-10, diagonal positive), else 1.
std::uint8_t frame_is_rotated(const SurfaceFrame& frame);
// The surface's frame as its local placement: its decentre record and an axial distance dz.
void local_frame_from_decentre(int surface, double dz);
// out = A with its origin moved by dz along A's local z axis.
void advance_frame(double dz, const SurfaceFrame& a, SurfaceFrame& out);
// out = A o B. out may be A or B.
void compose_frames(const SurfaceFrame& a, const SurfaceFrame& b, SurfaceFrame& out);
// B = A o B.
void compose_frame_into(const SurfaceFrame& a, SurfaceFrame& b);
// out = A^-1 o B. out may be A or B.
void relative_frame(const SurfaceFrame& a, const SurfaceFrame& b, SurfaceFrame& out);
// Writes A^-1 o B into a coordinate record: rotation, offsets, order word 1 and tilt kind.
void store_relative_frame(DecentreRecord& record, const SurfaceFrame& a, const SurfaceFrame& b);
// out = M v, M row by row.
void mat3_times_vector(const double v[3], const double m[9], double out[3]);
void frame_point_to_global(const double p[3], int surface, double out[3]);
void frame_xyz_to_global(double x, double y, double z, int surface, double out[3]);
// Carries p from the frame of surface from into that of surface to (to < 2: global
// coordinates); rotation always, offsets only with add_offset. Nothing happens when from is
// below 1 or beyond the image surface.
void frame_point_between_surfaces(double p[3], int from, int to, int add_offset);

// The view angles of the second drawing view and the two view rotations (row by row) of the
// lens drawings.
struct DrawingViews {
    int other_angles[2];  // vertical, horizontal (degrees)
    double lens_view[9];
    double other_view[9];
};
DrawingViews& drawing_views();
// The view rotation Rx(A1) Ry(-A2) of the lens drawing (which = 1: the lens's "DLVA" and "DLHA")
// or of the other drawing view, stored into that view's matrix.
void view_rotation_from_angles(int which);
