// Contour plots of analytic tables: where the curves lie, whether they close, and the special
// cells (saddle, a level at the maximum, missing corners).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/contour_plot.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "tests/support/built_tables.h"
#include "ui/window_table.h"

namespace {

struct WorldPoint {
    double x, y;
};
using Curve = std::vector<WorldPoint>;

class Contours : public ::testing::Test, public tavo_test::MessageConsole {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(open_console_with_built_messages(), 0);
        ASSERT_EQ(graphwin_open(1, 0, 0, 0, 0), 0);
    }
    void TearDown() override { platform::reset_all_state(); }

    // The table of f over the grid of the plot: grid point i at x = i step - 1.
    void fill(int nx, int ny, const std::function<double(double, double)>& f) {
        const double step = 2.0 / (std::max(nx, ny) - 1);
        values_.assign(static_cast<std::size_t>(nx),
                       std::vector<double>(static_cast<std::size_t>(ny)));
        rows_.clear();
        for (int i = 0; i < nx; ++i) {
            for (int j = 0; j < ny; ++j) values_[i][j] = f(i * step - 1, j * step - 1);
            rows_.push_back(values_[i].data());
        }
    }
    int plot(int nx, int ny, std::vector<double> levels) {
        ContourOptions o;
        o.level_count = static_cast<int>(levels.size());
        o.levels = levels.data();
        return contour_plot(rows_.data(), nx, ny, o);
    }
    // The curves of the display list in world coordinates, the border (the first) left out. A
    // chain is drawn piece by piece: a polyline that starts where the last one ended continues
    // its curve.
    static std::vector<Curve> curves() {
        const GraphicsWindow& g = *graphics_current_record();
        const PlotSurface& s = plot_surface();
        std::vector<Curve> out;
        const std::vector<std::uint16_t> w = display_list_words();
        for (std::size_t at = 0; at < w.size();) {
            const int kind = w[at] & 0x7800, n = w[at] & 0x07FF;
            if (kind == 0x4800) {
                Curve piece;
                for (int k = 0; k < n; ++k) {
                    const double sx = static_cast<std::int16_t>(w[at + 1 + 2 * k]) + s.cx;
                    const double sy = static_cast<std::int16_t>(w[at + 2 + 2 * k]) + s.cy;
                    piece.push_back({(sx - g.offset_x) / g.scale_x, (sy - g.offset_y) / g.scale_y});
                }
                const bool continues = out.size() > 1 &&
                                       std::fabs(out.back().back().x - piece.front().x) < 1e-9 &&
                                       std::fabs(out.back().back().y - piece.front().y) < 1e-9;
                if (continues) {
                    out.back().insert(out.back().end(), piece.begin() + 1, piece.end());
                } else {
                    out.push_back(piece);
                }
                at += 1 + 2 * n;
            } else {
                at += kind == 0x1000 ? 5 : 1;
            }
        }
        if (!out.empty()) out.erase(out.begin());
        return out;
    }

    std::vector<std::vector<double>> values_;
    std::vector<const double*> rows_;
};

// One surface unit of the isotropic frame is about 1e-4 world units.
constexpr double kUnit = 2e-4;

