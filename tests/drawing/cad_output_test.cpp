// The output primitives in the CAD modes, the line writers and the CAD number formatter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "trace/drawing_buffers.h"
#include "trace/surface_frames.h"

namespace {

struct NumberCase {
    double value;
    const char* text;
};

TEST(CadNumberTest, FormatsCompactTexts) {
    const NumberCase cases[] = {
        {1.5, " 1.5"},
        {-3.25, "-3.25"},
        {123.25, " 123.25"},
        {0.05, " 0.05"},
        {25.4, " 25.4"},
        {1.0, " 1"},
        {0.0, " 0"},
        {1e-41, " 0"},
        {-1e-41, " 0"},
        {1.5e10, " 1.5E+10"},
        {2.5e-7, " 2.5E-07"},
        {1e50, " 1E+40"},
        {-1e50, "-1E+40"},
        {9.9999999999999, " 10"},
        {12345.5, " 12345.5"},
        {99999.99999999999, " 1E+05"},
        {0.001, " 0.001"},
        {0.0001, " 1E-04"},
        {1.0 / 3.0, " 0.333333333333"},
        {-2.0 / 3.0, "-0.666666666667"},
        {1234567.0, " 1.234567E+06"},
        {0.99999999999999, " 1"},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        char text[kCadNumberText];
        std::memset(text, '#', sizeof text);
        const int n = format_cad_number(c.value, text);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(n, static_cast<int>(std::strlen(c.text)));
    }
}

TEST(CadNumberTest, RoundHalfUnitAndIntegerTexts) {
    double v = 1.0;
    round_half_unit(v, 0);
    EXPECT_EQ(v, 1.5);
    v = 1.0;
    round_half_unit(v, 18);
    EXPECT_EQ(v, 1.0 + 5e-19);
    for (int k : {-1, 19, 100}) {
        v = 2.0;
        round_half_unit(v, k);
        EXPECT_EQ(v, 2.0) << k;
    }
    char text[32] = "Surface ";
    int at = int_to_text(12, text, static_cast<int>(std::strlen(text)) + 1);
    EXPECT_STREQ(text, "Surface 12");
    EXPECT_EQ(at, 11);
    at = int_to_text(-2147483647 - 1, text, 1);
    EXPECT_STREQ(text, "-2147483648");
    EXPECT_EQ(at, 12);
    int_to_text(0, text, 1);
    EXPECT_STREQ(text, "0");
}

// The output state of one drawing, put back afterwards.
class CadModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        saved_conditions_ = lens_data().drawing_conditions;
        conditions_ = DrawingConditions{};
        lens_data().drawing_conditions = &conditions_;
        saved_mode_ = drawing_buffers().output_mode;
        std::memcpy(saved_view_, drawing_views().other_view, sizeof saved_view_);
        // A quarter turn about z: (x, y, z) -> (-y, x, z).
        const double view[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
        std::memcpy(drawing_views().other_view, view, sizeof view);
        cad_output().sink = &sink_;
    }
    void TearDown() override {
        drawing_buffers().output_mode = saved_mode_;
        std::memcpy(drawing_views().other_view, saved_view_, sizeof saved_view_);
        lens_data().drawing_conditions = saved_conditions_;
        platform::reset_all_state();
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        const std::string& t = sink_.text();
        std::size_t from = 0;
        for (std::size_t at = t.find("\r\n"); at != std::string::npos; at = t.find("\r\n", from)) {
            out.push_back(t.substr(from, at - from));
            from = at + 2;
        }
        EXPECT_EQ(from, t.size()) << "text after the last line end";
        return out;
    }
    static int count(const std::vector<std::string>& l, const char* word) {
        int n = 0;
        for (const std::string& s : l) n += s == word ? 1 : 0;
        return n;
    }

    StringCadSink sink_;
    DrawingConditions conditions_{};
    DrawingConditions* saved_conditions_ = nullptr;
    int saved_mode_ = 0;
    double saved_view_[9] = {};
};

TEST_F(CadModeTest, WriteRealAndIntLines) {
    cad_write_real(0.0);
    cad_write_real(1e-41);
    cad_write_real(-2.5);
    cad_write_int(-7);
    cad_write_int(0);
    EXPECT_EQ(sink_.text(), "0.0\r\n0.0\r\n-2.5\r\n-7\r\n0\r\n");
    cad_output().sink = nullptr;
    cad_write_line("lost");  // no file: nothing happens
    EXPECT_EQ(sink_.text(), "0.0\r\n0.0\r\n-2.5\r\n-7\r\n0\r\n");
}

TEST_F(CadModeTest, DxfPolylineAndVertexEntities) {
    drawing_buffers().output_mode = kCadModeDxf;
    cad_output().layer = 3;
    const double a[3] = {1, 2, 3};
    const double b[3] = {4, 5, 6};
    dxf_polyline(a);
    dxf_vertex(b);
    dxf_section(12);
    const std::vector<std::string> expected = {
        "  0",    "POLYLINE", "  8", "3",      " 66",    "     1", " 10",    "0.0",    " 20",
        "0.0",    " 30",      "0.0", " 70",    "     8", "  0",    "VERTEX", "  8",    "3",
        " 10",    " 1",       " 20", " 2",     " 30",    " 3",     " 70",    "    32", "  0",
        "VERTEX", "  8",      "3",   " 10",    " 4",     " 20",    " 5",     " 30",    " 6",
        " 70",    "    32",   "  0", "SEQEND", "  8",    "3"};
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(cad_output().polyline_open, 0);
}

