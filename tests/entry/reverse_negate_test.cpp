// Reversing and negating ranges of surfaces: the focal length a turned lens keeps, what moves
// with a surface and what with a gap, the records given back by doing it twice, the
// gradient-index re-expansion, and the refusals that leave the lens as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

const std::vector<std::string> kTriplet = {"LEN NEW \"Cooke\"",
                                           "NXT",
                                           "SRF 21.48 2 N-SK16 10",
                                           "SRF -124.1 5.26 AIR 10",
                                           "SRF -19.1 1.25 N-F2 8",
                                           "SRF 22 4.69 AIR 8",
                                           "SRF 328.9 2.25 N-SK16 10",
                                           "SRF -16.7 43 AIR 10",
                                           "END"};

struct Snapshot {
    double curvature, conic, thickness, aperture;
    std::string medium;
    int medium_kind, aperture_kind;
    std::vector<double> asphere;
};

std::vector<Snapshot> snapshot() {
    std::vector<Snapshot> all;
    for (int j = 0; j <= lens_data().image_surface; ++j) {
        const SurfaceRecord& s = surface(j);
        Snapshot k{s.curvature,   s.conic,       s.thickness,     s.aperture_radius,
                   s.medium_name, s.medium_kind, s.aperture_kind, {}};
        if (s.asphere != nullptr)
            k.asphere.assign(s.asphere->entered, s.asphere->entered + s.asphere->entered_count);
        all.push_back(k);
    }
    return all;
}

void expect_same(const std::vector<Snapshot>& x, const std::vector<Snapshot>& y) {
    ASSERT_EQ(x.size(), y.size());
    for (std::size_t j = 0; j < x.size(); ++j) {
        EXPECT_EQ(x[j].curvature, y[j].curvature) << j;
        EXPECT_EQ(x[j].conic, y[j].conic) << j;
        EXPECT_EQ(x[j].thickness, y[j].thickness) << j;
        EXPECT_EQ(x[j].aperture, y[j].aperture) << j;
        EXPECT_EQ(x[j].medium, y[j].medium) << j;
        EXPECT_EQ(x[j].medium_kind, y[j].medium_kind) << j;
        EXPECT_EQ(x[j].aperture_kind, y[j].aperture_kind) << j;
        EXPECT_EQ(x[j].asphere, y[j].asphere) << j;
    }
}

// A lens turned round has the same focal length.
TEST_F(Entry, ReversedTripletKeepsItsFocalLength) {
    run_all(kTriplet);
    const double efl = ynu_trace(6, 0).efl;
    run_all({"reverse_surfaces 1 6"});
    EXPECT_NEAR(ynu_trace(6, 0).efl, efl, 1e-9);
    EXPECT_EQ(surface(1).curvature, 1.0 / 16.7);
    EXPECT_EQ(surface(6).curvature, -1.0 / 21.48);
    EXPECT_EQ(std::string(surface(1).medium_name), "N-SK16    ");
    EXPECT_EQ(surface(1).thickness, 2.25);
    EXPECT_EQ(surface(2).thickness, 4.69);
    EXPECT_EQ(surface(6).thickness, 43.0);  // the gap after the range stays
}

// Reversing or negating twice gives back every record of a lens without pickups or solves.
TEST_F(Entry, TwiceGivesBackEveryRecord) {
    run_all(kTriplet);
    run_all({"LEN", "GTO 2", "CC -0.5", "ASP ASR 6", "AS2 1e-5", "AS3 -2e-8", "END"});
    const std::vector<Snapshot> before = snapshot();
    run_all({"reverse_surfaces 1 6"});
    EXPECT_EQ(surface(5).conic, -0.5);
    ASSERT_NE(surface(5).asphere, nullptr);
    EXPECT_EQ(surface(5).asphere->entered[2], -1e-5);
    run_all({"reverse_surfaces 6 1"});
    expect_same(snapshot(), before);
    run_all({"negate_surfaces 2 4"});
    EXPECT_EQ(surface(3).thickness, -1.25);
    EXPECT_EQ(surface(3).curvature, 1.0 / 19.1);
    run_all({"negate_surfaces 2 4"});
    expect_same(snapshot(), before);
}

