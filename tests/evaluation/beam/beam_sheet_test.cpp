// The Gaussian-beam sheet on a typed lens, fed the grid's events as the main loop feeds a level:
// its twelve rows against the layout with the numbers of Kogelnik's formulas worked out by hand,
// the propagation table its button prints, and the temporary lens copy and state flag that
// the level's changes keep or drop.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "evaluation/beam_plot.h"
#include "evaluation/beam_table.h"
#include "evaluation/gaussian_beam_sheet.h"
#include "graphics/graphics_sliders.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/temp_tree.h"

namespace loop_test {
namespace {

struct Line {
    std::string text;
    std::vector<int> items;  // the hot spots' items with their kind bits
};

std::vector<Line> g_lines;

void keep_line(const OutputLine& line) {
    Line kept;
    kept.text = line.text;
    for (std::size_t k = 0; k + 6 <= line.hotspots.size(); k += 6) {
        kept.items.push_back((line.hotspots[k] << 8) | line.hotspots[k + 1]);
    }
    g_lines.push_back(kept);
    default_output_line_sink(line);
}

// A gap of air 150 long from the object plane to the image: the beam there is the beam at the
// object carried 150 in air.
const char* const kAirGap[] = {"LEN NEW \"Air\"", "WV 0.6328", "TH 100", "EBR 1", "NXT",
                               "SRF 0 50 AIR 5",  "END"};

class BeamSheet : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        set_setting_flag(kSetRevertEnable, 1);
        for (const char* line : kAirGap) type(line);
        g_lines.clear();
        set_output_line_sink(keep_line);
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(false);
        set_output_line_sink(nullptr);
        set_setting_flag(kSetRevertEnable, 0);
        Loop::TearDown();
    }

    void open() {
        type("gaussian_beam");
        for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << output() << errors();
    }
    int send(int code, int field = 0, int argument = 0) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.argument = argument;
        return run_command_level(e);
    }
    int typed(int field, double value) {
        GridEvent e;
        e.code = 5;
        e.field = field;
        e.value_type = 2;
        e.value.d = value;
        return run_command_level(e);
    }
    // The sheet as last written: its last twelve lines with text.
    static std::vector<std::string> sheet() {
        std::vector<std::string> lines;
        for (const Line& line : g_lines) {
            if (!line.text.empty()) lines.push_back(line.text);
        }
        if (lines.size() > 12) lines.erase(lines.begin(), lines.end() - 12);
        return lines;
    }
    static bool has_item(int item) {
        for (const Line& line : g_lines) {
            for (int i : line.items) {
                if (i == item) return true;
            }
        }
        return false;
    }
    // Text printed since the mark.
    std::string printed_since(std::size_t mark) {
        flush_output_line();
        return output().substr(mark);
    }
    static bool copy_exists() {
        return std::filesystem::exists(revert_copy_path(kMsgBeamSheetRevertCopy));
    }
};

const std::string kBlank16(16, ' ');
const std::string kHeads = "      Beam 1      Beam 2";

// A number as the sheet's cells show it: eleven columns, fixed or exponential by magnitude, a
// zero as a dash (the output of the tests trims zeros).
std::string num(double v) {
    char text[32];
    const double a = std::fabs(v);
    if (v == 0.0) return "     --    ";
    std::snprintf(text, sizeof text, a > 999.999999 || a < 1e-4 ? "%11.4e" : "%11.6f", v);
    return text;
}

// A value row: the label, the given mark, input and second input | label, output and second
// output.
std::string row(const char* label, bool given, double in1, double in2, double out1, double out2) {
    return std::string(label) + (given ? "* " : "  ") + num(in1) + " " + num(in2) + "|" + label +
           "   " + num(out1) + " " + num(out2);
}

