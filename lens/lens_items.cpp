#include "lens/lens_items.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "lens/surface_materials.h"
#include "lens/surface_setters.h"
#include "lens/surface_tolerances.h"
#include "runtime/dispatch.h"
#include "runtime/state_flags.h"

namespace {

constexpr std::uint8_t kInt = kLensItemInt;
constexpr std::uint8_t kDouble = kLensItemDouble;
constexpr std::uint8_t kChar = kLensItemChar;

constexpr int kMinimumCoefficientSize = 66;
constexpr int kGrinGroupSize = 4;   // GRA, GRB, GRC, GRD: four elements each
constexpr int kGrinGnzOffset = 16;  // GNZ0..GNZ11 follow the four groups
constexpr int kGrinGnzCount = 12;
constexpr int kSplineFallbackSize = 5;
constexpr double kZero = 1e-40;

// Pseudo-kinds of kItemAsphereKind and kItemDiffractiveKind for a surface without the record.
constexpr std::uint8_t kKindSplineProfile = 254;
constexpr std::uint8_t kKindHologram = 254;
constexpr std::uint8_t kKindGrating = 253;
constexpr std::uint8_t kKindNone = 255;

// Medium indices that lens_item_text answers for a surface without an index array.
constexpr double kFallbackIndex1 = 1.62004;
constexpr double kFallbackIndex2 = 1.63208;
constexpr double kFallbackAbbe = 36.37;

// The scratch arrays, the result cells computed items answer through, and the tolerance
// resolver app/ installs at start.
struct LensItemCells {
    double scratch[kScratchArrayCount][kScratchArraySize];
    // Result cells of computed items.
    double radius;
    double value;
    std::int32_t int_value;
    std::uint8_t byte_value;
    double text_number;
    char text[24];
    ToleranceItemResolver tolerance_resolver = nullptr;
};

LensItemCells g_cells;

// --- shapes -----------------------------------------------------------------------------------

constexpr LensItemShape scalar(std::uint8_t type) {
    return {type, 0, kDim1Unchanged, kDim2Unchanged, 0, 0};
}
constexpr LensItemShape per_surface(std::uint8_t type) {
    return {type, 1, kDim1Surfaces, kDim2Unchanged, 0, 0};
}
constexpr LensItemShape per_surface_and(std::uint8_t type, std::uint8_t dim2_code,
                                        std::int16_t dim2 = 0) {
    return {type, 2, kDim1Surfaces, dim2_code, 0, dim2};
}
constexpr LensItemShape per_wavelength_entry(std::uint8_t type) {
    return {type, 1, kDim1Wavelengths, kDim2Unchanged, 0, 0};
}
constexpr LensItemShape per_ray_set(std::uint8_t type) {
    return {type, 1, kDim1RaySets, kDim2Unchanged, 0, 0};
}
constexpr LensItemShape fixed_array(std::uint8_t type, std::int16_t size) {
    return {type, 1, kDim1Unchanged, kDim2Unchanged, size, 0};
}

// The shapes of the special rows of the list.
constexpr LensItemShape kScratchShape = fixed_array(kDouble, kScratchArraySize);
constexpr LensItemShape kWavelengthShape = per_wavelength_entry(kDouble);
constexpr LensItemShape kSurfaceIntShape = per_surface(kInt);
constexpr LensItemShape kSurfaceDoubleShape = per_surface(kDouble);
constexpr LensItemShape kSurfaceCharShape = per_surface(kChar);
constexpr LensItemShape kSurfaceWavelengthShape = per_surface_and(kDouble, kDim2Wavelengths);
constexpr LensItemShape kGrinGroupShape =
    per_surface_and(kDouble, kDim2Unchanged, kGrinGroupSize + 1);
constexpr LensItemShape kGrinGnzShape = per_surface_and(kDouble, kDim2Unchanged, kGrinGnzCount);
constexpr LensItemShape kAsphereTermsShape = per_surface_and(kDouble, kDim2Asphere);
constexpr LensItemShape kDiffractiveTermsShape = per_surface_and(kDouble, kDim2Diffractive);
constexpr LensItemShape kSplinePointsShape = per_surface_and(kDouble, kDim2Spline);
constexpr LensItemShape kApertureDoubleShape = per_surface_and(kDouble, kDim2SpecialApertures);
constexpr LensItemShape kApertureCharShape = per_surface_and(kChar, kDim2SpecialApertures);

// The element type of a field of a record type.
#define TAVO_FIELD_TYPE(Record, field) lens_item_type<decltype(std::declval<Record&>().field)>()

// Every item's shape, made from the list; the lens fields have none (start-up binds them).
struct ShapeTable {
    std::array<LensItemShape, kLastLensItem - kFirstLensItem + 1> shapes{};
    constexpr void set(int item, LensItemShape shape) { shapes[item - kFirstLensItem] = shape; }
    constexpr ShapeTable() {
#define ITEM_SPECIAL(number, name, shape) set(name, shape);
#define ITEM_SURFACE_SPECIAL(number, name, shape) set(name, shape);
#define ITEM_SURFACE_FIELD(number, name, field) \
    set(name, per_surface(TAVO_FIELD_TYPE(SurfaceRecord, field)));
#define ITEM_SURFACE_WORD(number, name, field) set(name, per_surface(kInt));
#define ITEM_SURFACE_RECORD(number, name, record, field) \
    set(name, per_surface(TAVO_FIELD_TYPE(SurfaceRecord, record->field)));
#define ITEM_LENS_RECORD(number, name, record, field) \
    set(name, scalar(TAVO_FIELD_TYPE(LensData, record->field)));
#define ITEM_RAY_SET(number, name, field) \
    set(name, per_ray_set(TAVO_FIELD_TYPE(DrawingRaySet, field)));
#include "lens/lens_item_list.h"
    }
};
constexpr ShapeTable kItemShapes;

#undef TAVO_FIELD_TYPE

// Every number of the list is a lens item and is listed once.
constexpr bool item_numbers_are_unique() {
    constexpr int kNumbers[] = {
#define ITEM_ROW(number, name, ...) number,
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
    std::array<bool, kLastLensItem - kFirstLensItem + 1> seen{};
    for (int n : kNumbers) {
        if (n < kFirstLensItem || n > kLastLensItem || seen[n - kFirstLensItem]) return false;
        seen[n - kFirstLensItem] = true;
    }
    return true;
}
static_assert(item_numbers_are_unique(), "a lens item number is outside 47..302 or listed twice");

// The tolerance-record value of the tolerance items from kItemToleranceTht on, in the order of
// the tolerance commands.
constexpr int kToleranceValues[18] = {4, 8, 0, 1, 2, 6, 10, 3, 5, 7, 9, 11, 12, 13, 16, 17, 14, 15};

// --- checks -----------------------------------------------------------------------------------

LensData& lens() {
    return lens_data();
}

// The record of surface s when s is a surface of the current lens, else null.
SurfaceRecord* surface_at(int s) {
    if (surface_array() == nullptr || s < 0 || s > lens().image_surface || s > surface_limit()) {
        return nullptr;
    }
    return &surface(s);
}

bool wavelength_ok(int w) {
    const int count = lens().wavelength_count;
    return w >= 1 && w <= count && w <= max_wavelengths();
}

// Element w of a per-wavelength array (w counted from 1), or null.
double* per_wavelength(double* array, int w) {
    return array != nullptr && wavelength_ok(w) ? &array[w - 1] : nullptr;
}

void* in_int_cell(std::int32_t v) {
    g_cells.int_value = v;
    return &g_cells.int_value;
}
void* in_byte_cell(std::uint8_t v) {
    g_cells.byte_value = v;
    return &g_cells.byte_value;
}
void* in_radius_cell(double curvature) {
    g_cells.radius = curvature != 0.0 ? 1.0 / curvature : 0.0;
    return &g_cells.radius;
}

// A decentre value while the tilt mode is one of the plain orders.
void* decentre_value(const SurfaceRecord& s, int item) {
    DecentreRecord* d = s.decentre;
    if (d == nullptr || std::abs(d->tilt_mode) >= 2) return nullptr;
    switch (item) {
        case kItemDecentreX:
            return &d->dcx;
        case kItemDecentreY:
            return &d->dcy;
        case kItemDecentreZ:
            return &d->dcz;
        case kItemTiltA:
            return &d->tla;
        case kItemTiltB:
            return &d->tlb;
        case kItemTiltC:
            return &d->tlc;
        default:
            return nullptr;
    }
}

bool is_one_of(int kind, std::initializer_list<int> kinds) {
    for (int k : kinds) {
        if (k == kind) return true;
    }
    return false;
}

// Entered coefficient i of an asphere or diffractive record.
double* entered(double* array, int count, int i) {
    return array != nullptr && i >= 0 && i < count ? &array[i] : nullptr;
}

// kItemAsphereOrder: the coefficient of order i of the asphere kinds that number their
// coefficients by order.
void* asphere_order(const AsphereRecord& a, int order) {
    int stored = 0;
    int lowest = 0;
    switch (a.kind) {
        case kAsphereOdd:
            stored = order - 3;
            lowest = 0;
            break;
        case kAsphereToricX:
            stored = order - 3;
            lowest = 1;
            break;
        case kAsphereCone:
            stored = order - 2;
            lowest = 1;
            break;
        case kAsphereBiconic:
            if (order % 2 != 0) return nullptr;
            stored = 2 * order - 6;
            lowest = 2;
            break;
        case kAsphereEllipticCone:
            if (order % 2 != 0) return nullptr;
            stored = 2 * order - 3;
            lowest = 5;
            break;
        default:
            return nullptr;
    }
    if (stored < lowest) return nullptr;
    return entered(a.entered, a.entered_count, stored);
}

// The GRIN coefficient row `row` (0-based) at wavelength w.
void* grin_row(const GrinRecord& g, int row, int w) {
    if (g.coefficients == nullptr || g.coefficients[row] == nullptr) return nullptr;
    return per_wavelength(g.coefficients[row], w);
}

// The special-aperture items: a field of special aperture n (counted from 1).
void* special_aperture_item(SurfaceRecord& s, int item, int n) {
    if (s.special_apertures == nullptr || n < 1 || n > s.special_aperture_count) return nullptr;
    SpecialAperture& a = s.special_apertures[n - 1];
    switch (item) {
        case kItemSaY1:
        case kItemSaPy1:
            return &a.y[0];
        case kItemSaY2:
        case kItemSaPy2:
            return &a.y[1];
        case kItemSaPy3:
            return &a.y[2];
        case kItemSaPy4:
            return &a.y[3];
        case kItemSaX1:
        case kItemSaPx1:
            return &a.x[0];
        case kItemSaX2:
        case kItemSaPx2:
            return &a.x[1];
        case kItemSaPx3:
            return &a.x[2];
        case kItemSaPx4:
            return &a.x[3];
        case kItemSaAngle:
            return &a.angle;
        case kItemSaShape:
            return &a.shape;
        case kItemSaAction:
            return &a.action;
        case kItemSaGroup:
            return &a.group;
        default:
            return nullptr;
    }
}

// The item numbers of these families follow each other; the code below counts within them.
static_assert(kItemAsphereAg - kItemAsphereAd == 3);
static_assert(kItemGrinNz4 - kItemGrinNr1 == 7);
static_assert(kItemGrinGrd - kItemGrinGra == 3);
static_assert(kItemToleranceCab - kItemToleranceTht == 17);
static_assert(kItemSaGroup - kItemSaY1 == 15);

bool is_tolerance_item(int item) {
    return item >= kItemToleranceTht && item <= kItemToleranceCab;
}

// The surface items with code of their own. s is surface i; j is the second index.
void* surface_special(SurfaceRecord& s, int item, int i, int j) {
    switch (item) {
        case kItemTiltMode:
            if (s.decentre == nullptr || std::abs(s.decentre->tilt_mode) >= 2) return nullptr;
            return &s.decentre->tilt_mode;
        case kItemRadius:
            return in_radius_cell(s.curvature);
        case kItemXRadius:
            return in_radius_cell(s.x_curvature);
        case kItemDecentreX:
        case kItemDecentreY:
        case kItemDecentreZ:
        case kItemTiltA:
        case kItemTiltB:
        case kItemTiltC:
            return decentre_value(s, item);
        case kItemReturnSurface:
            if (s.return_coordinates == nullptr) return nullptr;
            return in_int_cell(s.return_coordinates->pickup_source);
        case kItemIndex:
            return per_wavelength(s.index, j);
        case kItemWorkingIndex: {
            if (!wavelength_ok(j)) return nullptr;
            if (s.medium_work[3] != nullptr) return &s.medium_work[3][j - 1];
            if (s.medium_work[2] != nullptr) return &s.medium_work[2][j - 1];
            g_cells.value = 1.0;
            return &g_cells.value;
        }
        case kItemAsphereAd:
        case kItemAsphereAe:
        case kItemAsphereAf:
        case kItemAsphereAg: {
            const AsphereRecord* a = s.asphere;
            const int k = item - kItemAsphereAd + 2;  // AD is entered entry 2
            if (a == nullptr || a->kind != kAsphereEven || a->entered_count < k + 1) return nullptr;
            return entered(a->entered, a->entered_count, k);
        }
        case kItemGrinNr1:
            if (s.grin == nullptr || is_one_of(s.grin->kind, {7, 11, 12})) return nullptr;
            return grin_row(*s.grin, 0, j);
        case kItemGrinNr2:
        case kItemGrinNr3:
        case kItemGrinNr4:
            if (s.grin == nullptr || !is_one_of(s.grin->kind, {1, 3, 4, 8, 9, 10})) return nullptr;
            return grin_row(*s.grin, item - kItemGrinNr1, j);
        case kItemGrinNz1:
        case kItemGrinNz2:
        case kItemGrinNz3:
        case kItemGrinNz4:
            if (s.grin == nullptr || !is_one_of(s.grin->kind, {1, 3, 8, 9})) return nullptr;
            return grin_row(*s.grin, item - kItemGrinNr1, j);
        case kItemGrinGwv:
        case kItemGrinGmz:
        case kItemGrinGoz:
        case kItemGrinGra:
        case kItemGrinGrb:
        case kItemGrinGrc:
        case kItemGrinGrd:
        case kItemGrinGnz: {
            GrinRecord* g = s.grin;
            if (g == nullptr || g->kind != kGrinGrd) return nullptr;
            if (item == kItemGrinGwv) return &g->gwv;
            if (item == kItemGrinGmz) return &g->gmz;
            if (item == kItemGrinGoz) return &g->goz;
            if (item == kItemGrinGnz)
                return j >= 0 && j < kGrinGnzCount ? &g->grd[kGrinGnzOffset + j] : nullptr;
            if (j < 1 || j > kGrinGroupSize) return nullptr;
            return &g->grd[(item - kItemGrinGra) * kGrinGroupSize + j - 1];
        }
        case kItemAsphereCoefficient: {
            AsphereRecord* a = s.asphere;
            if (a == nullptr ||
                !is_one_of(a->kind, {kAsphereSeries, kAsphereXy, kAsphereZernike, kAsphereZernikeXy,
                                     kAsphereRadial, kAsphereAbsXy, kAsphereBiconicPairs})) {
                return nullptr;
            }
            return entered(a->entered, a->entered_count, j);
        }
        case kItemDoeCoefficient:
        case kItemZoeCoefficient: {
            DiffractiveRecord* d = s.diffractive;
            if (d == nullptr ||
                (item == kItemDoeCoefficient) != (d->kind <= kDiffractiveLastPolynomial))
                return nullptr;
            return entered(d->entered, d->entered_count, j);
        }
        case kItemZernikeSwitch:
            if (s.diffractive == nullptr || s.diffractive->kind < kDiffractiveZernike)
                return nullptr;
            return &s.diffractive->zernike_switch;
        case kItemAsphereKind:
            if (s.asphere != nullptr) return &s.asphere->kind;
            return in_byte_cell(s.spline != nullptr ? kKindSplineProfile : kKindNone);
        case kItemDiffractiveKind:
            if (s.diffractive != nullptr) return &s.diffractive->kind;
            if (s.hologram != nullptr) return in_byte_cell(kKindHologram);
            return in_byte_cell(s.grating_spacing != 0.0 ? kKindGrating : kKindNone);
        case kItemAsphereOrder:
            return s.asphere != nullptr ? asphere_order(*s.asphere, j) : nullptr;
        case kItemAsphereEntered: {
            AsphereRecord* a = s.asphere;
            if (a == nullptr || (a->kind != kAsphereCone && a->kind != kAsphereEllipticCone)) {
                return nullptr;
            }
            return entered(a->entered, a->entered_count, j);
        }
        case kItemSplineRadius:
        case kItemSplineSlope: {
            SplineRecord* sp_rec = s.spline;
            if (sp_rec == nullptr || j < 0 || j >= sp_rec->count) return nullptr;
            double* array = item == kItemSplineRadius ? sp_rec->radius : sp_rec->slope;
            return array != nullptr ? &array[j] : nullptr;
        }
        default:
            break;
    }
    if (is_tolerance_item(item)) {
        if (g_cells.tolerance_resolver == nullptr) return nullptr;
        return g_cells.tolerance_resolver(i, tolerance_value_of_item(item));
    }
    return special_aperture_item(s, item, j);
}

// The surface items: i is the surface, j the second index.
void* surface_item(int item, int i, int j) {
    SurfaceRecord* sp = surface_at(i);
    if (sp == nullptr) return nullptr;
    SurfaceRecord& s = *sp;
    switch (item) {
#define ITEM_SURFACE_FIELD(number, name, field) \
    case name:                                  \
        return &s.field;
#define ITEM_SURFACE_WORD(number, name, field) \
    case name:                                 \
        return in_int_cell(s.field);
#define ITEM_SURFACE_RECORD(number, name, record, field) \
    case name:                                           \
        return s.record != nullptr ? &s.record->field : nullptr;
#include "lens/lens_item_list.h"
        default:
            return surface_special(s, item, i, j);
    }
}

// Drawing ray set r of the lens-drawing conditions, or null.
DrawingRaySet* ray_set(int r) {
    DrawingConditions* d = lens().drawing_conditions;
    if (d == nullptr || d->rows == nullptr || r < 0 || r >= d->row_count || r >= d->row_capacity) {
        return nullptr;
    }
    return &d->rows[r];
}

int element_size(int type) {
    return type == kDouble ? 8 : type == kInt ? 4 : 1;
}

// A number without an item of its own: the data bound to its built-in variable, indexed within
// the variable's dimensions.
void* bound_variable(int item, int i, int j) {
    const KplSysVar* v = kpl_sysvar(item);
    if (v == nullptr || v->address == nullptr) return nullptr;
    if (v->dim1 <= 0) return v->address;
    if (i < 0 || i >= v->dim1) return nullptr;
    long index = i;
    if (v->dim2 > 0) {
        if (j < 0 || j >= v->dim2) return nullptr;
        index = static_cast<long>(i) * v->dim2 + j;
    }
    return static_cast<std::uint8_t*>(v->address) + index * element_size(v->type);
}

// The medium index of the current surface at wavelength w, or null without an index array.
const double* current_index(int w) {
    SurfaceRecord* s = surface_at(lens().current_surface);
    if (s == nullptr || s->index == nullptr || w > max_wavelengths()) return nullptr;
    return &s->index[w - 1];
}

double round_to_3_digits(double x) {
    if (x == 0.0 || !std::isfinite(x)) return x;
    const int e = static_cast<int>(std::floor(std::log10(std::fabs(x))));
    const double scale = std::pow(10.0, 2 - e);
    return std::round(x * scale) / scale;
}

// kTextItemHalfMillimetre: half a millimetre in lens units; null for a unit that is no length.
const char* half_millimetre() {
    const double units = lens().units;
    if (!(units > 0.0) || !std::isfinite(units)) return nullptr;
    static constexpr double kKnown[][2] = {
        {1.0, 0.5}, {10.0, 0.05}, {25.4, 0.02}, {0.001, 500.0}, {1000.0, 0.0005}};
    g_cells.text_number = round_to_3_digits(0.5 / units);
    for (const auto& k : kKnown) {
        if (std::fabs(units - k[0]) < kZero) g_cells.text_number = k[1];
    }
    return reinterpret_cast<const char*>(&g_cells.text_number);
}

std::int16_t clamp_dimension(int n) {
    return static_cast<std::int16_t>(n < 0 ? 0 : n > 32767 ? 32767 : n);
}

}  // namespace

const LensItemShape* lens_item_shape(int item) {
    if (item < kFirstLensItem || item > kLastLensItem) return nullptr;
    const LensItemShape& s = kItemShapes.shapes[item - kFirstLensItem];
    return s.type != kLensItemNone ? &s : nullptr;
}

int tolerance_value_of_item(int item) {
    return is_tolerance_item(item) ? kToleranceValues[item - kItemToleranceTht] : -1;
}

void set_tolerance_item_resolver(ToleranceItemResolver resolver) {
    g_cells.tolerance_resolver = resolver;
}

double* scratch_array(int k) {
    return k >= 1 && k <= kScratchArrayCount ? g_cells.scratch[k - 1] : nullptr;
}

void clear_scratch_arrays() {
    std::memset(g_cells.scratch, 0, sizeof g_cells.scratch);
}

void* lens_item_address(int item, int i, int j) {
    if (lens_item_shape(item) == nullptr) return bound_variable(item, i, j);
    LensData& l = lens();
    switch (item) {
        case kItemArray1:
        case kItemArray2:
        case kItemArray3:
        case kItemArray4:
        case kItemArray5:
        case kItemArray6:
            if (i < 0 || i >= kScratchArraySize) return nullptr;
            return &g_cells.scratch[item - kItemArray1][i];
        case kItemWavelength:
        case kItemWeight: {
            WavelengthEntry* table = l.wavelengths;
            if (table == nullptr || !wavelength_ok(i)) return nullptr;
            return item == kItemWavelength ? &table[i - 1].wavelength : &table[i - 1].weight;
        }
// Every kind of surface row is resolved on surface i.
#define ITEM_SURFACE_ROW(number, name, ...) case name:
#define ITEM_SURFACE_FIELD ITEM_SURFACE_ROW
#define ITEM_SURFACE_WORD ITEM_SURFACE_ROW
#define ITEM_SURFACE_RECORD ITEM_SURFACE_ROW
#define ITEM_SURFACE_SPECIAL ITEM_SURFACE_ROW
#include "lens/lens_item_list.h"
#undef ITEM_SURFACE_ROW
            return surface_item(item, i, j);
#define ITEM_LENS_RECORD(number, name, record, field) \
    case name:                                        \
        return l.record != nullptr ? &l.record->field : nullptr;
#define ITEM_RAY_SET(number, name, field)              \
    case name: {                                       \
        DrawingRaySet* row = ray_set(i);               \
        return row != nullptr ? &row->field : nullptr; \
    }
#include "lens/lens_item_list.h"
        default:
            return nullptr;
    }
}

const char* lens_item_text(int item) {
    LensData& l = lens();
    switch (item) {
        case kTextItemGlassName:
            std::snprintf(g_cells.text, sizeof g_cells.text, "GLASS%d", l.current_surface);
            return g_cells.text;
        case kTextItemIndex1: {
            const double* n1 = current_index(1);
            g_cells.text_number = n1 != nullptr ? *n1 : kFallbackIndex1;
            break;
        }
        case kTextItemIndex2: {
            if (l.wavelength_count < 2) {
                g_cells.text_number = 1.0;
                break;
            }
            const double* n2 = current_index(2);
            g_cells.text_number = n2 != nullptr ? *n2 : kFallbackIndex2;
            break;
        }
        case kTextItemAbbeNumber: {
            if (l.wavelength_count < 3) {
                g_cells.text_number = 0.0;
                break;
            }
            const double* n = current_index(1);
            if (n == nullptr || current_index(3) == nullptr) {
                g_cells.text_number = kFallbackAbbe;
                break;
            }
            const double spread = n[1] - n[2];
            g_cells.text_number = std::fabs(spread) < kZero ? 0.0 : (n[0] - 1.0) / spread;
            break;
        }
        case kTextItemFixedAperture: {
            g_cells.text_number = 0.0;
            if (test_state_flag(kFlagLensEntryInProgress) == 0 &&
                test_state_flag(kFlagSingleCommandUpdate) == 0) {
                break;
            }
            const SurfaceRecord* s = surface_at(l.current_surface);
            if (s != nullptr && s->aperture_kind != kApertureComputed) {
                g_cells.text_number = s->aperture_radius;
            }
            break;
        }
        case kTextItemHalfMillimetre:
            return half_millimetre();
        default:
            return nullptr;
    }
    return reinterpret_cast<const char*>(&g_cells.text_number);
}

void update_lens_array_bounds() {
    const LensData& l = lens();
    int asphere_size = kMinimumCoefficientSize;
    int diffractive_size = kMinimumCoefficientSize;
    int size_a = 11, aperture_size = 1, spline_size = kSplineFallbackSize, size_b = 10, size_c = 2,
        grin_size = 10;
    int ray_sets = 0;
    const DrawingConditions* d = l.drawing_conditions;
    if (d != nullptr && d->rows != nullptr) {
        ray_sets = d->row_count < d->row_capacity ? d->row_count : d->row_capacity;
    }
    // The surfaces the lens has; none before the arrays exist.
    int surfaces = 0;
    if (surface_array() != nullptr && l.image_surface >= 0) {
        surfaces = (l.image_surface < surface_limit() ? l.image_surface : surface_limit()) + 1;
    }
    // Every size keeps its start value as the least, so that a lens without the record still
    // has a usable dimension; the hook checks the real count of each record.
    for (int n = 0; n < surfaces; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.asphere != nullptr)
            asphere_size = std::max<int>(asphere_size, s.asphere->entered_count);
        if (s.diffractive != nullptr) {
            diffractive_size = std::max<int>(diffractive_size, s.diffractive->entered_count);
        }
        if (s.head_counted_trace_record != nullptr) {
            std::int16_t count;
            std::memcpy(&count, s.head_counted_trace_record, sizeof count);
            size_a = std::max(size_a, count + 1);
        }
        aperture_size = std::max(aperture_size, s.special_aperture_count + 1);
        if (s.spline != nullptr) spline_size = std::max(spline_size, s.spline->count);
        if (s.word3_counted_trace_record != nullptr) {
            std::int16_t count;
            std::memcpy(&count, static_cast<const std::uint8_t*>(s.word3_counted_trace_record) + 4,
                        sizeof count);
            size_b = std::max<int>(size_b, count);
        }
        if (s.range_record != nullptr) size_c = std::max(size_c, s.range_record->count + 1);
        if (s.grin != nullptr) grin_size = std::max(grin_size, s.grin->count);
    }
    const int wavelengths = l.wavelength_count + 1;
    for (int n = 0; n < kKplSysVarCount; ++n) {
        KplSysVar* v = kpl_sysvar(n);
        const int code1 = v->reserved & 0xFF;
        const int code2 = v->reserved >> 8;
        switch (code1) {
            case kDim1Surfaces:
                v->dim1 = clamp_dimension(surfaces);
                break;
            case kDim1Wavelengths:
                v->dim1 = clamp_dimension(wavelengths);
                break;
            case kDim1RaySets:
                v->dim1 = clamp_dimension(ray_sets);
                break;
            case kDim1SurfacesRangeRec:
                v->dim1 = clamp_dimension(surfaces);
                v->dim2 = clamp_dimension(size_c);
                break;
            case kDim1SurfacesGrin:
                v->dim1 = clamp_dimension(surfaces);
                v->dim2 = clamp_dimension(grin_size);
                break;
            default:
                break;
        }
        switch (code2) {
            case kDim2Asphere:
                v->dim2 = clamp_dimension(asphere_size);
                break;
            case kDim2Diffractive:
                v->dim2 = clamp_dimension(diffractive_size);
                break;
            case kDim2Wavelengths:
                v->dim2 = clamp_dimension(wavelengths);
                break;
            case kDim2HeadCountedTraceRecord:
                v->dim2 = clamp_dimension(size_a);
                break;
            case kDim2SpecialApertures:
                v->dim2 = clamp_dimension(aperture_size);
                break;
            case kDim2Spline:
                v->dim2 = clamp_dimension(spline_size);
                break;
            case kDim2Word3CountedTraceRecord:
                v->dim2 = clamp_dimension(size_b);
                break;
            default:
                break;
        }
    }
}

