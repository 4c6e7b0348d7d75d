#include "reports/analysis_selectors.h"

#include <algorithm>
#include <span>

#include "evaluation/mtf_curves.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/run_as.h"
#include "runtime/state_flags.h"
#include "runtime/table_format.h"
#include "tables/table_names.h"
#include "trace/object_point.h"

namespace {

// How one cell of the new vector is made from the dialog's cells.
enum class Make {
    kCopy,      // the dialog's cell as it is
    kInt,       // an int of the given value
    kIntOf,     // the number in the dialog's cell as an int
    kDoubleOf,  // the number in the dialog's cell as a double
    kAbsent,    // an int of the given value marked absent: the target takes its default
};

struct CellSpec {
    Make make;
    int value;  // the dialog's cell number, or the int
};

constexpr CellSpec copy(int c) {
    return {Make::kCopy, c};
}
constexpr CellSpec int_of(int c) {
    return {Make::kIntOf, c};
}
constexpr CellSpec double_of(int c) {
    return {Make::kDoubleOf, c};
}
constexpr CellSpec given(int v) {
    return {Make::kInt, v};
}
constexpr CellSpec absent(int v) {
    return {Make::kAbsent, v};
}

// One branch of a selector: the dialog's choice (cell 0), the command it runs and its cells.
struct Branch {
    int choice;
    int command;
    int count;
    CellSpec cells[11];
    int wave_at = -1;  // where the wavelength mode and number sit in the new vector, if checked
};

// The wavelengths the diffraction and MTF analyses are asked for, as the spot diagram has them.
struct Wavelengths {
    bool changed = false;  // "all" on a one-wavelength diagram: that wavelength instead
    int number = 0;
};

ArgCell make_cell(const CellSpec& s) {
    switch (s.make) {
        case Make::kCopy: {
            if (const ArgCell* c = arg_cell(s.value); c != nullptr) return *c;
            ArgCell missing = int_cell(0);
            missing.status = kArgDefaultForced;
            return missing;
        }
        case Make::kInt:
            return int_cell(s.value);
        case Make::kIntOf:
            return int_cell(arg_int(s.value));
        case Make::kDoubleOf:
            return double_cell(arg_double(s.value));
        case Make::kAbsent: {
            ArgCell c = int_cell(s.value);
            c.status = kArgDefaultForced;
            return c;
        }
    }
    return int_cell(0);
}

CommandHandler plain_handler(int command) {
    const Definitions& d = definitions();
    if (d.commands == nullptr || command < 0 || command >= d.command_count) return nullptr;
    const int slot = d.commands[command].plain_slot;
    return slot >= 0 && slot < kHandlerSlotCount ? handler_table().slots[slot] : nullptr;
}

// Runs the target on the cells made from the dialog's; adjust may change them first.
int run_branch(const Branch& b, void (*adjust)(ArgCell*) = nullptr, const Wavelengths& waves = {}) {
    ArgCell cells[11];
    for (int k = 0; k < b.count; ++k) cells[k] = make_cell(b.cells[k]);
    if (waves.changed && b.wave_at >= 0) {
        cells[b.wave_at] = int_cell(0);
        cells[b.wave_at + 1] = int_cell(waves.number);
    }
    if (adjust != nullptr) adjust(cells);
    const CommandHandler handler = plain_handler(b.command);
    if (handler == nullptr) return 0;
    return run_as_command(b.command, handler, cells, b.count);
}

// The branch of the dialog's choice; 0 without running anything when no branch has it.
int run_choice(std::span<const Branch> branches, void (*adjust)(ArgCell*) = nullptr) {
    const int choice = arg_int(0);
    for (const Branch& b : branches)
        if (b.choice == choice) return run_branch(b, adjust);
    return 0;
}

int ensure_spot() {
    if (test_state_flag(kFlagSpotDiagramCurrent) != 0) return 0;
    return ensure_spot_diagram();
}

// The dialog's wavelength mode (cell mode_cell: 0 one, 1 all) and number (the next cell, 0 the
// spot diagram's own) against the spot diagram: "all" of a one-wavelength diagram asks for that
// wavelength; one wavelength without rays is refused.
int check_wavelengths(int mode_cell, Wavelengths& out) {
    if (const int rc = ensure_spot(); rc != 0) return rc;
    const SpotStore& st = spot_store();
    const int mode = arg_int(mode_cell);
    const int number = arg_int(mode_cell + 1);
    if (mode == 1 && st.polychromatic == 0) {
        out.changed = true;
        out.number = st.reference_wavelength + 1;
        return 0;
    }
    if (mode != 0) return 0;
    // 0 is the diagram's own wavelength, as the analyses read it.
    const int index = number == 0 ? st.reference_wavelength : number - 1;
    const int known = std::min(lens_data().wavelength_count, st.wavelength_capacity);
    if (index < 0 || index >= known || st.wave_ray_counts[index] <= 0) {
        return set_error_msg(kMsgNoRays, index + 1);
    }
    return 0;
}

constexpr Branch kRayAberration[] = {
    {0, kCmdRayFan, 6, {given(0), copy(1), given(0), copy(4), copy(5), copy(8)}},
    {1, kCmdRayFan, 6, {given(1), copy(1), given(0), copy(6), copy(7), copy(8)}},
    {2, kCmdPlotRayIntercepts, 5, {int_of(2), int_of(3), copy(9), copy(10), int_of(11)}},
    {3, kCmdPlotOpdFans, 4, {int_of(2), copy(9), copy(10), int_of(11)}},
    {4, kCmdPlotAstigmatism, 2, {int_of(2), copy(9)}},
    {5, kCmdPlotDistortion, 2, {int_of(2), copy(9)}},
    {6, kCmdPlotLateralColor, 1, {copy(9)}},
    {7, kCmdPlotLongitudinalAberration, 2, {int_of(2), copy(9)}},
};

constexpr Branch kSpot[] = {
    {1, kCmdPlotSpotDiagram, 4, {copy(1), copy(3), copy(6), copy(9)}},
    {2, kCmdSpotSetup, 0, {}},
};

constexpr Branch kDiffraction[] = {
    {0, kCmdPointIntensity, 6, {copy(2), copy(3), copy(4), copy(5), copy(6), copy(7)}, 1},
    {1,
     kCmdPlotPsf,
     9,
     {copy(8), copy(3), copy(4), copy(13), copy(14), copy(11), copy(12), copy(15), copy(9)},
     1},
    {1,
     kCmdPlotIntensityPerspective,
     7,
     {copy(8), copy(3), copy(4), copy(9), copy(10), copy(7), copy(12)},
     1},
    {2, kCmdPlotIntensitySections, 6, {copy(3), copy(4), copy(9), copy(10), copy(7), copy(12)}, 0},
};

// The listing takes the frequency range (highest, step) only against frequency.
constexpr Branch kMtfListing = {
    0,
    kCmdMtf,
    10,
    {copy(0), copy(1), copy(2), copy(4), copy(5), copy(6), copy(7), copy(8), copy(9), copy(10)},
    1};
constexpr Branch kMtfPlot = {0,
                             kCmdPlotMtf,
                             11,
                             {copy(0), copy(1), copy(2), double_of(7), double_of(8), double_of(11),
                              double_of(12), copy(13), copy(14), copy(15), given(0)},
                             1};

constexpr Branch kGeoSections[] = {
    {0, kCmdSpotSections, 7, {copy(2), copy(3), copy(4), copy(5), copy(6), copy(7), copy(8)}},
    {1, kCmdPlotLineSpread, 5, {copy(1), copy(4), copy(6), copy(7), copy(8)}},
};

constexpr Branch kPsfSections[] = {
    {0,
     kCmdPsfSections,
     9,
     {copy(2), copy(3), copy(4), copy(5), copy(6), copy(7), copy(8), copy(9), copy(10)}},
    // The plot takes its pupil samples before the grid, the listing after.
    {1, kCmdPlotPsfLineSpread, 7, {copy(1), copy(3), copy(4), copy(6), copy(9), copy(8), copy(10)}},
};

constexpr Branch kEnergy[] = {
    {0, kCmdEncircledEnergy, 2, {copy(1), copy(4)}},
    {1, kCmdEnsquaredEnergy, 2, {copy(1), copy(4)}},
    {2,
     kCmdPlotRadEnergyDist,
     10,
     {given(0), int_of(2), absent(0), absent(0), absent(0), double_of(4), int_of(3), double_of(5),
      absent(0), absent(0)}},
    {3, kCmdPlotEnsquaredEnergy, 4, {copy(2), copy(4), copy(3), copy(5)}},
};

constexpr Branch kPsf[] = {
    {0,
     kCmdPsfEncircled,
     9,
     {copy(1), copy(2), copy(3), copy(4), copy(5), copy(8), copy(9), copy(10), copy(11)}},
    {1,
     kCmdPsfEnsquared,
     9,
     {copy(1), copy(2), copy(3), copy(4), copy(5), copy(8), copy(9), copy(10), copy(11)}},
    // The plots take their pupil samples before the grid, the reports after.
    {2, kCmdPlotPsfEncircled, 6, {copy(1), copy(2), copy(4), copy(3), copy(5), copy(6)}},
    {3, kCmdPlotPsfEnsquared, 6, {copy(1), copy(2), copy(4), copy(3), copy(5), copy(7)}},
};

// The radial energy plot's steps: fewer than 6 ask for 12.
void energy_steps(ArgCell* cells) {
    if (cells[6].value.i < 6) cells[6].value.i = 12;
}

// The ensquared energy plot's steps: an absent count asks for 12.
void ensquared_steps(ArgCell* cells) {
    if (cells[2].status != kArgGiven) {
        cells[2] = int_cell(12);
    }
}

// The spot-ray listing's first two cells come from the dialog's form (c2) and sign (c1).
int spot_rays() {
    const int sign = arg_int(1) > 0 ? 1 : 0;
    int a = 0, b = 0;
    switch (arg_int(2)) {
        case 0:
            a = sign;
            break;
        case 1:
            a = 2;
            b = -1 - sign;
            break;
        case 2:
            a = 3;
            break;
        case 3:
            a = 4;
            break;
        default:
            break;
    }
    ArgCell cells[7] = {int_cell(a),        int_cell(b),        make_cell(copy(7)),
                        make_cell(copy(8)), make_cell(copy(4)), make_cell(copy(5)),
                        make_cell(copy(6))};
    if (a != 2) cells[1].status = kArgDefaultForced;
    const CommandHandler handler = plain_handler(kCmdSpotRays);
    if (handler == nullptr) return 0;
    return run_as_command(kCmdSpotRays, handler, cells, 7);
}

}  // namespace

