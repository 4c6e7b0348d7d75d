#include "lens/lens_reset.h"

#include <cmath>
#include <cstring>

#include "lens/glass_cache.h"
#include "lens/lens_data.h"
#include "lens/optimise_links.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/lens_data_guard.h"
#include "runtime/menu_store.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

namespace {

// Flags a new lens changes; their meaning belongs to the code that tests them.
constexpr int kFlagClearedByNewLens = 50;
constexpr int kFlagSetByNewLens = 59;

constexpr const char kProgramFileVersion[] = "5.40";

// The user's procedure that adjusts every new lens, and the symbol numbers it must have to be
// one: symbols above this are compiled procedures.
constexpr char kNewLensProcedure[] = "opc_init";
constexpr int kHighestBuiltinSymbol = 8190;
constexpr int kNewLensProcedureRunMode = 1;

ElementDrawingDefaults g_program_element_defaults{};

// Runs the user's new-lens procedure quietly, with the running command's state kept around it.
// Its result is not looked at: it reports its own failures.
void run_new_lens_procedure() {
    if (lookup_symbol(kNewLensProcedure) <= kHighestBuiltinSymbol) return;
    const bool output_was_on = get_setting_flag(kSetOutputOn) != 0;
    if (output_was_on) set_setting_flag(kSetOutputOn, 0);
    {
        const ScratchCallScope call;
        set_arg_vector(call.scratch(), 0);
        // The procedure is the user's own set-up, not part of the lens data that may have
        // started the new lens.
        const TrustedCodeScope trusted;
        run_command_string(kNewLensProcedure, kNewLensProcedureRunMode);
    }
    lens_flags().materials_changed = 1;
    lens_flags().bounds_stale = 1;
    if (output_was_on) set_setting_flag(kSetOutputOn, 1);
}

void blank_fill(char* field, int length) {
    std::memset(field, ' ', static_cast<std::size_t>(length));
    field[length] = '\0';
}

// Copies text into a fixed field of length characters, cut where it is longer.
void copy_fixed(char* field, const char* text, int length) {
    std::size_t n = text != nullptr ? std::strlen(text) : 0;
    if (n > static_cast<std::size_t>(length)) n = static_cast<std::size_t>(length);
    if (n > 0) std::memcpy(field, text, n);
    field[n] = '\0';
}

void free_decentre_like(DecentreRecord* record) {
    mem_free(record);
}

void free_grin(GrinRecord* grin) {
    if (grin == nullptr) return;
    mem_free(grin->user_routine);
    mem_free(grin->user_values);
    if (grin->coefficients != nullptr) free_matrix_of(grin->coefficients);
    mem_free(grin);
}

void free_spline(SplineRecord* spline) {
    if (spline == nullptr) return;
    mem_free(spline->radius);
    mem_free(spline->slope);
    mem_free(spline->curvature_profile);
    mem_free(spline->sag_profile);
    mem_free(spline);
}

void free_mesh_record(SurfaceMesh* mesh) {
    if (mesh == nullptr) return;
    mem_free(mesh->vertices);
    mem_free(mesh->faces);
    mem_free(mesh);
}

void fill_ray_sets(DrawingConditions& dc) {
    for (int r = 0; r < dc.row_capacity; ++r) {
        DrawingRaySet& row = dc.rows[r];
        row = {};
        row.wavelength = 1;
        row.drawn = 1;
    }
    DrawingRaySet& first = dc.rows[0];
    first.pupil_min = -1.0;
    first.pupil_max = 1.0;
    first.ray_count = 3;
    if (dc.row_capacity == 2) {
        dc.rows[1].field_fraction = 1.0;
        dc.rows[1].ray_count = 1;
    } else {
        dc.rows[1].field_fraction = 0.7;
        dc.rows[2].field_fraction = 1.0;
        dc.rows[2].ray_count = 1;
    }
}

}  // namespace

void free_surface_grin(int n) {
    free_grin(surface(n).grin);
    surface(n).grin = nullptr;
}

