// The user profile: a small ini file that stands in for the per-user Windows profile, where the
// program keeps what belongs to the user rather than to an installation (the data folder, key
// "TVDATA" in the section named by the program title and version).
//
// Location, first that applies:
//   1. $TAVO_PROFILE (a file path; tests point it into a temporary folder),
//   2. $XDG_CONFIG_HOME/tavo/profile.ini (when XDG_CONFIG_HOME is set to an absolute path),
//   3. $HOME/.config/tavo/profile.ini.
// A missing file reads as empty; writing creates the file and its folder.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The profile file's path by the rules above; empty when none applies (no HOME).
std::string user_profile_path();

// The value of a key, or default_text when the profile, section or key is missing.
std::string user_profile_get(std::string_view section, std::string_view key,
                             std::string_view default_text);

// Sets a key (sections and keys matched without regard to case), creating the file and its
// folder when missing; 0 or a status (platform/status.h).
int user_profile_put(std::string_view section, std::string_view key, std::string_view value);

}  // namespace platform
