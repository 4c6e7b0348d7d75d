#include "entry/general_data.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "entry/entry_frame.h"
#include "entry/surface_data.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_items.h"
#include "lens/optimise_links.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kObjectHeightAtInfinity = -1e14;
constexpr double kIndexDuringEntry = 1e40;
// The question whether the lens expands from the old temperature (TEM's own second argument).
constexpr int kParamThermalExpansion = 201;

int surface_number(int command, const ValuePair& v, int lowest) {
    const int n = v.given ? v.n : current_surface();
    if (n < lowest || n > surface_limit()) {
        if (command == kCmdImageSurface) {
            return set_error_msg(-3994, n, surface_limit());
        }
        return set_error_msg(kMsgSurfaceOutside, n, surface_limit());
    }
    return 0;
}

void echo_units(double units) {
    print_symbol_name("%s ", kCmdUnits);
    struct Unit {
        double value;
        const char* name;
    };
    static const Unit kUnits[] = {{1.0, "mm"}, {10.0, "cm"}, {25.4, "in"}, {0.001, "mu"}};
    for (const Unit& u : kUnits) {
        if (std::fabs(units - u.value) <= kTiny) {
            text_printf("\\10%s\n", u.name);
            return;
        }
    }
    if (std::fabs(units - 1000.0) <= kTiny) {
        text_printf("\\11%c\n", 'm');
        return;
    }
    print_number_cell_eol(units);
}

int temperature(double d) {
    LensData& l = lens_data();
    if (lens_flags().reading_lens_file != 0) {
        l.reference_temperature = d;
        l.thermal_expansion = 0;
    } else {
        int expand = arg_int(1);
        if (!arg_given(1)) {
            ArgCell cell{};
            if (prompt_param(kParamThermalExpansion, &cell) != 0) return 0;
            expand = cell.type == kArgDouble ? static_cast<int>(cell.value.d) : cell.value.i;
        }
        l.reference_temperature = l.temperature;
        l.thermal_expansion = expand != 0 ? 1 : 0;
    }
    l.temperature = d;
    lens_flags().materials_changed = 1;
    print_message_and_number("%s ", kCmdTemperature, d);
    return 0;
}

int numerical_aperture(double d) {
    LensData& l = lens_data();
    if (std::fabs(d) == 0.0) return set_error_msg(kMsgNumericalApertureZero);
    double n_object = test_state_flag(kFlagLensEntryInProgress) != 0 ? kIndexDuringEntry : 1.0;
    if (surface(0).index != nullptr) n_object = surface(0).index[0];
    if (std::fabs(d) > n_object) return set_error_msg(kMsgNumericalApertureAboveIndex, n_object);
    l.object_na = d;
    l.aperture_is_na = 1;
    print_message_and_number("%s ", kCmdNumericalAperture, d);
    return 0;
}

int double_case(int command, double d) {
    LensData& l = lens_data();
    switch (command) {
        case kCmdUnits:
            // Every conversion of lens units divides by them.
            if (d <= 0.0) return set_error_msg(kMsgUnitsNotPositive, d);
            l.units = d;
            if (!update_mode()) echo_units(d);
            return 0;
        case kCmdObjectHeight:
            l.object_height = std::fabs(d) < kTiny ? kObjectHeightAtInfinity : d;
            l.field_is_angle = 0;
            print_message_and_number("%s ", command, l.object_height);
            return 0;
        case kCmdFieldAngle:
            l.field_angle = std::fabs(d) < kTiny ? kLeastNonZero : d * kRadiansPerDegree;
            l.field_is_angle = 1;
            print_message_and_number("%s ", command, l.field_angle * kDegreesPerRadian);
            return 0;
        case kCmdTemperature:
            return temperature(d);
        case kCmdPressure:
            l.pressure = d;
            lens_flags().materials_changed = 1;
            print_message_and_number("%s ", command, d);
            return 0;
        case kCmdBeamRadius:
            l.entrance_beam_radius = d;
            l.aperture_is_na = 0;
            print_message_and_number("%s ", command, d);
            return 0;
        case kCmdNumericalAperture:
            return numerical_aperture(d);
        default:
            return 0;
    }
}

