#include "drawing/draw_rays.h"

#include <algorithm>
#include <cmath>

#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "drawing/element_outlines.h"
#include "drawing/hidden_lines.h"
#include "drawing/surface_walk.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "trace/drawing_buffers.h"
#include "trace/object_point.h"
#include "trace/ray_frames.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"
#include "trace/surface_frames.h"

namespace {

constexpr double kZero = 1e-40;
constexpr int kCodeReport = 1;
constexpr int kCodeStubs = 2;
constexpr int kCodeFieldX = 4;
constexpr int kCodeFieldXY = 5;

const DrawingConditions& conditions() {
    static const DrawingConditions kNone{};
    const DrawingConditions* c = lens_data().drawing_conditions;
    return c != nullptr ? *c : kNone;
}

// The surface where rays begin: the first one of the walk that is drawn, has a mesh, starts a
// non-sequential group, is the marked stop, or the object surface itself; -1 when none.
int ray_start_surface() {
    const LensDrawingState& st = lens_drawing_state();
    const LensData& lens = lens_data();
    start_surface_walk();
    while (next_drawn_surface() != 0) {
        const int n = st.walker;
        if (n < st.first) continue;
        const SurfaceRecord& s = surface(n);
        const bool stop =
            st.stop_mark && n == lens.aperture_stop && !(n == st.first && s.thickness < 0.0);
        if (!surface_hidden_in_drawing(false) || s.mesh != nullptr ||
            starts_nonsequential_group(n) || stop || (n == 0 && st.first == 0)) {
            return n;
        }
    }
    return -1;
}

// A surface that adds no point to a ray: same medium on both sides and nothing special.
bool plain_dummy(int n) {
    const SurfaceRecord& s = surface(n);
    return nonsequential_group_start(n) == 0 && !surface_is_mirror(s) && s.hologram == nullptr &&
           s.diffractive == nullptr && s.perfect_lens == nullptr &&
           !has_further_special_records(s, false) && s.special_aperture_count <= 0 &&
           s.aperture_check == 0 && s.drawing_mode != kDrawingOn &&
           std::fabs(drawing_index(n) - drawing_index_before(n)) <= kZero;
}

// The emitter of one ray: the first point starts the polyline, the others continue it.
struct RayLine {
    const RayRecord* ray = nullptr;
    bool started = false;
    void point(const double p[3], int n) {
        set_drawing_point(0, p[0], p[1], p[2]);
        double g[3];
        drawing_point_to_global(*ray, p, n, g);
        drawing_emit(g, started);
        started = true;
    }
};

}  // namespace

void drawing_point_to_global(const RayRecord& ray, const double p[3], int n, double out[3]) {
    const int f = ray.frame_surface;
    if (f > 0 && f <= lens_data().image_surface && f != n) {
        double q[3] = {p[0], p[1], p[2]};
        frame_point_between_surfaces(q, n, f, 1);
        apply_frame_to_ray_point(ray, q[0], q[1], q[2], true);
        frame_point_to_global(q, f, out);
        return;
    }
    frame_point_to_global(p, n, out);
}

namespace {

// The direction a ray comes in with, in the frame of the first surface drawn.
void incoming_direction(const RayRecord& ray, int start, double incoming[3]) {
    double d[3] = {ray.k, ray.l, ray.m};
    if (ray.surface == 0) {
        const double* m = surface(start).frame.m;
        incoming[0] = m[0] * d[0] + m[4] * d[1] + m[8] * d[2];
        incoming[1] = m[1] * d[0] + m[5] * d[1] + m[9] * d[2];
        incoming[2] = m[2] * d[0] + m[6] * d[1] + m[10] * d[2];
    } else {
        frame_point_between_surfaces(d, ray.surface, start, 0);
        incoming[0] = d[0];
        incoming[1] = d[1];
        incoming[2] = d[2];
    }
}

// How a ray ends after the last surface drawn: the drawing conditions' ray-end mode
// (RayEndMode), with the middle ray's length and path for kRayEndEqualPath.
struct RayEnd {
    int mode = 0;
    int image = 0;
    double image_length = 0.0;
    bool wavefront = false;
    double reference_length = 0.0;
    double reference_path = 0.0;
};

void draw_ray_end(RayRecord& ray, RayLine& line, int last, const RayEnd& end) {
    if (end.mode == kRayEndToImage && last == end.image - 1) {
        trace_to_next_surface(ray);
        if (ray.failure != kRayFailMissed) {
            const double p[3] = {ray.x, ray.y, ray.z};
            line.point(p, ray.surface);
        }
        return;
    }
    if (end.mode == kRayEndAtSurface) return;
    double t = 0.0;
    if (end.mode == kRayEndEqualPath && end.wavefront) {
        const double index = std::fabs(drawing_index(last));
        t = end.reference_length + (end.reference_path - ray.opl) / (index > 0 ? index : 1);
    } else if (std::fabs(ray.m) > 1e-10) {
        t = (end.image_length - ray.z) / ray.m;
    }
    const double p[3] = {ray.x + t * ray.k, ray.y + t * ray.l, ray.z + t * ray.m};
    line.point(p, last);
}

}  // namespace

