// Special apertures: the shapes' inside tests at their rims, the group rules of the action
// test, the hit test of searching rays, and the polygon orientation given either way round.
#include <gtest/gtest.h>

#include <vector>

#include "tests/trace/geometry/geometry_fixture.h"
#include "trace/aperture_shapes.h"

namespace geometry_test {
namespace {

constexpr int kApertureSurface = 2;

SpecialAperture box(std::uint8_t shape, double x1, double y1, double x2, double y2,
                    std::uint8_t action = kActionClear, std::uint8_t group = 0,
                    double angle = 0.0) {
    SpecialAperture e{};
    e.shape = shape;
    e.x[0] = x1;
    e.y[0] = y1;
    e.x[1] = x2;
    e.y[1] = y2;
    e.action = action;
    e.group = group;
    e.angle = angle;
    return e;
}

SpecialAperture polygon(std::vector<std::array<double, 2>> corners,
                        std::uint8_t action = kActionClear) {
    SpecialAperture e{};
    e.shape = corners.size() == 3 ? kApertureTriangle : kApertureQuadrilateral;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        e.x[i] = corners[i][0];
        e.y[i] = corners[i][1];
    }
    e.action = action;
    // The lens set-up stores the orientation; the trace only reads it.
    e.convex = special_aperture_orientation(e);
    return e;
}

class SpecialApertures : public GeometryTest {
protected:
    void SetUp() override {
        GeometryTest::SetUp();
        make_lens(3, 100.0);
    }
    void use(std::vector<SpecialAperture> list) {
        list_ = std::move(list);
        surface(kApertureSurface).special_apertures = list_.data();
        surface(kApertureSurface).special_aperture_count = static_cast<std::int16_t>(list_.size());
    }
    std::vector<SpecialAperture> list_;
};

TEST_F(SpecialApertures, ShapesAtTheirRims) {
    // A rectangle turned by 90 degrees lies across x.
    use({box(kApertureRectangle, -1, -2, 1, 2, kActionClear, 0, 90.0)});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 1.9, 0.0), kSpecialPass);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 0.0, 1.9), kSpecialOutside);
    // Corners given in the other order make the same box.
    use({box(kApertureRectangle, 1, 2, -1, -2)});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 0.5, -1.5), kSpecialPass);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 1.5, 0.0), kSpecialOutside);

    // On the rim of an ellipse: inside for both tests; the action test also a little beyond.
    use({box(kApertureEllipse, -2, -1, 2, 1)});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 2.0, 0.0), kSpecialPass);
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 2.0, 0.0), 0);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 2.0 * 1.0000005, 0.0), kSpecialPass);
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 2.0 * 1.0000005, 0.0), -1);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 2.0 * 1.000002, 0.0), kSpecialOutside);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 1.2, 0.8),
              kSpecialPass);  // 0.36 + 0.64 = 1
    // A degenerate ellipse contains nothing.
    use({box(kApertureEllipse, -2, 0, 2, 0)});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 0.0, 0.0), kSpecialOutside);
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 0.0, 0.0), -1);
}

TEST_F(SpecialApertures, SquareGivenClockwiseOrCounterClockwise) {
    const std::vector<std::array<double, 2>> ccw = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const std::vector<std::array<double, 2>> cw = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    EXPECT_EQ(special_aperture_orientation(polygon(cw)), 1);
    EXPECT_EQ(special_aperture_orientation(polygon(ccw)), 0);
    for (const auto& corners : {cw, ccw}) {
        use({polygon(corners)});
        EXPECT_EQ(check_special_apertures(kApertureSurface, 0.3, -0.9), kSpecialPass);
        EXPECT_EQ(check_special_apertures(kApertureSurface, 1.0, 0.2), kSpecialPass);  // on an edge
        EXPECT_EQ(check_special_apertures(kApertureSurface, -1.0, -1.0), kSpecialPass);
        EXPECT_EQ(check_special_apertures(kApertureSurface, 1.1, 0.0), kSpecialOutside);
        EXPECT_EQ(check_special_apertures(kApertureSurface, 0.0, -1.01), kSpecialOutside);
        EXPECT_EQ(point_in_special_polygon(list_[0], -0.99, 0.99), 1);
        EXPECT_EQ(point_in_special_polygon(list_[0], -1.01, 0.99), 0);
    }
    // A triangle either way round.
    for (const auto& corners : {std::vector<std::array<double, 2>>{{0, 0}, {4, 0}, {0, 3}},
                                std::vector<std::array<double, 2>>{{0, 0}, {0, 3}, {4, 0}}}) {
        use({polygon(corners)});
        EXPECT_EQ(check_special_apertures(kApertureSurface, 1.0, 1.0), kSpecialPass);
        EXPECT_EQ(check_special_apertures(kApertureSurface, 2.0, 1.5),
                  kSpecialPass);  // on the long edge
        EXPECT_EQ(check_special_apertures(kApertureSurface, 2.5, 1.5), kSpecialOutside);
    }
}

