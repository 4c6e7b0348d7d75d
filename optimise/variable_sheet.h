// The variables sheet: the bounds that new thickness variables take ("OMNA", "OMXA", "OMNG",
// "OMXG"), the derivative increment "OPDI" and the switches "OPVD" and "OPVI", buttons that make
// whole classes of variables, a command cell, then one row per variable (surface,
// configuration, type, bounds, damping weight, increment and value) and an empty row below the
// last, whose type cell makes a new variable. The sheet works in variable entry and holds a
// revert copy of the lens, so that Cancel and Escape give the variables back as they were.
#pragma once

#include "runtime/command_levels.h"

// Hot-spot items of a variable's row: the action numbers of the variable command for the value,
// bounds, damping weight and increment, then the type, surface and configuration.
inline constexpr int kVariableCellValue = 4;
inline constexpr int kVariableCellLower = 5;
inline constexpr int kVariableCellUpper = 6;
inline constexpr int kVariableCellDamping = 7;
inline constexpr int kVariableCellIncrement = 8;
inline constexpr int kVariableCellType = 10;
inline constexpr int kVariableCellSurface = 12;
inline constexpr int kVariableCellConfiguration = 13;
// The header's command cell and the buttons of the vary classes (their class numbers).
inline constexpr int kVariableCellCommand = 1;
inline constexpr int kVariableCellVaryCurvatures = 32;
inline constexpr int kVariableCellVaryThicknesses = 33;
inline constexpr int kVariableCellVaryAirSpaces = 34;
// The header rows above the variables.
inline constexpr int kVariableSheetHeaderRows = 5;

// Handler kSlotOpenVariablesSheet (command "vse"): argument 1 = 1 first deletes every variable.
// 0 or the failure.
int cmd_open_variables_sheet();
int variables_sheet_event(GridEvent& event);
void print_variables_sheet();
void reset_variable_sheet();
