#include "drawing/lens_model.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "drawing/element_outlines.h"
#include "drawing/hidden_lines.h"
#include "drawing/surface_walk.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "tables/table_names.h"
#include "trace/drawing_buffers.h"
#include "trace/sag_point.h"
#include "trace/surface_frames.h"
#include "trace/surface_sag.h"

namespace {

ModelStorage g_model;

constexpr double kDegree = 0.017453292519943295;
constexpr int kMaxAutomaticRings = 7;
constexpr double kSlabHalf = 0.005;

// One patch of vertices as laid down: the centre, then per angle its rings (and the border or
// step vertex when there is one).
struct Patch {
    std::int32_t centre = 0;
    int rings = 0;
    bool outer = false;  // one more vertex per angle beyond the last ring
    int angles = 0;
    std::int32_t at(int angle, int ring) const {
        return centre + 1 + angle * (rings + (outer ? 1 : 0)) + (ring - 1);
    }
    std::int32_t outermost(int angle) const { return at(angle, outer ? rings + 1 : rings); }
};

int automatic_rings(double semi, double curvature) {
    return std::min(static_cast<int>(std::floor(2.1 * std::fabs(semi * curvature))) + 3,
                    kMaxAutomaticRings);
}

int spokes_for(int rings, int dlsp) {
    int spokes = rings < 5 ? 4 : rings - 1;
    if (dlsp > 0) spokes = dlsp;
    if (spokes % 2 != 0) ++spokes;
    return spokes;
}

const DrawingConditions& conditions() {
    static const DrawingConditions kNone{};
    const DrawingConditions* c = lens_data().drawing_conditions;
    return c != nullptr ? *c : kNone;
}

int angle_count(int spokes) {
    const LensDrawingState& st = lens_drawing_state();
    const double step = 90.0 / spokes;
    int count = 0;
    for (double t = 10.0 * st.arc_start; t < 10.0 * st.arc_end + 1e-5 * step; t += step) ++count;
    return count;
}

bool room(int vertices, int faces) {
    const ModelStorage& m = g_model;
    return m.vertex_count + vertices <= m.capacity && m.face_count + faces <= m.capacity;
}

std::int32_t add_vertex(const double g[3]) {
    ModelStorage& m = g_model;
    if (m.vertex_count >= m.capacity) return -1;
    double* v = &m.vertices[3 * static_cast<std::size_t>(m.vertex_count)];
    v[0] = g[0];
    v[1] = g[1];
    v[2] = g[2];
    return m.vertex_count++;
}

std::int32_t add_local_vertex(int n, double x, double y, double z) {
    double g[3];
    frame_xyz_to_global(x, y, z, n, g);
    return add_vertex(g);
}

double sag_at(int n, double x, double y) {
    SagPoint p{};
    surface_sag_normal(surface(n), x, y, p);
    return p.z;
}

double semi_aperture(const SurfaceOutline& o) {
    const double ax = std::fabs(o.rim[2][0] - o.rim[0][0]);
    const double ay = std::fabs(o.rim[1][1] - o.rim[0][1]);
    return std::max(ax, ay);
}

// The vertices of one surface's patch. other_semi > own semi adds the step vertex per angle
// at the other surface's semi-axes; a rectangle outline adds its border instead.
Patch add_surface_patch(int n, const SurfaceOutline& o, int rings, int spokes,
                        const SurfaceOutline* other, bool rectangle) {
    const LensDrawingState& st = lens_drawing_state();
    Patch patch;
    patch.rings = rings;
    patch.angles = angle_count(spokes);
    const double xc = o.rim[0][0];
    const double yc = o.rim[0][1];
    const double ax = o.rim[2][0] - xc;
    const double ay = o.rim[1][1] - yc;
    double oax = 0.0;
    double oay = 0.0;
    if (!rectangle && other != nullptr && semi_aperture(*other) > semi_aperture(o)) {
        patch.outer = true;
        oax = other->rim[2][0] - other->rim[0][0];
        oay = other->rim[1][1] - other->rim[0][1];
    }
    if (rectangle) patch.outer = true;
    const int per_angle = rings + (patch.outer ? 1 : 0);
    if (!room(1 + patch.angles * per_angle, 0)) {
        patch.angles = 0;
        return patch;
    }
    patch.centre = add_local_vertex(n, xc, yc, sag_at(n, xc, yc));
    const double step = 90.0 / spokes;
    const double shrink = rectangle ? 0.995 : 1.0;
    for (int a = 0; a < patch.angles; ++a) {
        const double t = 10.0 * st.arc_start + a * step;
        const double s = std::sin(t * kDegree);
        const double c = std::cos(t * kDegree);
        double last_z = 0.0;
        for (int j = 1; j <= rings; ++j) {
            const double f = shrink * j / rings;
            const double x = xc + f * ax * s;
            const double y = yc + f * ay * c;
            last_z = sag_at(n, x, y);
            add_local_vertex(n, x, y, last_z);
        }
        if (rectangle) {
            // Where the direction from the centre meets the rectangle; the corners exactly at
            // the diagonals.
            const double along = std::min(std::fabs(s) > 1e-12 ? std::fabs(ax / s) : 1e300,
                                          std::fabs(c) > 1e-12 ? std::fabs(ay / c) : 1e300);
            double x = xc + along * s;
            double y = yc + along * c;
            const double mod = std::fmod(t, 90.0);
            if (std::fabs(mod - 45.0) < 1e-9) {
                x = xc + std::copysign(std::fabs(ax), s);
                y = yc + std::copysign(std::fabs(ay), c);
            }
            add_local_vertex(n, x, y, sag_at(n, x, y));
        } else if (patch.outer) {
            add_local_vertex(n, xc + oax * s, yc + oay * c, last_z);
        }
    }
    return patch;
}

// The faces of a patch; reversed for the back of an element.
void add_patch_faces(const Patch& p, bool reversed) {
    const int rings = p.rings + (p.outer ? 1 : 0);
    for (int a = 0; a + 1 < p.angles; ++a) {
        const std::int32_t i1 = p.at(a, 1);
        const std::int32_t j1 = p.at(a + 1, 1);
        if (reversed) {
            add_model_face(j1, i1, p.centre, p.centre);
        } else {
            add_model_face(i1, j1, p.centre, p.centre);
        }
        for (int r = 1; r < rings; ++r) {
            const std::int32_t a0 = p.at(a, r);
            const std::int32_t b0 = p.at(a + 1, r);
            const std::int32_t a1 = p.at(a, r + 1);
            const std::int32_t b1 = p.at(a + 1, r + 1);
            if (reversed) {
                add_model_face(a0, b0, b1, a1);
            } else {
                add_model_face(a1, b1, b0, a0);
            }
        }
    }
}

// An obstruction: its patch moved half a slab back along z, a copy a slab further, and the
// faces of both layers and of the border between them.
void add_obstruction_slab(int n, const SurfaceOutline& o, int rings, int spokes) {
    SurfaceOutline ob = o;
    for (int k = 0; k < 5; ++k) {
        for (int c = 0; c < 3; ++c) ob.rim[k][c] = o.obstructed[k][c];
    }
    const bool rectangle = o.obstruction->shape == kApertureRectangle;
    const std::int32_t start = g_model.vertex_count;
    Patch a = add_surface_patch(n, ob, rings, spokes, nullptr, rectangle);
    if (a.angles == 0) return;
    const std::int32_t count = g_model.vertex_count - start;
    if (!room(count, 0)) return;
    for (std::int32_t i = start; i < start + count; ++i) {
        g_model.vertices[3 * static_cast<std::size_t>(i) + 2] -= kSlabHalf;
    }
    for (std::int32_t i = start; i < start + count; ++i) {
        double g[3];
        for (int c = 0; c < 3; ++c) g[c] = g_model.vertices[3 * static_cast<std::size_t>(i) + c];
        g[2] += 2.0 * kSlabHalf;
        add_vertex(g);
    }
    Patch b = a;
    b.centre = a.centre + count;
    add_patch_faces(a, false);
    add_patch_faces(b, true);
    for (int i = 0; i + 1 < a.angles; ++i) {
        add_model_face(a.outermost(i + 1), a.outermost(i), b.outermost(i), b.outermost(i + 1));
    }
}

void write_new_faces(int first_face, int front, int back) {
    if (drawing_buffers().output_mode != kCadModeDxf) return;
    CadOutput& out = cad_output();
    out.model_vertices = g_model.vertices.data();
    out.model_faces = g_model.faces.data();
    out.model_vertex_count = g_model.vertex_count;
    out.model_face_count = g_model.face_count;
    dxf_3dface(first_face, g_model.face_count, front, back);
}

}  // namespace

