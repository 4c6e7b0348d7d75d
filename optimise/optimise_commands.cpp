#include "optimise/optimise_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "optimise/auto_focus.h"
#include "optimise/damped_least_squares.h"
#include "optimise/error_function.h"
#include "optimise/operands.h"
#include "optimise/optimise_data.h"
#include "optimise/tolerance_results.h"
#include "optimise/variables.h"
#include "optimise/vary_commands.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"

namespace {

constexpr int kSysVarOperandResults = 44;
constexpr int kParamOperandText = 304;  // the new text of an operand, offered as the old one
constexpr int kDefinitionColumn = 46;
constexpr int kValuesColumn = 27;
constexpr std::size_t kShownTextLength = 27;
constexpr std::size_t kCutTextLength = 24;

void heading(int message) {
    print_msg(message);
    text_newline();
}

void number_cell(double v) {
    text_out(" ");
    text_number(v);
}

// The 1-based range of arguments first and last, clipped to count; none means all.
void range_of(int first, int last, int count, int* from, int* to) {
    *from = 0;
    *to = count - 1;
    if (first > 0) *from = first - 1;
    if (last > 0) *to = std::min(last - 1, count - 1);
    if (first > 0 && last == 0) *to = count - 1;
}

bool sum_of_squares() {
    const OptimiseParams* p = lens_data().optimise_params;
    return p != nullptr && p->sum_of_squares != 0;
}

bool is_inequality(int i) {
    const OperandToken& right = optimise_tables().tokens[2 * i + 1];
    return right.kind != kTokenEmpty && (right.op == kOpLess || right.op == kOpGreater);
}

// An operand's share of the minimisation error, in per cent.
double operand_share(int i) {
    const OptimiseTables& t = optimise_tables();
    const Operand& o = t.operands[i];
    if (o.mode == kOperandConstraint) return 0.0;
    const double w = operand_weight(i);
    const ErrorFunction& e = t.error;
    const double denominator =
        sum_of_squares() ? e.minimisation : e.minimisation_weights * e.minimisation;
    if (w <= 0.0 || denominator <= kOptimiseZero) return 0.0;
    return 100.0 * w * o.value * o.value / denominator;
}

void share_cell(double share) {
    if (share == 0.0 && get_setting_flag(kSetPrintZero) == 0) {
        text_out("   -- ");
    } else {
        text_printf("%6.2f", share);
    }
}

void print_operand_line(int i, bool values, double weight_shown, double share_shown) {
    const OptimiseTables& t = optimise_tables();
    const Operand& o = t.operands[i];
    std::string definition = operand_to_text(i);
    if (values && definition.size() > kShownTextLength) {
        definition = definition.substr(0, kCutTextLength) + "...";
    }
    char head[80];
    std::snprintf(head, sizeof head, "O %-4d \"%s\"", i + 1, definition.c_str());
    std::string line = head;
    const std::size_t column = values ? kValuesColumn : kDefinitionColumn;
    if (line.size() < column) line.append(column - line.size(), ' ');
    text_out(line.c_str());
    text_out(o.mode == kOperandConstraint ? " C" : " M");
    number_cell(o.mode == kOperandConstraint ? o.target : weight_shown);
    text_printf(" %-10s", o.label);
    if (values) {
        number_cell(o.value);
        text_out(" ");
        share_cell(share_shown);
    }
    text_newline();
}

void list_operands(int mode, int first, int last) {
    OptimiseTables& t = optimise_tables();
    heading(kMsgOperandsHeading);
    if (t.operand_count == 0) {
        heading(kMsgNoOperandsListed);
        return;
    }
    const bool values = mode == 2 || mode == 3;
    const bool short_form = mode == 2;
    if (values) {
        compute_error_function(0);
        heading(kMsgOperandsValueColumns);
    } else {
        heading(kMsgOperandsColumns);
    }
    int from = 0;
    int to = 0;
    range_of(first, last, t.operand_count, &from, &to);
    bool in_group = false;
    double group_weight = 0.0;
    double group_share = 0.0;
    for (int i = from; i <= to; ++i) {
        const Operand& o = t.operands[i];
        const OperandToken& left = t.tokens[2 * i];
        const double share = values ? operand_share(i) : 0.0;
        if (left.kind == kTokenGroupStart) {
            in_group = true;
            group_weight = group_share = 0.0;
            print_operand_line(i, values, o.weight, 0.0);
            continue;
        }
        if (left.kind == kTokenGroupEnd) {
            in_group = false;
            print_operand_line(i, values, group_weight, group_share);
            continue;
        }
        if (in_group) {
            group_weight += o.mode == kOperandMinimise ? o.weight : 0.0;
            group_share += share;
            if (short_form) continue;
        }
        if (short_form && o.label[0] == '_' && !(is_inequality(i) && o.value != 0.0)) continue;
        print_operand_line(i, values, o.weight, share);
    }
    if (!values) return;
    if (t.error.has_bounds && t.error.bound_violated) {
        print_msg(kMsgBoundsViolated);
        for (int i = 0; i <= t.highest_variable; ++i) {
            if (t.variables[i].bound_state == -1) text_printf(" %c%d ", 'V', i + 1);
        }
        text_newline();
    }
    if (sum_of_squares()) {
        print_msg(kMsgSumOfSquaresError);
        number_cell(t.error.minimisation);
    } else {
        print_msg(kMsgRootError);
        number_cell(std::sqrt(std::max(0.0, t.error.minimisation)));
    }
    text_newline();
}

void list_variables(int mode, int first, int last) {
    const OptimiseTables& t = optimise_tables();
    if (mode == 2) {
        heading(kMsgVariableStepsHeading);
    } else {
        heading(kMsgVariablesHeading);
    }
    if (t.highest_variable < 0) {
        heading(kMsgNoVariablesListed);
        return;
    }
    if (mode != 2) heading(kMsgVariablesColumns);
    int from = 0;
    int to = 0;
    range_of(first, last, t.highest_variable + 1, &from, &to);
    for (int i = from; i <= to; ++i) print_variable_line(i, mode == 2 ? 0 : -1);
}

}  // namespace

