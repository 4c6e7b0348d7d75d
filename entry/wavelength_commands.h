// The lens's wavelengths and their weights: all at once (WV, WW) or one entry by number
// (WV3 0.5, WW3 0.2).
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdWavelengths = kCmdWv;
inline constexpr int kCmdWeights = kCmdWw;
inline constexpr int kCmdWavelengthEntry = kCmdWv_;
inline constexpr int kCmdWeightEntry = kCmdWw_;
inline constexpr int kWavelengthArguments = 24;

// Whether a surface's model glass holds indices of its own at the present wavelengths, which new
// wavelengths would leave without meaning.
bool model_glass_holds_indices();

// kSlotWavelengths.
int cmd_wavelengths();