TEST_F(CadModeTest, DxfOnePolylinePerMoveOneVertexPerDraw) {
    drawing_buffers().output_mode = kCadModeDxf;
    const double p[3] = {1, 0, 0};
    dxf_polyline(p);
    dxf_vertex(p);
    dxf_vertex(p);
    dxf_polyline(p);  // closes the first
    dxf_vertex(p);
    dxf_polyline(p);  // a single point: written twice when ended
    dxf_section(12);
    dxf_section(12);  // nothing open: nothing written
    const std::vector<std::string> l = lines();
    EXPECT_EQ(count(l, "POLYLINE"), 3);
    EXPECT_EQ(count(l, "SEQEND"), 3);
    EXPECT_EQ(count(l, "VERTEX"), 3 + 2 + 2);
}

struct CoordinateCase {
    int dlcv;
    const char* x;
    const char* y;
    const char* first_z;
    const char* draw_z;
};

TEST_F(CadModeTest, CoordinateChoiceRotatesAndFlattens) {
    const CoordinateCase cases[] = {
        {0, " 1", " 2", " 3", " 6"},   // lens coordinates unchanged
        {1, "-2", " 1", " 3", " 6"},   // turned by the view
        {2, "-2", " 1", " 3", "0.0"},  // turned, draw-to vertices flat
    };
    drawing_buffers().output_mode = kCadModeDxf;
    for (const CoordinateCase& c : cases) {
        SCOPED_TRACE(c.dlcv);
        sink_.clear();
        conditions_.dlcv = c.dlcv;
        const double a[3] = {1, 2, 3};
        const double b[3] = {1, 2, 6};
        dxf_polyline(a);
        dxf_vertex(b);
        dxf_section(12);
        const std::vector<std::string> l = lines();
        ASSERT_EQ(l.size(), 42u);
        EXPECT_EQ(l[19], c.x);
        EXPECT_EQ(l[21], c.y);
        EXPECT_EQ(l[23], c.first_z);
        EXPECT_EQ(l[31], c.x);
        EXPECT_EQ(l[35], c.draw_z);
    }
}

TEST_F(CadModeTest, CommentsAndFacesEndTheOpenPolyline) {
    drawing_buffers().output_mode = kCadModeDxf;
    const double vertices[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::int32_t faces[] = {0, 1, -2, 3, 0};
    cad_output().model_vertices = vertices;
    cad_output().model_faces = faces;
    cad_output().model_vertex_count = 4;
    cad_output().model_face_count = 1;
    const double p[3] = {0, 0, 0};
    dxf_polyline(p);
    dxf_vertex(p);
    dxf_comment("DRR ray command: ");
    dxf_polyline(p);
    dxf_3dface(0, 1, 2, 5);
    const std::vector<std::string> l = lines();
    const auto at = [&](const char* word) {
        for (std::size_t i = 0; i < l.size(); ++i) {
            if (l[i] == word) return static_cast<int>(i);
        }
        return -1;
    };
    EXPECT_EQ(count(l, "SEQEND"), 2);
    ASSERT_GE(at("999"), 4);
    EXPECT_EQ(l[at("999") - 3], "SEQEND");
    EXPECT_EQ(l[at("999") + 1], "DRR ray command: ");
    EXPECT_EQ(count(l, "Surface Range: 2 to 5"), 1);
    const int face = at("3DFACE");
    ASSERT_GT(face, 0);
    const std::vector<std::string> corners(l.begin() + face + 3, l.end());
    const std::vector<std::string> expected = {
        " 10", "0.0", " 20", "0.0", " 30", "0.0", " 11", " 1",  " 21", "0.0", " 31", "0.0", " 12",
        " 1",  " 22", " 1",  " 32", "0.0", " 13", "0.0", " 23", " 1",  " 33", "0.0", " 70", "0"};
    EXPECT_EQ(corners, expected);
}

TEST_F(CadModeTest, IgesPointListKeepsUnrotatedPointsWithRunMarkers) {
    drawing_buffers().output_mode = kCadModeIges;
    conditions_.dlcv = 1;  // ignored: IGES points are never turned
    cad_output().layer = 2;
    const double a[3] = {1, 2, 3};
    const double b[3] = {4, 5, 6};
    dxf_polyline(a);
    dxf_vertex(b);
    dxf_vertex(a);
    dxf_polyline(b);  // closes the first run
    dxf_vertex(a);
    iges_sections(12);
    iges_sections(12);  // nothing open: the markers stay
    const CadOutput& o = cad_output();
    ASSERT_EQ(o.points.size(), 5u);
    const std::vector<CadPointRecord> records = {
        {0, 0, 0, 2}, {0, 1, 0, 2}, {-1, 2, 0, 2}, {3, 3, 0, 2}, {-1, 4, 0, 2}};
    EXPECT_EQ(o.records, records);
    EXPECT_EQ(o.points[0][0], 1.0);
    EXPECT_EQ(o.points[1][1], 5.0);
    EXPECT_EQ(o.points[3][2], 6.0);
    EXPECT_EQ(o.point_list_error, 0);
    EXPECT_TRUE(sink_.text().empty());
}

}  // namespace
