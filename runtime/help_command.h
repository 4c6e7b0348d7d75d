// The help command: the program's help file in the help viewer of the platform.
#pragma once

#include "tables/table_names.h"

// Mode 0 the contents of ROOT/hlp/<program base name>.hlp, mode 1 the topic with the context
// number in that file, mode 2 the file on using help, ROOT/hlp/winhelp.hlp. 0, or -100 when the
// viewer refuses (no such file, no viewer) or the mode is none of these.
int show_help(int mode, int context);
// Handler kSlotHelp: show_help with the mode of cell 0 (0 without one) and context 0.
int cmd_help();
void install_help_command();
