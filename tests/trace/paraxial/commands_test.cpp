// The paraxial commands: listings against hand-written golden text, the selector commands, and
// the scaling of the lens with its refusals. The scaling runs the test's paraxial set-up in
// place of the lens set-up.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/arg_cells.h"
#include "runtime/run_as.h"
#include "tests/trace/paraxial/paraxial_fixture.h"
#include "trace/paraxial_commands.h"
#include "trace/paraxial_trace.h"

namespace paraxial_test {
namespace {

constexpr Medium kHalf{{1.5, 1.5, 1.5}};

ArgCell i_cell(int v) {
    return int_cell(v);
}
ArgCell d_cell(double v) {
    return double_cell(v);
}

class Commands : public ParaxialTest {
protected:
    std::vector<ArgCell> cells;
    std::vector<ArgCell*> pointers;
    static inline int recorded_command = 0;
    static inline int records = 0;

    void SetUp() override {
        ParaxialTest::SetUp();
        // Numbers in their full fixed form, as the golden text has them.
        set_output_option(kOptionTrim, 0);
        // The lens of the golden listings.
        make_lens(100.0, {{0.01, 10.0, kHalf}, {0.0, 50.0, kAir}});
        LensData& l = lens_data();
        l.entrance_beam_radius = 10.0;
        l.object_height = 10.0;
        ASSERT_EQ(test_lens_setup(0), 0);
        paraxial_hooks().lens_setup = test_lens_setup;
        records = 0;
        recorded_command = 0;
        set_run_as_recorder([] {
            ++records;
            recorded_command = current_command();
        });
        setup_calls = 0;
    }

    void TearDown() override {
        set_run_as_recorder(nullptr);
        ParaxialTest::TearDown();
    }

    int run(int command, int (*handler)(), std::vector<ArgCell> given) {
        cells = std::move(given);
        pointers.clear();
        for (ArgCell& c : cells) pointers.push_back(&c);
        set_arg_vector(pointers.data(), static_cast<int>(pointers.size()));
        set_current_command(command);
        return handler();
    }

    double efl() {
        double out[6];
        paraxial_setup_data(0, 0, out);
        return out[0];
    }
};

TEST_F(Commands, ParaxialRayListingMatchesTheGoldenText) {
    EXPECT_EQ(run(kCmdParaxialRays, cmd_paraxial_listing, {i_cell(1)}), 0);
    EXPECT_EQ(output_text(), read_fixture("paraxial_rays.txt"));
}

TEST_F(Commands, SeidelListingMatchesTheGoldenText) {
    EXPECT_EQ(run(kCmdSeidel, cmd_paraxial_listing, {i_cell(1)}), 0);
    EXPECT_EQ(output_text(), read_fixture("seidel.txt"));
}

TEST_F(Commands, SetupListingMatchesTheGoldenText) {
    EXPECT_EQ(run(kCmdParaxialSetup, cmd_paraxial_setup, {i_cell(0)}), 0);
    EXPECT_EQ(output_text(), read_fixture("setup.txt"));
}

struct RangeCase {
    const char* name;
    int command;
    int first, last;
    std::vector<std::string> rows;  // the surface labels of the printed rows
};

TEST_F(Commands, SurfaceRangesOfTheListings) {
    const RangeCase cases[] = {
        {"only the image row", kCmdParaxialRays, 0, 0, {"  3"}},
        {"only the sum row", kCmdSeidel, 0, 0, {"SUM"}},
        {"last raised to first", kCmdParaxialRays, 2, 1, {"  2"}},
        {"last alone from the start", kCmdParaxialRays, 0, 1, {"  0", "  1"}},
        {"aberrations start at 1", kCmdSeidel, 0, 2, {"  1", "  2"}},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        captured.clear();
        EXPECT_EQ(
            run(c.command, cmd_paraxial_listing, {i_cell(0), i_cell(c.first), i_cell(c.last)}), 0);
        std::vector<std::string> labels;
        const auto all = lines();
        for (std::size_t k = 2; k < all.size(); ++k) {
            if (!all[k].empty()) labels.push_back(all[k].substr(0, 3));
        }
        EXPECT_EQ(labels, c.rows);
    }
}

TEST_F(Commands, ListingWarnsOnceAboutSpecialData) {
    DecentreRecord decentre{};
    surface(1).decentre = &decentre;
    surface(2).toric = 1;
    const int r = run(kCmdParaxialRays, cmd_paraxial_listing, {i_cell(1)});
    surface(1).decentre = nullptr;
    surface(2).toric = 0;
    EXPECT_EQ(r, 0);
    int warnings = 0;
    for (const std::string& l : lines()) {
        if (l == "Special data are not modelled in the paraxial values") ++warnings;
    }
    EXPECT_EQ(warnings, 1);
}

TEST_F(Commands, XSectionListingTakesItsFactors) {
    EXPECT_EQ(run(kCmdParaxialRays, cmd_paraxial_listing,
                  {i_cell(1), i_cell(0), i_cell(0), i_cell(1), d_cell(0.5), d_cell(-3.0)}),
              0);
    const auto all = lines();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[0], "PARAXIAL RAY TRACE X-SECTION");
    EXPECT_EQ(all[1], "APERTURE FACTOR    0.500000 FIELD FACTOR    1.000000");
    EXPECT_EQ(paraxial_state().x_aperture_factor, 0.5);
    EXPECT_EQ(paraxial_state().x_field_factor, 1.0);  // not above 0: 1.0
}

TEST_F(Commands, SelectorsMoveOnlyTheCellsThatWereGiven) {
    // Selector 1 with no further cells: the listing sees empty cells, lists the image row,
    // and the history records the direct command.
    EXPECT_EQ(run(kCmdParaxialBySelector, cmd_paraxial_by_selector, {i_cell(1)}), 0);
    EXPECT_EQ(records, 1);
    EXPECT_EQ(recorded_command, kCmdParaxialRays);
    EXPECT_EQ(current_command(), kCmdParaxialBySelector);
    const auto all = lines();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].substr(0, 3), "  3");

    captured.clear();
    EXPECT_EQ(run(kCmdParaxialListingByKind, cmd_paraxial_listing_by_kind,
                  {i_cell(1), i_cell(1), i_cell(0), i_cell(0)}),
              0);
    EXPECT_EQ(recorded_command, kCmdSeidel);
    EXPECT_EQ(output_text(), read_fixture("seidel.txt"));

    captured.clear();
    EXPECT_EQ(run(kCmdParaxialBySelector, cmd_paraxial_by_selector,
                  {i_cell(0), i_cell(0), i_cell(0), i_cell(0), i_cell(0)}),
              0);
    EXPECT_EQ(recorded_command, kCmdParaxialSetup);
    EXPECT_EQ(output_text(), read_fixture("setup.txt"));
}

