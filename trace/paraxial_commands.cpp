#include "trace/paraxial_commands.h"

#include <cmath>
#include <utility>

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/run_as.h"
#include "runtime/text_output.h"
#include "trace/lens_setup.h"
#include "trace/paraxial_trace.h"

namespace {

constexpr double kInfiniteObject = 1e8;

double quotient_or_ratio(double a, double b) {
    if (std::fabs(b) < kParaxialZero) return a * kParaxialRatio;
    return a / b;
}

double positive_or_one(double v) {
    return v > 0.0 ? v : 1.0;
}

void wavelength_suffix() {
    const int w = lens_data().current_wavelength;
    if (w != 0) text_printf(" (WAVELENGTH %d)", w + 1);
    text_newline();
}

void x_factors_line() {
    const ParaxialState& p = paraxial_state();
    print_msg(kMsgApertureFactor);
    paraxial_number_cell(p.x_aperture_factor);
    print_msg(kMsgFieldFactor);
    paraxial_number_cell(p.x_field_factor, true);
}

void silent_trace() {
    ParaxialState& p = paraxial_state();
    p.wavelength = 0;
    p.print = 0;
    p.listing_kind = kListingNone;
    paraxial_trace(0);
}

bool has_unsupported_records(const SurfaceRecord& s) {
    return s.unsupported_records[0] != nullptr || s.unsupported_records[1] != nullptr ||
           s.unsupported_records[2] != nullptr;
}

// Runs handler as command number `command` with the cells of the running command taken in
// the order `from` gives (a cell beyond the count becomes an empty one); run_as_command records
// the direct command in the history and puts the selector command back.
int run_as(int command, int (*handler)(), const int* from, int count) {
    ArgCell cells[kScratchCellCount];
    for (int k = 0; k < count; ++k) {
        const ArgCell* c = from[k] < arg_count() ? arg_cell(from[k]) : nullptr;
        cells[k] = c != nullptr ? *c : int_cell(0);
        if (c == nullptr) cells[k].status = kArgDefaultTaken;
    }
    return run_as_command(command, handler, cells, count);
}

double power(double f, int e) {
    return std::pow(f, e);
}

void scale_asphere(AsphereRecord* a, double f) {
    if (a == nullptr || a->entered == nullptr) return;
    for (int k = 0; k < a->entered_count; ++k) {
        int e;
        switch (a->kind) {
            case kAsphereEven:
            case kAsphereSeries:
                e = 2 * k - 1;
                break;
            case kAsphereOdd:
            case kAsphereToricX:
            case kAsphereToricY:
                e = k + 2;
                break;
            case kAsphereBiconic:
                e = 2 + k / 2;
                break;
            case kAsphereCone:
                if (k == 0) continue;
                e = k + 1;
                break;
            case kAsphereRadial:
                e = k - 1;
                break;
            default:
                return;
        }
        a->entered[k] /= power(f, e);
    }
    a->changed = 1;
}

void scale_diffractive(DiffractiveRecord* d, double f) {
    if (d == nullptr || d->entered == nullptr ||
        (d->kind != kDiffractiveRadial && d->kind != kDiffractiveRadialOdd)) {
        return;
    }
    for (int k = 0; k < d->entered_count; ++k) {
        d->entered[k] /= power(f, d->kind == kDiffractiveRadial ? 2 * k - 1 : k - 1);
    }
    d->changed = 1;
}

// The lens set-up after a scaling; a failure keeps the scaled lens and names the surface.
int bring_lens_up_to_date() {
    if (paraxial_hooks().lens_setup == nullptr) return 0;
    const int r = paraxial_hooks().lens_setup(0);
    if (r == 0) return 0;
    if (r == kErrorTextReady || r == kStopped) return r;
    return set_error_msg(r, lens_data().failing_surface);
}

// A listing needs a lens whose last set-up succeeded: it refuses with the set-up's message
// rather than printing numbers of a lens it could not bring up to date.
int check_listable_lens() {
    if (const int rc = check_lens_has_surfaces(); rc != 0) return rc;
    int failing = 0;
    if (const int rc = last_lens_setup_result(&failing); rc != 0) {
        return set_error_msg(rc, failing);
    }
    return 0;
}

}  // namespace

