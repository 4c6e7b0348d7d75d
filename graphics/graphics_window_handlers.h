// The handlers the backends call for the frames of graphics windows 7..15 and the pane of
// window 16, made of the graphics hooks (graphics/graphics_hooks.h): what the window table
// needs to create those windows.
#pragma once

#include "platform/ui.h"

// The handler of every graphics window's frame, and that of window 16; both live as long as
// the program.
platform::WindowHandler* graphics_frame_handler();
platform::WindowHandler* graphics_pane_handler();
// Builds the tool strip of a newly made frame, when the program installed one.
void build_graphics_strip(int window);
