// The report pages as a user saves them: each page typed into the console program on the
// catalogue triplet, then "plot 1" into a bitmap that Python's imaging library reads back. Every
// viewport the page lays out holds ink, the footer's rules and the page's own rules are drawn
// along their whole length, and the margins and gaps between the viewports stay empty.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/reports/slider_lenses.h"
#include "tests/support/temp_tree.h"

namespace {

struct Box {
    double x0, x1, y0, y1;  // window fractions, y up from the bottom
};

struct Rule {
    double x0, y0, x1, y1;
};

struct Page {
    const char* line;
    const char* file;
    double split;  // the footer's rule left of the titles
    std::vector<Box> viewports;
    std::vector<Rule> rules;  // besides the footer's
    std::vector<Box> empty;   // margins and gaps no viewport, caption or rule reaches
};

// The indices of an 8-bit bitmap, rows from the top; 0 is the background.
struct Picture {
    int width = 0, height = 0;
    std::string pixels;

    // Window fractions to pixels: the surface spans the whole window, its y downwards.
    int px(double f) const { return static_cast<int>(std::lround(f * (width - 1))); }
    int py(double f) const { return static_cast<int>(std::lround((1.0 - f) * (height - 1))); }
    int ink_pixels(int x0, int x1, int y0, int y1) const {
        int n = 0;
        for (int y = std::max(y0, 0); y <= std::min(y1, height - 1); ++y) {
            for (int x = std::max(x0, 0); x <= std::min(x1, width - 1); ++x) {
                n += pixels[static_cast<std::size_t>(y) * width + x] != 0 ? 1 : 0;
            }
        }
        return n;
    }
    int ink(const Box& b) const { return ink_pixels(px(b.x0), px(b.x1), py(b.y1), py(b.y0)); }
    // Ink within two pixels of every tenth of the way along the rule.
    bool drawn(const Rule& r) const {
        for (int k = 0; k <= 10; ++k) {
            const double x = r.x0 + (r.x1 - r.x0) * k / 10.0;
            const double y = r.y0 + (r.y1 - r.y0) * k / 10.0;
            if (ink_pixels(px(x) - 2, px(x) + 2, py(y) - 2, py(y) + 2) == 0) return false;
        }
        return true;
    }
};

bool python_imaging_available() {
    return std::system("/usr/bin/python3 -c 'import PIL' > /dev/null 2>&1") == 0;
}

TEST(ReportPageBitmaps, EveryViewportIsInkedAndTheMarginsStayEmpty) {
    if (!python_imaging_available()) GTEST_SKIP() << "python3-pil is not installed";
    // The layouts of the five pages: their plot viewports, the rules they draw over the page,
    // and places that nothing of theirs reaches (the frame about the window is left out).
    const std::vector<Page> pages = {
        {"report_wavefront",
         "wavefront.bmp",
         0.4,
         // Maps over contour plots, one column per field.
         {{0.05, 0.35, 0.45, 1.0},
          {0.35, 0.65, 0.45, 1.0},
          {0.65, 0.95, 0.45, 1.0},
          {0.05, 0.35, 0.1, 0.55},
          {0.35, 0.65, 0.1, 0.55},
          {0.65, 0.95, 0.1, 0.55}},
         {},
         {{0.01, 0.045, 0.11, 0.99}, {0.955, 0.99, 0.11, 0.99}}},
        {"report_ray_trace",
         "ray_trace.bmp",
         0.4,
         // Three fans; astigmatism, distortion and lateral colour; the lens drawing.
         {{0.03, 0.375, 0.725, 0.975},
          {0.03, 0.375, 0.425, 0.675},
          {0.03, 0.375, 0.125, 0.375},
          {0.4, 0.6, 0.6, 0.95},
          {0.6, 0.8, 0.6, 0.95},
          {0.8, 1.0, 0.6, 0.95},
          {0.4, 1.0, 0.1, 0.575}},
         {{0.4, 0.1, 0.4, 1.0}, {0.4, 0.6, 1.0, 0.6}},
         {{0.005, 0.015, 0.11, 0.99},
          {0.05, 0.37, 0.68, 0.72},
          {0.05, 0.37, 0.38, 0.42},
          {0.42, 0.98, 0.58, 0.59}}},
        {"report_spot",
         "spot.bmp",
         0.4,
         // Three spot diagrams; the radial energy curves and their captions; three rows
         // through focus and their captions.
         {{0.03, 0.375, 0.7, 1.0},
          {0.03, 0.375, 0.4, 0.7},
          {0.03, 0.375, 0.1, 0.4},
          {0.4, 0.85, 0.15, 0.675},
          {0.4, 1.0, 0.1, 0.6},
          {0.5, 1.0, 0.85, 1.0},
          {0.5, 1.0, 0.75, 0.9},
          {0.5, 1.0, 0.65, 0.8},
          {0.5, 1.0, 0.6, 1.0}},
         {{0.4, 0.1, 0.4, 1.0}, {0.4, 0.6, 1.0, 0.6}},
         // Under the energy captions' units; left of the on-axis row, under its field name.
         {{0.005, 0.015, 0.11, 0.99}, {0.86, 0.99, 0.11, 0.28}, {0.405, 0.49, 0.61, 0.72}}},
        {"report_mtf",
         "mtf.bmp",
         0.25,
         {{0.25, 1.0, 0.2, 1.0}},
         {{0.25, 0.1, 0.25, 1.0}},
         // Under the plot; the legend column under the wavelengths.
         {{0.26, 0.99, 0.11, 0.19}, {0.01, 0.24, 0.11, 0.45}}},
        {"report_psf",
         "psf.bmp",
         0.4,
         // On axis, 0.7 field, full field in perspective; the sections of all three.
         {{0.0, 0.5, 0.1, 0.55},
          {0.5, 1.0, 0.55, 1.0},
          {0.0, 0.5, 0.55, 1.0},
          {0.5, 1.0, 0.1, 0.55}},
         {},
         {}},
    };
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    std::string lines;
    for (const std::string& l : slider_test::kCatalogueTriplet) lines += l + "\n";
    for (const Page& p : pages) {
        lines += std::string(p.line) + "\nplot 1 \"" + (tree.base() / p.file).string() + "\"\n";
    }
    const auto input = tree.write_file("lines.txt", lines);
    const std::string shown_file = (tree.base() / "out.txt").string();
    const int status = std::system(("TAVO_UI=console '" TAVO_INSTALL_DIR "/tavolt' < '" +
                                    input.string() + "' > '" + shown_file + "' 2>&1")
                                       .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    const std::string shown = tavo_test::read_file(shown_file);

    // The library writes each bitmap's indices, rows from the top, and prints its size.
    const auto script = tree.write_file("dump.py",
                                        "import sys\nfrom PIL import Image\n"
                                        "for name in sys.argv[1:]:\n"
                                        "    im = Image.open(name)\n"
                                        "    open(name + '.raw', 'wb').write(im.tobytes())\n"
                                        "    print(im.size[0], im.size[1], im.mode)\n");
    std::string command = "/usr/bin/python3 '" + script.string() + "'";
    for (const Page& p : pages) command += " '" + (tree.base() / p.file).string() + "'";
    const std::string sizes_file = (tree.base() / "sizes.txt").string();
    ASSERT_EQ(std::system((command + " > '" + sizes_file + "' 2>&1").c_str()), 0)
        << tavo_test::read_file(sizes_file) << shown;
    std::istringstream sizes(tavo_test::read_file(sizes_file));

    for (const Page& p : pages) {
        Picture pic;
        std::string mode;
        sizes >> pic.width >> pic.height >> mode;
        ASSERT_EQ(mode, "P") << p.line;
        pic.pixels = tavo_test::read_file(tree.base() / (std::string(p.file) + ".raw"));
        ASSERT_EQ(pic.pixels.size(), static_cast<std::size_t>(pic.width) * pic.height) << p.line;
        // The middle half of each viewport: its plot, clear of the captions at its edges.
        for (const Box& v : p.viewports) {
            const double dx = (v.x1 - v.x0) / 4, dy = (v.y1 - v.y0) / 4;
            EXPECT_GT(pic.ink({v.x0 + dx, v.x1 - dx, v.y0 + dy, v.y1 - dy}), 20)
                << p.line << ": viewport " << v.x0 << ".." << v.x1 << " x " << v.y0 << ".." << v.y1;
        }
        // The footer: the rule across the window, the rule at 0.9 and the one at the split.
        std::vector<Rule> rules = {
            {0.0, 0.1, 1.0, 0.1}, {0.9, 0.0, 0.9, 0.1}, {p.split, 0.0, p.split, 0.1}};
        rules.insert(rules.end(), p.rules.begin(), p.rules.end());
        for (const Rule& r : rules) {
            EXPECT_TRUE(pic.drawn(r))
                << p.line << ": rule " << r.x0 << "," << r.y0 << " to " << r.x1 << "," << r.y1;
        }
        for (const Box& e : p.empty) {
            EXPECT_EQ(pic.ink(e), 0)
                << p.line << ": " << e.x0 << ".." << e.x1 << " x " << e.y0 << ".." << e.y1;
        }
    }
}

}  // namespace
