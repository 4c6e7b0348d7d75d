#include "optimise/variable_sheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "optimise/optimise_commands.h"
#include "optimise/optimise_data.h"
#include "optimise/variables.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/scoped_value.h"
#include "ui/grid_cells.h"
#include "ui/sheet_kit.h"

namespace {

constexpr char kVariableContext = 'V';
constexpr int kParamVariableType = 1258;  // the type asked by name
constexpr int kCommandCellWidth = 40;
constexpr int kTypeWidth = 6;

int level_rows();

struct VariableSheetState {
    SheetKit kit{.revert_message = kMsgVariablesSheetRevertCopy,
                 .print = print_variables_sheet,
                 .rows = level_rows};
    bool open = false;  // opened and not yet closed for good
    bool context_pushed = false;
    std::string command;  // the text of the command cell
};

VariableSheetState& sheet() {
    static VariableSheetState s;
    return s;
}

OptimiseTables& tables() {
    return optimise_tables();
}

int count() {
    return tables().highest_variable + 1;
}

OptimiseParams& params() {
    return *lens_data().optimise_params;
}

int sheet_rows() {
    return std::max(2, count() + 1);
}

int level_rows() {
    return sheet_rows() + kVariableSheetHeaderRows;
}

int rewrite() {
    return sheet_rewrite(sheet().kit);
}

void label(int k) {
    sheet_text(sheet_message_line(kMsgVariablesSheetLabels, k).c_str());
    sheet_text(" ");
}

// An odd number of mirrors on surfaces 1 to s turns the space behind s round.
bool reversed_space(int s) {
    int mirrors = 0;
    for (int j = 1; j <= s; ++j) mirrors += surface(j).medium_kind == kMediumMirror ? 1 : 0;
    return mirrors % 2 == 1;
}

// The space behind surface s is air: the medium of s, or for a mirror the one the light comes
// back through.
bool air_space(int s) {
    int j = s;
    while (j > 0 && surface(j).medium_kind == kMediumMirror) --j;
    const int kind = surface(j).medium_kind;
    return kind == kMediumAir || kind == kMediumAirFixed;
}

// The bounds a variable of a new type takes: a thickness before the image those of its space,
// negated and exchanged behind an odd number of mirrors; anything else none.
void new_type_bounds(int type, int s, double* lower, double* upper) {
    *lower = *upper = 0.0;
    if (type != kVarThickness || s >= lens_data().image_surface) return;
    const OptimiseParams& p = params();
    const bool air = air_space(s);
    double a = air ? p.min_air_thickness : p.min_glass_thickness;
    double b = air ? p.max_air_thickness : p.max_glass_thickness;
    if (reversed_space(s)) {
        const double t = a;
        a = -b;
        b = -t;
    }
    *lower = a;
    *upper = b;
}

// The surface of a row's variable; a new row takes the surface of the last variable.
int row_surface(int row) {
    const OptimiseTables& t = tables();
    if (row >= 0 && row < count()) return t.variables[row].surface;
    return count() > 0 ? t.variables[count() - 1].surface : 1;
}

// A type name typed into row's type cell: the type of the variable-type list it names.
int type_entered(int row, const char* typed) {
    std::string name = trimmed(typed);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (row < 0 || row > count()) return rewrite();
    if (name.empty()) return rewrite();
    select_table_value_list(kListVariableTypes);
    const int listed = value_list_count();
    clear_value_list();
    if (listed == 0) return kMsgVariableTypesEmpty;
    int entry = -1;
    const char* value = match_word_in_list(kListVariableTypes, name.c_str(), &entry);
    if (value == nullptr) return kMsgVariableTypeUnknown;
    const int type = std::atoi(value);
    OptimiseTables& t = tables();
    int kind = 0;
    int item = 0;
    split_variable_code(type, &kind, &item);
    if (!variable_type_offered(kind, row_surface(row))) {
        return set_error_msg(kMsgVariableTypeNotOffered, row_surface(row));
    }
    if (row == count()) {
        const int s = row_surface(row);
        double lower = 0.0;
        double upper = 0.0;
        new_type_bounds(kind, s, &lower, &upper);
        const int rc = define_variable(3, row, s, 0, type, lower, upper, 1.0, 0.0, false);
        return rc != 0 ? rc : rewrite();
    }
    const Variable v = t.variables[row];
    if (kind == v.type && item == v.item) return rewrite();
    double lower = 0.0;
    double upper = 0.0;
    new_type_bounds(kind, v.surface, &lower, &upper);
    // The old type's automatic increment does not fit the new type: it is chosen again. An
    // increment set to be kept (negative) stays.
    const double increment = v.increment < 0.0 ? v.increment : 0.0;
    const int rc = define_variable(0, row, v.surface, v.configuration, type, lower, upper,
                                   v.damping_weight, increment, false);
    return rc != 0 ? rc : rewrite();
}

// A surface typed into row's surface cell: the variable moves there, its type kept.
int surface_entered(int row, int s) {
    const int image = lens_data().image_surface;
    if (s < 0 || s > image) return set_error_msg(kMsgVariableSurfaceRange, image);
    const Variable v = tables().variables[row];
    if (s == v.surface) return rewrite();
    const int rc = define_variable(0, row, s, v.configuration, v.type, v.lower, v.upper,
                                   v.damping_weight, v.increment, false);
    return rc != 0 ? rc : rewrite();
}

int configuration_entered(int row, int c) {
    const int configurations = std::max(1, lens_data().configuration_count);
    if (c < 0 || c > configurations) {
        return set_error_msg(kMsgVariableConfigurationRange, configurations);
    }
    tables().variables[row].configuration = static_cast<std::int16_t>(c);
    sort_variables();
    return rewrite();
}

// A value typed into a header cell: the field it shows.
int header_value_entered(int item, double v) {
    OptimiseParams& p = params();
    switch (item) {
        case kCmdOmnaL:
            p.min_air_thickness = v;
            break;
        case kCmdOmxaL:
            p.max_air_thickness = v;
            break;
        case kCmdOmngL:
            p.min_glass_thickness = v;
            break;
        case kCmdOmxgL:
            p.max_glass_thickness = v;
            break;
        case kCmdOpdiL: {
            const double before = p.derivative_increment;
            p.derivative_increment = v;
            if (before == 0.0 && v != 0.0) fill_zero_increments();
            break;
        }
        default:
            break;
    }
    return rewrite();
}

// The command cell: its text runs as a typed line would.
int command_entered(const char* typed) {
    const std::string text = trimmed(typed);
    sheet().command = text;
    if (text.empty()) return rewrite();
    const int rc = run_command_string(text.c_str(), 0);
    if (rc != 0) return set_error_msg(kMsgSheetCommandFailed, text.c_str());
    if (level_count() == 0) return 0;
    return rewrite();
}

int value_entered(const GridEvent& event) {
    const int item = grid_entry_field(event.field);
    const int row = event.first_index;
    if (item == kVariableCellCommand) return command_entered(sheet_event_text(event));
    if (item == kVariableCellType) return type_entered(row, sheet_event_text(event));
    const bool number = event.value_type == kGridValueInt || event.value_type == kGridValueDouble;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    if (!number || !std::isfinite(v)) return rewrite();
    if (item >= kCmdOpdfL && item <= kCmdOpssL) return header_value_entered(item, v);
    if (row < 0 || row >= count()) return rewrite();
    switch (item) {
        case kVariableCellValue:
        case kVariableCellLower:
        case kVariableCellUpper:
        case kVariableCellDamping:
        case kVariableCellIncrement: {
            const int rc = set_variable_attribute(row, item, v);
            return rc != 0 ? rc : rewrite();
        }
        case kVariableCellSurface:
            return surface_entered(row, static_cast<int>(std::lround(v)));
        case kVariableCellConfiguration:
            return configuration_entered(row, static_cast<int>(std::lround(v)));
        default:
            return rewrite();
    }
}

// The type asked for on the command line, with the variable command's list of types.
int ask_type(int row) {
    ArgCell cell{};
    // The list offers what the row's surface can vary.
    const ScopedValue<int> filter(tables().type_filter_surface, row_surface(row));
    if (const int rc = prompt_param(kParamVariableType, &cell); rc != 0) return rc;
    std::string name;
    if (cell.type == kArgChar && cell.text_length > 0 && cell.value.text != nullptr) {
        name = cell.value.text;
    } else if (cell.type == kArgInt) {
        // An answer picked from the list arrives as its entry number in the offered list.
        const std::vector<int> offered = offered_variable_type_entries();
        const int picked_entry =
            cell.value.i >= 0 && cell.value.i < static_cast<int>(offered.size())
                ? offered[static_cast<std::size_t>(cell.value.i)]
                : -1;
        select_table_value_list(kListVariableTypes);
        const char* first = value_list_first(picked_entry);
        if (first != nullptr) name = list_entry_word(first);
        clear_value_list();
        if (name.empty()) return kMsgVariableTypeUnknown;
    }
    return type_entered(row, name.c_str());
}

int picked(const GridEvent& event) {
    const int item = grid_entry_field(event.field);
    OptimiseParams& p = params();
    switch (item) {
        case kCmdOpvdL:
            p.variable_damping = event.first_index == 1 ? 1 : 0;
            return rewrite();
        case kCmdOpviL:
            p.automatic_increments = event.first_index == 1 ? 1 : 0;
            return rewrite();
        case kVariableCellVaryCurvatures:
        case kVariableCellVaryThicknesses:
        case kVariableCellVaryAirSpaces: {
            const char* lines[] = {"vary CV", "vary TH", "vary AIR"};
            const char* line = lines[item - kVariableCellVaryCurvatures];
            if (run_command_string(line, 0) != 0)
                return set_error_msg(kMsgSheetCommandFailed, line);
            return rewrite();
        }
        case kVariableCellType:
            if (event.first_index < 0 || event.first_index > count()) return rewrite();
            return ask_type(event.first_index);
        default:
            return rewrite();
    }
}

int cell_text(GridEvent& event) {
    const int item = grid_entry_field(event.field);
    const int row = event.first_index;
    if (event.text == nullptr) return 0;
    char text[64] = "";
    const OptimiseParams& p = params();
    auto number = [&](double v) { std::snprintf(text, sizeof text, "%.10g", v); };
    switch (item) {
        case kCmdOmnaL:
            number(p.min_air_thickness);
            break;
        case kCmdOmxaL:
            number(p.max_air_thickness);
            break;
        case kCmdOmngL:
            number(p.min_glass_thickness);
            break;
        case kCmdOmxgL:
            number(p.max_glass_thickness);
            break;
        case kCmdOpdiL:
            number(p.derivative_increment);
            break;
        case kVariableCellCommand:
            std::snprintf(text, sizeof text, "%s", sheet().command.c_str());
            break;
        default: {
            if (row < 0 || row >= count()) return 0;
            const Variable& v = tables().variables[row];
            switch (item) {
                case kVariableCellValue:
                    number(get_variable_value(v.type, v.surface, v.item));
                    break;
                case kVariableCellLower:
                    number(v.lower);
                    break;
                case kVariableCellUpper:
                    number(v.upper);
                    break;
                case kVariableCellDamping:
                    number(v.damping_weight);
                    break;
                case kVariableCellIncrement:
                    number(v.increment);
                    break;
                case kVariableCellType:
                    std::snprintf(text, sizeof text, "%s", v.type_name);
                    break;
                case kVariableCellSurface:
                    std::snprintf(text, sizeof text, "%d", v.surface);
                    break;
                case kVariableCellConfiguration:
                    std::snprintf(text, sizeof text, "%d", v.configuration);
                    break;
                default:
                    return 0;
            }
        }
    }
    sheet_edit_text(event, text);
    return 0;
}

int typed(const char* text, const GridEvent&) {
    const int rc = run_command_string(text, 0);
    if (rc != 0 || level_count() == 0) return rc;
    return rewrite();
}

int shown() {
    VariableSheetState& s = sheet();
    if (const int rc = allocate_variable_table(); rc != 0) return rc;
    sheet_take_copy(s.kit);
    s.kit.kept = false;
    s.kit.shown = true;
    s.open = true;
    set_state_flag(kFlagVariablesLevel);
    set_state_flag(kFlagLevelChanges);
    if (!s.context_pushed && command_context_letter() != kVariableContext) {
        s.context_pushed = push_command_context(kVariableContext) == 0;
    }
    set_level_header_rows(kVariableSheetHeaderRows, 0, 0);
    return rewrite();
}

void leaving(int) {
    VariableSheetState& s = sheet();
    if (s.open) {
        // Leaving variable entry stores the values, sorts the variables, sets the lens up and
        // takes the context letter V off.
        leave_entry_mode(kCmdEndV, false);
        status_msg(kMsgVariablesSheetClosed);
    }
    s.open = false;
    s.context_pushed = false;
    s.command.clear();
}

void toggles(int item, std::uint8_t on) {
    text_hotspot_msg(item, 0, on == 0 ? 1 : 0, kMsgOff);
    sheet_text(" ");
    text_hotspot_msg(item, 1, on != 0 ? 1 : 0, kMsgOn);
}

void int_cell(int item, int row, int value) {
    sheet_int_cell(item, row, value, 4);
}

const SheetEvents kEvents{
    .opening = shown,
    .opens_itself = true,
    .leaving = leaving,
    .cell_text = cell_text,
    .edited = value_entered,
    .activated = picked,
    .typed = typed,
    .quiet_otherwise = true,
};

const platform::StateReset variable_sheet_state_reset{
    "optimise/variable_sheet", reset_variable_sheet, platform::ResetLayer::feature};

}  // namespace

