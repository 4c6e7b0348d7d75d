// The ray-trace commands typed on the command line of the started program, on a singlet built
// through the lens setters: what the user sees, checked against a vector-law trace.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "platform/state_reset.h"
#include "runtime/state_flags.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "trace/drawing_buffers.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"

namespace loop_test {
namespace {

constexpr double kGlassIndex = 1.5168;

// The singlet's model glass: the same index at every wavelength, as the argument cells of an
// entry command would give it.
int glass_index_argument(int cell, double* value) {
    if (cell < 2 || cell > 4) return 0;
    *value = kGlassIndex;
    return 1;
}
const MediumEntrySource kGlassSource{glass_index_argument, nullptr};

class TraceCommands : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        ASSERT_EQ(lens_new(), 0);
        // The trace's own state lives for the program: each test starts from a new one.
        reset_pupil_scale_factors();
        LensData& l = lens_data();
        l.image_surface = 3;
        l.aperture_stop = 1;
        l.reference_surface = 1;
        set_thickness_data(0, 0, 0, 0, 0, 0, 200.0);
        set_curvature_data(1, 0, 0, 0, 1.0 / 50.0);
        set_thickness_data(1, 0, 0, 0, 0, 0, 6.0);
        set_curvature_data(2, 0, 0, 0, -1.0 / 80.0);
        set_thickness_data(2, 0, 0, 0, 0, 0, 60.0);
        set_medium_entry_source(&kGlassSource);
        ASSERT_EQ(set_surface_medium(1, kMediumModelGlass, "BK", 0), 0);
        for (int n : {0, 2, 3}) ASSERT_EQ(set_surface_medium(n, kMediumAir, "AIR", 0), 0);
        l.aperture_is_na = 0;
        l.entrance_beam_radius = 8.0;
        l.field_is_angle = 0;
        l.object_height = 20.0;
        ASSERT_EQ(lens_setup(0), 0);
        set_medium_entry_source(nullptr);
        run_.output.str("");
    }
};

// The numbers of one labelled row of the listing.
std::vector<double> row_numbers(const std::string& text, const std::string& label) {
    std::vector<double> values;
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return values;
    std::istringstream line(
        text.substr(at + label.size(), text.find('\n', at) - at - label.size()));
    std::string word;
    while (line >> word) values.push_back(word == "--" ? 0.0 : std::stod(word));
    return values;
}

