#include "drawing/draw_lens.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "drawing/cad_output.h"
#include "drawing/draw_rays.h"
#include "drawing/element_outlines.h"
#include "drawing/hidden_lines.h"
#include "drawing/lens_model.h"
#include "drawing/surface_walk.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/drawing_buffers.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/sag_point.h"
#include "trace/surface_frames.h"
#include "trace/surface_sag.h"
#include "ui/plot_scale.h"

namespace {

LensDrawingState g_state;

constexpr double kZero = 1e-40;
constexpr double kLabelsFactor = 0.88;
constexpr int kNoteText = 8;
constexpr int kNoteStart = 9;
constexpr int kNoteMarker = 10;

// The argument cells of the commands drawn here, in the order of their parameters in
// tables/definitions/drawing.def. draw_picture takes the cells of draw_lens.
enum DrawLensCell : int {
    kLensCellView = 0,
    kLensCellSelection = 1,
    kLensCellEvery = 2,
    kLensCellObjectLength = 3,
    kLensCellImageLength = 4,
    kLensCellFirst = 5,
    kLensCellLast = 6,
    kLensCellShiftX = 7,
    kLensCellShiftY = 8,
    kLensCellScale = 9,
    kLensCells = 10,
};
// export_dxf and export_iges draw with their own cells: view and selection where draw_lens has
// them, then the every-surface switch (DXF only) and the range, without lengths or shifts.
enum ExportDxfCell : int {
    kDxfCellEvery = 2,
    kDxfCellFirst = 3,
    kDxfCellLast = 4,
};
enum ExportIgesCell : int {
    kIgesCellFirst = 2,
    kIgesCellLast = 3,
};
enum DrawNoteCell : int {
    kNoteCellKind = 0,
    kNoteCellX = 1,
    kNoteCellY = 2,
    kNoteCellZ = 3,
    kNoteCellSurface = 4,
    kNoteCellText = 5,
    kNoteCellMarker = 6,
    kNoteCellSize = 7,
};
enum LensPictureCell : int {
    kPictureCellView = 0,
    kPictureCellVariant = 1,
    kPictureCellConditions = 2,
    kPictureCellFirst = 3,
    kPictureCellLast = 4,
    kPictureCellRays = 5,
    kPictureCellScale = 6,
};

bool cad_mode() {
    return drawing_buffers().output_mode >= kCadModeDxf;
}

const DrawingConditions& conditions() {
    static const DrawingConditions kNone{};
    const DrawingConditions* c = lens_data().drawing_conditions;
    return c != nullptr ? *c : kNone;
}

bool cell_given(int i) {
    const ArgCell* c = arg_cell(i);
    return c != nullptr && i < arg_count() && c->status == kArgGiven;
}

// Half the largest minus the smallest corner coordinate of the surface's obstructions.
double special_aperture_span(const SurfaceRecord& s) {
    double lo = 1e300;
    double hi = -1e300;
    for (int i = 0; i < s.special_aperture_count && s.special_apertures != nullptr; ++i) {
        const SpecialAperture& a = s.special_apertures[i];
        if (a.action != kActionUntouched && a.action != kActionObstruct) continue;
        for (int k = 0; k < 4; ++k) {
            lo = std::min({lo, a.x[k], a.y[k]});
            hi = std::max({hi, a.x[k], a.y[k]});
        }
    }
    return hi >= lo ? hi - lo : 0.0;
}

double default_stub(int n) {
    const SurfaceRecord& s = surface(n);
    double length = 0.5 * std::fabs(s.aperture_radius);
    if (length < kZero) length = 0.25 * special_aperture_span(s);
    return length;
}

// The axial ray of the field centre traced from the object to surface last.
RayRecord axial_ray(int last) {
    RayRecord ray{};
    ray.kind = kRayPlain;
    ray.wavelength = lens_data().current_wavelength;
    setup_ray_at_object(ray, nullptr);
    if (ray.failure == 0) trace_to_surface(ray, last);
    return ray;
}

bool surface_starts_drawn_range(int n, int selection, int every) {
    const SurfaceRecord& s = surface(n);
    const LensData& lens = lens_data();
    return s.drawing_mode == kDrawingOn || starts_nonsequential_group(n) || s.drawing_break == 1 ||
           selection == 1 || every == 1 || surface_is_mirror(s) ||
           std::fabs(drawing_index(0) / drawing_index(1) - 1.0) > kZero || s.hologram != nullptr ||
           s.diffractive != nullptr || s.grin != nullptr || s.perfect_lens != nullptr ||
           s.mesh != nullptr || s.special_aperture_count > 0 ||
           has_further_special_records(s, false) ||
           (conditions().dlas == 1 && lens.aperture_stop == n) || lens.image_surface < 3;
}

// Reads the arguments into the drawing state; the abort flag stops the drawing.
void parse_drawing_arguments() {
    LensDrawingState& st = g_state;
    const LensData& lens = lens_data();
    const DrawingConditions& c = conditions();
    const int image = lens.image_surface;
    const int mode = drawing_buffers().output_mode;
    st.abort = 0;
    st.axis_h = 0;
    st.axis_v = 1;
    const int view = arg_int(kLensCellView);
    const int selection = arg_int(kLensCellSelection);
    if (view == kDrawViewPre && st.style != kStyleNone) {
        st.annotation_only = true;
        if (st.last > image - 1) st.last = image - 1;
        st.ray_last = std::min(st.ray_last, st.last);
        return;
    }
    st.annotation_only = false;
    st.fixed_scale = st.stop_mark = st.hatching = false;
    int every = 0;
    int first_cell = kLensCellFirst;
    int last_cell = kLensCellLast;
    bool lengths_defaulted = false;
    if (mode == kCadModeDxf) {
        every = arg_int(kDxfCellEvery);
        first_cell = kDxfCellFirst;
        last_cell = kDxfCellLast;
        lengths_defaulted = true;
    } else if (mode == kCadModeIges) {
        first_cell = kIgesCellFirst;
        last_cell = kIgesCellLast;
        lengths_defaulted = true;
    } else {
        every = arg_int(kLensCellEvery);
    }
    int first = arg_int(first_cell);
    int last = arg_int(last_cell);
    if (first == 0 && c.first_surface > 0) first = c.first_surface;
    if (last == 0 && c.last_surface > 0) last = c.last_surface;
    if (first < 1) {
        if (surface(0).drawing_mode == kDrawingOn) {
            first = 0;
        } else {
            first = surface_starts_drawn_range(1, selection, every) ? 1 : 2;
        }
    }
    last = last > 0 && last < image - 1 ? last : image - 1;
    if (last < first) {
        st.abort = kMsgDrawingRangeReversed;
        return;
    }
    st.first = first;
    st.last = last;
    const bool shifts_given = !lengths_defaulted;
    st.shift_x =
        shifts_given && cell_given(kLensCellShiftX) ? arg_double(kLensCellShiftX) : c.view[2];
    st.shift_y =
        shifts_given && cell_given(kLensCellShiftY) ? arg_double(kLensCellShiftY) : c.view[3];
    st.ray_first = first;
    st.ray_last = last;
    const RayRecord ray = axial_ray(last);

    bool object_from_dlid = false;
    double object_length = 0.0;
    if (!lengths_defaulted && cell_given(kLensCellObjectLength)) {
        object_length = arg_double(kLensCellObjectLength);
    } else if (c.view[0] != 0.0) {
        object_length = c.view[0];
        object_from_dlid = true;
    }
    if (object_length == 0.0 && !object_from_dlid) object_length = default_stub(first);
    if (!object_from_dlid && first == 1 && lens.aim_extended != 0 &&
        std::fabs(surface(0).thickness) < 10000.0) {
        object_length = surface(0).thickness;
    }
    if (first == 0) object_length = 0.0;
    st.object_length = object_length;

    double image_length = 0.0;
    if (!lengths_defaulted && cell_given(kLensCellImageLength)) {
        image_length = arg_double(kLensCellImageLength);
    } else {
        image_length = c.view[1];
    }
    if (image_length == 0.0) image_length = default_stub(last);
    if (c.dlrs == kRayEndToImage && last == image - 1) {
        image_length = surface(last).thickness + surface(image).thickness;
    }
    if (ray.failure == 0 && ray.surface == last && ray.m < 0.0 && image_length > 0.0) {
        image_length = -image_length;
    }
    st.image_length = image_length;

    switch (view) {
        case kDrawViewPlan:
            st.style = kStylePlan;
            break;
        case kDrawViewWire:
            st.style = kStyleWireFixed;
            break;
        case kDrawViewModel:
            st.style = kStyleModel;
            break;
        case kDrawViewView:
            st.style = kStyleWireView;
            break;
        default:
            st.style = kStyleElevation;
            break;
    }
    if (st.style == kStylePlan || st.style == kStyleElevation) {
        st.rim_appearance = kRimsNone;
        st.stop_mark = c.dlas != 0;
        st.hatching = c.dlhr != 0;
    } else {
        st.rim_appearance = c.dlap;
    }
    st.arc_start = 0;
    st.arc_end = 27;
    switch (st.rim_appearance) {
        case kRimsTo180:
            st.arc_end = 18;
            break;
        case kRimsFrom90:
            st.arc_start = 9;
            break;
        case kRimsWhole:
            st.arc_end = 36;
            break;
        case kRimsNone:
            st.arc_end = 0;
            break;
        default:
            break;
    }
    st.every_surface = selection == 1 || every == 1;
    st.edges = selection != 3;
    st.plan_variant = selection == 2;
    st.full_rims = selection == 4;
}

void widen(double x, double y) {
    LensDrawingState& st = g_state;
    st.xmin = std::min(st.xmin, x);
    st.xmax = std::max(st.xmax, x);
    st.ymin = std::min(st.ymin, y);
    st.ymax = std::max(st.ymax, y);
}

void add_extent_point(int n, double x, double y, double z, bool with_sag) {
    if (with_sag) {
        SagPoint p{};
        surface_sag_normal(surface(n), x, y, p);
        z = p.z;
    }
    double g[3];
    double v[3];
    frame_xyz_to_global(x, y, z, n, g);
    mat3_times_vector(g, drawing_views().other_view, v);
    widen(v[g_state.axis_h], v[g_state.axis_v]);
}

void add_surface_extents(int n) {
    SurfaceOutline o;
    surface_outline_points(n, o);
    for (int k = 1; k <= 4; ++k) add_extent_point(n, o.rim[k][0], o.rim[k][1], 0.0, true);
}

void compute_drawing_extents() {
    LensDrawingState& st = g_state;
    st.xmin = st.ymin = 1e20;
    st.xmax = st.ymax = -1e20;
    const int image = lens_data().image_surface;
    bool first_added = false;
    auto add = [&](int n) {
        add_surface_extents(n);
        if (!first_added) {
            add_extent_point(n, 0.0, 0.0, -st.object_length, false);
            first_added = true;
        }
    };
    start_surface_walk();
    while (next_drawn_surface() != 0) {
        if (!surface_hidden_in_drawing(true) || st.walker == st.first || st.walker == st.last) {
            add(st.walker);
        }
    }
    if (!first_added) add(std::clamp(st.first, 0, image));
    add_extent_point(std::clamp(st.last, 0, image), 0.0, 0.0, st.image_length, false);
    for (int n = std::max(st.first, 0); n <= st.last && n <= image; ++n) {
        const SurfaceMesh* mesh = surface(n).mesh;
        if (mesh == nullptr || mesh->vertices == nullptr) continue;
        for (int v = 0; v < mesh->vertex_count; ++v) {
            const MeshVertex& mv = mesh->vertices[v];
            const int owner = n + mv.surface_offset;
            if (mv.surface_offset < 0 || owner > image) continue;
            add_extent_point(owner, mv.x, mv.y, mv.z, false);
        }
    }
    if (st.xmax - st.xmin < 1e-10) {
        st.xmin -= 0.5 * std::fabs(st.object_length);
        st.xmax += 0.5 * std::fabs(st.image_length);
    }
    if (st.ymax - st.ymin < 1e-10) {
        const double r = 0.5 * std::fabs(lens_data().entrance_beam_radius);
        st.ymin -= r;
        st.ymax += r;
    }
    const double width = st.xmax - st.xmin;
    st.aspect = width == 0.0 ? 1e40 : (st.ymax - st.ymin) / width;
    if (st.aspect == 0.0) st.aspect = 1e-40;
}

// The fit factor and the aspect correction of a fixed scale.
void compute_drawing_scale() {
    LensDrawingState& st = g_state;
    int w = 0;
    int h = 0;
    graphwin_get_size(&w, &h);
    FrameBox vp;
    gfx_frame(2, 1, &vp);
    const double fx = vp.xmax - vp.xmin;
    const double fy = vp.ymax - vp.ymin;
    const double unit = lens_data().units;
    const double span_x = (st.xmax - st.xmin) * unit;
    const double span_y = (st.ymax - st.ymin) * unit;
    if (w == 0 || h == 0) {
        st.fit = 1.0;
        st.correction = 1.0;
        return;
    }
    int px = 0, mmx = 0, py = 0, mmy = 0;
    gfx_device_width(&px, &mmx);
    gfx_device_height(&py, &mmy);
    double rx = px > 0 ? static_cast<double>(mmx) / px : 0.375;
    double ry = py > 0 ? static_cast<double>(mmy) / py : 0.375;
    if (rx < 0.1 || rx > 0.4) rx = 0.375;
    if (ry < 0.1 || ry > 0.4) ry = 0.375;
    const double width_mm = w * fx * rx;
    const double height_mm = h * fy * ry;
    const bool height_limited = fy * h / (fx * w) <= st.aspect;
    if (height_limited) {
        st.fit = span_y == 0.0 ? 1e40 : height_mm / span_y;
    } else {
        st.fit = span_x == 0.0 ? 1e40 : width_mm / span_x;
    }
    const double q = 1.6 * fx / fy;
    const double r = std::fabs((st.xmax - st.xmin) / (st.ymax - st.ymin));
    if (height_limited) {
        st.correction = q > 0 && q > r ? q / r : 1.0;
    } else {
        st.correction = q > 0 && q < r ? 1.0 : q / r;
    }
}

void apply_scale(double scale_argument) {
    LensDrawingState& st = g_state;
    if (std::fabs(scale_argument) > kZero) {
        set_setting_double(kSetGraphicsScale, scale_argument, 0, 0);
    }
    const double s = get_setting_double(kSetGraphicsScale, 0, 0);
    if (!st.annotation_only && std::fabs(s) > kZero) {
        set_setting_double(kSetGraphicsCurrentScale, s, 0, 0);
        const double span = (st.xmax - st.xmin) * std::fabs(st.correction);
        st.magnification = std::fabs(st.fit * span) / (10.0 * s);
        set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
        st.fixed_scale = true;
    } else if (!st.fixed_scale) {
        st.magnification = plot_scale_step(0.9 * st.fit, 2);
    }
}

void print_units_and_designer() {
    const LensData& lens = lens_data();
    const double u = lens.units;
    const char* text = "UNK";
    if (std::fabs(u - 1.0) < kZero) {
        text = "MM";
    } else if (std::fabs(u - 10.0) < kZero) {
        text = "CM";
    } else if (std::fabs(u - 25.4) < kZero) {
        text = "IN";
    } else if (std::fabs(u - 1000.0) < kZero) {
        text = "M";
    } else if (std::fabs(u - 0.001) < kZero) {
        text = "UM";
    }
    gfx_move_to(0.875, 0.95);
    gfx_set_text_anchor(4, 0);
    // The units and the designer keep to their quarter of the header, whole.
    const std::string designer = lens.designer;
    const FormatArg args[] = {FormatArg(text), FormatArg(designer)};
    gfx_print_within(0.25, format_message(kMsgDrawingUnits, args));
}

bool lens_is_plain() {
    const LensData& lens = lens_data();
    const LensDrawingState& st = g_state;
    for (int n = 1; n < lens.image_surface; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.toric != 0 || s.asphere_term != 0.0 || s.decentre != nullptr || s.spline != nullptr ||
            nonsequential_group_start(n) != 0 || has_further_special_records(s, true)) {
            return false;
        }
        if (s.asphere != nullptr && s.asphere->kind > kAsphereSeries) return false;
        if (s.diffractive != nullptr && s.diffractive->kind != kDiffractiveRadial &&
            s.diffractive->kind != kDiffractiveZernike) {
            return false;
        }
        if (s.grin != nullptr) {
            const int k = s.grin->kind;
            if (!(k == kGrinArg || k == kGrinWod || k == kGrinAeg ||
                  (k >= kGrinSns && k <= kGrinGrd))) {
                return false;
            }
        }
        if (s.hologram != nullptr) {
            const HologramRecord& h = *s.hologram;
            if (h.first_point[1] != 0.0 || h.first_point[2] != 0.0 || h.second_point[1] != 0.0 ||
                h.second_point[2] != 0.0) {
                return false;
            }
        }
    }
    const bool first_ok = st.first <= 1 || std::fabs(drawing_index(0) - drawing_index(1)) <= kZero;
    return first_ok && st.last >= lens.image_surface - 1;
}

