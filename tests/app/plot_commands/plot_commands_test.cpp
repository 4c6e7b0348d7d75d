// Splines through array4 and array5, and contour plots of a table, typed into the running
// program.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "graphics/plot_commands.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

class PlotCommands : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        clear_stored_spline();
    }
    void TearDown() override {
        clear_stored_spline();
        Loop::TearDown();
    }
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
    // The value of an expression as printf shows it with nine decimals.
    std::string printed(const std::string& expression) {
        const std::size_t before = output().size();
        type("printf \"<%.9f>\\n\", " + expression);
        const std::string out = output().substr(before);
        const std::size_t open = out.find('<');
        const std::size_t close = out.find('>', open);
        return open == std::string::npos || close == std::string::npos
                   ? out
                   : out.substr(open + 1, close - open - 1);
    }
    // Number of polyline points and records in the current window's list.
    void polylines(int* records, int* points) {
        const std::vector<std::uint16_t> w = display_list_words();
        *records = 0;
        *points = 0;
        for (std::size_t i = 0; i < w.size();) {
            const int kind = w[i] & kDlKindMask;
            const int value = w[i] & kDlValueMask;
            if (kind == kDlPolyline) {
                ++*records;
                *points += value;
                i += 1 + 2 * static_cast<std::size_t>(value);
            } else if (kind == kDlViewport) {
                i += 5;
            } else {
                ++i;  // the other records a plot writes carry no operands
            }
        }
    }
};

TEST_F(PlotCommands, StoredSplinesReproduceCubicsAndLines) {
    // With no end slopes given the ends are estimated from the cubic through the four end
    // points: for a cubic table that estimate is exact, and a spline with exact end slopes
    // reproduces the cubic itself. x^3 at 2.5 is 15.625, at 0.5 0.125; 2x + 1 at 3.7 is 8.4.
    struct Case {
        const char* fill;
        const char* x;
        const char* expected;
    } cases[] = {
        {"array5[i] = i * i * i", "2.5", "15.625000000"},
        {"array5[i] = i * i * i", "0.5", "0.125000000"},
        {"array5[i] = 2 * i + 1", "3.7", "8.400000000"},
        // Outside the table the end ordinate: no extrapolation.
        {"array5[i] = i * i * i", "7", "125.000000000"},
    };
    for (const Case& c : cases) {
        type(std::string("for (i = 0; i < 6; i++) { array4[i] = i; ") + c.fill + "; }");
        type("spline_fit 6");
        EXPECT_EQ(last_box(), "") << c.fill;
        EXPECT_EQ(printed(std::string("spline_value(") + c.x + ")"), c.expected) << c.fill;
    }
}

TEST_F(PlotCommands, BadTablesAreRefusedAndKeepTheStoredSpline) {
    type("a = spline_value(1)");
    EXPECT_NE(last_box().find("No fit or spline has been computed yet"), std::string::npos)
        << last_box();
    type("for (i = 0; i < 6; i++) { array4[i] = i; array5[i] = i * i * i; }");
    type("spline_fit 6");
    for (const char* line : {"array4[3] = 2; spline_fit 6", "spline_fit 1", "spline_fit 2001"}) {
        const std::size_t boxes = ui().message_boxes_shown().size();
        type(line);
        EXPECT_EQ(ui().message_boxes_shown().size(), boxes + 1) << line;
        EXPECT_NE(last_box().find("cannot be fitted"), std::string::npos) << line << last_box();
        EXPECT_EQ(printed("spline_value(2.5)"), "15.625000000") << line;
    }
}

TEST_F(PlotCommands, SplinePlotsDrawStepsPerInterval) {
    type("for (i = 0; i < 6; i++) { array4[i] = i; array5[i] = i * i; }");
    type("new_page");
    type("world_frame 0 0 5 0 25");
    type("spline_plot 6 4");
    EXPECT_EQ(last_box(), "") << errors();
    int records = 0, points = 0;
    polylines(&records, &points);
    // 5 intervals of 4 steps: 21 points, one more per further record where a long polyline is
    // split (each record starts at the point the last one ended).
    EXPECT_GE(records, 1);
    EXPECT_EQ(points - (records - 1), 21);

    type("spline_plot 6 0");
    EXPECT_NE(last_box().find("at least one step per interval"), std::string::npos) << last_box();
}

TEST_F(PlotCommands, ContoursOfATable) {
    // z = i over a 3 x 3 table: the level 0.5 crosses the two cells of each row of the first
    // column of cells, 1.5 those of the second: lines are drawn and nothing is refused.
    const std::string table =
        "double z[3][3], lv[2]; for (i = 0; i < 3; i++) for (j = 0; j < 3; j++) z[i][j] = i; "
        "lv[0] = 0.5; lv[1] = 1.5; ";
    type("new_page");
    type(table + "contour 1, 0, 0, z, 2, 0, 0, lv");
    EXPECT_EQ(last_box(), "") << errors();
    int records = 0, points = 0;
    polylines(&records, &points);
    EXPECT_GE(records, 3);  // the border of the table and the two levels

    // Tables that are not two-dimensional double arrays are refused; so is a level count that
    // the given level array cannot serve.
    for (const std::string& line : {table + "double v[4]; contour 0, 0, 0, v, 5, 0, 1, v",
                                    table + "int k[3][3]; contour 0, 0, 0, k, 5, 0, 1, lv",
                                    table + "int n[2]; contour 1, 0, 0, z, 2, 0, 0, n",
                                    table + "contour 1, 0, 0, z, 0, 0, 0, lv"}) {
        const std::size_t boxes = ui().message_boxes_shown().size();
        type(line);
        EXPECT_EQ(ui().message_boxes_shown().size(), boxes + 1) << line;
        EXPECT_NE(last_box().find("shapes"), std::string::npos) << line << ": " << last_box();
    }
}

}  // namespace
