#include "drawing/element_outlines.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "drawing/cad_output.h"
#include "drawing/draw_lens.h"
#include "drawing/hidden_lines.h"
#include "drawing/surface_walk.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "trace/drawing_buffers.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/sag_point.h"
#include "trace/surface_frames.h"
#include "trace/surface_sag.h"

namespace {

constexpr double kZero = 1e-40;
constexpr double kFrameTolerance = 1e-10;
constexpr double kStepsPerRadian = 29.002320185614852;  // one step per 2 degrees of arc
constexpr double kSmallArc = 0.03448;
constexpr double kHatchAngle = 0.3385938748868999;
constexpr int kHatchSteps = 21;
constexpr int kOtherShapeSteps = 41;

bool (*g_selection_source)(int* first, int* last) = nullptr;

// The rim points of a half-profile, in outline order.
enum Rim : int { kCentre = 0, kPlusY = 1, kPlusX = 2, kMinusY = 3, kMinusX = 4 };

double sag_at(const SurfaceRecord& s, double x, double y) {
    SagPoint p{};
    surface_sag_normal(s, x, y, p);
    return p.z;
}

void set_point(double p[3], const SurfaceRecord& s, double x, double y) {
    p[0] = x;
    p[1] = y;
    p[2] = sag_at(s, x, y);
}

// The one special aperture of the given actions, an ellipse or a rectangle, or none.
const SpecialAperture* single_aperture(const SurfaceRecord& s, bool obstruction) {
    const SpecialAperture* found = nullptr;
    int count = 0;
    for (int i = 0; i < s.special_aperture_count && s.special_apertures != nullptr; ++i) {
        const SpecialAperture& a = s.special_apertures[i];
        const bool wanted = obstruction
                                ? (a.action == kActionUntouched || a.action == kActionObstruct)
                                : a.action == kActionClear;
        if (!wanted) continue;
        ++count;
        if (a.shape <= kApertureRectangle) found = &a;
    }
    return count == 1 ? found : nullptr;
}

// Bounds of an ellipse or rectangle aperture: x1, x2, y1, y2.
void aperture_bounds(const SpecialAperture& a, double b[4]) {
    b[0] = std::min(a.x[0], a.x[1]);
    b[1] = std::max(a.x[0], a.x[1]);
    b[2] = std::min(a.y[0], a.y[1]);
    b[3] = std::max(a.y[0], a.y[1]);
}

void five_points(const SurfaceRecord& s, const double b[4], double out[5][3]) {
    const double xc = 0.5 * (b[0] + b[1]);
    const double yc = 0.5 * (b[2] + b[3]);
    set_point(out[kCentre], s, xc, yc);
    set_point(out[kPlusY], s, xc, b[3]);
    set_point(out[kPlusX], s, b[1], yc);
    set_point(out[kMinusY], s, xc, b[2]);
    set_point(out[kMinusX], s, b[0], yc);
}

bool inside_obstruction(const SurfaceOutline& o, double x, double y) {
    if (o.obstruction == nullptr) return false;
    double b[4];
    aperture_bounds(*o.obstruction, b);
    if (o.obstruction->shape == kApertureRectangle) {
        return x > b[0] && x < b[1] && y > b[2] && y < b[3];
    }
    const double ax = 0.5 * (b[1] - b[0]);
    const double ay = 0.5 * (b[3] - b[2]);
    const double u = (x - 0.5 * (b[0] + b[1])) / ax;
    const double v = (y - 0.5 * (b[2] + b[3])) / ay;
    return u * u + v * v < 1.0;
}

bool mirror_hatched(int n) {
    const SurfaceRecord& s = surface(n);
    return surface_is_mirror(s) && std::memcmp(s.medium_name, "REFL_HATCH", 10) == 0;
}

// The hatch side of a marked mirror: +1 when the axial ray leaves it travelling backwards,
// -1 when forwards; from the side byte against the parity when the ray fails on the way.
int hatch_side(int n) {
    const LensDrawingState& st = lens_drawing_state();
    if (!st.hatching || !mirror_hatched(n) || nonsequential_group_start(n) != 0) return 0;
    RayRecord ray{};
    ray.kind = kRayPlain;
    ray.wavelength = lens_data().current_wavelength;
    setup_ray_at_object(ray, nullptr);
    if (ray.failure == 0) trace_to_surface(ray, n);
    if (ray.failure == 0 && ray.surface == n) return ray.m < 0.0 ? 1 : -1;
    const bool side = surface(n).side != 0;
    const bool parity = st.mirror_parity != 0;
    return side == parity ? -1 : 1;
}

void draw_rim_arcs(int n);

}  // namespace