int cmd_select_ray_aberration() {
    if (const int rc = ensure_plot_window(); rc != 0) return rc;
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        if (const int rc = set_object_point(); rc != 0) return rc;
    }
    // An omitted count keeps the lens's own.
    LensData& lens = lens_data();
    if (arg_int(11) > 0) lens.fan_rays = arg_int(11);
    const int choice = arg_int(0);
    if (choice == 2 || choice == 3) lens.htnu = arg_int(12) != 0 ? 1 : 0;
    return run_choice(kRayAberration, [](ArgCell* cells) {
        // The fans' ray count is the lens's, as just set.
        const int kind = arg_int(0);
        if (kind == 2) cells[4] = int_cell(lens_data().fan_rays);
        if (kind == 3) cells[3] = int_cell(lens_data().fan_rays);
    });
}

int cmd_select_spot_analysis() {
    if (const int rc = ensure_spot(); rc != 0) return rc;
    if (arg_int(0) == 0) return spot_rays();
    return run_choice(kSpot);
}

int cmd_select_wavefront() {
    if (const int rc = ensure_spot(); rc != 0) return rc;
    const int count = arg_count() < 7 ? arg_count() : 7;
    ArgCell cells[7];
    for (int k = 0; k < count; ++k) cells[k] = make_cell(copy(k));
    const CommandHandler handler = plain_handler(kCmdPlotWavefront);
    if (handler == nullptr) return 0;
    return run_as_command(kCmdPlotWavefront, handler, cells, count);
}

