#include "entry/surface_records.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"

void install_listing_handlers() {
    set_handler(kSlotPerfectLens, cmd_perfect_lens);
    set_handler(kSlotSplineProfile, cmd_spline_profile);
    set_handler(kSlotDrawingData, cmd_drawing_data);
}
