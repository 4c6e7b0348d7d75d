#include "evaluation/mtf_command.h"

#include <cctype>
#include <cmath>
#include <string>

#include "evaluation/mtf_curves.h"
#include "evaluation/mtf_shared.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "numeric/scale_step.h"
#include "runtime/arg_cells.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/ray_record.h"

namespace {

constexpr double kTiny = 1e-40;

// The 0-based wavelength index of a typed number (0 the reference wavelength), or -1 with the
// no-rays refusal left in the error buffer.
int resolve_wavelength(int number) {
    const SpotStore& st = spot_store();
    const int index = number == 0 ? st.reference_wavelength : number - 1;
    const int known = std::min(lens_data().wavelength_count, st.wavelength_capacity);
    if (index < 0 || index >= known || st.wave_ray_counts[index] <= 0) {
        set_error_msg(kMsgNoRays, number == 0 ? index + 1 : number);
        return -1;
    }
    return index;
}

double cutoff_of(int direction, int wave) {
    const SpotStore& st = spot_store();
    if (wave < 0 || wave >= st.wavelength_capacity) return 0.0;
    return direction == 0 ? st.x_cutoff[wave] : st.y_cutoff[wave];
}

void print_direction(int direction) {
    std::string text = "?";
    if (select_param_list(kParamMtfDirection) == 0) text = list_item_text(direction);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text_printf("%s\n", text.c_str());
}

void print_wavelength(int index) {
    print_msg(kMsgWavelength, index + 1);
    text_newline();
}

void print_columns(int message) {
    warn_multiple_configurations();
    print_msg(message);
    text_newline();
}

// A failure status as the listings return it: -9998 with the message in the error buffer.
int failed(int status) {
    return status == kErrorTextReady ? status : set_error_msg(status);
}

bool is_direction(int direction) {
    return direction == 0 || direction == 1;
}

}  // namespace

void default_mtf_frequencies(int direction, double C, double dz, double& F, double& S) {
    if (std::fabs(F) < kTiny) {
        const SpotStats& s = spot_stats();
        const double a = direction == 0 ? s.var_tx : s.var_ty;
        const double b = direction == 0 ? s.cov_x_tx : s.cov_y_ty;
        const double c = direction == 0 ? s.var_x : s.var_y;
        const double U = mtf_unit_factor();
        const double sigma2 = lens_data().afocal ? a : (a * dz * dz + 2.0 * b * dz + c) * U * U;
        if (!(sigma2 > kTiny)) {
            F = C;
        } else {
            const double f0 = 2.0 / (std::sqrt(sigma2) * 4.442882938158366);
            F = f0 > C ? C : std::max(f0, 10.0);
        }
        if (F > 1.0) F = std::floor(F + 0.5);
    }
    if (std::fabs(S) < kTiny) S = F * 0.1;
}

int geometric_mtf_listing(int direction, int wave_number, double F, double S, double dz) {
    if (!is_direction(direction)) return 0;
    const bool all = wave_number == -1;
    print_msg(all ? (direction == 0 ? kMsgMtfHeadingGeoAllX : kMsgMtfHeadingGeoAllY)
                  : (direction == 0 ? kMsgMtfHeadingGeoX : kMsgMtfHeadingGeoY));
    text_newline();
    int wave = -1;
    if (!all) {
        wave = resolve_wavelength(wave_number);
        if (wave < 0) return kErrorTextReady;
    }
    if (!all) print_wavelength(wave);
    print_columns(kMsgMtfColumns);
    const SpotStore& st = spot_store();
    double C = cutoff_of(direction, wave);
    if (all) C = direction == 0 ? cutoff_of(0, st.reference_wavelength) : cutoff_of(1, 0);
    default_mtf_frequencies(direction, C, dz, F, S);
    const int r = mtf_frequency_scan(
        {.mode = 1, .direction = direction, .wave = wave, .F = F, .S = S, .dz = dz}, nullptr,
        nullptr);
    if (r != 0) return failed(r);
    if (std::fabs(dz) > 0.0) {
        print_msg(kMsgMtfFocusShift);
        text_out("           ");
        text_number(dz);
        text_newline();
    }
    return 0;
}

int diffraction_mtf_listing(int direction, int wave_number, double F, double S, double dz) {
    if (!is_direction(direction)) return 0;
    print_msg(kMsgMtfHeadingDiffraction);
    print_direction(direction);
    const int wave = resolve_wavelength(wave_number);
    if (wave < 0) return kErrorTextReady;
    double y = 0.0, x = 0.0;
    spot_reference_offset(wave, y, x, dz);
    default_mtf_frequencies(direction, cutoff_of(direction, wave), dz, F, S);
    print_wavelength(wave);
    print_columns(kMsgMtfColumns);
    double cutoff = 0.0;
    const int r = mtf_at_frequency({.mode = 1,
                                    .direction = direction,
                                    .wave = wave,
                                    .F = F,
                                    .S = S,
                                    .shift_y = y,
                                    .shift_x = x,
                                    .dz = dz},
                                   nullptr, nullptr, &cutoff);
    mtf_ideal_pupil() = false;
    return r != 0 ? failed(r) : 0;
}