int cmd_select_diffraction_image() {
    const int choice = arg_int(0);
    const bool fft = arg_int(1) != 0;
    const Branch* branch = nullptr;
    if (choice == 0) branch = &kDiffraction[0];
    if (choice == 1) branch = fft ? &kDiffraction[1] : &kDiffraction[2];
    if (choice == 2) branch = &kDiffraction[3];
    if (branch == nullptr) return 0;
    Wavelengths waves;
    // The FFT point-spread function finds its own wavelengths.
    if (!(choice == 1 && fft)) {
        if (const int rc = check_wavelengths(3, waves); rc != 0) return rc;
    }
    if (branch->command == kCmdPlotPsf) {
        // The dialog's profile field reads y 0, x 1 for every plot; the FFT plot counts x 0.
        return run_branch(*branch,
                          [](ArgCell* cells) { cells[0] = int_cell(arg_int(8) != 0 ? 0 : 1); });
    }
    return run_branch(*branch, nullptr, waves);
}

int cmd_select_mtf() {
    const bool through_focus = arg_int(0) == 1;
    if (through_focus && lens_data().afocal) return kMsgAfocalThroughFocus;
    Wavelengths waves;
    if (const int rc = check_wavelengths(1, waves); rc != 0) return rc;
    if (arg_int(3) != 0) return run_branch(kMtfPlot, nullptr, waves);
    return run_branch(
        kMtfListing,
        [](ArgCell* cells) {
            if (arg_int(0) != 1) return;
            cells[4].status = kArgDefaultForced;
            cells[5].status = kArgDefaultForced;
        },
        waves);
}

int cmd_select_geo_sections() {
    return run_choice(kGeoSections);
}

int cmd_select_psf_sections() {
    return run_choice(kPsfSections);
}

int cmd_select_energy_analysis() {
    const int choice = arg_int(0);
    if (choice == 2) return run_choice(kEnergy, energy_steps);
    if (choice == 3) return run_choice(kEnergy, ensquared_steps);
    return run_choice(kEnergy);
}

int cmd_select_psf_analysis() {
    return run_choice(kPsf);
}
