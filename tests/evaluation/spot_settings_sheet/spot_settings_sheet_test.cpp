// The spot-diagram settings sheet on a typed paraboloidal mirror: opened by its command, fed the
// grid's events as the main loop feeds a level, read back from the lines and hot spots it
// writes; which edits make the spot diagram stale, the temporary lens copy that cancelling
// restores, and the spot diagram traced again when the sheet is accepted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "evaluation/spot_settings_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/sheet_lines.h"

namespace loop_test {
namespace {
using Cell = tavo_test::SheetCell;
using Line = tavo_test::SheetLine;

const char* const kParaboloid[] = {"LEN NEW \"Paraboloid\"",
                                   "EBR 10",
                                   "ANG 0",
                                   "NXT",
                                   "RD -200",
                                   "TH -100",
                                   "RFL",
                                   "CC -1",
                                   "NXT",
                                   "END",
                                   "trr 0 0 0 0 0"};

constexpr int kItemBits = 0x0fff;

class SpotSheet : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        set_setting_flag(kSetRevertEnable, 1);
        for (const char* line : kParaboloid) type(line);
        ASSERT_NE(test_state_flag(kFlagReferenceRayCurrent), 0) << output();
        tavo_test::sheet_lines().clear();
        set_output_line_sink(tavo_test::keep_sheet_line);
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(false);
        set_output_line_sink(nullptr);
        set_setting_flag(kSetRevertEnable, 0);
        Loop::TearDown();
    }

    SpotSettings& s() { return *lens_data().spot_settings; }

    // Types the command and runs passes until the level is built.
    void open() {
        type("spot_settings");
        for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << output() << errors();
    }

    int send(int code, int field = 0, int index = -1) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.first_index = index;
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
    int leave(int exit_code) {
        GridEvent e;
        e.code = 7;
        e.argument = exit_code;
        return run_command_level(e);
    }

    // The sheet as last written: the last eight lines with text (the level's output may end
    // with an empty line).
    static std::vector<Line> sheet() {
        std::vector<Line> lines;
        for (const Line& line : tavo_test::sheet_lines()) {
            if (!line.text.empty()) lines.push_back(line);
        }
        if (lines.size() > 8) lines.erase(lines.begin(), lines.end() - 8);
        return lines;
    }
    // The cell of an item (kind bits ignored) and index in the sheet last written.
    static const Cell* find(const std::vector<Line>& lines, int item, int index) {
        for (const Line& line : lines) {
            for (const Cell& c : line.cells) {
                if ((c.item & kItemBits) == item && c.index == index) return &c;
            }
        }
        return nullptr;
    }

    static bool exists(int message) { return std::filesystem::exists(revert_copy_path(message)); }
};

