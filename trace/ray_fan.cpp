#include "trace/ray_fan.h"

#include <cmath>

#include "lens/lens_data.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lane_trace.h"
#include "trace/object_point.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr double kSmallValue = 1e-8;
constexpr double kMicrometresPerMillimetre = 1000.0;

// What the fan needs of the reference ray of the primary wavelength.
struct PrimaryReference {
    double x = 0.0, y = 0.0, z = 0.0;
    double tan_x = 0.0, tan_y = 0.0;
    double k = 0.0, l = 0.0, m = 0.0;
    double radius = kZeroDenominator;
    double vx = 0.0, vy = 0.0, vz = 0.0;  // where the reference ray meets its sphere
};

double tangent(double a, double n) {
    return std::fabs(n) < kZeroDenominator ? 0.0 : a / n;
}

PrimaryReference remember_primary() {
    const ReferenceRay& ref = reference_ray();
    const RayRecord& r = ref.ray;
    PrimaryReference p;
    p.x = r.x;
    p.y = r.y;
    p.z = r.z;
    p.tan_x = tangent(r.k, r.m);
    p.tan_y = tangent(r.l, r.m);
    p.k = r.k;
    p.l = r.l;
    p.m = r.m;
    if (!lens_data().afocal) {
        p.radius = ref.sphere_radius;
        p.vx = r.x - p.radius * r.k;
        p.vy = r.y - p.radius * r.l;
        p.vz = r.z - p.radius * r.m;
    }
    return p;
}

// The optical path difference of a ray of another wavelength carried to the primary reference
// sphere (or plane), so that the fan shows the difference against the primary wavelength.
double primary_path_correction(const RayRecord& ray, const PrimaryReference& p) {
    const LensData& lens = lens_data();
    const RayRecord& cur = reference_ray().ray;
    const double n = ray.medium != nullptr ? ray.medium[ray.wavelength] : 1.0;
    double correction;
    if (!lens.afocal) {
        const double ix = p.x - ray.x, iy = p.y - ray.y, iz = p.z - ray.z;
        const double rp = p.radius;
        const double ui = ray.k * ix + ray.l * iy + ray.m * iz;
        const double ii = ix * ix + iy * iy + iz * iz;
        double disc = ui * ui - (ii - rp * rp);
        if (disc < 0.0) disc = 0.0;
        const double den = rp > 0.0 ? -ui - std::sqrt(disc) : std::sqrt(disc) - ui;
        const double s = std::fabs(den) < kZeroDenominator ? 0.0 : (ii - rp * rp) / den;
        const double qx = ray.x - s * ray.k, qy = ray.y - s * ray.l, qz = ray.z - s * ray.m;
        if (std::fabs(rp) < kZeroDenominator) return 0.0;
        correction = -((cur.x - p.x) * (qx - p.vx) + (cur.y - p.y) * (qy - p.vy) +
                       (cur.z - p.z) * (qz - p.vz)) *
                     n / rp;
    } else {
        if (std::fabs(cur.m) < kZeroDenominator) return 0.0;
        const double ud = ray.k * p.k + ray.l * p.l + ray.m * p.m;
        const double pd = (ray.x - p.x) * p.k + (ray.y - p.y) * p.l + (ray.z - p.z) * p.m;
        const double s = std::fabs(ud) <= kZeroDenominator ? 0.0 : pd / ud;
        const double qx = ray.x - s * ray.k, qy = ray.y - s * ray.l;
        correction =
            ((p.tan_x - cur.k / cur.m) * (qx - p.x) + (p.tan_y - cur.l / cur.m) * (qy - p.y)) * n;
    }
    if (lens.opdw) {
        const double w = lens.wavelengths[ray.wavelength].wavelength;
        if (w >= kZeroDenominator) correction *= lens.units * kMicrometresPerMillimetre / w;
    }
    return correction;
}

struct FanRay {
    RayRecord ray;
    double p;       // the varying pupil fraction
    double height;  // relative height on the reference surface
};

void cell(double v) {
    paraxial_number_cell(v);
}

// What a fan shows (its mode argument).
enum FanMode : int { kFanIntercepts = 0, kFanPathDifferences = 1, kFanBoth = 2 };

