#include "drawing/surface_walk.h"

#include <cmath>

#include "drawing/draw_lens.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "tables/table_names.h"

namespace {

constexpr double kZero = 1e-40;

bool in_nonsequential_group(int n) {
    return nonsequential_group_start(n) != 0;
}

bool first_of_nonsequential_group(int n) {
    const int start = nonsequential_group_start(n);
    return start != 0 && start == n;
}

bool last_of_nonsequential_group(int n) {
    const int start = nonsequential_group_start(n);
    return start != 0 && group_end_surface(n) == n && n != start;
}

}  // namespace

int nonsequential_group_start(int n) {
    if (n < 1 || n > lens_data().image_surface) return 0;
    const int start = group_start_surface(n);
    return start > 0 && surface(start).group_kind == kGroupNonSequential ? start : 0;
}

bool starts_nonsequential_group(int n) {
    const SurfaceRecord& s = surface(n);
    return s.group_kind == kGroupNonSequential && s.group_role == kRoleFirst;
}

bool has_further_special_records(const SurfaceRecord& s, bool third_alone) {
    if (s.unsupported_records[0] != nullptr || s.unsupported_records[1] != nullptr) return true;
    return s.unsupported_records[2] != nullptr && (third_alone || s.asphere_term != 0.0);
}

double drawing_index(int n) {
    const SurfaceRecord& s = surface(n);
    const int w = lens_data().current_wavelength;
    return s.index != nullptr && w >= 0 ? s.index[w] : 1.0;
}

double drawing_index_before(int n) {
    for (int j = n - 1; j >= 0; --j) {
        if (surface(j).reversing == 0) return drawing_index(j);
    }
    return 1.0;
}

bool surface_is_mirror(const SurfaceRecord& s) {
    return s.medium_kind == kMediumMirror;
}

void start_surface_walk() {
    lens_drawing_state().walker = -1;
}

int next_drawn_surface() {
    LensDrawingState& st = lens_drawing_state();
    const LensData& lens = lens_data();
    const int image = lens.image_surface;
    int next = st.walker + 1;
    if (next <= image && next > 0) {
        const int link = surface(next).skip_to;
        if (link > next) {
            if (link > st.last) return 0;
            next = link;
        }
    }
    if (next > st.last) {
        const DrawingConditions* c = lens.drawing_conditions;
        const bool to_image = c != nullptr && c->dlrs == 3 && st.last == image - 1 &&
                              next == image && surface(image).drawing_mode == kDrawingOn;
        if (!to_image) return 0;
    }
    if (next > image) return 0;
    st.walker = next;
    return 1;
}

bool surface_hidden_in_drawing(bool strict) {
    const LensDrawingState& st = lens_drawing_state();
    const LensData& lens = lens_data();
    const int n = st.walker;
    const int image = lens.image_surface;
    if (n < 0 || n > image) return true;
    const SurfaceRecord& s = surface(n);
    if (strict && (n == image || n == 0) && s.drawing_mode == kDrawingOn) return false;
    if (n < st.first || n > st.last) return true;
    if (strict) {
        if (s.drawing_mode == kDrawingOff) return true;
        if (st.style == kStyleModel && s.drawing_mode == kDrawingAp) return true;
    }
    if (n == 0) return !st.every_surface;
    if (in_nonsequential_group(n) && !first_of_nonsequential_group(n)) {
        return !(s.special_aperture_count > 0 || s.aperture_radius != 0.0);
    }
    if (s.drawing_break == 1 || (n > 0 && surface(n - 1).drawing_break == 2)) return false;
    if (n == image) return !st.every_surface;
    if (s.drawing_mode == kDrawingOn) return false;
    if (st.every_surface) return false;
    const bool dummy = !surface_is_mirror(s) &&
                       std::fabs(drawing_index(n) / drawing_index_before(n) - 1.0) <= kZero &&
                       s.hologram == nullptr && s.diffractive == nullptr &&
                       s.perfect_lens == nullptr && s.grin == nullptr &&
                       s.special_aperture_count <= 0 && !has_further_special_records(s, false) &&
                       surface(n - 1).grin == nullptr;
    return dummy;
}

void drawing_current_surface(const SurfaceRecord** record, int* index) {
    const int n = lens_drawing_state().walker;
    if (index != nullptr) *index = n;
    if (record != nullptr) *record = n >= 0 ? &surface(n) : nullptr;
}

void track_mirror_parity() {
    LensDrawingState& st = lens_drawing_state();
    const int n = st.walker;
    const LensData& lens = lens_data();
    if (n < 0 || n > lens.image_surface) return;
    const SurfaceRecord& s = surface(n);
    const bool flips = surface_is_mirror(s) || s.reversing != 0;
    if (first_of_nonsequential_group(n)) {
        if (flips) st.mirror_parity ^= 1;
        double d = s.thickness;
        const int end = group_end_surface(n);
        if (end > n && surface(end).decentre != nullptr) d += surface(end).decentre->dcz;
        const bool turn =
            (st.mirror_parity == 0 && d <= 0.0) || (st.mirror_parity == 1 && d >= 0.0);
        st.exit_parity = turn ? 1 - st.mirror_parity : st.mirror_parity;
        return;
    }
    if (last_of_nonsequential_group(n)) {
        st.mirror_parity = st.exit_parity;
        return;
    }
    if (in_nonsequential_group(n) || n >= lens.image_surface) return;
    if (s.return_coordinates != nullptr && s.thickness > 0.0) {
        st.mirror_parity = 0;
    } else if (flips) {
        st.mirror_parity ^= 1;
    }
}
