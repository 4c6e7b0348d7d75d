// Surface setters, special-data blocks and the folding of non-sequential group spacing.
#include <cstring>

#include "lens/surface_groups.h"
#include "lens/surface_setters.h"
#include "runtime/messages.h"
#include "tests/lens/lens_fixture.h"

namespace {

using SetterTest = LensTest;

TEST_F(SetterTest, CurvatureAndThicknessKindsStoreOnlyTheirValues) {
    make_surfaces(3);
    surface(1).curvature = 0.1;
    set_curvature_data(1, kCurvatureAxialSlope, 0, -0.2, 0.9);  // "PU"
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.1);
    EXPECT_DOUBLE_EQ(surface(1).curvature_solve_value, -0.2);
    set_curvature_data(1, kCurvaturePlain, 0, 7.0, 0.3);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.3);
    EXPECT_DOUBLE_EQ(surface(1).curvature_solve_value, -0.2);  // left as it was

    surface(2).thickness = 4.0;
    set_thickness_data(2, kThicknessEdge, 0, 0, 1.5, 2.5, 9.0);  // "ET"
    EXPECT_DOUBLE_EQ(surface(2).thickness, 4.0);
    EXPECT_DOUBLE_EQ(surface(2).thickness_solve_value, 1.5);
    EXPECT_DOUBLE_EQ(surface(2).thickness_solve_value2, 2.5);
    set_thickness_data(2, kThicknessFixed, 0, 0, 6.0, 8.0, 3.0);  // "THF"
    EXPECT_DOUBLE_EQ(surface(2).thickness, 3.0);
    EXPECT_DOUBLE_EQ(surface(2).thickness_solve_value, 6.0);
    EXPECT_DOUBLE_EQ(surface(2).thickness_solve_value2, 2.5);
}

TEST_F(SetterTest, ConicAndAsphereTermEndACurvaturePickup) {
    make_surfaces(3);
    set_curvature_data(2, kCurvaturePickup, 1, 0.0, 0.0);
    set_conic_constant(2, -1.0);
    EXPECT_EQ(surface(2).curvature_kind, kCurvaturePlain);
    EXPECT_EQ(surface(2).curvature_source, 0);
    EXPECT_DOUBLE_EQ(surface(2).conic, -1.0);

    set_curvature_data(3, kCurvaturePickupNegated, 1, 0.0, 0.0);
    set_polynomial_asphere_term(3, 6, 1e-5);
    EXPECT_EQ(surface(3).curvature_kind, kCurvaturePlain);
}

TEST_F(SetterTest, ApertureRadiusIsStoredAsItsMagnitude) {
    set_aperture_data(1, kApertureFixedValue, 0, -5.0);
    EXPECT_DOUBLE_EQ(surface(1).aperture_radius, 5.0);
    EXPECT_EQ(surface(1).aperture_kind, kApertureFixedValue);
}

TEST_F(SetterTest, AsphereTermReplacesARecordOfAnotherKind) {
    make_surfaces(2);
    ASSERT_EQ(alloc_asphere_record(1, kAsphereZernike, 4), 0);
    ASSERT_EQ(surface(1).asphere->kind, kAsphereZernike);
    set_polynomial_asphere_term(1, 8, 2.5e-7);
    const AsphereRecord& a = *surface(1).asphere;
    EXPECT_EQ(a.kind, kAsphereEven);
    EXPECT_EQ(a.entered_count, 6);
    EXPECT_EQ(a.working_count, 6);
    EXPECT_DOUBLE_EQ(a.entered[4], 2.5e-7);
    EXPECT_DOUBLE_EQ(a.entered[2], 0.0);
    EXPECT_EQ(a.changed, 1);
    set_polynomial_asphere_term(1, 12, 1.0);  // no such term: nothing stored
    for (int i = 0; i < 6; ++i) EXPECT_NE(surface(1).asphere->entered[i], 1.0);
}

