// One run of the message compiler: options, folders, sources, base table, compile, write. The
// exit code is 0 on success and 8 on any failure; nothing here ends the process.
#pragma once

#include <string>
#include <vector>

namespace vdm {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 8;
inline constexpr int kSourceLimit = 19;
inline constexpr int kDefinitionLimit = 8;
inline constexpr std::size_t kDefinitionTextLimit = 48;

// Runs with the arguments after the program name; diagnostics go to the "-m" file or to
// standard output.
int run(const std::vector<std::string>& args);

}  // namespace vdm
