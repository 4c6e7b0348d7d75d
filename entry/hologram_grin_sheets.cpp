#include "entry/hologram_grin_sheets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "entry/grin_entry.h"
#include "entry/grin_prepare.h"
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
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "ui/grid_cells.h"

namespace {

constexpr int kHologramTitle = -587;
constexpr int kHologramHelp = -kHelpTopicHologramSheet;
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

namespace {

int hologram_opening() {
    const int n = current_index();
    SurfaceRecord& s = current();
    special_sheet_begin(g_sheets.hologram, s.hologram != nullptr);
    if (s.hologram == nullptr) {
        auto* h = alloc_array_of<HologramRecord>(1);
        if (h == nullptr) return set_error_msg(kMsgNoSpecialDataMemory);
        *h = {};
        s.hologram = h;
        reset_hologram_record(n);
    }
    return 0;
}

int hologram_cell_text(GridEvent& event) {
    const int n = current_index();
    if (current().hologram == nullptr) return 0;
    const int field = grid_entry_field(event.field);
    if (field == kCmdHorL) {
        char t[16];
        std::snprintf(t, sizeof t, "%d", get_lens_int_value(kCmdHorL, n));
        sheet_edit_text(event, t);
    } else if (field >= kCmdHwvL && field <= kCmdHz2L) {
        special_sheet_number_text(event, get_lens_value(field, n));
    }
    return 0;
}

int hologram_button(const GridEvent& event) {
    SurfaceRecord& s = current();
    if (s.hologram == nullptr) return 0;
    const int field = grid_entry_field(event.field);
    if (field == kCmdHv1L || field == kCmdHv2L) {
        std::int8_t& flag =
            field == kCmdHv1L ? s.hologram->first_point_virtual : s.hologram->second_point_virtual;
        flag = flag != 0 ? 0 : 1;
        g_sheets.hologram.changed = true;
        return sheet_after_change(g_sheets.hologram);
    }
    if (field != kFieldHologramDelete) return 0;
    free_hologram();
    return special_sheet_record_gone();
}

int hologram_edited(const GridEvent& event) {
    HologramRecord* h = current().hologram;
    if (h == nullptr) return 0;
    if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 0;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    const int field = grid_entry_field(event.field);
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
    g_sheets.hologram.changed = true;
    return sheet_after_change(g_sheets.hologram);
}

const SheetEvents kHologramEvents = special_sheet_events({
    .opening = hologram_opening,
    .cell_text = hologram_cell_text,
    .edited = hologram_edited,
    .activated = hologram_button,
    .typed =
        [](const char*, const GridEvent& event) {
            return special_sheet_typed(g_sheets.hologram, event,
                                       [](int n) { return surface(n).hologram != nullptr; });
        },
    .closing =
        [](int end_mode) {
            return special_sheet_end(g_sheets.hologram, end_mode, hologram_empty(), free_hologram);
        },
});

}  // namespace

int hologram_sheet_event(GridEvent& event) {
    g_sheets.hologram.print = print_hologram_sheet;
    return sheet_dispatch(g_sheets.hologram, kHologramEvents, event);
}

// --- gradient index ---------------------------------------------------------------------------

namespace {

constexpr int kGrinTitle = -589;
constexpr int kStepLabel = -443;
constexpr int kGwvLabel = -910;
constexpr int kGmzLabel = -961;
constexpr int kGozLabel = -962;
constexpr int kAxialTableLabel = -444;
constexpr int kRadialTableLabel = -445;
constexpr int kRadialColumnLabel = -446;
constexpr int kFirstAxialSeriesLabel = -963;
constexpr int kSecondAxialSeriesLabel = -964;
constexpr int kSeriesTableLabel = -911;
constexpr int kGrinDelete = -447;
constexpr int kGwvRefused = -3161;
constexpr double kTiny = 1e-40;
constexpr int kFirstGrinChoice = 35;
constexpr int kLastGrinChoice = 46;
// The first radial row (NR1) and the first axial row (NZ1) of the coefficient matrix.
constexpr int kRadialRow = 0;
constexpr int kAxialRow = 4;
// In the general kind's 28 coefficients: GRA1..4, GRB1..4, GRC1..4, GRD1..4, then GNZ0..11.
constexpr int kSeriesRows = 4;
constexpr int kAxialSeriesFirst = 16;
constexpr int kAxialSeriesCount = 12;

struct GrinChoice {
    int kind;
    int count;
};
constexpr GrinChoice kGrinChoices[12] = {{1, 0}, {2, 0}, {10, 0}, {11, 28}, {3, 0}, {8, 0},
                                         {9, 0}, {4, 0}, {5, 0},  {6, 0},   {7, 0}, {12, 10}};

int wavelength_count() {
    return std::max(0, lens_data().wavelength_count);
}

bool has_axial_table(int kind) {
    return kind == kGrinArg || kind == kGrinAeg || kind == kGrinSns || kind == kGrinTap;
}

bool four_radial_columns(int kind) {
    return kind == kGrinArg || kind == kGrinAeg || kind == kGrinSph || kind == kGrinSns ||
           kind == kGrinTap || kind == kGrinSel;
}

bool has_radial_table(int kind) {
    return kind != kGrinUsr && kind != kGrinGrd && kind != kGrinUserGrid;
}

int grin_help(int kind) {
    switch (kind) {
        case kGrinArg:
            return -kHelpTopicGrinAxialRadialSheet;
        case kGrinWod:
            return -kHelpTopicGrinWodSheet;
        case kGrinSel:
            return -kHelpTopicGrinSelSheet;
        case kGrinGrd:
            return -kHelpTopicGrinGrdSheet;
        default:
            return 0;
    }
}

const char* grin_keyword(int kind) {
    switch (kind) {
        case kGrinArg:
            return "GDT ARG";
        case kGrinWod:
            return "GDT WOD";
        case kGrinSel:
            return "GDT SEL";
        case kGrinGrd:
            return "GDT GRD";
        default:
            return "";
    }
}

// The coefficient a per-wavelength cell stands for, or null for a stale one.
double* coefficient_at(GrinRecord& g, int field, int w) {
    if (g.coefficients == nullptr || w < 0 || w >= wavelength_count()) return nullptr;
    if (field >= kCmdNr1L && field <= kCmdNr4L)
        return &g.coefficients[kRadialRow + field - kCmdNr1L][w];
    if (field >= kCmdNz1L && field <= kCmdNz4L)
        return &g.coefficients[kAxialRow + field - kCmdNz1L][w];
    return nullptr;
}

// The general kind's coefficient a cell stands for: 617-620 row r (1..4) of the GRA..GRD
// columns, 622 GNZ index.
double* series_at(GrinRecord& g, int field, int index) {
    if (field >= kCmdGra_L && field <= kCmdGrd_L) {
        if (index < 1 || index > kSeriesRows) return nullptr;
        return &g.grd[(field - kCmdGra_L) * kSeriesRows + index - 1];
    }
    if (field == kCmdGnz_L) {
        if (index < 0 || index >= kAxialSeriesCount) return nullptr;
        return &g.grd[kAxialSeriesFirst + index];
    }
    return nullptr;
}

void wavelength_row_start(int w) {
    char t[16];
    std::snprintf(t, sizeof t, "%3d", w + 1);
    sheet_text(t);
    sheet_text(" | ");
    text_number(lens_data().wavelengths[w].wavelength);
    sheet_text(" | ");
}

void axial_series_row(const GrinRecord& g, int label, int first) {
    sheet_label(label);
    text_spaces(1);
    for (int i = first; i < first + 6; ++i) {
        sheet_text(i == first ? "|" : "| ");
        sheet_number_cell(kCmdGnz_L, i, g.grd[kAxialSeriesFirst + i]);
    }
    sheet_text("|");
    text_newline();
}

}  // namespace

int grin_sheet_rows(int kind, int count, int wavelengths) {
    if (kind == kGrinGrd) return 18;
    if (kind == kGrinUserGrid) return count <= 0 ? 5 : (count - 1) / 5 * 3 + 8;
    if (kind == kGrinArg || kind == kGrinAeg || kind == kGrinUsr || kind == kGrinSns ||
        kind == kGrinTap) {
        return 2 * wavelengths + 8;
    }
    return wavelengths + 6;
}

int open_grin_sheet(int choice) {
    if (choice < kFirstGrinChoice || choice > kLastGrinChoice) return 0;
    const GrinChoice c = kGrinChoices[choice - kFirstGrinChoice];
    const SpecialRecordMaker maker{[](int n) { return surface(n).grin != nullptr; }, set_grin_kind,
                                   c.kind, c.count};
    return special_sheet_open_on(g_sheets.grin, current().grin == nullptr, maker, grin_sheet_event,
                                 [] {
                                     const GrinRecord& g = *current().grin;
                                     return grin_sheet_rows(g.kind, g.count, wavelength_count());
                                 });
}

void print_grin_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    const int kind = s.grin != nullptr ? s.grin->kind : 0;
    sheet_set_title(grin_help(kind), kGrinTitle);
    print_sheet_surface_heading();
    if (s.grin == nullptr) return;
    const GrinRecord& g = *s.grin;
    const int w_count = wavelength_count();
    text_printf("%-18s", grin_keyword(kind));
    text_spaces(kind == kGrinGrd ? 1 : 5);
    sheet_label(kStepLabel);
    sheet_number_cell(kCmdDthL, n, g.step);
    if (kind == kGrinGrd) {
        text_spaces(5);
        sheet_label(kGwvLabel);
        sheet_number_cell(kCmdGwvL, n, g.gwv);
        text_newline();
        text_spaces(13);
        sheet_label(kGmzLabel);
        sheet_number_cell(kCmdGmzL, n, g.gmz);
        sheet_label(kGozLabel);
        sheet_number_cell(kCmdGozL, n, g.goz);
        text_newline();
    } else {
        text_newline();
        text_newline();
    }
    if (has_axial_table(kind) && g.coefficients != nullptr) {
        sheet_label(kAxialTableLabel);
        text_newline();
        for (int w = 0; w < w_count; ++w) {
            wavelength_row_start(w);
            for (int k = 0; k < 4; ++k) {
                if (k > 0) sheet_text(" | ");
                sheet_number_cell(kCmdNz1L + k, w, g.coefficients[kAxialRow + k][w]);
            }
            sheet_text(" |");
            text_newline();
        }
        text_newline();
    }
    if (has_radial_table(kind) && g.coefficients != nullptr) {
        sheet_label(four_radial_columns(kind) ? kRadialTableLabel : kRadialColumnLabel);
        text_newline();
        const int columns = four_radial_columns(kind) ? 4 : 1;
        for (int w = 0; w < w_count; ++w) {
            wavelength_row_start(w);
            for (int k = 0; k < columns; ++k) {
                if (k > 0) sheet_text(" | ");
                sheet_number_cell(kCmdNr1L + k, w, g.coefficients[kRadialRow + k][w]);
            }
            sheet_text(" |");
            text_newline();
        }
    }
    if (kind == kGrinGrd) {
        axial_series_row(g, kFirstAxialSeriesLabel, 0);
        axial_series_row(g, kSecondAxialSeriesLabel, 6);
        text_newline();
        sheet_label(kSeriesTableLabel);
        text_newline();
        for (int r = 1; r <= kSeriesRows; ++r) {
            char t[16];
            text_spaces(9);
            std::snprintf(t, sizeof t, "|%2d  | ", r);
            sheet_text(t);
            for (int col = 0; col < 4; ++col) {
                if (col > 0) sheet_text(" | ");
                sheet_number_cell(kCmdGra_L + col, r, g.grd[col * kSeriesRows + r - 1]);
            }
            sheet_text(" |");
            text_newline();
        }
        text_newline();
    }
    sheet_button_msg(kGridKindButton | kFieldGrinDelete, 0, kGrinDelete);
    text_newline();
}

