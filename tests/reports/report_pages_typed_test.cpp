// The report pages on lenses typed as a user types them: the ray-trace page's own texts against
// a layout written by hand, and every page on a triplet in millimetres with three wavelengths,
// the same triplet in inches with two, and an afocal telescope.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "platform/clock.h"
#include "reports/report_page.h"
#include "runtime/dispatch.h"
#include "runtime/settings.h"
#include "tables/table_names.h"
#include "tests/reports/plot_fixture.h"
#include "tests/reports/slider_lenses.h"

namespace plot_test {
namespace {

std::vector<std::string>& lines_run() {
    static std::vector<std::string> lines;
    return lines;
}

platform::LocalTime fixed_clock() {
    platform::LocalTime t;
    t.year = 2002;
    t.month = 3;
    t.day = 7;
    t.hour = 9;
    t.minute = 5;
    return t;
}

// A text record of the display list: its text, the surface point it is stored at (relative to
// the surface centre), its anchor offsets in character units and its size in tenths.
struct TextRecord {
    std::string text;
    int x = 0, y = 0, dx = 0, dy = 0, size = 10;
};

std::vector<TextRecord> text_records() {
    std::vector<TextRecord> out;
    std::istringstream list(tavo_test::display_list_text(display_list_words()));
    std::string line;
    int size = 10;
    while (std::getline(list, line)) {
        if (line.rfind("attributes", 0) == 0) {
            // angle, pitch, line pitch, slant << 8 | size; "default" for the defaults
            std::istringstream words(line.substr(10));
            std::vector<int> operands;
            int v = 0;
            while (words >> v) operands.push_back(v);
            size = operands.size() == 4 ? (operands[3] & 0xFF) : 10;
        } else if (line.rfind("text ", 0) == 0) {
            TextRecord r;
            const std::size_t q = line.find('"');
            r.text = line.substr(q + 1, line.size() - q - 2);
            std::sscanf(line.c_str(), "text %d,%d +%d,%d", &r.x, &r.y, &r.dx, &r.dy);
            r.size = size;
            out.push_back(r);
            size = 10;
        }
    }
    return out;
}

// What a text drawn at window fractions should be stored as, worked out from the plotting
// surface of a window of aspect 0.625 (20480 x 12800 units about (10240, 6400)), its
// world-to-surface mapping and the anchor rule: offset 4 per tens digit, the units digit a
// point of a 3 x 3 grid, a line 6 units wide for its first character and 10 for each further
// one (a markup pair "@n" is one character).
TextRecord expected_record(double vx0, double vx1, double vy0, double vy1, double x, double y,
                           double size, int anchor, const std::string& text) {
    constexpr double kW = 20480, kH = 12800;
    constexpr int kCx = 10240, kCy = 6400;
    auto surface = [](double v) {
        if (v < 0) v -= 1;
        return static_cast<int>(std::trunc(v));
    };
    TextRecord r;
    r.text = text;
    r.x = surface(x * (kW - 1) * (vx1 - vx0) + (kW - 1) * vx0 + 0.5) - kCx;
    r.y = surface(y * (kH - 1) * (vy0 - vy1) + (kH - 1) * (1 - vy0) + 0.5) - kCy;
    int characters = 0;
    for (std::size_t k = 0; k < text.size(); ++k, ++characters) {
        if (text[k] == '@' && k + 1 < text.size()) ++k;
    }
    const double offset = (anchor / 10) * 4;
    const int digit = anchor % 10;
    const int e = digit == 0 ? 0 : digit - 1;
    const double h = e / 3, v = e % 3;
    const double width = 6 + (characters - 1) * 10.0;
    r.dx = static_cast<int>(std::lround((1 - h) * offset - h * width / 2));
    r.dy = static_cast<int>(std::lround(offset - (offset + 6) * v));
    r.size = static_cast<int>(std::lround(size * 10));
    return r;
}

std::vector<TextRecord> hand_written_layout(const std::string& name) {
    std::ifstream in(std::filesystem::path(TAVO_FIXTURES_DIR) / "reports" / name);
    EXPECT_TRUE(in.good()) << name;
    std::vector<TextRecord> out;
    double vx0 = 0, vx1 = 1, vy0 = 0, vy1 = 1;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (std::sscanf(line.c_str(), "viewport %lf %lf %lf %lf", &vx0, &vx1, &vy0, &vy1) == 4) {
            continue;
        }
        double x = 0, y = 0, size = 0;
        int anchor = 0;
        const std::size_t q = line.find('"');
        if (q == std::string::npos ||
            std::sscanf(line.c_str(), "%lf %lf %lf %d", &x, &y, &size, &anchor) != 4) {
            ADD_FAILURE() << "unreadable: " << line;
            continue;
        }
        const std::string text = line.substr(q + 1, line.rfind('"') - q - 1);
        out.push_back(expected_record(vx0, vx1, vy0, vy1, x, y, size, anchor, text));
    }
    return out;
}

class TypedReportPages : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        lines_run().clear();
        set_report_page_line_watcher([](const char* line) { lines_run().push_back(line); });
        set_report_page_clock(fixed_clock);
        ASSERT_GE(graphwin_open(1, 0, 0, 0, 0), 0);
    }
    void TearDown() override {
        set_report_page_line_watcher(nullptr);
        set_report_page_clock(nullptr);
        PlotLoop::TearDown();
    }
};

TEST_F(TypedReportPages, RayTracePageTextsMatchTheLayout) {
    type_all(slider_test::kCatalogueTriplet);
    type("des \"Ann Smith\"");
    ASSERT_EQ(boxes(), 0u) << last_box();
    set_setting_flag(kSetRptGfxDateAndTime, 0);
    // Texts are then stored with their anchor offsets rather than anchored.
    set_setting_flag(kSetGraphicsIsomorphicLabels, 1);
    ASSERT_EQ(run_command_string("report_ray_trace", 0), 0);
    ASSERT_EQ(graphics_current_record()->aspect, 0.625);

    const std::vector<TextRecord> layout = hand_written_layout("ray_trace_page_texts.txt");
    ASSERT_FALSE(layout.empty());
    // The page's texts, in the order drawn; the plots' own texts are not the page's.
    std::vector<TextRecord> drawn;
    for (const TextRecord& r : text_records()) {
        const bool listed = std::any_of(layout.begin(), layout.end(),
                                        [&](const TextRecord& l) { return l.text == r.text; });
        if (listed) drawn.push_back(r);
    }
    ASSERT_EQ(drawn.size(), layout.size()) << list_text();
    for (std::size_t k = 0; k < layout.size(); ++k) {
        const TextRecord &want = layout[k], &got = drawn[k];
        EXPECT_EQ(got.text, want.text) << k;
        EXPECT_NEAR(got.x, want.x, 1) << want.text;
        EXPECT_NEAR(got.y, want.y, 1) << want.text;
        EXPECT_EQ(got.size, want.size) << want.text;
        EXPECT_EQ(got.dx, want.dx) << want.text;
        EXPECT_EQ(got.dy, want.dy) << want.text;
    }
}

}  // namespace
}  // namespace plot_test