void set_drawing_selection_source(bool (*source)(int* first, int* last)) {
    g_selection_source = source;
}

void end_drawing_line() {
    switch (drawing_buffers().output_mode) {
        case kCadModeDxf:
            dxf_section(kCadPolylineEnd);
            break;
        case kCadModeIges:
            iges_sections(kCadPolylineEnd);
            break;
        default:
            graphwin_refresh(0);
            break;
    }
}

void outline_point(int n, const double p[3], bool draw) {
    double g[3];
    frame_point_to_global(p, n, g);
    drawing_emit(g, draw);
}

void surface_outline_points(int n, SurfaceOutline& out) {
    const SurfaceRecord& s = surface(n);
    out.surface = n;
    out.special = single_aperture(s, false);
    if (out.special != nullptr) {
        double b[4];
        aperture_bounds(*out.special, b);
        five_points(s, b, out.rim);
    } else {
        const double r = s.aperture_radius;
        const double b[4] = {-r, r, -r, r};
        five_points(s, b, out.rim);
        set_point(out.rim[kCentre], s, 0.0, 0.0);
    }
    out.obstruction = single_aperture(s, true);
    if (out.obstruction != nullptr) {
        double b[4];
        aperture_bounds(*out.obstruction, b);
        if (b[1] - b[0] > kZero && b[3] - b[2] > kZero) {
            five_points(s, b, out.obstructed);
        } else {
            out.obstruction = nullptr;
        }
    }
}

void save_previous_outline(bool starts_element) {
    LensDrawingState& st = lens_drawing_state();
    st.previous = st.outline;
    st.previous_starts_element = starts_element;
}

bool surface_has_tilt(int n) {
    if (n < 0 || n > lens_data().image_surface) return false;
    const SurfaceRecord& s = surface(n);
    if (n > 0 && surface(n - 1).return_coordinates != nullptr) return true;
    const DecentreRecord* d = s.decentre;
    if (d == nullptr) return false;
    if (s.decentre_reference != nullptr) return true;
    return std::fabs(d->tla) > 1.0 || std::fabs(d->tlb) > 1.0 || std::fabs(d->tlc) > 1.0 ||
           std::fabs(d->dcx) > 0.01 || std::fabs(d->dcy) > 0.01;
}

bool surface_starts_element() {
    const LensDrawingState& st = lens_drawing_state();
    const int n = st.walker;
    const LensData& lens = lens_data();
    if (n >= st.last || n < 0) return false;
    const SurfaceRecord& s = surface(n);
    if (s.element_member != 0) return true;
    const int start = nonsequential_group_start(n);
    if (start != 0 && group_end_surface(n) != n) {
        int before = start;
        for (int j = n; j > start; --j) {
            if (surface(j).aperture_radius != 0.0) {
                before = j;
                break;
            }
        }
        const int end = group_end_surface(n);
        for (int j = n + 1; j <= end; ++j) {
            if (surface(j).aperture_radius != 0.0) {
                return surface(before).element_number == surface(j).element_number;
            }
        }
        return false;
    }
    return drawing_index(n) > 1.0001 && !surface_has_tilt(n + 1) && s.no_edge == 0 &&
           n + 1 <= lens.image_surface;
}

