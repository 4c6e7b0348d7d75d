// The astigmatic Gaussian beam by real rays, typed as a user types it: a tilted concave mirror
// against the focal lengths (R/2) cos(theta) and (R/2) / cos(theta) and Kogelnik's focus of a
// collimated beam; a round beam on the axis of a triplet against the paraxial table of the
// sheet; off axis, a perfect lens against the thin-lens focus along the chief ray and a
// triplet against a parabasal trace written here and the field curves; the coupling of a beam
// turned by 45 degrees; a ray that misses; the lens left as it was for an object at infinity.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/astigmatic_beam.h"
#include "evaluation/beam_table.h"
#include "evaluation/gaussian_beam_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_writer.h"
#include "tests/entry/entry_fixture.h"
#include "trace/field_ray.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_record.h"

namespace {

using entry_test::Entry;
using entry_test::stored_number_near;

// One listed row: the surface and its six numbers at full precision.
struct Row {
    int surface = -1;
    double v[6] = {};
};

// A number as listed; a dash is a zero.
bool read_number(const std::string& word, double& value) {
    if (word == "--") {
        value = 0.0;
        return true;
    }
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return end != word.c_str() && *end == '\0';
}

std::vector<Row> rows_of(const std::string& text) {
    std::vector<Row> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.size() != 7) continue;
        Row r;
        char* end = nullptr;
        r.surface = static_cast<int>(std::strtol(w[0].c_str(), &end, 10));
        if (*end != '\0') continue;
        bool ok = true;
        for (int k = 0; k < 6 && ok; ++k) {
            double printed = 0.0;
            ok = read_number(w[1 + k], printed);
            r.v[k] = printed == 0.0 ? 0.0 : stored_number_near(printed);
        }
        if (ok) rows.push_back(r);
    }
    return rows;
}

// The waist line under the row of surface: the waists of p2 and p1, then their distances (in
// the order of the columns across and along), or nothing.
std::vector<double> waist_line(const std::string& text, int surface) {
    char row[16];
    std::snprintf(row, sizeof row, "\n%3d   ", surface);
    const std::size_t at = text.find(row);
    if (at == std::string::npos) return {};
    const std::size_t line = text.find('\n', at + 1) + 1;
    double printed[4];
    if (std::sscanf(text.c_str() + line, "%lf %lf %lf %lf", &printed[0], &printed[1], &printed[2],
                    &printed[3]) != 4) {
        return {};
    }
    // As printed: near one waist the spot size of the next row may stand, equal to six places.
    return std::vector<double>(printed, printed + 4);
}

// A small real-ray tracer through spherical surfaces (curvature, vertex z, index behind), for
// the parabasal foci about a chief ray from infinity.
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

struct Sphere {
    double c, z, n;
};

// Carries the ray (point p, unit direction d, from air) through the first count surfaces.
void refract_through(const std::vector<Sphere>& surfaces, std::size_t count, Vec& p, Vec& d) {
    double n0 = 1.0;
    for (std::size_t i = 0; i < count; ++i) {
        const Sphere& s = surfaces[i];
        const Vec q = p - Vec{0, 0, s.z};
        // c |q + t d|^2 - 2 (q + t d)_z = 0, the root nearer the vertex plane.
        const double a = s.c, b = 2.0 * (s.c * dot(q, d) - d.z), c = s.c * dot(q, q) - 2.0 * q.z;
        double t = -c / b;
        if (std::fabs(a) > 1e-15) {
            const double root = std::sqrt(b * b - 4.0 * a * c);
            t = 2.0 * c / (-b + (b < 0.0 ? root : -root));
        }
        p = p + t * d;
        const Vec r = p - Vec{0, 0, s.z};
        Vec normal{-s.c * r.x, -s.c * r.y, 1.0 - s.c * r.z};
        normal = (1.0 / std::sqrt(dot(normal, normal))) * normal;
        const double mu = n0 / s.n, cosi = dot(d, normal);
        const double k = 1.0 - mu * mu * (1.0 - cosi * cosi);
        d = mu * d + (std::sqrt(k) - mu * cosi) * normal;
        d = (1.0 / std::sqrt(dot(d, d))) * d;
        n0 = s.n;
    }
}

