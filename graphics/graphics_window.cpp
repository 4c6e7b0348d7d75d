#include "graphics/graphics_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_hooks.h"
#include "graphics/graphics_mouse.h"
#include "graphics/graphics_offscreen.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_sliders.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"
#include "ui/graphics_text_window.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

// The frames of graphics windows and the pane of window 16, made of the graphics hooks.
class GraphicsFrameHandler : public platform::WindowHandler {
public:
    void on_paint(int window, platform::DeviceContext& dc) override {
        graphics_frame_paint(window, dc);
    }
    void on_size(int window, platform::Size size) override { graphics_frame_resized(window, size); }
    void on_activate(int window, bool active) override { graphics_frame_activated(window, active); }
    void on_mouse(int window, const platform::MouseEvent& event) override {
        graphics_drawing_mouse(window, event);
    }
    void on_timer(int window, int timer_id) override {
        if (timer_id == kClickTimer) mouse_click_timer(window - kGraphicsFirstWindow + 1);
    }
    void on_command(int window, int command) override { graphics_frame_command(window, command); }
    bool on_close_request(int window) override {
        graphics_frame_close_request(window);
        return false;  // the frame is hidden by graphwin_close, never destroyed
    }
};

class PaneHandler : public platform::WindowHandler {
public:
    void on_paint(int window, platform::DeviceContext& dc) override {
        graphics_frame_paint(window, dc);
    }
    void on_size(int window, platform::Size size) override { graphics_frame_resized(window, size); }
    void on_mouse(int, const platform::MouseEvent& e) override { graphics_pane_mouse(e); }
    // The grid's timers of window 16's grid and selection list.
    void on_timer(int window, int id) override {
        if (grid_input_handler().timer != nullptr) grid_input_handler().timer(window, id);
    }
    // The strip's OK, Cancel and Help; the close box is Cancel for whoever shows something in
    // the window, else the window simply hides.
    void on_command(int, int command) override { window16_command(command); }
    bool on_close_request(int) override { return window16_close_request(); }
    void on_activate(int, bool active) override { set_window16_active(active); }
};

// The graphics windows' records and the current one, the surface and mapping drawn on, the pen,
// the replay and update marks, the plotter's size, the words a display list may hold, the
// pane's pick hook, the strip hooks installed at start, and the windows' handlers.
struct GraphicsWindowsState {
    GraphicsWindow records[kGraphicsRecords + 1];
    GraphicsWindow scratch;
    int current = 0;
    int last_opened = 0;
    PlotSurface surface;
    DeviceMapping mapping;
    int pen_colour = 1;
    bool replaying = false;
    bool deferred = false;
    bool clear_pending = false;
    bool full_latch = false;
    bool slider_running = false;
    int plotter_width = 0;
    int plotter_height = 0;
    int word_budget = 1 << 24;
    void (*pane_pick)(std::uint32_t point) = nullptr;
    bool activating = false;
    GraphicsStripHooks strip;
    // Without state of their own: the windows keep their addresses.
    GraphicsFrameHandler frame_handler;
    PaneHandler pane_handler;
};

GraphicsWindowsState g_graphics;

constexpr int kPaneWords = 10000;  // 20000 bytes

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

bool frame_shown(int record) {
    platform::UiBackend* ui = ui_or_null();
    const int w = record + kGraphicsFirstWindow - 1;
    return ui != nullptr && ui->window_exists(w) && ui->window_visible(w);
}

int shown_among(int first, int last) {
    int count = 0;
    for (int i = first; i <= last; ++i) count += frame_shown(i) ? 1 : 0;
    return count;
}

