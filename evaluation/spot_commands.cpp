#include "evaluation/spot_commands.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "evaluation/wavefront_stats.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/arg_cells.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kPrintZero = 1e-10;
constexpr int kWavesPerLine = 6;

bool given(int i) {
    const ArgCell* c = arg_cell(i);
    return c != nullptr && c->status == kArgGiven;
}

// The value's entry in the value list of parameter n, upper-cased, through the format.
void print_list_choice(int parameter, int value, const char* format) {
    std::string text = "?";
    if (select_param_list(parameter) == 0) text = list_item_text(value);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text_printf(format, text.c_str());
}

double zero_small(double v) {
    return std::fabs(v) <= kPrintZero ? 0.0 : v;
}

// The ray count of wavelength w as the report shows it: each stored ray of a half-pupil
// diagram stands also for its mirror image.
int shown_ray_count(int w) {
    const SpotStore& st = spot_store();
    if (w >= st.wavelength_capacity) return 0;
    return st.wave_ray_counts[w] * (st.half_pupil ? 2 : 1);
}

// Headings of a group of up to six wavelengths, numbered from first + 1.
void print_group_heading(int message, int first, int count) {
    text_spaces(2);
    for (int k = 0; k < count; ++k) print_msg(message, first + k + 1);
    text_newline();
}

void print_report_header_lines(bool apodisation, double gy, double gx) {
    const SpotStore& st = spot_store();
    print_msg(kMsgDivisions);
    print_number_cell_eol(st.divisions);
    if (!st.polychromatic) {
        print_msg(kMsgWavelength, st.reference_wavelength + 1);
        text_newline();
    }
    print_msg(kMsgWeights);
    text_newline();
    print_wavelength_weights();
    if (apodisation) {
        print_msg(kMsgApodisationWidths);
        print_number_cell(gy);
        print_number_cell_eol(gx);
    }
}

}  // namespace

double spot_relative_energy() {
    const SpotStore& st = spot_store();
    return st.grid_weight <= 0.0 ? 0.0 : 100.0 * spot_stats().weight / st.grid_weight;
}

void print_wavelength_weights() {
    const LensData& lens = lens_data();
    for (int first = 0; first < lens.wavelength_count; first += kWavesPerLine) {
        const int count = std::min(kWavesPerLine, lens.wavelength_count - first);
        print_group_heading(kMsgWeightHeading, first, count);
        for (int k = 0; k < count; ++k) {
            const double weight = lens.wavelengths[first + k].weight;
            if (k + 1 == count) {
                print_number_cell_eol(weight);
            } else {
                print_number_cell(weight);
            }
        }
    }
}

void print_ray_counts() {
    const LensData& lens = lens_data();
    for (int first = 0; first < lens.wavelength_count; first += kWavesPerLine) {
        const int count = std::min(kWavesPerLine, lens.wavelength_count - first);
        print_group_heading(kMsgCountHeading, first, count);
        text_spaces(6);
        for (int k = 0; k < count; ++k) {
            const int n = shown_ray_count(first + k);
            if (n < 1000) text_spaces(1);
            text_printf("%3d", n);
            text_spaces(8);
        }
        text_newline();
    }
}

void print_focus_shift(double z) {
    if (std::fabs(z) > kTiny && !lens_data().afocal) {
        print_msg(kMsgFocusShift);
        print_number_cell_eol(z);
    }
}

void print_spot_sizes(int mode, double z) {
    const LensData& lens = lens_data();
    const SpotStats& s = spot_stats();
    print_msg(kMsgSpotSizes);
    if (!lens.afocal) {
        // A slope variance of 0 (every ray parallel) has no focus of least rms: z stays.
        if (mode == 1) {
            print_msg(kMsgLeastRms);
            if (s.var_tx + s.var_ty > kTiny) z = -(s.cov_x_tx + s.cov_y_ty) / (s.var_tx + s.var_ty);
        } else if (mode == 2) {
            print_msg(kMsgLeastRmsX);
            if (s.var_tx > kTiny) z = -s.cov_x_tx / s.var_tx;
        } else if (mode == 3) {
            print_msg(kMsgLeastRmsY);
            if (s.var_ty > kTiny) z = -s.cov_y_ty / s.var_ty;
        }
    }
    text_newline();
    warn_multiple_configurations();
    print_focus_shift(z);
    print_msg(lens.afocal ? kMsgSizeHeadingAfocal : kMsgSizeHeading);
    text_newline();
    double rms_y, rms_x, centroid_y, centroid_x;
    if (lens.afocal) {
        rms_y = std::sqrt(std::max(0.0, s.var_ty));
        rms_x = std::sqrt(std::max(0.0, s.var_tx));
        centroid_y = s.mean_ty;
        centroid_x = s.mean_tx;
    } else {
        const double vy = s.var_ty * z * z + 2.0 * s.cov_y_ty * z + s.var_y;
        const double vx = s.var_tx * z * z + 2.0 * s.cov_x_tx * z + s.var_x;
        rms_y = vy > 0.0 ? std::sqrt(vy) : 0.0;
        rms_x = vx > 0.0 ? std::sqrt(vx) : 0.0;
        const RayRecord& ref = reference_ray().ray;
        const bool slope = std::fabs(ref.m) >= kTiny;
        centroid_y = s.mean_y + z * (s.mean_ty + (slope ? ref.l / ref.m : 0.0));
        centroid_x = s.mean_x + z * (s.mean_tx + (slope ? ref.k / ref.m : 0.0));
    }
    const SpotStore& st = spot_store();
    const int w = st.reference_wavelength;
    const double airy = w >= 0 && w < st.wavelength_capacity ? st.airy_radius[w] : 0.0;
    print_number_cell(zero_small(rms_y));
    print_number_cell(zero_small(rms_x));
    print_number_cell(zero_small(std::sqrt(rms_x * rms_x + rms_y * rms_y)));
    print_number_cell(airy);
    print_number_cell(zero_small(centroid_y));
    print_number_cell_eol(zero_small(centroid_x));
}