void warn_paraxial_special_data() {
    const int image = lens_data().image_surface;
    for (int j = 0; j <= image; ++j) {
        const SurfaceRecord& s = surface(j);
        const bool special = s.asphere_term != 0.0 || s.toric != 0 ||
                             (s.asphere != nullptr && s.asphere->kind != kAsphereEven &&
                              s.asphere->kind != kAsphereSeries) ||
                             s.diffractive != nullptr || s.hologram != nullptr ||
                             s.decentre != nullptr || s.grin != nullptr || s.spline != nullptr ||
                             s.perfect_lens != nullptr || s.group_kind == kGroupNonSequential ||
                             has_unsupported_records(s);
        if (special) {
            print_msg(kMsgParaxialSpecialData);
            text_newline();
            return;
        }
    }
}

int cmd_paraxial_listing() {
    if (const int rc = check_listable_lens(); rc != 0) return rc;
    const int command = current_command();
    const int image = lens_data().image_surface;
    const int start = command == kCmdParaxialRays ? 0 : 1;
    int first, last;
    if (arg_int(0) != 0) {
        first = start;
        last = image;
    } else {
        first = arg_int(1);
        last = arg_int(2);
        if (first != 0 && last < first) {
            last = first;
        } else if (first == 0 && last != 0) {
            first = start;
        } else if (first == 0 && last == 0) {
            first = last = image;
        }
    }
    struct Listing {
        int command, kind, heading, columns;
    };
    static const Listing kListings[] = {
        {kCmdParaxialRays, kListingFirstOrder, kMsgParaxialRaysHeading, kMsgParaxialRaysColumns},
        {kCmdChromatic, kListingChromatic, kMsgChromaticHeading, kMsgChromaticColumns},
        {kCmdSeidel, kListingSeidel, kMsgSeidelHeading, kMsgSeidelColumns},
        {kCmdPupilSeidel, kListingPupilSeidel, kMsgPupilSeidelHeading, kMsgPupilSeidelColumns},
        {kCmdFifthTotals, kListingFifthTotals, kMsgFifthHeading, kMsgFifthTotalsColumns},
        {kCmdFifthParts, kListingFifthParts, kMsgFifthHeading, kMsgFifthPartsColumns},
        {kCmdFifthSummary, kListingFifthSummary, kMsgFifthSummaryHeading, kMsgFifthSummaryColumns},
    };
    const Listing* listing = nullptr;
    for (const Listing& l : kListings) {
        if (l.command == command) listing = &l;
    }
    if (listing == nullptr) return kMsgUnknownCommand;

    ParaxialState& p = paraxial_state();
    p.listing_kind = listing->kind;
    std::uint8_t section = 0;
    if (command == kCmdParaxialRays) {
        if (arg_int(3) != 0) {
            section = 1;
            p.x_aperture_factor = positive_or_one(arg_double(4));
            p.x_field_factor = positive_or_one(arg_double(5));
        } else {
            p.x_aperture_factor = 1.0;
            p.x_field_factor = 1.0;
        }
    }
    print_msg(listing->heading);
    if (section != 0) print_msg(kMsgXSection);
    wavelength_suffix();
    if (section != 0) x_factors_line();
    paraxial_configuration_warning();
    print_msg(section != 0 ? kMsgParaxialRaysXColumns : listing->columns);
    text_newline();
    run_paraxial_trace(1, section, first, last);
    warn_paraxial_special_data();
    return 0;
}

int cmd_paraxial_setup() {
    if (const int rc = check_listable_lens(); rc != 0) return rc;
    ParaxialState& p = paraxial_state();
    std::uint8_t section = 0;
    if (arg_int(0) != 0) {
        section = 1;
        p.x_aperture_factor = positive_or_one(arg_double(1));
        p.x_field_factor = positive_or_one(arg_double(2));
    } else {
        p.x_aperture_factor = 1.0;
        p.x_field_factor = 1.0;
    }
    paraxial_setup_data(1, section, nullptr);
    warn_paraxial_special_data();
    return 0;
}

int cmd_paraxial_by_selector() {
    const int selector = arg_int(0);
    if (selector == 0) {
        static const int kFrom[] = {4, 5, 6};
        return run_as(kCmdParaxialSetup, cmd_paraxial_setup, kFrom, 3);
    }
    if (selector == 1) {
        static const int kFrom[] = {1, 2, 3, 4, 5, 6};
        return run_as(kCmdParaxialRays, cmd_paraxial_listing, kFrom, 6);
    }
    report_bad_value(selector);
    return kStopped;
}

