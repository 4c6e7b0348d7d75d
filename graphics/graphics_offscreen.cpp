#include "graphics/graphics_offscreen.h"

#include <algorithm>
#include <memory>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_raster.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"

namespace {

// The off-screen picture a graphics window record is drawn into.
struct OffscreenState {
    // The backend's own off-screen picture where it has one (it draws exactly as the window does),
    // else an indexed raster of ours copied pixel for pixel.
    std::unique_ptr<platform::DeviceContext> picture;
    IndexedRaster* raster = nullptr;  // picture when it is ours
    int picture_record = 0;
};

OffscreenState g_offscreen;

int window_of_record(int n) {
    return n == kGraphicsPaneRecord ? platform::kWindowGraphicsText : n + kGraphicsFirstWindow - 1;
}

void make_picture(const GraphicsWindow& g) {
    const platform::Size size{std::max(g.width, 1), std::max(g.height, 1)};
    g_offscreen.raster = nullptr;
    if (platform::UiBackend* ui = platform::current_ui())
        g_offscreen.picture = ui->create_offscreen(size);
    if (g_offscreen.picture == nullptr) {
        auto raster = std::make_unique<IndexedRaster>(size.width, size.height);
        g_offscreen.raster = raster.get();
        g_offscreen.picture = std::move(raster);
    }
}

void copy_to_window(int window) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return;
    if (g_offscreen.raster == nullptr) {
        ui->copy_offscreen(window, {0, 0}, *g_offscreen.picture);
        return;
    }
    platform::SplashPicture picture;
    picture.width = g_offscreen.raster->width();
    picture.height = g_offscreen.raster->height();
    picture.pixels.reserve(g_offscreen.raster->pixels().size());
    for (std::uint8_t index : g_offscreen.raster->pixels())
        picture.pixels.push_back(graphics_colour(index));
    ui->copy_picture(window, {0, 0}, picture);
}

}  // namespace

platform::DeviceContext* graphics_offscreen_dc(int n) {
    return g_offscreen.picture != nullptr && n == g_offscreen.picture_record
               ? g_offscreen.picture.get()
               : nullptr;
}

void release_graphics_offscreen(int n) {
    if (g_offscreen.picture == nullptr || (n != 0 && n != g_offscreen.picture_record)) return;
    const int record = g_offscreen.picture_record;
    g_offscreen.picture.reset();
    g_offscreen.raster = nullptr;
    g_offscreen.picture_record = 0;
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
        g_offscreen.picture_record = n;
        set_graphics_target(g_offscreen.picture.get());
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
    const platform::Size size = g_offscreen.picture->size();
    if (size.width != std::max(g->width, 1) || size.height != std::max(g->height, 1)) {
        make_picture(*g);  // the window was resized since
        set_graphics_target(g_offscreen.picture.get());
    }
    set_graphics_clear_pending(false);
    graphwin_clear(g_offscreen.picture.get());
    display_list_replay(*g_offscreen.picture, 0);
    update_graphics_flags();
    copy_to_window(window_of_record(n));
}

namespace {
// The drawing target that may point at the picture is put back by the graphics windows' own
// reset, which runs after this one.
void reset_graphics_offscreen() {
    g_offscreen.picture.reset();
    g_offscreen.raster = nullptr;
    g_offscreen.picture_record = 0;
}
const platform::StateReset graphics_offscreen_state_reset{
    "graphics/graphics_offscreen", reset_graphics_offscreen, platform::ResetLayer::graphics};
}  // namespace
