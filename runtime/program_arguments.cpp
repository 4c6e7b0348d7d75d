#include "runtime/program_arguments.h"

#include <filesystem>

#include "platform/paths.h"
#include "platform/state_reset.h"

namespace {

// The program's arguments, its base name and the folder it started in.
struct ProgramArguments {
    std::vector<std::string> arguments;
    std::string base_name;
    std::string start_folder;
};

ProgramArguments g_program;

}  // namespace

void set_program_arguments(int argc, const char* const* argv) {
    std::error_code ignored;
    g_program.start_folder = std::filesystem::current_path(ignored).generic_string();
    g_program.arguments.clear();
    for (int i = 0; argv != nullptr && i < argc; ++i) {
        g_program.arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    if (argc > 0 && argv != nullptr && argv[0] != nullptr) {
        std::string base = platform::file_name_part(argv[0]);
        const std::size_t dot = base.rfind('.');
        if (dot != std::string::npos && dot > 0) base.resize(dot);
        if (base.size() > 80) base.resize(80);
        g_program.base_name = base;
    }
}

const std::string& program_base_name() {
    return g_program.base_name;
}

const std::vector<std::string>& program_arguments() {
    return g_program.arguments;
}

const std::string& start_folder() {
    return g_program.start_folder;
}

void reset_program_arguments() {
    g_program = ProgramArguments{};
}

namespace {
const platform::StateReset program_arguments_state_reset{
    "runtime/program_arguments", reset_program_arguments, platform::ResetLayer::runtime};
}  // namespace
