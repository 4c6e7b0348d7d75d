// The single-ray commands: one ray of kind 1 traced and listed surface by surface, in each
// surface's frame or in the frame of the lens's global-coordinate surface.
#include "trace/single_ray_listing.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "lens/lens_data.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_aiming.h"
#include "trace/ray_frames.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"
#include "trace/surface_frames.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
// The surface-number column of a surface line: "%3d" and three blanks.
constexpr int kLabelWidth = 6;

struct ListingOptions {
    bool normals;
    bool global;
    bool numbered;
};

void cell(double v, bool end_line = false) {
    paraxial_number_cell(v, end_line);
}

// A row label in the place of the surface-number column, so that the numbers after it stand
// under the surface lines' columns.
void row_label(int code) {
    const std::string text = format_message(code, {});
    text_out(text.c_str());
    text_spaces(std::max(0, kLabelWidth - static_cast<int>(text.size())));
}

// Into the frame of the global-coordinate surface, from the frame of surface s (the ray's own
// frame first when it travels in one).
void to_global(const RayRecord& ray, int s, double p[3], bool offsets) {
    const int gcs = lens_data().global_coordinate_surface;
    int from = s;
    if (ray.frame_surface > 0) {
        frame_point_between_surfaces(p, s, ray.frame_surface, offsets ? 1 : 0);
        apply_frame_to_ray_point(ray, p[0], p[1], p[2], offsets);
        from = ray.frame_surface;
    }
    frame_point_between_surfaces(p, from, gcs, offsets ? 1 : 0);
}

void list_surface(RayRecord& ray, const ListingOptions& o) {
    const LensData& lens = lens_data();
    int s = ray.surface;
    if (ray.group_offset >= 1) {
        if (!lens.gprt) return;
        s = ray.surface + ray.group_offset;
    }
    const SurfaceRecord& sr = surface(ray.surface);
    if (s > 1 && ray.group_offset < 1 && ray.prev_medium != nullptr && ray.prev_medium[0] == 1.0 &&
        (sr.group_kind == 0 || sr.group_role == kRoleFirst)) {
        text_newline();
    }
    text_printf("%3d   ", s);
    double p[3] = {ray.x, ray.y, ray.z};
    double d[3] = {ray.k, ray.l, ray.m};
    if (o.global) {
        to_global(ray, ray.surface, p, true);
        to_global(ray, ray.surface, d, false);
    }
    const double ax = angle_of(d[0], d[2]), ay = angle_of(d[1], d[2]);
    cell(p[1]);
    cell(p[0]);
    cell(p[2]);
    cell(ay * kDegreesPerRadian);
    cell(ax * kDegreesPerRadian);
    cell(ray.dist);
    if (o.numbered) cell(s);
    text_newline();
    if (!o.normals) return;
    if (ray.normal_len2 != 1.0) {
        const double r = std::sqrt(ray.normal_len2);
        ray.normal_len2 = 1.0;
        ray.nx /= r;
        ray.ny /= r;
        ray.nz /= r;
        ray.cos_i /= r;
    }
    double n[3] = {ray.nx, ray.ny, ray.nz};
    if (o.global) to_global(ray, ray.surface, n, false);
    const double cx = n[1] * d[2] - n[2] * d[1], cy = n[2] * d[0] - n[0] * d[2],
                 cz = n[0] * d[1] - n[1] * d[0];
    const double cross = std::sqrt(cx * cx + cy * cy + cz * cz);
    double r = cross <= 1.0 ? std::asin(cross) : M_PI / 2;
    double i = std::fabs(ray.cos_i) <= 1.0 ? std::acos(ray.cos_i) : 0.0;
    if (n[0] * d[0] + n[1] * d[1] + n[2] * d[2] < 0.0) {
        r = -r;
        i = -i;
    }
    text_spaces(6);
    cell(n[1]);
    cell(n[0]);
    cell(n[2]);
    cell(i * kDegreesPerRadian);
    cell(r * kDegreesPerRadian);
    cell(ray.opl, true);
}

}  // namespace

