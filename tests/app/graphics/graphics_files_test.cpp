// Graphics written to files from typed lines of the console program: HPGL read back by a small
// parser, bitmaps read by Python's imaging library, the Windows metafile converted by wmf2svg,
// the enhanced metafile opened and walked record by record.
//
// Hand mapping for the lines below (640 x 480 window, surface 20480 x 12800, world 0..10):
//   world (2.5, 2.5) -> surface (5120, 9599) -> pixel (160, 359); (7.5, 7.5) -> (15359, 3200)
//   -> pixel (479, 119) (pixel x = v * 8192 >> 18, y = v * 9830 >> 18).
//   On the default landscape plot area (10000 x 6250 units) the scale is 16000 in both axes:
//   x = v * 16000 >> 15 and y = 6250 - (v * 16000 >> 15): (2500, 1563) and (7499, 4688).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

struct Run {
    std::string shown;
    fs::path folder;
};

class GraphicsFiles : public ::testing::Test {
protected:
    std::string run(const std::string& lines) {
        tree_.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree_.data().string() + "\n");
        return tavo_test::run_tavolt(tree_, lines).shown;
    }
    std::string file(const std::string& name) const { return (tree_.base() / name).string(); }
    std::vector<std::uint8_t> bytes(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The picture lines used by most tests, then the outputs.
    std::string picture() const {
        return "world_frame 0 0 10 0 10\npen 2\nmove_to 2.5 2.5\ndraw_to 7.5 7.5\n"
               "pen 3\nline_style 1\nmove_to 1 9\ndraw_to 9 9\n";
    }

    tavo_test::TempTree tree_;
};

std::uint32_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}
std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return u16(b, at) | (u16(b, at + 2) << 16);
}

// HPGL commands as the plotter reads them: separated by ';' and line ends.
std::vector<std::string> hpgl_commands(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    for (char c : text) {
        if (c == ';' || c == '\n') {
            if (!current.empty()) out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) out.push_back(current);
    return out;
}

bool has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

bool python_imaging_available() {
    return std::system("/usr/bin/python3 -c 'import PIL' > /dev/null 2>&1") == 0;
}

TEST_F(GraphicsFiles, HpglCarriesPensAndTheMappedPoints) {
    const std::string shown =
        run(picture() + "set_setting Graphics_HPGL2 Off\nhpgl_file \"" + file("plain.hgl") +
            "\"\n" + "set_setting Graphics_HPGL2 On\nset_setting Graphics_pen_width 100\n" +
            "hpgl_file \"" + file("two.hgl") + "\"\n");
    const auto plain = hpgl_commands(tavo_test::read_file(file("plain.hgl")));
    ASSERT_FALSE(plain.empty()) << shown;
    EXPECT_EQ(plain.front(), "SP1");
    EXPECT_TRUE(has(plain, "IP80,1270,10080,7520")) << shown;
    EXPECT_TRUE(has(plain, "SC0,10000,0,6250"));
    // Pen 2, the line, pen 3, dashed style (style 1 is the plotter's line type 2), the line.
    const std::vector<std::string> drawing = {"SP2", "PU2500,1563", "PD7499,4688", "SP3", "LT2"};
    auto at = std::search(plain.begin(), plain.end(), drawing.begin(), drawing.end());
    EXPECT_NE(at, plain.end());
    EXPECT_EQ(plain.back(), "SP0");
    for (const std::string& c : plain) {
        for (const char* two : {"UL", "PW", "WU", "FT", "PM", "SD"}) {
            EXPECT_NE(c.rfind(two, 0), 0u) << c << " without HPGL/2";
        }
    }
    const auto two = hpgl_commands(tavo_test::read_file(file("two.hgl")));
    EXPECT_TRUE(has(two, "PW0.350"));
    EXPECT_TRUE(has(two, "UL2,70,30"));
    EXPECT_TRUE(has(two, "SD6,9999"));
}

TEST_F(GraphicsFiles, ALongPolylineContinuesOnNewLinesWithItsMnemonic) {
    // 13 steps fit one typed line of at most 255 characters.
    std::string line = "move_to .05 .5";
    for (int k = 0; k < 13; ++k) line += k % 2 == 0 ? "; draw_rel .06 .1" : "; draw_rel .06 -.1";
    run(line + "\nhpgl_file \"" + file("long.hgl") + "\"\n");
    const std::string text = tavo_test::read_file(file("long.hgl"));
    // From the first PD to the closing pen-up every line is a PD command: the 13 points run
    // over several lines, each continuation repeating the mnemonic.
    const std::size_t first = text.find("PD");
    const std::size_t end = text.find("PU;SP0");
    ASSERT_NE(first, std::string::npos) << text;
    ASSERT_NE(end, std::string::npos) << text;
    std::istringstream lines(text.substr(first, end - first));
    int pairs = 0, line_count = 0;
    for (std::string l; std::getline(lines, l);) {
        if (l.empty()) continue;
        ++line_count;
        EXPECT_EQ(l.rfind("PD", 0), 0u) << l;
        EXPECT_LE(l.size(), 72u) << l;
        for (const std::string& c : hpgl_commands(l)) {
            pairs += static_cast<int>(std::count(c.begin(), c.end(), ',') + 1) / 2;
        }
    }
    EXPECT_GE(line_count, 2) << text;
    // (0.05, 0.5) -> surface (1024, 6400) -> plotter (500, 3125).
    EXPECT_NE(text.find("PU500,3125"), std::string::npos) << text;
    EXPECT_EQ(pairs, 13) << text;
}

// The labels of an HPGL file in their order, without "LB" and the closing byte 3.
std::vector<std::string> hpgl_labels(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t at = text.find("LB"); at != std::string::npos; at = text.find("LB", at)) {
        const std::size_t end = text.find('\x03', at);
        if (end == std::string::npos) break;
        out.push_back(text.substr(at + 2, end - at - 2));
        at = end;
    }
    return out;
}

