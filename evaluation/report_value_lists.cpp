#include "evaluation/report_value_lists.h"

#include <string>

#include "lens/lens_data.h"
#include "runtime/arg_cells.h"
#include "runtime/list_words.h"
#include "runtime/parameters.h"

namespace {

int choices_with_default_one(int choices, int argument) {
    if (select_param_list(choices) != 0) return 0;
    const ArgCell one = int_cell(1);
    set_param_default(argument, &one);
    return 0;
}

}  // namespace

int cmd_spot_sizes_choices() {
    return choices_with_default_one(kParamSpotSizesChoices, kParamSpotSizesSelector);
}

int cmd_wavefront_kind_choices() {
    return choices_with_default_one(kParamWavefrontKindChoices, kParamWavefrontKind);
}

int cmd_best_focus_axis_choices() {
    return choices_with_default_one(kParamBestFocusAxisChoices, kParamSpotBestFocusAxis);
}

int cmd_wavefront_reference_choices() {
    if (select_param_list(kParamWavefrontReference) != 0) return 0;
    if (lens_data().afocal == 0 || value_list_count() <= 1) return 0;
    const char* first = value_list_first(0);
    const char* second = value_list_second(0);
    const std::string word = first != nullptr ? first : "";
    const std::string value = second != nullptr ? second : "";
    start_built_list();
    add_built_list_entry(word, value);
    return 0;
}
