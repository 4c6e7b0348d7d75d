// The help command: the program's help file, shown by the desktop's opener in the graphical
// program and as text in the text output of the console.
#pragma once

#include "tables/table_names.h"

// Mode 0 the contents of ROOT/hlp/<program base name>.html, mode 1 the topic with the context
// number in that file, mode 2 help on using help (a topic of the same file). 0, or -100 when
// the viewer refuses (no such file or topic, no viewer) or the mode is none of these. Without
// a desktop (the console) the topic's text, or for mode 0 the contents list, is written to the
// text output.
int show_help(int mode, int context);
// Handler kSlotHelp: show_help with the mode of cell 0 (0 without one) and the topic of cell 1
// (0 without one).
int cmd_help();
// The handler and the dialogs' help requests (a failure reported as a message).
void install_help_command();
