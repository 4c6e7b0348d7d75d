// The texts of every plot and report page as a plotter letters them: each plot is typed into
// the console program on a triplet with a long title and written as an HPGL file, whose labels
// are read back with their places and sizes. Every message must arrive whole, every label must
// lie inside the plot area, and no two labels may cover each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tavolt_run.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

const char* const kTriplet =
    "LEN NEW \"Cooke triplet f/4.5 50mm\"\nWV 0.58756 0.48613 0.65627\nEBR 10\nANG 20\nNXT\n"
    "SRF 21.48 2 N-SK16 10\nSRF -124.1 5.26 AIR 10\nAST\nSRF -19.1 1.25 N-F2 8\nRD 22\n"
    "TH 4.69\nAIR\nNXT\nSRF 328.9 2.25 N-SK16 10\nRD -16.7\nTH 43\nPY 0\nAIR\nNXT\nEND\n"
    "des \"verify\"\n";

// A label as the plotter draws it: its text and the box its characters fill, in plotter units
// with y upward.
struct Label {
    std::string text;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct Plot {
    double width = 0, height = 0;
    std::vector<Label> labels;
};

// Reads the labels of an HPGL file: the plot area from "SC", the direction from "DI", the
// character size (per cent of the plot area) from "SR", the extra space from "ES" and the
// label's start from the "PU" before it. A character advances 1.5 widths times (1 + extra);
// the last one is one width wide, and a label is one character height tall above its start,
// turned with the direction.
Plot read_plot(const std::string& hpgl) {
    Plot plot;
    double run = 1, rise = 0, size_w = 0, size_h = 0, extra = 0, x = 0, y = 0;
    std::size_t at = 0;
    while (at < hpgl.size()) {
        if (hpgl.compare(at, 2, "LB") == 0) {
            const std::size_t end = hpgl.find('\x03', at);
            if (end == std::string::npos) break;
            Label l;
            l.text = hpgl.substr(at + 2, end - at - 2);
            const double w = size_w / 100 * plot.width, h = size_h / 100 * plot.height;
            const double length = (l.text.size() - 1) * 1.5 * w * (1 + extra) + w;
            // Along the text (run, rise), up the text (-rise, run).
            const double ax = x + run * length, ay = y + rise * length;
            const double ux = -rise * h, uy = run * h;
            l.x0 = std::min({x, ax, x + ux, ax + ux});
            l.x1 = std::max({x, ax, x + ux, ax + ux});
            l.y0 = std::min({y, ay, y + uy, ay + uy});
            l.y1 = std::max({y, ay, y + uy, ay + uy});
            plot.labels.push_back(l);
            at = end + 1;
            continue;
        }
        const std::size_t end = hpgl.find_first_of(";\n", at);
        const std::string command =
            hpgl.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? hpgl.size() : end + 1;
        auto numbers = [&](std::size_t from) {
            std::vector<double> out;
            std::string s = command.substr(from);
            std::replace(s.begin(), s.end(), ',', ' ');
            std::istringstream in(s);
            for (double v; in >> v;) out.push_back(v);
            return out;
        };
        const std::string mnemonic = command.substr(0, 2);
        const std::vector<double> v = command.size() > 2 ? numbers(2) : std::vector<double>{};
        if (mnemonic == "SC" && v.size() == 4) {
            plot.width = v[1];
            plot.height = v[3];
        } else if (mnemonic == "DI" && v.size() == 2) {
            run = v[0];
            rise = v[1];
        } else if (mnemonic == "SR" && v.size() == 2) {
            size_w = v[0];
            size_h = v[1];
        } else if (mnemonic == "ES" && v.size() == 1) {
            extra = v[0];
        } else if (mnemonic == "PU" && v.size() >= 2) {
            x = v[v.size() - 2];
            y = v[v.size() - 1];
        } else if (mnemonic == "PD" && v.size() >= 2) {
            x = v[v.size() - 2];
            y = v[v.size() - 1];
        }
    }
    return plot;
}

class PlotTexts : public ::testing::Test {
protected:
    std::string run(const std::string& lines) {
        tree_.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree_.data().string() + "\n");
        return tavo_test::run_tavolt(tree_, lines).shown;
    }
    std::string file(const std::string& name) const { return (tree_.base() / name).string(); }

