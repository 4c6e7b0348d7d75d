// Entry commands typed at the top level with a surface of their own: the surface they change,
// the set-up that follows, the glass and gradient-index forms, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

constexpr int kStopQuietly = -9999;

// The last thickness is solved for the paraxial focus (PY 0), so it changes only when the lens
// is set up.
const std::vector<std::string> kAtSurfaceLens = {"LEN NEW \"At surface\"",
                                                 "NXT",
                                                 "SRF 50 5 N-BK7 10",
                                                 "SRF -50 3 AIR 10",
                                                 "SRF 40 4 N-F2 9",
                                                 "RD -200",
                                                 "TH 40",
                                                 "PY 0",
                                                 "NXT",
                                                 "END"};

TEST_F(Entry, SurfaceValuesAtANamedSurface) {
    run_all(kAtSurfaceLens);
    run_all({"GTO 1"});
    run_all({"rd 80 3"});
    EXPECT_EQ(surface(3).curvature, 1.0 / 80);
    EXPECT_EQ(lens_data().current_surface, 3);
    // Set up: the solved thickness is the back focus of the changed lens.
    const auto focus = ynu_trace(4, 0);
    EXPECT_NEAR(surface(4).thickness, focus.back_focus, 1e-9);
    run_all({"cv 0.01 2", "cc -1 1"});
    EXPECT_EQ(surface(2).curvature, 0.01);
    EXPECT_EQ(surface(1).conic, -1.0);
    // Without a surface: the current one.
    run_all({"th 2.5"});
    EXPECT_EQ(surface(1).thickness, 2.5);
    // With an index the same name is still the lens item: an assignment, not the command.
    run_all({"x = rd[3]", "th[2] = 7"});
    EXPECT_EQ(surface(2).thickness, 7.0);
    EXPECT_EQ(lens_data().current_surface, 1);
    // A whole surface, its glass name taken whole.
    run_all({"srf 3 90 2 N-LAK9 8"});
    EXPECT_EQ(surface(3).curvature, 1.0 / 90);
    EXPECT_EQ(surface(3).thickness, 2.0);
    EXPECT_EQ(std::string(surface(3).medium_name), "N-LAK9    ");
    // A pickup at a surface.
    run_all({"pk 4 TH 2 0.5"});
    EXPECT_EQ(surface(4).thickness_kind, kThicknessPickup);
    EXPECT_EQ(surface(4).thickness_source, 2);
}

TEST_F(Entry, GlassAtANamedSurface) {
    run_all(kAtSurfaceLens);
    run_all({"GTO 1", "gla mod 4 \"X\" 1.6 40"});
    EXPECT_EQ(surface(4).medium_kind, kMediumModelIndexAbbe);
    EXPECT_EQ(std::string(surface(4).medium_name), "X         ");
    EXPECT_EQ(lens_data().current_surface, 4);
    EXPECT_NEAR(surface(4).index[0], 1.6, 1e-9);
    run_all({"gla 2 N-SF6"});
    EXPECT_EQ(surface(2).medium_kind, kMediumGlass);
    EXPECT_EQ(std::string(surface(2).medium_name), "N-SF6     ");
    // The glass's own failure comes through; the surface became air.
    EXPECT_EQ(run("gla 2 NOSUCH"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Glass NOSUCH is in no catalogue");
    EXPECT_EQ(surface(2).medium_kind, kMediumAir);
}

TEST_F(Entry, AtSurfaceRefusals) {
    run_all(kAtSurfaceLens);
    const double radius = surface(3).curvature;
    for (const std::string line : {"rd 80 9", "rd 80 -2", "gla 9 N-BK7", "srf 9 10 1",
                                   "pk 9 TH 1 0", "nz1 9 WV1 1", "stock_lens_at 9"}) {
        EXPECT_EQ(run(line), kErrorTextReady) << line;
        EXPECT_EQ(error_text().rfind("Surface ", 0), 0u) << line << ": " << error_text();
    }
    EXPECT_EQ(surface(3).curvature, radius);
    // A text with a quote or a semicolon stays inside the glass name: no second command runs.
    // The line run at the surface has shown its failure already: the result is the quiet stop.
    EXPECT_EQ(run("srf 2 30 1 \"A;th 99\" 5"), kStopQuietly);
    EXPECT_EQ(error_text(), "Glass A;TH 99 is in no catalogue");
    EXPECT_NE(surface(2).thickness, 99.0);
    EXPECT_EQ(surface(2).medium_kind, kMediumAir);
    EXPECT_EQ(run("stock_lens"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The stock-lens catalogue cannot be opened");
}

// The fourth value of a gradient-index coefficient given at wavelengths 1 to 3 follows from
// c = B + A / lambda^2 through wavelengths 2 and 3; equal values there give the first value.
// Every line completes the missing values at once, so the values at wavelengths 2 and 3 are
// typed before the first: typed first, the first value would fill the others.
TEST_F(Entry, GrinAtASurfaceCompletesTheWavelengths) {
    run_all(kAtSurfaceLens);
    run_all({"LEN", "WV 0.58756 0.48613 0.65627 0.4", "GTO 2", "GDT ARG", "END"});
    run_all({"nr1 2 WV2 -0.0022", "nr1 2 WV3 -0.0019", "nr1 2 WV1 -0.002", "nz3 2 WV2 0.2",
             "nz3 2 WV3 0.2", "nz3 2 WV1 0.7"});
    const double l2 = 0.48613, l3 = 0.65627, l4 = 0.4;
    const double a = (-0.0022 + 0.0019) / (1 / (l2 * l2) - 1 / (l3 * l3));
    const double b = -0.0022 - a / (l2 * l2);
    const GrinRecord* g = surface(2).grin;
    ASSERT_NE(g, nullptr);
    EXPECT_NEAR(g->coefficients[0][3], b + a / (l4 * l4), 1e-15);
    EXPECT_EQ(g->coefficients[6][3], 0.7);
}

}  // namespace
