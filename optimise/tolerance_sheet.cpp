#include "optimise/tolerance_sheet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_items.h"
#include "optimise/tolerance_items.h"
#include "optimise/tolerance_table.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"
#include "ui/grid_control.h"
#include "ui/sheet_kit.h"
#include "ui/text_area.h"

namespace {

constexpr int kHeaderRows = 1;
constexpr int kRowsBesideSurfaces = 7;

int level_rows();

struct ToleranceSheetState {
    SheetKit kit{.revert_message = kMsgToleranceSheetRevertCopy,
                 .print = fill_tolerance_sheet,
                 .state_flag = kFlagToleranceSheet,
                 .rows = level_rows};
    std::vector<SurfaceTolerances> clipboard;  // whole records, values and switches
    bool two_lines = false;                    // two lines a surface (chosen on opening)
};

ToleranceSheetState& state() {
    static ToleranceSheetState s;
    return s;
}

const platform::StateReset tolerance_sheet_state_reset{
    "optimise/tolerance_sheet", reset_tolerance_sheet, platform::ResetLayer::feature};

int image_surface() {
    return lens_data().image_surface;
}

// The one-line layout where the sheet's lines hold a surface's line whole (the writer cuts
// lines at the window's line width, the sheet's text area at its columns), else two lines a
// surface. A sheet shown again after a level above it keeps its layout.
bool wants_two_lines() {
    int width = text_window_width(platform::kWindowSpreadsheet);
    if (const TextArea* area = textarea(kSheetArea); area != nullptr) {
        width = std::min(width, area->columns);
    }
    const char* head = msg_text(kMsgToleranceSheetHead);
    const std::size_t needed = head != nullptr ? std::strlen(head) : 0;
    return static_cast<std::size_t>(std::max(width, 0)) < needed;
}

// Beside the surfaces' lines: the head (a line more in two lines), the test wavelength, the
// notes below.
int rows_for(bool two_lines) {
    if (two_lines) return 2 * image_surface() + kRowsBesideSurfaces + 1;
    return image_surface() + kRowsBesideSurfaces;
}

int level_rows() {
    return rows_for(state().two_lines);
}

void separator() {
    write_output_text("|", false);
}

void cell(int command, int s, bool may_default, const std::string& text) {
    text_hotspot(command | (may_default ? kGridKindSelectable : 0), s);
    write_output_text(text.c_str(), false);
}

void plain(const std::string& text) {
    write_output_text(text.c_str(), false);
}

// The sheet's columns after the surface number, in the printed table's order.
enum class Column {
    Radius,
    Rdt,
    Spt,
    Irt,
    Thick,
    Tht,
    Medium,
    Rnt,
    Dct,
    Tlt,
    Conic,
    Cct,
    Dzt,
    Vnt,
    Dxt,
    Tbt
};

constexpr Column kOneLine[] = {Column::Radius, Column::Rdt, Column::Spt,    Column::Irt,
                               Column::Thick,  Column::Tht, Column::Medium, Column::Rnt,
                               Column::Dct,    Column::Tlt, Column::Conic,  Column::Cct,
                               Column::Dzt,    Column::Vnt, Column::Dxt,    Column::Tbt};
// Two lines a surface keep the sheet within its window: the surface's shape, thickness and
// medium with their tolerances, then the conic, the positional tolerances and VNT.
constexpr Column kFirstLine[] = {Column::Radius, Column::Rdt, Column::Spt,    Column::Irt,
                                 Column::Thick,  Column::Tht, Column::Medium, Column::Rnt};
constexpr Column kSecondLine[] = {Column::Conic, Column::Cct, Column::Dzt, Column::Dct,
                                  Column::Dxt,   Column::Tlt, Column::Tbt, Column::Vnt};

struct RowData {
    int s;
    bool image;
    const SurfaceRecord& record;
    SurfaceTolerances shown;
    int angle_decimals;
};

void column(const RowData& r, Column c) {
    const int s = r.s;
    const double* v = r.shown.values;
    const std::string blank(7, ' ');
    switch (c) {
        case Column::Radius:
            return plain(tolerance_field_text(
                r.record.curvature != 0.0 ? 1.0 / r.record.curvature : 0.0, 9, 4));
        case Column::Rdt:
            return cell(kCmdRdtL, s, false, tolerance_field_text(v[kTolRdt], 6, 4));
        case Column::Spt:
            return cell(
                kCmdSptL, s, true,
                tolerance_fringe_text(v[kTolSpt], tolerance_fringe_mark(s, kTolSpt, r.shown)));
        case Column::Irt:
            return cell(
                kCmdIrtL, s, true,
                tolerance_fringe_text(v[kTolIrt], tolerance_fringe_mark(s, kTolIrt, r.shown)));
        case Column::Thick:
            return plain(tolerance_field_text(r.record.thickness, 8, 4));
        case Column::Tht:
            return cell(kCmdThtL, s, true, tolerance_field_text(v[kTolTht], 6, 4));
        case Column::Medium:
            return plain(r.image ? std::string(10, ' ') : tolerance_medium_text(s));
        case Column::Rnt:
            if (r.image) return plain(blank);
            return cell(kCmdRntL, s, true, tolerance_field_text(v[kTolRnt], 6, 4));
        case Column::Dct:
            return cell(kCmdDctL, s, true, tolerance_field_text(v[kTolDct], 6, 4));
        case Column::Tlt:
            return cell(kCmdTltL, s, true, tolerance_field_text(v[kTolTlt], 6, r.angle_decimals));
        case Column::Conic:
            return plain(tolerance_field_text(r.record.conic, 9, 4));
        case Column::Cct:
            return cell(kCmdCctL, s, false, tolerance_field_text(v[kTolCct], 6, 4));
        case Column::Dzt:
            if (r.image) return plain(blank);
            return cell(kCmdDztL, s, false, tolerance_field_text(v[kTolDzt], 6, 4));
        case Column::Vnt:
            if (r.image) return plain(blank);
            return cell(kCmdVntL, s, true, tolerance_field_text(v[kTolVnt], 6, 4));
        case Column::Dxt:
            return cell(kCmdDxtL, s, true, tolerance_field_text(v[kTolDxt], 6, 4));
        case Column::Tbt:
            return cell(kCmdTbtL, s, true, tolerance_field_text(v[kTolTbt], 6, r.angle_decimals));
    }
}

template <std::size_t N>
void columns(const RowData& r, const Column (&line)[N]) {
    for (const Column c : line) {
        separator();
        column(r, c);
    }
    text_newline();
}

void surface_row(int s, const int* marks) {
    const RowData r{s, s == image_surface(), surface(s), surface_tolerances_shown(s, marks),
                    tolerance_angle_decimals()};
    char number[16];
    std::snprintf(number, sizeof number, " %3d ", s);
    text_hotspot(kGridKindRowSelector, s);
    write_output_text(number, false);
    if (!state().two_lines) return columns(r, kOneLine);
    columns(r, kFirstLine);
    plain(std::string(5, ' '));
    columns(r, kSecondLine);
}

void row_limits(int* lo, int* hi) {
    *lo = 1;
    *hi = image_surface();
}

void clear_results(int s) {
    for (int k = 0; k < kToleranceCount; ++k) clear_tolerance_result(k, s);
}

// Copy keeps whole records, values and switches.
int copy_rows(int first, int last) {
    std::vector<SurfaceTolerances> copied;
    for (int s = first; s <= last; ++s) {
        SurfaceTolerances* t = ensure_surface_tolerances(s);
        if (t == nullptr) return kMsgOutOfMemory;
        copied.push_back(*t);
    }
    state().clipboard = std::move(copied);
    return 0;
}

// Cut leaves the surfaces with reset records; every surface changed loses its results.
int clear_rows(int first, int last) {
    for (int s = first; s <= last; ++s) {
        reset_surface_tolerances(s);
        clear_results(s);
    }
    return 0;
}

// Paste writes the records from the first selected surface on.
int paste_rows(const GridEvent& event) {
    const std::vector<SurfaceTolerances>& clip = state().clipboard;
    int first = 0;
    int last = 0;
    if (!sheet_selected_rows(event, 1, image_surface(), &first, &last)) return 0;
    for (std::size_t i = 0; i < clip.size(); ++i) {
        const int s = first + static_cast<int>(i);
        if (s > image_surface()) break;
        SurfaceTolerances* t = ensure_surface_tolerances(s);
        if (t == nullptr) return kMsgOutOfMemory;
        *t = clip[i];
        clear_results(s);
    }
    return 0;
}

int cell_status(GridEvent& event) {
    const int command = event.field & kGridFieldIdMask;
    const int s = event.first_index;
    if (command == kCmdTwlL) {
        char text[40];
        std::snprintf(text, sizeof text, "%s", format_number(lens_data().test_wavelength, 2, 0));
        sheet_edit_text(event, text);
        return 0;
    }
    const int k = tolerance_value_of_command(command);
    if (k < 0 || s < 1 || s > image_surface()) return 0;
    const std::vector<int> marks = lens_element_marks();
    const SurfaceTolerances* own = surface(s).tolerances;
    tolerance_cell_status(event, surface_tolerances_shown(s, marks.data()).values[k],
                          own != nullptr ? own->switches[k] : 0);
    return 0;
}

int value_entered(const GridEvent& event) {
    const int command = event.field & kGridFieldIdMask;
    const double value = event.value_type == kArgInt ? event.value.i : event.value.d;
    const int s = event.first_index;
    const bool tolerance =
        tolerance_value_of_command(command) >= 0 && s >= 1 && s <= image_surface();
    if (command != kCmdTwlL && !tolerance) return sheet_rewrite(state().kit);
    const int rc = run_tolerance_command(command, command == kCmdTwlL ? 0 : s, value);
    if (rc != 0) return rc;
    return sheet_rewrite(state().kit);
}

// A line typed into the sheet runs at the surface of the cell it was typed into (the current
// surface without one), in update mode like a cell's edit.
int line_typed(const char* line, const GridEvent& event) {
    if (const int rc = sheet_run_update(line, event.first_index); rc != 0) return rc;
    return sheet_rewrite(state().kit);
}

int opening() {
    ToleranceSheetState& st = state();
    if (!st.kit.kept) {
        st.clipboard.clear();
        st.two_lines = wants_two_lines();
    }
    for (int s = 1; s <= image_surface(); ++s) {
        if (ensure_surface_tolerances(s) == nullptr) return kMsgOutOfMemory;
    }
    set_level_header_rows(st.two_lines ? 2 * kHeaderRows : kHeaderRows, 0, 0);
    return 0;
}

const SheetEvents kEvents{
    .opening = opening,
    .cell_text = cell_status,
    .edited = value_entered,
    .typed = line_typed,
    .row_limits = row_limits,
    .copy_rows = copy_rows,
    .clear_rows = clear_rows,
    .paste_rows = paste_rows,
};

}  // namespace

