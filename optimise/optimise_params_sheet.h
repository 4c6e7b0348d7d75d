// The optimisation-parameters sheet: the damping, small damping, damping reduction, derivative
// increment, bound weight and stop threshold of the lens's OptimiseParams, its operand command
// and the switches "OPVI", "OPVD" and "OPSS", one row each. Each cell carries the number of the
// lens-entry command that sets it, and an edit runs that command; the sheet holds a revert copy
// of the lens, so that Cancel and Escape give the parameters back as they were.
#pragma once

#include "runtime/command_levels.h"

inline constexpr int kOptimiseParamsRows = 10;

// The level procedure (the surface sheet's optimisation-parameters button pushes it).
int optimise_params_sheet_event(GridEvent& event);
// Writes the sheet into the level's output.
void print_optimise_params_sheet();
// Pushes the sheet's level: 0 or the failure.
int open_optimise_params_sheet();
// A fresh run: no copy held, nothing shown.
void reset_optimise_params_sheet();
