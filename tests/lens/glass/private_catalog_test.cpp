// The private catalogue: its edit command against golden files, refusals that leave the file
// alone, the 400-glass room, a failed write, and the conversion of the old binary layout.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <cmath>

#include "lens/private_catalog.h"
#include "runtime/arg_cells.h"
#include "tests/lens/glass/glass_lens_fixture.h"
#include "tests/lens/glass/old_private_layout.h"

namespace {
namespace fs = std::filesystem;

using glass_test::flat_glass;
using ::testing::HasSubstr;

// A glass line in the writer's canonical form, so that a rewrite leaves it as it is.
const char kZetaLine[] =
    "ZETA       1.500000 0.00 0.00 0.0 0 1.000 0.00 0     0 ? ? 1 6 2.25000000e+00 "
    "0.00000000e+00 0.00000000e+00 0.00000000e+00 0.00000000e+00 0.00000000e+00 0 0 0 0";

class PrivateCatalogTest : public glass_test::GlassLensTest {
protected:
    // Runs the edit command with action, formula kind, name, a1..a6, TCE and thermal values.
    int edit(int action, int kind, const char* name, std::vector<double> values = {}) {
        values.resize(13, 0.0);
        std::vector<ArgCell> cells;
        cells.push_back(int_cell(action));
        cells.push_back(int_cell(kind));
        name_text = name;
        cells.push_back(text_cell(name_text.data()));
        cells.back().text_length = static_cast<std::int16_t>(name_text.size() + 1);
        for (double v : values) cells.push_back(double_cell(v));
        std::vector<ArgCell*> pointers;
        for (ArgCell& c : cells) pointers.push_back(&c);
        set_arg_vector(pointers.data(), static_cast<int>(pointers.size()));
        const int rc = cmd_private_glass();
        set_arg_vector(nullptr, 0);
        return rc;
    }

    std::string private_file() const {
        return tavo_test::read_file(tree.data() / "bin/glc/private.glc");
    }

    std::string name_text;
};

TEST_F(PrivateCatalogTest, AddingAGlassWritesTheGoldenFile) {
    install_all();
    install_private({kZetaLine});
    start();
    // n^2 = 2.25 + 0.01/l^2: nd 1.509625 and vd 80.64 at the d, F and C lines.
    ASSERT_EQ(edit(0, 0, "alpha", {2.25, 0.0, 0.01, 0.0, 0.0, 0.0, 71.0}), 0);
    const std::string golden =
        "5.40     2 Private\n"
        "ALPHA      1.509625 80.64 0.00 0.0 71 1.000 0.00 0     0 ? ? 1 6 2.25000000e+00 "
        "0.00000000e+00 1.00000000e-02 0.00000000e+00 0.00000000e+00 0.00000000e+00 0 0 0 0\n" +
        std::string(kZetaLine) + "\n";
    EXPECT_EQ(private_file(), golden);
    ASSERT_EQ(glass_catalog(kPrivateCatalog).count, 2);
    EXPECT_STREQ(glass_catalog(kPrivateCatalog).glasses[0].name, "ALPHA     ");
    EXPECT_FALSE(fs::exists(tree.data() / "bin/glc/private.glc.new"));

    // Adding it again replaces it; thermal values make a six-coefficient thermal part.
    ASSERT_EQ(edit(0, 0, "ALPHA", {2.25, 0.0, 0.01, 0.0, 0.0, 0.0, 71.0, 1.5e-6}), 0);
    EXPECT_EQ(glass_catalog(kPrivateCatalog).count, 2);
    EXPECT_THAT(private_file(),
                HasSubstr(" 1 6 1.50e-06 0.00e+00 0.00e+00 0.00e+00 0.00e+00 0.00e+00 0 0\n"));
}

TEST_F(PrivateCatalogTest, ThreeIndexGlassPassesThroughItsThreeIndices) {
    install_all();
    start();
    ASSERT_EQ(edit(0, 1, "THREE", {1.52, 1.53, 1.51}), 0);
    // Without wavelengths the lens's first three are taken: the d, F and C lines.
    const CatalogGlass& g = glass_catalog(kPrivateCatalog).glasses[1];
    ASSERT_STREQ(g.name, "THREE     ");
    EXPECT_NEAR(g.nd, 1.52, 1e-6);
    EXPECT_NEAR(g.vd, 0.52 / 0.02, 1e-3);
    EXPECT_EQ(edit(0, 1, "SAME", {1.52, 1.53, 1.51, 0.5, 0.5, 0.6}), kErrorTextReady);
}

TEST_F(PrivateCatalogTest, DeletingAGlassASurfaceUsesIsRefused) {
    install_all();
    install_private({kZetaLine});
    start();
    const std::string before = private_file();
    set_glass(2, kMediumGlass, "ZETA");
    EXPECT_EQ(edit(1, 0, "zeta"), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "Glass ZETA is used by the lens and is not deleted");
    EXPECT_EQ(private_file(), before);
    EXPECT_EQ(glass_catalog(kPrivateCatalog).count, 1);

    set_glass(2, kMediumAir, "AIR");
    ASSERT_EQ(edit(1, 0, "zeta"), 0);
    EXPECT_EQ(private_file(), "5.40     0 Private\n");
    EXPECT_EQ(edit(1, 0, "zeta"), kErrorTextReady);  // no longer there
    EXPECT_STREQ(error_text_buffer(), "Glass ZETA is in no glass catalogue");
}

TEST_F(PrivateCatalogTest, TheFourHundredAndFirstGlassIsRefused) {
    std::vector<std::string> lines;
    char name[16];
    for (int i = 0; i < kCatalogRoom; ++i) {
        std::snprintf(name, sizeof name, "P%03d", i);
        lines.push_back(flat_glass(name, 2.25));
    }
    install_all();
    install_private(lines);
    start();
    const std::string before = private_file();
    EXPECT_EQ(edit(0, 0, "P400", {2.25}), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "The private catalogue holds 400 glasses: P400 is not added");
    EXPECT_EQ(private_file(), before);
    // Replacing one of them still works.
    ASSERT_EQ(edit(0, 0, "P123", {2.56}), 0);
    EXPECT_EQ(glass_catalog(kPrivateCatalog).count, kCatalogRoom);
    EXPECT_NEAR(glass_catalog(kPrivateCatalog).glasses[123].nd, 1.6, 1e-12);
}

TEST_F(PrivateCatalogTest, AFailedWriteKeepsTheOldCatalogue) {
    install_all();
    install_private({kZetaLine});
    start();
    const std::string before = private_file();
    // A file-size limit of 0 makes the write fail as a full disc would.
    rlimit kept{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &kept), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, kept.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
    const int result = edit(0, 0, "NEWONE", {2.25});
    ::setrlimit(RLIMIT_FSIZE, &kept);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, kErrorTextReady);
    EXPECT_THAT(error_text_buffer(), HasSubstr("cannot be written"));
    EXPECT_EQ(private_file(), before);
    ASSERT_EQ(glass_catalog(kPrivateCatalog).count, 1);
    EXPECT_STREQ(glass_catalog(kPrivateCatalog).glasses[0].name, "ZETA      ");
}

