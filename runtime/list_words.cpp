#include "runtime/list_words.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/messages.h"
#include "runtime/table_format.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"

namespace {

constexpr int kCachedMessages[] = {-198, -158, -127, -98, -68, -66, -65, -58, -39};
constexpr std::size_t kCachedTextSize = 28;

// The value list the words are read from (the table's current list, or one a handler builds),
// the entry mask, the word last matched, the message texts kept for the lists, and the folder
// listing being walked.
struct ListWordsState {
    bool from_table = true;
    bool building = false;
    std::vector<std::pair<std::string, std::string>> built;
    std::uint32_t mask = 0xFFFFFFFFu;
    std::string match_value;
    char symbol_buffer[kSymbolNameBufferSize] = {};
    char cached_texts[std::size(kCachedMessages)][kCachedTextSize] = {};
    bool cached_filled[std::size(kCachedMessages)] = {};
    std::vector<platform::FolderEntry> dir_entries;
    std::size_t dir_next = 0;
    bool dir_open = false;
};

ListWordsState g_words;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// True when list text [text, text + n) lower-cased equals word (already lower case).
bool equals_lowered(const char* text, std::size_t n, const std::string& word) {
    if (n != word.size()) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (lower_char(text[i]) != word[i]) return false;
    }
    return true;
}

bool entry_matches(int i, const std::string& word) {
    const char* first = value_list_first(i);
    if (first == nullptr) first = "";
    if (i == 0 && first[0] == '@' && (word.empty() || word[0] != '@')) ++first;
    if (first[0] == '{') {
        const char* alias = first + 1;
        std::size_t n = 0;
        while (alias[n] != '\0' && alias[n] != '}' && alias[n] != ' ') ++n;
        if (equals_lowered(alias, n, word)) return true;
        return equals_lowered(list_entry_word(first), std::strlen(list_entry_word(first)), word);
    }
    return equals_lowered(first, std::strlen(first), word);
}

int find_entry(const std::string& word) {
    const int count = value_list_count();
    for (int i = 0; i < count; ++i) {
        const char* second = value_list_second(i);
        if (second != nullptr && second[0] == '$') continue;
        if (entry_matches(i, word)) return i;
    }
    return -1;
}

}  // namespace

int value_list_count() {
    return g_words.from_table ? current_list_count() : static_cast<int>(g_words.built.size());
}

const char* value_list_first(int i) {
    if (g_words.from_table) return current_list_first(i);
    return i >= 0 && i < static_cast<int>(g_words.built.size()) ? g_words.built[i].first.c_str()
                                                                : nullptr;
}

const char* value_list_second(int i) {
    if (g_words.from_table) return current_list_second(i);
    return i >= 0 && i < static_cast<int>(g_words.built.size()) ? g_words.built[i].second.c_str()
                                                                : nullptr;
}

bool value_list_from_table() {
    return g_words.from_table;
}

void select_table_value_list(int n) {
    g_words.built.clear();
    g_words.from_table = true;
    select_list(n);
}

void clear_value_list() {
    g_words.built.clear();
    g_words.from_table = true;
    select_list(-1);
}

void start_built_list() {
    select_list(-1);
    g_words.built.clear();
    g_words.from_table = false;
}

void add_built_list_entry(std::string_view first, std::string_view second) {
    if (g_words.from_table) start_built_list();
    g_words.built.emplace_back(std::string(first), std::string(second));
}

bool building_value_list() {
    return g_words.building;
}

void set_building_value_list(bool value) {
    g_words.building = value;
}

const char* strip_value_mask(const char* text) {
    g_words.mask = 0xFFFFFFFFu;
    if (text == nullptr || text[0] != kValueMaskMark) return text;
    std::uint32_t bits = 0;
    const char* p = text + 1;
    while (static_cast<unsigned char>(*p) < kValueMaskArguments && *p != '\0') {
        bits |= 1u << static_cast<unsigned char>(*p);
        ++p;
    }
    g_words.mask = ~bits;
    return p;
}

std::uint32_t value_text_mask() {
    return g_words.mask;
}

const char* match_list_word(const char* word, int* index) {
    if (index != nullptr) *index = -1;
    if (word == nullptr) return nullptr;
    const std::size_t length = std::strlen(word);
    if (length > 0 && word[length - 1] == '_') return nullptr;
    std::string lowered(word);
    for (char& c : lowered) c = lower_char(c);

    // The numbered form: "ray12" is tried as "ray_" with the number "012".
    std::size_t digits = 0;
    while (digits < length && is_digit(lowered[length - 1 - digits])) ++digits;
    int found = -1;
    std::string number;
    if (length >= 2 && digits >= 1 && digits <= 3 && digits < length) {
        number = std::string(3 - digits, '0') + lowered.substr(length - digits);
        found = find_entry(lowered.substr(0, length - digits) + "_");
        if (found < 0) number.clear();
    }
    if (found < 0) found = find_entry(lowered);
    if (found < 0) return nullptr;

    if (index != nullptr) *index = found;
    const char* second = value_list_second(found);
    g_words.match_value = second != nullptr && second[0] != '\0' ? second : std::to_string(found);
    g_words.match_value += number;
    return g_words.match_value.c_str();
}

