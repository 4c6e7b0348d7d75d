#include "entry/sheet_values.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "entry/sheet_hooks.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "runtime/list_words.h"
#include "runtime/table_lists.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kDegrees = 57.29577951308232;
// The tabled list the choice list is copied from.
constexpr const char* kChoiceListName = "special_data_choices";

bool valid_surface(int s) {
    return surface_array() != nullptr && s >= 0 && s <= lens_data().image_surface &&
           s <= surface_limit();
}

bool in_later_member(const SurfaceRecord& r) {
    return r.group_kind == 1 && r.group_role != kRoleFirst && r.group_role != 0;
}

double decentre_value(const DecentreRecord* d, int k) {
    if (d == nullptr) return 0.0;
    const double v[6] = {d->dcx, d->dcy, d->dcz, d->tla, d->tlb, d->tlc};
    return v[k];
}

double asphere_value(const AsphereRecord* a, int k) {
    if (a == nullptr || a->entered == nullptr || k >= a->entered_count) return 0.0;
    return a->entered[k];
}

}  // namespace

double get_lens_value(int field, int index) {
    const LensData& l = lens_data();
    const bool have_s = valid_surface(index);
    const SurfaceRecord* s = have_s ? &surface(index) : nullptr;
    switch (field) {
        case kFieldRadius:
            if (s == nullptr || std::fabs(s->curvature) <= kTiny) return 0.0;
            return 1.0 / s->curvature;
        case kFieldThickness:
            return s != nullptr ? s->thickness : 0.0;
        case kFieldAperture:
            return s != nullptr ? s->aperture_radius : 0.0;
        case kFieldCurvature:
            return s != nullptr ? s->curvature : 0.0;
        case kCmdUni:
            return l.units;
        case kCmdObh:
            return l.object_height;
        case kCmdAng:
            if (surface_array() == nullptr) return 0.0;
            return std::atan2(-l.object_height, l.entrance_pupil_position + surface(0).thickness) *
                   kDegrees;
        case kCmdTem:
            return l.temperature;
        case kCmdEbr:
            return l.entrance_beam_radius;
        case kCmdNao:
            return l.object_na;
        case kCmdWv:
            if (index < 1 || index > l.wavelength_count || l.wavelengths == nullptr) return 0.0;
            return l.wavelengths[index - 1].wavelength;
        case kCmdWw:
            if (index < 1 || index > l.wavelength_count || l.wavelengths == nullptr) return 0.0;
            return l.wavelengths[index - 1].weight;
        case kCmdTceL:
            return valid_surface(l.current_surface) ? surface(l.current_surface).medium_tce : 0.0;
        case kCmdCcL:
            return s != nullptr ? s->conic : 0.0;
        case kCmdCvxL:
            return s != nullptr ? s->x_curvature : 0.0;
        case kCmdDcxL:
        case kCmdDcyL:
        case kCmdDczL:
        case kCmdTlaL:
        case kCmdTlbL:
        case kCmdTlcL:
            return s != nullptr ? decentre_value(s->decentre, field - kCmdDcxL) : 0.0;
        case kCmdAdL:
        case kCmdAeL:
        case kCmdAfL:
        case kCmdAgL:
            // A standard asphere keeps the terms of orders 4 to 10 from its third entry on.
            return s != nullptr ? asphere_value(s->asphere, field - kCmdAdL + 2) : 0.0;
        case kCmdDthL:
            return s != nullptr && s->grin != nullptr ? s->grin->step : 0.0;
        case kCmdGspL:
            return s != nullptr ? s->grating_spacing : 0.0;
        case kCmdFcvL:
            return valid_surface(l.current_surface) ? surface(l.current_surface).fresnel_curvature
                                                    : 0.0;
        case kCmdFccL:
            return valid_surface(l.current_surface) ? surface(l.current_surface).fresnel_conic
                                                    : 0.0;
        case kCmdHwvL:
            return s != nullptr && s->hologram != nullptr ? s->hologram->wavelength : 0.0;
        case kCmdHx1L:
        case kCmdHy1L:
        case kCmdHz1L:
            return s != nullptr && s->hologram != nullptr
                       ? s->hologram->first_point[field - kCmdHx1L]
                       : 0.0;
        case kCmdHx2L:
        case kCmdHy2L:
        case kCmdHz2L:
            return s != nullptr && s->hologram != nullptr
                       ? s->hologram->second_point[field - kCmdHx2L]
                       : 0.0;
        case kCmdPflL:
        case kCmdPfmL: {
            if (!valid_surface(l.current_surface)) return 0.0;
            const PerfectLensRecord* p = surface(l.current_surface).perfect_lens;
            if (p == nullptr) return 0.0;
            return field == kCmdPflL ? p->focal_length : p->magnification;
        }
        default:
            return 0.0;
    }
}

