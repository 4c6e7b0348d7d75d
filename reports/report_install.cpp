#include "reports/report_install.h"

#include "kpl/kpl_sysvars.h"
#include "reports/analysis_choices.h"
#include "reports/analysis_selectors.h"
#include "reports/fan_plots.h"
#include "reports/field_plots.h"
#include "reports/intensity_perspective.h"
#include "reports/mtf_energy_plots.h"
#include "reports/mtf_page.h"
#include "reports/psf_page.h"
#include "reports/ray_trace_page.h"
#include "reports/report_graphics.h"
#include "reports/report_procedure.h"
#include "reports/section_plots.h"
#include "reports/slider_design.h"
#include "reports/spot_page.h"
#include "reports/spot_plot.h"
#include "reports/wavefront_page.h"
#include "reports/wavefront_plots.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "trace/object_point.h"

namespace {

// Built-in variables 39 to 43: the object point's y, x, z, pupil y and pupil x.
constexpr int kSysVarReferenceRayY = 39;
constexpr int kDoubleVariable = 2;

}  // namespace

void install_report_handlers() {
    set_handler(kSlotPlotRayFans, cmd_plot_ray_fans);
    set_handler(kSlotPlotAstigmatism, cmd_plot_astigmatism);
    set_handler(kSlotPlotDistortion, cmd_plot_distortion);
    set_handler(kSlotPlotLateralColor, cmd_plot_lateral_color);
    set_handler(kSlotPlotLongitudinalAberration, cmd_plot_longitudinal_aberration);
    set_handler(kSlotPlotIntensitySections, cmd_plot_intensity_sections);
    set_handler(kSlotPlotPsf, cmd_plot_psf);
    set_handler(kSlotPlotPsfEnergy, cmd_plot_psf_energy);
    set_handler(kSlotPlotLineSpread, cmd_plot_line_spread);
    set_handler(kSlotPlotMtfEnergy, cmd_plot_mtf_energy);
    set_handler(kSlotPlotIntensityPerspective, cmd_plot_intensity_perspective);
    set_handler(kSlotPlotSpotDiagram, cmd_plot_spot_diagram);
    set_handler(kSlotPlotWavefront, cmd_plot_wavefront);
    set_handler(kSlotSelectRayAberration, cmd_select_ray_aberration);
    set_handler(kSlotSelectSpotAnalysis, cmd_select_spot_analysis);
    set_handler(kSlotSelectDiffractionImage, cmd_select_diffraction_image);
    set_handler(kSlotSelectMtf, cmd_select_mtf);
    set_handler(kSlotSelectWavefront, cmd_select_wavefront);
    set_handler(kSlotSelectGeoSections, cmd_select_geo_sections);
    set_handler(kSlotSelectPsfSections, cmd_select_psf_sections);
    set_handler(kSlotSelectEnergyAnalysis, cmd_select_energy_analysis);
    set_handler(kSlotSelectPsfAnalysis, cmd_select_psf_analysis);
    set_handler(kSlotUpdateGraphicsWindows, cmd_update_graphics_windows);
    set_handler(kSlotReportGraphics, cmd_report_graphics);
    set_handler(kSlotReportWavefrontPage, cmd_report_wavefront_page);
    set_handler(kSlotReportRayTracePage, cmd_report_ray_trace_page);
    set_handler(kSlotRunReportProcedure, cmd_run_report_procedure);
    set_handler(kSlotReportSpotPage, cmd_report_spot_page);
    set_handler(kSlotReportMtfPage, cmd_report_mtf_page);
    set_handler(kSlotReportPsfPage, cmd_report_psf_page);
    set_handler(kSlotAnalysisChoicesA, cmd_preset_defs_512_513);
    set_handler(kSlotAnalysisChoicesB, cmd_preset_defs_878_879);
    set_handler(kSlotAnalysisChoicesC, cmd_preset_defs_881_882);
    set_handler(kSlotAnalysisReferenceChoices, cmd_preset_def_883);
    set_handler(kSlotAnalysisChoicesD, cmd_preset_defs_887_888);
    set_handler(kSlotAnalysisChoicesE, cmd_preset_defs_976_975);
    set_handler(kSlotOpenSliderDesign, cmd_open_slider_design);

    // The reference ray's set-up as the command language reads it (Trr_fby ... Trr_fxrf).
    ObjectPoint& p = object_point();
    kpl_bind_sysvar(kSysVarReferenceRayY, &p.y, kDoubleVariable, 0, 0);
    kpl_bind_sysvar(kSysVarReferenceRayY + 1, &p.x, kDoubleVariable, 0, 0);
    kpl_bind_sysvar(kSysVarReferenceRayY + 2, &p.z, kDoubleVariable, 0, 0);
    kpl_bind_sysvar(kSysVarReferenceRayY + 3, &p.pupil_y, kDoubleVariable, 0, 0);
    kpl_bind_sysvar(kSysVarReferenceRayY + 4, &p.pupil_x, kDoubleVariable, 0, 0);
}
