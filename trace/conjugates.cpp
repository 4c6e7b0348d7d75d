#include "trace/conjugates.h"

#include <cmath>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "trace/lens_setup.h"
#include "trace/paraxial_commands.h"
#include "trace/paraxial_trace.h"
#include "trace/system_matrix.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kAfocalMatrix = 1e-10;
constexpr double kFarObject = 9.9e7;
constexpr double kLarge = 1e40;
constexpr double kZeroHeight = -1e14;

// The conjugate block the listings read, and the state of its computation.
struct Conjugates {
    ConjugatesBlock block;
    ConjugatesState state;
};

Conjugates g_conjugates;

int bring_lens_up_to_date() {
    int (*setup)(int) = paraxial_hooks().lens_setup;
    return setup != nullptr ? setup(0) : 0;
}

double object_index(int w) {
    const double* n = surface(0).index;
    return n != nullptr ? n[w] : 1.0;
}

double gaps(int first, int last) {
    double sum = 0.0;
    for (int j = first; j <= last; ++j) sum += surface(j).thickness;
    return sum;
}

double fold_degrees(double a) {
    if (a > 90.0) a -= 180.0;
    if (a < -90.0) a += 180.0;
    return a;
}

void remove_last_thickness_solve() {
    SurfaceRecord& s = surface(lens_data().image_surface - 1);
    if (s.thickness_kind == 0) return;
    s.thickness_kind = 0;
    s.thickness_solve_value = 0.0;
    s.thickness_solve_value2 = 0.0;
    s.thickness_source = 0;
    s.thickness_source2 = 0;
}

void remove_last_curvature_solve() {
    SurfaceRecord& s = surface(lens_data().image_surface - 1);
    if (!is_curvature_solve(s.curvature_kind)) return;
    s.curvature_kind = kCurvaturePlain;
    s.curvature_solve_value = 0.0;
    s.curvature_source = 0;
}

// The field as a height or an angle scaled so that the image height changes by factor.
void scale_field(double factor) {
    LensData& l = lens_data();
    if (l.field_is_angle != 0) {
        l.field_angle = std::atan(std::tan(l.field_angle) * factor);
    } else {
        l.object_height *= factor;
    }
}

}  // namespace

ConjugatesBlock& conjugates_block() {
    return g_conjugates.block;
}

ConjugatesState& conjugates_state() {
    return g_conjugates.state;
}

