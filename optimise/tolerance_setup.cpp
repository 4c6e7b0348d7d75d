#include "optimise/tolerance_setup.h"

#include <algorithm>
#include <new>

#include "lens/lens_data.h"
#include "numeric/memory.h"
#include "optimise/damped_least_squares.h"
#include "optimise/lens_elements.h"
#include "optimise/optimise_data.h"
#include "optimise/tolerance_defaults.h"
#include "optimise/tolerance_results.h"
#include "optimise/variables.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "trace/scoped_value.h"

namespace {

// Asphere kinds whose surface may still carry an irregularity: the plain power series and its
// near relatives; every other kind makes the surface toric-like or free-form.
bool irregularity_allowed(const SurfaceRecord& s) {
    if (s.toric != 0 || s.spline != nullptr) return false;
    if (s.asphere == nullptr) return true;
    switch (s.asphere->kind) {
        case kAsphereEven:
        case kAsphereSeries:
        case kAsphereOdd:
        case kAsphereZernike:
        case kAsphereRadial:
            return true;
        default:
            return false;
    }
}

void zero(SurfaceTolerances& t, int k, bool given) {
    t.values[k] = 0.0;
    if (given) t.switches[k] = 1;
}

}  // namespace

ToleranceUserData::ToleranceUserData() {
    const int image = lens_data().image_surface;
    surfaces_.resize(static_cast<std::size_t>(image + 1));
    for (int s = 0; s <= image; ++s) {
        const SurfaceRecord& r = surface(s);
        Surface& keep = surfaces_[static_cast<std::size_t>(s)];
        keep.had_record = r.tolerances != nullptr;
        if (keep.had_record) keep.record = *r.tolerances;
        keep.curvature_kind = r.curvature_kind;
        keep.curvature_solve_value = r.curvature_solve_value;
        keep.curvature = r.curvature;
    }
}

ToleranceUserData::~ToleranceUserData() {
    const int count = static_cast<int>(surfaces_.size());
    for (int s = 0; s < count && s <= lens_data().image_surface; ++s) {
        SurfaceRecord& r = surface(s);
        const Surface& keep = surfaces_[static_cast<std::size_t>(s)];
        if (keep.had_record && r.tolerances != nullptr) {
            *r.tolerances = keep.record;
        } else if (!keep.had_record && r.tolerances != nullptr) {
            mem_free(r.tolerances);
            r.tolerances = nullptr;
        }
        if (r.curvature_kind != keep.curvature_kind) {
            r.curvature_kind = keep.curvature_kind;
            r.curvature_solve_value = keep.curvature_solve_value;
            r.curvature = keep.curvature;
        }
    }
}

