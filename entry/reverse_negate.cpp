#include "entry/reverse_negate.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "entry/at_surface_entry.h"
#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/optimise_links.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;

bool in_range(int s, int a, int b) {
    return s >= a && s <= b;
}

void negate_terms(SurfaceRecord& s) {
    if (s.asphere != nullptr) {
        for (int i = 0; i < s.asphere->entered_count; ++i)
            s.asphere->entered[i] = -s.asphere->entered[i];
        s.asphere->changed = 1;
    }
    if (s.spline != nullptr) {
        if (s.spline->slope != nullptr) {
            for (int i = 0; i <= s.spline->count; ++i) s.spline->slope[i] = -s.spline->slope[i];
        }
        s.spline->changed = 1;
    }
    if (s.diffractive != nullptr) s.diffractive->changed = 1;
}

// What belongs to the surface itself and moves with it; curvatures change sign as they move.
void take_surface_items(SurfaceRecord& to, const SurfaceRecord& from) {
    to.curvature = -from.curvature;
    to.x_curvature = -from.x_curvature;
    to.fresnel_curvature = -from.fresnel_curvature;
    to.curvature_kind = from.curvature_kind;
    to.curvature_variable = from.curvature_variable;
    to.note = from.note;
    to.unused_note_record = from.unused_note_record;
    to.conic = from.conic;
    to.x_conic = from.x_conic;
    to.toric = from.toric;
    to.aperture_radius = from.aperture_radius;
    to.aperture_check = from.aperture_check;
    to.aperture_kind = from.aperture_kind;
    to.diffraction_order = from.diffraction_order;
    to.diffraction_word = from.diffraction_word;
    to.grating_spacing = from.grating_spacing;
    to.grating_companion = from.grating_companion;
    to.fresnel = from.fresnel;
    to.fresnel_conic = from.fresnel_conic;
    to.alternate_intersection = from.alternate_intersection;
    to.tir_only = from.tir_only;
    to.drawing_mode = from.drawing_mode;
    to.diffractive = from.diffractive;
    to.asphere = from.asphere;
    to.spline = from.spline;
    to.special_apertures = from.special_apertures;
    to.special_aperture_count = from.special_aperture_count;
    to.group_kind = from.group_kind;
    to.group_role = from.group_role;
    to.tolerances = from.tolerances;
    to.perfect_lens = from.perfect_lens;
    for (int i = 0; i < 3; ++i) to.unsupported_records[i] = from.unsupported_records[i];
    negate_terms(to);
}

// What belongs to the space after the surface and moves with that space.
void take_gap_items(SurfaceRecord& to, const SurfaceRecord& from) {
    to.thickness = from.thickness;
    to.thickness_kind = from.thickness_kind;
    to.thickness_variable = from.thickness_variable;
    std::memcpy(to.medium_name, from.medium_name, sizeof to.medium_name);
    to.medium_kind = from.medium_kind;
    to.medium_tce = from.medium_tce;
    to.glass_variable = from.glass_variable;
    to.index = from.index;
    for (int i = 0; i < 5; ++i) to.medium_work[i] = from.medium_work[i];
    to.rod = from.rod;
    to.element_drawing = from.element_drawing;
    to.grin = from.grin;
}

// Pickups and solves end; the kinds a group holds stay.
void drop_pickups_and_solves(SurfaceRecord& s) {
    s.medium_source = 0;
    if (s.curvature_kind != kCurvatureFixed && s.curvature_kind != kCurvatureFixedRtf) {
        s.curvature_kind = kCurvaturePlain;
    }
    s.curvature_source = 0;
    s.curvature_solve_value = 0.0;
    if (s.thickness_kind != kThicknessFixed) s.thickness_kind = kThicknessPlain;
    s.thickness_source = s.thickness_source2 = 0;
    s.thickness_solve_value = s.thickness_solve_value2 = 0.0;
    s.aperture_source = 0;
    if (s.aperture_kind != kApertureFixedByGroup) s.aperture_kind = kApertureFixedValue;
}

bool is_thickness_pickup(int kind) {
    return kind >= kThicknessPickup && kind <= kThicknessLengthNegated;
}

