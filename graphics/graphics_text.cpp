#include "graphics/graphics_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_hpgl.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "graphics/stroke_font.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"

using platform::DeviceContext;
using platform::Point;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxTextBytes = 4092;  // a text record's count must fit 11 bits

TextGeometry g_geometry;

bool isomorphic_labels() {
    return get_setting_flag(kSetGraphicsIsomorphicLabels) != 0;
}

// A glyph's strokes on the device: points (X, Y) in character units from the origin along the
// x-unit and y-unit vectors, with the slant applied to X.
// v rounded to the nearest integer, halves away from zero, as std::lround rounds: truncated
// in a register and corrected by the exact remainder, where the library's call would dominate
// the drawing of a glyph.
long rounded(double v) {
    if (!(std::fabs(v) < 0x1p62)) return std::lround(v);
    const auto t = static_cast<long long>(v);
    const double rest = v - static_cast<double>(t);
    return static_cast<long>(t + (rest >= 0.5) - (rest <= -0.5));
}

struct Frame {
    double ox, oy;
    double xx, xy, yx, yy;
    double slant;
    Point surface(double X, double Y) const {
        const double sx = X + slant * Y;
        return {static_cast<int>(rounded(ox + sx * xx + Y * yx)),
                static_cast<int>(rounded(oy + sx * xy + Y * yy))};
    }
};

void draw_stroke(DeviceContext& dc, const std::vector<Point>& stroke, bool fill_mark) {
    if (stroke.size() < 2) return;
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    const bool closed = fill_mark && stroke.size() >= 4 && stroke.front() == stroke.back();
    const int fill =
        closed && !graphics_erasing() ? (g->fill_colour != 0 ? g->fill_colour : g->pen_colour) : 0;
    GraphicsWindow& w = *graphics_current_record();
    const int own_fill = w.fill_colour;
    const int own_style = w.line_style;
    w.fill_colour = fill;
    w.line_style = 0;
    emit_device_polyline(dc, stroke);
    w.fill_colour = own_fill;
    w.line_style = own_style;
}

void draw_circle(DeviceContext& dc, const Frame& f, double cx, double cy, int radius, bool fill) {
    std::vector<Point> ring;
    for (int k = 0; k <= 36; ++k) {
        const double a = k * 10.0 * kPi / 180;
        ring.push_back(f.surface(cx + radius * std::cos(a), cy + radius * std::sin(a)));
    }
    ring.back() = ring.front();
    draw_stroke(dc, ring, fill);
}

void draw_points(DeviceContext& dc, const std::vector<GlyphPoint>& glyph, const Frame& f) {
    // A buffer reused from glyph to glyph (one thread; drawing a stroke draws no glyph).
    static std::vector<Point> stroke;
    stroke.clear();
    bool fill_mark = false;
    double last_x = 0, last_y = 0;
    for (const GlyphPoint& p : glyph) {
        if (!p.pen_down) {
            draw_stroke(dc, stroke, fill_mark);
            stroke.clear();
            fill_mark = false;
            stroke.push_back(f.surface(p.x, p.y));
            last_x = p.x;
            last_y = p.y;
            continue;
        }
        if (p.special == 1) {
            draw_circle(dc, f, last_x, last_y, p.circle, fill_mark);
            continue;
        }
        if (p.special == 2 || p.special == 3) {
            fill_mark = true;
            continue;
        }
        stroke.push_back(f.surface(p.x, p.y));
        last_x = p.x;
        last_y = p.y;
    }
    draw_stroke(dc, stroke, fill_mark);
    set_state_flag(kFlagDisplayListNotEmpty);
}

Frame text_frame(double x, double y, bool slanted) {
    const TextGeometry& t = g_geometry;
    return {x, y, t.xu_x, t.xu_y, t.yu_x, t.yu_y, slanted ? t.slant : 0};
}

