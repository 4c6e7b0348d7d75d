// Lens items: the numbers 47 to 302 by which the command language and user DLLs reach the data
// of the current lens (listed in lens_item_list.h), the six scratch arrays of the command
// language, and the array bounds of the built-in variables that stand for lens data.
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
#include <type_traits>

inline constexpr int kFirstLensItem = 47;
inline constexpr int kLastLensItem = 302;
inline constexpr int kScratchArrayCount = 6;
inline constexpr int kScratchArraySize = 2000;
// A variable number from here on stands for the lens_item_text item of the number less this
// base (the parameter code reads it as kVariableTextBase).
inline constexpr int kLensItemTextBase = 4096;

// The lens items by name; the numbers are those of lens_item_list.h.
enum LensItem : int {
#define ITEM_ROW(number, name, ...) name = number,
#define ITEM_LENS_FIELD ITEM_ROW
#define ITEM_SPECIAL ITEM_ROW
#define ITEM_SURFACE_FIELD ITEM_ROW
#define ITEM_SURFACE_WORD ITEM_ROW
#define ITEM_SURFACE_RECORD ITEM_ROW
#define ITEM_SURFACE_SPECIAL ITEM_ROW
#define ITEM_LENS_RECORD ITEM_ROW
#define ITEM_RAY_SET ITEM_ROW
#include "lens/lens_item_list.h"
#undef ITEM_ROW
};

// Element types of lens items and built-in variables, as the command language reads them.
inline constexpr std::uint8_t kLensItemNone = 0;  // a number that names no item
inline constexpr std::uint8_t kLensItemInt = 1;
inline constexpr std::uint8_t kLensItemDouble = 2;
inline constexpr std::uint8_t kLensItemChar = 3;

// The element type of a lens field of type T: 32-bit integers, doubles and bytes only.
template <typename T>
constexpr std::uint8_t lens_item_type() {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, double>) {
        return kLensItemDouble;
    } else if constexpr (sizeof(U) == 1) {
        return kLensItemChar;
    } else {
        static_assert(std::is_same_v<U, std::int32_t>, "lens fields are int32, double or bytes");
        return kLensItemInt;
    }
}

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
    kDim2HeadCountedTraceRecord = 5,
    kDim2SpecialApertures = 6,
    kDim2Word3CountedTraceRecord = 7,
};

// What a lens item is to the command language: element type (kLensItemInt, kLensItemDouble,
// kLensItemChar), the number of indices it takes, its dimension codes and the fixed dimensions
// used where a code is kDim*Unchanged.
struct LensItemShape {
    std::uint8_t type;
    std::uint8_t index_count;
    std::uint8_t dim1_code;
    std::uint8_t dim2_code;
    std::int16_t dim1;
    std::int16_t dim2;
};
// The shape of item n, or null when n is no item this file resolves (the lens fields among
// them: start-up binds those).
const LensItemShape* lens_item_shape(int item);

// The handler table's lens_item_address hook: the address of item `item` with indices i and j
// (0 for indices the item lacks), or null when the item does not apply to the current lens or
// an index is out of range. Numbers without an item of their own (the lens fields among them)
// give the data address bound to their built-in variable.
void* lens_item_address(int item, int i, int j);
// The handler table's lens_item_store_address hook: where a store into item `item` goes. A
// store into a surface's index gives the surface a model glass of its own first (a mirror's
// index is not available for a store), so that no other surface changes with it; a store into a
// tolerance goes into the surface's record, made when missing. 0 with the address (null when
// not available), or the message of a glass or record that could not be made.
int lens_item_store_address(int item, int i, int j, void** address);
// The handler table's lens_item_stored hook: an index stored becomes the defining value of the
// surface's model glass at that wavelength; a tolerance stored becomes given (a held one stays
// held) and its tolerance result is cleared.
void lens_item_stored(int item, int i, int j);
// The items lens_item_text answers, about the current surface.
enum LensTextItem : int {
    kTextItemGlassName = 1,        // "GLASS<surface>"
    kTextItemIndex1 = 2,           // the index at wavelength 1
    kTextItemIndex2 = 3,           // the index at wavelength 2 (1.0 with one wavelength)
    kTextItemAbbeNumber = 4,       // (n1 - 1) / (n2 - n3) (0 with fewer than three wavelengths)
    kTextItemFixedAperture = 19,   // a fixed aperture radius during lens entry, else 0
    kTextItemHalfMillimetre = 20,  // half a millimetre in lens units
};
// The handler table's lens_item_text hook: a text for kTextItemGlassName, an f64 cell for the
// others; null for all other numbers.
const char* lens_item_text(int item);

// Rewrites the dimensions of every built-in variable that carries dimension codes from the
// current lens. The lens set-up calls it when bounds_stale is set (and clears the byte); the
// surface and lens-file operations call it directly.
void update_lens_array_bounds();

// Scratch array k (1 to 6) of 2000 doubles, or null; zero from the start of the program.
double* scratch_array(int k);
void clear_scratch_arrays();

// The tolerance items (kItemToleranceTht to kItemToleranceCab) read the surface's tolerance
// record, whose layout and default values belong to the tolerancing code: it installs a
// resolver that answers (surface, value number 0 to 17 of the record) with the value's address
// or a default cell, or null. Without a resolver the tolerance items give null.
using ToleranceItemResolver = void* (*)(int surface, int value);
void set_tolerance_item_resolver(ToleranceItemResolver resolver);
// The tolerance-record value that tolerance item kItemToleranceTht + k stands for (k 0 to 17);
// -1 for any other item.
int tolerance_value_of_item(int item);

// Puts lens_item_address, lens_item_text and the two store hooks into the handler table and
// binds the built-in variables of the lens items (no address, their type and dimension codes),
// then computes their dimensions. Entries other code has bound (the lens fields, at start-up)
// are left alone.
void install_lens_items();