std::string read_fixture(const std::string& name) {
    std::ifstream in(std::string(TAVO_FIXTURES_DIR) + "/trace/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using Vec = std::array<double, 3>;
double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec along(const Vec& p, const Vec& d, double t) {
    return {p[0] + t * d[0], p[1] + t * d[1], p[2] + t * d[2]};
}
Vec unit(const Vec& a) {
    const double r = std::sqrt(dot(a, a));
    return {a[0] / r, a[1] / r, a[2] / r};
}
// Snell's law in vector form, for a unit normal n on the side the ray comes from or not.
Vec refract(const Vec& i, Vec n, double n1, double n2) {
    double c = dot(i, n);
    if (c < 0) {
        n = {-n[0], -n[1], -n[2]};
        c = -c;
    }
    const double mu = n1 / n2;
    const double ct = std::sqrt(1.0 - mu * mu * (1.0 - c * c));
    return {mu * i[0] + (ct - mu * c) * n[0], mu * i[1] + (ct - mu * c) * n[1],
            mu * i[2] + (ct - mu * c) * n[2]};
}
// Distance along d from p to the sphere with vertex at z = v and radius r, nearest the vertex.
double to_sphere(const Vec& p, const Vec& d, double v, double r) {
    const Vec pc{p[0], p[1], p[2] - (v + r)};
    const double b = dot(pc, d), c = dot(pc, pc) - r * r;
    const double root = std::sqrt(b * b - c);
    const double t1 = -b - root, t2 = -b + root;
    return std::fabs(along(p, d, t1)[2] - v) < std::fabs(along(p, d, t2)[2] - v) ? t1 : t2;
}

// The chief ray from the object point 0.7 of the field goes through the vertex of surface 1
// (the stop); the vector law gives its image height and its optical path from there.
TEST_F(TraceCommands, TheReferenceRayListingShowsTheVectorLawRay) {
    type("trace_ref_ray 0.7 0 0 0 0");
    EXPECT_EQ(errors(), "");
    const std::string text = output();
    EXPECT_EQ(text, read_fixture("reference_ray.txt"));

    const Vec object{0.0, 0.7 * 20.0, -200.0};
    Vec d = unit({-object[0], -object[1], -object[2]});
    Vec p{0.0, 0.0, 0.0};
    d = refract(d, {0.0, 0.0, 1.0}, 1.0, kGlassIndex);
    const double t1 = to_sphere(p, d, 6.0, -80.0);
    p = along(p, d, t1);
    const Vec normal = unit({p[0], p[1], p[2] - (6.0 - 80.0)});
    d = refract(d, normal, kGlassIndex, 1.0);
    const double t2 = (66.0 - p[2]) / d[2];
    p = along(p, d, t2);
    const std::vector<double> image = row_numbers(text, "IMAGE Y X");
    ASSERT_EQ(image.size(), 6u);
    EXPECT_NEAR(image[0], p[1], 1e-6);
    EXPECT_NEAR(image[1], 0.0, 1e-6);
    EXPECT_NEAR(image[4], kGlassIndex * t1 + t2, 1e-6);
    const std::vector<double> object_row = row_numbers(text, "OBJ Y X Z");
    EXPECT_EQ(object_row, (std::vector<double>{0.7, 0.0, 0.0}));
}

// An object point off the axis is refused, without a listing, when the lens keeps its object on
// the axis; the axis itself is taken.
TEST_F(TraceCommands, AnAxialObjectLensRefusesAnOffAxisPoint) {
    lens_data().axial_object_radius = 1.0;
    type("object_point 0.5");
    EXPECT_EQ(output(), "");
    EXPECT_NE(errors().find("the object point must be 0 0 0"), std::string::npos);
    type("object_point 0 0 0");
    EXPECT_NE(output().find("OBJECT POINT"), std::string::npos);
}

// A single ray listed in the coordinates of surface 1 with its normals: every surface line
// holds the point and the direction angles the vector law gives, from the object point through
// the ray's start point on the plane of surface 1.
TEST_F(TraceCommands, TheSingleRayListingShowsTheVectorLawRay) {
    type("trace_single_ray 1 1 0.7 0 0 0.5 0.3 1 1 3 0");
    EXPECT_EQ(errors(), "");
    const std::string text = output();
    EXPECT_EQ(text, read_fixture("single_ray.txt"));

    const LensData& l = lens_data();
    const Vec object{0.0, 0.7 * 20.0, -200.0};
    const Vec start{l.axial_start_height * 0.3,
                    l.chief_start_height * 0.7 + l.axial_start_height * 0.5, 0.0};
    Vec d = unit({start[0] - object[0], start[1] - object[1], start[2] - object[2]});
    Vec p = start;
    std::vector<Vec> points, directions;
    const double vertex[2] = {0.0, 6.0}, radius[2] = {50.0, -80.0}, n_after[2] = {kGlassIndex, 1.0};
    double n = 1.0;
    for (int j = 0; j < 2; ++j) {
        p = along(p, d, to_sphere(p, d, vertex[j], radius[j]));
        const Vec normal = unit({p[0], p[1], p[2] - (vertex[j] + radius[j])});
        d = refract(d, normal, n, n_after[j]);
        n = n_after[j];
        points.push_back(p);
        directions.push_back(d);
    }
    p = along(p, d, (66.0 - p[2]) / d[2]);
    points.push_back(p);
    directions.push_back(d);

    std::istringstream lines(text);
    std::string line;
    int surface_lines = 0;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        int s = 0;
        if (!(words >> s) || s < 1 || s > 3) continue;
        std::vector<double> v;
        std::string w;
        while (words >> w) v.push_back(w == "--" ? 0.0 : std::stod(w));
        ASSERT_EQ(v.size(), 6u) << line;
        SCOPED_TRACE(line);
        const Vec& q = points[s - 1];
        const Vec& e = directions[s - 1];
        EXPECT_NEAR(v[0], q[1], 2e-6);
        EXPECT_NEAR(v[1], q[0], 2e-6);
        EXPECT_NEAR(v[2], q[2], 2e-6);
        EXPECT_NEAR(v[3], std::atan2(e[1], e[2]) * 180.0 / M_PI, 2e-6);
        EXPECT_NEAR(v[4], std::atan2(e[0], e[2]) * 180.0 / M_PI, 2e-6);
        ++surface_lines;
    }
    EXPECT_EQ(surface_lines, 3);
}

// A ray beyond the rim of surface 1 (radius 50) prints its failure with the surface number,
// and the listing ends there.
TEST_F(TraceCommands, ARayThatMissesPrintsItsFailureAndTheListingEnds) {
    type("trace_single_ray 0 0 0 0 0 8 0 1 1 3 0");
    const std::string text = output();
    EXPECT_NE(text.find("The ray misses surface 1"), std::string::npos) << text;
    EXPECT_EQ(text.find("\n  2 "), std::string::npos) << text;
    EXPECT_EQ(text.find("RAY  "), std::string::npos) << text;
}

// A wavelength number outside the lens's table is refused before anything is traced.
TEST_F(TraceCommands, AWavelengthOutsideTheTableIsRefused) {
    for (const char* line :
         {"trace_single_ray 0 0 0 0 0 0 0 0", "trace_single_ray 0 0 0 0 0 0 0 4"}) {
        SCOPED_TRACE(line);
        run_.output.str("");
        run_.errors.str("");
        type(line);
        EXPECT_EQ(output(), "");
        EXPECT_NE(errors().find("The wavelength number must lie between 1 and 3"),
                  std::string::npos)
            << errors();
    }
}

// From the current object point: the optical path difference follows the pupil only when the
// listing reaches the image.
TEST_F(TraceCommands, ThePupilRayShowsItsPathDifferenceAtTheImageOnly) {
    type("trace_pupil_ray 0 0 0 0.5 0 1 2");
    std::string text = output();
    EXPECT_NE(text.find("PUPIL     0.500000      --    \n"), std::string::npos) << text;
    run_.output.str("");
    type("trace_pupil_ray 0 0 1 0.5 0");
    text = output();
    const std::size_t at = text.find("PUPIL     0.500000      --    ");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_GT(text.find('\n', at) - at, 30u + 36u) << text;
}

// The rows of a fan listing: the numbers after the ray number, by row.
std::vector<std::vector<double>> fan_rows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        int n = 0;
        if (line.size() < 3 || !(words >> n) || std::to_string(n).size() > 3) continue;
        std::vector<double> v;
        std::string w;
        while (words >> w) v.push_back(w == "--" ? 0.0 : std::stod(w));
        rows.push_back(v);
    }
    return rows;
}

