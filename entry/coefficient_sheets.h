// The coefficient sheets of the current surface: the standard asphere's four polynomial terms.
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kFieldAsphereDelete = 919;

struct CoefficientSheetsState {
    SheetKit standard_asphere{kMsgStandardAsphereRevertCopy};
};
CoefficientSheetsState& coefficient_sheets_state();
void reset_coefficient_sheets();

int standard_asphere_sheet_event(GridEvent& event);
void print_standard_asphere_sheet();
