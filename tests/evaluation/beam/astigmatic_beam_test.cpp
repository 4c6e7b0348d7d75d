// The astigmatic Gaussian beam by real rays, typed as a user types it: a tilted concave mirror
// against the focal lengths (R/2) cos(theta) and (R/2) / cos(theta) and Kogelnik's focus of a
// collimated beam; a round beam on the axis of a triplet against the paraxial table of the
// sheet; the coupling of a beam turned by 45 degrees; a ray that misses; the lens left as it
// was for an object at infinity.
#include <gtest/gtest.h>

#include <cmath>
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
    void triplet() {
        run_all({"LEN NEW \"Cooke\"", "WV 0.6328", "EBR 5", "NXT", "SRF 21.48 2 N-SK16 10",
                 "SRF -124.1 5.26 AIR 10", "AST", "SRF -19.1 1.25 N-F2 8", "RD 22", "TH 4.69",
                 "AIR", "NXT", "SRF 328.9 2.25 N-SK16 10", "RD -16.7", "TH 43", "AIR", "NXT",
                 "END"});
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
