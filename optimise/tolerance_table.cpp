#include "optimise/tolerance_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_items.h"
#include "lens/surface_tolerances.h"
#include "optimise/element_tolerance_sheet.h"
#include "optimise/lens_elements.h"
#include "optimise/tolerance_defaults.h"
#include "optimise/tolerance_items.h"
#include "optimise/tolerance_sheet.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;

enum AngleUnit : int { kDegrees = 0, kRadians = 1, kMinutes = 2, kSeconds = 3 };

bool is_zero(double v) {
    return std::fabs(v) < kTiny;
}

// Digits of the integer part of |v| as the fixed form with d decimals prints it; an integer
// part of 0 needs none.
int integer_digits(double a, int d) {
    const double scale = std::pow(10.0, d);
    const double rounded = std::floor(a * scale + 0.5) / scale;
    int digits = 0;
    for (double x = rounded; x >= 1.0; x /= 10.0) ++digits;
    return digits;
}

// A zero in a column while Print_zero is off: the column's dash text, as wide as its field.
const char* dashes(int width) {
    switch (width) {
        case 9:
            return "     --   ";
        case 8:
            return "    --   ";
        case 5:
            return "   -- ";
        default:
            return "   --  ";
    }
}

void field(double v, int width, int decimals) {
    text_out(tolerance_field_text(v, width, decimals).c_str());
}

int angle_unit() {
    const int u = lens_data().tolerance_angle_units;
    return u >= kDegrees && u <= kSeconds ? u : kDegrees;
}

bool air_before(int s) {
    const SurfaceRecord& before = surface(s - 1);
    return before.index == nullptr || before.index[0] == 1.0;
}

SurfaceRange range_of_arguments() {
    const ArgCell* last = arg_cell(2);
    return tolerance_surface_range(arg_int(0) != 0, arg_int(1), arg_int(2),
                                   last != nullptr && last->status == kArgGiven);
}

// Which class marks the table printed, for the notes under it.
struct Markers {
    bool class2 = false;
    bool class3 = false;
};

void table_surface(int s, const int* marks, Markers& seen) {
    const SurfaceRecord& r = surface(s);
    const bool image = s == lens_data().image_surface;
    const SurfaceTolerances t = surface_tolerances_shown(s, marks);
    const int d = tolerance_angle_decimals();
    text_printf("%3d", s);
    field(is_zero(r.curvature) ? 0.0 : 1.0 / r.curvature, 9, 4);
    field(t.values[kTolRdt], 6, 4);
    for (const int k : {kTolSpt, kTolIrt}) {
        const char mark = tolerance_fringe_mark(s, k, t);
        seen.class2 = seen.class2 || mark == '*';
        seen.class3 = seen.class3 || mark == '#';
        text_out(tolerance_fringe_text(t.values[k], mark).c_str());
    }
    field(r.thickness, 8, 4);
    field(t.values[kTolTht], 6, 4);
    text_out(" ");
    if (image) {
        text_spaces(17);
    } else {
        text_out(tolerance_medium_text(s).c_str());
        field(t.values[kTolRnt], 6, 4);
    }
    field(t.values[kTolDct], 6, 4);
    field(t.values[kTolTlt], 6, d);
    text_newline();
    text_spaces(3);
    field(r.conic, 9, 4);
    field(t.values[kTolCct], 6, 4);
    text_spaces(21);
    if (image) {
        text_spaces(7);
    } else {
        field(t.values[kTolDzt], 6, 4);
    }
    text_spaces(11);
    if (image) {
        text_spaces(7);
    } else {
        field(t.values[kTolVnt], 6, 4);
    }
    field(t.values[kTolDxt], 6, 4);
    field(t.values[kTolTbt], 6, d);
    text_newline();
}

void element_row(int s, const int* marks) {
    const ElementTolerancesShown e = element_tolerances_shown(s, marks);
    const SurfaceTolerances* own = surface(s).tolerances;
    text_printf("%3d ", s);
    if (e.mark == kElementFirst) {
        print_number_cell(e.values[kTolCdy]);
        print_number_cell(e.values[kTolCdx]);
    } else {
        text_spaces(24);
    }
    text_spaces(2);
    print_number_cell(own != nullptr ? own->values[kTolCaa] : 0.0);
    print_number_cell(own != nullptr ? own->values[kTolCab] : 0.0);
    text_spaces(2);
    print_number_cell(e.values[kTolCca]);
    print_number_cell(e.values[kTolCcb]);
    text_newline();
    if (e.mark == kElementFirst) {
        text_newline();
    } else {
        print_msg(kMsgToleranceSeparator);
    }
}

}  // namespace

std::string tolerance_field_text(double v, int width, int decimals) {
    if (is_zero(v) && output_option(kOptionPrintZero) == 0) return dashes(width);
    return tolerance_number_text(v, width, decimals, 0);
}

std::string tolerance_fringe_text(double v, char mark) {
    if (mark == ' ') return tolerance_field_text(v, 5, 2);
    return tolerance_number_text(v, 5, 2, 1) + mark;
}

