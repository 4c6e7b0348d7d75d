// Loading glass catalogues from a temporary installation: missing and malformed files,
// on-demand reading of formula data, lookup order and the glass cache.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "lens/glass_cache.h"
#include "lens/glass_catalog.h"
#include "lens/refractive_index.h"
#include "tests/lens/glass/old_private_layout.h"
#include "tests/support/temp_tree.h"

namespace {
namespace fs = std::filesystem;

const char* const kInstalled[] = {"obsolete.glc", "misc.glc",   "ohara.glc", "hoya.glc",
                                  "corning.glc",  "schott.glc", "shared.glc"};

std::string fixture(const std::string& name) {
    return tavo_test::read_file(fs::path(TAVO_FIXTURES_DIR) / "glass" / name);
}

std::string one_glass_catalog(const char* name) {
    return std::string("5.40     1 Test\n") + name + std::string(10 - std::strlen(name), ' ') +
           " 1.5 50 0 0 0 0 0 0 0 ? ? 0 0 0 0 0 0\n";
}

class GlassLoadTest : public ::testing::Test {
protected:
    void TearDown() override { close_glass_catalogs(); }

    // Every installed catalogue present with one glass named after it, and a private one.
    void install_all() {
        for (const char* file : kInstalled) {
            std::string name(file, std::strlen(file) - 4);
            for (char& c : name) c = static_cast<char>(std::toupper(c));
            tree.write_file(fs::path("root/bin/glc") / file, one_glass_catalog(name.c_str()));
        }
        tree.write_file("data/bin/glc/private.glc", one_glass_catalog("PRIVATE"));
    }

    std::vector<GlassLoadReport> load() {
        return read_glass_catalogs(tree.root().string(), tree.data().string());
    }

    tavo_test::TempTree tree;
};

TEST_F(GlassLoadTest, AllCataloguesLoadInTheirIndexOrder) {
    install_all();
    EXPECT_TRUE(load().empty());
    const char* names[] = {"OBSOLETE  ", "MISC      ", "OHARA     ", "HOYA      ",
                           "CORNING   ", "SCHOTT    ", "SHARED    ", "PRIVATE   "};
    for (int c = 0; c < kGlassCatalogCount; ++c) {
        SCOPED_TRACE(c);
        ASSERT_EQ(glass_catalog(c).count, 1);
        EXPECT_STREQ(glass_catalog(c).glasses[0].name, names[c]);
        EXPECT_NE(glass_catalog(c).file, nullptr);
    }
    EXPECT_EQ(private_catalog_path(), (tree.data() / "bin/glc/private.glc").string());
}

TEST_F(GlassLoadTest, MissingCatalogueGivesOneReportAndLoadingGoesOn) {
    install_all();
    fs::remove(tree.root() / "bin/glc/ohara.glc");
    auto reports = load();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, kMsgCatalogUnreadable);
    EXPECT_EQ(reports[0].path, (tree.root() / "bin/glc/ohara.glc").string());
    EXPECT_EQ(glass_catalog(2).count, 0);
    EXPECT_EQ(glass_catalog(2).file, nullptr);
    EXPECT_FALSE(glass_catalog(2).refused);
    for (int c : {0, 1, 3, 4, 5, 6, 7}) EXPECT_EQ(glass_catalog(c).count, 1) << c;
}

TEST_F(GlassLoadTest, MalformedCataloguesAreRefusedWithTheirPath) {
    const char* cases[] = {"bad_number.glc", "not_finite.glc",  "short_file.glc",
                           "long_line.glc",  "long_bubble.glc", "missing_formula.glc"};
    for (const char* name : cases) {
        SCOPED_TRACE(name);
        install_all();
        tree.write_file("root/bin/glc/schott.glc", fixture(name));
        auto reports = load();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].message, kMsgCatalogUnreadable);
        EXPECT_EQ(reports[0].path, (tree.root() / "bin/glc/schott.glc").string());
        EXPECT_EQ(glass_catalog(5).count, 0);
        EXPECT_EQ(glass_catalog(5).file, nullptr);
        EXPECT_TRUE(glass_catalog(5).refused);
        EXPECT_EQ(glass_catalog(6).count, 1);  // the next catalogue still loads
    }
}