int solve_paraxial_conjugates() {
    LensData& l = lens_data();
    // Without a surface between object and image there is no system to solve, and the last
    // surface before the image would be the object or lie before it.
    if (l.image_surface < 1) return set_error_msg(kMsgNoLens);
    if (l.image_surface < 2) return set_error_msg(kMsgNoSurfaces);
    const int w = l.current_wavelength;
    const int last = l.image_surface - 1;
    SystemMatrix m{};
    if (const int rc = paraxial_system_matrix(1, w, 1, last, m); rc != 0) return rc;
    ConjugatesBlock& b = g_conjugates.block;
    ConjugatesState& st = g_conjugates.state;
    st.afocal_matrix = std::fabs(m.c) < kAfocalMatrix;
    const double n0 = system_matrix_index(0);
    const double n_image = system_matrix_index(last);
    int rc = 0;

    const bool hold_image = l.afocal == 0 &&
                            (st.object_changed || st.image_changed || st.magnification_changed) &&
                            st.field_edit_mode == 2;
    const double held_image_height = b.image_height;

    if (st.magnification_changed) {
        st.magnification_changed = false;
        if (!st.afocal_matrix) {
            const double mag = b.magnification;
            surface(0).thickness = std::fabs(mag) <= kParaxialZero
                                       ? kInfiniteDistance
                                       : -((1.0 / mag - m.d) * n0) / m.c;
            st.object_changed = true;
            rc = bring_lens_up_to_date();
            if (rc != 0) return rc;
        }
    }
    if (st.image_changed) {
        st.image_changed = false;
        const double t_image = b.image_distance;
        const double delta = t_image * m.c / n_image - m.a;
        surface(0).thickness = std::fabs(delta) <= kParaxialZero
                                   ? kInfiniteDistance
                                   : -((m.b - t_image * m.d / n_image) * n0) / delta;
        rc = bring_lens_up_to_date();
        if (rc != 0) return rc;
    }

    const double t0 = surface(0).thickness;
    const bool far = std::fabs(t0) > kFarObject;
    const double e = l.entrance_pupil_position;
    auto fill_field = [&]() {
        b.lens_field_angle_degrees = l.field_angle * kDegreesPerRadian;
        b.field_angle_degrees =
            fold_degrees(std::atan2(-l.object_height, e + t0) * kDegreesPerRadian);
        b.object_height = l.object_height;
    };
    b.beam_radius = l.entrance_beam_radius;
    b.object_na = l.object_na;
    b.image_slope = l.image_axial_slope;
    {
        const double ratio = far ? 0.0 : l.object_na / n0;
        const double arg = 1.0 - ratio * ratio;
        b.image_na = arg < 0.0 ? 0.0 : std::fabs(std::sqrt(arg) * n_image * b.image_slope);
        b.f_number = b.image_na <= kParaxialZero ? kLarge : 1.0 / (2.0 * b.image_na);
    }
    fill_field();
    const double E = m.d - m.c * t0 / n0;
    auto fill_magnification = [&]() {
        if (!st.afocal_matrix && l.afocal == 0) {
            b.magnification = std::fabs(E) <= kParaxialZero ? 0.0 : 1.0 / E;
        } else {
            b.magnification = m.d * n0 / n_image;
        }
        b.image_height = l.object_height * b.magnification;
    };
    fill_magnification();
    if (hold_image && b.image_height != 0.0) {
        scale_field(held_image_height / b.image_height);
        rc = bring_lens_up_to_date();
        if (rc != 0) return rc;
        fill_field();
        fill_magnification();
    }
    b.object_distance = t0;
    b.image_distance = std::fabs(E) <= kParaxialZero ? 0.0 : ((m.b - t0 * m.a / n0) * n_image) / E;
    if (st.object_changed) {
        st.object_changed = false;
        surface(last).thickness = b.image_distance;
        rc = bring_lens_up_to_date();
        if (rc != 0) return rc;
    }
    const bool flat = std::fabs(m.c) < kParaxialZero;
    b.front_principal = flat ? n0 * (1.0 - m.d) * kLarge : n0 * (1.0 - m.d) / m.c;
    b.rear_principal = flat ? -n_image * (m.a - 1.0) * kLarge : -n_image * (m.a - 1.0) / m.c;
    b.object_from_principal = t0 + b.front_principal;
    b.image_from_principal = b.image_distance + b.rear_principal;
    b.chief_height = surface(l.image_surface).chief_ray_height;
    b.lens_length = gaps(1, last - 1);
    b.total_track = t0 + gaps(1, l.image_surface);
    b.last_gap = surface(last).thickness + surface(l.image_surface).thickness;
    const double y1 = l.axial_start_height;
    const double n00 = object_index(0);
    b.lagrange = std::fabs(t0) < kParaxialZero ? y1 * l.object_height * n00 * kLarge
                                               : y1 * l.object_height * n00 / t0;
    b.petzval_radius = petzval_radius(0);
    b.focal_length = flat ? 0.0 : n_image / m.c;
    return rc;
}

double conjugate_item_value(int item) {
    const ConjugatesBlock& b = g_conjugates.block;
    switch (item) {
        case kItemBeamRadius:
            return b.beam_radius;
        case kItemObjectNa:
            return b.object_na;
        case kItemImageNa:
            return b.image_na;
        case kItemFNumber:
            return b.f_number;
        case kItemImageSlope:
            return b.image_slope;
        case kItemObjectHeight:
            return b.object_height;
        case kItemImageHeight:
            return b.image_height;
        case kItemFieldAngle:
            return b.field_angle_degrees;
        case kItemObjectDistance:
            return b.object_distance;
        case kItemImageDistance:
            return b.image_distance;
        case kItemMagnification:
            return b.magnification;
        case kItemObjectFromPrincipal:
            return b.object_from_principal;
        case kItemImageFromPrincipal:
            return b.image_from_principal;
        default:
            return 0.0;
    }
}

