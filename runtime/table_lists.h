// The list table ("amal_11"): named lists of text pairs (file-type filters, choice lists, menus,
// toolbar items), loaded on demand into a fixed list cache.
#pragma once

#include <cstddef>

inline constexpr int kListReopenOnly = 100;

// Opens the private "ulists.amo", else the public "ulists.amo", else the public "alists.amo".
// Does nothing when already open; mode 100 only reopens a closed handle. 0 or -1 (reported).
int open_lists_file(int mode);
void close_lists_file();
// Forgets everything (handle, directory, cache), as before the first open.
void reset_lists();
// List number of a name (exact, lower-case), -1 when unknown, empty or of the other keyedness.
int find_list(const char* name, bool keyed);
// Reads list n into the cache; 0 or -1.
int load_list(int n);
// Makes list n current (loading it when needed); out of range or unloadable gives list -1.
void select_list(int n);
int current_list();
// True when the current list is keyed (its entries are found by their key texts, the second
// texts, rather than by position).
bool current_list_is_keyed();
int current_list_count();
const char* current_list_first(int i);
const char* current_list_second(int i);
int list_count();
int list_cache_position(int n);  // -1 when not loaded
std::size_t menu_text_size();
