#include "runtime/parameters.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

// The hooks the command language installs, the prompting mode, and the texts a prompt is built
// in.
struct ParametersState {
    ParamHooks hooks;
    int prompting_word = kPromptingNone;
    // Whether the value list of the parameter being asked for could be made current; the caller
    // of the prompt loop selects it once, before the default is looked at.
    bool prompt_list_selected = false;
    char answer_buffer[kArgTextSize] = {};
    char display_name[64] = {};
};

ParametersState g_params;

constexpr char kStringPreferences[] = "string_preferences";
constexpr char kStrPref[] = "str_pref";
constexpr std::size_t kStrPrefMin = 10;
constexpr std::size_t kStrPrefMax = 57;

unsigned handle_kind(std::uint16_t h) {
    return h & kHandleKindMask;
}
int handle_number(std::uint16_t h) {
    return static_cast<int>(h & kHandleNumberMask);
}
int param_type(const ParamDescriptor& d) {
    return d.type_flags & kParamTypeMask;
}
bool is_text_param(const ParamDescriptor& d) {
    return (d.type_flags & (kParamText | kParamPlainText)) != 0;
}
bool requires_list(const ParamDescriptor& d) {
    return (d.flags & kParamRequiresList) != 0;
}

void copy_text(char* out, std::size_t size, const char* text) {
    if (size == 0) return;
    std::snprintf(out, size, "%s", text != nullptr ? text : "");
}

// Value entry n: a double at the entry, a text kValueTextOffset bytes after it.
bool value_entry_number(int n, double* out) {
    const Definitions& d = definitions();
    if (d.values == nullptr || n < 0 || n >= d.value_count) return false;
    const std::uint8_t* p = d.values[n];
    if (p < d.value_pool || p + sizeof(double) > d.value_pool + d.value_pool_size) return false;
    std::memcpy(out, p, sizeof(double));
    return true;
}
const char* value_entry_text(int n) {
    const Definitions& d = definitions();
    if (d.values == nullptr || n < 0 || n >= d.value_count) return nullptr;
    const std::uint8_t* p = d.values[n] + kValueTextOffset;
    const std::uint8_t* end = d.value_pool + d.value_pool_size;
    if (p < d.value_pool || p >= end || std::memchr(p, 0, end - p) == nullptr) return nullptr;
    return reinterpret_cast<const char*>(p);
}

// The data address of built-in variable n (its table entry, else the lens item of that number).
void* variable_address(int n) {
    void* address =
        g_params.hooks.variable_address != nullptr ? g_params.hooks.variable_address(n) : nullptr;
    if (address == nullptr && g_params.hooks.variable_address != nullptr) {
        address = handler_table().lens_item_address(n, 0, 0);
    }
    return address;
}
const char* variable_text(int n) {
    if (n >= static_cast<int>(kVariableTextBase)) {
        return handler_table().lens_item_text(n - static_cast<int>(kVariableTextBase));
    }
    return static_cast<const char*>(variable_address(n));
}

// The settings_item_address type a parameter of this type must find: a number parameter's own
// type (int, double, or a char for a flag), a text for a text parameter.
int setting_type_for(int type, bool text) {
    return text ? kSettingItemText : type;
}

// Reads a bound through its handle as a double; false when it cannot be read.
bool read_bound(std::uint16_t h, int type, double* out) {
    const int n = handle_number(h);
    switch (handle_kind(h)) {
        case kHandleConstant: {
            const Definitions& d = definitions();
            if (d.constants == nullptr || n >= d.constant_count) return false;
            *out = d.constants[n];
            return true;
        }
        case kHandleVariable: {
            const void* a = variable_address(n);
            if (a == nullptr) return false;
            if (type == kArgDouble) {
                std::memcpy(out, a, sizeof(double));
            } else {
                std::int32_t v;
                std::memcpy(&v, a, sizeof v);
                *out = v;
            }
            return true;
        }
        case kHandleSetting: {
            int t = 0;
            const void* a = handler_table().settings_item_address(n, &t);
            if (a == nullptr || t != type) return false;
            if (t == kArgDouble) {
                std::memcpy(out, a, sizeof(double));
            } else if (t == kArgInt) {
                std::int32_t v;
                std::memcpy(&v, a, sizeof v);
                *out = v;
            } else {
                *out = *static_cast<const std::uint8_t*>(a);
            }
            return true;
        }
        default:
            return value_entry_number(n, out);
    }
}