void set_surface_from_aspect(double r) {
    r = std::clamp(r, 0.25, 4.0);
    if (r <= 1) {
        g_graphics.surface.cx = 10240;
        g_graphics.surface.cy = static_cast<int>(10240 * r);
    } else {
        g_graphics.surface.cx = static_cast<int>(10240 / r);
        g_graphics.surface.cy = 10240;
    }
    g_graphics.surface.width = 2 * g_graphics.surface.cx;
    g_graphics.surface.height = 2 * g_graphics.surface.cy;
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
    const bool plotter = g_graphics.plotter_width > 0;
    const bool laid_out = g.layout_width > 0 && g.layout_height > 0;
    const double area_w =
        plotter ? g_graphics.plotter_width : (laid_out ? g.layout_width : g.width);
    const double area_h =
        plotter ? g_graphics.plotter_height : (laid_out ? g.layout_height : g.height);
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
    const double W = g_graphics.surface.width;
    const double H = g_graphics.surface.height;
    DeviceMapping& m = g_graphics.mapping;
    m.hpgl = g_graphics.plotter_width > 0;
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
        m.scale_x = static_cast<std::int64_t>(262144.0 / W * g_graphics.plotter_width * 0.125);
        m.scale_y = static_cast<std::int64_t>(262144.0 / H * g_graphics.plotter_height * 0.125);
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
    const double lo_x = g_graphics.surface.cx - 32740.0, hi_x = g_graphics.surface.cx + 32740.0;
    const double lo_y = g_graphics.surface.cy - 32740.0, hi_y = g_graphics.surface.cy + 32740.0;
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
    if (u.word != 0 && g_graphics.plotter_width <= 0) {
        // An isotropic page keeps the proportions of the area it is drawn in now.
        g.keeps_shape = true;
        if (g.layout_width <= 0 || g.layout_height <= 0) {
            g.layout_width = g.width;
            g.layout_height = g.height;
        }
    }
    // The world fills the viewport narrowed for square pixels of the device.
    const FrameBox v = pixel_isotropic_viewport(g, own, u.word);
    const double W = g_graphics.surface.width;
    const double H = g_graphics.surface.height;
    const double ux = u.xmax - u.xmin;
    const double uy = u.ymax - u.ymin;
    g.scale_x = ux != 0 ? (W - 1) * (v.xmax - v.xmin) / ux : 0;
    g.scale_y = uy != 0 ? (H - 1) * (v.ymin - v.ymax) / uy : 0;
    g.offset_x = (W - 1) * v.xmin + 0.5 - u.xmin * g.scale_x;
    g.offset_y = (H - 1) * (1 - v.ymin) + 0.5 - u.ymin * g.scale_y;
}

// The caption a graphics window shows while no title was given: its kind and number.
std::string default_caption(int record) {
    const int message = record <= 6 ? kMsgGraphicsCaption : kMsgOtherGraphicsCaption;
    const char* kind = msg_text(message);
    char text[64];
    std::snprintf(text, sizeof text, "%.40s %d", kind != nullptr ? kind : "", record);
    return text;
}

// Sizes graphics window n's frame so that its drawing area (below its strip, when it has one)
// is width x height pixels, 0 keeping a side; each side stays between the least size and
// what the screen can show. Returns the size asked for.
platform::Size size_drawing_area(platform::UiBackend& ui, int n, int width, int height) {
    const int w = n + kGraphicsFirstWindow - 1;
    GraphicsWindow& g = g_graphics.records[n];
    const platform::DeviceContext* dc = ui.device_context(w);
    const platform::Size area = dc != nullptr ? dc->size() : platform::Size{g.width, g.height};
    const platform::Rect outer = ui.window_rect(w);
    // What the frame adds about the drawing area: borders, caption and strip.
    const int extra_w = std::max(0, outer.right - outer.left - area.width);
    const int extra_h = std::max(0, outer.bottom - outer.top - area.height);
    const platform::Size screen = ui.screen_size();
    const int most_w = std::max(160, screen.width - extra_w);
    const int most_h = std::max(100, screen.height - extra_h + kCaptionHeight - outer.top);
    const int nw = width == 0 ? area.width : std::clamp(width, 160, most_w);
    const int nh = height == 0 ? area.height : std::clamp(height, 100, most_h);
    g.width = nw;
    g.height = nh;
    if (n == g_graphics.current) graphics_apply_frames();
    if (nw != area.width || nh != area.height) {
        ui.set_window_rect(
            w, {outer.left, outer.top, outer.left + nw + extra_w, outer.top + nh + extra_h});
    }
    return {nw, nh};
}

