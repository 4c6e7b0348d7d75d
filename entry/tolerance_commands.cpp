#include "entry/tolerance_commands.h"

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_tolerances.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"

namespace {

constexpr int kNoPair = -1;

struct ToleranceCommand {
    int value;
    int coupled;  // also set while x and y tolerances are coupled
};

// Commands 685..702 in order: THT DCT SPT IRT RDT RNT TLT CCT DZT VNT DXT TBT CDX CDY CCA CCB
// CAA CAB.
constexpr ToleranceCommand kCommands[] = {
    {kTolTht, kNoPair}, {kTolDct, kTolDxt}, {kTolSpt, kNoPair}, {kTolIrt, kNoPair},
    {kTolRdt, kNoPair}, {kTolRnt, kNoPair}, {kTolTlt, kTolTbt}, {kTolCct, kNoPair},
    {kTolDzt, kNoPair}, {kTolVnt, kNoPair}, {kTolDxt, kNoPair}, {kTolTbt, kNoPair},
    {kTolCdx, kNoPair}, {kTolCdy, kTolCdx}, {kTolCca, kTolCcb}, {kTolCcb, kNoPair},
    {kTolCaa, kTolCab}, {kTolCab, kNoPair},
};

int test_wavelength() {
    LensData& l = lens_data();
    l.test_wavelength = arg_double(0);
    // Fringes are counted at this wavelength: the power and irregularity results are stale.
    for (int n = 1; n <= l.image_surface; ++n) {
        clear_tolerance_result(kTolSpt, n);
        clear_tolerance_result(kTolIrt, n);
    }
    print_message_and_number("%s ", kCmdTestWavelength, l.test_wavelength);
    return 0;
}

int tolerance(int command) {
    const int cur = current_surface();
    SurfaceTolerances* t = ensure_surface_tolerances(cur);
    if (t == nullptr) return kMsgOutOfMemory;
    const ToleranceCommand& c = kCommands[command - kCmdToleranceFirst];
    const std::uint8_t sw = arg_int(0) != 0 ? 2 : 1;
    const double value = arg_double(1);
    const bool coupled = c.coupled != kNoPair && lens_data().txyc != 0;
    for (const int k : {c.value, coupled ? c.coupled : kNoPair}) {
        if (k == kNoPair) continue;
        t->values[k] = value;
        t->switches[k] = sw;
        clear_tolerance_result(k, cur);
    }
    if (!update_mode()) {
        print_symbol_name("%s ", command);
        if (sw == 2) print_msg(kMsgToleranceHeld);
        print_number_cell_eol(value);
    }
    return 0;
}

}  // namespace

int cmd_tolerance_data() {
    UpdateOutputSwitch output;
    const int command = current_command();
    if (command >= kCmdToleranceFirst && command <= kCmdToleranceLast) return tolerance(command);
    return test_wavelength();
}
