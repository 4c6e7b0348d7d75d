// The perfect lens, the spline profile, the element-drawing switch and the boundary mesh typed
// on a surface: what each line stores, the refusals that leave the surface as it was, and the
// echoes, which read back as the same lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/surface_setters.h"
#include "platform/ui.h"
#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

class Records : public Entry {
protected:
    // A two-element lens with surface 2 current, inside its LEN block.
    void SetUp() override {
        Entry::SetUp();
        run_all({"LEN NEW \"records\"", "NXT", "SRF 40 6 N-BK7 10", "SRF -40 10 AIR 10", "END",
                 "LEN", "NXT", "NXT"});
        ASSERT_EQ(current_surface(), 2);
        take_output();
    }
    static int current_surface() { return lens_data().current_surface; }
    static SurfaceRecord& s2() { return surface(2); }
};

TEST_F(Records, LinesStoreWhereTheTraceAndDrawingRead) {
    struct Case {
        std::vector<std::string> lines;
        std::function<bool()> holds;
        const char* echo;  // the last line's echo
    };
    // Numbers take eleven columns after one blank ("%11.6f"); a point below 10 one blank more.
    const Case cases[] = {
        {{"PFL 50"},
         [] { return s2().perfect_lens != nullptr && s2().perfect_lens->focal_length == 50.0; },
         "PFL    50.000000\n"},
        {{"PFM -0.5"},
         [] {
             return s2().perfect_lens->magnification == -0.5 &&
                    s2().perfect_lens->focal_length == 50.0;
         },
         "PFM    -0.500000\n"},
        {{"PFR"}, [] { return s2().perfect_lens == nullptr; }, "PFR\n"},
        // n points are n + 1 entries: SH n is the last one.
        {{"SPL 4"},
         [] { return s2().spline != nullptr && s2().spline->count == 5; },
         "SPL            4\n"},
        {{"SH 4 12.5"}, [] { return s2().spline->radius[4] == 12.5; }, "SH 4    12.500000\n"},
        {{"SS 0 -0.25"}, [] { return s2().spline->slope[0] == -0.25; }, "SS 0    -0.250000\n"},
        // Growing keeps what was entered.
        {{"SPL 12", "SH 11 3"},
         [] { return s2().spline->count == 13 && s2().spline->radius[4] == 12.5; },
         "SH 11    3.000000\n"},
        {{"SPR"}, [] { return s2().spline == nullptr; }, "SPR\n"},
        {{"DRW OFF"}, [] { return s2().drawing_mode == 1; }, "DRW  OFF\n"},
        {{"DRW AP"}, [] { return s2().drawing_mode == 2; }, "DRW   AP\n"},
        {{"DRW ON"}, [] { return s2().drawing_mode == 3; }, "DRW   ON\n"},
        {{"DRW AUT"}, [] { return s2().drawing_mode == 0; }, "DRW  AUT\n"},
        {{"BDI 4 3"},
         [] {
             const SurfaceMesh* m = s2().mesh;
             return m != nullptr && m->vertex_count == 4 && m->face_count == 3 &&
                    m->vertices[3].surface_offset == -1 && m->faces[2].vertices[0] == 0;
         },
         "BDI  4         3\n"},
        {{"VX 1 0 0 0", "VX 2 1 0 0 1", "VX 3 0 1 0"},
         [] {
             const MeshVertex& v = s2().mesh->vertices[1];
             return v.x == 1.0 && v.surface_offset == 1;
         },
         "VX   3      --        1.000000      --             0\n"},
        // Three vertices close on the first.
        {{"PF 1 1 2 3"},
         [] {
             const MeshFace& f = s2().mesh->faces[0];
             return f.vertices[0] == 1 && f.vertices[1] == 2 && f.vertices[2] == 3 &&
                    f.vertices[3] == 1;
         },
         "PF   1         1         2         3\n"},
        // A negative number keeps its sign.
        {{"PF 3 -2 3 1 2"},
         [] {
             const MeshFace& f = s2().mesh->faces[2];
             return f.vertices[0] == -2 && f.vertices[3] == 2;
         },
         "PF   3         -2         3         1         2\n"},
        {{"BDD PF 1"}, [] { return s2().mesh->faces[0].vertices[0] == 0; }, "BDD PF   1\n"},
        {{"BDD PF 3", "BDD VX 2"},
         [] { return s2().mesh->vertices[1].surface_offset == -1; },
         "BDD VX   2\n"},
        {{"BDD ALL"}, [] { return s2().mesh == nullptr; }, "BDD ALL\n"},
    };
    for (const Case& c : cases) {
        run_all(c.lines);
        const std::string out = take_output();
        EXPECT_TRUE(c.holds()) << c.lines.back();
        EXPECT_NE(out.find(c.echo), std::string::npos) << c.lines.back() << " echoed:\n" << out;
    }
}