TEST_F(Commands, ScalingReachesItsTargetsAfterTheSetup) {
    // Focal length 200 to 150.
    EXPECT_EQ(run(kCmdScaleFocalLength, cmd_scale_lens, {i_cell(0), d_cell(0), d_cell(150.0)}), 0);
    EXPECT_EQ(setup_calls, 1);
    EXPECT_NEAR(efl(), 150.0, 1e-9);
    EXPECT_NEAR(surface(1).curvature, 0.01 * 200.0 / 150.0, 1e-15);
    EXPECT_NEAR(lens_data().entrance_beam_radius, 10.0 * 0.75, 1e-12);

    // Image height to 5.
    EXPECT_EQ(run(kCmdScale, cmd_scale_lens,
                  {i_cell(kScaleImageHeight), i_cell(0), i_cell(0), i_cell(0), d_cell(5.0)}),
              0);
    double out[6];
    paraxial_setup_data(0, 0, out);
    EXPECT_NEAR(out[4], 5.0, 1e-9);

    // f-number to 8 (finite object: the object-side cosine enters).
    EXPECT_EQ(run(kCmdScale, cmd_scale_lens,
                  {i_cell(kScaleFNumber), i_cell(0), i_cell(0), i_cell(0), d_cell(8.0)}),
              0);
    paraxial_setup_data(0, 0, out);
    EXPECT_NEAR(out[2], 8.0, 1e-9);
}

TEST_F(Commands, FNumberByAFactorTracesTheCurrentLens) {
    // Object at infinity: halving the f-number doubles the beam.
    surface(0).thickness = 1e10;
    lens_data().object_height = -1e9;
    ASSERT_EQ(test_lens_setup(0), 0);
    paraxial_state().u = 0.0;  // a stale trace with no output slope would leave the lens
    EXPECT_EQ(run(kCmdScale, cmd_scale_lens,
                  {i_cell(kScaleFNumber), i_cell(1), i_cell(0), i_cell(0), d_cell(2.0)}),
              0);
    EXPECT_NEAR(lens_data().entrance_beam_radius, 20.0, 1e-9);
}

