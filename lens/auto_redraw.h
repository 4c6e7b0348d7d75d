// The refresh that commands changing the lens behind an open surface sheet call afterwards (the
// new-lens command, optimisation, auto focus, the slider redraw): the sheet shows the lens
// again and the user's drawing routine runs. The lens-entry code installs it; until then it
// does nothing.
#pragma once

// flag non-zero also opens the stock-lens catalogue's parts.
void auto_redraw_after_edit(int flag);
// Installs the refresh (null: nothing again).
void set_auto_redraw_after_edit(void (*refresh)(int flag));
