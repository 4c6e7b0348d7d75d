#include "optimise/tolerance_defaults.h"

#include <cmath>

#include "lens/lens_data.h"
#include "lens/surface_tolerances.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRadiansPerMinute = 0.0002908882086657216;

enum AngleUnit : int { kDegrees = 0, kRadians = 1, kMinutes = 2, kSeconds = 3 };

struct Limits {
    double step;
    double lower;
    double upper;
};

int angle_unit() {
    const int u = lens_data().tolerance_angle_units;
    return u >= kDegrees && u <= kSeconds ? u : kDegrees;
}

double first_index(const SurfaceRecord& s) {
    return s.index != nullptr ? s.index[0] : 1.0;
}

// Arc minutes in the lens's tolerance angle unit.
double from_minutes(double minutes) {
    switch (angle_unit()) {
        case kRadians:
            return minutes / 60.0 * kRadiansPerDegree;
        case kMinutes:
            return minutes;
        case kSeconds:
            return minutes * 60.0;
        default:
            return minutes / 60.0;
    }
}

double from_radians(double radians) {
    switch (angle_unit()) {
        case kDegrees:
            return radians * kDegreesPerRadian;
        case kMinutes:
            return radians * kDegreesPerRadian * 60.0;
        case kSeconds:
            return radians * kDegreesPerRadian * 3600.0;
        default:
            return radians;
    }
}

const ToleranceClassDefaults& class_of(int s) {
    const SurfaceRecord& r = surface(s);
    return kToleranceClassDefaults[diameter_class(lens_data().units * r.aperture_radius)];
}

// Millimetre values are quantised in inches on their own scale, not by 1/25.4.
Limits decentre_limits() {
    const double u = lens_data().units;
    if (u == 1.0) return {0.01, 0.01, 0.5};
    if (u == 25.4) return {0.0004, 0.0004, 0.02};
    if (std::fabs(u) < kTiny) return {0.01, 0.01, 0.5};
    return {0.01 / u, 0.01 / u, 0.5 / u};
}

Limits tilt_limits() {
    switch (angle_unit()) {
        case kRadians:
            return {0.0003, 0.0003, 0.01};
        case kMinutes:
            return {1.0, 1.0, 30.0};
        case kSeconds:
            return {60.0, 60.0, 1800.0};
        default:
            return {0.01, 0.01, 0.5};
    }
}

double clamp_and_quantise(double x, const Limits& l) {
    if (x <= l.lower) return l.lower;
    if (x >= l.upper) return l.upper;
    if (l.step != 0.0) {
        x = std::floor(x / l.step + 0.5) * l.step;
        if (x < l.lower) return l.lower;
        if (x > l.upper) return l.upper;
    }
    return x;
}

// The mean decentre, in lens units, that tilts the element's surfaces by their class tilt.
double mean_wedge_decentre(int first, int last) {
    double sum = 0.0;
    for (int i = first; i < last; ++i) {
        const double wi = class_of(i).tilt_minutes * kRadiansPerMinute;
        const double wj = class_of(i + 1).tilt_minutes * kRadiansPerMinute;
        const double dc = std::fabs(surface(i).curvature - surface(i + 1).curvature);
        if (dc >= kTiny) sum += 0.5 * (std::fabs(wi) + std::fabs(wj)) / dc;
    }
    const int pairs = last - first;
    return pairs > 1 ? sum / pairs : sum;
}

// A surface of the element whose decentre is given in another surface's frame moves with that
// surface: the element then has no decentre or tilt of its own.
bool element_moves_with_another(int first, int last) {
    for (int j = first + 1; j <= last; ++j) {
        const SurfaceRecord& s = surface(j);
        if (s.decentre != nullptr && s.decentre_reference != nullptr &&
            s.decentre_reference->pickup_source != 0) {
            return true;
        }
    }
    return false;
}

// The last surface of the element that starts at s, or 0 when none is marked.
int element_end(int s, const int* marks) {
    const int image = lens_data().image_surface;
    for (int e = s + 1; e <= image - 1; ++e) {
        if (marks[e] == kElementLast) return e;
    }
    return 0;
}

bool given(const SurfaceTolerances& t, int k) {
    return t.switches[k] != 0;
}

}  // namespace

bool surface_is_inert(int n) {
    const SurfaceRecord& s = surface(n);
    if (s.group_kind == kGroupNonSequential && s.group_role == kRoleInner) return false;
    if (s.medium_kind == kMediumMirror) return false;
    double before = 1.0;
    for (int j = n - 1; j >= 0; --j) {
        if (surface(j).tir_only == 0) {
            before = first_index(surface(j));
            break;
        }
    }
    const double own = first_index(s);
    if (own == 0.0 || std::fabs(before / own - 1.0) >= kTiny) return false;
    const bool special = s.diffractive != nullptr || s.hologram != nullptr ||
                         s.head_counted_trace_record != nullptr ||
                         s.word3_counted_trace_record != nullptr || s.decentre != nullptr ||
                         s.return_coordinates != nullptr || s.return_coordinates2 != nullptr ||
                         s.perfect_lens != nullptr || s.grin != nullptr ||
                         s.grating_spacing != 0.0 || s.unsupported_records[0] != nullptr ||
                         s.unsupported_records[1] != nullptr || s.unsupported_records[2] != nullptr;
    return !special && s.asphere_term == 0.0;
}

