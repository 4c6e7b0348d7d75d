// A started program in which lenses are typed and drawn: the drawing sent into a DXF text or
// the IGES point list, read back as polylines in lens coordinates.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "lens/lens_data.h"
#include "tests/entry/entry_fixture.h"
#include "trace/drawing_buffers.h"

namespace drawing_test {

using Point = std::array<double, 3>;
using Polyline = std::vector<Point>;

// The entities of a DXF text: polylines, comments and the number of faces.
struct DxfDrawing {
    std::vector<Polyline> polylines;
    std::vector<int> layers;  // of each polyline
    std::vector<std::string> comments;
    int faces = 0;
};

inline DxfDrawing parse_dxf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    DxfDrawing d;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        const std::string& code = lines[i];
        const std::string& value = lines[i + 1];
        if (code == "999") {
            d.comments.push_back(value);
        } else if (code == "  0" && value == "POLYLINE") {
            d.polylines.emplace_back();
            d.layers.push_back(std::atoi(lines[i + 3].c_str()));
        } else if (code == "  0" && value == "3DFACE") {
            ++d.faces;
        } else if (code == "  0" && value == "VERTEX") {
            Point p{};
            // " 10", x, " 20", y, " 30", z follow the layer.
            for (int k = 0; k < 3; ++k) p[k] = std::strtod(lines[i + 5 + 2 * k].c_str(), nullptr);
            if (!d.polylines.empty()) d.polylines.back().push_back(p);
        }
    }
    return d;
}

class Drawing : public entry_test::Entry {
protected:
    void TearDown() override {
        drawing_buffers().output_mode = 0;
        cad_output().sink = nullptr;
        Entry::TearDown();
    }
    // Runs a line with the drawing going into a DXF text; the entities written.
    DxfDrawing dxf(const std::string& line, int* result = nullptr) {
        StringCadSink sink;
        cad_output().sink = &sink;
        drawing_buffers().output_mode = kCadModeDxf;
        const int r = run(line);
        dxf_section(12);
        drawing_buffers().output_mode = 0;
        cad_output().sink = nullptr;
        if (result != nullptr) *result = r;
        return parse_dxf(sink.text());
    }
    // Runs a line with the drawing going into the IGES point list; its polylines.
    std::vector<Polyline> iges(const std::string& line) {
        CadOutput& out = cad_output();
        out.points.clear();
        out.records.clear();
        drawing_buffers().output_mode = kCadModeIges;
        EXPECT_EQ(run(line), 0) << line << ": " << error_text();
        iges_sections(12);
        drawing_buffers().output_mode = 0;
        std::vector<Polyline> lines;
        for (std::size_t k = 0; k < out.points.size(); ++k) {
            const CadPointRecord& r = out.records[k];
            if (r[0] == r[1]) lines.emplace_back();
            if (!lines.empty()) lines.back().push_back(out.points[k]);
        }
        return lines;
    }
};

inline double distance(const Point& a, const Point& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

}  // namespace drawing_test
