// File names as the program handles them. Paths are built with '/'; names that come from stored
// files or from the user may use '\' as separator and are converted before use. Shipped files may
// be named in a different case than the code asks for (they came from a case-insensitive file
// system), so lookups of shipped files can fall back to a case-insensitive search.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The name with every '\' turned into '/'.
std::string to_native_path(std::string_view name);

// folder + '/' + name, with '\' in either converted; no doubled separator. An empty folder gives
// the name alone; an absolute name (starting with '/') is returned as it is.
std::string join_path(std::string_view folder, std::string_view name);

// Whether a stored or typed name names its file from the root: it starts with '/' or '\', or
// holds a ':' (a drive letter or other prefix a name from Windows carries).
bool absolute_name(std::string_view name);

// The last component of a path ('/' or '\' separated), e.g. "lens.len" of "a/b\lens.len".
std::string file_name_part(std::string_view path);

// Finds an existing file or folder: the path as named (after conversion) when it exists, else
// the path with each component that does not exist matched without regard to case among the
// entries of its folder. Returns the real path, or an empty string when nothing matches.
std::string find_path_ignoring_case(std::string_view path);

}  // namespace platform
