// The glass cache: the glasses the lens uses, with their formula data and their indices at the
// lens wavelengths. Entry 0 is always "AIR" with index 1.0. Surfaces point into it and never
// own what they point to.
#pragma once

#include "lens/glass_catalog.h"

struct GlassCache {
    GlassData* entries;
    int count;
    int capacity;
    int max_wavelengths;  // length of every per-wavelength array of the entries
};

constexpr int kGlassCacheStep = 20;  // entries added at a time

GlassCache& glass_cache();

// Makes the cache (first call, with arrays of max_wavelengths entries) or empties it back to
// "AIR" alone; existing arrays are kept. 0, or -10 when the first allocation fails.
int reset_glass_cache(int max_wavelengths);

// Adds kGlassCacheStep entries: 1, or 0 when memory is exhausted (the cache stays as it was).
int grow_glass_cache();

// Frees the cache and every array it holds.
void free_glass_cache();
