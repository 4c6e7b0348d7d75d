#include "entry/listing_rows.h"

#include <cmath>
#include <cstdlib>
#include <set>

#include "entry/listing_state.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_items.h"
#include "lens/listing_print.h"
#include "lens/surface_groups.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr int kShortEntriesPerLine = 4;
constexpr int kValuesPerLine = 5;

constexpr int kTermsPerLine = 4;

// A block of coefficients: every term four to a line, or with Non_zero_special_data only the
// terms that are not zero, packed. Kinds without labels lay out the blanks and line ends only.
struct TermLabel {
    int message;  // 0: no terms printed
    int offset;   // the number the label shows for term i is i + offset
    int limit;    // below it one more blank keeps the columns
};

void coefficient_block(const double* values, int count, const TermLabel& label, int shift = 0) {
    const bool non_zero_only = get_setting_flag(kSetNonZeroSpecialData) != 0;
    int on_line = 0;
    for (int i = 0; i < count; ++i) {
        const double v = values[i + shift];
        if (non_zero_only && std::fabs(v) <= 1e-100) continue;
        if (on_line == 0) text_spaces(5);
        if (label.message != 0) {
            text_spaces(1);
            print_msg(label.message, i + label.offset);
            if (i + label.offset < label.limit) text_spaces(1);
            print_number_cell(v);
        }
        if (++on_line == kTermsPerLine) {
            text_newline();
            on_line = 0;
        }
    }
    if (on_line != 0) text_newline();
}
// The surfaces a listing has met, and whether the conic header has been written.
struct ListingRowsState {
    std::set<int> occurs;
    bool conic_header_done = false;
};

ListingRowsState g_listing;

bool has_polynomial(const SurfaceRecord& s) {
    return s.asphere != nullptr && s.asphere->kind == kAsphereEven;
}

bool conic_listed(const SurfaceRecord& s) {
    return s.conic != 0.0 || has_polynomial(s);
}

bool first_of_group(const SurfaceRecord& s) {
    return s.group_kind != kGroupNone && s.group_role == kRoleFirst;
}

bool shows_x_curvature(const SurfaceRecord& s) {
    return s.toric != 0 || (s.asphere != nullptr && s.asphere->kind == kAsphereBiconic &&
                            s.shape == kShapeSpecialBase);
}

bool has_surface_flags(const SurfaceRecord& s) {
    return first_of_group(s) || shows_x_curvature(s) || s.grating_spacing != 0.0 ||
           s.fresnel != 0 || s.alternate_intersection != 0 || s.tir_only != 0 || s.rod != 0 ||
           s.drawing_mode != 0 || s.skip_to != 0;
}

// A line of the flags listing: the first of the surface under its number.
class FlagLine {
public:
    void start() {
        if (started_) {
            text_spaces(6);
        } else {
            list_surface_number();
            started_ = true;
        }
    }

private:
    bool started_ = false;
};

void on_off_word(int flag) {
    print_msg(flag != 0 ? -1342 : -1343);
}

void title(int message, bool warn = true) {
    if (listing_state().first_row == 0) return;
    print_msg(message);
    if (warn) warn_multiple_configurations();
}

void none_at_end(int message) {
    const ListingState& st = listing_state();
    if (st.last_row != 0 && st.nothing_printed != 0) print_msg(message);
}

// The pickup entries of one surface: short ones (a tag and a source) four to a line, long ones
// (a second source or an offset) on lines of their own.
class PickupLine {
public:
    void short_entry(const char* tag, int source) {
        if (count_ == 0) {
            head();
        } else {
            text_spaces(4);
        }
        text_printf("  %s ", tag);
        text_int(source);
        if (++count_ == kShortEntriesPerLine) end_open_line();
    }
    void long_entry(const char* tag, int source, int second, bool has_second, double value) {
        end_open_line();
        head();
        text_printf("  %s ", tag);
        text_int(source);
        if (has_second) {
            text_spaces(1);
            text_int(second);
        } else {
            text_spaces(4);
        }
        print_number_cell_eol(value);
    }
    void entry(const char* tag, int source, double value) {
        if (value != 0.0) {
            long_entry(tag, source, 0, false, value);
        } else {
            short_entry(tag, source);
        }
    }
    void end_open_line() {
        if (count_ == 0) return;
        text_newline();
        count_ = 0;
    }
    // A later line of the same surface starts below the surface number.
    void head() {
        if (started_) {
            text_spaces(6);
        } else {
            list_surface_number();
            started_ = true;
        }
    }

private:
    int count_ = 0;
    bool started_ = false;
};

