#include "entry/sheet_hooks.h"

#include <cstdio>

#include "entry/aux_sheets.h"
#include "entry/surface_sheet.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "lens/auto_redraw.h"
#include "lens/lens_data.h"
#include "lens/stock_lenses.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"

namespace {

constexpr char kLensContext = 'L';
constexpr int kUserSymbols = 8191;  // symbol numbers from here on are the user's routines
constexpr int kAuxSheetCount = 8;

struct SheetHooksState {
    AuxSheetOpener openers[kAuxSheetCount] = {};
    bool window_open = false;  // the row hook opened window 9
};

SheetHooksState& hooks() {
    static SheetHooksState state;
    return state;
}

bool valid_button(int b) {
    return b == kAuxSheetDrawingConditions || b == kAuxSheetOptimiseParams ||
           b == kAuxSheetSpotSettings || b == kAuxSheetSystemData || b == kAuxSheetLensNotes;
}

// Draws the lens in window 9: 0 or the first failure. Without a routine "draw_lens" there is
// nothing to draw with, and nothing is opened.
int draw_in_lens_window() {
    if (lookup_symbol("draw_lens") < 0) return 0;
    const int noted = graphics_current();
    int rc = graphwin_open(kLensDrawingWindow, 0, 0, 0, 0);
    if (rc < 0) return rc;
    rc = 0;
    hooks().window_open = true;
    gfx_defer_drawing();
    graphwin_new_page(0);
    rc = run_command_string("draw_lens", 0);
    if (rc == 0) {
        const CommandHandler rays = handler_table().slots[kSlotDrawFieldRays];
        if (rays != nullptr) rc = rays();
    }
    set_graphics_deferred(false);
    graphwin_refresh(1);
    if (noted >= 1 && noted != kLensDrawingWindow) {
        graphwin_select(noted);
    } else {
        graphwin_open(-1, 0, 0, 0, 0);
    }
    return rc;
}

void (*g_element_drawing_dropper)(int all) = nullptr;
bool (*g_element_start_test)(int n) = nullptr;

}  // namespace

void set_element_drawing_dropper(void (*dropper)(int all)) {
    g_element_drawing_dropper = dropper;
}

void set_element_start_test(bool (*test)(int n)) {
    g_element_start_test = test;
}

bool element_starts_at(int n, bool fallback) {
    return g_element_start_test != nullptr ? g_element_start_test(n) : fallback;
}

void drop_element_drawings_for_new_lens() {
    if (g_element_drawing_dropper != nullptr) g_element_drawing_dropper(0);
}

void refresh_sheet_after_edit(int flag) {
    if (surface_sheet_state().open == 0) return;
    const int cbk = lens_data().cbk;
    if (cbk != 0) {
        char line[64];
        std::snprintf(line, sizeof line, "autodraw(1, %d, %d)", cbk, 3);
        const bool push = command_context_letter() != kLensContext;
        if (push) push_command_context(kLensContext);
        run_command_string(line, 1);
        if (push) pop_command_context();
    }
    begin_level_output();
    write_surface_sheet();
    end_level_output();
    if (flag != 0) open_catalog_parts();
}

int cmd_sheet_row_selected() {
    const int a = arg_int(0);
    const int b = arg_int(1);
    const int c = arg_int(2);
    const LensData& l = lens_data();
    if (l.image_surface < 2) return 0;
    const SurfaceSheetState& s = surface_sheet_state();
    if (a == 1 && s.last > s.first) return 0;
    int rc = 0;
    if (l.cbk % 2 != 0) rc = draw_in_lens_window();
    if (lookup_symbol("Lse_callback") >= kUserSymbols) {
        char line[96];
        std::snprintf(line, sizeof line, "Lse_callback(%d, %d, %d)", a, b, c);
        return run_command_string(line, 1);
    }
    return rc;
}

int cmd_open_aux_sheet() {
    const int b = arg_int(0);
    if (!valid_button(b)) return 0;
    const AuxSheetOpener opener = hooks().openers[b];
    if (opener == nullptr) return set_error_msg(kMsgAuxSheetMissing, b);
    return opener();
}

void set_aux_sheet_procedure(int b, AuxSheetOpener opener) {
    if (valid_button(b)) hooks().openers[b] = opener;
}

void reset_sheet_hooks() {
    hooks().window_open = false;
}

void close_lens_drawing_window() {
    if (!hooks().window_open) return;
    hooks().window_open = false;
    graphwin_close(kLensDrawingWindow);
}

void install_sheet_hooks() {
    set_handler(kSlotSheetRowSelected, cmd_sheet_row_selected);
    set_handler(kSlotOpenAuxSheet, cmd_open_aux_sheet);
    set_auto_redraw_after_edit(refresh_sheet_after_edit);
}

namespace {
const platform::StateReset sheet_hooks_state_reset{"entry/sheet_hooks", reset_sheet_hooks,
                                                   platform::ResetLayer::feature};
}  // namespace
