#include "reports/analysis_choices.h"

#include "lens/lens_data.h"
#include "runtime/parameters.h"

int cmd_preset_defs_512_513() {
    return param_choices_default_one(kParamRayAberrationKinds, kParamRayAberrationKind);
}

int cmd_preset_defs_878_879() {
    return param_choices_default_one(kParamSpotAnalysisKinds, kParamSpotAnalysisKind);
}

int cmd_preset_defs_881_882() {
    return param_choices_default_one(kParamDiffractionKinds, kParamDiffractionKind);
}

int cmd_preset_defs_887_888() {
    return param_choices_default_one(kParamEnergyKinds, kParamEnergyKind);
}

int cmd_preset_defs_976_975() {
    return param_choices_default_one(kParamPsfAnalysisKinds, kParamPsfAnalysisKind);
}

int cmd_preset_def_883() {
    return param_choices_first_only(kParamMtfKinds, lens_data().afocal != 0);
}
