// The example lenses of the installation, opened as a user opens them: the open command on the
// file in ROOT/public/len, then the paraxial set-up, whose focal length must be the one the
// lens's published source gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

struct ExampleLens {
    const char* file;
    double published_efl;
    // The published value's own rounding, and for some lenses a catalogue glass of the same
    // glass code standing for one the catalogues no longer hold.
    double relative_tolerance;
};

// The program's run on typed lines, with what it wrote.
std::string run_typed_lines(const tavo_test::TempTree& tree, const std::string& lines) {
    const tavo_test::TavoltRun run = tavo_test::run_tavolt(tree, lines);
    EXPECT_EQ(run.exit_code, 0);
    return run.shown;
}

TEST(ExampleLenses, EachOpensWithThePublishedFocalLength) {
    // A concave mirror's focal length lists negative: the medium after it has the index -1.
    const ExampleLens lenses[] = {
        {"cooke_triplet", 101.181, 1e-4},
        {"double_gauss", 100.4, 1e-3},
        {"achromat", 100.1, 1e-3},
        {"parabolic_mirror", -16764.0, 1e-4},
    };
    for (const ExampleLens& lens : lenses) {
        SCOPED_TRACE(lens.file);
        tavo_test::TempTree tree;
        tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
        const std::string folder = TAVO_INSTALL_DIR "/public/len";
        ASSERT_TRUE(std::filesystem::exists(folder + "/" + lens.file + ".len"));
        const std::string shown =
            run_typed_lines(tree, "open " + folder + " " + lens.file + "\npar_setup\n");
        EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
        const std::size_t at = shown.find("EFL");
        ASSERT_NE(at, std::string::npos) << shown;
        const double efl = std::strtod(shown.c_str() + at + 3, nullptr);
        EXPECT_NEAR(efl, lens.published_efl,
                    lens.relative_tolerance * std::fabs(lens.published_efl))
            << shown;
    }
}

// The notes name the file's source: they are what a user lists to learn where
// the prescription comes from.
TEST(ExampleLenses, TheNotesNameThePublishedSource) {
    const std::pair<const char*, const char*> sources[] = {
        {"cooke_triplet", "Modern Optical Engineering"},
        {"double_gauss", "2,601,805"},
        {"achromat", "stock achromatic doublet"},
        {"parabolic_mirror", "Hale"},
    };
    for (const auto& [file, source] : sources) {
        SCOPED_TRACE(file);
        tavo_test::TempTree tree;
        tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
        const std::string shown =
            run_typed_lines(tree, std::string("open " TAVO_INSTALL_DIR "/public/len ") + file +
                                      "\nlist_conditions notes\n");
        EXPECT_NE(shown.find(source), std::string::npos) << shown;
    }
}

}  // namespace
