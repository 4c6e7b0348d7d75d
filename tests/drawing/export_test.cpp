// The DXF and IGES exports: files written through the commands, read back by a reader of DXF
// group-code pairs and by a checker of IGES's fixed 80-column records, and checked against the
// lens's geometry, the format's layout and each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/cad_export_file.h"
#include "drawing/cad_output.h"
#include "drawing/iges_export.h"
#include "lens/lens_data.h"
#include "platform/status.h"
#include "runtime/settings.h"
#include "tables/table_names.h"
#include "tests/drawing/drawing_fixture.h"
#include "trace/drawing_buffers.h"
#include "trace/surface_frames.h"

namespace export_test {
namespace {

namespace fs = std::filesystem;
using drawing_test::Point;
using drawing_test::Polyline;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> crlf_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    EXPECT_EQ(from, text.size()) << "text after the last line end";
    return lines;
}

// --- DXF: group-code pairs -------------------------------------------------------------------

struct DxfPolyline {
    Polyline points;
    std::string after_comment;  // the last comment before it
    bool ended = false;         // SEQEND seen
};

struct DxfFile {
    std::vector<std::string> comments;
    std::vector<DxfPolyline> polylines;
    std::vector<std::array<Point, 4>> faces;
    bool section = false;
    bool endsec = false;
    bool eof = false;
};

DxfFile read_dxf(const std::string& text) {
    const std::vector<std::string> lines = crlf_lines(text);
    EXPECT_EQ(lines.size() % 2, 0u);
    DxfFile d;
    std::string comment;
    std::string entity;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        const std::string& code = lines[i];
        const std::string& value = lines[i + 1];
        EXPECT_EQ(code.size(), 3u) << "group code " << code;
        const int c = std::atoi(code.c_str());
        if (c == 999) {
            d.comments.push_back(value);
            comment = value;
            continue;
        }
        if (c == 0) {
            entity = value;
            if (value == "SECTION") d.section = true;
            if (value == "ENDSEC") d.endsec = true;
            if (value == "EOF") d.eof = true;
            if (value == "POLYLINE") {
                EXPECT_TRUE(d.polylines.empty() || d.polylines.back().ended) << "nested POLYLINE";
                d.polylines.push_back({{}, comment, false});
            }
            if (value == "VERTEX") {
                EXPECT_FALSE(d.polylines.empty() || d.polylines.back().ended) << "stray VERTEX";
                if (!d.polylines.empty()) d.polylines.back().points.push_back({});
            }
            if (value == "SEQEND" && !d.polylines.empty()) d.polylines.back().ended = true;
            if (value == "3DFACE") d.faces.push_back({});
            continue;
        }
        const double v = std::strtod(value.c_str(), nullptr);
        if (entity == "VERTEX" && c >= 10 && c <= 30 && c % 10 == 0 && !d.polylines.empty()) {
            d.polylines.back().points.back()[static_cast<std::size_t>(c / 10 - 1)] = v;
        }
        if (entity == "3DFACE" && c >= 10 && c <= 33) {
            d.faces.back()[static_cast<std::size_t>(c % 10)][static_cast<std::size_t>(c / 10 - 1)] =
                v;
        }
    }
    return d;
}

// --- IGES: fixed records --------------------------------------------------------------------

struct IgesEntry {
    int type = 0;
    int pointer = 0;
    int level = 0;
    int count = 0;
    int form = 0;
    std::string status;
    std::string data;  // its parameter data, the lines' columns 1 to 64 joined
    std::vector<double> numbers;
};

struct IgesFile {
    std::vector<std::string> start, global, directory, parameter, terminate;
    std::vector<IgesEntry> entries;
};

std::vector<double> numbers_of(const std::string& data) {
    std::vector<double> out;
    std::string field;
    for (char ch : data) {
        if (ch == ',' || ch == ';') {
            out.push_back(std::strtod(field.c_str(), nullptr));
            field.clear();
        } else {
            field += ch;
        }
    }
    return out;
}