TEST_F(Records, RefusedLinesLeaveTheSurfaceAsItWas) {
    run_all({"SPL 3", "SH 3 7", "BDI 3 3", "VX 1 0 0 0", "VX 2 1 0 0", "VX 3 0 1 0", "PF 3 1 2 3"});
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        // n points: index n is the last; n + 1 and negative indices are outside.
        {"SH 4 1", "The spline point is outside 0..3"},
        {"SS -1 1", "The spline point is outside 0..3"},
        {"SPL -2", "Value: -2"},
        {"SPL 2147483647", "Value: 2147483647"},
        {"BDI -1 2", "Value: -1"},
        {"BDI 2 -3", "Value: -3"},
        // A face holds vertex numbers of 16 bits.
        {"BDI 40000 1", "Value: 40000"},
        {"VX 4 0 0 0", "The vertex number is outside 1..3"},
        {"VX 0 0 0 0", "The vertex number is outside 1..3"},
        {"PF 4 1 2 3", "The face number is outside 1..3"},
        {"PF 0 1 2 3", "The face number is outside 1..3"},
        {"BDD VX 3", "The vertex is still used by face 3"},
        {"BDD VX 7", "Vertex 7 is not in the mesh"},
        {"BDD PF 2", "Face 2 is not in the mesh"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(run(c.line), 0) << c.line;
        EXPECT_NE(error_text().find(c.message), std::string::npos)
            << c.line << ": " << error_text();
    }
    EXPECT_EQ(s2().spline->count, 4);
    EXPECT_EQ(s2().spline->radius[3], 7.0);
    ASSERT_NE(s2().mesh, nullptr);
    EXPECT_EQ(s2().mesh->vertex_count, 3);
    EXPECT_EQ(s2().mesh->faces[2].vertices[0], 1);
    EXPECT_EQ(s2().mesh->vertices[2].surface_offset, 0);

    // A face naming a free vertex is emptied and names the vertex.
    EXPECT_NE(run("PF 2 1 2 5"), 0);
    EXPECT_NE(error_text().find("Vertex 5 is not in the mesh"), std::string::npos);
    EXPECT_EQ(s2().mesh->faces[1].vertices[0], 0);

    run_all({"SPR", "BDD ALL"});
    const char* without[] = {"SH 0 1", "SS 0 1", "SPR"};
    for (const char* line : without) {
        EXPECT_NE(run(line), 0) << line;
        EXPECT_NE(error_text().find("no spline profile"), std::string::npos) << line;
    }
    EXPECT_NE(run("VX 1 0 0 0"), 0);
    EXPECT_NE(error_text().find("has no boundary mesh (BDI"), std::string::npos);
    EXPECT_NE(run("BDD ALL"), 0);
    EXPECT_NE(error_text().find("no boundary mesh to delete"), std::string::npos);
}

// No command makes -1 the current surface, but a lens can be left so (the number before any
// surface is made current): every record line is then refused and no surface changes.
TEST_F(Records, LinesWithoutACurrentSurfaceAreRefused) {
    run_all({"SPL 3"});
    lens_data().current_surface = -1;
    for (const char* line : {"SPL 2", "SH 0 1", "SS 0 1", "SPR", "PFL 50", "PFR", "DRW ON",
                             "BDI 3 3", "VX 1 0 0 0", "BDD ALL"}) {
        EXPECT_NE(run(line), 0) << line;
        EXPECT_NE(error_text().find("There is no current surface"), std::string::npos)
            << line << ": " << error_text();
    }
    lens_data().current_surface = 2;
    ASSERT_NE(s2().spline, nullptr);
    EXPECT_EQ(s2().spline->count, 4);
    EXPECT_EQ(s2().spline->radius[0], 0.0);
    EXPECT_EQ(s2().perfect_lens, nullptr);
    EXPECT_EQ(s2().mesh, nullptr);
}

