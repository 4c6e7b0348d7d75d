// The world-to-device mapping of the current graphics window: its world frame onto the plotting
// surface, the surface onto the window's pixels or a plotter. The functions callers use are
// declared in graphics/graphics_window.h; this is what the window table needs of the mapping.
#pragma once

// The surface, mapping and plotter size as at program start.
void reset_graphics_mapping();