// Checks the columns of every line (80 characters and CR LF, section letters in order,
// sequence numbers, the D entries' P pointers and the P lines' back pointers) and reads the
// entries.
IgesFile read_iges(const std::string& text) {
    IgesFile f;
    const std::string order = "SGDPT";
    std::size_t section = 0;
    for (const std::string& line : crlf_lines(text)) {
        EXPECT_EQ(line.size(), 80u) << line;
        if (line.size() != 80) continue;
        const char letter = line[72];
        const std::size_t at = order.find(letter);
        EXPECT_NE(at, std::string::npos) << line;
        EXPECT_GE(at, section) << "section out of order: " << line;
        section = std::max(section, at);
        std::vector<std::string>* lines[5] = {&f.start, &f.global, &f.directory, &f.parameter,
                                              &f.terminate};
        std::vector<std::string>& into = *lines[at == std::string::npos ? 4 : at];
        char expected[8];
        std::snprintf(expected, sizeof expected, "%07zu", into.size() + 1);
        EXPECT_EQ(line.substr(73), expected) << line;
        into.push_back(line);
    }
    EXPECT_EQ(f.start.size(), 5u);
    EXPECT_EQ(f.global.size(), 5u);
    EXPECT_EQ(f.terminate.size(), 1u);
    EXPECT_EQ(f.directory.size() % 2, 0u);
    int pointer = 1;
    for (std::size_t i = 0; i + 1 < f.directory.size(); i += 2) {
        const std::string& a = f.directory[i];
        const std::string& b = f.directory[i + 1];
        auto field = [](const std::string& l, int n) {
            return std::atoi(l.substr(8 * n, 8).c_str());
        };
        IgesEntry e;
        e.type = field(a, 0);
        e.pointer = field(a, 1);
        e.level = field(a, 4);
        e.status = a.substr(64, 8);
        e.count = field(b, 3);
        e.form = field(b, 4);
        EXPECT_EQ(field(b, 0), e.type) << b;
        EXPECT_EQ(e.pointer, pointer) << a;
        EXPECT_GE(e.count, 1) << b;
        for (int k = 0; k < e.count; ++k) {
            const std::size_t row = static_cast<std::size_t>(e.pointer - 1 + k);
            EXPECT_LT(row, f.parameter.size());
            if (row >= f.parameter.size()) break;
            const std::string& p = f.parameter[row];
            EXPECT_EQ(p[64], ' ') << p;
            EXPECT_EQ(std::atoi(p.substr(65, 7).c_str()), static_cast<int>(i + 1)) << p;
            std::string data = p.substr(0, 64);
            data.erase(data.find_last_not_of(' ') + 1);
            e.data += data;
        }
        EXPECT_EQ(e.data.back(), ';') << e.data;
        e.numbers = numbers_of(e.data);
        pointer += e.count;
        f.entries.push_back(e);
    }
    EXPECT_EQ(pointer - 1, static_cast<int>(f.parameter.size()));
    if (!f.terminate.empty()) {
        char t[33];
        std::snprintf(t, sizeof t, "S0000005G0000005D%07zuP%07zu", f.directory.size(),
                      f.parameter.size());
        EXPECT_EQ(f.terminate[0], std::string(t) + std::string(40, ' ') + "T0000001");
    }
    return f;
}

std::string padded(const std::string& text, std::size_t width = 72) {
    std::string s = text;
    s.resize(width, ' ');
    return s;
}

double sphere_sag(double radius, double h) {
    return radius - std::copysign(std::sqrt(radius * radius - h * h), radius);
}

bool same(const Point& a, const Point& b, double tolerance) {
    return drawing_test::distance(a, b) <= tolerance;
}

class Export : public drawing_test::Drawing {
protected:
    void TearDown() override {
        set_cad_commit_step(nullptr);
        Drawing::TearDown();
    }
    void singlet(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> lines = {"LEN NEW \"Singlet\"", "DES \"Lens Lab\"", "NXT",
                                          "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10"};
        lines.insert(lines.end(), extra.begin(), extra.end());
        lines.push_back("END");
        lines.push_back("LEN");
        run_all(lines);
        take_output();
    }
    fs::path data_folder() const { return get_setting_text(kSetPrivateDirectory, 0); }
    std::string file(const std::string& name) const { return read_file(data_folder() / name); }
};

// --- DXF ----------------------------------------------------------------------------------

