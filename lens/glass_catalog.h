// The eight glass catalogues: ".glc" text files with one line per glass. At start-up only the
// names, catalogue values and file positions are kept; the formula data of a glass are read
// from the still open file when a lens uses it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tables/table_names.h"

constexpr int kGlassCatalogCount = 8;
constexpr int kObsoleteCatalog = 0;
constexpr int kPrivateCatalog = 7;
constexpr int kCatalogRoom = 400;          // glasses one catalogue can hold
constexpr int kGlassNameLength = 10;       // names are blank-padded to this many characters
constexpr int kBubbleClassLength = 3;      // longest bubble-class word
constexpr int kMaxTablePairs = 40;         // pairs of a glass's wavelength table
constexpr int kCoefficientSlots = 6;       // dispersion and thermal coefficients
constexpr int kCatalogHeaderBuffer = 512;  // header line, terminator included
constexpr int kCatalogLineBuffer = 1024;   // glass line with its newline, terminator included

// Dispersion formula kinds.
constexpr int kDispersionNone = 0;
constexpr int kDispersionPowerSeries = 1;
constexpr int kDispersionSellmeier = 2;
constexpr int kDispersionConrady = 3;
constexpr int kDispersionKeep = 4;        // computes nothing: the index array keeps its values
constexpr int kDispersionModelGlass = 5;  // made in memory only, never read from a file

// Thermal formula kinds.
constexpr int kThermalNone = 0;
constexpr int kThermalAbsolute = 1;  // D0, D1, D2, E0, E1, lambda_tk
constexpr int kThermalDndT = 2;      // one coefficient, dn/dT in 1e-6 per degree

struct CatalogGlass {
    char name[kGlassNameLength + 1];  // blank-padded as it stands in the file
    std::int32_t file_position;       // start of the glass's line
    double nd;
    double vd;
    double density;
    double dn_dt;
    double tce;  // 1e-7 per degree
    double transmission;
    double cost;
    double hardness;
    std::int32_t chemical_class;
    char bubble_class[kBubbleClassLength + 1];
    char availability;
};

struct GlassCatalog {
    std::int32_t count;
    double version;
    CatalogGlass glasses[kCatalogRoom];
    std::FILE* file;  // open while the catalogue is loaded; null when it could not be read
    // Set when the file exists but was refused as malformed: its glasses are not in memory,
    // so whoever rewrites the file must not take the empty record block for its contents.
    bool refused;
};

// One glass with its formula data: an entry of the glass cache, or a scratch record.
struct GlassData {
    char name[kGlassNameLength + 1];
    std::int32_t dispersion_kind;
    std::int32_t dispersion_count;
    std::int32_t thermal_kind;
    std::int32_t thermal_count;
    std::int32_t table_flag;   // 1: the glass has a wavelength table
    std::int32_t table_count;  // at most kMaxTablePairs
    double* index;             // one index per lens wavelength (Max_wavelengths entries)
    double dispersion[kCoefficientSlots];
    // A model glass is defined by index values at its own wavelengths (Max_wavelengths each);
    // a defining wavelength <= 0.143 um ends the list.
    double* model_wavelengths;
    double* model_indices;
    double thermal[kCoefficientSlots];
    double tce;
    double table_wavelengths[kMaxTablePairs];  // micrometres, ascending
    double table_values[kMaxTablePairs];
    double* table_at_wavelengths;  // the table at the lens wavelengths; null without a table
};

// A failure met while loading: the message number and the file it concerns.
struct GlassLoadReport {
    int message;
    std::string path;
};

// Converts a private catalogue of the old binary layout in place; 0 on success.
using OldPrivateConverter = int (*)(const std::string& private_path);
// The converter of the private catalogue (private_catalog.h).
int convert_private_catalog(const std::string& private_path);

// The catalogue of index 0..7.
GlassCatalog& glass_catalog(int index);

// The path of "private.glc" fixed by the last load.
const std::string& private_catalog_path();

// The path of catalogue index below root (installation folder, catalogues 0..6) or data (user
// data folder, catalogue 7).
std::string glass_catalog_path(int index, const std::string& root, const std::string& data);

// Loads all eight catalogues. A catalogue that cannot be opened or is malformed is left empty
// and reported: message -1100 with its path is shown, and the reports are returned as well;
// loading goes on with the next. A private catalogue in the old binary layout is handed to
// convert first (null: it counts as a failed conversion, and the old file is marked refused).
std::vector<GlassLoadReport> read_glass_catalogs(
    const std::string& root, const std::string& data,
    OldPrivateConverter convert = convert_private_catalog);

// The path of catalogue index as the last load built it (empty before).
const std::string& glass_catalog_file(int index);

// (Re)loads one catalogue from path; 0, or -1100 with the catalogue left empty.
int read_catalog_file(int index, const std::string& path);

// Closes every catalogue file and empties the catalogues.
void close_glass_catalogs();

// Fills glass from the line at position of catalogue. Without an open file the glass becomes
// "AIR" (no formula). 0, or -1100 when the line cannot be read again (glass left unchanged).
int read_glass_data(std::int32_t position, int catalog, GlassData& glass);

// Blank-pads text to a 10-character glass name (longer text is cut).
void pad_glass_name(const char* text, char (&name)[kGlassNameLength + 1]);
// A glass name as messages show it: at most 10 characters, without the padding blanks.
std::string shown_glass_name(const char* name);

// Searches the catalogues from the private one down to the obsolete one for a blank-padded
// name. Returns the file position of the glass's line and sets catalog, or -1 (catalog 0).
// A name beginning "O_" that the substitution list maps to a catalogue name is looked up under
// that name (message -1115 printed when found); the catalogue name then goes into rewritten
// when given (11 bytes, may be name itself).
std::int32_t find_glass(const char* name, int& catalog, char* rewritten = nullptr);
