#include "entry/coefficient_sheets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "entry/asphere_entry.h"
#include "entry/special_sheets.h"
#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "lens/surface_groups.h"
#include "lens/surface_pickups.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
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
    lens_flags().bounds_stale = 1;
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

namespace {

int standard_opening() {
    const int n = current_index();
    SurfaceRecord& s = current();
    special_sheet_begin(g_sheets.standard_asphere, standard_asphere(s));
    // The asphere's terms are the surface's own: a picked-up curvature becomes plain.
    clear_curvature_pickup(n);
    if (!standard_asphere(s)) {
        if (const int rc = alloc_asphere_record(n, kAsphereEven, 0); rc != 0) return rc;
        lens_setup_or_error();
    }
    return 0;
}

int standard_cell_text(GridEvent& event) {
    if (const int k = term_of(grid_entry_field(event.field)); k >= 0) {
        special_sheet_number_text(event, term(current(), k));
    }
    return 0;
}

int standard_edited(const GridEvent& event) {
    const int k = term_of(grid_entry_field(event.field));
    if (k < 0 || (event.value_type != kGridValueDouble && event.value_type != kGridValueInt))
        return 0;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    set_polynomial_asphere_term(current_index(), 4 + 2 * k, v);
    g_sheets.standard_asphere.changed = true;
    return sheet_after_change(g_sheets.standard_asphere);
}

const SheetEvents kStandardAsphereEvents = special_sheet_events({
    .opening = standard_opening,
    .cell_text = standard_cell_text,
    .edited = standard_edited,
    .activated =
        [](const GridEvent&) {
            free_asphere();
            return special_sheet_record_gone();
        },
    // A typed line that took the asphere away (or made another kind) ends the sheet.
    .typed =
        [](const char*, const GridEvent& event) {
            return special_sheet_typed(g_sheets.standard_asphere, event,
                                       [](int n) { return standard_asphere(surface(n)); });
        },
    .closing =
        [](int end_mode) {
            return special_sheet_end(g_sheets.standard_asphere, end_mode, terms_all_zero(),
                                     free_asphere);
        },
});

}  // namespace

int standard_asphere_sheet_event(GridEvent& event) {
    g_sheets.standard_asphere.print = print_standard_asphere_sheet;
    return sheet_dispatch(g_sheets.standard_asphere, kStandardAsphereEvents, event);
}

// --- the other aspheres -------------------------------------------------------------------

