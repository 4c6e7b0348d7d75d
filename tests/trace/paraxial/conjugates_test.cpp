// The conjugates solve of a thick singlet against Gauss's and Newton's equations measured from
// the principal planes and focal points, and the entry of new values.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/trace/paraxial/paraxial_fixture.h"
#include "trace/conjugates.h"
#include "trace/paraxial_trace.h"
#include "trace/system_matrix.h"

namespace paraxial_test {
namespace {

constexpr Medium kGlass{{1.5168, 1.52238, 1.51432}};

class ConjugatesTest : public ParaxialTest {
protected:
    void SetUp() override {
        ParaxialTest::SetUp();
        saved_ = paraxial_hooks();
        paraxial_hooks().lens_setup = test_lens_setup;
        conjugates_state() = ConjugatesState{};
        make_lens(300.0, {{1.0 / 50, 6.0, kGlass}, {-1.0 / 80, 90.0, kAir}});
        lens_data().entrance_beam_radius = 8.0;
        lens_data().object_height = 10.0;
        ASSERT_EQ(test_lens_setup(0), 0);
        ASSERT_EQ(solve_paraxial_conjugates(), 0);
    }
    void TearDown() override {
        paraxial_hooks() = saved_;
        release_system_matrix_arrays();
        ParaxialTest::TearDown();
    }

    // Thick lens in air (textbook): focal length.
    static double focal_length() {
        const double n = kGlass.n[0], c1 = 1.0 / 50, c2 = -1.0 / 80, t = 6.0;
        return 1.0 / ((n - 1) * (c1 - c2 + (n - 1) * t * c1 * c2 / n));
    }

    void expect_conjugate() {
        const ConjugatesBlock& b = conjugates_block();
        const double f = focal_length();
        const double s = b.object_from_principal, s_image = b.image_from_principal;
        EXPECT_NEAR(1.0 / s + 1.0 / s_image, 1.0 / f, 1e-12);       // Gauss
        EXPECT_NEAR((s - f) * (s_image - f), f * f, 1e-9 * f * f);  // Newton
        EXPECT_NEAR(b.magnification, -s_image / s, 1e-12);
        EXPECT_NEAR(b.image_height, b.object_height * b.magnification, 1e-12);
        EXPECT_NEAR(b.focal_length, f, 1e-10);
        // The image plane follows: the last gap is the image distance.
        EXPECT_NEAR(surface(2).thickness, b.image_distance, 1e-9);
    }

    ParaxialHooks saved_{};
};

TEST_F(ConjugatesTest, EnteredDistancesAndMagnificationMoveObjectAndImage) {
    struct Case {
        int item;
        double value;
    };
    for (const Case& c : {Case{kItemObjectDistance, 200.0}, Case{kItemMagnification, -0.5},
                          Case{kItemImageDistance, 150.0}, Case{kItemObjectFromPrincipal, 400.0},
                          Case{kItemImageFromPrincipal, 90.0}, Case{kItemMagnification, -2.0}}) {
        ASSERT_EQ(enter_conjugate_value(c.item, c.value), 0);
        ASSERT_EQ(test_lens_setup(0), 0);
        ASSERT_EQ(solve_paraxial_conjugates(), 0);
        EXPECT_NEAR(conjugate_item_value(c.item), c.value, 1e-9) << c.item;
        expect_conjugate();
    }
    EXPECT_NEAR(surface(0).thickness, conjugates_block().object_distance, 1e-12);
}

TEST_F(ConjugatesTest, EdgeCasesOfEntry) {
    LensData& l = lens_data();
    enter_conjugate_value(kItemObjectHeight, 0.0);
    EXPECT_EQ(l.object_height, -1e14);
    EXPECT_EQ(conjugates_state().field_edit_mode, 1);
    enter_conjugate_value(kItemFieldAngle, 0.0);
    EXPECT_EQ(l.field_angle, 9.999999999462034e-07);
    EXPECT_EQ(l.field_is_angle, 1);
    const double na = l.object_na;
    enter_conjugate_value(kItemObjectNa, 1.2);  // above the object space's index 1
    EXPECT_EQ(l.object_na, na);
    enter_conjugate_value(kItemObjectNa, 0.0);
    EXPECT_EQ(l.object_na, 0.05);
    EXPECT_EQ(l.aperture_is_na, 1);
}

// A plane-parallel plate has no power (|C| < 1e-10): a magnification changes no distance.
TEST_F(ConjugatesTest, MagnificationOfAnAfocalMatrixIsIgnored) {
    make_lens(300.0, {{0.0, 6.0, kGlass}, {0.0, 90.0, kAir}});
    ASSERT_EQ(test_lens_setup(0), 0);
    ASSERT_EQ(solve_paraxial_conjugates(), 0);
    EXPECT_TRUE(conjugates_state().afocal_matrix);
    const double t0 = surface(0).thickness, last = surface(2).thickness;
    enter_conjugate_value(kItemMagnification, -3.0);
    ASSERT_EQ(solve_paraxial_conjugates(), 0);
    EXPECT_EQ(surface(0).thickness, t0);
    EXPECT_EQ(surface(2).thickness, last);
}

}  // namespace
}  // namespace paraxial_test
