#include "runtime/run_state.h"

#include "platform/state_reset.h"

namespace {

int g_run_state = kRunStateNone;

}  // namespace

int run_state() {
    return g_run_state;
}

void set_run_state(int state) {
    g_run_state = state;
}

namespace {
void reset_run_state() {
    g_run_state = kRunStateNone;
}
const platform::StateReset run_state_state_reset{"runtime/run_state", reset_run_state,
                                                 platform::ResetLayer::runtime};
}  // namespace
