#include "graphics/graphics_sliders.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "ui/window_table.h"

using platform::Rect;

namespace {

constexpr int kPanelHeight = 44;
constexpr int kValueWidth = 96;
constexpr int kControlWindow = platform::kWindowControl;

// The control window: the sliders painted, the mouse on their bars.
class ControlHandler : public platform::WindowHandler {
public:
    void on_paint(int, platform::DeviceContext& dc) override;
    void on_mouse(int window, const platform::MouseEvent& e) override;
    bool on_close_request(int) override {
        sliders_hide();
        return false;
    }
    // A drag ends and the mouse is free again (a failed routine ends it too).
    void end_drag() {
        if (dragging_ < 0) return;
        dragging_ = -1;
        if (platform::UiBackend* ui = platform::current_ui()) ui->release_mouse();
    }
    void reset() {
        dragging_ = -1;
        set_finished = false;
    }
    // slider_layout finished the set shown: the next slider made starts a new one.
    bool set_finished = false;

private:
    int dragging_ = -1;
};
// The sliders, whether a slider's routine is running, and the control window's handler.
struct SlidersState {
    Slider sliders[kSliderCount];
    bool routine_running = false;
    ControlHandler control;
};

SlidersState g_sliders_state;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

int round_half_away(double v) {
    const double r = v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
    return static_cast<int>(std::clamp(r, -2e9, 2e9));
}

void set_range(Slider& s, int fixed_scale, double a, double b, double v) {
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(b - a)) a = 0, b = 1;
    if (!std::isfinite(v)) v = a;
    if (a > b) std::swap(a, b);
    s.scale = 1;
    s.decimals = 0;
    if (fixed_scale == 0) {
        double r = b - a;
        double m = b >= 0 ? b : -a;
        while (r < 100.1 && m < 1e8 && s.decimals < 9) {
            a *= 10, b *= 10, v *= 10, r *= 10, m *= 10, s.scale *= 10;
            ++s.decimals;
        }
        // A range too wide for a double (an overflowed difference) stops after 30 tenths.
        while (r > 65000 && s.decimals > -30) {
            a *= 0.1, b *= 0.1, v *= 0.1, r *= 0.1, m *= 0.1, s.scale *= 0.1;
            --s.decimals;
        }
        if (s.decimals < 1) s.decimals = 1;
    }
    const int lo = round_half_away(a);
    int hi = round_half_away(b);
    if (hi == lo) hi = lo + 1;
    const int value = std::clamp(round_half_away(v), lo, hi);
    s.range = hi - lo;
    s.position = value - lo;
    s.page_step = std::max(s.range / 10, 1);
    s.offset = lo;
}

void repaint_control() {
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && ui->window_exists(kControlWindow)) ui->invalidate(kControlWindow);
}

// Repaints what a slider routine drew: each marked window once.
void repaint_marked_windows() {
    const int old = graphics_current();
    for (int n = 1; n <= 9; ++n) {
        GraphicsWindow& w = graphics_record(n);
        if (!w.has_list() || (!w.clear_mark && !w.repaint_mark)) continue;
        const bool clear = w.clear_mark;
        w.clear_mark = w.repaint_mark = false;
        graphwin_select(n);
        set_graphics_deferred(false);
        if (platform::DeviceContext* dc = graphics_target()) {
            if (clear) graphwin_clear(dc);
            graphwin_repaint(*dc);
        }
    }
    graphwin_select(old);
}

}  // namespace

const Slider& slider(int index) {
    static const Slider kNone;
    return index >= 0 && index < kSliderCount ? g_sliders_state.sliders[index] : kNone;
}

std::string slider_value_text(int index) {
    const Slider& s = slider(index);
    char text[64];
    if (s.decimals > 0) {
        char format[16];
        std::snprintf(format, sizeof format, "%%.%df", s.decimals);
        std::snprintf(text, sizeof text, format, (s.offset + s.position) / s.scale);
    } else {
        std::snprintf(text, sizeof text, "%d", s.offset + s.position);
    }
    return text;
}

