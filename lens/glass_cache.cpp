#include "lens/glass_cache.h"

#include <cstring>

#include "numeric/memory.h"
#include "runtime/messages.h"

namespace {

GlassCache g_cache = {nullptr, 0, 0, 0};

// A fresh entry: no name, no formula, an index array of its own. False when that array cannot
// be had.
bool init_entry(GlassData& entry, int max_wavelengths) {
    std::memset(&entry, 0, sizeof entry);
    entry.index = alloc_array_of<double>(static_cast<std::size_t>(max_wavelengths));
    return entry.index != nullptr;
}

void free_entry_arrays(GlassData& entry) {
    mem_free(entry.index);
    mem_free(entry.table_at_wavelengths);
    mem_free(entry.model_wavelengths);
    mem_free(entry.model_indices);
    entry.index = nullptr;
    entry.table_at_wavelengths = nullptr;
    entry.model_wavelengths = nullptr;
    entry.model_indices = nullptr;
}

}  // namespace

GlassCache& glass_cache() {
    return g_cache;
}

int reset_glass_cache(int max_wavelengths) {
    // Entries made for a shorter wavelength table would be written past their index arrays.
    if (g_cache.entries != nullptr && max_wavelengths >= 1 &&
        max_wavelengths != g_cache.max_wavelengths) {
        free_glass_cache();
    }
    if (g_cache.entries == nullptr) {
        if (max_wavelengths < 1) return kMsgOutOfMemory;
        auto* entries = alloc_array_of<GlassData>(kGlassCacheStep);
        if (entries == nullptr) return kMsgOutOfMemory;
        for (int i = 0; i < kGlassCacheStep; ++i) {
            if (!init_entry(entries[i], max_wavelengths)) {
                for (int j = 0; j < i; ++j) free_entry_arrays(entries[j]);
                mem_free(entries);
                return kMsgOutOfMemory;
            }
        }
        g_cache.entries = entries;
        g_cache.capacity = kGlassCacheStep;
        g_cache.max_wavelengths = max_wavelengths;
    }
    for (int i = 0; i < g_cache.capacity; ++i) pad_glass_name("", g_cache.entries[i].name);
    GlassData& air = g_cache.entries[0];
    pad_glass_name("AIR", air.name);
    air.dispersion_kind = kDispersionNone;
    air.thermal_kind = kThermalNone;
    air.table_flag = 0;
    for (int w = 0; w < g_cache.max_wavelengths; ++w) air.index[w] = 1.0;
    g_cache.count = 1;
    return 0;
}

int grow_glass_cache() {
    if (g_cache.entries == nullptr) return 0;
    int capacity = g_cache.capacity + kGlassCacheStep;
    auto* entries = static_cast<GlassData*>(
        mem_realloc(g_cache.entries, static_cast<std::size_t>(capacity), sizeof(GlassData)));
    if (entries == nullptr) return 0;
    for (int i = g_cache.capacity; i < capacity; ++i) {
        if (!init_entry(entries[i], g_cache.max_wavelengths)) {
            for (int j = g_cache.capacity; j < i; ++j) free_entry_arrays(entries[j]);
            // The block is larger now but the entries beyond the old capacity stay unused.
            g_cache.entries = entries;
            return 0;
        }
        pad_glass_name("", entries[i].name);
    }
    g_cache.entries = entries;
    g_cache.capacity = capacity;
    return 1;
}

void free_glass_cache() {
    if (g_cache.entries == nullptr) return;
    for (int i = 0; i < g_cache.capacity; ++i) free_entry_arrays(g_cache.entries[i]);
    mem_free(g_cache.entries);
    g_cache = {nullptr, 0, 0, 0};
}
