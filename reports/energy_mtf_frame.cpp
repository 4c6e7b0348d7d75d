#include "reports/energy_mtf_frame.h"

#include <cmath>
#include <span>
#include <string>

#include "evaluation/mtf_curves.h"
#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "reports/plot_frame.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "trace/ray_record.h"

namespace {

constexpr int kMtfCurveMarker = 7;  // the diffraction-limited curve
constexpr std::size_t kLongTitle = 36;
// The title block's cells as fractions of the window's width: the title left of the split at
// 0.6, the legend and field point right of it.
constexpr double kTitleCell = 0.6;
constexpr double kLegendCell = 0.4;

// A message drawn whole in its cell, smaller when at the current size it would not fit.
template <typename... Args>
void print_msg_within(double cell, int code, const Args&... args) {
    const FormatArg list[] = {FormatArg(args)...};
    print_within(cell, format_message(code, std::span<const FormatArg>(list, sizeof...(Args))));
}

int heading_message(int command, bool* with_number) {
    const LensData& lens = lens_data();
    *with_number = false;
    switch (command) {
        case kCmdPlotRadEnergyDist:
            if (arg_int(0) == 0) return kMsgGeometricEnergyTitle;
            if (arg_int(3) == 1) return kMsgDiffractionEnergyPolyTitle;
            *with_number = true;
            return kMsgDiffractionEnergyTitle;
        case kCmdPlotEnsquaredEnergy:
            return kMsgEnsquaredEnergyTitle;
        case kCmdPlotPsfEncircled:
        case kCmdPlotPsfEnsquared: {
            const bool all = arg_int(0) == 1 && lens.wavelength_count > 1;
            *with_number = !all;
            if (command == kCmdPlotPsfEncircled) {
                return all ? kMsgEncircledPsfPolyTitle : kMsgEncircledPsfTitle;
            }
            return all ? kMsgEnsquaredPsfPolyTitle : kMsgEnsquaredPsfTitle;
        }
        default:
            return 0;
    }
}

}  // namespace