int set_sheet_value(int field, int n, double value) {
    if (!valid_surface(n)) return 0;
    SurfaceRecord& s = surface(n);
    switch (field) {
        case kFieldCurvature:
            s.curvature = value;
            s.curvature_kind = 0;
            s.curvature_source = 0;
            break;
        case kFieldRadius:
            s.curvature = std::fabs(value) <= kTiny ? 0.0 : 1.0 / value;
            s.curvature_kind = 0;
            s.curvature_source = 0;
            break;
        case kFieldThickness:
            s.thickness = value;
            s.thickness_kind = 0;
            s.thickness_source = 0;
            s.thickness_source2 = 0;
            s.thickness_solve_value = 0;
            s.thickness_solve_value2 = 0;
            break;
        case kFieldAperture: {
            SurfaceRecord& current = surface(
                valid_surface(lens_data().current_surface) ? lens_data().current_surface : n);
            s.aperture_radius = value;
            if (s.aperture_check == 1) {
                s.aperture_kind = 1;
                current.aperture_check = 1;
            } else {
                s.aperture_kind = value == 0.0 ? 0 : 1;
                current.aperture_check = 0;
            }
            break;
        }
        default:
            break;
    }
    return 0;
}

int special_data_type_name(int n, char* text, std::size_t size) {
    if (text == nullptr || size == 0) return 0;
    text[0] = '\0';
    if (!valid_surface(n)) return 0;
    const std::size_t limit = size < kSpecialDataNamesSize ? size : kSpecialDataNamesSize;
    const SurfaceRecord& s = surface(n);
    int count = 0;
    std::string joined;
    auto add = [&](const char* name) {
        std::string next = joined.empty() ? std::string(name) : joined + "; " + name;
        if (next.size() + 1 > limit) return;
        joined = std::move(next);
        ++count;
    };
    const bool later_member = in_later_member(s);
    if (s.conic != 0.0) add("Conic");
    if (s.toric != 0 || (s.asphere != nullptr && s.asphere->kind == kAsphereBiconic)) add("Toric");
    if (s.asphere != nullptr)
        add(s.asphere->kind == kAsphereEven ? "Standard asphere" : "Polynomial asphere");
    if (s.spline != nullptr) add("Spline profile");
    if (s.decentre != nullptr && s.decentre_reference == nullptr && !later_member) {
        add(s.bend != 0 ? "Tilt and bend" : "Coordinates");
    }
    if (s.decentre_reference != nullptr || (s.decentre != nullptr && later_member)) {
        add("Global coordinates");
    }
    if (s.grating_spacing != 0.0) add("Grating");
    if (s.fresnel) add("Fresnel");
    if (s.alternate_intersection) add("ASI");
    if (s.tir_only) add("TIR only");
    if (s.rod) add("Extrude to form rod");
    if (s.drawing_mode) add("Drawing control");
    if (s.skip_to != 0) add("Skip surface");
    if (s.return_coordinates != nullptr) add("Coordinate return");
    if (s.hologram != nullptr) add("Hologram");
    if (s.diffractive != nullptr) {
        add(s.diffractive->kind == kDiffractiveZernike ||
                    s.diffractive->kind == kDiffractiveZernikeXy
                ? "Zernike phase surface"
                : "Diffractive surface");
    }
    if (s.grin != nullptr) add("Grin medium");
    if (s.perfect_lens != nullptr) add("Perfect lens");
    if (s.group_kind == 1) add("Non-sequential data");
    if (s.element_drawing != nullptr) add("Element drawing");
    std::snprintf(text, limit, "%s", joined.c_str());
    return count;
}

namespace {

struct Choice {
    std::string text;
    std::string value;
    bool keep = true;
};

// Asphere kinds entries 10, 11, 13, 15, 19 and 21 stand for.
constexpr int kAsphereEntries[][2] = {{10, 0}, {11, 1}, {13, 11}, {15, 3}, {19, 7}, {21, 9}};
constexpr int kDiffractiveEntries[][2] = {{27, 0}, {29, 2}, {31, 4}};
constexpr int kGrinEntries[][2] = {{35, 1}, {36, 2}, {37, 10}, {38, 11}};

void mark(Choice& c, bool has) {
    if (c.text.size() < 6) c.text.resize(6, ' ');
    c.text[5] = has ? '*' : '~';
}

// A group heading keeps the number of its sub-entries that stay, or goes when none does.
void heading(std::vector<Choice>& list, int at, int first, int last) {
    int stays = 0;
    for (int k = first; k <= last; ++k) stays += list[k].keep ? 1 : 0;
    list[at].keep = stays > 0;
    list[at].value = "$" + std::to_string(stays);
}

}  // namespace

