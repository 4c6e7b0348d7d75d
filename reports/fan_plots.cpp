#include "reports/fan_plots.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_spline.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "numeric/cubic_spline.h"
#include "numeric/math_functions.h"
#include "reports/plot_frame.h"
#include "reports/plot_scopes.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "ui/plot_scale.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kLeastRays = 6;
constexpr int kSubdivisions = 5;
constexpr double kMicrometresPerMillimetre = 1000.0;

// World frames of the two graphs: full fans, and the layout with a sagittal half fan.
struct GraphLayout {
    double xmin, xmax;
};
constexpr GraphLayout kMeridional{-1.1, 3.45};
constexpr GraphLayout kMeridionalHalf{-1.2, 2.6};
constexpr GraphLayout kSagittal{-3.3, 1.25};
constexpr GraphLayout kSagittalHalf{-2.5, 1.3};
constexpr double kGraphYMin = -1.1;
constexpr double kGraphYMax = 1.4;

struct FanArgs {
    int command = 0;
    int selection = 0;
    int component = 0;
    double scale = 0.0;
    double abscissa_scale = 0.0;
    double rays = 0.0;  // formed in double: a huge count is refused, never wrapped
};

FanArgs read_args() {
    FanArgs a;
    a.command = current_command();
    const bool intercepts = a.command == kCmdPlotRayIntercepts;
    int i = 0;
    a.selection = arg_int(i++);
    a.component = intercepts ? arg_int(i++) : kComponentOpd;
    a.scale = arg_double(i++);
    a.abscissa_scale = arg_double(i++);
    const ArgCell* rays = arg_cell(i);
    a.rays = rays == nullptr || rays->status != 0 ? lens_data().fan_rays : arg_double(i);
    return a;
}

// The components of the meridional and sagittal fans for a component selection.
void fan_components(int selection, int* meridional, int* sagittal) {
    switch (selection) {
        case 1:
            *meridional = kComponentY;
            *sagittal = kComponentY;
            break;
        case 2:
            *meridional = kComponentX;
            *sagittal = kComponentX;
            break;
        case 3:
            *meridional = kComponentX;
            *sagittal = kComponentY;
            break;
        default:
            *meridional = kComponentY;
            *sagittal = kComponentX;
            break;
    }
}

double tangent(double a, double m) {
    return std::fabs(m) < kTiny ? 0.0 : a / m;
}

// The measured abscissa of a traced ray against the reference ray (mode b).
double tangent_abscissa(const RayRecord& ray, const RayRecord& ref, bool meridional, bool opd) {
    if (std::fabs(ray.m) < kTiny) return 0.0;
    const double t = meridional ? ray.l / ray.m : ray.k / ray.m;
    const double t0 = meridional ? tangent(ref.l, ref.m) : tangent(ref.k, ref.m);
    return opd ? std::sin(std::atan(t) - std::atan(t0)) : t - t0;
}

// The relative height of a ray on the reference surface, signed along its fan (mode a).
double height_abscissa(const RayRecord& r, bool meridional, double reciprocal_radius) {
    double h = std::sqrt(r.x * r.x + r.y * r.y) * reciprocal_radius;
    const double governing =
        meridional ? (std::fabs(r.y) < kTiny ? r.x : r.y) : (std::fabs(r.x) < kTiny ? r.y : r.x);
    if (governing < 0.0) h = -h;
    return h;
}

bool valid(const FanCurve& c, int i, bool measured) {
    const std::size_t k = static_cast<std::size_t>(i);
    return c.values[k] < kMissingValue && (!measured || c.abscissas[k] < kMissingValue);
}

// Abscissas that fall somewhere between two valid neighbours are turned round; false when the
// curve still does not rise strictly.
bool orient_abscissas(FanCurve& c, bool measured) {
    const int n = static_cast<int>(c.values.size());
    auto rising = [&] {
        for (int i = 0; i + 1 < n; ++i) {
            if (valid(c, i, measured) && valid(c, i + 1, measured) &&
                !(c.abscissas[static_cast<std::size_t>(i) + 1] >
                  c.abscissas[static_cast<std::size_t>(i)])) {
                return false;
            }
        }
        return true;
    };
    if (rising()) return true;
    for (double& a : c.abscissas) {
        if (a < kMissingValue) a = -a;
    }
    return rising();
}