TEST_F(GlassLoadTest, HeaderCountAboveTheRoomIsCappedAndReported) {
    install_all();
    std::string text = "5.40   401 Big\n";
    char line[64];
    for (int i = 0; i < 401; ++i) {
        std::snprintf(line, sizeof line, "G%04d      1.5 50 0 0 0 0 0 0 0 ? ? 0 0 0 0 0 0\n", i);
        text += line;
    }
    tree.write_file("root/bin/glc/hoya.glc", text);
    auto reports = load();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].path, (tree.root() / "bin/glc/hoya.glc").string());
    EXPECT_EQ(glass_catalog(3).count, kCatalogRoom);
    EXPECT_STREQ(glass_catalog(3).glasses[kCatalogRoom - 1].name, "G0399     ");
}

TEST_F(GlassLoadTest, OldPrivateLayoutWithoutConversionLeavesThePrivateCatalogueEmpty) {
    install_all();
    // The old layout with no glasses.
    tree.write_file("data/bin/glc/private.glc", glass_test::old_private_catalog({}, 0));
    auto reports = read_glass_catalogs(tree.root().string(), tree.data().string(), nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].path, private_catalog_path());
    EXPECT_EQ(glass_catalog(kPrivateCatalog).count, 0);

    // A conversion that writes a text catalogue lets the private glasses load.
    close_glass_catalogs();
    static std::string converted;
    converted = one_glass_catalog("CONVERTED");
    auto convert = [](const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "w");
        if (f == nullptr) return 3;
        std::fputs(converted.c_str(), f);
        std::fclose(f);
        return 0;
    };
    EXPECT_TRUE(read_glass_catalogs(tree.root().string(), tree.data().string(), convert).empty());
    ASSERT_EQ(glass_catalog(kPrivateCatalog).count, 1);
    EXPECT_STREQ(glass_catalog(kPrivateCatalog).glasses[0].name, "CONVERTED ");
}

TEST_F(GlassLoadTest, CatalogueValuesAndFormulaDataAreRead) {
    install_all();
    tree.write_file("root/bin/glc/schott.glc", fixture("good.glc"));
    ASSERT_TRUE(load().empty());
    const GlassCatalog& cat = glass_catalog(5);
    ASSERT_EQ(cat.count, 4);
    const CatalogGlass& alpha = cat.glasses[0];
    EXPECT_STREQ(alpha.name, "ALPHA     ");
    EXPECT_DOUBLE_EQ(alpha.nd, 1.5168);
    EXPECT_DOUBLE_EQ(alpha.vd, 64.17);
    EXPECT_DOUBLE_EQ(alpha.density, 2.51);
    EXPECT_DOUBLE_EQ(alpha.dn_dt, 1.5);
    EXPECT_DOUBLE_EQ(alpha.tce, 71.0);
    EXPECT_DOUBLE_EQ(alpha.transmission, 0.998);
    EXPECT_DOUBLE_EQ(alpha.cost, 1.0);
    EXPECT_DOUBLE_EQ(alpha.hardness, 450.0);
    EXPECT_EQ(alpha.chemical_class, 1);
    EXPECT_STREQ(alpha.bubble_class, "A1");
    EXPECT_EQ(alpha.availability, 'P');

    GlassData g{};
    ASSERT_EQ(read_glass_data(alpha.file_position, 5, g), 0);
    EXPECT_STREQ(g.name, "ALPHA     ");
    EXPECT_EQ(g.dispersion_kind, kDispersionSellmeier);
    EXPECT_DOUBLE_EQ(g.dispersion[0], 1.03961212);
    EXPECT_DOUBLE_EQ(g.dispersion[5], 103.560653);
    EXPECT_EQ(g.thermal_kind, kThermalAbsolute);
    EXPECT_DOUBLE_EQ(g.thermal[5], 0.17);
    EXPECT_DOUBLE_EQ(g.tce, 71.0);
    EXPECT_EQ(g.table_flag, 0);

    // A table count of 55 gives 40 pairs.
    ASSERT_EQ(read_glass_data(cat.glasses[1].file_position, 5, g), 0);
    EXPECT_EQ(g.dispersion_kind, kDispersionPowerSeries);
    EXPECT_EQ(g.thermal_kind, kThermalDndT);
    EXPECT_DOUBLE_EQ(g.thermal[0], 2.5);
    EXPECT_EQ(g.table_flag, 1);
    EXPECT_EQ(g.table_count, kMaxTablePairs);
    EXPECT_DOUBLE_EQ(g.table_wavelengths[39], 0.30 + 0.02 * 39);
    EXPECT_DOUBLE_EQ(g.table_values[39], 0.50 + 0.01 * 39);

    // Kind 4 reads no coefficients; the thermal data follow at once.
    g.dispersion[0] = -7.0;
    ASSERT_EQ(read_glass_data(cat.glasses[3].file_position, 5, g), 0);
    EXPECT_EQ(g.dispersion_kind, 4);
    EXPECT_DOUBLE_EQ(g.dispersion[0], -7.0);
    EXPECT_EQ(g.thermal_kind, kThermalDndT);
    EXPECT_DOUBLE_EQ(g.thermal[0], 3.5);
}