// Characters of a line as the drawing sees them: a markup pair counts as one.
std::vector<std::string_view> characters(std::string_view line) {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '@' && i + 1 < line.size()) {
            out.push_back(line.substr(i, 2));
            ++i;
        } else {
            out.push_back(line.substr(i, 1));
        }
    }
    return out;
}

bool inside_text_box(double x, double y) {
    const TextGeometry& t = g_geometry;
    return x >= t.box_xmin && x <= t.box_xmax && y >= t.box_ymin && y <= t.box_ymax;
}

// The characters whose cells lie in the text clip box: the first and one past the last kept.
std::pair<std::size_t, std::size_t> visible_range(double x, double y,
                                                  const std::vector<std::string_view>& chars) {
    const TextGeometry& t = g_geometry;
    auto inside = [&](std::size_t k) {
        const double cx = x + k * t.advance_x, cy = y + k * t.advance_y;
        return inside_text_box(cx, cy) && inside_text_box(cx + 6 * t.xu_x, cy + 6 * t.xu_y);
    };
    std::size_t first = 0, last = chars.size();
    while (first < last && !inside(first)) ++first;
    while (last > first && !inside(last - 1)) --last;
    return {first, last};
}

void record_text(std::uint16_t kind, int x, int y, double dx, double dy, std::string_view text) {
    const auto bytes = std::min<std::size_t>(text.size(), kMaxTextBytes);
    const int n = static_cast<int>(bytes / 2 + 1);
    const int extra = kind == kDlTextOffset ? 4 : 2;
    if (display_list_grow(n + extra + 1) != 0) return;
    const PlotSurface& s = plot_surface();
    display_list_put(static_cast<std::uint16_t>(kind | n));
    display_list_put(static_cast<std::uint16_t>(x - s.cx));
    display_list_put(static_cast<std::uint16_t>(y - s.cy));
    if (kind == kDlTextOffset) {
        display_list_put(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(dx))));
        display_list_put(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(dy))));
    }
    for (int i = 0; i < n; ++i) {
        const std::size_t a = 2 * static_cast<std::size_t>(i);
        const auto lo = static_cast<std::uint8_t>(a < bytes ? text[a] : 0);
        const auto hi = static_cast<std::uint8_t>(a + 1 < bytes ? text[a + 1] : 0);
        display_list_put(static_cast<std::uint16_t>(lo | (hi << 8)));
    }
    display_list_end();
}

// Width of a line in character units, and the start shift a leading character 11 gives.
double line_width(const std::vector<std::string_view>& chars, double* start_shift) {
    *start_shift = 0;
    if (chars.empty()) return 0;
    double w = 6 + (static_cast<double>(chars.size()) - 1) * text_settings().pitch;
    if (chars.front() == "\x0b") {
        *start_shift = -3;
        w -= 3;
    }
    if (chars.size() > 1 && chars.back() == "\x0b") w -= 3;
    return w;
}

std::string clean_line(std::string_view line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '@' && i + 1 < line.size()) {
            out += line.substr(i, 2);
            ++i;
        } else if (c >= 32 || c == 11) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

const TextGeometry& text_geometry() {
    return g_geometry;
}

bool text_clipped() {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return false;
    if (isomorphic_labels()) return g->viewport.word != 0 || g->world.word != 0;
    return g->world.word != 0;
}