// A double bound truncated toward zero for an int comparison, kept within 64 bits.
std::int64_t truncated(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.0e18) return INT64_MAX;
    if (v <= -9.0e18) return INT64_MIN;
    return static_cast<std::int64_t>(v);
}

// A bound as the int that its message shows.
int shown_int(std::int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int>(v);
}

bool parse_plain_number(const char* text, ArgCell* value) {
    while (*text == ' ') ++text;
    if (*text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long long i = std::strtoll(text, &end, 10);
    const char* rest = end;
    while (*rest == ' ') ++rest;
    if (errno == 0 && end != text && *rest == '\0' && i >= INT32_MIN && i <= INT32_MAX) {
        *value = int_cell(static_cast<std::int32_t>(i));
        return true;
    }
    errno = 0;
    const double d = std::strtod(text, &end);
    rest = end;
    while (*rest == ' ') ++rest;
    if (end == text || *rest != '\0' || errno == ERANGE) return false;
    *value = double_cell(d);
    return true;
}

int evaluate_number(const char* text, ArgCell* value) {
    if (g_params.hooks.evaluate_expression != nullptr)
        return g_params.hooks.evaluate_expression(text, value);
    return parse_plain_number(text, value) ? 0 : kMsgNoLineRunner;
}

// Without the command line, a question goes to the backend: the prompt in the status field,
// the default in the command line; an empty line takes the default, Escape or the end of input
// gives -9999.
int backend_ask_line(const char* prompt, char* answer, std::size_t size, const char* default_text,
                     int) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return kStopped;
    ui->set_status_text(prompt != nullptr ? prompt : "");
    ui->set_command_line_text(default_text != nullptr ? default_text : "");
    std::string line;
    while (!ui->take_command_line(line)) {
        if (ui->poll_escape()) return kStopped;
        if (!ui->process_one_event(true) && !ui->take_command_line(line)) return kStopped;
    }
    copy_text(answer, size, line.empty() && default_text != nullptr ? default_text : line.c_str());
    return 0;
}

// The value text of list entry n converted into the cell by the parameter's type.
int read_list_entry(int n, int type, bool text, char* buffer, std::size_t size, ArgCell* cell) {
    if (n < 0 || n >= value_list_count()) return kMsgBadDefault;
    const char* second = value_list_second(n);
    std::string value =
        second != nullptr && second[0] != '\0' ? strip_value_mask(second) : std::to_string(n);
    if (text) {
        copy_text(buffer, size, value.c_str());
        cell->text_length = static_cast<std::int16_t>(std::strlen(buffer) + 1);
        return 0;
    }
    if (type == kArgDouble) {
        cell->value.d = std::strtod(value.c_str(), nullptr);
    } else if (type == kArgInt) {
        cell->value.i = static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 10));
    } else {
        cell->value = ArgValue{};
        cell->value.c = static_cast<char>(std::strtol(value.c_str(), nullptr, 10) & 0xFF);
    }
    return 0;
}