namespace {

constexpr int kAsphereTitle = -583;
constexpr int kAsphereHelp = -kHelpTopicPolynomialAsphereSheet;
constexpr int kZernikeNote = -942;
constexpr int kHighestPowerNote = -903;
constexpr int kConeConstant = -574;
constexpr int kConeConstantX = -575;
constexpr int kConeConstantY = -576;
constexpr int kEvenTermLabel = -406;
constexpr int kRadialTermLabel = -1021;
constexpr int kOddTermLabel = -569;
constexpr int kZernikeTermLabel = -899;
constexpr int kAsphereDelete = -408;
constexpr int kSplineTitle = -802;
constexpr int kSplineHelp = -kHelpTopicSplineProfileSheet;
constexpr int kSplinePointsLabel = -1077;
constexpr int kSplinePointLabel = -804;
constexpr int kSplineHeightLabel = -805;
constexpr int kSplineSagLabel = -806;
constexpr int kSplineDelete = -803;
constexpr int kGroupSize = 5;
constexpr int kNewSplinePoints = 4;

// The kind and order each of the choices 11 to 22 makes.
struct AsphereChoice {
    int kind;
    int order;
};
constexpr AsphereChoice kAsphereChoices[12] = {
    {kAsphereSeries, 10}, {kAsphereXy, 10},           {kAsphereRadial, 10}, {kAsphereAbsXy, 10},
    {kAsphereOdd, 10},    {kAsphereToricX, 10},       {kAsphereToricY, 10}, {kAsphereBiconic, 10},
    {kAsphereCone, 10},   {kAsphereEllipticCone, 10}, {kAsphereZernike, 5}, {kAsphereZernikeXy, 16},
};
constexpr int kFirstAsphereChoice = 11;

// The kinds whose records the allocator sizes by an order.
bool kind_has_order(int kind) {
    return kind == kAsphereSeries || kind == kAsphereOdd || kind == kAsphereCone ||
           kind == kAsphereZernike || kind == kAsphereRadial;
}

int coefficient_count(const SurfaceRecord& s) {
    return s.asphere != nullptr && s.asphere->entered != nullptr
               ? std::max<int>(0, s.asphere->entered_count)
               : 0;
}

// The order as the order row shows it and the order cell takes it.
int shown_order(const AsphereRecord& a) {
    const int c = a.entered_count;
    switch (a.kind) {
        case kAsphereSeries:
            return 2 * c - 2;
        case kAsphereOdd:
            return c + 2;
        case kAsphereCone:
            return c > 1 ? c + 1 : 0;
        case kAsphereZernike:
            return c - 1;
        case kAsphereRadial:
            return c - 1;
        default:
            return 0;
    }
}

// The label of coefficient i with its blanks, as its kind writes it (nothing for kinds without
// labels).
void coefficient_label(int kind, int i) {
    switch (kind) {
        case kAsphereSeries:
            text_spaces(2 * i < 10 ? 4 : 3);
            print_msg(kEvenTermLabel, i, 2 * i);
            text_spaces(2 * i < 20 ? 3 : 2);
            return;
        case kAsphereRadial:
            text_spaces(2 * i < 20 ? 4 : 3);
            print_msg(kRadialTermLabel, i, i);
            text_spaces(2 * i < 20 ? 3 : 2);
            return;
        case kAsphereOdd:
            text_spaces(i + 3 < 10 ? 3 : 2);
            print_msg(kOddTermLabel, i + 3, i + 3);
            text_spaces(i + 3 < 10 ? 3 : 2);
            return;
        case kAsphereCone:
            text_spaces(i + 2 < 10 ? 3 : 2);
            print_msg(kOddTermLabel, i + 2, i + 2);
            text_spaces(i + 2 < 10 ? 3 : 2);
            return;
        case kAsphereZernike:
        case kAsphereZernikeXy:
            text_spaces(6);
            print_msg(kZernikeTermLabel, i);
            text_spaces(2 * i < 20 ? 6 : 5);
            return;
        default:
            return;
    }
}

bool labelled(int kind) {
    return kind == kAsphereSeries || kind == kAsphereRadial || kind == kAsphereOdd ||
           kind == kAsphereCone || kind == kAsphereZernike || kind == kAsphereZernikeXy;
}

// Coefficients first..c-1 in groups of five: a label line, a line of cells, a blank line.
void coefficient_block(const AsphereRecord& a, int first, int c) {
    for (int group = first; group < c; group += kGroupSize) {
        const int end = std::min(c, group + kGroupSize);
        for (int i = group; i < end; ++i) {
            coefficient_label(a.kind, i);
            if (labelled(a.kind) && i - group < kGroupSize - 1) sheet_text("|");
        }
        text_newline();
        for (int i = group; i < end; ++i) {
            if (i > group) sheet_text("|");
            text_spaces(2);
            sheet_number_cell(kFieldAsphereCoefficient, i, a.entered[i]);
            text_spaces(2);
        }
        text_newline();
        text_newline();
    }
}

void cone_rows(const AsphereRecord& a) {
    text_spaces(7);
    sheet_label(kConeConstant);
    text_spaces(5);
    sheet_text("|");
    if (a.kind == kAsphereEllipticCone) {
        text_spaces(7);
        sheet_label(kConeConstantX);
        text_spaces(5);
        sheet_text("|");
        text_spaces(7);
        sheet_label(kConeConstantY);
        text_spaces(5);
        sheet_text("|");
    }
    text_newline();
    const int c = a.entered_count;
    text_spaces(2);
    if (c > 0) sheet_number_cell(kFieldAsphereCoefficient, 0, a.entered[0]);
    sheet_text("  |  ");
    if (a.kind == kAsphereEllipticCone && c > 2) {
        sheet_number_cell(kFieldAsphereCoefficient, 2, a.entered[2]);
        sheet_text("  |  ");
        sheet_number_cell(kFieldAsphereCoefficient, 1, a.entered[1]);
        sheet_text("  |");
    }
    text_newline();
    text_newline();
}

void drop_toric_data(SurfaceRecord& s) {
    const int k = s.asphere != nullptr ? s.asphere->kind : -1;
    if (k == kAsphereToricX || k == kAsphereToricY || k == kAsphereBiconic) {
        s.x_curvature = 0.0;
        s.x_conic = 0.0;
        s.toric = 0;
    }
}

// --- spline profile ---------------------------------------------------------------------------

int point_count(const SurfaceRecord& s) {
    return s.spline != nullptr ? std::max(0, s.spline->count) : 0;
}

void spline_pair(const SplineRecord& p, int first, int last) {
    for (int i = first; i <= last; ++i) {
        if (i < 10) sheet_text(" ");
        print_msg(kSplinePointLabel, i);
        if (i % 2 == 0 && i < last) sheet_text("|");
    }
    text_newline();
    for (int i = first; i <= last; ++i) {
        sheet_label(kSplineHeightLabel);
        sheet_text("|");
        sheet_label(kSplineSagLabel);
        if (i == first && i < last) sheet_text("|");
    }
    text_newline();
    for (int i = first; i <= last; ++i) {
        text_spaces(4);
        if (i == 0) {
            text_number(p.radius[i]);
        } else {
            sheet_number_cell(kFieldSplineHeight, i, p.radius[i]);
        }
        sheet_text("    |    ");
        sheet_number_cell(kFieldSplineSag, i, p.slope[i]);
        if (i == first && i < last) sheet_text("    |");
    }
    text_newline();
    text_newline();
}

}  // namespace

