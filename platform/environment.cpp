#include "platform/environment.h"

#include <limits.h>
#include <unistd.h>
#include <cstdlib>

#include "platform/status.h"

namespace platform {

std::string program_folder() {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
    buffer.resize(static_cast<std::size_t>(length));
    const std::size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    buffer.resize(slash);
    return buffer;
}

std::optional<std::string> environment_get(const std::string& name) {
    if (name.empty()) return std::nullopt;
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

namespace {

bool valid_name(const std::string& name) {
    return !name.empty() && name.find('=') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

int environment_set(const std::string& name, const std::string& value) {
    if (!valid_name(name) || value.find('\0') != std::string::npos) return kBadArgument;
    return ::setenv(name.c_str(), value.c_str(), 1) == 0 ? kOk : kFailed;
}

int environment_unset(const std::string& name) {
    if (!valid_name(name)) return kBadArgument;
    return ::unsetenv(name.c_str()) == 0 ? kOk : kFailed;
}

}  // namespace platform
