#include "lens/surface_materials.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/thermal_expansion.h"
#include "runtime/messages.h"

namespace {

std::vector<double> g_fixed_medium;

// The entry that stands in for a model glass whose indices cannot be interpolated: its index
// array holds the defining values. Dispersion kind 4 computes nothing, so refreshing the cache
// keeps those values. Reused from one update to the next instead of adding an entry each time.
int fallback_entry(const char* name) {
    GlassCache& cache = glass_cache();
    for (int i = 1; i < cache.count; ++i) {
        const GlassData& g = cache.entries[i];
        if (g.dispersion_kind == kDispersionKeep &&
            std::memcmp(g.name, name, kGlassNameLength) == 0)
            return i;
    }
    if (cache.count >= cache.capacity && grow_glass_cache() == 0) return -1;
    GlassData& entry = cache.entries[cache.count];
    std::memcpy(entry.name, name, kGlassNameLength);
    entry.name[kGlassNameLength] = '\0';
    mem_free(entry.model_wavelengths);
    mem_free(entry.model_indices);
    entry.model_wavelengths = nullptr;
    entry.model_indices = nullptr;
    mem_free(entry.table_at_wavelengths);
    entry.table_at_wavelengths = nullptr;
    entry.dispersion_kind = kDispersionKeep;
    entry.dispersion_count = 0;
    entry.tce = 0.0;
    return cache.count++;
}

// Model glasses: kinds 0 and 6 given by their indices, 3 and 7 by index and Abbe number.
int update_model_medium(int n, bool from_abbe) {
    SurfaceRecord& s = surface(n);
    const int index = find_cached_glass(s.medium_name, CachedGlass::kModel);
    if (index < 0) {
        msg_box(from_abbe ? kMsgAbbeModelGlassMissing : kMsgModelGlassMissing,
                shown_glass_name(s.medium_name).c_str());
        return kMsgMaterialsFailed;
    }
    const LensWavelengths lens = current_lens_wavelengths();
    if (from_abbe) {
        derive_model_glass_indices(glass_cache().entries[index], lens.wavelengths, lens.count);
    }
    const int computed = model_glass_indices(index, lens);
    if (computed == kMsgOutOfMemory) return kMsgOutOfMemory;
    s.medium_work[kMediumTableValues] = nullptr;
    s.medium_work[kMediumDefiningValues] = glass_cache().entries[index].model_indices;
    if (computed == index) {
        GlassData& entry = glass_cache().entries[index];
        s.index = entry.index;
        if (!from_abbe) s.medium_kind = kMediumModelGlassComputed;
        entry.thermal_kind = kThermalNone;
        entry.table_flag = 0;
        return 0;
    }
    msg_box(kMsgModelGlassFailed, shown_glass_name(s.medium_name).c_str());
    const int fallback = fallback_entry(s.medium_name);
    if (fallback < 0) return kMsgGlassCacheCannotGrow;
    // The cache may have moved while it grew.
    GlassCache& cache = glass_cache();
    const GlassData& model = cache.entries[index];
    GlassData& entry = cache.entries[fallback];
    for (int w = 0; w < cache.max_wavelengths; ++w) {
        entry.index[w] = model.model_indices != nullptr ? model.model_indices[w] : 1.0;
    }
    entry.thermal_kind = kThermalNone;
    entry.table_flag = 0;
    s.index = entry.index;
    s.medium_work[kMediumDefiningValues] = model.model_indices;
    s.medium_kind = from_abbe ? kMediumModelIndexAbbe : kMediumModelGlass;
    return 0;
}

// Takes the medium arrays of surface source.
void take_medium_of(SurfaceRecord& s, int source) {
    const SurfaceRecord& from = surface(source);
    s.index = from.index;
    s.medium_work[kMediumTableValues] = from.medium_work[kMediumTableValues];
    s.medium_work[kMediumTableCompanion] = from.medium_work[kMediumTableCompanion];
}

}  // namespace

double* program_fixed_medium() {
    const auto size = static_cast<std::size_t>(std::max(max_wavelengths(), 1));
    if (g_fixed_medium.size() < size) g_fixed_medium.resize(size, 1.0);
    return g_fixed_medium.data();
}

int glass_pickup_origin(int n) {
    const int image = lens_data().image_surface;
    int current = n;
    for (int steps = 0; steps <= image + 1; ++steps) {
        if (current < 0 || current > image) return -1;
        if (surface(current).medium_kind != kMediumPickup) return current;
        current = surface(current).medium_source;
    }
    return -1;
}

int update_surface_material(int n, int group_start) {
    SurfaceRecord& s = surface(n);
    switch (s.medium_kind) {
        case kMediumModelGlass:
        case kMediumModelGlassComputed:
            return update_model_medium(n, false);
        case kMediumModelIndexAbbe:
        case kMediumModelIndexAbbeComputed:
            return update_model_medium(n, true);
        case kMediumAir:
        case kMediumAirFixed: {
            const int index = glass_cache_entry(s.medium_name);
            if (index < 0) return kMsgMaterialsFailed;
            GlassData& entry = glass_cache().entries[index];
            s.index = entry.index;
            entry.thermal_kind = kThermalNone;
            entry.table_flag = 0;
            s.medium_work[kMediumTableValues] = nullptr;
            return 0;
        }
        case kMediumGlass:
        case kMediumGlassFixed: {
            const int index = glass_cache_entry(s.medium_name);
            if (index < 0) return kMsgMaterialsFailed;
            const GlassData& entry = glass_cache().entries[index];
            s.index = entry.index;
            s.medium_work[kMediumTableValues] = entry.table_at_wavelengths;
            return 0;
        }
        case kMediumMirror: {
            // Rays travel back through the medium in front of the mirror.
            const int source = group_start != 0 && n > group_start ? group_start : n - 1;
            if (source >= 0) take_medium_of(s, source);
            return 0;
        }
        case kMediumPickup: {
            if (glass_pickup_origin(n) < 0) return set_error_msg(kMsgBadGlassPickup, n);
            const int source = s.medium_source;
            std::memcpy(s.medium_name, surface(source).medium_name, kMediumNameLength + 1);
            int material = source;
            if (surface(source).medium_kind == kMediumMirror) {
                material = group_start != 0 && n > group_start ? group_start : n - 1;
            }
            if (material < 0) return set_error_msg(kMsgBadGlassPickup, n);
            take_medium_of(s, material);
            s.medium_tce = surface(material).medium_tce;
            return 0;
        }
        case kMediumProgramFixed:
            s.index = program_fixed_medium();
            return 0;
        default:
            return 0;
    }
}

int update_surface_materials() {
    LensData& l = lens_data();
    int group_start = 0;
    for (int n = 0; n <= l.image_surface; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.group_kind == kGroupNonSequential && s.group_role == kRoleFirst) group_start = n;
        if (const int rc = update_surface_material(n, group_start); rc != 0) {
            show_error(rc);
            return rc;
        }
        if (s.group_kind == kGroupNonSequential && s.group_role == kRoleLast) group_start = 0;
    }
    if (l.thermal_expansion != 0) {
        const int rc = expand_lens(l.reference_temperature);
        l.thermal_expansion = 0;
        if (rc != 0) {
            show_error(rc);
            return rc;
        }
    }
    return 0;
}
