// The analysis dialogs' commands: each typed choice runs and records the one analysis command
// it names with the cells the dialog's fields become, draws what that command draws, and leaves
// the caller's cells as they were.
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "lens/lens_data.h"
#include "reports/analysis_selectors.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/command_text.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/menu_store.h"
#include "runtime/parameters.h"
#include "runtime/run_as.h"
#include "runtime/table_help.h"
#include "tables/table_names.h"
#include "tests/reports/plot_fixture.h"
#include "ui/menus.h"

namespace plot_test {
namespace {

struct Recorded {
    int count = 0;
    int command = 0;
    std::vector<double> values;
    std::string text;
};
Recorded& recorded() {
    static Recorded r;
    return r;
}

class AnalysisSelectors : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        recorded() = Recorded{};
        set_run_as_recorder([] {
            Recorded& r = recorded();
            ++r.count;
            r.command = current_command();
            r.values.clear();
            for (int k = 0; k < arg_count(); ++k) r.values.push_back(arg_double(k));
            format_command_text(r.text, 0);
        });
        mirror(200.0, 0.0, 10.0, 1.0, 0.0);
        ASSERT_GE(graphwin_open(1, 0, 0, 0, 0), 0);
    }
    void TearDown() override {
        set_run_as_recorder(nullptr);
        PlotLoop::TearDown();
    }
};

TEST_F(AnalysisSelectors, EachChoiceRunsAndRecordsItsCommand) {
    struct Case {
        std::string line;
        int command;
        int count;
        bool draws;
    };
    const std::vector<Case> cases = {
        {"select_ray_aberration 0", kCmdRayFan, 6, false},
        {"select_ray_aberration 1", kCmdRayFan, 6, false},
        {"select_ray_aberration 2", kCmdPlotRayIntercepts, 5, true},
        {"select_ray_aberration 3", kCmdPlotOpdFans, 4, true},
        {"select_ray_aberration 4", kCmdPlotAstigmatism, 2, true},
        {"select_ray_aberration 5", kCmdPlotDistortion, 2, true},
        {"select_ray_aberration 7", kCmdPlotLongitudinalAberration, 2, true},
        {"select_spot 0", kCmdSpotRays, 7, false},
        {"select_spot 1", kCmdPlotSpotDiagram, 4, true},
        {"select_spot 2", kCmdSpotSetup, 0, false},
        {"select_diffraction 0", kCmdPointIntensity, 6, false},
        {"select_diffraction 1 1 0 mon 0 0 0 0 y 0 0 one 0 0 16", kCmdPlotPsf, 9, true},
        {"select_diffraction 1 0 0 mon 0 0 0 0 y 0 16", kCmdPlotIntensityPerspective, 7, true},
        {"select_diffraction 2 0 0 mon 0 0 0 0 y 0 21", kCmdPlotIntensitySections, 6, true},
        {"select_mtf tfr mon 0 0", kCmdMtf, 10, false},
        {"select_mtf tfr mon 0 1", kCmdPlotMtf, 11, true},
        {"select_mtf tfo mon 0 1 y 0 0 0 0.1", kCmdPlotMtf, 11, true},
        {"select_wavefront", kCmdPlotWavefront, 7, true},
        {"select_geo_sections 0", kCmdSpotSections, 7, false},
        {"select_geo_sections 1", kCmdPlotLineSpread, 5, true},
        {"select_psf_sections 0 0 0 0 0 21 32 16", kCmdPsfSections, 9, false},
        {"select_psf_sections 1 0 0 0 0 21 32 16", kCmdPlotPsfLineSpread, 7, true},
        {"select_energy 0", kCmdEncircledEnergy, 2, false},
        {"select_energy 1", kCmdEnsquaredEnergy, 2, false},
        {"select_energy 2", kCmdPlotRadEnergyDist, 10, true},
        {"select_energy 3", kCmdPlotEnsquaredEnergy, 4, true},
        {"select_psf 0 0 32 16", kCmdPsfEncircled, 9, false},
        {"select_psf 1 0 32 16", kCmdPsfEnsquared, 9, false},
        {"select_psf 2 0 32 16", kCmdPlotPsfEncircled, 6, true},
        {"select_psf 3 0 32 16", kCmdPlotPsfEnsquared, 6, true},
    };
    for (const Case& c : cases) {
        recorded() = Recorded{};
        graphwin_new_page(1);
        const std::size_t before = display_list_words().size();
        EXPECT_EQ(run_command_string(c.line.c_str(), 0), 0) << c.line << " " << last_box();
        EXPECT_EQ(recorded().count, 1) << c.line;
        EXPECT_EQ(recorded().command, c.command) << c.line;
        EXPECT_EQ(static_cast<int>(recorded().values.size()), c.count) << c.line;
        if (c.draws) {
            EXPECT_GT(display_list_words().size(), before) << c.line;
        }
    }
}

