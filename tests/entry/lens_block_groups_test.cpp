// NXT and END while a group of surfaces is being built (the group commands that open one are
// the next family's; here the group being built is set as they leave it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

// A group of the kind opened at the current surface, as the group commands leave it.
void open_group(int kind) {
    LensData& l = lens_data();
    const int s = l.current_surface;
    surface(s).group_kind = static_cast<std::uint8_t>(kind);
    surface(s).group_role = kRoleFirst;
    l.group_start = s;
    l.group_kind_pending = kind;
    l.group_pending = 1;
}

TEST_F(Entry, NextSurfaceExtendsTheGroupBeingBuilt) {
    run_all({"LEN NEW \"Groups\"", "NXT", "NXT", "NXT", "GTO 1"});
    open_group(kGroupElement);
    ASSERT_EQ(run("NXT"), 0) << error_text();
    EXPECT_EQ(lens_data().current_surface, 2);
    EXPECT_EQ(surface(2).group_kind, kGroupElement);
    EXPECT_EQ(surface(2).group_role, kRoleInner);
    // END closes the group at the current surface.
    ASSERT_EQ(run("END"), 0) << error_text();
    EXPECT_EQ(surface(2).group_role, kRoleLast);
    EXPECT_EQ(lens_data().group_pending, 0);
}

TEST_F(Entry, NextSurfaceRefusesToRunIntoAnotherGroup) {
    run_all({"LEN NEW \"Groups\"", "NXT", "NXT", "NXT", "GTO 1"});
    surface(2).group_kind = kGroupElementGroup;
    surface(2).group_role = kRoleFirst;
    open_group(kGroupElement);
    EXPECT_EQ(run("NXT"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Surface 2 already starts another group");
    EXPECT_EQ(lens_data().current_surface, 2);
    EXPECT_EQ(surface(2).group_kind, kGroupElementGroup);
    run_all({"END"});
}

// A non-sequential group grows by inserted surfaces; a full lens refuses the insertion.
TEST_F(Entry, NextSurfaceInsertsIntoANonSequentialGroup) {
    run_all({"LEN NEW \"Groups\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "GTO 1"});
    ASSERT_EQ(lens_data().image_surface, 3);
    open_group(kGroupNonSequential);
    ASSERT_EQ(run("NXT"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(lens_data().current_surface, 2);
    EXPECT_EQ(surface(2).group_kind, kGroupNonSequential);
    EXPECT_EQ(surface(2).group_role, kRoleInner);
    EXPECT_NE(test_state_flag(kFlagGroupInner), 0);
    // The surface that was 2 moved on: its radius is now on surface 3.
    EXPECT_EQ(surface(3).curvature, -1.0 / 50);
    run_all({"END"});

    run_all({"LEN NEW \"Full\""});
    for (int k = 0; k < 12; ++k) ASSERT_EQ(run("NXT"), 0);
    run_all({"GTO 5"});
    open_group(kGroupNonSequential);
    EXPECT_EQ(run("NXT"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The lens has reached the surface limit 12");
    EXPECT_EQ(lens_data().image_surface, 12);
    EXPECT_EQ(lens_data().current_surface, 5);
}

TEST_F(Entry, EndFixesTheImageSurfaceAroundGroups) {
    // A group still open on the image surface: the image moves one further.
    run_all({"LEN NEW \"Groups\"", "NXT", "NXT", "NXT"});
    ASSERT_EQ(lens_data().current_surface, 3);
    ASSERT_EQ(lens_data().image_surface, 3);
    run_all({"GTO 2"});
    open_group(kGroupElement);
    run_all({"NXT"});
    ASSERT_EQ(run("END"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(surface(3).group_role, kRoleLast);

    // A group open on the image surface of a full lens: END tells, and still closes the block.
    run_all({"LEN NEW \"Full\""});
    for (int k = 0; k < 12; ++k) ASSERT_EQ(run("NXT"), 0);
    run_all({"GTO 11"});
    open_group(kGroupElement);
    run_all({"NXT"});
    EXPECT_EQ(run("END"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The lens has reached the surface limit 12");
    EXPECT_EQ(lens_data().image_surface, 12);
    EXPECT_EQ(test_state_flag(kFlagLensEntryInProgress), 0);

    // END n below the image, n inside a group: the first ungrouped surface from n on.
    run_all({"LEN NEW \"Groups\""});
    for (int k = 0; k < 6; ++k) ASSERT_EQ(run("NXT"), 0);
    for (int s = 2; s <= 4; ++s) surface(s).group_kind = kGroupElement;
    surface(2).group_role = kRoleFirst;
    surface(3).group_role = kRoleInner;
    surface(4).group_role = kRoleLast;
    ASSERT_EQ(run("END 3"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 5);
}

}  // namespace