// Reads the default through its handle into the cell (a text into buffer); own_text gets the
// default's own text when it has one.
int read_default(const ParamDescriptor& d, char* buffer, std::size_t size, ArgCell* cell,
                 std::string* own_text) {
    const std::uint16_t h = d.default_handle;
    const int n = handle_number(h);
    const int type = param_type(d);
    const bool text = is_text_param(d);
    auto take_text = [&](const char* t) {
        if (t == nullptr) return kMsgBadDefault;
        if (text) {
            copy_text(buffer, size, t);
            cell->text_length = static_cast<std::int16_t>(std::strlen(buffer) + 1);
            *own_text = buffer;
            return 0;
        }
        // A number parameter reads the text as a number.
        ArgCell v{};
        if (!parse_plain_number(t, &v)) return kMsgBadDefault;
        const double x = v.type == kArgDouble ? v.value.d : v.value.i;
        if (type == kArgDouble) {
            cell->value.d = x;
        } else if (type == kArgInt) {
            cell->value.i = static_cast<std::int32_t>(truncated(x));
        } else {
            cell->value = ArgValue{};
            cell->value.c = static_cast<char>(truncated(x) & 0xFF);
        }
        *own_text = t;
        return 0;
    };
    auto take_number = [&](double x) {
        if (text) return kMsgBadDefault;
        if (type == kArgDouble) {
            cell->value.d = x;
        } else if (type == kArgInt) {
            cell->value.i = static_cast<std::int32_t>(truncated(x));
        } else {
            cell->value = ArgValue{};
            cell->value.c = static_cast<char>(truncated(x) & 0xFF);
        }
        return 0;
    };
    switch (handle_kind(h)) {
        case kHandleConstant: {
            const Definitions& defs = definitions();
            if (defs.constants == nullptr || n >= defs.constant_count) return kMsgBadDefault;
            return take_number(defs.constants[n]);
        }
        case kHandleMessagePlus:
            return take_text(msg_text(n));
        case kHandleMessageMinus:
            return take_text(msg_text(-n));
        case kHandleValue: {
            if (text) return take_text(value_entry_text(n));
            double x = 0;
            if (!value_entry_number(n, &x)) return kMsgBadDefault;
            return take_number(x);
        }
        case kHandleVariable: {
            if (text || n >= static_cast<int>(kVariableTextBase))
                return take_text(variable_text(n));
            const void* a = variable_address(n);
            if (a == nullptr) return kMsgBadDefault;
            if (type == kArgDouble) {
                std::memcpy(&cell->value.d, a, sizeof(double));
            } else if (type == kArgInt) {
                std::memcpy(&cell->value.i, a, sizeof(std::int32_t));
            } else {
                cell->value = ArgValue{};
                cell->value.c = *static_cast<const char*>(a);
            }
            return 0;
        }
        case kHandleListEntry: {
            const int r = read_list_entry(n, type, text, buffer, size, cell);
            if (r == 0) *own_text = list_entry_word(value_list_first(n));
            return r;
        }
        case kHandleSetting: {
            int t = 0;
            const void* a = handler_table().settings_item_address(n, &t);
            if (a == nullptr || t != setting_type_for(type, text)) return kMsgBadDefault;
            if (text) return take_text(static_cast<const char*>(a));
            if (type == kArgDouble) {
                std::memcpy(&cell->value.d, a, sizeof(double));
            } else if (type == kArgInt) {
                std::memcpy(&cell->value.i, a, sizeof(std::int32_t));
            } else {
                cell->value = ArgValue{};
                cell->value.c = *static_cast<const char*>(a);
            }
            return 0;
        }
        default:
            return kMsgBadDefault;
    }
}

// A required list value: the entry the default names (an index for numbers, a word or value
// text for texts); -1 when the list lacks it.
int default_list_entry(const ParamDescriptor& d, const ArgCell& cell, const char* buffer) {
    if (is_text_param(d)) {
        int index = -1;
        if (match_list_word(buffer, &index) != nullptr) return index;
        for (int i = 0; i < value_list_count(); ++i) {
            const char* second = value_list_second(i);
            if (second != nullptr && std::strcmp(strip_value_mask(second), buffer) == 0) return i;
        }
        return -1;
    }
    const std::int64_t v = param_type(d) == kArgDouble ? truncated(cell.value.d)
                           : param_type(d) == kArgInt  ? cell.value.i
                                                       : static_cast<unsigned char>(cell.value.c);
    return v >= 0 && v < value_list_count() ? static_cast<int>(v) : -1;
}

void format_shown_value(const ParamDescriptor& d, const ArgCell& cell, char* shown,
                        std::size_t size) {
    const int type = param_type(d);
    if (type == kArgDouble) {
        copy_text(shown, size, format_number(cell.value.d, 2, 0));
    } else if (type == kArgInt) {
        std::snprintf(shown, size, "%d", cell.value.i);
    } else {
        const unsigned char c = static_cast<unsigned char>(cell.value.c);
        if (c >= 32 && c < 127) {
            std::snprintf(shown, size, "'%c'", c);
        } else {
            std::snprintf(shown, size, "%d", c);
        }
    }
}

