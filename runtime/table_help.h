// The command help table ("amct_01"): one help block per symbol number, one block kept loaded.
#pragma once

// Loads the help block of a symbol (reusing the loaded one); flags & 127 (the help topic),
// or -1 when the symbol has no help or the table cannot be read.
int load_command_help(int symbol);
// The text under the two key bytes in the loaded block, or null.
const char* ctable_find_text(int key1, int key2);
// The flags byte of the loaded block (bit 7 asks for printing), or -1 when none is loaded.
int command_help_flags();
void forget_command_help();
// Prints the text under the two key bytes line by line; a run of '@' that ends a line is
// written after the line's text as markup. With mode non-zero only when the loaded block asks
// for printing (flag 0x80). The 0x80 flag of the loaded block (0 when none is loaded).
int print_help_text(int key1, int key2, int mode);
