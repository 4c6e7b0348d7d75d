// What joins the surface sheet to the rest of the program and to the user's own routines: the
// refresh after another command changed the lens behind the sheet, the row hook that draws the
// lens in graphics window 9 and calls the user's "Lse_callback", and the opener of the sheets
// beside it (entry/aux_sheets.h).
#pragma once

inline constexpr int kLensDrawingWindow = 9;

// The refresh installed as auto_redraw_after_edit (lens/auto_redraw.h): nothing while the sheet
// is not open; otherwise "autodraw(1, cbk, 3)" when the CBK word is not 0, the sheet written
// again, and with a non-zero flag the stock-lens catalogue's parts opened.
void refresh_sheet_after_edit(int flag);

// Handler kSlotSheetRowSelected: a, b, c (integers). With the CBK word odd the lens is drawn in
// window 9 ("draw_lens", then the field rays); a user routine "Lse_callback" is called with a,
// b, c. 0 or the result of what ran.
int cmd_sheet_row_selected();
// Handler kSlotOpenAuxSheet: button b; the opener's result, 0 for a button without a sheet.
int cmd_open_aux_sheet();

// Closes window 9 when the row hook opened it (a new lens, another lens read, the sheet left
// without keeping its copy, drawing switched off).
void close_lens_drawing_window();

// The element drawings of surfaces that no longer begin an element are dropped where the sheet
// gives its lens up for another (a lens read in its place, a new lens), never when it is only
// written again: a record stays with a surface that stops beginning an element for a while (a
// conic typed and taken back). The dropper comes from the drawing side, installed by app/.
void set_element_drawing_dropper(void (*dropper)(int all));
void drop_element_drawings_for_new_lens();
// Whether an element that can be drawn begins at surface n, by the drawing side's test (app/
// installs it); without one, the fallback the caller gives.
void set_element_start_test(bool (*test)(int n));
bool element_starts_at(int n, bool fallback);

// Forgets that window 9 was opened (a fresh run); the installed openers stay.
void reset_sheet_hooks();
void install_sheet_hooks();
