// The operands sheet: one row per operand with its definition, minimise-or-constraint switch,
// weight, target and label, and one empty row below the last for a new operand. Rows are
// inserted, copied, cut, pasted and reversed with the grid's row actions; a row emptied (its
// definition cleared, cut or deleted) stays until the sheet closes, when it goes together with
// every operand that refers to it. The sheet works in operand entry and holds a revert copy of
// the lens, so that Cancel and Escape give the operands back as they were.
#pragma once

#include <vector>

#include "optimise/optimise_data.h"
#include "runtime/command_levels.h"

// Hot-spot items: the definition, weight, label and target cells, and the switch between
// minimise and constraint.
inline constexpr int kOperandCellWeight = 7;
inline constexpr int kOperandCellDefinition = 9;
inline constexpr int kOperandCellLabel = 10;
inline constexpr int kOperandCellMode = 11;
inline constexpr int kOperandCellTarget = 31;

struct OperandSheetRow {
    Operand record;
    OperandToken tokens[2];
};

struct OperandSheetState {
    std::vector<OperandSheetRow> clipboard;  // the rows cut or copied last
    bool open = false;                       // opened and not yet closed for good
    bool context_pushed = false;             // the sheet pushed the context letter O
};
OperandSheetState& operand_sheet_state();

// Handler kSlotOpenOperandsSheet (command "ose"): argument 1 = 1 first deletes every operand.
// 0 or the failure.
int cmd_open_operands_sheet();
int operands_sheet_event(GridEvent& event);
void print_operands_sheet();
void reset_operand_sheet();