int asphere_sheet_rows(int kind, int count) {
    if (kind == kAsphereCone) return (count - 2) / 5 * 3 + 10;
    if (kind == kAsphereEllipticCone) return (count - 4) / 5 * 3 + 10;
    return (count - 1) / 5 * 3 + 7;
}

int spline_sheet_rows(int points) {
    return (points / 2 + points % 2) * 4 + 3;
}

int open_asphere_sheet(int choice) {
    const int index = choice - kFirstAsphereChoice;
    if (index < 0 || index >= 12) return 0;
    const AsphereChoice c = kAsphereChoices[index];
    const SurfaceRecord& s = current();
    const bool kept_as_it_is = s.asphere != nullptr && s.asphere->kind != kAsphereEven;
    // A kind without an order is made by its commands only: the sheet opens on one, never
    // makes it.
    const SpecialRecordMaker maker{[](int n) { return surface(n).asphere != nullptr; },
                                   kind_has_order(c.kind) ? alloc_asphere_record : nullptr, c.kind,
                                   c.order};
    return special_sheet_open_on(g_sheets.asphere, !kept_as_it_is, maker, asphere_sheet_event, [] {
        const SurfaceRecord& r = current();
        return asphere_sheet_rows(r.asphere->kind, coefficient_count(r));
    });
}

