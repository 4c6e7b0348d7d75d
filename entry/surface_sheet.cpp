#include "entry/surface_sheet.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "entry/entry_frame.h"
#include "entry/lens_commands.h"
#include "entry/sheet_values.h"
#include "entry/surface_marks.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_insert.h"
#include "lens/lens_items.h"
#include "lens/lens_reset.h"
#include "lens/surface_insert_delete.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"
#include "ui/grid_control.h"
#include "ui/sheet_kit.h"
#include "ui/text_area.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kFarObject = 9.9e7;
constexpr double kDegrees = 57.29577951308232;
// Below this a field angle (degrees) is the zero-field stand-in of the set-up.
constexpr double kZeroFieldDegrees = 1e-4;
// A focal length this long is a lens without power.
constexpr double kNoFocalLength = 1e20;
constexpr int kHelpTopic = -kHelpTopicSurfaceSheet;
constexpr int kCellDerived = 0x8000;
constexpr int kRowsNewLens = 9;

SurfaceSheetState g_state;

bool first_configuration() {
    const LensData& l = lens_data();
    return l.configuration_count < 2 || l.current_configuration <= 1;
}

bool collapsed() {
    return lens_data().show_group_surfaces == 0;
}

int group_last(int s) {
    const int image = lens_data().image_surface;
    int j = s;
    while (j < image && surface(j).group_role != 0 && surface(j).group_role != kRoleLast) ++j;
    return j;
}

std::string special_marks(const SurfaceRecord& s) {
    std::string m;
    if (s.note != nullptr && s.note[0] != '\0') m += 'N';
    if (s.fresnel || s.alternate_intersection || s.tir_only || s.rod || s.drawing_mode ||
        s.skip_to != 0 || s.group_role == kRoleFirst || s.element_drawing != nullptr) {
        m += 'F';
    }
    if (s.decentre != nullptr || s.return_coordinates != nullptr) m += 'C';
    if (s.perfect_lens != nullptr) m += 'L';
    if (s.conic != 0.0 || s.toric != 0 || s.asphere != nullptr) m += 'A';
    if (s.spline != nullptr) m += 'S';
    if (s.grating_spacing != 0.0 || s.hologram != nullptr || s.diffractive != nullptr) m += 'D';
    if (s.grin != nullptr) m += 'G';
    return m;
}

// Data the paraxial model of the lens does not cover; the first surface that carries any
// decides.
bool not_paraxial() {
    const LensData& l = lens_data();
    for (int n = 0; n <= l.image_surface; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.grating_spacing != 0.0 || s.alternate_intersection || s.fresnel || s.toric != 0) {
            return true;
        }
        if (s.asphere != nullptr && s.asphere->kind != kAsphereEven &&
            s.asphere->kind != kAsphereSeries) {
            return true;
        }
        if (s.diffractive != nullptr && s.diffractive->kind != kDiffractiveRadial &&
            s.diffractive->kind != kDiffractiveZernike) {
            return true;
        }
        if (s.decentre != nullptr || s.return_coordinates != nullptr ||
            s.decentre_reference != nullptr) {
            return true;
        }
        if (s.grin != nullptr) {
            const int k = s.grin->kind;
            if (k != 1 && k != 2 && k != 3 && k != 8 && k != 9 && k != 10 && k != 11) return true;
        }
        if (s.hologram != nullptr &&
            (s.hologram->first_point[1] != 0.0 || s.hologram->first_point[2] != 0.0 ||
             s.hologram->second_point[1] != 0.0 || s.hologram->second_point[2] != 0.0)) {
            return true;
        }
        if (s.spline != nullptr || s.group_kind == 1) return true;
        if (s.unsupported_records[0] != nullptr || s.unsupported_records[1] != nullptr ||
            s.unsupported_records[2] != nullptr) {
            return true;
        }
    }
    return false;
}

