#include "graphics/graphics_replay.h"

#include <cstring>
#include <string>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_hpgl.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"

using platform::DeviceContext;
using platform::Point;

namespace {

void draw_run(std::span<const Point> run, void* context) {
    emit_device_polyline(*static_cast<DeviceContext*>(context), run);
}

std::int16_t signed_word(std::uint16_t w) {
    return static_cast<std::int16_t>(w);
}

// The device a replay draws on, whether it erases, and the points of the record being replayed.
struct ReplayState {
    DeviceContext* dc = nullptr;
    bool erasing = false;
    // The points of the record being replayed, reused from replay to replay (one thread): a replay
    // allocates nothing once it has grown.
    std::vector<Point> points;
};

ReplayState g_replay;

// What a replay changes in the window's record and puts back when it ends.
struct OwnState {
    FrameBox viewport;
    std::int32_t isotropic = 0;
    int pen = 0;
    int style = 0;
    int fill = 0;
    TextSettings text;
};

OwnState own_state(const GraphicsWindow& g) {
    return {g.viewport, g.world.word, g.pen_colour, g.line_style, g.fill_colour, text_settings()};
}

// The frames, pens and text settings the replay starts from, and the word it starts at: the
// mark with the frames saved there when erasing (mode 1), else the list's start with defaults.
int start_state(GraphicsWindow& g, int mode) {
    int pos = 0;
    if (mode == 1) {
        pos = g.mark;
        g.viewport = g.saved_viewport;
        g.world.word = g.saved_isotropic;
        g_replay.erasing = true;
    } else {
        g.viewport = FrameBox{};
        g.world.word = 0;
        g.pen_colour = 1;
        g.line_style = 0;
        g.fill_colour = 0;
    }
    graphics_apply_frames();
    set_default_text_size(g.viewport.word);
    reset_text_settings();
    return pos;
}

void restore_own_state(GraphicsWindow& g, const OwnState& own) {
    g.viewport = own.viewport;
    g.world.word = own.isotropic;
    g.pen_colour = own.pen;
    g.line_style = own.style;
    g.fill_colour = own.fill;
    graphics_apply_frames();
    set_default_text_size(own.viewport.word);
    restore_text_settings(own.text);
}

// One replay under way: the list, the device it draws on, and the record being read (its header
// at pos, its operands after it).
struct Replay {
    DeviceContext& dc;
    GraphicsWindow& g;
    int mode;
    bool hpgl;
    const PlotSurface& surface;
    const std::vector<std::uint16_t>& words;
    int end;
    int pos;

    std::uint16_t word(int at) const { return words[static_cast<std::size_t>(at)]; }
    bool operands_fit(int count) const { return pos + 1 + count <= end; }

    // n points from word at on, as x and y pairs relative to the surface's centre.
    void read_points(int at, int n) {
        g_replay.points.clear();
        for (int i = 0; i < n; ++i) {
            g_replay.points.push_back({signed_word(word(at + 2 * i)) + surface.cx,
                                       signed_word(word(at + 2 * i + 1)) + surface.cy});
        }
    }
    // Text packed two characters to a word, the low byte first.
    std::string packed_text(int at, int count) const {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += static_cast<char>(word(at + i) & 0xFF);
            text += static_cast<char>(word(at + i) >> 8);
        }
        return text;
    }

    // Each replays the record at pos and returns how many operand words follow its header.
    int record(std::uint16_t header);
    int viewport(int value);
    int text(int value, bool offset);
    int markers(int value);
    int dots(int value);
    int polyline(int value);
    int raw_hpgl(int value);
};

int Replay::viewport(int value) {
    const int operands = 4;
    if (!operands_fit(operands)) return operands;
    FrameBox v;
    v.xmin = word(pos + 1) * 0.0001;
    v.ymin = word(pos + 2) * 0.0001;
    v.xmax = word(pos + 3) * 0.0001;
    v.ymax = word(pos + 4) * 0.0001;
    v.word = value;
    g.viewport = v;
    graphics_apply_viewport(v, g.world.word);
    set_default_text_size(v.word);
    return operands;
}

int Replay::text(int value, bool offset) {
    const int head = offset ? 4 : 2;
    const int operands = head + value;
    if (mode == 2 || !operands_fit(operands)) return operands;
    std::string shown = packed_text(pos + 1 + head, value);
    shown.resize(std::strlen(shown.c_str()));
    const int x = signed_word(word(pos + 1)) + surface.cx;
    const int y = signed_word(word(pos + 2)) + surface.cy;
    const double dx = offset ? signed_word(word(pos + 3)) : 0;
    const double dy = offset ? signed_word(word(pos + 4)) : 0;
    replay_text(dc, x, y, dx, dy, shown, offset);
    return operands;
}

