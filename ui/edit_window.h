// The edit window (window 5): an owned popup filled by a multi-line editor in the fixed font,
// with a tab stop every four characters and, when menus are shown, the second menu (the list
// named by message -170). Text the program types into it (a file shown for editing) arrives
// through the edit-window sink of the text output.
#pragma once

#include <string>
#include <vector>

#include "platform/ui.h"
#include "tables/table_names.h"

inline constexpr int kEditTabColumns = 4;
// Printed edit-window lines keep this many characters after their tabs are expanded.
inline constexpr int kEditPrintColumns = 252;

// 0, or -1 when the window cannot be made.
int create_edit_window();
platform::WindowHandler* edit_window_handler();
// The editor's text as lines, tabs expanded to the next multiple of four columns and each cut
// to 252 characters; a last line without a line feed counts, an empty text has none. With
// selection set only the selected text, taken as a text of its own (none when nothing is
// selected).
std::vector<std::string> edit_window_lines(bool selection = false);
// Installs the sink that appends the program's text to the editor.
void install_edit_window();
