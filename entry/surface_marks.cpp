#include "entry/surface_marks.h"

#include "lens/lens_data.h"

namespace {

// Solve kinds that no command makes; the command language may store them.
constexpr int kCurvatureStoredSolve = 12;
constexpr int kThicknessStoredSolve = 10;

char curvature_mark(const SurfaceRecord& s, MarkPlace place) {
    const bool sheet = place == MarkPlace::sheet;
    if (sheet && s.curvature_variable != 0) return 'V';
    const int kind = s.curvature_kind;
    if (is_curvature_solve(kind) || (!sheet && kind == kCurvatureStoredSolve)) {
        return !sheet && non_sequential_interior(s) ? ' ' : 'S';
    }
    switch (kind) {
        case kCurvaturePlain:
            return s.curvature_variable != 0 ? 'V' : ' ';
        case kCurvaturePickup:
        case kCurvaturePickupNegated:
            return 'P';
        case kCurvatureFixed:
            return 'F';
        case kCurvatureFixedRtf:
            return 'T';
        default:
            return ' ';
    }
}

// Inside a non-sequential group the thickness is neither varied nor solved; the sheet shows no
// thickness there at all.
char thickness_mark(const SurfaceRecord& s, MarkPlace place) {
    const bool sheet = place == MarkPlace::sheet;
    const bool unused = non_sequential_interior(s);
    if (sheet && s.thickness_variable != 0 && !unused) return 'V';
    switch (s.thickness_kind) {
        case kThicknessPlain:
            return s.thickness_variable != 0 && !unused ? 'V' : ' ';
        case kThicknessPickup:
        case kThicknessPickupNegated:
        case kThicknessLength:
        case kThicknessLengthNegated:
            return 'P';
        case kThicknessStoredSolve:
            if (sheet) return ' ';
            [[fallthrough]];
        case kThicknessAxialHeight:
        case kThicknessChiefHeight:
        case kThicknessEdge:
            return unused ? ' ' : 'S';
        case kThicknessFixed:
            return 'F';
        default:
            return ' ';
    }
}

char medium_mark(const SurfaceRecord& s, MarkPlace place) {
    if (place == MarkPlace::sheet && s.glass_variable != 0) return 'V';
    switch (s.medium_kind) {
        case kMediumGlass:
            return 'C';
        case kMediumModelIndexAbbe:
        case kMediumModelIndexAbbeComputed:
            return s.glass_variable != 0 ? 'V' : 'M';
        case kMediumPickup:
            return 'P';
        case kMediumGlassFixed:
        case kMediumAirFixed:
            return 'F';
        default:
            return ' ';
    }
}

// A record left behind by a count of 0 holds no aperture.
bool has_special_apertures(const SurfaceRecord& s) {
    return s.special_apertures != nullptr && s.special_aperture_count > 0;
}

std::string aperture_marks(int n, const SurfaceRecord& s) {
    const LensData& l = lens_data();
    std::string m;
    if (n == l.aperture_stop) {
        m += 'A';
    } else if (n == l.reference_surface) {
        m += 'R';
    }
    if (s.aperture_kind == kAperturePickup) m += 'P';
    if (s.aperture_kind == kApertureComputed) m += 'S';
    if (s.aperture_kind == kApertureFixedByGroup) m += 'F';
    if (s.aperture_check == 1) m += 'K';
    if (has_special_apertures(s)) m += 'X';
    return m;
}

}  // namespace

bool non_sequential_interior(const SurfaceRecord& s) {
    return s.group_kind == kGroupNonSequential && s.group_role == kRoleInner;
}

SurfaceMarks surface_marks(int n, MarkPlace place) {
    const SurfaceRecord& s = surface(n);
    SurfaceMarks m;
    m.curvature = curvature_mark(s, place);
    m.thickness = thickness_mark(s, place);
    m.medium = medium_mark(s, place);
    m.aperture = aperture_marks(n, s);
    return m;
}