int Replay::markers(int value) {
    const int operands = 1 + 2 * value;
    if (!operands_fit(operands)) return operands;
    const int code_word = word(pos + 1);
    read_points(pos + 2, value);
    for (const Point& p : g_replay.points)
        emit_device_marker(dc, code_word >> 8, code_word & 0xFF, p);
    return operands;
}

int Replay::dots(int value) {
    const int operands = 2 * value;
    if (!operands_fit(operands)) return operands;
    read_points(pos + 1, value);
    if (g.world.word != 0) {
        const DeviceMapping& m = device_mapping();
        std::erase_if(g_replay.points, [&](const Point& p) {
            return p.x < m.box_xmin || p.x > m.box_xmax || p.y < m.box_ymin || p.y > m.box_ymax;
        });
    }
    if (hpgl) {
        hpgl_dots(g_replay.points);
    } else {
        emit_device_dots(dc, g_replay.points);
    }
    return operands;
}

int Replay::polyline(int value) {
    const int operands = 2 * value;
    if (!operands_fit(operands)) return operands;
    read_points(pos + 1, value);
    if (g.world.word != 0) {
        clip_polyline(g_replay.points, draw_run, &dc);
    } else {
        emit_device_polyline(dc, g_replay.points);
    }
    return operands;
}

int Replay::raw_hpgl(int value) {
    const int operands = value;
    if (hpgl && operands_fit(operands) && value > 0) {
        hpgl_raw(packed_text(pos + 1, value).c_str());
    }
    return operands;
}

int Replay::record(std::uint16_t header) {
    const int value = header & kDlValueMask;
    switch (header & kDlKindMask) {
        case kDlColour:
            if (hpgl) hpgl_pen(value);
            if (mode != 1) g.pen_colour = value;
            return 0;
        case kDlViewport:
            return viewport(value);
        case kDlTextAttributes: {
            const int operands = value != 0 ? 0 : 4;
            if (operands_fit(operands)) {
                replay_text_attributes(value != 0 ? nullptr
                                                  : &words[static_cast<std::size_t>(pos + 1)]);
            }
            return operands;
        }
        case kDlText:
            return text(value, false);
        case kDlTextOffset:
            return text(value, true);
        case kDlMarkers:
            return markers(value);
        case kDlDots:
            return dots(value);
        case kDlIsotropic:
            g.world.word = value;
            graphics_apply_viewport(g.viewport, value);
            return 0;
        case kDlViewportBox:
            emit_viewport_box(dc);
            return 0;
        case kDlPolyline:
            return polyline(value);
        case kDlRawHpgl:
            return raw_hpgl(value);
        case kDlLineStyle:
            g.line_style = value % 5;
            if (hpgl) hpgl_line_style(g.line_style);
            return 0;
        case kDlFillColour:
            g.fill_colour = value;
            return 0;
        default:
            return end;  // not a record this program writes: stop here
    }
}

}  // namespace

DeviceContext* graphics_replay_dc() {
    return g_replay.dc;
}

bool graphics_erasing() {
    return g_replay.erasing;
}

void display_list_replay(DeviceContext& dc, int mode) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list() || graphics_replaying()) return;
    if (mode == 1 && g->mark < 0) return;
    flush_pending_polyline();
    set_graphics_replaying(true);
    g_replay.dc = &dc;
    forget_selected_pen();

    const OwnState own = own_state(*g);
    const int start = start_state(*g, mode);
    Replay replay{dc, *g, mode, hpgl_active(), plot_surface(), g->words, g->write, start};
    while (replay.pos < replay.end && replay.word(replay.pos) != 0) {
        replay.pos += 1 + replay.record(replay.word(replay.pos));
    }
    restore_own_state(*g, own);

    g_replay.erasing = false;
    g_replay.dc = nullptr;
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

namespace {
void reset_graphics_replay() {
    g_replay.dc = nullptr;
    g_replay.erasing = false;
    std::vector<Point>().swap(g_replay.points);
}
const platform::StateReset graphics_replay_state_reset{
    "graphics/graphics_replay", reset_graphics_replay, platform::ResetLayer::graphics};
}  // namespace
