#include "evaluation/gaussian_beam_sheet.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "evaluation/beam_plot.h"
#include "evaluation/beam_table.h"
#include "graphics/graphics_sliders.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "trace/system_matrix.h"
#include "ui/grid_control.h"
#include "ui/sheet_kit.h"

namespace {

constexpr int kHelpTopic = -kHelpTopicGaussianBeamSheet;
constexpr int kItemBits = 0x07ff;
constexpr int kInactive = 0x8000;
constexpr int kTableButton = 0x62bd;
constexpr int kPlotButton = 0x635d;

GaussianBeamSheet g_sheet;

GaussianBeamSheet& s() {
    return g_sheet;
}

int image_surface() {
    return lens_data().image_surface;
}

// The surface whose medium a plane behind j lies in: 0 below 1, the last before the image from
// the image on.
int plane_surface(int j) {
    const int image = image_surface();
    if (j < 1) return 0;
    if (j >= image) return image - 1;
    return j;
}

double* quantity_field(BeamParams& beam, int q) {
    switch (q) {
        case kBeamSpot:
            return &beam.spot;
        case kBeamWaist:
            return &beam.waist;
        case kBeamDistance:
            return &beam.distance;
        default:
            return &beam.radius;
    }
}

double quantity_value(const BeamValues& v, int q) {
    switch (q) {
        case kBeamSpot:
            return v.spot;
        case kBeamWaist:
            return v.waist;
        case kBeamDistance:
            return v.distance;
        default:
            return v.radius;
    }
}

// A value that the grid shows but does not let the user edit.
void inactive_number(bool inactive, double value) {
    if (inactive) text_hotspot(kInactive, 0);
    text_number(value);
}

void cell_int(int item, const char* format, int value) {
    text_hotspot(item, 0);
    text_printf(format, value);
}

void bar() {
    write_output_text("|", false);
}

// The wavelength the sheet stored may be gone from a lens edited meanwhile.
void check_wavelength() {
    GaussianBeamSheet& b = s();
    if (b.wavelength >= 1 && b.wavelength <= lens_data().wavelength_count) return;
    msg_box(kMsgBeamWavelengthReset, b.wavelength);
    b.wavelength = 1;
}

void write_rows() {
    GaussianBeamSheet& b = s();
    const BeamParams& beam = selected_beam();
    const BeamValues& second = selected_second_beam();
    const bool single = b.two_solutions == 0;
    sheet_set_title(kHelpTopic, kMsgBeamSheetTitle);

    print_msg(kMsgBeamFirstSurface);
    cell_int(kBeamItemFirst, " %3d ", b.first);
    print_msg(kMsgBeamLastSurface);
    cell_int(kBeamItemLast, " %3d ", b.last);
    text_newline();

    for (int side = 0; side < 2; ++side) {
        if (side == 1) bar();
        text_spaces(side == 0 ? 16 : 17);
        print_msg(kMsgBeamFirstHead);
        if (single) text_hotspot(kInactive, 0);
        print_msg(kMsgBeamSecondHead);
    }
    text_newline();

    const BeamValues input{beam.spot, beam.waist, beam.distance, beam.radius};
    const int labels[4] = {kMsgBeamSpotLabel, kMsgBeamWaistLabel, kMsgBeamDistanceLabel,
                           kMsgBeamRadiusLabel};
    for (int q = 0; q < 4; ++q) {
        print_msg(labels[q]);
        write_output_text(beam.marks[q] != 0 ? "* " : "  ", false);
        sheet_number_cell(kBeamItemSpot + q, 0, quantity_value(input, q));
        text_spaces(1);
        inactive_number(single, quantity_value(second, q));
        bar();
        print_msg(labels[q]);
        text_spaces(3);
        text_number(quantity_value(b.output, q));
        text_spaces(1);
        inactive_number(single, quantity_value(b.second_output, q));
        text_newline();
    }

    const double lambda_in = sheet_lambda(plane_surface(b.first));
    const double lambda_out = sheet_lambda(plane_surface(b.last));
    print_msg(kMsgBeamDivergenceLabel);
    text_spaces(2);
    text_number(beam_divergence(beam.waist, lambda_in));
    text_spaces(1);
    inactive_number(single, beam_divergence(second.waist, lambda_in));
    bar();
    print_msg(kMsgBeamDivergenceLabel);
    text_spaces(3);
    text_number(beam_divergence(b.output.waist, lambda_out));
    text_spaces(1);
    inactive_number(single, beam_divergence(b.second_output.waist, lambda_out));
    text_newline();

    print_msg(kMsgBeamRayleighLabel);
    text_spaces(2);
    text_number(beam_rayleigh_range(beam.waist, lambda_in));
    text_spaces(1);
    inactive_number(single, beam_rayleigh_range(second.waist, lambda_in));
    bar();
    print_msg(kMsgBeamRayleighLabel);
    text_spaces(3);
    text_number(beam_rayleigh_range(b.output.waist, lambda_out));
    text_spaces(1);
    inactive_number(single, beam_rayleigh_range(b.second_output.waist, lambda_out));
    text_newline();

    print_msg(kMsgBeamWavelengthNumber);
    cell_int(kBeamItemWavelength, " %2d ", b.wavelength);
    bar();
    print_msg(kMsgBeamOffsetLabel);
    sheet_number_cell(kBeamItemOffset, 0, b.offset);
    text_newline();

    print_msg(kMsgBeamWavelengthLabel);
    text_number(lens_data().wavelengths[b.wavelength - 1].wavelength);
    bar();
    print_msg(kMsgBeamSectionLabel);
    text_hotspot_msg(kBeamItemSectionY, 0, b.section == 1 ? 1 : 0, kMsgBeamSectionY);
    text_spaces(2);
    text_hotspot_msg(kBeamItemSectionX, 0, b.section == 0 ? 1 : 0, kMsgBeamSectionX);
    text_newline();

    print_msg(kMsgBeamQualityLabel);
    sheet_number_cell(kBeamItemQuality, 0, beam.quality);
    bar();
    text_spaces(7);
    text_hotspot(kTableButton, 0);
    print_msg(kMsgBeamTableButton);
    text_newline();

    text_hotspot(kPlotButton, 0);
    print_msg(kMsgBeamPlotButton);
    text_spaces(5);
    text_hotspot_msg(kBeamItemPlotWindow7, 0, b.plot_window7 != 0 ? 1 : 0, kMsgBeamPlotWindow7);
    text_spaces(3);
    text_hotspot_msg(kBeamItemPlotCurrent, 0, b.plot_window7 == 0 ? 1 : 0, kMsgBeamPlotCurrent);
    text_newline();
}

// Redisplay: the lens brought up to date first (a failure is kept in the error-text buffer and
// the sheet written anyway), unless a typed line asked for the sheet alone.
int redisplay(bool setup) {
    if (setup) {
        if (const int rc = lens_setup(0); rc != 0) {
            set_error_msg(rc, lens_data().failing_surface);
        }
    }
    begin_level_output();
    const int rc = print_gaussian_beam_sheet();
    const int shown = end_level_output();
    return rc != 0 ? rc : shown;
}

// Frees what the paraxial walk and the plot keep; the probe finds nothing to read afterwards.
void free_work_arrays() {
    release_system_matrix_arrays();
    GaussianBeamSheet& b = s();
    b.waist1 = {};
    b.distance1 = {};
    b.waist2 = {};
    b.distance2 = {};
    b.arrays_image = -1;
}

int level_shown() {
    GaussianBeamSheet& b = s();
    if (const int rc = lens_setup(0); rc != 0) {
        set_error_msg(rc, lens_data().failing_surface);
        end_command_level();
        return -9998;
    }
    if (b.resumed == 0 || !b.holds_copy) {
        revert_copy_save(kMsgBeamSheetRevertCopy);
        b.holds_copy = true;
        b.sliders_shown = 0;
    }
    b.resumed = 0;
    b.shown = true;
    if (lens_data().beam_sheet_reset != 0) {
        load_gaussian_beam_defaults();
        lens_data().beam_sheet_reset = 0;
    }
    b.y_second = b.x_second = BeamValues{};
    b.output = b.second_output = BeamValues{};
    set_level_cursor(kBeamItemSpot + kBeamWaist, 0, 0);
    begin_level_output();
    print_gaussian_beam_sheet();
    set_state_flag(kFlagBeamSheetOpen);
    return end_level_output();
}

int level_changed(int exit_code) {
    GaussianBeamSheet& b = s();
    int result = 0;
    if (exit_code == 1 && b.shown) {
        b.resumed = 1;
    } else {
        b.resumed = 0;
        if (b.holds_copy) {
            b.holds_copy = false;
            // Cancelled: the lens as it was when the sheet opened; otherwise the copy goes.
            result = revert_copy_restore(kMsgBeamSheetRevertCopy, exit_code == -1 ? 1 : 0);
        }
        clear_state_flag(kFlagBeamSheetOpen);
        if (b.sliders_shown != 0) sliders_hide();
        b.sliders_shown = 0;
        b.shown = false;
    }
    free_work_arrays();
    return result;
}

int cell_text(GridEvent& event) {
    const int item = event.field & kItemBits;
    GaussianBeamSheet& b = s();
    BeamParams& beam = selected_beam();
    switch (item) {
        case kBeamItemWavelength:
        case kBeamItemFirst:
        case kBeamItemLast: {
            const int n = item == kBeamItemWavelength ? b.wavelength
                          : item == kBeamItemFirst    ? b.first
                                                      : b.last;
            sheet_edit_text(event, std::to_string(n).c_str());
            return 0;
        }
        case kBeamItemOffset:
            sheet_edit_text(event, format_number(b.offset, 2, 0));
            return 0;
        case kBeamItemQuality:
            sheet_edit_text(event, format_number(beam.quality, 2, 0));
            return 0;
        default:
            if (item >= kBeamItemSpot && item < kBeamItemSpot + 4) {
                const double v = *quantity_field(beam, item - kBeamItemSpot);
                sheet_edit_text(event, format_number(v, 2, 0));
            }
            return 0;
    }
}

// A typed number into its cell; a value that cannot be taken is named in a warning and lost.
void number_typed(int item, double value) {
    GaussianBeamSheet& b = s();
    BeamParams& beam = selected_beam();
    const int image = image_surface();
    if (!std::isfinite(value)) return;
    if (item == kBeamItemSpot + kBeamSpot || item == kBeamItemSpot + kBeamWaist) {
        if (value > 0.0) {
            *quantity_field(beam, item - kBeamItemSpot) = value;
            mark_beam_quantity(beam, item - kBeamItemSpot);
        } else {
            msg_box(kMsgBeamNotPositive, value);
        }
    } else if (item == kBeamItemSpot + kBeamDistance || item == kBeamItemSpot + kBeamRadius) {
        *quantity_field(beam, item - kBeamItemSpot) = value;
        mark_beam_quantity(beam, item - kBeamItemSpot);
    } else if (item == kBeamItemQuality) {
        if (value >= 1.0) {
            beam.quality = value;
        } else {
            msg_box(kMsgBeamQualityBelowOne, value);
        }
    } else if (item == kBeamItemWavelength) {
        const int count = lens_data().wavelength_count;
        if (value >= 1.0 && value <= count) {
            b.wavelength = static_cast<int>(value);
        } else {
            msg_box(kMsgBeamWavelengthRefused, static_cast<int>(value), count);
        }
    } else if (item == kBeamItemOffset) {
        b.offset = value;
    } else if (item == kBeamItemFirst || item == kBeamItemLast) {
        if (value >= 0.0 && value <= image) {
            (item == kBeamItemFirst ? b.first : b.last) = static_cast<int>(value);
        } else {
            msg_box(kMsgBeamSurfaceRefused, static_cast<int>(value), image);
        }
    }
}

// The plot: into window 7 with the position probe, or into the current graphics window.
int plot_from_sheet() {
    GaussianBeamSheet& b = s();
    double spot1 = 0.0, spot2 = 0.0;
    if (b.plot_window7 != 0) {
        const int previous = graphics_current();
        int rc = graphwin_open(7, 0, 0, 0, 0);
        if (rc >= 0) {
            graphwin_new_page(1);
            rc = plot_gaussian_beam(spot1, spot2);
            if (rc == 0) rc = plot_beam_position(spot1, spot2);
            b.sliders_shown = 1;
        }
        if (previous > 0) graphwin_select(previous);
        return rc;
    }
    if (test_state_flag(kFlagGraphicsDeviceReady) == 0) {
        if (const int rc = graphwin_open(1, 0, 0, 0, 0); rc < 0) return rc;
    }
    if (get_setting_flag(kSetGraphicsAutoclear) != 0) graphwin_new_page(1);
    return plot_gaussian_beam(spot1, spot2);
}

int picked(const GridEvent& event) {
    const int item = event.field & kItemBits;
    GaussianBeamSheet& b = s();
    switch (item) {
        case kBeamItemTable:
            return list_beam_propagation();
        case kBeamItemPlot:
            return plot_from_sheet();
        case kBeamItemSectionY:
        case kBeamItemSectionX:
            b.section = item == kBeamItemSectionY ? 1 : 0;
            return redisplay(true);
        case kBeamItemPlotWindow7:
        case kBeamItemPlotCurrent:
            b.plot_window7 = item == kBeamItemPlotWindow7 ? 1 : 0;
            return redisplay(true);
        default:
            return redisplay(true);
    }
}

int typed_text(const char* text) {
    if (text == nullptr) return redisplay(true);
    const int rc = run_command_string(text, 1);
    if (rc != 0 || grid_refresh_request() == 0) return rc;
    return redisplay(false);
}

int number_entered(const GridEvent& event) {
    number_typed(event.field & kItemBits,
                 event.value_type == kArgInt ? event.value.i : event.value.d);
    return redisplay(true);
}

// A line typed while no cell takes it runs as a command, and the sheet shows the lens it
// leaves; anything else only writes the sheet again.
int otherwise(GridEvent& event) {
    if (event.code == kLevelEventTypedText) return typed_text(event.text);
    if (event.code == kLevelEventTypedLine && event.text != nullptr && event.text[0] != '\0') {
        if (const int rc = run_command_string(event.text, 1); rc != 0) return rc;
    }
    return redisplay(true);
}

int may_close() {
    return revert_copy_unchanged(kMsgBeamSheetRevertCopy);
}

// The sheet keeps its copy of the lens its own way: over a level pushed on top it stays, and
// only the sheet's own flag marks it open.
const SheetEvents kEvents{
    .opening = level_shown,
    .opens_itself = true,
    .cell_text = cell_text,
    .edited = number_entered,
    .activated = picked,
    .other = otherwise,
    .may_close = may_close,
    .closing = level_changed,
};

// The kit's record only carries the events; the sheet's own state holds its copy.
SheetKit g_kit;

}  // namespace

