#include "runtime/command_dialog.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/settings_commands.h"
#include "runtime/table_help.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

ReferenceRayPointSource g_ray_point = nullptr;
SavePrompt g_save_prompt = nullptr;
LevelHandler g_conditions_handler = nullptr;
int (*g_conditions_rows)() = nullptr;

constexpr int kCommandDrawingDialog = 809;
constexpr int kMsgDrawingConditions = -263;
constexpr int kConditionsRowsExtra = 8;

constexpr int kHelpCommandKey = 94;
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
        case 772:
            return c0 == 0 || c0 == 1;
        case 773:
            return c0 != 1;
        case 774:
            return c0 == 0 || c0 == 3 || c0 == 4;
        case 775:
            return saved_int(3) != 1;
        case 798:
        case 799:
            return c0 == 0;
        case 800:
        case 801:
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
    g_ray_point = source;
}

bool rewrite_dialog_command(int command, char* text, int size) {
    if (dropped(command)) return false;
    std::string out = text;
    const std::size_t prefix = std::strlen(kRefRayPrefix);
    if (out.compare(0, prefix, kRefRayPrefix) == 0) {
        double p[5] = {};
        if (g_ray_point != nullptr) g_ray_point(p);
        char head[256];
        std::snprintf(head, sizeof head, "ref_ray_trace %f %f %f %f %f;", p[0], p[1], p[2], p[3],
                      p[4]);
        out = head + out.substr(prefix) + scale_text();
    }
    if (command == 809) out = scale_text() + out;
    if (out.size() >= static_cast<std::size_t>(size)) return false;
    std::memcpy(text, out.c_str(), out.size() + 1);
    return true;
}

void set_save_prompt(SavePrompt prompt) {
    g_save_prompt = prompt;
}

void set_drawing_conditions_level(LevelHandler handler, int (*rows)()) {
    g_conditions_handler = handler;
    g_conditions_rows = rows;
}

int cmd_open_command_dialog() {
    const int command = current_command();
    if (command >= 221 && command <= 223 && g_save_prompt != nullptr) {
        // The save prompt runs commands of its own: the dialog's call is kept aside.
        ArgCell** const vector = arg_vector();
        const int count = arg_count();
        set_arg_vector(new_arg_vector(), 0);
        const int saved = g_save_prompt();
        set_arg_vector(vector, count);
        set_current_command(command);
        if (saved == kStopped) return kStopped;
    }
    const int topic = load_command_help(command);
    if (topic < 0) return 0;
    const int r = push_command_level(command_dialog_event, 0, 0);
    if (r != 0) return r;
    set_level_option();
    if (command == kCommandDrawingDialog)
        set_level_button(msg_text(kMsgDrawingConditions), kDrawingConditionsButton);
    return 0;
}

int sync_dialog_fields(int field) {
    const int command = saved_level_command();
    if (command == kCommandSetSetting && field < 4) {
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
    if ((command == 211 || command == 214) && field < 3) {
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

void draw_command_form() {
    const int command = saved_level_command();
    if (command < 0 || load_command_help(command) < 0) return;
    sheet_set_title(1, 1);
    print_help_text(91, kHelpAfter, 0);
    for (int i = 0; i < saved_level_arg_count(); ++i) {
        const ArgCell* c = saved_level_cell(i);
        print_help_text(i, kHelpBefore, 0);
        char value[300];
        if (c->type == kArgDouble) {
            std::snprintf(value, sizeof value, "%s", format_number(c->value.d, 2, 0));
        } else if (c->type == kArgInt) {
            std::snprintf(value, sizeof value, "%5d ", c->value.i);
        } else if (c->text_length > 0 && c->value.text != nullptr) {
            std::snprintf(value, sizeof value, "%-11s", c->value.text);
        } else {
            std::snprintf(value, sizeof value, "%3d ", static_cast<unsigned char>(c->value.c));
        }
        text_hotspot_text(command, 999, i, 0, value);
        text_out(" ");
        print_help_text(i, kHelpAfter, 0);
    }
    flush_output_line();
    print_level_help();
}

// A field changed by the user: its text (or value) evaluated for its parameter into the saved
// cell, the dependent fields brought along, the form drawn again.
int change_field(int command, int f, const GridEvent& event) {
    ArgCell* cell = saved_level_cell(f);
    if (cell == nullptr) return 0;
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
            const int f = event.first_index;
            if (f < 0) {
                if (event.code != kLevelEventActivate ||
                    event.argument != kDrawingConditionsButton || g_conditions_handler == nullptr) {
                    return 0;
                }
                const int rows = g_conditions_rows != nullptr ? g_conditions_rows() : 0;
                const int r =
                    push_command_level(g_conditions_handler, rows + kConditionsRowsExtra, 0);
                if (r == 0) set_level_option();
                return r;
            }
            if (event.code == kLevelEventActivate) return change_field(command, f, event);
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
            return change_field(command, static_cast<int>(f), typed);
        }
        case kLevelEventShown:
            return redraw_form();
        default:
            return 0;
    }
}
