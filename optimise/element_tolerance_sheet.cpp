#include "optimise/element_tolerance_sheet.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "lens/lens_data.h"
#include "lens/surface_tolerances.h"
#include "optimise/lens_elements.h"
#include "optimise/tolerance_items.h"
#include "optimise/tolerance_sheet.h"
#include "optimise/tolerance_table.h"
#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"
#include "ui/sheet_kit.h"

namespace {

constexpr int kHeaderRows = 1;
constexpr int kRowsBesideSurfaces = 2;

struct ElementSheetState {
    SheetKit kit{.revert_message = kMsgElementToleranceSheetRevertCopy,
                 .print = fill_element_sheet,
                 .state_flag = kFlagToleranceSheet};
};

ElementSheetState& state() {
    static ElementSheetState s;
    return s;
}

const platform::StateReset element_tolerance_sheet_state_reset{"optimise/element_tolerance_sheet",
                                                               reset_element_tolerance_sheet,
                                                               platform::ResetLayer::feature};

int image_surface() {
    return lens_data().image_surface;
}

bool has_elements(const std::vector<int>& marks) {
    return std::count(marks.begin(), marks.end(), kElementLast) > 0;
}

// A cell of value k: a default may show in it on the first surface of an element.
void cell(int command, int s, double value, bool may_default) {
    sheet_number_cell(command | (may_default ? kGridKindSelectable : 0), s, value);
}

void surface_row(int s, const int* marks) {
    const ElementTolerancesShown e = element_tolerances_shown(s, marks);
    const SurfaceTolerances* own = surface(s).tolerances;
    const bool first = e.mark == kElementFirst;
    char number[16];
    std::snprintf(number, sizeof number, " %3d ", s);
    text_hotspot(kGridKindRowSelector, s);
    write_output_text(number, false);
    sheet_text("|");
    cell(kCmdCdyL, s, e.values[kTolCdy], first);
    sheet_text("|");
    cell(kCmdCdxL, s, e.values[kTolCdx], first);
    sheet_text("||");
    cell(kCmdCaaL, s, own != nullptr ? own->values[kTolCaa] : 0.0, false);
    sheet_text("|");
    cell(kCmdCabL, s, own != nullptr ? own->values[kTolCab] : 0.0, false);
    sheet_text("||");
    cell(kCmdCcaL, s, e.values[kTolCca], first);
    sheet_text("|");
    cell(kCmdCcbL, s, e.values[kTolCcb], first);
    text_newline();
}

// Whether value k of surface s is an element value there: all six on an element's first
// surface, the tilts on its last.
bool belongs_to_element(int mark, int k) {
    if (mark == kElementFirst) return true;
    return mark == kElementLast && k != kTolCdx && k != kTolCdy;
}

int cell_status(GridEvent& event) {
    const int command = event.field & kGridFieldIdMask;
    const int k = tolerance_value_of_command(command);
    const int s = event.first_index;
    if (k < kTolCdx || s < 1 || s >= image_surface()) return 0;
    const std::vector<int> marks = lens_element_marks();
    const ElementTolerancesShown e = element_tolerances_shown(s, marks.data());
    const SurfaceTolerances* own = surface(s).tolerances;
    const double value =
        k == kTolCaa || k == kTolCab ? (own != nullptr ? own->values[k] : 0.0) : e.values[k];
    if (!belongs_to_element(e.mark, k)) {
        char text[40];
        std::snprintf(text, sizeof text, "%s", format_number(value, 2, 0));
        sheet_edit_text(event, text);
        status_msg(kMsgElementSheetNoElement);
        return 0;
    }
    tolerance_cell_status(event, value, own != nullptr ? own->switches[k] : 0);
    return 0;
}

int value_entered(const GridEvent& event) {
    const int command = event.field & kGridFieldIdMask;
    const int s = event.first_index;
    if (tolerance_value_of_command(command) < kTolCdx || s < 1 || s >= image_surface()) {
        return sheet_rewrite(state().kit);
    }
    const double value = event.value_type == kArgInt ? event.value.i : event.value.d;
    if (const int rc = run_tolerance_command(command, s, value); rc != 0) return rc;
    return sheet_rewrite(state().kit);
}

int line_typed(const char* line, const GridEvent&) {
    if (const int rc = sheet_run_update(line); rc != 0) return rc;
    return sheet_rewrite(state().kit);
}

int opening() {
    for (int s = 1; s <= image_surface(); ++s) {
        if (ensure_surface_tolerances(s) == nullptr) return kMsgOutOfMemory;
    }
    set_level_header_rows(kHeaderRows, 0, 0);
    return 0;
}

const SheetEvents kEvents{
    .opening = opening,
    .cell_text = cell_status,
    .edited = value_entered,
    .typed = line_typed,
};

}  // namespace

int cmd_open_element_tolerance_sheet() {
    if (!has_elements(lens_element_marks())) return kMsgNoLensElement;
    return sheet_push(element_sheet_callback, image_surface() + kRowsBesideSurfaces,
                      kMsgElementSheetStatus);
}

int element_sheet_callback(GridEvent& event) {
    return sheet_dispatch(state().kit, kEvents, event);
}

void fill_element_sheet() {
    sheet_set_title(-kHelpTopicElementToleranceSheet, kMsgElementToleranceSheetTitle);
    sheet_label(kMsgElementSheetHead);
    text_newline();
    const std::vector<int> marks = lens_element_marks();
    for (int s = 1; s < image_surface(); ++s) surface_row(s, marks.data());
    print_tolerance_angle_note();
}

void reset_element_tolerance_sheet() {
    ElementSheetState& st = state();
    sheet_release_copy(st.kit, 0);
    st = ElementSheetState{};
}