int cmd_paraxial_listing_by_kind() {
    static const int kCommands[] = {kCmdChromatic,    kCmdSeidel,      kCmdPupilSeidel,
                                    kCmdFifthSummary, kCmdFifthTotals, kCmdFifthParts};
    const int selector = arg_int(0);
    if (selector < 0 || selector > 5) {
        report_bad_value(selector);
        return kStopped;
    }
    static const int kFrom[] = {1, 2, 3};
    return run_as(kCommands[selector], cmd_paraxial_listing, kFrom, 3);
}

int check_scale_range(int first, int last, int quantity) {
    const int image = lens_data().image_surface;
    const bool partial = first > 0 || last < image;
    const bool dimensions = quantity == kScaleFocalLength || quantity == kScaleFactorRange;
    for (int j = first; j <= last; ++j) {
        const SurfaceRecord& s = surface(j);
        if (s.grin != nullptr || s.hologram != nullptr || has_unsupported_records(s))
            return kMsgCannotScale;
        if (dimensions &&
            (s.curvature_kind == kCurvatureFixed || s.thickness_kind == kThicknessFixed ||
             s.aperture_kind == kApertureFixedByGroup)) {
            return kMsgCannotScale;
        }
        if (!partial) continue;
        if (s.curvature_kind > kCurvaturePickupNegated) return kMsgCannotScale;
        if ((s.curvature_kind == kCurvaturePickup || s.curvature_kind == kCurvaturePickupNegated) &&
            s.curvature_source < first) {
            return kMsgCannotScale;
        }
        if (s.thickness_kind == kThicknessAxialHeight ||
            s.thickness_kind == kThicknessChiefHeight) {
            return kMsgCannotScale;
        }
        if (s.thickness_kind >= kThicknessPickup && s.thickness_kind <= kThicknessLengthNegated &&
            s.thickness_source < first) {
            return kMsgCannotScale;
        }
        if ((s.thickness_kind == kThicknessLength || s.thickness_kind == kThicknessLengthNegated) &&
            s.thickness_source2 < first) {
            return kMsgCannotScale;
        }
        if (s.aperture_kind == kAperturePickup && s.aperture_source < first) return kMsgCannotScale;
        if (s.decentre != nullptr && s.decentre->pickup_source > 0 &&
            s.decentre->pickup_source < first) {
            return kMsgCannotScale;
        }
        if (s.return_coordinates != nullptr && s.return_coordinates->pickup_source < first) {
            return kMsgCannotScale;
        }
        if (j != last && s.return_coordinates2 != nullptr &&
            s.return_coordinates2->pickup_source < first) {
            return kMsgCannotScale;
        }
        if (s.group_kind == kGroupNonSequential && group_start_surface(j) < first) {
            return kMsgCannotScale;
        }
        for (int a = 0; a < s.special_aperture_count && s.special_apertures != nullptr; ++a) {
            const int source = s.special_apertures[a].pickup_source;
            if (source > 0 && source < first) return kMsgCannotScale;
        }
    }
    return 0;
}

