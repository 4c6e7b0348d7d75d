#include "lens/surface_pickups.h"

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"

void clear_curvature_pickup(int n) {
    SurfaceRecord& s = surface(n);
    if (s.curvature_kind != kCurvaturePickup && s.curvature_kind != kCurvaturePickupNegated) return;
    s.curvature_kind = kCurvaturePlain;
    s.curvature_solve_value = 0.0;
    s.curvature_source = 0;
}

void clear_thickness_pickup(int n) {
    SurfaceRecord& s = surface(n);
    if (s.thickness_kind < kThicknessPickup || s.thickness_kind > kThicknessLengthNegated) return;
    s.thickness_source = 0;
    s.thickness_source2 = 0;
    s.thickness_solve_value = 0.0;
    s.thickness_solve_value2 = 0.0;
    s.thickness_kind = kThicknessPlain;
}

void clear_curvature_solve(int n) {
    SurfaceRecord& s = surface(n);
    if (is_curvature_solve(s.curvature_kind)) s.curvature_kind = kCurvaturePlain;
}

void clear_thickness_solve(int n) {
    SurfaceRecord& s = surface(n);
    if (s.thickness_kind != kThicknessAxialHeight && s.thickness_kind != kThicknessChiefHeight &&
        s.thickness_kind != kThicknessEdge) {
        return;
    }
    s.thickness_source = 0;
    s.thickness_source2 = 0;
    s.thickness_solve_value = 0.0;
    s.thickness_solve_value2 = 0.0;
    s.thickness_kind = kThicknessPlain;
}

int check_thickness_entry() {
    const int n = lens_data().current_surface;
    const SurfaceRecord& s = surface(n);
    if (s.group_kind == kGroupNonSequential && s.group_role != kRoleLast) {
        return kMsgGroupNonSequentialThickness;
    }
    int variable = 0;
    if (test_state_flag(kFlagSingleCommandUpdate) == 0 && find_thickness_variable(n, &variable)) {
        return kMsgThicknessIsVariable;
    }
    if (s.thickness_kind == kThicknessFixed) return kMsgGroupThickness;
    return 0;
}

void clear_aperture_pickup(int n) {
    SurfaceRecord& s = surface(n);
    if (s.aperture_kind != kAperturePickup) return;
    s.aperture_source = 0;
    s.aperture_kind = kApertureFixedValue;
}

void reset_decentre_tilt(int n) {
    SurfaceRecord& s = surface(n);
    s.bend = 0;
    if (s.decentre == nullptr) return;
    DecentreRecord& d = *s.decentre;
    d = {};
    d.rotation[0] = d.rotation[4] = d.rotation[8] = 1.0;
    d.tilt_mode = 1;
}