TEST_F(SetterTest, AsphereCounts) {
    struct Case {
        int kind, order, count;
    };
    // A biconic-pairs order is 1000 times its radial form plus the form's order.
    const Case cases[] = {
        {kAsphereEven, 0, 6},
        {kAsphereEven, 10, 6},
        {kAsphereSeries, 16, 9},
        {kAsphereOdd, 2, 8},
        {kAsphereOdd, 10, 8},
        {kAsphereCone, 0, 1},
        {kAsphereCone, 2, 9},
        {kAsphereCone, 6, 5},
        {kAsphereZernike, 12, 13},
        {kAsphereZernike, 20, 21},
        {kAsphereRadial, 0, 11},
        {kAsphereRadial, 4, 5},
        {kAsphereBiconicPairs, 0, 6},
        {kAsphereBiconicPairs, 1000 * kAsphereSeries + 12, 7},
        {kAsphereBiconicPairs, 1000 * kAsphereOdd + 2, 8},
        {kAsphereBiconicPairs, 1000 * kAsphereZernike + 30, 21},
        {kAsphereBiconicPairs, 1000 * kAsphereToricY + 4, 0},  // no biconic-pairs form
        {kAsphereBiconicPairs, 1000 * kAsphereSeries, 0},
    };
    make_surfaces(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " order " << c.order);
        ASSERT_EQ(alloc_asphere_record(1, c.kind, c.order), 0);
        ASSERT_NE(surface(1).asphere, nullptr);
        EXPECT_EQ(surface(1).asphere->entered_count, c.count);
        EXPECT_EQ(surface(1).asphere->kind, c.kind);
    }
    EXPECT_EQ(surface(1).asphere->sub_kind, kAsphereSeries);  // form of the last record
    ASSERT_EQ(alloc_asphere_record(1, kAsphereXy, 4), 0);     // a kind without a stored form
    EXPECT_EQ(surface(1).asphere, nullptr);
}

TEST_F(SetterTest, ResizingAnAsphereKeepsTheFirstEntries) {
    make_surfaces(2);
    ASSERT_EQ(alloc_asphere_record(1, kAsphereRadial, 6), 0);
    for (int i = 0; i < 7; ++i) surface(1).asphere->entered[i] = i + 1.0;
    ASSERT_EQ(alloc_asphere_record(1, kAsphereRadial, 3), 0);
    const AsphereRecord& a = *surface(1).asphere;
    ASSERT_EQ(a.entered_count, 4);
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(a.entered[i], i + 1.0);
    ASSERT_EQ(alloc_asphere_record(1, kAsphereRadial, 5), 0);
    EXPECT_DOUBLE_EQ(surface(1).asphere->entered[3], 4.0);
    EXPECT_DOUBLE_EQ(surface(1).asphere->entered[4], 0.0);
    EXPECT_DOUBLE_EQ(surface(1).asphere->entered[5], 0.0);
}

TEST_F(SetterTest, ConeAsphereClearsTheBaseShape) {
    make_surfaces(2);
    surface(1).curvature = 0.1;
    surface(1).conic = -1.0;
    surface(1).toric = 1;
    ASSERT_EQ(alloc_asphere_record(1, kAsphereCone, 5), 0);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.0);
    EXPECT_DOUBLE_EQ(surface(1).conic, 0.0);
    EXPECT_EQ(surface(1).toric, 0);
}

TEST_F(SetterTest, DiffractiveRecords) {
    make_surfaces(2);
    ASSERT_EQ(alloc_diffractive_record(0, 0, 4), 0);
    EXPECT_EQ(surface(0).diffractive, nullptr);
    ASSERT_EQ(alloc_diffractive_record(1, 2, 0), 0);
    DiffractiveRecord* d = surface(1).diffractive;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->entered_count, 11);
    EXPECT_DOUBLE_EQ(d->design_wavelength, 0.58756);
    EXPECT_EQ(surface(1).diffraction_order, 1);
    d->entered[1] = 3.0;
    d->pickup_source = 1;
    surface(1).diffraction_order = 2;
    ASSERT_EQ(alloc_diffractive_record(1, 2, 4), 0);  // same kind: resized
    d = surface(1).diffractive;
    EXPECT_EQ(d->entered_count, 5);
    EXPECT_DOUBLE_EQ(d->entered[1], 3.0);
    EXPECT_EQ(d->pickup_source, 1);
    EXPECT_EQ(surface(1).diffraction_order, 2);
    ASSERT_EQ(alloc_diffractive_record(1, 3, 4), 0);  // no form: an empty kind-0 record
    EXPECT_EQ(surface(1).diffractive->kind, 0);
    EXPECT_EQ(surface(1).diffractive->entered_count, 0);
}

