#include "entry/lens_sheets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "entry/aux_sheets.h"
#include "entry/special_sheets.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

constexpr int kInactive = 0x8000;
constexpr double kTiny = 1e-40;
constexpr double kXabaLowest = 1.0;
constexpr double kXabaHighest = 180.0;
constexpr int kAimingModes = 6;

// The buttons and radios of the system-data sheet: the numbers of the commands they stand for.
constexpr int kItemUnits = kCmdUni;
constexpr int kItemTemperature = kCmdTem;
constexpr int kItemPressure = kCmdPre;
constexpr int kItemGcs = kCmdGcs;
constexpr int kItemAfocalMode = kCmdAmo;
constexpr int kItemAfocal = kCmdAfo;
constexpr int kItemDesigner = kCmdDes;
constexpr int kItemNotes = kCmdSno_;
constexpr int kItemWavefrontReference = kCmdWrsp;
constexpr int kItemAiming = kCmdRaim;
constexpr int kItemOpdw = kCmdOpdw;
constexpr int kItemApertureCheck = kCmdApck;
constexpr int kItemEpxy = kCmdEpxy;
constexpr int kItemZrxr = kCmdZrxr;
constexpr int kItemSasd = kCmdSasd;
constexpr int kItemXaba = kCmdXaba;

struct Unit {
    double factor;
    const char* name;
};
constexpr Unit kUnits[] = {{1.0, "mm"}, {10.0, "cm"}, {25.4, "in"}, {0.001, "mu"}, {1000.0, "m"}};

LensSheetsState g_sheets;

const platform::StateReset lens_sheets_state_reset{"entry/lens_sheets", reset_lens_sheets,
                                                   platform::ResetLayer::feature};

const Unit* unit_of(double factor) {
    for (const Unit& u : kUnits) {
        if (std::fabs(u.factor - factor) < kTiny) return &u;
    }
    return nullptr;
}

int field_of(const GridEvent& event) {
    return grid_entry_field(event.field);
}

bool event_is_number(const GridEvent& event) {
    return event.value_type == kGridValueInt || event.value_type == kGridValueDouble;
}

double event_number(const GridEvent& event) {
    return event.value_type == kGridValueInt ? event.value.i : event.value.d;
}

double cell_number(const ArgCell& c) {
    return c.type == kArgDouble ? c.value.d : c.value.i;
}

// Asks parameter param with the offered value: 0 with the answer, or the prompt's code.
int ask(int param, const ArgCell& offered, double* answer) {
    set_param_default(param, &offered);
    ArgCell cell{};
    if (const int rc = prompt_param(param, &cell); rc != 0) return rc;
    *answer = cell_number(cell);
    return 0;
}

void radio(int item, int index, bool on, int message) {
    text_hotspot(item | (on ? kGridKindRadioOn : kGridKindRadioOff), index);
    sheet_label(message);
}

// The two radios of a switch: the first on while the switch is off. Their indices say which
// was clicked.
void switch_radios(int item, bool on, int off_message, int on_message) {
    radio(item, 0, !on, off_message);
    text_spaces(1);
    radio(item, 1, on, on_message);
}

// --- lens notes -----------------------------------------------------------------------------

int set_lens_note(int index, const char* text) {
    if (index < 0 || index >= kLensNotesShown) return 0;  // a cell of no note
    char* note = lens_data().notes[index];
    const std::size_t n = std::min<std::size_t>(std::strlen(text), kNoteLength);
    std::memcpy(note, text, n);
    note[n] = '\0';
    for (std::size_t i = n + 1; i < kNoteLength + 1; ++i) note[i] = ' ';
    return 0;
}

// --- system data ----------------------------------------------------------------------------

int afocal_message(int mode) {
    switch (mode) {
        case 0:
            return kMsgAfocalModeTransverse;
        case 1:
            return kMsgAfocalModeAngular;
        default:
            return kMsgAfocalModeUncorrected;
    }
}

int wavefront_message(int reference) {
    switch (reference) {
        case 1:
            return kMsgWavefrontReferenceExitPupil;
        case 2:
            return kMsgWavefrontReferenceBestSphere;
        default:
            return kMsgWavefrontReferenceInfinity;
    }
}

int aiming_message(int mode) {
    constexpr int kMessages[kAimingModes] = {kMsgAimingEntrancePupil, kMsgAimingChiefRay,
                                             kMsgAimingRimRays,       kMsgAimingWideAngle,
                                             kMsgAimingExtended,      kMsgAimingTelecentric};
    return mode >= 0 && mode < kAimingModes ? kMessages[mode] : kMsgAimingChiefRay;
}

