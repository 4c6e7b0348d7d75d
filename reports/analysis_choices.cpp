#include "reports/analysis_choices.h"

#include <string>

#include "lens/lens_data.h"
#include "runtime/arg_cells.h"
#include "runtime/list_words.h"
#include "runtime/parameters.h"

namespace {

int choices_with_default_one(int choices, int field) {
    if (select_param_list(choices) != 0) return 0;
    const ArgCell one = int_cell(1);
    set_param_default(field, &one);
    return 0;
}

}  // namespace

int cmd_preset_defs_512_513() {
    return choices_with_default_one(kParamRayAberrationKinds, kParamRayAberrationKind);
}

int cmd_preset_defs_878_879() {
    return choices_with_default_one(kParamSpotAnalysisKinds, kParamSpotAnalysisKind);
}

int cmd_preset_defs_881_882() {
    return choices_with_default_one(kParamDiffractionKinds, kParamDiffractionKind);
}

int cmd_preset_defs_887_888() {
    return choices_with_default_one(kParamEnergyKinds, kParamEnergyKind);
}

int cmd_preset_defs_976_975() {
    return choices_with_default_one(kParamPsfAnalysisKinds, kParamPsfAnalysisKind);
}

int cmd_preset_def_883() {
    if (select_param_list(kParamMtfKinds) != 0) return 0;
    if (lens_data().afocal == 0 || value_list_count() <= 1) return 0;
    const char* first = value_list_first(0);
    const char* second = value_list_second(0);
    const std::string word = first != nullptr ? first : "";
    const std::string value = second != nullptr ? second : "";
    start_built_list();
    add_built_list_entry(word, value);
    return 0;
}
