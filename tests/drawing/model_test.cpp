// The 3-D model: its faces by mesh density and rim arc, its refusal beyond the storage limit,
// and the hidden-line drawing checked against the triangles it keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "drawing/hidden_lines.h"
#include "drawing/lens_model.h"
#include "lens/lens_data.h"
#include "tables/table_names.h"
#include "tests/drawing/drawing_fixture.h"
#include "trace/surface_frames.h"

namespace {

using drawing_test::Drawing;
using drawing_test::Point;
using drawing_test::Polyline;

class Model : public Drawing {
protected:
    void singlet(const std::vector<std::string>& conditions) {
        std::vector<std::string> lines = {"LEN NEW \"Singlet\"", "NXT", "SRF 50 5 N-BK7 10",
                                          "SRF -50 40 AIR 10"};
        lines.insert(lines.end(), conditions.begin(), conditions.end());
        lines.push_back("END");
        lines.push_back("LEN");
        run_all(lines);
    }
};

TEST_F(Model, FacesFollowRingsSpokesAndArc) {
    struct Case {
        std::vector<std::string> conditions;
        int faces;
        int vertices;
    };
    const Case cases[] = {
        // 27 table steps of 10 degrees, 4 spokes a quarter: 12 intervals; 3 faces an interval
        // on each surface, 12 edge faces, 2 cut faces.
        {{"DLRI 3", "DLSP 4"}, 12 * 3 * 2 + 12 + 2, 1 + 2 * (1 + 13 * 3)},
        // The full turn is not cut.
        {{"DLRI 3", "DLSP 4", "DLAP 3"}, 16 * 3 * 2 + 16, 1 + 2 * (1 + 17 * 3)},
        // An odd spoke count is raised: 6 spokes, 18 intervals.
        {{"DLRI 3", "DLSP 5"}, 18 * 3 * 2 + 18 + 2, 1 + 2 * (1 + 19 * 3)},
        // Automatic: 2.1 x 10/50 gives 3 rings, 4 spokes.
        {{"DLRI 0", "DLSP 0"}, 12 * 3 * 2 + 12 + 2, 1 + 2 * (1 + 13 * 3)},
    };
    for (const Case& c : cases) {
        singlet(c.conditions);
        ASSERT_EQ(run("draw_lens model"), 0) << error_text();
        EXPECT_EQ(model_storage().face_count, c.faces) << c.conditions.back();
        EXPECT_EQ(model_storage().vertex_count, c.vertices) << c.conditions.back();
    }
}

TEST_F(Model, SingleSurfaceIsTwoSided) {
    run_all({"LEN NEW \"Mirror\"", "NXT", "RD -100", "TH -50", "RFL", "AP 10", "DLRI 3", "DLSP 4",
             "END", "LEN"});
    ASSERT_EQ(run("draw_lens model"), 0) << error_text();
    const ModelStorage& m = model_storage();
    ASSERT_EQ(m.face_count, 2 * 12 * 3);
    // The second half holds the first half's faces in reverse order.
    const int half = m.face_count / 2;
    for (int f = 0; f < half; ++f) {
        const std::int32_t* a = &m.faces[5 * static_cast<std::size_t>(f)];
        const std::int32_t* b = &m.faces[5 * static_cast<std::size_t>(half + f)];
        std::vector<std::int32_t> forward(a, a + 4);
        std::vector<std::int32_t> back(b, b + 4);
        std::reverse(back.begin(), back.end());
        // A triangle repeats its last corner: compare as cycles.
        std::rotate(back.begin(), std::find(back.begin(), back.end(), forward[0]), back.end());
        EXPECT_EQ(std::vector<std::int32_t>(forward.begin(), forward.begin() + 2),
                  std::vector<std::int32_t>(back.begin(), back.begin() + 2))
            << f;
    }
}

TEST_F(Model, StorageBeyondTheLimitIsRefused) {
    singlet({"DLRI 1000000", "DLSP 4"});
    EXPECT_EQ(run("draw_lens model"), kMsgDrawingModelStorage);
    EXPECT_EQ(model_storage().capacity, 0);
    EXPECT_EQ(test_state_flag(kFlagLensDrawingShown), 0);
}

// The hidden-line pass on a plate seen from above its back face.
class HiddenLines : public Drawing {
protected:
    void SetUp() override {
        Drawing::SetUp();
        run_all({"LEN NEW \"Plate\"", "NXT", "SRF 0 5 N-BK7 10", "SRF 0 40 AIR 10", "DLAP 3",
                 "DLRI 3", "DLSP 4", "DLVA 30", "DLHA 0", "END", "LEN"});
        ASSERT_EQ(run("draw_lens model"), 0) << error_text();
        ASSERT_TRUE(hidden_line_store().rendered);
    }
    // The visible pieces of every edge, in view coordinates, collected in the point list.
    std::vector<Polyline> visible_edges() {
        const HiddenLineStore& s = hidden_line_store();
        CadOutput& out = cad_output();
        out.points.clear();
        out.records.clear();
        drawing_buffers().output_mode = kCadModeIges;
        for (int e = 0; e < s.edge_count; ++e) {
            hidden_line_segment(point(s.edge_a[e]), point(s.edge_b[e]), 0);
        }
        iges_sections(12);
        drawing_buffers().output_mode = 0;
        std::vector<Polyline> lines;
        for (std::size_t k = 0; k < out.points.size(); ++k) {
            if (out.records[k][0] == out.records[k][1]) lines.emplace_back();
            lines.back().push_back(out.points[k]);
        }
        return lines;
    }
    static const double* point(int v) {
        return &model_storage().vertices[3 * static_cast<std::size_t>(v)];
    }
    // Global coordinates of a point in view coordinates.
    static Point global(const Point& v) {
        const HiddenLineStore& s = hidden_line_store();
        const double d[3] = {v[0], v[1], v[2] - s.depth_offset};
        Point g{};
        for (int i = 0; i < 3; ++i) {
            g[i] = s.view[i] * d[0] + s.view[3 + i] * d[1] + s.view[6 + i] * d[2];
        }
        return g;
    }
    // Whether a kept triangle lies in front of the point (by more than a small margin).
    static bool covered(const Point& p, double margin) {
        const HiddenLineStore& s = hidden_line_store();
        for (int t = 0; t < s.triangle_count; ++t) {
            const HiddenLineTriangle& tri = s.triangles[t];
            const double* c[3] = {point(tri.corners[0]), point(tri.corners[1]),
                                  point(tri.corners[2])};
            double side[3];
            for (int k = 0; k < 3; ++k) {
                const double* u = c[k];
                const double* v = c[(k + 1) % 3];
                const double length = std::hypot(v[0] - u[0], v[1] - u[1]);
                side[k] = ((v[0] - u[0]) * (p[1] - u[1]) - (v[1] - u[1]) * (p[0] - u[0])) / length;
            }
            const bool inside = (side[0] > margin && side[1] > margin && side[2] > margin) ||
                                (side[0] < -margin && side[1] < -margin && side[2] < -margin);
            if (!inside) continue;
            const double plane =
                (tri.offset - tri.normal[0] * p[0] - tri.normal[1] * p[1]) / tri.normal[2];
            if (p[2] > plane + margin) return true;
        }
        return false;
    }
};

TEST_F(HiddenLines, PlateShowsSilhouettesAndNearRingsOnly) {
    const std::vector<Polyline> lines = visible_edges();
    ASSERT_FALSE(lines.empty());
    bool left = false;
    bool right = false;
    bool near_ring = false;
    for (const Polyline& l : lines) {
        const Point a = global(l.front());
        const Point b = global(l.back());
        // The rim lines along the axis at x = +-r are the silhouettes.
        if (std::fabs(a[0] - b[0]) < 1e-9 && std::fabs(a[2] - b[2]) > 4.0) {
            if (std::fabs(a[0] - 10.0) < 1e-9) right = true;
            if (std::fabs(a[0] + 10.0) < 1e-9) left = true;
        }
        // A ring of the near face (z = 5) inside its rim.
        const double ra = std::hypot(a[0], a[1]);
        if (std::fabs(a[2] - 5.0) < 1e-9 && std::fabs(b[2] - 5.0) < 1e-9 && ra < 9.0) {
            near_ring = true;
        }
    }
    EXPECT_TRUE(left);
    EXPECT_TRUE(right);
    EXPECT_TRUE(near_ring);
    // Nothing of the far face (z = 0) near its centre: seen at 30 degrees the near face covers
    // it.
    for (const Polyline& l : lines) {
        for (const Point& p : l) {
            const Point g = global(p);
            EXPECT_FALSE(std::fabs(g[2]) < 1e-9 && std::hypot(g[0], g[1]) < 5.0)
                << g[0] << " " << g[1] << " " << g[2];
        }
    }
}

TEST_F(HiddenLines, DrawnSamplesAreUncoveredAndRemovedSamplesCovered) {
    const std::vector<Polyline> lines = visible_edges();
    const HiddenLineStore& s = hidden_line_store();
    const double margin = 1e-7;
    for (const Polyline& l : lines) {
        for (int k = 1; k < 8; ++k) {
            const double f = k / 8.0;
            const Point p = {l[0][0] + f * (l[1][0] - l[0][0]), l[0][1] + f * (l[1][1] - l[0][1]),
                             l[0][2] + f * (l[1][2] - l[0][2])};
            EXPECT_FALSE(covered(p, margin))
                << p[0] << " " << p[1] << " " << p[2] << " of " << l[0][0] << " " << l[0][1] << " "
                << l[1][0] << " " << l[1][1];
        }
    }
    // Every sample of an edge that no drawn piece passes through is covered.
    int removed = 0;
    for (int e = 0; e < s.edge_count; ++e) {
        const double* a = point(s.edge_a[e]);
        const double* b = point(s.edge_b[e]);
        for (int k = 1; k < 8; ++k) {
            const double f = k / 8.0;
            const Point p = {a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1]),
                             a[2] + f * (b[2] - a[2])};
            bool drawn = false;
            for (const Polyline& l : lines) {
                const double lx = l[1][0] - l[0][0];
                const double ly = l[1][1] - l[0][1];
                const double lz = l[1][2] - l[0][2];
                const double len2 = lx * lx + ly * ly + lz * lz;
                if (len2 == 0.0) continue;
                double t =
                    ((p[0] - l[0][0]) * lx + (p[1] - l[0][1]) * ly + (p[2] - l[0][2]) * lz) / len2;
                t = std::clamp(t, 0.0, 1.0);
                const Point q = {l[0][0] + t * lx, l[0][1] + t * ly, l[0][2] + t * lz};
                if (drawing_test::distance(p, q) < 1e-9) {
                    drawn = true;
                    break;
                }
            }
            if (drawn) continue;
            ++removed;
            EXPECT_TRUE(covered(p, -margin)) << "edge " << e << " sample " << k;
        }
    }
    EXPECT_GT(removed, 0);
}

