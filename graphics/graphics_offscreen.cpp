#include "graphics/graphics_offscreen.h"

#include <algorithm>
#include <memory>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_raster.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"

namespace {

// The backend's own off-screen picture where it has one (it draws exactly as the window does),
// else an indexed raster of ours copied pixel for pixel.
std::unique_ptr<platform::DeviceContext> g_picture;
IndexedRaster* g_raster = nullptr;  // g_picture when it is ours
int g_picture_record = 0;

int window_of_record(int n) {
    return n == kGraphicsPaneRecord ? platform::kWindowGraphicsText : n + kGraphicsFirstWindow - 1;
}

void make_picture(const GraphicsWindow& g) {
    const platform::Size size{std::max(g.width, 1), std::max(g.height, 1)};
    g_raster = nullptr;
    if (platform::UiBackend* ui = platform::current_ui()) g_picture = ui->create_offscreen(size);
    if (g_picture == nullptr) {
        auto raster = std::make_unique<IndexedRaster>(size.width, size.height);
        g_raster = raster.get();
        g_picture = std::move(raster);
    }
}

void copy_to_window(int window) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return;
    if (g_raster == nullptr) {
        ui->copy_offscreen(window, {0, 0}, *g_picture);
        return;
    }
    platform::SplashPicture picture;
    picture.width = g_raster->width();
    picture.height = g_raster->height();
    picture.pixels.reserve(g_raster->pixels().size());
    for (std::uint8_t index : g_raster->pixels()) picture.pixels.push_back(graphics_colour(index));
    ui->copy_picture(window, {0, 0}, picture);
}

}  // namespace

platform::DeviceContext* graphics_offscreen_dc(int n) {
    return g_picture != nullptr && n == g_picture_record ? g_picture.get() : nullptr;
}

void release_graphics_offscreen(int n) {
    if (g_picture == nullptr || (n != 0 && n != g_picture_record)) return;
    const int record = g_picture_record;
    g_picture.reset();
    g_raster = nullptr;
    g_picture_record = 0;
    // Drawing goes back onto the window itself.
    if (record == graphics_current()) set_graphics_target(graphics_device_context(record));
}

void graphwin_offscreen(int mode) {
    const int n = graphics_current();
    GraphicsWindow* g = graphics_current_record();
    if (mode < 0) {
        release_graphics_offscreen(0);
        return;
    }
    if (g == nullptr) return;
    if (mode > 0) {
        release_graphics_offscreen(0);
        make_picture(*g);
        g_picture_record = n;
        set_graphics_target(g_picture.get());
        // A new page whose clearing waits for the first copy.
        const bool deferred = graphics_deferred();
        set_graphics_clear_pending(true);
        graphwin_new_page(0);
        set_graphics_clear_pending(false);
        set_graphics_deferred(deferred);
        return;
    }
    flush_pending_polyline();
    platform::DeviceContext* target = graphics_offscreen_dc(n);
    if (target == nullptr) {
        target = graphics_target();
        if (target == nullptr) return;
        set_graphics_clear_pending(false);
        graphwin_clear(target);
        display_list_replay(*target, 0);
        update_graphics_flags();
        return;
    }
    const platform::Size size = g_picture->size();
    if (size.width != std::max(g->width, 1) || size.height != std::max(g->height, 1)) {
        make_picture(*g);  // the window was resized since
        set_graphics_target(g_picture.get());
    }
    set_graphics_clear_pending(false);
    graphwin_clear(g_picture.get());
    display_list_replay(*g_picture, 0);
    update_graphics_flags();
    copy_to_window(window_of_record(n));
}

namespace {
// The drawing target that may point at the picture is put back by the graphics windows' own
// reset, which runs after this one.
void reset_graphics_offscreen() {
    g_picture.reset();
    g_raster = nullptr;
    g_picture_record = 0;
}
const platform::StateReset graphics_offscreen_state_reset{
    "graphics/graphics_offscreen", reset_graphics_offscreen, platform::ResetLayer::graphics};
}  // namespace
