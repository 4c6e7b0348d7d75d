// Stock-lens catalogues: single elements and cemented groups of lens vendors, picked by focal
// length and diameter and inserted into the lens as surfaces. A catalogue is three files of one
// base name in the installation's bin/lmo folder: "dir" (the part directory), "dat" (each part
// as lens-entry command fields separated by ';') and, optionally, "nam" (vendor names by the
// prefix of the part names). Every count, offset and length is checked against the files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tables/table_names.h"

// The catalogue start-up reads when the installation has it.
inline constexpr char kStartupLensCatalog[] = "mg_pos";

// The panel's command without a control: the parts are only shown.
inline constexpr int kStockShowPanel = 0;
// Lens types and sort modes, as the panel's buttons number them.
enum StockLensType : int { kStockPositive = 1, kStockNegative = 2, kStockCemented = 3 };
enum StockSortMode : int { kStockSortDirectory = 11, kStockSortEfl = 12, kStockSortDiameter = 13 };
// The panel's value fields.
enum StockField : int {
    kStockFieldEfl = 101,
    kStockFieldEflRange = 102,
    kStockFieldDiameter = 103,
    kStockFieldDiameterRange = 104,
    kStockFieldPartName = 105,
};

struct StockLensPart {
    std::int32_t efl;       // effective focal length x 1000
    std::int32_t diameter;  // x 1000
    std::int32_t third;     // x 1000, shown with the part
    std::int32_t offset;    // of the part's text in the "dat" file
    std::uint16_t length;   // of that text in bytes
    std::uint16_t type;     // StockLensType
    char name[10];          // up to 9 characters, upper case
};

struct StockVendorName {
    std::int32_t code;  // the name prefix in base 64 (characters 33..95 are digits 1..63)
    char name[40];
};

// The panel's choices: centres and ranges x 1000, the lens type, the sort order and the
// selected part (-1 none).
struct StockSelection {
    std::int32_t efl_centre = 50000;
    std::int32_t efl_range = 5000000;
    std::int32_t diameter_centre = 20000;
    std::int32_t diameter_range = 200000;
    int type = kStockPositive;
    int sort = kStockSortEfl;
    int selected = -1;
};

// Reads catalogue name (nothing when it is the one loaded): 0, -286 (no "dir" file: the
// catalogue loaded stays) or -287 (a damaged file: no catalogue is left). Resets the selection
// to its defaults.
int read_lens_catalog(const char* name);
void free_lens_catalog();
const std::string& lens_catalog_name();
int stock_part_count();
const StockLensPart* stock_part(int i);  // null outside the catalogue
int find_stock_part(const char* name);   // directory index, -1 when absent (case ignored)

// The code of a name prefix: characters 33..95 (lower case counts as upper) are base-64
// digits; -1 for any other character or a name longer than 5.
std::int32_t stock_prefix_code(const char* text, int length);
// The vendor of a part by the longest of its name's prefixes the "nam" file knows; empty
// when none.
std::string stock_vendor_name(const char* part_name);

StockSelection& stock_selection();
// The parts listed, in the order shown.
const std::vector<int>& stock_rows();
// Collects the parts of the selected type inside both windows (bounds included), sorts them
// and selects the part selected before or, when it is gone, the one nearest the centres.
void filter_stock_parts();
// A number typed into field 101-104: limited to +-10000, ranges as their size; filters again.
void set_stock_field_value(int field, double value);
// A part name typed into field 105: selects it with its type and a window around it; 0 or
// -9998 after -283.
int choose_stock_part(const char* name);
void set_stock_lens_type(int type);
void set_stock_sort_mode(int mode);
// The row text of a part in the current sort mode.
std::string stock_row_text(int part);

// One surface of a part as the preview draws it.
struct StockPreviewSurface {
    double curvature = 0;
    double thickness = 0;
    double aperture = 0;
    bool glass = false;
};
// The surfaces of a part text; each starts with half the diameter as its aperture, and a glass
// surface and its successor share the larger of their apertures.
std::vector<StockPreviewSurface> stock_part_surfaces(const std::string& text, double diameter);
// The fields of a part text: split at ';' outside double quotes, blanks around each trimmed.
std::vector<std::string> stock_part_fields(const std::string& text);

// A button or value field of the parts panel as the console's stock_panel command gives it:
// types 1-3, sort orders 11-13, fields 101-104 with the value. 0, or -9998 after -275 for any
// other number.
int stock_panel_control(int control, double value);

// The text of a part from the "dat" file: 0, or -9998 after -277.
int read_stock_part_text(int part, std::string& text);

// Inserts a part at the current surface: runs its fields as lens-entry lines and marks its
// surfaces as fixed catalogue data. The result of bringing the lens up to date; -9998 after
// -276, with nothing inserted, when a field is not plain lens data (a lens-entry word with
// literal values).
int insert_stock_part(const char* text, const char* name, int type, double semi_diameter);
// What OK does in the parts window: inserts the selected part when the lens has room for it
// (-9998 after -324 otherwise; -9998 after -279 when none is selected), then closes the parts.
int insert_selected_stock_part();

// After a part from the parts window went in: the new-lens command's pending first-order
// request sets up the object for it (the lens spreadsheet installs it; null: nothing pending).
using StockPartInsertedHook = void (*)();
void set_stock_part_inserted_hook(StockPartInsertedHook hook);

// Opens the "dat" file of the catalogue and the parts list, filtered: 0, or -9998 after -277
// (no catalogue loaded, or its "dat" file cannot be opened).
int open_catalog_parts();
void close_catalog_parts();
bool catalog_parts_open();
// Where the parts show besides the text output: show after every change of the list, the
// selection or the filters, close when the parts close. The application installs it; without
// one the parts are text only.
struct StockPartsView {
    void (*show)() = nullptr;
    void (*close)() = nullptr;
};
void set_stock_parts_view(const StockPartsView& view);
// Makes the part listed in row `row` the selection and shows it (nothing outside the rows).
void select_stock_row(int row);

// select_lens_catalog; stock_part inserts a part by name; stock_panel works the panel.
int cmd_open_lens_catalog();
int cmd_list_lens_catalogs();  // the catalogue names of bin/lmo as a value list

// The lens set-up the insertion ends with (installed by the program).
using StockLensSetup = int (*)(int mode);
void install_stock_lenses(StockLensSetup setup);
