// Drawing a cubic spline: the polyline it records equals one through the textbook curve.
//
// Through (0, 0), (1, 1), (2, 0) with both end slopes 0 the clamped spline is 3x^2 - 2x^3 on
// [0, 1] and its mirror image on [1, 2].
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_spline.h"
#include "graphics/graphics_window.h"
#include "numeric/cubic_spline.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "tables/table_names.h"
#include "tests/support/built_tables.h"
#include "ui/window_table.h"

namespace {

double textbook(double x) {
    const double t = x <= 1 ? x : 2 - x;
    return 3 * t * t - 2 * t * t * t;
}

class SplinePlot : public ::testing::Test, public tavo_test::MessageConsole {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(open_console_with_built_messages(), 0);
        ASSERT_EQ(graphwin_open(1, 0, 0, 0, 0), 0);
        ASSERT_EQ(spline_coefficients(x_, y_, 3, 0.0, 0.0, y2_), 0);
    }
    void TearDown() override { platform::reset_all_state(); }
    // The words a polyline through the given points records on a fresh page.
    static std::vector<std::uint16_t> polyline_words(const std::vector<double>& px,
                                                     const std::vector<double>& py) {
        graphwin_new_page(0);
        FrameBox world{-0.5, 2.5, -0.5, 2.5, 0};
        gfx_frame(1, 2, &world);
        gfx_polyline(px.data(), py.data(), static_cast<int>(px.size()), 0);
        return display_list_words();
    }

    double x_[3] = {0, 1, 2};
    double y_[3] = {0, 1, 0};
    double y2_[3] = {};
};

TEST_F(SplinePlot, ThePlotFollowsTheTextbookCurve) {
    struct Case {
        int steps;
        int exchange;
    };
    for (const Case& c : std::vector<Case>{{4, 0}, {1, 0}, {3, 1}}) {
        std::vector<double> a, v;
        for (int k = 0; k <= 2 * c.steps; ++k) {
            a.push_back(static_cast<double>(k) / c.steps);
            v.push_back(textbook(a.back()));
        }
        const auto expected = c.exchange != 0 ? polyline_words(v, a) : polyline_words(a, v);
        graphwin_new_page(0);
        FrameBox world{-0.5, 2.5, -0.5, 2.5, 0};
        gfx_frame(1, 2, &world);
        ASSERT_EQ(plot_spline(x_, y_, y2_, 3, c.steps, c.exchange), 0);
        EXPECT_EQ(display_list_words(), expected) << c.steps << " " << c.exchange;
    }
}

TEST_F(SplinePlot, StepsBelowOneAreRefused) {
    graphwin_new_page(0);
    EXPECT_EQ(plot_spline(x_, y_, y2_, 3, 0, 0), kErrorTextReady);
    EXPECT_TRUE(display_list_words().empty());
    EXPECT_EQ(plot_spline(x_, y_, y2_, 0, 4, 0), kMsgBadFitTable);
}

}  // namespace
