#include "runtime/program_arguments.h"

#include <filesystem>

#include "platform/paths.h"
#include "platform/state_reset.h"

namespace {

std::vector<std::string> g_arguments;
std::string g_base_name;
std::string g_start_folder;

}  // namespace

void set_program_arguments(int argc, const char* const* argv) {
    std::error_code ignored;
    g_start_folder = std::filesystem::current_path(ignored).generic_string();
    g_arguments.clear();
    for (int i = 0; argv != nullptr && i < argc; ++i) {
        g_arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    if (argc > 0 && argv != nullptr && argv[0] != nullptr) {
        std::string base = platform::file_name_part(argv[0]);
        const std::size_t dot = base.rfind('.');
        if (dot != std::string::npos && dot > 0) base.resize(dot);
        if (base.size() > 80) base.resize(80);
        g_base_name = base;
    }
}

const std::string& program_base_name() {
    return g_base_name;
}

const std::vector<std::string>& program_arguments() {
    return g_arguments;
}

const std::string& start_folder() {
    return g_start_folder;
}

void reset_program_arguments() {
    g_start_folder.clear();
    g_arguments.clear();
    g_base_name.clear();
}

namespace {
const platform::StateReset program_arguments_state_reset{
    "runtime/program_arguments", reset_program_arguments, platform::ResetLayer::runtime};
}  // namespace