void draw_title_block() {
    const LensData& lens = lens_data();
    const LensDrawingState& st = g_state;
    set_drawing_viewport(1.0 / st.viewport_factor);
    FrameBox world{0.0, 1.0, 0.0, 1.0, 0};
    gfx_frame(1, 2, &world);
    gfx_frame_box();
    gfx_move_to(0.0, 0.88);
    gfx_draw_to(1.0, 0.88);
    gfx_move_to(0.75, 1.0);
    gfx_draw_to(0.75, 0.88);
    std::string title = lens.title;
    while (!title.empty() && title.back() == ' ') title.pop_back();
    if (lens.current_configuration >= 2) {
        title += " - CFG " + std::to_string(lens.current_configuration);
    }
    const bool plain = lens_is_plain();
    if (plain && st.style == kStylePlan) {
        title += " - PLAN VIEW";
        if (title.size() > 47) gfx_set_text_size(0.9, 0, 0);
    }
    gfx_move_to(0.375, 0.95);
    gfx_set_text_anchor(4, 0);
    // The title with its focal values keeps to the header's first three quarters, whole.
    if (plain) {
        double first = 0.0;
        double second = 0.0;
        bool afocal = false;
        drawing_title_values(&first, &second, &afocal);
        const std::string a = format_number(first, 7, 0);
        const std::string b = afocal ? std::string() : format_number(second, 7, 0);
        const FormatArg args[] = {FormatArg(title), FormatArg(a), FormatArg(b)};
        gfx_print_within(0.75, afocal ? format_message(kMsgDrawingTitleAfocal,
                                                       std::span<const FormatArg>(args, 2))
                                      : format_message(kMsgDrawingTitleFocal, args));
    } else {
        const FormatArg args[] = {FormatArg(title)};
        gfx_print_within(
            0.75,
            format_message(st.style == kStylePlan ? kMsgDrawingTitlePlan : kMsgDrawingTitle, args));
    }
    print_units_and_designer();
    set_drawing_viewport(st.viewport_factor);
}