int int_case(int command, const ValuePair& v) {
    LensData& l = lens_data();
    const int n = v.given ? v.n : current_surface();
    switch (command) {
        case kCmdStop:
            if (const int rc = surface_number(command, v, 0); rc != 0) return rc;
            // The object surface is never the stop: "AST 0" keeps it, as in a lens block.
            if (n > 0) {
                if (l.reference_surface == l.aperture_stop) l.reference_surface = n;
                l.aperture_stop = n;
            }
            print_message_and_integer("%s ", command, l.aperture_stop);
            return 0;
        case kCmdReferenceSurface:
            if (const int rc = surface_number(command, v, 0); rc != 0) return rc;
            l.reference_surface = n;
            print_message_and_integer("%s ", command, n);
            return 0;
        case kCmdImageSurface:
            if (const int rc = surface_number(command, v, 1); rc != 0) return rc;
            l.image_surface = n;
            if (l.current_surface > n) l.current_surface = n;
            optimise_image_surface_changed();
            lens_flags().materials_changed = 1;
            update_lens_array_bounds();
            print_message_and_integer("%s ", command, n);
            return 0;
        case kCmdGlobalSurface:
            if (const int rc = surface_number(command, v, 0); rc != 0) return rc;
            l.global_coordinate_surface = n;
            print_message_and_integer("%s ", command, n);
            return 0;
        case kCmdAfocalMode: {
            l.afocal_mode = static_cast<std::uint8_t>(v.n == 0 ? 0 : v.n == 1 ? 1 : 2);
            if (update_mode()) return 0;
            static const char* const kModes[] = {"TRA", "ANG", "UNC"};
            print_symbol_name("%s    ", command);
            text_printf(" %s \n", kModes[l.afocal_mode]);
            return 0;
        }
        case kCmdAfocal:
            if (v.n != 0) {
                l.afocal = 1;
                if (l.afocal_mode == 0) l.afocal_mode = 1;
            } else {
                l.afocal = 0;
                if (l.afocal_mode == 1) l.afocal_mode = 0;
            }
            if (update_mode()) return 0;
            print_symbol_name("%s       ", command);
            text_printf("%s\n", l.afocal != 0 ? "Afocal" : "Focal");
            return 0;
        case kCmdLensInteger:
            l.user_integer = v.n;
            print_message_and_integer("%s ", command, v.n);
            return 0;
        case kCmdLensNote: {
            if (v.n < 1 || v.n > kNoteLines) return set_error_msg(kMsgNoteNumber, v.n, kNoteLines);
            const std::string text = entry_text(1, kNoteLength);
            char* line = l.notes[v.n - 1];
            std::memset(line, 0, kNoteLength + 1);
            std::memcpy(line, text.data(), text.size());
            if (update_mode()) return 0;
            print_symbol_name("%s", command);
            text_printf("%d\n", v.n);
            text_printf("%s\n", line);
            return 0;
        }
        default:
            return 0;
    }
}

int text_case(int command, const ValuePair& v) {
    LensData& l = lens_data();
    if (command == kCmdTitle) {
        std::snprintf(l.title, sizeof l.title, "%.*s", kTitleLength, v.text.c_str());
        std::memcpy(l.title_copy, l.title, sizeof l.title_copy);
        if (update_mode()) return 0;
        print_symbol_name("%s: ", command);
        text_printf("%s\n", l.title);
    } else if (command == kCmdDesigner) {
        std::snprintf(l.designer, sizeof l.designer, "%.*s", kDesignerLength, v.text.c_str());
        std::memcpy(l.designer_copy, l.designer, sizeof l.designer_copy);
        if (update_mode()) return 0;
        print_symbol_name("%s   ", command);
        text_printf("%s\n", l.designer);
    }
    return 0;
}

int run_case(int command) {
    const ValuePair v = decode_value_pair();
    const ArgCell* first = arg_cell(0);
    // The first argument's type decides which group of commands runs.
    if (v.is_text) return text_case(command, v);
    if (first != nullptr && first->type == kArgDouble) return double_case(command, v.d);
    return int_case(command, v);
}

}  // namespace

int cmd_general_data() {
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_case(current_command());
    }
    if (rc != 0) return rc;
    LensData& l = lens_data();
    if (entry_deferred() && test_state_flag(kFlagToleranceLevel) == 0 &&
        test_state_flag(kFlagLevelRevertCopy) == 0) {
        l.tolerance_results = 1;
        return 0;
    }
    rc = entry_lens_setup();
    l.tolerance_results = 1;
    return rc;
}