void leave_entry_mode(int command, bool show) {
    OptimiseTables& t = optimise_tables();
    if (command == kCmdEndO) {
        compile_operand_chain();
        tolerance_operands_changed();
        clear_state_flag(kFlagOperandsLevel);
        if (command_context_letter() == 'O') pop_command_context();
    } else {
        store_variable_values();
        sort_variables();
        tolerance_variables_changed();
        lens_setup(0);
        clear_state_flag(kFlagVariablesLevel);
        if (command_context_letter() == 'V') pop_command_context();
    }
    clear_state_flag(kFlagLevelChanges);
    update_optimise_menu_state();
    (void)show;
    (void)t;
}

int cmd_define_operand() {
    const int rc_alloc = allocate_operand_table();
    if (rc_alloc != 0) return rc_alloc;
    OptimiseTables& t = optimise_tables();
    const int number = arg_int(0) - 1;
    const int action = arg_int(1);
    const std::string text = arg_string(2);
    const bool constraint = arg_int(3) != 0;
    const double weight = arg_double(4);
    const std::string label = arg_string(5);
    switch (action) {
        case 0:
        case kOperandActionIns: {
            const bool before_end = action == kOperandActionIns && number < t.operand_count;
            const int rc = store_operand(action, number, text.c_str(), constraint ? 0.0 : weight,
                                         label.c_str());
            if (rc != 0) return rc;
            const int at = std::min(number, t.operand_count - 1);
            if (constraint) {
                // A constraint's line carries its target: a saved constraint reopens as one.
                t.operands[at].mode = kOperandConstraint;
                t.operands[at].weight = 0.0;
                t.operands[at].target = weight;
            }
            if (before_end) {
                print_msg(kMsgInsertedBefore);
                text_newline();
            }
            return 0;
        }
        case kOperandActionDel: {
            const int rc = delete_operand(number);
            if (rc != 0) return rc;
            text_printf("%c %-2d ", 'O', number + 1);
            heading(kMsgEntryDeleted);
            return 0;
        }
        case kOperandActionSho:
            if (number < 0 || number >= t.operand_count) return kMsgNoSuchOperand;
            print_operand_line(number, false, t.operands[number].weight, 0.0);
            return 0;
        case kOperandActionWgt:
        case kOperandActionLab: {
            if (number < 0 || number >= t.operand_count) return kMsgNoSuchOperand;
            // Without its value the line would set a weight or a label nobody typed.
            const ArgCell* value = arg_cell(action == kOperandActionWgt ? 4 : 5);
            if (value == nullptr || value->status != kArgGiven) {
                return set_error_msg(kMsgOperandValueMissing, number + 1,
                                     action == kOperandActionWgt ? "WGT" : "LAB");
            }
            Operand& o = t.operands[number];
            const int kind = t.tokens[2 * number].kind;
            if (action == kOperandActionWgt) {
                o.weight = (kind == kTokenGroupStart || kind == kTokenGroupEnd) ? 0.0 : weight;
            } else {
                std::snprintf(o.label, sizeof o.label, "%s", label.c_str());
                o.value = o.previous = 0.0;
            }
            print_msg(kMsgEntryChanged);
            text_newline();
            print_operand_line(number, false, o.weight, 0.0);
            return 0;
        }
        case kOperandActionExp: {
            if (number < 0 || number >= t.operand_count) return kMsgNoSuchOperand;
            std::string changed = text;
            const ArgCell* given = arg_cell(2);
            if (given == nullptr || given->status != kArgGiven) {
                // Asked for on the command line, the old text offered as the answer.
                set_setting_text(kSetOperandText, operand_to_text(number).c_str(), 0);
                ArgCell cell{};
                if (const int rc = prompt_param(kParamOperandText, &cell); rc != 0) return rc;
                changed =
                    cell.type == kArgChar && cell.value.text != nullptr ? cell.value.text : "";
            }
            OperandToken left;
            OperandToken right;
            const int rc = parse_operand(number, &left, &right, changed.c_str());
            if (rc != 0) return rc;
            t.tokens[2 * number] = left;
            t.tokens[2 * number + 1] = right;
            if (left.kind == kTokenGroupStart || left.kind == kTokenGroupEnd) {
                t.operands[number].weight = 0.0;
            }
            t.chain_compiled = false;
            print_msg(kMsgEntryChanged);
            text_newline();
            return 0;
        }
        default:
            return kMsgOperandSyntax;
    }
}

