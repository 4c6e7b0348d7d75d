// The state flags: one bitset of numbered flags recording what is current or open, and the one
// registry of every flag number with its meaning. Code names flags through StateFlag; the
// condition expressions of the definitions sources name them by the registry's names, which
// the table builder turns into flag bytes.
//
// Each number has one meaning:
// - 16 means "lens lines are being entered by the program itself under context L" (lens entry
//   in progress), and nothing else.
// - 17 is single-command update mode: spreadsheets set it while the command text of a cell edit
//   runs, and the entry printers keep quiet under it. Lens-entry mode is 18, never 17.
// A flag is added here, with its meaning, before any code uses it; a number is never given a
// second meaning.
#pragma once

#include <cstddef>
#include <cstdint>

enum StateFlag : int {
    kFlagGraphicsDeviceReady = 0,   // a graphics device context has been prepared
    kFlagEditWindowShown = 1,       // edit window shown
    kFlagSpreadsheetShown = 2,      // the spreadsheet window shows a level's sheet
    kFlagRangeSelected = 3,         // the grid has a range of rows selected
    kFlagTextWindowHasText = 4,     // the current text output window holds text
    kFlagDisplayListNotEmpty = 5,   // the current graphics window's display list is not empty
    kFlagControlWindowShown = 6,    // the control window (sliders) is shown
    kFlagOutputHeldBack = 7,        // text output held back: lines neither shown nor logged
    kFlagAnimationRecording = 8,    // an animation file is being recorded
    kFlagWin32sPlatform = 9,        // the platform is Win32s or Windows 95/98 (never on Linux)
    kFlagEditCanUndo = 11,          // the edit control can undo
    kFlagLensExists = 12,           // a lens exists
    kFlagLevelOpen = 13,            // a command level is open
    kFlagLensFileNamed = 14,        // a lens file is named
    kFlagLensEntryInProgress = 16,  // lens lines entered by the program itself under context L
    kFlagSingleCommandUpdate = 17,  // single-command update: entry output suppressed
    kFlagLensEntryMode = 18,        // lens-entry mode (moved here from 17)
    kFlagLevelChanges = 25,         // a variables or operands level has pending changes
    kFlagVariablesLevel = 27,       // the variables level is open
    kFlagOperandsLevel = 28,        // the operands level is open
    kFlagReferenceRayCurrent = 31,  // reference ray current
    kFlagSpotDiagramCurrent = 32,   // spot diagram current
    kFlagSpotDerivedA = 33,         // first result derived from the spot diagram is current
    kFlagSpotDerivedB = 34,         // second result derived from the spot diagram is current
    kFlagLensDrawingShown = 35,     // a lens drawing is in the current graphics window
    kFlagGroupStarted = 38,         // a group of surfaces is being built
    kFlagGroupInner = 39,           // the group being built has inner surfaces
    kFlagToleranceLevel = 41,       // a tolerancing level changes the lens itself
    kFlagToleranceSheet = 42,       // a tolerance spreadsheet is open
    kFlagTemporaryLensCopy = 43,    // a sheet with a temporary lens copy is open
    kFlagLensReadInBulk = 45,       // lens lines read in bulk: lens_setup returns at once
    kFlagLevelRevertCopy = 46,      // a command level holds a revert copy of the lens
    kFlagSheetOpen = 51,            // the wavelength sheet is open
    kFlagElementSheet = 53,         // the element sheet is open
    kFlagSagDifference = 54,        // the lens has a sag difference above 1e-40
    kFlagBeamSheetOpen = 55,        // the Gaussian-beam sheet is open
    kFlagEntryAtSurface = 58,       // an entry command runs at a named surface
    kFlagSpecialDataChosen = 60,    // a special-data choice was made in the surface sheet
    kFlagAimingExtended = 61,       // extended aiming is on
    kFlagSpreadsheetOpen = 62,      // a lens spreadsheet is open
    kFlagCatalogueLoaded = 63,      // a stock-lens catalogue is loaded
    kFlagDerivativeStep = 65,       // the lens is set up for a derivative step
    kFlagRevertRestored = 69,       // the lens was restored from its revert copy
    kFlagSheetKeepsRows = 70,       // a closing grid keeps its row texts
    kFlagLensSetupRunning = 71,     // a lens set-up is running; a nested one only does special data
    kFlagRaySourceLoaded = 75,      // a ray source is loaded
};