// The fan's arguments: direction 0 a y fan, other an x fan; the mode; count rays from last down
// to first; the other pupil fraction fixed.
struct FanArguments {
    int direction = 0;
    int mode = 0;
    int count = 0;
    bool first_omitted = false;
    double first = 0.0;
    double last = 0.0;
    double fixed = 0.0;
    bool y_fan() const { return direction == 0; }
    bool intercepts() const { return mode == kFanBoth || mode == kFanIntercepts; }
    bool path_differences() const { return mode == kFanPathDifferences || mode == kFanBoth; }
};

FanArguments read_fan_arguments() {
    FanArguments a;
    a.direction = arg_int(0);
    a.mode = arg_int(1);
    a.count = arg_int(2);
    const ArgCell* first_cell = arg_cell(3);
    a.first_omitted = first_cell == nullptr || first_cell->status != 0;
    a.first = arg_double(3);
    a.last = arg_double(4);
    a.fixed = arg_double(5);
    return a;
}

// The number of rays: the lens's fan count when none is given; an x fan from the axis covers
// half the pupil, half the default count, odd.
void settle_ray_count(FanArguments& a, const LensData& lens) {
    if (!a.y_fan() && (a.first_omitted || a.first == 0.0)) {
        a.first = 0.0;
        if (a.count == 0) {
            a.count = lens.fan_rays / 2;
            if (a.count % 2 == 0) ++a.count;
        }
    }
    if (a.count == 0) a.count = lens.fan_rays;
    if (a.count < 1) a.count = 1;
}

void print_fan_heading(const FanArguments& a, bool on_axis, int w) {
    print_msg(kMsgFanHeading);
    print_wavelength_suffix();
    paraxial_configuration_warning();
    print_msg(a.y_fan() ? kMsgYFanColumns : kMsgXFanColumns);
    if (a.intercepts()) print_msg(kMsgInterceptColumns);
    if (a.path_differences()) {
        if (on_axis) {
            print_msg(w == 0 ? kMsgOnAxisPrimaryColumns : kMsgOnAxisOtherColumns);
        } else {
            print_msg(w == 0 ? kMsgPrimaryColumns : kMsgOtherWavelengthColumns);
        }
    }
    text_newline();
}

// What the offence against the sine condition of an on-axis fan needs: the image-side
// derivative of the reference ray's tangent (D), the reference sphere's radius (Rp), the focus
// position (F), the squared pupil-to-object ratio (k2), and how the pupil fraction of a ray is
// found.
struct SineCondition {
    double D = 0.0, Rp = 0.0, F = 0.0, k2 = 0.0;
    bool sine_mode = false;  // a wide pupil or telecentric object: the pupil fraction is a sine
    bool aiming = false;     // the aimed set-up finds the entrance-pupil fraction
    const double* rim_bounds = nullptr;
};

SineCondition sine_condition(const LensData& lens, const RayRecord& ref) {
    SineCondition sc;
    const double th0 = surface(0).thickness;
    const double epr = lens.entrance_pupil_radius;
    sc.sine_mode = (std::fabs(epr) >= kSmallPupilRatio * std::fabs(th0) && !lens.epxy) ||
                   (std::fabs(th0) < kInfiniteObject && lens.aim_telecentric);
    sc.aiming =
        lens.wide_angle != 0 && trace_globals().aiming_possible != 0 && lens.reference_surface >= 2;
    sc.rim_bounds = lens.aim_mode == kAimRimRays ? ref.pupil_bounds : nullptr;
    const RayDerivative& d = reference_ray().derivatives[kDerivPupilY];
    const double n2 = ref.m * ref.m;
    sc.D = n2 < kZeroDenominator ? 0.0 : (d.dl * ref.m - d.dm * ref.l) / n2;
    sc.Rp = reference_ray().sphere_radius;
    if (ref.m < 0.0) {
        sc.D = -sc.D;
        sc.Rp = -sc.Rp;
    }
    sc.F = sc.Rp + ref.sphere_path;
    sc.k2 = std::fabs(th0) < kZeroDenominator ? 0.0 : (epr / th0) * (epr / th0);
    return sc;
}