int scale_lens_dimensions(int first, int last, double* value, int mode) {
    LensData& l = lens_data();
    const int image = l.image_surface;
    double f = *value;
    if ((mode & kScaleBy) == 0) {
        // The target over the current focal length -(y_E h) / (u h + y_E ubar).
        const ParaxialState& p = paraxial_state();
        const double den = p.object_height * p.y_e;
        const double efl_inverse = -(p.y_e * p.ubar + p.object_height * p.u);
        if (std::fabs(den) < kParaxialZero || std::fabs(efl_inverse) < kParaxialZero) {
            return kMsgCannotScale;
        }
        f = *value * efl_inverse / den;
    }
    if ((mode & kScaleRangeOnly) == 0) {
        if (l.aperture_is_na == 0) l.entrance_beam_radius = std::fabs(l.entrance_beam_radius * f);
        if (l.field_is_angle == 0) l.object_height *= f;
        if (l.drawing_conditions != nullptr) {
            for (int k = 0; k < 2; ++k) {
                double& v = l.drawing_conditions->view[k];
                if (std::fabs(v) > kParaxialZero) v *= f;
            }
        }
    }
    for (int j = first; j <= last; ++j) {
        SurfaceRecord& s = surface(j);
        s.curvature /= f;
        if (s.curvature_kind == kCurvaturePickup || s.curvature_kind == kCurvaturePickupNegated) {
            s.curvature_solve_value /= f;
        }
        // An object at infinity stays there.
        const bool infinite_object = j == 0 && std::fabs(s.thickness) >= kInfiniteObject;
        if ((last == image || j != last) && !infinite_object) {
            s.thickness *= f;
            if ((s.thickness_kind >= kThicknessPickup &&
                 s.thickness_kind <= kThicknessChiefHeight) ||
                s.thickness_kind == kThicknessEdge) {
                s.thickness_solve_value *= f;
            }
            if (s.thickness_kind == kThicknessEdge) s.thickness_solve_value2 *= f;
        }
        s.aperture_radius = std::fabs(s.aperture_radius * f);
        if (s.decentre != nullptr) {
            s.decentre->dcx *= f;
            s.decentre->dcy *= f;
            s.decentre->dcz *= f;
        }
        for (int a = 0; a < s.special_aperture_count && s.special_apertures != nullptr; ++a) {
            SpecialAperture& sa = s.special_apertures[a];
            for (int k = 0; k < 4; ++k) {
                sa.y[k] *= f;
                sa.x[k] *= f;
            }
        }
        if (s.mesh != nullptr && s.mesh->vertices != nullptr) {
            for (int v = 0; v < s.mesh->vertex_count; ++v) {
                MeshVertex& m = s.mesh->vertices[v];
                if (m.surface_offset < 0) continue;
                m.x *= f;
                m.y *= f;
                m.z *= f;
            }
        }
        scale_asphere(s.asphere, f);
        if (s.spline != nullptr && s.spline->radius != nullptr) {
            for (int k = 1; k < s.spline->count; ++k) s.spline->radius[k] *= f;
            s.spline->changed = 1;
        }
        if (s.shape == kShapeToroid) s.x_curvature /= f;
        if (s.extra_curvature_flag != 0) s.extra_curvature /= f;
        if (s.perfect_lens != nullptr) s.perfect_lens->focal_length *= f;
        scale_diffractive(s.diffractive, f);
    }
    *value = f;
    return 0;
}

int scale_image_height(double* value, int mode) {
    LensData& l = lens_data();
    double f = *value;
    if ((mode & kScaleBy) == 0) {
        const ParaxialState& p = paraxial_state();
        if (std::fabs(p.u) < kParaxialZero) return kMsgCannotScale;
        const double height = (p.u * p.ybar - p.ubar * p.y) / p.u;
        if (std::fabs(height) < kParaxialZero) return kMsgCannotScale;
        f = *value / height;
    }
    if (l.field_is_angle == 0) {
        l.object_height *= f;
    } else {
        l.field_angle = std::atan(std::tan(l.field_angle) * f);
    }
    *value = f;
    return 0;
}

int scale_f_number(double* value, int mode) {
    LensData& l = lens_data();
    const ParaxialState& p = paraxial_state();
    const int last = last_medium_surface();
    const double n_k = medium_index(last, p.wavelength);
    const double n_0 = p.object_index;
    const double t0 = surface(0).thickness;
    const double u = p.u;
    const double e = l.entrance_pupil_position;
    const double m = quotient_or_ratio(p.y_e * n_0, (e + t0) * p.sign_before * u * n_k);
    auto cos_phi = [&](double f_number, double distance) {
        if (distance > kFiniteObjectLimit) return 1.0;
        const double q = std::fabs(quotient_or_ratio(quotient_or_ratio(0.5, f_number) * m, n_0));
        const double arg = 1.0 - q * q;
        return arg > 0 ? std::sqrt(arg) : 1.0;
    };
    double factor = 1.0;
    if ((mode & kScaleBy) == 0) {
        const double target = *value;
        if (std::fabs(u) > kParaxialZero && std::fabs(target) >= quotient_or_ratio(0.5, n_k)) {
            const double c = cos_phi(target, t0);
            factor = (1.0 / std::fabs(2 * n_k * target)) / c / u;
            if (u < 0) factor = -factor;
        }
    } else {
        const double n00 = medium_index(0, 0);
        const double ratio = std::fabs(t0) > kFiniteObjectLimit ? 0.0 : l.object_na / n00;
        const double arg = 1.0 - ratio * ratio;
        const double na =
            arg < 0 ? 0.0 : std::fabs(std::sqrt(arg) * medium_index(last, 0) * l.image_axial_slope);
        if (na > kParaxialZero && std::fabs(u) > kParaxialZero) {
            const double target = (0.5 / na) / *value;
            const double c = cos_phi(target, std::fabs(t0));
            factor = (1.0 / std::fabs(2 * n_k * target)) / c / u;
            if (u < 0) factor = -factor;
        }
    }
    if (l.aperture_is_na == 0) {
        l.entrance_beam_radius = std::fabs(l.entrance_beam_radius * factor);
    } else {
        l.object_na =
            std::fabs(std::sin(std::atan(quotient_or_ratio(l.entrance_beam_radius * factor, t0))) *
                      medium_index(0, 0));
    }
    for (int j = 1; j <= l.image_surface; ++j) {
        surface(j).aperture_radius = std::fabs(surface(j).aperture_radius * factor);
    }
    *value = 1.0 / factor;
    return 0;
}

