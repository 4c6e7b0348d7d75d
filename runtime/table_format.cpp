#include "runtime/table_format.h"

#include <algorithm>
#include <cstring>

void put_be16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void put_le16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put_be24(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>((value >> 16) & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void put_le32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

namespace {

constexpr std::size_t kSixteenBits = 0x10000;

unsigned read16(const std::uint8_t* p, NameTableForm form) {
    return form == NameTableForm::little_endian ? le16_at(p) : be16_at(p);
}

void write16(Bytes& out, unsigned v, NameTableForm form) {
    if (form == NameTableForm::little_endian) {
        put_le16(out, v);
    } else {
        put_be16(out, v);
    }
}

// Length of a NUL-terminated text at offset within a block, or -1 when no NUL follows in it.
long terminated_length(const std::uint8_t* block, std::size_t size, std::size_t offset) {
    if (offset >= size) return -1;
    const void* nul = std::memchr(block + offset, 0, size - offset);
    if (nul == nullptr) return -1;
    return static_cast<const std::uint8_t*>(nul) - (block + offset);
}

}  // namespace

int build_name_table(std::vector<NameEntry> entries, NameTableForm form, Bytes& out) {
    std::sort(entries.begin(), entries.end(),
              [](const NameEntry& a, const NameEntry& b) { return a.name < b.name; });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name.empty() || entries[i].name.find('\0') != std::string::npos) return -1;
        if (i > 0 && entries[i].name == entries[i - 1].name) return -1;
        if (entries[i].value >= kSixteenBits) return -1;
    }
    const bool values = form == NameTableForm::big_endian_with_values;
    const std::size_t n = entries.size();
    std::size_t pos = 2 + 2 * n + (values ? 2 * n : 0);
    Bytes table;
    write16(table, static_cast<unsigned>(n), form);
    Bytes names;
    for (const NameEntry& e : entries) {
        if (pos + names.size() >= kSixteenBits) return -1;
        write16(table, static_cast<unsigned>(pos + names.size()), form);
        names.insert(names.end(), e.name.begin(), e.name.end());
        names.push_back(0);
    }
    if (values) {
        for (const NameEntry& e : entries) write16(table, e.value, form);
    }
    table.insert(table.end(), names.begin(), names.end());
    if (table.size() >= kSixteenBits || n >= kSixteenBits) return -1;
    out.swap(table);
    return 0;
}

int check_name_table(const std::uint8_t* table, std::size_t size, NameTableForm form) {
    if (table == nullptr || size < 2) return -8;
    const std::size_t n = read16(table, form);
    const bool values = form == NameTableForm::big_endian_with_values;
    const std::size_t header = 2 + 2 * n + (values ? 2 * n : 0);
    if (header > size) return -8;
    const char* previous = nullptr;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t off = read16(table + 2 + 2 * i, form);
        if (off < header || terminated_length(table, size, off) < 1) return -8;
        const char* name = reinterpret_cast<const char*>(table + off);
        if (previous != nullptr && std::strcmp(previous, name) >= 0) return -8;
        previous = name;
    }
    return 0;
}

std::vector<NameEntry> name_table_entries(const std::uint8_t* table, NameTableForm form) {
    std::vector<NameEntry> result;
    const std::size_t n = read16(table, form);
    for (std::size_t i = 0; i < n; ++i) {
        NameEntry e;
        e.name = reinterpret_cast<const char*>(table + read16(table + 2 + 2 * i, form));
        if (form == NameTableForm::big_endian_with_values) {
            e.value = read16(table + 2 + 2 * n + 2 * i, form);
        }
        result.push_back(e);
    }
    return result;
}

int name_table_search(const std::uint8_t* table, NameTableForm form, const char* name) {
    if (table == nullptr || name == nullptr || name[0] == '\0') return 0;
    const int n = static_cast<int>(read16(table, form));
    int lo = 1;
    int hi = n;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const char* entry = reinterpret_cast<const char*>(table + read16(table + 2 * mid, form));
        const int cmp = std::strcmp(name, entry);
        if (cmp == 0) return mid;
        if (cmp > 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return 0;
}

int build_list_block(const std::vector<ListPair>& pairs, Bytes& out) {
    const std::size_t m = pairs.size();
    const std::size_t header = 2 + 4 * m;
    Bytes block;
    put_be16(block, static_cast<unsigned>(m));
    Bytes texts;
    std::vector<unsigned> first, second;
    for (const ListPair& p : pairs) {
        if (p.first.find('\0') != std::string::npos || p.second.find('\0') != std::string::npos)
            return -1;
        first.push_back(static_cast<unsigned>(header + texts.size()));
        texts.insert(texts.end(), p.first.begin(), p.first.end());
        texts.push_back(0);
        second.push_back(static_cast<unsigned>(header + texts.size()));
        texts.insert(texts.end(), p.second.begin(), p.second.end());
        texts.push_back(0);
    }
    if (header + texts.size() > kListLengthMask || header + texts.size() >= kListCacheSize)
        return -1;
    for (unsigned o : first) put_be16(block, o);
    for (unsigned o : second) put_be16(block, o);
    block.insert(block.end(), texts.begin(), texts.end());
    out.swap(block);
    return 0;
}

int check_list_block(const std::uint8_t* block, std::size_t size) {
    if (block == nullptr || size < 2) return -8;
    const std::size_t m = be16_at(block);
    const std::size_t header = 2 + 4 * m;
    if (header > size) return -8;
    for (std::size_t i = 0; i < 2 * m; ++i) {
        const std::size_t off = be16_at(block + 2 + 2 * i);
        if (off < header || terminated_length(block, size, off) < 0) return -8;
    }
    return 0;
}

std::vector<ListPair> list_block_pairs(const std::uint8_t* block) {
    std::vector<ListPair> result;
    const std::size_t m = be16_at(block);
    for (std::size_t i = 0; i < m; ++i) {
        ListPair p;
        p.first = reinterpret_cast<const char*>(block + be16_at(block + 2 + 2 * i));
        p.second = reinterpret_cast<const char*>(block + be16_at(block + 2 + 2 * (m + i)));
        result.push_back(p);
    }
    return result;
}

int build_help_block(std::uint8_t flags, const std::vector<HelpText>& texts, Bytes& out) {
    if (texts.size() > 255) return -1;
    const std::size_t header = 2 + 4 * texts.size();
    Bytes block{flags, static_cast<std::uint8_t>(texts.size())};
    Bytes pool;
    for (const HelpText& t : texts) {
        if (t.text.find('\0') != std::string::npos) return -1;
        block.push_back(t.key1);
        block.push_back(t.key2);
        put_be16(block, static_cast<unsigned>(header + pool.size()));
        pool.insert(pool.end(), t.text.begin(), t.text.end());
        pool.push_back(0);
    }
    block.insert(block.end(), pool.begin(), pool.end());
    if (block.size() >= kSixteenBits) return -1;
    out.swap(block);
    return 0;
}

int check_help_block(const std::uint8_t* block, std::size_t size) {
    if (block == nullptr || size < 2) return -8;
    const std::size_t k = block[1];
    const std::size_t header = 2 + 4 * k;
    if (header > size) return -8;
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t off = be16_at(block + 2 + 4 * i + 2);
        if (off < header || terminated_length(block, size, off) < 0) return -8;
    }
    return 0;
}