void refresh_caption(int record) {
    platform::UiBackend* ui = ui_or_null();
    const int w = record + kGraphicsFirstWindow - 1;
    if (ui == nullptr || !ui->window_exists(w)) return;
    const char* title = window_record(w).title;
    ui->set_window_title(w, title[0] != 0 ? std::string(title) : default_caption(record));
}

}  // namespace

PageRect graphics_page_rect(const GraphicsWindow& g) {
    PageRect r{0, 0, static_cast<double>(g.width), static_cast<double>(g.height)};
    if (!g.keeps_shape || g.layout_width <= 0 || g.layout_height <= 0 || g.width <= 0 ||
        g.height <= 0 || g_graphics.plotter_width > 0) {
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

void graphwin_refresh_caption(int n) {
    if (n >= 1 && n <= 9) refresh_caption(n);
}

GraphicsWindow& graphics_record(int n) {
    if (n < 1 || n > kGraphicsRecords) {
        g_graphics.scratch = GraphicsWindow{};
        return g_graphics.scratch;
    }
    return g_graphics.records[n];
}

int graphics_current() {
    return g_graphics.current;
}

GraphicsWindow* graphics_current_record() {
    return g_graphics.current >= 1 ? &g_graphics.records[g_graphics.current] : nullptr;
}

const PlotSurface& plot_surface() {
    return g_graphics.surface;
}
const DeviceMapping& device_mapping() {
    return g_graphics.mapping;
}
int graphics_pen_colour() {
    return g_graphics.pen_colour;
}
void set_graphics_pen_colour(int c) {
    g_graphics.pen_colour = c;
}
bool graphics_replaying() {
    return g_graphics.replaying;
}
void set_graphics_replaying(bool on) {
    g_graphics.replaying = on;
}
bool graphics_deferred() {
    return g_graphics.deferred;
}
void set_graphics_deferred(bool on) {
    g_graphics.deferred = on;
}
bool slider_routine_running() {
    return g_graphics.slider_running;
}
void set_slider_routine_running(bool on) {
    g_graphics.slider_running = on;
}
void set_graphwin_last_opened(int n) {
    g_graphics.last_opened = n;
}
bool graphics_clear_pending() {
    return g_graphics.clear_pending;
}
void set_graphics_clear_pending(bool on) {
    g_graphics.clear_pending = on;
    if (!on) g_graphics.deferred = false;
}
int graphwin_last_opened() {
    return g_graphics.last_opened;
}

void set_graphics_plotter(int width, int height) {
    g_graphics.plotter_width = std::max(width, 0);
    g_graphics.plotter_height = std::max(height, 0);
    graphics_apply_frames();
}

void set_display_list_word_budget(int words) {
    g_graphics.word_budget = std::max(words, 0);
}

platform::DeviceContext* graphics_device_context(int n) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || n < 1 || n > kGraphicsRecords) return nullptr;
    const int w = n == kGraphicsPaneRecord ? 16 : n + kGraphicsFirstWindow - 1;
    if (!ui->window_exists(w)) return nullptr;
    if (platform::DeviceContext* picture = graphics_offscreen_dc(n)) return picture;
    return ui->device_context(w);
}

int create_graphics_frame(int window) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return -1;
    if (ui->window_exists(window)) return 0;
    WindowRecord& rec = window_record(window);
    if (ui->create_window(window, rec.title[0] != 0 ? rec.title : " ", &g_graphics.frame_handler) !=
        0) {
        return -1;
    }
    ui->show_window(window, false);
    if (g_graphics.strip.build != nullptr) g_graphics.strip.build(window);
    const int n = window - kGraphicsFirstWindow + 1;
    platform::Size size{640, 400};
    if (platform::DeviceContext* dc = ui->device_context(window)) size = dc->size();
    graphwin_init_record(n, size.width, size.height);
    return 0;
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
    *sx = clamp_surface(x * g->scale_x + g->offset_x, g_graphics.surface.cx);
    *sy = clamp_surface(y * g->scale_y + g->offset_y, g_graphics.surface.cy);
}

