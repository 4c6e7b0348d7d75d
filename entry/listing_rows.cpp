#include "entry/listing_rows.h"

#include <cstdlib>

#include "entry/lens_listings.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/listing_print.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"

namespace {

constexpr int kMsgPickupTitle = -1264;
constexpr int kMsgPickupNone = -1265;
constexpr int kMsgSolveTitle = -1266;
constexpr int kMsgSolveNone = -1267;
constexpr int kMsgApertureTitle = -1268;
constexpr int kMsgApertureHeader = -1269;
constexpr int kMsgApertureGroup = -1483;
constexpr int kMsgSplineTitle = -1444;
constexpr int kMsgSplineNone = -1445;
constexpr int kMsgSplineRadius = -1599;
constexpr int kMsgSplineSlope = -1600;
constexpr int kMsgMeshTitle = -1462;
constexpr int kMsgMeshNone = -1464;
constexpr int kMsgMeshSurface = -1465;
constexpr int kMsgMeshVertices = -1466;
constexpr int kMsgMeshFaces = -1467;
constexpr int kMsgPerfectTitle = -1479;
constexpr int kMsgPerfectNone = -1480;
constexpr int kMsgNoteTitle = -1290;
constexpr int kMsgNoteNone = -1291;
constexpr int kShortEntriesPerLine = 4;

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
    if (a.shape >= 1 && a.shape <= 4) print_msg(kShapeLabels[a.shape]);
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