std::string lens_text() {
    std::string text;
    set_lens_string(&text);
    write_lens_commands();
    set_lens_string(nullptr);
    return text;
}

class AstigmaticBeam : public Entry {
protected:
    std::string listing(const std::string& line) {
        take_output();
        EXPECT_EQ(run(line), 0) << error_text();
        return take_output();
    }
    void mirror() {
        run_all({"LEN NEW \"Mirror\"", "WV 0.6328", "EBR 5", "NXT", "RD -200", "RFL", "TLA 10",
                 "TH -100", "NXT", "END"});
        take_output();
    }
    // field: the field line typed with the system data (none: the default field).
    void triplet(const std::string& field = "") {
        run_all({"LEN NEW \"Cooke\"", "WV 0.6328", "EBR 5", field.empty() ? "EBR 5" : field, "NXT",
                 "SRF 21.48 2 N-SK16 10", "SRF -124.1 5.26 AIR 10", "AST", "SRF -19.1 1.25 N-F2 8",
                 "RD 22", "TH 4.69", "AIR", "NXT", "SRF 328.9 2.25 N-SK16 10", "RD -16.7", "TH 43",
                 "AIR", "NXT", "END"});
        take_output();
    }
};

// A collimated round beam of 2 given at a concave mirror of radius -200 tilted by 10 degrees:
// the wavefront leaves with the radii (R/2) cos 10 = 98.4808 and (R/2) / cos 10 = 101.5427 on
// axes along x and y, the spot is 2, and each section focuses as a thin lens of that focal
// length: the waist w / sqrt(1 + (zR / f)^2) at f / (1 + (f / zR)^2), zR = pi w^2 / lambda.
TEST_F(AstigmaticBeam, TiltedMirrorFocusesEachSectionAtItsOwnFocalLength) {
    mirror();
    const std::string text = listing("astigmatic_beam 1 1 2 2");
    const std::vector<Row> rows = rows_of(text);
    const Row* at_mirror = nullptr;
    for (const Row& r : rows) {
        if (r.surface == 1) at_mirror = &r;
    }
    ASSERT_NE(at_mirror, nullptr) << text;
    EXPECT_NEAR(at_mirror->v[0], 2.0, 1e-6) << text;
    EXPECT_NEAR(at_mirror->v[1], 2.0, 1e-6);
    EXPECT_EQ(at_mirror->v[2], 0.0);
    const double r_across = at_mirror->v[3], r_along = at_mirror->v[4];
    const double tangential = 100.0 * std::cos(10.0 * std::numbers::pi / 180.0);
    const double sagittal = 100.0 / std::cos(10.0 * std::numbers::pi / 180.0);
    EXPECT_NEAR(std::min(r_across, r_along), tangential, 1e-6) << text;
    EXPECT_NEAR(std::max(r_across, r_along), sagittal, 1e-6) << text;
    EXPECT_EQ(at_mirror->v[5], 0.0);

    // The waist line under the mirror's row: waists of p2 and p1, then their distances, in the
    // order of the radii across and along.
    const std::size_t row_at = text.find("\n  1   ");
    ASSERT_NE(row_at, std::string::npos);
    const std::size_t line2 = text.find('\n', row_at + 1) + 1;
    double printed[4];
    ASSERT_EQ(std::sscanf(text.c_str() + line2, "%lf %lf %lf %lf", &printed[0], &printed[1],
                          &printed[2], &printed[3]),
              4)
        << text;
    const double zr = std::numbers::pi * 4.0 / 0.6328e-3;
    const double radii[2] = {r_across, r_along};
    for (int k = 0; k < 2; ++k) {
        const double f = radii[k];
        const double waist = 2.0 / std::sqrt(1.0 + (zr / f) * (zr / f));
        const double distance = f / (1.0 + (f / zr) * (f / zr));
        EXPECT_NEAR(stored_number_near(printed[k]), waist, 1e-6) << k;
        EXPECT_NEAR(stored_number_near(printed[2 + k]), distance, 1e-6) << k;
    }
}

