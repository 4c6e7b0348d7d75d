// The special-data sheets of a surface, opened as the surface sheet's special-data button opens
// them ("SPECIALSPR" with the choice), their cells and buttons used as the grid uses them.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "entry/coefficient_sheets.h"
#include "entry/grin_prepare.h"
#include "entry/hologram_grin_sheets.h"
#include "entry/sheet_options.h"
#include "entry/sheet_values.h"
#include "entry/small_surface_sheets.h"
#include "entry/special_sheets.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/surface_groups.h"
#include "platform/console/console_backend.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace sheet_test {
namespace {

class SpecialSheet : public Sheet {
protected:
    // The lens of the fixture with the current surface s; no sheet is open.
    void lens_at(int s, const char* object_line = "TH 100") {
        small_lens(object_line);
        lens_data().current_surface = s;
    }
    // "SPECIALSPR" with the choice's list value; the level, when one was asked for, is built.
    int open_choice(int choice) {
        char line[32];
        std::snprintf(line, sizeof line, "specialspr %d", choice + 1);
        type(line);
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        return level_count();
    }
    // The handler called as the special-data command calls it, for choices the list does not
    // offer; the level, when one was asked for, is built.
    int open_direct(int choice) {
        {
            ScratchCallScope scope;
            ArgCell** cells = scope.scratch();
            *cells[0] = int_cell(choice + 1);
            set_arg_vector(cells, 1);
            const int rc = cmd_open_special_sheet();
            if (rc != 0) return rc;
        }
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        return 0;
    }
    // The cells of field on each line that has one, counted.
    std::vector<int> cells_per_line(int field) {
        std::vector<int> out;
        for (int k = 0; k < 60; ++k) {
            int n = 0;
            for (const Cell& c : cells(k)) n += grid_entry_field(c.code) == field ? 1 : 0;
            if (n > 0) out.push_back(n);
        }
        return out;
    }
    LevelHandler top_handler() const {
        const CommandLevel* l = top_level();
        return l != nullptr ? l->handler : nullptr;
    }
    // The top level ends: 0 left with OK, -1 cancelled.
    void leave(int mode) { pop_command_level(mode == -1); }
    void close_all() {
        type("exit_levels");
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 0);
    }
    // The lens file without its stop line: the typed lens has its stop where the sheet found
    // it, and a command run in update mode moves it to surface 1 (not the sheets' doing).
    std::string lens_text() {
        int failure = 0;
        std::string text = lens_file_text("t", nullptr, &failure);
        for (std::size_t at = text.find("\nAST "); at != std::string::npos;
             at = text.find("\nAST ")) {
            text.erase(at + 1, text.find('\n', at + 1) - at);
        }
        return text.substr(text.find('\n'));  // the first line holds a checksum
    }
    int edit(int field, int index, double value) {
        return event(kLevelEventEdited, field, index, value);
    }
    int click(int field, int index) { return event(kLevelEventActivate, field, index); }
    int typed(const char* line) {
        std::string text = line;
        text.resize(kGridTextBufferSize, '\0');
        GridEvent e;
        e.code = kLevelEventTypedText;
        e.text = text.data();
        return run_command_level(e);
    }
    int edit_text(int field, int index, const char* value) {
        GridEvent e;
        e.code = kLevelEventEdited;
        e.field = field;
        e.first_index = index;
        e.last_index = index;
        e.value_type = kGridValueText;
        std::string copy = value;
        e.value.text = copy.data();
        return run_command_level(e);
    }
    // The edit text the sheet gives a cell (event 3).
    std::string cell_text(int field, int index) {
        char buffer[kGridTextBufferSize] = {};
        event(kLevelEventCellChanged, field, index, 0, 0, -2, buffer);
        return buffer;
    }
    // The line of the sheet that holds text, or "" when none does.
    std::string line_with(const std::string& text) {
        for (const std::string& l : lines()) {
            if (l.find(text) != std::string::npos) return l;
        }
        return "";
    }
    bool has_cell(int code, int index) {
        for (int k = 0; k < 40; ++k) {
            for (const Cell& c : cells(k)) {
                if (c.code == code && c.index == index) return true;
            }
        }
        return false;
    }
};