void draw_scale_bar() {
    FrameBox world;
    gfx_frame(2, 2, &world);
    const double w = world.xmax - world.xmin;
    const double h = world.ymax - world.ymin;
    const double x0 = world.xmin + 0.02 * w;
    const double y0 = world.ymax - 0.075 * h;
    gfx_move_to(x0, y0);
    gfx_draw_to(x0 + 0.1 * w, y0);
    gfx_move_to(x0 + 0.1 * w, y0 - 0.01 * w);
    gfx_draw_to(x0 + 0.1 * w, y0 + 0.01 * w);
    gfx_move_to(x0, y0 - 0.01 * w);
    gfx_draw_to(x0, y0 + 0.01 * w);
    gfx_move_to(world.xmin + 0.07 * w, world.ymax - 0.05 * h);
    gfx_set_text_anchor(4, 0);
    gfx_set_text_size(1.2, 0, 0);
    gfx_print_msg(kMsgDrawingScaleBar, format_number(0.1 * w, 6, 0));
}

// Command 808: one note into the drawing there is.
int run_annotation() {
    LensDrawingState& st = g_state;
    if (cad_mode()) return kMsgDrawingNoteInCad;
    const int image = lens_data().image_surface;
    set_drawing_viewport(st.viewport_factor);
    if (!st.fixed_scale) st.magnification = plot_scale_step(0.9 * st.fit, 2);
    set_drawing_window();
    const int kind = arg_int(kNoteCellKind);
    const int n = std::clamp(arg_int(kNoteCellSurface), 0, image);
    const double p[3] = {arg_double(kNoteCellX), arg_double(kNoteCellY), arg_double(kNoteCellZ)};
    if (kind == kNoteMarker) {
        gfx_marker(arg_int(kNoteCellMarker), arg_double(kNoteCellSize));
    } else if (kind == kNoteText) {
        gfx_set_color(0);
        const std::string text = arg_string(kNoteCellText);
        gfx_print_msg(kMsgDrawingNoteText, text.c_str());
    } else {
        outline_point(n, p, kind != kNoteStart);
        graphwin_refresh(0);
    }
    set_drawing_viewport(1.0 / st.viewport_factor);
    return 0;
}