TEST_F(Export, DxfOfASingletHasItsProfilesOnTheirSpheres) {
    singlet();
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"single.dxf\""), 0) << error_text();
    const std::string text = file("single.dxf");
    const std::string header =
        "999\r\nTAVO Optical Design Program DXF Output, Version 5.40\r\n"
        "999\r\nLens ID: Singlet\r\n999\r\nDesigner: Lens Lab\r\n"
        "999\r\nmm per LENS UNIT (1=mm, 25.4=inches, etc.):  1\r\n"
        "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
    EXPECT_EQ(text.substr(0, header.size()), header);
    const std::string trailer = "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    ASSERT_GE(text.size(), trailer.size());
    EXPECT_EQ(text.substr(text.size() - trailer.size()), trailer);
    const DxfFile d = read_dxf(text);
    EXPECT_TRUE(d.section && d.endsec && d.eof);
    const double radius[3] = {0.0, 50.0, -50.0};
    const double vertex[3] = {0.0, 0.0, 5.0};
    int profiles = 0;
    int edges = 0;
    for (const DxfPolyline& p : d.polylines) {
        EXPECT_TRUE(p.ended);
        EXPECT_GE(p.points.size(), 2u);
        for (int n : {1, 2}) {
            if (p.after_comment != "Surface: " + std::to_string(n)) continue;
            if (p.points.size() == 3) {  // an edge: from the second surface's rim to the first's
                ++edges;
                const double y = p.points.front()[1];
                EXPECT_NEAR(std::fabs(y), 10.0, 1e-12);
                EXPECT_NEAR(p.points.front()[2], 5.0 + sphere_sag(-50.0, 10.0), 1e-9);
                EXPECT_NEAR(p.points.back()[1], y, 1e-12);
                EXPECT_NEAR(p.points.back()[2], sphere_sag(50.0, 10.0), 1e-9);
                continue;
            }
            ++profiles;
            const double centre = vertex[n] + radius[n];
            for (const Point& v : p.points) {
                EXPECT_NEAR(std::hypot(v[1], v[2] - centre), std::fabs(radius[n]), 1e-9);
            }
            EXPECT_NEAR(std::fabs(p.points.back()[1]), 10.0, 1e-12);
            EXPECT_NEAR(p.points.back()[2], vertex[n] + sphere_sag(radius[n], 10.0), 1e-9);
        }
    }
    EXPECT_EQ(profiles, 4);
    EXPECT_EQ(edges, 2);
    // The ray sets follow the lens.
    EXPECT_NE(std::find(d.comments.begin(), d.comments.end(), "DRR ray command: "),
              d.comments.end());
    // A second export writes the same bytes.
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"single.dxf\""), 0) << error_text();
    EXPECT_EQ(file("single.dxf"), text);
}

TEST_F(Export, DxfHeaderNamesTheLensUnit) {
    singlet({"UNI 25.4"});
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"inch.dxf\""), 0) << error_text();
    const std::vector<std::string> lines = crlf_lines(file("inch.dxf"));
    ASSERT_GT(lines.size(), 7u);
    EXPECT_EQ(lines[7], "mm per LENS UNIT (1=mm, 25.4=inches, etc.):  25.4");
}

TEST_F(Export, DxfCoordinateChoiceAndTheModelView) {
    singlet({"DLRI 3", "DLSP 4"});
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"plain.dxf\""), 0) << error_text();
    const DxfFile plain = read_dxf(file("plain.dxf"));
    run_all({"DLCV 1"});
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"turned.dxf\""), 0) << error_text();
    const DxfFile turned = read_dxf(file("turned.dxf"));
    // The view rotation of the elevation: a proper turn, not the identity.
    const double* m = drawing_views().other_view;
    double trace = 0.0;
    for (int i = 0; i < 3; ++i) {
        trace += m[4 * i];
        for (int j = 0; j < 3; ++j) {
            double dot = 0.0;
            for (int k = 0; k < 3; ++k) dot += m[3 * i + k] * m[3 * j + k];
            EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-12);
        }
    }
    EXPECT_LT(trace, 2.5);
    run_all({"DLCV 2"});
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"flat.dxf\""), 0) << error_text();
    const DxfFile flat = read_dxf(file("flat.dxf"));
    ASSERT_EQ(turned.polylines.size(), plain.polylines.size());
    ASSERT_EQ(flat.polylines.size(), plain.polylines.size());
    for (std::size_t i = 0; i < plain.polylines.size(); ++i) {
        const Polyline& a = plain.polylines[i].points;
        const Polyline& b = turned.polylines[i].points;
        const Polyline& c = flat.polylines[i].points;
        ASSERT_EQ(b.size(), a.size());
        ASSERT_EQ(c.size(), a.size());
        for (std::size_t k = 0; k < a.size(); ++k) {
            Point r{};
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) {
                    r[static_cast<std::size_t>(row)] +=
                        m[3 * row + col] * a[k][static_cast<std::size_t>(col)];
                }
            }
            EXPECT_TRUE(same(b[k], r, 1e-9)) << i << " " << k;
            // The first vertex keeps its z; every draw-to lies in z = 0.
            const Point q = {r[0], r[1], k == 0 ? r[2] : 0.0};
            EXPECT_TRUE(same(c[k], q, 1e-9)) << i << " " << k;
        }
    }
    // The model is written unturned, and DLCV is left as it was.
    ASSERT_EQ(run("export_dxf model 0 0 0 0 \"model.dxf\""), 0) << error_text();
    EXPECT_EQ(lens_data().drawing_conditions->dlcv, 2);
    const DxfFile model = read_dxf(file("model.dxf"));
    ASSERT_EQ(model.faces.size(), 86u);
    for (const auto& face : model.faces) {
        for (const Point& p : face) {
            // Every corner is a point of one of the two spheres: the edge and the cut faces
            // join points of the profiles and rims.
            const double r = std::hypot(p[0], p[1]);
            const bool front = std::fabs(std::hypot(r, p[2] - 50.0) - 50.0) < 1e-9;
            const bool back = std::fabs(std::hypot(r, p[2] - 5.0 + 50.0) - 50.0) < 1e-9;
            EXPECT_TRUE(front || back) << p[0] << " " << p[1] << " " << p[2];
            EXPECT_LE(r, 10.0 + 1e-9);
        }
    }
    // By argument: DXF view 11 is the model with every surface.
    ASSERT_EQ(run("export_drawing dxf 11 elev 0 0 0 \"by_arg.dxf\" \"\""), 0) << error_text();
    EXPECT_EQ(read_dxf(file("by_arg.dxf")).faces.size(), 86u);
}

