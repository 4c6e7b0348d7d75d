#include "platform/user_profile.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/status.h"

namespace platform {

namespace {

std::string profile_in(const std::string& config_folder) {
    return join_path(config_folder, "tavo/profile.ini");
}

}  // namespace

std::string user_profile_path() {
    if (auto file = environment_get("TAVO_PROFILE"); file && !file->empty()) {
        return to_native_path(*file);
    }
    if (auto config = environment_get("XDG_CONFIG_HOME");
        config && !config->empty() && config->front() == '/') {
        return profile_in(*config);
    }
    if (auto home = environment_get("HOME"); home && !home->empty()) {
        return profile_in(join_path(*home, ".config"));
    }
    return {};
}

std::string user_profile_get(std::string_view section, std::string_view key,
                             std::string_view default_text) {
    const std::string path = user_profile_path();
    if (path.empty()) return std::string(default_text);
    return ini_get_text(path, section, key, default_text);
}

int user_profile_put(std::string_view section, std::string_view key, std::string_view value) {
    const std::string path = user_profile_path();
    if (path.empty()) return kNotFound;
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        if (int status = make_folder(path.substr(0, slash)); status != kOk) return status;
    }
    return ini_put_text(path, section, key, value);
}

}  // namespace platform
