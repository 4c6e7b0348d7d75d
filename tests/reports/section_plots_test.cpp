// Plots of the diffraction image of the perfect f/5 paraboloid against the Airy pattern: the
// 1/e^2 widths of the intensity sections, the dark ring in the point-spread perspective's
// central profile, the encircled energy inside the first dark ring; the width rule itself on
// profiles worked by hand; the refusals of counts the plots cannot draw.
#include <cmath>
#include <string>
#include <vector>

#include "platform/state_reset.h"
#include "reports/energy_mtf_frame.h"
#include "reports/section_plots.h"
#include "tests/reports/plot_fixture.h"
#include "ui/plot_scale.h"

namespace plot_test {
namespace {

class SectionPlots : public PlotLoop {
protected:
    void SetUp() override { PlotLoop::SetUp(); }
    // The paraboloid's NA: sin of the marginal angle, h / (f + h^2/4f) for h = 10, f = 100.
    static double na() { return 10.0 / 100.25; }
    static double lambda_mm() { return lens_data().wavelengths[0].wavelength * 1e-3; }
    bool drawn(const std::string& text) {
        for (const std::string& t : tavo_test::display_list_texts(display_list_words())) {
            if (t.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

TEST(SectionWidth, CrossingsOfHandWorkedProfiles) {
    const double e2 = std::exp(-2.0);
    struct Case {
        std::vector<double> samples;
        double spacing, width;
    };
    const Case cases[] = {
        // A triangle of peak 1 falling by 0.25 a sample: 1 - e^-2 is crossed 3.4587 samples out
        // on each side, between samples 3 and 4 where the line is exact.
        {{0.0, 0.0, 0.25, 0.5, 0.75, 1.0, 0.75, 0.5, 0.25, 0.0, 0.0},
         0.5,
         2.0 * (1.0 - e2) / 0.25 * 0.5},
        // The first of two equal peaks is the peak.
        {{0.0, 1.0, 1.0, 0.0}, 1.0, (1.0 - e2) + (1.0 + (1.0 - e2))},
        // Never below the level on the right: no width.
        {{0.0, 0.5, 1.0, 0.9, 0.8}, 1.0, 0.0},
        {{1.0}, 1.0, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(
            section_width_1e2(static_cast<int>(c.samples.size()), c.spacing, c.samples.data()),
            c.width, 1e-12);
    }
}

TEST_F(SectionPlots, IntensitySectionsOfThePerfectPupil) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 64");
    ASSERT_EQ(boxes(), 0u) << last_box();
    type("plot_intensity_sections mon 0 0 61");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const IntensitySections& s = section_plot_state().sections;
    // The Airy pattern's full width at 1/e^2 is 0.8225 lambda/NA.
    const double want = 0.41125 * lambda_mm() / na();
    EXPECT_NEAR(s.y_half_width, want, 0.01 * want);
    EXPECT_NEAR(s.x_half_width, want, 0.01 * want);
    // Width 0: five Airy radii (0.60984 lambda/NA), stepped down to a round half width.
    const double airy = 0.60984 * lambda_mm() / na();
    ASSERT_GT(5 * airy, 0.01);
    ASSERT_LT(5 * airy, 0.02);
    EXPECT_NEAR(s.w, 0.01, 1e-15);
    EXPECT_EQ(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 2.0 * s.w);
    EXPECT_EQ(s.n, 61);
    EXPECT_TRUE(drawn("1/e2 HALF WIDTHS")) << list_text();
    // An even count samples one more.
    type("plot_intensity_sections mon 0 0.02 20");
    EXPECT_EQ(section_plot_state().sections.n, 21);
    EXPECT_DOUBLE_EQ(section_plot_state().sections.w, 0.01);
}

TEST_F(SectionPlots, CountsThePlotsCannotDrawAreRefused) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 16");
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {"plot_intensity_sections mon 0 0 4", "Intensity sections need at least 5 points"},
        {"plot_line_spread lsf 0 0 0 1", "Line-spread curves need at least 2 points"},
        {"plot_psf x mon 0 0 16 one 0 1 0", "a window of at least 3 cells"},
        {"plot_psf x mon 0 0 16 one 0 2 0", "a window of at least 3 cells"},
    };
    for (const Case& c : cases) {
        const std::size_t before = boxes();
        type(c.line);
        ASSERT_EQ(boxes(), before + 1) << c.line;
        EXPECT_NE(last_box().find(c.message), std::string::npos) << c.line << ": " << last_box();
    }
}

TEST_F(SectionPlots, PointSpreadProfileHasItsDarkRingWhereTheAiryPatternHasIt) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    // 64 samples across the pupil in a grid of 256: cells of 64 lambda / (2 256 NA); a window
    // of 31 cells.
    type("plot_psf x mon 0 0 64 one 0 31 0");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const std::vector<double>& row = section_plot_state().psf_central_row;
    ASSERT_EQ(row.size(), 31u);
    const int c = 15;
    ASSERT_GT(row[c], 0.99);
    int minimum = c + 1;
    while (minimum + 1 < static_cast<int>(row.size()) && row[minimum + 1] < row[minimum]) ++minimum;
    const double cell = 64.0 * lambda_mm() / (2.0 * 256.0 * na());
    const double ring = 0.60984 * lambda_mm() / na() / cell;
    EXPECT_NEAR(minimum - c, ring, 0.5);
    EXPECT_NEAR(section_plot_state().psf_spacing, cell, 0.01 * cell);
}

TEST_F(SectionPlots, EncircledEnergyInsideTheFirstDarkRing) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    // The scale puts the 41st point on the first dark ring, 0.60984 lambda/NA; 64 samples
    // across the pupil in a grid of 512 make the ring 9.8 cells wide.
    const double ring = 0.60984 * lambda_mm() / na();
    type("plot_psf_encircled mon 0 64 512 0 " + number(ring));
    ASSERT_EQ(boxes(), 0u) << last_box();
    const PsfEnergyCurve& e = section_plot_state().energy;
    ASSERT_EQ(e.values.size(), 41u);
    EXPECT_NEAR(e.values[40], 0.8378, 0.01);
    EXPECT_NEAR(e.values[0], 0.0, 1e-12);
    EXPECT_TRUE(drawn("ENCIRCLED ENERGY")) << list_text();
    // Ensquared: a square as wide as the ring's diameter holds more than the ring.
    const double encircled = e.values[40];
    type("plot_psf_ensquared mon 0 64 512 0 " + number(2.0 * ring));
    ASSERT_EQ(boxes(), 0u) << last_box();
    EXPECT_GT(section_plot_state().energy.values[40], encircled);
    EXPECT_LT(section_plot_state().energy.values[40], 1.0);
    EXPECT_TRUE(drawn("ENSQUARED ENERGY")) << list_text();
}

TEST_F(SectionPlots, LineSpreadPlotsDraw) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    type("spd mon 32");
    for (const char* line :
         {"plot_line_spread both 0 0 0 41", "plot_psf_line_spread esf mon 0 0 32 64 0"}) {
        type(line);
        EXPECT_EQ(boxes(), 0u) << line << ": " << last_box();
        EXPECT_TRUE(drawn("SPREAD")) << line << list_text();
        EXPECT_GT(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 0.0);
    }
}

TEST_F(SectionPlots, FramesGolden) {
    mirror(200.0, -1.0, 10.0, 0.0, 0.0);
    graphwin_new_page(1);
    draw_section_plot_frame(0.01, 1.0, 0.0, kCmdPlotLineSpread, false, 1, 2);
    expect_golden("section_frame", list_text());
}

}  // namespace
}  // namespace plot_test
