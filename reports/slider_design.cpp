#include "reports/slider_design.h"

#include <cmath>
#include <cstdio>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_sliders.h"
#include "graphics/graphics_window.h"
#include "lens/auto_redraw.h"
#include "lens/glass_cache.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/refractive_index.h"
#include "lens/surface_groups.h"
#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "trace/ray_record.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kCaptionNumber = 6;  // three significant digits

SliderDesignState g_state;

const platform::StateReset slider_design_state_reset{"reports/slider_design", reset_slider_design,
                                                     platform::ResetLayer::feature};

bool is_model_glass_kind(int kind) {
    return kind == kMediumModelGlass || kind == kMediumModelIndexAbbe ||
           kind == kMediumModelGlassComputed || kind == kMediumModelIndexAbbeComputed;
}

bool by_index_and_abbe(int kind) {
    return kind == kMediumModelIndexAbbe || kind == kMediumModelIndexAbbeComputed;
}

// The glass-cache entry of surface n's model glass, or null when the surface has none (another
// medium, or a lens read since whose cache no longer holds it).
GlassData* model_glass_of(int n) {
    const SurfaceRecord& s = surface(n);
    if (!is_model_glass_kind(s.medium_kind)) return nullptr;
    const int i = find_cached_glass(s.medium_name, CachedGlass::kModel);
    if (i < 0) return nullptr;
    GlassData& g = glass_cache().entries[i];
    if (g.model_indices == nullptr || g.model_wavelengths == nullptr) return nullptr;
    return &g;
}

// The defining values of a model glass: those up to the first wavelength at the cut-off.
int defining_count(const GlassData& g) {
    const int limit = glass_cache().max_wavelengths;
    int k = 0;
    while (k < limit && g.model_wavelengths[k] > kModelGlassCutoff) ++k;
    return k;
}

// A new first index for a model glass. Two defining values keep their difference; three or
// more keep the principal dispersion (second minus third) and the glass's distance from the
// normal line of partial dispersion against Abbe number, so the other indices follow the
// first as a real glass of that kind would.
void write_model_index(GlassData& g, bool abbe_form, double value) {
    double* v = g.model_indices;
    const int count = defining_count(g);
    double others = value - v[0];
    if (count >= 3) {
        const double dispersion = v[1] - v[2];
        if (std::fabs(dispersion) > kTiny) {
            const double* k = normal_line_constants(g.model_wavelengths, 3).k;
            const double abbe = (v[0] - 1.0) / dispersion;
            const double offset = (v[1] - v[0]) / dispersion - (k[0] + k[1] * abbe);
            const double new_abbe = (value - 1.0) / dispersion;
            const double partial = k[0] + k[1] * new_abbe + offset;
            others = value + partial * dispersion - v[1];
            // The lens file writes such a glass by its index and Abbe number.
            if (abbe_form && g.dispersion[1] > 2.0) g.dispersion[1] = new_abbe;
        }
    }
    v[0] = value;
    for (int i = 1; i < count; ++i) v[i] += others;
    if (abbe_form) g.dispersion[0] = value;
    lens_flags().materials_changed = 1;
}

// The refusal of kind on surface n, without changing anything; 0 when allowed.
int refusal(int kind, int n) {
    const SurfaceRecord& s = surface(n);
    switch (kind) {
        case kSliderCurvature:
            return s.curvature_kind == kCurvaturePlain || s.curvature_kind == kCurvatureFixedRtf
                       ? 0
                       : kMsgSliderCurvatureFixed;
        case kSliderThickness:
            return s.thickness_kind == kThicknessPlain ? 0 : kMsgSliderThicknessFixed;
        case kSliderIndex:
            return model_glass_of(n) != nullptr ? 0 : kMsgSliderNoModelGlass;
        case kSliderTilt:
        case kSliderDecentre: {
            const bool grouped = s.group_kind != kGroupNone &&
                                 s.group_kind != kGroupNonSequential && s.group_role != kRoleFirst;
            if (grouped || s.return_coordinates != nullptr) {
                return kind == kSliderTilt ? kMsgSliderTiltRefused : kMsgSliderDecentreRefused;
            }
            return 0;
        }
        default:
            return kMsgSliderCurvatureFixed;
    }
}

