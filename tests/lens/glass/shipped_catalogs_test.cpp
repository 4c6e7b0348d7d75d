// The catalogues the build installs: every glass loads, is found under its name, and its
// dispersion formula gives the catalogue nd at the d line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "lens/glass_catalog.h"
#include "lens/refractive_index.h"
#include "tests/support/temp_tree.h"

namespace {

constexpr double kLineDExact = 0.5875618;

class ShippedCatalogs : public ::testing::Test {
protected:
    void SetUp() override { reports = read_glass_catalogs(TAVO_INSTALL_DIR, tree.data().string()); }
    void TearDown() override { close_glass_catalogs(); }

    tavo_test::TempTree tree;  // an empty user data folder: no private catalogue
    std::vector<GlassLoadReport> reports;
};

TEST_F(ShippedCatalogs, AllInstalledCataloguesLoad) {
    // Only the private catalogue, which the temporary data folder lacks, is reported.
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].path, private_catalog_path());
    for (int c : {0, 1, 2, 3, 5}) EXPECT_GT(glass_catalog(c).count, 0) << c;
    for (int c = 0; c < kPrivateCatalog; ++c) {
        EXPECT_NE(glass_catalog(c).file, nullptr) << c;
        EXPECT_FALSE(glass_catalog(c).refused) << c;
    }
}

TEST_F(ShippedCatalogs, EveryGlassGivesItsCatalogueNdAtTheDLine) {
    int checked = 0;
    for (int c = 0; c < kPrivateCatalog; ++c) {
        const GlassCatalog& cat = glass_catalog(c);
        for (int i = 0; i < cat.count; ++i) {
            const CatalogGlass& record = cat.glasses[i];
            SCOPED_TRACE(testing::Message() << "catalogue " << c << " glass " << record.name);
            GlassData g{};
            ASSERT_EQ(read_glass_data(record.file_position, c, g), 0);
            EXPECT_STREQ(g.name, record.name);
            ASSERT_TRUE(g.dispersion_kind == kDispersionPowerSeries ||
                        g.dispersion_kind == kDispersionSellmeier);
            double n = 0.0;
            double w = kLineDExact;
            int result = glass_indices_at_wavelengths(g, {&w, 1}, &n);
            if (record.nd == 0.0) {
                // Infrared glasses whose data do not reach the d line list no nd.
                EXPECT_EQ(result == 0 || result == kMsgNoRealIndex, true);
                EXPECT_TRUE(std::isfinite(n));
                continue;
            }
            EXPECT_EQ(result, 0);
            EXPECT_NEAR(n, record.nd, 2e-5);
            ++checked;
        }
    }
    EXPECT_GT(checked, 700);
}

TEST_F(ShippedCatalogs, NamesAreSortedAndEachGlassIsFoundWhereItStands) {
    for (int c = 0; c < kPrivateCatalog; ++c) {
        const GlassCatalog& cat = glass_catalog(c);
        for (int i = 0; i < cat.count; ++i) {
            SCOPED_TRACE(testing::Message()
                         << "catalogue " << c << " glass " << cat.glasses[i].name);
            if (i > 0) {
                EXPECT_LT(
                    std::memcmp(cat.glasses[i - 1].name, cat.glasses[i].name, kGlassNameLength), 0);
            }
            int found = -1;
            std::int32_t position = find_glass(cat.glasses[i].name, found);
            // The same name in a catalogue searched earlier wins; otherwise it is this glass.
            ASSERT_GE(found, c);
            if (found == c) {
                EXPECT_EQ(position, cat.glasses[i].file_position);
            }
        }
    }
}

TEST_F(ShippedCatalogs, ObsoleteGlassesAreOnlyInTheObsoleteCatalogue) {
    for (int c = 1; c < kPrivateCatalog; ++c) {
        const GlassCatalog& cat = glass_catalog(c);
        for (int i = 0; i < cat.count; ++i) EXPECT_NE(cat.glasses[i].availability, 'O');
    }
    const GlassCatalog& obsolete = glass_catalog(kObsoleteCatalog);
    for (int i = 0; i < obsolete.count; ++i) EXPECT_EQ(obsolete.glasses[i].availability, 'O');
}

}  // namespace
