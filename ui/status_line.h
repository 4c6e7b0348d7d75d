// The status line: messages shown in the status field of the window that takes them (the frame's
// command bar for windows 0, 1, 2, 3 and 5), with the information or exclamation sound, or in a
// modal box; the Yes/No/Cancel question.
#pragma once

#include "tables/table_names.h"

inline constexpr char kDefaultStatusText[] = " ";

// The window whose status field takes the next message (0 normally); reset after each message.
void set_status_target(int window);
int status_target();

// Kind 1 beeps and shows the text in the status field; kind 2 beeps and shows a box (the status
// field with No_error_boxes on); others only the status field. 0, or -9999 for a cancelled box.
int show_status_message(int kind, const char* text);
// Window n's status field back to " " when a message was shown there.
void clear_status_text(int window);
// Yes 0, No 1, anything else -9999.
int ask_yes_no_cancel(int message);

void install_status_line();
void reset_status_line();
