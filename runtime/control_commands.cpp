#include "runtime/control_commands.h"

#include "runtime/arg_cells.h"
#include "runtime/compile_request.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"

int cmd_output_control() {
    switch (current_command()) {
        case kCommandExit:
        case kCommandExitAlias: {
            const int hook = handler_table().exit_hook != nullptr ? handler_table().exit_hook() : 0;
            if (hook != 0) return hook;
            set_running_flag(0);
            return kStopped;
        }
        case kCommandCompile: {
            const ArgCell* options = arg_cell(2);
            const bool given = options != nullptr && options->status == kArgGiven &&
                               options->type == kArgChar && options->text_length > 0;
            request_compile(arg_int(0), arg_int(1),
                            given ? options->value.text : compiler_options_text());
            return 0;
        }
        default:
            return 0;
    }
}