TEST_F(Export, DxfEdgeCases) {
    singlet();
    // One point drawn alone still makes a polyline of two equal vertices.
    const double p[3] = {1.0, 2.0, 3.0};
    StringCadSink sink;
    cad_output().sink = &sink;
    drawing_buffers().output_mode = kCadModeDxf;
    dxf_polyline(p);
    dxf_section(13);
    drawing_buffers().output_mode = 0;
    cad_output().sink = nullptr;
    const DxfFile one = read_dxf(sink.text());
    ASSERT_EQ(one.polylines.size(), 1u);
    EXPECT_TRUE(one.polylines[0].ended);  // the trailer ends the open polyline first
    ASSERT_EQ(one.polylines[0].points.size(), 2u);
    EXPECT_EQ(one.polylines[0].points[0], one.polylines[0].points[1]);
    // The last surface before the first: the error, and no file.
    EXPECT_EQ(run("export_dxf elev 0 0 2 1 \"reversed.dxf\""), kMsgDrawingRangeReversed);
    EXPECT_FALSE(std::filesystem::exists(data_folder() / "reversed.dxf"));
    EXPECT_EQ(drawing_buffers().output_mode, 0);
    EXPECT_EQ(cad_output().sink, nullptr);
}

TEST_F(Export, ExportByArgumentRunsEitherExport) {
    singlet();
    ASSERT_EQ(run("export_iges plan 2 0 0 \"a.igs\""), 0) << error_text();
    const std::string iges = file("a.igs");
    ASSERT_EQ(run("export_dxf plan 3 0 0 0 \"b.dxf\""), 0) << error_text();
    const std::string dxf = file("b.dxf");
    fs::remove(data_folder() / "a.igs");
    fs::remove(data_folder() / "b.dxf");
    // The IGES view, selection, range and file of the IGES export; the DXF view with the
    // selection for the DXF export.
    ASSERT_EQ(run("export_drawing iges elev plan 2 0 0 \"b.dxf\" \"a.igs\""), 0) << error_text();
    EXPECT_EQ(file("a.igs"), iges);
    EXPECT_FALSE(fs::exists(data_folder() / "b.dxf"));
    ASSERT_EQ(run("export_drawing dxf plan elev 3 0 0 \"b.dxf\" \"c.igs\""), 0) << error_text();
    EXPECT_EQ(file("b.dxf"), dxf);
    EXPECT_FALSE(fs::exists(data_folder() / "c.igs"));
    // Any other format exports nothing.
    EXPECT_EQ(run("export_drawing 2 plan elev 3 0 0 \"d.dxf\" \"d.igs\""), 0) << error_text();
    EXPECT_FALSE(fs::exists(data_folder() / "d.dxf"));
    EXPECT_FALSE(fs::exists(data_folder() / "d.igs"));
}

// --- File names and failures ---------------------------------------------------------------

