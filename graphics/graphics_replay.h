// Replay of a graphics window's display list onto any device context: the window itself when it
// is painted, refreshed or zoomed, an off-screen image, a printer page or a metafile recorder.
#pragma once

#include "platform/ui.h"

// Modes: 0 the whole list with the default frames and pens; 1 from the mark in colour 0 (erases
// what followed the mark); 2 the whole list without its texts (restores what an erase overdrew).
void display_list_replay(platform::DeviceContext& dc, int mode);
// full != 0 replays the whole list (clearing first when a clear is pending); 0 only flushes.
void graphwin_refresh(int full);
void graphwin_repaint(platform::DeviceContext& dc);
// The paint handler of a graphics window's drawing area.
void graphwin_paint(int window, platform::DeviceContext& dc);

// While a replay runs: its device context, and whether it erases (mode 1).
platform::DeviceContext* graphics_replay_dc();
bool graphics_erasing();
