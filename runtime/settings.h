// The settings store: every user preference and a few run-time values, in one zero-filled
// record laid out once from a fixed schema and addressed only by a setting id (0 to 73).
// Everything in the program reads and writes settings through the typed accessors below; the
// settings file fills the store at start-up and is written from it at exit.
//
// Some writes have side effects: a flag switches its output option at once, the spot-ray count
// resizes the spot-diagram store, a few texts change the caption, the current folder or the
// compiler options. The three capacity ids (8, 9, 10) size big arrays at start-up; once start-up
// is done a change to them only becomes pending and is written to the settings file at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/table_format.h"  // kProgramVersion, written into setting 66 at every start

// Element types of the schema.
enum SettingType : std::uint8_t {
    kSettingInt = 1,
    kSettingDouble = 2,
    kSettingChar = 3,
};

// One entry of the schema. A char setting without dimensions is a flag byte; with a first
// dimension n a text of n bytes (NUL included); with both n texts of m bytes. Numbers without
// dimensions are scalars; with one an array; with two an n x m array stored row by row.
struct SettingDef {
    std::uint8_t type = 0;
    std::int16_t dim1 = 0;
    std::int16_t dim2 = 0;
    std::int16_t offset = 0;  // byte offset in the record, filled in by settings_layout
};

inline constexpr int kSettingCount = 74;
inline constexpr int kSettingsRecordLimit = 32767;  // the layout fails beyond this many bytes

// Setting ids by name, for the ids code refers to.
enum SettingId : int {
    kSetGraphicsScale = 0,
    kSetGraphicsCurrentScale = 1,
    kSetWavelengthDefaults = 2,
    kSetWeightDefaults = 3,
    kSetGraphicsMinimumScale = 4,
    kSetOprdMaxVariables = 5,
    kSetOperandCapacity = 6,
    kSetOprdMaxConops = 7,
    kSetSurfaceLimit = 8,
    kSetMaxWavelengths = 9,
    kSetMaxSpdRays = 10,
    kSetPrintDestination = 11,
    kSetPlotDestination = 12,
    kSetSpareInt = 13,
    kSetWindowGeometry = 14,
    kSetGraphicsPenSequence = 15,
    kSetProgramLevel = 16,
    kSetGraphicsPenWidth = 17,
    kSetDesigner = 18,
    kSetOutputPageMode = 19,
    kSetOutputOn = 20,
    kSetOutputLog = 21,
    kSetOutputEcho = 22,
    kSetStepMode = 23,
    kSetDiagnosticOutput = 24,
    kSetLensFile = 25,
    kSetEditFile = 26,
    kSetCurrentDirectory = 27,
    kSetCurrentTextDirectory = 28,
    kSetOperandText = 29,
    kSetGraphicsAxes = 30,
    kSetGraphicsLabels = 31,
    kSetDataFolder = 32,
    kSetPublicDirectory = 33,
    kSetGraphicsAutoclear = 34,
    kSetShowToolbar = 35,
    kSetShowMenubar = 36,
    kSetPrintFile = 37,
    kSetPlotFile = 38,
    kSetRevertEnable = 39,
    kSetGraphicsWhiteBkgnd = 40,
    kSetLensAutoOpen = 41,
    kSetGraphicsBlackAndWhite = 42,
    kSetGraphicsAlternateMode = 43,
    kSetAddress1 = 44,
    kSetAddress2 = 45,
    kSetAddress3 = 46,
    kSetSpreadsheetCurvatureMode = 47,
    kSetPrintZero = 48,
    kSetNonZeroSpecialData = 49,
    kSetKplAutoCompile = 50,
    kSetElementDrawingCommas = 51,
    kSetGraphicsHpgl2 = 52,
    kSetCmdHistoryAliases = 53,
    kSetOutputText = 54,
    kSetTrimNumericOutput = 55,
    kSetNoErrorBoxes = 56,
    kSetFivePlaceNumericOutput = 57,
    kSetMruFile1 = 58,
    kSetMruFile4 = 61,
    kSetTempFolder = 62,
    kSetEntrancePupWvfrntCoords = 63,
    kSetRptGfxDateAndTime = 64,
    kSetTestGlassFile = 65,
    kSetVersionNumber = 66,
    kSetKplCompilerOptions = 67,
    kSetSurfaceLabels = 68,
    kSetGraphicsIsomorphicLabels = 69,
    kSetQrMtf = 70,
    kSetTavLensFileExtension = 71,
    kSetPrivateDirectory = 72,
    kSetCheckEscape = 73,
};

// Pseudo ids of settings_item_address that address through the current settings command's
// argument cells (cell 0 holding a setting id s).
inline constexpr int kSettingDim1Query = 8001;     // int: first dimension of s minus 1
inline constexpr int kSettingDim2Query = 8002;     // int: second dimension of s minus 1
inline constexpr int kSettingElementQuery = 8003;  // the element named by the cells