int surface_pen_selection(int n) {
    const LensDrawingState& st = lens_drawing_state();
    if (st.style == kStyleWireView || drawing_buffers().output_mode == kCadModeDxf || n == 0) {
        return 0;
    }
    if ((lens_data().cbk & 1) == 0 || g_selection_source == nullptr) return 0;
    int first = 0;
    int last = 0;
    if (!g_selection_source(&first, &last)) return 0;
    return n >= first && n <= last ? 1 : 0;
}

bool frame_turned_90(int n) {
    const double* m = surface(n).frame.m;
    return std::fabs(m[0]) < kFrameTolerance && std::fabs(m[5]) < kFrameTolerance &&
           std::fabs(std::fabs(m[1]) - 1.0) < kFrameTolerance &&
           std::fabs(std::fabs(m[4]) - 1.0) < kFrameTolerance;
}

namespace {

// The edge at the end of half-profile k from the current surface to the previous one.
void draw_element_edge(int k) {
    const LensDrawingState& st = lens_drawing_state();
    const int cur = st.outline.surface;
    const int prev = st.previous.surface;
    const double* c = st.outline.rim[k];
    const double* p = st.previous.rim[k];
    outline_point(cur, c, false);
    if (surface(prev).element_member != 0 && surface(cur).element_member == 0) {
        double z[3] = {c[0], c[1], c[2]};
        frame_point_between_surfaces(z, cur, prev, 1);
        const double corner[3] = {p[0], p[1], z[2]};
        outline_point(prev, corner, true);
    } else if (p[0] * p[0] + p[1] * p[1] <= c[0] * c[0] + c[1] * c[1]) {
        const double corner[3] = {c[0], c[1], p[2]};
        outline_point(prev, corner, true);
    } else {
        const double corner[3] = {p[0], p[1], c[2]};
        outline_point(cur, corner, true);
    }
    outline_point(prev, p, true);
    end_drawing_line();
}

// The crossing of the obstruction's border between two profile points (bisection on the line).
void border_point(const SurfaceRecord& s, const SurfaceOutline& o, const double a[3],
                  const double b[3], double out[3]) {
    double lo = 0.0;
    double hi = 1.0;
    const bool a_inside = inside_obstruction(o, a[0], a[1]);
    for (int i = 0; i < 48; ++i) {
        const double mid = 0.5 * (lo + hi);
        const bool in =
            inside_obstruction(o, a[0] + mid * (b[0] - a[0]), a[1] + mid * (b[1] - a[1]));
        if (in == a_inside) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    set_point(out, s, a[0] + hi * (b[0] - a[0]), a[1] + hi * (b[1] - a[1]));
}

// One half-profile from the outline's centre to rim point k.
void draw_profile_curve(int k, double curvature, int side) {
    const LensDrawingState& st = lens_drawing_state();
    const int n = st.outline.surface;
    const SurfaceRecord& s = surface(n);
    const double* c = st.outline.rim[kCentre];
    const double* r = st.outline.rim[k];
    const double half = std::hypot(r[0] - c[0], r[1] - c[1]);
    int steps;
    if (s.shape < kShapeCylinder && s.toric == 0) {
        double q = half * curvature;
        if (std::fabs(q) > 1.0) q = std::copysign(1.0 / 1.01, q);
        const double arc = std::fabs(2.0 * std::asin(q));
        steps = arc > kSmallArc ? static_cast<int>(arc * kStepsPerRadian)
                                : (side != 0 ? kHatchSteps : 1);
    } else {
        steps = kOtherShapeSteps;
    }
    if (side != 0) steps = std::max(steps, kHatchSteps);
    steps = std::max(steps, 1);
    const bool along_y = k == kPlusY || k == kMinusY;
    const double diameter = 2.0 * half;
    double offset[3] = {0.0, 0.0, 0.0};
    if (side != 0) {
        const double length = 0.03 * diameter;
        if (std::fabs(diameter * curvature) > 1.0) {
            offset[2] = length;
        } else {
            offset[along_y ? 1 : 0] = length * std::sin(kHatchAngle);
            offset[2] = length * std::cos(kHatchAngle);
        }
        if (side < 0) {
            for (double& v : offset) v = -v;
        }
    }
    double last[3] = {c[0], c[1], c[2]};
    bool inside = inside_obstruction(st.outline, c[0], c[1]);
    if (!inside) outline_point(n, last, false);
    for (int i = 1; i <= steps; ++i) {
        const double f = static_cast<double>(i) / steps;
        double p[3];
        if (i == steps) {
            std::memcpy(p, r, sizeof p);
        } else {
            set_point(p, s, c[0] + f * (r[0] - c[0]), c[1] + f * (r[1] - c[1]));
        }
        const bool now_inside = inside_obstruction(st.outline, p[0], p[1]);
        if (now_inside != inside) {
            double b[3];
            border_point(s, st.outline, last, p, b);
            outline_point(n, b, !now_inside ? false : true);
            if (now_inside) end_drawing_line();
            inside = now_inside;
        }
        std::memcpy(last, p, sizeof last);
        if (inside) continue;
        outline_point(n, p, true);
        if (side != 0 && (steps < 22 || i % 3 == 0)) {
            const double tip[3] = {p[0] + offset[0], p[1] + offset[1], p[2] + offset[2]};
            outline_point(n, p, false);
            outline_point(n, tip, true);
            outline_point(n, p, false);
        }
    }
    end_drawing_line();
}

// Rim circle or special-aperture outline over table indices a..b.
void draw_arc(int n, double xc, double yc, double ax, double ay, int a, int b) {
    const SurfaceRecord& s = surface(n);
    const auto& table = drawing_buffers().sin_cos;
    for (int i = a; i <= b && i <= kDrawingArcSteps; ++i) {
        double p[3];
        set_point(p, s, xc + ax * table[i][0], yc + ay * table[i][1]);
        outline_point(n, p, i != a);
    }
    end_drawing_line();
}

void draw_outline_3d(int n, const SpecialAperture& ap, const double pts[5][3], int a, int b) {
    const double xc = pts[kCentre][0];
    const double yc = pts[kCentre][1];
    const double ax = pts[kPlusX][0] - xc;
    const double ay = pts[kPlusY][1] - yc;
    if (ap.shape == kApertureRectangle) {
        const SurfaceRecord& s = surface(n);
        const double zc = pts[kCentre][2];
        const double corner_sag = sag_at(s, xc + ax, yc + ay);
        if (std::fabs(corner_sag - zc) <= 1e-9 &&
            std::fabs(sag_at(s, xc - ax, yc - ay) - zc) <= 1e-9) {
            // Corner lines of the quarter turns between a and b (9 table steps a quarter).
            bool started = false;
            for (int q = a / 9; q <= (b + 8) / 9 && q <= 4; ++q) {
                const int quarter = q % 4;
                const double sx = quarter == 0 || quarter == 1 ? 1.0 : -1.0;
                const double sy = quarter == 0 || quarter == 3 ? 1.0 : -1.0;
                const double p[3] = {xc + sx * ax, yc + sy * ay, zc};
                outline_point(n, p, started);
                started = true;
            }
            end_drawing_line();
            return;
        }
    }
    draw_arc(n, xc, yc, ax, ay, a, b);
}

void draw_rim_arcs(int n) {
    const LensDrawingState& st = lens_drawing_state();
    const SurfaceOutline& o = st.outline;
    if (o.obstruction != nullptr) {
        draw_outline_3d(n, *o.obstruction, o.obstructed, st.full_rims ? 0 : st.arc_start,
                        st.full_rims ? kDrawingArcSteps : st.arc_end);
    }
    if (o.special != nullptr) {
        draw_outline_3d(n, *o.special, o.rim, st.arc_start, st.arc_end);
    } else {
        const double r = surface(n).aperture_radius;
        draw_arc(n, 0.0, 0.0, r, r, st.arc_start, st.arc_end);
    }
}

}  // namespace

void draw_surface_profile(int side) {
    const LensDrawingState& st = lens_drawing_state();
    const int n = st.outline.surface;
    const SurfaceRecord& s = surface(n);
    const double cy = s.curvature;
    const double cx = s.toric != 0 || s.shape == kShapeToroid ? s.x_curvature : s.curvature;
    bool want[5] = {false, false, false, false, false};
    const bool turned = frame_turned_90(n);
    switch (st.style) {
        case kStylePlan:
            if (st.plan_variant) {
                want[1] = want[2] = want[3] = want[4] = true;
            } else if (turned) {
                want[kPlusY] = want[kMinusY] = true;
            } else {
                want[kPlusX] = want[kMinusX] = true;
            }
            break;
        case kStyleElevation:
            if (st.plan_variant) {
                want[1] = want[2] = want[3] = want[4] = true;
            } else if (turned) {
                want[kPlusX] = want[kMinusX] = true;
            } else {
                want[kPlusY] = want[kMinusY] = true;
            }
            break;
        default:
            want[1] = want[2] = want[3] = want[4] = true;
            if (st.rim_appearance == 2) want[kPlusY] = false;
            if (st.rim_appearance == 1) want[kMinusX] = false;
            break;
    }
    const bool edge = st.previous_starts_element && st.edges && st.previous.surface >= 0 &&
                      st.previous.surface != n;
    for (int k : {kPlusY, kMinusY, kPlusX, kMinusX}) {
        if (!want[k]) continue;
        const bool along_y = k == kPlusY || k == kMinusY;
        draw_profile_curve(k, along_y ? cy : cx, side);
        if (edge) {
            if (st.selection != 0) gfx_set_color(st.pen_base);
            draw_element_edge(k);
            if (st.selection != 0) gfx_set_color(st.pen_base + st.selection);
        }
    }
}

int draw_surface_mesh(int n, int pen_base, int pass) {
    const SurfaceRecord& s = surface(n);
    const SurfaceMesh* mesh = s.mesh;
    if (mesh == nullptr || mesh->faces == nullptr || mesh->vertices == nullptr) return 0;
    const int selection = surface_pen_selection(n);
    if (selection != pass) return selection > pass ? 1 : 0;
    if (drawing_buffers().output_mode < kCadModeDxf) gfx_set_color(pen_base + selection);
    const int image = lens_data().image_surface;
    for (int f = 0; f < mesh->face_count; ++f) {
        const MeshFace& face = mesh->faces[f];
        if (face.vertices[0] == 0) continue;
        int count = 0;
        bool usable = true;
        double points[4][3];
        bool hidden_edge[4] = {false, false, false, false};
        for (int k = 0; k < 4 && face.vertices[k] != 0; ++k) {
            const int v = std::abs(face.vertices[k]) - 1;
            if (v >= mesh->vertex_count) {
                usable = false;  // a vertex beyond the mesh: the face is skipped
                break;
            }
            const MeshVertex& mv = mesh->vertices[v];
            const int owner = n + mv.surface_offset;
            if (mv.surface_offset < 0 || owner > image) return 0;
            const double local[3] = {mv.x, mv.y, mv.z};
            frame_point_to_global(local, owner, points[k]);
            hidden_edge[k] = face.vertices[k] < 0;
            ++count;
        }
        if (!usable || count < 2) continue;
        // A negative vertex number marks the edge that starts at it as not drawn.
        bool drawing = false;
        for (int k = 0; k < count; ++k) {
            const int next = (k + 1) % count;
            if (count == 2 && k == 1) break;
            if (hidden_edge[k]) {
                drawing = false;
                continue;
            }
            if (!drawing) dxf_polyline(points[k]);
            dxf_vertex(points[next]);
            drawing = true;
        }
        end_drawing_line();
    }
    return 0;
}

void draw_stop_mark() {
    const LensDrawingState& st = lens_drawing_state();
    const int n = lens_data().aperture_stop;
    if (n < 0 || n > lens_data().image_surface) return;
    const double r = surface(n).aperture_radius;
    const bool turned = frame_turned_90(n);
    const double centre[3] = {0.0, 0.0, 0.0};
    if (r <= 0.0) {
        if (drawing_buffers().output_mode < kCadModeDxf) {
            outline_point(n, centre, false);
            gfx_marker(1, 1.0);
        }
        return;
    }
    const double d = 0.05 * r;
    auto stroke = [&](double x0, double y0, double z0, double x1, double y1, double z1) {
        const double a[3] = {x0, y0, z0};
        const double b[3] = {x1, y1, z1};
        outline_point(n, a, false);
        outline_point(n, b, true);
        end_drawing_line();
    };
    const bool plan_straight = st.style == kStylePlan && !turned;
    const bool elevation_straight = st.style == kStyleElevation && !turned;
    if (plan_straight) {
        stroke(-d, 0, 0, d, 0, 0);
    } else {
        stroke(0, -d, 0, 0, d, 0);
        if (!elevation_straight) stroke(-d, 0, 0, d, 0, 0);
    }
    if (st.style != kStyleWireFixed) stroke(0, 0, -d, 0, 0, d);
    if (!plan_straight) {
        for (double s : {1.0, -1.0}) {
            stroke(0, s * 1.15 * r, 0, 0, s * r, 0);
            stroke(0, s * r, -d, 0, s * r, d);
        }
    }
    if (!elevation_straight) {
        for (double s : {1.0, -1.0}) {
            stroke(s * 1.15 * r, 0, 0, s * r, 0, 0);
            stroke(s * r, 0, -d, s * r, 0, d);
        }
    }
}

void draw_elements() {
    LensDrawingState& st = lens_drawing_state();
    const bool dxf = drawing_buffers().output_mode == kCadModeDxf;
    const bool screen = drawing_buffers().output_mode < kCadModeDxf;
    st.layer_counter = 0;
    st.pen_base = st.style == kStyleWireView || dxf ? -1 : graphics_pen_colour();
    bool left_for_next = false;
    for (st.pass = 0; st.pass <= 1; ++st.pass) {
        left_for_next = false;
        st.mirror_parity = 0;
        st.exit_parity = 0;
        st.previous = SurfaceOutline{};
        st.previous_starts_element = false;
        bool first_drawn = true;
        start_surface_walk();
        while (next_drawn_surface() != 0) {
            const int n = st.walker;
            track_mirror_parity();
            if (surface_hidden_in_drawing(true)) continue;
            if (dxf) {
                char text[32] = "Surface: ";
                int_to_text(n, text, static_cast<int>(std::strlen(text)) + 1);
                dxf_comment(text);
            }
            surface_outline_points(n, st.outline);
            const bool starts = surface_starts_element();
            if (first_drawn) {
                st.previous = st.outline;
                st.previous_starts_element = false;
                first_drawn = false;
            }
            st.selection = surface_pen_selection(n);
            if (st.selection == st.pass) {
                cad_output().layer = st.layer_counter;
                if (screen) gfx_set_color(st.pen_base + st.selection);
                if ((st.style == kStyleWireFixed || st.style == kStyleWireView) &&
                    st.rim_appearance != 4) {
                    draw_rim_arcs(n);
                }
                draw_surface_profile(hatch_side(n));
            } else if (st.selection > st.pass) {
                left_for_next = true;
            }
            st.layer_counter = (st.layer_counter + 1) % 8;
            save_previous_outline(starts);
        }
        for (int n = std::max(st.first, 0); n <= st.last; ++n) {
            if (draw_surface_mesh(n, st.pen_base, st.pass) != 0) left_for_next = true;
        }
        if (!left_for_next) break;
    }
    if (st.style != kStyleWireView && left_for_next && screen) gfx_set_color(st.pen_base + 1);
    if (screen) graphwin_refresh(0);
}