// Sets the medium of surface s to a model glass of the given indices, through the glass
// command at a surface, on an argument vector of its own (3 cells and one per wavelength).
void set_far_end_glass(int s, const std::string& name, const std::vector<double>& indices) {
    std::vector<ArgCell> cells(3 + indices.size());
    std::vector<ArgCell*> pointers;
    std::string text = name;
    cells[0].type = kArgInt;
    cells[0].value.i = 0;
    cells[1].type = kArgInt;
    cells[1].value.i = s;
    cells[2].type = kArgChar;
    cells[2].value.text = text.data();
    cells[2].text_length = static_cast<std::int16_t>(text.size() + 1);
    for (std::size_t w = 0; w < indices.size(); ++w) {
        cells[3 + w].type = kArgDouble;
        cells[3 + w].value.d = indices[w];
    }
    for (ArgCell& c : cells) pointers.push_back(&c);
    pointers.push_back(nullptr);
    const int command = current_command();
    ArgCell** vector = arg_vector();
    const int count = arg_count();
    const std::uint8_t output = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn, update_output_flags().during_update);
    set_current_command(kCmdGlassAtSurface);
    set_arg_vector(pointers.data(), static_cast<int>(cells.size()));
    cmd_glass_at_surface();
    set_arg_vector(vector, count);
    set_current_command(command);
    set_setting_flag(kSetOutputOn, output);
}

int finish(int message, int a, int b) {
    if (!update_mode()) print_msg(message, a, b);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}

}  // namespace

bool check_reverse_range(int a, int b, int* message, int* surface_out) {
    auto refuse = [&](int m, int s) {
        *message = m;
        *surface_out = s;
        return false;
    };
    for (int s = a; s <= b; ++s) {
        const SurfaceRecord& r = surface(s);
        if (r.hologram != nullptr) return refuse(kMsgReverseHologram, s);
        if (r.decentre != nullptr) return refuse(kMsgReverseDecentre, s);
        if (r.mesh != nullptr) return refuse(kMsgReverseMesh, s);
        if (r.medium_kind == kMediumMirror || r.medium_kind == kMediumPickup) {
            return refuse(kMsgReverseMirror, s);
        }
        if (r.diffractive != nullptr && r.diffractive->pickup_source != 0 &&
            in_range(r.diffractive->pickup_source, a, b)) {
            return refuse(kMsgReverseDiffractivePickup, s);
        }
    }
    int open_groups = 0;
    for (int s = a; s <= b; ++s) {
        const SurfaceRecord& r = surface(s);
        if (r.group_kind == kGroupNone) continue;
        if (r.group_role == kRoleFirst) ++open_groups;
        if (r.group_role == kRoleLast && --open_groups < 0) return refuse(kMsgReverseGroup, -1);
    }
    if (open_groups != 0) return refuse(kMsgReverseGroup, -1);
    const int image = lens_data().image_surface;
    for (int t = b + 1; t <= image; ++t) {
        const SurfaceRecord& before = surface(t - 1);
        if (is_thickness_pickup(before.thickness_kind) &&
            (in_range(before.thickness_source, a, b) ||
             ((before.thickness_kind == kThicknessLength ||
               before.thickness_kind == kThicknessLengthNegated) &&
              in_range(before.thickness_source2, a, b)))) {
            return refuse(kMsgReverseThicknessPickup, t - 1);
        }
        const SurfaceRecord& r = surface(t);
        if ((r.curvature_kind == kCurvaturePickup || r.curvature_kind == kCurvaturePickupNegated) &&
            in_range(r.curvature_source, a, b)) {
            return refuse(kMsgReverseCurvaturePickup, t);
        }
        if (r.aperture_kind == kAperturePickup && in_range(r.aperture_source, a, b)) {
            return refuse(kMsgReverseAperturePickup, t);
        }
        if (r.medium_kind == kMediumPickup && in_range(r.medium_source, a, b)) {
            return refuse(kMsgReverseMediumPickup, t);
        }
        for (int k = 0; r.special_apertures != nullptr && k < r.special_aperture_count; ++k) {
            const int source = r.special_apertures[k].pickup_source;
            if (source != 0 && in_range(source, a, b)) {
                return refuse(kMsgReverseSpecialAperturePickup, t);
            }
        }
        if (r.diffractive != nullptr && r.diffractive->pickup_source != 0 &&
            in_range(r.diffractive->pickup_source, a, b)) {
            return refuse(kMsgReverseDiffractivePickup, t);
        }
    }
    *message = 0;
    *surface_out = -1;
    return true;
}

