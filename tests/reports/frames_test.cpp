// The hidden-line pass of the perspective plots on hand-made rows, and the frames of the energy
// and image plots as their golden display lists.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "graphics/draw_primitives.h"
#include "reports/energy_mtf_frame.h"
#include "reports/floating_horizon.h"
#include "reports/image_plot_frame.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "tests/reports/plot_fixture.h"

namespace plot_test {
namespace {

class Frames : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        graphwin_new_page(1);
        set_plot_world(-1.0, 21.0, -2000.0, 12000.0);
    }
    // The running command with int cells from values, for the frames that read them.
    void run_as(int command, const std::vector<double>& values, bool doubles = false) {
        ArgCell** cells = new_arg_vector();
        for (std::size_t i = 0; i < values.size(); ++i) {
            ArgCell& c = *cells[i];
            c = ArgCell{};
            if (doubles) {
                c.type = kArgDouble;
                c.value.d = values[i];
            } else {
                c.type = kArgInt;
                c.value.i = static_cast<std::int32_t>(values[i]);
            }
        }
        set_arg_vector(cells, static_cast<int>(values.size()));
        set_current_command(command);
    }
};

constexpr double kDx = 1.0;

TEST_F(Frames, TheFrontRowIsNeverHiddenAndRaisesTheHorizon) {
    FloatingHorizon h(12, kDx);
    const std::vector<double> row = {0.0, 100.0, -50.0, 2000.4, 7.5};
    h.draw_row(1, row.data(), 5, 0.0);
    flush_pending_polyline();
    EXPECT_EQ(h.height(0), -10000);
    EXPECT_EQ(h.height(1), 0);
    EXPECT_EQ(h.height(2), 100);
    EXPECT_EQ(h.height(3), -50);
    EXPECT_EQ(h.height(4), 2000);
    EXPECT_EQ(h.height(5), 8);
    const auto lines = tavo_test::display_list_polylines(display_list_words());
    ASSERT_EQ(lines.size(), 1u);
    // From the base up to every sample, then down to the base.
    ASSERT_EQ(lines[0].size(), 7u);
    EXPECT_EQ(lines[0][4].y, stored(4, 2000.4).y);
    EXPECT_EQ(lines[0][6].y, stored(5, 0).y);
}

TEST_F(Frames, APeakHidesTheMiddleOfTheRowBehindIt) {
    FloatingHorizon h(16, kDx);
    const std::vector<double> front = {0, 0, 0, 0, 5000, 0, 0, 0, 0};
    h.draw_row(1, front.data(), 9, 0.0);
    flush_pending_polyline();
    const std::size_t before = tavo_test::display_list_polylines(display_list_words()).size();
    const std::vector<double> back(9, 1000.0);
    h.draw_row(2, back.data(), 9, 1000.0);
    flush_pending_polyline();
    const auto lines = tavo_test::display_list_polylines(display_list_words());
    ASSERT_EQ(lines.size(), before + 2);
    // The row goes behind the peak where it meets the horizon from (4, 0) to (5, 5000), at
    // x 4.2, and comes out where the horizon falls from (5, 5000) to (6, 0), at 5.8.
    const auto& left = lines[before];
    const auto& right = lines[before + 1];
    EXPECT_NEAR(left.back().x, stored(4.2, 1000).x, 1);
    EXPECT_NEAR(left.back().y, stored(4.2, 1000).y, 1);
    EXPECT_NEAR(right.front().x, stored(5.8, 1000).x, 1);
    EXPECT_NEAR(right.back().x, stored(10, 1000).x, 1);
    // The hidden column keeps the peak; the others rise to the row.
    EXPECT_EQ(h.height(5), 5000);
    EXPECT_EQ(h.height(4), 1000);
    EXPECT_EQ(h.height(10), 1000);
}

TEST_F(Frames, SamplesAboveTheHorizonsRangeAreDrawnButNotStored) {
    FloatingHorizon h(4, kDx);
    const std::vector<double> row = {40000.0, 32767.0};
    h.draw_row(1, row.data(), 2, 0.0);
    EXPECT_EQ(h.height(1), -10000);
    EXPECT_EQ(h.height(2), 32767);
}