std::vector<HelpText> help_block_texts(const std::uint8_t* block) {
    std::vector<HelpText> result;
    for (std::size_t i = 0; i < block[1]; ++i) {
        const std::uint8_t* e = block + 2 + 4 * i;
        HelpText t;
        t.key1 = e[0];
        t.key2 = e[1];
        t.text = reinterpret_cast<const char*>(block + be16_at(e + 2));
        result.push_back(t);
    }
    return result;
}

namespace {

int operator_precedence(std::uint8_t b) {
    if (b == kCondAnd) return 2;
    if (b == kCondOr) return 1;
    return 0;
}

// Walks one expression the way the evaluator will, without reading flags.
int check_expression_at(const std::uint8_t*& p, const std::uint8_t* end, int precedence,
                        int depth) {
    if (depth > kMaxConditionDepth) return -8;
    if (p < end && *p == kCondNot) ++p;
    if (p >= end) return -8;
    if (*p == kCondGroup) {
        ++p;
        if (check_expression_at(p, end, 0, depth + 1) != 0) return -8;
        if (p >= end || *p != kCondClose) return -8;  // the closing byte must be there
        ++p;
    } else {
        if (*p < 1 || *p > kStateFlagCount) return -8;
        ++p;
    }
    while (true) {
        if (p >= end) return -8;  // every expression ends with a byte of precedence 0
        const int q = operator_precedence(*p);
        if (q <= precedence) return 0;
        ++p;
        if (check_expression_at(p, end, q, depth + 1) != 0) return -8;
    }
}

}  // namespace

int check_condition_expression(const std::uint8_t* p, const std::uint8_t* end,
                               const std::uint8_t** stop) {
    const std::uint8_t* cursor = p;
    if (check_expression_at(cursor, end, 0, 0) != 0) return -8;
    if (cursor >= end || *cursor != kCondEnd) return -8;
    if (stop != nullptr) *stop = cursor + 1;
    return 0;
}

int build_condition_block(const std::vector<Bytes>& expressions, Bytes& out) {
    const std::size_t e = expressions.size();
    Bytes block;
    Bytes entries;
    const std::size_t header = 2 * e;
    for (const Bytes& x : expressions) {
        const std::size_t off = header + entries.size();
        if (off > 0x7FFF) return -1;
        put_le16(block, static_cast<unsigned>(off));
        entries.push_back(0);
        entries.push_back(0);
        entries.push_back(0);
        entries.insert(entries.end(), x.begin(), x.end());
        if (check_condition_expression(x.data(), x.data() + x.size(), nullptr) != 0) return -1;
    }
    block.insert(block.end(), entries.begin(), entries.end());
    if (block.size() >= kSixteenBits) return -1;
    out.swap(block);
    return 0;
}

int check_condition_block(const std::uint8_t* block, std::size_t size, int count) {
    if (count < 0) return -8;
    if (count == 0) return 0;
    if (block == nullptr || size < 2 * static_cast<std::size_t>(count)) return -8;
    for (int i = 0; i < count; ++i) {
        const int off = static_cast<std::int16_t>(le16_at(block + 2 * i));
        if (off < 2 * count) return -8;
        const std::size_t start = static_cast<std::size_t>(off) + kConditionHeaderSize;
        if (start >= size) return -8;
        if (check_condition_expression(block + start, block + size, nullptr) != 0) return -8;
    }
    return 0;
}

Bytes condition_expression(const std::uint8_t* block, std::size_t size, int i) {
    const std::size_t start =
        static_cast<std::size_t>(static_cast<std::int16_t>(le16_at(block + 2 * i))) +
        kConditionHeaderSize;
    const std::uint8_t* stop = nullptr;
    if (check_condition_expression(block + start, block + size, &stop) != 0) return {};
    return Bytes(block + start, stop);
}
