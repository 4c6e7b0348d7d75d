// The lens drawn as outlines into a DXF text: profiles on their spheres, element edges, hatched
// mirrors, the surfaces drawn and the refusals of the draw-lens command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "tests/drawing/drawing_fixture.h"

namespace {

using drawing_test::Drawing;
using drawing_test::DxfDrawing;
using drawing_test::Point;
using drawing_test::Polyline;

// The sag of a sphere of radius R at height h.
double sphere_sag(double radius, double h) {
    return radius - std::copysign(std::sqrt(radius * radius - h * h), radius);
}

class Outlines : public Drawing {
protected:
    void singlet() {
        run_all(
            {"LEN NEW \"Singlet\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END", "LEN"});
        take_output();
    }
};

TEST_F(Outlines, SingletProfilesLieOnTheirSpheresAndEdgesJoinTheRims) {
    singlet();
    const DxfDrawing d = dxf("draw_lens elev 0 0 0 0");
    // +y and -y of each surface, an edge after each half-profile of the second.
    ASSERT_EQ(d.polylines.size(), 6u);
    const std::vector<std::string> comments = {"Surface: 1", "Surface: 2"};
    EXPECT_EQ(d.comments, comments);
    struct Profile {
        int line;
        double vertex_z;  // the surface's vertex
        double radius;
        double rim_y;
    };
    // n = floor(2 asin(10/50) x 29.0023...) = 11 steps after the vertex.
    const Profile profiles[] = {
        {0, 0.0, 50.0, 10.0}, {1, 0.0, 50.0, -10.0}, {2, 5.0, -50.0, 10.0}, {4, 5.0, -50.0, -10.0}};
    for (const Profile& p : profiles) {
        SCOPED_TRACE(p.line);
        const Polyline& l = d.polylines[static_cast<std::size_t>(p.line)];
        ASSERT_EQ(l.size(), 12u);
        for (const Point& v : l) {
            EXPECT_EQ(v[0], 0.0);
            const double centre = p.vertex_z + p.radius;
            EXPECT_NEAR(std::hypot(v[1], v[2] - centre), std::fabs(p.radius), 1e-9);
        }
        EXPECT_NEAR(l.front()[1], 0.0, 1e-12);
        EXPECT_NEAR(l.front()[2], p.vertex_z, 1e-12);
        EXPECT_NEAR(l.back()[1], p.rim_y, 1e-12);
        EXPECT_NEAR(l.back()[2], p.vertex_z + sphere_sag(p.radius, 10.0), 1e-9);
    }
    for (int e : {3, 5}) {
        SCOPED_TRACE(e);
        const Polyline& edge = d.polylines[static_cast<std::size_t>(e)];
        ASSERT_EQ(edge.size(), 3u);
        const double y = e == 3 ? 10.0 : -10.0;
        EXPECT_NEAR(edge.front()[1], y, 1e-12);
        EXPECT_NEAR(edge.front()[2], 5.0 + sphere_sag(-50.0, 10.0), 1e-9);
        EXPECT_NEAR(edge.back()[1], y, 1e-12);
        EXPECT_NEAR(edge.back()[2], sphere_sag(50.0, 10.0), 1e-9);
    }
}

TEST_F(Outlines, CementedDoubletHasThreeProfilesAndTwoEdges) {
    run_all({"LEN NEW \"Doublet\"", "NXT", "SRF 60 6 N-BK7 12", "SRF -40 2 N-SF5 12",
             "SRF -150 50 AIR 12", "END", "LEN"});
    const DxfDrawing d = dxf("draw_lens elev 0 0 0 0");
    // Per half: the profile of surfaces 1, 2 (and its edge to 1), 3 (and its edge to 2).
    ASSERT_EQ(d.polylines.size(), 10u);
    int edges = 0;
    for (const Polyline& l : d.polylines) edges += l.size() == 3 ? 1 : 0;
    EXPECT_EQ(edges, 4);
    EXPECT_EQ(d.comments.size(), 3u);
}

TEST_F(Outlines, DummySurfaceIsDrawnOnlyWhenAskedFor) {
    run_all({"LEN NEW \"Dummy\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 10 AIR 10", "SRF 0 30 AIR 8",
             "END", "LEN"});
    struct Case {
        const char* line;
        std::size_t polylines;
    };
    const Case cases[] = {
        {"draw_lens elev 0 0 0 0", 6u},
        {"draw_lens elev 1 0 0 0", 8u},  // selection 1: every surface
        {"draw_lens elev 0 1 0 0", 8u},  // the every-surface switch
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dxf(c.line).polylines.size(), c.polylines) << c.line;
    }
    surface(3).drawing_mode = 3;  // DRW ON
    EXPECT_EQ(dxf("draw_lens elev 0 0 0 0").polylines.size(), 8u);
    surface(3).drawing_mode = 1;  // DRW OFF: not even with every surface
    EXPECT_EQ(dxf("draw_lens elev 1 0 0 0").polylines.size(), 6u);
}