ModelStorage& model_storage() {
    return g_model;
}

std::int64_t model_capacity() {
    const LensData& lens = lens_data();
    const DrawingConditions& c = conditions();
    std::int64_t rings = c.dlri > 0 ? c.dlri : kMaxAutomaticRings;
    std::int64_t spokes = c.dlsp > 0 ? c.dlsp : (rings < 5 ? 4 : rings - 1);
    if (spokes % 2 != 0) ++spokes;
    const std::int64_t angles = 4 * spokes + 1;
    // Per surface: its patch with a step or border ring, two obstruction slabs of two layers,
    // the edge, the two cut faces and the repeated faces of a single surface.
    const std::int64_t per_surface = 8 * angles * (rings + 2) + 16;
    std::int64_t total = 1;  // the spare vertex 0
    for (int n = 0; n <= lens.image_surface; ++n) {
        total += per_surface;
        const SurfaceMesh* mesh = surface(n).mesh;
        if (mesh != nullptr) total += 2 * std::int64_t{mesh->face_count} + mesh->vertex_count;
        if (total > kModelFaceLimit) return total;
    }
    return total;
}

int alloc_model_storage() {
    free_model_storage();
    const std::int64_t capacity = model_capacity();
    if (capacity > kModelFaceLimit) return kMsgDrawingModelStorage;
    try {
        g_model.vertices.assign(3 * static_cast<std::size_t>(capacity + 1), 0.0);
        g_model.faces.assign(5 * static_cast<std::size_t>(capacity + 1), 0);
    } catch (const std::bad_alloc&) {
        free_model_storage();
        return -10;
    }
    if (alloc_hidden_line_store(capacity) != 0) {
        free_model_storage();
        return -10;
    }
    g_model.capacity = capacity;
    g_model.made_for = lens_data().image_surface;
    return 0;
}