void special_aperture_pickups(const SurfaceRecord& s, PickupLine& line) {
    for (int k = 0; k < s.special_aperture_count; ++k) {
        const SpecialAperture& a = s.special_apertures[k];
        if (a.pickup_source <= 0) continue;
        line.end_open_line();
        line.head();
        text_printf("  %s", "SAP ");
        text_printf(" %c ", a.id_letter);
        text_int(a.pickup_source);
        text_printf(" %c", a.pickup_id_letter);
        text_newline();
    }
}

const char* aperture_kind_tag(int kind) {
    switch (kind) {
        case kApertureComputed:
            return "CMP";
        case kApertureFixedValue:
            return "SPC";
        case kAperturePickup:
            return "PKP";
        case kApertureFixedByGroup:
            return "FIX";
        default:
            return nullptr;
    }
}

constexpr int kShapeLabels[] = {0, -467, -468, -463, -464};
constexpr int kActionLabels[] = {0, -476, -477, -478, -479};

void special_aperture_row(const SpecialAperture& a) {
    text_printf("     %c  %s  ", a.id_letter, "ATP");
    if (a.shape >= kApertureEllipse && a.shape <= kApertureQuadrilateral)
        print_msg(kShapeLabels[a.shape]);
    text_printf(" %s   ", "AAC");
    if (a.action >= 1 && a.action <= 4) print_msg(kActionLabels[a.action]);
    if (a.shape == kApertureEllipse || a.shape == kApertureRectangle) {
        text_printf(" %s ", "AAN");
        print_number_cell_eol(a.angle);
        text_spaces(8);
        text_printf("%s%d ", "AX", 1);
        print_number_cell(a.x[0]);
        text_printf("  %s%d ", "AX", 2);
        print_number_cell(a.x[1]);
        text_printf("  %s%d ", "AY", 1);
        print_number_cell(a.y[0]);
        text_printf("  %s%d ", "AY", 2);
        print_number_cell_eol(a.y[1]);
        return;
    }
    text_newline();
    const int corners = a.shape == kApertureTriangle ? 3 : 4;
    for (const char axis : {'X', 'Y'}) {
        text_spaces(8);
        for (int c = 0; c < corners; ++c) {
            if (c > 0) text_spaces(2);
            text_printf("AV%c%d", axis, c + 1);
            print_number_cell(axis == 'X' ? a.x[c] : a.y[c]);
        }
        text_newline();
    }
}

}  // namespace

void list_row_pickups() {
    title(kMsgPickupTitle);
    const SurfaceRecord& s = *listing_state().surface;
    PickupLine line;
    if (s.medium_kind == kMediumPickup) line.short_entry("GLA ", s.medium_source);
    if (s.curvature_kind == kCurvaturePickup || s.curvature_kind == kCurvaturePickupNegated) {
        line.entry(s.curvature_kind == kCurvaturePickup ? "CV  " : "CVM ", s.curvature_source,
                   s.curvature_solve_value);
    }
    switch (s.thickness_kind) {
        case kThicknessPickup:
        case kThicknessPickupNegated:
            line.entry(s.thickness_kind == kThicknessPickup ? "TH  " : "THM ", s.thickness_source,
                       s.thickness_solve_value);
            break;
        case kThicknessLength:
        case kThicknessLengthNegated:
            line.long_entry(s.thickness_kind == kThicknessLength ? "LN  " : "LNM ",
                            s.thickness_source, s.thickness_source2, true, s.thickness_solve_value);
            break;
        default:
            break;
    }
    if (s.aperture_kind == kAperturePickup) line.short_entry("AP  ", s.aperture_source);
    if (s.decentre != nullptr && s.decentre->pickup_source > 0) {
        line.short_entry(s.decentre->pickup_negated < 0 ? "TDM " : "TD  ",
                         s.decentre->pickup_source);
    }
    if (s.diffractive != nullptr && s.diffractive->pickup_source > 0) {
        line.short_entry("DFC ", s.diffractive->pickup_source);
    }
    special_aperture_pickups(s, line);
    line.end_open_line();
    none_at_end(kMsgPickupNone);
}