TEST_F(PrivateCatalogTest, EmptyNameIsRefused) {
    install_all();
    start();
    EXPECT_EQ(edit(0, 0, "", {2.25}), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "A glass needs a name");
}

TEST_F(PrivateCatalogTest, OldLayoutIsConvertedAndTheOldFileKept) {
    install_all();
    const std::string old = glass_test::old_private_two_glasses();
    tree.write_file("data/bin/glc/private.glc", old);
    start();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(tavo_test::read_file(tree.data() / "bin/glc/private.old"), old);
    const GlassCatalog& cat = glass_catalog(kPrivateCatalog);
    ASSERT_EQ(cat.count, 2);
    EXPECT_STREQ(cat.glasses[0].name, "ABC       ");  // sorted by name
    EXPECT_STREQ(cat.glasses[1].name, "ZED       ");
    // ABC: power series n^2 = 2.25 + 0.01/l^2 + 1e-4/l^4.
    EXPECT_NEAR(cat.glasses[0].nd, 1.5099025, 1e-6);
    EXPECT_NEAR(cat.glasses[0].vd, 75.74, 5e-3);
    // ZED: Conrady n = 1.5 + 0.01/l + 0.001/l^3.5.
    auto conrady = [](double l) { return 1.5 + 0.01 / l + 0.001 / std::pow(l, 3.5); };
    EXPECT_NEAR(cat.glasses[1].nd, conrady(0.58756), 5e-7);
    GlassData d{};
    ASSERT_EQ(read_glass_data(cat.glasses[1].file_position, kPrivateCatalog, d), 0);
    EXPECT_EQ(d.dispersion_kind, kDispersionConrady);
    EXPECT_DOUBLE_EQ(d.dispersion[1], 0.01);
}

TEST_F(PrivateCatalogTest, OldLayoutWithABadBlockNumberIsKeptAndNeverOverwritten) {
    install_all();
    // ZED's data block becomes block 7, far past the two blocks the file holds.
    std::string old = glass_test::old_private_two_glasses();
    glass_test::put_le16(old, glass_test::kOldEntriesAt + glass_test::kOldBlockNumberAt, 7);
    tree.write_file("data/bin/glc/private.glc", old);
    start();
    const std::string path = (tree.data() / "bin/glc/private.glc").string();
    EXPECT_THAT(boxes(), ::testing::ElementsAre("The glass catalogue " + path + " cannot be read"));
    EXPECT_EQ(private_file(), old);
    EXPECT_FALSE(fs::exists(tree.data() / "bin/glc/private.old"));
    EXPECT_EQ(glass_catalog(kPrivateCatalog).count, 0);
    EXPECT_EQ(edit(0, 0, "NEWONE", {2.25}), kErrorTextReady);
    EXPECT_EQ(private_file(), old);
}

}  // namespace
