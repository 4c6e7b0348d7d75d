#include "entry/special_sheets.h"

#include <cstdio>

#include "entry/coefficient_sheets.h"
#include "entry/hologram_grin_sheets.h"
#include "entry/sheet_values.h"
#include "entry/small_surface_sheets.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

constexpr int kInactiveMark = 0x8000;
// The text cell of a surface note, where the cursor goes when the note sheet opens.
constexpr int kNoteTextCell = kGridKindText | kCmdNotL;

bool valid_surface(int n) {
    return surface_array() != nullptr && n >= 0 && n <= lens_data().image_surface;
}

// Choice 5: the element drawing of the surface, a sheet of the drawing code reached through its
// handler slot with the surface as argument.
int open_element_drawing(int n) {
    const CommandHandler handler = handler_table().slots[kSlotOpenElementSheet];
    if (handler == nullptr) return set_error_msg(kMsgSpecialSheetMissing);
    ArgCell** const saved = arg_vector();
    const int saved_count = arg_count();
    ArgCell cell = int_cell(n);
    ArgCell* cells[1] = {&cell};
    set_arg_vector(cells, 1);
    const int rc = handler();
    set_arg_vector(saved, saved_count);
    return rc;
}

// A spline profile gives way to an asphere only when the user agrees: 0 to go on, 1 to stop.
int spline_gives_way(int n) {
    if (surface(n).spline == nullptr) return 0;
    if (ask_msg(kMsgReplaceSpline, n) != 0) return 1;
    free_surface_spline(n);
    return 0;
}

int push(LevelHandler handler, int rows) {
    return push_command_level(handler, rows, 0);
}

}  // namespace

int cmd_open_special_sheet() {
    if (!valid_surface(lens_data().current_surface)) return 0;
    const ArgCell* a = arg_cell(0);
    ArgCell asked{};
    if (a == nullptr || a->status != kArgGiven) {
        // Without a choice the list of the surface's special data is offered.
        if (const int rc = prompt_param(kParamSpecialDataChoices, &asked); rc != 0) return rc;
        a = &asked;
    }
    if (a->type != kArgInt) return kMsgSettingRefused;
    // The list's values are the kinds + 1; 0 marks an entry the list drops.
    const int choice = a->value.i - 1;
    const int n = lens_data().current_surface;
    switch (choice) {
        case kSpecialSurfaceNote: {
            const int rc = push(surface_note_sheet_event, kSurfaceNoteRows);
            if (rc == 0) set_level_cursor(kNoteTextCell, n, 0);
            return rc;
        }
        case kSpecialSurfaceOptions: {
            const int rc = push(surface_options_sheet_event, kSurfaceOptionsRows);
            if (rc == 0) set_level_option();
            return rc;
        }
        case kSpecialElementDrawing:
            return open_element_drawing(n);
        case kSpecialCoordinates:
            return push(coordinates_sheet_event, kCoordinatesRows);
        case kSpecialPerfectLens:
            return push(perfect_lens_sheet_event, kPerfectLensRows);
        case kSpecialConicToric:
            return push(conic_toric_sheet_event, kConicToricRows);
        case kSpecialStandardAsphere:
            if (spline_gives_way(n) != 0) return 0;
            return push(standard_asphere_sheet_event, kStandardAsphereRows);
        case kSpecialSplineProfile:
            return open_spline_sheet();
        case kSpecialHologram:
            return push(hologram_sheet_event, kHologramRows);
        case kSpecialGrating: {
            const int rc = push(grating_sheet_event, kGratingRows);
            if (rc == 0) set_level_option();
            return rc;
        }
        default:
            break;
    }
    if (choice >= kSpecialFirstGrin && choice <= kSpecialLastGrin) return open_grin_sheet(choice);
    if (choice >= kSpecialFirstDiffractive && choice <= kSpecialLastDiffractive) {
        return open_diffractive_sheet(choice);
    }
    if (choice >= kSpecialFirstAsphere && choice <= kSpecialLastAsphere) {
        if (spline_gives_way(n) != 0) return 0;
        return open_asphere_sheet(choice);
    }
    // The entries that are only headings or reserved, and the values past the list.
    return 0;
}

int get_lens_int_value(int item, int index) {
    const LensData& l = lens_data();
    if (item == kCmdGcs) return l.global_coordinate_surface;
    if (!valid_surface(index)) return 0;
    const SurfaceRecord& s = surface(index);
    switch (item) {
        case kCmdRcoL:
            return s.return_coordinates != nullptr ? s.return_coordinates->pickup_source : 0;
        case kCmdGorL:
        case kCmdDorL:
            return s.diffraction_order;
        case kCmdHorL:
            return s.hologram != nullptr ? s.hologram->order : 0;
        case kCmdDrwL:
            return s.drawing_mode;
        case kCmdFrnL:
            return s.fresnel;
        case kCmdRodL:
            return s.rod;
        case kCmdAsiL:
            return s.alternate_intersection;
        case kCmdTirL:
            return s.tir_only;
        default:
            return 0;
    }
}

void special_sheet_begin(SheetKit& kit, bool had_record) {
    // A sheet shown again when a level above it closes keeps what it knew.
    if (!kit.kept && !kit.shown) kit.changed = had_record;
    sheet_take_copy(kit);
}

int special_sheet_end(SheetKit& kit, int end_mode, bool empty_record, void (*drop)()) {
    int rc = 0;
    if (!kit.changed && end_mode < 1 && empty_record && drop != nullptr) {
        drop();
        rc = lens_setup_or_error();
    }
    const int restored = sheet_close(kit, end_mode);
    return rc != 0 ? rc : restored;
}

void special_sheet_number_text(GridEvent& event, double value) {
    sheet_edit_text(event, format_number(value, 2, 0));
}

int special_sheet_record_gone() {
    const int rc = lens_setup_or_error();
    end_command_level();
    return rc;
}

int special_sheet_typed(SheetKit& kit, const GridEvent& event, bool (*there)(int n)) {
    const int n = lens_data().current_surface;
    if (const int rc = sheet_run_line(event); rc != 0) return rc;
    if (there != nullptr && !there(n)) return special_sheet_record_gone();
    return sheet_after_change(kit);
}

SheetEvents special_sheet_events(SheetEvents events) {
    events.keeps_update_mode = true;
    events.quiet_otherwise = true;
    events.types_empty_lines = true;
    return events;
}

int special_sheet_open_on(SheetKit& kit, bool make_it, const SpecialRecordMaker& maker,
                          LevelHandler handler, int (*rows)()) {
    const int n = lens_data().current_surface;
    sheet_take_copy(kit);
    if (make_it) {
        int rc = maker.make != nullptr ? maker.make(n, maker.kind, maker.size) : 0;
        if (rc == 0 && maker.make != nullptr) rc = lens_setup_or_error();
        if (rc != 0 || maker.make == nullptr) {
            sheet_release_copy(kit, 0);
            return rc;
        }
    }
    if (!maker.there(n)) {
        sheet_release_copy(kit, 0);
        return 0;
    }
    return push_command_level(handler, rows(), 0);
}

void special_sheet_inactive_mark() {
    text_hotspot(kInactiveMark, 0);
}

void special_sheet_yes_no(bool on) {
    text_printf(" %s ", on ? "Yes" : " No");
}

void install_special_sheets() {
    set_handler(kSlotOpenSpecialSheet, cmd_open_special_sheet);
}
