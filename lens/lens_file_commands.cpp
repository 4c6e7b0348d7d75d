#include "lens/lens_file_commands.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <vector>

#include "lens/import_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_insert.h"
#include "lens/lens_reader.h"
#include "lens/lens_writer.h"
#include "lens/optimise_links.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/status.h"
#include "platform/text_file.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/folder_lists.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"
#include "tables/table_names.h"

namespace {

constexpr int kCmdOldIndices = kCmdTn5L;
constexpr int kCmdOpenDialog = kCmdOpenLensDialog;

// The sums of the lens recorded as the reference, and whether one is.
struct ReferenceSums {
    LensSums sums;
    bool recorded = false;
};

ReferenceSums g_reference;

// The header of the file at path, when it has one.
bool file_header(const std::string& path, LensHeader* header) {
    platform::LineReader reader;
    if (reader.open(path) != 0) return false;
    std::string line;
    return reader.next_line(line) && parse_lens_header(line, header);
}

}  // namespace

std::string lens_file_text(const char* comment, LensSums* sums, int* failure) {
    LensLineChannel channel(comment == nullptr && sums != nullptr && failure == nullptr);
    LensLineChannel* const outer = current_lens_channel();
    set_current_lens_channel(&channel);
    if (comment != nullptr) channel.line(std::string("// ") + comment);
    channel.select(kSectionLen);
    write_lens_commands();
    channel.select(kSectionOpe);
    optimise_write_operands();
    channel.select(kSectionNone);
    set_current_lens_channel(outer);
    if (sums != nullptr) *sums = channel.sums();
    if (failure != nullptr) *failure = channel.failure();
    return lens_header_line(channel.sums()) + "\n" + channel.text();
}

LensSums lens_sums_in_memory() {
    LensLineChannel channel(true);
    LensLineChannel* const outer = current_lens_channel();
    set_current_lens_channel(&channel);
    channel.select(kSectionLen);
    write_lens_commands();
    channel.select(kSectionOpe);
    optimise_write_operands();
    channel.select(kSectionNone);
    set_current_lens_channel(outer);
    return channel.sums();
}

void record_reference_sums() {
    g_reference.sums = lens_sums_in_memory();
    g_reference.recorded = true;
}

int save_lens_file(const std::string& path) {
    int failure = 0;
    const std::string text = lens_file_text(nullptr, nullptr, &failure);
    if (failure != 0) return set_error_msg(failure, path.c_str());
    if (const int rc = write_whole_file(path, text, kMsgLensWriteFailed, kMsgNewLensWriteFailed);
        rc != 0)
        return rc;
    forget_imported_file();
    set_setting_text(kSetLensFile, path.c_str(), 0);
    update_mru_list(path);
    msg_box(kMsgLensFileSaved, path.c_str());
    return 0;
}

int open_lens_file(const std::string& path) {
    std::vector<std::string> lines;
    if (platform::read_text_lines(path, lines) != 0) {
        return set_error_msg(kMsgCannotOpenLensInput, path.c_str());
    }
    const int result = read_lens_lines(lines, nullptr);
    if (result != 0) return result;
    forget_imported_file();
    set_setting_text(kSetLensFile, path.c_str(), 0);
    update_mru_list(path);
    msg_box(kMsgLensFileOpened, path.c_str());
    return 0;
}

namespace {

// Whether the lens in memory differs from its file (or, without one, from the lens it started
// as); version gets the version of the file it would be saved over.
bool lens_changed_since_saved(std::string& version) {
    const LensSums now = lens_sums_in_memory();
    version = "3.00";
    const std::string file = setting_text(kSetLensFile);
    if (file.empty()) {
        // Without a start-up baseline there is nothing the lens could differ from.
        return g_reference.recorded && now != g_reference.sums;
    }
    LensHeader header;
    if (file_header(file, &header)) {
        version = header.version;
        return header.sums != now;
    }
    if (std::error_code ignored; !std::filesystem::exists(file, ignored)) {
        // A new lens named for a file not written yet is this version's own; unchanged since
        // it was made, there is nothing to save.
        version = kProgramVersion;
        return !(g_reference.recorded && now == g_reference.sums);
    }
    return true;
}

}  // namespace

bool lens_unsaved() {
    std::string version;
    return lens_changed_since_saved(version);
}