// On the axis of a rotationally symmetric lens a round beam stays round, and its spot and
// radius at every surface are those of the paraxial table.
TEST_F(AstigmaticBeam, RoundBeamInATripletMatchesTheParaxialTable) {
    triplet();
    reset_gaussian_beam_sheet();
    load_gaussian_beam_defaults();
    GaussianBeamSheet& sheet = gaussian_beam_sheet();
    sheet.y_beam.waist = 1.5;
    sheet.y_beam.distance = 300.0;
    std::uint8_t two = 0;
    ASSERT_EQ(solve_beam_parameters(nullptr, sheet.y_beam, sheet.y_second, sheet_lambda(0), two),
              0);
    BeamValues object;
    ASSERT_EQ(beam_at_object(false, object), 0);
    std::vector<BeamRow> paraxial;
    ASSERT_EQ(beam_rows(object, paraxial), 0);

    char line[128];
    std::snprintf(line, sizeof line, "astigmatic_beam 0 1 %.17g %.17g %.17g %.17g", object.spot,
                  object.spot, object.radius, object.radius);
    const std::string text = listing(line);
    const std::vector<Row> rows = rows_of(text);
    int compared = 0;
    for (const Row& r : rows) {
        if (r.surface < 1) continue;
        const BeamRow* p = nullptr;
        for (const BeamRow& b : paraxial) {
            if (b.surface == r.surface) p = &b;
        }
        ASSERT_NE(p, nullptr) << r.surface;
        SCOPED_TRACE(r.surface);
        EXPECT_NEAR(r.v[0], p->beam.spot, 1e-6);
        EXPECT_NEAR(r.v[1], p->beam.spot, 1e-6);
        EXPECT_NEAR(std::fabs(r.v[3]), std::fabs(p->beam.radius), 1e-6 * std::fabs(p->beam.radius));
        EXPECT_NEAR(std::fabs(r.v[4]), std::fabs(p->beam.radius), 1e-6 * std::fabs(p->beam.radius));
        ++compared;
    }
    EXPECT_EQ(compared, lens_data().image_surface) << text;
    reset_gaussian_beam_sheet();
}

// At 45 degrees the diagonal elements are equal and the coupling stands at its limit; with
// unequal spots, 90 degrees swaps the two columns of every row.
TEST_F(AstigmaticBeam, TurnedBeams) {
    const BeamState s = object_beam_state(1.0, 2.0, 0.0, 0.0, 45.0, 1e-4);
    EXPECT_EQ(s.t.re, -1e10);
    EXPECT_DOUBLE_EQ(s.q11.im, s.q22.im);
    EXPECT_DOUBLE_EQ(s.delta.im, -1e-4 / 4.0 + 1e-4);

    triplet();
    const std::vector<Row> plain = rows_of(listing("astigmatic_beam 0 1 1 2"));
    const std::vector<Row> turned = rows_of(listing("astigmatic_beam 0 1 1 2 0 0 90"));
    ASSERT_EQ(plain.size(), turned.size());
    ASSERT_GE(plain.size(), 2u);
    for (std::size_t k = 0; k < plain.size(); ++k) {
        SCOPED_TRACE(plain[k].surface);
        EXPECT_NEAR(plain[k].v[0], turned[k].v[1], 1e-9);
        EXPECT_NEAR(plain[k].v[1], turned[k].v[0], 1e-9);
        EXPECT_NE(plain[k].v[0], plain[k].v[1]);
    }
}

