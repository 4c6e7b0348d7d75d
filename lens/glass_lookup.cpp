#include "lens/glass_lookup.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"

namespace {

std::vector<double> g_wavelengths;

// Prints a message to the text output even while output is off, and beeps: the user must see
// that the glass is not the one the name suggests.
template <typename... Args>
void print_glass_notice(int code, const Args&... args) {
    const int was_on = output_option(kOptionOutputOn);
    set_output_option(kOptionOutputOn, 1);
    print_msg(code, args...);
    text_newline();
    set_output_option(kOptionOutputOn, was_on);
    if (platform::UiBackend* ui = platform::current_ui()) ui->beep();
}

// The "O_" substitution: the catalogue name the list gives for name, bounded to the name field;
// false when the name has none.
bool substituted_name(const char* name, char (&out)[kGlassNameLength + 1]) {
    if (name[0] != 'O' || name[1] != '_') return false;
    if (select_param_list(kParamGlassSubstitutions) != 0 || value_list_count() == 0) return false;
    const std::string word = shown_glass_name(name);
    int index = -1;
    const char* value = match_list_word(word.c_str(), &index);
    if (value == nullptr || index < 0) return false;
    pad_glass_name(value, out);
    return true;
}

std::int32_t search_catalogs(const char* name, int& catalog) {
    for (int c = kGlassCatalogCount - 1; c >= 0; --c) {
        catalog = c;
        const GlassCatalog& cat = glass_catalog(c);
        int low = 0;
        int high = cat.count - 1;
        while (low <= high) {
            const int middle = (low + high) / 2;
            const int order = std::memcmp(name, cat.glasses[middle].name, kGlassNameLength);
            if (order < 0) {
                high = middle - 1;
            } else if (order > 0) {
                low = middle + 1;
            } else {
                return cat.glasses[middle].file_position;
            }
        }
    }
    catalog = 0;
    return -1;
}

// Indices (and table values) of a catalogue glass at the lens wavelengths; a formula without a
// real index at some wavelength is reported.
void compute_entry_indices(GlassData& entry, const LensWavelengths& lens) {
    if (glass_indices_at_wavelengths(entry, lens, entry.index) == kMsgNoRealIndex) {
        msg_box(kMsgNoRealIndex, shown_glass_name(entry.name).c_str());
    }
}

}  // namespace

std::int32_t find_glass(const char* name, int& catalog, char* rewritten) {
    char substitute[kGlassNameLength + 1];
    if (!substituted_name(name, substitute)) return search_catalogs(name, catalog);
    const std::string before = shown_glass_name(name);
    const std::int32_t position = search_catalogs(substitute, catalog);
    if (rewritten != nullptr) std::memcpy(rewritten, substitute, sizeof substitute);
    if (position >= 0)
        print_glass_notice(kMsgGlassSubstituted, before.c_str(),
                           shown_glass_name(substitute).c_str());
    return position;
}

int find_cached_glass(const char* name, CachedGlass which) {
    const GlassCache& cache = glass_cache();
    for (int i = 0; i < cache.count; ++i) {
        const GlassData& g = cache.entries[i];
        const bool model = g.dispersion_kind == kDispersionModelGlass;
        if ((which == CachedGlass::kModel && !model) ||
            (which == CachedGlass::kCatalogue && model)) {
            continue;
        }
        if (std::memcmp(g.name, name, kGlassNameLength) == 0) return i;
    }
    return -1;
}

LensWavelengths current_lens_wavelengths() {
    const LensData& l = lens_data();
    int count = std::clamp(l.wavelength_count, 0, max_wavelengths());
    if (l.wavelengths == nullptr) count = 0;
    g_wavelengths.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) g_wavelengths[i] = l.wavelengths[i].wavelength;
    LensWavelengths lens{g_wavelengths.data(), count};
    lens.temperature = l.temperature;
    lens.pressure = l.pressure;
    return lens;
}

