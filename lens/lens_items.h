// Lens items: the numbers 47 to 302 by which the command language and user DLLs reach the data
// of the current lens, the six scratch arrays of the command language, and the array bounds of
// the built-in variables that stand for lens data.
//
// Every index is checked here against the lens as it is now (surface 0 to image_surface,
// wavelength 1 to wavelength_count, the entries a record really holds), whatever dimension the
// caller checked before: a stale dimension or a DLL's wild index gives null, never an address
// outside the lens.
//
// Computed items (a radius from a curvature, a 16-bit surface number widened, a default, a
// pseudo-kind) are written into result cells whose address is returned; writing through such an
// address changes only the cell, and the next call overwrites it.
//
// The second of the two 16-bit words of a KplSysVar entry that the interpreter does not read
// (`reserved`) carries the entry's dimension codes: the low byte selects the first dimension,
// the high byte the second, as update_lens_array_bounds applies them.
#pragma once

#include <cstdint>

inline constexpr int kFirstLensItem = 47;
inline constexpr int kLastLensItem = 302;
inline constexpr int kScratchArrayCount = 6;
inline constexpr int kScratchArraySize = 2000;
inline constexpr int kLensItemTextBase = 4096;  // variable numbers of hook 4 start here

// First-dimension codes (low byte of the code word).
enum LensItemDim1 : std::uint8_t {
    kDim1Unchanged = 0,
    kDim1Surfaces = 1,          // image_surface + 1
    kDim1Wavelengths = 4,       // wavelength_count + 1 (wavelengths count from 1)
    kDim1SurfacesGrin = 5,      // surfaces, second dimension the GRIN size
    kDim1SurfacesRangeRec = 6,  // surfaces, second dimension size C
    kDim1RaySets = 7,           // the drawing ray sets
};
// Second-dimension codes (high byte of the code word).
enum LensItemDim2 : std::uint8_t {
    kDim2Unchanged = 0,
    kDim2Spline = 1,
    kDim2Asphere = 2,
    kDim2Diffractive = 3,
    kDim2Wavelengths = 4,
    kDim2TraceRecordA = 5,
    kDim2SpecialApertures = 6,
    kDim2TraceRecordB = 7,
};

// What a lens item is to the command language: element type (1 int, 2 double, 3 char), the
// number of indices it takes, its dimension codes and the fixed dimensions used where a code
// is kDim*Unchanged.
struct LensItemShape {
    std::uint8_t type;
    std::uint8_t index_count;
    std::uint8_t dim1_code;
    std::uint8_t dim2_code;
    std::int16_t dim1;
    std::int16_t dim2;
};
// The shape of item n, or null when n is not an item this file resolves.
const LensItemShape* lens_item_shape(int item);

// Hook 3: the address of item `item` with indices i and j (0 for indices the item lacks), or
// null when the item does not apply to the current lens or an index is out of range. Numbers
// without an item of their own give the data address bound to their built-in variable.
void* lens_item_address(int item, int i, int j);
// Hook 4: items 1 to 20 about the current surface (a text for 1, an f64 cell for the others);
// null for all others.
const char* lens_item_text(int item);

// Rewrites the dimensions of every built-in variable that carries dimension codes from the
// current lens. The lens set-up calls it when bounds_stale is set (and clears the byte); the
// surface and lens-file operations call it directly.
void update_lens_array_bounds();

// Scratch array k (1 to 6) of 2000 doubles, or null; zero from the start of the program.
double* scratch_array(int k);
void clear_scratch_arrays();

// The tolerance items 180 to 197 read the surface's tolerance record, whose layout and default
// values belong to the tolerancing code: it installs a resolver that answers (surface, value
// number 0 to 17 of the record) with the value's address or a default cell, or null. Without a
// resolver the tolerance items give null.
using ToleranceItemResolver = void* (*)(int surface, int value);
void set_tolerance_item_resolver(ToleranceItemResolver resolver);
// The tolerance-record value that item 180 + k stands for (k 0 to 17); -1 outside.
int tolerance_value_of_item(int item);

// Puts hooks 3 and 4 into the handler table and binds the built-in variables of the lens items
// (no address, their type and dimension codes), then computes their dimensions. Entries other
// code has bound are left alone.
void install_lens_items();
