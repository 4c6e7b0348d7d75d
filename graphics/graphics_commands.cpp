#include "graphics/graphics_commands.h"

#include <strings.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_mouse.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_sliders.h"
#include "graphics/graphics_snapshot.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/command_text.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_help.h"
#include "runtime/text_output.h"
#include "runtime/window_services.h"
#include "ui/window_table.h"

namespace {

const char* cell_text(int i) {
    const ArgCell* c = arg_cell(i);
    if (c == nullptr || c->type != kArgChar || c->text_length == 0 || c->value.text == nullptr) {
        return "";
    }
    return c->value.text;
}

// A double array argument with at least n elements, or null.
const double* double_array(int i, int n) {
    const ArgShape* s = arg_shape(i);
    const ArgCell* c = arg_cell(i);
    if (s == nullptr || c == nullptr || s->type != kArgDouble || s->dim1 <= 0 ||
        c->value.text == nullptr) {
        return nullptr;
    }
    const long count = static_cast<long>(s->dim1) * (s->dim2 > 0 ? s->dim2 : 1);
    return count >= n ? reinterpret_cast<const double*>(c->value.text) : nullptr;
}

void bring_to_front(int window) {
    if (window > 0 && window_services().activate_window != nullptr) {
        window_services().activate_window(window);
    }
}

// Runs a window's stored text (or a given one) with its output numbers kept and state flag 7
// set, so that the new page the text starts keeps the text.
int run_window_text(int n, const char* text) {
    if (text == nullptr || text[0] == 0) {
        clear_state_flag(kFlagOutputHeldBack);
        output_rows_mark(1);
        return 0;
    }
    if (n > 0) {
        const int opened = graphwin_open(n, 0, 0, 0, 0);
        if (opened < 0) return opened;
        set_state_flag(kFlagOutputHeldBack);
        bring_to_front(opened);
    } else {
        set_state_flag(kFlagOutputHeldBack);
    }
    output_rows_mark(0);
    // The text may replace itself while it runs: run a copy.
    char copy[kGraphicsTextSize];
    std::strncpy(copy, text, sizeof copy - 1);
    copy[sizeof copy - 1] = 0;
    const int result = run_command_string(copy, 0);
    clear_state_flag(kFlagOutputHeldBack);
    output_rows_mark(1);
    return result;
}

// A character size in character units as the viewport's code in tenths (0: the default).
std::int32_t size_code(double size) {
    if (!std::isfinite(size)) return 0;
    return static_cast<std::int32_t>(std::clamp(size, 0.0, 25.0) * 10 + 0.5);
}

constexpr int kRoutineNameSize = 16;

// Routine names of the command language, one per graphics window (clicks) and one per slider,
// and the latch of the window title.
struct GraphicsCommandsState {
    char mouse_routines[10][kRoutineNameSize] = {};
    char slider_routines[kSliderCount][kRoutineNameSize] = {};
    bool title_latch = false;
};

GraphicsCommandsState g_graphics_commands;

int store_routine_name(char* target, const char* name) {
    if (std::strlen(name) > kRoutineNameSize - 1) {
        return set_error_msg(kMsgRoutineNameTooLong, name, kRoutineNameSize - 1);
    }
    std::strcpy(target, name);
    return 0;
}

}  // namespace

int slider_moved(int index, int id, double value) {
    if (index < 0 || index >= kSliderCount || g_graphics_commands.slider_routines[index][0] == 0)
        return 0;
    char line[96];
    std::snprintf(line, sizeof line, "%s %d %12.5e", g_graphics_commands.slider_routines[index], id,
                  value);
    return run_command_string(line, 0);
}

int mouse_dragged(double x0, double y0, double x1, double y1) {
    const int n = graphics_current();
    if (n < 1 || n > 9 || g_graphics_commands.mouse_routines[n][0] == 0) return 0;
    char line[128];
    std::snprintf(line, sizeof line, "%s %12.5e %12.5e %12.5e %12.5e",
                  g_graphics_commands.mouse_routines[n], x0, y0, x1, y1);
    return run_command_string(line, 0);
}

bool graphics_title_latch() {
    return g_graphics_commands.title_latch;
}

void clear_graphics_title_latch() {
    g_graphics_commands.title_latch = false;
}

void graphics_level_text(const char* text, const char* command) {
    const int n = graphics_current();
    if (n < 1 || n > 9 || text == nullptr || command == nullptr) return;
    std::string stored = std::string(text) + " " + command;
    if (const char* extra = ctable_find_text(94, 93); extra != nullptr && extra[0] != 0) {
        const std::string joined = stored + "; " + extra;
        if (joined.size() < 238) stored = joined;
    }
    if (set_graphics_command_text(n, stored.c_str()) != 0) {
        show_error(kErrorTextReady);
        return;
    }
    if (const char* title = ctable_find_text(94, 91); title != nullptr && title[0] != 0) {
        graphwin_set_title(title);
        g_graphics_commands.title_latch = true;
    }
}

int run_graphics_window_text(int n) {
    return run_window_text(n, graphics_command_text(n));
}