TEST_F(Export, FileNamesAndFailures) {
    singlet();
    fs::create_directories(data_folder() / "lens");
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"lens\\out.dxf\""), 0) << error_text();
    EXPECT_TRUE(fs::exists(data_folder() / "lens" / "out.dxf"));
    const fs::path absolute = data_folder() / "abs.igs";
    ASSERT_EQ(run("export_iges elev 0 0 0 \"" + absolute.string() + "\""), 0) << error_text();
    EXPECT_TRUE(fs::exists(absolute));
    // A missing folder: nothing is drawn or written.
    EXPECT_EQ(run("export_dxf elev 0 0 0 0 \"missing/x.dxf\""), kErrorTextReady);
    EXPECT_NE(error_text().find("missing/x.dxf cannot be created"), std::string::npos)
        << error_text();
    EXPECT_FALSE(fs::exists(data_folder() / "missing"));
    // A commit that fails reports the file and its reason and keeps the old file.
    const std::string old = file("lens/out.dxf");
    set_cad_commit_step([](platform::AtomicFileWriter& writer, std::string_view text) {
        writer.write(text.substr(0, text.size() / 2));
        writer.discard();
        return static_cast<int>(platform::kWriteFailed);
    });
    singlet({"UNI 10"});
    for (const char* line :
         {"export_dxf elev 0 0 0 0 \"lens/out.dxf\"", "export_iges elev 0 0 0 \"lens/out.dxf\""}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(run(line), kErrorTextReady);
        EXPECT_NE(error_text().find("out.dxf cannot be written"), std::string::npos)
            << error_text();
        EXPECT_NE(error_text().find("the old file is kept"), std::string::npos) << error_text();
        EXPECT_NE(error_text().find(platform::status_text(platform::kWriteFailed)),
                  std::string::npos)
            << error_text();
        EXPECT_EQ(file("lens/out.dxf"), old);
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(data_folder() / "lens")) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"out.dxf"});
}

// A file name left out (as the Drawing menu's items run the exports) is asked for with the Save
// dialog; a written file is reported on the status line; a cancelled dialog writes nothing.
TEST_F(Export, ANameLeftOutIsAskedForAndTheWrittenFileReported) {
    singlet();
    struct Case {
        const char* line;
        const char* answer;
        const char* extension;
    };
    for (const Case& c : {Case{"export_dxf", "asked.dxf", "dxf"},
                          Case{"export_iges elev 0 0 0 \"\"", "asked.igs", "igs"}}) {
        SCOPED_TRACE(c.line);
        const std::size_t dialogs = ui().file_dialogs_shown().size();
        input(std::string(c.answer) + "\n");
        ASSERT_EQ(run(c.line), 0) << error_text();
        ASSERT_EQ(ui().file_dialogs_shown().size(), dialogs + 1);
        const platform::FileDialogRequest& asked = ui().file_dialogs_shown().back();
        EXPECT_TRUE(asked.save);
        EXPECT_EQ(asked.default_extension, c.extension);
        EXPECT_TRUE(fs::exists(data_folder() / c.answer));
        EXPECT_NE(ui().status_text().find(c.answer), std::string::npos) << ui().status_text();
        EXPECT_NE(ui().status_text().find("written"), std::string::npos) << ui().status_text();
    }
    // An empty answer cancels: no file, no error.
    input("\n");
    const auto before = std::distance(fs::directory_iterator(data_folder()), {});
    EXPECT_EQ(run("export_dxf"), 0) << error_text();
    EXPECT_EQ(std::distance(fs::directory_iterator(data_folder()), {}), before);
}

// --- IGES ---------------------------------------------------------------------------------

class IgesWriter : public Export {
protected:
    // Runs the writer on the polylines given, as the export does around a drawing.
    std::string write(const std::vector<Polyline>& lines) {
        StringCadSink sink;
        cad_output().sink = &sink;
        cad_output().layer = 0;
        drawing_buffers().output_mode = kCadModeIges;
        iges_sections(0);
        for (const Polyline& l : lines) {
            for (std::size_t k = 0; k < l.size(); ++k) {
                if (k == 0) {
                    dxf_polyline(l[k].data());
                } else {
                    dxf_vertex(l[k].data());
                }
            }
            iges_sections(12);
        }
        iges_sections(13);
        drawing_buffers().output_mode = 0;
        cad_output().sink = nullptr;
        return sink.text();
    }
    std::vector<std::string> frame(const std::string& max_coordinate) {
        return {
            padded("TAVO Optical Design Program IGES Output, Version 5.40") + "S0000001",
            padded("Lens ID: ") + "S0000002",
            padded("Singlet") + "S0000003",
            padded("Designer:  Lens Lab") + "S0000004",
            padded("mm per LENS UNIT (1=mm, 25.4=inches, etc.):   1") + "S0000005",
            padded(",,40H" + padded("Singlet", 40) + ",20H" + std::string(20, ' ') + ",") +
                "G0000001",
            padded("25HVELMORIN OPTICS TAVO-5.40,9HTAVO-5.40,32,38,6,99,15, ") + "G0000002",
            padded("40H" + padded("Singlet", 40) + ",1.0,2,2HMM,32767,3.2767D1,") + "G0000003",
            padded("13H900101.000000,1.0D-08," + max_coordinate + ",") + "G0000004",
            padded("10HTellbridge,21HVelmorin Optics, Inc.,6,0;") + "G0000005",
        };
    }
};

