#include "trace/lens_setup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/lens_items.h"
#include "lens/lens_reset.h"
#include "lens/optimise_links.h"
#include "lens/private_catalog.h"
#include "lens/surface_groups.h"
#include "lens/surface_materials.h"
#include "numeric/memory.h"
#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "trace/paraxial_setup_pass.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_trace.h"
#include "trace/solves_pickups.h"
#include "trace/stop_radius.h"
#include "trace/surface_frames.h"

namespace {

constexpr double kZero = 1e-40;
constexpr double kTelecentricObjectLimit = 1e8;
constexpr int kZernikeTerms = 21;  // entered terms k = 0..20
constexpr int kFlagDerivedResultD = 64;

// The surface a pass is at, the last full pass's result, and the wavelengths the indices were
// computed for.
struct LensSetupState {
    int pass_surface = 0;
    // The result of the last full pass and its failing surface, for the listings.
    int last_result = 0;
    int last_failing_surface = 0;
    // The wavelengths the glass indices were last computed for. A change by any road (a command,
    // a lens item or a bound variable written by a procedure) makes the next pass recompute them.
    std::vector<double> indexed_wavelengths;
};

LensSetupState g_setup;

// Row (k, j) of the Zernike conversion: (-1)^(k-j) (k+j)! / ((k-j)! (j!)^2), the coefficient
// of rho^(2j) in the rotationally symmetric Zernike polynomial of radial order 2k.
struct ZernikeTable {
    double factor[kZernikeTerms][kZernikeTerms] = {};
    ZernikeTable() {
        double fact[2 * kZernikeTerms] = {1.0};
        for (int i = 1; i < 2 * kZernikeTerms; ++i) fact[i] = fact[i - 1] * i;
        for (int k = 0; k < kZernikeTerms; ++k) {
            for (int j = 0; j <= k; ++j) {
                const double sign = ((k - j) % 2) != 0 ? -1.0 : 1.0;
                factor[k][j] = sign * fact[k + j] / (fact[k - j] * fact[j] * fact[j]);
            }
        }
    }
};

const ZernikeTable& zernike_table() {
    static const ZernikeTable table;
    return table;
}

// working = the entered Zernike terms as power-series terms of r^(2j) over the aperture radius
// of surface n, each factor times scale.
void convert_zernike(const double* entered, int entered_count, double* working, int working_count,
                     int n, double scale) {
    for (int i = 0; i < working_count; ++i) working[i] = 0.0;
    const ZernikeTable& z = zernike_table();
    for (int k = 0; k < kZernikeTerms && k < entered_count; ++k) {
        for (int j = 0; j <= k && j < working_count; ++j) {
            working[j] += entered[k] * z.factor[k][j] * scale;
        }
    }
    SurfaceRecord& s = surface(n);
    if (std::fabs(s.aperture_radius) < kZero) {
        s.aperture_radius = 1.0;
        s.aperture_kind = kApertureFixedValue;
        msg_box(kMsgZernikeNoRadius);
    }
    const double f = 1.0 / (s.aperture_radius * s.aperture_radius);
    double p = 1.0;
    for (int k = 1; k < working_count; ++k) {
        p *= f;
        if (working[k] != 0.0) working[k] *= p;
    }
}

bool in_lens(int n) {
    return n >= 0 && n <= lens_data().image_surface;
}

void clear_symmetry(bool plane, bool rotational) {
    LensData& l = lens_data();
    if (plane) l.plane_symmetric = 0;
    if (rotational) l.rotationally_symmetric = 0;
}

void clear_plain() {
    lens_data().plain_lens = 0;
}

// The shape word of the base surface alone; the special data below may change it.
void base_shape(SurfaceRecord& s) {
    s.shape = kShapePlane;
    if (std::fabs(s.curvature) > kZero) s.shape = kShapeSphere;
    if (s.conic != 0.0) s.shape = kShapeConic;
}

// Diffractive data: the pickup, the symmetry the kind breaks, and fresh working coefficients.
// Returns a pickup failure.
int diffractive_step(int n) {
    SurfaceRecord& s = surface(n);
    if (s.diffractive == nullptr) return 0;
    int rc = 0;
    const int src = s.diffractive->pickup_source;
    if (src > 0 && in_lens(src) && src != n) {
        rc = apply_diffractive_pickup(surface(src), s, src);
    }
    DiffractiveRecord& d = *s.diffractive;
    if (d.kind == kDiffractiveXy || d.kind == kDiffractiveXyOdd ||
        d.kind == kDiffractiveZernikeXy || d.kind == kDiffractiveUnwritten) {
        clear_symmetry(true, true);
    }
    if (d.changed != 0 || d.kind == kDiffractiveZernike || d.kind == kDiffractiveZernikeXy) {
        prepare_diffractive_coefficients(n);
    }
    clear_plain();
    return rc;
}

// An asphere decides the shape word: a special base for the biconic and cone kinds, else an
// asphere on the conic (toric along x or y for the toric kinds).
void asphere_step(int n) {
    SurfaceRecord& s = surface(n);
    if (s.asphere == nullptr) return;
    AsphereRecord& a = *s.asphere;
    const int kind = a.kind;
    if (kind == kAsphereXy || kind == kAsphereZernikeXy || kind == kAsphereAbsXy ||
        kind == kAsphereBiconicPairs) {
        clear_symmetry(true, true);
    }
    if (a.changed != 0 || kind == kAsphereZernike || kind == kAsphereZernikeXy) {
        prepare_asphere_coefficients(a, n);
    }
    if (kind == kAsphereBiconic || kind == kAsphereCone || kind == kAsphereEllipticCone ||
        kind == kAsphereBiconicPairs) {
        s.shape = kShapeSpecialBase;
        s.toric = 0;
        if (kind != kAsphereCone) clear_symmetry(false, true);
    } else {
        s.shape = kShapeAsphere;
        if (kind == kAsphereToricX) s.toric = 2;
        if (kind == kAsphereToricY) s.toric = 1;
    }
    clear_plain();
}

// A spline profile, derived again when it or the curvature changed, makes the surface a spline.
// Returns -293 for radii that do not increase; the surface then keeps the shape it had.
int spline_step(int n) {
    SurfaceRecord& s = surface(n);
    if (s.spline == nullptr) return 0;
    SplineRecord& sp = *s.spline;
    clear_plain();
    const int check = check_spline_profile(sp);
    if (check == 1) return 0;
    if (check != 0) return check;
    if (sp.changed != 0 || std::fabs(sp.curvature_profile[0] - s.curvature) > kZero) {
        sp.curvature_profile[0] = s.curvature;
        const int rc = derive_spline_profile(sp);
        if (rc != 0) return rc;
        s.x_curvature = 0.0;
        s.toric = 0;
    }
    s.shape = kShapeSpline;
    return 0;
}

// A toric surface is a cylinder when one of its curvatures is zero, else a toroid.
void toric_step(SurfaceRecord& s) {
    if (s.toric == 0) return;
    const bool cylinder =
        (s.toric == 1 && s.x_curvature == 0.0) || (s.toric == 2 && s.curvature == 0.0);
    s.shape = cylinder ? kShapeCylinder : kShapeToroid;
    clear_symmetry(false, true);
    clear_plain();
}

int nested_steps(int n) {
    int rc = diffractive_step(n);
    asphere_step(n);
    if (const int sp = spline_step(n); sp != 0 && rc == 0) rc = sp;
    toric_step(surface(n));
    return rc;
}

// Special apertures and the other features that decide symmetry and plainness.
void symmetry_step(int n) {
    SurfaceRecord& s = surface(n);
    for (int e = 0; e < s.special_aperture_count && s.special_apertures != nullptr; ++e) {
        SpecialAperture& a = s.special_apertures[e];
        if (a.pickup_source > 0 && a.pickup_id_letter != ' ' && a.pickup_id_letter != 0) {
            apply_special_aperture_pickup(n, e);
        }
        if (a.shape == kApertureQuadrilateral) {
            clear_symmetry(true, true);
        } else if (a.shape == kApertureTriangle) {
            const bool off = a.x[1] != 0.0 || std::fabs(a.x[2] + a.x[0]) > kZero;
            clear_symmetry(off, true);
        } else {
            const bool off = std::fabs(a.x[1] + a.x[0]) > kZero || a.angle != 0.0;
            clear_symmetry(off, true);
        }
        set_special_aperture_orientation(a);
    }
    if (s.head_counted_trace_record != nullptr || s.word3_counted_trace_record != nullptr)
        clear_symmetry(true, true);
    if (s.hologram != nullptr) {
        const HologramRecord& h = *s.hologram;
        if (std::fabs(h.first_point[0]) > kZero || std::fabs(h.second_point[0]) > kZero) {
            clear_symmetry(true, true);
        }
        if (std::fabs(h.first_point[1]) > kZero || std::fabs(h.second_point[1]) > kZero) {
            clear_symmetry(false, true);
        }
        clear_plain();
    }
    if (s.grin != nullptr) {
        if (s.grin->kind == kGrinUsr || s.grin->kind == kGrinUserGrid) clear_symmetry(true, true);
        if (s.grin->kind == kGrinAeg) clear_symmetry(false, true);
        clear_plain();
    }
    if (s.range_record != nullptr && s.range_record->kind == kRangeBreaksPlaneSymmetry) {
        clear_symmetry(true, false);
    }
    if (s.grating_spacing != 0.0 || s.range_mark != 0) clear_symmetry(false, true);
    if (s.head_counted_trace_record != nullptr || s.diffraction_order != 0 || s.fresnel != 0 ||
        s.rod != 0 || s.group_kind == kGroupNonSequential || s.range_mark != 0 ||
        s.word3_counted_trace_record != nullptr || s.perfect_lens != nullptr) {
        clear_plain();
    }
}

// Which curvatures, thicknesses and glasses are optimisation variables.
void mark_variables() {
    LensData& l = lens_data();
    for (int n = 0; n <= l.image_surface; ++n) {
        SurfaceRecord& s = surface(n);
        s.curvature_variable = s.thickness_variable = s.glass_variable = 0;
    }
    const int last = optimise_highest_variable();
    for (int i = 0; i <= last; ++i) {
        const OptimiseVariableRef v = optimise_variable_at(i);
        if (v.configuration != 0 && v.configuration != l.current_configuration) continue;
        if (!in_lens(v.surface)) continue;
        SurfaceRecord& s = surface(v.surface);
        switch (v.type) {
            case 1:
                s.curvature_variable = 1;
                if (s.curvature_kind == kCurvatureFixedRtf) s.curvature_kind = kCurvaturePlain;
                break;
            case 3:
                s.thickness_variable = 1;
                break;
            case 5:
                s.glass_variable |= 1;
                break;
            case 6:
                s.glass_variable |= 2;
                break;
            default:
                break;
        }
    }
}

// Which surfaces have air behind them. A glass pickup follows its chain to the end.
void mark_air() {
    const int image = lens_data().image_surface;
    for (int n = 0; n <= image; ++n) {
        SurfaceRecord& s = surface(n);
        switch (s.medium_kind) {
            case kMediumAir:
            case kMediumAirFixed:
                s.in_air = 1;
                break;
            case kMediumMirror:
                s.in_air = n > 0 && surface(n - 1).in_air != 0 ? 1 : 0;
                break;
            case kMediumPickup: {
                const int origin = glass_pickup_origin(n);
                s.in_air = origin >= 0 && origin < n && surface(origin).in_air != 0 ? 1 : 0;
                break;
            }
            default:
                s.in_air = 0;
                break;
        }
    }
    // A pickup of a later surface: that surface is settled now.
    for (int n = 0; n <= image; ++n) {
        SurfaceRecord& s = surface(n);
        if (s.medium_kind != kMediumPickup) continue;
        const int origin = glass_pickup_origin(n);
        s.in_air = origin >= 0 && origin != n && surface(origin).in_air != 0 ? 1 : 0;
    }
}

// The extended-aperture and telecentric aim modes are settled before the paraxial pass, which
// reads them; a switch that is on wins over the mode number.
void settle_aim_mode_early(SetupPass& pass) {
    LensData& l = lens_data();
    pass.telecentric_object = false;
    if (l.aim_mode == kAimExtended || l.aim_extended != 0) {
        l.aim_extended = 1;
        l.aim_telecentric = 0;
        l.aim_state = 0;
        l.aim_mode = kAimExtended;
        set_state_flag(kFlagAimingExtended);
        return;
    }
    clear_state_flag(kFlagAimingExtended);
    if (l.aim_mode == kAimTelecentric || l.aim_telecentric != 0) {
        l.aim_telecentric = 1;
        l.aim_extended = 0;
        l.aim_state = 0;
        l.aim_mode = kAimTelecentric;
        pass.telecentric_object = std::fabs(surface(0).thickness) < kTelecentricObjectLimit;
    }
}

// The decentre records are brought up to date before the pass reads them. Returns the last
// surface with a coordinate reference, or a coordinate return onto itself (the frames are built
// up to it), 0 when none.
int prepare_decentres() {
    const int image = lens_data().image_surface;
    int last_reference = 0;
    for (int j = 0; j <= image; ++j) {
        const int link = surface(j).skip_to;
        if (link > j && link <= image) j = link;
        SurfaceRecord& s = surface(j);
        if (s.decentre != nullptr) {
            const int rc = prepare_decentre(j);
            if (rc == kMsgCoordinateUnreachable) {
                msg_box(rc, j);
            } else if (rc != 0) {
                msg_box(rc);
            }
        }
        if (s.decentre_reference != nullptr) last_reference = j;
        if (s.return_coordinates != nullptr && s.decentre_reference == nullptr &&
            s.return_coordinates->pickup_source == j) {
            prepare_return_coordinates(j);
            last_reference = j;
        }
        if (s.aperture_check == 2) s.aperture_check = 0;
    }
    return last_reference;
}

// The aim modes that need the finished pass are settled after it: wide-angle aiming takes the
// real stop radius from a ray, and falls back to the central reference ray (reported) when the
// reference surface is not behind surface 1 or the path to it is not plain; rim-ray aiming
// marks the reference surface's aperture check.
void settle_aim_mode_late() {
    LensData& l = lens_data();
    if (l.aim_mode == kAimWideAngle) {
        if (l.reference_surface < 2) {
            l.aim_state = 0;
            l.aim_mode = kAimParaxial;
            l.aim_telecentric = 0;
            l.aim_extended = 0;
            msg_box(kMsgAimFallback, l.reference_surface);
        } else {
            l.aim_state = 1;
        }
    } else {
        l.aim_state = 0;
    }
    if (in_lens(l.reference_surface)) {
        SurfaceRecord& ref = surface(l.reference_surface);
        if (l.aim_mode == kAimRimRays) {
            if (ref.aperture_check == 0) ref.aperture_check = 2;
        } else if (ref.aperture_check == 2) {
            ref.aperture_check = 0;
        }
    }
    trace_globals().real_stop = 0;
    if (l.aim_state != 0 && l.reference_surface > 1) {
        if (stop_path_is_plain() == 1) {
            set_stop_radius_from_ray();
        } else {
            l.aim_state = 0;
            msg_box(kMsgAimFallback, l.reference_surface);
            l.aim_mode = kAimParaxial;
        }
        l.aim_telecentric = 0;
        l.aim_extended = 0;
    }
    if (l.aim_mode == kAimEntrancePupil || l.aim_mode == kAimParaxial ||
        l.aim_mode == kAimRimRays) {
        l.aim_telecentric = 0;
        l.aim_extended = 0;
        l.aim_state = 0;
    }
    // The rays are aimed at the reference surface exactly while wide-angle aiming stays on: the
    // path to that surface is then plain, so that the aiming can trace rays back along it.
    l.wide_angle = l.aim_mode == kAimWideAngle && l.aim_state != 0 ? 1 : 0;
    if (l.wide_angle != 0) trace_globals().aiming_possible = 1;
}

// Clears kFlagLensSetupRunning on every way out of a full pass.
class PassRunning {
public:
    PassRunning() { set_state_flag(kFlagLensSetupRunning); }
    ~PassRunning() { clear_state_flag(kFlagLensSetupRunning); }
    PassRunning(const PassRunning&) = delete;
    PassRunning& operator=(const PassRunning&) = delete;
};

}  // namespace

