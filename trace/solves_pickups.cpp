#include "trace/solves_pickups.h"

#include <cmath>
#include <cstring>

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_pickups.h"
#include "numeric/memory.h"
#include "runtime/messages.h"
#include "trace/surface_sag.h"

namespace {

constexpr double kZero = 1e-40;

int surface_number(const SurfaceRecord& s) {
    return static_cast<int>(&s - surface_array());
}

bool in_lens(int n) {
    return n >= 0 && n <= lens_data().image_surface;
}

// A coefficient record laid out as the setters lay it out: header, working, entered.
template <typename Record>
Record* alloc_coefficients(int n) {
    const std::size_t bytes = sizeof(Record) + 2 * static_cast<std::size_t>(n) * sizeof(double);
    auto* record = static_cast<Record*>(mem_alloc(bytes));
    if (record == nullptr) return nullptr;
    std::memset(record, 0, bytes);
    auto* arrays =
        reinterpret_cast<double*>(reinterpret_cast<unsigned char*>(record) + sizeof(Record));
    record->working = arrays;
    record->entered = arrays + n;
    record->working_count = static_cast<std::int16_t>(n);
    record->entered_count = static_cast<std::int16_t>(n);
    return record;
}

int copy_asphere(const AsphereRecord& from, SurfaceRecord& target, bool negate) {
    AsphereRecord* a = target.asphere;
    if (a == nullptr || a->kind != from.kind || a->entered_count != from.entered_count ||
        a->working_count != from.entered_count) {
        AsphereRecord* fresh = alloc_coefficients<AsphereRecord>(from.entered_count);
        if (fresh == nullptr) return kMsgPickupNoMemory;
        mem_free(a);
        target.asphere = a = fresh;
        lens_flags().bounds_stale = 1;
    }
    a->kind = from.kind;
    a->sub_kind = from.sub_kind;
    for (int i = 0; i < from.entered_count; ++i) {
        a->entered[i] = negate ? -from.entered[i] : from.entered[i];
    }
    a->changed = 1;
    return 0;
}

int copy_spline(const SplineRecord& from, SurfaceRecord& target, bool negate) {
    const int n = surface_number(target);
    if (from.count < 1) return 0;
    if (target.spline == nullptr || target.spline->count != from.count) {
        if (resize_spline_record(n, from.count - 1) != 0) return kMsgPickupNoMemory;
    }
    SplineRecord& s = *target.spline;
    for (int i = 0; i < from.count; ++i) {
        s.radius[i] = from.radius[i];
        s.slope[i] = negate ? -from.slope[i] : from.slope[i];
        s.curvature_profile[i] = 0.0;
        s.sag_profile[i] = 0.0;
    }
    s.changed = 1;
    return 0;
}

// The pickup source of one kind of pickup on surface n, or -1 when n has none of that kind.
enum class PickupKind { kCurvature, kThickness, kAperture, kDiffractive, kDecentre };

int pickup_source(int n, PickupKind kind) {
    const SurfaceRecord& s = surface(n);
    switch (kind) {
        case PickupKind::kCurvature:
            return s.curvature_kind == kCurvaturePickup ||
                           s.curvature_kind == kCurvaturePickupNegated
                       ? s.curvature_source
                       : -1;
        case PickupKind::kThickness:
            return s.thickness_kind == kThicknessPickup ||
                           s.thickness_kind == kThicknessPickupNegated
                       ? s.thickness_source
                       : -1;
        case PickupKind::kAperture:
            return s.aperture_kind == kAperturePickup ? s.aperture_source : -1;
        case PickupKind::kDiffractive:
            return s.diffractive != nullptr && s.diffractive->pickup_source > 0
                       ? s.diffractive->pickup_source
                       : -1;
        case PickupKind::kDecentre:
            return s.decentre != nullptr && s.decentre->pickup_source > 0
                       ? s.decentre->pickup_source
                       : -1;
    }
    return -1;
}

void remove_pickup(int n, PickupKind kind) {
    SurfaceRecord& s = surface(n);
    switch (kind) {
        case PickupKind::kCurvature:
            clear_curvature_pickup(n);
            break;
        case PickupKind::kThickness:
            clear_thickness_pickup(n);
            break;
        case PickupKind::kAperture:
            clear_aperture_pickup(n);
            break;
        case PickupKind::kDiffractive:
            s.diffractive->pickup_source = 0;
            break;
        case PickupKind::kDecentre:
            s.decentre->pickup_source = 0;
            s.decentre->pickup_negated = 0;
            break;
    }
}

// 0 when the chain from n ends, -336 when a link leaves the lens, -335 when it returns to a
// surface already passed (at most one step per surface is taken).
int walk_chain(int n, PickupKind kind) {
    const int image = lens_data().image_surface;
    int at = n;
    for (int steps = 0; steps <= image + 1; ++steps) {
        const int next = pickup_source(at, kind);
        if (next < 0) return 0;
        if (!in_lens(next)) return at == n ? kMsgPickupSourceOutside : 0;
        if (next == n) return kMsgPickupCycle;
        at = next;
    }
    // More steps than surfaces: the chain runs round a cycle that n leads into; the surface
    // on the cycle reports it itself.
    return 0;
}

int walk_aperture_entries(int n) {
    SurfaceRecord& s = surface(n);
    int removed = 0;
    for (int e = 0; e < s.special_aperture_count && s.special_apertures != nullptr; ++e) {
        SpecialAperture& a = s.special_apertures[e];
        if (a.pickup_source <= 0 || a.pickup_id_letter == ' ' || a.pickup_id_letter == 0) {
            continue;
        }
        int at_surface = n, at_entry = e, code = 0;
        for (int steps = 0;; ++steps) {
            const SurfaceRecord& here = surface(at_surface);
            const SpecialAperture& h = here.special_apertures[at_entry];
            if (h.pickup_source <= 0 || h.pickup_id_letter == ' ' || h.pickup_id_letter == 0) {
                break;
            }
            const int src = h.pickup_source;
            const int src_entry = h.pickup_id_letter - 'A';
            if (!in_lens(src)) {
                if (at_surface == n && at_entry == e) code = kMsgPickupSourceOutside;
                break;
            }
            const SurfaceRecord& next = surface(src);
            if (src_entry < 0 || src_entry >= next.special_aperture_count ||
                next.special_apertures == nullptr) {
                break;
            }
            if (src == n && src_entry == e) {
                code = kMsgPickupCycle;
                break;
            }
            if (steps > 26 * (lens_data().image_surface + 1)) break;
            at_surface = src;
            at_entry = src_entry;
        }
        if (code != 0) {
            msg_box(code, n);
            a.pickup_source = 0;
            a.pickup_id_letter = ' ';
            ++removed;
        }
    }
    return removed;
}

}  // namespace