void apply_default_tolerances(int s, const int* marks) {
    SurfaceTolerances& t = *surface(s).tolerances;
    const LensData& l = lens_data();
    const bool inert = surface_is_inert(s);
    const ToleranceClassDefaults& c = class_of(s);
    const bool glass_after = first_index(surface(s)) > 1.0;
    const double units = l.units != 0.0 ? l.units : 1.0;
    const auto fill = [&t](int k, double v) {
        if (t.switches[k] == 0) t.values[k] = v;
    };
    fill(kTolSpt, inert ? 0.0 : c.power_fringes);
    fill(kTolIrt, inert ? 0.0 : c.irregularity_fringes);
    fill(kTolTht, c.thickness / units);
    fill(kTolRnt, glass_after ? kDefaultIndexTolerance : 0.0);
    fill(kTolTlt, inert ? 0.0 : from_minutes(c.tilt_minutes));
    fill(kTolTbt, inert ? 0.0 : from_minutes(c.tilt_minutes));
    fill(kTolDct, inert ? 0.0 : c.decentre / units);
    fill(kTolDxt, inert ? 0.0 : c.decentre / units);
    fill(kTolVnt, glass_after && l.wavelength_count >= 3 ? kDefaultAbbeTolerance : 0.0);

    const int mark = marks[s];
    if (mark == kElementFirst && !(given(t, kTolCdx) && given(t, kTolCdy))) {
        const int e = element_end(s, marks);
        if (e > 0) {
            const double d = default_element_decentre(s, e);
            fill(kTolCdx, d);
            fill(kTolCdy, d);
        }
    }
    if (mark == kElementLast) {
        if (!given(t, kTolCca)) t.values[kTolCca] = 0.0;
        if (!given(t, kTolCcb)) t.values[kTolCcb] = 0.0;
    }
    if (mark == kElementFirst && !(given(t, kTolCca) && given(t, kTolCcb))) {
        const int e = element_end(s, marks);
        const SurfaceTolerances* te = e > 0 ? surface(e).tolerances : nullptr;
        const auto zero = [](const SurfaceTolerances* r, int k) {
            return r == nullptr || std::fabs(r->values[k]) < kTiny;
        };
        const bool first_form_zero =
            zero(&t, kTolCaa) && zero(&t, kTolCab) && zero(te, kTolCaa) && zero(te, kTolCab);
        const bool last_given = te != nullptr && (given(*te, kTolCca) || given(*te, kTolCcb));
        if (e > 0 && first_form_zero && !last_given) {
            const double tilt = default_element_tilt(s, e);
            fill(kTolCca, tilt);
            fill(kTolCcb, tilt);
        } else {
            // The first form stands for the element: the second keeps what it has, as given.
            t.switches[kTolCca] = 1;
            t.switches[kTolCcb] = 1;
        }
    }
}

double default_element_decentre(int first, int last) {
    if (element_moves_with_another(first, last)) return 0.0;
    return clamp_and_quantise(mean_wedge_decentre(first, last), decentre_limits());
}

double default_element_tilt(int first, int last) {
    if (element_moves_with_another(first, last)) return 0.0;
    const double a = mean_wedge_decentre(first, last);
    double c = std::fabs(surface(first).curvature);
    if (c < kTiny) c = std::fabs(surface(last).curvature);
    return clamp_and_quantise(from_radians(c * a), tilt_limits());
}

FringeRadii fringe_radii(double n, double r, double d) {
    const LensData& l = lens_data();
    const double units = l.units != 0.0 ? l.units : 1.0;
    const double lambda = l.test_wavelength * 0.001 / units;
    if (std::fabs(n) < kTiny) return {0.0, 0.0};
    const double h = d / 2.0;
    const double w = lambda * std::fabs(n);
    const double ar = std::fabs(r);
    if (ar < kTiny || (h / ar) * (h / ar) > 1.0) {
        const double plus = (h * h - (w / 2.0) * (w / 2.0)) / w;
        return {plus, -plus};
    }
    const double s0 = (std::sqrt(1.0 - (h / ar) * (h / ar)) - 1.0) * ar;
    const double p = w * ar;
    const double a = 2.0 * s0 + w;
    const double b = 2.0 * s0 - w;
    const double q = (w / 2.0) * (w / 2.0);
    return {std::fabs(a) >= kTiny ? (q - p) / a : 0.0, std::fabs(b) >= kTiny ? (p + q) / b : 0.0};
}