// Draws the points first..last of a curve through their measured abscissas.
int draw_measured_run(const FanCurve& c, int first, int count, int marker) {
    std::vector<double> x(c.abscissas.begin() + first, c.abscissas.begin() + first + count);
    std::vector<double> y(c.values.begin() + first, c.values.begin() + first + count);
    std::vector<double> second(static_cast<std::size_t>(count), 0.0);
    if (count >= 3 && spline_coefficients(x.data(), y.data(), count, kSplineNoSlope, kSplineNoSlope,
                                          second.data()) != 0) {
        return kMsgCurveSplineFailed;
    }
    if (const int rc = plot_spline(x.data(), y.data(), second.data(), count, kSubdivisions, 0);
        rc != 0) {
        return rc;
    }
    gfx_set_line_style(0);
    std::vector<double> mx, my;
    for (int i = 0; i < count; ++i) {
        const bool mark = count <= 3 ? (i == 0 || i == count - 1) : i % (count / 4) == 0;
        if (!mark) continue;
        mx.push_back(x[static_cast<std::size_t>(i)]);
        my.push_back(y[static_cast<std::size_t>(i)]);
    }
    if (marker != 0 && !mx.empty()) {
        gfx_polymarker(mx.data(), my.data(), static_cast<int>(mx.size()), marker,
                       plot_marker_size());
    }
    return 0;
}

// Draws one fan: whole, or cut at its missing points into runs drawn each by itself.
int draw_fan(const FanCurve& c, double x0, double step, double scale, int marker, bool measured) {
    const int n = static_cast<int>(c.values.size());
    const bool cut = lens_data().apck != 0 || measured;
    if (!cut) {
        return plot_curve(n, x0, step, kSubdivisions, scale, kCurveUpward, marker, c.values.data(),
                          nullptr);
    }
    for (int i = 0; i < n;) {
        if (!valid(c, i, measured)) {
            ++i;
            continue;
        }
        int j = i;
        while (j < n && valid(c, j, measured)) ++j;
        const int rc = measured ? draw_measured_run(c, i, j - i, marker)
                                : plot_curve(j - i, x0 + i * step, step, kSubdivisions, scale,
                                             kCurveUpward, marker, c.values.data() + i, nullptr);
        if (rc != 0) return rc;
        i = j;
    }
    return 0;
}

void label_graph(int caption, double axis_start, bool half, int component, double abscissa_scale,
                 bool abscissa_mode, bool meridional) {
    if (get_setting_flag(kSetGraphicsAxes) == 0) return;
    draw_plot_axes(axis_start, 1.0, -1.0, 1.0, 0.0, 0.0);
    const bool afocal = lens_data().afocal != 0;
    if (abscissa_scale > 0.0) {
        const double x = half ? 1.3 : 1.2;
        int name;
        if (meridional) {
            name = component >= 0 ? kMsgMeridionalAbscissaName : kMsgMeridionalOpdAbscissaName;
        } else {
            name = component >= 0 ? kMsgSagittalAbscissaName : kMsgSagittalOpdAbscissaName;
        }
        plot_text_at(x, 0.0, 27);
        gfx_print_msg(name);
        plot_text_at(x, 0.0, 29);
        gfx_print_msg(kMsgPlotNumberLabel,
                      format_number(round_significant(abscissa_scale, 3), 3, 0));
    } else if (!abscissa_mode) {
        // Above the axis, ending at its right end: beside the end it ran into the next graph
        // or off the window.
        plot_text_at(1.0, 0.0, 17);
        gfx_print_msg(caption);
    }
    plot_text_at(0.0, 1.0, 42);
    gfx_print_msg(kMsgPlotNumberLabel,
                  format_number(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 3, 0));
    if (component == kComponentY) {
        plot_text_at(0.0, 1.0, 48);
        gfx_print_msg(afocal ? kMsgAfocalYValueLabel : kMsgYValueLabel);
    } else if (component > 0) {
        plot_text_at(0.0, 1.0, 48);
        gfx_print_msg(afocal ? kMsgAfocalXValueLabel : kMsgXValueLabel);
    }
}

}  // namespace

