// The surface sheet's handlers and the hooks the new-lens command calls while the sheet is open.
#include "entry/lens_commands.h"
#include "entry/sheet_hooks.h"
#include "entry/sheet_values.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "ui/text_area.h"

namespace {

bool sheet_on_top() {
    const CommandLevel* top = top_level();
    return surface_sheet_state().open != 0 && top != nullptr && top->handler == surface_sheet_event;
}

void leave_for_new_lens() {
    close_lens_drawing_window();
    drop_element_drawings_for_new_lens();
    SurfaceSheetState& s = surface_sheet_state();
    s.first = s.last = 0;
    for (int n = 0; n <= lens_data().image_surface; ++n) {
        for (auto& b : surface(n).sheet_scratch_bytes) b = 0;
    }
}

int save_copy(int message) {
    return revert_copy_save(message);
}

int read_copy(int message) {
    return revert_copy_restore(message, 1);
}

void delete_copy(int message) {
    revert_copy_restore(message, 0);
}

void show_new_lens(int rows, int field) {
    set_level_rows(rows);
    set_level_cursor(field, 0, 0);
    GridEvent e;
    e.code = 12;  // the refresh button: set-up and rewrite
    e.field = kFieldRefresh;
    surface_sheet_event(e);
}

}  // namespace

void install_surface_sheet() {
    set_handler(kSlotSurfaceSheet, cmd_surface_sheet);
    set_handler(kSlotSpecialDataMenu, cmd_special_data_menu);
    NewLensSheetHooks& h = new_lens_sheet_hooks();
    h.new_lens_mode = sheet_on_top;
    h.leave_for_new_lens = leave_for_new_lens;
    h.save_revert_copy = save_copy;
    h.read_revert_copy = read_copy;
    h.delete_revert_copy = delete_copy;
    h.show_new_lens = show_new_lens;
}
