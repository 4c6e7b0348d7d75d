#include "entry/small_surface_sheets.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "entry/sheet_values.h"
#include "entry/special_sheets.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
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
constexpr int kCurvatureKindSpecial = 6;

SmallSurfaceSheetsState g_sheets;

const platform::StateReset small_surface_sheets_state_reset{
    "entry/small_surface_sheets", reset_small_surface_sheets, platform::ResetLayer::feature};

int current_index() {
    return lens_data().current_surface;
}

SurfaceRecord& current() {
    return surface(current_index());
}

bool in_nonsequential_group(const SurfaceRecord& s) {
    return s.group_kind == kGroupNonSequential && s.group_role != 0;
}

bool later_group_member(const SurfaceRecord& s) {
    return in_nonsequential_group(s) && s.group_role != kRoleFirst;
}

int field_of(const GridEvent& event) {
    return grid_entry_field(event.field);
}

double event_number(const GridEvent& event) {
    return event.value_type == kGridValueInt ? event.value.i : event.value.d;
}

bool event_is_number(const GridEvent& event) {
    return event.value_type == kGridValueInt || event.value_type == kGridValueDouble;
}

void newline() {
    text_newline();
}

void button(int field, int index, bool active) {
    text_hotspot((active ? kGridKindButton : kInactive) | field, index);
}

void number_cell(int field, int index, double value, bool active) {
    if (active) {
        sheet_number_cell(field, index, value);
    } else {
        sheet_inactive_number(field, index, value);
    }
}

// A line typed into one of these sheets: the set-up and the sheet written again come first;
// then the level ends when the line took away what the sheet shows (gone may be null).
int typed_line(SheetKit& kit, const GridEvent& event, bool (*gone)()) {
    int rc = sheet_run_line(event);
    if (rc == 0) rc = sheet_after_change(kit);
    return rc == 0 && gone != nullptr && gone() ? special_sheet_record_gone() : rc;
}

// --- coordinates ----------------------------------------------------------------------------

bool picked_up(const DecentreRecord& d) {
    return d.pickup_source != 0 || d.pickup_negated == -1;
}

void decentre_row(const DecentreRecord& d, int first_field, const double* values) {
    const int n = current_index();
    sheet_text(" | ");
    for (int k = 0; k < 3; ++k) {
        if (k > 0) sheet_text(" | ");
        if (picked_up(d)) {
            text_number(values[k]);
        } else {
            sheet_number_cell(first_field + k, n, values[k]);
        }
    }
    sheet_text(" |");
    newline();
    newline();
}

void drop_decentre_if_empty() {
    drop_empty_decentre(current_index(), false);
}

bool decentre_empty() {
    const DecentreRecord* d = current().decentre;
    if (d == nullptr) return false;
    return d->dcx == 0.0 && d->dcy == 0.0 && d->dcz == 0.0 && d->tla == 0.0 && d->tlb == 0.0 &&
           d->tlc == 0.0 && !picked_up(*d);
}

int coordinates_button(int field) {
    SurfaceRecord& s = current();
    switch (field) {
        case kFieldCoordinatesDelete:
            g_sheets.coordinates.changed = true;
            return run_command_string("TDD", 0);
        case kFieldDecentrePickup:
            g_sheets.coordinates.changed = true;
            return run_command_string("TDCPKPOPT", 0);
        case kFieldBend:
            g_sheets.coordinates.changed = true;
            s.bend = s.bend != 0 ? 0 : 1;
            return 0;
        case kCmdDtL:
            g_sheets.coordinates.changed = true;
            if (s.decentre != nullptr) s.decentre->tilt_mode = s.decentre->tilt_mode < 0 ? 1 : -1;
            return 0;
        case kCmdRcoL:
            return run_command_string(s.return_coordinates == nullptr ? "RCO" : "RCD", 0);
        default:
            return 0;
    }
}

int coordinates_value(const GridEvent& event) {
    SurfaceRecord& s = current();
    if (s.decentre == nullptr || !event_is_number(event)) return 0;
    DecentreRecord& d = *s.decentre;
    const int field = field_of(event);
    const double v = event_number(event);
    double* values[6] = {&d.dcx, &d.dcy, &d.dcz, &d.tla, &d.tlb, &d.tlc};
    g_sheets.coordinates.changed = true;
    if (field == kCmdDtL) {
        d.tilt_mode = v >= 0 ? 1 : -1;
    } else if (field >= kCmdDcxL && field <= kCmdTlcL) {
        *values[field - kCmdDcxL] = v;
    } else if (field == kCmdRcoL) {
        char line[32];
        std::snprintf(line, sizeof line, "RCO %d", static_cast<int>(v));
        return run_command_string(line, 0);
    }
    return 0;
}

