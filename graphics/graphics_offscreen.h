// The off-screen picture of a graphics window. While it exists the window's drawing goes into it
// instead of onto the screen, and the picture is copied to the window whole, so a picture that is
// redrawn again and again (an animation) never shows half drawn.
#pragma once

#include "platform/ui.h"

// mode > 0: makes the picture for the current window at the window's size and starts a new page
// without clearing the window; 0: clears the picture, replays the display list into it (into
// the window itself when there is no picture) and copies it to the window; < 0: releases it.
void graphwin_offscreen(int mode);
// The picture of graphics record n while it has one, else null.
platform::DeviceContext* graphics_offscreen_dc(int n);
// Drops the picture of record n (0: whichever record has it) without drawing anything.
void release_graphics_offscreen(int n);
