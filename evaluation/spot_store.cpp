#include "evaluation/spot_store.h"

#include <cmath>
#include <numbers>

#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

namespace {

SpotStore g_store;

constexpr std::int32_t kDefaultSpotRays = 10000;

// Replaces *array by a reallocated block of count elements, only when that succeeded.
template <typename T>
bool grow_array(T*& array, std::size_t count) {
    void* block = mem_realloc(array, count, sizeof(T));
    if (block == nullptr) return false;
    array = static_cast<T*>(block);
    return true;
}

}  // namespace

SpotStore& spot_store() {
    return g_store;
}

int alloc_spot_storage() {
    int setting_result = 0;
    if (get_setting_int(kSetMaxSpdRays, 0, 0) < 1) {
        setting_result = set_setting_int(kSetMaxSpdRays, kDefaultSpotRays, 0, 0);
    }
    const std::int32_t rays = get_setting_int(kSetMaxSpdRays, 0, 0);
    const std::int32_t waves = get_setting_int(kSetMaxWavelengths, 0, 0);
    if (rays < 1 || waves < 1) return -10;
    free_spot_storage();
    SpotStore& s = g_store;
    const auto n = static_cast<std::size_t>(rays);
    const auto w = static_cast<std::size_t>(waves);

    if ((s.rays = alloc_array_of<SpotRay>(n)) == nullptr) return -10;
    if ((s.sort_index = alloc_array_of<std::int32_t>(n + 1)) == nullptr) return -10;
    if ((s.path_to_last_surface = alloc_array_of<double>(n)) == nullptr) return -10;
    if ((s.last_segment = alloc_array_of<double>(n)) == nullptr) return -10;
    if ((s.image_z = alloc_array_of<double>(n)) == nullptr) return -10;
    if ((s.sine_table = alloc_array_of<double>(kSineTableSize)) == nullptr) return -10;
    if ((s.wave_ray_counts = alloc_array_of<std::int32_t>(w)) == nullptr) return -10;
    s.reference_fit_sums = alloc_array_of<double>(w * kReferenceFitSumCount);
    if (s.reference_fit_sums == nullptr) return -10;
    if ((s.airy_radius = alloc_array_of<double>(w)) == nullptr) return -10;
    s.reference_normal = reinterpret_cast<double***>(alloc_array3(w, 3, 4, sizeof(double)));
    if (s.reference_normal == nullptr) return -10;
    if (setting_result != 0) return setting_result;
    if ((s.x_cutoff = alloc_array_of<double>(w)) == nullptr) return -10;
    if ((s.y_cutoff = alloc_array_of<double>(w)) == nullptr) return -10;
    if ((s.x_half_extent = alloc_array_of<double>(w)) == nullptr) return -10;
    if ((s.y_half_extent = alloc_array_of<double>(w)) == nullptr) return -10;

    s.capacity = rays;
    s.wavelength_capacity = waves;
    s.lattice_unit = kLatticeUnit;
    for (int i = 0; i < kSineTableSize; ++i) {
        s.sine_table[i] = std::sin(i * std::numbers::pi / 180.0);
    }
    return 0;
}

int resize_spot_storage(std::int32_t count) {
    if (count < 1) return -10;
    SpotStore& s = g_store;
    const auto n = static_cast<std::size_t>(count);
    if (!grow_array(s.rays, n)) return -10;
    // The rays beyond the new count are gone; the capacity follows each step so that it never
    // claims more than every per-ray array holds.
    if (count < s.capacity) s.capacity = count;
    if (s.ray_count > count) {
        // The rays cut off belonged to the diagram: what is left is no diagram at all.
        s.ray_count = 0;
        for (int w = 0; w < s.wavelength_capacity; ++w) s.wave_ray_counts[w] = 0;
        clear_state_flag(kFlagSpotDiagramCurrent);
    }
    if (!grow_array(s.sort_index, n + 1)) return -10;
    if (!grow_array(s.path_to_last_surface, n)) return -10;
    if (!grow_array(s.last_segment, n)) return -10;
    if (!grow_array(s.image_z, n)) return -10;
    s.capacity = count;
    return 0;
}

void free_spot_storage() {
    SpotStore& s = g_store;
    mem_free(s.rays);
    mem_free(s.sort_index);
    mem_free(s.path_to_last_surface);
    mem_free(s.last_segment);
    mem_free(s.image_z);
    mem_free(s.sine_table);
    mem_free(s.wave_ray_counts);
    mem_free(s.reference_fit_sums);
    mem_free(s.airy_radius);
    free_array3(reinterpret_cast<void***>(s.reference_normal));
    mem_free(s.x_cutoff);
    mem_free(s.y_cutoff);
    mem_free(s.x_half_extent);
    mem_free(s.y_half_extent);
    s = SpotStore{};
}

namespace {
// The arrays are allocated once at start for the largest diagram the settings allow and stay for
// the next session; what a diagram left in them is forgotten.
void reset_spot_store() {
    SpotStore& s = g_store;
    SpotStore kept;
    kept.rays = s.rays;
    kept.path_to_last_surface = s.path_to_last_surface;
    kept.last_segment = s.last_segment;
    kept.image_z = s.image_z;
    kept.sort_index = s.sort_index;
    kept.wave_ray_counts = s.wave_ray_counts;
    kept.airy_radius = s.airy_radius;
    kept.x_cutoff = s.x_cutoff;
    kept.y_cutoff = s.y_cutoff;
    kept.x_half_extent = s.x_half_extent;
    kept.y_half_extent = s.y_half_extent;
    kept.reference_fit_sums = s.reference_fit_sums;
    kept.reference_normal = s.reference_normal;
    kept.sine_table = s.sine_table;
    kept.lattice_unit = s.lattice_unit;
    kept.capacity = s.capacity;
    kept.wavelength_capacity = s.wavelength_capacity;
    if (kept.wave_ray_counts != nullptr) {
        for (int w = 0; w < kept.wavelength_capacity; ++w) kept.wave_ray_counts[w] = 0;
    }
    s = kept;
}
const platform::StateReset spot_store_state_reset{"evaluation/spot_store", reset_spot_store,
                                                  platform::ResetLayer::feature};
}  // namespace