void list_row_solves() {
    title(kMsgSolveTitle);
    const SurfaceRecord& s = *listing_state().surface;
    bool number_due = true;
    auto head = [&number_due] {
        if (number_due) list_surface_number();
        number_due = false;
    };
    const char* curvature_tag = nullptr;
    switch (s.curvature_kind) {
        case kCurvatureAxialSlope:
            curvature_tag = "PU  ";
            break;
        case kCurvatureChiefSlope:
            curvature_tag = "PUC ";
            break;
        case kCurvatureAxialIncidence:
            curvature_tag = "PI  ";
            break;
        case kCurvatureChiefIncidence:
            curvature_tag = "PIC ";
            break;
        case kCurvatureAxialAplanatic:
        case kCurvatureChiefAplanatic:
            head();
            text_printf("  %s", s.curvature_kind == kCurvatureAxialAplanatic ? "AL  " : "ALC ");
            break;
        default:
            break;
    }
    if (curvature_tag != nullptr) {
        head();
        text_printf("  %s", curvature_tag);
        print_number_cell(s.curvature_solve_value);
    }
    if (s.thickness_kind == kThicknessAxialHeight || s.thickness_kind == kThicknessChiefHeight) {
        head();
        text_printf("  %s", s.thickness_kind == kThicknessAxialHeight ? "PY  " : "PYC ");
        print_number_cell(s.thickness_solve_value);
    } else if (s.thickness_kind == kThicknessEdge) {
        head();
        text_printf("  %s", "ET  ");
        print_number_cell(s.thickness_solve_value);
        print_number_cell(s.thickness_solve_value2);
    }
    if (!number_due) text_newline();
    none_at_end(kMsgSolveNone);
}

void list_row_apertures() {
    if (listing_state().first_row != 0) {
        print_msg(kMsgApertureTitle);
        warn_multiple_configurations();
        print_msg(kMsgApertureHeader);
    }
    const SurfaceRecord& s = *listing_state().surface;
    list_surface_number();
    if (const char* tag = aperture_kind_tag(s.aperture_kind)) text_printf("  %s ", tag);
    print_number_cell(s.aperture_radius);
    if (s.aperture_check == 1) text_printf("  %s", "CHK");
    text_newline();
    if (s.special_aperture_count <= 0 || s.special_apertures == nullptr) return;
    int highest = 0;
    for (int k = 0; k < s.special_aperture_count; ++k) {
        if (s.special_apertures[k].group > highest) highest = s.special_apertures[k].group;
    }
    for (int g = 0; g <= highest; ++g) {
        bool first = true;
        for (int k = 0; k < s.special_aperture_count; ++k) {
            const SpecialAperture& a = s.special_apertures[k];
            if (a.group != g) continue;
            if (first) print_msg(kMsgApertureGroup, g);
            first = false;
            special_aperture_row(a);
        }
    }
    text_newline();
}

void list_row_spline() {
    title(kMsgSplineTitle);
    const SurfaceRecord& s = *listing_state().surface;
    if (s.spline != nullptr) {
        const SplineRecord& p = *s.spline;
        list_surface_number();
        for (int i = 0; i < p.count; ++i) {
            if (i % 2 == 1) text_spaces(2);
            if (i % 2 == 0 && i > 0) text_spaces(6);
            const char* index = i < 10 ? "%1d  " : i < 100 ? "%2d " : "%3d";
            print_msg(kMsgSplineRadius);
            text_printf(index, i);
            text_number(p.radius[i]);
            text_spaces(1);
            print_msg(kMsgSplineSlope);
            text_printf(index, i);
            text_number(p.slope[i]);
            if (i % 2 == 1 || i == p.count - 1) text_newline();
        }
    }
    none_at_end(kMsgSplineNone);
}

