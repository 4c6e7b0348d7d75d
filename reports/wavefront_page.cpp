#include "reports/wavefront_page.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "reports/report_page.h"
#include "runtime/arg_cells.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kWavesNumber = 7;
constexpr int kCaptionNumber = 6;

struct Column {
    double field;
    double x0, x1;
    const char* name;
};

constexpr Column kColumns[] = {
    {1.0, 0.05, 0.35, "full field"},
    {0.7, 0.35, 0.65, "0.7 field"},
    {0.0, 0.65, 0.95, "axis"},
};

template <typename... Args>
std::string composed(const char* format, Args... args) {
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

}  // namespace

int cmd_report_wavefront_page() {
    // The surfaces share the first one's scale, so the page leaves Graphics_scale as drawn.
    ReportPage page({PageAxes::kOn, true, true, true});
    if (page.status() != 0) return page.status();
    LensData& lens = lens_data();
    int wave = arg_int(0);
    if (wave < 1 || wave > lens.wavelength_count) wave = lens.current_wavelength + 1;
    page_wavelength(wave);
    double increment = arg_double(1);
    double surface_scale = arg_double(2);
    const bool labels = page.labels_were_on();

    gfx_set_color(1);
    char title[kTitleLength + 1];
    std::memcpy(title, lens.title, sizeof title);
    title[kTitleLength] = '\0';
    report_page_footer(title, configuration_title("WAVEFRONT ANALYSIS").c_str(), labels ? 1 : 0,
                       0.4);
    if (labels) {
        page_text(0.2, 0.07, 0.7, 4,
                  std::string("WAVELENGTH ") +
                      format_number(lens.wavelengths[wave - 1].wavelength, kWavesNumber, 0) +
                      " MICRONS");
        page_text(0.2, 0.04, 0.7, 4, "DIGITS => +OPD    LETTERS => -OPD");
    }
    const PageField field = page_field();
    page_text(0.2, 0.925, 1.0, 4, full_field_caption(field, false));
    page_text(0.5, 0.925, 1.0, 4, field_07_caption(field, false));
    page_text(0.8, 0.925, 1.0, 4, "ON-AXIS");
    gfx_set_color(-1);

    const double divisions =
        lens.spot_settings != nullptr ? lens.spot_settings->aperture_divisions : 0.0;
    int drawn = 0;
    for (const Column& c : kColumns) {
        if (!page_reference_ray(c.field, false)) break;
        const int rc = page_line(composed("spot_diagram mon none %f %d", divisions, wave));
        if (rc != 0 || spot_store().ray_count <= 0) {
            page_stopped(c.name);
            break;
        }
        if (drawn == 0 && increment < kTiny) increment = 0.125 * spot_store().reference_pv;

        page_coordinates();
        gfx_set_color(1);
        const std::string pv = format_number(spot_store().reference_pv, kWavesNumber, 0);
        const std::string rms = format_number(spot_store().reference_rms, kWavesNumber, 0);
        page_text(0.5 * (c.x0 + c.x1), 0.44, 0.8, 4, "P-V " + pv + "  RMS " + rms);

        page_viewport(c.x0, c.x1, 0.45, 1.0, 1);
        FrameBox world{0.0, 1.0, 0.0, 1.0, 0};
        gfx_frame(1, 0, &world);
        gfx_set_color(1);
        page_line(composed("plot_wavefront map %d %f 0.0", wave, increment));
        if (page_escape()) break;

        page_viewport(c.x0, c.x1, 0.1, 0.55, 0);
        gfx_set_color(1);
        set_setting_flag(kSetGraphicsAxes, 0);
        page_line(composed("plot_wavefront con none x %d %f 0.0 32", wave, surface_scale));
        set_setting_flag(kSetGraphicsAxes, 1);
        if (drawn == 0) surface_scale = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
        ++drawn;
        if (drawn < 3 && page_escape()) break;
    }
    // The page ends in page coordinates however far it came; the increment is captioned once
    // every column is drawn.
    page_coordinates();
    if (drawn == 3) {
        if (labels) {
            gfx_set_color(1);
            page_text(0.2, 0.01, 0.7, 4,
                      std::string("OPD INCREMENT ") + format_number(increment, kCaptionNumber, 0) +
                          "*WAVES");
        }
    }
    return 0;
}
