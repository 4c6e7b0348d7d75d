#include "lens/surface_setters.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lens/glass_cache.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_materials.h"
#include "lens/surface_pickups.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"

namespace {

MediumEntrySource g_medium_source = {nullptr, nullptr};

constexpr int kPromptModelIndex = 759;
constexpr int kPromptAbbeNumber = 763;
constexpr int kPromptAbbeTwoWavelengths = 764;
// The switch, the name and the 24 values of a GLA line: a value is read only from a cell the
// command filled.
constexpr int kMediumArgumentCells = 26;
constexpr int kLargestCoefficientOrder = 20;
// Counts are 16-bit words of the records; larger requests are refused, never wrapped.
constexpr int kMaxCoefficientCount = 32767;
constexpr int kNoAsphereForm = -100000;  // an asphere kind that has no stored form

int argument_value(int cell, double* value) {
    if (g_medium_source.argument == nullptr || cell >= kMediumArgumentCells) return 0;
    return g_medium_source.argument(cell, value);
}

int prompt_value(int param, double* value) {
    if (g_medium_source.prompt == nullptr) return kStopped;
    return g_medium_source.prompt(param, value);
}

bool is_curvature_pickup(const SurfaceRecord& s) {
    return s.curvature_kind == kCurvaturePickup || s.curvature_kind == kCurvaturePickupNegated;
}

double catalog_glass_tce(const char* padded) {
    int cached = find_cached_glass(padded, CachedGlass::kCatalogue);
    if (cached >= 0) return glass_cache().entries[cached].tce;
    int catalog = 0;
    std::int32_t position = find_glass(padded, catalog);
    if (position < 0) return 0.0;
    GlassData glass = {};
    if (read_glass_data(position, catalog, glass) != 0) return 0.0;
    return glass.tce;
}

// The model-glass entry of this name: reused when there is one, else a new one at the end.
// Its index, wavelength and defining arrays are ready on success; -9998 or -353 otherwise.
int model_glass_entry(const char* padded, GlassData** out) {
    GlassCache& cache = glass_cache();
    if (cache.entries == nullptr) return set_error_msg(kMsgGlassCacheFull);
    int found = find_cached_glass(padded, CachedGlass::kModel);
    const auto capacity = static_cast<std::size_t>(max_wavelengths());
    auto* wavelengths = alloc_array_of<double>(capacity + 1);
    auto* indices = alloc_array_of<double>(capacity);
    if (wavelengths == nullptr || indices == nullptr) {
        mem_free(wavelengths);
        mem_free(indices);
        return kMsgNoSpecialDataMemory;
    }
    if (found < 0) {
        if (cache.count >= cache.capacity && grow_glass_cache() == 0) {
            mem_free(wavelengths);
            mem_free(indices);
            return set_error_msg(kMsgGlassCacheFull);
        }
        found = cache.count++;
        std::memcpy(cache.entries[found].name, padded, kGlassNameLength + 1);
    }
    GlassData& entry = cache.entries[found];
    mem_free(entry.model_wavelengths);
    mem_free(entry.model_indices);
    entry.model_wavelengths = wavelengths;
    entry.model_indices = indices;
    entry.dispersion_kind = kDispersionModelGlass;
    *out = &entry;
    return 0;
}

bool is_model_medium(int kind) {
    return kind == kMediumModelGlass || kind == kMediumModelIndexAbbe ||
           kind == kMediumModelGlassComputed || kind == kMediumModelIndexAbbeComputed;
}

// Another surface than n takes its indices from the model glass of this name.
bool model_glass_named_elsewhere(int n, const char* padded) {
    for (int k = 0; k <= lens_data().image_surface; ++k) {
        const SurfaceRecord& other = surface(k);
        if (k != n && is_model_medium(other.medium_kind) &&
            std::memcmp(other.medium_name, padded, kMediumNameLength) == 0) {
            return true;
        }
    }
    return false;
}

// A name for a new model glass of surface n: GLASS<n>, then GLASS<n>A to GLASS<n>Z, skipping
// the names that other surfaces or the catalogues hold. False when all are taken.
bool free_model_glass_name(int n, char (&padded)[kGlassNameLength + 1]) {
    for (int suffix = 0; suffix <= 26; ++suffix) {
        std::string name = "GLASS" + std::to_string(n);
        if (suffix > 0) name += static_cast<char>('A' + suffix - 1);
        pad_glass_name(name.c_str(), padded);
        int catalog = 0;
        if (!model_glass_named_elsewhere(n, padded) &&
            find_cached_glass(padded, CachedGlass::kCatalogue) < 0 &&
            find_glass(padded, catalog) < 0) {
            return true;
        }
    }
    return false;
}

// Blocks of special data: the header and then the working and entered arrays of n doubles.
template <typename Record>
Record* alloc_coefficient_block(int n) {
    std::size_t bytes = sizeof(Record) + 2 * static_cast<std::size_t>(n) * sizeof(double);
    auto* record = static_cast<Record*>(mem_alloc(bytes));
    if (record == nullptr) return nullptr;
    auto* arrays =
        reinterpret_cast<double*>(reinterpret_cast<unsigned char*>(record) + sizeof(Record));
    record->working = arrays;
    record->entered = arrays + n;
    record->working_count = static_cast<std::int16_t>(n);
    record->entered_count = static_cast<std::int16_t>(n);
    return record;
}

int asphere_count(SurfaceRecord& s, int kind, int order, int* sub_kind) {
    switch (kind) {
        case kAsphereEven:
        case kAsphereSeries:
            return order == 0 ? 6 : order / 2 + 1;
        case kAsphereOdd:
            return order < 3 ? 8 : order - 2;
        case kAsphereCone:
            s.curvature = s.conic = s.x_curvature = s.x_conic = 0.0;
            s.toric = 0;
            if (order == 0) return 1;
            return order < 3 ? 9 : order - 1;
        case kAsphereZernike:
            if (order < 0 || order > kLargestCoefficientOrder) {
                msg_box(kMsgTooManyCoefficients, kLargestCoefficientOrder);
                return kLargestCoefficientOrder + 1;
            }
            return order + 1;
        case kAsphereRadial:
            return order == 0 ? 11 : order + 1;
        case kAsphereBiconicPairs: {
            s.toric = 0;
            const int form = order / 1000;
            const int sub = order % 1000;
            *sub_kind = form;
            if (form == kAsphereEven) return 6;
            if (sub < 1) return 0;
            if (form == kAsphereSeries) return sub / 2 + 1;
            if (form == kAsphereOdd) return sub < 3 ? 8 : sub - 2;
            if (form == kAsphereZernike) return sub >= 21 ? 21 : sub + 1;
            if (form == kAsphereRadial) return sub + 1;
            return 0;
        }
        default:
            return kNoAsphereForm;
    }
}

}  // namespace