void open_window_if_none() {
    if (graphics_current() == 0) graphwin_open(1, 0, 0, 0, 0);
}

}  // namespace

LensDrawingState& lens_drawing_state() {
    return g_state;
}

void reset_lens_drawing_state() {
    g_state = LensDrawingState{};
}

void set_drawing_viewport(double factor) {
    FrameBox vp;
    gfx_frame(2, 1, &vp);
    vp.ymax = vp.ymin + (vp.ymax - vp.ymin) * factor;
    gfx_frame(1, 1, &vp);
}

void set_drawing_window() {
    const LensDrawingState& st = g_state;
    const double ratio = st.magnification != 0.0 ? st.fit / st.magnification : st.fit;
    const double cx = 0.5 * (st.xmin + st.xmax) - st.shift_x;
    const double cy = 0.5 * (st.ymin + st.ymax) - st.shift_y;
    double hw = 0.5 * (st.xmax - st.xmin) * ratio;
    double hh = 0.5 * (st.ymax - st.ymin) * ratio;
    // The window as the isotropic mapping widens it to the viewport's shape, so that its width
    // is the one the scale bar measures.
    FrameBox vp;
    gfx_frame(2, 1, &vp);
    const GraphicsWindow* g = graphics_current_record();
    const double vy = (vp.ymax - vp.ymin) * (g != nullptr ? g->aspect : 0.625);
    if (hh > 0.0 && vy > 0.0) {
        const double rw = std::fabs(hw / hh);
        const double rv = (vp.xmax - vp.xmin) / vy;
        if (rw < rv && rw > 0.0) {
            hw *= rv / rw;
        } else if (rw > rv && rv > 0.0) {
            hh *= rw / rv;
        }
    }
    FrameBox world{cx - hw, cx + hw, cy - hh, cy + hh, 1};
    gfx_frame(1, 2, &world);
}