int open_spline_sheet() {
    const int n = current_index();
    SurfaceRecord& s = current();
    if (s.asphere != nullptr) {
        if (ask_msg(kMsgSplineReplacesAsphere, n) != 0) return 0;
        free_asphere();
    }
    SheetKit& kit = g_sheets.spline;
    sheet_take_copy(kit);
    if (s.spline == nullptr) {
        // A new profile has its points still at 0, which the set-up refuses: it runs when the
        // points have been typed and the sheet is left.
        if (const int rc = alloc_spline_record(n, kNewSplinePoints); rc != 0) {
            sheet_release_copy(kit, 0);
            return rc;
        }
    }
    return push_command_level(spline_sheet_event, spline_sheet_rows(point_count(s)), 0);
}

void print_asphere_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    sheet_set_title(kAsphereHelp, kAsphereTitle);
    print_sheet_surface_heading();
    if (s.asphere == nullptr || s.asphere->entered == nullptr) return;
    const AsphereRecord& a = *s.asphere;
    if (a.kind == kAsphereZernike || a.kind == kAsphereZernikeXy) {
        sheet_label(kZernikeNote);
        text_newline();
    }
    if (const char* keyword = asphere_kind_keyword(a.kind); keyword[0] != '\0') {
        text_printf("%s ", keyword);
        text_hotspot(kFieldAsphereOrder, n);
        char t[16];
        std::snprintf(t, sizeof t, " %3d ", shown_order(a));
        sheet_text(t);
        if (a.kind == kAsphereOdd || a.kind == kAsphereCone || a.kind == kAsphereRadial) {
            text_spaces(3);
            sheet_label(kHighestPowerNote);
        }
        text_newline();
    }
    const int c = coefficient_count(s);
    if (a.kind == kAsphereCone || a.kind == kAsphereEllipticCone) {
        cone_rows(a);
        coefficient_block(a, a.kind == kAsphereCone ? 1 : 3, c);
    } else {
        coefficient_block(a, 0, c);
    }
    sheet_button_msg(kGridKindButton | kFieldPolynomialDelete, 0, kAsphereDelete);
    text_newline();
}

namespace {

int asphere_cell_text(GridEvent& event) {
    const SurfaceRecord& s = current();
    if (s.asphere == nullptr) return 0;
    const int field = grid_entry_field(event.field);
    if (field == kFieldAsphereOrder) {
        char t[16];
        std::snprintf(t, sizeof t, "%d", shown_order(*s.asphere));
        sheet_edit_text(event, t);
    } else if (field == kFieldAsphereCoefficient && event.first_index >= 0 &&
               event.first_index < coefficient_count(s)) {
        special_sheet_number_text(event, s.asphere->entered[event.first_index]);
    }
    return 0;
}

int asphere_edited(const GridEvent& event) {
    const int n = current_index();
    SurfaceRecord& s = current();
    if (s.asphere == nullptr) return 0;
    if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 0;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    const int field = grid_entry_field(event.field);
    if (field == kFieldAsphereOrder) {
        if (v < 0 || v != static_cast<int>(v)) return 0;
        if (const int rc = alloc_asphere_record(n, s.asphere->kind, static_cast<int>(v)); rc != 0) {
            return rc;
        }
    } else if (field == kFieldAsphereCoefficient) {
        // A cell of a coefficient the record no longer has changes nothing.
        if (event.first_index < 0 || event.first_index >= coefficient_count(s)) return 0;
        s.asphere->entered[event.first_index] = v;
    } else {
        return 0;
    }
    if (s.asphere != nullptr) s.asphere->changed = 1;
    g_sheets.asphere.changed = true;
    if (s.asphere == nullptr) return special_sheet_record_gone();
    return sheet_after_change(g_sheets.asphere);
}

const SheetEvents kAsphereEvents = special_sheet_events({
    .cell_text = asphere_cell_text,
    .edited = asphere_edited,
    .activated =
        [](const GridEvent&) {
            drop_toric_data(current());
            free_asphere();
            return special_sheet_record_gone();
        },
    .typed =
        [](const char*, const GridEvent& event) {
            return special_sheet_typed(g_sheets.asphere, event,
                                       [](int n) { return surface(n).asphere != nullptr; });
        },
});

}  // namespace

