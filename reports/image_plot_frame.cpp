#include "reports/image_plot_frame.h"

#include <cmath>
#include <span>
#include <string>

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

constexpr double kTiny = 1e-40;
constexpr double kGoldenAspect = 0.618034;
constexpr double kOffAxis = 1e-10;
constexpr std::size_t kLongTitle = 32;

}  // namespace

void set_isometric_world(double xmin, double xmax, double ymin, double ymax, int flag) {
    FrameBox viewport;
    gfx_frame(2, 1, &viewport);
    const double vw = viewport.xmax - viewport.xmin;
    const double vh = viewport.ymax - viewport.ymin;
    const double width = xmax - xmin;
    if (width <= kTiny || vw <= 0.0) return;
    const double r = kGoldenAspect * (vh / vw);
    if ((ymax - ymin) / width <= r) {
        const double centre = (ymin + ymax) / 2.0;
        ymin = centre - r * width / 2.0;
        ymax = centre + r * width / 2.0;
    } else {
        const double centre = (xmin + xmax) / 2.0;
        const double half = ((ymax - ymin) / 2.0) / r;
        xmin = centre - half;
        xmax = centre + half;
    }
    FrameBox world{xmin, xmax, ymin, ymax, flag};
    gfx_frame(1, 2, &world);
}

void draw_image_plot_frame(double dz, double y_offset, double x_offset, double scale, int w) {
    const LensData& lens = lens_data();
    const int all = get_setting_int(kSetMaxWavelengths, 0, 0);
    const bool polychromatic = w >= all;
    int number = polychromatic ? all + 1 : w + 1;
    if (current_command() == kIntensityPerspectiveCommand && !polychromatic) {
        number = arg_int(2) != 0 ? arg_int(2) : lens.current_wavelength + 1;
    }
    begin_plot_page();
    if (get_setting_flag(kSetGraphicsLabels) != 0) {
        set_plot_world(0.0, 1.0, 0.0, 1.0);
        draw_title_block(0.5, true);
        gfx_move_to(0.75, 1.0);
        gfx_draw_to(0.75, 0.88);
        const std::string title = plot_title();
        plot_text_at(0.25, 0.95, 4);
        if (title.size() > kLongTitle) gfx_set_text_size(0.7, 0.0, 0.0);
        if (polychromatic) {
            gfx_print_msg(kMsgImagePlotPolyTitle, title);
        } else {
            gfx_print_msg(kMsgImagePlotTitle, title, number);
        }
        const RayRecord& ref = reference_ray().ray;
        const double x = ref.x + x_offset, y = ref.y + y_offset;
        double r = std::sqrt(x * x + y * y);
        if (r < kOffAxis) r = 0.0;
        plot_text_at(0.625, 0.95, 4);
        gfx_print_msg(kMsgImageFieldPoint, std::string(format_number(ref.obj_y, 5, 0)),
                      std::string(format_number(ref.obj_x, 5, 0)),
                      std::string(format_number(dz, 6, 0)));
        // The distance and the scale as one text, the second after the first.
        const std::string distance = std::string(format_number(r, 7, 0));
        const std::string shown = std::string(format_number(scale, 6, 0));
        const FormatArg first[] = {FormatArg(distance), FormatArg(0)};
        const FormatArg second[] = {FormatArg(shown), FormatArg(0)};
        const std::string text =
            format_message(kMsgReferencePointDistance, std::span<const FormatArg>(first, 1)) +
            "  " + format_message(kMsgImagePlotScale, std::span<const FormatArg>(second, 1));
        plot_text_at(0.875, 0.95, 4);
        gfx_printf("%s", text);
    }
    set_isometric_world(-1.2, 1.2, -1.1, 1.4, 0);
}