TEST_F(SpecialSheet, EachChoiceOpensItsSheetOrNothing) {
    const struct {
        int choice;
        LevelHandler handler;  // null: no level
        int rows;
    } cases[] = {
        {0, surface_note_sheet_event, kSurfaceNoteRows},
        {2, surface_options_sheet_event, kSurfaceOptionsRows},
        {6, coordinates_sheet_event, kCoordinatesRows},
        {7, perfect_lens_sheet_event, kPerfectLensRows},
        {9, conic_toric_sheet_event, kConicToricRows},
        {10, standard_asphere_sheet_event, kStandardAsphereRows},
        {11, asphere_sheet_event, 10},  // kind 1, order 10: six coefficients
        {15, asphere_sheet_event, 10},  // kind 3, order 10: eight
        {19, asphere_sheet_event, 13},  // kind 7, order 10: nine
        {21, asphere_sheet_event, 10},  // kind 9, order 5: six
        {13, asphere_sheet_event, 13},  // kind 11, order 10: eleven
        {23, spline_sheet_event, 15},   // five points
        {25, grating_sheet_event, kGratingRows},
        {1, nullptr, 0},
        {3, nullptr, 0},
        {4, nullptr, 0},
        {8, nullptr, 0},
        {24, nullptr, 0},
        {34, nullptr, 0},
        {47, nullptr, 0},
    };
    for (const auto& c : cases) {
        lens_at(2);
        const int levels = open_choice(c.choice);
        if (c.handler == nullptr) {
            EXPECT_EQ(levels, 0) << c.choice;
            continue;
        }
        ASSERT_EQ(levels, 1) << c.choice << " " << errors();
        EXPECT_EQ(top_handler(), c.handler) << c.choice;
        EXPECT_EQ(top_level()->rows, c.rows) << c.choice;
        leave(-1);
        close_all();
    }
}

TEST_F(SpecialSheet, AChoiceThatIsNoNumberIsRefused) {
    lens_at(2);
    ScratchCallScope scope;
    ArgCell** cells = scope.scratch();
    *cells[0] = double_cell(7.5);
    set_arg_vector(cells, 1);
    EXPECT_EQ(cmd_open_special_sheet(), kMsgSettingRefused);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, AnEmptyNewAsphereIsDroppedOnlyWhenTheSheetIsLeft) {
    // Left with OK: the asphere the sheet made, still without terms, is gone.
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialStandardAsphere), 1) << errors();
    ASSERT_NE(surface(2).asphere, nullptr);
    EXPECT_EQ(surface(2).asphere->kind, kAsphereEven);
    leave(0);
    EXPECT_EQ(surface(2).asphere, nullptr);

    // Another sheet opened over it (end mode 1): the asphere stays while the sheet waits.
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialStandardAsphere), 1);
    ASSERT_EQ(open_direct(kSpecialSurfaceNote), 0) << error_text_buffer();
    ASSERT_EQ(level_count(), 2);
    EXPECT_NE(surface(2).asphere, nullptr);
    leave(0);
    EXPECT_NE(surface(2).asphere, nullptr);
    leave(0);
    EXPECT_EQ(surface(2).asphere, nullptr);
}

TEST_F(SpecialSheet, AnAsphereWithATermStaysAndItsDeleteEndsTheSheet) {
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialStandardAsphere), 1);
    ASSERT_EQ(edit(kCmdAfL, 2, 2.5e-7), 0) << error_text_buffer();
    EXPECT_EQ(cell_text(kCmdAfL, 2), format_number(2.5e-7, 2, 0));
    EXPECT_EQ(get_lens_value(kCmdAfL, 2), 2.5e-7);
    leave(0);
    ASSERT_NE(surface(2).asphere, nullptr);
    EXPECT_EQ(surface(2).asphere->entered[4], 2.5e-7);

    // Opened again on the kept asphere, the delete button removes it and ends the level.
    ASSERT_EQ(open_choice(kSpecialStandardAsphere), 1);
    set_state_flag(kFlagSpotDiagramCurrent);
    ASSERT_EQ(click(kGridKindButton | kFieldAsphereDelete, 0), 0);
    EXPECT_EQ(surface(2).asphere, nullptr);
    EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);  // the set-up ran
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, ASplineGivesWayToAnAsphereOnlyWhenTheUserAgrees) {
    const struct {
        platform::MessageAnswer answer;
        bool opened;
    } cases[] = {{platform::MessageAnswer::cancel, false}, {platform::MessageAnswer::ok, true}};
    for (const auto& c : cases) {
        lens_at(2);
        ASSERT_EQ(alloc_spline_record(2, 4), 0);
        ui().queue_message_box_answer(c.answer);
        EXPECT_EQ(open_choice(kSpecialStandardAsphere), c.opened ? 1 : 0);
        EXPECT_EQ(surface(2).spline != nullptr, !c.opened);
        if (c.opened) {
            leave(-1);
            close_all();
        }
    }
}

