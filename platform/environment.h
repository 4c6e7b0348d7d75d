// The running program and its environment: the folder it was started from and the environment
// variables it reads and passes on to child processes (TVROOT, TVDATA, ...).
#pragma once

#include <optional>
#include <string>

namespace platform {

// The folder of the running executable (resolved through /proc/self/exe, no trailing '/');
// empty when it cannot be found.
std::string program_folder();

// The value of an environment variable, or nullopt when it is not set (an empty value is set).
std::optional<std::string> environment_get(const std::string& name);

// Sets a variable for this process and the children it starts; 0 or kBadArgument (empty name,
// '=' in the name) or kFailed.
int environment_set(const std::string& name, const std::string& value);

// Removes a variable; removing one that is not set succeeds. 0 or kBadArgument or kFailed.
int environment_unset(const std::string& name);

}  // namespace platform
