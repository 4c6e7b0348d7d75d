#include "graphics/graphics_window_handlers.h"

#include <cstdint>

#include "graphics/graphics_hooks.h"
#include "graphics/graphics_mouse.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "ui/graphics_text_window.h"
#include "ui/text_area.h"

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

// The pane's pick hook, the strip hooks installed at start, whether a frame's activation is
// being answered, and the windows' handlers.
struct GraphicsHandlersState {
    void (*pane_pick)(std::uint32_t point) = nullptr;
    bool activating = false;
    GraphicsStripHooks strip;
    // Without state of their own: the windows keep their addresses.
    GraphicsFrameHandler frame_handler;
    PaneHandler pane_handler;
};

GraphicsHandlersState g_handlers;

}  // namespace

platform::WindowHandler* graphics_frame_handler() {
    return &g_handlers.frame_handler;
}

platform::WindowHandler* graphics_pane_handler() {
    return &g_handlers.pane_handler;
}

void build_graphics_strip(int window) {
    if (g_handlers.strip.build != nullptr) g_handlers.strip.build(window);
}

void graphics_frame_activated(int window, bool active) {
    const int n = window - kGraphicsFirstWindow + 1;
    if (!active || n < 1 || n > 6 || g_handlers.activating || !graphics_record(n).has_list())
        return;
    if (n == graphics_current() && n == graphwin_last_opened()) return;
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->window_visible(window)) return;
    g_handlers.activating = true;
    graphwin_open(n, 0, 0, 0, 0);
    g_handlers.activating = false;
}

void graphics_frame_close_request(int window) {
    graphwin_close(window - kGraphicsFirstWindow + 1);
}

void graphics_frame_resized(int window, platform::Size size) {
    if (window == platform::kWindowGraphicsText) {
        GraphicsWindow& g = graphics_record(kGraphicsPaneRecord);
        g.width = size.width;
        g.height = size.height;
        if (graphics_current() == kGraphicsPaneRecord) graphics_apply_frames();
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
    if (g_handlers.pane_pick == nullptr || e.action != platform::MouseAction::press ||
        e.button != platform::MouseButton::left) {
        return;
    }
    g_handlers.pane_pick(static_cast<std::uint32_t>(e.position.x & 0xFFFF) |
                         (static_cast<std::uint32_t>(e.position.y & 0xFFFF) << 16));
}

void set_graphics_pane_pick(void (*pick)(std::uint32_t point)) {
    g_handlers.pane_pick = pick;
}

void set_graphics_strip_hooks(const GraphicsStripHooks& hooks) {
    g_handlers.strip = hooks;
}

void graphics_frame_command(int window, int id) {
    if (g_handlers.strip.command == nullptr) return;
    graphics_frame_activated(window, true);
    g_handlers.strip.command(window, id);
}

namespace {
// The strip hooks app/ installs at start stay, and an activation is never being answered
// while the state is reset.
void reset_pane_pick() {
    g_handlers.pane_pick = nullptr;
}

const platform::StateReset graphics_window_handlers_state_reset{
    "graphics/graphics_window_handlers", reset_pane_pick, platform::ResetLayer::graphics};
}  // namespace
