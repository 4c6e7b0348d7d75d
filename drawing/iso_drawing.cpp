#include "drawing/iso_drawing.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "drawing/element_drawing.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_text.h"
#include "lens/glass_catalog.h"
#include "lens/lens_data.h"
#include "lens/surface_tolerances.h"
#include "numeric/math_functions.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"
#include "tables/table_names.h"

namespace {

struct IsoDrawingState {
    ElementGeometry geometry;
    ElementDrawingFrames frames;
};

IsoDrawingState& state() {
    static IsoDrawingState s;
    return s;
}

const platform::StateReset iso_drawing_state_reset{"drawing/iso_drawing", reset_iso_drawing,
                                                   platform::ResetLayer::feature};

// Arc minutes per lens angle unit: degrees, radians, minutes, seconds.
constexpr double kMinutesPerAngleUnit[4] = {60.0, 3437.746770784939, 1.0, 1.0 / 60.0};
// Form and irregularity in fringes, centring in arc minutes, by diameter class (ISO 10110
// practice as the tolerance defaults have it).
constexpr double kFormFringes[kDiameterClasses] = {5.0, 10.0, 10.0, 10.0};
constexpr double kIrregularityFringes[kDiameterClasses] = {1.0, 2.0, 2.0, 2.0};
constexpr double kCentringMinutes[kDiameterClasses] = {30.0, 20.0, 10.0, 10.0};
constexpr double kThicknessTolerance[kDiameterClasses] = {0.1, 0.2, 0.4, 0.8};

struct SpectralLine {
    double nm;
    const char* name;
};
constexpr SpectralLine kSpectralLines[] = {
    {1014.0, "t"}, {852.1, "s"}, {706.5, "r"}, {656.3, "C"}, {643.8, "C'"},
    {589.3, "D"},  {587.6, "d"}, {546.1, "e"}, {486.1, "F"}, {480.0, "F'"},
    {435.8, "g"},  {404.7, "h"}, {365.0, "i"},
};

// Page layout of the drawing: the profile above, the table below (viewport fractions).
constexpr FrameBox kProfileViewport{0.05, 0.95, 0.5, 0.98, 0};
constexpr FrameBox kTableViewport{0.02, 0.98, 0.02, 0.48, 0};
constexpr double kTableLinePitch = 1.5;
constexpr int kProfileSteps = 30;

double r6(double v) {
    return round_significant(v, 6);
}

bool tolerance_set(const SurfaceRecord& s, int value) {
    return s.tolerances != nullptr && s.tolerances->switches[value] != 0;
}

double tolerance_value(const SurfaceRecord& s, int value) {
    return s.tolerances != nullptr ? s.tolerances->values[value] : 0.0;
}

// The medium behind surface n is glass (not air, no mirror, an index other than 1).
bool glass_behind(int n) {
    if (n < 0 || n > lens_data().image_surface) return false;
    const SurfaceRecord& s = surface(n);
    if (s.medium_kind == kMediumAir || s.medium_kind == kMediumMirror) return false;
    return s.index != nullptr && s.index[0] != 1.0;
}

bool same_element_group(int a, int b) {
    const LensData& l = lens_data();
    if (a < 0 || b < 0 || a > l.image_surface || b > l.image_surface) return false;
    const SurfaceRecord& sa = surface(a);
    const SurfaceRecord& sb = surface(b);
    return sa.group_kind == kGroupNonSequential && sb.group_kind == kGroupNonSequential &&
           sa.element_number != 0 && sa.element_number == sb.element_number;
}

// The catalogue a glass was found in, by the name of its file.
std::string catalogue_name(int catalog) {
    const std::string& path = glass_catalog_file(catalog);
    std::string stem = path.substr(path.find_last_of('/') + 1);
    stem = stem.substr(0, stem.find('.'));
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return stem;
}

std::string glass_text(const SurfaceRecord& s) {
    std::string name = trimmed(s.medium_name, sizeof s.medium_name);
    char padded[kGlassNameLength + 1];
    pad_glass_name(name.c_str(), padded);
    int catalog = 0;
    if (!name.empty() && find_glass(padded, catalog) >= 0) {
        const std::string maker = catalogue_name(catalog);
        return maker.empty() ? name : name + " " + maker;
    }
    if (!name.empty() && name[0] == '_') name.erase(0, 1);
    return name;
}

void side_geometry(ElementSideGeometry& g, int n, int other, double units) {
    const SurfaceRecord& s = surface(n);
    const SurfaceRecord& o = surface(other);
    g.surface = n;
    g.radius = s.curvature != 0.0 ? r6(units / s.curvature) : 0.0;
    g.radius_tolerance = r6(tolerance_value(s, kTolRdt) * units);
    const double own = std::fabs(s.aperture_radius) * units;
    // The element's edge reaches the larger rim of its two surfaces; a sphere ends at its
    // hemisphere.
    double full = std::max(own, std::fabs(o.aperture_radius) * units);
    double clear = own;
    if (g.radius != 0.0) {
        full = std::min(full, std::fabs(g.radius));
        clear = std::min(clear, std::fabs(g.radius));
    }
    g.clear_diameter = r6(2.0 * clear);
    g.full_diameter = r6(2.0 * full);
    const int c = diameter_class(clear);
    g.form_fringes = tolerance_set(s, kTolSpt) ? tolerance_value(s, kTolSpt) : kFormFringes[c];
    g.irregularity_fringes =
        tolerance_set(s, kTolIrt) ? tolerance_value(s, kTolIrt) : kIrregularityFringes[c];
    const int unit = std::clamp(lens_data().tolerance_angle_units, 0, 3);
    g.centring_minutes = tolerance_set(s, kTolTlt)
                             ? r6(tolerance_value(s, kTolTlt) * kMinutesPerAngleUnit[unit])
                             : kCentringMinutes[c];
}

// "%.Nf" with trailing zeros dropped down to one decimal, a negative zero as zero, and the
// decimal comma when the setting asks for it.
std::string decimal_text(double value, int decimals, bool drop_zero) {
    char text[64];
    const double scale = std::pow(10.0, decimals);
    double v = std::round(value * scale) / scale;
    if (v == 0.0) v = 0.0;  // no "-0"
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    std::string t = text;
    const std::size_t point = t.find('.');
    if (point != std::string::npos) {
        while (t.size() > point + 2 && t.back() == '0') t.pop_back();
        if (drop_zero && t.size() == point + 2 && t.back() == '0') t.erase(point);
    }
    if (get_setting_flag(kSetElementDrawingCommas) != 0) std::replace(t.begin(), t.end(), '.', ',');
    return t;
}

std::string whole(int value) {
    return std::to_string(value);
}

const ElementDrawing* record() {
    const ElementGeometry& g = state().geometry;
    if (g.first < 0 || g.first > lens_data().image_surface) return nullptr;
    return surface(g.first).element_drawing;
}

int rms_count(const ElementSide& s) {
    int n = 0;
    for (const double r : s.rms) n += r != 0.0 ? 1 : 0;
    return n;
}

int imperfection_sizes(const ElementSide& s) {
    return (s.imperfection_size != 0.0 ? 1 : 0) + (s.coating_size != 0.0 ? 1 : 0) +
           (s.scratch_width != 0.0 ? 1 : 0) + (s.edge_chip != 0.0 ? 1 : 0);
}

// The sag of a sphere of radius r at height h (the rim of a hemisphere beyond it).
double sag(double r, double h) {
    if (r == 0.0) return 0.0;
    const double q = std::max(r * r - h * h, 0.0);
    return r - std::copysign(std::sqrt(q), r);
}

// Text of the profile, and of the table, whose columns take lines of some 24 characters: set
// closer than the usual pitch of 10 units, so that its letters can be drawn large enough to be
// read in a window of 640 pixels.
constexpr double kProfileTextSize = 1.4;
constexpr double kTableTextSize = 1.2;
constexpr double kTableExtraPitch = -3;

void text_at(double x, double y, int anchor, const std::string& text) {
    gfx_set_text_size(kProfileTextSize, 0, 0);
    gfx_set_text_anchor(anchor, 0);
    gfx_move_to(x, y);
    gfx_printf("%s", text.c_str());
}

// A text of the table in its cell, `width` of the table wide: drawn smaller when it would not
// fit, rather than running over the cell's lines.
void table_text(double x, double y, int anchor, const std::string& text, double width) {
    gfx_set_text_size(kTableTextSize, kTableExtraPitch, 0);
    gfx_set_text_anchor(anchor, 0);
    gfx_move_to(x, y);
    gfx_print_within(width, text);
}

void line(double x0, double y0, double x1, double y1) {
    gfx_move_to(x0, y0);
    gfx_draw_to(x1, y1);
}

// A dimension line with arrow heads at both ends.
void dimension(double x0, double y0, double x1, double y1, double head) {
    line(x0, y0, x1, y1);
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double length = std::hypot(dx, dy);
    if (length <= 0.0) return;
    const double ux = dx / length * head;
    const double uy = dy / length * head;
    for (int end = 0; end < 2; ++end) {
        const double px = end == 0 ? x0 : x1;
        const double py = end == 0 ? y0 : y1;
        const double sx = end == 0 ? 1.0 : -1.0;
        line(px, py, px + sx * ux - 0.4 * uy, py + sx * uy + 0.4 * ux);
        line(px, py, px + sx * ux + 0.4 * uy, py + sx * uy - 0.4 * ux);
    }
}

void draw_profile(const ElementDrawing& e) {
    const ElementGeometry& g = state().geometry;
    const double t = g.thickness;
    const double rl = g.sides[0].radius;
    const double rr = g.sides[1].radius;
    const double half = 0.5 * e.diameter;
    const double ledge = sag(rl, half);
    const double redge = t + sag(rr, half);
    double xmin = std::min({0.0, ledge, t, redge});
    double xmax = std::max({0.0, ledge, t, redge});
    const double span = std::max({xmax - xmin, 2.0 * half, 1e-6});
    FrameBox world{xmin - 0.6 * span, xmax + 0.6 * span, -0.9 * span, 0.9 * span, 1};
    FrameBox viewport = kProfileViewport;
    gfx_frame(1, 1, &viewport);
    gfx_frame(1, 2, &world);
    state().frames.profile_viewport = viewport;
    gfx_frame(2, 2, &state().frames.profile_world);
    // The two profiles from one edge to the other.
    for (int side = 0; side < 2; ++side) {
        const double r = side == 0 ? rl : rr;
        const double x0 = side == 0 ? 0.0 : t;
        double xs[kProfileSteps + 1];
        double ys[kProfileSteps + 1];
        for (int k = 0; k <= kProfileSteps; ++k) {
            const double h = -half + 2.0 * half * k / kProfileSteps;
            xs[k] = x0 + sag(r, h);
            ys[k] = h;
        }
        gfx_polyline(xs, ys, kProfileSteps + 1, 0);
    }
    // The edges between the rims.
    line(ledge, half, redge, half);
    line(ledge, -half, redge, -half);
    // The axis, dash-dotted, with its datum label.
    gfx_set_line_style(4);
    line(xmin - 0.3 * span, 0.0, xmax + 0.3 * span, 0.0);
    gfx_set_line_style(0);
    text_at(xmax + 0.35 * span, 0.0, 2, "@A P");
    const double head = 0.04 * span;
    // Centre thickness below the element.
    const double below = -half - 0.25 * span;
    line(0.0, 0.0, 0.0, below - 0.05 * span);
    line(t, 0.0, t, below - 0.05 * span);
    dimension(0.0, below, t, below, head);
    text_at(0.5 * t, below - 0.1 * span, 5,
            element_number_text(t) + " @t" + element_number_text(g.thickness_tolerance));
    // The element diameter at the right.
    const double right = xmax + 0.2 * span;
    line(redge, half, right + 0.05 * span, half);
    line(redge, -half, right + 0.05 * span, -half);
    dimension(right, -half, right, half, head);
    std::string diameter = "@p " + element_number_text(e.diameter);
    if (std::fabs(e.upper_tolerance - e.lower_tolerance) < 1e-12) {
        diameter += " @t" + element_number_text(e.upper_tolerance);
    } else {
        diameter += " +" + element_number_text(e.upper_tolerance) + "/-" +
                    element_number_text(e.lower_tolerance);
    }
    text_at(right + 0.05 * span, 0.15 * span, 2, diameter);
    // Each side's datum above its vertex, and a full diameter smaller than the element's.
    for (int side = 0; side < 2; ++side) {
        const double x = side == 0 ? 0.0 : t;
        const char letter = side == 0 ? 'A' : 'B';
        text_at(x, half + 0.12 * span, 5, std::string("@AP") + letter);
        if (g.sides[side].full_diameter + 1e-9 < e.diameter) {
            text_at(x, -half - 0.08 * span, 5,
                    "(@p " + element_number_text(g.sides[side].full_diameter) + ")");
        }
    }
}

// A column's lines start a little inside its left line and end before the next one.
constexpr double kColumnMargin = 0.01;
constexpr double kColumnTextWidth = 0.33 - 2 * kColumnMargin;

void draw_column(const std::vector<std::string>& lines, double x, double top) {
    double y = top;
    for (const std::string& l : lines) {
        table_text(x, y, 2, l, kColumnTextWidth);
        y -= kTableLinePitch;
    }
}

}  // namespace

