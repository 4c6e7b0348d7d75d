#include "graphics/graphics_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"

namespace {

// The plotting surface and its device mapping for the current window, and the plotter's size
// while plotter output runs.
struct GraphicsMappingState {
    PlotSurface surface;
    DeviceMapping mapping;
    int plotter_width = 0;
    int plotter_height = 0;
};

GraphicsMappingState g_mapping;

void set_surface_from_aspect(double r) {
    r = std::clamp(r, 0.25, 4.0);
    if (r <= 1) {
        g_mapping.surface.cx = 10240;
        g_mapping.surface.cy = static_cast<int>(10240 * r);
    } else {
        g_mapping.surface.cx = static_cast<int>(10240 / r);
        g_mapping.surface.cy = 10240;
    }
    g_mapping.surface.width = 2 * g_mapping.surface.cx;
    g_mapping.surface.height = 2 * g_mapping.surface.cy;
}

int clamp_surface(double v, int centre) {
    if (std::isnan(v)) return centre;  // a point of no place is drawn at the centre, not crashed on
    if (v < 0) v -= 1;
    const double lo = centre - 32750.0;
    const double hi = centre + 32750.0;
    return static_cast<int>(std::clamp(v, lo, hi));
}

// With the isotropic flag the viewport is narrowed about its centre so that a surface unit is
// as many pixels (or plotter units) across as down: by 1/d in x when x units are d times larger,
// by d in y when they are smaller.
FrameBox pixel_isotropic_viewport(const GraphicsWindow& g, FrameBox v, int isotropic) {
    const bool plotter = g_mapping.plotter_width > 0;
    const bool laid_out = g.layout_width > 0 && g.layout_height > 0;
    const double area_w = plotter ? g_mapping.plotter_width : (laid_out ? g.layout_width : g.width);
    const double area_h =
        plotter ? g_mapping.plotter_height : (laid_out ? g.layout_height : g.height);
    if (isotropic == 0 || area_w <= 0 || area_h <= 0) return v;
    const double d = (area_w * g.aspect) / area_h;
    if (d > 1) {
        const double c = (v.xmin + v.xmax) / 2, half = (v.xmax - v.xmin) / 2 / d;
        v.xmin = c - half;
        v.xmax = c + half;
    } else if (d < 1) {
        const double c = (v.ymin + v.ymax) / 2, half = (v.ymax - v.ymin) / 2 * d;
        v.ymin = c - half;
        v.ymax = c + half;
    }
    return v;
}

// Device mapping and clip box for the current window, from a viewport and isotropic flag.
void apply_device_mapping(const GraphicsWindow& g, FrameBox v, int isotropic) {
    const double W = g_mapping.surface.width;
    const double H = g_mapping.surface.height;
    DeviceMapping& m = g_mapping.mapping;
    m.hpgl = g_mapping.plotter_width > 0;
    const double zf = g.zoom / 1000.0;
    const double zs = zf / std::ldexp(1.0, 18 - g.zoom_shift);
    const double a = std::clamp(g.zoom_centre_x * zf / 10000 - 0.5, 0.0, zf - 1);
    const double b = std::clamp(g.zoom_centre_y * zf / 10000 - 0.5, 0.0, zf - 1);
    const PageRect page = graphics_page_rect(g);
    const double pw = std::max(page.width, 1.0);
    const double ph = std::max(page.height, 1.0);
    m.shift = g.zoom_shift;
    m.scale_x = static_cast<std::int64_t>(262144.0 / W * pw * zs);
    m.scale_y = static_cast<std::int64_t>(262144.0 / H * ph * zs);
    m.offset_x = static_cast<std::int64_t>(page.left - pw * a);
    m.offset_y = static_cast<std::int64_t>(page.top - ph * b);
    if (m.hpgl) {
        m.scale_x = static_cast<std::int64_t>(262144.0 / W * g_mapping.plotter_width * 0.125);
        m.scale_y = static_cast<std::int64_t>(262144.0 / H * g_mapping.plotter_height * 0.125);
        m.offset_x = m.offset_y = 0;
        m.shift = 15;
    }
    v = pixel_isotropic_viewport(g, v, isotropic);
    auto sx = [&](double f) {
        double s = (W - 1) * f + 0.5;
        if (s < 0) s -= 1;
        return s;
    };
    auto sy = [&](double f) {
        double s = (H - 1) * (1 - f) + 0.5;
        if (s < 0) s -= 1;
        return s;
    };
    const double lo_x = g_mapping.surface.cx - 32740.0, hi_x = g_mapping.surface.cx + 32740.0;
    const double lo_y = g_mapping.surface.cy - 32740.0, hi_y = g_mapping.surface.cy + 32740.0;
    m.box_xmin = std::clamp(sx(v.xmin), lo_x, hi_x);
    m.box_xmax = std::clamp(sx(v.xmax), lo_x, hi_x);
    m.box_ymin = std::clamp(sy(v.ymax), lo_y, hi_y);  // surface y grows downward
    m.box_ymax = std::clamp(sy(v.ymin), lo_y, hi_y);
    m.clip_xmin = static_cast<int>(m.box_xmin) + 1;
    m.clip_ymin = static_cast<int>(m.box_ymin) + 1;
    m.clip_xmax = static_cast<int>(m.box_xmax) - 1;
    m.clip_ymax = static_cast<int>(m.box_ymax) - 1;
}

// The world-to-surface mapping, with the isotropic widening of the world frame.
void apply_world_mapping(GraphicsWindow& g) {
    const FrameBox& own = g.viewport;
    FrameBox u = g.world;
    if (u.word != 0) {
        const double dx = u.xmax - u.xmin;
        const double dy = u.ymax - u.ymin;
        const double vy = (own.ymax - own.ymin) * g.aspect;
        if (dy != 0 && vy != 0) {
            const double rw = std::fabs(dx / dy);
            const double rv = (own.xmax - own.xmin) / vy;
            if (rw < rv && rw > 0) {
                const double a = rv / rw;
                const double x0 = ((a + 1) * u.xmin + (1 - a) * u.xmax) / 2;
                const double x1 = ((1 - a) * u.xmin + (a + 1) * u.xmax) / 2;
                u.xmin = x0;
                u.xmax = x1;
            } else if (rw > rv && rv > 0) {
                const double a = rw / rv;
                const double y0 = ((a + 1) * u.ymin + (1 - a) * u.ymax) / 2;
                const double y1 = ((1 - a) * u.ymin + (a + 1) * u.ymax) / 2;
                u.ymin = y0;
                u.ymax = y1;
            }
        }
    }
    if (u.word != 0 && g_mapping.plotter_width <= 0) {
        // An isotropic page keeps the proportions of the area it is drawn in now.
        g.keeps_shape = true;
        if (g.layout_width <= 0 || g.layout_height <= 0) {
            g.layout_width = g.width;
            g.layout_height = g.height;
        }
    }
    // The world fills the viewport narrowed for square pixels of the device.
    const FrameBox v = pixel_isotropic_viewport(g, own, u.word);
    const double W = g_mapping.surface.width;
    const double H = g_mapping.surface.height;
    const double ux = u.xmax - u.xmin;
    const double uy = u.ymax - u.ymin;
    g.scale_x = ux != 0 ? (W - 1) * (v.xmax - v.xmin) / ux : 0;
    g.scale_y = uy != 0 ? (H - 1) * (v.ymin - v.ymax) / uy : 0;
    g.offset_x = (W - 1) * v.xmin + 0.5 - u.xmin * g.scale_x;
    g.offset_y = (H - 1) * (1 - v.ymin) + 0.5 - u.ymin * g.scale_y;
}

// The screen's extent along one axis in pixels and in millimetres at its dots per inch.
void screen_extent(bool across, int* pixels, int* mm) {
    *pixels = *mm = 0;
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return;
    const platform::Size screen = ui->screen_size();
    *pixels = across ? screen.width : screen.height;
    const int dpi = std::max(1, ui->screen_dots_per_inch());
    *mm = static_cast<int>(std::lround(*pixels * 25.4 / dpi));
}

}  // namespace