int cmd_spot_diagram() {
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        const int r = set_object_point();
        if (r != 0) return r;
    }
    SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const SpotSettings& settings = *lens.spot_settings;
    const RayRecord& ref = reference_ray().ray;

    // The argument cells are the caller's: what the settings fill in stays local.
    int mode = arg_int(0);
    int reference = ref.wavelength;
    bool poly;
    if (!given(0)) {
        poly = lens.wavelength_count >= 2 && settings.polychromatic;
        mode = settings.polychromatic;
    } else if (mode != 0) {
        poly = true;
    } else {
        const int number = given(3) ? arg_int(3) : ref.wavelength + 1;
        if (number < 1 || number > lens.wavelength_count) {
            return set_error_msg(kMsgSpotWavelengthNumber, lens.wavelength_count);
        }
        reference = number - 1;
        poly = false;
    }
    if (mode != 0 && lens.wavelength_count < 2) {
        poly = false;
        mode = 0;
    }
    const double divisions = arg_double(2);
    st.half_pupil = spot_half_pupil();
    st.reference_wavelength = reference;
    st.polychromatic = poly ? 1 : 0;
    st.divisions = !given(2) || divisions == 0.0 ? settings.aperture_divisions : divisions;
    for (int w = 0; w < st.wavelength_capacity; ++w) st.wave_ray_counts[w] = 0;
    st.ray_count = 0;

    print_msg(kMsgSpotDiagram);
    print_list_choice(kParamSpotWavelengths, mode != 0 ? 1 : 0, "%s ");
    int apodisation = arg_int(1);
    double gy = 0.0, gx = 0.0;
    if (apodisation == 0 && (!settings.apodisation_on || given(1))) {
        text_newline();
        st.apodisation_on = 0;
    } else {
        if (settings.apodisation_on) apodisation = 1;
        print_list_choice(kParamSpotApodisation, apodisation != 0 ? 1 : 0, "%s\n");
        st.apodisation_on = 1;
        gy = !given(1) || !given(4) ? settings.apodisation_width_y : arg_double(4);
        gx = !given(1) || !given(5) ? settings.apodisation_width_x : arg_double(5);
        if (spot_apodisation_factors(gy, gx, st.y_apodisation, st.x_apodisation) == 0) {
            clear_state_flag(kFlagSpotDiagramCurrent);
            return set_error_msg(kMsgSpotZeroApodisation);
        }
    }
    print_report_header_lines(st.apodisation_on != 0, gy, gx);

    const int generated = generate_spot_rays();
    clear_state_flag(kFlagSpotDerivedA);
    clear_state_flag(kFlagSpotDerivedB);
    if (generated != 0) {
        clear_state_flag(kFlagSpotDiagramCurrent);
        return set_error_msg(generated);
    }
    set_state_flag(kFlagSpotDiagramCurrent);
    spot_statistics();
    print_msg(kMsgRayCounts);
    text_newline();
    print_ray_counts();
    print_msg(kMsgEnergy);
    print_number_cell_eol(spot_relative_energy());
    print_spot_sizes(0, 0.0);
    if (reference < st.wavelength_capacity && st.wave_ray_counts[reference] > 0) {
        wavefront_stats(1, reference, 0.0, 0.0, 0.0);
    }
    return 0;
}

int cmd_spot_sizes() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    print_spot_sizes(arg_int(0), arg_double(1));
    return 0;
}

int cmd_spot_setup_listing() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const SpotSettings& settings = *lens.spot_settings;
    print_msg(kMsgSpotDiagram);
    print_list_choice(kParamSpotWavelengths, st.polychromatic ? 1 : 0, "%s ");
    if (st.apodisation_on) print_list_choice(kParamSpotApodisation, 1, "%s");
    text_newline();
    print_report_header_lines(st.apodisation_on != 0, settings.apodisation_width_y,
                              settings.apodisation_width_x);
    print_msg(kMsgRayCounts);
    text_newline();
    for (int first = 0; first < lens.wavelength_count; first += kWavesPerLine) {
        const int count = std::min(kWavesPerLine, lens.wavelength_count - first);
        print_group_heading(kMsgCountHeading, first, count);
        for (int k = 0; k < count; ++k) {
            const double n = shown_ray_count(first + k);
            if (k + 1 == count) {
                print_number_cell_eol(n);
            } else {
                print_number_cell(n);
            }
        }
    }
    print_msg(kMsgEnergy);
    print_number_cell_eol(spot_relative_energy());
    print_msg(kMsgHalfPupil);
    print_number_cell_eol(st.half_pupil ? 1.0 : 0.0);
    return 0;
}