const ElementGeometry& element_geometry() {
    return state().geometry;
}

const ElementDrawingFrames& element_drawing_frames() {
    return state().frames;
}

void reset_iso_drawing() {
    state() = IsoDrawingState{};
}

bool compute_element_geometry(int n) {
    const LensData& l = lens_data();
    ElementGeometry g;
    if (n < 0 || n >= l.image_surface || surface(n).element_drawing == nullptr) {
        state().geometry = g;
        return false;
    }
    ElementDrawing& e = *surface(n).element_drawing;
    const double units = l.units > 0.0 ? l.units : 1.0;
    const SurfaceRecord& s = surface(n);
    g.first = n;
    int left = n;
    int right = n + 1;
    double t = s.thickness * units;
    // Decentred: the distance between the two vertices, negative when the second lies behind.
    if (s.decentre != nullptr || surface(n + 1).decentre != nullptr) {
        const double dz = (surface(n + 1).vertex_position - s.vertex_position) * units;
        if (dz != 0.0) t = dz;
    }
    const bool swapped = t < 0.0;
    if (swapped) std::swap(left, right);
    g.thickness = r6(std::fabs(t));
    g.index_tolerance =
        tolerance_set(s, kTolRnt) ? tolerance_value(s, kTolRnt) : kDefaultIndexTolerance;
    g.glass = glass_text(s);
    const double wl =
        l.wavelength_count > 0 && l.wavelengths != nullptr ? l.wavelengths[0].wavelength : 0.0;
    g.wavelength_nm = round_significant(wl * 1000.0, 4);
    g.index = s.index != nullptr ? round_significant(s.index[0], 7) : 0.0;
    if (s.index != nullptr && l.wavelength_count >= 3) {
        const double d = s.index[1] - s.index[2];
        g.abbe = std::fabs(d) < 1e-40 ? 0.0 : round_significant((s.index[0] - 1.0) / d, 4);
    }
    g.abbe_tolerance =
        tolerance_set(s, kTolVnt) ? tolerance_value(s, kTolVnt) : kDefaultAbbeTolerance;
    side_geometry(g.sides[0], left, right, units);
    side_geometry(g.sides[1], right, left, units);
    if (swapped) {
        // Seen from the other side, the light meets the surfaces turned round.
        g.sides[0].radius = -g.sides[0].radius;
        g.sides[1].radius = -g.sides[1].radius;
    }
    g.sides[0].cemented = glass_behind(left - 1) || same_element_group(left - 1, left);
    g.sides[1].cemented = glass_behind(right) || same_element_group(right, right + 1);
    const double full = std::max(g.sides[0].full_diameter, g.sides[1].full_diameter);
    const bool grew = full > e.diameter;
    if (grew) e.diameter = full;
    const ElementDrawing& grown = e;
    g.thickness_tolerance = tolerance_set(s, kTolTht)
                                ? r6(tolerance_value(s, kTolTht) * units)
                                : kThicknessTolerance[diameter_class(0.5 * grown.diameter)];
    state().geometry = g;
    return grew;
}