void gfx_world_to_device_n(const double* x, const double* y, int n, platform::Point* out) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) {
        for (int i = 0; i < n; ++i) out[i] = {0, 0};
        return;
    }
    const double scale_x = g->scale_x, offset_x = g->offset_x;
    const double scale_y = g->scale_y, offset_y = g->offset_y;
    const int cx = g_graphics.surface.cx, cy = g_graphics.surface.cy;
    for (int i = 0; i < n; ++i) {
        out[i] = {clamp_surface(x[i] * scale_x + offset_x, cx),
                  clamp_surface(y[i] * scale_y + offset_y, cy)};
    }
}

void gfx_device_to_world(int px, int py, double* x, double* y) {
    const GraphicsWindow* g = graphics_current_record();
    const DeviceMapping& m = g_graphics.mapping;
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
    const DeviceMapping& m = g_graphics.mapping;
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

void graphwin_init_record(int n, int width, int height) {
    if (n < 1 || n > kGraphicsRecords) return;
    GraphicsWindow& g = g_graphics.records[n];
    g = GraphicsWindow{};
    g.width = width;
    g.height = height;
}

void graphwin_reset(int zoom_too) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    g->mark = -1;
    g->write = 0;
    if (g->has_list()) g->words[0] = 0;
    g->viewport = FrameBox{};
    g->world = FrameBox{};
    g->pen_colour = 1;
    g_graphics.pen_colour = 1;
    g->line_style = 0;
    g->fill_colour = 0;
    g->aspect = 0.625;
    if (zoom_too != 0) {
        g->zoom_shift = 18;
        g->zoom = 1000;
        g->zoom_centre_x = 5000;
        g->zoom_centre_y = 5000;
    }
}

platform::DeviceContext* graphwin_select(int n) {
    if (n < 0) clear_pending_points();
    if (n == g_graphics.current) return n >= 1 ? graphics_target() : nullptr;
    flush_pending_polyline();
    if (n < 1 || n > kGraphicsRecords) {
        g_graphics.current = 0;
        set_graphics_target(nullptr);
        clear_state_flag(kFlagGraphicsDeviceReady);
        return nullptr;
    }
    g_graphics.current = n;
    g_graphics.full_latch = false;
    g_graphics.clear_pending = false;
    g_graphics.deferred = false;
    GraphicsWindow& g = g_graphics.records[n];
    g_graphics.pen_colour = g.pen_colour;
    set_graphics_target(graphics_device_context(n));
    forget_selected_pen();
    graphics_apply_frames();
    reset_text_settings();
    set_state_flag(kFlagGraphicsDeviceReady);
    if (g_graphics.slider_running && g.mark < 0) {
        g_graphics.deferred = true;
        g.repaint_mark = true;
    }
    return graphics_target();
}

