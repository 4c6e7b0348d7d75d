#include "platform/files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/status.h"

namespace platform {

namespace {

unsigned char fold(char c) {
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

// '*' and '?' matching without regard to case, with backtracking to the last '*' only, so the
// cost stays linear in practice and never explodes on many stars.
bool match_plain(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

int stat_path(const std::string& path, struct stat& info) {
    if (::stat(to_native_path(path).c_str(), &info) != 0) return status_from_errno(errno);
    return kOk;
}

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name) {
    if (match_plain(pattern, name)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return match_plain(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

int list_folder(const std::string& folder, std::string_view pattern, unsigned kinds,
                std::vector<FolderEntry>& entries) {
    entries.clear();
    const std::string path = folder.empty() ? std::string(".") : to_native_path(folder);
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return status_from_errno(errno);
    const int dir_fd = ::dirfd(dir);
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!wildcard_match(pattern, name)) continue;
        bool folder_entry = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info;
            if (::fstatat(dir_fd, entry->d_name, &info, 0) != 0) continue;  // dangling link
            folder_entry = S_ISDIR(info.st_mode);
        }
        if ((folder_entry && (kinds & kListFolders)) || (!folder_entry && (kinds & kListFiles))) {
            entries.push_back({std::string(name), folder_entry});
        }
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0) {
        entries.clear();
        return status_from_errno(error);
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(),
                                            b.name.end(),
                                            [](char x, char y) { return fold(x) < fold(y); });
    });
    return kOk;
}

int make_folder(const std::string& path) {
    std::string native = to_native_path(path);
    if (native.empty()) return kBadArgument;
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    if (::mkdir(native.c_str(), 0777) == 0) return kOk;
    if (errno == EEXIST) return is_folder(native) ? kOk : kAlreadyExists;
    if (errno != ENOENT) return status_from_errno(errno);
    const std::size_t slash = native.rfind('/');
    if (slash == std::string::npos || slash == 0) return kNotFound;
    if (int status = make_folder(native.substr(0, slash)); status != kOk) return status;
    if (::mkdir(native.c_str(), 0777) == 0 || (errno == EEXIST && is_folder(native))) return kOk;
    return status_from_errno(errno);
}

int remove_file(const std::string& path) {
    const std::string native = to_native_path(path);
    struct stat info;
    if (::lstat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return kBadArgument;
    return ::unlink(native.c_str()) == 0 ? kOk : status_from_errno(errno);
}

int remove_empty_folder(const std::string& path) {
    if (::rmdir(to_native_path(path).c_str()) == 0) return kOk;
    return errno == EEXIST ? kNotEmpty : status_from_errno(errno);
}

int rename_path(const std::string& old_path, const std::string& new_path) {
    if (std::rename(to_native_path(old_path).c_str(), to_native_path(new_path).c_str()) == 0) {
        return kOk;
    }
    return errno == EEXIST ? kNotEmpty : status_from_errno(errno);
}

bool path_exists(const std::string& path) {
    struct stat info;
    return stat_path(path, info) == kOk;
}

bool is_folder(const std::string& path) {
    struct stat info;
    return stat_path(path, info) == kOk && S_ISDIR(info.st_mode);
}

int modification_time(const std::string& path, std::int64_t& seconds) {
    struct stat info;
    if (int status = stat_path(path, info); status != kOk) return status;
    seconds = static_cast<std::int64_t>(info.st_mtime);
    return kOk;
}

int file_size(const std::string& path, std::uint64_t& size) {
    struct stat info;
    if (int status = stat_path(path, info); status != kOk) return status;
    if (S_ISDIR(info.st_mode)) return kBadArgument;
    size = static_cast<std::uint64_t>(info.st_size);
    return kOk;
}

namespace {

std::string& temp_folder_of_run() {
    static std::string folder;
    return folder;
}

void remove_temp_folder_at_exit() {
    std::error_code ignored;
    if (!temp_folder_of_run().empty()) std::filesystem::remove_all(temp_folder_of_run(), ignored);
}

}  // namespace

std::string private_temp_folder() {
    std::string& folder = temp_folder_of_run();
    if (!folder.empty() && is_folder(folder)) return folder;
    std::string base = "/tmp";
    if (auto tmpdir = environment_get("TMPDIR");
        tmpdir && !tmpdir->empty() && tmpdir->front() == '/' && is_folder(*tmpdir)) {
        base = *tmpdir;
    }
    std::string pattern = join_path(base, "tavo-" + std::to_string(::getuid()) + "-XXXXXX");
    // mkdtemp makes the folder with mode 0700 under a name no one else can have chosen.
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    static bool cleanup_registered = false;
    if (!cleanup_registered) cleanup_registered = std::atexit(remove_temp_folder_at_exit) == 0;
    folder = pattern;
    return folder;
}

}  // namespace platform
