// The report-graphics command: the command text it leaves in the current graphics window for
// each form of procedure, the values it asks for, names it refuses, and the command that runs
// the stored texts of the first six windows again.
#include <string>
#include <vector>

#include "graphics/graphics_commands.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "tables/table_names.h"
#include "tests/reports/plot_fixture.h"

namespace plot_test {
namespace {

const std::string kEnding = "ref_ray_trace Trr_fby Trr_fbx Trr_fbz Trr_fyrf Trr_fxrf";

class ReportGraphics : public PlotLoop {
protected:
    static std::string window_text(int n) { return graphics_command_text(n); }
    // The handler on a name given as a text cell, as a caller holding any bytes would.
    static int run_with_name(std::string name) {
        ArgCell cell{};
        cell.type = kArgChar;
        cell.value.text = name.data();
        cell.text_length = static_cast<std::int16_t>(name.size() + 1);
        cell.status = kArgGiven;
        return call_command_handler(kCmdReportGraphics, &cell, 1);
    }
};

TEST_F(ReportGraphics, EachFormLeavesItsTextInTheWindow) {
    struct Case {
        std::string line, answers, text;
    };
    const std::vector<Case> cases = {
        {"report_graphics rptg_fans", "", "rptg_fans;"},
        {"report_graphics rptg_waves", "", "rptg_waves;"},
        {"report_graphics calc_rptg_fans", "3\n", "rptg_fans 3;"},
        {"report_graphics calc_rptg_mtfs", "40\n11\n", "rptg_mtfs 40.0 11;"},
        {"report_graphics calc_rptg_tf_mtfs", "0.2\n9\n", "rptg_tf_mtfs 25.0 0.2 9;"},
        {"report_graphics rptg_tf_mtfs", "", "stp gsca 2.5;rptg_tf_mtfs 25.0;"},
        {"report_graphics my_report", "", "stp gsca 2.5;my_report;"},
    };
    for (const Case& c : cases) {
        set_setting_double(kSetGraphicsScale, 2.5, 0, 0);
        input(c.answers);
        type(c.line);
        EXPECT_EQ(window_text(1), c.text + kEnding) << c.line;
    }
}

TEST_F(ReportGraphics, AFrequencyOfNoneIsAskedForAndKept) {
    lens_data().spot_settings->through_focus_frequency = 0.0;
    set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
    input("30\n");
    type("report_graphics rptg_tf_mtfs");
    EXPECT_EQ(window_text(1), "stp gsca 0.0;rptg_tf_mtfs 30.0;" + kEnding);
    EXPECT_EQ(lens_data().spot_settings->through_focus_frequency, 30.0);
}

TEST_F(ReportGraphics, ACancelledQuestionRunsNothing) {
    for (const char* line : {"report_graphics calc_rptg_fans", "report_graphics calc_rptg_mtfs"}) {
        input("");
        EXPECT_EQ(run_command_string(line, 0), 0) << line;
        EXPECT_EQ(window_text(1), "") << line;
    }
}

TEST_F(ReportGraphics, NamesThatCouldRunCommandsOrOverflowAreRefused) {
    // The longest name whose stored text fits: the name, ';', "stp gsca 0;" and the ending.
    const std::size_t fits = 495 - kEnding.size() - 1 - std::string("stp gsca 0.0;").size();
    const std::vector<std::string> refused = {
        "x\";exit", "a b", "", "x;y", std::string(500, 'a'), std::string(fits + 1, 'a')};
    for (const std::string& name : refused) {
        EXPECT_EQ(run_with_name(name), kErrorTextReady) << name;
        EXPECT_EQ(window_text(1), "") << name;
    }
    const std::string longest(100, 'b');
    run_with_name(longest);
    EXPECT_EQ(window_text(1), "stp gsca 0.0;" + longest + ";" + kEnding);
}

TEST_F(ReportGraphics, UpdateAllRunsTheTextsOfAllSixWindows) {
    // A window whose text runs is opened to run it: every one of the six with a text opens,
    // also after one whose text fails.
    ASSERT_EQ(set_graphics_command_text(2, "no_such_command_here"), 0);
    ASSERT_EQ(set_graphics_command_text(6, "graphwin_update 0"), 0);
    ASSERT_FALSE(ui().window_exists(platform::kWindowGraphicsFirst + 5));
    EXPECT_EQ(run_command_string("graphwin_update_all", 0), 0);
    EXPECT_TRUE(ui().window_exists(platform::kWindowGraphicsFirst + 1));
    EXPECT_TRUE(ui().window_exists(platform::kWindowGraphicsFirst + 5));
    EXPECT_FALSE(ui().window_exists(platform::kWindowGraphicsFirst + 3));
}

}  // namespace
}  // namespace plot_test