int polychromatic_mtf_listing(int direction, double F, double S, double dz) {
    if (!is_direction(direction)) return 0;
    print_msg(kMsgMtfHeadingPoly);
    print_direction(direction);
    default_mtf_frequencies(direction, cutoff_of(direction, 0), dz, F, S);
    print_columns(kMsgMtfColumns);
    double y = 0.0, x = 0.0;
    spot_reference_offset(spot_store().wavelength_capacity, y, x, dz);
    double cutoff = 0.0;
    const int r = mtf_polychromatic(
        {.mode = 1, .direction = direction, .F = F, .S = S, .shift_y = y, .shift_x = x, .dz = dz},
        nullptr, nullptr, &cutoff);
    return r != 0 ? failed(r) : 0;
}

int through_focus_mtf_listing(bool polychromatic, int wave_number, int direction, double f,
                              double d, double s) {
    if (!is_direction(direction)) return 0;
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const bool diffraction = std::fabs(st.reference_pv) <= lens.spot_settings->mtf_path_limit;
    int wave = st.reference_wavelength;
    if (!polychromatic) {
        wave = resolve_wavelength(wave_number);
        if (wave < 0) return kErrorTextReady;
    }
    print_msg(diffraction ? (polychromatic ? kMsgMtfFocusHeadingDiffAll : kMsgMtfFocusHeadingDiff)
                          : (polychromatic ? kMsgMtfFocusHeadingGeoAll : kMsgMtfFocusHeadingGeo));
    print_direction(direction);
    if (std::fabs(f) < kTiny) {
        f = lens.spot_settings->through_focus_frequency;
        if (std::fabs(f) < kTiny) f = scale_step(cutoff_of(direction, wave), 1) * 0.1;
    }
    print_msg(kMsgMtfFocusFrequency);
    text_out(format_number(f, 6, 0));
    text_newline();
    if (std::fabs(d) < kTiny) {
        const double A = reference_aperture_slope();
        d = scale_step(1.0 / (mtf_unit_factor() * A * f), 3);
    }
    if (std::fabs(s) < kTiny) s = d * 0.2;
    if (!polychromatic) print_wavelength(wave);
    print_columns(kMsgMtfFocusColumns);
    const int r =
        through_focus_mtf(true, polychromatic, diffraction, direction, wave, f, d, s, nullptr);
    mtf_ideal_pupil() = false;
    return r != 0 ? failed(r) : 0;
}

int geometric_mtf_report() {
    return geometric_mtf_listing(arg_int(0), arg_int(1), arg_double(2), arg_double(3),
                                 arg_double(4));
}

int diffraction_mtf_report() {
    return diffraction_mtf_listing(arg_int(0), arg_int(1), arg_double(2), arg_double(3),
                                   arg_double(4));
}

int polychromatic_mtf_report() {
    return polychromatic_mtf_listing(arg_int(0), arg_double(1), arg_double(2), arg_double(3));
}

int through_focus_mtf_report() {
    return through_focus_mtf_listing(arg_int(1) == 1, arg_int(2), arg_int(3), arg_double(7),
                                     arg_double(8), arg_double(9));
}

int cmd_mtf() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const int kind = arg_int(0);
    int polychromatic = arg_int(1);
    int wave_number = arg_int(2);
    if (polychromatic == 1 && lens_data().wavelength_count < 2) {
        polychromatic = 0;
        wave_number = 0;
    }
    const int direction = arg_int(3);
    int r = 0;
    if (kind == 1) {
        if (polychromatic != 0 && polychromatic != 1) return 0;
        r = through_focus_mtf_listing(polychromatic == 1, wave_number, direction, arg_double(7),
                                      arg_double(8), arg_double(9));
    } else if (kind == 0) {
        const double F = arg_double(4), S = arg_double(5), dz = arg_double(6);
        const bool diffraction =
            std::fabs(spot_store().reference_pv) <= lens_data().spot_settings->mtf_path_limit;
        if (polychromatic == 0) {
            r = diffraction ? diffraction_mtf_listing(direction, wave_number, F, S, dz)
                            : geometric_mtf_listing(direction, wave_number, F, S, dz);
        } else if (polychromatic == 1) {
            r = diffraction ? polychromatic_mtf_listing(direction, F, S, dz)
                            : geometric_mtf_listing(direction, -1, F, S, dz);
        }
    }
    if (r == 0) mtf_current() = 1;
    return r;
}