void header_rows() {
    const LensData& l = lens_data();
    // Row 1: title, notes, group display and automatic drawing.
    text_hotspot(kGridKindText | kCmdTit, 0);
    text_field(l.title, 32, false);
    sheet_text("    ");
    bool notes = false;
    for (int i = 0; i < 5 && i < kNoteLines; ++i) notes = notes || l.notes[i][0] != '\0';
    if (first_configuration()) {
        sheet_button(kGridKindButton | kFieldNotes, 0, notes ? 'N' : ' ');
    } else {
        sheet_text("   ");
    }
    sheet_text("|");
    sheet_label(-692);
    sheet_radio(kFieldGroupsShown, l.show_group_surfaces != 0, -693);
    sheet_text(" ");
    sheet_radio(kFieldGroupsCollapsed, l.show_group_surfaces == 0, -694);
    sheet_text("|");
    sheet_label(-695);
    sheet_radio(kFieldAutoDrawOff, l.cbk % 2 == 0, -696);
    sheet_text(" ");
    sheet_radio(kFieldAutoDrawOn, l.cbk % 2 != 0, -697);
    text_newline();

    // Row 2: the object's aperture and field.
    const SurfaceRecord& object = surface(0);
    if (std::fabs(object.thickness) <= kFarObject) {
        sheet_label(-727);
        sheet_number_cell(kCmdNao, 0, l.object_na);
        sheet_text("|");
        sheet_label(-728);
        print_units_label();
        sheet_text("       ");
        sheet_number_cell(kCmdObh, 0, l.object_height);
    } else {
        sheet_label(-725);
        print_units_label();
        sheet_text("   ");
        sheet_number_cell(kCmdEbr, 0, l.entrance_beam_radius);
        sheet_text("|");
        sheet_label(-819);
        double angle =
            std::atan2(-l.object_height, l.entrance_pupil_position + object.thickness) * kDegrees;
        if (angle < -90.0) angle += 180.0;
        if (angle > 90.0) angle -= 180.0;
        // A zero field is held as the smallest angle the set-up can place a pupil with; the
        // designer entered 0 and sees 0.
        if (std::fabs(angle) < kZeroFieldDegrees) angle = 0.0;
        sheet_number_cell(kCmdAng, 0, angle);
    }
    // The three blanks are the paraxial-window button's face in the first configuration.
    if (first_configuration()) text_hotspot(kGridKindButton | kFieldParaxialWindow, 0);
    sheet_text("   ");
    text_newline();

    // Row 3: the first wavelength and the lens's focal length from the paraxial rays.
    sheet_label(-729);
    sheet_text(" ");
    sheet_number_cell(
        kGridKindSelectable | kCmdWv, 0,
        l.wavelengths != nullptr && l.wavelength_count > 0 ? l.wavelengths[0].wavelength : 0.0);
    sheet_text(" ");
    if (first_configuration()) {
        sheet_button(kGridKindButton | kFieldWavelengths, 0, l.wavelength_count > 1 ? '*' : ' ');
    } else {
        sheet_text("   ");
    }
    sheet_text("|");
    sheet_text("                        ");
    sheet_text("|");
    const bool approximate = not_paraxial();
    if (approximate) text_hotspot(kCellDerived, 0);
    sheet_label(-912);
    // A: marginal height at surface 1, B: the chief ray's object-space slope, C: the marginal
    // slope in image space, h: the object height; for a far object this is -A/C.
    const double a = l.image_surface >= 1 ? surface(1).axial_ray_height : 0.0;
    const double b = object.chief_ray_slope;
    const double c = l.image_axial_slope;
    const double h = l.object_height;
    const double d = a * b + c * h;
    const double derived = std::fabs(d) < kTiny ? kNoFocalLength : -(a * h) / d;
    if (approximate) text_hotspot(kCellDerived, 0);
    // A lens without power has no focal length: "--", as the listings show it, rather than a
    // number of 54 digits.
    if (!std::isfinite(derived) || std::fabs(derived) >= kNoFocalLength) {
        sheet_text("        --");
    } else {
        text_number(derived);
    }
    text_newline();

    // Row 4: column headings.
    sheet_label(-377);
    sheet_label(lens_flags().spreadsheet_radius_mode != 0 ? -378 : -379);
    sheet_label(-380);
    text_newline();
}

