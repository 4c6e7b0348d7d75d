#include "runtime/table_messages.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/message_table.h"
#include "runtime/table_files.h"

namespace {

// The message table read at start, its highest slot, and the ring the texts are copied into.
struct TableMessagesState {
    AmoFile message_file;
    int highest_slot = 0;
    char ring[kMessageRingSize] = {};
    std::size_t ring_position = 0;
};

TableMessagesState g_messages_table;

// A table cut short would answer every later message with the access-failure text: it is
// refused at the start instead, when every index entry and the last byte of every text must be
// there.
bool every_text_present() {
    // The index is read in one piece and each text's end held against the file's size: a
    // seek and read per slot cost thousands of system calls at every start.
    AmoFile& file = g_messages_table.message_file;
    const long file_size = file.size();
    if (file_size < 0) return false;
    const std::size_t slots = static_cast<std::size_t>(g_messages_table.highest_slot) + 1;
    std::vector<std::uint8_t> index(slots * kMessageEntrySize);
    if (file.seek(message_entry_position(0)) != 0 ||
        file.read_bytes(index.data(), index.size()) != 0) {
        return false;
    }
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const MessageEntry e = decode_message_entry(index.data() + slot * kMessageEntrySize);
        if (e.length == 0) continue;
        if (static_cast<std::uint64_t>(e.offset) + e.length > static_cast<std::uint64_t>(file_size))
            return false;
    }
    return true;
}

bool try_open(bool is_public, const char* name) {
    if (g_messages_table.message_file.open(is_public, name, kMessageMagic, false) != 0)
        return false;
    g_messages_table.highest_slot = static_cast<int>(g_messages_table.message_file.read_be16());
    if (g_messages_table.highest_slot == 0 || !every_text_present()) {
        g_messages_table.message_file.discard();
        return false;
    }
    return true;
}

}  // namespace

int open_message_table() {
    close_message_table();
    // A newly opened table fills the ring from its start, whatever an earlier one left there.
    g_messages_table.ring_position = 0;
    // A user table holds the base messages it was compiled on: one older than the public base
    // table (rebuilt since) would hide the newer base texts, so it is passed over.
    auto user_table = [](bool is_public) {
        return !table_older_than_public(is_public, "usmsgs.amo", "rtmsgs.amo") &&
               try_open(is_public, "usmsgs.amo");
    };
    const bool opened = (tables_stale() == 0 && user_table(false)) || user_table(true) ||
                        try_open(true, "rtmsgs.amo");
    // Nothing is shown here: without a message table a reported message could only read
    // "Cannot access message file"; the start-up shows its own fixed text once.
    if (!opened) {
        record_table_error(-7, amo_path(true, "rtmsgs.amo"));
        return -1;
    }
    return 0;
}

void close_message_table() {
    g_messages_table.message_file.discard();
    g_messages_table.highest_slot = 0;
}

const char* msg_text_kind(int n, int* kind) {
    int slot = n + kMessageSlotBase;
    if (slot < 0 || slot > g_messages_table.highest_slot) slot = 0;
    std::uint8_t raw[kMessageEntrySize];
    if (g_messages_table.message_file.is_open() &&
        g_messages_table.message_file.seek(message_entry_position(slot)) == 0 &&
        g_messages_table.message_file.read_bytes(raw, sizeof raw) == 0) {
        const MessageEntry e = decode_message_entry(raw);
        if (g_messages_table.ring_position + e.length >= kMessageRingSize)
            g_messages_table.ring_position = 0;
        char* text = g_messages_table.ring + g_messages_table.ring_position;
        if (g_messages_table.message_file.seek(static_cast<long>(e.offset)) == 0 &&
            g_messages_table.message_file.read_bytes(text, e.length) == 0) {
            text[e.length] = '\0';
            g_messages_table.ring_position += e.length + 1u;
            if (kind != nullptr) *kind = e.kind;
            return text;
        }
    }
    if (kind != nullptr) *kind = 2;
    return kMessageAccessFailed;
}

const char* msg_text(int n) {
    return msg_text_kind(n, nullptr);
}