void gfx_apply_text_settings() {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    const TextSettings& s = text_settings();
    const FrameBox& v = g->viewport;
    double ux = s.size * 3.2 * (v.xmax - v.xmin);
    double uy = -s.size * 3.2 * (v.ymax - v.ymin);
    if (g->world.word != 0) {
        const double m = std::min(std::fabs(ux), std::fabs(uy));
        ux = std::copysign(m, ux);
        uy = std::copysign(m, uy);
    } else if (const PageRect page = graphics_page_rect(*g);
               v.word != 0 && isomorphic_labels() && page.width > 0 && page.height > 0) {
        const PlotSurface& p = plot_surface();
        const double px = std::fabs(ux) * page.width / p.width;
        const double py = std::fabs(uy) * page.height / p.height;
        if (px > py && px > 0) ux *= py / px;
        if (py > px && py > 0) uy *= px / py;
    }
    TextGeometry& t = g_geometry;
    const int a = s.angle;
    if (a == 0) {
        t.xu_x = ux, t.xu_y = 0, t.yu_x = 0, t.yu_y = uy;
    } else if (a == 90) {
        t.xu_x = 0, t.xu_y = -uy, t.yu_x = ux, t.yu_y = 0;
    } else if (a == -90) {
        t.xu_x = 0, t.xu_y = uy, t.yu_x = -ux, t.yu_y = 0;
    } else {
        const double r = a * kPi / 180;
        t.xu_x = ux * std::cos(r), t.xu_y = -uy * std::sin(r);
        t.yu_x = ux * std::sin(r), t.yu_y = uy * std::cos(r);
    }
    t.advance_x = s.pitch * t.xu_x;
    t.advance_y = s.pitch * t.xu_y;
    t.slant = s.slant != 0 ? std::tan(s.slant * kPi / 180) : 0;
    const DeviceMapping& m = device_mapping();
    const double widen = 13 * std::fabs(uy);
    t.box_xmin = m.box_xmin;
    t.box_xmax = m.box_xmax;
    t.box_ymin = m.box_ymin - widen;
    t.box_ymax = m.box_ymax;
}

void gfx_draw_glyph(DeviceContext& dc, int code, double x, double y) {
    draw_points(dc, set1_glyph(code), text_frame(x, y, true));
}

void gfx_draw_symbol(DeviceContext& dc, int index, double x, double y) {
    draw_points(dc, set2_glyph(index), text_frame(x, y, false));
}

void emit_device_marker(DeviceContext& dc, int type, int size_code, Point p) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    double ux = 0, uy = 0;
    marker_units(*g, size_code, &ux, &uy);
    // The glyph's (3, 6) lands on the point.
    const Frame f{p.x - 3 * ux, p.y - 6 * uy, ux, 0, 0, uy, 0};
    draw_points(dc, set1_glyph(type & 0x7F), f);
}

void gfx_draw_string(DeviceContext& dc, double x, double y, std::string_view text) {
    const TextGeometry& t = g_geometry;
    const TextSettings& s = text_settings();
    // On a plotter that can letter the line itself, runs of plain characters go out as labels
    // (a cell 6 units wide and 13 high); markup and box marks between them stay strokes.
    const bool labels = hpgl_plotter_text(s.angle, s.slant);
    const double unit_x = std::hypot(t.xu_x, t.xu_y), unit_y = std::hypot(t.yu_x, t.yu_y);
    std::string label;
    double label_x = 0, label_y = 0;
    auto send_label = [&] {
        if (label.empty()) return;
        hpgl_label(label_x, label_y, label, s.angle, 6 * unit_x, 13 * unit_y, s.pitch * unit_x);
        label.clear();
    };
    double cx = x, cy = y;
    int bars = 0;
    double bar_x = 0, bar_y = 0;
    double measured = 0, measured_to_last_bar = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        bool advance = true;
        if (labels && (c == 11 || (c == '@' && i + 1 < text.size()))) send_label();
        if (c == '@' && i + 1 < text.size()) {
            const auto m = static_cast<unsigned char>(text[++i]);
            if (m >= 'A' && m <= 'Z') {
                gfx_draw_symbol(dc, m - 'A', cx, cy);
                advance = false;
            } else if (m >= '0' && m <= '9') {
                gfx_draw_glyph(dc, m - '0', cx, cy);
            } else if (m >= 'a') {
                gfx_draw_glyph(dc, std::min(m - 96, 31), cx, cy);
            } else {
                advance = false;
            }
        } else if (c == 11) {
            const Frame f = text_frame(cx, cy, false);
            draw_stroke(dc, {f.surface(3, 16), f.surface(3, -4)}, false);
            if (bars == 0) {
                bar_x = cx;
                bar_y = cy;
            } else {
                measured_to_last_bar = measured;
            }
            ++bars;
        } else if (labels) {
            if (label.empty()) {
                label_x = cx;
                label_y = cy;
            }
            label += static_cast<char>(c & 0x7F);
        } else {
            gfx_draw_glyph(dc, c & 0x7F, cx, cy);
        }
        if (advance) {
            if (bars > 0 && !(c == 11 && bars == 1)) measured += s.pitch;
            cx += t.advance_x;
            cy += t.advance_y;
        }
    }
    send_label();
    if (bars > 0) {
        const double w = bars >= 2 ? measured_to_last_bar : measured;
        if (w != 0) {
            const Frame f = text_frame(bar_x, bar_y, false);
            draw_stroke(dc, {f.surface(3, -4), f.surface(w + 3, -4)}, false);
            if (bars >= 2) draw_stroke(dc, {f.surface(3, 16), f.surface(w + 3, 16)}, false);
        }
    }
}

