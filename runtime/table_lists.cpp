#include "runtime/table_lists.h"

#include <cstdint>
#include <vector>

#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/menu_store.h"
#include "runtime/table_files.h"
#include "runtime/table_format.h"

namespace {

constexpr std::uint16_t kNotLoaded = 0xFFFF;

struct ListDirectoryEntry {
    unsigned length = 0;
    bool keyed = false;
    unsigned offset = 0;
    std::uint16_t cache_position = kNotLoaded;
};

// The lists table: its file, name table and directory, the cache the lists are read into, and
// the list selected now with its entries' first and second texts.
struct TableListsState {
    AmoFile lists_file;
    bool directory_read = false;
    std::string lists_path;  // the table the directory came from, for reopening
    std::size_t menu_size = 0;
    std::uint8_t* name_table = nullptr;
    std::vector<ListDirectoryEntry> directory;
    std::uint8_t cache[kListCacheSize + 1] = {};
    std::size_t cache_fill = 0;
    int current = -1;
    std::vector<const char*> firsts, seconds;
};

TableListsState g_lists;

void drop_cache() {
    for (ListDirectoryEntry& e : g_lists.directory) e.cache_position = kNotLoaded;
    g_lists.cache_fill = 0;
    g_lists.current = -1;
    g_lists.firsts.clear();
    g_lists.seconds.clear();
}

int read_directory(int mode) {
    g_lists.menu_size = g_lists.lists_file.read_be16();
    const unsigned names_size = g_lists.lists_file.read_be16();
    std::uint8_t* names = g_lists.lists_file.read_block(names_size);
    if (names == nullptr) return -1;
    if (check_name_table(names, names_size, NameTableForm::big_endian_with_values) != 0) {
        mem_free(names);
        report_table_error(-8, g_lists.lists_file.path());
        return -1;
    }
    const unsigned n = g_lists.lists_file.read_be16();
    std::vector<ListDirectoryEntry> entries(n);
    const long file_size = g_lists.lists_file.size();
    for (ListDirectoryEntry& e : entries) {
        std::uint8_t raw[kListDirectoryEntrySize];
        if (g_lists.lists_file.read_bytes(raw, sizeof raw) != 0) break;
        const unsigned word = be16_at(raw);
        e.keyed = (word & kListKeyedBit) != 0;
        e.length = word & kListLengthMask;
        e.offset = be24_at(raw + 2);
        // A block that cannot fit the cache, or lies beyond the file, damages the table.
        if (e.length >= kListCacheSize ||
            e.offset + e.length > static_cast<unsigned long>(file_size)) {
            mem_free(names);
            report_table_error(-8, g_lists.lists_file.path());
            return -1;
        }
    }
    if (g_lists.lists_file.pending_error() != 0) {
        mem_free(names);
        g_lists.lists_file.close();
        return -1;
    }
    // Every list number the name table gives must have a directory entry.
    for (const NameEntry& e : name_table_entries(names, NameTableForm::big_endian_with_values)) {
        if (e.value >= n) {
            mem_free(names);
            report_table_error(-8, g_lists.lists_file.path());
            return -1;
        }
    }
    mem_free(g_lists.name_table);
    g_lists.name_table = names;
    g_lists.directory.swap(entries);
    drop_cache();
    g_lists.directory_read = true;
    // The menus are built afresh from this table: their store takes its size.
    if (mode == 0) reset_menu_store();
    return 0;
}

}  // namespace

int open_lists_file(int mode) {
    if (g_lists.lists_file.is_open()) return 0;
    if (mode == kListReopenOnly && g_lists.directory_read) {
        return g_lists.lists_file.open_path(g_lists.lists_path, kListsMagic) == 0 ? 0 : -1;
    }
    const bool opened = g_lists.lists_file.open(false, "ulists.amo", kListsMagic, false) == 0 ||
                        g_lists.lists_file.open(true, "ulists.amo", kListsMagic, false) == 0 ||
                        g_lists.lists_file.open(true, "alists.amo", kListsMagic) == 0;
    if (!opened) return -1;
    g_lists.lists_path = g_lists.lists_file.path();
    if (read_directory(mode) != 0) {
        g_lists.lists_file.discard();
        return -1;
    }
    return 0;
}