// The offence against the sine condition of a traced ray of an on-axis fan.
double sine_offence(const SineCondition& sc, const RayRecord& ray, const RayRecord& ref) {
    const double z = std::fabs(ray.dtan_y) < kZeroDenominator ? 0.0 : -(ray.dy / ray.dtan_y);
    const double zm = (z + sc.Rp) * ray.l;
    const double G = std::fabs(zm) < kZeroDenominator ? 0.0 : 1.0 / zm;
    double pv = ray.pup_y, c;
    if (sc.aiming) {
        // The entrance-pupil fraction the aimed set-up finds for the ray.
        RayRecord aimed = ray;
        aimed.kind = kRayFractional;
        setup_ray_at_object(aimed, nullptr);
        pv = aimed.paraxial_pup_y;
        c = 1.0 / std::sqrt(pv * pv * sc.k2 + 1.0);
    } else {
        if (sc.rim_bounds != nullptr) {
            const double* b = sc.rim_bounds + 5 * ray.wavelength;
            pv = ((pv + 1.0) * (b[3] - b[2]) / 2.0 + b[2]) - ref.eff_pup_y;
        }
        if (!sc.sine_mode) {
            c = 1.0 / std::sqrt(pv * pv * sc.k2 + 1.0);
        } else {
            const double ww = (1.0 - pv * pv) * sc.k2 + 1.0;
            if (ww < 0.0) {
                pv = c = 0.0;
            } else {
                pv = pv / std::sqrt(ww);
                c = std::sqrt(ww) / std::sqrt(sc.k2 + 1.0);
            }
        }
    }
    return std::fabs(pv) >= kSmallValue ? c * pv * G * sc.F * sc.D - 1.0 : 0.0;
}

// The shift of another wavelength's reference ray from the primary one's, added to its
// differences so that the fan shows them against the primary wavelength (none with NOLC).
struct ChromaticShift {
    double tan_x = 0.0, tan_y = 0.0;
    double x = 0.0, y = 0.0, z = 0.0;
};

ChromaticShift chromatic_shift(const LensData& lens, const RayRecord& ref, int w,
                               const PrimaryReference& primary) {
    ChromaticShift c;
    if (w == 0 || lens.nolc) return c;
    c.tan_x = tangent(ref.k, ref.m) - primary.tan_x;
    c.tan_y = tangent(ref.l, ref.m) - primary.tan_y;
    c.x = ref.x - primary.x;
    c.y = ref.y - primary.y;
    c.z = ref.z - primary.z;
    return c;
}

// Traces the rays of the fan to the surface last, side by side in lanes.
void trace_fan_rays(FanRay* rays, int count, int last) {
    RayRecord* set[kMaxLanes];
    for (int j = 0; j < count; ++j) set[j] = &rays[j].ray;
    trace_lanes_to_surface(set, count, last);
}

// The ray's relative height on the reference surface, signed by the coordinate along the fan
// (the other one where that is 0).
void note_reference_height(FanRay& f, bool y_fan, double reciprocal_radius) {
    if (f.ray.failure != 0) return;
    const RayRecord& r = f.ray;
    f.height = std::sqrt(r.x * r.x + r.y * r.y) * reciprocal_radius;
    const double governing = y_fan ? (std::fabs(r.y) < kZeroDenominator ? r.x : r.y)
                                   : (std::fabs(r.x) < kZeroDenominator ? r.y : r.x);
    if (governing < 0.0) f.height = -f.height;
}

// What every row of the fan shares.
struct FanTable {
    FanArguments args;
    int w = 0;  // the wavelength index
    bool on_axis = false;
    bool nolc = false;
    ChromaticShift shift;
    PrimaryReference primary;
    SineCondition sine;
};

void print_fan_row(const FanTable& t, int number, FanRay& f, const RayRecord& ref) {
    RayRecord& ray = f.ray;
    const bool failed = ray.failure != 0;
    if (!failed) ray_errors_vs_reference(ray, true);
    auto value = [failed](double v) { return failed ? kInfiniteDistance : v; };
    text_printf("%3d", number);
    cell(std::fabs(f.p) < kSmallValue ? 0.0 : f.p);
    cell(std::fabs(f.height) < kSmallValue ? 0.0 : f.height);
    cell(value(ray.dtan_y + t.shift.tan_y));
    cell(value(ray.dtan_x + t.shift.tan_x));
    if (t.args.intercepts()) {
        cell(value(ray.dy + t.shift.y));
        cell(value(ray.dx + t.shift.x));
        cell(value(ray.dz + t.shift.z));
    }
    if (t.args.path_differences()) {
        double opd = ray.opd;
        if (!failed && t.w != 0 && !t.nolc) opd += primary_path_correction(ray, t.primary);
        cell(value(opd));
        if (t.w == 0) cell(value(ray.chrom_opl));
        if (t.on_axis) cell(failed ? kInfiniteDistance : sine_offence(t.sine, ray, ref));
    }
    text_newline();
}

}  // namespace