void free_model_storage() {
    g_model = ModelStorage{};
    free_hidden_line_store();
    CadOutput& out = cad_output();
    out.model_vertices = nullptr;
    out.model_faces = nullptr;
    out.model_vertex_count = 0;
    out.model_face_count = 0;
}

void add_model_face(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    ModelStorage& m = g_model;
    if (m.face_count >= m.capacity) return;
    for (std::int32_t v : {a, b, c, d}) {
        if (std::abs(v) >= m.vertex_count) return;
    }
    std::int32_t* f = &m.faces[5 * static_cast<std::size_t>(m.face_count)];
    f[0] = a;
    f[1] = b;
    f[2] = c;
    f[3] = d;
    f[4] = 0;
    ++m.face_count;
}

void add_model_surface_mesh(int n) {
    const SurfaceMesh* mesh = surface(n).mesh;
    if (mesh == nullptr || mesh->vertices == nullptr || mesh->faces == nullptr) return;
    const int image = lens_data().image_surface;
    const int first_face = g_model.face_count;
    const std::int32_t base = g_model.vertex_count;
    if (!room(mesh->vertex_count, 2 * mesh->face_count)) return;
    for (int v = 0; v < mesh->vertex_count; ++v) {
        const MeshVertex& mv = mesh->vertices[v];
        const int owner = std::clamp(n + mv.surface_offset, 0, image);
        add_local_vertex(owner, mv.x, mv.y, mv.z);
    }
    for (int f = 0; f < mesh->face_count; ++f) {
        const MeshFace& face = mesh->faces[f];
        std::int32_t v[4];
        int count = 0;
        bool usable = face.vertices[0] != 0;
        for (int k = 0; k < 4 && face.vertices[k] != 0 && usable; ++k) {
            const int index = std::abs(face.vertices[k]) - 1;
            if (index >= mesh->vertex_count) usable = false;  // beyond its mesh: skipped
            v[count++] = face.vertices[k] < 0 ? -(base + index) : base + index;
        }
        if (!usable || count < 3) continue;
        if (count == 3) v[3] = v[2];
        add_model_face(v[0], v[1], v[2], v[3]);
        add_model_face(v[3], v[2], v[1], v[0]);
    }
    write_new_faces(first_face, n, n);
}

