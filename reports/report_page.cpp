#include "reports/report_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "reports/plot_frame.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/ray_record.h"

namespace {

// The least drawing area in which a page's captions are legible.
constexpr int kLegibleWidth = 640;
constexpr int kLegibleHeight = 480;

constexpr double kTiny = 1e-40;
constexpr double kPi = std::numbers::pi;
constexpr double kInfiniteObject = 9.9e7;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr int kCaptionNumber = 6;  // three significant digits

struct ReportPageState {
    platform::LocalTime (*clock)() = nullptr;
    void (*watch)(const char*) = nullptr;
};

ReportPageState& report_page_state() {
    static ReportPageState state;
    return state;
}

void reset_report_page_state() {
    report_page_state() = ReportPageState{};
}

const platform::StateReset report_page_state_reset{"reports/report_page", reset_report_page_state,
                                                   platform::ResetLayer::feature};

std::string caption_number(double v) {
    return format_number(v, kCaptionNumber, 0);
}

// A leading '0' of a date or time field goes.
std::string without_leading_zero(const char* text) {
    return text[0] == '0' && text[1] != '\0' ? std::string(text + 1) : std::string(text);
}

}  // namespace

// --- captions --------------------------------------------------------------------------------

const char* unit_abbreviation(double millimetres) {
    struct Unit {
        double mm;
        const char* text;
    };
    static constexpr Unit kUnits[] = {
        {1.0, "mm"}, {10.0, "cm"}, {25.4, "in"}, {1000.0, "m "}, {0.001, "mu"}};
    for (const Unit& u : kUnits) {
        if (std::fabs(millimetres - u.mm) < kTiny) return u.text;
    }
    return "";
}

PageField page_field() {
    const LensData& lens = lens_data();
    PageField f;
    f.unit = unit_abbreviation(lens.units);
    f.height = lens.object_height;
    f.wide_angle = lens.wide_angle != 0;
    const double t0 = surface(0).thickness;
    if (std::fabs(t0) > kInfiniteObject) {
        f.angle = true;
        double theta = std::atan2(-lens.object_height, lens.entrance_pupil_position + t0);
        if (theta > kPi / 2.0) theta -= kPi;
        if (theta < -kPi / 2.0) theta += kPi;
        f.theta = theta;
    }
    return f;
}

std::string full_field_caption(const PageField& f, bool bare) {
    if (f.angle) return caption_number(f.theta * kDegreesPerRadian) + (bare ? "deg" : "deg FIELD");
    return caption_number(f.height) + " " + f.unit + (bare ? "" : " OBJECT");
}

std::string field_07_caption(const PageField& f, bool bare) {
    if (f.angle) {
        const double degrees = f.wide_angle
                                   ? 0.7 * f.theta * kDegreesPerRadian
                                   : std::atan(0.7 * std::tan(f.theta)) * kDegreesPerRadian;
        return caption_number(degrees) + (bare ? "deg" : "deg FIELD");
    }
    return caption_number(0.7 * f.height) + " " + f.unit + (bare ? "" : " OBJECT");
}

std::string on_axis_caption(const PageField& f) {
    return f.angle ? " 0deg" : " 0 " + f.unit;
}

std::string configuration_title(const char* title) {
    const int configuration = lens_data().current_configuration;
    if (configuration < 2) return title;
    return std::string(title) + " - CFG " + std::to_string(configuration);
}

std::string unit_word(const char* inches_word, const char* other_prefix, const char* other_suffix) {
    const double mm = lens_data().units;
    struct Unit {
        double mm;
        const char* text;
    };
    const Unit units[] = {
        {1.0, "mm"}, {10.0, "cm"}, {25.4, inches_word}, {1000.0, "m"}, {0.001, "mu"}};
    for (const Unit& u : units) {
        if (std::fabs(mm - u.mm) < kTiny) return u.text;
    }
    return other_prefix + caption_number(mm) + other_suffix;
}

std::string page_lens_title() {
    const LensData& lens = lens_data();
    char title[kTitleLength + 1];
    std::memcpy(title, lens.title, sizeof title);
    title[kTitleLength] = '\0';
    return title;
}

std::string wavelengths_caption(const char* const labels[3], const char* separator) {
    const LensData& lens = lens_data();
    const int shown = std::min(lens.wavelength_count, 3);
    std::string text;
    for (int k = 0; k < shown; ++k) {
        if (k > 0) text += separator;
        text += labels[k];
        text += caption_number(lens.wavelengths[k].wavelength);
    }
    return text;
}

