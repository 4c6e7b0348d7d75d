#include "runtime/folder_lists.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/status.h"
#include "platform/text_file.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/table_lists.h"
#include "runtime/text_case.h"

namespace {

constexpr int kScanTableCapacity = 1502;
constexpr int kLensPatternList = 622;
constexpr int kExtensionTypeList = 1183;
constexpr int kOtherPatternList = 1184;
constexpr int kTypeLens = 1;
constexpr int kTypeSource = 2;
constexpr int kTypeCommandFile = 3;
constexpr int kMsgDialogFailed = -123;

// The names of the list shown last, and the handlers installed at start.
struct FolderListsState {
    std::vector<std::string> names;
    CommandHandler other_file_operations = nullptr;
    ListWindowShower list_window = nullptr;
};

FolderListsState g_folder_lists;

// The pattern of list entries whose second text is the type (the first entry when none is).
std::string type_pattern(int type) {
    const int saved = current_list();
    select_list(type == kTypeLens ? kLensPatternList : kOtherPatternList);
    const std::string wanted = std::to_string(type);
    std::string pattern;
    for (int i = 0; i < current_list_count(); ++i) {
        const char* first = current_list_first(i);
        const char* second = current_list_second(i);
        if (first == nullptr) continue;
        if (pattern.empty()) pattern = first;
        if (second != nullptr && wanted == second) {
            pattern = first;
            break;
        }
    }
    select_list(saved);
    return pattern.empty() ? "*.*" : pattern;
}

// The extension (with its point) of a type: the first entry of the file-type list naming it.
std::string type_extension(int type) {
    if (type == kTypeLens) return get_setting_flag(kSetTavLensFileExtension) != 0 ? ".tav" : ".len";
    const int saved = current_list();
    select_list(kExtensionTypeList);
    std::string extension;
    const std::string wanted = std::to_string(type);
    for (int i = 0; i < current_list_count(); ++i) {
        const char* second = current_list_second(i);
        if (second != nullptr && wanted == second && current_list_first(i) != nullptr) {
            extension = std::string(".") + current_list_first(i);
            break;
        }
    }
    select_list(saved);
    return extension;
}

// Every listed name as both the text and the value of the current list.
void offer_names() {
    start_built_list();
    for (const std::string& name : g_folder_lists.names) add_built_list_entry(name, name);
}

int delete_named_file(const std::string& path) {
    if (!platform::path_exists(path) || platform::is_folder(path) ||
        platform::remove_file(path) != 0) {
        return set_error_msg(kMsgFileNotDeleted, path.c_str());
    }
    msg_box(kMsgFileDeleted, path.c_str());
    return 0;
}

int make_named_folder(const std::string& name) {
    // A point would make the folder look like a file of a type.
    if (name.empty() || name.find('.') != std::string::npos) {
        return set_error_msg(kMsgFolderRefused, name.c_str());
    }
    const std::string path = platform::absolute_name(name)
                                 ? platform::to_native_path(name)
                                 : platform::join_path(file_type_folder(kTypeLens, 1), name);
    if (platform::path_exists(path)) return set_error_msg(kMsgFolderExists, path.c_str());
    const int made = platform::make_folder(path);
    if (made == platform::kAccessDenied) return set_error_msg(kMsgFolderAccessDenied, path.c_str());
    if (made != 0) return set_error_msg(kMsgFolderRefused, path.c_str());
    msg_box(kMsgFolderMade, path.c_str());
    return 0;
}

int remove_named_folder(int folder_kind, const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return set_error_msg(kMsgFolderNotRemoved, name.c_str());
    }
    const std::string path =
        platform::absolute_name(name)
            ? platform::to_native_path(name)
            : platform::join_path(file_type_folder(kTypeLens, folder_kind), name);
    const int removed = platform::is_folder(path) ? platform::remove_empty_folder(path)
                                                  : static_cast<int>(platform::kNotFound);
    if (removed == platform::kAccessDenied) {
        return set_error_msg(kMsgFolderAccessDenied, path.c_str());
    }
    if (removed != 0) return set_error_msg(kMsgFolderNotRemoved, path.c_str());
    msg_box(kMsgFolderRemoved, path.c_str());
    return 0;
}

}  // namespace

