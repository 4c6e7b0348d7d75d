// The display lists' storage: the words of the current window's list, their growth within the
// word budget, and the mark a drawing rewinds to. The functions callers use are declared in
// graphics/graphics_window.h; this is what the window table needs of the storage.
#pragma once

// A list that could not grow asks again (and reports a failure again) only after this: a new
// page or another window.
void clear_display_list_full_latch();
// The word budget and the latch as at program start.
void reset_display_list_storage();
