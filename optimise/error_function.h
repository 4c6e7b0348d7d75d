// The error function: the weighted mean squares of the minimisation operands and of the
// constraints, with the penalty of variables outside their bounds.
#pragma once

#include "optimise/optimise_data.h"

// The effective weight of operand i: a constraint 1, a minimisation operand its weight when
// positive, else 0; 0 for a failed operand with "OPZW" on.
double operand_weight(int i);
// Evaluates every operand and updates optimise_tables().error. The argument is not used.
void compute_error_function(int print_flag);
// The minimisation error as reports show it: its root unless "OPSS" is on.
double shown_error(double error);
