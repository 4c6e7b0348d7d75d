#include "optimise/variables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "lens/glass_cache.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/lens_file_format.h"
#include "lens/lens_reader.h"
#include "lens/optimise_links.h"
#include "lens/refractive_index.h"
#include "lens/surface_materials.h"
#include "optimise/operands.h"
#include "optimise/tolerance_results.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"

namespace {

constexpr double kSmallestStep = 1e-9;
constexpr double kRelativeStep = 0.001;
constexpr double kDefaultIncrement = 1e-7;
constexpr double kDefaultWavelength = 0.58756;  // micrometres, when the lens has none
// The GRD medium (gradient kind 11) keeps its axial polynomial GNZ0..GNZ11 after the sixteen
// chromatic coefficients GRA1..GRD4.
constexpr int kGrinKindGrd = 11;
constexpr int kGrinGnzFirst = 16;
constexpr int kGrinGnzTerms = 12;

Variable* variable_at(int number) {
    OptimiseTables& t = optimise_tables();
    if (number < 0 || number > t.highest_variable) return nullptr;
    return &t.variables[number];
}

bool surface_in_lens(int s) {
    return s >= 0 && s <= lens_data().image_surface;
}

// The type's keyword from the variable-type list; an itemised type's stem ("AS_") takes the
// item in place of its '_' ("AS3"), the name a variable line reads back.
void set_type_name(Variable& v) {
    std::string name;
    select_table_value_list(kListVariableTypes);
    for (int i = 0; i < value_list_count(); ++i) {
        const char* second = value_list_second(i);
        if (second != nullptr && std::atoi(second) == v.type) {
            name = list_entry_word(value_list_first(i));
            break;
        }
    }
    clear_value_list();
    if (variable_type_itemised(v.type)) {
        while (!name.empty() && name.back() == '_') name.pop_back();
        name += std::to_string(v.item);
    }
    std::snprintf(v.type_name, sizeof v.type_name, "%s", name.c_str());
}

bool model_medium(const SurfaceRecord& r) {
    return r.medium_kind == kMediumModelGlass || r.medium_kind == kMediumModelIndexAbbe ||
           r.medium_kind == kMediumModelGlassComputed ||
           r.medium_kind == kMediumModelIndexAbbeComputed;
}

bool given_by_abbe(const SurfaceRecord& r) {
    return r.medium_kind == kMediumModelIndexAbbe || r.medium_kind == kMediumModelIndexAbbeComputed;
}

// The glass-cache entry of the model glass behind s; null for any other medium.
GlassData* model_glass_of(int s) {
    const SurfaceRecord& r = surface(s);
    if (!model_medium(r)) return nullptr;
    const int cached = find_cached_glass(r.medium_name, CachedGlass::kModel);
    if (cached < 0) return nullptr;
    GlassData& g = glass_cache().entries[cached];
    return g.model_indices != nullptr && g.model_wavelengths != nullptr ? &g : nullptr;
}

double lens_index(int s, int wavelength) {
    const SurfaceRecord& r = surface(s);
    return r.index != nullptr ? r.index[wavelength] : 1.5;
}

// The Abbe number of the medium behind s over the first three lens wavelengths; a glass given
// by index and Abbe number keeps the number it was given. 1.0 without three wavelengths, 0 for
// a medium without dispersion.
double medium_dispersion(int s) {
    const SurfaceRecord& r = surface(s);
    if (r.index == nullptr || lens_data().wavelength_count < 3) return 1.0;
    if (given_by_abbe(r)) {
        if (const GlassData* g = model_glass_of(s)) return g->dispersion[1];
    }
    const double d = r.index[1] - r.index[2];
    return std::fabs(d) < kOptimiseZero ? 0.0 : (r.index[0] - 1.0) / d;
}

// Every defining index of a model glass mapped by n -> a + b n, so that the indices at the lens
// wavelengths, which the glass model interpolates linearly in them, follow the same map.
void map_defining_indices(GlassData& g, double a, double b) {
    const int capacity = glass_cache().max_wavelengths;
    for (int j = 0; j < capacity && g.model_wavelengths[j] > kModelGlassCutoff; ++j) {
        g.model_indices[j] = a + b * g.model_indices[j];
    }
}

// A glass given by index and Abbe number is derived again from the two.
void derive_again(GlassData& g) {
    g.model_indices[0] = g.dispersion[0];
    g.model_indices[1] = g.dispersion[1];
    g.model_indices[2] = 0.0;
}

// The index at the first wavelength becomes n. A glass given by index and Abbe number keeps its
// number; a glass given by its indices keeps its Abbe number with three wavelengths or more,
// and with fewer every index moves by the same amount.
void set_medium_index(int s, double n) {
    GlassData* g = model_glass_of(s);
    if (g == nullptr) return;
    if (given_by_abbe(surface(s))) {
        g->dispersion[0] = n;
        derive_again(*g);
    } else {
        const double n0 = lens_index(s, 0);
        if (lens_data().wavelength_count >= 3 && std::fabs(n0 - 1.0) > kOptimiseZero) {
            const double b = (n - 1.0) / (n0 - 1.0);
            map_defining_indices(*g, n - b * n0, b);
        } else {
            map_defining_indices(*g, n - n0, 1.0);
        }
    }
    lens_flags().materials_changed = 1;
}

// The Abbe number becomes v; the index at the first wavelength stays.
void set_medium_dispersion(int s, double v) {
    GlassData* g = model_glass_of(s);
    if (g == nullptr || lens_data().wavelength_count < 3) return;
    if (given_by_abbe(surface(s))) {
        g->dispersion[1] = v;
        derive_again(*g);
    } else {
        const double now = medium_dispersion(s);
        if (std::fabs(now) < kOptimiseZero || std::fabs(v) < kOptimiseZero) return;
        const double b = now / v;
        const double n0 = lens_index(s, 0);
        map_defining_indices(*g, n0 - b * n0, b);
    }
    lens_flags().materials_changed = 1;
}

// Where in the asphere record the polynomial term k lives (the place the term command writes),
// -1 for a term the record's kind does not hold.
int asphere_term_place(const AsphereRecord& a, int k) {
    int low = 0;
    int high = 0;
    bool even = false;
    int place = -1;
    const int count = a.entered_count;
    switch (a.kind) {
        case kAsphereOdd:
        case kAsphereBiconicPairs:
            low = 3;
            high = count + 2;
            place = k - 3;
            break;
        case kAsphereCone:
            low = 3;
            high = count + 1;
            place = k - 2;
            break;
        case kAsphereToricX:
            low = 4;
            high = count + 2;
            even = true;
            place = k - 3;
            break;
        case kAsphereBiconic:
            low = 4;
            high = (count - 4) / 2 + 4;
            even = true;
            place = 2 * (k - 3);
            break;
        case kAsphereEllipticCone:
            low = 4;
            high = (count - 7) / 2 + 4;
            even = true;
            place = 2 * k - 3;
            break;
        default:
            return -1;
    }
    if (k < low || k > high || (even && k % 2 != 0)) return -1;
    return place >= 0 && place < count ? place : -1;
}

bool polynomial_diffractive(const DiffractiveRecord& d) {
    return d.kind <= kDiffractiveLastPolynomial;
}

// Whether the surface's gradient-index medium uses coefficient row `row` (the radial NR1..NR4
// are rows 0 to 3, the axial NZ1..NZ4 rows 4 to 7), as its lens-file lines write them.
bool grin_row_used(const SurfaceRecord& r, int row) {
    const GrinRecord* g = r.grin;
    if (g == nullptr || g->coefficients == nullptr || row < 0 || row >= kGrinCoefficientRows ||
        g->coefficients[row] == nullptr) {
        return false;
    }
    const auto kind_in = [g](std::initializer_list<int> kinds) {
        for (const int k : kinds) {
            if (g->kind == k) return true;
        }
        return false;
    };
    if (row == 0) return !kind_in({7, 11, 12});
    if (row < 4) return kind_in({1, 3, 4, 8, 9, 10});
    return kind_in({1, 3, 8, 9});
}

double* asphere_coefficient(int s, int type) {
    AsphereRecord* a = surface(s).asphere;
    const int k = type - kVarAsphereFirst + 2;  // AD is entered coefficient 2
    if (a == nullptr || a->entered == nullptr || k >= a->entered_count) return nullptr;
    return &a->entered[k];
}

double* decentre_field(int s, int type) {
    DecentreRecord* d = surface(s).decentre;
    if (d == nullptr) return nullptr;
    double* fields[] = {&d->dcx, &d->dcy, &d->dcz, &d->tla, &d->tlb, &d->tlc};
    return fields[type - kVarDecentreFirst];
}

// Where a variable's value lives; null when the surface has no such record.
double* variable_address(int type, int s, int item) {
    if (!surface_in_lens(s)) return nullptr;
    SurfaceRecord& r = surface(s);
    if (variable_type_itemised(type)) {
        if (is_variable_item_invalid(type, item, s)) return nullptr;
        if (type == kVarAsphereItem) return &r.asphere->entered[item];
        if (type == kVarAsphereTerm)
            return &r.asphere->entered[asphere_term_place(*r.asphere, item)];
        if (type == kVarSplineSlope) return &r.spline->slope[item];
        if (type == kVarGrinGnz) return &r.grin->grd[kGrinGnzFirst + item];
        if (type >= kVarGrinFirst && type <= kVarGrinLast)
            return &r.grin->coefficients[item][type - kVarGrinFirst];
        return &r.diffractive->entered[item];
    }
    switch (type) {
        case kVarCurvature:
            return &r.curvature;
        case kVarConic:
            return &r.conic;
        case kVarThickness:
            return &r.thickness;
        case kVarAperture:
            return &r.aperture_radius;
        case kVarXCurvature:
            return &r.x_curvature;
        default:
            break;
    }
    if (type >= kVarAsphereFirst && type <= kVarAsphereLast) return asphere_coefficient(s, type);
    if ((type == kVarGrinGoz || type == kVarGrinGmz) && r.grin != nullptr &&
        r.grin->kind == kGrinKindGrd) {
        return type == kVarGrinGoz ? &r.grin->goz : &r.grin->gmz;
    }
    if (type >= kVarDecentreFirst && type <= kVarDecentreLast) return decentre_field(s, type);
    return nullptr;
}

bool duplicate_of(int number, int surface, int type, int item) {
    const OptimiseTables& t = optimise_tables();
    for (int i = 0; i <= t.highest_variable; ++i) {
        if (i == number) continue;
        const Variable& v = t.variables[i];
        if (v.surface == surface && v.type == type && v.item == item && v.configuration == 0) {
            return true;
        }
    }
    return false;
}

void update_bound_state(Variable& v) {
    v.bound_state = v.lower < v.upper ? 1 : 0;
}

void print_number_cell(double value) {
    text_out(" ");
    text_number(value);
}

}  // namespace