int apply_curvature_pickup(const SurfaceRecord& source, SurfaceRecord& target) {
    const bool negated = target.curvature_kind == kCurvaturePickupNegated;
    target.conic = source.conic;
    target.x_conic = source.x_conic;
    target.toric = source.toric;
    const bool second = source.toric != 0 || source.shape == kShapeSpecialBase;
    if (negated) {
        target.curvature = target.curvature_solve_value - source.curvature;
        if (second) target.x_curvature = -source.x_curvature;
    } else {
        target.curvature = target.curvature_solve_value + source.curvature;
        if (second) target.x_curvature = source.x_curvature;
    }
    int rc = 0;
    if (source.asphere != nullptr) {
        rc = copy_asphere(*source.asphere, target, negated);
    } else if (target.asphere != nullptr && target.asphere->kind == kAsphereBiconicPairs) {
        mem_free(target.asphere);
        target.asphere = nullptr;
        lens_flags().bounds_stale = 1;
    }
    if (rc == 0 && source.spline != nullptr) rc = copy_spline(*source.spline, target, negated);
    if (rc != 0) {
        target.curvature_kind = kCurvaturePlain;
        return kMsgPickupNoMemory;
    }
    return 0;
}

int apply_diffractive_pickup(const SurfaceRecord& source, SurfaceRecord& target,
                             int source_number) {
    const DiffractiveRecord* from = source.diffractive;
    if (from == nullptr) return 0;
    DiffractiveRecord* d = target.diffractive;
    if (d == nullptr || d->kind != from->kind || d->entered_count != from->entered_count) {
        DiffractiveRecord* fresh = alloc_coefficients<DiffractiveRecord>(from->entered_count);
        if (fresh == nullptr) return kMsgPickupNoMemory;
        mem_free(d);
        target.diffractive = d = fresh;
        lens_flags().bounds_stale = 1;
    }
    d->kind = from->kind;
    d->working_count =
        from->working_count <= from->entered_count ? from->working_count : from->entered_count;
    d->entered_count = from->entered_count;
    d->zernike_switch = from->zernike_switch;
    d->pupil_search_exempt = from->pupil_search_exempt;
    std::memcpy(d->kind_text, from->kind_text, sizeof d->kind_text);
    d->design_wavelength = from->design_wavelength;
    for (int i = 0; i < from->entered_count; ++i) d->entered[i] = from->entered[i];
    d->pickup_source = static_cast<std::int16_t>(source_number);
    d->changed = 1;
    target.grating_companion = source.grating_companion;
    target.diffraction_word = source.diffraction_word;
    return 0;
}

