// The choices of the analysis dialogs' first fields: each handler offers its dialog's list and
// presets the choice the dialog shows first.
#pragma once

inline constexpr int kParamRayAberrationKinds = 512;
inline constexpr int kParamRayAberrationKind = 513;  // select_ray_aberration's first field
inline constexpr int kParamSpotAnalysisKinds = 878;
inline constexpr int kParamSpotAnalysisKind = 879;  // select_spot's first field
inline constexpr int kParamDiffractionKinds = 881;
inline constexpr int kParamDiffractionKind = 882;  // select_diffraction's first field
inline constexpr int kParamMtfKinds = 883;         // select_mtf's first field's list
inline constexpr int kParamEnergyKinds = 887;
inline constexpr int kParamEnergyKind = 888;  // select_energy's first field
inline constexpr int kParamPsfAnalysisKinds = 976;
inline constexpr int kParamPsfAnalysisKind = 975;  // select_psf's first field

// Each selects its list and presets the first field to the entry of value 1; they return 0.
int cmd_preset_defs_512_513();
int cmd_preset_defs_878_879();
int cmd_preset_defs_881_882();
int cmd_preset_defs_887_888();
int cmd_preset_defs_976_975();
// The MTF kinds; an afocal lens has no focus to go through, so only the first is offered.
int cmd_preset_def_883();
