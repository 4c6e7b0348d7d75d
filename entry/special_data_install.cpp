#include "entry/special_data_install.h"

#include "entry/asphere_entry.h"
#include "entry/at_surface_entry.h"
#include "entry/decentre_entry.h"
#include "entry/diffractive_entry.h"
#include "entry/glass_entry.h"
#include "entry/grin_entry.h"
#include "entry/reverse_negate.h"
#include "entry/special_aperture_entry.h"
#include "entry/toric_hologram_entry.h"
#include "lens/surface_setters.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/parameters.h"

namespace {

// The typed values of a model glass: cell c of the running command.
int medium_argument(int cell, double* value) {
    const ArgCell* a = arg_cell(cell);
    if (a == nullptr || a->status != kArgGiven) return 0;
    if (a->type == kArgDouble) {
        *value = a->value.d;
        return 1;
    }
    if (a->type == kArgInt) {
        *value = a->value.i;
        return 1;
    }
    return 2;
}

int medium_prompt(int param, double* value) {
    ArgCell cell{};
    if (const int rc = prompt_param(param, &cell); rc != 0) return rc;
    if (cell.type == kArgDouble) {
        *value = cell.value.d;
    } else if (cell.type == kArgInt) {
        *value = cell.value.i;
    } else {
        return -9999;
    }
    return 0;
}

const MediumEntrySource kTypedMediumSource{medium_argument, medium_prompt};

}  // namespace

void install_special_data_handlers() {
    set_handler(kSlotGlassCommands, cmd_glass_commands);
    set_handler(kSlotNearestGlass, cmd_nearest_glass);
    set_handler(kSlotAsphereData, cmd_asphere_data);
    set_handler(kSlotPolynomialAsphere, cmd_polynomial_asphere);
    set_handler(kSlotDecentreTilt, cmd_decentre_tilt);
    set_handler(kSlotToricCurvature, cmd_toric_curvature);
    set_handler(kSlotHologramData, cmd_hologram_data);
    set_handler(kSlotDiffractiveData, cmd_diffractive_data);
    set_handler(kSlotSpecialAperture, cmd_special_aperture);
    set_handler(kSlotGrinData, cmd_grin_data);
    set_handler(kSlotAtSurface, cmd_at_surface);
    set_handler(kSlotAtSurfaceFirstArg, cmd_at_surface_first_arg);
    set_handler(kSlotGlassAtSurface, cmd_glass_at_surface);
    set_handler(kSlotAtSurfaceValues, cmd_at_surface_values);
    set_handler(kSlotPickupAtSurface, cmd_pickup_at_surface);
    set_handler(kSlotCurrentSurface, cmd_current_surface);
    set_handler(kSlotReverseSurfaces, cmd_reverse_surfaces);
    set_handler(kSlotNegateSurfaceRange, cmd_negate_surface_range);
    set_medium_entry_source(&kTypedMediumSource);
}