TEST_F(IgesWriter, EmptyDrawing) {
    singlet();
    std::vector<std::string> expected = frame(" 1E-40");
    expected.push_back("S0000005G0000005D0000000P0000000" + std::string(40, ' ') + "T0000001");
    EXPECT_EQ(crlf_lines(write({})), expected);
}

TEST_F(IgesWriter, ClosedPolylineOfThreePoints) {
    singlet();
    std::vector<std::string> expected = frame(" 2");
    const std::vector<std::string> entries = {
        "     110       1       1       1       0                        00010000D0000001",
        "     110                       2                                        D0000002",
        "     110       3       1       1       0                        00010000D0000003",
        "     110                       2                                        D0000004",
        "     102       5       1       1       0                        00000001D0000005",
        "     102                       1                                        D0000006",
        "110,0.000000E+000,0.000000E+000,0.000000E+000,                         1P0000001",
        "1.000000E+000,0.000000E+000,0.000000E+000;                             1P0000002",
        "110,1.000000E+000,0.000000E+000,0.000000E+000,                         3P0000003",
        "1.000000E+000,2.000000E+000,-1.500000E+000;                            3P0000004",
        "102,2,1,3;                                                             5P0000005",
        "S0000005G0000005D0000006P0000005                                        T0000001",
    };
    expected.insert(expected.end(), entries.begin(), entries.end());
    EXPECT_EQ(crlf_lines(write({{{0, 0, 0}, {1, 0, 0}, {1, 2, -1.5}}})), expected);
}

TEST_F(IgesWriter, SinglePointsZeroSegmentsAndLongComposites) {
    singlet();
    // A point alone, a polyline of one repeated point and a segment of no length make no lines.
    Polyline long_line;
    for (int k = 0; k < 30; ++k) long_line.push_back({static_cast<double>(k), 0.0, 0.0});
    long_line.push_back(long_line.back());
    const IgesFile f = read_iges(write({{{5, 5, 5}}, {{1, 1, 1}, {1, 1, 1}}, long_line}));
    ASSERT_EQ(f.entries.size(), 30u);
    for (std::size_t i = 0; i < 29; ++i) {
        EXPECT_EQ(f.entries[i].type, 110);
        EXPECT_EQ(f.entries[i].count, 2);
        ASSERT_EQ(f.entries[i].numbers.size(), 7u);
        EXPECT_EQ(f.entries[i].numbers[1], static_cast<double>(i));
        EXPECT_EQ(f.entries[i].numbers[4], static_cast<double>(i + 1));
    }
    const IgesEntry& composite = f.entries.back();
    EXPECT_EQ(composite.type, 102);
    ASSERT_EQ(composite.numbers.size(), 31u);
    EXPECT_EQ(composite.numbers[1], 29.0);
    for (int i = 0; i < 29; ++i) EXPECT_EQ(composite.numbers[2 + i], 2.0 * i + 1.0);
    // Its pointers wrap into several lines, none passing column 64 (checked by the reader).
    EXPECT_GT(composite.count, 1);
}

