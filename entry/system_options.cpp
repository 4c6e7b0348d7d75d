#include "entry/system_options.h"

#include <cstdint>
#include <string>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/arg_cells.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

constexpr int kDefaultFanRays = 21;
constexpr double kDefaultXaba = 90.0;

const char* const kAimModeNames[] = {"Entrance pupil",         "Central reference ray",
                                     "Rim reference rays",     "Wide angle mode",
                                     "Extended aperture mode", "Telecentric pupil mode"};

struct Option {
    bool use_default;
    int n;
    double d;
};

Option read_option() {
    Option o{};
    o.use_default = arg_int(0) != 0;
    const ArgCell* c = arg_cell(1);
    if (c != nullptr) {
        if (c->type == kArgDouble) {
            o.d = c->value.d;
            o.n = static_cast<int>(o.d);
        } else {
            o.n = arg_int(1);
            o.d = o.n;
        }
    }
    return o;
}

void echo_switch(int command, int value) {
    if (update_mode()) return;
    print_symbol_name("%-18s      ", command);
    const char* text = nullptr;
    const int param = param_descriptor_index(command, 1);
    if (param >= 0 && select_param_list(param) == 0) text = list_item_text(value);
    text_printf("%3s\n", text != nullptr ? text : (value != 0 ? "On" : "Off"));
}

// The three exclusive aiming modes: on, the mode is theirs and the other two are off; off, the
// central reference ray.
void aiming_switch(int command, bool on) {
    LensData& l = lens_data();
    l.aim_state = 0;
    l.aim_extended = 0;
    l.aim_telecentric = 0;
    int mode = 1;
    if (on) {
        if (command == kCmdWideAngle) {
            l.aim_state = 1;
            mode = 3;
        } else if (command == kCmdExtendedAperture) {
            l.aim_extended = 1;
            mode = 4;
        } else {
            l.aim_telecentric = 1;
            mode = 5;
        }
    }
    l.aim_mode = mode;
    if (update_mode()) return;
    print_symbol_name("%-15s", kCmdAimMode);
    text_printf("%23s\n", kAimModeNames[mode]);
    if (lens_flags().reading_lens_file != 0) return;
    const std::uint8_t was = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn, update_output_flags().after_update);
    std::string own = symbol_keyword(command);
    print_msg(kMsgAimModeChanged, own.c_str(), symbol_keyword(kCmdAimMode));
    if (was == 0) set_setting_flag(kSetOutputOn, update_output_flags().during_update);
}

// Stores the option; whether it needs a lens set-up.
bool store(int command, const Option& o) {
    LensData& l = lens_data();
    const int on = o.n != 0 ? 1 : 0;
    auto flag = [&](std::uint8_t& field, int fallback) {
        field = static_cast<std::uint8_t>(o.use_default ? fallback : on);
        echo_switch(command, field);
    };
    switch (command) {
        case kCmdXyCoupling:
            flag(l.txyc, 1);
            return false;
        case kCmdTiltUnits: {
            static const char* const kUnits[] = {"Degrees", "Radians", "Minutes of arc",
                                                 "Seconds of arc"};
            l.tolerance_angle_units = o.use_default || o.n < 0 || o.n > 3 ? 0 : o.n;
            if (!update_mode()) {
                print_symbol_name("%-15s", command);
                text_printf("%14s\n", kUnits[l.tolerance_angle_units]);
            }
            return false;
        }
        case kCmdWavefrontSwitch:
            l.wrsp = static_cast<std::uint8_t>(o.use_default || on != 0 ? 0 : 2);
            echo_switch(command, l.wrsp == 0 ? 1 : 0);
            return true;
        case kCmdWavefrontReference: {
            const int v = o.use_default ? 1 : o.n;
            l.wrsp = static_cast<std::uint8_t>(v == 0 ? 0 : v == 2 ? 2 : 1);
            if (!update_mode()) {
                static const char* const kNames[] = {"Infinity", "Exit pupil", "Last surface"};
                print_symbol_name("%-15s", command);
                text_printf("%14s\n", kNames[l.wrsp]);
            }
            return true;
        }
        case kCmdWideAngle:
        case kCmdExtendedAperture:
        case kCmdTelecentric:
            aiming_switch(command, !o.use_default && on != 0);
            return true;
        case kCmdAimMode:
            l.aim_mode = o.use_default || o.n < 0 || o.n > 5 ? 1 : o.n;
            l.aim_state = l.aim_extended = l.aim_telecentric = 0;
            if (!update_mode()) {
                print_symbol_name("%-15s", command);
                text_printf("%23s\n", kAimModeNames[l.aim_mode]);
            }
            return true;
        case kCmdOpdInWaves:
            flag(l.opdw, 1);
            return true;
        case kCmdApertureCheck:
            flag(l.apck, 1);
            return true;
        case kCmdGrck:
            flag(l.grck, 0);
            return true;
        case kCmdEpxy:
            flag(l.epxy, 0);
            return true;
        case kCmdHtnu:
            flag(l.htnu, 0);
            return false;
        case kCmdZrxr:
            flag(l.zrxr, 0);
            return true;
        case kCmdNolc:
            flag(l.nolc, 0);
            return false;
        case kCmdGroupListing:
            flag(l.gprt, 0);
            return false;
        case kCmdSolvesAllConfigurations:
            flag(l.solves_all_configurations, 0);
            return true;
        case kCmdFanRays:
            l.fan_rays = o.use_default ? kDefaultFanRays : o.n;
            print_message_and_integer("%-15s", command, l.fan_rays);
            return false;
        case kCmdCallback:
            l.cbk = o.use_default ? 0 : o.n;
            print_message_and_integer("%-15s", command, l.cbk);
            return false;
        case kCmdSasd:
            l.sasd = o.use_default ? 0.0 : o.d;
            print_message_and_number("%-15s", command, l.sasd);
            return true;
        case kCmdXaba:
            l.xaba = o.use_default ? kDefaultXaba : o.d;
            print_message_and_number("%-15s", command, l.xaba);
            return true;
        default:
            return false;
    }
}

}  // namespace

int cmd_system_options() {
    bool setup = false;
    {
        UpdateOutputSwitch output;
        setup = store(current_command(), read_option());
    }
    LensData& l = lens_data();
    const bool rule = test_state_flag(kFlagLensEntryInProgress) == 0 || update_mode() ||
                      test_state_flag(kFlagToleranceLevel) != 0 ||
                      test_state_flag(kFlagLevelRevertCopy) != 0;
    int rc = 0;
    if (setup && rule) rc = entry_lens_setup();
    l.tolerance_results = 1;
    return rc;
}