// After a button, a value or a typed line: the level ends when the decentre is gone.
int coordinates_after_change(int rc) {
    if (rc != 0) return rc;
    if (current().decentre == nullptr) return special_sheet_record_gone();
    return sheet_after_change(g_sheets.coordinates);
}

// --- surface note ---------------------------------------------------------------------------

void free_note() {
    SurfaceRecord& s = current();
    mem_free(s.note);
    s.note = nullptr;
}

int set_note(const char* text) {
    // The new note is had before the old one goes, so that a shortage loses nothing.
    auto* note = static_cast<char*>(alloc_array(1, kNoteLength + 1));
    if (note == nullptr) return set_error_msg(kMsgNoSpecialDataMemory);
    std::memset(note, 0, kNoteLength + 1);
    std::strncpy(note, text, kNoteLength);
    free_note();
    current().note = note;
    return 0;
}

// --- conic and toric ------------------------------------------------------------------------

int asphere_kind(const SurfaceRecord& s) {
    return s.asphere != nullptr ? s.asphere->kind : -1;
}

bool toric_asphere(const SurfaceRecord& s) {
    const int k = asphere_kind(s);
    return k == kAsphereToricX || k == kAsphereToricY || k == kAsphereBiconic;
}

void free_toric_asphere(SurfaceRecord& s) {
    if (!toric_asphere(s)) return;
    mem_free(s.asphere);
    s.asphere = nullptr;
    lens_flags().bounds_stale = 1;
}

int conic_form_message(double k) {
    if (k < -1.0) return kMsgConicHyperboloid;
    if (k == -1.0) return kMsgConicParaboloid;
    if (k < 0.0) return kMsgConicProlate;
    if (k == 0.0) return kMsgConicSphere;
    return kMsgConicOblate;
}

// Which of the three section radios is on: 0 rotational, 1 cylinder, 2 toric.
int section_choice(const SurfaceRecord& s) {
    if (s.toric == 0 && s.shape != kShapeSpecialBase) return 0;
    if (s.toric != 0 && s.x_curvature == 0.0 && !g_sheets.toric_mode) return 1;
    return 2;
}

// --- surface options ------------------------------------------------------------------------

// A surface of a kind this program does not make (user-defined or eikonal): its options are
// not offered.
bool foreign_surface(const SurfaceRecord& s) {
    return s.unsupported_records[0] != nullptr || s.unsupported_records[1] != nullptr ||
           s.unsupported_records[2] != nullptr;
}

bool end_surface(int n) {
    return n == 0 || n == lens_data().image_surface;
}

bool fresnel_active(int n) {
    return !end_surface(n) && !foreign_surface(surface(n));
}

int drawing_message(int mode) {
    switch (mode) {
        case 1:
            return kMsgDrawingControlOff;
        case 2:
            return kMsgDrawingControlAperture;
        case 3:
            return kMsgDrawingControlOn;
        default:
            return kMsgDrawingControlAuto;
    }
}

void switch_row(const char* label, int message, int field, bool active, bool on) {
    const int n = current_index();
    if (!active) special_sheet_inactive_mark();
    if (label != nullptr) {
        sheet_text(label);
    } else {
        sheet_label(message);
    }
    button(field, n, active);
    special_sheet_yes_no(on);
    newline();
}

int drawing_control_prompt() {
    SurfaceRecord& s = current();
    const ArgCell offered = int_cell(s.drawing_mode);
    set_param_default(kParamDrawingControl, &offered);
    ArgCell answer{};
    if (const int rc = prompt_param(kParamDrawingControl, &answer); rc != 0) return rc;
    const int mode = answer.type == kArgDouble ? static_cast<int>(answer.value.d) : answer.value.i;
    if (mode < 0 || mode > 3) {
        status_msg(kMsgDrawingControlRefused, mode);
        return 0;
    }
    s.drawing_mode = static_cast<std::uint8_t>(mode);
    // A drawing reaches the image surface only when the drawing conditions say so.
    if (current_index() == lens_data().image_surface && mode == 3 &&
        lens_data().drawing_conditions != nullptr) {
        lens_data().drawing_conditions->dlrs = 3;
    }
    return 0;
}