int asphere_sheet_event(GridEvent& event) {
    g_sheets.asphere.print = print_asphere_sheet;
    return sheet_dispatch(g_sheets.asphere, kAsphereEvents, event);
}

void print_spline_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    sheet_set_title(kSplineHelp, kSplineTitle);
    print_sheet_surface_heading();
    if (s.spline == nullptr) return;
    const int c = point_count(s);
    sheet_label(kSplinePointsLabel);
    text_hotspot(kFieldSplinePoints, n);
    char t[16];
    std::snprintf(t, sizeof t, " %3d ", c - 1);
    sheet_text(t);
    text_newline();
    for (int i = 0; i < c; i += 2) spline_pair(*s.spline, i, std::min(c - 1, i + 1));
    sheet_button_msg(kGridKindButton | kFieldSplineDelete, 0, kSplineDelete);
    text_newline();
}

namespace {

int spline_cell_text(GridEvent& event) {
    const SurfaceRecord& s = current();
    if (s.spline == nullptr) return 0;
    const int field = grid_entry_field(event.field);
    const int i = event.first_index;
    char t[32] = {};
    if (field == kFieldSplinePoints) {
        std::snprintf(t, sizeof t, "%d", point_count(s) - 1);
    } else if ((field == kFieldSplineHeight || field == kFieldSplineSag) && i >= 0 &&
               i < point_count(s)) {
        std::snprintf(
            t, sizeof t, "%s",
            format_number(field == kFieldSplineHeight ? s.spline->radius[i] : s.spline->slope[i], 2,
                          0));
    } else {
        return 0;
    }
    sheet_edit_text(event, t);
    return 0;
}

int spline_edited(const GridEvent& event) {
    const int n = current_index();
    SurfaceRecord& s = current();
    if (s.spline == nullptr) return 0;
    if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 0;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    const int field = grid_entry_field(event.field);
    const int i = event.first_index;
    if (field == kFieldSplinePoints) {
        if (v <= 0 || v != static_cast<int>(v)) return 0;
        if (const int rc = resize_spline_record(n, static_cast<int>(v)); rc != 0) return rc;
    } else if (field == kFieldSplineHeight && i >= 1 && i < point_count(s)) {
        s.spline->radius[i] = v;
    } else if (field == kFieldSplineSag && i >= 0 && i < point_count(s)) {
        s.spline->slope[i] = v;
    } else {
        return 0;
    }
    s.spline->changed = 1;
    g_sheets.spline.changed = true;
    return sheet_rewrite(g_sheets.spline);
}

// A typed line is not followed by a set-up: a profile whose points are still being typed would
// fail it.
int spline_typed(const char*, const GridEvent& event) {
    const int n = current_index();
    if (const int rc = sheet_run_line(event); rc != 0) return rc;
    if (surface(n).spline == nullptr) return special_sheet_record_gone();
    return sheet_rewrite(g_sheets.spline);
}

// The set-up runs once the sheet is left, on the lens as it is then.
int spline_closing(int end_mode) {
    const int restored = special_sheet_end(g_sheets.spline, end_mode, false, nullptr);
    const int setup = lens_setup_or_error();
    return restored != 0 ? restored : setup;
}

const SheetEvents kSplineEvents = special_sheet_events({
    .cell_text = spline_cell_text,
    .edited = spline_edited,
    .activated =
        [](const GridEvent&) {
            free_surface_spline(current_index());
            return special_sheet_record_gone();
        },
    .typed = spline_typed,
    .closing = spline_closing,
});

}  // namespace

int spline_sheet_event(GridEvent& event) {
    g_sheets.spline.print = print_spline_sheet;
    return sheet_dispatch(g_sheets.spline, kSplineEvents, event);
}

// --- diffractive surfaces ---------------------------------------------------------------------

