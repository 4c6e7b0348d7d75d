#include "graphics/display_list_storage.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "tables/table_names.h"

namespace {

// The words one display list may take, and the latch that keeps a list that could not grow
// from asking again (and showing its message again) until the next page or window.
struct DisplayListStorageState {
    int word_budget = 1 << 24;
    bool full_latch = false;
};

DisplayListStorageState g_storage;

}  // namespace

void set_display_list_word_budget(int words) {
    g_storage.word_budget = std::max(words, 0);
}

int display_list_grow(int n) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return -1;
    front_current_graphics_window();
    if (g->write + n < g->capacity() - 2) return 0;
    if (g_storage.full_latch) return -1;
    const int step = std::max(n, kDisplayListFirstWords);
    const long long wanted = static_cast<long long>(g->capacity()) + step;
    bool ok = wanted <= g_storage.word_budget;
    if (ok) {
        try {
            g->words.resize(static_cast<std::size_t>(wanted), 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        g_storage.full_latch = true;
        msg_box(kMsgDisplayListFull, graphics_current());
        return -1;
    }
    return 0;
}

int display_list_reserve(int n) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return -1;
    front_current_graphics_window();
    if (n + 2 < g->capacity()) return 0;
    int more = n - g->write + 2;
    if (more <= 0) more = kDisplayListFirstWords + 2;
    return display_list_grow(more);
}

void display_list_put(std::uint16_t word) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || g->write + 1 >= g->capacity()) return;
    g->words[static_cast<std::size_t>(g->write++)] = word;
}

void display_list_end() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || g->write >= g->capacity()) return;
    g->words[static_cast<std::size_t>(g->write)] = 0;
}

std::vector<std::uint16_t> display_list_words() {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return {};
    return {g->words.begin(), g->words.begin() + g->write};
}

void gfx_mark() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    flush_pending_polyline();
    g->mark = g->write;
    g->saved_viewport = g->viewport;
    g->saved_isotropic = g->world.word;
}

void gfx_rewind() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr) return;
    flush_pending_polyline();
    if (g->mark < 0 || g->mark >= g->write) return;
    platform::DeviceContext* dc = graphics_target();
    if (dc != nullptr) display_list_replay(*dc, 1);
    g->write = g->mark;
    display_list_end();
    if (dc != nullptr) display_list_replay(*dc, 2);
    update_graphics_flags();
}

void gfx_defer_drawing() {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || g->mark >= 0) return;
    set_graphics_clear_pending(true);
    set_graphics_deferred(true);
}

void clear_display_list_full_latch() {
    g_storage.full_latch = false;
}

void reset_display_list_storage() {
    g_storage = DisplayListStorageState{};
}

namespace {
const platform::StateReset display_list_storage_state_reset{
    "graphics/display_list_storage", reset_display_list_storage, platform::ResetLayer::graphics};
}  // namespace
