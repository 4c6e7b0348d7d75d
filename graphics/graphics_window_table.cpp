#include "graphics/graphics_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "graphics/display_list_storage.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_hooks.h"
#include "graphics/graphics_mapping.h"
#include "graphics/graphics_mouse.h"
#include "graphics/graphics_offscreen.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_sliders.h"
#include "graphics/graphics_window_handlers.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"
#include "ui/graphics_text_window.h"
#include "ui/window_table.h"

namespace {

// The graphics windows' records and the current one, the last opened, the program-wide pen, and
// the replay, deferral and slider marks.
struct GraphicsWindowsState {
    GraphicsWindow records[kGraphicsRecords + 1];
    GraphicsWindow scratch;
    int current = 0;
    int last_opened = 0;
    int pen_colour = 1;
    bool replaying = false;
    bool deferred = false;
    bool clear_pending = false;
    bool slider_running = false;
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
    if (ui->create_window(window, rec.title[0] != 0 ? rec.title : " ", graphics_frame_handler()) !=
        0) {
        return -1;
    }
    ui->show_window(window, false);
    build_graphics_strip(window);
    const int n = window - kGraphicsFirstWindow + 1;
    platform::Size size{640, 400};
    if (platform::DeviceContext* dc = ui->device_context(window)) size = dc->size();
    graphwin_init_record(n, size.width, size.height);
    return 0;
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
    clear_display_list_full_latch();
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
    clear_display_list_full_latch();
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

void front_current_graphics_window() {
    const int n = graphics_current();
    if (g_graphics.slider_running || n < 1 || n == kGraphicsPaneRecord) return;
    platform::UiBackend* ui = ui_or_null();
    const int w = n + kGraphicsFirstWindow - 1;
    if (ui == nullptr || ui->active_window() == w || !frame_shown(n)) return;
    ui->activate_window(w);
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

void graphwin_set_mouse_callback(int (*fn)(double, double, double, double)) {
    if (g_graphics.last_opened >= 1 && g_graphics.last_opened <= 9)
        g_graphics.records[g_graphics.last_opened].mouse_callback = fn;
}

int create_graphics_text_window(void (*pick)(std::uint32_t point)) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return -1;
    if (pick != nullptr) set_graphics_pane_pick(pick);
    constexpr int w = platform::kWindowGraphicsText;
    if (!ui->window_exists(w)) {
        if (ui->create_window(w, " ", graphics_pane_handler()) != 0) return -1;
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

void reset_graphics_windows() {
    clear_window16_label();
    // The strip hooks installed at start stay.
    set_graphics_pane_pick(nullptr);
    release_graphics_offscreen(0);
    g_graphics = GraphicsWindowsState{};
    reset_graphics_mapping();
    reset_display_list_storage();
    set_graphics_target(nullptr);
    reset_draw_primitives();
    reset_mouse_tracking();
    reset_graphics_file_types();
    reset_sliders();
}

namespace {
const platform::StateReset graphics_window_table_state_reset{
    "graphics/graphics_window_table", reset_graphics_windows, platform::ResetLayer::graphics};
}  // namespace