int graphwin_open(int n, int x, int y, int width, int height) {
    platform::UiBackend* ui = ui_or_null();
    if (n < 0) {
        for (int i = 1; i <= 9; ++i) {
            if (frame_shown(i)) {
                n = i;
                break;
            }
        }
        if (n < 0) {
            graphwin_select(0);
            g_graphics.last_opened = 0;
            return 0;
        }
    } else if (n == 0) {
        for (int i = 1; i <= 6; ++i) {
            if (!frame_shown(i)) {
                n = i;
                break;
            }
        }
        if (n == 0) n = g_graphics.current >= 1 && g_graphics.current <= 9 ? g_graphics.current : 1;
    }
    if (n > 9) return 0;
    const int w = n + kGraphicsFirstWindow - 1;
    // A window whose frame went away with its user interface is no longer current.
    if (n == g_graphics.current && ui != nullptr && !ui->window_exists(w)) {
        g_graphics.current = 0;
        set_graphics_target(nullptr);
    }
    if (n != g_graphics.current) {
        if (ui != nullptr && !ui->window_exists(w) && create_graphics_frame(w) != 0) return -1;
        GraphicsWindow& g = g_graphics.records[n];
        if (!g.has_list()) {
            try {
                g.words.assign(kDisplayListFirstWords, 0);
            } catch (const std::bad_alloc&) {
                show_error(kMsgOutOfMemory);
                return kMsgOutOfMemory;
            }
            g.write = 0;
            g.mark = -1;
        }
        const int old = g_graphics.current;
        if (old >= 1 && old <= 9) refresh_caption(old);
        refresh_caption(n);
    }
    platform::Size wanted{0, 0};
    if (ui != nullptr && ui->window_exists(w) && (width != 0 || height != 0)) {
        wanted = size_drawing_area(*ui, n, width, height);
    }
    if (ui != nullptr && ui->window_exists(w) && (x != 0 || y != 0)) {
        // A zero or off-screen coordinate keeps the current one.
        const platform::Rect outer = ui->window_rect(w);
        const platform::Size screen = ui->screen_size();
        const int nx = x > 0 && x < screen.width ? x : outer.left;
        const int ny = y > 0 && y < screen.height ? y : outer.top;
        set_window_placement(w, nx, ny, outer.right - outer.left, outer.bottom - outer.top);
        if (nx != outer.left || ny != outer.top) {
            ui->set_window_rect(
                w, {nx, ny, nx + outer.right - outer.left, ny + outer.bottom - outer.top});
        }
    }
    if (frame_shown(n)) {
        graphwin_select(n);
        g_graphics.last_opened = n;
        return w;
    }
    if (ui != nullptr && ui->window_exists(w)) {
        ui->show_window(w, true);
        // A frame lays its drawing area out only once shown: the size asked for is checked
        // again on the laid-out area.
        if (wanted.width > 0) size_drawing_area(*ui, n, wanted.width, wanted.height);
        if (shown_among(1, 6) > 1) {
            for (int i = 1; i <= 6; ++i) {
                if (frame_shown(i)) ui->set_close_enabled(i + kGraphicsFirstWindow - 1, true);
            }
        }
    }
    graphwin_select(n);
    // A window just shown holds the toolkit's blank surface, not the graphics background:
    // without this, a black background showed white until the first new page or repaint.
    if (platform::DeviceContext* dc = graphics_target();
        dc != nullptr && !g_graphics.slider_running) {
        graphwin_clear(dc);
        display_list_replay(*dc, 0);
    }
    g_graphics.last_opened = n;
    update_graphics_flags();
    return 0;
}

int graphwin_close(int n) {
    if (n == 0) n = g_graphics.current;
    if (n < 1 || n > 9) return 0;
    platform::UiBackend* ui = ui_or_null();
    const int w = n + kGraphicsFirstWindow - 1;
    int chosen = 0;
    const bool was_current = n == g_graphics.current;
    if (frame_shown(n)) {
        if (n <= 6 && shown_among(1, 6) <= 1) return kMsgGraphwinLastStays;  // the last stays
        sliders_remove();
        if (ui != nullptr) ui->show_window(w, false);
        if (was_current) {
            for (int i = 1; i <= 9; ++i) {
                if (i != n && frame_shown(i)) {
                    chosen = i;
                    break;
                }
            }
            if (chosen == 0) g_graphics.last_opened = 0;
            graphwin_select(0);
        }
    }
    release_graphics_offscreen(n);
    GraphicsWindow& g = g_graphics.records[n];
    g.words.clear();
    g.words.shrink_to_fit();
    g.write = 0;
    g.mark = -1;
    g.viewport = FrameBox{};
    g.world = FrameBox{};
    g.pen_colour = 1;
    g.command_text[0] = 0;
    window_record(w).title[0] = 0;
    refresh_caption(n);
    if (chosen != 0) graphwin_open(chosen, 0, 0, 0, 0);
    // Graphics windows 1 and 2 belong together: closing one closes the other.
    if (n == 1 && frame_shown(2)) graphwin_close(2);
    if (n == 2 && frame_shown(1)) graphwin_close(1);
    if (ui != nullptr && shown_among(1, 6) == 1) {
        for (int i = 1; i <= 6; ++i) {
            if (frame_shown(i)) ui->set_close_enabled(i + kGraphicsFirstWindow - 1, false);
        }
    }
    update_graphics_flags();
    return 0;
}

