#include "reports/field_plots.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "reports/plot_frame.h"
#include "reports/plot_scopes.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "trace/field_ray.h"
#include "trace/object_point.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"
#include "ui/plot_scale.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kLeastPoints = 6;
constexpr int kSubdivisions = 5;
constexpr double kFirstSample = 1e-4;  // in place of 0 where 0 has no value
constexpr double kInfiniteObjectDistance = 9.9e7;
constexpr double kRightAngle = 1.5707963267948966;
constexpr double kVergenceScale = 1000.0;  // dioptres from reciprocal millimetres

// The wavelengths a selection takes: the current one, the first three, or all.
std::vector<int> selected_wavelengths(int selection) {
    const LensData& lens = lens_data();
    std::vector<int> w;
    if (selection == 0) {
        w.push_back(lens.current_wavelength);
        return w;
    }
    const int last = selection == 1 ? std::min(3, lens.wavelength_count) : lens.wavelength_count;
    for (int i = 0; i < last; ++i) w.push_back(i);
    return w;
}

int points_per_curve() {
    return std::min(std::max(lens_data().fan_rays, kLeastPoints), kMostPlotPoints);
}

// The chief ray of field fraction f at wavelength w; false when it failed.
bool field_chief_ray(double f, int w, RayRecord& ray) {
    ray = RayRecord{};
    ray.obj_y = f;
    ray.wavelength = w;
    ray.kind = kRayPlain;
    trace_field_ray(ray, false, true);
    return ray.failure == 0;
}

double choose_scale(double given, double largest) {
    if (given > kTiny) {
        set_setting_double(kSetGraphicsCurrentScale, given, 0, 0);
        return given;
    }
    return plot_scale_step(largest, 1);
}

double largest_of(const std::vector<std::vector<double>>& rows) {
    double m = 0.0;
    for (const auto& r : rows) {
        for (double v : r) m = std::max(m, std::fabs(v));
    }
    return m;
}

// The result of a plot that drew: a curve that failed (its text in the error buffer) unless
// failed rays are to be reported, which wins.
int finish(int curve_rc, bool failed_rays) {
    if (failed_rays) return kMsgFailedRaysPlottedZero;
    if (curve_rc != 0) return curve_rc == kErrorTextReady ? curve_rc : set_error_msg(curve_rc);
    return 0;
}

int legend_count(int selection) {
    const LensData& lens = lens_data();
    if (selection == 0) return 1;
    if (selection == 1 && lens.wavelength_count > 2) return 3;
    return lens.wavelength_count;
}

}  // namespace

void draw_field_plot_frame(int command, int selection) {
    begin_plot_page();
    set_plot_world(0.0, 1.0, 0.0, 1.0);
    if (get_setting_flag(kSetGraphicsLabels) != 0) {
        const bool lone = command == kCmdPlotDistortion && selection == 0;
        draw_title_block(lone ? 0.0 : 0.75);
        const std::string title = plot_title();
        const int number = lens_data().current_wavelength + 1;
        switch (command) {
            case kCmdPlotAstigmatism:
                plot_text_at(0.875, 0.95, 4);
                gfx_print_msg(kMsgAstigmatismLegend, 1, 2);
                plot_text_at(0.375, 0.95, 4);
                if (selection == 0) {
                    gfx_print_msg(kMsgAstigmatismTitle, title, number);
                } else {
                    gfx_print_msg(kMsgAstigmatismPolyTitle, title);
                }
                break;
            case kCmdPlotDistortion:
                if (lone) {
                    plot_text_at(0.5, 0.95, 4);
                    gfx_print_msg(kMsgDistortionTitle, title, number);
                } else {
                    plot_text_at(0.875, 0.925, 4);
                    gfx_print_msg(kMsgPlotText, wavelength_legend_text(legend_count(selection)));
                    plot_text_at(0.375, 0.95, 4);
                    gfx_print_msg(kMsgDistortionPolyTitle, title);
                }
                break;
            case kCmdPlotLateralColor:
                plot_text_at(0.875, 0.95, 4);
                gfx_print_msg(kMsgLateralColorLegend, 1, 2);
                plot_text_at(0.375, 0.95, 4);
                gfx_print_msg(kMsgLateralColorTitle, title);
                break;
            default:
                plot_text_at(0.875, 0.925, 4);
                gfx_print_msg(kMsgPlotText, wavelength_legend_text(legend_count(selection)));
                plot_text_at(0.375, 0.95, 4);
                gfx_print_msg(kMsgLongitudinalTitle, title);
                break;
        }
    }
    set_plot_world(-1.5, 1.5, -0.05, 1.2);
    if (get_setting_flag(kSetGraphicsAxes) != 0) {
        draw_plot_axes(-1.0, 1.0, 0.0, 1.0, 0.0, 0.0);
        const double scale = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
        plot_text_at(-1.0, 0.0, 44);
        gfx_print_msg(kMsgPlotNumberLabel, format_number(-scale, 3, 0));
        plot_text_at(1.0, 0.0, 44);
        gfx_print_msg(kMsgPlotNumberLabel, format_number(scale, 3, 0));
    }
}

