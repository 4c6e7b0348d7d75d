#include "ui/text_file_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/status.h"
#include "platform/text_file.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/compile_request.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/folder_lists.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/status_line.h"

namespace {

constexpr int kTypeLensFile = 1;
constexpr int kTypeSourceFile = 2;

// The edit-window maker and lens-file handlers installed at start, and the type of the last
// text file chosen.
struct TextFileCommandsState {
    EditWindowMaker maker = nullptr;
    // The lens-file handlers that served the two slots before: they serve every command and type
    // these do not.
    CommandHandler lens_file_operations = nullptr;
    CommandHandler lens_edit_or_revert = nullptr;
    // The type of the last text file chosen, offered first by the text dialogs.
    int last_text_type = kTypeSourceFile;
    // The file whose text the edit window holds (read from it or saved to it); empty when the
    // text came from nowhere. Only that text is saved to the edit file without a question.
    std::string text_of;
};

TextFileCommandsState g_text_files;

// An optional integer argument, or fallback when it was not given.
int given_int(int k, int fallback) {
    const ArgCell* c = arg_cell(k);
    return c != nullptr && c->status == kArgGiven ? arg_int(k) : fallback;
}

bool is_text_type(int type) {
    return type != 0 && type != kTypeLensFile;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::vector<platform::FileFilter> text_filters() {
    return {{"Command-language sources (*.kpl)", "*.kpl"},
            {"Command files (*.scp)", "*.scp"},
            {"Text files (*.txt)", "*.txt"},
            {"All files (*.*)", "*.*"}};
}

platform::FileDialogRequest text_dialog(bool save, int title) {
    platform::FileDialogRequest request;
    request.save = save;
    request.title = msg_text(title);
    request.folder = setting_text(kSetCurrentTextDirectory);
    request.filters = text_filters();
    const int offered = g_text_files.last_text_type - kTypeSourceFile;
    request.filter_index = offered >= 0 && offered < 3 ? offered : 3;
    return request;
}

// The chosen file's type is offered first next time, and its folder becomes the text folder.
void remember_text_choice(const std::string& path) {
    const int type = file_type_of(path.c_str());
    if (is_text_type(type)) g_text_files.last_text_type = type;
    const std::string folder = folder_of(path);
    if (!folder.empty()) set_setting_text(kSetCurrentTextDirectory, folder.c_str(), 0);
}

int dialog_result(int status) {
    return status == kStopped ? 0 : status;
}

int open_text_dialog() {
    platform::FileDialogRequest request = text_dialog(false, kMsgOpenTextTitle);
    std::string path;
    const int chosen = ask_for_file(request, &path);
    if (chosen != 0) return dialog_result(chosen);
    const int shown = show_text_file(path, true);
    if (shown == 0) remember_text_choice(path);
    return shown;
}

int save_edit_text_as() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->has_edit_pane(platform::kWindowEdit)) {
        return set_error_msg(kMsgNoEditText);
    }
    // Nothing to save: no name is asked for.
    if (ui->edit_text(platform::kWindowEdit).empty()) return set_error_msg(kMsgEditTextEmpty);
    platform::FileDialogRequest request = text_dialog(true, kMsgSaveTextTitle);
    request.path = setting_text(kSetEditFile);
    std::string path;
    const int chosen = ask_for_file(request, &path);
    if (chosen != 0) return chosen;
    const int saved = save_edit_text(path);
    if (saved == 0) remember_text_choice(path);
    return saved;
}

// A text shown from another file (view_file), or typed into a window that read no file, is not
// the edit file's: the Save dialog asks where it goes, as when there is no edit file.
int save_to_edit_file() {
    const std::string file = setting_text(kSetEditFile);
    return file.empty() || file != g_text_files.text_of ? save_edit_text_as()
                                                        : save_edit_text(file);
}

// The edit window closes by its own command when the program has it; otherwise it is hidden,
// which keeps its text, as closing it by hand does.
int close_edit_window() {
    const Definitions& d = definitions();
    if (d.names != nullptr && find_name(d.names, "editwin_close") >= 0) {
        return run_command_string("editwin_close", 0);
    }
    if (platform::UiBackend* ui = platform::current_ui();
        ui != nullptr && ui->window_exists(platform::kWindowEdit)) {
        ui->show_window(platform::kWindowEdit, false);
    }
    clear_state_flag(kFlagEditWindowShown);
    return 0;
}

