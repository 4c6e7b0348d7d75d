#include "reports/report_install.h"

#include "reports/analysis_selectors.h"
#include "reports/fan_plots.h"
#include "reports/field_plots.h"
#include "reports/intensity_perspective.h"
#include "reports/mtf_energy_plots.h"
#include "reports/report_graphics.h"
#include "reports/section_plots.h"
#include "reports/spot_plot.h"
#include "reports/wavefront_plots.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"

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
    set_handler(kSlotSelectWavefront, cmd_select_wavefront);
    set_handler(kSlotSelectGeoSections, cmd_select_geo_sections);
    set_handler(kSlotSelectPsfSections, cmd_select_psf_sections);
    set_handler(kSlotSelectEnergyAnalysis, cmd_select_energy_analysis);
    set_handler(kSlotSelectPsfAnalysis, cmd_select_psf_analysis);
    set_handler(kSlotUpdateGraphicsWindows, cmd_update_graphics_windows);
    set_handler(kSlotReportGraphics, cmd_report_graphics);
}
