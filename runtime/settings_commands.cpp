#include "runtime/settings_commands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

TestGlassCount g_test_glass_count = nullptr;

constexpr int kCellRow = 1;
constexpr int kCellColumn = 2;
constexpr int kCellIndex = 3;
constexpr int kCellDouble = 4;
constexpr int kCellInt = 5;
constexpr int kCellText = 6;
constexpr int kCellFlag = 7;
constexpr int kFlagParameter = 7;

// Which cells index a setting: two dimensions take cells 1 and 2, one dimension (or a text
// array) cell 3, anything else none.
struct SettingIndex {
    int i = 0;
    int j = 0;
    int used = 0;  // 0 none, 1 one index, 2 row and column
};

SettingIndex choose_index(const SettingDef& d) {
    SettingIndex x;
    if (d.type == kSettingChar) {
        if (d.dim2 != 0) {
            x.i = arg_int(kCellIndex);
            x.used = 1;
        }
    } else if (d.dim2 != 0) {
        x.i = arg_int(kCellRow);
        x.j = arg_int(kCellColumn);
        x.used = 2;
    } else if (d.dim1 != 0) {
        x.i = arg_int(kCellIndex);
        x.used = 1;
    }
    return x;
}

bool is_flag(const SettingDef& d) {
    return d.type == kSettingChar && d.dim1 == 0;
}

// The setting of cell 0 with its index: null for an unknown id or an index outside it.
const SettingDef* addressed_setting(int* id, SettingIndex* index) {
    *id = arg_int(0);
    const SettingDef* d = setting_def(*id);
    if (d == nullptr) return nullptr;
    *index = choose_index(*d);
    if (d->type == kSettingChar) {
        if (d->dim2 != 0 && (index->i < 0 || index->i >= d->dim1)) return nullptr;
        return d;
    }
    if (!setting_index_valid(*id, index->i, index->j)) return nullptr;
    return d;
}

// The setting's name as the settings commands show it: its entry in the set command's list.
std::string setting_display_name(int id) {
    const int id_param = param_descriptor_index(kCmdSetSetting, 0);
    if (id_param >= 0 && select_param_list(id_param) == 0) return list_item_text(id);
    return std::to_string(id);
}

// The refusal of a set command: the setting by name and what it takes.
int refuse_setting_value(int id, const SettingDef& d) {
    const std::string name = setting_display_name(id);
    if (is_flag(d)) return set_error_msg(kMsgSettingTakesSwitch, name.c_str());
    if (d.type == kSettingChar) {
        return set_error_msg(kMsgSettingTakesText, name.c_str(), static_cast<int>(d.dim1) - 1);
    }
    const bool whole = d.type == kSettingInt;
    if (d.dim2 != 0) {
        return set_error_msg(kMsgSettingTakesRowColumnInt, name.c_str(),
                             static_cast<int>(d.dim1) - 1, static_cast<int>(d.dim2) - 1);
    }
    if (d.dim1 != 0) {
        return set_error_msg(whole ? kMsgSettingTakesIndexedInt : kMsgSettingTakesIndexedDouble,
                             name.c_str(), static_cast<int>(d.dim1) - 1);
    }
    return set_error_msg(whole ? kMsgSettingTakesInt : kMsgSettingTakesDouble, name.c_str());
}

// The cell that carries a value of the setting's type.
int value_cell_of(const SettingDef& d) {
    if (d.type == kSettingInt) return kCellInt;
    if (d.type == kSettingDouble) return kCellDouble;
    return is_flag(d) ? kCellFlag : kCellText;
}

}  // namespace

void install_settings_commands() {
    set_handler(kSlotSetSetting, cmd_set_setting);
    set_handler(kSlotShowSetting, cmd_show_setting);
    set_handler(kSlotGetSettingDouble, cmd_get_setting_double);
    set_handler(kSlotGetSettingInt, cmd_get_setting_int);
    set_handler(kSlotGetSettingFlag, cmd_get_setting_flag);
}

