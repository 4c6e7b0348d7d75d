// The command language's elementary functions of a double (kSlotMathElementary) and the further
// one- and two-argument functions and roundings (kSlotMathMisc). Each hands back a double result; a
// domain error returns its message number.
#pragma once

#include "tables/table_names.h"

int cmd_math_elementary();
int cmd_math_misc();
// The power of the command language's operator (base to exponent in place, 0 or a message
// number); it lives above this layer, so app installs it.
using PowerFunction = int (*)(double& base, double exponent);
void install_math_commands(PowerFunction power);