bool variable_type_itemised(int type) {
    return type == kVarAsphereItem || type == kVarDiffractiveItem || type == kVarZernikeItem ||
           type == kVarAsphereTerm || type == kVarSplineSlope || type == kVarGrinGnz ||
           (type >= kVarGrinFirst && type <= kVarGrinLast);
}

bool variable_type_known(int type) {
    return type == kVarCurvature || type == kVarConic || type == kVarThickness ||
           type == kVarAperture || type == kVarIndex || type == kVarDispersion ||
           type == kVarXCurvature || (type >= kVarAsphereFirst && type <= kVarAsphereLast) ||
           (type >= kVarDecentreFirst && type <= kVarDecentreLast) || type == kVarGrinGoz ||
           type == kVarGrinGmz || variable_type_itemised(type);
}

bool is_variable_item_invalid(int type, int item, int s) {
    if (!variable_type_itemised(type)) return false;
    if (!surface_in_lens(s)) return true;
    const SurfaceRecord& r = surface(s);
    switch (type) {
        case kVarAsphereItem:
            return r.asphere == nullptr || r.asphere->entered == nullptr || item < 0 ||
                   item >= r.asphere->entered_count;
        case kVarAsphereTerm:
            return r.asphere == nullptr || r.asphere->entered == nullptr ||
                   asphere_term_place(*r.asphere, item) < 0;
        case kVarDiffractiveItem:
        case kVarZernikeItem: {
            const DiffractiveRecord* d = r.diffractive;
            if (d == nullptr || d->entered == nullptr || item < 0 || item >= d->entered_count) {
                return true;
            }
            return polynomial_diffractive(*d) != (type == kVarDiffractiveItem);
        }
        case kVarSplineSlope:
            return r.spline == nullptr || r.spline->slope == nullptr || item < 0 ||
                   item >= r.spline->count;
        case kVarGrinGnz:
            return r.grin == nullptr || r.grin->kind != kGrinKindGrd || item < 0 ||
                   item >= kGrinGnzTerms;
        default:
            if (type >= kVarGrinFirst && type <= kVarGrinLast) {
                return !grin_row_used(r, item) || type - kVarGrinFirst >= max_wavelengths();
            }
            return false;
    }
}