void add_model_element(int front, int back, bool cemented) {
    (void)cemented;
    const DrawingConditions& c = conditions();
    const int first_face = g_model.face_count;
    SurfaceOutline fo;
    SurfaceOutline bo;
    surface_outline_points(front, fo);
    surface_outline_points(back, bo);
    const bool single = front == back;
    int rings_front = automatic_rings(semi_aperture(fo), surface(front).curvature);
    int rings_back = automatic_rings(semi_aperture(bo), surface(back).curvature);
    if (c.dlri > 0) rings_front = rings_back = c.dlri;
    const int k = single ? rings_front : std::max(rings_front, rings_back);
    const int spokes = spokes_for(k, c.dlsp);
    const bool front_rect = fo.special != nullptr && fo.special->shape == kApertureRectangle;
    const bool back_rect = bo.special != nullptr && bo.special->shape == kApertureRectangle;
    const Patch f =
        add_surface_patch(front, fo, rings_front, spokes, single ? nullptr : &bo, front_rect);
    if (f.angles == 0) return;
    add_patch_faces(f, false);
    if (single) {
        add_patch_faces(f, true);
    } else {
        const Patch b = add_surface_patch(back, bo, rings_back, spokes, &fo, back_rect);
        if (b.angles == 0) return;
        add_patch_faces(b, true);
        const int intervals = f.angles - 1;
        for (int a = 0; a < intervals; ++a) {
            add_model_face(f.outermost(a + 1), f.outermost(a), b.outermost(a), b.outermost(a + 1));
        }
        if (intervals < 4 * spokes) {
            // The two cut faces; the chords across them stay undrawn.
            add_model_face(b.centre, -b.outermost(0), f.outermost(0), -f.centre);
            add_model_face(f.centre, -f.outermost(intervals), b.outermost(intervals), -b.centre);
        }
    }
    if (fo.obstruction != nullptr) add_obstruction_slab(front, fo, rings_front, spokes);
    if (!single && bo.obstruction != nullptr) add_obstruction_slab(back, bo, rings_back, spokes);
    write_new_faces(first_face, front, back);
}