TEST_F(SetterTest, ModelGlassEnteredTwiceUsesOneCacheEntry) {
    make_surfaces(3);
    ASSERT_EQ(set_surface_medium(1, kMediumModelGlass, "mymodel", 0), 0);
    const int count = glass_cache().count;
    EXPECT_STREQ(surface(1).medium_name, "MYMODEL   ");
    ASSERT_EQ(set_surface_medium(2, kMediumModelGlass, "MYMODEL", 0), 0);
    EXPECT_EQ(glass_cache().count, count);
    const GlassData& entry = glass_cache().entries[count - 1];
    EXPECT_EQ(entry.dispersion_kind, kDispersionModelGlass);
    EXPECT_DOUBLE_EQ(entry.model_wavelengths[0], 0.58756);
    EXPECT_DOUBLE_EQ(entry.model_indices[0], 1.0);
    EXPECT_DOUBLE_EQ(entry.model_wavelengths[3], 0.0);  // end mark at the wavelength count
    EXPECT_DOUBLE_EQ(surface(2).medium_tce, 0.0);
}

TEST_F(SetterTest, MediumNamesAreCutToTenCharactersAndTceFollowsTheKind) {
    make_surfaces(3);
    ASSERT_EQ(set_surface_medium(1, kMediumAir, "air", 0), 0);
    EXPECT_DOUBLE_EQ(surface(1).medium_tce, 236.0);
    ASSERT_EQ(set_surface_medium(0, kMediumAirFixed, "AIR", 0), 0);
    EXPECT_DOUBLE_EQ(surface(0).medium_tce, 0.0);
    ASSERT_EQ(set_surface_medium(2, kMediumMirror, "a-much-too-long-name", 0), 0);
    EXPECT_STREQ(surface(2).medium_name, "A-MUCH-TOO");
    EXPECT_DOUBLE_EQ(surface(2).medium_tce, 236.0);
    ASSERT_EQ(set_surface_medium(3, kMediumPickup, "", 1), 0);
    EXPECT_DOUBLE_EQ(surface(3).medium_tce, 236.0);
    EXPECT_EQ(surface(3).medium_source, 1);
    // A glass no catalogue holds has no expansion coefficient.
    ASSERT_EQ(set_surface_medium(3, kMediumGlass, "NOSUCH", 0), 0);
    EXPECT_DOUBLE_EQ(surface(3).medium_tce, 0.0);
}

TEST_F(SetterTest, AModelGlassThatIsAVariableIsNotChanged) {
    make_surfaces(2);
    static const OptimiseVariableRef table[] = {{5, 1, 0}};
    const OptimiseLinks links = {[] { return 0; }, [](int i) { return table[i]; },
                                 nullptr,          nullptr,
                                 nullptr,          nullptr,
                                 nullptr,          nullptr,
                                 nullptr};
    set_optimise_links(&links);
    EXPECT_EQ(set_surface_medium(1, kMediumModelGlass, "M1", 0), kErrorTextReady);
    EXPECT_STREQ(surface(1).medium_name, "AIR       ");
}

TEST_F(SetterTest, SplineRecordsResizeWholeOrNotAtAll) {
    make_surfaces(2);
    ASSERT_EQ(alloc_spline_record(1, 3), 0);
    SplineRecord& spline = *surface(1).spline;
    EXPECT_EQ(spline.count, 4);
    spline.radius[2] = 2.0;
    spline.changed = 0;
    ASSERT_EQ(resize_spline_record(1, 3), 0);
    EXPECT_EQ(spline.changed, 0);  // the same count changes nothing
    ASSERT_EQ(resize_spline_record(1, 5), 0);
    EXPECT_EQ(spline.count, 6);
    EXPECT_EQ(spline.changed, 1);
    EXPECT_DOUBLE_EQ(spline.radius[2], 2.0);
    EXPECT_DOUBLE_EQ(spline.sag_profile[5], 0.0);
}

