#include "reports/psf_page.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "evaluation/psf.h"
#include "graphics/draw_primitives.h"
#include "lens/lens_data.h"
#include "numeric/memory.h"
#include "reports/image_plot_frame.h"
#include "reports/plot_frame.h"
#include "reports/report_page.h"
#include "reports/section_plots.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/ray_record.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kLeastSamples = 16;
constexpr int kDefaultSamples = 64;
constexpr int kSectionPoints = 41;
constexpr int kLeastWindow = 3;
constexpr double kCaptionSize = 0.6;
constexpr double kPanelTitleSize = 0.7;

struct PsfField {
    double fraction;
    double x0, x1, y0, y1;  // its perspective
    int colour;
    int marker;  // of its section curve
    const char* name;
};

constexpr PsfField kFields[] = {
    {0.0, 0.0, 0.5, 0.1, 0.55, 3, 1, "axis"},
    {0.7, 0.5, 1.0, 0.55, 1.0, 2, 3, "0.7 field"},
    {1.0, 0.0, 0.5, 0.55, 1.0, 1, 5, "full field"},
};

struct Grid {
    explicit Grid(int n) : n(n), rows(alloc_matrix_of<double>(n, n)) {}
    ~Grid() { free_matrix_of(rows); }
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;
    int n;
    double** rows;
};

struct PsfArgs {
    int n = 0;                         // FFT grid
    int samples = 0;                   // across the pupil
    int window = 0;                    // odd, inside the grid
    int mode = kPsfNormalisationPeak;  // of the list psf_normalisation
    double value = 0;                  // kPsfNormalisationValue's
    double patch = 0;                  // plot width, 0 from the window
};

PsfArgs read_args() {
    PsfArgs a;
    const bool given = arg_count() >= 7;
    int count = given ? arg_int(0) : kDefaultSamples;
    if (count < kLeastSamples) count = kDefaultSamples;
    a.n = fft_grid_size(count);
    a.samples = given ? arg_int(1) : 0;
    if (a.samples < 2 || a.samples > a.n - 1) a.samples = a.n / 2;
    a.window = given ? arg_int(2) : 0;
    if (a.window < 1 || a.window >= a.n) a.window = a.n - 1;
    if (a.window % 2 == 0) --a.window;
    if (given) {
        a.mode = arg_int(3);
        a.value = arg_double(4);
        a.patch = arg_double(6);
    }
    return a;
}

// The largest cell of the window about the centre.
double window_peak(const Grid& g, int window) {
    const int h = window / 2, c = g.n / 2;
    double peak = 0.0;
    for (int r = c - h; r <= c + h; ++r) {
        for (int k = c - h; k <= c + h; ++k) peak = std::max(peak, g.rows[r][k]);
    }
    return peak;
}

std::string field_caption(const PsfField& f, const PageField& field) {
    if (f.fraction <= 0.0) return "ON-AXIS - @1";
    const char* mark = f.fraction >= 1.0 ? " - @5" : " - @3";
    std::string where =
        f.fraction >= 1.0 ? full_field_caption(field, true) : field_07_caption(field, true);
    // The angle's number, without the unit the other pages put right after it.
    if (field.angle && where.ends_with("deg")) where.resize(where.size() - 3);
    return where + (field.angle ? " deg FIELD" : " OBJECT") + mark;
}

void draw_bottom_captions(double patch) {
    const LensData& lens = lens_data();
    const std::string size = format_number(patch, 6, 0);
    std::string text;
    if (lens.afocal) {
        text = "IMAGE PATCH SIZE: " + size + " radians";
    } else {
        const std::string unit = unit_word("in", "", "");
        const bool known = unit_abbreviation(lens.units)[0] != '\0';
        text = known ? "IMAGE PATCH SIZE: " + size + " " + unit
                     : "IMAGE PATCH SIZE: " + size + "  UNITS " + unit + " mm";
    }
    page_coordinates();
    gfx_set_color(1);
    page_text(0.2, 0.07, kCaptionSize, 4, text);
    page_text(0.2, 0.04, kCaptionSize, 4, "WAVELENGTHS (microns)");
    static const char* const kLabels[3] = {"WV1: ", "WV2: ", "WV3: "};
    page_text(0.2, 0.01, kCaptionSize, 4,
              wavelengths_caption(kLabels, lens.wavelength_count == 2 ? "  " : " "));
}

