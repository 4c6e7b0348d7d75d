// List words and small text services shared by the compiler, the argument checking and many
// handlers: the current value list (a list of the list table, or one a handler built), matching
// a typed word against it, printable symbol names, escape sequences in texts, a cache of nine
// fixed message texts and a one-entry-per-call folder listing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tables/table_names.h"

// --- the current value list --------------------------------------------------------------
// Entries are pairs (first text, second text). The first text is the word a user types,
// optionally after an alias in braces ("{surf} surface"); the second text carries the value
// (a second text beginning with '$' marks an entry that is never matched).

int value_list_count();
const char* value_list_first(int i);   // null outside 0..count-1
const char* value_list_second(int i);  // null outside 0..count-1
// False when the current list was built by a handler.
bool value_list_from_table();
// Makes list n of the list table current (an unknown or unloadable list leaves it empty).
void select_table_value_list(int n);
// Empties the current list.
void clear_value_list();
// A handler asked to build a value list (building_value_list() is true while it runs) starts
// the list and adds its entries here.
void start_built_list();
void add_built_list_entry(std::string_view first, std::string_view second);
bool building_value_list();
void set_building_value_list(bool building);

// A value text may begin with kValueMaskMark followed by argument numbers below
// kValueMaskArguments: choosing the entry makes those arguments of the call irrelevant. The
// text after them, with the complement of that bit set kept for the compiler (value_text_mask).
inline constexpr char kValueMaskMark = 1;
inline constexpr int kValueMaskArguments = 24;
const char* strip_value_mask(const char* text);
std::uint32_t value_text_mask();

// --- words --------------------------------------------------------------------------------

// Matches a word against the current list. The entry's value text (its second text, or the
// entry number when it has none; in the numbered form "ray12" -> "ray_" the three digits
// "012" appended), or null when nothing matches. index gets the entry number or -1. A word
// ending in '_' never matches. The text lives until the next call.
const char* match_list_word(const char* word, int* index);

// The same against list n of the list table; the current list is left as it was.
const char* match_word_in_list(int list, const char* word, int* index);

// The first text of an entry without a leading alias in braces and the blanks after it.
const char* list_entry_word(const char* first);

// The name of symbol n: of its first two names the shorter (longest: the longer; the first on
// a tie), "?" when it has none; strip cuts a built-in's context suffix ("_" and one letter).
const char* pick_symbol_name(int symbol, bool longest, bool strip);

// "\b" "\f" "\n" "\r" "\t" "\v" become their control characters, in place; any other backslash
// stays.
void unescape_text(char* text);
// The control character of an escape letter (b f n r t v), or 0.
char escape_char(char letter);

// The text of one of the nine cached messages (-198, -158, -127, -98, -68, -66, -65, -58, -39),
// read from the message table on first use (at most 27 characters); "?" for any other number.
const char* cached_msg_text(int message);
void forget_cached_msg_texts();

// One folder entry per call: restart begins a listing of folder; each call gives a sub-folder
// as a blank followed by its name, or a file whose extension is the requested one ("*.*": every
// file). An empty name ends the listing. 0, or -9998 when the folder cannot be read.
int next_dir_entry(bool restart, std::string& name, const char* folder, const char* extension);

// Skips leading blanks and one opening quote, cuts trailing blanks and one closing quote not
// preceded by a backslash; the text is changed in place.
char* trim_and_unquote(char* text);