// "str_pref(name)" with optional blanks before "(": the name, or empty when the text is not
// of that form.
std::string str_pref_name(const char* text) {
    const std::size_t length = std::strlen(text);
    if (length < kStrPrefMin || length > kStrPrefMax) return {};
    if (std::strncmp(text, kStrPref, sizeof kStrPref - 1) != 0) return {};
    const char* p = text + sizeof kStrPref - 1;
    while (*p == ' ') ++p;
    if (*p != '(') return {};
    ++p;
    const char* close = std::strchr(p, ')');
    if (close == nullptr || close[1] != '\0' || close == p) return {};
    return std::string(p, close);
}

int string_preference(const std::string& name, char* text, std::size_t size) {
    int list = find_list(kStringPreferences, false);
    if (list < 0) list = find_list(kStringPreferences, true);
    int index = -1;
    const char* value = list >= 0 ? match_word_in_list(list, name.c_str(), &index) : nullptr;
    int type = 0;
    const char* setting =
        value != nullptr
            ? static_cast<const char*>(handler_table().settings_item_address(
                  static_cast<int>(std::strtol(strip_value_mask(value), nullptr, 10)), &type))
            : nullptr;
    if (setting == nullptr || type != kSettingItemText) {
        return set_error_msg(kMsgUnknownPreference, name.c_str());
    }
    if (std::strlen(setting) + 1 > size) {
        return set_error_msg(kMsgTextTooLong, static_cast<int>(size - 1));
    }
    copy_text(text, size, setting);
    return 0;
}

}  // namespace

ParamHooks& param_hooks() {
    return g_params.hooks;
}
// A new session starts outside any question, as the program does: a run that ended while an
// argument was being asked for, or a call completed, leaves no prompting mode behind.
void reset_parameters() {
    g_params = ParametersState{};
}

int prompting_mode() {
    return g_params.prompting_word;
}
void set_prompting_mode(int mode) {
    g_params.prompting_word = mode;
}

ParamDescriptor* param_descriptor(int n) {
    const Definitions& d = definitions();
    if (d.descriptors == nullptr || n < 0 || n >= d.descriptor_count) return nullptr;
    return &d.descriptors[n];
}

int param_descriptor_index(int command, int arg) {
    const Definitions& d = definitions();
    if (d.commands == nullptr || command < 0 || command >= d.command_count) return -1;
    const CommandRecord& r = d.commands[command];
    if (arg < 0 || arg >= r.parameter_count) return -1;
    if (r.parameter_count < 2) return r.parameter_field;
    const int entry = r.parameter_field + arg;
    if (d.param_index == nullptr || r.parameter_field < 0 || entry >= d.param_index_count) {
        return -1;
    }
    return d.param_index[entry] & kParamIndexMask;
}

const char* param_display_name(const ParamDescriptor& p) {
    const Definitions& d = definitions();
    const char* name = "";
    if (d.param_names != nullptr && p.name_offset >= 0 &&
        static_cast<std::size_t>(p.name_offset) < d.param_names_size) {
        const char* start = d.param_names + p.name_offset;
        if (std::memchr(start, 0, d.param_names_size - p.name_offset) != nullptr) name = start;
    }
    copy_text(g_params.display_name, sizeof g_params.display_name, name);
    for (char* c = g_params.display_name; *c != '\0'; ++c) {
        if (*c == '_') *c = ' ';
    }
    return g_params.display_name;
}

int select_value_list(const ParamDescriptor& d) {
    clear_value_list();
    const int n = handle_number(d.list_handle);
    switch (handle_kind(d.list_handle)) {
        case kHandleMessagePlus:
            select_table_value_list(n);
            return value_list_count() > 0 ? 0 : kMsgEmptyList;
        case kHandleConstant: {
            const LineRunnerHooks& line = line_runner_hooks();
            // While code runs a built list is left empty, unless the default is one of its
            // entries (its handler preset it): an omitted argument needs the list to read it.
            if (line.kpl_idle != nullptr && !line.kpl_idle() &&
                handle_kind(d.default_handle) != kHandleListEntry) {
                return 0;
            }
            start_built_list();
            const CommandHandler handler =
                n < kHandlerSlotCount ? handler_table().slots[n] : nullptr;
            const bool was_building = building_value_list();
            set_building_value_list(true);
            const int r = handler != nullptr ? handler() : 0;
            set_building_value_list(was_building);
            if (r != 0) return r;
            if (value_list_count() == 0 && requires_list(d)) return kMsgEmptyList;
            return 0;
        }
        default:
            return 0;
    }
}