TEST_F(Entry, ReversingPartsOfALens) {
    // A singlet: the two surfaces exchange, both curvatures change sign, the glass stays in the
    // gap after surface 1 and the thickness after surface 2 stays.
    run_all({"LEN NEW \"Singlet\"", "NXT", "SRF 40 6 N-BK7 12", "SRF -120 30 AIR 12", "END"});
    run_all({"reverse_surfaces 1 2"});
    EXPECT_EQ(surface(1).curvature, 1.0 / 120);
    EXPECT_EQ(surface(2).curvature, -1.0 / 40);
    EXPECT_EQ(std::string(surface(1).medium_name), "N-BK7     ");
    EXPECT_EQ(surface(1).thickness, 6.0);
    EXPECT_EQ(surface(2).thickness, 30.0);

    // 2..4 of the triplet: 2 and 4 change places, 3 stays with its curvature negated, the gaps
    // after 2 and 3 exchange.
    run_all(kTriplet);
    run_all({"reverse_surfaces 2 4"});
    EXPECT_EQ(surface(2).curvature, -1.0 / 22);
    EXPECT_EQ(surface(3).curvature, 1.0 / 19.1);
    EXPECT_EQ(surface(4).curvature, 1.0 / 124.1);
    EXPECT_EQ(surface(2).thickness, 1.25);
    EXPECT_EQ(std::string(surface(2).medium_name), "N-F2      ");
    EXPECT_EQ(surface(3).thickness, 5.26);
    EXPECT_EQ(surface(4).thickness, 4.69);
}

TEST_F(Entry, ReversalRefusalsLeaveTheLens) {
    struct Case {
        std::vector<std::string> setup;
        std::string line;
        std::string message;
    };
    const Case cases[] = {
        {{},
         "reverse_surfaces 0 3",
         "The range to reverse must start after the object surface and before the image surface"},
        {{},
         "reverse_surfaces 7 3",
         "The range to reverse must start after the object surface and before the image surface"},
        {{}, "reverse_surfaces 2 7", "The range cannot end at surface 7: at most 6"},
        {{"LEN", "GTO 3", "DCY 0.1", "END"},
         "reverse_surfaces 1 4",
         "Surface 3 is decentred or tilted: the range cannot be reversed"},
        {{"LEN", "GTO 5", "PK TH 2 0", "END"},
         "reverse_surfaces 1 3",
         "The thickness of surface 5 picks up a thickness inside the range"},
        // The last surface of the range holds the gap after it.
        {{"LEN", "GTO 3", "PK TH 2 0", "END"},
         "reverse_surfaces 1 3",
         "The thickness of surface 3 picks up a thickness inside the range"},
        {{"LEN", "GTO 6", "PK CV 1 0", "END"},
         "reverse_surfaces 1 3",
         "The curvature of surface 6 picks up a curvature inside the range"},
        {{"LEN", "GTO 4", "RFL", "END"},
         "reverse_surfaces 2 5",
         "Surface 4 is a mirror or picks up its glass: the range cannot be reversed"},
    };
    for (const Case& c : cases) {
        run_all(kTriplet);
        run_all(c.setup);
        const std::vector<Snapshot> before = snapshot();
        EXPECT_EQ(run(c.line), kErrorTextReady) << c.line;
        EXPECT_EQ(error_text(), c.message) << c.line;
        expect_same(snapshot(), before);
    }
}