TEST_F(Frames, FlatRowsAreAllVisibleWithTheirDropLines) {
    FloatingHorizon h(20, kDx);
    for (int r = 1; r <= 3; ++r) {
        const double base = (r - 1) * 1000.0;
        const std::vector<double> row(9, base);
        h.draw_row(r, row.data(), 9, base);
    }
    flush_pending_polyline();
    const auto lines = tavo_test::display_list_polylines(display_list_words());
    ASSERT_EQ(lines.size(), 3u);
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(lines[static_cast<std::size_t>(r) - 1].front().x, stored(r, 0).x);
        EXPECT_EQ(lines[static_cast<std::size_t>(r) - 1].back().x, stored(r + 8, 0).x);
    }
}

// Rows of crossing waves drawn front to back, each shifted one column right and raised, as the
// perspectives draw them. Every drawn segment of a row must lie on or above what the earlier
// rows drew (a raster of their highest drawn point in each fine column, kept here apart from the
// horizon), and every sample above that raster must be drawn.
TEST_F(Frames, DrawnSegmentsLieAboveTheColumnMaximaOfEarlierRows) {
    constexpr int kRows = 6, kSamples = 9, kFine = 16;
    FloatingHorizon h(kRows + kSamples + 2, kDx);
    const double per_unit_y = 1000.0 / (stored(0, 1000).y - stored(0, 0).y);
    const double per_unit_x = 1.0 / (stored(1, 0).x - stored(0, 0).x);
    // Quantisation of the list's points (a few world units in y, whole surface units in x)
    // and the horizon's whole heights.
    const double tolerance = 20.0;
    auto world = [&](const ListPoint& p, double& x, double& y) {
        x = (p.x - stored(0, 0).x) * per_unit_x;
        y = (p.y - stored(0, 0).y) * per_unit_y;
    };
    std::vector<double> raster((kRows + kSamples + 2) * kFine + 1, -1e300);
    std::size_t seen = 0;
    int hidden = 0;
    for (int r = 0; r < kRows; ++r) {
        const double base = 3000.0 + r * 600.0;
        std::vector<double> row(kSamples);
        for (int i = 0; i < kSamples; ++i) {
            row[static_cast<std::size_t>(i)] =
                base + 2500.0 * std::sin(0.9 * i + 1.7 * r) + (r == 0 && i == 4 ? 4000.0 : 0.0);
        }
        h.draw_row(r + 1, row.data(), kSamples, base);
        flush_pending_polyline();
        const auto lines = tavo_test::display_list_polylines(display_list_words());
        ASSERT_GE(lines.size(), seen + 1);
        std::vector<std::array<double, 4>> segments;
        for (std::size_t k = seen; k < lines.size(); ++k) {
            for (std::size_t j = 1; j < lines[k].size(); ++j) {
                std::array<double, 4> s{};
                world(lines[k][j - 1], s[0], s[1]);
                world(lines[k][j], s[2], s[3]);
                segments.push_back(s);
            }
        }
        seen = lines.size();
        // Every fine column strictly inside a segment that slopes across the columns.
        auto for_columns = [&](const std::array<double, 4>& s, auto&& f) {
            const double x0 = std::min(s[0], s[2]), x1 = std::max(s[0], s[2]);
            if (x1 - x0 < 0.5 * per_unit_x) return;
            for (int c = static_cast<int>(std::ceil(x0 * kFine)); c <= x1 * kFine; ++c) {
                const double x = static_cast<double>(c) / kFine;
                if (x <= x0 + 2.0 * per_unit_x || x >= x1 - 2.0 * per_unit_x) continue;
                f(c, s[1] + (s[3] - s[1]) * (x - s[0]) / (s[2] - s[0]));
            }
        };
        for (const auto& s : segments) {
            for_columns(s, [&](int c, double y) {
                EXPECT_GE(y, raster[static_cast<std::size_t>(c)] - tolerance)
                    << "row " << r << " at x " << static_cast<double>(c) / kFine;
            });
        }
        // A sample clearly above the earlier rows is drawn: a drawn point of this row is there.
        for (int i = 0; i < kSamples; ++i) {
            const double x = r + 1 + i, y = row[static_cast<std::size_t>(i)];
            const double below = raster[static_cast<std::size_t>((r + 1 + i) * kFine)];
            if (y < below - tolerance) ++hidden;
            if (y <= below + tolerance) continue;
            bool drawn = false;
            for (const auto& s : segments) {
                for (int e = 0; e < 4; e += 2) {
                    drawn = drawn || (std::fabs(s[e] - x) <= 3.0 * per_unit_x &&
                                      std::fabs(s[e + 1] - y) <= tolerance);
                }
            }
            EXPECT_TRUE(drawn) << "row " << r << " sample " << i;
        }
        // The row's drawn segments raise the raster, vertical ones at their column.
        for (const auto& s : segments) {
            if (std::fabs(s[2] - s[0]) < 0.5 * per_unit_x) {
                const auto c = static_cast<std::size_t>(std::lround(s[0] * kFine));
                raster[c] = std::max({raster[c], s[1], s[3]});
                continue;
            }
            for (int c = static_cast<int>(std::ceil(std::min(s[0], s[2]) * kFine));
                 c <= std::max(s[0], s[2]) * kFine; ++c) {
                const double x = static_cast<double>(c) / kFine;
                const double y = s[1] + (s[3] - s[1]) * (x - s[0]) / (s[2] - s[0]);
                raster[static_cast<std::size_t>(c)] =
                    std::max(raster[static_cast<std::size_t>(c)], y);
            }
        }
    }
    // The waves and the front row's peak hide some samples behind them.
    EXPECT_GT(hidden, 3);
}