const char* graphics_command_text(int n) {
    if (n < 1 || n > 9) return nullptr;
    return graphics_record(n).command_text;
}

void keep_page_command(int n) {
    if (n < 1 || n > 9 || test_state_flag(kFlagOutputHeldBack) || handler_depth() != 1) return;
    const LineRunnerHooks& hooks = line_runner_hooks();
    // A typed line runs as the command language's first level; a procedure it calls, deeper.
    if (hooks.kpl_depth != nullptr && hooks.kpl_depth() > 2) return;
    // A page the user asks for by name is an empty page, not a drawing to repeat.
    if (current_command() == kCmdNewPage || current_command() == kCmdNewPageUntitled) return;
    char* stored = graphics_record(n).command_text;
    if (stored[0] != 0) return;
    std::string text;
    if (format_command_text(text, 0) < 0 || text.size() > kGraphicsTextSize - 1) return;
    std::strcpy(stored, text.c_str());
}

int set_graphics_command_text(int n, const char* text) {
    if (n < 1 || n > 9 || text == nullptr) return 0;
    if (std::strlen(text) > kGraphicsTextSize - 1) {
        return set_error_msg(kMsgGraphicsTextTooLong, kGraphicsTextSize - 1);
    }
    char* stored = graphics_record(n).command_text;
    std::strcpy(stored, text);
    if (strcasecmp(stored, "off") == 0) stored[0] = 0;
    if (stored[0] == 0) window_record(n + kGraphicsFirstWindow - 1).title[0] = 0;
    graphwin_refresh_caption(n);
    return 0;
}

int cmd_graphics_window() {
    switch (current_command()) {
        case kCmdGraphicsMark:
            gfx_mark();
            break;
        case kCmdGraphicsRewind:
            gfx_rewind();
            break;
        case kCmdViewportBox:
            gfx_frame_box();
            break;
        case kCmdGraphicsRefresh:
            graphwin_refresh(0);
            break;
        case kCmdPen:
            gfx_set_color(arg_int(0));
            break;
        case kCmdLineStyle:
            gfx_set_line_style(arg_int(0));
            break;
        case kCmdMarker:
            gfx_marker(arg_int(0), arg_double(1));
            break;
        case kCmdNewPage:
            if (test_state_flag(kFlagGraphicsDeviceReady)) graphwin_new_page(0);
            break;
        case kCmdNewPageUntitled:
            if (test_state_flag(kFlagGraphicsDeviceReady)) graphwin_new_page(1);
            break;
        case kCmdMouseRoutine: {
            const int n = graphwin_last_opened();
            if (n < 1 || n > 9) break;
            if (const int r =
                    store_routine_name(g_graphics_commands.mouse_routines[n], cell_text(0));
                r != 0)
                return r;
            graphwin_set_mouse_callback(
                g_graphics_commands.mouse_routines[n][0] != 0 ? mouse_dragged : nullptr);
            break;
        }
        case kCmdSlider: {
            char name[kRoutineNameSize];
            if (const int r = store_routine_name(name, cell_text(4)); r != 0) return r;
            const int index =
                slider_create(arg_int(1), arg_int(2), arg_int(0), cell_text(3), slider_moved,
                              arg_double(5), arg_double(6), arg_double(7));
            if (index < 0) return index;
            std::strcpy(g_graphics_commands.slider_routines[index], name);
            // The slider shows as soon as it is made; slider_layout closes the set.
            sliders_show();
            break;
        }
        case kCmdSliderRange: {
            const int r = slider_set_range(arg_int(0), arg_int(1), arg_double(2), arg_double(3),
                                           arg_double(4));
            if (r != 0) return r;
            break;
        }
        case kCmdSliderLayout:
            slider_layout();
            break;
        case kCmdSlidersHide:
            sliders_hide();
            break;
        case kCmdSliderValue: {
            double value = 0;
            const int r = slider_get_value(arg_int(0), &value);
            if (r != 0) return r;
            set_double_result(value);
            break;
        }
        case kCmdGraphwinClose: {
            const int n = arg_int(0) != 0 ? arg_int(0) : graphics_current();
            if (graphwin_close(arg_int(0)) == kMsgGraphwinLastStays) {
                msg_box(kMsgGraphwinLastStays, n);
            }
            break;
        }
        case kCmdGraphwinOpen: {
            const int r = graphwin_open(arg_int(0), arg_int(3), arg_int(4), arg_int(1), arg_int(2));
            if (r < 0) return r;
            bring_to_front(r);
            break;
        }
        case kCmdGraphwinTitle:
            graphwin_set_title(cell_text(0));
            break;
        default:
            break;
    }
    update_graphics_flags();
    return 0;
}

int cmd_output_file() {
    switch (current_command()) {
        case kCmdHpglFile:
            return cmd_hpgl_file();
        case kCmdSheetPicture:
            return save_window_bitmap(arg_int(0));
        case kCmdTextwinTitle:
            textwin_set_title(cell_text(0));
            break;
        case kCmdOnErrorLine: {
            OnErrorLine& line = on_error_line();
            std::strncpy(line.line, cell_text(0), kOnErrorLineSize - 1);
            line.line[kOnErrorLineSize - 1] = 0;
            break;
        }
        default:
            break;
    }
    return 0;
}