void draw_fan_plot_frame(int selection, int command, bool half, int meridional_component,
                         int sagittal_component, double abscissa_scale, bool abscissa_mode) {
    const LensData& lens = lens_data();
    begin_plot_page();
    set_plot_world(0.0, 1.0, 0.0, 1.0);
    if (get_setting_flag(kSetGraphicsLabels) != 0) {
        draw_title_block(0.75);
        plot_text_at(0.375, 0.95, 4);
        const std::string heading = plot_title();
        const FormatArg title[] = {FormatArg(heading)};
        print_within(0.75, format_message(command == kCmdPlotRayIntercepts ? kMsgRayInterceptsTitle
                                                                           : kMsgOpdFansTitle,
                                          title));
        const RayRecord& ref = reference_ray().ray;
        const int count = selection == 0                                ? 1
                          : selection == 1 && lens.wavelength_count > 2 ? 3
                                                                        : lens.wavelength_count;
        const std::string y = format_number(ref.obj_y, 5, 0);
        const std::string x = format_number(ref.obj_x, 5, 0);
        plot_text_at(0.875, 0.95, 4);
        const std::string legend = wavelength_legend_text(count);
        const FormatArg field[] = {FormatArg(y), FormatArg(x), FormatArg(legend)};
        print_within(0.25, format_message(kMsgFanLegend, field));
    }
    const GraphLayout mer = half ? kMeridionalHalf : kMeridional;
    set_plot_world(mer.xmin, mer.xmax, kGraphYMin, kGraphYMax);
    label_graph(kMsgFanMeridionalCaption, -1.0, half, meridional_component, abscissa_scale,
                abscissa_mode, true);
    const GraphLayout sag = half ? kSagittalHalf : kSagittal;
    set_plot_world(sag.xmin, sag.xmax, kGraphYMin, kGraphYMax);
    label_graph(kMsgFanSagittalCaption, half ? 0.0 : -1.0, half, sagittal_component, abscissa_scale,
                abscissa_mode, false);
}

FirstReference first_reference_of(const ReferenceRay& reference) {
    const RayRecord& r = reference.ray;
    FirstReference f;
    f.x = r.x;
    f.y = r.y;
    f.z = r.z;
    f.k = r.k;
    f.l = r.l;
    f.m = r.m;
    f.radius = reference.sphere_radius;
    return f;
}

double opd_colour_correction(const RayRecord& ray, const FirstReference& p, const RayRecord& cur) {
    const LensData& lens = lens_data();
    const double n = ray.medium != nullptr ? ray.medium[ray.wavelength] : 1.0;
    double correction = 0.0;
    if (!lens.afocal) {
        const double r = p.radius;
        if (std::fabs(r) < kTiny) return 0.0;
        // Q = X - t D on the sphere of radius |R| about the first reference point P0.
        const double wx = ray.x - p.x, wy = ray.y - p.y, wz = ray.z - p.z;
        const double wd = wx * ray.k + wy * ray.l + wz * ray.m;
        const double ww = wx * wx + wy * wy + wz * wz;
        const double disc = std::max(0.0, wd * wd - (ww - r * r));
        const double t = r > 0.0 ? wd + std::sqrt(disc) : wd - std::sqrt(disc);
        const double qx = ray.x - t * ray.k, qy = ray.y - t * ray.l, qz = ray.z - t * ray.m;
        const double cx = p.x - r * p.k, cy = p.y - r * p.l, cz = p.z - r * p.m;
        correction =
            -((cur.x - p.x) * (qx - cx) + (cur.y - p.y) * (qy - cy) + (cur.z - p.z) * (qz - cz)) *
            n / r;
    } else {
        if (std::fabs(cur.m) < kTiny) return 0.0;
        // Where the ray meets the plane through P0 normal to the first reference direction.
        const double ud = ray.k * p.k + ray.l * p.l + ray.m * p.m;
        double ox = 0.0, oy = 0.0;
        if (std::fabs(ud) >= kTiny) {
            const double pd = (ray.x - p.x) * p.k + (ray.y - p.y) * p.l + (ray.z - p.z) * p.m;
            const double s = pd / ud;
            ox = ray.x - s * ray.k - p.x;
            oy = ray.y - s * ray.l - p.y;
        }
        correction =
            ((tangent(p.k, p.m) - cur.k / cur.m) * ox + (tangent(p.l, p.m) - cur.l / cur.m) * oy) *
            n;
    }
    if (lens.opdw) {
        const double w = lens.wavelengths[ray.wavelength].wavelength;
        if (w >= kTiny) correction *= lens.units * kMicrometresPerMillimetre / w;
    }
    return correction;
}

