#include "msgcompiler/string_compiler.h"

#include <algorithm>

namespace vdm {

namespace {

constexpr int kExpressionDepthLimit = 64;  // nested parentheses
constexpr long long kValueBound = 1LL << 40;

long long clamp_value(long long v) {
    return std::clamp(v, -kValueBound, kValueBound);
}

}  // namespace

int UserTable::load_base(const std::vector<std::uint8_t>& bytes) {
    std::vector<MessageEntry> loaded;
    std::vector<std::uint8_t> loaded_pool;
    const int rc = load_message_table_pool(bytes, loaded, loaded_pool);
    if (rc == kMessageWrongMagic) return -21;
    if (rc != kMessageFormatOk) return -20;
    if (loaded.size() > static_cast<std::size_t>(kTableSlotRoom) ||
        loaded_pool.size() > kPoolRoom) {
        return -20;
    }
    highest = static_cast<int>(loaded.size()) - 1;
    // Slots up to the last user slot read as free: offset 0 with slot 0's length, kind error.
    MessageEntry free_slot;
    free_slot.offset = 0;
    free_slot.length = loaded[0].length;
    free_slot.kind = 2;
    entries.assign(kTableSlotRoom, free_slot);
    std::copy(loaded.begin(), loaded.end(), entries.begin());
    pool.swap(loaded_pool);
    pool_limit = kPoolLimitStart;
    return 0;
}

int UserTable::to_bytes(std::vector<std::uint8_t>& out) const {
    const std::vector<MessageEntry> used(entries.begin(), entries.begin() + highest + 1);
    const int rc = write_message_table_bytes(used, pool, out);
    return rc == kMessageFormatOk ? 0 : -31;
}

void StringCompiler::skip_to_token(int code) {
    while (token_ != code && token_ != kTokenEnd) token_ = reader_.next_token();
}

int StringCompiler::eval_factor(long long& value, int depth) {
    long long sign = 1;
    if (token_ == '+' || token_ == '-') {
        sign = token_ == '-' ? -1 : 1;
        token_ = reader_.next_token();
    }
    if (token_ == kTokenInteger) {
        value = sign * reader_.token_value();
        token_ = reader_.next_token();
        return 0;
    }
    if (token_ == '(' && depth < kExpressionDepthLimit) {
        token_ = reader_.next_token();
        if (eval_const_expr(value, depth + 1) != 0 || token_ != ')') return -1;
        value = sign * value;
        token_ = reader_.next_token();
        return 0;
    }
    return -1;
}

int StringCompiler::eval_term(long long& value, int depth) {
    if (eval_factor(value, depth) != 0) return -1;
    while (token_ == '*') {
        token_ = reader_.next_token();
        long long right = 0;
        if (eval_factor(right, depth) != 0) return -1;
        long long product = 0;
        // Both factors are held within 2^40, but their product may not fit 64 bits.
        if (__builtin_mul_overflow(value, right, &product)) {
            product = (value < 0) != (right < 0) ? -kValueBound : kValueBound;
        }
        value = clamp_value(product);
    }
    return 0;
}

int StringCompiler::eval_const_expr(long long& value, int depth) {
    if (eval_term(value, depth) != 0) return -1;
    while (token_ == '+' || token_ == '-') {
        const bool minus = token_ == '-';
        token_ = reader_.next_token();
        long long right = 0;
        if (eval_term(right, depth) != 0) return -1;
        value = clamp_value(minus ? value - right : value + right);
    }
    return 0;
}

void StringCompiler::compile_entry() {
    long long number = 0;
    if (eval_const_expr(number, 0) != 0 || (token_ != ':' && token_ != ',')) {
        diagnostics_.report(-22);
        skip_to_token(';');
        token_ = reader_.next_token();
        return;
    }
    int slot = -1;
    if (number < 1 || number > kUserNumberLimit) {
        diagnostics_.report(-38, std::to_string(kUserNumberLimit));
    } else {
        slot = static_cast<int>(number) + 4000;
        if (table_.entries[static_cast<std::size_t>(slot)].offset != 0) diagnostics_.report(-33);
    }
    token_ = reader_.next_token();

    unsigned kind = 0;
    if (token_ == kTokenKind) {
        kind = static_cast<unsigned>(reader_.token_value());
        token_ = reader_.next_token();
    } else if (token_ == kTokenInteger) {
        const long long k = reader_.token_value();
        if (k < 0 || k > kKindLimit) {
            diagnostics_.report(-34, std::to_string(kKindLimit));
        } else {
            kind = static_cast<unsigned>(k);
        }
        token_ = reader_.next_token();
    } else {
        if (token_ == kTokenString || token_ == ',') {
            diagnostics_.report(-36);
        } else {
            diagnostics_.report(token_ == kTokenIdentifier ? -35 : -22);
            if (token_ != ';' && token_ != kTokenEnd) token_ = reader_.next_token();
        }
        if (token_ == ';') {
            token_ = reader_.next_token();
            return;
        }
    }

    if (token_ == ',') token_ = reader_.next_token();
    if (token_ != kTokenString) {
        diagnostics_.report(-32);
        skip_to_token(';');
        token_ = reader_.next_token();
        return;
    }
    std::string text = reader_.token_text();
    const std::size_t length = std::max<std::size_t>(text.size(), 1);
    table_.pool_limit -= 4;
    if (static_cast<long>(table_.pool.size() + length) >= table_.pool_limit) {
        diagnostics_.report(-31);
    } else if (slot >= 0) {
        if (text.size() > static_cast<std::size_t>(kEntryTextLimit)) {
            diagnostics_.report(-41, std::to_string(kEntryTextLimit));
            text.clear();
        }
        MessageEntry& e = table_.entries[static_cast<std::size_t>(slot)];
        e.offset = static_cast<std::uint32_t>(table_.pool.size());
        e.kind = static_cast<std::uint8_t>(kind);
        if (text.empty()) {
            table_.pool.push_back(0);
            e.length = 1;
        } else {
            table_.pool.insert(table_.pool.end(), text.begin(), text.end());
            e.length = static_cast<std::uint8_t>(text.size());
        }
        table_.highest = std::max(table_.highest, slot);
    }
    token_ = reader_.next_token();
    if (token_ != ';') {
        diagnostics_.report(-37);
        return;
    }
    token_ = reader_.next_token();
}

void StringCompiler::compile_strings(const std::vector<Definition>& definitions) {
    for (const Definition& d : definitions) reader_.define_macro(d.first, d.second);
    reader_.define_macro("_windows_", "1");
    reader_.define_macro("_winnt_", "1");
    token_ = reader_.next_token();
    while (token_ != kTokenEnd && !diagnostics_.stopped()) compile_entry();
}

}  // namespace vdm