TEST_F(GraphicsFiles, MarkupSplitsALineIntoLabelsWithStrokesBetween) {
    // Each markup pair and box mark ends a label and is drawn as strokes; the plain runs around
    // them are the plotter's own letters.
    const struct {
        const char* line;
        std::vector<std::string> labels;
    } cases[] = {
        {"gfx_print \"A@uB@u C\"", {"A", "B", " C"}},
        {"gfx_print \"@uAB\"", {"AB"}},
        {"gfx_print \"x\x0bMM\x0by\"", {"x", "MM", "y"}},
        {"gfx_print \"PLAIN TEXT\"", {"PLAIN TEXT"}},
    };
    for (const auto& c : cases) {
        const std::string shown = run("move_to .2 .5\n" + std::string(c.line) + "\nhpgl_file \"" +
                                      file("t.hgl") + "\"\n");
        const std::string text = tavo_test::read_file(file("t.hgl"));
        EXPECT_EQ(hpgl_labels(text), c.labels) << c.line << "\n" << text << shown;
        // Strokes stand for the markup: pen-down moves besides the labels' pen-up moves.
        const bool markup = std::string(c.line).find_first_of("@\x0b") != std::string::npos;
        EXPECT_EQ(text.find("PD") != std::string::npos, markup) << c.line << "\n" << text;
    }
}

