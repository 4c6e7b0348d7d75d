#include "runtime/output_options.h"

#include "platform/state_reset.h"

namespace {

constexpr std::uint8_t kStartValues[kOptionLimit] = {
    0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0,
};

// The output switches, and whether the page check is armed.
struct OutputOptionsState {
    std::uint8_t switches[kOptionLimit] = {
        0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0,
    };
    bool page_check_armed = false;
};

OutputOptionsState g_options;

bool stored(int n) {
    return n >= 1 && n < kOptionLimit && n != 9;
}

}  // namespace

int output_option(int n) {
    return stored(n) ? g_options.switches[n] : 0;
}

void set_output_option(int n, int value) {
    if (stored(n)) g_options.switches[n] = value != 0 ? 1 : 0;
}

void reset_output_options() {
    for (int i = 0; i < kOptionLimit; ++i) g_options.switches[i] = kStartValues[i];
    g_options.page_check_armed = false;
}

bool page_full_check_armed() {
    return g_options.page_check_armed;
}

void set_page_full_check_armed(bool armed) {
    g_options.page_check_armed = armed;
}

namespace {
const platform::StateReset output_options_state_reset{
    "runtime/output_options", reset_output_options, platform::ResetLayer::runtime};
}  // namespace
