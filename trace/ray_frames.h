// Frame operations of the trace: carrying a ray into and out of the decentred and tilted frame
// of a surface (decentre, coordinate-return and global-coordinate records share one layout),
// and into and out of a ray's own frame.
//
// A record's rotation R (row by row) carries a ray into the surface. Tilt kinds 0 and 1 touch
// y and z only, through the lower-right 2x2 block of R.
#pragma once

struct DecentreRecord;
struct RayRecord;

// p := R p (kinds 0 and 1: y and z by the lower-right block).
void rotate_by_tilt(const DecentreRecord& record, double& x, double& y, double& z);
// p := R^T p (kinds 0 and 1: y and z by the transposed lower-right block).
void rotate_transposed(const DecentreRecord& record, double& x, double& y, double& z);

// With aux set, the reference ray's pupil derivative records turn with the ray (all four for
// a ray of kind 6). The rotations happen only when the record's tilt kind is not 0.
//
// Subtracts the offsets (before the rotation for a positive order word, after it for a
// negative one, not at all for 0) and rotates position and direction by R.
void enter_surface_frame(const DecentreRecord& record, RayRecord& ray, bool aux);
// Rotates by R transposed, then adds the offsets.
void leave_surface_frame(const DecentreRecord& record, RayRecord& ray, bool aux);
// Rotates by R once more, without offsets.
void repeat_surface_tilt(const DecentreRecord& record, RayRecord& ray, bool aux);

// Maps a point (add set: offsets added) or a direction out of the ray's own frame.
void apply_frame_to_ray_point(const RayRecord& ray, double& x, double& y, double& z, bool add);
// Carries the ray into its own frame: offsets subtracted, position and direction rotated.
void ray_into_frame(RayRecord& ray);