// --- the page --------------------------------------------------------------------------------

ReportPage::ReportPage(const PageKind& kind) : kind_(kind) {
    if (graphics_current() == 0) {
        const int rc = graphwin_open(1, 0, 0, 0, 0);
        if (rc < 0) {
            status_ = rc;
            return;
        }
    }
    // A page holds some forty texts, most of them small: in a window smaller than 640 x 480
    // pixels they are a few pixels high, so such a window is first made that large, as far as
    // the screen allows.
    int width = 0, height = 0;
    graphwin_get_size(&width, &height);
    if (width > 0 && height > 0 && (width < kLegibleWidth || height < kLegibleHeight)) {
        graphwin_open(graphics_current(), 0, 0, std::max(width, kLegibleWidth),
                      std::max(height, kLegibleHeight));
    }
    LensData& lens = lens_data();
    labels_ = get_setting_flag(kSetGraphicsLabels);
    autoclear_ = get_setting_flag(kSetGraphicsAutoclear);
    axes_ = get_setting_flag(kSetGraphicsAxes);
    output_ = get_setting_flag(kSetOutputOn);
    opdw_ = lens.opdw;
    htnu_ = lens.htnu;
    mtf_path_limit_ = lens.spot_settings != nullptr ? lens.spot_settings->mtf_path_limit : 0.0;
    wavelength_ = lens.current_wavelength;

    set_setting_flag(kSetGraphicsAutoclear, 0);
    graphwin_new_page(1);
    set_setting_flag(kSetGraphicsLabels, 0);
    set_setting_flag(kSetOutputOn, 0);
    if (kind.axes != PageAxes::kKept) {
        set_setting_flag(kSetGraphicsAxes, kind.axes == PageAxes::kOn ? 1 : 0);
    }
    if (kind.automatic_scale) set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
    if (kind.opd_in_waves) lens.opdw = 1;
}

ReportPage::~ReportPage() {
    if (status_ != 0) return;
    LensData& lens = lens_data();
    set_setting_flag(kSetGraphicsLabels, labels_);
    lens.opdw = opdw_;
    lens.htnu = htnu_;
    if (lens.spot_settings != nullptr) lens.spot_settings->mtf_path_limit = mtf_path_limit_;
    set_setting_flag(kSetOutputOn, output_);
    set_setting_flag(kSetGraphicsAutoclear, autoclear_);
    set_setting_flag(kSetGraphicsAxes, axes_);
    if (wavelength_ >= 0 && wavelength_ < lens.wavelength_count) page_wavelength(wavelength_ + 1);
    if (!kind_.keeps_final_scale) {
        set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
        FrameBox whole;
        whole.word = 1;
        gfx_frame(1, 1, &whole);
    }
}

void page_wavelength(int number) {
    LensData& lens = lens_data();
    if (number < 1 || number > lens.wavelength_count || number - 1 == lens.current_wavelength) {
        return;
    }
    lens.current_wavelength = number - 1;
    // What was traced or computed at the other wavelength is out of date.
    clear_state_flag(kFlagReferenceRayCurrent);
    clear_state_flag(kFlagSpotDiagramCurrent);
    clear_state_flag(kFlagSpotDerivedA);
    clear_state_flag(kFlagSpotDerivedB);
}

void page_text(double x, double y, double size, int anchor, const std::string& text) {
    gfx_move_to(x, y);
    gfx_set_text_size(size, 0.0, 0.0);
    gfx_set_text_anchor(anchor, 0);
    gfx_print_msg(kMsgPlotText, text.c_str());
}

void page_rule(double x0, double y0, double x1, double y1) {
    gfx_move_to(x0, y0);
    gfx_draw_to(x1, y1);
}

void page_viewport(double xmin, double xmax, double ymin, double ymax, int flag) {
    FrameBox box{xmin, xmax, ymin, ymax, flag};
    gfx_frame(1, 1, &box);
}

void page_coordinates() {
    page_viewport(0.0, 1.0, 0.0, 1.0, 1);
    FrameBox world{0.0, 1.0, 0.0, 1.0, 0};
    gfx_frame(1, 0, &world);
}

