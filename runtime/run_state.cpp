#include "runtime/run_state.h"

namespace {

int g_run_state = kRunStateNone;

}  // namespace

int run_state() {
    return g_run_state;
}

void set_run_state(int state) {
    g_run_state = state;
}
