// Operand and variable lines typed outside their entry modes, the commands that make whole
// classes of variables, the steps of many variables at once, the variable the surface sheet
// adds, and the menu state of the optimisation records.
#pragma once

// Vary classes.
enum VaryClass : int {
    kVaryCurvatures = 32,
    kVaryThicknesses = 33,
    kVaryAirSpaces = 34,
};

// Makes the variables of a class at the end of the table (output off meanwhile): 0 or the
// first failure.
int vary_parameter_class(int vary_class);

// The surface sheet's variable (action 0 set, 1 delete): inside variable entry; the status.
int add_variable_in_spreadsheet(int number, int action, int surface, int configuration, int type,
                                double lower, double upper);

// State flags 47 (variables exist), 48 (operands exist), 49, 72 and 74 (always clear here).
void update_optimise_menu_state();

void install_variable_commands();
