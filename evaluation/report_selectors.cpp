#include "evaluation/report_selectors.h"

#include "evaluation/spot_commands.h"
#include "evaluation/spot_rays.h"
#include "evaluation/wavefront_stats.h"
#include "evaluation/zernike_fit.h"
#include "runtime/arg_cells.h"
#include "runtime/run_as.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"

namespace {

constexpr int kCmdWavefrontStatsPoly = kCmdWavefrontStatsChr;
constexpr int kCmdZernikeFitPoly = kCmdZernikeFitChr;

// A copy of the running command's cell i, or an omitted int cell.
ArgCell cell_copy(int i) {
    const ArgCell* c = arg_cell(i);
    if (c != nullptr) return *c;
    ArgCell empty = int_cell(0);
    empty.status = kArgDefaultTaken;
    return empty;
}

int ensure_current() {
    if (test_state_flag(kFlagSpotDiagramCurrent) != 0) return 0;
    return ensure_spot_diagram();
}

}  // namespace

int cmd_spot_report_select() {
    if (const int r = ensure_current(); r != 0) return r;
    const int selector = arg_int(0);
    const int choice = arg_int(1);
    ArgCell cells[2];
    int count;
    int mode = 0;
    if (selector != 0) {
        mode = choice == 0 ? 3 : choice == 1 ? 2 : choice == 2 ? 1 : 0;
        count = 1;
    } else {
        count = 2;
    }
    cells[0] = int_cell(mode);
    cells[1] = double_cell(arg_double(2));
    cells[1].status = kArgGiven;
    return run_as_command(kCmdSpotSizes, cmd_spot_sizes, cells, count);
}

int cmd_wavefront_report_select() {
    if (const int r = ensure_current(); r != 0) return r;
    const int kind = arg_int(0);
    const int reference = arg_int(1);
    const bool all = arg_int(5) != 0;
    ArgCell cells[6];
    if (kind == 1) {
        const int mode = reference >= 1 && reference <= 3 ? reference : 0;
        cells[0] = int_cell(mode);
        if (all) {
            cells[1] = cell_copy(2);
            cells[2] = cell_copy(3);
            cells[3] = cell_copy(4);
            return run_as_command(kCmdWavefrontStatsPoly, cmd_wavefront_stats_poly, cells, 4);
        }
        cells[1] = int_cell(arg_int(6));
        cells[2] = cell_copy(2);
        cells[3] = cell_copy(3);
        cells[4] = cell_copy(4);
        return run_as_command(kCmdWavefrontStats, cmd_wavefront_stats, cells, 5);
    }
    if (kind == 2) {
        const int modes[4] = {10, 13, 11, 12};
        const int mode = reference >= 0 && reference <= 3 ? modes[reference] : 0;
        cells[0] = int_cell(mode);
        if (!all) {
            // The fit takes its offsets x first.
            cells[1] = int_cell(arg_int(6));
            cells[2] = cell_copy(3);
            cells[3] = cell_copy(2);
            cells[4] = cell_copy(4);
            cells[5] = int_cell(arg_int(7));
            return run_as_command(kCmdZernikeFit, cmd_zernike_fit, cells, 6);
        }
        cells[1] = cell_copy(3);
        cells[2] = cell_copy(2);
        cells[3] = cell_copy(4);
        cells[4] = int_cell(arg_int(7));
        return run_as_command(kCmdZernikeFitPoly, cmd_zernike_fit_poly, cells, 5);
    }
    return 0;
}
