#include "runtime/control_commands.h"

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/window_services.h"

namespace {

const WindowServices& services() {
    return window_services();
}

}  // namespace

int cmd_output_control() {
    switch (current_command()) {
        case kCommandExit:
        case kCommandExitAlias: {
            const int hook = handler_table().exit_hook != nullptr ? handler_table().exit_hook() : 0;
            if (hook != 0) return hook;
            set_running_flag(0);
            return kStopped;
        }
        case kCommandTextWindowClose:
            return services().textwin_close != nullptr ? services().textwin_close(arg_int(0)) : 0;
        case kCommandTextWindowSelect: {
            if (services().textwin_select == nullptr) return 0;
            const int window = services().textwin_select(arg_int(0), arg_int(1), arg_int(2));
            if (window > 0 && services().activate_window != nullptr) {
                services().activate_window(window);
            }
            return 0;
        }
        case kCommandTextWindowClear:
            if (services().textwin_clear != nullptr) services().textwin_clear();
            return 0;
        case kCommandCopyText:
            return services().copy_text_to_clipboard != nullptr
                       ? services().copy_text_to_clipboard(0)
                       : 0;
        case kCommandChooseFonts:
            return services().choose_fonts != nullptr ? services().choose_fonts() : 0;
        default:
            return 0;
    }
}