void list_row_mesh() {
    title(kMsgMeshTitle, false);
    ListingState& st = listing_state();
    const SurfaceRecord& s = *st.surface;
    if (s.mesh != nullptr) {
        const SurfaceMesh& m = *s.mesh;
        print_msg(kMsgMeshSurface, st.surface_index);
        st.nothing_printed = 0;
        print_msg(kMsgMeshVertices);
        for (int k = 0; k < m.vertex_count; ++k) {
            const MeshVertex& v = m.vertices[k];
            if (v.surface_offset < 0) continue;
            text_printf("%5d", k + 1);
            text_spaces(4);
            print_number_cell(v.x);
            print_number_cell(v.y);
            print_number_cell(v.z);
            text_printf("%10d\n", v.surface_offset + st.surface_index);
        }
        print_msg(kMsgMeshFaces);
        for (int f = 0; f < m.face_count; ++f) {
            const MeshFace& face = m.faces[f];
            if (face.vertices[0] == 0) continue;
            text_printf("%5d", f + 1);
            for (const std::int16_t v : face.vertices) text_printf("%13d", static_cast<int>(v));
            text_newline();
        }
    }
    none_at_end(kMsgMeshNone);
}

void list_row_perfect_lens() {
    title(kMsgPerfectTitle);
    const SurfaceRecord& s = *listing_state().surface;
    if (s.perfect_lens != nullptr) {
        list_surface_number();
        text_printf("  %s ", "PFL");
        print_number_cell(s.perfect_lens->focal_length);
        text_printf("   %s ", "PFM");
        print_number_cell_eol(s.perfect_lens->magnification);
    }
    none_at_end(kMsgPerfectNone);
}

void list_row_note() {
    title(kMsgNoteTitle, false);
    const SurfaceRecord& s = *listing_state().surface;
    if (s.note != nullptr && s.note[0] != '\0') {
        list_surface_number();
        text_printf(" %s\n", s.note);
    }
    none_at_end(kMsgNoteNone);
}

void clear_special_occurrences() {
    g_listing.occurs.clear();
}

bool special_kind_occurs(int kind) {
    return g_listing.occurs.count(kind) != 0;
}

void list_row_special_summary(int mode) {
    ListingState& st = listing_state();
    if (mode == 0) title(kMsgSummaryTitle);
    const SurfaceRecord& s = *st.surface;
    const struct {
        bool present;
        const char* tag;
        int kind;
    } tags[] = {
        {s.note != nullptr && s.note[0] != '\0', "SFN", kCmdListNotes},
        {conic_listed(s), "ADO", kCmdListConics},
        {s.asphere != nullptr && s.asphere->kind != kAsphereEven, "PAS", 245},
        {s.spline != nullptr, "PSP", kCmdListSplines},
        {s.diffractive != nullptr, "PDF", 246},
        {s.hologram != nullptr, "HOE", 249},
        {s.decentre != nullptr || s.return_coordinates != nullptr, "TDC", kCmdListDecentres},
        {s.grin != nullptr, "GRN", 253},
        {s.mesh != nullptr, "BDA", kCmdListMeshes},
        {has_surface_flags(s), "SFT", kCmdListSurfaceFlags},
        {s.perfect_lens != nullptr, "PPF", kCmdListPerfectLenses},
    };
    bool any = false;
    for (const auto& t : tags) {
        if (!t.present) continue;
        g_listing.occurs.insert(t.kind);
        if (mode == 0) {
            if (!any) {
                list_surface_number();
                text_spaces(2);
            }
            text_printf("%s   ", t.tag);
        } else {
            st.nothing_printed = 0;
        }
        any = true;
    }
    if (any && mode == 0) text_newline();
    if (st.last_row != 0 && st.nothing_printed != 0) {
        if (mode == 1) {
            print_msg(kMsgSummaryTitle);
            warn_multiple_configurations();
        }
        print_msg(kMsgSummaryNone);
    }
}

