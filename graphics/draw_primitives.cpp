#include "graphics/draw_primitives.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

#include "graphics/graphics_replay.h"
#include "platform/state_reset.h"
#include "runtime/state_flags.h"

using platform::Colour;
using platform::DeviceContext;
using platform::Point;

namespace {

// Colour 0 is the background; the drawing colours follow.
constexpr Colour kDefaultColours[] = {
    {0, 0, 0},     {255, 255, 255}, {255, 0, 0},     {0, 255, 0},     {0, 0, 255}, {0, 255, 255},
    {255, 0, 255}, {255, 255, 0},   {128, 128, 128}, {128, 0, 0},     {0, 128, 0}, {0, 0, 128},
    {0, 128, 128}, {128, 0, 128},   {128, 128, 0},   {192, 192, 192},
};

// What was last selected into a device context, so that unchanged pens are not selected again.
struct Selected {
    const DeviceContext* dc = nullptr;
    int colour = -1;
    int style = -1;
    int fill = -1;
};

// The drawing primitives' state: the colour table and its modes, the points of a polyline being
// gathered, the text settings, the pen sequence, the output scale and print pen, and the device
// drawn on with what was last selected into it.
struct DrawPrimitivesState {
    std::vector<Colour> colours =
        std::vector<Colour>(std::begin(kDefaultColours), std::end(kDefaultColours));
    bool black_and_white = false;
    bool white_background = false;
    std::array<Point, kPendingPoints> pending{};
    int pending_count = 0;
    TextSettings text;
    int default_size = 10;
    std::int32_t sequence[256] = {};
    bool sequence_loaded = false;
    int sequence_position = 0;
    std::int32_t output_scale = 100;
    bool print_mode = false;
    bool force_clipped = false;
    DeviceContext* target = nullptr;
    int print_pen = 0;
    Selected selected;
};

DrawPrimitivesState g_draw;

int device_colours() {
    return std::max(static_cast<int>(g_draw.colours.size()) - 1, 1);
}

bool drawing_now() {
    return !graphics_deferred() && g_draw.target != nullptr;
}

bool isotropic(const GraphicsWindow& g) {
    return g.world.word != 0;
}

platform::LineStyle style_of(int s) {
    switch (s) {
        case 1:
            return platform::LineStyle::dash;
        case 2:
            return platform::LineStyle::dot;
        case 3:
            return platform::LineStyle::dash_dot;
        case 4:
            return platform::LineStyle::dash_dot_dot;
        default:
            return platform::LineStyle::solid;
    }
}

int pen_width() {
    if (!g_draw.print_mode) return 1;
    return std::max(1, g_draw.print_pen > 0 ? g_draw.print_pen : g_draw.output_scale * 6 / 100);
}

// Selects pen and brush for drawing with the current window's attributes (colour 0 while a
// replay erases).
void select_pen(DeviceContext& dc, int colour, int style, int fill) {
    if (g_draw.selected.dc == &dc && g_draw.selected.colour == colour &&
        g_draw.selected.style == style && g_draw.selected.fill == fill) {
        return;
    }
    g_draw.selected = {&dc, colour, style, fill};
    const platform::LineStyle ls =
        fill != 0 && fill == colour ? platform::LineStyle::none : style_of(style);
    dc.set_pen(graphics_colour(colour), ls, pen_width());
    if (fill != 0) {
        dc.set_brush(graphics_colour(fill));
    } else {
        dc.set_null_brush();
    }
}

int erase_or(int colour) {
    return graphics_erasing() ? 0 : colour;
}

// Device points of a surface polyline, in a buffer reused from call to call (one thread), so
// that drawing and replay allocate nothing once it has grown.
std::vector<Point>& to_pixels(std::span<const Point> surface) {
    static std::vector<Point> out;
    out.clear();
    for (const Point& p : surface) out.push_back(surface_to_pixel(p.x, p.y));
    return out;
}

void record_points(std::uint16_t kind, std::span<const Point> points) {
    const int n = static_cast<int>(points.size());
    if (n < 1 || display_list_grow(2 * n + 1) != 0) return;
    GraphicsWindow& g = *graphics_current_record();
    const PlotSurface& s = plot_surface();
    if (g.write + 2 * n + 1 < g.capacity()) {
        // The room is there: the words go straight into the list.
        std::uint16_t* w = g.words.data() + g.write;
        *w++ = static_cast<std::uint16_t>(kind | n);
        for (const Point& p : points) {
            *w++ = static_cast<std::uint16_t>(p.x - s.cx);
            *w++ = static_cast<std::uint16_t>(p.y - s.cy);
        }
        g.write += 2 * n + 1;
    } else {
        display_list_put(static_cast<std::uint16_t>(kind | n));
        for (const Point& p : points) {
            display_list_put(static_cast<std::uint16_t>(p.x - s.cx));
            display_list_put(static_cast<std::uint16_t>(p.y - s.cy));
        }
    }
    display_list_end();
}

struct FlushContext {
    bool draw;
    bool record;
};

void flush_run(std::span<const Point> run, void* context) {
    const auto* c = static_cast<const FlushContext*>(context);
    if (c->draw) emit_device_polyline(*graphics_drawing_dc(), run);
    if (c->record) record_points(kDlPolyline, run);
}

int outcode(const DeviceMapping& m, std::int64_t x, std::int64_t y) {
    int code = 0;
    if (x < m.clip_xmin) code |= 1;
    if (x > m.clip_xmax) code |= 2;
    if (y < m.clip_ymin) code |= 4;
    if (y > m.clip_ymax) code |= 8;
    return code;
}

// Cuts segment a-b to the clip bounds; false when nothing of it is inside.
bool clip_segment(const DeviceMapping& m, Point& a, Point& b) {
    std::int64_t ax = a.x, ay = a.y, bx = b.x, by = b.y;
    int ca = outcode(m, ax, ay);
    int cb = outcode(m, bx, by);
    for (int guard = 0; guard < 8; ++guard) {
        if ((ca | cb) == 0) {
            a = {static_cast<int>(ax), static_cast<int>(ay)};
            b = {static_cast<int>(bx), static_cast<int>(by)};
            return true;
        }
        if ((ca & cb) != 0) return false;
        const bool first = ca != 0;
        const int code = first ? ca : cb;
        std::int64_t x = 0, y = 0;
        // Crossing by a 15-bit fixed-point ratio along the segment.
        if (code & (1 | 2)) {
            const std::int64_t edge = (code & 1) ? m.clip_xmin : m.clip_xmax;
            const std::int64_t t = ((edge - ax) * 32768) / (bx - ax);
            x = edge;
            y = t * (by - ay) / 32768 + ay;
        } else {
            const std::int64_t edge = (code & 4) ? m.clip_ymin : m.clip_ymax;
            const std::int64_t t = ((edge - ay) * 32768) / (by - ay);
            y = edge;
            x = t * (bx - ax) / 32768 + ax;
        }
        if (first) {
            ax = x;
            ay = y;
            ca = outcode(m, ax, ay);
        } else {
            bx = x;
            by = y;
            cb = outcode(m, bx, by);
        }
    }
    return false;
}

void add_current_point() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    int sx = 0, sy = 0;
    gfx_world_to_device(g->current_x, g->current_y, &sx, &sy);
    g_draw.pending[static_cast<std::size_t>(g_draw.pending_count++)] = {sx, sy};
    set_state_flag(kFlagDisplayListNotEmpty);
    if (g_draw.pending_count >= kPendingPoints) {
        const Point last = g_draw.pending[kPendingPoints - 1];
        flush_pending_polyline();
        g_draw.pending[0] = last;
        g_draw.pending_count = 1;
    }
}

