// The option commands and the sheet's hooks in the console program, with the routines they call
// written by the user (names are read in lower case): each prints what it receives. The lens
// drawing's report tells whether the row hook drew the lens.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/app/compile/installation.h"

namespace {

namespace fs = std::filesystem;
using tavo_test::Installation;

const char* const kRoutines =
    "procedure lse_callback\n"
    "  param a int\n"
    "  param b int\n"
    "  param c int\n"
    "  body \"printf \\\"callback %d %d %d\\\\n\\\", a, b, c\"\n";

std::string run_with_routines(const std::string& lines) {
    Installation install;
    const fs::path source = install.tree.data() / "kpl/sheet_routines.kpl";
    fs::create_directories(source.parent_path());
    std::ofstream(source, std::ios::binary) << kRoutines;
    fs::create_directories(install.tree.data() / "len");
    return install.run(lines);
}

// A lens with a mirror on surface 2: the space behind it (surface 3) is air travelled back.
const char* const kMirrorLens =
    "LEN NEW\nWV 0.5876 0.4861 0.6563\nTH 100\nNXT\nSRF 50 5 N-BK7 10\nAST\n"
    "SRF -50 45 RFL 10\nSRF -50 -45 AIR 10\nEND\ncompile 1 100\n";

TEST(SheetOptionsConsole, TheChosenSolveAndModelGlassShowInTheListing) {
    Installation install;
    fs::create_directories(install.tree.data() / "len");
    // "?" asks for the choice, as the sheet's buttons ask.
    const std::string shown = install.run(
        "new_lens t 0 3\nexit_levels\nLEN NEW\nWV 0.5876 0.4861 0.6563\nTH 100\nNXT\n"
        "SRF 50 5 N-BK7 10\nSRF -50 45 AIR 10\nEND\ngto 2\ncurvopt ?\npu\n0.1\n"
        "glassopt ?\nmodel\nX\n1.6\n40\nLEN -1\n");
    const std::size_t listing = shown.find("RADIUS DATA");
    ASSERT_NE(listing, std::string::npos) << shown;
    EXPECT_NE(shown.find("SOLVES\n  2     PU ", listing), std::string::npos) << shown;
    // Surface 2's row of the radius data names the model glass.
    const std::size_t row = shown.find("\n  2 ", listing);
    ASSERT_NE(row, std::string::npos) << shown;
    const std::string line = shown.substr(row + 1, shown.find('\n', row + 1) - row - 1);
    EXPECT_NE(line.find(" X "), std::string::npos) << line;
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
}

TEST(SheetOptionsConsole, VariableChoicesComposeTheirLines) {
    const std::string shown = run_with_routines(std::string(kMirrorLens) +
                                                "gto 3\nthkopt variable\ngto 0\nobjcurvopt 22\n"
                                                "VAR LIST\n");
    // Behind one mirror an air space's bounds turn round: -OMXA to -OMNA.
    EXPECT_NE(shown.find("V 1    3   -  TH   -1.0000e+04   -0.100000"), std::string::npos) << shown;
    // On the object surface there is no solve to drop first.
    EXPECT_NE(shown.find("V 2    0   1  CV "), std::string::npos) << shown;
    EXPECT_EQ(shown.find("choose another name"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
}

// The drawing report's range line once the lens has been drawn (before, it shows "--").
const char* const kDrawn = "RAYS FROM TO:    1.000000";

TEST(SheetOptionsConsole, TheDrawWordDecidesWhatTheRowHookRuns) {
    const struct {
        const char* word;
        bool callback;
        bool drawn;
    } cases[] = {{"0", false, false}, {"2", true, false}, {"1", true, true}, {"-1", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const std::string shown =
            run_with_routines(std::string(kMirrorLens) + "cbk " + c.word +
                              "\nsurface_sheet\n7\nexit_levels\ndraw_rays report\n");
        EXPECT_EQ(shown.find("callback 0 ") != std::string::npos, c.callback) << shown;
        EXPECT_EQ(shown.find(kDrawn) != std::string::npos, c.drawn) << shown;
    }
    // A lens of object and image surface alone: the hook does nothing.
    const std::string bare = run_with_routines(
        "surface_sheet 1 0 0\nexit_levels\ncompile 1 100\ncbk 1\nsheet_row_selected 0 1 5\n"
        "draw_rays report\n");
    EXPECT_EQ(bare.find("callback"), std::string::npos) << bare;
    EXPECT_EQ(bare.find(kDrawn), std::string::npos) << bare;
}

}  // namespace
