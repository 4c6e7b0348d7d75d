#include "entry/lens_commands.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_items.h"
#include "lens/new_lens_command.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/folder_lists.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "runtime/window_titles.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"

namespace {

// Revert copies the spreadsheet keeps around a new lens: the lens before it, and the new lens.
// State flag 40 marks an edit-window text that came from a file.
constexpr int kFlagEditTextFromFile = 40;
constexpr char kLensEntryContext = 'L';
// Spreadsheet cells the cursor goes to on a new lens: the object distance (at infinity, or
// finite) and the first-order value of the value kinds.
constexpr int kFieldObjectAtInfinity = 424;
constexpr int kFieldObjectDistance = 425;
constexpr int kFieldFirstOrderValue = 26624;
constexpr double kFarObject = 9.9e7;
constexpr int kEditOutputReplace = 2;
constexpr std::size_t kFileNameLimit = 259;

NewLensSheetHooks g_sheet;

// The text of a text cell, cut at a file-name length; empty for any other cell.
std::string cell_text(int k) {
    const ArgCell* c = arg_cell(k);
    if (c == nullptr || c->type != kArgChar || c->text_length == 0 || c->value.text == nullptr) {
        return {};
    }
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(c->text_length) - 1, kFileNameLimit);
    std::string text(c->value.text, n);
    return text.substr(0, text.find('\0'));
}

bool sheet_new_lens_mode() {
    return g_sheet.new_lens_mode != nullptr && g_sheet.new_lens_mode();
}

void reset_object_point() {
    if (g_sheet.reset_object_point != nullptr) g_sheet.reset_object_point();
}

// The edit window gets its whole text anew: output goes to it (its old text cleared) and the
// main loop shows it once the running line has ended.
int begin_edit_text_output(int mode) {
    if (mode != kEditOutputReplace) return kStopped;
    flush_output_line();
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr && ui->window_exists(platform::kWindowEdit)) {
        ui->clear_text(platform::kWindowEdit);
    }
    set_output_window(platform::kWindowEdit);
    set_run_state(kRunStateShowEditWindow);
    return 0;
}

int new_edit_text() {
    clear_state_flag(kFlagEditTextFromFile);
    if (const int rc = begin_edit_text_output(kEditOutputReplace); rc != 0) return rc;
    flush_output_line();
    set_output_window(current_text_window());
    const std::string title = format_message(kMsgEditWindowCaption, std::span<const FormatArg>());
    set_window_titles(nullptr, title.c_str());
    return 0;
}

NewLensRequest read_request(int command) {
    NewLensRequest r;
    r.command = command;
    r.file_name = cell_text(0);
    if (command == kCmdNewLensValue) {
        r.kind = kNewLensValue;
        r.value = arg_double(1);
        return r;
    }
    r.kind = arg_int(1);
    r.surfaces = arg_int(2);
    r.focal_length = arg_double(3);
    r.value = arg_double(4);
    r.magnification = arg_double(4);
    r.numerical_aperture = arg_double(5);
    return r;
}

// The new lens's file name chosen in the Save dialog: 0, kStopped when cancelled, or the
// dialog's failure.
int ask_new_lens_name(std::string* name) {
    platform::FileDialogRequest request;
    request.save = true;
    request.title = msg_text(kMsgNewLensDialogTitle);
    const char* folder = get_setting_text(kSetCurrentDirectory, 0);
    request.folder = folder != nullptr ? folder : "";
    request.default_extension = "len";
    request.filters = {{"Lens files (*.len)", "*.len"}, {"All files (*.*)", "*.*"}};
    return ask_for_file(request, name);
}

// The spreadsheet takes its old lens back after a refused new lens.
void back_to_sheet() {
    if (g_sheet.read_revert_copy != nullptr) g_sheet.read_revert_copy(kMsgRevertBeforeNewLens);
    set_state_flag(kFlagSingleCommandUpdate);
    set_state_flag(kFlagSpreadsheetOpen);
    push_command_context(kLensEntryContext);
}

// A command that would run code: an undefined number or an empty slot does nothing at all.
bool command_has_handler(int command) {
    const Definitions& d = definitions();
    if (d.commands == nullptr || command < 0 || command >= d.command_count) return false;
    const int slot = d.commands[command].plain_slot;
    return slot >= 0 && slot < kHandlerSlotCount && handler_table().slots[slot] != nullptr;
}

// Opens the surface spreadsheet on the new lens through its own command. Without it the user
// is told, rather than left without the sheet the new lens was made for.
int open_surface_sheet(int lens_surfaces) {
    if (!command_has_handler(kCmdOpenSurfaceSheet)) {
        return set_error_msg(kMsgUnknownCommand, kCmdOpenSurfaceSheet);
    }
    std::string title = format_message(kMsgNewLensTitle, std::span<const FormatArg>());
    const ArgCell cells[4] = {
        int_cell(0),
        int_cell(get_setting_flag(kSetSpreadsheetCurvatureMode) != 0 ? 0 : 1),
        int_cell(lens_surfaces),
        text_cell(title.data()),
    };
    return call_command_handler(kCmdOpenSurfaceSheet, cells, 4);
}