namespace {

void draw_frame(double dval) {
    const LensData& lens = lens_data();
    const int command = current_command();
    const bool mtf = command == kCmdPlotMtf;
    const bool through_focus = mtf && arg_int(0) == 1;
    begin_plot_page();

    int number = 0;
    int marker = 1;
    bool negative_marker = false;
    if (mtf) {
        number = arg_int(2);
        marker = arg_int(7);
        negative_marker = marker < 0;
        if (marker < 1) marker = 1;
    } else if (command == kCmdPlotRadEnergyDist) {
        number = arg_int(4);
    } else if (command == kCmdPlotPsfEncircled || command == kCmdPlotPsfEnsquared) {
        number = arg_int(1);
        if (number == 0) number = reference_ray().ray.wavelength + 1;
    }
    if (number == 0) number = lens.current_wavelength + 1;

    const bool labels = get_setting_flag(kSetGraphicsLabels) != 0;
    const RayRecord& ref = reference_ray().ray;
    if (labels) {
        set_plot_world(0.0, 1.0, 0.0, 1.0);
        draw_title_block(0.6, true);
        plot_text_at(0.8, 0.9, 4);
        if (mtf) {
            print_msg_within(kLegendCell, kMsgMtfLegend, marker, marker + 1, kMtfCurveMarker);
        } else {
            print_msg_within(kLegendCell, kMsgPlotFocusShift,
                             std::string(format_number(dval, 6, 0)));
        }
        plot_text_at(0.8, 0.95, 4);
        const std::string y = format_number(ref.obj_y, 5, 0);
        const std::string x = format_number(ref.obj_x, 5, 0);
        if (mtf && !through_focus) {
            print_msg_within(kLegendCell, kMsgFieldAndFocus, y, x,
                             std::string(format_number(dval, 5, 0)));
        } else {
            print_msg_within(kLegendCell, kMsgPlotFieldPoint, y, x,
                             std::string(format_number(ref.obj_z, 5, 0)));
        }
        const std::string title = plot_title();
        plot_text_at(0.3, 0.95, 4);
        if (title.size() > kLongTitle) gfx_set_text_size(0.9, 0.0, 0.0);
        if (mtf) {
            const bool geometric =
                std::fabs(spot_store().reference_pv) > lens.spot_settings->mtf_path_limit;
            const bool poly = arg_int(1) == 1;
            if (through_focus) {
                const std::string f = format_number(dval, poly && !geometric ? 6 : 7, 0);
                if (poly) {
                    print_msg_within(kTitleCell,
                                     geometric ? kMsgThroughFocusGeometricPolyTitle
                                               : kMsgThroughFocusMtfPolyTitle,
                                     title, f);
                } else {
                    print_msg_within(
                        kTitleCell,
                        geometric ? kMsgThroughFocusGeometricTitle : kMsgThroughFocusMtfTitle,
                        title, f, number);
                }
            } else if (poly) {
                print_msg_within(
                    kTitleCell, geometric ? kMsgGeometricMtfPolyTitle : kMsgDiffractionMtfPolyTitle,
                    title);
            } else {
                print_msg_within(kTitleCell,
                                 geometric ? kMsgGeometricMtfTitle : kMsgDiffractionMtfTitle, title,
                                 number);
            }
        } else {
            bool with_number = false;
            const int heading = heading_message(command, &with_number);
            if (with_number) {
                print_msg_within(kTitleCell, heading, title, number);
            } else if (heading != 0) {
                print_msg_within(kTitleCell, heading, title);
            }
        }
    }

    set_plot_world(-0.2, 1.15, -0.2, 1.3);
    if (get_setting_flag(kSetGraphicsAxes) == 0) return;
    const double fraction = through_focus ? 0.25 : 0.2;
    // A box with inward ticks: the shifted frame puts the axes on the top and right edges.
    set_plot_world(-1.2, 0.15, -1.2, 0.3);
    draw_plot_axes(-1.0, 0.0, -1.0, 0.0, fraction, 0.01);
    set_plot_world(-0.2, 1.15, -0.2, 1.3);
    draw_plot_axes(0.0, 1.0, 0.0, 1.0, fraction, 0.01);
    const double scale = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
    const int labels_count = through_focus ? 5 : 6;
    const double step = through_focus ? 0.25 : 0.2;
    for (int i = 0; i < labels_count; ++i) {
        const double value = through_focus ? (i - 2) * 0.5 * scale : i * 0.2 * scale;
        plot_text_at(i * step, 0.0, 26);
        gfx_print_msg(kMsgPlotNumberLabel, std::string(format_number(value, 3, 0)));
    }
    const bool titles = labels || negative_marker;
    if (titles) {
        int caption;
        if (command == kCmdPlotEnsquaredEnergy || command == kCmdPlotPsfEnsquared) {
            caption = lens.afocal ? kMsgAfocalWidthCaption : kMsgWidthCaption;
        } else if (mtf) {
            caption = through_focus
                          ? kMsgFocusShiftCaption
                          : (lens.afocal ? kMsgAfocalFrequencyCaption : kMsgFrequencyCaption);
        } else {
            caption = lens.afocal ? kMsgAfocalRadiusCaption : kMsgRadiusCaption;
        }
        plot_text_at(0.5, 0.0, 86);
        gfx_print_msg(caption);
    }
    for (int i = 0; i < labels_count; ++i) {
        plot_text_at(0.0, i * step, 38);
        gfx_print_msg(kMsgPlotNumberLabel, std::string(format_number(i * step, 3, 0)));
    }
    if (titles) {
        plot_text_at(0.0, 0.5, 164, -90);
        gfx_print_msg(mtf ? kMsgModulusCaption : kMsgEnergyCaption);
    }
}

}  // namespace

void draw_energy_mtf_frame(double dval) {
    // Drawn over an earlier plot (no new page), the curves go on from the pen the caller set,
    // taking the colour after it, as a report page's legend shows them: the frame's own pen
    // would make every curve the same colour.
    const GraphicsWindow* g = graphics_current_record();
    const int pen = g != nullptr ? g->pen_colour : 1;
    draw_frame(dval);
    if (get_setting_flag(kSetGraphicsAutoclear) == 0) gfx_set_color(pen);
}