// The settings a drawing step changes, put back when it ends.
class GraphicsSettingsScope {
public:
    GraphicsSettingsScope()
        : labels_(get_setting_flag(kSetGraphicsLabels)),
          axes_(get_setting_flag(kSetGraphicsAxes)),
          autoclear_(get_setting_flag(kSetGraphicsAutoclear)),
          scale_(get_setting_double(kSetGraphicsScale, 0, 0)),
          previous_(graphics_current()) {}
    ~GraphicsSettingsScope() {
        set_setting_flag(kSetGraphicsLabels, labels_);
        set_setting_flag(kSetGraphicsAxes, axes_);
        set_setting_double(kSetGraphicsScale, scale_, 0, 0);
        set_setting_flag(kSetGraphicsAutoclear, autoclear_);
        graphwin_select(previous_);
    }
    GraphicsSettingsScope(const GraphicsSettingsScope&) = delete;
    GraphicsSettingsScope& operator=(const GraphicsSettingsScope&) = delete;

private:
    std::uint8_t labels_, axes_, autoclear_;
    double scale_;
    int previous_;
};

// Text output off while the analysis runs its lines, back to what it was afterwards.
class QuietOutput {
public:
    QuietOutput() : output_(get_setting_flag(kSetOutputOn)) { set_setting_flag(kSetOutputOn, 0); }
    ~QuietOutput() { set_setting_flag(kSetOutputOn, output_); }
    QuietOutput(const QuietOutput&) = delete;
    QuietOutput& operator=(const QuietOutput&) = delete;

private:
    std::uint8_t output_;
};

int run_line(const char* line) {
    return run_command_string(line, 0);
}

double current_scale() {
    return get_setting_double(kSetGraphicsCurrentScale, 0, 0);
}

void use_remembered_scale() {
    set_setting_double(kSetGraphicsScale, g_state.remembered_scale, 0, 0);
}

// The reference ray of a field fraction; true when it was traced.
bool field_ray(double fraction) {
    char line[64];
    std::snprintf(line, sizeof line, "trr %f 0.0 0.0 0.0 0.0", fraction);
    return run_line(line) == 0 && reference_ray().ray.failure == 0;
}

// The plot of a field's panel.
int field_plot(int kind) {
    switch (kind) {
        case kSliderAnalysisFans:
            return run_line("plr wvt yx 0.0 0.0 11");
        case kSliderAnalysisOpd:
            return run_line("plo wvt 0.0 0.0 11");
        case kSliderAnalysisSpot: {
            const int rc = run_line("spd chr 10.0");
            return rc != 0 ? rc : run_line("pls");
        }
        default:
            return 0;
    }
}

void field_label(double fraction) {
    gfx_set_color(1);
    FrameBox world{0.0, 1.0, 0.0, 1.0, 0};
    gfx_frame(1, 0, &world);
    gfx_move_to(0.05, 0.95);
    gfx_set_text_anchor(3, 0);
    gfx_print_msg(kMsgSliderFieldCaption, format_number(fraction, kCaptionNumber, 0));
}

// Set when a tilt or decentre is adjusted or the lens holds a decentre record anywhere.
std::uint8_t special_surface_flag() {
    if (g_state.kind_a == kSliderTilt || g_state.kind_a == kSliderDecentre ||
        g_state.kind_b == kSliderTilt || g_state.kind_b == kSliderDecentre) {
        return 1;
    }
    const int image = lens_data().image_surface;
    for (int n = 0; n <= image; ++n) {
        if (surface(n).decentre != nullptr) return 1;
    }
    return 0;
}

// "Curvature 3" and the like: the caption of a slider.
void slider_caption(int kind, int n, char (&text)[32]) {
    static constexpr const char* kForms[kSliderKinds] = {
        "Curvature %2d", "Thickness %2d", "Index %2d", "Mer Tilt %2d", "Mer Decen %2d"};
    const int k = kind >= 0 && kind < kSliderKinds ? kind : 0;
    std::snprintf(text, sizeof text, kForms[k], n);
}

// Both sides are checked before either is written: a side the lens no longer allows (a lens
// opened since, with fewer surfaces or without the model glass) refuses the whole step.
int recheck_sides() {
    if (const int rc = slider_check_surface(g_state.kind_a, g_state.surface_a); rc != 0) return rc;
    return slider_check_surface(g_state.kind_b, g_state.surface_b);
}

int write_side(bool side_a, double value) {
    const int kind = side_a ? g_state.kind_a : g_state.kind_b;
    const int n = side_a ? g_state.surface_a : g_state.surface_b;
    if (const int rc = slider_write_value(kind, n, value); rc != 0) return rc;
    (side_a ? g_state.value_a : g_state.value_b) = value;
    return 0;
}

}  // namespace

SliderDesignState& slider_design_state() {
    return g_state;
}

void reset_slider_design() {
    g_state = SliderDesignState{};
}