int lens_setup_pass_surface() {
    return g_setup.pass_surface;
}

void set_lens_setup_pass_surface(int n) {
    g_setup.pass_surface = n;
}

void prepare_asphere_coefficients(AsphereRecord& a, int n) {
    int kind = a.kind;
    if (kind == kAsphereBiconicPairs && a.entered_count >= 1) kind = a.sub_kind;
    if (kind == kAsphereZernike) {
        convert_zernike(a.entered, a.entered_count, a.working, a.working_count, n, 1.0);
    } else if ((kind >= kAsphereEven && kind <= kAsphereEllipticCone) || kind == kAsphereRadial ||
               kind == kAsphereAbsXy || kind == kAsphereBiconicPairs) {
        const int count = a.entered_count < a.working_count ? a.entered_count : a.working_count;
        for (int i = 0; i < count; ++i) a.working[i] = a.entered[i];
    }
    a.changed = 0;
}

void prepare_diffractive_coefficients(int n) {
    SurfaceRecord& s = surface(n);
    if (s.diffractive == nullptr) return;
    DiffractiveRecord& d = *s.diffractive;
    const int count = d.entered_count < d.working_count ? d.entered_count : d.working_count;
    switch (d.kind) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 6:
            for (int i = 0; i < count; ++i) d.working[i] = d.entered[i];
            break;
        case 4: {
            double units = lens_data().units;
            if (std::fabs(units) < kZero) units = 1.0;
            convert_zernike(d.entered, d.entered_count, d.working, d.working_count, n,
                            d.design_wavelength * 0.001 / units);
            break;
        }
        default:
            break;
    }
    d.changed = 0;
}