TEST_F(SpecialSheet, ACancelledSheetLeavesTheLensAsItWas) {
    const struct {
        int choice;
        int field;
        double value;
    } cases[] = {
        {kSpecialCoordinates, kCmdDcyL, 1.5},   {kSpecialConicToric, kCmdCcL, -0.5},
        {kSpecialSurfaceOptions, kCmdTceL, 71}, {kSpecialGrating, kCmdGspL, 0.8},
        {kSpecialPerfectLens, kCmdPflL, 40},    {kSpecialStandardAsphere, kCmdAdL, 1e-5},
    };
    for (const auto& c : cases) {
        lens_at(2);
        const std::string before = lens_text();
        ASSERT_EQ(open_choice(c.choice), 1) << c.choice << " " << errors();
        ASSERT_EQ(edit(c.field, 2, c.value), 0) << c.choice << " " << error_text_buffer();
        EXPECT_NE(lens_text(), before) << c.choice;
        leave(-1);
        EXPECT_EQ(lens_text(), before) << c.choice;
        EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0) << c.choice;
        close_all();
    }
}

// The sheets that make their record on opening: cancelled after an edit, the lens is as it was
// and no sheet holds a copy.
TEST_F(SpecialSheet, ACancelledRecordSheetLeavesTheLensAsItWas) {
    const struct {
        int choice;
        int field;
        int index;
        double value;
    } cases[] = {
        {kSpecialHologram, kCmdHwvL, 2, 0.6328},
        {kSpecialFirstGrin, kCmdDthL, 2, 0.5},
        {kSpecialFirstAsphere, kFieldAsphereCoefficient, 1, 1e-5},
        {kSpecialFirstDiffractive, kFieldDiffractiveCoefficient, 1, 1e-3},
        {kSpecialSplineProfile, kFieldSplineSag, 1, 0.1},
    };
    for (const auto& c : cases) {
        lens_at(2);
        const std::string before = lens_text();
        ASSERT_EQ(open_choice(c.choice), 1) << c.choice << " " << errors();
        ASSERT_EQ(edit(c.field, c.index, c.value), 0) << c.choice << " " << error_text_buffer();
        EXPECT_NE(lens_text(), before) << c.choice;
        leave(-1);
        EXPECT_EQ(lens_text(), before) << c.choice;
        EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0) << c.choice;
        close_all();
    }
}

// A line typed into a sheet that takes its record away ends the sheet, as its delete button does;
// one that leaves the record keeps the sheet open.
TEST_F(SpecialSheet, ATypedLineThatTakesTheRecordAwayEndsTheSheet) {
    const struct {
        int choice;
        const char* keep;  // a line that leaves the record
        const char* line;  // the line that deletes it
        bool (*there)();
    } cases[] = {
        {kSpecialFirstAsphere, "", "ASD", [] { return surface(2).asphere != nullptr; }},
        {kSpecialStandardAsphere, "AD 1e-5", "ASD", [] { return surface(2).asphere != nullptr; }},
        {kSpecialHologram, "HWV 0.6", "HOD", [] { return surface(2).hologram != nullptr; }},
        {kSpecialFirstGrin, "DTH 0.5", "GDD", [] { return surface(2).grin != nullptr; }},
        {kSpecialFirstDiffractive, "", "DOD", [] { return surface(2).diffractive != nullptr; }},
        {kSpecialSplineProfile, "", "SPR", [] { return surface(2).spline != nullptr; }},
        {kSpecialPerfectLens, "PFL 40", "PFR", [] { return surface(2).perfect_lens != nullptr; }},
    };
    for (const auto& c : cases) {
        lens_at(2);
        ASSERT_EQ(open_choice(c.choice), 1) << c.choice << " " << errors();
        ASSERT_EQ(typed(c.keep), 0) << c.choice << " " << error_text_buffer();
        EXPECT_NE(run_state(), kRunStateCloseLevel) << c.choice;
        EXPECT_TRUE(c.there()) << c.choice;
        ASSERT_EQ(typed(c.line), 0) << c.choice << " " << error_text_buffer();
        EXPECT_FALSE(c.there()) << c.choice;
        for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
        EXPECT_EQ(level_count(), 0) << c.choice;
        EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0) << c.choice;
    }
}