TEST_F(AnalysisSelectors, ACellMapTakesTheDialogsFields) {
    struct Case {
        std::string line;
        std::vector<double> cells;
    };
    const std::vector<Case> cases = {
        // Every cell in the dialog's order, the list cells too. The sagittal fan: direction 1,
        // mode, all rays, the x range and the fixed coordinate.
        {"select_ray_aberration 1 2 0 0 -0.5 0.5 -0.7 0.6 0.1", {1, 2, 0, -0.7, 0.6, 0.1}},
        // Rays per fan go to the lens and from it to the plot.
        {"select_ray_aberration 3 0 wvt 0 0 0 0 0 0 0.2 0.3 13 1", {1, 0.2, 0.3, 13}},
        // Fewer than 6 steps ask for 12.
        {"select_energy 2 0.1 0 4 0.02 0.5", {0, 0, 0, 0, 0, 0.02, 12, 0.5, 0, 0}},
        {"select_energy 3 0.1", {0, 0, 12, 0}},
        {"select_energy 3 0.1 0 8 0.02 0.5", {0, 0.02, 8, 0.5}},
        // The spot rays about the reference: mode 2 with centre -2.
        {"select_spot 0 chf 1 0 0.1 0.2 0.3 2 5", {2, -2, 2, 5, 0.1, 0.2, 0.3}},
        {"select_spot 0 chf 2 0 0.1 0.2 0.3 2 5", {3, 0, 2, 5, 0.1, 0.2, 0.3}},
        // A spot diagram of the first wavelength alone for what follows.
        {"spot_diagram mon none 0 1", {}},
        // The point intensity: about the reference, one wavelength, y, x and focus.
        {"select_diffraction 0 1 1 mon 1 0.01 0.02 0.03", {1, 0, 1, 0.01, 0.02, 0.03}},
        // "all" on a one-wavelength spot diagram asks for that wavelength.
        {"select_diffraction 0 1 0 chr 0 0.01", {0, 0, 1, 0.01, 0, 0}},
        {"select_diffraction 2 0 0 chr 0 0 0 0.2 y 0.05 31 one 0.5", {0, 1, 0.05, 31, 0.2, 0.5}},
        // The dialog's profiles read y 0, x 1 for both plots; the FFT plot counts x 0.
        {"select_diffraction 1 1 0 mon 0 0 0 0 x 0.04 32 peak 0 0 16 8",
         {0, 0, 0, 0, 16, 1, 0, 8, 0.04}},
        {"select_diffraction 1 0 0 mon 0 0 0 0.1 x 0.04 16 one 2", {1, 0, 0, 0.04, 16, 0.1, 2}},
        // The listing against frequency takes the frequency range, through focus the rest.
        {"select_mtf tfr mon 1 0 x 50 5 0.01", {0, 0, 1, 0, 50, 5, 0.01, 0, 0, 0}},
        {"select_mtf tfo mon 1 0 y 0 0 0 30 0.2 0.05", {1, 0, 1, 1, 0, 0, 0, 30, 0.2, 0.05}},
        // The plot: focus, frequency, the scales as doubles, marker, samples, focus positions,
        // and no diffraction-limited curve.
        {"select_mtf tfr chr 0 1 y 0 0 0.01 0 0 0 0 0 3 11 5",
         {0, 0, 1, 0.01, 0, 0, 0, 3, 11, 5, 0}},
    };
    for (const Case& c : cases) {
        recorded() = Recorded{};
        EXPECT_EQ(run_command_string(c.line.c_str(), 0), 0) << c.line << " " << last_box();
        EXPECT_EQ(recorded().values, c.cells) << c.line << ": " << recorded().text;
    }
    EXPECT_EQ(lens_data().fan_rays, 13);
    EXPECT_EQ(lens_data().htnu, 1);
}

