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
#include "tests/app/main_loop/loop_fixture.h"
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

}  // namespace
}  // namespace loop_test