// What a sheet stores is what the lens-entry commands store: the lens files match byte for byte.
TEST_F(SpecialSheet, TheSheetsLeaveTheLensTheCommandsLeave) {
    struct Step {
        int code;  // 4 a button, 5 a value
        int field;
        double value;
    };
    const struct {
        int choice;
        std::vector<Step> steps;
        std::vector<const char*> commands;
    } cases[] = {
        {kSpecialCoordinates,
         {{5, kCmdDcxL, 0.1},
          {5, kCmdDcyL, -0.2},
          {5, kCmdDczL, 0.3},
          {5, kCmdTlaL, 1},
          {5, kCmdTlbL, 2},
          {5, kCmdTlcL, 3}},
         {"DCX 0.1", "DCY -0.2", "DCZ 0.3", "TLA 1", "TLB 2", "TLC 3"}},
        {kSpecialCoordinates, {{5, kCmdDtL, -1}, {5, kCmdTlaL, 5}}, {"DT -1", "TLA 5"}},
        {kSpecialCoordinates,
         {{5, kCmdTlaL, 5}, {4, kGridKindButton | kFieldBend, 0}},
         {"TLA 5", "BEN"}},
        {kSpecialCoordinates, {{5, kCmdTlbL, 4}, {5, kCmdRcoL, 1}}, {"TLB 4", "RCO 1"}},
        {kSpecialConicToric, {{5, kCmdCcL, -1}, {5, kCmdCvxL, 0.01}}, {"CC -1", "CVX 0.01"}},
        {kSpecialSurfaceOptions,
         {{4, kGridKindButton | kCmdFrnL, 0},
          {5, kCmdFcvL, 0.02},
          {5, kCmdFccL, -2},
          {4, kGridKindButton | kCmdAsiL, 0},
          {4, kGridKindButton | kCmdTirL, 0},
          {4, kGridKindButton | kCmdRodL, 0},
          {5, kCmdTceL, 71}},
         {"FRN FRESNEL", "FCV 0.02", "FCC -2", "ASI ALTERNATE", "TIR YES", "ROD YES", "TCE 71"}},
        {kSpecialGrating, {{5, kCmdGorL, 2}, {5, kCmdGspL, 0.8}}, {"GOR 2", "GSP 0.8"}},
        {kSpecialPerfectLens, {{5, kCmdPflL, 40}, {5, kCmdPfmL, -0.5}}, {"PFL 40", "PFM -0.5"}},
        {kSpecialStandardAsphere,
         {{5, kCmdAdL, 1e-5}, {5, kCmdAeL, -2e-8}, {5, kCmdAfL, 3e-11}, {5, kCmdAgL, -4e-14}},
         {"AD 1e-5", "AE -2e-8", "AF 3e-11", "AG -4e-14"}},
    };
    for (const auto& c : cases) {
        lens_at(2);
        ASSERT_EQ(open_choice(c.choice), 1) << c.choice << " " << errors();
        for (const Step& s : c.steps) {
            ASSERT_EQ(event(s.code, s.field, 2, s.value), 0)
                << c.choice << " " << s.field << " " << error_text_buffer();
        }
        leave(0);
        ASSERT_EQ(level_count(), 0);
        const std::string by_sheet = lens_text();
        lens_at(2);
        for (const char* line : c.commands) {
            ASSERT_EQ(run_choice_line(line), 0) << line << " " << error_text_buffer();
        }
        ASSERT_EQ(lens_setup(0), 0);
        EXPECT_EQ(lens_text(), by_sheet) << c.choice;
    }
}

