// The built program run as a user scripts it: a lens typed into the console with notes, a
// conic, a drawing switch, pickups, a solve, a perfect lens, a spline profile and four
// wavelengths, then "LEN -1". The blocks of the whole-lens listing are written here from the
// listing formats and must stand in the output in their order.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/entry/entry_fixture.h"
#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

using entry_test::cell;
using entry_test::kZero;

TEST(ConsoleListing, WholeLensListingOfATypedLens) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const std::string lines =
        "LEN NEW \"Six\"\nWV 0.5876 0.4861 0.6563 0.55\nNXT\nSRF 50 5 N-BK7 10\n"
        "SRF -50 2 AIR 10\nSRF 40 3 N-BK7 8\nSRF 0 4 AIR 8\nSRF 30 3 N-BK7 8\n"
        "SRF -80 40 AIR 8\nEND\n"
        "LEN\nNXT\nNOT \"front\"\nCC -0.5\nNXT\nDRW OFF\nPU -0.1\nNXT\nPK CV 1 0\nPK GLA 1\n"
        "NXT\nPFL 100\nNXT\nSPL 2\nSH 1 4\nSH 2 8\nNXT\nPK CVM 5 0.01\nEND\nLEN -1\n";
    const tavo_test::TavoltRun run = tavo_test::run_tavolt(tree, lines);
    ASSERT_GE(run.exit_code, 0);
    EXPECT_EQ(run.exit_code, 0);
    const std::string& shown = run.shown;
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
    const std::size_t start = shown.find("RADIUS DATA\nSix\n");
    ASSERT_NE(start, std::string::npos) << shown;

    const std::vector<std::string> blocks = {
        "SURFACE NOTES\n  1    front\n",
        "CONIC AND POLYNOMIAL ASPHERES\n"
        "SRF          CC          AD          AE          AF          AG\n"
        "  1   " +
            cell(-0.5) + " " + kZero + " " + kZero + " " + kZero + " " + kZero + "\n",
        "SPLINE PROFILES\n  5   SH0  " + std::string(kZero) + " SS0  " + kZero + "  SH1  " +
            cell(4.0).substr(1) + " SS1  " + kZero + "\n      SH2  " + cell(8.0).substr(1) +
            " SS2  " + kZero + "\n",
        "SURFACE FLAGS\n  2     DRW OFF\n",
        "PERFECT LENSES\n  4     PFL " + cell(100.0) + "   PFM  " + kZero + "\n",
        "SOLVES\n  2     PU  " + cell(-0.1) + "\n",
        "PICKUPS\n  3     GLA    1      CV     1\n  6     CVM    5    " + cell(0.01) + "\n",
        "APERTURE DATA\nSRF     TYP       RADIUS\n",
        "WAVELENGTHS\nCUR      WV1/WW1     WV2/WW2     WV3/WW3     WV4/WW4\n"
        "   1    0.587600    0.486100    0.656300    0.550000\n"
        "        1.000000    1.000000    1.000000    1.000000\n",
        "REFRACTIVE INDICES\n"
        "SRF      GLASS          INDEX 1     INDEX 2     INDEX 3    V-NUMBER         TCE\n" +
            std::string(19, ' ') + "     INDEX 4\n",
        "  7      IMAGE SURFACE\n",
    };
    std::size_t at = start;
    for (const std::string& block : blocks) {
        const std::size_t found = shown.find(block, at);
        ASSERT_NE(found, std::string::npos) << "missing, or out of order:\n"
                                            << block << "\nin:\n"
                                            << shown.substr(start);
        at = found + block.size();
    }
    // Meshes, holograms and the other kinds the lens does not carry are not listed.
    EXPECT_EQ(shown.find("SURFACE MESHES", start), std::string::npos);
    EXPECT_EQ(shown.find("HOLOGRAMS", start), std::string::npos);
}

}  // namespace
