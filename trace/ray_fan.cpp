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

}  // namespace

int cmd_trace_ray_fan() {
    LensData& lens = lens_data();
    const int direction = arg_int(0);
    const int mode = arg_int(1);
    int count = arg_int(2);
    const ArgCell* first_cell = arg_cell(3);
    const bool first_omitted = first_cell == nullptr || first_cell->status != 0;
    double first = arg_double(3);
    const double last = arg_double(4);
    const double fixed = arg_double(5);
    const bool y_fan = direction == 0;
    const ObjectPoint& stored = object_point();

    int result = 0;
    const bool on_axis_point = stored.x == 0.0 && stored.y == 0.0 && stored.z == 0.0;
    if (!(test_state_flag(kFlagReferenceRayCurrent) != 0 &&
          (mode == 0 || !y_fan || lens.afocal || !on_axis_point))) {
        result = set_object_point();
        if (result != 0) return result;
    }
    // An x fan from the axis covers half the pupil: half the default count, odd.
    if (!y_fan && (first_omitted || first == 0.0)) {
        first = 0.0;
        if (count == 0) {
            count = lens.fan_rays / 2;
            if (count % 2 == 0) ++count;
        }
    }
    if (count == 0) count = lens.fan_rays;
    if (count < 1) count = 1;

    const RayRecord& ref = reference_ray().ray;
    const bool aimed_mode = lens.aim_mode != kAimEntrancePupil;
    const double fixed_pupil = fixed + (aimed_mode ? (y_fan ? ref.eff_pup_x : ref.eff_pup_y) : 0.0);

    const int w = lens.current_wavelength;
    const bool focal = !lens.afocal;
    const bool on_axis = y_fan && focal && ref.obj_x == 0.0 && ref.obj_y == 0.0 && ref.obj_z == 0.0;
    print_msg(kMsgFanHeading);
    print_wavelength_suffix();
    paraxial_configuration_warning();
    print_msg(y_fan ? kMsgYFanColumns : kMsgXFanColumns);
    if (mode == 2 || mode == 0) print_msg(kMsgInterceptColumns);
    if (mode == 1 || mode == 2) {
        if (on_axis) {
            print_msg(w == 0 ? kMsgOnAxisPrimaryColumns : kMsgOnAxisOtherColumns);
        } else {
            print_msg(w == 0 ? kMsgPrimaryColumns : kMsgOtherWavelengthColumns);
        }
    }
    text_newline();

    PrimaryReference primary;
    if (w != 0) {
        {
            ScopedValue<std::int32_t> wavelength(lens.current_wavelength, 0);
            if (const int rc = set_object_point(); rc != 0) return rc;
            primary = remember_primary();
        }
        if (const int rc = set_object_point(); rc != 0) return rc;
    }

    // The sine condition of an on-axis fan: the image-side derivative of the reference ray's
    // tangent and the focus position.
    const int rfs = lens.reference_surface;
    const double th0 = surface(0).thickness;
    const double epr = lens.entrance_pupil_radius;
    const bool sine_mode = (std::fabs(epr) >= kSmallPupilRatio * std::fabs(th0) && !lens.epxy) ||
                           (std::fabs(th0) < kInfiniteObject && lens.aim_telecentric);
    const bool aiming = lens.wide_angle != 0 && trace_globals().aiming_possible != 0 && rfs >= 2;
    const double* rim_bounds = lens.aim_mode == kAimRimRays ? ref.pupil_bounds : nullptr;
    double D = 0.0, Rp = 0.0, F = 0.0, k2 = 0.0;
    if (on_axis) {
        const RayDerivative& d = reference_ray().derivatives[kDerivPupilY];
        const double n2 = ref.m * ref.m;
        D = n2 < kZeroDenominator ? 0.0 : (d.dl * ref.m - d.dm * ref.l) / n2;
        Rp = reference_ray().sphere_radius;
        if (ref.m < 0.0) {
            D = -D;
            Rp = -Rp;
        }
        F = Rp + ref.sphere_path;
        k2 = std::fabs(th0) < kZeroDenominator ? 0.0 : (epr / th0) * (epr / th0);
    }
    const double rfs_radius =
        rfs >= 0 && rfs <= lens.image_surface ? surface(rfs).aperture_radius : 0.0;
    const double reciprocal_radius = rfs_radius < kZeroDenominator ? 1.0 : 1.0 / rfs_radius;
    const double step = count > 2 ? (last - first) / (count - 1) : last - first;
    const double shift_tan_x = w != 0 && !lens.nolc ? tangent(ref.k, ref.m) - primary.tan_x : 0.0;
    const double shift_tan_y = w != 0 && !lens.nolc ? tangent(ref.l, ref.m) - primary.tan_y : 0.0;
    const double shift_x = w != 0 && !lens.nolc ? ref.x - primary.x : 0.0;
    const double shift_y = w != 0 && !lens.nolc ? ref.y - primary.y : 0.0;
    const double shift_z = w != 0 && !lens.nolc ? ref.z - primary.z : 0.0;

    trace_globals().sphere_missed = 0;
    // The rays go through the lens two at a time, as copies of the reference ray: a ray's
    // set-up reads nothing that another ray's trace writes.
    FanRay pair[2];
    for (int i = 1; i <= count; i += 2) {
        const int in_pair = i + 1 <= count ? 2 : 1;
        for (int j = 0; j < in_pair; ++j) {
            FanRay& f = pair[j];
            f.p = last - (i + j - 1) * step;
            f.ray = ref;
            f.ray.kind = kRayMeasured;
            f.ray.pup_x = y_fan ? fixed_pupil : f.p;
            f.ray.pup_y = y_fan ? f.p : fixed_pupil;
            f.height = kInfiniteDistance;
            setup_ray_at_object(f.ray, nullptr);
        }
        if (in_pair == 2) {
            trace_pair_to_surface(pair[0].ray, pair[1].ray, rfs, nullptr, nullptr);
        } else {
            trace_to_surface(pair[0].ray, rfs);
        }
        for (int j = 0; j < in_pair; ++j) {
            FanRay& f = pair[j];
            if (f.ray.failure != 0) continue;
            const RayRecord& r = f.ray;
            f.height = std::sqrt(r.x * r.x + r.y * r.y) * reciprocal_radius;
            const double governing = y_fan ? (std::fabs(r.y) < kZeroDenominator ? r.x : r.y)
                                           : (std::fabs(r.x) < kZeroDenominator ? r.y : r.x);
            if (governing < 0.0) f.height = -f.height;
        }
        if (in_pair == 2) {
            trace_pair_to_surface(pair[0].ray, pair[1].ray, lens.image_surface, nullptr, nullptr);
        } else {
            trace_to_surface(pair[0].ray, lens.image_surface);
        }
        for (int j = 0; j < in_pair; ++j) {
            RayRecord& ray = pair[j].ray;
            const double p = pair[j].p;
            const double height = pair[j].height;
            const bool failed = ray.failure != 0;
            if (!failed) ray_errors_vs_reference(ray, true);
            auto value = [failed](double v) { return failed ? kInfiniteDistance : v; };
            text_printf("%3d", i + j);
            cell(std::fabs(p) < kSmallValue ? 0.0 : p);
            cell(std::fabs(height) < kSmallValue ? 0.0 : height);
            cell(value(ray.dtan_y + shift_tan_y));
            cell(value(ray.dtan_x + shift_tan_x));
            if (mode == 2 || mode == 0) {
                cell(value(ray.dy + shift_y));
                cell(value(ray.dx + shift_x));
                cell(value(ray.dz + shift_z));
            }
            if (mode == 1 || mode == 2) {
                double opd = ray.opd;
                if (!failed && w != 0 && !lens.nolc) opd += primary_path_correction(ray, primary);
                cell(value(opd));
                if (w == 0) cell(value(ray.chrom_opl));
                if (on_axis) {
                    double sine = kInfiniteDistance;
                    if (!failed) {
                        const double z =
                            std::fabs(ray.dtan_y) < kZeroDenominator ? 0.0 : -(ray.dy / ray.dtan_y);
                        const double zm = (z + Rp) * ray.l;
                        const double G = std::fabs(zm) < kZeroDenominator ? 0.0 : 1.0 / zm;
                        double pv = ray.pup_y, c;
                        if (aiming) {
                            // The entrance-pupil fraction the aimed set-up finds for the ray.
                            RayRecord aimed = ray;
                            aimed.kind = kRayFractional;
                            setup_ray_at_object(aimed, nullptr);
                            pv = aimed.paraxial_pup_y;
                            c = 1.0 / std::sqrt(pv * pv * k2 + 1.0);
                        } else {
                            if (rim_bounds != nullptr) {
                                const double* b = rim_bounds + 5 * ray.wavelength;
                                pv = ((pv + 1.0) * (b[3] - b[2]) / 2.0 + b[2]) - ref.eff_pup_y;
                            }
                            if (!sine_mode) {
                                c = 1.0 / std::sqrt(pv * pv * k2 + 1.0);
                            } else {
                                const double ww = (1.0 - pv * pv) * k2 + 1.0;
                                if (ww < 0.0) {
                                    pv = c = 0.0;
                                } else {
                                    pv = pv / std::sqrt(ww);
                                    c = std::sqrt(ww) / std::sqrt(k2 + 1.0);
                                }
                            }
                        }
                        sine = std::fabs(pv) >= kSmallValue ? c * pv * G * F * D - 1.0 : 0.0;
                    }
                    cell(sine);
                }
            }
            text_newline();
        }
    }
    if (fixed != 0.0) {
        print_msg(kMsgFixedValue);
        cell(fixed);
        text_newline();
    }
    if ((mode == 1 || mode == 2) && trace_globals().sphere_missed != 0) return kMsgSphereMissed;
    return result;
}

void install_ray_fan() {
    set_handler(kSlotTraceRayFan, cmd_trace_ray_fan);
}
