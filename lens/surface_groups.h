// Surface groups, the variable questions about surfaces, and the special-data blocks that the
// setters do not make: decentre records, spline profiles and surface meshes.
#pragma once

#include "tables/table_names.h"

struct SurfaceRecord;

// First surface of the group holding n; 0 when n is not grouped.
int group_start_surface(int n);
// Last surface of that group (the last inner surface of an unfinished one); 0 when not grouped.
int group_end_surface(int n);
// The surface a walk through the lens goes on to after j: the group's end from the first
// surface of a non-sequential group, else the forward skip link of j + 1, else j + 1.
int next_walk_surface(int j);
// Dissolves the group holding n; group-fixed kinds become their free forms.
void ungroup_surfaces(int n);
// Binds surfaces a..b (a < b) into an element, or an element group when air lies inside;
// groups touching the range are dissolved first. While a lens is being entered and the current
// surface lies in the range, the range becomes the group being built. 0, -821 for a single
// surface, -824 for a range that reaches the image surface.
int make_group(int a, int b);
// Inside a non-sequential group the start surface's spacing moves to the last member's decentre.
// 0, or -353.
int fold_group_thickness();

bool find_curvature_variable(int n, int* index);
bool find_thickness_variable(int n, int* index);
bool find_glass_variable(int n, int* index);

// 0, or -353 when the record cannot be had.
int ensure_decentre_record(int n);
// Frees a decentre that carries nothing. With update, runs the lens set-up afterwards: 0, or
// -9998 with its message set.
int drop_empty_decentre(int n, bool update);
// 0, or -9998 after message -838 or -885.
int check_decentre_pickups(bool refuse);

// 0 or -10; on failure the surface has no spline record.
int alloc_spline_record(int n, int points);
// 0 or -10; on failure the record stays as it was.
int resize_spline_record(int n, int points);
void free_surface_mesh(SurfaceRecord& record);

// The lens set-up as drop_empty_decentre runs it (installed by the set-up code): 0 or a message
// number, with the failing surface in the lens data.
using LensSetupRunner = int (*)(int mode);
void set_lens_setup_runner(LensSetupRunner runner);
