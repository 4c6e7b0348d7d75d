#include "lens/surface_insert_delete.h"

#include <cctype>
#include <cstdio>

#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/optimise_links.h"
#include "lens/surface_groups.h"
#include "lens/surface_pickups.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"

namespace {

template <typename T>
void shift_up(T& reference, int s) {
    if (reference >= s) reference = static_cast<T>(reference + 1);
}

template <typename T>
void shift_down(T& reference, int s) {
    if (reference > s) reference = static_cast<T>(reference - 1);
}

// Insert column: every stored reference to s or above moves up one.
void renumber_record_for_insert(SurfaceRecord& r, int s) {
    shift_up(r.medium_source, s);
    shift_up(r.curvature_source, s);
    shift_up(r.thickness_source, s);
    shift_up(r.thickness_source2, s);
    shift_up(r.aperture_source, s);
    if (r.decentre != nullptr) shift_up(r.decentre->pickup_source, s);
    if (r.return_coordinates != nullptr) shift_up(r.return_coordinates->pickup_source, s);
    if (r.return_coordinates2 != nullptr) shift_up(r.return_coordinates2->pickup_source, s);
    if (r.decentre_reference != nullptr) shift_up(r.decentre_reference->pickup_source, s);
    if (r.special_apertures != nullptr) {
        for (int e = 0; e < r.special_aperture_count; ++e) {
            shift_up(r.special_apertures[e].pickup_source, s);
        }
    }
    if (r.diffractive != nullptr) shift_up(r.diffractive->pickup_source, s);
}

// A return or reference record naming the deleted surface has nothing left to refer to.
void renumber_frame_record_for_delete(DecentreRecord*& record, int s) {
    if (record == nullptr) return;
    if (record->pickup_source == s) {
        mem_free(record);
        record = nullptr;
        return;
    }
    shift_down(record->pickup_source, s);
}

// Delete column: references to s end their pickup; those above s move down one.
void renumber_record_for_delete(int j, int s) {
    SurfaceRecord& r = surface(j);
    if (r.medium_kind == kMediumPickup) {
        if (r.medium_source == s) {
            r.medium_source = 0;
        } else {
            shift_down(r.medium_source, s);
        }
    }
    if (r.curvature_kind == kCurvaturePickup || r.curvature_kind == kCurvaturePickupNegated) {
        if (r.curvature_source == s) {
            clear_curvature_pickup(j);
        } else {
            shift_down(r.curvature_source, s);
        }
    }
    if (r.thickness_kind >= kThicknessPickup && r.thickness_kind <= kThicknessLengthNegated) {
        if (r.thickness_source == s || r.thickness_source2 == s) {
            clear_thickness_pickup(j);
        } else {
            shift_down(r.thickness_source, s);
            shift_down(r.thickness_source2, s);
        }
    }
    if (r.aperture_kind == kAperturePickup) {
        if (r.aperture_source == s) {
            clear_aperture_pickup(j);
        } else {
            shift_down(r.aperture_source, s);
        }
    }
    if (r.decentre != nullptr) {
        if (r.decentre->pickup_source == s) {
            r.decentre->pickup_source = 0;
        } else {
            shift_down(r.decentre->pickup_source, s);
        }
    }
    renumber_frame_record_for_delete(r.return_coordinates, s);
    renumber_frame_record_for_delete(r.return_coordinates2, s);
    renumber_frame_record_for_delete(r.decentre_reference, s);
    if (r.special_apertures != nullptr) {
        for (int e = 0; e < r.special_aperture_count; ++e) {
            SpecialAperture& a = r.special_apertures[e];
            if (a.pickup_source == s) {
                a.pickup_source = 0;
                a.pickup_id_letter = ' ';
            } else {
                shift_down(a.pickup_source, s);
            }
        }
    }
    if (r.diffractive != nullptr) {
        if (r.diffractive->pickup_source == s) {
            mem_free(r.diffractive);
            r.diffractive = nullptr;
        } else {
            shift_down(r.diffractive->pickup_source, s);
        }
    }
}

void free_range_record(SurfaceRecord& r) {
    if (r.range_record == nullptr) return;
    mem_free(r.range_record->values);
    mem_free(r.range_record);
    r.range_record = nullptr;
}

void clear_range_marks_of(int s, int image) {
    SurfaceRecord& r = surface(s);
    if (r.range_mark == 1) {
        r.range_mark = 0;
        free_range_record(r);
        for (int j = s + 1; j <= image; ++j) {
            if (surface(j).range_mark == 2) {
                surface(j).range_mark = 0;
                break;
            }
        }
    } else if (r.range_mark == 2) {
        r.range_mark = 0;
        for (int j = s - 1; j >= 1; --j) {
            if (surface(j).range_mark == 1) {
                surface(j).range_mark = 0;
                free_range_record(surface(j));
                break;
            }
        }
    }
}

void clear_group_ports(SurfaceRecord& r) {
    for (int b = 0; b < kGroupPortBytes; ++b) {
        if (b != kGroupPortKeptByte) r.group_port_flags[b] = 0;
    }
}

// Member offsets of the inner surfaces of a non-sequential group after its start.
template <typename Change>
void for_each_member_offset(int start, Change change) {
    const int image = lens_data().image_surface;
    for (int j = start + 1; j <= image && surface(j).group_role == kRoleInner; ++j) {
        SurfaceRecord& r = surface(j);
        const int pairs[2][2] = {{kPortOffset1, kPortSwitch1}, {kPortOffset2, kPortSwitch2}};
        for (const auto& pair : pairs) {
            if (r.group_port_flags[pair[1]] == 1)
                change(r.group_port_flags[pair[0]], r.group_port_flags[pair[1]]);
        }
    }
}

void groups_before_delete(int s) {
    SurfaceRecord& r = surface(s);
    const int kind = r.group_kind;
    if (kind == kGroupNone) return;
    if (r.group_role == kRoleInner && kind != kGroupNonSequential) return;
    const int start = group_start_surface(s);
    const int d = s - start;
    if (r.group_role == kRoleFirst || r.group_role == kRoleLast) {
        if (d <= 1) {
            ungroup_surfaces(s);
            return;
        }
        SurfaceRecord& previous = surface(s - 1);
        previous.group_role = kRoleLast;
        if (kind == kGroupNonSequential) clear_group_ports(previous);
    }
    if (kind == kGroupNonSequential) {
        for_each_member_offset(start, [d](std::uint8_t& offset, std::uint8_t& on) {
            if (offset == d) {
                offset = 0;
                on = 0;
            } else if (offset > d) {
                --offset;
            }
        });
    }
}

}  // namespace

