#include "entry/special_aperture_sheet.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

constexpr int kHelpTopic = -kHelpTopicSpecialApertureSheet;
constexpr int kGroupLimit = 100;
constexpr int kShapeCell = 0x638F;
constexpr int kDeleteAllCell = 0x6390;
constexpr int kActionCell = 0x6391;
constexpr int kPickupCell = 0x6395;
constexpr int kMsgShape[5] = {0, -467, -468, -463, -464};
constexpr int kMsgAction[5] = {0, -476, -477, -478, -479};

SpecialApertureSheetState g_sheet;

SurfaceRecord& current() {
    return surface(lens_data().current_surface);
}

int aperture_count(const SurfaceRecord& s) {
    return s.special_apertures != nullptr ? std::max<int>(0, s.special_aperture_count) : 0;
}

SpecialAperture* aperture_at(int index) {
    SurfaceRecord& s = current();
    return index >= 0 && index < aperture_count(s) ? &s.special_apertures[index] : nullptr;
}

bool has_pickup(const SpecialAperture& a) {
    return a.pickup_source >= 1;
}

bool aperture_unset(const SpecialAperture& a) {
    for (int k = 0; k < 4; ++k) {
        if (a.x[k] != 0.0 || a.y[k] != 0.0) return false;
    }
    return !has_pickup(a) && (a.pickup_id_letter == ' ' || a.pickup_id_letter == 0);
}

void free_apertures(SurfaceRecord& s) {
    mem_free(s.special_apertures);
    s.special_apertures = nullptr;
    s.special_aperture_count = 0;
    lens_flags().bounds_stale = 1;
}

char letter(const SpecialAperture& a) {
    return a.id_letter >= 'A' && a.id_letter <= 'Z' ? static_cast<char>(a.id_letter) : '\0';
}

double* coordinate(SpecialAperture& a, int field) {
    if (field == kFieldApertureAngle) return &a.angle;
    const int k = (field - kFieldApertureX1) / 2;
    return (field - kFieldApertureX1) % 2 == 0 ? &a.x[k] : &a.y[k];
}

// A number written as a cell, or plainly for an aperture that follows another.
void value(bool cell, int field, int index, double v) {
    if (cell) {
        sheet_number_cell(field, index, v);
    } else {
        text_number(v);
    }
    sheet_text("|");
}

void point_rows(const SpecialAperture& a, int index, int points) {
    const bool cells = !has_pickup(a);
    const int label = points == 3 ? -474 : -473;
    for (int axis = 0; axis < 2; ++axis) {
        const char c = axis == 0 ? 'X' : 'Y';
        if (axis == 1) text_spaces(12);
        if (points == 3) {
            print_msg(label, c, c, c);
        } else {
            print_msg(label, c, c, c, c);
        }
        text_spaces(12);
        sheet_text("|");
        for (int k = 0; k < points; ++k) {
            value(cells, kFieldApertureX1 + 2 * k + axis, index, axis == 0 ? a.x[k] : a.y[k]);
        }
        sheet_text("|");
        text_newline();
    }
}

void aperture_rows(const SpecialAperture& a, int index) {
    char t[64];
    const bool pickup = has_pickup(a);
    std::snprintf(t, sizeof t, "Ap Id:  %c", a.id_letter);
    sheet_text(t);
    sheet_text("   |  ");
    sheet_text("Pickup Srf:  ");
    text_hotspot(kPickupCell, index);
    if (!pickup) {
        sheet_text(" None ");
        sheet_text("  |");
    } else {
        std::snprintf(t, sizeof t, " %3d  ", a.pickup_source);
        sheet_text(t);
        sheet_text("  |  ");
        std::snprintf(t, sizeof t, "Pickup Ap Id:  %c", a.pickup_id_letter);
        sheet_text(t);
        sheet_text("     |");
    }
    text_newline();

    text_spaces(12);
    sheet_text("|  Type:   ");
    if (!pickup) text_hotspot(kShapeCell, index);
    const bool known_shape = a.shape >= kApertureEllipse && a.shape <= kApertureQuadrilateral;
    sheet_label(kMsgShape[known_shape ? a.shape : static_cast<std::uint8_t>(kApertureEllipse)]);
    sheet_text(" |  Action:  ");
    if (!pickup) text_hotspot(kActionCell, index);
    sheet_label(kMsgAction[a.action >= 1 && a.action <= 4 ? a.action : 4]);
    sheet_text(" | Group: ");
    text_hotspot(kFieldApertureGroup, index);
    std::snprintf(t, sizeof t, "%2d", a.group);
    sheet_text(t);
    sheet_text(" |");
    text_newline();

    text_spaces(12);
    if (a.shape == kApertureTriangle || a.shape == kApertureQuadrilateral) {
        point_rows(a, index, a.shape == kApertureTriangle ? 3 : 4);
        return;
    }
    print_msg(-472);
    text_spaces(12);
    sheet_text("|");
    const bool cells = !pickup;
    value(cells, kFieldApertureX1, index, a.x[0]);
    value(cells, kFieldApertureX1 + 2, index, a.x[1]);
    value(cells, kFieldApertureX1 + 1, index, a.y[0]);
    value(cells, kFieldApertureX1 + 3, index, a.y[1]);
    value(cells, kFieldApertureAngle, index, a.angle);
    sheet_text("|");
    text_newline();
}