// Opened by its command the sheet shows the defaults of a new lens in eight rows, with the
// polychromatic option marked, apodisation off and its widths greyed; the copy of the lens is
// taken and state flag 43 set.
TEST_F(SpotSheet, OpenedSheetShowsTheDefaults) {
    open();
    EXPECT_NE(ui().status_text().find("Choose a setting"), std::string::npos) << ui().status_text();
    EXPECT_STREQ(sheet_title(), "Spot diagram settings");
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_TRUE(exists(kMsgSpotSheetRevertCopy));
    const std::vector<Line> lines = sheet();
    ASSERT_EQ(lines.size(), 8u);
    const char* labels[] = {"Aperture divisions",   "All wavelengths",
                            "Gaussian apodisation", "Apodisation width x",
                            "Apodisation width y",  "Show the diffraction limit",
                            "MTF wavefront limit",  "Through-focus frequency"};
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(lines[row].text.rfind(labels[row], 0), 0u) << row << ": " << lines[row].text;
    }
    // Number cells: item with its kind bits, the value as printed (the defaults of a new lens).
    struct NumberCase {
        int item;
        int kind;
        double value;
    };
    const NumberCase numbers[] = {{502, 0x4000, 17.03},
                                  {503, 0x8000, 1.0},
                                  {504, 0x8000, 1.0},
                                  {507, 0, 1000.0},
                                  {508, 0, 25.0}};
    for (const NumberCase& c : numbers) {
        SCOPED_TRACE(c.item);
        const Cell* cell = find(lines, c.item, 0);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->item, c.item | c.kind);
        EXPECT_DOUBLE_EQ(std::strtod(cell->text.c_str(), nullptr), c.value) << cell->text;
    }
    // Option cells: 0x3000 marks the chosen one, 0x2000 the other.
    struct OptionCase {
        int item;
        int marked;  // the index marked
    };
    for (const OptionCase& c : {OptionCase{505, 1}, OptionCase{506, 0}, OptionCase{509, 0}}) {
        SCOPED_TRACE(c.item);
        for (int index : {0, 1}) {
            const Cell* cell = find(lines, c.item, index);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->item, c.item | (index == c.marked ? 0x3000 : 0x2000));
            EXPECT_NE(cell->text.find(index == 0 ? "Off" : "On"), std::string::npos);
        }
    }

    // Apodisation on: its widths show normally at once.
    ASSERT_EQ(send(4, 506, 1), 0);
    EXPECT_EQ(s().apodisation_on, 1);
    EXPECT_EQ(find(sheet(), 503, 0)->item, 503);
    EXPECT_EQ(find(sheet(), 504, 0)->item, 504);
    EXPECT_EQ(find(sheet(), 506, 1)->item, 506 | 0x3000);
    ASSERT_EQ(send(4, 506, 0), 0);
    EXPECT_EQ(find(sheet(), 503, 0)->item, 503 | 0x8000);
}

// Each edit: the field it changes (or keeps) and whether the spot diagram and what derives from
// it became stale. A value of 0 or below is not taken, says so, and still marks them stale.
TEST_F(SpotSheet, EditsAndWhatTheyMakeStale) {
    open();
    struct Case {
        const char* name;
        int code;
        int item;
        int index;     // option value (code 4)
        double value;  // typed value (code 5)
        double SpotSettings::*field;
        std::uint8_t SpotSettings::*flag;
        double expected;
        bool stale;
        bool refused;
    };
    using S = SpotSettings;
    const Case cases[] = {
        {"divisions", 5, 502, -1, 24.0, &S::aperture_divisions, nullptr, 24.0, true, false},
        {"width x, greyed", 5, 503, -1, 2.5, &S::apodisation_width_x, nullptr, 2.5, true, false},
        {"width y, greyed", 5, 504, -1, 3.5, &S::apodisation_width_y, nullptr, 3.5, true, false},
        {"MTF limit", 5, 507, -1, 500.0, &S::mtf_path_limit, nullptr, 500.0, false, false},
        {"through focus", 5, 508, -1, 40.0, &S::through_focus_frequency, nullptr, 40.0, false,
         false},
        {"diffraction limit on", 4, 509, 1, 0, nullptr, &S::show_diffraction_limit, 1, false,
         false},
        {"one wavelength", 4, 505, 0, 0, nullptr, &S::polychromatic, 0, true, false},
        {"apodisation on", 4, 506, 1, 0, nullptr, &S::apodisation_on, 1, true, false},
        {"divisions 0", 5, 502, -1, 0.0, &S::aperture_divisions, nullptr, 24.0, true, true},
        {"width x negative", 5, 503, -1, -3.0, &S::apodisation_width_x, nullptr, 2.5, true, true},
        {"MTF limit 0", 5, 507, -1, 0.0, &S::mtf_path_limit, nullptr, 500.0, true, true},
        {"through focus negative", 5, 508, -1, -1.0, &S::through_focus_frequency, nullptr, 40.0,
         true, true},
        {"divisions not a number", 5, 502, -1, NAN, &S::aperture_divisions, nullptr, 24.0, true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        set_state_flag(kFlagSpotDiagramCurrent);
        set_state_flag(kFlagSpotDerivedA);
        ui().set_status_text("");
        tavo_test::sheet_lines().clear();
        const int rc = c.code == 5 ? typed(c.item, c.value) : send(4, c.item, c.index);
        EXPECT_EQ(rc, 0);
        if (c.field != nullptr) {
            EXPECT_EQ(s().*c.field, c.expected);
        }
        if (c.flag != nullptr) {
            EXPECT_EQ(s().*c.flag, c.expected);
        }
        EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent) == 0, c.stale);
        EXPECT_EQ(test_state_flag(kFlagSpotDerivedA) == 0, c.stale);
        EXPECT_EQ(ui().status_text().find("above 0") != std::string::npos, c.refused)
            << ui().status_text();
        // The sheet is written again, showing the field as it now is.
        const std::vector<Line> lines = sheet();
        ASSERT_EQ(lines.size(), 8u);
        if (c.field != nullptr) {
            const Cell* cell = find(lines, c.item, 0);
            ASSERT_NE(cell, nullptr);
            EXPECT_DOUBLE_EQ(std::strtod(cell->text.c_str(), nullptr), c.expected);
        }
    }
}