void drawing_title_values(double* first, double* second, bool* afocal) {
    double v[6] = {};
    paraxial_setup_data(0, 0, v);
    *afocal = lens_data().afocal != 0;
    *first = std::isfinite(v[0]) ? v[0] : 0.0;
    *second = *afocal ? 0.0 : (std::isfinite(v[2]) ? v[2] : 0.0);
}

int cmd_draw_lens() {
    LensDrawingState& st = g_state;
    if (current_command() == kCmdDrawNote) {
        if (!test_state_flag(kFlagLensDrawingShown)) return kMsgNoLensDrawing;
        open_window_if_none();
        return run_annotation();
    }
    // The model storage, made for the lens as it is now.
    const int view = arg_int(kLensCellView);
    if (view == kDrawViewModel || (view == kDrawViewPre && st.style == kStyleModel)) {
        ModelStorage& m = model_storage();
        if (m.capacity != model_capacity() || m.made_for != lens_data().image_surface) {
            const int r = alloc_model_storage();
            if (r != 0) {
                free_model_storage();
                st.abort = 1;
                return kMsgDrawingModelStorage;
            }
        }
    }
    const double scale =
        arg_count() >= kLensCells && cell_given(kLensCellScale) ? arg_double(kLensCellScale) : 0.0;
    if (!cad_mode()) open_window_if_none();
    parse_drawing_arguments();
    if (st.abort != 0) return st.abort;
    const DrawingConditions& c = conditions();
    int angles[2] = {0, -90};
    switch (st.style) {
        case kStylePlan:
            angles[0] = 90;
            angles[1] = -90;
            break;
        case kStyleWireFixed:
            angles[0] = 0;
            angles[1] = -180;
            break;
        case kStyleWireView:
        case kStyleModel:
            angles[0] = c.view_angle1;
            angles[1] = c.view_angle2;
            break;
        default:
            break;
    }
    drawing_views().other_angles[0] = angles[0];
    drawing_views().other_angles[1] = angles[1];
    view_rotation_from_angles(0);
    build_surface_frames(0);
    if (cad_mode()) {
        if (st.style == kStyleModel) {
            draw_lens_model();
        } else {
            draw_elements();
        }
        set_state_flag(kFlagLensDrawingShown);
        return 0;
    }
    if (drawing_buffers().output_mode == 0 && get_setting_flag(kSetGraphicsAutoclear) != 0) {
        graphwin_new_page(1);
    }
    const bool labels = get_setting_flag(kSetGraphicsLabels) != 0;
    st.viewport_factor = labels ? kLabelsFactor : 1.0;
    set_drawing_viewport(st.viewport_factor);
    if (!st.annotation_only) {
        compute_drawing_extents();
        compute_drawing_scale();
    }
    apply_scale(scale);
    if (labels) draw_title_block();
    set_drawing_window();
    if (get_setting_flag(kSetGraphicsAxes) != 0) draw_scale_bar();
    if (!st.fixed_scale) {
        FrameBox world;
        gfx_frame(2, 2, &world);
        set_setting_double(kSetGraphicsCurrentScale, 0.1 * (world.xmax - world.xmin), 0, 0);
    }
    if (st.style == kStyleModel) {
        draw_lens_model();
    } else {
        draw_elements();
    }
    if (st.stop_mark) {
        const int pen = graphics_pen_colour();
        gfx_set_color(1);
        draw_stop_mark();
        gfx_set_color(pen);
    }
    set_drawing_viewport(1.0 / st.viewport_factor);
    set_state_flag(kFlagLensDrawingShown);
    return 0;
}