// The count typed into its cell: 1 or 2, entries made or dropped to match.
int set_count(int typed) {
    SurfaceRecord& s = current();
    const int old = aperture_count(s);
    if (old == 0) return 0;
    const int count = std::clamp(typed, 1, kSheetApertureLimit);
    if (count != typed) status_msg(kMsgApertureCountClamped, typed, count);
    if (count == old) return 0;
    auto* grown = static_cast<SpecialAperture*>(
        mem_realloc(s.special_apertures, count, sizeof(SpecialAperture)));
    if (grown == nullptr) return kMsgOutOfMemory;
    s.special_apertures = grown;
    s.special_aperture_count = static_cast<std::int16_t>(count);
    for (int i = old; i < count; ++i) init_special_aperture(lens_data().current_surface, i);
    lens_flags().bounds_stale = 1;
    return 0;
}

int value_entered(const GridEvent& event) {
    const int field = grid_entry_field(event.field);
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    if (field == kFieldApertureCount) {
        if (event.first_index != lens_data().current_surface) return 0;
        return set_count(static_cast<int>(v));
    }
    SpecialAperture* a = aperture_at(event.first_index);
    if (a == nullptr) return 0;  // a stale cell
    if (field >= kFieldApertureX1 && field <= kFieldApertureAngle) {
        if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 0;
        *coordinate(*a, field) = v;
        set_special_aperture_orientation(*a);
        return 0;
    }
    if (field == kFieldApertureGroup) {
        const int group = static_cast<int>(v);
        if (group < 0 || group >= kGroupLimit) {
            status_msg(kMsgApertureGroupRefused, group);
            return 0;
        }
        a->group = static_cast<std::uint8_t>(group);
    }
    return 0;
}

// A button: 0 and the command it composed (empty when none runs). The command asks for the
// value ('?'), offering the present one.
int button(const GridEvent& event, std::string* line) {
    const int field = grid_entry_field(event.field);
    SpecialAperture* a = aperture_at(event.first_index);
    if (a == nullptr || letter(*a) == '\0') return 0;
    char t[16];
    switch (field) {
        case kFieldApertureShape: {
            const ArgCell shape = int_cell(a->shape);
            set_param_default(kParamApertureShape, &shape);
            std::snprintf(t, sizeof t, "ATP %c ?", letter(*a));
            *line = t;
            return 0;
        }
        case kFieldApertureAction: {
            const ArgCell action = int_cell(a->action);
            set_param_default(kParamApertureAction, &action);
            std::snprintf(t, sizeof t, "AAC %c ?", letter(*a));
            *line = t;
            return 0;
        }
        case kFieldAperturePickup:
            if (has_pickup(*a)) {
                a->pickup_source = 0;
                a->pickup_id_letter = ' ';
                return 0;
            }
            std::snprintf(t, sizeof t, "APK %c ?", letter(*a));
            *line = t;
            return 0;
        default:
            return 0;
    }
}

int close_event(int end_mode) {
    SurfaceRecord& s = current();
    int rc = 0;
    if (aperture_count(s) > 0 && end_mode < 1) {
        bool all_empty = true;
        for (int i = 0; i < aperture_count(s); ++i)
            all_empty = all_empty && aperture_unset(s.special_apertures[i]);
        if (all_empty) free_apertures(s);
    }
    if (end_mode != 1) rc = lens_setup_or_error();
    const int restored = sheet_close(g_sheet.kit, end_mode);
    return rc != 0 ? rc : restored;
}