int cmd_trace_ray_fan() {
    LensData& lens = lens_data();
    FanTable t;
    t.args = read_fan_arguments();
    FanArguments& a = t.args;
    const ObjectPoint& stored = object_point();
    int result = 0;
    const bool on_axis_point = stored.x == 0.0 && stored.y == 0.0 && stored.z == 0.0;
    if (!(test_state_flag(kFlagReferenceRayCurrent) != 0 &&
          (a.mode == kFanIntercepts || !a.y_fan() || lens.afocal || !on_axis_point))) {
        result = set_object_point();
        if (result != 0) return result;
    }
    settle_ray_count(a, lens);

    const RayRecord& ref = reference_ray().ray;
    const bool aimed_mode = lens.aim_mode != kAimEntrancePupil;
    const double fixed_pupil =
        a.fixed + (aimed_mode ? (a.y_fan() ? ref.eff_pup_x : ref.eff_pup_y) : 0.0);
    t.w = lens.current_wavelength;
    t.nolc = lens.nolc != 0;
    t.on_axis =
        a.y_fan() && !lens.afocal && ref.obj_x == 0.0 && ref.obj_y == 0.0 && ref.obj_z == 0.0;
    print_fan_heading(a, t.on_axis, t.w);

    if (t.w != 0) {
        {
            ScopedValue<std::int32_t> wavelength(lens.current_wavelength, 0);
            if (const int rc = set_object_point(); rc != 0) return rc;
            t.primary = remember_primary();
        }
        if (const int rc = set_object_point(); rc != 0) return rc;
    }
    if (t.on_axis) t.sine = sine_condition(lens, ref);
    const int rfs = lens.reference_surface;
    const double rfs_radius =
        rfs >= 0 && rfs <= lens.image_surface ? surface(rfs).aperture_radius : 0.0;
    const double reciprocal_radius = rfs_radius < kZeroDenominator ? 1.0 : 1.0 / rfs_radius;
    const double step = a.count > 2 ? (a.last - a.first) / (a.count - 1) : a.last - a.first;
    t.shift = chromatic_shift(lens, ref, t.w, t.primary);

    trace_globals().sphere_missed = 0;
    // The rays go through the lens in lanes, as copies of the reference ray: a ray's set-up
    // reads nothing that another ray's trace writes.
    const int width = lane_group_size();
    FanRay batch[kMaxLanes];
    for (int i = 1; i <= a.count; i += width) {
        const int in_batch = a.count - i + 1 < width ? a.count - i + 1 : width;
        for (int j = 0; j < in_batch; ++j) {
            FanRay& f = batch[j];
            f.p = a.last - (i + j - 1) * step;
            f.ray = ref;
            f.ray.kind = kRayMeasured;
            f.ray.pup_x = a.y_fan() ? fixed_pupil : f.p;
            f.ray.pup_y = a.y_fan() ? f.p : fixed_pupil;
            f.height = kInfiniteDistance;
            setup_ray_at_object(f.ray, nullptr);
        }
        trace_fan_rays(batch, in_batch, rfs);
        for (int j = 0; j < in_batch; ++j) {
            note_reference_height(batch[j], a.y_fan(), reciprocal_radius);
        }
        trace_fan_rays(batch, in_batch, lens.image_surface);
        for (int j = 0; j < in_batch; ++j) print_fan_row(t, i + j, batch[j], ref);
    }
    if (a.fixed != 0.0) {
        print_msg(kMsgFixedValue);
        cell(a.fixed);
        text_newline();
    }
    if (a.path_differences() && trace_globals().sphere_missed != 0) return kMsgSphereMissed;
    return result;
}

void install_ray_fan() {
    set_handler(kSlotTraceRayFan, cmd_trace_ray_fan);
}
