#include "entry/glass_entry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "entry/entry_frame.h"
#include "entry/surface_data.h"
#include "lens/glass_catalog.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/refractive_index.h"
#include "lens/surface_groups.h"
#include "lens/surface_materials.h"
#include "lens/surface_setters.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kNoDistance = 1e10;

bool starts(const std::string& name, const char* word) {
    return name.compare(0, std::char_traits<char>::length(word), word) == 0;
}

// The dispersion of three indices as the nearest-glass search compares it.
double dispersion_of(const double* n, int wavelengths) {
    if (wavelengths <= 2) return 0.0;
    const double spread = n[1] - n[2];
    return std::fabs(spread) >= kTiny ? (n[0] - 1.0) / spread : 0.0;
}

// Echo: the medium name, and for a model glass of indices its index at each wavelength.
void echo_medium(int n) {
    const SurfaceRecord& s = surface(n);
    print_msg(kMsgMediumName, without_trailing_blanks(s.medium_name).c_str());
    if (s.medium_kind != kMediumModelGlass) return;
    const int cached = find_cached_glass(s.medium_name, CachedGlass::kModel);
    if (cached < 0) return;
    const GlassData& entry = glass_cache().entries[cached];
    print_msg(kMsgModelIndices);
    for (int w = 0; w < lens_data().wavelength_count; ++w) {
        if (w > 0) text_spaces(12);
        text_number(entry.index[w]);
        text_newline();
    }
}

// A catalogue glass by name: kind 2 (9 for GLF), or air after -400 with the result -546 (the
// surface changed all the same: stored_air is set).
int catalogue_glass(int n, int command, const std::string& name, bool& stored_air) {
    char padded[kGlassNameLength + 1];
    pad_glass_name(name.c_str(), padded);
    int catalog = 0;
    if (find_glass(padded, catalog) >= 0) {
        const int kind = command == kCmdGlassFixed ? kMediumGlassFixed : kMediumGlass;
        return set_surface_medium(n, kind, name.c_str(), 0);
    }
    print_msg(kMsgGlassMissingAir, name.c_str());
    if (const int rc = set_surface_medium(n, kMediumAir, "AIR", 0); rc != 0) return rc;
    stored_air = true;
    return set_error_msg(kMsgGlassNotInCatalogue, name.c_str());
}

// GLAn: a line of a lens file after the GLA line of a model glass whose indices did not all fit
// on it. The values go to the defining values of the surface's model glass at the lens
// wavelengths from n on.
int continue_model_glass(int n) {
    const SurfaceRecord& s = surface(n);
    const int cached =
        s.medium_kind == kMediumModelGlass || s.medium_kind == kMediumModelGlassComputed
            ? find_cached_glass(s.medium_name, CachedGlass::kModel)
            : -1;
    if (cached < 0) return set_error_msg(kMsgNotModelGlass, n);
    const LensData& l = lens_data();
    const int count = std::min(l.wavelength_count, max_wavelengths());
    const int first = arg_int(0);
    if (first < 1 || first > count) return set_error_msg(kMsgOutsideWavelengths, first);
    GlassData& g = glass_cache().entries[cached];
    for (int k = 1; k < arg_count() && arg_given(k); ++k) {
        const int w = first - 1 + k - 1;
        if (w >= count) return set_error_msg(kMsgOutsideWavelengths, w + 1);
        g.model_wavelengths[w] = l.wavelengths[w].wavelength;
        g.model_indices[w] = arg_double(k);
        g.index[w] = g.model_indices[w];
    }
    return 0;
}

int enter_glass(int n, int command, bool& stored_air) {
    if (command == kCmdGlassIndicesFrom) return continue_model_glass(n);
    const bool model = arg_int(0) != 0;
    std::string name = entry_text(1, kMediumNameLength);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (starts(name, "RFL") || starts(name, "REFLECT") || starts(name, "RFH") ||
        starts(name, "REFL_HATCH")) {
        // The object surface cannot reflect: its medium stays.
        return n >= 1 ? set_surface_medium(n, kMediumMirror, name.c_str(), 0) : 0;
    }
    if (starts(name, "AIR")) return set_surface_medium(n, kMediumAir, name.c_str(), 0);
    if (model) return set_surface_medium(n, kMediumModelIndexAbbe, name.c_str(), 0);
    if (starts(name, "FIX")) return fix_model_glass(n, -1);
    if (arg_given(2)) return set_surface_medium(n, kMediumModelGlass, name.c_str(), 0);
    return catalogue_glass(n, command, name, stored_air);
}

// The surface's indices at the first (at most three) lens wavelengths, after its material is
// brought up to date.
int model_indices(int n, double* out) {
    if (const int rc = update_surface_material(n, 0); rc != 0) return rc;
    const int count = std::min(lens_data().wavelength_count, 3);
    for (int w = 0; w < count; ++w) out[w] = surface(n).index[w];
    return 0;
}