int compute_fan_curves(bool opd, int selection, int component, int rays, FanCurves& out) {
    LensData& lens = lens_data();
    out = FanCurves{};
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        if (const int rc = set_object_point(); rc != 0) return rc;
    }
    // At least 7 rays, and an odd count so that the chief ray is sampled.
    int n = std::max(rays, kLeastRays);
    if (n % 2 == 0) ++n;

    FieldPointScope field_point;
    WavelengthScope wavelength;

    const RayRecord& ref = reference_ray().ray;
    out.n = n;
    out.step = 2.0 / (n - 1);
    out.half = ref.obj_x == 0.0 && lens.plane_symmetric != 0;
    out.m = out.half ? n / 2 + 1 : n;
    out.sagittal_start = out.half ? 0.0 : -1.0;
    out.sagittal_step = (1.0 - out.sagittal_start) / (out.m - 1);

    out.abscissa_mode = kPupilAbscissa;
    if (!lens.afocal && lens.htnu != 0) {
        out.abscissa_mode = kTangentAbscissa;
    } else if (lens.aim_mode == kAimRimRays) {
        out.abscissa_mode = kHeightAbscissa;
    }
    out.meridional_component = kComponentOpd;
    out.sagittal_component = kComponentOpd;
    if (!opd) fan_components(component, &out.meridional_component, &out.sagittal_component);

    // The wavelengths: the current one, or from the first to the third or the last.
    int last = lens.current_wavelength;
    if (selection != 0) {
        last = (selection == 1 ? std::min(3, lens.wavelength_count) : lens.wavelength_count) - 1;
        if (lens.current_wavelength != 0) {
            if (const int rc = wavelength.change_to(0); rc != 0) return rc;
        }
    }
    out.first = lens.current_wavelength;
    const int count = last - out.first + 1;
    if (opd) trace_globals().sphere_missed = 0;
    const FirstReference first_reference = first_reference_of(reference_ray());

    std::vector<RayRecord> traced;
    try {
        out.meridional.resize(static_cast<std::size_t>(count));
        out.sagittal.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            FanCurve& mc = out.meridional[static_cast<std::size_t>(i)];
            FanCurve& sc = out.sagittal[static_cast<std::size_t>(i)];
            mc.values.resize(static_cast<std::size_t>(n));
            mc.abscissas.resize(static_cast<std::size_t>(n));
            sc.values.resize(static_cast<std::size_t>(out.m));
            sc.abscissas.resize(static_cast<std::size_t>(out.m));
        }
        traced.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }

    const int rfs = lens.reference_surface;
    const double rfs_radius =
        rfs >= 0 && rfs <= lens.image_surface ? surface(rfs).aperture_radius : 0.0;
    const double reciprocal_radius = rfs_radius < kTiny ? 1.0 : 1.0 / rfs_radius;
    const double missing = lens.apck != 0 ? kMissingValue : 0.0;

    for (int w = out.first; w <= last; ++w) {
        if (opd && w != out.first) {
            if (const int rc = wavelength.change_to(w); rc != 0) return rc;
        }
        const RayRecord& r0 = reference_ray().ray;
        const bool aimed = lens.aim_mode != kAimEntrancePupil;
        for (int fan = 0; fan < 2; ++fan) {
            const bool mer = fan == 0;
            FanCurve& curve =
                (mer ? out.meridional : out.sagittal)[static_cast<std::size_t>(w - out.first)];
            const int rays_in_fan = mer ? n : out.m;
            for (int i = 0; i < rays_in_fan; ++i) {
                RayRecord& ray = traced[static_cast<std::size_t>(i)];
                ray = r0;
                ray.kind = kRayMeasured;
                ray.wavelength = w;
                const double p =
                    mer ? -1.0 + i * out.step : out.sagittal_start + i * out.sagittal_step;
                ray.pup_x = mer ? (aimed ? r0.eff_pup_x : 0.0) : p;
                ray.pup_y = mer ? p : (aimed ? r0.eff_pup_y : 0.0);
                curve.abscissas[static_cast<std::size_t>(i)] = kMissingValue;
            }
            if (out.abscissa_mode == kHeightAbscissa) {
                for (int i = 0; i < rays_in_fan; ++i) {
                    RayRecord& ray = traced[static_cast<std::size_t>(i)];
                    setup_ray_at_object(ray, nullptr);
                    trace_to_surface(ray, rfs);
                    if (ray.failure == 0) {
                        curve.abscissas[static_cast<std::size_t>(i)] =
                            height_abscissa(ray, mer, reciprocal_radius);
                    }
                    trace_to_surface(ray, lens.image_surface);
                    if (ray.failure == 0) ray_errors_vs_reference(ray, true);
                }
            } else {
                trace_rays(traced.data(), rays_in_fan);
            }
            const int shown = mer ? out.meridional_component : out.sagittal_component;
            for (int i = 0; i < rays_in_fan; ++i) {
                const RayRecord& ray = traced[static_cast<std::size_t>(i)];
                double& v = curve.values[static_cast<std::size_t>(i)];
                if (ray.failure != 0) {
                    v = missing;
                    out.failed_rays = out.failed_rays || lens.apck == 0;
                    continue;
                }
                if (opd) {
                    v = ray.opd;
                    if (w != out.first && lens.nolc == 0) {
                        v += opd_colour_correction(ray, first_reference, r0);
                    }
                } else if (shown == kComponentY) {
                    v = lens.afocal ? ray.dtan_y : ray.dy;
                } else {
                    v = lens.afocal ? ray.dtan_x : ray.dx;
                }
                out.largest = std::max(out.largest, std::fabs(v));
                if (out.abscissa_mode == kTangentAbscissa) {
                    const double t = tangent_abscissa(ray, r0, mer, opd);
                    curve.abscissas[static_cast<std::size_t>(i)] = t;
                    out.widest = std::max(out.widest, std::fabs(t));
                }
            }
        }
    }
    return 0;
}

