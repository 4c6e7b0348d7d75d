#include "lens/spot_settings_lines.h"

#include <cmath>

#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

// The spot-settings commands; the keyword of each is the lens-file key.
constexpr int kCmdApertureDivisions = kCmdSdadL;
constexpr int kCmdWidthX = kCmdSdgxL;
constexpr int kCmdWidthY = kCmdSdgyL;
constexpr int kCmdPolychromatic = kCmdSdpcL;
constexpr int kCmdApodisation = kCmdSdazL;
constexpr int kCmdMtfPathLimit = kCmdSdmsL;
constexpr int kCmdThroughFocusFrequency = kCmdSdtfL;
constexpr int kCmdShowDiffractionLimit = kCmdSdsaL;

}  // namespace

std::vector<std::string> spot_settings_lines(const SpotSettings& s) {
    struct Number {
        int command;
        double value;
        double fallback;
    };
    const Number numbers[] = {
        {kCmdApertureDivisions, s.aperture_divisions, 17.03},
        {kCmdWidthX, s.apodisation_width_x, 1.0},
        {kCmdWidthY, s.apodisation_width_y, 1.0},
        {kCmdMtfPathLimit, s.mtf_path_limit, 1000.0},
        {kCmdThroughFocusFrequency, s.through_focus_frequency, 25.0},
    };
    std::vector<std::string> lines;
    for (const Number& n : numbers) {
        if (std::fabs(n.value - n.fallback) < 1e-40) continue;
        lines.push_back(std::string(symbol_keyword(n.command)) + " " +
                        format_number(n.value, 2, 0));
    }
    if (s.polychromatic != 1) {
        lines.push_back(std::string(symbol_keyword(kCmdPolychromatic)) + " Off");
    }
    if (s.apodisation_on != 0)
        lines.push_back(std::string(symbol_keyword(kCmdApodisation)) + " On");
    if (s.show_diffraction_limit != 0) {
        lines.push_back(std::string(symbol_keyword(kCmdShowDiffractionLimit)) + " On");
    }
    return lines;
}