TEST_F(GraphicsFiles, TheToleranceMarkupDrawsAPlusMinusSign) {
    // "@t" is the plus-minus sign of the drawings' tolerances: a plus over a bar of its width,
    // as three straight strokes (pen-up to a point, pen-down to the other).
    run("move_to .5 .5\ngfx_print \"@t\"\nhpgl_file \"" + file("t.hgl") + "\"\n");
    const auto commands = hpgl_commands(tavo_test::read_file(file("t.hgl")));
    struct Stroke {
        int x0, y0, x1, y1;
    };
    std::vector<Stroke> strokes;
    for (std::size_t i = 0; i + 1 < commands.size(); ++i) {
        Stroke s{};
        if (std::sscanf(commands[i].c_str(), "PU%d,%d", &s.x0, &s.y0) == 2 &&
            std::sscanf(commands[i + 1].c_str(), "PD%d,%d", &s.x1, &s.y1) == 2) {
            strokes.push_back(s);
        }
    }
    ASSERT_EQ(strokes.size(), 3u) << tavo_test::read_file(file("t.hgl"));
    const Stroke& upright = strokes[0];
    const Stroke& across = strokes[1];
    const Stroke& bar = strokes[2];
    EXPECT_EQ(upright.x0, upright.x1);
    EXPECT_EQ(across.y0, across.y1);
    EXPECT_EQ(bar.y0, bar.y1);
    // The plus's bar crosses the upright at its middle; the lower bar lies below both, as wide.
    EXPECT_LT(std::min(across.x0, across.x1), upright.x0);
    EXPECT_GT(std::max(across.x0, across.x1), upright.x0);
    EXPECT_EQ(std::abs(across.x1 - across.x0), std::abs(bar.x1 - bar.x0));
    EXPECT_LT(bar.y0, std::min({upright.y0, upright.y1, across.y0}));
}

TEST_F(GraphicsFiles, BitmapsHoldTheWindowsPixels) {
    if (!python_imaging_available()) GTEST_SKIP() << "python3-pil is not installed";
    const std::string shown =
        run(picture() + "plot 1 \"" + file("p.bmp") + "\"\nplot 1 \"" + file("p.rle") + "\"\n");
    ASSERT_TRUE(fs::exists(file("p.bmp"))) << shown;
    const auto rle = bytes("p.rle");
    ASSERT_GT(rle.size(), 1078u);
    EXPECT_EQ(u32(rle, 2), rle.size());          // the file size holds the compressed size
    EXPECT_EQ(u32(rle, 34), rle.size() - 1078);  // and so does the image size
    EXPECT_EQ(u32(rle, 30), 1u);                 // run-length 8-bit
    const auto bmp = bytes("p.bmp");
    EXPECT_EQ(u32(bmp, 34), 640u * 480u);
    // The imaging library reads both files to the same indices.
    const std::string script = tree_
                                   .write_file("dump.py",
                                               "import sys\nfrom PIL import Image\n"
                                               "for name in sys.argv[1:]:\n"
                                               "    im = Image.open(name)\n"
                                               "    open(name + '.raw', 'wb').write(im.tobytes())\n"
                                               "    print(im.size[0], im.size[1], im.mode)\n")
                                   .string();
    const std::string command = "/usr/bin/python3 '" + script + "' '" + file("p.bmp") + "' '" +
                                file("p.rle") + "' > '" + file("dump.txt") + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << tavo_test::read_file(file("dump.txt"));
    EXPECT_EQ(tavo_test::read_file(file("dump.txt")), "640 480 P\n640 480 P\n");
    const auto a = bytes("p.bmp.raw");
    const auto b = bytes("p.rle.raw");
    ASSERT_EQ(a.size(), 640u * 480u);
    EXPECT_EQ(a, b);
    auto pixel = [&](int x, int y) { return a[static_cast<std::size_t>(y) * 640 + x]; };
    EXPECT_EQ(pixel(160, 359), 2);  // both ends of the solid line in pen 2
    EXPECT_EQ(pixel(479, 119), 2);
    EXPECT_EQ(pixel(100, 100), 0);  // background
    // The solid line sets one pixel per step of its longer side: 479 - 160 + 1.
    EXPECT_EQ(std::count(a.begin(), a.end(), 2), 320);
    // The dashed line in pen 3 along row 47 (world y 9) from x 64 to 575 has gaps.
    int on = 0;
    for (int x = 64; x <= 575; ++x) on += pixel(x, 47) == 3 ? 1 : 0;
    EXPECT_GT(on, 200);
    EXPECT_LT(on, 512);
}

