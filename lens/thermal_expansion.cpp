#include "lens/thermal_expansion.h"

#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "lens/surface_materials.h"
#include "runtime/messages.h"
#include "runtime/settings.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kDefaultTce = 236.0;
constexpr int kNone = -1;  // no medium in front (the object surface)

SurfacePointDistance g_distance = nullptr;

enum class MediumClass { kGlass, kAir, kMirror, kOther, kNone };

MediumClass classify(int kind) {
    switch (kind) {
        case kMediumModelGlass:
        case kMediumGlass:
        case kMediumModelIndexAbbe:
        case kMediumModelGlassComputed:
        case kMediumModelIndexAbbeComputed:
        case kMediumGlassFixed:
            return MediumClass::kGlass;
        case kMediumAir:
        case kMediumAirFixed:
            return MediumClass::kAir;
        case kMediumMirror:
            return MediumClass::kMirror;
        case kNone:
            return MediumClass::kNone;
        default:
            return MediumClass::kOther;
    }
}

// The medium kind in front of surface i: pickups followed to their source, mirrors skipped to
// the surface before them. kNone for the object surface; false for a pickup without a valid
// source or a walk that does not end.
bool front_kind(int i, int& kind) {
    const int image = lens_data().image_surface;
    kind = kNone;
    int j = i - 1;
    // Each surface may be passed once as a pickup and once as a mirror.
    for (int steps = 0; steps <= 2 * (image + 1); ++steps) {
        if (j < 0) return true;
        if (j > image) return false;
        const int k = surface(j).medium_kind;
        if (k == kMediumPickup) {
            j = surface(j).medium_source;
        } else if (k == kMediumMirror) {
            --j;
        } else {
            kind = k;
            return true;
        }
    }
    return false;
}

double sag(const SurfaceRecord& s, double h) {
    const double c = s.curvature;
    const double root = 1.0 - (1.0 + s.conic) * c * c * h * h;
    return root > 0.0 ? c * h * h / (1.0 + std::sqrt(root)) : 0.0;
}

// The axial length of the air space behind surface i between the points at its and the next
// surface's aperture radius.
double air_space_length(int i) {
    const SurfaceRecord& s = surface(i);
    if (i == lens_data().image_surface) return s.thickness;
    const SurfaceRecord& next = surface(i + 1);
    if (g_distance != nullptr) {
        double z_i = 0, z_j = 0, dx = 0, dy = 0, dz = 0;
        g_distance(i, i + 1, s.aperture_radius, next.aperture_radius, 0.0, 0.0, &z_i, &z_j, &dx,
                   &dy, &dz);
        return dz;
    }
    return s.thickness + sag(next, next.aperture_radius) - sag(s, s.aperture_radius);
}

bool step_output() {
    return get_setting_flag(kSetStepMode) != 0;
}

void note(const char* format, int i) {
    if (step_output()) text_printf(format, i);
}

// Curvature-like data that scale with the surface's curvature when it was divided by f.
void scale_special_data(SurfaceRecord& s, double f) {
    const double g = std::fabs(f) < kTiny ? 1.0 : 1.0 / f;
    if (s.fresnel != 0) s.fresnel_curvature *= g;
    if (s.toric > 0 || (s.shape == kShapeSpecialBase && s.asphere != nullptr &&
                        s.asphere->kind == kAsphereBiconic)) {
        s.x_curvature *= g;
    }
    if (AsphereRecord* a = s.asphere) {
        for (int k = 0; k < a->entered_count; ++k) {
            double factor = 1.0;
            switch (a->kind) {
                case kAsphereEven:
                case kAsphereSeries:
                    factor = f * std::pow(g, 2 * k);
                    break;
                case kAsphereOdd:
                case kAsphereToricX:
                case kAsphereToricY:
                    factor = std::pow(g, k + 2);
                    break;
                case kAsphereBiconic:
                    factor = std::pow(g, 2 + k / 2);  // pairs of coefficients share a power
                    break;
                case kAsphereCone:
                    factor = k == 0 ? 1.0 : std::pow(g, k + 1);
                    break;
                case kAsphereRadial:
                    factor = f * std::pow(g, k);
                    break;
                default:
                    break;
            }
            a->entered[k] *= factor;
        }
        a->changed = 1;
    } else if (SplineRecord* sp = s.spline) {
        for (int k = 1; k < sp->count; ++k) sp->radius[k] *= f;
        sp->changed = 1;
    }
}

// The total degree of the k-th term of a polynomial in x and y in triangular order.
int triangular_degree(int k) {
    return static_cast<int>(std::floor(std::sqrt(8.0 * k + 1.0) / 2.0 - 0.5));
}

