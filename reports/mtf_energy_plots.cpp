#include "reports/mtf_energy_plots.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/geometric_energy.h"
#include "evaluation/mtf_curves.h"
#include "evaluation/mtf_shared.h"
#include "evaluation/point_intensity.h"
#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "numeric/scale_step.h"
#include "reports/energy_mtf_frame.h"
#include "reports/plot_frame.h"
#include "reports/plot_scopes.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "trace/ray_record.h"
#include "ui/plot_scale.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kRmsToFrequency = 0.22507907903927654;  // 1 / (pi sqrt 2)
constexpr double kAiryRadii = 5.0;
constexpr int kLeastGrid = 4;
constexpr int kDefaultGrid = 24;
constexpr int kLargestGrid = 512;
constexpr int kDefaultFrequencies = 21;
constexpr int kDefaultFocusPositions = 7;
constexpr int kIdealMarker = 7;
constexpr int kFineFrom = 21;  // sample counts from which an interval gets 5 sub-points
constexpr int kCoarseSubdivisions = 5;
constexpr int kEnergySubdivisions = 5;
constexpr double kLeastFrequencyLimit = 10.0;

// Argument cells of this plot (0-based).
enum : int {
    kEnergyKind = 0,
    kEnergyForm = 1,
    kEnergyReference = 2,
    kEnergyAll = 3,
    kEnergyWavelength = 4,
    kEnergyFocus = 5,
    kEnergySteps = 6,
    kEnergyScale = 7,
    kEnergyGrid = 8,
    kEnergyMarker = 9,
    kSquareForm = 0,
    kSquareFocus = 1,
    kSquareSteps = 2,
    kSquareScale = 3,
    kMtfKind = 0,
    kMtfPoly = 1,
    kMtfWavelength = 2,
    kMtfFocus = 3,
    kMtfFrequency = 4,
    kMtfFrequencyScale = 5,
    kMtfFocusScale = 6,
    kMtfMarker = 7,
    kMtfFrequencies = 8,
    kMtfFocusPositions = 9,
    kMtfIdeal = 10,
};

int subdivisions_for(int n) {
    return n < kFineFrom ? static_cast<int>(std::floor(100.0 / (n - 1) + 0.5))
                         : kCoarseSubdivisions;
}

double current_cutoff(int direction) {
    const SpotStore& st = spot_store();
    const int w = std::clamp(lens_data().current_wavelength, 0, st.wavelength_capacity - 1);
    return direction == 0 ? st.x_cutoff[w] : st.y_cutoff[w];
}

double current_airy_radius() {
    const SpotStore& st = spot_store();
    return st
        .airy_radius[std::clamp(lens_data().current_wavelength, 0, st.wavelength_capacity - 1)];
}

// The largest distance (radial) or half width (square) of a ray from the centroid at dz.
double largest_offset(double dz, bool radial) {
    const SpotStore& st = spot_store();
    double largest = 0.0;
    for (std::int32_t i = 0; i < st.ray_count; ++i) {
        double x = 0.0, y = 0.0;
        ray_offset_from_reference(0, i, x, y, dz);
        largest = std::max(
            largest, radial ? std::sqrt(x * x + y * y) : std::max(std::fabs(x), std::fabs(y)));
    }
    return largest;
}

// The automatic frequency limit of one axis from the rms spot size at dz.
double frequency_limit(int direction, double dz) {
    const SpotStats& s = spot_stats();
    const double a = direction == 0 ? s.var_tx : s.var_ty;
    const double b = direction == 0 ? s.cov_x_tx : s.cov_y_ty;
    const double c = direction == 0 ? s.var_x : s.var_y;
    const double unit = mtf_unit_factor();
    const double sigma2 = lens_data().afocal ? a : (a * dz * dz + 2.0 * b * dz + c) * unit * unit;
    const double cutoff = current_cutoff(direction);
    if (!(sigma2 > kTiny)) return cutoff;
    const double limit = 2.0 * kRmsToFrequency / std::sqrt(sigma2);
    if (limit > cutoff) return cutoff;
    return std::max(limit, kLeastFrequencyLimit);
}