TEST_F(Records, PerfectLensOnAPickupSurfaceBecomesPlainOnce) {
    run_all({"PK CV 1 0"});
    ASSERT_EQ(s2().curvature_kind, kCurvaturePickup);
    run_all({"PFL 80"});
    EXPECT_EQ(s2().curvature_kind, kCurvaturePlain);
    EXPECT_EQ(s2().curvature, 0.0);
    // A later value leaves the curvature the user gave since.
    run_all({"CV 0.01", "PFM 2"});
    EXPECT_EQ(s2().curvature, 0.01);
    EXPECT_EQ(s2().perfect_lens->focal_length, 80.0);

    run_all({"END", "LEN"});
    EXPECT_NE(run("PFL 10"), 0);
    EXPECT_NE(error_text().find("object surface"), std::string::npos);
    EXPECT_EQ(surface(0).perfect_lens, nullptr);
}

TEST_F(Records, ADrawnImageSurfaceIsOutlinedWhenEnteredThere) {
    // The image surface (3), entered at the surface as the sheets do: the outline mode is set.
    run_all({"NXT"});
    ASSERT_EQ(current_surface(), 3);
    DrawingConditions& dc = *lens_data().drawing_conditions;
    dc.dlrs = 0;
    run_all({"DRW ON"});
    EXPECT_EQ(dc.dlrs, 0);
    set_state_flag(kFlagEntryAtSurface);
    run_all({"DRW AP"});
    EXPECT_EQ(dc.dlrs, 0);
    run_all({"DRW ON"});
    clear_state_flag(kFlagEntryAtSurface);
    EXPECT_EQ(dc.dlrs, 3);
}

TEST_F(Records, SplineOverAnAsphereAsksFirst) {
    ASSERT_EQ(alloc_asphere_record(2, 1, 4), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::cancel);
    EXPECT_NE(run("SPL 3"), 0);
    EXPECT_NE(s2().asphere, nullptr);
    EXPECT_EQ(s2().spline, nullptr);

    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    run_all({"SPL 3"});
    EXPECT_EQ(s2().asphere, nullptr);
    ASSERT_NE(s2().spline, nullptr);
    EXPECT_EQ(s2().spline->count, 4);
}

TEST_F(Records, EchoedLinesReadBackToTheSameRecords) {
    run_all({"PFL 25.5", "PFM 3", "SPL 2", "SH 1 4.5", "SS 2 -1.5", "DRW ON", "BDI 2 1",
             "VX 1 0.5 0.25 2", "VX 2 1.5 0.5 3 -1", "VX 2 1.5 0.5 3 1", "PF 1 1 2 1"});
    const std::string echo = take_output();
    // The same lines typed back from the echo on surface 3 give the same records (zeros would
    // be listed as "--": the values are not zero).
    run_all({"NXT"});
    std::size_t start = 0;
    while (start < echo.size()) {
        const std::size_t end = echo.find('\n', start);
        const std::string line = echo.substr(start, end - start);
        start = end == std::string::npos ? echo.size() : end + 1;
        if (line.empty()) continue;
        ASSERT_EQ(run(line), 0) << line << ": " << error_text();
    }
    const SurfaceRecord& a = surface(2);
    const SurfaceRecord& b = surface(3);
    EXPECT_EQ(b.perfect_lens->focal_length, a.perfect_lens->focal_length);
    EXPECT_EQ(b.perfect_lens->magnification, a.perfect_lens->magnification);
    EXPECT_EQ(b.spline->count, a.spline->count);
    EXPECT_EQ(b.spline->radius[1], a.spline->radius[1]);
    EXPECT_EQ(b.spline->slope[2], a.spline->slope[2]);
    EXPECT_EQ(b.drawing_mode, a.drawing_mode);
    EXPECT_EQ(b.mesh->vertices[1].surface_offset, 1);
    EXPECT_EQ(b.mesh->vertices[0].x, 0.5);
    EXPECT_EQ(b.mesh->faces[0].vertices[2], 1);
}

}  // namespace