// The text a cell offers for editing is its value; option cells offer none.
TEST_F(SpotSheet, CellTextForEditing) {
    s().aperture_divisions = 64.0;
    s().apodisation_width_y = 0.25;
    open();
    struct Case {
        int item;
        const char* text;  // "" nothing written
    };
    const Case cases[] = {{502 | 0x4000, "64"}, {503 | 0x8000, "1"}, {504, "0.25"}, {507, "1000"},
                          {508, "25"},          {505, ""},           {509, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        char text[64] = {};
        GridEvent e;
        e.code = 3;
        e.field = c.item;
        e.text = text;
        EXPECT_EQ(run_command_level(e), 0);
        if (c.text[0] == '\0') {
            EXPECT_STREQ(text, "");
        } else {
            EXPECT_DOUBLE_EQ(std::strtod(text, nullptr), std::strtod(c.text, nullptr)) << text;
        }
    }
}

// Picking the divisions asks for a standard number: the current value is offered when it is one
// of them (an empty answer takes it), a negative answer counts by its size, 0 is not taken.
TEST_F(SpotSheet, PickingTheDivisionsAsksForThem) {
    open();
    struct Case {
        const char* name;
        double before;
        const char* answer;
        double after;
        bool refused;
    };
    const Case cases[] = {
        {"a standard number", 17.03, "48\n", 48.0, false},
        {"the offered one", 64.0, "\n", 64.0, false},
        {"negative", 17.03, "-24\n", 24.0, false},
        {"zero", 32.0, "0\n", 32.0, true},
        {"not in the list", 17.03, "20\n", 20.0, false},
        {"not a number", 24.0, "many\n", 24.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s().aperture_divisions = c.before;
        set_state_flag(kFlagSpotDiagramCurrent);
        ui().set_status_text("");
        input(c.answer);
        EXPECT_EQ(send(4, 502 | 0x4000, 0), 0) << errors();
        EXPECT_EQ(s().aperture_divisions, c.after);
        EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);
        EXPECT_EQ(ui().status_text().find("above 0") != std::string::npos, c.refused);
    }
    // No answer can come: the question is cancelled and the field stays.
    input("");
    s().aperture_divisions = 24.0;
    EXPECT_EQ(send(4, 502, 0), kStopped);
    EXPECT_EQ(s().aperture_divisions, 24.0);
}

// Cancelling puts the lens back as it was when the sheet opened, its settings record included;
// the copy goes and flag 43 is cleared.
TEST_F(SpotSheet, CancelRestoresTheLens) {
    open();
    ASSERT_EQ(typed(502, 24.0), 0);
    ASSERT_EQ(send(4, 506, 1), 0);
    ASSERT_EQ(typed(507, 300.0), 0);
    // A line typed into the sheet runs as a command: here it changes the beam radius.
    char line[] = "EBR 12";
    GridEvent e;
    e.code = 6;
    e.text = line;
    ASSERT_EQ(run_command_level(e), 0) << errors();
    ASSERT_EQ(lens_data().entrance_beam_radius, 12.0);
    ASSERT_EQ(leave(-1), 0);
    EXPECT_EQ(s().aperture_divisions, 17.03);
    EXPECT_EQ(s().apodisation_on, 0);
    EXPECT_EQ(s().mtf_path_limit, 1000.0);
    EXPECT_EQ(lens_data().entrance_beam_radius, 10.0);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_FALSE(exists(kMsgSpotSheetRevertCopy));
    EXPECT_FALSE(spot_sheet_opened_by_command());
    // The level's close that follows finds no copy and changes nothing.
    pop_command_level(true);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(s().aperture_divisions, 17.03);
}

// Accepting the sheet that the command opened keeps the edits and traces the spot diagram with
// them (a refusal of that trace is the sheet's answer); accepting one whose closing was
// confirmed, or one the auxiliary opener opened, does not trace.
TEST_F(SpotSheet, AcceptingRunsTheSpotDiagramOnlyWhenTheCommandOpenedIt) {
    struct Case {
        const char* name;
        bool by_command;
        bool confirmed;
        double divisions;
        bool traced;
        bool refused;  // the trace's refusal, in the error text the result points to
    };
    const Case cases[] = {{"by command", true, false, 10.0, true, false},
                          {"too many divisions to trace", true, false, 40000.0, false, true},
                          {"confirmed first", true, true, 13.0, false, false},
                          {"auxiliary opener", false, false, 12.0, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear_state_flag(kFlagSpotDiagramCurrent);
        if (c.by_command) {
            open();
        } else {
            ASSERT_EQ(open_spot_settings_sheet_aux(), 0);
            for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
            ASSERT_EQ(level_count(), 1);
            EXPECT_STREQ(sheet_title(), "Spot diagram and diffraction settings");
            EXPECT_EQ(sheet_help_topic(), 1025);
        }
        ASSERT_EQ(typed(502, c.divisions), 0);
        if (c.confirmed) {
            // Changed: the user is asked, and OK lets the sheet close.
            ui().queue_message_box_answer(platform::MessageAnswer::ok);
            EXPECT_EQ(send(22), 0);
            EXPECT_TRUE(spot_sheet_close_confirmed());
        }
        run_.output.str("");
        const int rc = leave(0);
        EXPECT_EQ(rc, c.refused ? kErrorTextReady : 0) << output() << errors();
        if (c.refused) {
            EXPECT_NE(std::string(error_text_buffer()).find("below 32400"), std::string::npos)
                << error_text_buffer();
        }
        EXPECT_EQ(s().aperture_divisions, c.divisions);
        EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
        EXPECT_FALSE(exists(kMsgSpotSheetRevertCopy));
        EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent) != 0, c.traced);
        EXPECT_EQ(output().find("APERTURE DIVISIONS   10.000000") != std::string::npos, c.traced)
            << output();
        EXPECT_FALSE(spot_sheet_opened_by_command());
        EXPECT_FALSE(spot_sheet_close_confirmed());
        pop_command_level(false);
        ASSERT_EQ(level_count(), 0);
    }
}

