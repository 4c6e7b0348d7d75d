#include "lens/surface_groups.h"

#include <cstring>

#include "lens/lens_data.h"
#include "lens/optimise_links.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_pickups.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"

namespace {

constexpr int kVariableCurvature = 1;
constexpr int kVariableThickness = 3;
constexpr int kVariableGlassIndex = 5;
constexpr int kVariableGlassDispersion = 6;

LensSetupRunner g_setup_runner = nullptr;

bool find_variable(int n, int type_a, int type_b, int* index) {
    const int configuration = lens_data().current_configuration;
    const int highest = optimise_highest_variable();
    for (int i = 0; i <= highest; ++i) {
        OptimiseVariableRef v = optimise_variable_at(i);
        if ((v.type == type_a || v.type == type_b) &&
            (v.configuration == 0 || v.configuration == configuration) && v.surface == n) {
            if (index != nullptr) *index = i;
            return true;
        }
    }
    return false;
}

void free_spline_arrays(SplineRecord& spline) {
    mem_free(spline.radius);
    mem_free(spline.slope);
    mem_free(spline.curvature_profile);
    mem_free(spline.sag_profile);
}

}  // namespace

void set_lens_setup_runner(LensSetupRunner runner) {
    g_setup_runner = runner;
}

int group_start_surface(int n) {
    if (surface(n).group_kind == kGroupNone) return 0;
    for (int j = n; j >= 0; --j) {
        const SurfaceRecord& s = surface(j);
        if (s.group_kind == kGroupNone) return j;
        if (s.group_role == kRoleFirst) return j;
    }
    return 0;
}

int group_end_surface(int n) {
    const SurfaceRecord& s = surface(n);
    if (s.group_kind == kGroupNone) return 0;
    if (s.group_role == kRoleLast) return n;
    const int image = lens_data().image_surface;
    int j = n + 1;
    while (j <= image && surface(j).group_kind != kGroupNone &&
           surface(j).group_role == kRoleInner) {
        ++j;
    }
    if (j <= image && surface(j).group_kind != kGroupNone && surface(j).group_role == kRoleLast) {
        return j;
    }
    return j - 1;
}

int next_walk_surface(int j) {
    const int image = lens_data().image_surface;
    const SurfaceRecord& s = surface(j);
    if (s.group_kind == kGroupNonSequential && s.group_role == kRoleFirst) {
        const int end = group_end_surface(j);
        if (end > j && end <= image) return end;
    }
    if (j + 1 <= image) {
        const int link = surface(j + 1).skip_to;
        if (link > j + 1 && link <= image) return link;
    }
    return j + 1;
}

void ungroup_surfaces(int n) {
    if (surface(n).group_kind == kGroupNone) return;
    const int start = group_start_surface(n);
    const int end = group_end_surface(n);
    LensData& l = lens_data();
    SurfaceRecord& first = surface(start);
    mem_free(first.group);
    first.group = nullptr;
    const bool non_sequential = first.group_kind == kGroupNonSequential;
    if (start <= end) {
        for (int j = start; j <= end; ++j) {
            SurfaceRecord& s = surface(j);
            s.group_role = 0;
            s.group_kind = kGroupNone;
            if (non_sequential) {
                s.group_extra = 0;
                for (int b = 0; b < kGroupPortBytes; ++b) {
                    if (b != kGroupPortKeptByte) s.group_port_flags[b] = 0;
                }
                if (j > start) drop_empty_decentre(j, false);
            }
            if (s.curvature_kind == kCurvatureFixed) s.curvature_kind = kCurvaturePlain;
            if (s.thickness_kind == kThicknessFixed) s.thickness_kind = kThicknessPlain;
            if (s.aperture_kind == kApertureFixedByGroup) s.aperture_kind = kApertureFixedValue;
            if (s.medium_kind == kMediumGlassFixed) s.medium_kind = kMediumGlass;
            if (s.medium_kind == kMediumAirFixed) s.medium_kind = kMediumAir;
            if (s.note != nullptr && std::strncmp(s.note, "MG", 2) == 0) {
                mem_free(s.note);
                s.note = nullptr;
            }
        }
    }
    if (start == l.group_start) clear_group_selection();
}

int fold_group_thickness() {
    double carried = 0.0;
    const int image = lens_data().image_surface;
    for (int j = 1; j <= image; ++j) {
        SurfaceRecord& s = surface(j);
        if (s.group_kind != kGroupNonSequential) continue;
        if (s.group_role == kRoleFirst) {
            carried = s.thickness;
            s.thickness = 0.0;
            s.thickness_kind = kThicknessPlain;
            continue;
        }
        if (int rc = ensure_decentre_record(j); rc != 0) return rc;
        if (s.group_role == kRoleLast) s.decentre->dcz += carried;
    }
    return 0;
}

bool find_curvature_variable(int n, int* index) {
    return find_variable(n, kVariableCurvature, kVariableCurvature, index);
}

bool find_thickness_variable(int n, int* index) {
    return find_variable(n, kVariableThickness, kVariableThickness, index);
}

bool find_glass_variable(int n, int* index) {
    return find_variable(n, kVariableGlassIndex, kVariableGlassDispersion, index);
}

int ensure_decentre_record(int n) {
    SurfaceRecord& s = surface(n);
    if (s.decentre != nullptr) return 0;
    s.decentre = alloc_array_of<DecentreRecord>(1);
    if (s.decentre == nullptr) return kMsgNoSpecialDataMemory;
    const std::uint8_t bend = s.bend;
    reset_decentre_tilt(n);
    s.bend = bend;  // making the record changes no surface setting
    return 0;
}

