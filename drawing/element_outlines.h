// The lens itself in the section and wire views: the outline of each drawn surface, its
// profile (hatched on marked mirrors), the edges that join the surfaces of an element, the
// rim arcs of the wire views, the surface meshes and the aperture-stop mark.
#pragma once

struct SurfaceOutline;
struct SurfaceRecord;

// Where the lens spreadsheet's selected rows come from (installed by the program): true with
// the range while that sheet is the active one.
void set_drawing_selection_source(bool (*source)(int* first, int* last));

// The element pass over the drawn range.
void draw_elements();
// The walker's surface begins an element that ends at a later drawn surface.
bool surface_starts_element();
// The five outline points of surface n (and its obstruction's) with their sags.
void surface_outline_points(int n, SurfaceOutline& out);
// Keeps the current outline as the previous one.
void save_previous_outline(bool starts_element);
// The surface is decentred or tilted beyond the drawing's tolerance.
bool surface_has_tilt(int n);
// 1 when surface n is drawn highlighted (the selected rows of the lens spreadsheet).
int surface_pen_selection(int n);
// The surface frame is turned by 90 degrees about the axis.
bool frame_turned_90(int n);
// The profile of the walker's surface with its edges to the previous surface.
void draw_surface_profile(int hatch_side);
// The faces of surface n's mesh; 1 when faces were left for the other pass.
int draw_surface_mesh(int n, int pen_base, int pass);
// The aperture stop mark.
void draw_stop_mark();
// Ends the line being drawn: on screen the pending polyline is flushed, in a CAD file the
// polyline is closed.
void end_drawing_line();
// Maps a point of surface n's frame to global coordinates and moves (draw false) or draws to it.
void outline_point(int n, const double p[3], bool draw);
