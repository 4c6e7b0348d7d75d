#include "entry/hologram_grin_sheets.h"

#include <cstdio>

#include "entry/sheet_values.h"
#include "entry/special_sheets.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_reset.h"
#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

constexpr int kHologramTitle = -587;
constexpr int kHologramHelp = -1009;
constexpr int kPointLabel = -396;
constexpr int kPointAxesLabel = -397;
constexpr int kHologramDelete = -398;

HologramGrinSheetsState g_sheets;

const platform::StateReset hologram_grin_sheets_state_reset{
    "entry/hologram_grin_sheets", reset_hologram_grin_sheets, platform::ResetLayer::feature};

int current_index() {
    return lens_data().current_surface;
}

SurfaceRecord& current() {
    return surface(current_index());
}

bool hologram_empty() {
    const HologramRecord* h = current().hologram;
    if (h == nullptr) return false;
    for (int k = 0; k < 3; ++k) {
        if (h->first_point[k] != 0.0 || h->second_point[k] != 0.0) return false;
    }
    return true;
}

void free_hologram() {
    SurfaceRecord& s = current();
    mem_free(s.hologram);
    s.hologram = nullptr;
}

void point_rows(const HologramRecord& h, int p) {
    const int n = current_index();
    const bool is_virtual = (p == 1 ? h.first_point_virtual : h.second_point_virtual) != 0;
    const int flag_item = p == 1 ? kCmdHv1L : kCmdHv2L;
    const int first_cell = p == 1 ? kCmdHx1L : kCmdHx2L;
    const double* point = p == 1 ? h.first_point : h.second_point;
    print_msg(kPointLabel, p);
    text_newline();
    print_message_text(" %s ", flag_item);
    text_hotspot(kGridKindButton | flag_item, n);
    text_printf("%s", is_virtual ? " Virtual " : "   Real  ");
    text_newline();
    print_msg(kPointAxesLabel, p, p, p);
    text_newline();
    sheet_text(" | ");
    for (int k = 0; k < 3; ++k) {
        sheet_number_cell(first_cell + k, n, point[k]);
        sheet_text(" | ");
    }
    text_newline();
}

}  // namespace

HologramGrinSheetsState& hologram_grin_sheets_state() {
    return g_sheets;
}

void reset_hologram_grin_sheets() {
    sheet_release_copy(g_sheets.hologram, 0);
    g_sheets = HologramGrinSheetsState{};
}

void print_hologram_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    sheet_set_title(kHologramHelp, kHologramTitle);
    print_sheet_surface_heading();
    if (s.hologram == nullptr) return;
    const HologramRecord& h = *s.hologram;
    print_message_text("%s     ", kCmdHorL);
    sheet_int_cell(kCmdHorL, n, h.order, 3);
    text_spaces(10);
    print_message_text("%s    ", kCmdHwvL);
    sheet_number_cell(kCmdHwvL, n, h.wavelength);
    text_newline();
    text_newline();
    point_rows(h, 1);
    text_newline();
    point_rows(h, 2);
    sheet_button_msg(kGridKindButton | kFieldHologramDelete, 0, kHologramDelete);
    text_newline();
}

int hologram_sheet_event(GridEvent& event) {
    SheetKit& kit = g_sheets.hologram;
    kit.print = print_hologram_sheet;
    const int n = current_index();
    SurfaceRecord& s = current();
    const int field = grid_entry_field(event.field);
    switch (event.code) {
        case kLevelEventShown:
            special_sheet_begin(kit, s.hologram != nullptr);
            if (s.hologram == nullptr) {
                auto* h = alloc_array_of<HologramRecord>(1);
                if (h == nullptr) return set_error_msg(kMsgNoSpecialDataMemory);
                *h = {};
                s.hologram = h;
                reset_hologram_record(n);
            }
            return sheet_open(kit);
        case kLevelEventMayClose:
            return sheet_may_close(kit);
        case kLevelEventChange:
            return special_sheet_end(kit, event.argument, hologram_empty(), free_hologram);
        case kLevelEventCellChanged: {
            if (s.hologram == nullptr) return 0;
            if (field == kCmdHorL) {
                char t[16];
                std::snprintf(t, sizeof t, "%d", get_lens_int_value(kCmdHorL, n));
                sheet_edit_text(event, t);
            } else if (field >= kCmdHwvL && field <= kCmdHz2L) {
                special_sheet_number_text(event, get_lens_value(field, n));
            }
            return 0;
        }
        case kLevelEventActivate:
            if (s.hologram == nullptr) return 0;
            if (field == kCmdHv1L || field == kCmdHv2L) {
                std::int8_t& flag = field == kCmdHv1L ? s.hologram->first_point_virtual
                                                      : s.hologram->second_point_virtual;
                flag = flag != 0 ? 0 : 1;
                kit.changed = true;
                return sheet_after_change(kit);
            }
            if (field != kFieldHologramDelete) return 0;
            free_hologram();
            return special_sheet_record_gone();
        case kLevelEventEdited: {
            HologramRecord* h = s.hologram;
            if (h == nullptr) return 0;
            if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 0;
            const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
            if (field == kCmdHorL) {
                h->order = static_cast<std::int32_t>(v);
            } else if (field == kCmdHwvL) {
                h->wavelength = v;
            } else if (field >= kCmdHx1L && field <= kCmdHz1L) {
                h->first_point[field - kCmdHx1L] = v;
            } else if (field >= kCmdHx2L && field <= kCmdHz2L) {
                h->second_point[field - kCmdHx2L] = v;
            } else {
                return 0;
            }
            kit.changed = true;
            return sheet_after_change(kit);
        }
        case kLevelEventTypedText: {
            const int rc = sheet_run_line(event);
            if (rc != 0) return rc;
            if (s.hologram == nullptr) return special_sheet_record_gone();
            return sheet_after_change(kit);
        }
        default:
            return 0;
    }
}