// The section through the centroid of the central 41 cells, along x, as values over the
// normalisation, in the shared section plot (x from -1 to 1 across the window, 0 to 1 up).
void draw_section(const Grid& g, int window, double normalisation, int marker) {
    double cx = 0.0, cy = 0.0;
    psf_centroid(g.rows, &cx, &cy, g.n, std::min(kSectionPoints, window));
    const int c = g.n / 2;
    const int row = std::clamp(c - static_cast<int>(std::lround(cy)), 0, g.n - 1);
    const int mid = std::clamp(c + static_cast<int>(std::lround(cx)), 0, g.n - 1);
    const int h = std::min(kSectionPoints, window) / 2;
    std::vector<double> values;
    for (int k = mid - h; k <= mid + h; ++k) {
        values.push_back(k >= 0 && k < g.n ? g.rows[row][k] : 0.0);
    }
    page_viewport(0.5, 1.0, 0.1, 0.55, 1);
    set_plot_world(-1.1, 1.1, -0.1, 1.1);
    const int n = static_cast<int>(values.size());
    plot_curve(n, -1.0, 2.0 / (n - 1), 4, normalisation, kCurveUpward, marker, values.data(),
               nullptr);
    flush_pending_polyline();
}

}  // namespace

int cmd_report_psf_page() {
    ReportPage page({PageAxes::kOff, false, false, false});
    if (page.status() != 0) return page.status();
    const LensData& lens = lens_data();
    const PsfArgs a = read_args();

    gfx_set_color(1);
    report_page_footer(page_lens_title().c_str(),
                       configuration_title("POINT SPREAD FUNCTIONS").c_str(),
                       page.labels_were_on() ? 1 : 0, 0.4);
    const PageField field = page_field();
    for (const PsfField& f : kFields) {
        page_text(0.5 * (f.x0 + f.x1), f.y1 - 0.03, kPanelTitleSize, 4, field_caption(f, field));
    }
    // The section plot's axes.
    page_viewport(0.5, 1.0, 0.1, 0.55, 1);
    set_plot_world(-1.1, 1.1, -0.1, 1.1);
    page_rule(-1.0, 0.0, 1.0, 0.0);
    page_rule(0.0, 0.0, 0.0, 1.0);
    gfx_set_color(-1);

    Grid g(a.n);
    if (g.rows == nullptr) return set_error_msg(kMsgOutOfMemory);
    const bool polychromatic = lens.wavelength_count >= 2 && lens.spot_settings->polychromatic;
    double patch = a.patch;
    bool captioned = false;
    for (const PsfField& f : kFields) {
        if (!page_reference_ray(f.fraction, true)) break;
        double spacing = 0.0, scale = 0.0;
        if (compute_psf(g.rows, &spacing, &scale, polychromatic, reference_ray().ray.wavelength,
                        a.n, a.samples) != 0) {
            page_stopped(f.name);
            break;
        }
        int window = a.window;
        if (patch > kTiny && spacing > kTiny) {
            window = std::min(window, static_cast<int>(std::floor(patch / spacing + 0.5)) + 1);
            if (window % 2 == 0) --window;
        }
        window = std::max(window, kLeastWindow);
        if (!captioned) {
            if (patch < kTiny) patch = (window - 1) * spacing;
            set_setting_double(kSetGraphicsCurrentScale, patch, 0, 0);
            draw_bottom_captions(patch);
            captioned = true;
        }
        double normalisation = 1.0;
        if (a.mode == kPsfNormalisationPeak) normalisation = window_peak(g, window);
        if (a.mode == kPsfNormalisationValue) normalisation = a.value;
        if (normalisation < kTiny) normalisation = 1.0;

        page_viewport(f.x0, f.x1, f.y0, f.y1, 1);
        gfx_set_color(f.colour);
        draw_image_plot_frame(0.0, 0.0, 0.0, (window - 1) * spacing,
                              polychromatic ? get_setting_int(kSetMaxWavelengths, 0, 0)
                                            : reference_ray().ray.wavelength);
        gfx_set_color(f.colour);
        draw_psf_perspective_marks(window, (window - 1) * spacing, false, true);
        plot_psf_perspective(g.rows, spacing, normalisation, a.n, window, false, f.colour);
        gfx_set_color(f.colour);
        draw_section(g, window, normalisation, f.marker);
        if (page_escape()) break;
    }
    return 0;
}