void list_row_conic() {
    ListingState& st = listing_state();
    title(kMsgConicTitle);
    if (st.first_row != 0) g_listing.conic_header_done = false;
    const SurfaceRecord& s = *st.surface;
    if (conic_listed(s)) {
        if (!g_listing.conic_header_done) print_msg(kMsgConicHeader);
        g_listing.conic_header_done = true;
        list_surface_number();
        print_number_cell(s.conic);
        const AsphereRecord* a = has_polynomial(s) ? s.asphere : nullptr;
        // AD, AE, AF and AG: the terms of orders 4 to 10.
        for (int k = 2; k <= 5; ++k) {
            print_number_cell(a != nullptr && k < a->entered_count ? a->entered[k] : 0.0);
        }
        text_newline();
    }
    none_at_end(kMsgConicNone);
}

void list_row_decentre() {
    title(kMsgDecentreTitle);
    const SurfaceRecord& s = *listing_state().surface;
    bool head_done = false;
    if (s.return_coordinates != nullptr) {
        list_surface_number();
        text_printf("  %s ", "RCO");
        text_int(s.return_coordinates->pickup_source);
        text_newline();
        head_done = true;
    }
    if (s.decentre != nullptr) {
        const DecentreRecord& d = *s.decentre;
        if (head_done) {
            text_spaces(6);
        } else {
            list_surface_number();
        }
        text_printf("  %s  ", "DT");
        text_int(d.tilt_mode);
        text_spaces(6);
        text_printf("   %s ", "DCX");
        print_number_cell(d.dcx);
        text_printf("   %s ", "DCY");
        print_number_cell(d.dcy);
        text_printf("   %s ", "DCZ");
        print_number_cell_eol(d.dcz);
        text_spaces(6);
        if (s.decentre_reference != nullptr) {
            // Padded to the width of the other two forms, so that the tilts stand in one column.
            text_printf("  %s  ", "GC");
            text_int(s.decentre_reference->pickup_source);
            text_spaces(12);
        } else if (s.bend != 0) {
            text_spaces(6);
            text_printf("  %s", "BEN");
            text_spaces(10);
        } else {
            text_spaces(21);
        }
        text_printf("   %s ", "TLA");
        print_number_cell(d.tla);
        text_printf("   %s ", "TLB");
        print_number_cell(d.tlb);
        text_printf("   %s ", "TLC");
        print_number_cell_eol(d.tlc);
    }
    none_at_end(kMsgDecentreNone);
}

void list_row_surface_flags() {
    title(kMsgFlagsTitle);
    ListingState& st = listing_state();
    const SurfaceRecord& s = *st.surface;
    FlagLine line;
    if (first_of_group(s)) {
        static const char* const kWords[] = {"", "NSS", "ELE", "EGR", "PAR", "EIK", "USR"};
        line.start();
        text_printf("  %s ", "LMO");
        text_printf("%s ", s.group_kind < 7 ? kWords[s.group_kind] : "");
        const int end = group_end_surface(st.surface_index);
        text_printf(" (%d surfaces)\n", end - st.surface_index + 1);
    }
    if (shows_x_curvature(s)) {
        line.start();
        text_printf("  %s ", "CVX");
        print_number_cell_eol(s.x_curvature);
    }
    if (s.grating_spacing != 0.0) {
        line.start();
        text_printf("  %s ", "GOR");
        text_int(s.diffraction_order);
        text_printf("          %s ", "GSP");
        print_number_cell_eol(s.grating_spacing);
    }
    if (s.fresnel != 0) {
        line.start();
        text_printf("  %s ", "FRN");
        text_int(s.fresnel);
        text_printf("   %s ", "FCV");
        print_number_cell(s.fresnel_curvature);
        text_printf("   %s ", "FCC");
        print_number_cell_eol(s.fresnel_conic);
    }
    const struct {
        int value;
        const char* tag;
    } switches[] = {{s.alternate_intersection, "ASI"}, {s.tir_only, "TIR"}, {s.rod, "ROD"}};
    for (const auto& sw : switches) {
        if (sw.value == 0) continue;
        line.start();
        text_printf("  %s ", sw.tag);
        text_int(sw.value);
        text_newline();
    }
    if (s.drawing_mode != 0) {
        line.start();
        text_printf(s.drawing_mode == 1   ? "  %s OFF\n"
                    : s.drawing_mode == 3 ? "  %s ON\n"
                                          : "  %s AP\n",
                    "DRW");
    }
    if (s.skip_to != 0) {
        line.start();
        text_printf("  %s ", "SKP");
        text_int(s.skip_to);
        text_newline();
    }
    none_at_end(kMsgFlagsNone);
}

