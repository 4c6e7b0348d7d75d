#include "graphics/graphics_hpgl.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "runtime/folder_lists.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "tables/table_names.h"

using platform::Point;

namespace {

constexpr int kSettingPenWidth = 17;
constexpr int kSettingAlternateMode = 43;
constexpr int kSettingHpgl2 = 52;

void plot_polyline(std::span<const Point> px, bool closed);

// The plotter as a device a replay draws into: every outline goes out as plotter lines.
class HpglDevice : public platform::DeviceContext {
public:
    platform::Size size() const override { return {0, 0}; }
    void set_pen(platform::Colour, platform::LineStyle, int) override {}
    void set_brush(platform::Colour) override {}
    void set_null_brush() override {}
    void set_text_colour(platform::Colour) override {}
    void move_to(Point p) override { current_ = p; }
    void line_to(Point p) override {
        const Point line[2] = {current_, p};
        plot_polyline(line, false);
        current_ = p;
    }
    void polyline(std::span<const Point> points) override { plot_polyline(points, false); }
    void polygon(std::span<const Point> points) override { plot_polyline(points, true); }
    void ellipse(platform::Rect r) override {
        // As a 36-sided polygon: the plotter draws every outline as lines.
        const double cx = (r.left + r.right - 1) / 2.0, cy = (r.top + r.bottom - 1) / 2.0;
        const double rx = (r.right - r.left - 1) / 2.0, ry = (r.bottom - r.top - 1) / 2.0;
        std::vector<Point> points;
        for (int k = 0; k <= 36; ++k) {
            const double a = k * 2 * 3.14159265358979323846 / 36;
            points.push_back({static_cast<int>(std::lround(cx + rx * std::cos(a))),
                              static_cast<int>(std::lround(cy + ry * std::sin(a)))});
        }
        plot_polyline(points, false);
    }
    void set_pixel(Point, platform::Colour) override {}
    void fill_rect(platform::Rect, platform::Colour) override {}
    void text_out(Point, std::string_view) override {}
    platform::TextMetrics text_metrics() const override { return {}; }
    int text_width(std::string_view) const override { return 0; }
    void set_clip_rect(platform::Rect) override {}
    void clear_clip() override {}

private:
    Point current_;
};

// The plot file being written with its buffer, the plotter's pen and text state, and the device
// a replay draws into.
struct HpglOutput {
    bool active = false;
    bool failed = false;
    platform::AtomicFileWriter* file = nullptr;
    std::array<char, 512> buffer{};
    std::size_t used = 0;
    int line = 0;
    char mnemonic[3] = {};
    int width = 0;
    int height = 0;
    bool hpgl2 = false;
    // The plotter's text state, written again only when it changes.
    int run = 2, rise = 2;  // no direction written yet
    double size_w = -1, size_h = -1;
    double extra = -100;
    HpglDevice device;
} g;

void put_text(const char* text) {
    for (const char* p = text; *p != 0; ++p) hpgl_put_byte(*p);
}

void flush_buffer() {
    if (g.file == nullptr || g.failed || g.used == 0) {
        g.used = 0;
        return;
    }
    if (g.file->write(g.buffer.data(), g.used) != 0) g.failed = true;
    g.used = 0;
}

// One complete command.
void command(const char* text) {
    hpgl_write(text, 1);
    hpgl_write("", 3);
}

Point plotter_point(Point p) {
    return {p.x, g.height - p.y};
}

const char* fill_type(int f) {
    static const char* const kTypes[] = {"FT1",     "FT10,80", "FT10,55",
                                         "FT10,35", "FT10,20", "FT10,10"};
    return kTypes[(f - 1) % 6];
}

// Polylines and strokes in plotter units; the fill of the current window closes a polygon when
// HPGL/2 is on.
void plot_polyline(std::span<const Point> px, bool closed) {
    if (px.size() < 2) return;
    const GraphicsWindow* w = graphics_current_record();
    const int fill = w != nullptr && !graphics_erasing() ? w->fill_colour : 0;
    const bool filled = g.hpgl2 && fill != 0 && closed;
    char text[48];
    const Point first = plotter_point(px[0]);
    std::snprintf(text, sizeof text, "PU%d,%d", first.x, first.y);
    command(text);
    if (filled) {
        command(fill_type(fill));
        command("PM0");
    }
    hpgl_write("PD", 1);
    std::vector<Point> rest(px.begin() + 1, px.end());
    if (closed && !(px.back() == px.front())) rest.push_back(px.front());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const Point p = plotter_point(rest[i]);
        std::snprintf(text, sizeof text, "%d,%d", p.x, p.y);
        hpgl_write(text, i + 1 < rest.size() ? 2 : 3);
    }
    if (filled) command("PM2;FP;EP");
}

}  // namespace