TEST_F(Export, IgesOfASingletMatchesItsDxf) {
    struct UnitCase {
        const char* uni;
        const char* field;
        double scale;  // of the coordinates written
    };
    const UnitCase units[] = {
        {"UNI 1", "2,2HMM,", 1.0},   {"UNI 10", "10,2HCM,", 1.0},   {"UNI 25.4", "1,4HINCH,", 1.0},
        {"UNI 1000", "6,1HM,", 1.0}, {"UNI 0.001", "9,2HUM,", 1.0}, {"UNI 2.5", "2,2HMM,", 2.5},
    };
    for (const UnitCase& u : units) {
        SCOPED_TRACE(u.uni);
        singlet({u.uni});
        ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"single.dxf\""), 0) << error_text();
        ASSERT_EQ(run("export_iges elev 0 0 0 \"a_rather_long_name_single.igs\""), 0)
            << error_text();
        const std::string text = file("a_rather_long_name_single.igs");
        const IgesFile f = read_iges(text);
        EXPECT_EQ(f.global[0].substr(45, 25), ",20Hlong_name_single.igs,");
        EXPECT_EQ(f.global[2].substr(48, std::string(u.field).size()), u.field);
        const DxfFile d = read_dxf(file("single.dxf"));
        // Every segment of length becomes a line; every polyline with one a composite of them.
        std::vector<std::pair<Point, Point>> segments;
        std::size_t wires = 0;
        double largest = 0.0;
        for (const DxfPolyline& p : d.polylines) {
            std::size_t made = 0;
            for (std::size_t k = 1; k < p.points.size(); ++k) {
                if (same(p.points[k - 1], p.points[k], 1e-6)) continue;
                segments.push_back({p.points[k - 1], p.points[k]});
                ++made;
            }
            if (made > 0) ++wires;
            for (const Point& v : p.points) {
                for (double c : v) largest = std::max(largest, std::fabs(c));
            }
        }
        std::size_t lines = 0;
        std::size_t composites = 0;
        for (const IgesEntry& e : f.entries) {
            if (e.type == 102) {
                ++composites;
                continue;
            }
            ASSERT_EQ(e.type, 110);
            ASSERT_LT(lines, segments.size());
            ASSERT_EQ(e.numbers.size(), 7u);
            for (int c = 0; c < 3; ++c) {
                const double a = segments[lines].first[static_cast<std::size_t>(c)] * u.scale;
                const double b = segments[lines].second[static_cast<std::size_t>(c)] * u.scale;
                EXPECT_NEAR(e.numbers[1 + static_cast<std::size_t>(c)], a,
                            1e-6 * (1 + std::fabs(a)));
                EXPECT_NEAR(e.numbers[4 + static_cast<std::size_t>(c)], b,
                            1e-6 * (1 + std::fabs(b)));
            }
            ++lines;
        }
        EXPECT_EQ(lines, segments.size());
        EXPECT_EQ(composites, wires);
        const double written_max = std::strtod(f.global[3].substr(25).c_str(), nullptr);
        EXPECT_NEAR(written_max, largest * u.scale, 1e-9 * largest);
        ASSERT_EQ(run("export_iges elev 0 0 0 \"a_rather_long_name_single.igs\""), 0);
        EXPECT_EQ(file("a_rather_long_name_single.igs"), text);
    }
}

TEST_F(Export, IgesOfTheModelHasAPathPerFace) {
    singlet({"DLRI 3", "DLSP 4"});
    ASSERT_EQ(run("export_iges model 0 0 0 \"model.igs\""), 0) << error_text();
    const IgesFile f = read_iges(file("model.igs"));
    int paths = 0;
    for (const IgesEntry& e : f.entries) {
        if (e.type != 106) continue;
        ++paths;
        EXPECT_EQ(e.form, 12);
        ASSERT_GE(e.numbers.size(), 3u);
        EXPECT_EQ(e.numbers[1], 2.0);
        const auto corners = static_cast<std::size_t>(e.numbers[2]);
        ASSERT_EQ(e.numbers.size(), 3 + 3 * corners);
        EXPECT_GE(corners, 4u);
        // Closed: the first corner repeated.
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(e.numbers[3 + static_cast<std::size_t>(c)],
                      e.numbers[3 + 3 * (corners - 1) + static_cast<std::size_t>(c)]);
        }
    }
    // The faces whose corners are not all one point: the 86 of the model, less none.
    EXPECT_GT(paths, 0);
    EXPECT_LE(paths, 86);
}

// --- Readers outside the program ----------------------------------------------------------