const char* group_kind_label(int kind, bool upper) {
    static const char* const kLabels[] = {"           ", "Non Seq Grp", "Element",    "Element Grp",
                                          "Parax Grp",   "Eikonal Grp", "Usr Def Grp"};
    static char label[kGroupLabelLength + 1];
    std::snprintf(label, sizeof label, "%s", kind >= 1 && kind <= 6 ? kLabels[kind] : kLabels[0]);
    if (upper) {
        for (char& c : label) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return label;
}

void renumber_mesh_references(int s, bool deleting) {
    int limit = lens_data().mesh_renumber_limit;
    if (limit < 1) limit = s;
    if (limit < 2) return;
    const int last = limit - 1 < surface_limit() ? limit - 1 : surface_limit();
    for (int j = 1; j <= last; ++j) {
        SurfaceMesh* mesh = surface(j).mesh;
        if (mesh == nullptr || mesh->vertices == nullptr) continue;
        bool marked = false;
        for (int v = 0; v < mesh->vertex_count; ++v) {
            std::int32_t& o = mesh->vertices[v].surface_offset;
            if (o < 0) continue;
            if (!deleting) {
                if (j + o >= s) ++o;
            } else if (j + o == s) {
                o = -1;
                marked = true;
            } else if (j + o > s) {
                --o;
            }
        }
        if (!marked || mesh->faces == nullptr) continue;
        for (int f = 0; f < mesh->face_count; ++f) {
            MeshFace& face = mesh->faces[f];
            for (std::int16_t number : face.vertices) {
                if (number == 0) break;
                const int v = (number < 0 ? -number : number) - 1;
                if (v < mesh->vertex_count && mesh->vertices[v].surface_offset == -1) {
                    face.vertices[0] = 0;
                    break;
                }
            }
        }
    }
}

int insert_surface(int s) {
    LensData& l = lens_data();
    // Some callers do not check the limit; a lens at the limit has no record to move into.
    if (l.image_surface >= surface_limit()) return kMsgSurfaceLimit;
    if (s < 1 || s > l.image_surface) return kMsgBadValue;

    int d = 0;
    int group_kind = surface(s).group_kind;
    if (group_kind != kGroupNone) {
        const int start = group_start_surface(s);
        d = s - start;
        if (group_kind == kGroupNonSequential && d >= 1) {
            for_each_member_offset(start, [d](std::uint8_t& offset, std::uint8_t&) {
                if (offset >= d) ++offset;
            });
        }
    }
    renumber_mesh_references(s, false);
    // Forward references of earlier surfaces follow as well as those of the moved ones.
    for (int j = 0; j <= l.image_surface; ++j) renumber_record_for_insert(surface(j), s);
    for (int j = l.image_surface; j >= s; --j) copy_surface(j, j + 1);
    ++l.image_surface;
    for (int j = 1; j <= l.image_surface; ++j) shift_up(surface(j).skip_to, s);
    shift_up(l.aperture_stop, s);
    shift_up(l.reference_surface, s);
    if (!(l.global_coordinate_surface == 1 && s == 1)) shift_up(l.global_coordinate_surface, s);
    if (DrawingConditions* dc = l.drawing_conditions; dc != nullptr) {
        shift_up(dc->first_surface, s);
        shift_up(dc->last_surface, s);
    }
    lens_flags().bounds_stale = 1;
    reset_surface(s);
    if (d > 0) {
        surface(s).group_kind = static_cast<std::uint8_t>(group_kind);
        surface(s).group_role = kRoleInner;
    }
    lens_flags().materials_changed = 1;
    optimise_surface_inserted(s);
    return 0;
}

int delete_surface(int s) {
    LensData& l = lens_data();
    if (s < 1 || s >= l.image_surface) return kMsgBadValue;
    groups_before_delete(s);
    renumber_mesh_references(s, true);
    for (int j = 0; j <= l.image_surface; ++j) renumber_record_for_delete(j, s);
    clear_range_marks_of(s, l.image_surface);
    for (int j = 0; j <= l.image_surface; ++j) {
        if (surface(j).skip_to >= s) --surface(j).skip_to;
    }
    free_surface_special_data(s);
    for (int j = s + 1; j <= l.image_surface; ++j) copy_surface(j, j - 1);
    // The old image slot is now unused; its pointers went down with the record it held.
    reset_surface(l.image_surface);
    shift_down(l.aperture_stop, s);
    shift_down(l.reference_surface, s);
    if (l.global_coordinate_surface > s && l.global_coordinate_surface >= 2) {
        --l.global_coordinate_surface;
    }
    if (DrawingConditions* dc = l.drawing_conditions; dc != nullptr) {
        shift_down(dc->first_surface, s);
        shift_down(dc->last_surface, s);
    }
    --l.image_surface;
    if (l.current_surface > l.image_surface) l.current_surface = l.image_surface;
    lens_flags().bounds_stale = 1;
    lens_flags().materials_changed = 1;
    optimise_surface_deleted(s);
    return 0;
}

void clear_group_selection() {
    LensData& l = lens_data();
    l.group_start = 0;
    l.group_kind_pending = 0;
    l.group_pending = 0;
    clear_state_flag(kFlagGroupStarted);
    clear_state_flag(kFlagGroupInner);
}

void close_pending_group() {
    LensData& l = lens_data();
    if (l.group_kind_pending != 0 && l.group_pending != 0) {
        SurfaceRecord& current = surface(l.current_surface);
        if (l.current_surface == l.group_start) {
            current.group_role = 0;
            current.group_kind = kGroupNone;
            clear_group_selection();
        } else {
            current.group_kind = static_cast<std::uint8_t>(l.group_kind_pending);
            current.group_role = kRoleLast;
            clear_state_flag(kFlagGroupInner);
        }
    }
    l.group_pending = 0;
}

void set_current_surface(int s) {
    LensData& l = lens_data();
    if (s < 0 || s > surface_limit()) return;
    if (s > l.image_surface) {
        l.image_surface = s;
        lens_flags().materials_changed = 1;
        lens_flags().bounds_stale = 1;
    }
    close_pending_group();
    clear_group_selection();
    const SurfaceRecord& r = surface(s);
    l.group_kind_pending = r.group_kind;
    if (r.group_kind != kGroupNone) {
        l.group_start = group_start_surface(s);
        set_state_flag(kFlagGroupStarted);
        if (r.group_kind == kGroupNonSequential && r.group_role == kRoleInner) {
            set_state_flag(kFlagGroupInner);
        }
    }
    l.current_surface = s;
    report_current_surface();
}

void report_current_surface() {
    if (test_state_flag(kFlagSingleCommandUpdate) != 0) return;
    if (test_state_flag(kFlagLensEntryInProgress) == 0) return;
    const int s = lens_data().current_surface;
    const int kind = surface(s).group_kind;
    if (kind != kGroupNone) {
        print_msg(kMsgCurrentGroupSurface, s, group_kind_label(kind));
        status_msg(kMsgCurrentGroupSurfaceStatus, s, group_kind_label(kind));
    } else {
        print_msg(kMsgCurrentSurface, s);
        status_msg(kMsgCurrentSurfaceStatus, s);
    }
}
