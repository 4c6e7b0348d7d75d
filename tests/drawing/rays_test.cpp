// Rays in the lens drawing, collected in the IGES point list: the path against a vector-law
// trace written here, the ray-set rows, the ends of rays, vignetting, and the field point the
// analyses find again afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/new_lens_command.h"
#include "tables/table_names.h"
#include "tests/drawing/drawing_fixture.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/ray_record.h"

namespace {

using drawing_test::Drawing;
using drawing_test::Point;
using drawing_test::Polyline;

struct Vec {
    double x, y, z;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator*(double s, Vec a) {
    return {s * a.x, s * a.y, s * a.z};
}
double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The ray p + t d meets the sphere of radius R whose vertex is at z = v (nearest the vertex).
Vec meet_sphere(Vec p, Vec d, double v, double radius) {
    const Vec c = {0.0, 0.0, v + radius};
    const Vec w = p - c;
    const double b = dot(w, d);
    const double q = dot(w, w) - radius * radius;
    const double root = std::sqrt(b * b - q);
    const double t1 = -b - root;
    const double t2 = -b + root;
    const Vec h1 = p + t1 * d;
    const Vec h2 = p + t2 * d;
    return std::fabs(h1.z - v) < std::fabs(h2.z - v) ? h1 : h2;
}

// Snell's law in vector form at a sphere of radius R centred on the axis at z = cz.
Vec refract(Vec d, Vec hit, double cz, double n1, double n2) {
    Vec n = hit - Vec{0.0, 0.0, cz};
    const double len = std::sqrt(dot(n, n));
    n = (1.0 / len) * n;
    if (dot(n, d) < 0) n = -1.0 * n;
    const double mu = n1 / n2;
    const double c = dot(n, d);
    const double k = std::sqrt(1.0 - mu * mu * (1.0 - c * c));
    return mu * d + (k - mu * c) * n;
}

class Rays : public Drawing {
protected:
    void SetUp() override {
        Drawing::SetUp();
        run_all(
            {"LEN NEW \"Singlet\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END", "LEN"});
        ASSERT_EQ(iges("draw_lens elev 0 0 0").size(), 6u);
    }
    DrawingConditions& dc() { return *lens_data().drawing_conditions; }
    // One ray-set row as the lens's only one.
    void row(double lower, double upper, int count, int wavelength) {
        DrawingRaySet& r = dc().rows[0];
        r.field_fraction = 0.0;
        r.x_field_fraction = 0.0;
        r.pupil_min = lower;
        r.pupil_max = upper;
        r.offset = 0.0;
        r.ray_count = count;
        r.wavelength = wavelength;
        r.drawn = 1;
        dc().row_count = 1;
    }
    double index(int n) const { return surface(n).index[lens_data().current_wavelength]; }
    double optical_path(const Polyline& l) const {
        // Object space, glass, then air behind the lens.
        const double n[3] = {index(0), index(1), index(2)};
        double path = 0.0;
        for (std::size_t k = 1; k < l.size(); ++k) {
            path += n[std::min<std::size_t>(k - 1, 2)] * drawing_test::distance(l[k - 1], l[k]);
        }
        return path;
    }
};

TEST_F(Rays, VerticesFollowTheVectorLaw) {
    const std::vector<Polyline> lines = iges("draw_rays field 0 0 0 1 0.6 0.6 0");
    ASSERT_EQ(lines.size(), 1u);
    const Polyline& l = lines[0];
    ASSERT_EQ(l.size(), 4u);
    // The stub starts on the plane half an aperture in front of surface 1, along the axis.
    EXPECT_NEAR(l[0][2], -5.0, 1e-12);
    // Pupil fraction 0.6 of the entrance beam, the stop being the first surface.
    EXPECT_NEAR(l[0][1], 0.6 * lens_data().entrance_beam_radius, 1e-12);
    Vec p = {l[0][0], l[0][1], l[0][2]};
    Vec d = {0.0, 0.0, 1.0};
    const Vec h1 = meet_sphere(p, d, 0.0, 50.0);
    d = refract(d, h1, 50.0, index(0), index(1));
    const Vec h2 = meet_sphere(h1, d, 5.0, -50.0);
    d = refract(d, h2, -45.0, index(1), index(2));
    // Ended on the plane half an aperture behind surface 2.
    const double t = (10.0 - h2.z) / d.z;
    const Vec end = h2 + t * d;
    const Vec expected[3] = {h1, h2, end};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(l[k + 1][0], expected[k].x, 1e-12);
        EXPECT_NEAR(l[k + 1][1], expected[k].y, 1e-12);
        EXPECT_NEAR(l[k + 1][2], expected[k].z, 1e-12);
    }
}

TEST_F(Rays, RowsDrawTheirFans) {
    const int current = lens_data().current_wavelength + 1;
    row(-1.0, 1.0, 1, 0);
    const std::vector<Polyline> single = iges("draw_field_rays");
    ASSERT_EQ(single.size(), 1u);
    // One ray: the lower limit.
    EXPECT_EQ(single, iges("draw_rays field 0 0 0 1 -1 -1 0"));
    row(-1.0, 1.0, 3, current);
    const std::vector<Polyline> fan = iges("draw_field_rays");
    ASSERT_EQ(fan.size(), 3u);
    row(1.0, -1.0, 3, current);  // limits given the other way round
    EXPECT_EQ(iges("draw_field_rays"), fan);
    row(-1.0, 1.0, 3, 0);  // wavelength 0: the current one
    EXPECT_EQ(iges("draw_field_rays"), fan);
    row(-1.0, 1.0, 0, 0);  // no rays
    EXPECT_TRUE(iges("draw_field_rays").empty());
}

TEST_F(Rays, RaysEndAsTheConditionsSay) {
    row(-1.0, 1.0, 5, 0);
    struct Case {
        int dlrs;
        std::size_t points;
        double end_z;  // NaN: not on a plane
    };
    const Case cases[] = {
        {0, 4u, 10.0},          // the plane half an aperture behind the last surface
        {2, 3u, std::nan("")},  // at the last surface
        {3, 4u, 45.0},          // on to the image surface
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dlrs);
        dc().dlrs = c.dlrs;
        const std::vector<Polyline> lines = iges("draw_field_rays");
        ASSERT_EQ(lines.size(), 5u);
        for (const Polyline& l : lines) {
            ASSERT_EQ(l.size(), c.points);
            if (!std::isnan(c.end_z)) {
                EXPECT_NEAR(l.back()[2], c.end_z, 1e-9);
            }
        }
    }
    // Equal optical path from the plane in front of the lens: a wavefront.
    dc().dlrs = 1;
    const std::vector<Polyline> lines = iges("draw_field_rays");
    ASSERT_EQ(lines.size(), 5u);
    const double reference = optical_path(lines[2]);
    for (const Polyline& l : lines) {
        ASSERT_EQ(l.size(), 4u);
        EXPECT_NEAR(optical_path(l), reference, 1e-9);
    }
    EXPECT_GT(std::fabs(lines[0].back()[2] - lines[2].back()[2]), 1e-6);
}

