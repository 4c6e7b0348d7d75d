// Turning pickups back into plain values, and resetting a decentre record. The entry commands,
// the setters and the surface deletion share these.
#pragma once

// A curvature pickup (kind 1 or 2) becomes a plain curvature; other kinds are left alone.
void clear_curvature_pickup(int n);
// A thickness pickup (kinds 1 to 4) becomes a plain thickness; other kinds are left alone.
void clear_thickness_pickup(int n);
// An aperture pickup becomes a fixed aperture; other kinds are left alone.
void clear_aperture_pickup(int n);
// Offsets and tilts 0, identity rotation, tilt mode 1, pickup words and kind 0; bend cleared.
void reset_decentre_tilt(int n);
