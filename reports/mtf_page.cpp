#include "reports/mtf_page.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "evaluation/spot_store.h"
#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "reports/plot_frame.h"
#include "reports/report_page.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kHuge = 1e40;
constexpr int kCaptionNumber = 6;
constexpr int kLeastPoints = 2;
constexpr int kDefaultPoints = 21;
constexpr double kLegendSize = 0.7;

template <typename... Args>
std::string composed(const char* format, Args... args) {
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

struct MtfLines {
    bool through_focus = false;
    bool chromatic = false;
    int wave = 1;
    double frequency = 0;
    double range = 0;
    int points = kDefaultPoints;

    // The plot line of one field: its first marker, and whether the ideal curve is drawn.
    std::string line(int marker, bool ideal) const {
        const char* tail = ideal ? "Yes" : "No";
        if (through_focus) {
            return chromatic ? composed("plm tfo chr %f %f %d %d %s", frequency, range, marker,
                                        points, tail)
                             : composed("plm tfo mon %d %f %f %d %d %s", wave, frequency, range,
                                        marker, points, tail);
        }
        return chromatic ? composed("plm tfr chr 0.0 %f %d %d %s", frequency, marker, points, tail)
                         : composed("plm tfr mon %d 0.0 %f %d %d %s", wave, frequency, marker,
                                    points, tail);
    }
};

// The spot diagram's peak-to-valley of the last computation, or -1 when it failed.
double spot_pv(const char* line) {
    if (page_line(line) != 0 || spot_store().ray_count <= 0) return -1.0;
    return std::fabs(spot_store().reference_pv);
}

void legend_marker(double x, double y, int type) {
    const double xs[] = {x}, ys[] = {y};
    gfx_polymarker(xs, ys, 1, type, plot_marker_size());
}

void draw_legend(bool geometric) {
    const LensData& lens = lens_data();
    page_text(0.125, 0.06, kLegendSize, 4, "MTF TYPE");
    page_text(0.125, 0.015, kLegendSize, 4, geometric ? "GEOMETRICAL" : "DIFFRACTION");
    page_text(0.125, 0.95, kLegendSize, 4, "FIELD POINTS");
    page_text(0.01, 0.9, kLegendSize, 1, "ON-AXIS");
    legend_marker(0.2, 0.91, 1);
    page_text(0.01, 0.85, kLegendSize, 1, "0.7 FIELD");
    page_text(0.13, 0.85, kLegendSize, 1, "T");
    legend_marker(0.165, 0.86, 3);
    page_text(0.19, 0.85, kLegendSize, 1, "S");
    legend_marker(0.225, 0.86, 4);
    page_text(0.01, 0.8, kLegendSize, 1, "FULL FIELD");
    page_text(0.13, 0.8, kLegendSize, 1, "T");
    legend_marker(0.165, 0.81, 5);
    page_text(0.19, 0.8, kLegendSize, 1, "S");
    legend_marker(0.225, 0.81, 6);
    page_text(0.01, 0.75, kLegendSize, 1, "IDEAL");
    legend_marker(0.2, 0.76, 7);
    page_text(0.125, 0.675, kLegendSize, 4, "WAVELENGTHS");
    page_text(0.125, 0.64, kLegendSize, 4, "WVL      WGT");
    for (int i = 0; i < lens.wavelength_count; ++i) {
        page_text(
            0.125, 0.605 - 0.035 * i, kLegendSize, 4,
            composed("%.4f   %.4f", lens.wavelengths[i].wavelength, lens.wavelengths[i].weight));
    }
}

}  // namespace

int cmd_report_mtf_page() {
    ReportPage page({PageAxes::kOn, false, true, false});
    if (page.status() != 0) return page.status();
    LensData& lens = lens_data();
    SpotSettings& settings = *lens.spot_settings;

    MtfLines m;
    const bool through_focus_command =
        current_command() == kCmdReportTfMtf || current_command() == kCmdReportTfMtf2;
    m.through_focus = through_focus_command && !lens.afocal;
    m.frequency = arg_double(0);
    if (through_focus_command) {
        if (m.frequency < kTiny && m.through_focus) m.frequency = settings.through_focus_frequency;
        m.range = arg_double(1);
        m.points = arg_int(2);
    } else {
        m.points = arg_int(1);
    }
    if (m.points < kLeastPoints) m.points = kDefaultPoints;
    m.chromatic = lens.wavelength_count >= 2 && settings.polychromatic != 0;

    // One MTF type for all three fields, from the path differences of the spot diagrams.
    double pv = 0;
    if (get_setting_flag(kSetQrMtf) != 0) {
        const double fractions[] = {1.0, 0.7, 0.0};
        const char* spots[] = {"spot_diagram mon", "spot_diagram mon", "spot_diagram"};
        for (int k = 0; k < 3; ++k) {
            if (!page_reference_ray(fractions[k], true)) return 0;
            const double v = spot_pv(spots[k]);
            if (v < 0) {
                page_stopped(k == 0 ? "full field" : k == 1 ? "0.7 field" : "axis");
                return 0;
            }
            pv += v / 3.0;
        }
    } else {
        if (!page_reference_ray(1.0, true) || !page_reference_ray(0.0, true)) return 0;
        pv = spot_pv("spot_diagram");
        if (pv < 0) {
            page_stopped("axis");
            return 0;
        }
    }
    const bool geometric = pv > settings.mtf_path_limit;
    settings.mtf_path_limit = geometric ? -kTiny : kHuge;
    if (!m.chromatic) m.wave = spot_store().reference_wavelength + 1;

    gfx_set_color(1);
    char title[kTitleLength + 1];
    std::memcpy(title, lens.title, sizeof title);
    title[kTitleLength] = '\0';
    const std::string page_title =
        m.through_focus
            ? "THROUGH-FOCUS MTF AT " + std::string(format_number(m.frequency, kCaptionNumber, 0)) +
                  " CYCLES/MM"
            : std::string("MODULATION TRANSFER FUNCTIONS");
    report_page_footer(configuration_title(title).c_str(), page_title.c_str(),
                       page.labels_were_on() ? 1 : 0, 0.25);
    page_rule(0.25, 0.1, 0.25, 1.0);
    draw_legend(geometric);
    gfx_set_color(-1);

    // On axis first (its spot diagram is the last computed): its scale is the common one.
    page_viewport(0.25, 1.0, 0.2, 1.0, 0);
    gfx_set_color(1);
    page_line(m.line(-1, true));
    const double common = get_setting_double(kSetGraphicsCurrentScale, 0, 0);
    if (page_escape()) return 0;

    struct Field {
        double fraction;
        int colour;
        int marker;
        const char* name;
    };
    for (const Field& f : {Field{0.7, 3, 3, "0.7 field"}, Field{1.0, 4, 5, "full field"}}) {
        if (!page_reference_ray(f.fraction, true)) return 0;
        if (spot_pv("spot_diagram") < 0) {
            page_stopped(f.name);
            return 0;
        }
        page_viewport(0.25, 1.0, 0.2, 1.0, 0);
        gfx_set_color(f.colour);
        set_setting_flag(kSetGraphicsAxes, 0);
        set_setting_double(kSetGraphicsScale, common, 0, 0);
        page_line(m.line(f.marker, false));
        if (page_escape()) return 0;
    }
    return 0;
}
