#include "app/program_handlers.h"

#include <cmath>

#include "app/command_dialog.h"
#include "app/command_line.h"
#include "app/compile_driver.h"
#include "app/graphics_text_strip.h"
#include "app/import_hooks.h"
#include "app/main_loop.h"
#include "app/ray_source_commands.h"
#include "app/sheet_strip.h"
#include "app/splash.h"
#include "app/startup.h"
#include "app/toolbar.h"
#include "app/window_captions.h"
#include "drawing/draw_lens.h"
#include "drawing/draw_rays.h"
#include "drawing/drawing_conditions_sheet.h"
#include "drawing/dxf_export.h"
#include "drawing/element_drawing.h"
#include "drawing/element_outlines.h"
#include "drawing/element_sheets.h"
#include "drawing/iges_export.h"
#include "entry/at_surface_entry.h"
#include "entry/aux_sheets.h"
#include "entry/conjugates_window.h"
#include "entry/entry_frame.h"
#include "entry/entry_install.h"
#include "entry/lens_commands.h"
#include "entry/lens_sheets.h"
#include "entry/sheet_hooks.h"
#include "entry/sheet_options.h"
#include "entry/special_sheets.h"
#include "entry/stock_parts_window.h"
#include "entry/surface_sheet.h"
#include "entry/wavelength_sheet.h"
#include "evaluation/evaluation_install.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_settings_sheet.h"
#include "evaluation/spot_store.h"
#include "graphics/animation_files.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_files.h"
#include "graphics/graphics_hooks.h"
#include "graphics/graphics_hpgl.h"
#include "graphics/graphics_mouse.h"
#include "graphics/plot_commands.h"
#include "graphics/stroke_font.h"
#include "kpl/kpl_operators.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_reader.h"
#include "lens/lens_text_commands.h"
#include "lens/lens_writer.h"
#include "lens/private_catalog.h"
#include "lens/stock_lenses.h"
#include "lens/test_glasses.h"
#include "optimise/operand_sheet.h"
#include "optimise/optimise_commands.h"
#include "optimise/optimise_params_sheet.h"
#include "optimise/tolerance_commands.h"
#include "optimise/tolerance_table.h"
#include "optimise/variable_sheet.h"
#include "platform/ui.h"
#include "reports/report_install.h"
#include "runtime/array_commands.h"
#include "runtime/command_levels.h"
#include "runtime/definitions.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/file_commands.h"
#include "runtime/folder_lists.h"
#include "runtime/format_print.h"
#include "runtime/help_command.h"
#include "runtime/math_commands.h"
#include "runtime/messages.h"
#include "runtime/script_commands.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/string_commands.h"
#include "runtime/user_libraries.h"
#include "runtime/window_services.h"
#include "runtime/window_titles.h"
#include "trace/derived_rays.h"
#include "trace/grin_propagation.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/paraxial_commands.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_aiming.h"
#include "trace/ray_fan.h"
#include "trace/single_ray_listing.h"
#include "trace/special_surfaces.h"
#include "trace/speed_test.h"
#include "trace/surface_probes.h"
#include "ui/choice_lists.h"
#include "ui/edit_commands.h"
#include "ui/edit_window.h"
#include "ui/font_file.h"
#include "ui/graphics_text_window.h"
#include "ui/grid_control.h"
#include "ui/grid_line_entry.h"
#include "ui/menus.h"
#include "ui/status_line.h"
#include "ui/text_area.h"
#include "ui/text_file_commands.h"
#include "ui/text_print.h"
#include "ui/window_table.h"