int check_spline_profile(const SplineRecord& sp) {
    if (sp.count <= 1) return 1;
    bool all_tiny = true;
    for (int i = 1; i < sp.count; ++i) {
        const double h = sp.radius[i] - sp.radius[i - 1];
        if (h <= 0.0) return kMsgSplineRadii;
        if (std::fabs(h) >= kZero) all_tiny = false;
    }
    return all_tiny ? 1 : 0;
}

int derive_spline_profile(SplineRecord& sp) {
    if (sp.count < 1) return 0;
    sp.sag_profile[0] = 0.0;
    for (int i = 1; i < sp.count; ++i) {
        const double h = sp.radius[i] - sp.radius[i - 1];
        if (!(h > 0.0)) return kMsgSplineRadii;
        const double* s = sp.slope;
        double* c = sp.curvature_profile;
        c[i] = 2.0 * (s[i] - s[i - 1]) / h - c[i - 1];
        sp.sag_profile[i] = sp.sag_profile[i - 1] + h * (s[i] - h * (2.0 * c[i] + c[i - 1]) / 6.0);
    }
    sp.changed = 0;
    return 0;
}

int prepare_decentre(int j) {
    SurfaceRecord& s = surface(j);
    DecentreRecord& d = *s.decentre;
    if (d.pickup_source != 0 || d.pickup_negated == -1) {
        const int src = d.pickup_source;
        const SurfaceRecord* source = in_lens(src) && src != j ? &surface(src) : nullptr;
        if (source != nullptr && source->decentre != nullptr) {
            const DecentreRecord& f = *source->decentre;
            if (d.pickup_negated == -1) {
                d.tilt_mode = -f.tilt_mode;
                d.dcx = -f.dcx, d.dcy = -f.dcy, d.dcz = -f.dcz;
                d.tla = -f.tla, d.tlb = -f.tlb, d.tlc = -f.tlc;
            } else {
                d.tilt_mode = f.tilt_mode;
                d.dcx = f.dcx, d.dcy = f.dcy, d.dcz = f.dcz;
                d.tla = f.tla, d.tlb = f.tlb, d.tlc = f.tlc;
                std::memcpy(d.rotation, f.rotation, sizeof d.rotation);
            }
            if (source->decentre_reference != nullptr &&
                source->decentre_reference->pickup_source != 0) {
                if (s.decentre_reference == nullptr) {
                    auto* r = static_cast<DecentreRecord*>(mem_alloc(sizeof(DecentreRecord)));
                    if (r == nullptr) return kMsgReferenceNoMemory;
                    std::memset(r, 0, sizeof *r);
                    s.decentre_reference = r;
                }
                s.decentre_reference->pickup_source = source->decentre_reference->pickup_source;
            } else {
                mem_free(s.decentre_reference);
                s.decentre_reference = nullptr;
            }
        } else {
            d.dcx = d.dcy = d.dcz = d.tla = d.tlb = d.tlc = 0.0;
            mem_free(s.decentre_reference);
            s.decentre_reference = nullptr;
        }
    }
    if (d.tilt_mode == 0) d.tilt_mode = 1;
    const int order = s.bend != 0 ? 0 : d.tilt_mode;
    const int kind = tilt_matrix_from_angles(d.tla, d.tlb, d.tlc, d.rotation, order);
    if (kind == 0) {
        static const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::memcpy(d.rotation, identity, sizeof identity);
    } else if (kind == 1) {
        d.rotation[0] = 1.0;
        d.rotation[1] = d.rotation[2] = d.rotation[3] = d.rotation[6] = 0.0;
    }
    d.rotation_kind = static_cast<std::uint8_t>(kind);
    if (d.dcx != 0.0 || kind == 2) clear_symmetry(true, false);
    if (d.dcx != 0.0 || d.dcy != 0.0 || kind != 0) clear_symmetry(false, true);

    const DecentreRecord* coord =
        s.decentre_reference != nullptr ? s.decentre_reference : s.return_coordinates;
    const int target = coord != nullptr ? coord->pickup_source : 0;
    if (target != 0) {
        const int image = lens_data().image_surface;
        bool reached = false;
        int m = 0;
        for (int steps = 0; m <= j && steps <= image + 1; ++steps) {
            if (m == target) {
                reached = true;
                break;
            }
            const int link = surface(m).skip_to;
            m = link > m && link <= image ? link : m + 1;
        }
        if (!reached) return kMsgCoordinateUnreachable;
    }
    return 0;
}