bool variable_type_offered(int type, int s) {
    if (!surface_in_lens(s) || !variable_type_known(type)) return false;
    const SurfaceRecord& r = surface(s);
    const bool curvature_free =
        r.curvature_kind == kCurvaturePlain || r.curvature_kind == kCurvatureFixedRtf;
    const bool curvature_picked =
        r.curvature_kind == kCurvaturePickup || r.curvature_kind == kCurvaturePickupNegated;
    switch (type) {
        case kVarCurvature:
            return curvature_free;
        case kVarConic:
            return !curvature_picked;
        case kVarThickness:
            return r.thickness_kind == kThicknessPlain;
        case kVarAperture:
            return r.aperture_kind == kApertureFixedValue;
        case kVarIndex:
            return model_glass_of(s) != nullptr;
        case kVarDispersion:
            return model_glass_of(s) != nullptr && lens_data().wavelength_count >= 3;
        case kVarXCurvature:
            return r.toric != 0 && !curvature_picked;
        case kVarAsphereItem:
        case kVarAsphereTerm:
            return r.asphere != nullptr && r.asphere->entered_count > 0 &&
                   (type == kVarAsphereItem || asphere_term_place(*r.asphere, 4) >= 0 ||
                    asphere_term_place(*r.asphere, 3) >= 0);
        case kVarDiffractiveItem:
        case kVarZernikeItem:
            return r.diffractive != nullptr && r.diffractive->entered_count > 0 &&
                   r.diffractive->pickup_source == 0 &&
                   polynomial_diffractive(*r.diffractive) == (type == kVarDiffractiveItem);
        default:
            if (type >= kVarGrinFirst && type <= kVarGrinLast) {
                for (int row = 0; row < kGrinCoefficientRows; ++row) {
                    if (!is_variable_item_invalid(type, row, s)) return true;
                }
                return false;
            }
            return variable_address(type, s, 0) != nullptr;
    }
}