bool inside_box(const DeviceMapping& m, const Point& p) {
    return p.x >= m.box_xmin && p.x <= m.box_xmax && p.y >= m.box_ymin && p.y <= m.box_ymax;
}

}  // namespace

// Marker units in surface units for a size code, from the viewport.
void marker_units(const GraphicsWindow& g, int code, double* ux, double* uy) {
    const FrameBox& v = g.viewport;
    double x = code * 3.2 * (v.xmax - v.xmin);
    double y = -code * 3.2 * (v.ymax - v.ymin);
    if (isotropic(g)) {
        const double m = std::min(std::fabs(x), std::fabs(y));
        x = std::copysign(m, x);
        y = std::copysign(m, y);
    } else if (const PageRect page = graphics_page_rect(g); page.width > 0 && page.height > 0) {
        // The surface spans the area the page is drawn in, which a page keeping its shape (and
        // every printed page) letterboxes inside the device: that area sets the pixel sizes.
        const PlotSurface& s = plot_surface();
        const double px = std::fabs(x) * page.width / s.width;    // pixels per unit across
        const double py = std::fabs(y) * page.height / s.height;  // and down
        if (px > py && px > 0) x *= py / px;
        if (py > px && py > 0) y *= px / py;
    }
    *ux = x;
    *uy = y;
}