int check_pickup_chains() {
    const int image = lens_data().image_surface;
    int removed = 0;
    const PickupKind kinds[] = {PickupKind::kCurvature, PickupKind::kThickness,
                                PickupKind::kAperture, PickupKind::kDiffractive,
                                PickupKind::kDecentre};
    for (PickupKind kind : kinds) {
        for (int n = 0; n <= image; ++n) {
            const int code = walk_chain(n, kind);
            if (code == 0) continue;
            msg_box(code, n);
            remove_pickup(n, kind);
            ++removed;
        }
    }
    // "LN"/"LNM" take vertex positions, not values, so they form no chain; only their
    // sources must lie in the lens.
    for (int n = 0; n <= image; ++n) {
        const SurfaceRecord& s = surface(n);
        if ((s.thickness_kind == kThicknessLength || s.thickness_kind == kThicknessLengthNegated) &&
            (!in_lens(s.thickness_source) || !in_lens(s.thickness_source2))) {
            msg_box(kMsgPickupSourceOutside, n);
            clear_thickness_pickup(n);
            ++removed;
        }
        removed += walk_aperture_entries(n);
    }
    return removed;
}

int solve_curvature(int kind, double v, const SolveRay& ray, bool before_stop, double* c) {
    const double r = ray.r;
    double d = 0.0;
    switch (kind) {
        case kCurvatureAxialSlope:
            d = (r - 1.0) * ray.ya;
            if (std::fabs(d) < kZero) return kMsgSolveZeroHeight;
            *c = (v - r * ray.ua) / d;
            return 0;
        case kCurvatureChiefSlope:
            if (before_stop) return kMsgChiefSolveBeforeStop;
            d = (r - 1.0) * ray.yc;
            if (std::fabs(d) < kZero) return kMsgSolveZeroHeight;
            *c = (v - r * ray.uc) / d;
            return 0;
        case kCurvatureAxialIncidence:
            if (std::fabs(ray.ya) < kZero) return kMsgSolveZeroHeight;
            *c = (v - ray.ua) / ray.ya;
            return 0;
        case kCurvatureChiefIncidence:
            if (before_stop) return kMsgChiefSolveBeforeStop;
            if (std::fabs(ray.yc) < kZero) return kMsgSolveZeroHeight;
            *c = (v - ray.uc) / ray.yc;
            return 0;
        case kCurvatureAxialAplanatic:
            d = (r - 1.0) * ray.ya;
            if (std::fabs(d) < kZero) return kMsgSolveZeroHeight;
            *c = ((1.0 / r - r) * ray.ua) / d;
            return 0;
        case kCurvatureChiefAplanatic:
            if (before_stop) return kMsgChiefSolveBeforeStop;
            d = (r - 1.0) * ray.yc;
            if (std::fabs(d) < kZero) return kMsgSolveZeroHeight;
            *c = ((1.0 / r - r) * ray.uc) / d;
            return 0;
        default:
            return 0;
    }
}

int solve_height_thickness(int kind, double v, const SolveRay& ray, bool before_stop, double* t) {
    if (kind == kThicknessAxialHeight) {
        if (std::fabs(ray.ua) < kZero) return kMsgSolveZeroSlope;
        *t = (v - ray.ya) / ray.ua;
        return 0;
    }
    if (kind == kThicknessChiefHeight) {
        if (before_stop) return kMsgChiefSolveBeforeStop;
        if (std::fabs(ray.uc) < kZero) return kMsgSolveZeroSlope;
        *t = (v - ray.yc) / ray.uc;
    }
    return 0;
}

namespace {

// The sag of surface n at height h; beyond the surface the depth of its hemisphere, or 0.
double edge_sag(int n, double h) {
    const SurfaceRecord& s = surface(n);
    SagPoint p{};
    surface_sag_normal(s, 0.0, h, p);
    if (p.beyond_edge == 0) return p.z;
    const double c = s.curvature;
    if (std::fabs(c) > kZero && h >= 1.0 / c) return 1.0 / c;
    return 0.0;
}

bool next_curvature_is_solved(int kind) {
    // 13 and 14: solves no command makes; the command language may store them.
    return is_curvature_solve(kind) || kind == 13 || kind == 14;
}

}  // namespace

int solve_edge_thickness(int j, int k, bool before_stop, void (*refresh)(int surface), double* t) {
    SurfaceRecord& s = surface(j);
    if (!in_lens(k)) return kMsgEdgeSolveNoHeight;
    SurfaceRecord& next = surface(k);
    if (next_curvature_is_solved(next.curvature_kind)) return kMsgEdgeSolveNextSolved;
    const double entered = s.thickness_solve_value;
    if (s.aperture_kind == kApertureComputed && before_stop && std::fabs(entered) < kZero) {
        return kMsgEdgeSolveNoHeight;
    }
    const double h = std::fabs(entered) < kZero ? s.aperture_radius : entered;
    if (next.curvature_kind == kCurvaturePickup || next.curvature_kind == kCurvaturePickupNegated) {
        if (in_lens(next.curvature_source)) {
            const int rc = apply_curvature_pickup(surface(next.curvature_source), next);
            if (rc != 0) return rc;
        }
    }
    // The pass reaches the next surface only after this one: its shape word may still describe
    // the surface as it was before the change that this set-up follows.
    if (refresh != nullptr) refresh(k);
    double thickness = edge_sag(j, h) - edge_sag(k, h);
    if (std::fabs(s.thickness_solve_value2) > kZero) thickness += s.thickness_solve_value2;
    *t = thickness;
    return 0;
}