TEST_F(GlassLoadTest, ReadingFromAnUnloadedCatalogueGivesAir) {
    install_all();
    fs::remove(tree.root() / "bin/glc/misc.glc");
    load();
    GlassData g{};
    g.dispersion_kind = kDispersionSellmeier;
    EXPECT_EQ(read_glass_data(0, 1, g), 0);
    EXPECT_STREQ(g.name, "AIR       ");
    EXPECT_EQ(g.dispersion_kind, kDispersionNone);
    EXPECT_EQ(read_glass_data(0, 8, g), kMsgCatalogUnreadable);
}

TEST_F(GlassLoadTest, LookupSearchesFromPrivateDownToObsolete) {
    install_all();
    tree.write_file("root/bin/glc/schott.glc", one_glass_catalog("N-BK7"));
    tree.write_file("root/bin/glc/obsolete.glc", one_glass_catalog("OLDONE"));
    tree.write_file("data/bin/glc/private.glc", one_glass_catalog("N-BK7"));
    ASSERT_TRUE(load().empty());
    char name[kGlassNameLength + 1];
    int catalog = -1;
    pad_glass_name("N-BK7", name);
    EXPECT_EQ(find_glass(name, catalog), glass_catalog(7).glasses[0].file_position);
    EXPECT_EQ(catalog, kPrivateCatalog);
    pad_glass_name("OLDONE", name);
    EXPECT_GE(find_glass(name, catalog), 0);
    EXPECT_EQ(catalog, kObsoleteCatalog);
    pad_glass_name("NOSUCH", name);
    EXPECT_EQ(find_glass(name, catalog), -1);
    EXPECT_EQ(catalog, 0);
}

TEST_F(GlassLoadTest, UnsortedCatalogueLoadsButBinarySearchMissesSome) {
    install_all();
    tree.write_file("root/bin/glc/shared.glc", fixture("unsorted.glc"));
    ASSERT_TRUE(load().empty());
    ASSERT_EQ(glass_catalog(6).count, 5);
    int missed = 0;
    for (const char* n : {"A1", "A2", "A3", "A4", "A5"}) {
        char name[kGlassNameLength + 1];
        pad_glass_name(n, name);
        int catalog;
        if (find_glass(name, catalog) < 0) ++missed;
    }
    EXPECT_GT(missed, 0);
}

TEST(GlassName, PaddedAndCutToTenCharacters) {
    char name[kGlassNameLength + 1];
    std::memset(name, 'x', sizeof name);
    pad_glass_name("SF6", name);
    EXPECT_STREQ(name, "SF6       ");
    pad_glass_name("ABCDEFGHIJKLMN", name);
    EXPECT_STREQ(name, "ABCDEFGHIJ");
}