// --- perfect lens ---------------------------------------------------------------------------

void free_perfect_lens() {
    SurfaceRecord& s = current();
    mem_free(s.perfect_lens);
    s.perfect_lens = nullptr;
}

bool perfect_lens_empty() {
    const PerfectLensRecord* p = current().perfect_lens;
    return p != nullptr && p->focal_length == 0.0 && p->magnification == 0.0;
}

}  // namespace

SmallSurfaceSheetsState& small_surface_sheets_state() {
    return g_sheets;
}

void reset_small_surface_sheets() {
    for (SheetKit* kit : {&g_sheets.coordinates, &g_sheets.note, &g_sheets.conic, &g_sheets.options,
                          &g_sheets.grating, &g_sheets.perfect_lens}) {
        sheet_release_copy(*kit, 0);
    }
    g_sheets = SmallSurfaceSheetsState{};
}

// --- coordinates ----------------------------------------------------------------------------

void print_coordinates_sheet() {
    const int n = current_index();
    SurfaceRecord& s = current();
    sheet_set_title(-kHelpTopicCoordinatesSheet, kMsgCoordinatesTitle);
    print_sheet_surface_heading();
    if (s.decentre == nullptr) return;
    DecentreRecord& d = *s.decentre;

    sheet_label(kMsgTiltModeLabel);
    const int mode = d.tilt_mode < 0 ? kMsgTiltModeTiltsFirst : kMsgTiltModeDecentresFirst;
    if (!picked_up(d)) {
        sheet_button_msg(kGridKindButton | kCmdDtL, n, mode);
    } else {
        sheet_label(mode);
    }
    newline();

    sheet_label(kMsgDecentresLabel);
    newline();
    const double shifts[3] = {d.dcx, d.dcy, d.dcz};
    decentre_row(d, kCmdDcxL, shifts);
    sheet_label(kMsgTiltsLabel);
    newline();
    const double tilts[3] = {d.tla, d.tlb, d.tlc};
    decentre_row(d, kCmdTlaL, tilts);

    sheet_label(kMsgDecentrePickupLabel);
    text_spaces(5);
    const bool no_pickup_here = n == 0 || later_group_member(s);
    if (no_pickup_here) {
        d.pickup_negated = 0;
        d.pickup_source = 0;
    } else {
        button(kFieldDecentrePickup, n, true);
    }
    sheet_label(d.pickup_negated < 0 ? kMsgDecentrePickupNegated
                : picked_up(d)       ? kMsgDecentrePickupPlain
                                     : kMsgDecentrePickupNone);
    if (picked_up(d)) {
        sheet_label(kMsgDecentrePickupSource);
        text_printf("%3d", static_cast<int>(d.pickup_source));
    }
    newline();

    sheet_label(kMsgBendLabel);
    text_spaces(3);
    const bool bend_allowed = n >= 2 && n < lens_data().image_surface &&
                              !in_nonsequential_group(s) && d.tilt_mode > 0 &&
                              s.return_coordinates == nullptr;
    if (!bend_allowed) s.bend = 0;
    if (bend_allowed) button(kFieldBend, n, true);
    special_sheet_yes_no(s.bend != 0);
    newline();

    const bool group_ok = !in_nonsequential_group(s) || s.group_role == kRoleLast;
    const bool return_allowed = group_ok && s.bend == 0 && n >= 1 && n != lens_data().image_surface;
    if (!return_allowed) {
        mem_free(s.return_coordinates);
        s.return_coordinates = nullptr;
        special_sheet_inactive_mark();
    }
    text_printf("%s ", "Coordinate return:");
    button(kCmdRcoL, 0, return_allowed);
    if (s.return_coordinates != nullptr) {
        const int back_to = s.return_coordinates->pickup_source;
        text_printf(" %s ", "Yes");
        text_printf("   %s  ", "Return to surface:");
        sheet_int_cell(kCmdRcoL, n, back_to, 3);
        if (back_to == n) text_printf(" %s", "(untilted coordinates)");
    } else {
        text_printf(" %s ", " No");
    }
    newline();

    sheet_button_msg(kGridKindButton | kFieldCoordinatesDelete, 0, kMsgCoordinatesDelete);
    newline();
}