int cmd_draw_lens_picture() {
    const LensData& lens = lens_data();
    const DrawingConditions& c = conditions();
    const int view = arg_int(kPictureCellView);
    const int variant = arg_int(kPictureCellVariant);
    int kind = kDrawViewModel;
    if (view == 0) {
        kind = variant == 0 ? kDrawViewPlan : variant == 1 ? kDrawViewElev : kDrawViewWire;
    } else if (view == 1) {
        kind = kDrawViewView;
    }
    int first = arg_int(kPictureCellFirst);
    int last = arg_int(kPictureCellLast);
    if (arg_int(kPictureCellConditions) != 0) {
        first = c.first_surface;
        last = c.last_surface;
    }
    if (first == 0) first = 1;
    if (last == 0) last = lens.image_surface - 1;
    const bool rays = arg_int(kPictureCellRays) != 0;
    const double scale = arg_double(kPictureCellScale);
    ArgCell cells[kLensCells];
    cells[kLensCellView] = int_cell(kind);
    cells[kLensCellSelection] = int_cell(0);
    cells[kLensCellEvery] = int_cell(0);
    cells[kLensCellObjectLength] = double_cell(c.view[0]);
    cells[kLensCellImageLength] = double_cell(c.view[1]);
    cells[kLensCellFirst] = int_cell(first);
    cells[kLensCellLast] = int_cell(last);
    cells[kLensCellShiftX] = double_cell(c.view[2]);
    cells[kLensCellShiftY] = double_cell(c.view[3]);
    cells[kLensCellScale] = double_cell(scale);
    ArgCell* vector[kLensCells];
    for (int i = 0; i < kLensCells; ++i) {
        cells[i].status = kArgGiven;
        vector[i] = &cells[i];
    }
    ArgCell** saved_vector = arg_vector();
    const int saved_count = arg_count();
    const int saved_command = current_command();
    set_arg_vector(vector, kLensCells);
    set_current_command(kCmdDrawPicture);
    record_command_text();
    int result = cmd_draw_lens();
    if (result == 0 && rays) result = cmd_draw_field_rays();
    set_arg_vector(saved_vector, saved_count);
    set_current_command(saved_command);
    return result;
}

namespace {
const platform::StateReset draw_lens_state_reset{"drawing/draw_lens", reset_lens_drawing_state,
                                                 platform::ResetLayer::feature};
}  // namespace
