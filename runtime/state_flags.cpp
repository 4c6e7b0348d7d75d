#include "runtime/state_flags.h"

#include "platform/state_reset.h"
#include "runtime/table_format.h"

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

// Enable conditions: byte-coded expressions over the state flags, evaluated all at once after
// every flag change. The block was checked when it was loaded (table_format), so evaluation
// never leaves it.

namespace {

// The condition block read from the tables at start (owned by the table reader), the one
// evaluation position, and the mark every re-evaluation leaves for the menus.
struct EnableConditionState {
    std::uint8_t* block = nullptr;
    std::size_t block_size = 0;
    int count = 0;
    const std::uint8_t* cursor = nullptr;
    std::uint8_t menus_need_update = 0;
};

EnableConditionState g_conditions;

int precedence_of(std::uint8_t b) {
    if (b == kCondAnd) return 2;
    if (b == kCondOr) return 1;
    return 0;
}

std::size_t entry_offset(int i) {
    return static_cast<std::size_t>(static_cast<std::int16_t>(le16_at(g_conditions.block + 2 * i)));
}

}  // namespace

std::uint8_t& menus_need_update() {
    return g_conditions.menus_need_update;
}

void set_condition_block(std::uint8_t* block, std::size_t size, int count) {
    g_conditions.block = block;
    g_conditions.block_size = size;
    g_conditions.count = block != nullptr ? count : 0;
}

int eval_flag_expression(int precedence) {
    bool negate = false;
    if (*g_conditions.cursor == kCondNot) {
        ++g_conditions.cursor;
        negate = true;
    }
    int value;
    if (*g_conditions.cursor == kCondGroup) {
        ++g_conditions.cursor;
        value = eval_flag_expression(0);
        ++g_conditions.cursor;  // the closing byte
    } else {
        value = test_state_flag(*g_conditions.cursor - 1) ? 1 : 0;
        ++g_conditions.cursor;
    }
    if (negate) value = !value;
    int q;
    while ((q = precedence_of(*g_conditions.cursor)) > precedence) {
        const std::uint8_t op = *g_conditions.cursor++;
        // The right operand is always consumed, even when the left side decides.
        const int right = eval_flag_expression(q);
        value = op == kCondAnd ? (value && right) : (value || right);
    }
    return value;
}

void update_flag_expressions() {
    for (int i = 0; i < g_conditions.count; ++i) {
        const std::size_t off = entry_offset(i);
        g_conditions.cursor = g_conditions.block + off + kConditionHeaderSize;
        g_conditions.block[off] = static_cast<std::uint8_t>(eval_flag_expression(0));
    }
    g_conditions.menus_need_update = 1;
}

int check_enable_condition(int n) {
    if (n >= kNoCondition) return 0;
    if (n < 0 || n >= g_conditions.count) return -1;
    return g_conditions.block[entry_offset(n)] != 0 ? 0 : -1;
}

namespace {
// The block read at start stays; a new session's menus are built afresh.
void reset_enable_conditions() {
    g_conditions.cursor = nullptr;
    g_conditions.menus_need_update = 0;
}
const platform::StateReset enable_conditions_state_reset{
    "runtime/enable_conditions", reset_enable_conditions, platform::ResetLayer::runtime};
}  // namespace