bool hpgl_active() {
    return g.active;
}

platform::DeviceContext& hpgl_device() {
    return g.device;
}

void hpgl_put_byte(char byte) {
    if (!g.active || g.failed) return;
    if (g.used == g.buffer.size()) flush_buffer();
    if (g.failed) return;
    g.buffer[g.used++] = byte;
}

void hpgl_write(const char* text, int mode) {
    if (!g.active) return;
    const std::size_t length = std::strlen(text);
    if (mode == 1) {
        if (g.line > 62) {
            put_text("\n");
            g.line = 0;
        }
        g.mnemonic[0] = length > 0 ? text[0] : 0;
        g.mnemonic[1] = length > 1 ? text[1] : 0;
        g.mnemonic[2] = 0;
    }
    put_text(text);
    g.line += static_cast<int>(length);
    const bool ended_line = length > 0 && text[length - 1] == '\n';
    if (ended_line) g.line = 0;
    if (mode == 2) {
        if (g.line > 64) {
            put_text(";\n");
            put_text(g.mnemonic);
            g.line = 2;
        } else {
            put_text(",");
            ++g.line;
        }
    } else if (mode == 3) {
        if (!ended_line && !(length > 0 && text[length - 1] == ';')) {
            put_text(";");
            ++g.line;
        }
        if (g.line > 62) {
            put_text("\n");
            g.line = 0;
        }
    }
}

void hpgl_pen(int colour) {
    int pen = colour % 6;
    if (pen == 0) pen = 6;
    char text[16];
    std::snprintf(text, sizeof text, "SP%d", pen);
    command(text);
}

void hpgl_line_style(int style) {
    static const char* const kTypes[] = {"LT", "LT2", "LT1", "LT4", "LT7"};
    command(kTypes[((style % 5) + 5) % 5]);
}

void hpgl_dots(std::span<const Point> surface) {
    char text[64];
    for (const Point& s : surface) {
        const Point p = plotter_point(surface_to_pixel(s.x, s.y));
        std::snprintf(text, sizeof text, "PU%d,%d;PD%d,%d", p.x, p.y, p.x, p.y);
        command(text);
    }
}

void hpgl_raw(const char* text) {
    command(text);
}

bool hpgl_plotter_text(int angle, int slant) {
    if (!g.active || slant != 0) return false;
    return angle == 0 || angle == 90 || angle == -90 || angle == 180 || angle == -180;
}

void hpgl_label(double sx, double sy, std::string_view text, int angle, double char_width,
                double char_height, double pitch) {
    if (!g.active || text.empty() || g.width <= 0 || g.height <= 0) return;
    const DeviceMapping& m = device_mapping();
    auto plotter_x = [&](double v) {
        return static_cast<double>((static_cast<std::int64_t>(v) * m.scale_x) >> 15);
    };
    auto plotter_y = [&](double v) {
        return static_cast<double>((static_cast<std::int64_t>(v) * m.scale_y) >> 15);
    };
    char buffer[64];
    const int run = angle == 0 ? 1 : angle == 90 ? 0 : angle == -90 ? 0 : -1;
    const int rise = angle == 90 ? -1 : angle == -90 ? 1 : 0;
    if (run != g.run || rise != g.rise) {
        std::snprintf(buffer, sizeof buffer, "DI%d,%d", run, rise);
        command(buffer);
        g.run = run;
        g.rise = rise;
    }
    // Sizes across and up the text, in plotter units, as per cent of the plot area.
    const bool across_x = angle == 0 || angle == 180 || angle == -180;
    const double w = across_x ? plotter_x(char_width) : plotter_y(char_width);
    const double h = across_x ? plotter_y(char_height) : plotter_x(char_height);
    if (w <= 0 || h <= 0) return;
    const double size_w = std::round(w * 100 / (across_x ? g.width : g.height) * 100) / 100;
    const double size_h = std::round(h * 100 / (across_x ? g.height : g.width) * 100) / 100;
    if (size_w != g.size_w || size_h != g.size_h) {
        std::snprintf(buffer, sizeof buffer, "SR%.2f,%.2f", size_w, size_h);
        command(buffer);
        g.size_w = size_w;
        g.size_h = size_h;
    }
    double extra = ((across_x ? plotter_x(pitch) : plotter_y(pitch)) * 0.66667) / w - 1;
    if (std::fabs(extra) < 0.01) extra = 0;
    extra = std::round(extra * 100) / 100;
    if (extra != g.extra) {
        std::snprintf(buffer, sizeof buffer, "ES%.2f", extra);
        command(buffer);
        g.extra = extra;
    }
    const Point start = plotter_point(
        surface_to_pixel(static_cast<int>(std::lround(sx)), static_cast<int>(std::lround(sy))));
    std::snprintf(buffer, sizeof buffer, "PU%d,%d", start.x, start.y);
    if (g.line + static_cast<int>(std::strlen(buffer) + text.size()) + 4 > 80) {
        put_text("\n");
        g.line = 0;
    }
    command(buffer);
    hpgl_write("LB", 1);
    for (char c : text) hpgl_put_byte(c);
    hpgl_put_byte('\x03');
    g.line += static_cast<int>(text.size()) + 1;
    hpgl_write("", 3);
}