TEST_F(Frames, EnergyFrameGolden) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    set_setting_double(kSetGraphicsCurrentScale, 0.004, 0, 0);
    run_as(kCmdPlotPsfEncircled, {0, 1, 64, 128, 0, 0});
    graphwin_new_page(1);
    draw_energy_mtf_frame(0.0);
    expect_golden("energy_frame", list_text());
}

TEST_F(Frames, ImageFrameGolden) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    run_as(kCmdPlotPsf, {0, 0, 1, 0, 64});
    graphwin_new_page(1);
    draw_image_plot_frame(0.0, 0.0, 0.0, 0.02, 0);
    FrameBox world;
    gfx_frame(2, 2, &world);
    // The world about (-1.2..1.2, -1.1..1.4) with one unit as long across as up.
    EXPECT_NEAR((world.xmin + world.xmax) / 2.0, 0.0, 1e-12);
    EXPECT_NEAR((world.ymin + world.ymax) / 2.0, 0.15, 1e-12);
    expect_golden("image_frame", list_text());
}

TEST_F(Frames, SpotAndWavefrontFramesGolden) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    type("spd mon 8");
    ASSERT_EQ(boxes(), 0u) << last_box();
    set_setting_double(kSetGraphicsCurrentScale, 0.05, 0, 0);
    std::string text;
    // The spot diagram about its centroid with units, then with the wavelength legend.
    for (int symbols : {0, 1}) {
        run_as(kCmdPlotSpotDiagram, {0, static_cast<double>(symbols), 0, 0.05});
        graphwin_new_page(1);
        draw_image_plot_frame(0.1, 0.0, 0.0, 0.05, 0);
        text += list_text();
    }
    // The wavefront map and the perspective.
    for (int w : {kWavefrontMapForm, 0}) {
        run_as(kCmdPlotWavefront, {static_cast<double>(w == 0 ? 1 : 0), 0, 0, 1, 0.5, 0, 8});
        graphwin_new_page(1);
        draw_image_plot_frame(0.0, 0.0, 0.0, 0.25, w);
        text += list_text();
    }
    expect_golden("spot_wavefront_frames", text);
}

}  // namespace
}  // namespace plot_test