// --- colours ---------------------------------------------------------------------------------

Colour graphics_colour(int index) {
    if (index < 0 || index >= static_cast<int>(g_draw.colours.size())) index = 1;
    return g_draw.colours[static_cast<std::size_t>(index)];
}

int graphics_colour_count() {
    return static_cast<int>(g_draw.colours.size());
}

void set_graphics_colour_table(const std::vector<Colour>& colours) {
    g_draw.colours = colours.size() >= 2 ? colours
                                         : std::vector<Colour>(std::begin(kDefaultColours),
                                                               std::end(kDefaultColours));
    g_draw.selected = {};
}

void set_graphics_black_and_white(bool on) {
    g_draw.black_and_white = on;
}

void set_graphics_white_background(bool on) {
    g_draw.white_background = on;
    g_draw.colours[0] = on ? Colour{255, 255, 255} : Colour{0, 0, 0};
    g_draw.selected = {};
}

bool graphics_white_background() {
    return g_draw.white_background;
}

int gfx_map_color(int c) {
    if (g_draw.black_and_white) return 1;
    const int n = device_colours();
    int k = 0;
    if (g_draw.sequence_loaded) {
        while (k < 256 && g_draw.sequence[k] != 0) ++k;
    }
    if (c >= 1) {
        if (g_draw.sequence_loaded && k > 0) g_draw.sequence_position = (c - 1) % k + 1;
        return (c - 1) % n + 1;
    }
    if (!g_draw.sequence_loaded || k == 0) return graphics_pen_colour() % n + 1;
    if (c == 0 || g_draw.sequence_position >= k) g_draw.sequence_position = 0;
    const int e = g_draw.sequence[g_draw.sequence_position++];
    return std::clamp(e, 1, n);
}

void gfx_set_color_cycle(const std::int32_t* entries) {
    if (entries == nullptr) {
        g_draw.sequence_loaded = false;
        std::fill(std::begin(g_draw.sequence), std::end(g_draw.sequence), 0);
    } else {
        std::copy(entries, entries + 256, g_draw.sequence);
        g_draw.sequence_loaded = true;
    }
    g_draw.sequence_position = 0;
}

void gfx_set_output_scale(std::int32_t pen_width) {
    g_draw.output_scale = pen_width;
}

std::int32_t gfx_output_scale() {
    return g_draw.output_scale;
}

// --- state -----------------------------------------------------------------------------------

DeviceContext* graphics_target() {
    return g_draw.target;
}

void set_graphics_target(DeviceContext* dc) {
    g_draw.target = dc;
    g_draw.selected = {};
}

void forget_selected_pen() {
    g_draw.selected = {};
}

void set_graphics_print_mode(bool on) {
    g_draw.print_mode = on;
    g_draw.selected = {};
}

void set_graphics_print_pen(int width) {
    g_draw.print_pen = std::max(width, 0);
    g_draw.selected = {};
}