int select_param_list(int n) {
    const ParamDescriptor* d = param_descriptor(n);
    const int r = d != nullptr ? select_value_list(*d) : kMsgEmptyList;
    if (r != 0) clear_value_list();
    return r;
}

int param_choices_default_one(int choices, int argument) {
    if (select_param_list(choices) != 0) return 0;
    const ArgCell one = int_cell(1);
    set_param_default(argument, &one);
    return 0;
}

int param_choices_first_only(int choices, bool first_only) {
    if (select_param_list(choices) != 0) return 0;
    if (!first_only || value_list_count() <= 1) return 0;
    const char* first = value_list_first(0);
    const char* second = value_list_second(0);
    const std::string word = first != nullptr ? first : "";
    const std::string value = second != nullptr ? second : "";
    start_built_list();
    add_built_list_entry(word, value);
    return 0;
}

int param_value_kind(int n) {
    const ParamDescriptor* d = param_descriptor(n);
    if (d == nullptr) return 0;
    const int required = requires_list(*d) ? 1 : 0;
    switch (handle_kind(d->list_handle)) {
        case kHandleMessagePlus:
            return 1 + required;
        case kHandleConstant:
            return 3 + required;
        default:
            return 0;
    }
}

int param_upper_bound(int n) {
    const ParamDescriptor* d = param_descriptor(n);
    if (d == nullptr || d->upper_handle == 0) return 0;
    double v = 0;
    if (!read_bound(d->upper_handle, kArgInt, &v)) return 0;
    const std::int64_t t = truncated(v);
    return t > INT32_MAX ? INT32_MAX : t < INT32_MIN ? INT32_MIN : static_cast<int>(t);
}

int check_double_bounds(const ParamDescriptor& d, double value) {
    double bound = 0;
    if (d.upper_handle != 0) {
        if (!read_bound(d.upper_handle, kArgDouble, &bound)) return kMsgBadBound;
        if (value > bound || std::isnan(value)) return set_error_msg(kMsgAboveDoubleBound, bound);
    }
    if (d.lower_handle != 0) {
        if (!read_bound(d.lower_handle, kArgDouble, &bound)) return kMsgBadBound;
        if (value < bound || std::isnan(value)) return set_error_msg(kMsgBelowDoubleBound, bound);
    }
    return 0;
}

namespace {

// A count against the descriptor's bounds read as the given type: the message of the bound it
// passes, with that bound.
int check_against_bounds(const ParamDescriptor& d, std::int64_t value, int bound_type,
                         int above_message, int below_message) {
    double bound = 0;
    if (d.upper_handle != 0) {
        if (!read_bound(d.upper_handle, bound_type, &bound)) return kMsgBadBound;
        const std::int64_t b = truncated(bound);
        if (value > b) return set_error_msg(above_message, shown_int(b));
    }
    if (d.lower_handle != 0) {
        if (!read_bound(d.lower_handle, bound_type, &bound)) return kMsgBadBound;
        const std::int64_t b = truncated(bound);
        if (value < b) return set_error_msg(below_message, shown_int(b));
    }
    return 0;
}

}  // namespace

int check_int_bounds(const ParamDescriptor& d, std::int64_t value) {
    const int type = param_type(d) == kArgChar ? kArgChar : kArgInt;
    return check_against_bounds(d, value, type, kMsgAboveIntBound, kMsgBelowIntBound);
}

int check_text_bounds(const ParamDescriptor& d, const char* text) {
    const std::int64_t length = text != nullptr ? static_cast<std::int64_t>(std::strlen(text)) : 0;
    return check_against_bounds(d, length, kArgInt, kMsgTextTooLong, kMsgTextTooShort);
}