void free_surface_spline(int n) {
    free_spline(surface(n).spline);
    surface(n).spline = nullptr;
}

ElementDrawingDefaults& program_element_drawing_defaults() {
    return g_program_element_defaults;
}

void free_surface_special_data(int n) {
    SurfaceRecord& s = surface(n);
    const SurfaceRecordFreers& freers = surface_record_freers();
    mem_free(s.note);
    mem_free(s.unused_note_record);
    mem_free(s.medium_work[kOwnedMediumWork]);
    mem_free(s.special_apertures);
    mem_free(s.asphere);
    mem_free(s.diffractive);
    mem_free(s.hologram);
    free_decentre_like(s.decentre);
    mem_free(s.head_counted_trace_record);
    if (s.tolerances != nullptr) {
        if (freers.free_tolerances != nullptr) {
            freers.free_tolerances(s.tolerances);
        } else {
            mem_free(s.tolerances);
        }
    }
    free_decentre_like(s.return_coordinates);
    free_decentre_like(s.return_coordinates2);
    free_decentre_like(s.decentre_reference);
    mem_free(s.group);
    mem_free(s.perfect_lens);
    free_grin(s.grin);
    if (s.element_drawing != nullptr) {
        if (freers.free_element_drawing != nullptr) {
            freers.free_element_drawing(s.element_drawing);
        } else {
            mem_free(s.element_drawing);
        }
    }
    free_spline(s.spline);
    free_mesh_record(s.mesh);
    if (s.range_record != nullptr) {
        mem_free(s.range_record->values);
        mem_free(s.range_record);
    }
    mem_free(s.word3_counted_trace_record);
    // All three trailing records belong to the surface; none may outlive it.
    for (void* extra : s.unsupported_records) mem_free(extra);
}

void free_lens_special_data() {
    if (surface_array() == nullptr) return;
    for (int n = 0; n <= surface_limit(); ++n) free_surface_special_data(n);
}

void reset_surface(int n) {
    SurfaceRecord& s = surface(n);
    s.shape = kShapePlane;
    s.group_kind = kGroupNone;
    s.group_role = 0;
    blank_fill(s.group_label, kGroupLabelLength);
    blank_fill(s.medium_name, kMediumNameLength);
    std::memcpy(s.medium_name, "AIR", 3);
    s.medium_reset_mark = 1;
    s.medium_kind = kMediumAir;
    s.medium_kind_backward = 0;
    s.medium_source = 0;
    s.medium_tce = n == 0 ? 0.0 : kAirTce;
    s.curvature_kind = kCurvaturePlain;
    s.toric = 0;
    s.curvature_source = 0;
    s.curvature = s.conic = s.x_curvature = s.x_conic = s.curvature_solve_value = 0.0;
    s.grating_spacing = s.grating_companion = s.fresnel_curvature = s.fresnel_conic = 0.0;
    s.thickness_kind = kThicknessPlain;
    s.thickness_source = s.thickness_source2 = 0;
    s.thickness = s.thickness_solve_value = s.thickness_solve_value2 = 0.0;
    s.special_aperture_count = 0;
    s.aperture_source = 0;
    s.aperture_kind = kApertureComputed;
    s.aperture_check = 0;
    s.aperture_radius = 0.0;
    s.diffraction_order = s.diffraction_word = 0;
    s.vertex_position = 0.0;
    s.axial_ray_height = s.axial_ray_slope = s.chief_ray_height = s.chief_ray_slope = 0.0;
    s.fresnel = s.alternate_intersection = s.tir_only = s.rod = s.drawing_mode = 0;
    for (int b = 0; b < kGroupPortBytes; ++b) {
        if (b != kGroupPortKeptByte) s.group_port_flags[b] = 0;
    }
    s.range_mark = 0;
    s.group_extra = 0;
    s.bend = 0;
    s.skip_to = 0;
    s.start_curvature = s.start_conic = s.asphere_term = s.extra_curvature = 0.0;
    s.start_pair = s.extra_curvature_flag = s.second_tilt = s.return_kind = s.edge = 0;
    s.element_member = s.element_number = s.reversing = s.no_edge = s.side = s.drawing_break = 0;
    clear_surface_pointers(n);
}