PageRect graphics_page_rect(const GraphicsWindow& g) {
    PageRect r{0, 0, static_cast<double>(g.width), static_cast<double>(g.height)};
    if (!g.keeps_shape || g.layout_width <= 0 || g.layout_height <= 0 || g.width <= 0 ||
        g.height <= 0 || g_mapping.plotter_width > 0) {
        return r;
    }
    const double s = std::min(static_cast<double>(g.width) / g.layout_width,
                              static_cast<double>(g.height) / g.layout_height);
    r.width = g.layout_width * s;
    r.height = g.layout_height * s;
    r.left = (g.width - r.width) / 2;
    r.top = (g.height - r.height) / 2;
    return r;
}

const PlotSurface& plot_surface() {
    return g_mapping.surface;
}
const DeviceMapping& device_mapping() {
    return g_mapping.mapping;
}

void set_graphics_plotter(int width, int height) {
    g_mapping.plotter_width = std::max(width, 0);
    g_mapping.plotter_height = std::max(height, 0);
    graphics_apply_frames();
}

void graphics_apply_viewport(const FrameBox& viewport, int isotropic) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    apply_device_mapping(*g, viewport, isotropic);
}

void graphics_apply_frames() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    set_surface_from_aspect(g->aspect);
    apply_world_mapping(*g);
    apply_device_mapping(*g, g->viewport, g->world.word);
}