// An on-axis y fan with intercepts: each ray's height on the image plane is the vector-law
// height of the ray from the axial object point through its start point on surface 1.
TEST_F(TraceCommands, TheFanListingShowsTheVectorLawIntercepts) {
    type("ray_fan 0 2 5");
    EXPECT_EQ(errors(), "");
    const std::string text = output();
    EXPECT_EQ(text, read_fixture("ray_fan.txt"));
    const auto rows = fan_rows(text);
    ASSERT_EQ(rows.size(), 5u);
    const double epr = lens_data().axial_start_height;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double pupil = 1.0 - 0.5 * static_cast<double>(i);
        SCOPED_TRACE(pupil);
        ASSERT_EQ(rows[i].size(), 10u);
        EXPECT_NEAR(rows[i][0], pupil, 1e-12);
        // From the axial object point, 200 before surface 1, to the start point.
        Vec d = unit({0.0, epr * pupil, 200.0});
        Vec p{0.0, epr * pupil, 0.0};
        const double vertex[2] = {0.0, 6.0}, radius[2] = {50.0, -80.0};
        const double n_after[2] = {kGlassIndex, 1.0};
        double n = 1.0;
        for (int j = 0; j < 2; ++j) {
            p = along(p, d, to_sphere(p, d, vertex[j], radius[j]));
            d = refract(d, unit({p[0], p[1], p[2] - (vertex[j] + radius[j])}), n, n_after[j]);
            n = n_after[j];
        }
        p = along(p, d, (66.0 - p[2]) / d[2]);
        EXPECT_NEAR(rows[i][4], p[1], 2e-6);         // DY
        EXPECT_NEAR(rows[i][2], d[1] / d[2], 2e-6);  // DTAN Y
        EXPECT_NEAR(rows[i][5], 0.0, 1e-12);         // DX
    }
}