int slider_create(int fixed_scale, int live, int id, const char* caption, SliderRoutine routine,
                  double minimum, double maximum, double value) {
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && ui->window_exists(kControlWindow) && ui->window_visible(kControlWindow) &&
        g_sliders_state.control.set_finished) {
        sliders_hide();
    }
    int index = -1;
    for (int i = 0; i < kSliderCount; ++i) {
        if (g_sliders_state.sliders[i].id == 0) {
            index = i;
            break;
        }
    }
    if (index < 0) return kMsgSlidersInUse;
    Slider& s = g_sliders_state.sliders[index];
    s = Slider{};
    s.caption = caption != nullptr ? caption : "";
    set_range(s, fixed_scale, minimum, maximum, value);
    s.id = id != 0 ? id : -1;  // 0 marks a free record
    s.routine = routine;
    s.live = live != 0 ? 1 : 0;
    repaint_control();
    return index;
}

int slider_set_range(int id, int fixed_scale, double minimum, double maximum, double value) {
    for (Slider& s : g_sliders_state.sliders) {
        if (s.id != 0 && s.id == id) {
            set_range(s, fixed_scale, minimum, maximum, value);
            repaint_control();
            return 0;
        }
    }
    return kMsgNoSuchSlider;
}

int slider_get_value(int id, double* value) {
    for (const Slider& s : g_sliders_state.sliders) {
        if (s.id != 0 && s.id == id) {
            *value = (s.position + s.offset) / s.scale;
            return 0;
        }
    }
    return kMsgNoSuchSlider;
}

void slider_layout() {
    sliders_show();
    g_sliders_state.control.set_finished = true;
}

void sliders_show() {
    int used = 0;
    for (const Slider& s : g_sliders_state.sliders) used += s.id != 0 ? 1 : 0;
    if (used == 0) return;
    set_control_window_handler(&g_sliders_state.control);
    if (create_control_window() != 0) return;
    platform::UiBackend* ui = ui_or_null();
    const int height = used * kPanelHeight;
    WindowRecord& rec = window_record(kControlWindow);
    rec.min_height = rec.max_height = height + kCaptionHeight + 2 * kSizingBorder;
    int x = 0, y = 0, w = 0, h = 0;
    get_window_placement(kControlWindow, &x, &y, &w, &h);
    w = w > 0 ? w : 400;
    set_window_placement(kControlWindow, x, y, w, height);
    ui->set_size_limits(kControlWindow, {rec.min_width, rec.min_height},
                        {rec.max_width, rec.max_height});
    ui->show_window(kControlWindow, true);
    // Placed once shown and as tall as its sliders. A window system may place the inside of
    // a new window where it was asked: kept a caption's height down, its title bar stays on
    // the screen either way.
    const int top = std::max(y, kCaptionHeight + 2 * kSizingBorder);
    ui->set_window_rect(kControlWindow,
                        placement_on_screen(x, top, w, rec.min_height, ui->screen_size()));
    ui->invalidate(kControlWindow);
    update_graphics_flags();
}

void sliders_remove() {
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && ui->window_exists(kControlWindow)) ui->show_window(kControlWindow, false);
    for (Slider& s : g_sliders_state.sliders) s = Slider{};
    g_sliders_state.control.end_drag();
    g_sliders_state.control.set_finished = false;
    update_graphics_flags();
}

void sliders_hide() {
    sliders_remove();
}

void slider_scroll(int index, int code, int thumb) {
    if (g_sliders_state.routine_running || index < 0 || index >= kSliderCount) return;
    Slider& s = g_sliders_state.sliders[index];
    if (s.id == 0) return;
    int p = s.position;
    switch (code) {
        case 0:
            p = std::max(p - 1, 0);
            break;
        case 1:
            p = std::min(p + 1, s.range);
            break;
        case 2:
            p = std::max(p - s.page_step, 0);
            break;
        case 3:
            p = std::min(p + s.page_step, s.range);
            break;
        case 4:
        case 5:
            p = std::clamp(thumb, 0, s.range);
            break;
        default:
            return;
    }
    if (code == 5 && s.live == 0) return;
    if (p == s.position) return;
    g_sliders_state.routine_running = true;
    set_slider_routine_running(true);
    const int last_opened = graphwin_last_opened();
    s.position = p;
    const double value = (s.offset + p) / s.scale;
    for (int n = 1; n <= 9; ++n)
        graphics_record(n).clear_mark = graphics_record(n).repaint_mark = false;
    if (GraphicsWindow* current = graphics_current_record()) {
        if (current->mark < 0) {
            set_graphics_deferred(true);
            current->repaint_mark = true;
        }
    }
    const int result = s.routine != nullptr ? s.routine(index, s.id, value) : 0;
    flush_pending_polyline();
    set_slider_routine_running(false);
    repaint_marked_windows();
    set_graphwin_last_opened(last_opened);
    set_graphics_deferred(false);
    repaint_control();
    if (result != 0) {
        // Shown once: the drag ends before the message, whose box takes the mouse.
        g_sliders_state.control.end_drag();
        show_error(result);
    }
    g_sliders_state.routine_running = false;
}