void graphwin_set_title(const char* text) {
    if (g_graphics.current < 1 || g_graphics.current > 9 || text == nullptr) return;
    char* title = window_record(g_graphics.current + kGraphicsFirstWindow - 1).title;
    std::strncpy(title, text, kWindowTitleSize - 1);
    title[kWindowTitleSize - 1] = 0;
    refresh_caption(g_graphics.current);
}

void graphwin_clear(platform::DeviceContext* dc) {
    if (dc == nullptr) return;
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    const bool white = graphics_white_background() || g_graphics.current == kGraphicsPaneRecord;
    const platform::Colour background =
        white ? platform::Colour{255, 255, 255} : platform::Colour{0, 0, 0};
    dc->fill_rect({0, 0, g->width, g->height}, background);
    forget_selected_pen();
}

void graphwin_new_page(int clear_title) {
    clear_pending_points();
    g_graphics.full_latch = false;
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    // A new page is laid out for the area as it is now.
    g->layout_width = g->layout_height = 0;
    g->keeps_shape = false;
    graphwin_reset(0);
    gfx_set_color_cycle(nullptr);
    graphics_apply_frames();
    reset_text_settings();
    if (g_graphics.slider_running) {
        g_graphics.deferred = true;
        g->clear_mark = true;
    }
    if (!g_graphics.slider_running && !g_graphics.clear_pending &&
        (!g_graphics.deferred || clear_title != 0)) {
        graphwin_clear(graphics_target());
    }
    if (clear_title != 0 && g_graphics.current != kGraphicsPaneRecord) {
        char* title = window_record(g_graphics.current + kGraphicsFirstWindow - 1).title;
        if (!graphics_title_latch() && !test_state_flag(kFlagOutputHeldBack) &&
            g->command_text[0] != 0) {
            g->command_text[0] = 0;
            title[0] = 0;
            refresh_caption(g_graphics.current);
        } else if (g->command_text[0] == 0 && title[0] != 0) {
            title[0] = 0;
            refresh_caption(g_graphics.current);
        }
        if (!g_graphics.slider_running) keep_page_command(g_graphics.current);
    }
    update_graphics_flags();
}

void graphwin_resized(int window, std::uint32_t packed_size) {
    const int n = window - kGraphicsFirstWindow + 1;
    if (n < 1 || n > 9) return;
    GraphicsWindow& g = g_graphics.records[n];
    g.width = static_cast<int>(packed_size & 0xFFFF);
    g.height = static_cast<int>(packed_size >> 16);
    if (n == g_graphics.current) graphics_apply_frames();
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

namespace {

// What is being drawn shows itself: the current graphics window comes to the front when another
// window is the active one, except while a slider's routine draws (the slider keeps the focus).
void front_current_graphics_window() {
    const int n = graphics_current();
    if (g_graphics.slider_running || n < 1 || n == kGraphicsPaneRecord) return;
    platform::UiBackend* ui = ui_or_null();
    const int w = n + kGraphicsFirstWindow - 1;
    if (ui == nullptr || ui->active_window() == w || !frame_shown(n)) return;
    ui->activate_window(w);
}

}  // namespace

int display_list_grow(int n) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return -1;
    front_current_graphics_window();
    if (g->write + n < g->capacity() - 2) return 0;
    if (g_graphics.full_latch) return -1;
    const int step = std::max(n, kDisplayListFirstWords);
    const long long wanted = static_cast<long long>(g->capacity()) + step;
    bool ok = wanted <= g_graphics.word_budget;
    if (ok) {
        try {
            g->words.resize(static_cast<std::size_t>(wanted), 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        g_graphics.full_latch = true;
        msg_box(kMsgDisplayListFull, g_graphics.current);
        return -1;
    }
    return 0;
}

int display_list_reserve(int n) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return -1;
    front_current_graphics_window();
    if (n + 2 < g->capacity()) return 0;
    int more = n - g->write + 2;
    if (more <= 0) more = kDisplayListFirstWords + 2;
    return display_list_grow(more);
}

void display_list_put(std::uint16_t word) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || g->write + 1 >= g->capacity()) return;
    g->words[static_cast<std::size_t>(g->write++)] = word;
}