double page_text_width(double size, const std::string& text) {
    const GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || g->scale_x == 0) return 0.0;
    const TextSettings saved = text_settings();
    gfx_set_text_size(size, 0.0, 0.0);
    gfx_apply_text_settings();
    const double advance = std::hypot(text_geometry().advance_x, text_geometry().advance_y);
    restore_text_settings(saved);
    gfx_apply_text_settings();
    return static_cast<double>(text.size()) * advance / std::fabs(g->scale_x);
}

int page_direct_call(int command, int (*handler)(), ArgCell* cells, int count) {
    ArgCell* pointers[kScratchCellCount];
    count = std::clamp(count, 0, kScratchCellCount);
    for (int k = 0; k < count; ++k) pointers[k] = &cells[k];
    const int saved_command = current_command();
    ArgCell** const saved_vector = arg_vector();
    const int saved_count = arg_count();
    const ArgShape* const saved_shapes = arg_shapes();
    set_arg_vector(pointers, count);
    set_current_command(command);
    const int result = handler != nullptr ? handler() : 0;
    set_arg_vector(saved_vector, saved_count);
    set_arg_shapes(saved_shapes);
    set_current_command(saved_command);
    return result;
}

int page_line(const std::string& line) {
    if (report_page_state().watch != nullptr) report_page_state().watch(line.c_str());
    return run_command_string(line.c_str(), 0);
}

bool page_reference_ray(double fraction, bool short_form) {
    char line[64];
    std::snprintf(line, sizeof line, "%s %.1f 0.0 0.0 0.0 0.0",
                  short_form ? "trr" : "trace_ref_ray", fraction);
    const int rc = page_line(line);
    if (rc == 0 && reference_ray().ray.failure == 0) return true;
    page_stopped(fraction >= 1.0 ? "full field" : fraction > 0.0 ? "0.7 field" : "axis");
    return false;
}

void page_stopped(const char* field) {
    status_msg(kMsgReportPageStopped, field);
}

bool page_escape() {
    if (get_setting_flag(kSetCheckEscape) == 0) return false;
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->poll_escape()) return false;
    return ask_msg(kMsgContinueQuestion) != 0;
}

// --- the footer ------------------------------------------------------------------------------

std::string footer_date(const platform::LocalTime& t) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* month = t.month >= 1 && t.month <= 12 ? kMonths[t.month - 1] : "???";
    char text[16];
    std::snprintf(text, sizeof text, "%02d %s %02d", t.day % 100, month, t.year % 100);
    return without_leading_zero(text);
}

std::string footer_time(const platform::LocalTime& t) {
    int hour12 = t.hour % 12;
    if (hour12 == 0) hour12 = 12;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d %s", hour12, t.minute % 60,
                  t.hour < 12 ? "AM" : "PM");
    return without_leading_zero(text);
}

void report_page_footer(const char* lens_title, const char* page_title, std::uint8_t labels,
                        double split) {
    page_viewport(0.0, 1.0, 0.0, 1.0, 1);
    gfx_frame_box();
    FrameBox world{0.0, 1.0, 0.0, 1.0, 0};
    gfx_frame(1, 0, &world);
    page_rule(0.0, 0.1, 1.0, 0.1);
    if (labels == 0) return;
    page_rule(0.9, 0.1, 0.9, 0.0);
    page_rule(split, 0.0, split, 0.1);
    const double middle = 0.5 * split + 0.45;
    page_text(middle, 0.06, 1.0, 4, lens_title);
    page_text(middle, 0.015, 1.0, 4, page_title);

    const std::string designer = lens_data().designer;
    if (get_setting_flag(kSetRptGfxDateAndTime) != 0) {
        const platform::LocalTime now = report_page_state().clock != nullptr
                                            ? report_page_state().clock()
                                            : platform::local_time();
        page_text(0.95, 0.07, 0.6, 4, designer);
        page_text(0.95, 0.04, 0.6, 4, footer_date(now));
        page_text(0.95, 0.01, 0.6, 4, footer_time(now));
        return;
    }
    const std::size_t n = designer.size();
    const double size = n < 7 ? 1.0 : n == 7 ? 0.9 : n == 8 ? 0.8 : n == 9 ? 0.7 : 0.6;
    page_text(0.95, 0.05, size, 5, designer);
}

void set_report_page_clock(platform::LocalTime (*clock)()) {
    report_page_state().clock = clock;
}

void set_report_page_line_watcher(void (*watch)(const char* line)) {
    report_page_state().watch = watch;
}