namespace {

// The lower layers reach what lies above them only through these.
// The spreadsheet grid: its painter, input and commands, and what it needs of the command line,
// the main loop and the command levels above and below it.
void install_spreadsheet_grid() {
    install_grid();
    GridCommandLineHooks& line = grid_command_line_hooks();
    line.prompt_open = [] { return prompt_state() != 0; };
    line.escape = escape_command_line;
    line.commit = [] {
        platform::UiBackend* ui = platform::current_ui();
        const std::string text = ui != nullptr ? ui->command_line_text() : std::string();
        enter_command_line(text.c_str());
    };
    set_grid_action_runner([] { grid_post_action(0, 0); });
    set_level_refresh_hook([] {
        fit_spreadsheet_to_lines();
        grid_refresh_level();
    });
    set_level_change_sender([](int n) { return grid_dispatch_event(kGridLevelChange + n); });
}

void install_upward_hooks() {
    set_first_load_companion(load_stroke_font);
    set_before_start_up_box(splash_close);
    set_window_title_applier(apply_pending_captions);
    SettingsHooks settings;
    settings.apply_window_option = set_window_option;
    settings.lens_title = lens_title_for_caption;
    settings.resize_spot_storage = resize_spot_storage;
    settings.graphics_setting_changed = graphics_setting_changed;
    set_settings_hooks(settings);
    set_spot_update_output_source(&update_output_flags().during_update);
    install_text_areas();
    set_sheet_window_shower(show_spreadsheet_window);
    set_level_window_closer(hide_spreadsheet_window);
    install_spreadsheet_grid();
    WindowServices windows;
    windows.textwin_close = textwin_close;
    windows.textwin_select = textwin_select;
    windows.textwin_clear = textwin_clear;
    windows.activate_window = [](int window) {
        if (platform::UiBackend* ui = platform::current_ui()) ui->activate_window(window);
    };
    windows.copy_text_to_clipboard = copy_text_to_clipboard;
    windows.copy_graphics_to_clipboard = graphwin_copy_to_clipboard;
    windows.print_text_window = print_text_window;
    windows.choose_fonts = choose_fonts;
    windows.arrange_icons = [] {
        if (platform::UiBackend* ui = platform::current_ui()) ui->arrange_icons();
    };
    windows.editwin_close = editwin_close;
    windows.editwin_show = editwin_show;
    set_window_services(windows);
    set_menu_submitter(submit_command_line);
    set_choice_shower(show_choice);
    install_edit_window();
    install_edit_commands();
    set_menu_rebuilder(reload_menus);
    set_strip_command_runner(run_strip_command);
    set_window16_strip_builder(build_window16_strip);
    set_stock_parts_view(stock_parts_window_view());
    install_status_line();
    install_menus();
    install_graphics_commands();
    install_animation_commands();
    install_plot_commands();
    set_graphics_hpgl_writer(gfx_hpgl_string);
    set_prompt_waiting_query([] { return prompt_state() != 0; });
    GraphicsStripHooks strip;
    strip.build = [](int window) {
        create_toolbar(window, 0, 0, kMsgGraphicsToolbar);
        // Graphics buttons have no condition: they are always enabled.
        platform::UiBackend* ui = platform::current_ui();
        for (int id = kGraphicsToolCommandFirst; ui != nullptr && id <= 86; ++id) {
            ui->enable_tool_button(window, id, true);
        }
    };
    strip.command = run_toolbar_command;
    set_graphics_strip_hooks(strip);
}

// Lens files: the set-up after reading, the focal length of the "LEN NEW" line, and the save
// prompt that the new-lens dialogs run (a failed save stops them as a cancel does).
void install_lens_files() {
    install_lens_file_commands();
    install_text_file_commands();
    set_edit_window_maker([] {
        if (create_edit_window() != 0) return -1;
        if (platform::UiBackend* ui = platform::current_ui()) {
            ui->show_window(platform::kWindowEdit, true);
        }
        set_state_flag(kFlagEditWindowShown);
        return 0;
    });
    set_lens_read_finisher([] { return lens_setup(0); });
    set_focal_length_source([] {
        double values[6] = {};
        paraxial_setup_data(0, 0, values);
        return std::isfinite(values[0]) ? values[0] : 0.0;
    });
    set_save_prompt([] {
        const int r = save_if_changed();
        return r == kStopped || r == kErrorTextReady ? kStopped : 0;
    });
}

// The lens drawing's commands, and the rows of the lens spreadsheet that it draws highlighted.
void install_lens_drawing() {
    set_handler(kSlotDrawLens, cmd_draw_lens);
    set_handler(kSlotDrawRays, cmd_draw_rays);
    set_handler(kSlotDrawLensPicture, cmd_draw_lens_picture);
    set_handler(kSlotDrawFieldRays, cmd_draw_field_rays);
    set_handler(kSlotExportDxf, cmd_export_dxf);
    set_handler(kSlotExportIges, cmd_export_iges);
    set_handler(kSlotExportDrawing, cmd_export_drawing);
    set_element_drawing_dropper(drop_element_drawings);
    set_element_start_test(is_element_start);
    set_drawing_conditions_level(drawing_conditions_event, drawing_conditions_rows);
    set_aux_sheet_procedure(kAuxSheetDrawingConditions, open_drawing_conditions_sheet);
    set_drawing_selection_source([](int* first, int* last) {
        const CommandLevel* level = top_level();
        if (level == nullptr || level->handler != surface_sheet_event) return false;
        *first = surface_sheet_state().first;
        *last = surface_sheet_state().last;
        return true;
    });
}

}  // namespace

void install_program_handlers() {
    install_upward_hooks();
    install_glass_catalog_handlers();
    install_test_glasses();
    install_stock_lenses(lens_setup);
    set_catalog_parts_opener(open_catalog_parts);
    install_paraxial_handlers();
    install_lens_handlers();
    install_entry_handlers();
    install_surface_sheet();
    install_sheet_options();
    install_sheet_hooks();
    install_special_sheets();
    set_aux_sheet_procedure(kAuxSheetSpotSettings, open_spot_settings_sheet_aux);
    install_lens_sheets();
    install_wavelength_sheet();
    install_lens_text_commands();
    install_help_command();
    install_string_commands();
    install_format_print();
    install_file_commands();
    install_script_commands();
    install_user_libraries();
    install_array_commands();
    install_math_commands(kpl_power);
    set_handler(kSlotPrintOrPlot, cmd_print_or_plot);
    set_graphics_plot_command(cmd_plot_graphics);
    set_handler(kSlotPrinterCapabilities, cmd_printer_capabilities);
    set_handler(kSlotAbout, cmd_about);
    // Also gives the glass, paraxial and group code the set-up they run after their changes.
    install_lens_setup();
    install_derived_rays();
    install_object_point();
    install_ray_aiming();
    install_single_ray_listing();
    install_special_surfaces();
    install_grin_propagation();
    install_ray_source_commands();
    install_conjugates_window();
    install_ray_fan();
    install_speed_test();
    install_surface_probes();
    install_evaluation_handlers();
    install_report_handlers();
    install_optimise_handlers();
    install_tolerancing_handlers();
    install_tolerance_tables();
    set_handler(kSlotOpenOperandsSheet, cmd_open_operands_sheet);
    set_handler(kSlotOpenVariablesSheet, cmd_open_variables_sheet);
    set_aux_sheet_procedure(kAuxSheetOptimiseParams, open_optimise_params_sheet);
    new_lens_sheet_hooks().reset_object_point = reset_object_point;
    install_lens_files();
    install_element_drawings();
    install_element_sheets();
    install_lens_drawing();
    install_import_hooks();
    // Last: the folder commands share kSlotFileOperations with the lens-file commands and hand
    // every other command of the slot on to the handler installed there before them.
    install_folder_lists();
    set_list_window_shower([] { fill_choice_list(1); });
}