int scan_folder(std::vector<std::string>& names, const std::string& folder, int capacity, int mode,
                const std::string& pattern) {
    names.clear();
    if (capacity <= 0 || capacity > kScanTableCapacity) capacity = kScanTableCapacity;
    std::vector<platform::FolderEntry> folders, files;
    int status = platform::list_folder(folder, "*", platform::kListFolders, folders);
    if (status == 0 && mode != kListFolderNames) {
        status = platform::list_folder(folder, pattern.empty() ? "*.*" : pattern,
                                       platform::kListFiles, files);
    }
    if (status != 0) {
        set_error_msg(kMsgFolderScanFailed, folder.c_str(), status);
        return kErrorTextReady;
    }
    // The scan table holds at most capacity names, folders first; each keeps 32 characters
    // (a folder's leading blank among them).
    std::vector<std::string> folder_names, file_names;
    const std::size_t limit = static_cast<std::size_t>(capacity);
    for (const auto& e : folders) {
        if (folder_names.size() >= limit) break;
        folder_names.push_back(e.name.substr(0, kListedNameLength - 1));
    }
    for (const auto& e : files) {
        if (folder_names.size() + file_names.size() >= limit) break;
        file_names.push_back(e.name.substr(0, kListedNameLength));
    }
    const auto by_name = [](const std::string& a, const std::string& b) {
        const std::string la = lower_text(a), lb = lower_text(b);
        return la != lb ? la < lb : a < b;
    };
    std::sort(folder_names.begin(), folder_names.end(), by_name);
    std::sort(file_names.begin(), file_names.end(), by_name);
    if (mode == kListFolderNames) {
        names.push_back("..");
        names.insert(names.end(), folder_names.begin(), folder_names.end());
    } else {
        if (mode == kListFoldersAndFiles) {
            for (const std::string& f : folder_names) names.push_back("[" + f + "]");
        }
        names.insert(names.end(), file_names.begin(), file_names.end());
    }
    return static_cast<int>(names.size()) >= capacity - 2 ? kMsgNameListFull : 0;
}

int file_type_of(const char* path) {
    if (path == nullptr) return 0;
    const std::string name = platform::file_name_part(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 >= name.size()) return 0;
    const std::string extension = lower_text(name.substr(dot + 1));
    const int saved = current_list();
    select_list(kExtensionTypeList);
    int type = 0;
    for (int i = 0; i < current_list_count(); ++i) {
        const char* first = current_list_first(i);
        const char* second = current_list_second(i);
        if (first != nullptr && second != nullptr && lower_text(first) == extension) {
            type = std::atoi(second);
            break;
        }
    }
    select_list(saved);
    return type;
}

std::string file_type_folder(int type, int folder_kind) {
    if (folder_kind != 2 && (type == kTypeSource || type == kTypeCommandFile)) {
        const std::string base =
            setting_text(folder_kind == 1 ? kSetPrivateDirectory : kSetPublicDirectory);
        return platform::join_path(base, type == kTypeSource ? "kpl" : "scp");
    }
    if (type == kTypeLens || type == 0) return setting_text(kSetCurrentDirectory);
    return setting_text(kSetCurrentTextDirectory);
}

std::string file_type_path(int type, int folder_kind, const std::string& name) {
    std::string path = platform::absolute_name(name)
                           ? platform::to_native_path(name)
                           : platform::join_path(file_type_folder(type, folder_kind), name);
    const std::string last = platform::file_name_part(path);
    if (last.find('.') == std::string::npos) path += type_extension(type);
    return path;
}

int build_file_list(int type, int folder_kind, const char* sub_folder, bool quiet, int mode) {
    start_built_list();
    g_folder_lists.names.clear();
    const std::string pattern = type_pattern(type);
    std::string folder = file_type_folder(type, folder_kind);
    if (sub_folder != nullptr && *sub_folder != '\0')
        folder = platform::join_path(folder, sub_folder);
    std::vector<std::string> names;
    const int scanned = scan_folder(names, folder, kNameTableCapacity, mode, pattern);
    if (scanned == kMsgNameListFull) return set_error_msg(kMsgNameListFull, kNameTableCapacity);
    if (scanned != 0) return kErrorTextReady;
    g_folder_lists.names = std::move(names);
    offer_names();
    if (!quiet) {
        print_msg(kMsgFolderListed, folder.c_str());
        if (g_folder_lists.list_window != nullptr) {
            g_folder_lists.list_window();
        } else {
            for (const std::string& name : g_folder_lists.names) text_printf("%s\n", name.c_str());
        }
    }
    return 0;
}

const std::vector<std::string>& listed_names() {
    return g_folder_lists.names;
}

int cmd_list_folders() {
    if (current_command() == kCmdRemoveFolder) {
        return build_file_list(kTypeLens, arg_int(0), nullptr, true, kListFolderNames);
    }
    return build_file_list(arg_int(0), arg_int(1), nullptr, true, kListFolderNames);
}

int cmd_list_files() {
    const std::string sub = arg_string(2);
    return build_file_list(arg_int(0), arg_int(1), sub.c_str(), true, kListFileNames);
}