std::string element_value_text(double value) {
    return decimal_text(value, 2, false);
}

std::string element_number_text(double value) {
    return decimal_text(value, 2, true);
}

const char* spectral_line_name(double nm) {
    const double r = round_significant(nm, 4);
    for (const SpectralLine& line : kSpectralLines) {
        if (std::fabs(r - line.nm) <= 1e-9 * line.nm) return line.name;
    }
    return nullptr;
}

std::vector<std::string> element_material_codes() {
    std::vector<std::string> lines;
    const ElementGeometry& g = state().geometry;
    const ElementDrawing* e = record();
    if (e == nullptr) return lines;
    const bool commas = get_setting_flag(kSetElementDrawingCommas) != 0;
    auto precise = [&](double v, int digits) {
        char text[48];
        std::snprintf(text, sizeof text, "%.*f", digits, v);
        std::string t = text;
        if (commas) std::replace(t.begin(), t.end(), '.', ',');
        return t;
    };
    auto trimmed_number = [&](double v) {
        char text[48];
        std::snprintf(text, sizeof text, "%.6g", v);
        std::string t = text;
        if (commas) std::replace(t.begin(), t.end(), '.', ',');
        return t;
    };
    lines.push_back(g.glass);
    const char* name = spectral_line_name(g.wavelength_nm);
    const std::string at = name != nullptr ? std::string(" ") + name + " "
                                           : "(" + element_number_text(g.wavelength_nm) + " nm) ";
    lines.push_back(" n" + at + precise(g.index, 6) + " +/- " + trimmed_number(g.index_tolerance));
    if (g.abbe != 0.0) {
        lines.push_back(" v" + at + precise(g.abbe, 2) + " +/- " +
                        trimmed_number(g.abbe_tolerance) + "%");
    } else {
        lines.push_back(" v  -");
    }
    lines.push_back(e->stress_birefringence != 0 ? " 0/ " + whole(e->stress_birefringence)
                                                 : " 0/ -");
    lines.push_back(e->bubble_size != 0.0 ? " 1/ " + whole(e->bubble_count) + "x" +
                                                element_number_text(e->bubble_size)
                                          : " 1/ -");
    const std::string inhomogeneity = e->inhomogeneity != 0 ? whole(e->inhomogeneity) : "-";
    const std::string striae = e->striae != 0 ? whole(e->striae) : "-";
    lines.push_back(" 2/ " + inhomogeneity + ";" + striae);
    return lines;
}

