#include "entry/entry_install.h"

#include "entry/entry_frame.h"
#include "entry/general_data.h"
#include "entry/lens_block.h"
#include "entry/pickups_solves.h"
#include "entry/special_data_install.h"
#include "entry/surface_data.h"
#include "entry/surface_records.h"
#include "entry/system_options.h"
#include "entry/wavelength_commands.h"
#include "kpl/kpl_sysvars.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"

void install_entry_handlers() {
    set_handler(kSlotLensNew, cmd_lens_new);
    set_handler(kSlotNextSurface, cmd_next_surface);
    set_handler(kSlotLensEntryEnd, cmd_lens_end);
    set_handler(kSlotSurfaceData, cmd_surface_data);
    set_handler(kSlotPickup, cmd_pickup);
    set_handler(kSlotSurfaceSolves, cmd_surface_solves);
    set_handler(kSlotWavelengths, cmd_wavelengths);
    set_handler(kSlotGeneralData, cmd_general_data);
    set_handler(kSlotSystemOptions, cmd_system_options);
    install_special_data_handlers();
    install_listing_handlers();
    update_output_flags().during_update = 0;
    update_output_flags().after_update = 1;
    kpl_bind_sysvar(kSysVarOutputDuringUpdate, &update_output_flags().during_update, 3, 0, 0);
    kpl_bind_sysvar(kSysVarOutputAfterUpdate, &update_output_flags().after_update, 3, 0, 0);
}
