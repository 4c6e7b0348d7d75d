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

AmoFile lists_file;
bool directory_read = false;
std::string lists_path;  // the table the directory came from, for reopening
std::size_t menu_size = 0;
std::uint8_t* name_table = nullptr;
std::vector<ListDirectoryEntry> directory;
std::uint8_t cache[kListCacheSize + 1];
std::size_t cache_fill = 0;
int current = -1;
std::vector<const char*> firsts, seconds;

void drop_cache() {
    for (ListDirectoryEntry& e : directory) e.cache_position = kNotLoaded;
    cache_fill = 0;
    current = -1;
    firsts.clear();
    seconds.clear();
}

int read_directory(int mode) {
    menu_size = lists_file.read_be16();
    const unsigned names_size = lists_file.read_be16();
    std::uint8_t* names = lists_file.read_block(names_size);
    if (names == nullptr) return -1;
    if (check_name_table(names, names_size, NameTableForm::big_endian_with_values) != 0) {
        mem_free(names);
        report_table_error(-8, lists_file.path());
        return -1;
    }
    const unsigned n = lists_file.read_be16();
    std::vector<ListDirectoryEntry> entries(n);
    const long file_size = lists_file.size();
    for (ListDirectoryEntry& e : entries) {
        std::uint8_t raw[kListDirectoryEntrySize];
        if (lists_file.read_bytes(raw, sizeof raw) != 0) break;
        const unsigned word = be16_at(raw);
        e.keyed = (word & kListKeyedBit) != 0;
        e.length = word & kListLengthMask;
        e.offset = be24_at(raw + 2);
        // A block that cannot fit the cache, or lies beyond the file, damages the table.
        if (e.length >= kListCacheSize ||
            e.offset + e.length > static_cast<unsigned long>(file_size)) {
            mem_free(names);
            report_table_error(-8, lists_file.path());
            return -1;
        }
    }
    if (lists_file.pending_error() != 0) {
        mem_free(names);
        lists_file.close();
        return -1;
    }
    // Every list number the name table gives must have a directory entry.
    for (const NameEntry& e : name_table_entries(names, NameTableForm::big_endian_with_values)) {
        if (e.value >= n) {
            mem_free(names);
            report_table_error(-8, lists_file.path());
            return -1;
        }
    }
    mem_free(name_table);
    name_table = names;
    directory.swap(entries);
    drop_cache();
    directory_read = true;
    // The menus are built afresh from this table: their store takes its size.
    if (mode == 0) reset_menu_store();
    return 0;
}

}  // namespace

int open_lists_file(int mode) {
    if (lists_file.is_open()) return 0;
    if (mode == kListReopenOnly && directory_read) {
        return lists_file.open_path(lists_path, kListsMagic) == 0 ? 0 : -1;
    }
    const bool opened = lists_file.open(false, "ulists.amo", kListsMagic, false) == 0 ||
                        lists_file.open(true, "ulists.amo", kListsMagic, false) == 0 ||
                        lists_file.open(true, "alists.amo", kListsMagic) == 0;
    if (!opened) return -1;
    lists_path = lists_file.path();
    if (read_directory(mode) != 0) {
        lists_file.discard();
        return -1;
    }
    return 0;
}

void close_lists_file() {
    lists_file.discard();
}

void reset_lists() {
    lists_file.discard();
    mem_free(name_table);
    name_table = nullptr;
    directory.clear();
    directory_read = false;
    menu_size = 0;
    drop_cache();
}

int find_list(const char* name, bool keyed) {
    if (name_table == nullptr) return -1;
    const int entry = name_table_search(name_table, NameTableForm::big_endian_with_values, name);
    if (entry == 0) return -1;
    const unsigned n = be16_at(name_table);
    const unsigned number = be16_at(name_table + 2 + 2 * n + 2 * (entry - 1));
    const ListDirectoryEntry& e = directory[number];
    if (e.length == 0 || e.keyed != keyed) return -1;
    return static_cast<int>(number);
}

int load_list(int n) {
    if (n < 0 || n >= static_cast<int>(directory.size()) || !lists_file.is_open()) return -1;
    ListDirectoryEntry& e = directory[static_cast<std::size_t>(n)];
    if (e.length == 0) return -1;
    if (cache_fill + e.length >= kListCacheSize) drop_cache();
    std::uint8_t* block = cache + cache_fill;
    if (lists_file.seek(static_cast<long>(e.offset)) != 0 ||
        lists_file.read_bytes(block, e.length) != 0 || check_list_block(block, e.length) != 0) {
        lists_file.close(-8);
        return -1;
    }
    e.cache_position = static_cast<std::uint16_t>(cache_fill);
    cache_fill += e.length;
    return 0;
}

void select_list(int n) {
    if (n == current && n >= 0) return;
    const bool in_range = n >= 0 && n < static_cast<int>(directory.size());
    if (!in_range || (directory[static_cast<std::size_t>(n)].cache_position == kNotLoaded &&
                      load_list(n) != 0)) {
        current = -1;
        firsts.clear();
        seconds.clear();
        return;
    }
    const std::uint8_t* block = cache + directory[static_cast<std::size_t>(n)].cache_position;
    const unsigned m = be16_at(block);
    firsts.clear();
    seconds.clear();
    for (unsigned i = 0; i < m; ++i) {
        firsts.push_back(reinterpret_cast<const char*>(block + be16_at(block + 2 + 2 * i)));
        seconds.push_back(reinterpret_cast<const char*>(block + be16_at(block + 2 + 2 * (m + i))));
    }
    current = n;
}

int current_list() {
    return current;
}
bool current_list_is_keyed() {
    return current >= 0 && directory[static_cast<std::size_t>(current)].keyed;
}

int current_list_count() {
    return static_cast<int>(firsts.size());
}

const char* current_list_first(int i) {
    return i >= 0 && i < current_list_count() ? firsts[static_cast<std::size_t>(i)] : nullptr;
}

const char* current_list_second(int i) {
    return i >= 0 && i < current_list_count() ? seconds[static_cast<std::size_t>(i)] : nullptr;
}

int list_count() {
    return static_cast<int>(directory.size());
}

int list_cache_position(int n) {
    if (n < 0 || n >= static_cast<int>(directory.size())) return -1;
    const std::uint16_t p = directory[static_cast<std::size_t>(n)].cache_position;
    return p == kNotLoaded ? -1 : p;
}

std::size_t menu_text_size() {
    return menu_size;
}

namespace {
const platform::StateReset table_lists_state_reset{"runtime/table_lists", reset_lists,
                                                   platform::ResetLayer::runtime};
}  // namespace