void gfx_world_to_device(double x, double y, int* sx, int* sy) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) {
        *sx = *sy = 0;
        return;
    }
    *sx = clamp_surface(x * g->scale_x + g->offset_x, g_mapping.surface.cx);
    *sy = clamp_surface(y * g->scale_y + g->offset_y, g_mapping.surface.cy);
}

void gfx_world_to_device_n(const double* x, const double* y, int n, platform::Point* out) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) {
        for (int i = 0; i < n; ++i) out[i] = {0, 0};
        return;
    }
    const double scale_x = g->scale_x, offset_x = g->offset_x;
    const double scale_y = g->scale_y, offset_y = g->offset_y;
    const int cx = g_mapping.surface.cx, cy = g_mapping.surface.cy;
    for (int i = 0; i < n; ++i) {
        out[i] = {clamp_surface(x[i] * scale_x + offset_x, cx),
                  clamp_surface(y[i] * scale_y + offset_y, cy)};
    }
}

void gfx_device_to_world(int px, int py, double* x, double* y) {
    const GraphicsWindow* g = graphics_current_record();
    const DeviceMapping& m = g_mapping.mapping;
    if (g == nullptr || m.scale_x == 0 || m.scale_y == 0 || g->scale_x == 0 || g->scale_y == 0) {
        *x = *y = 0;
        return;
    }
    const double shift = std::ldexp(1.0, 18 - m.shift);
    const double sx = (px * 262144.0 - m.offset_x * 262144.0) / (m.scale_x * shift);
    const double sy = (py * 262144.0 - m.offset_y * 262144.0) / (m.scale_y * shift);
    *x = (sx - g->offset_x) / g->scale_x;
    *y = (sy - g->offset_y) / g->scale_y;
}

platform::Point surface_to_pixel(int sx, int sy) {
    const DeviceMapping& m = g_mapping.mapping;
    if (m.hpgl) {
        return {static_cast<int>((sx * m.scale_x) >> 15), static_cast<int>((sy * m.scale_y) >> 15)};
    }
    return {static_cast<int>(((sx * m.scale_x) >> m.shift) + m.offset_x),
            static_cast<int>(((sy * m.scale_y) >> m.shift) + m.offset_y)};
}

void gfx_set_aspect(double r) {
    r = std::clamp(r, 0.25, 4.0);
    set_surface_from_aspect(r);
    if (GraphicsWindow* g = graphics_current_record()) {
        g->aspect = r;
        graphics_apply_frames();
    }
}

void gfx_zoom(double factor, double fx, double fy) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !std::isfinite(factor)) return;
    const double z = std::clamp(std::trunc(g->zoom * factor), 1000.0, 16000.0);
    const auto zoom = static_cast<std::int16_t>(z);
    bool changed = false;
    if (zoom != g->zoom) {
        g->zoom = zoom;
        g->zoom_shift = zoom <= 1000   ? 18
                        : zoom <= 2000 ? 17
                        : zoom <= 4000 ? 16
                        : zoom <= 8000 ? 15
                                       : 14;
        changed = true;
    }
    if (std::isfinite(fx) && fx >= 0) {
        const auto c = static_cast<std::int16_t>(std::trunc(std::min(fx, 1.0) * 10000));
        if (c != g->zoom_centre_x && g->zoom > 1000) changed = true;
        g->zoom_centre_x = c;
    }
    if (std::isfinite(fy) && fy >= 0) {
        const auto c = static_cast<std::int16_t>(std::trunc((1 - std::min(fy, 1.0)) * 10000));
        if (c != g->zoom_centre_y && g->zoom > 1000) changed = true;
        g->zoom_centre_y = c;
    }
    if (!changed) return;
    graphics_apply_frames();
    graphwin_clear(graphics_target());
    if (platform::DeviceContext* dc = graphics_target()) display_list_replay(*dc, 0);
}

void gfx_device_width(int* pixels, int* mm) {
    screen_extent(true, pixels, mm);
}

void gfx_device_height(int* pixels, int* mm) {
    screen_extent(false, pixels, mm);
}

void graphics_pane_to_world(int px, int py, double* x, double* y) {
    const int old = graphics_current();
    graphwin_select(kGraphicsPaneRecord);
    gfx_device_to_world(px, py, x, y);
    graphwin_select(old);
}

void reset_graphics_mapping() {
    g_mapping = GraphicsMappingState{};
}

namespace {
const platform::StateReset graphics_mapping_state_reset{
    "graphics/graphics_mapping", reset_graphics_mapping, platform::ResetLayer::graphics};
}  // namespace
