#include "runtime/lens_data_guard.h"

#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/table_format.h"

namespace {
// The lens-data query installed at start, and whether a guarded scope is open.
struct LensDataGuardState {
    LensDataQuery lens_data_query = nullptr;
    bool scope_active = false;
};

LensDataGuardState g_guard;
}  // namespace

void set_lens_data_query(LensDataQuery query) {
    g_guard.lens_data_query = query;
}

bool reading_lens_data() {
    return g_guard.scope_active ||
           (g_guard.lens_data_query != nullptr && g_guard.lens_data_query());
}

int refuse_while_reading_lens_data() {
    return reading_lens_data() ? kMsgNotWhileReadingLensData : 0;
}

bool in_lens_data_scope() {
    return g_guard.scope_active;
}

bool lens_data_command(int command) {
    const Definitions& d = definitions();
    if (d.commands == nullptr || command < 0 || command >= d.command_count) return false;
    return (d.commands[command].flags & kRecordLensData) != 0;
}

LensDataScope::LensDataScope() : saved_(g_guard.scope_active) {
    g_guard.scope_active = true;
}

LensDataScope::~LensDataScope() {
    g_guard.scope_active = saved_;
}

TrustedCodeScope::TrustedCodeScope() : saved_(g_guard.scope_active) {
    g_guard.scope_active = false;
}

TrustedCodeScope::~TrustedCodeScope() {
    g_guard.scope_active = saved_;
}

namespace {
void reset_lens_data_guard() {
    g_guard.lens_data_query = nullptr;
    g_guard.scope_active = false;
}
const platform::StateReset lens_data_guard_state_reset{
    "runtime/lens_data_guard", reset_lens_data_guard, platform::ResetLayer::runtime};
}  // namespace