GaussianBeamSheet& gaussian_beam_sheet() {
    return g_sheet;
}

void reset_gaussian_beam_sheet() {
    g_sheet = GaussianBeamSheet{};
}

void load_gaussian_beam_defaults() {
    GaussianBeamSheet& b = s();
    b.y_beam = b.x_beam = BeamParams{};
    b.y_second = b.x_second = BeamValues{};
    b.output = b.second_output = BeamValues{};
    b.wavelength = 1;
    b.offset = 0.0;
    b.first = 0;
    b.last = image_surface();
    b.section = 1;
    b.plot_window7 = 1;
    b.two_solutions = 0;
}

BeamParams& selected_beam() {
    return g_sheet.section != 0 ? g_sheet.y_beam : g_sheet.x_beam;
}

BeamValues& selected_second_beam() {
    return g_sheet.section != 0 ? g_sheet.y_second : g_sheet.x_second;
}

double sheet_lambda0() {
    return beam_lambda0(g_sheet.wavelength - 1, selected_beam().quality);
}

double sheet_lambda(int j) {
    const double n = beam_medium_index(j, g_sheet.wavelength - 1);
    return sheet_lambda0() / (n > 0.0 ? n : 1.0);
}

int propagate_beam_to_last_surface() {
    GaussianBeamSheet& b = s();
    b.second_output = BeamValues{};
    BeamPath path;
    if (const int rc =
            beam_path_matrix(b.section, b.wavelength - 1, b.first, b.last, b.offset, path);
        rc != 0) {
        return rc;
    }
    const double lambda0 = sheet_lambda0();
    const BeamParams& beam = selected_beam();
    b.output = beam_through_matrix({beam.spot, beam.waist, beam.distance, beam.radius}, path.matrix,
                                   lambda0, path.n_in, path.n_out, path.backward);
    if (b.two_solutions != 0) {
        b.second_output = beam_through_matrix(selected_second_beam(), path.matrix, lambda0,
                                              path.n_in, path.n_out, path.backward);
    }
    return 0;
}

int print_gaussian_beam_sheet() {
    GaussianBeamSheet& b = s();
    check_wavelength();
    int rc = solve_beam_parameters(nullptr, selected_beam(), selected_second_beam(),
                                   sheet_lambda(plane_surface(b.first)), b.two_solutions);
    if (rc == 0) rc = propagate_beam_to_last_surface();
    write_rows();
    return rc;
}

int cmd_open_gaussian_beam_window() {
    return sheet_push(gaussian_beam_window_proc, kBeamSheetRows, kMsgBeamSheetStatus);
}

int gaussian_beam_window_proc(GridEvent& event) {
    return sheet_dispatch(g_kit, kEvents, event);
}

namespace {
const platform::StateReset gaussian_beam_sheet_state_reset{
    "evaluation/gaussian_beam_sheet", reset_gaussian_beam_sheet, platform::ResetLayer::feature};
}  // namespace
