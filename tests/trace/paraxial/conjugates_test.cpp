// The conjugates solve of a thick singlet against Gauss's and Newton's equations measured from
// the principal planes and focal points, and the entry of new values.
#include <gtest/gtest.h>

#include <cmath>

#include "lens/lens_data.h"
#include "tests/trace/paraxial/paraxial_fixture.h"
#include "trace/conjugates.h"
#include "trace/paraxial_trace.h"
#include "trace/system_matrix.h"

namespace paraxial_test {
namespace {

constexpr Medium kConjugateGlass{{1.5168, 1.52238, 1.51432}};

class ConjugatesTest : public ParaxialTest {
protected:
    void SetUp() override {
        ParaxialTest::SetUp();
        saved_ = paraxial_hooks();
        paraxial_hooks().lens_setup = test_lens_setup;
        make_lens(300.0, {{1.0 / 50, 6.0, kConjugateGlass}, {-1.0 / 80, 90.0, kAir}});
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
        const double n = kConjugateGlass.n[0], c1 = 1.0 / 50, c2 = -1.0 / 80, t = 6.0;
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
    // A zero field is the least non-zero angle, 1e-6 radian (kept as a float holds it, 5e-17
    // away); a millionth of it tells it from any angle the entry could have computed.
    EXPECT_NEAR(l.field_angle, 1e-6, 1e-12);
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
    make_lens(300.0, {{0.0, 6.0, kConjugateGlass}, {0.0, 90.0, kAir}});
    ASSERT_EQ(test_lens_setup(0), 0);
    ASSERT_EQ(solve_paraxial_conjugates(), 0);
    EXPECT_TRUE(conjugates_state().afocal_matrix);
    const double t0 = surface(0).thickness, last = surface(2).thickness;
    enter_conjugate_value(kItemMagnification, -3.0);
    ASSERT_EQ(solve_paraxial_conjugates(), 0);
    EXPECT_EQ(surface(0).thickness, t0);
    EXPECT_EQ(surface(2).thickness, last);
}

// Every first-order value of the block on the thick singlet (n = 1.5168, radii 50 and -80,
// 6 thick, object 300 before it, 10 high, beam radius 8 at the first surface, image plane 90
// behind it) from the textbook thick lens: surface powers P1 = (n - 1) c1, P2 = (1 - n) c2,
// P = P1 + P2 - P1 P2 t / n; principal planes t P2 / (n P) behind the first vertex and
// t P1 / (n P) before the last; Gauss from them; a paraxial marginal ray traced by hand.
TEST_F(ConjugatesTest, BlockHoldsTheFirstOrderValuesOfTheThickLens) {
    const double n = kConjugateGlass.n[0], c1 = 1.0 / 50, c2 = -1.0 / 80, t = 6.0;
    const double d0 = 300.0, h = 10.0, y = 8.0, last = 90.0;
    const double p1 = (n - 1) * c1, p2 = (1 - n) * c2, power = p1 + p2 - p1 * p2 * t / n;
    const double f = 1.0 / power;
    const double front = t * p2 / (n * power);  // first principal plane from surface 1
    const double rear = t * p1 / (n * power);   // second principal plane before surface 2
    const double s = d0 + front;
    const double s_image = 1.0 / (1.0 / f - 1.0 / s);
    const double m = -s_image / s;
    // Marginal ray from the axial object point through height 8 on surface 1.
    const double u0 = y / d0;
    const double u1 = (u0 - (n - 1) * c1 * y) / n;
    const double y2 = y + t * u1;
    const double u_image = n * u1 - (1 - n) * c2 * y2;
    const double na = std::sin(std::atan(u0));
    const double na_image = std::sqrt(1 - na * na) * std::fabs(u_image);
    const double petzval = 1.0 / (c1 * (1 - n) / n + c2 * (n - 1) / n);
    constexpr double kDeg = 180.0 / M_PI;

    const ConjugatesBlock& b = conjugates_block();
    struct Value {
        const char* name;
        double got, want;
    };
    const Value values[] = {
        {"entrance beam radius", b.beam_radius, y},
        {"object-space NA", b.object_na, na},
        {"image-space NA", b.image_na, na_image},
        {"working F-number", b.f_number, 1.0 / (2.0 * na_image)},
        {"image-space slope", std::fabs(b.image_slope), std::fabs(u_image)},
        {"field angle of the lens", b.lens_field_angle_degrees, std::atan(-h / d0) * kDeg},
        {"field angle at the entrance pupil", b.field_angle_degrees, std::atan2(-h, d0) * kDeg},
        {"object height", b.object_height, h},
        {"paraxial image height", b.image_height, h * m},
        {"object distance", b.object_distance, d0},
        {"image distance from the last surface", b.image_distance, s_image - rear},
        {"magnification", b.magnification, m},
        {"object from the front principal plane", b.object_from_principal, s},
        {"image from the rear principal plane", b.image_from_principal, s_image},
        {"front principal plane from surface 1", b.front_principal, front},
        {"rear principal offset", b.rear_principal, rear},
        {"first to last surface", b.lens_length, t},
        {"object to image", b.total_track, d0 + t + last},
        {"last surface to image", b.last_gap, last},
        {"focal length", b.focal_length, f},
        {"Lagrange invariant", b.lagrange, h * y / d0},
        {"Petzval radius", b.petzval_radius, petzval},
    };
    for (const Value& v : values) {
        EXPECT_NEAR(v.got, v.want, 1e-10 * std::fmax(1.0, std::fabs(v.want))) << v.name;
    }
}

}  // namespace
}  // namespace paraxial_test
