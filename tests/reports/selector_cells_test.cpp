// The analysis dialogs' commands typed with every cell of their dialogs, in the dialog's order:
// each gives what the command it stands for gives when that command is typed directly, and the
// history shows that command.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "runtime/command_history.h"
#include "runtime/command_levels.h"
#include "tests/reports/plot_fixture.h"

namespace plot_test {
namespace {

class SelectorCells : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        mirror(200.0, 0.0, 10.0, 1.0, 0.0);
        ASSERT_GE(graphwin_open(1, 0, 0, 0, 0), 0);
    }
    // What a typed line shows: its text output and its plot.
    std::string shown_by(const std::string& line) {
        graphwin_new_page(1);
        const std::size_t before = output().size();
        type(line);
        return output().substr(before) + "\n--- plot ---\n" + list_text();
    }
};

TEST_F(SelectorCells, EverySelectorTypedWithAllItsCellsEqualsItsCommandTypedDirectly) {
    struct Case {
        std::string selector;
        std::string direct;
    };
    const std::vector<Case> cases = {
        {"select_ray_aberration 0 2 0 0 -1 1 0 0 0 0 0 21 0", "ray_fan 0 2 21 -1 1 0"},
        {"select_ray_aberration 1 1 0 0 -1 1 -0.8 0.6 0.1 0 0 15 0", "ray_fan 1 1 15 -0.8 0.6 0.1"},
        {"select_ray_aberration 2 0 1 1 -1 1 -1 1 0 0.2 0.3 17 0",
         "plot_ray_intercepts wvt yy 0.2 0.3 17"},
        {"select_ray_aberration 3 0 2 0 -1 1 -1 1 0 0.5 0 19 1", "plot_opd_fans all 0.5 0 19"},
        {"select_ray_aberration 4 0 1 0 -1 1 -1 1 0 0.1 0 0 0", "plot_astigmatism wvt 0.1"},
        {"select_ray_aberration 5 0 2 0 -1 1 -1 1 0 0 0 0 0", "plot_distortion all 0"},
        {"select_ray_aberration 6 0 0 0 -1 1 -1 1 0 0.01 0 0 0", "plot_lateral_color 0.01"},
        {"select_ray_aberration 7 0 1 0 -1 1 -1 1 0 0 0 0 0", "plot_longitudinal_aberration wvt 0"},
        {"select_spot 0 1 0 0 0 0 0.01 1 5 0", "spot_rays 1 0 1 5 0 0 0.01"},
        {"select_spot 1 1 0 1 0 0 0.02 1 1 0", "plot_spot_diagram chf sym 0.02 0"},
        {"select_spot 2 0 0 0 0 0 0 1 1 0", "spot_setup"},
        {"select_wavefront 1 0 0 0 0 0 16", "plot_wavefront con bfp y 0 0 0 16"},
        {"select_diffraction 0 0 1 0 1 0.01 0.02 0 0 0 32 0 0 0 64 0",
         "point_intensity 1 0 1 0.01 0.02 0"},
        {"select_diffraction 1 1 0 0 0 0 0 0 1 0.04 32 1 0 0 16 8",
         "plot_psf x mon 0 0 16 peak 0 8 0.04"},
        {"select_diffraction 1 0 0 0 0 0 0 0.1 1 0.04 16 0 2 0 64 0",
         "plot_intensity_perspective x mon 0 0.04 16 0.1 2"},
        {"select_diffraction 2 0 0 0 0 0 0 0.2 0 0.05 31 0 0.5 0 64 0",
         "plot_intensity_sections mon 0 0.05 31 0.2 0.5"},
        {"select_mtf 0 0 0 0 1 50 5 0.01 0 0 0 0 0 1 21 7", "mtf tfr mon 0 y 50 5 0.01 0 0 0"},
        {"select_mtf 0 0 0 1 1 0 0 0.01 0 0 0 0 0 3 11 5", "plot_mtf tfr mon 0 0.01 0 3 11 no"},
        {"select_geo_sections 0 0 1 -0.01 0.01 11 0.001 0 101",
         "spot_sections 1 -0.01 0.01 11 0.001 0 101"},
        {"select_geo_sections 1 2 0 0 0.02 21 0.001 0 31", "plot_line_spread both 0.02 0.001 0 31"},
        {"select_psf_sections 0 0 1 0 0 -0.01 0.01 11 32 16 0",
         "psf_sections 1 mon 0 -0.01 0.01 11 32 16 0"},
        {"select_psf_sections 1 1 0 0 0 0 0.02 21 32 16 0",
         "plot_psf_line_spread esf mon 0 0.02 16 32 0"},
        {"select_energy 0 0.2 0 0 0.01 0", "encircled_energy 0.2 0.01"},
        {"select_energy 1 0.2 0 0 0.01 0", "ensquared_energy 0.2 0.01"},
        {"select_energy 2 0.1 1 8 0.01 0.5", "plot_rad_energy_dist geo stair 0.01 8 0.5"},
        {"select_energy 3 0.1 1 8 0.01 0.5", "plot_ensquared_energy stair 0.01 8 0.5"},
        {"select_psf 0 0 0 32 16 0 0 0 0 0.1 0 11", "psf_encircled mon 0 32 16 0 0 0.1 0 11"},
        {"select_psf 1 0 0 32 16 0 0 0 1 0.1 0 11", "psf_ensquared mon 0 32 16 0 1 0.1 0 11"},
        {"select_psf 2 0 0 32 16 0 0.5 0 0 0.05 0 21", "plot_psf_encircled mon 0 16 32 0 0.5"},
        {"select_psf 3 0 0 32 16 0 0 0.4 0 0.05 0 21", "plot_psf_ensquared mon 0 16 32 0 0.4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector);
        const std::size_t shown = boxes();
        const std::string by_selector = shown_by(c.selector);
        ASSERT_EQ(boxes(), shown) << last_box();
        ASSERT_GT(history_count(), 0);
        const std::string recorded = history_line(history_count() - 1);
        const std::string name = c.direct.substr(0, c.direct.find(' '));
        EXPECT_EQ(recorded.substr(0, recorded.find(' ')), name) << recorded;
        const std::string direct = shown_by(c.direct);
        ASSERT_EQ(boxes(), shown) << last_box();
        EXPECT_GT(direct.size(), std::string("\n--- plot ---\n").size());
        EXPECT_EQ(by_selector, direct);
    }
}

// The ray-fan listing of the dialog's defaults with the rays per fan given: every line of the
// fan typed directly, none of them empty of values.
TEST_F(SelectorCells, TheRayFanOfEveryDialogCellListsTheFanItStandsFor) {
    const std::string by_selector = shown_by("select_ray_aberration 0 2 0 0 -1 1 0 0 0 0 0 21 0");
    EXPECT_EQ(boxes(), 0u) << last_box();
    EXPECT_STREQ(history_line(history_count() - 1), "ray_fan 0 2 0 -1.0 1.0 0.0");
    const std::string direct = shown_by("ray_fan 0 2 21 -1 1 0");
    EXPECT_EQ(by_selector, direct);
    EXPECT_NE(by_selector.find("\n 21 "), std::string::npos) << by_selector;
    EXPECT_NE(by_selector.find("-1.000000"), std::string::npos) << by_selector;
}

// The dialogs as a form on the console: opened as the Analysis menu opens them, a field answered
// by a typed line "<field> <value>" (a word of its list or a number), then OK. The defaults run
// an analysis too, listings as well as plots.
TEST_F(SelectorCells, EachDialogsFormRunsItsAnalysisWithItsDefaultsAndAChangedField) {
    struct Case {
        const char* dialog;
        const char* answer;
        const char* changed;
    };
    const std::vector<Case> cases = {
        {"select_ray_aberration", "0 intercepts", "plot_ray_intercepts"},
        {"select_spot", "0 plot", "plot_spot_diagram"},
        {"select_diffraction", "0 sections", "plot_intensity_sections"},
        {"select_mtf", "3 0", "mtf"},
        {"select_wavefront", "0 con", "plot_wavefront"},
        {"select_geo_sections", "0 1", "plot_line_spread"},
        {"select_psf_sections", "0 1", "plot_psf_line_spread"},
        {"select_energy", "0 encircled_plot", "plot_rad_energy_dist"},
        {"select_psf", "0 2", "plot_psf_encircled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        for (const bool change : {false, true}) {
            submit_command_line(c.dialog);
            for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
            ASSERT_EQ(level_count(), 1) << errors();
            if (change) type(c.answer);
            ASSERT_EQ(level_count(), 1) << errors();
            const int before = history_count();
            graphwin_new_page(1);
            const std::size_t written = output().size();
            accept_command_level();
            for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
            main_loop_pass(false);
            ASSERT_EQ(level_count(), 0);
            EXPECT_EQ(boxes(), 0u) << last_box();
            ASSERT_GT(history_count(), before);
            const std::string ran = history_line(history_count() - 1);
            // The defaults run the dialog's first or second analysis, as its list presets it.
            const std::string name = ran.substr(0, ran.find(' '));
            if (change) {
                EXPECT_EQ(name, c.changed) << ran;
            } else {
                EXPECT_FALSE(name.empty() || name == c.dialog) << ran;
            }
            // Its output: a listing's lines or a plot.
            EXPECT_TRUE(output().size() > written + 40 || !display_list_words().empty()) << ran;
        }
    }
}

}  // namespace
}  // namespace plot_test