void split_variable_code(int code, int* type, int* item) {
    *type = code > kItemisedTypeCode ? code / kItemisedTypeCode : code;
    *item = code > kItemisedTypeCode ? code % kItemisedTypeCode : 0;
}

std::vector<int> offered_variable_type_entries() {
    const int at = optimise_tables().type_filter_surface;
    const int s = at >= 0 ? at : lens_data().current_surface;
    std::vector<int> entries;
    select_table_value_list(kListVariableTypes);
    for (int i = 0; i < value_list_count(); ++i) {
        const char* second = value_list_second(i);
        if (second != nullptr && variable_type_offered(std::atoi(second), s)) entries.push_back(i);
    }
    clear_value_list();
    return entries;
}

double get_variable_value(int type, int surface, int item) {
    if (type == kVarIndex) return surface_in_lens(surface) ? lens_index(surface, 0) : 0.0;
    if (type == kVarDispersion) return surface_in_lens(surface) ? medium_dispersion(surface) : 0.0;
    const double* p = variable_address(type, surface, item);
    return p != nullptr ? *p : 0.0;
}

void set_variable_value(const Variable& v, double value) {
    if (!surface_in_lens(v.surface)) return;
    if (v.type == kVarIndex) return set_medium_index(v.surface, value);
    if (v.type == kVarDispersion) return set_medium_dispersion(v.surface, value);
    double* p = variable_address(v.type, v.surface, v.item);
    if (p == nullptr) return;
    *p = value;
    SurfaceRecord& r = surface(v.surface);
    if ((v.type >= kVarAsphereFirst && v.type <= kVarAsphereLast) || v.type == kVarAsphereItem ||
        v.type == kVarAsphereTerm) {
        r.asphere->changed = 1;
    } else if (v.type == kVarDiffractiveItem || v.type == kVarZernikeItem) {
        r.diffractive->changed = 1;
    } else if (v.type == kVarSplineSlope) {
        r.spline->changed = 1;
    } else if (v.type == kVarGrinGnz || v.type == kVarGrinGoz || v.type == kVarGrinGmz ||
               (v.type >= kVarGrinFirst && v.type <= kVarGrinLast)) {
        lens_flags().materials_changed = 1;
    }
}

