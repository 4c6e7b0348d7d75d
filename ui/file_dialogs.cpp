#include "ui/file_dialogs.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/messages.h"
#include "runtime/table_lists.h"

namespace {

constexpr int kModeSave = 1;
constexpr int kModeErase = 2;
constexpr int kModeEditWindow = 4;

struct Folders {
    std::string title;
    std::string private_label = "P&rivate";
    std::string private_folder;
    std::string public_label = "P&ublic";
    std::string public_folder;
};

Folders g;

// The folder of a type: the bare folder for "*", else folder/extension.
std::string type_folder(const std::string& base, const std::string& extension) {
    if (extension == "*" || extension.empty()) return base;
    return platform::join_path(base, extension);
}

std::string extension_of(const char* pattern) {
    const char* dot = pattern != nullptr ? std::strrchr(pattern, '.') : nullptr;
    return dot != nullptr ? std::string(dot + 1) : std::string();
}

}  // namespace

void set_file_dialog_folders(const char* title, const char* private_label,
                             const char* private_folder, const char* public_label,
                             const char* public_folder) {
    g.title = title != nullptr ? title : "";
    if (private_label != nullptr) g.private_label = private_label;
    g.private_folder = private_folder != nullptr ? private_folder : "";
    if (public_label != nullptr) g.public_label = public_label;
    g.public_folder = public_folder != nullptr ? public_folder : "";
}

int file_dialog(int* type, int mode, int type_list, int filter_list, const char* title,
                std::string& folder, std::string& path) {
    platform::UiBackend* ui = platform::current_ui();
    const int wanted = type != nullptr ? *type : 0;
    select_list(type_list);
    std::string extension;
    bool found = false;
    for (int k = 0; k < current_list_count(); ++k) {
        const char* number = current_list_second(k);
        if (number != nullptr && std::atoi(number) == wanted) {
            extension = extension_of(current_list_first(k));
            found = true;
            break;
        }
    }
    if (!found) return set_error_msg(kMsgFileDialogFailed, 1);

    platform::FileDialogRequest request;
    select_list(filter_list);
    int index = -1;
    std::vector<int> numbers;
    for (int k = 0; k < current_list_count(); ++k) {
        const std::string first = current_list_first(k) != nullptr ? current_list_first(k) : "";
        const std::size_t comma = first.find(',');
        request.filters.push_back(
            {first.substr(0, comma), comma == std::string::npos ? "*" : first.substr(comma + 1)});
        const char* number = current_list_second(k);
        numbers.push_back(number != nullptr ? std::atoi(number) : -1);
        if (numbers.back() == wanted && index < 0) index = k;
    }
    if (index < 0) return set_error_msg(kMsgFileDialogFailed, 2);

    const int kind = mode & ~kModeEditWindow;
    request.save = kind == kModeSave;
    request.title = title != nullptr && title[0] != '\0' ? title : g.title;
    request.folder = folder;
    request.default_extension = extension == "*" ? std::string() : extension;
    request.filter_index = index;
    if (request.save) {
        const std::size_t cut = path.find_last_of("/\\");
        request.path = cut == std::string::npos ? path : path.substr(cut + 1);
    }
    if (kind == kModeErase) request.ok_label = "Erase";
    request.private_label = g.private_label;
    request.private_folder = type_folder(g.private_folder, extension);
    request.public_label = g.public_label;
    request.public_folder = type_folder(g.public_folder, extension);
    request.help_topic = kHelpTopicFileDialog;
    request.private_help_topic = kHelpTopicPrivateFolderButton;
    request.public_help_topic = kHelpTopicPublicFolderButton;
    const platform::DialogResult result =
        ui != nullptr ? ui->file_dialog(request) : platform::DialogResult::failed;
    if (result == platform::DialogResult::cancelled) return kFileDialogCancelled;
    if (result != platform::DialogResult::ok) return set_error_msg(kMsgFileDialogFailed, 0);
    path = request.path;
    const std::size_t cut = path.find_last_of("/\\");
    if (cut != std::string::npos) folder = path.substr(0, cut);
    if (type != nullptr && request.filter_index >= 0 &&
        request.filter_index < static_cast<int>(numbers.size())) {
        *type = numbers[static_cast<std::size_t>(request.filter_index)];
    }
    return 0;
}

void reset_file_dialogs() {
    g = Folders{};
}

namespace {
const platform::StateReset file_dialogs_state_reset{"ui/file_dialogs", reset_file_dialogs,
                                                    platform::ResetLayer::ui};
}  // namespace
