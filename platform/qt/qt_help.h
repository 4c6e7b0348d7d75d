// Help in the Qt dialogs: a Help button in a dialog's button row and the context help of a
// control, both asking for a help topic through platform::request_help; and the help viewer of
// the program, for a desktop that has no opener for the help file.
#pragma once

#include <string>

class QDialog;
class QWidget;

namespace platform::qt {

// Adds a Help button (object name "tavo_help_button") to the dialog's button row; nothing for
// topic 0 or a dialog without a button row.
void add_dialog_help_button(QDialog& dialog, int topic);
// What's This on the control, or F1 while it has the focus, asks for the topic; nothing for
// topic 0.
void set_control_help(QWidget* control, int topic);
// The help page at path in the program's own help window (object name "tavo_help_window", its
// browser "tavo_help_browser"), a window of owner's, opened at the anchor (from the start
// without one) and brought forward; its links are followed inside it. False without an owner or
// when the page cannot be read.
bool show_help_browser(QWidget* owner, const std::string& path, const std::string& anchor);

}  // namespace platform::qt