namespace {

constexpr int kDiffractiveTitle = -588;
constexpr int kZernikePhaseTitle = -678;
constexpr int kDiffractiveHelp = -kHelpTopicDiffractiveSheet;
constexpr int kZernikePhaseHelp = -kHelpTopicZernikePhaseSheet;
constexpr int kOrderLabel = -430;
constexpr int kWavelengthLabel = -431;
constexpr int kXyTermsNote = -904;
constexpr int kZernikeSwitchLabel = -1036;
constexpr int kDiffractiveEvenLabel = -427;
constexpr int kDiffractiveRadialLabel = -901;
constexpr int kDiffractiveTermLabel = -666;
constexpr int kDiffractiveDelete = -429;
constexpr int kZernikePhaseDelete = -667;
constexpr int kDesignWavelengthRefused = -3160;
constexpr int kFirstDiffractiveChoice = 27;
constexpr int kLastDiffractiveChoice = 33;

// Kinds 0 to 6 of a diffractive record; 4 and 5 are Zernike phase surfaces.
constexpr int kDoeEven = 0;
constexpr int kDoeXy = 1;
constexpr int kDoeRadial = 2;
constexpr int kDoeAbsXy = 3;
constexpr int kZoeRadial = 4;
constexpr int kZoeXy = 5;
constexpr int kDoeUser = 6;

struct DiffractiveChoice {
    int kind;
    int order;
};
constexpr DiffractiveChoice kDiffractiveChoices[7] = {
    {kDoeEven, 10},  {kDoeXy, 10}, {kDoeRadial, 10}, {kDoeAbsXy, 10},
    {kZoeRadial, 5}, {kZoeXy, 16}, {kDoeUser, 10},
};

bool zernike_kind(int kind) {
    return kind == kZoeRadial || kind == kZoeXy;
}

// The kinds whose records the allocator sizes by an order.
bool diffractive_has_order(int kind) {
    return kind == kDoeEven || kind == kDoeRadial || kind == kZoeRadial;
}

int diffractive_count(const SurfaceRecord& s) {
    return s.diffractive != nullptr && s.diffractive->entered != nullptr
               ? std::max<int>(0, s.diffractive->entered_count)
               : 0;
}

int shown_diffractive_order(const DiffractiveRecord& d) {
    const int f = d.entered_count;
    switch (d.kind) {
        case kDoeEven:
            return 2 * f - 2;
        case kDoeXy:
        case kDoeAbsXy:
            return static_cast<int>((std::sqrt(8.0 * f + 1.0) - 3.0) / 2.0);
        case kDoeRadial:
            return f - 1;
        case kZoeRadial:
        case kZoeXy:
            return f - 1;
        default:
            return 0;
    }
}

const char* diffractive_keyword(int kind) {
    constexpr const char* kWords[7] = {"DOE DFR", "DOE DFX", "DOE DRA", "DOE DXA",
                                       "ZOE ZRR", "ZOE ZRX", nullptr};
    return kind >= 0 && kind < 7 ? kWords[kind] : nullptr;
}

void diffractive_label(int kind, int i) {
    if (kind == kDoeEven) {
        text_spaces(2 * i < 10 ? 4 : 3);
        print_msg(kDiffractiveEvenLabel, i, 2 * i);
        text_spaces(2 * i < 20 ? 3 : 2);
    } else if (kind == kDoeRadial) {
        text_spaces(2 * i < 20 ? 4 : 3);
        print_msg(kDiffractiveRadialLabel, i, i);
        text_spaces(2 * i < 20 ? 3 : 2);
    } else {
        text_spaces(6);
        print_msg(kDiffractiveTermLabel, i);
        text_spaces(2 * i < 20 ? 6 : 5);
    }
}

void free_diffractive(SurfaceRecord& s) {
    mem_free(s.diffractive);
    s.diffractive = nullptr;
    // The order and the values a diffractive pickup copies go with the record.
    s.diffraction_order = 0;
    s.diffraction_word = 0;
    s.grating_companion = 0.0;
    lens_flags().bounds_stale = 1;
}

}  // namespace

