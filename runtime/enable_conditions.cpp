// Enable conditions: byte-coded expressions over the state flags, evaluated all at once after
// every flag change. The block was checked when it was loaded (table_format), so evaluation
// never leaves it.
#include "runtime/state_flags.h"
#include "runtime/table_format.h"

std::uint8_t menus_need_update = 0;

namespace {

std::uint8_t* condition_block = nullptr;
std::size_t condition_block_size = 0;
int condition_count = 0;
const std::uint8_t* cursor = nullptr;  // the one evaluation position

int precedence_of(std::uint8_t b) {
    if (b == kCondAnd) return 2;
    if (b == kCondOr) return 1;
    return 0;
}

std::size_t entry_offset(int i) {
    return static_cast<std::size_t>(static_cast<std::int16_t>(le16_at(condition_block + 2 * i)));
}

}  // namespace

void set_condition_block(std::uint8_t* block, std::size_t size, int count) {
    condition_block = block;
    condition_block_size = size;
    condition_count = block != nullptr ? count : 0;
}

int eval_flag_expression(int precedence) {
    bool negate = false;
    if (*cursor == kCondNot) {
        ++cursor;
        negate = true;
    }
    int value;
    if (*cursor == kCondGroup) {
        ++cursor;
        value = eval_flag_expression(0);
        ++cursor;  // the closing byte
    } else {
        value = test_state_flag(*cursor - 1) ? 1 : 0;
        ++cursor;
    }
    if (negate) value = !value;
    int q;
    while ((q = precedence_of(*cursor)) > precedence) {
        const std::uint8_t op = *cursor++;
        // The right operand is always consumed, even when the left side decides.
        const int right = eval_flag_expression(q);
        value = op == kCondAnd ? (value && right) : (value || right);
    }
    return value;
}

void update_flag_expressions() {
    for (int i = 0; i < condition_count; ++i) {
        const std::size_t off = entry_offset(i);
        cursor = condition_block + off + kConditionHeaderSize;
        condition_block[off] = static_cast<std::uint8_t>(eval_flag_expression(0));
    }
    menus_need_update = 1;
}

int check_enable_condition(int n) {
    if (n >= kNoCondition) return 0;
    if (n < 0 || n >= condition_count) return -1;
    return condition_block[entry_offset(n)] != 0 ? 0 : -1;
}
