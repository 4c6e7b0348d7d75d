// The 3-D model as a line drawing with hidden lines removed: the model's points are turned
// into the view, the faces that face the viewer become triangles, their edges a set of unique
// lines, and each line is cut against the triangles in front of it. Single lines (rays, the
// stop mark, notes) are added to the same picture with the same hiding.
#pragma once

#include <cstdint>
#include <vector>

struct HiddenLineTriangle {
    double normal[3];
    double offset;  // normal . p = offset on the plane
    std::int32_t corners[3];
};

struct HiddenLineStore {
    std::vector<HiddenLineTriangle> triangles;
    std::vector<double> depth_low;  // least and greatest depth of each triangle
    std::vector<double> depth_high;
    std::vector<std::int32_t> order;   // triangles by least depth
    std::vector<std::int32_t> edge_a;  // the unique edges, smaller corner first
    std::vector<std::int32_t> edge_b;
    std::vector<std::int64_t> edge_keys;  // open-addressed table of the recorded edges
    std::int32_t triangle_count = 0;
    std::int32_t edge_count = 0;
    std::int64_t triangle_capacity = 0;
    std::int64_t edge_capacity = 0;
    double depth_offset = 0.0;
    double view[9] = {};        // the view rotation with its third row negated
    bool rendered = false;      // the model's points are in view coordinates
    double line_start[3] = {};  // the overlay's last point, in view coordinates
};

HiddenLineStore& hidden_line_store();

// Room for two triangles and four edges a face of a model of `faces` faces: 0 or -10.
int alloc_hidden_line_store(std::int64_t faces);
void free_hidden_line_store();

// Renders the model storage's faces: the number of edges recorded.
int draw_hidden_line_model();
// Records the edge a-b once.
void add_model_edge(std::int32_t a, std::int32_t b);
// Draws the parts of the segment p-q (view coordinates) that no front-facing triangle from
// position `first` on (in depth order) hides.
void hidden_line_segment(const double p[3], const double q[3], int first);
// A point of the lens drawing (global coordinates) into the rendered model: moves there, or
// draws the line from the last point with hiding.
void model_overlay_point(const double g[3], bool draw);
// Whether lines of the drawing go into the rendered model rather than straight out.
bool model_overlay_active();
// The output of one point of the lens drawing in global coordinates: into the model overlay
// when the 3-D model is on screen, else through the output primitives.
void drawing_emit(const double g[3], bool draw);