void copy_surface(int source, int destination) {
    std::memcpy(&surface(destination), &surface(source), sizeof(SurfaceRecord));
}

void reset_lens_data() {
    LensData& l = lens_data();
    l.units = 1.0;
    l.object_height = -1e14;
    l.field_angle = kLeastNonZero;
    l.temperature = 20.0;
    l.pressure = 1.0;
    l.entrance_beam_radius = 1.0;
    l.object_na = 0.05;
    l.entrance_pupil_position = 0.0;
    l.x_axial_start_height = l.axial_start_height = 1.0;
    l.x_chief_start_height = l.chief_start_height = 0.0;
    l.entrance_pupil_radius = l.exit_pupil_radius = l.exit_pupil_position = 0.0;
    l.test_wavelength = 0.54607;
    l.sasd = 0.0;
    l.xaba = 90.0;
    l.image_surface = 2;
    l.aperture_stop = 1;
    l.reference_surface = 1;
    l.cbk = 0;
    l.fan_rays = 21;
    l.wavelength_count = 3;
    l.global_coordinate_surface = 1;
    l.aim_mode = kAimParaxial;
    l.tolerance_angle_units = 0;
    l.afocal_mode = l.aim_state = l.aim_extended = l.afocal = 0;
    l.plane_symmetric = l.rotationally_symmetric = 0;
    l.field_is_angle = 1;
    l.aperture_is_na = 0;
    l.wrsp = 1;
    l.opdw = 1;
    l.apck = 1;
    l.epxy = l.solves_all_configurations = l.nolc = l.gprt = l.grck = 0;
    l.frames_valid = l.aim_telecentric = l.htnu = l.zrxr = 0;
    l.txyc = 1;
    l.expanded_temperature = 20.0;

    l.axial_object_radius = l.cone_reference = l.angle_scale = 0.0;
    l.reference_temperature = 20.0;
    l.entrance_pupil_semi_diameter = l.image_axial_slope = l.image_chief_slope = 0.0;
    l.cone_half_angle = 0.0;
    l.failing_surface = l.user_integer = 0;
    l.paste_base[0] = l.paste_base[1] = 0;
    l.file_surface_offset = 0;
    l.aberration_mode = l.differential_trace = l.thermal_expansion = 0;
    l.wide_angle = l.angle_mode = l.plain_lens = l.cone_aperture_mode = 0;
    l.show_group_surfaces = 1;
    l.tolerance_results = 0;

    blank_fill(l.title, kDesignerLength);
    copy_fixed(l.designer, get_setting_text(kSettingDesigner, 0), kDesignerLength);
    for (char* note : l.notes) {
        std::memset(note, ' ', kNoteLength + 1);
        note[0] = '\0';
    }
    std::memcpy(l.title_copy, l.title, sizeof l.title);
    std::memcpy(l.designer_copy, l.designer, sizeof l.designer);
}

int reset_wavelength_table() {
    LensData& l = lens_data();
    const int capacity = max_wavelengths();
    if (l.wavelengths == nullptr) {
        l.wavelengths = alloc_array_of<WavelengthEntry>(static_cast<std::size_t>(capacity));
        if (l.wavelengths == nullptr) return kMsgNoSpecialDataMemory;
    }
    for (int i = 0; i < capacity; ++i) l.wavelengths[i] = {0.0, 0.0};
    auto usable = [](double w) { return w > 0.0 && w <= kMaxDefaultWavelength; };
    double first = std::fabs(get_setting_double(kSettingWavelengthDefaults, 0, 0));
    double weight = std::fabs(get_setting_double(kSettingWeightDefaults, 0, 0));
    l.wavelengths[0].wavelength = usable(first) ? first : kFallbackWavelength;
    l.wavelengths[0].weight = weight > 0.0 ? weight : 1.0;
    l.wavelength_count = 1;
    for (int i = 1; i < 3 && i < capacity; ++i) {
        double w = std::fabs(get_setting_double(kSettingWavelengthDefaults, i, 0));
        if (!usable(w)) break;
        l.wavelengths[i].wavelength = w;
        l.wavelengths[i].weight = std::fabs(get_setting_double(kSettingWeightDefaults, i, 0));
        l.wavelength_count = i + 1;
    }
    return 0;
}