TEST_F(Contours, APlaneGivesAStraightLineFromBorderToBorder) {
    fill(11, 11, [](double x, double) { return x; });
    ASSERT_EQ(plot(11, 11, {0.3}), 0);
    const auto c = curves();
    ASSERT_EQ(c.size(), 1u);
    double ymin = 1e9, ymax = -1e9;
    for (const WorldPoint& p : c[0]) {
        EXPECT_NEAR(p.x, 0.3, kUnit);
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    EXPECT_NEAR(ymin, -1, kUnit);
    EXPECT_NEAR(ymax, 1, kUnit);
}

TEST_F(Contours, APolarParaboloidGivesOneClosedCurveNearTheCircle) {
    fill(21, 21, [](double x, double y) { return x * x + y * y; });
    ASSERT_EQ(plot(21, 21, {0.5}), 0);
    const auto c = curves();
    ASSERT_EQ(c.size(), 1u);
    ASSERT_GT(c[0].size(), 20u);
    EXPECT_NEAR(c[0].front().x, c[0].back().x, kUnit);
    EXPECT_NEAR(c[0].front().y, c[0].back().y, kUnit);
    // The smoothing pulls the curve slightly inside the circle of radius sqrt(0.5).
    for (const WorldPoint& p : c[0]) EXPECT_NEAR(std::hypot(p.x, p.y), std::sqrt(0.5), 0.01);
}

TEST_F(Contours, ASaddleAtItsLevelGivesTwoCrossingLines) {
    // One cell, corners (-1,-1) 1, (1,-1) -1, (-1,1) -1, (1,1) 1: z = xy is 0 on both axes.
    fill(2, 2, [](double x, double y) { return x * y; });
    ASSERT_EQ(plot(2, 2, {0.0}), 0);
    const auto c = curves();
    ASSERT_EQ(c.size(), 2u);
    ASSERT_EQ(c[0].size(), 2u);
    ASSERT_EQ(c[1].size(), 2u);
    // One along x = 0, the other along y = 0, each from border to border.
    const Curve& vertical = std::fabs(c[0][0].x) < kUnit ? c[0] : c[1];
    const Curve& horizontal = std::fabs(c[0][0].x) < kUnit ? c[1] : c[0];
    EXPECT_NEAR(vertical[0].x, 0, kUnit);
    EXPECT_NEAR(vertical[1].x, 0, kUnit);
    EXPECT_NEAR(std::fabs(vertical[0].y - vertical[1].y), 2, kUnit);
    EXPECT_NEAR(horizontal[0].y, 0, kUnit);
    EXPECT_NEAR(horizontal[1].y, 0, kUnit);
    EXPECT_NEAR(std::fabs(horizontal[0].x - horizontal[1].x), 2, kUnit);
}

TEST_F(Contours, ALevelAtTheMaximumStillDraws) {
    fill(11, 11, [](double x, double y) { return 1 - x * x - y * y; });
    EXPECT_DOUBLE_EQ(values_[5][5], 1.0);
    ASSERT_EQ(plot(11, 11, {1.0}), 0);
    const auto c = curves();
    ASSERT_EQ(c.size(), 1u);
    for (const WorldPoint& p : c[0]) EXPECT_LT(std::hypot(p.x, p.y), 0.01);
}

TEST_F(Contours, AMissingCornerIsFilledOnlyWhenItsDiagonalAgrees) {
    // z = x with one missing grid point at (i, j) = (5, 5), the point x = 0, y = 0.
    fill(11, 11, [](double x, double) { return x; });
    values_[5][5] = kContourMissing;
    // Level 0.5 does not pass the cells around the missing point (their valid diagonals lie
    // below it): the line is whole.
    ASSERT_EQ(plot(11, 11, {0.5}), 0);
    auto c = curves();
    ASSERT_EQ(c.size(), 1u);
    for (const WorldPoint& p : c[0]) EXPECT_NEAR(p.x, 0.5, kUnit);
    // Level 0.1 passes the cells to the right of it, whose valid diagonals straddle it: those
    // two cells are skipped and the line breaks in two.
    graphwin_new_page(0);
    ASSERT_EQ(plot(11, 11, {0.1}), 0);
    c = curves();
    ASSERT_EQ(c.size(), 2u);
    for (const Curve& curve : c) {
        for (const WorldPoint& p : curve) EXPECT_NEAR(p.x, 0.1, kUnit);
    }
}

TEST_F(Contours, ARectangularTableSpansMinusOneToOneAlongItsLongerSide) {
    fill(11, 6, [](double x, double) { return x; });
    ASSERT_EQ(plot(11, 6, {0.0}), 0);
    const auto c = curves();
    ASSERT_EQ(c.size(), 1u);
    double ymin = 1e9, ymax = -1e9;
    for (const WorldPoint& p : c[0]) {
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    // Six rows of step 0.2: y from -1 to 0.
    EXPECT_NEAR(ymin, -1, kUnit);
    EXPECT_NEAR(ymax, 0, kUnit);
}

TEST_F(Contours, TablesBelowTwoByTwoAreRefused) {
    fill(1, 5, [](double x, double) { return x; });
    EXPECT_EQ(plot(1, 5, {0.0}), kErrorTextReady);
    EXPECT_TRUE(display_list_words().empty());
}

}  // namespace