Rect slider_bar_rect(int index, int client_width) {
    int row = 0;
    for (int i = 0; i < index && i < kSliderCount; ++i)
        row += g_sliders_state.sliders[i].id != 0 ? 1 : 0;
    const int top = row * kPanelHeight + 22;
    return {6, top, std::max(client_width - kValueWidth - 6, 60), top + 14};
}

void ControlHandler::on_paint(int, platform::DeviceContext& dc) {
    const platform::Size size = dc.size();
    const platform::Colour face{212, 208, 200}, dark{64, 64, 64}, text{0, 0, 0};
    dc.fill_rect({0, 0, size.width, size.height}, face);
    dc.set_text_colour(text);
    for (int i = 0; i < kSliderCount; ++i) {
        const Slider& s = g_sliders_state.sliders[i];
        if (s.id == 0) continue;
        const Rect bar = slider_bar_rect(i, size.width);
        dc.text_out({6, bar.top - 20}, s.caption);
        dc.fill_rect(bar, {255, 255, 255});
        dc.set_pen(dark, platform::LineStyle::solid, 1);
        const platform::Point outline[5] = {{bar.left, bar.top},
                                            {bar.right - 1, bar.top},
                                            {bar.right - 1, bar.bottom - 1},
                                            {bar.left, bar.bottom - 1},
                                            {bar.left, bar.top}};
        dc.polyline(outline);
        const int span = bar.right - bar.left - 10;
        const int x = bar.left + (s.range > 0 ? span * s.position / s.range : 0);
        dc.fill_rect({x, bar.top + 1, x + 10, bar.bottom - 1}, dark);
        dc.text_out({bar.right + 8, bar.top - 1}, slider_value_text(i));
    }
}

void ControlHandler::on_mouse(int window, const platform::MouseEvent& e) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    platform::DeviceContext* dc = ui->device_context(window);
    const int width = dc != nullptr ? dc->size().width : 400;
    auto position_at = [&](int i, int x) {
        const Rect bar = slider_bar_rect(i, width);
        const int span = std::max(bar.right - bar.left - 10, 1);
        return (x - bar.left - 5) * g_sliders_state.sliders[i].range / span;
    };
    if (e.action == platform::MouseAction::move) {
        if (dragging_ >= 0) slider_scroll(dragging_, 5, position_at(dragging_, e.position.x));
        return;
    }
    if (e.action == platform::MouseAction::release) {
        if (dragging_ >= 0) slider_scroll(dragging_, 4, position_at(dragging_, e.position.x));
        dragging_ = -1;
        ui->release_mouse();
        return;
    }
    if (e.button != platform::MouseButton::left) return;
    for (int i = 0; i < kSliderCount; ++i) {
        if (g_sliders_state.sliders[i].id == 0) continue;
        const Rect bar = slider_bar_rect(i, width);
        if (e.position.y < bar.top || e.position.y >= bar.bottom || e.position.x < bar.left ||
            e.position.x >= bar.right) {
            continue;
        }
        const int span = bar.right - bar.left - 10;
        const int thumb = bar.left + (g_sliders_state.sliders[i].range > 0
                                          ? span * g_sliders_state.sliders[i].position /
                                                g_sliders_state.sliders[i].range
                                          : 0);
        if (e.position.x < thumb) {
            slider_scroll(i, 2, 0);
        } else if (e.position.x >= thumb + 10) {
            slider_scroll(i, 3, 0);
        } else {
            dragging_ = i;
            ui->capture_mouse(window);
        }
        return;
    }
}

void reset_sliders() {
    for (Slider& s : g_sliders_state.sliders) s = Slider{};
    g_sliders_state.routine_running = false;
    g_sliders_state.control.reset();
}

namespace {
const platform::StateReset graphics_sliders_state_reset{"graphics/graphics_sliders", reset_sliders,
                                                        platform::ResetLayer::graphics};
}  // namespace