int cmd_change_directory() {
    const std::string wanted = arg_string(1);
    const int kind = arg_int(0);
    if (!wanted.empty()) {
        const int from_setting = kind == 2 ? kSetCurrentTextDirectory : kSetCurrentDirectory;
        std::string folder = wanted;
        std::replace(folder.begin(), folder.end(), '\\', '/');
        if (!platform::absolute_name(folder)) {
            std::string base = setting_text(from_setting);
            if (base.empty()) base = ".";
            folder = base + "/" + folder;
        }
        folder = std::filesystem::path(folder).lexically_normal().generic_string();
        if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (!platform::is_folder(folder)) return set_error_msg(kMsgNoSuchFolder, wanted.c_str());
        if (kind != 2) set_setting_text(kSetCurrentDirectory, folder.c_str(), 0);
        if (kind != 1) set_setting_text(kSetCurrentTextDirectory, folder.c_str(), 0);
    }
    const int output = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn, 1);
    print_msg(kMsgCurrentFolders, setting_text(kSetCurrentDirectory).c_str(),
              setting_text(kSetCurrentTextDirectory).c_str());
    set_setting_flag(kSetOutputOn, output);
    return 0;
}

int ask_for_file(platform::FileDialogRequest& request, std::string* path) {
    platform::UiBackend* ui = platform::current_ui();
    if (request.help_topic == 0) request.help_topic = kHelpTopicFileDialog;
    if (request.private_help_topic == 0) request.private_help_topic = kHelpTopicPrivateFolderButton;
    if (request.public_help_topic == 0) request.public_help_topic = kHelpTopicPublicFolderButton;
    const platform::DialogResult result =
        ui != nullptr ? ui->file_dialog(request) : platform::DialogResult::failed;
    if (result == platform::DialogResult::cancelled) {
        msg_box(kMsgCancelledDialog);
        return kStopped;
    }
    if (result != platform::DialogResult::ok || request.path.empty()) {
        return set_error_msg(kMsgDialogFailed, 0);
    }
    *path = request.path;
    std::replace(path->begin(), path->end(), '\\', '/');
    return 0;
}

int cmd_folder_operations() {
    switch (current_command()) {
        case kCmdListFiles: {
            const std::string sub = arg_string(2);
            return build_file_list(arg_int(0), arg_int(1), sub.c_str(), false, kListFileNames);
        }
        case kCmdDeleteFile:
            return delete_named_file(file_type_path(arg_int(0), arg_int(1), arg_string(2)));
        case kCmdMakeFolder:
            return make_named_folder(arg_string(0));
        case kCmdRemoveFolder:
            return remove_named_folder(arg_int(0), arg_string(1));
        default:
            return g_folder_lists.other_file_operations != nullptr
                       ? g_folder_lists.other_file_operations()
                       : 0;
    }
}

void set_list_window_shower(ListWindowShower shower) {
    g_folder_lists.list_window = shower;
}

void install_folder_lists() {
    set_handler(kSlotListFolders, cmd_list_folders);
    set_handler(kSlotListFiles, cmd_list_files);
    set_handler(kSlotChangeDirectory, cmd_change_directory);
    // The other file commands share the slot: whatever handler held it serves them still.
    CommandHandler previous = handler_table().slots[kSlotFileOperations];
    if (previous != cmd_folder_operations) g_folder_lists.other_file_operations = previous;
    set_handler(kSlotFileOperations, cmd_folder_operations);
}

int write_whole_file(const std::string& path, const std::string& text, int failed_kept,
                     int failed_new) {
    // Asked before the write: a failed save must not promise to keep a file that never was.
    const bool had_file = platform::path_exists(path) && !platform::is_folder(path);
    platform::AtomicFileWriter writer;
    int status = writer.open(path);
    if (status == 0) status = writer.write(text);
    if (status == 0) status = writer.commit();
    if (status == 0) return 0;
    writer.discard();
    return set_error_msg(had_file ? failed_kept : failed_new, path.c_str(),
                         writer.reason().c_str());
}

int report_write_failure(const std::string& name, const platform::AtomicFileWriter& writer) {
    // A failed write never touches the file, so a file there now was there before.
    const std::string& target = writer.target();
    const bool had_file =
        !target.empty() && platform::path_exists(target) && !platform::is_folder(target);
    const std::string reason = writer.reason().empty() ? "failed" : writer.reason();
    return set_error_msg(had_file ? kMsgTextWriteFailed : kMsgNewTextWriteFailed, name.c_str(),
                         reason.c_str());
}

namespace {
// The handlers installed at start stay; the names of the last list go.
void reset_folder_lists() {
    std::vector<std::string>().swap(g_folder_lists.names);
}
const platform::StateReset folder_lists_state_reset{"runtime/folder_lists", reset_folder_lists,
                                                    platform::ResetLayer::runtime};
}  // namespace
