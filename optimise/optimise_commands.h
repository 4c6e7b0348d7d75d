// The operand and variable entry modes and their listings, and the one installer of the
// optimisation commands, links and the operand result array.
#pragma once

// Leaves operand entry (the chain is compiled) or variable entry (values stored, variables
// sorted, the lens set up): command kCmdEndO or kCmdEndV.
void leave_entry_mode(int command, bool show);

int cmd_define_operand();
int cmd_operands();
int cmd_define_variable();
int cmd_variables();

void install_optimise_handlers();
