#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <algorithm>
#include <cctype>
#include <vector>

namespace platform {

std::string to_native_path(std::string_view name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string join_path(std::string_view folder, std::string_view name) {
    std::string tail = to_native_path(name);
    if (folder.empty() || (!tail.empty() && tail.front() == '/')) return tail;
    std::string path = to_native_path(folder);
    while (!tail.empty() && tail.front() == '/') tail.erase(0, 1);
    if (path.back() != '/') path += '/';
    return path + tail;
}

bool absolute_name(std::string_view name) {
    return !name.empty() &&
           (name[0] == '/' || name[0] == '\\' || name.find(':') != std::string_view::npos);
}

std::string file_name_part(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The entry of `folder` whose name equals `component` without regard to case; when several do
// (possible on a case-sensitive file system), the first in byte order, so the choice is stable.
std::string match_in_folder(const std::string& folder, const std::string& component) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return {};
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir)) {
        if (equal_ignoring_case(entry->d_name, component)) matches.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    if (matches.empty()) return {};
    return *std::min_element(matches.begin(), matches.end());
}

}  // namespace

std::string find_path_ignoring_case(std::string_view name) {
    const std::string path = to_native_path(name);
    if (path.empty()) return {};
    if (exists(path)) return path;

    // Walk the path from its start, keeping components that exist as named and matching the
    // others among their folder's entries.
    std::string built = path.front() == '/' ? "/" : "";
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;
        std::string candidate = built;
        if (!candidate.empty() && candidate.back() != '/') candidate += '/';
        if (component == "." || component == ".." || exists(candidate + component)) {
            built = candidate + component;
            continue;
        }
        const std::string real = match_in_folder(built, component);
        if (real.empty()) return {};
        built = candidate + real;
    }
    return exists(built) ? built : std::string();
}

}  // namespace platform
