#include "entry/drawing_conditions.h"

#include <string>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_items.h"
#include "lens/lens_reset.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

const char* switch_text(int command, int param_index, int value) {
    const char* text = nullptr;
    const int param = param_descriptor_index(command, param_index);
    if (param >= 0 && select_param_list(param) == 0) text = list_item_text(value);
    return text != nullptr ? text : (value != 0 ? "On" : "Off");
}

void echo_double(int command, double value) {
    print_symbol_and_number("%-15s", command, value);
}

void echo_int(int command, int value) {
    print_symbol_and_integer("%-15s", command, value);
}

void echo_switch(int command, int value) {
    if (update_mode()) return;
    print_symbol_name("%-15s         ", command);
    text_printf("%3s\n", switch_text(command, 1, value));
}

// 457: the rows grow to n, the old rows kept, the new ones drawn with wavelength 1.
int set_row_count(DrawingConditions& dc, int n) {
    if (n < 0) return set_error_msg(kMsgBadValue, std::to_string(n).c_str());
    if (n > dc.row_capacity) {
        auto* rows = static_cast<DrawingRaySet*>(
            mem_realloc(dc.rows, static_cast<std::size_t>(n), sizeof(DrawingRaySet)));
        if (rows == nullptr) {
            update_lens_array_bounds();
            echo_int(kCmdDrawingRows, n);
            return kMsgOutOfMemory;
        }
        for (int r = dc.row_capacity; r < n; ++r) {
            rows[r] = {};
            rows[r].wavelength = 1;
            rows[r].drawn = 1;
        }
        dc.rows = rows;
        dc.row_capacity = n;
    }
    dc.row_count = n;
    update_lens_array_bounds();
    echo_int(kCmdDrawingRows, n);
    return 0;
}

// A first or last surface drawn outside 1 .. image - 1 means every surface.
int surface_drawn(int n) {
    return n >= 1 && n <= lens_data().image_surface - 1 ? n : 0;
}

int lens_wide(DrawingConditions& dc, int command) {
    const bool reset = arg_int(0) != 0;
    if (command >= kCmdDrawingFirst && command < kCmdDrawingFirst + 4) {
        double& v = dc.view[command - kCmdDrawingFirst];
        v = reset ? 0.0 : arg_double(1);
        echo_double(command, v);
        return 0;
    }
    const int n = arg_int(1);
    if (command == kCmdDrawingRows) return set_row_count(dc, reset ? 3 : n);
    std::int32_t* field = nullptr;
    int fallback = 0;
    switch (command) {
        case kCmdDlfsL:
            dc.first_surface = reset ? 0 : surface_drawn(n);
            echo_int(command, dc.first_surface);
            return 0;
        case kCmdDllsL:
            dc.last_surface = reset ? 0 : surface_drawn(n);
            echo_int(command, dc.last_surface);
            return 0;
        case kCmdDlvaL:
            field = &dc.view_angle1;
            fallback = 30;
            break;
        case kCmdDlhaL:
            field = &dc.view_angle2;
            fallback = 240;
            break;
        case kCmdDlapL:
            field = &dc.dlap;
            break;
        case kCmdDlriL:
            field = &dc.dlri;
            fallback = 3;
            break;
        case kCmdDlspL:
            field = &dc.dlsp;
            fallback = 4;
            break;
        case kCmdDlrsL:
            field = &dc.dlrs;
            break;
        case kCmdDrawingKind:
            field = &dc.dlcv;
            break;
        case kCmdDlasL:
        case kCmdDlhrL: {
            std::uint8_t& flag = command == kCmdDlasL ? dc.dlas : dc.dlhr;
            flag = static_cast<std::uint8_t>(reset ? (command == kCmdDlasL ? 0 : 1)
                                                   : (n != 0 ? 1 : 0));
            echo_switch(command, flag);
            return 0;
        }
        default:
            return 0;
    }
    *field = reset ? fallback : n;
    echo_int(command, *field);
    return 0;
}

int row_field(DrawingConditions& dc, int command) {
    const int r = arg_int(0);
    if (r < 0 || r >= dc.row_count) return set_error_msg(kMsgDrawingRow, dc.row_count - 1);
    DrawingRaySet& row = dc.rows[r];
    const bool reset = arg_int(1) != 0;
    const double d = arg_double(2);
    const int n = arg_int(2);
    const bool echo = !update_mode();
    auto echo_row_number = [&](double value) {
        if (!echo) return;
        print_symbol_name("%-15s", command);
        text_printf("%2d ", r);
        text_number(value);
        text_newline();
    };
    auto echo_row_int = [&](int value) {
        if (!echo) return;
        print_symbol_name("%-15s", command);
        text_printf("%2d %9d\n", r, value);
    };
    switch (command) {
        case kCmdDrawingRowFirst:
            // The field defaults are the first rows' own: on axis, then 0.7 of the field.
            row.field_fraction = reset ? (r == 1 ? 0.7 : 0.0) : d;
            echo_row_number(row.field_fraction);
            return 0;
        case kCmdDlxfL:
            row.x_field_fraction = reset ? 0.0 : d;
            echo_row_number(row.x_field_fraction);
            return 0;
        case kCmdDlmnL:
            row.pupil_min = reset ? (r == 0 ? -1.0 : 0.0) : d;
            echo_row_number(row.pupil_min);
            return 0;
        case kCmdDlmxL:
            row.pupil_max = reset ? (r == 0 ? 1.0 : 0.0) : d;
            echo_row_number(row.pupil_max);
            return 0;
        case kCmdDlosL:
            row.offset = reset ? 0.0 : d;
            echo_row_number(row.offset);
            return 0;
        case kCmdDlnrL:
            row.ray_count = reset ? (r == 0 ? 3 : 0) : n;
            echo_row_int(row.ray_count);
            return 0;
        case kCmdDlyf:
            row.drawn = static_cast<std::uint8_t>(reset ? 1 : (n != 0 ? 1 : 0));
            if (echo) {
                print_symbol_name("%-15s", command);
                text_printf("%2d %9s\n", r, switch_text(command, 2, row.drawn));
            }
            return 0;
        default:
            row.wavelength = reset ? 1 : n;
            echo_row_int(row.wavelength);
            return 0;
    }
}

}  // namespace

int cmd_drawing_conditions() {
    UpdateOutputSwitch output;
    LensData& l = lens_data();
    if (l.drawing_conditions == nullptr || l.drawing_conditions->rows == nullptr) {
        if (const int rc = reset_drawing_conditions(); rc != 0) return rc;
    }
    DrawingConditions& dc = *l.drawing_conditions;
    const int command = current_command();
    if (command >= kCmdDrawingRowFirst && command <= kCmdDrawingRowLast) {
        return row_field(dc, command);
    }
    return lens_wide(dc, command);
}