// The defaults of a new lens: a waist of 1 at the object plane (waist and distance given),
// single; at the image, 150 further on, zR = pi / 0.6328e-3 = 4964.59: the spot
// sqrt(1 + (150 / zR)^2) = 1.000456 and the radius -150 (1 + (zR / 150)^2) = -164460.
TEST_F(BeamSheet, DefaultsShowAWaistOfOneCarriedToTheImage) {
    open();
    EXPECT_STREQ(sheet_title(), "Gaussian beam");
    EXPECT_NE(test_state_flag(kFlagBeamSheetOpen), 0);
    EXPECT_TRUE(copy_exists());
    const std::string divergence = "Divergence    ";
    const std::string rayleigh = "Rayleigh range";
    const std::vector<std::string> want = {
        "Beam behind surface   0     carried to surface   2 ",
        kBlank16 + kHeads + "|" + std::string(17, ' ') + kHeads,
        row("Spot size     ", false, 1.0, 0, 1.000456, 0),
        row("Waist size    ", true, 1.0, 0, 1.0, 0),
        row("Waist distance", true, 0, 0, -150.0, 0),
        row("Radius        ", false, 0, 0, -1.6446e+05, 0),
        divergence + "  " + num(0.000201) + " " + num(0) + "|" + divergence + "   " +
            num(0.000201) + " " + num(0),
        rayleigh + "  " + num(4.9646e+03) + " " + num(0) + "|" + rayleigh + "   " +
            num(4.9646e+03) + " " + num(0),
        "Wavelength no.  1 | Offset behind it " + num(0),
        "Wavelength (um)  " + num(0.6328) + "| Section  Y    X",
        "Beam quality M2" + num(1.0) + "|       Propagation table",
        "Plot       in window 7 with probe     in the current window",
    };
    const std::vector<std::string> got = sheet();
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t r = 0; r < want.size(); ++r) EXPECT_EQ(got[r], want[r]) << "row " << r + 1;
    // The second beam's values are shown but cannot be edited; the section Y and plotting into
    // window 7 are the marked options.
    EXPECT_TRUE(has_item(0x8000));
    EXPECT_TRUE(has_item(kBeamItemSectionY | 0x3000));
    EXPECT_TRUE(has_item(kBeamItemSectionX | 0x2000));
    EXPECT_TRUE(has_item(kBeamItemPlotWindow7 | 0x3000));
    EXPECT_TRUE(has_item(0x62bd));
    EXPECT_TRUE(has_item(0x635d));
}

// A spot of 2 typed after the defaults: spot and waist given (case 3); the waist lies
// sqrt(3) zR = 8598.9 away on either side, radius 4/3 of that; at the image 150 further on.
TEST_F(BeamSheet, ASpotTypedAfterTheDefaultsGivesTheMirrorBeamToo) {
    open();
    g_lines.clear();
    ASSERT_EQ(typed(kBeamItemSpot, 2.0), 0);
    const std::vector<std::string> got = sheet();
    ASSERT_EQ(got.size(), 12u);
    EXPECT_EQ(got[2], row("Spot size     ", true, 2.0, 2.0, 1.973892, 2.026222));
    EXPECT_EQ(got[3], row("Waist size    ", true, 1.0, 1.0, 1.0, 1.0));
    EXPECT_EQ(got[4],
              row("Waist distance", false, 8.5989e+03, -8.5989e+03, 8.4489e+03, -8.7489e+03));
    EXPECT_EQ(got[5],
              row("Radius        ", false, 1.1465e+04, -1.1465e+04, 1.1366e+04, -1.1566e+04));
    EXPECT_EQ(gaussian_beam_sheet().two_solutions, 1);
    EXPECT_FALSE(has_item(0x8000));
    // A spot below the waist defines no beam: refused, the output of the last good beam stays on
    // show and there is no second beam.
    g_lines.clear();
    EXPECT_EQ(typed(kBeamItemSpot, 0.5), kMsgBeamNotDefined);
    EXPECT_EQ(sheet()[4], row("Waist distance", false, 8.5989e+03, 0, 8.4489e+03, -8.7489e+03));
    EXPECT_EQ(gaussian_beam_sheet().two_solutions, 0);
}

