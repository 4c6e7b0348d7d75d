// Global frames of surfaces against hand-computed placements: plain lenses, decentres in
// either order, a fold mirror that bends the axis, coordinate returns and global-coordinate
// records; tilt matrices and angles.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/trace/geometry/geometry_fixture.h"
#include "trace/surface_frames.h"

namespace geometry_test {
namespace {

constexpr double kTight = 1e-12;
const double kDeg = M_PI / 180.0;

using Mat = std::array<double, 9>;

Mat rot_x(double a) {
    const double c = std::cos(a * kDeg), s = std::sin(a * kDeg);
    return {1, 0, 0, 0, c, -s, 0, s, c};
}
Mat rot_y(double a) {
    const double c = std::cos(a * kDeg), s = std::sin(a * kDeg);
    return {c, 0, s, 0, 1, 0, -s, 0, c};
}
Mat rot_z(double a) {
    const double c = std::cos(a * kDeg), s = std::sin(a * kDeg);
    return {c, -s, 0, s, c, 0, 0, 0, 1};
}
Mat mul(const Mat& a, const Mat& b) {
    Mat r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
    return r;
}

class Frames : public GeometryTest {
protected:
    // Surfaces 1..3 with thicknesses 5, 10, 20; the image surface 4; object 50 before.
    void SetUp() override {
        GeometryTest::SetUp();
        thickness(1, 5.0);
        thickness(2, 10.0);
        thickness(3, 20.0);
        make_lens(3, 50.0);
    }
    // A decentre record as the lens set-up prepares it.
    DecentreRecord& tilt(int n, double a, double b, double c, int order, double dcx, double dcy,
                         double dcz) {
        DecentreRecord& d = decentre(n);
        d.tla = a;
        d.tlb = b;
        d.tlc = c;
        d.dcx = dcx;
        d.dcy = dcy;
        d.dcz = dcz;
        d.tilt_mode = order == 0 ? 1 : order;
        double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const int kind = tilt_matrix_from_angles(a, b, d.tlc, m, surface(n).bend ? 0 : d.tilt_mode);
        std::copy(m, m + 9, d.rotation);
        d.rotation_kind = static_cast<std::uint8_t>(kind);
        return d;
    }
    static void expect_frame(int n, const Mat& r, double tx, double ty, double tz) {
        SCOPED_TRACE(::testing::Message() << "surface " << n);
        const SurfaceFrame& f = surface(n).frame;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(f.m[4 * i + j], r[3 * i + j], kTight);
        }
        EXPECT_NEAR(f.m[3], tx, kTight);
        EXPECT_NEAR(f.m[7], ty, kTight);
        EXPECT_NEAR(f.m[11], tz, kTight);
    }
    const Mat identity_{1, 0, 0, 0, 1, 0, 0, 0, 1};
};

TEST_F(Frames, PlainLensStacksTheThicknesses) {
    surface(4).thickness = 2.0;
    lens_data().frames_valid = 0;
    build_surface_frames(0);
    EXPECT_EQ(lens_data().frames_valid, 1);
    const double z[] = {0.0, 0.0, 5.0, 15.0, 37.0};  // the image plane 2 beyond the nominal one
    for (int n = 1; n <= 4; ++n) {
        expect_frame(n, identity_, 0, 0, z[n]);
        EXPECT_EQ(surface(n).frame_rotated, 0);
    }
    expect_frame(0, identity_, 0, 0, -50.0);
    // Built frames are kept until the lens changes.
    surface(2).thickness = 100.0;
    build_surface_frames(0);
    expect_frame(3, identity_, 0, 0, 15.0);
    // In an afocal lens the image surface's thickness is not applied, as in the trace.
    lens_data().afocal = 1;
    lens_data().frames_valid = 0;
    build_surface_frames(0);
    expect_frame(4, identity_, 0, 0, 125.0);
    // A partial build leaves the frames marked invalid.
    build_surface_frames(2);
    EXPECT_EQ(lens_data().frames_valid, 0);
}

TEST_F(Frames, DecentresInEitherOrderAndWithout) {
    tilt(3, 0, 0, 0, 1, 0, 1.0, 0);
    build_surface_frames(0);
    expect_frame(3, identity_, 0, 1, 15);
    expect_frame(4, identity_, 0, 1, 35);
    // Order word 0 carries no offsets.
    decentres_[3].tilt_mode = 0;
    lens_data().frames_valid = 0;
    build_surface_frames(0);
    expect_frame(3, identity_, 0, 0, 15);

    // Offsets after a 30 degree tilt: the offset turns with the surface.
    tilt(2, 30, 0, 0, -1, 0, 1.0, 0);
    surface(3).decentre = nullptr;
    lens_data().frames_valid = 0;
    build_surface_frames(0);
    const Mat r = rot_x(-30);  // the frame rotation: the transpose of the ray's
    const double c = std::cos(30 * kDeg), s = std::sin(30 * kDeg);
    expect_frame(2, r, 0, c, 5 - s);
    EXPECT_EQ(surface(2).frame_rotated, 1);
    // The next surface lies 10 along the tilted axis.
    expect_frame(3, r, 0, c + 10 * s, 5 - s + 10 * c);
    // Offsets before a general tilt.
    tilt(2, 20, 15, 5, 1, 0.5, -0.25, 0.125);
    lens_data().frames_valid = 0;
    build_surface_frames(0);
    const Mat m = mul(rot_z(-5), mul(rot_y(15), rot_x(20)));
    const Mat rt{m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]};
    expect_frame(2, rt, 0.5, -0.25, 5.125);
}