void gfx_text() {
    GraphicsWindow* g = graphics_current_record();
    const char* buffer = formatted_output_buffer();
    if (g == nullptr || buffer == nullptr || buffer[0] == 0) return;
    flush_pending_polyline();
    gfx_apply_text_settings();
    const TextSettings& s = text_settings();
    if (display_list_grow(5) == 0) {
        display_list_put(static_cast<std::uint16_t>(kDlTextAttributes | (s.defaults != 0 ? 1 : 0)));
        if (s.defaults == 0) {
            display_list_put(static_cast<std::uint16_t>(s.angle));
            display_list_put(static_cast<std::uint16_t>(s.pitch));
            display_list_put(static_cast<std::uint16_t>(s.line_pitch));
            display_list_put(static_cast<std::uint16_t>(((s.slant & 0xFF) << 8) | (s.size & 0xFF)));
        }
        display_list_end();
    }
    const bool clipped = text_clipped();
    const TextGeometry& t = g_geometry;
    int sx = 0, sy = 0;
    gfx_world_to_device(g->current_x, g->current_y, &sx, &sy);
    double start_x = sx, start_y = sy;
    double anchored_x = start_x, anchored_y = start_y;
    const std::string all(buffer, std::min<std::size_t>(std::strlen(buffer), kMaxTextBytes));
    std::size_t from = 0;
    while (from <= all.size()) {
        std::size_t to = all.find('\n', from);
        if (to == std::string::npos) to = all.size();
        const std::string line = clean_line(std::string_view(all).substr(from, to - from));
        const std::vector<std::string_view> chars = characters(line);
        double shift = 0;
        const double w = line_width(chars, &shift);
        const double h = s.h_anchor, v = s.v_anchor, off = s.anchor_offset;
        const double dx = (1 - h) * off - h * w / 2 + shift;
        const double dy = off - (off + 6) * v;
        anchored_x = start_x + dx * t.xu_x + dy * t.yu_x;
        anchored_y = start_y + dx * t.xu_y + dy * t.yu_y;
        if (!chars.empty()) {
            DeviceContext* dc = graphics_drawing_dc();
            if (!clipped) {
                const auto [first, last] = visible_range(anchored_x, anchored_y, chars);
                if (first < last) {
                    std::string kept;
                    for (std::size_t k = first; k < last; ++k) kept += chars[k];
                    const double kx = anchored_x + first * t.advance_x;
                    const double ky = anchored_y + first * t.advance_y;
                    record_text(kDlText, static_cast<int>(std::lround(kx)),
                                static_cast<int>(std::lround(ky)), 0, 0, kept);
                    if (dc != nullptr) gfx_draw_string(*dc, kx, ky, kept);
                }
            } else {
                const bool offset = dx != 0 || dy != 0;
                record_text(offset ? kDlTextOffset : kDlText,
                            static_cast<int>(std::lround(start_x)),
                            static_cast<int>(std::lround(start_y)), dx, dy, line);
                if (dc != nullptr) {
                    const auto [first, last] = visible_range(anchored_x, anchored_y, chars);
                    std::string kept;
                    for (std::size_t k = first; k < last; ++k) kept += chars[k];
                    gfx_draw_string(*dc, anchored_x + first * t.advance_x,
                                    anchored_y + first * t.advance_y, kept);
                }
            }
        }
        if (to == all.size()) break;
        start_x -= s.line_pitch * t.yu_x;
        start_y -= s.line_pitch * t.yu_y;
        from = to + 1;
    }
    // The current point moves to the anchored start of the last line.
    const double wx = g->scale_x != 0 ? (anchored_x - g->offset_x) / g->scale_x : g->current_x;
    const double wy = g->scale_y != 0 ? (anchored_y - g->offset_y) / g->scale_y : g->current_y;
    gfx_move_to(wx, wy);
    if (s.defaults == 0) reset_text_settings();
    update_graphics_flags();
}