int lens_item_store_address(int item, int i, int j, void** address) {
    *address = nullptr;
    if (is_tolerance_item(item)) {
        // A tolerance stored is given: it goes into the surface's own record (made when
        // missing), never into the cell a default is shown in.
        if (surface_at(i) == nullptr) return 0;
        SurfaceTolerances* t = ensure_surface_tolerances(i);
        if (t == nullptr) return kMsgOutOfMemory;
        *address = &t->values[tolerance_value_of_item(item)];
        return 0;
    }
    if (item == kItemIndex) {
        SurfaceRecord* s = surface_at(i);
        if (s == nullptr || s->index == nullptr || !wavelength_ok(j)) return 0;
        // A mirror's index is the medium in front of it: changing it would change that space.
        if (s->medium_kind == kMediumMirror) return 0;
        // The index array belongs to the glass, which other surfaces (and, for air, the object
        // space) share: the surface gets a glass of its own first.
        if (s->medium_kind != kMediumProgramFixed) {
            if (const int rc = make_model_glass_own(i); rc != 0) return rc;
        }
    }
    *address = lens_item_address(item, i, j);
    return 0;
}

void lens_item_stored(int item, int i, int j) {
    if (is_tolerance_item(item)) {
        SurfaceRecord* s = surface_at(i);
        if (s == nullptr || s->tolerances == nullptr) return;
        const int k = tolerance_value_of_item(item);
        // A held value stays held; one not given becomes given. Its result is out of date.
        if (s->tolerances->switches[k] == 0) s->tolerances->switches[k] = 1;
        clear_tolerance_result(k, i);
        return;
    }
    if (item != kItemIndex || !wavelength_ok(j)) return;
    SurfaceRecord* s = surface_at(i);
    if (s == nullptr || s->index == nullptr) return;
    // The next set-up computes the indices from the glass's defining values: the value stored
    // becomes the defining value at its wavelength.
    double* defining = s->medium_work[kMediumDefiningValues];
    if ((s->medium_kind == kMediumModelGlass || s->medium_kind == kMediumModelGlassComputed) &&
        defining != nullptr) {
        defining[j - 1] = s->index[j - 1];
    }
}

void install_lens_items() {
    HandlerTable& table = handler_table();
    table.lens_item_address = lens_item_address;
    table.lens_item_text = lens_item_text;
    table.lens_item_store_address = lens_item_store_address;
    table.lens_item_stored = lens_item_stored;
    for (int n = kFirstLensItem; n <= kLastLensItem; ++n) {
        const LensItemShape* shape = lens_item_shape(n);
        KplSysVar* v = kpl_sysvar(n);
        if (shape == nullptr || v->address != nullptr) continue;
        v->type = shape->type;
        v->dim1 = shape->dim1;
        v->dim2 = shape->dim2;
        v->reserved = static_cast<std::uint16_t>(shape->dim1_code | shape->dim2_code << 8);
    }
    update_lens_array_bounds();
}