int cmd_operands() {
    if (current_command() == kCmdEndO) {
        leave_entry_mode(kCmdEndO, true);
        return 0;
    }
    const int rc = allocate_operand_table();
    if (rc != 0) return rc;
    OptimiseTables& t = optimise_tables();
    const int mode = arg_int(0);
    if (mode == 0 || mode == 1) {
        if (mode == 1) {
            for (int i = 0; i < t.operand_count; ++i) {
                t.operands[i] = Operand{};
                t.tokens[2 * i] = OperandToken{};
                t.tokens[2 * i + 1] = OperandToken{};
            }
            t.operand_count = 0;
            t.chain_compiled = false;
            heading(kMsgOperandsDeleted);
        } else {
            heading(kMsgOperandEntry);
        }
        set_state_flag(kFlagOperandsLevel);
        set_state_flag(kFlagLevelChanges);
        push_command_context('O');
        t.results_exist = false;
        status_msg(kMsgOperandEntryStatus);
        return 0;
    }
    list_operands(mode, arg_int(1), arg_int(2));
    return 0;
}

int cmd_define_variable() {
    const int rc_alloc = allocate_variable_table();
    if (rc_alloc != 0) return rc_alloc;
    const int number = arg_int(0) - 1;
    const int action = arg_int(1);
    switch (action) {
        case 0:
        case 3:
            return define_variable(action, number, arg_int(2), arg_int(3), arg_int(4),
                                   arg_double(5), arg_double(6), arg_double(7), arg_double(8),
                                   get_setting_flag(kSetOutputOn) != 0);
        case 1: {
            const int rc = delete_variable(number);
            if (rc != 0) return rc;
            text_printf("%c %-2d ", 'V', number + 1);
            heading(kMsgEntryDeleted);
            return 0;
        }
        case 2:
            if (number < 0 || number > optimise_tables().highest_variable) {
                return kMsgNoSuchVariable;
            }
            print_variable_line(number, -1);
            return 0;
        default: {
            // Each attribute takes the value typed in its own place.
            const int place[] = {9, 5, 6, 7, 8};
            if (action < 4 || action > 8) return kMsgNoSuchVariable;
            const int rc = set_variable_attribute(number, action, arg_double(place[action - 4]));
            if (rc != 0) return rc;
            print_msg(kMsgEntryChanged);
            text_newline();
            print_variable_line(number, -1);
            return 0;
        }
    }
}

int cmd_variables() {
    if (current_command() == kCmdEndV) {
        leave_entry_mode(kCmdEndV, true);
        return 0;
    }
    const int rc = allocate_variable_table();
    if (rc != 0) return rc;
    OptimiseTables& t = optimise_tables();
    const int mode = arg_int(0);
    if (mode == -1) {
        list_variables(-1, arg_int(1), arg_int(2));
        return 0;
    }
    if (mode == 2) {
        if (t.highest_variable < 0 || !t.results_exist) return kMsgNoOptimisationSteps;
        list_variables(2, arg_int(1), arg_int(2));
        return 0;
    }
    if (mode == 1) {
        for (Variable& v : t.variables) v = Variable{};
        t.highest_variable = -1;
        t.sorted_head = -1;
        heading(kMsgVariablesDeleted);
    } else {
        heading(kMsgVariableEntry);
    }
    set_state_flag(kFlagVariablesLevel);
    set_state_flag(kFlagLevelChanges);
    push_command_context('V');
    status_msg(kMsgVariableEntryStatus);
    return 0;
}

void install_optimise_handlers() {
    install_optimise_links();
    set_handler(kSlotDefineOperand, cmd_define_operand);
    set_handler(kSlotOperands, cmd_operands);
    set_handler(kSlotVariables, cmd_variables);
    set_handler(kSlotDefineVariable, cmd_define_variable);
    set_handler(kSlotIterate, cmd_iterate);
    set_handler(kSlotAutoFocus, cmd_auto_focus);
    install_variable_commands();
    kpl_bind_sysvar(kSysVarOperandResults, optimise_tables().results, 2, kOperandResultSlots, 0);
}
