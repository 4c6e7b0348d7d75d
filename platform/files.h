// Files and folders: listing with a wildcard pattern, making and removing, renaming, and the
// facts the program asks about a file. Names may use '\' as separator (converted). Functions that
// can fail return 0 or a status code (platform/status.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FolderEntry {
    std::string name;  // the entry's name within the folder
    bool is_folder = false;
};

enum ListKinds : unsigned { kListFiles = 1, kListFolders = 2, kListAll = 3 };

// True when a name matches a pattern of '*' (any run of characters) and '?' (one character),
// compared without regard to case. As on the system the program came from, a pattern ending in
// ".*" also matches names without a dot ("*.*" matches every name).
bool wildcard_match(std::string_view pattern, std::string_view name);

// The entries of a folder whose names match the pattern, of the kinds asked for, sorted by name
// without regard to case; "." and ".." are never listed. 0, kNotFound (no such folder) or
// another status.
int list_folder(const std::string& folder, std::string_view pattern, unsigned kinds,
                std::vector<FolderEntry>& entries);

// Makes a folder and any missing parents; an existing folder is success.
int make_folder(const std::string& path);
// Removes a file (not a folder).
int remove_file(const std::string& path);
// Removes an empty folder; kNotEmpty when it still holds entries.
int remove_empty_folder(const std::string& path);
// Renames a file or folder; an existing file of the new name is replaced.
int rename_path(const std::string& old_path, const std::string& new_path);

bool path_exists(const std::string& path);
bool is_folder(const std::string& path);
// Last modification time in seconds since the epoch.
int modification_time(const std::string& path, std::int64_t& seconds);
// Size of a file in bytes.
int file_size(const std::string& path, std::uint64_t& size);

// A folder for the program's temporary files, private to the user (mode 0700), made once per run
// under $TMPDIR (or /tmp) and removed with its contents when the program ends. Empty when it
// cannot be made.
std::string private_temp_folder();

}  // namespace platform