int cmd_trace_single_ray() {
    if (const int rc = check_lens_has_surfaces(); rc != 0) return rc;
    const LensData& lens = lens_data();
    const int command = current_command();
    const bool single = command == kCmdTraceSingleRay;
    const bool headings = output_option(kOptionOutputText) != 0;
    const int image = lens.image_surface;
    ListingOptions o{arg_int(0) != 0, arg_int(1) != 0, false};
    RayRecord ray{};
    ray.kind = kRayReported;
    int first, last;
    if (!single) {
        if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
            if (const int rc = set_object_point(); rc != 0) return rc;
        }
        const RayRecord& ref = reference_ray().ray;
        ray.obj_x = ref.obj_x;
        ray.obj_y = ref.obj_y;
        ray.obj_z = ref.obj_z;
        ray.wavelength = lens.current_wavelength;
        ray.pup_y = arg_double(3);
        ray.pup_x = arg_double(4);
        first = arg_int(5);
        last = arg_int(6);
        o.numbered = arg_int(7) != 0;
        if (arg_int(2) != 0) {
            first = 1;
            last = image >= 1 ? image : 1;
        }
    } else {
        ray.obj_y = arg_double(2);
        ray.obj_x = arg_double(3);
        ray.obj_z = arg_double(4);
        ray.pup_y = arg_double(5);
        ray.pup_x = arg_double(6);
        const int w = arg_int(7);
        // A wavelength number outside the table would index past the lens's arrays.
        if (w < 1 || w > lens.wavelength_count) {
            return set_error_msg(kMsgWavelengthOutside, lens.wavelength_count);
        }
        ray.wavelength = w - 1;
        // The ray is given in full by the arguments: its pupil fractions lie on the paraxial
        // entrance pupil rather than around the reference ray of whichever object point was
        // traced last.
        ray.pupil_at_entrance = 1;
        first = arg_int(8);
        last = arg_int(9);
        o.numbered = arg_int(10) != 0;
    }
    if (single || arg_int(2) == 0) {
        if (first != 0) {
            if (last < first) last = first;
        } else if (last == 0) {
            first = last = image;
        } else {
            first = 1;
        }
    }
    // Nothing is listed beyond the image.
    if (last > image) last = image;
    const bool image_errors = last == image && !single;
    if (o.global) build_surface_frames(0);

    if (headings) {
        if (o.global) {
            print_msg(single ? kMsgGlobalHeadingSingle : kMsgGlobalHeading,
                      lens.global_coordinate_surface);
        } else {
            print_msg(single ? kMsgLocalHeadingSingle : kMsgLocalHeading);
        }
        const int w = single ? ray.wavelength : lens.current_wavelength;
        if (w != 0) text_printf(" (WAVELENGTH %d)", w + 1);
        text_newline();
        paraxial_configuration_warning();
        if (o.numbered) {
            print_msg(o.normals ? kMsgHeadingNormalsNumbered : kMsgHeadingNumbered);
        } else {
            print_msg(o.normals ? kMsgHeadingNormals : kMsgHeading);
        }
        text_newline();
    }
    // A wide-angle aim solves afresh for this ray's own object point and wavelength, instead of
    // starting from the cached solution of another ray; the cache and the set-up values of the
    // current object point are put back afterwards for the analyses that go on from them.
    std::optional<ScopedValue<TraceGlobals>> kept_trace_state;
    if (single) {
        kept_trace_state.emplace(trace_globals());
        trace_globals().aim_cache_stale = 1;
    }
    setup_ray_at_object(ray, nullptr);
    if (ray.failure != 0) return 0;
    while (ray.surface < last) {
        trace_to_next_surface(ray);
        if (ray.failure != 0) return 0;
        if (ray.surface >= first) list_surface(ray, o);
    }
    if (!single) {
        if (image_errors) ray_errors_vs_reference(ray, true);
        if (headings) {
            row_label(image_errors ? kMsgPupilErrorRow : kMsgPupilHeading);
        }
        cell(ray.pup_y);
        if (!image_errors) {
            cell(ray.pup_x, true);
        } else {
            cell(ray.pup_x);
            text_spaces(36);
            cell(ray.opd, true);
        }
    } else {
        if (headings) {
            row_label(kMsgInputRow);
        }
        cell(ray.obj_y);
        cell(ray.obj_x);
        cell(ray.obj_z);
        cell(ray.pup_y);
        cell(ray.pup_x, true);
    }
    return 0;
}

void install_single_ray_listing() {
    set_handler(kSlotTraceSingleRay, cmd_trace_single_ray);
}