char tolerance_fringe_mark(int s, int k, const SurfaceTolerances& shown) {
    const LensData& l = lens_data();
    if (tolerance_given(&shown, k) || s < 1 || s >= l.image_surface || surface_is_inert(s)) {
        return ' ';
    }
    const int c = diameter_class(l.units * surface(s).aperture_radius);
    return c == 2 ? '*' : c == 3 ? '#' : ' ';
}

int tolerance_angle_decimals() {
    const int u = angle_unit();
    return u == kMinutes || u == kSeconds ? 2 : 4;
}

void print_tolerance_angle_note() {
    switch (angle_unit()) {
        case kRadians:
            print_msg(kMsgToleranceAnglesRadians);
            break;
        case kMinutes:
            print_msg(kMsgToleranceAnglesMinutes);
            break;
        case kSeconds:
            print_msg(kMsgToleranceAnglesSeconds);
            break;
        default:
            print_msg(kMsgToleranceAnglesDegrees);
            break;
    }
}

std::string tolerance_medium_text(int s) {
    const SurfaceRecord& r = surface(s);
    std::string name(r.medium_name, strnlen(r.medium_name, kMediumNameLength));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    char text[kMediumNameLength + 1];
    std::snprintf(text, sizeof text, "%10.10s", name.c_str());
    return text;
}

std::string tolerance_number_text(double value, int width, int decimals, int flag) {
    const char* lead = flag == 0 ? " " : "";
    char text[64];
    if (value == 0.0) {
        std::snprintf(text, sizeof text, "%s%*.1f", lead, width, 0.0);
        return text;
    }
    const double a = std::fabs(value);
    const int room = width - decimals - 1 - (value < 0.0 ? 1 : 0);
    if (!std::isfinite(value) || integer_digits(a, decimals) > room ||
        a < std::pow(10.0, -decimals)) {
        return std::string(flag == 0 ? "  " : " ") + format_number(value, 3, 0);
    }
    int d = decimals;
    if (value < 0.0 && d >= 1) --d;
    if (width < 6) {
        if (a >= 100.0) {
            d = 0;
        } else if (a >= 10.0) {
            d = std::min(d, 1);
        }
    }
    std::snprintf(text, sizeof text, "%s%*.*f", lead, width, d, value);
    return text;
}

void print_tolerance_number(double value, int width, int decimals, int flag) {
    text_out(tolerance_number_text(value, width, decimals, flag).c_str());
}

SurfaceRange tolerance_surface_range(bool all, int first, int last, bool last_given) {
    const int image = lens_data().image_surface;
    if (all) return {1, image};
    if (!last_given) last = image;
    if (first == 0) first = last == 0 ? image : 1;
    if (last == 0 && first == image) last = image;
    first = std::clamp(first, 1, std::max(1, image));
    last = std::min(std::max(last, first), image);
    return {first, last};
}

int cmd_tolerance_table() {
    const LensData& l = lens_data();
    const SurfaceRange range = range_of_arguments();
    const std::vector<int> marks = lens_element_marks();
    print_msg(kMsgToleranceTableTitle);
    text_printf("%s\n", l.title);
    print_msg(kMsgToleranceTableHead);
    print_msg(kMsgToleranceTableHeadSecond);
    Markers seen;
    bool first = true;
    for (int s = range.first; s <= range.last; ++s) {
        const SurfaceRecord& r = surface(s);
        if (r.group_kind == kGroupNonSequential && r.group_role == kRoleInner) continue;
        if (!first) {
            if (air_before(s)) {
                print_msg(kMsgToleranceSeparator);
            } else {
                text_newline();
            }
        }
        first = false;
        table_surface(s, marks.data(), seen);
    }
    print_msg(kMsgToleranceTestWavelength, l.test_wavelength);
    text_newline();
    print_msg(kMsgToleranceDefaultsNote);
    if (seen.class2) print_msg(kMsgToleranceMarkerClass2);
    if (seen.class3) print_msg(kMsgToleranceMarkerClass3);
    text_spaces(2);
    print_tolerance_angle_note();
    return 0;
}

int cmd_element_tolerances() {
    const LensData& l = lens_data();
    const std::vector<int> marks = lens_element_marks();
    if (std::count(marks.begin(), marks.end(), kElementLast) == 0) return kMsgNoLensElement;
    const SurfaceRange range = range_of_arguments();
    print_msg(kMsgElementTolerancesTitle);
    text_printf("%s\n", l.title);
    print_msg(kMsgElementTolerancesHead);
    print_msg(kMsgElementTolerancesHeadSecond);
    for (int s = range.first; s <= range.last && s < l.image_surface; ++s) {
        if (marks[s] == kElementFirst || marks[s] == kElementLast) element_row(s, marks.data());
    }
    print_tolerance_angle_note();
    return 0;
}

void install_tolerance_tables() {
    set_handler(kSlotToleranceTable, cmd_tolerance_table);
    set_handler(kSlotElementTolerances, cmd_element_tolerances);
    set_handler(kSlotOpenToleranceSheet, cmd_open_tolerance_sheet);
    set_handler(kSlotOpenElementToleranceSheet, cmd_open_element_tolerance_sheet);
    set_tolerance_item_resolver(tolerance_item_shown);
}