int define_variable(int action, int number, int surface, int configuration, int type, double lower,
                    double upper, double damping, double increment, bool print) {
    OptimiseTables& t = optimise_tables();
    int item = 0;
    if (type > kItemisedTypeCode) {
        item = type % kItemisedTypeCode;
        type /= kItemisedTypeCode;
        if (!variable_type_itemised(type)) return kMsgVariableTypeUnknown;
    } else if (variable_type_itemised(type)) {
        return kMsgVariableTypeUnknown;  // an itemised type names its item
    }
    if (!variable_type_known(type)) return kMsgVariableTypeUnknown;
    if (!surface_in_lens(surface))
        return set_error_msg(kMsgVariableSurfaceRange, lens_data().image_surface);
    // The lens holds its configurations' count; a variable names one of them or 0 (all).
    const int configurations = std::max(1, lens_data().configuration_count);
    if (configuration < 0 || configuration > configurations) {
        return set_error_msg(kMsgVariableConfigurationRange, configurations);
    }
    if (is_variable_item_invalid(type, item, surface)) {
        return set_error_msg(kMsgVariableItemInvalid, item, surface);
    }
    if (number < 0) return kMsgNoSuchVariable;
    // A number past the end means the next variable.
    if (number > t.highest_variable + 1) number = t.highest_variable + 1;
    const bool insert = action == 3 || number > t.highest_variable;
    if (insert) {
        if (t.highest_variable + 1 >= static_cast<int>(t.variables.size())) {
            return kMsgVariableTableFull;
        }
        if (duplicate_of(-1, surface, type, item)) return kMsgDuplicateVariable;
        for (int i = t.highest_variable + 1; i > number; --i) {
            t.variables[i] = t.variables[i - 1];
            t.last_steps[i] = t.last_steps[i - 1];
        }
        t.variables[number] = Variable{};
        t.last_steps[number] = 0.0;
        ++t.highest_variable;
        if (number < t.highest_variable && print) print_msg(kMsgInsertedBefore);
    } else if (duplicate_of(number, surface, type, item)) {
        return kMsgDuplicateVariable;
    }
    Variable& v = t.variables[number];
    v = Variable{};
    v.surface = static_cast<std::uint16_t>(surface);
    v.type = static_cast<std::uint16_t>(type);
    v.item = static_cast<std::uint16_t>(item);
    v.configuration = static_cast<std::int16_t>(configuration);
    set_type_name(v);
    v.lower = lower;
    v.upper = upper;
    update_bound_state(v);
    v.damping_weight = damping;
    set_variable_attribute(number, 8, increment);
    v.value = get_variable_value(v.type, v.surface, v.item);
    sort_variables();
    if (print) print_variable_line(number, -1);
    return 0;
}

int delete_variable(int number) {
    OptimiseTables& t = optimise_tables();
    if (variable_at(number) == nullptr) return kMsgNoSuchVariable;
    for (int i = number; i < t.highest_variable; ++i) {
        t.variables[i] = t.variables[i + 1];
        t.last_steps[i] = t.last_steps[i + 1];
    }
    t.variables[t.highest_variable] = Variable{};
    --t.highest_variable;
    sort_variables();
    return 0;
}