int glass_cache_entry(char* name) {
    const int cached = find_cached_glass(name, CachedGlass::kCatalogue);
    if (cached == 0) return 0;
    const LensWavelengths lens = current_lens_wavelengths();
    if (cached > 0) {
        GlassData& entry = glass_cache().entries[cached];
        compute_entry_indices(entry, lens);
        if (entry.table_flag == 1 && interpolate_glass_table(entry, lens.wavelengths, lens.count,
                                                             glass_cache().max_wavelengths) != 0) {
            msg_box(kMsgNoMemoryForGlass);
            return -1;
        }
        return cached;
    }
    int catalog = 0;
    const std::int32_t position = find_glass(name, catalog, name);
    if (position < 0) {
        msg_box(kMsgGlassNotFound, shown_glass_name(name).c_str());
        return -1;
    }
    if (catalog == kObsoleteCatalog)
        print_glass_notice(kMsgObsoleteGlass, shown_glass_name(name).c_str());
    GlassData glass{};
    if (read_glass_data(position, catalog, glass) != 0) {
        msg_box(kMsgCatalogUnreadable, glass_catalog_path(catalog, "", "").c_str());
        return -1;
    }
    return add_glass_to_cache(name, glass);
}

int add_glass_to_cache(const char* name, const GlassData& glass) {
    GlassCache& cache = glass_cache();
    if (cache.entries == nullptr || (cache.count >= cache.capacity && grow_glass_cache() == 0)) {
        msg_box(kMsgNoMemoryForGlass);
        return -1;
    }
    const int index = cache.count;
    GlassData& entry = cache.entries[index];
    std::memcpy(entry.name, name, kGlassNameLength);
    entry.name[kGlassNameLength] = '\0';
    // An entry that served a model glass before the last reset still holds its arrays.
    mem_free(entry.model_wavelengths);
    mem_free(entry.model_indices);
    entry.model_wavelengths = nullptr;
    entry.model_indices = nullptr;
    entry.dispersion_kind = glass.dispersion_kind;
    entry.dispersion_count = glass.dispersion_count;
    entry.thermal_kind = glass.thermal_kind;
    entry.thermal_count = glass.thermal_count;
    std::copy(std::begin(glass.dispersion), std::end(glass.dispersion), entry.dispersion);
    std::copy(std::begin(glass.thermal), std::end(glass.thermal), entry.thermal);
    entry.tce = glass.tce;
    entry.table_flag = glass.table_flag;
    entry.table_count = std::clamp(glass.table_count, 0, kMaxTablePairs);
    const LensWavelengths lens = current_lens_wavelengths();
    if (entry.table_flag != 1) {
        mem_free(entry.table_at_wavelengths);
        entry.table_at_wavelengths = nullptr;
    } else {
        std::copy(glass.table_wavelengths, glass.table_wavelengths + entry.table_count,
                  entry.table_wavelengths);
        std::copy(glass.table_values, glass.table_values + entry.table_count, entry.table_values);
        if (interpolate_glass_table(entry, lens.wavelengths, lens.count, cache.max_wavelengths) ==
            kMsgOutOfMemory) {
            msg_box(kMsgNoMemoryForGlass);
            return -1;
        }
    }
    compute_entry_indices(entry, lens);
    ++cache.count;
    return index;
}

void refresh_glass_cache_indices() {
    GlassCache& cache = glass_cache();
    const LensWavelengths lens = current_lens_wavelengths();
    for (int i = 1; i < cache.count; ++i) {
        GlassData& entry = cache.entries[i];
        if (entry.dispersion_kind == kDispersionModelGlass) {
            // A failure leaves the old indices; the material update reports it.
            model_glass_indices(i, lens);
            continue;
        }
        compute_entry_indices(entry, lens);
        if (entry.table_flag == 1) {
            interpolate_glass_table(entry, lens.wavelengths, lens.count, cache.max_wavelengths);
        }
    }
}

namespace {
void reset_glass_lookup() {
    std::vector<double>().swap(g_wavelengths);
}
const platform::StateReset glass_lookup_state_reset{"lens/glass_lookup", reset_glass_lookup,
                                                    platform::ResetLayer::lens};
}  // namespace
