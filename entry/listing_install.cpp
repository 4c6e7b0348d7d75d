#include "entry/conditions_listing.h"
#include "entry/drawing_conditions.h"
#include "entry/lens_block.h"
#include "entry/lens_conditions.h"
#include "entry/lens_listings.h"
#include "entry/lens_modules.h"
#include "entry/surface_records.h"
#include "entry/tolerance_commands.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"

void install_listing_handlers() {
    set_handler(kSlotListLensData, cmd_list_lens_data);
    set_handler(kSlotWavelengthSelect, cmd_wavelength_select);
    set_handler(kSlotListOperatingConditions, cmd_list_operating_conditions);
    set_handler(kSlotListSurfaceRange, cmd_list_surface_range);
    set_handler(kSlotListByMenuCode, cmd_list_by_menu_code);
    set_handler(kSlotPerfectLens, cmd_perfect_lens);
    set_handler(kSlotSplineProfile, cmd_spline_profile);
    set_handler(kSlotDrawingData, cmd_drawing_data);
    set_handler(kSlotOperatingConditions, cmd_operating_conditions);
    set_handler(kSlotSpotDiagramSettings, cmd_spot_diagram_settings);
    set_handler(kSlotDrawingConditions, cmd_drawing_conditions);
    set_handler(kSlotElementGroup, cmd_element_group);
    set_handler(kSlotLensModule, cmd_lens_module);
    set_handler(kSlotToleranceData, cmd_tolerance_data);
    set_whole_lens_listing(list_whole_lens);
}
