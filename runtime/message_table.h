// The message table layout ("amms_01"): the one implementation of it, linked by the program's
// reader, the message compiler and the table builder alike.
//
// File: 8-byte magic, BE16 highest slot N, N+1 four-byte index entries, then the text pool.
// Index entry: offset bits 8-15, offset bits 0-7, length, kind << 2 | offset bits 16-17. Offsets
// are absolute file offsets of 18 bits; texts carry no terminator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr char kMessageMagic[8] = {'a', 'm', 'm', 's', '_', '0', '1', '\0'};
inline constexpr std::size_t kMessageMagicSize = 8;
inline constexpr std::size_t kMessageIndexStart = 10;  // first index entry
inline constexpr std::size_t kMessageEntrySize = 4;
inline constexpr std::uint32_t kMessageOffsetLimit = 1u << 18;  // offsets are 18 bits
inline constexpr unsigned kMessageKindLimit = 64;               // kinds are 6 bits
inline constexpr unsigned kMessageLengthLimit = 256;            // lengths are one byte
inline constexpr int kMessageSlotLimit = 65536;                 // N is a BE16
inline constexpr int kMessageSlotBase = 4000;  // main-program message n lives in slot n + 4000

struct MessageEntry {
    std::uint32_t offset = 0;  // absolute file offset (or pool position in memory)
    std::uint8_t length = 0;
    std::uint8_t kind = 0;
};

// Failures of the format code; callers turn them into their own message numbers.
enum MessageFormatError : int {
    kMessageFormatOk = 0,
    kMessageOffsetTooLarge = -1,  // a text would start at or beyond 2^18
    kMessageBadKind = -2,
    kMessageBadLength = -3,
    kMessageBadSlot = -4,
    kMessageShort = -5,  // too short, N of 0, or an entry outside the file
    kMessageWrongMagic = -6,
};

// File offset of the text pool of a table whose highest slot is N.
inline std::uint32_t message_pool_start(int highest_slot) {
    return static_cast<std::uint32_t>(14 + 4 * highest_slot);
}

// File offset of the index entry of a slot.
inline std::uint32_t message_entry_position(int slot) {
    return static_cast<std::uint32_t>(kMessageIndexStart + kMessageEntrySize * slot);
}

// Packs one index entry; refuses offsets at or above 2^18 and kinds above six bits.
int encode_message_entry(const MessageEntry& entry, std::uint8_t out[4]);
MessageEntry decode_message_entry(const std::uint8_t in[4]);

// One text of a table being written: its slot, kind and bytes (no terminator).
struct MessageText {
    int slot = 0;
    unsigned kind = 0;
    std::string text;
};

// Writes a whole table into bytes. Slots without a text share one empty text of kind 0, the
// first byte of the pool, so that pool position 0 always means "no text of its own" (the
// message compiler relies on that to find free slots). The other texts follow in the order
// given; an empty text is stored as one zero byte of length 1. Fails without output on a duplicate
// or negative slot, a text of 256 bytes or more, a kind above six bits, or a text offset at or
// above 2^18.
int build_message_table(const std::vector<MessageText>& texts, std::vector<std::uint8_t>& out);

// Writes a table from index entries whose offsets are pool positions (the message compiler
// keeps its table that way) and the pool bytes in use. Fails without output like the above.
int write_message_table_bytes(const std::vector<MessageEntry>& pool_entries,
                              const std::vector<std::uint8_t>& pool,
                              std::vector<std::uint8_t>& out);

// Reads a whole table held in memory: checks the magic, N, every entry against the file size.
// Fills entries with absolute offsets. 0, or -8 when short or damaged, -6 on a wrong magic.
int parse_message_table(const std::vector<std::uint8_t>& bytes, std::vector<MessageEntry>& entries);

// Reads a whole table held in memory the way the message compiler keeps it: index entries whose
// offsets are pool positions, and the pool, whose size comes from the entry that reaches furthest
// into it (not from the file size). 0, kMessageShort or kMessageWrongMagic; nothing is changed
// on failure.
int load_message_table_pool(const std::vector<std::uint8_t>& bytes,
                            std::vector<MessageEntry>& pool_entries,
                            std::vector<std::uint8_t>& pool);
