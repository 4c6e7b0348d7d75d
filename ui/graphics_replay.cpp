#include "ui/graphics_replay.h"

#include <cstring>
#include <string>
#include <vector>

#include "ui/draw_primitives.h"
#include "ui/graphics_hpgl.h"
#include "ui/graphics_text.h"
#include "ui/graphics_window.h"

using platform::DeviceContext;
using platform::Point;

namespace {

DeviceContext* g_replay_dc = nullptr;
bool g_erasing = false;

void draw_run(std::span<const Point> run, void* context) {
    emit_device_polyline(*static_cast<DeviceContext*>(context), run);
}

std::int16_t signed_word(std::uint16_t w) {
    return static_cast<std::int16_t>(w);
}

}  // namespace

DeviceContext* graphics_replay_dc() {
    return g_replay_dc;
}

bool graphics_erasing() {
    return g_erasing;
}

void display_list_replay(DeviceContext& dc, int mode) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list() || graphics_replaying()) return;
    if (mode == 1 && g->mark < 0) return;
    flush_pending_polyline();
    set_graphics_replaying(true);
    g_replay_dc = &dc;
    forget_selected_pen();

    const FrameSpec own_viewport = g->viewport;
    const std::int32_t own_isotropic = g->world.word;
    const int own_pen = g->pen_colour, own_style = g->line_style, own_fill = g->fill_colour;
    const TextSettings own_text = text_settings();

    int pos = 0;
    if (mode == 1) {
        pos = g->mark;
        g->viewport = g->saved_viewport;
        g->world.word = g->saved_isotropic;
        g_erasing = true;
    } else {
        g->viewport = FrameSpec{};
        g->world.word = 0;
        g->pen_colour = 1;
        g->line_style = 0;
        g->fill_colour = 0;
    }
    graphics_apply_frames();
    set_default_text_size(g->viewport.word);
    reset_text_settings();

    const bool hpgl = hpgl_active();
    const PlotSurface& s = plot_surface();
    const std::vector<std::uint16_t>& w = g->words;
    const int end = g->write;
    // Reused from replay to replay (one thread): a replay allocates nothing once it has grown.
    static std::vector<Point> points;
    auto operands_fit = [&](int count) { return pos + 1 + count <= end; };
    auto read_points = [&](int at, int n) {
        points.clear();
        for (int i = 0; i < n; ++i) {
            points.push_back({signed_word(w[static_cast<std::size_t>(at + 2 * i)]) + s.cx,
                              signed_word(w[static_cast<std::size_t>(at + 2 * i + 1)]) + s.cy});
        }
    };

    while (pos < end && w[static_cast<std::size_t>(pos)] != 0) {
        const std::uint16_t header = w[static_cast<std::size_t>(pos)];
        const int value = header & kDlValueMask;
        int operands = 0;
        switch (header & kDlKindMask) {
            case kDlColour:
                if (hpgl) hpgl_pen(value);
                if (mode != 1) g->pen_colour = value;
                break;
            case kDlViewport: {
                operands = 4;
                if (!operands_fit(operands)) break;
                FrameSpec v;
                v.xmin = w[static_cast<std::size_t>(pos + 1)] * 0.0001;
                v.ymin = w[static_cast<std::size_t>(pos + 2)] * 0.0001;
                v.xmax = w[static_cast<std::size_t>(pos + 3)] * 0.0001;
                v.ymax = w[static_cast<std::size_t>(pos + 4)] * 0.0001;
                v.word = value;
                g->viewport = v;
                graphics_apply_viewport(v, g->world.word);
                set_default_text_size(v.word);
                break;
            }
            case kDlTextAttributes:
                operands = value != 0 ? 0 : 4;
                if (!operands_fit(operands)) break;
                replay_text_attributes(value != 0 ? nullptr
                                                  : &w[static_cast<std::size_t>(pos + 1)]);
                break;
            case kDlText:
            case kDlTextOffset: {
                const bool offset = (header & kDlKindMask) == kDlTextOffset;
                const int head = offset ? 4 : 2;
                operands = head + value;
                if (mode == 2 || !operands_fit(operands)) break;
                std::string text;
                for (int i = 0; i < value; ++i) {
                    const std::uint16_t word = w[static_cast<std::size_t>(pos + 1 + head + i)];
                    text += static_cast<char>(word & 0xFF);
                    text += static_cast<char>(word >> 8);
                }
                text.resize(std::strlen(text.c_str()));
                const int x = signed_word(w[static_cast<std::size_t>(pos + 1)]) + s.cx;
                const int y = signed_word(w[static_cast<std::size_t>(pos + 2)]) + s.cy;
                const double dx = offset ? signed_word(w[static_cast<std::size_t>(pos + 3)]) : 0;
                const double dy = offset ? signed_word(w[static_cast<std::size_t>(pos + 4)]) : 0;
                replay_text(dc, x, y, dx, dy, text, offset);
                break;
            }
            case kDlMarkers: {
                operands = 1 + 2 * value;
                if (!operands_fit(operands)) break;
                const int code_word = w[static_cast<std::size_t>(pos + 1)];
                read_points(pos + 2, value);
                for (const Point& p : points) {
                    emit_device_marker(dc, code_word >> 8, code_word & 0xFF, p);
                }
                break;
            }
            case kDlDots: {
                operands = 2 * value;
                if (!operands_fit(operands)) break;
                read_points(pos + 1, value);
                if (g->world.word != 0) {
                    const DeviceMapping& m = device_mapping();
                    std::erase_if(points, [&](const Point& p) {
                        return p.x < m.box_xmin || p.x > m.box_xmax || p.y < m.box_ymin ||
                               p.y > m.box_ymax;
                    });
                }
                if (hpgl) {
                    hpgl_dots(points);
                } else {
                    emit_device_dots(dc, points);
                }
                break;
            }
            case kDlIsotropic:
                g->world.word = value;
                graphics_apply_viewport(g->viewport, value);
                break;
            case kDlViewportBox:
                emit_viewport_box(dc);
                break;
            case kDlPolyline:
                operands = 2 * value;
                if (!operands_fit(operands)) break;
                read_points(pos + 1, value);
                if (g->world.word != 0) {
                    clip_polyline(points, draw_run, &dc);
                } else {
                    emit_device_polyline(dc, points);
                }
                break;
            case kDlRawHpgl:
                operands = value;
                if (hpgl && operands_fit(operands) && value > 0) {
                    std::string text;
                    for (int i = 0; i < value; ++i) {
                        const std::uint16_t word = w[static_cast<std::size_t>(pos + 1 + i)];
                        text += static_cast<char>(word & 0xFF);
                        text += static_cast<char>(word >> 8);
                    }
                    hpgl_raw(text.c_str());
                }
                break;
            case kDlLineStyle:
                g->line_style = value % 5;
                if (hpgl) hpgl_line_style(g->line_style);
                break;
            case kDlFillColour:
                g->fill_colour = value;
                break;
            default:
                operands = end;  // not a record this program writes: stop here
                break;
        }
        pos += 1 + operands;
    }

    g->viewport = own_viewport;
    g->world.word = own_isotropic;
    g->pen_colour = own_pen;
    g->line_style = own_style;
    g->fill_colour = own_fill;
    graphics_apply_frames();
    set_default_text_size(own_viewport.word);
    restore_text_settings(own_text);
    g_erasing = false;
    g_replay_dc = nullptr;
    set_graphics_replaying(false);
    forget_selected_pen();
}

void graphwin_refresh(int full) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    flush_pending_polyline();
    if (full != 0) {
        DeviceContext* dc = graphics_target();
        if (graphics_clear_pending()) {
            set_graphics_clear_pending(false);
            graphwin_clear(dc);
        }
        if (dc != nullptr) display_list_replay(*dc, 0);
    }
    update_graphics_flags();
}

void graphwin_repaint(DeviceContext& dc) {
    display_list_replay(dc, 0);
}

void graphwin_paint(int window, DeviceContext& dc) {
    const int n = window == 16 ? kGraphicsPaneRecord : window - kGraphicsFirstWindow + 1;
    if (n < 1 || n > kGraphicsRecords || !graphics_record(n).has_list()) return;
    const int old = graphics_current();
    graphwin_select(n);
    if (!graphics_clear_pending()) {
        graphwin_clear(&dc);
        display_list_replay(dc, 0);
    }
    graphwin_select(old);
}
