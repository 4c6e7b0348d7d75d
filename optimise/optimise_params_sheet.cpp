#include "optimise/optimise_params_sheet.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"
#include "ui/sheet_kit.h"

namespace {

constexpr int kItemBits = 0x0fff;
constexpr int kLabelWidth = 34;
constexpr int kTextCellWidth = kOptimiseTextLength;

void print_sheet() {
    print_optimise_params_sheet();
}

struct OptimiseParamsSheetState {
    SheetKit kit{kMsgOptimiseParamsRevertCopy, print_sheet};
};

OptimiseParamsSheetState& state() {
    static OptimiseParamsSheetState s;
    return s;
}

OptimiseParams* params() {
    return lens_data().optimise_params;
}

void label(int row) {
    const std::string t = sheet_message_line(kMsgOptimiseParamsLabels, row);
    sheet_text(t.c_str());
    text_spaces(kLabelWidth - static_cast<int>(t.size()));
}

// The numbers in the order of their rows, with the command that sets each.
struct NumberRow {
    int command;
    double OptimiseParams::*field;
};
constexpr NumberRow kNumberRows[] = {
    {kCmdOpdfL, &OptimiseParams::damping},
    {kCmdOpdsL, &OptimiseParams::small_damping},
    {kCmdOpdmL, &OptimiseParams::damping_reduction},
    {kCmdOpdiL, &OptimiseParams::derivative_increment},
    {kCmdOpbwL, &OptimiseParams::bound_weight},
    {kCmdOpstL, &OptimiseParams::stop_threshold},
};

struct SwitchRow {
    int command;
    std::uint8_t OptimiseParams::*field;
};
constexpr SwitchRow kSwitchRows[] = {
    {kCmdOpviL, &OptimiseParams::automatic_increments},
    {kCmdOpvdL, &OptimiseParams::variable_damping},
    {kCmdOpssL, &OptimiseParams::sum_of_squares},
};

const NumberRow* number_row(int item) {
    for (const NumberRow& r : kNumberRows) {
        if (r.command == item) return &r;
    }
    return nullptr;
}

const SwitchRow* switch_row(int item) {
    for (const SwitchRow& r : kSwitchRows) {
        if (r.command == item) return &r;
    }
    return nullptr;
}

// The command's name as the user types it ("OPDF").
std::string command_word(int command) {
    std::string word = symbol_name(command);
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

// Runs a parameter command line with the sheet's update mode (no echo), then shows the sheet
// again.
int run_line(const std::string& line) {
    if (const int rc = sheet_run_update(line.c_str()); rc != 0) return rc;
    return sheet_rewrite(state().kit);
}

int number_entered(const GridEvent& event, int item) {
    const NumberRow* row = number_row(item);
    const bool number = event.value_type == kGridValueInt || event.value_type == kGridValueDouble;
    if (row == nullptr || !number) return sheet_rewrite(state().kit);
    const double value = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    if (!std::isfinite(value)) return sheet_rewrite(state().kit);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s", command_word(row->command).c_str(),
                  shortest_number_text(value));
    return run_line(text);
}

// The operand command cell: the text as "OPOC" takes it (cut to the field's 23 characters).
int operand_command_entered(const GridEvent& event) {
    OptimiseParams* p = params();
    if (p == nullptr) return sheet_rewrite(state().kit);
    std::string text = sheet_event_text(event);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.size() > static_cast<std::size_t>(kOptimiseTextLength)) {
        text.resize(kOptimiseTextLength);
    }
    if (text.empty()) text = "*oprds";
    std::memset(p->operand_command, 0, sizeof p->operand_command);
    std::memcpy(p->operand_command, text.data(), text.size());
    return sheet_rewrite(state().kit);
}

int edited(const GridEvent& event) {
    const int item = event.field & kItemBits;
    if (item == kCmdOpoc) return operand_command_entered(event);
    return number_entered(event, item);
}

int picked(const GridEvent& event) {
    const SwitchRow* row = switch_row(event.field & kItemBits);
    if (row == nullptr || event.first_index < 0) return sheet_rewrite(state().kit);
    return run_line(command_word(row->command) + (event.first_index == 1 ? " On" : " Off"));
}

int cell_text(GridEvent& event) {
    const OptimiseParams* p = params();
    if (p == nullptr || event.text == nullptr) return 0;
    const int item = event.field & kItemBits;
    if (item == kCmdOpoc) {
        sheet_edit_text(event, p->operand_command);
        return 0;
    }
    if (const NumberRow* row = number_row(item); row != nullptr) {
        char text[40];
        std::snprintf(text, sizeof text, "%.10g", p->*row->field);
        sheet_edit_text(event, text);
    }
    return 0;
}

int typed(const char* line, const GridEvent&) {
    return run_line(line);
}

const SheetEvents kEvents{
    .cell_text = cell_text,
    .edited = edited,
    .activated = picked,
    .typed = typed,
};

const platform::StateReset optimise_params_sheet_state_reset{
    "optimise/optimise_params_sheet", reset_optimise_params_sheet, platform::ResetLayer::feature};

}  // namespace

int optimise_params_sheet_event(GridEvent& event) {
    return sheet_dispatch(state().kit, kEvents, event);
}

void print_optimise_params_sheet() {
    sheet_set_title(-kHelpTopicOptimiseParamsSheet, kMsgOptimiseParamsTitle);
    const OptimiseParams* p = params();
    if (p == nullptr) return;
    int row = 0;
    for (const NumberRow& r : kNumberRows) {
        label(row++);
        sheet_number_cell(r.command, 0, p->*r.field);
        text_newline();
    }
    label(row++);
    char text[kTextCellWidth + 1];
    std::snprintf(text, sizeof text, "%-*.*s", kTextCellWidth, kOptimiseTextLength,
                  p->operand_command);
    text_hotspot(kGridKindTextNoCommand | kCmdOpoc, 0);
    sheet_text(text);
    text_newline();
    for (const SwitchRow& r : kSwitchRows) {
        label(row++);
        const std::uint8_t on = p->*r.field;
        text_hotspot_msg(r.command, 0, on == 0 ? 1 : 0, kMsgOff);
        sheet_text("  ");
        text_hotspot_msg(r.command, 1, on != 0 ? 1 : 0, kMsgOn);
        text_newline();
    }
}

int open_optimise_params_sheet() {
    if (params() == nullptr) return set_error_msg(kMsgOutOfMemory);
    return sheet_push(optimise_params_sheet_event, kOptimiseParamsRows, kMsgChooseSetting);
}

void reset_optimise_params_sheet() {
    OptimiseParamsSheetState& s = state();
    // A fresh run holds no copy: the one this sheet counted goes.
    sheet_release_copy(s.kit, 0);
    s = OptimiseParamsSheetState{};
}
