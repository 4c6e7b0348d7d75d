// The wavelength sheet: the lens's wavelengths in micrometres with their weights, one row each,
// and the reference wavelength as a radio. Rows are inserted, deleted, cut, copied, pasted and
// reversed with the grid's row actions. While a model glass holds indices of its own at the
// present wavelengths, the wavelengths cannot be typed, inserted, deleted or reversed.
#pragma once

#include <vector>

#include "lens/lens_data.h"
#include "runtime/command_levels.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "ui/sheet_kit.h"

inline constexpr int kFieldWavelengthCell = kCmdWv;
inline constexpr int kFieldWeightCell = kCmdWw;
inline constexpr int kFieldReferenceWavelength = 935;
inline constexpr double kInsertedWavelength = 0.58756;

void print_wavelength_sheet();

struct WavelengthSheetState {
    SheetKit kit{.revert_message = kMsgWavelengthSheetRevertCopy,
                 .print = print_wavelength_sheet,
                 .state_flag = kFlagSheetOpen};
    // The rows cut or copied last; emptied whenever the sheet ends.
    std::vector<WavelengthEntry> clipboard;
    // A model glass holds indices of its own (computed when the sheet opens).
    bool model_glass = false;
};
WavelengthSheetState& wavelength_sheet_state();
void reset_wavelength_sheet();

// Handler kSlotOpenWavelengthSheet: the level (one row per wavelength and the two header rows),
// then the status line. 0 or the push's failure.
int cmd_open_wavelength_sheet();
int wavelength_sheet_event(GridEvent& event);

void install_wavelength_sheet();