TEST_F(Frames, FoldMirrorBendsTheAxis) {
    surface(2).bend = 1;
    tilt(2, 45, 0, 0, 1, 0, 0, 0);
    build_surface_frames(0);
    expect_frame(2, rot_x(-45), 0, 0, 5);
    // After the fold the axis runs along +y.
    expect_frame(3, rot_x(-90), 0, 10, 5);
    expect_frame(4, rot_x(-90), 0, 30, 5);
}

TEST_F(Frames, CoordinateReturnAndGlobalCoordinateRecords) {
    // A return naming the surface itself: the next surface is placed as if surface 2 had no
    // decentre, and the record is rewritten as surface 2's placement.
    tilt(2, 10, 0, 0, 1, 0, 1.0, 0);
    DecentreRecord rco{};
    rco.pickup_source = 2;
    surface(2).return_coordinates = &rco;
    build_surface_frames(4);
    expect_frame(2, rot_x(-10), 0, 1, 5);
    expect_frame(3, identity_, 0, 0, 15);
    EXPECT_EQ(rco.tilt_mode, 1);
    EXPECT_EQ(rco.rotation_kind, 1);
    EXPECT_NEAR(rco.dcy, 1.0, kTight);
    EXPECT_NEAR(rco.dcz, 0.0, kTight);
    const Mat back = rot_x(10);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(rco.rotation[i], back[i], kTight) << i;

    // A return to surface 1: the next surface continues 10 past surface 1's vertex.
    rco = DecentreRecord{};
    rco.pickup_source = 1;
    lens_data().frames_valid = 0;
    build_surface_frames(0);
    expect_frame(3, identity_, 0, 0, 10);

    // A global-coordinate record: surface 3's decentre is given in surface 1's frame, and the
    // record keeps where the thickness alone would have put surface 3.
    surface(2).return_coordinates = nullptr;
    surface(2).decentre = nullptr;
    tilt(3, 0, 0, 0, 1, 0, 2.0, 0);
    DecentreRecord gc{};
    gc.pickup_source = 1;
    surface(3).decentre_reference = &gc;
    build_surface_frames(4);
    expect_frame(3, identity_, 0, 2, 0);
    expect_frame(4, identity_, 0, 2, 20);
    EXPECT_EQ(gc.rotation_kind, 0);
    EXPECT_NEAR(gc.dcz, 15.0, kTight);
    EXPECT_NEAR(gc.dcy, 0.0, kTight);
}