// One ray lists the last pupil value only, two the last and the first; an x fan whose start is
// omitted covers the half pupil from the last value down to 0 with FANR / 2 rays, odd.
TEST_F(TraceCommands, TheRayCountDecidesThePupilValues) {
    struct Case {
        const char* line;
        std::vector<double> pupils;
    };
    const Case cases[] = {{"ray_fan 0 0 1 -1 0.5", {0.5}},
                          {"ray_fan 0 0 2 -1 0.5", {0.5, -1.0}},
                          {"ray_fan 0 0 3 -1 0.5", {0.5, -0.25, -1.0}},
                          {"ray_fan 1 0", {1.0, 0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1, 0.0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        run_.output.str("");
        type(c.line);
        const auto rows = fan_rows(output());
        ASSERT_EQ(rows.size(), c.pupils.size()) << output();
        for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_NEAR(rows[i][0], c.pupils[i], 1e-12);
    }
}

// The accuracy block of the speed test: the last ray (a = b = 1) after surface 13 of the test
// lens, recomputed here in long double by the same closed-form step with the lens of six
// biconvex elements of index 1.523 (radius 100, 1 thick, 0.1 apart) and a plane.
TEST_F(TraceCommands, TheSpeedTestAccuracyBlockMatchesALongDoubleTrace) {
    const long double c[14] = {0.01L,  -0.01L, 0.01L,  -0.01L, 0.01L,  -0.01L, 0.01L,
                               -0.01L, 0.01L,  -0.01L, 0.01L,  -0.01L, 0.0L,   0.0L};
    const long double t[14] = {0.0L, 1.0L, 0.1L, 1.0L, 0.1L, 1.0L, 0.1L,
                               1.0L, 0.1L, 1.0L, 0.1L, 1.0L, 0.1L, 1.0L};
    long double n[15];
    for (int i = 0; i < 15; ++i) n[i] = (i % 2 == 1 && i < 12) ? 1.523L : 1.0L;
    // A ray from 1e20 before surface 1 at height -1e18 aimed at (10, 10) on surface 1.
    long double x = 10.0L, y = 10.0L, z = 0.0L;
    const long double p = -x / 1e20L, q = (y + 1e18L) / 1e20L;
    const long double s0 = 1.0L / std::sqrt(1.0L + p * p + q * q);
    long double K = -s0 * p, L = s0 * q, M = s0;
    for (int i = 0; i < 13; ++i) {
        z -= t[i];
        const long double B = M - (M * z + K * x + L * y) * c[i];
        const long double C = (z * z + x * x + y * y) * c[i] - 2.0L * z;
        const long double cn = n[i] * n[i] * c[i], dn = n[i + 1] * n[i + 1] - n[i] * n[i];
        const long double root = std::sqrt(B * B - C * cn);
        const long double G = std::sqrt(B * B - C * cn + dn) - root;
        const long double d = C / (root + B);
        x += K * d;
        y += L * d;
        z += M * d;
        K -= x * G * c[i];
        L -= y * G * c[i];
        M += G - z * G * c[i];
    }
    for (const char* line : {"ray_speed_test 1", "ray_speed_test 1000", "ray_speed_test 3000001"}) {
        SCOPED_TRACE(line);
        run_.output.str("");
        type(line);
        const std::string text = output();
        const auto position = row_numbers(text, "x, y, z =");
        const auto direction = row_numbers(text, "k, l, m =");
        ASSERT_EQ(position.size(), 3u) << text;
        ASSERT_EQ(direction.size(), 3u) << text;
        EXPECT_NEAR(position[0], static_cast<double>(x), 1e-12);
        EXPECT_NEAR(position[1], static_cast<double>(y), 1e-12);
        EXPECT_NEAR(position[2], static_cast<double>(z), 1e-12);
        EXPECT_NEAR(direction[0], static_cast<double>(K), 1e-12);
        EXPECT_NEAR(direction[1], static_cast<double>(L), 1e-12);
        EXPECT_NEAR(direction[2], static_cast<double>(M), 1e-12);
        EXPECT_NE(text.find("Number of rays is"), std::string::npos);
        EXPECT_TRUE(text.find("surfs/sec") != std::string::npos ||
                    text.find("Time too short to measure") != std::string::npos)
            << text;
    }
    // No rays: the start lines only.
    run_.output.str("");
    type("ray_speed_test 0");
    EXPECT_EQ(output(), "\nNumber of rays is 0\nSTART...\n");
}

// The distance between the vertices of surfaces 1 and 2 is the thickness of surface 1; a
// surface number outside the lens is refused before anything is printed.
TEST_F(TraceCommands, TheDistanceBetweenVerticesIsTheThickness) {
    type("surface_distance 1 2");
    const auto d = row_numbers(output(), "DISTANCE\n");
    ASSERT_EQ(d.size(), 4u) << output();
    EXPECT_EQ(d, (std::vector<double>{0.0, 0.0, 6.0, 6.0}));
    // The two vertices are left in the lens drawing's scratch rows, in the frame of surface 1.
    const DrawingBuffers& drawing = drawing_buffers();
    ASSERT_NE(drawing.points, nullptr);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(drawing.points[0][k], 0.0) << k;
        EXPECT_EQ(drawing.points[1][k], k == 2 ? 6.0 : 0.0) << k;
    }
    // Two points of one surface, in its own frame: the chord of the sphere of radius 50.
    run_.output.str("");
    type("surface_distance 1 1 0 10");
    const auto c = row_numbers(output(), "DISTANCE\n");
    ASSERT_EQ(c.size(), 4u);
    const double sag = 50.0 - std::sqrt(2500.0 - 100.0);
    EXPECT_NEAR(c[3], std::sqrt(100.0 + sag * sag), 1e-6);
    for (const char* line : {"surface_distance -1 2", "surface_distance 1 4", "surface_sag 7",
                             "diffractive_phase -2", "grin_index 9"}) {
        SCOPED_TRACE(line);
        run_.output.str("");
        run_.errors.str("");
        type(line);
        EXPECT_EQ(output(), "");
        EXPECT_NE(errors().find("The surface number must lie between 0 and 3"), std::string::npos)
            << errors();
    }
}

// Sags: the plane image surface has sag 0 and normal (0, 0, 1); the sphere of radius 50 at
// height 10 has the sag R - sqrt(R^2 - y^2) and the normal -(0, y, z - R) / R.
TEST_F(TraceCommands, TheSagCommandGivesPlaneAndSphereSags) {
    type("surface_sag 3 2 1");
    auto v = row_numbers(output(), "NZ\n");
    EXPECT_EQ(v, (std::vector<double>{2.0, 1.0, 0.0, 0.0, 0.0, 1.0}));
    run_.output.str("");
    type("surface_sag 1 10 0");
    v = row_numbers(output(), "NZ\n");
    ASSERT_EQ(v.size(), 6u);
    const double z = 50.0 - std::sqrt(2400.0);
    EXPECT_NEAR(v[2], z, 1e-6);
    EXPECT_NEAR(v[3], -10.0 / 50.0, 1e-6);
    EXPECT_NEAR(v[5], (50.0 - z) / 50.0, 1e-6);
}

// A grating of 0.001 spacing in order 1: 500 waves at y = 0.5, the period its spacing.
TEST_F(TraceCommands, AGratingPhaseCountsItsLines) {
    surface(1).grating_spacing = 0.001;
    surface(1).diffraction_order = 1;
    type("diffractive_phase 1 0.5 0.2");
    const auto v = row_numbers(output(), "PERIOD X\n");
    surface(1).grating_spacing = 0.0;
    surface(1).diffraction_order = 0;
    ASSERT_EQ(v.size(), 5u) << output();
    EXPECT_NEAR(v[2], 500.0, 1e-9);
    EXPECT_NEAR(v[3], 0.001, 1e-9);
    EXPECT_EQ(v[4], 0.0);
}

// Gradient media: the Wood lens n_b + R1 r^2 and the Selfoc profile n_b sqrt(1 - (R1 r)^2 + ...)
// at the point (x, y) = (3, 2); wavelength number 0 takes the first wavelength.
TEST_F(TraceCommands, GradientIndicesFollowTheirProfiles) {
    double rows[kGrinCoefficientRows][10] = {};
    double* table[kGrinCoefficientRows];
    for (int r = 0; r < kGrinCoefficientRows; ++r) table[r] = rows[r];
    for (int w = 0; w < 10; ++w) {
        rows[0][w] = -0.002;  // R1
        rows[1][w] = 0.3;     // R2
    }
    GrinRecord g{};
    g.coefficients = table;
    surface(1).grin = &g;
    const double nb = kGlassIndex, r2 = 13.0;
    struct Case {
        std::uint8_t kind;
        const char* line;
        double expected;
        const char* heading;
    };
    const double s = 0.002 * 0.002 * r2;
    const Case cases[] = {
        {2, "grin_index 1 2 2 3 0.5", nb - 0.002 * r2, "AT WAVELENGTH 2"},
        {10, "grin_index 1 0 2 3 0.5", nb * std::sqrt(1.0 - s + 0.3 * s * s), "AT WAVELENGTH 1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        g.kind = c.kind;
        run_.output.str("");
        type(c.line);
        EXPECT_NE(output().find(c.heading), std::string::npos) << output();
        const auto v = row_numbers(output(), "INDEX\n");
        ASSERT_EQ(v.size(), 4u) << output();
        EXPECT_NEAR(v[3], c.expected, 1e-6);
    }
    surface(1).grin = nullptr;
}

// The lens set-up evaluates a GRD medium through the index probe instead of warning that it
// cannot.
TEST_F(TraceCommands, AnAxialGradientLensSetsUpWithoutTheWarning) {
    GrinRecord g{};
    g.kind = 11;
    g.gwv = 0.58756;
    g.grd[16] = 1.6;    // GNZ0
    g.grd[17] = -0.01;  // GNZ1
    surface(1).grin = &g;
    run_.errors.str("");
    const int rc = lens_setup(0);
    surface(1).grin = nullptr;
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(errors().find("cannot be evaluated"), std::string::npos) << errors();
}

// A reference ray that cannot reach its point of the stop (8 times the beam radius lies beyond
// the rim of surface 1): the listing shows 1e20 for what would be traced; object_point still
// reports success, as procedures rely on, trace_ref_ray reports the failed aim.
TEST_F(TraceCommands, AFailedReferenceRayListsInfiniteValues) {
    type("object_point 0 0 0 8 0");
    EXPECT_EQ(errors(), "");
    const auto image = row_numbers(output(), "IMAGE Y X");
    ASSERT_EQ(image.size(), 6u) << output();
    for (const double v : image) EXPECT_EQ(v, kInfiniteDistance);
    run_.output.str("");
    type("trace_ref_ray 0 0 0 8 0");
    EXPECT_NE(errors().find("The ray did not converge in its aiming passes"), std::string::npos)
        << errors();
    // The derivatives listing of the axial ray: by symmetry the pupil derivative of the image
    // height is the same in y and x, and nothing across.
    run_.output.str("");
    run_.errors.str("");
    type("ref_ray_derivatives 0 0 0 0 0");
    EXPECT_EQ(errors(), "");
    const auto pupil = row_numbers(output(), "D/DPUP Y X");
    ASSERT_EQ(pupil.size(), 4u) << output();
    EXPECT_NE(pupil[0], 0.0);
    EXPECT_NEAR(pupil[0], pupil[3], 1e-6);  // dy/db = dx/da on the axis
    EXPECT_NEAR(pupil[1], 0.0, 1e-12);
}

// A sphere of radius -R out of glass of index n, the object in the glass (n + 1) R / n before
// the vertex (R / n beyond the centre): every ray leaves as from the virtual image (n + 1) R
// before the vertex, and the sine condition holds, so the fan's sine-condition column is 0.
TEST_F(TraceCommands, TheSineConditionHoldsAtTheAplanaticPoints) {
    const double R = 50.0, n = kGlassIndex;
    LensData& l = lens_data();
    l.image_surface = 2;
    set_thickness_data(0, 0, 0, 0, 0, 0, (n + 1.0) * R / n);
    set_curvature_data(1, 0, 0, 0, -1.0 / R);
    set_thickness_data(1, 0, 0, 0, 0, 0, -(n + 1.0) * R);
    set_thickness_data(2, 0, 0, 0, 0, 0, 0.0);
    set_medium_entry_source(&kGlassSource);
    ASSERT_EQ(set_surface_medium(0, kMediumModelGlass, "BK", 0), 0);
    ASSERT_EQ(set_surface_medium(1, kMediumAir, "AIR", 0), 0);
    l.object_height = 1.0;
    l.entrance_beam_radius = 20.0;
    ASSERT_EQ(lens_setup(0), 0);
    set_medium_entry_source(nullptr);
    run_.output.str("");
    type("ray_fan 0 1 5");
    const auto rows = fan_rows(output());
    ASSERT_EQ(rows.size(), 5u) << output();
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 7u) << output();
        EXPECT_NEAR(row[4], 0.0, 1e-6) << output();  // no path difference: a perfect image
        EXPECT_NEAR(row[6], 0.0, 1e-6) << output();
    }
}

