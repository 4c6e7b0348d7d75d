// Glass lookup: a glass name resolved across the catalogues (with the "O_" name substitution)
// into the glass cache, where the glasses the lens uses keep their formula data and their
// indices at the lens wavelengths.
#pragma once

#include "lens/glass_cache.h"
#include "lens/refractive_index.h"
#include "tables/table_names.h"

// Parameter of the definitions table whose value list maps "O_" names to catalogue names.
constexpr int kParamGlassSubstitutions = 841;

// Which cache entries a name lookup considers.
enum class CachedGlass {
    kAny,        // the first entry of that name
    kModel,      // model glasses only (dispersion kind 5)
    kCatalogue,  // everything but model glasses
};

// The first glass-cache entry with exactly this blank-padded 10-character name, or -1.
int find_cached_glass(const char* name, CachedGlass which = CachedGlass::kAny);

// The lens wavelengths, temperature and pressure as the index computation takes them. The
// wavelength array lives until the next call.
LensWavelengths current_lens_wavelengths();

// The cache index of a catalogue glass, read from its catalogue and added when not cached yet
// (indices refreshed when it is). -1 after a reported failure (-1101 not found, -253 no
// memory). name is a blank-padded 10-character name and may be rewritten by the substitution.
int glass_cache_entry(char* name);

// Adds glass to the cache under name: the new cache index, or -1 when the cache cannot grow
// (message -253 shown).
int add_glass_to_cache(const char* name, const GlassData& glass);

// Recomputes the index arrays (and table values) of every cache entry from 1 on at the
// current lens wavelengths.
void refresh_glass_cache_indices();