TEST_F(AnalysisSelectors, WavelengthsTheSpotDiagramLacksAndAfocalThroughFocusAreRefused) {
    struct Case {
        std::string line;
        std::string box;
    };
    const std::vector<Case> cases = {
        {"select_diffraction 0 1 0 mon 2", "Wavelength 2 has no rays in the spot diagram"},
        {"select_diffraction 2 0 0 mon 3", "Wavelength 3 has no rays in the spot diagram"},
        {"select_mtf tfr mon 2 0", "Wavelength 2 has no rays in the spot diagram"},
        {"select_mtf tfr mon 2 1", "Wavelength 2 has no rays in the spot diagram"},
        {"select_mtf tfo mon 0 1 y 0 0 0 0.1", ""},
    };
    // A spot diagram of the first wavelength alone.
    type("spot_diagram mon none 0 1");
    ASSERT_EQ(boxes(), 0u) << last_box();
    for (const Case& c : cases) {
        recorded() = Recorded{};
        const std::size_t shown = boxes();
        type(c.line);
        if (c.box.empty()) {
            EXPECT_EQ(boxes(), shown) << c.line << ": " << last_box();
            EXPECT_EQ(recorded().count, 1) << c.line;
        } else {
            EXPECT_EQ(boxes(), shown + 1) << c.line;
            EXPECT_NE(last_box().find(c.box), std::string::npos) << c.line << ": " << last_box();
            EXPECT_EQ(recorded().count, 0) << c.line;
        }
    }
    // An afocal lens has no through focus, as a listing or a plot.
    type_all({"LEN NEW \"Afocal\"", "AFO 1", "EBR 10", "ANG 0", "NXT", "RD -200", "TH -100", "RFL",
              "CC -1", "NXT", "END"});
    for (const char* line : {"select_mtf 1 mon 0 1", "select_mtf 1 mon 0 0"}) {
        recorded() = Recorded{};
        const std::size_t shown = boxes();
        type(line);
        EXPECT_EQ(boxes(), shown + 1) << line;
        EXPECT_NE(last_box().find("An afocal lens has no through-focus MTF"), std::string::npos)
            << line << ": " << last_box();
        EXPECT_EQ(recorded().count, 0) << line;
    }
}

TEST_F(AnalysisSelectors, TheFirstFieldsOfferTheirChoicesAndPresetTheSecond) {
    struct Case {
        int command;
        std::vector<std::string> words;
    };
    const std::vector<Case> cases = {
        {kCmdSelectRayAberration,
         {"fan_list_y", "fan_list_x", "intercepts", "opd", "astigmatism", "distortion",
          "lateral_color", "longitudinal"}},
        {kCmdSelectSpot, {"rays", "plot", "setup"}},
        {kCmdSelectDiffraction, {"point", "psf", "sections"}},
        {kCmdSelectMtf, {"tfr", "tfo"}},
        {kCmdSelectEnergy, {"encircled", "ensquared", "encircled_plot", "ensquared_plot"}},
        {kCmdSelectPsf, {"encircled", "ensquared", "encircled_plot", "ensquared_plot"}},
    };
    for (const Case& c : cases) {
        const int field = param_descriptor_index(c.command, 0);
        ASSERT_EQ(select_param_list(field), 0) << c.command;
        std::vector<std::string> words;
        for (int i = 0; i < value_list_count(); ++i) words.push_back(value_list_first(i));
        EXPECT_EQ(words, c.words) << c.command;
    }
    // The dialogs open on the second choice; a word types the choice it names.
    EXPECT_EQ(run_command_string("select_diffraction", 0), 0) << last_box();
    EXPECT_EQ(recorded().command, kCmdPlotPsf);
    recorded() = Recorded{};
    EXPECT_EQ(run_command_string("select_energy encircled", 0), 0) << last_box();
    EXPECT_EQ(recorded().command, kCmdEncircledEnergy);

    // An afocal lens is offered only the MTF against frequency.
    type_all({"LEN NEW \"Afocal\"", "AFO 1", "EBR 10", "ANG 0", "NXT", "RD -200", "TH -100", "RFL",
              "CC -1", "NXT", "END"});
    ASSERT_EQ(select_param_list(param_descriptor_index(kCmdSelectMtf, 0)), 0);
    ASSERT_EQ(value_list_count(), 1);
    EXPECT_STREQ(value_list_first(0), "tfr");
}