void reverse_surface_range(int a, int b) {
    const std::vector<SurfaceRecord> was(&surface(a), &surface(a) + (b - a + 1));
    auto old = [&](int s) -> const SurfaceRecord& { return was[static_cast<std::size_t>(s - a)]; };
    for (int i = a; i <= b; ++i) {
        SurfaceRecord& s = surface(i);
        take_surface_items(s, old(a + b - i));
        // The gap after b stays; the others come from the mirrored gap.
        if (i < b) take_gap_items(s, old(a + b - 1 - i));
        if (s.group_role == kRoleFirst) {
            s.group_role = kRoleLast;
        } else if (s.group_role == kRoleLast) {
            s.group_role = kRoleFirst;
        }
        drop_pickups_and_solves(s);
        mark_surface_changed(i);
    }
    surface(b).thickness_kind = kThicknessPlain;
    lens_flags().materials_changed = 1;
    flip_grin_range(a, b);
    optimise_surfaces_reversed(a, b);
}

void flip_grin_range(int a, int b) {
    const int wavelengths = lens_data().wavelength_count;
    const int current = lens_data().current_surface;
    for (int s = a; s < b; ++s) {
        GrinRecord* g = surface(s).grin;
        if (g == nullptr || g->coefficients == nullptr) continue;
        if (g->kind != kGrinArg && g->kind != kGrinAeg && g->kind != kGrinSns &&
            g->kind != kGrinTap) {
            continue;
        }
        const double t = surface(s).thickness;
        double** c = g->coefficients;
        bool any = false;
        for (int w = 0; w < max_wavelengths(); ++w) {
            for (int k = 4; k < 8; ++k) any = any || std::fabs(c[k][w]) > kTiny;
        }
        if (!any) continue;
        std::vector<double> far(static_cast<std::size_t>(wavelengths));
        for (int w = 0; w < wavelengths; ++w) {
            const double n = surface(s).index != nullptr ? surface(s).index[w] : 1.0;
            far[w] = n + t * (c[4][w] + t * (c[5][w] + t * (c[6][w] + t * c[7][w])));
        }
        char name[16];
        std::snprintf(name, sizeof name, "GLASS%d", s);
        set_far_end_glass(s, name, far);
        g = surface(s).grin;
        c = g->coefficients;
        for (int w = 0; w < max_wavelengths(); ++w) {
            const double c1 = c[4][w], c2 = c[5][w], c3 = c[6][w], c4 = c[7][w];
            c[4][w] = -(c1 + 2 * c2 * t + 3 * c3 * t * t + 4 * c4 * t * t * t);
            c[5][w] = c2 + 3 * c3 * t + 6 * c4 * t * t;
            c[6][w] = -(c3 + 4 * c4 * t);
            c[7][w] = c4;
        }
    }
    lens_data().current_surface = current;
}

void negate_surface_range(int a, int b) {
    for (int i = a; i <= b; ++i) {
        SurfaceRecord& s = surface(i);
        s.curvature = -s.curvature;
        s.x_curvature = -s.x_curvature;
        s.thickness = -s.thickness;
        negate_terms(s);
        drop_pickups_and_solves(s);
        mark_surface_changed(i);
    }
    lens_flags().materials_changed = 1;
}

int cmd_reverse_surfaces() {
    int a = arg_int(0);
    int b = arg_int(1);
    const int image = lens_data().image_surface;
    if (a <= 0 || a >= image) return set_error_msg(kMsgReverseRange);
    // Both ends are checked again once they are in order: the second may be the one out.
    if (b < a) std::swap(a, b);
    if (a <= 0) return set_error_msg(kMsgReverseRange);
    if (b >= image) return set_error_msg(kMsgRangeEnd, b, image - 1);
    int message = 0;
    int offending = -1;
    if (!check_reverse_range(a, b, &message, &offending)) {
        return offending >= 0 ? set_error_msg(message, offending) : set_error_msg(message);
    }
    reverse_surface_range(a, b);
    return finish(kMsgReversed, a, b);
}

int cmd_negate_surface_range() {
    int a = arg_int(0);
    int b = arg_int(1);
    const int image = lens_data().image_surface;
    if (b < a) std::swap(a, b);
    if (a < 0) return set_error_msg(kMsgNegateStart, a);
    if (b > image) return set_error_msg(kMsgRangeEnd, b, image);
    negate_surface_range(a, b);
    return finish(kMsgNegated, a, b);
}
