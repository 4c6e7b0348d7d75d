// Captions and placement of the program's windows: the captions composed from the stored main
// and edit texts (applied at the top of a main-loop pass), and the windows placed from their
// stored geometry (setting 14, one row x, y, width, height per window) or by default.
#pragma once

#include "tables/table_names.h"

inline constexpr char kProgramCaption[] = "TAVO LT";

// Composes and sets the caption of window n (0, 3, 4, 5, 7..15); 0 or the backend's failure.
int update_window_title(int window, int flag);
// Applies the main and edit captions when their texts changed since they were last applied.
void apply_pending_captions();
// Marks the frame's caption with "*" while the lens has changes not saved.
void set_unsaved_mark(bool unsaved);
// The caption window n shows now (as composed; empty for a window without one).
const char* window_caption(int window);
// A graphics window's own title (7..15); an empty title takes the default caption.
void set_graphics_window_title(int window, const char* title);

void place_child_windows();
void move_window(int window, int x, int y);
// A window outside the MDI area whose top-left corner has left the screen goes back to 0, 0.
void keep_window_on_screen(int window, int showing);
void reset_window_captions();