int save_if_changed() {
    // Asked whenever the lens changed: Revert_enable governs the revert copies only.
    std::string version;
    if (!lens_changed_since_saved(version)) return 0;
    const std::string file = setting_text(kSetLensFile);
    const int question =
        version == kProgramVersion ? kMsgSaveChangedLens : kMsgSaveChangedOldVersion;
    platform::MessageBoxRequest request;
    request.text = msg_text(question);
    request.title = msg_text(-109);
    request.buttons = platform::MessageButtons::yes_no_cancel;
    request.icon = platform::MessageIcon::question;
    request.default_answer = platform::MessageAnswer::yes;
    platform::UiBackend* ui = platform::current_ui();
    const platform::MessageAnswer answer =
        ui != nullptr ? ui->message_box(request) : platform::MessageAnswer::yes;
    if (answer == platform::MessageAnswer::cancel) return kStopped;
    if (answer == platform::MessageAnswer::no) return 1;
    // A lens imported from another program's file is never written over that file.
    const bool foreign = !file.empty() && file == imported_file();
    const int saved = run_command_string(file.empty() || foreign ? "file_save_as" : "file_save", 0);
    return saved == 0 ? 0 : kErrorTextReady;
}

void update_mru_list(const std::string& path) {
    std::vector<std::string> entries;
    for (int k = 0; k < kRecentFileCount; ++k)
        entries.push_back(setting_text(kSettingRecentFirst + k));
    const std::string key = lower_text(path);
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const std::string& e) { return lower_text(e) == key; });
    if (found == entries.end()) found = entries.end() - 1;
    entries.erase(found);
    entries.insert(entries.begin(), path);
    for (int k = 0; k < kRecentFileCount; ++k) {
        set_setting_text(kSettingRecentFirst + k, entries[static_cast<std::size_t>(k)].c_str(), 0);
    }
}

std::string lens_file_path(const std::string& folder, const std::string& name) {
    std::string file = name;
    std::replace(file.begin(), file.end(), '\\', '/');
    const std::size_t slash = file.find_last_of('/');
    const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    if (base.find('.') == std::string::npos) {
        file += get_setting_flag(kSetTavLensFileExtension) != 0 ? ".tav" : ".len";
    }
    if (platform::absolute_name(name)) return file;
    std::string where =
        folder == "." || folder.empty() ? setting_text(kSetCurrentDirectory) : folder;
    std::replace(where.begin(), where.end(), '\\', '/');
    if (!platform::absolute_name(where) && folder != "." && !folder.empty()) {
        const std::string lens_folder = setting_text(kSetCurrentDirectory);
        if (!lens_folder.empty()) where = lens_folder + "/" + where;
    }
    if (where.empty()) return file;
    if (where.back() != '/') where += '/';
    return where + file;
}

std::string revert_copy_path(int message) {
    std::string folder = platform::private_temp_folder();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    const char* name = msg_text(message);
    return folder + (name != nullptr ? name : "revert") + ".len";
}

int revert_copy_save(int message) {
    if (get_setting_flag(kSetRevertEnable) == 0) return 0;
    const std::string file = setting_text(kSetLensFile);
    int failure = 0;
    const std::string text = lens_file_text(file.c_str(), nullptr, &failure);
    const std::string path = revert_copy_path(message);
    if (failure != 0 || platform::write_file_atomically(path, text) != 0) {
        msg_box(kMsgRevertCopyFailed, path.c_str());
    }
    return 0;
}

int revert_copy_restore(int message, int mode) {
    if (get_setting_flag(kSetRevertEnable) == 0) return 0;
    const std::string path = revert_copy_path(message);
    if (mode == 0) {
        platform::remove_file(path);
        return 0;
    }
    static const int kSavedFlags[] = {kFlagLensEntryInProgress, kFlagSingleCommandUpdate,
                                      kFlagLevelChanges, kFlagGroupStarted, kFlagGroupInner};
    bool was_set[5] = {};
    for (int k = 0; k < 5; ++k) {
        was_set[k] = test_state_flag(kSavedFlags[k]) != 0;
        clear_state_flag(kSavedFlags[k]);
    }
    set_state_flag(kFlagRevertRestored);
    std::vector<std::string> lines;
    int result = platform::read_text_lines(path, lines) != 0
                     ? set_error_msg(kMsgCannotOpenLensInput, path.c_str())
                     : 0;
    std::string comment;
    if (result == 0) result = read_lens_lines(lines, &comment);
    if (result == 0) set_setting_text(kSetLensFile, comment.c_str(), 0);
    if (mode != -1) platform::remove_file(path);
    clear_state_flag(kFlagRevertRestored);
    for (int k = 0; k < 5; ++k) {
        if (was_set[k]) set_state_flag(kSavedFlags[k]);
    }
    return result;
}

int revert_copy_unchanged(int message) {
    if (get_setting_flag(kSetRevertEnable) == 0) return 1;
    LensHeader header;
    if (file_header(revert_copy_path(message), &header) && header.version == kProgramVersion &&
        header.sums == lens_sums_in_memory()) {
        return 1;
    }
    return ask_msg(kMsgRevertCopyQuestion);
}