int set_variable_attribute(int number, int action, double value) {
    Variable* v = variable_at(number);
    if (v == nullptr) return kMsgNoSuchVariable;
    const OptimiseParams* params = lens_data().optimise_params;
    switch (action) {
        case 4: {
            const double old = get_variable_value(v->type, v->surface, v->item);
            set_variable_value(*v, value);
            const int rc = lens_setup(0);
            if (rc != 0) {
                set_variable_value(*v, old);
                lens_setup(0);
                return rc;
            }
            update_bound_state(*v);
            return 0;
        }
        case 5:
            v->lower = value;
            update_bound_state(*v);
            return 0;
        case 6:
            v->upper = value;
            update_bound_state(*v);
            return 0;
        case 7:
            v->damping_weight = value;
            return 0;
        case 8: {
            v->increment = value;
            if (value == 0.0 && params != nullptr && params->derivative_increment != 0.0) {
                v->increment = params->automatic_increments != 0 ? auto_derivative_increment(*v)
                                                                 : params->derivative_increment;
            }
            return 0;
        }
        default:
            return kMsgNoSuchVariable;
    }
}

void check_variable_bounds(Variable& v) {
    if (v.bound_state == 0) return;
    v.violation = 0.0;
    v.bound_state = 1;
    const double x = get_variable_value(v.type, v.surface, v.item);
    if (v.lower - x > 0.0) {
        v.violation = v.lower - x;
    } else if (v.upper - x < 0.0) {
        v.violation = v.upper - x;
    } else {
        return;
    }
    v.bound_state = -1;
    optimise_tables().error.bound_violated = true;
}

double derivative_step(double increment, double value) {
    if (increment != 0.0) return std::fabs(increment);
    if (std::fabs(value) > 1e-6) return kRelativeStep * std::fabs(value);
    return kSmallestStep;
}

namespace {

// The total degree of the k-th term of a polynomial in x and y in triangular order.
int xy_term_order(int k) {
    return static_cast<int>(std::floor(std::sqrt(8.0 * k + 1.0) / 2.0 - 0.5));
}

// The order (power of the aperture radius) of the term an item of the surface's asphere record
// addresses: entered coefficient k is the r^2k term of a series, the r^k term of a radial form,
// and a term of total degree n of an XY polynomial. -1 for the forms the step is not scaled for.
int asphere_item_order(const AsphereRecord& a, int item) {
    switch (a.kind) {
        case kAsphereSeries:
            return 2 * item;
        case kAsphereXy:
        case kAsphereAbsXy:
            return xy_term_order(item);
        case kAsphereRadial:
            return item;
        default:
            return -1;
    }
}

// The same for a coefficient of a polynomial diffractive surface (kinds 0 to 3).
int diffractive_item_order(const DiffractiveRecord& d, int item) {
    switch (d.kind) {
        case 0:
            return 2 * item;
        case 1:
        case 3:
            return xy_term_order(item);
        case 2:
            return item;
        default:
            return -1;
    }
}

// |n - n'| across surface s at the first wavelength; 0.5 where there is no step to take.
double index_step(int s) {
    constexpr double kNoStep = 0.5;
    const LensData& l = lens_data();
    if (s <= 0 || s >= l.image_surface) return kNoStep;
    const SurfaceRecord& before = surface(s - 1);
    const SurfaceRecord& after = surface(s);
    if (before.index == nullptr || after.index == nullptr) return kNoStep;
    const double t = std::fabs(after.index[0] - before.index[0]);
    return t < kOptimiseZero ? kNoStep : t;
}

double two_significant_digits(double x) {
    if (!(std::fabs(x) > 0.0) || !std::isfinite(x)) return x;
    const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(x))) - 1.0);
    return std::round(x / unit) * unit;
}

}  // namespace