int delete_file_dialog() {
    platform::FileDialogRequest request;
    request.title = msg_text(kMsgDeleteFileTitle);
    request.folder = setting_text(kSetCurrentDirectory);
    request.filters = {{"Lens files (*.len)", "*.len"}, {"All files (*.*)", "*.*"}};
    std::string path;
    const int chosen = ask_for_file(request, &path);
    if (chosen != 0) return dialog_result(chosen);
    if (!platform::path_exists(path) || platform::is_folder(path) ||
        platform::remove_file(path) != 0) {
        return set_error_msg(kMsgFileNotDeleted, path.c_str());
    }
    msg_box(kMsgFileDeleted, path.c_str());
    return 0;
}

}  // namespace

void set_edit_window_maker(EditWindowMaker maker) {
    g_text_files.maker = maker;
}

std::string text_file_path(const std::string& folder, const std::string& name, int type) {
    std::string where = folder;
    std::replace(where.begin(), where.end(), '\\', '/');
    if (platform::absolute_name(name) || where.empty() || where == ".") {
        return file_type_path(type, 2, name);
    }
    // A relative folder lies inside the text folder; an absolute one stands as it is.
    return file_type_path(type, 2, platform::join_path(where, name));
}

int copy_text_file_to_output(const std::string& path) {
    std::FILE* file = platform::is_folder(path)
                          ? nullptr
                          : std::fopen(platform::to_native_path(path).c_str(), "rb");
    if (file == nullptr) return set_error_msg(kMsgTextFileUnreadable, path.c_str());
    // A new output: the file's first line does not continue a line already begun.
    if (!pending_output_line().empty()) flush_output_line();
    std::string line;
    bool complete = true;
    for (int c = std::fgetc(file);; c = std::fgetc(file)) {
        if (c == EOF) {
            complete = std::ferror(file) == 0;
            if (!line.empty() && complete) write_output_text((line + "\n").c_str(), false);
            break;
        }
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            line.push_back('\n');
            write_output_text(line.c_str(), false);
            line.clear();
        } else if (c != '\0') {
            line.push_back(static_cast<char>(c));
        }
    }
    std::fclose(file);
    return complete ? 0 : kMsgListingStopped;
}

int save_edit_text_if_changed() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->has_edit_pane(platform::kWindowEdit) ||
        !ui->edit_modified(platform::kWindowEdit) || ui->edit_text(platform::kWindowEdit).empty()) {
        return 0;
    }
    const int asked = ask_yes_no_cancel(kMsgSaveChangedEditText);
    if (asked == 1) return 0;
    if (asked != 0) return asked;
    // A cancelled Save dialog keeps the text as Cancel does.
    return save_to_edit_file();
}

int show_text_file(const std::string& path, bool remember) {
    std::vector<std::string> lines;
    if (platform::is_folder(path) || platform::read_text_lines(path, lines) != 0) {
        return set_error_msg(kMsgTextFileUnreadable, path.c_str());
    }
    // Typed text is not replaced unasked; a file that cannot be read asks nothing.
    if (const int kept = save_edit_text_if_changed(); kept != 0) return kept;
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || g_text_files.maker == nullptr || g_text_files.maker() != 0 ||
        !ui->has_edit_pane(platform::kWindowEdit)) {
        return set_error_msg(kMsgEditWindowNotMade);
    }
    ui->set_edit_text(platform::kWindowEdit, text);
    ui->set_edit_modified(platform::kWindowEdit, false);
    ui->set_window_title(platform::kWindowEdit, platform::file_name_part(path));
    g_text_files.text_of = path;
    if (remember) {
        set_setting_text(kSetEditFile, path.c_str(), 0);
        msg_box(kMsgTextFileOpened, path.c_str());
    }
    return 0;
}