TEST_F(SpecialSheet, TheCoordinatesSheetShowsWhatTheSurfaceAllows) {
    // Surface 1: no bend (it needs a surface from 2 on); surface 2 returns to itself.
    lens_at(1);
    surface(1).bend = 1;
    ASSERT_EQ(run_choice_line("TLA 3"), 0);
    ASSERT_EQ(open_choice(kSpecialCoordinates), 1) << errors();
    EXPECT_EQ(surface(1).bend, 0);
    EXPECT_FALSE(has_cell(kGridKindButton | kFieldBend, 1));
    EXPECT_TRUE(has_cell(kGridKindButton | kFieldDecentrePickup, 1));
    EXPECT_EQ(line_with("Bend"), "Bend (BEN):     No");
    leave(0);
    close_all();

    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialCoordinates), 1);
    ASSERT_EQ(click(kGridKindButton | kCmdRcoL, 0), 0) << error_text_buffer();
    ASSERT_NE(surface(2).return_coordinates, nullptr);
    EXPECT_EQ(line_with("Coordinate return:"),
              "Coordinate return:  Yes    Return to surface:    2 (untilted coordinates)");
    EXPECT_EQ(cell_text(kCmdRcoL, 2), "2");
    ASSERT_EQ(edit(kCmdRcoL, 2, 1), 0) << error_text_buffer();
    EXPECT_EQ(line_with("Coordinate return:"),
              "Coordinate return:  Yes    Return to surface:    1");
    // The values of a decentre picked up from elsewhere are not typed into.
    surface(2).decentre->pickup_source = 1;
    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    ASSERT_EQ(edit(kCmdDcxL, 2, 4.0), 0);
    EXPECT_EQ(surface(2).decentre->dcx, 0.0);
    leave(-1);
}

TEST_F(SpecialSheet, ACoordinatesSheetLeftEmptyLeavesNoDecentre) {
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialCoordinates), 1);
    ASSERT_NE(surface(2).decentre, nullptr);  // made when the sheet opens
    leave(0);
    EXPECT_EQ(surface(2).decentre, nullptr);

    // The delete button ends the sheet.
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialCoordinates), 1);
    ASSERT_EQ(edit(kCmdDcxL, 2, 1.0), 0);
    ASSERT_EQ(click(kGridKindButton | kFieldCoordinatesDelete, 0), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).decentre, nullptr);
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);

    // So does a typed delete.
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialCoordinates), 1);
    ASSERT_EQ(edit(kCmdDcxL, 2, 1.0), 0);
    ASSERT_EQ(typed("TDD"), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).decentre, nullptr);
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, TheConicFormFollowsTheConicConstant) {
    const struct {
        double k;
        const char* form;
    } cases[] = {{-1.0, "paraboloid"},
                 {-1.0000001, "hyperboloid"},
                 {-0.5, "prolate"},
                 {0.0, "sphere"},
                 {0.5, "oblate"}};
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialConicToric), 1);
    for (const auto& c : cases) {
        ASSERT_EQ(edit(kCmdCcL, 2, c.k), 0);
        EXPECT_NE(line_with("Form: ").find(c.form), std::string::npos) << c.k;
    }
    leave(-1);
}

TEST_F(SpecialSheet, ANoteKeepsEightyCharactersAndItsDeleteEndsTheSheet) {
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialSurfaceNote), 1);
    // The cursor stands on the note.
    EXPECT_EQ(grid_state().current.field_code, kGridKindText | kCmdNotL);
    EXPECT_EQ(grid_state().current.field_index, 2);
    const std::string hundred(100, 'x');
    ASSERT_EQ(edit_text(kGridKindText | kCmdNotL, 2, hundred.c_str()), 0) << error_text_buffer();
    ASSERT_NE(surface(2).note, nullptr);
    EXPECT_EQ(std::string(surface(2).note), std::string(80, 'x'));
    EXPECT_EQ(cell_text(kGridKindText | kCmdNotL, 2), std::string(80, 'x'));
    ASSERT_EQ(click(kGridKindButton | kFieldNoteDelete, 0), 0);
    EXPECT_EQ(surface(2).note, nullptr);
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, ThePerfectLensGoesWhenLeftAtZeroOrDeleted) {
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialPerfectLens), 1);
    ASSERT_NE(surface(2).perfect_lens, nullptr);
    leave(0);
    EXPECT_EQ(surface(2).perfect_lens, nullptr);

    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialPerfectLens), 1);
    ASSERT_EQ(edit(kCmdPflL, 2, 25.0), 0);
    ASSERT_EQ(click(kGridKindButton | kFieldPerfectLensDelete, 0), 0);
    EXPECT_EQ(surface(2).perfect_lens, nullptr);
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, TheImageSurfaceDrawnAlwaysSetsTheDrawingConditions) {
    lens_at(3);
    ASSERT_EQ(lens_data().image_surface, 3);
    ASSERT_NE(lens_data().drawing_conditions, nullptr);
    lens_data().drawing_conditions->dlrs = 0;
    ASSERT_EQ(open_choice(kSpecialSurfaceOptions), 1);
    input("3\n");
    ASSERT_EQ(click(kGridKindButton | kCmdDrwL, 0), 0) << error_text_buffer();
    EXPECT_EQ(surface(3).drawing_mode, 3);
    EXPECT_EQ(lens_data().drawing_conditions->dlrs, 3);
    leave(0);
}

