#include "entry/coefficient_sheets.h"

#include "entry/special_sheets.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "lens/surface_pickups.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/level_help.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

// A standard asphere keeps the terms of orders 4, 6, 8 and 10 in entries 2 to 5.
constexpr int kFirstTermEntry = 2;
constexpr int kTermCount = 4;

CoefficientSheetsState g_sheets;

const platform::StateReset coefficient_sheets_state_reset{
    "entry/coefficient_sheets", reset_coefficient_sheets, platform::ResetLayer::feature};

int current_index() {
    return lens_data().current_surface;
}

SurfaceRecord& current() {
    return surface(current_index());
}

bool standard_asphere(const SurfaceRecord& s) {
    return s.asphere != nullptr && s.asphere->kind == kAsphereEven;
}

// The term of order 4 + 2k (0 where the record holds fewer entries).
double term(const SurfaceRecord& s, int k) {
    if (!standard_asphere(s) || s.asphere->entered == nullptr) return 0.0;
    const int entry = kFirstTermEntry + k;
    return entry < s.asphere->entered_count ? s.asphere->entered[entry] : 0.0;
}

bool terms_all_zero() {
    const SurfaceRecord& s = current();
    if (!standard_asphere(s)) return false;
    for (int k = 0; k < kTermCount; ++k) {
        if (term(s, k) != 0.0) return false;
    }
    return true;
}

void free_asphere() {
    SurfaceRecord& s = current();
    mem_free(s.asphere);
    s.asphere = nullptr;
    bounds_stale = 1;
}

// The term a cell stands for: 0..3, or -1.
int term_of(int field) {
    return field >= kCmdAdL && field <= kCmdAgL ? field - kCmdAdL : -1;
}

}  // namespace

CoefficientSheetsState& coefficient_sheets_state() {
    return g_sheets;
}

void reset_coefficient_sheets() {
    sheet_release_copy(g_sheets.standard_asphere, 0);
    g_sheets = CoefficientSheetsState{};
}

void print_standard_asphere_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    sheet_set_title(-kHelpTopicStandardAsphereSheet, kMsgStandardAsphereTitle);
    print_sheet_surface_heading();
    for (int k = 0; k < kTermCount; ++k) {
        const int order = 4 + 2 * k;
        text_printf(k < 3 ? " %d%s  " : "%d%s  ", order, "th order deformation coefficient:");
        sheet_number_cell(kCmdAdL + k, n, term(s, k));
        text_newline();
        if (k < 3) text_newline();
    }
    sheet_button_msg(kGridKindButton | kFieldAsphereDelete, 0, kMsgStandardAsphereDelete);
    text_newline();
}

int standard_asphere_sheet_event(GridEvent& event) {
    SheetKit& kit = g_sheets.standard_asphere;
    kit.print = print_standard_asphere_sheet;
    const int n = current_index();
    SurfaceRecord& s = current();
    switch (event.code) {
        case kLevelEventShown:
            special_sheet_begin(kit, standard_asphere(s));
            // The asphere's terms are the surface's own: a picked-up curvature becomes plain.
            clear_curvature_pickup(n);
            if (!standard_asphere(s)) {
                if (const int rc = alloc_asphere_record(n, kAsphereEven, 0); rc != 0) return rc;
                lens_setup_or_error();
            }
            return sheet_open(kit);
        case kLevelEventMayClose:
            return sheet_may_close(kit);
        case kLevelEventChange:
            return special_sheet_end(kit, event.argument, terms_all_zero(), free_asphere);
        case kLevelEventCellChanged:
            if (const int k = term_of(grid_entry_field(event.field)); k >= 0) {
                special_sheet_number_text(event, term(s, k));
            }
            return 0;
        case kLevelEventEdited: {
            const int k = term_of(grid_entry_field(event.field));
            if (k < 0 ||
                (event.value_type != kGridValueDouble && event.value_type != kGridValueInt))
                return 0;
            const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
            set_polynomial_asphere_term(n, 4 + 2 * k, v);
            kit.changed = true;
            return sheet_after_change(kit);
        }
        case kLevelEventActivate:
            free_asphere();
            return special_sheet_record_gone();
        case kLevelEventTypedText: {
            const int rc = sheet_run_line(event);
            if (rc != 0) return rc;
            // A typed line that took the asphere away (or made another kind) ends the sheet.
            if (!standard_asphere(s)) return special_sheet_record_gone();
            return sheet_after_change(kit);
        }
        default:
            return 0;
    }
}