// Values outside their ranges are named in a warning and change nothing.
TEST_F(BeamSheet, OutOfRangeValuesAreRefusedAloud) {
    open();
    struct Case {
        int item;
        double value;
        const char* says;
    } cases[] = {
        {kBeamItemSpot, -1.0, "must be greater than 0"},
        {kBeamItemSpot + 1, 0.0, "must be greater than 0"},
        {kBeamItemQuality, 0.5, "beam quality is at least 1"},
        {kBeamItemWavelength, 4.0, "the lens has 1 wavelengths"},
        {kBeamItemFirst, 3.0, "surfaces run from 0 to 2"},
        {kBeamItemLast, -1.0, "surfaces run from 0 to 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const GaussianBeamSheet before = gaussian_beam_sheet();
        ui().set_status_text("");
        EXPECT_EQ(typed(c.item, c.value), 0);
        const GaussianBeamSheet& after = gaussian_beam_sheet();
        EXPECT_EQ(after.y_beam.spot, before.y_beam.spot);
        EXPECT_EQ(after.y_beam.waist, before.y_beam.waist);
        EXPECT_EQ(after.y_beam.quality, before.y_beam.quality);
        EXPECT_EQ(after.wavelength, before.wavelength);
        EXPECT_EQ(after.first, before.first);
        EXPECT_EQ(after.last, before.last);
        EXPECT_NE((ui().status_text() + errors()).find(c.says), std::string::npos)
            << ui().status_text() << errors();
    }
}

// Button 701: one table for a single beam, two for case 3; the infinite object's row; blank
// lines only before air gaps; the offset line only with an offset.
TEST_F(BeamSheet, TheTableButtonPrintsOneTablePerBeam) {
    for (const char* line :
         {"LEN NEW \"Doublet\"", "WV 0.6328", "TH 100", "EBR 5", "NXT", "SRF 60 6 N-BK7 10",
          "SRF -40 3 N-F2 10", "SRF -200 50 AIR 10", "END"}) {
        type(line);
    }
    open();
    std::size_t mark = output().size();
    ASSERT_EQ(send(4, 0x62bd), 0);
    std::string table = printed_since(mark);
    EXPECT_NE(table.find("GAUSSIAN BEAM, Y-SECTION"), std::string::npos) << table;
    EXPECT_EQ(table.find("SECOND BEAM"), std::string::npos) << table;
    EXPECT_EQ(table.find("Output plane"), std::string::npos) << table;
    // Object, the blank line before surface 1 (air in front), the cemented surfaces 2 and 3
    // without one, the blank line before the image.
    EXPECT_NE(table.find("RAYLEIGH\n  0 "), std::string::npos) << table;
    EXPECT_NE(table.find("\n\n  1 "), std::string::npos) << table;
    EXPECT_EQ(table.find("\n\n  2 "), std::string::npos) << table;
    EXPECT_EQ(table.find("\n\n  3 "), std::string::npos) << table;
    EXPECT_NE(table.find("\n\n  4 "), std::string::npos) << table;

    ASSERT_EQ(typed(kBeamItemSpot, 2.0), 0);
    ASSERT_EQ(typed(kBeamItemOffset, 5.0), 0);
    mark = output().size();
    ASSERT_EQ(send(4, 0x62bd), 0);
    table = printed_since(mark);
    EXPECT_NE(table.find("Two beams fit"), std::string::npos) << table;
    const std::size_t second = table.find("SECOND BEAM");
    ASSERT_NE(second, std::string::npos) << table;
    EXPECT_NE(table.find("SRF", second), std::string::npos);
    EXPECT_NE(table.find("Output plane behind the image surface    5.000000"), std::string::npos)
        << table;

    ASSERT_EQ(send(7, 0, 0), 0);
    pop_command_level(false);
    for (const char* line : {"LEN NEW \"Far\"", "WV 0.6328", "EBR 5", "NXT", "SRF 60 6 N-BK7 10",
                             "SRF -200 50 AIR 10", "END"}) {
        type(line);
    }
    open();
    mark = output().size();
    ASSERT_EQ(send(4, 0x62bd), 0);
    table = printed_since(mark);
    EXPECT_NE(table.find("RAYLEIGH\nINF "), std::string::npos) << table;
}

// Leaving: Escape asks first (22), then cancels (7, -1), which reads the copy back; another
// level pushed over the sheet (7, 1) keeps the copy and the flag and makes no new copy when the
// sheet shows again; accepting (7, 0) drops the copy and keeps the edits.
TEST_F(BeamSheet, TheWayTheSheetIsLeftDecidesWhatStays) {
    open();
    ASSERT_TRUE(copy_exists());
    type("EBR 3");
    ASSERT_EQ(lens_data().entrance_beam_radius, 3.0);
    // The question of the revert copy: Cancel keeps the level.
    ui().queue_message_box_answer(platform::MessageAnswer::cancel);
    EXPECT_EQ(send(22), kStopped);
    // Pushed over and back: the copy of the opening stays and no new copy is made.
    ASSERT_EQ(send(7, 0, 1), 0);
    EXPECT_NE(test_state_flag(kFlagBeamSheetOpen), 0);
    EXPECT_TRUE(copy_exists());
    ASSERT_EQ(send(8), 0);
    EXPECT_EQ(gaussian_beam_sheet().resumed, 0);
    // Cancelled: the lens as the sheet found it.
    ASSERT_EQ(send(7, 0, -1), 0);
    EXPECT_EQ(lens_data().entrance_beam_radius, 1.0);
    EXPECT_EQ(test_state_flag(kFlagBeamSheetOpen), 0);
    EXPECT_FALSE(copy_exists());
    pop_command_level(false);

    open();
    type("EBR 4");
    ASSERT_EQ(send(7, 0, 0), 0);
    EXPECT_EQ(lens_data().entrance_beam_radius, 4.0);
    EXPECT_FALSE(copy_exists());
}

// The values live between openings; a new lens brings back the defaults.
TEST_F(BeamSheet, ValuesSurviveReopeningUntilANewLens) {
    open();
    ASSERT_EQ(typed(kBeamItemSpot + 1, 0.5), 0);
    ASSERT_EQ(send(7, 0, 0), 0);
    pop_command_level(false);
    open();
    EXPECT_EQ(gaussian_beam_sheet().y_beam.waist, 0.5);
    ASSERT_EQ(send(7, 0, 0), 0);
    pop_command_level(false);
    for (const char* line : kAirGap) type(line);
    open();
    EXPECT_EQ(gaussian_beam_sheet().y_beam.waist, 1.0);
}

// The plot and its probe in window 7 on the air gap: a waist of 0.05 at 30 from the object,
// zR = pi 0.05^2 / 0.6328e-3 = 12.41; the probe's radius at x is Kogelnik's
// w0 sqrt(1 + ((x - 30) / zR)^2) in both gaps and, past the end, still that of the last gap.
TEST_F(BeamSheet, PlotAndProbeFollowTheEnvelope) {
    open();
    ASSERT_EQ(typed(kBeamItemSpot + 1, 0.05), 0);
    ASSERT_EQ(typed(kBeamItemSpot + 2, 30.0), 0);
    set_setting_double(kSetGraphicsScale, 7.5, 0, 0);
    ASSERT_EQ(send(4, 0x635d), 0) << errors();
    ASSERT_EQ(gaussian_beam_sheet().sliders_shown, 1);
    // The fixed half-height served this plot only.
    EXPECT_EQ(get_setting_double(kSetGraphicsScale, 0, 0), 0.0);
    EXPECT_EQ(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 7.5);
    const double zr = std::numbers::pi * 0.05 * 0.05 / 0.6328e-3;
    const auto kogelnik = [&](double x) {
        return 0.05 * std::sqrt(1.0 + (x - 30.0) * (x - 30.0) / (zr * zr));
    };
    for (double x : {0.0, 12.5, 30.0, 99.0, 100.0, 120.0, 149.0, 170.0}) {
        double w1 = 0.0, w2 = -1.0;
        ASSERT_EQ(beam_radius_at(x, w1, w2), 0);
        EXPECT_NEAR(w1, kogelnik(x), 1e-9) << x;
        EXPECT_EQ(w2, 0.0);
    }
    // The slider: a step to the right shows the radius there in the label.
    int index = -1;
    for (int k = 0; k < kSliderCount; ++k) {
        if (slider(k).id == kBeamProbeSlider) index = k;
    }
    ASSERT_GE(index, 0);
    slider_scroll(index, 3, 0);
    double x = 0.0;
    ASSERT_EQ(slider_get_value(kBeamProbeSlider, &x), 0);
    EXPECT_GT(x, 0.0);
    char label[64];
    std::snprintf(label, sizeof label, "           %8.4f", kogelnik(x));
    EXPECT_STREQ(formatted_output_buffer(), label);

    // Without a fixed scale the half-height is the largest spot of the plot: at the image.
    ASSERT_EQ(send(4, 0x635d), 0);
    EXPECT_NEAR(get_setting_double(kSetGraphicsCurrentScale, 0, 0), kogelnik(150.0), 1e-9);
}

// A surface inserted from the sheet leaves the plot's arrays sized for the old lens: the probe
// reads nothing until the next plot, which is sized afresh.
TEST_F(BeamSheet, AnInsertedSurfaceLeavesTheProbeNothingStaleToRead) {
    open();
    ASSERT_EQ(send(4, 0x635d), 0) << errors();
    type("insert_surface 2");
    ASSERT_EQ(lens_data().image_surface, 3);
    double w1 = -1.0, w2 = -1.0;
    EXPECT_EQ(beam_radius_at(10.0, w1, w2), 0);
    EXPECT_EQ(w1, 0.0);
    EXPECT_EQ(beam_position_changed(0, kBeamProbeSlider, 10.0), 0);
    ASSERT_EQ(send(4, 0x635d), 0) << errors();
    EXPECT_EQ(static_cast<int>(gaussian_beam_sheet().waist1.size()), 4);
    EXPECT_EQ(beam_radius_at(10.0, w1, w2), 0);
    EXPECT_GT(w1, 0.0);
    // Closing frees them even when the level only makes way for another.
    ASSERT_EQ(send(7, 0, 1), 0);
    EXPECT_TRUE(gaussian_beam_sheet().waist1.empty());
}

}  // namespace
}  // namespace loop_test