// With the reference sphere through the last surface ("WRSP" 2) and the image plane 1 behind
// it, the sphere has radius 1: the marginal rays land farther than that from the reference
// point, their path differences cannot be referred to it, and the fan says so after listing.
TEST_F(TraceCommands, AFanRayThatMissesTheReferenceSphereIsReported) {
    set_thickness_data(2, 0, 0, 0, 0, 0, 1.0);
    lens_data().wrsp = 2;
    ASSERT_EQ(lens_setup(0), 0);
    type("ray_fan 0 1 5");
    EXPECT_EQ(fan_rows(output()).size(), 5u) << output();
    EXPECT_NE(errors().find("could not be referred to the reference sphere"), std::string::npos)
        << errors();
    // The short listing has no path differences and no such report.
    run_.errors.str("");
    type("ray_fan 0 0 5");
    EXPECT_EQ(errors(), "");
}

// A new lens puts the stored field point back on the axis and the reference ray out of date.
TEST_F(TraceCommands, ANewLensResetsTheObjectPoint) {
    type("object_point 0.7 0.2 0 0.5 0.1");
    EXPECT_EQ(object_point().y, 0.7);
    EXPECT_NE(test_state_flag(kFlagReferenceRayCurrent), 0);
    type("new_lens newlens");
    EXPECT_EQ(object_point().y, 0.0);
    EXPECT_EQ(object_point().x, 0.0);
    EXPECT_EQ(object_point().pupil_y, 0.0);
    EXPECT_EQ(object_point().selection, 1);
}

}  // namespace
}  // namespace loop_test
