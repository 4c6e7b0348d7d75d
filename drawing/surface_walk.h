// The walk over the drawn surfaces that the outlines, the rays and the 3-D model share: which
// surface comes next, which surfaces are drawn, and which way the light runs (mirror parity).
#pragma once

struct SurfaceRecord;

// The first surface of the non-sequential group that holds n, or 0.
int nonsequential_group_start(int n);
// The surface starts a non-sequential group.
bool starts_nonsequential_group(int n);
// Special records the drawing treats as making a surface unplain: the two further special
// records, and the third one together with a non-zero asphere term (with third_alone the
// third one by itself).
bool has_further_special_records(const SurfaceRecord& s, bool third_alone);
// The medium index behind surface n at the current wavelength (1 when it has none).
double drawing_index(int n);
// The index of the nearest surface before n whose reversing byte is 0 (1 when none).
double drawing_index_before(int n);
bool surface_is_mirror(const SurfaceRecord& s);

// Starts the walk before the first surface.
void start_surface_walk();
// 0 at the end of the walk, else 1 with the walker on the next surface.
int next_drawn_surface();
// True when the walker's surface is not drawn.
bool surface_hidden_in_drawing(bool strict);
// The walker's surface number and record.
void drawing_current_surface(const SurfaceRecord** record, int* index);
// Updates the mirror parity for the walker's surface.
void track_mirror_parity();