// Surfaces that a walk from surface 0 along the skip links passes over without landing on.
std::vector<bool> skipped_surfaces() {
    const int image = lens_data().image_surface;
    std::vector<bool> skipped(static_cast<std::size_t>(image + 1), true);
    int j = 0;
    while (j >= 0 && j <= image) {
        skipped[static_cast<std::size_t>(j)] = false;
        const int to = surface(j).skip_to;
        // Only forward: a link back (or onto itself) would walk for ever.
        const int next = to > j ? to : j + 1;
        j = next;
    }
    return skipped;
}

void surface_row(int n, const std::vector<bool>& skipped, bool last_row) {
    const LensData& l = lens_data();
    const SurfaceRecord& s = surface(n);
    const SurfaceMarks marks = surface_marks(n, MarkPlace::sheet);
    const int image = l.image_surface;
    const bool in_group = s.group_role != 0;
    const bool group_first = s.group_role == kRoleFirst;
    const bool summary = in_group && collapsed() && group_first;
    const bool collapsed_last = in_group && collapsed() && s.group_role == kRoleLast;
    const bool middle_of_kind1 = s.group_kind == 1 && in_group && s.group_role != kRoleLast;

    // Surface number.
    char number[16];
    std::snprintf(number, sizeof number, " %3d ", n);
    if (get_setting_flag(kSetSurfaceLabels) != 0) {
        const char* tag = nullptr;
        if (n == 0) {
            tag = "OBJ";
        } else if (n == l.aperture_stop) {
            tag = "AST";
        } else if (n == l.reference_surface) {
            tag = "RFS";
        } else if (n == image) {
            tag = "IMS";
        } else if (skipped[static_cast<std::size_t>(n)]) {
            tag = "SKP";
        }
        if (tag != nullptr) std::snprintf(number, sizeof number, " %s ", tag);
    }
    if (n >= 1 && (!in_group || group_first) && first_configuration()) {
        text_hotspot(kGridKindRowSelector, n);
    } else if (n >= 1 && in_group && s.group_kind == 1 && !collapsed()) {
        text_hotspot(kGridKindLabel, n);
    }
    sheet_text(number);
    sheet_text("|");

    // Curvature or radius.
    if (summary) {
        const bool blank = s.group_label[0] == '\0' ||
                           std::strspn(s.group_label, " ") == std::strlen(s.group_label);
        text_field(blank ? group_kind_label(s.group_kind) : s.group_label, 11, true);
    } else if (collapsed_last) {
        text_field(s.note != nullptr ? s.note : "", 11, false);
    } else if (s.curvature_kind == kCurvatureFixed) {
        text_number(lens_flags().spreadsheet_radius_mode != 0 ? get_lens_value(kFieldRadius, n)
                                                              : s.curvature);
    } else if (lens_flags().spreadsheet_radius_mode != 0) {
        sheet_number_cell(kGridKindValueList | kFieldRadius, n, get_lens_value(kFieldRadius, n));
    } else {
        sheet_number_cell(kGridKindValueList | kFieldCurvature, n, s.curvature);
    }
    sheet_text(" ");
    const bool group_button = group_first && first_configuration() &&
                              (collapsed() || s.curvature_kind == kCurvatureFixed);
    if (group_button) {
        sheet_button(kGridKindButton | kFieldGroup, n, ' ');
    } else if (summary || collapsed_last) {
        sheet_mark(' ');
    } else if (s.curvature_kind == kCurvatureFixed) {
        sheet_text("   ");
    } else {
        const int id = n == 0 ? kFieldObjectCurvatureOption
                              : (n == image ? kFieldImageCurvatureOption : kFieldCurvatureOption);
        sheet_button(kGridKindButton | id, n, marks.curvature);
    }
    sheet_text("|");

    // Thickness.
    const int next_traced = s.skip_to > n ? s.skip_to : n + 1;
    const bool global_next = next_traced <= image && surface(next_traced).decentre_reference;
    bool thickness_button = false;
    if (summary) {
        double sum = 0.0;
        const int last = group_last(n);
        for (int j = n; j < last; ++j) sum += surface(j).thickness;
        text_number(sum);
    } else if (global_next || (middle_of_kind1 && s.group_role != 0)) {
        sheet_text("           ");
    } else if (s.thickness_kind == kThicknessFixed) {
        text_number(s.thickness);
    } else {
        sheet_number_cell(kFieldThickness, n, s.thickness);
        thickness_button = true;
    }
    sheet_text(" ");
    if (thickness_button) {
        const int id = n == 0 ? kFieldObjectThicknessOption
                              : (n == image ? kFieldImageThicknessOption : kFieldThicknessOption);
        sheet_button(kGridKindButton | id, n, marks.thickness);
    } else {
        sheet_text("   ");
    }
    sheet_text("|");

    // Aperture.
    if (n == 0 || s.aperture_kind == kApertureFixedByGroup) {
        text_number(s.aperture_radius);
    } else {
        sheet_number_cell(kFieldAperture, n, s.aperture_radius);
    }
    sheet_text(" ");
    const bool aperture_button =
        n >= 1 && !(middle_of_kind1 && s.group_role != kRoleFirst && !first_configuration());
    if (aperture_button) text_hotspot(kGridKindButton | kFieldApertureOption, n);
    sheet_marks_field(marks.aperture);
    sheet_text("|");

    // Medium.
    const bool fixed_medium =
        s.medium_kind == kMediumGlassFixed || s.medium_kind == kMediumAirFixed;
    if (n == image) {
        sheet_text("              ");
    } else {
        if (summary && fixed_medium) {
            sheet_text("     FIXED");
        } else {
            if (!fixed_medium && !s.glass_variable)
                text_hotspot(kGridKindTextNoCommand | kFieldMedium, n);
            text_field(s.medium_name, kMediumNameLength, true);
        }
        sheet_text(" ");
        if (fixed_medium) {
            sheet_text("   ");
        } else {
            sheet_button(kGridKindButton | (n == 0 ? kFieldObjectMediumOption : kFieldMediumOption),
                         n, marks.medium);
        }
    }
    sheet_text("|   ");

    if (first_configuration()) {
        text_hotspot(kGridKindButton | kFieldSpecialData, n);
        sheet_marks_field(special_marks(s));
    }
    // The last row is left for the end of the output to finish, so no empty line follows it.
    if (!last_row) text_newline();
}

}  // namespace