// Types reported by settings_item_address.
enum SettingItemType : int {
    kSettingItemInt = 1,
    kSettingItemDouble = 2,
    kSettingItemFlag = 3,
    kSettingItemText = 4,
};

// Appended to the compiler options of setting 67 to build the options the compiler is run with.
inline constexpr char kCompilerOptionsSuffix[] = " -D _TAVO_LIGHT_";
inline constexpr std::size_t kCompilerOptionsSize = 81 + sizeof(kCompilerOptionsSuffix) - 1;

// The schema entry of an id (offsets valid after settings_layout); null for an unknown id.
const SettingDef* setting_def(int id);

// Lays out and allocates the record, once at start-up; 0 or -1 (too large or out of memory).
// A second call frees the old record and lays out a fresh, zero-filled one.
int settings_layout();
// The total size reached by the last layout (on failure, the size reached so far).
int settings_record_size();
// Frees the record (end of the program; tests).
void settings_release();

// True when (i, j) names an element of the id: i in 0..dim1-1 when the id has a first
// dimension (i must be 0 otherwise), likewise j for the second. Reading commands check this.
bool setting_index_valid(int id, int i, int j);

// The scalar, element [i] or element [i][j]. An unknown id or an index outside the setting's
// dimensions reads 0, never outside the record.
std::int32_t get_setting_int(int id, int i, int j);
double get_setting_double(int id, int i, int j);
// The flag byte, 0 or 1.
std::uint8_t get_setting_flag(int id);
// The text inside the record: null for a flag, the text itself without a second dimension,
// else text number i (null when i is out of range). Valid for the life of the program; write
// only through set_setting_text.
char* get_setting_text(int id, int i);
// The first text of setting id as a string; empty when it has none.
std::string setting_text(int id);

// 0; -1 when an index is outside the dimensions (nothing stored); -9998 when resizing the
// spot-diagram store for id 10 failed (error text set). After start-up ids 8 and 9 only change
// their pending capacity word and show message -154.
int set_setting_int(int id, std::int32_t value, int i, int j);
int set_setting_double(int id, double value, int i, int j);
// Stores 1 for a non-zero byte, else 0, and applies the flag's output option (the handler
// table's set_setting_flag hook).
int set_setting_flag(int id, std::uint8_t value);
// 0; -1 for a text too long for the setting or a bad text number; -9998 when a side effect
// failed with its error text set.
int set_setting_text(int id, const char* text, int i);

// The output option a flag id switches (1..19), 0 for flags without one.
int setting_option_number(int id);

// The handler table's settings_item_address hook: address of setting id's first byte (ids
// 0..73) with its type, or of the values named by the pseudo ids 8001..8003. Null (type 0) for
// an unknown id or an element outside the setting, so the caller reports it instead of reading
// outside the record.
void* settings_item_address(int id, int* type_out);

// The argument cells of the running settings command, as 32-bit integers: cell 0 the id, then
// the indices. The command dispatch sets them before a settings command reads an element.
void set_setting_argument_cells(const std::int32_t* cells, int count);
// Address of the element named by the argument cells (ints and doubles with two dimensions
// [cell 1][cell 2], with one [cell 3]; texts with two dimensions text number cell 3; else the
// setting itself), type through type_out; null when a cell is missing or out of range.
void* setting_element_address(int* type_out);

// Values kept beside the store.
// Set by the start-up lens command, cleared by the exit hook: once set, ids 8 and 9 only become
// pending.
bool startup_done();
void set_startup_done(bool done);
// Copies of ids 8, 9 and 10 (index 0, 1, 2) taken at start-up and written back at exit.
std::int32_t pending_capacity(int index);
void set_pending_capacity(int index, std::int32_t value);
// Copies ids 8, 9 and 10 into the pending words / the pending words into ids 8, 9 and 10.
void take_pending_capacities();
void store_pending_capacities();
// The options the compile driver passes to the compiler (setting 67 and the suffix).
const char* compiler_options_text();

// What a change of a setting reaches above the store: the window switches of a flag setting,
// the lens title beside the lens file's name in the main caption, and the spot-diagram store
// that Max_spd_rays sizes. The program installs them; null entries do nothing (a null resize
// succeeds).
struct SettingsHooks {
    void (*apply_window_option)(int setting_id, int option, int value) = nullptr;
    const char* (*lens_title)() = nullptr;
    int (*resize_spot_storage)(int rays) = nullptr;
    // The pen sequence (15) or the output pen width (17) changed: the graphics code takes them.
    void (*graphics_setting_changed)(int setting_id) = nullptr;
};
void set_settings_hooks(const SettingsHooks& hooks);

// Loads the test-glass list named by a new Test_glass_file: 0 or the message number of the
// failure, shown with the name. The lens catalogues install it; without it the name is only
// stored. A failed load keeps the previous name and loads its list again, except while the
// settings file is read at start-up: there the name is kept for the next start, quietly.
using TestGlassLoader = int (*)(const char* name);
void set_test_glass_loader(TestGlassLoader loader);