int cmd_plot_ray_fans() {
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    const FanArgs a = read_args();
    const bool opd = a.command != kCmdPlotRayIntercepts;
    if (a.rays > kMostPlotPoints) return kMsgPlotCountTooLarge;
    FanCurves f;
    if (const int rc = compute_fan_curves(opd, a.selection, a.component,
                                          static_cast<int>(std::max(a.rays, 0.0)), f);
        rc != 0) {
        return rc;
    }
    double scale;
    if (a.scale > kTiny) {
        scale = a.scale;
        set_setting_double(kSetGraphicsCurrentScale, scale, 0, 0);
    } else {
        scale = plot_scale_step(f.largest, 1);
    }
    int mode = f.abscissa_mode;
    double abscissa_scale = 0.0;
    if (mode == kTangentAbscissa)
        abscissa_scale = a.abscissa_scale > kTiny ? a.abscissa_scale : f.widest;
    if (mode != kPupilAbscissa) {
        bool rising = true;
        for (auto* family : {&f.meridional, &f.sagittal}) {
            for (FanCurve& c : *family) rising = orient_abscissas(c, true) && rising;
        }
        if (!rising) {
            mode = kPupilAbscissa;
            abscissa_scale = 0.0;
        }
    }
    const bool measured = mode != kPupilAbscissa;
    if (measured) {
        if (abscissa_scale < kTiny) abscissa_scale = 1.0;
        for (auto* family : {&f.meridional, &f.sagittal}) {
            for (FanCurve& c : *family) {
                for (std::size_t i = 0; i < c.values.size(); ++i) {
                    if (c.values[i] < kMissingValue) c.values[i] /= scale;
                    if (mode == kTangentAbscissa && c.abscissas[i] < kMissingValue) {
                        c.abscissas[i] /= abscissa_scale;
                    }
                }
            }
        }
    }

    draw_fan_plot_frame(a.selection, a.command, f.half, f.meridional_component,
                        f.sagittal_component, mode == kTangentAbscissa ? abscissa_scale : 0.0,
                        measured);
    if (get_setting_flag(kSetGraphicsLabels) != 0) {
        gfx_mark();
        gfx_rewind();
    }
    const GraphLayout mer = f.half ? kMeridionalHalf : kMeridional;
    const GraphLayout sag = f.half ? kSagittalHalf : kSagittal;
    for (std::size_t i = 0; i < f.meridional.size(); ++i) {
        const int marker = wavelength_marker(f.first + static_cast<int>(i) + 1);
        gfx_set_color(-1);
        set_plot_world(mer.xmin, mer.xmax, kGraphYMin, kGraphYMax);
        int rc = draw_fan(f.meridional[i], -1.0, f.step, scale, marker, measured);
        if (rc == 0) {
            set_plot_world(sag.xmin, sag.xmax, kGraphYMin, kGraphYMax);
            rc =
                draw_fan(f.sagittal[i], f.sagittal_start, f.sagittal_step, scale, marker, measured);
        }
        if (rc != 0) return rc == kErrorTextReady ? rc : set_error_msg(rc);
    }
    if (f.failed_rays) return kMsgFailedRaysPlottedZero;
    if (opd && trace_globals().sphere_missed != 0) return set_error_msg(kMsgSphereMissed);
    return 0;
}
