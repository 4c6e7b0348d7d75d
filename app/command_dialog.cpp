#include "app/command_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/settings_commands.h"
#include "runtime/table_help.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

// The handlers app/ installs at start: the reference ray's point, the save prompt, and the
// conditions level with its row count.
struct CommandDialogHooks {
    ReferenceRayPointSource ray_point = nullptr;
    SavePrompt save_prompt = nullptr;
    LevelHandler conditions_handler = nullptr;
    int (*conditions_rows)() = nullptr;
};

CommandDialogHooks g_hooks;

constexpr int kConditionsRowsExtra = 8;

constexpr int kHelpBefore = 92;
constexpr int kHelpAfter = 93;
constexpr double kNoScale = 1e-40;

int saved_int(int k) {
    const ArgCell* c = saved_level_cell(k);
    if (c == nullptr) return 0;
    if (c->type == kArgInt) return c->value.i;
    if (c->type == kArgChar && c->text_length == 0) return static_cast<unsigned char>(c->value.c);
    return 0;
}

bool dropped(int command) {
    const int c0 = saved_int(0);
    switch (command) {
        case kCmdSelectRayAberration:
            return c0 == 0 || c0 == 1;
        case kCmdSelectSpot:
            return c0 != 1;
        case kCmdSelectDiffraction:
            return c0 == 0 || c0 == 3 || c0 == 4;
        case kCmdSelectMtf:
            return saved_int(3) != 1;
        case kCmdSelectGeoSections:
        case kCmdSelectPsfSections:
            return c0 == 0;
        case kCmdSelectEnergy:
        case kCmdSelectPsf:
            return c0 == 0 || c0 == 1;
        default:
            return false;
    }
}

std::string scale_text() {
    const double scale = get_setting_double(kSetGraphicsScale, 0, 0);
    if (std::fabs(scale) < kNoScale) return {};
    return std::string("stp gsca ") + format_number(scale, 2, 0) + ";";
}

int redraw_form() {
    begin_level_output();
    draw_command_form();
    return end_level_output();
}

}  // namespace

void set_reference_ray_point_source(ReferenceRayPointSource source) {
    g_hooks.ray_point = source;
}

bool rewrite_dialog_command(int command, char* text, int size) {
    if (dropped(command)) {
        // A listing keeps no text for a graphics window to redraw: the command itself runs.
        if (size > 0) text[0] = '\0';
        return true;
    }
    std::string out = text;
    const std::size_t prefix = std::strlen(kRefRayPrefix);
    if (out.compare(0, prefix, kRefRayPrefix) == 0) {
        double p[5] = {};
        if (g_hooks.ray_point != nullptr) g_hooks.ray_point(p);
        char head[256];
        std::snprintf(head, sizeof head, "ref_ray_trace %f %f %f %f %f;", p[0], p[1], p[2], p[3],
                      p[4]);
        out = head + out.substr(prefix) + scale_text();
    }
    if (command == kCmdDrawLens) out = scale_text() + out;
    if (out.size() >= static_cast<std::size_t>(size)) return false;
    std::memcpy(text, out.c_str(), out.size() + 1);
    return true;
}

void set_save_prompt(SavePrompt prompt) {
    g_hooks.save_prompt = prompt;
}

void set_drawing_conditions_level(LevelHandler handler, int (*rows)()) {
    g_hooks.conditions_handler = handler;
    g_hooks.conditions_rows = rows;
}

int cmd_open_command_dialog() {
    const int command = current_command();
    if (command >= kCmdNewLens && command <= kCmdNewLensValue && g_hooks.save_prompt != nullptr) {
        // The save prompt runs commands of its own: the dialog's call is kept aside.
        ArgCell** const vector = arg_vector();
        const int count = arg_count();
        set_arg_vector(new_arg_vector(), 0);
        const int saved = g_hooks.save_prompt();
        set_arg_vector(vector, count);
        set_current_command(command);
        if (saved == kStopped) return kStopped;
    }
    // The help block's flags (without the print bit) are the form's row count.
    const int rows = load_command_help(command);
    if (rows < 0) return 0;
    const int r = push_command_level(command_dialog_event, rows, 0);
    if (r != 0) return r;
    set_level_option();
    if (command == kCmdDrawLens)
        set_level_button(msg_text(kMsgDrawingConditions), kDrawingConditionsButton);
    return 0;
}

