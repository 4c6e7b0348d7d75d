#include "runtime/string_commands.h"

#include <strings.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/clock.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/list_item_text.h"
#include "runtime/table_files.h"

namespace {

// The text of cell i; an empty text for a cell that holds none.
const char* cell_text(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr || c->type != kArgChar || c->text_length <= 0 || c->value.text == nullptr) {
        return "";
    }
    return c->value.text;
}

// The writable bytes of cell i and their capacity (NUL included); null when it is no text.
char* cell_buffer(int i, std::size_t* capacity) {
    const int n = arg_text_capacity(i);
    *capacity = n > 0 ? static_cast<std::size_t>(n) : 0;
    return n > 0 ? arg_cell(i)->value.text : nullptr;
}

// Copies text into cell i when it fits below the capacity: 0; else the cell is emptied, -17.
int store_text(int i, const char* text, std::size_t length) {
    std::size_t capacity = 0;
    char* out = cell_buffer(i, &capacity);
    if (out == nullptr) return kMsgTextDoesNotFit;
    if (length >= capacity) {
        out[0] = '\0';
        return kMsgTextDoesNotFit;
    }
    std::memmove(out, text, length);
    out[length] = '\0';
    return 0;
}

// The rows and row width of a text array argument: a one-dimensional char array is one row.
bool text_array_shape(int i, int* rows, int* width) {
    const ArgShape* s = arg_shape(i);
    const ArgCell* c = arg_cell(i);
    if (s == nullptr || c == nullptr || c->value.text == nullptr || s->type != kArgChar ||
        s->dim1 <= 0) {
        return false;
    }
    *rows = s->dim2 > 0 ? s->dim1 : 1;
    *width = s->dim2 > 0 ? s->dim2 : s->dim1;
    return true;
}

// The token scanner keeps its own copy of the text: the caller's argument dies with the call.
struct TokenState {
    std::string text;
    std::size_t position = 0;
};
TokenState tokens;

int next_token() {
    const char* start = cell_text(1);
    if (start[0] != '\0') {
        tokens.text = start;
        tokens.position = 0;
    }
    const std::string delimiters = cell_text(2);
    const std::string& t = tokens.text;
    std::size_t p = t.find_first_not_of(delimiters, tokens.position);
    if (p == std::string::npos) {
        tokens.position = t.size();
        store_text(0, "", 0);
        return 0;
    }
    std::size_t end = t.find_first_of(delimiters, p);
    if (end == std::string::npos) end = t.size();
    tokens.position = end < t.size() ? end + 1 : end;
    const int r = store_text(0, t.data() + p, end - p);
    return r != 0 ? r : static_cast<int>(end - p);
}

std::tm tm_of(const platform::LocalTime& t) {
    static const int before_month[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_wday = t.weekday;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    const int m = t.month >= 1 && t.month <= 12 ? t.month - 1 : 0;
    tm.tm_yday = before_month[m] + t.day - 1 + (leap && m >= 2 ? 1 : 0);
    tm.tm_isdst = -1;
    return tm;
}

int row_get() {
    int rows = 0, width = 0;
    std::size_t capacity = 0;
    char* out = cell_buffer(0, &capacity);
    const int row = arg_int(2);
    if (out == nullptr) return kMsgTextDoesNotFit;
    if (!text_array_shape(1, &rows, &width) || row < 0 || row >= rows ||
        capacity < static_cast<std::size_t>(width)) {
        out[0] = '\0';
        return kMsgTextDoesNotFit;
    }
    const char* source = arg_cell(1)->value.text + static_cast<std::size_t>(row) * width;
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(width) && n + 1 < capacity && source[n] != '\0') ++n;
    std::memmove(out, source, n);
    out[n] = '\0';
    return 0;
}