TEST_F(GraphicsFiles, MetafilesAreReadableByOtherTools) {
    const std::string shown =
        run(picture() + "plot 1 \"" + file("p.wmf") + "\"\nplot 1 \"" + file("p.emf") + "\"\n");
    const auto wmf = bytes("p.wmf");
    ASSERT_GT(wmf.size(), 40u) << shown;
    EXPECT_EQ(u32(wmf, 0), 0x9AC6CDD7u);
    std::uint32_t x = 0;
    for (std::size_t i = 0; i < 20; i += 2) x ^= u16(wmf, i);
    EXPECT_EQ(u16(wmf, 20), x);
    // Bounding box: the logical size 5120 x 3200 (half the surface) at 1440 units an inch.
    EXPECT_EQ(u16(wmf, 10), 5120u * 2540 / 1440);
    EXPECT_EQ(u16(wmf, 12), 3200u * 2540 / 1440);
    EXPECT_EQ(u32(wmf, 22 + 6) * 2, wmf.size() - 22);  // the header counts the file in words
    if (std::system("command -v wmf2svg > /dev/null 2>&1") == 0) {
        // wmf2svg loads its Type 1 fonts even for a picture without text and stops when it
        // finds none, so its own message is what tells a missing font package from a bad file.
        const std::string command = "wmf2svg '" + file("p.wmf") + "' > '" + file("p.svg") +
                                    "' 2> '" + file("wmf2svg.txt") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << tavo_test::read_file(file("wmf2svg.txt"));
        const std::string svg = tavo_test::read_file(file("p.svg"));
        EXPECT_NE(svg.find("<svg"), std::string::npos);
        EXPECT_GE(std::count(svg.begin(), svg.end(), '\n'), 5);
        EXPECT_NE(svg.find("<polyline"), std::string::npos) << svg;
    }

    const auto emf = bytes("p.emf");
    ASSERT_GT(emf.size(), 108u);
    EXPECT_EQ(u32(emf, 0), 1u);
    EXPECT_EQ(u32(emf, 40), 0x464D4520u);
    EXPECT_EQ(u32(emf, 48), emf.size());
    std::size_t at = 0;
    std::uint32_t count = 0, last = 0;
    while (at + 8 <= emf.size()) {
        last = u32(emf, at);
        const std::uint32_t size = u32(emf, at + 4);
        ASSERT_GE(size, 8u);
        ASSERT_EQ(size % 4, 0u);
        at += size;
        ++count;
    }
    EXPECT_EQ(at, emf.size());
    EXPECT_EQ(last, 14u);  // the end record
    EXPECT_EQ(count, u32(emf, 52));
    if (python_imaging_available()) {
        const std::string command =
            "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + file("p.emf") +
            "'); print(im.format)\" > '" + file("emf.txt") + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << tavo_test::read_file(file("emf.txt"));
    }
}

TEST_F(GraphicsFiles, WaitingForAClickInTheConsoleLosesNoLaterLine) {
    const std::string shown = run(picture() + "wait_click\nplot 1 \"" + file("after.bmp") + "\"\n");
    EXPECT_TRUE(fs::exists(file("after.bmp"))) << shown;
}

TEST_F(GraphicsFiles, UnknownKindsAndUnwritableFilesAreRefused) {
    const std::string shown =
        run(picture() + "plot 1 \"" + file("p.xyz") + "\"\nplot 1 \"" + file("none/p.bmp") +
            "\"\nhpgl_file \"" + file("none/p.hgl") + "\"\n");
    EXPECT_NE(shown.find("graphics files end in .bmp, .rle, .wmf, .emf or .hgl"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Graphics window 1 could not be written to " + file("none/p.bmp")),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Graphics window 1 could not be written to " + file("none/p.hgl")),
              std::string::npos)
        << shown;
    EXPECT_FALSE(fs::exists(file("p.xyz")));
}

}  // namespace