void gfx_hpgl_string() {
    const char* text = formatted_output_buffer();
    if (graphics_current_record() == nullptr || text == nullptr || text[0] == 0) return;
    flush_pending_polyline();
    const std::size_t length = std::min<std::size_t>(std::strlen(text), 4092);
    const int n = static_cast<int>(length / 2 + 1);
    if (display_list_grow(n + 1) != 0) return;
    display_list_put(static_cast<std::uint16_t>(kDlRawHpgl | n));
    for (int i = 0; i < n; ++i) {
        const std::size_t a = 2 * static_cast<std::size_t>(i);
        const auto lo = static_cast<std::uint8_t>(a < length ? text[a] : 0);
        const auto hi = static_cast<std::uint8_t>(a + 1 < length ? text[a + 1] : 0);
        display_list_put(static_cast<std::uint16_t>(lo | (hi << 8)));
    }
    display_list_end();
    update_graphics_flags();
}

int graphwin_write_hpgl(const std::string& file_name, int x1, int x2, int y1, int y2) {
    GraphicsWindow* w = graphics_current_record();
    if (w == nullptr || !w->has_list()) return kMsgOutOfMemory;
    if (file_name.empty()) return set_error_msg(kMsgHpglCannotOpen, file_name.c_str());
    platform::AtomicFileWriter file;
    if (file.open(file_name) != 0) return report_write_failure(file_name, file);
    const bool alternate = get_setting_flag(kSettingAlternateMode) != 0;
    const bool upright = (!alternate && w->aspect > 1) || (alternate && w->aspect < 1);
    if (x2 == 0) {
        if (upright) {
            x1 = 270, y1 = 80, x2 = 7520, y2 = 10080;
        } else {
            x1 = 80, y1 = 1270, x2 = 10080, y2 = 7520;
        }
    } else {
        if (upright) {
            std::swap(x1, y1);
            std::swap(x2, y2);
        }
        if (x1 > x2) std::swap(x1, x2);
        if (y1 > y2) std::swap(y1, y2);
        if (x1 == x2 || y1 == y2) return set_error_msg(kMsgHpglCannotOpen, file_name.c_str());
    }
    g = HpglOutput{};
    g.active = true;
    g.file = &file;
    g.width = x2 - x1;
    g.height = y2 - y1;
    g.hpgl2 = get_setting_flag(kSettingHpgl2) != 0;

    char text[96];
    hpgl_write("SP1\n", 3);
    std::snprintf(text, sizeof text, "DF;IP%d,%d,%d,%d", x1, y1, x2, y2);
    command(text);
    std::snprintf(text, sizeof text, "SC0,%d,0,%d", x2 - x1, y2 - y1);
    command(text);
    if (g.hpgl2) {
        command("UL2,70,30");
        command("UL1,10,10,10,10,10,10,10,10,10,10");
        command("UL4,70,10,10,10");
        command("UL7,50,10,10,10,10,10");
        std::snprintf(text, sizeof text, "WU0;PW%.3f",
                      get_setting_int(kSettingPenWidth, 0, 0) * 0.0035);
        command(text);
        command("SD6,9999");
    }
    set_graphics_plotter(x2 - x1, y2 - y1);
    display_list_replay(g.device, 0);
    set_graphics_plotter(0, 0);
    hpgl_write("PU;SP0;\n", 3);
    flush_buffer();
    const bool failed = g.failed;
    g = HpglOutput{};
    if (failed || file.commit() != 0) return report_write_failure(file_name, file);
    return 0;
}

namespace {
void reset_graphics_hpgl() {
    g = HpglOutput{};
}
const platform::StateReset graphics_hpgl_state_reset{"graphics/graphics_hpgl", reset_graphics_hpgl,
                                                     platform::ResetLayer::graphics};
}  // namespace