TEST_F(Rays, VignettedRayEndsAtItsAperture) {
    // The second surface stops rays above half the entrance beam.
    const double limit = 0.5 * lens_data().entrance_beam_radius;
    surface(2).aperture_radius = limit;
    surface(2).aperture_check = 1;
    lens_data().apck = 1;
    const std::vector<Polyline> lines = iges("draw_rays field 0 0 0 2 0.1 1 0");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 4u);
    ASSERT_EQ(lines[1].size(), 3u);
    const Point& last = lines[1].back();
    EXPECT_GT(std::hypot(last[0], last[1]), limit);
    EXPECT_NEAR(std::hypot(last[1], last[2] - (5.0 - 50.0)), 50.0, 1e-9);
}

TEST_F(Rays, FieldPointAndReferenceRayComeBackUnchanged) {
    run_all({"trace_ref_ray 0.5 0.0 0.0 0.0 0.0"});
    object_point().y = 0.5;
    object_point().pupil_y = 0.25;
    const ObjectPoint point = object_point();
    const ReferenceRay reference = reference_ray();
    row(-1.0, 1.0, 3, 0);
    dc().rows[0].field_fraction = 1.0;
    iges("draw_field_rays");
    EXPECT_EQ(std::memcmp(&point, &object_point(), sizeof point), 0);
    EXPECT_EQ(std::memcmp(&reference, &reference_ray(), sizeof reference), 0);
    // A range with nothing to draw in it draws no ray and changes nothing either.
    run_all({"LEN NEW \"Dummy\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 10 AIR 10", "SRF 0 30 AIR 8",
             "END", "LEN", "trace_ref_ray 0.5 0.0 0.0 0.0 0.0"});
    object_point() = point;
    const ReferenceRay dummy_reference = reference_ray();
    ASSERT_EQ(run("draw_lens elev 0 0 0 0 3 3"), 0) << error_text();
    row(-1.0, 1.0, 3, 0);
    EXPECT_TRUE(iges("draw_field_rays").empty());
    EXPECT_EQ(std::memcmp(&point, &object_point(), sizeof point), 0);
    EXPECT_EQ(std::memcmp(&dummy_reference, &reference_ray(), sizeof dummy_reference), 0);
}

}  // namespace