int aperture_check_message(const LensData& l) {
    if (l.apck == 0) return kMsgApertureCheckOff;
    return l.grck != 0 ? kMsgApertureCheckGrck : kMsgApertureCheckOn;
}

void set_units(double factor) {
    if (factor <= 0.0) {
        // Every conversion of lens units divides by them.
        status_msg(kMsgUnitsNotPositive, factor);
        return;
    }
    lens_data().units = factor;
}

// A button: 0 with *setup telling whether the lens set-up is to run, or a refused prompt's code.
int system_button(int item, int index, bool* setup) {
    LensData& l = lens_data();
    double answer = 0.0;
    *setup = true;
    switch (item) {
        case kItemUnits: {
            const Unit* u = unit_of(l.units);
            if (const int rc =
                    ask(kParamLensUnits, double_cell(u != nullptr ? u->factor : 1.0), &answer);
                rc != 0) {
                return rc;
            }
            set_units(answer);
            return 0;
        }
        case kItemAfocalMode:
            if (const int rc = ask(kParamAfocalMode, int_cell(l.afocal_mode), &answer); rc != 0)
                return rc;
            l.afocal_mode = static_cast<std::uint8_t>(answer == 0 ? 0 : answer == 1 ? 1 : 2);
            *setup = false;
            return 0;
        case kItemAfocal:
            l.afocal = l.afocal != 0 ? 0 : 1;
            if (l.afocal == 0 && l.afocal_mode == 1) l.afocal_mode = 0;
            if (l.afocal != 0 && l.afocal_mode == 0) l.afocal_mode = 1;
            return 0;
        case kItemWavefrontReference:
            if (const int rc = ask(kParamWavefrontReference, int_cell(l.wrsp), &answer); rc != 0)
                return rc;
            l.wrsp = static_cast<std::uint8_t>(answer == 0 ? 0 : answer == 2 ? 2 : 1);
            return 0;
        case kItemAiming: {
            if (const int rc = ask(kParamAimingMode, int_cell(l.aim_mode), &answer); rc != 0)
                return rc;
            const int mode = static_cast<int>(answer);
            l.aim_mode = mode >= 0 && mode < kAimingModes ? mode : l.aim_mode;
            l.aim_state = l.aim_extended = l.aim_telecentric = 0;
            return 0;
        }
        case kItemOpdw:
            l.opdw = index == 1 ? 1 : 0;
            return 0;
        case kItemEpxy:
            l.epxy = index == 1 ? 1 : 0;
            return 0;
        case kItemZrxr:
            l.zrxr = index == 1 ? 1 : 0;
            return 0;
        case kItemApertureCheck: {
            const int now = l.apck == 0 ? 0 : l.grck != 0 ? 2 : 1;
            if (const int rc = ask(kParamApertureCheck, int_cell(now), &answer); rc != 0) return rc;
            l.apck = answer != 0 ? 1 : 0;
            l.grck = answer == 2 ? 1 : 0;
            return 0;
        }
        default:
            *setup = false;
            return 0;
    }
}

// A value typed into a cell: 0 with *setup telling whether the lens set-up is to run.
int system_value(const GridEvent& event, bool* setup) {
    LensData& l = lens_data();
    const int item = field_of(event);
    *setup = false;
    if (item == kItemDesigner) {
        const char* text = sheet_event_text(event);
        std::snprintf(l.designer, sizeof l.designer, "%.*s", kDesignerLength, text);
        std::memcpy(l.designer_copy, l.designer, sizeof l.designer_copy);
        return 0;
    }
    if (!event_is_number(event)) return 0;
    const double v = event_number(event);
    switch (item) {
        case kItemUnits:
            set_units(v);
            *setup = true;
            return 0;
        case kItemTemperature:
            l.reference_temperature = l.temperature;
            l.thermal_expansion = 1;
            lens_flags().materials_changed = 1;
            l.temperature = v;
            *setup = true;
            return 0;
        case kItemSasd:
            l.sasd = v;
            *setup = true;
            return 0;
        case kItemPressure:
            if (v < 0.0) {
                status_msg(kMsgPressureNegative, v);
                return 0;
            }
            l.pressure = v;
            lens_flags().materials_changed = 1;
            *setup = true;
            return 0;
        case kItemGcs: {
            const int n = static_cast<int>(v);
            if (n < 1 || n > l.image_surface || n != v) {
                status_msg(kMsgGcsOutside, l.image_surface, n);
                return 0;
            }
            l.global_coordinate_surface = n;
            return 0;
        }
        case kItemXaba:
            if (v < kXabaLowest || v > kXabaHighest) {
                status_msg(kMsgXabaOutside, v);
                return 0;
            }
            l.xaba = v;
            return 0;
        default:
            return 0;
    }
}