int store_param_value(const ParamDescriptor* d, const ArgCell& value, ArgCell* cell) {
    cell->text_length = 0;
    const bool is_text_value = value.type == kArgChar && value.text_length > 0;
    const int value_type = value.type == kArgChar ? int{kArgInt} : int{value.type};
    const int type = d != nullptr ? param_type(*d) : value_type;
    if (d == nullptr && is_text_value) return kMsgDoubleForInt;
    const std::int64_t int_value = value.type == kArgInt ? value.value.i
                                   : value.type == kArgChar
                                       ? static_cast<unsigned char>(value.value.c)
                                       : 0;
    switch (type) {
        case kArgNone:
            // A parameter of any type keeps the argument's own type.
            if (value.type == kArgNone) return kMsgDoubleForInt;
            *cell = value;
            return 0;
        case kArgDouble: {
            if (is_text_value) return kMsgDoubleForInt;
            const double v =
                value.type == kArgDouble ? value.value.d : static_cast<double>(int_value);
            cell->type = kArgDouble;
            cell->value.d = v;
            return d != nullptr ? check_double_bounds(*d, v) : 0;
        }
        case kArgInt:
            if (value.type == kArgDouble || is_text_value) return kMsgDoubleForInt;
            cell->type = kArgInt;
            cell->value.i = static_cast<std::int32_t>(int_value);
            return d != nullptr ? check_int_bounds(*d, int_value) : 0;
        case kArgChar:
            if (value.type == kArgDouble || is_text_value) return kMsgBadChar;
            if (int_value < 0 || int_value > 255) return kMsgBadChar;
            cell->type = kArgChar;
            cell->value = ArgValue{};
            cell->value.c = static_cast<char>(int_value & 0xFF);
            return d != nullptr ? check_int_bounds(*d, int_value) : 0;
        default:
            return kMsgDoubleForInt;
    }
}

int evaluate_default(const ParamDescriptor& d, char* buffer, std::size_t size, ArgCell* cell,
                     char* shown, std::size_t shown_size) {
    copy_text(shown, shown_size, "");
    int mode = d.prompt_mode;
    const int state = g_params.prompting_word;
    if (mode == kPromptAsk && state >= kPromptingNone) return kPromptAsk;
    bool has_default = mode != kPromptAsk && d.default_handle != 0;

    // Reduce the mode to take or show.
    if (state < kPromptingNone) {
        // An omitted argument is never asked for.
        mode = kPromptTakeDefault;
        if (state == kPromptingOmitted &&
            !(interactive_call() > 0 && g_params.prompt_list_selected)) {
            has_default = false;
        }
    } else if (state > kPromptingNone) {
        // The argument is asked for: offer the default, except that a parameter meant to take
        // its default still takes it when the '?' mark asks for it.
        if (mode != kPromptTakeDefault) {
            mode = kPromptShowDefault;
        } else if (state >= kPromptingDirect) {
            if (!has_default) return kPromptAsk;
            mode = kPromptShowDefault;
        }
    } else {
        if (mode == kPromptDefaultUnlessAsked) mode = kPromptTakeDefault;
        if (interactive_call() > 0) {
            // The interactive handler asks for what it needs itself.
            mode = kPromptTakeDefault;
        } else if (mode == kPromptTakeDefaultIfEnabled) {
            mode = check_enable_condition(d.enable_condition) == 0 ? kPromptTakeDefault
                                                                   : kPromptShowDefault;
        }
    }

    const int type = param_type(d);
    const bool text = is_text_param(d);
    cell->text_flag = 0;
    cell->type = static_cast<std::uint16_t>(type);
    cell->value = ArgValue{};
    if (text) {
        cell->text_length = 1;
        cell->text_flag = (d.type_flags & kParamPlainText) != 0 ? 1 : 0;
        if (size > 0) buffer[0] = '\0';
        if (type == kArgChar) cell->value.text = buffer;
    } else {
        cell->text_length = 0;
    }

    if (has_default) {
        std::string own_text;
        const int r = read_default(d, buffer, size, cell, &own_text);
        if (r != 0) return r;
        if (requires_list(d)) {
            const int entry = default_list_entry(d, *cell, buffer);
            if (entry < 0) return kMsgBadDefault;
            own_text = list_entry_word(value_list_first(entry));
        }
        if (mode == kPromptShowDefault) {
            if (!own_text.empty()) {
                copy_text(shown, shown_size, own_text.c_str());
            } else if (text) {
                copy_text(shown, shown_size, buffer);
            } else {
                format_shown_value(d, *cell, shown, shown_size);
            }
            return kPromptShowDefault;
        }
        return kPromptTakeDefault;
    }

    if (!text) copy_text(buffer, size, "0");
    if (mode == kPromptShowDefault) {
        copy_text(shown, shown_size, text ? "" : "0");
        return kPromptShowDefault;
    }
    return kPromptTakeDefault;
}

