// The lens-notes, system-data and wavelength sheets, opened by the surface sheet's header
// buttons (handler slots 115 and 116), their cells and row actions used as the grid uses them.
#include <cstdio>
#include <string>
#include <vector>

#include "entry/aux_sheets.h"
#include "entry/lens_sheets.h"
#include "entry/surface_sheet.h"
#include "entry/wavelength_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "platform/console/console_backend.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "tests/entry/surface_sheet/sheet_fixture.h"
#include "ui/grid_cells.h"
#include "ui/grid_control.h"

namespace sheet_test {
namespace {

class LensSheet : public Sheet {
protected:
    // The surface sheet open on the fixture's lens, then one of its header buttons clicked.
    void open_from_surface_sheet(int field) {
        small_lens("TH 100");
        open_sheet();
        ASSERT_EQ(event(kLevelEventActivate, field, 0), 0) << error_text_buffer();
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 2) << errors();
    }
    void leave(int mode) { pop_command_level(mode == -1); }
    std::string lens_text() {
        int failure = 0;
        return lens_file_text("t", nullptr, &failure);
    }
    int edit_text(int field, int index, const std::string& value) {
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
    int row_action(int code, int row, int extent = 0, int after = 0) {
        return event(code, 0x6800, row, 0, after, -2, nullptr, extent);
    }
    std::vector<double> wavelengths() const {
        std::vector<double> out;
        for (int i = 0; i < lens_data().wavelength_count; ++i)
            out.push_back(lens_data().wavelengths[i].wavelength);
        return out;
    }
    // Whether the status line shows the message (a warning goes there, cut to its length).
    bool status_says(int message) {
        const std::string text = msg_text(message);
        return !ui().status_text().empty() &&
               text.compare(0, ui().status_text().size(), ui().status_text()) == 0;
    }
    std::string last_box() {
        const auto& b = ui().message_boxes_shown();
        return b.empty() ? std::string() : b.back().text;
    }
};

TEST_F(LensSheet, TheNotesButtonOpensTheNotesAndANoteKeepsEightyCharacters) {
    open_from_surface_sheet(kFieldNotes);
    EXPECT_EQ(top_level()->handler, lens_notes_sheet_event);
    EXPECT_EQ(top_level()->rows, kLensNotesRows);
    ASSERT_EQ(edit_text(kGridKindText | kCmdSno_, 1, std::string(100, 'n')), 0);
    EXPECT_EQ(std::string(lens_data().notes[1]), std::string(80, 'n'));
    ASSERT_EQ(edit_text(kGridKindText | kCmdSno_, 0, "FRONT ELEMENT"), 0);
    EXPECT_STREQ(lens_data().notes[0], "FRONT ELEMENT");
    // A cell of no note changes nothing.
    ASSERT_EQ(edit_text(kGridKindText | kCmdSno_, 7, "lost"), 0);
    EXPECT_STREQ(lens_data().notes[7], "");
    leave(0);
    EXPECT_STREQ(lens_data().notes[0], "FRONT ELEMENT");
}

TEST_F(LensSheet, SlotButtonsSixAndSevenOpenTheirSheets) {
    const struct {
        int button;
        LevelHandler handler;
        int rows;
    } cases[] = {{kAuxSheetSystemData, system_data_sheet_event, kSystemDataRows},
                 {kAuxSheetLensNotes, lens_notes_sheet_event, kLensNotesRows}};
    for (const auto& c : cases) {
        small_lens("TH 100");
        char line[32];
        std::snprintf(line, sizeof line, "open_aux_sheet %d", c.button);
        type(line);
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << errors();
        EXPECT_EQ(top_level()->handler, c.handler);
        EXPECT_EQ(top_level()->rows, c.rows);
        leave(-1);
        ASSERT_EQ(level_count(), 0);
    }
}

TEST_F(LensSheet, ALineTypedIntoASheetOverTheSurfaceSheetHoldsUntilItIsReverted) {
    const struct {
        const char* opener;
        LevelHandler handler;
    } cases[] = {{"open_aux_sheet 7", lens_notes_sheet_event},
                 {"open_aux_sheet 6", system_data_sheet_event},
                 {"wavelength_sheet", wavelength_sheet_event}};
    small_lens("TH 100");
    open_sheet();
    const double before = lens_data().wavelengths[0].wavelength;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opener);
        char opener[32];
        std::snprintf(opener, sizeof opener, "%s", c.opener);
        ASSERT_EQ(event(kLevelEventTypedText, 3, 1, 0, 0, 1, opener), 0) << error_text_buffer();
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 2) << errors();
        ASSERT_EQ(top_level()->handler, c.handler);
        char line[] = "wv 0.55";
        ASSERT_EQ(event(kLevelEventTypedLine, 0, 0, 0, 0, -2, line), 0) << error_text_buffer();
        EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.55);
        EXPECT_EQ(level_count(), 2);
        leave(-1);
        ASSERT_EQ(level_count(), 1);
        EXPECT_EQ(lens_data().wavelengths[0].wavelength, before);
    }
}

