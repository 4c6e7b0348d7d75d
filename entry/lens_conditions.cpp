#include "entry/lens_conditions.h"

#include <cctype>
#include <cstring>
#include <string>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_reset.h"
#include "lens/optimise_links.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/lens_data_guard.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

// "*name": a call of the script entry name and nothing else.
bool is_script_entry_call(const std::string& text) {
    if (text.size() < 2 || text[0] != '*') return false;
    for (std::size_t k = 1; k < text.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        if (!(std::isalnum(c) || c == '_' || c == ':')) return false;
    }
    return true;
}

bool use_default() {
    return arg_int(0) != 0;
}

void echo_number(int command, double value) {
    print_message_and_number("%-15s", command, value);
}

void echo_switch(int command, int value) {
    if (update_mode()) return;
    print_symbol_name("%-15s         ", command);
    const char* text = nullptr;
    const int param = param_descriptor_index(command, 1);
    if (param >= 0 && select_param_list(param) == 0) text = list_item_text(value);
    text_printf("%3s\n", text != nullptr ? text : (value != 0 ? "On" : "Off"));
}

// A double field: the value, or its default.
void set_number(int command, double& field, double fallback) {
    field = use_default() ? fallback : arg_double(1);
    echo_number(command, field);
}

void set_switch(int command, std::uint8_t& field, std::uint8_t fallback) {
    field = use_default() ? fallback : (arg_int(1) != 0 ? 1 : 0);
    echo_switch(command, field);
}

struct NumberField {
    double OptimiseParams::*field;
    double fallback;
};

// Commands 471..480 in order.
constexpr NumberField kOptimiseNumbers[] = {
    {&OptimiseParams::damping, 0.001},
    {&OptimiseParams::small_damping, 1e-8},
    {&OptimiseParams::damping_reduction, 0.6158},
    {&OptimiseParams::derivative_increment, 1e-7},
    {&OptimiseParams::bound_weight, 1.0},
    {&OptimiseParams::stop_threshold, 0.01},
    {&OptimiseParams::min_air_thickness, 0.1},
    {&OptimiseParams::max_air_thickness, 10000.0},
    {&OptimiseParams::min_glass_thickness, 0.5},
    {&OptimiseParams::max_glass_thickness, 100.0},
};

int operating_condition(OptimiseParams& p, int command) {
    if (command >= kCmdDamping && command < kCmdAutomaticIncrements) {
        const NumberField& f = kOptimiseNumbers[command - kCmdDamping];
        const double before = p.*f.field;
        set_number(command, p.*f.field, f.fallback);
        if (command == kCmdDerivativeIncrement && before == 0.0 && p.derivative_increment != 0.0) {
            fill_derivative_increments();
        }
        return 0;
    }
    switch (command) {
        case kCmdAutomaticIncrements:
            set_switch(command, p.automatic_increments, 1);
            return 0;
        case kCmdAutomaticIncrements + 1:
            set_switch(command, p.variable_damping, 0);
            return 0;
        case kCmdAutomaticIncrements + 2:
            set_switch(command, p.sum_of_squares, 0);
            return 0;
        case kCmdOperandCommand: {
            // The field holds 23 characters; a longer text is cut.
            const std::string text =
                use_default() ? std::string("*oprds") : entry_text(1, kOptimiseTextLength);
            // The optimiser runs this line: a lens file may name a script entry of the user's
            // own folders, never a command of its choosing.
            if (in_lens_data_scope() && !is_script_entry_call(text)) return kMsgRefusedInLensData;
            std::memset(p.operand_command, 0, sizeof p.operand_command);
            std::memcpy(p.operand_command, text.data(), text.size());
            if (!update_mode()) {
                print_symbol_name("%-15s", command);
                text_printf(" %s\n", p.operand_command);
            }
            return 0;
        }
        default:
            return 0;
    }
}

int spot_setting(SpotSettings& s, int command) {
    switch (command) {
        case kCmdApertureDivisions:
            set_number(command, s.aperture_divisions, 17.03);
            break;
        case kCmdApertureDivisions + 1:
            set_number(command, s.apodisation_width_x, 1.0);
            break;
        case kCmdApertureDivisions + 2:
            set_number(command, s.apodisation_width_y, 1.0);
            break;
        case kCmdApertureDivisions + 3:
            set_switch(command, s.polychromatic, 1);
            break;
        case kCmdApertureDivisions + 4:
            set_switch(command, s.apodisation_on, 0);
            break;
        case kCmdMtfPathLimit:
            set_number(command, s.mtf_path_limit, 1000.0);
            break;
        case kCmdThroughFocusFrequency:
            set_number(command, s.through_focus_frequency, 25.0);
            break;
        case kCmdShowDiffractionLimit:
            set_switch(command, s.show_diffraction_limit, 0);
            break;
        default:
            return 0;
    }
    // These three change no spot diagram; the others make it and what was derived from it stale.
    if (command != kCmdMtfPathLimit && command != kCmdThroughFocusFrequency &&
        command != kCmdShowDiffractionLimit) {
        clear_state_flag(kFlagSpotDiagramCurrent);
        clear_state_flag(kFlagSpotDerivedA);
    }
    return 0;
}

}  // namespace

int cmd_operating_conditions() {
    UpdateOutputSwitch output;
    LensData& l = lens_data();
    if (l.optimise_params == nullptr) {
        l.optimise_params = alloc_array_of<OptimiseParams>(1);
        if (l.optimise_params == nullptr) return kMsgOutOfMemory;
        reset_optimise_params();
    }
    return operating_condition(*l.optimise_params, current_command());
}

int cmd_spot_diagram_settings() {
    UpdateOutputSwitch output;
    LensData& l = lens_data();
    if (l.spot_settings == nullptr) {
        l.spot_settings = alloc_array_of<SpotSettings>(1);
        if (l.spot_settings == nullptr) return kMsgOutOfMemory;
        reset_spot_settings();
    }
    return spot_setting(*l.spot_settings, current_command());
}
