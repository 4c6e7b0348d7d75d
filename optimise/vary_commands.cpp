#include "optimise/vary_commands.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lens/lens_data.h"
#include "optimise/damped_least_squares.h"
#include "optimise/optimise_commands.h"
#include "optimise/optimise_data.h"
#include "optimise/variables.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

bool is_mirror(int j) {
    return surface(j).medium_kind == kMediumMirror;
}

double index_behind(int j) {
    const SurfaceRecord& s = surface(j);
    return s.index != nullptr ? std::fabs(s.index[0]) : 1.0;
}

bool air_behind(int j) {
    return std::fabs(index_behind(j) - 1.0) < 1e-9;
}

// Whether some variable of all configurations names this value already.
bool varied_everywhere(int type, int s) {
    const OptimiseTables& t = optimise_tables();
    for (int i = 0; i <= t.highest_variable; ++i) {
        const Variable& v = t.variables[i];
        if (v.type == type && v.surface == s && v.configuration == 0) return true;
    }
    return false;
}

int add_at_end(int s, int type, double lower, double upper) {
    const OptimiseTables& t = optimise_tables();
    return define_variable(3, t.highest_variable + 1, s, 0, type, lower, upper, 1.0, 0.0, false);
}

int vary_curvatures() {
    const int image = lens_data().image_surface;
    for (int j = 1; j < image; ++j) {
        const SurfaceRecord& s = surface(j);
        if (s.curvature_kind != kCurvaturePlain) continue;
        if (!is_mirror(j) && index_behind(j) == index_behind(j - 1)) continue;
        if (varied_everywhere(kVarCurvature, j)) continue;
        if (const int rc = add_at_end(j, kVarCurvature, 0.0, 0.0); rc != 0) return rc;
    }
    return 0;
}

// Thicknesses get the air or glass limits of the optimisation parameters; after an odd number
// of mirrors the light runs backwards and the limits are negated and exchanged. The gap in front
// of the image is the focus: it is not bounded.
int vary_thicknesses(bool air_only) {
    const LensData& l = lens_data();
    const OptimiseParams& p = *l.optimise_params;
    const int image = l.image_surface;
    int mirrors = 0;
    for (int j = 1; j < image; ++j) {
        if (is_mirror(j)) ++mirrors;
        const SurfaceRecord& s = surface(j);
        const bool air = air_behind(j);
        if (s.thickness_kind != kThicknessPlain || (air_only && !air)) continue;
        if (varied_everywhere(kVarThickness, j)) continue;
        double lower = 0.0, upper = 0.0;
        if (j < image - 1) {
            lower = air ? p.min_air_thickness : p.min_glass_thickness;
            upper = air ? p.max_air_thickness : p.max_glass_thickness;
            if (mirrors % 2 == 1) {
                const double negated_lower = -upper;
                upper = -lower;
                lower = negated_lower;
            }
        }
        if (const int rc = add_at_end(j, kVarThickness, lower, upper); rc != 0) return rc;
    }
    return 0;
}

int enter_variables() {
    if (const int rc = allocate_variable_table(); rc != 0) return rc;
    set_state_flag(kFlagVariablesLevel);
    set_state_flag(kFlagLevelChanges);
    push_command_context('V');
    return 0;
}

int enter_operands() {
    if (const int rc = allocate_operand_table(); rc != 0) return rc;
    set_state_flag(kFlagOperandsLevel);
    set_state_flag(kFlagLevelChanges);
    push_command_context('O');
    OptimiseTables& t = optimise_tables();
    t.results_exist = false;
    t.chain_compiled = false;
    return 0;
}

// Slot 151: one operand line typed outside operand entry.
int cmd_enter_operand_mode() {
    if (const int rc = enter_operands(); rc != 0) return rc;
    const int rc = cmd_define_operand();
    leave_entry_mode(kCmdEndO, false);
    return rc;
}

// Slot 157: one variable line typed outside variable entry.
int cmd_enter_variable_mode() {
    if (const int rc = enter_variables(); rc != 0) return rc;
    const int rc = cmd_define_variable();
    leave_entry_mode(kCmdEndV, false);
    return rc;
}

// Slot 161: inside variable entry.
int cmd_vary_parameter_class_direct() {
    if (const int rc = allocate_variable_table(); rc != 0) return rc;
    return vary_parameter_class(arg_int(0));
}

// Slot 158: variable entry is entered and left around the class.
int cmd_vary_parameter_class() {
    if (const int rc = enter_variables(); rc != 0) return rc;
    const int rc = vary_parameter_class(arg_int(0));
    leave_entry_mode(kCmdEndV, false);
    return rc;
}