int cmd_text_settings() {
    switch (current_command()) {
        case kCmdTextAngle:
            gfx_set_text_slant(arg_int(0), arg_int(1));
            break;
        case kCmdTextAnchor:
            gfx_set_text_anchor(arg_int(0), text_settings().angle);
            break;
        case kCmdTextSize:
            gfx_set_text_size(arg_double(0), text_settings().pitch - 10,
                              text_settings().line_pitch - 20);
            break;
        case kCmdTextPitch:
            gfx_set_text_size(text_settings().size / 10.0, arg_double(0), arg_double(1));
            break;
        default:
            break;
    }
    return 0;
}

int cmd_graphics_draw() {
    const double x = arg_double(0), y = arg_double(1);
    if (current_command() >= kCmdDrawRel && current_command() <= kCmdMoveTo &&
        (!std::isfinite(x) || !std::isfinite(y))) {
        return 0;
    }
    switch (current_command()) {
        case kCmdDrawRel:
            gfx_draw_rel(x, y);
            break;
        case kCmdDrawTo:
            gfx_draw_to(x, y);
            break;
        case kCmdMoveRel:
            gfx_move_rel(x, y);
            break;
        case kCmdMoveTo:
            gfx_move_to(x, y);
            break;
        case kCmdViewport: {
            FrameBox f{arg_double(0), arg_double(1), arg_double(2), arg_double(3),
                       size_code(arg_double(4))};
            gfx_frame(1, 1, &f);
            break;
        }
        case kCmdWorldFrame: {
            FrameBox f{arg_double(1), arg_double(2), arg_double(3), arg_double(4), arg_int(0)};
            gfx_frame(1, 2, &f);
            break;
        }
        default:
            break;
    }
    update_graphics_flags();
    return 0;
}

int cmd_polyline() {
    const int n = arg_int(2);
    if (n < 1) return 0;
    const double* x = double_array(0, n);
    const double* y = double_array(1, n);
    if (x == nullptr || y == nullptr) return set_error_msg(kMsgGraphicsArrays, n);
    switch (current_command()) {
        case kCmdPolyline:
            gfx_polyline(x, y, n, arg_int(3));
            break;
        case kCmdPolylineRel:
            gfx_polyline_rel(x, y, n, arg_int(3));
            break;
        case kCmdPolylineClipped:
            gfx_polyline_clipped(x, y, n);
            break;
        case kCmdPolymarker:
            gfx_polymarker(x, y, n, arg_int(3), arg_double(4));
            break;
        default:
            break;
    }
    update_graphics_flags();
    return 0;
}

int cmd_graphics_title() {
    switch (current_command()) {
        case kCmdGwx: {
            int n = arg_int(0);
            if (n == 0)
                n = graphics_current() >= 1 && graphics_current() <= 9 ? graphics_current() : 1;
            if (n < 1 || n > 9) return 0;
            const int stored = set_graphics_command_text(n, cell_text(1));
            if (stored != 0) return stored;
            return run_window_text(n, graphics_command_text(n));
        }
        case kCmdGraphwinUpdate: {
            int n = arg_int(0);
            if (n == 0)
                n = graphics_current() >= 1 && graphics_current() <= 9 ? graphics_current() : 1;
            if (n < 1 || n > 9) return 0;
            return run_window_text(n, graphics_command_text(n));
        }
        case kCmdGraphwinRun:
            return run_window_text(0, cell_text(0));
        default:
            return 0;
    }
}

void graphics_setting_changed(int setting_id) {
    if (setting_id == 17) {
        gfx_set_output_scale(get_setting_int(17, 0, 0));
        return;
    }
    if (setting_id != 15) return;
    std::int32_t sequence[256] = {};
    for (int i = 0; i < 256; ++i) sequence[i] = get_setting_int(15, i, 0);
    gfx_set_color_cycle(sequence[0] != 0 ? sequence : nullptr);
}

int cmd_graphics_zoom() {
    gfx_zoom(arg_double(0), arg_double(1), arg_double(2));
    return 0;
}

void install_graphics_commands() {
    set_handler(kSlotGraphicsWindow, cmd_graphics_window);
    set_handler(kSlotOutputFile, cmd_output_file);
    set_handler(kSlotTextSettings, cmd_text_settings);
    set_handler(kSlotGraphicsDraw, cmd_graphics_draw);
    set_handler(kSlotPolyline, cmd_polyline);
    set_handler(kSlotGraphicsTitle, cmd_graphics_title);
    set_handler(kSlotGraphicsZoom, cmd_graphics_zoom);
    set_handler(kSlotGraphicsWaitClick, cmd_graphics_wait_click);
    set_graphics_text_drawer(gfx_text);
    set_level_graphics_text(graphics_level_text);
}

namespace {
void reset_graphics_commands() {
    g_graphics_commands = GraphicsCommandsState{};
}
const platform::StateReset graphics_commands_state_reset{
    "graphics/graphics_commands", reset_graphics_commands, platform::ResetLayer::graphics};
}  // namespace
