// Start-up load through the message layer, lookup priorities, the obsolete catalogue's notice
// and the materials of surfaces: catalogue glasses, air, mirrors and glass pickups.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "lens/lens_reset.h"
#include "lens/surface_materials.h"
#include "runtime/output_options.h"
#include "tests/lens/glass/glass_lens_fixture.h"

namespace {
namespace fs = std::filesystem;

using glass_test::flat_glass;
using glass_test::printed;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class LookupTest : public glass_test::GlassLensTest {};

TEST_F(LookupTest, StartUpShowsOneMessageForAMissingCatalogueAndGoesOn) {
    install_all();
    fs::remove(tree.root() / "bin/glc/ohara.glc");
    start();
    const std::string path = (tree.root() / "bin/glc/ohara.glc").string();
    EXPECT_THAT(boxes(), ElementsAre("The glass catalogue " + path + " cannot be read"));
    EXPECT_EQ(ui.message_boxes_shown()[0].title, "TAVO LT");
    EXPECT_EQ(glass_catalog(2).count, 0);
    for (int c : {0, 1, 3, 4, 5, 6, 7}) EXPECT_EQ(glass_catalog(c).count, 1) << c;
}

TEST_F(LookupTest, PrivateGlassWinsOverTheSameNameInSchott) {
    install_all();
    install("schott.glc", {flat_glass("N-BK7", 2.25)});
    install_private({flat_glass("N-BK7", 2.56)});
    start();
    set_glass(1, kMediumGlass, "N-BK7");
    ASSERT_EQ(update_surface_materials(), 0);
    ASSERT_NE(surface(1).index, nullptr);
    for (int w = 0; w < 3; ++w) EXPECT_NEAR(surface(1).index[w], 1.6, 1e-12) << w;
    EXPECT_TRUE(boxes().empty());
}

TEST_F(LookupTest, ObsoleteGlassIsUsedWithItsNoticeOncePerLens) {
    install_all();
    install("obsolete.glc", {flat_glass("OLDONE", 2.89)});
    start();
    set_output_option(kOptionOutputOn, 0);
    set_glass(1, kMediumGlass, "OLDONE");
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_NEAR(surface(1).index[0], 1.7, 1e-12);
    EXPECT_THAT(printed, ElementsAre("Glass OLDONE is obsolete"));
    EXPECT_EQ(ui.beep_count(), 1);
    EXPECT_EQ(output_option(kOptionOutputOn), 0);  // switched back off
    // The cache keeps it: no second notice while the lens lasts.
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_EQ(printed.size(), 1u);
    ASSERT_EQ(lens_new(), 0);
    set_glass(1, kMediumGlass, "OLDONE");
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_EQ(printed.size(), 2u);
}

TEST_F(LookupTest, AirIsEntryZeroAndAMissingGlassStopsTheWalk) {
    install_all();
    start();
    set_glass(1, kMediumAir, "AIR");
    set_glass(2, kMediumGlass, "NOSUCH");
    const double* before = surface(2).index;
    EXPECT_EQ(update_surface_materials(), kMsgMaterialsFailed);
    EXPECT_EQ(surface(1).index, glass_cache().entries[0].index);
    EXPECT_EQ(surface(2).index, before);
    ASSERT_GE(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "Glass NOSUCH is in no glass catalogue");
    EXPECT_EQ(glass_cache().count, 1);
}

TEST_F(LookupTest, MirrorTakesTheMediumInFrontAndPickupsTheirSource) {
    install_all();
    install("schott.glc", {flat_glass("F2", 2.56, 82.0), flat_glass("N-BK7", 2.25, 71.0)});
    start();
    LensData& l = lens_data();
    l.image_surface = 5;
    set_glass(1, kMediumGlass, "N-BK7");
    set_glass(2, kMediumMirror, "REFLECT");  // back-surface mirror: still in N-BK7
    set_glass(3, kMediumAir, "AIR");
    set_glass(4, kMediumPickup, "");
    surface(4).medium_source = 1;
    surface(1).medium_tce = 71.0;
    for (int n = 0; n <= 5; ++n) surface(n).index = nullptr;
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_EQ(surface(2).index, surface(1).index);
    EXPECT_NEAR(surface(2).index[0], 1.5, 1e-12);
    EXPECT_EQ(surface(4).index, surface(1).index);
    EXPECT_STREQ(surface(4).medium_name, "N-BK7     ");
    EXPECT_DOUBLE_EQ(surface(4).medium_tce, 71.0);

    // A pickup from the mirror takes the medium in front of the pickup surface.
    set_glass(3, kMediumGlass, "F2");
    surface(4).medium_source = 2;
    ASSERT_EQ(update_surface_materials(), 0);
    EXPECT_EQ(surface(4).index, surface(3).index);
    EXPECT_NEAR(surface(4).index[1], 1.6, 1e-12);
}

TEST_F(LookupTest, PickupCycleFailsCleanly) {
    install_all();
    start();
    lens_data().image_surface = 4;
    set_glass(1, kMediumPickup, "");
    surface(1).medium_source = 2;
    set_glass(2, kMediumPickup, "");
    surface(2).medium_source = 1;
    EXPECT_EQ(update_surface_materials(), kErrorTextReady);
    EXPECT_THAT(boxes(), ElementsAre("The glass pickup of surface 1 has no valid source"));

    // A source outside the lens fails the same way.
    surface(1).medium_source = 9;
    EXPECT_EQ(update_surface_material(1, 0), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "The glass pickup of surface 1 has no valid source");
}

TEST_F(LookupTest, CachedGlassIsFoundOnlyByItsExactName) {
    install_all();
    install("schott.glc", {flat_glass("N-BK7", 2.25)});
    start();
    char name[kGlassNameLength + 1];
    pad_glass_name("N-BK7", name);
    const int index = glass_cache_entry(name);
    ASSERT_EQ(index, 1);
    EXPECT_EQ(find_cached_glass(name), 1);
    EXPECT_EQ(find_cached_glass(name, CachedGlass::kModel), -1);
    pad_glass_name("N-BK", name);
    EXPECT_EQ(find_cached_glass(name), -1);
    pad_glass_name("AIR", name);
    EXPECT_EQ(glass_cache_entry(name), 0);
}

TEST_F(LookupTest, CacheGrowsPastItsFirstTwentyEntries) {
    std::vector<std::string> lines;
    char name[16];
    for (int i = 0; i < 25; ++i) {
        std::snprintf(name, sizeof name, "G%02d", i);
        lines.push_back(flat_glass(name, 2.0 + 0.01 * i));
    }
    install_all();
    install("schott.glc", lines);
    start();
    for (int i = 0; i < 25; ++i) {
        char padded[kGlassNameLength + 1];
        std::snprintf(name, sizeof name, "G%02d", i);
        pad_glass_name(name, padded);
        ASSERT_EQ(glass_cache_entry(padded), i + 1);
    }
    EXPECT_GE(glass_cache().capacity, 26);
    EXPECT_NEAR(glass_cache().entries[25].index[2], std::sqrt(2.24), 1e-12);
}

}  // namespace