class SystemData : public LensSheet {
protected:
    void SetUp() override {
        LensSheet::SetUp();
        small_lens("TH 100");
        type("open_aux_sheet 6");
        for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << errors();
    }
};

TEST_F(SystemData, TheAfocalSwitchTurnsTheAfocalModeOnAndOff) {
    LensData& l = lens_data();
    l.afocal = 0;
    l.afocal_mode = 0;
    ASSERT_EQ(event(kLevelEventActivate, kGridKindButton | kCmdAfo, 0), 0);
    EXPECT_EQ(l.afocal, 1);
    EXPECT_EQ(l.afocal_mode, 1);
    // The wavefront reference means nothing to an afocal lens: its button is greyed.
    EXPECT_TRUE(has_cell(0x8000 | kCmdWrsp, 0));
    ASSERT_EQ(event(kLevelEventActivate, kGridKindButton | kCmdAfo, 0), 0);
    EXPECT_EQ(l.afocal, 0);
    EXPECT_EQ(l.afocal_mode, 0);
    EXPECT_TRUE(has_cell(kGridKindButton | kCmdWrsp, 0));
    leave(-1);
}

TEST_F(SystemData, ValuesOutsideTheirRangeAreRefusedWithAMessage) {
    LensData& l = lens_data();
    l.xaba = 10;
    const struct {
        int field;
        double value;
        double stored;  // what the field holds after
        bool told;      // a status message names the range
    } cases[] = {
        {kCmdXaba, 0.5, 10, true}, {kCmdXaba, 181, 10, true},  {kCmdXaba, 180, 180, false},
        {kCmdPre, -1, 1, true},    {kCmdPre, 0.5, 0.5, false}, {kCmdUni, 0, 1, true},
        {kCmdUni, -25.4, 1, true}, {kCmdGcs, 9, 0, true},      {kCmdGcs, 2, 2, false},
    };
    l.pressure = 1;
    l.units = 1;
    l.global_coordinate_surface = 0;
    for (const auto& c : cases) {
        ui().set_status_text("");
        ASSERT_EQ(event(kLevelEventEdited, c.field, 0, c.value), 0) << c.field;
        const double now = c.field == kCmdXaba  ? l.xaba
                           : c.field == kCmdPre ? l.pressure
                           : c.field == kCmdUni ? l.units
                                                : l.global_coordinate_surface;
        EXPECT_EQ(now, c.stored) << c.field << " " << c.value;
        EXPECT_EQ(!ui().status_text().empty(), c.told) << c.field << " " << c.value;
    }
    leave(-1);
}

TEST_F(SystemData, TheAimingModeDecidesWhichStepIsActive) {
    LensData& l = lens_data();
    input("4\n");
    ASSERT_EQ(event(kLevelEventActivate, kGridKindButton | kCmdRaim, 0), 0) << error_text_buffer();
    EXPECT_EQ(l.aim_mode, 4);
    EXPECT_TRUE(has_cell(kCmdXaba, 0));
    EXPECT_TRUE(has_cell(0x8000 | kCmdSasd, 0));
    input("0\n");
    ASSERT_EQ(event(kLevelEventActivate, kGridKindButton | kCmdRaim, 0), 0) << error_text_buffer();
    EXPECT_EQ(l.aim_mode, 0);
    EXPECT_TRUE(has_cell(0x8000 | kCmdXaba, 0));
    EXPECT_TRUE(has_cell(kCmdSasd, 0));
    leave(0);
}