std::string run_tool(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

bool python_with_ezdxf() {
    return run_tool("/usr/bin/python3 -c \"import ezdxf; print('ok')\"").find("ok") !=
           std::string::npos;
}

TEST_F(Export, EzdxfReadsTheDxfFiles) {
    if (!python_with_ezdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    singlet({"DLRI 3", "DLSP 4"});
    ASSERT_EQ(run("export_dxf elev 0 0 0 0 \"e.dxf\""), 0) << error_text();
    ASSERT_EQ(run("export_dxf model 0 0 0 0 \"m.dxf\""), 0) << error_text();
    const fs::path script = data_folder() / "check.py";
    std::ofstream(script) << "import sys, ezdxf\n"
                             "for name in sys.argv[1:]:\n"
                             "    doc = ezdxf.readfile(name)\n"
                             "    auditor = doc.audit()\n"
                             "    msp = doc.modelspace()\n"
                             "    print(name[-5:], len(auditor.errors), len(msp.query('POLYLINE')),"
                             " len(msp.query('3DFACE')))\n";
    const std::string out =
        run_tool("/usr/bin/python3 " + script.string() + " " + (data_folder() / "e.dxf").string() +
                 " " + (data_folder() / "m.dxf").string());
    const DxfFile e = read_dxf(file("e.dxf"));
    const DxfFile m = read_dxf(file("m.dxf"));
    EXPECT_NE(out.find("e.dxf 0 " + std::to_string(e.polylines.size()) + " 0"), std::string::npos)
        << out;
    EXPECT_NE(out.find("m.dxf 0 " + std::to_string(m.polylines.size()) + " 86"), std::string::npos)
        << out;
}

TEST_F(Export, OpenCascadeReadsTheIgesFiles) {
    if (!fs::exists("/usr/bin/occt-draw")) GTEST_SKIP() << "occt-draw is not installed";
    const fs::path script = data_folder() / "check.tcl";
    struct Case {
        const char* uni;
        const char* view;
    };
    const Case cases[] = {{"UNI 1", "elev"},     {"UNI 10", "elev"},  {"UNI 25.4", "elev"},
                          {"UNI 0.001", "elev"}, {"UNI 2.5", "elev"}, {"UNI 1", "model"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.uni) + " " + c.view);
        singlet({c.uni, "DLRI 3", "DLSP 4"});
        ASSERT_EQ(run(std::string("export_dxf ") + c.view + " 0 0 0 0 \"o.dxf\""), 0);
        ASSERT_EQ(run(std::string("export_iges ") + c.view + " 0 0 0 \"o.igs\""), 0);
        std::ofstream(script) << "pload MODELING XSDRAW\n"
                                 "igesread "
                              << (data_folder() / "o.igs").string()
                              << " r *\n"
                                 "puts [data c]\nputs [nbshapes r]\nputs \"BOX [bounding r]\"\n"
                                 "puts [lprops r]\nexit\n";
        const std::string out =
            run_tool("cd " + data_folder().string() + " && timeout 120 /usr/bin/occt-draw -b -f " +
                     script.string());
        EXPECT_NE(out.find("Nb Total:0"), std::string::npos) << out;
        auto count = [&](const std::string& kind) {
            const std::size_t at = out.find(kind);
            if (at == std::string::npos) return -1;
            return std::atoi(out.c_str() + out.find(':', at) + 1);
        };
        const DxfFile d = read_dxf(file("o.dxf"));
        // The IGES file is in its own unit (mm, cm, inch, micron); OCCT reports millimetres.
        const double to_mm = lens_data().units;
        int open_wires = 0;
        for (const DxfPolyline& p : d.polylines) {
            for (std::size_t i = 1; i < p.points.size(); ++i) {
                if (drawing_test::distance(p.points[i - 1], p.points[i]) >= 1e-6) {
                    ++open_wires;
                    break;
                }
            }
        }
        if (std::string(c.view) == "model") {
            // A face whose corners are not three distinct points is no path.
            int faces = 0;
            for (const auto& face : d.faces) {
                std::vector<Point> distinct;
                for (const Point& p : face) {
                    if (std::none_of(distinct.begin(), distinct.end(),
                                     [&](const Point& q) { return same(p, q, 1e-6); })) {
                        distinct.push_back(p);
                    }
                }
                if (distinct.size() >= 3) ++faces;
            }
            EXPECT_EQ(count(" WIRE"), faces + open_wires) << out;
            continue;
        }
        int segments = 0;
        int wires = 0;
        double length = 0.0;
        double lo[3] = {1e300, 1e300, 1e300};
        double hi[3] = {-1e300, -1e300, -1e300};
        for (const DxfPolyline& p : d.polylines) {
            int made = 0;
            for (std::size_t i = 1; i < p.points.size(); ++i) {
                const double s = drawing_test::distance(p.points[i - 1], p.points[i]);
                if (s < 1e-6) continue;
                ++made;
                length += s;
            }
            segments += made;
            if (made > 0) ++wires;
            for (const Point& v : p.points) {
                for (int a = 0; a < 3; ++a) {
                    lo[a] = std::min(lo[a], v[static_cast<std::size_t>(a)]);
                    hi[a] = std::max(hi[a], v[static_cast<std::size_t>(a)]);
                }
            }
        }
        EXPECT_EQ(count(" EDGE"), segments) << out;
        EXPECT_EQ(count(" WIRE"), wires) << out;
        const std::size_t box = out.find("BOX ");
        ASSERT_NE(box, std::string::npos) << out;
        std::istringstream b(out.substr(box + 4));
        double v[6] = {};
        for (double& x : v) b >> x;
        for (int a = 0; a < 3; ++a) {
            // OCCT widens the box by its tolerance.
            EXPECT_NEAR(v[a], lo[a] * to_mm, 1e-3 * to_mm) << out;
            EXPECT_NEAR(v[3 + a], hi[a] * to_mm, 1e-3 * to_mm) << out;
        }
        const std::size_t mass = out.find("Mass :");
        ASSERT_NE(mass, std::string::npos) << out;
        EXPECT_NEAR(std::strtod(out.c_str() + mass + 6, nullptr), length * to_mm,
                    1e-4 * length * to_mm)
            << out;
    }
}

}  // namespace
}  // namespace export_test