int sync_dialog_fields(int field) {
    const int command = saved_level_command();
    if (command == kCmdSetSetting && field < 4) {
        if (field == 0) {
            for (int k = 1; k <= 3; ++k) {
                if (ArgCell* c = saved_level_cell(k)) c->value.i = 0;
            }
        }
        std::int32_t cells[4] = {saved_int(0), saved_int(1), saved_int(2), saved_int(3)};
        set_setting_argument_cells(cells, 4);
        int type = 0;
        const void* address = setting_element_address(&type);
        set_setting_argument_cells(nullptr, 0);
        if (address == nullptr) return 1;
        ArgCell value{};
        if (type == kSettingItemDouble) {
            std::memcpy(&value.value.d, address, sizeof(double));
            value.type = kArgDouble;
            store_level_field_value(4, value);
        } else if (type == kSettingItemInt) {
            std::memcpy(&value.value.i, address, sizeof(std::int32_t));
            value.type = kArgInt;
            store_level_field_value(5, value);
        } else if (type == kSettingItemFlag) {
            value.value.c = *static_cast<const char*>(address);
            value.type = kArgChar;
            store_level_field_value(7, value);
        } else if (type == kSettingItemText) {
            value.value.text = const_cast<char*>(static_cast<const char*>(address));
            value.type = kArgChar;
            value.text_length = static_cast<std::int16_t>(std::strlen(value.value.text) + 1);
            store_level_field_value(6, value);
        }
        return 1;
    }
    if ((command == kCmdInsertFile || command == kCmdDeleteFile) && field < 3) {
        const int low = field + 1 > 2 ? field + 1 : 2;
        for (int k = 3; k >= low; --k) {
            ArgCell* c = saved_level_cell(k);
            if (c == nullptr || c->type != kArgChar || c->text_length == 0) continue;
            if (c->value.text != nullptr) c->value.text[0] = '\0';
            c->text_length = 1;
            c->status = 1;
        }
        return 1;
    }
    return 0;
}

