#include "drawing/hidden_lines.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "drawing/lens_model.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "trace/drawing_buffers.h"
#include "trace/surface_frames.h"

namespace {

// The store of faces and edges, and the pieces of a segment still to be cut (reserved once).
struct Piece {
    double p[3];
    double q[3];
    int first;
};
struct HiddenLinesState {
    HiddenLineStore store;
    std::vector<Piece> pending;
};
HiddenLinesState g_hidden;

constexpr double kFacing = 1e-10;
constexpr double kEdgeTolerance = 1e-10;
constexpr double kShortest = 1e-12;

void rotate_into_view(const double g[3], double out[3]) {
    mat3_times_vector(g, g_hidden.store.view, out);
    out[2] += g_hidden.store.depth_offset;
}

std::int64_t edge_key(std::int32_t a, std::int32_t b) {
    return (static_cast<std::int64_t>(a) << 32) | static_cast<std::uint32_t>(b);
}

const double* model_point(std::int32_t v) {
    return &model_storage().vertices[3 * static_cast<std::size_t>(v)];
}

// The triangle of three model points when it faces the viewer and is not degenerate.
void add_triangle(std::int32_t a, std::int32_t b, std::int32_t c) {
    HiddenLineStore& s = g_hidden.store;
    if (s.triangle_count >= s.triangle_capacity) return;
    const double* p1 = model_point(a);
    const double* p2 = model_point(b);
    const double* p3 = model_point(c);
    const double det = p1[0] * (p2[1] * p3[2] - p2[2] * p3[1]) -
                       p1[1] * (p2[0] * p3[2] - p2[2] * p3[0]) +
                       p1[2] * (p2[0] * p3[1] - p2[1] * p3[0]);
    if (det < kFacing) return;
    const double u[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
    const double v[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
    double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length < kFacing) return;
    HiddenLineTriangle& t = s.triangles[s.triangle_count];
    for (int k = 0; k < 3; ++k) t.normal[k] = n[k] / length;
    t.offset = t.normal[0] * p1[0] + t.normal[1] * p1[1] + t.normal[2] * p1[2];
    t.corners[0] = a;
    t.corners[1] = b;
    t.corners[2] = c;
    s.depth_low[s.triangle_count] = std::min({p1[2], p2[2], p3[2]});
    s.depth_high[s.triangle_count] = std::max({p1[2], p2[2], p3[2]});
    ++s.triangle_count;
}

// The part [lo, hi] of s in [0, 1] where a + s (b - a) >= -tolerance; false when empty.
bool clip_linear(double a, double b, double tolerance, double& lo, double& hi) {
    const double d = b - a;
    if (std::fabs(d) < 1e-300) return a >= -tolerance;
    const double s = (-tolerance - a) / d;
    if (d > 0) {
        lo = std::max(lo, s);
    } else {
        hi = std::min(hi, s);
    }
    return lo <= hi;
}

// The interval of the segment that triangle t hides: false when it hides nothing.
bool hidden_interval(const HiddenLineTriangle& t, const double p[3], const double q[3],
                     double tolerance, double& lo, double& hi) {
    const double* c[3] = {model_point(t.corners[0]), model_point(t.corners[1]),
                          model_point(t.corners[2])};
    const double area =
        (c[1][0] - c[0][0]) * (c[2][1] - c[0][1]) - (c[1][1] - c[0][1]) * (c[2][0] - c[0][0]);
    if (std::fabs(area) < 1e-300 || std::fabs(t.normal[2]) < 1e-12) return false;
    const double sign = area > 0 ? 1.0 : -1.0;
    lo = 0.0;
    hi = 1.0;
    for (int k = 0; k < 3; ++k) {
        const double* u = c[k];
        const double* v = c[(k + 1) % 3];
        const double ex = v[0] - u[0];
        const double ey = v[1] - u[1];
        const double scale = std::sqrt(ex * ex + ey * ey);
        const double fp = sign * (ex * (p[1] - u[1]) - ey * (p[0] - u[0])) / scale;
        const double fq = sign * (ex * (q[1] - u[1]) - ey * (q[0] - u[0])) / scale;
        // Points on the outline count as inside, so that a line seen along the edge two
        // triangles share is hidden by them; the triangle's own edges lie in its plane and the
        // depth test keeps them.
        if (!clip_linear(fp, fq, kEdgeTolerance, lo, hi)) return false;
    }
    // Depth beyond the plane along the line of sight.
    auto behind = [&](const double x[3]) {
        const double plane = (t.offset - t.normal[0] * x[0] - t.normal[1] * x[1]) / t.normal[2];
        return x[2] - plane;
    };
    if (!clip_linear(behind(p), behind(q), -tolerance, lo, hi)) return false;
    return hi - lo > kShortest;
}

void draw_piece(const double p[3], const double q[3]) {
    dxf_polyline(p);
    dxf_vertex(q);
}

}  // namespace

HiddenLineStore& hidden_line_store() {
    return g_hidden.store;
}

int alloc_hidden_line_store(std::int64_t faces) {
    free_hidden_line_store();
    HiddenLineStore& s = g_hidden.store;
    try {
        const auto triangles = static_cast<std::size_t>(2 * (faces + 1));
        const auto edges = static_cast<std::size_t>(4 * (faces + 1));
        s.triangles.resize(triangles);
        s.depth_low.resize(triangles);
        s.depth_high.resize(triangles);
        s.order.resize(triangles);
        s.edge_a.resize(edges);
        s.edge_b.resize(edges);
        std::size_t table = 16;
        while (table < 2 * edges) table <<= 1;
        s.edge_keys.assign(table, -1);
        g_hidden.pending.reserve(256);
        s.triangle_capacity = static_cast<std::int64_t>(triangles);
        s.edge_capacity = static_cast<std::int64_t>(edges);
    } catch (const std::bad_alloc&) {
        free_hidden_line_store();
        return -10;
    }
    return 0;
}

void free_hidden_line_store() {
    g_hidden.store = HiddenLineStore{};
    std::vector<Piece>().swap(g_hidden.pending);
}

void add_model_edge(std::int32_t a, std::int32_t b) {
    HiddenLineStore& s = g_hidden.store;
    if (a > b) std::swap(a, b);
    if (a == b || s.edge_keys.empty()) return;
    const std::int64_t key = edge_key(a, b);
    const std::size_t mask = s.edge_keys.size() - 1;
    std::size_t h =
        static_cast<std::size_t>((static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> 17) &
        mask;
    while (s.edge_keys[h] != -1) {
        if (s.edge_keys[h] == key) return;
        h = (h + 1) & mask;
    }
    if (s.edge_count >= s.edge_capacity) return;
    s.edge_keys[h] = key;
    s.edge_a[s.edge_count] = a;
    s.edge_b[s.edge_count] = b;
    ++s.edge_count;
}

void hidden_line_segment(const double p[3], const double q[3], int first) {
    HiddenLineStore& s = g_hidden.store;
    // Depths carry the offset, about a thousand times the model's depth: the plane test allows
    // for the rounding of numbers that large.
    const double tolerance = kEdgeTolerance + 1e-13 * s.depth_offset;
    g_hidden.pending.clear();
    Piece start{};
    std::copy(p, p + 3, start.p);
    std::copy(q, q + 3, start.q);
    start.first = first;
    g_hidden.pending.push_back(start);
    while (!g_hidden.pending.empty()) {
        const Piece piece = g_hidden.pending.back();
        g_hidden.pending.pop_back();
        const double seg_high = std::max(piece.p[2], piece.q[2]);
        const double xlo = std::min(piece.p[0], piece.q[0]);
        const double xhi = std::max(piece.p[0], piece.q[0]);
        const double ylo = std::min(piece.p[1], piece.q[1]);
        const double yhi = std::max(piece.p[1], piece.q[1]);
        bool hidden = false;
        for (int i = piece.first; i < s.triangle_count; ++i) {
            const int t = s.order[i];
            if (s.depth_low[t] > seg_high + tolerance) break;  // this and all after lie behind
            const HiddenLineTriangle& tri = s.triangles[t];
            const double* c0 = model_point(tri.corners[0]);
            const double* c1 = model_point(tri.corners[1]);
            const double* c2 = model_point(tri.corners[2]);
            if (std::max({c0[0], c1[0], c2[0]}) < xlo || std::min({c0[0], c1[0], c2[0]}) > xhi ||
                std::max({c0[1], c1[1], c2[1]}) < ylo || std::min({c0[1], c1[1], c2[1]}) > yhi) {
                continue;
            }
            double lo = 0.0;
            double hi = 1.0;
            if (!hidden_interval(tri, piece.p, piece.q, tolerance, lo, hi)) continue;
            hidden = true;
            const double d[3] = {piece.q[0] - piece.p[0], piece.q[1] - piece.p[1],
                                 piece.q[2] - piece.p[2]};
            if (lo > kShortest) {
                Piece a{};
                std::copy(piece.p, piece.p + 3, a.p);
                for (int k = 0; k < 3; ++k) a.q[k] = piece.p[k] + lo * d[k];
                a.first = i + 1;
                g_hidden.pending.push_back(a);
            }
            if (hi < 1.0 - kShortest) {
                Piece b{};
                for (int k = 0; k < 3; ++k) b.p[k] = piece.p[k] + hi * d[k];
                std::copy(piece.q, piece.q + 3, b.q);
                b.first = i + 1;
                g_hidden.pending.push_back(b);
            }
            break;
        }
        if (!hidden) draw_piece(piece.p, piece.q);
    }
}

int draw_hidden_line_model() {
    HiddenLineStore& s = g_hidden.store;
    ModelStorage& m = model_storage();
    const double* v = drawing_views().other_view;
    for (int k = 0; k < 6; ++k) s.view[k] = v[k];
    for (int k = 6; k < 9; ++k) s.view[k] = -v[k];
    s.depth_offset = 0.0;
    double low = 1e20;
    double high = -1e20;
    for (std::int32_t i = 0; i < m.vertex_count; ++i) {
        double* p = &m.vertices[3 * static_cast<std::size_t>(i)];
        double r[3];
        mat3_times_vector(p, s.view, r);
        std::copy(r, r + 3, p);
        low = std::min(low, r[2]);
        high = std::max(high, r[2]);
    }
    s.depth_offset = std::fabs((high - low) * 1000.0);
    for (std::int32_t i = 0; i < m.vertex_count; ++i)
        m.vertices[3 * static_cast<std::size_t>(i) + 2] += s.depth_offset;
    s.rendered = true;
    s.triangle_count = 0;
    s.edge_count = 0;
    std::fill(s.edge_keys.begin(), s.edge_keys.end(), -1);
    for (std::int32_t f = 0; f < m.face_count; ++f) {
        const std::int32_t* r = &m.faces[5 * static_cast<std::size_t>(f)];
        const std::int32_t a = std::abs(r[0]);
        const std::int32_t b = std::abs(r[1]);
        const std::int32_t c = std::abs(r[2]);
        const std::int32_t d = std::abs(r[3]);
        const int n = c == d ? 3 : 4;
        const int before = s.triangle_count;
        add_triangle(a, b, c);
        if (n == 4 && s.triangle_count > before) add_triangle(c, d, a);
        for (int k = 0; k < n; ++k) {
            if (r[k] < 0) continue;
            const int prev = (k + n - 1) % n;
            add_model_edge(std::abs(r[prev]), std::abs(r[k]));
        }
    }
    if (get_setting_flag(kSetDiagnosticOutput) != 0) {
        text_printf("Nbr of vertices faces triangles lines %d %d %d %d\n", m.vertex_count,
                    m.face_count, s.triangle_count, s.edge_count);
    }
    for (int i = 0; i < s.triangle_count; ++i) s.order[i] = i;
    const double* keys = s.depth_low.data();
    std::make_heap(s.order.begin(), s.order.begin() + s.triangle_count,
                   [keys](int a, int b) { return keys[a] < keys[b]; });
    std::sort_heap(s.order.begin(), s.order.begin() + s.triangle_count,
                   [keys](int a, int b) { return keys[a] < keys[b]; });
    for (int e = 0; e < s.edge_count; ++e) {
        hidden_line_segment(model_point(s.edge_a[e]), model_point(s.edge_b[e]), 0);
    }
    return s.edge_count;
}

bool model_overlay_active() {
    return g_hidden.store.rendered && lens_drawing_state().style == kStyleModel &&
           drawing_buffers().output_mode < kCadModeDxf;
}

void model_overlay_point(const double g[3], bool draw) {
    double r[3];
    rotate_into_view(g, r);
    if (draw) hidden_line_segment(g_hidden.store.line_start, r, 0);
    std::copy(r, r + 3, g_hidden.store.line_start);
}

void drawing_emit(const double g[3], bool draw) {
    if (model_overlay_active()) {
        model_overlay_point(g, draw);
    } else if (draw) {
        dxf_vertex(g);
    } else {
        dxf_polyline(g);
    }
}

namespace {
void reset_hidden_lines() {
    free_hidden_line_store();
    std::vector<Piece>().swap(g_hidden.pending);
}
const platform::StateReset hidden_lines_state_reset{"drawing/hidden_lines", reset_hidden_lines,
                                                    platform::ResetLayer::feature};
}  // namespace
