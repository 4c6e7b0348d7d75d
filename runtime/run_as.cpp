#include "runtime/run_as.h"

#include "runtime/command_levels.h"

namespace {

void (*g_recorder)() = record_command_text;

}  // namespace

void set_run_as_recorder(void (*recorder)()) {
    g_recorder = recorder != nullptr ? recorder : record_command_text;
}

int run_as_command(int command, int (*handler)(), ArgCell* cells, int count) {
    ArgCell* pointers[kScratchCellCount];
    if (count > kScratchCellCount) count = kScratchCellCount;
    for (int k = 0; k < count; ++k) pointers[k] = &cells[k];
    const int saved_command = current_command();
    ArgCell** const saved_vector = arg_vector();
    const int saved_count = arg_count();
    set_arg_vector(pointers, count);
    set_current_command(command);
    const int result = handler();
    g_recorder();
    set_arg_vector(saved_vector, saved_count);
    set_current_command(saved_command);
    return result;
}
