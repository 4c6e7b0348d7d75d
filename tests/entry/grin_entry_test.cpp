// Gradient-index media typed line by line: the record each kind gets, the coefficients at the
// named wavelengths, the general kind's series, the completion of the wavelengths not given,
// and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/messages.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

const std::vector<std::string> kGrinLens = {"LEN NEW \"Grin\"", "NXT", "SRF 50 5 N-BK7 10",
                                            "SRF -50 3 AIR 10", "NXT", "END"};

TEST_F(Entry, GrinKindsAndCoefficients) {
    run_all(kGrinLens);
    run_all({"LEN", "GTO 1", "GDT ARG", "DTH -0.05", "NZ1 WV1 0.5", "NZ4 WV2 -0.25",
             "NR1 WV3 0.125", "NR4 WV1 2"});
    const GrinRecord* g = surface(1).grin;
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->kind, 1);
    EXPECT_EQ(g->step, 0.05);
    EXPECT_EQ(g->coefficients[4][0], 0.5);    // axial 1 at WV1
    EXPECT_EQ(g->coefficients[7][1], -0.25);  // axial 4 at WV2
    EXPECT_EQ(g->coefficients[0][2], 0.125);  // radial 1 at WV3
    EXPECT_EQ(g->coefficients[3][0], 2.0);    // radial 4 at WV1

    // Every kind the writer writes comes back; numbers outside 1..12 give 1.
    const std::pair<std::string, int> kinds[] = {{"GDT SNS", 8}, {"GDT SEL", 10}, {"GDT 12", 12},
                                                 {"GDT 5", 5},   {"GDT 13", 1},   {"GDT GRD", 11}};
    for (const auto& [line, kind] : kinds) {
        run_all({line});
        ASSERT_NE(surface(1).grin, nullptr) << line;
        EXPECT_EQ(surface(1).grin->kind, kind) << line;
    }
    g = surface(1).grin;
    EXPECT_EQ(g->count, 28);
    // A zero wavelength is held as the least non-zero value, 1e-6 (as a float holds it, 5e-17
    // away): a millionth of it is the tolerance that still tells it from zero and from any entry.
    EXPECT_NEAR(g->gwv, 1e-6, 1e-12);
    run_all(
        {"GRA1 1", "GRB2 2", "GRC3 3", "GRD4 4", "GNZ0 5", "GNZ11 6", "GMZ 7", "GOZ 8", "GWV 0.5"});
    EXPECT_EQ(g->grd[0], 1.0);
    EXPECT_EQ(g->grd[5], 2.0);
    EXPECT_EQ(g->grd[10], 3.0);
    EXPECT_EQ(g->grd[15], 4.0);
    EXPECT_EQ(g->grd[16], 5.0);
    EXPECT_EQ(g->grd[27], 6.0);
    EXPECT_EQ(g->gmz, 7.0);
    EXPECT_EQ(g->goz, 8.0);
    EXPECT_EQ(g->gwv, 0.5);
    run_all({"GWV 0"});
    EXPECT_NEAR(surface(1).grin->gwv, 1e-6, 1e-12);
    run_all({"GDT UGR 5"});
    EXPECT_EQ(surface(1).grin->count, 5);
    run_all({"GDD"});
    EXPECT_EQ(surface(1).grin, nullptr);
    EXPECT_EQ(run("GDD"), 0);  // a notice only
    run_all({"END"});
}

TEST_F(Entry, GrinRefusals) {
    run_all(kGrinLens);
    run_all({"LEN", "GTO 1", "GDT ARG", "NZ1 WV1 0.5"});
    struct Case {
        std::string line;
        std::string message;
    };
    const Case cases[] = {
        {"NZ1 WV0 1", "Wavelength 0 is outside the wavelength table (WV1 and up)"},
        {"NZ1 WV99999 1", "Wavelength 99999 is outside the wavelength table (WV1 and up)"},
        {"NZ1 WV 1", "Wavelength -1 is outside the wavelength table (WV1 and up)"},
        {"NZ1 XY1 1", "Wavelength -1 is outside the wavelength table (WV1 and up)"},
        {"GRA1 1", "The gradient-index medium of kind 1 does not take this coefficient"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.line), kErrorTextReady) << c.line;
        EXPECT_EQ(error_text(), c.message) << c.line;
        EXPECT_EQ(surface(1).grin->coefficients[4][0], 0.5) << c.line;
    }
    run_all({"GDT GRD"});
    EXPECT_EQ(run("GRA5 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Coefficient 5 is outside 1..4");
    EXPECT_EQ(run("GNZ12 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Coefficient 12 is outside 0..11");
    EXPECT_EQ(run("NR2 WV1 1"), kErrorTextReady);
    run_all({"END"});
}

// A coefficient given at the first three wavelengths of a four-wavelength lens: END fills the
// fourth from c = B + A / lambda^2 through the values at wavelengths 2 and 3; equal values at 2
// and 3 give the first value.
TEST_F(Entry, GrinFourthWavelengthFollowsTheDispersionLaw) {
    run_all(kGrinLens);
    run_all({"LEN", "WV 0.58756 0.48613 0.65627 0.4", "GTO 1", "GDT ARG", "NR1 WV1 -0.002",
             "NR1 WV2 -0.0022", "NR1 WV3 -0.0019", "NZ2 WV1 0.3", "NZ2 WV2 0.1", "NZ2 WV3 0.1",
             "END"});
    ASSERT_EQ(lens_data().wavelength_count, 4);
    const double l2 = 0.48613, l3 = 0.65627, l4 = 0.4;
    // By hand: A = (c2 - c3) / (1/l2^2 - 1/l3^2), B = c2 - A/l2^2.
    const double a = (-0.0022 + 0.0019) / (1 / (l2 * l2) - 1 / (l3 * l3));
    const double b = -0.0022 - a / (l2 * l2);
    EXPECT_NEAR(surface(1).grin->coefficients[0][3], b + a / (l4 * l4), 1e-15);
    EXPECT_EQ(surface(1).grin->coefficients[0][0], -0.002);
    EXPECT_EQ(surface(1).grin->coefficients[5][3], 0.3);
}

}  // namespace
