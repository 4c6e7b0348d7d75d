// Every kind of special data typed in one lens block, as a lens file would hold it: each record
// field against the value typed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lens/glass_cache.h"
#include "lens/glass_lookup.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

TEST_F(Entry, EverySpecialDataKindInOneBlock) {
    run_all({"LEN NEW \"Everything\"", "NXT",
             // 1: an aspheric catalogue glass surface.
             "RD 60", "TH 6", "GLA N-BK7", "AP 12", "ASP ASR 10", "AS2 1.5e-6", "AS4 -2e-12", "NXT",
             // 2: the plain polynomial, decentred and tilted, with a reference frame.
             "RD -60", "TH 2", "AP 12", "AD 1e-7", "AG -3e-15", "DT -1", "DCY 0.25", "TLA 1.5",
             "GC 1", "NXT",
             // 3: two special apertures, a toric curvature and a model glass of indices.
             "RD 40", "TH 5", "GLA \"MINE\" 1.70 1.71 1.69", "APN 2", "AY1 A 3", "ATP A REC",
             "AAC B OBS", "AX1 B -2", "CVX 0.01", "NXT",
             // 4: a hologram and a diffractive profile; the coordinates return to surface 2.
             "RD -40", "TH 3", "HX1 10", "HWV 0.6328", "HOR 1", "DOE DFR 6", "DF1 -1e-3",
             "DWV 0.55", "RCO 2", "NXT",
             // 5: a gradient-index medium at three wavelengths, and a group-fixed glass.
             "TH 8", "GLF N-SF6", "GDT ARG", "NZ1 WV1 0.01", "NZ1 WV2 0.011", "NZ1 WV3 0.009",
             "NR2 WV1 -1e-4", "NXT",
             // 6: a model glass by index and Abbe number.
             "RD 100", "TH 4", "GLA MOD SRF6GL 1.5168 64.17", "NXT", "TH 30", "NXT", "END"});

    const SurfaceRecord& s1 = surface(1);
    EXPECT_EQ(std::string(s1.medium_name), "N-BK7     ");
    ASSERT_NE(s1.asphere, nullptr);
    EXPECT_EQ(s1.asphere->kind, kAsphereSeries);
    EXPECT_EQ(s1.asphere->entered[2], 1.5e-6);
    EXPECT_EQ(s1.asphere->entered[4], -2e-12);

    const SurfaceRecord& s2 = surface(2);
    ASSERT_NE(s2.asphere, nullptr);
    EXPECT_EQ(s2.asphere->kind, kAsphereEven);
    EXPECT_EQ(s2.asphere->entered[2], 1e-7);
    EXPECT_EQ(s2.asphere->entered[5], -3e-15);
    ASSERT_NE(s2.decentre, nullptr);
    EXPECT_EQ(s2.decentre->tilt_mode, -1);
    EXPECT_EQ(s2.decentre->dcy, 0.25);
    EXPECT_EQ(s2.decentre->tla, 1.5);
    ASSERT_NE(s2.decentre_reference, nullptr);
    EXPECT_EQ(s2.decentre_reference->pickup_source, 1);

    const SurfaceRecord& s3 = surface(3);
    ASSERT_EQ(s3.special_aperture_count, 2);
    EXPECT_EQ(s3.special_apertures[0].y[0], 3.0);
    EXPECT_EQ(s3.special_apertures[0].shape, kApertureRectangle);
    EXPECT_EQ(s3.special_apertures[1].action, 2);
    EXPECT_EQ(s3.special_apertures[1].x[0], -2.0);
    EXPECT_EQ(s3.x_curvature, 0.01);
    EXPECT_EQ(s3.toric, 1);
    const int mine = find_cached_glass("MINE      ", CachedGlass::kModel);
    ASSERT_GE(mine, 0);
    const double given[3] = {1.70, 1.71, 1.69};
    for (int w = 0; w < 3; ++w) {
        // Each index is paired with the lens wavelength it was typed for.
        EXPECT_EQ(glass_cache().entries[mine].model_wavelengths[w],
                  lens_data().wavelengths[w].wavelength);
        EXPECT_EQ(glass_cache().entries[mine].model_indices[w], given[w]);
        EXPECT_NEAR(s3.index[w], given[w], 1e-12);
    }

    const SurfaceRecord& s4 = surface(4);
    ASSERT_NE(s4.hologram, nullptr);
    EXPECT_EQ(s4.hologram->first_point[0], 10.0);
    EXPECT_EQ(s4.hologram->wavelength, 0.6328);
    EXPECT_EQ(s4.hologram->order, 1);
    ASSERT_NE(s4.diffractive, nullptr);
    EXPECT_EQ(s4.diffractive->entered[1], -1e-3);
    EXPECT_EQ(s4.diffractive->design_wavelength, 0.55);
    ASSERT_NE(s4.return_coordinates, nullptr);
    EXPECT_EQ(s4.return_coordinates->pickup_source, 2);

    const SurfaceRecord& s5 = surface(5);
    EXPECT_EQ(s5.medium_kind, kMediumGlassFixed);
    ASSERT_NE(s5.grin, nullptr);
    EXPECT_EQ(s5.grin->coefficients[4][0], 0.01);
    EXPECT_EQ(s5.grin->coefficients[4][1], 0.011);
    EXPECT_EQ(s5.grin->coefficients[4][2], 0.009);
    EXPECT_EQ(s5.grin->coefficients[1][0], -1e-4);

    const SurfaceRecord& s6 = surface(6);
    EXPECT_EQ(s6.medium_kind, kMediumModelIndexAbbe);
    EXPECT_NEAR(s6.index[0], 1.5168, 1e-9);
    EXPECT_NEAR((s6.index[0] - 1) / (s6.index[1] - s6.index[2]), 64.17, 1e-6);
}

}  // namespace
