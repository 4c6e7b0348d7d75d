// Inserting and deleting surfaces with the renumbering of every stored surface reference, and
// the current surface with the group being built.
#pragma once

// A new air surface at s (1 <= s <= image surface); surfaces s.. move up one. 0, -1062 when
// the lens already reaches the surface limit, -74 for an s outside the lens.
int insert_surface(int s);
// Removes surface s (1 <= s < image surface) and its special data. 0, or -74 for an s outside.
int delete_surface(int s);
// Shifts the vertex references of surface meshes for an insertion or deletion at s.
void renumber_mesh_references(int s, bool deleting);

// Makes s current (an s above the surface limit is ignored); the lens grows to reach it.
void set_current_surface(int s);
void report_current_surface();
void close_pending_group();
void clear_group_selection();

// The label of group kinds 1 to 6, blanks for any other, upper-cased when asked; in one buffer
// that the next call overwrites.
const char* group_kind_label(int kind, bool upper = false);