void display_list_end() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || g->write >= g->capacity()) return;
    g->words[static_cast<std::size_t>(g->write)] = 0;
}

std::vector<std::uint16_t> display_list_words() {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return {};
    return {g->words.begin(), g->words.begin() + g->write};
}

void gfx_mark() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    flush_pending_polyline();
    g->mark = g->write;
    g->saved_viewport = g->viewport;
    g->saved_isotropic = g->world.word;
}

void gfx_rewind() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    flush_pending_polyline();
    if (g->mark < 0 || g->mark >= g->write) return;
    platform::DeviceContext* dc = graphics_target();
    if (dc != nullptr) display_list_replay(*dc, 1);
    g->write = g->mark;
    display_list_end();
    if (dc != nullptr) display_list_replay(*dc, 2);
    update_graphics_flags();
}

void gfx_defer_drawing() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || g->mark >= 0) return;
    g_graphics.clear_pending = true;
    g_graphics.deferred = true;
}

void update_graphics_flags() {
    const GraphicsWindow* g = graphics_current_record();
    if (g != nullptr && g->has_list() && g->write > 0) {
        set_state_flag(kFlagDisplayListNotEmpty);
    } else {
        clear_state_flag(kFlagDisplayListNotEmpty);
    }
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && ui->window_exists(6) && ui->window_visible(6)) {
        set_state_flag(kFlagControlWindowShown);
    } else {
        clear_state_flag(kFlagControlWindowShown);
    }
}

void graphwin_get_size(int* w, int* h) {
    const GraphicsWindow* g = graphics_current_record();
    *w = g != nullptr ? g->width : 0;
    *h = g != nullptr ? g->height : 0;
}

namespace {
// The screen's extent along one axis in pixels and in millimetres at its dots per inch.
void screen_extent(bool across, int* pixels, int* mm) {
    *pixels = *mm = 0;
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    const platform::Size screen = ui->screen_size();
    *pixels = across ? screen.width : screen.height;
    const int dpi = std::max(1, ui->screen_dots_per_inch());
    *mm = static_cast<int>(std::lround(*pixels * 25.4 / dpi));
}
}  // namespace

void gfx_device_width(int* pixels, int* mm) {
    screen_extent(true, pixels, mm);
}

void gfx_device_height(int* pixels, int* mm) {
    screen_extent(false, pixels, mm);
}

void graphwin_set_mouse_callback(int (*fn)(double, double, double, double)) {
    if (g_graphics.last_opened >= 1 && g_graphics.last_opened <= 9)
        g_graphics.records[g_graphics.last_opened].mouse_callback = fn;
}

