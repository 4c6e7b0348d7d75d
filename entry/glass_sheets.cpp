#include "entry/glass_sheets.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "entry/sheet_options.h"
#include "entry/surface_sheet.h"
#include "lens/glass_cache.h"
#include "lens/glass_catalog.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/refractive_index.h"
#include "lens/surface_groups.h"
#include "lens/surface_setters.h"
#include "numeric/heap_sort.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kLeastIndex = 1e-20;
constexpr int kListHelpTopic = -kHelpTopicGlassListSheet;
constexpr int kTableHelpTopic = -kHelpTopicTableGlassSheet;
constexpr int kListInactive = 0x8000;
constexpr int kGlassesPerRowCatalogue = 7;
constexpr int kGlassesPerRowSorted = 6;
constexpr int kTableExtraRows = 4;

GlassSheetsState g_glass;

LensData& lens() {
    return lens_data();
}

bool dispersion_allowed() {
    const LensData& l = lens();
    return l.wavelength_count >= 3 && l.wavelengths != nullptr &&
           std::fabs(l.wavelengths[1].wavelength - l.wavelengths[2].wavelength) >= kTiny;
}

int compare_values(int a, int b, int mode) {
    const int c = g_glass.catalogue;
    return glass_sort_value(a, c, mode) >= glass_sort_value(b, c, mode) ? 1 : -1;
}

int compare_glass_index(int a, int b, const void*) {
    return compare_values(a, b, kGlassSortIndex);
}

int compare_glass_dispersion(int a, int b, const void*) {
    return compare_values(a, b, kGlassSortDispersion);
}