void set_medium_entry_source(const MediumEntrySource* source) {
    g_medium_source = source != nullptr ? *source : MediumEntrySource{nullptr, nullptr};
}

void set_curvature_data(int n, std::uint8_t kind, std::int16_t source, double solve_value,
                        double curvature) {
    SurfaceRecord& s = surface(n);
    s.curvature_kind = kind;
    s.curvature_source = source;
    if (kind == kCurvaturePlain || kind == kCurvatureFixed || kind == kCurvatureFixedRtf) {
        s.curvature = curvature;
    }
    if (kind != kCurvaturePlain) s.curvature_solve_value = solve_value;
}

void set_thickness_data(int n, std::uint8_t kind, std::int16_t source1, std::int16_t source2,
                        double value1, double value2, double thickness) {
    SurfaceRecord& s = surface(n);
    s.thickness_kind = kind;
    s.thickness_source = source1;
    s.thickness_source2 = source2;
    if (kind == kThicknessPlain || kind == kThicknessFixed) s.thickness = thickness;
    if (kind != kThicknessPlain) s.thickness_solve_value = value1;
    if (kind == kThicknessEdge) s.thickness_solve_value2 = value2;
}

void set_conic_constant(int n, double conic) {
    // A pickup takes over the source's conic as well, so a conic of its own ends the pickup.
    if (is_curvature_pickup(surface(n))) clear_curvature_pickup(n);
    surface(n).conic = conic;
}

