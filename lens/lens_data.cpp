#include "lens/lens_data.h"

#include <cstring>

#include "lens/glass_cache.h"
#include "lens/lens_reset.h"
#include "runtime/settings.h"

std::uint8_t materials_changed = 0;
std::uint8_t bounds_stale = 0;
std::uint8_t wavelengths_changed = 0;
std::uint8_t spreadsheet_radius_mode = 0;
int reading_lens_file = 0;
std::uint8_t old_file = 0;
char file_version[8] = "5.40";

namespace {

LensData g_lens = {};
SurfaceRecord* g_surfaces = nullptr;
int g_surface_limit = 0;
int g_max_wavelengths = 0;
SurfaceRecordFreers g_freers = {nullptr, nullptr};

}  // namespace

LensData& lens_data() {
    return g_lens;
}

SurfaceRecord* surface_array() {
    return g_surfaces;
}

SurfaceRecord& surface(int n) {
    return g_surfaces[n];
}

int surface_limit() {
    return g_surface_limit;
}

int max_wavelengths() {
    return g_max_wavelengths;
}

SurfaceRecordFreers& surface_record_freers() {
    return g_freers;
}

void mark_lens_bounds_stale() {
    bounds_stale = 1;
}

void clear_surface_pointers(int n) {
    SurfaceRecord& s = g_surfaces[n];
    s.note = nullptr;
    s.unused_note_record = nullptr;
    s.index = nullptr;
    for (double*& work : s.medium_work) work = nullptr;
    s.special_apertures = nullptr;
    s.asphere = nullptr;
    s.diffractive = nullptr;
    s.hologram = nullptr;
    s.decentre = nullptr;
    s.head_counted_trace_record = nullptr;
    s.grin = nullptr;
    s.tolerances = nullptr;
    s.element_drawing = nullptr;
    s.word3_counted_trace_record = nullptr;
    s.return_coordinates = nullptr;
    s.decentre_reference = nullptr;
    s.range_record = nullptr;
    s.group = nullptr;
    s.mesh = nullptr;
    s.spline = nullptr;
    s.perfect_lens = nullptr;
    for (void*& extra : s.unsupported_records) extra = nullptr;
    s.return_coordinates2 = nullptr;
}

int alloc_lens_arrays(const std::string& root, const std::string& data,
                      std::vector<GlassLoadReport>* load_reports) {
    int limit = get_setting_int(kSettingSurfaceLimit, 0, 0);
    int wavelengths = get_setting_int(kSettingMaxWavelengths, 0, 0);
    if (limit < 2 || wavelengths < 1) return kMsgOutOfMemory;
    auto* surfaces = alloc_array_of<SurfaceRecord>(static_cast<std::size_t>(limit) + 1);
    if (surfaces == nullptr) return kMsgOutOfMemory;
    auto* table = alloc_array_of<WavelengthEntry>(static_cast<std::size_t>(wavelengths));
    if (table == nullptr) {
        mem_free(surfaces);
        return kMsgOutOfMemory;
    }
    g_surfaces = surfaces;
    g_surface_limit = limit;
    g_max_wavelengths = wavelengths;
    g_lens.wavelengths = table;
    for (int n = 0; n <= limit; ++n) clear_surface_pointers(n);
    g_lens.notes_word = 0;
    std::vector<GlassLoadReport> reports = read_glass_catalogs(root, data);
    if (load_reports != nullptr) *load_reports = std::move(reports);
    if (reset_glass_cache(wavelengths) != 0) return kMsgOutOfMemory;
    return 0;
}

void free_lens_arrays() {
    free_lens_special_data();
    mem_free(g_surfaces);
    g_surfaces = nullptr;
    g_surface_limit = 0;
    mem_free(g_lens.wavelengths);
    if (g_lens.drawing_conditions != nullptr) mem_free(g_lens.drawing_conditions->rows);
    mem_free(g_lens.drawing_conditions);
    mem_free(g_lens.optimise_params);
    mem_free(g_lens.spot_settings);
    g_lens = {};
    g_max_wavelengths = 0;
}
