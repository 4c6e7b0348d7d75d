#include "runtime/control_commands.h"

#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/child_run.h"
#include "runtime/compile_request.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/random_numbers.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "runtime/window_services.h"

namespace {

// The largest row and column counts of the arrays among the arguments: a two-dimensional array
// counts its rows and columns, a one-dimensional one (or a text, by its capacity) one row of
// its length.
void array_extent(int* rows, int* columns) {
    *rows = 0;
    *columns = 0;
    for (int i = 0; i < arg_count(); ++i) {
        const ArgShape* s = arg_shape(i);
        int r = 0, c = 0;
        if (s != nullptr && s->dim1 > 0) {
            r = s->dim2 > 0 ? s->dim1 : (*rows == 0 ? 1 : 0);
            c = s->dim2 > 0 ? s->dim2 : s->dim1;
        } else if (arg_text_capacity(i) > 0) {
            r = *rows == 0 ? 1 : 0;
            c = arg_text_capacity(i);
        }
        if (r > *rows) *rows = r;
        if (c > *columns) *columns = c;
    }
}

const WindowServices& services() {
    return window_services();
}

}  // namespace

int cmd_output_control() {
    switch (current_command()) {
        case kCmdExit:
        case kCmdQuit: {
            if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
            const int hook = handler_table().exit_hook != nullptr ? handler_table().exit_hook() : 0;
            if (hook != 0) return hook;
            set_running_flag(0);
            return kStopped;
        }
        case kCmdCompile: {
            const ArgCell* options = arg_cell(2);
            const bool given = options != nullptr && options->status == kArgGiven &&
                               options->type == kArgChar && options->text_length > 0;
            request_compile(arg_int(0), arg_int(1),
                            given ? options->value.text : compiler_options_text());
            return 0;
        }
        case kCmdOutAdvance:
            output_rows_advance(arg_int(0), arg_int(1), arg_double(2));
            return 0;
        case kCmdClearOnError:
            on_error_line().line[0] = '\0';
            return 0;
        case kCmdBeep:
            if (platform::UiBackend* ui = platform::current_ui()) ui->beep();
            return 0;
        case kCmdCallTrace:
            show_procedure_trace();
            return 0;
        case kCmdRunProgram: {
            if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
            const ArgCell* c = arg_cell(0);
            const char* line =
                c != nullptr && c->type == kArgChar && c->text_length > 0 ? c->value.text : nullptr;
            // The program's own result is not used; one that cannot start, or that is stopped
            // at its time-out, is worth a warning.
            if (line == nullptr || run_child_process(line, arg_int(1)) == -1) {
                msg_box(kMsgProgramNotRun, line != nullptr ? line : "");
            }
            return 0;
        }
        case kCmdEscapePressed: {
            platform::UiBackend* ui = platform::current_ui();
            set_int_result(ui != nullptr && ui->poll_escape() ? kStopped : 0);
            return 0;
        }
        case kCmdRandom:
            set_double_result(random_uniform(arg_int(0)));
            return 0;
        case kCmdRandomGauss:
            set_double_result(random_gaussian(arg_int(0)));
            return 0;
        case kCmdRandomArcsine:
            set_double_result(random_arcsine(arg_int(0)));
            return 0;
        case kCmdArrayRows:
        case kCmdArrayCols: {
            int rows = 0, columns = 0;
            array_extent(&rows, &columns);
            set_int_result(current_command() == kCmdArrayRows ? rows : columns);
            return 0;
        }
        case kCmdTextwinClose:
            return services().textwin_close != nullptr ? services().textwin_close(arg_int(0)) : 0;
        case kCmdTextwinSelect: {
            if (services().textwin_select == nullptr) return 0;
            const int window = services().textwin_select(arg_int(0), arg_int(1), arg_int(2));
            if (window > 0 && services().activate_window != nullptr) {
                services().activate_window(window);
            }
            return 0;
        }
        case kCmdTextwinClear:
            if (services().textwin_clear != nullptr) services().textwin_clear();
            return 0;
        case kCmdCopyText:
            return services().copy_text_to_clipboard != nullptr
                       ? services().copy_text_to_clipboard(0)
                       : 0;
        case kCmdChooseFonts:
            return services().choose_fonts != nullptr ? services().choose_fonts() : 0;
        case kCmdCopyGraphics:
            return services().copy_graphics_to_clipboard != nullptr
                       ? services().copy_graphics_to_clipboard()
                       : 0;
        case kCmdEditwinPrint:
            return services().print_text_window != nullptr
                       ? services().print_text_window(5, 0, 1, nullptr)
                       : 0;
        case kCmdEditwinClose:
            return services().editwin_close != nullptr ? services().editwin_close() : 0;
        case kCmdEditwinShow:
            return services().editwin_show != nullptr ? services().editwin_show() : 0;
        case kCmdArrangeIcons:
            if (services().arrange_icons != nullptr) services().arrange_icons();
            return 0;
        case kCmdWindowTile:
        case kCmdWindowCascade:
            if (platform::UiBackend* ui = platform::current_ui()) {
                if (current_command() == kCmdWindowTile) {
                    ui->tile_windows();
                } else {
                    ui->cascade_windows();
                }
            }
            return 0;
        case kCmdWindowActivate: {
            const int window = arg_int(0);
            platform::UiBackend* ui = platform::current_ui();
            if (ui == nullptr || window == platform::kWindowList || !ui->window_exists(window) ||
                !ui->window_visible(window)) {
                return set_error_msg(kMsgWindowNotOpen, window);
            }
            if (services().activate_window != nullptr) services().activate_window(window);
            return 0;
        }
        default:
            return 0;
    }
}