double auto_derivative_increment(const Variable& v) {
    const LensData& l = lens_data();
    const double b = l.entrance_beam_radius > kOptimiseZero ? l.entrance_beam_radius : 1.0;
    const double fallback =
        l.optimise_params != nullptr ? l.optimise_params->derivative_increment : kDefaultIncrement;
    switch (v.type) {
        case kVarCurvature:
        case kVarXCurvature:
            return 0.0001 / b;
        case kVarConic:
            return 0.0001;
        case kVarThickness:
            return 0.0001 * b;
        case kVarIndex:
        case kVarDispersion:
            return 0.001;
        default:
            break;
    }
    // A coefficient moves the wavefront at the rim by about a ten-thousandth of a wavelength:
    // q / (r^k t) for a term of order k, with q the first wavelength in lens units over 10^4.
    if (!surface_in_lens(v.surface)) return fallback;
    const SurfaceRecord& r = surface(v.surface);
    const double units = l.units > kOptimiseZero ? l.units : 1.0;
    const double lambda = l.wavelength_count > 0 && l.wavelengths != nullptr
                              ? l.wavelengths[0].wavelength
                              : kDefaultWavelength;
    const double q = lambda * 0.0001 / units;
    const double radius = r.aperture_radius > kOptimiseZero ? r.aperture_radius : b;
    int order = -1;
    double step = q / index_step(v.surface);
    if (v.type >= kVarAsphereFirst && v.type <= kVarAsphereLast) {
        order = 2 * (v.type - kVarAsphereFirst) + 4;  // AD is the r^4 term
    } else if (v.type == kVarAsphereItem && r.asphere != nullptr) {
        order = asphere_item_order(*r.asphere, v.item);
    } else if (v.type == kVarAsphereTerm) {
        order = v.item;
    } else if (v.type == kVarDiffractiveItem && r.diffractive != nullptr) {
        // A diffractive phase is measured in its own design wavelength, with no index step.
        order = diffractive_item_order(*r.diffractive, v.item);
        step = r.diffractive->design_wavelength * 0.0001 / units;
    }
    if (order < 0) return fallback;
    return two_significant_digits(step / std::pow(radius, order));
}

void fill_zero_increments() {
    OptimiseTables& t = optimise_tables();
    const OptimiseParams* params = lens_data().optimise_params;
    for (int i = 0; i <= t.highest_variable; ++i) {
        Variable& v = t.variables[i];
        if (v.increment != 0.0) continue;
        if (params == nullptr || params->derivative_increment == 0.0) {
            v.increment = kDefaultIncrement;
        } else if (params->automatic_increments == 0) {
            v.increment = params->derivative_increment;
        } else {
            v.increment = auto_derivative_increment(v);
        }
    }
}

void sort_variables() {
    OptimiseTables& t = optimise_tables();
    const int n = t.highest_variable + 1;
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) order[i] = i;
    // By configuration, then surface; at one surface an index variable first.
    const auto before = [&t](int a, int b) {
        const Variable& x = t.variables[a];
        const Variable& y = t.variables[b];
        if (x.configuration != y.configuration) return x.configuration < y.configuration;
        if (x.surface != y.surface) return x.surface < y.surface;
        return x.type == kVarIndex && y.type != kVarIndex;
    };
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            if (before(order[b], order[a])) std::swap(order[a], order[b]);
        }
    }
    t.sorted_head = n > 0 ? order[0] : -1;
    for (int a = 0; a < n; ++a) {
        t.variables[order[a]].next = static_cast<std::int16_t>(a + 1 < n ? order[a + 1] : -1);
    }
    if (get_setting_flag(kSetStepMode) != 0 && n > 0) {
        text_printf("Sorted variables:\n");
        for (int at = t.sorted_head; at >= 0; at = t.variables[at].next) {
            const Variable& v = t.variables[at];
            text_printf("  v# = %3d  cfg = %3d  sn = %2d  typ = %2d\n", at + 1, v.configuration,
                        v.surface, v.type);
        }
    }
}

void print_variable_line(int number, int mode) {
    Variable* v = variable_at(number);
    if (v == nullptr) return;
    const OptimiseTables& t = optimise_tables();
    text_printf("V %-2d %3d", number + 1, v->surface);
    if (v->configuration == 0 && get_setting_flag(kSetPrintZero) == 0) {
        text_out("   -");
    } else {
        text_printf(" %3d", v->configuration);
    }
    const std::size_t length = std::strlen(v->type_name);
    if (length <= 4) {
        text_printf("  %-4s", v->type_name);
    } else if (length == 5) {
        text_printf(" %-5s", v->type_name);
    } else {
        text_printf("%s", v->type_name);
    }
    const double x = get_variable_value(v->type, v->surface, v->item);
    if (mode == -1) {
        check_variable_bounds(*v);
        print_number_cell(v->lower);
        print_number_cell(v->upper);
        print_number_cell(v->damping_weight);
        if (v->increment == 0.0) {
            print_number_cell(derivative_step(0.0, x));
            text_out("*");
        } else {
            print_number_cell(v->increment);
        }
        print_number_cell(x);
        if (v->bound_state == -1) text_out("*");
    } else {
        print_number_cell(t.last_steps[number]);
    }
    text_newline();
}