TEST_F(SpecialSheet, AnAsphereOfAnotherKindIsOpenedAsItIs) {
    const struct {
        int choice;
        const char* before;  // the asphere the surface has
        int kind;            // after
        int count;
        bool opened;
    } cases[] = {
        {13, "ASP ASR 10", kAsphereSeries, 6, true},  // a kind-1 asphere stays
        {13, "AD 1e-5", kAsphereRadial, 11, true},    // a standard asphere is replaced
        {12, "ASP ASR 10", kAsphereSeries, 6, true},  // never offered, but opens the record
        {12, nullptr, -1, 0, false},                  // ... and never makes one
        {16, nullptr, -1, 0, false},
    };
    for (const auto& c : cases) {
        lens_at(2);
        if (c.before != nullptr) {
            ASSERT_EQ(run_choice_line(c.before), 0) << c.before;
        }
        ASSERT_EQ(open_direct(c.choice), 0) << c.choice << " " << error_text_buffer();
        EXPECT_EQ(level_count(), c.opened ? 1 : 0) << c.choice;
        if (c.kind < 0) {
            EXPECT_EQ(surface(2).asphere, nullptr) << c.choice;
        } else {
            ASSERT_NE(surface(2).asphere, nullptr) << c.choice;
            EXPECT_EQ(surface(2).asphere->kind, c.kind) << c.choice;
            EXPECT_EQ(surface(2).asphere->entered_count, c.count) << c.choice;
        }
        if (level_count() > 0) leave(-1);
        EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0) << c.choice;
    }
}