namespace {

int coordinates_opening() {
    special_sheet_begin(g_sheets.coordinates, current().decentre != nullptr);
    if (const int made = ensure_decentre_record(current_index()); made != 0) return made;
    lens_setup_or_error();
    return 0;
}

int coordinates_cell_text(GridEvent& event) {
    const int n = current_index();
    const int field = field_of(event);
    if (field == kCmdRcoL && event.first_index == n) {
        char t[16];
        std::snprintf(t, sizeof t, "%d", get_lens_int_value(kCmdRcoL, n));
        sheet_edit_text(event, t);
    } else if (field >= kCmdDcxL && field <= kCmdTlcL) {
        special_sheet_number_text(event, get_lens_value(field, event.first_index));
    }
    return 0;
}

int coordinates_edited(const GridEvent& event) {
    const DecentreRecord* d = current().decentre;
    if (d != nullptr && picked_up(*d)) {
        msg_box(kMsgDecentrePickedUp);
        return 0;
    }
    return coordinates_after_change(coordinates_value(event));
}

const SheetEvents kCoordinatesEvents = special_sheet_events({
    .opening = coordinates_opening,
    .cell_text = coordinates_cell_text,
    .edited = coordinates_edited,
    .activated =
        [](const GridEvent& event) {
            return coordinates_after_change(coordinates_button(field_of(event)));
        },
    .typed =
        [](const char*, const GridEvent& event) {
            return typed_line(g_sheets.coordinates, event,
                              [] { return current().decentre == nullptr; });
        },
    .closing =
        [](int end_mode) {
            return special_sheet_end(g_sheets.coordinates, end_mode, decentre_empty(),
                                     drop_decentre_if_empty);
        },
});

}  // namespace

int coordinates_sheet_event(GridEvent& event) {
    g_sheets.coordinates.print = print_coordinates_sheet;
    return sheet_dispatch(g_sheets.coordinates, kCoordinatesEvents, event);
}

// --- surface note ---------------------------------------------------------------------------

void print_surface_note_sheet() {
    const SurfaceRecord& s = current();
    sheet_set_title(-kHelpTopicSurfaceNoteSheet, kMsgSurfaceNoteTitle);
    print_sheet_surface_heading();
    sheet_label(kMsgSurfaceNoteLabel);
    newline();
    text_hotspot(kGridKindText | kCmdNotL, current_index());
    char padded[kNoteLength + 1];
    std::snprintf(padded, sizeof padded, "%-80.80s", s.note != nullptr ? s.note : "");
    sheet_text(padded);
    newline();
    sheet_button_msg(kGridKindButton | kFieldNoteDelete, 0, kMsgSurfaceNoteDelete);
    newline();
}

namespace {

int note_edited(const GridEvent& event) {
    if (field_of(event) != kCmdNotL) return 0;
    if (const int set = set_note(sheet_event_text(event)); set != 0) return set;
    g_sheets.note.changed = true;
    return sheet_after_change(g_sheets.note);
}

// An emptied note goes as the sheet is left, whatever the end.
int note_closing(int end_mode) {
    const SurfaceRecord& s = current();
    if (s.note != nullptr && s.note[0] == '\0') free_note();
    return sheet_close(g_sheets.note, end_mode);
}

const SheetEvents kNoteEvents = special_sheet_events({
    .opening =
        [] {
            special_sheet_begin(g_sheets.note, current().note != nullptr);
            return 0;
        },
    .cell_text =
        [](GridEvent& event) {
            if (field_of(event) == kCmdNotL && current().note != nullptr) {
                sheet_edit_text(event, current().note);
            }
            return 0;
        },
    .edited = note_edited,
    .activated =
        [](const GridEvent& event) {
            if (field_of(event) != kFieldNoteDelete) return 0;
            free_note();
            g_sheets.note.changed = true;
            return special_sheet_record_gone();
        },
    .typed = [](const char*,
                const GridEvent& event) { return typed_line(g_sheets.note, event, nullptr); },
    .closing = note_closing,
});

}  // namespace

int surface_note_sheet_event(GridEvent& event) {
    g_sheets.note.print = print_surface_note_sheet;
    return sheet_dispatch(g_sheets.note, kNoteEvents, event);
}

