#include "runtime/message_table.h"

#include <algorithm>
#include <cstring>
#include <set>

int encode_message_entry(const MessageEntry& entry, std::uint8_t out[4]) {
    if (entry.offset >= kMessageOffsetLimit) return kMessageOffsetTooLarge;
    if (entry.kind >= kMessageKindLimit) return kMessageBadKind;
    out[0] = static_cast<std::uint8_t>((entry.offset >> 8) & 0xFF);
    out[1] = static_cast<std::uint8_t>(entry.offset & 0xFF);
    out[2] = entry.length;
    out[3] = static_cast<std::uint8_t>((entry.kind << 2) | ((entry.offset >> 16) & 0x03));
    return kMessageFormatOk;
}

MessageEntry decode_message_entry(const std::uint8_t in[4]) {
    MessageEntry entry;
    entry.offset = (static_cast<std::uint32_t>(in[3] & 0x03) << 16) |
                   (static_cast<std::uint32_t>(in[0]) << 8) | in[1];
    entry.length = in[2];
    entry.kind = static_cast<std::uint8_t>(in[3] >> 2);
    return entry;
}

int write_message_table_bytes(const std::vector<MessageEntry>& pool_entries,
                              const std::vector<std::uint8_t>& pool,
                              std::vector<std::uint8_t>& out) {
    if (pool_entries.empty() || pool_entries.size() > static_cast<std::size_t>(kMessageSlotLimit)) {
        return kMessageBadSlot;
    }
    const int highest = static_cast<int>(pool_entries.size()) - 1;
    const std::uint32_t base = message_pool_start(highest);
    std::vector<std::uint8_t> bytes(kMessageMagic, kMessageMagic + kMessageMagicSize);
    bytes.push_back(static_cast<std::uint8_t>(highest >> 8));
    bytes.push_back(static_cast<std::uint8_t>(highest & 0xFF));
    for (const MessageEntry& e : pool_entries) {
        if (static_cast<std::size_t>(e.offset) + e.length > pool.size()) return kMessageBadLength;
        MessageEntry absolute = e;
        // Checked before the sum so that a huge pool position cannot wrap into range.
        if (e.offset >= kMessageOffsetLimit || base + e.offset >= kMessageOffsetLimit) {
            return kMessageOffsetTooLarge;
        }
        absolute.offset = base + e.offset;
        std::uint8_t packed[4];
        const int rc = encode_message_entry(absolute, packed);
        if (rc != kMessageFormatOk) return rc;
        bytes.insert(bytes.end(), packed, packed + 4);
    }
    bytes.insert(bytes.end(), pool.begin(), pool.end());
    out.swap(bytes);
    return kMessageFormatOk;
}

int build_message_table(const std::vector<MessageText>& texts, std::vector<std::uint8_t>& out) {
    int highest = 0;
    std::set<int> seen;
    for (const MessageText& t : texts) {
        if (t.slot < 0 || t.slot >= kMessageSlotLimit || !seen.insert(t.slot).second) {
            return kMessageBadSlot;
        }
        if (t.kind >= kMessageKindLimit) return kMessageBadKind;
        if (t.text.size() >= kMessageLengthLimit) return kMessageBadLength;
        if (t.slot > highest) highest = t.slot;
    }
    // Slots without a text share one empty text of kind 0 at pool position 0.
    std::vector<std::uint8_t> pool(1, 0);
    MessageEntry filler;
    filler.offset = 0;
    filler.length = 1;
    std::vector<MessageEntry> entries(static_cast<std::size_t>(highest) + 1, filler);
    for (const MessageText& t : texts) {
        MessageEntry e;
        e.offset = static_cast<std::uint32_t>(pool.size());
        e.kind = static_cast<std::uint8_t>(t.kind);
        if (t.text.empty()) {
            pool.push_back(0);
            e.length = 1;
        } else {
            pool.insert(pool.end(), t.text.begin(), t.text.end());
            e.length = static_cast<std::uint8_t>(t.text.size());
        }
        entries[static_cast<std::size_t>(t.slot)] = e;
    }
    return write_message_table_bytes(entries, pool, out);
}

int parse_message_table(const std::vector<std::uint8_t>& bytes,
                        std::vector<MessageEntry>& entries) {
    if (bytes.size() < kMessageIndexStart) return -8;
    if (std::memcmp(bytes.data(), kMessageMagic, kMessageMagicSize) != 0) return -6;
    const int highest = (bytes[8] << 8) | bytes[9];
    if (highest == 0) return -8;
    const std::size_t pool_start = message_pool_start(highest);
    if (bytes.size() < pool_start) return -8;
    std::vector<MessageEntry> result;
    result.reserve(static_cast<std::size_t>(highest) + 1);
    for (int slot = 0; slot <= highest; ++slot) {
        const MessageEntry e = decode_message_entry(&bytes[message_entry_position(slot)]);
        if (e.offset < pool_start || static_cast<std::size_t>(e.offset) + e.length > bytes.size()) {
            return -8;
        }
        result.push_back(e);
    }
    entries.swap(result);
    return 0;
}

int load_message_table_pool(const std::vector<std::uint8_t>& bytes,
                            std::vector<MessageEntry>& pool_entries,
                            std::vector<std::uint8_t>& pool) {
    if (bytes.size() < kMessageMagicSize) return kMessageShort;
    if (std::memcmp(bytes.data(), kMessageMagic, kMessageMagicSize) != 0) {
        return kMessageWrongMagic;
    }
    if (bytes.size() < kMessageIndexStart) return kMessageShort;
    const int highest = (bytes[8] << 8) | bytes[9];
    if (highest == 0) return kMessageShort;
    const std::size_t pool_start = message_pool_start(highest);
    if (bytes.size() < pool_start) return kMessageShort;
    std::vector<MessageEntry> entries;
    entries.reserve(static_cast<std::size_t>(highest) + 1);
    std::size_t pool_size = 0;
    for (int slot = 0; slot <= highest; ++slot) {
        MessageEntry e = decode_message_entry(&bytes[message_entry_position(slot)]);
        if (e.offset < pool_start || static_cast<std::size_t>(e.offset) + e.length > bytes.size()) {
            return kMessageShort;
        }
        e.offset -= static_cast<std::uint32_t>(pool_start);
        pool_size = std::max(pool_size, static_cast<std::size_t>(e.offset) + e.length);
        entries.push_back(e);
    }
    pool.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pool_start),
                bytes.begin() + static_cast<std::ptrdiff_t>(pool_start + pool_size));
    pool_entries.swap(entries);
    return kMessageFormatOk;
}
