// Insertion and deletion of surfaces: every kind of stored surface reference follows the
// surface it names, references to a deleted surface end, groups grow, shrink and dissolve.
#include <functional>
#include <string>
#include <vector>

#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "tests/lens/lens_fixture.h"

namespace {

using RenumberTest = LensTest;

// One kind of reference: stored on surface `holder`, naming surface `target`; read back from
// whichever surface now holds it. read gives -1 when the reference is gone.
struct ReferenceKind {
    const char* name;
    std::function<void(int holder, int target)> store;
    std::function<int(int holder)> read;
    int ended_value;  // what read gives once the named surface was deleted
};

DecentreRecord* new_frame_record(int target) {
    auto* d = alloc_array_of<DecentreRecord>(1);
    d->pickup_source = static_cast<std::int16_t>(target);
    return d;
}

std::vector<ReferenceKind> reference_kinds() {
    return {
        {"curvature pickup",
         [](int h, int t) {
             surface(h).curvature_kind = kCurvaturePickup;
             surface(h).curvature_source = static_cast<std::int16_t>(t);
         },
         [](int h) {
             return surface(h).curvature_kind == kCurvaturePickup ? surface(h).curvature_source
                                                                  : -1;
         },
         -1},
        {"thickness pickup (second source)",
         [](int h, int t) {
             surface(h).thickness_kind = kThicknessLength;
             surface(h).thickness_source = 1;
             surface(h).thickness_source2 = static_cast<std::int16_t>(t);
         },
         [](int h) {
             return surface(h).thickness_kind == kThicknessLength ? surface(h).thickness_source2
                                                                  : -1;
         },
         -1},
        {"glass pickup",
         [](int h, int t) {
             surface(h).medium_kind = kMediumPickup;
             surface(h).medium_source = static_cast<std::int16_t>(t);
         },
         [](int h) { return static_cast<int>(surface(h).medium_source); }, 0},
        {"aperture pickup",
         [](int h, int t) {
             surface(h).aperture_kind = kAperturePickup;
             surface(h).aperture_source = static_cast<std::int16_t>(t);
         },
         [](int h) {
             return surface(h).aperture_kind == kAperturePickup ? surface(h).aperture_source : -1;
         },
         -1},
        {"decentre pickup",
         [](int h, int t) {
             ASSERT_EQ(ensure_decentre_record(h), 0);
             surface(h).decentre->pickup_source = static_cast<std::int16_t>(t);
         },
         [](int h) { return static_cast<int>(surface(h).decentre->pickup_source); }, 0},
        {"coordinate return",
         [](int h, int t) { surface(h).return_coordinates = new_frame_record(t); },
         [](int h) {
             const DecentreRecord* d = surface(h).return_coordinates;
             return d != nullptr ? d->pickup_source : -1;
         },
         -1},
        {"second coordinate return",
         [](int h, int t) { surface(h).return_coordinates2 = new_frame_record(t); },
         [](int h) {
             const DecentreRecord* d = surface(h).return_coordinates2;
             return d != nullptr ? d->pickup_source : -1;
         },
         -1},
        {"decentre reference",
         [](int h, int t) { surface(h).decentre_reference = new_frame_record(t); },
         [](int h) {
             const DecentreRecord* d = surface(h).decentre_reference;
             return d != nullptr ? d->pickup_source : -1;
         },
         -1},
        {"special aperture pickup",
         [](int h, int t) {
             surface(h).special_apertures = alloc_array_of<SpecialAperture>(2);
             surface(h).special_aperture_count = 2;
             init_special_aperture(h, 0);
             init_special_aperture(h, 1);
             surface(h).special_apertures[1].pickup_source = static_cast<std::int16_t>(t);
             surface(h).special_apertures[1].pickup_id_letter = 'A';
         },
         [](int h) {
             const SpecialAperture& a = surface(h).special_apertures[1];
             return a.pickup_id_letter == ' ' ? -a.pickup_source - 1 : a.pickup_source;
         },
         -1},
        {"diffractive pickup",
         [](int h, int t) {
             surface(h).diffractive = alloc_array_of<DiffractiveRecord>(1);
             surface(h).diffractive->pickup_source = static_cast<std::int16_t>(t);
         },
         [](int h) {
             const DiffractiveRecord* d = surface(h).diffractive;
             return d != nullptr ? d->pickup_source : -1;
         },
         -1},
        {"skip", [](int h, int t) { surface(h).skip_to = t; },
         [](int h) { return surface(h).skip_to; },
         1},  // a skip to the deleted surface s now goes to s - 1
    };
}

// Lens of 6 surfaces (image 7); the reference sits on surface 5 and names surface 3.
TEST_F(RenumberTest, InsertionMovesEveryReferenceWithItsSurface) {
    for (const ReferenceKind& kind : reference_kinds()) {
        SCOPED_TRACE(kind.name);
        ASSERT_EQ(lens_new(), 0);
        make_surfaces(6);
        kind.store(5, 3);
        ASSERT_EQ(insert_surface(3), 0);  // at the named surface: it moves to 4
        EXPECT_EQ(lens_data().image_surface, 8);
        EXPECT_EQ(kind.read(6), 4);
        ASSERT_EQ(insert_surface(6), 0);  // after it: nothing changes but the holder moves
        EXPECT_EQ(kind.read(7), 4);
        EXPECT_EQ(surface(6).asphere, nullptr);
        EXPECT_EQ(surface(6).curvature_kind, kCurvaturePlain);
    }
}

TEST_F(RenumberTest, DeletionMovesReferencesDownAndEndsThoseToTheDeletedSurface) {
    for (const ReferenceKind& kind : reference_kinds()) {
        SCOPED_TRACE(kind.name);
        ASSERT_EQ(lens_new(), 0);
        make_surfaces(6);
        kind.store(5, 3);
        ASSERT_EQ(delete_surface(2), 0);  // below the named surface: 3 becomes 2
        EXPECT_EQ(lens_data().image_surface, 6);
        EXPECT_EQ(kind.read(4), 2);
        ASSERT_EQ(delete_surface(2), 0);  // the named surface itself
        EXPECT_EQ(kind.read(3), kind.ended_value);
    }
}

TEST_F(RenumberTest, LensLevelReferences) {
    struct Case {
        const char* name;
        int surfaces;
        bool insert;
        int at;
        int stop, reference, gcs, first_drawn, last_drawn;
        int expected[5];
    };
    const Case cases[] = {
        // Inserting at the stop moves it with its surface.
        {"insert at stop", 5, true, 3, 3, 3, 4, 2, 5, {4, 4, 5, 2, 6}},
        {"insert after stop", 5, true, 4, 3, 3, 4, 2, 5, {3, 3, 5, 2, 6}},
        {"insert at 1 keeps gcs 1", 5, true, 1, 3, 1, 1, 0, 0, {4, 2, 1, 0, 0}},
        // Deleting the stop leaves its number: the next surface becomes the stop.
        {"delete stop", 5, false, 3, 3, 3, 4, 2, 5, {3, 3, 3, 2, 4}},
        {"delete before stop", 5, false, 2, 3, 4, 4, 3, 5, {2, 3, 3, 2, 4}},
        {"delete after all", 5, false, 5, 3, 3, 2, 2, 4, {3, 3, 2, 2, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(lens_new(), 0);
        make_surfaces(c.surfaces);
        LensData& l = lens_data();
        l.aperture_stop = c.stop;
        l.reference_surface = c.reference;
        l.global_coordinate_surface = c.gcs;
        l.drawing_conditions->first_surface = c.first_drawn;
        l.drawing_conditions->last_surface = c.last_drawn;
        ASSERT_EQ(c.insert ? insert_surface(c.at) : delete_surface(c.at), 0);
        EXPECT_EQ(l.aperture_stop, c.expected[0]);
        EXPECT_EQ(l.reference_surface, c.expected[1]);
        EXPECT_EQ(l.global_coordinate_surface, c.expected[2]);
        EXPECT_EQ(l.drawing_conditions->first_surface, c.expected[3]);
        EXPECT_EQ(l.drawing_conditions->last_surface, c.expected[4]);
    }
}

TEST_F(RenumberTest, CurvaturePickupFromADeletedSurfaceBecomesPlain) {
    make_surfaces(5);
    surface(4).curvature = 0.5;
    surface(4).curvature_kind = kCurvaturePickupNegated;
    surface(4).curvature_source = 2;
    surface(4).curvature_solve_value = 1.5;
    surface(5).thickness_kind = kThicknessPickup;
    surface(5).thickness_source = 2;
    surface(5).thickness_solve_value = 3.0;
    ASSERT_EQ(delete_surface(2), 0);
    EXPECT_EQ(surface(3).curvature_kind, kCurvaturePlain);
    EXPECT_EQ(surface(3).curvature_source, 0);
    EXPECT_DOUBLE_EQ(surface(3).curvature_solve_value, 0.0);
    EXPECT_DOUBLE_EQ(surface(3).curvature, 0.5);
    EXPECT_EQ(surface(4).thickness_kind, kThicknessPlain);
    EXPECT_EQ(surface(4).thickness_source, 0);
}

TEST_F(RenumberTest, SourcesOfKindsThatDoNotUseThemStayOnDeletion) {
    make_surfaces(5);
    surface(4).curvature_kind = kCurvatureAxialSlope;
    surface(4).curvature_source = 2;
    surface(4).medium_kind = kMediumGlass;
    surface(4).medium_source = 3;
    ASSERT_EQ(delete_surface(2), 0);
    EXPECT_EQ(surface(3).curvature_source, 2);
    EXPECT_EQ(surface(3).medium_source, 3);
}

TEST_F(RenumberTest, SpecialDataMovesWithItsSurfaceAndIsFreedWithIt) {
    make_surfaces(4);
    ASSERT_EQ(alloc_spline_record(3, 2), 0);
    SplineRecord* spline = surface(3).spline;
    ASSERT_EQ(ensure_decentre_record(2), 0);
    ASSERT_EQ(insert_surface(2), 0);
    EXPECT_EQ(surface(2).decentre, nullptr);
    EXPECT_NE(surface(3).decentre, nullptr);
    EXPECT_EQ(surface(4).spline, spline);
    ASSERT_EQ(delete_surface(3), 0);
    EXPECT_EQ(surface(3).spline, spline);
    for (int n = 0; n <= surface_limit(); ++n) EXPECT_EQ(surface(n).decentre, nullptr);
    // The vacated slot shares no block with the record that moved down.
    EXPECT_EQ(surface(lens_data().image_surface + 1).spline, nullptr);
}

TEST_F(RenumberTest, InsertionAtTheSurfaceLimitIsRefused) {
    make_surfaces(11);  // image surface 12, the last record
    surface(12).curvature = 0.125;
    EXPECT_EQ(insert_surface(5), kMsgSurfaceLimit);
    EXPECT_EQ(lens_data().image_surface, 12);
    EXPECT_DOUBLE_EQ(surface(12).curvature, 0.125);
    // Deleting with the image surface in the last record reads nothing beyond it.
    ASSERT_EQ(ensure_decentre_record(12), 0);
    ASSERT_EQ(delete_surface(5), 0);
    EXPECT_EQ(lens_data().image_surface, 11);
    EXPECT_NE(surface(11).decentre, nullptr);
    EXPECT_EQ(surface(12).decentre, nullptr);
    EXPECT_STREQ(surface(12).medium_name, "AIR       ");
}

TEST_F(RenumberTest, SurfacesOutsideTheLensAreRefused) {
    make_surfaces(3);
    EXPECT_LT(insert_surface(0), 0);
    EXPECT_LT(insert_surface(5), 0);
    EXPECT_LT(delete_surface(0), 0);
    EXPECT_LT(delete_surface(4), 0);  // the image surface
    EXPECT_EQ(lens_data().image_surface, 4);
}

void make_group(int first, int last, int kind) {
    for (int j = first; j <= last; ++j) {
        surface(j).group_kind = static_cast<std::uint8_t>(kind);
        surface(j).group_role = j == first ? kRoleFirst : (j == last ? kRoleLast : kRoleInner);
    }
}

TEST_F(RenumberTest, InsertingInsideAGroupJoinsIt) {
    make_surfaces(6);
    make_group(2, 4, kGroupElement);
    ASSERT_EQ(insert_surface(3), 0);
    EXPECT_EQ(surface(3).group_kind, kGroupElement);
    EXPECT_EQ(surface(3).group_role, kRoleInner);
    EXPECT_EQ(group_end_surface(2), 5);
    ASSERT_EQ(insert_surface(2), 0);  // before the start: outside the group
    EXPECT_EQ(surface(2).group_kind, kGroupNone);
    EXPECT_EQ(group_start_surface(5), 3);
}

TEST_F(RenumberTest, DeletingTheStartOrTheSecondOfTwoDissolvesTheGroup) {
    make_surfaces(6);
    make_group(2, 4, kGroupElement);
    surface(3).thickness_kind = kThicknessFixed;
    surface(4).medium_kind = kMediumGlassFixed;
    ASSERT_EQ(delete_surface(2), 0);
    EXPECT_EQ(surface(2).group_kind, kGroupNone);
    EXPECT_EQ(surface(3).group_kind, kGroupNone);
    EXPECT_EQ(surface(2).thickness_kind, kThicknessPlain);
    EXPECT_EQ(surface(3).medium_kind, kMediumGlass);

    make_group(2, 3, kGroupElementGroup);
    ASSERT_EQ(delete_surface(3), 0);
    EXPECT_EQ(surface(2).group_kind, kGroupNone);
}

TEST_F(RenumberTest, DeletingTheLastOfALongerGroupMakesThePreviousLast) {
    make_surfaces(6);
    make_group(2, 5, kGroupNonSequential);
    surface(4).group_port_flags[kPortOffset1] = 3;
    surface(4).group_port_flags[kPortSwitch1] = 1;
    surface(4).group_port_flags[kGroupPortKeptByte] = 7;
    ASSERT_EQ(delete_surface(5), 0);
    EXPECT_EQ(surface(4).group_role, kRoleLast);
    EXPECT_EQ(surface(4).group_port_flags[kPortOffset1], 0);
    EXPECT_EQ(surface(4).group_port_flags[kGroupPortKeptByte], 7);
    EXPECT_EQ(group_end_surface(2), 4);
}

TEST_F(RenumberTest, MemberOffsetsOfANonSequentialGroupFollowItsSurfaces) {
    make_surfaces(7);
    make_group(2, 6, kGroupNonSequential);
    SurfaceRecord& inner = surface(3);
    inner.group_port_flags[kPortOffset1] = 2;  // names surface 4
    inner.group_port_flags[kPortSwitch1] = 1;
    inner.group_port_flags[kPortOffset2] = 3;  // names surface 5
    inner.group_port_flags[kPortSwitch2] = 1;
    ASSERT_EQ(insert_surface(4), 0);  // d = 2
    EXPECT_EQ(surface(3).group_port_flags[kPortOffset1], 3);
    EXPECT_EQ(surface(3).group_port_flags[kPortOffset2], 4);
    ASSERT_EQ(delete_surface(5), 0);  // d = 3: the first offset named it
    EXPECT_EQ(surface(3).group_port_flags[kPortOffset1], 0);
    EXPECT_EQ(surface(3).group_port_flags[kPortSwitch1], 0);
    EXPECT_EQ(surface(3).group_port_flags[kPortOffset2], 3);
}

TEST_F(RenumberTest, MeshVerticesFollowAndFacesOnADeletedSurfaceGo) {
    make_surfaces(6);
    auto* mesh = alloc_array_of<SurfaceMesh>(1);
    mesh->vertex_count = 3;
    mesh->vertices = alloc_array_of<MeshVertex>(3);
    mesh->vertices[0].surface_offset = 0;  // surface 1
    mesh->vertices[1].surface_offset = 2;  // surface 3
    mesh->vertices[2].surface_offset = 3;  // surface 4
    mesh->face_count = 2;
    mesh->faces = alloc_array_of<MeshFace>(2);
    mesh->faces[0] = {{1, 3, 0, 0}};
    mesh->faces[1] = {{1, -2, 3, 0}};
    surface(1).mesh = mesh;
    lens_data().mesh_renumber_limit = 2;  // visit surface 1
    ASSERT_EQ(insert_surface(3), 0);
    EXPECT_EQ(mesh->vertices[0].surface_offset, 0);
    EXPECT_EQ(mesh->vertices[1].surface_offset, 3);
    EXPECT_EQ(mesh->vertices[2].surface_offset, 4);
    ASSERT_EQ(delete_surface(4), 0);
    EXPECT_EQ(mesh->vertices[1].surface_offset, -1);
    EXPECT_EQ(mesh->vertices[2].surface_offset, 3);
    EXPECT_EQ(mesh->faces[0].vertices[0], 1);
    EXPECT_EQ(mesh->faces[1].vertices[0], 0);
}

TEST_F(RenumberTest, RangeMarksEndTogether) {
    make_surfaces(6);
    surface(2).range_mark = 1;
    surface(2).range_record = alloc_array_of<SurfaceRangeRecord>(1);
    surface(2).range_record->values = alloc_array_of<double>(4);
    surface(5).range_mark = 2;
    ASSERT_EQ(delete_surface(5), 0);
    EXPECT_EQ(surface(2).range_mark, 0);
    EXPECT_EQ(surface(2).range_record, nullptr);
}

// A stand-in for the optimisation code: a small variable table that follows the surfaces.
struct FakeVariables {
    static inline std::vector<OptimiseVariableRef> table;
    static inline std::vector<std::string> calls;
    static int highest() { return static_cast<int>(table.size()) - 1; }
    static OptimiseVariableRef at(int i) { return table[static_cast<std::size_t>(i)]; }
    static void inserted(int s) { calls.push_back("insert " + std::to_string(s)); }
    static void deleted(int s) { calls.push_back("delete " + std::to_string(s)); }
    static void new_lens() { calls.push_back("new"); }
};

TEST_F(RenumberTest, TheOptimisationCodeIsToldOfEveryRenumbering) {
    const OptimiseLinks links = {FakeVariables::highest,
                                 FakeVariables::at,
                                 FakeVariables::inserted,
                                 FakeVariables::deleted,
                                 FakeVariables::new_lens,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr};
    FakeVariables::calls.clear();
    set_optimise_links(&links);
    make_surfaces(4);
    ASSERT_EQ(insert_surface(2), 0);
    ASSERT_EQ(delete_surface(3), 0);
    ASSERT_EQ(lens_new(), 0);
    EXPECT_EQ(FakeVariables::calls, (std::vector<std::string>{"insert 2", "delete 3", "new"}));
}

TEST_F(RenumberTest, VariablesAreFoundByTypeSurfaceAndConfiguration) {
    EXPECT_FALSE(find_curvature_variable(1, nullptr));  // no optimisation code: no variables
    FakeVariables::table = {{3, 2, 0}, {1, 2, 2}, {6, 3, 0}};
    const OptimiseLinks links = {FakeVariables::highest,
                                 FakeVariables::at,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr};
    set_optimise_links(&links);
    int index = -1;
    EXPECT_TRUE(find_thickness_variable(2, &index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(find_curvature_variable(2, &index));  // configuration 2 only
    lens_data().current_configuration = 2;
    EXPECT_TRUE(find_curvature_variable(2, &index));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(find_glass_variable(3, &index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(find_glass_variable(2, &index));
}

TEST_F(RenumberTest, CurrentSurfaceAndTheGroupBeingBuilt) {
    make_surfaces(4);
    set_current_surface(6);  // beyond the image: the lens grows
    EXPECT_EQ(lens_data().image_surface, 6);
    EXPECT_EQ(lens_data().current_surface, 6);
    set_current_surface(13);  // beyond the limit: ignored
    EXPECT_EQ(lens_data().current_surface, 6);

    // A group command opened a group at 2; stepping on closes it at the current surface.
    make_group(2, 3, kGroupElement);
    surface(3).group_role = kRoleInner;
    LensData& l = lens_data();
    l.current_surface = 4;
    l.group_start = 2;
    l.group_kind_pending = kGroupElement;
    l.group_pending = 1;
    set_current_surface(5);
    EXPECT_EQ(surface(4).group_kind, kGroupElement);
    EXPECT_EQ(surface(4).group_role, kRoleLast);
    EXPECT_EQ(l.group_pending, 0);
    set_current_surface(3);
    EXPECT_EQ(l.group_start, 2);
    EXPECT_NE(test_state_flag(kFlagGroupStarted), 0);
    EXPECT_EQ(test_state_flag(kFlagGroupInner), 0);
}

}  // namespace