int cmd_scale_lens() {
    const int command = current_command();
    const int image = lens_data().image_surface;
    int quantity = kScaleFocalLength;
    int by = 0;
    double value = 0;
    int first = 0, last = image;
    if (command == kCmdScaleFocalLength) {
        by = arg_int(0) != 0 ? 1 : 0;
        value = by != 0 ? arg_double(1) : arg_double(2);
    } else {
        quantity = arg_int(0);
        by = arg_int(1) != 0 ? 1 : 0;
        value = arg_double(4);
        if (quantity < kScaleFocalLength || quantity > kScaleFactorRange) {
            report_bad_value(quantity);
            return kStopped;
        }
        if (quantity == kScaleFactorRange) {
            by = 1;
            first = arg_int(2);
            last = arg_int(3) == 0 ? image : arg_int(3);
            if (last < first) std::swap(first, last);
            if (first < 0 || last > image) {
                report_bad_value(first < 0 ? first : last);
                return kStopped;
            }
        }
    }
    // A zero target or factor would wreck the lens (infinite curvatures), whichever command.
    if (!(std::fabs(value) >= kParaxialZero)) return kMsgScaleValueZero;
    const int check = check_scale_range(first, last, quantity);
    if (check != 0) return check;

    static const char* const kQuantityNames[] = {"EFL ", "GIH ", "FNB "};
    print_msg(kMsgScaleHeading);
    if (quantity == kScaleFactorRange) {
        print_msg(kMsgScaleRange, first, last);
    } else {
        text_printf("%s", kQuantityNames[quantity]);
    }
    text_printf("%s", by != 0 ? "BY " : "TO ");
    text_number(value);
    text_newline();

    // f-number scaling reads the traced slopes in both modes: trace the lens as it is now.
    if (by == 0 || quantity == kScaleFNumber) silent_trace();
    int r = 0;
    switch (quantity) {
        case kScaleFocalLength:
            r = scale_lens_dimensions(first, last, &value, by != 0 ? kScaleBy : 0);
            break;
        case kScaleImageHeight:
            r = scale_image_height(&value, by != 0 ? kScaleBy : 0);
            break;
        case kScaleFNumber:
            r = scale_f_number(&value, by != 0 ? kScaleBy : 0);
            break;
        default:
            r = scale_lens_dimensions(first, last, &value, kScaleBy | kScaleRangeOnly);
            break;
    }
    if (r != 0) return r;
    r = bring_lens_up_to_date();
    if (r != 0) return r;
    if (by == 0) {
        print_msg(kMsgScaleFactorUsed);
        text_number(value);
        text_newline();
    }
    return 0;
}

void install_paraxial_handlers() {
    set_handler(kSlotParaxialListing, cmd_paraxial_listing);
    set_handler(kSlotParaxialSetup, cmd_paraxial_setup);
    set_handler(kSlotScaleLens, cmd_scale_lens);
    set_handler(kSlotParaxialBySelector, cmd_paraxial_by_selector);
    set_handler(kSlotParaxialListingByKind, cmd_paraxial_listing_by_kind);
}