TEST_F(SpecialSheet, TheAsphereSheetShowsItsOrderAndCoefficientsFiveToARow) {
    const struct {
        const char* asphere;
        const char* order_line;
        std::vector<int> groups;
    } cases[] = {
        {"ASP ASR 10", "ASP ASR   10", {5, 1}},
        {"ASP ISR 9", "ASP ISR    9    (the highest power of the radius)", {5, 2}},
        {"ASP ASR 22", "ASP ASR   22", {5, 5, 2}},
    };
    for (const auto& c : cases) {
        lens_at(2);
        ASSERT_EQ(run_choice_line(c.asphere), 0) << c.asphere;
        ASSERT_EQ(open_direct(11), 0) << error_text_buffer();
        ASSERT_EQ(level_count(), 1);
        EXPECT_EQ(line_with("ASP "), c.order_line);
        EXPECT_EQ(cells_per_line(kFieldAsphereCoefficient), c.groups) << c.asphere;
        leave(-1);
    }
    // A new order keeps the coefficients there is room for; a coefficient past them is no cell.
    lens_at(2);
    ASSERT_EQ(run_choice_line("ASP ASR 10"), 0);
    ASSERT_EQ(open_direct(11), 0);
    ASSERT_EQ(edit(kFieldAsphereCoefficient, 2, 1.5e-5), 0);
    ASSERT_EQ(event(kLevelEventEdited, kFieldAsphereOrder, 2, 6), 0) << error_text_buffer();
    EXPECT_EQ(surface(2).asphere->entered_count, 4);
    EXPECT_EQ(surface(2).asphere->entered[2], 1.5e-5);
    EXPECT_EQ(edit(kFieldAsphereCoefficient, 5, 1.0), 0);
    ASSERT_EQ(click(kGridKindButton | kFieldPolynomialDelete, 0), 0);
    EXPECT_EQ(surface(2).asphere, nullptr);
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, TheSplineSheetShowsItsPointsInPairs) {
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialSplineProfile), 1) << errors();
    ASSERT_NE(surface(2).spline, nullptr);
    EXPECT_EQ(surface(2).spline->count, 5);
    EXPECT_EQ(line_with("Point 0"), " Point 0| Point 1");
    EXPECT_EQ(line_with("Point 2"), " Point 2| Point 3");
    EXPECT_EQ(line_with("Point 4"), " Point 4");
    // The vertex's height is no cell.
    EXPECT_FALSE(has_cell(kFieldSplineHeight, 0));
    EXPECT_TRUE(has_cell(kFieldSplineHeight, 4));
    for (int i = 1; i <= 4; ++i) ASSERT_EQ(edit(kFieldSplineHeight, i, 1.5 * i), 0);
    ASSERT_EQ(edit(kFieldSplineSag, 4, -0.25), 0);
    ASSERT_EQ(edit(kFieldSplineHeight, 7, 1.0), 0);  // no such point
    leave(0);
    ASSERT_NE(surface(2).spline, nullptr);
    const std::string text = lens_text();
    for (const char* line : {"\nSPL 4\n", "\nSH 1 1.5\n", "\nSH 4 6.0\n", "\nSS 4 -0.25\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    }
    EXPECT_EQ(text.find("SH 7"), std::string::npos);
}

TEST_F(SpecialSheet, ADiffractiveRecordOfTheOtherFamilyIsReplaced) {
    const struct {
        int choice;
        bool with_doe;  // the surface has a kind-0 DOE of order 10 first
        int kind;       // after; -1 none
        int count;
    } cases[] = {
        {31, true, 4, 6},    // a Zernike phase surface replaces the DOE
        {28, true, 0, 6},    // the DOE is opened as it is
        {28, false, -1, 0},  // never offered: makes nothing
    };
    for (const auto& c : cases) {
        lens_at(2);
        if (c.with_doe) {
            ASSERT_EQ(run_choice_line("DOE DFR 10"), 0) << error_text_buffer();
        }
        ASSERT_EQ(open_direct(c.choice), 0) << c.choice << " " << error_text_buffer();
        EXPECT_EQ(level_count(), c.kind >= 0 ? 1 : 0) << c.choice;
        if (c.kind < 0) {
            EXPECT_EQ(surface(2).diffractive, nullptr);
        } else {
            ASSERT_NE(surface(2).diffractive, nullptr);
            EXPECT_EQ(surface(2).diffractive->kind, c.kind) << c.choice;
            EXPECT_EQ(surface(2).diffractive->entered_count, c.count) << c.choice;
        }
        if (level_count() > 0) leave(-1);
    }
}

TEST_F(SpecialSheet, TheDiffractiveSheetStoresWhatItsCommandsStore) {
    lens_at(2);
    ASSERT_EQ(open_choice(27), 1) << errors();
    EXPECT_EQ(line_with("DOE DFR").substr(0, 12), "DOE DFR   10");
    ASSERT_EQ(edit(kFieldDiffractiveCoefficient, 1, -2.5e-4), 0);
    ASSERT_EQ(edit(kFieldDesignWavelength, 2, 0.55), 0);
    // A design wavelength of 0 or below keeps the old one.
    ASSERT_EQ(edit(kFieldDesignWavelength, 2, -0.5), 0);
    EXPECT_EQ(surface(2).diffractive->design_wavelength, 0.55);
    ASSERT_EQ(event(kLevelEventEdited, kFieldDiffractionOrder, 2, 1), 0);
    leave(0);
    const std::string by_sheet = lens_text();
    lens_at(2);
    for (const char* line : {"DOE DFR 10", "DF1 -2.5e-4", "DWV 0.55", "DOR 1"}) {
        ASSERT_EQ(run_choice_line(line), 0) << line << " " << error_text_buffer();
    }
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_text(), by_sheet);

    // The delete button takes the record and its order away and ends the sheet.
    lens_data().current_surface = 2;
    ASSERT_EQ(open_choice(27), 1);
    ASSERT_EQ(click(kGridKindButton | kFieldDiffractiveDelete, 0), 0);
    EXPECT_EQ(surface(2).diffractive, nullptr);
    EXPECT_EQ(surface(2).diffraction_order, 0);
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, AHologramLeftUntouchedIsDroppedButAToggledOneStays) {
    const struct {
        int toggles;  // of the first point's virtual switch
        bool kept;
    } cases[] = {{0, false}, {2, true}};
    for (const auto& c : cases) {
        lens_at(2);
        ASSERT_EQ(open_choice(kSpecialHologram), 1) << errors();
        ASSERT_NE(surface(2).hologram, nullptr);
        const std::string shown = line_with("HV1");
        for (int k = 0; k < c.toggles; ++k) {
            ASSERT_EQ(click(kGridKindButton | kCmdHv1L, 2), 0);
        }
        EXPECT_EQ(line_with("HV1"), shown);
        leave(0);
        EXPECT_EQ(surface(2).hologram != nullptr, c.kept) << c.toggles;
    }
    // What the sheet stores is what the hologram commands store.
    lens_at(2);
    ASSERT_EQ(open_choice(kSpecialHologram), 1);
    ASSERT_EQ(event(kLevelEventEdited, kCmdHorL, 2, 2), 0);
    ASSERT_EQ(edit(kCmdHwvL, 2, 0.6328), 0);
    ASSERT_EQ(edit(kCmdHy1L, 2, 10.0), 0);
    ASSERT_EQ(edit(kCmdHz2L, 2, -20.0), 0);
    leave(0);
    const std::string by_sheet = lens_text();
    lens_at(2);
    for (const char* line : {"HOR 2", "HWV 0.6328", "HY1 10", "HZ2 -20"}) {
        ASSERT_EQ(run_choice_line(line), 0) << line << " " << error_text_buffer();
    }
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_text(), by_sheet);
}