namespace {

// The sheet in the console program: the command prints it, a typed number goes to the cell the
// sheet starts on (the waist) and the sheet is printed again with it.
TEST(BeamSheetConsole, ATypedNumberGoesToTheCurrentCell) {
    tavo_test::TempTree tree;
    tree.write_file("profile.ini", "[TAVO LT 5.40]\nTVDATA=" + tree.data().string() + "\n");
    const auto input = tree.write_file(
        "lines.txt",
        "LEN NEW \"Air\"\nWV 0.6328\nTH 100\nEBR 1\nNXT\nSRF 0 50 AIR 5\nEND\ngaussian_beam\n"
        "2\nexit_levels\n");
    const std::filesystem::path output = tree.base() / "out.txt";
    const std::string command = "TAVO_UI=console '" TAVO_INSTALL_DIR "/tavolt' < '" +
                                input.string() + "' > '" + output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    const std::string shown = tavo_test::read_file(output);
    const std::size_t first = shown.find("Waist size    *    1.000000");
    ASSERT_NE(first, std::string::npos) << shown;
    // Waist 2 at the object: zR = pi 4 / 0.6328e-3 = 19858.4, the Rayleigh range shown.
    const std::size_t again = shown.find("Waist size    *    2.000000", first);
    ASSERT_NE(again, std::string::npos) << shown;
    EXPECT_NE(shown.find("Rayleigh range   1.9858e+04", again), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;
}

}  // namespace