int drop_empty_decentre(int n, bool update) {
    SurfaceRecord& s = surface(n);
    if (s.group_kind == kGroupNonSequential &&
        (s.group_role == kRoleInner || s.group_role == kRoleLast)) {
        return 0;
    }
    const DecentreRecord* d = s.decentre;
    if (d == nullptr || s.decentre_reference != nullptr) return 0;
    if (d->dcx != 0.0 || d->dcy != 0.0 || d->dcz != 0.0 || d->tla != 0.0 || d->tlb != 0.0 ||
        d->tlc != 0.0 || d->pickup_negated != 0) {
        return 0;
    }
    mem_free(s.decentre);
    s.decentre = nullptr;
    if (update && g_setup_runner != nullptr) {
        int rc = g_setup_runner(0);
        if (rc != 0) return set_error_msg(rc, lens_data().failing_surface);
    }
    return 0;
}

int check_decentre_pickups(bool refuse) {
    const LensData& l = lens_data();
    const int current = l.current_surface;
    DecentreRecord* d = surface(current).decentre;
    if (d != nullptr && (d->pickup_source != 0 || d->pickup_negated != 0)) {
        if (!refuse) {
            d->pickup_source = 0;
            d->pickup_negated = 0;
            msg_box(kMsgDecentrePickupCleared);
            return 0;
        }
        return set_error_msg(kMsgDecentreIsPickup, static_cast<int>(d->pickup_source));
    }
    if (refuse && current >= 1) {
        for (int j = current + 1; j <= l.image_surface; ++j) {
            const DecentreRecord* later = surface(j).decentre;
            if (later != nullptr && later->pickup_source == current) {
                return set_error_msg(kMsgDecentrePickedUpLater, j);
            }
        }
    }
    return 0;
}

int alloc_spline_record(int n, int points) {
    SurfaceRecord& s = surface(n);
    if (points < 0) points = 0;
    const auto count = static_cast<std::size_t>(points) + 1;
    auto* spline = alloc_array_of<SplineRecord>(1);
    if (spline == nullptr) {
        s.spline = nullptr;
        return kMsgOutOfMemory;
    }
    spline->radius = alloc_array_of<double>(count);
    spline->slope = alloc_array_of<double>(count);
    spline->curvature_profile = alloc_array_of<double>(count);
    spline->sag_profile = alloc_array_of<double>(count);
    if (spline->radius == nullptr || spline->slope == nullptr ||
        spline->curvature_profile == nullptr || spline->sag_profile == nullptr) {
        free_spline_arrays(*spline);
        mem_free(spline);
        s.spline = nullptr;
        return kMsgOutOfMemory;
    }
    spline->count = points + 1;
    spline->changed = 1;
    s.spline = spline;
    lens_flags().bounds_stale = 1;
    return 0;
}

int resize_spline_record(int n, int points) {
    SplineRecord* spline = surface(n).spline;
    if (spline == nullptr) return alloc_spline_record(n, points);
    if (points < 0) points = 0;
    const int count = points + 1;
    if (spline->count == count) return 0;
    // Every new array is had before any old one is let go, so a failure leaves the record
    // exactly as it was.
    double* fresh[4] = {};
    double* old[4] = {spline->radius, spline->slope, spline->curvature_profile,
                      spline->sag_profile};
    const int keep = spline->count < count ? spline->count : count;
    for (int a = 0; a < 4; ++a) {
        fresh[a] = alloc_array_of<double>(static_cast<std::size_t>(count));
        if (fresh[a] == nullptr) {
            for (double* f : fresh) mem_free(f);
            return kMsgOutOfMemory;
        }
        if (keep > 0 && old[a] != nullptr) {
            std::memcpy(fresh[a], old[a], static_cast<std::size_t>(keep) * sizeof(double));
        }
    }
    for (double* o : old) mem_free(o);
    spline->radius = fresh[0];
    spline->slope = fresh[1];
    spline->curvature_profile = fresh[2];
    spline->sag_profile = fresh[3];
    spline->count = count;
    spline->changed = 1;
    lens_flags().bounds_stale = 1;
    return 0;
}

void free_surface_mesh(SurfaceRecord& record) {
    if (record.mesh == nullptr) return;
    mem_free(record.mesh->vertices);
    mem_free(record.mesh->faces);
    mem_free(record.mesh);
    record.mesh = nullptr;
}

int make_group(int a, int b) {
    LensData& l = lens_data();
    if (a == b) return kMsgGroupSingleSurface;
    if (b >= l.image_surface) return kMsgGroupReachesImage;
    for (int j = a; j <= b; ++j) ungroup_surfaces(j);
    std::uint8_t kind = kGroupElement;
    for (int j = a; j < b; ++j) {
        if (surface(j).medium_kind == kMediumAir) kind = kGroupElementGroup;
    }
    for (int j = a; j <= b; ++j) {
        SurfaceRecord& s = surface(j);
        s.group_kind = kind;
        s.group_role = j == a ? kRoleFirst : j == b ? kRoleLast : kRoleInner;
    }
    const int cur = l.current_surface;
    const bool entering = test_state_flag(kFlagSingleCommandUpdate) != 0 ||
                          test_state_flag(kFlagLensEntryInProgress) != 0;
    if (entering && cur >= a && cur <= b) {
        l.group_pending = 0;
        l.group_kind_pending = kind;
        l.group_start = a;
        set_state_flag(kFlagGroupStarted);
        if (cur > a && cur < b) set_state_flag(kFlagGroupInner);
    }
    return 0;
}