// The end of an event that may have changed the lens: the set-up when asked for, the sheet
// written again, the tolerance listings told that the lens changed.
int system_after(bool setup) {
    SheetKit& kit = g_sheets.system;
    const int rc = setup ? sheet_after_change(kit) : sheet_rewrite(kit);
    lens_data().tolerance_results = 1;
    return rc;
}

// --- the two sheets' events -----------------------------------------------------------------

int notes_cell_text(GridEvent& event) {
    if (field_of(event) == kItemNotes && event.first_index >= 0 &&
        event.first_index < kLensNotesShown) {
        sheet_edit_text(event, lens_data().notes[event.first_index]);
    }
    return 0;
}

int notes_edited(const GridEvent& event) {
    if (field_of(event) != kItemNotes || event.value_type != kGridValueText) return 0;
    set_lens_note(event.first_index, sheet_event_text(event));
    return sheet_after_change(g_sheets.notes);
}

int notes_typed(const char*, const GridEvent& event) {
    const int rc = sheet_run_line(event);
    return rc != 0 ? rc : sheet_after_change(g_sheets.notes);
}

// Both sheets open over the surface sheet, which goes on editing in update mode after them.
const SheetEvents kNotesEvents{
    .keeps_update_mode = true,
    .cell_text = notes_cell_text,
    .edited = notes_edited,
    .typed = notes_typed,
    .quiet_otherwise = true,
    .types_empty_lines = true,
};

int system_cell_text(GridEvent& event) {
    const LensData& l = lens_data();
    char t[32] = {};
    switch (field_of(event)) {
        case kItemUnits:
            if (const Unit* u = unit_of(l.units)) {
                std::snprintf(t, sizeof t, "%s", u->name);
            } else {
                std::snprintf(t, sizeof t, "%s", format_number(l.units, 2, 0));
            }
            break;
        case kItemTemperature:
            std::snprintf(t, sizeof t, "%s", format_number(l.temperature, 2, 0));
            break;
        case kItemPressure:
            std::snprintf(t, sizeof t, "%s", format_number(l.pressure, 2, 0));
            break;
        case kItemSasd:
            std::snprintf(t, sizeof t, "%s", format_number(l.sasd, 2, 0));
            break;
        case kItemXaba:
            std::snprintf(t, sizeof t, "%s", format_number(l.xaba, 2, 0));
            break;
        case kItemGcs:
            std::snprintf(t, sizeof t, "%d", l.global_coordinate_surface);
            break;
        case kItemDesigner:
            std::snprintf(t, sizeof t, "%s", l.designer);
            break;
        default:
            return 0;
    }
    sheet_edit_text(event, t);
    return 0;
}

int system_activated(const GridEvent& event) {
    bool setup = false;
    if (const int rc = system_button(field_of(event), event.first_index, &setup); rc != 0)
        return rc;
    return system_after(setup);
}

int system_edited(const GridEvent& event) {
    bool setup = false;
    if (const int rc = system_value(event, &setup); rc != 0) return rc;
    return system_after(setup);
}

int system_typed(const char* line, const GridEvent&) {
    if (const int rc = run_command_string(line, 0); rc != 0) return rc;
    return system_after(false);
}

// Other events only write the sheet again.
int system_other(GridEvent&) {
    return system_after(false);
}

const SheetEvents kSystemEvents{
    .keeps_update_mode = true,
    .cell_text = system_cell_text,
    .edited = system_edited,
    .activated = system_activated,
    .typed = system_typed,
    .other = system_other,
    .types_empty_lines = true,
};

}  // namespace

LensSheetsState& lens_sheets_state() {
    return g_sheets;
}

void reset_lens_sheets() {
    sheet_release_copy(g_sheets.notes, 0);
    sheet_release_copy(g_sheets.system, 0);
    g_sheets = LensSheetsState{};
}

int open_lens_notes_sheet() {
    if (const int rc = push_command_level(lens_notes_sheet_event, kLensNotesRows, 0); rc != 0)
        return rc;
    status_msg(kMsgLensNotesStatus);
    return 0;
}

int open_system_data_sheet() {
    if (const int rc = push_command_level(system_data_sheet_event, kSystemDataRows, 0); rc != 0)
        return rc;
    set_level_option();
    status_msg(kMsgSystemDataStatus);
    return 0;
}

