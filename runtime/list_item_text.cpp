#include "runtime/list_item_text.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/table_lists.h"

namespace {

std::string shown;

const char* show(std::string text) {
    for (char& c : text) {
        if (c == '_') c = ' ';
    }
    shown = std::move(text);
    return shown.c_str();
}

}  // namespace

int list_item_entry(int value) {
    const int count = value_list_count();
    if (value_list_from_table() && current_list_is_keyed()) {
        char key[16];
        std::snprintf(key, sizeof key, "%d", value);
        for (int i = 0; i < count; ++i) {
            const char* second = value_list_second(i);
            if (second != nullptr && std::strcmp(second, key) == 0) return i;
        }
        return -1;
    }
    return value >= 0 && value < count ? value : -1;
}

const char* list_item_text(int value) {
    const int i = list_item_entry(value);
    const char* first = i >= 0 ? value_list_first(i) : nullptr;
    if (first == nullptr) return "?";
    return show(skip_brace_prefix(first));
}

const char* list_item_keyword(int value) {
    const int i = list_item_entry(value);
    const char* first = i >= 0 ? value_list_first(i) : nullptr;
    if (first == nullptr) return "?";
    const char* close = first[0] == '{' ? std::strchr(first, '}') : nullptr;
    if (close != nullptr) return show(std::string(first + 1, close));
    return show(first);
}

namespace {
void reset_list_item_text() {
    shown.clear();
}
const platform::StateReset list_item_text_state_reset{
    "runtime/list_item_text", reset_list_item_text, platform::ResetLayer::runtime};
}  // namespace
