// The diffractive phase profile of the current surface: polynomial (DOE) or Zernike (ZOE) kind
// and order, coefficients, design wavelength, the Zernike switch, and deletion.
#pragma once

#include "tables/table_names.h"

inline constexpr int kCmdDoeKind = kCmdDoeL;
inline constexpr int kCmdDoeCoefficient = kCmdDf_L;
inline constexpr int kCmdDoeWavelength = kCmdDwvL;
inline constexpr int kCmdDoeDelete = kCmdDodL;
inline constexpr int kCmdZoeKind = kCmdZoeL;
inline constexpr int kCmdZoeCoefficient = kCmdZr_L;
inline constexpr int kCmdZoeDelete = kCmdZodL;
inline constexpr int kCmdZoeSwitch = kCmdZrtL;

// kSlotDiffractiveData.
int cmd_diffractive_data();