TEST(GlassCacheTest, ResetLeavesAirAloneAndGrowingAddsEntries) {
    ASSERT_EQ(reset_glass_cache(10), 0);
    GlassCache& cache = glass_cache();
    EXPECT_EQ(cache.count, 1);
    EXPECT_EQ(cache.capacity, kGlassCacheStep);
    EXPECT_STREQ(cache.entries[0].name, "AIR       ");
    for (int w = 0; w < 10; ++w) EXPECT_EQ(cache.entries[0].index[w], 1.0);
    ASSERT_EQ(grow_glass_cache(), 1);
    EXPECT_EQ(cache.capacity, 2 * kGlassCacheStep);
    EXPECT_STREQ(cache.entries[2 * kGlassCacheStep - 1].name, "          ");
    ASSERT_NE(cache.entries[2 * kGlassCacheStep - 1].index, nullptr);

    // A glass added and the cache reset: "AIR" alone again, arrays kept.
    pad_glass_name("N-BK7", cache.entries[1].name);
    cache.entries[0].index[3] = 1.5;
    cache.count = 2;
    double* kept = cache.entries[1].index;
    ASSERT_EQ(reset_glass_cache(10), 0);
    EXPECT_EQ(cache.count, 1);
    EXPECT_STREQ(cache.entries[1].name, "          ");
    EXPECT_EQ(cache.entries[1].index, kept);
    EXPECT_EQ(cache.entries[0].index[3], 1.0);
    free_glass_cache();
    EXPECT_EQ(glass_cache().entries, nullptr);
}

}  // namespace

namespace {

class CatalogueValuesTest : public GlassLoadTest {};

TEST_F(CatalogueValuesTest, NdAndVdRecomputedAtTheLensWavelengths) {
    install_all();
    tree.write_file("root/bin/glc/schott.glc", fixture("good.glc"));
    ASSERT_TRUE(load().empty());
    const double lens[] = {0.5875618, 0.4861327, 0.6562725};
    ASSERT_EQ(recompute_catalog_dispersion({lens, 3}), 0);
    // N-BK7 at d, F and C, computed by hand from its Sellmeier form.
    const double nd = 1.516800034500589, nf = 1.522376289731229, nc = 1.514322347261375;
    double n, v;
    ASSERT_EQ(glass_nd_vd(0, 5, &n, &v), 0);
    EXPECT_NEAR(n, nd, 1e-10);
    EXPECT_NEAR(v, (nd - 1.0) / (nf - nc), 1e-6);
    // Kind 4 has no formula to compute with.
    ASSERT_EQ(glass_nd_vd(3, 5, &n, &v), 0);
    EXPECT_EQ(n, 0.0);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(catalog_wavelengths()[1], 0.4861327);
    EXPECT_EQ(glass_nd_vd(4, 5, &n, &v), kMsgGlassNotDescribed);
    EXPECT_EQ(glass_nd_vd(0, 8, nullptr, nullptr), kMsgGlassNotDescribed);
    const double dfc[] = {kLineD, kLineF, kLineC};
    recompute_catalog_dispersion({dfc, 3});
}

TEST_F(CatalogueValuesTest, DescriptionLine) {
    install_all();
    tree.write_file("root/bin/glc/schott.glc", fixture("good.glc"));
    ASSERT_TRUE(load().empty());
    std::string line;
    ASSERT_EQ(glass_description(0, 5, 3, line), 0);
    EXPECT_EQ(line,
              "ALPHA; n=1.516800; V=64.17; dens=2.51; hard=450; chem=1;\n dndT=1.5; TCE=71;"
              " bub=A1; trans=0.998; cost=1.00; avail=P");
    ASSERT_EQ(glass_description(2, 5, 2, line), 0);
    EXPECT_EQ(line,
              "GAMMA; n=1.509064; dens= - ; hard= - ; chem= - ;\n dndT= - ; TCE= - ; bub=?;"
              " trans= - ; cost= * ; avail=?");
    EXPECT_EQ(glass_description(4, 5, 3, line), kMsgGlassNotDescribed);
}

}  // namespace