void prepare_return_coordinates(int j) {
    SurfaceRecord& s = surface(j);
    DecentreRecord& rc = *s.return_coordinates;
    rc.tilt_mode = 1;
    if (s.decentre == nullptr) {
        rc.dcx = rc.dcy = rc.dcz = 0.0;
        rc.rotation_kind = 0;
        return;
    }
    const DecentreRecord& d = *s.decentre;
    rc.rotation_kind = d.rotation_kind;
    std::memcpy(rc.rotation, d.rotation, sizeof rc.rotation);
    const double v[3] = {d.dcx, d.dcy, d.dcz};
    double out[3] = {v[0], v[1], v[2]};
    if (d.tilt_mode < 0 && d.rotation_kind > 0) {
        const double* m = d.rotation;
        for (int i = 0; i < 3; ++i) out[i] = m[i] * v[0] + m[3 + i] * v[1] + m[6 + i] * v[2];
        if (d.rotation_kind == 1) out[0] = v[0];
    }
    rc.dcx = out[0];
    rc.dcy = out[1];
    rc.dcz = out[2];
}

void apply_special_aperture_pickup(int n, int entry) {
    SpecialAperture& a = surface(n).special_apertures[entry];
    const int src = a.pickup_source;
    const int index = a.pickup_id_letter - 'A';
    const SurfaceRecord* source = in_lens(src) ? &surface(src) : nullptr;
    if (source == nullptr || source->special_apertures == nullptr || index < 0 ||
        index >= source->special_aperture_count || (src == n && index == entry)) {
        a.pickup_source = 0;
        a.pickup_id_letter = ' ';
        return;
    }
    const SpecialAperture& f = source->special_apertures[index];
    std::memcpy(a.y, f.y, sizeof a.y);
    std::memcpy(a.x, f.x, sizeof a.x);
    a.angle = f.angle;
    a.shape = f.shape;
    a.action = f.action;
}