int diffractive_sheet_rows(int kind, int count) {
    if (zernike_kind(kind)) return ((count - 1) / 5 + 3) * 3;
    return (count - 1) / 5 * 3 + 8;
}

int open_diffractive_sheet(int choice) {
    if (choice < kFirstDiffractiveChoice || choice > kLastDiffractiveChoice) return 0;
    const DiffractiveChoice c = kDiffractiveChoices[choice - kFirstDiffractiveChoice];
    const SurfaceRecord& s = current();
    // A record of the choice's family stays as it is; one of the other family is replaced.
    const bool kept_as_it_is =
        s.diffractive != nullptr && zernike_kind(s.diffractive->kind) == zernike_kind(c.kind);
    const SpecialRecordMaker maker{
        [](int n) { return surface(n).diffractive != nullptr; },
        diffractive_has_order(c.kind) ? alloc_diffractive_record : nullptr, c.kind, c.order};
    return special_sheet_open_on(
        g_sheets.diffractive, !kept_as_it_is, maker, diffractive_sheet_event, [] {
            const SurfaceRecord& r = current();
            return diffractive_sheet_rows(r.diffractive->kind, diffractive_count(r));
        });
}

void print_diffractive_sheet() {
    const int n = current_index();
    const SurfaceRecord& s = current();
    const DiffractiveRecord* d = s.diffractive;
    const bool zernike = d != nullptr && zernike_kind(d->kind);
    if (zernike) {
        sheet_set_title(kZernikePhaseHelp, kZernikePhaseTitle);
    } else {
        sheet_set_title(kDiffractiveHelp, kDiffractiveTitle);
    }
    print_sheet_surface_heading();
    if (d == nullptr) return;
    if (zernike) {
        sheet_label(kZernikeNote);
        text_newline();
    }
    char t[16];
    if (const char* keyword = diffractive_keyword(d->kind)) sheet_text(keyword);
    text_spaces(1);
    text_hotspot(kFieldDiffractiveOrder, n);
    std::snprintf(t, sizeof t, " %3d ", shown_diffractive_order(*d));
    sheet_text(t);
    text_spaces(5);
    sheet_label(kOrderLabel);
    sheet_int_cell(kFieldDiffractionOrder, n, s.diffraction_order, 3);
    text_spaces(5);
    sheet_label(kWavelengthLabel);
    sheet_number_cell(kFieldDesignWavelength, n, d->design_wavelength);
    text_newline();
    if (d->kind == kDoeRadial || d->kind == kDoeAbsXy) {
        sheet_label(d->kind == kDoeRadial ? kHighestPowerNote : kXyTermsNote);
        text_newline();
    }
    if (zernike) {
        sheet_label(kZernikeSwitchLabel);
        text_hotspot(kGridKindButton | kFieldZernikeSwitch, n);
        text_printf(d->zernike_switch != 0 ? "  %s " : " %s ",
                    d->zernike_switch != 0 ? "On" : "Off");
        text_newline();
    }
    const int c = diffractive_count(s);
    const int cell =
        zernike || d->kind == kDoeUser ? kFieldZernikeCoefficient : kFieldDiffractiveCoefficient;
    for (int group = 0; group < c; group += kGroupSize) {
        const int end = std::min(c, group + kGroupSize);
        for (int i = group; i < end; ++i) {
            diffractive_label(d->kind, i);
            if (i - group < kGroupSize - 1) sheet_text("|");
        }
        text_newline();
        for (int i = group; i < end; ++i) {
            if (i > group) sheet_text("|");
            text_spaces(2);
            sheet_number_cell(cell, i, d->entered[i]);
            text_spaces(2);
        }
        text_newline();
        text_newline();
    }
    sheet_button_msg(kGridKindButton | kFieldDiffractiveDelete, 0,
                     zernike ? kZernikePhaseDelete : kDiffractiveDelete);
    text_newline();
}