int create_graphics_text_window(void (*pick)(std::uint32_t point)) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return -1;
    if (pick != nullptr) g_graphics.pane_pick = pick;
    constexpr int w = platform::kWindowGraphicsText;
    if (!ui->window_exists(w)) {
        if (ui->create_window(w, " ", &g_graphics.pane_handler) != 0) return -1;
        ui->show_window(w, false);
        ui->set_window_label(w, window16_label());
        // The sizes start-up gives: a list of 4000 lines, 16 rows of 9 columns, 3 label lines,
        // a grid of 5 lines and 50 columns.
        // A backend without panes keeps the drawing pane alone.
        if (const int r = create_window16_panes(Window16Shape{}); r == kMsgOutOfMemory) {
            return r;
        }
    }
    GraphicsWindow& g = g_graphics.records[kGraphicsPaneRecord];
    platform::Size size{400, 300};
    if (platform::DeviceContext* dc = ui->device_context(w)) size = dc->size();
    if (!g.has_list()) {
        graphwin_init_record(kGraphicsPaneRecord, size.width, size.height);
        try {
            g.words.assign(kPaneWords, 0);
        } catch (const std::bad_alloc&) {
            return kMsgOutOfMemory;
        }
    }
    return 0;
}

void graphics_pane_to_world(int px, int py, double* x, double* y) {
    const int old = g_graphics.current;
    graphwin_select(kGraphicsPaneRecord);
    gfx_device_to_world(px, py, x, y);
    graphwin_select(old);
}

void reset_graphics_windows() {
    clear_window16_label();
    g_graphics.pane_pick = nullptr;
    release_graphics_offscreen(0);
    // The strip hooks installed at start stay.
    GraphicsWindowsState fresh;
    fresh.strip = g_graphics.strip;
    fresh.activating = g_graphics.activating;
    g_graphics = std::move(fresh);
    set_graphics_target(nullptr);
    reset_draw_primitives();
    reset_mouse_tracking();
    reset_graphics_file_types();
    reset_sliders();
}

// --- the graphics hooks --------------------------------------------------------------------

void graphics_frame_activated(int window, bool active) {
    const int n = window - kGraphicsFirstWindow + 1;
    if (!active || n < 1 || n > 6 || g_graphics.activating || !g_graphics.records[n].has_list())
        return;
    if (n == g_graphics.current && n == g_graphics.last_opened) return;
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_visible(window)) return;
    g_graphics.activating = true;
    graphwin_open(n, 0, 0, 0, 0);
    g_graphics.activating = false;
}

void graphics_frame_close_request(int window) {
    graphwin_close(window - kGraphicsFirstWindow + 1);
}

void graphics_frame_resized(int window, platform::Size size) {
    if (window == platform::kWindowGraphicsText) {
        GraphicsWindow& g = g_graphics.records[kGraphicsPaneRecord];
        g.width = size.width;
        g.height = size.height;
        if (g_graphics.current == kGraphicsPaneRecord) graphics_apply_frames();
        return;
    }
    const auto packed = static_cast<std::uint32_t>(size.width & 0xFFFF) |
                        (static_cast<std::uint32_t>(size.height & 0xFFFF) << 16);
    graphwin_resized(window, packed);
}

void graphics_frame_paint(int window, platform::DeviceContext& dc) {
    graphwin_paint(window, dc);
}

void graphics_drawing_mouse(int window, const platform::MouseEvent& event) {
    mouse_button_event(window - kGraphicsFirstWindow + 1, event);
}

void graphics_pane_mouse(const platform::MouseEvent& e) {
    if (g_graphics.pane_pick == nullptr || e.action != platform::MouseAction::press ||
        e.button != platform::MouseButton::left) {
        return;
    }
    g_graphics.pane_pick(static_cast<std::uint32_t>(e.position.x & 0xFFFF) |
                         (static_cast<std::uint32_t>(e.position.y & 0xFFFF) << 16));
}

void set_graphics_pane_pick(void (*pick)(std::uint32_t point)) {
    g_graphics.pane_pick = pick;
}

void set_graphics_strip_hooks(const GraphicsStripHooks& hooks) {
    g_graphics.strip = hooks;
}

void graphics_frame_command(int window, int id) {
    if (g_graphics.strip.command == nullptr) return;
    graphics_frame_activated(window, true);
    g_graphics.strip.command(window, id);
}

namespace {
const platform::StateReset graphics_window_state_reset{
    "graphics/graphics_window", reset_graphics_windows, platform::ResetLayer::graphics};
}  // namespace