int surface_shape_steps(int n) {
    SurfaceRecord& s = surface(n);
    base_shape(s);
    asphere_step(n);
    const int rc = spline_step(n);
    toric_step(s);
    return rc;
}

int surface_special_data_steps(int n) {
    base_shape(surface(n));
    const int rc = nested_steps(n);
    symmetry_step(n);
    return rc;
}

int stop_path_is_plain() {
    const LensData& l = lens_data();
    const int ref = l.reference_surface;
    if (ref < 2 || ref > l.image_surface) return 0;
    for (int n = 0; n < ref; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.word3_counted_trace_record != nullptr || s.range_record != nullptr || s.rod != 0 ||
            s.group_kind == kGroupNonSequential) {
            return 0;
        }
        if (s.head_counted_trace_record != nullptr &&
            static_cast<const unsigned char*>(s.head_counted_trace_record)[26] == 1) {
            return 0;
        }
    }
    return 1;
}

namespace {

// Every exit of a full set-up pass leaves the trace's plain-surface marks matching the
// surfaces as the pass left them, also when it stops at an error.
class MarkPlainSurfaces {
public:
    MarkPlainSurfaces() = default;
    ~MarkPlainSurfaces() {
        SurfaceRecord* surfaces = surface_array();
        if (surfaces == nullptr) return;
        for (int n = 0; n <= surface_limit(); ++n) {
            SurfaceRecord& s = surfaces[n];
            s.plain_mark = surface_is_plain(s) ? kPlainSurface : kPlainNotPlain;
        }
    }
    MarkPlainSurfaces(const MarkPlainSurfaces&) = delete;
    MarkPlainSurfaces& operator=(const MarkPlainSurfaces&) = delete;
};

// The differential trace serves only lenses of plain surfaces: every exit of a full pass leaves
// the lens's switch for it equal to the plain-lens flag the pass found.
class DifferentialFollowsPlain {
public:
    DifferentialFollowsPlain() = default;
    ~DifferentialFollowsPlain() {
        LensData& l = lens_data();
        l.differential_trace = l.plain_lens;
    }
    DifferentialFollowsPlain(const DifferentialFollowsPlain&) = delete;
    DifferentialFollowsPlain& operator=(const DifferentialFollowsPlain&) = delete;
};

std::vector<double> lens_wavelengths() {
    const LensData& l = lens_data();
    std::vector<double> w;
    if (l.wavelengths == nullptr) return w;
    const int count = std::clamp(l.wavelength_count, 0, max_wavelengths());
    for (int i = 0; i < count; ++i) w.push_back(l.wavelengths[i].wavelength);
    return w;
}

int setup_pass() {
    LensData& l = lens_data();
    const int image = l.image_surface;
    if (test_state_flag(kFlagLensSetupRunning) != 0) {
        for (int n = g_setup.pass_surface + 2; n <= image; ++n) {
            if (const int rc = nested_steps(n); rc != 0) msg_box(rc, n);
        }
        return 0;
    }
    PassRunning running;
    MarkPlainSurfaces mark_plain;
    DifferentialFollowsPlain differential_follows_plain;
    g_setup.pass_surface = 0;
    check_pickup_chains();
    mark_variables();
    mark_air();
    if (lens_flags().bounds_stale != 0) {
        update_lens_array_bounds();
        lens_flags().bounds_stale = 0;
    }
    clear_state_flag(kFlagReferenceRayCurrent);
    clear_state_flag(kFlagSpotDiagramCurrent);
    clear_state_flag(kFlagSpotDerivedA);
    clear_state_flag(kFlagLensDrawingShown);
    clear_state_flag(kFlagDerivedResultD);
    l.plane_symmetric = l.rotationally_symmetric = 1;
    l.frames_valid = 0;
    l.plain_lens = 1;
    if (std::fabs(l.sasd) > kZero) {
        set_state_flag(kFlagSagDifference);
    } else {
        clear_state_flag(kFlagSagDifference);
    }
    SetupPass pass;
    settle_aim_mode_early(pass);
    const int last_reference = prepare_decentres();
    std::vector<double> wavelengths = lens_wavelengths();
    if (wavelengths != g_setup.indexed_wavelengths) lens_flags().wavelengths_changed = 1;
    g_setup.indexed_wavelengths.swap(wavelengths);
    if (lens_flags().materials_changed != 0) {
        update_surface_materials();
        lens_flags().materials_changed = 0;
        lens_flags().wavelengths_changed = 0;
    } else if (lens_flags().wavelengths_changed != 0) {
        refresh_glass_cache_indices();
        lens_flags().wavelengths_changed = 0;
    }
    {
        SurfaceRecord& s0 = surface(0);
        base_shape(s0);
        asphere_step(0);
        if (const int rc = spline_step(0); rc != 0) msg_box(rc, 0);
        toric_step(s0);
    }
    paraxial_object_setup(pass);
    if (l.aperture_stop == image) {
        if (image <= 1) return 0;
        if (l.reference_surface == l.aperture_stop) l.reference_surface = 1;
        l.aperture_stop = 1;
    }
    if (const int rc = paraxial_setup_pass(pass); rc != 0) return rc;
    if (pass.pending_error != 0) {
        l.failing_surface = pass.pending_surface;
        return pass.pending_error;
    }
    if (last_reference > 0) build_surface_frames(last_reference);
    settle_aim_mode_late();
    if (pass.last_before_stop > 0) paraxial_second_pass(pass);
    paraxial_exit_pupil(pass);
    return 0;
}

}  // namespace

