// The surface spreadsheet: the lens as a sheet in window 3, a few header rows with the lens-wide
// data and one row per surface, every value that can change written as a cell (a hot spot with
// a field code and an index). Its command level receives the grid's events in
// surface_sheet_event, which changes the lens, brings it up to date and writes the sheet again.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kSheetHeaderRows = 4;

// The field codes of the sheet's own cells and buttons. A cell of lens-wide data takes the
// number of the command that sets it instead (kCmdObh, kCmdWv, ...).
inline constexpr int kFieldRadius = 1;
inline constexpr int kFieldCurvatureOption = 2;  // the curvature's solve or pickup button
inline constexpr int kFieldThickness = 3;
inline constexpr int kFieldThicknessOption = 4;
inline constexpr int kFieldAperture = 5;
inline constexpr int kFieldApertureOption = 6;
inline constexpr int kFieldMedium = 7;
inline constexpr int kFieldMediumOption = 8;
inline constexpr int kFieldSpecialData = 9;
inline constexpr int kFieldCurvature = 10;
inline constexpr int kFieldRefresh = 12;  // set-up and rewrite
inline constexpr int kFieldGroup = 14;    // the first surface of a collapsed group: ungroup
inline constexpr int kFieldImageThicknessOption = 15;
inline constexpr int kFieldObjectMediumOption = 16;
inline constexpr int kFieldObjectCurvatureOption = 17;
inline constexpr int kFieldObjectThicknessOption = 18;
inline constexpr int kFieldImageCurvatureOption = 19;
inline constexpr int kFieldConfiguration = 20;
inline constexpr int kFieldGroupsShown = 51;  // the "Groups: show / collapse" radios
inline constexpr int kFieldGroupsCollapsed = 52;
inline constexpr int kFieldAutoDrawOn = 61;  // the "Draw: On / Off" radios
inline constexpr int kFieldAutoDrawOff = 62;
inline constexpr int kFieldNotes = 585;
inline constexpr int kFieldParaxialWindow = 930;
inline constexpr int kFieldWavelengths = 931;

inline constexpr int kParamScaleFactor = 1045;
inline constexpr int kParamStandardWavelengths = 1295;

// The sheet's own state beside the lens.
struct SurfaceSheetState {
    int open = 0;  // from the create event to the close event
    int kept = 0;  // the last close suspended the level: the next create takes no copy
    std::uint8_t built = 0;
    int first = 0;  // the selected rows, as last reported
    int last = 0;
    int kept_configurations = 0;
    int kept_configuration = 0;
    SheetKit kit{kMsgSheetRevertCopy};  // counts the sheet's revert copy while it holds one
};
SurfaceSheetState& surface_sheet_state();

// Pushes the sheet's level on the current lens (radius mode from the settings, surface 0
// current); the cursor goes to surface 1's row selector when a stock-lens catalogue is loaded.
int open_surface_sheet();
// Handler kSlotSurfaceSheet: mode (1 a new lens), radius-mode switch, surface count, title.
int cmd_surface_sheet();
// Writes the whole sheet into the current output; its last row is left pending for the end of
// the output to flush.
void write_surface_sheet();
// "Surface n" or "Surface n (group kind)" for the special-data sheets' heading.
void print_sheet_surface_heading();
// "(mm)", "(cm)", "(in)", "(mu)", "(m) " or four blanks by the lens units.
void print_units_label();

int surface_sheet_event(GridEvent& event);
void sheet_selected_range(const GridEvent& event, int* first, int* last);
// Steps a value through the test-glass radii (events 9 down, 10 up, 11 nearest).
void snap_to_test_plate(GridEvent& event);

// The surface data on the clipboard (what cut or copy put there, in this or another run of the
// program), as paste reads it; empty when the clipboard holds none.
std::string sheet_clipboard_text();

// Puts the handlers into slots 114 and 58 and installs the new-lens hooks.
void install_surface_sheet();
