// Mouse buttons in the drawing areas of graphics windows 1 to 6: a right click centres the view,
// a right double click zooms in (out with Shift or Ctrl), a left double click re-runs the
// window's stored text (or shows the whole picture), a left click goes to the window's click
// routine; and a command that waits for a click.
#pragma once

#include "platform/ui.h"

inline constexpr int kClickTimer = 1008;

// A press, release or double click in the drawing area of graphics window g (1..9).
void mouse_button_event(int g, const platform::MouseEvent& event);
// The click timer of graphics window g fired: the pending click completes.
void mouse_click_timer(int g);
// Handler kSlotGraphicsWaitClick: waits until the user clicks in the last opened graphics window.
int cmd_graphics_wait_click();

// Whether a prompt waits for a typed answer on the command line (a left click is ignored then,
// unless a command waits for the click). The command line installs it; none: never.
void set_prompt_waiting_query(bool (*query)());

void reset_mouse_tracking();
