#include "drawing/drawing_conditions_sheet.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"
#include "ui/sheet_kit.h"

namespace {

// The cells carry the numbers of the commands that set them; the ray-set toggles are 10 and 11.
constexpr int kCellFanAlongY = 10;
constexpr int kCellFanAlongX = 11;
constexpr int kItemBits = 0x0fff;
constexpr int kHeaderRows = 8;
constexpr int kRingLimit = 100;  // rings and spokes of the model, either sign

void print_sheet() {
    drawing_conditions_layout();
}

struct DrawingConditionsSheetState {
    SheetKit kit{kMsgDrawingConditionsRevertCopy, print_sheet};
};

DrawingConditionsSheetState& state() {
    static DrawingConditionsSheetState s;
    return s;
}

void reset_state() {
    reset_drawing_conditions_sheet();
}

const platform::StateReset drawing_conditions_sheet_state_reset{
    "drawing/drawing_conditions_sheet", reset_state, platform::ResetLayer::feature};

DrawingConditions* conditions() {
    return lens_data().drawing_conditions;
}

void label(int message) {
    sheet_label(message);
}

void int_field(int cell, int index, int value, const char* format) {
    text_hotspot(cell, index);
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    write_output_text(text, false);
}

// " %2d ", "%3d " from 100, "%4d" from 1000.
void count_field(int cell, int index, int value) {
    const char* format = value >= 1000 ? "%4d" : value >= 100 ? "%3d " : " %2d ";
    int_field(cell, index, value, format);
}

void end_line() {
    text_newline();
}

void choice(int cell, int shown) {
    text_hotspot(cell | kGridKindValueList, 0);
    sheet_label(shown);
}

void toggles(int cell, std::uint8_t value) {
    text_hotspot_msg(cell, 0, value == 0 ? 1 : 0, kMsgDrawingSheetOff);
    write_output_text(" ", false);
    text_hotspot_msg(cell, 1, value != 0 ? 1 : 0, kMsgDrawingSheetOn);
}

// Runs a DL command line with the sheet's update mode (no echo), then shows the sheet again.
int run_line(const std::string& line) {
    if (const int rc = sheet_run_update(line.c_str()); rc != 0) return rc;
    return sheet_rewrite(state().kit);
}

std::string number_text(double value) {
    return shortest_number_text(value);
}

std::string command_name(int cell) {
    switch (cell) {
        case kCmdDlidL:
            return "DLID";
        case kCmdDlfdL:
            return "DLFD";
        case kCmdDlxsL:
            return "DLXS";
        case kCmdDlysL:
            return "DLYS";
        case kCmdDlfsL:
            return "DLFS";
        case kCmdDllsL:
            return "DLLS";
        case kCmdDlvaL:
            return "DLVA";
        case kCmdDlhaL:
            return "DLHA";
        case kCmdDlapL:
            return "DLAP";
        case kCmdDlriL:
            return "DLRI";
        case kCmdDlnfL:
            return "DLNF";
        case kCmdDlspL:
            return "DLSP";
        case kCmdDlrsL:
            return "DLRS";
        case kCmdDlfpL:
            return "DLFP";
        case kCmdDlxfL:
            return "DLXF";
        case kCmdDlmnL:
            return "DLMN";
        case kCmdDlmxL:
            return "DLMX";
        case kCmdDlosL:
            return "DLOS";
        case kCmdDlnrL:
            return "DLNR";
        case kCmdDlwnL:
            return "DLWN";
        case kCmdDlasL:
            return "DLAS";
        case kCmdDlhrL:
            return "DLHR";
        case kCmdDlcvL:
            return "DLCV";
        default:
            return "";
    }
}

bool row_cell(int cell) {
    return (cell >= kCmdDlfpL && cell <= kCmdDlnrL) || cell == kCmdDlwnL;
}

// A value typed into a cell: refused with a message where it cannot be what the cell holds,
// else the cell's command run with it.
int value_entered(const GridEvent& event) {
    const int cell = event.field & kItemBits;
    const std::string name = command_name(cell);
    const DrawingConditions* c = conditions();
    if (name.empty() || c == nullptr) return sheet_rewrite(state().kit);
    const bool integer = event.value_type == kArgInt;
    const double value = integer ? event.value.i : event.value.d;
    if (!std::isfinite(value)) return sheet_rewrite(state().kit);
    const int n = static_cast<int>(std::fmax(std::fmin(value, 2147483647.0), -2147483648.0));
    const int image = lens_data().image_surface;
    if ((cell == kCmdDlfsL || cell == kCmdDllsL) && (n < 0 || n >= image)) {
        return set_error_msg(kMsgDrawingSheetSurface, n, image - 1);
    }
    if (cell == kCmdDlwnL && (n < 0 || n > get_setting_int(kSetMaxWavelengths, 0, 0))) {
        return set_error_msg(kMsgDrawingSheetWavelength, n,
                             get_setting_int(kSetMaxWavelengths, 0, 0));
    }
    if ((cell == kCmdDlriL || cell == kCmdDlspL) && (n < -kRingLimit || n > kRingLimit)) {
        return set_error_msg(kMsgDrawingSheetMesh, n, kRingLimit, kRingLimit);
    }
    if (cell == kCmdDlnfL && n < 0) return set_error_msg(kMsgBadValue, std::to_string(n).c_str());
    const bool whole = cell == kCmdDlfsL || cell == kCmdDllsL || cell == kCmdDlvaL ||
                       cell == kCmdDlhaL || cell == kCmdDlriL || cell == kCmdDlnfL ||
                       cell == kCmdDlspL || cell == kCmdDlnrL || cell == kCmdDlwnL;
    std::string line = name;
    if (row_cell(cell)) {
        const int row = event.first_index;
        if (row < 0 || row >= c->row_count) return sheet_rewrite(state().kit);
        line += " " + std::to_string(row);
    }
    line += " " + (whole ? std::to_string(n) : number_text(value));
    return run_line(line);
}

// A toggle or a choice picked: the command that sets it.
int picked(const GridEvent& event) {
    const int cell = event.field & kItemBits;
    const int index = event.first_index;
    const DrawingConditions* c = conditions();
    if (c == nullptr) return sheet_rewrite(state().kit);
    switch (cell) {
        case kCmdDlasL:
        case kCmdDlhrL:
            return run_line(command_name(cell) + (index == 1 ? " On" : " Off"));
        case kCellFanAlongY:
        case kCellFanAlongX: {
            const int row = index;
            if (row < 0 || row >= c->row_count) return sheet_rewrite(state().kit);
            const bool along_y = cell == kCellFanAlongY;
            return run_line("DLYF " + std::to_string(row) + (along_y ? " On" : " Off"));
        }
        case kCmdDlapL:
        case kCmdDlrsL:
        case kCmdDlcvL:
            if (index >= 0) return run_line(command_name(cell) + " " + std::to_string(index));
            return sheet_rewrite(state().kit);
        default:
            return sheet_rewrite(state().kit);
    }
}

int typed(const char* line, const GridEvent&) {
    return run_line(line);
}

// The text a cell offers for editing: its value.
int cell_text(GridEvent& event) {
    const int cell = event.field & kItemBits;
    const DrawingConditions* c = conditions();
    if (c == nullptr || event.text == nullptr) return 0;
    const int row = event.first_index;
    const DrawingRaySet* r = row >= 0 && row < c->row_count ? &c->rows[row] : nullptr;
    char text[40] = "";
    auto number = [&](double v) { std::snprintf(text, sizeof text, "%.10g", v); };
    auto whole = [&](int v) { std::snprintf(text, sizeof text, "%d", v); };
    switch (cell) {
        case kCmdDlidL:
        case kCmdDlfdL:
        case kCmdDlxsL:
        case kCmdDlysL:
            number(c->view[cell - kCmdDlidL]);
            break;
        case kCmdDlfsL:
            whole(c->first_surface);
            break;
        case kCmdDllsL:
            whole(c->last_surface);
            break;
        case kCmdDlvaL:
            whole(c->view_angle1);
            break;
        case kCmdDlhaL:
            whole(c->view_angle2);
            break;
        case kCmdDlriL:
            whole(c->dlri);
            break;
        case kCmdDlspL:
            whole(c->dlsp);
            break;
        case kCmdDlnfL:
            whole(c->row_count);
            break;
        case kCmdDlfpL:
            if (r != nullptr) number(r->field_fraction);
            break;
        case kCmdDlxfL:
            if (r != nullptr) number(r->x_field_fraction);
            break;
        case kCmdDlmnL:
            if (r != nullptr) number(r->pupil_min);
            break;
        case kCmdDlmxL:
            if (r != nullptr) number(r->pupil_max);
            break;
        case kCmdDlosL:
            if (r != nullptr) number(r->offset);
            break;
        case kCmdDlnrL:
            if (r != nullptr) whole(r->ray_count);
            break;
        case kCmdDlwnL:
            if (r != nullptr) whole(r->wavelength);
            break;
        default:
            return 0;
    }
    sheet_edit_text(event, text);
    return 0;
}

int opening() {
    set_level_header_rows(kHeaderRows, 0, 0);
    return 0;
}

const SheetEvents kEvents{
    .opening = opening,
    .cell_text = cell_text,
    .edited = value_entered,
    .activated = picked,
    .typed = typed,
};

}  // namespace