int new_lens() {
    const int command = current_command();
    const bool sheet_mode = sheet_new_lens_mode();
    if (sheet_mode) {
        if (g_sheet.save_revert_copy != nullptr) {
            if (const int rc = g_sheet.save_revert_copy(kMsgRevertBeforeNewLens); rc != 0) {
                return rc;
            }
        }
        if (g_sheet.leave_for_new_lens != nullptr) g_sheet.leave_for_new_lens();
        pop_command_context();
        clear_state_flag(kFlagSpreadsheetOpen);
        clear_state_flag(kFlagSingleCommandUpdate);
        clear_group_selection();
    }

    NewLensRequest request = read_request(command);
    if (request.file_name.empty()) {
        // From the File menu the command comes without a name: the designer names the new
        // lens's file as for Save As (nothing is written until the lens is saved).
        if (const int asked = ask_new_lens_name(&request.file_name); asked != 0) {
            if (sheet_mode) back_to_sheet();
            return asked == kStopped ? 0 : asked;
        }
    }
    NewLensResult result;
    int rc = new_lens_from_request(request, result);
    if (rc == kMsgSurfaceLimit) rc = set_error_msg(kMsgSurfaceLimit, surface_limit());
    if (rc != 0) {
        if (sheet_mode) back_to_sheet();
        return rc;
    }
    update_lens_array_bounds();

    if (result.value_kind) {
        if (g_sheet.set_pending_first_order_value != nullptr) {
            g_sheet.set_pending_first_order_value(result.first_order_value);
        }
        if (!sheet_mode) {
            reset_object_point();
            const int opened = open_surface_sheet(result.lens_surfaces);
            record_reference_sums();
            return opened;
        }
    }

    reset_object_point();
    if (!sheet_mode) {
        const int opened = open_surface_sheet(result.lens_surfaces);
        // What a new lens is compared with when the program asks whether to save it.
        record_reference_sums();
        return opened;
    }

    if (g_sheet.delete_revert_copy != nullptr) g_sheet.delete_revert_copy(kMsgRevertBeforeNewLens);
    lens_setup(0);
    if (g_sheet.save_revert_copy != nullptr) g_sheet.save_revert_copy(kMsgSheetRevertCopy);
    const LensData& l = lens_data();
    const int rows = l.image_surface < 3 ? 9 : l.image_surface + 5;
    int field = std::fabs(surface(0).thickness) > kFarObject ? kFieldObjectAtInfinity
                                                             : kFieldObjectDistance;
    if (result.value_kind) field = kFieldFirstOrderValue;
    set_state_flag(kFlagSingleCommandUpdate);
    set_state_flag(kFlagSpreadsheetOpen);
    push_command_context(kLensEntryContext);
    if (g_sheet.show_new_lens != nullptr) g_sheet.show_new_lens(rows, field);
    record_reference_sums();
    return 0;
}

int insert_at(int n) {
    const LensData& l = lens_data();
    if (l.image_surface >= surface_limit()) return set_error_msg(kMsgSurfaceLimit, surface_limit());
    if (n < 1 || n > l.image_surface) return set_error_msg(kMsgInsertRefused, n);
    print_msg(kMsgInsertedSurface, n);
    text_newline();
    if (const int rc = insert_surface(n); rc != 0) return rc;
    set_current_surface(n);
    return 0;
}

int delete_range(int a, int b) {
    b = std::max(a, b);
    const int image = lens_data().image_surface;
    if (a <= 0 || a >= image || b >= image) {
        if (a == b) return set_error_msg(kMsgDeleteCannot, a);
        return set_error_msg(kMsgDeleteRangeCannot, a, b);
    }
    print_msg(kMsgDeletedSurfaces);
    text_spaces(8);
    if (a != b) text_printf(" %3d", a);
    text_printf(" %3d", b);
    text_newline();
    for (int s = b; s >= a; --s) {
        if (const int rc = delete_surface(s); rc != 0) return rc;
    }
    set_current_surface(a);
    return 0;
}

int go_to(int n) {
    if (n > surface_limit()) return set_error_msg(kMsgSurfaceLimit, surface_limit());
    if (n < 0) return set_error_msg(kMsgBadValue, std::to_string(n).c_str());
    set_current_surface(n);
    return 0;
}

}  // namespace

NewLensSheetHooks& new_lens_sheet_hooks() {
    return g_sheet;
}

void reset_new_lens_sheet_hooks() {
    g_sheet = NewLensSheetHooks{};
}

int cmd_new_lens() {
    if (current_command() == kCmdNewEditText) return new_edit_text();
    return new_lens();
}

int cmd_insert_delete_surface() {
    if (surface_array() == nullptr) return kMsgOutOfMemory;
    close_pending_group();
    int rc = 0;
    {
        UpdateOutputSwitch output;
        switch (current_command()) {
            case kCmdInsertSurface:
            case kCmdInsertSurfaceShort:
                rc = insert_at(arg_int(0));
                break;
            case kCmdDeleteSurfaces:
            case kCmdDeleteSurfacesShort:
                rc = delete_range(arg_int(0), arg_int(1));
                break;
            case kCmdGoToSurface:
                rc = go_to(arg_int(0));
                break;
            default:
                break;
        }
    }
    if (rc != 0) return rc;
    // Lens entry brings the whole lens up to date at its end.
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}

void install_lens_handlers() {
    set_handler(kSlotNewLens, cmd_new_lens);
    set_handler(kSlotInsertDeleteSurface, cmd_insert_delete_surface);
}

namespace {
const platform::StateReset lens_commands_state_reset{
    "entry/lens_commands", reset_new_lens_sheet_hooks, platform::ResetLayer::feature};
}  // namespace