int lens_setup(int /*mode*/) {
    if (test_state_flag(kFlagLensReadInBulk) != 0) return 0;
    const bool full = test_state_flag(kFlagLensSetupRunning) == 0;
    const int rc = setup_pass();
    if (full) {
        g_setup.last_result = rc;
        g_setup.last_failing_surface = lens_data().failing_surface;
    }
    return rc;
}

int last_lens_setup_result(int* failing_surface) {
    if (failing_surface != nullptr) *failing_surface = g_setup.last_failing_surface;
    return g_setup.last_result;
}

int check_lens_has_surfaces() {
    const LensData& l = lens_data();
    if (l.image_surface < 1 || l.wavelength_count < 1 || l.wavelengths == nullptr) {
        return set_error_msg(kMsgNoLens);
    }
    if (l.image_surface < 2) return set_error_msg(kMsgNoSurfaces);
    return 0;
}

int cmd_lens_setup() {
    return lens_setup(0);
}

void install_lens_setup() {
    set_private_catalog_setup(lens_setup);
    paraxial_hooks().lens_setup = lens_setup;
    set_lens_setup_runner(lens_setup);
    set_handler(kSlotLensSetup, cmd_lens_setup);
}

int lens_setup_or_error() {
    const int rc = lens_setup(0);
    if (rc == 0) return 0;
    int failing = 0;
    last_lens_setup_result(&failing);
    return set_error_msg(rc, failing);
}

namespace {
void reset_lens_setup() {
    g_setup = LensSetupState{};
}
const platform::StateReset lens_setup_state_reset{"trace/lens_setup", reset_lens_setup,
                                                  platform::ResetLayer::trace};
}  // namespace