TEST_F(Outlines, MarkedMirrorIsHatchedAwayFromTheLight) {
    run_all({"LEN NEW \"Mirror\"", "NXT", "RD -100", "TH -50", "RFH", "AP 10", "END", "LEN"});
    ASSERT_EQ(surface(1).medium_kind, kMediumMirror);
    const double length = 0.03 * 20.0;  // 3 % of the diameter
    auto strokes = [&](const DxfDrawing& d) {
        int n = 0;
        for (const Polyline& l : d.polylines) {
            if (l.size() != 2 || std::fabs(drawing_test::distance(l[0], l[1]) - length) > 1e-9) {
                continue;
            }
            // The light comes from -z and leaves towards -z: strokes stand behind the mirror.
            EXPECT_GT(l[1][2] - l[0][2], 0.5 * length);
            ++n;
        }
        return n;
    };
    // 21 steps a half-profile, a stroke at each.
    EXPECT_EQ(strokes(dxf("draw_lens elev 0 0 0 0")), 42);
    run_all({"LEN", "DLHR Off", "END"});
    const DxfDrawing plain = dxf("draw_lens elev 0 0 0 0");
    EXPECT_EQ(strokes(plain), 0);
    ASSERT_EQ(plain.polylines.size(), 2u);
    // 2 asin(0.1) x 29.0023... = 5.8: 5 steps.
    EXPECT_EQ(plain.polylines[0].size(), 6u);
}

TEST_F(Outlines, SkipLinkIsFollowed) {
    run_all({"LEN NEW \"Skip\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 10 AIR 10", "SKP 4",
             "SRF -30 5 N-SF5 10", "SRF 30 30 AIR 10", "END", "LEN"});
    int linked = 0;
    for (int n = 1; n < lens_data().image_surface; ++n) {
        if (surface(n).skip_to != 0) linked = n;
    }
    ASSERT_GT(linked, 0) << error_text();
    const int target = surface(linked).skip_to;
    ASSERT_GT(target, linked);
    const DxfDrawing d = dxf("draw_lens elev 1 0 0 0");
    std::vector<std::string> expected;
    for (int n = 1; n < lens_data().image_surface; ++n) {
        if (n < linked || n >= target) expected.push_back("Surface: " + std::to_string(n));
    }
    EXPECT_EQ(d.comments, expected);
}

TEST_F(Outlines, SurfaceTurnedAboutTheAxisShowsItsLocalYInThePlanSection) {
    run_all({"LEN NEW \"Turned\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END", "LEN"});
    // A frame turned by 90 degrees about the axis: local y along global x.
    const double turned[12] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 5};
    auto draw_plan = [&] {
        const DxfDrawing d = dxf("draw_lens plan 0 0 0 0");
        std::vector<Polyline> out = d.polylines;
        return out;
    };
    const std::vector<Polyline> straight = draw_plan();
    ASSERT_EQ(straight.size(), 6u);
    // Untouched: the plan section runs along local x (global x).
    EXPECT_NEAR(std::fabs(straight[2].back()[0]), 10.0, 1e-12);
    // The drawing takes the frames as built; turn surface 2's after the build.
    lens_data().frames_valid = 1;
    std::copy(turned, turned + 12, surface(2).frame.m);
    surface(2).frame_rotated = 1;
    const std::vector<Polyline> turned_lines = draw_plan();
    ASSERT_EQ(turned_lines.size(), 6u);
    // Local +y of the turned surface: global -x, drawn with its own y-curvature.
    EXPECT_NEAR(turned_lines[2].back()[0], -10.0, 1e-12);
    EXPECT_NEAR(turned_lines[2].back()[1], 0.0, 1e-12);
}

TEST_F(Outlines, LayersCycleOverTheDrawnSurfaces) {
    std::vector<std::string> lines = {"LEN NEW \"Five\"", "NXT"};
    for (int k = 0; k < 5; ++k) {
        lines.push_back("SRF 60 4 N-BK7 10");
        lines.push_back("SRF -60 2 AIR 10");
    }
    lines.push_back("END");
    lines.push_back("LEN");
    run_all(lines);
    const DxfDrawing d = dxf("draw_lens elev 0 0 0 0");
    ASSERT_EQ(d.comments.size(), 10u);
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(d.comments[static_cast<std::size_t>(n - 1)], "Surface: " + std::to_string(n));
    }
    // Front surfaces: two half-profiles; back surfaces: two half-profiles and two edges.
    ASSERT_EQ(d.layers.size(), 5u * (2 + 4));
    std::size_t at = 0;
    for (int n = 1; n <= 10; ++n) {
        const int count = n % 2 == 1 ? 2 : 4;
        for (int k = 0; k < count; ++k, ++at) EXPECT_EQ(d.layers[at], (n - 1) % 8) << n;
    }
}

TEST_F(Outlines, RefusalsReturnTheirMessages) {
    run_all({"LEN NEW \"Singlet\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END", "LEN"});
    struct Case {
        const char* line;
        int result;
    };
    const Case cases[] = {
        {"draw_lens elev 0 0 0 0 2 1", kMsgDrawingRangeReversed},
        {"draw_rays field", kMsgNoLensDrawing},
        {"draw_field_rays", kMsgNoLensDrawing},
        {"draw_note start 0 0 0 1", kMsgNoLensDrawing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.line), c.result) << c.line;
        EXPECT_EQ(test_state_flag(kFlagLensDrawingShown), 0) << c.line;
    }
}

}  // namespace