// A perfect lens of focal length 100 at 20 degrees off axis: every section of a collimated beam
// meets the image point, L = 100 / cos 20 along the chief ray, as behind a thin lens of focal
// length L: the wavefront radius L after the lens, the waist w / sqrt(1 + (zR / L)^2) at
// L / (1 + (L / zR)^2), zR = pi w^2 / lambda, which is lambda L / (pi w) a hair before the image
// point; the image row lists the same waists at that hair's distance. A beam given narrower
// along y keeps that width in the y section: its column (along) has the wider waist.
TEST_F(AstigmaticBeam, APerfectLensOffAxisFocusesBothSectionsOnTheImagePoint) {
    run_all({"LEN NEW \"Perfect\"", "WV 0.6328", "EBR 5", "ANG 20", "NXT", "PFL 100", "TH 100",
             "NXT", "END", "trr 1"});
    const double L = 100.0 / std::cos(20.0 * std::numbers::pi / 180.0);
    const double widths[][2] = {{2.0, 2.0}, {2.0, 1.0}};
    for (const auto& w : widths) {
        SCOPED_TRACE(w[1]);
        char line[64];
        std::snprintf(line, sizeof line, "astigmatic_beam 1 1 %g %g", w[0], w[1]);
        const std::string text = listing(line);
        const std::vector<Row> rows = rows_of(text);
        ASSERT_EQ(rows.size(), 2u) << text;
        EXPECT_NEAR(rows[0].v[0], w[0], 1e-6) << text;
        EXPECT_NEAR(rows[0].v[1], w[1], 1e-6);
        EXPECT_NEAR(rows[0].v[3], L, 1e-5);
        EXPECT_NEAR(rows[0].v[4], L, 1e-5);
        const std::vector<double> lens = waist_line(text, 1), image = waist_line(text, 2);
        ASSERT_EQ(lens.size(), 4u) << text;
        ASSERT_EQ(image.size(), 4u) << text;
        for (int k = 0; k < 2; ++k) {
            const double zr = std::numbers::pi * w[k] * w[k] / 0.6328e-3;
            const double waist = w[k] / std::sqrt(1.0 + (zr / L) * (zr / L));
            const double distance = L / (1.0 + (L / zr) * (L / zr));
            EXPECT_NEAR(waist, 0.6328e-3 * L / (std::numbers::pi * w[k]), 1e-3 * waist);
            EXPECT_NEAR(lens[k], waist, 1e-6) << k;
            EXPECT_NEAR(lens[2 + k], distance, 1e-5) << k;
            EXPECT_NEAR(image[k], waist, 1e-6) << k;
            EXPECT_NEAR(image[2 + k], distance - L, 1e-6) << k;
        }
    }
}

