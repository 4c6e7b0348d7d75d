#include "runtime/lens_data_guard.h"

#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/table_format.h"

namespace {
LensDataQuery lens_data_query = nullptr;
bool scope_active = false;
}  // namespace

void set_lens_data_query(LensDataQuery query) {
    lens_data_query = query;
}

bool reading_lens_data() {
    return scope_active || (lens_data_query != nullptr && lens_data_query());
}

int refuse_while_reading_lens_data() {
    return reading_lens_data() ? kMsgNotWhileReadingLensData : 0;
}

bool in_lens_data_scope() {
    return scope_active;
}

bool lens_data_command(int command) {
    const Definitions& d = definitions();
    if (d.commands == nullptr || command < 0 || command >= d.command_count) return false;
    return (d.commands[command].flags & kRecordLensData) != 0;
}

LensDataScope::LensDataScope() : saved_(scope_active) {
    scope_active = true;
}

LensDataScope::~LensDataScope() {
    scope_active = saved_;
}

TrustedCodeScope::TrustedCodeScope() : saved_(scope_active) {
    scope_active = false;
}

TrustedCodeScope::~TrustedCodeScope() {
    scope_active = saved_;
}

namespace {
void reset_lens_data_guard() {
    lens_data_query = nullptr;
    scope_active = false;
}
const platform::StateReset lens_data_guard_state_reset{
    "runtime/lens_data_guard", reset_lens_data_guard, platform::ResetLayer::runtime};
}  // namespace