int cell_text(GridEvent& event) {
    const int field = grid_entry_field(event.field);
    if (field == kFieldApertureCount) {
        char t[16];
        std::snprintf(t, sizeof t, "%d", aperture_count(current()));
        sheet_edit_text(event, t);
        return 0;
    }
    SpecialAperture* a = aperture_at(event.first_index);
    if (a == nullptr) return 0;
    if (field >= kFieldApertureX1 && field <= kFieldApertureAngle) {
        sheet_edit_text(event, format_number(*coordinate(*a, field), 2, 0));
    } else if (field == kFieldApertureGroup) {
        char t[16];
        std::snprintf(t, sizeof t, "%d", a->group);
        sheet_edit_text(event, t);
    }
    return 0;
}

int activated(const GridEvent& event) {
    if (grid_entry_field(event.field) == kFieldApertureDeleteAll) {
        free_apertures(current());
        build_level_display();
        return 0;
    }
    std::string line;
    if (const int rc = button(event, &line); rc != 0) return rc;
    if (!line.empty()) {
        if (const int rc = run_command_string(line.c_str(), 0); rc != 0) return rc;
    }
    return sheet_after_change(g_sheet.kit);
}

const SheetEvents kEvents{
    .opening =
        [] {
            g_sheet.kit.print = write_special_aperture_sheet;
            return 0;
        },
    .cell_text = cell_text,
    .edited =
        [](const GridEvent& event) {
            if (const int rc = value_entered(event); rc != 0) return rc;
            return sheet_after_change(g_sheet.kit);
        },
    .activated = activated,
    .typed =
        [](const char*, const GridEvent& event) {
            const int rc = sheet_run_line(event);
            return rc != 0 ? rc : sheet_after_change(g_sheet.kit);
        },
    .quiet_otherwise = true,
    .types_empty_lines = true,
    .closing = close_event,
};

}  // namespace

SpecialApertureSheetState& special_aperture_sheet_state() {
    return g_sheet;
}

void reset_special_aperture_sheet() {
    sheet_release_copy(g_sheet.kit, 0);
    g_sheet = SpecialApertureSheetState{};
}

int open_special_aperture_sheet() {
    sheet_take_copy(g_sheet.kit);
    const SurfaceRecord& s = current();
    if (aperture_count(s) == 0) {
        const CommandHandler handler = handler_table().slots[kSlotSpecialAperture];
        int rc = handler == nullptr ? set_error_msg(kMsgUnknownCommand, kSlotSpecialAperture) : 0;
        if (rc == 0) {
            ScratchCallScope scope;
            ArgCell** cells = scope.scratch();
            *cells[0] = int_cell(1);
            set_arg_vector(cells, 1);
            set_current_command(kCmdApnL);
            rc = handler();
        }
        if (rc != 0) {
            sheet_release_copy(g_sheet.kit, 1);
            return rc;
        }
    }
    if (const int rc = push_command_level(special_aperture_event, kSpecialApertureRows, 0);
        rc != 0) {
        return rc;
    }
    status_msg(kMsgSpecialApertureStatus);
    return 0;
}

void write_special_aperture_sheet() {
    const int n = lens_data().current_surface;
    const SurfaceRecord& s = surface(n);
    sheet_set_title(kHelpTopic, kMsgSpecialApertureTitle);
    print_sheet_surface_heading();
    sheet_label(-1076);
    text_hotspot(kFieldApertureCount, n);
    char t[16];
    std::snprintf(t, sizeof t, " %2d ", aperture_count(s));
    sheet_text(t);
    text_newline();
    for (int i = 0; i < aperture_count(s); ++i) aperture_rows(s.special_apertures[i], i);
    text_hotspot(kDeleteAllCell, 0);
    sheet_label(-469);
}

int special_aperture_event(GridEvent& event) {
    return sheet_dispatch(g_sheet.kit, kEvents, event);
}

namespace {
const platform::StateReset special_aperture_sheet_state_reset{
    "entry/special_aperture_sheet", reset_special_aperture_sheet, platform::ResetLayer::feature};
}  // namespace