// The sort mode that applies, the order array filled and sorted by it.
void arrange() {
    GlassSheetsState& g = g_glass;
    if (g.sort_mode == kGlassSortDispersion && !dispersion_allowed()) {
        g.sort_mode = kGlassSortCatalogue;
    }
    g.order.resize(static_cast<std::size_t>(g.count));
    for (int i = 0; i < g.count; ++i)
        g.order[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    if (g.sort_mode == kGlassSortIndex) {
        heap_sort_indices(compare_glass_index, nullptr, g.order.data(), g.count);
    } else if (g.sort_mode == kGlassSortDispersion) {
        heap_sort_indices(compare_glass_dispersion, nullptr, g.order.data(), g.count);
    }
}

// The catalogue's values were computed at other wavelengths than the lens has now.
bool values_stale() {
    const LensData& l = lens();
    const double* at = catalog_wavelengths();
    if (at == nullptr || l.wavelengths == nullptr || l.wavelength_count < 1) return false;
    if (at[0] != l.wavelengths[0].wavelength) return true;
    if (!dispersion_allowed()) return false;
    return at[1] != l.wavelengths[1].wavelength || at[2] != l.wavelengths[2].wavelength;
}

int list_rewrite() {
    arrange();
    set_level_cursor(kGlassCellCode, g_glass.selection >= 0 ? g_glass.selection : 0, 0);
    return sheet_rewrite(g_glass.list_kit);
}

// The medium of surface s is a catalogue glass of catalogue c: its position there, or -1.
int position_in(int s, int c) {
    const SurfaceRecord& r = surface(s);
    if (r.medium_kind != kMediumGlass) return -1;
    const GlassCatalog& cat = glass_catalog(c);
    for (int i = 0; i < cat.count; ++i) {
        if (std::strncmp(cat.glasses[i].name, r.medium_name, kGlassNameLength) == 0) return i;
    }
    return -1;
}

int list_close(int end_mode) {
    GlassSheetsState& g = g_glass;
    sheet_close(g.list_kit, end_mode);
    g.order.clear();
    g.order.shrink_to_fit();
    if (end_mode != 0 || g.selection < 0 || g.selection >= g.count) return 0;
    const int s = g.surface;
    if (s < 0 || s > lens().image_surface) return 0;
    int variable = 0;
    const bool was_variable = find_glass_variable(s, &variable);
    char name[kGlassNameLength + 1];
    std::snprintf(name, sizeof name, "%s", glass_catalog(g.catalogue).glasses[g.selection].name);
    if (const int rc = set_surface_medium(s, kMediumGlass, name, 0); rc != 0) return rc;
    lens_flags().materials_changed = 1;
    if (const int rc = lens_setup_or_error(); rc != 0) return rc;
    return was_variable ? delete_glass_variables(s) : 0;
}

// --- the table glass ------------------------------------------------------------------------

std::string padded_upper(const std::string& text) {
    std::string name;
    for (char c : text) {
        if (name.size() >= kMediumNameLength) break;
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    name.resize(kMediumNameLength, ' ');
    return name;
}

GlassData* table_entry() {
    const SurfaceRecord& r = surface(g_glass.table_surface);
    const int k = find_cached_glass(r.medium_name, CachedGlass::kModel);
    return k >= 0 ? &glass_cache().entries[k] : nullptr;
}

// Renames the table glass (its cache entry and the surface's medium).
void rename_table_glass(const std::string& padded) {
    SurfaceRecord& r = surface(g_glass.table_surface);
    GlassData* e = table_entry();
    if (e != nullptr) std::snprintf(e->name, sizeof e->name, "%s", padded.c_str());
    std::snprintf(r.medium_name, sizeof r.medium_name, "%s", padded.c_str());
    lens_flags().materials_changed = 1;
}

// Another surface whose model glass of this name is not the table glass's own.
int other_surface_named(const std::string& padded) {
    const int s = g_glass.table_surface;
    for (int k = 0; k <= lens().image_surface; ++k) {
        const SurfaceRecord& o = surface(k);
        if (k != s &&
            (o.medium_kind == kMediumModelGlass || o.medium_kind == kMediumModelGlassComputed) &&
            std::strncmp(o.medium_name, padded.c_str(), kMediumNameLength) == 0 &&
            o.index != surface(s).index) {
            return k;
        }
    }
    return -1;
}

// The first "GLASS<s>" name (then with a letter) no other surface's medium holds.
std::string free_name(int s) {
    std::string base = "GLASS" + std::to_string(s);
    for (int k = -1; k < 26; ++k) {
        const std::string name = padded_upper(k < 0 ? base : base + static_cast<char>('A' + k));
        bool taken = false;
        for (int j = 0; j <= lens().image_surface; ++j) {
            taken = taken || (j != s && std::strncmp(surface(j).medium_name, name.c_str(),
                                                     kMediumNameLength) == 0);
        }
        if (!taken) return name;
    }
    return padded_upper(base);
}

// The table glass's own cache entry: the first model glass of its name that is not another
// surface's.
GlassData* other_entry(const std::string& padded) {
    const GlassData* mine = table_entry();
    GlassCache& cache = glass_cache();
    for (int k = 0; k < cache.count; ++k) {
        GlassData& e = cache.entries[k];
        if (&e != mine && e.dispersion_kind == kDispersionModelGlass &&
            std::strncmp(e.name, padded.c_str(), kGlassNameLength) == 0) {
            return &e;
        }
    }
    return nullptr;
}

int table_accept() {
    GlassSheetsState& g = g_glass;
    const int s = g.table_surface;
    SurfaceRecord& r = surface(s);
    if (!g.pending_name.empty()) {
        const std::string padded = g.pending_name;
        g.pending_name.clear();
        const int other = other_surface_named(padded);
        GlassData* theirs = other_entry(padded);
        const GlassData* mine = table_entry();
        if (other >= 0 && theirs != nullptr && mine != nullptr &&
            ask_msg(kMsgTableGlassNameTaken, other, without_trailing_blanks(padded).c_str()) == 0) {
            // The other surface's glass of that name takes these indices, and this surface
            // names it.
            for (int w = 0; w < lens().wavelength_count; ++w) {
                theirs->model_wavelengths[w] = mine->model_wavelengths[w];
                theirs->model_indices[w] = mine->model_indices[w];
                theirs->index[w] = mine->index[w];
            }
            theirs->model_wavelengths[lens().wavelength_count] = 0.0;
            rename_table_glass(padded);
        } else if (other >= 0) {
            const std::string name = free_name(s);
            rename_table_glass(name);
            status_msg(kMsgTableGlassRenamed, trimmed(name.c_str()).c_str());
        } else {
            rename_table_glass(padded);
        }
    }
    if (without_trailing_blanks(r.medium_name).empty()) {
        ArgCell cell{};
        std::string name;
        if (prompt_param(kParamTableGlassName, &cell) == 0 && cell.type == kArgChar &&
            cell.text_length > 0 && cell.value.text != nullptr) {
            name = trimmed(cell.value.text);
        }
        if (name.empty()) {
            name = "GLASS" + std::to_string(s);
            msg_box(kMsgTableGlassUnnamed, name.c_str());
        }
        rename_table_glass(padded_upper(name));
    }
    bool positive = false;
    const GlassData* e = table_entry();
    for (int w = 0; e != nullptr && w < lens().wavelength_count; ++w) {
        positive = positive || e->model_indices[w] > 0.0;
    }
    if (!positive) set_surface_medium(s, kMediumAir, "AIR", 0);
    lens_flags().materials_changed = 1;
    if (const int rc = lens_setup_or_error(); rc != 0) return rc;
    int variable = 0;
    return find_glass_variable(s, &variable) ? delete_glass_variables(s) : 0;
}

int table_close(int end_mode) {
    GlassSheetsState& g = g_glass;
    if (end_mode == 1) return sheet_close(g.table_kit, 1);
    int rc = 0;
    if (end_mode == 0) rc = table_accept();
    g.pending_name.clear();
    const int restored = sheet_close(g.table_kit, end_mode);
    return rc != 0 ? rc : restored;
}

int table_create() {
    GlassSheetsState& g = g_glass;
    sheet_take_copy(g.table_kit);
    const int s = g.table_surface;
    SurfaceRecord& r = surface(s);
    // A model glass given by index and dispersion becomes a table glass of a name of its own;
    // any other medium is named so by the surface's own model glass below.
    if (r.medium_kind == kMediumModelIndexAbbe || r.medium_kind == kMediumModelIndexAbbeComputed) {
        const std::string name = padded_upper("GLASS" + std::to_string(s));
        std::snprintf(r.medium_name, sizeof r.medium_name, "%s", name.c_str());
    }
    // The surface's own model glass at the lens wavelengths, with the indices it has now.
    if (const int rc = make_model_glass_own(s); rc != 0) return rc;
    lens_flags().materials_changed = 1;
    const int setup = lens_setup_or_error();
    const int rc = sheet_open(g.table_kit);
    return setup != 0 ? setup : rc;
}

int table_value(const GridEvent& event) {
    GlassSheetsState& g = g_glass;
    if (event.field == kFieldTableGlassName) {
        if (event.first_index != g.table_surface) return 0;
        const std::string padded = padded_upper(trimmed(sheet_event_text(event)));
        g.pending_name.clear();
        if (other_surface_named(padded) >= 0) {
            // Renamed now, the set-up would give the surface the other glass of that name.
            g.pending_name = padded;
        } else {
            rename_table_glass(padded);
        }
        return sheet_after_change(g.table_kit);
    }
    if (event.field != kFieldTableGlassIndex) return 0;
    const int w = event.first_index;
    GlassData* e = table_entry();
    if (e == nullptr || w < 0 || w >= lens().wavelength_count) return 0;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    if (!(v >= kLeastIndex)) {
        msg_box(kMsgTableIndexTooSmall, kLeastIndex);
        return 0;
    }
    e->model_indices[w] = v;
    e->index[w] = v;
    lens_flags().materials_changed = 1;
    return sheet_after_change(g.table_kit);
}

}  // namespace

GlassSheetsState& glass_sheets_state() {
    return g_glass;
}

void reset_glass_sheets() {
    sheet_release_copy(g_glass.table_kit, 0);
    g_glass = GlassSheetsState{};
}

double glass_sort_value(int glass, int catalogue, int mode) {
    double nd = 0.0;
    double vd = 0.0;
    glass_nd_vd(glass, catalogue, &nd, &vd);
    return mode == kGlassSortDispersion ? vd : nd;
}

int open_glass_list(int catalogue) {
    if (catalogue < 0 || catalogue >= kGlassCatalogCount) {
        return set_error_msg(kMsgCatalogueEmpty, catalogue);
    }
    const GlassCatalog& cat = glass_catalog(catalogue);
    if (cat.file == nullptr || cat.count <= 0) return set_error_msg(kMsgCatalogueEmpty, catalogue);
    GlassSheetsState& g = g_glass;
    g.catalogue = catalogue;
    g.count = cat.count;
    g.surface = lens().current_surface;
    g.selection = -1;
    if (const int rc = push_command_level(glass_list_event, (cat.count - 1) / 7 + 2, 0); rc != 0) {
        return rc;
    }
    const int at = position_in(g.surface, catalogue);
    set_level_cursor(kGlassCellCode, at >= 0 ? at : 0, 0);
    status_msg(kMsgGlassListStatus);
    return 0;
}

int open_table_glass() {
    g_glass.table_surface = lens().current_surface;
    const int rc =
        push_command_level(table_glass_event, lens().wavelength_count + kTableExtraRows, 0);
    if (rc != 0) return rc;
    status_msg(kMsgTableGlassStatus);
    return 0;
}

void write_glass_list() {
    const GlassSheetsState& g = g_glass;
    const bool allowed = dispersion_allowed();
    sheet_set_title(kListHelpTopic, kMsgGlassListTitle);
    sheet_label(-851);
    sheet_radio(kFieldSortCatalogue, g.sort_mode == kGlassSortCatalogue, -852);
    sheet_text("    ");
    sheet_radio(kFieldSortIndex, g.sort_mode == kGlassSortIndex, -853);
    sheet_text("    ");
    if (allowed) {
        sheet_radio(kFieldSortDispersion, g.sort_mode == kGlassSortDispersion, -854);
    } else {
        text_hotspot(kListInactive | kFieldSortDispersion, 0);
        sheet_text(("  " + std::string(msg_text(-854) != nullptr ? msg_text(-854) : "")).c_str());
    }
    if (values_stale()) {
        sheet_text("     ");
        sheet_button(kGridKindButton | kFieldRecompute, 0, ' ');
        sheet_label(-858);
    }
    text_newline();
    const GlassCatalog& cat = glass_catalog(g.catalogue);
    const int per_row =
        g.sort_mode == kGlassSortCatalogue ? kGlassesPerRowCatalogue : kGlassesPerRowSorted;
    for (int i = 0; i < g.count && i < static_cast<int>(g.order.size()); ++i) {
        const int glass = g.order[static_cast<std::size_t>(i)];
        if (i % per_row == 0 && g.sort_mode != kGlassSortCatalogue) {
            char value[32];
            std::snprintf(value, sizeof value,
                          g.sort_mode == kGlassSortIndex ? " %-10.6f" : " %-10.2f",
                          glass_sort_value(glass, g.catalogue, g.sort_mode));
            sheet_text(value);
        }
        sheet_text(" ");
        text_hotspot(kGlassCellCode, glass);
        sheet_text(cat.glasses[glass].name);
        if (i % per_row == per_row - 1 || i == g.count - 1) text_newline();
    }
}

void write_table_glass() {
    const LensData& l = lens();
    const int s = g_glass.table_surface;
    sheet_set_title(kTableHelpTopic, kMsgTableGlassTitle);
    print_sheet_surface_heading();
    sheet_label(-421);
    if (l.configuration_count < 2 || l.current_configuration <= 1) {
        text_hotspot(kGridKindText | kFieldTableGlassName, s);
    }
    char name[kMediumNameLength + 2];
    const std::string& pending = g_glass.pending_name;
    std::snprintf(name, sizeof name, "%-10.10s",
                  pending.empty() ? surface(s).medium_name : pending.c_str());
    sheet_text(name);
    text_newline();
    sheet_label(-422);
    text_newline();
    const GlassData* e = table_entry();
    for (int w = 0; w < l.wavelength_count; ++w) {
        char number[16];
        std::snprintf(number, sizeof number, " %3d | ", w + 1);
        sheet_text(number);
        text_number(l.wavelengths[w].wavelength);
        sheet_text(" | ");
        sheet_number_cell(kFieldTableGlassIndex, w, e != nullptr ? e->model_indices[w] : 1.0);
        sheet_text(" |");
        text_newline();
    }
}

namespace {

int list_opening() {
    GlassSheetsState& g = g_glass;
    g.list_kit.print = write_glass_list;
    g.selection = position_in(g.surface, g.catalogue);
    set_level_header_rows(1, 0, 0);
    arrange();
    return 0;
}

int list_cell_text(GridEvent& event) {
    GlassSheetsState& g = g_glass;
    if (grid_entry_field(event.field) != kFieldGlassCell) return 0;
    const int glass = event.first_index;
    if (glass < 0 || glass >= g.count) return 0;  // a stale cell
    g.selection = glass;
    std::string line;
    if (glass_description(glass, g.catalogue, lens().wavelength_count, line) == 0) {
        status_msg(kMsgGlassDescription, line.c_str());
    }
    return 0;
}

int list_button(const GridEvent& event) {
    GlassSheetsState& g = g_glass;
    switch (grid_entry_field(event.field)) {
        case kFieldSortCatalogue:
            g.sort_mode = kGlassSortCatalogue;
            break;
        case kFieldSortIndex:
            g.sort_mode = kGlassSortIndex;
            break;
        case kFieldSortDispersion:
            g.sort_mode = kGlassSortDispersion;
            break;
        case kFieldRecompute:
            recompute_catalog_dispersion(current_lens_wavelengths());
            break;
        default:
            return 0;
    }
    return list_rewrite();
}

// A chooser: it edits nothing before it closes, and a typed line only runs.
const SheetEvents kListEvents{
    .opening = list_opening,
    .cell_text = list_cell_text,
    .edited = [](const GridEvent&) { return 0; },
    .activated = list_button,
    .typed = [](const char*, const GridEvent& event) { return sheet_run_line(event); },
    .quiet_otherwise = true,
    .types_empty_lines = true,
    .closing = list_close,
};

}  // namespace

int glass_list_event(GridEvent& event) {
    return sheet_dispatch(g_glass.list_kit, kListEvents, event);
}

namespace {

int table_cell_text(GridEvent& event) {
    GlassSheetsState& g = g_glass;
    const int field = grid_entry_field(event.field);
    if (field == kFieldTableGlassName) {
        sheet_edit_text(event, g.pending_name.empty() ? surface(g.table_surface).medium_name
                                                      : g.pending_name.c_str());
    } else if (field == kFieldTableGlassIndex) {
        const GlassData* e = table_entry();
        if (e != nullptr && event.first_index >= 0 && event.first_index < lens().wavelength_count) {
            sheet_edit_text(event, format_number(e->model_indices[event.first_index], 2, 0));
        }
    }
    return 0;
}

// The glass is made when the sheet opens, unless it comes back from a level above it.
const SheetEvents kTableEvents{
    .opening =
        [] {
            g_glass.table_kit.print = write_table_glass;
            return g_glass.table_kit.kept ? sheet_open(g_glass.table_kit) : table_create();
        },
    .opens_itself = true,
    .cell_text = table_cell_text,
    .edited = table_value,
    .typed =
        [](const char*, const GridEvent& event) {
            const int rc = sheet_run_line(event);
            return rc != 0 ? rc : sheet_after_change(g_glass.table_kit);
        },
    .quiet_otherwise = true,
    .types_empty_lines = true,
    .closing = table_close,
};

}  // namespace

int table_glass_event(GridEvent& event) {
    return sheet_dispatch(g_glass.table_kit, kTableEvents, event);
}

namespace {
const platform::StateReset glass_sheets_state_reset{"entry/glass_sheets", reset_glass_sheets,
                                                    platform::ResetLayer::feature};
}  // namespace