std::vector<std::string> element_surface_codes(int side) {
    std::vector<std::string> lines;
    const ElementDrawing* e = record();
    if (e == nullptr || side < 0 || side > 1 || e->sides[0] == nullptr || e->sides[1] == nullptr) {
        return lines;
    }
    const ElementSideGeometry& g = state().geometry.sides[side];
    const bool swapped = state().geometry.sides[0].surface != state().geometry.first;
    // The record's blocks follow the surfaces: the first surface's block is the left one
    // unless the element is drawn turned round.
    const ElementSide& s = *e->sides[swapped ? 1 - side : side];
    std::string radius = " R  ";
    if (g.radius != 0.0) {
        const bool convex = side == 0 ? g.radius > 0.0 : g.radius < 0.0;
        radius += element_number_text(std::fabs(g.radius)) + (convex ? " CX" : " CC");
    }
    radius += " @pe " + element_number_text(g.clear_diameter);
    lines.push_back(radius);
    const std::string note = trimmed(s.note, sizeof s.note);
    if (!note.empty()) lines.push_back("@F@u" + note);
    const bool form = g.form_fringes != 0.0;
    const bool irregular = g.irregularity_fringes != 0.0;
    const bool symmetric = s.irregularity != 0.0;
    std::vector<std::string> rms;
    static const char* const kRms[3] = {" RMSt < ", " RMSi < ", " RMSa < "};
    for (int k = 0; k < 3; ++k) {
        if (s.rms[k] != 0.0) rms.push_back(kRms[k] + element_number_text(s.rms[k]));
    }
    std::string three = " 3/ ";
    if (!form && !irregular && !symmetric) {
        three += "-";
    } else {
        three += (form ? element_number_text(g.form_fringes) : "-") + "(" +
                 (irregular ? element_number_text(g.irregularity_fringes) : "-");
        if (symmetric) three += "/" + element_number_text(s.irregularity);
        three += ")";
    }
    if (!rms.empty()) three += rms[0];
    lines.push_back(three);
    for (std::size_t k = 1; k < rms.size(); ++k) lines.push_back("    " + rms[k].substr(1));
    lines.push_back(g.centring_minutes != 0.0
                        ? " 4/ " + element_number_text(g.centring_minutes) + "'"
                        : " 4/ -");
    std::vector<std::string> items;
    if (s.imperfection_size != 0.0) {
        items.push_back(whole(s.imperfection_count) + "x" +
                        element_number_text(s.imperfection_size));
    }
    if (s.coating_size != 0.0) {
        items.push_back("C " + whole(s.coating_count) + "x" + element_number_text(s.coating_size));
    }
    if (s.scratch_width != 0.0) {
        items.push_back("L " + whole(s.scratch_count) + "x" + element_number_text(s.scratch_width));
    }
    if (s.edge_chip != 0.0) items.push_back("E " + element_number_text(s.edge_chip));
    // Two items a line; the rest go onto a line of their own.
    std::string five = " 5/ ";
    if (items.empty()) five += "-";
    for (std::size_t k = 0; k < items.size() && k < 2; ++k) five += (k > 0 ? "; " : "") + items[k];
    lines.push_back(five);
    if (items.size() > 2) {
        std::string more = "    ";
        for (std::size_t k = 2; k < items.size(); ++k) more += (k > 2 ? "; " : "") + items[k];
        lines.push_back(more);
    }
    const std::string damage = trimmed(s.text, sizeof s.text);
    lines.push_back(" 6/ " + (damage.empty() ? std::string("-") : damage));
    if (g.cemented) lines.push_back("    To be cemented");
    return lines;
}

