#include "runtime/state_flags.h"

#include "platform/state_reset.h"

#include <cstring>

namespace {

std::uint8_t state_bits[(kStateFlagLimit + 7) / 8 + 1];

bool flag_in_range(int n) {
    return n >= 0 && n < kStateFlagLimit;
}

}  // namespace

int state_flag_by_name(const char* name) {
    if (name == nullptr) return -1;
    for (const StateFlagInfo& f : kStateFlagRegistry) {
        if (std::strcmp(f.name, name) == 0) return f.number;
    }
    return -1;
}

const char* state_flag_name(int number) {
    for (const StateFlagInfo& f : kStateFlagRegistry) {
        if (f.number == number) return f.name;
    }
    return nullptr;
}

int test_state_flag(int n) {
    if (!flag_in_range(n)) return 0;
    return state_bits[n / 8] & (1u << (n % 8));
}

int set_state_flag(int n) {
    if (!flag_in_range(n)) return 0;
    if (test_state_flag(n)) return 1;
    state_bits[n / 8] = static_cast<std::uint8_t>(state_bits[n / 8] | (1u << (n % 8)));
    update_flag_expressions();
    return 0;
}

void clear_state_flag(int n) {
    if (!flag_in_range(n) || !test_state_flag(n)) return;
    state_bits[n / 8] = static_cast<std::uint8_t>(state_bits[n / 8] & ~(1u << (n % 8)));
    update_flag_expressions();
}

void reset_state_flags() {
    std::memset(state_bits, 0, sizeof state_bits);
}

namespace {
const platform::StateReset state_flags_state_reset{"runtime/state_flags", reset_state_flags,
                                                   platform::ResetLayer::runtime};
}  // namespace