SurfaceSheetState& surface_sheet_state() {
    return g_state;
}

void print_units_label() {
    const double u = lens_data().units;
    struct Unit {
        double value;
        const char* text;
    };
    static constexpr Unit kUnits[] = {
        {1.0, "(mm)"}, {10.0, "(cm)"}, {25.4, "(in)"}, {0.001, "(mu)"}, {1000.0, "(m) "}};
    for (const Unit& k : kUnits) {
        if (std::fabs(u - k.value) <= kTiny) {
            sheet_text(k.text);
            return;
        }
    }
    sheet_text("    ");
}

void write_surface_sheet() {
    if (surface_array() == nullptr) return;
    const LensData& l = lens_data();
    for (int n = 0; n <= l.image_surface; ++n) {
        SurfaceRecord& s = surface(n);
        for (std::uint8_t& b : s.sheet_scratch_bytes) b = 0;
    }
    sheet_set_title(kHelpTopic, kMsgSurfaceSheetTitle);
    header_rows();
    const std::vector<bool> skipped = skipped_surfaces();
    for (int n = 0; n <= l.image_surface; ++n) {
        if (collapsed() && surface(n).group_role == kRoleInner) continue;
        surface_row(n, skipped, n == l.image_surface);
    }
}

void print_sheet_surface_heading() {
    const LensData& l = lens_data();
    const int n = l.current_surface;
    if (surface_array() == nullptr || n < 0 || n > l.image_surface || surface(n).group_role == 0) {
        print_msg(-386, n);
    } else {
        print_msg(-637, n, group_kind_label(surface(n).group_kind));
    }
}