TEST_F(Commands, ScalingByAFactorScalesACurvaturePickupOffsetOnce) {
    surface(2).curvature_kind = kCurvaturePickup;
    surface(2).curvature_source = 1;
    surface(2).curvature_solve_value = 0.004;
    surface(2).thickness_kind = kThicknessPickup;
    surface(2).thickness_source = 1;
    surface(2).thickness_solve_value = 3.0;
    EXPECT_EQ(run(kCmdScale, cmd_scale_lens,
                  {i_cell(kScaleFactorRange), i_cell(1), i_cell(0), i_cell(0), d_cell(2.0)}),
              0);
    EXPECT_DOUBLE_EQ(surface(2).curvature_solve_value, 0.002);
    EXPECT_DOUBLE_EQ(surface(2).thickness_solve_value, 6.0);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.005);
    EXPECT_DOUBLE_EQ(surface(1).thickness, 20.0);
    EXPECT_DOUBLE_EQ(surface(0).thickness, 200.0);
    // A range scaling leaves the aperture and field alone.
    EXPECT_DOUBLE_EQ(lens_data().entrance_beam_radius, 10.0);
    EXPECT_DOUBLE_EQ(lens_data().object_height, 10.0);
}

TEST_F(Commands, ZeroFieldPrintsTheInducedFifthOrderAsUndefined) {
    lens_data().object_height = 0.0;
    ASSERT_EQ(test_lens_setup(0), 0);
    for (int command : {kCmdFifthTotals, kCmdFifthSummary, kCmdFifthParts}) {
        SCOPED_TRACE(command);
        captured.clear();
        EXPECT_EQ(run(command, cmd_paraxial_listing, {i_cell(1)}), 0);
        const std::string text = output_text();
        EXPECT_EQ(text.find("nan"), std::string::npos);
        EXPECT_EQ(text.find("inf"), std::string::npos);
        EXPECT_NE(text.find(format_number(kInfiniteDistance, 0, 0)), std::string::npos);
    }
    EXPECT_TRUE(paraxial_state().lagrange_zero);
    // The intrinsic parts stay defined: the first surface's fifth-order spherical part.
    EXPECT_NE(paraxial_state().intrinsic_sum[1], 0.0);
}

struct Refusal {
    const char* name;
    int command;
    std::vector<ArgCell> cells;
    int expected;
};

TEST_F(Commands, RefusedScalingsChangeNothing) {
    const Refusal cases[] = {
        {"general command, zero",
         kCmdScale,
         {i_cell(kScaleFocalLength), i_cell(1), i_cell(0), i_cell(0), d_cell(0.0)},
         kMsgScaleValueZero},
        {"focal length by zero",
         kCmdScaleFocalLength,
         {i_cell(1), d_cell(0.0), d_cell(0.0)},
         kMsgScaleValueZero},
        {"focal length to zero",
         kCmdScaleFocalLength,
         {i_cell(0), d_cell(0.0), d_cell(0.0)},
         kMsgScaleValueZero},
        {"pickup from before the range",
         kCmdScale,
         {i_cell(kScaleFactorRange), i_cell(1), i_cell(2), i_cell(3), d_cell(2.0)},
         kMsgCannotScale},
    };
    surface(2).curvature_kind = kCurvaturePickup;
    surface(2).curvature_source = 1;
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.command, cmd_scale_lens, c.cells), c.expected);
        EXPECT_DOUBLE_EQ(surface(1).curvature, 0.01);
        EXPECT_DOUBLE_EQ(surface(1).thickness, 10.0);
        EXPECT_DOUBLE_EQ(lens_data().entrance_beam_radius, 10.0);
        EXPECT_EQ(setup_calls, 0);
    }

    HologramRecord hologram{};
    surface(2).hologram = &hologram;
    const int r = run(kCmdScaleFocalLength, cmd_scale_lens, {i_cell(1), d_cell(2.0)});
    surface(2).hologram = nullptr;
    EXPECT_EQ(r, kMsgCannotScale);
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.01);
}

TEST_F(Commands, SetupFailureKeepsTheScaledLensAndNamesTheSurface) {
    setup_result = -259;
    lens_data().failing_surface = 2;
    EXPECT_EQ(run(kCmdScaleFocalLength, cmd_scale_lens, {i_cell(1), d_cell(2.0)}), kErrorTextReady);
    EXPECT_STREQ(error_text_buffer(), "Zero axial ray height at the stop, surface 2");
    EXPECT_DOUBLE_EQ(surface(1).curvature, 0.005);
}

}  // namespace
}  // namespace paraxial_test