int tolerance_value_of_command(int command) {
    if (command < kCmdThtL || command > kCmdCabL) return -1;
    return tolerance_value_of_item(kItemToleranceTht + (command - kCmdThtL));
}

int run_tolerance_command(int command, int s, double value) {
    char line[80];
    std::snprintf(line, sizeof line, "%s %s", symbol_keyword(command), shortest_number_text(value));
    return sheet_run_update(line, s);
}

void tolerance_cell_status(GridEvent& event, double value, int switch_value) {
    char text[40];
    std::snprintf(text, sizeof text, "%s", shortest_number_text(value));
    sheet_edit_text(event, text);
    status_msg(switch_value == 1   ? kMsgToleranceStatusGiven
               : switch_value == 2 ? kMsgToleranceStatusHeld
                                   : kMsgToleranceStatusDefault);
}

int cmd_open_tolerance_sheet() {
    return sheet_push(tolerance_sheet_callback, rows_for(wants_two_lines()),
                      kMsgToleranceSheetStatus);
}

int tolerance_sheet_callback(GridEvent& event) {
    return sheet_dispatch(state().kit, kEvents, event);
}

void fill_tolerance_sheet() {
    sheet_set_title(-kHelpTopicToleranceSheet, kMsgToleranceSheetTitle);
    if (state().two_lines) {
        for (int k = 0; k < 2; ++k) {
            plain(sheet_message_line(kMsgToleranceSheetHeadTwoLines, k));
            text_newline();
        }
    } else {
        sheet_label(kMsgToleranceSheetHead);
        text_newline();
    }
    const std::vector<int> marks = lens_element_marks();
    bool class2 = false;
    bool class3 = false;
    for (int s = 1; s <= image_surface(); ++s) {
        surface_row(s, marks.data());
        const SurfaceTolerances t = surface_tolerances_shown(s, marks.data());
        for (const int k : {kTolSpt, kTolIrt}) {
            const char mark = tolerance_fringe_mark(s, k, t);
            class2 = class2 || mark == '*';
            class3 = class3 || mark == '#';
        }
    }
    text_newline();
    sheet_label(kMsgToleranceSheetTestWavelength);
    cell(kCmdTwlL, 0, false, format_number(lens_data().test_wavelength, 2, 0));
    text_newline();
    if (class2) print_msg(kMsgToleranceMarkerClass2);
    if (class3) print_msg(kMsgToleranceMarkerClass3);
    print_tolerance_angle_note();
}

const std::vector<SurfaceTolerances>& tolerance_sheet_clipboard() {
    return state().clipboard;
}

void reset_tolerance_sheet() {
    ToleranceSheetState& st = state();
    // A fresh run holds no copy: the one this sheet counted goes.
    sheet_release_copy(st.kit, 0);
    st = ToleranceSheetState{};
}
