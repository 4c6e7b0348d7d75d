// The captions of the main window and the edit window, kept here for every part that changes
// them (the lens file's name, a new edit text); the windows show them through the applier that
// the program installs.
#pragma once

#include <string>

// Captions of the main window and the edit window; null leaves a caption unchanged. While the
// main loop runs, its next pass shows them; otherwise the applier shows them at once.
void set_window_titles(const char* main_caption, const char* edit_caption);
const std::string& main_window_caption();
const std::string& edit_window_caption();
void set_window_title_applier(void (*apply)());
// Forgets both captions (tests).
void reset_window_titles();