namespace {

int diffractive_cell_text(GridEvent& event) {
    const SurfaceRecord& s = current();
    const DiffractiveRecord* d = s.diffractive;
    if (d == nullptr) return 0;
    const int field = grid_entry_field(event.field);
    const int i = event.first_index;
    char t[32] = {};
    if (field == kFieldDiffractiveOrder) {
        std::snprintf(t, sizeof t, "%d", shown_diffractive_order(*d));
    } else if (field == kFieldDiffractionOrder) {
        std::snprintf(t, sizeof t, "%d", s.diffraction_order);
    } else if (field == kFieldDesignWavelength) {
        std::snprintf(t, sizeof t, "%s", format_number(d->design_wavelength, 2, 0));
    } else if ((field == kFieldDiffractiveCoefficient || field == kFieldZernikeCoefficient) &&
               i >= 0 && i < diffractive_count(s)) {
        std::snprintf(t, sizeof t, "%s", format_number(d->entered[i], 2, 0));
    } else {
        return 0;
    }
    sheet_edit_text(event, t);
    return 0;
}

int diffractive_edited(const GridEvent& event) {
    SheetKit& kit = g_sheets.diffractive;
    const int n = current_index();
    SurfaceRecord& s = current();
    DiffractiveRecord* d = s.diffractive;
    if (d == nullptr) return 0;
    if (event.value_type != kGridValueDouble && event.value_type != kGridValueInt) return 0;
    const double v = event.value_type == kGridValueInt ? event.value.i : event.value.d;
    const int field = grid_entry_field(event.field);
    const int i = event.first_index;
    if (field == kFieldDiffractiveCoefficient || field == kFieldZernikeCoefficient) {
        if (i < 0 || i >= diffractive_count(s)) return 0;
        d->entered[i] = v;
    } else if (field == kFieldDesignWavelength) {
        if (v <= 0.0) {
            status_msg(kDesignWavelengthRefused, v);
            return sheet_rewrite(kit);
        }
        d->design_wavelength = v;
    } else if (field == kFieldDiffractionOrder) {
        s.diffraction_order = static_cast<std::int32_t>(v);
    } else if (field == kFieldDiffractiveOrder) {
        if (v < 0 || v != static_cast<int>(v)) return 0;
        if (const int rc = alloc_diffractive_record(n, d->kind, static_cast<int>(v)); rc != 0) {
            return rc;
        }
    } else {
        return 0;
    }
    if (s.diffractive == nullptr) return special_sheet_record_gone();
    s.diffractive->changed = 1;
    kit.changed = true;
    return sheet_after_change(kit);
}

int diffractive_button(const GridEvent& event) {
    SurfaceRecord& s = current();
    const int field = grid_entry_field(event.field);
    if (field == kFieldZernikeSwitch) {
        if (s.diffractive == nullptr) return 0;
        s.diffractive->zernike_switch = s.diffractive->zernike_switch != 0 ? 0 : 1;
        g_sheets.diffractive.changed = true;
        return sheet_after_change(g_sheets.diffractive);
    }
    if (field != kFieldDiffractiveDelete) return 0;
    free_diffractive(s);
    return special_sheet_record_gone();
}

const SheetEvents kDiffractiveEvents = special_sheet_events({
    .cell_text = diffractive_cell_text,
    .edited = diffractive_edited,
    .activated = diffractive_button,
    .typed =
        [](const char*, const GridEvent& event) {
            return special_sheet_typed(g_sheets.diffractive, event,
                                       [](int n) { return surface(n).diffractive != nullptr; });
        },
});

}  // namespace

int diffractive_sheet_event(GridEvent& event) {
    g_sheets.diffractive.print = print_diffractive_sheet;
    return sheet_dispatch(g_sheets.diffractive, kDiffractiveEvents, event);
}
