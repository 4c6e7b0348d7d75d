#include "reports/report_graphics.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/graphics_window.h"
#include "lens/lens_data.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

// The prompts of the procedures' values, of no command of their own.
constexpr int kParamThroughFocusFrequency = 1084;
constexpr int kParamFanKind = 1007;
constexpr int kParamMtfFrequency = 662;
constexpr int kParamMtfPoints = 950;
constexpr int kParamThroughFocusRange = 663;
constexpr int kParamThroughFocusPoints = 794;

// After the procedure the reference ray is traced again from its last set-up.
constexpr char kEnding[] = "ref_ray_trace Trr_fby Trr_fbx Trr_fbz Trr_fyrf Trr_fxrf";

std::string number_text(double value) {
    return format_number(value, 2, 0);
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The name goes between quotes into a command line: anything but letters, digits and '_'
// could close the quotes and run commands of its own.
bool plain_name(const std::string& name) {
    if (name.empty()) return false;
    for (const char ch : name) {
        const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                        (ch >= '0' && ch <= '9') || ch == '_';
        if (!ok) return false;
    }
    return true;
}

// Asks for parameter n: true with the answer in cell, false when cancelled or failed.
bool ask(int n, ArgCell* cell) {
    *cell = ArgCell{};
    return prompt_param(n, cell) == 0;
}

// The through-focus frequency: the lens's own, or asked for and kept when it has none.
bool through_focus_frequency(double* value) {
    double& stored = lens_data().spot_settings->through_focus_frequency;
    if (stored < 1e-40) {
        ArgCell cell;
        if (!ask(kParamThroughFocusFrequency, &cell)) return false;
        stored = cell.type == kArgInt ? cell.value.i : cell.value.d;
    }
    *value = stored;
    return true;
}

double cell_number(const ArgCell& cell) {
    return cell.type == kArgInt ? static_cast<double>(cell.value.i) : cell.value.d;
}

int cell_int(const ArgCell& cell) {
    return cell.type == kArgDouble ? static_cast<int>(cell.value.d) : cell.value.i;
}

// The text the window keeps, before the ending: empty when a question was cancelled.
std::string window_text(const std::string& name) {
    if (starts_with(name, "rptg_tf_mtfs")) {
        double f = 0.0;
        if (!through_focus_frequency(&f)) return {};
        const std::string scale = number_text(get_setting_double(kSetGraphicsScale, 0, 0));
        return "stp gsca " + scale + ";rptg_tf_mtfs " + number_text(f) + ";";
    }
    if (starts_with(name, "calc_rptg_fans")) {
        ArgCell kind;
        if (!ask(kParamFanKind, &kind)) return {};
        return "rptg_fans " + std::to_string(cell_int(kind)) + ";";
    }
    if (starts_with(name, "rptg_fans") || starts_with(name, "rptg_waves")) return name + ";";
    if (starts_with(name, "calc_rptg_mtfs")) {
        ArgCell frequency, points;
        if (!ask(kParamMtfFrequency, &frequency) || !ask(kParamMtfPoints, &points)) return {};
        return "rptg_mtfs " + number_text(cell_number(frequency)) + " " +
               std::to_string(cell_int(points)) + ";";
    }
    if (starts_with(name, "calc_rptg_tf_mtfs")) {
        double f = 0.0;
        if (!through_focus_frequency(&f)) return {};
        ArgCell range, points;
        if (!ask(kParamThroughFocusRange, &range) || !ask(kParamThroughFocusPoints, &points))
            return {};
        return "rptg_tf_mtfs " + number_text(f) + " " + number_text(cell_number(range)) + " " +
               std::to_string(cell_int(points)) + ";";
    }
    const std::string scale = number_text(get_setting_double(kSetGraphicsScale, 0, 0));
    return "stp gsca " + scale + ";" + name + ";";
}

}  // namespace

int cmd_update_graphics_windows() {
    int first_failure = 0;
    for (int n = 1; n <= 6; ++n) {
        char line[32];
        std::snprintf(line, sizeof line, "graphwin_update %d", n);
        const int r = run_command_string(line, 0);
        if (first_failure == 0) first_failure = r;
    }
    return first_failure;
}

int cmd_report_graphics() {
    const std::string name = arg_string(0);
    // The stored text holds the name at least once besides the ending.
    const std::size_t room = kGraphicsTextSize - 1 - (sizeof kEnding - 1);
    if (!plain_name(name) || name.size() + 1 > room)
        return set_error_msg(kMsgReportGraphicsBadName, static_cast<int>(room - 1));
    const std::string text = window_text(name);
    if (text.empty()) return 0;
    const std::string stored = text + kEnding;
    // The longest name that fits this form with what it puts around the name.
    if (stored.size() > kGraphicsTextSize - 1) {
        const std::size_t around = stored.size() - name.size();
        return set_error_msg(kMsgReportGraphicsBadName,
                             static_cast<int>(kGraphicsTextSize - 1 - around));
    }
    const std::string line = "gwx 0 \"" + stored + "\"";
    return run_command_string(line.c_str(), 0);
}