void list_row_medium_values() {
    ListingState& st = listing_state();
    const LensData& l = lens_data();
    const int count = l.wavelength_count;
    if (st.first_row != 0) {
        print_msg(kMsgMediumTitle);
        warn_multiple_configurations();
        print_msg(kMsgMediumHeader);
        for (int w = 1; w <= count; ++w) {
            if (w > 1 && (w - 1) % kValuesPerLine == 0) {
                text_newline();
                text_spaces(19);
            }
            if (w < 10) text_spaces(1);
            print_msg(kMsgMediumNumber, w);
        }
        text_newline();
    }
    list_surface_number();
    text_spaces(3);
    if (st.surface_index == l.image_surface) {
        print_msg(kMsgImageSurfaceRow);
        return;
    }
    text_printf("%s", st.surface->medium_name);
    const std::uint8_t trim = get_setting_flag(kSetTrimNumericOutput);
    set_setting_flag(kSetTrimNumericOutput, 1);
    for (int w = 1; w <= count; ++w) {
        if (w > 1 && (w - 1) % kValuesPerLine == 0) {
            text_newline();
            text_spaces(19);
        }
        const auto* v =
            static_cast<const double*>(lens_item_address(kItemWorkingIndex, st.surface_index, w));
        print_number_cell(v != nullptr ? *v : 1.0);
    }
    set_setting_flag(kSetTrimNumericOutput, trim);
    text_newline();
}

void list_row_asphere() {
    title(kMsgAsphereTitle);
    const SurfaceRecord& s = *listing_state().surface;
    if (s.asphere != nullptr && s.asphere->kind != kAsphereEven) {
        const AsphereRecord& a = *s.asphere;
        const int count = a.entered_count;
        list_surface_number();
        int shift = 0;
        int terms = count;
        TermLabel label{0, 0, 0};
        // Each coefficient is labelled by the word that enters it again (AS by index, AT by
        // term number), so that a listed asphere can be read and retyped.
        switch (a.kind) {
            case kAsphereSeries:
                text_printf("%s  ", "ASP ASR");
                text_int(2 * count - 2);
                print_msg(-1486);
                label = {kMsgAsphereCoefficientEcho, 0, 10};
                break;
            case kAsphereOdd:
                text_printf("%s  ", "ASP ISR");
                text_int(count + 2);
                print_msg(-1488);
                label = {kMsgXyLabel, 3, 10};
                break;
            case kAsphereCone:
                text_printf("%s  ", "ASP CNR");
                text_int(count < 2 ? 0 : count + 1);
                text_printf("      %s  ", "CNS");
                print_number_cell(count > 0 ? a.entered[0] : 0.0);
                print_msg(-1492);
                label = {kMsgXyLabel, 3, 10};
                shift = 1;
                terms = count - 1;
                break;
            case kAsphereZernike:
                text_printf("%s  ", "ASP ZSR");
                text_int(count - 1);
                print_msg(-1494);
                label = {kMsgAsphereCoefficientEcho, 0, 10};
                break;
            case kAsphereRadial:
                text_printf("%s  ", "ASP ARA");
                text_int(count - 1);
                print_msg(-1571);
                label = {kMsgAsphereCoefficientEcho, 0, 10};
                break;
            case kAsphereXy:
                label = {kMsgXyLabel, 3, 7};
                break;
            case kAsphereBiconic:
                label = {kMsgXyLabel, 3, 7};
                shift = 1;
                terms = count - 1;
                break;
            case kAsphereEllipticCone:
            case kAsphereZernikeXy:
                label = {kMsgAsphereCoefficientEcho, 0, 10};
                break;
            default:
                break;
        }
        text_newline();
        coefficient_block(a.entered, terms, label, shift);
    }
    none_at_end(kMsgAsphereNone);
}