void close_lists_file() {
    g_lists.lists_file.discard();
}

void reset_lists() {
    g_lists.lists_file.discard();
    mem_free(g_lists.name_table);
    g_lists.name_table = nullptr;
    g_lists.directory.clear();
    g_lists.directory_read = false;
    g_lists.menu_size = 0;
    drop_cache();
}

int find_list(const char* name, bool keyed) {
    if (g_lists.name_table == nullptr) return -1;
    const int entry =
        name_table_search(g_lists.name_table, NameTableForm::big_endian_with_values, name);
    if (entry == 0) return -1;
    const unsigned n = be16_at(g_lists.name_table);
    const unsigned number = be16_at(g_lists.name_table + 2 + 2 * n + 2 * (entry - 1));
    const ListDirectoryEntry& e = g_lists.directory[number];
    if (e.length == 0 || e.keyed != keyed) return -1;
    return static_cast<int>(number);
}

int load_list(int n) {
    if (n < 0 || n >= static_cast<int>(g_lists.directory.size()) || !g_lists.lists_file.is_open())
        return -1;
    ListDirectoryEntry& e = g_lists.directory[static_cast<std::size_t>(n)];
    if (e.length == 0) return -1;
    if (g_lists.cache_fill + e.length >= kListCacheSize) drop_cache();
    std::uint8_t* block = g_lists.cache + g_lists.cache_fill;
    if (g_lists.lists_file.seek(static_cast<long>(e.offset)) != 0 ||
        g_lists.lists_file.read_bytes(block, e.length) != 0 ||
        check_list_block(block, e.length) != 0) {
        g_lists.lists_file.close(-8);
        return -1;
    }
    e.cache_position = static_cast<std::uint16_t>(g_lists.cache_fill);
    g_lists.cache_fill += e.length;
    return 0;
}

void select_list(int n) {
    if (n == g_lists.current && n >= 0) return;
    const bool in_range = n >= 0 && n < static_cast<int>(g_lists.directory.size());
    if (!in_range || (g_lists.directory[static_cast<std::size_t>(n)].cache_position == kNotLoaded &&
                      load_list(n) != 0)) {
        g_lists.current = -1;
        g_lists.firsts.clear();
        g_lists.seconds.clear();
        return;
    }
    const std::uint8_t* block =
        g_lists.cache + g_lists.directory[static_cast<std::size_t>(n)].cache_position;
    const unsigned m = be16_at(block);
    g_lists.firsts.clear();
    g_lists.seconds.clear();
    for (unsigned i = 0; i < m; ++i) {
        g_lists.firsts.push_back(reinterpret_cast<const char*>(block + be16_at(block + 2 + 2 * i)));
        g_lists.seconds.push_back(
            reinterpret_cast<const char*>(block + be16_at(block + 2 + 2 * (m + i))));
    }
    g_lists.current = n;
}

int current_list() {
    return g_lists.current;
}
bool current_list_is_keyed() {
    return g_lists.current >= 0 &&
           g_lists.directory[static_cast<std::size_t>(g_lists.current)].keyed;
}

int current_list_count() {
    return static_cast<int>(g_lists.firsts.size());
}

const char* current_list_first(int i) {
    return i >= 0 && i < current_list_count() ? g_lists.firsts[static_cast<std::size_t>(i)]
                                              : nullptr;
}

const char* current_list_second(int i) {
    return i >= 0 && i < current_list_count() ? g_lists.seconds[static_cast<std::size_t>(i)]
                                              : nullptr;
}

int list_count() {
    return static_cast<int>(g_lists.directory.size());
}

int list_cache_position(int n) {
    if (n < 0 || n >= static_cast<int>(g_lists.directory.size())) return -1;
    const std::uint16_t p = g_lists.directory[static_cast<std::size_t>(n)].cache_position;
    return p == kNotLoaded ? -1 : p;
}

std::size_t menu_text_size() {
    return g_lists.menu_size;
}

namespace {
const platform::StateReset table_lists_state_reset{"runtime/table_lists", reset_lists,
                                                   platform::ResetLayer::runtime};
}  // namespace
