#include "optimise/tolerance_perturbation.h"

#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "lens/lens_data.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_materials.h"
#include "numeric/memory.h"
#include "optimise/error_function.h"
#include "optimise/lens_elements.h"
#include "optimise/optimise_data.h"
#include "optimise/tolerance_defaults.h"
#include "optimise/tolerance_results.h"
#include "optimise/tolerance_setup.h"
#include "optimise/variables.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "trace/scoped_value.h"
#include "trace/surface_sag.h"

namespace {

constexpr double kTiny = 1e-40;

double first_index(int s) {
    const SurfaceRecord& r = surface(s);
    return r.index != nullptr ? r.index[0] : 1.0;
}

// A radius from a curvature and back: a plane is radius 0 both ways.
double radius_of(double c) {
    return std::fabs(c) > kTiny ? 1.0 / c : 0.0;
}
double curvature_of(double r) {
    return std::fabs(r) > kTiny ? 1.0 / r : 0.0;
}

// A record whose perturbed lens could not be had: the first reason is kept.
void mark_failed(ToleranceResult& r, int status) {
    if (r.failed == 0) r.failure = status;
    r.failed = 1;
}

// The measurement of one perturbed state into side (plus or minus) of record r.
void evaluate_state(ToleranceResult& r, int side) {
    ToleranceRun& run = tolerance_result_tables().run;
    OptimiseTables& o = optimise_tables();
    ++run.states;
    if (const int rc = tolerance_set_up(); rc != 0) {
        mark_failed(r, rc);
        return;
    }
    tolerance_evaluate();
    if (o.operand_command_status != 0) {
        mark_failed(r, o.operand_command_status);
        return;
    }
    const auto measure = [&](int column) {
        r.change[column] = tolerance_error_value() - run.nominal_error;
        for (std::size_t j = 0; j < run.selected.size() && j < r.operand_changes.size(); ++j) {
            const Operand& op = o.operands[static_cast<std::size_t>(run.selected[j])];
            r.operand_changes[j][static_cast<std::size_t>(column)] =
                op.value - run.selected_nominal[j];
        }
    };
    measure(side);
    if (!run.has_variables) return;
    const auto uncompensated = [&]() {
        r.change[2 + side] = r.change[side];
        for (auto& c : r.operand_changes) c[static_cast<std::size_t>(2 + side)] = c[side];
        restore_variable_values();
    };
    IterateProfile used;
    const int rc = run_compensators(used);
    run.profile.setups += used.setups;
    run.profile.evaluations += used.evaluations;
    run.profile.seconds += used.seconds;
    const long evaluations_before = run.profile.evaluations;
    bool measured = false;
    if (rc == 0 && tolerance_set_up() == 0) {
        tolerance_evaluate();
        if (o.operand_command_status == 0) {
            measure(2 + side);
            measured = true;
            // Compensation that made things worse is no compensation.
            if (std::fabs(r.change[side]) < std::fabs(r.change[2 + side])) uncompensated();
        }
    }
    if (!measured) {
        // The uncompensated change stands, with the nominal variables: never a 0 read as a
        // perfect compensation.
        uncompensated();
        r.compensation_failed = 1;
    }
    run.compensation_evaluations += used.evaluations + run.profile.evaluations - evaluations_before;
    std::vector<double>& values = r.compensators[side];
    for (int i = 0; i <= o.highest_variable && i < static_cast<int>(values.size()); ++i) {
        const Variable& v = o.variables[static_cast<std::size_t>(i)];
        values[static_cast<std::size_t>(i)] = get_variable_value(v.type, v.surface, v.item);
    }
    restore_variable_values();
}

// Both states of record r: set(side) changes the lens for that side.
template <class Set>
void evaluate_both(ToleranceResult& r, Set set) {
    for (const int side : {kSidePlus, kSideMinus}) {
        set(side);
        evaluate_state(r, side);
    }
}

// Test diameter of the fringe tolerances: the class's test plate for a default value, else the
// clear aperture.
double fringe_test_diameter(int s, int value) {
    const LensData& l = lens_data();
    const SurfaceRecord& r = surface(s);
    const double units = l.units != 0.0 ? l.units : 1.0;
    const double plate =
        kToleranceClassDefaults[diameter_class(units * r.aperture_radius)].test_plate_diameter;
    if (r.tolerances->switches[value] == 0 && plate != 0.0) return plate / units;
    return 2.0 * r.aperture_radius;
}

void perturb_radius(ToleranceResult& r, int s, double t) {
    SurfaceRecord& rec = surface(s);
    const ScopedValue<double> keep(rec.curvature);
    const double radius = radius_of(keep.saved());
    const double sigma = keep.saved() >= 0.0 ? 1.0 : -1.0;
    evaluate_both(r, [&](int side) {
        const double sign = side == kSidePlus ? 1.0 : -1.0;
        rec.curvature = curvature_of(radius + sign * sigma * t);
    });
}

void perturb_power(ToleranceResult& r, int s, double t) {
    SurfaceRecord& rec = surface(s);
    const ScopedValue<double> keep(rec.curvature);
    const double radius = radius_of(keep.saved());
    const double sigma = keep.saved() >= 0.0 ? 1.0 : -1.0;
    const FringeRadii d = fringe_radii(std::fabs(t), radius, fringe_test_diameter(s, kTolSpt));
    const double first = t > 0.0 ? d.plus : d.minus;
    const double second = t > 0.0 ? d.minus : d.plus;
    evaluate_both(r, [&](int side) {
        rec.curvature = curvature_of(radius + sigma * (side == kSidePlus ? first : second));
    });
}

void perturb_conic(ToleranceResult& r, int s, double t) {
    SurfaceRecord& rec = surface(s);
    const ScopedValue<double> keep(rec.conic);
    evaluate_both(r, [&](int side) { rec.conic = keep.saved() + (side == kSidePlus ? t : -t); });
}

void perturb_thickness(ToleranceResult& r, int s, double t) {
    SurfaceRecord& rec = surface(s);
    const ScopedValue<double> keep(rec.thickness);
    evaluate_both(r,
                  [&](int side) { rec.thickness = keep.saved() + (side == kSidePlus ? t : -t); });
}

// The medium behind s takes the indices that index_of(side, wavelength) gives, through the
// program's own medium; the material comes back with the scope.
template <class IndexOf>
void perturb_medium(ToleranceResult& r, int s, IndexOf index_of) {
    SurfaceRecord& rec = surface(s);
    const ScopedValue<std::uint8_t> kind(rec.medium_kind);
    double* fixed = program_fixed_medium();
    const int count = std::min(lens_data().wavelength_count, max_wavelengths());
    evaluate_both(r, [&](int side) {
        for (int i = 0; i < count; ++i) fixed[i] = index_of(side, i);
        rec.medium_kind = kMediumProgramFixed;
        lens_flags().materials_changed = 1;
    });
    lens_flags().materials_changed = 1;
}

// The indices of the medium behind s at every lens wavelength: empty when they cannot be had.
std::vector<double> indices_behind(int s) {
    const SurfaceRecord& rec = surface(s);
    const int count = lens_data().wavelength_count;
    std::vector<double> n(static_cast<std::size_t>(std::max(count, 0)), 1.0);
    for (int i = 0; i < count && rec.index != nullptr; ++i)
        n[static_cast<std::size_t>(i)] = rec.index[i];
    return n;
}

// Wavelengths reduced so that an index linear in them has a linear dispersion.
double reduced_wavelength(double lambda, double lambda0) {
    const double d = 1.0 + 2.5 * (lambda - lambda0);
    return std::fabs(d) > kTiny ? (lambda - lambda0) / d : 0.0;
}

// The frame records of a surface that name another surface.
template <class Visit>
void for_each_frame_record(SurfaceRecord& r, Visit visit) {
    for (DecentreRecord* d : {r.return_coordinates, r.return_coordinates2, r.decentre_reference}) {
        if (d != nullptr) visit(*d);
    }
}

// Whether a surface after s returns to or measures from the frame of s.
bool frame_referenced_later(int s) {
    bool referenced = false;
    for (int j = s + 1; j <= lens_data().image_surface; ++j) {
        for_each_frame_record(surface(j), [&](DecentreRecord& d) {
            if (d.pickup_source == s) referenced = true;
        });
    }
    return referenced;
}

// A surface inserted before s for one perturbation: it stands where s stood, in the medium in
// front of s, so that s (now s + 1) can move or tilt alone. The frame records of later surfaces
// that named s keep naming the place where s stood. Everything goes back when the scope ends.
class DummyBefore {
public:
    explicit DummyBefore(int s) : s_(s) {
        status_ = insert_surface(s);
        if (status_ != 0) return;
        // The medium in front of the moved surface, taken from the last surface before it that
        // is no mirror (a mirror keeps the medium in front of it).
        int from = s - 1;
        while (from > 0 && surface(from).medium_kind == kMediumMirror) --from;
        if (!tolerance_air_behind(from)) {
            SurfaceRecord& d = surface(s);
            d.medium_kind = kMediumPickup;
            d.medium_source = static_cast<std::int16_t>(from);
        }
        surface(s).thickness = 0.0;
        lens_flags().materials_changed = 1;
        for (int j = s + 2; j <= lens_data().image_surface; ++j) {
            for_each_frame_record(surface(j), [&](DecentreRecord& rec) {
                if (rec.pickup_source == s + 1) {
                    rec.pickup_source = static_cast<std::int16_t>(s);
                    redirected_.push_back(&rec);
                }
            });
        }
    }
    ~DummyBefore() {
        if (status_ != 0) return;
        for (DecentreRecord* rec : redirected_)
            rec->pickup_source = static_cast<std::int16_t>(s_ + 1);
        delete_surface(s_);
        lens_flags().materials_changed = 1;
    }
    DummyBefore(const DummyBefore&) = delete;
    DummyBefore& operator=(const DummyBefore&) = delete;
    int status() const { return status_; }

private:
    int s_;
    int status_ = 0;
    std::vector<DecentreRecord*> redirected_;
};

// A frame record of its own: identity, tilt mode 1.
DecentreRecord* new_frame_record() {
    auto* d = alloc_array_of<DecentreRecord>(1);
    if (d == nullptr) return nullptr;
    *d = {};
    d->rotation[0] = d->rotation[4] = d->rotation[8] = 1.0;
    d->tilt_mode = 1;
    return d;
}

// A record attached to a surface for the scope and freed with it.
class TemporaryRecord {
public:
    TemporaryRecord(DecentreRecord*& slot, DecentreRecord* record) : slot_(slot) { slot_ = record; }
    ~TemporaryRecord() {
        mem_free(slot_);
        slot_ = nullptr;
    }
    TemporaryRecord(const TemporaryRecord&) = delete;
    TemporaryRecord& operator=(const TemporaryRecord&) = delete;

private:
    DecentreRecord*& slot_;
};

// An asphere record attached to a surface for the scope and freed with it.
class TemporaryAsphere {
public:
    TemporaryAsphere(AsphereRecord*& slot, AsphereRecord* record) : slot_(slot) { slot_ = record; }
    ~TemporaryAsphere() {
        mem_free(slot_);
        slot_ = nullptr;
    }
    TemporaryAsphere(const TemporaryAsphere&) = delete;
    TemporaryAsphere& operator=(const TemporaryAsphere&) = delete;

private:
    AsphereRecord*& slot_;
};

// Kind 3: irregularity as astigmatism. Half the fringes go into each section of a biconic
// made for the duration, one section lengthened and the other shortened, then the reverse. A
// surface that already has a form of its own cannot take it without losing that form.
void perturb_irregularity(ToleranceResult& r, int s, double t) {
    SurfaceRecord& rec = surface(s);
    if (rec.asphere != nullptr || rec.toric != 0 || rec.spline != nullptr) {
        mark_failed(r, kMsgToleranceIrregularityAspheric);
        return;
    }
    auto* biconic = alloc_array_of<AsphereRecord>(1);
    if (biconic == nullptr) {
        mark_failed(r, kMsgOutOfMemory);
        return;
    }
    *biconic = {};
    biconic->kind = kAsphereBiconic;
    const TemporaryAsphere attached(rec.asphere, biconic);
    const ScopedValue<double> keep(rec.curvature);
    const ScopedValue<double> keep_x(rec.x_curvature);
    const ScopedValue<double> keep_x_conic(rec.x_conic);
    const ScopedValue<std::uint8_t> keep_toric(rec.toric);
    const ScopedValue<std::uint16_t> keep_shape(rec.shape);
    rec.x_conic = rec.conic;
    const double radius = radius_of(keep.saved());
    const double sigma = keep.saved() >= 0.0 ? 1.0 : -1.0;
    const double half = t * 0.7071067811865476;
    const FringeRadii d = fringe_radii(std::fabs(half), radius, fringe_test_diameter(s, kTolIrt));
    const double first = half > 0.0 ? d.plus : d.minus;
    const double second = half > 0.0 ? d.minus : d.plus;
    evaluate_both(r, [&](int side) {
        const bool plus = side == kSidePlus;
        rec.x_curvature = curvature_of(radius + sigma * (plus ? first : second));
        rec.curvature = curvature_of(radius + sigma * (plus ? second : first));
    });
}

// Kind 7: the surface alone moves along the axis; the surfaces behind keep their places.
void perturb_position(ToleranceResult& r, int s, double t) {
    const DummyBefore dummy(s);
    if (dummy.status() != 0) {
        mark_failed(r, dummy.status());
        return;
    }
    SurfaceRecord& moved = surface(s + 1);
    const ScopedValue<double> keep(moved.thickness);
    evaluate_both(r, [&](int side) {
        const double d = side == kSidePlus ? t : -t;
        surface(s).thickness = d;
        moved.thickness = keep.saved() - d;
    });
}

// Degrees from the lens's tolerance angle unit.
double tilt_degrees(double value) {
    switch (lens_data().tolerance_angle_units) {
        case 1:
            return value * 57.29577951308232;
        case 2:
            return value * 0.016666666666666666;
        case 3:
            return value * 0.0002777777777777778;
        default:
            return value;
    }
}

// The member of a decentre record a surface kind moves.
double& decentre_member(DecentreRecord& d, int kind) {
    switch (kind) {
        case kKindDecentreY:
            return d.dcy;
        case kKindDecentreX:
            return d.dcx;
        case kKindTiltA:
            return d.tla;
        default:
            return d.tlb;
    }
}

// Kinds 10 to 13: the surface alone decentred or tilted, the coordinates returned behind it.
void perturb_surface_alone(ToleranceResult& r, int s, int kind, double t) {
    const double d = kind == kKindTiltA || kind == kKindTiltB ? tilt_degrees(t) : t;
    const auto run_on = [&](DecentreRecord& rec) {
        double& member = decentre_member(rec, kind);
        const ScopedValue<double> keep(member);
        evaluate_both(r, [&](int side) { member = keep.saved() + (side == kSidePlus ? d : -d); });
    };
    SurfaceRecord& own = surface(s);
    if (own.decentre != nullptr && own.return_coordinates != nullptr &&
        own.return_coordinates->pickup_source == s) {
        run_on(*own.decentre);  // its own decentre acts on it alone already
        return;
    }
    if (own.bend != 0 || own.second_tilt != 0) {
        mark_failed(r, kMsgToleranceNotApplicable);  // a tilt behind it is not carried past it
        return;
    }
    // Where the surface's frame differs from the one in front of it, or later surfaces name its
    // frame, a dummy keeps that frame where the surface stood and the surface moves behind it.
    const bool alone = own.decentre == nullptr && own.decentre_reference == nullptr &&
                       own.return_coordinates2 == nullptr && !frame_referenced_later(s);
    std::unique_ptr<DummyBefore> dummy;
    if (!alone) {
        dummy = std::make_unique<DummyBefore>(s);
        if (dummy->status() != 0) {
            mark_failed(r, dummy->status());
            return;
        }
    }
    const int target = alone ? s : s + 1;
    SurfaceRecord& moved = surface(target);
    SurfaceRecord& stand_in = surface(s);
    // The dummy takes the surface's decentre and the records that go with it; they come back
    // when the scope ends. A record naming the surface itself names the dummy meanwhile.
    struct Handover {
        SurfaceRecord& moved;
        SurfaceRecord& stand_in;
        int s;
        bool active;
        void swap() const {
            std::swap(moved.decentre, stand_in.decentre);
            std::swap(moved.decentre_reference, stand_in.decentre_reference);
            std::swap(moved.return_coordinates2, stand_in.return_coordinates2);
        }
        void rename(int from, int to) const {
            for_each_frame_record(stand_in, [&](DecentreRecord& rec) {
                if (rec.pickup_source == from) rec.pickup_source = static_cast<std::int16_t>(to);
            });
        }
        ~Handover() {
            if (!active) return;
            rename(s, s + 1);
            swap();
        }
    } const handover{moved, stand_in, s, !alone};
    if (handover.active) {
        handover.swap();
        handover.rename(s + 1, s);
    }
    DecentreRecord* decentre = new_frame_record();
    if (decentre == nullptr) {
        mark_failed(r, kMsgOutOfMemory);
        return;
    }
    const TemporaryRecord own_decentre(moved.decentre, decentre);
    std::unique_ptr<TemporaryRecord> own_return;
    if (moved.return_coordinates == nullptr) {
        DecentreRecord* back = new_frame_record();
        if (back == nullptr) {
            mark_failed(r, kMsgOutOfMemory);
            return;
        }
        back->pickup_source = static_cast<std::int16_t>(target);
        own_return = std::make_unique<TemporaryRecord>(moved.return_coordinates, back);
    }
    run_on(*decentre);
}

// The frame records of surfaces f..l, and those of later surfaces naming one of them.
bool element_has_frames(int f, int l) {
    for (int j = f; j <= l; ++j) {
        SurfaceRecord& r = surface(j);
        if (r.decentre != nullptr || r.return_coordinates != nullptr ||
            r.return_coordinates2 != nullptr || r.decentre_reference != nullptr || r.bend != 0 ||
            r.second_tilt != 0 || frame_referenced_later(j)) {
            return true;
        }
    }
    return false;
}

// A surface inserted behind the last surface l of an element for one perturbation: it takes
// l's thickness with its solve, the thickness variables and pickups that name it, so that the
// gap behind the element keeps its meaning while l keeps the element's frame. Everything goes
// back when the scope ends.
class GapAfter {
public:
    explicit GapAfter(int l) : l_(l) {
        status_ = insert_surface(l + 1);
        if (status_ != 0) return;
        SurfaceRecord& last = surface(l);
        SurfaceRecord& gap = surface(l + 1);
        if (!tolerance_air_behind(l)) {
            gap.medium_kind = kMediumPickup;
            gap.medium_source = static_cast<std::int16_t>(l);
        }
        swap_gap(last, gap);
        lens_flags().materials_changed = 1;
        OptimiseTables& o = optimise_tables();
        for (int i = 0; i <= o.highest_variable; ++i) {
            Variable& v = o.variables[static_cast<std::size_t>(i)];
            if (v.type == kVarThickness && v.surface == l) {
                v.surface = static_cast<std::uint16_t>(l + 1);
                variables_.push_back(i);
            }
        }
        for (int j = l + 2; j <= lens_data().image_surface; ++j) {
            SurfaceRecord& r = surface(j);
            if ((r.thickness_kind == kThicknessPickup ||
                 r.thickness_kind == kThicknessPickupNegated) &&
                r.thickness_source == l) {
                r.thickness_source = static_cast<std::int16_t>(l + 1);
                pickups_.push_back(j);
            }
        }
    }
    ~GapAfter() {
        if (status_ != 0) return;
        OptimiseTables& o = optimise_tables();
        for (const int i : variables_) {
            o.variables[static_cast<std::size_t>(i)].surface = static_cast<std::uint16_t>(l_);
        }
        for (const int j : pickups_) surface(j).thickness_source = static_cast<std::int16_t>(l_);
        swap_gap(surface(l_), surface(l_ + 1));
        delete_surface(l_ + 1);
        lens_flags().materials_changed = 1;
    }
    GapAfter(const GapAfter&) = delete;
    GapAfter& operator=(const GapAfter&) = delete;
    int status() const { return status_; }

private:
    static void swap_gap(SurfaceRecord& a, SurfaceRecord& b) {
        std::swap(a.thickness, b.thickness);
        std::swap(a.thickness_kind, b.thickness_kind);
        std::swap(a.thickness_solve_value, b.thickness_solve_value);
        std::swap(a.thickness_solve_value2, b.thickness_solve_value2);
        std::swap(a.thickness_source, b.thickness_source);
        std::swap(a.thickness_source2, b.thickness_source2);
        std::swap(a.thickness_variable, b.thickness_variable);
    }
    int l_;
    int status_ = 0;
    std::vector<int> variables_;
    std::vector<int> pickups_;
};

// Kinds 14 and 15: the element from s to its last surface moves across the axis as one; the
// surfaces behind it keep their places.
void perturb_element_decentre(ToleranceResult& r, int s, int kind, double d, const int* marks) {
    const int image = lens_data().image_surface;
    int l = s + 1;
    while (l < image && marks[l] != kElementLast) ++l;
    if (element_has_frames(s, l)) {
        mark_failed(r, kMsgToleranceNotApplicable);
        return;
    }
    const GapAfter gap(l);
    if (gap.status() != 0) {
        mark_failed(r, gap.status());
        return;
    }
    DecentreRecord* shift = new_frame_record();
    DecentreRecord* back = new_frame_record();
    if (shift == nullptr || back == nullptr) {
        mem_free(shift);
        mem_free(back);
        mark_failed(r, kMsgOutOfMemory);
        return;
    }
    const TemporaryRecord on_first(surface(s).decentre, shift);
    const TemporaryRecord on_gap(surface(l + 1).decentre, back);
    const int member = kind == kKindElementDecentreY ? kKindDecentreY : kKindDecentreX;
    evaluate_both(r, [&](int side) {
        const double v = side == kSidePlus ? d : -d;
        decentre_member(*shift, member) = v;
        decentre_member(*back, member) = -v;
    });
}

// The pivot of an element tilt in the frame of the element's first vertex: a point of the
// clear-aperture edge of surface s on the y axis (edge kinds, alpha) or the x axis (beta), or
// the centre of curvature of s (its vertex for a plane).
struct Pivot {
    double x, y, z;
};
Pivot element_pivot(int f, int s, int kind) {
    double z = 0.0;
    for (int j = f; j < s; ++j) z += surface(j).thickness;
    const SurfaceRecord& rec = surface(s);
    if (kind == kKindElementCentreTiltA || kind == kKindElementCentreTiltB) {
        return {0.0, 0.0, z + (std::fabs(rec.curvature) > kTiny ? 1.0 / rec.curvature : 0.0)};
    }
    const double h = rec.aperture_radius;
    const double x = kind == kKindElementEdgeTiltB ? h : 0.0;
    const double y = kind == kKindElementEdgeTiltA ? h : 0.0;
    SagPoint p{};
    surface_sag_normal(rec, x, y, p);
    return {x, y, z + p.z};
}

// Kinds 16 to 19: the element tilted as one about its pivot. A stand-in in front of the element
// turns the frame about the pivot, and two behind it turn it back, so that everything behind
// the element keeps its place; the gap behind the element keeps its thickness, solve,
// variables and pickups on the last of them.
void perturb_element_tilt(ToleranceResult& r, int s, int kind, double t, const int* marks) {
    const int image = lens_data().image_surface;
    int f = s;
    int l = s;
    if (marks[s] == kElementFirst) {
        while (l < image && marks[l] != kElementLast) ++l;
    } else {
        while (f > 1 && marks[f] != kElementFirst) --f;
    }
    if (element_has_frames(f, l)) {
        mark_failed(r, kMsgToleranceNotApplicable);
        return;
    }
    const Pivot p = element_pivot(f, s, kind);
    double length = 0.0;
    for (int j = f; j < l; ++j) length += surface(j).thickness;
    // Destroyed in the reverse order, each finds the lens as it left it.
    const GapAfter turn_back(l);
    if (turn_back.status() != 0) {
        mark_failed(r, turn_back.status());
        return;
    }
    const GapAfter gap(l + 1);
    if (gap.status() != 0) {
        mark_failed(r, gap.status());
        return;
    }
    const DummyBefore turn(f);
    if (turn.status() != 0) {
        mark_failed(r, turn.status());
        return;
    }
    // Now the stand-in is f, the element f + 1 .. l + 1, the two behind it l + 2 and l + 3.
    DecentreRecord* records[4] = {new_frame_record(), new_frame_record(), new_frame_record(),
                                  new_frame_record()};
    for (DecentreRecord*& d : records) {
        if (d != nullptr) continue;
        for (DecentreRecord* e : records) mem_free(e);
        mark_failed(r, kMsgOutOfMemory);
        return;
    }
    const TemporaryRecord to_pivot(surface(f).decentre, records[0]);
    const TemporaryRecord from_pivot(surface(f + 1).decentre, records[1]);
    const TemporaryRecord back_to_pivot(surface(l + 2).decentre, records[2]);
    const TemporaryRecord from_pivot_back(surface(l + 3).decentre, records[3]);
    // The pivot as the frame at the last vertex sees it.
    const double behind[3] = {p.x, p.y, p.z - length};
    const double in_front[3] = {p.x, p.y, p.z};
    const auto place = [](DecentreRecord& d, const double* v, double sign) {
        d.dcx = sign * v[0];
        d.dcy = sign * v[1];
        d.dcz = sign * v[2];
    };
    place(*records[0], in_front, 1.0);
    place(*records[1], in_front, -1.0);
    place(*records[2], behind, 1.0);
    place(*records[3], behind, -1.0);
    const bool alpha = kind == kKindElementEdgeTiltA || kind == kKindElementCentreTiltA;
    const double a = tilt_degrees(t);
    evaluate_both(r, [&](int side) {
        const double v = side == kSidePlus ? a : -a;
        (alpha ? records[0]->tla : records[0]->tlb) = v;
        (alpha ? records[2]->tla : records[2]->tlb) = -v;
    });
}

bool applies(int kind, int s, double t, int mode, const int* marks) {
    if (std::fabs(t) <= kTiny) return false;
    const bool air = tolerance_air_behind(s);
    const bool group = mode == kKindGroupConstruction || mode == kKindGroupAll;
    switch (kind) {
        case kKindAirThickness:
        case kKindGlassThickness:
            if (group) return true;
            return kind == kKindAirThickness ? air : !air;
        case kKindAbbe:
            return lens_data().wavelength_count >= 3;
        case kKindElementDecentreY:
        case kKindElementDecentreX:
            return marks != nullptr && marks[s] == kElementFirst;
        case kKindElementEdgeTiltA:
        case kKindElementEdgeTiltB:
        case kKindElementCentreTiltA:
        case kKindElementCentreTiltB:
            return marks != nullptr && (marks[s] == kElementFirst || marks[s] == kElementLast);
        default:
            return true;
    }
}

}  // namespace