int drawing_conditions_event(GridEvent& event) {
    return sheet_dispatch(state().kit, kEvents, event);
}

void drawing_conditions_layout() {
    sheet_set_title(-kHelpTopicDrawingConditionsSheet, kMsgDrawingSheetTitle);
    const DrawingConditions* c = conditions();
    if (c == nullptr) return;
    label(kMsgDrawingSheetObjectStub);
    sheet_number_cell(kCmdDlidL, 0, c->view[0]);
    label(kMsgDrawingSheetImageStub);
    sheet_number_cell(kCmdDlfdL, 0, c->view[1]);
    end_line();
    label(kMsgDrawingSheetHorizontal);
    int_field(kCmdDlhaL, 0, c->view_angle2, " %3d ");
    label(kMsgDrawingSheetVertical);
    int_field(kCmdDlvaL, 0, c->view_angle1, " %3d ");
    end_line();
    label(kMsgDrawingSheetFirst);
    int_field(kCmdDlfsL, 0, c->first_surface, " %3d ");
    sheet_text("    ");
    label(kMsgDrawingSheetLast);
    int_field(kCmdDllsL, 0, c->last_surface, " %3d ");
    end_line();
    label(kMsgDrawingSheetShiftX);
    sheet_number_cell(kCmdDlxsL, 0, c->view[2]);
    label(kMsgDrawingSheetShiftY);
    sheet_number_cell(kCmdDlysL, 0, c->view[3]);
    end_line();
    label(kMsgDrawingSheetCad);
    choice(kCmdDlcvL, c->dlcv == 1   ? kMsgDrawingSheetCadTurned
                      : c->dlcv == 2 ? kMsgDrawingSheetCadFlat
                                     : kMsgDrawingSheetCadLens);
    end_line();
    label(kMsgDrawingSheetRims);
    choice(kCmdDlapL, c->dlap == 1   ? kMsgDrawingSheetRimsHalf
                      : c->dlap == 2 ? kMsgDrawingSheetRimsTurned
                      : c->dlap == 3 ? kMsgDrawingSheetRimsFull
                                     : kMsgDrawingSheetRimsThreeQuarters);
    end_line();
    const char* mesh = " %-2d";
    label(kMsgDrawingSheetRings);
    int_field(kCmdDlriL, 0, c->dlri, c->dlri >= 100 ? "%3d" : mesh);
    label(kMsgDrawingSheetSpokes);
    int_field(kCmdDlspL, 0, c->dlsp, c->dlsp >= 100 ? "%3d" : mesh);
    end_line();
    label(kMsgDrawingSheetRayEnds);
    choice(kCmdDlrsL, c->dlrs == 1   ? kMsgDrawingSheetRayEndsWavefront
                      : c->dlrs == 2 ? kMsgDrawingSheetRayEndsSurface
                      : c->dlrs == 3 ? kMsgDrawingSheetRayEndsImage
                                     : kMsgDrawingSheetRayEndsPlane);
    end_line();
    label(kMsgDrawingSheetStopMark);
    toggles(kCmdDlasL, c->dlas);
    sheet_text("        ");
    label(kMsgDrawingSheetHatching);
    toggles(kCmdDlhrL, c->dlhr);
    end_line();
    label(kMsgDrawingSheetRaySets);
    int_field(kCmdDlnfL, 0, c->row_count, " %d ");
    end_line();
    if (c->row_count <= 0 || c->rows == nullptr) return;
    sheet_label(kMsgDrawingSheetColumns);
    end_line();
    for (int r = 0; r < c->row_count; ++r) {
        const DrawingRaySet& row = c->rows[r];
        sheet_number_cell(kCmdDlfpL, r, row.field_fraction);
        sheet_text("  ");
        sheet_number_cell(kCmdDlxfL, r, row.x_field_fraction);
        sheet_text("  ");
        count_field(kCmdDlnrL, r, row.ray_count);
        sheet_text("  ");
        sheet_number_cell(kCmdDlmnL, r, row.pupil_min);
        sheet_text("  ");
        sheet_number_cell(kCmdDlmxL, r, row.pupil_max);
        sheet_text("  ");
        sheet_number_cell(kCmdDlosL, r, row.offset);
        sheet_text(" ");
        text_hotspot_msg(kCellFanAlongY, r, row.drawn != 0 ? 1 : 0, 0);
        sheet_text(" ");
        text_hotspot_msg(kCellFanAlongX, r, row.drawn == 0 ? 1 : 0, 0);
        sheet_text(" ");
        count_field(kCmdDlwnL, r, row.wavelength);
        end_line();
    }
}

int drawing_conditions_rows() {
    const DrawingConditions* c = conditions();
    return c != nullptr ? c->row_count : 0;
}

int open_drawing_conditions_sheet() {
    const int rc =
        push_command_level(drawing_conditions_event, drawing_conditions_rows() + kHeaderRows, 0);
    if (rc == 0) set_level_option();
    return rc;
}

void reset_drawing_conditions_sheet() {
    DrawingConditionsSheetState& s = state();
    // A fresh run holds no copy: the one this sheet counted goes.
    sheet_release_copy(s.kit, 0);
    s = DrawingConditionsSheetState{};
}