// Stores a catalogue glass of the name on surface n, removing the glass's optimisation
// variables first (a glass can be two of them).
int store_catalogue_glass(int n, const std::string& name) {
    for (int pass = 0; pass < 2; ++pass) {
        int variable = 0;
        if (!find_glass_variable(n, &variable)) break;
        char line[80];
        std::snprintf(line, sizeof line, "Add_variable_in_spreadsheet %d del", variable + 1);
        const int output = get_setting_flag(kSetOutputOn);
        const bool entering = test_state_flag(kFlagLensEntryInProgress) != 0;
        set_setting_flag(kSetOutputOn, 0);
        if (entering) clear_state_flag(kFlagLensEntryInProgress);
        {
            // The program's own line, also when lens data set the glass.
            const TrustedCodeScope trusted;
            run_command_string(line, 0);
        }
        if (entering) set_state_flag(kFlagLensEntryInProgress);
        set_setting_flag(kSetOutputOn, output);
    }
    const int rc = set_surface_medium(n, kMediumGlass, name.c_str(), 0);
    lens_flags().materials_changed = 1;
    return rc;
}

}  // namespace

bool is_model_glass_kind(int kind) {
    return kind == kMediumModelGlass || kind == kMediumModelIndexAbbe ||
           kind == kMediumModelGlassComputed || kind == kMediumModelIndexAbbeComputed;
}

std::string nearest_catalogue_glass(int n, bool all, int catalog) {
    const int wavelengths = lens_data().wavelength_count;
    double target[3] = {0.0, 0.0, 0.0};
    if (wavelengths < 1 || model_indices(n, target) != 0) return std::string();
    const double v = dispersion_of(target, wavelengths);
    // The catalogue records hold the index at the first lens wavelength and the dispersion of
    // the first three once this has run.
    recompute_catalog_dispersion(current_lens_wavelengths());
    double best = kNoDistance;
    std::string found;
    for (int c = 0; c < kGlassCatalogCount; ++c) {
        if (!all && c != catalog) continue;
        const GlassCatalog& cat = glass_catalog(c);
        for (int g = 0; g < cat.count; ++g) {
            const CatalogGlass& glass = cat.glasses[g];
            if (glass.nd == 0.0) continue;  // no index at these wavelengths
            double distance = 10000.0 * (glass.nd - target[0]) * (glass.nd - target[0]);
            if (wavelengths > 2) distance += (glass.vd - v) * (glass.vd - v);
            if (distance < best) {
                best = distance;
                found.assign(glass.name, kGlassNameLength);
            }
        }
    }
    return found;
}

int fix_model_glass(int n, int catalog) {
    if (!is_model_glass_kind(surface(n).medium_kind)) return set_error_msg(kMsgNotModelGlass, n);
    if (catalog < 0) {
        ArgCell cell{};
        if (const int rc = prompt_param(kParamGlassCatalog, &cell); rc != 0) return rc;
        catalog = cell.type == kArgDouble ? static_cast<int>(cell.value.d) : cell.value.i;
        if (catalog < 0 || catalog > kAllCatalogs) catalog = kAllCatalogs;
    }
    const std::string name = nearest_catalogue_glass(n, catalog == kAllCatalogs, catalog);
    if (name.empty()) return set_error_msg(kMsgNoNearGlass);
    if (ask_msg(kMsgReplaceModelGlass, without_trailing_blanks(name.c_str()).c_str()) != 0) {
        return set_error_msg(kMsgModelGlassKept);
    }
    return store_catalogue_glass(n, without_trailing_blanks(name.c_str()));
}

int cmd_glass_commands() {
    const int n = current_surface();
    if (const int rc = refuse_group_medium(); rc != 0) return rc;
    const int command = current_command();
    int rc = 0;
    bool stored_air = false;
    {
        UpdateOutputSwitch output;
        rc = enter_glass(n, command, stored_air);
        echo_medium(n);
    }
    if (rc != 0 && !stored_air) return rc;
    lens_flags().materials_changed = 1;
    mark_surface_changed(n);
    if (!entry_deferred()) {
        if (const int setup = entry_lens_setup(); setup != 0) return setup;
    }
    return rc;
}

int cmd_nearest_glass() {
    const int n = current_surface();
    const int catalog = arg_given(0) ? arg_int(0) : kAllCatalogs;
    if (catalog < 0 || catalog > kAllCatalogs) return set_error_msg(kMsgNoNearGlass);
    int rc = 0;
    {
        UpdateOutputSwitch output;
        if (is_model_glass_kind(surface(n).medium_kind)) {
            const std::string name = nearest_catalogue_glass(n, catalog == kAllCatalogs, catalog);
            if (!name.empty()) rc = store_catalogue_glass(n, without_trailing_blanks(name.c_str()));
        }
        print_msg(kMsgMediumName, without_trailing_blanks(surface(n).medium_name).c_str());
    }
    if (rc != 0) return rc;
    mark_surface_changed(n);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}
