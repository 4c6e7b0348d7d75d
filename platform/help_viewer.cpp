#include "platform/help_viewer.h"

#include <sys/stat.h>

#include "platform/child_process.h"

namespace platform {

namespace {

constexpr char kDesktopOpener[] = "xdg-open";

bool is_regular_file(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool open_help(const std::string& path, int mode, int context) {
    (void)mode;
    (void)context;
    if (!is_regular_file(path)) return false;
    return run_program({kDesktopOpener, path}, 0) == 0;
}

}  // namespace platform
