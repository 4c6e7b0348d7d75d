#include "runtime/output_value_commands.h"

#include <cmath>

#include "runtime/arg_cells.h"
#include "runtime/text_output.h"

namespace {

// An argument as a whole number; a missing or non-numeric one gives 0, which lies outside the
// store.
int int_argument(int i) {
    const ArgCell* cell = arg_cell(i);
    if (cell == nullptr) return 0;
    if (cell->type == kArgInt) return cell->value.i;
    if (cell->type == kArgDouble && std::isfinite(cell->value.d) &&
        std::fabs(cell->value.d) < 1e9) {
        return static_cast<int>(cell->value.d);
    }
    return 0;
}

}  // namespace

int cmd_output_value() {
    const int command = current_command();
    int column = 0;
    if (command >= 0 && command <= kCmdOutputColumnLast) {
        column = command + 1;
    } else if (command == kCmdOutputAnyColumn) {
        column = int_argument(1);
    }
    set_double_result(get_output_value(int_argument(0), column));
    return 0;
}

int cmd_output_rows() {
    switch (current_command()) {
        case kCmdOutputCurrentRow:
            set_int_result(output_rows_current());
            break;
        case kCmdOutputLinesWritten:
            set_int_result(output_lines_written());
            break;
        default:
            set_int_result(kOutputRows);
            break;
    }
    return 0;
}
