// Two sheets of lens-wide data that the surface sheet's header buttons open through handler
// slot 115: the lens notes (the first five notes, 80 characters each) and the system data
// (units, designer, temperature and pressure, afocal mode, wavefront reference, aiming and the
// switches beside them, the global-coordinate surface).
#pragma once

#include "runtime/command_levels.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kLensNotesRows = 6;
inline constexpr int kLensNotesShown = 5;
inline constexpr int kSystemDataRows = 8;
inline constexpr int kParamLensUnits = 628;
inline constexpr int kParamAfocalMode = 167;
inline constexpr int kParamWavefrontReference = 1289;
inline constexpr int kParamAimingMode = 758;
inline constexpr int kParamApertureCheck = 190;

void print_lens_notes_sheet();
void print_system_data_sheet();

struct LensSheetsState {
    SheetKit notes{.revert_message = kMsgLensNotesRevertCopy, .print = print_lens_notes_sheet};
    SheetKit system{.revert_message = kMsgSystemDataRevertCopy, .print = print_system_data_sheet};
};
LensSheetsState& lens_sheets_state();
void reset_lens_sheets();

// The openers of slot 115's buttons 7 and 6: the level, then the status line. 0 or the push's
// failure.
int open_lens_notes_sheet();
int open_system_data_sheet();

int lens_notes_sheet_event(GridEvent& event);
int system_data_sheet_event(GridEvent& event);

// Installs the two openers into slot 115's table.
void install_lens_sheets();
