#include "entry/wavelength_commands.h"

#include <algorithm>
#include <cmath>

#include "entry/entry_frame.h"
#include "entry/grin_prepare.h"
#include "lens/lens_data.h"
#include "lens/surface_materials.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;

}  // namespace

bool model_glass_holds_indices() {
    const int image = lens_data().image_surface;
    for (int n = 1; n <= image; ++n) {
        const SurfaceRecord& s = surface(n);
        const double* values = s.medium_work[kMediumDefiningValues];
        if (s.medium_kind == kMediumModelGlass && values != nullptr &&
            std::fabs(std::fabs(values[0]) - 1.0) > kTiny) {
            return true;
        }
    }
    return false;
}

namespace {

double default_wavelength() {
    const double w = std::fabs(get_setting_double(kSettingWavelengthDefaults, 0, 0));
    return w > 0.0 && w <= kMaxDefaultWavelength ? w : kFallbackWavelength;
}

int all_wavelengths() {
    if (test_state_flag(kFlagLensEntryInProgress) == 0 &&
        test_state_flag(kFlagLensReadInBulk) == 0 && model_glass_holds_indices()) {
        return set_error_msg(kMsgModelGlassHoldsIndices);
    }
    if (!arg_given(0)) return 0;
    LensData& l = lens_data();
    l.current_wavelength = 0;
    const int capacity = max_wavelengths();
    int count = 0;
    bool overflow = false;
    for (int i = 0; i < kWavelengthArguments && arg_given(i); ++i) {
        if (i >= capacity) {
            overflow = true;
            break;
        }
        double w = arg_double(i);
        if (w <= 0.0) {
            w = default_wavelength();
            msg_box(kMsgBadWavelength);
        }
        l.wavelengths[i].wavelength = w;
        l.wavelengths[i].weight = 1.0;
        count = i + 1;
    }
    l.wavelength_count = count;
    print_msg(kMsgWavelengthEcho);
    for (int i = 0; i < count; ++i) {
        if (i > 0) text_spaces(12);
        text_number(l.wavelengths[i].wavelength);
        text_newline();
    }
    if (overflow) msg_box(kMsgTooManyWavelengths, capacity);
    return 0;
}

int all_weights() {
    if (!arg_given(0)) return 0;
    LensData& l = lens_data();
    const int count = std::min(l.wavelength_count, kWavelengthArguments);
    for (int i = 0; i < count; ++i) {
        if (!arg_given(i)) continue;
        const double g = arg_double(i);
        if (g >= 0.0) {
            l.wavelengths[i].weight = g;
        } else {
            msg_box(kMsgNegativeWeight);
        }
    }
    print_msg(kMsgWeightEcho);
    for (int i = 0; i < count; ++i) {
        if (i > 0) text_spaces(12);
        text_number(l.wavelengths[i].weight);
        text_newline();
    }
    return 0;
}

int one_entry(int command) {
    const ArgCell* first = arg_cell(0);
    const ArgCell* second = arg_cell(1);
    if (first == nullptr || second == nullptr || first->type != kArgInt ||
        second->type != kArgDouble) {
        return 1;
    }
    const int k = first->value.i;
    const double value = second->value.d;
    const int capacity = max_wavelengths();
    if (k < 1 || k > capacity) return set_error_msg(kMsgTooManyWavelengths, capacity);
    LensData& l = lens_data();
    WavelengthEntry* table = l.wavelengths;
    const bool wavelength = command == kCmdWavelengthEntry;
    if (k - 1 < l.wavelength_count) {
        (wavelength ? table[k - 1].wavelength : table[k - 1].weight) = value;
    } else {
        const double first_wavelength = l.wavelength_count > 0 ? table[0].wavelength : value;
        for (int i = l.wavelength_count; i < k - 1; ++i) {
            table[i].wavelength = first_wavelength;
            table[i].weight = 0.0;
        }
        table[k - 1].wavelength = wavelength ? value : first_wavelength;
        table[k - 1].weight = wavelength ? 1.0 : value;
        l.wavelength_count = k;
    }
    print_msg(wavelength ? kMsgWavelengthEntryEcho : kMsgWeightEntryEcho, k);
    text_out(" ");
    text_number(value);
    text_newline();
    return 0;
}

int run_case(int command) {
    switch (command) {
        case kCmdWavelengths:
            return all_wavelengths();
        case kCmdWeights:
            return all_weights();
        case kCmdWavelengthEntry:
        case kCmdWeightEntry:
            return one_entry(command);
        default:
            return 0;
    }
}

}  // namespace

int cmd_wavelengths() {
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_case(current_command());
        if (rc != 0) return rc;
        lens_flags().wavelengths_changed = 1;
        lens_flags().bounds_stale = 1;
        lens_data().tolerance_results = 1;
        if (entry_deferred()) return 0;
        prepare_grin_records();
    }
    return entry_lens_setup();
}