int reset_drawing_conditions() {
    LensData& l = lens_data();
    if (l.drawing_conditions == nullptr) {
        l.drawing_conditions = alloc_array_of<DrawingConditions>(1);
        if (l.drawing_conditions == nullptr) return kMsgOutOfMemory;
    }
    DrawingConditions& dc = *l.drawing_conditions;
    const int wanted = (lens_flags().reading_lens_file != 0 && lens_flags().old_file != 0) ? 2 : 3;
    if (dc.rows == nullptr || dc.row_capacity != wanted) {
        // The new rows come first, so that a failure leaves the old ones in place.
        auto* rows = alloc_array_of<DrawingRaySet>(static_cast<std::size_t>(wanted));
        if (rows == nullptr) return kMsgOutOfMemory;
        mem_free(dc.rows);
        dc.rows = rows;
        dc.row_capacity = wanted;
    }
    fill_ray_sets(dc);
    for (double& v : dc.view) v = 0.0;
    dc.view_angle1 = 30;
    dc.view_angle2 = 240;
    dc.dlap = 0;
    dc.dlri = 3;
    dc.dlsp = 4;
    dc.dlrs = 0;
    dc.row_count = wanted;
    dc.dlcv = 0;
    dc.first_surface = 0;
    dc.last_surface = 0;
    dc.dlas = 0;
    dc.dlhr = 1;
    if (wanted == 2) lens_flags().old_file = 0;
    return 0;
}

void init_special_aperture(int n, int entry) {
    SpecialAperture& a = surface(n).special_apertures[entry];
    a = {};
    a.shape = 1;
    a.action = 4;
    a.id_letter = static_cast<std::uint8_t>('A' + entry);
    a.pickup_id_letter = ' ';
}

void set_special_aperture_orientation(SpecialAperture& a) {
    if (a.shape < kApertureTriangle) {
        a.convex = 0;
        return;
    }
    const double turn =
        (a.y[1] - a.y[0]) * (a.x[2] - a.x[0]) - (a.y[2] - a.y[0]) * (a.x[1] - a.x[0]);
    a.convex = turn > 0.0 ? 1 : 0;
}

void reset_hologram_record(int n) {
    HologramRecord& h = *surface(n).hologram;
    h = {};
    h.wavelength = lens_data().wavelengths[0].wavelength;
}

void reset_spot_settings() {
    SpotSettings& s = *lens_data().spot_settings;
    s.aperture_divisions = 17.03;
    s.apodisation_width_x = 1.0;
    s.apodisation_width_y = 1.0;
    s.mtf_path_limit = 1000.0;
    s.through_focus_frequency = 25.0;
    s.polychromatic = 1;
    s.apodisation_on = s.ray_amplitudes_vary = s.fourth_flag = s.show_diffraction_limit = 0;
}

void reset_optimise_params() {
    OptimiseParams& p = *lens_data().optimise_params;
    p = {};
    p.damping = 0.001;
    p.small_damping = 1e-8;
    p.damping_reduction = 0.6158;
    p.derivative_increment = 1e-7;
    p.bound_weight = 1.0;
    p.stop_threshold = 0.01;
    p.constraint_tolerance = 1e-6;
    p.min_air_thickness = 0.1;
    p.max_air_thickness = 10000.0;
    p.min_glass_thickness = 0.5;
    p.max_glass_thickness = 100.0;
    copy_fixed(p.operand_command, "*oprds", kOptimiseTextLength);
    p.automatic_increments = 1;
}