// The frequency of the through-focus MTF: given, SDTF, or a tenth of the stepped cut-off.
double through_focus_frequency() {
    double f = arg_double(kMtfFrequency);
    if (f >= kTiny) return f;
    f = lens_data().spot_settings->through_focus_frequency;
    if (f >= kTiny) return f;
    return plot_scale_step(std::min(current_cutoff(0), current_cutoff(1)), 10) * 0.1;
}

double choose_scale(int command) {
    const LensData& lens = lens_data();
    if (command == kCmdPlotRadEnergyDist && arg_int(kEnergyKind) != 0) {
        double given = arg_double(kEnergyScale);
        if (!(given > 0.0)) given = kAiryRadii * current_airy_radius();
        return plot_scale_step(given / 2.0, 1);
    }
    const int scale_cell = command == kCmdPlotRadEnergyDist     ? kEnergyScale
                           : command == kCmdPlotEnsquaredEnergy ? kSquareScale
                           : arg_int(kMtfKind) == 1             ? kMtfFocusScale
                                                                : kMtfFrequencyScale;
    const double given = arg_double(scale_cell);
    if (given >= kTiny) {
        set_setting_double(kSetGraphicsCurrentScale, given, 0, 0);
        return given;
    }
    if (command == kCmdPlotRadEnergyDist) {
        return plot_scale_step(largest_offset(arg_double(kEnergyFocus), true), 1);
    }
    if (command == kCmdPlotEnsquaredEnergy) {
        return plot_scale_step(2.0 * largest_offset(arg_double(kSquareFocus), false), 1);
    }
    if (arg_int(kMtfKind) == 0) {
        const double dz = arg_double(kMtfFocus);
        return plot_scale_step(std::max(frequency_limit(0, dz), frequency_limit(1, dz)), 2);
    }
    const double f = through_focus_frequency();
    const double u = reference_aperture_slope();
    const double unit = lens.units > 0.0 ? lens.units : 1.0;
    return plot_scale_step(1.0 / (unit * f * u), 3);
}

