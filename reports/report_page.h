// What every report page shares: the settings it changes for its duration and puts back on every
// way out, the page coordinates (0..1 over the whole of graphics window 1), the field and unit
// captions, the command lines it runs one viewport at a time, the Escape question between them,
// and the footer with the lens title, the page title, the designer, the date and the time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "runtime/arg_cells.h"

// --- captions --------------------------------------------------------------------------------

// The abbreviation of a lens unit given in millimetres: "mm", "cm", "in", "m " or "mu", or empty
// for any other unit.
const char* unit_abbreviation(double millimetres);

// The full field of the lens as the captions show it: an angle when the object is at infinity
// (a distance beyond 9.9e7), else the object height.
struct PageField {
    bool angle = false;
    double theta = 0;  // the full-field angle, radians
    double height = 0;
    bool wide_angle = false;  // field fractions scale the angle itself
    std::string unit;         // the unit abbreviation
};
PageField page_field();

// "%sdeg FIELD" or "%s %s OBJECT"; bare ("%sdeg", "%s %s") under a line that names the field.
std::string full_field_caption(const PageField& f, bool bare);
// The same for the 0.7 field.
std::string field_07_caption(const PageField& f, bool bare);
// The value under "ON-AXIS": " 0deg" or " 0 <unit>".
std::string on_axis_caption(const PageField& f);
// "<title> - CFG <n>" from the second configuration on, else the title itself.
std::string configuration_title(const char* title);
// The lens unit as a caption word: "mm", "cm", "inches" (or inches_word), "m", "mu", or for
// any other unit its millimetres (three digits) followed by other_suffix.
std::string unit_word(const char* inches_word, const char* other_prefix, const char* other_suffix);
// The lens title as the footer takes it (at most 32 characters).
std::string page_lens_title();
// The wavelengths in micrometres (three digits) after their labels, for the first one to three
// wavelengths: labels[k] is put before wavelength k + 1, the texts joined by separator.
std::string wavelengths_caption(const char* const labels[3], const char* separator);

// --- the page --------------------------------------------------------------------------------

enum class PageAxes { kOn, kOff, kKept };

struct PageKind {
    PageAxes axes = PageAxes::kKept;
    bool automatic_scale = false;    // Graphics_scale 0 at the start
    bool opd_in_waves = true;        // the lens shows path differences in waves meanwhile
    bool keeps_final_scale = false;  // Graphics_scale and the viewport are left as drawn
};

// One report page in graphics window 1. Made, it has saved Graphics_labels, _autoclear, _axes,
// the text output, the current wavelength and the lens flags a page may change (OPD in
// waves, the fan abscissa, the MTF's peak-to-valley limit), started a new page and set the
// page's settings; gone, it has put every one back, and Graphics_scale to 0 with the whole
// window as viewport unless the page keeps them.
class ReportPage {
public:
    explicit ReportPage(const PageKind& kind);
    ~ReportPage();
    ReportPage(const ReportPage&) = delete;
    ReportPage& operator=(const ReportPage&) = delete;

    // 0, or the failure to open graphics window 1 (the page then draws nothing).
    int status() const { return status_; }
    bool labels_were_on() const { return labels_ != 0; }

private:
    int status_ = 0;
    PageKind kind_;
    std::uint8_t labels_ = 0, autoclear_ = 0, axes_ = 0, output_ = 0, opdw_ = 0, htnu_ = 0;
    double mtf_path_limit_ = 0;
    int wavelength_ = 0;
};

// Makes wavelength number (from 1) current, as the wavelength command does; another number is
// left alone.
void page_wavelength(int number);
// A text in page coordinates through the plot-text message, at the given size and anchor code.
void page_text(double x, double y, double size, int anchor, const std::string& text);
// A line in page coordinates.
void page_rule(double x0, double y0, double x1, double y1);
// The viewport of a plot (window fractions, flag word); the plot sets its own world frame.
void page_viewport(double xmin, double xmax, double ymin, double ymax, int flag);
// The whole window as viewport (flag 1) and the world 0..1 (flag 0): page coordinates.
void page_coordinates();
// The width in world units of a text drawn at the given size in the current frame.
double page_text_width(double size, const std::string& text);
// Runs a plot handler directly as command `command` on the caller's cells, with the running
// command, its argument vector and count put back afterwards.
int page_direct_call(int command, int (*handler)(), ArgCell* cells, int count);

// Runs one composed command line. Plot commands report their own failures; the result is
// passed back for the steps that stop the page.
int page_line(const std::string& line);
// The reference ray of a field fraction ("trace_ref_ray" or, short, "trr"): false when it
// failed; the page then stops with a status warning naming the field.
bool page_reference_ray(double fraction, bool short_form);
// A status warning that the page stopped at the named field.
void page_stopped(const char* field);
// After a plot: with Check_escape on and an Escape released, asks whether to go on; true when
// the user cancelled.
bool page_escape();

// The footer: the box about the window, the rule at 0.1 and, with labels, the rules at 0.9 and
// the split, the lens and page titles between them, and the designer with the date and time (or
// the designer alone, sized to its length) right of 0.9.
void report_page_footer(const char* lens_title, const char* page_title, std::uint8_t labels,
                        double split);
// "7 Mar 02" and "9:05 AM": no leading zero.
std::string footer_date(const platform::LocalTime& t);
std::string footer_time(const platform::LocalTime& t);

// Test seams: the clock the footer reads (null: the local time) and a watcher of every line a
// page runs.
void set_report_page_clock(platform::LocalTime (*clock)());
void set_report_page_line_watcher(void (*watch)(const char* line));