namespace {

constexpr int kFormHeadKey = 91;
constexpr int kLevelHelpKey = 93;
constexpr int kChoiceRowLimit = 10;   // a list of fewer entries is drawn as a row of words
constexpr int kChoiceRowWidth = 64;   // a row of words longer than this goes on below
constexpr int kFieldMinimum = 11;     // every value field is at least this wide
constexpr int kListFieldWidth = 4;    // a list field's width before its entry names
constexpr int kChosenFromList = 999;  // the column of a field's value hot spot
constexpr int kDisabledChoice = 0x8000;
constexpr int kListFieldSpot = 0x7000;
constexpr int kOtherListSpot = 0x4000;
constexpr std::uint8_t kFormShownFlags = 0xE0;

bool is_text_cell(const ArgCell& c) {
    return c.type == kArgChar && c.text_length > 0;
}

// The value text of an entry after its leading control characters; null when it has none.
const char* entry_value(int n, const char** controls = nullptr) {
    const char* second = value_list_second(n);
    if (second == nullptr || second[0] == '\0') return nullptr;
    if (controls != nullptr) *controls = second;
    while (*second != '\0' && static_cast<unsigned char>(*second) < 32) ++second;
    return second;
}

// The entry a chosen number stands for: its value text (or, without one, its position).
bool entry_reads_as(int n, long value) {
    const char* text = entry_value(n);
    if (text == nullptr) return n == value;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return end != text && v == value;
}

int longest_entry_name() {
    int longest = 0;
    for (int n = 0; n < value_list_count(); ++n) {
        const int length = static_cast<int>(std::strlen(list_entry_word(value_list_first(n))));
        if (length > longest) longest = length;
    }
    return longest;
}

void write_blanks(int n) {
    if (n > 0) write_output_text(std::string(static_cast<std::size_t>(n), ' ').c_str(), false);
}

// No entry stands for the field's value: entry 0 is taken and its value stored in the cell.
void take_first_entry(int field, const ArgCell& cell) {
    ArgCell value = cell;
    const char* text = value_list_count() > 0 ? entry_value(0) : nullptr;
    if (is_text_cell(cell)) {
        char taken[kArgTextSize];
        const char* name = value_list_count() > 0 ? list_entry_word(value_list_first(0)) : "";
        std::snprintf(taken, sizeof taken, "%s", text != nullptr ? text : name);
        value.value.text = taken;
        value.text_length = static_cast<std::int16_t>(std::strlen(taken) + 1);
    } else if (cell.type == kArgDouble) {
        value.value.d = text != nullptr ? std::strtod(text, nullptr) : 0.0;
    } else {
        const long v = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
        if (cell.type == kArgInt) {
            value.value.i = static_cast<std::int32_t>(v);
        } else {
            value.value = ArgValue{};
            value.value.c = static_cast<char>(v & 0xFF);
        }
    }
    store_level_field_value(field, value);
}

// The value of an enabled plain field in its hot spot.
void draw_plain_value(int command, int field, int descriptor, const ArgCell& cell, int kind) {
    text_hotspot_cell(command | (kind != 0 ? kOtherListSpot : 0), kChosenFromList, field);
    char value[64];
    if (cell.type == kArgDouble) {
        text_number(cell.value.d);
    } else if (is_text_cell(cell)) {
        const int upper = param_upper_bound(descriptor);
        text_field(cell.value.text, upper > 0 ? upper : kFieldMinimum, false);
    } else if (cell.type == kArgInt) {
        std::snprintf(value, sizeof value, "%5d      ", cell.value.i);
        write_output_text(value, false);
    } else {
        std::snprintf(value, sizeof value, "%3d        ", static_cast<unsigned char>(cell.value.c));
        write_output_text(value, false);
    }
}

// The blanks a disabled field shows in place of its value.
int disabled_width(int descriptor, const ArgCell& cell, bool list_field, int width) {
    int blanks = kFieldMinimum;
    if (list_field) {
        blanks = width;
    } else if (is_text_cell(cell)) {
        const int upper = param_upper_bound(descriptor);
        blanks = upper > 0 ? upper : kFieldMinimum;
    } else if (cell.type == kArgInt) {
        blanks = 6;
    } else if (cell.type != kArgDouble) {
        blanks = 4;
    }
    return blanks > kFieldMinimum ? blanks : kFieldMinimum;
}

}  // namespace

int find_list_entry(const ArgCell& cell) {
    const int count = value_list_count();
    for (int n = 0; n < count; ++n) {
        if (is_text_cell(cell)) {
            if (cell.value.text == nullptr) return -1;
            const char* second = value_list_second(n);
            const char* text = second != nullptr && second[0] != '\0'
                                   ? second
                                   : skip_brace_prefix(value_list_first(n));
            if (std::strcmp(text, cell.value.text) == 0) return n;
        } else if (cell.type == kArgDouble) {
            const char* text = entry_value(n);
            if (text == nullptr) continue;
            char* end = nullptr;
            const double v = std::strtod(text, &end);
            if (end != text && v == cell.value.d) return n;
        } else {
            const long value =
                cell.type == kArgInt ? cell.value.i : static_cast<unsigned char>(cell.value.c);
            if (entry_reads_as(n, value)) return n;
        }
    }
    return -1;
}

