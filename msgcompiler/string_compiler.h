// String entries of KPL string sources compiled into the user message table held in memory:
// "number: kind, "text";" puts the text into slot number + 4000.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "msgcompiler/source_reader.h"
#include "runtime/message_table.h"

namespace vdm {

inline constexpr int kUserSlotFirst = 4001;
inline constexpr int kUserSlotLast = 4500;
inline constexpr int kUserNumberLimit = 500;
inline constexpr int kTableSlotRoom = 5812;       // slots 0..5811
inline constexpr std::size_t kPoolRoom = 262144;  // bytes of text pool
inline constexpr long kPoolLimitStart = 262128;
inline constexpr int kEntryTextLimit = 247;
inline constexpr int kKindLimit = 63;

// The table being built: index entries with pool positions, the pool, the highest slot.
// Pool position 0 is the base table's shared empty text, so an offset of 0 means a free slot.
struct UserTable {
    std::vector<MessageEntry> entries;  // kTableSlotRoom entries
    std::vector<std::uint8_t> pool;
    int highest = 0;
    long pool_limit = kPoolLimitStart;

    // Takes a base table's bytes: 0, -20 (short, empty or too large for the arrays) or -21.
    int load_base(const std::vector<std::uint8_t>& bytes);
    // The bytes of the table file: 0, or -31 when a text would lie at or beyond 2^18.
    int to_bytes(std::vector<std::uint8_t>& out) const;
};

using Definition = std::pair<std::string, std::string>;  // name, value

class StringCompiler {
public:
    StringCompiler(SourceReader& reader, Diagnostics& diagnostics, UserTable& table)
        : reader_(reader), diagnostics_(diagnostics), table_(table) {}

    // Compiles the reader's current source to its end, with the "-D" definitions and the
    // predefined names set first.
    void compile_strings(const std::vector<Definition>& definitions);

private:
    int eval_const_expr(long long& value, int depth);
    int eval_term(long long& value, int depth);
    int eval_factor(long long& value, int depth);
    void skip_to_token(int code);
    void compile_entry();

    SourceReader& reader_;
    Diagnostics& diagnostics_;
    UserTable& table_;
    int token_ = 0;
};

}  // namespace vdm
