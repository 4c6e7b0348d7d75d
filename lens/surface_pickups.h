// Turning pickups back into plain values, and resetting a decentre record. The entry commands,
// the setters and the surface deletion share these.
#pragma once

#include "tables/table_names.h"

// A curvature pickup (kind 1 or 2) becomes a plain curvature; other kinds are left alone.
void clear_curvature_pickup(int n);
// A thickness pickup (kinds 1 to 4) becomes a plain thickness; other kinds are left alone.
void clear_thickness_pickup(int n);
// A curvature solve (kinds 3, 4, 8 to 11) becomes a plain curvature; the value stays.
void clear_curvature_solve(int n);
// A thickness solve (kinds 5, 6, 9) becomes a plain thickness; sources and values cleared.
void clear_thickness_solve(int n);

// Whether the current surface's thickness may take a solve or pickup: -636 inside a group of
// kind 1 (not its last surface), -551 when outside update mode the thickness is an
// optimisation variable, -688 when a group fixes it; else 0.
int check_thickness_entry();

// An aperture pickup becomes a fixed aperture; other kinds are left alone.
void clear_aperture_pickup(int n);
// Offsets and tilts 0, identity rotation, tilt mode 1, pickup words and kind 0; bend cleared.
void reset_decentre_tilt(int n);