// Either end of a range may be the one out of the lens: both are checked once the ends are in
// order, so a range given backwards reaches neither the object surface (reversal) nor outside
// the surface array. A range given backwards that fits does what the forward one does.
TEST_F(Entry, RangesGivenEitherWayAreCheckedAtBothEnds) {
    const std::string outside =
        "The range to reverse must start after the object surface and before the image surface";
    struct Refused {
        std::string line;
        std::string message;
    };
    const Refused refused[] = {
        {"reverse_surfaces 1 -1", outside},
        {"reverse_surfaces 2 0", outside},
        {"reverse_surfaces 0 2", outside},
        {"reverse_surfaces 3 -400", outside},
        {"reverse_surfaces 9 2", outside},
        {"reverse_surfaces 3 7", "The range cannot end at surface 7: at most 6"},
        {"negate_surfaces 1 -1",
         "The range cannot start at surface -1: the object surface is surface 0"},
        {"negate_surfaces -3 2",
         "The range cannot start at surface -3: the object surface is surface 0"},
        {"negate_surfaces 9 2", "The range cannot end at surface 9: at most 7"},
        {"negate_surfaces 2 400", "The range cannot end at surface 400: at most 7"},
    };
    for (const Refused& c : refused) {
        run_all(kTriplet);
        const std::vector<Snapshot> before = snapshot();
        EXPECT_EQ(run(c.line), kErrorTextReady) << c.line;
        EXPECT_EQ(error_text(), c.message) << c.line;
        expect_same(snapshot(), before);
    }
    const std::pair<std::string, std::string> same[] = {
        {"reverse_surfaces 4 2", "reverse_surfaces 2 4"},
        {"reverse_surfaces 6 1", "reverse_surfaces 1 6"},
        {"negate_surfaces 3 1", "negate_surfaces 1 3"},
        {"negate_surfaces 7 5", "negate_surfaces 5 7"},
    };
    for (const auto& [backwards, forwards] : same) {
        run_all(kTriplet);
        run_all({forwards});
        const std::vector<Snapshot> expected = snapshot();
        run_all(kTriplet);
        run_all({backwards});
        expect_same(snapshot(), expected);
    }
}

// A gradient-index medium with an axial profile turned round: the far end's index becomes the
// glass, and the profile is expanded about the far end. n(z) = n + c1 z + c2 z^2 + c3 z^3 +
// c4 z^4 read from the other end at u = t - z.
TEST_F(Entry, GrinRangeFlipsItsAxialProfile) {
    run_all({"LEN NEW \"Rod\"",
             "NXT",
             "SRF 0 10 AIR 5",
             "GTO 1",
             "GLA \"ROD\" 1.6 1.61 1.59",
             "GDT ARG",
             "NZ1 WV1 0.01",
             "NZ2 WV1 -0.002",
             "NZ3 WV1 3e-4",
             "NZ4 WV1 -1e-5",
             "NZ1 WV2 0.01",
             "NZ1 WV3 0.01",
             "NZ2 WV2 -0.002",
             "NZ2 WV3 -0.002",
             "NZ3 WV2 3e-4",
             "NZ3 WV3 3e-4",
             "NZ4 WV2 -1e-5",
             "NZ4 WV3 -1e-5",
             "NXT",
             "SRF 0 20 AIR 5",
             "END"});
    const double t = 10.0;
    const double c1 = 0.01, c2 = -0.002, c3 = 3e-4, c4 = -1e-5;
    const double n0 = surface(1).index[0];
    ASSERT_NEAR(n0, 1.6, 1e-12);
    run_all({"reverse_surfaces 1 2"});
    // By hand: n(t) and the derivatives at the far end, with the sign of z turned.
    const double n_far = n0 + c1 * t + c2 * t * t + c3 * t * t * t + c4 * t * t * t * t;
    const double d1 = c1 + 2 * c2 * t + 3 * c3 * t * t + 4 * c4 * t * t * t;
    const double d2 = c2 + 3 * c3 * t + 6 * c4 * t * t;
    const double d3 = c3 + 4 * c4 * t;
    const GrinRecord* g = surface(1).grin;
    ASSERT_NE(g, nullptr);
    EXPECT_NEAR(surface(1).index[0], n_far, 1e-12);
    EXPECT_EQ(std::string(surface(1).medium_name), "GLASS1    ");
    EXPECT_NEAR(g->coefficients[4][0], -d1, 1e-15);
    EXPECT_NEAR(g->coefficients[5][0], d2, 1e-15);
    EXPECT_NEAR(g->coefficients[6][0], -d3, 1e-15);
    EXPECT_NEAR(g->coefficients[7][0], c4, 1e-18);
    // The profile read from the new start gives the old one at the same place: z = 3 from the
    // old start is u = 7 from the new one.
    const double u = 7.0, z = t - u;
    const double old_n = n0 + c1 * z + c2 * z * z + c3 * z * z * z + c4 * z * z * z * z;
    const double new_n = n_far + g->coefficients[4][0] * u + g->coefficients[5][0] * u * u +
                         g->coefficients[6][0] * u * u * u + g->coefficients[7][0] * u * u * u * u;
    EXPECT_NEAR(new_n, old_n, 1e-12);
}

}  // namespace
