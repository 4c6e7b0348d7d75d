#include "platform/help_viewer.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>

#include "platform/child_process.h"

namespace platform {

namespace {

constexpr char kDesktopOpener[] = "xdg-open";

struct HelpViewerState {
    HelpRequestHandler handler = nullptr;
};

HelpViewerState& help_viewer_state() {
    static HelpViewerState state;
    return state;
}

bool is_regular_file(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string help_file_address(const std::string& path, const std::string& anchor) {
    std::string address = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            address += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            address += escaped;
        }
    }
    return address + "#" + anchor;
}

bool open_help(const std::string& path, const std::string& anchor) {
    if (!is_regular_file(path)) return false;
    const std::string target = anchor.empty() ? path : help_file_address(path, anchor);
    return run_program({kDesktopOpener, target}, 0) == 0;
}

void set_help_request_handler(HelpRequestHandler handler) {
    help_viewer_state().handler = handler;
}

void request_help(int topic) {
    if (help_viewer_state().handler != nullptr) help_viewer_state().handler(topic);
}

}  // namespace platform