// The triplet at 20 degrees, a collimated beam 2 wide along x and 1 along y given at the first
// surface. An independent parabasal trace: the ray matrix of each section from the plane square
// to the chief ray at the first surface to the plane square to it at the image, from close rays
// of a tracer here, carries q = i pi w^2 / lambda of that section's width to the image; the
// waist lies -Re q from the image point and is sqrt(lambda Im q / pi). The y section is the
// tangential one for a field along y, the x section the sagittal one: the field curves of the
// program (what the astigmatism plot draws, distances along the axis) tell them apart too.
TEST_F(AstigmaticBeam, TripletSectionsFocusAtTheirOwnFieldCurves) {
    triplet("ANG 20");
    run_all({"trr 1"});
    const int w = lens_data().current_wavelength;
    const std::vector<Sphere> lens = {
        {1.0 / 21.48, 0.0, medium_index(1, w)},  {-1.0 / 124.1, 2.0, medium_index(2, w)},
        {-1.0 / 19.1, 7.26, medium_index(3, w)}, {1.0 / 22.0, 8.51, medium_index(4, w)},
        {1.0 / 328.9, 13.2, medium_index(5, w)}, {-1.0 / 16.7, 15.45, medium_index(6, w)}};
    const double image_z = 15.45 + 43.0;
    const double angle = 20.0 * std::numbers::pi / 180.0;
    const Vec d0{0.0, std::sin(angle), std::cos(angle)};
    // The chief ray crosses the stop (surface 3) at its centre.
    const auto stop_height = [&](double y0) {
        Vec p{0.0, y0, -10.0}, d = d0;
        refract_through(lens, 3, p, d);
        return p.y;
    };
    double lo = -20.0, hi = 20.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (stop_height(lo) * stop_height(mid) <= 0.0 ? hi : lo) = mid;
    }
    const Vec start{0.0, 0.5 * (lo + hi), -10.0};
    Vec at_first = start, unused = d0;
    refract_through(lens, 1, at_first, unused);
    Vec p = start, d = d0;
    refract_through(lens, lens.size(), p, d);
    const Vec image = p + ((image_z - p.z) / d.z) * d;

    // The beam of width w in the section along e_in (at the first surface) and e_out (at the
    // image): its waist size and distance from the image point.
    const auto section = [&](Vec e_in, Vec e_out, double width, double& waist, double& distance) {
        const double eps = 1e-5;
        double m[2][2] = {};  // rows: position, direction; columns: from position, direction
        for (double sign : {1.0, -1.0}) {
            for (int j = 0; j < 2; ++j) {
                Vec pp, dd;
                if (j == 0) {
                    pp = start + (sign * eps) * e_in;
                    dd = d0;
                } else {
                    dd = d0 + (sign * eps) * e_in;
                    dd = (1.0 / std::sqrt(dot(dd, dd))) * dd;
                    pp = at_first - 10.0 * dd;
                }
                refract_through(lens, lens.size(), pp, dd);
                // Where it crosses the plane square to the chief ray at the image point.
                const Vec cross = pp + (dot(image - pp, d) / dot(dd, d)) * dd;
                const double step = j == 0 ? eps : eps / std::sqrt(1.0 + eps * eps);
                m[0][j] += sign * dot(cross - image, e_out) / (2.0 * step);
                m[1][j] += sign * dot(dd, e_out) / (2.0 * step);
            }
        }
        const std::complex<double> q_in(0.0, std::numbers::pi * width * width / 0.6328e-3);
        const std::complex<double> q = (m[0][0] * q_in + m[0][1]) / (m[1][0] * q_in + m[1][1]);
        waist = std::sqrt(0.6328e-3 * q.imag() / std::numbers::pi);
        distance = -q.real();
    };
    double waist_x = 0, at_x = 0, waist_y = 0, at_y = 0;
    section({1.0, 0.0, 0.0}, {1.0, 0.0, 0.0}, 2.0, waist_x, at_x);
    section({0.0, d0.z, -d0.y}, {0.0, d.z, -d.y}, 1.0, waist_y, at_y);

    RayRecord chief{};
    chief.obj_y = 1.0;
    chief.wavelength = w;
    chief.kind = kRayPlain;
    trace_field_ray(chief, false, true);
    ASSERT_EQ(chief.failure, 0);
    const double curve_t = chief.sphere_path, curve_s = chief.dtan_y;
    ASSERT_GT(std::fabs(curve_t - curve_s), 0.05);

    const std::string text = listing("astigmatic_beam 1 1 2 1");
    const std::vector<double> waists = waist_line(text, 7);
    ASSERT_EQ(waists.size(), 4u) << text;
    const double across = waists[2], along = waists[3];
    EXPECT_NEAR(waists[0], waist_x, 1e-6) << text;
    EXPECT_NEAR(across, at_x, 1e-5) << text;
    EXPECT_NEAR(waists[1], waist_y, 1e-6) << text;
    EXPECT_NEAR(along, at_y, 1e-5) << text;
    EXPECT_LT(std::fabs(along - curve_t), std::fabs(along - curve_s));
    EXPECT_LT(std::fabs(across - curve_s), std::fabs(across - curve_t));
}

// A neighbour ray that misses a surface the base ray meets: the nine failure codes, once.
TEST_F(AstigmaticBeam, AMissingRayPrintsTheNineCodesOnce) {
    run_all({"LEN NEW \"Small\"", "WV 0.6328", "TH 100", "EBR 100000", "NXT", "RD 0.09", "TH 5",
             "NXT", "END"});
    const std::string text = listing("astigmatic_beam 0 1 1");
    EXPECT_NE(text.find("Base 0\nX -2701\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Base 0"), text.rfind("Base 0")) << text;
    EXPECT_NE(text.find("MV "), std::string::npos) << text;
}

// For an object at infinity the rays are traced from a stand-in object; the lens is left as
// it was, also when a ray fails.
TEST_F(AstigmaticBeam, AnInfiniteObjectLeavesTheLensAsItWas) {
    mirror();
    std::string before = lens_text();
    listing("astigmatic_beam 0 1 2 2");
    EXPECT_EQ(lens_text(), before);
    run_all(
        {"LEN NEW \"Small\"", "WV 0.6328", "EBR 100000", "NXT", "RD 0.09", "TH 5", "NXT", "END"});
    before = lens_text();
    const std::string text = listing("astigmatic_beam 0 1 1");
    EXPECT_NE(text.find("Base"), std::string::npos) << text;
    EXPECT_EQ(lens_text(), before);
    EXPECT_GT(std::fabs(surface(0).thickness), 9.9e7);
}

}  // namespace
