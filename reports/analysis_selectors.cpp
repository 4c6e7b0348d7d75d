#include "reports/analysis_selectors.h"

#include <span>

#include "evaluation/plot_services.h"
#include "lens/lens_data.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
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
int run_branch(const Branch& b, void (*adjust)(ArgCell*) = nullptr) {
    ArgCell cells[11];
    for (int k = 0; k < b.count; ++k) cells[k] = make_cell(b.cells[k]);
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
