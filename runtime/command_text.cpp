#include "runtime/command_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/arg_cells.h"
#include "runtime/definitions.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"

namespace {

bool is_identifier(const char* text) {
    if (text == nullptr || !(std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_')) {
        return false;
    }
    for (const char* p = text; *p != '\0'; ++p) {
        if (!(std::isalnum(static_cast<unsigned char>(*p)) || *p == '_')) return false;
    }
    return true;
}

// An entry's value text: its second text after an argument mask and any other leading control
// characters; null when it has none (the entry then stands for its position).
const char* entry_value_text(int i) {
    const char* second = value_list_second(i);
    if (second == nullptr || second[0] == '\0') return nullptr;
    const char* p = strip_value_mask(second);
    while (*p != '\0' && static_cast<unsigned char>(*p) < ' ') ++p;
    return p;
}

bool value_reads_as(const char* text, double v) {
    char* end = nullptr;
    const double x = std::strtod(text, &end);
    return end != text && *end == '\0' && x == v;
}

// The word that stands in a command text for a cell's value in the current list: the entry
// whose value text reads as the number (lists need not start at 0, nor count by one), or whose
// position is the number when it has no value text; a numbered entry ("AS_" for "AS3") takes
// a value of its code times 1000 plus the number. For a text, the entry whose word or value
// text it is. The entry's index, or -1 when the list lacks the value.
int list_entry_of(const ArgCell& cell, std::string* word) {
    const int count = value_list_count();
    if (cell.type == kArgChar && cell.text_length > 0) {
        if (cell.value.text == nullptr) return -1;
        for (int i = 0; i < count; ++i) {
            const char* second = value_list_second(i);
            if (std::strcmp(list_entry_word(value_list_first(i)), cell.value.text) == 0 ||
                (second != nullptr &&
                 std::strcmp(strip_value_mask(second), cell.value.text) == 0)) {
                *word = list_entry_word(value_list_first(i));
                return i;
            }
        }
        return -1;
    }
    const double v = cell.type == kArgInt    ? cell.value.i
                     : cell.type == kArgChar ? static_cast<unsigned char>(cell.value.c)
                                             : cell.value.d;
    for (int i = 0; i < count; ++i) {
        const char* value = entry_value_text(i);
        if (value != nullptr ? value_reads_as(value, v) : v == i) {
            *word = list_entry_word(value_list_first(i));
            return i;
        }
    }
    // An entry whose value text is no number stands for its position.
    if (v >= 0 && v < count && v == std::floor(v)) {
        const int at = static_cast<int>(v);
        const char* value = entry_value_text(at);
        char* end = nullptr;
        if (value != nullptr && (std::strtod(value, &end), end == value)) {
            *word = list_entry_word(value_list_first(at));
            return at;
        }
    }
    if (v < 1000 || v != std::floor(v)) return -1;
    const double code = std::floor(v / 1000);
    for (int i = 0; i < count; ++i) {
        const std::string stem = list_entry_word(value_list_first(i));
        const char* value = entry_value_text(i);
        if (stem.size() < 2 || stem.back() != '_' || value == nullptr ||
            !value_reads_as(value, code)) {
            continue;
        }
        *word =
            stem.substr(0, stem.size() - 1) + std::to_string(static_cast<long>(v - code * 1000));
        return i;
    }
    return -1;
}

}  // namespace

int format_command_text(std::string& out, int first_arg) {
    const int command = current_command();
    out += symbol_name(command);
    int arg = first_arg < 0 ? 0 : first_arg;
    // The compiler skips the arguments that an earlier list word masks; the text leaves them
    // out too, or the values after the word would land in the wrong arguments when it runs.
    std::uint32_t allowed = 0xFFFFFFFFu;
    for (; arg < arg_count(); ++arg) {
        if (arg < kValueMaskArguments && (allowed & (1u << arg)) == 0) continue;
        const ArgCell* cell = arg_cell(arg);
        const int n = param_descriptor_index(command, arg);
        // An argument the caller did not give, or one without a parameter, ends the text.
        if (cell == nullptr || cell->status != kArgGiven || param_descriptor(n) == nullptr) break;
        out += ' ';
        if (param_value_kind(n) != 0 && select_param_list(n) == 0) {
            std::string word;
            const int entry = list_entry_of(*cell, &word);
            if (entry < 0) {
                out += '*';
                continue;
            }
            strip_value_mask(value_list_second(entry));
            allowed &= value_text_mask();
            if (is_identifier(word.c_str())) {
                out += word;
            } else {
                out += '"';
                out += word;
                out += '"';
            }
            continue;
        }
        char number[64];
        switch (cell->type) {
            case kArgInt:
                std::snprintf(number, sizeof number, "%d", cell->value.i);
                out += number;
                break;
            case kArgDouble:
                out += format_number(cell->value.d, 2, 0);
                break;
            case kArgChar:
                if (cell->text_length > 0) {
                    out += '"';
                    out += cell->value.text != nullptr ? cell->value.text : "";
                    out += '"';
                } else {
                    out += cell->value.c;
                }
                break;
            default:
                out += '*';
                break;
        }
    }
    return arg;
}

int copy_command_text(char* field, std::size_t size, const std::string& text) {
    if (field == nullptr || size == 0) return set_error_msg(kMsgCommandTextTooLong, 0);
    if (text.size() + 1 > size) {
        return set_error_msg(kMsgCommandTextTooLong, static_cast<int>(size - 1));
    }
    std::memcpy(field, text.c_str(), text.size() + 1);
    return 0;
}