// A non-sequential group from 3 to 6 with 10 behind its start, as read from a lens file.
TEST_F(SetterTest, GroupSpacingMovesIntoTheLastMembersDecentre) {
    make_surfaces(7);
    for (int j = 3; j <= 6; ++j) {
        surface(j).group_kind = kGroupNonSequential;
        surface(j).group_role = j == 3 ? kRoleFirst : (j == 6 ? kRoleLast : kRoleInner);
    }
    surface(3).thickness = 10.0;
    surface(3).thickness_kind = kThicknessFixed;
    ASSERT_EQ(ensure_decentre_record(6), 0);
    surface(6).decentre->dcz = 1.5;
    ASSERT_EQ(fold_group_thickness(), 0);
    EXPECT_DOUBLE_EQ(surface(3).thickness, 0.0);
    EXPECT_EQ(surface(3).thickness_kind, kThicknessPlain);
    EXPECT_EQ(surface(3).decentre, nullptr);
    for (int j = 4; j <= 6; ++j) EXPECT_NE(surface(j).decentre, nullptr) << j;
    EXPECT_DOUBLE_EQ(surface(6).decentre->dcz, 11.5);
    EXPECT_DOUBLE_EQ(surface(4).decentre->dcz, 0.0);
    EXPECT_DOUBLE_EQ(surface(4).decentre->rotation[4], 1.0);
}

TEST_F(SetterTest, EmptyDecentresAreDroppedUnlessSomethingKeepsThem) {
    make_surfaces(4);
    ASSERT_EQ(ensure_decentre_record(1), 0);
    ASSERT_EQ(drop_empty_decentre(1, false), 0);
    EXPECT_EQ(surface(1).decentre, nullptr);

    ASSERT_EQ(ensure_decentre_record(2), 0);
    surface(2).decentre->pickup_negated = -1;
    ASSERT_EQ(drop_empty_decentre(2, false), 0);
    EXPECT_NE(surface(2).decentre, nullptr);

    ASSERT_EQ(ensure_decentre_record(3), 0);
    surface(3).decentre_reference = alloc_array_of<DecentreRecord>(1);
    ASSERT_EQ(drop_empty_decentre(3, false), 0);
    EXPECT_NE(surface(3).decentre, nullptr);

    ASSERT_EQ(ensure_decentre_record(4), 0);
    surface(4).group_kind = kGroupNonSequential;
    surface(4).group_role = kRoleLast;
    ASSERT_EQ(drop_empty_decentre(4, false), 0);
    EXPECT_NE(surface(4).decentre, nullptr);
}

TEST_F(SetterTest, GroupEndsAndDissolvingFreesGroupFixedKinds) {
    make_surfaces(6);
    for (int j = 2; j <= 4; ++j) {
        surface(j).group_kind = kGroupElementGroup;
        surface(j).group_role = j == 2 ? kRoleFirst : kRoleInner;  // no last surface yet
    }
    EXPECT_EQ(group_end_surface(3), 4);
    EXPECT_EQ(group_start_surface(4), 2);
    EXPECT_EQ(group_start_surface(5), 0);
    surface(2).curvature_kind = kCurvatureFixed;
    surface(3).aperture_kind = kApertureFixedByGroup;
    surface(4).medium_kind = kMediumAirFixed;
    surface(4).note = alloc_array_of<char>(8);
    std::strcpy(surface(4).note, "MG 1");
    surface(4).group_role = kRoleLast;
    ungroup_surfaces(3);
    EXPECT_EQ(surface(2).curvature_kind, kCurvaturePlain);
    EXPECT_EQ(surface(3).aperture_kind, kApertureFixedValue);
    EXPECT_EQ(surface(4).medium_kind, kMediumAir);
    EXPECT_EQ(surface(4).note, nullptr);
    for (int j = 2; j <= 4; ++j) EXPECT_EQ(surface(j).group_kind, kGroupNone);
}

}  // namespace
