// Text files of the edit window: a file shown for reading or editing, the editor's text saved
// to a file (a command-language source is then compiled when KPL_auto_compile is on), the text
// dialogs, and deleting a file chosen in a dialog.
//
// A save goes through a temporary file that replaces the old one only when complete: a failed
// save reports why and keeps the old file and Edit_file. Without an edit window there is no
// text to save, and nothing is written (an empty text would wipe the file).
#pragma once

#include <string>

#include "tables/table_names.h"

// The edit window is made (and shown) by the user interface, which installs the maker here:
// 0, or non-zero when the window cannot be made.
using EditWindowMaker = int (*)();
void set_edit_window_maker(EditWindowMaker maker);

// The path of a text file of the type (2 source, 3 command file, 4 text, others from the
// file-type list) from a folder ("." or empty: the text folder Current_text_directory; a
// relative folder is taken inside it) and a name: a name beginning with '/' or '\' or holding a
// drive colon stands as it is; a name without an extension gets the type's.
std::string text_file_path(const std::string& folder, const std::string& name, int type);

// Shows the file in the edit window, replacing its text: 0, or -9998 after -1166 or -1165.
// With remember set the file becomes Edit_file and -1164 is shown. Changed text in the window
// is first offered for saving, as below; when it is kept the file is not shown.
int show_text_file(const std::string& path, bool remember);
// Changed text in the edit window is offered for saving (Yes saves it to the edit file, or
// through the Save dialog when it is not the edit file's): 0 when there is none, it was saved
// or No let it go; otherwise Cancel's or the failed save's result, and the text stays.
int save_edit_text_if_changed();
// The text file copied line by line into the text output, starting on a line of its own: 0;
// the unreadable-file message; -62 when reading fails on the way (the lines before stay).
int copy_text_file_to_output(const std::string& path);
// Writes the edit window's text to path: 0, or -9998 after -1157, or -1167 or -1168 (path and the
// system's reason; -1168 when there was no old file to keep). Success makes it Edit_file, shows
// -1155 and, with KPL_auto_compile on, requests the compile of a saved command-language source.
int save_edit_text(const std::string& path);

// Commands 213, 225, 227-231 and the text types of 211, 217 and 220 (type argument other than
// 0 and 1): true with the command's result; false for any other command or type, which the
// lens-file handler serves.
bool text_file_command(int command, int* result);

// Handler slots 75 and 78, which these commands share with the lens files: a command or type
// that is not a text file's goes on to the handler installed there before, so the lens-file
// commands are installed first.
int cmd_text_file_operations();
int cmd_text_edit_or_revert();
void install_text_file_commands();
