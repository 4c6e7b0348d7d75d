#include "entry/conjugates_window.h"

#include <cmath>
#include <cstdio>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/conjugates.h"
#include "trace/lens_setup.h"
#include "trace/system_matrix.h"
#include "ui/sheet_kit.h"

namespace {

constexpr int kHelpTopic = -kHelpTopicParaxialSetupSheet;
constexpr double kFarObject = 9.9e7;
constexpr double kFlatSlope = 1e-10;

// The conjugates level. Its copy of the lens is its own, kept under its own state flag and not
// counted with the sheets': the kit's record says whether the level is suspended (kept), has
// been shown, and holds the copy. The copy exists from the first display to the level's change.
// Leaving by Escape tells the level first that it is left and then that it is re-run: only the
// first of them acts on it.
struct ConjugatesWindowState {
    SheetKit kit{.revert_message = kMsgRevertCopy};
};

ConjugatesWindowState g_conjugates;

void label(int message) {
    print_msg(message);
}

void value(int item, bool display_only, double v) {
    if (display_only) return sheet_inactive_number(item, 0, v);
    sheet_number_cell(item, 0, v);
}

void separator() {
    write_output_text(" |", false);
}

void blank_cell() {
    write_output_text("                          ", false);
}

int common_tail(bool set_up) {
    if (set_up) {
        if (const int rc = lens_setup_or_error(); rc != 0) return rc;
    }
    begin_level_output();
    const int rc = paraxial_window_table();
    const int stop = end_level_output();
    return rc != 0 ? rc : stop;
}

}  // namespace

int paraxial_window_table() {
    if (const int rc = solve_paraxial_conjugates(); rc != 0) return rc;
    sheet_set_title(kHelpTopic, kMsgParaxialSetupTitle);
    const ConjugatesBlock& b = conjugates_block();
    const LensData& l = lens_data();
    const bool far = std::fabs(b.object_distance) > kFarObject;
    const bool flat = std::fabs(b.image_slope) < kFlatSlope || l.afocal != 0;
    const bool afocal = conjugates_state().afocal_matrix || l.afocal != 0;

    label(-1652);
    label(-1653);
    value(kItemBeamRadius, false, b.beam_radius);
    separator();
    label(-1728);
    value(kItemFieldAngle, !far, b.field_angle_degrees);
    separator();
    label(-1657);
    value(kItemObjectDistance, false, b.object_distance);
    text_newline();

    label(-1654);
    value(kItemObjectNa, far, b.object_na);
    separator();
    label(-1656);
    value(kItemObjectHeight, far, b.object_height);
    separator();
    label(-1662);
    value(kItemObjectFromPrincipal, false, b.object_from_principal);
    text_newline();

    label(-1716);
    value(kItemImageSlope, flat, b.image_slope);
    separator();
    label(-1660);
    value(kItemImageHeight, flat, b.image_height);
    separator();
    label(-1658);
    value(kItemImageDistance, flat, b.image_distance);
    text_newline();

    label(-1659);
    value(kItemImageNa, flat, b.image_na);
    separator();
    blank_cell();
    separator();
    label(-1663);
    value(kItemImageFromPrincipal, flat, b.image_from_principal);
    text_newline();

    label(-1665);
    value(kItemFNumber, flat, b.f_number);
    separator();
    blank_cell();
    separator();
    label(-1661);
    value(kItemMagnification, afocal, far && l.afocal == 0 ? 0.0 : b.magnification);
    text_newline();

    label(-1666);
    text_number(b.lens_length);
    separator();
    label(-1667);
    text_number(b.total_track);
    text_newline();

    label(-1688);
    text_number(l.entrance_pupil_radius);
    write_output_text(" ", false);
    text_number(l.entrance_pupil_position);
    separator();
    label(-1689);
    text_number(l.exit_pupil_radius);
    write_output_text(" ", false);
    text_number(l.exit_pupil_position);
    text_newline();

    label(-1765);
    text_number(b.lagrange);
    separator();
    label(-1766);
    text_number(b.petzval_radius);
    text_newline();

    label(-1767);
    text_number(b.focal_length);
    separator();
    text_newline();
    return 0;
}

namespace {

int opening() {
    SheetKit& kit = g_conjugates.kit;
    lens_data().current_wavelength = 0;
    kit.shown = true;
    if (!kit.kept) {
        if (const int rc = lens_setup_or_error(); rc != 0) {
            pop_command_level(false);
            return rc;
        }
        revert_copy_save(kit.revert_message);
        kit.holds_copy = true;
        conjugates_state().field_edit_mode = lens_data().field_is_angle != 0 ? 0 : 1;
    }
    begin_level_output();
    const int rc = paraxial_window_table();
    const int stop = end_level_output();
    set_state_flag(kFlagLevelRevertCopy);
    return rc != 0 ? rc : stop;
}

int closing(int end_mode) {
    SheetKit& kit = g_conjugates.kit;
    // The main loop also tells a level that is being pushed; only a level already shown is
    // suspended by another one on top.
    kit.kept = end_mode == 1 && kit.shown;
    if (end_mode != 1 && kit.holds_copy) {
        kit.holds_copy = false;
        clear_state_flag(kFlagLevelRevertCopy);
        // Left: the changes stay. Re-run: the lens as it was when the window opened. A copy
        // that cannot be read back leaves the lens as it is and says why.
        const int rc = revert_copy_restore(kit.revert_message, end_mode == 0 ? 0 : 1);
        if (rc != 0) show_error(rc);
    }
    release_system_matrix_arrays();
    return 0;
}

int cell_text(GridEvent& event) {
    sheet_edit_text(event, format_number(conjugate_item_value(event.field), 2, 0));
    return 0;
}

int edited(const GridEvent& event) {
    enter_conjugate_value(event.field, event.value.d);
    return common_tail(true);
}

int typed(const char*, const GridEvent& event) {
    if (event.text == nullptr) return 0;
    const int rc = run_command_string(event.text, 1);
    // A line that ended the run (an accepted exit, a failed reload) leaves nothing to redraw.
    if (rc != 0 || running_flag() == 0) return rc;
    return common_tail(false);
}

int other(GridEvent&) {
    return common_tail(true);
}

// The window sets up the lens before it shows and keeps no command context or update mode: it
// opens and closes itself.
const SheetEvents kEvents{
    .opening = opening,
    .opens_itself = true,
    .cell_text = cell_text,
    .edited = edited,
    .typed = typed,
    .other = other,
    .types_empty_lines = true,
    .closing = closing,
};

}  // namespace

int paraxial_window_proc(GridEvent& event) {
    return sheet_dispatch(g_conjugates.kit, kEvents, event);
}

int cmd_open_paraxial_window() {
    g_conjugates = ConjugatesWindowState{};
    conjugates_state() = ConjugatesState{};
    if (const int rc = push_command_level(paraxial_window_proc, 10, 0); rc != 0) return rc;
    set_level_option();
    status_msg(kMsgChooseValue);
    return 0;
}

void install_conjugates_window() {
    set_handler(kSlotOpenParaxialWindow, cmd_open_paraxial_window);
}

namespace {
void reset_conjugates_window() {
    g_conjugates = ConjugatesWindowState{};
}
const platform::StateReset conjugates_window_state_reset{
    "entry/conjugates_window", reset_conjugates_window, platform::ResetLayer::feature};
}  // namespace