void scale_diffractive_data(int i, MediumClass k, MediumClass pk, double t0, bool flag) {
    SurfaceRecord& s = surface(i);
    auto f = [&](int j) { return expansion_factor(j, t0); };
    double factor = 1.0;
    if (k == MediumClass::kMirror) {
        if (pk == MediumClass::kAir) {
            factor = f(i);
        } else if (pk == MediumClass::kGlass && i >= 1) {
            factor = f(i - 1);
        }
    } else if (k == MediumClass::kGlass) {
        factor = f(i);
        if (i > 0 && pk == MediumClass::kGlass) factor = (f(i - 1) + factor) / 2.0;
    } else if (k == MediumClass::kAir && i > 0) {
        if (pk == MediumClass::kGlass) {
            factor = f(i - 1);
        } else if (pk == MediumClass::kAir) {
            // A mount of the default coefficient says nothing: the surface's own one counts.
            factor = f(i - 1);
            if (surface(i - 1).medium_tce == kDefaultTce) {
                factor = s.medium_tce == kDefaultTce ? 1.0 : f(i);
            }
        }
    }
    if (!(std::fabs(factor) > kTiny) || !flag) return;
    if (DiffractiveRecord* d = s.diffractive) {
        for (int n = 1; n < d->entered_count; ++n) {
            int power = 0;
            switch (d->kind) {
                case 0:
                case 6:
                    power = 2 * n;
                    break;
                case 1:
                case 3:
                    power = triangular_degree(n);
                    break;
                case 2:
                    power = n;
                    break;
                default:
                    continue;
            }
            d->entered[n] *= std::pow(factor, -power);
        }
        d->changed = 1;
    } else {
        s.grating_spacing *= factor;
    }
}

}  // namespace

void set_surface_point_distance(SurfacePointDistance distance) {
    g_distance = distance;
}

double expansion_factor(int j, double t0) {
    return 1.0 + (lens_data().temperature - t0) * surface(j).medium_tce * 1e-7;
}

int expand_lens(double t0) {
    LensData& l = lens_data();
    const int image = l.image_surface;
    const bool flag = l.thermal_expansion != 0;
    // Every pickup chain is checked before anything changes.
    std::vector<MediumClass> kinds(static_cast<std::size_t>(image + 1));
    std::vector<MediumClass> fronts(static_cast<std::size_t>(image + 1));
    for (int i = 0; i <= image; ++i) {
        const int origin = glass_pickup_origin(i);
        int front = kNone;
        if (origin < 0 || !front_kind(i, front)) return set_error_msg(kMsgBadGlassPickup, i);
        kinds[i] = classify(surface(origin).medium_kind);
        fronts[i] = classify(front);
    }
    auto f = [&](int j) { return expansion_factor(j, t0); };

    for (int i = 0; i <= image; ++i) {
        SurfaceRecord& s = surface(i);
        const MediumClass k = kinds[i];
        const MediumClass pk = fronts[i];
        if (flag && s.curvature_kind == kCurvatureFixedRtf) s.curvature_kind = kCurvaturePlain;
        auto expand_radius = [&](const char* text, double factor) {
            if (s.curvature_kind != kCurvaturePlain) return;
            note(text, i);
            if (!flag) return;
            s.curvature /= factor;
            scale_special_data(s, factor);
        };
        auto expand_aperture = [&](const char* text, double factor) {
            if (s.aperture_kind != kApertureFixedValue) return;
            note(text, i);
            if (flag) s.aperture_radius *= factor;
        };
        auto expand_thickness = [&](const char* text, double factor) {
            if (s.thickness_kind != kThicknessPlain) return;
            note(text, i);
            if (flag) s.thickness *= factor;
        };
        if (k == MediumClass::kGlass) {
            expand_thickness("Expand TH[%d]\n", f(i));
            double factor = f(i);
            const bool cemented = i > 0 && pk == MediumClass::kGlass;
            if (cemented) factor = (f(i - 1) + f(i)) / 2.0;
            if (i == 0 || pk == MediumClass::kAir) {
                expand_radius("Expand RD[%d] (not cemented)\n", factor);
            } else if (cemented) {
                expand_radius("Expand RD[%d] (cemented)\n", factor);
            } else if (s.curvature_kind == kCurvaturePlain && flag) {
                s.curvature /= factor;
                scale_special_data(s, factor);
            }
            expand_aperture("Expand AP[%d]\n", factor);
        } else if (k == MediumClass::kAir && i >= 1 && pk == MediumClass::kGlass) {
            expand_radius("Expand RD[%d] (not cemented)\n", f(i - 1));
            expand_aperture("Expand AP[%d]\n", f(i - 1));
        } else if (k == MediumClass::kMirror && pk == MediumClass::kAir) {
            expand_radius("Expand RD[%d] (FS mirror)\n", f(i));
            expand_aperture("Expand AP[%d] (FS mirror)\n", f(i));
        } else if (k == MediumClass::kMirror && pk == MediumClass::kGlass) {
            expand_radius("Expand RD[%d] (non-FS mirror)\n", f(i - 1));
            expand_thickness("Expand TH[%d] (non-FS mirror)\n", f(i - 1));
            expand_aperture("Expand AP[%d]\n", f(i - 1));
        }
        if (s.diffractive != nullptr || s.grating_spacing != 0.0 || s.diffraction_order != 0) {
            scale_diffractive_data(i, k, pk, t0, flag);
        }
    }

    for (int i = 0; i <= image; ++i) {
        SurfaceRecord& s = surface(i);
        const MediumClass k = kinds[i];
        const char* text = nullptr;
        if (k == MediumClass::kAir) {
            text = "Expand TH[%d] (air space)\n";
        } else if (k == MediumClass::kMirror && fronts[i] == MediumClass::kAir) {
            text = "Expand TH[%d] (air space after mirror)\n";
        }
        if (text == nullptr || s.thickness_kind != kThicknessPlain || !flag) continue;
        const double e = (l.temperature - t0) * s.medium_tce * 1e-7;
        const double length = air_space_length(i);
        note(text, i);
        s.thickness += e * length;
    }
    l.expanded_temperature = l.temperature;
    return 0;
}