TEST_F(AnalysisSelectors, TheAnalysisMenuOpensAFormWhoseOkRunsTheChosenAnalysis) {
    // Each item of the Analysis and Reports menus opens its command's form as the frame's menu
    // runs it; Escape closes it.
    if (menu_command_count() == 0) build_menu("main_menu", platform::kWindowFrame, true);
    std::vector<std::string> offered;
    for (int id = 1; id <= menu_command_count(); ++id) {
        const std::string command = menu_command_text(id);
        if (command.rfind("select_", 0) != 0 && command.rfind("report_", 0) != 0) continue;
        offered.push_back(command);
        ASSERT_TRUE(run_menu_command(platform::kWindowFrame, id)) << command;
        for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
        EXPECT_EQ(level_count(), 1) << command << ": " << errors();
        EXPECT_EQ(saved_level_command(), lookup_symbol(command.c_str())) << command;
        EXPECT_GE(load_command_help(lookup_symbol(command.c_str())), 0) << command;
        escape_command_line();
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        while (level_count() > 0) pop_command_level(false);
    }
    const std::vector<std::string> expected = {"select_ray_aberration",
                                               "select_spot",
                                               "select_diffraction",
                                               "select_mtf",
                                               "select_wavefront",
                                               "select_geo_sections",
                                               "select_psf_sections",
                                               "select_energy",
                                               "select_psf",
                                               "report_wavefront",
                                               "report_ray_trace",
                                               "report_spot",
                                               "report_psf",
                                               "report_mtf",
                                               "report_tf_mtf",
                                               "report_procedure"};
    EXPECT_EQ(offered, expected);

    // OK on a page's form runs the page.
    submit_command_line("report_mtf");
    for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1) << errors();
    EXPECT_EQ(saved_level_arg_count(), 2);
    accept_command_level();
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    main_loop_pass(false);
    while (level_count() > 0) pop_command_level(false);
    EXPECT_NE(list_text().find("MODULATION TRANSFER FUNCTIONS"), std::string::npos) << errors();
    // The spot dialog opens on its plot; OK runs it.
    recorded() = Recorded{};
    submit_command_line("select_spot");
    for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1) << errors();
    accept_command_level();
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    main_loop_pass(false);
    while (level_count() > 0) pop_command_level(false);
    EXPECT_EQ(recorded().command, kCmdPlotSpotDiagram) << errors();
}

TEST_F(AnalysisSelectors, AChoiceBeyondTheListRunsNothing) {
    EXPECT_EQ(run_command_string("select_ray_aberration 8", 0), 0);
    EXPECT_EQ(recorded().count, 0);
}

TEST_F(AnalysisSelectors, TheCallersCellsStayAsTheyWere) {
    std::vector<ArgCell> cells = {int_cell(2), int_cell(1), int_cell(0), int_cell(0),
                                  double_cell(0.1)};
    for (ArgCell& c : cells) c.status = kArgGiven;
    const std::vector<ArgCell> copy = cells;
    std::vector<ArgCell*> pointers;
    for (ArgCell& c : cells) pointers.push_back(&c);
    set_arg_vector(pointers.data(), static_cast<int>(pointers.size()));
    set_current_command(kCmdSelectEnergy);
    EXPECT_EQ(cmd_select_energy_analysis(), 0) << last_box();
    EXPECT_EQ(recorded().command, kCmdPlotRadEnergyDist);
    EXPECT_EQ(current_command(), kCmdSelectEnergy);
    EXPECT_EQ(arg_vector(), pointers.data());
    EXPECT_EQ(std::memcmp(cells.data(), copy.data(), cells.size() * sizeof(ArgCell)), 0);
}

}  // namespace
}  // namespace plot_test