int cmd_edit_or_revert() {
    if (current_command() != kCmdRevert) return 0;
    const std::string file = setting_text(kSetLensFile);
    if (file.empty()) return set_error_msg(kMsgNothingToRevert);
    const int asked = save_if_changed();
    if (asked == kStopped) return 0;
    if (asked == kErrorTextReady) return asked;
    set_state_flag(kFlagRevertRestored);
    // A lens imported from another program's file is read again by its own reader: the
    // native reader would take the foreign lines for lens commands.
    const int result = file == imported_file() ? reimport_lens_file() : open_lens_file(file);
    clear_state_flag(kFlagRevertRestored);
    return result;
}

int open_lens_file_dialog() {
    const int asked = save_if_changed();
    if (asked == kStopped) return 0;
    if (asked == kErrorTextReady) return asked;
    platform::FileDialogRequest request;
    request.title = msg_text(kMsgInsertDialogTitle);
    request.folder = setting_text(kSetCurrentDirectory);
    request.default_extension = "len";
    request.filters = {{"Lens files (*.len)", "*.len"}, {"All files (*.*)", "*.*"}};
    std::string path;
    if (const int chosen = ask_for_file(request, &path); chosen != 0) {
        return chosen == kStopped ? 0 : chosen;
    }
    const int opened = open_lens_file(path);
    const std::size_t slash = path.find_last_of('/');
    if (opened == 0 && slash != std::string::npos) {
        set_setting_text(kSetCurrentDirectory, path.substr(0, slash == 0 ? 1 : slash).c_str(), 0);
    }
    return opened;
}

int save_lens_file_as() {
    platform::FileDialogRequest request;
    request.save = true;
    request.title = msg_text(kMsgSaveDialogTitle);
    request.folder = setting_text(kSetCurrentDirectory);
    request.path = setting_text(kSetLensFile);
    request.default_extension = "len";
    request.filters = {{"Lens files (*.len)", "*.len"}, {"All files (*.*)", "*.*"}};
    std::string path;
    if (const int chosen = ask_for_file(request, &path); chosen != 0) {
        return chosen == kStopped ? 0 : chosen;
    }
    if (get_setting_flag(kSetTavLensFileExtension) != 0) {
        const std::size_t slash = path.find_last_of('/');
        const std::size_t dot = path.find_last_of('.');
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
            path += ".tav";
        } else if (lower_text(path.substr(dot)) == ".len") {
            path.replace(dot, std::string::npos, ".tav");
        }
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) {
        set_setting_text(kSetCurrentDirectory, path.substr(0, slash == 0 ? 1 : slash).c_str(), 0);
    }
    return save_lens_file(path);
}

int cmd_file_operations() {
    switch (current_command()) {
        case kCmdInsertFile:
            return insert_lens_file(lens_file_path(arg_string(0), arg_string(1)), arg_int(2));
        case kCmdSaveAs:
            return save_lens_file(lens_file_path(arg_string(0), arg_string(1)));
        case kCmdFileSave: {
            const std::string file = setting_text(kSetLensFile);
            return file.empty() || file == imported_file() ? save_lens_file_as()
                                                           : save_lens_file(file);
        }
        case kCmdFileSaveAs:
            return save_lens_file_as();
        case kCmdOpenDialog:
            return open_lens_file_dialog();
        case kCmdOpen: {
            if (arg_int(2) != 0) {
                const int asked = save_if_changed();
                if (asked == kStopped) return 0;
                if (asked == kErrorTextReady) return asked;
            }
            return open_lens_file(lens_file_path(arg_string(0), arg_string(1)));
        }
        case kCmdOldIndices: {
            std::vector<double> indices;
            for (int k = 0; k < arg_count(); ++k) {
                const ArgCell* c = arg_cell(k);
                if (c == nullptr || c->status != kArgGiven) break;
                indices.push_back(arg_double(k));
            }
            keep_old_surface_indices(lens_data().current_surface, indices);
            return 0;
        }
        default:
            return 0;
    }
}

void install_lens_file_commands() {
    set_handler(kSlotFileOperations, cmd_file_operations);
    set_handler(kSlotEditOrRevert, cmd_edit_or_revert);
}

namespace {
void reset_lens_file_commands() {
    g_reference.sums = LensSums{};
    g_reference.recorded = false;
}
const platform::StateReset lens_file_commands_state_reset{
    "lens/lens_file_commands", reset_lens_file_commands, platform::ResetLayer::lens};
}  // namespace