void replay_text_attributes(const std::uint16_t* operands) {
    if (operands == nullptr) {
        reset_text_settings();
    } else {
        TextSettings t = text_settings();
        t.angle = static_cast<std::int16_t>(operands[0]);
        t.pitch = static_cast<std::int16_t>(operands[1]);
        t.line_pitch = static_cast<std::int16_t>(operands[2]);
        t.slant = static_cast<std::int8_t>(operands[3] >> 8);
        t.size = operands[3] & 0xFF;
        t.defaults = 0;
        restore_text_settings(t);
    }
    gfx_apply_text_settings();
}

void replay_text(DeviceContext& dc, int x, int y, double dx, double dy, std::string_view text,
                 bool offset_record) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    gfx_apply_text_settings();
    const TextGeometry& t = g_geometry;
    double px = x, py = y;
    if (offset_record) {
        px += dx * t.xu_x + dy * t.yu_x;
        py += dx * t.xu_y + dy * t.yu_y;
    }
    const std::vector<std::string_view> chars = characters(text);
    if (g->world.word == 0 && (!isomorphic_labels() || g->viewport.word == 0)) {
        gfx_draw_string(dc, px, py, text);
        return;
    }
    const auto [first, last] = visible_range(px, py, chars);
    std::string kept;
    for (std::size_t k = first; k < last; ++k) kept += chars[k];
    gfx_draw_string(dc, px + first * t.advance_x, py + first * t.advance_y, kept);
}

namespace {
void reset_graphics_text() {
    g_geometry = TextGeometry{};
}
const platform::StateReset graphics_text_state_reset{"graphics/graphics_text", reset_graphics_text,
                                                     platform::ResetLayer::graphics};
}  // namespace

void gfx_print_within(double width, std::string_view text) {
    const TextSettings saved = text_settings();
    // Characters as drawn: a markup pair is one.
    int n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') break;
        if (text[i] == '@' && i + 1 < text.size()) ++i;
        ++n;
    }
    // A character unit is size x 3.2 x the viewport's width in surface units; the line is
    // 6 units for its first character and a pitch for each further one.
    const double surface = plot_surface().width;
    const double wide = n > 0 ? saved.size * 3.2 * (6.0 + (n - 1) * saved.pitch) / surface : 0.0;
    const double room = 0.95 * width;
    if (wide > room && surface > 0) {
        const double size = std::floor(saved.size * room / wide) / 10.0;
        gfx_set_text_size(std::max(size, 0.1), saved.pitch - 10.0, saved.line_pitch - 20.0);
    }
    gfx_printf("%s", std::string(text));
    restore_text_settings(saved);
}