void clear_pending_points() {
    g_draw.pending_count = 0;
}

int pending_point_count() {
    return g_draw.pending_count;
}

const TextSettings& text_settings() {
    return g_draw.text;
}

void reset_text_settings() {
    g_draw.text = TextSettings{};
    g_draw.text.size = g_draw.default_size;
}

void restore_text_settings(const TextSettings& saved) {
    g_draw.text = saved;
}

void set_default_text_size(int code) {
    g_draw.default_size = code == 0 ? 10 : code;
}

void reset_draw_primitives() {
    g_draw = DrawPrimitivesState{};
}

// --- clipping and device drawing -------------------------------------------------------------

void clip_polyline(std::span<const Point> points, void (*run)(std::span<const Point>, void*),
                   void* context) {
    const DeviceMapping& m = device_mapping();
    // Mostly every point lies inside: the whole polyline is then its one run.
    const bool inside = std::all_of(points.begin(), points.end(), [&](const Point& p) {
        return p.x >= m.clip_xmin && p.x <= m.clip_xmax && p.y >= m.clip_ymin && p.y <= m.clip_ymax;
    });
    if (inside) {
        if (points.size() >= 2) run(points, context);
        return;
    }
    std::vector<Point> current;
    auto emit = [&] {
        if (current.size() >= 2) run(current, context);
        current.clear();
    };
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        Point a = points[i];
        Point b = points[i + 1];
        if (!clip_segment(m, a, b)) {
            emit();
            continue;
        }
        if (current.empty() || !(current.back() == a)) {
            emit();
            current.push_back(a);
        }
        current.push_back(b);
        if (!(b == points[i + 1])) emit();  // the segment leaves the box
    }
    emit();
}

void emit_device_polyline(DeviceContext& dc, std::span<const Point> surface) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || surface.size() < 2) return;
    const int colour = erase_or(g->pen_colour);
    const int fill = graphics_erasing() ? 0 : g->fill_colour;
    select_pen(dc, colour, g->line_style, fill);
    std::vector<Point>& px = to_pixels(surface);
    if (fill != 0) {
        dc.polygon(px);
        return;
    }
    if (g_draw.print_mode) {
        px.push_back(px.back());
        dc.polyline(px);
    } else {
        dc.polyline(px);
        dc.set_pixel(px.back(), graphics_colour(colour));
    }
}

void emit_device_dots(DeviceContext& dc, std::span<const Point> surface) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    const int colour = erase_or(g->pen_colour);
    select_pen(dc, colour, 0, 0);
    for (const Point& s : surface) {
        const Point p = surface_to_pixel(s.x, s.y);
        dc.move_to(p);
        dc.line_to({p.x + 1, p.y});
    }
}

void emit_viewport_box(DeviceContext& dc) {
    const DeviceMapping& m = device_mapping();
    const int x0 = static_cast<int>(m.box_xmin), x1 = static_cast<int>(m.box_xmax);
    const int y0 = static_cast<int>(m.box_ymin), y1 = static_cast<int>(m.box_ymax);
    const Point box[5] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    const int fill = g->fill_colour;
    g->fill_colour = 0;
    emit_device_polyline(dc, box);
    g->fill_colour = fill;
}

void flush_pending_polyline() {
    const int n = g_draw.pending_count;
    g_draw.pending_count = 0;
    GraphicsWindow* g = graphics_current_record();
    if (n < 2 || g == nullptr) return;
    const std::span<const Point> points(g_draw.pending.data(), static_cast<std::size_t>(n));
    const bool iso = isotropic(*g) && !g_draw.force_clipped;
    const bool replaying = graphics_replaying();
    if (iso && !replaying) {
        record_points(kDlPolyline, points);
        if (graphics_deferred()) {
            update_graphics_flags();
            return;
        }
    }
    FlushContext context{graphics_drawing_dc() != nullptr, !iso && !replaying};
    if (context.draw || context.record) clip_polyline(points, flush_run, &context);
}