TEST_F(SystemData, TheUnitsShowAsAWordOrANumber) {
    LensData& l = lens_data();
    l.units = 25.4;
    ASSERT_EQ(edit_text(kGridKindText | kCmdDes, 0, "A. N. Other, optics"), 0);
    EXPECT_STREQ(l.designer, "A. N. Othe");
    EXPECT_EQ(line_with("Designer"), "Designer:  A. N. Othe| Units:        in");
    EXPECT_TRUE(has_cell(kGridKindButton | kCmdUni, 0));
    ASSERT_EQ(event(kLevelEventEdited, kCmdUni, 0, 2.0), 0);
    EXPECT_EQ(l.units, 2.0);
    EXPECT_TRUE(has_cell(kGridKindSelectable | kCmdUni, 0));
    EXPECT_FALSE(has_cell(kGridKindButton | kCmdUni, 0));
    leave(-1);
    EXPECT_EQ(l.units, 1.0);
}

TEST_F(SystemData, TheTemporaryLensFlagLastsAsLongAsACopyIsHeld) {
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    // Pushed over by another level, the sheet keeps its copy.
    GridEvent e;
    e.code = kLevelEventChange;
    e.argument = 1;
    ASSERT_EQ(run_command_level(e), 0);
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    leave(0);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
}

class WavelengthSheet : public LensSheet {
protected:
    void SetUp() override {
        LensSheet::SetUp();
        open_from_surface_sheet(kFieldWavelengths);
        ASSERT_EQ(top_level()->handler, wavelength_sheet_event);
    }
};

TEST_F(WavelengthSheet, DeletingEveryRowIsRefused) {
    const std::vector<double> before = wavelengths();
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(row_action(kGridActionDelete, 0, 2), 0);
    EXPECT_EQ(wavelengths(), before);
    EXPECT_EQ(last_box(), msg_text(kMsgWavelengthsAllDeleted));
    ASSERT_EQ(row_action(kGridActionCut, 2, -2), 0);
    EXPECT_EQ(wavelengths(), before);
    EXPECT_NE(test_state_flag(kFlagSheetOpen), 0);
    leave(0);
    EXPECT_EQ(test_state_flag(kFlagSheetOpen), 0);
}

TEST_F(WavelengthSheet, AnInsertedRowTakesTheDefaultsOrTheFallback) {
    const std::vector<double> before = wavelengths();
    const double old_wavelength = get_setting_double(kSetWavelengthDefaults, 0, 0);
    const double old_weight = get_setting_double(kSetWeightDefaults, 0, 0);
    set_setting_double(kSetWavelengthDefaults, 0.0, 0, 0);
    set_setting_double(kSetWeightDefaults, 0.0, 0, 0);
    ASSERT_EQ(row_action(kGridActionInsert, 0), 0);
    ASSERT_EQ(lens_data().wavelength_count, 4);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, kInsertedWavelength);
    EXPECT_EQ(lens_data().wavelengths[0].weight, 1.0);
    // After the selection: at row 2 of the four.
    set_setting_double(kSetWavelengthDefaults, -0.65, 0, 0);
    set_setting_double(kSetWeightDefaults, 0.5, 0, 0);
    ASSERT_EQ(row_action(kGridActionInsert, 1, 0, 1), 0);
    EXPECT_EQ(lens_data().wavelengths[2].wavelength, 0.65);
    EXPECT_EQ(lens_data().wavelengths[2].weight, 0.5);
    EXPECT_EQ(lens_data().wavelengths[3].wavelength, before[1]);
    set_setting_double(kSetWavelengthDefaults, old_wavelength, 0, 0);
    set_setting_double(kSetWeightDefaults, old_weight, 0, 0);
    leave(-1);
    EXPECT_EQ(wavelengths(), before);
}

TEST_F(WavelengthSheet, UnusualWavelengthsAreStoredWithAWarning) {
    const struct {
        double w;
        bool warned;
    } cases[] = {{2.5, true}, {0.24, false}, {2.4, false}, {0.2, true}};
    for (const auto& c : cases) {
        ui().set_status_text("");
        ASSERT_EQ(event(kLevelEventEdited, kGridKindSelectable | kCmdWv, 1, c.w), 0);
        EXPECT_EQ(lens_data().wavelengths[1].wavelength, c.w);
        EXPECT_EQ(status_says(kMsgWavelengthOutsideRange), c.warned) << c.w;
    }
    // 0 or below keeps the old value and says so; so does a negative weight.
    ui().set_status_text("");
    ASSERT_EQ(event(kLevelEventEdited, kGridKindSelectable | kCmdWv, 1, 0.0), 0);
    EXPECT_EQ(lens_data().wavelengths[1].wavelength, 0.2);
    EXPECT_TRUE(status_says(kMsgWavelengthNotPositive));
    ui().set_status_text("");
    ASSERT_EQ(event(kLevelEventEdited, kCmdWw, 1, -1.0), 0);
    EXPECT_EQ(lens_data().wavelengths[1].weight, 1.0);
    EXPECT_TRUE(status_says(kMsgNegativeWeight));
    // A row that is gone changes nothing.
    ASSERT_EQ(event(kLevelEventEdited, kCmdWw, 5, 0.5), 0);
    leave(-1);
}

