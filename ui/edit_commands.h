// The edit window's commands: showing and hiding it, and its editor's undo, clipboard, find,
// replace, go-to-line, select-all and run-the-selection, with the find and replacement texts
// kept from one command to the next.
#pragma once

#include <string>

#include "tables/table_names.h"

// The kept find and replacement texts hold at most this many characters.
inline constexpr int kEditKeptTextSize = 80;

inline constexpr int kDialogEditFind = 500;
inline constexpr int kDialogEditReplace = 600;
inline constexpr int kDialogEditGoto = 700;

// The handler of kSlotEditWindow.
int cmd_edit_window();
// Hides the edit window (0).
int editwin_close();
// Shows the edit window with a snapshot of its text taken and its modified mark cleared, or
// brings it to the front when it shows already (0).
int editwin_show();
// Copies the editor's whole text as the snapshot (the previous one is dropped) and returns it.
const std::string& take_edit_snapshot();
const std::string& edit_snapshot();
const std::string& edit_find_text();
const std::string& edit_replacement_text();

// Running the selection is the main loop's: the command asks for it, the loop takes the
// request once per pass and runs the selected text as its pending line, collapsing the
// selection to its start. false, with nothing run, when nothing is selected (the loop shows
// its message then).
bool edit_run_requested();
bool take_edit_run_request();
bool run_edit_selection();

void install_edit_commands();
// Forgets the kept texts, the snapshot and a pending run request (tests).
void reset_edit_commands();