DeviceContext* graphics_drawing_dc() {
    if (graphics_replaying()) return graphics_replay_dc();
    return drawing_now() ? g_draw.target : nullptr;
}

// --- primitives --------------------------------------------------------------------------------

void gfx_move_to(double x, double y) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    flush_pending_polyline();
    g->current_x = x;
    g->current_y = y;
}

void gfx_move_rel(double dx, double dy) {
    if (GraphicsWindow* g = graphics_current_record())
        gfx_move_to(g->current_x + dx, g->current_y + dy);
}

void gfx_draw_to(double x, double y) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    if (g_draw.pending_count == 0) add_current_point();
    g->current_x = x;
    g->current_y = y;
    add_current_point();
}

void gfx_draw_through(const double* x, const double* y, int n) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || n < 1) return;
    if (g_draw.pending_count == 0) add_current_point();
    set_state_flag(kFlagDisplayListNotEmpty);
    // Each point converted into the free pending slots, flushed when they are full with the
    // last point carried over, as point after point would be.
    int i = 0;
    while (i < n) {
        const int room = kPendingPoints - g_draw.pending_count;
        const int take = std::min(room, n - i);
        gfx_world_to_device_n(x + i, y + i, take, g_draw.pending.data() + g_draw.pending_count);
        g_draw.pending_count += take;
        i += take;
        if (g_draw.pending_count >= kPendingPoints) {
            g->current_x = x[i - 1];
            g->current_y = y[i - 1];
            const Point last = g_draw.pending[kPendingPoints - 1];
            flush_pending_polyline();
            g_draw.pending[0] = last;
            g_draw.pending_count = 1;
            if (i < n) set_state_flag(kFlagDisplayListNotEmpty);
        }
    }
    g->current_x = x[n - 1];
    g->current_y = y[n - 1];
}

void gfx_draw_rel(double dx, double dy) {
    if (GraphicsWindow* g = graphics_current_record())
        gfx_draw_to(g->current_x + dx, g->current_y + dy);
}

void gfx_get_position(double* x, double* y) {
    const GraphicsWindow* g = graphics_current_record();
    *x = g != nullptr ? g->current_x : 0;
    *y = g != nullptr ? g->current_y : 0;
}

void gfx_polyline(const double* x, const double* y, int n, int fill) {
    if (graphics_current_record() == nullptr || n < 1) return;
    gfx_set_fill_color(fill);
    gfx_move_to(x[0], y[0]);
    for (int i = 1; i < n; ++i) gfx_draw_to(x[i], y[i]);
    flush_pending_polyline();
    gfx_set_fill_color(0);
}

void gfx_polyline_rel(const double* dx, const double* dy, int n, int fill) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || n < 1) return;
    gfx_set_fill_color(fill);
    gfx_move_to(g->current_x, g->current_y);
    for (int i = 0; i < n; ++i) gfx_draw_rel(dx[i], dy[i]);
    flush_pending_polyline();
    gfx_set_fill_color(0);
}

void gfx_polyline_clipped(const double* x, const double* y, int n) {
    if (graphics_current_record() == nullptr || n < 1) return;
    flush_pending_polyline();
    g_draw.force_clipped = true;
    gfx_move_to(x[0], y[0]);
    for (int i = 1; i < n; ++i) gfx_draw_to(x[i], y[i]);
    flush_pending_polyline();
    g_draw.force_clipped = false;
}

void gfx_dots(const double* x, const double* y, int n) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || n < 1) return;
    flush_pending_polyline();
    const DeviceMapping& m = device_mapping();
    const bool iso = isotropic(*g);
    std::vector<Point> batch;
    auto put = [&] {
        if (batch.empty()) return;
        record_points(kDlDots, batch);
        if (DeviceContext* dc = graphics_drawing_dc()) emit_device_dots(*dc, batch);
        batch.clear();
    };
    for (int i = 0; i < n; ++i) {
        Point p;
        gfx_world_to_device(x[i], y[i], &p.x, &p.y);
        if (!iso && !inside_box(m, p)) continue;
        batch.push_back(p);
        if (static_cast<int>(batch.size()) == kPendingPoints) put();
    }
    put();
    update_graphics_flags();
}