int prompt_loop(const ParamDescriptor& d, char* buffer, std::size_t size, ArgCell* cell) {
    char shown[kArgTextSize];
    const int state = g_params.prompting_word;
    const int r = evaluate_default(d, buffer, size, cell, shown, sizeof shown);
    if (r == kPromptTakeDefault) {
        cell->status = state < kPromptingNone ? kArgDefaultForced : kArgDefaultTaken;
        g_params.prompting_word = kPromptingNone;
        return 0;
    }
    if (r != kPromptAsk && r != kPromptShowDefault) {
        g_params.prompting_word = kPromptingNone;
        return r;
    }
    if (in_lens_data_scope()) {
        // Nobody answers a line of lens data: a missing value takes its default or fails.
        g_params.prompting_word = kPromptingNone;
        if (r == kPromptAsk || d.default_handle == 0) return kMsgRefusedInLensData;
        cell->status = kArgDefaultTaken;
        return 0;
    }
    if (interactive_call() > 0) set_interactive_call(0);

    std::string prompt;
    const int n = handle_number(d.prompt_handle);
    const char* own = nullptr;
    switch (d.prompt_handle == 0 ? 0u : handle_kind(d.prompt_handle)) {
        case kHandleValue:
            own = value_entry_text(n);
            break;
        case kHandleMessagePlus:
            own = msg_text(n);
            break;
        case kHandleMessageMinus:
            own = msg_text(-n);
            break;
        case kHandleVariable:
            own = variable_text(n);
            break;
        default:
            break;
    }
    if (own != nullptr) {
        prompt = own;
    } else {
        const int message =
            value_list_count() > 0 && requires_list(d) ? kMsgListPrompt : kMsgStandardPrompt;
        const FormatArg name[] = {FormatArg(param_display_name(d))};
        prompt = format_message(message, name);
    }

    const auto ask =
        g_params.hooks.ask_line != nullptr ? g_params.hooks.ask_line : backend_ask_line;
    const bool quoted = (d.flags & kParamQuoteAnswer) != 0;
    int result = 0;
    for (;;) {
        char answer[kArgTextSize];
        result = ask(prompt.c_str(), answer, sizeof answer, r == kPromptShowDefault ? shown : "",
                     d.flags);
        if (result != 0) break;
        if (r == kPromptShowDefault && std::strcmp(answer, shown) == 0) {
            if (g_params.hooks.collect_answer != nullptr)
                g_params.hooks.collect_answer(answer, quoted);
            break;
        }
        copy_text(buffer, size, answer);
        result = evaluate_answer(d, buffer, size, cell);
        if (result == 0) {
            if (g_params.hooks.collect_answer != nullptr)
                g_params.hooks.collect_answer(answer, quoted);
            break;
        }
        if (result == kStopped || result == kMsgOutOfMemory || running_flag() == 0) break;
        show_error(result);
    }
    g_params.prompting_word = kPromptingNone;
    if (g_params.hooks.close_prompt != nullptr) g_params.hooks.close_prompt();
    return result;
}

int evaluate_answer(const ParamDescriptor& d, char* text, std::size_t size, ArgCell* cell) {
    const bool text_param = is_text_param(d);
    if (value_list_count() > 0) {
        int index = -1;
        const char* value = match_list_word(text, &index);
        if (value == nullptr) {
            if (requires_list(d)) {
                set_pending_name(text);
                return kMsgNotInList;
            }
            clear_value_list();
        } else if (text_param) {
            const std::string word = list_entry_word(value_list_first(index));
            copy_text(text, size, word.c_str());
        } else {
            std::snprintf(text, size, "%d", index);
        }
    }

    if (text_param) {
        const std::string name = str_pref_name(text);
        if (!name.empty()) {
            const int r = string_preference(name, text, size);
            if (r != 0) return r;
        }
        cell->type = kArgChar;
        cell->value.text = text;
        const std::size_t length = std::strlen(text) + 1;
        cell->text_length = static_cast<std::int16_t>(length < 0x7FFF ? length : 0x7FFF);
        cell->text_flag = (d.type_flags & kParamPlainText) != 0 ? 1 : 0;
        return check_text_bounds(d, text);
    }

    ArgCell value{};
    const int r = evaluate_number(text, &value);
    if (r != 0) return r;
    return store_param_value(&d, value, cell);
}

