#include "evaluation/spot_settings_sheet.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/object_point.h"
#include "ui/sheet_kit.h"

namespace {

constexpr int kParamDivisions = 193;  // the standard numbers of pupil divisions
constexpr int kHelpTopicCommand = -kHelpTopicSpotSettingsSheet;
constexpr int kHelpTopicAux = -kHelpTopicSpotDiffractionSettingsSheet;
constexpr int kChoiceButton = 0x4000;
constexpr int kGreyed = 0x8000;
constexpr int kItemBits = 0x0fff;
constexpr int kLabelWidth = 28;

// The sheet's level: how it was opened, whether it is only left for a moment, its copy.
struct SpotSheetState {
    bool opened_by_command = false;
    bool left_for_a_moment = false;  // last change was exit code 1: another level on top
    bool close_confirmed = false;
    // The main loop also tells a level that is being pushed that a level was pushed; only a
    // sheet that has been shown is left for a moment by it.
    bool shown = false;
    // The temporary copy exists from the first display until the sheet closes for good. A
    // level below another one is shown again without being told it was left: the copy it
    // holds stays.
    SheetKit kit{kMsgSpotSheetRevertCopy, print_spot_settings_sheet};
};
SpotSheetState g_sheet;

SpotSettings& settings() {
    return *lens_data().spot_settings;
}

// The field a number cell edits; null for the other items.
double* number_field(int item) {
    SpotSettings& s = settings();
    switch (item) {
        case kSpotItemDivisions:
            return &s.aperture_divisions;
        case kSpotItemWidthX:
            return &s.apodisation_width_x;
        case kSpotItemWidthY:
            return &s.apodisation_width_y;
        case kSpotItemMtfPathLimit:
            return &s.mtf_path_limit;
        case kSpotItemThroughFocus:
            return &s.through_focus_frequency;
        default:
            return nullptr;
    }
}

void label(int message) {
    const char* text = msg_text(message);
    const std::size_t n = text != nullptr ? std::strlen(text) : 0;
    write_output_text(text, false);
    text_spaces(kLabelWidth - static_cast<int>(n));
}

// Each row is one line; the writer closes every hot spot at the end of the text that fills it,
// so the line needs no closing mark of its own.
void end_row() {
    text_newline();
}

void number_row(int message, int item, double value) {
    label(message);
    sheet_number_cell(item, 0, value);
    end_row();
}

void option_row(int message, int item, std::uint8_t flag) {
    label(message);
    text_hotspot_msg(item, 0, flag == 0 ? 1 : 0, kMsgOff);
    write_output_text("  ", false);
    text_hotspot_msg(item, 1, flag == 1 ? 1 : 0, kMsgOn);
    end_row();
}

int reprint() {
    return sheet_rewrite(g_sheet.kit);
}

// Every change that the spot diagram depends on: it and what is derived from it are stale.
int refresh() {
    clear_state_flag(kFlagSpotDiagramCurrent);
    clear_state_flag(kFlagSpotDerivedA);
    return reprint();
}

// A value that cannot be a setting is not taken, and the user is told so.
bool usable(double value) {
    if (value > 0.0 && std::isfinite(value)) return true;
    status_msg(kMsgSpotSheetNotPositive);
    return false;
}

// The number a whole text reads as; NaN for anything else.
double read_number(const char* text) {
    if (text == nullptr) return NAN;
    char* end = nullptr;
    const double x = std::strtod(text, &end);
    if (end == text) return NAN;
    while (*end == ' ') ++end;
    return *end == '\0' ? x : NAN;
}

// The standard divisions offered with the current value preselected when it is one of them,
// then the answer's absolute value taken.
int ask_divisions() {
    if (const int rc = select_param_list(kParamDivisions); rc != 0) return rc;
    const double current = settings().aperture_divisions;
    for (int i = 0; i < value_list_count(); ++i) {
        const char* first = value_list_first(i);
        if (first == nullptr) continue;
        char word[kArgTextSize];
        std::snprintf(word, sizeof word, "%s", list_entry_word(first));
        if (!(std::fabs(read_number(word) - current) <= 1e-40)) continue;
        const ArgCell entry = text_cell(word);
        set_param_default(kParamDivisions, &entry);
        break;
    }
    ArgCell cell{};
    if (const int rc = prompt_param(kParamDivisions, &cell); rc != 0) return rc;
    double value = NAN;
    if (cell.type == kArgChar && cell.text_length > 0) value = read_number(cell.value.text);
    if (cell.type == kArgDouble) value = cell.value.d;
    if (cell.type == kArgInt) value = cell.value.i;
    if (usable(std::fabs(value))) settings().aperture_divisions = std::fabs(value);
    return 0;
}

int picked(const GridEvent& event) {
    const int item = event.field & kItemBits;
    const std::uint8_t flag = event.first_index == 1 ? 1 : 0;
    switch (item) {
        case kSpotItemDivisions:
            if (const int rc = ask_divisions(); rc != 0) return rc;
            return refresh();
        case kSpotItemPolychromatic:
            settings().polychromatic = flag;
            return refresh();
        case kSpotItemApodisation:
            settings().apodisation_on = flag;
            return refresh();
        case kSpotItemDiffractionLimit:
            // Only the plots' scale and the report page read it.
            settings().show_diffraction_limit = flag;
            return reprint();
        default:
            return refresh();
    }
}

int number_typed(const GridEvent& event) {
    const int item = event.field & kItemBits;
    const double value = event.value_type == kArgInt ? event.value.i : event.value.d;
    double* field = number_field(item);
    if (field == nullptr || !usable(value)) return refresh();
    *field = value;
    // The MTF path limit and the through-focus frequency are read when an MTF is computed; the
    // spot diagram does not depend on them.
    if (item == kSpotItemMtfPathLimit || item == kSpotItemThroughFocus) return reprint();
    return refresh();
}

int shown() {
    g_sheet.shown = true;
    if (!g_sheet.left_for_a_moment) sheet_take_copy(g_sheet.kit);
    return reprint();
}

int level_changed(int exit_code) {
    g_sheet.left_for_a_moment = exit_code == 1 && g_sheet.shown;
    int result = 0;
    if (exit_code != 1) {
        // Cancelled: the lens as it was when the sheet opened; otherwise the copy goes.
        result = sheet_release_copy(g_sheet.kit, exit_code == -1 ? 1 : 0);
        if (result == 0 && exit_code == 0 && g_sheet.opened_by_command &&
            !g_sheet.close_confirmed) {
            result = run_command_string("spd", 0);
        }
        g_sheet.opened_by_command = false;
        g_sheet.shown = false;
    }
    g_sheet.close_confirmed = false;
    return result;
}

// Asked before Escape closes the sheet: unless the answer stops it, that close does not draw the
// spot diagram, as leaving the sheet of the command otherwise does.
int may_close() {
    const int answer = revert_copy_unchanged(kMsgSpotSheetRevertCopy);
    if (answer != kStopped) g_sheet.close_confirmed = true;
    return answer;
}

int cell_text(GridEvent& event) {
    const double* field = number_field(event.field & kItemBits);
    if (field != nullptr) sheet_edit_text(event, format_number(*field, 2, 0));
    return 0;
}

int run_typed_text(const char* text) {
    if (text == nullptr) return refresh();
    const int rc = run_command_string(text, 0);
    return sheet_shown_after_line(rc) ? refresh() : rc;
}

// A line typed on the command line while the sheet is open (the console has no cells to type
// into) runs as a command, so that the sheet can be edited by the settings commands and left by
// the command that leaves levels. Whatever else happens, the settings are shown again as stale.
int otherwise(GridEvent& event) {
    const bool line = event.text != nullptr && event.text[0] != '\0';
    if (event.code == kLevelEventTypedText || (event.code == kLevelEventTypedLine && line)) {
        return run_typed_text(event.text);
    }
    return refresh();
}

const SheetEvents kEvents{
    .opening = shown,
    .opens_itself = true,
    .cell_text = cell_text,
    .edited = number_typed,
    .activated = picked,
    .other = otherwise,
    .may_close = may_close,
    .closing = level_changed,
};

int open_sheet() {
    return sheet_push(spot_settings_callback, kSpotSheetRows, kMsgChooseSetting);
}

}  // namespace