const char* match_word_in_list(int list, const char* word, int* index) {
    const bool saved_from_table = g_words.from_table;
    const int saved_list = current_list();
    std::vector<std::pair<std::string, std::string>> saved_built;
    saved_built.swap(g_words.built);
    g_words.from_table = true;
    select_list(list);
    const char* value = list < 0 ? nullptr : match_list_word(word, index);
    if (list < 0 && index != nullptr) *index = -1;
    g_words.from_table = saved_from_table;
    g_words.built.swap(saved_built);
    select_list(saved_from_table ? saved_list : -1);
    return value;
}

const char* list_entry_word(const char* first) {
    if (first == nullptr) return "";
    if (first[0] != '{') return first;
    const char* close = std::strchr(first, '}');
    if (close == nullptr) return first;
    const char* p = close + 1;
    while (*p == ' ') ++p;
    return p;
}

const char* pick_symbol_name(int symbol, bool longest, bool strip) {
    const Definitions& d = definitions();
    const char* names[2] = {nullptr, nullptr};
    int found = 0;
    if (d.names != nullptr && d.names_size >= 2) {
        const unsigned n = be16_at(d.names);
        const std::size_t values = 2 + 2 * std::size_t{n};
        for (unsigned i = 0; i < n && found < 2; ++i) {
            if (be16_at(d.names + values + 2 * i) != static_cast<unsigned>(symbol)) continue;
            names[found++] = reinterpret_cast<const char*>(d.names + be16_at(d.names + 2 + 2 * i));
        }
    }
    const char* chosen = names[0];
    if (found == 2) {
        const std::size_t a = std::strlen(names[0]);
        const std::size_t b = std::strlen(names[1]);
        if (longest ? b > a : b < a) chosen = names[1];
    }
    if (chosen == nullptr) chosen = "?";
    std::snprintf(g_words.symbol_buffer, sizeof g_words.symbol_buffer, "%s", chosen);
    const std::size_t length = std::strlen(g_words.symbol_buffer);
    if (strip && found > 0 && symbol >= 0 && symbol < kUserSymbolBase && length >= 3 &&
        g_words.symbol_buffer[length - 2] == '_') {
        g_words.symbol_buffer[length - 2] = '\0';
    }
    return g_words.symbol_buffer;
}

char escape_char(char letter) {
    switch (letter) {
        case 'b':
            return 8;
        case 'f':
            return 12;
        case 'n':
            return 10;
        case 'r':
            return 13;
        case 't':
            return 9;
        case 'v':
            return 11;
        default:
            return 0;
    }
}

void unescape_text(char* text) {
    if (text == nullptr) return;
    char* out = text;
    for (const char* p = text; *p != '\0'; ++p) {
        const char c = p[0] == '\\' ? escape_char(p[1]) : 0;
        if (c != 0) {
            *out++ = c;
            ++p;
        } else {
            *out++ = *p;
        }
    }
    *out = '\0';
}

const char* cached_msg_text(int message) {
    for (std::size_t i = 0; i < std::size(kCachedMessages); ++i) {
        if (kCachedMessages[i] != message) continue;
        if (!g_words.cached_filled[i]) {
            std::snprintf(g_words.cached_texts[i], kCachedTextSize, "%s", msg_text(message));
            g_words.cached_filled[i] = true;
        }
        return g_words.cached_texts[i];
    }
    return "?";
}

void forget_cached_msg_texts() {
    for (bool& f : g_words.cached_filled) f = false;
}

int next_dir_entry(bool restart, std::string& name, const char* folder, const char* extension) {
    name.clear();
    if (restart) {
        g_words.dir_entries.clear();
        g_words.dir_next = 0;
        g_words.dir_open = false;
        std::string pattern = "*.*";
        if (extension != nullptr && std::strcmp(extension, "*.*") != 0) {
            const char* e = extension;
            if (e[0] == '*') ++e;
            if (e[0] == '.') ++e;
            pattern = std::string("*.") + e;
        }
        std::vector<platform::FolderEntry> folders, files;
        const std::string path = folder != nullptr ? folder : "";
        if (platform::list_folder(path, "*", platform::kListFolders, folders) != 0 ||
            platform::list_folder(path, pattern, platform::kListFiles, files) != 0) {
            return set_error_msg(kMsgFolderUnreadable, path.c_str());
        }
        for (platform::FolderEntry& f : folders) g_words.dir_entries.push_back(std::move(f));
        for (platform::FolderEntry& f : files) g_words.dir_entries.push_back(std::move(f));
        g_words.dir_open = true;
    }
    if (!g_words.dir_open) return 0;
    if (g_words.dir_next >= g_words.dir_entries.size()) {
        g_words.dir_entries.clear();
        g_words.dir_open = false;
        return 0;
    }
    const platform::FolderEntry& e = g_words.dir_entries[g_words.dir_next++];
    name = e.is_folder ? " " + e.name : e.name;
    return 0;
}

char* trim_and_unquote(char* text) {
    if (text == nullptr) return text;
    while (*text == ' ') ++text;
    if (*text == '"') ++text;
    std::size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') --n;
    if (n > 0 && text[n - 1] == '"' && (n < 2 || text[n - 2] != '\\')) --n;
    text[n] = '\0';
    return text;
}

namespace {
void reset_list_words() {
    g_words = ListWordsState{};
}
const platform::StateReset list_words_state_reset{"runtime/list_words", reset_list_words,
                                                  platform::ResetLayer::runtime};
}  // namespace
