#include "lens/lens_data.h"

#include <cstring>

#include "lens/glass_cache.h"
#include "lens/lens_reset.h"
#include "platform/state_reset.h"
#include "runtime/settings.h"

namespace {

// The lens in memory: its records, the surface array and wavelength table taken at start (sized
// from the settings), the frees other subsystems install and the marks commands leave.
struct LensDataState {
    LensData lens = {};
    SurfaceRecord* surfaces = nullptr;
    int surface_limit = 0;
    int max_wavelengths = 0;
    SurfaceRecordFreers freers = {nullptr, nullptr};
    LensFlags flags;
};

LensDataState g_lens_data;

}  // namespace

LensData& lens_data() {
    return g_lens_data.lens;
}

LensFlags& lens_flags() {
    return g_lens_data.flags;
}

SurfaceRecord* surface_array() {
    return g_lens_data.surfaces;
}

SurfaceRecord& surface(int n) {
    return g_lens_data.surfaces[n];
}

int surface_limit() {
    return g_lens_data.surface_limit;
}

int max_wavelengths() {
    return g_lens_data.max_wavelengths;
}

SurfaceRecordFreers& surface_record_freers() {
    return g_lens_data.freers;
}

void mark_lens_bounds_stale() {
    g_lens_data.flags.bounds_stale = 1;
}

void clear_surface_pointers(int n) {
    SurfaceRecord& s = g_lens_data.surfaces[n];
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
    g_lens_data.surfaces = surfaces;
    g_lens_data.surface_limit = limit;
    g_lens_data.max_wavelengths = wavelengths;
    g_lens_data.lens.wavelengths = table;
    for (int n = 0; n <= limit; ++n) clear_surface_pointers(n);
    g_lens_data.lens.notes_word = 0;
    std::vector<GlassLoadReport> reports = read_glass_catalogs(root, data);
    if (load_reports != nullptr) *load_reports = std::move(reports);
    if (reset_glass_cache(wavelengths) != 0) return kMsgOutOfMemory;
    return 0;
}

void free_lens_arrays() {
    free_lens_special_data();
    mem_free(g_lens_data.surfaces);
    g_lens_data.surfaces = nullptr;
    g_lens_data.surface_limit = 0;
    mem_free(g_lens_data.lens.wavelengths);
    if (g_lens_data.lens.drawing_conditions != nullptr)
        mem_free(g_lens_data.lens.drawing_conditions->rows);
    mem_free(g_lens_data.lens.drawing_conditions);
    mem_free(g_lens_data.lens.optimise_params);
    mem_free(g_lens_data.lens.spot_settings);
    g_lens_data.lens = {};
    g_lens_data.max_wavelengths = 0;
}

namespace {
// A new session looks as the program after start-up: the arrays taken at start stay and hold the
// new lens start-up makes (its records only: the new-lens procedure and the hooks belong to the
// running program); the frees installed at start stay.
void reset_lens_data_state() {
    g_lens_data.flags = LensFlags{};
    if (g_lens_data.surfaces == nullptr) return;
    // lens/lens_reset's own reset runs after this one: the new lens starts from the defaults the
    // program starts with.
    program_element_drawing_defaults() = ElementDrawingDefaults{};
    make_new_lens_records(false);
}
const platform::StateReset lens_data_state_reset{"lens/lens_data", reset_lens_data_state,
                                                 platform::ResetLayer::lens};
}  // namespace