int draw_ray_set(double field_y, double field_x, int n, double lower, double upper, double offset,
                 int w, bool along_x) {
    const LensDrawingState& st = lens_drawing_state();
    const LensData& lens = lens_data();
    const DrawingConditions& c = conditions();
    const int image = lens.image_surface;
    const int start = ray_start_surface();
    if (start < 0) n = 0;
    if (n <= 0) return 0;
    const int last = std::min(st.ray_last, image);

    // The field point of the set for the time of the set; the analyses find theirs unchanged.
    ScopedValue<ObjectPoint> kept_point(object_point());
    ScopedValue<ReferenceRay> kept_reference(reference_ray());
    ScopedValue<TraceGlobals> kept_trace(trace_globals());
    const bool reference_current = test_state_flag(kFlagReferenceRayCurrent) != 0;
    {
        ObjectPoint& p = object_point();
        p.y = field_y;
        p.z = 0.0;
        p.x = field_x;
        p.pupil_x = p.pupil_y = 0.0;
        p.selected = 0;
        set_object_point();
    }
    if (lower > upper) std::swap(lower, upper);
    const double step = n >= 2 ? (upper - lower) / (n - 1) : 0.0;
    if (w < 0 || w >= lens.wavelength_count) w = 0;
    auto setup = [&](RayRecord& ray, double pupil) {
        ray = RayRecord{};
        ray.obj_x = field_x;
        ray.obj_y = field_y;
        ray.obj_z = 0.0;
        ray.pup_x = along_x ? pupil : offset;
        ray.pup_y = along_x ? offset : pupil;
        ray.wavelength = w;
    };

    // The middle ray: the reference of rays that end at equal optical path.
    RayEnd end;
    end.mode = c.dlrs;
    end.image = image;
    end.image_length = st.image_length;
    RayRecord ray{};
    setup(ray, 0.5 * (lower + upper));
    ray.kind = kRayPlain;
    setup_ray_at_object(ray, nullptr);
    if (ray.failure == 0) trace_to_surface(ray, last);
    if (c.dlrs == 1 && ray.failure == 0 && ray.surface == last && std::fabs(ray.m) > 1e-10) {
        end.wavefront = true;
        end.reference_length = st.image_length / ray.m;
        end.reference_path = ray.opl;
    }
    const int mode = drawing_buffers().output_mode;
    if (mode == kCadModeDxf) {
        dxf_comment("DRR ray command: ");
        LensDrawingState& ms = lens_drawing_state();
        ms.layer_counter = (ms.layer_counter + 1) % 8;
        cad_output().layer = ms.layer_counter;
    }
    const DrawingBuffers& buffers = drawing_buffers();
    double pupil = lower;
    platform::UiBackend* ui = platform::current_ui();
    int result = 0;
    for (int k = 1; k <= n; ++k) {
        if (ui != nullptr && ui->poll_escape()) {
            result = kStopped;
            break;
        }
        setup(ray, pupil);
        ray.kind = kRayKept;
        setup_ray_at_object(ray, nullptr);
        const double set_up[3] = {ray.x, ray.y, ray.z};
        RayLine line;
        line.ray = &ray;
        double incoming[3] = {0.0, 0.0, 1.0};
        while (ray.surface <= last && ray.failure == 0) {
            if (ray.surface < start) incoming_direction(ray, start, incoming);
            const int before = ray.surface;
            trace_to_next_surface(ray);
            if (ray.surface == before) break;  // no progress: nothing more to draw
            const int reached = ray.surface;
            if (reached < start || reached > last || ray.failure == kRayFailObjectPoint ||
                ray.failure == kRayFailMissed) {
                continue;
            }
            const SurfaceRecord& s = surface(reached);
            const double hit[3] = {ray.x, ray.y, ray.z};
            const double extra[3] = {ray.dx, ray.dy, ray.dz};
            const bool perfect = s.perfect_lens != nullptr;
            if (!line.started && start == 0) line.point(set_up, 0);
            if (!line.started && reached == start) {
                if (start == 1 && lens.aim_extended != 0 && std::fabs(set_up[2]) < 10000.0) {
                    line.point(set_up, 0);
                } else {
                    const double* from = perfect ? extra : hit;
                    double t;
                    if (lens.wide_angle != 0 || std::fabs(incoming[2]) < 0.5) {
                        t = -st.object_length;
                    } else {
                        t = std::min(0.0, -(st.object_length + from[2]) / incoming[2]);
                    }
                    const double p[3] = {from[0] + t * incoming[0], from[1] + t * incoming[1],
                                         from[2] + t * incoming[2]};
                    line.point(p, reached);
                }
                if (perfect) line.point(extra, reached);
                line.point(hit, reached);
            } else if (line.started) {
                const bool curved = reached != start && reached > 0 &&
                                    !(nonsequential_group_start(reached) != 0 &&
                                      !starts_nonsequential_group(reached)) &&
                                    surface(reached - 1).grin != nullptr;
                if (curved) {
                    const int rows = static_cast<int>(ray.dtan_x + 0.5);
                    if (rows >= buffers.point_rows) {
                        // The trace could not keep every point of the path.
                        print_msg(kMsgDrawingPathTooLong, reached - 1);
                        continue;
                    }
                    for (int r = 1; r <= rows; ++r) {
                        const double* q = buffers.points[r];
                        const double p[3] = {q[0], q[1], q[2]};
                        line.point(p, reached - 1);
                    }
                    if (ray.failure == 0) line.point(hit, reached);
                } else {
                    if (perfect) line.point(extra, reached);
                    if (!plain_dummy(reached)) line.point(hit, reached);
                }
            }
            if (reached == last && ray.failure == 0 && line.started) {
                draw_ray_end(ray, line, last, end);
                break;
            }
        }
        pupil = std::min(pupil + step, upper);
    }
    end_drawing_line();

    object_point() = kept_point.saved();
    set_object_point();
    reference_ray() = kept_reference.saved();
    trace_globals() = kept_trace.saved();
    if (reference_current) {
        set_state_flag(kFlagReferenceRayCurrent);
    } else {
        clear_state_flag(kFlagReferenceRayCurrent);
    }
    return result;
}