// Asked whether it may close: an unchanged lens may; a changed one asks the user, whose Cancel
// keeps the sheet open and unconfirmed.
TEST_F(SpotSheet, AskingToClose) {
    open();
    EXPECT_EQ(send(22), 1);
    EXPECT_TRUE(spot_sheet_close_confirmed());
    ASSERT_EQ(leave(1), 0);  // a level on top for a moment: the mark goes
    EXPECT_FALSE(spot_sheet_close_confirmed());
    ASSERT_EQ(send(8), 0);
    ASSERT_EQ(typed(503, 4.0), 0);
    const std::size_t boxes = ui().message_boxes_shown().size();
    ui().queue_message_box_answer(platform::MessageAnswer::cancel);
    EXPECT_EQ(send(22), kStopped);
    EXPECT_EQ(ui().message_boxes_shown().size(), boxes + 1);
    EXPECT_FALSE(spot_sheet_close_confirmed());
    EXPECT_EQ(level_count(), 1);
}

// Left with exit code 1 (another level on top for a while) the sheet keeps its copy and flag
// 43, and showing it again takes no new copy: a later cancel still goes back to the lens of the
// first display. A level that closes above it shows it again without that exit code: its copy
// stays too.
TEST_F(SpotSheet, ALevelOnTopKeepsTheCopy) {
    open();
    ASSERT_EQ(typed(502, 24.0), 0);
    ASSERT_EQ(leave(1), 0);
    EXPECT_TRUE(spot_sheet_left_for_a_moment());
    EXPECT_TRUE(spot_sheet_opened_by_command());
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_TRUE(exists(kMsgSpotSheetRevertCopy));
    ASSERT_EQ(send(8), 0);
    ASSERT_EQ(typed(502, 32.0), 0);
    ASSERT_EQ(send(8), 0);  // shown again, with no change in between
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    clear_state_flag(kFlagSpotDiagramCurrent);
    ASSERT_EQ(leave(-1), 0);
    EXPECT_EQ(s().aperture_divisions, 17.03);
    EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);  // cancelled: no spot diagram
}