void set_aperture_data(int n, std::uint8_t kind, std::int16_t source, double radius) {
    SurfaceRecord& s = surface(n);
    s.aperture_kind = kind;
    s.aperture_source = source;
    s.aperture_radius = std::fabs(radius);
}

int set_surface_medium(int n, int kind, const char* name, std::int16_t source) {
    SurfaceRecord& s = surface(n);
    int variable = 0;
    if (test_state_flag(kFlagSingleCommandUpdate) == 0 && find_glass_variable(n, &variable)) {
        return set_error_msg(kMsgGlassIsVariable, n);
    }
    pad_glass_name(name != nullptr ? name : "", s.medium_name);
    for (int i = 0; i < kMediumNameLength; ++i) {
        s.medium_name[i] =
            static_cast<char>(std::toupper(static_cast<unsigned char>(s.medium_name[i])));
    }
    s.medium_kind = static_cast<std::uint8_t>(kind);
    s.medium_source = source;
    lens_flags().materials_changed = 1;

    if (kind == kMediumModelGlass || kind == kMediumModelIndexAbbe) {
        GlassData* entry = nullptr;
        if (int rc = model_glass_entry(s.medium_name, &entry); rc != 0) {
            s.medium_tce = 0.0;
            return rc;
        }
        const LensData& l = lens_data();
        const int count = l.wavelength_count;
        entry->model_wavelengths[count] = 0.0;
        int prompt_result = 0;
        auto lens_wavelength = [&](int i) { return i < count ? l.wavelengths[i].wavelength : 0.0; };
        for (int i = 0; i < count; ++i) {
            double w = 0.0;
            double v = 0.0;
            double given = 0.0;
            int cell = argument_value(i + 2, &given);
            if (cell != 0) {
                w = lens_wavelength(i);
                v = cell == 1 ? given : 1.0;
            } else if (i == 0 && kind == kMediumModelGlass) {
                w = lens_wavelength(0);
                v = 1.0;
            } else if (i == 0) {
                int rc = prompt_value(kPromptModelIndex, &v);
                if (rc == 0) {
                    w = lens_wavelength(0);
                } else {
                    v = 1.0;
                    prompt_result = rc;
                }
            } else if (i == 1 && kind == kMediumModelIndexAbbe) {
                int param = count == 2 ? kPromptAbbeTwoWavelengths : kPromptAbbeNumber;
                int rc = prompt_value(param, &v);
                if (rc == 0) {
                    w = lens_wavelength(1);
                } else {
                    v = 1.0;
                    prompt_result = rc;
                }
            } else if (i == 2 && kind == kMediumModelIndexAbbe) {
                w = lens_wavelength(2);
                v = 0.0;
            } else {
                v = kind == kMediumModelGlass ? 1.0 : 0.0;
            }
            entry->model_wavelengths[i] = w;
            entry->model_indices[i] = v;
            entry->index[i] = v;
        }
        if (prompt_result != 0) {
            s.medium_tce = 0.0;
            return prompt_result;
        }
        // The index and Abbe number as given: the indices derived from them replace the
        // second value, and the lens file writes the glass by these two again.
        if (kind == kMediumModelIndexAbbe) {
            entry->dispersion[0] = entry->model_indices[0];
            entry->dispersion[1] = count > 1 ? entry->model_indices[1] : 0.0;
        }
    }

    switch (kind) {
        case kMediumAir:
        case kMediumAirFixed:
            s.medium_tce = n == 0 ? 0.0 : kAirTce;
            break;
        case kMediumGlass:
        case kMediumGlassFixed:
            s.medium_tce = catalog_glass_tce(s.medium_name);
            break;
        case kMediumMirror:
            s.medium_tce = n > 0 ? surface(n - 1).medium_tce : 0.0;
            break;
        case kMediumPickup:
            s.medium_tce = source >= 0 && source <= lens_data().image_surface
                               ? surface(source).medium_tce
                               : 0.0;
            break;
        default:
            s.medium_tce = 0.0;
            break;
    }
    return 0;
}