void draw_command_form() {
    const int command = saved_level_command();
    if (command < 0 || load_command_help(command) < 0) return;
    sheet_set_title(1, 1);
    const bool show_disabled = (print_help_text(kFormHeadKey, kHelpAfter, 0) & 0x80) != 0;
    const int count = saved_level_arg_count();
    for (int i = 0; i < count; ++i) saved_level_cell(i)->status = 0;

    for (int i = 0; i < count; ++i) {
        const int descriptor = param_descriptor_index(command, i);
        const ParamDescriptor* d = param_descriptor(descriptor);
        // A double parameter not marked for the form ends it: the rest is not the user's.
        if (d != nullptr && (d->type_flags & kParamTypeMask) == kArgDouble &&
            (d->flags & kFormShownFlags) == 0) {
            break;
        }
        ArgCell& cell = *saved_level_cell(i);
        const bool enabled = cell.status >= 0;
        if (!enabled && !show_disabled) continue;

        const int kind = param_value_kind(descriptor);
        if (kind != 0 && select_param_list(descriptor) != 0) clear_value_list();
        const bool number_field = !is_text_cell(cell) && cell.type != kArgDouble;
        // A number chosen from a short list is shown by its words, whether the list binds the
        // field or only offers words for it: a bare number would hide what it stands for.
        const bool list_field = kind == 2 || kind == 4 ||
                                (kind != 0 && number_field && value_list_count() > 0 &&
                                 value_list_count() < kChoiceRowLimit);
        int width = 0;
        int chosen = -1;
        if (list_field) {
            const int upper = is_text_cell(cell) ? param_upper_bound(descriptor) : 0;
            width = upper > 0 ? upper : kListFieldWidth;
            width = std::max(width, longest_entry_name());
            if (enabled && number_field) {
                chosen = find_list_entry(cell);
                const char* controls = nullptr;
                const char* value = chosen >= 0 ? entry_value(chosen, &controls) : nullptr;
                if (value != nullptr && value != controls && controls[0] == kValueMaskMark) {
                    // A value mask names the later fields the entry makes irrelevant, read as
                    // the compiler reads it, so that the form offers only what the composed
                    // command text will take.
                    strip_value_mask(controls);
                    const std::uint32_t allowed = value_text_mask();
                    for (int k = i + 1; k < count && k < kValueMaskArguments; ++k) {
                        if ((allowed & (1u << k)) == 0) saved_level_cell(k)->status = -1;
                    }
                } else if (value != nullptr && value != controls) {
                    // The chosen entry's control characters name the later fields that stay
                    // enabled.
                    const std::string named(controls, value);
                    for (int k = i + 1; k < count; ++k) {
                        if (named.find(static_cast<char>(k)) == std::string::npos) {
                            saved_level_cell(k)->status = -1;
                        }
                    }
                }
            }
        }

        const int entries = value_list_count();
        if (list_field && number_field && entries < kChoiceRowLimit) {
            print_help_text(i, kHelpBefore, 0);
            const int item = command | (enabled ? 0 : kDisabledChoice);
            const bool titled =
                entries >= 2 && value_list_first(0) != nullptr && value_list_first(0)[0] == '@';
            int column = 0;
            for (int n = titled ? 1 : 0; n < entries; ++n) {
                const char* name = list_entry_word(value_list_first(n));
                if (column > 0 && column + width + 4 > kChoiceRowWidth) {
                    // A long row goes on below, so that the form stays narrow.
                    flush_output_line();
                    column = 0;
                }
                column += width + 4;
                write_blanks(1);
                text_hotspot_text(item, n, i, n == chosen ? 1 : 0, name);
                write_blanks(width + 1 - static_cast<int>(std::strlen(name)));
                print_help_text(i, n, 0);
            }
            print_help_text(i, kHelpAfter, 0);
            continue;
        }

        print_help_text(i, kHelpBefore, 0);
        if (!enabled) {
            write_blanks(disabled_width(descriptor, cell, list_field, width));
        } else if (list_field) {
            if (!number_field) chosen = find_list_entry(cell);
            if (chosen < 0) {
                take_first_entry(i, cell);
                chosen = 0;
            }
            std::string name = entries > 0 ? list_entry_word(value_list_first(chosen)) : "";
            const std::size_t shown = static_cast<std::size_t>(std::max(width, kFieldMinimum));
            if (name.size() < shown) name.append(shown - name.size(), ' ');
            text_hotspot_cell(command | kListFieldSpot, kChosenFromList, i);
            write_output_text(name.c_str(), false);
        } else {
            draw_plain_value(command, i, descriptor, cell, kind);
        }
        write_blanks(1);
        print_help_text(i, kHelpAfter, 0);
    }
    flush_output_line();
    // The level's own help text; the fields stand labelled above, with the values they will
    // run with, so no second list of them follows.
    if (ctable_find_text(kLevelHelpKey, kHelpBefore) != nullptr) {
        print_help_text(kLevelHelpKey, kHelpBefore, 0);
    }
}

