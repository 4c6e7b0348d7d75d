// The line plots as a user types them into the console program: each command draws without a
// message, and the bitmap of the fan plot of a spherical mirror has the ends of its meridional
// curve where the window's mapping puts the first and last ray of the fan.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

std::string run_console(tavo_test::TempTree& tree, const std::string& lines) {
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    return tavo_test::run_tavolt(tree, lines).shown;
}

const char* const kMirror =
    "LEN NEW \"Mirror\"\nEBR 10\nANG 0\nNXT\nRD -200\nTH -100\nRFL\nNXT\nEND\n"
    "WV 0.58756 0.48613 0.65627\ntrr 0 0 0 0 0\n";

std::uint32_t u32(const std::string& b, std::size_t at) {
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
           static_cast<std::uint8_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

TEST(PlotsConsole, EveryPlotCommandDraws) {
    tavo_test::TempTree tree;
    const std::string shown = run_console(
        tree, std::string(kMirror) +
                  "plr wvt yx\nplo\nplf\npla wvt\nplot_distortion all\nplot_lateral_color\n"
                  "spd mon 32\nplot_intensity_sections mon 0 0 21\nplot_psf y mon 0 0 16 peak "
                  "0 15 0\nplot_psf_encircled\nplot_psf_ensquared\nplot_line_spread both\n"
                  "plot_psf_line_spread lsf\n");
    EXPECT_EQ(shown.find("rror"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("cannot"), std::string::npos) << shown;
}

TEST(PlotsConsole, TheFanCurveEndsWhereTheMappingPutsThem) {
    tavo_test::TempTree tree;
    const std::string file = (tree.base() / "fan.bmp").string();
    const std::string shown =
        run_console(tree, std::string(kMirror) + "plr cur yx 0.02 0 11\nplot 1 \"" + file + "\"\n");
    const std::string bmp = tavo_test::read_file(file);
    ASSERT_GT(bmp.size(), 1078u) << shown;
    ASSERT_EQ(u32(bmp, 18), 640u);
    ASSERT_EQ(u32(bmp, 22), 480u);
    const std::uint32_t offset = u32(bmp, 10);
    // Rows bottom up, 640 bytes each.
    auto pixel = [&](int x, int y) {
        return static_cast<std::uint8_t>(bmp[offset + static_cast<std::size_t>(479 - y) * 640 + x]);
    };
    // The rim ray of the sphere of radius 200 at height 10 crosses the image 0.012569 from the
    // axis, on the other side: at scale 0.02 the meridional graph (world x -1.2..2.6 beside the
    // sagittal half fan of the axial point, y -1.1..1.4) has its ends at (-1, 0.628) and
    // (1, -0.628). Surface 20480 x 12800, its y from the top; pixels of 32 surface units
    // across, 480 rows down 12800.
    const double t = std::asin(10.0 / 200.0);
    const double v = 100.0 * (1.0 / std::cos(t) - 1.0) * std::tan(2.0 * t) / 0.02;
    for (const double end : {-1.0, 1.0}) {
        const double x = end, y = -end * v;
        const double sx = (x + 1.2) / 3.8 * 20480.0, sy = (1.4 - y) / 2.5 * 12800.0;
        const int px = static_cast<int>(sx / 32.0), py = static_cast<int>(sy * 480.0 / 12800.0);
        int drawn = 0;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) drawn += pixel(px + dx, py + dy) != 0 ? 1 : 0;
        }
        EXPECT_GT(drawn, 0) << end << " at " << px << "," << py;
        // Nothing drawn a little above and below the end.
        EXPECT_EQ(pixel(px, py - 12), 0) << end;
        EXPECT_EQ(pixel(px, py + 12), 0) << end;
    }
}

}  // namespace
