#include "entry/listing_state.h"

#include "platform/state_reset.h"
#include "runtime/messages.h"

namespace {

ListingState g_state;

void reset_listing_state() {
    g_state = ListingState{};
}

const platform::StateReset listing_state_reset{"entry/listing_state", reset_listing_state,
                                               platform::ResetLayer::feature};

}  // namespace

ListingState& listing_state() {
    return g_state;
}

void list_surface_number() {
    text_printf("%3d   ", g_state.surface_index);
    g_state.nothing_printed = 0;
}