double ideal_image_height(double f, int w, bool angular) {
    LensData& lens = lens_data();
    ScopedValue<std::int32_t> wavelength(lens.current_wavelength, w);
    double first_order[6] = {};
    paraxial_setup_data(0, 0, first_order);
    if (lens.afocal) {
        // The paraxial output slope: the angular magnification times the input slope.
        return f * first_order[0] * std::tan(lens.field_angle);
    }
    if (angular) return std::tan(f * lens.field_angle);
    return f * first_order[4];
}

namespace {

// Rows of n points for each wavelength (two kinds for astigmatism).
int make_rows(FieldCurves& out, std::size_t rows) {
    try {
        out.rows.assign(rows, std::vector<double>(static_cast<std::size_t>(out.n)));
        out.second_rows.assign(out.command == kCmdPlotAstigmatism ? rows : 0,
                               std::vector<double>(static_cast<std::size_t>(out.n)));
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    return 0;
}

int astigmatism_curves(FieldCurves& out) {
    const bool afocal = lens_data().afocal != 0;
    for (std::size_t k = 0; k < out.waves.size(); ++k) {
        for (int i = 0; i < out.n; ++i) {
            RayRecord ray;
            double t = 0.0, s = 0.0;
            if (field_chief_ray(i * out.step, out.waves[k], ray)) {
                // Along the axis from the image surface, positive in the direction the light
                // goes there (towards -z after a mirror).
                const double sense = afocal || ray.m >= 0.0 ? 1.0 : -1.0;
                t = ray.sphere_path * sense;
                s = ray.dtan_y * sense;
            } else {
                out.failed_rays = true;
            }
            out.rows[k][static_cast<std::size_t>(i)] = t;
            out.second_rows[k][static_cast<std::size_t>(i)] = s;
        }
    }
    return 0;
}

int distortion_curves(FieldCurves& out) {
    LensData& lens = lens_data();
    const bool angular = lens.afocal != 0 || (surface(0).thickness > kInfiniteObjectDistance &&
                                              lens.wide_angle != 0 && lens.reference_surface > 1);
    if (angular && lens.field_angle > kRightAngle) return kMsgDistortionWideField;
    ScopedValue<std::uint8_t> epxy(lens.epxy, 0);
    double first_order[6] = {};
    for (std::size_t k = 0; k < out.waves.size(); ++k) {
        double focal_length = 0.0;
        if (angular && !lens.afocal) {
            ScopedValue<std::int32_t> wavelength(lens.current_wavelength, out.waves[k]);
            paraxial_setup_data(0, 0, first_order);
            focal_length = first_order[0];
        }
        for (int i = 0; i < out.n; ++i) {
            const double f = i == 0 ? kFirstSample : i * out.step;
            RayRecord ray;
            double value = 0.0;
            if (field_chief_ray(f, out.waves[k], ray)) {
                double real;
                if (lens.afocal) {
                    real = std::fabs(ray.m) < kTiny ? 0.0 : ray.l / ray.m;
                } else if (angular) {
                    real = std::fabs(focal_length) < kTiny ? 0.0 : ray.y / focal_length;
                } else {
                    real = ray.y;
                }
                const double ideal = ideal_image_height(f, out.waves[k], angular);
                value = std::fabs(ideal) < kTiny ? 0.0 : 100.0 * (real - ideal) / ideal;
            } else {
                out.failed_rays = true;
            }
            out.rows[k][static_cast<std::size_t>(i)] = value;
        }
    }
    return 0;
}

int lateral_color_curves(FieldCurves& out) {
    const LensData& lens = lens_data();
    std::vector<std::vector<double>> values(3,
                                            std::vector<double>(static_cast<std::size_t>(out.n)));
    for (int w = 0; w < 3; ++w) {
        for (int i = 0; i < out.n; ++i) {
            RayRecord ray;
            double v = 0.0;
            if (field_chief_ray(i * out.step, w, ray)) {
                v = lens.afocal ? (std::fabs(ray.m) < kTiny ? 0.0 : ray.l / ray.m) : ray.y;
            } else {
                out.failed_rays = true;
            }
            values[static_cast<std::size_t>(w)][static_cast<std::size_t>(i)] = v;
        }
    }
    for (int i = 0; i < out.n; ++i) {
        const std::size_t j = static_cast<std::size_t>(i);
        out.rows[0][j] = values[1][j] - values[2][j];
        out.rows[1][j] = values[1][j] - values[0][j];
    }
    return 0;
}

// The axial point, re-aimed; the stored field point and its aim come back at the end.
class AxialPoint {
public:
    AxialPoint() : saved_(object_point()) { object_point() = ObjectPoint{}; }
    ~AxialPoint() {
        object_point() = saved_;
        set_object_point();
    }
    AxialPoint(const AxialPoint&) = delete;
    AxialPoint& operator=(const AxialPoint&) = delete;

private:
    ObjectPoint saved_;
};

int longitudinal_curves(FieldCurves& out) {
    const LensData& lens = lens_data();
    AxialPoint axial;
    if (const int rc = set_object_point(); rc != 0) return rc;
    const int image = lens.image_surface;
    const double before_image = image >= 1 ? surface(image - 1).thickness : 0.0;
    for (std::size_t k = 0; k < out.waves.size(); ++k) {
        auto trace = [&](double pupil) {
            RayRecord ray = reference_ray().ray;
            ray.kind = kRayMeasured;
            ray.wavelength = out.waves[k];
            ray.pup_x = 0.0;
            ray.pup_y = pupil;
            trace_ray(ray);
            return ray;
        };
        const RayRecord centre = trace(0.0);
        double y0 = 0.0, m0 = 0.0;
        if (centre.failure == 0 && std::fabs(centre.m) >= kTiny) {
            y0 = centre.y;
            m0 = centre.l / centre.m;
        }
        for (int i = 0; i < out.n; ++i) {
            const RayRecord ray = trace(i == 0 ? kFirstSample : i * out.step);
            double& v = out.rows[k][static_cast<std::size_t>(i)];
            v = 0.0;
            if (ray.failure != 0) {
                out.failed_rays = true;
                continue;
            }
            if (std::fabs(ray.l) < kTiny || std::fabs(ray.m) < kTiny) {
                if (!lens.afocal && std::fabs(ray.y) > kTiny) out.failed_rays = true;
                continue;
            }
            const double dm = ray.l / ray.m - m0;
            if (std::fabs(dm) < kTiny) continue;
            const double d = -(ray.y - y0) / dm;
            if (!lens.afocal || d == 0.0) {
                v = d;
                continue;
            }
            // Afocal: the vergence in dioptres of the crossing.
            const double denominator = (ray.z + before_image + d) * lens.units;
            if (std::fabs(denominator) < kTiny) {
                out.failed_rays = true;
                continue;
            }
            v = kVergenceScale / denominator;
        }
    }
    return 0;
}

}  // namespace

int compute_field_curves(int command, int selection, FieldCurves& out) {
    out = FieldCurves{};
    out.command = command;
    out.n = points_per_curve();
    out.step = 1.0 / (out.n - 1);
    if (command == kCmdPlotLateralColor) {
        if (lens_data().wavelength_count < 3) return set_error_msg(kMsgLateralColorWavelengths);
        if (const int rc = make_rows(out, 2); rc != 0) return rc;
        return lateral_color_curves(out);
    }
    out.waves = selected_wavelengths(selection);
    if (const int rc = make_rows(out, out.waves.size()); rc != 0) return rc;
    switch (command) {
        case kCmdPlotAstigmatism:
            return astigmatism_curves(out);
        case kCmdPlotDistortion:
            return distortion_curves(out);
        default:
            return longitudinal_curves(out);
    }
}

namespace {

// Computes, frames and draws a field plot.
int plot_field(int command, int selection, double given) {
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    FieldCurves f;
    if (const int rc = compute_field_curves(command, selection, f); rc != 0) return rc;
    const double scale =
        choose_scale(given, std::max(largest_of(f.rows), largest_of(f.second_rows)));
    draw_field_plot_frame(command, selection);
    if (command == kCmdPlotLongitudinalAberration && get_setting_flag(kSetGraphicsLabels) != 0) {
        gfx_mark();
        gfx_rewind();
    }
    int rc = 0;
    const int n = f.n;
    if (command == kCmdPlotAstigmatism) {
        const bool several = f.waves.size() > 1;
        for (std::size_t k = 0; k < f.waves.size() && rc == 0; ++k) {
            gfx_set_color(-1);
            if (several) gfx_set_line_style(f.waves[k]);
            rc = plot_curve(n, 0.0, f.step, kSubdivisions, scale, kCurveAcross, 1, f.rows[k].data(),
                            nullptr);
            if (rc != 0) break;
            if (several) {
                gfx_set_line_style(f.waves[k]);
            } else {
                gfx_set_color(-1);
            }
            rc = plot_curve(n, 0.0, f.step, kSubdivisions, scale, kCurveAcross, 2,
                            f.second_rows[k].data(), nullptr);
        }
        gfx_set_line_style(0);
    } else if (command == kCmdPlotLateralColor) {
        for (int k = 0; k < 2 && rc == 0; ++k) {
            gfx_set_color(-1);
            rc = plot_curve(n, 0.0, f.step, kSubdivisions, scale, kCurveAcross, k + 1,
                            f.rows[static_cast<std::size_t>(k)].data(), nullptr);
        }
    } else {
        for (std::size_t k = 0; k < f.waves.size() && rc == 0; ++k) {
            gfx_set_color(-1);
            rc = plot_curve(n, 0.0, f.step, kSubdivisions, scale, kCurveAcross,
                            wavelength_marker(f.waves[k] + 1), f.rows[k].data(), nullptr);
        }
    }
    return finish(rc, f.failed_rays);
}

}  // namespace

int cmd_plot_astigmatism() {
    return plot_field(kCmdPlotAstigmatism, arg_int(0), arg_double(1));
}

int cmd_plot_distortion() {
    return plot_field(kCmdPlotDistortion, arg_int(0), arg_double(1));
}

int cmd_plot_lateral_color() {
    return plot_field(kCmdPlotLateralColor, 0, arg_double(0));
}

int cmd_plot_longitudinal_aberration() {
    return plot_field(kCmdPlotLongitudinalAberration, arg_int(0), arg_double(1));
}