// Single triangles and lines against a hand-made model seen along -z (view rotation identity).
class HiddenLineCases : public Drawing {
protected:
    void SetUp() override {
        Drawing::SetUp();
        std::copy(std::begin(kIdentity), std::end(kIdentity), drawing_views().other_view);
        ModelStorage& m = model_storage();
        m.vertices.assign(3 * 64, 0.0);
        m.faces.assign(5 * 64, 0);
        m.capacity = 63;
        ASSERT_EQ(alloc_hidden_line_store(63), 0);
    }
    void TearDown() override {
        free_model_storage();
        Drawing::TearDown();
    }
    void vertices(const std::vector<Point>& points) {
        ModelStorage& m = model_storage();
        m.vertex_count = 0;
        for (const Point& p : points) {
            for (int k = 0; k < 3; ++k)
                m.vertices[3 * static_cast<std::size_t>(m.vertex_count) + k] = p[k];
            ++m.vertex_count;
        }
    }
    // Draws the model and the line p-q (global) with hiding; the drawn pieces of the line.
    std::vector<Polyline> line_through(const Point& p, const Point& q) {
        drawing_buffers().output_mode = kCadModeIges;
        lens_drawing_state().style = kStyleModel;
        draw_hidden_line_model();
        CadOutput& out = cad_output();
        out.points.clear();
        out.records.clear();
        double r[3];
        double s[3];
        const HiddenLineStore& st = hidden_line_store();
        mat3_times_vector(p.data(), st.view, r);
        mat3_times_vector(q.data(), st.view, s);
        r[2] += st.depth_offset;
        s[2] += st.depth_offset;
        hidden_line_segment(r, s, 0);
        iges_sections(12);
        drawing_buffers().output_mode = 0;
        std::vector<Polyline> lines;
        for (std::size_t k = 0; k < out.points.size(); ++k) {
            if (out.records[k][0] == out.records[k][1]) lines.emplace_back();
            lines.back().push_back(out.points[k]);
        }
        return lines;
    }
    static constexpr double kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

TEST_F(HiddenLineCases, TrianglesHideOnlyWhatLiesBehindThem) {
    // Seen from +z: corners counter-clockwise face the viewer.
    vertices({{0, 0, 0},
              {-2, -2, 1},
              {2, -2, 1},
              {0, 2, 1},  // 1-3 a front triangle at z = 1
              {-2, -2, 2},
              {0, 2, 2},
              {2, -2, 2},  // 4-6 the same turned away, z = 2
              {-3, 0, 2},
              {0, 0, 2},
              {3, 0, 2}});  // 7-9 collinear, z = 2
    ModelStorage& m = model_storage();
    auto face = [&](int f, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
        std::int32_t* r = &m.faces[5 * static_cast<std::size_t>(f)];
        r[0] = a;
        r[1] = b;
        r[2] = c;
        r[3] = d;
    };
    struct Case {
        const char* name;
        int faces;
        Point p, q;
        int pieces;
        double hidden_from, hidden_to;  // the x range removed from the line
    };
    face(0, 1, 2, 3, 3);
    face(1, 4, 5, 6, 6);
    face(2, 7, 8, 9, 9);
    const Case cases[] = {
        // Behind the front triangle: cut at the triangle's outline.
        {"behind, crossing", 1, {-4, 0, 0}, {4, 0, 0}, 2, -1.0, 1.0},
        // Wholly behind within the outline: nothing drawn.
        {"behind, inside", 1, {-0.5, -1, 0}, {0.5, -1, 0}, 0, 0, 0},
        // In front: drawn whole.
        {"in front", 1, {-4, 0, 3}, {4, 0, 3}, 1, 0, 0},
        // A face turned away and a collinear one hide nothing.
        {"turned away", 3, {-4, 0, 0}, {4, 0, 0}, 2, -1.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m.face_count = c.faces;
        const std::vector<Polyline> pieces = line_through(c.p, c.q);
        ASSERT_EQ(static_cast<int>(pieces.size()), c.pieces);
        if (c.pieces == 2) {
            std::vector<double> ends = {pieces[0][0][0], pieces[0][1][0], pieces[1][0][0],
                                        pieces[1][1][0]};
            std::sort(ends.begin(), ends.end());
            EXPECT_NEAR(ends[0], -4.0, 1e-12);
            EXPECT_NEAR(ends[1], c.hidden_from, 1e-9);
            EXPECT_NEAR(ends[2], c.hidden_to, 1e-9);
            EXPECT_NEAR(ends[3], 4.0, 1e-12);
        }
    }
    // Only the front triangle was kept.
    EXPECT_EQ(hidden_line_store().triangle_count, 1);
}

TEST_F(HiddenLineCases, QuadrilateralTurnedAwayIsDroppedWhole) {
    // The first triangle (1, 2, 3) turns away; the second (3, 4, 1) would face the viewer.
    vertices({{0, 0, 0}, {-2, -2, 1}, {0, 2, 1}, {2, -2, 1}, {2, 2, 1}});
    ModelStorage& m = model_storage();
    std::int32_t* r = &m.faces[0];
    r[0] = 1;
    r[1] = 2;
    r[2] = 3;
    r[3] = 4;
    m.face_count = 1;
    const std::vector<Polyline> pieces = line_through({-4, 0, 0}, {4, 0, 0});
    EXPECT_EQ(hidden_line_store().triangle_count, 0);
    ASSERT_EQ(pieces.size(), 1u);
}

}  // namespace