int save_edit_text(const std::string& path) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->has_edit_pane(platform::kWindowEdit)) {
        return set_error_msg(kMsgNoEditText);
    }
    const std::string text = ui->edit_text(platform::kWindowEdit);
    // An empty window would leave the file empty: a file is emptied by deleting it, not by
    // saving nothing over it.
    if (text.empty()) return set_error_msg(kMsgEditTextEmpty);
    if (const int rc = write_whole_file(path, text, kMsgTextWriteFailed, kMsgNewTextWriteFailed);
        rc != 0)
        return rc;
    set_setting_text(kSetEditFile, path.c_str(), 0);
    g_text_files.text_of = path;
    ui->set_edit_modified(platform::kWindowEdit, false);
    ui->set_window_title(platform::kWindowEdit, platform::file_name_part(path));
    msg_box(kMsgTextFileSaved, path.c_str());
    if (get_setting_flag(kSetKplAutoCompile) != 0) compile_on_save(path);
    return 0;
}

bool text_file_command(int command, int* result) {
    switch (command) {
        case kCmdInsertFile: {
            const int type = given_int(3, kTypeLensFile);
            if (!is_text_type(type)) return false;
            *result = copy_text_file_to_output(text_file_path(arg_string(0), arg_string(1), type));
            return true;
        }
        case kCmdViewFile:
            *result = show_text_file(file_type_path(arg_int(0), arg_int(1), arg_string(2)), false);
            return true;
        case kCmdSaveAs: {
            const int type = given_int(2, kTypeLensFile);
            if (!is_text_type(type)) return false;
            *result = save_edit_text(text_file_path(arg_string(0), arg_string(1), type));
            return true;
        }
        case kCmdOpen: {
            const int type = given_int(3, kTypeLensFile);
            if (!is_text_type(type)) return false;
            *result = show_text_file(text_file_path(arg_string(0), arg_string(1), type), true);
            return true;
        }
        case kCmdOpenTextDialog:
            *result = open_text_dialog();
            return true;
        case kCmdEditFile: {
            const std::string file = setting_text(kSetEditFile);
            *result = file.empty() ? open_text_dialog() : show_text_file(file, true);
            return true;
        }
        case kCmdEditSave:
            *result = dialog_result(save_to_edit_file());
            return true;
        case kCmdEditSaveAs:
            *result = dialog_result(save_edit_text_as());
            return true;
        case kCmdEditSaveClose: {
            // A save that fails or is cancelled leaves the window open with its text.
            const int saved = save_to_edit_file();
            *result = saved == 0 ? close_edit_window() : dialog_result(saved);
            return true;
        }
        case kCmdDeleteFileDialog:
            *result = delete_file_dialog();
            return true;
        default:
            return false;
    }
}

int cmd_text_file_operations() {
    if (int result = 0; text_file_command(current_command(), &result)) return result;
    return g_text_files.lens_file_operations != nullptr ? g_text_files.lens_file_operations() : 0;
}

int cmd_text_edit_or_revert() {
    if (int result = 0; text_file_command(current_command(), &result)) return result;
    return g_text_files.lens_edit_or_revert != nullptr ? g_text_files.lens_edit_or_revert() : 0;
}

void install_text_file_commands() {
    const HandlerTable& table = handler_table();
    if (table.slots[kSlotFileOperations] != cmd_text_file_operations) {
        g_text_files.lens_file_operations = table.slots[kSlotFileOperations];
    }
    if (table.slots[kSlotEditOrRevert] != cmd_text_edit_or_revert) {
        g_text_files.lens_edit_or_revert = table.slots[kSlotEditOrRevert];
    }
    set_handler(kSlotFileOperations, cmd_text_file_operations);
    set_handler(kSlotEditOrRevert, cmd_text_edit_or_revert);
}

namespace {
// The window maker and the lens-file handlers are installed once at start and stay.
void reset_text_file_commands() {
    g_text_files.last_text_type = kTypeSourceFile;
    g_text_files.text_of.clear();
}
const platform::StateReset text_file_commands_state_reset{
    "ui/text_file_commands", reset_text_file_commands, platform::ResetLayer::ui};
}  // namespace