void print_lens_notes_sheet() {
    const LensData& l = lens_data();
    sheet_set_title(-kHelpTopicLensNotesSheet, kMsgLensNotesTitle);
    sheet_label(kMsgLensNotesLabel);
    text_newline();
    for (int i = 0; i < kLensNotesShown; ++i) {
        char padded[kNoteLength + 1];
        std::snprintf(padded, sizeof padded, "%-80.80s", l.notes[i]);
        text_hotspot(kGridKindText | kItemNotes, i);
        sheet_text(padded);
        text_newline();
    }
}

int lens_notes_sheet_event(GridEvent& event) {
    return sheet_dispatch(g_sheets.notes, kNotesEvents, event);
}

void print_system_data_sheet() {
    LensData& l = lens_data();
    char t[64];
    sheet_set_title(-kHelpTopicSystemDataSheet, kMsgSystemDataTitle);

    sheet_label(kMsgAfocalModeLabel);
    sheet_button_msg(kGridKindButton | kItemAfocalMode, 0, afocal_message(l.afocal_mode));
    sheet_text("|");
    sheet_label(kMsgAfocalLabel);
    sheet_button_msg(kGridKindButton | kItemAfocal, 0,
                     l.afocal != 0 ? kMsgAfocalOn : kMsgAfocalOff);
    text_newline();

    sheet_label(kMsgDesignerLabel);
    text_hotspot(kGridKindText | kItemDesigner, 0);
    text_field(l.designer, kDesignerLength, true);
    sheet_text("|");
    sheet_label(kMsgUnitsLabel);
    if (const Unit* u = unit_of(l.units)) {
        text_spaces(7);
        text_hotspot(kGridKindButton | kItemUnits, 0);
        if (u->factor == 1000.0) {
            std::snprintf(t, sizeof t, "  %c ", 'm');
        } else {
            std::snprintf(t, sizeof t, " %s ", u->name);
        }
        sheet_text(t);
    } else {
        sheet_number_cell(kGridKindSelectable | kItemUnits, 0, l.units);
    }
    text_newline();

    sheet_label(kMsgTemperatureLabel);
    sheet_number_cell(kItemTemperature, 0, l.temperature);
    sheet_label(kMsgPressureLabel);
    sheet_number_cell(kItemPressure, 0, l.pressure);
    sheet_text("|");
    text_newline();

    const bool afocal = l.afocal != 0;
    if (afocal) special_sheet_inactive_mark();
    sheet_label(kMsgWavefrontReferenceLabel);
    sheet_button_msg((afocal ? kInactive : kGridKindButton) | kItemWavefrontReference, 0,
                     wavefront_message(l.wrsp));
    sheet_text("|");
    sheet_label(kMsgOpdOutputLabel);
    switch_radios(kItemOpdw, l.opdw != 0, kMsgZoeOff, kMsgZoeOn);
    text_newline();

    sheet_label(kMsgApertureCheckLabel);
    sheet_button_msg(kGridKindButton | kItemApertureCheck, 0, aperture_check_message(l));
    sheet_text("|");
    text_newline();

    sheet_label(kMsgExitPupilLabel);
    switch_radios(kItemEpxy, l.epxy != 0, kMsgExitPupilOff, kMsgExitPupilOn);
    sheet_text("|");
    const bool sasd_active = l.aim_mode < 2;
    if (!sasd_active) special_sheet_inactive_mark();
    sheet_label(kMsgSasdLabel);
    sheet_number_cell((sasd_active ? 0 : kInactive) | kItemSasd, 0, l.sasd);
    text_newline();

    sheet_label(kMsgAimingLabel);
    sheet_button_msg(kGridKindButton | kItemAiming, 0, aiming_message(l.aim_mode));
    sheet_text("|");
    const bool xaba_active = l.aim_mode == 4;
    if (!xaba_active) special_sheet_inactive_mark();
    sheet_label(kMsgXabaLabel);
    sheet_number_cell((xaba_active ? 0 : kInactive) | kItemXaba, 0, l.xaba);
    text_newline();

    sheet_label(kMsgZernikeRxLabel);
    switch_radios(kItemZrxr, l.zrxr != 0, kMsgZernikeRxOff, kMsgZernikeRxOn);
    sheet_text("|");
    sheet_label(kMsgGcsLabel);
    text_hotspot(kItemGcs, 0);
    std::snprintf(t, sizeof t, " %3d ", l.global_coordinate_surface);
    sheet_text(t);
    text_newline();
}

int system_data_sheet_event(GridEvent& event) {
    return sheet_dispatch(g_sheets.system, kSystemEvents, event);
}

void install_lens_sheets() {
    set_aux_sheet_procedure(kAuxSheetLensNotes, open_lens_notes_sheet);
    set_aux_sheet_procedure(kAuxSheetSystemData, open_system_data_sheet);
}