int enter_conjugate_value(int item, double v) {
    LensData& l = lens_data();
    ConjugatesBlock& b = g_conjugates.block;
    ConjugatesState& st = g_conjugates.state;
    const int w = l.current_wavelength;
    const double n0 = object_index(w);
    const double n_image = system_matrix_index(l.image_surface - 1);
    const double t0 = surface(0).thickness;
    switch (item) {
        case kItemBeamRadius:
            l.entrance_beam_radius = std::fabs(v) <= kParaxialZero ? 1.0 : std::fabs(v);
            l.aperture_is_na = 0;
            break;
        case kItemObjectNa:
            if (std::fabs(v) <= 0.0) {
                l.object_na = 0.05;
            } else if (std::fabs(v) <= n0) {
                l.object_na = std::fabs(v);
            } else {
                break;  // beyond the object space's index: nothing changes
            }
            l.aperture_is_na = 1;
            break;
        case kItemImageNa:
        case kItemFNumber:
        case kItemImageSlope: {
            if (std::fabs(v) <= kParaxialZero) break;
            remove_last_curvature_solve();
            const double u = b.image_slope;
            const double mag = b.magnification;
            auto cos_phi = [&](double q) {
                if (std::fabs(t0) > kFarObject) return 1.0;
                const double arg = 1.0 - q * q;
                return arg > 0.0 ? std::sqrt(arg) : 1.0;
            };
            double factor = 1.0;
            if (item == kItemImageNa) {
                if (!(std::fabs(u) <= kParaxialZero || std::fabs(n_image) < std::fabs(v))) {
                    factor = std::fabs(v / n_image) / cos_phi(mag * v / n0) / u;
                }
            } else if (item == kItemFNumber) {
                if (std::fabs(u) > kParaxialZero &&
                    1.0 / (2.0 * std::fabs(n_image)) <= std::fabs(v)) {
                    factor = (1.0 / std::fabs(2.0 * n_image * v)) /
                             cos_phi((1.0 / (2.0 * v)) * mag / n0) / u;
                }
            } else if (std::fabs(u) > kParaxialZero) {
                factor = std::fabs(v / u);
            }
            factor = std::fabs(factor);
            if (l.aperture_is_na == 0) {
                l.entrance_beam_radius *= factor;
            } else {
                l.object_na = std::sin(std::atan(l.entrance_beam_radius * factor / t0)) * n0;
            }
            break;
        }
        case kItemObjectHeight:
            l.object_height = std::fabs(v) <= kParaxialZero ? kZeroHeight : v;
            l.field_is_angle = 0;
            st.field_edit_mode = 1;
            break;
        case kItemImageHeight:
            // The image height is the object height times the magnification: nothing to scale
            // from a zero height.
            if (b.image_height == 0.0) break;
            scale_field(v / b.image_height);
            st.field_edit_mode = 2;
            break;
        case kItemFieldAngle:
            l.field_is_angle = 1;
            st.field_edit_mode = 0;
            if (std::fabs(v) <= kParaxialZero) {
                l.field_angle = kLeastNonZero;
            } else if (t0 != 0.0) {
                const double e = l.entrance_pupil_position;
                l.field_angle = std::atan((t0 + e) * std::tan(v / kDegreesPerRadian) / t0);
            }
            break;
        case kItemObjectDistance:
            remove_last_thickness_solve();
            if (std::fabs(v) > kParaxialZero) {
                surface(0).thickness = v;
                st.object_changed = true;
            }
            break;
        case kItemImageDistance:
            remove_last_thickness_solve();
            b.image_distance = v;
            surface(l.image_surface - 1).thickness = v;
            st.image_changed = true;
            break;
        case kItemMagnification:
            remove_last_thickness_solve();
            b.magnification = v;
            st.magnification_changed = true;
            break;
        case kItemObjectFromPrincipal:
            remove_last_thickness_solve();
            surface(0).thickness = v - (b.object_from_principal - b.object_distance);
            st.object_changed = true;
            break;
        case kItemImageFromPrincipal:
            remove_last_thickness_solve();
            b.image_distance = b.image_distance - b.image_from_principal + v;
            // The image plane moves with it, as when the image distance itself is entered.
            surface(l.image_surface - 1).thickness = b.image_distance;
            st.image_changed = true;
            break;
        default:
            break;
    }
    return 0;
}

namespace {
void reset_conjugates_state() {
    g_conjugates = Conjugates{};
}
const platform::StateReset conjugates_state_reset{"trace/conjugates", reset_conjugates_state,
                                                  platform::ResetLayer::trace};
}  // namespace