    tavo_test::TempTree tree_;
};

TEST_F(PlotTexts, EveryPlotAndPageLettersItsTextsWholeInsideTheAreaAndApart) {
    const struct {
        const char* lines;
        std::vector<std::string> whole;  // texts that must be labels of their own
    } cases[] = {
        {"plr cur yx 0.02 0 11",
         {"RAY INTERCEPTS  Cooke triplet f/4.5 50mm", "TANGENTIAL", "SAGITTAL"}},
        {"trr 1 0 0 0 0\nplr all yx 0 0 11", {"TANGENTIAL", "SAGITTAL"}},
        {"plot_wavefront map 0 0 0", {"WAVEFRONT MAP  Cooke triplet f/4.5 50mm  WV1"}},
        {"report_wavefront", {}},
        {"report_ray_trace", {"TANGENTIAL", "SAGITTAL"}},
        {"report_spot 0 0.4", {"FOCUS SHIFT", "CIRCLE RADIUS", "FRACTIONAL ENERGY"}},
        {"report_mtf", {}},
        {"spd mon 16\nplot_rad_energy_dist geo smo 0.0 20 0.05 1",
         {"ENCIRCLED ENERGY  Cooke triplet f/4.5 50mm"}},
        {"spd mon 16\nplm tfr mon 0 0 0 1 21 yes", {}},
        {"spd mon 16\nplm tfo mon 0 50 0 1 7 no",
         {"THROUGH-FOCUS MTF  Cooke triplet f/4.5 50mm  50 C/MM  WV1"}},
        {"report_psf", {}},
        {"draw_lens", {"Cooke triplet f/4.5 50mm   EFL 50.52   F/# 2.526", "UNITS: MM   verify"}},
    };
    for (const auto& c : cases) {
        const std::string shown =
            run(std::string(kTriplet) + c.lines + "\nhpgl_file \"" + file("p.hgl") + "\"\n");
        const Plot plot = read_plot(tavo_test::read_file(file("p.hgl")));
        ASSERT_GT(plot.width, 0) << c.lines << shown;
        EXPECT_FALSE(plot.labels.empty()) << c.lines;
        for (const std::string& text : c.whole) {
            EXPECT_TRUE(std::any_of(plot.labels.begin(), plot.labels.end(),
                                    [&](const Label& l) { return l.text == text; }))
                << c.lines << ": " << text;
        }
        // Half a per cent of the area is left for the rounding of places and sizes.
        const double slack = 0.005 * std::max(plot.width, plot.height);
        for (const Label& l : plot.labels) {
            EXPECT_TRUE(l.x0 >= -slack && l.x1 <= plot.width + slack && l.y0 >= -slack &&
                        l.y1 <= plot.height + slack)
                << c.lines << ": \"" << l.text << "\" at " << l.x0 << ".." << l.x1 << " x " << l.y0
                << ".." << l.y1 << " in " << plot.width << " x " << plot.height;
        }
        for (std::size_t i = 0; i < plot.labels.size(); ++i) {
            for (std::size_t j = i + 1; j < plot.labels.size(); ++j) {
                const Label& a = plot.labels[i];
                const Label& b = plot.labels[j];
                const double dx = std::min(a.x1, b.x1) - std::max(a.x0, b.x0);
                const double dy = std::min(a.y1, b.y1) - std::max(a.y0, b.y0);
                EXPECT_FALSE(dx > slack && dy > slack)
                    << c.lines << ": \"" << a.text << "\" over \"" << b.text << "\"";
            }
        }
    }
}

}  // namespace