namespace {

// A rod of gradient index: the ray's curved path through the medium is drawn point by point.
TEST_F(Drawing, GradientRodPathIsDrawnThroughItsPoints) {
    run_all({"LEN NEW \"Rod\"", "NXT", "SRF 0 20 N-BK7 3", "SRF 0 10 AIR 3", "NXT", "END", "LEN",
             "GTO 1", "GDT SEL", "DTH 0.05", "NR1 WV1 0.15", "NR1 WV2 0.15", "NR1 WV3 0.15",
             "END"});
    ASSERT_NE(surface(1).grin, nullptr);
    ASSERT_EQ(iges("draw_lens elev 0 0 0").size(), 6u);
    const std::vector<Polyline> lines = iges("draw_rays field 0 0 0 1 0.8 0.8 0");
    ASSERT_EQ(lines.size(), 1u);
    const Polyline& l = lines[0];
    // Start, entry, the path points (20 / 0.05 steps), exit, end.
    ASSERT_GT(l.size(), 100u);
    for (std::size_t k = 2; k + 2 < l.size(); ++k) {
        EXPECT_GT(l[k][2], l[k - 1][2]) << k;
        EXPECT_LE(l[k][2], 20.0 + 1e-9);
    }
    // The path bends: the height changes along the rod.
    double low = 1e9, high = -1e9;
    for (const Point& p : l) {
        if (p[2] < 0.0 || p[2] > 20.0) continue;
        low = std::min(low, p[1]);
        high = std::max(high, p[1]);
    }
    EXPECT_GT(high - low, 0.1);
}

}  // namespace

namespace {

// A perfect lens of focal length 50: rays are drawn through the point where they meet it and
// on to its focus.
TEST_F(Drawing, PerfectLensRaysMeetAtTheFocus) {
    NewLensRequest request;
    request.file_name = "perfect";
    request.kind = kNewLensPerfect;
    request.focal_length = 50.0;
    request.numerical_aperture = 0.1;
    NewLensResult result;
    ASSERT_EQ(new_lens_from_request(request, result), 0);
    ASSERT_EQ(lens_setup(0), 0);
    lens_data().drawing_conditions->dlrs = 3;  // on to the image surface
    iges("draw_lens elev 0 0 0");
    const std::vector<Polyline> lines = iges("draw_rays field 0 0 0 3 -1 1 0");
    ASSERT_EQ(lines.size(), 3u);
    const double image_z = lines[1].back()[2];
    for (const Polyline& l : lines) {
        ASSERT_GE(l.size(), 3u);
        // The last point is the focus on the axis.
        EXPECT_NEAR(l.back()[1], 0.0, 1e-9);
        EXPECT_NEAR(l.back()[2], image_z, 1e-9);
    }
    // The marginal ray: its start, the first surface, the point where it meets the perfect
    // lens, the point it leaves from towards the focus (50 behind, at the angle whose sine is
    // height / f), and the focus.
    const Polyline& top = lines[2];
    ASSERT_EQ(top.size(), 5u);
    const double h = top[0][1];
    EXPECT_NEAR(top[2][1], h, 1e-9);
    EXPECT_NEAR(image_z - top[2][2], 50.0, 1e-9);
    EXPECT_NEAR(top[3][1], 50.0 * std::tan(std::asin(h / 50.0)), 1e-9);
    EXPECT_NEAR(image_z - top[3][2], 50.0, 1e-9);
}

}  // namespace
