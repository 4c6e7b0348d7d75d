// The 3-D lens model: every drawn element becomes a mesh of vertices and four-cornered faces
// over an arc of rim angle (three quarters by default, a cut-away view), with its edge and the
// faces of the cut; on screen the hidden-line renderer draws it, in a DXF file its faces are
// written as they are made.
#pragma once

#include <cstdint>
#include <vector>

// The model beyond this many faces is refused (message -1785) rather than built.
inline constexpr std::int64_t kModelFaceLimit = std::int64_t{1} << 22;

struct ModelStorage {
    std::vector<double> vertices;     // three a vertex: global lens coordinates
    std::vector<std::int32_t> faces;  // five a face: four vertex numbers, one spare
    std::int32_t vertex_count = 0;
    std::int32_t face_count = 0;
    std::int64_t capacity = 0;  // rows of both: vertices and faces
    int made_for = -1;          // the image surface the storage was made for
};

ModelStorage& model_storage();

// The capacity the model of the current lens needs (64-bit, ring and spoke counts as the model
// will use them, meshes, slabs and cut faces included).
std::int64_t model_capacity();
// Makes the storage and the renderer's: 0, -1785 beyond kModelFaceLimit, -10 without memory.
int alloc_model_storage();
void free_model_storage();

// The style-5 driver: builds the model of the drawn range and renders it on screen.
void draw_lens_model();
// Appends a face when every vertex number (sign ignored) is below the vertex count.
void add_model_face(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
// The faces of surface n's mesh, both ways round.
void add_model_surface_mesh(int n);
// Vertices and faces of one element (front and back the same surface: a two-sided surface).
void add_model_element(int front, int back, bool cemented);
// The outline of a surface whose drawing control is AP.
void draw_model_aperture(int n);
