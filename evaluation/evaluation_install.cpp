#include "evaluation/evaluation_install.h"

#include "evaluation/coupling.h"
#include "evaluation/first_order_listing.h"
#include "evaluation/geometric_energy.h"
#include "evaluation/mtf_command.h"
#include "evaluation/point_intensity.h"
#include "evaluation/psf_report.h"
#include "evaluation/report_selectors.h"
#include "evaluation/report_value_lists.h"
#include "evaluation/sections.h"
#include "evaluation/spot_commands.h"
#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_settings_sheet.h"
#include "evaluation/wavefront_stats.h"
#include "evaluation/zernike_fit.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"

void install_evaluation_handlers() {
    set_handler(kSlotSpotDiagram, cmd_spot_diagram);
    set_handler(kSlotSpotSizes, cmd_spot_sizes);
    set_handler(kSlotSpotSetupListing, cmd_spot_setup_listing);
    set_handler(kSlotPointIntensity, cmd_point_intensity);
    set_handler(kSlotListSpotRays, cmd_list_spot_rays);
    set_handler(kSlotEncircledEnergy, cmd_encircled_energy);
    set_handler(kSlotZernikeFit, cmd_zernike_fit);
    set_handler(kSlotSpotReportSelect, cmd_spot_report_select);
    set_handler(kSlotWavefrontReportSelect, cmd_wavefront_report_select);
    set_handler(kSlotZernikeFitPoly, cmd_zernike_fit_poly);
    set_handler(kSlotWavefrontStats, cmd_wavefront_stats);
    set_handler(kSlotWavefrontStatsPoly, cmd_wavefront_stats_poly);
    set_handler(kSlotDiffractionEncircledEnergy, cmd_diffraction_encircled_energy);
    set_handler(kSlotFirstOrderListing, cmd_first_order_listing);
    set_handler(kSlotMtf, cmd_mtf);
    set_handler(kSlotPsfReport, cmd_psf_report);
    set_handler(kSlotSpotSections, cmd_spot_sections);
    set_handler(kSlotPsfSections, cmd_psf_sections);
    set_handler(kSlotCouplingEfficiency, cmd_coupling_efficiency);
    set_handler(kSlotCouplingEfficiencyShort, cmd_coupling_efficiency_short);
    set_handler(kSlotSpotSizesChoices, cmd_spot_sizes_choices);
    set_handler(kSlotWavefrontKindChoices, cmd_wavefront_kind_choices);
    set_handler(kSlotReportReferenceChoices, cmd_wavefront_reference_choices);
    set_handler(kSlotBestFocusAxisChoices, cmd_best_focus_axis_choices);
    set_handler(kSlotOpenSpotSettings, cmd_open_spot_settings);
}