TEST_F(SpecialSheet, TheGradientIndexSheetShowsItsTablesByKind) {
    const struct {
        int choice;
        std::vector<int> fields;  // the coefficient cells shown at wavelength 1
    } cases[] = {
        {35, {kCmdNz1L, kCmdNz2L, kCmdNz3L, kCmdNz4L, kCmdNr1L, kCmdNr2L, kCmdNr3L, kCmdNr4L}},
        {36, {kCmdNr1L}},
    };
    for (const auto& c : cases) {
        lens_at(2);
        ASSERT_EQ(open_choice(c.choice), 1) << errors();
        ASSERT_EQ(lens_data().wavelength_count, 3);
        for (int f :
             {kCmdNz1L, kCmdNz2L, kCmdNz3L, kCmdNz4L, kCmdNr1L, kCmdNr2L, kCmdNr3L, kCmdNr4L}) {
            const bool shown = std::find(c.fields.begin(), c.fields.end(), f) != c.fields.end();
            EXPECT_EQ(has_cell(f, 0), shown) << c.choice << " " << f;
            EXPECT_EQ(has_cell(f, 2), shown) << c.choice << " " << f;
            EXPECT_FALSE(has_cell(f, 3)) << c.choice << " " << f;
        }
        EXPECT_EQ(cells_per_line(kCmdNr1L), std::vector<int>(3, 1)) << c.choice;
        leave(-1);
    }
    // The general kind: a row's cell edits coefficient row, row + 4, ...; GNZ cell i the
    // coefficient 17 + i.
    lens_at(2);
    ASSERT_EQ(open_choice(38), 1) << errors();
    ASSERT_EQ(edit(kCmdGra_L, 1, 1.5), 0);
    ASSERT_EQ(edit(kCmdGrd_L, 4, 2.5), 0);
    ASSERT_EQ(edit(kCmdGnz_L, 11, 3.5), 0);
    ASSERT_EQ(edit(kCmdGnz_L, 12, 9.0), 0);  // no such coefficient
    const GrinRecord& g = *surface(2).grin;
    EXPECT_EQ(g.grd[0], 1.5);
    EXPECT_EQ(g.grd[15], 2.5);
    EXPECT_EQ(g.grd[27], 3.5);
    ASSERT_EQ(click(kGridKindButton | kFieldGrinDelete, 0), 0);
    EXPECT_EQ(surface(2).grin, nullptr);
    for (int k = 0; k < 3 && level_count() > 0; ++k) main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
}

TEST_F(SpecialSheet, TheGradientIndexSheetStoresWhatItsCommandsStore) {
    lens_at(2);
    ASSERT_EQ(open_choice(35), 1) << errors();
    ASSERT_EQ(edit(kCmdDthL, 2, -0.5), 0);
    ASSERT_EQ(edit(kCmdNz1L, 1, 1.6), 0);
    ASSERT_EQ(edit(kCmdNr2L, 0, -2e-3), 0);
    leave(0);
    const std::string by_sheet = lens_text();
    lens_at(2);
    for (const char* line : {"GDT ARG", "DTH 0.5", "NZ1 WV2 1.6", "NR2 WV1 -2e-3"}) {
        ASSERT_EQ(run_choice_line(line), 0) << line << " " << error_text_buffer();
    }
    // The sheet prepares the medium when it closes, as the end of a lens block does.
    prepare_grin_record(2);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_text(), by_sheet);
}

}  // namespace
}  // namespace sheet_test