TEST_F(Frames, TiltMatricesAndAngles) {
    // Only the y-z block of a rotation about x is written.
    double m[9];
    std::fill(m, m + 9, 7.0);
    double c = 0.0;
    EXPECT_EQ(tilt_matrix_from_angles(30, 0, c, m, 1), 1);
    EXPECT_NEAR(m[4], std::cos(30 * kDeg), kTight);
    EXPECT_NEAR(m[5], -0.5, kTight);
    EXPECT_NEAR(m[7], 0.5, kTight);
    for (int i : {0, 1, 2, 3, 6}) EXPECT_EQ(m[i], 7.0);
    std::fill(m, m + 9, 7.0);
    EXPECT_EQ(tilt_matrix_from_angles(0, 0, c, m, 1), 0);
    for (double v : m) EXPECT_EQ(v, 7.0);
    // Order 0 clears a given twist first.
    c = 12.0;
    EXPECT_EQ(tilt_matrix_from_angles(25, 0, c, m, 0), 1);
    EXPECT_EQ(c, 0.0);

    // General tilts in both orders.
    c = 10.0;
    EXPECT_EQ(tilt_matrix_from_angles(30, 20, c, m, 1), 2);
    Mat want = mul(rot_z(-10), mul(rot_y(20), rot_x(30)));
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], want[i], kTight) << i;
    EXPECT_EQ(tilt_matrix_from_angles(30, 20, c, m, -1), 2);
    want = mul(rot_x(30), mul(rot_y(20), rot_z(-10)));
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], want[i], kTight) << i;
    // Order 0 picks the twist-free third angle and writes it back.
    c = 0.0;
    EXPECT_EQ(tilt_matrix_from_angles(30, 20, c, m, 0), 2);
    const double ca = std::cos(30 * kDeg), cb = std::cos(20 * kDeg);
    EXPECT_NEAR(std::cos(c * kDeg), (ca + cb) / (1 + ca * cb), 1e-9);
    EXPECT_LT(c, 0.0);

    // The angles of a direction invert the tilt: (a, b, 0) turns the axis onto it.
    double a = 1.0, b = 1.0;
    tilt_angles_from_direction(1, 0, 0, a, b);
    EXPECT_EQ(a, 0.0);
    EXPECT_EQ(b, -90.0);
    tilt_angles_from_direction(0, 0, 1, a, b);
    EXPECT_EQ(a, 0.0);
    EXPECT_EQ(b, 0.0);
    const double dir[3] = {-std::sin(20 * kDeg), std::sin(35 * kDeg) * std::cos(20 * kDeg),
                           std::cos(35 * kDeg) * std::cos(20 * kDeg)};
    tilt_angles_from_direction(dir[0], dir[1], dir[2], a, b);
    EXPECT_NEAR(a, 35.0, 1e-8);
    EXPECT_NEAR(b, 20.0, 1e-8);
    EXPECT_EQ(angle_from_sin_cos(0, -1), 180.0);
    EXPECT_NEAR(angle_from_sin_cos(-0.5, -std::sqrt(0.75)), -150.0, 1e-8);
    EXPECT_EQ(angle_from_sin_cos(1e-12, 1.0), 0.0);
}

TEST_F(Frames, PointsBetweenFrames) {
    tilt(2, 90, 0, 0, 1, 0, 3.0, 0);
    build_surface_frames(0);
    // Surface 2 is turned by 90 degrees about x: its local y runs along global -z.
    double p[3] = {1.0, 2.0, 0.0};
    frame_point_between_surfaces(p, 2, 0, 1);
    EXPECT_NEAR(p[0], 1.0, kTight);
    EXPECT_NEAR(p[1], 3.0, kTight);
    EXPECT_NEAR(p[2], 5.0 - 2.0, kTight);
    double g[3];
    frame_xyz_to_global(1.0, 2.0, 0.0, 2, g);
    EXPECT_NEAR(g[2], 3.0, kTight);
    // Into the frame of surface 3 (which continues in surface 2's axes, 10 further along).
    double q[3] = {0.0, 0.0, 0.0};
    frame_point_between_surfaces(q, 2, 3, 1);
    EXPECT_NEAR(q[2], -10.0, kTight);
    // Without the offsets only the rotation applies.
    double d[3] = {0.0, 1.0, 0.0};
    frame_point_between_surfaces(d, 2, 1, 0);
    EXPECT_NEAR(d[1], 0.0, kTight);
    EXPECT_NEAR(d[2], -1.0, kTight);
}

}  // namespace
}  // namespace geometry_test