// Slot 159: argument 1 the attribute (0 damping weight from argument 5, 1 increment from
// argument 6); argument 2 0 takes the range of arguments 3 and 4, else every variable.
int cmd_set_variable_steps() {
    if (const int rc = allocate_variable_table(); rc != 0) return rc;
    const OptimiseTables& t = optimise_tables();
    print_msg(kMsgVariablesHeading);
    text_newline();
    if (t.highest_variable < 0) {
        print_msg(kMsgNoVariablesListed);
        text_newline();
        return 0;
    }
    print_msg(kMsgVariablesColumns);
    text_newline();
    const int attribute = arg_int(0);
    const int count = t.highest_variable + 1;
    int from = 0, to = count - 1;
    if (arg_int(1) == 0) {
        const int first = arg_int(2), last = arg_int(3);
        if (first > 0) from = first - 1;
        if (last > 0) to = last - 1 < to ? last - 1 : to;
        if (from > to) return kMsgNoSuchVariable;
    }
    const int action = attribute == 0 ? 7 : 8;
    const double value = attribute == 0 ? arg_double(4) : arg_double(5);
    for (int i = from; i <= to; ++i) {
        if (const int rc = set_variable_attribute(i, action, value); rc != 0) return rc;
        print_variable_line(i, -1);
    }
    return 0;
}

// Slot 60: the variable types the filter's surface can vary, as a value list.
int cmd_filter_variable_types() {
    const std::vector<int> offered = offered_variable_type_entries();
    std::vector<std::pair<std::string, std::string>> entries;
    select_table_value_list(kListVariableTypes);
    for (const int i : offered) {
        const char* first = value_list_first(i);
        const char* second = value_list_second(i);
        entries.emplace_back(first != nullptr ? first : "", second != nullptr ? second : "");
    }
    start_built_list();
    for (const auto& e : entries) add_built_list_entry(e.first, e.second);
    return 0;
}

// Slot 160 also takes the surface sheet's command, told by its number.
int cmd_define_or_add_variable() {
    if (current_command() != kCmdAddVariableInSpreadsheet) return cmd_define_variable();
    return add_variable_in_spreadsheet(arg_int(0) - 1, arg_int(1), arg_int(2), arg_int(3),
                                       arg_int(4), arg_double(5), arg_double(6));
}

}  // namespace

int vary_parameter_class(int vary_class) {
    if (lens_data().optimise_params == nullptr) return kMsgVariableTypeUnknown;
    const std::uint8_t output = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn, 0);
    int rc = kMsgVariableTypeUnknown;
    switch (vary_class) {
        case kVaryCurvatures:
            rc = vary_curvatures();
            break;
        case kVaryThicknesses:
            rc = vary_thicknesses(false);
            break;
        case kVaryAirSpaces:
            rc = vary_thicknesses(true);
            break;
        default:
            break;
    }
    set_setting_flag(kSetOutputOn, output);
    return rc;
}

int add_variable_in_spreadsheet(int number, int action, int surface, int configuration, int type,
                                double lower, double upper) {
    if (const int rc = allocate_variable_table(); rc != 0) return rc;
    const bool outside = command_context_letter() != 'V';
    if (outside) enter_variables();
    int rc = 0;
    int kind = 0;
    int item = 0;
    split_variable_code(type, &kind, &item);
    if (action == 1) {
        rc = delete_variable(number);
    } else if (!variable_type_offered(kind, surface)) {
        rc = set_error_msg(kMsgVariableTypeNotOffered, surface);
    } else {
        rc =
            define_variable(0, number, surface, configuration, type, lower, upper, 1.0, 0.0, false);
    }
    if (outside) leave_entry_mode(kCmdEndV, false);
    update_optimise_menu_state();
    return rc;
}

void update_optimise_menu_state() {
    const OptimiseTables& t = optimise_tables();
    if (t.highest_variable >= 0) {
        set_state_flag(kFlagVariablesExist);
    } else {
        clear_state_flag(kFlagVariablesExist);
    }
    if (t.operand_count > 0) {
        set_state_flag(kFlagOperandsExist);
    } else {
        clear_state_flag(kFlagOperandsExist);
    }
    clear_state_flag(kFlagOperandDimensions);
    clear_state_flag(kFlagOperandDimensionsSecond);
    clear_state_flag(kFlagComponentGroups);
}

void install_variable_commands() {
    set_handler(kSlotEnterOperandMode, cmd_enter_operand_mode);
    set_handler(kSlotEnterVariableMode, cmd_enter_variable_mode);
    set_handler(kSlotVaryParameterClass, cmd_vary_parameter_class);
    set_handler(kSlotVaryParameterClassDirect, cmd_vary_parameter_class_direct);
    set_handler(kSlotListVariables, cmd_set_variable_steps);
    set_handler(kSlotDefineVariable, cmd_define_or_add_variable);
    set_handler(kSlotFilterVariableTypes, cmd_filter_variable_types);
}
