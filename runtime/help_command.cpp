#include "runtime/help_command.h"

#include <string>

#include "platform/help_viewer.h"
#include "platform/paths.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/program_arguments.h"
#include "runtime/table_files.h"

namespace {

constexpr char kHelpFolder[] = "hlp";
constexpr char kHelpOnHelpFile[] = "winhelp.hlp";

}  // namespace

int show_help(int mode, int context) {
    if (mode < 0 || mode > 2) return kMsgHelpRefused;
    if (mode != 2 && program_base_name().empty()) return kMsgHelpRefused;
    const std::string folder = platform::join_path(root_folder(), kHelpFolder);
    const std::string name =
        mode == 2 ? std::string(kHelpOnHelpFile) : program_base_name() + ".hlp";
    const std::string path = platform::join_path(folder, name);
    return platform::open_help(path, mode, context) ? 0 : kMsgHelpRefused;
}

int cmd_help() {
    const ArgCell* mode = arg_count() > 0 ? arg_cell(0) : nullptr;
    return show_help(mode != nullptr ? mode->value.i : 0, 0);
}

void install_help_command() {
    set_handler(kSlotHelp, cmd_help);
}