int cmd_open_spot_settings() {
    if (lens_data().spot_settings == nullptr) return set_error_msg(-10);
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        if (const int rc = set_object_point(); rc != 0) return rc;
    }
    g_sheet.opened_by_command = true;
    const int rc = open_sheet();
    if (rc != 0) g_sheet.opened_by_command = false;
    return rc;
}

int open_spot_settings_sheet_aux() {
    if (lens_data().spot_settings == nullptr) return set_error_msg(-10);
    return open_sheet();
}

void print_spot_settings_sheet() {
    if (g_sheet.opened_by_command) {
        sheet_set_title(kHelpTopicCommand, kMsgTitleCommand);
    } else {
        sheet_set_title(kHelpTopicAux, kMsgTitleAux);
    }
    const SpotSettings& s = settings();
    const int greyed = s.apodisation_on != 0 ? 0 : kGreyed;
    number_row(-2138, kSpotItemDivisions | kChoiceButton, s.aperture_divisions);
    option_row(-2141, kSpotItemPolychromatic, s.polychromatic);
    option_row(-2142, kSpotItemApodisation, s.apodisation_on);
    number_row(-2139, kSpotItemWidthX | greyed, s.apodisation_width_x);
    number_row(-2140, kSpotItemWidthY | greyed, s.apodisation_width_y);
    option_row(-2242, kSpotItemDiffractionLimit, s.show_diffraction_limit);
    number_row(-2164, kSpotItemMtfPathLimit, s.mtf_path_limit);
    number_row(-2211, kSpotItemThroughFocus, s.through_focus_frequency);
}

int spot_settings_callback(GridEvent& event) {
    return sheet_dispatch(g_sheet.kit, kEvents, event);
}

bool spot_sheet_opened_by_command() {
    return g_sheet.opened_by_command;
}

bool spot_sheet_left_for_a_moment() {
    return g_sheet.left_for_a_moment;
}

bool spot_sheet_close_confirmed() {
    return g_sheet.close_confirmed;
}

void reset_spot_settings_sheet() {
    // A fresh run holds no copy: the one this sheet counted goes.
    sheet_release_copy(g_sheet.kit, 0);
    g_sheet = SpotSheetState{};
}

namespace {
const platform::StateReset spot_settings_sheet_state_reset{
    "evaluation/spot_settings_sheet", reset_spot_settings_sheet, platform::ResetLayer::feature};
}  // namespace
