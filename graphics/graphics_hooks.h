// What the windows of graphics pass to the graphics code: the frames of graphics windows 1 to 9
// (window numbers 7 to 15) and the drawing pane of the graphics-with-text window (16), whose
// picture is graphics record 10 with a display list of 10000 words (20000 bytes). The window
// handlers the backends call are made of these; picks on window 16's pane reach the program as
// points of its drawing through set_pick_mapper (app/toolbar.h) and graphics_pane_to_world.
#pragma once

#include <cstdint>

#include "platform/ui.h"

// Activation of the frame of window 7..15: graphics windows 1 to 6 become the current (and last
// opened) graphics window; 7 to 9 stay as they are.
void graphics_frame_activated(int window, bool active);
// The user asks to close the frame: the graphics window is closed (the frame only hidden).
void graphics_frame_close_request(int window);
// The drawing area of window 7..15 (or the pane of 16) has a new size in pixels.
void graphics_frame_resized(int window, platform::Size size);
// Paints the drawing area of window 7..15 or the pane of 16 by replaying its list.
void graphics_frame_paint(int window, platform::DeviceContext& dc);
// A mouse button in the drawing area of window 7..15: only graphics windows 1 to 6 track it.
void graphics_drawing_mouse(int window, const platform::MouseEvent& event);
// A left press on window 16's pane: the pick routine gets the client point packed as low and
// high 16 bits.
void graphics_pane_mouse(const platform::MouseEvent& event);
void set_graphics_pane_pick(void (*pick)(std::uint32_t point));

// The tool strip of a graphics window's frame, built by the program's toolbar code: build when
// the frame is made, command when one of its buttons is pressed (false when the identifier is
// no button's). A press first makes graphics windows 1 to 6 current, so the button's command
// works on the window whose strip it is in.
struct GraphicsStripHooks {
    void (*build)(int window) = nullptr;
    bool (*command)(int window, int id) = nullptr;
};
void set_graphics_strip_hooks(const GraphicsStripHooks& hooks);
void graphics_frame_command(int window, int id);