void slider_kind_availability() {
    for (std::uint8_t& a : g_state.available) a = 0;
    const int image = lens_data().image_surface;
    for (int n = 0; n <= image; ++n) {
        const SurfaceRecord& s = surface(n);
        if (s.curvature_kind == kCurvaturePlain || s.curvature_kind == kCurvatureFixedRtf) {
            g_state.available[kSliderCurvature] = 1;
        }
        if (s.thickness_kind == kThicknessPlain) g_state.available[kSliderThickness] = 1;
        if (model_glass_of(n) != nullptr) g_state.available[kSliderIndex] = 1;
        if (s.group_kind == kGroupNone || s.group_kind == kGroupNonSequential ||
            s.group_role == kRoleFirst) {
            g_state.available[kSliderTilt] = g_state.available[kSliderDecentre] = 1;
        }
    }
}

int slider_refusal(int kind, int n, int* argument) {
    const int image = lens_data().image_surface;
    if (n < 0 || n > image) {
        *argument = image;
        return kMsgSliderSurfaceRange;
    }
    *argument = n;
    return refusal(kind, n);
}

int slider_check_surface(int kind, int n) {
    int argument = 0;
    if (const int message = slider_refusal(kind, n, &argument); message != 0) {
        return set_error_msg(message, argument);
    }
    // A curvature that only its group's radius form fixed becomes the surface's own.
    SurfaceRecord& s = surface(n);
    if (kind == kSliderCurvature && s.curvature_kind == kCurvatureFixedRtf) {
        s.curvature_kind = kCurvaturePlain;
    }
    return 0;
}

double slider_lens_value(int kind, int n) {
    if (n < 0 || n > lens_data().image_surface) return 0.0;
    const SurfaceRecord& s = surface(n);
    switch (kind) {
        case kSliderCurvature:
            return s.curvature;
        case kSliderThickness:
            return s.thickness;
        case kSliderIndex: {
            const GlassData* g = model_glass_of(n);
            return g != nullptr ? g->model_indices[0] : 0.0;
        }
        case kSliderTilt:
            return s.decentre != nullptr ? s.decentre->tla : 0.0;
        case kSliderDecentre:
            return s.decentre != nullptr ? s.decentre->dcy : 0.0;
        default:
            return 0.0;
    }
}

int slider_write_value(int kind, int n, double value) {
    if (n < 0 || n > lens_data().image_surface || !std::isfinite(value)) return 0;
    SurfaceRecord& s = surface(n);
    switch (kind) {
        case kSliderCurvature:
            s.curvature = value;
            return 0;
        case kSliderThickness:
            s.thickness = value;
            return 0;
        case kSliderIndex:
            if (GlassData* g = model_glass_of(n); g != nullptr) {
                write_model_index(*g, by_index_and_abbe(s.medium_kind), value);
            }
            return 0;
        case kSliderTilt:
        case kSliderDecentre:
            // No record is no tilt and no decentre: the record is made by the first value
            // that moves the surface.
            if (s.decentre == nullptr && value == 0.0) return 0;
            if (ensure_decentre_record(n) != 0) return kMsgOutOfMemory;
            (kind == kSliderTilt ? s.decentre->tla : s.decentre->dcy) = value;
            return 0;
        default:
            return 0;
    }
}

int apply_slider_values() {
    if (const int rc = recheck_sides(); rc != 0) return rc;
    if (const int rc = write_side(true, g_state.value_a); rc != 0) return rc;
    if (const int rc = write_side(false, g_state.value_b); rc != 0) return rc;
    return lens_setup_or_error();
}

int open_slider_windows() {
    if (const int rc = apply_slider_values(); rc != 0) return rc;
    if (g_state.analysis_kind == kSliderAnalysisNone) graphwin_close(kSliderAnalysisWindow);
    const int previous = graphics_current();
    if (const int rc = graphwin_open(kSliderLensWindow, 0, 0, 0, 0); rc < 0) {
        graphwin_select(previous);
        return rc;
    }
    g_state.special_surface = special_surface_flag();
    graphwin_new_page(1);

    // The control window shows this window's pair alone.
    sliders_remove();
    struct Side {
        int id, kind, surface;
        double half_range;
    };
    const Side sides[] = {
        {kSliderIdA, g_state.kind_a, g_state.surface_a, g_state.half_range_a},
        {kSliderIdB, g_state.kind_b, g_state.surface_b, g_state.half_range_b},
    };
    for (const Side& side : sides) {
        if (!(std::fabs(side.half_range) >= kTiny)) continue;
        char caption[32];
        slider_caption(side.kind, side.surface, caption);
        const double v = slider_lens_value(side.kind, side.surface);
        const int index = slider_create(0, g_state.slider_flag, side.id, caption, slider_redraw,
                                        v - side.half_range, v + side.half_range, v);
        if (index < 0) {
            graphwin_select(previous);
            return index;
        }
    }
    slider_layout();

    int rc = 0;
    {
        GraphicsSettingsScope scope;
        set_setting_flag(kSetGraphicsLabels, 0);
        set_setting_flag(kSetGraphicsAxes, 0);
        // The panels share the page: a plot must not start a new one.
        set_setting_flag(kSetGraphicsAutoclear, 0);
        rc = run_line("draw_lens");
        rc = call_command_handler(kCmdDrawFieldRays, nullptr, 0);
        if (g_state.analysis_kind != kSliderAnalysisNone) {
            rc = graphwin_open(kSliderAnalysisWindow, 0, 0, 0, 0);
            if (rc >= 0) {
                graphwin_new_page(1);
                set_setting_flag(kSetGraphicsAxes,
                                 g_state.analysis_kind != kSliderAnalysisSpot ? 1 : 0);
                const bool automatic = !(g_state.analysis_scale >= kTiny);
                g_state.remembered_scale = automatic ? 0.0 : g_state.analysis_scale;
                use_remembered_scale();
                rc = run_slider_analysis(automatic ? 1 : 0);
            }
        }
    }
    graphwin_select(previous);
    return rc;
}