int cmd_special_data_menu() {
    const int table_list = find_list(kChoiceListName, false);
    std::vector<Choice> list;
    if (table_list >= 0) {
        select_table_value_list(table_list);
        for (int i = 0; i < value_list_count(); ++i) {
            const char* a = value_list_first(i);
            const char* b = value_list_second(i);
            list.push_back({a != nullptr ? a : "", b != nullptr ? b : "", true});
        }
    }
    start_built_list();
    if (list.size() < 54 || surface_array() == nullptr) return 0;

    const LensData& l = lens_data();
    const int n = valid_surface(l.current_surface) ? l.current_surface : 0;
    const SurfaceRecord& s = surface(n);
    const bool end_surface = n == 0 || n == l.image_surface;
    const int asphere_kind = s.asphere != nullptr ? s.asphere->kind : -1;
    const int diffractive_kind = s.diffractive != nullptr ? s.diffractive->kind : -1;
    const int grin_kind = s.grin != nullptr ? s.grin->kind : -1;
    const bool starts_element =
        element_starts_at(n, s.group_role == kRoleFirst && s.group_kind != 1);

    for (int k : {3, 4, 12, 14, 16, 17, 18, 20, 22, 28, 30, 32, 33}) list[k].keep = false;
    for (int k = 39; k <= 53; ++k) list[k].keep = false;

    mark(list[0], s.note != nullptr && s.note[0] != '\0');
    list[1].value = "$" + std::to_string(starts_element ? 2 : 1);
    mark(list[2], s.fresnel || s.alternate_intersection || s.tir_only || s.rod || s.drawing_mode ||
                      s.skip_to != 0);
    list[5].keep = starts_element;
    mark(list[5], s.element_drawing != nullptr);
    mark(list[6], s.decentre != nullptr || s.return_coordinates != nullptr);
    list[7].keep = !end_surface && s.grating_spacing == 0.0 && s.hologram == nullptr &&
                   s.diffractive == nullptr && s.grin == nullptr;
    mark(list[7], s.perfect_lens != nullptr);

    const bool free_form = s.perfect_lens == nullptr && s.spline == nullptr;
    list[9].keep = free_form && asphere_kind != 2 && asphere_kind != 7 && asphere_kind != 8 &&
                   asphere_kind != 12;
    mark(list[9], s.conic != 0.0 || s.toric != 0 || asphere_kind == 6);
    for (const auto& e : kAsphereEntries) {
        list[e[0]].keep = free_form && (asphere_kind < 0 || asphere_kind == e[1]);
        mark(list[e[0]], asphere_kind == e[1]);
    }
    heading(list, 8, 9, 21);
    list[23].keep = s.perfect_lens == nullptr && s.asphere == nullptr;
    mark(list[23], s.spline != nullptr);

    list[25].keep = !end_surface && s.perfect_lens == nullptr && s.hologram == nullptr &&
                    s.diffractive == nullptr;
    mark(list[25], s.grating_spacing != 0.0);
    list[26].keep = !end_surface && s.grating_spacing == 0.0 && s.diffractive == nullptr &&
                    s.perfect_lens == nullptr;
    mark(list[26], s.hologram != nullptr);
    for (const auto& e : kDiffractiveEntries) {
        list[e[0]].keep = !end_surface && s.grating_spacing == 0.0 && s.hologram == nullptr &&
                          s.perfect_lens == nullptr &&
                          (diffractive_kind < 0 || diffractive_kind == e[1]);
        mark(list[e[0]], diffractive_kind == e[1]);
    }
    heading(list, 24, 25, 31);
    for (const auto& e : kGrinEntries) {
        list[e[0]].keep = !end_surface && s.perfect_lens == nullptr && !s.rod &&
                          (grin_kind < 0 || grin_kind == e[1]);
        mark(list[e[0]], grin_kind == e[1]);
    }
    heading(list, 34, 35, 38);

    for (const Choice& c : list) {
        if (c.keep) add_built_list_entry(c.text, c.value);
    }
    return 0;
}