// A field changed by the user: its text (or value) evaluated for its parameter into the saved
// cell, the dependent fields brought along, the form drawn again.
int change_field(int command, int f, int entry, const GridEvent& event) {
    ArgCell* cell = saved_level_cell(f);
    if (cell == nullptr) return 0;
    if (entry >= 0 && entry < kChosenFromList && !is_text_cell(*cell)) {
        // A word of the field's list was chosen: the field takes the value the word stands for.
        const int descriptor = param_descriptor_index(command, f);
        if (select_param_list(descriptor) != 0 || entry >= value_list_count()) return 0;
        const char* text = entry_value(entry);
        const long v = text != nullptr ? std::strtol(text, nullptr, 10) : entry;
        ArgCell value = *cell;
        if (cell->type == kArgDouble) {
            value.value.d = static_cast<double>(v);
        } else if (cell->type == kArgInt) {
            value.value.i = static_cast<std::int32_t>(v);
        } else {
            value.value = ArgValue{};
            value.value.c = static_cast<char>(v & 0xFF);
        }
        value.status = kArgGiven;
        store_level_field_value(f, value);
        sync_dialog_fields(f);
        return redraw_form();
    }
    ArgCell edited{};
    edited.type = static_cast<std::uint16_t>(event.value_type == 3 ? kArgChar : event.value_type);
    edited.value = event.value;
    if (event.value_type == 3) {
        edited.value.text = event.text;
        edited.text_length =
            static_cast<std::int16_t>(event.text != nullptr ? std::strlen(event.text) + 1 : 0);
    }
    ArgCell result = *cell;
    char buffer[kArgTextSize];
    const int r = evaluate_level_field(command, f, edited, &result, buffer, sizeof buffer);
    if (r != 0) return r;
    store_level_field_value(f, result);
    sync_dialog_fields(f);
    return redraw_form();
}

int command_dialog_event(GridEvent& event) {
    const int command = saved_level_command();
    switch (event.code) {
        case kLevelEventCommand:
            if (event.text == nullptr) return 0;
            if (!rewrite_dialog_command(command, event.text, 256)) return kStopped;
            return 0;
        case kLevelEventActivate:
        case kLevelEventEdited: {
            // A form's cell names its field by its argument group and the word chosen by its
            // index (kChosenFromList for the field's value itself).
            const bool from_form = event.argument_group >= 0;
            const int f = from_form ? event.argument_group : event.first_index;
            const int entry = from_form ? event.first_index : -1;
            if (f < 0) {
                if (event.code != kLevelEventActivate ||
                    event.argument != kDrawingConditionsButton ||
                    g_hooks.conditions_handler == nullptr) {
                    return 0;
                }
                const int rows = g_hooks.conditions_rows != nullptr ? g_hooks.conditions_rows() : 0;
                const int r =
                    push_command_level(g_hooks.conditions_handler, rows + kConditionsRowsExtra, 0);
                if (r == 0) set_level_option();
                return r;
            }
            // A value typed into a field's cell (edited) is evaluated for its parameter as a
            // field changed otherwise is.
            if (event.code == kLevelEventActivate || from_form) {
                return change_field(command, f, entry, event);
            }
            if (sync_dialog_fields(f) != 0) return redraw_form();
            return 0;
        }
        case kLevelEventTypedLine: {
            // Without a form on screen (the console), a field is answered by a typed line
            // "<field number> <value>".
            if (event.text == nullptr) return 0;
            char* rest = nullptr;
            const long f = std::strtol(event.text, &rest, 10);
            if (rest == event.text || f < 0 || f >= saved_level_arg_count()) return kMsgNoSuchField;
            while (*rest == ' ') ++rest;
            GridEvent typed;
            typed.code = kLevelEventActivate;
            typed.first_index = static_cast<int>(f);
            typed.value_type = 3;
            typed.text = rest;
            return change_field(command, static_cast<int>(f), -1, typed);
        }
        case kLevelEventShown:
            return redraw_form();
        default:
            return 0;
    }
}
