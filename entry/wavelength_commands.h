// The lens's wavelengths and their weights: all at once (WV, WW) or one entry by number
// (WV3 0.5, WW3 0.2).
#pragma once

inline constexpr int kCmdWavelengths = 435;
inline constexpr int kCmdWeights = 436;
inline constexpr int kCmdWavelengthEntry = 437;
inline constexpr int kCmdWeightEntry = 438;
inline constexpr int kWavelengthArguments = 24;

inline constexpr int kMsgTooManyWavelengths = -346;
inline constexpr int kMsgWavelengthReplaced = -364;
inline constexpr int kMsgNegativeWeight = -365;
inline constexpr int kMsgWavelengthEcho = -387;
inline constexpr int kMsgWeightEcho = -388;
inline constexpr int kMsgWavelengthEntryEcho = -389;
inline constexpr int kMsgWeightEntryEcho = -390;
inline constexpr int kMsgModelGlassHoldsIndices = -418;

// Slot 103.
int cmd_wavelengths();