void store_variable_values() {
    OptimiseTables& t = optimise_tables();
    t.error.has_bounds = false;
    for (int i = 0; i <= t.highest_variable; ++i) {
        Variable& v = t.variables[i];
        if (v.bound_state != 0) {
            t.error.has_bounds = true;
            check_variable_bounds(v);
        }
        v.value = get_variable_value(v.type, v.surface, v.item);
    }
}

void write_variables() {
    const OptimiseTables& t = optimise_tables();
    if (t.highest_variable < 0) return;
    write_lens_line("VAR NEW");
    for (int i = 0; i <= t.highest_variable; ++i) {
        const Variable& v = t.variables[i];
        char line[200];
        std::snprintf(line, sizeof line, "V %d %d %d %s %.12g %.12g %.12g %.12g", i + 1, v.surface,
                      v.configuration, v.type_name, v.lower, v.upper, v.damping_weight,
                      v.increment);
        write_lens_line(line);
    }
    write_lens_line("END");
}

namespace {

int link_highest_variable() {
    return optimise_tables().highest_variable;
}

OptimiseVariableRef link_variable_at(int index) {
    const Variable* v = variable_at(index);
    if (v == nullptr) return {0, 0, 0};
    return {v->type, v->surface, v->configuration};
}

void link_surface_inserted(int s) {
    OptimiseTables& t = optimise_tables();
    for (int i = 0; i <= t.highest_variable; ++i) {
        if (t.variables[i].surface >= s) ++t.variables[i].surface;
    }
}

void link_surface_deleted(int s) {
    OptimiseTables& t = optimise_tables();
    for (int i = t.highest_variable; i >= 0; --i) {
        if (t.variables[i].surface == s) {
            delete_variable(i);
        } else if (t.variables[i].surface > s) {
            --t.variables[i].surface;
        }
    }
    sort_variables();
    // A deleted surface changes what the operand command measures: compile again.
    t.chain_compiled = false;
}

void link_new_lens() {
    clear_optimise_tables();
    free_tolerance_results();
}

int link_current_configuration() {
    return 1;
}

void link_set_configuration(int) {}

void link_after_lens_read() {
    store_variable_values();
}

// The gap after a surface: thickness, the medium's index and dispersion, gradient-index terms.
bool is_gap_type(int type) {
    return type == kVarThickness || type == kVarIndex || type == kVarDispersion ||
           (type >= kVarGrinFirst && type <= kVarGrinGmz) || type == kVarGrinGnz;
}

void link_surfaces_reversed(int a, int b) {
    OptimiseTables& t = optimise_tables();
    for (int i = 0; i <= t.highest_variable; ++i) {
        Variable& v = t.variables[i];
        if (v.surface < a || v.surface > b) continue;
        int s = a + b - v.surface;
        if (is_gap_type(v.type)) s = s == a ? b : s - 1;
        v.surface = static_cast<std::uint16_t>(s);
    }
    sort_variables();
}

void link_image_surface_changed() {
    optimise_tables().chain_compiled = false;
}

int link_current_variable_entry() {
    return optimise_tables().highest_variable + 2;
}

constexpr OptimiseLinks make_links() {
    OptimiseLinks links{};
    links.highest_variable = link_highest_variable;
    links.variable_at = link_variable_at;
    links.surface_inserted = link_surface_inserted;
    links.surface_deleted = link_surface_deleted;
    links.new_lens = link_new_lens;
    links.fill_derivative_increments = fill_zero_increments;
    links.current_variable_entry = link_current_variable_entry;
    links.surfaces_reversed = link_surfaces_reversed;
    links.image_surface_changed = link_image_surface_changed;
    return links;
}

// Built at compile time, so that it is a constant table for every compiler.
constexpr OptimiseLinks kLinks = make_links();

const OptimiseFileLinks kFileLinks = {
    write_variables,        write_operands,       link_current_configuration,
    link_set_configuration, link_after_lens_read,
};

}  // namespace

void install_optimise_links() {
    set_optimise_links(&kLinks);
    set_optimise_file_links(&kFileLinks);
}