void list_row_diffractive() {
    title(kMsgDiffractiveTitle);
    const SurfaceRecord& s = *listing_state().surface;
    if (s.diffractive != nullptr) {
        const DiffractiveRecord& d = *s.diffractive;
        const int first = d.entered_count;
        const int order = static_cast<int>((std::sqrt(8.0 * first + 1.0) - 3.0) / 2.0);
        list_surface_number();
        TermLabel label{kMsgDiffractiveLabel, 0, 10};
        if (d.kind <= kDiffractiveLastPolynomial) {
            static const char* const kWords[] = {"DOE DFR", "DOE DFX", "DOE DRA", "DOE DXA"};
            static constexpr int kMessages[] = {-1509, -1510, -1511, -1512};
            const int shown[] = {2 * first - 2, order, first - 1, order};
            text_printf("%s ", kWords[d.kind]);
            text_int(shown[d.kind]);
            print_msg(kMessages[d.kind]);
            text_printf("%s ", "DOR");
            text_int(s.diffraction_order);
            text_printf(" %s  ", "DWV");
            print_number_cell_eol(d.design_wavelength);
        } else {
            label = {kMsgZoeCoefficientEcho, 0, 10};
            text_printf("%s  ", d.kind == kDiffractiveZernike ? "ZOE ZRR" : "ZOE ZRX");
            text_int(d.working_count - 1);
            print_msg(d.kind == kDiffractiveZernike ? -1507 : -1508);
            text_printf("%s ", "DOR");
            text_int(s.diffraction_order);
            text_printf(" %s  ", "DWV");
            print_number_cell(d.design_wavelength);
            text_spaces(6);
            text_printf("%s ", "ZRT");
            on_off_word(d.zernike_switch);
            text_newline();
        }
        coefficient_block(d.entered, d.working_count, label);
    }
    none_at_end(kMsgDiffractiveNone);
}

void list_row_hologram() {
    title(kMsgHologramTitle);
    const SurfaceRecord& s = *listing_state().surface;
    if (s.hologram != nullptr) {
        const HologramRecord& h = *s.hologram;
        list_surface_number();
        text_printf("  %s ", "HOR");
        text_int(h.order);
        text_printf("         %s ", "HWV");
        print_number_cell_eol(h.wavelength);
        for (int p = 1; p <= 2; ++p) {
            const double* point = p == 1 ? h.first_point : h.second_point;
            text_printf("        %s%d ", "HV", p);
            text_int(p == 1 ? h.first_point_virtual : h.second_point_virtual);
            text_printf("         %s%d ", "HX", p);
            print_number_cell(point[0]);
            text_printf("   %s%d ", "HY", p);
            print_number_cell(point[1]);
            text_printf("   %s%d ", "HZ", p);
            print_number_cell_eol(point[2]);
        }
    }
    none_at_end(kMsgHologramNone);
}

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

struct GrinKindText {
    const char* keyword;
    int message;
};
const GrinKindText kGrinKinds[] = {{"", 0},
                                   {"GDT ARG", -1496},
                                   {"GDT WOD", -1497},
                                   {"GDT AEG", -1500},
                                   {"GDT SPH", -1503},
                                   {"GDT MXF", -1504},
                                   {"GDT LBG", -1505},
                                   {"GDT USR", -1506},
                                   {"GDT SNS", -1501},
                                   {"GDT TAP", -1502},
                                   {"GDT SEL", -1498},
                                   {"GDT GRD", -1499},
                                   {"GDT UGR", -1534}};

bool grin_kind_in(int kind, std::initializer_list<int> kinds) {
    for (const int k : kinds) {
        if (k == kind) return true;
    }
    return false;
}

void labelled(const char* format, const char* tag, double value) {
    text_printf(format, tag);
    print_number_cell(value);
}