TEST_F(WavelengthSheet, TheReferenceFollowsItsWavelength) {
    LensData& l = lens_data();
    const std::vector<double> w = wavelengths();  // 3 wavelengths
    ASSERT_EQ(event(kLevelEventActivate, kGridKindRadioOff | kFieldReferenceWavelength, 1), 0);
    EXPECT_EQ(l.current_wavelength, 1);
    ASSERT_EQ(row_action(kGridActionInsert, 0), 0);  // ahead of it
    EXPECT_EQ(l.wavelengths[l.current_wavelength].wavelength, w[1]);
    ASSERT_EQ(row_action(kGridActionReverse, 0, 3), 0);
    EXPECT_EQ(l.wavelengths[l.current_wavelength].wavelength, w[1]);
    ASSERT_EQ(row_action(kGridActionCopy, 0), 0);
    ASSERT_EQ(row_action(kGridActionPaste, 0), 0);  // the copied row ahead of the first
    ASSERT_EQ(l.wavelength_count, 5);
    EXPECT_EQ(l.wavelengths[0].wavelength, l.wavelengths[1].wavelength);
    EXPECT_EQ(l.wavelengths[l.current_wavelength].wavelength, w[1]);
    // Removing the reference makes wavelength 1 the reference.
    ASSERT_EQ(row_action(kGridActionDelete, l.current_wavelength), 0);
    EXPECT_EQ(l.current_wavelength, 0);
    leave(-1);
}

TEST_F(WavelengthSheet, AnEmptyClipboardHasNothingToPaste) {
    EXPECT_EQ(row_action(kGridActionPaste, 0), kMsgWavelengthClipboardEmpty);
    EXPECT_EQ(lens_data().wavelength_count, 3);
    leave(0);
}

TEST_F(WavelengthSheet, ALevelPushedOverTheSheetEmptiesItsClipboard) {
    ASSERT_EQ(row_action(kGridActionCopy, 0), 0);
    GridEvent over;
    over.code = kLevelEventChange;
    over.argument = 1;
    ASSERT_EQ(run_command_level(over), 0);
    EXPECT_EQ(row_action(kGridActionPaste, 0), kMsgWavelengthClipboardEmpty);
    EXPECT_EQ(lens_data().wavelength_count, 3);
    leave(0);
}

TEST_F(WavelengthSheet, AModelGlassRefusesATypedWavelengthButTakesAListedOne) {
    leave(0);
    // Surface 1's medium a model glass with indices of its own.
    double values[10] = {1.6, 1.61, 1.59};
    SurfaceRecord& s = surface(1);
    const std::uint8_t kind = s.medium_kind;
    double* const work = s.medium_work[0];
    s.medium_kind = kMediumModelGlass;
    s.medium_work[0] = values;
    ASSERT_EQ(event(kLevelEventActivate, kFieldWavelengths, 0), 0) << error_text_buffer();
    for (int k = 0; k < 3 && level_push_pending(); ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 2) << errors();
    EXPECT_TRUE(wavelength_sheet_state().model_glass);
    const double before = lens_data().wavelengths[0].wavelength;
    ASSERT_EQ(event(kLevelEventEdited, kGridKindSelectable | kCmdWv, 0, 0.55), 0);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, before);
    EXPECT_EQ(last_box(), msg_text(kMsgModelGlassHoldsIndices));
    input("0.48613\n");
    ASSERT_EQ(event(kLevelEventActivate, kGridKindSelectable | kCmdWv, 0), 0)
        << error_text_buffer();
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.48613);
    leave(-1);
    s.medium_kind = kind;
    s.medium_work[0] = work;
}

}  // namespace
}  // namespace sheet_test