int prepare_tolerances() {
    LensData& l = lens_data();
    const int image = l.image_surface;
    std::vector<int> marks;
    try {
        marks.assign(static_cast<std::size_t>(image + 1), 0);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    find_lens_elements(marks.data(), image);
    for (int s = 1; s <= image; ++s) {
        if (ensure_surface_tolerances(s) == nullptr) return kMsgOutOfMemory;
    }
    for (int s = 1; s <= image; ++s) {
        SurfaceRecord& r = surface(s);
        SurfaceTolerances& t = *r.tolerances;
        switch (r.curvature_kind) {
            case kCurvatureAxialSlope:
            case kCurvatureChiefSlope:
            case kCurvatureFixed:
            case kCurvatureAxialIncidence:
            case kCurvatureChiefIncidence:
            case kCurvatureAxialAplanatic:
            case kCurvatureChiefAplanatic:
                // A solve would undo every change of the curvature: it holds its value instead.
                r.curvature_kind = kCurvaturePlain;
                r.curvature_solve_value = 0.0;
                break;
            default:
                break;
        }
        if (s < image) apply_default_tolerances(s, marks.data());
        switch (r.thickness_kind) {
            case kThicknessAxialHeight:
            case kThicknessChiefHeight:
            case kThicknessFixed:
            case kThicknessEdge:
            case kThicknessPickup:
            case kThicknessPickupNegated:
            case kThicknessLength:
            case kThicknessLengthNegated:
                zero(t, kTolTht, true);
                zero(t, kTolDzt, true);
                break;
            default:
                break;
        }
        if (!irregularity_allowed(r)) zero(t, kTolIrt, true);
        if (r.curvature_kind == kCurvaturePickup || r.curvature_kind == kCurvaturePickupNegated) {
            zero(t, kTolRdt, false);
            zero(t, kTolSpt, true);
            zero(t, kTolIrt, true);
            zero(t, kTolCct, false);
        }
        if (r.medium_kind == kMediumMirror || r.medium_kind == kMediumPickup) {
            zero(t, kTolRnt, true);
            zero(t, kTolVnt, true);
        }
    }
    return tolerance_set_up();
}

void mark_compensator_tolerances() {
    const OptimiseTables& o = optimise_tables();
    const int image = lens_data().image_surface;
    for (int i = 0; i <= o.highest_variable; ++i) {
        const Variable& v = o.variables[static_cast<std::size_t>(i)];
        const int s = v.surface;
        if (s < 1 || s > image) continue;
        SurfaceTolerances* t = surface(s).tolerances;
        if (t == nullptr) continue;
        switch (v.type) {
            case kVarCurvature:
                zero(*t, kTolRdt, false);
                zero(*t, kTolSpt, true);
                break;
            case kVarThickness:
                zero(*t, kTolTht, true);
                zero(*t, kTolDzt, false);
                // The image surface has no gap of its own: its thickness moves the one before.
                if (s == image && s > 1 && surface(s - 1).tolerances != nullptr) {
                    zero(*surface(s - 1).tolerances, kTolTht, true);
                }
                break;
            case 5:
            case 6:
                zero(*t, kTolRnt, true);
                zero(*t, kTolVnt, true);
                break;
            case kVarXCurvature:
                zero(*t, kTolIrt, true);
                break;
            case kVarDecentreFirst:  // DCX
                zero(*t, kTolDxt, true);
                break;
            case kVarDecentreFirst + 1:  // DCY
                zero(*t, kTolDct, true);
                break;
            case kVarDecentreFirst + 3:  // TLA
                zero(*t, kTolTlt, true);
                break;
            case kVarDecentreFirst + 4:  // TLB
                zero(*t, kTolTbt, true);
                break;
            default:
                break;
        }
    }
}

void save_variable_values() {
    const OptimiseTables& o = optimise_tables();
    std::vector<double>& nominal = tolerance_result_tables().run.nominal_variables;
    nominal.assign(static_cast<std::size_t>(std::max(o.highest_variable + 1, 1)), 0.0);
    for (int i = 0; i <= o.highest_variable; ++i) {
        const Variable& v = o.variables[static_cast<std::size_t>(i)];
        nominal[static_cast<std::size_t>(i)] = get_variable_value(v.type, v.surface, v.item);
    }
}

void restore_variable_values() {
    const OptimiseTables& o = optimise_tables();
    const std::vector<double>& nominal = tolerance_result_tables().run.nominal_variables;
    for (int i = 0; i <= o.highest_variable && i < static_cast<int>(nominal.size()); ++i) {
        set_variable_value(o.variables[static_cast<std::size_t>(i)],
                           nominal[static_cast<std::size_t>(i)]);
    }
}

int run_compensators(IterateProfile& used) {
    OptimiseParams* p = lens_data().optimise_params;
    if (p == nullptr) return kMsgNoOperands;
    OptimiseTables& o = optimise_tables();
    // The designer's settings come back whatever the iteration does.
    const ScopedValue<double> damping(p->damping, 0.001);
    const ScopedValue<double> small_damping(p->small_damping, 1e-8);
    const ScopedValue<double> reduction(p->damping_reduction, 0.6158);
    const ScopedValue<double> increment(p->derivative_increment, 1e-7);
    const ScopedValue<double> bound_weight(p->bound_weight, 1.0);
    const ScopedValue<double> stop(p->stop_threshold, 0.01);
    const ScopedValue<bool> compensating(o.compensating, true);
    const ScopedValue<bool> relative(o.relative_to_nominal, true);
    IterateOptions search;
    search.mode = 3;
    search.count = 5;
    search.quiet = true;
    // The stop threshold as a share: a compensation is done once an iteration gains less.
    search.economy_share = p->stop_threshold / 100.0;
    search.profile = &used;
    return run_iterations(search);
}