int prompt_param(int n, ArgCell* cell) {
    const ParamDescriptor* d = param_descriptor(n);
    if (d == nullptr) return kStopped;
    const int r = select_param_list(n);
    g_params.prompt_list_selected = r == 0;
    if (r != 0) return r;
    g_params.prompting_word = kPromptingDirect;
    cell->status = kArgGiven;
    const LineRunnerHooks& line = line_runner_hooks();
    if (line.stop_answer_collection != nullptr) line.stop_answer_collection();
    const int result = prompt_loop(*d, g_params.answer_buffer, sizeof g_params.answer_buffer, cell);
    g_params.prompt_list_selected = false;
    return result;
}

int prompt_argument(const ParamDescriptor& d, int mode, char* buffer, std::size_t size,
                    ArgCell* cell) {
    if (param_type(d) == kArgNone && mode < kPromptingNone) {
        // A value of any type that was left out: nothing to ask, and the handler counts only
        // the values given.
        *cell = int_cell(0);
        cell->status = kArgDefaultTaken;
        return 0;
    }
    const int r = select_value_list(d);
    g_params.prompt_list_selected = r == 0;
    if (r != 0) {
        clear_value_list();
        g_params.prompting_word = kPromptingNone;
        return r;
    }
    g_params.prompting_word = mode;
    const int result = prompt_loop(d, buffer, size, cell);
    g_params.prompting_word = kPromptingNone;
    g_params.prompt_list_selected = false;
    return result;
}

void set_param_default(int n, const ArgCell* cell) {
    ParamDescriptor* d = param_descriptor(n);
    if (d == nullptr || cell == nullptr) return;
    if (!building_value_list() && select_value_list(*d) != 0) return;
    const int count = value_list_count();
    if (count == 0) return;
    int index = 0;
    const bool text = cell->type == kArgChar && cell->text_length > 0;
    for (int i = 0; i < count; ++i) {
        const char* second = value_list_second(i);
        const std::string value = second != nullptr && second[0] != '\0'
                                      ? std::string(strip_value_mask(second))
                                      : std::to_string(i);
        bool same = false;
        if (text) {
            same = cell->value.text != nullptr &&
                   (value == cell->value.text ||
                    std::strcmp(list_entry_word(value_list_first(i)), cell->value.text) == 0);
        } else {
            const double v = cell->type == kArgDouble ? cell->value.d
                             : cell->type == kArgInt  ? cell->value.i
                                                      : static_cast<unsigned char>(cell->value.c);
            char* end = nullptr;
            const double x = std::strtod(value.c_str(), &end);
            same = end != value.c_str() && x == v;
        }
        if (same) {
            index = i;
            break;
        }
    }
    if (d->prompt_mode == kPromptAsk) d->prompt_mode = kPromptShowDefault;
    d->default_handle = static_cast<std::uint16_t>(kHandleListEntry | index);
}

int evaluate_level_field(int command, int arg, const ArgCell& edited, ArgCell* cell, char* buffer,
                         std::size_t size) {
    const ParamDescriptor* d = param_descriptor(param_descriptor_index(command, arg));
    if (d == nullptr) return kMsgBadDefault;
    cell->status = kArgGiven;
    if (edited.type == kArgInt || edited.type == kArgDouble) {
        return store_param_value(d, edited, cell);
    }
    copy_text(buffer, size, edited.text_length > 0 ? edited.value.text : "");
    const int r = select_value_list(*d);
    if (r != 0) return r;
    return evaluate_answer(*d, buffer, size, cell);
}

namespace {
const platform::StateReset parameters_state_reset{"runtime/parameters", reset_parameters,
                                                  platform::ResetLayer::runtime};
}  // namespace