int slider_redraw(int, int id, double value) {
    const bool side_a = id == kSliderIdA;
    // The lens may have changed since the window opened: the moved side is checked again.
    const int kind = side_a ? g_state.kind_a : g_state.kind_b;
    const int n = side_a ? g_state.surface_a : g_state.surface_b;
    if (const int rc = slider_check_surface(kind, n); rc != 0) return rc;
    if (const int rc = write_side(side_a, value); rc != 0) return rc;
    if (const int rc = lens_setup_or_error(); rc != 0) return rc;

    int rc = 0;
    {
        GraphicsSettingsScope scope;
        set_setting_flag(kSetGraphicsLabels, 0);
        set_setting_flag(kSetGraphicsAxes, 0);
        set_setting_flag(kSetGraphicsAutoclear, 0);
        rc = graphwin_open(kSliderLensWindow, 0, 0, 0, 0);
        if (rc < 0) return rc;
        graphwin_new_page(0);
        rc = run_line("draw_lens pre");
        rc = call_command_handler(kCmdDrawFieldRays, nullptr, 0);
        if (g_state.analysis_kind != kSliderAnalysisNone) {
            rc = graphwin_open(kSliderAnalysisWindow, 0, 0, 0, 0);
            if (rc >= 0) {
                graphwin_new_page(0);
                set_setting_flag(kSetGraphicsAxes,
                                 g_state.analysis_kind != kSliderAnalysisSpot ? 1 : 0);
                use_remembered_scale();
                rc = run_slider_analysis(0);
            }
        }
    }
    auto_redraw_after_edit(0);
    return rc;
}

int run_slider_analysis(int first) {
    const int kind = g_state.analysis_kind;
    if (kind == kSliderAnalysisAstigmatism || kind == kSliderAnalysisLongitudinal) {
        if (first == 0) use_remembered_scale();
        const int rc = run_line(kind == kSliderAnalysisAstigmatism ? "plf" : "pla wvt");
        if (first != 0) g_state.remembered_scale = current_scale();
        return rc;
    }
    if (kind != kSliderAnalysisFans && kind != kSliderAnalysisOpd && kind != kSliderAnalysisSpot) {
        return 0;
    }
    QuietOutput quiet;
    int rc = 0;
    if (g_state.one_field != 0) {
        FrameBox whole{0.0, 1.0, 0.0, 1.0, 1};
        gfx_frame(1, 1, &whole);
        field_label(g_state.field_fraction);
        if (first == 0) use_remembered_scale();
        if (field_ray(g_state.field_fraction)) rc = field_plot(kind);
        if (first != 0) g_state.remembered_scale = current_scale();
        return rc;
    }
    const bool special = g_state.special_surface != 0;
    struct Panel {
        double ymin, ymax, field;
    };
    const Panel panels[] = {{0.66666, 1.0, 1.0},
                            {0.33333, 0.66666, special ? 0.0 : 0.7},
                            {0.0, 0.33333, special ? -1.0 : 0.0}};
    bool first_panel = true;
    for (const Panel& p : panels) {
        FrameBox viewport{0.0, 1.0, p.ymin, p.ymax, 0};
        gfx_frame(1, 1, &viewport);
        field_label(p.field);
        if (field_ray(p.field)) rc = field_plot(kind);
        // The other panels take the first one's scale.
        if (first_panel && first != 0) g_state.remembered_scale = current_scale();
        first_panel = false;
        use_remembered_scale();
    }
    return rc;
}