struct StateFlagInfo {
    int number;
    const char* name;  // the name used in condition expressions of the table sources
};

// Every registered flag with its expression name; the builder resolves names through it.
inline constexpr StateFlagInfo kStateFlagRegistry[] = {
    {kFlagGraphicsDeviceReady, "graphics_device_ready"},
    {kFlagEditWindowShown, "edit_window_shown"},
    {kFlagSpreadsheetShown, "spreadsheet_shown"},
    {kFlagRangeSelected, "range_selected"},
    {kFlagTextWindowHasText, "text_window_has_text"},
    {kFlagDisplayListNotEmpty, "display_list_not_empty"},
    {kFlagControlWindowShown, "control_window_shown"},
    {kFlagOutputHeldBack, "output_held_back"},
    {kFlagAnimationRecording, "animation_recording"},
    {kFlagWin32sPlatform, "win32s_platform"},
    {kFlagEditCanUndo, "edit_can_undo"},
    {kFlagLensExists, "lens_exists"},
    {kFlagLevelOpen, "level_open"},
    {kFlagLensFileNamed, "lens_file_named"},
    {kFlagLensEntryInProgress, "lens_entry_in_progress"},
    {kFlagSingleCommandUpdate, "single_command_update"},
    {kFlagLensEntryMode, "lens_entry_mode"},
    {kFlagLevelChanges, "level_changes"},
    {kFlagVariablesLevel, "variables_level"},
    {kFlagOperandsLevel, "operands_level"},
    {kFlagReferenceRayCurrent, "reference_ray_current"},
    {kFlagSpotDiagramCurrent, "spot_diagram_current"},
    {kFlagSpotDerivedA, "spot_derived_a"},
    {kFlagSpotDerivedB, "spot_derived_b"},
    {kFlagLensDrawingShown, "lens_drawing_shown"},
    {kFlagGroupStarted, "group_started"},
    {kFlagGroupInner, "group_inner"},
    {kFlagToleranceLevel, "tolerance_level"},
    {kFlagToleranceSheet, "tolerance_sheet"},
    {kFlagTemporaryLensCopy, "temporary_lens_copy"},
    {kFlagLensReadInBulk, "lens_read_in_bulk"},
    {kFlagLevelRevertCopy, "level_revert_copy"},
    {kFlagSheetOpen, "sheet_open"},
    {kFlagElementSheet, "element_sheet"},
    {kFlagSagDifference, "sag_difference"},
    {kFlagBeamSheetOpen, "beam_sheet_open"},
    {kFlagEntryAtSurface, "entry_at_surface"},
    {kFlagSpecialDataChosen, "special_data_chosen"},
    {kFlagAimingExtended, "aiming_extended"},
    {kFlagSpreadsheetOpen, "spreadsheet_open"},
    {kFlagCatalogueLoaded, "catalogue_loaded"},
    {kFlagDerivativeStep, "derivative_step"},
    {kFlagRevertRestored, "revert_restored"},
    {kFlagSheetKeepsRows, "sheet_keeps_rows"},
    {kFlagLensSetupRunning, "lens_setup_running"},
    {kFlagRaySourceLoaded, "ray_source_loaded"},
};

inline constexpr int kStateFlagLimit = 76;  // flags 0..75; a condition byte b tests flag b - 1

// Flag number of a registry name, or -1.
int state_flag_by_name(const char* name);
// Registry name of a flag number, or null.
const char* state_flag_name(int number);

int test_state_flag(int n);
// Sets flag n; when it was already set, returns non-zero and does nothing else. Otherwise sets
// it, re-evaluates every condition and returns 0.
int set_state_flag(int n);
// Clears flag n; when it was clear, nothing happens.
void clear_state_flag(int n);
// Clears every flag (start of the program; tests).
void reset_state_flags();

// Enable conditions (the condition block of the definitions table).
void update_flag_expressions();
int eval_flag_expression(int precedence);
// 0 when condition n holds or n >= 255, -1 when it does not (or is not in the table).
int check_enable_condition(int n);
// The menus-need-update byte: set by every re-evaluation, cleared by the menu refresher.
extern std::uint8_t menus_need_update;
// Installs the condition block (count and block as loaded and checked; the block stays owned by
// the caller). A null block with count 0 removes it.
void set_condition_block(std::uint8_t* block, std::size_t size, int count);