int row_set() {
    int rows = 0, width = 0;
    const int row = arg_int(2);
    const ArgCell* text = arg_cell(1);
    const int needed = text != nullptr && text->type == kArgChar ? text->text_length : 0;
    if (!text_array_shape(0, &rows, &width) || row < 0 || row >= rows || needed <= 0 ||
        width < needed) {
        return kMsgTextDoesNotFit;
    }
    char* target = arg_cell(0)->value.text + static_cast<std::size_t>(row) * width;
    const std::size_t n = std::strlen(text->value.text);
    std::memmove(target, text->value.text, n);
    std::memset(target + n, 0, static_cast<std::size_t>(width) - n);
    return 0;
}

}  // namespace

std::size_t format_date_time(char* out, std::size_t size, const char* format,
                             const platform::LocalTime& when) {
    if (out == nullptr || size == 0) return 0;
    out[0] = '\0';
    if (format == nullptr || format[0] == '\0') return 0;
    const std::tm calendar = tm_of(when);
    const std::size_t n = std::strftime(out, size, format, &calendar);
    if (n == 0) out[0] = '\0';
    return n;
}

int clamped_atoi(const char* text) {
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

int cmd_string_functions() {
    switch (current_command()) {
        case kCmdDateTime: {
            std::size_t capacity = 0;
            char* out = cell_buffer(0, &capacity);
            if (out != nullptr) {
                format_date_time(out, capacity, cell_text(1), platform::local_time());
            }
            return 0;
        }
        case kCmdStrcpy: {
            // The source may be the destination itself or overlap it.
            const std::string source = cell_text(1);
            set_int_result(store_text(0, source.c_str(), source.size()));
            return 0;
        }
        case kCmdStrcat: {
            std::size_t capacity = 0;
            char* out = cell_buffer(0, &capacity);
            const std::string tail = cell_text(1);
            if (out == nullptr) {
                set_int_result(kMsgTextDoesNotFit);
                return 0;
            }
            const std::size_t have = std::strlen(out);
            if (have + tail.size() >= capacity) {
                set_int_result(kMsgTextDoesNotFit);
                return 0;
            }
            std::memcpy(out + have, tail.c_str(), tail.size() + 1);
            set_int_result(0);
            return 0;
        }
        case kCmdStrlen:
            set_int_result(static_cast<int>(std::strlen(cell_text(0))));
            return 0;
        case kCmdStrcmp: {
            const int c = std::strcmp(cell_text(0), cell_text(1));
            set_int_result(c < 0 ? -1 : c > 0 ? 1 : 0);
            return 0;
        }
        case kCmdStricmp:
            set_int_result(strcasecmp(cell_text(0), cell_text(1)));
            return 0;
        case kCmdAtoi:
            set_int_result(clamped_atoi(cell_text(0)));
            return 0;
        case kCmdAtof:
            set_double_result(std::strtod(cell_text(0), nullptr));
            return 0;
        case kCmdStrfind: {
            const char* hay = cell_text(0);
            const char* at = hay[0] == '\0' ? nullptr : std::strstr(hay, cell_text(1));
            set_int_result(at == nullptr ? -1 : static_cast<int>(at - hay));
            return 0;
        }
        case kCmdStrtok:
            set_int_result(next_token());
            return 0;
        case kCmdRowGet:
            set_int_result(row_get());
            return 0;
        case kCmdRowSet:
            set_int_result(row_set());
            return 0;
        case kCmdUpper:
        case kCmdLower: {
            std::size_t capacity = 0;
            char* out = cell_buffer(0, &capacity);
            if (out != nullptr) {
                if (current_command() == kCmdUpper) {
                    uppercase_string(out);
                } else {
                    lowercase_string(out);
                }
            }
            return 0;
        }
        case kCmdListText: {
            const std::string text = list_item_text(arg_int(1));
            set_int_result(store_text(0, text.c_str(), text.size()));
            return 0;
        }
        default:
            return 0;
    }
}

void install_string_commands() {
    set_handler(kSlotStringFunctions, cmd_string_functions);
}

namespace {
void reset_string_commands() {
    tokens = TokenState{};
}
const platform::StateReset string_commands_state_reset{
    "runtime/string_commands", reset_string_commands, platform::ResetLayer::runtime};
}  // namespace