// --- conic and toric ------------------------------------------------------------------------

void print_conic_toric_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    sheet_set_title(-kHelpTopicConicToricSheet, kMsgConicToricTitle);
    print_sheet_surface_heading();
    text_printf("%s  ", "Conic constant:    ");
    sheet_number_cell(kCmdCcL, n, s.conic);
    newline();
    sheet_label(kMsgConicFormLabel);
    sheet_label(conic_form_message(s.conic));
    newline();
    newline();

    sheet_label(kMsgSectionLabel);
    const int on = section_choice(s);
    const bool special_curvature = s.curvature_kind == kCurvatureKindSpecial;
    const int toric_label =
        asphere_kind(s) == kAsphereBiconic ? kMsgSectionBiconic : kMsgSectionToric;
    const struct {
        int field;
        int message;
    } radios[3] = {{kFieldSectionRotational, kMsgSectionRotational},
                   {kFieldSectionCylinder, kMsgSectionCylinder},
                   {kFieldSectionToric, toric_label}};
    for (int k = 0; k < 3; ++k) {
        int code = radios[k].field | (k == on ? kGridKindRadioOn : kGridKindRadioOff);
        if (k != on && special_curvature) code |= kInactive;
        text_hotspot(code, n);
        sheet_label(radios[k].message);
        text_spaces(2);
    }
    newline();
    const int kind = asphere_kind(s);
    text_printf("%s  ", kind == kAsphereToricX || kind == kAsphereBiconic ? "X-Z curvature:     "
                                                                          : "Toric curvature:   ");
    number_cell(kCmdCvxL, n, s.x_curvature, on == 2 && !special_curvature);
    newline();
}

namespace {

int conic_opening() {
    SheetKit& kit = g_sheets.conic;
    const SurfaceRecord& s = current();
    if (!kit.kept) g_sheets.toric_mode = s.toric != 0 && (s.x_curvature != 0.0 || toric_asphere(s));
    return 0;
}

int conic_radio(const GridEvent& event) {
    const int n = current_index();
    SurfaceRecord& s = current();
    switch (field_of(event)) {
        case kFieldSectionRotational:
            remove_toric(n);
            g_sheets.toric_mode = false;
            free_toric_asphere(s);
            break;
        case kFieldSectionCylinder:
            set_toric_curvature(n, 0.0);
            g_sheets.toric_mode = false;
            free_toric_asphere(s);
            break;
        case kFieldSectionToric:
            if (!g_sheets.toric_mode) set_toric_curvature(n, 0.0);
            g_sheets.toric_mode = true;
            break;
        default:
            return 0;
    }
    return sheet_after_change(g_sheets.conic);
}

int conic_edited(const GridEvent& event) {
    const int n = current_index();
    if (!event_is_number(event)) return 0;
    if (field_of(event) == kCmdCcL) {
        set_conic_constant(n, event_number(event));
    } else if (field_of(event) == kCmdCvxL) {
        set_toric_curvature(n, event_number(event));
    } else {
        return 0;
    }
    return sheet_after_change(g_sheets.conic);
}

const SheetEvents kConicEvents = special_sheet_events({
    .opening = conic_opening,
    .cell_text =
        [](GridEvent& event) {
            const int field = field_of(event);
            if (field == kCmdCcL || field == kCmdCvxL) {
                special_sheet_number_text(event, get_lens_value(field, event.first_index));
            }
            return 0;
        },
    .edited = conic_edited,
    .activated = conic_radio,
    .typed = [](const char*,
                const GridEvent& event) { return typed_line(g_sheets.conic, event, nullptr); },
});

}  // namespace

int conic_toric_sheet_event(GridEvent& event) {
    g_sheets.conic.print = print_conic_toric_sheet;
    return sheet_dispatch(g_sheets.conic, kConicEvents, event);
}

// --- surface options ------------------------------------------------------------------------