int alloc_asphere_record(int n, int kind, int order) {
    SurfaceRecord& s = surface(n);
    int sub_kind = 0;
    const int count = asphere_count(s, kind, order, &sub_kind);
    if (count == kNoAsphereForm) {
        mem_free(s.asphere);
        s.asphere = nullptr;
        return 0;
    }
    if (count > kMaxCoefficientCount)
        return set_error_msg(kMsgTooManyCoefficients, kMaxCoefficientCount);
    const int n_entries = count < 0 ? 0 : count;
    AsphereRecord* old = s.asphere;
    AsphereRecord* record = alloc_coefficient_block<AsphereRecord>(n_entries);
    if (old != nullptr && old->kind == kind) {
        if (record == nullptr) return kMsgOutOfMemory;
        const int keep = old->entered_count < n_entries ? old->entered_count : n_entries;
        for (int i = 0; i < keep; ++i) record->entered[i] = old->entered[i];
    } else if (record == nullptr) {
        // The old record of another kind would be replaced anyway; without memory it goes.
        mem_free(old);
        s.asphere = nullptr;
        return set_error_msg(kMsgNoSpecialDataMemory);
    }
    record->sub_kind = static_cast<std::uint16_t>(kind == kAsphereBiconicPairs ? sub_kind : 0);
    record->kind = static_cast<std::uint8_t>(kind);
    record->changed = 1;
    mem_free(old);
    s.asphere = record;
    lens_flags().bounds_stale = 1;
    return 0;
}

int make_model_glass_own(int n) {
    SurfaceRecord& s = surface(n);
    int variable = 0;
    if (find_glass_variable(n, &variable)) return set_error_msg(kMsgGlassIsVariable, n);
    const LensData& l = lens_data();
    const int count = std::clamp(l.wavelength_count, 0, max_wavelengths());
    std::vector<double> values(static_cast<std::size_t>(count), 1.0);
    for (int w = 0; w < count && s.index != nullptr; ++w) values[w] = s.index[w];

    const bool own =
        is_model_medium(s.medium_kind) && !model_glass_named_elsewhere(n, s.medium_name);
    if (own && (s.medium_kind == kMediumModelGlass || s.medium_kind == kMediumModelGlassComputed)) {
        // Already defined at the lens wavelengths: a store needs nothing more.
        const int cached = find_cached_glass(s.medium_name, CachedGlass::kModel);
        const GlassData* g = cached >= 0 ? &glass_cache().entries[cached] : nullptr;
        bool defined_here = g != nullptr && g->model_wavelengths != nullptr &&
                            g->model_indices != nullptr && g->index == s.index &&
                            (count == max_wavelengths() || g->model_wavelengths[count] <= 0.0);
        for (int w = 0; w < count && defined_here; ++w) {
            defined_here = g->model_wavelengths[w] == l.wavelengths[w].wavelength;
        }
        if (defined_here) return 0;
    }
    char padded[kGlassNameLength + 1];
    if (own) {
        std::memcpy(padded, s.medium_name, kGlassNameLength);
        padded[kGlassNameLength] = '\0';
    } else if (!free_model_glass_name(n, padded)) {
        return set_error_msg(kMsgGlassCacheFull);
    }
    GlassData* entry = nullptr;
    if (const int rc = model_glass_entry(padded, &entry); rc != 0) return rc;
    for (int w = 0; w < count; ++w) {
        entry->model_wavelengths[w] = l.wavelengths[w].wavelength;
        entry->model_indices[w] = values[w];
        entry->index[w] = values[w];
    }
    entry->model_wavelengths[count] = 0.0;
    entry->thermal_kind = kThermalNone;
    entry->table_flag = 0;
    std::memcpy(s.medium_name, padded, kMediumNameLength + 1);
    s.medium_kind = kMediumModelGlass;
    s.medium_source = 0;
    s.index = entry->index;
    s.medium_work[kMediumDefiningValues] = entry->model_indices;
    s.medium_work[kMediumTableValues] = nullptr;
    lens_flags().materials_changed = 1;
    return 0;
}

