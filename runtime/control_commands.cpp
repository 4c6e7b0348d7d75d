#include "runtime/control_commands.h"

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"

int cmd_output_control() {
    switch (current_command()) {
        case kCommandExit:
        case kCommandExitAlias: {
            const int hook = handler_table().exit_hook != nullptr ? handler_table().exit_hook() : 0;
            if (hook != 0) return hook;
            set_running_flag(0);
            return kStopped;
        }
        default:
            return 0;
    }
}