void print_surface_options_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    sheet_set_title(-kHelpTopicSurfaceOptionsSheet, kMsgSurfaceOptionsTitle);
    print_sheet_surface_heading();
    const bool foreign = foreign_surface(s);
    const bool fresnel = fresnel_active(n);
    switch_row("Fresnel surface:    ", 0, kCmdFrnL, fresnel, s.fresnel != 0);

    const bool base = fresnel && s.fresnel != 0;
    if (!base) special_sheet_inactive_mark();
    text_printf("  %s ", " Base curvature: ");
    number_cell(kCmdFcvL, n, s.fresnel_curvature, base);
    text_printf("  %s ", " Base conic constant: ");
    number_cell(kCmdFccL, n, s.fresnel_conic, base);
    newline();

    switch_row("Alternate surface intersection:      ", 0, kCmdAsiL,
               !later_group_member(s) && !foreign && n != 0, s.alternate_intersection != 0);
    switch_row(nullptr, kMsgTirLabel, kCmdTirL, fresnel, s.tir_only != 0);
    switch_row(nullptr, kMsgRodLabel, kCmdRodL, fresnel && s.grin == nullptr, s.rod != 0);

    sheet_label(kMsgDrawingControlLabel);
    sheet_button_msg(kGridKindButton | kCmdDrwL, 0, drawing_message(s.drawing_mode));
    newline();

    sheet_label(kMsgExpansionLabel);
    sheet_number_cell(kCmdTceL, n, s.medium_tce);
    sheet_label(kMsgExpansionUnit);
    newline();
}

namespace {

int options_cell_text(GridEvent& event) {
    const int n = current_index();
    const int field = field_of(event);
    if (field == kCmdTceL || field == kCmdFcvL || field == kCmdFccL) {
        special_sheet_number_text(event, get_lens_value(field, n));
    } else if (event.first_index == n && grid_entry_kind(event.field) != kGridKindButton) {
        char t[16];
        std::snprintf(t, sizeof t, "%d", get_lens_int_value(field, n));
        sheet_edit_text(event, t);
    }
    return 0;
}

int options_button(const GridEvent& event) {
    const int n = current_index();
    SurfaceRecord& s = current();
    const bool fresnel = fresnel_active(n);
    switch (field_of(event)) {
        case kCmdFrnL:
            if (fresnel) s.fresnel = s.fresnel != 0 ? 0 : 1;
            break;
        case kCmdAsiL:
            if (!later_group_member(s) && !foreign_surface(s) && n != 0) {
                s.alternate_intersection = s.alternate_intersection != 0 ? 0 : 1;
            }
            break;
        case kCmdTirL:
            if (fresnel) s.tir_only = s.tir_only != 0 ? 0 : 1;
            break;
        case kCmdRodL:
            if (fresnel && s.grin == nullptr) s.rod = s.rod != 0 ? 0 : 1;
            break;
        case kCmdDrwL:
            if (const int asked = drawing_control_prompt(); asked != 0) return asked;
            break;
        default:
            return 0;
    }
    return sheet_after_change(g_sheets.options);
}

int options_edited(const GridEvent& event) {
    SurfaceRecord& s = current();
    if (!event_is_number(event)) return 0;
    const double v = event_number(event);
    switch (field_of(event)) {
        case kCmdTceL:
            s.medium_tce = v;
            break;
        case kCmdFcvL:
            s.fresnel_curvature = v;
            break;
        case kCmdFccL:
            s.fresnel_conic = v;
            break;
        default:
            return 0;
    }
    return sheet_after_change(g_sheets.options);
}

const SheetEvents kOptionsEvents = special_sheet_events({
    .cell_text = options_cell_text,
    .edited = options_edited,
    .activated = options_button,
    .typed = [](const char*,
                const GridEvent& event) { return typed_line(g_sheets.options, event, nullptr); },
});

}  // namespace

int surface_options_sheet_event(GridEvent& event) {
    g_sheets.options.print = print_surface_options_sheet;
    return sheet_dispatch(g_sheets.options, kOptionsEvents, event);
}

// --- grating --------------------------------------------------------------------------------

void print_grating_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    const bool active = n != lens_data().image_surface;
    sheet_set_title(-kHelpTopicGratingSheet, kMsgGratingTitle);
    print_sheet_surface_heading();
    text_printf("%s          ", "Grating order:  ");
    sheet_int_cell((active ? 0 : kInactive) | kCmdGorL, n, s.diffraction_order, 3);
    newline();
    text_printf("%s  ", "Grating spacing:");
    number_cell(kCmdGspL, n, s.grating_spacing, active);
    newline();
}