void set_polynomial_asphere_term(int n, int order, double value) {
    SurfaceRecord& s = surface(n);
    if (is_curvature_pickup(s)) clear_curvature_pickup(n);
    if (s.asphere == nullptr ||
        (s.asphere->kind != kAsphereEven && s.asphere->kind != kAsphereBiconicPairs)) {
        if (alloc_asphere_record(n, kAsphereEven, 0) != 0) return;
    }
    AsphereRecord& a = *s.asphere;
    // The terms r^4 to r^10 stand in entries 2 to 5.
    const int entry = order >= 4 && order <= 10 && order % 2 == 0 ? order / 2 : -1;
    if (entry >= 0 && entry < a.entered_count) a.entered[entry] = value;
    a.changed = 1;
}

int alloc_diffractive_record(int n, int kind, int order) {
    if (n < 1) return 0;
    SurfaceRecord& s = surface(n);
    int count = 0;
    int stored_kind = kind;
    switch (kind) {
        case kDiffractiveRadial:
            count = order == 0 ? 6 : order / 2 + 1;
            break;
        case kDiffractiveRadialOdd:
            count = order == 0 ? 11 : order + 1;
            break;
        case kDiffractiveZernike:
            if (order < 0 || order > kLargestCoefficientOrder) {
                msg_box(kMsgTooManyCoefficients, kLargestCoefficientOrder);
                count = kLargestCoefficientOrder + 1;
            } else {
                count = order + 1;
            }
            break;
        default:
            count = 0;
            stored_kind = kDiffractiveRadial;
            break;
    }
    if (count < 0) count = 0;
    if (count > kMaxCoefficientCount)
        return set_error_msg(kMsgTooManyCoefficients, kMaxCoefficientCount);
    DiffractiveRecord* old = s.diffractive;
    DiffractiveRecord* record = alloc_coefficient_block<DiffractiveRecord>(count);
    if (old != nullptr && old->kind == stored_kind) {
        if (record == nullptr) return kMsgOutOfMemory;
        record->pickup_source = old->pickup_source;
        record->zernike_switch = old->zernike_switch;
        std::memcpy(record->kind_text, old->kind_text, sizeof record->kind_text);
        record->design_wavelength = old->design_wavelength;
        const int keep = old->entered_count < count ? old->entered_count : count;
        for (int i = 0; i < keep; ++i) record->entered[i] = old->entered[i];
    } else {
        if (record == nullptr) {
            mem_free(old);
            s.diffractive = nullptr;
            return set_error_msg(kMsgNoSpecialDataMemory);
        }
        record->design_wavelength = lens_data().wavelengths[0].wavelength;
        s.diffraction_order = 1;
        s.diffraction_word = 1;
    }
    record->kind = static_cast<std::uint8_t>(stored_kind);
    record->changed = 1;
    mem_free(old);
    s.diffractive = record;
    lens_flags().bounds_stale = 1;
    return 0;
}

void set_toric_curvature(int n, double x_curvature) {
    SurfaceRecord& s = surface(n);
    if (is_curvature_pickup(s)) clear_curvature_pickup(n);
    s.x_curvature = x_curvature;
    s.toric = s.asphere != nullptr && s.asphere->kind == kAsphereBiconic ? 0 : 1;
}

void remove_toric(int n) {
    SurfaceRecord& s = surface(n);
    if (is_curvature_pickup(s)) clear_curvature_pickup(n);
    s.x_curvature = 0.0;
    s.x_conic = 0.0;
    s.toric = 0;
}
