#include "app/program_handlers.h"

#include "app/splash.h"
#include "app/startup.h"
#include "app/window_captions.h"
#include "entry/entry_frame.h"
#include "entry/entry_install.h"
#include "entry/lens_commands.h"
#include "evaluation/evaluation_install.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_store.h"
#include "lens/lens_text_commands.h"
#include "lens/private_catalog.h"
#include "runtime/definitions.h"
#include "runtime/help_command.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/window_titles.h"
#include "trace/derived_rays.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/paraxial_commands.h"
#include "trace/ray_aiming.h"
#include "trace/ray_fan.h"
#include "trace/single_ray_listing.h"
#include "trace/speed_test.h"
#include "trace/surface_probes.h"
#include "ui/grid_line_entry.h"
#include "ui/stroke_font.h"

namespace {

// The lower layers reach what lies above them only through these.
void install_upward_hooks() {
    set_first_load_companion(load_stroke_font);
    set_before_start_up_box(splash_close);
    set_window_title_applier(apply_pending_captions);
    SettingsHooks settings;
    settings.apply_window_option = set_window_option;
    settings.lens_title = lens_title_for_caption;
    settings.resize_spot_storage = resize_spot_storage;
    set_settings_hooks(settings);
    set_spot_update_output_source(&output_during_update);
    install_grid_line_entry();
}

}  // namespace

void install_program_handlers() {
    install_upward_hooks();
    install_glass_catalog_handlers();
    install_paraxial_handlers();
    install_lens_handlers();
    install_entry_handlers();
    install_lens_text_commands();
    install_help_command();
    // Also gives the glass, paraxial and group code the set-up they run after their changes.
    install_lens_setup();
    install_derived_rays();
    install_object_point();
    install_ray_aiming();
    install_single_ray_listing();
    install_ray_fan();
    install_speed_test();
    install_surface_probes();
    install_evaluation_handlers();
    new_lens_sheet_hooks().reset_object_point = reset_object_point;
}