int cmd_draw_field_rays() {
    if (!test_state_flag(kFlagLensDrawingShown)) return kMsgNoLensDrawing;
    const LensData& lens = lens_data();
    const DrawingConditions& c = conditions();
    const bool styles = get_setting_flag(kSetStepMode) != 0;
    const bool screen = drawing_buffers().output_mode < kCadModeDxf;
    // Each set takes the next pen of the sequence; the pen in use before comes back after.
    struct PenScope {
        int pen = graphics_pen_colour();
        bool screen;
        ~PenScope() {
            if (screen) gfx_set_color(pen);
        }
    } pen_scope{graphics_pen_colour(), screen};
    int result = 0;
    for (int i = 0; i < c.row_count && c.rows != nullptr; ++i) {
        const DrawingRaySet& row = c.rows[i];
        if (row.ray_count < 1) continue;
        if (styles) gfx_set_line_style(i);
        const int w = row.wavelength >= 1 && row.wavelength <= lens.wavelength_count
                          ? row.wavelength - 1
                          : lens.current_wavelength;
        const bool along_x = row.drawn == 0;
        if (screen) {
            gfx_set_color(-1);
            const double factor = lens_drawing_state().viewport_factor;
            set_drawing_viewport(factor);
            set_drawing_window();
            result = draw_ray_set(row.field_fraction, row.x_field_fraction, row.ray_count,
                                  row.pupil_min, row.pupil_max, row.offset, w, along_x);
            set_drawing_viewport(1.0 / factor);
        } else {
            result = draw_ray_set(row.field_fraction, row.x_field_fraction, row.ray_count,
                                  row.pupil_min, row.pupil_max, row.offset, w, along_x);
        }
        if (styles) gfx_set_line_style(0);
        if (result != 0) return result;
    }
    return 0;
}

int cmd_draw_rays() {
    LensDrawingState& st = lens_drawing_state();
    const LensData& lens = lens_data();
    const int code = arg_int(0);
    if (code == kCodeReport) {
        print_msg(kMsgDrawingReportTitle);
        print_msg(kMsgDrawingReportRange);
        print_number_cell(st.first);
        print_number_cell(st.last);
        print_number_cell(st.ray_first);
        print_number_cell_eol(st.ray_last);
        print_msg(kMsgDrawingReportViews);
        print_msg(kMsgDrawingReportStubs);
        print_number_cell(drawing_views().other_angles[0]);
        print_number_cell(drawing_views().other_angles[1]);
        print_number_cell(st.object_length);
        print_number_cell_eol(st.image_length);
        return 0;
    }
    if (code == kCodeStubs) {
        st.object_length = arg_double(8);
        st.image_length = arg_double(9);
        RayRecord ray{};
        ray.kind = kRayPlain;
        ray.wavelength = lens.current_wavelength;
        setup_ray_at_object(ray, nullptr);
        if (ray.failure == 0) trace_to_surface(ray, st.ray_last);
        if (ray.failure == 0 && ray.surface == st.ray_last && ray.m < 0.0) {
            st.image_length = -st.image_length;
        }
        return 0;
    }
    if (!test_state_flag(kFlagLensDrawingShown)) return kMsgNoLensDrawing;
    double field_y = arg_double(2);
    double field_x = 0.0;
    if (code == kCodeFieldX) {
        field_y = 0.0;
        field_x = arg_double(3);
    } else if (code == kCodeFieldXY) {
        field_x = arg_double(3);
    }
    const int wave = arg_int(10);
    const int w = wave >= 1 && wave <= lens.wavelength_count ? wave - 1 : lens.current_wavelength;
    const bool screen = drawing_buffers().output_mode < kCadModeDxf;
    const double factor = st.viewport_factor;
    if (screen) {
        set_drawing_viewport(factor);
        set_drawing_window();
    }
    const int result = draw_ray_set(field_y, field_x, arg_int(4), arg_double(5), arg_double(6),
                                    arg_double(7), w, arg_int(1) != 0);
    if (screen) set_drawing_viewport(1.0 / factor);
    return result;
}
