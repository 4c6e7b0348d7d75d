// Help in the Qt dialogs: a Help button in a dialog's button row and the context help of a
// control, both asking for a help topic through platform::request_help.
#pragma once

class QDialog;
class QWidget;

namespace platform::qt {

// Adds a Help button (object name "tavo_help_button") to the dialog's button row; nothing for
// topic 0 or a dialog without a button row.
void add_dialog_help_button(QDialog& dialog, int topic);
// What's This on the control, or F1 while it has the focus, asks for the topic; nothing for
// topic 0.
void set_control_help(QWidget* control, int topic);

}  // namespace platform::qt