int cmd_set_setting() {
    int id = 0;
    SettingIndex x;
    const SettingDef* d = addressed_setting(&id, &x);
    if (d == nullptr) {
        const SettingDef* known = setting_def(id);
        return known != nullptr ? refuse_setting_value(id, *known) : kMsgSettingRefused;
    }
    // A value cell left to its default would set the setting to a value nobody typed: a flag
    // turned off by "set_setting Graphics_axes 1" read with the 1 in another cell.
    const ArgCell* given = arg_cell(value_cell_of(*d));
    if (given == nullptr || given->status != kArgGiven) return refuse_setting_value(id, *d);
    int r = kMsgSettingRefused;
    if (d->type == kSettingInt) {
        r = set_setting_int(id, arg_int(kCellInt), x.i, x.j);
    } else if (d->type == kSettingDouble) {
        const ArgCell* c = arg_cell(kCellDouble);
        if (c == nullptr) return kMsgSettingRefused;
        const double v = c->type == kArgDouble ? c->value.d : static_cast<double>(arg_int(4));
        r = set_setting_double(id, v, x.i, x.j);
    } else if (is_flag(*d)) {
        r = set_setting_flag(id, static_cast<std::uint8_t>(arg_int(kCellFlag)));
    } else {
        const ArgCell* c = arg_cell(kCellText);
        if (c == nullptr || c->type != kArgChar || c->text_length == 0 ||
            c->value.text == nullptr) {
            return refuse_setting_value(id, *d);
        }
        r = set_setting_text(id, c->value.text, x.i);
    }
    if (r == kErrorTextReady) return r;
    if (r != 0) return refuse_setting_value(id, *d);
    if (id == kSetTestGlassFile && g_test_glass_count != nullptr) {
        const int glasses = g_test_glass_count();
        if (glasses > 0)
            msg_box(kMsgTestGlassesLoaded, get_setting_text(kSetTestGlassFile, 0), glasses);
    }
    return 0;
}

int compose_setting_text(char* out, int size) {
    int id = 0;
    SettingIndex x;
    const SettingDef* d = addressed_setting(&id, &x);
    if (d == nullptr) return kMsgSettingRefused;
    std::string text = setting_display_name(id);
    char piece[64];
    if (x.used >= 1) {
        std::snprintf(piece, sizeof piece, "[%d]", x.i);
        text += piece;
    }
    if (x.used == 2) {
        std::snprintf(piece, sizeof piece, "[%d]", x.j);
        text += piece;
    }
    text += " = ";
    if (d->type == kSettingDouble) {
        text += format_number(get_setting_double(id, x.i, x.j), 2, 0);
    } else if (d->type == kSettingInt) {
        text += std::to_string(get_setting_int(id, x.i, x.j));
    } else if (is_flag(*d)) {
        const int flag_param = param_descriptor_index(kCmdSetSetting, kFlagParameter);
        const int value = get_setting_flag(id);
        if (flag_param >= 0 && select_param_list(flag_param) == 0) {
            text += list_item_text(value);
        } else {
            text += std::to_string(value);
        }
    } else {
        const char* t = get_setting_text(id, x.i);
        text += t != nullptr ? t : "";
    }
    std::snprintf(out, static_cast<std::size_t>(size), "%s", text.c_str());
    return 0;
}

int cmd_show_setting() {
    char text[512];
    const int r = compose_setting_text(text, sizeof text);
    if (r != 0) return r;
    msg_box(kMsgShowSetting, text);
    return 0;
}

int cmd_get_setting_double() {
    int id = 0;
    SettingIndex x;
    const SettingDef* d = addressed_setting(&id, &x);
    if (d == nullptr) return kMsgSettingRefused;
    if (d->type != kSettingDouble) return kMsgSettingType;
    set_double_result(get_setting_double(id, x.i, x.j));
    return 0;
}

int cmd_get_setting_int() {
    int id = 0;
    SettingIndex x;
    const SettingDef* d = addressed_setting(&id, &x);
    if (d == nullptr) return kMsgSettingRefused;
    if (d->type != kSettingInt) return kMsgSettingType;
    set_int_result(get_setting_int(id, x.i, x.j));
    return 0;
}

int cmd_get_setting_flag() {
    const SettingDef* d = setting_def(arg_int(0));
    if (d == nullptr) return kMsgSettingRefused;
    if (!is_flag(*d)) return kMsgSettingType;
    set_char_result(static_cast<char>(get_setting_flag(arg_int(0))));
    return 0;
}

void set_test_glass_count(TestGlassCount count) {
    g_test_glass_count = count;
}