void gfx_polymarker(const double* x, const double* y, int n, int type, double size) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || n < 1) return;
    if (type == 0) {
        gfx_dots(x, y, n);
        return;
    }
    flush_pending_polyline();
    int code =
        std::isfinite(size) ? static_cast<int>(std::lround(std::clamp(size * 10, 0.0, 255.0))) : 0;
    if (code == 0) code = 10;
    const int t = type & 0x7F;
    const DeviceMapping& m = device_mapping();
    const PlotSurface& s = plot_surface();
    double ux = 0, uy = 0;
    marker_units(*g, code, &ux, &uy);
    const double mx = 3 * std::fabs(ux), my = 3 * std::fabs(uy);
    const bool iso = isotropic(*g);
    int header = -1;
    int count = 0;
    auto close_record = [&] {
        if (header < 0) return;
        if (count == 0) {
            g->write = header;  // a record without points is taken back
        } else {
            g->words[static_cast<std::size_t>(header)] =
                static_cast<std::uint16_t>(kDlMarkers | count);
        }
        display_list_end();
        header = -1;
        count = 0;
    };
    auto open_record = [&] {
        if (display_list_grow(408) != 0) return false;
        header = g->write;
        display_list_put(kDlMarkers);
        display_list_put(static_cast<std::uint16_t>((t << 8) | code));
        return true;
    };
    bool recording = open_record();
    for (int i = 0; i < n; ++i) {
        Point p;
        gfx_world_to_device(x[i], y[i], &p.x, &p.y);
        if (!iso && !inside_box(m, p)) continue;
        if (recording) {
            display_list_put(static_cast<std::uint16_t>(p.x - s.cx));
            display_list_put(static_cast<std::uint16_t>(p.y - s.cy));
            ++count;
        }
        DeviceContext* dc = graphics_drawing_dc();
        if (dc != nullptr && p.x >= m.box_xmin + mx && p.x <= m.box_xmax - mx &&
            p.y >= m.box_ymin + my && p.y <= m.box_ymax - my) {
            emit_device_marker(*dc, t, code, p);
        }
        if (recording && count == kPendingPoints) {
            close_record();
            recording = open_record();
        }
    }
    if (recording) close_record();
    update_graphics_flags();
}

void gfx_marker(int type, double size) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    const double x = g->current_x, y = g->current_y;
    gfx_polymarker(&x, &y, 1, type, size);
}

void gfx_set_color(int c) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    const int d = gfx_map_color(c);
    if (d == g->pen_colour) return;
    flush_pending_polyline();
    g->pen_colour = d;
    set_graphics_pen_colour(d);
    if (display_list_grow(1) == 0) {
        display_list_put(static_cast<std::uint16_t>(kDlColour | (d & kDlValueMask)));
        display_list_end();
    }
}

void gfx_set_line_style(int s) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    s = ((s % 5) + 5) % 5;
    if (s == g->line_style) return;
    flush_pending_polyline();
    g->line_style = s;
    if (display_list_grow(1) == 0) {
        display_list_put(static_cast<std::uint16_t>(kDlLineStyle | s));
        display_list_end();
    }
}

void gfx_set_fill_color(int c) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    if (c != 0) c = ((c - 1) % device_colours() + device_colours()) % device_colours() + 1;
    if (c == g->fill_colour) return;
    flush_pending_polyline();
    g->fill_colour = c;
    if (display_list_grow(1) == 0) {
        display_list_put(static_cast<std::uint16_t>(kDlFillColour | c));
        display_list_end();
    }
}

