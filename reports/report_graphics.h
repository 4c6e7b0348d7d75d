// Re-running the stored contents of the first six graphics windows, and a report-graphics
// procedure stored as the current graphics window's command text so that the window runs it
// again whenever it is redrawn.
#pragma once

// graphwin_update_all: "graphwin_update n" for n = 1 to 6; 0 or the first failure.
int cmd_update_graphics_windows();
// report_graphics name: composes "gwx 0 \"...\"" for the procedure (asking for the values its
// form needs) and runs it; 0 without running anything when a question is cancelled.
int cmd_report_graphics();