// Escape in the main loop cancels the sheet: the question whether it may close is asked, the
// level closes once as cancelled, the settings of its opening come back, the copy goes and no
// spot diagram is traced.
TEST_F(SpotSheet, EscapeCancelsTheEdits) {
    open();
    ASSERT_EQ(typed(502, 10.0), 0);
    clear_state_flag(kFlagSpotDiagramCurrent);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);  // it may close
    set_run_state(kRunStateEscapeLevel);
    main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(s().aperture_divisions, 17.03);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_FALSE(exists(kMsgSpotSheetRevertCopy));
    EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);
    EXPECT_FALSE(spot_sheet_opened_by_command());
}

// The lens file holds an "SD" line only for a setting away from its default: none for a new
// lens, none after the divisions are set back to 17.03 through the sheet.
TEST_F(SpotSheet, LensFileLinesFollowTheSheet) {
    auto sd_lines = [] {
        int failure = 0;
        const std::string text = lens_file_text(nullptr, nullptr, &failure);
        EXPECT_EQ(failure, 0);
        std::vector<std::string> found;
        std::size_t at = 0;
        while ((at = text.find("\nSD", at)) != std::string::npos) {
            const std::size_t end = text.find('\n', at + 1);
            found.push_back(text.substr(at + 1, end - at - 1));
            at = end;
        }
        return found;
    };
    EXPECT_TRUE(sd_lines().empty());
    open();
    ASSERT_EQ(typed(502, 24.0), 0);
    ASSERT_EQ(send(4, 506, 1), 0);
    const std::vector<std::string> changed = sd_lines();
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].rfind("SDAD 24", 0), 0u) << changed[0];
    EXPECT_EQ(changed[1], "SDAZ On");
    ASSERT_EQ(typed(502, 17.03), 0);
    ASSERT_EQ(send(4, 506, 0), 0);
    EXPECT_TRUE(sd_lines().empty());
}

// Without a current reference ray the command makes it current first.
TEST_F(SpotSheet, TheCommandMakesTheReferenceRayCurrent) {
    clear_state_flag(kFlagReferenceRayCurrent);
    open();
    EXPECT_NE(test_state_flag(kFlagReferenceRayCurrent), 0);
    EXPECT_EQ(sheet_help_topic(), 1024);
}

}  // namespace
}  // namespace loop_test
