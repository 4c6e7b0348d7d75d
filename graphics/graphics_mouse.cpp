#include "graphics/graphics_mouse.h"

#include <algorithm>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"

using platform::MouseAction;
using platform::MouseButton;
using platform::Point;

namespace {

// The button of a pending press.
enum PressKind : int { kPressNone = 0, kPressLeft = 1, kPressOther = 3 };  // other: right, middle

struct ClickState {
    int kind = kPressNone;  // PressKind
    int window = 0;
    Point press;
    Point release;
    std::int64_t press_time = 0;
    bool drag = false;
    bool timer_running = false;
    int timer_window = 0;
    bool waiting = false;
    bool wait_released = false;
    // Whether a prompt waits for a click, asked through the hook installed at start.
    bool (*prompt_waiting)() = nullptr;
} g;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

int window_number(int graphics) {
    return graphics + kGraphicsFirstWindow - 1;
}

void kill_timer() {
    if (g.timer_running) {
        if (platform::UiBackend* ui = ui_or_null())
            ui->kill_timer(window_number(g.timer_window), kClickTimer);
    }
    g.timer_running = false;
}

// The point as fractions of the whole (unzoomed) picture; false outside the drawing area.
bool view_fractions(const GraphicsWindow& w, Point p, double* fx, double* fy) {
    if (w.width <= 0 || w.height <= 0) return false;
    const PageRect page = graphics_page_rect(w);
    if (page.width <= 0 || page.height <= 0) return false;
    const double x = (p.x - page.left) / page.width;
    const double y = (p.y - page.top) / page.height;
    if (x < 0 || x > 1 || y < 0 || y > 1) return false;
    const double s = w.zoom * 0.001;
    const double a = std::clamp(w.zoom_centre_x * s * 0.0001 - 0.5, 0.0, s - 1);
    const double b = std::clamp(w.zoom_centre_y * s * 0.0001 - 0.5, 0.0, s - 1);
    *fx = (a + x) / s;
    *fy = (b + y) / s;
    return true;
}

void complete_click() {
    kill_timer();
    const int n = g.window;
    const bool drag = g.drag;
    g.kind = kPressNone;
    if (n < 1 || n > 9) return;
    const int old = graphics_current();
    if (old != n) graphwin_select(n);
    GraphicsWindow& w = graphics_record(n);
    double fx = 0, fy = 0;
    if (view_fractions(w, g.release, &fx, &fy)) {
        if (drag) {
            gfx_zoom(1.0, fx, 1 - fy);
        } else if (w.mouse_callback != nullptr && w.has_list() && w.write > 0) {
            // The world points under the pixels, through the mapping in force (zoom included).
            double rx = 0, ry = 0, px = 0, py = 0;
            gfx_device_to_world(g.release.x, g.release.y, &rx, &ry);
            gfx_device_to_world(g.press.x, g.press.y, &px, &py);
            const int result = w.mouse_callback(px, py, rx, ry);
            if (result != 0) show_error(result);
        }
    }
    if (old != n && old >= 1) graphwin_select(old);
}

void double_click(int n, unsigned modifiers) {
    kill_timer();
    g.press_time = 0;
    const int kind = g.kind;
    g.kind = kPressNone;
    const int old = graphics_current();
    if (old != n) graphwin_select(n);
    if (kind == kPressOther) {
        const bool out = (modifiers & (platform::modifier_shift | platform::modifier_control)) != 0;
        gfx_zoom(out ? 0.5 : 2.0, -1, -1);
    } else if (kind == kPressLeft) {
        const char* text = graphics_command_text(n);
        if (text != nullptr && text[0] != 0) {
            const int result = run_graphics_window_text(n);
            if (result != 0) show_error(result);
        } else {
            gfx_zoom(0, -1, -1);
        }
    }
    if (old != n && old >= 1 && graphics_current() == n) graphwin_select(old);
}

}  // namespace

void set_prompt_waiting_query(bool (*query)()) {
    g.prompt_waiting = query;
}

void mouse_button_event(int n, const platform::MouseEvent& e) {
    if (n < 1 || n > 6 || e.action == MouseAction::move) return;
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    const int kind = e.button == MouseButton::left   ? kPressLeft
                     : e.button == MouseButton::none ? kPressNone
                                                     : kPressOther;
    if (kind == kPressNone) return;
    if (g.waiting && kind != kPressLeft) return;
    if (!g.waiting && kind == kPressLeft && g.prompt_waiting != nullptr && g.prompt_waiting())
        return;
    const bool press = e.action == MouseAction::press || e.action == MouseAction::double_click;
    if (press) {
        if (g.timer_running) {
            if (kind == g.kind && n == g.window) double_click(n, e.modifiers);
            return;
        }
        if (n != graphwin_last_opened()) return;
        g.press_time = ui->event_time_ms();
        g.press = e.position;
        g.window = n;
        g.kind = g.waiting ? kPressLeft : kind;
        ui->capture_mouse(window_number(n));
        ui->set_cursor(platform::UiBackend::Cursor::cross);
        ui->activate_window(window_number(n));
        return;
    }
    // A release of the pending kind.
    if (g.kind == kPressNone || kind != g.kind || n != g.window) return;
    g.release = e.position;
    g.drag = g.waiting || g.kind == kPressOther;
    ui->release_mouse();
    ui->set_cursor(platform::UiBackend::Cursor::arrow);
    if (g.waiting) {
        g.wait_released = true;
        complete_click();
        return;
    }
    const std::int64_t rest = ui->double_click_ms() + g.press_time - ui->event_time_ms();
    if (rest >= 10 && ui->set_timer(window_number(n), kClickTimer, static_cast<int>(rest)) == 0) {
        g.timer_running = true;
        g.timer_window = n;
        return;
    }
    complete_click();
}

void mouse_click_timer(int n) {
    if (!g.timer_running || n != g.timer_window) return;
    complete_click();
}

int cmd_graphics_wait_click() {
    platform::UiBackend* ui = ui_or_null();
    const int n = graphwin_last_opened();
    if (ui == nullptr || n < 1 || n > 6 || !ui->window_exists(window_number(n))) return 0;
    ui->capture_mouse(window_number(n));
    ui->set_cursor(platform::UiBackend::Cursor::cross);
    g.waiting = true;
    g.wait_released = false;
    // The loop ends after the release, or when no click can come any more.
    while (!g.wait_released && ui->wait_for_pointer_event()) {
    }
    g.waiting = false;
    ui->release_mouse();
    ui->set_cursor(platform::UiBackend::Cursor::arrow);
    return 0;
}

// The prompt hook installed at start stays.
void reset_mouse_tracking() {
    const auto prompt_waiting = g.prompt_waiting;
    g = ClickState{};
    g.prompt_waiting = prompt_waiting;
}

namespace {
const platform::StateReset graphics_mouse_state_reset{
    "graphics/graphics_mouse", reset_mouse_tracking, platform::ResetLayer::graphics};
}  // namespace