int geometric_energy(bool radial, double s, double dz, int n, int marker, bool staircase) {
    const SpotStore& st = spot_store();
    std::vector<double> radii, energies, curve;
    try {
        radii.resize(static_cast<std::size_t>(st.ray_count) + 2);
        energies.resize(static_cast<std::size_t>(st.ray_count) + 2);
        curve.resize(static_cast<std::size_t>(n) + 5);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    if (const int rc = encircled_energy_curve(false, n, radial, dz, curve.data(), radii.data(),
                                              energies.data());
        rc != 0) {
        return rc;
    }
    gfx_set_color(-1);
    if (!staircase) {
        return plot_curve(n + 1, 0.0, 1.0 / n, kEnergySubdivisions, s, kCurveAcross, marker,
                          curve.data(), nullptr);
    }
    double weight = spot_stats().weight;
    if (std::fabs(weight) < kTiny) weight = 1.0;
    const std::size_t points = static_cast<std::size_t>(st.ray_count) + 1;
    std::vector<double> x(points), y(points);
    for (std::size_t i = 0; i < points; ++i) {
        x[i] = radii[i] / s;
        y[i] = energies[i] / weight;
    }
    gfx_polyline(x.data(), y.data(), static_cast<int>(points), 0);
    return 0;
}

int diffraction_energy(double s, double dz) {
    int wave = 0;
    if (const int rc = spot_command_wavelength(arg_int(kEnergyAll) == 1 ? 1 : 0,
                                               arg_int(kEnergyWavelength), wave);
        rc != 0) {
        return rc;
    }
    int n = arg_int(kEnergyGrid);
    if (n < kLeastGrid) n = kDefaultGrid;
    if (n % 2 != 0) ++n;
    DiffractionSampling sampling;
    sampling.width = 2.0 * s;
    sampling.n = n;
    sampling.wave = wave;
    sampling.z = dz;
    sampling.centre_mode = arg_int(kEnergyReference);
    if (sampling.centre_mode == 0) spot_reference_offset(wave, sampling.y0, sampling.x0, dz);
    std::vector<double> rings;
    try {
        rings.resize(static_cast<std::size_t>(n / 2) + 2);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    if (const int rc = diffraction_encircled_energy(false, sampling, rings.data()); rc != 0) {
        return rc;
    }
    gfx_set_color(-1);
    return plot_curve(n / 2 + 1, 0.0, 2.0 / n, kEnergySubdivisions, 1.0, kCurveUpward, 1,
                      rings.data(), nullptr);
}

// One MTF request of the plot: the modulus of one azimuth at n frequencies from 0 with step
// `step` into values, its slope at 0 into slope (0 for the geometric MTF).
struct MtfScan {
    bool geometric = false;
    bool polychromatic = false;
    int wave = 0;
    double dz = 0.0;
    double shift_y = 0.0, shift_x = 0.0;
};

int scan_frequencies(const MtfScan& scan, int direction, double highest, double step,
                     std::vector<double>& values, double& slope) {
    std::vector<double> second(values.size(), 0.0);
    const MtfRequest request{.mode = 0,
                             .direction = direction,
                             .wave = scan.polychromatic ? 0 : scan.wave,
                             .F = highest,
                             .S = step,
                             .shift_y = scan.shift_y,
                             .shift_x = scan.shift_x,
                             .dz = scan.dz};
    int rc = 0;
    double cutoff = 0.0;
    if (scan.geometric) {
        MtfRequest geometric = request;
        geometric.wave = scan.polychromatic ? -1 : scan.wave;
        geometric.shift_y = geometric.shift_x = 0.0;
        rc = mtf_frequency_scan(geometric, values.data(), second.data());
        slope = 0.0;
    } else if (scan.polychromatic) {
        rc = mtf_polychromatic(request, values.data(), second.data(), &cutoff);
        slope = second[0];
    } else {
        rc = mtf_at_frequency(request, values.data(), second.data(), &cutoff);
        slope = second[0];
    }
    return rc;
}

// The index whose sample decides between the azimuths of the diffraction-limited curve.
int deciding_sample(int n) {
    return n >= 4 ? 3 : n - 1;
}

int mtf_against_frequency(double s, const MtfScan& base, int marker, bool single, bool ideal) {
    int n = arg_int(kMtfFrequencies);
    if (n < 2) n = kDefaultFrequencies;
    const double t = 1.0 / (n - 1);
    const int sub = subdivisions_for(n);
    const std::size_t size = static_cast<std::size_t>(n) + 1;
    std::vector<double> az0, az1;
    try {
        az0.resize(size);
        az1.resize(size);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    const SpotStore& st = spot_store();
    bool marked = false;
    if ((get_setting_flag(kSetGraphicsLabels) != 0 || single) && ideal) {
        double slope0 = 0.0, slope1 = 0.0;
        {
            IdealPupilScope scope;
            MtfScan limit = base;
            limit.geometric = false;
            if (const int rc = scan_frequencies(limit, 0, s, s * t, az0, slope0); rc != 0) {
                return rc;
            }
            const bool both = !(st.half_pupil != 0 && lens_has_special_apertures() == 0);
            if (both) {
                if (const int rc = scan_frequencies(limit, 1, s, s * t, az1, slope1); rc != 0) {
                    return rc;
                }
            }
            const int k = deciding_sample(n);
            if (both && az1[static_cast<std::size_t>(k)] > az0[static_cast<std::size_t>(k)]) {
                az0.swap(az1);
                slope0 = slope1;
            }
        }
        gfx_set_color(-1);
        const double start = slope0 * s;
        if (const int rc =
                plot_curve(n, 0.0, t, sub, 1.0, kCurveUpward, kIdealMarker, az0.data(), &start);
            rc != 0) {
            return rc;
        }
        if (!single) {
            gfx_mark();
            marked = true;
        }
    }
    double slope0 = 0.0, slope1 = 0.0;
    if (const int rc = scan_frequencies(base, 1, s, s * t, az1, slope1); rc != 0) return rc;
    if (const int rc = scan_frequencies(base, 0, s, s * t, az0, slope0); rc != 0) return rc;
    // Only a mark of this plot is rewound to: an older one would take earlier curves with it.
    if (marked) gfx_rewind();
    gfx_set_color(-1);
    if (!single) {
        const double start = slope1 * s;
        if (const int rc =
                plot_curve(n, 0.0, t, sub, 1.0, kCurveUpward, marker, az1.data(), &start);
            rc != 0) {
            return rc;
        }
    }
    const double start = slope0 * s;
    return plot_curve(n, 0.0, t, sub, 1.0, kCurveUpward, marker + 1, az0.data(), &start);
}

int mtf_through_focus(double s, double f, const MtfScan& base, int marker, bool single,
                      bool ideal) {
    int n = arg_int(kMtfFocusPositions);
    if (n < 2) n = kDefaultFocusPositions;
    const double t = 1.0 / (n - 1);
    const int sub = subdivisions_for(n);
    const double step = 2.0 * s * t;
    std::vector<double> az0, az1;
    try {
        az0.resize(static_cast<std::size_t>(n) + 2);
        az1.resize(static_cast<std::size_t>(n) + 2);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    const SpotStore& st = spot_store();
    const int wave = base.polychromatic ? st.reference_wavelength : base.wave;
    if ((get_setting_flag(kSetGraphicsLabels) != 0 || single) && ideal) {
        int direction = 0;
        {
            IdealPupilScope scope;
            MtfScan limit = base;
            limit.geometric = false;
            std::vector<double> at(3, 0.0);
            double slope = 0.0;
            if (const int rc = scan_frequencies(limit, 0, f, f, at, slope); rc != 0) return rc;
            const double m0 = at[1];
            const bool skip =
                st.half_pupil != 0 && (!base.polychromatic || lens_has_special_apertures() == 0);
            if (!skip) {
                if (const int rc = scan_frequencies(limit, 1, f, f, at, slope); rc != 0) return rc;
                if (at[1] > m0) direction = 1;
            }
            if (const int rc = through_focus_mtf(false, base.polychromatic, true, direction, wave,
                                                 f, s, step, az0.data());
                rc != 0) {
                return rc;
            }
        }
        gfx_set_color(-1);
        if (const int rc =
                plot_curve(n, 0.0, t, sub, 1.0, kCurveUpward, kIdealMarker, az0.data(), nullptr);
            rc != 0) {
            return rc;
        }
    }
    const bool diffraction = !base.geometric;
    if (const int rc = through_focus_mtf(false, base.polychromatic, diffraction, 1, wave, f, s,
                                         step, az1.data());
        rc != 0) {
        return rc;
    }
    if (const int rc = through_focus_mtf(false, base.polychromatic, diffraction, 0, wave, f, s,
                                         step, az0.data());
        rc != 0) {
        return rc;
    }
    gfx_set_color(-1);
    if (!single) {
        if (const int rc =
                plot_curve(n, 0.0, t, sub, 1.0, kCurveUpward, marker, az1.data(), nullptr);
            rc != 0) {
            return rc;
        }
    }
    return plot_curve(n, 0.0, t, sub, 1.0, kCurveUpward, marker + 1, az0.data(), nullptr);
}

int draw_mtf(double s, double dval) {
    const LensData& lens = lens_data();
    const SpotStore& st = spot_store();
    const bool through_focus = arg_int(kMtfKind) == 1;
    if (through_focus && lens.afocal) return kMsgAfocalThroughFocus;
    int marker = arg_int(kMtfMarker);
    const bool single = marker < 0;
    if (marker == 0) marker = 1;
    if (single) marker = 0;
    MtfScan scan;
    scan.polychromatic = arg_int(kMtfPoly) == 1;
    if (scan.polychromatic) {
        if (st.polychromatic == 0) return kMsgMtfNotPolychromatic;
        scan.wave = st.wavelength_capacity;
    } else if (const int rc = spot_command_wavelength(0, arg_int(kMtfWavelength), scan.wave);
               rc != 0) {
        return rc;
    }
    scan.geometric = std::fabs(st.reference_pv) > lens.spot_settings->mtf_path_limit;
    const bool ideal = arg_int(kMtfIdeal) != 0;
    if (through_focus) return mtf_through_focus(s, dval, scan, marker, single, ideal);
    scan.dz = dval;
    spot_reference_offset(scan.wave, scan.shift_y, scan.shift_x, dval);
    return mtf_against_frequency(s, scan, marker, single, ideal);
}

// Counts the plot refuses before it draws anything.
int refused_counts(int command) {
    if (command == kCmdPlotRadEnergyDist && arg_int(kEnergyKind) != 0 &&
        arg_int(kEnergyGrid) > kLargestGrid) {
        return kMsgDiffractionGridTooLarge;
    }
    if (command == kCmdPlotMtf && (arg_int(kMtfFrequencies) > kMostPlotPoints ||
                                   arg_int(kMtfFocusPositions) > kMostPlotPoints)) {
        return kMsgPlotCountTooLarge;
    }
    return 0;
}

}  // namespace

int draw_energy_mtf_curves(double scale, double dval) {
    const int command = current_command();
    if (command == kCmdPlotRadEnergyDist) {
        if (arg_int(kEnergyKind) != 0) return diffraction_energy(scale, dval);
        int marker = arg_int(kEnergyMarker);
        if (marker == 0) marker = 1;
        return geometric_energy(true, scale, dval, arg_int(kEnergySteps), marker,
                                arg_int(kEnergyForm) != 0);
    }
    if (command == kCmdPlotEnsquaredEnergy) {
        return geometric_energy(false, scale, dval, arg_int(kSquareSteps), 1,
                                arg_int(kSquareForm) != 0);
    }
    if (command == kCmdPlotMtf) return draw_mtf(scale, dval);
    return 0;
}

int cmd_plot_mtf_energy() {
    const int command = current_command();
    if (const int rc = refused_counts(command); rc != 0) return rc;
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        if (const int rc = ensure_spot_diagram(); rc != 0) return rc;
    }
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    LocalArguments local;
    if (lens_data().wavelength_count < 2) {
        if (command == kCmdPlotRadEnergyDist && arg_int(kEnergyAll) == 1) {
            local.set_int(kEnergyAll, 0);
            local.set_int(kEnergyWavelength, 0);
        } else if (command == kCmdPlotMtf && arg_int(kMtfPoly) == 1) {
            local.set_int(kMtfPoly, 0);
            local.set_int(kMtfWavelength, 0);
        }
    }
    const double scale = choose_scale(command);
    double dval = 0.0;
    if (command == kCmdPlotRadEnergyDist) dval = arg_double(kEnergyFocus);
    if (command == kCmdPlotEnsquaredEnergy) dval = arg_double(kSquareFocus);
    if (command == kCmdPlotMtf) {
        dval = arg_int(kMtfKind) == 1 ? through_focus_frequency() : arg_double(kMtfFocus);
    }
    draw_energy_mtf_frame(dval);
    const int rc = draw_energy_mtf_curves(scale, dval);
    flush_pending_polyline();
    return rc;
}
