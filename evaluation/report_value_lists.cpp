#include "evaluation/report_value_lists.h"

#include "lens/lens_data.h"
#include "runtime/parameters.h"

int cmd_spot_sizes_choices() {
    return param_choices_default_one(kParamSpotSizesChoices, kParamSpotSizesSelector);
}

int cmd_wavefront_kind_choices() {
    return param_choices_default_one(kParamWavefrontKindChoices, kParamWavefrontKind);
}

int cmd_best_focus_axis_choices() {
    return param_choices_default_one(kParamBestFocusAxisChoices, kParamSpotBestFocusAxis);
}

int cmd_wavefront_reference_choices() {
    return param_choices_first_only(kParamWavefrontReference, lens_data().afocal != 0);
}