double tolerance_error_value() {
    return shown_error(optimise_tables().error.minimisation);
}

bool tolerance_air_behind(int s) {
    return std::fabs(first_index(s) - 1.0) < kTiny;
}

bool tolerance_kind_built(int kind) {
    switch (kind) {
        case kKindRadius:
        case kKindPower:
        case kKindIrregularity:
        case kKindConic:
        case kKindAirThickness:
        case kKindGlassThickness:
        case kKindIndex:
        case kKindAbbe:
        case kKindPosition:
        case kKindDecentreY:
        case kKindDecentreX:
        case kKindTiltA:
        case kKindTiltB:
        case kKindElementDecentreY:
        case kKindElementDecentreX:
        case kKindElementEdgeTiltA:
        case kKindElementEdgeTiltB:
        case kKindElementCentreTiltA:
        case kKindElementCentreTiltB:
            return true;
        default:
            return false;
    }
}

int perturb_tolerance(int kind, int s, int mode, const int* marks) {
    const int value = tolerance_value_of_kind(kind);
    ToleranceResult* record = tolerance_result(value, s);
    const SurfaceTolerances* tolerances = surface(s).tolerances;
    if (record == nullptr || tolerances == nullptr || !tolerance_kind_built(kind)) return 0;
    ToleranceResult& r = *record;
    const double t = tolerances->values[value];
    clear_tolerance_pair(r);
    if (!applies(kind, s, t, mode, marks)) {
        // The thickness kinds share one record: the other kind may still want it.
        r.computed = kind == kKindAirThickness || kind == kKindGlassThickness ? 0 : 1;
        return 0;
    }
    std::vector<double> n;
    if (kind == kKindIndex || kind == kKindAbbe) {
        try {
            n = indices_behind(s);
        } catch (const std::bad_alloc&) {
            return kMsgOutOfMemory;
        }
    }
    switch (kind) {
        case kKindRadius:
            perturb_radius(r, s, t);
            break;
        case kKindPower:
            perturb_power(r, s, t);
            break;
        case kKindIrregularity:
            perturb_irregularity(r, s, t);
            break;
        case kKindConic:
            perturb_conic(r, s, t);
            break;
        case kKindAirThickness:
        case kKindGlassThickness:
            perturb_thickness(r, s, t);
            break;
        case kKindPosition:
            perturb_position(r, s, t);
            break;
        case kKindDecentreY:
        case kKindDecentreX:
        case kKindTiltA:
        case kKindTiltB:
            perturb_surface_alone(r, s, kind, t);
            break;
        case kKindElementDecentreY:
        case kKindElementDecentreX:
            perturb_element_decentre(r, s, kind, t, marks);
            break;
        case kKindElementEdgeTiltA:
        case kKindElementEdgeTiltB:
        case kKindElementCentreTiltA:
        case kKindElementCentreTiltB:
            perturb_element_tilt(r, s, kind, t, marks);
            break;
        case kKindIndex:
            perturb_medium(r, s, [&](int side, int i) {
                return n[static_cast<std::size_t>(i)] + (side == kSidePlus ? t : -t);
            });
            break;
        case kKindAbbe: {
            const WavelengthEntry* w = lens_data().wavelengths;
            const double l0 = w[0].wavelength;
            const double x1 = reduced_wavelength(w[1].wavelength, l0);
            const double x2 = reduced_wavelength(w[2].wavelength, l0);
            const double a =
                std::fabs(w[1].wavelength - w[2].wavelength) < kTiny || std::fabs(x2 - x1) <= kTiny
                    ? 0.0
                    : (n[1] - n[2]) / (x2 - x1);
            perturb_medium(r, s, [&](int side, int i) {
                if (i == 0) return n[0];
                const double p = 0.01 * (side == kSidePlus ? t : -t);
                const double f = std::fabs(1.0 + p) < kTiny ? 0.0 : p / (1.0 + p);
                const double x = reduced_wavelength(w[i].wavelength, l0);
                return n[static_cast<std::size_t>(i)] + x * f * a;
            });
            break;
        }
        default:
            break;
    }
    r.has_values = 1;
    r.computed = 1;
    return tolerance_set_up();
}