void gfx_frame(int op, int which, FrameBox* f) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || f == nullptr) return;
    if (op == 2) {
        *f = which == 1 ? g->viewport : g->world;
        return;
    }
    flush_pending_polyline();
    if (which == 1) {
        FrameBox v = *f;
        for (double* d : {&v.xmin, &v.xmax, &v.ymin, &v.ymax}) {
            *d = std::isfinite(*d) ? std::clamp(*d, 0.0, 1.0) : 0.0;
        }
        if (v.xmin > v.xmax) std::swap(v.xmin, v.xmax);
        if (v.ymin > v.ymax) std::swap(v.ymin, v.ymax);
        if (v.xmax - v.xmin < 0.05) v.xmax = v.xmin + 0.05;
        if (v.ymax - v.ymin < 0.05) v.ymax = v.ymin + 0.05;
        v.word = std::clamp(v.word, 0, 255);
        g->viewport = v;
        if (display_list_grow(5) == 0) {
            display_list_put(static_cast<std::uint16_t>(kDlViewport | v.word));
            display_list_put(static_cast<std::uint16_t>(static_cast<int>(v.xmin * 10000)));
            display_list_put(static_cast<std::uint16_t>(static_cast<int>(v.ymin * 10000)));
            display_list_put(static_cast<std::uint16_t>(static_cast<int>(v.xmax * 10000)));
            display_list_put(static_cast<std::uint16_t>(static_cast<int>(v.ymax * 10000)));
            display_list_end();
        }
        set_default_text_size(v.word);
    } else {
        FrameBox u = *f;
        for (double* d : {&u.xmin, &u.xmax, &u.ymin, &u.ymax}) {
            if (!std::isfinite(*d)) *d = 0;
        }
        if (u.xmin == u.xmax) u.xmax = u.xmin + 1;  // an empty range would map nothing
        if (u.ymin == u.ymax) u.ymax = u.ymin + 1;
        u.word = u.word != 0 ? 1 : 0;
        if (u.word != g->world.word && display_list_grow(1) == 0) {
            display_list_put(static_cast<std::uint16_t>(kDlIsotropic | u.word));
            display_list_end();
        }
        g->world = u;
    }
    graphics_apply_frames();
    if (which == 1) reset_text_settings();
}

void gfx_frame_box() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    flush_pending_polyline();
    if (display_list_grow(1) == 0) {
        display_list_put(kDlViewportBox);
        display_list_end();
    }
    if (DeviceContext* dc = graphics_drawing_dc()) emit_viewport_box(*dc);
    update_graphics_flags();
}

void gfx_set_text_anchor(int code, int angle) {
    code = std::clamp(code, 0, 1000);
    g_draw.text.anchor_offset = (code / 10) * 4;
    const int d = code % 10;
    const int e = d == 0 ? 0 : d - 1;
    g_draw.text.h_anchor = e / 3;
    g_draw.text.v_anchor = e % 3;
    g_draw.text.angle = angle;
    g_draw.text.defaults = 0;
}

void gfx_set_text_slant(int angle, int slant) {
    g_draw.text.angle = angle;
    g_draw.text.slant = slant < -45 || slant > 45 ? 0 : slant;
    g_draw.text.defaults = 0;
}

void gfx_set_text_size(double size, double extra_pitch, double extra_line_pitch) {
    int s =
        std::isfinite(size) ? static_cast<int>(std::lround(std::clamp(size * 10, 0.0, 255.0))) : 0;
    g_draw.text.size = s == 0 ? 10 : s;
    if (std::isfinite(extra_pitch)) {
        g_draw.text.pitch =
            static_cast<int>(std::trunc(std::clamp(extra_pitch + 10.5, -1000.0, 1000.0)));
    }
    if (std::isfinite(extra_line_pitch)) {
        g_draw.text.line_pitch =
            static_cast<int>(std::trunc(std::clamp(extra_line_pitch + 20.5, -1000.0, 1000.0)));
    }
    g_draw.text.defaults = 0;
}

namespace {
const platform::StateReset draw_primitives_state_reset{
    "graphics/draw_primitives", reset_draw_primitives, platform::ResetLayer::graphics};
}  // namespace