int cmd_open_variables_sheet() {
    if (sheet().open) return 0;  // one variables sheet at a time
    if (lens_data().optimise_params == nullptr) return set_error_msg(kMsgOutOfMemory);
    if (const int rc = allocate_variable_table(); rc != 0) return rc;
    if (arg_int(0) == 1) {
        OptimiseTables& t = tables();
        for (Variable& v : t.variables) v = Variable{};
        t.highest_variable = -1;
        t.sorted_head = -1;
    }
    const int rc =
        push_command_level(variables_sheet_event, sheet_rows() + kVariableSheetHeaderRows, 1);
    if (rc != 0) return rc;
    status_msg(kMsgVariablesSheetStatus);
    return 0;
}

void print_variables_sheet() {
    sheet_set_title(-kHelpTopicVariablesSheet, kMsgVariablesHeading);
    const OptimiseParams& p = params();
    label(0);
    sheet_number_cell(kCmdOmnaL, 0, p.min_air_thickness);
    sheet_text(" ");
    label(1);
    sheet_number_cell(kCmdOmxaL, 0, p.max_air_thickness);
    text_newline();
    label(2);
    sheet_number_cell(kCmdOmngL, 0, p.min_glass_thickness);
    sheet_text(" ");
    label(3);
    sheet_number_cell(kCmdOmxgL, 0, p.max_glass_thickness);
    text_newline();
    label(4);
    sheet_number_cell(kCmdOpdiL, 0, p.derivative_increment);
    sheet_text("  ");
    label(5);
    toggles(kCmdOpvdL, p.variable_damping);
    sheet_text("  ");
    label(6);
    toggles(kCmdOpviL, p.automatic_increments);
    text_newline();
    for (int k = 0; k < 3; ++k) {
        text_hotspot(kGridKindButton | (kVariableCellVaryCurvatures + k), 0);
        sheet_text(sheet_message_line(kMsgVaryClassButtons, k).c_str());
        sheet_text("  ");
    }
    label(7);
    char command[kCommandCellWidth + 1];
    std::snprintf(command, sizeof command, "%-*.*s", kCommandCellWidth, kCommandCellWidth,
                  sheet().command.c_str());
    text_hotspot(kGridKindTextNoCommand | kVariableCellCommand, 0);
    sheet_text(command);
    text_newline();
    sheet_label(kMsgVariablesColumns);
    text_newline();
    const OptimiseTables& t = tables();
    const int rows = sheet_rows();
    char text[32];
    for (int i = 0; i < rows; ++i) {
        text_hotspot(kGridKindRowSelector, i);
        std::snprintf(text, sizeof text, "V %-2d", i + 1);
        sheet_text(text);
        if (i >= count()) {
            if (i == count()) {
                sheet_text("         ");
                std::snprintf(text, sizeof text, "%-*s", kTypeWidth, "");
                text_hotspot(kGridKindSelectableText | kVariableCellType, i);
                sheet_text(text);
            }
            text_newline();
            continue;
        }
        const Variable& v = t.variables[i];
        int_cell(kVariableCellSurface, i, v.surface);
        int_cell(kVariableCellConfiguration, i, v.configuration);
        sheet_text(" ");
        std::snprintf(text, sizeof text, "%-*s", kTypeWidth, v.type_name);
        text_hotspot(kGridKindSelectableText | kVariableCellType, i);
        sheet_text(text);
        sheet_number_cell(kVariableCellLower, i, v.lower);
        sheet_text(" ");
        sheet_number_cell(kVariableCellUpper, i, v.upper);
        sheet_text(" ");
        sheet_number_cell(kVariableCellDamping, i, v.damping_weight);
        sheet_text(" ");
        sheet_number_cell(kVariableCellIncrement, i, v.increment);
        sheet_text(" ");
        sheet_number_cell(kVariableCellValue, i, get_variable_value(v.type, v.surface, v.item));
        text_newline();
    }
}

int variables_sheet_event(GridEvent& event) {
    return sheet_dispatch(sheet().kit, kEvents, event);
}

void reset_variable_sheet() {
    VariableSheetState& s = sheet();
    sheet_release_copy(s.kit, 0);
    s = VariableSheetState{};
}