std::string sheet_clipboard_text() {
    // The block stays between pastes and grows with the data. Emptied first, so that a
    // clipboard without surface data reads as empty rather than as the last paste.
    static char* block = nullptr;
    if (block != nullptr) block[0] = '\0';
    if (read_private_clipboard(&block) == 0 || block == nullptr) return {};
    return block;
}

int open_surface_sheet() {
    // A new sheet: its first create takes the revert copy (a copy still counted stays so).
    const SheetKit kit = g_state.kit;
    g_state = SurfaceSheetState{};
    g_state.kit = kit;
    lens_flags().spreadsheet_radius_mode =
        get_setting_flag(kSetSpreadsheetCurvatureMode) == 0 ? 1 : 0;
    set_current_surface(0);
    if (const int rc = push_command_level(surface_sheet_event, kRowsNewLens, 1); rc != 0) {
        return rc;
    }
    status_msg(kMsgSheetStatus);
    if (test_state_flag(kFlagCatalogueLoaded)) set_level_cursor(kGridKindRowSelector, 1, 0);
    return 0;
}

int cmd_surface_sheet() {
    const int mode = arg_int(0);
    const ArgCell* radius = arg_cell(1);
    if (radius == nullptr || radius->status != kArgGiven) {
        lens_flags().spreadsheet_radius_mode =
            get_setting_flag(kSetSpreadsheetCurvatureMode) == 0 ? 1 : 0;
    } else {
        lens_flags().spreadsheet_radius_mode = arg_int(1) > 0 ? 1 : 0;
    }
    int rows = kRowsNewLens;
    if (mode == 1) {
        const int n = arg_int(2);
        // The image surface n + 1 must fit in the surface array.
        if (n < 0 || n + 1 > surface_limit()) {
            return set_error_msg(kMsgSurfaceLimit, surface_limit());
        }
        if (const int rc = lens_new(); rc != 0) return rc;
        const int image = lens_data().image_surface;
        if (n + 1 > image) {
            for (int k = image; k < n + 1; ++k) {
                if (const int rc = insert_surface(k); rc != 0) return rc;
            }
        } else {
            for (int k = image - 1; k > n; --k) delete_surface(k);
        }
        update_lens_array_bounds();
        LensData& l = lens_data();
        const ArgCell* title = arg_cell(3);
        // A one-character title comes as a char, not a text.
        char single[2] = {};
        const char* text = "";
        if (title != nullptr && title->type == kArgChar) {
            if (title->text_length > 0 && title->value.text != nullptr) {
                text = title->value.text;
            } else {
                single[0] = title->value.c;
                text = single;
            }
        }
        std::snprintf(l.title, sizeof l.title, "%s", text);
        std::snprintf(l.title_copy, sizeof l.title_copy, "%s", l.title);
        set_state_flag(kFlagLensExists);
    } else {
        if (!test_state_flag(kFlagLensExists)) return set_error_msg(kMsgSheetNoLens);
        set_current_surface(0);
        const int image = lens_data().image_surface;
        rows = image < 3 ? kRowsNewLens : image + 5;
    }
    if (const int rc = push_command_level(surface_sheet_event, rows, 1); rc != 0) return rc;
    const SheetKit kit = g_state.kit;
    g_state = SurfaceSheetState{};
    g_state.kit = kit;
    const bool far = std::fabs(surface(0).thickness) > kFarObject;
    set_level_cursor(far ? 424 : 425, 0, 0);
    status_msg(kMsgSheetStatus);
    return 0;
}

namespace {
// A fresh run holds no copy: the one this sheet counted goes.
void reset_surface_sheet_state() {
    sheet_release_copy(g_state.kit, 0);
    g_state = SurfaceSheetState{};
}
const platform::StateReset surface_sheet_state_reset{
    "entry/surface_sheet", reset_surface_sheet_state, platform::ResetLayer::feature};
}  // namespace