namespace {

int grating_cell_text(GridEvent& event) {
    const int n = current_index();
    if (field_of(event) == kCmdGspL) {
        special_sheet_number_text(event, current().grating_spacing);
    } else if (field_of(event) == kCmdGorL && event.first_index == n) {
        char t[16];
        std::snprintf(t, sizeof t, "%d", get_lens_int_value(kCmdGorL, n));
        sheet_edit_text(event, t);
    }
    return 0;
}

int grating_edited(const GridEvent& event) {
    SurfaceRecord& s = current();
    if (!event_is_number(event) || current_index() == lens_data().image_surface) return 0;
    if (field_of(event) == kCmdGorL) {
        s.diffraction_order = static_cast<std::int32_t>(event_number(event));
    } else if (field_of(event) == kCmdGspL) {
        s.grating_spacing = event_number(event);
    } else {
        return 0;
    }
    return sheet_after_change(g_sheets.grating);
}

const SheetEvents kGratingEvents = special_sheet_events({
    .cell_text = grating_cell_text,
    .edited = grating_edited,
    .typed = [](const char*,
                const GridEvent& event) { return typed_line(g_sheets.grating, event, nullptr); },
});

}  // namespace

int grating_sheet_event(GridEvent& event) {
    g_sheets.grating.print = print_grating_sheet;
    return sheet_dispatch(g_sheets.grating, kGratingEvents, event);
}

// --- perfect lens ---------------------------------------------------------------------------

void print_perfect_lens_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    sheet_set_title(-kHelpTopicPerfectLensSheet, kMsgPerfectLensTitle);
    print_sheet_surface_heading();
    if (s.perfect_lens == nullptr) return;
    sheet_label(kMsgPerfectLensFocal);
    sheet_number_cell(kCmdPflL, n, s.perfect_lens->focal_length);
    newline();
    sheet_label(kMsgPerfectLensMagnification);
    sheet_number_cell(kCmdPfmL, n, s.perfect_lens->magnification);
    newline();
    newline();
    sheet_button_msg(kGridKindButton | kFieldPerfectLensDelete, 0, kMsgPerfectLensDelete);
    newline();
}

namespace {

int perfect_lens_opening() {
    SurfaceRecord& s = current();
    special_sheet_begin(g_sheets.perfect_lens, s.perfect_lens != nullptr);
    if (s.perfect_lens == nullptr) {
        auto* p = alloc_array_of<PerfectLensRecord>(1);
        if (p == nullptr) return kMsgOutOfMemory;
        *p = {};
        s.perfect_lens = p;
        set_curvature_data(current_index(), 0, 0, 0.0, 0.0);
        lens_setup_or_error();
    }
    return 0;
}

int perfect_lens_cell_text(GridEvent& event) {
    const SurfaceRecord& s = current();
    const int field = field_of(event);
    if ((field == kCmdPflL || field == kCmdPfmL) && s.perfect_lens != nullptr) {
        special_sheet_number_text(event, field == kCmdPflL ? s.perfect_lens->focal_length
                                                           : s.perfect_lens->magnification);
    }
    return 0;
}

int perfect_lens_edited(const GridEvent& event) {
    SurfaceRecord& s = current();
    if (s.perfect_lens == nullptr || !event_is_number(event)) return 0;
    if (field_of(event) == kCmdPflL) {
        s.perfect_lens->focal_length = event_number(event);
    } else if (field_of(event) == kCmdPfmL) {
        s.perfect_lens->magnification = event_number(event);
    } else {
        return 0;
    }
    return sheet_after_change(g_sheets.perfect_lens);
}

const SheetEvents kPerfectLensEvents = special_sheet_events({
    .opening = perfect_lens_opening,
    .cell_text = perfect_lens_cell_text,
    .edited = perfect_lens_edited,
    .activated =
        [](const GridEvent&) {
            free_perfect_lens();
            return special_sheet_record_gone();
        },
    .typed =
        [](const char*, const GridEvent& event) {
            return typed_line(g_sheets.perfect_lens, event,
                              [] { return current().perfect_lens == nullptr; });
        },
    .closing =
        [](int end_mode) {
            return special_sheet_end(g_sheets.perfect_lens, end_mode, perfect_lens_empty(),
                                     free_perfect_lens);
        },
});

}  // namespace

int perfect_lens_sheet_event(GridEvent& event) {
    g_sheets.perfect_lens.print = print_perfect_lens_sheet;
    return sheet_dispatch(g_sheets.perfect_lens, kPerfectLensEvents, event);
}
