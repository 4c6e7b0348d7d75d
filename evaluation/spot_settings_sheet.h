// The spot-diagram and diffraction settings sheet: an eight-row command level in which the user
// edits the lens's SpotSettings record. While it is open a temporary copy of the lens exists, so
// that cancelling puts the whole lens (the record included) back as it was; accepting a sheet
// that the command opened traces the spot diagram again with the new settings.
#pragma once

#include "tables/table_names.h"

struct GridEvent;

// Hot-spot items of the sheet: the spot-settings command numbers of the fields they edit.
inline constexpr int kSpotItemDivisions = 502;
inline constexpr int kSpotItemWidthX = 503;
inline constexpr int kSpotItemWidthY = 504;
inline constexpr int kSpotItemPolychromatic = 505;
inline constexpr int kSpotItemApodisation = 506;
inline constexpr int kSpotItemMtfPathLimit = 507;
inline constexpr int kSpotItemThroughFocus = 508;
inline constexpr int kSpotItemDiffractionLimit = 509;

inline constexpr int kSpotSheetRows = 8;

// Handler kSlotOpenSpotSettings (command 749): makes the reference ray current when it is not (its
// failure is returned), then opens the sheet on a new level. 0 or set_object_point's failure.
int cmd_open_spot_settings();
// The same sheet without the reference ray and without the re-run on leaving: the opener of the
// lens-entry subsystem's auxiliary sheets calls it for its spot-settings button.
int open_spot_settings_sheet_aux();
// The level's handler. The hot spot picked or edited is event.field (kind bits ignored); an
// option cell's value (0 or 1) is event.first_index. 0, a message number or -9999.
int spot_settings_callback(GridEvent& event);
// The eight rows into the level's output.
void print_spot_settings_sheet();

// The sheet's marks, for tests: opened by the command, last left with exit code 1, closing
// confirmed.
bool spot_sheet_opened_by_command();
bool spot_sheet_left_for_a_moment();
bool spot_sheet_close_confirmed();
// Forgets the marks (a new program run, a test).
void reset_spot_settings_sheet();