namespace {

int grin_cell_text(GridEvent& event) {
    SurfaceRecord& s = current();
    if (s.grin == nullptr) return 0;
    GrinRecord& g = *s.grin;
    const int field = grid_entry_field(event.field);
    const int index = event.first_index;
    const double* v = nullptr;
    if (field == kCmdDthL) v = &g.step;
    if (field == kCmdGwvL) v = &g.gwv;
    if (field == kCmdGmzL) v = &g.gmz;
    if (field == kCmdGozL) v = &g.goz;
    if (v == nullptr) v = coefficient_at(g, field, index);
    if (v == nullptr && g.kind == kGrinGeneralSeries) v = series_at(g, field, index);
    if (v != nullptr) special_sheet_number_text(event, *v);
    return 0;
}

int grin_edited(const GridEvent& event) {
    SurfaceRecord& s = current();
    if (s.grin == nullptr) return 0;
    if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 0;
    GrinRecord& g = *s.grin;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    const int field = grid_entry_field(event.field);
    const int index = event.first_index;
    if (field == kCmdDthL) {
        g.step = std::fabs(v);
    } else if (field == kCmdGwvL) {
        if (v <= kTiny) {
            status_msg(kGwvRefused, v);
            return sheet_rewrite(g_sheets.grin);
        }
        g.gwv = v;
    } else if (field == kCmdGmzL) {
        g.gmz = v;
    } else if (field == kCmdGozL) {
        g.goz = v;
    } else if (double* c = coefficient_at(g, field, index)) {
        *c = v;
    } else if (double* c = g.kind == kGrinGeneralSeries ? series_at(g, field, index) : nullptr) {
        *c = v;
    } else {
        return 0;  // a cell of a wavelength or coefficient that is gone
    }
    g_sheets.grin.changed = true;
    return sheet_after_change(g_sheets.grin);
}

// The medium is made ready for the trace as the sheet is left, whatever the end.
int grin_closing(int end_mode) {
    const int n = current_index();
    if (surface(n).grin != nullptr) prepare_grin_record(n);
    return special_sheet_end(g_sheets.grin, end_mode, false, nullptr);
}

const SheetEvents kGrinEvents = special_sheet_events({
    .cell_text = grin_cell_text,
    .edited = grin_edited,
    .activated =
        [](const GridEvent& event) {
            if (grid_entry_field(event.field) != kFieldGrinDelete) return 0;
            free_surface_grin(current_index());
            return special_sheet_record_gone();
        },
    .typed =
        [](const char*, const GridEvent& event) {
            return special_sheet_typed(g_sheets.grin, event,
                                       [](int n) { return surface(n).grin != nullptr; });
        },
    .closing = grin_closing,
});

}  // namespace

int grin_sheet_event(GridEvent& event) {
    g_sheets.grin.print = print_grin_sheet;
    return sheet_dispatch(g_sheets.grin, kGrinEvents, event);
}