TEST_F(SpecialApertures, GroupRules) {
    const SpecialAperture clear = box(kApertureEllipse, -5, -5, 5, 5, kActionClear);
    const SpecialAperture stop = box(kApertureEllipse, -1, -1, 1, 1, kActionObstruct);
    use({clear, stop});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 6.0, 0.0), kSpecialOutside);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 0.5, 0.0), kSpecialObstructed);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 3.0, 0.0), kSpecialPass);

    // An entry of action 1 returns before any later entry is looked at.
    use({box(kApertureRectangle, -1, -1, 1, 1, kActionUntouched), stop});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 0.0, 0.0), kSpecialUntouched);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 3.0, 0.0), kSpecialPass);

    // Group 0 passing ends the test: group 1 (which would stop the ray) is not examined.
    SpecialAperture later = box(kApertureEllipse, -0.1, -0.1, 0.1, 0.1, kActionClear, 1);
    use({later, clear});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 3.0, 0.0), kSpecialPass);
    // When group 0 stops the ray, the later groups still run; an obstruction result stays.
    SpecialAperture obstruct1 = box(kApertureEllipse, 5.5, -1, 7.5, 1, kActionObstruct, 1);
    use({clear, obstruct1});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 6.0, 0.0), kSpecialObstructed);
    // Groups are alternatives: outside group 0's clear aperture, group 1 lets the ray pass.
    EXPECT_EQ(check_special_apertures(kApertureSurface, 9.0, 0.0), kSpecialPass);
    SpecialAperture obstruct0 = stop;
    SpecialAperture clear2 = box(kApertureEllipse, 2, -1, 4, 1, kActionClear, 2);
    use({obstruct0, clear2});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 0.0, 0.0), kSpecialObstructed);
    // Groups are taken in increasing number whatever the array order.
    use({clear2, obstruct0});
    EXPECT_EQ(check_special_apertures(kApertureSurface, 0.0, 0.0), kSpecialObstructed);
    EXPECT_EQ(check_special_apertures(kApertureSurface, 3.0, 0.0), kSpecialPass);
}

TEST_F(SpecialApertures, HitTestOfSearchingRays) {
    // No special apertures and a radius of 0: always hit.
    surface(kApertureSurface).aperture_radius = 0.0;
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 1e6, 1e6), 0);
    surface(kApertureSurface).aperture_radius = 2.0;
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 2.0, 0.0), 0);
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 2.0, 0.1), -1);
    surface(kApertureSurface).aperture_check = 1;
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 5.0, 0.0), 0);
    surface(kApertureSurface).aperture_check = 0;
    // Only clear entries count; a grouped one ends the test with a hit.
    use({box(kApertureEllipse, -1, -1, 1, 1, kActionObstruct),
         box(kApertureRectangle, -3, -3, 3, 3)});
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 0.0, 0.0), 0);
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 3.5, 0.0), -1);
    use({box(kApertureRectangle, -3, -3, 3, 3, kActionClear, 1)});
    EXPECT_EQ(aperture_hit_test(kApertureSurface, 30.0, 0.0), 0);
}

}  // namespace
}  // namespace geometry_test
