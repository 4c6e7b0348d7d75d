// The value lists of the report selectors' parameters: each offers the choices of a table list
// (its own descriptor) and presets the choice a dialog shows first.
#pragma once

inline constexpr int kParamSpotSizesChoices = 293;      // sizes at the given or the best focus
inline constexpr int kParamSpotSizesSelector = 294;     // spot_report's first argument
inline constexpr int kParamWavefrontKindChoices = 640;  // wavefront statistics or Zernike fit
inline constexpr int kParamWavefrontKind = 641;         // wavefront_report's first argument
inline constexpr int kParamWavefrontReference = 647;    // wavefront_report's reference choice
inline constexpr int kParamBestFocusAxisChoices = 897;  // y, x or both
inline constexpr int kParamSpotBestFocusAxis = 898;     // spot_report's second argument

// Each makes its table list current and presets the default of the argument it serves to the
// entry of value 1; they return 0.
int cmd_spot_sizes_choices();
int cmd_wavefront_kind_choices();
int cmd_best_focus_axis_choices();
// The reference choices; an afocal lens has no focus to fit or to give, so only the first
// entry (the lateral fit) is offered.
int cmd_wavefront_reference_choices();