void draw_model_aperture(int n) {
    if (drawing_buffers().output_mode >= kCadModeDxf) return;
    const SurfaceRecord& s = surface(n);
    auto emit = [&](double x, double y, bool draw) {
        double g[3];
        frame_xyz_to_global(x, y, sag_at(n, x, y), n, g);
        drawing_emit(g, draw);
    };
    auto outline = [&](const SpecialAperture& a) {
        double b[4] = {std::min(a.x[0], a.x[1]), std::max(a.x[0], a.x[1]), std::min(a.y[0], a.y[1]),
                       std::max(a.y[0], a.y[1])};
        const double xc = 0.5 * (b[0] + b[1]);
        const double yc = 0.5 * (b[2] + b[3]);
        const double hx = 0.5 * (b[1] - b[0]);
        const double hy = 0.5 * (b[3] - b[2]);
        const double turn = a.angle * kDegree;
        auto turned = [&](double x, double y, bool draw) {
            const double dx = x - xc;
            const double dy = y - yc;
            emit(xc + dx * std::cos(turn) - dy * std::sin(turn),
                 yc + dx * std::sin(turn) + dy * std::cos(turn), draw);
        };
        if (a.shape == kApertureEllipse) {
            if (hx < 1e-40 || hy < 1e-40) return;
            for (int k = 0; k <= 40; ++k) {
                const double t = 9.0 * k * kDegree;
                turned(xc + hx * std::cos(t), yc + hy * std::sin(t), k != 0);
            }
        } else if (a.shape == kApertureRectangle) {
            if (hx < 1e-40 || hy < 1e-40) return;
            const double cx[5] = {b[0], b[1], b[1], b[0], b[0]};
            const double cy[5] = {b[2], b[2], b[3], b[3], b[2]};
            for (int k = 0; k < 5; ++k) turned(cx[k], cy[k], k != 0);
        } else {
            const int corners = a.shape == kApertureTriangle ? 3 : 4;
            for (int k = 0; k <= corners; ++k) emit(a.x[k % corners], a.y[k % corners], k != 0);
        }
        end_drawing_line();
    };
    bool any = false;
    for (int i = 0; i < s.special_aperture_count && s.special_apertures != nullptr; ++i) {
        if (s.special_apertures[i].action != kActionClear) continue;
        outline(s.special_apertures[i]);
        any = true;
    }
    if (!any && s.aperture_radius > 0.0) {
        const double r = s.aperture_radius;
        for (int k = 0; k <= 40; ++k) {
            const double t = 9.0 * k * kDegree;
            emit(r * std::cos(t), r * std::sin(t), k != 0);
        }
        end_drawing_line();
    }
}

void draw_lens_model() {
    LensDrawingState& st = lens_drawing_state();
    ModelStorage& m = g_model;
    m.vertex_count = 0;
    m.face_count = 0;
    st.layer_counter = 0;
    hidden_line_store().rendered = false;
    if (m.capacity <= 0) return;
    // Vertex 0 is never a face's corner, so that every corner can carry the sign that hides
    // an edge.
    const double origin[3] = {0.0, 0.0, 0.0};
    add_vertex(origin);
    for (int n = std::max(st.first, 0); n <= st.last; ++n) add_model_surface_mesh(n);
    st.mirror_parity = 0;
    st.exit_parity = 0;
    start_surface_walk();
    bool have = next_drawn_surface() != 0;
    while (have && m.face_count < m.capacity) {
        track_mirror_parity();
        const int n = st.walker;
        if (surface_hidden_in_drawing(true)) {
            have = next_drawn_surface() != 0;
            continue;
        }
        if (!surface_starts_element()) {
            add_model_element(n, n, false);
            cad_output().layer = st.layer_counter = (st.layer_counter + 1) % 8;
            have = next_drawn_surface() != 0;
            continue;
        }
        // An element: its back is the next drawn surface; a cemented back begins the next one.
        int front = n;
        while (true) {
            const int parity = st.mirror_parity;
            have = next_drawn_surface() != 0;
            while (have && surface_hidden_in_drawing(true)) {
                track_mirror_parity();
                have = next_drawn_surface() != 0;
            }
            if (!have) {
                add_model_element(front, front, false);
                break;
            }
            track_mirror_parity();
            const int back = st.walker;
            if (parity % 2 != 0) {
                add_model_element(back, front, false);
            } else {
                add_model_element(front, back, false);
            }
            cad_output().layer = st.layer_counter = (st.layer_counter + 1) % 8;
            if (!surface_starts_element()) {
                have = next_drawn_surface() != 0;
                break;
            }
            front = back;  // cemented: the back begins the next element
        }
    }
    if (drawing_buffers().output_mode < kCadModeDxf && m.vertex_count > 1) {
        draw_hidden_line_model();
    }
    for (int n = std::max(st.first, 0); n <= st.last; ++n) {
        if (surface(n).drawing_mode == kDrawingAp) draw_model_aperture(n);
    }
}

namespace {
const platform::StateReset lens_model_state_reset{"drawing/lens_model", free_model_storage,
                                                  platform::ResetLayer::feature};
}  // namespace