// One line per wavelength: its number, then coefficient rows first..last of the record.
void grin_table(const GrinRecord& g, int message, int first, int last) {
    print_msg(message);
    const int count = lens_data().wavelength_count;
    for (int w = 0; w < count; ++w) {
        text_spaces(7);
        text_int(w + 1);
        for (int row = first; row <= last; ++row) {
            text_spaces(4);
            text_number(g.coefficients != nullptr ? g.coefficients[row][w] : 0.0);
        }
        text_newline();
    }
}

}  // namespace

void list_row_grin() {
    title(-1285);
    ListingState& st = listing_state();
    const SurfaceRecord& s = *st.surface;
    if (s.grin != nullptr && s.grin->kind >= kGrinArg && s.grin->kind <= kGrinUserGrid) {
        const GrinRecord& g = *s.grin;
        const int kind = g.kind;
        if (kind == kGrinUserGrid) {
            text_int(st.surface_index);
            st.nothing_printed = 0;
        } else {
            list_surface_number();
        }
        text_printf("  %s", kGrinKinds[kind].keyword);
        print_msg(kGrinKinds[kind].message);
        text_newline();
        if (kind != kGrinUserGrid) text_spaces(3);
        if (kind != kGrinGrd) labelled("     %s   ", "DTH", g.step);
        if (kind == kGrinAeg) {
            labelled("    %s ", "NRX", g.aeg_weights[0]);
            labelled("    %s ", "NRY", g.aeg_weights[1]);
        } else if (kind >= kGrinSph && kind <= kGrinLbg) {
            labelled("    %s ", "SGC", g.aeg_weights[0]);
        } else if ((kind == kGrinUsr || kind == kGrinUserGrid) && g.user_routine != nullptr) {
            text_printf("     %s ", "UGC");
            text_printf("%s", g.user_routine);
        } else if (kind == kGrinSns) {
            text_newline();
            text_spaces(20);
            labelled("%s ", "SVA", g.sns_values[0]);
            const double c = g.sns_values[1];
            labelled("    %s ", "SVP", std::fabs(c) <= 1e-40 ? 0.0 : 1.0 / c);
            labelled("    %s ", "SVF", g.sns_values[2] * kDegreesPerRadian);
        } else if (kind == kGrinTap) {
            labelled("    %s ", "TAS", g.tap_values[0]);
            labelled("    %s ", "TAO", g.tap_values[1]);
        } else if (kind == kGrinGrd) {
            labelled("     %s ", "DTH", g.step);
            labelled("  %s ", "GWV", g.gwv);
            labelled("  %s ", "GMZ", g.gmz);
            labelled("  %s ", "GOZ", g.goz);
        }
        text_newline();
        // The axial rows follow the four radial ones.
        if (grin_kind_in(kind, {kGrinArg, kGrinAeg, kGrinSns, kGrinTap}))
            grin_table(g, -1287, 4, 7);
        if (grin_kind_in(kind, {kGrinArg, kGrinAeg, kGrinSph, kGrinSns, kGrinTap, kGrinSel}))
            grin_table(g, -1288, 0, 3);
        if (grin_kind_in(kind, {kGrinWod, kGrinMxf, kGrinLbg})) grin_table(g, -1289, 0, 0);
        if (kind == kGrinGrd) {
            // GNZ0..GNZ11 in two lines of six, then GRA..GRD, four each.
            for (const int message : {-1536, -1537}) {
                print_msg(message);
                const int from = message == -1536 ? 16 : 22;
                for (int k = from; k < from + 6; ++k) {
                    text_spaces(1);
                    print_number_cell(g.grd[k]);
                }
                text_newline();
            }
            print_msg(-1484);
            for (int line = 1; line <= 4; ++line) {
                text_spaces(7);
                text_int(line);
                for (int k = 0; k < 4; ++k) {
                    text_spaces(4);
                    text_number(g.grd[(line - 1) * 4 + k]);
                }
                text_newline();
            }
        }
    }
    none_at_end(-1286);
}

namespace {
void reset_listing_rows() {
    g_listing.occurs.clear();
    g_listing.conic_header_done = false;
}
const platform::StateReset listing_rows_state_reset{"entry/listing_rows", reset_listing_rows,
                                                    platform::ResetLayer::feature};
}  // namespace
