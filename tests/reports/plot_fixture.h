// The running program with a graphics window, the trace's state as a new session starts it,
// and the lenses the plot tests type in: spherical and paraboloidal concave mirrors with the
// object at infinity, and the same sphere stopped at its centre of curvature.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/settings.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/display_list_text.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"

namespace plot_test {

using tavo_test::ListPoint;

// Surface point of a world point, as the display list stores it (relative to the centre).
inline ListPoint stored(double x, double y) {
    int sx = 0, sy = 0;
    gfx_world_to_device(x, y, &sx, &sy);
    return {sx - plot_surface().cx, sy - plot_surface().cy};
}

class PlotLoop : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        reset_pupil_scale_factors();
        set_setting_flag(kSetGraphicsAxes, 1);
        set_setting_flag(kSetGraphicsLabels, 1);
        set_setting_flag(kSetGraphicsAutoclear, 1);
        set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
        set_setting_double(kSetGraphicsMinimumScale, 0.0, 0, 0);
    }

    void type_all(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) type(line);
    }
    std::string last_box() {
        return ui().message_boxes_shown().empty() ? "" : ui().message_boxes_shown().back().text;
    }
    std::size_t boxes() { return ui().message_boxes_shown().size(); }

    // A concave mirror of radius R (conic cc) facing the object at infinity, beam radius h,
    // field angle in degrees, the image delta beyond the paraxial focus R/2 (towards the
    // mirror for a positive delta). With stop_at_centre a plane stop stands at the centre of
    // curvature, R before the mirror.
    void mirror(double R, double cc, double h, double degrees, double delta,
                bool stop_at_centre = false) {
        std::vector<std::string> lines = {"LEN NEW \"Mirror\"", "EBR " + number(h),
                                          "ANG " + number(degrees), "NXT"};
        if (stop_at_centre) lines.insert(lines.end(), {"TH " + number(R), "AST", "NXT"});
        lines.insert(lines.end(), {"RD " + number(-R), "TH " + number(-R / 2.0 + delta), "RFL",
                                   "CC " + number(cc), "NXT", "END"});
        type_all(lines);
        ASSERT_EQ(boxes(), 0u) << last_box();
    }

    // The current window's list as text from word `from` on.
    static std::string list_text() { return tavo_test::display_list_text(display_list_words()); }

    // Compares text with the golden file of that name under the fixtures; TAVO_WRITE_GOLDEN=1
    // writes it instead (review the difference before keeping it).
    static void expect_golden(const std::string& name, const std::string& text) {
        const std::filesystem::path path =
            std::filesystem::path(TAVO_FIXTURES_DIR) / "reports" / (name + ".txt");
        if (std::getenv("TAVO_WRITE_GOLDEN") != nullptr) {
            std::ofstream(path) << text;
            return;
        }
        std::ifstream in(path);
        ASSERT_TRUE(in.good()) << path;
        std::stringstream golden;
        golden << in.rdbuf();
        EXPECT_EQ(text, golden.str()) << name;
    }

    static std::string number(double v) {
        std::ostringstream out;
        out.precision(17);
        out << v;
        return out.str();
    }
};

}  // namespace plot_test