void drop_model_glasses() {
    GlassCache& cache = glass_cache();
    if (cache.entries == nullptr) return;
    const int used = cache.count;
    for (int i = 0; i < used; ++i) {
        GlassData& entry = cache.entries[i];
        if (entry.dispersion_kind != kDispersionModelGlass) continue;
        pad_glass_name("", entry.name);
        mem_free(entry.model_wavelengths);
        mem_free(entry.model_indices);
        entry.model_wavelengths = nullptr;
        entry.model_indices = nullptr;
        --cache.count;
        int keep = -1;
        for (int j = used - 1; j > i; --j) {
            if (cache.entries[j].dispersion_kind != kDispersionModelGlass &&
                cache.entries[j].name[0] != ' ') {
                keep = j;
                break;
            }
        }
        int dropped = i;
        if (keep > i) {
            GlassData swap = cache.entries[i];
            cache.entries[i] = cache.entries[keep];
            cache.entries[keep] = swap;
            dropped = keep;
        }
        cache.entries[dropped].dispersion_kind = 0;
        cache.entries[dropped].dispersion_count = 0;
    }
}

int make_new_lens_records(bool same_lens) {
    LensData& l = lens_data();
    if (surface_array() == nullptr) return kMsgOutOfMemory;
    // The records that live from lens to lens are had first: a failure here returns before
    // anything of the current lens has been touched.
    if (l.wavelengths == nullptr) {
        l.wavelengths =
            alloc_array_of<WavelengthEntry>(static_cast<std::size_t>(max_wavelengths()));
        if (l.wavelengths == nullptr) return kMsgNoSpecialDataMemory;
    }
    if (l.optimise_params == nullptr) {
        l.optimise_params = alloc_array_of<OptimiseParams>(1);
        if (l.optimise_params == nullptr) return kMsgOutOfMemory;
    }
    if (l.spot_settings == nullptr) {
        l.spot_settings = alloc_array_of<SpotSettings>(1);
        if (l.spot_settings == nullptr) return kMsgOutOfMemory;
    }
    if (int rc = reset_drawing_conditions(); rc != 0) return rc;

    if (!same_lens) {
        drop_model_glasses();
        reset_glass_cache(max_wavelengths());
    }
    free_lens_special_data();
    LensFlags& flags = lens_flags();
    if (flags.reading_lens_file == 0) copy_fixed(flags.file_version, kProgramFileVersion, 7);
    reset_lens_data();
    // A lens read back from a sheet's revert copy is the same lens: the sheet keeps its beam.
    if (!same_lens) l.beam_sheet_reset = 1;
    reset_wavelength_table();
    for (void*& spare : l.spare_blocks) {
        mem_free(spare);
        spare = nullptr;
    }
    l.element_drawing_defaults = g_program_element_defaults;
    reset_optimise_params();
    reset_spot_settings();
    for (int n = 0; n <= surface_limit(); ++n) reset_surface(n);
    SurfaceRecord& object = surface(0);
    object.aperture_kind = kApertureFixedValue;
    object.thickness = kInfiniteDistance;
    flags.materials_changed = 1;
    flags.bounds_stale = 1;
    l.current_wavelength = 0;
    l.current_configuration = 1;
    l.configuration_count = 1;
    l.notes_word = 0;
    l.current_surface = 0;
    l.group_start = l.group_kind_pending = l.group_pending = 0;
    l.mesh_renumber_limit = 0;
    return 0;
}

int lens_new() {
    if (const int rc = make_new_lens_records(test_state_flag(kFlagRevertRestored) != 0); rc != 0) {
        return rc;
    }
    clear_state_flag(kFlagClearedByNewLens);
    set_state_flag(kFlagSetByNewLens);
    optimise_new_lens();
    set_setting_text(kSettingLensFile, "", 0);
    run_new_lens_procedure();
    return 0;
}

namespace {
void reset_lens_reset() {
    g_program_element_defaults = ElementDrawingDefaults{};
}
const platform::StateReset lens_reset_state_reset{"lens/lens_reset", reset_lens_reset,
                                                  platform::ResetLayer::lens};
}  // namespace