double element_table_height() {
    const ElementGeometry& g = state().geometry;
    const ElementDrawing* e = record();
    if (e == nullptr) return 0.0;
    double height = 0.0;
    for (int side = 0; side < 2; ++side) {
        const ElementSide* s = e->sides[side];
        double h = g.sides[side].cemented ? 10.9 : 9.4;
        if (s != nullptr) {
            const int rms = rms_count(*s);
            if (rms > 1) h += rms - 1;
            if (imperfection_sizes(*s) > 2) h += 1.0;
        }
        height = std::max(height, h);
    }
    return height;
}

int draw_element_drawing() {
    const ElementDrawing* e = record();
    if (e == nullptr) return kMsgElementNoRecord;
    if (graphics_current() == 0) graphwin_open(1, 0, 0, 0, 0);
    graphwin_new_page(1);
    draw_profile(*e);
    // The table: a viewport one wide, the height of the columns and the title block.
    const double height = element_table_height();
    FrameBox viewport = kTableViewport;
    FrameBox world{0.0, 1.0, 0.0, height + 6.0, 0};
    gfx_frame(1, 1, &viewport);
    gfx_frame(1, 2, &world);
    state().frames.table_viewport = viewport;
    gfx_frame(2, 2, &state().frames.table_world);
    gfx_frame_box();
    line(0.0, height + 5.94, 1.0, height + 5.94);
    line(0.0, height + 4.0, 1.0, height + 4.0);
    line(0.33, 4.0, 0.33, height + 5.94);
    line(0.67, 4.0, 0.67, height + 5.94);
    line(0.0, 4.0, 1.0, 4.0);
    line(0.0, 2.0, 0.5, 2.0);
    line(0.5, 0.0, 0.5, 4.0);
    line(0.25, 0.0, 0.25, 2.0);
    table_text(0.165, height + 4.97, 5, msg_text(kMsgElementLeftSurface), kColumnTextWidth);
    table_text(0.5, height + 4.97, 5, msg_text(kMsgElementMaterial), kColumnTextWidth);
    table_text(0.835, height + 4.97, 5, msg_text(kMsgElementRightSurface), kColumnTextWidth);
    const double top = height + 4.0 - 0.5 * kTableLinePitch - 0.3;
    draw_column(element_surface_codes(0), kColumnMargin, top);
    draw_column(element_material_codes(), 0.33 + kColumnMargin, top);
    draw_column(element_surface_codes(1), 0.67 + kColumnMargin, top);
    const std::string title = trimmed(e->title, sizeof e->title);
    const std::string number = trimmed(e->number, sizeof e->number);
    const std::string date = trimmed(e->date, sizeof e->date);
    const double margins = 2 * kColumnMargin;
    if (!title.empty()) table_text(0.25, 3.0, 5, title, 0.5 - margins);
    if (!number.empty()) table_text(0.125, 1.0, 5, number, 0.25 - margins);
    if (!date.empty()) {
        table_text(0.375, 1.0, 5, msg_text(kMsgElementIsoIndications), 0.25 - margins);
    }
    const int addresses[3] = {kSetAddress1, kSetAddress2, kSetAddress3};
    for (int k = 0; k < 3; ++k) {
        const char* address = get_setting_text(addresses[k], 0);
        if (address != nullptr && address[0] != '\0')
            table_text(0.75, 3.0 - k, 5, address, 0.5 - margins);
    }
    graphwin_refresh(0);
    return kMsgElementDrawingDone;
}
